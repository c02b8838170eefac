// The ".texture" file (raw and JPEG payloads), building textures from pixels, layouts and sampling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "core/data/FileBuffer.h"
#include "core/data/LittleEndian.h"
#include "core/data/ResourceTable.h"
#include "render/image/BitmapImage.h"
#include "render/image/JpegCodec.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareTextureStore.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr uint32_t kR = 0xFF0000, kG = 0xFF00, kB = 0xFF, kA = 0xFF000000;

// A smooth picture (gradients and a soft disc) with an alpha pattern chosen by the caller.
std::vector<uint32_t> Smooth(uint32_t w, uint32_t h, int alphaKind) {
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  std::mt19937 rng(5);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const double dx = x - w / 2.0, dy = y - h / 2.0;
      const uint32_t r = x * 255 / w, g = y * 255 / h;
      const uint32_t b = static_cast<uint32_t>(std::clamp(255.0 - std::sqrt(dx * dx + dy * dy) * 6, 0.0, 255.0));
      uint32_t a = 255;
      if (alphaKind == 1) a = static_cast<uint32_t>(rng() & 0xFF);  // noise: runs would be longer
      if (alphaKind == 2) a = x < w / 2 ? 0 : (y < h / 2 ? 128 : 255);  // blocks: runs win
      out[static_cast<size_t>(y) * w + x] = a << 24 | r << 16 | g << 8 | b;
    }
  return out;
}

// The colour the texture gives at (u, v).
Color Sampled(const CTexture& t, float u, float v) {
  Color c;
  t.SampleColour(c, u, v);
  return c;
}

std::vector<uint8_t> Encoded(const CTexture& t, int mode) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(t.Encode(mode, out));
  return out;
}

// Offset of the payload: format words, two file words, the attached name and the header block.
size_t PayloadOffset(const std::vector<uint8_t>& file) {
  size_t at = 12;
  while (file[at] != 0) ++at;
  return at + 1 + CTexture::kHeaderBlockBytes;
}

struct JpegFailure {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};
void JumpOut(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1); }

// Decodes one stream with libjpeg alone.
bool PlainDecode(const uint8_t* data, size_t size, int* w, int* h, std::vector<uint8_t>& rgb) {
  jpeg_decompress_struct info;
  JpegFailure errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JumpOut;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, const_cast<uint8_t*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  *w = static_cast<int>(info.output_width);
  *h = static_cast<int>(info.output_height);
  rgb.resize(static_cast<size_t>(*w) * *h * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rgb.data() + static_cast<size_t>(info.output_scanline) * *w * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

TEST(TextureBuild, FlagsSizesAndMipLevels) {
  const std::vector<uint32_t> pixels = Smooth(16, 8, 2);
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 16, 8, kR, kG, kB, kA, 0x10, "Blocks"));
  EXPECT_EQ(CTexture::kSquare | CTexture::kPowerOfTwo | CTexture::kHasTransparent | CTexture::kHasPartial |
                CTexture::kMipMapped | CTexture::kMasksSet,
            t.flags);
  EXPECT_EQ((std::vector<uint32_t>{0, 512, 640, 672}), t.mipOffsets);  // 16x8, 8x4, 4x2, 2x1
  EXPECT_EQ(pixels[0], t.keyColour);
  // Level 1 is the 2x2 average of level 0, byte by byte.
  const uint8_t* l0 = t.GetLevel(0);
  const uint8_t* l1 = t.GetLevel(1);
  for (int b = 0; b < 4; ++b)
    EXPECT_EQ((l0[(2 * 16 + 10) * 4 + b] + l0[(2 * 16 + 11) * 4 + b] + l0[(3 * 16 + 10) * 4 + b] +
               l0[(3 * 16 + 11) * 4 + b]) >> 2,
              l1[(1 * 8 + 5) * 4 + b]);
  // Opaque 24-bit input under 0x103: grown to 4 (sides), square, converted to standard ARGB.
  const uint8_t rgb[3 * 3 * 2] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  CTexture small;
  testing_support::DebugCapture log;
  ASSERT_TRUE(small.CreateFromPixels(rgb, 3, 3, 2, kR, kG, kB, 0, 0x103, "Small"));
  EXPECT_NE(std::string::npos, log.Text().find("CTexture: Converting input into standard 32bit ARGB format.\n"));
  EXPECT_EQ((std::vector<uint32_t>{4, 4, 4, kA}),
            (std::vector<uint32_t>{small.bytesPerPixel, small.width, small.height, small.alphaMask}));
  EXPECT_TRUE(small.flags & CTexture::kPowerOfTwo) << "the sides it has, not the 3 x 2 it was given";
  EXPECT_EQ(Color::FromRGBA(18, 17, 16, 255), Sampled(small, 0.9f, 0.9f));  // nearest: source (2, 1)
  // An opaque texture stays opaque through a change of layout, whatever its alpha bits held.
  ASSERT_EQ(0u, small.flags & (CTexture::kHasTransparent | CTexture::kHasPartial));
  for (uint32_t i = 0; i < 16; ++i) small.pixels[4 * i + 3] = 0;
  ASSERT_TRUE(small.ConvertPixelFormat(2, 0xF00, 0xF0, 0xF, 0xF000));
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(0xF0, small.pixels[2 * i + 1] & 0xF0) << i;
  // A change of layout keeps the sides, levels and layout; smaller levels set the bits no mask uses.
  ASSERT_TRUE(t.ConvertPixelFormat(4, kR, kG, kB, 0));
  EXPECT_EQ((std::vector<uint32_t>{16, 8, 4, kG, 4, 0xFF}),
            (std::vector<uint32_t>{t.width, t.height, t.bytesPerPixel, t.greenMask, t.mipCount, t.GetLevel(3)[3]}));
  CTexture header;
  ASSERT_TRUE(header.CreateFromPixels(nullptr, 4, 64, 32, kR, kG, kB, kA, 0x80, std::string(80, 'x').c_str()));
  EXPECT_EQ(nullptr, header.pixels);
  EXPECT_EQ("NoName", header.name);
  // A failed rebuild leaves neither pixels nor level offsets into them behind.
  EXPECT_FALSE(t.CreateFromPixels(pixels.data(), 4, 0, 8, kR, kG, kB, kA, 0, "Empty"));
  EXPECT_EQ(nullptr, t.pixels);
  EXPECT_EQ(std::vector<uint32_t>{}, t.mipOffsets);
}

