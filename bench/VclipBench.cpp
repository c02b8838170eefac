// Closest-feature queries between convex pairs of 20 to 200 vertices that move a little each
// step, with the feature cache warm and cold, beside libccd's GJK on the same pairs and poses;
// and rigid-body integration steps.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "physics/polyhedron/PolyTree.h"
#include "physics/polyhedron/Polyhedron.h"
#include "physics/polyhedron/VclipWalk.h"
#include "physics/polymath/Se3.h"
#include "physics/rigid/ForceAccumulatorConstant.h"
#include "physics/rigid/RigidBodyIntegrate.h"
#include "physics/rigid/RigidBodyState.h"
#include "physics/rigid/RigidConstMass.h"
#include "platform/system/Platform.h"

#ifdef KELVARUN_HAVE_CCD
#include <ccd/ccd.h>
#endif

namespace {

constexpr int kPairs = 16;
constexpr int kSteps = 1024;  // poses per pair; the motion loops smoothly

float Uniform(float lo, float hi) {
  return lo + (hi - lo) * static_cast<float>(plat::rand()) / static_cast<float>(plat::kRandMax);
}

VclipVector3 UnitVector() {
  for (;;) {
    const VclipVector3 v(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1));
    const float length = v.Length();
    if (length > 0.1f && length <= 1.0f) return v.Scaled(1.0f / length);
  }
}

// A polyhedron with exactly `count` vertices (points on an ellipsoid), its tree, and the
// vertex neighbours a hill-climbing support function walks.
struct Shape {
  std::unique_ptr<PolyTree> tree;
  std::vector<VclipVector3> points;
  std::vector<std::vector<int>> neighbours;
};

std::unique_ptr<Shape> MakeShape(int count) {
  const VclipVector3 axes(Uniform(0.6f, 1.2f), Uniform(0.6f, 1.2f), Uniform(0.6f, 1.2f));
  auto poly = std::make_shared<Polyhedron>();
  for (int i = 0; i < count; ++i) {
    const VclipVector3 u = UnitVector();
    poly->addVertex(("v" + std::to_string(i)).c_str(), VclipVector3(u.x * axes.x, u.y * axes.y, u.z * axes.z));
  }
  if (poly->buildHull() != 0) return nullptr;
  auto shape = std::make_unique<Shape>();
  std::map<const Vertex*, int> index;
  for (const Vertex& v : poly->vertices()) {
    index[&v] = static_cast<int>(shape->points.size());
    shape->points.push_back(v.coords);
  }
  shape->neighbours.resize(shape->points.size());
  for (const Edge& e : poly->edges()) {
    shape->neighbours[index[e.tail]].push_back(index[e.head]);
    shape->neighbours[index[e.head]].push_back(index[e.tail]);
  }
  shape->tree = std::make_unique<PolyTree>("shape");
  shape->tree->setPolyhedron(std::move(poly));
  return shape;
}

// Pairs of shapes and, for each, a loop of poses of the second relative to the first:
// it spins slowly and sways in and out, rarely touching. Steps are ~0.01 long and turn
// ~0.6 degrees, the motion of a body over one frame.
struct Scene {
  std::vector<std::unique_ptr<Shape>> shapes;
  std::vector<std::vector<Se3>> poses;
};

const Scene& SceneWith(int vertices) {
  static std::map<int, std::unique_ptr<Scene>> scenes;
  std::unique_ptr<Scene>& scene = scenes[vertices];
  if (scene) return *scene;
  plat::srand(static_cast<unsigned>(vertices));
  scene = std::make_unique<Scene>();
  for (int p = 0; p < kPairs; ++p) {
    for (int k = 0; k < 2; ++k) scene->shapes.push_back(MakeShape(vertices));
    const VclipVector3 axis = UnitVector(), u = UnitVector();
    VclipVector3 v = VclipVector3::Cross(u, UnitVector());
    v = v.Scaled(1.0f / v.Length());
    const float phase = Uniform(0.0f, 6.2832f);
    std::vector<Se3> loop;
    for (int s = 0; s < kSteps; ++s) {
      const float angle = 6.2832f * static_cast<float>(s) / kSteps;
      VclipQuaternion spin;
      spin.SetFromAngleAxis(angle * 10.0f, axis, true);
      const float reach = 2.7f + 0.6f * std::cos(angle * 2.0f + phase);
      const float side = 0.8f * std::sin(angle);
      loop.emplace_back(spin, VclipVector3(reach * u.x + side * v.x, reach * u.y + side * v.y,
                                           reach * u.z + side * v.z));
    }
    scene->poses.push_back(std::move(loop));
  }
  return *scene;
}

