// Shaded mesh data: kinds and name parameters, frames, attach points, child meshes, texture
// slots, normals against a brute-force reference, bounds and coverage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/math/MathUtil.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatch.h"
#include "tests/scene/MeshTestSupport.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;
using testing_support::TempFolder;

TEST(MeshDataTest, KindsAndNameParametersComeFromTheName) {
  DebugCapture log;
  ShadedMesh lod, internal, both, plain;
  ASSERT_TRUE(lod.Create("tree_LOD,pixels=40", 0, 0, 0, 0, 0, 1));
  ASSERT_TRUE(internal.Create("crate_INTERNAL", 0, 0, 0, 0, 0, 1));
  ASSERT_TRUE(both.Create("x_INTERNAL_LOD", 0, 0, 0, 0, 0, 1));
  ASSERT_TRUE(plain.Create("crate", 3, 1, 2, 2, 1, 2));
  EXPECT_EQ(ShadedMesh::kKindLod, lod.GetKind());
  EXPECT_EQ(40.0f, lod.ReadNamedValue("pixels"));
  EXPECT_EQ(ShadedMesh::kKindInternal, internal.GetKind());
  EXPECT_EQ(ShadedMesh::kKindLod, both.GetKind());
  EXPECT_EQ(ShadedMesh::kKindOrdinary, plain.GetKind());
  EXPECT_FALSE(plain.Create("huge", 70000, 1, 0, 0, 0, 1));
  ShadedMesh longName;
  longName.SetName("a_name_that_is_far_longer_than_thirty_one_characters");
  EXPECT_EQ(31u, longName.GetName().size());
}

TEST(MeshDataTest, AttachPointsAreFoundByTypeNameAndKey) {
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(5, 1.0f));
  EXPECT_EQ(-1, ground->FindAttachPoint(777));
  EXPECT_EQ(2, ground->FindNamedAttachPointIndex("CORNER1"));
  EXPECT_EQ(nullptr, ground->FindNamedAttachPoint("corner"));
  uint32_t key[4];
  ShadedMesh empty;
  empty.GetMeshKey(key);
  EXPECT_EQ(0u, key[0] | key[1] | key[2] | key[3]);

  // A name that fills its data without a terminator is compared within its length only.
  ShadedMesh mesh;
  mesh.AddAttachPoint(COrientation(), kAttachNamedPoint, 7, "EXHAUST", false);
  EXPECT_EQ(0, mesh.FindNamedAttachPointIndex("exhaust"));
  // Animated points carry one transform per frame.
  COrientation at;
  at.position = Vector3(1, 2, 3);
  const int animated = mesh.AddAttachPoint(at, 5, 0, nullptr, true);
  ASSERT_EQ(mesh.frameCount, mesh.animatedAttach[animated].size());
  EXPECT_EQ(3.0f, mesh.animatedAttach[animated][0].position.z);
  EXPECT_EQ(nullptr, mesh.attachPoints[animated].GetData());
  AttachPoint copy = mesh.attachPoints[animated];
  copy = mesh.attachPoints[0];  // over another type, place and data: takes all three, the bytes as its own
  EXPECT_EQ(kAttachNamedPoint, copy.type);
  EXPECT_EQ(Vector3(), copy.transform.position);
  EXPECT_EQ("EXHAUST", std::string(reinterpret_cast<const char*>(copy.GetData()), copy.GetLength()));
  EXPECT_FALSE(copy.IsDataExternal());
}