TEST(TextureBuild, CopiesTakeFieldsAndOwnPixelsButNoDeviceTexture) {
  const std::vector<uint32_t> blocks = Smooth(16, 8, 2), noise = Smooth(8, 8, 1);
  CTexture source, target;
  ASSERT_TRUE(source.CreateFromPixels(blocks.data(), 4, 16, 8, kR, kG, kB, kA, 0x10, "Blocks"));
  ASSERT_TRUE(target.CreateFromPixels(noise.data(), 4, 8, 8, kR, kG, kB, kA, 0x10, "Noise"));
  source.fileName = "blocks.texture";
  source.compression = CTexture::kCompressionJpeg;  // as a texture read without its levels holds
  target.fileName = "noise.texture";
  // Both have been made device textures by the software back end's store.
  CSoftwareTextureStore store;
  ASSERT_NE(nullptr, store.ConvertTexture(source));
  ASSERT_NE(nullptr, store.ConvertTexture(target));
  const std::vector<uint8_t> sourceFile = Encoded(source, 0);

  // The pixel copy keeps the target's names; the device copy of its old pixels is no longer its own.
  target.CopyPixelsFrom(source);
  EXPECT_EQ(nullptr, target.deviceTexture);
  EXPECT_EQ(CTexture::kCompressionJpeg, target.compression);
  EXPECT_EQ("Noise", target.name);
  EXPECT_EQ("noise.texture", target.fileName);
  target.name = source.name;
  EXPECT_EQ(sourceFile, Encoded(target, 0));
  // Its pixels are its own.
  target.pixels[0] ^= 0xFF;
  EXPECT_EQ(sourceFile, Encoded(source, 0));

  CTexture whole;
  whole.CopyFrom(source);
  EXPECT_EQ(nullptr, whole.deviceTexture);
  EXPECT_EQ("blocks.texture", whole.fileName);
  EXPECT_EQ(sourceFile, Encoded(whole, 0));
}

TEST(TextureBuild, RawBlocksHeaderWordsAndEmptySides) {
  // A raw block in b, g, r, a bytes samples through all four masks given with it.
  std::unique_ptr<uint8_t[]> block(new uint8_t[4 + 3]{0x30, 0x20, 0x10, 0x80});
  CTexture raw;
  raw.InitFromRawPixels(std::move(block), 4, 1, 1, kR, kG, kB, kA, std::string(CTexture::kMaxName, 'r').c_str());
  EXPECT_EQ(std::string(CTexture::kMaxName, 'r'), raw.name);  // the longest name kept
  raw.flags |= CTexture::kHasPartial;
  EXPECT_EQ(Color::FromRGBA(0x10, 0x20, 0x30, 0x80), Sampled(raw, 0.5f, 0.5f));
  // The header block's unused words are written as zero, and so is the rest of the field block
  // whatever the buffer held.
  const std::vector<uint32_t> pixels = Smooth(4, 4, 0);
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 4, 4, kR, kG, kB, kA, 0x10, "W"));
  t.fileWord1 = 0x11223344u;
  t.fileWord2 = 0x55667788u;
  std::vector<uint8_t> image(t.GetSerializedSize(), 0xAB);
  t.SerializeToMemory(image.data());
  EXPECT_EQ(t.format | static_cast<uint32_t>(t.compression) << 16, le::ReadU32(image.data()));
  EXPECT_EQ(0x11223344u, le::ReadU32(image.data() + 4 + CTexture::kHeaderBlockBytes));
  EXPECT_EQ(0x55667788u, le::ReadU32(image.data() + 8 + CTexture::kHeaderBlockBytes));
  for (int word : {3, 10, 16, 17}) EXPECT_EQ(0u, le::ReadU32(image.data() + 4 + 68 + 4 * word)) << word;
  for (size_t at = 4 + CTexture::kHeaderBlockBytes + 8; at < CTexture::kFieldBlockBytes; ++at) ASSERT_EQ(0, image[at]) << at;
  const std::vector<uint8_t> file = Encoded(t, 0);  // a saved file: the same header block, offsets and pixels
  EXPECT_TRUE(std::equal(image.begin() + 4, image.begin() + 4 + CTexture::kHeaderBlockBytes, file.begin() + 13));
  EXPECT_TRUE(std::equal(image.begin() + CTexture::kFieldBlockBytes, image.end(), file.begin() + PayloadOffset(file)));
  // Pixels over no width are black: opaque without an alpha mask, clear with one.
  t.width = 0;
  EXPECT_EQ(Color::FromRGBA(0, 0, 0, 0), Sampled(t, 0.5f, 0.5f));
  t.alphaMask = 0;
  EXPECT_EQ(Color::FromRGBA(0, 0, 0, 255), Sampled(t, 0.5f, 0.5f));
}

