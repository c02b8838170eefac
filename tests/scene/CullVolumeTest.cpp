// Cull volumes built from view frustums and convex meshes, checked against an
// independent description of the same volume: the view's own coordinates for
// points, and a separating-axis test on the volume's corners for boxes.
#include "scene/CullVolume.h"

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/ViewFrustum.h"
#include "platform/Platform.h"
#include "scene/ConvexHullFaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

float RandomFloat(float lo, float hi) { return lo + (hi - lo) * plat::rand() / float(plat::kRandMax); }

struct D3 {
  double x, y, z;
};
D3 ToD(const Vector3& v) { return {v.x, v.y, v.z}; }
D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 Cross(const D3& a, const D3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A view set up for a test, with the volume's shape worked out independently
// of the cull volume: corner points and edges in world space, and a signed
// distance to the volume's boundary computed in the view's own coordinates.
struct View {
  ViewFrustum frustum;
  uint8_t kind = 0;
  std::vector<D3> corners;
  std::vector<std::pair<int, int>> edges;

  bool IsPyramid() const { return kind == 0 && !frustum.IsOrthographic(); }

  D3 LocalToWorld(double x, double y, double z) const {
    const COrientation& f = frustum.GetFrame();
    const D3 X = ToD(f.GetXAxis()), Y = ToD(f.GetYAxis()), Z = ToD(f.GetZAxis()), P = ToD(f.GetPosition());
    return {P.x + x * X.x + y * Y.x + z * Z.x, P.y + x * X.y + y * Y.y + z * Z.y, P.z + x * X.z + y * Y.z + z * Z.z};
  }

  void Describe() {
    const double halfFov = 0.5 * frustum.GetFieldOfView();
    const double t = std::tan(halfFov);
    const double w = 0.5 * frustum.GetOrthoWidth();
    auto cornerAt = [&](int i, double d) {
      const double e = frustum.IsOrthographic() ? w : t * d;
      const double ez = e / frustum.GetAspect();
      return LocalToWorld(d, (i & 1) ? -e : e, (i & 2) ? -ez : ez);
    };
    corners.clear();
    edges.clear();
    for (int i = 0; i < 4; ++i) corners.push_back(cornerAt(i, frustum.GetFar()));
    const int ring[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) edges.push_back({ring[i], ring[(i + 1) % 4]});
    if (IsPyramid()) {
      corners.push_back(ToD(frustum.GetFrame().GetPosition()));
      for (int i = 0; i < 4; ++i) edges.push_back({4, i});
    } else {
      for (int i = 0; i < 4; ++i) corners.push_back(cornerAt(i, frustum.GetNear()));
      for (int i = 0; i < 4; ++i) edges.push_back({4 + ring[i], 4 + ring[(i + 1) % 4]});
      for (int i = 0; i < 4; ++i) edges.push_back({i, 4 + i});
    }
  }

  // Largest signed distance of p beyond one of the volume's bounding surfaces
  // (<= 0 inside), from the view's coordinates.
  double Margin(const Vector3& p) const {
    const COrientation& f = frustum.GetFrame();
    const D3 d = Sub(ToD(p), ToD(f.GetPosition()));
    const double x = Dot(d, ToD(f.GetXAxis())), y = Dot(d, ToD(f.GetYAxis())), z = Dot(d, ToD(f.GetZAxis()));
    double m = x - frustum.GetFar();
    if (frustum.IsOrthographic()) {
      const double w = 0.5 * frustum.GetOrthoWidth();
      m = std::max({m, std::fabs(y) - w, std::fabs(z) - w / frustum.GetAspect()});
    } else {
      // Side planes through the eye: |y| <= tan * x, |z| <= tan * x / aspect.
      const double t = std::tan(0.5 * frustum.GetFieldOfView());
      const double tv = t / frustum.GetAspect();
      m = std::max({m, (std::fabs(y) - t * x) / std::sqrt(1 + t * t),
                    (std::fabs(z) - tv * x) / std::sqrt(1 + tv * tv)});
    }
    if (!IsPyramid()) m = std::max(m, frustum.GetNear() - x);
    return m;
  }

  // Separating-axis test between a box and the volume's corner hull: the
  // largest gap found along the box axes, the edge-edge cross products (which
  // include the face normals) and the box-axis x edge products. > 0: disjoint.
  double Separation(const Box& box) const {
    std::vector<D3> dirs;
    for (const auto& e : edges) dirs.push_back(Sub(corners[e.second], corners[e.first]));
    std::vector<D3> axes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (size_t i = 0; i < dirs.size(); ++i) {
      for (size_t j = i + 1; j < dirs.size(); ++j) axes.push_back(Cross(dirs[i], dirs[j]));
      for (int k = 0; k < 3; ++k) axes.push_back(Cross(axes[k], dirs[i]));
    }
    double best = -1e300;
    for (const D3& a : axes) {
      const double len = std::sqrt(Dot(a, a));
      if (len < 1e-9) continue;
      double bmin = 1e300, bmax = -1e300, pmin = 1e300, pmax = -1e300;
      for (int i = 0; i < 8; ++i) {
        const double v = Dot(a, ToD(box.GetCorner(i)));
        bmin = std::min(bmin, v);
        bmax = std::max(bmax, v);
      }
      for (const D3& c : corners) {
        const double v = Dot(a, c);
        pmin = std::min(pmin, v);
        pmax = std::max(pmax, v);
      }
      best = std::max(best, std::max(bmin - pmax, pmin - bmax) / len);
    }
    return best;
  }

  Box Bounds() const {
    Box b(Vector3(1e30f, 1e30f, 1e30f), Vector3(-1e30f, -1e30f, -1e30f));
    for (const D3& c : corners) b.ExtendByPoint(Vector3(float(c.x), float(c.y), float(c.z)));
    return b;
  }
};

COrientation RandomFrame(float spread) {
  COrientation f;
  f.RotateZ(RandomFloat(-3.14159f, 3.14159f));
  f.RotateY(RandomFloat(-1.5f, 1.5f));
  f.RotateX(RandomFloat(-3.14159f, 3.14159f));
  f.Orthonormalize();
  f.SetPosition(Vector3(RandomFloat(-spread, spread), RandomFloat(-spread, spread), RandomFloat(-spread, spread)));
  return f;
}

// A mix of views: both kinds, perspective and parallel, several fields of view,
// clip ranges and aspect ratios, random frames.
std::vector<View> MakeViews(unsigned seed, int count) {
  plat::srand(seed);
  std::vector<View> views(count);
  const float fovs[3] = {2.0943952f, 1.5707964f, 1.0471976f};
  for (int i = 0; i < count; ++i) {
    View& v = views[i];
    v.frustum.SetFrame(i == 0 ? COrientation() : RandomFrame(50.0f));
    v.frustum.SetFieldOfView(fovs[i % 3]);
    v.frustum.SetNear(i % 2 ? 0.3f : 2.0f);
    v.frustum.SetFar(i % 4 < 2 ? 100.0f : 400.0f);
    if (i % 5 == 4) {
      v.frustum.SetOrthographic();
      v.frustum.SetOrthoWidth(60.0f);
    }
    if (i % 7 == 3) v.frustum.SetAspect(1.6f);
    if (i % 7 == 6) v.frustum.SetAspect(0.75f);
    v.kind = static_cast<uint8_t>((i / 2) % 2);
    v.Describe();
  }
  return views;
}

Box RandomBoxNear(const View& v, float scale) {
  const Box bounds = v.Bounds();
  const Vector3 size = bounds.GetSize();
  Vector3 centre;
  for (int k = 0; k < 3; ++k) centre[k] = RandomFloat(bounds.min[k] - 0.3f * size[k], bounds.max[k] + 0.3f * size[k]);
  Vector3 half;
  for (int k = 0; k < 3; ++k) half[k] = scale * std::pow(10.0f, RandomFloat(-3.0f, -0.5f));
  return Box(centre - half, centre + half);
}

}  // namespace

