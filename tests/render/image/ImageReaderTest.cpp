// Targa, BMP and TIFF readers against independent decoders (SDL2_image, libtiff), and hostile files.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/data/LittleEndian.h"
#include "render/image/BitmapImage.h"
#include "render/image/ImageReaders.h"
#include "tests/render/image/ImageFiles.h"
#include "tests/support/Golden.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

using namespace image_files;

namespace {

// Pixel (x, y) of an SDL surface as b, g, r, a.
void SdlPixel(SDL_Surface* s, int x, int y, uint8_t out[4]) {
  const uint32_t word = *reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch + 4 * x);
  SDL_GetRGBA(word, s->format, &out[2], &out[1], &out[0], &out[3]);
}

}  // namespace

TEST(TargaReader, MatchesSdlImageForBothTypesAndOrigins) {
  for (int bytes : {3, 4})
    for (bool rle : {false, true})
      for (bool top : {false, true}) {
        Picture p = MakePicture(40, 7, bytes, 100 + bytes * 4 + rle * 2 + top);
        // A run and then a literal stretch longer than a packet holds, across row ends.
        std::fill(p.bgra.begin(), p.bgra.begin() + 130 * bytes, 90);
        for (int i = 130; i < 262; ++i) p.bgra[i * bytes] = static_cast<uint8_t>(i % 2);
        const std::vector<uint8_t> file = TargaFile(p, rle, top);
        CImageRef image = LoadImageFromMemory(file.data(), file.size());
        ASSERT_FALSE(image.IsNull()) << bytes << rle << top;
        EXPECT_EQ(bytes == 4, (image->flags & CImage::kAlphaPlane) != 0);
        SDL_RWops* rw = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
        SDL_Surface* loaded = IMG_LoadTGA_RW(rw);
        SDL_RWclose(rw);
        ASSERT_NE(nullptr, loaded) << IMG_GetError();
        SDL_Surface* s = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(loaded);
        const uint8_t* alpha = static_cast<CBitmapImage*>(image.Get())->GetAlphaPlane();
        for (int y = 0; y < p.height; ++y)
          for (int x = 0; x < p.width; ++x) {
            uint8_t ref[4];
            SdlPixel(s, x, y, ref);
            const uint8_t* ours = image->pixels + y * image->pitch + 3 * x;
            ASSERT_EQ(0, std::memcmp(ref, ours, 3)) << bytes << rle << top << " at " << x << "," << y;
            if (alpha) ASSERT_EQ(ref[3], alpha[y * p.width + x]);
            // And both equal the picture we wrote.
            ASSERT_EQ(0, std::memcmp(ours, &p.bgra[(static_cast<size_t>(y) * p.width + x) * bytes], 3));
          }
        SDL_FreeSurface(s);
      }
}

TEST(TargaReader, RunPacketCrossingARowEnd) {
  // 138 pixels a row: a raw packet of 128 grey pixels, then a run of 128 red ones that fills the
  // last 10 of row one and the first 118 of row two, then 20 literal blue.
  std::vector<uint8_t> file = TargaHeader(138, 2, 24, true);
  file.push_back(127);
  for (int i = 0; i < 128; ++i) file.insert(file.end(), {50, 50, 50});
  file.push_back(0xFF);
  file.insert(file.end(), {0, 0, 255});
  file.push_back(19);
  for (int i = 0; i < 20; ++i) file.insert(file.end(), {255, 0, 0});
  CImageRef image = LoadImageFromMemory(file.data(), file.size());
  ASSERT_FALSE(image.IsNull());
  for (int i = 0; i < 2 * 138; ++i)  // every pixel of both rows, in file order
    ASSERT_EQ(i < 128 ? 0x323232 : i < 256 ? 0x0000FF : 0xFF0000, image->GetPixel(i % 138, i / 138)) << i;
  // One run more than the picture holds is refused, as is every truncation.
  std::vector<uint8_t> longer = file;
  ASSERT_EQ(19, longer[18 + 385 + 4]);
  longer[18 + 385 + 4] = 20;  // the literal packet now claims 21 pixels
  longer.insert(longer.end(), {1, 2, 3});
  EXPECT_TRUE(LoadImageFromMemory(longer.data(), longer.size()).IsNull());
  for (size_t cut = 0; cut < file.size(); ++cut)
    ASSERT_TRUE(testing_support::WithinLinearCost(cut, [&] { return LoadImageFromMemory(file.data(), cut); }).IsNull()) << cut;
}

