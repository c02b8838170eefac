// The controller's camera: tilt limits, following a skater, the far plane of the follow cameras,
// the overhead camera's clipping planes around the whole world, picking through the render
// view's own projection, zoom and pan limits, edge scrolling, keeping a held piece on the grid
// and ranking skaters by distance.
#include "core/data/ResourceTable.h"
#include "core/math/RayInfo.h"
#include "tests/park/controller/GameLogicTestPark.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentImages.h"

namespace control_test {
namespace {

float Pitch(const Vector3& d) { return std::atan2(d.z, std::sqrt(d.x * d.x + d.y * d.y)); }

TEST_F(ControllerPark, TiltStopsShortOfItsLimitsAndTurningKeepsThePitch) {
  const float start = Pitch(logic->GetViewDirection());
  EXPECT_NEAR(start, std::atan2(-2.0f, std::sqrt(2.0f)), 1e-6f);
  std::vector<float> pitches = {start};
  for (int i = 0; i < 6; ++i) {
    Action(CGameLogic::kActionTiltUp);
    pitches.push_back(Pitch(logic->GetViewDirection()));
  }
  // Two steps fit above -1.4; the third would pass it and is refused, as every one after it.
  EXPECT_NEAR(pitches[1], start - CGameLogic::kTiltStep, 1e-5f);
  EXPECT_NEAR(pitches[2], start - 2 * CGameLogic::kTiltStep, 1e-5f);
  for (int i = 3; i <= 6; ++i) EXPECT_EQ(pitches[i], pitches[2]) << i;
  for (int i = 0; i < 12; ++i) Action(CGameLogic::kActionTiltDown);
  const float low = Pitch(logic->GetViewDirection());
  EXPECT_LE(low, -0.1f);
  EXPECT_GT(low + CGameLogic::kTiltStep, -0.1f);
  const Vector3 before = logic->GetViewDirection();
  logic->RotateView(0.7f);
  EXPECT_NEAR(Pitch(logic->GetViewDirection()), Pitch(before), 1e-5f);
  EXPECT_NEAR(std::atan2(logic->GetViewDirection().y, logic->GetViewDirection().x),
              std::atan2(before.y, before.x) - 0.7f, 1e-5f);
}

TEST_F(ControllerPark, TheFocusFollowsTheSelectedSkater) {
  CSkater* skater = AddSkater(Vector3(5.0f, 5.0f, 0.5f));
  ASSERT_NE(skater, nullptr);
  const uint32_t id = skater->GetID();
  logic->SetFocus(Vector3(2.0f, 3.0f, 1.0f));
  skater->SetCentre(Vector3(22.0f, 3.0f, 0.5f));  // 20 units along x, the focus half a unit up
  logic->SetSelectedSkater(id);
  logic->FollowSelectedSkater(0.033f);
  EXPECT_NEAR(logic->GetFocus().x, 2.0f + 6.6f, 1e-4f);
  EXPECT_EQ(logic->GetFocus().y, 3.0f);
  EXPECT_EQ(logic->GetFocus().z, 1.0f);
  logic->FollowSelectedSkater(2.0f);
  EXPECT_EQ(logic->GetFocus().x, 22.0f);
  EXPECT_EQ(logic->GetFocus().z, 1.0f);
  // A selected skater that is gone is let go on the next tick.
  skater->MarkForRemoval();
  park->UpdateObjects(0.0f);
  Tick();
  EXPECT_EQ(logic->GetSelectedSkaterId(), CGameLogic::kNone);
}

TEST_F(ControllerPark, FollowCamerasReachAsFarAsTheParkLetsThemSee) {
  park->SetCurrentCamera(CGameLogic::kChaseCamera);
  const float distances[] = {0.0f, 0.1f, 0.3f, 1.0f};
  const float fars[] = {20.0f, 38.0f, 74.0f, 200.0f};
  for (int i = 0; i < 4; ++i) {
    park->GetParkState().viewDistance = distances[i];
    logic->UpdateCamera(0.033f);
    EXPECT_NEAR(park->GetCurrentCamera()->GetView().GetFar(), fars[i], 1e-4f) << i;
    EXPECT_EQ(park->GetCurrentCamera()->GetView().GetNear(), 0.4f);
    EXPECT_EQ(park->GetPlacementRefresh(2), 0u);
  }
}

// Every corner of the world box lies strictly between the overhead camera's clipping planes,
// wherever the focus and however the view is turned and tilted.
TEST_F(ControllerPark, TheOverheadCameraKeepsTheWholeWorldBetweenItsPlanes) {
  CGenericCam* camera = park->GetCurrentCamera();
  ASSERT_TRUE(camera->GetView().IsOrthographic());
  const Box world = park->GetOctree().GetRootBox();
  for (int turn = 0; turn < 8; ++turn)
    for (const Vector3& focus : {Vector3(0, 0, 0), Vector3(8, 8, 0), Vector3(16, 3, 0)}) {
      logic->SetFocus(focus);
      logic->RotateView(0.8f);
      if (turn % 2 == 0) logic->TiltView(turn < 4 ? -CGameLogic::kTiltStep : CGameLogic::kTiltStep);
      logic->UpdateCamera(0.0f);
      const ViewFrustum& view = camera->GetView();
      const COrientation& frame = camera->GetFrame();
      EXPECT_NEAR(frame.GetXAxis().Dot(logic->GetViewDirection()), 1.0f, 1e-5f);
      // The focus is on the view axis.
      const Vector3 toFocus = focus - frame.GetPosition();
      EXPECT_NEAR(toFocus.Dot(frame.GetYAxis()), 0.0f, 1e-3f);
      EXPECT_NEAR(toFocus.Dot(frame.GetZAxis()), 0.0f, 1e-3f);
      for (int i = 0; i < 8; ++i) {
        const float depth = (world.GetCorner(i) - frame.GetPosition()).Dot(frame.GetXAxis());
        EXPECT_GT(depth, view.GetNear()) << turn << " " << i;
        EXPECT_LT(depth, view.GetFar()) << turn << " " << i;
      }
      EXPECT_EQ(park->GetPlacementRefresh(1), 1u);
    }
}

// A piece near each screen corner, found where the render view draws it: the pick ray inverts
// the renderer's projection, for the overhead and for a perspective camera.
TEST_F(ControllerPark, APickUnderAScreenCornerHitsThePieceDrawnThere) {
  const Vector3 corners[4] = {Vector3(0, 0, 0), Vector3(14, 0, 0), Vector3(0, 14, 0), Vector3(14, 14, 0)};
  uint32_t ids[4];
  for (int i = 0; i < 4; ++i) ids[i] = PlaceAt(0, corners[i].x, corners[i].y);
  park->GetCurrentCamera()->GetView().SetOrthoWidth(26.0f);  // the grid fills the screen
  logic->SetFocus(Vector3(8.0f, 8.0f, 0.0f));
  logic->UpdateCamera(0.0f);
  COrientation eye;
  eye.position = Vector3(8.0f, -6.0f, 14.0f);
  eye.LookAt(Vector3(8.0f, 8.0f, 0.0f), true);
  float frame12[12];
  for (int row = 0; row < 3; ++row)
    for (int k = 0; k < 3; ++k) frame12[row * 3 + k] = eye.axes.m[row][k];
  for (int k = 0; k < 3; ++k) frame12[9 + k] = eye.position[k];
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "orthographic" : "perspective");
    if (pass == 1) {
      logic->SetPerspectiveView(true, frame12);
      ASSERT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kPieceCamera);
      park->GetCurrentCamera()->GetView().SetFieldOfView(CGameLogic::kPerspectiveFov);
    }
    for (int i = 0; i < 4; ++i) {
      const Vector3 top = corners[i] + Vector3(1.0f, 1.0f, 0.5f);
      const ProjectedPoint p = Project(top);
      ASSERT_GT(p.rhw, 0.0f) << i;
      ASSERT_TRUE(p.x >= 0.0f && p.x < 640.0f && p.y >= 0.0f && p.y < 480.0f) << p.x << " " << p.y;
      EXPECT_GT(std::fabs(p.x - 320.0f) + std::fabs(p.y - 240.0f), 120.0f) << i;  // well off the centre
      PointAt(top);
      EXPECT_EQ(logic->PickPieceUnderCursor(), ids[i]) << i;
    }
    park->cursorX = 320, park->cursorY = 240;  // the bare ground at the focus: no piece
    EXPECT_EQ(logic->PickPieceUnderCursor(), CGameLogic::kNone);
  }
}

