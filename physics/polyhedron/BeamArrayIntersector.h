// BeamIntersectedObject: one shape applied in turn to every beam of a beam array.
#pragma once

#include "core/math/Box.h"
#include "core/math/Vector3.h"
#include "physics/collision/BeamInfo.h"

// Made on the stack for one call; the shape's data is referenced, not owned. The four
// shapes are tiny adaptors over the beam's own tests, kept together here.
class BeamIntersectedObject {
 public:
  virtual ~BeamIntersectedObject() = default;
  virtual bool Apply(BeamInfo& beam) = 0;
};

class BeamBoxIntersector : public BeamIntersectedObject {
 public:
  explicit BeamBoxIntersector(const Box& box) : box_(box) {}
  bool Apply(BeamInfo& beam) override { return beam.IntersectBox(box_); }

 private:
  const Box& box_;
};

class BeamPolyIntersector : public BeamIntersectedObject {
 public:
  BeamPolyIntersector(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n)
      : a_(a), b_(b), k_(k), n_(n) {}
  bool Apply(BeamInfo& beam) override { return beam.IntersectPolygon(a_, b_, k_, n_, false, nullptr); }

 private:
  const Vector3 &a_, &b_, &k_, &n_;
};

class BeamPoly2SidedIntersector : public BeamIntersectedObject {
 public:
  BeamPoly2SidedIntersector(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n)
      : a_(a), b_(b), k_(k), n_(n) {}
  bool Apply(BeamInfo& beam) override { return beam.IntersectTriangle(a_, b_, k_, n_, false, nullptr); }

 private:
  const Vector3 &a_, &b_, &k_, &n_;
};

class BeamSphereIntersector : public BeamIntersectedObject {
 public:
  BeamSphereIntersector(const Vector3& centre, float radius) : centre_(centre), radius_(radius) {}
  bool Apply(BeamInfo& beam) override { return beam.IntersectSphere(centre_, radius_); }

 private:
  const Vector3& centre_;
  float radius_;
};
