// Octree box and ray queries against a brute-force scan of the same objects, at 1,000, 10,000 and
// 100,000 objects. Compare each Octree* line with the Scan* line of the same size; OctreeMove
// refiles one moved object per iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cfloat>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"

namespace {

class Item : public CBoundedObject {
 public:
  explicit Item(const Box& box) {
    SetBoundFlags(kRenderable);
    SetBounds(box);
  }
};

constexpr float kWorld = 1000.0f;

// A level of n small objects scattered over the world, with a fixed set of probe boxes and rays.
struct Level {
  std::vector<std::unique_ptr<Item>> items;
  std::unique_ptr<COctree> tree;
  std::vector<Box> boxes;
  std::vector<RayInfo> rays;

  explicit Level(size_t n) {
    std::mt19937 random(static_cast<unsigned>(n));
    std::uniform_real_distribution<float> at(0.0f, kWorld - 10.0f), size(0.5f, 5.0f), dir(-100.0f, 100.0f);
    tree = std::make_unique<COctree>(Box(Vector3(0, 0, 0), Vector3(kWorld, kWorld, kWorld)));
    for (size_t i = 0; i < n; ++i) {
      const Vector3 lo(at(random), at(random), at(random));
      items.push_back(std::make_unique<Item>(Box(lo, lo + Vector3(size(random), size(random), size(random)))));
      tree->InsertObject(items.back().get());
    }
    for (int i = 0; i < 256; ++i) {
      const Vector3 lo(at(random), at(random), at(random));
      boxes.emplace_back(lo, lo + Vector3(20, 20, 20));
      const Vector3 start(at(random), at(random), at(random));
      rays.emplace_back(start, start + Vector3(dir(random), dir(random), dir(random)));
    }
  }
};

Level& LevelOf(size_t n) {
  static std::map<size_t, std::unique_ptr<Level>> levels;
  std::unique_ptr<Level>& level = levels[n];
  if (level == nullptr) level = std::make_unique<Level>(n);
  return *level;
}

bool Touch(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

void OctreeBox(benchmark::State& state) {
  Level& level = LevelOf(static_cast<size_t>(state.range(0)));
  std::vector<CBoundedObject*> found;
  size_t i = 0, total = 0;
  for (auto _ : state) {
    found.clear();
    level.tree->QueryBox(level.boxes[i++ & 255], &found, CBoundedObject::kRenderable);
    total += found.size();
  }
  state.counters["found"] = benchmark::Counter(double(total), benchmark::Counter::kAvgIterations);
}

void ScanBox(benchmark::State& state) {
  Level& level = LevelOf(static_cast<size_t>(state.range(0)));
  std::vector<CBoundedObject*> found;
  size_t i = 0, total = 0;
  for (auto _ : state) {
    found.clear();
    const Box& box = level.boxes[i++ & 255];
    for (const auto& item : level.items)
      if (item->HasAllFlags(CBoundedObject::kRenderable) && Touch(item->GetBounds(), box)) found.push_back(item.get());
    total += found.size();
  }
  state.counters["found"] = benchmark::Counter(double(total), benchmark::Counter::kAvgIterations);
}

void OctreeRay(benchmark::State& state) {
  Level& level = LevelOf(static_cast<size_t>(state.range(0)));
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    RayInfo ray = level.rays[i++ & 255];
    CBoundedObject* hit = nullptr;
    hits += level.tree->RayQuery(ray, &hit, CBoundedObject::kRenderable, true, 0.5f) ? 1 : 0;
    benchmark::DoNotOptimize(hit);
  }
  state.counters["hit"] = benchmark::Counter(double(hits), benchmark::Counter::kAvgIterations);
}

void ScanRay(benchmark::State& state) {
  Level& level = LevelOf(static_cast<size_t>(state.range(0)));
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    const RayInfo& probe = level.rays[i++ & 255];
    float best = FLT_MAX;
    CBoundedObject* hit = nullptr;
    for (const auto& item : level.items) {
      if (!item->HasAllFlags(CBoundedObject::kRenderable)) continue;
      RayInfo ray(probe.start, probe.end);
      if (ray.IntersectBox(item->GetBounds()) && item->Intersect(&ray) && ray.result.time < best) {
        best = ray.result.time;
        hit = item.get();
      }
    }
    hits += hit != nullptr ? 1 : 0;
    benchmark::DoNotOptimize(hit);
  }
  state.counters["hit"] = benchmark::Counter(double(hits), benchmark::Counter::kAvgIterations);
}

// Moves one object a step and refiles it, as every mover does each tick: removal plus filing.
void OctreeMove(benchmark::State& state) {
  // Its own level, so the query benchmarks keep probing the objects where they were placed.
  static std::map<size_t, std::unique_ptr<Level>> levels;
  std::unique_ptr<Level>& moving = levels[static_cast<size_t>(state.range(0))];
  if (moving == nullptr) moving = std::make_unique<Level>(static_cast<size_t>(state.range(0)));
  Level& level = *moving;
  size_t i = 0;
  float step = 3.0f;
  for (auto _ : state) {
    Item& item = *level.items[i++ % level.items.size()];
    const Box& box = item.GetBounds();
    const Vector3 move(step, step, step);  // stays inside the world on the way out
    item.SetBounds(Box(box.min + move, box.max + move));
    level.tree->UpdateObject(&item);
    if (i % level.items.size() == 0) step = -step;  // every object goes back and forth
  }
}

}  // namespace

BENCHMARK(OctreeMove)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(OctreeBox)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(ScanBox)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(OctreeRay)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(ScanRay)->Arg(1000)->Arg(10000)->Arg(100000);