TEST(TextureBuild, RepackingBetweenLayouts) {
  const uint8_t bgra[4] = {0x1F, 0xC4, 0xF8, 0xA0};  // b, g, r, a
  const uint32_t standard[4] = {kR, kG, kB, kA};
  uint8_t out[4] = {0, 0, 0, 0};
  const uint32_t m555[4] = {0x7C00, 0x3E0, 0x1F, 0};
  RepackPixels(bgra, out, 1, 1, 4, 2, 4, standard, 2, m555);
  EXPECT_EQ((0x1F >> 3) + ((0xC4 & 0xF8) << 2) + ((0xF8 & 0xF8) << 7), le::ReadU16(out));
  const uint32_t m565[4] = {0xF800, 0x7E0, 0x1F, 0};
  RepackPixels(bgra, out, 1, 1, 4, 2, 4, standard, 2, m565);
  EXPECT_EQ((0x1F >> 3) + ((0xC4 & 0xFC) << 3) + ((0xF8 & 0xF8) << 8), le::ReadU16(out));
  const uint32_t m4444[4] = {0xF00, 0xF0, 0xF, 0xF000};
  RepackPixels(bgra, out, 1, 1, 4, 2, 4, standard, 2, m4444);
  EXPECT_EQ(((0xA0 & 0xF0) << 8) + ((0xF8 & 0xF0) << 4) + (0xC4 & 0xF0) + (0x1F >> 4), le::ReadU16(out));
  // Word to word moves whole channels: ARGB to ABGR.
  const uint32_t abgr[4] = {0xFF, 0xFF00, 0xFF0000, kA};
  RepackPixels(bgra, out, 1, 1, 4, 4, 4, standard, 4, abgr);
  EXPECT_EQ(0xA01FC4F8u, le::ReadU32(out));
  // Generic: 5-5-5 back to 24 bits puts each channel's top bit on bit 7 of its byte.
  const uint8_t c555[2] = {0xFF, 0x7F};
  uint8_t wide[3];
  const uint32_t rgb24[4] = {kR, kG, kB, 0};
  RepackPixels(c555, wide, 1, 1, 2, 3, 2, m555, 3, rgb24);
  EXPECT_EQ((std::vector<uint8_t>{0xF8, 0xF8, 0xF8}), std::vector<uint8_t>(wide, wide + 3));
  // Each channel is cut by its own mask first: a 5-6-5 pure blue has no green in 8-8-8-8.
  const uint8_t blue565[2] = {0x1F, 0x00};
  RepackPixels(blue565, out, 1, 1, 2, 4, 2, m565, 4, standard);
  EXPECT_EQ(0xFF0000F8u, le::ReadU32(out));
}

