// Where the controller meets the rest of the park: one sale and one placement for the controller
// and the park, turned footprints occupying exactly the squares checked, the player's trick
// bonus paid through the controller, the sound ranks the controller hands out, the ollie as a
// recorded trick, and the thought bubbles loaded when a game starts.
#include "tests/park/controller/GameLogicTestPark.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/data/ResourceTable.h"
#include "park/controller/ParkObjectTypes.h"
#include "park/skater/SkaterAnimator.h"
#include "park/skater/SkaterAnimatorLink.h"
#include "park/skater/SkaterBody.h"
#include "park/skater/SkaterMotion.h"
#include "park/skater/ThoughtTexts.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "tests/support/ContactMotion.h"
#include "tests/support/ParkState.h"
#include "tests/support/RecordingRasterizer.h"
#include "tools/DemoContentPark.h"

namespace control_test {
namespace {

using SquareSet = std::set<std::pair<int, int>>;

// --- One sale, one placement ---

// The controller's sale is the park's: the resale total moves with the money, a second sale of
// the same piece pays nothing, and the controller forgets the piece it held.
TEST_F(ControllerPark, TheControllerSellsThroughTheParksOwnSale) {
  const uint32_t placed = PlaceAt(0, 3.0f, 3.0f);
  COrientation frame;
  const uint32_t held = logic->BuyObject(catalog.defs[2], frame);
  const double money = park->GetMoney();
  logic->SellObject(placed);
  logic->SellObject(placed);  // already sold: paid once
  logic->SellObject(held);
  EXPECT_EQ(park->GetMoney() - money, 700.0 + 900.0);  // both bought this instant
  EXPECT_EQ(park->GetParkState().earnedFromResale, 700.0 + 900.0);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_EQ(Occupied(), SquareSet{});
  EXPECT_TRUE(Piece(placed)->IsMarkedForRemoval());
  EXPECT_TRUE(Piece(held)->IsMarkedForRemoval());
}

// --- Turned footprints ---

// An L of four cells on a 3 x 2 block, no two turns alike:  row 0: X X X, row 1: X . .
ObjectDefinition LShape() {
  ObjectDefinition def;
  def.catalogNumber = 9;
  def.mesh = 1;
  def.cost = 400.0;
  def.type = 1;
  def.footprintWidth = 3;
  def.footprintLength = 2;
  def.footprint[0][0] = def.footprint[0][1] = def.footprint[0][2] = 1;
  def.footprint[1][0] = 1;
  return def;
}

// Where cell (i, j) of a piece whose corner stands at (x, y) falls after a turn, by hand: the
// square to the cell's upper-left in each quarter turn about the corner.
std::pair<int, int> TurnedCell(int quarter, int x, int y, int i, int j) {
  switch (quarter) {
    case 0: return {x + i, y + j};
    case 1: return {x - j - 1, y + i};
    case 2: return {x - i - 1, y - j - 1};
    default: return {x + j, y - i - 1};
  }
}

struct GridPicture {
  testing_support::ParkGridState grid;
  std::vector<uint8_t> nearPiece;
  bool operator==(const GridPicture& o) const { return grid == o.grid && nearPiece == o.nearPiece; }
};

GridPicture Picture(CVerezIvor& park) {
  GridPicture p;
  p.grid = testing_support::TakeParkGridState(park);
  for (int i = 0; i < park.GetGrid()->GetSquareCount(); ++i)
    p.nearPiece.push_back(park.GetGrid()->GetSquareByIndex(i)->nearPiece);
  return p;
}

// Each quarter turn (given by the secondary action, as the player turns a held piece): the
// squares checked, the squares occupied and the piece's own footprint are the L's four squares
// exactly, and lifting the piece gives the grid back as it was.
TEST_F(ControllerPark, ATurnedLOccupiesExactlyTheSquaresThatWereChecked) {
  const ObjectDefinition l = LShape();
  const int x = 8, y = 8;
  COrientation frame;
  frame.position = Vector3(static_cast<float>(x), static_cast<float>(y), 0.0f);
  const uint32_t id = logic->BuyObject(l, frame);
  ASSERT_NE(id, CGameLogic::kNone);
  std::set<SquareSet> seen;
  for (int quarter = 0; quarter < 4; ++quarter) {
    SCOPED_TRACE(quarter * 90);
    SquareSet expected;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 3; ++i)
        if (l.footprint[j][i] != 0) expected.insert(TurnedCell(quarter, x, y, i, j));
    ASSERT_EQ(expected.size(), 4u);
    seen.insert(expected);

    // The corner stays where it was put; only the axes turn.
    COrientation turned = Piece(id)->GetWorldMatrix();
    turned.position = frame.position;
    Piece(id)->MoveTo(turned);
    ASSERT_TRUE(logic->CanPlaceHeldObject());
    SquareSet checked;
    for (const GridCell& c : logic->GetHighlightSquares()) checked.insert({c.column, c.row});
    EXPECT_EQ(checked, expected);

    const GridPicture before = Picture(*park);
    logic->PlaceHeldObject(id);
    ASSERT_FALSE(Piece(id)->IsHeld());
    EXPECT_EQ(Occupied(), expected);
    for (const auto& s : expected)
      EXPECT_EQ(Grid().GetSquare(s.first, s.second)->GetObjectIds(), (std::vector<uint32_t>{TerrainId(), id}));
    SquareSet own;
    for (int index : Piece(id)->GetFootprintSquares()) own.insert({index % kSide, index / kSide});
    EXPECT_EQ(own, expected);
    EXPECT_EQ(Piece(id)->GetFootprintSquares().size(), 4u);

    logic->PickUpObject(id);
    ASSERT_EQ(logic->GetHeldObjectId(), id);
    EXPECT_TRUE(Picture(*park) == before);
    EXPECT_EQ(Occupied(), SquareSet{});
    Action(CGameLogic::kActionSecondary);  // a quarter turn on
  }
  EXPECT_EQ(seen.size(), 4u);
  logic->SellObject(id);
}

// The demo park still stands where it was laid out: a piece on a square corner covers its
// footprint from that corner, the funbox half a square off covers the squares under its cell
// centres, and no square is covered twice.
TEST(DemoParkFootprints, EveryPieceCoversItsFootprintFromItsCorner) {
  ClearPlacedSectionList();
  {
    CVerezIvor park(nullptr, nullptr);
    DemoContent::DemoPark demo;
    ASSERT_TRUE(DemoContent::BuildDemoPark(park, demo));
    const int side = park.GetGrid()->GetSize().column;
    std::map<std::pair<int, int>, uint32_t> coveredBy;
    for (size_t k = 0; k < demo.pieceIds.size(); ++k) {
      CSkatableSection* piece = GetPlacedSection(demo.pieceIds[k]);
      ASSERT_NE(piece, nullptr);
      const ObjectDefinition& def = *demo.definitions[k];
      const Vector3 corner = piece->GetWorldMatrix().position;
      SquareSet expected;
      if (demo.pieceIds[k] == demo.offsetPieceId) {
        ASSERT_EQ(corner.x, 10.5f);
        ASSERT_EQ(corner.y, 14.5f);
        expected = {{11, 15}, {12, 15}, {11, 16}, {12, 16}};
      } else {
        const int x = static_cast<int>(corner.x), y = static_cast<int>(corner.y);
        ASSERT_EQ(static_cast<float>(x), corner.x) << def.name;
        ASSERT_EQ(static_cast<float>(y), corner.y) << def.name;
        for (int j = 0; j < def.footprintLength; ++j)
          for (int i = 0; i < def.footprintWidth; ++i)
            if (def.footprint[j][i] != 0) expected.insert({x + i, y + j});
      }
      SquareSet covered;
      for (int index : piece->GetFootprintSquares()) {
        covered.insert({index % side, index / side});
        EXPECT_EQ(coveredBy.count({index % side, index / side}), 0u) << def.name;
        coveredBy[{index % side, index / side}] = demo.pieceIds[k];
      }
      EXPECT_EQ(covered, expected) << def.name;
    }
    park.ClearWorld();
    DemoContent::ReleaseDemoPark();
  }
  ClearPlacedSectionList();
}

// --- The player's trick bonus ---

// Bodies that touch the ground only when the test says so.
using ContactBody = testing_support::ContactMotion;

std::vector<ContactBody*> g_bodies;
std::unique_ptr<CSkaterMotion> MakeContactBody(CSkater&) {
  auto body = std::make_unique<ContactBody>();
  g_bodies.push_back(body.get());
  return body;
}

// Skaters with the game's own animator (and its link to the world and the controller).
struct AnimatedController : ControllerPark {
  AnimatedController() {
    g_bodies.clear();
    CSkater::SetBodyFactory(MakeContactBody, MakeSkaterAnimator);
  }
  ~AnimatedController() override {
    RegisterSkaterBody();  // the game's own, for the tests after
    g_bodies.clear();
  }
  CSkaterAnimator& Animator(CSkater* s) { return dynamic_cast<CSkaterAnimator&>(s->GetAnimation()); }
  // One air trick recorded, played, taken off and landed cleanly.
  void LandAirTrick(CSkater* s, size_t body, uint32_t trick) {
    s->GetTricks().AddTrick(trick, 3, 1, 0.0f, 0.0f);
    s->body.landingError = 0.0f;
    Animator(s).Play(static_cast<int>(trick), true);
    g_bodies[body]->contact = false;
    Animator(s).Step(0.03f);
    g_bodies[body]->contact = true;
    Animator(s).Step(0.03f);
  }
  void ExpectFigures(float largest, float exhibition) {
    EXPECT_EQ(logic->GetLargestTrickBonus(), largest);
    EXPECT_EQ(logic->GetExhibitionMoney(), exhibition);
    EXPECT_EQ(logic->GetExhibitionTotal(), exhibition);
  }
};

// Values by the table: a Japan Air (0.5) alone is 4 x 5 x 1.5 = 30, an Indy (0.2) 12.
TEST_F(AnimatedController, ThePlayersLandingsPayThroughTheControllerAndAnAisPaysNothing) {
  CSkater* player = AddSkater(Vector3(4.0f, 4.0f, 0.5f));
  CSkater* ai = AddSkater(Vector3(10.0f, 4.0f, 0.5f));
  ASSERT_NE(player, nullptr);
  ASSERT_NE(ai, nullptr);
  ASSERT_EQ(g_bodies.size(), 2u);
  logic->SetSelectedSkater(player->GetID());
  logic->SetSkaterControl(true);
  ASSERT_TRUE(player->IsPlayerControlled());
  EXPECT_EQ(logic->GetTrickBonusFactor(), 1.0f);

  double money = park->GetMoney();
  LandAirTrick(player, 0, 30);
  EXPECT_EQ(park->GetMoney() - money, 30.0);
  ExpectFigures(30.0f, 30.0f);
  money = park->GetMoney();
  LandAirTrick(player, 0, 24);
  EXPECT_EQ(park->GetMoney() - money, 12.0);
  ExpectFigures(30.0f, 42.0f);

  // Valuing the touch-down alone pays nothing: the animator's landing step is the one payer, so a
  // landing is never paid twice.
  money = park->GetMoney();
  player->GetTricks().AddTrick(24, 3, 1, 0.0f, 0.0f);
  player->body.landingError = 0.0f;
  EXPECT_EQ(player->FinishAirTrick(), 12.0f);
  EXPECT_EQ(park->GetMoney(), money);
  ExpectFigures(30.0f, 42.0f);

  // The AI skater's landings have their value but pay nobody.
  money = park->GetMoney();
  LandAirTrick(ai, 1, 30);
  EXPECT_TRUE(ai->GetTricks().IsFinished(0));
  ai->GetTricks().AddTrick(30, 3, 1, 0.0f, 0.0f);
  EXPECT_EQ(ai->FinishAirTrick(), 30.0f);

  // Let go, the skater is an AI skater again and earns nothing. Payments only add, so the money
  // and figures as before the AI's landings show that none of the three paid.
  logic->SetSkaterControl(false);
  EXPECT_EQ(logic->GetTrickBonusFactor(), 0.0f);
  LandAirTrick(player, 0, 30);
  EXPECT_EQ(park->GetMoney(), money);
  ExpectFigures(30.0f, 42.0f);
}

// An AI skater that comes down in grinding mode starts its route's grind: a grind chosen and
// recorded, the grind steps counted afresh.
TEST_F(AnimatedController, AGrindingAiLandingStartsTheGrind) {
  CSkater* ai = AddSkater(Vector3(10.0f, 4.0f, 0.5f));
  ASSERT_NE(ai, nullptr);
  ai->ability.skill = 1.0f;
  ai->ability.trickSkill[4] = 1.0f;
  ai->route.grindSteps = 3;
  Animator(ai).Play(24, true);
  g_bodies[0]->contact = false;
  Animator(ai).Step(0.03f);
  ai->body.motionMode = CSkater::kGrinding;
  const size_t records = ai->GetTricks().GetCount();
  g_bodies[0]->contact = true;
  Animator(ai).Step(0.03f);
  ASSERT_EQ(ai->GetTricks().GetCount(), records + 1);
  EXPECT_EQ(ai->GetTricks().GetCategory(0), 4);
  EXPECT_EQ(ai->route.grindSteps, 0u);
  EXPECT_EQ(static_cast<uint32_t>(ai->GetTricks().GetTrick(0)), ai->body.currentTrick);
}

// --- The ollie is a trick ---

// Entry 21 of the table is the Ollie, difficulty 0: the one flip trick a beginner has, and the
// player's trick when no keys were typed. Chosen, it is recorded and counts for boredom.
TEST_F(AnimatedController, AChosenOllieIsRecordedLikeAnyTrick) {
  CSkater* ai = AddSkater(Vector3(10.0f, 4.0f, 0.5f));
  ai->ability.skill = 0.0f;
  for (uint32_t category : {2u, 3u}) {
    ai->ability.trickSkill[category] = 0.0f;
    const size_t records = ai->GetTricks().GetCount();
    EXPECT_EQ(ai->ChooseTrick(category), CSkaterAnimation::kOllie);
    ASSERT_EQ(ai->GetTricks().GetCount(), records + 1);
    EXPECT_EQ(ai->GetTricks().GetTrick(0), CSkaterAnimation::kOllie);
    EXPECT_EQ(ai->GetTricks().GetCategory(0), static_cast<int>(category));
    EXPECT_EQ(ai->body.currentTrick, static_cast<uint32_t>(CSkaterAnimation::kOllie));
  }
  EXPECT_EQ(ai->GetTricks().CountDistinctTricks(), 1u);
  char line[64];
  ai->GetTricks().FormatEntry(
      0, [this, ai](uint32_t t) { return Animator(ai).GetDisplayName(static_cast<int>(t)); }, line, sizeof line);
  EXPECT_EQ(std::string(line), "Ollie");

  CSkater* player = AddSkater(Vector3(4.0f, 4.0f, 0.5f));
  logic->SetSelectedSkater(player->GetID());
  logic->SetSkaterControl(true);
  EXPECT_EQ(player->ChooseTrick(2), CSkaterAnimation::kOllie);
  EXPECT_EQ(player->GetTricks().GetTrick(0), CSkaterAnimation::kOllie);

  // Nothing chosen is nothing recorded; the jump still shows the ollie.
  CTrickHistory history;
  history.AddTrick(CTrickHistory::kNoTrick, 2, 1, 0.0f, 0.0f);
  EXPECT_EQ(history.GetCount(), 0u);
  history.AddTrick(CSkaterAnimation::kOllie, 2, 1, 0.0f, 0.0f);
  EXPECT_EQ(history.GetCount(), 1u);
}

// --- Sound ranks ---

// A link whose sounds always start, so that the rolling loop shows who may be heard.
struct HearingLink : CSkaterAnimatorLink {
  int PlaySound(int id, bool, int32_t) override { return id >= 0 ? next++ : -1; }
  void StopSound(int) override {}
  void SetSoundVolume(int, int32_t) override {}
  CResourceTable* GetResources() override { return resources; }
  bool GetCamera(COrientation& frame, bool& orthographic) override {
    frame = COrientation();
    orthographic = false;
    return true;
  }
  double GetWorldTime() override { return 0.0; }
  uint32_t GetSurfaceMaterial(uint32_t) override { return 0; }
  bool IsPlayer(const CSkater&) override { return false; }
  float GetBonusFactor() override { return 0.0f; }
  void AwardTrickBonus(float) override {}
  void StartGrind(CSkater&) override {}
  CResourceTable* resources = nullptr;
  int next = 1;
};

CResourceTable* g_sounds = nullptr;
std::unique_ptr<CSkaterAnimation> MakeHearingAnimator(CSkater& skater) {
  auto link = std::make_unique<HearingLink>();
  link->resources = g_sounds;
  return std::make_unique<CSkaterAnimator>(skater, std::move(link));
}

// Every ranking gives each skater its place as its sound rank; the four nearest roll audibly,
// the rest are silent, and a skater that comes near takes a silent one's place.
TEST_F(ControllerPark, TheCameraRankingIsEverySkatersSoundRank) {
  CResourceTable sounds;
  for (const char* surface : {"concrete", "wood", "metal"})
    for (const char* action : {"skate", "slide", "grind", "walk", "land"})
      sounds.Add((std::string("data/sounds/") + action + surface + ".wav").c_str());
  g_sounds = &sounds;
  CSkater::SetBodyFactory(nullptr, MakeHearingAnimator);
  std::vector<CSkater*> skaters;
  // Farther and farther from the focus (8, 8), across the view.
  for (int k = 0; k < 6; ++k) skaters.push_back(AddSkater(Vector3(8.0f + 1.5f * k, 8.0f - 1.5f * k, 0.5f)));
  RegisterSkaterBody();
  for (CSkater* s : skaters) {
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetSoundRank(), CSkater::kNone);  // before any ranking
    s->SetVelocity(Vector3(2.0f, 0.0f, 0.0f));
  }
  auto rankAndListen = [&]() {
    logic->UpdateCamera(0.0f);
    logic->RankSkatersByCameraDistance();
    std::vector<uint32_t> ranks;
    for (CSkater* s : skaters) {
      EXPECT_EQ(static_cast<int>(s->GetSoundRank()), logic->GetSkaterRank(s->GetID()));
      ranks.push_back(s->GetSoundRank());
      s->GetAnimation().UpdateRollingSound(0.03f);
    }
    return ranks;
  };
  EXPECT_EQ(rankAndListen(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
  for (size_t k = 0; k < skaters.size(); ++k) {
    const auto& animator = dynamic_cast<const CSkaterAnimator&>(skaters[k]->GetAnimation());
    EXPECT_EQ(animator.GetRollingSoundHandle() >= 0, k < 4) << k;
  }
  // The farthest comes to the focus: everyone else moves one place down.
  skaters[5]->SetCentre(Vector3(8.0f, 8.0f, 0.5f));
  skaters[0]->SetCentre(Vector3(8.2f, 7.8f, 0.5f));
  EXPECT_EQ(rankAndListen(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 0}));
  for (size_t k = 0; k < skaters.size(); ++k) {
    const auto& animator = dynamic_cast<const CSkaterAnimator&>(skaters[k]->GetAnimation());
    EXPECT_EQ(animator.GetRollingSoundHandle() >= 0, k < 3 || k == 5) << k;
  }
  g_sounds = nullptr;
}

// --- Thought bubbles ---

void WriteTarga(const std::string& path) {
  const uint32_t pixels[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
  CTexture texture;
  ASSERT_TRUE(texture.CreateFromPixels(pixels, 4, 2, 2, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u, 0, "b"));
  ASSERT_TRUE(texture.SaveTarga(path.c_str()));
}

// The fixture's game started without a resource table: one line, no bubbles, and the game runs.
TEST_F(ControllerPark, WithoutBubbleTexturesTheGameStartsWithOneLineAndNoBubbles) {
  const std::string& text = log.Text();
  const std::string line = "ThoughtTexts: 7 of 7 thought bubble textures could not be loaded";
  ASSERT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(text.find(line, text.find(line) + 1), std::string::npos);
  CResourceTable empty;
  for (uint32_t n = 0; n < 72; ++n) EXPECT_EQ(thoughts::GetBubbleTextureObject(empty, n), nullptr) << n;
}

// A game started with six of the seven textures at hand: each thought of a group shows its
// group's texture, the missing group none, and numbers from 40 on never any.
TEST(ThoughtBubbles, AGameStartLoadsEveryTextureThereIsOnce) {
  // The skater's body as the program registers it, whatever body another test left behind.
  RegisterSkaterBody();
  CSkater::SetBodyMeshSource(nullptr);
  testing_support::TempFolder folder;
  testing_support::DebugCapture log;
  CResourceTable table;
  const char* names[] = {"hungry", "thirsty", "pee", "buystuff", "injured", "tired"};  // no "cost"
  for (const char* name : names) {
    const std::string path = folder.Path() + "data/textures/thoughtbubbles/" + name + ".tga";
    std::filesystem::create_directories(folder.Path() + "data/textures/thoughtbubbles");
    WriteTarga(path);
    ASSERT_GE(table.Add(path.c_str()), 0);
  }
  CVerezIvor park(nullptr, nullptr);
  park.SetResourceTable(&table);
  auto owned = std::make_unique<CGameLogic>();
  park.SetController(owned.get());
  park.AddLayerOnTop(std::move(owned));  // starts the game
  EXPECT_NE(log.Text().find("ThoughtTexts: 1 of 7 thought bubble textures could not be loaded"), std::string::npos)
      << log.Text();
  for (uint32_t n = 0; n < 72; ++n) {
    CTexture* texture = thoughts::GetBubbleTextureObject(table, n);
    const int expectedGroup = n < 15 ? static_cast<int>(n / 5) : n < 25 ? 3 : n < 35 ? static_cast<int>(n / 5) - 1 : -1;
    if (expectedGroup < 0) {
      EXPECT_EQ(texture, nullptr) << n;
      continue;
    }
    ASSERT_NE(texture, nullptr) << n;
    const std::string path = folder.Path() + "data/textures/thoughtbubbles/" + names[expectedGroup] + ".tga";
    EXPECT_EQ(texture, table.GetResource(table.FindByName(path.c_str()))) << n;
  }
  // Only through the table they were loaded from: another table (here one listing the same files,
  // which it would load afresh) is not asked.
  CResourceTable other;
  for (const char* name : names) other.Add((folder.Path() + "data/textures/thoughtbubbles/" + name + ".tga").c_str());
  for (uint32_t n = 0; n < 72; ++n) EXPECT_EQ(thoughts::GetBubbleTextureObject(other, n), nullptr) << n;
  // Once loaded, a second start finds the same objects.
  CTexture* hungry = thoughts::GetBubbleTextureObject(table, 0);
  EXPECT_EQ(thoughts::LoadThoughtBubbleTextures(&table), 6);
  EXPECT_EQ(thoughts::GetBubbleTextureObject(table, 4), hungry);

  // Drawn: an AI skater's newest bubble thought as one sprite of that texture, 0.3 above its head
  // (here, without a body, the top of its sphere), where a sprite of the same size lies; a newer
  // thought without a bubble texture changes nothing, a served need's bubble goes, and the
  // player's skater thinks no bubbles.
  COctree tree(Box(Vector3(-100, -100, -100), Vector3(100, 100, 100)));
  LightList lights(&tree);
  RecordingRasterizer rasterizer(640, 480);
  ViewFrustum camera;
  FogState fog;
  CRenderView view;
  camera.SetFieldOfView(1.2f);
  view.Setup(&rasterizer, &camera, &fog, &lights, 1 | 16);
  ASSERT_TRUE(view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                              CRenderView::FrameOutput::kDraw));
  auto made = std::make_unique<CSkater>();
  CSkater* skater = made.get();
  COrientation frame;
  frame.SetPosition(Vector3(10.0f, 1.0f, 0.5f));
  skater->LoadBody(frame);
  ASSERT_NE(park.RegisterNewObject(std::move(made)), 0u);
  auto drawn = [&]() {
    rasterizer.Forget();
    skater->Render(&view);
    view.FlushSortedQueue();
    std::vector<RecordingRasterizer::Draw> out;
    for (const RecordingRasterizer::Draw& d : rasterizer.draws)
      if (d.texture != nullptr && d.texture == hungry) out.push_back(d);
    return out;
  };
  EXPECT_TRUE(drawn().empty());                // no thought yet
  skater->GetThoughts().AddThought(2, true);   // food lines too long: the hungry bubble
  skater->GetThoughts().AddThought(70, true);  // bored: no bubble texture, the food one stays up
  const std::vector<RecordingRasterizer::Draw> bubble = drawn();
  ASSERT_EQ(bubble.size(), 1u);
  rasterizer.Forget();
  view.DrawSprite(Vector3(10.0f, 1.0f, 0.5f + 0.45f + 0.3f), 0.3f, nullptr, 0xFFFFFFFFu);
  view.FlushSortedQueue();
  ASSERT_EQ(rasterizer.draws.size(), 1u);
  const std::vector<ScreenVertex>& got = bubble[0].vertices;
  const std::vector<ScreenVertex>& want = rasterizer.draws[0].vertices;
  ASSERT_EQ(got.size(), 4u);
  ASSERT_EQ(want.size(), 4u);
  float centre[2][2] = {};
  for (int i = 0; i < 4; ++i) {
    centre[0][0] += 0.25f * got[i].x, centre[0][1] += 0.25f * got[i].y;
    centre[1][0] += 0.25f * want[i].x, centre[1][1] += 0.25f * want[i].y;
  }
  EXPECT_NEAR(centre[0][0], centre[1][0], 1e-3f);
  EXPECT_NEAR(centre[0][1], centre[1][1], 1e-3f);
  EXPECT_NEAR(std::fabs(got[0].x - got[3].x), std::fabs(want[0].x - want[3].x), 1e-3f);
  skater->GetThoughts().ClearBubbles(0);
  EXPECT_TRUE(drawn().empty());
  skater->GetThoughts().AddThought(1, true);
  EXPECT_EQ(drawn().size(), 1u);
  park.SetPlayerSkaterId(skater->GetID());
  EXPECT_TRUE(drawn().empty());
  park.SetPlayerSkaterId(0);
  park.ClearWorld();
  park.SetResourceTable(nullptr);
  EXPECT_EQ(thoughts::LoadThoughtBubbleTextures(nullptr), 0);
}

}  // namespace
}  // namespace control_test
