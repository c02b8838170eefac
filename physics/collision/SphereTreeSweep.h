// SphereTreeSweep: a whole sphere tree swept from a start pose to an end pose against one shape, answering with the earliest leaf hit.
#pragma once

#include <cstdint>

#include "core/math/GenericIntersection.h"
#include "core/math/Orientation.h"

class BeamIntersectedObject;
struct SphereTreeNode;

// Both working trees must have the model's shape (SphereTree::Build of the model). Their
// nodes cache world centres per pose stamp, so sweeping the same poses against many shapes
// transforms each node once per pose. The walk shares one queue: sweeps must not nest.
class SphereTreeSweep : public GenericIntersection {
 public:
  SphereTreeSweep(const SphereTreeNode* model, const COrientation& startPose, uint32_t startStamp,
                  SphereTreeNode* startRoot, const COrientation& endPose, uint32_t endStamp, SphereTreeNode* endRoot);

  // The box of the two root centres, grown by the root radius + 0.1. The root centres are
  // the ones cached by the last walk or placement; an unplaced tree gives its model centre.
  void GetBounds(Box& out) const override;
  void GetSweep(Vector3& out) const override;
  // Each runs the walk with its shape; true when a leaf was hit. The record then holds the
  // earliest leaf hit (the first reached breadth first on ties) and BestStart / BestEnd its
  // working nodes.
  bool IntersectBox(const Box& box) override;
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) override;
  bool IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                         const Box* box) override;
  bool IntersectSphere(const Vector3& centre, float radius) override;

  // Inner nodes only need to show that a leaf below may be hit, so they are tested for
  // overlap from the start and stop at their first contact.
  static constexpr uint32_t kInnerNodeMode = QueryMode::kStartOverlap | QueryMode::kFirstLeaf;

  const SphereTreeNode* BestStart() const { return m_bestStart; }
  const SphereTreeNode* BestEnd() const { return m_bestEnd; }

 private:
  bool Walk(BeamIntersectedObject& shape);

  const SphereTreeNode* m_model;
  COrientation m_startPose;
  uint32_t m_startStamp;
  SphereTreeNode* m_startRoot;
  COrientation m_endPose;
  uint32_t m_endStamp;
  SphereTreeNode* m_endRoot;
  SphereTreeNode* m_bestStart = nullptr;
  SphereTreeNode* m_bestEnd = nullptr;
};
