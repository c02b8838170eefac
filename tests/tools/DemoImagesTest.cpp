// The demo pictures read back through the engine's readers, and the Targa/BMP to texture converter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "render/image/B2Image.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"
#include "render/image/Texture.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentImages.h"

using testing_support::TempFolder;

TEST(DemoImages, EveryPictureLoadsThroughItsReader) {
  TempFolder folder;
  ASSERT_TRUE(DemoContent::WriteImages(folder.Path()));
  for (const std::string& file : DemoContent::ImageFiles()) {
    const std::string path = folder.Path() + file;
    if (file.size() > 8 && file.compare(file.size() - 8, 8, ".texture") == 0) {
      CTexture texture;
      std::string bytes = testing_support::ReadBytes(path);
      ASSERT_TRUE(texture.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false, true)) << file;
      EXPECT_GT(texture.mipCount, 1u) << file;
      continue;
    }
    CImageRef image = LoadImageFile(path.c_str());
    ASSERT_FALSE(image.IsNull()) << file;
  }
  // The non-square texture, the see-through ones and the JPEG one.
  CTexture ramp, spinner, ground;
  ASSERT_TRUE(ramp.Load((folder.Path() + "textures/ramp.texture").c_str(), true));
  EXPECT_EQ(2 * ramp.height, ramp.width);
  ASSERT_TRUE(spinner.Load((folder.Path() + "textures/spinner.texture").c_str(), true));
  EXPECT_EQ(CTexture::kHasTransparent | CTexture::kHasPartial,
            spinner.flags & (CTexture::kHasTransparent | CTexture::kHasPartial));
  const std::string groundBytes = testing_support::ReadBytes(folder.Path() + "textures/ground.texture");
  EXPECT_EQ(CTexture::kCompressionJpeg, static_cast<uint8_t>(groundBytes[2]) | static_cast<uint8_t>(groundBytes[3]) << 8);
  // The box texture is a checker board of 8-texel squares, light in the corner.
  CTexture box;
  ASSERT_TRUE(box.Load((folder.Path() + "textures/box.texture").c_str(), true));
  ASSERT_EQ(64u, box.width);
  const Color light = Color::FromRGBA(200, 160, 90, 255), dark = Color::FromRGBA(120, 80, 40, 255);
  const struct {
    int x, y;
    Color want;
  } texels[] = {{0, 0, light},  {7, 7, light},   {8, 0, dark},   {0, 8, dark},   {7, 8, dark},
                {8, 8, light},  {16, 0, light},  {24, 0, dark},  {8, 16, dark},  {63, 63, light}};
  for (const auto& t : texels) {
    Color c;
    box.SampleColour(c, (t.x + 0.5f) / 64, (t.y + 0.5f) / 64);
    EXPECT_EQ(t.want, c) << t.x << "," << t.y;
  }
  // Icons are Targa files with alpha; the bubbles load as textures as the park does.
  CTexture bubble;
  ASSERT_TRUE(bubble.LoadTarga((folder.Path() + "textures/thoughtbubbles/hungry.tga").c_str(), 0));
  EXPECT_TRUE(bubble.flags & CTexture::kHasTransparent);
  CImageRef badge = LoadImageFile((folder.Path() + "ui/images/badge.bw").c_str());
  ASSERT_FALSE(badge.IsNull());
  EXPECT_TRUE(static_cast<CBWImage*>(badge.Get())->IsRowCoded());
  EXPECT_EQ(-1, badge->GetPixel(0, 0));
  EXPECT_EQ(CBWImage::kPixelSolid, badge->GetPixel(18, 18));
  CImageRef panel = LoadImageFile((folder.Path() + "ui/images/panel.bw").c_str());
  ASSERT_FALSE(panel.IsNull());
  EXPECT_EQ(1, static_cast<uint8_t>(testing_support::ReadBytes(folder.Path() + "ui/images/panel.bw")[14]));
  CImageRef marker = LoadImageFile((folder.Path() + "ui/images/marker.b2").c_str());
  ASSERT_FALSE(marker.IsNull());
  EXPECT_EQ(CB2Image::kPixelSolid, marker->GetPixel(12, 12));
  // The disc's soft edge reaches the first and last rows at the middle (alpha 62 of 255 there).
  EXPECT_EQ(CB2Image::kPixelBlended, marker->GetPixel(12, 0));
  EXPECT_EQ(CB2Image::kPixelBlended, marker->GetPixel(12, 23));
  EXPECT_EQ(-1, marker->GetPixel(0, 0));
}

TEST(DemoImages, ConverterMakesTexturesFromTargaAndBmp) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string program = (self.parent_path().parent_path() / "texconvert").string();
  if (!std::filesystem::exists(program)) GTEST_SKIP() << "converter not built";
  TempFolder folder;
  ASSERT_TRUE(DemoContent::WriteImages(folder.Path()));
  const std::string tga = folder.Path() + "meshes/box.tga";
  CImageRef picture = LoadImageFile(tga.c_str());
  ASSERT_FALSE(picture.IsNull());
  ASSERT_EQ(1, picture->Save((folder.Path() + "box.bmp").c_str()));
  for (const std::string& input : {tga, folder.Path() + "box.bmp"})
    for (const char* mode : {"", " --jpeg"}) {
      const std::string out = folder.Path() + "out.texture";
      ASSERT_EQ(0, std::system((program + " " + input + " " + out + mode).c_str())) << input << mode;
      CTexture texture;
      const std::string bytes = testing_support::ReadBytes(out);
      ASSERT_TRUE(texture.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false, true));
      EXPECT_EQ(64u, texture.width);  // 48 x 32 rounded up to powers of two
      EXPECT_EQ(32u, texture.height);
      Color c;
      texture.SampleColour(c, 0.0f, 0.0f);
      const int32_t want = picture->GetPixel(0, 0);
      EXPECT_NEAR(want & 0xFF, c.r, mode[0] ? 12 : 0);
      EXPECT_NEAR(want >> 16 & 0xFF, c.b, mode[0] ? 12 : 0);
    }
  EXPECT_NE(0, std::system((program + " " + folder.Path() + "nothing.tga " + folder.Path() + "x.texture 2>/dev/null").c_str()));
}
