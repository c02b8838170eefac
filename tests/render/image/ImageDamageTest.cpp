// Damaged and hostile image and texture files: every prefix refused, seeded random damage refused
// or read within its bytes, and headers that claim huge pictures refused without allocating for
// them, all under the near-linear cost guard.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "platform/system/Platform.h"
#include "render/image/B2Image.h"
#include "render/image/BWCodec.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "render/image/ImageReaders.h"
#include "render/image/JpegCodec.h"
#include "render/image/Texture.h"
#include "tests/render/image/ImageFiles.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

using namespace image_files;

namespace {

using testing_support::WithinLinearCost;

// Drops the readers' refusal lines: a capture growing across hundreds of loads would count
// against the heap of the load that happens to enlarge it.
class QuietLog {
 public:
  QuietLog() : m_previous(plat::SetDebugSink([](const char*) {})) {}
  ~QuietLog() { plat::SetDebugSink(m_previous); }
  QuietLog(const QuietLog&) = delete;
  QuietLog& operator=(const QuietLog&) = delete;

 private:
  plat::DebugSink m_previous;
};

// Reads bytes (an exact-size block, so ASan sees any read past it); true when accepted.
using Reader = std::function<bool(const uint8_t*, size_t)>;

// Every prefix must be refused; rounds of 1-3 random bit flips or byte sets must be refused or
// read, and all within the cost guard. Returns how many damaged files were accepted, -1 after
// the first failure.
int ExpectDamageContained(const std::vector<uint8_t>& file, const Reader& read, uint32_t seed, int rounds = 300) {
  bool accepted = false;
  auto guarded = [&](const std::vector<uint8_t>& bytes) {
    return testing_support::CostsNearLinear(bytes.size(), [&] { accepted = read(bytes.data(), bytes.size()); });
  };
  for (size_t cut = 0; cut < file.size(); ++cut) {
    const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut));
    const ::testing::AssertionResult cost = guarded(prefix);
    if (!cost || accepted) {
      ADD_FAILURE() << "prefix " << cut << (accepted ? " accepted" : " ") << cost.message();
      return -1;
    }
  }
  std::mt19937 rng(seed);
  int acceptedCount = 0;
  for (int round = 0; round < rounds; ++round) {
    std::vector<uint8_t> damaged = file;
    std::string where;
    for (int k = 0; k <= round % 3; ++k) {
      const size_t at = rng() % damaged.size();
      uint8_t& b = damaged[at];
      b = round % 2 ? static_cast<uint8_t>(b ^ 1u << (rng() % 8)) : static_cast<uint8_t>(rng());
      where += " " + std::to_string(at) + "=" + std::to_string(b);
    }
    const ::testing::AssertionResult cost = guarded(damaged);
    if (!cost) {
      ADD_FAILURE() << "round " << round << " changed" << where << ": " << cost.message();
      return -1;
    }
    acceptedCount += accepted ? 1 : 0;
  }
  return acceptedCount;
}

// Loads and, when accepted, draws the top-left corner into 5-5-5 and 5-6-5 screens and asks
// for pixels along it, the way the game walks an image's rows.
bool LoadAndDraw(const uint8_t* data, size_t size) {
  CImageRef image = LoadImageFromMemory(data, size);
  if (image.IsNull()) return false;
  const int w = std::min(image->width, 64), h = std::min(image->height, 64);
  for (int depth : {15, 16}) {
    std::vector<uint16_t> screen(static_cast<size_t>(w) * h);
    image->BltRaw(RawSurface{reinterpret_cast<uint8_t*>(screen.data()), w, h, 2 * w, depth}, ImageRect{0, 0, w - 1, h - 1},
                  ImageRect{0, 0, w - 1, h - 1});
  }
  for (int y = 0; y < h; ++y) image->GetPixel(w - 1, y);
  return true;
}

