// Static collision primitives of an instance placed by its local frame, as structures place their
// pieces: segments, swept spheres and the vertex primitives meet it where it stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/math/Octree.h"
#include "core/math/TMatrix.h"
#include "physics/collision/BeamInfo.h"
#include "physics/terrain/TerrainCollision.h"
#include "physics/terrain/TerrainCollisionEdge.h"
#include "physics/terrain/TerrainCollisionPoint.h"
#include "physics/terrain/TerrainPolygon.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/PolyTestUtil.h"
#include "tools/DemoContent.h"

namespace {

using physics_test::Uniform;
// Plain doubles: the references must not share the engine's float rounding.
using V = poly_test::Vec;
V D(const Vector3& v) { return {v.x, v.y, v.z}; }

enum Placement { kMoved, kTurned, kUnplaced, kPlacementCount };

struct Tri {
  V a, b, c, n;  // n by the mesh winding, (c - a) x (b - a)
};

// Segment fraction of the nearest hit on a face seen from its front, -1 for none.
double SegmentTriangle(const V& s, const V& e, const Tri& t) {
  const V d = e - s, e1 = t.b - t.a, e2 = t.c - t.a, p = d.cross(e2), q = s - t.a, r = q.cross(e1);
  const double det = e1.dot(p);
  if (d.dot(t.n) >= 0.0 || std::fabs(det) < 1e-12) return -1.0;
  const double u = q.dot(p) / det, v = d.dot(r) / det, time = e2.dot(r) / det;
  return u >= 0 && v >= 0 && u + v <= 1 && time >= 0 && time <= 1 ? time : -1.0;
}

double PointTriangleDistance(const V& p, const Tri& t) {
  V n = (t.b - t.a).cross(t.c - t.a);
  n = n * (1.0 / n.norm());
  const V q = p - n * n.dot(p - t.a);
  const V w = (t.a - q).cross(t.b - q), x = (t.b - q).cross(t.c - q), y = (t.c - q).cross(t.a - q);
  if (w.dot(x) >= 0 && x.dot(y) >= 0) return (p - q).norm();
  double best = DBL_MAX;
  const V ends[4] = {t.a, t.b, t.c, t.a};
  for (int i = 0; i < 3; ++i) {
    const V e = ends[i + 1] - ends[i];
    const double s = std::clamp(e.dot(p - ends[i]) / e.dot(e), 0.0, 1.0);
    best = std::min(best, (p - ends[i] - e * s).norm());
  }
  return best;
}

// A bumpy 7 x 7 grid bound at the identity, then given its place through the local frame.
struct PlacedGrid {
  std::unique_ptr<ShadedMesh> mesh;
  std::unique_ptr<CMeshInstance> instance;
  COrientation place;
  std::vector<Tri> tris;  // where the faces stand, face order
  float side = 1.0f;      // queries come from the side the faces look to
  float height = 0.0f;

  explicit PlacedGrid(int placement) {
    mesh = DemoContent::BuildGroundGrid(7, 2.0f);
    for (uint32_t i = 0; i < mesh->vertexCount; ++i) mesh->allPositions[i].z = Uniform(-0.6f, 0.6f);
    mesh->ComputeAllFaceNormals();
    mesh->ComputeBounds();
    if (placement == kMoved) place.position = Vector3(40.0f, -25.0f, 6.0f);
    if (placement == kTurned) MakeAxisRotation(place.axes, Vector3(0.48f, 0.6f, 0.64f), 0.9f);
    instance = std::make_unique<CMeshInstance>();
    instance->SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr);
    instance->SetTransform(&place, true);
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      Tri t;
      V* corners[3] = {&t.a, &t.b, &t.c};
      for (int k = 0; k < 3; ++k) {
        const Vector3& p = mesh->positions[mesh->indices[3 * f + k]];
        *corners[k] = D(place.LocalToWorldPoint(p));
        height = std::max(height, std::fabs(p.z));
      }
      t.n = (t.c - t.a).cross(t.b - t.a);
      tris.push_back(t);
    }
    side = mesh->faceNormals[0].z >= 0.0f ? 1.0f : -1.0f;
  }
  // A point of the grid's frame (over its faces' side at height z) where the grid stands.
  Vector3 Over(float extent, float z) const {
    const float x = Uniform(-extent, extent), y = Uniform(-extent, extent);
    return place.LocalToWorldPoint(Vector3(x, y, side * z));
  }
  double NearestSegmentHit(const Vector3& from, const Vector3& to) const {
    double want = -1.0;
    for (const Tri& t : tris) {
      const double time = SegmentTriangle(D(from), D(to), t);
      if (time >= 0.0 && (want < 0.0 || time < want)) want = time;
    }
    return want;
  }
  bool NearestOverPolygons(GenericIntersection& query, float& best) {
    best = FLT_MAX;
    for (uint32_t i = 0; i < instance->GetTerrainPolygonCount(); ++i)
      if (instance->GetTerrainPolygons()[i].Intersect(&query) && query.result.time < best) best = query.result.time;
    return best < FLT_MAX;
  }
};

}  // namespace

