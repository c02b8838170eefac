// Polygon sets drawn as lines: every edge round each polygon in outline, the edges of every fan
// triangle otherwise, against the lines listed by hand.
#include <gtest/gtest.h>

#include <vector>

#include "render/view/RenderDebug.h"
#include "scene/mesh/TextureProperties.h"
#include "tests/support/SceneDrawRecorder.h"

namespace {

using Segment = std::pair<Vector3, Vector3>;

std::vector<Segment> Drawn(const std::vector<std::vector<Vector3>>& set, bool outlineOnly) {
  testing_support::SceneDrawRecorder view;
  DrawDebugPolygons(view, set, 0xFF123456u, outlineOnly);
  std::vector<Segment> out;
  for (const testing_support::SceneDrawRecorder::Line& l : view.lines) {
    EXPECT_EQ(l.colour, 0xFF123456u);
    out.emplace_back(l.a, l.b);
  }
  return out;
}

}  // namespace

TEST(RenderDebugPolygons, OutlinesGoRoundAndFillsDrawEveryFanTriangle) {
  const Vector3 p[5] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 1}, {-1, 0.5f, 0}};
  const std::vector<std::vector<Vector3>> set = {{p[0], p[1], p[2], p[3], p[4]}, {}, {p[1], p[3]}, {p[2], p[0], p[4]}};
  const std::vector<Segment> outline = {{p[0], p[1]}, {p[1], p[2]}, {p[2], p[3]}, {p[3], p[4]},
                                        {p[4], p[0]}, {p[1], p[3]}, {p[3], p[1]},  // two corners: there and back
                                        {p[2], p[0]}, {p[0], p[4]}, {p[4], p[2]}};
  EXPECT_EQ(Drawn(set, true), outline);
  // Fans from corner 0; a polygon of two corners has no triangle.
  const std::vector<Segment> fans = {{p[0], p[1]}, {p[1], p[2]}, {p[2], p[0]}, {p[0], p[2]},
                                     {p[2], p[3]}, {p[3], p[0]}, {p[0], p[3]}, {p[3], p[4]},
                                     {p[4], p[0]}, {p[2], p[0]}, {p[0], p[4]}, {p[4], p[2]}};
  EXPECT_EQ(Drawn(set, false), fans);
  EXPECT_TRUE(Drawn({}, false).empty());
}