// The pick ray stops on the drawn texels of a see-through texture and passes its clear ones. The
// demo spinner as the game has it (mesh and textures written by the demo generator, read back
// through the resource table) stands in front of a stand: its disc is picked where it is drawn
// over the stand, the stand through the clear corners of the spinner's box. A ray that tests no
// texels (any other query) still passes the disc faces and stops on the metal bottom.
TEST_F(ControllerPark, APickStopsOnTheDrawnTexelsOfAPieceAndPassesItsClearOnes) {
  const std::string data = folder.MakeFolder("data");
  ASSERT_TRUE(DemoContent::WriteAll(data) && DemoContent::WriteImages(data));
  CResourceTable table;
  auto* spinnerMesh = static_cast<ShadedMesh*>(table.GetResource(table.Add((data + "/meshes/spinner.mesh").c_str())));
  ASSERT_NE(spinnerMesh, nullptr);
  Meshes().push_back(spinnerMesh);
  ObjectDefinition spinnerDef = catalog.defs[0];
  spinnerDef.mesh = 2;
  spinnerDef.type = 1;
  spinnerDef.footprintWidth = spinnerDef.footprintLength = 1;
  catalog.defs[0].type = 13;  // a stand: a facility
  const uint32_t stand = PlaceAt(0, 3.0f, 5.0f);
  COrientation at;
  at.position = Vector3(5.5f, 5.5f, 0.0f);
  const uint32_t spinner = logic->BuyObject(spinnerDef, at);
  ASSERT_NE(spinner, CGameLogic::kNone);
  ASSERT_TRUE(logic->CanPlaceHeldObject());
  logic->PlaceHeldObject(spinner);
  CMeshInstance* spinnerInstance = Piece(spinner)->GetMeshInstance();
  Box shown(Vector3(1e9f, 1e9f, 1e9f), Vector3(-1e9f, -1e9f, -1e9f));
  for (uint32_t f = 0; f < spinnerMesh->faceCount; ++f)
    for (uint32_t k = 0; k < 3; ++k) shown.ExtendByPoint(spinnerInstance->GetCornerWorldPosition(f, k));
  const Vector3 middle = shown.GetCenter(), size = shown.max - shown.min;
  // Seen low from +x, zoomed in: the stand lies behind the spinner's near side.
  logic->SetViewDirection(Vector3(-1.0f, 0.0f, -0.25f) * (1.0f / std::sqrt(1.0625f)));
  logic->SetFocus(middle);
  park->GetCurrentCamera()->GetView().SetOrthoWidth(4.0f);
  logic->UpdateCamera(0.0f);
  const float nearX = shown.max.x, inset = 0.03f * size.x;
  const struct {
    const char* where;
    Vector3 point;
    uint32_t picked;
  } cases[] = {
      {"the disc's middle", Vector3(nearX, middle.y, middle.z), spinner},
      {"the disc's upper half", Vector3(nearX, middle.y + 0.1f * size.y, middle.z + 0.3f * size.z), spinner},
      {"a clear top corner", Vector3(nearX, shown.min.y + inset, shown.max.z - inset), stand},
      {"beside the spinner", Vector3(nearX, shown.max.y + 4 * inset, middle.z), stand},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    PointAt(c.point);
    Vector3 start, end;
    ASSERT_TRUE(logic->GetCursorRay(start, end));
    RayInfo behind(start, end);
    ASSERT_TRUE(Piece(stand)->GetMeshInstance()->IntersectRay(behind, nullptr, nullptr)) << "the stand is behind";
    EXPECT_EQ(logic->PickPieceUnderCursor(), c.picked);
  }
  RayInfo down(middle + Vector3(0.0f, 0.0f, 5.0f), middle - Vector3(0.0f, 0.0f, 5.0f));
  ASSERT_TRUE(spinnerInstance->IntersectRay(down, nullptr, nullptr));
  EXPECT_NEAR(down.result.point.z, shown.min.z, 1e-4f);
  // Gone before the table that holds its mesh.
  logic->SellObject(spinner);
  park->UpdateObjects(0.0f);
  EXPECT_EQ(park->GetObjectByID(spinner), nullptr);
}

