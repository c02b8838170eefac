// Terrain primitives built from demo meshes: filing, flags, and queries checked against scans of the mesh triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/TMatrix.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/CollisionObject.h"
#include "physics/collision/SurfaceType.h"
#include "physics/terrain/TerrainCollision.h"
#include "physics/terrain/TerrainCollisionEdge.h"
#include "physics/terrain/TerrainCollisionPoint.h"
#include "physics/terrain/TerrainPatch.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "tests/physics/TerrainTestUtil.h"
#include "tools/DemoContent.h"

namespace {

using terrain_test::Tri;
using terrain_test::Uniform;

// Render groups for the partial-draw lists (the demo meshes come without them).
void AddSharingTable(ShadedMesh& mesh) {
  ASSERT_TRUE(mesh.BuildEdgeAdjacency());
  auto table = std::make_unique<VertexSharingTable>();
  ASSERT_TRUE(table->Build(mesh, reinterpret_cast<const VertexSharingFace*>(mesh.faceRecords)));
  mesh.sharingTable = std::move(table);
}

// A bumpy grid of n x n vertices, 2 units apart, optionally turned and shifted.
struct Terrain : terrain_test::BumpyGrid {
  explicit Terrain(bool moved, uint32_t n = 9) : BumpyGrid(n, 0.8f) {
    AddSharingTable(*mesh);
    if (moved) {
      MakeAxisRotation(place.axes, Vector3(0.6f, -0.4f, 2.0f) * (1.0f / std::sqrt(4.52f)), 0.7f);
      place.position = Vector3(5.0f, -3.0f, 2.0f);
    }
    const Matrix4 matrix = place.ToMatrix4();
    instance->SetMesh(mesh.get(), true, false, false, 0, 10, moved ? &matrix : nullptr, true, nullptr);
    TakeFaces();
  }
  CTerrainPolygon& Polygon(uint32_t i) { return instance->GetTerrainPolygons()[i]; }
};

class CountingOwner : public CCollisionObject {
 public:
  bool HandleCollision(const CollisionInfo*, const IntersectionResult*) override { return ++calls > 0; }
  int calls = 0;
};

}  // namespace

TEST(TerrainPolygonTest, OnePolygonPerFaceBoxedAndFiledUntilTheInstanceGoes) {
  plat::srand(11);
  Terrain terrain(true);
  // Faces 3 to 5 are drawn by a section: with no collision owner, it is what stands behind them.
  CMeshSection section(terrain.instance.get());
  terrain.instance->AddPart(&section, 3, 6, false);
  COctree octree;
  BuildTerrainCollisionPolygons(&octree, terrain.instance.get(), nullptr, 7, nullptr, true, true);
  const uint32_t faces = terrain.mesh->faceCount;
  ASSERT_EQ(terrain.instance->GetTerrainPolygonCount(), faces);
  EXPECT_EQ(octree.GetObjectCount(), faces);
  for (uint32_t i = 0; i < faces; ++i) {
    CTerrainPolygon& p = terrain.Polygon(i);
    EXPECT_EQ(p.GetOccluderTag(), static_cast<int32_t>(i));
    EXPECT_EQ(p.GetOwner(), i >= 3 && i < 6 ? &section : nullptr) << i;
    const CollisionInfo* info = p.GetCollisionInfo(nullptr);
    EXPECT_TRUE(info->kind == 1 && info->object == &p && info->surface == SurfaceType::Get(0));
    // Filed and built, a blocking candidate, opaque static ground that occludes, culls its back,
    // draws, takes light and shadows, casts shadows and blocks the static lighting's rays.
    EXPECT_EQ(p.GetBoundFlags(), 0x101E3747u) << i;
    const Tri& t = terrain.tris[i];
    EXPECT_NEAR(p.GetBounds().min.x, std::min({t.a.x, t.b.x, t.c.x}), 1e-4);
    EXPECT_NEAR(p.GetBounds().max.z, std::max({t.a.z, t.b.z, t.c.z}), 1e-4);
  }
  Box world;
  terrain.instance->GetWorldBounds(world);
  EXPECT_TRUE(octree.GetRootBox().ContainsBox(world));
  // The instance owns its polygons: deleting it leaves no pointer to them in the tree.
  terrain.instance.reset();
  EXPECT_EQ(octree.GetObjectCount(), 0u);
}

