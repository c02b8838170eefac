// The node dump: the text of both files for small known trees, and the layer's file handling
// (including a second file that cannot be opened).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/world/NodeDumpMode.h"
#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/spatial/VisibilityFile.h"
#include "tests/core/spatial/OctreeTestItems.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"

namespace {

using namespace octree_test;
using testing_support::DebugCapture;

const char kRule[] = "======================\n";
const char kDash[] = "----------------------\n";

std::string Header(int depth, int cells) {
  return std::string(kRule) + "Layer " + std::to_string(depth) + " has " + std::to_string(cells) + " Nodes\n" +
         kRule + "\n";
}

TEST(OctreeDump, KnownTrees) {
  COctree tree(kRoot);
  std::string nodes, layers;
  CNodeDumpMode::BuildDump(tree.GetRoot(), &nodes, &layers);
  EXPECT_EQ(nodes, Header(0, 1) + kDash + "Node Number 0 has 0 objects\n" + kDash +
                       "This node is set as not able to see the sky.\n"
                       "This node can see the following nodes by number...\n\n\n");
  EXPECT_EQ(layers, Header(0, 1));

  // Three renderables in cell 9, a record with the sky bit listing cells 1 and 2 on cell 1.
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < 3; ++i) {
    items.push_back(std::make_unique<Item>(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(2, 2, 2))));
    tree.InsertObjectAtDepth(items.back().get(), 2);
  }
  const std::vector<uint8_t> file = WriteVisibilityFile({{1, 4, {1, 2}}});
  ASSERT_TRUE(tree.LoadVisibility(file.data(), file.size()));
  // Objects of several kinds at the root: named bits are counted, others only in the total.
  Box everywhere(Vector3(0, 0, 0), Vector3(100, 100, 100));
  items.push_back(std::make_unique<Item>(CBoundedObject::kRenderable | CBoundedObject::kLight, everywhere));
  items.push_back(std::make_unique<Item>(CBoundedObject::kCastsProjectedShadow, everywhere));
  items.push_back(std::make_unique<Item>(CBoundedObject::kWalkable | CBoundedObject::kStaticTerrain | CBoundedObject::kPath, everywhere));
  for (size_t i = 3; i < items.size(); ++i) tree.InsertObjectAtDepth(items[i].get(), 0);
  nodes.clear();
  layers.clear();
  CNodeDumpMode::BuildDump(tree.GetRoot(), &nodes, &layers);

  EXPECT_NE(nodes.find(std::string(kDash) + "Node Number 9 has 3 objects\n" + kDash +
                       "Object flags break down as follows...\n3 Renderable\n\n\n"),
            std::string::npos);
  EXPECT_NE(nodes.find(std::string(kDash) + "Node Number 1 has 0 objects\n" + kDash +
                       "This node can see the following nodes by number...\n1 2 \n\n"),
            std::string::npos);
  EXPECT_NE(nodes.find("Node Number 0 has 3 objects\n" + std::string(kDash) +
                       "Object flags break down as follows...\n1 Renderable\n1 Light\n1 Path\n1 Static Terrain\n"
                       "1 Walkable\n\n"),
            std::string::npos);
  EXPECT_EQ(layers, Header(0, 1) +
                        "This layer has 3 total objects\nObject flags break down as follows...\n"
                        "1 Renderable\n1 Light\n1 Path\n1 Static Terrain\n1 Tactics View Render\n\n" +
                        Header(1, 2) + Header(2, 1) +
                        "This layer has 3 total objects\nObject flags break down as follows...\n3 Renderable\n\n");
}

// Open descriptors of this process, as the kernel lists them.
size_t OpenFileCount() {
  size_t n = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error); !error && it != std::filesystem::directory_iterator(); it.increment(error)) ++n;
  return n;
}

TEST(OctreeDump, LayerWritesOnceAndClosesItsFiles) {
  DebugCapture quiet;
  testing_support::WorkingFolder here;
  ASSERT_TRUE(here.Entered());
  {
    CGameWorld world(nullptr, nullptr);
    world.GetOctree().Reset(kRoot);
    Item item(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(2, 2, 2)));
    world.GetOctree().InsertObject(&item);
    {
      CNodeDumpMode dump;
      EXPECT_TRUE(IsNodeDumpActive());
      dump.Update(0.0f);
      std::string nodes, layers;
      CNodeDumpMode::BuildDump(world.GetOctree().GetRoot(), &nodes, &layers);
      world.GetOctree().RemoveObject(&item);
      dump.Update(0.0f);  // the dump is taken once: the emptied tree is not written over it
      EXPECT_EQ(here.Read("NodeDump.txt"), nodes);
      EXPECT_EQ(here.Read("OTLList.txt"), layers);
    }
    EXPECT_FALSE(IsNodeDumpActive());
  }
  // The second file cannot be opened: the first one is closed again and stays empty.
  std::filesystem::remove("OTLList.txt");
  std::filesystem::create_directory("OTLList.txt");
  const size_t openBefore = OpenFileCount();
  CNodeDumpMode dump;
  dump.Update(0.0f);
  EXPECT_EQ(OpenFileCount(), openBefore);
  EXPECT_EQ(std::filesystem::file_size("NodeDump.txt"), 0u);
}

}  // namespace
