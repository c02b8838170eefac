// Box: the out-of-line box operations (unions, overlap volumes, wrapping, random points).
#include "core/math/Box.h"

#include "core/math/MathUtil.h"
#include "platform/system/Platform.h"

#include <algorithm>
#include <cmath>

namespace {

float Min3(float a, float b, float c) { return std::min(a, std::min(b, c)); }
float Max3(float a, float b, float c) { return std::max(a, std::max(b, c)); }

float RandomInRange(float lo, float hi) {
  return lo + float(plat::rand()) * (hi - lo) / float(plat::kRandMax);
}

}  // namespace

void Box::SetFromPoints(const Vector3& a, const Vector3& b) {
  min = Vector3(std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z));
  max = Vector3(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z));
}

void Box::SetFromTriangle(const Vector3& a, const Vector3& b, const Vector3& c) {
  min = Vector3(Min3(a.x, b.x, c.x), Min3(a.y, b.y, c.y), Min3(a.z, b.z, c.z));
  max = Vector3(Max3(a.x, b.x, c.x), Max3(a.y, b.y, c.y), Max3(a.z, b.z, c.z));
}

Box Box::Union(const Box& other) const {
  return Box(Vector3(std::min(min.x, other.min.x), std::min(min.y, other.min.y), std::min(min.z, other.min.z)),
             Vector3(std::max(max.x, other.max.x), std::max(max.y, other.max.y), std::max(max.z, other.max.z)));
}

bool Box::Intersect(const Box& other, Box& out) const {
  out.min = Vector3(std::max(min.x, other.min.x), std::max(min.y, other.min.y), std::max(min.z, other.min.z));
  out.max = Vector3(std::min(max.x, other.max.x), std::min(max.y, other.max.y), std::min(max.z, other.max.z));
  const Vector3 e = out.GetSize();
  return e.x > 0.0f && e.y > 0.0f && e.z > 0.0f;
}

float Box::OverlapVolume(const Box& other) const {
  Box common;
  return Intersect(other, common) ? common.Volume() : 0.0f;
}

float Box::GrowthToPoint(const Vector3& p) const {
  Box grown = *this;
  grown.ExtendByPoint(p);
  return grown.Volume() - Volume();
}

float Box::GrowthToBox(const Box& other) const { return Union(other).Volume() - Volume(); }

void Box::ScaleAboutCentre(const Vector3& f) {
  const Vector3 e = GetSize();
  const Vector3 move(0.5f * e.x * f.x, 0.5f * e.y * f.y, 0.5f * e.z * f.z);
  min -= move;
  max += move;
}

Vector3 Box::DistanceOutside(const Vector3& p) const {
  return Vector3(DistanceOutsideRange(p.x, min.x, max.x), DistanceOutsideRange(p.y, min.y, max.y),
                 DistanceOutsideRange(p.z, min.z, max.z));
}

Vector3 Box::WrapPoint(const Vector3& p) const {
  return Vector3(WrapToRange(p.x, min.x, max.x), WrapToRange(p.y, min.y, max.y), WrapToRange(p.z, min.z, max.z));
}

Vector3 Box::RandomPoint() const {
  // Separate statements fix the draw order x, y, z.
  const float x = RandomInRange(min.x, max.x);
  const float y = RandomInRange(min.y, max.y);
  const float z = RandomInRange(min.z, max.z);
  return Vector3(x, y, z);
}
