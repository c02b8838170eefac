// BeamInfo: swept-sphere query; a sphere of the given radius moves its centre from start to end.
#pragma once

#include "core/math/RayInfo.h"

class BeamInfo : public RayInfo {
 public:
  BeamInfo() : radius(0.0f) { kind = 2; }
  BeamInfo(const Vector3& from, const Vector3& to, float r) : RayInfo(from, to), radius(r) { kind = 2; }

  // The segment's box grown by radius + 0.1.
  void GetBounds(Box& out) const override;
  // The box grown by the radius (corners treated as square), then the segment test.
  bool IntersectBox(const Box& box) override;
  // Swept sphere against triangle A, B, K (or the parallelogram A, B, B + K - A, K) seen from
  // the front of N: the face, then the edges, then the corners; the earliest contact wins.
  // Contact (u, v): on the face the plane coordinates along A-B and A-K; on an edge those of
  // its position s along the edge (A-B (s, 0), B-K (1 - s, s), K-A (0, 1 - s)); at a corner
  // its own coordinates. The box is not used.
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) override;
  // The normal is turned to face the start, then IntersectPolygon.
  bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         const Box* box) override;
  // Swept sphere against the sphere (centre, rs): contact when the centres come within
  // rs + radius. The point lies on the target sphere's surface.
  bool IntersectSphere(const Vector3& centre, float rs) override;

  float radius;

 private:
  // The pieces of the triangle test; each writes a candidate into `out` and its normal into
  // `outNormal` and answers whether it found a contact.
  bool SweepFace(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                 IntersectionResult& out, Vector3& outNormal);
  bool SweepEdge(const Vector3& p0, const Vector3& p1, IntersectionResult& out, Vector3& outNormal);
  bool SweepLine(const Vector3& p0, const Vector3& p1, IntersectionResult& out, Vector3& outNormal);
  bool SweepVertex(const Vector3& v, IntersectionResult& out, Vector3& outNormal);
};
