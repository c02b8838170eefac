// CSoftwarePalette: default ramps, nearest-colour search and the light tables.
#include "render/software/SoftwarePalette.h"

#include <algorithm>
#include <cstring>

#include "core/data/LittleEndian.h"

namespace {

int Red(uint32_t c) { return (c >> 10) & 31; }
int Green(uint32_t c) { return (c >> 5) & 31; }
int Blue(uint32_t c) { return c & 31; }

uint16_t Scale555(uint16_t colour, float factor) {
  auto channel = [factor](int five) {
    const int scaled = static_cast<int>(static_cast<float>(five << 3) * factor);
    return std::min(255, std::max(0, scaled)) >> 3;
  };
  return static_cast<uint16_t>(channel(Red(colour)) << 10 | channel(Green(colour)) << 5 | channel(Blue(colour)));
}

}  // namespace

void CSoftwarePalette::SetDefault() {
  uint16_t colours[kColours];
  for (int i = 0; i < kColours; ++i) {
    // Wrapping to 16 bits is what makes each ramp start at zero.
    uint16_t c;
    if (i < 32) c = static_cast<uint16_t>(i * 1057);
    else if (i < 64) c = static_cast<uint16_t>(i - 32);
    else if (i < 96) c = static_cast<uint16_t>((i + 1984) << 5);
    else if (i < 128) c = static_cast<uint16_t>((i + 32) << 10);
    else if (i < 160) c = static_cast<uint16_t>(i + 8320);
    else if (i < 192) c = static_cast<uint16_t>((i << 5) + 3080);
    else if (i < 224) c = static_cast<uint16_t>((i << 10) | 0x108);
    else c = static_cast<uint16_t>(i * 5 - 1120);
    colours[i] = c;
  }
  SetColours(colours, kColours);
}

void CSoftwarePalette::SetColours(const uint16_t* colours, uint32_t count) {
  m_count = std::min<uint32_t>(kColours, std::max<uint32_t>(2, count));
  std::memset(m_colours, 0, sizeof(m_colours));
  for (uint32_t i = 0; i < std::min<uint32_t>(count, kColours); ++i) m_colours[i] = colours[i] & 0x7FFF;
  BuildInverseTable();
  BuildLightTables();
}

void CSoftwarePalette::BuildInverseTable() {
  for (uint32_t c = 0; c < kInverseSize; ++c) {
    int best = 1;
    int bestCost = 1 << 30;
    for (uint32_t i = 1; i < m_count; ++i) {
      const int dr = Red(c) - Red(m_colours[i]), dg = Green(c) - Green(m_colours[i]), db = Blue(c) - Blue(m_colours[i]);
      const int cost = dr * dr + dg * dg + db * db;
      if (cost < bestCost) {
        bestCost = cost;
        best = static_cast<int>(i);
        if (cost == 0) break;
      }
    }
    m_inverse[c] = static_cast<uint8_t>(best);
  }
}

void CSoftwarePalette::BuildLightTables() {
  for (int level = 0; level < kLevels; ++level)
    for (int i = 0; i < kColours; ++i)
      m_light[level][i] = Scale555(m_colours[i], static_cast<float>(level + 1) * 0.03125f);
}

void CSoftwarePalette::WriteBlock(uint8_t* out) const {
  for (int i = 0; i < kColours; ++i) le::WriteU16(out + 2 * i, m_colours[i]);
  le::WriteU32(out + 512, m_count);
  for (int level = 0; level < kLevels; ++level)
    for (int i = 0; i < kColours; ++i) le::WriteU16(out + 516 + (level * kColours + i) * 2, m_light[level][i]);
  std::memcpy(out + 516 + kLevels * kColours * 2, m_inverse, kInverseSize);
}

bool CSoftwarePalette::ReadBlock(const uint8_t* in) {
  const uint32_t count = le::ReadU32(in + 512);
  if (count < 1 || count > static_cast<uint32_t>(kColours)) return false;
  for (int i = 0; i < kColours; ++i) m_colours[i] = le::ReadU16(in + 2 * i) & 0x7FFF;
  m_count = std::max<uint32_t>(2, count);
  for (int level = 0; level < kLevels; ++level)
    for (int i = 0; i < kColours; ++i)
      m_light[level][i] = le::ReadU16(in + 516 + (level * kColours + i) * 2) & 0x7FFF;
  std::memcpy(m_inverse, in + 516 + kLevels * kColours * 2, kInverseSize);
  return true;
}

bool CSoftwarePalette::operator==(const CSoftwarePalette& other) const {
  return m_count == other.m_count && std::memcmp(m_colours, other.m_colours, sizeof(m_colours)) == 0 &&
         std::memcmp(m_light, other.m_light, sizeof(m_light)) == 0 &&
         std::memcmp(m_inverse, other.m_inverse, sizeof(m_inverse)) == 0;
}