TEST(TargaCodec, RunHelpersAndHeaderListing) {
  const uint8_t row[7] = {1, 1, 1, 2, 3, 3, 4};
  EXPECT_EQ((std::vector<int>{3, 1, 1, 1}),
            (std::vector<int>{TargaRunLength(row, 0, 7, 1), TargaRunLength(row, 3, 7, 1),
                              TargaLiteralLength(row, 3, 7, 1), TargaLiteralLength(row, 6, 7, 1)}));
  std::vector<uint8_t> out;
  WriteTargaRlePackets(row, 7, 1, out);
  EXPECT_EQ((std::vector<uint8_t>{0x82, 1, 0, 2, 0x81, 3, 0, 4}), out);
  // Every field its own value: map origin 0x1234, map length 0x5678, origins 7 and 9, 64 x 32 at 24 bits.
  uint8_t header[18] = {0, 1, 10, 0x34, 0x12, 0x78, 0x56, 24, 7, 0, 9, 0, 64, 0, 32, 0, 24, 0x28};
  testing_support::ExpectGolden(DumpTargaHeader(header, sizeof(header)), "render/image/golden/TargaHeaderListing.txt");
  for (const int type : {127, 128}) {  // types from 128 on are kept for applications
    header[2] = static_cast<uint8_t>(type);
    const char* name = type < 128 ? "Unknown Image Type\n" : "Unknown Image Type - Application Specific\n";
    EXPECT_NE(std::string::npos, DumpTargaHeader(header, sizeof(header)).find(name)) << type;
  }
}

namespace {

// A BMP file as the writers of other programs make them: any header size, bit count, layout of
// channel masks, colour table length and run-length coding, with random pixels and codes.
struct BmpSpec {
  uint32_t header;  // 12 (OS/2), 40, 108 or 124
  int bits;
  uint32_t compression;
  bool topDown;
  uint32_t colours;  // table entries written (0: all, unsaid)
  uint32_t masks[3];
  int width, height;
};

void Put16(std::vector<uint8_t>& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }

// Run-length codes of random rows: runs, literals (odd lengths padded), moves, line ends.
std::vector<uint8_t> RleCodes(const BmpSpec& b, std::mt19937& rng) {
  const bool four = b.bits == 4;
  const uint32_t entries = b.colours ? b.colours : 1u << b.bits;
  std::vector<uint8_t> out;
  auto index = [&] { return static_cast<uint8_t>(rng() % entries); };
  for (int y = 0; y < b.height; ++y) {
    int x = 0;
    while (x < b.width) {
      const int left = b.width - x;
      const int kind = static_cast<int>(rng() % 8);
      if (kind == 0 && y + 1 < b.height && left > 4) {  // move right within this row
        const int dx = 1 + static_cast<int>(rng() % 3);
        out.insert(out.end(), {0, 2, static_cast<uint8_t>(dx), 0});
        x += dx;
      } else if (kind < 4 && left >= 3) {  // literal
        const int n = 3 + static_cast<int>(rng() % std::min(left - 2, 40));
        out.insert(out.end(), {0, static_cast<uint8_t>(n)});
        const size_t bytes = four ? (n + 1) / 2 : n;
        for (size_t i = 0; i < bytes; ++i) out.push_back(four ? static_cast<uint8_t>(index() << 4 | index()) : index());
        if (bytes & 1) out.push_back(0);
        x += n;
      } else {  // run
        const int n = 1 + static_cast<int>(rng() % std::min(left, 255));
        out.insert(out.end(), {static_cast<uint8_t>(n), four ? static_cast<uint8_t>(index() << 4 | index()) : index()});
        x += n;
      }
    }
    if (y + 1 < b.height) out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), {0, 1});
  return out;
}

