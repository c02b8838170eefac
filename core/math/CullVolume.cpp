// Cull volume construction and the box, sphere and point classifications.
#include "core/math/CullVolume.h"

#include "core/math/ViewFrustum.h"
#include "platform/system/Win32.h"
#include "core/math/ConvexHull2D.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

Box BoxOfPoints(const Vector3* points, uint32_t count) {
  if (count == 0) return Box(Vector3(), Vector3());
  Box box(points[0], points[0]);
  for (uint32_t i = 1; i < count; ++i) box.ExtendByPoint(points[i]);
  return box;
}

// Inclusive on both sides: the volume is closed, so a box that only touches
// its bounds may still touch the volume.
bool BoxesTouch(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x &&  //
         a.min.y <= b.max.y && b.min.y <= a.max.y &&  //
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

// The box corner taking max on the axes whose bit is set, min on the others.
Vector3 CornerByBits(const Box& box, uint32_t maxBits) {
  return Vector3((maxBits & 1) ? box.max.x : box.min.x, (maxBits & 2) ? box.max.y : box.min.y,
                 (maxBits & 4) ? box.max.z : box.min.z);
}

// Sine and cosine of the half angles of the side planes: horizontal from the
// frustum's cached field of view, vertical narrowed by the aspect ratio the
// same way the corner points are. Taking the horizontal angle for all four
// sides (as a square view would) leaves the planes out of step with the
// corners when the aspect is not 1: the frustum's top and bottom planes then
// pass through the far corners at the wrong slope and cut away the view near
// the eye.
struct SideAngles {
  float sh, ch;  // left and right planes
  float sv, cv;  // top and bottom planes
};

SideAngles SideAnglesOf(const ViewFrustum& frustum) {
  SideAngles a{frustum.sinHalfFov, frustum.cosHalfFov, frustum.sinHalfFov, frustum.cosHalfFov};
  const float aspect = frustum.GetAspect();
  if (aspect != 1.0f && aspect > 0.0f) {
    const float t = frustum.GetTanHalfFov() / aspect;
    const float len = std::sqrt(1.0f + t * t);
    a.sv = t / len;
    a.cv = 1.0f / len;
  }
  return a;
}

}  // namespace

CullVolume::CullVolume(const ViewFrustum& frustum, uint8_t kind) {
  // A parallel view has no apex for the pyramid to start from, so it always
  // gets the box-shaped frustum; the pyramid's angled sides would cut away
  // parts of the view near the eye.
  if (kind == 0 && !frustum.IsOrthographic()) {
    BuildPyramid(frustum);
  } else {
    BuildFrustum(frustum);
  }
}

CullVolume::CullVolume(const Vector3* vertices, uint32_t vertexCount, const ConvexHullTriangle* faces,
                       uint32_t faceCount) {
  if (vertices == nullptr) vertexCount = 0;
  if (faces == nullptr) faceCount = 0;
  bounds_ = BoxOfPoints(vertices, vertexCount);
  planes_ = std::make_unique<CullPlane[]>(faceCount);
  for (uint32_t f = 0; f < faceCount; ++f) {
    const uint16_t* idx = faces[f].index;
    CullPlane& plane = planes_[planeCount_];
    if (idx[0] >= vertexCount || idx[1] >= vertexCount || idx[2] >= vertexCount) {
      char line[96];
      std::snprintf(line, sizeof(line), "CullVolume: face %u names a vertex beyond %u, skipped\n", f, vertexCount);
      OutputDebugStringA(line);
      continue;
    }
    const Vector3& p0 = vertices[idx[0]];
    plane.normal = (vertices[idx[1]] - p0).Cross(vertices[idx[2]] - p0);
    plane.normal.Normalize();
    plane.point = p0;
    plane.Finish();
    ++planeCount_;
  }
  PlanesFromPoints(vertices, vertexCount);
}

CullVolume::~CullVolume() = default;

void CullVolume::SetPlanes(const Vector3* localNormals, const Vector3* worldPoints, uint32_t count,
                           const ViewFrustum& frustum) {
  planeCount_ = count;
  planes_ = std::make_unique<CullPlane[]>(count);
  for (uint32_t i = 0; i < count; ++i) {
    CullPlane& plane = planes_[i];
    plane.normal = frustum.GetFrame().LocalToWorldVector(localNormals[i]);
    plane.normal.Normalize();  // sphere tests need true distances
    plane.point = worldPoints[i];
    plane.Finish();
  }
}

void CullVolume::BuildPyramid(const ViewFrustum& frustum) {
  const COrientation& frame = frustum.GetFrame();
  const SideAngles a = SideAnglesOf(frustum);
  Vector3 corners[5];
  corners[0] = frame.GetPosition();
  for (int i = 0; i < 4; ++i) {
    Vector3 local;
    frustum.GetFarCorner(local, i);
    corners[1 + i] = frame.LocalToWorldPoint(local);
  }
  const Vector3 normals[5] = {Vector3(-a.sh, a.ch, 0.0f), Vector3(-a.sh, -a.ch, 0.0f),
                              Vector3(-a.sv, 0.0f, a.cv), Vector3(-a.sv, 0.0f, -a.cv),
                              Vector3(1.0f, 0.0f, 0.0f)};
  const Vector3 points[5] = {corners[0], corners[0], corners[0], corners[0], corners[1]};
  SetPlanes(normals, points, 5, frustum);
  bounds_ = BoxOfPoints(corners, 5);
  PlanesFromPoints(corners, 5);
}