// A noisy picture with an alpha plane of blocks, so run-coded forms have runs and literals.
CImageRef NoisyDib(int w, int h, bool withAlpha, uint32_t seed) {
  CImageRef dib = CreateDibImage(w, h, 24);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) dib->pixels[y * dib->pitch + x] = static_cast<uint8_t>(x % 9 < 5 ? y * 16 : rng());
  if (withAlpha) {
    uint8_t* alpha = static_cast<CBitmapImage*>(dib.Get())->AlphaPlaneForWrite();
    for (int i = 0; i < w * h; ++i) alpha[i] = static_cast<uint8_t>(i % w < w / 3 ? 0 : i % w < w / 2 ? 128 : 255);
  }
  return dib;
}

const std::vector<uint16_t> kPalette = {0x7C00, 0x03E0, 0x001F, 0x294A, 0x7FFF};

// A row-coded BW file: per row a literal of indices, a fill, a shade run and the end byte.
std::vector<uint8_t> RowCodedBW(int w, int h, bool compress, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> area;
  std::vector<uint32_t> starts;
  for (int y = 0; y < h; ++y) {
    starts.push_back(static_cast<uint32_t>(area.size()));
    const int literal = w / 2, fill = w / 4, shades = w - literal - fill;
    area.insert(area.end(), {CBWImage::kIndices, static_cast<uint8_t>(literal), 0});
    for (int i = 0; i < literal; ++i) area.push_back(static_cast<uint8_t>(rng() % kPalette.size()));
    area.insert(area.end(), {static_cast<uint8_t>(CBWImage::kShortFill | fill), 2});
    area.insert(area.end(), {CBWImage::kShades, static_cast<uint8_t>(shades), 0});
    for (int i = 0; i < shades; ++i) area.push_back(static_cast<uint8_t>(rng() % 32));
    area.push_back(CBWImage::kEnd);
  }
  CBWImage image;
  image.Assign(w, h, 15, kPalette, true, area, starts);
  if (compress) image.flags |= CImage::kCompressOnSave;
  std::vector<uint8_t> file(static_cast<size_t>(image.SaveToMemory(nullptr, 0)));
  image.SaveToMemory(file.data(), file.size());
  return file;
}

std::vector<uint8_t> B2File(int w, int h, bool rowCoded, uint32_t seed) {
  CImageRef dib = NoisyDib(w, h, rowCoded, seed);
  CB2Image b2;
  EXPECT_EQ(1, b2.CopyFrom(*dib.Get(), nullptr, nullptr));
  EXPECT_EQ(rowCoded, b2.IsRowCoded());
  return b2.FileImage();
}

}  // namespace

TEST(ImageDamage, EveryFormatRefusesPrefixesAndContainsRandomDamage) {
  testing_support::TempFolder temp;
  QuietLog quiet;
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases;
  cases.push_back({"bmp", static_cast<CBitmapImage*>(NoisyDib(13, 7, false, 1).Get())->EncodeBmp()});
  cases.push_back({"targa raw", TargaFile(MakePicture(11, 6, 3, 2), false, true)});
  cases.push_back({"targa runs", TargaFile(MakePicture(23, 9, 4, 3), true, true)});
  cases.push_back(
      {"tiff strips", WriteTiff(temp.Path() + "a.tif", MakePicture(9, 7, 4, 4), false, 3, COMPRESSION_NONE)});
  cases.push_back({"bw rows", RowCodedBW(20, 6, false, 4)});
  cases.push_back({"bw compressed", RowCodedBW(20, 6, true, 5)});
  cases.push_back({"b2 raw", B2File(9, 5, false, 6)});
  cases.push_back({"b2 rows", B2File(18, 6, true, 7)});
  uint32_t seed = 100;
  for (const Case& c : cases) {
    ASSERT_TRUE(LoadAndDraw(c.file.data(), c.file.size())) << c.name;
    const int accepted = ExpectDamageContained(c.file, LoadAndDraw, ++seed);
    ASSERT_GE(accepted, 0) << c.name;
    EXPECT_LT(accepted, 300) << c.name;  // damage is noticed at least sometimes
  }
}

