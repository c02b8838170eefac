// The in-game controller driven through input events on a generated park: buying, placing,
// lifting, moving and selling with the money and the grid checked at each step; where a held
// piece may go; clones; the cancel chain; sponsor slots; near-piece marks; clearing the park;
// the debug keys.
#include "tests/park/controller/GameLogicTestPark.h"

#include "core/services/WorldPointer.h"
#include "park/pieces/SkatableFacility.h"
#include "platform/files/FileSystem.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "tests/support/ParkState.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContentBoarder.h"

namespace control_test {
namespace {

TEST_F(ControllerPark, InitBuildsTheGridTheTerrainAndTheCameras) {
  ASSERT_NE(park->GetGrid(), nullptr);
  EXPECT_EQ(Grid().GetSize().column, kSide);
  const CSkatableSection* terrain = Piece(TerrainId());
  ASSERT_NE(terrain, nullptr);
  EXPECT_TRUE(terrain->IsTerrain());
  EXPECT_EQ(logic->GetFocus().x, 8.0f);
  EXPECT_EQ(logic->GetFocus().y, 8.0f);
  EXPECT_NEAR(logic->GetViewDirection().Length(), 1.0f, 1e-6f);
  EXPECT_EQ(park->GetCameraCount(), 3u);
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kParkCamera);
  EXPECT_TRUE(park->GetCurrentCamera()->GetView().IsOrthographic());
  EXPECT_EQ(Occupied(), (std::set<std::pair<int, int>>{}));
  EXPECT_EQ(Grid().GetSquare(12, 12)->buildable, 0);
}

// Buy, place, pick up, place elsewhere, sell: the money and the building total move only on the
// purchase and the sale, and the grid holds exactly the footprint at every step.
TEST_F(ControllerPark, BuyPlacePickUpMoveAndSellThroughInput) {
  const double money0 = park->GetMoney();
  COrientation start;
  const uint32_t id = logic->BuyObject(catalog.defs[0], start);
  ASSERT_NE(id, CGameLogic::kNone);
  EXPECT_EQ(park->GetMoney(), money0 - 700.0);
  EXPECT_EQ(logic->GetHeldObjectId(), id);

  PointAtSquare(4, 5);  // the held piece's corner follows the cursor's square
  EXPECT_EQ(Piece(id)->GetWorldMatrix().position.x, 4.0f);
  EXPECT_EQ(Piece(id)->GetWorldMatrix().position.y, 5.0f);
  EXPECT_EQ(logic->GetHighlightColour(), CGameLogic::kPlaceableColour);
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_FALSE(Piece(id)->IsHeld());
  EXPECT_EQ(Occupied(), Block(4, 5, 2, 2));
  for (const auto& s : Block(4, 5, 2, 2))
    EXPECT_EQ(Grid().GetSquare(s.first, s.second)->GetObjectIds(), (std::vector<uint32_t>{TerrainId(), id}));
  EXPECT_EQ(park->GetPlacementRefresh(0), 1u);

  // Lift it by clicking on its top.
  logic->UpdateCamera(0.0f);
  PointAt(Vector3(5.0f, 6.0f, 0.5f));
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(logic->GetHeldObjectId(), id);
  EXPECT_TRUE(Piece(id)->IsHeld());
  EXPECT_EQ(Occupied(), (std::set<std::pair<int, int>>{}));

  PointAtSquare(9, 7);
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(Occupied(), Block(9, 7, 2, 2));
  EXPECT_EQ(park->GetMoney(), money0 - 700.0);  // neither placement nor the lift moved any
  EXPECT_EQ(GetPlacedSectionList().back(), id);

  // Selling a placed piece lifts it out of the grid at once, before the world deletes it.
  logic->SellObject(id);
  EXPECT_EQ(park->GetMoney(), money0);  // bought this instant: the resale value is the cost
  EXPECT_EQ(park->GetParkState().spentOnBuilding, 700.0);  // the purchase's cost, which the sale keeps
  EXPECT_EQ(Occupied(), (std::set<std::pair<int, int>>{}));
  for (uint32_t placed : GetPlacedSectionList()) EXPECT_NE(placed, id);
  park->UpdateObjects(0.0f);
  EXPECT_EQ(Piece(id), nullptr);
}

TEST_F(ControllerPark, ClickingBareGroundNeverLiftsTheTerrain) {
  PointAtSquare(3, 3);
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_FALSE(Piece(TerrainId())->IsHeld());
  logic->PickUpObject(TerrainId());
  logic->SellObject(TerrainId());
  park->UpdateObjects(0.0f);
  ASSERT_NE(Piece(TerrainId()), nullptr);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
}

// Heights within 0.005 of the first square, the grid's edge, a covered square, an unbuildable
// one, and the rotated L whose free cell may overlap another piece.
TEST_F(ControllerPark, WhereAHeldPieceMayGo) {
  COrientation frame;
  frame.position = Vector3(2.0f, 9.0f, 0.0f);
  const uint32_t id = logic->BuyObject(catalog.defs[0], frame);
  CSkatableSection* piece = Piece(id);
  auto moveTo = [&](float x, float y) {
    COrientation f = piece->GetWorldMatrix();
    f.position = Vector3(x, y, 0.0f);
    piece->MoveTo(f);
    return logic->CanPlaceHeldObject();
  };
  EXPECT_TRUE(moveTo(2.0f, 9.0f));
  Grid().GetSquare(3, 10)->centre.z = 0.004f;
  EXPECT_TRUE(moveTo(2.0f, 9.0f));
  Grid().GetSquare(3, 10)->centre.z = 0.01f;
  EXPECT_FALSE(moveTo(2.0f, 9.0f));
  EXPECT_EQ(logic->GetHighlightColour(), CGameLogic::kBlockedColour);
  EXPECT_EQ(logic->GetHighlightSquares().size(), 4u);
  Grid().GetSquare(3, 10)->centre.z = 0.0f;

  EXPECT_TRUE(moveTo(14.0f, 14.0f));  // the last two columns and rows
  EXPECT_FALSE(moveTo(15.0f, 3.0f));  // one column past the edge
  EXPECT_EQ(logic->GetHighlightSquares().size(), 2u);
  EXPECT_FALSE(moveTo(-1.0f, 3.0f));
  EXPECT_FALSE(moveTo(11.0f, 11.0f));  // one corner on the unbuildable patch
  EXPECT_FALSE(moveTo(7.0f, 1.0f));    // beside the entrance, kept clear
  logic->SellObject(id);
  park->UpdateObjects(0.0f);

  const uint32_t blocker = PlaceAt(0, 4.0f, 8.0f);  // squares (4..5, 8..9)
  const uint32_t l = logic->BuyObject(catalog.defs[1], frame);
  piece = Piece(l);
  EXPECT_FALSE(moveTo(5.0f, 9.0f));  // cell (0, 0) on the blocker's square (5, 9)
  EXPECT_TRUE(moveTo(6.0f, 10.0f));
  // Turned a quarter, cell (i, j) covers square (x - j - 1, y + i); the free cell (0, 1) falls
  // on (x - 2, y).
  piece->Rotate(90.0f);
  EXPECT_FALSE(moveTo(6.0f, 7.0f));
  const std::vector<GridCell> expectedCells = {{5, 7}, {5, 8}, {4, 8}};
  ASSERT_EQ(logic->GetHighlightSquares().size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(logic->GetHighlightSquares()[i].column, expectedCells[i].column) << i;
    EXPECT_EQ(logic->GetHighlightSquares()[i].row, expectedCells[i].row) << i;
  }
  EXPECT_TRUE(moveTo(8.0f, 6.0f));   // (7, 6), (7, 7), (6, 7)
  EXPECT_FALSE(moveTo(6.0f, 9.0f));  // (5, 9) is the blocker's
  EXPECT_TRUE(moveTo(7.0f, 9.0f));   // (6, 9), (6, 10), (5, 10); the free cell over the blocker's (5, 9)
  EXPECT_EQ(Grid().GetSquare(5, 9)->GetObjectIds(), (std::vector<uint32_t>{TerrainId(), blocker}));
}

TEST_F(ControllerPark, CtrlClickPlacesAndHoldsAPaidCopyOnlyWhenAffordable) {
  COrientation frame;
  const uint32_t first = logic->BuyObject(catalog.defs[0], frame);
  PointAtSquare(3, 3);
  plat::SetKeyState(VK_CONTROL, true);
  const double before = park->GetMoney();
  Action(CGameLogic::kActionPrimary);
  EXPECT_FALSE(Piece(first)->IsHeld());
  const uint32_t copy = logic->GetHeldObjectId();
  ASSERT_NE(copy, CGameLogic::kNone);
  ASSERT_NE(copy, first);
  EXPECT_EQ(Piece(copy)->GetDefinition(), &catalog.defs[0]);
  EXPECT_EQ(park->GetMoney(), before - 700.0);
  EXPECT_EQ(park->GetParkState().spentOnBuilding, 1400.0);
  EXPECT_EQ(park->GetPlacementRefresh(0), 0u);

  // Too poor for another: the copy is placed and nothing more is held.
  park->GetParkState().money = 100;
  PointAtSquare(8, 8);
  Action(CGameLogic::kActionPrimary);
  EXPECT_FALSE(Piece(copy)->IsHeld());
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_EQ(park->GetMoney(), 100.0);
  EXPECT_EQ(Occupied().size(), 8u);
}

// Escape undoes the innermost thing, one press at a time.
TEST_F(ControllerPark, TheCancelChain) {
  COrientation frame;
  const double money0 = park->GetMoney();
  const uint32_t held = logic->BuyObject(catalog.defs[2], frame);
  Action(CGameLogic::kActionCancel);  // the held piece goes back for its price
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_EQ(park->GetMoney(), money0);
  EXPECT_TRUE(Piece(held)->IsMarkedForRemoval());

  const uint32_t placed = PlaceAt(0, 4.0f, 4.0f);
  logic->UpdateCamera(0.0f);
  PointAt(Vector3(5.0f, 5.0f, 0.5f));
  Action(CGameLogic::kActionSecondary);  // opens the piece's pop-up
  EXPECT_EQ(logic->GetSelectedPieceId(), placed);
  ASSERT_EQ(screens->made.back(), "section " + std::to_string(placed));
  CGameActionLayer* popup = park->GetLayer(park->GetLayerCount() - 1);
  Action(CGameLogic::kActionSecondary);  // a second right-click closes it instead of selecting
  EXPECT_TRUE(popup->IsMarkedForRemoval());
  EXPECT_EQ(logic->GetSelectedPieceId(), CGameLogic::kNone);

  // The closed pop-up is still listed until the world sweeps it away, yet counts as closed: the
  // next right-click selects again.
  const size_t madeBefore = screens->made.size();
  Action(CGameLogic::kActionSecondary);
  EXPECT_EQ(logic->GetSelectedPieceId(), placed);
  EXPECT_EQ(screens->made.size(), madeBefore + 1);
  popup = park->GetLayer(park->GetLayerCount() - 1);
  EXPECT_FALSE(popup->IsMarkedForRemoval());
  // The pop-up's own close lets go of the piece (only of what is selected): the next right-click
  // selects again at once.
  logic->ReleaseSelection(placed + 1);
  EXPECT_FALSE(popup->IsMarkedForRemoval()) << "another id is not what is selected";
  logic->ReleaseSelection(placed);
  EXPECT_TRUE(popup->IsMarkedForRemoval());
  Action(CGameLogic::kActionSecondary);
  EXPECT_EQ(logic->GetSelectedPieceId(), placed);
  popup = park->GetLayer(park->GetLayerCount() - 1);
  Action(CGameLogic::kActionCancel);  // with a piece selected: its pop-up closes
  EXPECT_TRUE(popup->IsMarkedForRemoval());
  Action(CGameLogic::kActionCancel);  // nothing selected: the escape menu
  EXPECT_EQ(screens->made.back(), "escape");

  // A selected skater is let go; then the view from a piece is left.
  CSkater* skater = AddSkater(Vector3(12.0f, 3.0f, 0.5f));
  ASSERT_NE(skater, nullptr);
  logic->SetSelectedSkater(skater->GetID());
  const float frame12[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 3, 3, 2};
  const CWorldPointer* pointer = park->GetMouseCursor();
  ASSERT_NE(pointer, nullptr);
  logic->SetPerspectiveView(true, frame12);
  EXPECT_TRUE(logic->IsPerspectiveView());
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kPieceCamera);
  EXPECT_FALSE(pointer->IsVisible());  // the view from a piece has no pointer
  Action(CGameLogic::kActionCancel);
  EXPECT_EQ(logic->GetSelectedSkaterId(), CGameLogic::kNone);
  EXPECT_TRUE(logic->IsPerspectiveView());  // letting go of a skater does not leave the view
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kPieceCamera);
  EXPECT_FALSE(pointer->IsVisible());
  Action(CGameLogic::kActionCancel);
  EXPECT_FALSE(logic->IsPerspectiveView());
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kParkCamera);
  EXPECT_TRUE(pointer->IsVisible());

  // Nothing at all happens while the escape menu is open.
  screens->escapeOpen = true;
  const size_t made = screens->made.size();
  Action(CGameLogic::kActionCancel);
  EXPECT_EQ(screens->made.size(), made);
}