std::vector<uint8_t> BmpFile(const BmpSpec& b, uint32_t seed) {
  std::mt19937 rng(seed);
  const bool rle = b.compression == 1 || b.compression == 2;
  std::vector<uint8_t> pixels;
  if (rle) {
    pixels = RleCodes(b, rng);
  } else {
    const size_t rowBytes = ((static_cast<size_t>(b.width) * b.bits + 31) / 32) * 4;
    const uint32_t entries = b.colours ? b.colours : 1u << std::min(b.bits, 8);
    for (int y = 0; y < b.height; ++y)
      for (size_t i = 0; i < rowBytes; ++i) {
        uint8_t byte = static_cast<uint8_t>(rng());
        if (b.bits == 8) byte = static_cast<uint8_t>(byte % entries);
        if (b.bits == 4) byte = static_cast<uint8_t>((byte >> 4) % entries << 4 | (byte & 15) % entries);
        pixels.push_back(byte);
      }
  }
  std::vector<uint8_t> info;
  le::PutU32(info, b.header);
  if (b.header == 12) {
    Put16(info, b.width), Put16(info, b.height), Put16(info, 1), Put16(info, b.bits);
  } else {
    le::PutU32(info, b.width), le::PutU32(info, b.topDown ? -b.height : b.height), Put16(info, 1), Put16(info, b.bits);
    le::PutU32(info, b.compression), le::PutU32(info, rle ? static_cast<uint32_t>(pixels.size()) : 0);
    le::PutU32(info, 2835), le::PutU32(info, 2835), le::PutU32(info, b.colours), le::PutU32(info, 0);
    if (b.header > 40)
      for (uint32_t m : b.masks) le::PutU32(info, m);
    info.resize(b.header, 0);
    if (b.header == 40 && b.compression == 3)
      for (uint32_t m : b.masks) le::PutU32(info, m);
  }
  const uint32_t tableEntries = b.bits > 8 ? 0 : b.colours ? b.colours : 1u << b.bits;
  for (uint32_t i = 0; i < tableEntries; ++i) {
    info.insert(info.end(), {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
    if (b.header != 12) info.push_back(0);
  }
  const uint32_t gap = seed % 3 * 2;  // the bits may stand further than right behind the table
  std::vector<uint8_t> file = {'B', 'M'};
  le::PutU32(file, static_cast<uint32_t>(14 + info.size() + gap + pixels.size()));
  le::PutU32(file, 0);
  le::PutU32(file, static_cast<uint32_t>(14 + info.size() + gap));
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), gap, 0xEE);
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

}  // namespace

// Every kind of BMP that SetDIBits reads decodes to the same picture as SDL's own BMP reader.
TEST(BmpReader, EveryLayoutMatchesSdl) {
  const BmpSpec specs[] = {
      {40, 1, 0, false, 0, {}, 13, 5},      {40, 1, 0, true, 2, {}, 33, 4},     {12, 1, 0, false, 0, {}, 9, 3},
      {40, 4, 0, false, 0, {}, 7, 6},       {40, 4, 0, true, 11, {}, 16, 5},    {12, 4, 0, false, 0, {}, 5, 5},
      {40, 8, 0, false, 0, {}, 9, 7},       {40, 8, 0, true, 200, {}, 4, 9},    {12, 8, 0, false, 0, {}, 6, 4},
      {108, 8, 0, false, 17, {}, 10, 3},    {40, 8, 1, false, 0, {}, 37, 9},    {40, 8, 1, false, 60, {}, 300, 3},
      {124, 8, 1, false, 0, {}, 20, 12},    {40, 4, 2, false, 0, {}, 29, 8},    {40, 4, 2, false, 9, {}, 64, 5},
      {40, 16, 0, false, 0, {}, 11, 4},     {40, 16, 0, true, 0, {}, 6, 3},     {40, 16, 3, false, 0, {0xF800, 0x7E0, 0x1F}, 9, 5},
      {40, 16, 3, false, 0, {0x1F, 0x3E0, 0x7C00}, 7, 3},   {108, 16, 3, true, 0, {0x7C00, 0x3E0, 0x1F}, 5, 6},
      {56, 16, 3, false, 0, {0x1F, 0x7E0, 0xF800}, 8, 2}, {40, 24, 0, false, 0, {}, 7, 5},   {12, 24, 0, false, 0, {}, 3, 3},
      {40, 32, 0, false, 0, {}, 6, 4},      {40, 32, 3, true, 0, {0xFF, 0xFF00, 0xFF0000}, 5, 5},
      {124, 32, 3, false, 0, {0xFF0000, 0xFF00, 0xFF}, 4, 4}, {108, 32, 3, false, 0, {0xFF000000, 0xFF0000, 0xFF00}, 6, 2},
  };
  uint32_t seed = 1;
  for (const BmpSpec& spec : specs) {
    const std::vector<uint8_t> file = BmpFile(spec, ++seed);
    SCOPED_TRACE(testing::Message() << spec.header << "-byte header, " << spec.bits << " bits, compression "
                                    << spec.compression << ", " << spec.width << " x " << spec.height);
    SDL_RWops* rw = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
    SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
    ASSERT_NE(nullptr, loaded) << SDL_GetError();
    SDL_Surface* reference = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    CImageRef image = LoadImageFromMemory(file.data(), file.size());
    ASSERT_FALSE(image.IsNull());
    ASSERT_EQ(reference->w, image->width);
    ASSERT_EQ(reference->h, image->height);
    for (int y = 0; y < image->height; ++y)
      for (int x = 0; x < image->width; ++x) {
        uint8_t bgra[4];
        SdlPixel(reference, x, y, bgra);
        if (image->depth == 15 || image->depth == 16) {
          // 5-5-5 and 5-6-5 keep their pixels; GetPixel widens them its own way.
          const uint8_t* p = image->pixels + static_cast<size_t>(y) * image->pitch + 2 * x;
          const int green = image->depth == 16 ? bgra[1] >> 2 << 5 : bgra[1] >> 3 << 5;
          const int packed = image->depth == 16 ? bgra[2] >> 3 << 11 : bgra[2] >> 3 << 10;
          ASSERT_EQ(packed | green | bgra[0] >> 3, (p[0] | p[1] << 8) & (image->depth == 16 ? 0xFFFF : 0x7FFF)) << x << "," << y;
        } else {
          ASSERT_EQ(RGB(bgra[2], bgra[1], bgra[0]), static_cast<COLORREF>(image->GetPixel(x, y))) << x << "," << y;
        }
      }
    SDL_FreeSurface(reference);
  }
}

