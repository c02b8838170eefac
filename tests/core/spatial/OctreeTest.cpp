// The octree against brute force over a long random run of filing, moving, deleting, removing,
// changing flags and coarsening, with the cell bookkeeping checked as an invariant throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "core/math/ConvexHullFaces.h"
#include "core/math/CullVolume.h"
#include "tests/core/spatial/OctreeTestItems.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace octree_test;

// An exact shape hit at a fixed fraction once the segment meets its box.
class FixedHit : public Item {
 public:
  FixedHit(uint32_t flags, const Box& box, float time) : Item(flags, box), m_time(time) {}
  bool Intersect(GenericIntersection* query) override {
    if (!query->IntersectBox(GetBounds())) return false;
    query->result.time = m_time;
    return true;
  }
  float m_time;
};

// A ball: hits a box within its radius, at the gap over the radius.
class BallQuery : public GenericIntersection {
 public:
  BallQuery(const Vector3& c, float r) : centre(c), radius(r) {}
  void GetBounds(Box& out) const override { out.SetFromCenterRadius(centre, radius); }
  bool IntersectBox(const Box& box) override {
    float sum = 0.0f;
    for (int a = 0; a < 3; ++a) {
      const float d = std::max(std::max(box.min[a] - centre[a], centre[a] - box.max[a]), 0.0f);
      sum += d * d;
    }
    if (std::sqrt(sum) > radius) return false;
    result.time = std::sqrt(sum) / radius;
    return true;
  }
  Vector3 centre;
  float radius;
};

Set Unique(const std::vector<CBoundedObject*>& list) {
  Set s(list.begin(), list.end());
  EXPECT_EQ(s.size(), list.size()) << "an object was reported twice";
  return s;
}

// Each reference names a cell listing the object at that slot and each listing has its reference;
// the list's count agrees with its slots; unless the tree was coarsened, no empty childless cell
// survives below the root.
size_t CheckCells(const COctreeNode* cell, const COctree& tree, bool noDeadCells) {
  size_t walked = 0;
  for (uint32_t slot = 0; slot < cell->objects.SlotCount(); ++slot) {
    CBoundedObject* object = cell->objects.At(slot);
    if (object == nullptr) continue;
    ++walked;
    const std::vector<CBoundedObject::CellRef>& refs = object->GetCellRefs();
    EXPECT_TRUE(tree.Contains(object));
    EXPECT_EQ(std::count_if(refs.begin(), refs.end(), [&](auto& r) { return r.cell == cell && r.slot == slot; }), 1);
  }
  EXPECT_EQ(walked, cell->objects.size());
  if (noDeadCells && cell->parent != nullptr) {
    EXPECT_TRUE(!cell->objects.empty() || cell->HasChildren());
  }
  size_t listings = cell->objects.size();
  for (const COctreeNode* child : cell->children) {
    if (child == nullptr) continue;
    EXPECT_EQ(child->parent, cell);
    EXPECT_EQ(child->GetDepth(), cell->GetDepth() + 1);
    listings += CheckCells(child, tree, noDeadCells);
  }
  return listings;
}

struct World {
  std::mt19937 random{7};
  std::vector<std::unique_ptr<Item>> items;
  Set filed;
  CMeshInstance* owners[2] = {reinterpret_cast<CMeshInstance*>(0x1000), reinterpret_cast<CMeshInstance*>(0x2000)};

  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); }
  Vector3 Point(float lo, float hi) { return Vector3(Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)); }
  // Mostly small boxes, some large, some flat or empty, a few outside the root [0, 100].
  Box RandomBox() {
    const int kind = random() % 10;
    const float size = kind < 6 ? Uniform(0.0f, 3.0f) : kind < 9 ? Uniform(3.0f, 40.0f) : 0.0f;
    const Vector3 lo = random() % 20 == 0 ? Point(-20.0f, 110.0f) : Point(0.0f, 100.0f - size);
    Vector3 hi(lo.x + size * Uniform(0, 1), lo.y + size * Uniform(0, 1), lo.z + size * Uniform(0, 1));
    if (random() % 8 == 0) hi.z = lo.z;
    return Box(lo, hi);
  }
  std::unique_ptr<Item> RandomItem() {
    static const uint32_t kFlags[] = {0, 0x200, 0x4, 0x40000, 0x2000, 0x200 | 0x2000, 0x800};
    return std::make_unique<Item>(kFlags[random() % 7], RandomBox(), owners[random() % 2]);
  }
  uint32_t RandomMask() {
    static const uint32_t kMasks[] = {0, 0x200, 0x2000, 0x200 | 0x2000, 0x4};
    return kMasks[random() % 5];
  }
  Set Matching(uint32_t mask) const {
    Set s;
    for (CBoundedObject* o : filed)
      if (o->HasAllFlags(mask)) s.insert(o);
    return s;
  }
};

