// CTexture: the ".texture" file, Targa and bitmap loading, pixel layouts and mip levels.
#include "render/image/Texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/world/GameWorld.h"
#include "core/input/Settings.h"
#include "core/world/WorldAccess.h"
#include "core/services/WorldPointer.h"
#include "core/data/DataFileName.h"
#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/LittleEndian.h"
#include "core/data/ResourceTable.h"
#include "render/image/BitmapImage.h"
#include "render/image/DDTexture.h"
#include "render/image/ImageFileIo.h"
#include "render/image/JpegCodec.h"

namespace {

constexpr uint32_t kMaxSide = 32768;
constexpr uint32_t kMaxLevels = 16;
constexpr uint32_t kStandardMasks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};

bool Fail(const char* why) {
  const std::string line = std::string("CTexture: ") + why + "\n";
  OutputDebugStringA(line.c_str());
  return false;
}

uint32_t FloorLog2(uint32_t v) {
  uint32_t log = 0;
  while (v > 1) {
    v >>= 1;
    ++log;
  }
  return log;
}
bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }
uint32_t NextPowerOfTwo(uint32_t v) {
  uint32_t p = 1;
  while (p < v) p <<= 1;
  return p;
}
uint32_t LowBit(uint32_t mask) { return mask ? static_cast<uint32_t>(__builtin_ctz(mask)) : 0; }
uint32_t HighBit(uint32_t mask) { return mask ? 31u - static_cast<uint32_t>(__builtin_clz(mask)) : 0; }

