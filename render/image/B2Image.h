// CB2Image: the own 16-bit sprite format: raw rows or rows run-coded into transparent, blended
// and opaque runs.
#pragma once

#include <cstdint>
#include <vector>

#include "render/image/Image.h"

class CBitmapImage;

class CB2Image : public CImage {
 public:
  static constexpr size_t kHeaderBytes = 55;
  enum : uint8_t { kEnd = 0, kSkip = 1, kBlend = 2, kOpaque = 3 };
  static constexpr int32_t kPixelBlended = 768;
  static constexpr int32_t kPixelSolid = 1792;

  CB2Image();
  // Reads a B2 file image (copied). kValid tells whether it worked.
  CB2Image(const uint8_t* data, size_t size);
  ~CB2Image() override;

  // Encodes a 15, 16 or 24-bit bitmap image: raw rows without alpha or key, run-coded rows otherwise.
  // Other depths return 0: 8-bit pixels are palette indices, and 32-bit pictures have no stored
  // colour form here.
  int CopyFrom(CImage& source, const ImageRect* src, const ImageRect* dst) override;
  void DecodeRow16(const SpanConverters& spans, uint8_t* dst, int y, int x, int count) const override;
  // The stored colours go out unchanged, so the destination must share their format.
  bool CanDrawInto(int dstDepth) const override { return dstDepth == depth; }
  int CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) override;
  int SetBitDepth(int bits) override;
  int ApplyGamma(float gamma) override;
  int32_t GetPixel(int x, int y) const override;
  void GetHeaderInfo(int32_t box[4]) const override;
  CImageRef Clone() const override;
  int Save(const char* path) override;

  bool IsRowCoded() const { return m_rowCoded; }
  // The file image as it would be saved.
  std::vector<uint8_t> FileImage() const;

 private:
  // Rebuilds the image from a 15, 16 or 24-bit picture.
  void Encode(const CBitmapImage* source);
  struct Command {
    uint8_t kind;
    int count;
    uint8_t* payload;
  };
  bool ReadCommand(uint8_t* p, Command* c, size_t* size) const;
  bool Load(const uint8_t* data, size_t size);
  uint8_t* RowStart(int y) const;
  // Calls visit(colour reference) for every stored colour.
  template <class Visit>
  void ForEachColour(Visit visit);

  std::vector<uint8_t> m_image;
  bool m_rowCoded = false;
};