TEST(CullVolume, ContainsPointMatchesTheViewsOwnCoordinates) {
  for (View& v : MakeViews(41, 20)) {
    CullVolume volume(v.frustum, v.kind);
    const float scale = v.frustum.GetFar();
    const Box bounds = v.Bounds();
    int inside = 0, outside = 0;
    for (int i = 0; i < 4000; ++i) {
      Vector3 p;
      for (int k = 0; k < 3; ++k) {
        const float pad = 0.2f * (bounds.max[k] - bounds.min[k]);
        p[k] = RandomFloat(bounds.min[k] - pad, bounds.max[k] + pad);
      }
      const double m = v.Margin(p);
      if (std::fabs(m) < 1e-4 * scale) continue;
      EXPECT_EQ(volume.ContainsPoint(p), m < 0) << "margin " << m;
      (m < 0 ? inside : outside)++;
    }
    EXPECT_GT(inside, 50);
    EXPECT_GT(outside, 50);
  }
}

TEST(CullVolume, PlanesHaveUnitOutwardNormalsAndMatchingAxisBits) {
  for (View& v : MakeViews(43, 10)) {
    CullVolume volume(v.frustum, v.kind);
    ASSERT_EQ(volume.GetPlaneCount(), v.IsPyramid() ? 5u : 6u);
    D3 centre{0, 0, 0};
    for (const D3& c : v.corners) centre = {centre.x + c.x / v.corners.size(), centre.y + c.y / v.corners.size(), centre.z + c.z / v.corners.size()};
    const Vector3 inner(float(centre.x), float(centre.y), float(centre.z));
    for (uint32_t i = 0; i < volume.GetPlaneCount(); ++i) {
      const CullPlane& p = volume.GetPlanes()[i];
      EXPECT_NEAR(p.normal.Length(), 1.0f, 1e-5f);
      EXPECT_LT(p.Distance(inner), 0.0f) << "plane " << i << " faces inward";
      EXPECT_EQ(p.positiveAxes | p.negativeAxes, 7u);
      EXPECT_EQ(p.positiveAxes & p.negativeAxes, 0u);
      for (int k = 0; k < 3; ++k) EXPECT_EQ((p.positiveAxes >> k) & 1, p.normal[k] > 0.0f ? 1u : 0u);
      // Every corner of the volume lies on or inside every plane.
      for (const D3& c : v.corners) {
        EXPECT_LE(p.Distance(Vector3(float(c.x), float(c.y), float(c.z))), 1e-4f * v.frustum.GetFar());
      }
    }
  }
}

