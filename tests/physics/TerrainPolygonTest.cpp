// Terrain polygons built from a demo mesh: filing, flags, and queries checked against scans of the mesh triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "core/math/Octree.h"
#include "core/math/Orientation.h"
#include "core/math/TMatrix.h"
#include "physics/BeamInfo.h"
#include "physics/CollisionObject.h"
#include "physics/RayInfo.h"
#include "physics/StaticCollisionPrimativeTestEdge.h"
#include "physics/SurfaceType.h"
#include "physics/TerrainCollision.h"
#include "physics/TerrainCollisionEdge.h"
#include "physics/TerrainCollisionPoint.h"
#include "physics/TerrainPatch.h"
#include "physics/TerrainPolygon.h"
#include "physics/TerrainTriangleTree.h"
#include "render/Texture.h"
#include "scene/CurvedPatchInstance.h"
#include "scene/MeshInstance.h"
#include "scene/ShadedMesh.h"
#include "scene/VertexSharingTable.h"
#include "tests/physics/PhysicsTestUtil.h"
#include "tools/DemoContent.h"

namespace {

using physics_test::Uniform;

struct V3d {
  double x, y, z;
};
V3d D(const Vector3& v) { return {v.x, v.y, v.z}; }
V3d operator-(V3d a, V3d b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3d operator+(V3d a, V3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3d operator*(V3d a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(V3d a, V3d b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3d Cross(V3d a, V3d b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

struct Tri {
  V3d a, b, c;
  V3d n;  // mesh winding: (c - a) x (b - a)
};

// Segment against a triangle in double precision; one-sided keeps only segments running
// against the face normal. Returns the fraction or -1.
double SegmentTriangle(V3d s, V3d e, const Tri& t, bool oneSided) {
  const V3d d = e - s;
  if (oneSided && Dot(d, t.n) >= 0.0) return -1.0;
  const V3d e1 = t.b - t.a, e2 = t.c - t.a;
  const V3d p = Cross(d, e2);
  const double det = Dot(e1, p);
  if (std::fabs(det) < 1e-12) return -1.0;
  const V3d q = s - t.a;
  const double u = Dot(q, p) / det;
  const V3d r = Cross(q, e1);
  const double v = Dot(d, r) / det;
  const double time = Dot(e2, r) / det;
  if (u < 0.0 || v < 0.0 || u + v > 1.0 || time < 0.0 || time > 1.0) return -1.0;
  return time;
}

// Closest point of a triangle to p (regions of the triangle, double precision).
double PointTriangleDistance(V3d p, const Tri& t) {
  const V3d ab = t.b - t.a, ac = t.c - t.a, ap = p - t.a;
  const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
  V3d q;
  if (d1 <= 0 && d2 <= 0) {
    q = t.a;
  } else {
    const V3d bp = p - t.b;
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    const V3d cp = p - t.c;
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
    if (d3 >= 0 && d4 <= d3) {
      q = t.b;
    } else if (d6 >= 0 && d5 <= d6) {
      q = t.c;
    } else if (vc <= 0 && d1 >= 0 && d3 <= 0) {
      q = t.a + ab * (d1 / (d1 - d3));
    } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
      q = t.a + ac * (d2 / (d2 - d6));
    } else if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
      q = t.b + (t.c - t.b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    } else {
      const double denom = 1.0 / (va + vb + vc);
      q = t.a + ab * (vb * denom) + ac * (vc * denom);
    }
  }
  const V3d diff = p - q;
  return std::sqrt(Dot(diff, diff));
}

// Render groups for the partial-draw lists (the demo meshes come without them).
void AddSharingTable(ShadedMesh& mesh) {
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
  auto* table = new VertexSharingTable();
  ASSERT_TRUE(table->Build(mesh, reinterpret_cast<const VertexSharingFace*>(mesh.faceRecords)));
  delete mesh.sharingTable;
  mesh.sharingTable = table;
}

// A bumpy grid placed by a turn and a shift, so world and mesh coordinates differ.
struct Terrain {
  std::unique_ptr<ShadedMesh> mesh;
  std::unique_ptr<CMeshInstance> instance;
  COrientation place;
  std::vector<Tri> tris;  // world triangles from the mesh and the placement, face order
  float side = 1.0f;      // sign of the faces' local z normal: queries come from that side
  float height = 0.0f;    // largest |z| of the bumps

  explicit Terrain(bool moved, uint32_t n = 9) {
    mesh.reset(DemoContent::BuildGroundGrid(n, 2.0f));
    for (uint32_t i = 0; i < mesh->vertexCount; ++i) {
      mesh->allPositions[i].z = Uniform(-0.8f, 0.8f);
      height = std::max(height, std::fabs(mesh->allPositions[i].z));
    }
    mesh->ComputeAllFaceNormals();
    mesh->ComputeBounds();
    AddSharingTable(*mesh);
    if (moved) {
      Vector3 axis(0.3f, -0.2f, 1.0f);
      axis = axis * (1.0f / std::sqrt(axis.Dot(axis)));
      MakeAxisRotation(place.axes, axis, 0.7f);
      place.position = Vector3(5.0f, -3.0f, 2.0f);
    }
    const Matrix4 matrix = place.ToMatrix4();
    instance.reset(new CMeshInstance());
    instance->SetMesh(mesh.get(), true, false, false, 0, 10, moved ? &matrix : nullptr, true, nullptr);
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      Tri t;
      t.a = D(place.LocalToWorldPoint(mesh->positions[mesh->indices[3 * f]]));
      t.b = D(place.LocalToWorldPoint(mesh->positions[mesh->indices[3 * f + 1]]));
      t.c = D(place.LocalToWorldPoint(mesh->positions[mesh->indices[3 * f + 2]]));
      t.n = Cross(t.c - t.a, t.b - t.a);
      tris.push_back(t);
    }
    side = mesh->faceNormals[0].z >= 0.0f ? 1.0f : -1.0f;
  }
  ~Terrain() { instance.reset(); }

  // A world point over the grid at local height z (times the side the faces look to).
  Vector3 Local(float extent, float z) const {
    return place.LocalToWorldPoint(Vector3(Uniform(-extent, extent), Uniform(-extent, extent), side * z));
  }
  CTerrainPolygon& Polygon(uint32_t i) { return instance->GetTerrainPolygons()[i]; }
};

// The walkers' rule: every object reports its own hit, the nearest is kept.
template <class Query>
bool NearestOverPolygons(Terrain& terrain, Query& query, float& bestTime) {
  bestTime = FLT_MAX;
  for (uint32_t i = 0; i < terrain.instance->GetTerrainPolygonCount(); ++i) {
    query.result.Reset();
    if (terrain.Polygon(i).Intersect(&query) && query.result.time < bestTime) bestTime = query.result.time;
  }
  return bestTime < FLT_MAX;
}

class CountingOwner : public CCollisionObject {
 public:
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override {
    ++calls;
    return true;
  }
  int calls = 0;
};

}  // namespace

TEST(TerrainPolygonTest, OnePolygonPerFaceWithBoxesFlagsAndOctreeFiling) {
  plat::srand(11);
  Terrain terrain(true);
  COctree octree;
  BuildTerrainCollisionPolygons(&octree, terrain.instance.get(), nullptr, 7, nullptr, true, true);
  const uint32_t faces = terrain.mesh->faceCount;
  ASSERT_EQ(terrain.instance->GetTerrainPolygonCount(), faces);
  EXPECT_EQ(octree.GetObjectCount(), faces);

  const uint32_t expected = 0x80002 | 0x4 | 0x40 | 0x100 | 0x40000 | 0x120000 | 0x200 | 0x2000 | 0x400 | 0x1000 |
                            0x10000000;
  for (uint32_t i = 0; i < faces; ++i) {
    CTerrainPolygon& p = terrain.Polygon(i);
    EXPECT_EQ(p.GetFace(), static_cast<int32_t>(i));
    EXPECT_EQ(p.GetOccluderTag(), static_cast<int32_t>(i));
    EXPECT_EQ(p.GetBoundFlags() & ~0x1u, expected) << "face " << i;
    EXPECT_TRUE(p.IsFiled());
    EXPECT_EQ(p.GetInstance(), terrain.instance.get());
    const CollisionInfo* info = p.GetCollisionInfo(nullptr);
    EXPECT_EQ(info->kind, 1u);
    EXPECT_EQ(info->object, &p);
    EXPECT_EQ(info->surface, SurfaceType::Get(0));
    const Tri& t = terrain.tris[i];
    const Box& b = p.GetBounds();
    EXPECT_NEAR(b.min.x, std::min({t.a.x, t.b.x, t.c.x}), 1e-4);
    EXPECT_NEAR(b.max.z, std::max({t.a.z, t.b.z, t.c.z}), 1e-4);
  }
  // The octree grew to hold the placed grid.
  Box world;
  terrain.instance->GetWorldBounds(world);
  EXPECT_TRUE(octree.GetRootBox().ContainsBox(world));

  // Box queries find exactly the polygons whose triangle box meets the query box.
  for (int round = 0; round < 300; ++round) {
    const Vector3 c = terrain.Local(9.0f, Uniform(-1.0f, 1.0f));
    const Vector3 h(Uniform(0.0f, 3.0f), Uniform(0.0f, 3.0f), Uniform(0.0f, 1.0f));
    const Box query(c - h, c + h);
    COctree::ObjectList found;
    octree.QueryBox(query, &found, CBoundedObject::kStaticTerrain);
    std::set<const CBoundedObject*> got(found.begin(), found.end());
    std::set<const CBoundedObject*> want;
    for (uint32_t i = 0; i < faces; ++i) {
      const Tri& t = terrain.tris[i];
      const double lo[3] = {std::min({t.a.x, t.b.x, t.c.x}), std::min({t.a.y, t.b.y, t.c.y}),
                            std::min({t.a.z, t.b.z, t.c.z})};
      const double hi[3] = {std::max({t.a.x, t.b.x, t.c.x}), std::max({t.a.y, t.b.y, t.c.y}),
                            std::max({t.a.z, t.b.z, t.c.z})};
      const double qlo[3] = {query.min.x, query.min.y, query.min.z}, qhi[3] = {query.max.x, query.max.y, query.max.z};
      bool meet = true;
      for (int k = 0; k < 3; ++k) meet = meet && lo[k] <= qhi[k] + 1e-5 && qlo[k] <= hi[k] + 1e-5;
      // Boxes that only nearly touch are left out of the comparison either way.
      bool clear = true;
      for (int k = 0; k < 3; ++k) clear = clear && lo[k] <= qhi[k] - 1e-5 && qlo[k] <= hi[k] - 1e-5;
      if (clear) want.insert(&terrain.Polygon(i));
      if (meet != clear) got.erase(&terrain.Polygon(i));
    }
    ASSERT_EQ(got, want) << "round " << round;
  }

  // Deleting the instance takes its polygons out of the tree: nothing is left pointing at them.
  terrain.instance.reset();
  EXPECT_EQ(octree.GetObjectCount(), 0u);
  COctree::ObjectList all;
  octree.CollectAll(&all, 0);
  EXPECT_TRUE(all.empty());
}

TEST(TerrainPolygonTest, SegmentsAgreeWithScanOfMeshTriangles) {
  plat::srand(12);
  for (bool moved : {false, true}) {
    Terrain terrain(moved);
    COctree octree;
    BuildTerrainCollisionPolygons(&octree, terrain.instance.get(), nullptr, 7, nullptr, true, false);
    int hits = 0;
    for (int round = 0; round < 400; ++round) {
      const Vector3 from = terrain.Local(9.0f, terrain.height + Uniform(0.1f, 4.0f));
      const Vector3 to = terrain.Local(9.0f, Uniform(-3.0f, 3.0f));
      double want = -1.0;
      for (const Tri& t : terrain.tris) {
        const double time = SegmentTriangle(D(from), D(to), t, true);
        if (time >= 0.0 && (want < 0.0 || time < want)) want = time;
      }
      RayInfo ray(from, to);
      float walked = FLT_MAX;
      const bool hit = NearestOverPolygons(terrain, ray, walked);
      RayInfo treeRay(from, to);
      CBoundedObject* object = nullptr;
      const bool treeHit = octree.RayQuery(treeRay, &object, CBoundedObject::kStaticTerrain, true, 1.0f);
      ASSERT_EQ(hit, want >= 0.0) << "round " << round;
      ASSERT_EQ(treeHit, hit) << "round " << round;
      if (!hit) continue;
      ++hits;
      EXPECT_NEAR(walked, want, 1e-4);
      EXPECT_NEAR(treeRay.result.time, want, 1e-4);
      // The reported normal is the face's, turned towards the start.
      const Vector3 d = to - from;
      EXPECT_LT(treeRay.normal.Dot(d), 0.0f);
      EXPECT_NEAR(treeRay.normal.Dot(treeRay.normal), 1.0f, 1e-3);
    }
    EXPECT_GT(hits, 150);
  }
}

TEST(TerrainPolygonTest, SweptSpheresAgreeWithScanOfMeshTriangles) {
  plat::srand(13);
  Terrain terrain(true, 6);
  BuildTerrainCollisionPolygons(nullptr, terrain.instance.get(), nullptr, 7, nullptr, false, false);
  int hits = 0, compared = 0;
  for (int round = 0; round < 150; ++round) {
    const float r = Uniform(0.2f, 0.8f);
    const Vector3 from = terrain.Local(6.0f, terrain.height + r + Uniform(0.1f, 3.0f));
    const Vector3 to = terrain.Local(6.0f, Uniform(-2.0f, 2.0f));
    const V3d s = D(from), e = D(to);
    // Earliest contact: the first sample where the centre comes within r of a triangle,
    // refined by bisection.
    auto gap = [&](double t) {
      double best = DBL_MAX;
      for (const Tri& tri : terrain.tris) best = std::min(best, PointTriangleDistance(s + (e - s) * t, tri));
      return best - r;
    };
    const int samples = 600;
    double want = -1.0, closest = DBL_MAX;
    for (int i = 1; i <= samples && want < 0.0; ++i) {
      const double t = static_cast<double>(i) / samples;
      const double g = gap(t);
      closest = std::min(closest, g);
      if (g <= 0.0) {
        double lo = static_cast<double>(i - 1) / samples, hi = t;
        for (int k = 0; k < 40; ++k) (gap(0.5 * (lo + hi)) <= 0.0 ? hi : lo) = 0.5 * (lo + hi);
        want = hi;
      }
    }
    if (want < 0.0 && closest < 1e-3) continue;  // grazing: either answer is fair
    BeamInfo beam(from, to, r);
    float walked = FLT_MAX;
    const bool hit = NearestOverPolygons(terrain, beam, walked);
    ++compared;
    ASSERT_EQ(hit, want >= 0.0) << "round " << round;
    if (!hit) continue;
    ++hits;
    EXPECT_NEAR(walked, want, 2e-3) << "round " << round;
  }
  EXPECT_GT(compared, 120);
  EXPECT_GT(hits, 60);
}

TEST(TerrainPolygonTest, DegenerateFaceStaysUnboundAndUnfiled) {
  plat::srand(14);
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(4, 1.0f));
  mesh->indices[3 * 2 + 1] = mesh->indices[3 * 2];  // face 2 collapses to a segment
  mesh->ComputeAllFaceNormals();
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  COctree octree;
  physics_test::DebugCapture log;
  std::vector<CStaticCollisionPrimative*> list;
  BuildTerrainCollisionPolygons(&octree, &instance, &list, 7, nullptr, true, true);
  EXPECT_NE(log.Text().find("Degenerate Polygon at Face 2\n"), std::string::npos);
  ASSERT_EQ(instance.GetTerrainPolygonCount(), mesh->faceCount);
  EXPECT_EQ(list.size(), mesh->faceCount - 1);
  EXPECT_EQ(octree.GetObjectCount(), mesh->faceCount - 1);
  CTerrainPolygon& dead = instance.GetTerrainPolygons()[2];
  EXPECT_EQ(dead.GetFace(), -1);
  EXPECT_FALSE(dead.IsFiled());
  // Walkers may still meet the element in the array: it hits nothing and draws nothing.
  RayInfo ray(Vector3(-5, -5, -5), Vector3(5, 5, 5));
  EXPECT_FALSE(dead.Intersect(&ray));
  dead.Render(nullptr);
  EXPECT_EQ(dead.GetOccluderTag(), -1);
  // Binding to a face past the mesh is refused.
  CTerrainPolygon stray;
  EXPECT_FALSE(stray.Setup(&instance, mesh->faceCount, nullptr));
  EXPECT_FALSE(stray.IsBound());
}

TEST(TerrainPolygonTest, TextureFlagsChooseSidesCollisionSurfaceAndAlphaPass) {
  plat::srand(15);
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(3, 2.0f));
  ASSERT_GT(mesh->GetSlotCount(), 0u);
  const float up = mesh->faceNormals[0].z >= 0.0f ? 1.0f : -1.0f;
  CTexture texture;
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  instance.SetTexture(0, &texture);
  auto rebuild = [&](uint32_t flags) {
    texture.flags = flags;
    BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, nullptr, false, true);
    return &instance.GetTerrainPolygons()[0];
  };
  const Vector3 c = (mesh->positions[mesh->indices[0]] + mesh->positions[mesh->indices[1]] +
                     mesh->positions[mesh->indices[2]]) * (1.0f / 3.0f);
  RayInfo fromFront(c + Vector3(0, 0, up), c - Vector3(0, 0, up));
  RayInfo fromBack(c - Vector3(0, 0, up), c + Vector3(0, 0, up));

