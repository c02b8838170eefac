// LightMapPageFile: writing and checked reading of light-map page files.
#include "scene/lighting/LightMapPageFile.h"

#include <cstring>

#include "core/math/DebugPrintf.h"
#include "core/math/FileBuffer.h"

namespace {

constexpr char kImageName[] = "LightMap";
constexpr uint32_t kBytesPerPixel = 4;
constexpr size_t kPixelCount = static_cast<size_t>(LightMapPage::kSize) * LightMapPage::kSize;

uint32_t WordAt(const uint8_t* data, size_t index) {
  uint32_t word;
  std::memcpy(&word, data + 4 * index, 4);
  return word;
}

}  // namespace

std::vector<uint8_t> LightMapPageFile::Encode(const LightMapPage& page) {
  const uint32_t header[7] = {LightMapPage::kSize, LightMapPage::kSize, kBytesPerPixel, kRedMask,
                              kGreenMask,          kBlueMask,          kAlphaMask};
  std::vector<uint8_t> out(kHeaderSize + kPixelCount * 4, 0);
  std::memcpy(out.data(), header, sizeof(header));
  std::memcpy(out.data() + sizeof(header), kImageName, sizeof(kImageName));
  // A page always has its full image; a short one (never made by the packer) is written white.
  for (size_t i = 0; i < kPixelCount; ++i) {
    const uint32_t pixel = i < page.pixels.size() ? page.pixels[i] : 0xFFFFFFFFu;
    std::memcpy(&out[kHeaderSize + 4 * i], &pixel, 4);
  }
  return out;
}

bool LightMapPageFile::Decode(const uint8_t* data, size_t size, LightMapPage& page) {
  if (data == nullptr || size != kHeaderSize + kPixelCount * 4) {
    DebugPrintf("LightMapPageFile: %u bytes is not one light-map page\n", static_cast<unsigned>(size));
    return false;
  }
  const uint32_t expected[7] = {LightMapPage::kSize, LightMapPage::kSize, kBytesPerPixel, kRedMask,
                                kGreenMask,          kBlueMask,          kAlphaMask};
  for (size_t i = 0; i < 7; ++i) {
    if (WordAt(data, i) != expected[i]) {
      DebugPrintf("LightMapPageFile: header word %u is %u, expected %u\n", static_cast<unsigned>(i), WordAt(data, i),
                  expected[i]);
      return false;
    }
  }
  page.pixels.resize(kPixelCount);
  std::memcpy(page.pixels.data(), data + kHeaderSize, kPixelCount * 4);
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