TEST_F(ControllerPark, ASponsorPieceHoldsItsSlotOnlyWhileDownAndFreesItWhenSold) {
  COrientation frame;
  const uint32_t id = logic->BuyObject(catalog.defs[3], frame);
  Piece(id)->SetSponsorshipIndex(2);
  const SponsorshipSlot& slot = park->GetParkState().sponsorships[2];
  EXPECT_EQ(slot.sponsorObjectID, -1);
  PointAtSquare(6, 6);
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(slot.sponsorObjectID, static_cast<int32_t>(id));
  logic->CloneObject(id);  // sponsors give one piece each
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  logic->PickUpObject(id);
  EXPECT_EQ(slot.sponsorObjectID, -1);
  logic->PlaceHeldObject(id);
  EXPECT_EQ(slot.sponsorObjectID, static_cast<int32_t>(id));
  const double before = park->GetMoney();
  logic->SellObject(id);
  EXPECT_EQ(slot.sponsorObjectID, -1);
  EXPECT_EQ(park->GetMoney(), before + 1000.0);
  EXPECT_EQ(Occupied(), (std::set<std::pair<int, int>>{}));
}

// The marks around every placed piece, worked out here from the footprints.
TEST_F(ControllerPark, NearPieceMarksFollowEveryPlacedPiece) {
  auto expected = [this](const std::vector<uint32_t>& ids) {
    std::set<std::pair<int, int>> out;
    for (uint32_t id : ids)
      for (int index : Piece(id)->GetFootprintSquares())
        for (int dr = -3; dr <= 3; ++dr)
          for (int dc = -3; dc <= 3; ++dc) {
            const int c = index % kSide + dc, r = index / kSide + dr;
            if (c >= 0 && c < kSide && r >= 0 && r < kSide) out.insert({c, r});
          }
    return out;
  };
  auto marked = [this]() {
    std::set<std::pair<int, int>> out;
    for (int r = 0; r < kSide; ++r)
      for (int c = 0; c < kSide; ++c)
        if (Grid().GetSquare(c, r)->nearPiece != 0) out.insert({c, r});
    return out;
  };
  const uint32_t a = PlaceAt(0, 3.0f, 8.0f);
  const uint32_t b = PlaceAt(2, 7.0f, 9.0f);  // its margin overlaps a's
  EXPECT_EQ(marked(), expected({a, b}));
  logic->PickUpObject(a);
  EXPECT_EQ(marked(), expected({b}));  // b's margin stays marked where it runs under a
  logic->SellObject(a);
  logic->SellObject(b);
  EXPECT_EQ(marked(), (std::set<std::pair<int, int>>{}));
}

