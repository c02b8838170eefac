// Skeleton blocks and visibility records: round trips, hostile blocks and files rejected without a
// change, cell codes, and the visibility walks against the plain queries they stand in for.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/math/ConvexHullFaces.h"
#include "core/math/CullVolume.h"
#include "core/spatial/Octree.h"
#include "core/spatial/VisibilityFile.h"
#include "tests/core/spatial/OctreeTestItems.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace octree_test;
using testing_support::DebugCapture;

const uint8_t kIdentity[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

struct Scene {
  std::mt19937 random;
  std::vector<std::unique_ptr<Item>> items;
  explicit Scene(unsigned seed, int count, COctree& tree) : random(seed) {
    std::uniform_real_distribution<float> at(-5.0f, 100.0f), size(0.0f, 6.0f);
    for (int i = 0; i < count; ++i) {
      const Vector3 lo(at(random), at(random), at(random));
      const float s = i % 10 == 0 ? 30.0f : size(random);
      items.push_back(std::make_unique<Item>(i % 3 ? CBoundedObject::kRenderable : 0u,
                                             Box(lo, lo + Vector3(s, s * 0.5f, s))));
      tree.InsertObject(items.back().get());
    }
  }
  Set All(uint32_t mask) const {
    Set s;
    for (const auto& item : items)
      if (item->IsFiled() && item->HasAllFlags(mask)) s.insert(item.get());
    return s;
  }
};

// Each cell in pre-order: code, flag bits under the mask, child bits and two box corners.
std::string Shape(const COctreeNode* cell, uint32_t flagMask) {
  std::string out = std::to_string(cell->GetCellCode()) + ":" + std::to_string(cell->flags & flagMask) + ":" +
                    std::to_string(cell->bounds.min.x) + ":" + std::to_string(cell->bounds.max.z) + ";";
  for (const COctreeNode* child : cell->children) out += child != nullptr ? Shape(child, flagMask) : "-";
  return out;
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

TEST(OctreeSkeleton, SaveAndLoadReproduceTheCells) {
  DebugCapture quiet;
  Item deep(CBoundedObject::kRenderable, Box(Vector3(30.3f, 30.3f, 30.3f), Vector3(30.31f, 30.31f, 30.31f)));
  COctree source(kRoot);
  Scene a(3, 400, source);
  source.Coarsen(12);
  source.InsertObjectAtDepth(&deep, COctree::kDepthLimit);  // leaves as deep as cell codes reach
  const std::vector<uint8_t> block = source.SaveSkeleton(kIdentity);
  ASSERT_EQ(block.size(), COctree::kSkeletonHeaderSize + 8 * size_t(source.CountNodes(0)));

  COctree target(Box(Vector3(-1, -1, -1), Vector3(1, 1, 1)));
  Scene b(4, 300, target);
  ASSERT_TRUE(target.LoadSkeleton(block.data(), block.size(), kIdentity));
  EXPECT_TRUE(target.HasSkeleton());
  EXPECT_EQ(Shape(target.GetRoot(), 0xFF), Shape(source.GetRoot(), 0xFF));
  EXPECT_EQ(target.CountNodes(COctreeNode::kSkeleton), source.CountNodes(0));
  EXPECT_EQ(target.SaveSkeleton(kIdentity), block);

  // Every object of the target was filed again, into fixed cells.
  target.CollectAll(0);
  EXPECT_EQ(Results(target), b.All(0));
  const uint32_t cells = target.CountNodes(0);
  Item extra(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(1.1f, 1.1f, 1.1f)));
  target.InsertObject(&extra);
  target.QueryBox(Box(Vector3(0, 0, 0), Vector3(2, 2, 2)), 0);
  EXPECT_EQ(Results(target).count(&extra), 1u);
  // Objects filed to a depth stay in the skeleton's cells too, and are found where they lie.
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> at(0.0f, 90.0f), size(0.01f, 10.0f);
  std::vector<std::unique_ptr<Item>> filed;
  for (int i = 0; i < 300; ++i) {
    const Vector3 low(at(rng), at(rng), at(rng));
    filed.push_back(std::make_unique<Item>(CBoundedObject::kRenderable, Box(low, low + Vector3(1, 1, 1) * size(rng))));
    target.InsertObjectToDepth(filed.back().get(), 6);
    target.QueryBox(filed.back()->GetBounds(), 0);
    ASSERT_EQ(Results(target).count(filed.back().get()), 1u) << i;
  }
  EXPECT_EQ(target.CountNodes(0), cells);  // filing never grew a cell: insertion only adds them
  for (auto& item : filed) target.RemoveObject(item.get());
  for (auto& item : b.items) target.RemoveObject(item.get());
  target.RemoveObject(&extra);
  target.Coarsen(1);
  EXPECT_EQ(target.CountNodes(0), cells);  // neither removal nor coarsening takes a skeleton cell

  DebugCapture log;
  target.Reset(kRoot);
  EXPECT_NE(log.Text().find("Warning! Deleting Octree Skeleton - Is This Intent?\n"), std::string::npos);
  EXPECT_FALSE(target.HasSkeleton());
}

TEST(OctreeSkeleton, DamagedBlocksLeaveTheTreeAsItWas) {
  DebugCapture quiet;
  COctree source(kRoot);
  Scene a(5, 300, source);
  const std::vector<uint8_t> block = source.SaveSkeleton(kIdentity);

  COctree tree(kRoot);
  Scene b(6, 100, tree);
  const std::string before = Shape(tree.GetRoot(), 0xFFFFFFFF);
  auto unchanged = [&](const char* what) {
    EXPECT_FALSE(tree.HasSkeleton()) << what;
    EXPECT_EQ(Shape(tree.GetRoot(), 0xFFFFFFFF), before) << what;
    tree.CollectAll(0);
    EXPECT_EQ(Results(tree), b.All(0)) << what;
  };
  for (size_t n = 0; n < block.size(); n += (n < 80 ? 1 : 37)) {
    ASSERT_FALSE(testing_support::WithinLinearCost(n, [&] { return tree.LoadSkeleton(block.data(), n, kIdentity); }));
  }
  unchanged("truncated");
  std::vector<uint8_t> longer = block;
  longer.push_back(0);
  EXPECT_FALSE(tree.LoadSkeleton(longer.data(), longer.size(), kIdentity));
  uint8_t otherIdentity[16] = {};
  EXPECT_FALSE(tree.LoadSkeleton(block.data(), block.size(), otherIdentity));
  EXPECT_FALSE(tree.LoadSkeleton(nullptr, block.size(), kIdentity));

  const size_t offsets[] = {0, 44, 48, block.size() - 4, COctree::kSkeletonHeaderSize};  // version, count,
  const uint32_t values[] = {2, 0xFFFFFFFF, 200, 1, 0x8003};  // depth, a child past the end, root depth
  for (int i = 0; i < 5; ++i) {
    std::vector<uint8_t> bad = block;
    PutU32(bad, offsets[i], values[i]);
    EXPECT_FALSE(tree.LoadSkeleton(bad.data(), bad.size(), kIdentity)) << offsets[i];
  }
  unchanged("damaged");

  // Random byte damage: a block either loads as a consistent tree or changes nothing.
  std::mt19937 random(9);
  int loaded = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    COctree scratch(kRoot);
    Item item(CBoundedObject::kRenderable, Box(Vector3(10, 10, 10), Vector3(11, 11, 11)));
    scratch.InsertObject(&item);
    std::vector<uint8_t> bad = block;
    for (int k = 0; k < 2; ++k) bad[COctree::kSkeletonHeaderSize + random() % (bad.size() - 52)] ^= 1u << (random() % 8);
    if (testing_support::WithinLinearCost(bad.size(), [&] { return scratch.LoadSkeleton(bad.data(), bad.size(), kIdentity); })) {
      ++loaded;
      EXPECT_EQ(scratch.CountNodes(0), (bad.size() - 52) / 8);
    } else {
      EXPECT_EQ(scratch.CountNodes(0), 4u);
    }
    scratch.QueryBox(Box(Vector3(9, 9, 9), Vector3(12, 12, 12)), 0);
    ASSERT_EQ(scratch.GetResults().size(), 1u);
  }
  EXPECT_GT(loaded, 0);  // flips of unused flag bits still give a sound block
}

