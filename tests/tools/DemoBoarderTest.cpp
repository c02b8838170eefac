// The demo boarder: written with the engine's writers, it loads back as a skinned body whose
// animation table names every skater animation, with its contact points and texture choices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "park/skater/SkaterAnimationTable.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareTextureStore.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/animation/SkeletonNodeInstance.h"
#include "scene/animation/Skin.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/mesh/AttachPoint.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/VertexFetchInterface.h"
#include "tests/support/RecordingScene.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentBoarder.h"

namespace {

struct WrittenBoarder : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(DemoContent::WriteBoarder(folder.Path()));
    ASSERT_TRUE(mesh.Load((folder.Path() + DemoContent::kBoarderMeshPath).c_str(), nullptr, 0, false, false, false));
  }
  testing_support::TempFolder folder;
  ShadedMesh mesh;
};

TEST_F(WrittenBoarder, EveryTableEntryFindsAnAnimationThatTakesTime) {
  ASSERT_NE(mesh.skin, nullptr);
  EXPECT_EQ(4u, mesh.skin->bones.size());
  ASSERT_NE(mesh.animation, nullptr);
  const CSkaterAnimationTable table(&mesh, nullptr);
  std::set<const AnimationRecord*> distinct;
  for (int i = 0; i < CSkaterAnimationTable::kEntryCount; ++i) {
    const AnimationRecord* animation = table.GetAnimation(i);
    ASSERT_NE(animation, nullptr) << CSkaterAnimationTable::GetAnimationName(i);
    EXPECT_GT(table.GetLength(i), 0.0f) << i;
    EXPECT_EQ(AnimationRecord::kXForm, animation->dataType) << i;
    // The sequence's frames lie on the controllers' timeline.
    EXPECT_EQ(animation->length * animation->frameRate, static_cast<float>(animation->frameCount)) << i;
    distinct.insert(animation);
  }
  EXPECT_EQ(56u, distinct.size());  // no two entries share a sequence
}

TEST_F(WrittenBoarder, PlayingASequenceBendsTheBody) {
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(&mesh, false, false, false, 0, 0, nullptr, true, nullptr));
  ASSERT_EQ(4u, instance.GetSkeletonNodeCount());
  const CSkaterAnimationTable table(&mesh, nullptr);
  for (int entry : {11, 22, 48, 53}) {
    const AnimationRecord* animation = table.GetAnimation(entry);
    instance.PlayAnimation(animation, 0.0f, 0.0f, true, nullptr);
    instance.SyncAnimation(&instance);
    instance.UpdateAnimation();
    const COrientation rest = instance.GetSkeletonNodes()[2].GetSkinMatrix();
    instance.GetSequencePlayer().time = 0.5f * animation->length;  // the middle key: the swing's height
    instance.SyncAnimation(&instance);
    instance.UpdateAnimation();
    const COrientation bent = instance.GetSkeletonNodes()[2].GetSkinMatrix();
    float change = 0.0f;
    for (int r = 0; r < 3; ++r) change += (bent.GetMatrix().m[r] - rest.GetMatrix().m[r]).Length();
    EXPECT_GT(change, 0.1f) << entry;
  }
}

// The root carries the board and the whole body: in every sequence it only tips the skater on its
// board, never further than a skater leans, while the tricks still move it.
TEST_F(WrittenBoarder, TheRootOnlyTipsTheSkaterOnItsBoard) {
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(&mesh, false, false, false, 0, 0, nullptr, true, nullptr));
  const CSkaterAnimationTable table(&mesh, nullptr);
  float most = 0.0f;
  for (int entry = 0; entry < CSkaterAnimationTable::kEntryCount; ++entry) {
    const AnimationRecord* animation = table.GetAnimation(entry);
    ASSERT_NE(animation, nullptr);
    instance.PlayAnimation(animation, 0.0f, 0.0f, true, nullptr);
    for (int k = 0; k <= 16; ++k) {
      instance.GetSequencePlayer().time = animation->length * static_cast<float>(k) / 16.0f;
      instance.SyncAnimation(&instance);
      instance.UpdateAnimation();
      const TMatrix& turn = instance.GetSkeletonNodes()[0].GetSkinMatrix().GetMatrix();
      const float cosine = 0.5f * (turn.m[0].x + turn.m[1].y + turn.m[2].z - 1.0f);
      const float angle = std::acos(std::max(-1.0f, std::min(1.0f, cosine)));
      EXPECT_LE(angle, DemoContent::kBoarderMaxRootSwing + 1e-3f) << entry << " at " << k;
      most = std::max(most, angle);
    }
  }
  EXPECT_GT(most, 0.8f * DemoContent::kBoarderMaxRootSwing);
}

TEST_F(WrittenBoarder, ContactPointsSitUnderTheBoard) {
  const char* names[] = {"frontcontact", "backcontact", "crashfrontcontact", "crashbackcontact"};
  const float x[] = {0.3f, -0.3f, 0.5f, -0.5f};
  for (int i = 0; i < 4; ++i) {
    const AttachPoint* point = mesh.FindNamedAttachPoint(names[i]);
    ASSERT_NE(point, nullptr) << names[i];
    EXPECT_EQ(kAttachNamedPoint, point->type);
    EXPECT_FLOAT_EQ(x[i], point->transform.GetPosition().x);
    EXPECT_FLOAT_EQ(-0.45f, point->transform.GetPosition().z);
  }
}