TEST(TerrainPolygonTest, SegmentsAndVerticalRaysAgreeWithScanOfMeshTriangles) {
  plat::srand(12);
  for (bool moved : {false, true}) {
    Terrain terrain(moved);
    COctree octree;
    BuildTerrainCollisionPolygons(&octree, terrain.instance.get(), nullptr, 7, nullptr, true, false);
    int hits = 0;
    for (int round = 0; round < 600; ++round) {
      // Every third segment is a vertical ray inside the grid, which must hit.
      const bool vertical = round % 3 == 0;
      const Vector3 from = terrain.Over(vertical ? 7.9f : 9.0f, terrain.height + Uniform(0.1f, 4.0f));
      const Vector3 to = vertical ? from - terrain.place.axes.m[2] * (terrain.side * 12.0f)
                                  : terrain.Over(9.0f, Uniform(-3.0f, 3.0f));
      const double want = terrain.NearestSegmentHit(from, to);
      RayInfo ray(from, to), treeRay(from, to);
      float walked = FLT_MAX;
      CBoundedObject* object = nullptr;
      const bool hit = terrain.NearestOverPolygons(ray, walked);
      ASSERT_EQ(hit, want >= 0.0) << "round " << round;
      ASSERT_EQ(octree.RayQuery(treeRay, &object, CBoundedObject::kStaticTerrain, true, 1.0f), hit);
      if (vertical) ASSERT_TRUE(hit) << "round " << round;
      if (!hit) continue;
      ++hits;
      EXPECT_NEAR(walked, want, 1e-4);
      EXPECT_NEAR(treeRay.result.time, want, 1e-4);
      EXPECT_LT(treeRay.normal.Dot(to - from), 0.0f);
    }
    EXPECT_GT(hits, 250);
  }
}

TEST(TerrainPolygonTest, SweptSpheresAgreeWithScanOfMeshTriangles) {
  plat::srand(13);
  Terrain terrain(true, 6);
  BuildTerrainCollisionPolygons(nullptr, terrain.instance.get(), nullptr, 7, nullptr, false, false);
  terrain_test::SweepTally tally;
  terrain.CompareSweptSpheres(150, 6.0f, 3.0f, 2.0f, 600, tally);
  EXPECT_GT(tally.compared, 120);
  EXPECT_GT(tally.hits, 60);
}

TEST(TerrainPolygonTest, DegenerateFacesAndStrayIndicesStayUnbound) {
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
  // Walkers may still meet the element in the array: it hits and draws nothing.
  CTerrainPolygon& dead = instance.GetTerrainPolygons()[2];
  RayInfo ray(Vector3(-5, -5, -5), Vector3(5, 5, 5));
  EXPECT_FALSE(dead.IsFiled() || dead.Intersect(&ray) || dead.GetOccluderTag() != -1);
  dead.Render(nullptr);
  CTerrainPolygon stray;
  CTerrainEdge edge;
  EXPECT_FALSE(stray.Setup(&instance, mesh->faceCount, nullptr) || stray.IsBound());
  const CollisionInfo* info = stray.GetCollisionInfo(nullptr);
  EXPECT_TRUE(info->kind == 1 && info->object == &stray && info->surface == SurfaceType::Get(0) && !info->owner);
  EXPECT_FALSE(edge.Setup(&instance, 0, mesh->vertexCount, 0, nullptr) ||
               edge.Setup(&instance, mesh->vertexCount, 0, 0, nullptr));
}

