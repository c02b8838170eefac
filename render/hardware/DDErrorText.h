// DDErrorToString: the one-line text printed for a DirectDraw or Direct3D result code.
#pragma once

#include <cstddef>

#include "platform/graphics/DirectDrawTypes.h"

const char* DDErrorToString(HRESULT code);
// How many codes have a text of their own.
size_t DDErrorTextCount();
