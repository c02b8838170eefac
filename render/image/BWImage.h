// CBWImage: the own palettised interface picture format: raw index rows or run-coded rows with
// blended, shaded and transparent runs, optionally bit-compressed in its file.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/image/Image.h"

class CBitmapImage;

// The 16 colours shared by BW images built with kUseSharedPalette, rebuilt by one built with
// kBuildSharedPalette. The caller owns it and hands it to the images that use it.
struct BWSharedPalette {
  std::array<uint16_t, 16> entries = {0x7FFF, 0x7FFF, 0x7FFF};
};

class CBWImage : public CImage {
 public:
  static constexpr size_t kHeaderBytes = 33;

  // Row command bytes.
  enum : uint8_t { kEnd = 0, kSkip = 1, kBlend = 2, kIndices = 3, kShades = 4, kShadeFill = 5 };
  static constexpr uint8_t kShortFill = 0x80;
  static constexpr uint8_t kShortLiteral = 0xC0;

  // Kind codes of GetPixel.
  static constexpr int32_t kPixelBlended = 768;
  static constexpr int32_t kPixelSolid = 1792;

  // An empty image (the target of CopyFrom).
  CBWImage();
  // Reads a BW file image (copied; a compressed one is decoded). kValid tells whether it worked.
  CBWImage(const uint8_t* data, size_t size);
  ~CBWImage() override;

  int CopyFrom(CImage& source, const ImageRect* src, const ImageRect* dst) override;
  int CopyFromFlagged(CImage& source, const ImageRect* src, const ImageRect* dst) override;
  void DecodeRow16(const SpanConverters& spans, uint8_t* dst, int y, int x, int count) const override;
  void DecodeBlock(uint8_t* dst, int y, int x, int count, int dstPitch) const override;
  bool CanDrawDoubled() const override { return true; }
  // The handle's image (a DIB) draws this picture into itself.
  int CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) override;
  int SetBitDepth(int bits) override;
  int ApplyGamma(float gamma) override;
  void SetTag(int32_t tag) override { m_tag = tag; }
  const uint16_t* GetPaletteInfo(int* count) const override;
  int32_t GetPixel(int x, int y) const override;
  void GetHeaderInfo(int32_t box[4]) const override;
  int FindFirstRowInColumn(int x) const override;
  void BuildPairTable() override;
  CImageRef Clone() const override;
  int Save(const char* path) override;
  int32_t SaveToMemory(uint8_t* buffer, size_t capacity) override;

  int SaveRawBanks(const char* name) const;
  int SaveRawRows(const char* name) const;
  int ReplaceColourIndex(uint32_t rgb, uint8_t index);
  int SavePalette(const char* name) const;
  void GetPaletteRGB(uint8_t out[768]);
  uint16_t GetPaletteEntry(int index) const { return index >= 0 && index < 256 ? m_palette[index] : 0; }
  const uint8_t* GetRowPointer(int y) const;

  bool IsRowCoded() const { return m_rowCoded; }
  int32_t GetTag() const { return m_tag; }
  const std::vector<uint32_t>& GetPairTable() const { return m_pairTable; }
  void SetSharedPalette(BWSharedPalette* shared) { m_shared = shared; }
  // The uncompressed file image (header, palette, pixel area) as it would be saved uncompressed.
  std::vector<uint8_t> FileImage() const;

  // Installs a built picture: palette, raw rows or command rows (with their row starts relative
  // to the pixel area). Used by CopyFrom and by tests that build rows directly.
  void Assign(int w, int h, int paletteFormat, const std::vector<uint16_t>& palette, bool rowCoded,
              const std::vector<uint8_t>& area, const std::vector<uint32_t>& rowStarts);

 private:
  // Rebuilds the image from a 24-bit picture (see CopyFrom).
  void Encode(const CBitmapImage* source);
  struct Command {
    uint8_t kind;  // kEnd..kShadeFill, or kShortFill / kShortLiteral
    int count;
    const uint8_t* payload;
  };
  // The command at p (bounded by the end of the image); false for an unknown command byte.
  bool ReadCommand(const uint8_t* p, Command* c, size_t* size) const;
  bool Load(const uint8_t* data, size_t size);
  bool CheckRows() const;
  size_t AreaOffset() const { return kHeaderBytes + 2u * static_cast<size_t>(m_paletteCount); }
  void RefreshHeader();
  std::vector<uint8_t> BuildFile(bool compress) const;

  std::vector<uint8_t> m_image;  // the uncompressed file image
  std::array<uint16_t, 256> m_palette{};
  int m_paletteCount = 0;
  bool m_rowCoded = false;
  int32_t m_tag = -1;
  std::vector<uint32_t> m_pairTable;
  BWSharedPalette* m_shared = nullptr;
};
