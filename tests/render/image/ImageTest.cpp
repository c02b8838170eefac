// Image handles, format detection and the bitmap image's pixels, key, copies and BMP writer.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/system/ModuleResources.h"
#include "render/image/BitmapImage.h"
#include "render/image/Image.h"
#include "tests/render/image/ImageFiles.h"
#include "tests/support/TempFolder.h"

namespace {

// A 24-bit picture of random colours.
CImageRef RandomPicture(int w, int h, uint32_t seed) {
  CImageRef image = CreateDibImage(w, h, 24);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) image->pixels[y * image->pitch + x] = static_cast<uint8_t>(rng());
  return image;
}

}  // namespace

TEST(ImageFormat, DetectionTableWithItsQuirks) {
  struct Case {
    std::vector<uint8_t> bytes;
    ImageFormat format;
  } cases[] = {
      {{'B', 'M', 0}, kImageBitmap},
      {{'I', 'I', 42}, kImageTiff},
      {{'M', 'M', 0}, kImageTiff},
      {{'B', 'W', 0}, kImageBW},
      {{'B', '2', 0}, kImageB2},
      {{0, 0, 2}, kImageTargaRaw},
      {{0, 0, 10}, kImageTargaRle},
      {{0, 1, 2}, kImageUnknown},  // a colour map
      {{5, 0, 2}, kImageUnknown},  // a Targa with an image ID is not recognised
      {{5, 0, 10}, kImageUnknown},
      {{0, 0, 3}, kImageUnknown},
      {{'I', 'M', 0}, kImageUnknown},
      {{0, 0}, kImageUnknown},  // too short for a Targa answer
      {{}, kImageUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(c.format, DetectImageFormat(c.bytes.data(), c.bytes.size()));
  // Quirk 1: "BM" wins even when the bytes would also make a valid Targa header.
  std::vector<uint8_t> both = {'B', 'M', 2};
  both.resize(18 + 3);
  EXPECT_EQ(kImageBitmap, DetectImageFormat(both.data(), both.size()));
  EXPECT_TRUE(LoadImageFromMemory(std::vector<uint8_t>{1, 2, 3}.data(), 3).IsNull());
  // Palettised data offered to a bitmap image is marked and said, and leaves it empty.
  testing_support::DebugCapture log;
  const std::vector<uint8_t> bw = {'B', 'W', 0, 0};
  CBitmapImage offered(bw.data(), bw.size());
  EXPECT_EQ(CImage::kOwnFormat, offered.flags);
  EXPECT_EQ(0, offered.DrawToDC(nullptr, 0, 0));
  EXPECT_EQ("Fucked up - Generic dib trying to load from palettized data.", log.Text());
  // Only pictures from a bitmap file, a TIFF or our own formats count as valid.
  EXPECT_TRUE(offered.Validate());
  EXPECT_FALSE(CBitmapImage(std::vector<uint8_t>{1, 2, 3}.data(), 3).Validate());
}

TEST(ImageRef, CopiesShareAndTheLastReleaseFrees) {
  CImageRef first = CreateDibImage(4, 3, 24);
  ASSERT_FALSE(first.IsNull());
  CImage* image = first.Get();
  {
    CImageRef a = first, b = a;
    EXPECT_EQ(3u, image->refCount);
    EXPECT_EQ(0u, b.GetWord());
  }
  EXPECT_EQ(1u, image->refCount);
  CImageRef second = first;
  first.Release();
  EXPECT_TRUE(first.IsNull());
  EXPECT_EQ(1u, second->refCount);
  int w = 0, h = 0;
  second->GetSize(&w, &h);
  EXPECT_EQ((std::vector<int>{4, 3}), (std::vector<int>{w, h}));
  second.Release();  // frees the image: ASan reports a leak otherwise
  EXPECT_EQ(0x00FF87FFu, Expand555(0x7C00 | 16 << 5 | 31));
  EXPECT_EQ(0x000F0000u, Expand555(1 << 10));
  EXPECT_EQ(0x12000000u, Expand555(0x12000000u));  // zero channels stay 0; the top byte is kept
}

TEST(BitmapImage, SectionsKeyAndPixelAnswersInOneByteOrder) {
  CImageRef low = CreateDibImage(3, 2, 15);
  ASSERT_FALSE(low.IsNull());
  EXPECT_EQ((std::vector<int>{15, 8}), (std::vector<int>{low->depth, low->pitch}));  // rows padded to four bytes
  EXPECT_TRUE(CreateDibImage(3, 2, 8).IsNull()) << "a blank 8-bit picture would have no palette";

  CImageRef picture = CreateDibImage(2, 1, 24);
  uint8_t* p = picture->pixels;
  const uint8_t bgr[6] = {0x30, 0x20, 0x10, 0x33, 0x22, 0x11};
  std::copy(bgr, bgr + 6, p);
  EXPECT_EQ(0x302010, picture->GetPixel(0, 0));  // 0x00BBGGRR
  picture->SetColourKey(0x102030);                // 0x00RRGGBB
  EXPECT_EQ((std::vector<int32_t>{-1, 0x332211, -1}),
            (std::vector<int32_t>{picture->GetPixel(0, 0), picture->GetPixel(1, 0), picture->GetPixel(2, 0)}));
  picture->SetColourKey(0x01102030);  // top byte 1: no key, whatever the colour
  EXPECT_EQ(0x302010, picture->GetPixel(0, 0));
  EXPECT_EQ(0, picture->BltTo(*low.Get(), ImageRect{0, 0, 1, 0}, ImageRect{0, 0, 1, 0}));
}

TEST(BitmapImage, CopyFromConvertsEveryDepthPairAndRefusesTheRest) {
  CImageRef source = RandomPicture(5, 3, 7);
  for (int depth : {15, 16, 24, 32}) {
    CImageRef target = CreateDibImage(5, 3, depth);
    ASSERT_EQ(1, target->CopyFrom(*source.Get(), nullptr, nullptr)) << depth;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        const uint8_t* s = source->pixels + y * source->pitch + 3 * x;
        const int32_t got = target->GetPixel(x, y);
        const int keep = depth == 15 ? 5 : depth == 16 ? 5 : 8;
        const uint8_t mask = static_cast<uint8_t>(0xFF << (8 - keep));
        EXPECT_EQ(s[2] & mask, (got & 0xFF) & mask) << depth;
        EXPECT_EQ(s[0] & mask, (got >> 16 & 0xFF) & mask) << depth;
      }
  }
  // A 15-bit copy back into 24 bits widens by the documented shifts.
  CImageRef mid = CreateDibImage(5, 3, 15);
  mid->CopyFrom(*source.Get(), nullptr, nullptr);
  CImageRef back = CreateDibImage(5, 3, 24);
  ASSERT_EQ(1, back->CopyFrom(*mid.Get(), nullptr, nullptr));
  const uint16_t c = static_cast<uint16_t>(mid->pixels[0] | mid->pixels[1] << 8);
  EXPECT_EQ((c >> 7 & 0xF8) | (c >> 2 & 0xF8) << 8 | (c << 3 & 0xF8) << 16, back->GetPixel(0, 0));  // r, g, b from bytes 2, 1, 0
  // Out-of-image rects and missing converters copy nothing.
  const ImageRect outside{3, 0, 5, 2};
  EXPECT_EQ(0, mid->CopyFrom(*source.Get(), &outside, &outside));
  CImageRef wide = CreateDibImage(5, 3, 32);
  testing_support::DebugCapture log;
  EXPECT_EQ(0, wide->CopyFrom(*mid.Get(), nullptr, nullptr));
  EXPECT_NE(std::string::npos, log.Text().find("Source Dib = 15 Bpp, Dest Dib = 32 Bpp."));
}

TEST(BitmapImage, KeyedAlphaAndStretchedCopies) {
  CImageRef source = RandomPicture(4, 1, 3);
  auto* bitmap = static_cast<CBitmapImage*>(source.Get());
  source->pixels[0] = 1, source->pixels[1] = 2, source->pixels[2] = 3;
  bitmap->SetColourKey(0x030201);
  CImageRef target = CreateDibImage(4, 1, 24);
  std::fill(target->pixels, target->pixels + 12, 0xEE);
  const ImageRect firstThree{0, 0, 2, 0}, lastThree{1, 0, 3, 0};
  ASSERT_EQ(1, target->CopyFrom(*source.Get(), &firstThree, &firstThree));
  std::vector<uint8_t> want(12, 0xEE);  // the keyed pixel and the one outside the copy are left alone
  std::copy(source->pixels + 3, source->pixels + 9, want.begin() + 3);
  EXPECT_EQ(want, std::vector<uint8_t>(target->pixels, target->pixels + 12));

  bitmap->SetColourKey(0x01000000);
  uint8_t* alpha = bitmap->AlphaPlaneForWrite();
  const uint8_t levels[4] = {200, 0, 255, 128};
  std::copy(levels, levels + 4, alpha);
  std::fill(target->pixels, target->pixels + 12, 100);
  // From the second column on: each pixel blends by its own column's alpha.
  ASSERT_EQ(1, target->CopyFrom(*source.Get(), &lastThree, &firstThree));
  for (int i = 0; i < 9; ++i) {
    const int a = levels[i / 3 + 1], s = source->pixels[i + 3];
    EXPECT_EQ(std::clamp(100 + (s * a >> 8) - (100 * a >> 8), 0, 255), target->pixels[i]) << i;
  }
  EXPECT_EQ(std::vector<uint8_t>(3, 100), std::vector<uint8_t>(target->pixels + 9, target->pixels + 12));
  // Nearest stretch through the memory DCs: 4 -> 8 doubles each pixel.
  CImageRef big = CreateDibImage(8, 2, 24);
  const ImageRect from{0, 0, 3, 0}, to{0, 0, 7, 1};
  ASSERT_EQ(1, big->CopyFrom(*source.Get(), &from, &to));
  for (int x = 0; x < 8; ++x) EXPECT_EQ(source->GetPixel(x / 2, 0), big->GetPixel(x, 1)) << x;
  // Area-weighted shrink into one column: the four columns average.
  CImageRef small = CreateDibImage(1, 1, 24);
  ASSERT_EQ(1, small->StretchFrom(*source.Get(), ImageRect{0, 0, 3, 0}, ImageRect{0, 0, 0, 0}, alpha));
  EXPECT_EQ((source->pixels[0] + source->pixels[3] + source->pixels[6] + source->pixels[9] + 2) / 4, small->pixels[0]);
  EXPECT_EQ((0 + 255 + 128 + 200 + 2) / 4, static_cast<CBitmapImage*>(small.Get())->GetAlphaPlane()[0]);
  // The area average is rounded: a uniform picture keeps its value through uneven weights
  // (4 -> 3 sums to 99.99999999999999 of 100, which the integer part would make 99).
  std::fill(source->pixels, source->pixels + 12, 100);
  CImageRef three = CreateDibImage(3, 1, 24);
  ASSERT_EQ(1, three->StretchFrom(*source.Get(), ImageRect{0, 0, 3, 0}, ImageRect{0, 0, 2, 0}, nullptr));
  EXPECT_EQ(std::vector<uint8_t>(9, 100), std::vector<uint8_t>(three->pixels, three->pixels + 9));
}

TEST(BitmapImage, FlipsCloneAndGamma) {
  CImageRef image = RandomPicture(3, 2, 11);
  CImageRef copy = image->Clone();
  image->FlipHorizontal();
  image->FlipVertical();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(copy->GetPixel(x, y), image->GetPixel(2 - x, 1 - y));
  CImageRef grey = CreateDibImage(1, 1, 24);
  std::fill(grey->pixels, grey->pixels + 3, 64);
  grey->ApplyGamma(0.5f);
  EXPECT_EQ(static_cast<int>(255.0 * std::sqrt(64 / 255.0)), grey->pixels[0]);
}

TEST(BitmapImage, WrittenBmpReadsBackPixelIdenticalInSdl) {
  testing_support::TempFolder temp;
  for (int depth : {15, 16, 24, 32}) {
    CImageRef source = RandomPicture(7, 5, 40 + depth);
    CImageRef image = CreateDibImage(7, 5, depth);
    ASSERT_EQ(1, image->CopyFrom(*source.Get(), nullptr, nullptr));
    const std::string path = temp.Path() + "out" + std::to_string(depth) + ".bmp";
    ASSERT_EQ(1, image->Save(path.c_str()));
    const std::string bytes = testing_support::ReadBytes(path);
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(bytes.size(), static_cast<uint32_t>(static_cast<uint8_t>(bytes[2]) | static_cast<uint8_t>(bytes[3]) << 8 |
                                                  static_cast<uint8_t>(bytes[4]) << 16));
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    ASSERT_NE(nullptr, loaded) << SDL_GetError();
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(nullptr, rgb);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        const uint32_t word = static_cast<const uint32_t*>(rgb->pixels)[y * rgb->pitch / 4 + x];
        const int32_t ours = image->GetPixel(x, y);
        // SDL widens short channels by its own rule; compare at the stored precision.
        const int bits = depth <= 16 ? 5 : 8;
        const uint32_t m = (0xFFu << (8 - bits)) & 0xFF;
        EXPECT_EQ((word >> 16) & m, ours & m) << depth << " " << x << "," << y;
        EXPECT_EQ(word & m, (ours >> 16) & m) << depth;
      }
    SDL_FreeSurface(rgb);
    // Our own reader gives the same pixels back, through the handle that owns the file block.
    CImageRef again = LoadImageFile(path.c_str());
    ASSERT_FALSE(again.IsNull());
    EXPECT_TRUE(again->depth == depth && (again->flags & CImage::kOwnsData)) << depth;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(image->GetPixel(x, y), again->GetPixel(x, y));
  }
}

