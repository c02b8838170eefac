// Swept movement of spheres through small worlds: responses, contact delivery, pushing and long random runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/Octree.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/CollisionFlags.h"
#include "physics/collision/SphereCollisionObject.h"
#include "physics/collision/SurfaceType.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tools/DemoContent.h"

using physics_test::RandomPoint;
using physics_test::Uniform;

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr int kTop = CActiveCollisionObject::kTopDepth;

// A static object that counts what it is told: a plain box, or a two-sided triangle.
class Surface : public CCollisionObject {
 public:
  Surface(const Vector3& a, const Vector3& b, const Vector3& k) : p{a, b, k}, triangle(true) {
    normal = (b - a).Cross(k - a);
    normal = normal * (1.0f / normal.Length());
    Box box;
    box.SetFromPoints(a, b);
    box.ExtendByPoint(k);
    SetBounds(box);
    info.surface = SurfaceType::Get(1);
  }
  explicit Surface(const Box& box) : triangle(false) {
    SetBounds(box);
    info.surface = SurfaceType::Get(2);
  }
  bool Intersect(GenericIntersection* q) override {
    return triangle ? q->IntersectTriangle(p[0], p[1], p[2], normal, false, nullptr) : q->IntersectBox(GetBounds());
  }
  const CollisionInfo* GetCollisionInfo(CCollisionObject*) override { return &info; }
  bool HandleCollision(const CollisionInfo* from, const IntersectionResult*) override {
    heard.push_back(from);
    return true;
  }
  Vector3 p[3], normal;
  bool triangle;
  CollisionInfo info{CollisionInfo::kStatic, this, nullptr, nullptr};
  std::vector<const CollisionInfo*> heard;
};

// A sphere that checks every bounce and counts its completed moves.
class Ball : public CSphereCollisionObject {
 public:
  bool Place(const Vector3& at, const Vector3& v, float r, float restitution, float friction) {
    const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, at.x, at.y, at.z};
    return Setup(frame, v, r, nullptr, restitution, friction);
  }
  // Hands the sphere a static contact with this normal, as a mover's delivery does.
  void TouchStatic(const Vector3& n) {
    m_contactNormal = n;
    const CollisionInfo touched{CollisionInfo::kStatic, nullptr, nullptr, nullptr};
    HandleCollision(&touched, &m_hit);
  }
  const CollisionInfo* GetCollisionInfo(CCollisionObject*) override { return withInfo ? &info : nullptr; }
  bool HandleCollision(const CollisionInfo* from, const IntersectionResult* hit) override {
    heard.push_back(from);
    normals.push_back(m_contactNormal);
    return CSphereCollisionObject::HandleCollision(from, hit);
  }
  void CollideWithStatic(const CollisionInfo* from, const IntersectionResult* hit) override {
    const float before = GetVelocity().Length();
    CSphereCollisionObject::CollideWithStatic(from, hit);
    worstGain = std::max(worstGain, GetVelocity().Length() - before);
    ++bounces;
  }
  void CollideWithBody(const CollisionInfo* from, const IntersectionResult* hit) override {
    if (!bulldozer) CSphereCollisionObject::CollideWithBody(from, hit);
  }
  void OnMoveComplete() override { ++completed; }
  // Counts the sweeps, and past a limit makes no more: a move that would run on for ever ends.
  SweepQuery CreateSweepQuery(float dt) override {
    return ++sweeps > kSweepLimit ? SweepQuery() : CSphereCollisionObject::CreateSweepQuery(dt);
  }
  bool Step(COctree& tree, float dt) { return Move(&tree, dt, false, kTop, nullptr); }

  static constexpr int kSweepLimit = 100000;
  int sweeps = 0;

  bool withInfo = false, bulldozer = false;  // a bulldozer ignores bodies, so it keeps meeting them
  CollisionInfo info{CollisionInfo::kBody, this, SurfaceType::Get(3), nullptr};
  std::vector<const CollisionInfo*> heard;
  std::vector<Vector3> normals;  // the contact normal each time it heard
  float worstGain = 0.0f;
  int bounces = 0, completed = 0;
};

struct World {
  COctree tree{Box(Vector3(-32, -32, -32), Vector3(32, 32, 32))};
  std::vector<std::unique_ptr<Surface>> parts;
  // A square of two triangles through centre, spanning +-half along u and w.
  void Wall(const Vector3& centre, const Vector3& u, const Vector3& w, float half) {
    const Vector3 a = centre - (u + w) * half, b = centre + (u - w) * half, c = centre + (u + w) * half;
    Add(std::make_unique<Surface>(a, b, c));
    Add(std::make_unique<Surface>(a, c, centre - (u - w) * half));
  }
  void Add(std::unique_ptr<Surface> s) {
    tree.InsertObject(s.get());
    parts.push_back(std::move(s));
  }
  Ball& Place(Ball& ball) {
    tree.InsertObject(&ball);
    return ball;
  }
};

}  // namespace

