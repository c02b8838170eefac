// ImageFactory: picks the image class by format code.
#include "render/image/ImageFactory.h"

#include "render/image/B2Image.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"

std::unique_ptr<CImage> MakeImageForFormat(ImageFormat format, const uint8_t* data, size_t size) {
  switch (format) {
    case kImageBitmap:
    case kImageTiff:
    case kImageTargaRaw:
    case kImageTargaRle:
      return std::make_unique<CBitmapImage>(data, size);
    case kImageBW:
      return std::make_unique<CBWImage>(data, size);
    case kImageB2:
      return std::make_unique<CB2Image>(data, size);
    default:
      return nullptr;
  }
}