// Pictures among a module's data resources load like files but borrow the resource's bytes; a null
// name, a name the module lacks and data of no known format give empty handles. The program keeps
// no pictures among its resources.
TEST(ImageLoaders, ResourcePicturesLoadByNameAndTheProgramHasNone) {
  for (const char* name : {"missing.tga", "kicker.tga"}) {
    EXPECT_TRUE(LoadImageFromResource(name).IsNull()) << name;
    EXPECT_TRUE(LoadImageFromResource(name, 5).IsNull()) << name;
  }
  EXPECT_TRUE(LoadImageFromResource(nullptr).IsNull());

  static char moduleTag;
  HMODULE module = reinterpret_cast<HMODULE>(&moduleTag);
  const image_files::Picture picture = image_files::MakePicture(5, 3, 3, 11);
  const std::vector<uint8_t> file = image_files::TargaFile(picture, false, true);
  ASSERT_TRUE(plat::AddModuleResource(module, "Ramp.tga", RT_RCDATA, file.data(), file.size()));
  ASSERT_TRUE(plat::AddModuleResource(module, "notes", RT_RCDATA, "no picture", 10));
  CImageRef fromFile = LoadImageFromMemory(file.data(), file.size());
  CImageRef loaded = LoadImageFromResource(module, "ramp.TGA");
  ASSERT_FALSE(loaded.IsNull());
  EXPECT_EQ((std::vector<int>{5, 3, 24}), (std::vector<int>{loaded->width, loaded->height, loaded->depth}));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(loaded->GetPixel(x, y), fromFile->GetPixel(x, y)) << x << "," << y;
  EXPECT_EQ(loaded->flags & CImage::kOwnsData, 0) << "the resource's bytes stay the module's";
  // Keyed: the top-left colour becomes see-through.
  const int32_t corner = fromFile->GetPixel(0, 0);
  const uint32_t key = (corner & 0xFF) << 16 | (corner & 0xFF00) | (corner >> 16 & 0xFF);
  EXPECT_EQ(LoadImageFromResource(module, "ramp.tga", key)->GetPixel(0, 0), -1);
  EXPECT_TRUE(LoadImageFromResource(module, "notes").IsNull());
  EXPECT_TRUE(LoadImageFromResource(module, "ramp").IsNull());
  EXPECT_TRUE(LoadImageFromResource(module, nullptr).IsNull());
  EXPECT_TRUE(LoadImageFromResource("ramp.tga").IsNull()) << "another module's resource";
  loaded.Release();
  plat::ClearModuleResources(module);
}