TEST(OctreeVisibility, CellCodes) {
  COctree tree(kRoot);
  EXPECT_EQ(tree.FindCellByCode(1, false), nullptr);
  for (uint32_t code = 1; code <= 8; ++code) EXPECT_EQ(tree.FindCellByCode(code, true), tree.GetRoot()->children[code - 1]);
  EXPECT_EQ(tree.FindCellByCode(9, true), tree.GetRoot()->children[0]->children[0]);
  EXPECT_EQ(tree.FindCellByCode(585, true)->GetCellCode(), 585u);
  // Deeper than a filing can reach: refused, not created.
  const uint32_t cells = tree.CountNodes(0);
  uint32_t deep = 0;
  for (uint32_t d = 0; d < tree.GetMaxDepth() + 2; ++d) deep = deep * 8 + 1;
  EXPECT_EQ(tree.FindCellByCode(deep, true), nullptr);
  EXPECT_EQ(tree.CountNodes(0), cells);
}

TEST(OctreeVisibility, FilesAreCheckedAndListedCellsStay) {
  DebugCapture quiet;
  COctree tree(kRoot);
  const std::vector<uint8_t> file =
      WriteVisibilityFile({{1, 4, {9, 10, 2}}, {73, 0, {}}, {2, 0, {1, 585}}});
  // Every truncation, and every hostile count, is refused without a change.
  for (size_t n = 0; n < file.size(); ++n) ASSERT_FALSE(testing_support::WithinLinearCost(n, [&] { return tree.LoadVisibility(file.data(), n); }));
  std::vector<uint8_t> bad = file;
  PutU32(bad, 12, 0x40000000);  // first record's count far beyond the data
  EXPECT_FALSE(testing_support::WithinLinearCost(bad.size(), [&] { return tree.LoadVisibility(bad.data(), bad.size()); }));
  bad = file;
  PutU32(bad, 0, 0xFFFFFFFF);
  EXPECT_FALSE(tree.LoadVisibility(bad.data(), bad.size()));
  const std::vector<uint8_t> tooDeep = WriteVisibilityFile({{1, 0, {0x7FFFFFFF}}});
  EXPECT_FALSE(tree.LoadVisibility(tooDeep.data(), tooDeep.size()));
  EXPECT_EQ(tree.CountNodes(0), 1u);
  ASSERT_NE(tree.GetRoot()->visibility, nullptr);
  EXPECT_EQ(tree.GetRoot()->visibility->flags, 1u);

  ASSERT_TRUE(tree.LoadVisibility(file.data(), file.size()));
  COctreeNode* one = tree.FindCellByCode(1, false);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(one->visibility, nullptr);
  EXPECT_EQ(one->visibility->flags, 4u);
  ASSERT_EQ(one->visibility->cells.size(), 3u);
  EXPECT_EQ(one->visibility->cells[1]->GetCellCode(), 10u);
  EXPECT_EQ(tree.FindCellByCode(585, false)->GetDepth(), 4u);
  // Refused files, truncated or corrupt in their last record, leave the loaded records in place.
  bad = file;
  PutU32(bad, bad.size() - 4, 0x7FFFFFFF);
  for (size_t n : {size_t{4}, file.size() - 1, bad.size()}) {
    EXPECT_FALSE(tree.LoadVisibility(n == bad.size() ? bad.data() : file.data(), n)) << n;
    ASSERT_NE(one->visibility, nullptr) << n;
    EXPECT_EQ(one->visibility->cells.size(), 3u) << n;
    ASSERT_NE(tree.FindCellByCode(2, false)->visibility, nullptr) << n;
  }
  // An accepted file replaces them: records it does not name are gone.
  const std::vector<uint8_t> other = WriteVisibilityFile({{2, 8, {3}}});
  ASSERT_TRUE(tree.LoadVisibility(other.data(), other.size()));
  EXPECT_EQ(one->visibility, nullptr);
  ASSERT_NE(tree.FindCellByCode(2, false)->visibility, nullptr);
  EXPECT_EQ(tree.FindCellByCode(2, false)->visibility->flags, 8u);
  ASSERT_TRUE(tree.LoadVisibility(file.data(), file.size()));

  // A cell another record lists outlives the objects filed in it: the record's pointer stays valid.
  COctreeNode* listed = tree.FindCellByCode(585, false);
  const Box inside(listed->bounds.min + Vector3(0.1f, 0.1f, 0.1f), listed->bounds.min + Vector3(0.2f, 0.2f, 0.2f));
  Item item(CBoundedObject::kRenderable, inside);
  tree.InsertObjectAtDepth(&item, 4);
  ASSERT_EQ(item.GetCellRefs()[0].cell, listed);
  tree.RemoveObject(&item);
  tree.Coarsen(12);
  EXPECT_EQ(tree.FindCellByCode(585, false), listed);
  tree.CollectVisible(Vector3(1, 1, 1), 0);  // walks the records' pointers
  const uint32_t withRecords = tree.CountNodes(0);
  EXPECT_EQ(tree.CountNodes(COctreeNode::kHasVisibility), 3u);  // the cells of the file's three records
  tree.ClearVisibility();
  EXPECT_EQ(tree.CountNodes(COctreeNode::kHasVisibility), 0u);
  tree.Coarsen(12);
  EXPECT_LT(tree.CountNodes(0), withRecords);
}

