// Registration of the park folder's object types and of the links between its skaters and the
// running controller.
#pragma once

class CObjectFactory;

// Skatable sections and facilities.
void RegisterParkObjectTypes(CObjectFactory& factory);
// The skaters' trick bonuses go to the park's current controller.
void RegisterParkSkaterLinks();