TEST(MeshDataTest, ChildMeshesAreCheckedAndNeverWriteIntoForeignData) {
  DebugCapture log;
  ShadedMesh root;
  ASSERT_TRUE(root.Create("root", 0, 0, 1, 1, 0, 1));
  const uint8_t external[4] = {1, 2, 3, 4};
  root.AddAttachPoint(COrientation(), kAttachNamedPoint, 0, nullptr, false);
  root.attachPoints[0].SetExternalData(external, sizeof(external));
  auto lod = std::make_unique<ShadedMesh>();
  ASSERT_TRUE(lod->Create("rail_LOD,pixels=12.5", 0, 0, 0, 0, 0, 1));
  auto grandchild = std::make_unique<ShadedMesh>();
  ASSERT_TRUE(grandchild->Create("bolt", 0, 0, 0, 0, 0, 1));
  const ShadedMesh* bolt = grandchild.get();
  const ShadedMesh* rail = lod.get();
  lod->AddAttachPoint(COrientation(), 1, 0, nullptr, false);
  ASSERT_TRUE(lod->AddChildMesh(std::move(grandchild), 0));
  EXPECT_EQ(nullptr, grandchild.get());

  // A refused child stays with the caller.
  EXPECT_FALSE(root.AddChildMesh(std::move(lod), 1));  // no such attach point
  ASSERT_EQ(rail, lod.get());
  EXPECT_FALSE(root.AddChildMesh(std::unique_ptr<ShadedMesh>(), 0));
  ASSERT_TRUE(root.AddChildMesh(std::move(lod), 0));
  EXPECT_EQ(nullptr, lod.get());
  // A mesh that already hangs under another is refused.
  auto placed = std::make_unique<ShadedMesh>();
  placed->parent = &root;
  EXPECT_FALSE(root.AddChildMesh(std::move(placed), 0));
  ASSERT_NE(nullptr, placed.get());
  placed->parent = nullptr;
  ASSERT_EQ(1u, root.children.size());
  EXPECT_EQ(rail, root.children[0].get());
  EXPECT_EQ(&root, bolt->textureOwner);
  // The switch size replaced the point's data with a copy; the foreign bytes are untouched.
  EXPECT_FALSE(root.attachPoints[0].IsDataExternal());
  ASSERT_EQ(4u, root.attachPoints[0].GetLength());
  float pixels;
  std::memcpy(&pixels, root.attachPoints[0].GetData(), 4);
  EXPECT_EQ(12.5f, pixels);
  EXPECT_EQ(4, external[3]);
}

namespace {

// Reference normal of corner k: sum of the angle-weighted normals of every face at the
// corner's vertex reachable without crossing an edge sharper than the smoothing angle,
// found by a flood fill over faces that share the vertex and an edge.
Vector3 ReferenceCornerNormal(const ShadedMesh& m, uint32_t face, uint32_t corner, float smoothing) {
  const uint32_t v = m.indices[3 * face + corner];
  auto normalOf = [&](uint32_t f) {
    const uint16_t* t = m.indices + 3 * f;
    return TriMesh::FaceNormal(m.allPositions[t[0]], m.allPositions[t[1]], m.allPositions[t[2]]);
  };
  auto angleAt = [&](uint32_t f) {
    const uint16_t* t = m.indices + 3 * f;
    uint32_t k = 0;
    while (t[k] != v) ++k;
    return AngleBetween(m.allPositions[t[(k + 1) % 3]] - m.allPositions[t[k]],
                        m.allPositions[t[(k + 2) % 3]] - m.allPositions[t[k]]);
  };
  auto sharesEdgeAtV = [&](uint32_t a, uint32_t b) {
    int shared = 0;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) shared += m.indices[3 * a + i] == m.indices[3 * b + j];
    return shared >= 2;
  };
  std::vector<uint32_t> fan{face};
  for (size_t i = 0; i < fan.size(); ++i) {
    for (uint32_t g = 0; g < m.faceCount; ++g) {
      const uint16_t* t = m.indices + 3 * g;
      if ((t[0] != v && t[1] != v && t[2] != v) || std::find(fan.begin(), fan.end(), g) != fan.end()) continue;
      if (sharesEdgeAtV(fan[i], g) && AngleBetween(normalOf(fan[i]), normalOf(g)) < smoothing) fan.push_back(g);
    }
  }
  Vector3 sum;
  for (uint32_t f : fan) sum += normalOf(f) * angleAt(f);
  sum.Normalize();
  return sum;
}

}  // namespace

