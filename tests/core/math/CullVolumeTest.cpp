// Cull volumes built from view frustums and convex meshes, checked against an
// independent description of the same volume: the view's own coordinates for
// points, and a separating-axis test on the volume's corners for boxes.
#include "core/math/CullVolume.h"

#include "core/math/ViewFrustum.h"
#include "platform/system/Platform.h"
#include "core/math/ConvexHullFaces.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using Eigen::Vector3d;

float RandomFloat(float lo, float hi) { return lo + (hi - lo) * plat::rand() / float(plat::kRandMax); }
Vector3d D(const Vector3& v) { return Vector3d(v.x, v.y, v.z); }
Vector3 F(const Vector3d& v) { return Vector3(float(v.x()), float(v.y()), float(v.z())); }

// A test view and its volume worked out without the cull volume: the corners
// and edges in world space, the separating axes of the corner hull against any
// box, and a signed distance to the boundary in the view's own coordinates.
struct View {
  ViewFrustum frustum;
  uint8_t kind = 0;
  std::vector<Vector3d> corners;
  std::vector<Vector3d> axes;                // unit
  std::vector<std::pair<double, double>> spans;  // the corners' extent along each axis

  bool IsPyramid() const { return kind == 0 && !frustum.IsOrthographic(); }

  void Describe() {
    const COrientation& f = frustum.GetFrame();
    const double t = std::tan(0.5 * frustum.GetFieldOfView()), w = 0.5 * frustum.GetOrthoWidth();
    auto cornerAt = [&](int i, double d) {
      const double e = frustum.IsOrthographic() ? w : t * d, ez = e / frustum.GetAspect();
      return Vector3d(D(f.GetPosition()) + d * D(f.GetXAxis()) + ((i & 1) ? -e : e) * D(f.GetYAxis()) +
                      ((i & 2) ? -ez : ez) * D(f.GetZAxis()));
    };
    corners.clear();
    std::vector<Vector3d> edges;
    const int ring[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) corners.push_back(cornerAt(i, frustum.GetFar()));
    for (int i = 0; i < 4; ++i) edges.push_back(corners[ring[(i + 1) % 4]] - corners[ring[i]]);
    if (IsPyramid()) {
      corners.push_back(D(f.GetPosition()));
      for (int i = 0; i < 4; ++i) edges.push_back(corners[i] - corners[4]);
    } else {
      for (int i = 0; i < 4; ++i) corners.push_back(cornerAt(i, frustum.GetNear()));
      for (int i = 0; i < 4; ++i) edges.push_back(corners[i] - corners[4 + i]);
    }
    // Box axes, edge x edge (includes the face normals) and box axis x edge.
    axes = {Vector3d::UnitX(), Vector3d::UnitY(), Vector3d::UnitZ()};
    for (size_t i = 0; i < edges.size(); ++i) {
      for (size_t j = i + 1; j < edges.size(); ++j) axes.push_back(edges[i].cross(edges[j]));
      for (int k = 0; k < 3; ++k) axes.push_back(Vector3d::Unit(k).cross(edges[i]));
    }
    axes.erase(std::remove_if(axes.begin(), axes.end(), [](const Vector3d& a) { return a.norm() < 1e-9; }), axes.end());
    spans.clear();
    for (Vector3d& a : axes) {
      a.normalize();
      double lo = 1e300, hi = -1e300;
      for (const Vector3d& c : corners) lo = std::min(lo, a.dot(c)), hi = std::max(hi, a.dot(c));
      spans.push_back({lo, hi});
    }
  }

  // Largest signed distance of p beyond one of the bounding surfaces (<= 0 inside).
  double Margin(const Vector3& p) const {
    const Vector3 l = frustum.GetFrame().WorldToLocalPoint(p);
    const double x = l.x, y = std::fabs(l.y), z = std::fabs(l.z);
    double m = x - frustum.GetFar();
    if (frustum.IsOrthographic()) {
      const double w = 0.5 * frustum.GetOrthoWidth();
      m = std::max({m, y - w, z - w / frustum.GetAspect()});
    } else {  // |y| <= tan * x and |z| <= tan * x / aspect
      const double t = std::tan(0.5 * frustum.GetFieldOfView()), tv = t / frustum.GetAspect();
      m = std::max({m, (y - t * x) / std::hypot(1.0, t), (z - tv * x) / std::hypot(1.0, tv)});
    }
    return IsPyramid() ? m : std::max(m, frustum.GetNear() - x);
  }

