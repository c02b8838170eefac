// CPolyhedronInfo: a body's convex pieces moved over one step and tested against another body's pieces.
#pragma once

#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "physics/GenericIntersection.h"
#include "physics/PolyFeature.h"

class PolyTree;

class CPolyhedronInfo : public GenericIntersection {
 public:
  CPolyhedronInfo(const PolyTree* tree, const COrientation& startPose, const COrientation& endPose)
      : tree_(tree), start_(startPose), end_(endPose) {
    kind = 5;
  }

  // The cube of half size 100 around the end position.
  void GetBounds(Box& out) const override;
  void GetSweep(Vector3& out) const override { out = end_.position - start_.position; }
  // Shapes without pieces of their own (terrain, boxes, spheres) meet the body's swept
  // collision spheres, when the body hands them over; otherwise nothing.
  bool IntersectBox(const Box& box) override {
    return Forward(staticQuery && staticQuery->IntersectBox(box));
  }
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) override {
    return Forward(staticQuery && staticQuery->IntersectPolygon(a, b, k, n, parallelogram, box));
  }
  bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         const Box* box) override {
    return Forward(staticQuery && staticQuery->IntersectTriangle(a, b, k, n, parallelogram, box));
  }
  bool IntersectSphere(const Vector3& centre, float radius) override {
    return Forward(staticQuery && staticQuery->IntersectSphere(centre, radius));
  }
  bool IntersectPolyhedron(const PolyTree* other, const COrientation& otherPose) override {
    return Intersect(other, otherPose);
  }

  // True when the bodies touch or overlap at the end pose: the record then holds the other
  // body's closest point, the contact normal and the fraction of the step at which
  // the distance, taken as linear over the step, first reached zero.
  bool Intersect(const PolyTree* other, const COrientation& otherPose);

  // World normal of the contact between feature a (this body) and b (the other).
  static Vector3 ContactNormal(const Feature* a, const COrientation& aPose, const Feature* b,
                               const COrientation& bPose);

  // The closest points of the last Intersect, in world space.
  Vector3 closest1;
  Vector3 closest2;
  // Movers want the normal facing themselves, as static shapes give it; by default it faces
  // the other body.
  bool normalFacesMover = false;
  // The body's swept spheres over the same step (not owned; may be null).
  GenericIntersection* staticQuery = nullptr;

 private:
  // The spheres' record becomes this query's; it starts clean for every shape.
  bool Forward(bool hit) {
    if (!staticQuery) return false;
    result = staticQuery->result;
    normal = staticQuery->normal;
    staticQuery->result.Reset();
    return hit;
  }

  float Distance(const PolyTree* other, const COrientation& pose, const COrientation& otherPose);

  const PolyTree* tree_;
  COrientation start_;
  COrientation end_;
};
