// Static vertex lights: file round trips, hostile files, the load-else-rebuild step.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "scene/lighting/StaticLighting.h"
#include "tests/scene/LightMapTestScene.h"
#include "tests/support/InputCost.h"
#include "tests/support/TempFolder.h"

using baked_test::LitScene;
using testing_support::DebugCapture;
using testing_support::ReadAll;
using testing_support::TempFolder;

namespace {

// Every face colour of an instance and its children, in block order.
void CollectColours(CMeshInstance* instance, std::vector<uint32_t>& out) {
  CMeshInstance::FaceColours* faces = instance->GetFaceColours();
  for (uint32_t f = 0; faces != nullptr && f < instance->GetMesh()->faceCount; ++f) {
    for (const Color& c : faces[f].corners) out.push_back(c.ToWord());
  }
  for (const CMeshInstance::ChildEntry& child : instance->GetChildren()) {
    if (child.instance != nullptr) CollectColours(child.instance.get(), out);
  }
}

std::vector<uint32_t> SceneColours(LitScene& scene) {
  std::vector<uint32_t> out;
  for (auto& instance : scene.instances) CollectColours(instance.get(), out);
  return out;
}

uint8_t Scaled(uint8_t byte, float light) {
  const double v = static_cast<double>(byte) * light;
  return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<uint8_t>(v);
}

// Checks each face corner of the block against its normal's stored colour, children included;
// returns the bytes the block took.
size_t CheckBlock(CMeshInstance* instance, const uint8_t* block) {
  const ShadedMesh& mesh = *instance->GetMesh();
  const uint8_t* faces = block + 12 * mesh.normalCount;
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      const MeshCorner& corner = mesh.faceRecords[f].corners[k];
      float light[3];
      std::memcpy(light, block + 12 * corner.normal, 12);
      EXPECT_TRUE(light[0] >= 0.25f && light[1] >= 0.3f && light[2] >= 0.35f) << "fill light missing " << corner.normal;
      uint32_t word;
      std::memcpy(&word, faces + 12 * f + 4 * k, 4);
      const Color got = Color::FromWord(word);
      // A face whose texture says unlit keeps its mesh colour.
      const CTextureProperties* texture = instance->GetFaceTexture(f);
      const bool unlit = texture != nullptr && (texture->GetFlags() & 0x200) != 0;
      EXPECT_EQ(got.r, unlit ? corner.color.r : Scaled(corner.color.r, light[0]));
      EXPECT_EQ(got.g, unlit ? corner.color.g : Scaled(corner.color.g, light[1]));
      EXPECT_EQ(got.b, unlit ? corner.color.b : Scaled(corner.color.b, light[2]));
      EXPECT_EQ(got.a, corner.color.a);
    }
  }
  size_t used = 12 * (static_cast<size_t>(mesh.normalCount) + mesh.faceCount);
  for (const CMeshInstance::ChildEntry& child : instance->GetChildren()) {
    if (child.instance != nullptr) used += CheckBlock(child.instance.get(), block + used);
  }
  return used;
}

}  // namespace

TEST(StaticLighting, SaveLoadRoundTripIsByteExactAndAppliesTheLight) {
  TempFolder folder;
  const std::string path = folder.Path() + "vlights.bin";
  std::vector<uint8_t> first;
  std::vector<uint32_t> litColours;
  // The ground's faces are unlit, the ramp's lit.
  baked_test::FlagTexture unlitGround(0x200);
  {
    LitScene scene;
    scene.PlaceStandard(true);
    baked_test::SetFirstTexture(*scene.meshes[0], &unlitGround);
    ASSERT_TRUE(StaticLighting::Save(scene.octree, scene.lights, path.c_str()));
    first = ReadAll(path);
    // Three marked roots (the unmarked box is left out); each block agrees with its normals.
    uint32_t header[2];
    ASSERT_GE(first.size(), 8u);
    std::memcpy(header, first.data(), 8);
    ASSERT_EQ(header[1], 3u);
    size_t at = 8;
    for (int i = 0; i < 3; ++i) at += 40 + CheckBlock(scene.instances[i].get(), &first[at + 40]);
    EXPECT_EQ(at, first.size());
    ASSERT_TRUE(StaticLighting::Load(scene.octree, path.c_str()));
    litColours = SceneColours(scene);
  }
  // A second load of the level: same meshes, same places, lit from the file alone.
  LitScene again(false);
  again.PlaceStandard(true);
  const std::vector<uint32_t> unlit = SceneColours(again);
  EXPECT_NE(unlit, litColours);
  ASSERT_TRUE(StaticLighting::Load(again.octree, path.c_str()));
  EXPECT_EQ(SceneColours(again), litColours);

  LitScene third;
  third.PlaceStandard(true);
  baked_test::SetFirstTexture(*third.meshes[0], &unlitGround);
  ASSERT_TRUE(StaticLighting::Save(third.octree, third.lights, path.c_str()));
  EXPECT_EQ(ReadAll(path), first);
}

