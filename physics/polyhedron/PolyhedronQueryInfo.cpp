#include "physics/polyhedron/PolyhedronQueryInfo.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "physics/collision/BeamInfo.h"
#include "physics/polyhedron/PolyEdge.h"
#include "physics/polyhedron/PolyFace.h"
#include "physics/polyhedron/PolyTreeFaceQuery.h"
#include "physics/polyhedron/PolyVertex.h"
#include "physics/polyhedron/VclipConvert.h"
#include "physics/polyhedron/VclipWalk.h"

namespace {

Vector3 World(const COrientation& pose, const VclipVector3& v) { return pose.LocalToWorldVector(ToEngine(v)); }

Vector3 Normalised(const Vector3& v) {
  const float length = std::sqrt(v.Dot(v));
  return length > 0.0f ? v * (1.0f / length) : v;
}

// One convex piece of a body in world space.
struct WorldPiece {
  std::vector<Vector3> corners;
  std::vector<Vector3> normals;  // outward
  std::vector<float> offsets;    // a point p is outside face i when normals[i].Dot(p) > offsets[i]
};

void CollectPieces(const PolyTree* tree, Se3 toWorld, std::vector<WorldPiece>& out) {
  toWorld.Append(tree->pose());
  if (!tree->atomic()) {
    for (size_t i = 0; i < tree->numChildren(); ++i) CollectPieces(tree->child(i), toWorld, out);
    return;
  }
  const Polyhedron* poly = tree->polyhedron();
  if (!poly) return;
  WorldPiece piece;
  for (const Vertex& v : poly->vertices()) piece.corners.push_back(ToEngine(toWorld.Transform(v.coords)));
  for (const Face& f : poly->faces()) {
    VclipVector3 n;
    toWorld.rotation.Rotate(f.plane.normal, n);
    const VclipVector3 onPlane = f.plane.normal.Scaled(-f.plane.offset);
    const Vector3 normal = ToEngine(n);
    piece.normals.push_back(normal);
    piece.offsets.push_back(normal.Dot(ToEngine(toWorld.Transform(onPlane))));
  }
  out.push_back(std::move(piece));
}

bool NearPiece(const Vector3& p, const WorldPiece& piece, float tolerance) {
  for (size_t i = 0; i < piece.normals.size(); ++i)
    if (piece.normals[i].Dot(p) > piece.offsets[i] + tolerance) return false;
  return !piece.normals.empty();
}

// Adds up the corners of one body's pieces that lie within tolerance of the other's.
void AddNearCorners(const std::vector<WorldPiece>& from, const std::vector<WorldPiece>& to, float tolerance,
                    Vector3& sum, int& count) {
  for (const WorldPiece& a : from)
    for (const Vector3& c : a.corners)
      for (const WorldPiece& b : to)
        if (NearPiece(c, b, tolerance)) {
          sum = sum + c;
          ++count;
          break;
        }
}

// How far piece b reaches past face i of piece a (negative when it stays clear of it).
float DepthPast(const WorldPiece& a, size_t i, const WorldPiece& b) {
  float lowest = 0.0f;
  bool first = true;
  for (const Vector3& c : b.corners) {
    const float h = a.normals[i].Dot(c);
    if (first || h < lowest) lowest = h;
    first = false;
  }
  return a.offsets[i] - lowest;
}

// For touching or overlapping bodies: the face normal (facing from mine to theirs) along which the
// deepest overlapping pair of pieces is least deep, which is the way out of the overlap.
// Pairs apart by up to tolerance count as touching.
bool LeastOverlapNormal(const std::vector<WorldPiece>& mine, const std::vector<WorldPiece>& theirs, float tolerance,
                        Vector3& n) {
  bool found = false;
  float deepest = 0.0f;
  for (const WorldPiece& a : mine) {
    for (const WorldPiece& b : theirs) {
      float least = 0.0f;
      Vector3 axis;
      bool any = false;
      for (size_t i = 0; i < a.normals.size(); ++i) {
        const float d = DepthPast(a, i, b);
        if (!any || d < least) least = d, axis = a.normals[i], any = true;
      }
      for (size_t i = 0; i < b.normals.size(); ++i) {
        const float d = DepthPast(b, i, a);
        if (!any || d < least) least = d, axis = b.normals[i] * -1.0f, any = true;
      }
      if (!any || least < -tolerance) continue;  // this pair stands apart along some face
      if (!found || least > deepest) deepest = least, n = axis, found = true;
    }
  }
  return found;
}

}  // namespace

void CPolyhedronInfo::GetBounds(Box& out) const { out.SetFromCenterRadius(end_.position, 100.0f); }

bool CPolyhedronInfo::IntersectSphere(const Vector3& centre, float radius) {
  if (!tree_) return false;
  // The body's own spheres lie inside its pieces and reach only part of their surface: a
  // sphere meeting a face off its middle would sink into the body before they met it.
  BeamInfo beam(start_.WorldToLocalPoint(centre), end_.WorldToLocalPoint(centre), radius);
  beam.mode = mode;
  if (!IntersectPolyTreeFaces(beam, *tree_, COrientation())) return false;
  // An overlap-only test (the inner spheres of a walk) need not say when.
  const float time = beam.result.time < 1.0f ? std::max(0.0f, beam.result.time) : 1.0f;
  COrientation pose;
  pose.Interpolate(start_, end_, time);
  result = beam.result;
  result.point = pose.LocalToWorldPoint(beam.result.point);
  const Vector3 n = pose.LocalToWorldVector(beam.normal);  // faces the sphere
  normal = normalFacesMover ? n * -1.0f : n;
  return true;
}

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

  // The features the walk reports inside an overlap say little about how the bodies met:
  // two boxes pressed face to face with their edges in line give a side face, and a push
  // along it leaves the real contact unanswered. The contact is taken where the bodies
  // are still just apart instead.
  Vector3 n(0.0f, 0.0f, 0.0f);
  float time = 0.0f;
  const float d0 = Distance(other, start_, otherPose);
  if (d0 > 0.0f) {
    time = FirstContact(other, otherPose, d0, n);
  } else {
    // Already overlapping at the start: the walk's features there may name any face
    // (a side face for boxes pressed flat together), so the way out of the overlap is
    // taken from the pieces themselves.
    n = TouchNormal(other, start_, otherPose);
  }
  normal = normalFacesMover ? n * -1.0f : n;
  result.point = ContactPoint(other, time, otherPose);
  result.time = time;
  return true;
}

