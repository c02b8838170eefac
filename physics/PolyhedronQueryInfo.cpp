#include "physics/PolyhedronQueryInfo.h"

#include <cmath>

#include "physics/PolyEdge.h"
#include "physics/PolyFace.h"
#include "physics/PolyVertex.h"
#include "physics/VclipConvert.h"
#include "physics/VclipWalk.h"

namespace {

float FastLength(const Vector3& v) {
  const float x = std::fabs(v.x), y = std::fabs(v.y), z = std::fabs(v.z);
  if (x >= y && x >= z) return x + 0.25f * (y + z);
  if (y >= z) return y + 0.25f * (x + z);
  return z + 0.25f * (x + y);
}

Vector3 World(const COrientation& pose, const VclipVector3& v) { return pose.LocalToWorldVector(ToEngine(v)); }

Vector3 Normalised(const Vector3& v) {
  const float length = std::sqrt(v.Dot(v));
  return length > 0.0f ? v * (1.0f / length) : v;
}

}  // namespace

void CPolyhedronInfo::GetBounds(Box& out) const { out.SetFromCenterRadius(end_.position, 100.0f); }

float CPolyhedronInfo::Distance(const PolyTree* other, const COrientation& pose, const COrientation& otherPose) {
  VclipMatrixTransform rel = ToVclip(pose);
  rel.Invert();
  rel.PostMultiply(ToVclip(otherPose));
  VclipVector3 p1, p2;
  const float d = VClip::Run(*tree_, *other, Se3(rel.R, rel.t), ClosestFeatureCache::Shared(), p1, p2);
  closest1 = pose.LocalToWorldPoint(ToEngine(p1));
  closest2 = otherPose.LocalToWorldPoint(ToEngine(p2));
  return d;
}

bool CPolyhedronInfo::Intersect(const PolyTree* other, const COrientation& otherPose) {
  closest1 = Vector3(0.0f, 0.0f, 0.0f);
  closest2 = Vector3(0.0f, 0.0f, 0.0f);
  if (!tree_ || !other) return false;
  // Zero is a contact too: the walk stops at exactly 0 when a vertex lies on a face
  // plane inside the other body, which stacked boxes meet all the time.
  const float d1 = Distance(other, end_, otherPose);
  if (d1 > 0.0f) return false;

  const Vector3 end1 = closest1, end2 = closest2;
  const ClosestFeaturePair* pair = ClosestFeatureCache::Shared().Find(tree_, other);
  Vector3 n = pair ? ContactNormal(pair->feature1, end_, pair->feature2, otherPose) * -1.0f : Vector3(0, 0, 0);
  normal = normalFacesMover ? n * -1.0f : n;
  result.point = end2;
  const float L = FastLength(end1 - end2);

  const float d0 = Distance(other, start_, otherPose);
  closest1 = end1;
  closest2 = end2;
  // The distance falls from d0 at the start to about -L at the end; it crosses zero
  // at d0 / (d0 + L) when taken as linear over the step.
  float time = 0.0f;
  if (d0 > 0.0f) time = d0 + L > 0.0f ? std::fmin(1.0f, d0 / (d0 + L)) : 1.0f;
  result.time = time;
  return true;
}

Vector3 CPolyhedronInfo::ContactNormal(const Feature* a, const COrientation& aPose, const Feature* b,
                                       const COrientation& bPose) {
  if (!a || !b) return Vector3(0.0f, 0.0f, 0.0f);
  if (b->type == kPolyFace) return World(bPose, static_cast<const Face*>(b)->plane.normal);
  if (b->type == kPolyVertex) {
    if (a->type == kPolyFace) return World(aPose, static_cast<const Face*>(a)->plane.normal) * -1.0f;
    return World(bPose, static_cast<const Vertex*>(b)->normalSum);
  }
  if (b->type != kPolyEdge) return Vector3(0.0f, 0.0f, 0.0f);
  if (a->type == kPolyVertex) return World(aPose, static_cast<const Vertex*>(a)->normalSum);
  if (a->type == kPolyFace) return World(aPose, static_cast<const Face*>(a)->plane.normal) * -1.0f;
  if (a->type != kPolyEdge) return Vector3(0.0f, 0.0f, 0.0f);
  const Edge* ea = static_cast<const Edge*>(a);
  const Edge* eb = static_cast<const Edge*>(b);
  const Vector3 c = World(aPose, ea->u).Cross(World(bPose, eb->u));
  Vector3 s(0.0f, 0.0f, 0.0f);
  if (eb->left) s = s + World(bPose, eb->left->plane.normal);
  if (eb->right) s = s + World(bPose, eb->right->plane.normal);
  const float side = c.Dot(s);
  if (side == 0.0f) return Normalised(s);
  return Normalised(side > 0.0f ? c : c * -1.0f);
}