TEST(BmpReader, HonoursTheBitsOffsetAndRefusesHostileFiles) {
  CImageRef source = CreateDibImage(5, 3, 24);
  for (int i = 0; i < 3 * 5 * 3; ++i) source->pixels[(i / 15) * source->pitch + i % 15] = static_cast<uint8_t>(i * 5);
  std::vector<uint8_t> file = static_cast<CBitmapImage*>(source.Get())->EncodeBmp();
  // Move the bits 32 bytes further and say so in the header.
  std::vector<uint8_t> moved(file.begin(), file.begin() + 58);
  moved.insert(moved.end(), 32, 0xCC);
  moved.insert(moved.end(), file.begin() + 58, file.end());
  moved[10] = 58 + 32;
  CImageRef image = LoadImageFromMemory(moved.data(), moved.size());
  ASSERT_FALSE(image.IsNull());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(source->GetPixel(x, y), image->GetPixel(x, y));
  for (size_t cut = 0; cut < moved.size(); ++cut)
    ASSERT_TRUE(testing_support::WithinLinearCost(cut, [&] { return LoadImageFromMemory(moved.data(), cut); }).IsNull()) << cut;
  std::vector<uint8_t> hostile = file;
  hostile[10] = 0xF0;  // bits past the end
  EXPECT_TRUE(LoadImageFromMemory(hostile.data(), hostile.size()).IsNull());
  hostile = file;
  hostile[30] = 1;  // run-length codes of 8 bits for a 24-bit picture
  EXPECT_TRUE(LoadImageFromMemory(hostile.data(), hostile.size()).IsNull());

  // Run-length files: every cut is refused (the codes must end within the file), and so are
  // top-down codes and a size far beyond what the codes can cover, before anything is allocated.
  const std::vector<uint8_t> rle = BmpFile({40, 4, 2, false, 0, {}, 29, 8}, 3);
  ASSERT_FALSE(LoadImageFromMemory(rle.data(), rle.size()).IsNull());
  for (size_t cut = 0; cut < rle.size(); ++cut)
    ASSERT_TRUE(testing_support::WithinLinearCost(cut, [&] { return LoadImageFromMemory(rle.data(), cut); }).IsNull()) << cut;
  hostile = rle;
  le::WriteU32(hostile.data() + 22, static_cast<uint32_t>(-8));
  EXPECT_TRUE(LoadImageFromMemory(hostile.data(), hostile.size()).IsNull());
  le::WriteU32(hostile.data() + 18, 30000);
  le::WriteU32(hostile.data() + 22, 30000);
  EXPECT_TRUE(LoadImageFromMemory(hostile.data(), hostile.size()).IsNull());
  // Runs and literals past a row's end and moves past the picture are dropped; 4 x 2, 8 bits.
  std::vector<uint8_t> wild = BmpFile({40, 8, 1, false, 4, {}, 4, 2}, 9);
  const std::vector<uint8_t> codes = {9, 1, 0, 0, 0, 5, 2, 3, 2, 3, 2, 0, 0, 2, 200, 200, 7, 3, 0, 1};
  wild.resize(le::ReadU32(wild.data() + 10));
  wild.insert(wild.end(), codes.begin(), codes.end());
  le::WriteU32(wild.data() + 34, static_cast<uint32_t>(codes.size()));
  CImageRef read = LoadImageFromMemory(wild.data(), wild.size());
  ASSERT_FALSE(read.IsNull());
  auto entry = [&](int i) { return static_cast<int32_t>(RGB(wild[54 + 4 * i + 2], wild[54 + 4 * i + 1], wild[54 + 4 * i])); };
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(entry(1), read->GetPixel(x, 1)) << "bottom row: the run of 9, cut at 4";
    EXPECT_EQ(entry(2 + (x & 1)), read->GetPixel(x, 0)) << "top row: the literal 2, 3, 2, 3, 2, cut at 4";
  }
  wild.resize(wild.size() - 2);  // no end-of-bitmap code
  le::WriteU32(wild.data() + 34, static_cast<uint32_t>(codes.size() - 2));
  EXPECT_TRUE(LoadImageFromMemory(wild.data(), wild.size()).IsNull());
}

