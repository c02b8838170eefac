// SkaterParams: the 63-entry motion parameter block of a skater, with the defaults every skater starts from.
#pragma once

#include <array>
#include <cstddef>

struct SkaterParams {
  static constexpr size_t kCount = 63;
  // Entries the park's own code reads by name; the motion blocks (31-62) belong to the motion.
  enum Entry : size_t {
    kRadius = 0,
    kGravity = 1,
    kArrivalRadius = 10,
    kRoutePointOffset = 11,
    kJumpSpeed = 13,
    kCrashVerticalFactor = 14,
    kCrashHorizontalFactor = 15,
    kMinJumpHeight = 19,
    kMaxJumpHeight = 20,
    kRouteEndSlowDown = 21,  // a count, kept as a whole number
    kStuckTime = 29,
    kStuckDistance = 30,
    kWalkingBlock = 31,
    kSkatingBlock = 39,
    kGrindingBlock = 47,
    kCrashedBlock = 55,
  };

  SkaterParams();
  float operator[](size_t i) const { return values[i]; }
  float& operator[](size_t i) { return values[i]; }
  int RouteEndSlowDownCount() const { return static_cast<int>(values[kRouteEndSlowDown]); }

  std::array<float, kCount> values;
};
