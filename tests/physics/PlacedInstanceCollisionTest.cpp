// Static collision primitives of an instance placed by its local frame, as structures place their
// pieces: segments, swept spheres and the vertex primitives meet it where it stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/TMatrix.h"
#include "physics/collision/BeamInfo.h"
#include "physics/terrain/TerrainCollision.h"
#include "physics/terrain/TerrainCollisionEdge.h"
#include "physics/terrain/TerrainCollisionPoint.h"
#include "physics/terrain/TerrainPolygon.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/physics/TerrainTestUtil.h"

namespace {

using terrain_test::Tri;
using terrain_test::Uniform;

enum Placement { kMoved, kTurned, kUnplaced, kPlacementCount };

// A bumpy 7 x 7 grid bound at the identity, then given its place through the local frame.
struct PlacedGrid : terrain_test::BumpyGrid {
  explicit PlacedGrid(int placement) : BumpyGrid(7, 0.6f) {
    if (placement == kMoved) place.position = Vector3(40.0f, -25.0f, 6.0f);
    if (placement == kTurned) MakeAxisRotation(place.axes, Vector3(0.48f, 0.6f, 0.64f), 0.9f);
    instance->SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr);
    instance->SetTransform(&place, true);
    TakeFaces();
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
    SCOPED_TRACE(placement);
    PlacedGrid grid(placement);
    BuildTerrainCollisionPolygons(nullptr, grid.instance.get(), nullptr, 7, nullptr, false, false);
    terrain_test::SweepTally tally;
    grid.CompareSweptSpheres(40, 5.0f, 2.0f, 1.0f, 400, tally);
    EXPECT_GT(tally.compared, 30);
    EXPECT_GT(tally.hits, 15);
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