TEST(CullVolume, ProjectedOutlinesHoldEveryCornerAndFaceOutward) {
  for (View& v : MakeViews(47, 12)) {
    CullVolume volume(v.frustum, v.kind);
    for (int k = 0; k < 3; ++k) {
      const std::vector<CullHullEdge>& edges = volume.GetHullEdges(k);
      ASSERT_GE(edges.size(), 3u) << "projection " << k;
      const int ku = k, kv = (k + 1) % 3;
      double cu = 0, cv = 0;
      for (const D3& c : v.corners) {
        const Vector3 p(float(c.x), float(c.y), float(c.z));
        cu += p[ku] / v.corners.size();
        cv += p[kv] / v.corners.size();
        for (const CullHullEdge& e : edges) {
          EXPECT_LE(e.Evaluate(p[ku], p[kv]) / std::hypot(e.a, e.b), 1e-5f * v.frustum.GetFar());
        }
      }
      for (const CullHullEdge& e : edges) {
        EXPECT_LT(e.Evaluate(float(cu), float(cv)), 0.0f) << "edge normal points into the outline";
        // A true outline edge runs through (at least) two corners, up to the
        // small outward shift that keeps merged near-collinear corners inside.
        int touching = 0;
        for (const D3& c : v.corners) {
          const Vector3 p(float(c.x), float(c.y), float(c.z));
          touching += std::fabs(e.Evaluate(p[ku], p[kv]) / std::hypot(e.a, e.b)) < 1e-3f * v.frustum.GetFar();
        }
        EXPECT_GE(touching, 2);
        EXPECT_EQ(e.farCorner ^ e.nearCorner, 3u);
        EXPECT_EQ(e.nearCorner & 1, e.a <= 0.0f ? 1u : 0u);
        EXPECT_EQ((e.nearCorner >> 1) & 1, e.b <= 0.0f ? 1u : 0u);
      }
    }
  }
}

