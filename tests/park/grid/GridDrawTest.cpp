// The grid's debug overlays through a render view on the recording back end: every recorded
// corner is projected back into the world and must lie on the square or move it stands for.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "park/grid/Grid.h"
#include "park/world/VerezIvor.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/RecordingScene.h"

namespace {

constexpr float kFov = testing_support::RecordingScene::kFieldOfView;

// A camera at the world origin looking along +x, whose view axes are the world's, in a begun frame.
struct Scene : testing_support::RecordingScene {
  Scene() {
    EXPECT_TRUE(Begin());
    rasterizer.Forget();
  }
};

// The world point a recorded vertex came from, undoing the pinhole projection by hand.
Vector3 WorldOf(const ScreenVertex& v) {
  const float depth = 1.0f / v.rhw;
  const float perPixel = std::tan(0.5f * kFov) * depth / 320.0f;
  return Vector3(depth, (320.0f - v.x) * perPixel, (240.0f - v.y) * perPixel);
}

bool Near(const Vector3& a, const Vector3& b, float tolerance) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

// 3 x 3 squares from (5, -1.5) ahead of the camera and below it; corner heights climb with the column.
struct DrawnGrid : ::testing::Test {
  DrawnGrid() : grid(3, 3, Vector3(5.0f, -1.5f, -1.0f), 1.0f, 1.0f) {
    for (int i = 0; i < grid.GetSquareCount(); ++i) {
      CGridSquare* s = grid.GetSquareByIndex(i);
      Vector3 p = s->GetPosition();
      p.z = -1.0f + 0.1f * static_cast<float>(s->GetColumn());
      s->SetPosition(p);
    }
  }
  // The two triangles of draws[first] and draws[first + 1] cover exactly the square's four
  // corners at its corner height + 0.01, in the colour.
  void ExpectSquare(size_t first, int column, int row, uint32_t colour) {
    SCOPED_TRACE(testing::Message() << "square " << column << ", " << row);
    const auto& draws = scene.rasterizer.draws;
    ASSERT_LT(first + 1, draws.size());
    const float x = 5.0f + column, y = -1.5f + row, z = grid.GetSquare(column, row)->GetPosition().z + 0.01f;
    const Vector3 corners[4] = {{x, y, z}, {x + 1, y, z}, {x, y + 1, z}, {x + 1, y + 1, z}};
    int seen[4] = {};
    for (size_t d = first; d < first + 2; ++d) {
      EXPECT_FALSE(draws[d].lines);
      ASSERT_EQ(draws[d].indices.size(), 3u);
      for (uint16_t i : draws[d].indices) {
        const ScreenVertex& v = draws[d].vertices[i];
        EXPECT_EQ(v.diffuse, colour);
        int match = -1;
        for (int k = 0; k < 4; ++k)
          if (Near(WorldOf(v), corners[k], 2e-3f)) match = k;
        ASSERT_NE(match, -1) << WorldOf(v).x << " " << WorldOf(v).y << " " << WorldOf(v).z;
        ++seen[match];
      }
    }
    // The shared diagonal joins the lower-left and upper-right corners.
    EXPECT_EQ(seen[0], 2);
    EXPECT_EQ(seen[3], 2);
    EXPECT_EQ(seen[1], 1);
    EXPECT_EQ(seen[2], 1);
  }

