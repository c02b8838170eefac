#include "render/image/MeshTextureFactory.h"

#include <cstring>

#include "core/data/DebugPrintf.h"
#include "render/image/Texture.h"

CTextureFactory::Result CMeshTextureFactory::LoadTexture(const char* path, bool loadPixels) const {
  Result result;
  auto texture = std::make_unique<CTexture>();
  if (!path || !texture->Load(path, loadPixels)) return result;
  const bool argb = texture->bytesPerPixel == 4 && texture->alphaMask == kAlpha && texture->redMask == kRed &&
                    texture->greenMask == kGreen && texture->blueMask == kBlue;
  if (texture->dataPresent && texture->pixels && !argb) {
    // A texture that cannot be repacked would be drawn with the wrong channels, so it counts as
    // not loaded.
    if (!texture->ConvertPixelFormat(4, kRed, kGreen, kBlue, kAlpha)) {
      DebugPrintf("CMeshTextureFactory: could not repack \"%s\" to ARGB\n", path);
      return result;
    }
    result.converted = true;
  }
  result.texture = std::move(texture);
  return result;
}

bool CMeshTextureFactory::SaveTexture(CTextureProperties& properties, const char* path) const {
  auto* texture = dynamic_cast<CTexture*>(&properties);
  if (!texture || !path) return false;
  if ((!texture->dataPresent || !texture->pixels) && !texture->Load(nullptr, true)) {
    DebugPrintf("CMeshTextureFactory: \"%s\" has no pixels to write\n", texture->name.c_str());
    return false;
  }
  return texture->Save(path, 1);
}

std::vector<uint8_t> CMeshTextureFactory::EncodePixels(const char* name, const uint32_t* argb, uint32_t width,
                                                       uint32_t height) const {
  CTexture texture;
  std::vector<uint8_t> file;
  if (!texture.CreateFromPixels(argb, 4, width, height, kRed, kGreen, kBlue, kAlpha, 0, name) ||
      !texture.Encode(0, file))
    return {};
  return file;
}

bool CMeshTextureFactory::DecodePixels(const uint8_t* data, size_t size, std::vector<uint32_t>& argb, uint32_t& width,
                                       uint32_t& height) const {
  CTexture texture;
  if (!texture.Parse(data, size, false, true) || !texture.pixels) return false;
  const bool packed = texture.bytesPerPixel == 4 && texture.alphaMask == kAlpha && texture.redMask == kRed &&
                      texture.greenMask == kGreen && texture.blueMask == kBlue;
  if (!packed && !texture.ConvertPixelFormat(4, kRed, kGreen, kBlue, kAlpha)) return false;
  width = texture.width;
  height = texture.height;
  argb.resize(static_cast<size_t>(width) * height);
  std::memcpy(argb.data(), texture.GetLevel(0), argb.size() * 4);
  return true;
}
