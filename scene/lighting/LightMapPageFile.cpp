// LightMapPageFile: light-map pages as texture files, through the renderer's texture factory.
#include "scene/lighting/LightMapPageFile.h"

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "scene/mesh/TextureFactory.h"

namespace {
constexpr size_t kPixelCount = static_cast<size_t>(LightMapPage::kSize) * LightMapPage::kSize;
}  // namespace

std::vector<uint8_t> LightMapPageFile::Encode(const LightMapPage& page) {
  const CTextureFactory* factory = CTextureFactory::Get();
  if (!factory) {
    DebugPrintf("LightMapPageFile: no texture factory to write a page with\n");
    return {};
  }
  // A page always has its full image; a short one (never made by the packer) is written white.
  std::vector<uint32_t> pixels(page.pixels);
  pixels.resize(kPixelCount, 0xFFFFFFFFu);
  return factory->EncodePixels(kImageName, pixels.data(), LightMapPage::kSize, LightMapPage::kSize);
}

bool LightMapPageFile::Decode(const uint8_t* data, size_t size, LightMapPage& page) {
  const CTextureFactory* factory = CTextureFactory::Get();
  std::vector<uint32_t> pixels;
  uint32_t width = 0, height = 0;
  if (!factory || !data || !factory->DecodePixels(data, size, pixels, width, height)) {
    DebugPrintf("LightMapPageFile: %u bytes are not a readable texture\n", static_cast<unsigned>(size));
    return false;
  }
  if (width != LightMapPage::kSize || height != LightMapPage::kSize) {
    DebugPrintf("LightMapPageFile: a %u x %u texture is not one light-map page\n", width, height);
    return false;
  }
  page.pixels = std::move(pixels);
  return true;
}

bool LightMapPageFile::Read(const char* path, LightMapPage& page) {
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path, &size);
  if (data == nullptr) return false;
  const bool ok = Decode(reinterpret_cast<const uint8_t*>(data), size, page);
  FreeFileBuffer(data);
  return ok;
}