  // Largest gap between the box and the corner hull over the axes; > 0: disjoint.
  double Separation(const Box& box) const {
    double best = -1e300;
    for (size_t i = 0; i < axes.size(); ++i) {
      const double* a = axes[i].data();
      double lo = 1e300, hi = -1e300;
      for (int c = 0; c < 8; ++c) {
        const Vector3 q = box.GetCorner(c);
        const double v = a[0] * q.x + a[1] * q.y + a[2] * q.z;
        lo = std::min(lo, v), hi = std::max(hi, v);
      }
      best = std::max({best, lo - spans[i].second, spans[i].first - hi});
    }
    return best;
  }

  Box RandomBoxNear() const {
    Vector3d lo = corners[0], hi = corners[0];
    for (const Vector3d& c : corners) lo = lo.cwiseMin(c), hi = hi.cwiseMax(c);
    Vector3 centre, half;
    for (int k = 0; k < 3; ++k) {
      centre[k] = RandomFloat(float(lo[k] - 0.3 * (hi[k] - lo[k])), float(hi[k] + 0.3 * (hi[k] - lo[k])));
      half[k] = frustum.GetFar() * std::pow(10.0f, RandomFloat(-3.0f, -0.5f));
    }
    return Box(centre - half, centre + half);
  }
};

// Both kinds, perspective and parallel, several fields of view, clip ranges
// and aspect ratios, random frames.
std::vector<View> MakeViews(unsigned seed, int count) {
  plat::srand(seed);
  std::vector<View> views(count);
  const float fovs[3] = {2.0943952f, 1.5707964f, 1.0471976f};
  for (int i = 0; i < count; ++i) {
    View& v = views[i];
    COrientation f;
    if (i > 0) {
      f.RotateZ(RandomFloat(-3.14f, 3.14f));
      f.RotateY(RandomFloat(-1.5f, 1.5f));
      f.RotateX(RandomFloat(-3.14f, 3.14f));
      f.SetPosition(Vector3(RandomFloat(-50, 50), RandomFloat(-50, 50), RandomFloat(-50, 50)));
    }
    v.frustum.SetFrame(f);
    v.frustum.SetFieldOfView(fovs[i % 3]);
    v.frustum.SetNear(i % 2 ? 0.3f : 2.0f);
    v.frustum.SetFar(i % 4 < 2 ? 100.0f : 400.0f);
    if (i % 5 == 4) v.frustum.SetOrthographic(), v.frustum.SetOrthoWidth(60.0f);
    if (i % 7 == 3) v.frustum.SetAspect(1.6f);
    if (i % 7 == 6) v.frustum.SetAspect(0.75f);
    v.kind = uint8_t((i / 2) % 2);
    v.Describe();
  }
  return views;
}

}  // namespace

TEST(CullVolume, ContainsPointMatchesTheViewsOwnCoordinates) {
  for (View& v : MakeViews(41, 20)) {
    CullVolume volume(v.frustum, v.kind);
    ASSERT_EQ(volume.GetPlaneCount(), v.IsPyramid() ? 5u : 6u);
    int count[2] = {0, 0};
    for (int i = 0; i < 4000; ++i) {
      const Box b = v.RandomBoxNear();
      const double m = v.Margin(b.min);
      if (std::fabs(m) < 1e-4 * v.frustum.GetFar()) continue;
      EXPECT_EQ(volume.ContainsPoint(b.min), m < 0) << "margin " << m;
      count[m < 0]++;
    }
    EXPECT_GT(count[0], 50);
    EXPECT_GT(count[1], 50);
  }
}

