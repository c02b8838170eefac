// World mesh sections: every drawable face in exactly one section, limits, bounds, octree lookup, drawing paths.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "core/spatial/Octree.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "scene/patch/CurvedPatch.h"
#include "tests/scene/MeshTestSupport.h"
#include "tests/support/RecordingRasterizer.h"
#include "tools/DemoContent.h"

namespace {

using Sections = std::vector<std::unique_ptr<CMeshSection>>;

Sections BuildSections(CMeshInstance& instance, uint32_t limit) {
  Sections out;
  CMeshSection::Build(&instance, out, limit);
  return out;
}

// Random triangles in a 100-unit box over four texture slots; slot 2 is kept out of sections
// by flag 0x400 and slot 3 by flag 0x800000.
struct RandomLevel {
  std::unique_ptr<ShadedMesh> mesh = std::make_unique<ShadedMesh>();
  CTexture textures[4];
  RandomLevel(uint32_t faces, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> at(0.0f, 100.0f), near(-2.0f, 2.0f);
    const uint32_t vertices = 3 * faces;
    EXPECT_TRUE(mesh->Create("Level", vertices, faces, 4, 4, 0, 1));
    textures[2].flags = 0x400 | 0x4;
    textures[3].flags = 0x800000;
    for (uint32_t i = 0; i < 4; ++i) mesh->SetTextureName(i, &textures[i], "t.texture");
    mesh->ResetSlots();
    for (uint32_t f = 0; f < faces; ++f) {
      const Vector3 base(at(rng), at(rng), at(rng) * 0.2f);
      for (int k = 0; k < 3; ++k) {
        mesh->positions[3 * f + k] = base + Vector3(near(rng), near(rng), near(rng));
        mesh->indices[3 * f + k] = static_cast<uint16_t>(3 * f + k);
      }
      mesh->faceRecords[f].textureSlot = rng() % 4;
    }
  }
  bool Excluded(uint32_t f) const { return mesh->faceRecords[f].textureSlot >= 2; }
};

// Independent world transform: rows 0-2 are the axes and row 3 the translation (row vectors).
Eigen::Vector3d ToWorld(const Matrix4& m, const Vector3& p) {
  Eigen::Matrix4d a;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) a(i, j) = m.m[i][j];
  const Eigen::RowVector4d r = Eigen::RowVector4d(p.x, p.y, p.z, 1.0) * a;
  return r.head<3>().transpose();
}

bool BoxHolds(const Box& box, const Eigen::Vector3d& p, double slack) {
  return p.x() >= box.min.x - slack && p.x() <= box.max.x + slack && p.y() >= box.min.y - slack &&
         p.y() <= box.max.y + slack && p.z() >= box.min.z - slack && p.z() <= box.max.z + slack;
}

Matrix4 TurnedAndMoved() {
  Matrix4 m;
  const float c = std::cos(0.7f), s = std::sin(0.7f);
  m.m[0][0] = c, m.m[0][1] = s;
  m.m[1][0] = -s, m.m[1][1] = c;
  m.m[3][0] = 40.0f, m.m[3][1] = -25.0f, m.m[3][2] = 8.0f;
  return m;
}

// Checks every invariant of a cut against a brute-force walk of the mesh.
void ExpectSoundCut(const Sections& sections, const ShadedMesh& mesh, const Matrix4& world, uint32_t limit,
                    const std::vector<bool>& excluded) {
  std::vector<int> seen(mesh.faceCount, 0);
  for (const auto& section : sections) {
    if (section->GetPatchIndex() >= 0) continue;
    EXPECT_LE(section->GetFaceCount(), limit);
    EXPECT_EQ(section->GetBoundFlags(), CBoundedObject::kRenderable);
    uint32_t counted = 0;
    for (size_t g = 0; g < section->GetGroups().size(); ++g) {
      const MeshFaceGroup& group = section->GetGroups()[g];
      for (size_t h = 0; h < g; ++h) EXPECT_NE(section->GetGroups()[h].key, group.key) << "one group per key";
      for (uint32_t face : group.faces) {
        ASSERT_LT(face, mesh.faceCount);
        ++seen[face];
        ++counted;
        EXPECT_EQ(group.key, mesh.faceRecords[face].textureSlot);
        for (int k = 0; k < 3; ++k) {
          const Eigen::Vector3d p = ToWorld(world, mesh.positions[mesh.indices[3 * face + k]]);
          EXPECT_TRUE(BoxHolds(group.bounds, p, 1e-3)) << "group box misses face " << face;
          EXPECT_TRUE(BoxHolds(section->GetBounds(), p, 1e-3)) << "section box misses face " << face;
        }
      }
    }
    EXPECT_EQ(counted, section->GetFaceCount());
  }
  for (uint32_t f = 0; f < mesh.faceCount; ++f) EXPECT_EQ(seen[f], excluded[f] ? 0 : 1) << "face " << f;
}

}  // namespace