std::unique_ptr<CullVolume> RandomVolume(World& w, std::vector<Vector3>& points) {
  std::vector<ConvexHullTriangle> faces;
  const Vector3 c = w.Point(10.0f, 90.0f);
  const float r = w.Uniform(5.0f, 35.0f);  // never holds the whole root
  do {
    points.clear();
    for (int i = 0; i < 8; ++i) points.push_back(c + w.Point(-r, r));
  } while (!BuildConvexHullFaces(points.data(), 8, faces));
  return std::make_unique<CullVolume>(points.data(), 8, faces.data(), static_cast<uint32_t>(faces.size()));
}

void CheckQueries(World& w, COctree& tree, bool noDeadCells) {
  size_t refs = 0;
  for (CBoundedObject* o : w.filed) refs += o->GetCellRefs().size();
  ASSERT_EQ(CheckCells(tree.GetRoot(), tree, noDeadCells), refs);
  ASSERT_EQ(tree.GetObjectCount(), w.filed.size());

  const uint32_t mask = w.RandomMask();
  const Set expected = w.Matching(mask);
  tree.CollectAll(mask);
  ASSERT_EQ(Unique(tree.GetResults()), expected);

  const Box query = w.RandomBox();
  Set inBox;
  for (CBoundedObject* o : expected)
    if (Touch(o->GetBounds(), query)) inBox.insert(o);
  std::vector<CBoundedObject*> appended{nullptr};  // a given list is appended to, never emptied
  tree.QueryBox(query, &appended, mask);
  ASSERT_EQ(appended.front(), nullptr);
  ASSERT_EQ(Unique(std::vector<CBoundedObject*>(appended.begin() + 1, appended.end())), inBox);
  ASSERT_EQ(tree.CountInBox(query, mask), inBox.size());

  std::vector<Vector3> points;
  std::unique_ptr<CullVolume> volume = RandomVolume(w, points);
  Set inVolume;
  for (CBoundedObject* o : expected)
    if (volume->ClassifyBox(o->GetBounds()) >= 0) inVolume.insert(o);
  for (uint32_t depth = 7; depth <= 20; ++depth) {  // cells reach depth 6: from 7 on every crossing one is tested
    tree.QueryVolume(volume.get(), nullptr, mask, depth);
    ASSERT_EQ(Unique(tree.GetResults()), inVolume) << "depth " << depth;
  }
  tree.QueryVolume(volume.get(), nullptr, mask, 0);  // the root crosses: everything
  ASSERT_EQ(Unique(tree.GetResults()), expected);

  BallQuery ball(w.Point(-5.0f, 105.0f), w.Uniform(0.5f, 8.0f));
  float nearestBall = FLT_MAX;
  for (CBoundedObject* o : expected) {
    BallQuery probe(ball.centre, ball.radius);
    if (o->Intersect(&probe)) nearestBall = std::min(nearestBall, probe.result.time);
  }
  CBoundedObject* hit = nullptr;
  ASSERT_EQ(tree.QuerySphere(ball, &hit, mask), nearestBall < FLT_MAX);
  if (hit != nullptr) {
    ASSERT_EQ(ball.result.time, nearestBall);
  }
}

