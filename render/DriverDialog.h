// RunDriverDialog: lets the user choose among several 3D display drivers at start-up.
#pragma once

#include "platform/Win32.h"

// Only the software back end exists so far, so there is nothing to choose and nothing is shown.
void RunDriverDialog(HWND window, HINSTANCE instance);