TEST(CullVolume, OutlineKeepsCornersTheScanMergesAway) {
  // From the pivot (0, 0), corner q lies 0.00005 rad beside the far corner
  // (1000, 1000): the scan keeps only the farther of the two, yet q is a true
  // outline vertex 0.05 units outside the line through the kept ones. The
  // outline must still hold q, or a box at q would be culled while visible.
  const float t = 0.78539816f + 0.00005f;
  const Vector3 pts[4] = {Vector3(0, 0, 0), Vector3(1000, 0, 1), Vector3(1000, 1000, 2),
                          Vector3(1000 * std::cos(t), 1000 * std::sin(t), 3)};
  CullVolume volume(pts, 4, nullptr, 0);
  volume.PlanesFromPoints(pts, 4);
  ASSERT_GE(volume.GetHullEdges(0).size(), 3u);
  for (const CullHullEdge& e : volume.GetHullEdges(0)) {
    for (const Vector3& p : pts) EXPECT_LE(e.Evaluate(p.x, p.y), 0.0f);
  }
  const Box atQ(pts[3] - Vector3(0.01f, 0.01f, 0.01f), pts[3] + Vector3(0.01f, 0.01f, 0.01f));
  EXPECT_NE(volume.ClassifyBox(atQ), -1);
}

TEST(CullVolume, ClassifyBoxNeverContradictsBruteForce) {
  int counts[3] = {0, 0, 0};
  int clearlyOutside = 0, rejected = 0, outlineRejections = 0;
  for (View& v : MakeViews(53, 16)) {
    CullVolume volume(v.frustum, v.kind);
    const float scale = v.frustum.GetFar();
    const double tol = 1e-4 * scale;
    for (int i = 0; i < 1500; ++i) {
      const Box box = RandomBoxNear(v, scale);
      const int r = volume.ClassifyBox(box);
      ASSERT_GE(r, -1);
      ASSERT_LE(r, 1);
      counts[r + 1]++;
      if (r == 1) {
        for (int c = 0; c < 8; ++c) {
          EXPECT_LE(v.Margin(box.GetCorner(c)), tol) << "an 'inside' box has a corner outside";
          EXPECT_TRUE(volume.ContainsPoint(box.GetCorner(c)));
        }
      }
      const double sep = v.Separation(box);
      if (r == -1) {
        EXPECT_GE(sep, -tol) << "a box that overlaps the volume was rejected";
        // Samples through the box all lie outside the volume.
        for (int s = 0; s < 27; ++s) {
          const Vector3 q(box.min.x + 0.5f * (s % 3) * (box.max.x - box.min.x),
                          box.min.y + 0.5f * ((s / 3) % 3) * (box.max.y - box.min.y),
                          box.min.z + 0.5f * (s / 9) * (box.max.z - box.min.z));
          EXPECT_GT(v.Margin(q), -tol);
        }
      }
      if (sep > 0.01 * scale) {
        ++clearlyOutside;
        rejected += r == -1;
      }
      // Rejections that neither the bounds nor any single plane can make come
      // from the projected outlines; they must occur, and (above) be right.
      bool planeRejects = false;
      for (uint32_t p = 0; p < volume.GetPlaneCount(); ++p) {
        float nearest = 1e30f;
        for (int c = 0; c < 8; ++c) nearest = std::min(nearest, volume.GetPlanes()[p].Distance(box.GetCorner(c)));
        planeRejects = planeRejects || nearest > 0.0f;
      }
      const Box& vb = volume.GetBounds();
      const bool boundsTouch = box.min.x <= vb.max.x && vb.min.x <= box.max.x && box.min.y <= vb.max.y &&
                               vb.min.y <= box.max.y && box.min.z <= vb.max.z && vb.min.z <= box.max.z;
      outlineRejections += r == -1 && boundsTouch && !planeRejects;
    }
  }
  EXPECT_GT(counts[0], 1000);
  EXPECT_GT(counts[1], 1000);
  EXPECT_GT(counts[2], 300);
  EXPECT_GT(outlineRejections, 20);
  // Conservative, but not uselessly so: most clearly separate boxes are rejected.
  EXPECT_GT(rejected, clearlyOutside * 9 / 10);
}