void CullVolume::BuildFrustum(const ViewFrustum& frustum) {
  const COrientation& frame = frustum.GetFrame();
  Vector3 corners[8];  // far 0-3, then near 0-3
  for (int i = 0; i < 4; ++i) {
    Vector3 local;
    frustum.GetFarCorner(local, i);
    corners[i] = frame.LocalToWorldPoint(local);
    frustum.GetNearCorner(local, i);
    corners[4 + i] = frame.LocalToWorldPoint(local);
  }
  const SideAngles a = SideAnglesOf(frustum);
  const Vector3 perspective[6] = {Vector3(-a.sh, a.ch, 0.0f),  Vector3(-a.sv, 0.0f, a.cv),
                                  Vector3(-a.sv, 0.0f, -a.cv), Vector3(-a.sh, -a.ch, 0.0f),
                                  Vector3(1.0f, 0.0f, 0.0f),   Vector3(-1.0f, 0.0f, 0.0f)};
  const Vector3 parallel[6] = {Vector3(0.0f, 1.0f, 0.0f),  Vector3(0.0f, 0.0f, 1.0f),
                               Vector3(0.0f, 0.0f, -1.0f), Vector3(0.0f, -1.0f, 0.0f),
                               Vector3(1.0f, 0.0f, 0.0f),  Vector3(-1.0f, 0.0f, 0.0f)};
  const Vector3 points[6] = {corners[0], corners[1], corners[2], corners[3], corners[0], corners[4]};
  SetPlanes(frustum.IsOrthographic() ? parallel : perspective, points, 6, frustum);
  bounds_ = BoxOfPoints(corners, 8);
  PlanesFromPoints(corners, 8);
}

void CullVolume::PlanesFromPoints(const Vector3* points, uint32_t count) {
  for (auto& edges : hullEdges_) edges.clear();
  if (points == nullptr) return;
  std::vector<Vector2> projected(count);
  for (int k = 0; k < 3; ++k) {
    const int ku = k, kv = (k + 1) % 3;
    for (uint32_t i = 0; i < count; ++i) projected[i] = Vector2(points[i][ku], points[i][kv]);
    const std::vector<uint32_t> hull = ConvexHull2D::Build(projected.data(), count);
    if (hull.size() < 3) return;  // a flat outline: this and later projections test nothing

    // Winding of the scan's polygon, so that (a, b) is made to point outward.
    float area2 = 0.0f;
    for (size_t h = 0; h < hull.size(); ++h) {
      const Vector2& p = projected[hull[h]];
      const Vector2& q = projected[hull[(h + 1) % hull.size()]];
      area2 += p.x * q.y - q.x * p.y;
    }
    const float outward = area2 > 0.0f ? 1.0f : -1.0f;
    for (size_t h = 0; h < hull.size(); ++h) {
      const Vector2& pi = projected[hull[h]];
      const Vector2& pj = projected[hull[(h + 1) % hull.size()]];
      CullHullEdge edge;
      edge.a = outward * (pj.y - pi.y);
      edge.b = outward * (pi.x - pj.x);
      // The line is placed on the outermost point rather than through the edge's
      // own ends, so points dropped or misjudged by rounding in the scan can
      // never end up outside it and a visible box is never rejected.
      float support = edge.a * pi.x + edge.b * pi.y;
      for (uint32_t i = 0; i < count; ++i) {
        support = std::max(support, edge.a * projected[i].x + edge.b * projected[i].y);
      }
      edge.c = -support;
      edge.nearCorner = (edge.a <= 0.0f ? 1u : 0u) | (edge.b <= 0.0f ? 2u : 0u);
      edge.farCorner = edge.nearCorner ^ 3u;
      hullEdges_[k].push_back(edge);
    }
  }
}

int32_t CullVolume::ClassifyBox(const Box& box) const {
  if (!BoxesTouch(box, bounds_)) return -1;
  if (box.ContainsBox(bounds_)) return 0;
  bool inside = true;
  for (uint32_t i = 0; i < planeCount_; ++i) {
    const CullPlane& plane = planes_[i];
    if (plane.Distance(CornerByBits(box, plane.negativeAxes)) > 0.0f) return -1;
    if (plane.Distance(CornerByBits(box, plane.positiveAxes)) >= 0.0f) inside = false;
  }
  if (inside) return 1;
  return OutsideProjectedHulls(box) ? -1 : 0;
}

bool CullVolume::OutsideProjectedHulls(const Box& box) const {
  for (int k = 0; k < 3; ++k) {
    const int ku = k, kv = (k + 1) % 3;
    const float us[2] = {box.min[ku], box.max[ku]};
    const float vs[2] = {box.min[kv], box.max[kv]};
    for (const CullHullEdge& edge : hullEdges_[k]) {
      const uint32_t corner = edge.nearCorner;
      if (edge.Evaluate(us[corner & 1], vs[(corner >> 1) & 1]) > 0.0f) return true;
    }
  }
  return false;
}

int32_t CullVolume::ClassifySphere(const Vector3& centre, float radius) const {
  bool crossing = false;
  for (uint32_t i = 0; i < planeCount_; ++i) {
    const float t = planes_[i].Distance(centre);
    if (t > radius) return -1;
    if (t > -radius) crossing = true;
  }
  return crossing ? 0 : 1;
}

bool CullVolume::ContainsPoint(const Vector3& p) const {
  for (uint32_t i = 0; i < planeCount_; ++i) {
    if (planes_[i].Distance(p) > 0.0f) return false;
  }
  return true;
}
