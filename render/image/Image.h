// CImage: the reference-counted base of the 2D pictures (bitmap, BW and B2 images) with its handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/data/RefHandle.h"
#include "platform/graphics/Gdi.h"
#include "platform/system/SystemInfo.h"
#include "render/image/Blitters.h"

class CImage;

// Counted handle to an image; copying shares it, the last release deletes the image.
class CImageRef {
 public:
  CImageRef() = default;
  // Takes the first share of a new image.
  explicit CImageRef(std::unique_ptr<CImage> image);
  CImage* Get() const;
  CImage* operator->() const { return Get(); }
  bool IsNull() const { return m_handle.IsNull(); }
  void Release() { m_handle.Release(); }
  uint32_t GetWord() const { return m_handle.GetWord(); }

 private:
  RefHandle m_handle;
};

enum ImageFormat {
  kImageBitmap = 0,
  kImageTiff = 1,
  kImageBW = 2,
  kImageB2 = 3,
  kImageTargaRaw = 4,
  kImageTargaRle = 5,
  kImageUnknown = 6
};

class CImage : public CRefCounted {
 public:
  static constexpr uint16_t kValid = 0x01;
  static constexpr uint16_t kAlphaPlane = 0x02;
  static constexpr uint16_t kFromBitmapFile = 0x08;
  static constexpr uint16_t kFromTiff = 0x10;
  static constexpr uint16_t kFromTarga = 0x20;
  static constexpr uint16_t kOwnFormat = 0x40;
  static constexpr uint16_t kOwnsData = 0x80;
  static constexpr uint16_t kOrderedRounding = 0x100;
  static constexpr uint16_t kAlphaAsMask = 0x200;
  static constexpr uint16_t kUseSharedPalette = 0x400;
  static constexpr uint16_t kBuildSharedPalette = 0x800;
  static constexpr uint16_t kCompressOnSave = 0x1000;

  CImage() = default;
  ~CImage() override = default;
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  uint16_t flags = 0;
  int depth = 0;
  int width = 0;
  int height = 0;
  int pitch = 0;
  uint8_t* pixels = nullptr;

  // Draws this image into a target image.
  virtual int BltTo(CImage& target, const ImageRect& src, const ImageRect& dst) { return 0; }
  // Rebuilds this image from a source image (rects null: the whole images).
  virtual int CopyFrom(CImage& source, const ImageRect* src, const ImageRect* dst) { return 0; }
  virtual int StretchFrom(CImage& source, const ImageRect& src, const ImageRect& dst, const uint8_t* mask) {
    return 0;
  }
  virtual int CopyFromFlagged(CImage& source, const ImageRect* src, const ImageRect* dst) { return 0; }
  // Draws count pixels of row y from column x into a raw destination row.
  virtual void DecodeRow16(const SpanConverters& spans, uint8_t* dst, int y, int x, int count) const {}
  // The same at 2x: every pixel twice across and into two rows pitch bytes apart (5-5-5 only).
  virtual void DecodeBlock(uint8_t* dst, int y, int x, int count, int dstPitch) const {}
  virtual bool CanDrawDoubled() const { return false; }
  // Whether DecodeRow16 can write a destination of this depth.
  virtual bool CanDrawInto(int dstDepth) const { return true; }
  virtual int DrawToDC(HDC dc, int x, int y) { return 0; }
  virtual int DrawToDCRect(HDC dc, const ImageRect& dst, const ImageRect& src) { return 0; }
  // Makes the image of the handle take this image's picture.
  virtual int CopyFromRef(const CImageRef& target, const ImageRect* src, const ImageRect* dst) { return 0; }
  virtual int StretchFromRef(const CImageRef& source, const ImageRect& src, const ImageRect& dst,
                             const uint8_t* mask) {
    return 0;
  }
  int BltImage(const RawSurface& dst, int x, int y);
  int BltImageRect(const RawSurface& dst, const ImageRect& src, const ImageRect& dstRect);
  // The core blit into a raw buffer; 0 when nothing can be drawn.
  int BltRaw(const RawSurface& dst, ImageRect src, ImageRect dstRect);
  virtual int SetBitDepth(int bits) { return 0; }
  virtual int ApplyGamma(float gamma) = 0;
  virtual void SetTag(int32_t tag) {}
  virtual const uint16_t* GetPaletteInfo(int* count) const { return nullptr; }
  void GetSize(int* outWidth, int* outHeight) const;
  virtual int SetColourKey(uint32_t colour) { return 0; }
  // 0x00BBGGRR for a bitmap, a kind code for the own formats, -1 where nothing is drawn.
  virtual int32_t GetPixel(int x, int y) const = 0;
  virtual int SetPixel(int x, int y, uint32_t colour) { return 0; }
  virtual void GetHeaderInfo(int32_t box[4]) const { box[0] = box[1] = box[2] = box[3] = 0; }
  virtual int FindFirstRowInColumn(int x) const { return 0; }
  virtual void BuildPairTable() {}
  virtual CImageRef Clone() const = 0;
  virtual void FlipVertical() {}
  virtual void FlipHorizontal() {}
  virtual int Save(const char* path) = 0;
  // Lays out the file image in buffer when it holds capacity bytes; returns the size, -1 when
  // this class has no memory form.
  virtual int32_t SaveToMemory(uint8_t* buffer, size_t capacity) { return -1; }
  bool Validate() const;
  virtual int GetDC(HDC* dc) {
    *dc = nullptr;
    return 0;
  }
  virtual HBITMAP GetBitmapHandle() const { return nullptr; }
  virtual void ReleaseDC() {}

  // Hands the file block to the image; it lives as long as the image.
  void TakeData(std::unique_ptr<uint8_t[]> block);

 protected:
  std::unique_ptr<uint8_t[]> m_ownedData;
};

// The format code of the first bytes (at least 3 are needed for any answer but 6).
ImageFormat DetectImageFormat(const uint8_t* data, size_t size);
// An image over the bytes (which it borrows); empty for an unknown or broken file.
CImageRef LoadImageFromMemory(const uint8_t* data, size_t size);
// Reads the file and hands its block to the image.
CImageRef LoadImageFile(const char* path);
CImageRef LoadImageFileKeyed(const char* path, uint32_t colour);
// An image over a data resource (type 10) of the module, which borrows the resource's bytes; empty
// for a null name, a resource that cannot be found, loaded or locked, or an unknown format. The
// program keeps no images among its resources, so in it these always answer empty.
CImageRef LoadImageFromResource(HMODULE module, const char* name);
// With the colour key set on the image.
CImageRef LoadImageFromResource(HMODULE module, const char* name, uint32_t colour);
// From the program's own module; the word is for a slot no image class uses, so it changes nothing.
CImageRef LoadImageFromResource(const char* name, int32_t word);
CImageRef LoadImageFromResource(const char* name);
CImageRef CreateDibImage(int width, int height, int depth);
CImageRef CreateBWImage();
// Spreads a 5-5-5 colour into 8-bit channels, keeping the top byte.
uint32_t Expand555(uint32_t colour);
