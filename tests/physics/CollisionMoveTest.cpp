// Swept movement of spheres through small worlds: contacts, responses, delivery to both parties and long random runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/math/Octree.h"
#include "physics/BeamInfo.h"
#include "physics/CollisionFlags.h"
#include "physics/SphereCollisionObject.h"
#include "physics/SurfaceType.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

// A static surface that counts what it is told.
class Surface : public CCollisionObject {
 public:
  explicit Surface(uint32_t surfaceIndex) {
    m_info.kind = CollisionInfo::kStatic;
    m_info.object = this;
    m_info.surface = SurfaceType::Get(surfaceIndex);
  }
  const CollisionInfo* GetCollisionInfo(CCollisionObject*) override { return &m_info; }
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult*) override {
    heard.push_back(info);
    return true;
  }
  std::vector<const CollisionInfo*> heard;

 private:
  CollisionInfo m_info;
};

// A two-sided triangle.
class Tri : public Surface {
 public:
  Tri(const Vector3& a, const Vector3& b, const Vector3& k, uint32_t surface = 1) : Surface(surface), p{a, b, k} {
    const Vector3 n = (b - a).Cross(k - a);
    normal = n * (1.0f / n.Length());
    Box box;
    box.SetFromPoints(a, b);
    box.ExtendByPoint(k);
    SetBounds(box);
  }
  bool Intersect(GenericIntersection* query) override {
    const Box box = GetBounds();
    return query->IntersectTriangle(p[0], p[1], p[2], normal, false, &box);
  }
  Vector3 p[3];
  Vector3 normal;
};

// A plain box: the base answers queries with its world box.
class Block : public Surface {
 public:
  explicit Block(const Box& box) : Surface(2) { SetBounds(box); }
};

// A sphere that checks every bounce and counts its completed moves.
class Ball : public CSphereCollisionObject {
 public:
  Ball() {
    m_info.kind = CollisionInfo::kBody;
    m_info.object = this;
    m_info.surface = SurfaceType::Get(3);
  }
  bool Place(const Vector3& at, const Vector3& v, float r, float restitution, float friction) {
    const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, at.x, at.y, at.z};
    return Setup(frame, v, r, nullptr, restitution, friction);
  }
  const CollisionInfo* GetCollisionInfo(CCollisionObject*) override { return withInfo ? &m_info : nullptr; }
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override {
    heard.push_back(info);
    return CSphereCollisionObject::HandleCollision(info, hit);
  }
  void CollideWithStatic(const CollisionInfo* info, const IntersectionResult* hit) override {
    const float before = GetVelocity().Length();
    CSphereCollisionObject::CollideWithStatic(info, hit);
    worstGain = std::max(worstGain, GetVelocity().Length() - before);
    ++bounces;
  }
  void CollideWithBody(const CollisionInfo* info, const IntersectionResult* hit) override {
    if (!bulldozer) CSphereCollisionObject::CollideWithBody(info, hit);
  }
  void OnMoveComplete() override { ++completed; }
  // Hands the sphere a static contact with this normal, as a mover's delivery does.
  void TouchStatic(const Vector3& normal) {
    m_contactNormal = normal;
    CollisionInfo info;
    info.kind = CollisionInfo::kStatic;
    HandleCollision(&info, &m_hit);
  }

  bool withInfo = false;
  bool bulldozer = false;  // ignores bodies, so it keeps meeting them
  std::vector<const CollisionInfo*> heard;
  float worstGain = 0.0f;
  int bounces = 0;
  int completed = 0;

 private:
  CollisionInfo m_info;
};

// A flat square wall of two triangles through `centre`, spanning +-half along u and w.
void AddWall(std::vector<std::unique_ptr<Tri>>& out, const Vector3& centre, const Vector3& u, const Vector3& w,
             float half) {
  const Vector3 a = centre - u * half - w * half, b = centre + u * half - w * half;
  const Vector3 c = centre + u * half + w * half, d = centre - u * half + w * half;
  out.push_back(std::make_unique<Tri>(a, b, c));
  out.push_back(std::make_unique<Tri>(a, c, d));
}

