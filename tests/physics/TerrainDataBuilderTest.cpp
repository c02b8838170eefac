// Tests of the terrain data builder on a patch sheet and a textured grid lying in one
// (tilted) plane, where every correspondence has a closed form: the texture coordinate is
// an affine function of the patch parameters. Also the angular order, the pairs that must
// and must not appear, and refused inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "physics/TerrainDataBuilder.h"
#include "scene/CurvedPatch.h"
#include "scene/ShadedMesh.h"
#include "scene/VertexSharingTable.h"
#include "tests/support/TempFolder.h"

namespace {

// A tilt, so that the search direction is no coordinate axis.
Vector3 Place(float x, float y) {
  const float c = 0.8f, s = 0.6f;  // rotation about the x axis
  return Vector3(x, c * y, s * y) + Vector3(1.0f, -2.0f, 3.0f);
}

constexpr float kPatchSize = 12.0f;
constexpr float kGridStart = -3.0f, kGridSize = 18.0f;  // the grid overhangs the 2 x 2 sheet's first patch

// 2 x 2 flat patches, each kPatchSize square: patch (px, py) covers
// [px, px + 1] x [py, py + 1] times kPatchSize.
std::unique_ptr<ShadedMesh> PatchMesh() {
  auto mesh = std::make_unique<ShadedMesh>();
  auto* cp = new CurvedPatch();
  const int cols = 7;
  for (int r = 0; r < cols; ++r) {
    for (int c = 0; c < cols; ++c) {
      CurvedPatchControlVertex v;
      v.position = Place(c * kPatchSize / 3.0f, r * kPatchSize / 3.0f);
      cp->AddControlVertex(v);
    }
  }
  cp->AddFace(CurvedPatchFace{0, {0, 0, 0}});
  for (int py = 0; py < 2; ++py) {
    for (int px = 0; px < 2; ++px) {
      CurvedPatchRecord rec;
      rec.Init(uint32_t(3 * py * cols + 3 * px), cols, 0, false);
      cp->AddPatch(rec);
    }
  }
  mesh->SetCurvedPatches(cp);
  return mesh;
}

// n x n grid over [kGridStart, kGridStart + kGridSize]^2 with the grid's own texture
// coordinates. Vertex r n + c sits at x along r and y along c, which gives its faces the same
// facing as the patches; its texture coordinate is (c, r) / (n - 1).
std::unique_ptr<ShadedMesh> GridMesh(uint32_t n, bool withTable) {
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->CreateGrid(n, nullptr, 1));
  for (uint32_t r = 0; r < n; ++r) {
    for (uint32_t c = 0; c < n; ++c) {
      mesh->positions[r * n + c] = Place(kGridStart + kGridSize * r / (n - 1), kGridStart + kGridSize * c / (n - 1));
    }
  }
  if (withTable) {
    EXPECT_TRUE(mesh->BuildEdgeAdjacency());
    mesh->sharingTable = new VertexSharingTable();
    EXPECT_TRUE(mesh->sharingTable->Build(*mesh, reinterpret_cast<const VertexSharingFace*>(mesh->faceRecords)));
  }
  return mesh;
}

// Where patch p's (u, v) lies, the grid's texture coordinate in closed form.
void Expected(uint32_t p, float u, float v, float& s, float& t) {
  const float x = (float(p % 2) + u) * kPatchSize, y = (float(p / 2) + v) * kPatchSize;
  s = (y - kGridStart) / kGridSize;
  t = (x - kGridStart) / kGridSize;
}

}  // namespace