TEST_F(ControllerPark, ClearParkKeepsOnlyTheTerrain) {
  const testing_support::ParkGridState fresh = testing_support::TakeParkGridState(*park);
  PlaceAt(0, 3.0f, 3.0f);
  PlaceAt(1, 9.0f, 9.0f);
  COrientation frame;
  const uint32_t held = logic->BuyObject(catalog.defs[0], frame);
  ASSERT_NE(AddSkater(Vector3(12.0f, 3.0f, 0.5f)), nullptr);
  const uint32_t skater = GetSkaterList().back()->GetID();
  logic->ClearPark();
  EXPECT_EQ(Piece(held), nullptr);
  EXPECT_EQ(park->GetObjectByID(skater), nullptr);
  EXPECT_TRUE(GetSkaterList().empty());
  ASSERT_NE(Piece(TerrainId()), nullptr);
  for (int i = 0; i < Grid().GetSquareCount(); ++i) EXPECT_EQ(Grid().GetSquareByIndex(i)->nearPiece, 0) << i;
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  // Every square holds the terrain alone, the placed list is the terrain, and the ground walks again.
  EXPECT_TRUE(testing_support::TakeParkGridState(*park, false) == fresh);
  PlaceAt(0, 3.0f, 3.0f);  // the park is usable again
  EXPECT_EQ(Occupied(), Block(3, 3, 2, 2));
}

