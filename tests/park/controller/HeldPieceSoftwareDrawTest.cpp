// The in-game controller's frame drawn by the software back end from the orthographic build
// view: a piece in the hand and the square under the pointer must reach the pixels, although
// both are drawn after the opaque terrain and write no depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "render/software/SpanFillers.h"
#include "tests/park/controller/GameLogicTestPark.h"

namespace control_test {
namespace {

struct SoftwarePark : ControllerPark {
  SoftwarePark() {
    DisplayMode mode;
    mode.width = 640, mode.height = 480, mode.bits = 16, mode.fullScreen = 1;
    EXPECT_TRUE(software.Init(nullptr, mode));
    softwareView.Setup(&software, nullptr, park->GetFogState(), park->GetLightList(), 31);
    park->SetRenderView(&softwareView);
    logic->UpdateCamera(0.0f);
    // Close enough that a square is some twenty pixels across.
    for (int i = 0; i < 8; ++i) logic->ZoomIn();
  }
  ~SoftwarePark() override { park->SetRenderView(&renderView); }

  // One whole frame of the controller, cleared to blue first; the pixels it left. The unlit
  // terrain is drawn black.
  std::vector<uint16_t> Frame() {
    software.Clear(true, true, kBackground);
    PixelBufferDesc* locked = nullptr;
    logic->Draw(&softwareView, &locked);
    const PixelBufferDesc& d = *software.GetBackBufferDesc();
    std::vector<uint16_t> out(static_cast<size_t>(d.width) * d.height);
    for (uint32_t y = 0; y < d.height; ++y)
      for (uint32_t x = 0; x < d.width; ++x)
        out[y * d.width + x] = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(d.pixels) +
                                                                 d.pitch * y)[x];
    return out;
  }
  static uint16_t At(const std::vector<uint16_t>& frame, const ProjectedPoint& p) {
    return frame[static_cast<size_t>(std::lround(p.y)) * 640 + static_cast<size_t>(std::lround(p.x))];
  }

  static constexpr uint32_t kBackground = 0xFF0000F8u;
  CSoftwareTextureStore store;
  CSoftwareRasterizer software{&store};
  CRenderView softwareView;
};

TEST_F(SoftwarePark, AHeldPieceChangesThePixelsWhereItStands) {
  ASSERT_TRUE(park->GetCurrentCamera()->GetView().IsOrthographic()) << "the build view";
  const Vector3 top(5.0f, 9.0f, 0.5f);  // the middle of the decking's top, two squares wide
  const ProjectedPoint centre = Project(top);
  ASSERT_GT(centre.x, 0.0f);
  ASSERT_LT(centre.x, 639.0f);
  ASSERT_GT(centre.y, 0.0f);
  ASSERT_LT(centre.y, 479.0f);
  const std::vector<uint16_t> empty = Frame();
  const uint16_t ground = At(empty, centre);
  EXPECT_EQ(ground, 0) << "the terrain is drawn there";

  COrientation frame;
  frame.position = Vector3(4.0f, 8.0f, 0.0f);
  const uint32_t id = logic->BuyObject(catalog.defs[0], frame);
  ASSERT_NE(id, CGameLogic::kNone);
  ASSERT_EQ(logic->GetHeldObjectId(), id);
  ASSERT_TRUE(Piece(id)->IsHeld());
  ASSERT_LT(Piece(id)->GetMeshInstance()->GetAlpha(), 1.0f);
  const std::vector<uint16_t> held = Frame();
  EXPECT_NE(At(held, centre), ground) << "the held piece is hidden by the terrain drawn before it";
  int changed = 0;
  for (size_t i = 0; i < held.size(); ++i) changed += held[i] != empty[i] ? 1 : 0;
  EXPECT_GT(changed, 400) << "a two-square piece covers a patch of the frame";

  // Placed, the same piece is opaque and still shows; far from it the frame is as before.
  ASSERT_TRUE(logic->CanPlaceHeldObject());
  logic->PlaceHeldObject(id);
  ASSERT_FALSE(Piece(id)->IsHeld());
  const std::vector<uint16_t> placed = Frame();
  EXPECT_NE(At(placed, centre), ground);
  const ProjectedPoint away = Project(Vector3(13.5f, 3.5f, 0.0f));
  EXPECT_EQ(At(placed, away), At(empty, away));

  // A copy in the hand over the placed one: its squares are red, laid over the piece in the hand.
  const uint32_t copy = logic->BuyObject(catalog.defs[0], frame);
  ASSERT_NE(copy, CGameLogic::kNone);
  ASSERT_FALSE(logic->CanPlaceHeldObject());
  const std::vector<uint16_t> over = Frame();
  const ProjectedPoint square = Project(Grid().GetSquareCentre(4, 8));
  const uint16_t red = At(over, square);
  EXPECT_GE((red >> 10) & 0x1F, 8u) << std::hex << red;
  EXPECT_EQ(At(over, away), At(empty, away));
}

// With nothing in the hand the square under the pointer is laid over the terrain in its
// see-through colour, a quarter of it over three quarters of the ground.
TEST_F(SoftwarePark, TheSquareUnderThePointerShowsOverTheTerrain) {
  const std::vector<uint16_t> before = Frame();
  PointAtSquare(10, 5);
  ASSERT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  const std::vector<uint16_t> pointed = Frame();
  const ProjectedPoint centre = Project(Grid().GetSquareCentre(10, 5));
  const uint16_t white = CSoftwareRasterizer::To555(CGameLogic::kCursorSquareColour);
  EXPECT_EQ(At(pointed, centre), SpanFillers::Blend555(white, At(before, centre), 0x3F));
  EXPECT_EQ(At(pointed, centre), 0x2108) << "8 of 31 in each channel over the black ground";
  EXPECT_NE(At(before, centre), At(pointed, centre));
  // Only the one square changed: a neighbour's centre is as it was.
  const ProjectedPoint beside = Project(Grid().GetSquareCentre(12, 5));
  EXPECT_EQ(At(pointed, beside), At(before, beside));
}

// Far out, the terrain leaves the frame's corners empty: every pixel of a frame is drawn anew,
// black where nothing lies, so no earlier picture (a closed menu) stays on the screen.
TEST_F(SoftwarePark, EveryPixelIsDrawnAnewAndBlackBesideTheTerrain) {
  for (int i = 0; i < 16; ++i) logic->ZoomOut();
  logic->UpdateCamera(0.0f);
  const std::vector<uint16_t> frame = Frame();
  const uint16_t stale = CSoftwareRasterizer::To555(kBackground);
  EXPECT_EQ(std::count(frame.begin(), frame.end(), stale), 0);
  for (size_t corner : {size_t{0}, size_t{639}, frame.size() - 640, frame.size() - 1})
    EXPECT_EQ(frame[corner], CSoftwareRasterizer::To555(CGameLogic::kBackdropColour)) << corner;
}

}  // namespace
}  // namespace control_test
