// The octree against brute force over long random runs of filing, moving, removing and
// coarsening, with the cell bookkeeping checked as an invariant throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/math/BoundedObject.h"
#include "core/math/Octree.h"
#include "physics/RayInfo.h"
#include "scene/ConvexHullFaces.h"
#include "scene/CullVolume.h"
#include "tests/support/TempFolder.h"

namespace {

using Set = std::set<CBoundedObject*>;

class Item : public CBoundedObject {
 public:
  Item(uint32_t flags, const Box& box) {
    SetBoundFlags(flags);
    SetBounds(box);
  }
  void SetOwner(CMeshInstance* owner) { m_ownerInstance = owner; }
};

// An object whose exact shape is hit at a fixed fraction inside its box.
class FixedHit : public Item {
 public:
  FixedHit(const Box& box, float time) : Item(CBoundedObject::kRenderable, box), m_time(time) {}
  bool Intersect(GenericIntersection* query) override {
    if (!query->IntersectBox(GetBounds())) return false;
    query->result.time = m_time;
    return true;
  }

 private:
  float m_time;
};

// A ball around a point: hits a box when the box comes within the radius; time is the gap / radius.
class BallQuery : public GenericIntersection {
 public:
  BallQuery(const Vector3& c, float r) : centre(c), radius(r) {}
  void GetBounds(Box& out) const override { out.SetFromCenterRadius(centre, radius); }
  bool IntersectBox(const Box& box) override {
    const float gap = Gap(box);
    if (gap > radius) return false;
    result.time = gap / radius;
    return true;
  }
  float Gap(const Box& box) const {
    float sum = 0.0f;
    for (int a = 0; a < 3; ++a) {
      const float d = std::max(std::max(box.min[a] - centre[a], centre[a] - box.max[a]), 0.0f);
      sum += d * d;
    }
    return std::sqrt(sum);
  }
  Vector3 centre;
  float radius;
};

bool Touch(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

// Every result once, and the set it forms.
Set Unique(const std::vector<CBoundedObject*>& list) {
  Set s(list.begin(), list.end());
  EXPECT_EQ(s.size(), list.size()) << "an object was reported twice";
  return s;
}

// The bookkeeping: each reference names a cell that lists the object at that slot, each listing
// has its reference, no cell lists an object twice, and (unless coarsened) no dead cell survives.
void CheckCells(const COctreeNode* cell, const COctree& tree, size_t* listings, bool noDeadCells) {
  for (uint32_t slot = 0; slot < cell->objects.size(); ++slot) {
    CBoundedObject* object = cell->objects[slot];
    ASSERT_TRUE(tree.Contains(object));
    int found = 0;
    for (const CBoundedObject::CellRef& ref : object->GetCellRefs())
      if (ref.cell == cell) {
        ++found;
        EXPECT_EQ(ref.slot, slot);
      }
    ASSERT_EQ(found, 1);
  }
  *listings += cell->objects.size();
  if (noDeadCells && cell->parent != nullptr) {
    EXPECT_TRUE(!cell->objects.empty() || cell->HasChildren());
  }
  for (uint32_t i = 0; i < 8; ++i) {
    const COctreeNode* child = cell->children[i];
    if (child == nullptr) continue;
    EXPECT_EQ(child->parent, cell);
    EXPECT_EQ(child->GetDepth(), cell->GetDepth() + 1);
    EXPECT_LE(child->GetDepth(), COctree::kDepthLimit);
    const Box expected = cell->ChildBox(i);
    EXPECT_EQ(child->bounds.min.x, expected.min.x);
    EXPECT_EQ(child->bounds.max.z, expected.max.z);
    CheckCells(child, tree, listings, noDeadCells);
  }
}

void CheckInvariants(const COctree& tree, const Set& filed, bool noDeadCells) {
  size_t listings = 0;
  CheckCells(tree.GetRoot(), tree, &listings, noDeadCells);
  size_t refs = 0;
  for (CBoundedObject* o : filed) {
    EXPECT_TRUE(o->IsFiled());
    EXPECT_FALSE(o->GetCellRefs().empty());
    refs += o->GetCellRefs().size();
  }
  EXPECT_EQ(listings, refs);
  EXPECT_EQ(tree.GetObjectCount(), filed.size());
}

struct World {
  std::mt19937 random;
  Box root{Vector3(0, 0, 0), Vector3(100, 100, 100)};
  std::vector<std::unique_ptr<Item>> items;
  Set filed;

  explicit World(unsigned seed) : random(seed) {}
  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); }
  Vector3 Point(float lo, float hi) { return Vector3(Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)); }
  // Mostly small boxes, some large, some flat or empty, a few sticking out of the root.
  Box RandomBox(bool allowOutside) {
    const int kind = random() % 10;
    const float size = kind < 6 ? Uniform(0.0f, 3.0f) : kind < 9 ? Uniform(3.0f, 40.0f) : 0.0f;
    const Vector3 lo = allowOutside && random() % 20 == 0 ? Point(-20.0f, 110.0f) : Point(0.0f, 100.0f - size);
    Vector3 hi(lo.x + size * Uniform(0, 1), lo.y + size * Uniform(0, 1), lo.z + size * Uniform(0, 1));
    if (random() % 8 == 0) hi.z = lo.z;
    return Box(lo, hi);
  }
  uint32_t RandomFlags() {
    static const uint32_t kChoices[] = {0, 0x200, 0x4, 0x40000, 0x2000, 0x200 | 0x2000, 0x800};
    return kChoices[random() % 7];
  }
  Set Expected(uint32_t mask) const {
    Set s;
    for (CBoundedObject* o : filed)
      if (o->HasAllFlags(mask)) s.insert(o);
    return s;
  }
};

