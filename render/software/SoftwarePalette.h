// CSoftwarePalette: the palette every software texture indexes, with its 32 light tables and the
// inverse colour table that maps any 15-bit colour to its nearest palette entry.
#pragma once

#include <cstddef>
#include <cstdint>

class CSoftwarePalette {
 public:
  static constexpr int kColours = 256;
  static constexpr int kLevels = 32;
  static constexpr size_t kInverseSize = 32768;
  // The byte image of the palette block of a cache file: colours, count, light tables, inverse table.
  static constexpr size_t kBlockBytes = kColours * 2 + 4 + kLevels * kColours * 2 + kInverseSize;

  CSoftwarePalette() { SetDefault(); }
  // An all-black palette without the cost of the default's tables, for readers that replace it.
  struct Blank {};
  explicit CSoftwarePalette(Blank) {}

  // The built-in ramps used when no cache file gives a palette.
  void SetDefault();
  // Installs count colours (x1r5g5b5) and derives both tables. Entry 0 stays reserved for
  // transparent texels, so a palette always offers entry 1 as well: counts below 2 become 2,
  // counts above 256 become 256.
  void SetColours(const uint16_t* colours, uint32_t count);

  uint32_t GetCount() const { return m_count; }
  uint16_t GetColour(int index) const { return m_colours[index & 0xFF]; }
  // 256 x1r5g5b5 colours of light level 0 (darkest) to 31 (the palette itself).
  const uint16_t* GetLightTable(int level) const { return m_light[level < 0 ? 0 : level > 31 ? 31 : level]; }
  const uint16_t* GetLightTables() const { return m_light[0]; }
  uint8_t Nearest(uint32_t colour555) const { return m_inverse[colour555 & 0x7FFF]; }

  // The cache-file block (kBlockBytes, little-endian).
  void WriteBlock(uint8_t* out) const;
  // Takes the block as stored, tables included. False (nothing changed) for a colour count
  // outside 1..256.
  bool ReadBlock(const uint8_t* in);

  bool operator==(const CSoftwarePalette& other) const;

 private:
  void BuildInverseTable();
  void BuildLightTables();

  uint16_t m_colours[kColours] = {};
  uint32_t m_count = 0;
  uint16_t m_light[kLevels][kColours] = {};
  uint8_t m_inverse[kInverseSize] = {};
};