const ObjectDefinition* g_definitions = nullptr;
const ObjectDefinition* DefinitionByIndex(int index) {
  return index >= 0 && index < 4 ? &g_definitions[index] : nullptr;
}
ShadedMesh* g_terrain = nullptr;
ShadedMesh* TerrainMesh() { return g_terrain; }

// Every debug key once, pressed through the key state as a player presses it: none does anything
// while the debug keys are off; then each does its one thing, and a key held on is not pressed again.
TEST_F(ControllerPark, EveryDebugKeyDoesItsOneThing) {
  testing_support::WorkingFolder cwd;  // the quick save goes to the working directory
  ASSERT_TRUE(cwd.Entered());
  g_definitions = catalog.defs;  // a load finds pieces and terrain through these
  g_terrain = terrainMesh.get();
  CSkatableSection::SetSources({&MeshById, &DefinitionByIndex, &TerrainMesh});
  auto hold = [](std::initializer_list<int> keys, bool down) {
    for (int key : keys) plat::SetKeyState(key, down);
  };
  auto press = [&](std::initializer_list<int> keys) { hold(keys, true), Tick(), hold(keys, false); };
  const double money0 = park->GetMoney();
  press({VK_CONTROL, 'M'});
  press({VK_F1 + 7});
  press({VK_MENU, 'S'});
  EXPECT_EQ(park->GetMoney(), money0);
  EXPECT_FALSE(park->GetDebugFlag(8));
  EXPECT_TRUE(GetSkaterList().empty());

  SetDebugKeysEnabled(true);
  hold({VK_CONTROL, 'M'}, true);
  Tick();
  Tick();  // held, not pressed again
  hold({VK_CONTROL, 'M'}, false);
  EXPECT_EQ(park->GetMoney(), money0 + 10000.0);

  // F5, F6, F3, F4, F7, F1, F2, F8: flags 0, 2, 3, 4, 5, 6, 7, 8, each alone; flag 1 has no key.
  const int flagOfKey[8] = {6, 7, 3, 4, 0, 2, 5, 8};
  for (int f = 0; f < 8; ++f) {
    press({VK_F1 + f});
    for (int flag = 0; flag < 9; ++flag) EXPECT_EQ(park->GetDebugFlag(flag), flag == flagOfKey[f]) << f << " " << flag;
    press({VK_F1 + f});
    EXPECT_FALSE(park->GetDebugFlag(flagOfKey[f])) << f;
  }

  // S held and P pressed: the first offer not yet made.
  park->GetParkState().sponsorships[0].offered = 1;
  press({'S', 'P'});
  EXPECT_EQ(park->GetParkState().sponsorships[1].offered, 1);
  EXPECT_EQ(park->GetParkState().sponsorships[2].offered, 0);

  // Alt and a letter: one arrival each (this park's sky is low: each leaves at the next step), with
  // the need the letter names.
  const uint32_t& entered = park->GetParkState().skatersEntered;
  auto set = [](float need, float value) { return need == value; };  // arrivals draw their needs at random
  press({VK_MENU, 'S'});
  ASSERT_EQ(entered, 1u);
  const CSkater::Needs plain = GetSkaterList().back()->needs;
  EXPECT_FALSE(set(plain.injury, 0.95f) || set(plain.bladder, 0.95f) || set(plain.hunger, 0.95f) ||
               set(plain.tiredness, 0.47f));
  const int needKeys[] = {'I', 'P', 'H', 'T'};
  for (int key : needKeys) {
    press({VK_MENU, key});
    const CSkater::Needs n = GetSkaterList().back()->needs;
    EXPECT_EQ(set(n.injury, 0.95f), key == 'I') << char(key);
    EXPECT_EQ(set(n.bladder, 0.95f), key == 'P') << char(key);
    EXPECT_EQ(set(n.hunger, 0.95f), key == 'H') << char(key);
    EXPECT_EQ(set(n.tiredness, 0.47f), key == 'T') << char(key);
  }
  EXPECT_EQ(park->GetParkState().sponsorships[2].offered, 0) << "Alt and P is not an offer";
  press({VK_MENU, 'K'});
  EXPECT_EQ(entered, 6u);
  for (float skill : GetSkaterList().back()->ability.trickSkill) EXPECT_EQ(skill, 1.0f);

  // Ctrl, Shift and P held: the park stands still; let go, it runs on.
  const double time0 = park->GetWorldTime();
  hold({VK_CONTROL, VK_SHIFT, 'P'}, true);
  logic->Tick(0.1f);
  EXPECT_EQ(park->GetWorldTime(), time0);
  hold({VK_CONTROL, VK_SHIFT, 'P'}, false);
  logic->Tick(0.1f);
  EXPECT_GT(park->GetWorldTime(), time0);

  // Quick save, clear, quick load: the park comes back.
  PlaceAt(0, 3.0f, 3.0f);
  ASSERT_NE(AddSkater(Vector3(12.0f, 3.0f, 0.5f)), nullptr);
  Tick();  // the last arrival leaves
  const size_t skaters = GetSkaterList().size();
  press({VK_CONTROL, VK_SHIFT, 'S'});
  EXPECT_NE(log.Text().find("Game saved to file.\n"), std::string::npos) << log.Text();
  EXPECT_FALSE(cwd.Read(CGameLogic::kQuickSaveFile).empty());
  press({VK_CONTROL, 'C'});
  EXPECT_TRUE(Occupied().empty());
  EXPECT_TRUE(GetSkaterList().empty());
  press({VK_CONTROL, VK_SHIFT, 'L'});
  EXPECT_NE(log.Text().find("Game loaded from file.\n"), std::string::npos) << log.Text();
  EXPECT_EQ(Occupied(), Block(3, 3, 2, 2));
  EXPECT_EQ(GetSkaterList().size(), skaters);
  g_definitions = nullptr;
  g_terrain = nullptr;
}

