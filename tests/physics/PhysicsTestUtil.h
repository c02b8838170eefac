// PhysicsTestUtil: seeded random values and error-stream capture shared by the physics tests.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

#include <iostream>
#include <sstream>
#include <string>

#include "core/math/Vector3.h"
#include "platform/system/Platform.h"

namespace physics_test {

// Uniform in [lo, hi] from the game's generator, so runs repeat exactly.
inline float Uniform(float lo, float hi) {
  return lo + (hi - lo) * static_cast<float>(plat::rand()) / static_cast<float>(plat::kRandMax);
}

inline Vector3 RandomPoint(float extent) {
  const float x = Uniform(-extent, extent);
  const float y = Uniform(-extent, extent);
  return Vector3(x, y, Uniform(-extent, extent));
}

// Collects what is written to std::cerr while it lives.
class CerrCapture {
 public:
  CerrCapture() : saved_(std::cerr.rdbuf(buffer_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(saved_); }
  std::string Text() const { return buffer_.str(); }

 private:
  std::ostringstream buffer_;
  std::streambuf* saved_;
};

using testing_support::DebugCapture;

}  // namespace physics_test