const uint32_t kMasks[] = {0, 0x200, 0x2000, 0x200 | 0x2000, 0x4};

std::unique_ptr<CullVolume> RandomVolume(World& w, std::vector<Vector3>& points) {
  std::vector<ConvexHullTriangle> faces;
  const Vector3 c = w.Point(10.0f, 90.0f);
  const float r = w.Uniform(5.0f, 35.0f);
  do {
    points.clear();
    for (int i = 0; i < 8; ++i) points.push_back(c + w.Point(-r, r));
  } while (!BuildConvexHullFaces(points.data(), 8, faces));
  return std::make_unique<CullVolume>(points.data(), 8, faces.data(), static_cast<uint32_t>(faces.size()));
}

void CheckQueries(World& w, COctree& tree) {
  const uint32_t mask = kMasks[w.random() % 5];
  const Set expected = w.Expected(mask);
  tree.CollectAll(mask);
  ASSERT_EQ(Unique(tree.GetResults()), expected);

  const Box query = w.RandomBox(true);
  Set inBox;
  for (CBoundedObject* o : expected)
    if (Touch(o->GetBounds(), query)) inBox.insert(o);
  std::vector<CBoundedObject*> appended{nullptr};  // a given list is appended to, never emptied
  tree.QueryBox(query, &appended, mask);
  ASSERT_EQ(appended.front(), nullptr);
  appended.erase(appended.begin());
  ASSERT_EQ(Unique(appended), inBox);
  ASSERT_EQ(tree.CountInBox(query, mask), inBox.size());

  std::vector<Vector3> points;
  std::unique_ptr<CullVolume> volume = RandomVolume(w, points);
  tree.QueryVolume(volume.get(), nullptr, mask, 20);
  Set inVolume;
  for (CBoundedObject* o : expected)
    if (volume->ClassifyBox(o->GetBounds()) >= 0) inVolume.insert(o);
  ASSERT_EQ(Unique(tree.GetResults()), inVolume);
  tree.QueryVolume(volume.get(), nullptr, mask, 0);  // the root crosses: everything
  ASSERT_EQ(Unique(tree.GetResults()), expected);
}

