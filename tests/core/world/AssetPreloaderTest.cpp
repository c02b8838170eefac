// Start-up registration: the fixed resource numbers, the scanned folders in their order, sorting,
// hidden folders, families and paths found twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/world/AssetPreloader.h"
#include "core/data/ResourceTable.h"
#include "platform/system/Win32.h"
#include "tests/support/TempFolder.h"

namespace {

// Runs a test inside a fresh folder, since the data folders are relative to the working folder.
class AssetPreloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[4096] = {};
    ASSERT_GT(GetCurrentDirectoryA(sizeof(buffer), buffer), 0u);
    previous_ = buffer;
    ASSERT_TRUE(SetCurrentDirectoryA(temp_.Path().c_str()));
  }
  void TearDown() override { SetCurrentDirectoryA(previous_.c_str()); }
  testing_support::TempFolder temp_;
  testing_support::DebugCapture quiet_;
  std::string previous_;
};

}  // namespace

TEST_F(AssetPreloaderTest, FixedTableThenScannedFoldersInOrder) {
  for (const char* file : {"data/Textures/b.tga", "data/Textures/Bark.tga", "data/Textures/sub/a.tga",
                           "data/Textures/.cache/hidden.tga", "data/Textures/notes.txt", "data/sounds/fire.wav",
                           "data/sounds/step1.wav", "data/sounds/step2.wav", "data/objects/thing.mesh",
                           "data/objects/skin.TGA", "data/items/crate.mesh", "data/items/missile.mesh"})
    temp_.Write(file, "x");
  temp_.MakeFolder("data/Textures/folder.tga");

  CResourceTable table;
  PreloadAssets(&table);
  EXPECT_STREQ("data/structures/controltower.mesh", table.GetPath(1));
  EXPECT_STREQ("data/structures/controltower.mesh", table.GetPath(7));  // one path, two entries
  EXPECT_STREQ("data/sounds/hard_launch.wav", table.GetPath(18));
  EXPECT_STREQ("data/sounds/deactivate.wav", table.GetPath(31));
  EXPECT_FALSE(table.IsLoaded(9));  // registered only
  // Scanned files fill the free indices 5 and 6 first, then follow the fixed table; within a step
  // byte-wise order puts capitals first; fire.wav, crate.mesh and missile.mesh (entry 0) are known,
  // step2 is in step1's family.
  std::vector<std::string> scanned;
  for (int i : {5, 6, 32, 33, 34, 35}) scanned.push_back(table.GetName(i) ? table.GetName(i) : "<none>");
  EXPECT_EQ((std::vector<std::string>{"data/textures/Bark.tga", "data/textures/b.tga", "data/textures/sub/a.tga",
                                      "data/sounds/step1.wav", "data/Objects/thing.mesh", "data/Objects/skin.TGA"}),
            scanned);
  EXPECT_EQ(36, table.GetCount());
  PreloadAssets(&table);  // a second run finds everything registered
  EXPECT_EQ(36, table.GetCount());
}

TEST_F(AssetPreloaderTest, ScansWalkDepthFirstAndSortByteWise) {
  for (const char* file : {"top/z.mesh", "top/A/y.mesh", "top/A/deeper/x.mesh", "top/b/a.mesh", "top/.svn/w.mesh"})
    temp_.Write(file, "x");
  std::vector<std::string> walk;
  ScanDirectory("top", "*.MESH", walk, true);
  EXPECT_EQ((std::vector<std::string>{"top/z.mesh", "top/A/y.mesh", "top/A/deeper/x.mesh", "top/b/a.mesh"}), walk);
  std::vector<std::string> sorted;
  ScanFiles("top/", "*.mesh", sorted, true);
  EXPECT_EQ((std::vector<std::string>{"top/A/deeper/x.mesh", "top/A/y.mesh", "top/b/a.mesh", "top/z.mesh"}), sorted);

  CResourceTable empty;
  PreloadAssets(&empty);  // no data folders at all: only the fixed table
  EXPECT_EQ(32, empty.GetCount());
  EXPECT_EQ(nullptr, empty.GetPath(5));
}