// Ctrl and L under the software renderer rebuild the level's converted textures and their cache
// files beside the level, three details; a level folder that cannot take them is logged.
TEST_F(ControllerPark, CtrlLWritesTheSoftwareTextureCacheAndSaysWhenItCannot) {
  std::vector<uint32_t> pixels(8 * 8);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x030507u);
  CTexture texture;
  ASSERT_TRUE(texture.CreateFromPixels(pixels.data(), 4, 8, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x10, "ground"));
  park->SetLevelTextures({&texture});
  CSoftwareRasterizer software;
  CRenderView softwareView;
  softwareView.Setup(&software, nullptr, park->GetFogState(), park->GetLightList(), 31);
  park->SetRenderView(&softwareView);
  SetDebugKeysEnabled(true);
  plat::SetKeyState(VK_CONTROL, true);
  plat::SetKeyState('L', true);
  log.Clear();
  Tick();
  for (int detail = 0; detail < 3; ++detail)
    EXPECT_TRUE(plat::FileExists((folder.Path() + "texture" + std::to_string(detail) + ".bin").c_str())) << detail;
  EXPECT_EQ(log.Text().find("software texture cache"), std::string::npos) << log.Text();
  park->SetLevelDirectory(folder.Path() + "missing/");
  Tick();
  EXPECT_NE(log.Text().find("GameLogic: the software texture cache could not be written\n"), std::string::npos);
  plat::SetKeyState('L', false), plat::SetKeyState(VK_CONTROL, false);
  park->SetRenderView(&renderView);
}