TEST(PlacedInstanceCollision, PolygonsAreBoxedAndHitWhereTheInstanceStands) {
  plat::srand(31);
  for (int placement = 0; placement < kPlacementCount; ++placement) {
    PlacedGrid grid(placement);
    COctree octree;
    BuildTerrainCollisionPolygons(&octree, grid.instance.get(), nullptr, 7, nullptr, true, false);
    ASSERT_EQ(grid.instance->GetTerrainPolygonCount(), grid.mesh->faceCount);
    ASSERT_EQ(octree.GetObjectCount(), grid.mesh->faceCount);
    for (uint32_t f = 0; f < grid.mesh->faceCount; ++f) {
      const Box& box = grid.instance->GetTerrainPolygons()[f].GetBounds();
      const Tri& t = grid.tris[f];
      EXPECT_NEAR(box.min.x, std::min({t.a.x, t.b.x, t.c.x}), 1e-4) << "placement " << placement << " face " << f;
      EXPECT_NEAR(box.max.y, std::max({t.a.y, t.b.y, t.c.y}), 1e-4);
      EXPECT_NEAR(box.max.z, std::max({t.a.z, t.b.z, t.c.z}), 1e-4);
    }
    int hits = 0;
    for (int round = 0; round < 300; ++round) {
      // Every third segment drops straight through the placed grid and must hit; every third
      // drops through the place the grid has at the origin, which a moved grid has left.
      const int kind = round % 3;
      Vector3 from = grid.Over(kind == 2 ? 6.0f : 5.9f, grid.height + Uniform(0.1f, 3.0f));
      Vector3 to = grid.Over(6.0f, Uniform(-2.0f, 2.0f));
      if (kind == 0) to = from - grid.place.axes.m[2] * (grid.side * 8.0f);
      if (kind == 1) {
        from = Vector3(Uniform(-5.9f, 5.9f), Uniform(-5.9f, 5.9f), grid.side * (grid.height + 1.0f));
        to = from - Vector3(0.0f, 0.0f, grid.side * (2 * grid.height + 2.0f));
      }
      const double want = grid.NearestSegmentHit(from, to);
      RayInfo ray(from, to), treeRay(from, to);
      float walked = FLT_MAX;
      CBoundedObject* object = nullptr;
      const bool hit = grid.NearestOverPolygons(ray, walked);
      ASSERT_EQ(hit, want >= 0.0) << "placement " << placement << " round " << round;
      ASSERT_EQ(octree.RayQuery(treeRay, &object, CBoundedObject::kStaticTerrain, true, 1.0f), hit);
      if (kind == 0) ASSERT_TRUE(hit) << "placement " << placement << " round " << round;
      if (kind == 1 && placement == kMoved) ASSERT_FALSE(hit) << "round " << round;
      if (!hit) continue;
      ++hits;
      EXPECT_NEAR(walked, want, 1e-4);
      EXPECT_NEAR(treeRay.result.time, want, 1e-4);
    }
    EXPECT_GT(hits, 130) << "placement " << placement;
  }
}

TEST(PlacedInstanceCollision, SweptSpheresStopWhereTheInstanceStands) {
  plat::srand(32);
  for (int placement = 0; placement < kPlacementCount; ++placement) {
    PlacedGrid grid(placement);
    BuildTerrainCollisionPolygons(nullptr, grid.instance.get(), nullptr, 7, nullptr, false, false);
    int hits = 0, compared = 0;
    for (int round = 0; round < 40; ++round) {
      const float r = Uniform(0.2f, 0.8f);
      const Vector3 from = grid.Over(5.0f, grid.height + r + Uniform(0.1f, 2.0f));
      const Vector3 to = grid.Over(5.0f, Uniform(-2.0f, 1.0f));
      auto gap = [&](double t) {
        double best = DBL_MAX;
        for (const Tri& tri : grid.tris) best = std::min(best, PointTriangleDistance(D(from + (to - from) * t), tri));
        return best - r;
      };
      // The first sample within r of a face, refined by bisection.
      double want = -1.0, closest = DBL_MAX;
      for (int i = 1; i <= 400 && want < 0.0; ++i) {
        const double g = gap(i / 400.0);
        closest = std::min(closest, g);
        if (g > 0.0) continue;
        double lo = (i - 1) / 400.0, hi = i / 400.0;
        for (int k = 0; k < 40; ++k) (gap(0.5 * (lo + hi)) <= 0.0 ? hi : lo) = 0.5 * (lo + hi);
        want = hi;
      }
      if (want < 0.0 && closest < 1e-3) continue;  // grazing: either answer is fair
      BeamInfo beam(from, to, r);
      float walked = FLT_MAX;
      const bool hit = grid.NearestOverPolygons(beam, walked);
      ++compared;
      ASSERT_EQ(hit, want >= 0.0) << "placement " << placement << " round " << round;
      if (hit) EXPECT_NEAR(walked, want, 2e-3) << "placement " << placement << " round " << round;
      hits += hit;
    }
    EXPECT_GT(compared, 30);
    EXPECT_GT(hits, 15);
  }
}

TEST(PlacedInstanceCollision, PointsAndEdgesSitOnThePlacedVertices) {
  plat::srand(33);
  for (int placement = 0; placement < kPlacementCount; ++placement) {
    PlacedGrid grid(placement);
    const uint32_t vertices = grid.mesh->vertexCount;
    for (uint32_t v = 0; v < vertices; ++v) {
      const Vector3 want = grid.place.LocalToWorldPoint(grid.mesh->positions[v]);
      CTerrainPoint point;
      ASSERT_TRUE(point.Setup(grid.instance.get(), v, 0, nullptr));
      EXPECT_NEAR((point.GetBounds().min - want).Length(), 0.0f, 1e-4) << "placement " << placement << " vertex " << v;
      EXPECT_EQ(point.GetBounds().min, point.GetBounds().max);
      const uint32_t other = (v * 7 + 3) % vertices;
      const Vector3 wantOther = grid.place.LocalToWorldPoint(grid.mesh->positions[other]);
      CTerrainEdge edge;
      ASSERT_TRUE(edge.Setup(grid.instance.get(), v, other, 0, nullptr));
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(edge.GetBounds().min[i], std::min(want[i], wantOther[i]), 1e-4);
        EXPECT_NEAR(edge.GetBounds().max[i], std::max(want[i], wantOther[i]), 1e-4);
      }
    }
  }
}