TEST(ImageDamage, TheBWDecoderOnItsOwn) {
  std::vector<uint8_t> data(700);
  std::mt19937 rng(31);
  for (size_t i = 0; i < data.size(); ++i) data[i] = i % 50 < 30 ? static_cast<uint8_t>(i / 60) : static_cast<uint8_t>(rng() % 6);
  std::vector<uint8_t> stream;
  const uint64_t bits = bwcodec::Encode(data.data(), data.size(), stream);
  std::vector<uint8_t> out;
  ExpectDamageContained(
      stream, [&](const uint8_t* d, size_t n) { return bwcodec::Decode(d, n, std::min<uint64_t>(bits, 8 * n), data.size(), out); },
      37);
  // A size the stream could never reach is refused before anything is held for it.
  EXPECT_FALSE(WithinLinearCost(stream.size(), [&] { return bwcodec::Decode(stream.data(), stream.size(), bits, size_t{1} << 31, out); }));
  EXPECT_LT(out.capacity(), size_t{1} << 20);
}

TEST(ImageDamage, TexturesRawAndJpegWithAlphaRunsAndRawAlpha) {
  QuietLog quiet;
  std::vector<uint32_t> pixels(32 * 16);
  std::mt19937 rng(41);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint32_t x = i % 32;
    const uint32_t a = x < 10 ? 0 : x < 20 ? 128 : 255;  // blocks: the alpha part is stored as runs
    pixels[i] = a << 24 | (rng() & 0x3F3F3F) | x << 18 | (i / 32) << 10;
  }
  CTexture runs, noisyAlpha, raw;
  ASSERT_TRUE(runs.CreateFromPixels(pixels.data(), 4, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0x10, "Runs"));
  for (uint32_t& p : pixels) p = (p & 0xFFFFFF) | (rng() & 0xFF) << 24;
  ASSERT_TRUE(noisyAlpha.CreateFromPixels(pixels.data(), 4, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0x10, "Noisy"));
  ASSERT_TRUE(raw.CreateFromPixels(pixels.data(), 4, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 0x10, "Raw"));
  struct Case {
    const CTexture* texture;
    int mode;
  };
  uint32_t seed = 50;
  for (const Case& c : {Case{&runs, 1}, Case{&noisyAlpha, 1}, Case{&raw, 0}}) {
    std::vector<uint8_t> file;
    ASSERT_TRUE(c.texture->Encode(c.mode, file));
    for (bool dropTop : {false, true}) {
      const Reader parse = [dropTop](const uint8_t* d, size_t n) {
        CTexture t;
        if (!t.Parse(d, n, dropTop, true)) return false;
        // An accepted texture holds every texel its levels name.
        EXPECT_TRUE(t.pixels != nullptr);
        EXPECT_EQ(t.totalSize, t.mipOffsets.back() + t.GetLevelSize(t.mipCount - 1));
        volatile uint8_t last = t.pixels[t.totalSize - 1];
        (void)last;
        return true;
      };
      ASSERT_TRUE(parse(file.data(), file.size())) << c.texture->name;
      EXPECT_GE(ExpectDamageContained(file, parse, ++seed), 0) << c.texture->name << dropTop;
    }
  }
}

namespace {

// Fails when read allocates or takes more than near-linear cost for bytes, or accepts them.
void ExpectRefusedCheaply(const std::vector<uint8_t>& bytes, const Reader& read, const char* what) {
  const std::vector<uint8_t> exact = bytes;
  EXPECT_FALSE(WithinLinearCost(exact.size(), [&] { return read(exact.data(), exact.size()); })) << what;
}

bool Load(const uint8_t* d, size_t n) { return !LoadImageFromMemory(d, n).IsNull(); }

}  // namespace

