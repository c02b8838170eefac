// Tests of the terrain data builder on a patch sheet and a textured grid lying in one tilted
// plane, where every correspondence has a closed form (the texture coordinate is an affine
// function of the patch parameters); also the angular order, required pairs, refused inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "physics/terrain/TerrainDataBuilder.h"
#include "platform/system/Platform.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"
#include "tests/support/Golden.h"
#include "tests/support/TempFolder.h"

namespace {

// Tilted about the x axis and shifted, so the search direction is no coordinate axis.
Vector3 Place(float x, float y) { return Vector3(x + 1.0f, 0.8f * y - 2.0f, 0.6f * y + 3.0f); }
const Vector3 kNormal(0.0f, -0.6f, 0.8f);  // of the plane Place maps onto

constexpr float kPatch = 12.0f;                  // 2 x 2 flat patches over [0, 24]^2
constexpr float kGridStart = -3.0f, kGrid = 18.0f;  // 6 x 6 cells of 3 over [-3, 15]^2

// lift moves the sheet off the grid's plane along its normal.
std::unique_ptr<ShadedMesh> PatchMesh(float lift = 0.0f) {
  auto mesh = std::make_unique<ShadedMesh>();
  auto cp = std::make_unique<CurvedPatch>();
  for (int r = 0; r < 7; ++r) {
    for (int c = 0; c < 7; ++c) cp->AddControlVertex({Place(c * kPatch / 3, r * kPatch / 3) + kNormal * lift, 0, 0});
  }
  cp->AddFace(CurvedPatchFace{});
  for (int p = 0; p < 4; ++p) {
    CurvedPatchRecord rec;
    rec.Init(uint32_t(21 * (p / 2) + 3 * (p % 2)), 7, 0, false);
    cp->AddPatch(rec);
  }
  mesh->SetCurvedPatches(std::move(cp));
  return mesh;
}

// Vertex r n + c sits at x along r and y along c (the patches' facing) and keeps the grid's
// texture coordinate (c, r) / (n - 1).
std::unique_ptr<ShadedMesh> GridMesh(uint32_t n, bool withTable) {
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->CreateGrid(n, nullptr, 1));
  for (uint32_t v = 0; v < n * n; ++v) {
    mesh->positions[v] = Place(kGridStart + kGrid * (v / n) / (n - 1), kGridStart + kGrid * (v % n) / (n - 1));
  }
  if (withTable) {
    EXPECT_TRUE(mesh->BuildEdgeAdjacency());
    mesh->sharingTable = std::make_unique<VertexSharingTable>();
    EXPECT_TRUE(mesh->sharingTable->Build(*mesh, reinterpret_cast<const VertexSharingFace*>(mesh->faceRecords)));
  }
  return mesh;
}

}  // namespace

TEST(TerrainDataBuilderTest, CorrespondencesFollowTheSharedSurface) {
  // Cells of 3 put grid vertices on the patch corners; cells of 6 put every patch corner inside a face.
  for (uint32_t n : {7u, 4u}) {
    auto grid = GridMesh(n, true);
    const float cell = kGrid / (n - 1);
    std::vector<PatchTextureRecord> out;
    // A sheet lying apart finds nothing, and leaves none of its trees behind for the next sheet,
    // which may well be given the same memory.
    ASSERT_TRUE(TerrainPatchBuilder::Build(*PatchMesh(1.0f), *grid, out, 0.5f));
    EXPECT_TRUE(out.empty());
    auto patches = PatchMesh();
    ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *grid, out, 0.5f));
    std::map<uint32_t, size_t> records;
    for (const PatchTextureRecord& rec : out) {
      ASSERT_LT(rec.patch, 4u);
      ++records[rec.patch];
      EXPECT_EQ(rec.texture, 0u);
      ASSERT_GE(rec.points.size(), 3u);
      float cu = 0, cv = 0, previous = -10.0f;
      for (const auto& pt : rec.points) cu += pt.u / rec.points.size(), cv += pt.v / rec.points.size();
      for (const auto& pt : rec.points) {
        // Where patch p's (u, v) lies, the grid's texture coordinate in closed form.
        const float x = (rec.patch % 2 + pt.u) * kPatch, y = (rec.patch / 2 + pt.v) * kPatch;
        EXPECT_NEAR(pt.s, (y - kGridStart) / kGrid, 2e-4f);
        EXPECT_NEAR(pt.t, (x - kGridStart) / kGrid, 2e-4f);
        const float angle = std::atan2(pt.v - cv, pt.u - cu);  // once around the points' own mean
        EXPECT_GE(angle, previous);
        previous = angle;
      }
    }
    // The whole result, which the checks above hold for: patch corners on faces, border crossings
    // and dropped face corners, every point each step found.
    std::string text;
    for (const PatchTextureRecord& rec : out) {
      plat::AppendFormat(text, "patch %u:", rec.patch);
      for (const auto& pt : rec.points) plat::AppendFormat(text, " (%.4f %.4f %.4f %.4f)", pt.u, pt.v, pt.s, pt.t);
      text += '\n';
    }
    testing_support::ExpectGolden(text, "physics/golden/terrain_records_" + std::to_string(n) + ".txt");
    // Each triangle wholly inside one patch's square drops its corners onto that patch.
    std::map<uint32_t, size_t> needed;
    for (uint32_t c = 0; c < (n - 1) * (n - 1); ++c) {
      const float x0 = kGridStart + cell * (c / (n - 1)), y0 = kGridStart + cell * (c % (n - 1));
      const int px = int(std::floor(x0 / kPatch)), py = int(std::floor(y0 / kPatch));
      if (x0 >= 0 && y0 >= 0 && x0 + cell <= (px + 1) * kPatch && y0 + cell <= (py + 1) * kPatch)
        needed[py * 2 + px] += 2;
    }
    ASSERT_EQ(needed.size(), n == 7 ? 4u : 1u);
    for (const auto& [patch, count] : needed) EXPECT_GE(records[patch], count) << patch;
  }
}

TEST(TerrainDataBuilderTest, SurfacesApartOrInputsMissingGiveNothing) {
  testing_support::DebugCapture log;
  auto patches = PatchMesh();
  auto grid = GridMesh(4, true);
  std::vector<PatchTextureRecord> out(2);
  // Lifted 2 off the patches along their normal: found only by a search that reaches that far.
  for (uint32_t v = 0; v < grid->vertexCount; ++v) grid->positions[v] += kNormal * 2.0f;
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *grid, out, 1.0f));
  EXPECT_TRUE(out.empty());
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *grid, out, 2.5f));
  EXPECT_FALSE(out.empty());

  ShadedMesh noPatches;
  auto noTable = GridMesh(4, false);
  ASSERT_TRUE(TerrainPatchBuilder::Build(noPatches, *grid, out, 2.5f));
  EXPECT_TRUE(out.empty());
  out.resize(1);
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *noTable, out, 2.5f));
  EXPECT_TRUE(out.empty());
  out.resize(1);
  for (float bad : {-1.0f, NAN, INFINITY}) EXPECT_FALSE(TerrainPatchBuilder::Build(*patches, *grid, out, bad));
  EXPECT_TRUE(out.empty());
  // A face index past the vertices is refused before anything is read through it.
  grid->indices[5] = uint16_t(grid->vertexCount + 3);
  EXPECT_FALSE(TerrainPatchBuilder::Build(*patches, *grid, out, 2.5f));
  EXPECT_NE(log.Text().find("TerrainPatchBuilder: triangle mesh arrays do not agree"), std::string::npos);
}