TEST(TextureSample, WrapsBothWaysAndFollowsTheAlphaRule) {
  std::vector<uint32_t> pixels(4 * 2);
  for (uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x80000000u | i * 0x010203u;
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 4, 2, kR, kG, kB, kA, 0, "Sample"));
  EXPECT_EQ(Color::FromWord(pixels[0]), Sampled(t, -0.1f, -0.2f));  // trunc(-0.4) = 0 -> x 0; trunc(-0.4) = 0 -> y 0
  EXPECT_EQ(Color::FromWord(pixels[7]), Sampled(t, -0.3f, -0.6f));  // trunc(-1.2) = -1 -> x 3; trunc(-1.2) = -1 -> y 1
  EXPECT_EQ(Color::FromWord(pixels[5]), Sampled(t, 1.26f, 2.5f));   // x 5 mod 4 = 1, y 5 mod 2 = 1
  CTexture opaque;
  pixels[0] |= kA;
  for (uint32_t& p : pixels) p |= kA;
  ASSERT_TRUE(opaque.CreateFromPixels(pixels.data(), 4, 4, 2, kR, kG, kB, kA, 0, "Opaque"));
  EXPECT_EQ(255, Sampled(opaque, 0.0f, 0.0f).a);
  CTexture empty;
  EXPECT_EQ(Color::FromRGBA(255, 255, 255, 255), Sampled(empty, 0.5f, 0.5f));  // no pixels, no device texture
  Color texel;
  EXPECT_FALSE(empty.SampleTexel(0.5f, 0.5f, texel));  // and no file to read them from
  // A texture loaded as its header reads its pixels from its file when a texel is asked of it.
  testing_support::TempFolder temp;
  const std::string path = temp.Path() + "sample.texture";
  CTexture written, header;
  ASSERT_TRUE(written.CreateFromPixels(pixels.data(), 4, 4, 2, kR, kG, kB, kA, 0, "Sample") &&
              written.Save(path.c_str(), 0));
  ASSERT_TRUE(header.Load(path.c_str(), false));
  ASSERT_EQ(header.pixels, nullptr);
  // A coordinate that is not finite names no texel, whether the pixels are at hand or would be
  // read from the file (which is then left unread).
  const Color untouched = Color::FromWord(0x12345678u);
  for (float bad : {std::nanf(""), HUGE_VALF, -HUGE_VALF}) {
    texel = untouched;
    EXPECT_FALSE(t.SampleTexel(bad, 0.5f, texel) || t.SampleTexel(0.5f, bad, texel)) << bad;
    EXPECT_FALSE(header.SampleTexel(bad, bad, texel)) << bad;
    EXPECT_EQ(untouched, texel);
  }
  ASSERT_EQ(header.pixels, nullptr);
  CTexture gone;
  ASSERT_TRUE(gone.Load(path.c_str(), false));
  ASSERT_TRUE(header.SampleTexel(1.26f, 2.5f, texel));
  EXPECT_EQ(Color::FromWord(pixels[5]), texel);
  // A file that went away is tried, and logged, once however often a texel is asked for.
  std::remove(path.c_str());
  testing_support::DebugCapture log;
  EXPECT_FALSE(gone.SampleTexel(0.5f, 0.5f, texel));
  EXPECT_NE(std::string::npos, log.Text().find("Error Loading File"));
  log.Clear();
  EXPECT_FALSE(gone.SampleTexel(0.5f, 0.5f, texel));
  EXPECT_EQ("", log.Text());
  // Once the pixels went to the back end its copy answers: the keyed copy's clear texel stays
  // clear while the texture has transparency, and reads opaque once the texture has none.
  t.pixels.get()[3] = 0;  // texel 0 fully clear
  t.flags |= CTexture::kHasTransparent;
  CSoftwareTextureStore store;
  ASSERT_NE(nullptr, store.ConvertTexture(t));
  t.ReleasePixels();
  EXPECT_EQ(0xAFu, t.flags);  // square, power of two, clear and partial alpha, masks set, pixels freed
  for (float u : {0.0f, 0.3f, 0.6f, 0.9f}) {
    Color device;
    t.deviceTexture->GetTexelColour(device, u, 0.2f);
    EXPECT_EQ(device, Sampled(t, u, 0.2f)) << u;
  }
  EXPECT_EQ(Color::FromRGBA(0, 0, 0, 0), Sampled(t, 0.0f, 0.0f));
  t.flags &= ~(CTexture::kHasTransparent | CTexture::kHasPartial);
  EXPECT_EQ(Color::FromRGBA(0, 0, 0, 255), Sampled(t, 0.0f, 0.0f));
}

