// Collision against a 100,000-triangle terrain: swept-sphere moves and segment queries through the
// octree, each beside a plain scan of every triangle with the same query in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "core/spatial/Octree.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/SphereCollisionObject.h"
#include "physics/collision/SurfaceType.h"
#include "physics/terrain/TerrainCollision.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr uint32_t kGridSide = 225;  // 2 x 224 x 224 = 100,352 triangles
constexpr float kCell = 0.5f;        // 112 m across
constexpr float kHalf = 0.5f * kCell * (kGridSide - 1);
constexpr float kDt = 1.0f / 60.0f;
constexpr float kGravity = 9.8f;
constexpr int kTop = CActiveCollisionObject::kTopDepth;
// Sphere states and segments per pass; every benchmark runs whole passes.
constexpr int kPass = 1024;

// Rolling hills with small bumps, so spheres roll, bounce and meet faces, edges and corners.
float Height(float x, float y) {
  return 2.0f * std::sin(0.11f * x) * std::cos(0.07f * y) + 0.25f * std::sin(0.9f * x + 0.5f * y);
}

struct Triangle {
  Vector3 a, b, k, n;
  Box box;
};

// The reference terrain: one object whose shape is every triangle, each put through the
// query's own one-sided polygon test (as the terrain polygons do), nearest kept. Filed alone,
// it makes the movers' candidate search trivial and leaves the whole cost to the scan.
class ScannedTerrain : public CCollisionObject {
 public:
  explicit ScannedTerrain(std::vector<Triangle> triangles) : m_triangles(std::move(triangles)) {
    Box box = m_triangles[0].box;
    for (const Triangle& t : m_triangles) box.ExtendByBox(t.box);
    SetBounds(box);
  }
  bool Intersect(GenericIntersection* query) override { return Nearest(*query); }
  const CollisionInfo* GetCollisionInfo(CCollisionObject*) override { return &m_info; }

  bool Nearest(GenericIntersection& query) const {
    IntersectionResult best = query.result;
    best.Reset();
    Vector3 bestNormal = query.normal;
    for (const Triangle& t : m_triangles) {
      query.result.Reset();
      if (query.IntersectPolygon(t.a, t.b, t.k, t.n, false, &t.box) && query.result.time < best.time) {
        best = query.result;
        bestNormal = query.normal;
      }
    }
    query.result = best;
    query.normal = bestNormal;
    return best.time < FLT_MAX;
  }

 private:
  std::vector<Triangle> m_triangles;
  CollisionInfo m_info{CollisionInfo::kStatic, this, SurfaceType::Get(0), nullptr};
};

// A sphere's state just before one step (gravity already applied to the velocity).
struct Snapshot {
  Vector3 centre, velocity;
  float radius;
};

void Place(CSphereCollisionObject& ball, const Snapshot& s, COctree& tree) {
  const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, s.centre.x, s.centre.y, s.centre.z};
  ball.SetOrientation(frame, &tree);
  ball.SetVelocity(s.velocity);
}