  // Opaque: one-sided.
  CTerrainPolygon* p = rebuild(0x03000000);
  EXPECT_EQ(p->GetSurface(), SurfaceType::Get(3));
  EXPECT_TRUE(p->Intersect(&fromFront));
  EXPECT_FALSE(p->Intersect(&fromBack));
  // Translucent group, or a two-sided texture: both sides.
  for (uint32_t flags : {0x4u, 0x8u, 0x800u}) {
    p = rebuild(flags);
    EXPECT_EQ(p->GetBoundFlags() & 0x100u, 0u);
    EXPECT_TRUE(p->Intersect(&fromBack)) << flags;
    EXPECT_NEAR(fromBack.normal.z, -up, 1e-5f);
  }
  EXPECT_EQ(rebuild(0x4)->GetBoundFlags() & 0x40000u, 0u);
  // A surface index past the table gives entry 0.
  EXPECT_EQ(rebuild(25u << 24)->GetSurface(), SurfaceType::Get(0));
  // Non-colliding faces are still filed but carry no collision bits.
  COctree octree;
  texture.flags = 0x1000;
  BuildTerrainCollisionPolygons(&octree, &instance, nullptr, 7, nullptr, true, true);
  p = &instance.GetTerrainPolygons()[0];
  EXPECT_TRUE(p->IsFiled());
  EXPECT_EQ(p->GetBoundFlags() & (0x4u | 0x120000u), 0u);
  EXPECT_EQ(rebuild(0x4000)->GetBoundFlags() & 0x8000000u, 0x8000000u);
  EXPECT_EQ(rebuild(0x400)->GetBoundFlags() & 0x200u, 0u);