TEST(TextureFile, RawSaveLoadIsByteIdenticalAndHostileFilesFailCleanly) {
  const std::vector<uint32_t> pixels = Smooth(32, 16, 1);
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 32, 16, kR, kG, kB, kA, 0x10, "Raw"));
  t.fileWord1 = 7;
  t.fileWord2 = 9;
  testing_support::TempFolder temp;
  const std::string path = temp.Path() + "raw.texture";
  ASSERT_TRUE(t.Save(path.c_str(), 0));
  const std::string bytes = testing_support::ReadBytes(path);
  CTexture back;
  ASSERT_TRUE(back.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false, true));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), Encoded(back, 0));
  EXPECT_EQ(7u, back.fileWord1);
  // Dropping the top level: five levels load as four of half the size.
  ASSERT_TRUE(back.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), true, true));
  EXPECT_EQ((std::vector<uint32_t>{16, 4}), (std::vector<uint32_t>{back.width, back.mipCount}));
  EXPECT_EQ(0, std::memcmp(back.pixels.get(), t.GetLevel(1), back.totalSize));
  // A three-level texture loads whole.
  CTexture three;
  ASSERT_TRUE(three.CreateFromPixels(pixels.data(), 4, 4, 4, kR, kG, kB, kA, 0x10, "Three"));
  const std::vector<uint8_t> small = Encoded(three, 0);
  ASSERT_TRUE(back.Parse(small.data(), small.size(), true, true));
  EXPECT_EQ((std::vector<uint32_t>{4, 3}), (std::vector<uint32_t>{back.width, back.mipCount}));

  testing_support::DebugCapture log;
  std::vector<uint8_t> bad = small;
  const size_t header = PayloadOffset(bad) - CTexture::kHeaderBlockBytes;
  le::WriteU32(bad.data() + header + 68 + 4 * 13, 9);  // mip count beyond the size
  EXPECT_FALSE(back.Parse(bad.data(), bad.size(), false, true));
  EXPECT_EQ(nullptr, back.pixels);  // a refused file leaves neither the last file's pixels nor its level offsets
  EXPECT_EQ(std::vector<uint32_t>{}, back.mipOffsets);
  bad = small;
  le::WriteU32(bad.data() + header + 68 + 4 * 15, 1u << 30);  // total size beyond the file
  EXPECT_FALSE(back.Parse(bad.data(), bad.size(), false, true));
  bad = small;
  le::WriteU32(bad.data() + PayloadOffset(bad) + 4, 3);  // a level offset that disagrees
  EXPECT_FALSE(back.Parse(bad.data(), bad.size(), false, true));
  bad = small;
  le::WriteU16(bad.data(), 77);
  EXPECT_FALSE(back.Parse(bad.data(), bad.size(), false, true));
  EXPECT_NE(std::string::npos, log.Text().find("CTexture: Unknown Texture Data Format!"));
  EXPECT_FALSE(back.Parse(small.data(), PayloadOffset(small) - 1, false, true));  // the header block a byte short
  EXPECT_NE(std::string::npos, log.Text().find("CTexture: header block cut short"));
  // A texture without pixels writes its header alone; one that claims pixels it lacks is refused.
  CTexture empty;
  empty.name = "Empty";
  std::vector<uint8_t> headerOnly;
  ASSERT_TRUE(empty.Encode(0, headerOnly));
  EXPECT_EQ(headerOnly.size(), PayloadOffset(headerOnly));
  empty.totalSize = 1;
  EXPECT_FALSE(empty.Encode(0, headerOnly));
  EXPECT_NE(std::string::npos, log.Text().find("no pixels to write"));
  // A failed write is reported.
  EXPECT_FALSE(t.Save((temp.Path() + "missing/folder/raw.texture").c_str(), 0));
  EXPECT_NE(std::string::npos, log.Text().find("Error Creating File: '"));
}