struct Scene {
  std::unique_ptr<ShadedMesh> mesh;
  std::unique_ptr<CMeshInstance> instance;
  // A cube around the terrain and the air above it, as a level's tree would be.
  COctree octree{Box(Vector3(-64, -64, -64), Vector3(64, 64, 64))};    // the terrain polygons
  COctree scanned{Box(Vector3(-64, -64, -64), Vector3(64, 64, 64))};   // the reference terrain alone
  std::unique_ptr<ScannedTerrain> reference;
  CSphereCollisionObject treeBall, scanBall;
  std::vector<Snapshot> snapshots;
  std::vector<RayInfo> segments;
  std::mt19937 rng{7};

  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }

  Scene() {
    mesh.reset(new ShadedMesh());
    mesh->CreateGrid(kGridSide, nullptr, 0);
    // Heights along the side the faces look to, so that everything comes from their front.
    mesh->SetFrame(0);
    mesh->ComputeAllFaceNormals();
    const float up = mesh->faceNormals[0].z >= 0.0f ? 1.0f : -1.0f;
    for (uint32_t r = 0; r < kGridSide; ++r) {
      for (uint32_t c = 0; c < kGridSide; ++c) {
        const float x = c * kCell - kHalf, y = r * kCell - kHalf;
        mesh->allPositions[r * kGridSide + c] = Vector3(x, y, up * Height(x, y));
      }
    }
    mesh->SetFrame(0);
    mesh->ComputeAllFaceNormals();
    mesh->ComputeBounds();
    instance.reset(new CMeshInstance());
    instance->SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr);
    BuildTerrainCollisionPolygons(&octree, instance.get(), nullptr, 7, nullptr, false, false);

    std::vector<Triangle> triangles;
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      Triangle t{instance->GetCornerWorldPosition(f, 0), instance->GetCornerWorldPosition(f, 1),
                 instance->GetCornerWorldPosition(f, 2), instance->GetWorldFaceNormal(f), Box()};
      t.box.SetFromTriangle(t.a, t.b, t.k);
      triangles.push_back(t);
    }
    reference.reset(new ScannedTerrain(std::move(triangles)));
    scanned.InsertObject(reference.get());

    const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 50};
    treeBall.Setup(frame, Vector3(0, 0, 0), 0.5f, nullptr, 0.3f, 0.1f);
    scanBall.Setup(frame, Vector3(0, 0, 0), 0.5f, nullptr, 0.3f, 0.1f);
    octree.InsertObject(&treeBall);
    scanned.InsertObject(&scanBall);
    TakeSnapshots(up);
    MakeSegments(up);
    Check();
  }

  Snapshot Spawn(float up) {
    const float x = Uniform(-0.8f * kHalf, 0.8f * kHalf), y = Uniform(-0.8f * kHalf, 0.8f * kHalf);
    const float r = Uniform(0.25f, 0.6f), a = Uniform(0.0f, 6.2831853f), speed = Uniform(2.0f, 15.0f);
    return {Vector3(x, y, up * (Height(x, y) + r + Uniform(0.1f, 3.0f))),
            Vector3(speed * std::cos(a), speed * std::sin(a), Uniform(-3.0f, 3.0f)), r};
  }

  // States met over the last three of four seconds of 64 spheres dropped on the hills, rolling,
  // bouncing and flying off crests, in a fixed shuffled order: every side runs whole passes over
  // them, so both move through the same mix of free flight and contact.
  void TakeSnapshots(float up) {
    std::vector<Snapshot> balls;
    for (int i = 0; i < 64; ++i) balls.push_back(Spawn(up));
    for (int step = 0; step < 240; ++step) {
      for (Snapshot& b : balls) {
        b.velocity.z -= up * kGravity * kDt;
        if (step >= 48 && step % 12 == 0) snapshots.push_back(b);
        treeBall.SetRadius(b.radius, &octree);
        Place(treeBall, b, octree);
        treeBall.Move(&octree, kDt, false, kTop, nullptr);
        b.centre = treeBall.GetCentre();
        b.velocity = treeBall.GetVelocity();
        if (std::fabs(b.centre.x) > 0.95f * kHalf || std::fabs(b.centre.y) > 0.95f * kHalf) b = Spawn(up);
      }
    }
    std::shuffle(snapshots.begin(), snapshots.end(), rng);
  }

  // Half short probes straight down from just above the ground (where a skater stands), half
  // long sight lines between two points above the hills, some of which the hills cut.
  void MakeSegments(float up) {
    for (int i = 0; i < kPass; ++i) {
      const float x = Uniform(-kHalf, kHalf), y = Uniform(-kHalf, kHalf);
      const Vector3 from(x, y, up * (Height(x, y) + Uniform(0.2f, 1.5f)));
      if (i % 2 == 0) {
        segments.emplace_back(from, from - Vector3(0, 0, up * 3.0f));
        continue;
      }
      const float a = Uniform(0.0f, 6.2831853f), length = Uniform(5.0f, 40.0f);
      const float ex = x + length * std::cos(a), ey = y + length * std::sin(a);
      segments.emplace_back(from, Vector3(ex, ey, up * (Height(ex, ey) + Uniform(0.2f, 1.5f))));
    }
  }

  // Both sides must give the same answers, or the timings compare different work.
  void Check() {
    int moveAgree = 0, segmentAgree = 0, hits = 0;
    for (const Snapshot& s : snapshots) {
      MoveOne(treeBall, octree, s);
      MoveOne(scanBall, scanned, s);
      moveAgree += (treeBall.GetCentre() - scanBall.GetCentre()).Length() < 1e-3f;
    }
    for (const RayInfo& segment : segments) {
      RayInfo walked = segment, scan = segment;
      CBoundedObject* hit = nullptr;
      const bool a = octree.RayQuery(walked, &hit, CBoundedObject::kStaticTerrain, true, 1.0f);
      const bool b = reference->Nearest(scan);
      hits += b;
      segmentAgree += a == b && (!a || std::fabs(walked.result.time - scan.result.time) < 1e-5f);
    }
    std::fprintf(stderr, "terrain: %u triangles; moves agreeing %d/%zu; segments agreeing %d/%zu (%d hit)\n",
                 mesh->faceCount, moveAgree, snapshots.size(), segmentAgree, segments.size(), hits);
  }

  void MoveOne(CSphereCollisionObject& ball, COctree& tree, const Snapshot& s) {
    if (ball.GetRadius() != s.radius) ball.SetRadius(s.radius, &tree);
    Place(ball, s, tree);
    ball.Move(&tree, kDt, false, kTop, nullptr);
  }
};

