// The order in which the octree keeps and reports objects: every cell list against a model that puts
// each filed object at the front of a std::list, over a long random run of filing, removal, moves,
// deletion, coarsening and resets; query orders against a walk over the model; first hits.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "tests/core/spatial/OctreeTestItems.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace octree_test;
using List = std::vector<CBoundedObject*>;

bool Below(const COctreeNode* cell, const COctreeNode* ancestor) {
  for (const COctreeNode* c = cell->parent; c != nullptr; c = c->parent)
    if (c == ancestor) return true;
  return false;
}

// Per cell, the objects newest first; per object, the cells it was filed in. Which cells an object
// is filed in is the tree's choice (checked elsewhere); the model keeps the order on its own.
struct Model {
  std::map<const COctreeNode*, std::list<CBoundedObject*>> cells;
  std::map<CBoundedObject*, std::vector<const COctreeNode*>> refs;

  void Filed(CBoundedObject* o) {
    for (const CBoundedObject::CellRef& ref : o->GetCellRefs()) {
      cells[ref.cell].push_front(o);
      refs[o].push_back(ref.cell);
    }
  }
  void Removed(CBoundedObject* o) {
    for (const COctreeNode* cell : refs[o]) cells[cell].remove(o);
    refs.erase(o);
  }
  // The tree's coarsening, on the cells as they are before it runs.
  void Coarsen(const COctreeNode* cell, uint32_t limit) {
    for (const COctreeNode* child : cell->children)
      if (child != nullptr) Coarsen(child, limit);
    const COctreeNode* parent = cell->parent;
    if (cells[cell].size() >= limit || cell->GetDepth() < 4 || parent == nullptr) return;
    const std::list<CBoundedObject*> moving = cells[cell];
    for (CBoundedObject* o : moving) {
      std::vector<const COctreeNode*>& at = refs[o];
      for (const COctreeNode* c : at)
        if (Below(c, parent)) cells[c].remove(o);
      at.erase(std::remove_if(at.begin(), at.end(), [&](const COctreeNode* c) { return Below(c, parent); }), at.end());
      if (std::find(at.begin(), at.end(), parent) != at.end()) continue;
      cells[parent].push_front(o);
      at.push_back(parent);
    }
  }
  // Both walks visit cells the way the tree does: a cell, then its children in index order.
  void Collect(const COctreeNode* cell, uint32_t mask, std::set<CBoundedObject*>& met, List& out) {
    for (CBoundedObject* o : cells[cell])
      if (o->HasAllFlags(mask) && met.insert(o).second) out.push_back(o);
    for (const COctreeNode* child : cell->children)
      if (child != nullptr) Collect(child, mask, met, out);
  }
  void InBox(const COctreeNode* cell, const Box& box, uint32_t mask, std::set<CBoundedObject*>& met, List& out) {
    for (CBoundedObject* o : cells[cell])
      if (o->HasAllFlags(mask) && met.insert(o).second && Touch(o->GetBounds(), box)) out.push_back(o);
    const uint8_t m = cell->ChildMask(box);
    for (uint32_t i = 0; i < 8; ++i)
      if ((m & (1u << i)) != 0 && cell->children[i] != nullptr) InBox(cell->children[i], box, mask, met, out);
  }
};

// Every cell lists exactly the model's objects in the model's order; returns the listings seen.
size_t CompareCells(const COctreeNode* cell, Model& model) {
  const std::list<CBoundedObject*>& expected = model.cells[cell];
  EXPECT_TRUE(std::equal(cell->objects.begin(), cell->objects.end(), expected.begin(), expected.end()))
      << "cell " << cell->GetCellCode();
  size_t listings = cell->objects.size();
  for (const COctreeNode* child : cell->children)
    if (child != nullptr) listings += CompareCells(child, model);
  return listings;
}

