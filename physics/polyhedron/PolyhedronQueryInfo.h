// CPolyhedronInfo: a body's convex pieces moved over one step and tested against another body's pieces.
#pragma once

#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "core/math/GenericIntersection.h"
#include "physics/polyhedron/PolyFeature.h"

class PolyTree;

class CPolyhedronInfo : public GenericIntersection {
 public:
  static constexpr uint32_t kKind = 5;

  CPolyhedronInfo(const PolyTree* tree, const COrientation& startPose, const COrientation& endPose)
      : tree_(tree), start_(startPose), end_(endPose) {
    kind = kKind;
  }

  // The cube of half size 100 around the end position.
  void GetBounds(Box& out) const override;
  void GetSweep(Vector3& out) const override { out = end_.position - start_.position; }
  // Shapes without pieces of their own (terrain, boxes) meet the body's swept collision
  // spheres, when the body hands them over; otherwise nothing.
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
  // A sphere (another body's, an obstacle's) meets the pieces' faces: seen from the body, it
  // moves from where it lies at the start pose to where it lies at the end pose. The record
  // holds the fraction of the step, the point on the face and the normal.
  bool IntersectSphere(const Vector3& centre, float radius) override;
  bool IntersectPolyhedron(const PolyTree* other, const COrientation& otherPose) override {
    return Intersect(other, otherPose);
  }

  // True when the bodies touch or overlap at the end pose: the record then holds the
  // fraction of the step at which they first touch (found by bisection; 0 when they
  // overlap from the start), the other body's closest point and the contact normal there.
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
  // Fraction of the step just before the first touch, given the start distance d0 > 0;
  // leaves the closest points and normal n (facing the other body) of that pose.
  float FirstContact(const PolyTree* other, const COrientation& otherPose, float d0, Vector3& n);
  // Centre of the touching corners of both bodies at the given fraction of the step, or
  // the other body's closest point when no corner touches (edges crossing).
  Vector3 ContactPoint(const PolyTree* other, float time, const COrientation& otherPose) const;
  // For bodies touching or overlapping at pose: the face normal (facing the other body)
  // along which they overlap least, else the walk's features.
  Vector3 TouchNormal(const PolyTree* other, const COrientation& pose, const COrientation& otherPose) const;
  // Normal from the closest features the walk last reached (facing the other body) when they fix
  // it: one of them a face, or two crossing edges; false for corners and edges in line.
  bool ExactFeatureNormal(const PolyTree* other, const COrientation& pose, const COrientation& otherPose,
                          Vector3& n) const;
  // Normal from the closest features the walk last reached, facing the other body.
  Vector3 FeatureNormal(const PolyTree* other, const COrientation& pose, const COrientation& otherPose) const;

  // Bisection stops once the bodies are this close (m) or after so many halvings.
  static constexpr float kContactGap = 1e-4f;
  static constexpr int kBisections = 24;
  // Corners this near (m) to the other body belong to the contact patch.
  static constexpr float kPatchTolerance = 0.01f;
  // Below this gap the closest points are too near for their direction to be trusted.
  static constexpr float kMinGapForDirection = 1e-4f;
  // Edges whose directions' cross product is shorter than this (the sine of their angle) lie in line.
  static constexpr float kMinCrossing = 1e-3f;

  const PolyTree* tree_;
  COrientation start_;
  COrientation end_;
};