  // Alpha-tested queries pass through faint texels unless the texture is exempt.
  for (uint32_t f = 0; f < mesh->faceCount; ++f)
    for (uint32_t k = 0; k < 3; ++k) instance.SetFaceColour(f, k, Color::FromWord(0x30FFFFFFu));
  p = rebuild(0);
  fromFront.mode = 0x80 | 1;
  EXPECT_FALSE(p->Intersect(&fromFront));
  fromFront.mode = 1;
  EXPECT_TRUE(p->Intersect(&fromFront));
  p = rebuild(0x2000);
  fromFront.mode = 0x180 | 1;
  EXPECT_TRUE(p->Intersect(&fromFront));
  fromFront.mode = 0x80 | 1;
  EXPECT_FALSE(p->Intersect(&fromFront));
  for (uint32_t k = 0; k < 3; ++k) instance.SetFaceColour(0, k, Color::FromWord(0xC0FFFFFFu));
  EXPECT_TRUE(p->Intersect(&fromFront));
}

TEST(TerrainPolygonTest, OwnerHearsContactsOnlyWhileAskingAndKeepsShadowChoice) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(3, 1.0f));
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), false, false, false, 0, 10, nullptr, true, nullptr);
  CountingOwner owner;
  owner.AddBoundFlags(CBoundedObject::kCastsShadows);
  BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, &owner, false, true);
  CTerrainPolygon& p = instance.GetTerrainPolygons()[0];
  EXPECT_EQ(p.GetOwner(), &owner);
  // Without partial-draw lists the face is not renderable, and the owner's shadow bit keeps
  // its polygons from casting.
  EXPECT_EQ(p.GetBoundFlags() & (0x200u | 0x400u | 0x10000000u), 0u);
  IntersectionResult hit;
  hit.Reset();
  owner.ClearBoundFlags(CBoundedObject::kColliderObject);
  EXPECT_FALSE(p.HandleCollision(p.GetCollisionInfo(nullptr), &hit));
  owner.AddBoundFlags(CBoundedObject::kColliderObject);
  EXPECT_TRUE(p.HandleCollision(p.GetCollisionInfo(nullptr), &hit));
  EXPECT_EQ(owner.calls, 1);
  // Without an owner nothing is forwarded.
  BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, nullptr, false, true);
  EXPECT_FALSE(instance.GetTerrainPolygons()[0].HandleCollision(nullptr, &hit));
  // The instance never belongs to its primitives.
  EXPECT_FALSE(instance.GetTerrainPolygons()[0].OwnsMeshInstance());
}

