// CSoftwareTexture: conversion of texture pixels to palette indices, and texel colours.
#include "render/software/SoftwareTexture.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "render/image/Texture.h"
#include "render/software/SoftwarePalette.h"

namespace {

uint32_t Log2(uint32_t side) {
  uint32_t n = 0;
  while ((1u << n) < side) ++n;
  return n;
}

uint32_t FloorPowerOfTwo(uint32_t side) {
  uint32_t p = 1;
  while (p * 2 <= side && p * 2 <= CSoftwareTexture::kMaxSide) p *= 2;
  return p;
}

// A channel taken through its mask and widened (or narrowed) to 8 bits.
uint32_t Channel8(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  uint32_t shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const uint32_t top = mask >> shift;
  return static_cast<uint32_t>((static_cast<uint64_t>((pixel & mask) >> shift) * 255 + top / 2) / top);
}

uint32_t ReadPixel(const uint8_t* p, uint32_t bytes) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

}  // namespace

CSoftwareTexture::CSoftwareTexture(SoftwareTextureLevel level, bool keyed, uint32_t nameHash, std::string name,
                                   const CSoftwarePalette& palette)
    : m_level(std::move(level)), m_keyed(keyed), m_nameHash(nameHash), m_name(std::move(name)), m_palette(palette) {}

uint32_t CSoftwareTexture::HashName(const char* name) {
  if (!name) return 0;
  const size_t length = std::strlen(name);
  uint32_t h = 7;
  for (size_t i = 0; i < length; ++i)
    h += static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(name[i]))) * static_cast<uint32_t>(i + 1);
  return (h << 8) | static_cast<uint32_t>(length);
}

std::unique_ptr<CSoftwareTexture> CSoftwareTexture::Convert(const CTexture& texture, uint32_t level,
                                                            const CSoftwarePalette& palette) {
  if (!texture.pixels || texture.mipCount == 0) return nullptr;
  const uint32_t bytes = texture.bytesPerPixel;
  if (bytes < 2 || bytes > 4) return nullptr;
  if (level >= texture.mipCount) level = texture.mipCount - 1;
  const uint8_t* source = texture.GetLevel(level);
  const uint32_t sw = texture.GetLevelWidth(level), sh = texture.GetLevelHeight(level);
  if (!source || sw == 0 || sh == 0) return nullptr;

  SoftwareTextureLevel out;
  out.width = FloorPowerOfTwo(sw);
  out.height = FloorPowerOfTwo(sh);
  out.widthMask = out.width - 1;
  out.heightMask = out.height - 1;
  out.widthShift = Log2(out.width);
  out.pixels = std::make_unique<uint8_t[]>(static_cast<size_t>(out.width) * out.height);
  const bool keyed = (texture.flags & (CTexture::kTranslucent | CTexture::kTranslucentAdd)) != 0;
  // Only an alpha channel can say a texel is see-through; its top bit decides.
  const uint32_t keyBit = texture.alphaMask ? (texture.alphaMask & ~(texture.alphaMask >> 1)) : 0;
  for (uint32_t y = 0; y < out.height; ++y) {
    const uint32_t sy = static_cast<uint32_t>(static_cast<uint64_t>(y) * sh / out.height);
    for (uint32_t x = 0; x < out.width; ++x) {
      const uint32_t sx = static_cast<uint32_t>(static_cast<uint64_t>(x) * sw / out.width);
      const uint32_t pixel = ReadPixel(source + (static_cast<size_t>(sy) * sw + sx) * bytes, bytes);
      uint8_t index = 0;
      if (!keyed || !keyBit || (pixel & keyBit)) {
        uint32_t r, g, b;
        if (bytes == 3) {
          b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
        } else {
          r = Channel8(pixel, texture.redMask), g = Channel8(pixel, texture.greenMask);
          b = Channel8(pixel, texture.blueMask);
        }
        index = palette.Nearest((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
      }
      out.pixels[(static_cast<size_t>(y) << out.widthShift) + x] = index;
    }
  }
  return std::make_unique<CSoftwareTexture>(std::move(out), keyed, HashName(texture.name.c_str()), texture.name,
                                            palette);
}

void CSoftwareTexture::GetTexelColour(Color& out, float u, float v) const {
  // floor(u * width) wrapped by the mask: u = 1 is column 0 again, as the fillers see it.
  auto texel = [](float t, uint32_t side) {
    const double scaled = std::floor(static_cast<double>(t) * side);
    return std::isfinite(scaled) ? static_cast<uint32_t>(static_cast<int64_t>(std::fmod(scaled, 1 << 30))) : 0u;
  };
  const uint8_t index = GetIndex(texel(u, m_level.width), texel(v, m_level.height));
  // Index 0 is never given to an opaque texel, so it always means "nothing here".
  if (index == 0) {
    out = Color();
    return;
  }
  const uint16_t c = m_palette.GetLightTable(31)[index];
  out = Color::FromRGBA(static_cast<uint8_t>((c >> 7) & 0xF8), static_cast<uint8_t>((c >> 2) & 0xF8),
                        static_cast<uint8_t>((c & 31) << 3), 255);
}