uint32_t ReadPixel(const uint8_t* p, uint32_t bytes) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}
void WritePixel(uint8_t* p, uint32_t bytes, uint32_t v) {
  for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The 8 bits at and below the mask's highest bit (255 for a missing alpha mask).
uint32_t Channel8(uint32_t pixel, uint32_t mask, bool isAlpha) {
  if (!mask) return isAlpha ? 255u : 0u;
  const uint32_t high = HighBit(mask);
  const uint32_t value = high >= 7 ? (pixel & mask) >> (high - 7) : (pixel & mask) << (7 - high);
  return value & 0xFF;
}
uint32_t PlaceChannel(uint32_t value8, uint32_t mask) {
  if (!mask) return 0;
  const uint32_t high = HighBit(mask);
  return (high >= 7 ? value8 << (high - 7) : value8 >> (7 - high)) & mask;
}

std::string FilePart(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool DropTopFromSettings() {
  const CSettings* settings = GetSettings();
  return settings && settings->textureDetail != 1.0f;
}

}  // namespace

CTexture::~CTexture() = default;

uint32_t CTexture::GetLevelWidth(uint32_t level) const { return level < 32 ? std::max(1u, width >> level) : 1u; }
uint32_t CTexture::GetLevelHeight(uint32_t level) const { return level < 32 ? std::max(1u, height >> level) : 1u; }
uint32_t CTexture::GetLevelSize(uint32_t level) const {
  return GetLevelWidth(level) * GetLevelHeight(level) * bytesPerPixel;
}
uint8_t* CTexture::GetLevel(uint32_t level) const {
  return pixels && level < mipOffsets.size() ? pixels.get() + mipOffsets[level] : nullptr;
}
uint32_t CTexture::GetPixelCount() const {
  uint32_t n = 0;
  for (uint32_t level = 0; level < mipCount; ++level) n += GetLevelWidth(level) * GetLevelHeight(level);
  return n;
}

void CTexture::SetGeometry(uint32_t w, uint32_t h, uint32_t bpp, uint32_t levels) {
  width = w;
  height = h;
  bytesPerPixel = bpp;
  log2Width = FloorLog2(w);
  log2Height = FloorLog2(h);
  mipCount = levels;
  level0Size = w * h * bpp;
  mipOffsets.assign(levels, 0);
  uint32_t total = 0;
  for (uint32_t level = 0; level < levels; ++level) {
    mipOffsets[level] = total;
    total += GetLevelSize(level);
  }
  totalSize = total;
}

bool CTexture::CheckGeometry() const {
  if (bytesPerPixel < 1 || bytesPerPixel > 4) return Fail("bytes per pixel out of range");
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return Fail("size out of range");
  if (log2Width != FloorLog2(width) || log2Height != FloorLog2(height)) return Fail("log2 sizes do not match");
  if (mipCount == 0 || mipCount > std::min(log2Width, log2Height) + 1 || mipCount > kMaxLevels)
    return Fail("mip count does not fit the size");
  // Sizes are summed wide: at the largest sides they pass 32 bits, and a wrapped sum would name a
  // block far smaller than the levels drawn from it.
  if (level0Size != uint64_t{width} * height * bytesPerPixel) return Fail("level 0 size does not match");
  uint64_t total = 0;
  for (uint32_t level = 0; level < mipCount; ++level)
    total += uint64_t{GetLevelWidth(level)} * GetLevelHeight(level) * bytesPerPixel;
  if (total != totalSize || total > UINT32_MAX - 3) return Fail("total size does not match the levels");
  return true;
}

void CTexture::ReleasePixels() {
  pixels.reset();
  mipOffsets.clear();
  flags |= kPixelsFreed;
}

void CTexture::Release() {
  ReleasePixels();
  fileName.clear();
  attached.reset();
}

// --- the file ---------------------------------------------------------------------------------

void CTexture::WriteHeaderBlock(uint8_t* out) const {
  std::memset(out, 0, kHeaderBlockBytes);
  std::memcpy(out, name.data(), std::min(name.size(), kMaxName));
  const uint32_t words[] = {width,   height, bytesPerPixel, 0, redMask,   greenMask, blueMask,  alphaMask, flags,
                            keyColour, 0,   log2Width,     log2Height, mipCount, level0Size, totalSize, 0, 0};
  for (size_t i = 0; i < sizeof(words) / sizeof(words[0]); ++i) le::WriteU32(out + 68 + 4 * i, words[i]);
}

bool CTexture::ReadHeaderBlock(const uint8_t* in) {
  name.assign(reinterpret_cast<const char*>(in), strnlen(reinterpret_cast<const char*>(in), kMaxName));
  uint32_t w[18];
  for (int i = 0; i < 18; ++i) w[i] = le::ReadU32(in + 68 + 4 * i);
  width = w[0];
  height = w[1];
  bytesPerPixel = w[2];
  redMask = w[4];
  greenMask = w[5];
  blueMask = w[6];
  alphaMask = w[7];
  flags = w[8];
  keyColour = w[9];
  log2Width = w[11];
  log2Height = w[12];
  mipCount = w[13];
  level0Size = w[14];
  totalSize = w[15];
  return CheckGeometry();
}

void CTexture::DropTopLevel() {
  const uint32_t keep = mipCount - 1;
  std::unique_ptr<uint8_t[]> old = std::move(pixels);
  const uint32_t skip = GetLevelSize(0);
  SetGeometry(GetLevelWidth(1), GetLevelHeight(1), bytesPerPixel, keep);
  pixels.reset(new uint8_t[totalSize + 3]());
  std::memcpy(pixels.get(), old.get() + skip, totalSize);
}

bool CTexture::Parse(const uint8_t* data, size_t size, bool dropTop, bool loadPixels) {
  pixels.reset();
  mipOffsets.clear();
  deviceTexture = nullptr;
  if (!data || size < 4) return Fail("file shorter than its format words");
  const uint16_t fileFormat = le::ReadU16(data);
  const uint16_t fileCompression = le::ReadU16(data + 2);
  size_t at = 4;
  if (fileFormat == kFormatCurrent) {
    if (size < 12) return Fail("file shorter than its format words");
    fileWord1 = le::ReadU32(data + 4);
    fileWord2 = le::ReadU32(data + 8);
    const void* end = std::memchr(data + 12, 0, size - 12);
    if (!end) return Fail("attached name not terminated");
    attachedName.assign(reinterpret_cast<const char*>(data + 12));
    at = static_cast<const uint8_t*>(end) - data + 1;
  } else if (fileFormat != 0 && fileFormat != kFormatPlain) {
    return Fail("Unknown Texture Data Format!");
  }
  if (size - at < kHeaderBlockBytes) return Fail("header block cut short");
  if (!ReadHeaderBlock(data + at)) return false;
  at += kHeaderBlockBytes;
  compression = fileCompression;
  format = kFormatCurrent;
  fileName.clear();
  if (!loadPixels) {
    dataPresent = 0;
    return true;
  }
  bool ok = false;
  if (compression == 0) {
    if (size - at < 4u * mipCount || size - at - 4u * mipCount < totalSize) return Fail("pixels cut short");
    SetGeometry(width, height, bytesPerPixel, mipCount);
    for (uint32_t level = 0; level < mipCount; ++level)
      if (le::ReadU32(data + at + 4 * level) != mipOffsets[level]) return Fail("level offsets do not match the sizes");
    pixels.reset(new uint8_t[totalSize + 3]());
    std::memcpy(pixels.get(), data + at + 4u * mipCount, totalSize);
    if (dropTop && mipCount >= 4) DropTopLevel();
    ok = true;
  } else if (compression == kCompressionJpeg) {
    SetGeometry(width, height, bytesPerPixel, mipCount);
    ok = JpegCodec::Decompress(*this, data, size, at, dropTop);
  } else {
    return Fail("Unknown Texture Compression Format!");
  }
  compression = 0;
  dataPresent = ok ? 1 : 0;
  // Loading many textures can take seconds; the pointer keeps moving meanwhile.
  if (CGameWorld* world = GetGameWorld()) {
    if (CWorldPointer* pointer = world->GetMouseCursor()) pointer->Update();
  }
  return ok;
}

bool CTexture::Encode(int mode, std::vector<uint8_t>& out) const {
  // Only 4-byte pixels split into the three JPEG channels; anything else is stored raw.
  const bool jpeg = mode == 1 && bytesPerPixel == 4;
  if (!pixels && totalSize != 0) return Fail("no pixels to write");
  out.assign(12, 0);
  le::WriteU16(out.data(), kFormatCurrent);
  le::WriteU16(out.data() + 2, jpeg ? kCompressionJpeg : 0);
  le::WriteU32(out.data() + 4, fileWord1);
  le::WriteU32(out.data() + 8, fileWord2);
  out.insert(out.end(), attachedName.begin(), attachedName.end());
  out.push_back(0);
  const size_t header = out.size();
  out.resize(header + kHeaderBlockBytes);
  WriteHeaderBlock(out.data() + header);
  if (jpeg) return JpegCodec::Compress(*this, out);
  for (uint32_t level = 0; level < mipCount; ++level) le::PutU32(out, mipOffsets[level]);
  if (totalSize) out.insert(out.end(), pixels.get(), pixels.get() + totalSize);
  return true;
}

bool CTexture::Save(const char* path, int mode) {
  if (!path) return false;
  std::vector<uint8_t> file;
  bool ok = true;
  if (attached) {
    // The attached texture lives beside its parent under the parent's file name plus ".RFL".
    const std::string attachedPath = std::string(path) + ".RFL";
    attachedName = FilePart(path) + ".RFL";
    ok = attached->Save(attachedPath.c_str(), mode);
  }
  if (!Encode(mode, file)) return false;
  return WriteImageFile(path, file.data(), file.size()) && ok;
}

bool CTexture::Load(const char* path, bool loadPixels) { return LoadAtDepth(path, loadPixels, 0); }

bool CTexture::LoadAtDepth(const char* path, bool loadPixels, uint32_t depth) {
  const bool dropTop = DropTopFromSettings();
  const std::string target = path ? std::string(path) : fileName;
  if (flags & kTargaSource) return LoadTarga(target.c_str(), flags & ~kPixelsFreed);
  if (flags & kBitmapSource) return LoadBitmap(target.c_str(), flags & ~kPixelsFreed);
  ReleasePixels();
  if (target.empty()) return false;
  uint32_t size = 0;
  char* buffer = LoadFileToBuffer(target.c_str(), &size);
  if (!buffer) return false;
  const bool ok = Parse(reinterpret_cast<const uint8_t*>(buffer), size, dropTop, loadPixels);
  FreeFileBuffer(buffer);
  if (!ok) return false;
  LoadAttached(target, loadPixels, depth);
  fileName = target;
  flags &= ~(kTargaSource | kBitmapSource);
  return true;
}

// The attached texture is read from the folder of its parent's file. A name leading out of that
// folder, or an attachment deeper than the bound, is refused: the parent loads without it.
void CTexture::LoadAttached(const std::string& path, bool loadPixels, uint32_t depth) {
  if (attachedName.empty()) return;  // an attached texture of an earlier load stays as it was
  if (depth >= kMaxAttachDepth) {
    DebugPrintf("CTexture: \"%s\" attaches textures more than %u deep; \"%s\" not loaded\n", path.c_str(),
                static_cast<unsigned>(kMaxAttachDepth), attachedName.c_str());
    attached.reset();
    return;
  }
  if (!IsNameInsideFolder(attachedName.c_str(), "CTexture")) {
    attached.reset();
    return;
  }
  const size_t cut = path.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? std::string(".") : path.substr(0, cut);
  if (!attached) attached = std::make_unique<CTexture>();
  attached->LoadAtDepth((folder + "/" + attachedName).c_str(), loadPixels, depth + 1);
}

// --- building from pixels ---------------------------------------------------------------------

bool CTexture::CreateFromPixels(const void* sourcePixels, uint32_t bpp, uint32_t w, uint32_t h, uint32_t red,
                                uint32_t green, uint32_t blue, uint32_t alpha, uint32_t createFlags,
                                const char* textureName) {
  const uint8_t* src = static_cast<const uint8_t*>(sourcePixels);
  pixels.reset();
  mipOffsets.clear();
  if (bpp < 1 || bpp > 4 || w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) return Fail("bad pixel geometry");
  flags = createFlags & ~0x81FFu;
  name = textureName && std::strlen(textureName) <= kMaxName ? textureName : "NoName";
  redMask = red;
  greenMask = green;
  blueMask = blue;
  alphaMask = alpha;
  if (alpha && src) {
    bool transparent = false, partial = false;
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      const uint32_t pixel = ReadPixel(src + i * bpp, bpp);
      const uint32_t a = pixel & alpha;
      if (a == 0 && !transparent) {
        transparent = true;
        keyColour = pixel;
      } else if (a != 0 && a != alpha) {
        partial = true;
      }
    }
    flags |= (transparent ? kHasTransparent : 0) | (partial ? kHasPartial : 0);
  }
  if (red || green || blue) flags |= kMasksSet;
  uint32_t tw = w, th = h;
  if (createFlags & 0x103) {
    tw = std::max(tw, 4u);
    th = std::max(th, 4u);
  }
  if ((createFlags & 0x02) && !(IsPowerOfTwo(tw) && IsPowerOfTwo(th))) {
    tw = NextPowerOfTwo(tw);
    th = NextPowerOfTwo(th);
  }
  if ((createFlags & 0x01) && tw != th) tw = th = std::max(tw, th);
  flags |= kSquare;
  if (IsPowerOfTwo(tw) && IsPowerOfTwo(th)) flags |= kPowerOfTwo;
  const bool mips = (createFlags & 0x10) != 0;
  if (mips) flags |= kMipMapped;
  SetGeometry(tw, th, bpp, mips ? std::min(FloorLog2(tw), FloorLog2(th)) + 1 : 1);
  if (createFlags & 0x80) {
    dataPresent = 0;
    return true;
  }
  pixels.reset(new uint8_t[totalSize + 3]());
  uint8_t* level0 = pixels.get();
  if (src) {
    if (tw == w && th == h) {
      std::memcpy(level0, src, level0Size);
    } else {
      for (uint32_t y = 0; y < th; ++y)
        for (uint32_t x = 0; x < tw; ++x)
          std::memcpy(level0 + (static_cast<size_t>(y) * tw + x) * bpp,
                      src + (static_cast<size_t>(y * h / th) * w + x * w / tw) * bpp, bpp);
    }
  }
  BuildMipLevels();
  dataPresent = 1;
  if ((createFlags & 0x103) && alphaMask != 0xFF000000u) {
    OutputDebugStringA("CTexture: Converting input into standard 32bit ARGB format.\n");
    return ConvertPixelFormat(4, kStandardMasks[0], kStandardMasks[1], kStandardMasks[2], kStandardMasks[3]);
  }
  return true;
}

