// Meshes load the textures they name from beside their file, through the renderer's factory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "core/data/ResourceTable.h"
#include "render/image/MeshTextureFactory.h"
#include "render/image/Texture.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentLevel.h"

using testing_support::TempFolder;

namespace {

// The demo level mesh names two textures: texture 0 "ground.texture" (a JPEG-coded 128 x 128
// checker of 16-texel squares) and texture 1 "block.texture" (a raw 32 x 32 one). It is saved
// beside the demo textures so that its folder is theirs.
std::string SaveLevelBesideTextures(const TempFolder& folder) {
  EXPECT_TRUE(DemoContent::WriteImages(folder.Path()));
  std::unique_ptr<ShadedMesh> level = DemoContent::BuildLevelMesh();
  EXPECT_TRUE(level);
  const std::string path = folder.Path() + "textures/level.mesh";
  if (level) EXPECT_TRUE(level->Save(path.c_str(), nullptr));
  return path;
}

struct Texel {
  uint32_t x, y;
  Color want;
};

// Samples texel centres; JPEG-coded textures get a tolerance per channel.
void ExpectTexels(const CTextureProperties* texture, const Texel* texels, size_t count, int tolerance) {
  const CTexture* t = static_cast<const CTexture*>(texture);
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->pixels);
  for (size_t i = 0; i < count; ++i) {
    Color c;
    t->SampleColour(c, (texels[i].x + 0.5f) / t->width, (texels[i].y + 0.5f) / t->height);
    const Color& w = texels[i].want;
    EXPECT_LE(std::abs(c.r - w.r), tolerance) << texels[i].x << "," << texels[i].y;
    EXPECT_LE(std::abs(c.g - w.g), tolerance) << texels[i].x << "," << texels[i].y;
    EXPECT_LE(std::abs(c.b - w.b), tolerance) << texels[i].x << "," << texels[i].y;
    EXPECT_EQ(c.a, w.a) << texels[i].x << "," << texels[i].y;
  }
}

const Color kBlockLight = Color::FromRGBA(180, 180, 180), kBlockDark = Color::FromRGBA(140, 140, 140);
const Texel kBlockTexels[] = {{0, 0, kBlockLight},  {15, 15, kBlockLight}, {16, 0, kBlockDark},
                              {0, 16, kBlockDark},  {31, 0, kBlockDark},   {16, 16, kBlockLight},
                              {31, 31, kBlockLight}, {15, 16, kBlockDark}};

void ExpectArgb(const CTextureProperties* texture) {
  const CTexture* t = static_cast<const CTexture*>(texture);
  ASSERT_TRUE(t);
  EXPECT_EQ((std::vector<uint32_t>{4, 0xFF000000u, 0xFF0000, 0xFF00, 0xFF}),
            (std::vector<uint32_t>{t->bytesPerPixel, t->alphaMask, t->redMask, t->greenMask, t->blueMask}));
}

}  // namespace

TEST(MeshTextures, LoadedMeshShowsTheGeneratedPixels) {
  TempFolder folder;
  const std::string path = SaveLevelBesideTextures(folder);
  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Load(path.c_str(), nullptr, 0, true, true, false));
  ASSERT_EQ(2u, mesh.textures.size());
  ASSERT_EQ(2u, mesh.slots.size());
  EXPECT_EQ(2u, mesh.ownedTextures.size());
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(mesh.textures[i], mesh.GetTexture(i)) << i;
    ExpectArgb(mesh.textures[i]);
  }
  EXPECT_EQ(128u, static_cast<const CTexture*>(mesh.textures[0])->width);
  EXPECT_EQ(32u, static_cast<const CTexture*>(mesh.textures[1])->width);
  const Color light = Color::FromRGBA(90, 150, 70), dark = Color::FromRGBA(70, 120, 50);
  const Texel ground[] = {{8, 8, light}, {24, 8, dark}, {8, 24, dark}, {24, 24, light}, {120, 120, light},
                          {104, 120, dark}};
  ExpectTexels(mesh.textures[0], ground, std::size(ground), 12);
  ExpectTexels(mesh.textures[1], kBlockTexels, std::size(kBlockTexels), 0);
  // Already in the drawing layout: nothing to rewrite.
  EXPECT_EQ(0u, mesh.flags & ShadedMesh::kFlagNeedsRewrite);
  // Saved to a new folder, the mesh writes its textures beside it (JPEG-coded once more). Through the
  // table they load without pixels under the default options (5) and with them once bit 2 is off.
  std::filesystem::create_directory(folder.Path() + "copy");
  const std::string copyPath = folder.Path() + "copy/level.mesh";
  ASSERT_TRUE(mesh.Save(copyPath.c_str(), nullptr));
  CResourceTable table;
  const auto* byDefault = static_cast<const ShadedMesh*>(table.GetResource(table.Add(path.c_str())));
  ASSERT_NE(nullptr, byDefault);
  EXPECT_EQ(nullptr, static_cast<const CTexture*>(byDefault->textures[1])->pixels);
  table.SetMeshLoadOptions(1);  // copied, with textures
  const auto* copy = static_cast<const ShadedMesh*>(table.GetResource(table.Add(copyPath.c_str())));
  ASSERT_NE(nullptr, copy);
  ASSERT_EQ(2u, copy->ownedTextures.size());
  EXPECT_EQ(folder.Path() + "copy/ground.texture", static_cast<const CTexture*>(copy->textures[0])->fileName);
  ExpectTexels(copy->textures[0], ground, std::size(ground), 16);
  ExpectTexels(copy->textures[1], kBlockTexels, std::size(kBlockTexels), 8);
  // Loading again is a no-op; releasing frees what the mesh loaded.
  const CTextureProperties* first = mesh.textures[0];
  mesh.LoadTextures(true);
  EXPECT_EQ(first, mesh.textures[0]);
  mesh.Release();
  EXPECT_TRUE(mesh.ownedTextures.empty());
  EXPECT_TRUE(mesh.textures.empty());
}

