// GenericIntersection: base of the engine's geometric query objects and their hit record.
#pragma once

#include <cfloat>
#include <cstdint>

#include "core/math/Box.h"
#include "core/math/Vector3.h"

// One hit: where, when along the query (FLT_MAX = none) and the surface (u, v).
struct IntersectionResult {
  Vector3 point;
  float time;
  float u, v;

  // The point is kept: walkers only look at it after a reported hit.
  void Reset() {
    time = FLT_MAX;
    u = 0.0f;
    v = 0.0f;
  }
};

// Queries report their own hit into the record; keeping the nearest over many
// objects is the walker's business.
class GenericIntersection {
 public:
  GenericIntersection() : kind(0), mode(1) { result.Reset(); }

  // Everything the query can reach lies in this box; walkers collect their candidates in it.
  virtual void GetBounds(Box& out) const { out = Box(); }
  // The query's own test against a plain box (a bounded object's default shape);
  // a query without a shape hits nothing.
  virtual bool IntersectBox(const Box& box) { return false; }

  uint32_t kind;  // 0 base, 1 segment, 2 swept sphere ...
  uint32_t mode;  // query mode bits
  IntersectionResult result;
  Vector3 normal;  // of the last hit
};