TEST(StaticLighting, DamagedFilesAreRefusedWithoutOverReads) {
  LitScene scene;
  scene.PlaceStandard(false);
  const std::vector<uint8_t> file = StaticLighting::BuildFile(scene.octree, scene.lights);
  ASSERT_GT(file.size(), 48u);
  DebugCapture log;
  // Every strict prefix: each is a heap block of exactly that size, so ASan sees any over-read.
  for (size_t n = 0; n < file.size(); ++n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n + 1]);
    std::memcpy(copy.get(), file.data(), n);
    EXPECT_FALSE(testing_support::WithinLinearCost(n, [&] { return StaticLighting::LoadFromBuffer(scene.octree, n ? copy.get() : nullptr, n); })) << n;
  }
  // Trailing bytes and an old version are refused too.
  std::vector<uint8_t> longer = file;
  longer.push_back(0);
  EXPECT_FALSE(StaticLighting::LoadFromBuffer(scene.octree, longer.data(), longer.size()));
  std::vector<uint8_t> old = file;
  old[0] = 2;
  EXPECT_FALSE(StaticLighting::LoadFromBuffer(scene.octree, old.data(), old.size()));

  // Random flips: a flip in a header, box or key is refused; a flip in the colours may load.
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bad = file;
    const size_t at = random() % bad.size();
    bad[at] ^= static_cast<uint8_t>(1 + random() % 255);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bad.size()]);
    std::memcpy(exact.get(), bad.data(), bad.size());
    const bool loaded = testing_support::WithinLinearCost(bad.size(), [&] { return StaticLighting::LoadFromBuffer(scene.octree, exact.get(), bad.size()); });
    const bool inFirstHeader = at < 48;
    if (inFirstHeader) EXPECT_FALSE(loaded) << at;
  }
  // A huge entry count is caught by the size checks, not trusted.
  std::vector<uint8_t> many = file;
  const uint32_t count = 0xFFFFFFFFu;
  std::memcpy(&many[4], &count, 4);
  EXPECT_FALSE(StaticLighting::LoadFromBuffer(scene.octree, many.data(), many.size()));
  // Entry intact, block cut short: the matched mesh's block must fit before anything is applied.
  const std::vector<uint32_t> before = SceneColours(scene);
  EXPECT_FALSE(StaticLighting::LoadFromBuffer(scene.octree, file.data(), 8 + 40 + 12));
  EXPECT_EQ(SceneColours(scene), before);
}

TEST(StaticLighting, LevelStepRebuildsMissingStaleAndForeignFiles) {
  TempFolder folder;
  const std::string path = folder.Path() + "vlights.bin";
  DebugCapture log;
  {
    // An empty scene: an 8-byte file that loads.
    LitScene empty;
    EXPECT_TRUE(StaticLighting::LoadOrRebuild(empty.octree, empty.lights, folder.Path()));
    EXPECT_EQ(ReadAll(path), std::vector<uint8_t>({3, 0, 0, 0, 0, 0, 0, 0}));
  }
  LitScene scene;
  scene.PlaceStandard(true);
  std::remove(path.c_str());
  EXPECT_TRUE(StaticLighting::LoadOrRebuild(scene.octree, scene.lights, folder.Path()));
  const std::vector<uint8_t> written = ReadAll(path);
  EXPECT_EQ(written, StaticLighting::BuildFile(scene.octree, scene.lights));
  const std::vector<uint32_t> lit = SceneColours(scene);

  // A mesh moved by a hair no longer matches; the step rebuilds the file for the new place.
  LitScene moved(true);
  moved.Place(moved.Keep(DemoContent::BuildGroundGrid(5, 2.0f)), Vector3(0.001f, 0, 0), true);
  EXPECT_FALSE(StaticLighting::Load(moved.octree, path.c_str()));
  EXPECT_TRUE(StaticLighting::LoadOrRebuild(moved.octree, moved.lights, folder.Path()));
  EXPECT_TRUE(StaticLighting::Load(moved.octree, path.c_str()));

  // A file that cannot be written still leaves the level lit.
  LitScene unwritable;
  unwritable.PlaceStandard(true);
  EXPECT_TRUE(StaticLighting::LoadOrRebuild(unwritable.octree, unwritable.lights, folder.Path() + "missing/"));
  EXPECT_EQ(SceneColours(unwritable), lit);
  EXPECT_NE(log.Text().find("Error Creating File: '" + folder.Path() + "missing/vlights.bin'"), std::string::npos);
}