void CTexture::BuildMipLevels() {
  if (!pixels) return;
  const uint32_t colourBits = redMask | greenMask | blueMask;
  for (uint32_t level = 1; level < mipCount; ++level) {
    const uint8_t* above = GetLevel(level - 1);
    uint8_t* out = GetLevel(level);
    const uint32_t aw = GetLevelWidth(level - 1), ah = GetLevelHeight(level - 1);
    const uint32_t lw = GetLevelWidth(level), lh = GetLevelHeight(level);
    for (uint32_t y = 0; y < lh; ++y)
      for (uint32_t x = 0; x < lw; ++x) {
        const uint32_t x0 = std::min(2 * x, aw - 1), x1 = std::min(2 * x + 1, aw - 1);
        const uint32_t y0 = std::min(2 * y, ah - 1), y1 = std::min(2 * y + 1, ah - 1);
        const uint8_t* p[4] = {above + (y0 * aw + x0) * bytesPerPixel, above + (y0 * aw + x1) * bytesPerPixel,
                               above + (y1 * aw + x0) * bytesPerPixel, above + (y1 * aw + x1) * bytesPerPixel};
        uint8_t* o = out + (static_cast<size_t>(y) * lw + x) * bytesPerPixel;
        for (uint32_t b = 0; b < bytesPerPixel; ++b) o[b] = static_cast<uint8_t>((p[0][b] + p[1][b] + p[2][b] + p[3][b]) >> 2);
        if (!alphaMask && bytesPerPixel == 4 && colourBits) WritePixel(o, 4, ReadPixel(o, 4) | ~colourBits);
      }
  }
}