TEST(TerrainPolygonTest, PartialDrawListsTakeEachFaceOnce) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(3, 1.0f));
  AddSharingTable(*mesh);
  CMeshInstance plain;
  plain.SetMesh(mesh.get(), false, false, false, 0, 10, nullptr, true, nullptr);
  BuildTerrainCollisionPolygons(nullptr, &plain, nullptr, 7, nullptr, false, true);
  physics_test::DebugCapture log;
  plain.GetTerrainPolygons()[0].Render(nullptr);
  EXPECT_NE(log.Text().find("Error! Trying to partial render a non-partial render mesh!\n"), std::string::npos);

  CMeshInstance partial;
  partial.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  BuildTerrainCollisionPolygons(nullptr, &partial, nullptr, 7, nullptr, false, true);
  log.Clear();
  uint32_t listed = 0;
  for (uint32_t f = 0; f < mesh->faceCount; ++f) partial.GetTerrainPolygons()[f].Render(nullptr);
  for (uint32_t g = 0; g < partial.GetPartialDrawGroupCount(); ++g) listed += partial.GetPartialDrawCount(g);
  EXPECT_EQ(listed, mesh->faceCount);
  EXPECT_TRUE(log.Text().empty());
  partial.GetTerrainPolygons()[0].Render(nullptr);
  EXPECT_NE(log.Text().find("Error - Adding active face twice in partial render!\n"), std::string::npos);
}