Scene& GetScene() {
  static Scene scene;
  return scene;
}

void RunMoves(benchmark::State& state, bool useOctree) {
  Scene& s = GetScene();
  CSphereCollisionObject& ball = useOctree ? s.treeBall : s.scanBall;
  COctree& tree = useOctree ? s.octree : s.scanned;
  size_t i = 0, contacts = 0;
  for (auto _ : state) {
    s.MoveOne(ball, tree, s.snapshots[i++ % s.snapshots.size()]);
    contacts += ball.GetHitObjects().size();
  }
  state.counters["moves_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["contacts_per_move"] = double(contacts) / double(state.iterations());
}

void RunSegments(benchmark::State& state, bool useOctree) {
  Scene& s = GetScene();
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    RayInfo q = s.segments[i++ % s.segments.size()];
    CBoundedObject* hit = nullptr;
    hits += useOctree ? s.octree.RayQuery(q, &hit, CBoundedObject::kStaticTerrain, true, 1.0f) : s.reference->Nearest(q);
    benchmark::DoNotOptimize(q.result.time);
  }
  state.counters["queries_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["hit_rate"] = double(hits) / double(state.iterations());
}

void BM_SphereMoveOctree(benchmark::State& state) { RunMoves(state, true); }
void BM_SphereMoveScan(benchmark::State& state) { RunMoves(state, false); }
void BM_SegmentOctree(benchmark::State& state) { RunSegments(state, true); }
void BM_SegmentScan(benchmark::State& state) { RunSegments(state, false); }

}  // namespace

BENCHMARK(BM_SphereMoveOctree)->Unit(benchmark::kMicrosecond)->Iterations(100 * kPass);
BENCHMARK(BM_SphereMoveScan)->Unit(benchmark::kMicrosecond)->Iterations(kPass);
BENCHMARK(BM_SegmentOctree)->Unit(benchmark::kMicrosecond)->Iterations(200 * kPass);
BENCHMARK(BM_SegmentScan)->Unit(benchmark::kMicrosecond)->Iterations(kPass);
