// Graham scan: sort by polar angle around the lowest point, then keep left turns.
#include "core/math/ConvexHull2D.h"

#include <algorithm>
#include <cmath>

namespace {

struct PolarEntry {
  uint32_t index;
  float angle;
  float distanceSquared;
};

// Angles closer than this are treated as one direction, keeping only the
// farthest point, so near-duplicate directions do not create tiny hull edges.
constexpr float kAngleMerge = 0.0001f;

bool IsFinite(const Vector2& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

float Turn(const Vector2& o, const Vector2& a, const Vector2& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

}  // namespace

std::vector<uint32_t> ConvexHull2D::Build(const Vector2* points, uint32_t count) {
  std::vector<uint32_t> hull;
  if (points == nullptr || count < 3) return hull;

  uint32_t pivot = count;
  for (uint32_t i = 0; i < count; ++i) {
    if (!IsFinite(points[i])) continue;
    if (pivot == count || points[i].y < points[pivot].y ||
        (points[i].y == points[pivot].y && points[i].x < points[pivot].x)) {
      pivot = i;
    }
  }
  if (pivot == count) return hull;

  const Vector2& origin = points[pivot];
  std::vector<PolarEntry> entries;
  entries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (i == pivot || !IsFinite(points[i])) continue;
    const float du = points[i].x - origin.x;
    const float dv = points[i].y - origin.y;
    const float dist2 = du * du + dv * dv;
    if (dist2 == 0.0f) continue;
    entries.push_back({i, std::atan2(dv, du), dist2});
  }
  std::sort(entries.begin(), entries.end(), [](const PolarEntry& a, const PolarEntry& b) {
    if (a.angle != b.angle) return a.angle < b.angle;
    return a.distanceSquared > b.distanceSquared;
  });

  std::vector<PolarEntry> kept;
  kept.reserve(entries.size());
  for (const PolarEntry& e : entries) {
    if (!kept.empty() && e.angle - kept.back().angle < kAngleMerge) {
      if (e.distanceSquared > kept.back().distanceSquared) kept.back() = e;
      continue;
    }
    kept.push_back(e);
  }

  hull.push_back(pivot);
  for (const PolarEntry& e : kept) {
    while (hull.size() >= 2 &&
           Turn(points[hull[hull.size() - 2]], points[hull.back()], points[e.index]) <= 0.0f) {
      hull.pop_back();
    }
    hull.push_back(e.index);
  }
  if (hull.size() < 3) hull.clear();
  return hull;
}