TEST(CollisionObjects, SetUpAndTheBounce) {
  Ball ball, ghost;
  EXPECT_FALSE(ball.Place(Vector3(), Vector3(), 0.0f, 0.5f, 0));
  EXPECT_FALSE(ball.Place(Vector3(), Vector3(NAN, 0, 0), 1.0f, 0.5f, 0));
  COctree tree(Box(Vector3(-8, -8, -8), Vector3(8, 8, 8)));
  EXPECT_FALSE(ball.Step(tree, 0.1f));  // an unset sphere neither moves nor is met
  RayInfo through(Vector3(-2, 0, 0), Vector3(2, 0, 0));
  EXPECT_FALSE(ball.Intersect(&through));
  ASSERT_TRUE(ball.Place(Vector3(1, 2, 3), Vector3(), 0.0625f, 0.5f, 0));  // however small, a sphere is set up
  using namespace CollisionFlags;
  EXPECT_EQ(ball.GetBounds().min, Vector3(0.9375f, 1.9375f, 2.9375f));
  ASSERT_TRUE(ghost.Place(Vector3(), Vector3(0, 0, -5), 0.5f, -1.0f, 0.5f));
  EXPECT_FALSE(ghost.HasAllFlags(kBlocks));  // passes through things and never bounces
  ghost.TouchStatic(Vector3(0, 0, 1));
  EXPECT_EQ(ghost.GetVelocity(), Vector3(0, 0, -5));
  // A sphere's query is made for its sweep and freed through the base class with the holder
  // (the sanitizer checks the destructor); a moved holder hands it over whole.
  SweepQuery query = ball.CreateSweepQuery(0.5f);
  ASSERT_TRUE(query);
  EXPECT_FALSE(query.IsShared());
  GenericIntersection* made = query.Get();
  SweepQuery taken = std::move(query);
  EXPECT_FALSE(query);
  EXPECT_EQ(taken.Get(), made);

  // The bounce against a direct computation: only the approaching part is reflected.
  plat::srand(303);
  for (int i = 0; i < 2000; ++i) {
    const float e = Uniform(0, 1), f = Uniform(0, 1);
    const Vector3 v = RandomPoint(20), n0 = RandomPoint(1);
    if (n0.Length() < 0.1f) continue;
    const Vector3 n = n0 * (1.0f / n0.Length());
    ASSERT_TRUE(ball.Place(Vector3(), v, 1.0f, e, f));
    ball.TouchStatic(n);
    const Vector3 after = ball.GetVelocity();
    const float vn = v.Dot(n);
    if (vn >= 0.0f) {
      EXPECT_EQ(after, v);  // already leaving: untouched
      continue;
    }
    EXPECT_NEAR(after.Dot(n), -e * vn, 1e-3f);
    EXPECT_LT(((after - n * after.Dot(n)) - (v - n * vn) * (1 - f)).Length(), 1e-3f);
  }
}

TEST(CollisionObjects, SpheresOwnTheInstanceOfTheirMesh) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildBox(3, 3, 3));
  ASSERT_NE(mesh, nullptr);
  COctree tree(Box(Vector3(-16, -16, -16), Vector3(16, 16, 16)));
  Ball ball;
  const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0};
  ASSERT_TRUE(ball.Setup(frame, Vector3(1, 0, 0), 0.5f, mesh.get(), 0.5f, 0));
  ASSERT_NE(ball.GetMeshInstance(), nullptr);
  EXPECT_EQ(ball.GetMeshInstance()->GetWorldMatrix().position, Vector3(2, 0, 0));  // placed from the start
  EXPECT_TRUE(ball.OwnsMeshInstance());
  EXPECT_GE(ball.GetLocalBounds().max.x, mesh->radius * 0.999f);  // the bounds take the mesh's size
  tree.InsertObject(&ball);
  ball.Step(tree, 1.0f);
  EXPECT_EQ(ball.GetMeshInstance()->GetWorldMatrix().position, Vector3(3, 0, 0));  // follows the sphere
  ball.SetOrientation(frame, &tree);
  EXPECT_EQ(ball.GetBounds().max, Vector3(2, 0, 0) + ball.GetLocalBounds().max);  // placed back, bounds and all
  ball.SetMesh(nullptr, &tree, false);
  EXPECT_EQ(ball.GetMeshInstance(), nullptr);
  EXPECT_EQ(ball.GetLocalBounds().max.x, 0.5f);
  ball.SetMesh(mesh.get(), &tree, true);  // the instance goes with the ball, before the mesh
  EXPECT_TRUE(tree.Contains(&ball));
}