void CTexture::InitFromRawPixels(std::unique_ptr<uint8_t[]> block, uint32_t bpp, uint32_t w, uint32_t h, uint32_t red,
                                 uint32_t green, uint32_t blue, uint32_t alpha, const char* textureName) {
  name = textureName && std::strlen(textureName) <= kMaxName ? textureName : "NoName";
  redMask = red;
  greenMask = green;
  blueMask = blue;
  alphaMask = alpha;
  SetGeometry(w, h, bpp, 1);
  pixels = std::move(block);
  dataPresent = pixels ? 1 : 0;
}

bool CTexture::ConvertPixelFormat(uint32_t bpp, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
  if (!pixels || bpp < 1 || bpp > 4) return Fail("nothing to convert");
  if (!(flags & (kHasTransparent | kHasPartial)) && alphaMask) {
    for (uint32_t i = 0; i < width * height; ++i) {
      uint8_t* p = pixels.get() + static_cast<size_t>(i) * bytesPerPixel;
      WritePixel(p, bytesPerPixel, ReadPixel(p, bytesPerPixel) | alphaMask);
    }
  }
  const uint32_t from[4] = {redMask, greenMask, blueMask, alphaMask};
  const uint32_t to[4] = {red, green, blue, alpha};
  std::unique_ptr<uint8_t[]> repacked(new uint8_t[static_cast<size_t>(width) * height * bpp + 3]());
  RepackPixels(pixels.get(), repacked.get(), width, height, width * bytesPerPixel, width * bpp, bytesPerPixel, from,
               bpp, to);
  const std::string keepName = name;
  const uint32_t keepFlags = flags & ~0x81FFu;
  // The sizes are settled already; only the mip chain is rebuilt in the new layout.
  return CreateFromPixels(repacked.get(), bpp, width, height, red, green, blue, alpha,
                          keepFlags | (flags & kMipMapped), keepName.c_str());
}

