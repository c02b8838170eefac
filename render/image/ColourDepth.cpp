// The program's image colour depth, one value for the whole process.
#include "render/image/ColourDepth.h"

namespace {
uint32_t g_colourDepth = 16;  // the front end's mode until a renderer answers
}

uint32_t GetColourDepth() { return g_colourDepth; }

void SetColourDepth(uint32_t bits) { g_colourDepth = bits; }
