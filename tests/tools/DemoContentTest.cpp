// The demo data set: written with the engine's writers, read back through the resource table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/data/ResourceTable.h"
#include "effects/AttachGlowRecord.h"
#include "render/image/Texture.h"
#include "scene/animation/ControllerSet.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatch.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentEffects.h"

using testing_support::DebugCapture;
using testing_support::ReadBytes;
using testing_support::TempFolder;

TEST(DemoContentTest, EveryDemoMeshLoadsThroughTheResourceTableUnchanged) {
  TempFolder folder;
  DebugCapture log;
  const std::string data = folder.MakeFolder("data");
  ASSERT_TRUE(DemoContent::WriteAll(data));
  std::vector<DemoContent::DemoFile> built = DemoContent::BuildAll();

  CResourceTable table;
  for (const DemoContent::DemoFile& file : built) {
    SCOPED_TRACE(file.relativePath);
    const std::string path = data + "/" + file.relativePath;
    const std::string before = ReadBytes(path);
    ASSERT_EQ(file.mesh->GetFileSize(), before.size());
    const int index = table.Add(path.c_str());
    // A mesh carrying vehicle (51) or body (50) constants loads as that asset.
    const int expectedType = file.mesh->FindAttachPoint(51) >= 0   ? kResourceVehicle
                             : file.mesh->FindAttachPoint(50) >= 0 ? kResourceRigidBody
                                                                   : kResourceMesh;
    ASSERT_NE(nullptr, table.GetResource(index));
    EXPECT_EQ(expectedType, table.GetType(index));
    if (expectedType != kResourceMesh) continue;
    auto* mesh = static_cast<ShadedMesh*>(table.GetResource(index));
    EXPECT_TRUE(mesh->IsMapped());  // the table's default options load mapped
    EXPECT_EQ(file.mesh->faceCount, mesh->faceCount);
    EXPECT_EQ(file.mesh->vertexCount, mesh->vertexCount);
    EXPECT_EQ(file.mesh->children.size(), mesh->children.size());
    EXPECT_EQ(file.mesh->attachPoints.size(), mesh->attachPoints.size());
    EXPECT_EQ(file.mesh->patches != nullptr, mesh->patches != nullptr);
    EXPECT_EQ(file.mesh->animation != nullptr, mesh->animation != nullptr);
    EXPECT_EQ(file.mesh->skin != nullptr, mesh->skin != nullptr);
    ASSERT_EQ(file.mesh->uvCount, mesh->uvCount);
    for (uint32_t c = 0; c < 3 * mesh->faceCount; ++c) {
      const Vector2 want = file.mesh->uvs[file.mesh->faceRecords[c / 3].corners[c % 3].uv];
      const Vector2 got = mesh->uvs[mesh->faceRecords[c / 3].corners[c % 3].uv];
      ASSERT_TRUE(want.x == got.x && want.y == got.y) << "corner " << c;
    }
    // Files written complete are never rewritten on load.
    EXPECT_EQ(before, ReadBytes(path));
  }
  EXPECT_EQ(std::string::npos, log.Text().find("Updating Mesh File"));
  EXPECT_EQ(std::string::npos, log.Text().find("Warning"));
  DemoContent::FreeAll(built);
}

TEST(DemoContentTest, TheWrittenEffectsGlowInTheirColoursWithRoundGlowsAndSeamlessClouds) {
  TempFolder folder;
  DebugCapture quiet;  // the stand's own texture is not among the files written here
  const std::string data = folder.MakeFolder("data");
  ASSERT_TRUE(DemoContent::WriteAll(data) && DemoContent::WriteEffectTextures(data));
  // The stand's glows as read back from its mesh: the lamp warm white, the beacon green.
  ShadedMesh stand;
  ASSERT_TRUE(
      stand.Load((data + "/meshes/" + DemoContent::kGlowPiece + ".mesh").c_str(), nullptr, 0, false, true, false));
  std::vector<uint32_t> colours;
  for (const AttachPoint& point : stand.attachPoints) {
    AttachGlowRecord glow;
    if (point.type == AttachGlowRecord::kAttachType && glow.Read(point.GetData(), point.GetLength()))
      colours.push_back(glow.colour);
  }
  EXPECT_EQ(colours, std::vector<uint32_t>({0xFFFFE0A0u, 0xFF30FF60u}));

  auto texel = [](const CTexture& t, uint32_t x, uint32_t y) {
    Color c;
    t.SampleColour(c, (x + 0.5f) / t.width, (y + 0.5f) / t.height);
    return c;
  };
  // The glow: brightest in the middle, the same at mirrored and turned texels, clear at the corners.
  CTexture glow;
  ASSERT_TRUE(glow.LoadTarga((data + "/textures/effects/glow.tga").c_str(), 0));
  const uint32_t n = glow.width;
  ASSERT_EQ(n, glow.height);
  EXPECT_EQ(texel(glow, 0, 0).a, 0);
  for (uint32_t y = 0; y < n; ++y)
    for (uint32_t x = 0; x < n; ++x) {
      const Color c = texel(glow, x, y);
      ASSERT_LE(c.a, texel(glow, n / 2, n / 2).a) << x << "," << y;
      ASSERT_TRUE(c == texel(glow, n - 1 - x, y) && c == texel(glow, x, n - 1 - y) && c == texel(glow, y, x))
          << x << "," << y;
    }
  // The clouds drift, so their texture repeats without a seam: neighbours across its edges differ
  // no more than neighbours inside it, and those little (smooth noise, no speckle).
  CTexture clouds;
  ASSERT_TRUE(clouds.LoadTarga((data + "/textures/effects/clouds.tga").c_str(), 0));
  int inside = 0, across = 0, darkest = 255, brightest = 0;
  for (uint32_t i = 0; i < clouds.width; ++i)
    for (uint32_t j = 0; j < clouds.height; ++j) {
      darkest = std::min<int>(darkest, texel(clouds, i, j).r);
      brightest = std::max<int>(brightest, texel(clouds, i, j).r);
      const int right = std::abs(texel(clouds, i, j).r - texel(clouds, (i + 1) % clouds.width, j).r);
      const int down = std::abs(texel(clouds, j, i).r - texel(clouds, j, (i + 1) % clouds.height).r);
      int& most = i + 1 == clouds.width ? across : inside;
      most = std::max(most, std::max(right, down));
    }
  EXPECT_LE(across, inside);
  EXPECT_LT(inside, (brightest - darkest) / 2) << "no jumps from clear sky to full cloud";
  EXPECT_TRUE(darkest <= 100 && brightest >= 200) << "blue sky and white cloud both";
}

