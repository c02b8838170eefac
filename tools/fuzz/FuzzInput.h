// FuzzInput: what every reader fuzzer shares: a silenced log, the input as an exact-size heap
// block (so AddressSanitizer sees any read past it) and as NUL-terminated text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace fuzz_input {

inline void Quiet() {
  static const bool quiet = (plat::SetDebugSink([](const char*) {}), true);
  (void)quiet;
}

inline std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) { return std::vector<uint8_t>(data, data + size); }

// Text readers stop at the first NUL, as they would on a file loaded with its terminator.
inline std::string Text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

}  // namespace fuzz_input