struct OrderRun {
  std::mt19937 random{2024};
  std::vector<std::unique_ptr<Item>> items;
  Model model;
  COctree tree{kRoot};

  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); }
  Vector3 Point(float lo, float hi) { return Vector3(Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)); }
  // Crowded: small boxes in a corner of the root so that cells hold many objects each, a few
  // large ones spread over several cells, a few beyond the root.
  Box RandomBox() {
    const float size = random() % 5 == 0 ? Uniform(5.0f, 30.0f) : Uniform(0.0f, 2.0f);
    const Vector3 lo = random() % 25 == 0 ? Point(-10.0f, 105.0f) : Point(0.0f, 40.0f);
    return Box(lo, lo + Point(0.0f, size));
  }
  std::unique_ptr<Item> RandomItem() {
    static const uint32_t kFlags[] = {0, 0x200, 0x4, 0x200 | 0x2000};
    return std::make_unique<Item>(kFlags[random() % 4], RandomBox());
  }
  void File(Item* item) {
    if (item->IsFiled()) model.Removed(item);  // a second insertion refiles
    switch (random() % 4) {
      case 0: tree.InsertObjectToDepth(item, 5); break;
      case 1: tree.InsertObjectAtDepth(item, random() % 7); break;
      default: tree.InsertObject(item, 7, 3); break;
    }
    model.Filed(item);
  }
  void Step() {
    auto slot = items.begin() + random() % items.size();
    Item* item = slot->get();
    switch (random() % 5) {
      case 0:
      case 1:
        File(item);
        break;
      case 2:
        if (item->IsFiled()) model.Removed(item);
        tree.RemoveObject(item);
        break;
      case 3:
        item->SetBounds(RandomBox());
        if (!item->IsFiled()) break;
        model.Removed(item);
        tree.UpdateObject(item, 7, 3);
        model.Filed(item);
        break;
      default:  // deleted while filed
        if (item->IsFiled()) model.Removed(item);
        *slot = RandomItem();
        break;
    }
  }
  void Check() {
    size_t listings = 0;
    for (const auto& entry : model.cells) listings += entry.second.size();
    ASSERT_EQ(CompareCells(tree.GetRoot(), model), listings);
    static const uint32_t kMasks[] = {0, 0x200, 0x2000, 0x4};
    const uint32_t mask = kMasks[random() % 4];
    std::set<CBoundedObject*> met;
    List expected;
    model.Collect(tree.GetRoot(), mask, met, expected);
    tree.CollectAll(mask);
    ASSERT_EQ(tree.GetResults(), expected);
    tree.QueryVolume(nullptr, nullptr, mask, 0);
    ASSERT_EQ(tree.GetResults(), expected);
    for (int i = 0; i < 4; ++i) {
      const Box box = RandomBox();
      met.clear();
      expected.clear();
      model.InBox(tree.GetRoot(), box, mask, met, expected);
      List found{nullptr};
      tree.QueryBox(box, &found, mask);
      ASSERT_EQ(List(found.begin() + 1, found.end()), expected);
    }
  }
  void Coarsen(uint32_t limit) {
    model.Coarsen(tree.GetRoot(), limit);
    tree.Coarsen(limit);
  }
  // The tree refiles in the order it collects: each cell ends up with its objects reversed.
  void Reset() {
    std::set<CBoundedObject*> met;
    List order;
    model.Collect(tree.GetRoot(), 0, met, order);
    tree.Reset(kRoot);
    model = Model();
    for (CBoundedObject* o : order) model.Filed(o);
  }
};

TEST(OctreeOrder, CellListsAndQueriesFollowTheNewestFirstModel) {
  testing_support::DebugCapture quiet;
  OrderRun run;
  for (int i = 0; i < 250; ++i) run.items.push_back(run.RandomItem());
  for (int step = 1; step <= 30000; ++step) {
    run.Step();
    if (step % 300 != 0) continue;
    run.Check();
    if (HasFatalFailure()) return;
    if (step % 3000 == 0) {
      run.Coarsen(step % 6000 == 0 ? 12 : 1);
      run.Check();
      run.Reset();
      run.Check();
      if (HasFatalFailure()) return;
    }
  }
  for (auto& item : run.items) run.tree.RemoveObject(item.get());
  EXPECT_EQ(run.tree.CountNodes(0), 1u);
  EXPECT_TRUE(run.tree.GetRoot()->objects.empty());
}

// Three objects in one cell, all across the ray's path: first-hit mode takes the newest, and
// removing it hands the hit to the next newest.
TEST(OctreeOrder, FirstHitRayInOneCellIsTheNewestFiled) {
  COctree tree(kRoot);
  const Box shared(Vector3(10, 10, 10), Vector3(11, 11, 11));
  Item older(CBoundedObject::kRenderable, shared), middle(CBoundedObject::kRenderable, shared),
      newest(CBoundedObject::kRenderable, Box(Vector3(10, 10, 10.5f), Vector3(11, 11, 11)));
  for (Item* item : {&older, &middle, &newest}) tree.InsertObject(item);
  ASSERT_EQ(older.GetCellRefs().size(), 1u);
  const COctreeNode* cell = older.GetCellRefs()[0].cell;
  for (Item* item : {&middle, &newest}) {
    ASSERT_EQ(item->GetCellRefs().size(), 1u);
    ASSERT_EQ(item->GetCellRefs()[0].cell, cell);
  }
  EXPECT_EQ(List(cell->objects.begin(), cell->objects.end()), (List{&newest, &middle, &older}));

  const auto firstHit = [&tree]() {
    RayInfo ray(Vector3(10.5f, 10.5f, 9.0f), Vector3(10.5f, 10.5f, 12.0f));
    CBoundedObject* hit = nullptr;
    EXPECT_TRUE(tree.RayQuery(ray, &hit, CBoundedObject::kRenderable, false, 0.5f));
    return hit;
  };
  EXPECT_EQ(firstHit(), &newest);
  // Nearest mode is not swayed by the order: the older boxes are met first along the ray.
  RayInfo ray(Vector3(10.5f, 10.5f, 9.0f), Vector3(10.5f, 10.5f, 12.0f));
  CBoundedObject* hit = nullptr;
  ASSERT_TRUE(tree.RayQuery(ray, &hit, CBoundedObject::kRenderable, true, 0.5f));
  EXPECT_EQ(hit, &middle);  // equal fractions: the one listed earlier stays
  EXPECT_FLOAT_EQ(ray.result.time, 1.0f / 3.0f);

  tree.RemoveObject(&newest);
  EXPECT_EQ(firstHit(), &middle);
  tree.InsertObject(&newest);
  tree.RemoveObject(&middle);  // from the middle: the others keep their order
  EXPECT_EQ(List(cell->objects.begin(), cell->objects.end()), (List{&newest, &older}));
  EXPECT_EQ(firstHit(), &newest);
  tree.QueryBox(shared, CBoundedObject::kRenderable);
  EXPECT_EQ(tree.GetResults(), (List{&newest, &older}));
}

}  // namespace
