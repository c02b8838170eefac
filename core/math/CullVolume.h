// CullVolume: a convex region in world space (a camera's or a light's view)
// that classifies boxes, spheres and points, using its planes, its bounding
// box and the 2-D hulls of its corners projected onto the coordinate planes.
#pragma once

#include "core/math/Box.h"
#include "core/math/Vector3.h"
#include "core/math/ConvexHullFaces.h"
#include "core/math/CullHullEdge.h"
#include "core/math/CullPlane.h"

#include <cstdint>
#include <memory>
#include <vector>

class ViewFrustum;

class CullVolume {
 public:
  // The shape built from a view. The kind is a plain byte: any value other than the pyramid's
  // builds the frustum.
  enum Kind : uint8_t {
    kPyramid = 0,  // five planes from the eye, no near or far plane (perspective views)
    kFrustum = 1,  // six planes, with the near and far planes
  };

  CullVolume(const ViewFrustum& frustum, uint8_t kind);
  // A convex mesh given as points and outward-wound hull triangles (the form
  // BuildConvexHullFaces produces): one plane per triangle.
  CullVolume(const Vector3* vertices, uint32_t vertexCount, const ConvexHullTriangle* faces,
             uint32_t faceCount);
  ~CullVolume();
  CullVolume(const CullVolume&) = delete;
  CullVolume& operator=(const CullVolume&) = delete;

  // -1 outside, 0 crossing (or not provably either), 1 wholly inside.
  int32_t ClassifyBox(const Box& box) const;
  // -1 outside, 0 crossing, 1 inside; 1 when the volume has no planes.
  int32_t ClassifySphere(const Vector3& centre, float radius) const;
  // True when no plane has the point outside (points on a plane are inside).
  bool ContainsPoint(const Vector3& p) const;

  // Rebuilds the three projections' hull edges from the volume's corner points.
  void PlanesFromPoints(const Vector3* points, uint32_t count);

  const Box& GetBounds() const { return bounds_; }
  uint32_t GetPlaneCount() const { return planeCount_; }
  const CullPlane* GetPlanes() const { return planes_.get(); }
  // Projection k: 0 onto (x, y), 1 onto (y, z), 2 onto (z, x).
  const std::vector<CullHullEdge>& GetHullEdges(int k) const { return hullEdges_[k]; }

 private:
  void BuildPyramid(const ViewFrustum& frustum);
  void BuildFrustum(const ViewFrustum& frustum);
  void SetPlanes(const Vector3* localNormals, const Vector3* worldPoints, uint32_t count,
                 const ViewFrustum& frustum);
  bool OutsideProjectedHulls(const Box& box) const;

  Box bounds_;
  uint32_t planeCount_ = 0;
  std::unique_ptr<CullPlane[]> planes_;
  std::vector<CullHullEdge> hullEdges_[3];
};
