// Tests of the fractal height field: grid sizes, heights inside the bound the displacement
// amplitudes allow, repeatability per seed, closed grid topology with one winding, and the
// refusal of grids the 16-bit face indices cannot address.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "physics/terrain/FractalTerrain.h"
#include "platform/system/Platform.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"

namespace {

const float kBox[6] = {-50.0f, 10.0f, 2.0f, 70.0f, 90.0f, 12.0f};

std::unique_ptr<ShadedMesh> Make(unsigned seed, float roughness, uint32_t levels, bool alongZ) {
  plat::srand(seed);
  return GenerateFractalTerrain(kBox, roughness, levels, nullptr, alongZ);
}

}  // namespace

TEST(FractalTerrainTest, GridSizesAndHeightBounds) {
  for (uint32_t levels = 0; levels <= kMaxFractalTerrainLevels; ++levels) {
    for (float roughness : {0.3f, 2.5f}) {
      auto mesh = Make(7 + levels, roughness, levels, true);
      ASSERT_NE(mesh, nullptr);
      const uint32_t n = (1u << levels) + 1;
      ASSERT_EQ(mesh->vertexCount, n * n);
      ASSERT_EQ(mesh->faceCount, 2 * (n - 1) * (n - 1));
      EXPECT_EQ(std::count(mesh->faceAttributes, mesh->faceAttributes + mesh->faceCount, 0u), mesh->faceCount);
      // Each level moves a point at most half its amplitude from the mean of its base points.
      float slack = 1e-3f;
      for (uint32_t k = 0; k < levels; ++k) slack += std::min(1.0f, roughness / float(1u << k)) * 10.0f * 0.5f;
      for (uint32_t v = 0; v < n * n; ++v) {
        const Vector3& p = mesh->positions[v];
        // Straight-up displacement keeps the grid regular: column v % n along y, row v / n along x.
        EXPECT_NEAR(p.x, kBox[0] + 120.0f * (v / n) / (n - 1), 1e-3f);
        EXPECT_NEAR(p.y, kBox[1] + 80.0f * (v % n) / (n - 1), 1e-3f);
        const bool corner = (v % n == 0 || v % n == n - 1) && (v / n == 0 || v / n == n - 1);
        ASSERT_GE(p.z, kBox[2] - (corner ? 0.0f : slack));
        ASSERT_LE(p.z, kBox[5] + (corner ? 0.0f : slack));
      }
    }
  }
}

TEST(FractalTerrainTest, SeedsRepeatAndRoughnessClamps) {
  for (bool alongZ : {true, false}) {
    auto a = Make(1234, 0.8f, 5, alongZ), b = Make(1234, 0.8f, 5, alongZ), c = Make(1235, 0.8f, 5, alongZ);
    bool differs = false;
    for (uint32_t v = 0; v < a->vertexCount; ++v) {
      ASSERT_TRUE(a->positions[v] == b->positions[v]);
      differs |= !(a->positions[v] == c->positions[v]);
    }
    EXPECT_TRUE(differs);
    // Without roughness every new point is a mean of earlier ones: the surface stays inside
    // the box of its four corners, however the squares' normals tilt.
    auto smooth = Make(5, 0.0f, 4, alongZ);
    Box corners(smooth->positions[0], smooth->positions[0]);
    for (uint32_t i : {16u, 272u, 288u}) corners.ExtendByPoint(smooth->positions[i]);
    corners.Inflate(Vector3(1e-3f, 1e-3f, 1e-3f));
    for (uint32_t v = 0; v < smooth->vertexCount; ++v) ASSERT_TRUE(corners.ContainsBox(Box(smooth->positions[v], smooth->positions[v])));
  }
  // Four corners, then five draws per square of every level: the generator ends exactly that
  // far along, so a caller's later draws repeat too.
  for (uint32_t levels = 0; levels <= 3; ++levels) {
    plat::srand(99);
    for (uint32_t i = 0, draws = 4 + 5 * ((1u << 2 * levels) - 1) / 3; i < draws; ++i) plat::rand();
    const int expected = plat::rand();
    Make(99, 0.5f, levels, true);
    EXPECT_EQ(plat::rand(), expected) << levels;
  }
  // Roughness above 1 acts as 1 on the first level only; the halving starts from the raw value.
  auto one = Make(77, 1.0f, 2, true), more = Make(77, 1.6f, 2, true);
  for (uint32_t v : {2u, 10u, 12u, 14u, 22u}) EXPECT_EQ(one->positions[v].z, more->positions[v].z);
  EXPECT_NE(one->positions[1].z, more->positions[1].z);
}