TEST(TerrainPolygonTest, PatchesAnswerLikeTheirTessellatedTriangles) {
  plat::srand(16);
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  ASSERT_NE(mesh, nullptr);
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  ASSERT_NE(instance.GetPatchState(), nullptr);
  COctree octree;
  BuildTerrainCollisionPolygons(&octree, &instance, nullptr, 7, nullptr, true, true);
  ASSERT_EQ(instance.GetTerrainPatchCount(), 1u);
  CTerrainPatch& patch = instance.GetTerrainPatches()[0];
  EXPECT_EQ(patch.GetPatch(), 0);
  EXPECT_EQ(patch.GetBoundFlags() & 0x20000000u, 0x20000000u);
  EXPECT_TRUE(patch.IsFiled());
  const Box expected = instance.GetPatchState()->GetWorldBounds(0);
  EXPECT_EQ(patch.GetBounds().min.z, expected.min.z);
  EXPECT_EQ(patch.GetBounds().max.z, expected.max.z);

  const TriTree* tree = TriTree::ensureBuilt(instance.GetPatchState(), 0);
  ASSERT_NE(tree, nullptr);
  std::vector<Tri> tris;
  for (const TriTreeTriangle& t : tree->GetTriangles()) {
    Tri tri{D(tree->GetVertices()[t.corners[0]].position), D(tree->GetVertices()[t.corners[1]].position),
            D(tree->GetVertices()[t.corners[2]].position), D(t.normal)};
    tris.push_back(tri);
  }
  int hits = 0;
  for (int round = 0; round < 200; ++round) {
    const Vector3 from(Uniform(-0.5f, 3.5f), Uniform(-0.5f, 3.5f), Uniform(-2.0f, 3.0f));
    const Vector3 to(Uniform(-0.5f, 3.5f), Uniform(-0.5f, 3.5f), Uniform(-2.0f, 3.0f));
    double want = -1.0;
    for (const Tri& t : tris) {
      const double time = SegmentTriangle(D(from), D(to), t, true);
      if (time >= 0.0 && (want < 0.0 || time < want)) want = time;
    }
    RayInfo ray(from, to);
    const bool hit = patch.Intersect(&ray);
    ASSERT_EQ(hit, want >= 0.0) << "round " << round;
    if (hit) {
      ++hits;
      EXPECT_NEAR(ray.result.time, want, 1e-4);
    }
  }
  EXPECT_GT(hits, 10);
}

