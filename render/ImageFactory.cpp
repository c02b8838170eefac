// ImageFactory: picks the image class by format code.
#include "render/ImageFactory.h"

#include "render/BitmapImage.h"

std::unique_ptr<CImage> MakeImageForFormat(ImageFormat format, const uint8_t* data, size_t size) {
  switch (format) {
    case kImageBitmap:
    case kImageTiff:
    case kImageTargaRaw:
    case kImageTargaRle:
      return std::make_unique<CBitmapImage>(data, size);
    default:
      return nullptr;
  }
}