TEST(DemoContentTest, BuildersMakeClosedSolidsFacingOutward) {
  // Closed solids: every edge is shared by exactly two faces, and the face normals point away
  // from the centre of the solid.
  std::unique_ptr<ShadedMesh> box(DemoContent::BuildBox(1, 2, 3));
  std::unique_ptr<ShadedMesh> ramp(DemoContent::BuildRamp(4, 2, 1));
  for (ShadedMesh* mesh : {box.get(), ramp.get()}) {
    ASSERT_TRUE(mesh->BuildEdgeAdjacency());
    for (uint32_t i = 0; i < 3 * mesh->faceCount; ++i) EXPECT_GE(mesh->halfEdges[i].twin, 0);
    Vector3 centre;
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) centre += mesh->positions[v];
    centre = centre * (1.0f / mesh->vertexCount);
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      const Vector3& p = mesh->positions[mesh->indices[3 * f]];
      EXPECT_GT(mesh->faceNormals[f].Dot(p - centre), 0.0f) << "face " << f;
      // Each face shows exactly half the texture: its corners are three corners of the image.
      Vector2 uv[3];
      for (int k = 0; k < 3; ++k) uv[k] = mesh->uvs[mesh->faceRecords[f].corners[k].uv];
      const float twiceArea = (uv[1].x - uv[0].x) * (uv[2].y - uv[0].y) - (uv[2].x - uv[0].x) * (uv[1].y - uv[0].y);
      EXPECT_EQ(1.0f, std::fabs(twiceArea)) << "face " << f;
    }
  }
  EXPECT_EQ(6u * 2, box->faceCount);
  EXPECT_EQ(3.0f * 2, box->bounds.max.z);
  std::unique_ptr<ShadedMesh> ground(DemoContent::BuildGroundGrid(17, 4.0f));
  EXPECT_EQ(2u * 16 * 16, ground->faceCount);
  EXPECT_FLOAT_EQ(32.0f, ground->bounds.max.x);
}

TEST(DemoContentTest, TheGeneratorFillsAMissingFolderOnly) {
  // The generator is built beside the tests folder of the build tree.
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string program = (self.parent_path().parent_path() / "make_demo_data").string();
  if (!std::filesystem::exists(program)) GTEST_SKIP() << "generator not built";
  TempFolder folder;
  const std::string target = folder.Path() + "data";
  ASSERT_EQ(0, std::system((program + " " + target).c_str()));
  EXPECT_TRUE(std::filesystem::exists(target + "/meshes/lodramp-a-a.mesh"));
  EXPECT_FALSE(std::filesystem::exists(target + ".partial"));
  // The instant-action park is built from the written level, inside the unfinished folder.
  EXPECT_GT(std::filesystem::file_size(target + "/levels/demo/instant_action.sav"), 1000u);
  ShadedMesh ground;
  EXPECT_TRUE(ground.Load((target + "/meshes/ground.mesh").c_str(), nullptr, 0, false, true, false));
  EXPECT_EQ(2u * 16 * 16, ground.faceCount);
  // A folder under another name cannot hold the instant-action park, which is found through the
  // name: the generator says so, and leaves neither the folder nor its unfinished copy behind.
  const std::string other = folder.Path() + "content";
  EXPECT_NE(0, std::system((program + " " + other + " 2>/dev/null").c_str()));
  EXPECT_FALSE(std::filesystem::exists(other));
  EXPECT_FALSE(std::filesystem::exists(other + ".partial"));
}