TEST(MeshTextures, MissingOrUnnamedTexturesStayNull) {
  TempFolder folder;
  const std::string path = SaveLevelBesideTextures(folder);
  std::filesystem::remove(folder.Path() + "textures/ground.texture");
  {
    ShadedMesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), nullptr, 0, false, true, false));
    ASSERT_EQ(2u, mesh.textures.size());
    EXPECT_EQ(nullptr, mesh.textures[0]);
    EXPECT_EQ(nullptr, mesh.GetTexture(0));
    EXPECT_EQ(1u, mesh.ownedTextures.size());
    EXPECT_EQ(mesh.textures[1], mesh.GetTexture(1));
    ExpectTexels(mesh.textures[1], kBlockTexels, std::size(kBlockTexels), 0);
    EXPECT_GT(mesh.faceCount, 0u);
  }
  // An empty name is not looked up at all, even when a file of the folder's name would load.
  {
    ShadedMesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), nullptr, 0, false, false, false));
    mesh.SetTextureName(1, nullptr, "");
    mesh.LoadTextures(true);
    EXPECT_EQ(std::vector<CTextureProperties*>(2, nullptr), mesh.textures);
    EXPECT_TRUE(mesh.ownedTextures.empty());
  }
  // Without a factory (a program without the renderer) every texture stays null.
  CTextureFactory::Register(nullptr);
  {
    ShadedMesh mesh;
    const bool loaded = mesh.Load(path.c_str(), nullptr, 0, false, true, false);
    static const CMeshTextureFactory factory;
    CTextureFactory::Register(&factory);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(nullptr, mesh.textures[1]);
    EXPECT_EQ(nullptr, mesh.GetTexture(1));
  }
}

TEST(MeshTextures, OtherChannelLayoutsAreRepackedAndMarkTheMeshStale) {
  TempFolder folder;
  const std::string path = SaveLevelBesideTextures(folder);
  // The block texture stored with red and blue swapped (ABGR words).
  {
    CTexture block;
    const std::string blockPath = folder.Path() + "textures/block.texture";
    ASSERT_TRUE(block.Load(blockPath.c_str(), true));
    ASSERT_TRUE(block.ConvertPixelFormat(4, 0xFF, 0xFF00, 0xFF0000, 0xFF000000));
    ASSERT_TRUE(block.Save(blockPath.c_str(), 0));
  }
  ShadedMesh mesh;
  ASSERT_TRUE(mesh.Load(path.c_str(), nullptr, 0, false, false, false));
  EXPECT_EQ(0u, mesh.flags & ShadedMesh::kFlagNeedsRewrite);
  mesh.LoadTextures(true);
  EXPECT_EQ(ShadedMesh::kFlagNeedsRewrite, mesh.flags & ShadedMesh::kFlagNeedsRewrite);
  ExpectArgb(mesh.textures[1]);
  ExpectTexels(mesh.textures[1], kBlockTexels, std::size(kBlockTexels), 0);
  // A full load rewrites the stale file and clears the mark again.
  ShadedMesh reloaded;
  ASSERT_TRUE(reloaded.Load(path.c_str(), nullptr, 0, false, true, false));
  EXPECT_EQ(0u, reloaded.flags & ShadedMesh::kFlagNeedsRewrite);
  ExpectArgb(reloaded.textures[1]);
}

// A mesh of the previous file version is written back on load, textures included: a texture name
// leading out of the mesh's folder is neither read nor written, one inside it is both.
TEST(MeshTextures, TextureNamesLeadingOutOfTheFolderAreNeitherReadNorWrittenBack) {
  for (const char* name : {"../outside.texture", "sub/../../outside.texture", "sub/../sub/inner.texture"}) {
    SCOPED_TRACE(name);
    const bool inside = std::string(name).find("inner") != std::string::npos;
    TempFolder folder;
    SaveLevelBesideTextures(folder);
    const std::string block = testing_support::ReadBytes(folder.Path() + "textures/block.texture");
    const std::string outside = folder.Write("outside.texture", block);
    folder.Write("textures/sub/inner.texture", block);
    std::unique_ptr<ShadedMesh> level = DemoContent::BuildLevelMesh();
    level->SetTextureName(0, nullptr, name);
    const std::string path = folder.Path() + "textures/level.mesh";
    ASSERT_TRUE(level->Save(path.c_str(), nullptr));
    std::string file = testing_support::ReadBytes(path);
    file[0] = 51;  // the version word of the previous format
    folder.Write("textures/level.mesh", file);
    ShadedMesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), nullptr, 0, false, true, false));
    EXPECT_EQ(52, testing_support::ReadBytes(path)[0]) << "the update ran";
    EXPECT_EQ(inside, mesh.textures[0] != nullptr);
    EXPECT_EQ(block, testing_support::ReadBytes(outside));
  }
}