TEST_F(ControllerPark, ZoomStopsAtItsLimits) {
  ViewFrustum& view = park->GetCurrentCamera()->GetView();
  view.SetOrthoWidth(100.0f);
  int steps = 0;
  while (logic->ZoomIn()) ++steps;
  EXPECT_EQ(steps, 20);  // 100 x 0.8^20 = 1.15; one more step would reach 0.92
  EXPECT_NEAR(view.GetOrthoWidth(), 100.0f * std::pow(0.8f, 20.0f), 1e-3f);
  view.SetOrthoWidth(100.0f);
  steps = 0;
  while (logic->ZoomOut()) ++steps;
  EXPECT_EQ(steps, 4);  // 244.1; 305.2 would pass 300
  EXPECT_NEAR(view.GetOrthoWidth(), 244.140625f, 1e-3f);
  Action(CGameLogic::kActionZoomIn);
  EXPECT_NEAR(view.GetOrthoWidth(), 195.3125f, 1e-3f);

  park->SetCurrentCamera(CGameLogic::kChaseCamera);
  ViewFrustum& perspective = park->GetCurrentCamera()->GetView();
  perspective.SetFieldOfView(2.8f);
  EXPECT_TRUE(logic->ZoomOut());
  EXPECT_EQ(perspective.GetFieldOfView(), 3.0f);
  perspective.SetFieldOfView(0.22f);
  EXPECT_TRUE(logic->ZoomIn());
  EXPECT_EQ(perspective.GetFieldOfView(), 0.2f);
}

