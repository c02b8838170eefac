// Sprites and sprite files: hostile sizes, missing and unreadable files.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/system/Platform.h"
#include "render/image/B2Image.h"
#include "tests/support/TempFolder.h"
#include "ui/sprites/Sprite.h"
#include "ui/sprites/SpriteFile.h"

namespace {

struct LogCapture {
  LogCapture() { old = plat::SetDebugSink([this](const char* t) { lines.push_back(t); }); }
  ~LogCapture() { plat::SetDebugSink(old); }
  std::vector<std::string> lines;
  plat::DebugSink old;
};

}  // namespace

TEST(Sprite, FramesAreClampedAndBoundsFollowThePosition) {
  CSprite sprite("mousecursor", 12, 20, 4);
  sprite.SetFrame(9);
  EXPECT_EQ(3, sprite.GetFrame());
  sprite.SetFrame(-5);
  EXPECT_EQ(0, sprite.GetFrame());

  sprite.x = 7.9f;
  sprite.y = -3.0f;
  const RECT r = sprite.GetBounds();
  EXPECT_EQ((std::vector<LONG>{7, -3, 19, 17}), (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));

  CSprite odd("x", -4, -1, 0);  // hostile sizes become an empty one-frame sprite
  odd.SetFrame(3);
  EXPECT_EQ(0, odd.GetFrame());
  EXPECT_EQ(odd.GetBounds().left, odd.GetBounds().right);
  EXPECT_EQ(odd.GetBounds().top, odd.GetBounds().bottom);
}

// Frames lie side by side in one picture; a frame is drawn alone at the asked corner, clipped.
TEST(Sprite, DrawsOneFrameOfItsPictureAndRefusesMisfits) {
  CSprite sprite("bar", 2, 1, 3);
  EXPECT_FALSE(sprite.SetImage(CreateDibImage(5, 1, 16)));
  EXPECT_FALSE(sprite.SetImage(CreateDibImage(6, 2, 16)));
  CImageRef dib = CreateDibImage(6, 1, 16);
  ASSERT_FALSE(dib.IsNull());
  for (int x = 0; x < 6; ++x) reinterpret_cast<uint16_t*>(dib->pixels)[x] = static_cast<uint16_t>(0x100 + x);
  CImageRef picture(std::make_unique<CB2Image>());
  ASSERT_EQ(1, picture->CopyFrom(*dib.Get(), nullptr, nullptr));
  ASSERT_TRUE(sprite.SetImage(picture));
  EXPECT_FALSE(sprite.SetImage(CreateDibImage(2, 1, 16))) << "a misfit keeps the picture it had";
  EXPECT_EQ(picture.Get(), sprite.GetImage().Get());

  std::vector<uint16_t> pixels(4 * 2, 0);
  DrawSurface surface{pixels.data(), 4, 2, 8, 16};
  EXPECT_FALSE(sprite.DrawFrame(surface, 3, 0, 0));
  EXPECT_FALSE(sprite.DrawFrame(surface, -1, 0, 0));
  ASSERT_TRUE(sprite.DrawFrame(surface, 2, 1, 1));
  EXPECT_EQ((std::vector<uint16_t>{0, 0, 0, 0, 0, 0x104, 0x105, 0}), pixels);
  sprite.SetFrame(1);
  sprite.x = 3.0f;
  ASSERT_TRUE(sprite.Draw(surface));  // half of it beyond the right edge
  EXPECT_EQ((std::vector<uint16_t>{0, 0, 0, 0x102, 0, 0x104, 0x105, 0}), pixels);
}

TEST(SpriteFile, MissingOrUnreadableFilesFailCleanly) {
  LogCapture log;
  CSpriteFile file;
  EXPECT_FALSE(file.Load("data/ui/nowhere/missing.bin"));
  EXPECT_FALSE(file.IsLoaded());
  EXPECT_EQ(nullptr, file.GetSprite("Alphabet"));
  EXPECT_EQ(nullptr, file.GetSprite(nullptr));
  EXPECT_FALSE(file.Load(nullptr));
  EXPECT_FALSE(file.Load(""));
  file.Reload();  // nothing loaded: nothing to re-read
  EXPECT_FALSE(file.IsLoaded());

  // A present file this build cannot read is refused with one line, not half read.
  testing_support::TempFolder folder;
  const std::string path = folder.Write("junk.bin", "\x01\x02garbage");
  log.lines.clear();
  EXPECT_FALSE(file.Load(path.c_str()));
  EXPECT_FALSE(file.IsLoaded());
  ASSERT_EQ(1u, log.lines.size());
  EXPECT_EQ(0u, log.lines[0].rfind("CSpriteFile: ", 0));
}

