// A small generated park run by the in-game controller: a flat 16 x 16 terrain with an entrance
// and an unbuildable patch, the demo's decking and corner-deck pieces, a 4 x 4 block, a sponsor
// piece, a 640 x 480 view, and a pop-up factory that records what the controller opens.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/data/LittleEndian.h"
#include "park/controller/GameLogic.h"
#include "park/controller/ParkPopupFactory.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentPieces.h"

namespace control_test {

constexpr int kSide = 16;

// Records every layer asked for; the escape menu counts as open while `escapeOpen` is set.
struct RecordingScreens : CParkPopupFactory {
  struct Layer : CGameActionLayer {
    explicit Layer(std::string k) : kind(std::move(k)) {}
    std::string kind;
  };
  std::vector<std::string> made;
  bool escapeOpen = false;
  std::unique_ptr<CGameActionLayer> Make(const std::string& kind) {
    made.push_back(kind);
    return std::make_unique<Layer>(kind);
  }
  std::unique_ptr<CGameActionLayer> CreateSectionPopup(uint32_t id) override {
    return Make("section " + std::to_string(id));
  }
  std::unique_ptr<CGameActionLayer> CreateFacilityPopup(uint32_t id) override {
    return Make("facility " + std::to_string(id));
  }
  std::unique_ptr<CGameActionLayer> CreateSkaterPopup(uint32_t id) override {
    return Make("skater " + std::to_string(id));
  }
  std::unique_ptr<CGameActionLayer> CreateEscapeMenu() override { return Make("escape"); }
  bool IsEscapeMenuOpen() const override { return escapeOpen; }
  std::unique_ptr<CGameActionLayer> CreateExitPerspective() override { return Make("exit"); }
  std::unique_ptr<CGameActionLayer> CreateSkaterPlayerInterface() override { return Make("hud"); }
  std::unique_ptr<CGameActionLayer> CreateMainScreen() override { return Make("main"); }
};

inline std::vector<ShadedMesh*>& Meshes() {
  static std::vector<ShadedMesh*> meshes;
  return meshes;
}
inline ShadedMesh* MeshById(int id) {
  return id >= 0 && static_cast<size_t>(id) < Meshes().size() ? Meshes()[static_cast<size_t>(id)] : nullptr;
}
inline ShadedMesh* NoLevelTerrain() { return nullptr; }

using testing_support::AddRegion;
using testing_support::AddText;

// A flat sheet at height 0 over the grid, the grid's origin at (0, 0), an entrance at square
// (8, 1) and an unbuildable 2 x 2 patch at squares (12..13, 12..13).
inline std::unique_ptr<ShadedMesh> FlatTerrain() {
  auto mesh = std::make_unique<ShadedMesh>();
  const uint32_t n = kSide + 1;
  EXPECT_TRUE(mesh->CreateGrid(n, nullptr, 0));
  for (uint32_t r = 0; r < n; ++r)
    for (uint32_t c = 0; c < n; ++c)
      mesh->allPositions[r * n + c] = Vector3(static_cast<float>(c), static_cast<float>(r), 0.0f);
  mesh->ComputeAllFaceNormals();
  EXPECT_TRUE(mesh->ComputeNormalsAndBounds(1.0f));
  mesh->ComputeVertexNormals();
  mesh->ComputeBounds();
  AddText(*mesh, Vector3(), CGrid::kAttachGridOrigin, {},
          "name = gridorigin, columns = " + std::to_string(kSide) + ", rows = " + std::to_string(kSide));
  const Box cell(Vector3(-0.2f, -0.2f, -1.0f), Vector3(0.2f, 0.2f, 1.0f));
  AddRegion(*mesh, Vector3(8.5f, 1.5f, 0.0f), cell, "region = type = entrance");
  AddRegion(*mesh, Vector3(12.0f, 12.0f, 0.0f), Box(Vector3(0, 0, -5), Vector3(2, 2, 5)), "region = type = no_build");
  return mesh;
}

// The catalog of the test: 0 decking 2 x 2, 1 corner deck (an L of three cells), 2 a 4 x 4 block
// on the decking mesh, 3 a sponsor piece.
struct Catalog {
  ObjectDefinition defs[4];
  std::unique_ptr<ShadedMesh> decking, corner;
  Catalog() {
    const std::vector<DemoContent::PieceSpec> specs = DemoContent::PieceSpecs();
    decking = DemoContent::BuildPiece(specs[0]);
    corner = DemoContent::BuildPiece(specs[1]);
    Meshes() = {decking.get(), corner.get()};
    for (int i = 0; i < 4; ++i) {
      defs[i].catalogNumber = static_cast<uint16_t>(i);
      defs[i].mesh = i == 1 ? 1 : 0;
      defs[i].cost = 700.0 + 100.0 * i;
      defs[i].type = 1;
      defs[i].footprintWidth = defs[i].footprintLength = 2;
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) defs[i].footprint[r][c] = 1;
    }
    defs[1].footprint[1][0] = 0;  // the back-left square of the L is free
    defs[2].footprintWidth = defs[2].footprintLength = 4;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) defs[2].footprint[r][c] = 1;
    defs[3].type = CSkatableSection::kSponsorType;
  }
};

