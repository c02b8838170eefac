// The game's random generator: the portable linear congruential generator
// (multiplier 1103515245, increment 12345, bits 16..30 of the state), so a
// seed gives the same sequence on every machine and C library.
#include "platform/system/Platform.h"

#include <atomic>
#include <cstdint>

namespace {
// Only the low 31 bits of the state reach the result, so 32-bit wrap-around
// arithmetic gives exactly the sequence of a wider state.
std::atomic<uint32_t> gState{1};
}  // namespace

namespace plat {

int rand() {
  uint32_t state = gState.load(std::memory_order_relaxed);
  uint32_t next;
  // A compare-exchange keeps concurrent callers from drawing the same value.
  do {
    next = state * 1103515245u + 12345u;
  } while (!gState.compare_exchange_weak(state, next, std::memory_order_relaxed));
  return static_cast<int>((next / 65536u) % 32768u);
}

void srand(unsigned seed) { gState.store(static_cast<uint32_t>(seed), std::memory_order_relaxed); }

}  // namespace plat
