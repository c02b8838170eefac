// Sprites, sprite files and the interface manager's input bookkeeping.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "ui/Sprite.h"
#include "ui/SpriteFile.h"
#include "ui/UIManager.h"

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
  sprite.SetFrame(2);
  EXPECT_EQ(2, sprite.GetFrame());
  sprite.SetFrame(9);
  EXPECT_EQ(3, sprite.GetFrame());
  sprite.SetFrame(-5);
  EXPECT_EQ(0, sprite.GetFrame());
  sprite.x = 100.7f;
  sprite.y = -3.2f;
  const RECT r = sprite.GetBounds();
  EXPECT_EQ(100, r.left);
  EXPECT_EQ(-3, r.top);
  EXPECT_EQ(112, r.right);
  EXPECT_EQ(17, r.bottom);

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
  EXPECT_EQ("data/ui/nowhere/missing.bin", file.GetFileName());
  ASSERT_EQ(2u, log.lines.size());
  EXPECT_EQ("Error Loading File: 'data/ui/nowhere/missing.bin' - Check Path and File Exists!\n", log.lines[0]);
  EXPECT_EQ(0u, log.lines[1].rfind("Current Working Directory: ", 0));
  EXPECT_EQ('\n', log.lines[1].back());

  EXPECT_FALSE(file.Load(nullptr));
  EXPECT_FALSE(file.Load(""));
  file.Reload();  // nothing loaded: nothing to re-read
  EXPECT_FALSE(file.IsLoaded());

  // A present file this build cannot read is refused with one line, not half read.
  const auto dir = std::filesystem::temp_directory_path() / ("spritefile_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "junk.bin").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("\x01\x02garbage", f);
  std::fclose(f);
  log.lines.clear();
  EXPECT_FALSE(file.Load(path.c_str()));
  EXPECT_FALSE(file.IsLoaded());
  ASSERT_EQ(1u, log.lines.size());
  EXPECT_EQ(0u, log.lines[0].rfind("CSpriteFile: ", 0));
  std::filesystem::remove_all(dir);
}

TEST(UIManager, KeepsTheLatestMouseAndKeyInput) {
  CUIManager manager;
  manager.MouseInput(5, 6, 1);
  manager.KeyInput(0x1B, 27);
  manager.Tick(33.0f);
  DrawSurface surface;
  manager.Draw(surface);
  EXPECT_EQ(5, manager.GetMouseX());
  EXPECT_EQ(6, manager.GetMouseY());
  EXPECT_EQ(1, manager.GetButtonState());
  EXPECT_EQ(0x1B, manager.GetLastKey());
  CUIManager* base = new CUIManager();
  delete base;  // deleting through the base pointer is how layers own it
}
