// Registration of the interface library's parts for the folders below it.
#pragma once

struct ParkScreens;
struct WorldServices;

// Sprite files for the global fonts and the park's fonts, and the software mouse pointer.
void RegisterUIServices(WorldServices& services);
// The park's sponsorship notice and status label.
void RegisterParkScreens(ParkScreens& screens);