TEST_F(ControllerPark, PanningStaysOnTheGridAndTheTopLeftCornerPansLeftOnly) {
  logic->SetViewDirection(Vector3(0.0f, 1.0f, -1.0f));  // looking along +y: screen right is +x
  logic->SetFocus(Vector3(15.9f, 8.0f, 0.0f));
  for (int i = 0; i < 50; ++i) logic->PanCamera(0.0f);
  EXPECT_EQ(logic->GetFocus().x, 16.0f);  // held on the grid's last edge
  EXPECT_EQ(logic->GetFocus().y, 8.0f);
  for (int i = 0; i < 2000; ++i) logic->PanCamera(90.0f);
  EXPECT_EQ(logic->GetFocus().y, 16.0f);

  // The cursor in the top-left corner: exactly one pan toward 180 degrees.
  logic->SetFocus(Vector3(8.0f, 8.0f, 0.0f));
  logic->PanCamera(180.0f);
  const Vector3 expected = logic->GetFocus();
  logic->SetFocus(Vector3(8.0f, 8.0f, 0.0f));
  park->cursorX = 0, park->cursorY = 0;
  logic->ScrollAtScreenEdges();
  EXPECT_EQ(logic->GetFocus().x, expected.x);
  EXPECT_EQ(logic->GetFocus().y, expected.y);
  EXPECT_LT(expected.x, 8.0f);  // 180 degrees is screen left: -x when looking along +y
}

TEST_F(ControllerPark, AHeldPieceIsKeptOnTheGrid) {
  COrientation frame;
  frame.position = Vector3(1.0f, 8.0f, 0.0f);
  const uint32_t id = logic->BuyObject(catalog.defs[2], frame);  // 4 x 4
  CSkatableSection* piece = Piece(id);
  piece->Rotate(180.0f);  // spans x from -3 to 1
  logic->KeepHeldPieceOnGrid();
  EXPECT_NEAR(piece->GetWorldMatrix().position.x, 4.0f, 1e-5f);  // its left edge on the grid's edge
  EXPECT_NEAR(piece->GetWorldMatrix().position.y, 8.0f, 1e-5f);
  EXPECT_TRUE(logic->CanPlaceHeldObject());
  piece->Rotate(180.0f);
  COrientation f = piece->GetWorldMatrix();
  f.position = Vector3(14.0f, 15.0f, 0.0f);
  piece->MoveTo(f);
  logic->KeepHeldPieceOnGrid();
  EXPECT_NEAR(piece->GetWorldMatrix().position.x, 12.0f, 1e-5f);
  EXPECT_NEAR(piece->GetWorldMatrix().position.y, 12.0f, 1e-5f);
  // Past the low y edge: pushed up onto it, x untouched.
  f.position = Vector3(5.0f, -3.0f, 0.0f);
  piece->MoveTo(f);
  logic->KeepHeldPieceOnGrid();
  EXPECT_NEAR(piece->GetWorldMatrix().position.x, 5.0f, 1e-5f);
  EXPECT_NEAR(piece->GetWorldMatrix().position.y, 0.0f, 1e-5f);
  f.position = Vector3(12.0f, 12.0f, 0.0f);
  piece->MoveTo(f);
  // Right-click turns it a quarter about its corner: it now spans x 8 to 12, still on the grid.
  Action(CGameLogic::kActionSecondary);
  EXPECT_NEAR(piece->GetWorldMatrix().GetXAxis().y, 1.0f, 1e-5f);
  EXPECT_NEAR(piece->GetWorldMatrix().position.x, 12.0f, 1e-5f);
  EXPECT_EQ(logic->GetHighlightSquares().size(), 16u);

  // Following the pointer square by square into the corner where the turned piece would reach
  // past two edges (it spans x to its left and y above it), the piece goes straight to its place
  // on the grid: it is never moved where it would stick out of the park, nor filed again while the
  // pointer rests. (This test's world box is the flat sheet, so a filing of the piece lands at the
  // octree's root and is logged.)
  for (int step = 0; step <= 4; ++step) {
    PointAtSquare(4 - step, kSide - 5 + step);
    EXPECT_EQ(logic->GetHighlightSquares().size(), 16u) << step;  // every footprint cell on the grid
  }
  EXPECT_NEAR(piece->GetWorldMatrix().position.x, 4.0f, 1e-5f);          // spans x 0 to 4
  EXPECT_NEAR(piece->GetWorldMatrix().position.y, kSide - 4.0f, 1e-5f);  // spans y 12 to 16
  testing_support::DebugCapture filing;
  for (int i = 0; i < 5; ++i) Tick();
  EXPECT_EQ(filing.Text().find("Ojbect added to root"), std::string::npos);
  const Vector3 stood = piece->GetWorldMatrix().position;

  // A click where no ground lies under the pointer is refused: the piece stays in the hand, where
  // it last stood on the ground.
  park->cursorX = -4000, park->cursorY = -4000;
  GridCell cell{0, 0};
  ASSERT_FALSE(logic->PickGridCell(cell));
  Tick();
  ASSERT_TRUE(logic->CanPlaceHeldObject()) << "it could be placed where it stands";
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(logic->GetHeldObjectId(), piece->GetID());
  EXPECT_TRUE(piece->IsHeld());
  EXPECT_EQ(piece->GetWorldMatrix().position, stood);
  // Back over the ground the same click places it.
  PointAtSquare(kSide - 1, 5);
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_FALSE(piece->IsHeld());
}