// Before a save a lifted piece goes back where it stood, and a bought one is refunded; so before
// a load, whichever way it goes (here there is no file).
TEST_F(ControllerPark, SavingPutsTheHeldPieceBackOrRefundsIt) {
  const uint32_t id = PlaceAt(0, 6.0f, 6.0f);
  logic->PickUpObject(id);
  COrientation elsewhere = Piece(id)->GetWorldMatrix();
  elsewhere.position = Vector3(1.0f, 12.0f, 0.0f);
  Piece(id)->MoveTo(elsewhere);
  testing_support::TempFolder saves;
  logic->SaveGame((saves.Path() + "one.sav").c_str());
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_EQ(Occupied(), Block(6, 6, 2, 2));

  const double money = park->GetMoney();
  COrientation frame;
  const uint32_t bought = logic->BuyObject(catalog.defs[1], frame);
  logic->SaveGame((saves.Path() + "two.sav").c_str());
  EXPECT_EQ(park->GetMoney(), money);
  EXPECT_EQ(Piece(bought), nullptr);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);

  const uint32_t again = logic->BuyObject(catalog.defs[1], frame);
  EXPECT_FALSE(logic->LoadGame((saves.Path() + "none.sav").c_str()));
  EXPECT_EQ(park->GetMoney(), money);
  EXPECT_EQ(Piece(again), nullptr);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
}

