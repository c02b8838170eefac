#include "physics/polyhedron/BeamArrayInfo.h"

#include <algorithm>
#include <cfloat>

namespace {

bool BoxesTouch(const Box& a, const Box& b) {
  return a.max.x >= b.min.x && a.min.x <= b.max.x && a.max.y >= b.min.y && a.min.y <= b.max.y &&
         a.max.z >= b.min.z && a.min.z <= b.max.z;
}

Box CornerBox(const Vector3& a, const Vector3& b, const Vector3& k) {
  Box box;
  box.SetFromTriangle(a, b, k);
  return box;
}

}  // namespace

void BeamArrayInfo::GetBounds(Box& out) const {
  if (boxes.empty()) {
    out = Box(Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f));
    return;
  }
  out = boxes[0];
  for (size_t i = 1; i < boxes.size(); ++i) out.ExtendByBox(boxes[i]);
}

void BeamArrayInfo::GetSweep(Vector3& out) const {
  out = beams.empty() ? Vector3(0.0f, 0.0f, 0.0f) : beams[0].end - beams[0].start;
}

bool BeamArrayInfo::TestBeams(BeamIntersectedObject& shape, const Box& testBox) {
  // Beams without a box of their own are never offered: reading past the box array
  // would test them against garbage.
  const size_t count = std::min(beams.size(), boxes.size());
  size_t best = count;
  float bestTime = FLT_MAX;
  for (size_t i = 0; i < count; ++i) {
    if (!BoxesTouch(boxes[i], testBox)) continue;
    if (shape.Apply(beams[i]) && beams[i].result.time < bestTime) {
      bestTime = beams[i].result.time;
      best = i;
    }
  }
  if (best == count) return false;
  result = beams[best].result;
  normal = beams[best].normal;
  return true;
}

bool BeamArrayInfo::IntersectBox(const Box& box) {
  BeamBoxIntersector shape(box);
  return TestBeams(shape, box);
}

bool BeamArrayInfo::IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool,
                                     const Box* box) {
  BeamPolyIntersector shape(a, b, k, n);
  return TestBeams(shape, box ? *box : CornerBox(a, b, k));
}

bool BeamArrayInfo::IntersectTriangle(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool,
                                      const Box* box) {
  BeamPoly2SidedIntersector shape(a, b, k, n);
  return TestBeams(shape, box ? *box : CornerBox(a, b, k));
}

bool BeamArrayInfo::IntersectSphere(const Vector3& centre, float radius) {
  BeamSphereIntersector shape(centre, radius);
  Box box;
  box.SetFromCenterRadius(centre, radius);
  return TestBeams(shape, box);
}