TEST(MeshDataTest, RebuiltNormalsMatchAFloodFillReference) {
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(6, 1.0f));
  std::unique_ptr<ShadedMesh> ramp(DemoContent::BuildRamp(4, 2, 1));
  // A bumpy grid: smooth and sharp edges mixed.
  plat::srand(11);
  for (uint32_t v = 0; v < ground->vertexCount; ++v) ground->allPositions[v].z = (plat::rand() % 5) * 0.4f;
  ground->ComputeAllFaceNormals();  // the stored ones belong to the flat grid
  for (ShadedMesh* mesh : {ground.get(), ramp.get()}) {
    for (float smoothing : {1.0471976f, 0.3f, 3.1415927f}) {
      ASSERT_TRUE(mesh->ComputeNormalsAndBounds(smoothing));
      // Every corner belongs to exactly one normal record, and its record lists it.
      std::vector<int> seen(3 * mesh->faceCount, 0);
      for (uint32_t i = 0; i < mesh->normalCount; ++i) {
        const MeshNormalRecord& r = mesh->normalRecords[i];
        for (uint32_t j = r.first; j < r.end; ++j) {
          const uint32_t c = mesh->cornerList[j];
          ++seen[c];
          EXPECT_EQ(i, mesh->faceRecords[c / 3].corners[c % 3].normal);
          EXPECT_EQ(r.vertex, mesh->indices[c]);
        }
      }
      EXPECT_EQ(std::vector<int>(3 * mesh->faceCount, 1), seen);
      for (uint32_t f = 0; f < mesh->faceCount; ++f) {
        for (uint32_t k = 0; k < 3; ++k) {
          const Vector3 expected = ReferenceCornerNormal(*mesh, f, k, smoothing);
          const Vector3 got = NormalTable::Decode(mesh->compressedNormals[mesh->faceRecords[f].corners[k].normal]);
          EXPECT_LT(AngleBetween(expected, got), 0.05f) << "face " << f << " corner " << k;
        }
      }
    }
  }
}

TEST(MeshDataTest, BoundsCoverEveryFrameUnlessAFixedBoxIsGiven) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildAnimatedBox());
  mesh->SetFrame(2);  // past the last frame: ignored
  EXPECT_EQ(mesh->allPositions, mesh->positions);
  mesh->SetFrame(1);
  EXPECT_EQ(mesh->allVertexNormals + mesh->vertexCount, mesh->vertexNormals);
  mesh->ComputeBounds();
  EXPECT_EQ(2.0f, mesh->bounds.max.z);  // frame 1 is lifted by 1
  EXPECT_EQ(0.0f, mesh->bounds.min.z);
  float farthest = 0;
  for (uint32_t i = 0; i < mesh->vertexCount * 2; ++i) farthest = std::max(farthest, mesh->allPositions[i].Length());
  const float fixed[6] = {-9, -9, -9, 9, 9, 9};
  mesh->AddAttachPoint(COrientation(), kAttachFixedBounds, sizeof(fixed), fixed, false);
  mesh->ComputeBounds();
  EXPECT_EQ(9.0f, mesh->bounds.max.x);
  EXPECT_FLOAT_EQ(farthest, mesh->radius);
  ShadedMesh empty;
  empty.ComputeBounds();
  EXPECT_EQ(0.0f, empty.radius);
}

