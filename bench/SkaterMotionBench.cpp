// Skater motion cost on the demo level: every skater follows a looping route over the level's
// ground (throttle, drive, a swept move against the level's collision faces, orientation), one
// route step per skater per tick. Reports microseconds per skater-tick; the goal is 500 skaters
// in under 5 ms a tick.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/EngineRegistration.h"
#include "core/spatial/Octree.h"
#include "park/grid/Grid.h"
#include "park/grid/GridSquare.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterMotion.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContentLevel.h"

namespace {

constexpr float kDt = 0.033f;
constexpr int kLoopCorners = 4;
constexpr int kRouteLength = 40;

float Uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(plat::rand()) / 32767.0f; }

// A square loop of route squares around a random point of the level, repeated along the route.
void GiveLoop(CSkater& skater, CGrid& grid, int firstSquare) {
  const Vector3 centre(Uniform(8.0f, 60.0f), Uniform(8.0f, 60.0f), 2.0f);
  const float half = Uniform(2.0f, 5.0f);
  const Vector3 corners[kLoopCorners] = {centre + Vector3(-half, -half, 0), centre + Vector3(half, -half, 0),
                                         centre + Vector3(half, half, 0), centre + Vector3(-half, half, 0)};
  for (int k = 0; k < kLoopCorners; ++k) grid.GetSquareByIndex(firstSquare + k)->SetPosition(corners[k]);
  skater.route.steps.clear();
  for (int i = 0; i < kRouteLength; ++i) {
    CSkater::RouteStep step;
    step.nodeId = static_cast<uint32_t>(firstSquare + i % kLoopCorners);
    step.hasLink = i > 0;
    step.edge = PathEdgeInfo{0.0f, kLinkSkate, 0};
    skater.route.steps.push_back(step);
  }
  skater.route.mode = 1;
  skater.route.index = 1;
  skater.SetState(CSkater::kSkating, 0);
  COrientation frame;
  frame.SetPosition(corners[0] + Vector3(0, 0, 0.5f));
  skater.LoadBody(frame);
}

void BM_SkaterRouteStep(benchmark::State& state) {
  RegisterEngine();
  plat::SetDebugSink([](const char*) {});
  plat::srand(12345);
  const int count = static_cast<int>(state.range(0));
  std::unique_ptr<ShadedMesh> mesh = DemoContent::BuildLevelMesh();
  {
    CVerezIvor park(nullptr, nullptr);
    park.GetOctree().Reset(DemoContent::LevelWorldBox());
    park.AddTerrainMesh(mesh.get(), nullptr, true, false);
    park.SetGrid(std::make_unique<CGrid>(50, 50, Vector3(-200.0f, -200.0f, 0.0f), 1.0f, 1.0f));
    std::vector<std::unique_ptr<CSkater>> skaters;
    for (int i = 0; i < count; ++i) {
      skaters.push_back(std::make_unique<CSkater>());
      GiveLoop(*skaters.back(), *park.GetGrid(), i * kLoopCorners);
    }
    // Let everyone land and get going before measuring.
    for (int tick = 0; tick < 30; ++tick)
      for (auto& s : skaters) s->GetMotion().RouteStep(kDt);
    for (auto _ : state) {
      for (auto& s : skaters) {
        s->GetMotion().RouteStep(kDt);
        // Round the loop again well before the route's end slow-down.
        if (s->route.index >= kRouteLength - 6) s->route.index -= 4 * ((kRouteLength - 8) / 4);
        if (s->mind.state != CSkater::kSkating) s->SetState(CSkater::kSkating, 0);
      }
    }
    // Time per skater-tick (printed with its SI prefix, e.g. "2.7us").
    state.counters["per_skater_tick"] = benchmark::Counter(static_cast<double>(state.iterations()) * count,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // A check that the skaters really ride the level: the share in ground contact, their mean speed.
    double grounded = 0.0, speed = 0.0;
    for (auto& s : skaters) {
      grounded += s->GetMotion().HasGroundContact() ? 1.0 : 0.0;
      speed += s->GetVelocity().Length();
    }
    state.counters["grounded"] = grounded / count;
    state.counters["mean_speed"] = speed / count;
    skaters.clear();
    park.ClearWorld();
  }
}
BENCHMARK(BM_SkaterRouteStep)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
