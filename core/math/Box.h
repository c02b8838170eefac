// Box: axis-aligned bounding box given by its minimum and maximum corners.
#pragma once

#include "core/math/Vector3.h"

struct Box {
  Vector3 min;
  Vector3 max;

  Box() = default;
  Box(const Vector3& lo, const Vector3& hi) : min(lo), max(hi) {}

  void SetFromPoints(const Vector3& a, const Vector3& b);
  void SetFromCenterRadius(const Vector3& c, float r) {
    min = Vector3(c.x - r, c.y - r, c.z - r);
    max = Vector3(c.x + r, c.y + r, c.z + r);
  }
  void SetFromTriangle(const Vector3& a, const Vector3& b, const Vector3& c);

  Vector3 GetSize() const { return max - min; }
  Vector3 GetCenter() const { return (min + max) * 0.5f; }
  // Product of the extents; an inverted box is not checked for.
  float Volume() const { return (max.x - min.x) * (max.y - min.y) * (max.z - min.z); }

  // Bit 0 selects max.x, bit 1 max.y, bit 2 max.z; clear bits select the min side.
  Vector3 GetCorner(int bits) const {
    return Vector3((bits & 1) ? max.x : min.x, (bits & 2) ? max.y : min.y, (bits & 4) ? max.z : min.z);
  }
  Vector3 GetCornerXYZ(bool bx, bool by, bool bz) const {
    return Vector3(bx ? max.x : min.x, by ? max.y : min.y, bz ? max.z : min.z);
  }

  Box Union(const Box& other) const;
  void ExtendByPoint(const Vector3& p) {
    if (p.x < min.x) min.x = p.x;
    if (p.y < min.y) min.y = p.y;
    if (p.z < min.z) min.z = p.z;
    if (p.x > max.x) max.x = p.x;
    if (p.y > max.y) max.y = p.y;
    if (p.z > max.z) max.z = p.z;
  }
  void ExtendByBox(const Box& other) { *this = Union(other); }

  // out = the common part; true only when it has a positive extent on every axis,
  // so boxes that merely touch give false.
  bool Intersect(const Box& other, Box& out) const;

  // The octree's overlap test: strict on one side (other.min < max) and inclusive
  // on the other (other.max >= min). A box touching this one from below overlaps;
  // one touching it from above does not.
  bool Overlaps(const Box& other) const {
    return other.min.x < max.x && other.max.x >= min.x &&  //
           other.min.y < max.y && other.max.y >= min.y &&  //
           other.min.z < max.z && other.max.z >= min.z;
  }
  // True when other lies inside this box, faces included.
  bool ContainsBox(const Box& other) const {
    return min.x <= other.min.x && min.y <= other.min.y && min.z <= other.min.z &&  //
           other.max.x <= max.x && other.max.y <= max.y && other.max.z <= max.z;
  }
  // True when this box lies inside other, faces included.
  bool IsInside(const Box& other) const { return other.ContainsBox(*this); }

  float OverlapVolume(const Box& other) const;
  float GrowthToPoint(const Vector3& p) const;
  float GrowthToBox(const Box& other) const;

  void Translate(const Vector3& v) {
    min += v;
    max += v;
  }
  void Inflate(const Vector3& v) {
    min -= v;
    max += v;
  }
  // Each face moves outward by half the extent times f, so extent e becomes e * (1 + f).
  void ScaleAboutCentre(const Vector3& f);

  // Per-axis distance of p outside the box (0 on axes where p is within range).
  Vector3 DistanceOutside(const Vector3& p) const;
  // p with each coordinate wrapped into the box by whole extents.
  Vector3 WrapPoint(const Vector3& p) const;
  // Uniform point in [min, max], one plat::rand() per axis (x, y, z order).
  Vector3 RandomPoint() const;
};

static_assert(sizeof(Box) == 24, "Box is two packed Vector3");