TEST(MeshDataTest, CurvedPatchesAddTheirControlNetToTheCoverage) {
  DebugCapture quiet;
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  ASSERT_TRUE(mesh->patches);
  // Without its patches: the faces' share alone.
  std::unique_ptr<CurvedPatch> patches = std::move(mesh->patches);
  mesh->ResolveTextures();
  ASSERT_EQ(1u, mesh->coverage.size());
  const float faces = mesh->coverage[0];
  mesh->patches = std::move(patches);
  mesh->ResolveTextures();
  // The bump's control net: 1 world unit per 1/3 texture unit on the flat rim (ratio 3), and
  // sqrt(2) per 1/3 on the edges climbing to the raised inner points (ratio 3 sqrt 2).
  const float net = 3.0f * std::sqrt(2.0f);
  EXPECT_FLOAT_EQ(std::max(faces, net), mesh->coverage[0]);
  EXPECT_LT(faces, net) << "the patch, not the faces, sets the value here";
  // The control net counts in the centroid as the vertices do.
  Vector3 sum;
  for (uint32_t v = 0; v < mesh->vertexCount; ++v) sum += mesh->allPositions[v];
  for (uint32_t i = 0; i < mesh->patches->GetControlVertexCount(); ++i) sum += mesh->patches->GetVertex(i).position;
  mesh->ComputeBounds();
  EXPECT_LT((mesh->centroid - sum * (1.0f / (mesh->vertexCount + mesh->patches->GetControlVertexCount()))).Length(), 1e-5f);
}

TEST(MeshDataTest, TheAttachedObjectLivesAsLongAsTheMesh) {
  struct Counted : MeshAttachedObject {
    explicit Counted(int* count) : deleted(count) {}
    ~Counted() override { ++*deleted; }
    int* deleted;
  };
  int deleted = 0;
  {
    ShadedMesh mesh;
    mesh.attachedObject = std::make_unique<Counted>(&deleted);
    mesh.Release();
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(nullptr, mesh.attachedObject);
    mesh.attachedObject = std::make_unique<Counted>(&deleted);
  }
  EXPECT_EQ(2, deleted) << "the mesh's destructor deletes it too";

  // A released mesh is a new mesh again, field for field.
  DebugCapture quiet;
  std::unique_ptr<ShadedMesh> spinner(DemoContent::BuildAnimatedBox());
  spinner->ResolveTextures();
  spinner->currentFrame = 1;
  spinner->Release();
  const ShadedMesh fresh;
  const ShadedMesh& g = *spinner;
  EXPECT_TRUE(g.faceCount == 0 && g.vertexCount == 0 && g.uvCount == 0 && g.normalCount == 0 && g.slotCount == 0 &&
              g.header == 0 && g.name[0] == '\0' && g.frameCount == 1 && g.currentFrame == 0 && g.flags == 0 &&
              !g.texturesLoaded && g.radius == 0.0f && g.centroidRadius == 0.0f && g.centroid == fresh.centroid);
  EXPECT_TRUE(g.bounds.min == fresh.bounds.min && g.bounds.max == fresh.bounds.max);
  EXPECT_TRUE(g.path.empty() && g.attachPoints.empty() && g.children.empty() && g.coverage.empty() && g.textures.empty());
  EXPECT_TRUE(g.animation == nullptr && g.skin == nullptr && g.patches == nullptr && g.sharingTable == nullptr);
}

TEST(MeshDataTest, CoverageIsTheLargestWorldPerTextureRatioOfTheFamily) {
  DebugCapture log;
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(5, 2.0f));
  ground->ResolveTextures();
  // Cells of 2 world units over 1/4 texture units; the diagonals give the same ratio.
  ASSERT_EQ(1u, ground->coverage.size());
  EXPECT_FLOAT_EQ(8.0f, ground->coverage[0]);
  // A face whose UV edge has zero length adds nothing; a family with no textured face warns.
  ShadedMesh flat;
  ASSERT_TRUE(flat.Create("flat", 3, 1, 1, 1, 1, 1));
  flat.allPositions[1] = Vector3(1, 0, 0);
  flat.faceRecords[0].textureSlot = 0;
  for (MeshCorner& c : flat.faceRecords[0].corners) c.uv = 0;
  flat.ResolveTextures();
  EXPECT_EQ(0.0f, flat.coverage[0]);
  EXPECT_NE(std::string::npos, log.Text().find("Warning: Texture Coverage Suspicious Value (#0 = 0.000000)\n"));
}