void RepackPixels(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t srcPitch,
                  uint32_t dstPitch, uint32_t srcBytes, const uint32_t srcMasks[4], uint32_t dstBytes,
                  const uint32_t dstMasks[4]) {
  const bool wordToWord = srcBytes == 4 && dstBytes == 4;
  const bool to16 = (srcBytes == 3 || srcBytes == 4) && srcMasks[1] == 0xFF00 && dstBytes == 2 &&
                    (dstMasks[1] == 0x3E0 || dstMasks[1] == 0x7E0 || (dstMasks[1] == 0xF0 && srcBytes == 4));
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + static_cast<size_t>(y) * srcPitch;
    uint8_t* out = dst + static_cast<size_t>(y) * dstPitch;
    for (uint32_t x = 0; x < width; ++x, in += srcBytes, out += dstBytes) {
      const uint32_t pixel = ReadPixel(in, srcBytes);
      uint32_t result = 0;
      if (wordToWord) {
        for (int k = 0; k < 4; ++k)
          result |= (((pixel & srcMasks[k]) >> LowBit(srcMasks[k])) << LowBit(dstMasks[k])) & dstMasks[k];
      } else if (to16) {
        const uint32_t r = Channel8(pixel, srcMasks[0], false), g = Channel8(pixel, srcMasks[1], false);
        const uint32_t b = Channel8(pixel, srcMasks[2], false), a = Channel8(pixel, srcMasks[3], true);
        if (dstMasks[1] == 0x3E0) result = (b >> 3) + ((g & 0xF8) << 2) + ((r & 0xF8) << 7);
        else if (dstMasks[1] == 0x7E0) result = (b >> 3) + ((g & 0xFC) << 3) + ((r & 0xF8) << 8);
        else result = ((a & 0xF0) << 8) + ((r & 0xF0) << 4) + (g & 0xF0) + (b >> 4);
      } else {
        for (int k = 0; k < 4; ++k) result |= PlaceChannel(Channel8(pixel, srcMasks[k], k == 3), dstMasks[k]);
      }
      WritePixel(out, dstBytes, result);
    }
  }
}