TEST(TerrainPolygonTest, TextureFlagsChooseSidesCollisionSurfaceAndAlphaPass) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(3, 2.0f));
  const float up = mesh->faceNormals[0].z >= 0.0f ? 1.0f : -1.0f;
  CTexture texture;
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), false, false, false, 0, 10, nullptr, true, nullptr);
  instance.SetTexture(0, &texture);
  auto rebuild = [&](uint32_t flags) {
    texture.flags = flags;
    BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, nullptr, false, true);
    return &instance.GetTerrainPolygons()[0];
  };
  Vector3 c;
  for (int k = 0; k < 3; ++k) c = c + mesh->positions[mesh->indices[k]] * (1.0f / 3.0f);
  RayInfo fromFront(c + Vector3(0, 0, up), c - Vector3(0, 0, up)), fromBack(fromFront.end, fromFront.start);
  CTerrainPolygon* p = rebuild(0x03000000);
  EXPECT_EQ(p->GetSurface(), SurfaceType::Get(3));
  EXPECT_TRUE(p->Intersect(&fromFront));
  EXPECT_FALSE(p->Intersect(&fromBack));
  for (uint32_t flags : {0x4u, 0x8u, 0x800u}) {  // translucent group or two-sided texture
    EXPECT_TRUE(rebuild(flags)->Intersect(&fromBack)) << flags;
    EXPECT_NEAR(fromBack.normal.z, -up, 1e-5f);
  }
  EXPECT_EQ(rebuild(25u << 24)->GetSurface(), SurfaceType::Get(0));
  EXPECT_EQ(rebuild(0x1000)->GetBoundFlags() & (0x4u | 0x120000u), 0u);
  EXPECT_EQ(rebuild(0x4000)->GetBoundFlags() & 0x8000000u, 0x8000000u);
  // Alpha-tested queries pass through faint texels unless the texture is exempt.
  for (uint32_t k = 0; k < 3; ++k) instance.SetFaceColour(0, k, Color::FromWord(0x30FFFFFFu));
  p = rebuild(0);
  fromFront.mode = 0x81;
  EXPECT_FALSE(p->Intersect(&fromFront));
  p = rebuild(0x2000);
  EXPECT_FALSE(p->Intersect(&fromFront));
  fromFront.mode = 0x181;
  EXPECT_TRUE(p->Intersect(&fromFront));

  // On a checker of clear and opaque texels a ray stops exactly where the texel under its hit is
  // opaque, that texel found from the hit's corner weights over the face's texture coordinates.
  plat::srand(14);
  uint32_t checker[16];
  for (uint32_t i = 0; i < 16; ++i) checker[i] = (i % 4 + i / 4) % 2 ? 0xFF808080u : 0x00808080u;
  ASSERT_TRUE(texture.CreateFromPixels(checker, 4, 4, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, "checker"));
  rebuild(texture.flags);
  int rays = 0, stopped = 0;
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    for (uint32_t k = 0; k < 3; ++k) instance.SetFaceColour(f, k, Color::FromWord(0xFFFFFFFFu));
    for (int round = 0; round < 60; ++round) {
      const float a = Uniform(0.01f, 0.98f), b = Uniform(0.01f, 0.99f - a);
      const float w[3] = {1.0f - a - b, a, b};  // corner weights of the hit
      Vector3 at;
      Vector2 uv;
      for (uint32_t k = 0; k < 3; ++k) {
        at = at + mesh->positions[mesh->indices[3 * f + k]] * w[k];
        uv = uv + mesh->uvs[mesh->faceRecords[f].corners[k].uv] * w[k];
      }
      const float tx = uv.x * 4, ty = uv.y * 4;
      if (std::fabs(tx - std::round(tx)) < 0.02f || std::fabs(ty - std::round(ty)) < 0.02f) continue;
      const bool opaque = (checker[static_cast<int>(ty) * 4 + static_cast<int>(tx)] >> 24) != 0;
      RayInfo ray(at + Vector3(0, 0, 1), at - Vector3(0, 0, 1));
      ray.mode = 0x81;
      const bool hit = instance.GetTerrainPolygons()[f].Intersect(&ray);
      EXPECT_EQ(hit, opaque) << "face " << f << " at " << uv.x << ", " << uv.y;
      ++rays;
      stopped += hit;
    }
  }
  EXPECT_GT(rays, 300);
  EXPECT_TRUE(stopped > rays / 4 && stopped < rays * 3 / 4) << stopped << " of " << rays;
}

