// Tests of the fractal height field: grid sizes, heights inside the bound the displacement
// amplitudes allow, repeatability per seed, closed grid topology with one winding, and the
// refusal of grids the 16-bit face indices cannot address.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "physics/FractalTerrain.h"
#include "platform/Platform.h"
#include "scene/ShadedMesh.h"
#include "tests/support/TempFolder.h"

namespace {

const float kBox[6] = {-50.0f, 10.0f, 2.0f, 70.0f, 90.0f, 12.0f};

std::unique_ptr<ShadedMesh> Make(unsigned seed, float roughness, uint32_t levels, bool alongZ) {
  plat::srand(seed);
  return std::unique_ptr<ShadedMesh>(GenerateFractalTerrain(kBox, roughness, levels, nullptr, alongZ));
}

// Largest distance a point can move from the mean of its base points over the whole
// recursion: half the amplitude of every level, roughness halving per level and clamped.
float DisplacementBound(float roughness, uint32_t levels) {
  float total = 0.0f;
  for (uint32_t k = 0; k < levels; ++k) total += std::min(1.0f, roughness / float(1u << k)) * (kBox[5] - kBox[2]) * 0.5f;
  return total;
}

}  // namespace

TEST(FractalTerrainTest, GridSizesAttributesAndHeightBounds) {
  for (uint32_t levels = 0; levels <= kMaxFractalTerrainLevels; ++levels) {
    for (float roughness : {0.3f, 1.0f, 2.5f}) {
      auto mesh = Make(7 + levels, roughness, levels, true);
      ASSERT_NE(mesh, nullptr) << levels;
      const uint32_t n = (1u << levels) + 1;
      ASSERT_EQ(mesh->vertexCount, n * n);
      ASSERT_EQ(mesh->faceCount, 2 * (n - 1) * (n - 1));
      ASSERT_NE(mesh->faceAttributes, nullptr);
      EXPECT_TRUE(std::all_of(mesh->faceAttributes, mesh->faceAttributes + mesh->faceCount,
                              [](uint32_t w) { return w == 0; }));
      const float slack = DisplacementBound(roughness, levels) + 1e-3f;
      for (uint32_t j = 0; j < n; ++j) {
        for (uint32_t i = 0; i < n; ++i) {
          const Vector3& p = mesh->positions[j * n + i];
          // Straight-up displacement keeps the grid regular: column i runs along y, row j along x.
          EXPECT_NEAR(p.x, kBox[0] + (kBox[3] - kBox[0]) * j / (n - 1), 1e-3f);
          EXPECT_NEAR(p.y, kBox[1] + (kBox[4] - kBox[1]) * i / (n - 1), 1e-3f);
          ASSERT_GE(p.z, kBox[2] - slack);
          ASSERT_LE(p.z, kBox[5] + slack);
        }
      }
      for (uint32_t corner : {0u, n - 1, (n - 1) * n, n * n - 1}) {
        EXPECT_GE(mesh->positions[corner].z, kBox[2]);
        EXPECT_LE(mesh->positions[corner].z, kBox[5]);
      }
    }
  }
}

TEST(FractalTerrainTest, SameSeedSameSurfaceAndEveryDrawAccountedFor) {
  for (bool alongZ : {true, false}) {
    auto a = Make(1234, 0.8f, 5, alongZ);
    auto b = Make(1234, 0.8f, 5, alongZ);
    auto c = Make(1235, 0.8f, 5, alongZ);
    ASSERT_TRUE(a && b && c);
    bool differs = false;
    for (uint32_t v = 0; v < a->vertexCount; ++v) {
      EXPECT_EQ(a->positions[v].x, b->positions[v].x);
      EXPECT_EQ(a->positions[v].y, b->positions[v].y);
      EXPECT_EQ(a->positions[v].z, b->positions[v].z);
      differs |= a->positions[v].z != c->positions[v].z;
      ASSERT_TRUE(std::isfinite(a->positions[v].x) && std::isfinite(a->positions[v].y) &&
                  std::isfinite(a->positions[v].z));
    }
    EXPECT_TRUE(differs);
  }
  // Four corners, then five draws for every square of every level: the generator must be
  // exactly that far along afterwards (so a caller's later draws repeat too).
  for (uint32_t levels = 0; levels <= 3; ++levels) {
    plat::srand(99);
    uint32_t draws = 4;
    for (uint32_t k = 0, squares = 1; k < levels; ++k, squares *= 4) draws += 5 * squares;
    for (uint32_t i = 0; i < draws; ++i) plat::rand();
    const int expected = plat::rand();
    auto mesh = Make(99, 0.5f, levels, true);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(plat::rand(), expected) << levels;
  }
}

