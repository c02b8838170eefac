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

#include "platform/system/Win32.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <utility>

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
  uint32_t visit;               // the step that last tested this face
  bool seen;                    // that step's answer
  std::vector<uint32_t> outside;  // waiting points that see this face, each listed on one face only
};

constexpr uint32_t kNoFace = UINT32_MAX;

// Directed edge a -> b as it runs in the face that owns it; indices fit 16 bits.
uint32_t EdgeKey(uint32_t a, uint32_t b) { return (a << 16) | b; }

void Log(const char* text) {
  char line[160];
  std::snprintf(line, sizeof(line), "BuildConvexHullFaces: %s\n", text);
  OutputDebugStringA(line);
}

// Points go in in a fixed pseudo-random order and each waiting point outside the hull is listed
// on one face it sees. Adding a point then costs the faces it sees, found by walking from that
// face over shared edges, plus a new-face test for each point those faces listed; in random order
// both add up to about n log n, where scanning every face per point would be quadratic.
class HullBuilder {
 public:
  explicit HullBuilder(std::vector<GridPoint> grid) : grid_(std::move(grid)), faceOf_(grid_.size(), kNoFace) {}

  bool Run(std::vector<ConvexHullTriangle>& out);

 private:
  bool StartTetrahedron(uint32_t corner[4]);
  uint32_t AddFace(uint32_t a, uint32_t b, uint32_t c);
  void AddPoint(uint32_t p);
  void FindVisible(uint32_t start, const GridPoint& q, std::vector<uint32_t>& visible,
                   std::vector<uint32_t>& horizon);
  void Assign(uint32_t point, const std::vector<uint32_t>& candidates);
  bool Sees(const Face& f, const GridPoint& p) const {
    return DotWithDifference(f.normal, p, grid_[f.v[0]]) > 0;
  }

  std::vector<GridPoint> grid_;
  std::vector<uint32_t> faceOf_;  // the face a waiting point is listed on, or kNoFace
  std::vector<Face> faces_;
  std::unordered_map<uint32_t, uint32_t> edgeOwner_;  // directed edge -> live face
  GridPoint interior_{0, 0, 0};
  uint32_t step_ = 0;
};

bool HullBuilder::StartTetrahedron(uint32_t corner[4]) {
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

  corner[0] = 0;
  corner[1] = i1;
  corner[2] = i2;
  corner[3] = i3;
  int64_t sx = 0, sy = 0, sz = 0;
  for (int c = 0; c < 4; ++c) {
    sx += grid_[corner[c]].x;
    sy += grid_[corner[c]].y;
    sz += grid_[corner[c]].z;
  }
  // Grid coordinates are multiples of 4, so the centroid is exact.
  interior_ = {sx / 4, sy / 4, sz / 4};
  AddFace(0, i1, i2);
  AddFace(0, i1, i3);
  AddFace(0, i2, i3);
  AddFace(i1, i2, i3);
  return true;
}

// Adds the triangle wound so that its normal points away from the interior point.
uint32_t HullBuilder::AddFace(uint32_t a, uint32_t b, uint32_t c) {
  Face f{{a, b, c}, CrossOfDifferences(grid_[a], grid_[b], grid_[c]), true, 0, false, {}};
  if (DotWithDifference(f.normal, interior_, grid_[a]) > 0) {
    f.v[1] = c;
    f.v[2] = b;
    f.normal = {-f.normal.x, -f.normal.y, -f.normal.z};
  }
  const uint32_t index = static_cast<uint32_t>(faces_.size());
  for (int k = 0; k < 3; ++k) edgeOwner_[EdgeKey(f.v[k], f.v[(k + 1) % 3])] = index;
  faces_.push_back(std::move(f));
  return index;
}

// With exact signs the faces a point sees form one edge-connected disc, so a walk from one of
// them finds them all; the edges from a seen face to an unseen one are the horizon (as a -> b
// pairs, wound as in the seen face).
void HullBuilder::FindVisible(uint32_t start, const GridPoint& q, std::vector<uint32_t>& visible,
                              std::vector<uint32_t>& horizon) {
  ++step_;
  faces_[start].visit = step_;
  faces_[start].seen = true;
  visible.push_back(start);
  for (size_t at = 0; at < visible.size(); ++at) {
    const uint32_t v[3] = {faces_[visible[at]].v[0], faces_[visible[at]].v[1], faces_[visible[at]].v[2]};
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = v[k], b = v[(k + 1) % 3];
      Face& next = faces_[edgeOwner_.at(EdgeKey(b, a))];
      if (next.visit != step_) {
        next.visit = step_;
        next.seen = Sees(next, q);
        if (next.seen) visible.push_back(static_cast<uint32_t>(&next - faces_.data()));
      }
      if (!next.seen) {
        horizon.push_back(a);
        horizon.push_back(b);
      }
    }
  }
}

// Lists a waiting point on the first candidate face it sees; one that sees none is inside.
void HullBuilder::Assign(uint32_t point, const std::vector<uint32_t>& candidates) {
  faceOf_[point] = kNoFace;
  for (uint32_t f : candidates) {
    if (Sees(faces_[f], grid_[point])) {
      faceOf_[point] = f;
      faces_[f].outside.push_back(point);
      return;
    }
  }
}

void HullBuilder::AddPoint(uint32_t p) {
  const uint32_t start = faceOf_[p];
  faceOf_[p] = kNoFace;
  if (start == kNoFace) return;  // inside or on the hull: nothing to add
  std::vector<uint32_t> visible, horizon;
  FindVisible(start, grid_[p], visible, horizon);

  std::vector<uint32_t> orphans;
  for (uint32_t f : visible) {
    Face& face = faces_[f];
    face.alive = false;
    for (int k = 0; k < 3; ++k) {
      auto it = edgeOwner_.find(EdgeKey(face.v[k], face.v[(k + 1) % 3]));
      if (it != edgeOwner_.end() && it->second == f) edgeOwner_.erase(it);
    }
    for (uint32_t q : face.outside) {
      if (q != p && faceOf_[q] == f) orphans.push_back(q);
    }
    std::vector<uint32_t>().swap(face.outside);
  }
  std::vector<uint32_t> added;
  added.reserve(horizon.size() / 2);
  for (size_t h = 0; h < horizon.size(); h += 2) added.push_back(AddFace(horizon[h], horizon[h + 1], p));
  // A point that saw a removed face and is still outside sees one of the new faces.
  for (uint32_t q : orphans) Assign(q, added);
}

bool HullBuilder::Run(std::vector<ConvexHullTriangle>& out) {
  uint32_t corner[4];
  if (!StartTetrahedron(corner)) return false;
  const uint32_t n = static_cast<uint32_t>(grid_.size());
  std::vector<uint32_t> order;
  order.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    if (i != corner[0] && i != corner[1] && i != corner[2] && i != corner[3]) order.push_back(i);
  }
  // A fixed shuffle: input sorted along some direction would otherwise pile the waiting points
  // onto the few newest faces and retest them at every step. The same input gives the same faces.
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (size_t i = order.size(); i > 1; --i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::swap(order[i - 1], order[state % i]);
  }
  const std::vector<uint32_t> first = {0, 1, 2, 3};
  for (uint32_t i : order) Assign(i, first);
  for (uint32_t i : order) AddPoint(i);

  for (const Face& f : faces_) {
    if (!f.alive) continue;
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
