// World throughput: object-update passes over 10,000 registered objects, and messages routed to
// objects in single-player mode.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/EngineRegistration.h"
#include "core/world/GameMessage.h"
#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "platform/system/Platform.h"

namespace {

// The worlds measured here are built as the game builds its own, with the engine's parts registered.
[[maybe_unused]] const bool registered = [] {
  RegisterEngine();
  return true;
}();

class Trivial : public CGameObject {
 public:
  Trivial() { SetFlags(kNetworked); }
  void Update(float dt) override { m_time += dt; }
  bool ReceiveMessage(uint32_t senderID, const uint8_t* message) override {
    m_sum += message[GameMessage::kHeaderSize];
    return true;
  }

 private:
  float m_time = 0.0f;
  uint32_t m_sum = 0;
};

// The world logs every registration; the benchmark measures the world, not the log.
struct QuietLog {
  QuietLog() { previous = plat::SetDebugSink([](const char*) {}); }
  ~QuietLog() { plat::SetDebugSink(previous); }
  plat::DebugSink previous;
};

void BM_UpdateObjects(benchmark::State& state) {
  QuietLog quiet;
  CGameWorld world(nullptr, nullptr);
  const int count = static_cast<int>(state.range(0));
  for (int i = 0; i < count; ++i) world.RegisterNewObject(std::make_unique<Trivial>());
  for (auto _ : state) world.UpdateObjects(0.033f);
  state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["objects"] = static_cast<double>(world.GetObjectCount());
}
BENCHMARK(BM_UpdateObjects)->Arg(10000);

void BM_RouteMessages(benchmark::State& state) {
  QuietLog quiet;
  CGameWorld world(nullptr, nullptr);
  std::vector<uint32_t> ids;
  for (int i = 0; i < 10000; ++i) ids.push_back(world.RegisterNewObject(std::make_unique<Trivial>()));
  size_t next = 0;
  for (auto _ : state) {
    uint8_t* message = world.AllocMessage(16);
    GameMessage::SetHeader(message, 16, ids[next], 40);
    message[GameMessage::kHeaderSize] = 1;
    world.SendMessage(0, message, true, true);
    next = next + 1 < ids.size() ? next + 1 : 0;
  }
  state.counters["messages/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RouteMessages);

}  // namespace