TEST(ImageHostile, BmpAndTargaHeadersThatClaimTooMuch) {
  QuietLog quiet;
  std::vector<uint8_t> bmp = static_cast<CBitmapImage*>(NoisyDib(4, 4, false, 9).Get())->EncodeBmp();
  for (uint32_t side : {0x7FFFFFFFu, 65535u, 32768u}) {
    std::vector<uint8_t> huge = bmp;
    le::WriteU32(huge.data() + 18, side);
    le::WriteU32(huge.data() + 22, side);
    ExpectRefusedCheaply(huge, Load, "bmp sides");
    le::WriteU32(huge.data() + 22, static_cast<uint32_t>(-static_cast<int32_t>(side & 0x7FFF)));  // top-down
    ExpectRefusedCheaply(huge, Load, "bmp top-down sides");
  }
  for (uint32_t offset : {0xFFFFFFFFu, static_cast<uint32_t>(bmp.size()), static_cast<uint32_t>(bmp.size() - 1)}) {
    std::vector<uint8_t> past = bmp;
    le::WriteU32(past.data() + 10, offset);
    ExpectRefusedCheaply(past, Load, "bmp bits offset");
  }
  // Targa: the largest sides with a few pixels, raw and as a single full run packet.
  for (int bits : {24, 32}) {
    std::vector<uint8_t> tga = TargaHeader(65535, 65535, bits, false);
    tga.insert(tga.end(), 64, 7);
    ExpectRefusedCheaply(tga, Load, "targa raw sides");
    tga = TargaHeader(65535, 65535, bits, true);
    for (int i = 0; i < 40; ++i) tga.insert(tga.end(), {0xFF, 1, 2, 3, 4});
    ExpectRefusedCheaply(tga, Load, "targa run sides");
  }
  // A run packet that overruns a 3 x 2 picture, and one that stops a pixel short.
  std::vector<uint8_t> over = TargaHeader(3, 2, 24, true);
  over.insert(over.end(), {0x86, 9, 9, 9});
  ExpectRefusedCheaply(over, Load, "targa overrun");
  std::vector<uint8_t> shorter = TargaHeader(3, 2, 24, true);
  shorter.insert(shorter.end(), {0x84, 9, 9, 9});
  ExpectRefusedCheaply(shorter, Load, "targa short");
  shorter.insert(shorter.end(), {0x80, 1, 1, 1});
  EXPECT_TRUE(Load(shorter.data(), shorter.size()));
}

