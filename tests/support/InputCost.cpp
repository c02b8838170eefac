// InputCost: allocation counting through the sanitizer's allocator hooks where the tests run
// under AddressSanitizer, through a replaced operator new elsewhere.
#include "tests/support/InputCost.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KELVARUN_COST_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVARUN_COST_HOOKS 1
#endif
#endif

#if defined(KELVARUN_COST_HOOKS)
// The sanitizer runtime's allocator interface; GCC ships the runtime but not this header.
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                              void (*onFree)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* block);
}
#endif

namespace {

constexpr double kFloorSeconds = 5.0;  // room for stalls on a loaded two-core machine under the sanitizers
constexpr double kSecondsPerByte = 0.050 / 1024.0;
constexpr size_t kFloorHeapBytes = 1u << 20;
constexpr size_t kHeapBytesPerByte = 64;

std::atomic<bool> g_counting{false};
std::atomic<long long> g_current{0};
std::atomic<long long> g_peak{0};

void Allocated(size_t bytes) {
  if (!g_counting.load(std::memory_order_relaxed)) return;
  const long long now = g_current.fetch_add(static_cast<long long>(bytes)) + static_cast<long long>(bytes);
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

void Freed(size_t bytes) {
  if (g_counting.load(std::memory_order_relaxed)) g_current.fetch_sub(static_cast<long long>(bytes));
}

#if defined(KELVARUN_COST_HOOKS)

void OnMalloc(const volatile void*, size_t size) { Allocated(size); }
void OnFree(const volatile void* block) { Freed(__sanitizer_get_allocated_size(block)); }

void InstallHooks() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  (void)installed;
}

#else

void InstallHooks() {}

#endif

}  // namespace

#if !defined(KELVARUN_COST_HOOKS)

// Every block carries its size in front, so a free can be counted without asking the allocator.
namespace {
constexpr size_t kHeader = alignof(std::max_align_t);
}

void* operator new(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (!block) throw std::bad_alloc();
  *static_cast<size_t*>(block) = size;
  Allocated(size);
  return static_cast<char*>(block) + kHeader;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return operator new(size, std::nothrow); }
void operator delete(void* p) noexcept {
  if (!p) return;
  char* block = static_cast<char*>(p) - kHeader;
  Freed(*reinterpret_cast<size_t*>(block));
  std::free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }

#endif

namespace testing_support {

InputCost MeasureInputCost(const std::function<void()>& work) {
  InstallHooks();
  g_current = 0;
  g_peak = 0;
  g_counting = true;
  const auto start = std::chrono::steady_clock::now();
  work();
  const auto stop = std::chrono::steady_clock::now();
  g_counting = false;
  InputCost cost;
  cost.seconds = std::chrono::duration<double>(stop - start).count();
  cost.peakHeapBytes = static_cast<size_t>(g_peak.load());
  return cost;
}

::testing::AssertionResult CostsNearLinear(size_t inputBytes, const std::function<void()>& work) {
  const InputCost cost = MeasureInputCost(work);
  const double timeLimit = kFloorSeconds + kSecondsPerByte * static_cast<double>(inputBytes);
  const size_t heapLimit = kFloorHeapBytes + kHeapBytesPerByte * inputBytes;
  if (cost.seconds <= timeLimit && cost.peakHeapBytes <= heapLimit) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << inputBytes << " input bytes took " << cost.seconds << " s (limit "
                                       << timeLimit << ") and a heap peak of " << cost.peakHeapBytes
                                       << " bytes (limit " << heapLimit << ")";
}

}  // namespace testing_support