// The brute-force ray: the smallest fraction among the objects whose box and shape accept it.
float NearestByScan(const Set& objects, const RayInfo& segment, uint32_t mask, CMeshInstance* excluded) {
  float best = FLT_MAX;
  for (CBoundedObject* o : objects) {
    if (!o->HasAllFlags(mask) || (excluded != nullptr && o->GetOwnerInstance() == excluded)) continue;
    RayInfo ray(segment.start, segment.end);
    if (!ray.IntersectBox(o->GetBounds())) continue;
    ray.result.Reset();
    if (o->Intersect(&ray)) best = std::min(best, ray.result.time);
  }
  return best;
}

float TimeOf(CBoundedObject* o, const RayInfo& segment) {
  RayInfo ray(segment.start, segment.end);
  return o->Intersect(&ray) ? ray.result.time : FLT_MAX;
}

void CheckRays(World& w, COctree& tree, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t mask = kMasks[w.random() % 4];
    const bool longRay = w.random() % 2 == 0;
    const Vector3 a = w.Point(-10.0f, 110.0f);
    const Vector3 b = longRay ? w.Point(-10.0f, 110.0f) : a + w.Point(-6.0f, 6.0f);
    RayInfo ray(a, b);
    CBoundedObject* hit = nullptr;
    const float expected = NearestByScan(w.filed, ray, mask, tree.GetRayExclusion());
    const bool found = tree.RayQuery(ray, &hit, mask, true, 0.5f);
    ASSERT_EQ(found, expected < FLT_MAX);
    if (found) {
      ASSERT_EQ(ray.result.time, expected);
      ASSERT_EQ(TimeOf(hit, RayInfo(a, b)), expected);
    } else {
      ASSERT_EQ(hit, nullptr);
    }
    RayInfo first(a, b);
    ASSERT_EQ(tree.RayQuery(first, &hit, mask, false, 0.5f), found);
    if (found) {
      ASSERT_LT(TimeOf(hit, RayInfo(a, b)), FLT_MAX);
    }

    // The box walk knows no exclusion.
    const float anyExpected = NearestByScan(w.filed, ray, mask, nullptr);
    RayInfo boxed(a, b);
    ASSERT_EQ(tree.AnyInBox(boxed, &hit, mask, true), anyExpected < FLT_MAX);
    if (hit != nullptr) {
      ASSERT_EQ(boxed.result.time, anyExpected);
    }
  }
}

TEST(Octree, LongRandomRunMatchesBruteForce) {
  World w(7);
  COctree tree(w.root);
  for (int i = 0; i < 700; ++i) w.items.push_back(std::make_unique<Item>(w.RandomFlags(), w.RandomBox(true)));
  for (int step = 0; step < 40000; ++step) {
    Item* item = w.items[w.random() % w.items.size()].get();
    switch (w.random() % 6) {
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
        item->SetBounds(w.RandomBox(true));
        if (item->IsFiled()) tree.UpdateObject(item, 7, 3);
        break;
      case 4:  // deleted while filed: it must leave no entry behind
        if (w.random() % 4 == 0) {
          w.filed.erase(item);
          auto it = std::find_if(w.items.begin(), w.items.end(), [&](auto& p) { return p.get() == item; });
          item->SetBounds(w.RandomBox(true));
          *it = std::make_unique<Item>(w.RandomFlags(), w.RandomBox(true));
          item = it->get();
        }
        break;
      default:
        if (w.random() % 3 == 0) {
          tree.InsertObjectToDepth(item, 5);
        } else {
          tree.InsertObjectAtDepth(item, w.random() % 7);
        }
        w.filed.insert(item);
        break;
    }
    ASSERT_EQ(item->IsFiled(), w.filed.count(item) != 0);
    if (step % 400 != 0) continue;
    CheckInvariants(tree, w.filed, true);
    CheckQueries(w, tree);
    CheckRays(w, tree, 20);
    if (step % 8000 == 0) {
      // Coarsening moves objects around but must keep every one findable.
      tree.Coarsen(w.random() % 2 ? 12 : 1);
      CheckInvariants(tree, w.filed, false);
      CheckQueries(w, tree);
      CheckRays(w, tree, 20);
      tree.Reset(w.root);  // and a fresh tree from the same objects
      CheckInvariants(tree, w.filed, true);
      CheckQueries(w, tree);
    }
  }
  for (auto& item : w.items) tree.RemoveObject(item.get());
  EXPECT_EQ(tree.CountNodes(0), 1u);  // every emptied cell was pruned
  EXPECT_EQ(tree.GetObjectCount(), 0u);
}

