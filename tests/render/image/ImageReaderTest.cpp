// Targa, BMP and TIFF readers against independent decoders (SDL2_image, libtiff), and hostile files.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <tiffio.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/math/LittleEndian.h"
#include "render/image/BitmapImage.h"
#include "render/image/ImageReaders.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

struct Picture {
  int width, height, bytes;
  std::vector<uint8_t> bgra;  // top row first
};

// Colours drawn from a few values so that runs occur, also across row ends.
Picture MakePicture(int w, int h, int bytes, uint32_t seed) {
  Picture p{w, h, bytes, std::vector<uint8_t>(static_cast<size_t>(w) * h * bytes)};
  std::mt19937 rng(seed);
  for (size_t i = 0; i < p.bgra.size(); i += bytes) {
    const int pick = static_cast<int>(rng() % 3);
    for (int k = 0; k < bytes; ++k) p.bgra[i + k] = static_cast<uint8_t>(pick * 90 + k * 7 + (pick == 2 ? rng() % 4 : 0));
  }
  return p;
}

std::vector<uint8_t> TargaFile(const Picture& p, bool rle, bool topOrigin) {
  std::vector<uint8_t> file(18, 0);
  file[2] = rle ? 10 : 2;
  file[12] = static_cast<uint8_t>(p.width);
  file[13] = static_cast<uint8_t>(p.width >> 8);
  file[14] = static_cast<uint8_t>(p.height);
  file[15] = static_cast<uint8_t>(p.height >> 8);
  file[16] = static_cast<uint8_t>(p.bytes * 8);
  file[17] = static_cast<uint8_t>((topOrigin ? 0x20 : 0) | (p.bytes == 4 ? 8 : 0));
  std::vector<uint8_t> rows;
  for (int y = 0; y < p.height; ++y) {
    const int from = topOrigin ? y : p.height - 1 - y;
    rows.insert(rows.end(), p.bgra.begin() + static_cast<ptrdiff_t>(from) * p.width * p.bytes,
                p.bgra.begin() + static_cast<ptrdiff_t>(from + 1) * p.width * p.bytes);
  }
  // Run-length packets over the whole pixel stream, so packets cross row ends.
  if (rle) {
    WriteTargaRlePackets(rows.data(), p.width * p.height, p.bytes, file);
  } else {
    file.insert(file.end(), rows.begin(), rows.end());
  }
  return file;
}

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
        const Picture p = MakePicture(13, 7, bytes, 100 + bytes * 4 + rle * 2 + top);
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
            if (alpha) {
              ASSERT_EQ(ref[3], alpha[y * p.width + x]);
            }
            // And both equal the picture we wrote.
            ASSERT_EQ(0, std::memcmp(ours, &p.bgra[(static_cast<size_t>(y) * p.width + x) * bytes], 3));
          }
        SDL_FreeSurface(s);
      }
}

TEST(TargaReader, RunPacketCrossingARowEnd) {
  // 138 pixels a row: a raw packet of 128 grey pixels, then a run of 128 red ones that fills the
  // last 10 of row one and the first 118 of row two, then 20 literal blue.
  std::vector<uint8_t> file(18, 0);
  file[2] = 10;
  file[12] = 138;
  file[14] = 2;
  file[16] = 24;
  file[17] = 0x20;
  file.push_back(127);
  for (int i = 0; i < 128; ++i) file.insert(file.end(), {50, 50, 50});
  file.push_back(0xFF);
  file.insert(file.end(), {0, 0, 255});
  file.push_back(19);
  for (int i = 0; i < 20; ++i) file.insert(file.end(), {255, 0, 0});
  CImageRef image = LoadImageFromMemory(file.data(), file.size());
  ASSERT_FALSE(image.IsNull());
  EXPECT_EQ(0x323232, image->GetPixel(127, 0));
  EXPECT_EQ(0x0000FF, image->GetPixel(128, 0));
  EXPECT_EQ(0x0000FF, image->GetPixel(137, 0));
  EXPECT_EQ(0x0000FF, image->GetPixel(117, 1));
  EXPECT_EQ(0xFF0000, image->GetPixel(118, 1));
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
  EXPECT_EQ(3, TargaRunLength(row, 0, 7, 1));
  EXPECT_EQ(1, TargaRunLength(row, 3, 7, 1));
  EXPECT_EQ(1, TargaLiteralLength(row, 3, 7, 1));
  EXPECT_EQ(1, TargaLiteralLength(row, 6, 7, 1));
  std::vector<uint8_t> out;
  WriteTargaRlePackets(row, 7, 1, out);
  EXPECT_EQ((std::vector<uint8_t>{0x82, 1, 0, 2, 0x81, 3, 0, 4}), out);
  uint8_t header[18] = {0, 0, 10};
  header[12] = 64;
  header[17] = 0x28;
  const std::string text = DumpTargaHeader(header, sizeof(header));
  EXPECT_NE(std::string::npos, text.find("Image Type               =  10\n  Run Length Encoded True Color Image"));
  EXPECT_NE(std::string::npos, text.find("Image Width, Height      =  00064, 00000\n"));
  EXPECT_NE(std::string::npos, text.find("  8 Attribute Bits Per Pixel\n"));
  EXPECT_NE(std::string::npos, text.find("Color Map Type           =   0  (Color Map Data is Absent)"));
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
  hostile[30] = 1;  // run-length compressed
  EXPECT_TRUE(LoadImageFromMemory(hostile.data(), hostile.size()).IsNull());
}