TEST(CullVolume, ClassifySphereAgreesWithSamplesThroughTheSphere) {
  int counts[3] = {0, 0, 0};
  for (View& v : MakeViews(59, 12)) {
    CullVolume volume(v.frustum, v.kind);
    const float scale = v.frustum.GetFar();
    const double tol = 1e-4 * scale;
    for (int i = 0; i < 800; ++i) {
      const Box b = RandomBoxNear(v, scale);
      const Vector3 centre = b.GetCenter();
      const float radius = b.max.x - b.min.x;
      const int r = volume.ClassifySphere(centre, radius);
      counts[r + 1]++;
      if (r == 0) continue;
      for (int s = 0; s < 40; ++s) {
        Vector3 dir(RandomFloat(-1, 1), RandomFloat(-1, 1), RandomFloat(-1, 1));
        if (!dir.Normalize()) continue;
        const Vector3 q = centre + dir * (radius * (s % 2 ? 1.0f : RandomFloat(0, 1)));
        if (r == 1) {
          EXPECT_LE(v.Margin(q), tol) << "an 'inside' sphere reaches outside";
        } else {
          EXPECT_GT(v.Margin(q), -tol) << "an 'outside' sphere reaches inside";
        }
      }
    }
  }
  EXPECT_GT(counts[0], 300);
  EXPECT_GT(counts[1], 300);
  EXPECT_GT(counts[2], 300);
}

TEST(CullVolume, BoundaryCasesOfBoxesAndSpheres) {
  // A parallel view along +x from the origin: |y|, |z| <= 50, 1 <= x <= 100.
  ViewFrustum f;
  f.SetOrthographic();
  f.SetOrthoWidth(100.0f);
  f.SetNear(1.0f);
  f.SetFar(100.0f);
  CullVolume volume(f, 1);

  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(10, -10, -10), Vector3(99, 10, 10))), 1);
  // Farthest corner exactly on the far plane: touching from inside is crossing.
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(10, -10, -10), Vector3(100, 10, 10))), 0);
  // A box enclosing the whole volume is crossing, never inside.
  EXPECT_EQ(volume.ClassifyBox(Box(Vector3(-500, -500, -500), Vector3(500, 500, 500))), 0);
  // Touching the far plane from outside still touches the closed volume.
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

TEST(CullVolume, FrustumBuildsAndOwnsItsVolume) {
  ViewFrustum f;
  f.BuildCullVolume(0);
  ASSERT_NE(f.GetCullVolume(), nullptr);
  EXPECT_EQ(f.GetCullVolume()->GetPlaneCount(), 5u);
  EXPECT_TRUE(f.GetCullVolume()->ContainsPoint(Vector3(10, 0, 0)));
  EXPECT_FALSE(f.GetCullVolume()->ContainsPoint(Vector3(-10, 0, 0)));
  f.BuildCullVolume(1);
  EXPECT_EQ(f.GetCullVolume()->GetPlaneCount(), 6u);
  EXPECT_FALSE(f.GetCullVolume()->ContainsPoint(Vector3(0.1f, 0, 0)));  // in front of the near plane
  f.ReleaseCullVolume();
  EXPECT_EQ(f.GetCullVolume(), nullptr);

  // A parallel view has no apex: even kind 0 gets the box-shaped frustum, so
  // the part of the view beside the eye is not cut away.
  f.SetOrthographic();
  f.SetOrthoWidth(100.0f);
  f.BuildCullVolume(0);
  EXPECT_EQ(f.GetCullVolume()->GetPlaneCount(), 6u);
  EXPECT_TRUE(f.GetCullVolume()->ContainsPoint(Vector3(1, 40, -40)));
}