TEST(MeshSection, RandomLevelsCutIntoBoundedSectionsFoundByTheOctree) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    RandomLevel level(900 + 300 * seed, seed);
    const Matrix4 world = TurnedAndMoved();
    CMeshInstance instance;
    ASSERT_TRUE(instance.SetMesh(level.mesh.get(), false, false, true, 0, 0, &world, true, nullptr));
    const uint32_t limit = 40 + 30 * seed;
    Sections sections = BuildSections(instance, limit);
    std::vector<bool> excluded(level.mesh->faceCount);
    for (uint32_t f = 0; f < excluded.size(); ++f) excluded[f] = level.Excluded(f);
    ExpectSoundCut(sections, *level.mesh, world, limit, excluded);

    // Filed at depth 5, every face's section answers a box query around that face.
    COctree tree(Box(Vector3(-200, -200, -200), Vector3(200, 200, 200)));
    for (const auto& s : sections) tree.InsertObjectAtDepth(s.get(), 5);
    for (const auto& s : sections) {
      for (const MeshFaceGroup& group : s->GetGroups()) {
        for (uint32_t face : group.faces) {
          if (face % 7 != 0) continue;
          const Vector3 c = level.mesh->positions[level.mesh->indices[3 * face]];
          const Eigen::Vector3d w = ToWorld(world, c);
          Box probe(Vector3(float(w.x()) - 0.01f, float(w.y()) - 0.01f, float(w.z()) - 0.01f),
                    Vector3(float(w.x()) + 0.01f, float(w.y()) + 0.01f, float(w.z()) + 0.01f));
          COctree::ObjectList found;
          tree.QueryBox(probe, &found, CBoundedObject::kRenderable);
          EXPECT_NE(std::find(found.begin(), found.end(), s.get()), found.end()) << "face " << face;
        }
      }
    }
  }
}

TEST(MeshSection, SmallLevelsStayWholeAndExcludedTexturesLeaveEmptySection) {
  RandomLevel level(300, 9);
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(level.mesh.get(), false, false, true, 0, 0, nullptr, true, nullptr));
  Sections whole = BuildSections(instance, 300);
  ASSERT_EQ(whole.size(), 1u);
  CMeshSection single(&instance);  // faces added by hand: one of the mesh, then one past its end
  EXPECT_TRUE(single.AddFace(0));
  EXPECT_FALSE(single.AddFace(level.mesh->faceCount));
  EXPECT_TRUE(single.GetFaceCount() == 1 && single.GetGroups().size() == 1);

  for (uint32_t f = 0; f < level.mesh->faceCount; ++f) level.mesh->faceRecords[f].textureSlot = 2;
  Sections none = BuildSections(instance, 10);
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0]->GetFaceCount(), 0u);
  EXPECT_TRUE(none[0]->GetGroups().empty());
}

TEST(MeshSection, FacesThatCannotBeToldApartStillSplitAndStop) {
  // Forty copies of one triangle: every centroid lies on every split plane. A limit of 0 is
  // taken as 1 rather than splitting forever.
  for (uint32_t limit : {7u, 0u}) {
    ShadedMesh mesh;
    ASSERT_TRUE(mesh.Create("Stack", 3, 40, 1, 1, 0, 1));
    mesh.positions[0] = Vector3(0, 0, 0), mesh.positions[1] = Vector3(1, 0, 0), mesh.positions[2] = Vector3(0, 1, 0);
    for (uint32_t f = 0; f < 40; ++f)
      for (int k = 0; k < 3; ++k) mesh.indices[3 * f + k] = static_cast<uint16_t>(k);
    CMeshInstance instance;
    ASSERT_TRUE(instance.SetMesh(&mesh, false, false, true, 0, 0, nullptr, true, nullptr));
    Sections sections = BuildSections(instance, limit);
    ExpectSoundCut(sections, mesh, Matrix4(), limit ? limit : 1, std::vector<bool>(40, false));
  }
}

TEST(MeshSection, LevelsBeyondSixteenBitFaceIndicesKeepEveryFace) {
  // 184 x 184 vertices placed off the origin make 66,978 faces: indices above 65,535 must survive the cut.
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildGroundGrid(184, 1.0f));
  ASSERT_TRUE(mesh);
  ASSERT_GT(mesh->faceCount, 65535u);
  CMeshInstance instance;
  Matrix4 world;
  world.Translate(Vector3(30.0f, -20.0f, 40.0f));
  ASSERT_TRUE(instance.SetMesh(mesh.get(), false, false, true, 0, 0, &world, true, nullptr));
  Sections sections = BuildSections(instance, CMeshSection::kWorldFaceLimit);
  EXPECT_EQ(sections.size(), 64u);  // every cut halves a grid at its mean: six rounds bring 66,978 under 1,500
  ExpectSoundCut(sections, *mesh, world, CMeshSection::kWorldFaceLimit, std::vector<bool>(mesh->faceCount, false));
}

