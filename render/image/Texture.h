// CTexture: a named texture image with its pixel format, mip chain and the flag word the scene code reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/math/Color.h"
#include "scene/mesh/TextureProperties.h"

class CDDTexture;

class CTexture : public CTextureProperties {
 public:
  // Flag bits the scene and collision code test.
  static constexpr uint32_t kTranslucent = 0x4;
  static constexpr uint32_t kTranslucentAdd = 0x8;
  static constexpr uint32_t kUnlit = 0x200;
  static constexpr uint32_t kNoSections = 0x400;         // never part of world mesh sections
  static constexpr uint32_t kBitmapSource = 0x800000;    // loaded from a bitmap; kept out of sections too
  // Flag bits of the pixel block.
  static constexpr uint32_t kSquare = 0x01;
  static constexpr uint32_t kPowerOfTwo = 0x02;
  static constexpr uint32_t kHasTransparent = 0x04;  // some alpha 0
  static constexpr uint32_t kHasPartial = 0x08;      // some alpha between 0 and full
  static constexpr uint32_t kMipMapped = 0x10;
  static constexpr uint32_t kMasksSet = 0x20;
  static constexpr uint32_t kNoDevice = 0x40;
  static constexpr uint32_t kPixelsFreed = 0x80;
  static constexpr uint32_t kTargaSource = 0x8000;

  static constexpr uint16_t kFormatCurrent = 4098;
  static constexpr uint16_t kFormatPlain = 4097;
  static constexpr uint16_t kCompressionJpeg = 4097;
  static constexpr size_t kMaxName = 67;
  static constexpr size_t kHeaderBlockBytes = 140;
  static constexpr size_t kFieldBlockBytes = 172;

  CTexture() = default;
  virtual ~CTexture();
  CTexture(const CTexture&) = delete;
  CTexture& operator=(const CTexture&) = delete;

  std::string name;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bytesPerPixel = 0;
  uint32_t alphaMask = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  uint32_t flags = kNoDevice;
  uint8_t dataPresent = 1;  // non-zero once the image is in memory (or nothing was asked for)
  bool deviceLoaded = false;

  uint16_t format = kFormatCurrent;
  uint16_t compression = 0;
  uint32_t keyColour = 0;  // bytes b, g, r, a of the fully transparent pixels
  uint32_t log2Width = 0;
  uint32_t log2Height = 0;
  uint32_t mipCount = 0;
  uint32_t level0Size = 0;
  uint32_t totalSize = 0;
  std::unique_ptr<uint8_t[]> pixels;  // every level, level 0 first; totalSize + 3 bytes
  std::vector<uint32_t> mipOffsets;
  CDDTexture* deviceTexture = nullptr;  // the back end's texture; not owned
  std::string fileName;
  // A texel was asked for and the pixels could not be read from fileName: rays ask thousands of times
  // a minute, so the file is not tried (and logged) again for each.
  bool sampleReadFailed = false;
  uint32_t fileWord1 = 0;
  uint32_t fileWord2 = 0;
  std::string attachedName;
  std::unique_ptr<CTexture> attached;

  uint32_t GetFlags() const override { return flags; }
  // An alpha channel whose every pixel is full. Worked out from the flags rather than kept as a
  // bit of its own: the scene reads 0x400 of the flag word as "kept out of world mesh sections",
  // and a survey bit there would hide every opaque terrain texture from the draw lists.
  bool IsAlphaAllOpaque() const { return alphaMask != 0 && (flags & (kHasTransparent | kHasPartial)) == 0; }
  // Pixels in memory, or a file to read them from again (a mesh texture loaded as a header only,
  // or one whose pixels were freed). False only for textures the program fills itself through the
  // renderer: render targets and locked textures.
  bool HasPixelSource() const { return pixels != nullptr || !fileName.empty(); }

  // Loads name (or, when null, fileName) as a ".texture", or a Targa / bitmap when the flags
  // say so. The top level is dropped when the texture-detail setting is not full.
  bool Load(const char* fileName, bool loadPixels);
  // Reads a ".texture" file image; false (logged) for anything that does not fit the bytes.
  bool Parse(const uint8_t* data, size_t size, bool dropTop, bool loadPixels);
  // The file image; mode 1 asks for JPEG levels (4-byte pixels only). False when it cannot be made.
  bool Encode(int mode, std::vector<uint8_t>& out) const;
  // Writes the file (and an attached texture beside it); false when any write fails.
  bool Save(const char* fileName, int mode);
  bool LoadTarga(const char* fileName, uint32_t createFlags);
  bool SaveTarga(const char* fileName) const;
  bool LoadBitmap(const char* fileName, uint32_t createFlags);

  bool CreateFromPixels(const void* source, uint32_t bpp, uint32_t w, uint32_t h, uint32_t red, uint32_t green,
                        uint32_t blue, uint32_t alpha, uint32_t createFlags, const char* textureName);
  // One level over the block as given.
  void InitFromRawPixels(std::unique_ptr<uint8_t[]> block, uint32_t bpp, uint32_t w, uint32_t h, uint32_t red,
                         uint32_t green, uint32_t blue, uint32_t alpha, const char* textureName);
  bool ConvertPixelFormat(uint32_t bpp, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha);
  // Texel at (u, v), wrapping both ways; both coordinates finite.
  void SampleColour(Color& out, float u, float v) const;
  // SampleColour, the pixels read again from the file first when neither they nor a device copy
  // are there; false when there is nothing to read or a coordinate is not finite.
  bool SampleTexel(float u, float v, Color& out) override;
  void BuildMipLevels();

  // Level geometry: level i is max(1, width >> i) by max(1, height >> i).
  uint32_t GetLevelWidth(uint32_t level) const;
  uint32_t GetLevelHeight(uint32_t level) const;
  uint32_t GetLevelSize(uint32_t level) const;
  uint8_t* GetLevel(uint32_t level) const;
  uint32_t GetPixelCount() const;  // texels over all levels
  size_t GetSerializedSize() const { return totalSize + 4u * mipCount + kFieldBlockBytes; }
  void SerializeToMemory(uint8_t* buffer) const;

  void CopyFrom(const CTexture& other);
  void CopyPixelsFrom(const CTexture& other);  // keeps this texture's names
  // Frees pixels, offsets, the file name and the attached texture.
  void Release();
  void ReleasePixels();

  // Plugs the ".texture" and Targa loaders into the resource table.
  static void RegisterResourceLoaders();

  // Textures attached below a loaded one, at most: the format attaches one picture to another,
  // and a file naming itself, or a ring or long chain of files, must end rather than recurse on.
  static constexpr uint32_t kMaxAttachDepth = 4;

 private:
  bool LoadAtDepth(const char* fileName, bool loadPixels, uint32_t depth);
  void LoadAttached(const std::string& path, bool loadPixels, uint32_t depth);
  void SetGeometry(uint32_t w, uint32_t h, uint32_t bpp, uint32_t levels);
  void WriteHeaderBlock(uint8_t* out) const;
  bool ReadHeaderBlock(const uint8_t* in);
  bool CheckGeometry() const;
  void DropTopLevel();
};

// Repacks pixels between channel layouts (see the texture cache and software textures).
void RepackPixels(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t srcPitch,
                  uint32_t dstPitch, uint32_t srcBytes, const uint32_t srcMasks[4], uint32_t dstBytes,
                  const uint32_t dstMasks[4]);