TEST(CullVolume, ConvexMeshVolumeMatchesItsHull) {
  plat::srand(61);
  for (int round = 0; round < 10; ++round) {
    std::vector<Vector3> pts;
    const Vector3 offset(RandomFloat(-50, 50), RandomFloat(-50, 50), RandomFloat(-50, 50));
    for (int i = 0; i < 30 + 10 * round; ++i) {
      pts.push_back(offset + Vector3(RandomFloat(-5, 5), RandomFloat(-3, 3), RandomFloat(-8, 8)));
    }
    std::vector<ConvexHullTriangle> tris;
    ASSERT_TRUE(BuildConvexHullFaces(pts.data(), static_cast<uint32_t>(pts.size()), tris));
    CullVolume volume(pts.data(), static_cast<uint32_t>(pts.size()), tris.data(), static_cast<uint32_t>(tris.size()));
    ASSERT_EQ(volume.GetPlaneCount(), tris.size());

    Vector3 centre;
    for (const Vector3& p : pts) centre += p * (1.0f / pts.size());
    for (int i = 0; i < 200; ++i) {
      // Strictly inside: a convex mix of input points pulled toward the centre.
      const Vector3& a = pts[plat::rand() % pts.size()];
      const Vector3& b = pts[plat::rand() % pts.size()];
      const float t = RandomFloat(0, 1);
      const Vector3 mix = a * t + b * (1 - t);
      const Vector3 in = centre + (mix - centre) * 0.95f;
      EXPECT_TRUE(volume.ContainsPoint(in));
      EXPECT_NE(volume.ClassifyBox(Box(in - Vector3(1e-3f, 1e-3f, 1e-3f), in + Vector3(1e-3f, 1e-3f, 1e-3f))), -1);
    }
    for (const ConvexHullTriangle& t : tris) {
      // Beyond a hull vertex, away from the centre: outside.
      const Vector3& v = pts[t.index[0]];
      const Vector3 out = centre + (v - centre) * 1.5f;
      EXPECT_FALSE(volume.ContainsPoint(out));
      EXPECT_EQ(volume.ClassifySphere(out, 1e-3f), -1);
      EXPECT_EQ(volume.ClassifyBox(Box(out - Vector3(1e-3f, 1e-3f, 1e-3f), out + Vector3(1e-3f, 1e-3f, 1e-3f))), -1);
      EXPECT_EQ(volume.ClassifyBox(Box(v - Vector3(1e-3f, 1e-3f, 1e-3f), v + Vector3(1e-3f, 1e-3f, 1e-3f))), 0);
    }
  }
}

TEST(CullVolume, ConvexMeshInputIsCheckedAndEmptyVolumesAcceptEverything) {
  const Vector3 pts[4] = {Vector3(0, 0, 0), Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
  std::vector<ConvexHullTriangle> tris;
  ASSERT_TRUE(BuildConvexHullFaces(pts, 4, tris));
  tris.push_back({{0, 1, 9}});  // names a vertex that does not exist
  CullVolume checked(pts, 4, tris.data(), static_cast<uint32_t>(tris.size()));
  EXPECT_EQ(checked.GetPlaneCount(), 4u);
  EXPECT_TRUE(checked.ContainsPoint(Vector3(0.1f, 0.1f, 0.1f)));
  EXPECT_FALSE(checked.ContainsPoint(Vector3(1, 1, 1)));

  CullVolume empty(pts, 4, nullptr, 0);
  EXPECT_EQ(empty.GetPlaneCount(), 0u);
  EXPECT_TRUE(empty.ContainsPoint(Vector3(1e6f, -1e6f, 3)));
  EXPECT_EQ(empty.ClassifySphere(Vector3(1e6f, 0, 0), 1.0f), 1);
}