TEST(TerrainPolygonTest, VerticalRaysOverTheGridAllHit) {
  plat::srand(17);
  Terrain terrain(true, 12);
  COctree octree;
  BuildTerrainCollisionPolygons(&octree, terrain.instance.get(), nullptr, 7, nullptr, true, true);
  const float half = 11.0f;  // 11 cells of 2 units either side of the centre
  for (float x = -half + 0.05f; x < half; x += 0.5f) {
    for (float y = -half + 0.05f; y < half; y += 0.5f) {
      const float top = terrain.side * (terrain.height + 1.0f);
      RayInfo ray(terrain.place.LocalToWorldPoint(Vector3(x, y, top)),
                  terrain.place.LocalToWorldPoint(Vector3(x, y, -top)));
      CBoundedObject* object = nullptr;
      ASSERT_TRUE(octree.RayQuery(ray, &object, CBoundedObject::kStaticTerrain, true, 1.0f)) << x << ", " << y;
      ASSERT_NE(dynamic_cast<CTerrainPolygon*>(object), nullptr);
    }
  }
}

TEST(TerrainPolygonTest, EdgesAndPointsBindCheckedVerticesWhereTheInstanceStands) {
  plat::srand(18);
  Terrain terrain(true, 4);
  CMeshInstance* instance = terrain.instance.get();
  const uint32_t last = terrain.mesh->vertexCount - 1;
  CTerrainEdge edge;
  EXPECT_FALSE(edge.Setup(instance, 0, last + 1, 0, nullptr));
  EXPECT_EQ(edge.GetFirstVertex(), -1);
  ASSERT_TRUE(edge.Setup(instance, 0, last, terrain.mesh->faceCount + 5, nullptr));
  const Vector3 a = terrain.place.LocalToWorldPoint(terrain.mesh->positions[0]);
  const Vector3 b = terrain.place.LocalToWorldPoint(terrain.mesh->positions[last]);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(edge.GetBounds().min[k], std::min(a[k], b[k]), 1e-4f);
    EXPECT_NEAR(edge.GetBounds().max[k], std::max(a[k], b[k]), 1e-4f);
  }
  EXPECT_EQ(edge.GetSurface(), SurfaceType::Get(0));
  EXPECT_EQ(edge.GetBoundFlags() & (0x200u | 0x400u | 0x1000u | 0x2000u), 0u);
  EXPECT_EQ(edge.GetBoundFlags() & 0x10020044u, 0x10020044u);
  CTerrainPoint point;
  EXPECT_FALSE(point.Setup(instance, last + 1, 0, nullptr));
  ASSERT_TRUE(point.Setup(instance, last, 0, nullptr));
  EXPECT_NEAR(point.GetBounds().max.x, b.x, 1e-4f);
  EXPECT_EQ(point.GetBounds().min.x, point.GetBounds().max.x);
  CTestEdge free(0, 0, 0, 1, -2, 3);
  EXPECT_EQ(free.GetBounds().min.y, -2.0f);
  EXPECT_EQ(free.GetBoundFlags() & 0x200u, 0x200u);
}
