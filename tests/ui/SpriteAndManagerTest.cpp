// Sprites and sprite files: hostile sizes, missing and unreadable files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/support/TempFolder.h"
#include "ui/Sprite.h"
#include "ui/SpriteFile.h"

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

  CSprite odd("x", -4, -1, 0);  // hostile sizes become an empty one-frame sprite
  odd.SetFrame(3);
  EXPECT_EQ(0, odd.GetFrame());
  EXPECT_EQ(odd.GetBounds().left, odd.GetBounds().right);
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