TEST(Octree, SphereAndExcludedRaysMatchBruteForce) {
  World w(21);
  COctree tree(w.root);
  CMeshInstance* owners[2] = {reinterpret_cast<CMeshInstance*>(0x1000), reinterpret_cast<CMeshInstance*>(0x2000)};
  for (int i = 0; i < 3000; ++i) {
    w.items.push_back(std::make_unique<Item>(w.RandomFlags(), w.RandomBox(true)));
    w.items.back()->SetOwner(owners[i % 2]);
    tree.InsertObject(w.items.back().get());
    w.filed.insert(w.items.back().get());
  }
  for (int i = 0; i < 300; ++i) {
    const uint32_t mask = kMasks[w.random() % 4];
    BallQuery ball(w.Point(-5.0f, 105.0f), w.Uniform(0.5f, 8.0f));
    float best = FLT_MAX;
    for (CBoundedObject* o : w.filed) {
      if (!o->HasAllFlags(mask)) continue;
      BallQuery probe(ball.centre, ball.radius);
      if (o->Intersect(&probe)) best = std::min(best, probe.result.time);
    }
    CBoundedObject* hit = nullptr;
    ASSERT_EQ(tree.QuerySphere(ball, &hit, mask), best < FLT_MAX);
    if (hit != nullptr) {
      EXPECT_EQ(ball.result.time, best);
    }
  }
  tree.SetRayExclusion(owners[0]);
  CheckRays(w, tree, 300);
  tree.SetRayExclusion(nullptr);
  CheckRays(w, tree, 300);
}

// A far hit listed in a cell the segment meets first must not hide a nearer hit in a later cell.
TEST(Octree, NearestRayKeepsMarchingPastAnEarlierCellsHit) {
  COctree tree(Box(Vector3(0, 0, 0), Vector3(100, 100, 100)));
  FixedHit far(Box(Vector3(0.5f, 9, 9), Vector3(60, 11, 11)), 0.95f);
  FixedHit near(Box(Vector3(30, 9.5f, 9.5f), Vector3(31, 10.5f, 10.5f)), 0.3f);
  tree.InsertObject(&far);
  tree.InsertObject(&near);
  RayInfo ray(Vector3(1, 10, 10), Vector3(99, 10, 10));
  CBoundedObject* hit = nullptr;
  ASSERT_TRUE(tree.RayQuery(ray, &hit, 0, true, 0.5f));
  EXPECT_EQ(hit, &near);
  EXPECT_FLOAT_EQ(ray.result.time, 0.3f);
  RayInfo miss(Vector3(200, 200, 200), Vector3(300, 300, 300));
  EXPECT_FALSE(tree.RayQuery(miss, &hit, 0, true, 0.5f));
  EXPECT_EQ(hit, nullptr);
}