constexpr float kDt = 1.0f / 60.0f;

struct World {
  COctree tree{Box(Vector3(-32, -32, -32), Vector3(32, 32, 32))};
  std::vector<std::unique_ptr<Tri>> tris;
  std::vector<std::unique_ptr<Block>> blocks;
  void FileAll() {
    for (auto& t : tris) tree.InsertObject(t.get());
    for (auto& b : blocks) tree.InsertObject(b.get());
  }
};

}  // namespace

TEST(CollisionObjects, FlagBitsAndSetUp) {
  CCollisionObject plain;
  EXPECT_EQ(plain.GetBoundFlags(), 0x204u);
  const uint32_t bits[6] = {0x4, 0x8, 0x10, 0x20, 0x40, 0x80};
  for (int i = 0; i < 6; ++i) {
    bool on[6] = {};
    on[i] = true;
    plain.SetCollisionFlags(on[0], on[1], on[2], on[3], on[4], on[5]);
    EXPECT_EQ(plain.GetBoundFlags() & 0xFC, bits[i]);
    EXPECT_TRUE(plain.HasAllFlags(0x200));  // other bits are left alone
  }
  Ball ball;
  EXPECT_FALSE(ball.IsSetUp());
  EXPECT_FALSE(ball.Place(Vector3(0, 0, 0), Vector3(0, 0, 0), 0.0f, 0.5f, 0));
  EXPECT_FALSE(ball.Place(Vector3(0, 0, 0), Vector3(NAN, 0, 0), 1.0f, 0.5f, 0));
  EXPECT_FALSE(ball.IsSetUp());
  ASSERT_TRUE(ball.Place(Vector3(1, 2, 3), Vector3(0, 0, 0), 0.5f, 0.5f, 0));
  EXPECT_TRUE(ball.IsSetUp());
  using namespace CollisionFlags;
  EXPECT_TRUE(ball.HasAllFlags(kCandidate | kSubStep | kBlocks | kHearsMovers));
  EXPECT_FALSE(ball.GetBoundFlags() & (kOffersExtraInfos | kPushable));
  EXPECT_EQ(ball.GetBounds().min, Vector3(0.5f, 1.5f, 2.5f));
  Ball ghost;
  ASSERT_TRUE(ghost.Place(Vector3(0, 0, 0), Vector3(0, 0, 0), 0.5f, -1.0f, 0));
  EXPECT_FALSE(ghost.HasAllFlags(kBlocks));  // passes through things

  // Movers delete their queries through the base class.
  std::unique_ptr<GenericIntersection> query(ball.CreateSweepQuery(0.5f));
  ASSERT_EQ(query->kind, 2u);
  EXPECT_EQ(static_cast<BeamInfo*>(query.get())->radius, 0.5f);
}

TEST(CollisionObjects, ResponseReflectsOnlyTheApproachingPart) {
  plat::srand(303);
  for (int i = 0; i < 2000; ++i) {
    Ball ball;
    const float e = Uniform(0, 1), f = Uniform(0, 1);
    const Vector3 v = RandomPoint(20);
    ASSERT_TRUE(ball.Place(Vector3(0, 0, 0), v, 1.0f, e, f));
    Vector3 n = RandomPoint(1);
    if (n.Length() < 0.1f) continue;
    n = n * (1.0f / n.Length());
    ball.TouchStatic(n);
    const Vector3 after = ball.GetVelocity();
    const float vn = v.Dot(n);
    if (vn >= 0.0f) {
      EXPECT_EQ(after, v);  // already leaving: untouched
      continue;
    }
    EXPECT_NEAR(after.Dot(n), -e * vn, 1e-3f);
    const Vector3 tangentBefore = v - n * vn, tangentAfter = after - n * after.Dot(n);
    EXPECT_LT((tangentAfter - tangentBefore * (1 - f)).Length(), 1e-3f);
    EXPECT_LE(after.Length(), v.Length() + 1e-4f);
  }
  // A sphere with negative restitution passes through and never responds.
  Ball ghost;
  ASSERT_TRUE(ghost.Place(Vector3(0, 0, 0), Vector3(0, 0, -5), 1.0f, -1.0f, 0.5f));
  ghost.TouchStatic(Vector3(0, 0, 1));
  EXPECT_EQ(ghost.GetVelocity(), Vector3(0, 0, -5));
}

