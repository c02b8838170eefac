// GenericIntersection: base of the engine's geometric query objects, their hit record and mode bits.
#pragma once

#include <cfloat>
#include <cstdint>

#include "core/math/Box.h"
#include "core/math/Vector3.h"

class COrientation;
class PolyTree;

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

// Query mode bits (GenericIntersection::mode).
namespace QueryMode {
constexpr uint32_t kDetails = 0x1;            // sphere contacts fill in time, point and normal
constexpr uint32_t kStartOverlap = 0x8;       // a swept sphere already touching a face/edge hits at time 0
constexpr uint32_t kFirstLeaf = 0x10;         // sphere-tree walk (physics) stops at the first leaf hit
constexpr uint32_t kBodyMesh = 0x20;          // segment against a rigid body uses its mesh triangles
constexpr uint32_t kStartOverFace = 0x40;     // with kStartOverlap: a face overlap needs the centre over it
constexpr uint32_t kTexelAlpha = 0x80;        // primitives test the face texel's alpha at the hit
constexpr uint32_t kAlphaExempt = 0x100;      // with kTexelAlpha: textures flagged 0x2000 skip the test
}  // namespace QueryMode

// Queries report their own hit into the record; keeping the nearest over many objects is
// the walker's business. Queries made by movers are freed through this base, hence the
// virtual destructor.
class GenericIntersection {
 public:
  GenericIntersection() : kind(0), mode(QueryMode::kDetails) { result.Reset(); }
  virtual ~GenericIntersection() = default;

  // Everything the query can reach lies in this box; walkers collect their candidates in it.
  virtual void GetBounds(Box& out) const;
  // The query's displacement (zero for a query that does not move).
  virtual void GetSweep(Vector3& out) const;
  // The query's own test against a plain box (a bounded object's default shape);
  // a query without a shape hits nothing.
  virtual bool IntersectBox(const Box& box);
  // Triangle A, B, K (or parallelogram A, B, B + K - A, K) with plane normal N; box is the
  // polygon's box or null. One-sided: only what meets the front of the plane.
  virtual bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                                bool parallelogram, const Box* box);
  // As IntersectPolygon but two-sided; the reported normal faces the query's start.
  virtual bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n,
                                 bool parallelogram, const Box* box);
  virtual bool IntersectSphere(const Vector3& centre, float radius);
  virtual bool IntersectPolyhedron(const PolyTree* tree, const COrientation& orientation);

  uint32_t kind;  // 0 base, 1 segment, 2 swept sphere, 4 array of swept spheres, 5 polyhedron
  uint32_t mode;  // QueryMode bits
  IntersectionResult result;
  Vector3 normal;  // of the last hit
};
