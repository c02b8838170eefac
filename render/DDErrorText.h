// DDErrorToString: the one-line text printed for a DirectDraw or Direct3D result code.
#pragma once

#include "platform/DirectDrawTypes.h"

const char* DDErrorToString(HRESULT code);