const Shape& First(const Scene& s, int pair) { return *s.shapes[2 * pair]; }
const Shape& Second(const Scene& s, int pair) { return *s.shapes[2 * pair + 1]; }

// Every pair takes one step per round; one query is one pair at one pose.
template <typename Query>
void RunQueries(benchmark::State& state, const Scene& scene, Query&& query) {
  int step = 0, pair = 0;
  float sum = 0.0f;
  for (auto _ : state) {
    sum += query(pair, scene.poses[pair][step]);
    if (++pair == kPairs) {
      pair = 0;
      step = (step + 1) % kSteps;
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_VclipCoherent(benchmark::State& state) {
  const Scene& scene = SceneWith(static_cast<int>(state.range(0)));
  ClosestFeatureCache cache;
  VclipVector3 c1, c2;
  double calls = 0, touching = 0;
  RunQueries(state, scene, [&](int p, const Se3& rel) {
    const float d = VClip::Run(*First(scene, p).tree, *Second(scene, p).tree, rel, cache, c1, c2);
    calls += VClip::LastHandlerCalls();
    touching += d <= 0.0f;
    return d;
  });
  // How far each small motion walks, and how often the pairs meet.
  state.counters["steps/query"] = calls / static_cast<double>(state.iterations());
  state.counters["touching"] = touching / static_cast<double>(state.iterations());
}
BENCHMARK(BM_VclipCoherent)->Arg(20)->Arg(50)->Arg(100)->Arg(200);

// The same queries with no memory of the last pair: each walk starts at the first vertices.
void BM_VclipCold(benchmark::State& state) {
  const Scene& scene = SceneWith(static_cast<int>(state.range(0)));
  VclipVector3 c1, c2;
  RunQueries(state, scene, [&](int p, const Se3& rel) {
    ClosestFeatureCache cache(7);
    return VClip::Run(*First(scene, p).tree, *Second(scene, p).tree, rel, cache, c1, c2);
  });
}
BENCHMARK(BM_VclipCold)->Arg(20)->Arg(50)->Arg(100)->Arg(200);

#ifdef KELVARUN_HAVE_CCD

// A shape in a pose as libccd sees it: the support point is found in the shape's own frame,
// either by scanning every vertex or by climbing from the last answer (as coherent as the
// walk's cache).
struct CcdBody {
  const Shape* shape = nullptr;
  Se3 pose;
  bool climb = false;
  mutable int hint = 0;
  double grow = 0.0;  // radius of a ball added to the shape (distance by bisection)
};

float DotLocal(const VclipVector3& a, const VclipVector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

int SupportIndex(const CcdBody& body, const VclipVector3& dir) {
  const std::vector<VclipVector3>& pts = body.shape->points;
  if (!body.climb) {
    int best = 0;
    float bestDot = DotLocal(pts[0], dir);
    for (size_t i = 1; i < pts.size(); ++i) {
      const float d = DotLocal(pts[i], dir);
      if (d > bestDot) bestDot = d, best = static_cast<int>(i);
    }
    return best;
  }
  // The vertex dot product is unimodal over a convex polyhedron's edge graph.
  int at = body.hint;
  float atDot = DotLocal(pts[at], dir);
  for (bool moved = true; moved;) {
    moved = false;
    for (int n : body.shape->neighbours[at]) {
      const float d = DotLocal(pts[n], dir);
      if (d > atDot) atDot = d, at = n, moved = true;
    }
  }
  body.hint = at;
  return at;
}

void CcdSupport(const void* obj, const ccd_vec3_t* dir, ccd_vec3_t* out) {
  const CcdBody& body = *static_cast<const CcdBody*>(obj);
  VclipVector3 local;
  body.pose.rotation.InverseRotate(
      VclipVector3(static_cast<float>(ccdVec3X(dir)), static_cast<float>(ccdVec3Y(dir)),
                   static_cast<float>(ccdVec3Z(dir))),
      local);
  VclipVector3 p = body.pose.Transform(body.shape->points[SupportIndex(body, local)]);
  if (body.grow > 0.0) {
    const double length = std::sqrt(ccdVec3Len2(dir));
    if (length > 0.0) {
      const float s = static_cast<float>(body.grow / length);
      p.Add(VclipVector3(static_cast<float>(ccdVec3X(dir)) * s, static_cast<float>(ccdVec3Y(dir)) * s,
                         static_cast<float>(ccdVec3Z(dir)) * s));
    }
  }
  ccdVec3Set(out, p.x, p.y, p.z);
}

ccd_t CcdSetup() {
  ccd_t ccd;
  CCD_INIT(&ccd);
  ccd.support1 = ccd.support2 = CcdSupport;
  ccd.max_iterations = 1000;
  return ccd;
}

// One GJK overlap query per pose: the least work libccd does for a pair. This version of
// libccd has no distance query, and a GJK distance runs at least these iterations.
void BM_CcdGjkOverlap(benchmark::State& state) {
  const Scene& scene = SceneWith(static_cast<int>(state.range(0)));
  const bool climb = state.range(1) != 0;
  std::vector<CcdBody> first(kPairs), second(kPairs);
  for (int p = 0; p < kPairs; ++p) {
    first[p].shape = &First(scene, p);
    second[p].shape = &Second(scene, p);
    first[p].climb = second[p].climb = climb;
  }
  const ccd_t ccd = CcdSetup();
  RunQueries(state, scene, [&](int p, const Se3& rel) {
    second[p].pose = rel;
    return static_cast<float>(ccdGJKIntersect(&first[p], &second[p], &ccd));
  });
}
BENCHMARK(BM_CcdGjkOverlap)
    ->ArgNames({"verts", "climb"})
    ->Args({20, 0})->Args({50, 0})->Args({100, 0})->Args({200, 0})
    ->Args({20, 1})->Args({50, 1})->Args({100, 1})->Args({200, 1});

// A distance from libccd to the walk's precision (1e-4 relative): bisection on the radius
// of a ball grown onto one shape, each probe a GJK overlap query, climbing supports.
void BM_CcdGjkBisectedDistance(benchmark::State& state) {
  const Scene& scene = SceneWith(static_cast<int>(state.range(0)));
  std::vector<CcdBody> first(kPairs), second(kPairs);
  for (int p = 0; p < kPairs; ++p) {
    first[p].shape = &First(scene, p);
    second[p].shape = &Second(scene, p);
    first[p].climb = second[p].climb = true;
  }
  const ccd_t ccd = CcdSetup();
  RunQueries(state, scene, [&](int p, const Se3& rel) {
    CcdBody& b = second[p];
    b.pose = rel;
    b.grow = 0.0;
    if (ccdGJKIntersect(&first[p], &b, &ccd)) return 0.0f;
    double lo = 0.0, hi = 8.0;
    while (hi - lo > 1e-4 * hi) {
      b.grow = 0.5 * (lo + hi);
      (ccdGJKIntersect(&first[p], &b, &ccd) ? hi : lo) = b.grow;
    }
    return static_cast<float>(hi);
  });
}
BENCHMARK(BM_CcdGjkBisectedDistance)->Arg(20)->Arg(50)->Arg(100)->Arg(200);

#endif  // KELVARUN_HAVE_CCD

// One fourth-order step of n spinning bodies under gravity, then their pose step.
void BM_RigidBodyStepRK4(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const RigidPointMass balls[] = {{Vector3(0.5f, 0, 0), 1.0f, 0.2f}, {Vector3(-0.5f, 0, 0), 1.0f, 0.2f},
                                  {Vector3(0, 0.3f, 0), 2.0f, 0.2f}};
  RigidMassProperties mass;
  mass.SetFromPointMasses(balls, 3);
  std::vector<RigidBodyState> bodies(n);
  std::vector<std::unique_ptr<CConstantForceAccumulator>> gravity;
  std::vector<RigidBodyState*> bodyList;
  std::vector<CForceAccumulator*> accList;
  const auto reset = [&] {
    for (int i = 0; i < n; ++i) {
      bodies[i].Init(COrientation(TMatrix(), Vector3(static_cast<float>(i), 0, 100)), Vector3(1, 0, 0),
                     Vector3(0.3f, 0.1f, 2.0f), &mass, nullptr, false);
    }
  };
  reset();
  for (int i = 0; i < n; ++i) {
    gravity.push_back(std::make_unique<CConstantForceAccumulator>(&bodies[i], Vector3(0, 0, -9.8f * mass.mass),
                                                                  Vector3()));
    bodyList.push_back(&bodies[i]);
    accList.push_back(gravity.back().get());
  }
  int steps = 0;
  for (auto _ : state) {
    IntegrateRigidBodiesRK4(bodyList.data(), bodyList.size(), accList.data(), accList.size(), 0.01f);
    for (RigidBodyState& b : bodies) {
      b.AdvancePose(0.01f);
      b.CommitPose();
    }
    if (++steps == 1000) {  // keep the numbers in a realistic range
      state.PauseTiming();
      reset();
      steps = 0;
      state.ResumeTiming();
    }
  }
  benchmark::DoNotOptimize(bodies[0].position);
  state.SetItemsProcessed(state.iterations() * n);  // body steps
}
BENCHMARK(BM_RigidBodyStepRK4)->Arg(1)->Arg(64);

}  // namespace