// A right-click on a skater's body selects it and opens its pop-up; one on bare ground far from
// it selects nobody.
ShadedMesh* g_boarder = nullptr;
ShadedMesh* Boarder() { return g_boarder; }

TEST_F(ControllerPark, RightClickingASkaterSelectsItAndOpensItsPopup) {
  const std::unique_ptr<ShadedMesh> boarder = DemoContent::BuildBoarder();
  g_boarder = boarder.get();
  CSkater::SetBodyMeshSource(&Boarder);
  CSkater* skater = AddSkater(Vector3(10.0f, 6.0f, 0.5f));
  CSkater::SetBodyMeshSource(nullptr);
  ASSERT_NE(skater, nullptr);
  ASSERT_NE(skater->GetMeshInstance(), nullptr);
  logic->UpdateCamera(0.0f);
  PointAt(Vector3(3.0f, 12.0f, 0.0f));
  Action(CGameLogic::kActionSecondary);
  EXPECT_EQ(logic->GetSelectedSkaterId(), CGameLogic::kNone);
  Box bounds;
  skater->GetMeshInstance()->GetWorldBounds(bounds);
  PointAt(bounds.GetCenter());
  Action(CGameLogic::kActionSecondary);
  ASSERT_EQ(logic->GetSelectedSkaterId(), skater->GetID());
  EXPECT_EQ(screens->made.back(), "skater " + std::to_string(skater->GetID()));
  // A second right-click closes the pop-up and keeps following the skater; the pop-up's own
  // close lets go of it, as Escape does.
  CGameActionLayer* popup = park->GetLayer(park->GetLayerCount() - 1);
  Action(CGameLogic::kActionSecondary);
  EXPECT_TRUE(popup->IsMarkedForRemoval());
  EXPECT_EQ(logic->GetSelectedSkaterId(), skater->GetID());
  logic->ReleaseSelection(skater->GetID());
  EXPECT_EQ(logic->GetSelectedSkaterId(), CGameLogic::kNone);
  g_boarder = nullptr;
}