  Scene scene;
  CGrid grid;
};

TEST_F(DrawnGrid, SquareIsTwoTrianglesOnItsCornersAndNothingOutside) {
  grid.DrawSquare(scene.view, 2, 1, 0xFF123456u);
  ASSERT_EQ(scene.rasterizer.draws.size(), 2u);
  ExpectSquare(0, 2, 1, 0xFF123456u);
  scene.rasterizer.Forget();
  grid.GetSquare(0, 2)->Draw(scene.view, 0xFF00FF00u);
  ASSERT_EQ(scene.rasterizer.draws.size(), 2u);
  ExpectSquare(0, 0, 2, 0xFF00FF00u);
  scene.rasterizer.Forget();
  grid.DrawSquare(scene.view, 3, 0, 0xFFFFFFFFu);
  grid.DrawSquare(scene.view, 0, -1, 0xFFFFFFFFu);
  grid.DrawSquareDirections(scene.view, -1, 0, 0xFFFFFFFFu);
  EXPECT_TRUE(scene.rasterizer.draws.empty());
}

TEST_F(DrawnGrid, StatesDrawOnlyBehindTheParkFlagOneColourEach) {
  grid.GetSquare(0, 0)->skateable = 0;
  grid.GetSquare(1, 0)->buildable = 0;
  grid.GetSquare(1, 1)->skateable = 0;  // both: the skating colour wins
  grid.GetSquare(1, 1)->buildable = 0;
  grid.GetSquare(2, 1)->nearPiece = 1;
  grid.GetSquare(0, 2)->nearPiece = 1;
  grid.GetSquare(0, 2)->buildable = 0;
  CVerezIvor park(nullptr, nullptr);
  park.DrawDebugOverlays(scene.view);  // no grid: nothing
  park.SetGrid(std::make_unique<CGrid>(3, 3, Vector3(5.0f, -1.5f, -1.0f), 1.0f, 1.0f));
  park.GetGrid()->GetSquare(1, 1)->skateable = 0;
  park.DrawDebugOverlays(scene.view);
  EXPECT_TRUE(scene.rasterizer.draws.empty());
  park.ToggleDebugFlag(CVerezIvor::kDebugSquareStates);
  park.DrawDebugOverlays(scene.view);
  EXPECT_EQ(scene.rasterizer.draws.size(), 2u);

  scene.rasterizer.Forget();
  grid.DrawSquareStates(scene.view);
  ASSERT_EQ(scene.rasterizer.draws.size(), 10u);
  ExpectSquare(0, 0, 0, CGrid::kUnskateableColour);
  ExpectSquare(2, 1, 0, CGrid::kUnbuildableColour);
  ExpectSquare(4, 1, 1, CGrid::kUnskateableColour);
  ExpectSquare(6, 2, 1, CGrid::kNearPieceColour);
  ExpectSquare(8, 0, 2, CGrid::kUnbuildableColour);
}

TEST_F(DrawnGrid, DirectionsAreALineAndAMarkerPerAllowedMove) {
  // From the middle: up, left, down-right and up-left; from a corner square a move off the grid.
  grid.GetSquare(1, 1)->directionMask = (1u << 0) | (1u << 3) | (1u << 5) | (1u << 6);
  grid.GetSquare(0, 0)->directionMask = 1u << 1;
  grid.DrawSquareDirections(scene.view, 0, 0, 0xFFFFFFFFu);
  EXPECT_TRUE(scene.rasterizer.draws.empty());
  grid.DrawSquareDirections(scene.view, 1, 1, 0xFF00FFFFu);
  const auto& draws = scene.rasterizer.draws;
  ASSERT_EQ(draws.size(), 4u * 13u);
  const GridCell targets[4] = {{1, 2}, {0, 1}, {2, 0}, {0, 2}};
  const Vector3 from = grid.GetSquare(1, 1)->GetPosition() + Vector3(0, 0, 0.01f);
  for (int m = 0; m < 4; ++m) {
    SCOPED_TRACE(m);
    const Vector3 to = grid.GetSquare(targets[m].column, targets[m].row)->GetPosition() + Vector3(0, 0, 0.01f);
    const auto& line = draws[13 * m];
    ASSERT_TRUE(line.lines);
    ASSERT_EQ(line.indices.size(), 2u);
    EXPECT_TRUE(Near(WorldOf(line.vertices[line.indices[0]]), from, 2e-3f));
    EXPECT_TRUE(Near(WorldOf(line.vertices[line.indices[1]]), to, 2e-3f));
    const Vector3 marker = from + (to - from) * 0.75f;
    for (int k = 1; k < 13; ++k)
      for (uint16_t i : draws[13 * m + k].indices) {
        const ScreenVertex& v = draws[13 * m + k].vertices[i];
        EXPECT_EQ(v.diffuse, 0xFF00FFFFu);
        EXPECT_TRUE(Near(WorldOf(v), marker, 0.05f + 2e-3f));
        EXPECT_FALSE(Near(WorldOf(v), marker, 0.05f - 2e-3f));  // on the box's surface, not inside
      }
  }
}

}  // namespace