Vector3 CPolyhedronInfo::ContactPoint(const PolyTree* other, float time, const COrientation& otherPose) const {
  // Faces meeting flat touch over a patch, not at the one corner the walk happens to
  // name; pushing there would set a body landing squarely spinning. The corners of
  // each body resting on the other stand for the patch.
  COrientation pose;
  pose.Interpolate(start_, end_, time);
  std::vector<WorldPiece> mine, theirs;
  CollectPieces(tree_, ToVclipSe3(pose), mine);
  CollectPieces(other, ToVclipSe3(otherPose), theirs);
  Vector3 sum(0.0f, 0.0f, 0.0f);
  int count = 0;
  AddNearCorners(mine, theirs, kPatchTolerance, sum, count);
  AddNearCorners(theirs, mine, kPatchTolerance, sum, count);
  return count > 0 ? sum * (1.0f / float(count)) : closest2;
}

float CPolyhedronInfo::FirstContact(const PolyTree* other, const COrientation& otherPose, float d0, Vector3& n) {
  // Apart, the line between the closest points is the contact normal whatever the
  // features are (parallel edges and faces, corners meeting corners); the direction is
  // kept from the last pose whose gap is wide enough to be trusted after rounding.
  bool haveDirection = false;
  auto trust = [&](float d) {
    const Vector3 gap = closest2 - closest1;
    if (d > kMinGapForDirection && gap.Dot(gap) > 0.0f) {
      n = Normalised(gap);
      haveDirection = true;
    }
  };
  trust(d0);
  // Bisection on the walk's distance between the start and end poses; the distance need
  // not fall linearly (the body turns), but it is positive at 0 and not at 1.
  float lo = 0.0f, hi = 1.0f, dLo = d0;
  Vector3 lo1 = closest1, lo2 = closest2;
  COrientation pose;
  for (int i = 0; i < kBisections && dLo > kContactGap; ++i) {
    const float mid = 0.5f * (lo + hi);
    pose.Interpolate(start_, end_, mid);
    const float d = Distance(other, pose, otherPose);
    if (d > 0.0f) {
      lo = mid;
      dLo = d;
      lo1 = closest1;
      lo2 = closest2;
      trust(d);
    } else {
      hi = mid;
    }
  }
  closest1 = lo1;
  closest2 = lo2;
  if (!haveDirection) {
    // The bodies touched from the start, so the walk's last features are the start pose's (no
    // halving ran). They give the normal exactly when one is a face or they are two crossing
    // edges; corners and edges in line (boxes meeting squarely) need not give the way apart,
    // the pieces' faces do.
    pose.Interpolate(start_, end_, lo);
    if (lo != 0.0f || !ExactFeatureNormal(other, pose, otherPose, n)) n = TouchNormal(other, pose, otherPose);
  }
  return lo;
}

bool CPolyhedronInfo::ExactFeatureNormal(const PolyTree* other, const COrientation& pose, const COrientation& otherPose,
                                         Vector3& n) const {
  const ClosestFeaturePair* pair = ClosestFeatureCache::Shared().Find(tree_, other);
  if (!pair || !pair->feature1 || !pair->feature2) return false;
  const Feature* a = pair->feature1;
  const Feature* b = pair->feature2;
  bool exact = a->type == kPolyFace || b->type == kPolyFace;
  if (a->type == kPolyEdge && b->type == kPolyEdge) {
    const Vector3 c =
        World(pose, static_cast<const Edge*>(a)->u).Cross(World(otherPose, static_cast<const Edge*>(b)->u));
    exact = c.Dot(c) > kMinCrossing * kMinCrossing;
  }
  if (!exact) return false;
  n = ContactNormal(a, pose, b, otherPose) * -1.0f;
  return true;
}

Vector3 CPolyhedronInfo::TouchNormal(const PolyTree* other, const COrientation& pose,
                                     const COrientation& otherPose) const {
  std::vector<WorldPiece> mine, theirs;
  CollectPieces(tree_, ToVclipSe3(pose), mine);
  CollectPieces(other, ToVclipSe3(otherPose), theirs);
  Vector3 n;
  return LeastOverlapNormal(mine, theirs, kPatchTolerance, n) ? n : FeatureNormal(other, pose, otherPose);
}

Vector3 CPolyhedronInfo::FeatureNormal(const PolyTree* other, const COrientation& pose,
                                       const COrientation& otherPose) const {
  const ClosestFeaturePair* pair = ClosestFeatureCache::Shared().Find(tree_, other);
  return pair ? ContactNormal(pair->feature1, pose, pair->feature2, otherPose) * -1.0f : Vector3(0.0f, 0.0f, 0.0f);
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