TEST_F(WrittenBoarder, TextureChoicesOfferTexturesThatExist) {
  const struct {
    const char* name;
    uint32_t slot;
    uint32_t count;
  } wanted[] = {{"Multitexture_skaterHEAD", 0, 3}, {"Multitexture_skaterBODY", 1, 3}, {"Multitexture_skateboards", 2, 2}};
  std::vector<int> lists;
  mesh.CollectAttachPoints(kAttachTextureList, lists);
  ASSERT_EQ(3u, lists.size());
  std::set<uint32_t> used;
  for (size_t i = 0; i < lists.size(); ++i) {
    const AttachPoint& point = mesh.attachPoints[static_cast<size_t>(lists[i])];
    ASSERT_GE(point.GetLength(), 76u);
    EXPECT_STREQ(wanted[i].name, reinterpret_cast<const char*>(point.GetData()));
    uint32_t words[3];
    std::memcpy(words, point.GetData() + 64, sizeof words);
    EXPECT_EQ(wanted[i].count, words[0]);
    EXPECT_EQ(wanted[i].slot, words[1]);
    ASSERT_EQ(76u + 4u * words[0], point.GetLength());
    for (uint32_t k = 0; k < words[0]; ++k) {
      uint32_t texture = 0;
      std::memcpy(&texture, point.GetData() + 76 + 4 * k, 4);
      ASSERT_LT(texture, mesh.GetTextureCount());
      EXPECT_TRUE(used.insert(texture).second) << "texture " << texture << " offered twice";
    }
  }
  EXPECT_EQ(mesh.GetTextureCount(), used.size());
  // Each slot first shows the first texture its record offers, and the faces use all three slots.
  std::set<uint32_t> slots;
  for (uint32_t f = 0; f < mesh.faceCount; ++f) slots.insert(mesh.faceRecords[f].textureSlot);
  EXPECT_EQ((std::set<uint32_t>{0, 1, 2}), slots);
  // The software renderer keeps one converted copy per texture name: each choice needs its own.
  CSoftwareTextureStore store;
  std::set<const CSoftwareTexture*> copies;
  for (const std::string& file : DemoContent::BoarderTextureFiles()) {
    const std::string path = folder.Path() + file;
    CTexture texture;
    EXPECT_TRUE(texture.Load(path.c_str(), true)) << file;
    copies.insert(store.ConvertTexture(texture));
    // Square power-of-two sides: both renderers take them as they are, with a full mip chain,
    // rather than cutting them down to the power of two below.
    EXPECT_EQ(32u, texture.width) << file;
    EXPECT_EQ(32u, texture.height) << file;
    EXPECT_TRUE(texture.flags & CTexture::kPowerOfTwo) << file;
    EXPECT_EQ(6u, texture.mipCount) << file;
    EXPECT_EQ(std::filesystem::path(path).parent_path(),
              std::filesystem::path(folder.Path() + DemoContent::kBoarderMeshPath).parent_path());
  }
  copies.erase(nullptr);
  EXPECT_EQ(copies.size(), DemoContent::BoarderTextureFiles().size());
}

// Bound as a skater binds it (lit as a whole, relit as it moves), every skinned normal of the
// standing boarder points out of the part it lies on, and the light follows from those normals:
// a sun along -x gives the side it faces ambient + sun, and the side turned away only the ambient.
TEST_F(WrittenBoarder, SkinnedNormalsPointOutAndTakeTheSunOnTheSideThatFacesIt) {
  CMeshInstance instance;
  ASSERT_TRUE(instance.SetMesh(&mesh, false, true, true, 0, 10, nullptr, true, nullptr));
  const CVertexFetchInterface& fetch = *instance.GetVertexFetch();
  for (uint32_t i = 0; i < mesh.normalCount; ++i) {
    Vector3 p, n;
    ASSERT_TRUE(fetch.GetPosition(mesh.normalRecords[i].vertex, &p.x));
    ASSERT_TRUE(fetch.GetNormal(i, &n.x));
    // Out of the head box, the board box, or the body tube about the z axis.
    const Vector3 centre = p.z > 1.11f ? Vector3(0, 0, 1.24f)
                                       : (p.z < -0.39f ? Vector3(0, 0, -0.415f) : Vector3(0, 0, p.z));
    EXPECT_GT(n.Dot(p - centre), 0.0f) << i;
    EXPECT_GT(n.Length(), 0.9f) << i;
  }

  testing_support::RecordingScene s;
  CDirectionalLight sun(0.5f, 0.5f, 0.5f, 100.0f, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f, CLight::kLightsMeshes, 0, 0, 0, 0);
  CAmbientLight ambient(0.25f, 0.25f, 0.25f, Box(Vector3(-50, -50, -50), Vector3(50, 50, 50)), CLight::kLightsMeshes,
                        0);
  s.lights.Add(&sun);
  s.lights.Add(&ambient);
  ASSERT_TRUE(s.Begin());
  // A corner of the body at half height on each side; the faces are white.
  auto red = [&](const Vector3& at) {
    for (uint32_t c = 0; c < 3 * mesh.faceCount; ++c)
      if ((mesh.allPositions[mesh.indices[c]] - at).Length() < 0.01f) {
        EXPECT_EQ(0xFFFFFFFFu, mesh.faceRecords[c / 3].corners[c % 3].color.ToWord());
        return static_cast<int>(s.view.ComputeFaceLight(&instance, c / 3, c % 3, nullptr).r);
      }
    ADD_FAILURE() << "no corner at " << at.x;
    return -1;
  };
  EXPECT_NEAR(red(Vector3(0.15f, 0, 0.36f)), 191, 3);  // 255 x (0.25 + 0.5 x 1), as the normal table rounds
  EXPECT_EQ(red(Vector3(-0.15f, 0, 0.36f)), 63);       // 255 x 0.25: turned from the sun, the ambient alone
}

}  // namespace
