// Push and pop of 100k search nodes: the engine's self-indexing heap beside std::priority_queue.
#include <benchmark/benchmark.h>

#include <queue>
#include <random>
#include <vector>

#include "core/spatial/PriorityQueue.h"

namespace {

constexpr int kCount = 100000;

struct Node : CQueueableObject {
  float cost = 0.0f;
  bool IsBefore(const CQueueableObject* other) const override {
    return cost < static_cast<const Node*>(other)->cost;
  }
};

std::vector<Node>& Nodes() {
  static std::vector<Node> nodes = [] {
    std::vector<Node> made(kCount);
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> dist(0.0f, 1000.0f);
    for (Node& n : made) n.cost = dist(rng);
    return made;
  }();
  return nodes;
}

void BM_PriorityQueue_PushPop(benchmark::State& state) {
  std::vector<Node>& nodes = Nodes();
  CPriorityQueue queue;
  for (auto _ : state) {
    for (Node& n : nodes) queue.Push(&n);
    while (CQueueableObject* e = queue.Pop()) benchmark::DoNotOptimize(e);
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_PriorityQueue_PushPop)->Unit(benchmark::kMillisecond);

// The same pointers and the same comparison, through the standard adaptor.
struct LaterCost {
  bool operator()(const Node* a, const Node* b) const { return b->cost < a->cost; }
};

void BM_StdPriorityQueue_PushPop(benchmark::State& state) {
  std::vector<Node>& nodes = Nodes();
  std::vector<Node*> storage;
  storage.reserve(kCount);
  std::priority_queue<Node*, std::vector<Node*>, LaterCost> queue(LaterCost(), std::move(storage));
  for (auto _ : state) {
    for (Node& n : nodes) queue.push(&n);
    while (!queue.empty()) {
      benchmark::DoNotOptimize(queue.top());
      queue.pop();
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_StdPriorityQueue_PushPop)->Unit(benchmark::kMillisecond);

}  // namespace
