// VclipWalkHandlers: the per-state steps of the closest-feature walk.
#pragma once

#include "physics/polyhedron/FeatureTransformCache.h"
#include "physics/polyhedron/Polyhedron.h"
#include "physics/polymath/VclipMatrixTransform.h"
#include "physics/polymath/VclipVector3.h"

// Each handler returns 0 when it replaced one of the features (the walk goes on),
// 1 when the pair is closest and apart, -1 on contact; it writes the distance and
// the closest points (each in its own feature's frame). "Xab" maps the frame of the
// first-named feature into the other's.
namespace vclip_walk {

using Xf = VclipMatrixTransform;

inline VclipVector3 Sub(const VclipVector3& a, const VclipVector3& b) {
  return VclipVector3(a.x - b.x, a.y - b.y, a.z - b.z);
}
inline VclipVector3 Mad(const VclipVector3& a, float s, const VclipVector3& b) {
  return VclipVector3(a.x + s * b.x, a.y + s * b.y, a.z + s * b.z);
}

// Each polyhedron's features reach the other's frame through its own FeatureTransformCache
// ("cv" carries the vertex's polyhedron, "ce" the edge's, and so on).
int VertexVertex(const Feature*& v1, const Feature*& v2, FeatureTransformCache& c1, FeatureTransformCache& c2,
                 VclipVector3& cp1, VclipVector3& cp2, float& dist);
int VertexEdge(const Feature*& vs, const Feature*& es, FeatureTransformCache& cv, FeatureTransformCache& ce,
               VclipVector3& cpv, VclipVector3& cpe, float& dist);
int VertexFace(const Feature*& vs, const Feature*& fs, const Polyhedron& facePoly, FeatureTransformCache& cv,
               VclipVector3& cpv, VclipVector3& cpf, float& dist);
int EdgeEdge(const Feature*& e1, const Feature*& e2, const Xf& X12, const Xf& X21, FeatureTransformCache& c1,
             FeatureTransformCache& c2, VclipVector3& cp1, VclipVector3& cp2, float& dist);
int EdgeFace(const Feature*& es, const Feature*& fs, FeatureTransformCache& ce, VclipVector3& cpe,
             VclipVector3& cpf, float& dist);

}  // namespace vclip_walk
