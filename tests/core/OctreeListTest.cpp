// The octree's flat-list form: filing, removal and mask and box queries against a plain model.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/math/BoundedObject.h"
#include "core/math/Octree.h"

namespace {

class Item : public CBoundedObject {
 public:
  Item(uint32_t flags, const Box& box) {
    SetBoundFlags(flags);
    SetBounds(box);
  }
};

std::set<CBoundedObject*> Results(const COctree& tree) {
  return std::set<CBoundedObject*>(tree.GetResults().begin(), tree.GetResults().end());
}

TEST(OctreeList, RandomFilingAndQueriesMatchAModel) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> coord(0.0f, 100.0f);
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < 300; ++i) {
    const Vector3 a(coord(random), coord(random), coord(random));
    const Vector3 b(a.x + coord(random) * 0.1f, a.y + coord(random) * 0.1f, a.z + coord(random) * 0.1f);
    items.push_back(std::make_unique<Item>(static_cast<uint32_t>(random() % 8) << 8, Box(a, b)));
  }
  COctree tree;
  COctree other;  // a second tree must not disturb objects filed in the first
  std::set<CBoundedObject*> filed;
  for (int step = 0; step < 20000; ++step) {
    Item* item = items[random() % items.size()].get();
    if (random() % 2) {
      tree.InsertObject(item);
      filed.insert(item);
    } else {
      tree.RemoveObject(item);
      filed.erase(item);
    }
    other.RemoveObject(item);
    ASSERT_EQ(item->IsFiled(), filed.count(item) != 0);
    if (step % 500 != 0) continue;
    ASSERT_EQ(tree.GetObjectCount(), filed.size());
    const uint32_t mask = static_cast<uint32_t>(random() % 8) << 8;
    tree.CollectAll(mask);
    std::set<CBoundedObject*> expected;
    for (CBoundedObject* o : filed)
      if ((o->GetBoundFlags() & mask) == mask) expected.insert(o);
    ASSERT_EQ(Results(tree), expected);
    const Vector3 lo(coord(random), coord(random), coord(random));
    const Box query(lo, Vector3(lo.x + 20.0f, lo.y + 20.0f, lo.z + 20.0f));
    tree.QueryBox(query, mask);
    std::set<CBoundedObject*> inBox;
    for (CBoundedObject* o : expected)
      if (o->GetBounds().Overlaps(query)) inBox.insert(o);
    ASSERT_EQ(Results(tree), inBox);
  }
  tree.DestroyNodes();
  EXPECT_EQ(tree.GetObjectCount(), 0u);
  for (const auto& item : items) EXPECT_FALSE(item->IsFiled());
}

}  // namespace