std::unique_ptr<CullVolume> Volume(const Vector3& c, float r, std::vector<Vector3>& points) {
  points = {c + Vector3(-r, -r, -r), c + Vector3(r, -r, -r), c + Vector3(0, r, -r), c + Vector3(0, 0, r),
            c + Vector3(-r, r * 0.5f, r * 0.5f)};
  std::vector<ConvexHullTriangle> faces;
  EXPECT_TRUE(BuildConvexHullFaces(points.data(), 5, faces));
  return std::make_unique<CullVolume>(points.data(), 5, faces.data(), static_cast<uint32_t>(faces.size()));
}

TEST(OctreeVisibility, VisibleQueriesAgainstPlainQueries) {
  DebugCapture quiet;
  COctree tree(kRoot);
  Scene scene(8, 1500, tree);
  std::vector<Vector3> points;
  const std::unique_ptr<CullVolume> volume = Volume(Vector3(40, 50, 45), 30.0f, points);
  const Vector3 eye(20, 20, 20);
  const uint32_t mask = CBoundedObject::kRenderable;

  // The root listing itself: the visible query is the plain volume query.
  std::vector<uint8_t> file = WriteVisibilityFile({{0, 1, {0}}});
  ASSERT_TRUE(tree.LoadVisibility(file.data(), file.size()));
  tree.QueryVolume(volume.get(), nullptr, mask, COctree::kSceneQueryDepth);
  const Set plain = Results(tree);
  tree.QueryVisible(eye, volume.get(), nullptr, mask, COctree::kSceneQueryDepth);
  EXPECT_EQ(Results(tree), plain);
  tree.QueryVolume(volume.get(), nullptr, mask, COctree::kOutsideRootQueryDepth);
  const Set shallow = Results(tree);
  // Eye outside the root: whatever budget is asked for.
  tree.QueryVisible(Vector3(-50, 0, 0), volume.get(), nullptr, mask, COctree::kSceneQueryDepth);
  EXPECT_EQ(Results(tree), shallow);
  tree.CollectVisible(eye, 0);
  EXPECT_EQ(Results(tree), scene.All(0));

  // No records at all: only the root's own objects that meet the volume.
  tree.ClearVisibility();
  const std::vector<uint8_t> empty = WriteVisibilityFile({});
  ASSERT_TRUE(tree.LoadVisibility(empty.data(), empty.size()));
  Set rootOwn;
  for (CBoundedObject* o : tree.GetRoot()->objects)
    if (o->HasAllFlags(mask) && volume->ClassifyBox(o->GetBounds()) >= 0) rootOwn.insert(o);
  tree.QueryVisible(eye, volume.get(), nullptr, mask, COctree::kSceneQueryDepth);
  EXPECT_EQ(Results(tree), rootOwn);

  // A record listing a deep cell before its ancestor still yields the ancestor's whole subtree.
  file = WriteVisibilityFile({{0, 0, {9, 1}}});
  ASSERT_TRUE(tree.LoadVisibility(file.data(), file.size()));
  const COctreeNode* one = tree.FindCellByCode(1, false);
  Set expected;
  for (const auto& item : scene.items)
    for (const CBoundedObject::CellRef& ref : item->GetCellRefs()) {
      bool under = ref.cell == one || ref.cell == tree.GetRoot();
      for (const COctreeNode* c = ref.cell; c != nullptr && !under; c = c->parent) under = c == one;
      if (under) expected.insert(item.get());
    }
  tree.CollectVisible(eye, 0);
  EXPECT_EQ(Results(tree), expected);
}

}  // namespace