TEST(ImageHostile, TiffStripsAndSizesOutOfRange) {
  testing_support::TempFolder temp;
  QuietLog quiet;
  const std::vector<uint8_t> good = WriteTiff(temp.Path() + "g.tif", MakePicture(6, 4, 3, 5), false, 1,
                                              COMPRESSION_NONE);
  ASSERT_TRUE(Load(good.data(), good.size()));
  // Finds the directory entry of a tag in a little-endian file.
  auto entryOf = [](const std::vector<uint8_t>& f, uint16_t tag) -> size_t {
    const uint32_t ifd = le::ReadU32(f.data() + 4);
    for (uint32_t i = 0; i < le::ReadU16(f.data() + ifd); ++i)
      if (le::ReadU16(f.data() + ifd + 2 + 12 * i) == tag) return ifd + 2 + 12 * i;
    return 0;
  };
  const size_t widthEntry = entryOf(good, 256), heightEntry = entryOf(good, 257), stripEntry = entryOf(good, 273);
  const size_t perStripEntry = entryOf(good, 278);
  ASSERT_TRUE(widthEntry && heightEntry && stripEntry && perStripEntry);
  auto setValue = [](std::vector<uint8_t>& f, size_t entry, uint32_t v) {
    if (le::ReadU16(f.data() + entry + 2) == 3) {
      le::WriteU16(f.data() + entry + 8, static_cast<uint16_t>(v));
    } else {
      le::WriteU32(f.data() + entry + 8, v);
    }
  };
  // The largest sides the reader takes, in a few hundred bytes, are refused for their rows; one pixel more either way
  // is refused for its size.
  std::vector<uint8_t> huge = good;
  setValue(huge, widthEntry, 32768);
  setValue(huge, heightEntry, 32768);
  setValue(huge, perStripEntry, 32768);
  testing_support::DebugCapture log;
  ExpectRefusedCheaply(huge, Load, "tiff sides");
  setValue(huge, heightEntry, 32769);
  ExpectRefusedCheaply(huge, Load, "tiff height");
  setValue(huge, heightEntry, 32768);
  setValue(huge, widthEntry, 32769);
  ExpectRefusedCheaply(huge, Load, "tiff width");
  EXPECT_EQ("CBitmapImage: TIFF file refused: rows larger than the file\n"
            "CBitmapImage: TIFF file refused: bad size or no strips\n"
            "CBitmapImage: TIFF file refused: bad size or no strips\n", log.Text());
  // Four strips of one row, all pointing at the first row, in a picture as tall as it can be:
  // every strip lies inside the file, but the rows together outweigh it.
  std::vector<uint8_t> shared = good;
  const uint32_t strips = le::ReadU32(shared.data() + stripEntry + 8);
  const uint32_t first = le::ReadU32(shared.data() + strips);
  for (int s = 0; s < 4; ++s) le::WriteU32(shared.data() + strips + 4 * s, first);
  ASSERT_TRUE(Load(shared.data(), shared.size()));  // four rows within the file still read
  setValue(shared, perStripEntry, 8192);
  setValue(shared, heightEntry, 32768);
  ExpectRefusedCheaply(shared, Load, "tiff shared strips");
  // A strip offset past the end (the first strip's, then the last's), and too few strips for the rows.
  std::vector<uint8_t> past = good;
  le::WriteU32(past.data() + strips, 0xFFFFFFF0u);
  ExpectRefusedCheaply(past, Load, "tiff strip offset");
  past = good;
  le::WriteU32(past.data() + strips + 12, static_cast<uint32_t>(past.size() - 10));
  ExpectRefusedCheaply(past, Load, "tiff strip tail");
  std::vector<uint8_t> few = good;
  le::WriteU32(few.data() + stripEntry + 4, 3);
  ExpectRefusedCheaply(few, Load, "tiff strip count");
  std::vector<uint8_t> moved = good;
  le::WriteU32(moved.data() + stripEntry + 8, static_cast<uint32_t>(moved.size() - 8));  // offsets run off the end
  ExpectRefusedCheaply(moved, Load, "tiff strip array");
}

TEST(ImageHostile, OwnFormatsThatClaimTooMuchOrShareRows) {
  QuietLog quiet;
  // A compressed BW file whose header claims a 4 GB pixel area.
  std::vector<uint8_t> bw = RowCodedBW(20, 6, true, 11);
  le::WriteU32(bw.data() + 2, 0xFFFFFFF0u);
  ExpectRefusedCheaply(bw, Load, "bw total");
  // The largest sides with a plain area of a few bytes.
  bw = RowCodedBW(20, 6, false, 12);
  bw[10] = 0;
  le::WriteU16(bw.data() + 6, 0x7FFF);
  le::WriteU16(bw.data() + 8, 0x7FFF);
  ExpectRefusedCheaply(bw, Load, "bw sides");

  // Every row of a tall BW picture starts in one long chain of one-byte commands: long, but every
  // row ends, so it is valid, and the check must not walk the chain once per row.
  {
    const int h = 30000;
    const size_t area = 33 + 2 * kPalette.size(), table = area + 4u * h;
    std::vector<uint8_t> file(table, 0);
    file[0] = 'B';
    file[1] = 'W';
    le::WriteU16(file.data() + 6, 60);
    le::WriteU16(file.data() + 8, h);
    file[10] = 1;
    le::WriteU16(file.data() + 11, static_cast<uint16_t>(kPalette.size()));
    file.insert(file.end(), 120000, CBWImage::kShortLiteral);  // empty literals
    file.push_back(CBWImage::kEnd);
    for (int y = 0; y < h; ++y) le::WriteU32(file.data() + area + 4u * y, static_cast<uint32_t>(table + y));
    le::WriteU32(file.data() + 2, static_cast<uint32_t>(file.size()));
    EXPECT_TRUE(WithinLinearCost(file.size(), [&] { return (CBWImage(file.data(), file.size()).flags & CImage::kValid) != 0; }));
  }
  // The same for B2: rows starting along one long chain of empty skips.
  {
    const int h = 30000;
    const size_t table = CB2Image::kHeaderBytes + 4u * h;
    std::vector<uint8_t> file = B2File(4, 2, true, 13);
    file.resize(table);
    le::WriteU32(file.data() + 14, h);
    for (int i = 0; i < 40000; ++i) file.insert(file.end(), {CB2Image::kSkip, 0, 0});
    file.push_back(CB2Image::kEnd);
    for (int y = 0; y < h; ++y) le::WriteU32(file.data() + CB2Image::kHeaderBytes + 4u * y, static_cast<uint32_t>(table + 3 * y));
    le::WriteU32(file.data() + 6, static_cast<uint32_t>(file.size()));
    EXPECT_TRUE(WithinLinearCost(file.size(), [&] { return Load(file.data(), file.size()); }));
    // One row that ends exactly at the end of the file, without its end byte, is refused.
    file.pop_back();
    le::WriteU32(file.data() + 6, static_cast<uint32_t>(file.size()));
    ExpectRefusedCheaply(file, Load, "b2 unterminated chain");
  }
  // B2 with raw rows: one row more than the file holds, and the largest sides in a tiny file.
  std::vector<uint8_t> b2 = B2File(4, 3, false, 14);
  le::WriteU32(b2.data() + 14, 4);
  ExpectRefusedCheaply(b2, Load, "b2 rows");
  le::WriteU32(b2.data() + 10, 32768);
  le::WriteU32(b2.data() + 14, 32768);
  ExpectRefusedCheaply(b2, Load, "b2 sides");
}

