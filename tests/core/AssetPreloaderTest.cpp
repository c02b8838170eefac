// Start-up registration: the fixed resource numbers, the scanned folders in their order, sorting,
// hidden folders, families and paths found twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AssetPreloader.h"
#include "core/math/ResourceTable.h"
#include "platform/Win32.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;
using testing_support::TempFolder;

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
  TempFolder temp_;
  std::string previous_;
};

std::vector<std::string> Paths(const CResourceTable& table, int from) {
  std::vector<std::string> paths;
  for (int i = from; i < table.GetCount(); ++i) paths.push_back(table.GetPath(i) ? table.GetName(i) : "<hole>");
  return paths;
}

}  // namespace

TEST_F(AssetPreloaderTest, FixedTableThenScannedFoldersInOrder) {
  temp_.Write("data/Textures/b.tga", "x");
  temp_.Write("data/Textures/Bark.tga", "x");
  temp_.Write("data/Textures/sub/a.tga", "x");
  temp_.Write("data/Textures/.cache/hidden.tga", "x");
  temp_.Write("data/Textures/notes.txt", "x");
  temp_.MakeFolder("data/Textures/folder.tga");
  temp_.Write("data/sounds/fire.wav", "x");  // already in the fixed table
  temp_.Write("data/sounds/step1.wav", "x");
  temp_.Write("data/sounds/step2.wav", "x");  // the family step*.wav is registered once
  temp_.Write("data/objects/thing.mesh", "x");
  temp_.Write("data/objects/skin.TGA", "x");
  temp_.Write("data/items/crate.mesh", "x");  // already in the fixed table

  DebugCapture quiet;
  CResourceTable table;
  PreloadAssets(&table);
  EXPECT_STREQ("data/items/missile.mesh", table.GetPath(0));
  EXPECT_STREQ("data/structures/laserturret.mesh", table.GetPath(4));
  EXPECT_STREQ("data/structures/controltower.mesh", table.GetPath(1));
  EXPECT_STREQ("data/structures/controltower.mesh", table.GetPath(7));  // one path, two entries
  EXPECT_STREQ("data/sounds/hard_launch.wav", table.GetPath(17));
  EXPECT_STREQ("data/sounds/hard_launch.wav", table.GetPath(18));
  EXPECT_STREQ("data/sounds/deactivate.wav", table.GetPath(31));
  EXPECT_EQ(kResourceSound, table.GetType(31));
  EXPECT_FALSE(table.IsLoaded(9));  // registered only

  // Scanned files fill the free indices 5 and 6 first, then follow the fixed table; within a step
  // byte-wise order puts capitals first.
  EXPECT_STREQ("data/textures/Bark.tga", table.GetName(5));
  EXPECT_STREQ("data/textures/b.tga", table.GetName(6));
  EXPECT_EQ((std::vector<std::string>{"data/textures/sub/a.tga", "data/sounds/step1.wav", "data/Objects/thing.mesh",
                                      "data/Objects/skin.TGA"}),
            Paths(table, 32));
  EXPECT_STREQ("data/sounds/step*.wav", table.GetPath(33));

  // A second run finds everything registered and adds nothing.
  const int count = table.GetCount();
  PreloadAssets(&table);
  EXPECT_EQ(count, table.GetCount());
}

TEST_F(AssetPreloaderTest, ScansWalkDepthFirstAndSortByteWise) {
  temp_.Write("top/z.mesh", "x");
  temp_.Write("top/A/y.mesh", "x");
  temp_.Write("top/A/deeper/x.mesh", "x");
  temp_.Write("top/b/a.mesh", "x");
  temp_.Write("top/.svn/w.mesh", "x");

  std::vector<std::string> walk;
  ScanDirectory("top", "*.MESH", walk, true);
  EXPECT_EQ((std::vector<std::string>{"top/z.mesh", "top/A/y.mesh", "top/A/deeper/x.mesh", "top/b/a.mesh"}), walk);
  std::vector<std::string> flat;
  ScanDirectory("top/", "*.mesh", flat, false);
  EXPECT_EQ((std::vector<std::string>{"top/z.mesh"}), flat);

  std::vector<std::string> sorted;
  ScanFiles("top", "*.mesh", sorted, true);
  EXPECT_EQ((std::vector<std::string>{"top/A/deeper/x.mesh", "top/A/y.mesh", "top/b/a.mesh", "top/z.mesh"}), sorted);

  std::vector<std::string> none;
  ScanFiles("missing", "*.mesh", none, true);
  EXPECT_TRUE(none.empty());
  CResourceTable empty;
  PreloadAssets(&empty);  // no data folders at all: only the fixed table
  EXPECT_EQ(32, empty.GetCount());
  EXPECT_EQ(nullptr, empty.GetPath(5));
  PreloadAssets(nullptr);
}
