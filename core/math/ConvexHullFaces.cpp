// Incremental (beneath-beyond) convex hull with exact orientation tests.
//
// Deciding which faces a new point sees with a floating-point "> 0" test is
// fragile: on nearly coplanar input the visible set can come out inconsistent
// and the hull ends up with holes or doubled edges. Here every point is first
// snapped to an integer grid fine enough to lose nothing a float can show at
// the set's scale (2^-36 of the largest coordinate), and all orientation
// signs are computed exactly in 128-bit integers. With exact signs the faces a
// point sees always form one disc, so each step replaces it by a fan and the
// hull stays closed.
#include "core/math/ConvexHullFaces.h"

#include "platform/Win32.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace {

__extension__ typedef __int128 Int128;  // GCC and Clang on 64-bit targets

// Grid coordinates are at most 2^36 in magnitude, then scaled by 4 so that the
// centroid of the first tetrahedron is a grid point too. Differences stay
// below 2^40, normals below 2^81 and every dot product well below 2^127.
constexpr int kGridBits = 36;

struct GridPoint {
  int64_t x, y, z;
  bool operator==(const GridPoint& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct Normal {
  Int128 x, y, z;
  bool IsZero() const { return x == 0 && y == 0 && z == 0; }
};

Normal CrossOfDifferences(const GridPoint& o, const GridPoint& a, const GridPoint& b) {
  const Int128 ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z;
  const Int128 bx = b.x - o.x, by = b.y - o.y, bz = b.z - o.z;
  return {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
}

Int128 DotWithDifference(const Normal& n, const GridPoint& p, const GridPoint& o) {
  return n.x * (p.x - o.x) + n.y * (p.y - o.y) + n.z * (p.z - o.z);
}

struct Face {
  uint32_t v[3];
  Normal normal;  // (p1 - p0) x (p2 - p0), outward
  bool alive;
};

uint32_t EdgeKey(uint32_t a, uint32_t b) {
  return a > b ? (a << 16) | b : (b << 16) | a;
}

void Log(const char* text) {
  char line[160];
  std::snprintf(line, sizeof(line), "BuildConvexHullFaces: %s\n", text);
  OutputDebugStringA(line);
}

class HullBuilder {
 public:
  explicit HullBuilder(std::vector<GridPoint> grid) : grid_(std::move(grid)), done_(grid_.size(), false) {}

  bool Run(std::vector<ConvexHullTriangle>& out);

 private:
  bool StartTetrahedron();
  void AddFace(uint32_t a, uint32_t b, uint32_t c);
  void AddPoint(uint32_t p);
  bool Sees(const Face& f, const GridPoint& p) const {
    return DotWithDifference(f.normal, p, grid_[f.v[0]]) > 0;
  }

  std::vector<GridPoint> grid_;
  std::vector<bool> done_;
  std::vector<Face> faces_;
  std::unordered_map<uint32_t, int> edgeUses_;
  GridPoint interior_{0, 0, 0};
};

bool HullBuilder::StartTetrahedron() {
  const uint32_t n = static_cast<uint32_t>(grid_.size());
  uint32_t i1 = n, i2 = n, i3 = n;
  for (uint32_t i = 1; i < n && i1 == n; ++i) {
    if (!(grid_[i] == grid_[0])) i1 = i;
  }
  if (i1 == n) return false;
  for (uint32_t i = 1; i < n && i2 == n; ++i) {
    if (i != i1 && !CrossOfDifferences(grid_[0], grid_[i1], grid_[i]).IsZero()) i2 = i;
  }
  if (i2 == n) return false;
  const Normal base = CrossOfDifferences(grid_[0], grid_[i1], grid_[i2]);
  for (uint32_t i = 1; i < n && i3 == n; ++i) {
    if (i != i1 && i != i2 && DotWithDifference(base, grid_[i], grid_[0]) != 0) i3 = i;
  }
  if (i3 == n) return false;

  const uint32_t corner[4] = {0, i1, i2, i3};
  int64_t sx = 0, sy = 0, sz = 0;
  for (uint32_t c : corner) {
    sx += grid_[c].x;
    sy += grid_[c].y;
    sz += grid_[c].z;
    done_[c] = true;
  }
  // Grid coordinates are multiples of 4, so the centroid is exact.
  interior_ = {sx / 4, sy / 4, sz / 4};
  AddFace(0, i1, i2);
  AddFace(0, i1, i3);
  AddFace(0, i2, i3);
  AddFace(i1, i2, i3);
  for (uint32_t a = 0; a < 4; ++a) {
    for (uint32_t b = a + 1; b < 4; ++b) edgeUses_[EdgeKey(corner[a], corner[b])] = 2;
  }
  return true;
}

// Adds the triangle wound so that its normal points away from the interior point.
void HullBuilder::AddFace(uint32_t a, uint32_t b, uint32_t c) {
  Face f{{a, b, c}, CrossOfDifferences(grid_[a], grid_[b], grid_[c]), true};
  if (DotWithDifference(f.normal, interior_, grid_[a]) > 0) {
    f.v[1] = c;
    f.v[2] = b;
    f.normal = {-f.normal.x, -f.normal.y, -f.normal.z};
  }
  faces_.push_back(f);
}

void HullBuilder::AddPoint(uint32_t p) {
  const GridPoint& q = grid_[p];
  std::vector<uint32_t> removed;
  for (uint32_t i = 0; i < faces_.size(); ++i) {
    if (!Sees(faces_[i], q)) continue;
    faces_[i].alive = false;
    removed.push_back(i);
    for (int k = 0; k < 3; ++k) --edgeUses_[EdgeKey(faces_[i].v[k], faces_[i].v[(k + 1) % 3])];
  }
  if (removed.empty()) return;  // inside or on the hull: nothing to add

  // An edge that lost one use borders exactly one removed face: the horizon.
  std::vector<uint32_t> horizon;
  for (uint32_t i : removed) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = faces_[i].v[k], b = faces_[i].v[(k + 1) % 3];
      auto it = edgeUses_.find(EdgeKey(a, b));
      if (it == edgeUses_.end()) continue;  // interior edge, already dropped via its other face
      if (it->second == 0) {
        edgeUses_.erase(it);
      } else if (it->second == 1) {
        horizon.push_back(a);
        horizon.push_back(b);
      }
    }
  }
  std::vector<Face> kept;
  kept.reserve(faces_.size());
  for (const Face& f : faces_) {
    if (f.alive) kept.push_back(f);
  }
  faces_.swap(kept);

  for (size_t h = 0; h < horizon.size(); h += 2) {
    const uint32_t a = horizon[h], b = horizon[h + 1];
    AddFace(a, b, p);
    edgeUses_[EdgeKey(a, b)] = 2;
    ++edgeUses_[EdgeKey(a, p)];
    ++edgeUses_[EdgeKey(b, p)];
  }
}

bool HullBuilder::Run(std::vector<ConvexHullTriangle>& out) {
  if (!StartTetrahedron()) return false;
  for (uint32_t i = 0; i < grid_.size(); ++i) {
    if (done_[i]) continue;
    done_[i] = true;
    AddPoint(i);
  }
  out.reserve(faces_.size());
  for (const Face& f : faces_) {
    out.push_back({{static_cast<uint16_t>(f.v[0]), static_cast<uint16_t>(f.v[1]),
                    static_cast<uint16_t>(f.v[2])}});
  }
  return true;
}

// Snaps the points to the exact integer grid; false when a coordinate is not finite.
bool SnapToGrid(const Vector3* points, uint32_t count, std::vector<GridPoint>& grid) {
  double largest = 0.0;
  for (uint32_t i = 0; i < count; ++i) {
    for (int k = 0; k < 3; ++k) {
      const float v = points[i][k];
      if (!std::isfinite(v)) return false;
      largest = std::fmax(largest, std::fabs(static_cast<double>(v)));
    }
  }
  int exponent = 0;
  std::frexp(largest, &exponent);  // largest < 2^exponent (or largest is 0)
  grid.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    int64_t c[3];
    for (int k = 0; k < 3; ++k) {
      c[k] = 4 * std::llround(std::ldexp(static_cast<double>(points[i][k]), kGridBits - exponent));
    }
    grid[i] = {c[0], c[1], c[2]};
  }
  return true;
}

}  // namespace

bool BuildConvexHullFaces(const Vector3* points, uint32_t count, std::vector<ConvexHullTriangle>& out) {
  out.clear();
  if (count < 4) return false;
  if (points == nullptr) {
    Log("no point array");
    return false;
  }
  if (count > kMaxConvexHullPoints) {
    char text[96];
    std::snprintf(text, sizeof(text), "%u points exceed the 16-bit index limit", count);
    Log(text);
    return false;
  }
  std::vector<GridPoint> grid;
  if (!SnapToGrid(points, count, grid)) {
    Log("point coordinate is not finite");
    return false;
  }
  HullBuilder builder(std::move(grid));
  if (!builder.Run(out)) {
    out.clear();
    return false;
  }
  return true;
}