void CTexture::SampleColour(Color& out, float u, float v) const {
  const bool opaque = !alphaMask || !(flags & (kHasTransparent | kHasPartial));
  if (!pixels) {
    // A texture that handed its pixels to the back end asks the device copy.
    if (deviceTexture) {
      deviceTexture->GetTexelColour(out, u, v);
      if (opaque) out.a = 255;
    } else {
      out = Color::FromRGBA(255, 255, 255, 255);
    }
    return;
  }
  if (width == 0 || height == 0) {
    out = Color::FromRGBA(0, 0, 0, alphaMask ? 0 : 255);
    return;
  }
  // Integer part, then a modulo that stays positive for negative coordinates.
  auto wrap = [](float t, uint32_t n) {
    const double scaled = std::trunc(static_cast<double>(t) * n);
    const double m = std::fmod(scaled, static_cast<double>(n));
    return static_cast<uint32_t>(m < 0 ? m + n : m);
  };
  const uint32_t x = wrap(u, width), y = wrap(v, height);
  const uint32_t pixel = ReadPixel(pixels.get() + (static_cast<size_t>(y) * width + x) * bytesPerPixel, bytesPerPixel);
  out = Color::FromRGBA(static_cast<uint8_t>(Channel8(pixel, redMask, false)),
                        static_cast<uint8_t>(Channel8(pixel, greenMask, false)),
                        static_cast<uint8_t>(Channel8(pixel, blueMask, false)),
                        opaque ? 255 : static_cast<uint8_t>(Channel8(pixel, alphaMask, true)));
}