TEST(TextureFile, JpegLevelsEqualPlainLibjpegAndKeepQuality) {
  testing_support::TempFolder temp;
  for (int alphaKind : {0, 1, 2}) {
    // 24 x 16 is not a power of two: its levels are 24x16, 12x8, 6x4, 3x2, 1x1.
    const std::vector<uint32_t> pixels = Smooth(24, 16, alphaKind);
    CTexture t;
    ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 24, 16, kR, kG, kB, kA, 0x10, "Jpeg"));
    ASSERT_EQ(5u, t.mipCount);
    const std::string path = temp.Path() + "j" + std::to_string(alphaKind) + ".texture";
    ASSERT_TRUE(t.Save(path.c_str(), 1));
    const std::string text = testing_support::ReadBytes(path);
    const std::vector<uint8_t> file(text.begin(), text.end());
    CTexture back;
    ASSERT_TRUE(back.Parse(file.data(), file.size(), false, true));

    // Walk the payload independently: offsets, alpha part, positions.
    size_t at = PayloadOffset(file) + 4 * 5;
    std::vector<uint8_t> alpha;
    if (alphaKind != 0 || (t.flags & (CTexture::kHasTransparent | CTexture::kHasPartial))) {
      const uint32_t length = le::ReadU32(file.data() + at);
      const uint32_t count = 24 * 16 + 12 * 8 + 6 * 4 + 3 * 2 + 1;
      // Noise is stored raw; blocks as runs.
      EXPECT_EQ(alphaKind == 1, length == count) << alphaKind;
      if (length == count) alpha.assign(file.begin() + at + 4, file.begin() + at + 4 + length);
      for (uint32_t i = 0; length != count && i < length; i += 2) alpha.insert(alpha.end(), file[at + 5 + i], file[at + 4 + i]);
      EXPECT_EQ(count, alpha.size());
      at += 4 + length;
    }
    std::vector<uint32_t> positions(5);
    for (int i = 0; i < 5; ++i) positions[i] = le::ReadU32(file.data() + at + 4 * i);
    size_t alphaAt = 0;
    for (uint32_t level = 0; level < 5; ++level) {
      const uint32_t end = level < 4 ? positions[level + 1] : static_cast<uint32_t>(file.size());
      int w = 0, h = 0;
      std::vector<uint8_t> rgb;
      ASSERT_TRUE(PlainDecode(file.data() + positions[level], end - positions[level], &w, &h, rgb));
      EXPECT_EQ(static_cast<int>(t.GetLevelWidth(level)), w);
      EXPECT_EQ(static_cast<int>(t.GetLevelHeight(level)), h);
      const uint8_t* ours = back.GetLevel(level);
      for (int i = 0; i < w * h; ++i) {
        const uint32_t p = le::ReadU32(ours + 4 * i);
        ASSERT_EQ(uint32_t(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]), p & 0xFFFFFF);
        ASSERT_EQ(alpha.empty() ? 255u : alpha[alphaAt++], p >> 24);
        // Alpha is exact against the source too.
        const uint32_t source = le::ReadU32(t.GetLevel(level) + 4 * i);
        ASSERT_EQ(source >> 24, p >> 24);
      }
    }
    // Quality: PSNR of level 0 against the source.
    double squared = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
      for (int shift : {0, 8, 16}) {
        const double d = double(pixels[i] >> shift & 0xFF) - double(le::ReadU32(back.GetLevel(0) + 4 * i) >> shift & 0xFF);
        squared += d * d;
      }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / (pixels.size() * 3)));
    EXPECT_GE(psnr, 30.0) << alphaKind;
    // Dropping the top level of the JPEG form gives the header and levels the raw form's drop gives.
    const std::vector<uint8_t> decoded = Encoded(back, 0);
    CTexture dropped, reference;
    ASSERT_TRUE(dropped.Parse(file.data(), file.size(), true, true));
    ASSERT_TRUE(reference.Parse(decoded.data(), decoded.size(), true, true));
    EXPECT_EQ(Encoded(reference, 0), Encoded(dropped, 0));
  }
  // Red and blue the other way round (decoded apart, then packed): every level's pixels and alpha
  // runs come back as the standard layout's, with and without the top level.
  for (bool dropTop : {false, true}) {
    const std::vector<uint32_t> pixels = Smooth(24, 16, 2);
    std::vector<uint32_t> swapped(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i)
      swapped[i] = (pixels[i] & 0xFF00FF00u) | (pixels[i] >> 16 & 0xFF) | (pixels[i] & 0xFF) << 16;
    CTexture standard, other;
    ASSERT_TRUE(standard.CreateFromPixels(pixels.data(), 4, 24, 16, kR, kG, kB, kA, 0x10, "Standard"));
    ASSERT_TRUE(other.CreateFromPixels(swapped.data(), 4, 24, 16, kB, kG, kR, kA, 0x10, "Other"));
    const std::vector<uint8_t> standardFile = Encoded(standard, 1), otherFile = Encoded(other, 1);
    CTexture standardBack, otherBack;
    ASSERT_TRUE(standardBack.Parse(standardFile.data(), standardFile.size(), dropTop, true));
    ASSERT_TRUE(otherBack.Parse(otherFile.data(), otherFile.size(), dropTop, true));
    ASSERT_EQ(dropTop ? 4u : 5u, otherBack.mipCount);
    ASSERT_EQ(kB, otherBack.redMask);
    for (uint32_t level = 0; level < otherBack.mipCount; ++level)
      for (uint32_t i = 0; i < otherBack.GetLevelWidth(level) * otherBack.GetLevelHeight(level); ++i) {
        const uint32_t p = le::ReadU32(otherBack.GetLevel(level) + 4 * i);
        ASSERT_EQ(le::ReadU32(standardBack.GetLevel(level) + 4 * i),
                  (p & 0xFF00FF00u) | (p >> 16 & 0xFF) | (p & 0xFF) << 16)
            << dropTop << " " << level << " " << i;
      }
  }
}