TEST(CullVolume, ProjectedOutlinesAreTrueOutwardEdgesHoldingEveryCorner) {
  for (View& v : MakeViews(47, 12)) {
    CullVolume volume(v.frustum, v.kind);
    const float tol = 1e-3f * v.frustum.GetFar();
    for (int k = 0; k < 3; ++k) {
      const int ku = k, kv = (k + 1) % 3;
      ASSERT_GE(volume.GetHullEdges(k).size(), 3u);
      Vector3 centre;
      for (const Vector3d& c : v.corners) centre += F(c) * (1.0f / v.corners.size());
      for (const CullHullEdge& e : volume.GetHullEdges(k)) {
        const float len = std::hypot(e.a, e.b);
        EXPECT_LT(e.Evaluate(centre[ku], centre[kv]), 0.0f) << "edge normal points into the outline";
        int touching = 0;  // a true edge runs through two corners (up to a tiny outward shift)
        for (const Vector3d& c : v.corners) {
          const float d = e.Evaluate(F(c)[ku], F(c)[kv]) / len;
          EXPECT_LE(d, tol);
          touching += std::fabs(d) < tol;
        }
        EXPECT_GE(touching, 2);
      }
      // And no true edge is missing: just outside the middle of every edge of the corners' own
      // outline (found by brute force over pairs of corners), some outline edge rejects the point.
      const std::vector<Vector3d>& cs = v.corners;
      for (size_t i = 0; i < cs.size(); ++i)
        for (size_t j = 0; j < cs.size(); ++j) {
          const double du = cs[j][ku] - cs[i][ku], dv = cs[j][kv] - cs[i][kv], len = std::hypot(du, dv);
          if (len < 0.01 * v.frustum.GetFar()) continue;
          bool edge = true;
          for (const Vector3d& c : cs) edge = edge && du * (c[kv] - cs[i][kv]) - dv * (c[ku] - cs[i][ku]) >= -1e-6 * len * len;
          if (!edge) continue;  // a true edge has every corner on its left
          const double pu = 0.5 * (cs[i][ku] + cs[j][ku]) + 10 * tol * dv / len;
          const double pv = 0.5 * (cs[i][kv] + cs[j][kv]) - 10 * tol * du / len;
          bool rejected = false;
          for (const CullHullEdge& e : volume.GetHullEdges(k)) rejected = rejected || e.Evaluate(float(pu), float(pv)) > 0.0f;
          EXPECT_TRUE(rejected) << "projection " << k << " corners " << i << " " << j;
        }
    }
  }
}

TEST(CullVolume, OutlineKeepsCornersTheScanMergesAway) {
  // Seen from the pivot (0, 0), q lies 0.00005 rad beside the farther corner
  // (1000, 1000), so the scan keeps only that one; yet q is a true outline
  // vertex 0.05 units outside the line through the kept corners. The outline
  // must still hold q, or a box at q would be culled while visible.
  const float t = 0.78539816f + 0.00005f;
  const Vector3 pts[4] = {Vector3(0, 0, 0), Vector3(1000, 0, 1), Vector3(1000, 1000, 2),
                          Vector3(1000 * std::cos(t), 1000 * std::sin(t), 3)};
  CullVolume volume(pts, 4, nullptr, 0);
  volume.PlanesFromPoints(pts, 4);
  ASSERT_GE(volume.GetHullEdges(0).size(), 3u);
  for (const CullHullEdge& e : volume.GetHullEdges(0))
    for (const Vector3& p : pts) EXPECT_LE(e.Evaluate(p.x, p.y), 0.0f);
  EXPECT_NE(volume.ClassifyBox(Box(pts[3] - Vector3(0.01f, 0.01f, 0.01f), pts[3] + Vector3(0.01f, 0.01f, 0.01f))), -1);
}