TEST(TerrainPolygonTest, OwnerHearsContactsOnlyWhileAskingAndPartialDrawTakesEachFaceOnce) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(3, 1.0f));
  AddSharingTable(*mesh);
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  CountingOwner owner;
  // The mark flag alone decides whether the polygons block shadow rays; an owner that casts
  // shadows only keeps them out of the static lighting's rays (no 0x10000000).
  owner.AddBoundFlags(CBoundedObject::kCastsShadows);
  BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, &owner, false, false);
  EXPECT_EQ(instance.GetTerrainPolygons()[0].GetBoundFlags() & (0x400u | 0x10000000u), 0u);
  BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, &owner, false, true);
  CTerrainPolygon& p = instance.GetTerrainPolygons()[0];
  EXPECT_EQ(p.GetBoundFlags() & (0x400u | 0x10000000u), 0x400u);
  EXPECT_FALSE(p.OwnsMeshInstance());
  owner.ClearBoundFlags(CBoundedObject::kColliderObject);
  EXPECT_FALSE(p.HandleCollision(p.GetCollisionInfo(nullptr), nullptr));
  owner.AddBoundFlags(CBoundedObject::kColliderObject);
  EXPECT_TRUE(p.HandleCollision(p.GetCollisionInfo(nullptr), nullptr));
  EXPECT_EQ(owner.calls, 1);

  physics_test::DebugCapture log;
  for (uint32_t f = 0; f < mesh->faceCount; ++f) instance.GetTerrainPolygons()[f].Render(nullptr);
  uint32_t listed = 0;
  for (uint32_t g = 0; g < instance.GetPartialDrawGroupCount(); ++g) listed += instance.GetPartialDrawCount(g);
  EXPECT_EQ(listed, mesh->faceCount);
  EXPECT_TRUE(log.Text().empty());
  p.Render(nullptr);
  EXPECT_NE(log.Text().find("Error - Adding active face twice in partial render!\n"), std::string::npos);
}

TEST(TerrainPolygonTest, DrawnPrimitivesStampTheirLinkEntriesWithTheFrame) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  AddSharingTable(*mesh);
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, nullptr, false, true);
  ASSERT_GE(instance.GetTerrainPolygonCount(), 1u);
  ASSERT_EQ(instance.GetTerrainPatchCount(), 1u);
  CTerrainPolygon& polygon = instance.GetTerrainPolygons()[0];
  CTerrainPatch& patch = instance.GetTerrainPatches()[0];
  CTerrainEdge edge;
  CTerrainPoint point;
  ASSERT_TRUE(edge.Setup(&instance, 0, 1, 0, nullptr));
  ASSERT_TRUE(point.Setup(&instance, 2, 0, nullptr));
  CCollisionObject plain;
  BoundedObjectLink onPolygon, onPatch, onEdge, onPoint, onPlain;
  polygon.AddLink(&onPolygon);
  patch.AddLink(&onPatch);
  edge.AddLink(&onEdge);
  point.AddLink(&onPoint);
  plain.AddLink(&onPlain);

  CRenderView view;
  const int32_t frame = static_cast<int32_t>(view.GetFrameNumber());
  physics_test::DebugCapture log;
  for (CBoundedObject* drawn : std::initializer_list<CBoundedObject*>{&polygon, &patch, &edge, &point, &plain})
    drawn->Render(&view);
  for (const BoundedObjectLink* link : {&onPolygon, &onEdge, &onPoint, &onPlain}) EXPECT_EQ(frame, link->index);
  EXPECT_EQ(-1, onPatch.index) << "patches are drawn by their section, which stamps its own entries";
  const uint32_t group = mesh->sharingTable->GetGroupOfFace(0);
  EXPECT_EQ(1u, instance.GetPartialDrawCount(group));

  // A full list takes no more faces, but the face was still met by this frame.
  while (instance.GetPartialDrawCount(group) < mesh->sharingTable->GetGroupSize(group)) polygon.Render(&view);
  onPolygon.index = -5;
  polygon.Render(&view);
  EXPECT_NE(log.Text().find("Error - Adding active face twice in partial render!\n"), std::string::npos);
  EXPECT_EQ(frame, onPolygon.index);
}