bool CTexture::SampleTexel(float u, float v, Color& out) {
  // A coordinate with no place on the picture names no texel: callers then treat the face as
  // untextured (opaque to rays), and no file is read for it.
  if (!std::isfinite(u) || !std::isfinite(v)) return false;
  if (!pixels && !deviceTexture) {
    if (fileName.empty() || sampleReadFailed) return false;
    sampleReadFailed = !Load(nullptr, true) || !pixels;
    if (sampleReadFailed) return false;
  }
  SampleColour(out, u, v);
  return true;
}

void CTexture::SerializeToMemory(uint8_t* buffer) const {
  std::memset(buffer, 0, kFieldBlockBytes);
  le::WriteU16(buffer, format);
  le::WriteU16(buffer + 2, compression);
  WriteHeaderBlock(buffer + 4);
  le::WriteU32(buffer + 4 + kHeaderBlockBytes, fileWord1);
  le::WriteU32(buffer + 8 + kHeaderBlockBytes, fileWord2);
  uint8_t* at = buffer + kFieldBlockBytes;
  for (uint32_t level = 0; level < mipCount; ++level, at += 4) le::WriteU32(at, level < mipOffsets.size() ? mipOffsets[level] : 0);
  if (pixels && totalSize) std::memcpy(at, pixels.get(), totalSize);
}

void CTexture::CopyPixelsFrom(const CTexture& other) {
  width = other.width;
  height = other.height;
  bytesPerPixel = other.bytesPerPixel;
  redMask = other.redMask;
  greenMask = other.greenMask;
  blueMask = other.blueMask;
  alphaMask = other.alphaMask;
  flags = other.flags;
  keyColour = other.keyColour;
  log2Width = other.log2Width;
  log2Height = other.log2Height;
  mipCount = other.mipCount;
  level0Size = other.level0Size;
  totalSize = other.totalSize;
  mipOffsets = other.mipOffsets;
  pixels.reset();
  if (other.pixels) {
    pixels.reset(new uint8_t[totalSize + 3]());
    std::memcpy(pixels.get(), other.pixels.get(), totalSize);
  }
  dataPresent = other.dataPresent;
  format = other.format;
  compression = other.compression;
  fileWord1 = other.fileWord1;
  fileWord2 = other.fileWord2;
  deviceTexture = nullptr;
}

void CTexture::CopyFrom(const CTexture& other) {
  CopyPixelsFrom(other);
  name = other.name;
  fileName = other.fileName;
}

// --- Targa and bitmap files -------------------------------------------------------------------

bool CTexture::LoadTarga(const char* path, uint32_t createFlags) {
  size_t size = 0;
  std::unique_ptr<uint8_t[]> file = ReadImageFile(path, &size);
  if (!file) return false;
  const uint8_t* d = file.get();
  const size_t start = size >= 18 ? 18u + d[0] : 0;
  if (size < 18 || d[1] != 0 || d[2] != 2 || (d[16] != 24 && d[16] != 32)) {
    OutputDebugStringA("Error Loading Targa - Must be 24 or 32 bit true color (no palletes)!\n");
    return false;
  }
  const uint32_t w = le::ReadU16(d + 12), h = le::ReadU16(d + 14), bpp = d[16] / 8u;
  if (w == 0 || h == 0 || start > size || (size - start) / bpp / w < h) return Fail("Targa pixels cut short");
  // The texture's rows run top first; the file's origin bit says where its first row goes.
  std::vector<uint8_t> rows(static_cast<size_t>(w) * h * bpp);
  const bool topOrigin = (d[17] & 0x20) != 0;
  for (uint32_t y = 0; y < h; ++y)
    std::memcpy(rows.data() + static_cast<size_t>(y) * w * bpp,
                d + start + static_cast<size_t>(topOrigin ? y : h - 1 - y) * w * bpp, static_cast<size_t>(w) * bpp);
  const std::string fileNamePart = FilePart(path);
  if (!CreateFromPixels(rows.data(), bpp, w, h, 0xFF0000, 0xFF00, 0xFF, bpp == 4 ? 0xFF000000u : 0, createFlags,
                        fileNamePart.c_str()))
    return false;
  fileName = path;
  flags |= kTargaSource;
  return true;
}