// Of a skater's bounds and a piece's drawn faces, the nearer along the ray takes the right-click: a
// skater in front of a stand is selected, one hidden behind it is not and the stand's pop-up opens;
// a piece without a pop-up (a sponsor's) still hides the skater behind it.
TEST_F(ControllerPark, TheNearerOfASkaterAndAPieceTakesTheRightClick) {
  const std::unique_ptr<ShadedMesh> boarder = DemoContent::BuildBoarder();
  g_boarder = boarder.get();
  catalog.defs[0].type = 13;  // a stand: a facility
  // Seen low from +x; the pointer on the stand's top near its +x edge.
  logic->SetViewDirection(Vector3(-1.0f, 0.0f, -0.25f) * (1.0f / std::sqrt(1.0625f)));
  logic->SetFocus(Vector3(4.0f, 6.0f, 0.5f));
  logic->UpdateCamera(0.0f);
  const struct {
    int def;        // the piece at squares (3..4, 5..6), its block x 3.5..4.5
    float skaterX;  // the skater stands at (skaterX, 6)
    const char* opened;
  } cases[] = {{0, 5.3f, "skater"}, {0, 3.1f, "facility"}, {3, 3.1f, ""}};
  for (const auto& c : cases) {
    const uint32_t piece = PlaceAt(c.def, 3.0f, 5.0f);
    CSkater::SetBodyMeshSource(&Boarder);
    CSkater* skater = AddSkater(Vector3(c.skaterX, 6.0f, 0.5f));
    CSkater::SetBodyMeshSource(nullptr);
    ASSERT_NE(skater, nullptr);
    PointAt(Vector3(4.4f, 6.0f, 0.5f));
    ASSERT_EQ(logic->PickSkaterUnderCursor(false), skater->GetID()) << "the ray meets the skater's bounds";
    ASSERT_EQ(logic->PickPieceUnderCursor(), piece);
    const std::vector<std::string> before = screens->made;
    Action(CGameLogic::kActionSecondary);
    const std::string kind = c.opened;
    std::vector<std::string> expected = before;
    if (!kind.empty()) expected.push_back(kind + " " + std::to_string(kind == "skater" ? skater->GetID() : piece));
    EXPECT_EQ(screens->made, expected);
    logic->ReleaseSelection(skater->GetID());
    logic->ReleaseSelection(piece);
    logic->SellObject(piece);
    skater->MarkForRemoval();
    park->UpdateObjects(0.0f);
  }
  g_boarder = nullptr;
}

// What the controller hands a save, given back by a load, brings back where the camera looked and
// the bonuses (the file keeps these fields as they are: see the saved-game tests).
TEST_F(ControllerPark, SaveFieldsBringBackTheCameraFocusViewDirectionAndBonuses) {
  const Vector3 focus(5.5f, 9.25f, 0.0f), direction(0.0f, -0.6f, -0.8f);
  logic->SetFocus(focus);
  logic->SetViewDirection(direction);
  logic->AwardTrickBonus(40.0f);
  const ControllerSaveFields saved = logic->GetSaveFields();
  logic->SetFocus(Vector3(1.0f, 1.0f, 0.0f));
  logic->SetViewDirection(Vector3(-1.0f, 0.0f, 0.0f));
  logic->AwardTrickBonus(60.0f);
  logic->ApplySaveFields(saved);
  EXPECT_EQ(logic->GetFocus(), focus);
  EXPECT_EQ(logic->GetViewDirection(), direction);
  EXPECT_EQ(logic->GetLargestTrickBonus(), 40.0f);
  EXPECT_EQ(logic->GetExhibitionMoney(), 40.0f);
  EXPECT_EQ(logic->GetExhibitionTotal(), 40.0f);
}

TEST_F(ControllerPark, TrickBonusesAddUp) {
  const double money0 = park->GetMoney();
  logic->AwardTrickBonus(50.0f);
  logic->AwardTrickBonus(20.0f);
  EXPECT_EQ(logic->GetLargestTrickBonus(), 50.0f);
  EXPECT_EQ(logic->GetExhibitionMoney(), 70.0f);
  EXPECT_EQ(logic->GetExhibitionTotal(), 70.0f);
  EXPECT_EQ(park->GetMoney(), money0 + 70.0);
  const ControllerSaveFields fields = logic->GetSaveFields();
  EXPECT_EQ(fields.largestTrickBonus, 50.0f);
  EXPECT_EQ(fields.exhibitionTotal, 70.0f);
}

}  // namespace
}  // namespace control_test