TEST(CollisionMove, FreeFlightWallsAndTheContactLimit) {
  World world;
  world.Wall(Vector3(5, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  Ball free, bounce, stay, slide;
  ASSERT_TRUE(free.Place(Vector3(0, 0, 0), Vector3(0, 6, 0), 0.5f, 0.5f, 0));
  EXPECT_TRUE(world.Place(free).Step(world.tree, 0.5f));
  EXPECT_EQ(free.GetCurrentQuery(), nullptr);  // the finished move holds no query
  EXPECT_EQ(free.GetCentre(), Vector3(0, 3, 0));
  EXPECT_EQ(free.GetBounds().min, Vector3(-0.5f, 2.5f, -0.5f));
  // Head-on, restitution 0.5: half the normal speed, reversed; creeps up to 0.05 short.
  ASSERT_TRUE(bounce.Place(Vector3(0, 0, 0), Vector3(10, 0, 0), 0.5f, 0.5f, 0));
  world.Place(bounce).Step(world.tree, 0.5f);
  EXPECT_NEAR(bounce.GetVelocity().x, -5.0f, 1e-4f);
  ASSERT_EQ(bounce.GetContactNormals().size(), 1u);
  EXPECT_EQ(bounce.GetContactNormals()[0], Vector3(-1, 0, 0));
  // 0.445 s to there, and the step's last 0.055 s back at 5: 4.45 - 0.275.
  EXPECT_NEAR(bounce.GetCentre().x, 4.175f, 1e-4f);
  // 0.052 short of the wall, the creep up to it would be too short to take: the ball bounces
  // where it is and spends the whole step going back at 0.5.
  Ball close;
  ASSERT_TRUE(close.Place(Vector3(4.448f, 0, 0), Vector3(1, 0, 0), 0.5f, 0.5f, 0));
  world.Place(close).Step(world.tree, 0.5f);
  EXPECT_NEAR(close.GetCentre().x, 4.198f, 1e-4f);
  // Without sub-steps it stays put for the contact; friction 1 leaves no tangential speed.
  ASSERT_TRUE(stay.Place(Vector3(0, 0, 0), Vector3(20, 5, 0), 0.5f, 0.0f, 1.0f));
  stay.ClearBoundFlags(CollisionFlags::kSubStep);
  world.Place(stay).Step(world.tree, 0.5f);
  EXPECT_EQ(stay.GetCentre(), Vector3(0, 0, 0));
  EXPECT_NEAR(stay.GetVelocity().Length(), 0.0f, 1e-5f);
  // Sliding along the wall without friction keeps the tangential motion.
  ASSERT_TRUE(slide.Place(Vector3(4.45f, -2, 0), Vector3(0.5f, 8, 0), 0.5f, 0.0f, 0.0f));
  world.Place(slide).Step(world.tree, 0.25f);
  EXPECT_NEAR(slide.GetVelocity().y, 8.0f, 1e-5f);
  EXPECT_NEAR(slide.GetVelocity().x, 0.0f, 1e-5f);
  EXPECT_GT(slide.GetCentre().y, -1.0f);

  // Pinned between two walls, bouncing: gives up after the fifth contact of one move.
  World narrow;
  narrow.Wall(Vector3(0.51f, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  narrow.Wall(Vector3(-0.51f, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  for (auto& part : narrow.parts) part->AddBoundFlags(CollisionFlags::kHearsMovers);
  Ball pinned;
  pinned.withInfo = true;
  ASSERT_TRUE(pinned.Place(Vector3(0, 0, 0), Vector3(30, 0, 0), 0.5f, 1.0f, 0));
  pinned.ClearBoundFlags(CollisionFlags::kSubStep);
  EXPECT_FALSE(narrow.Place(pinned).Step(narrow.tree, 1.0f));
  EXPECT_EQ(pinned.completed, 1);
  EXPECT_NEAR(pinned.GetVelocity().Length(), 30.0f, 1e-3f);
  size_t told = 0;
  for (const auto& part : narrow.parts) told += part->heard.size();
  EXPECT_EQ(told, 2u);  // five contacts, but each wall told once per move
  // The next move keeps its own lists: five contacts, on the far and the near wall in turn.
  pinned.Step(narrow.tree, 1.0f);
  EXPECT_EQ(pinned.GetHitObjects().size(), 5u);
  ASSERT_EQ(pinned.GetContactNormals().size(), 5u);
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(pinned.GetContactNormals()[i], pinned.GetContactNormals()[i - 1] * -1.0f);
}

// Sweeps a float cannot measure: a fall so fast that the sweep's length overflows (the stand-off
// step becomes 0) or so fast that the stand-off is below the precision of the time left, on a
// radius below the smallest normal float or of a millimetre. Each move ends after a few sweeps,
// above the floor.
TEST(CollisionMove, SweepsTooLongOrTooFineToMeasureEndInFewSteps) {
  World world;
  world.Wall(Vector3(0, 0, -1), Vector3(1, 0, 0), Vector3(0, 1, 0), 8);
  for (float radius : {9.4e-39f, 1e-3f, 0.45f}) {
    for (float speed : {1.5e23f, 1e9f, 1e6f}) {
      Ball ball;
      ASSERT_TRUE(ball.Place(Vector3(0.5f, 0.25f, 0), Vector3(0, 0, -speed), radius, 0.0f, 0.0f));
      world.Place(ball);
      for (int tick = 0; tick < 3; ++tick) ball.Step(world.tree, 0.033f);
      // Five contact levels, each with its first sweep and at most sixteen sub-steps.
      EXPECT_LE(ball.sweeps, 3 * 5 * 17) << radius << " " << speed;
      EXPECT_GE(ball.GetCentre().z, -1.0f) << radius << " " << speed;
      EXPECT_EQ(ball.GetCentre().x, 0.5f);
    }
  }
}

TEST(CollisionMove, BothPartiesHearOnceAndPushablesMoveFirst) {
  World world;
  world.Wall(Vector3(3, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 4);
  for (auto& part : world.parts) part->AddBoundFlags(CollisionFlags::kHearsMovers);
  const auto heardByWall = [&] { return world.parts[0]->heard.size() + world.parts[1]->heard.size(); };
  Ball ball, ghost;
  ball.withInfo = ghost.withInfo = true;
  ASSERT_TRUE(ball.Place(Vector3(0, -0.3f, 0), Vector3(10, 0, 0), 0.5f, 0.8f, 0));
  world.Place(ball).Step(world.tree, 0.5f);
  ASSERT_EQ(ball.heard.size(), 1u);
  EXPECT_EQ(ball.heard[0]->surface, SurfaceType::Get(1));
  ASSERT_EQ(heardByWall(), 1u);  // both halves are met at once; the first one is told
  const Surface& told = world.parts[0]->heard.empty() ? *world.parts[1] : *world.parts[0];
  EXPECT_EQ(told.heard[0]->surface, SurfaceType::Get(3));
  // Passing through, a sphere still tells each listener once per move.
  for (auto& part : world.parts) part->heard.clear();
  ASSERT_TRUE(ghost.Place(Vector3(0, -0.3f, 0), Vector3(12, 0, 0), 0.5f, -1.0f, 0));
  EXPECT_TRUE(world.Place(ghost).Step(world.tree, 0.5f));
  EXPECT_EQ(ghost.GetCentre().x, 6.0f);
  EXPECT_EQ(heardByWall(), 2u);
  // A wall half that offers extra infos has the mover hear each one, with the normal of that contact.
  const CollisionInfo extra{CollisionInfo::kStatic, nullptr, SurfaceType::Get(4), nullptr};
  world.parts[1]->AddBoundFlags(CollisionFlags::kOffersExtraInfos);
  world.parts[1]->ExtraInfos() = {&extra, &extra};
  ASSERT_TRUE(ghost.Place(Vector3(0, -0.3f, 0), Vector3(12, 0, 0), 0.5f, -1.0f, 0));
  ghost.Step(world.tree, 0.5f);
  EXPECT_EQ(ghost.heard, std::vector<const CollisionInfo*>({&extra, &extra}));  // none from the pass before
  EXPECT_EQ(ghost.normals, std::vector<Vector3>({Vector3(-1, 0, 0), Vector3(-1, 0, 0)}));

  // A pusher meets the one in its way at two levels: that one moves first (accumulating time),
  // then the pusher repeats its level. Contact after 0.1 s, push over the 0.4 s left, then a
  // contact after 0.26 s more and free flight for the last 0.14 s.
  COctree tree(Box(Vector3(-32, -32, -32), Vector3(32, 32, 32)));
  Ball pusher, pushed;
  pusher.withInfo = pushed.withInfo = pusher.bulldozer = true;
  ASSERT_TRUE(pusher.Place(Vector3(0, 0, 0), Vector3(10, 0, 0), 0.5f, 0.0f, 0));
  ASSERT_TRUE(pushed.Place(Vector3(2, 0, 0), Vector3(4, 0, 0), 0.5f, 0.0f, 0));
  pusher.AddBoundFlags(CollisionFlags::kPushable);
  pushed.AddBoundFlags(CollisionFlags::kPushable);
  pusher.ClearBoundFlags(CollisionFlags::kSubStep);
  tree.InsertObject(&pusher);
  tree.InsertObject(&pushed);
  pusher.Step(tree, 0.5f);
  EXPECT_NEAR(pushed.GetCentre().x, 2.0f + 4 * 0.4f, 1e-4f);
  EXPECT_NEAR(pushed.GetMovedTime(), 0.4f, 1e-6f);
  EXPECT_NEAR(pusher.GetCentre().x, 10 * 0.14f, 1e-4f);
  EXPECT_EQ(pusher.GetHitObjects().size(), 2u);  // the push itself is no contact of its own
}

TEST(CollisionMove, LongRunsNeverTunnelEndInsideGeometryOrGainEnergy) {
  // A thin wall hit at high speed.
  World thin;
  thin.Wall(Vector3(0, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), 8);
  plat::srand(301);
  for (int trial = 0; trial < 40; ++trial) {
    Ball ball;
    const Vector3 v(Uniform(500, 3000), Uniform(-50, 50), Uniform(-50, 50));
    ASSERT_TRUE(ball.Place(Vector3(-2, Uniform(-1, 1), Uniform(-1, 1)), v, Uniform(0.05f, 0.3f), Uniform(0, 1),
                           Uniform(0, 1)));
    for (int step = 0; step < 10; ++step) {
      thin.Place(ball).Step(thin.tree, kDt);
      ASSERT_LE(ball.GetCentre().x, -ball.GetRadius() + 1e-3f) << "trial " << trial << " step " << step;
    }
  }
  // A closed room of triangles with blocks standing in it and a ramp across a corner; gravity.
  World room;
  const float h = 6.0f;
  const Vector3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
  for (float side : {-h, h}) {
    room.Wall(x * side, y, z, h);
    room.Wall(y * side, x, z, h);
    room.Wall(z * side, x, y, h);
  }
  for (int i = 0; i < 6; ++i) {
    Box b;
    b.SetFromPoints(RandomPoint(4.5f), RandomPoint(4.5f));
    room.Add(std::make_unique<Surface>(b));
  }
  room.Add(std::make_unique<Surface>(Vector3(-6, -6, -2), Vector3(0, -6, -6), Vector3(-6, 0, -6)));
  const Surface& ramp = *room.parts.back();
  const auto clearance = [&](const Vector3& c) {
    float gap = (c - ramp.p[0]).Dot(ramp.normal);  // the corner behind the ramp counts as solid
    for (int axis = 0; axis < 3; ++axis) gap = std::min({gap, h - c[axis], c[axis] + h});
    for (const auto& part : room.parts) {
      if (part->triangle) continue;
      Vector3 out;
      for (int a = 0; a < 3; ++a) out[a] = std::max({part->GetBounds().min[a] - c[a], c[a] - part->GetBounds().max[a], 0.0f});
      gap = std::min(gap, out.Length());
    }
    return gap;
  };
  int bounces = 0;
  for (int trial = 0; trial < 12; ++trial) {
    Ball ball;
    const float r = Uniform(0.2f, 0.7f);
    Vector3 start = RandomPoint(5);
    while (clearance(start) < r + 0.05f) start = RandomPoint(5);
    ASSERT_TRUE(ball.Place(start, RandomPoint(15), r, Uniform(0, 1), Uniform(0, 1)));
    if (trial % 2) ball.ClearBoundFlags(CollisionFlags::kSubStep);
    room.Place(ball);
    for (int step = 0; step < 600; ++step) {
      ball.SetVelocity(ball.GetVelocity() + Vector3(0, 0, -9.8f * kDt));
      ball.Step(room.tree, kDt);
      ASSERT_GE(clearance(ball.GetCentre()), r - 1e-3f) << "trial " << trial << " step " << step;
    }
    EXPECT_LE(ball.worstGain, 1e-4f) << "trial " << trial;  // no contact ever adds speed
    bounces += ball.bounces;
  }
  EXPECT_GT(bounces, 500);
}