bool CTexture::SaveTarga(const char* path) const {
  const CTexture* source = this;
  CTexture standard;
  if (bytesPerPixel != 4 || redMask != kStandardMasks[0] || greenMask != kStandardMasks[1] ||
      blueMask != kStandardMasks[2] || alphaMask != kStandardMasks[3]) {
    standard.CopyFrom(*this);
    if (!standard.ConvertPixelFormat(4, kStandardMasks[0], kStandardMasks[1], kStandardMasks[2], kStandardMasks[3]))
      return false;
    source = &standard;
  }
  if (!source->pixels) return Fail("no pixels to write");
  std::vector<uint8_t> file(18, 0);
  file[2] = 2;
  le::WriteU16(file.data() + 12, static_cast<uint16_t>(source->width));
  le::WriteU16(file.data() + 14, static_cast<uint16_t>(source->height));
  file[16] = 32;
  file[17] = 0x20 | 8;  // top row first, 8 alpha bits
  file.insert(file.end(), source->pixels.get(), source->pixels.get() + source->level0Size);
  return WriteImageFile(path, file.data(), file.size());
}

bool CTexture::LoadBitmap(const char* path, uint32_t createFlags) {
  ReleasePixels();
  const std::string target = path ? std::string(path) : fileName;
  fileName = target;
  CImageRef image = LoadImageFile(target.c_str());
  auto* bitmap = image.IsNull() ? nullptr : dynamic_cast<CBitmapImage*>(image.Get());
  if (!bitmap || !(bitmap->flags & CImage::kFromBitmapFile)) {
    OutputDebugStringA("Error Loading Bitmap - Check Path and File Exists!\n");
    return false;
  }
  if (bitmap->depth != 24) {
    MessageBoxA(nullptr, "Bitmap Must be 24 bit color!", "Error", MB_OK);
    return false;
  }
  // r in the low byte, g next, b in the third.
  std::vector<uint8_t> words(static_cast<size_t>(bitmap->width) * bitmap->height * 4);
  for (int y = 0; y < bitmap->height; ++y)
    for (int x = 0; x < bitmap->width; ++x) {
      const uint8_t* p = bitmap->pixels + static_cast<size_t>(y) * bitmap->pitch + 3 * x;
      uint8_t* o = words.data() + (static_cast<size_t>(y) * bitmap->width + x) * 4;
      o[0] = p[2];
      o[1] = p[1];
      o[2] = p[0];
      o[3] = 0;
    }
  const std::string fileNamePart = FilePart(target);
  if (!CreateFromPixels(words.data(), 4, static_cast<uint32_t>(bitmap->width), static_cast<uint32_t>(bitmap->height),
                        0xFF, 0xFF00, 0xFF0000, 0, createFlags, fileNamePart.c_str()))
    return false;
  fileName = target;
  flags |= kBitmapSource;
  return true;
}

// --- resource table ---------------------------------------------------------------------------

namespace {

ResourceOwner LoadTextureResource(const ResourceLoadRequest& request, uint16_t& typeCode) {
  auto texture = std::make_unique<CTexture>();
  const bool ok = typeCode == kResourceTarga ? texture->LoadTarga(request.path, 0x10 | 0x02)
                                             : texture->Load(request.path, true);
  return ok ? MakeResourceOwner(std::move(texture)) : ResourceOwner();
}

}  // namespace

void CTexture::RegisterResourceLoaders() {
  CResourceTable::RegisterLoader(kResourceTexture, LoadTextureResource);
  CResourceTable::RegisterLoader(kResourceTarga, LoadTextureResource);
}