TEST(CullVolume, ClassifyBoxNeverContradictsBruteForce) {
  int counts[3] = {0, 0, 0}, clearlyOutside = 0, rejected = 0, byOutlineOnly = 0;
  for (View& v : MakeViews(53, 16)) {
    CullVolume volume(v.frustum, v.kind);
    const double tol = 1e-4 * v.frustum.GetFar();
    const Box& vb = volume.GetBounds();
    for (int a = 0; a < 3; ++a)  // the bounds are exactly the box of the corners
      EXPECT_LT(std::max(std::fabs(vb.min[a] - v.spans[a].first), std::fabs(vb.max[a] - v.spans[a].second)), tol) << a;
    for (int i = 0; i < 1500; ++i) {
      const Box box = v.RandomBoxNear();
      const int r = volume.ClassifyBox(box);
      ASSERT_TRUE(r >= -1 && r <= 1);
      counts[r + 1]++;
      for (int c = 0; c < 8 && r == 1; ++c) {
        EXPECT_LE(v.Margin(box.GetCorner(c)), tol) << "an 'inside' box has a corner outside";
        EXPECT_TRUE(volume.ContainsPoint(box.GetCorner(c)));
      }
      const double sep = v.Separation(box);
      if (r == -1) {
        EXPECT_GE(sep, -tol) << "a box overlapping the volume was rejected";
      }
      if (sep > 0.01 * v.frustum.GetFar()) ++clearlyOutside, rejected += r == -1;
      // Rejections that neither the bounds nor one plane alone can make come
      // from the projected outlines: they must happen (and be right, above).
      bool onePlaneRejects = false;
      for (uint32_t p = 0; p < volume.GetPlaneCount(); ++p) {
        float nearest = 1e30f;
        for (int c = 0; c < 8; ++c) nearest = std::min(nearest, volume.GetPlanes()[p].Distance(box.GetCorner(c)));
        onePlaneRejects = onePlaneRejects || nearest > 0.0f;
      }
      const bool boundsTouch = box.min.x <= vb.max.x && vb.min.x <= box.max.x && box.min.y <= vb.max.y &&
                               vb.min.y <= box.max.y && box.min.z <= vb.max.z && vb.min.z <= box.max.z;
      byOutlineOnly += r == -1 && boundsTouch && !onePlaneRejects;
    }
  }
  EXPECT_GT(counts[0], 1000);
  EXPECT_GT(counts[1], 1000);
  EXPECT_GT(counts[2], 300);
  EXPECT_GT(byOutlineOnly, 20);
  EXPECT_GT(rejected, clearlyOutside * 9 / 10) << "conservative, but not uselessly so";
}

TEST(CullVolume, ClassifySphereAgreesWithSamplesThroughTheSphere) {
  int counts[3] = {0, 0, 0};
  for (View& v : MakeViews(59, 12)) {
    CullVolume volume(v.frustum, v.kind);
    const double tol = 1e-4 * v.frustum.GetFar();
    for (int i = 0; i < 800; ++i) {
      const Box b = v.RandomBoxNear();
      const Vector3 centre = b.GetCenter();
      const float radius = b.max.x - b.min.x;
      const int r = volume.ClassifySphere(centre, radius);
      counts[r + 1]++;
      for (int s = 0; s < 40 && r != 0; ++s) {
        Vector3 dir(RandomFloat(-1, 1), RandomFloat(-1, 1), RandomFloat(-1, 1));
        if (!dir.Normalize()) continue;
        const double m = v.Margin(centre + dir * (radius * (s % 2 ? 1.0f : RandomFloat(0, 1))));
        if (r == 1) {
          EXPECT_LE(m, tol) << "an 'inside' sphere reaches outside";
        } else {
          EXPECT_GT(m, -tol) << "an 'outside' sphere reaches inside";
        }
      }
    }
  }
  EXPECT_GT(counts[0], 150);
  EXPECT_GT(counts[1], 150);
  EXPECT_GT(counts[2], 150);
}

TEST(CullVolume, BoundaryCasesOfBoxesAndSpheres) {
  ViewFrustum f;  // parallel view along +x: |y|, |z| <= 50, 1 <= x <= 100
  f.SetOrthographic();
  f.SetOrthoWidth(100.0f);
  f.SetNear(1.0f);
  f.SetFar(100.0f);
  CullVolume volume(f, 1);
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(10, -10, -10), Vector3(99, 10, 10))), 1);
  // Farthest corner exactly on the far plane: crossing, not inside.
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(10, -10, -10), Vector3(100, 10, 10))), 0);
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(-500, -500, -500), Vector3(500, 500, 500))), 0);  // encloses it
  // Touching the closed volume from outside is still touching it.
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(100, -10, -10), Vector3(120, 10, 10))), 0);
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(101, -10, -10), Vector3(120, 10, 10))), -1);
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(10, 60, -10), Vector3(20, 70, 10))), -1);
  // Centre exactly one radius beyond the far plane: crossing, not outside.
  EXPECT_EQ(volume.ClassifySphere(Vector3(105, 0, 0), 5.0f), 0);
  EXPECT_EQ(volume.ClassifySphere(Vector3(105, 0, 0), 4.5f), -1);
  EXPECT_EQ(volume.ClassifySphere(Vector3(50, 0, 0), 5.0f), 1);
  EXPECT_EQ(volume.ClassifySphere(Vector3(50, 48, 0), 5.0f), 0);
  EXPECT_TRUE(volume.ContainsPoint(Vector3(100, 50, -50)));  // on three planes
  EXPECT_FALSE(volume.ContainsPoint(Vector3(100.001f, 0, 0)));
  EXPECT_FALSE(volume.ContainsPoint(Vector3(0.999f, 0, 0)));
}