// After the face sections comes one section per curved patch, in patch order, boxed where the
// instance puts the patch: its corner control points lie on the surface, so the box holds them.
TEST(MeshSection, EveryCurvedPatchGetsASectionBoxedWhereItStands) {
  std::unique_ptr<ShadedMesh> mesh(DemoContent::BuildPatchMesh());
  ASSERT_TRUE(mesh && mesh->patches);
  const CurvedPatch& patches = *mesh->patches;
  ASSERT_GE(patches.GetPatchCount(), 1u);
  const Matrix4 world = TurnedAndMoved();
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(mesh.get(), false, false, true, 0, 0, &world, true, nullptr));
  const Sections sections = BuildSections(instance, CMeshSection::kWorldFaceLimit);
  std::vector<int32_t> order;
  for (const auto& section : sections) {
    if (section->GetPatchIndex() < 0) {
      EXPECT_TRUE(order.empty()) << "a face section after the patches";
      continue;
    }
    order.push_back(section->GetPatchIndex());
    const CurvedPatchRecord& record = patches.GetPatch(static_cast<uint32_t>(section->GetPatchIndex()));
    for (int corner = 0; corner < 4; ++corner) {
      const uint64_t v = record.VertexIndex(corner & 1 ? 3 : 0, corner & 2 ? 3 : 0);
      ASSERT_LT(v, patches.GetControlVertexCount());
      const Vector3& at = patches.GetVertex(static_cast<uint32_t>(v)).position;
      EXPECT_TRUE(BoxHolds(section->GetBounds(), ToWorld(world, at), 1e-3)) << "corner " << corner;
    }
  }
  std::vector<int32_t> want(patches.GetPatchCount());
  for (size_t i = 0; i < want.size(); ++i) want[i] = static_cast<int32_t>(i);
  EXPECT_EQ(order, want);
}

namespace {
class BufferRasterizer : public RecordingRasterizer {
 public:
  bool buffers = true;
  bool IsVertexBufferAvailable() override {
    RecordingRasterizer::IsVertexBufferAvailable();
    return buffers;
  }
};
}  // namespace

TEST(MeshSection, DrawingFillsTheRenderGroupListsOnceAndStampsTheFrame) {
  std::unique_ptr<ShadedMesh> mesh = mesh_test::BuildGroupedGrid();
  ASSERT_TRUE(mesh);
  const VertexSharingTable* table = mesh->sharingTable.get();
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(mesh.get(), true, false, true, 0, 0, nullptr, true, nullptr));
  Sections sections = BuildSections(instance, 20);
  ASSERT_GT(sections.size(), 2u);

  BufferRasterizer back;
  back.buffers = false;
  LightList lights(nullptr);
  CAmbientLight ambient(0.2f, 0.2f, 0.2f, Box(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000)), 1, 0.0f);
  lights.Add(&ambient);
  CRenderView view;
  view.Setup(&back, nullptr, nullptr, &lights, 31);

  // A full group list: the section skips the face instead of writing past the list.
  const uint32_t group = table->GetGroupOfFace(sections[0]->GetGroups()[0].faces[0]);
  for (uint32_t i = 0; i < table->GetGroupSize(group); ++i)
    ASSERT_TRUE(instance.AddPartialDrawFace(table->GetGroupMembers(group)[i]));
  BoundedObjectLink first, second;
  sections[0]->AddLink(&first);
  sections[0]->AddLink(&second);
  sections[0]->Render(&view);
  for (uint32_t g = 0; g < instance.GetPartialDrawGroupCount(); ++g) EXPECT_EQ(instance.GetPartialDrawCount(g), 0u);
  EXPECT_EQ(sections[0]->GetLastDrawnFrame(), view.GetFrameNumber());
  // Every link entry held on the section carries the frame it was drawn in.
  EXPECT_EQ(static_cast<int32_t>(view.GetFrameNumber()), first.index);
  EXPECT_EQ(static_cast<int32_t>(view.GetFrameNumber()), second.index);

  // With vertex buffers the section gathers its lights and goes to the back end's buffer.
  back.buffers = true;
  sections[1]->Render(&view);
  EXPECT_EQ(back.Count("FillVertexBuffer"), 1);
  ASSERT_EQ(sections[1]->GetLights().size(), 1u);
  EXPECT_EQ(sections[1]->GetLights()[0], &ambient);
}