namespace {

std::string WriteTiff(const std::string& path, const Picture& p, bool bigEndian, int rowsPerStrip, uint16_t compression) {
  TIFF* tif = TIFFOpen(path.c_str(), bigEndian ? "wb" : "wl");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.bytes);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (p.bytes == 4) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  std::vector<uint8_t> row(static_cast<size_t>(p.width) * p.bytes);
  for (int y = 0; y < p.height; ++y) {
    // The picture is b, g, r(, a); TIFF rows are r, g, b(, a).
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* s = &p.bgra[(static_cast<size_t>(y) * p.width + x) * p.bytes];
      row[x * p.bytes] = s[2];
      row[x * p.bytes + 1] = s[1];
      row[x * p.bytes + 2] = s[0];
      if (p.bytes == 4) row[x * p.bytes + 3] = s[3];
    }
    TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tif);
  return testing_support::ReadBytes(path);
}

}  // namespace

TEST(TiffReader, BothByteOrdersEqualLibtiffAndCompressionIsRefused) {
  testing_support::TempFolder temp;
  TIFFSetWarningHandler(nullptr);
  for (bool big : {false, true})
    for (int bytes : {3, 4})
      for (int rowsPerStrip : {1, 3, 64}) {
        const Picture p = MakePicture(9, 6, bytes, 7 + big + bytes + rowsPerStrip);
        const std::string path = temp.Path() + "t.tif";
        const std::string file = WriteTiff(path, p, big, rowsPerStrip, COMPRESSION_NONE);
        CImageRef image = LoadImageFromMemory(reinterpret_cast<const uint8_t*>(file.data()), file.size());
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
            ASSERT_EQ(ref[0], ours[2]);
            ASSERT_EQ(ref[1], ours[1]);
            ASSERT_EQ(ref[2], ours[0]);
            if (alpha) ASSERT_EQ(ref[3], alpha[y * 9 + x]);
          }
        }
        TIFFClose(tif);
        if (!big && bytes == 3 && rowsPerStrip == 3) {
          for (size_t cut = 0; cut < file.size(); ++cut)
            ASSERT_TRUE(testing_support::WithinLinearCost(cut, [&] {
                          return LoadImageFromMemory(reinterpret_cast<const uint8_t*>(file.data()), cut);
                        }).IsNull())
                << cut;
          // The directory moved to the end reads the same, and is cut short without the offset
          // of the next directory that closes it.
          auto load = [](const std::string& tiff) {
            return LoadImageFromMemory(reinterpret_cast<const uint8_t*>(tiff.data()), tiff.size());
          };
          const uint32_t ifd = le::ReadU32(reinterpret_cast<const uint8_t*>(file.data()) + 4);
          const uint16_t entries = le::ReadU16(reinterpret_cast<const uint8_t*>(file.data()) + ifd);
          std::string moved = file;
          le::WriteU32(reinterpret_cast<uint8_t*>(&moved[4]), static_cast<uint32_t>(file.size()));
          moved += file.substr(ifd, 2 + 12 * size_t{entries});
          EXPECT_TRUE(load(moved).IsNull());
          CImageRef again = load(moved + std::string(4, '\0'));
          ASSERT_FALSE(again.IsNull());
          EXPECT_EQ(0, std::memcmp(again->pixels, image->pixels, static_cast<size_t>(image->pitch) * 6));
        }
      }
  const Picture p = MakePicture(9, 6, 3, 1);
  const std::string packed = WriteTiff(temp.Path() + "c.tif", p, false, 6, COMPRESSION_PACKBITS);
  testing_support::DebugCapture log;
  EXPECT_TRUE(LoadImageFromMemory(reinterpret_cast<const uint8_t*>(packed.data()), packed.size()).IsNull());
  EXPECT_NE(std::string::npos, log.Text().find("Compressed Files Not Supproted"));
}
