// CBitmapImage: a true-colour picture in a DIB section, with an optional alpha plane and colour key.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/image/Image.h"

class CBitmapImage : public CImage {
 public:
  // Reads a BMP, TIFF or Targa file from the bytes (see DetectImageFormat); flag kValid tells
  // whether it worked.
  CBitmapImage(const uint8_t* data, size_t size);
  // A blank picture; depth 15 makes a 16-bit 5-5-5 section.
  CBitmapImage(int width, int height, int depth);
  ~CBitmapImage() override;

  int BltTo(CImage& target, const ImageRect& src, const ImageRect& dst) override;
  int CopyFrom(CImage& source, const ImageRect* src, const ImageRect* dst) override;
  int StretchFrom(CImage& source, const ImageRect& src, const ImageRect& dst, const uint8_t* mask) override;
  int DrawToDC(HDC dc, int x, int y) override;
  int DrawToDCRect(HDC dc, const ImageRect& dst, const ImageRect& src) override;
  int CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) override;
  int StretchFromRef(const CImageRef& source, const ImageRect& src, const ImageRect& dst,
                     const uint8_t* mask) override;
  int ApplyGamma(float gamma) override;
  // 0x00RRGGBB; a top byte of 1 turns the key off.
  int SetColourKey(uint32_t colour) override;
  int32_t GetPixel(int x, int y) const override;
  int SetPixel(int x, int y, uint32_t colour) override;
  void GetHeaderInfo(int32_t box[4]) const override;
  CImageRef Clone() const override;
  void FlipVertical() override;
  void FlipHorizontal() override;
  // Writes a BMP file; true when the whole file was written.
  int Save(const char* path) override;
  int GetDC(HDC* dc) override;
  HBITMAP GetBitmapHandle() const override { return m_bitmap.get(); }
  void ReleaseDC() override;

  // Creates the section (replacing any) and points pixels and pitch at it; sets kValid.
  bool CreateSection(int width, int height, int depth);
  // width x height bytes, top row first; null when absent.
  const uint8_t* GetAlphaPlane() const { return m_alpha.empty() ? nullptr : m_alpha.data(); }
  uint8_t* AlphaPlaneForWrite();  // creates it (zeros) when absent and sets kAlphaPlane
  uint32_t GetKeyColour() const { return m_keyColour; }
  bool IsKeyEnabled() const { return m_keyEnabled; }
  void SetAlphaTest(bool on) { m_alphaTest = on; }
  // The BMP file image of this picture.
  std::vector<uint8_t> EncodeBmp() const;

 private:
  struct BitmapDeleter {
    void operator()(GdiBitmap* bitmap) const { DeleteObject(bitmap); }
  };
  // Reads one pixel as 0x00RRGGBB.
  uint32_t ReadRgb(int x, int y) const;
  uint8_t* Row(int y) const { return pixels + static_cast<size_t>(y) * pitch; }
  int BytesPerPixel() const { return depth == 15 ? 2 : depth / 8; }

  std::vector<uint8_t> m_alpha;
  std::unique_ptr<GdiBitmap, BitmapDeleter> m_bitmap;
  uint32_t m_keyColour = 0xFF000000u;
  bool m_keyEnabled = false;
  bool m_alphaTest = false;
  HDC m_memoryDC = nullptr;
  HGDIOBJ m_previousBitmap = nullptr;
};