TEST(TextureFile, JpegFormsThatMustBeRefused) {
  const std::vector<uint32_t> pixels = Smooth(16, 16, 2);
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 16, 16, kR, kG, kB, kA, 0x10, "Refused"));
  const std::vector<uint8_t> file = Encoded(t, 1);
  CTexture back;
  testing_support::DebugCapture log;
  // A stream cut short is refused, and the line says which image it was.
  EXPECT_FALSE(back.Parse(file.data(), file.size() - 1, false, true));
  EXPECT_NE(std::string::npos, log.Text().find("JPEG Decompression failed on image Refused."));
  // Random byte changes inside the streams: a clean failure or a picture, never a crash.
  std::mt19937 rng(9);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> broken = file;
    for (int k = 0; k < 4; ++k) broken[PayloadOffset(file) + rng() % (file.size() - PayloadOffset(file))] ^= 1 << (rng() % 8);
    testing_support::WithinLinearCost(broken.size(), [&] { return back.Parse(broken.data(), broken.size(), false, true); });
  }
  // Alpha runs that overflow the levels.
  std::vector<uint8_t> runs = file;
  const size_t alphaAt = PayloadOffset(runs) + 4 * t.mipCount;
  runs[alphaAt + 4 + 1] = 255;  // the first run now covers more than its share
  runs[alphaAt + 4 + 3] = 255;
  EXPECT_FALSE(back.Parse(runs.data(), runs.size(), false, true));
  std::vector<uint8_t> early = file;  // a first stream beginning on the stream positions' last byte
  const size_t positionsAt = alphaAt + 4 + le::ReadU32(file.data() + alphaAt);
  le::WriteU32(early.data() + positionsAt, static_cast<uint32_t>(positionsAt + 4 * t.mipCount - 1));
  log.Clear();
  EXPECT_FALSE(back.Parse(early.data(), early.size(), false, true));
  EXPECT_EQ("JpegCodec: stream position out of order\n", log.Text());
  // A level whose stream has other dimensions than the file says.
  std::vector<uint8_t> stream;
  std::vector<uint8_t> rgb24(24 * 16 * 3, 90);
  ASSERT_TRUE(JpegCodec::EncodeRgb(rgb24.data(), 24, 16, 80, stream, nullptr));
  std::string error;
  std::vector<uint8_t> decoded(16 * 16 * 3);
  EXPECT_FALSE(JpegCodec::DecodeRgb(stream.data(), stream.size(), 16, 16, decoded.data(), &error));
  EXPECT_NE(std::string::npos, error.find("24x16"));
  // Three-byte textures are stored raw in mode 1; textures without a device form refuse JPEG.
  const uint8_t rgb[4 * 4 * 3] = {};
  CTexture three;
  ASSERT_TRUE(three.CreateFromPixels(rgb, 3, 4, 4, kR, kG, kB, 0, 0, "Three"));
  EXPECT_EQ(0, le::ReadU16(Encoded(three, 1).data() + 2));
  CTexture plain;
  plain.flags |= CTexture::kNoDevice;
  plain.CreateFromPixels(pixels.data(), 4, 16, 16, kR, kG, kB, kA, 0, "NoDevice");
  plain.flags |= CTexture::kNoDevice;
  // Saving it as JPEG is refused and writes nothing at all rather than a header without its levels.
  testing_support::TempFolder temp;
  EXPECT_FALSE(plain.Save((temp.Path() + "nodevice.texture").c_str(), 1));
  EXPECT_TRUE(testing_support::ReadBytes(temp.Path() + "nodevice.texture").empty());
}

TEST(TextureFile, TargaAndBitmapSourcesAndTheAttachedTexture) {
  testing_support::TempFolder temp;
  const long openBefore = testing_support::OpenDescriptors();
  const std::vector<uint32_t> pixels = Smooth(8, 4, 2);
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 8, 4, kR, kG, kB, kA, 0, "Tga"));
  const std::string tga = temp.Path() + "pic.tga";
  ASSERT_TRUE(t.SaveTarga(tga.c_str()));
  CTexture back;
  ASSERT_TRUE(back.LoadTarga(tga.c_str(), 0));
  EXPECT_EQ("pic.tga", back.name);
  EXPECT_TRUE(back.flags & CTexture::kTargaSource);
  EXPECT_EQ(0, std::memcmp(back.pixels.get(), pixels.data(), 8 * 4 * 4));
  // A file stored bottom row first (origin bit clear) loads the same way up.
  std::string bottomUp = testing_support::ReadBytes(tga);
  bottomUp[17] = static_cast<char>(bottomUp[17] & ~0x20);
  for (int y = 0; y < 4; ++y) bottomUp.replace(18 + 32 * y, 32, testing_support::ReadBytes(tga).substr(18 + 32 * (3 - y), 32));
  const std::string flipped = temp.Write("bottom.tga", bottomUp);
  CTexture upright;
  ASSERT_TRUE(upright.LoadTarga(flipped.c_str(), 0));
  EXPECT_EQ(0, std::memcmp(upright.pixels.get(), pixels.data(), 8 * 4 * 4));
  EXPECT_FALSE(upright.LoadTarga(temp.Write("short.tga", bottomUp.substr(0, 18 + 127)).c_str(), 0));  // a byte short
  bottomUp[2] = 1;  // a colour-mapped file is refused
  EXPECT_FALSE(upright.LoadTarga(temp.Write("mapped.tga", bottomUp).c_str(), 0));
  // The same file is an image for the library too, with its alpha plane.
  CImageRef image = LoadImageFile(tga.c_str());
  ASSERT_FALSE(image.IsNull());
  EXPECT_EQ(static_cast<int32_t>(((pixels[9] >> 16) & 0xFF) | (pixels[9] & 0xFF00) | ((pixels[9] & 0xFF) << 16)),
            image->GetPixel(1, 1));
  EXPECT_EQ(openBefore, testing_support::OpenDescriptors()) << "every read, whole or refused, closes its file";
  // Bitmap: r in the low byte.
  const std::string bmp = temp.Path() + "pic.bmp";
  ASSERT_EQ(1, image->Save(bmp.c_str()));
  CTexture fromBmp;
  ASSERT_TRUE(fromBmp.LoadBitmap(bmp.c_str(), 0));
  EXPECT_EQ(kB, fromBmp.redMask);
  EXPECT_EQ(Color::FromRGBA(pixels[9] >> 16 & 0xFF, pixels[9] >> 8 & 0xFF, pixels[9] & 0xFF, 255),
            Sampled(fromBmp, 1.5f / 8, 1.5f / 4));
  EXPECT_FALSE(fromBmp.LoadBitmap(tga.c_str(), 0));  // a Targa is no bitmap: the old pixels go all the same
  EXPECT_EQ(nullptr, fromBmp.pixels);
  // An attached texture is written beside its parent and found again from the parent's folder.
  t.attached = std::make_unique<CTexture>();
  ASSERT_TRUE(t.attached->CreateFromPixels(pixels.data(), 4, 4, 4, kR, kG, kB, kA, 0, "Reflection"));
  const std::string parent = temp.Path() + "parent.texture";
  ASSERT_TRUE(t.Save(parent.c_str(), 0));
  char* shared = LoadFileToBuffer(parent.c_str());
  FreeFileBuffer(shared);
  CTexture loaded;
  ASSERT_TRUE(loaded.Load(parent.c_str(), true));
  char* again = LoadFileToBuffer(parent.c_str());  // loading handed the shared file buffer back
  EXPECT_EQ(shared, again);
  FreeFileBuffer(again);
  ASSERT_NE(nullptr, loaded.attached);
  EXPECT_EQ("parent.texture.RFL", loaded.attachedName);
  EXPECT_EQ("Reflection", loaded.attached->name);
  EXPECT_FALSE(loaded.Load((temp.Path() + "missing.texture").c_str(), true));  // the old pixels go all the same
  EXPECT_EQ(nullptr, loaded.pixels);
}