namespace {

size_t HeaderBlockAt(const std::vector<uint8_t>& file) { return 12 + std::strlen(reinterpret_cast<const char*>(file.data() + 12)) + 1; }

// Rewrites the header block of a one-level texture file to claim w x h.
void ClaimSides(std::vector<uint8_t>& file, uint32_t w, uint32_t h, uint32_t bpp) {
  const size_t at = HeaderBlockAt(file) + 68;
  auto log2 = [](uint32_t v) { uint32_t l = 0; while (v > 1) { v >>= 1; ++l; } return l; };
  le::WriteU32(file.data() + at, w);
  le::WriteU32(file.data() + at + 4, h);
  le::WriteU32(file.data() + at + 4 * 11, log2(w));
  le::WriteU32(file.data() + at + 4 * 12, log2(h));
  le::WriteU32(file.data() + at + 4 * 14, w * h * bpp);  // wraps at the largest sides, as a hostile file would
  le::WriteU32(file.data() + at + 4 * 15, w * h * bpp);
}

bool ParseTexture(const uint8_t* d, size_t n) {
  CTexture t;
  return t.Parse(d, n, false, true);
}

}  // namespace

TEST(ImageHostile, TexturesWhoseLevelsOutgrowTheFile) {
  QuietLog quiet;
  std::vector<uint32_t> pixels(16 * 16);
  std::mt19937 rng(61);
  for (uint32_t& p : pixels) p = rng() & 0xFFFFFF;
  CTexture one;
  ASSERT_TRUE(one.CreateFromPixels(pixels.data(), 4, 16, 16, 0xFF0000, 0xFF00, 0xFF, 0, 0, "One"));
  std::vector<uint8_t> rawFile, jpegFile;
  ASSERT_TRUE(one.Encode(0, rawFile));
  ASSERT_TRUE(one.Encode(1, jpegFile));
  ASSERT_TRUE(ParseTexture(rawFile.data(), rawFile.size()));
  ASSERT_TRUE(ParseTexture(jpegFile.data(), jpegFile.size()));
  // 32768 x 32768 x 4 bytes wraps a 32-bit size to zero: such a texture would be accepted with
  // a block of three bytes.
  for (std::vector<uint8_t>* file : {&rawFile, &jpegFile}) {
    std::vector<uint8_t> wrapped = *file;
    ClaimSides(wrapped, 32768, 32768, 4);
    ExpectRefusedCheaply(wrapped, ParseTexture, "texture size wraps");
    std::vector<uint8_t> big = *file;
    ClaimSides(big, 16384, 16384, 4);
    ExpectRefusedCheaply(big, ParseTexture, "texture sides");
  }
  // A flat colour packs a level into a few bytes a block: 2048 x 2048 (16 MB decoded) takes a file
  // of some 70 KB, which may ask for at most 64 times its size beyond the floor of 8 MB. Refused
  // before a level is allocated; 1024 x 1024 (4 MB) stays under the floor and loads.
  for (uint32_t side : {2048u, 1024u}) {
    std::vector<uint32_t> flat(side * side, 0x00406080u);
    CTexture plain;
    ASSERT_TRUE(plain.CreateFromPixels(flat.data(), 4, side, side, 0xFF0000, 0xFF00, 0xFF, 0, 0, "Flat"));
    std::vector<uint8_t> file;
    ASSERT_TRUE(plain.Encode(1, file));
    ASSERT_LT(file.size() * JpegCodec::kDecodedBytesPerFileByte, uint64_t{4} * side * side);
    if (side > 1024) {
      ExpectRefusedCheaply(file, ParseTexture, "flat levels outgrow the file");
    } else {
      EXPECT_TRUE(ParseTexture(file.data(), file.size()));
    }
  }
  // A mip count beyond the sides and beyond the levels the file holds.
  std::vector<uint8_t> mips = rawFile;
  le::WriteU32(mips.data() + HeaderBlockAt(mips) + 68 + 4 * 13, 5);
  ExpectRefusedCheaply(mips, ParseTexture, "mip count");
  le::WriteU32(mips.data() + HeaderBlockAt(mips) + 68 + 4 * 13, 0xFFFFFFFFu);
  ExpectRefusedCheaply(mips, ParseTexture, "mip count huge");
  // A JPEG level whose own stream claims the texture's huge sides, with a handful of bytes
  // behind its header: refused before the levels are allocated.
  std::vector<uint8_t> claimed = jpegFile;
  ClaimSides(claimed, 16384, 16384, 4);
  const uint8_t sof[2] = {0xFF, 0xC0};
  auto marker = std::search(claimed.begin(), claimed.end(), sof, sof + 2);
  ASSERT_NE(claimed.end(), marker);
  const size_t dims = static_cast<size_t>(marker - claimed.begin()) + 5;
  claimed[dims] = 0x40;  // height 16384, big-endian
  claimed[dims + 1] = 0;
  claimed[dims + 2] = 0x40;  // width 16384
  claimed[dims + 3] = 0;
  ExpectRefusedCheaply(claimed, ParseTexture, "jpeg stream sides");
  // A stream decoded directly into a small level whose header claims 65500 x 65500 is refused
  // before the library sizes buffers for it.
  std::vector<uint8_t> stream;
  std::vector<uint8_t> rgb(16 * 16 * 3, 77);
  ASSERT_TRUE(JpegCodec::EncodeRgb(rgb.data(), 16, 16, 80, stream, nullptr));
  auto own = std::search(stream.begin(), stream.end(), sof, sof + 2);
  ASSERT_NE(stream.end(), own);
  own[5] = 0xFF;
  own[6] = 0xDC;
  own[7] = 0xFF;
  own[8] = 0xDC;
  std::vector<uint8_t> level(16 * 16 * 3);
  std::string error;
  EXPECT_FALSE(WithinLinearCost(stream.size(), [&] { return JpegCodec::DecodeRgb(stream.data(), stream.size(), 16, 16, level.data(), &error); }));
  EXPECT_NE(std::string::npos, error.find("65500x65500")) << error;
  // And at its own size the header still passes, but the few bytes cannot hold that many blocks.
  std::vector<uint8_t> huge(static_cast<size_t>(1) << 10);
  EXPECT_FALSE(WithinLinearCost(stream.size(), [&] {
    return JpegCodec::DecodeRgb(stream.data(), stream.size(), 65500, 65500, huge.data(), &error);
  }));
  EXPECT_NE(std::string::npos, error.find("cannot hold")) << error;
}