// The demo bump with its patch face showing the three given texture indices.
std::unique_ptr<ShadedMesh> BumpWithFaceTextures(uint16_t a, uint16_t b, uint16_t c) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  const CurvedPatch& old = *mesh->patches;
  auto patch = std::make_unique<CurvedPatch>();
  for (uint32_t i = 0; i < old.GetControlVertexCount(); ++i) patch->AddControlVertex(old.GetVertex(i));
  CurvedPatchFace face;
  face.textures[0] = a;
  face.textures[1] = b;
  face.textures[2] = c;
  EXPECT_EQ(0, patch->AddFace(face));
  EXPECT_TRUE(patch->AddPatch(old.GetPatch(0)));
  mesh->SetCurvedPatches(std::move(patch));
  return mesh;
}

TEST(TerrainPolygonTest, APatchIsTranslucentWhenAnyOfItsFaceTexturesIs) {
  CTexture opaque, glass, tinted;
  glass.flags = 0x4;
  tinted.flags = 0x8 | (3u << 24);
  struct Case {
    uint16_t textures[3];
    bool translucent;
  };
  // Table: 0 the mesh's own (null) texture, 1 opaque, 2 glass, 3 tinted; 7 is past the table.
  const Case cases[] = {{{1, 1, 1}, false}, {{1, 1, 2}, true}, {{1, 3, 1}, true},
                        {{2, 1, 1}, true},  {{1, 7, 0}, false}, {{7, 7, 7}, false}};
  for (const Case& c : cases) {
    std::unique_ptr<ShadedMesh> mesh = BumpWithFaceTextures(c.textures[0], c.textures[1], c.textures[2]);
    for (CTexture* t : {&opaque, &glass, &tinted}) {
      mesh->textures.push_back(t);
      mesh->textureNames.push_back("t.texture");
    }
    CMeshInstance instance;
    instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
    const CurvedPatchInstance* state = instance.GetPatchState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(c.translucent, state->IsFaceTranslucent(0)) << c.textures[0] << c.textures[1] << c.textures[2];
    EXPECT_FALSE(state->IsFaceTranslucent(1)) << "no such face";
    BuildTerrainCollisionPolygons(nullptr, &instance, nullptr, 7, nullptr, false, true);
    ASSERT_EQ(instance.GetTerrainPatchCount(), 1u);
    const uint32_t flags = instance.GetTerrainPatches()[0].GetBoundFlags();
    // Opaque patches cull back faces, occlude and receive projected shadows; translucent ones none.
    EXPECT_EQ(c.translucent ? 0u : 0x41100u, flags & 0x41100u) << std::hex << flags;
    // The surface still comes from the first texture alone.
    EXPECT_EQ(SurfaceType::Get(0), instance.GetTerrainPatches()[0].GetSurface());
  }
}

TEST(TerrainPolygonTest, PatchesAreFiledMarkedAndAnsweredByTheirBulge) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  CMeshInstance instance;
  instance.SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr);
  COctree octree;
  BuildTerrainCollisionPolygons(&octree, &instance, nullptr, 7, nullptr, true, true);
  ASSERT_EQ(instance.GetTerrainPatchCount(), 1u);
  CTerrainPatch& patch = instance.GetTerrainPatches()[0];
  EXPECT_TRUE(patch.IsFiled() && (patch.GetBoundFlags() & 0x20000000u));
  // Through the middle of the bulge (height 0.5625 by the bicubic weights): the patch is
  // one-sided, so exactly one direction meets it.
  RayInfo down(Vector3(1.5f, 1.5f, 3.0f), Vector3(1.5f, 1.5f, -1.0f)), up(down.end, down.start);
  RayInfo beside(Vector3(5, 5, 3), Vector3(5, 5, -1));
  const bool fromAbove = patch.Intersect(&down), fromBelow = patch.Intersect(&up);
  ASSERT_NE(fromAbove, fromBelow);
  EXPECT_NEAR((fromAbove ? down : up).result.point.z, 0.5625f, 0.03f);
  EXPECT_FALSE(patch.Intersect(&beside));
}
