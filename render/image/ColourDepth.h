// The program's image colour depth: the bits per pixel of the current renderer's frame
// (15 for 5-5-5 pixels, else 8 x bytes per pixel). Images and sprite files convert to it.
#pragma once

#include <cstdint>

uint32_t GetColourDepth();
void SetColourDepth(uint32_t bits);
