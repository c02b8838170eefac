// CSoftwareTexture: one level of a CTexture converted to 8-bit indices into the software palette.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/image/DDTexture.h"

class CSoftwarePalette;
class CTexture;

// The palettised pixels; sides are powers of two so texels are addressed by mask and shift.
struct SoftwareTextureLevel {
  std::unique_ptr<uint8_t[]> pixels;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t widthMask = 0;
  uint32_t heightMask = 0;
  uint32_t widthShift = 0;
};

class CSoftwareTexture : public CDDTexture {
 public:
  static constexpr uint32_t kMaxSide = 4096;

  // Takes a level whose sides are powers of two up to kMaxSide (see IsValidSide).
  CSoftwareTexture(SoftwareTextureLevel level, bool keyed, uint32_t nameHash, std::string name,
                   const CSoftwarePalette& palette);

  // Converts level `level` of the texture (its last level when it has fewer) against the
  // palette; null when the texture has no pixels in a format this can read. Sides that are not
  // powers of two are resampled down to the next power of two.
  static std::unique_ptr<CSoftwareTexture> Convert(const CTexture& texture, uint32_t level,
                                                   const CSoftwarePalette& palette);
  static bool IsValidSide(uint32_t side) { return side && side <= kMaxSide && !(side & (side - 1)); }
  // 7 plus the sum of each upper-cased character times its position from 1, shifted left 8,
  // or'ed with the length. Null text: 0.
  static uint32_t HashName(const char* name);

  // Wraps both ways; index 0 of a keyed texture answers transparent black.
  void GetTexelColour(Color& out, float u, float v) const override;
  void SetUseStamp(int32_t stamp) override {}
  void UpdateMaxScale(float scale) override {}
  uint32_t GetWidth() const { return m_level.width; }
  uint32_t GetHeight() const { return m_level.height; }

  const SoftwareTextureLevel& GetLevel() const { return m_level; }
  uint8_t GetIndex(uint32_t x, uint32_t y) const {
    return m_level.pixels[((y & m_level.heightMask) << m_level.widthShift) + (x & m_level.widthMask)];
  }
  bool IsKeyed() const { return m_keyed; }
  uint32_t GetNameHash() const { return m_nameHash; }
  // Empty for a texture read from a cache file that stored no names.
  const std::string& GetName() const { return m_name; }

 private:
  SoftwareTextureLevel m_level;
  bool m_keyed;
  uint32_t m_nameHash;
  std::string m_name;
  const CSoftwarePalette& m_palette;
};