TEST(TiffReader, BothByteOrdersEqualLibtiffAndCompressionIsRefused) {
  testing_support::TempFolder temp;
  for (bool big : {false, true})
    for (int bytes : {3, 4})
      for (int rowsPerStrip : {1, 3, 64}) {
        const Picture p = MakePicture(9, 6, bytes, 7 + big + bytes + rowsPerStrip);
        const std::string path = temp.Path() + "t.tif";
        const std::vector<uint8_t> file = WriteTiff(path, p, big, rowsPerStrip, COMPRESSION_NONE);
        CImageRef image = LoadImageFromMemory(file.data(), file.size());
        ASSERT_FALSE(image.IsNull()) << big << bytes << rowsPerStrip;
        // libtiff's own strip reading gives the reference samples (its RGBA path would premultiply).
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tif)));
        const uint8_t* alpha = static_cast<CBitmapImage*>(image.Get())->GetAlphaPlane();
        EXPECT_EQ(bytes == 4, alpha != nullptr);
        for (int y = 0; y < 6; ++y) {
          ASSERT_EQ(1, TIFFReadScanline(tif, line.data(), static_cast<uint32_t>(y), 0));
          for (int x = 0; x < 9; ++x) {
            const uint8_t* ref = &line[x * bytes];
            const uint8_t* ours = image->pixels + y * image->pitch + 3 * x;
            ASSERT_EQ((std::vector<uint8_t>{ref[2], ref[1], ref[0]}), std::vector<uint8_t>(ours, ours + 3));
            if (alpha) ASSERT_EQ(ref[3], alpha[y * 9 + x]);
          }
        }
        TIFFClose(tif);
        if (!big && bytes == 3 && rowsPerStrip == 3) {
          for (size_t cut = 0; cut < file.size(); ++cut)
            ASSERT_TRUE(
                testing_support::WithinLinearCost(cut, [&] { return LoadImageFromMemory(file.data(), cut); }).IsNull())
                << cut;
          // The directory moved to the end, its compression entry (the fourth) made an unknown
          // tag, reads the same: plain rows are the default. It is cut short without the offset
          // of the next directory that closes it.
          const uint32_t ifd = le::ReadU32(file.data() + 4);
          std::vector<uint8_t> moved = file;
          le::WriteU32(moved.data() + 4, static_cast<uint32_t>(file.size()));
          moved.insert(moved.end(), file.begin() + ifd, file.begin() + ifd + 2 + 12 * le::ReadU16(file.data() + ifd));
          ASSERT_EQ(259, le::ReadU16(moved.data() + file.size() + 2 + 12 * 3));
          le::WriteU16(moved.data() + file.size() + 2 + 12 * 3, 0);
          EXPECT_TRUE(LoadImageFromMemory(moved.data(), moved.size()).IsNull());
          moved.insert(moved.end(), 4, 0);
          CImageRef again = LoadImageFromMemory(moved.data(), moved.size());
          ASSERT_FALSE(again.IsNull());
          EXPECT_EQ(0, std::memcmp(again->pixels, image->pixels, static_cast<size_t>(image->pitch) * 6));
        }
      }
  const Picture p = MakePicture(9, 6, 3, 1);
  const std::vector<uint8_t> packed = WriteTiff(temp.Path() + "c.tif", p, false, 6, COMPRESSION_PACKBITS);
  testing_support::DebugCapture log;
  EXPECT_TRUE(LoadImageFromMemory(packed.data(), packed.size()).IsNull());
  EXPECT_NE(std::string::npos, log.Text().find("Compressed Files Not Supproted"));
}