TEST(Octree, FilingRemovalAndPruning) {
  testing_support::DebugCapture quiet;
  COctree tree(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  // A point-sized renderable goes to the split depth and then follows existing cells.
  Item dot(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(1, 1, 1)));
  tree.InsertObject(&dot);
  ASSERT_EQ(dot.GetCellRefs().size(), 1u);
  EXPECT_EQ(dot.GetCellRefs()[0].cell->GetDepth(), 3u);
  EXPECT_EQ(tree.CountNodes(0), 4u);

  // Filing twice keeps one listing; moving before refiling or removing leaves nothing behind.
  tree.InsertObject(&dot);
  EXPECT_EQ(dot.GetCellRefs().size(), 1u);
  EXPECT_EQ(tree.GetObjectCount(), 1u);
  dot.SetBounds(Box(Vector3(60, 60, 60), Vector3(61, 61, 61)));
  tree.RemoveObject(&dot);
  EXPECT_FALSE(dot.IsFiled());
  EXPECT_EQ(tree.CountNodes(0), 1u);
  tree.CollectAll(0);
  EXPECT_TRUE(tree.GetResults().empty());

  // A box crossing the centre on every axis at the root is spread over all eight children.
  Item big(CBoundedObject::kRenderable, Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  tree.InsertObject(&big);
  EXPECT_EQ(big.GetCellRefs().size(), 8u);
  tree.QueryBox(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)), 0);
  EXPECT_EQ(tree.GetResults().size(), 1u);

  // Objects outside the root sit at the root and are still found.
  Item outside(0, Box(Vector3(70, 1, 1), Vector3(71, 2, 2)));
  tree.InsertObject(&outside);
  EXPECT_EQ(outside.GetCellRefs()[0].cell, tree.GetRoot());
  EXPECT_EQ(tree.CountInBox(Box(Vector3(70.5f, 1, 1), Vector3(80, 2, 2)), 0), 1u);

  // A second tree refuses an object the first holds, and removing it there changes nothing.
  COctree other(Box(Vector3(0, 0, 0), Vector3(64, 64, 64)));
  other.InsertObject(&big);
  other.RemoveObject(&big);
  EXPECT_TRUE(tree.Contains(&big));
  EXPECT_EQ(other.GetObjectCount(), 0u);

  // Deleting a filed object takes it out; a tree that goes first unfiles what it held.
  { Item temporary(CBoundedObject::kRenderable, Box(Vector3(5, 5, 5), Vector3(6, 6, 6))); tree.InsertObject(&temporary); }
  EXPECT_EQ(tree.GetObjectCount(), 2u);
  auto shortLived = std::make_unique<COctree>(Box(Vector3(0, 0, 0), Vector3(8, 8, 8)));
  Item survivor(CBoundedObject::kRenderable, Box(Vector3(1, 1, 1), Vector3(2, 2, 2)));
  shortLived->InsertObject(&survivor);
  shortLived.reset();
  EXPECT_FALSE(survivor.IsFiled());
  EXPECT_EQ(survivor.GetOctree(), nullptr);

  tree.DestroyNodes();
  EXPECT_FALSE(big.IsFiled());
  EXPECT_EQ(tree.CountNodes(0), 1u);
  tree.Destroy();
  EXPECT_EQ(tree.GetRoot(), nullptr);
  tree.InsertObject(&big);  // nothing to file into
  EXPECT_FALSE(big.IsFiled());
  RayInfo ray(Vector3(0, 0, 0), Vector3(1, 1, 1));
  EXPECT_FALSE(tree.RayQuery(ray, nullptr, 0, true, 0.5f));
}

TEST(Octree, SetFlagsAndNames) {
  Item item(CBoundedObject::kLight | CBoundedObject::kCastsProjectedShadow, Box());
  item.SetFlags(true, false, true, true, false);
  EXPECT_EQ(item.GetBoundFlags(), 0x200u | 0x400u | 0x1000u | 0x4000u | 0x10000000u);
  item.SetFlags(false, true, false, false, true);
  EXPECT_EQ(item.GetBoundFlags(), 0x2000u | 0x800u | 0x4000u);
  EXPECT_STREQ(CBoundedObject::FlagName(0x20000), "No Camara Pass");
  EXPECT_EQ(CBoundedObject::FlagName(0x800), nullptr);
}

}  // namespace