TEST(CollisionMove, FreeFlightAndHeadOnWalls) {
  World world;
  AddWall(world.tris, Vector3(5, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  world.FileAll();

  Ball free;
  ASSERT_TRUE(free.Place(Vector3(0, 0, 0), Vector3(0, 6, 0), 0.5f, 0.5f, 0));
  world.tree.InsertObject(&free);
  EXPECT_TRUE(free.Move(&world.tree, 0.5f, false, CActiveCollisionObject::kTopDepth, nullptr));
  EXPECT_EQ(free.GetCentre(), Vector3(0, 3, 0));
  EXPECT_EQ(free.completed, 0);
  EXPECT_EQ(free.GetBounds().min, Vector3(-0.5f, 2.5f, -0.5f));

  // Head-on, restitution 0.5: half the normal speed, reversed; creeps to 0.05 short.
  Ball bounce;
  ASSERT_TRUE(bounce.Place(Vector3(0, 0, 0), Vector3(10, 0, 0), 0.5f, 0.5f, 0));
  world.tree.InsertObject(&bounce);
  EXPECT_FALSE(bounce.Move(&world.tree, 0.5f, false, CActiveCollisionObject::kTopDepth, nullptr) &&
               bounce.GetVelocity().x > 0);
  EXPECT_NEAR(bounce.GetVelocity().x, -5.0f, 1e-4f);
  ASSERT_FALSE(bounce.GetHitObjects().empty());
  EXPECT_EQ(bounce.GetContactNormals()[0], Vector3(-1, 0, 0));
  EXPECT_LE(bounce.GetCentre().x, 4.5f - 0.04f);

  // Without sub-steps the sphere stays where it was for the contact; friction 1 stops the slide.
  Ball stay;
  ASSERT_TRUE(stay.Place(Vector3(0, 0, 0), Vector3(20, 5, 0), 0.5f, 0.0f, 1.0f));
  stay.ClearBoundFlags(CollisionFlags::kSubStep);
  world.tree.InsertObject(&stay);
  stay.Move(&world.tree, 0.5f, false, CActiveCollisionObject::kTopDepth, nullptr);
  EXPECT_EQ(stay.GetCentre(), Vector3(0, 0, 0));
  EXPECT_NEAR(stay.GetVelocity().Length(), 0.0f, 1e-5f);

  // Sliding along the wall with no friction keeps the tangential motion.
  Ball slide;
  ASSERT_TRUE(slide.Place(Vector3(4.45f, -2, 0), Vector3(0.5f, 8, 0), 0.5f, 0.0f, 0.0f));
  world.tree.InsertObject(&slide);
  slide.Move(&world.tree, 0.25f, false, CActiveCollisionObject::kTopDepth, nullptr);
  EXPECT_NEAR(slide.GetVelocity().y, 8.0f, 1e-5f);
  EXPECT_NEAR(slide.GetVelocity().x, 0.0f, 1e-5f);
  EXPECT_GT(slide.GetCentre().y, -2.0f + 1.0f);
}

TEST(CollisionMove, PinnedBetweenWallsGivesUpAfterFiveContacts) {
  World world;
  AddWall(world.tris, Vector3(0.51f, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  AddWall(world.tris, Vector3(-0.51f, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  world.FileAll();
  Ball ball;
  ASSERT_TRUE(ball.Place(Vector3(0, 0, 0), Vector3(30, 0, 0), 0.5f, 1.0f, 0));
  ball.ClearBoundFlags(CollisionFlags::kSubStep);
  world.tree.InsertObject(&ball);
  EXPECT_FALSE(ball.Move(&world.tree, 1.0f, false, CActiveCollisionObject::kTopDepth, nullptr));
  EXPECT_EQ(ball.GetHitObjects().size(), 5u);
  EXPECT_EQ(ball.completed, 1);
  EXPECT_EQ(ball.GetCentre(), Vector3(0, 0, 0));
  EXPECT_NEAR(ball.GetVelocity().Length(), 30.0f, 1e-3f);  // bounced, never sped up
}

TEST(CollisionMove, BothPartiesHearOfContactsOncePerMove) {
  World world;
  AddWall(world.tris, Vector3(3, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  for (auto& t : world.tris) t->AddBoundFlags(CollisionFlags::kHearsMovers);
  world.FileAll();
  Ball ball;
  ball.withInfo = true;
  ASSERT_TRUE(ball.Place(Vector3(0, -0.3f, 0), Vector3(10, 0, 0), 0.5f, 0.8f, 0));
  world.tree.InsertObject(&ball);
  ball.Move(&world.tree, 0.5f, false, CActiveCollisionObject::kTopDepth, nullptr);
  ASSERT_EQ(ball.heard.size(), 1u);
  EXPECT_EQ(ball.heard[0]->kind, uint32_t(CollisionInfo::kStatic));
  EXPECT_EQ(ball.heard[0]->surface, SurfaceType::Get(1));
  // Both halves of the wall are met at the same time; the first one met is told.
  const auto heardByWall = [&] { return world.tris[0]->heard.size() + world.tris[1]->heard.size(); };
  ASSERT_EQ(heardByWall(), 1u);
  const Tri& told = world.tris[0]->heard.empty() ? *world.tris[1] : *world.tris[0];
  EXPECT_EQ(told.heard[0]->object, &ball);
  EXPECT_EQ(told.heard[0]->surface, SurfaceType::Get(3));

  // A sphere that passes through things still tells those that listen, once per move.
  Ball ghost;
  ghost.withInfo = true;
  ASSERT_TRUE(ghost.Place(Vector3(0, -0.3f, 0), Vector3(12, 0, 0), 0.5f, -1.0f, 0));
  world.tree.InsertObject(&ghost);
  for (auto& t : world.tris) t->heard.clear();
  EXPECT_TRUE(ghost.Move(&world.tree, 0.5f, false, CActiveCollisionObject::kTopDepth, nullptr));
  EXPECT_EQ(ghost.GetCentre().x, 6.0f);
  EXPECT_EQ(heardByWall(), 2u);  // it crossed both halves
  EXPECT_TRUE(ghost.heard.empty());
}

TEST(CollisionMove, PushableBodiesMoveTheOneInTheWayFirst) {
  COctree tree(Box(Vector3(-32, -32, -32), Vector3(32, 32, 32)));
  Ball pusher, pushed;
  pusher.withInfo = pushed.withInfo = true;
  pusher.bulldozer = true;
  ASSERT_TRUE(pusher.Place(Vector3(0, 0, 0), Vector3(10, 0, 0), 0.5f, 0.0f, 0));
  ASSERT_TRUE(pushed.Place(Vector3(2, 0, 0), Vector3(4, 0, 0), 0.5f, 0.0f, 0));
  pusher.AddBoundFlags(CollisionFlags::kPushable);
  pushed.AddBoundFlags(CollisionFlags::kPushable);
  pusher.ClearBoundFlags(CollisionFlags::kSubStep);
  tree.InsertObject(&pusher);
  tree.InsertObject(&pushed);
  pusher.Move(&tree, 0.5f, false, CActiveCollisionObject::kTopDepth, nullptr);
  // First contact after 0.1 s (the pusher stays put, it does not creep); the second meeting at
  // the next level moves the one in the way over the 0.4 s left, with accumulating time; then
  // the pusher repeats its level: contact after 0.26 s more, and free flight for the rest.
  EXPECT_NEAR(pushed.GetCentre().x, 2.0f + 4 * 0.4f, 1e-4f);
  EXPECT_NEAR(pushed.GetMovedTime(), 0.4f, 1e-6f);
  EXPECT_NEAR(pusher.GetCentre().x, 10 * 0.14f, 1e-4f);
  EXPECT_EQ(pusher.GetHitObjects().size(), 2u);  // the push itself is not a contact of its own
}

TEST(CollisionMove, NothingTunnelsThroughAThinWall) {
  World world;
  AddWall(world.tris, Vector3(0, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 8);
  world.FileAll();
  plat::srand(301);
  for (int trial = 0; trial < 40; ++trial) {
    Ball ball;
    const Vector3 v(Uniform(500, 3000), Uniform(-50, 50), Uniform(-50, 50));
    ASSERT_TRUE(ball.Place(Vector3(-2, Uniform(-1, 1), Uniform(-1, 1)), v, Uniform(0.05f, 0.3f), Uniform(0, 1),
                           Uniform(0, 1)));
    world.tree.InsertObject(&ball);
    for (int step = 0; step < 10; ++step) {
      ball.Move(&world.tree, kDt, false, CActiveCollisionObject::kTopDepth, nullptr);
      ASSERT_LE(ball.GetCentre().x, -ball.GetRadius() + 1e-3f) << "trial " << trial << " step " << step;
    }
    EXPECT_LE(ball.worstGain, 1e-3f);
  }
}

TEST(CollisionMove, LongRunsNeverEndInsideGeometryNorGainEnergyAtContacts) {
  // A closed room of triangles with blocks standing in it; gravity pulls the spheres down.
  World world;
  const float h = 6.0f;
  AddWall(world.tris, Vector3(h, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), h);
  AddWall(world.tris, Vector3(-h, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), h);
  AddWall(world.tris, Vector3(0, h, 0), Vector3(1, 0, 0), Vector3(0, 0, 1), h);
  AddWall(world.tris, Vector3(0, -h, 0), Vector3(1, 0, 0), Vector3(0, 0, 1), h);
  AddWall(world.tris, Vector3(0, 0, h), Vector3(1, 0, 0), Vector3(0, 1, 0), h);
  AddWall(world.tris, Vector3(0, 0, -h), Vector3(1, 0, 0), Vector3(0, 1, 0), h);
  plat::srand(302);
  for (int i = 0; i < 6; ++i) {
    Box b;
    b.SetFromPoints(RandomPoint(4.5f), RandomPoint(4.5f));
    world.blocks.push_back(std::make_unique<Block>(b));
  }
  // A sloped ramp across a corner.
  world.tris.push_back(std::make_unique<Tri>(Vector3(-6, -6, -2), Vector3(0, -6, -6), Vector3(-6, 0, -6)));
  world.FileAll();
  const auto clearance = [&](const Vector3& c) {
    float gap = FLT_MAX;
    for (int axis = 0; axis < 3; ++axis) gap = std::min({gap, h - c[axis], c[axis] + h});
    for (const auto& b : world.blocks) {
      float sum = 0;
      for (int a = 0; a < 3; ++a) {
        const float d = std::max({b->GetBounds().min[a] - c[a], c[a] - b->GetBounds().max[a], 0.0f});
        sum += d * d;
      }
      gap = std::min(gap, std::sqrt(sum));
    }
    const Tri& ramp = *world.tris.back();
    const float side = (c - ramp.p[0]).Dot(ramp.normal);
    return std::min(gap, side);  // the ramp's cut-off corner counts as solid
  };
  int bounces = 0;
  for (int trial = 0; trial < 12; ++trial) {
    Ball ball;
    const float r = Uniform(0.2f, 0.7f);
    Vector3 start;
    do {
      start = RandomPoint(5);
    } while (clearance(start) < r + 0.05f);
    ASSERT_TRUE(ball.Place(start, RandomPoint(15), r, Uniform(0, 1), Uniform(0, 1)));
    if (trial % 2) ball.ClearBoundFlags(CollisionFlags::kSubStep);
    world.tree.InsertObject(&ball);
    for (int step = 0; step < 600; ++step) {
      ball.SetVelocity(ball.GetVelocity() + Vector3(0, 0, -9.8f * kDt));
      ball.Move(&world.tree, kDt, false, CActiveCollisionObject::kTopDepth, nullptr);
      ASSERT_GE(clearance(ball.GetCentre()), r - 1e-3f) << "trial " << trial << " step " << step;
    }
    EXPECT_LE(ball.worstGain, 1e-4f) << "trial " << trial;
    bounces += ball.bounces;
  }
  EXPECT_GT(bounces, 500);
}