TEST(CullVolume, ParallelViewsNeverGetTheApexVolume) {
  // A parallel view has no apex: kind 0 gets the box-shaped volume too, so the
  // view beside the eye is not cut away.
  ViewFrustum f;
  f.SetOrthographic();
  f.BuildCullVolume(CullVolume::kPyramid);
  EXPECT_EQ(f.GetCullVolume()->GetPlaneCount(), 6u);
  EXPECT_TRUE(f.GetCullVolume()->ContainsPoint(Vector3(1, 40, -40)));
}

TEST(CullVolume, ConvexMeshVolumeMatchesItsHull) {
  plat::srand(61);
  for (int round = 0; round < 10; ++round) {
    std::vector<Vector3> p;
    const Vector3 offset(RandomFloat(-50, 50), RandomFloat(-50, 50), RandomFloat(-50, 50));
    for (int i = 0; i < 30 + 10 * round; ++i) p.push_back(offset + Vector3(RandomFloat(-5, 5), RandomFloat(-3, 3), RandomFloat(-8, 8)));
    std::vector<ConvexHullTriangle> tris;
    ASSERT_TRUE(BuildConvexHullFaces(p.data(), uint32_t(p.size()), tris));
    CullVolume volume(p.data(), uint32_t(p.size()), tris.data(), uint32_t(tris.size()));
    ASSERT_EQ(volume.GetPlaneCount(), tris.size());
    Vector3 centre;
    for (const Vector3& q : p) centre += q * (1.0f / p.size());
    const Vector3 e(1e-3f, 1e-3f, 1e-3f);
    for (int i = 0; i < 200; ++i) {  // a mix of two points pulled toward the centre: strictly inside
      const float t = RandomFloat(0, 1);
      const Vector3 in = centre + (p[plat::rand() % p.size()] * t + p[plat::rand() % p.size()] * (1 - t) - centre) * 0.95f;
      EXPECT_TRUE(volume.ContainsPoint(in));
      EXPECT_NE(volume.ClassifyBox(Box(in - e, in + e)), -1);
    }
    for (const ConvexHullTriangle& t : tris) {  // beyond a vertex, away from the centre: outside
      const Vector3& vtx = p[t.index[0]];
      const Vector3 out = centre + (vtx - centre) * 1.5f;
      EXPECT_FALSE(volume.ContainsPoint(out));
      EXPECT_EQ(volume.ClassifySphere(out, 1e-3f), -1);
      EXPECT_EQ(volume.ClassifyBox(Box(out - e, out + e)), -1);
      EXPECT_EQ(volume.ClassifyBox(Box(vtx - e, vtx + e)), 0);
    }
  }
}

TEST(CullVolume, ConvexMeshInputIsCheckedAndEmptyVolumesAcceptEverything) {
  const Vector3 p[4] = {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
  std::vector<ConvexHullTriangle> tris;
  ASSERT_TRUE(BuildConvexHullFaces(p, 4, tris));
  tris.push_back({{0, 1, 9}});  // names a vertex that does not exist
  std::vector<std::string> lines;
  plat::DebugSink previous = plat::SetDebugSink([&](const char* text) { lines.emplace_back(text); });
  CullVolume checked(p, 4, tris.data(), uint32_t(tris.size()));
  plat::SetDebugSink(previous);
  EXPECT_EQ(checked.GetPlaneCount(), 4u);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("CullVolume: ", 0), 0u);
  EXPECT_TRUE(checked.ContainsPoint(Vector3(0.1f, 0.1f, 0.1f)));
  EXPECT_FALSE(checked.ContainsPoint(Vector3(1, 1, 1)));
  CullVolume empty(p, 4, nullptr, 0);
  EXPECT_EQ(empty.GetPlaneCount(), 0u);
  EXPECT_TRUE(empty.ContainsPoint(Vector3(1e6f, -1e6f, 3)));
  EXPECT_EQ(empty.ClassifySphere(Vector3(1e6f, 0, 0), 1.0f), 1);
}
