// RunDriverDialog: the display-driver choice at start-up.
#include "render/DriverDialog.h"

void RunDriverDialog(HWND window, HINSTANCE instance) {}