TEST(FractalTerrainTest, ClosedGridWithOneWinding) {
  for (uint32_t levels : {0u, 1u, 3u, 6u}) {
    auto mesh = Make(11, 0.9f, levels, true);
    const uint32_t n = (1u << levels) + 1;
    std::map<std::pair<uint32_t, uint32_t>, int> directed;
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      const uint16_t* t = mesh->indices + 3 * f;
      for (int k = 0; k < 3; ++k) ++directed[{t[k], t[(k + 1) % 3]}];
      // Heights move along z only, so every face keeps its flat cell's winding:
      // (p2 - p0) x (p1 - p0) points down on this grid.
      const Vector3 &p0 = mesh->positions[t[0]], &p1 = mesh->positions[t[1]], &p2 = mesh->positions[t[2]];
      EXPECT_LT((p2 - p0).Cross(p1 - p0).z, 0.0f);
    }
    uint32_t border = 0, interior = 0;
    for (const auto& [edge, count] : directed) {
      ASSERT_EQ(count, 1) << "edge used twice in one direction";
      if (directed.count({edge.second, edge.first})) {
        ++interior;
        continue;
      }
      ++border;
      const uint32_t a = edge.first, b = edge.second;
      EXPECT_TRUE((a / n == b / n && (a / n == 0 || a / n == n - 1)) || (a % n == b % n && (a % n == 0 || a % n == n - 1)));
    }
    EXPECT_EQ(border, 4 * (n - 1));
    EXPECT_EQ(int64_t(mesh->vertexCount) - (border + interior / 2) + int64_t(mesh->faceCount), 1);  // a disc
  }
}

TEST(FractalTerrainTest, RefusesGridsAndSquaresThatDoNotFit) {
  testing_support::DebugCapture log;
  for (uint32_t levels : {8u, 31u, 32u, 0xFFFFFFFFu}) EXPECT_EQ(GenerateFractalTerrain(kBox, 0.5f, levels, nullptr, true), nullptr);
  EXPECT_NE(log.Text().find("FractalTerrain: too many levels"), std::string::npos);
  EXPECT_EQ(GenerateFractalTerrain(nullptr, 0.5f, 2, nullptr, true), nullptr);

  std::vector<Vector3> grid(25, Vector3(1.0f, 2.0f, 3.0f));
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 2, 0, 2, 5, 1.0f, 1.0f, true));  // reaches column 6
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 0, 3, 1, 5, 1.0f, 1.0f, true));  // reaches row 5
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 0, 0, 0, 5, 1.0f, 1.0f, true));
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 0, 0, 0x80000000u, 5, 1.0f, 1.0f, true));
  EXPECT_FALSE(DisplaceTerrainMidpoints(nullptr, 0, 0, 1, 5, 1.0f, 1.0f, true));
  for (const Vector3& p : grid) EXPECT_EQ(p.z, 3.0f);
  // The square filling the grid fits; with no height range every point lands on the plane of the corners.
  for (uint32_t v : {0u, 4u, 20u, 24u}) grid[v].z = float(v % 5);
  EXPECT_TRUE(DisplaceTerrainMidpoints(grid.data(), 0, 0, 2, 5, 0.0f, 1.0f, true));
  for (uint32_t v = 0; v < 25; ++v) EXPECT_EQ(grid[v].z, float(v % 5)) << v;
}