// The brute-force ray: the smallest fraction among the objects whose box and shape accept it.
float NearestByScan(const Set& objects, const Vector3& a, const Vector3& b, uint32_t mask, CMeshInstance* excluded) {
  float best = FLT_MAX;
  for (CBoundedObject* o : objects) {
    if (!o->HasAllFlags(mask) || (excluded != nullptr && o->GetOwnerInstance() == excluded)) continue;
    RayInfo ray(a, b);
    if (!ray.IntersectBox(o->GetBounds())) continue;
    ray.result.Reset();
    if (o->Intersect(&ray)) best = std::min(best, ray.result.time);
  }
  return best;
}

void CheckRays(World& w, COctree& tree) {
  for (int i = 0; i < 20; ++i) {
    const uint32_t mask = w.RandomMask();
    tree.SetRayExclusion(i % 3 == 0 ? w.owners[0] : nullptr);
    const Vector3 a = w.Point(-10.0f, 110.0f);
    const Vector3 b = i % 2 ? w.Point(-10.0f, 110.0f) : a + w.Point(-6.0f, 6.0f);
    const float expected = NearestByScan(w.filed, a, b, mask, tree.GetRayExclusion());
    RayInfo ray(a, b);
    CBoundedObject* hit = nullptr;
    ASSERT_EQ(tree.RayQuery(ray, &hit, mask, true, 0.5f), expected < FLT_MAX);
    ASSERT_EQ(ray.result.time, expected);
    if (hit != nullptr) {
      RayInfo again(a, b);
      ASSERT_TRUE(hit->Intersect(&again));
      ASSERT_EQ(again.result.time, expected);
    }
    RayInfo first(a, b);
    ASSERT_EQ(tree.RayQuery(first, &hit, mask, false, 0.5f), expected < FLT_MAX);
    if (hit != nullptr) {  // a first hit's answer is the returned object's own
      RayInfo own(a, b);
      ASSERT_TRUE(hit->Intersect(&own));
      ASSERT_EQ(first.result.time, own.result.time);
    }
    const float anyExpected = NearestByScan(w.filed, a, b, mask, nullptr);  // the box walk knows no exclusion
    RayInfo boxed(a, b);
    ASSERT_EQ(tree.AnyInBox(boxed, &hit, mask, true), anyExpected < FLT_MAX);
    if (hit != nullptr) {
      ASSERT_EQ(boxed.result.time, anyExpected);
    }
  }
  tree.SetRayExclusion(nullptr);
}

TEST(Octree, LongRandomRunMatchesBruteForce) {
  testing_support::DebugCapture quiet;
  World w;
  COctree tree(kRoot);
  for (int i = 0; i < 700; ++i) w.items.push_back(w.RandomItem());
  for (int step = 1; step <= 40000; ++step) {
    auto slot = w.items.begin() + w.random() % w.items.size();
    Item* item = slot->get();
    switch (w.random() % 7) {
      case 0:
      case 1:
        tree.InsertObject(item, 7, 3);  // a second insertion refiles
        w.filed.insert(item);
        break;
      case 2:
        tree.RemoveObject(item);
        w.filed.erase(item);
        break;
      case 3:  // owners change the bounds first, then refile
        item->SetBounds(w.RandomBox());
        if (item->IsFiled()) tree.UpdateObject(item, 7, 3);
        break;
      case 4:  // moved and deleted while filed: it must leave no entry behind
        w.filed.erase(item);
        item->SetBounds(w.RandomBox());
        *slot = w.RandomItem();
        item = slot->get();
        break;
      case 5:  // flags change while filed: a bit gained must reach the cells' summaries
        if (w.random() % 3 == 0)
          item->ClearBoundFlags(w.RandomMask());
        else if (w.random() % 2 == 0)
          item->AddBoundFlags(w.RandomMask());
        else
          item->SetBoundFlags((item->GetBoundFlags() & CBoundedObject::kFiled) | w.RandomMask());
        break;
      default:
        if (w.random() % 3 == 0)
          tree.InsertObjectToDepth(item, 5);
        else
          tree.InsertObjectAtDepth(item, w.random() % 7);
        w.filed.insert(item);
        break;
    }
    ASSERT_EQ(item->IsFiled(), w.filed.count(item) != 0);
    if (step % 400 != 0) continue;
    CheckQueries(w, tree, true);
    CheckRays(w, tree);
    if (step % 8000 == 0) {
      tree.Coarsen(w.random() % 2 ? 12 : 1);  // moves objects up but keeps each findable
      CheckQueries(w, tree, false);
      CheckRays(w, tree);
      tree.Reset(kRoot);
      CheckQueries(w, tree, true);
    }
  }
  for (auto& item : w.items) tree.RemoveObject(item.get());
  EXPECT_EQ(tree.CountNodes(0), 1u);  // every emptied cell was pruned
}

