// CImage: handles, format detection, the loaders and the core blit into raw buffers.
#include "render/image/Image.h"

#include <cstring>
#include <utility>

#include "platform/system/ModuleResources.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "render/image/ImageFactory.h"
#include "render/image/ImageFileIo.h"

CImageRef::CImageRef(std::unique_ptr<CImage> image) : m_handle(std::move(image)) {}

CImage* CImageRef::Get() const { return m_handle.GetAs<CImage>(); }

void CImage::GetSize(int* outWidth, int* outHeight) const {
  *outWidth = width;
  *outHeight = height;
}

bool CImage::Validate() const {
  if (flags & (kFromBitmapFile | kFromTiff | kOwnFormat)) return true;
  OutputDebugStringA("Invalid DIB\n");
  return false;
}

void CImage::TakeData(std::unique_ptr<uint8_t[]> block) {
  m_ownedData = std::move(block);
  flags |= kOwnsData;
}

int CImage::BltImage(const RawSurface& dst, int x, int y) {
  return BltRaw(dst, ImageRect{0, 0, width - 1, height - 1}, ImageRect{x, y, x + width - 1, y + height - 1});
}

int CImage::BltImageRect(const RawSurface& dst, const ImageRect& src, const ImageRect& dstRect) {
  return BltRaw(dst, src, dstRect);
}

namespace {

// Clips one axis of a 2x copy in source units: the destination start must stay at twice the
// source offset, so a clipped edge moves the source by whole pixels.
bool ClipDoubledAxis(int& s0, int& s1, int& d0, int sMax, int dMax) {
  if (s0 < 0) {
    d0 -= 2 * s0;
    s0 = 0;
  }
  if (d0 < 0) {
    const int skip = (-d0 + 1) / 2;
    s0 += skip;
    d0 += 2 * skip;
  }
  if (s1 > sMax - 1) s1 = sMax - 1;
  const int room = (dMax - d0) / 2;  // whole source pixels that fit
  if (s1 - s0 + 1 > room) s1 = s0 + room - 1;
  return s1 >= s0;
}

}  // namespace

int CImage::BltRaw(const RawSurface& dst, ImageRect src, ImageRect dstRect) {
  if (!dst.pixels || dst.width <= 0 || dst.height <= 0) return 0;
  const bool doubled = dstRect.Width() == 2 * src.Width() && dstRect.Height() == 2 * src.Height();
  if (doubled) {
    // Only the BW decoder has a 2x row form, and it writes 5-5-5 pixels.
    if (!CanDrawDoubled() || dst.depth != 15 || depth != 15) return 0;
    if (!ClipDoubledAxis(src.x0, src.x1, dstRect.x0, width, dst.width) ||
        !ClipDoubledAxis(src.y0, src.y1, dstRect.y0, height, dst.height))
      return 0;
    uint8_t* row = dst.pixels + static_cast<size_t>(dstRect.x0) * 2 + static_cast<size_t>(dstRect.y0) * dst.pitch;
    for (int y = src.y0; y <= src.y1; ++y, row += 2 * static_cast<size_t>(dst.pitch))
      DecodeBlock(row, y, src.x0, src.Width(), dst.pitch);
    return 1;
  }
  if (!CanDrawInto(dst.depth) || !ClipOneToOne(src, dstRect, width, height, dst.width, dst.height)) return 0;
  const SpanConverters* spans = SelectSpanConverters(dst.depth);
  if (!spans) {
    OutputDebugStringA("CImage: no converters for the destination depth\n");
    return 0;
  }
  uint8_t* row = dst.pixels + static_cast<size_t>(dstRect.x0) * spans->bytesPerPixel +
                 static_cast<size_t>(dstRect.y0) * dst.pitch;
  for (int y = src.y0; y <= src.y1; ++y, row += dst.pitch) DecodeRow16(*spans, row, y, src.x0, src.Width());
  return 1;
}

ImageFormat DetectImageFormat(const uint8_t* data, size_t size) {
  if (!data || size < 2) return kImageUnknown;
  if (data[0] == 'B' && data[1] == 'M') return kImageBitmap;
  if ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')) return kImageTiff;
  if (data[0] == 'B' && data[1] == 'W') return kImageBW;
  if (data[0] == 'B' && data[1] == '2') return kImageB2;
  if (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 2) return kImageTargaRaw;
  if (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 10) return kImageTargaRle;
  return kImageUnknown;
}

CImageRef LoadImageFromMemory(const uint8_t* data, size_t size) {
  std::unique_ptr<CImage> image = MakeImageForFormat(DetectImageFormat(data, size), data, size);
  if (!image || !(image->flags & CImage::kValid)) return CImageRef();
  return CImageRef(std::move(image));
}

CImageRef LoadImageFile(const char* path) {
  size_t size = 0;
  std::unique_ptr<uint8_t[]> block = ReadImageFile(path, &size);
  if (!block) return CImageRef();
  std::unique_ptr<CImage> image = MakeImageForFormat(DetectImageFormat(block.get(), size), block.get(), size);
  if (!image || !(image->flags & CImage::kValid)) return CImageRef();
  image->TakeData(std::move(block));
  return CImageRef(std::move(image));
}

CImageRef LoadImageFileKeyed(const char* path, uint32_t colour) {
  CImageRef image = LoadImageFile(path);
  if (!image.IsNull()) image->SetColourKey(colour);
  return image;
}

CImageRef LoadImageFromResource(HMODULE module, const char* name) {
  if (name == nullptr) return CImageRef();
  HRSRC found = FindResourceA(module, name, RT_RCDATA);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return CImageRef();
  return LoadImageFromMemory(static_cast<const uint8_t*>(bytes), SizeofResource(module, found));
}

CImageRef LoadImageFromResource(HMODULE module, const char* name, uint32_t colour) {
  CImageRef image = LoadImageFromResource(module, name);
  if (!image.IsNull()) image->SetColourKey(colour);
  return image;
}

CImageRef LoadImageFromResource(const char* name, int32_t) { return LoadImageFromResource(name); }

CImageRef LoadImageFromResource(const char* name) { return LoadImageFromResource(GetModuleHandleA(nullptr), name); }

CImageRef CreateDibImage(int w, int h, int bits) {
  auto image = std::make_unique<CBitmapImage>(w, h, bits);
  if (!(image->flags & CImage::kValid)) return CImageRef();
  return CImageRef(std::move(image));
}

CImageRef CreateBWImage() { return CImageRef(std::make_unique<CBWImage>()); }

uint32_t Expand555(uint32_t colour) {
  auto widen = [](uint32_t c) { return c ? (c << 3 | 7) : 0u; };
  return (colour & 0xFF000000u) | widen(colour >> 10 & 31) << 16 | widen(colour >> 5 & 31) << 8 | widen(colour & 31);
}