TEST(TerrainDataBuilderTest, CorrespondencesFollowTheSharedSurface) {
  auto patches = PatchMesh();
  auto grid = GridMesh(7, true);  // cells of 3 units, so some faces straddle patch borders
  std::vector<PatchTextureRecord> out;
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *grid, out, 0.5f));
  ASSERT_FALSE(out.empty());

  size_t points = 0;
  for (const PatchTextureRecord& rec : out) {
    ASSERT_LT(rec.patch, 4u);
    EXPECT_EQ(rec.texture, 0u);
    ASSERT_GE(rec.points.size(), 3u);
    float cu = 0, cv = 0;
    for (const auto& pt : rec.points) {
      cu += pt.u / rec.points.size();
      cv += pt.v / rec.points.size();
    }
    float previous = -10.0f;
    for (const auto& pt : rec.points) {
      EXPECT_GE(pt.u, -1e-4f);
      EXPECT_LE(pt.u, 1.0f + 1e-4f);
      EXPECT_GE(pt.v, -1e-4f);
      EXPECT_LE(pt.v, 1.0f + 1e-4f);
      float s, t;
      Expected(rec.patch, pt.u, pt.v, s, t);
      EXPECT_NEAR(pt.s, s, 2e-4f) << rec.patch << " " << pt.u << "," << pt.v;
      EXPECT_NEAR(pt.t, t, 2e-4f) << rec.patch << " " << pt.u << "," << pt.v;
      // Once around the points' own mean.
      const float angle = std::atan2(pt.v - cv, pt.u - cu);
      EXPECT_GE(angle, previous);
      previous = angle;
      ++points;
    }
  }
  EXPECT_GT(points, 3 * out.size());

  // A face wholly inside one patch's square drops its three corners onto that patch, so
  // each such triangle must give that patch a record.
  std::map<uint32_t, size_t> records, needed;
  for (const auto& rec : out) ++records[rec.patch];
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 6; ++c) {
      const float x0 = kGridStart + 3.0f * r, y0 = kGridStart + 3.0f * c;
      const int px = int(std::floor(x0 / kPatchSize)), py = int(std::floor(y0 / kPatchSize));
      if (x0 < 0 || y0 < 0 || px > 1 || py > 1) continue;
      if (x0 + 3 <= (px + 1) * kPatchSize && y0 + 3 <= (py + 1) * kPatchSize) needed[uint32_t(py * 2 + px)] += 2;
    }
  }
  ASSERT_EQ(needed.size(), 4u);
  for (const auto& [patch, count] : needed) EXPECT_GE(records[patch], count) << patch;

  // The records hold corners of the patches (0 or 1 in both parameters) as well as border
  // crossings (exactly one parameter 0 or 1) and dropped face corners (strictly inside).
  bool corner = false, border = false, interior = false;
  for (const auto& rec : out) {
    for (const auto& pt : rec.points) {
      const bool uEdge = pt.u == 0.0f || pt.u == 1.0f, vEdge = pt.v == 0.0f || pt.v == 1.0f;
      corner |= uEdge && vEdge;
      border |= uEdge != vEdge;
      interior |= pt.u > 0.01f && pt.u < 0.99f && pt.v > 0.01f && pt.v < 0.99f;
    }
  }
  EXPECT_TRUE(corner);
  EXPECT_TRUE(border);
  EXPECT_TRUE(interior);
}

TEST(TerrainDataBuilderTest, SurfacesApartOrInputsMissingGiveNothing) {
  testing_support::DebugCapture log;
  auto patches = PatchMesh();
  auto grid = GridMesh(4, true);
  std::vector<PatchTextureRecord> out(2);
  // Lifted off the patches by more than the search distance: no correspondences.
  for (uint32_t v = 0; v < grid->vertexCount; ++v) grid->positions[v] += Vector3(0.0f, -0.6f, 0.8f) * 2.0f;
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *grid, out, 1.0f));
  EXPECT_TRUE(out.empty());
  out.resize(1);
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *grid, out, 2.5f));
  EXPECT_FALSE(out.empty());

  ShadedMesh noPatches;
  ASSERT_TRUE(TerrainPatchBuilder::Build(noPatches, *grid, out, 2.5f));
  EXPECT_TRUE(out.empty());
  auto noTable = GridMesh(4, false);
  ASSERT_TRUE(TerrainPatchBuilder::Build(*patches, *noTable, out, 2.5f));
  EXPECT_TRUE(out.empty());

  out.resize(1);
  EXPECT_FALSE(TerrainPatchBuilder::Build(*patches, *grid, out, -1.0f));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(TerrainPatchBuilder::Build(*patches, *grid, out, NAN));
  EXPECT_FALSE(TerrainPatchBuilder::Build(*patches, *grid, out, INFINITY));
  // A face index past the vertices is refused before anything is read through it.
  grid->indices[5] = uint16_t(grid->vertexCount + 3);
  EXPECT_FALSE(TerrainPatchBuilder::Build(*patches, *grid, out, 2.5f));
  EXPECT_NE(log.Text().find("TerrainPatchBuilder: triangle mesh arrays do not agree"), std::string::npos);
}