// A far hit in a cell met first must not hide a nearer hit in a later cell, even one entered at that fraction.
TEST(Octree, NearestRayKeepsMarchingPastAnEarlierCellsHit) {
  COctree tree(kRoot);
  const float entry = (50.0f - (1e-5f * 100.0f + 1e-6f) - 1.0f) / 98.0f;  // x = 50, less the cells' slack
  FixedHit far(CBoundedObject::kRenderable, Box(Vector3(2, 9, 9), Vector3(3, 11, 11)), entry);
  FixedHit near(CBoundedObject::kRenderable, Box(Vector3(50.05f, 9.5f, 9.5f), Vector3(51, 10.5f, 10.5f)), 0.3f);
  tree.InsertObject(&far);
  tree.InsertObject(&near);
  RayInfo ray(Vector3(1, 10, 10), Vector3(99, 10, 10));
  CBoundedObject* hit = nullptr;
  ASSERT_TRUE(tree.RayQuery(ray, &hit, 0, true, 0.5f));
  EXPECT_EQ(hit, &near);
  EXPECT_FLOAT_EQ(ray.result.time, 0.3f);
}

TEST(Octree, FilingOwnershipAndLifetimes) {
  testing_support::DebugCapture quiet;
  COctree tree(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  // A point-sized renderable goes down to the split depth and then follows existing cells.
  Item dot(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(1, 1, 1)));
  tree.InsertObject(&dot);
  tree.InsertObject(&dot);
  ASSERT_EQ(dot.GetCellRefs().size(), 1u);
  EXPECT_EQ(dot.GetCellRefs()[0].cell->GetDepth(), 3u);
  // The root box crosses every centre plane: spread over the eight children, reported once.
  Item big(CBoundedObject::kRenderable, Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  tree.InsertObject(&big);
  EXPECT_EQ(big.GetCellRefs().size(), 8u);
  EXPECT_EQ(tree.CountInBox(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)), CBoundedObject::kRenderable), 2u);

  // Another tree refuses an object this one holds, and its removal changes nothing.
  COctree other(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  other.InsertObject(&big);
  other.RemoveObject(&big);
  EXPECT_TRUE(tree.Contains(&big));
  EXPECT_EQ(other.GetObjectCount(), 0u);

  // An object deleted while filed leaves; a tree that goes first unfiles what it held.
  { Item temporary(CBoundedObject::kRenderable, Box(Vector3(5, 5, 5), Vector3(6, 6, 6))); tree.InsertObject(&temporary); }
  EXPECT_EQ(tree.GetObjectCount(), 2u);
  Item survivor(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(2, 2, 2)));
  std::make_unique<COctree>(Box(Vector3(0, 0, 0), Vector3(8, 8, 8)))->InsertObject(&survivor);
  EXPECT_FALSE(survivor.IsFiled());
  EXPECT_EQ(survivor.GetOctree(), nullptr);

  tree.Destroy();
  tree.InsertObject(&big);  // no cells to file into
  EXPECT_FALSE(big.IsFiled());
}

}  // namespace