TEST(FractalTerrainTest, SmoothAndOverRoughSurfaces) {
  // Without roughness every new point is a mean of earlier ones, so the whole surface stays
  // inside the box of its four corners, tilted displacement or not.
  for (bool alongZ : {true, false}) {
    auto mesh = Make(5, 0.0f, 4, alongZ);
    ASSERT_NE(mesh, nullptr);
    const uint32_t n = 17;
    Box corners(mesh->positions[0], mesh->positions[0]);
    for (uint32_t c : {n - 1, (n - 1) * n, n * n - 1}) corners.ExtendByPoint(mesh->positions[c]);
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
      const Vector3& p = mesh->positions[v];
      for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(p[axis], corners.min[axis] - 1e-3f);
        EXPECT_LE(p[axis], corners.max[axis] + 1e-3f);
      }
    }
  }
  // Roughness above 1 acts as 1 on the first level only; the halving starts from the raw value.
  auto one = Make(77, 1.0f, 1, true), more = Make(77, 1.6f, 1, true);
  for (uint32_t v = 0; v < 9; ++v) EXPECT_EQ(one->positions[v].z, more->positions[v].z);
  auto one2 = Make(77, 1.0f, 2, true), more2 = Make(77, 1.6f, 2, true);
  bool differs = false;
  for (uint32_t v = 0; v < 25; ++v) differs |= one2->positions[v].z != more2->positions[v].z;
  EXPECT_TRUE(differs);
}

TEST(FractalTerrainTest, ClosedGridWithOneWinding) {
  for (uint32_t levels : {0u, 1u, 3u, 6u}) {
    auto mesh = Make(11, 0.9f, levels, true);
    ASSERT_NE(mesh, nullptr);
    const uint32_t n = (1u << levels) + 1;
    std::map<std::pair<uint32_t, uint32_t>, int> directed;
    for (uint32_t f = 0; f < mesh->faceCount; ++f) {
      const uint16_t* t = mesh->indices + 3 * f;
      for (int k = 0; k < 3; ++k) {
        ASSERT_LT(t[k], mesh->vertexCount);
        ++directed[{t[k], t[(k + 1) % 3]}];
      }
      // Heights only move along z, so every face keeps the winding of its flat cell:
      // (p2 - p0) x (p1 - p0) points down for this grid.
      const Vector3 &p0 = mesh->positions[t[0]], &p1 = mesh->positions[t[1]], &p2 = mesh->positions[t[2]];
      EXPECT_LT((p2 - p0).Cross(p1 - p0).z, 0.0f);
    }
    uint32_t border = 0, interior = 0;
    for (const auto& [edge, count] : directed) {
      ASSERT_EQ(count, 1) << "edge used twice in one direction";
      if (directed.count({edge.second, edge.first})) {
        ++interior;
      } else {
        ++border;
        // Border edges lie on the grid's outline.
        const uint32_t a = edge.first, b = edge.second;
        const bool onOutline = (a / n == b / n && (a / n == 0 || a / n == n - 1)) ||
                               (a % n == b % n && (a % n == 0 || a % n == n - 1));
        EXPECT_TRUE(onOutline) << a << "-" << b;
      }
    }
    EXPECT_EQ(border, 4 * (n - 1));
    // A disc: V - E + F = 1.
    const int64_t edges = border + interior / 2;
    EXPECT_EQ(int64_t(mesh->vertexCount) - edges + int64_t(mesh->faceCount), 1);
  }
}

TEST(FractalTerrainTest, RefusesGridsAndSquaresThatDoNotFit) {
  testing_support::DebugCapture log;
  for (uint32_t levels : {8u, 9u, 31u, 32u, 0xFFFFFFFFu}) {
    plat::srand(1);
    EXPECT_EQ(GenerateFractalTerrain(kBox, 0.5f, levels, nullptr, true), nullptr) << levels;
  }
  EXPECT_NE(log.Text().find("FractalTerrain: too many levels"), std::string::npos);
  EXPECT_EQ(GenerateFractalTerrain(nullptr, 0.5f, 2, nullptr, true), nullptr);

  std::vector<Vector3> grid(25, Vector3(1.0f, 2.0f, 3.0f));
  const auto untouched = grid;
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 2, 0, 2, 5, 1.0f, 1.0f, true));  // reaches column 6
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 0, 0, 0, 5, 1.0f, 1.0f, true));
  EXPECT_FALSE(DisplaceTerrainMidpoints(grid.data(), 0, 0, 0x80000000u, 5, 1.0f, 1.0f, true));
  EXPECT_FALSE(DisplaceTerrainMidpoints(nullptr, 0, 0, 1, 5, 1.0f, 1.0f, true));
  for (size_t i = 0; i < grid.size(); ++i) EXPECT_EQ(grid[i].z, untouched[i].z);
  EXPECT_TRUE(DisplaceTerrainMidpoints(grid.data(), 2, 2, 1, 5, 1.0f, 0.0f, true));
  EXPECT_EQ(grid[3 * 5 + 3].z, 3.0f);
}
