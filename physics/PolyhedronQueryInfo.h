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
  bool IntersectBox(const Box&) override { return false; }
  bool IntersectPolygon(const Vector3&, const Vector3&, const Vector3&, const Vector3&, bool, const Box*) override {
    return false;
  }
  bool IntersectTriangle(const Vector3&, const Vector3&, const Vector3&, const Vector3&, bool, const Box*) override {
    return false;
  }
  bool IntersectSphere(const Vector3&, float) override { return false; }
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

 private:
  float Distance(const PolyTree* other, const COrientation& pose, const COrientation& otherPose);

  const PolyTree* tree_;
  COrientation start_;
  COrientation end_;
};
