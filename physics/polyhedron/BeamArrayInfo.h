// BeamArrayInfo: many swept spheres queried at once, answering with the earliest hit of any.
#pragma once

#include <vector>

#include "core/math/Box.h"
#include "physics/polyhedron/BeamArrayIntersector.h"
#include "physics/collision/BeamInfo.h"
#include "core/math/GenericIntersection.h"

// A rigid body sweeps its top-level spheres over one step with this. The creator fills
// beams and boxes in step: boxes[i] is what beam i's sweep can touch.
class BeamArrayInfo : public GenericIntersection {
 public:
  BeamArrayInfo() { kind = 4; }

  // The union of all beam boxes (an empty box at the origin when there are none).
  void GetBounds(Box& out) const override;
  // The first beam's displacement.
  void GetSweep(Vector3& out) const override;
  bool IntersectBox(const Box& box) override;
  // box null: the box of the three corners.
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) override;
  bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         const Box* box) override;
  bool IntersectSphere(const Vector3& centre, float radius) override;
  bool IntersectPolyhedron(const PolyTree* tree, const COrientation& orientation) override { return false; }

  // Applies the shape to every beam whose box overlaps testBox (bounds included);
  // the strictly earliest hit, first in array order on ties, is copied into this
  // query's record and normal.
  bool TestBeams(BeamIntersectedObject& shape, const Box& testBox);

  std::vector<BeamInfo> beams;
  std::vector<Box> boxes;
};