struct ControllerPark : ::testing::Test {
  ControllerPark() {
    ClearPlacedSectionList();
    CSkatableSection::SetSources({&MeshById, nullptr, &NoLevelTerrain});
    park = std::make_unique<CVerezIvor>(nullptr, nullptr);
    park->SetLevelDirectory(folder.Path());
    terrainMesh = FlatTerrain();
    park->AddTerrainMesh(terrainMesh.get(), nullptr, true, false);
    renderView.Setup(&rasterizer, nullptr, park->GetFogState(), park->GetLightList(), 31);
    park->SetRenderView(&renderView);
    auto screensOwned = std::make_unique<RecordingScreens>();
    screens = screensOwned.get();
    SetParkPopupFactory(std::move(screensOwned));
    auto owned = std::make_unique<CGameLogic>();
    logic = owned.get();
    park->SetController(logic);
    park->AddLayerOnTop(std::move(owned));
  }
  ~ControllerPark() override {
    for (int key : {VK_CONTROL, VK_SHIFT, VK_MENU, int('S'), int('P'), int('C'), int('M')})
      plat::SetKeyState(key, false);
    SetDebugKeysEnabled(false);
    park->SetRenderView(nullptr);
    park.reset();
    SetParkPopupFactory(nullptr);
    CSkatableSection::SetSources({nullptr, nullptr, nullptr});
    ClearPlacedSectionList();
  }

  CGrid& Grid() { return *park->GetGrid(); }
  CSkatableSection* Piece(uint32_t id) { return dynamic_cast<CSkatableSection*>(park->GetObjectByID(id)); }
  uint32_t TerrainId() { return Grid().GetTerrainId(); }
  void Action(uint32_t code) { logic->HandleInputEvent(InputEvent{code, 0.0f, 0.0f, 1.0f}); }
  void Tick() { logic->Tick(0.0f); }

  // Where the world point shows on screen, by the render view's own projection.
  ProjectedPoint Project(const Vector3& world) {
    CGenericCam* camera = park->GetCurrentCamera();
    const Box viewport(Vector3(0, 0, 0), Vector3(640, 480, 0));
    renderView.BeginFrame(&camera->GetView(), CRenderView::FrameViewport::kBackBuffer,
                          CRenderView::FrameBackEnd::kDefault, CRenderView::FrameOutput::kTransformOnly, &viewport);
    const ProjectedPoint p = renderView.ProjectPoint(camera->GetFrame().WorldToLocalPoint(world));
    renderView.EndFrame();
    return p;
  }
  void PointAt(const Vector3& world) {
    const ProjectedPoint p = Project(world);
    park->cursorX = static_cast<int32_t>(std::lround(p.x));
    park->cursorY = static_cast<int32_t>(std::lround(p.y));
  }
  // The cursor on the centre of a square, then a tick so that a held piece follows it.
  void PointAtSquare(int column, int row) {
    logic->UpdateCamera(0.0f);
    PointAt(Grid().GetSquareCentre(column, row));
    Tick();
  }

  CSkater* AddSkater(const Vector3& at) { return testing_support::AddSkater(*park, at); }

  // The squares (column, row) that list a piece other than the terrain.
  std::set<std::pair<int, int>> Occupied() {
    std::set<std::pair<int, int>> out;
    for (int r = 0; r < kSide; ++r)
      for (int c = 0; c < kSide; ++c)
        if (Grid().GetSquare(c, r)->IsBlocked()) out.insert({c, r});
    return out;
  }
  static std::set<std::pair<int, int>> Block(int c0, int r0, int w, int h) {
    std::set<std::pair<int, int>> out;
    for (int r = r0; r < r0 + h; ++r)
      for (int c = c0; c < c0 + w; ++c) out.insert({c, r});
    return out;
  }
  // A bought piece dropped straight at a frame (no cursor), then placed.
  uint32_t PlaceAt(int def, float x, float y, float degrees = 0.0f) {
    COrientation frame;
    frame.position = Vector3(x, y, 0.0f);
    const uint32_t id = logic->BuyObject(catalog.defs[def], frame);
    EXPECT_NE(id, CGameLogic::kNone);
    if (degrees != 0.0f) Piece(id)->Rotate(degrees);
    EXPECT_TRUE(logic->CanPlaceHeldObject());
    logic->PlaceHeldObject(id);
    return id;
  }

  testing_support::TempFolder folder;
  testing_support::DebugCapture log;
  Catalog catalog;
  std::unique_ptr<ShadedMesh> terrainMesh;
  RecordingRasterizer rasterizer{640, 480};
  CRenderView renderView;
  std::unique_ptr<CVerezIvor> park;
  RecordingScreens* screens = nullptr;
  CGameLogic* logic = nullptr;
};

}  // namespace control_test