// Texture "t<i>" of each layout attaches the i-th name given; "t0" is loaded. Itself, a ring or a
// chain ends at the depth bound with a line, a name out of the folder is refused; the parent loads.
TEST(TextureFile, AttachmentsStopAtTheDepthBoundAndStayInTheFolder) {
  constexpr uint32_t kBound = CTexture::kMaxAttachDepth;
  const auto chain = [](uint32_t length) {  // t0 -> t1 -> ... -> t<length>
    std::vector<std::string> names;
    for (uint32_t i = 1; i <= length; ++i) names.push_back("t" + std::to_string(i) + ".texture");
    return names;
  };
  const struct {
    std::vector<std::string> attaches;
    uint32_t links;
    const char* logged;
  } cases[] = {{{"t0.texture"}, kBound, "deep"},           {{"./t0.texture"}, kBound, "deep"},
               {{"t1.texture", "t0.texture"}, kBound, "deep"}, {chain(kBound), kBound, nullptr},
               {chain(kBound + 1), kBound, "deep"},        {{"sub/t1.texture"}, 1, nullptr},
               {{"../t1.texture"}, 0, "leads out"},        {{"sub/../../t1.texture"}, 0, "leads out"}};
  const std::vector<uint32_t> pixels = Smooth(4, 4, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attaches[0] + " " + std::to_string(c.attaches.size()));
    testing_support::TempFolder temp;
    for (const std::string folder : {"", "in/", "in/sub/"})
      for (size_t i = 0; i <= kBound + 1; ++i) {
        CTexture t;
        ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 4, 4, kR, kG, kB, kA, 0, "Link"));
        t.attachedName = folder == "in/" && i < c.attaches.size() ? c.attaches[i] : "";
        ASSERT_TRUE(t.Save(temp.Write(folder + "t" + std::to_string(i) + ".texture", "").c_str(), 0));
      }
    testing_support::DebugCapture log;
    CTexture loaded;
    ASSERT_TRUE(loaded.Load((temp.Path() + "in/t0.texture").c_str(), true));
    uint32_t links = 0;
    for (const CTexture* t = &loaded; t->attached && !t->attached->fileName.empty(); t = t->attached.get()) ++links;
    EXPECT_EQ(c.links, links);
    EXPECT_EQ(c.logged != nullptr, log.Text().find(c.logged ? c.logged : "CTexture") != std::string::npos) << log.Text();
  }
}

TEST(TextureResource, TheTableLoadsTexturesThroughTheRegisteredLoader) {
  testing_support::TempFolder temp;
  const std::vector<uint32_t> pixels = Smooth(8, 8, 0);
  CTexture t;
  ASSERT_TRUE(t.CreateFromPixels(pixels.data(), 4, 8, 8, kR, kG, kB, kA, 0, "Table"));
  const std::string path = temp.Path() + "table.tex";  // the table types textures by ".tex"
  ASSERT_TRUE(t.Save(path.c_str(), 0));
  const ResourceLoadFn saved = CResourceTable::GetLoader(kResourceTexture);
  CTexture::RegisterResourceLoaders();
  {
    CResourceTable table;
    const int index = table.Add(path.c_str());
    ASSERT_EQ(kResourceTexture, table.GetType(index));  // a refused path has no type
    auto* loaded = static_cast<CTexture*>(table.GetResource(index));
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ("Table", loaded->name);
    EXPECT_EQ(0, std::memcmp(loaded->pixels.get(), pixels.data(), 8 * 8 * 4));
  }
  CResourceTable::RegisterLoader(kResourceTexture, saved);
}
