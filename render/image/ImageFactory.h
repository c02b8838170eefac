// ImageFactory: the concrete image class for each detected file format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/image/Image.h"

// The image built over the bytes (borrowed), or null for an unknown format.
std::unique_ptr<CImage> MakeImageForFormat(ImageFormat format, const uint8_t* data, size_t size);