TEST_F(ControllerPark, SkatersAreRankedByDistanceFromTheCamerasLine) {
  const Vector3 at[3] = {Vector3(12, 12, 0.5f), Vector3(8, 8, 0.5f), Vector3(15, 1, 0.5f)};
  std::vector<CSkater*> skaters;
  for (const Vector3& p : at) {
    skaters.push_back(AddSkater(p));
    ASSERT_NE(skaters.back(), nullptr);
    skaters.back()->SetCentre(p);
  }
  logic->SetFocus(Vector3(8.0f, 8.0f, 0.0f));
  // The overhead camera is far away: it ranks by distance from its line, which passes through
  // the focus. The chase camera ranks by distance from its eye.
  for (const bool overhead : {true, false}) {
    if (!overhead) park->SetCurrentCamera(CGameLogic::kChaseCamera);
    logic->UpdateCamera(0.0f);
    ASSERT_EQ(park->GetCurrentCamera()->GetView().IsOrthographic(), overhead);
    logic->RankSkatersByCameraDistance();
    const COrientation& frame = park->GetCurrentCamera()->GetFrame();
    float fromEye[3], fromLine[3];
    for (int i = 0; i < 3; ++i) {
      const Vector3 v = at[i] - frame.GetPosition();
      fromEye[i] = v.LengthSquared();
      fromLine[i] = fromEye[i] - v.Dot(frame.GetXAxis()) * v.Dot(frame.GetXAxis());
    }
    auto orderBy = [](const float* d) {
      std::vector<size_t> order = {0, 1, 2};
      std::stable_sort(order.begin(), order.end(), [d](size_t a, size_t b) { return d[a] < d[b]; });
      return order;
    };
    // The skaters stand where the two measures rank them differently.
    ASSERT_NE(orderBy(fromEye), orderBy(fromLine));
    std::vector<uint32_t> ranking;
    for (size_t i : orderBy(overhead ? fromLine : fromEye)) {
      EXPECT_EQ(skaters[i]->GetSoundRank(), ranking.size());
      ranking.push_back(skaters[i]->GetID());
      EXPECT_EQ(logic->GetSkaterRank(ranking.back()), static_cast<int>(ranking.size() - 1));
    }
    EXPECT_EQ(logic->GetSkaterRanking(), ranking);
    if (overhead) EXPECT_EQ(ranking[0], skaters[1]->GetID());  // the one by the focus
  }
  EXPECT_EQ(logic->GetSkaterRank(12345), -1);
}

}  // namespace
}  // namespace control_test
