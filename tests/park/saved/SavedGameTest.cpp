// Saved games: the file frame, the park block at every version, the reference numbers, a save that
// reads back into the same park byte for byte, and files that are cut short, damaged or clash with
// the running park failing without touching it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/world/GameObject.h"
#include "core/data/ByteCursor.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/OctreeNode.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/saved/SavedGameParkBlock.h"
#include "park/skater/Skater.h"
#include "park/world/ParkClearing.h"
#include "park/world/VerezIvor.h"
#include "platform/files/FileSystem.h"
#include "platform/system/Platform.h"
#include "render/image/Texture.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ParkPieces.h"
#include "tests/support/ParkState.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContentBoarder.h"

namespace {

using testing_support::PieceMesh;
using testing_support::RingIds;
using testing_support::SaveOf;

// A blocker that is not of the park: the clearing leaves it.
class COtherObject : public CGameObject {
 public:
  COtherObject() { SetFlags(kNetworked); }
  const char* GetInfoString() const override { return "<Other>"; }
};

// The demo boarder, written with its textures to a folder of its own, as the body of every skater
// made while it lasts.
struct DemoBoarderBody {
  DemoBoarderBody() {
    if (DemoContent::WriteBoarder(folder.Path()) &&
        mesh.Load((folder.Path() + DemoContent::kBoarderMeshPath).c_str(), nullptr, 0, false, false, false))
      body = &mesh;
    CSkater::SetBodyMeshSource([] { return body; });
  }
  ~DemoBoarderBody() {
    CSkater::SetBodyMeshSource(nullptr);
    body = nullptr;
  }
  static inline ShadedMesh* body = nullptr;
  testing_support::TempFolder folder;
  ShadedMesh mesh;
};

// What a skater shows in its head, body and board slots: the names of the textures, as the
// software renderer tells textures apart.
std::array<std::string, 3> LookOf(const CSkater& skater) {
  std::array<std::string, 3> look;
  for (uint32_t slot = 0; slot < 3; ++slot) {
    const auto* texture = dynamic_cast<const CTexture*>(skater.GetMeshInstance()->GetTexture(slot));
    look[slot] = texture != nullptr ? texture->name : "";
  }
  return look;
}

struct SavedPark : ::testing::Test {
  SavedPark() : park(nullptr, nullptr) {
    plat::srand(11);
    ClearPlacedSectionList();
    park.GetOctree().Reset(Box(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f)));
    auto grid = testing_support::OpenGroundGrid(8, 8, 0xF);
    // A strip of grass across the park: routes over it walk.
    for (int r = 0; r < 8; ++r) grid->GetSquare(4, r)->grass = 1;
    grid->AddEntrance(grid->GetSquare(0, 0));
    park.SetGrid(std::move(grid));
    terrainMesh = PieceMesh({{Vector3(1, 2, 0), "skatenode 1 external link dest=2 type=skate_to_top"},
                             {Vector3(1.5f, 2.5f, 1.0f), "skatenode 2 target grind link dest=1 type=skate"}});
    kicker = PieceMesh(testing_support::KickerNodes());
    stand = PieceMesh({{Vector3(0, 0, 0), "skatenode 1 external line link dest=2 type=walk"},
                       {Vector3(0.5f, 0.5f, 0), "skatenode 2 target buy_food action link dest=1 type=walk"}});
    catalog.meshes = {{100, kicker.get()}, {101, stand.get()}};
    catalog.terrain = terrainMesh.get();
    for (int i = 0; i < 3; ++i) {
      ObjectDefinition& def = catalog.defs[i];
      def.mesh = i == 2 ? 101 : 100;
      def.cost = 700.0;
      def.useFee = 2.5f;
      std::snprintf(def.name, sizeof(def.name), "Piece %d", i);
    }
    catalog.defs[1].type = CSkatableSection::kSponsorType;
    terrain = CSkatableSection::AddTerrainSection(park);
  }
  ~SavedPark() override { ClearParkContents(park); }

  template <typename T = CSkatableSection>
  T* Make(int def, float x, float y) {
    T* raw = testing_support::AddHeldPiece<T>(park, catalog.defs[def].mesh, &catalog.defs[def], x, y);
    raw->Place();
    return raw;
  }
  CSkater* AddSkater(const Vector3& at) { return testing_support::AddSkater(park, at); }
  void Route(CSkater* skater, CSkatePathNode* from, CSkatePathNode* to) {
    GraphPath path;
    ASSERT_TRUE(Grid().FindPathForSkater(nullptr, from, to, &path));
    skater->SetRouteFromPath(path, from);
    skater->AimAtFirstRoutePoint();
  }
  CGrid& Grid() { return *park.GetGrid(); }

  // Pieces (a sponsor among them), a facility with a fee and uses, skaters with routes over the
  // grass and onto a piece, and reservations of a square and of the facility's service point.
  void Build() {
    kickerPiece = Make(0, 2.0f, 5.0f);
    Make(0, 7.0f, 4.0f);
    sponsor = Make(1, 1.0f, 6.0f);
    sponsor->SetSponsorshipIndex(0);
    park.GetParkState().sponsorships[0].offered = 1;
    park.GetParkState().sponsorships[0].sponsorObjectID = static_cast<int32_t>(sponsor->GetID());
    facility = Make<CSkatableFacility>(2, 5.0f, 5.0f);
    facility->SetUseFee(3.75f);
    for (int i = 0; i < 4; ++i) facility->Use();
    park.GetParkState().money = 1234;
    park.GetParkState().moneyFraction = 0.25;
    park.GetParkState().SetParkName("Test Park");
    park.GetClock().SetTime(3, 5, 14.5);
    controller.largestTrickBonus = 12.0f;
    controller.focus = Vector3(1.0f, 2.0f, 3.0f);
    walker = AddSkater(Vector3(1.0f, 1.0f, 0.5f));
    Route(walker, Grid().GetSquare(1, 1), Grid().GetSquare(6, 3));
    walker->SetName("Walker");
    rider = AddSkater(Vector3(2.0f, 5.0f, 0.5f));
    Route(rider, kickerPiece->GetPathNodes()[0]->GetRingRepresentative(),
          kickerPiece->GetPathNodes()[2]->GetRingRepresentative());
    buyer = AddSkater(Vector3(3.0f, 3.0f, 0.5f));
    ASSERT_TRUE(buyer->ReserveNode(facility->GetPathNodes()[1].get()));
    AddSkater(Vector3(7.0f, 7.0f, 0.5f))->ReserveNode(Grid().GetSquare(7, 6));
    Grid().GetSquare(3, 3)->nearPiece = 1;
    Grid().UpdateComponents();
  }

  std::vector<uint8_t> SaveNow() {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(CSavedGame::Save(park, controller, bytes));
    return bytes;
  }

  std::unique_ptr<ShadedMesh> terrainMesh, kicker, stand;
  CVerezIvor park;
  ControllerSaveFields controller;
  CSkatableSection* terrain = nullptr;
  CSkatableSection* kickerPiece = nullptr;
  CSkatableSection* sponsor = nullptr;
  CSkatableFacility* facility = nullptr;
  CSkater* walker = nullptr;
  CSkater* rider = nullptr;
  CSkater* buyer = nullptr;
  testing_support::TestPieceCatalog catalog{3};  // last: the sources go before the park does
  std::unique_ptr<DemoBoarderBody> boarder;      // outlives the skaters: the park is cleared first
};

// Everything the references of a park make, by id: rings, components, routes and reservations.
struct Relations {
  std::map<uint32_t, std::set<uint32_t>> rings;
  std::vector<uint32_t> components;
  std::map<uint32_t, std::vector<uint32_t>> routes;       // skater -> node ids
  std::map<uint32_t, std::vector<uint32_t>> routeEdges;   // skater -> kind, mode, link number per step
  std::map<uint32_t, uint32_t> reservations;              // node -> skater
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> minds;  // skater -> target, reserved
  std::vector<uint32_t> placed, skaters, squarePieces;
  bool operator==(const Relations& o) const {
    return rings == o.rings && components == o.components && routes == o.routes && routeEdges == o.routeEdges &&
           reservations == o.reservations && minds == o.minds && placed == o.placed && skaters == o.skaters &&
           squarePieces == o.squarePieces;
  }
};

Relations TakeRelations(CVerezIvor& park) {
  Relations r;
  CGrid& grid = *park.GetGrid();
  const testing_support::ParkGridState state = testing_support::TakeParkGridState(park);
  r.components = state.components;
  r.placed = state.placed;
  auto note = [&](const CSkatePathNode* node) {
    r.rings[node->GetNodeId()] = RingIds(node);
    if (node->IsReserved()) r.reservations[node->GetNodeId()] = node->GetReservingSkaterId();
  };
  for (int i = 0; i < grid.GetSquareCount(); ++i) {
    note(grid.GetSquareByIndex(i));
    for (uint32_t id : grid.GetSquareByIndex(i)->GetObjectIds()) r.squarePieces.push_back(id);
    r.squarePieces.push_back(0);
  }
  for (uint32_t id : GetPlacedSectionList())
    for (const auto& node : GetPlacedSection(id)->GetPathNodes()) {
      note(node.get());
      r.components.push_back(node->GetComponentId() == grid.GetSquareByIndex(0)->GetComponentId());
    }
  for (const CSkater* s : GetSkaterList()) {
    r.skaters.push_back(s->GetID());
    for (const CSkater::RouteStep& step : s->route.steps) {
      r.routes[s->GetID()].push_back(step.nodeId);
      auto& e = r.routeEdges[s->GetID()];
      e.insert(e.end(), {step.hasLink, step.edge.kind, step.edge.mode, step.linkNumber});
    }
    r.minds[s->GetID()] = {s->mind.targetNodeId, s->mind.reservedNodeId};
  }
  return r;
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) { return le::ReadU32(b.data() + at); }

TEST_F(SavedPark, FrameBlocksAndTrailersStandWhereTheFormatSays) {
  Build();
  const std::vector<uint8_t> bytes = SaveNow();
  ASSERT_GT(bytes.size(), SavedParkBlock::kSize + 8);
  EXPECT_EQ(U32At(bytes, 0), 12u);
  EXPECT_EQ(U32At(bytes, SavedParkBlock::kSize), CSavedGame::kObjectsMarker);
  const uint32_t count = U32At(bytes, SavedParkBlock::kSize + 4);
  EXPECT_EQ(count, 5u);  // the terrain and four pieces, in placed order
  EXPECT_EQ(bytes[SavedParkBlock::kSize + 8], 0);  // the terrain is a section
  EXPECT_EQ(U32At(bytes, SavedParkBlock::kSize + 8 + 9), terrain->GetID());
  // Walk the records by their own reader's length to find each trailer.
  size_t at = SavedParkBlock::kSize + 8;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t kind = bytes[at];
    EXPECT_EQ(kind, i == 4 ? 1 : 0) << i;
    at += SaveOf(*GetPlacedSection(GetPlacedSectionList()[i])).size();
    EXPECT_EQ(U32At(bytes, at), 0xDA4A9833u - i) << i;
    at += 4;
  }
  EXPECT_EQ(U32At(bytes, at), CSavedGame::kGridMarker);
  at += 4 + SaveOf(Grid()).size();
  EXPECT_EQ(U32At(bytes, at), CSavedGame::kSkatersThenTickMarker);
  EXPECT_EQ(U32At(bytes, at + 4), 4u);
}

TEST_F(SavedPark, AnEmptyParkHasNoObjectsAndTheGridBlockFollowsTheCount) {
  ClearParkContents(park);
  park.RemoveObject(terrain->GetID());
  Grid().SetTerrainId(CSkatePathNode::kNone);
  for (int i = 0; i < Grid().GetSquareCount(); ++i) Grid().GetSquareByIndex(i)->SetObjectIds({});
  const std::vector<uint8_t> bytes = SaveNow();
  EXPECT_EQ(U32At(bytes, SavedParkBlock::kSize + 4), 0u);
  EXPECT_EQ(U32At(bytes, SavedParkBlock::kSize + 8), CSavedGame::kGridMarker);
  // Without a terrain of its own the park takes the file's absence of one.
  EXPECT_TRUE(CSavedGame::Load(park, controller, bytes.data(), bytes.size()));
  EXPECT_EQ(SaveNow(), bytes);
}

TEST_F(SavedPark, SaveLoadSaveIsByteIdenticalAndEveryRelationComesBack) {
  boarder = std::make_unique<DemoBoarderBody>();
  ASSERT_NE(DemoBoarderBody::body, nullptr);
  Build();
  // Every skater in a look of its own drawing.
  std::map<uint32_t, std::array<std::string, 3>> looks;
  std::set<std::string> shown;
  for (CSkater* s : GetSkaterList()) {
    s->PickAppearance(true);
    looks[s->GetID()] = LookOf(*s);
    shown.insert(looks[s->GetID()].begin(), looks[s->GetID()].end());
    EXPECT_EQ(std::set<std::string>(looks[s->GetID()].begin(), looks[s->GetID()].end()).size(), 3u)
        << "head, body and board each show a texture of their own";
  }
  EXPECT_GT(shown.size(), 3u) << "the skaters all look alike";
  // Put down again, a piece goes last in the placed list, after pieces with higher ids: the order
  // the skaters' searches walk, which the file keeps.
  CSkatableSection* second = GetPlacedSection(GetPlacedSectionList()[2]);
  second->PickUp();
  second->Place();
  ASSERT_EQ(GetPlacedSectionList().back(), second->GetID());
  park.SetWorldTime(321.5);
  const std::vector<uint8_t> first = SaveNow();  // numbers the links the routes name
  const Relations before = TakeRelations(park);
  // Change the park first, so the load has to replace it.
  Make(0, 3.0f, 1.0f);
  AddSkater(Vector3(2.0f, 2.0f, 0.5f));
  park.RemoveObject(rider->GetID());
  park.GetParkState().money = 1;
  park.SetWorldTime(2.0);
  ControllerSaveFields loaded;
  ASSERT_TRUE(CSavedGame::Load(park, loaded, first.data(), first.size()));
  EXPECT_EQ(SaveNow(), first);
  EXPECT_TRUE(TakeRelations(park) == before);
  // A loaded skater looks as it did when it was saved.
  for (const CSkater* s : GetSkaterList()) EXPECT_EQ(LookOf(*s), looks[s->GetID()]) << s->GetID();
  // The caller's controller fields, which the park's own bytes do not show. Every field of the
  // park, its pieces and skaters is in the bytes compared above; the grass walk's step in the
  // relations (its edge mode and link number).
  EXPECT_EQ(loaded.largestTrickBonus, 12.0f);
  EXPECT_EQ(loaded.focus.z, 3.0f);
  // A piece put down after the load takes node ids above every loaded one.
  for (const auto& node : Make(0, 3.0f, 1.0f)->GetPathNodes())
    EXPECT_GT(node->GetNodeId(), before.rings.rbegin()->first);
}

TEST_F(SavedPark, LinkNumbersNameTheGridsTwoStepsAndEveryPieceLink) {
  Build();
  SaveNow();  // numbers the links
  EXPECT_EQ(CSavedGame::FindLinkByID(0), &Grid().GetPlainEdge());
  EXPECT_EQ(CSavedGame::FindLinkByID(1), &Grid().GetGrassEdge());
  EXPECT_EQ(CSavedGame::FindLinkByID(CSkatePathNode::kNone), nullptr);
  uint32_t expected = 2;
  for (uint32_t id : GetPlacedSectionList())
    for (const SectionLink& link : GetPlacedSection(id)->GetPathLinks()) {
      EXPECT_EQ(link.number, expected);
      EXPECT_EQ(CSavedGame::FindLinkByID(expected++), &link.edge);
    }
  EXPECT_EQ(CSavedGame::FindLinkByID(expected), nullptr);
  // The rider's route onto the kicker names the kicker's link; its first step has none (-1).
  const auto& steps = rider->route.steps;
  ASSERT_GE(steps.size(), 2u);
  EXPECT_FALSE(steps[0].hasLink);
  EXPECT_GE(steps.back().linkNumber, 2u);
  EXPECT_EQ(CSavedGame::FindLinkByID(steps.back().linkNumber)->kind, steps.back().edge.kind);
  // A piece lifted under a route, before its skater decides again, takes its links along: the
  // step is saved with a number that names no link, not with its old one, which another piece's
  // link now has.
  const uint32_t old = steps.back().linkNumber;
  kickerPiece->PickUp();
  SaveNow();
  ASSERT_NE(CSavedGame::FindLinkByID(old), nullptr);
  EXPECT_TRUE(steps.back().hasLink);
  EXPECT_EQ(CSavedGame::FindLinkByID(steps.back().linkNumber), nullptr);
}

TEST_F(SavedPark, TheTerrainIsTheSameAfterALoadAsAfterANewGame) {
  const testing_support::ParkGridState fresh = testing_support::TakeParkGridState(park);
  const std::vector<uint8_t> empty = SaveNow();
  Build();
  const std::vector<uint8_t> full = SaveNow();
  ClearParkContents(park);
  EXPECT_TRUE(testing_support::TakeParkGridState(park) == fresh);
  EXPECT_FALSE(park.GetParkState().HasSponsor(0));  // its piece went
  ASSERT_TRUE(CSavedGame::Load(park, controller, full.data(), full.size()));
  ASSERT_TRUE(CSavedGame::Load(park, controller, empty.data(), empty.size()));
  EXPECT_TRUE(testing_support::TakeParkGridState(park) == fresh);
  EXPECT_EQ(GetPlacedSection(Grid().GetTerrainId()), terrain);
  EXPECT_TRUE(terrain->GetFootprintSquares().empty());
}

TEST_F(SavedPark, AFileOfTheSameLevelLoadsOntoATerrainMadeAnew) {
  Build();
  const auto& ground = terrain->GetPathNodes();
  CSkater* climber = AddSkater(Vector3(1.0f, 2.0f, 0.5f));
  Route(climber, ground[0]->GetRingRepresentative(), ground[1]->GetRingRepresentative());
  ASSERT_TRUE(ground[1]->GetRingRepresentative() == ground[1].get());
  climber->ReserveNode(ground[1].get());
  const uint32_t climberId = climber->GetID();
  const std::vector<uint8_t> file = SaveNow();
  const Relations saved = TakeRelations(park);
  const std::set<uint32_t> oldGround = {ground[0]->GetNodeId(), ground[1]->GetNodeId()};
  // A new session: the level's terrain is made again, under another id with other node ids.
  ClearParkContents(park);
  park.RemoveObject(terrain->GetID());
  terrain = CSkatableSection::AddTerrainSection(park);
  ASSERT_NE(terrain, nullptr);
  const uint32_t a = terrain->GetPathNodes()[0]->GetNodeId(), b = terrain->GetPathNodes()[1]->GetNodeId();
  EXPECT_EQ(oldGround.count(a) + oldGround.count(b), 0u);
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  EXPECT_EQ(GetPlacedSectionList().front(), terrain->GetID());
  for (int i = 0; i < Grid().GetSquareCount(); ++i) EXPECT_EQ(Grid().GetSquareByIndex(i)->GetObjectIds()[0], terrain->GetID());
  // The terrain's nodes stand in the rings and routes their saved namesakes stood in.
  const Relations loaded = TakeRelations(park);
  auto translate = [&](uint32_t id) { return id == *oldGround.begin() ? a : id == *oldGround.rbegin() ? b : id; };
  for (const auto& ring : saved.rings) {
    std::set<uint32_t> expected;
    for (uint32_t id : ring.second) expected.insert(translate(id));
    EXPECT_EQ(loaded.rings.at(translate(ring.first)), expected) << ring.first;
  }
  std::vector<uint32_t> route;
  for (uint32_t id : saved.routes.at(climberId)) route.push_back(translate(id));
  EXPECT_EQ(loaded.routes.at(climberId), route);
  EXPECT_EQ(loaded.routeEdges.at(climberId), saved.routeEdges.at(climberId));
  EXPECT_EQ(loaded.minds.at(climberId), std::make_pair(b, b));
  EXPECT_EQ(terrain->GetPathNodes()[1]->GetReservingSkaterId(), climberId);
  const std::vector<uint8_t> again = SaveNow();
  ASSERT_TRUE(CSavedGame::Load(park, controller, again.data(), again.size()));
  EXPECT_EQ(SaveNow(), again);
}

// --- The park block ---

void PutRows(std::vector<uint8_t>& b, uint32_t version) {
  auto u32 = [&](uint32_t v) { le::PutU32(b, v); };
  auto f32 = [&](float v) { le::PutF32(b, v); };
  auto f64 = [&](double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    u32(static_cast<uint32_t>(bits));
    u32(static_cast<uint32_t>(bits >> 32));
  };
  u32(version);
  if (version >= 8) {
    b.push_back(9);  // the level, as the rows name it
    b.insert(b.end(), 100, 'N');
    u32(77);
  }
  if (version >= 12) f32(5.0f), f32(6.0f), f32(7.0f);
  if (version >= 11) {
    for (int i = 0; i < 7; ++i) f64(100.0 + i);
    u32(21), u32(20);
  }
  if (version >= 10) b.push_back(0), f32(1.0f);
  if (version >= 9) f32(0.8f);
  if (version >= 7) {
    b.push_back(5);  // five slots: the fifth is read past
    for (int i = 0; i < 5; ++i) b.push_back(1), b.insert(b.end(), {0xAA, 0xBB, 0xCC}), u32(40u + static_cast<uint32_t>(i));
  }
  if (version >= 6) u32(33);
  if (version >= 5) f64(12.5);
  if (version >= 4) f64(99.0);
  if (version >= 3) u32(4321), f64(0.75);
  if (version >= 2) f32(0.4f);
  if (version >= 1) {
    for (int i = 0; i < 12; ++i) f32(static_cast<float>(i));
    f32(50.0f);
    for (int i = 0; i < 6; ++i) f32(static_cast<float>(i) + 0.5f);
  }
  b.insert(b.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  f32(30.0f), f32(0.5f), f32(0.6f), f32(0.7f);
  b.push_back(9);
  f32(45.0f), f32(123.0f);
  u32(4), u32(6), f64(15.25);
}

TEST(SavedParkBlock, VersionTwelveIs388BytesAndReadsBack) {
  SavedParkBlock block;
  block.state.money = 77;
  block.state.sponsorships[2].sponsorObjectID = 9;
  block.clockHour = 11.5;
  std::vector<uint8_t> bytes;
  block.Write(bytes);
  ASSERT_EQ(bytes.size(), 388u);
  std::vector<uint8_t> rows;
  PutRows(rows, 12);
  // The hand-made rows have five sponsorship slots: 8 bytes more.
  EXPECT_EQ(rows.size(), 388u + 8u);
  // Every field a distinct byte pattern, except what one value fills twice (the level, the
  // connectivity), what the reader skips (the name) and what is always written the same (the
  // slot count and the three empty bytes after each offered flag): read and written back whole.
  for (size_t i = 4; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  bytes[4] = bytes[363];
  std::fill(bytes.begin() + 5, bytes.begin() + 5 + ParkState::kParkNameSize, 0);
  bytes[194] = ParkState::kSponsorshipSlots;
  for (int slot = 0; slot < ParkState::kSponsorshipSlots; ++slot)
    std::fill(bytes.begin() + 196 + 8 * slot, bytes.begin() + 199 + 8 * slot, 0);
  std::copy(bytes.begin() + 355, bytes.begin() + 359, bytes.begin() + 351);
  // The skater number, the money fraction and the fee within what a park makes, each still its
  // own pattern.
  le::WriteU32(bytes.data() + 227, 123456789u);
  le::WriteF32(bytes.data() + 364, 1234.5f);
  const double fraction = 0.123456789;
  uint64_t fractionBits;
  std::memcpy(&fractionBits, &fraction, 8);
  le::WriteU32(bytes.data() + 251, static_cast<uint32_t>(fractionBits));
  le::WriteU32(bytes.data() + 255, static_cast<uint32_t>(fractionBits >> 32));
  SavedParkBlock back;
  CByteCursor in(bytes.data(), bytes.size());
  ASSERT_TRUE(back.Read(in));
  EXPECT_EQ(in.GetPosition(), 388u);
  EXPECT_EQ(back.state.statisticsScore, le::ReadF32(bytes.data() + 368));
  std::vector<uint8_t> again;
  back.Write(again);
  EXPECT_EQ(again, bytes);
}

TEST(SavedParkBlock, OlderVersionsReadTheirRowsIntoTheRightFields) {
  for (uint32_t version = 0; version <= SavedParkBlock::kVersion; ++version) {
    SCOPED_TRACE(version);
    std::vector<uint8_t> bytes;
    PutRows(bytes, version);
    SavedParkBlock b;
    b.state.SetParkName("Kept");
    b.state.money = -5;
    b.worldTime = -1.0;
    b.state.averageHappiness = -2.0f;
    b.state.savedWord = -9;
    CByteCursor in(bytes.data(), bytes.size());
    ASSERT_TRUE(b.Read(in));
    EXPECT_EQ(in.GetPosition(), bytes.size());
    // Rows every version holds.
    EXPECT_EQ(b.state.savedPair[7], 8);
    EXPECT_EQ(b.state.capacity, 30.0f);
    EXPECT_EQ(b.state.connectivity, 0.6f);  // the second copy wins
    EXPECT_EQ(b.state.variety, 0.7f);
    EXPECT_EQ(b.state.levelIndex, 9);
    EXPECT_EQ(b.clockWeek, 4u);
    EXPECT_EQ(b.clockHour, 15.25);
    EXPECT_STREQ(b.state.parkName, "Kept");
    EXPECT_EQ(b.state.savedWord, version >= 8 ? 77 : -9);
    EXPECT_EQ(b.state.money, version >= 3 ? 4321 : -5);
    EXPECT_EQ(b.state.moneyFraction, version >= 3 ? 0.75 : 0.0);
    EXPECT_EQ(b.worldTime, version >= 4 ? 99.0 : -1.0);
    EXPECT_EQ(b.state.nextSkaterNumber, version >= 6 ? 33 : 10);
    EXPECT_EQ(b.state.sponsorships[3].sponsorObjectID, version >= 7 ? 43 : -1);
    EXPECT_EQ(b.state.averageHappiness, version >= 9 ? 0.8f : -2.0f);
    EXPECT_EQ(b.state.fogEnabled, version >= 10 ? 0 : 1);
    EXPECT_EQ(b.state.contributedBySponsors, version >= 11 ? 106.0 : 0.0);
    EXPECT_EQ(b.state.skatersExited, version >= 11 ? 20u : 0u);
    EXPECT_EQ(b.controller.exhibitionTotal, version >= 12 ? 7.0f : 0.0f);
    EXPECT_EQ(b.cameraOrthoWidth, version >= 1 ? 50.0f : 0.0f);
    EXPECT_EQ(b.controller.viewDirection.z, version >= 1 ? 5.5f : -1.0f);
    // Every prefix is refused.
    for (size_t n = 0; n < bytes.size(); ++n) {
      SavedParkBlock cut;
      CByteCursor part(bytes.data(), n);
      EXPECT_FALSE(cut.Read(part)) << n;
    }
  }
  std::vector<uint8_t> newer;
  PutRows(newer, 12);
  le::WriteU32(newer.data(), 13);
  SavedParkBlock b;
  CByteCursor in(newer.data(), newer.size());
  EXPECT_FALSE(b.Read(in));
  // A head that names another level than the rows: the screens would start the one, the park
  // would claim the other.
  for (uint32_t version : {8u, 12u}) {
    std::vector<uint8_t> twoLevels;
    PutRows(twoLevels, version);
    twoLevels[4] = 3;
    CByteCursor at(twoLevels.data(), twoLevels.size());
    EXPECT_FALSE(SavedParkBlock().Read(at)) << version;
  }
}

// --- Damaged files leave the park alone ---

TEST_F(SavedPark, EveryCutShortFileFailsAndLeavesTheParkAsItWas) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  Make(0, 3.0f, 2.0f);  // the running park differs from the file
  const std::vector<uint8_t> running = SaveNow();
  const Relations relations = TakeRelations(park);
  // The check without a park (before a park of another level is given up for the file) refuses
  // every cut too.
  for (size_t n = 0; n < file.size(); ++n) {
    ControllerSaveFields c = controller;
    ASSERT_FALSE(CSavedGame::Load(park, c, file.data(), n)) << n;
    ASSERT_EQ(c.largestTrickBonus, controller.largestTrickBonus);
    ASSERT_FALSE(CSavedGame::Check(file.data(), n, CSkatableSection::GetSources(), Grid().GetSquareCount())) << n;
  }
  EXPECT_TRUE(CSavedGame::Check(file.data(), file.size(), CSkatableSection::GetSources(), Grid().GetSquareCount()));
  EXPECT_EQ(SaveNow(), running);
  EXPECT_TRUE(TakeRelations(park) == relations);
  std::vector<uint8_t> longer = file;
  longer.push_back(0);
  EXPECT_FALSE(CSavedGame::Load(park, controller, longer.data(), longer.size()));
  EXPECT_FALSE(
      CSavedGame::Check(longer.data(), longer.size(), CSkatableSection::GetSources(), Grid().GetSquareCount()));
  EXPECT_FALSE(CSavedGame::Load(park, controller, nullptr, 10));
}

TEST_F(SavedPark, RandomDamageFailsCleanlyOrLoadsAParkThatSavesStably) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  std::mt19937 rng(12345);
  int failed = 0, loaded = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> damaged = file;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) {
      // Byte flips, and whole words set to small numbers or to anything (counts, ids, indices).
      const size_t at = rng() % (damaged.size() - 3);
      const uint32_t kind = rng() % 3;
      if (kind == 0) damaged[at] ^= static_cast<uint8_t>(1 + rng() % 255);
      else le::WriteU32(damaged.data() + at, kind == 1 ? rng() % 64 : static_cast<uint32_t>(rng()));
    }
    const std::vector<uint8_t> before = SaveNow();
    if (!CSavedGame::Load(park, controller, damaged.data(), damaged.size())) {
      ++failed;
      ASSERT_EQ(SaveNow(), before) << round;
      continue;
    }
    ++loaded;
    // Whatever loaded saves and loads again to the same bytes.
    const std::vector<uint8_t> once = SaveNow();
    ASSERT_TRUE(CSavedGame::Load(park, controller, once.data(), once.size())) << round;
    ASSERT_EQ(SaveNow(), once) << round;
    ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(loaded, 0);
}

TEST_F(SavedPark, WrongMarkersTrailersAndCountsAreRefused) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  const std::vector<uint8_t> running = SaveNow();
  auto refused = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> bad = file;
    le::WriteU32(bad.data() + at, value);
    const bool ok = CSavedGame::Load(park, controller, bad.data(), bad.size());
    return !ok && SaveNow() == running;
  };
  EXPECT_TRUE(refused(SavedParkBlock::kSize, 0xABCDEF02u));
  EXPECT_TRUE(refused(SavedParkBlock::kSize + 4, 0xFFFFFFFFu));  // object count
  EXPECT_TRUE(refused(SavedParkBlock::kSize + 4, 6));
  EXPECT_TRUE(refused(SavedParkBlock::kSize + 8 + SaveOf(*terrain).size(), 0xDA4A9832u));  // trailer of record 0
  EXPECT_TRUE(refused(0, 13));  // a newer park block
  // Park records no park makes: a skater number that the next arrival would wrap, a money fraction
  // or a fee that the money cannot hold or that is no number. Their places in the park block:
  constexpr size_t kSkaterNumberAt = 227, kFractionAt = 251, kFeeAt = 364;
  ASSERT_EQ(U32At(file, kSkaterNumberAt), static_cast<uint32_t>(park.GetParkState().nextSkaterNumber));
  ASSERT_EQ(le::ReadF32(file.data() + kFeeAt), park.GetParkState().admissionFee);
  for (uint32_t number : {0x7FFFFFFFu, 1000000001u, 9u, 0x80000000u}) EXPECT_TRUE(refused(kSkaterNumberAt, number));
  for (float fee : {3.4e38f, 100001.0f, -0.5f, std::nanf(""), INFINITY}) {
    uint32_t bits;
    std::memcpy(&bits, &fee, 4);
    EXPECT_TRUE(refused(kFeeAt, bits)) << fee;
  }
  for (double fraction : {1e300, -2147483649.0, std::nan(""), -HUGE_VAL}) {
    uint64_t bits;
    std::memcpy(&bits, &fraction, 8);
    std::vector<uint8_t> bad = file;
    le::WriteU32(bad.data() + kFractionAt, static_cast<uint32_t>(bits));
    le::WriteU32(bad.data() + kFractionAt + 4, static_cast<uint32_t>(bits >> 32));
    EXPECT_FALSE(CSavedGame::Load(park, controller, bad.data(), bad.size())) << fraction;
    EXPECT_EQ(SaveNow(), running) << fraction;
  }
  // At the edges of the ranges the file loads and reads back as written.
  ParkState& state = park.GetParkState();
  state.nextSkaterNumber = 1000000000;
  state.admissionFee = 100000.0f;
  state.moneyFraction = -2147483648.0;
  const std::vector<uint8_t> edge = SaveNow();
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  ASSERT_TRUE(CSavedGame::Load(park, controller, edge.data(), edge.size()));
  EXPECT_EQ(SaveNow(), edge);
  EXPECT_EQ(state.nextSkaterNumber, 1000000000);
}

// A skater whose numbers no park makes - a fall faster than a sweep can measure, a radius of no
// body, a number that is not one - is refused whole and the running park kept; the same skater
// within the ranges loads.
TEST_F(SavedPark, SkatersWithBodiesNoParkMakesAreRefused) {
  Build();
  const std::vector<uint8_t> running = SaveNow();
  auto fileWith = [&](const std::function<void(CSkater&)>& change) {
    change(*GetSkaterList().front());
    const std::vector<uint8_t> file = SaveNow();
    EXPECT_TRUE(CSavedGame::Load(park, controller, running.data(), running.size()));
    return file;
  };
  auto loads = [&](const std::function<void(CSkater&)>& change) {
    const std::vector<uint8_t> file = fileWith(change);
    const bool loaded = CSavedGame::Load(park, controller, file.data(), file.size());
    if (!loaded) EXPECT_EQ(SaveNow(), running);
    EXPECT_TRUE(CSavedGame::Load(park, controller, running.data(), running.size()));
    return loaded;
  };
  const float nan = std::nanf("");
  testing_support::DebugCapture log;
  EXPECT_FALSE(loads([](CSkater& s) {
    s.SetVelocity(Vector3(0.0f, 0.0f, -1.5e23f));
    s.SetRadius(9.4e-39f, nullptr);
  }));
  EXPECT_NE(log.Text().find("Skater: Record holds a body no park makes\n"), std::string::npos);
  EXPECT_FALSE(loads([](CSkater& s) { s.SetVelocity(Vector3(0.0f, 0.0f, -1.5e23f)); }));
  EXPECT_FALSE(loads([](CSkater& s) { s.SetVelocity(Vector3(1001.0f, 0.0f, 0.0f)); }));
  EXPECT_FALSE(loads([&](CSkater& s) { s.SetVelocity(Vector3(0.0f, nan, 0.0f)); }));
  for (float radius : {9.4e-39f, 1e-3f, 0.0099f, 10.5f})
    EXPECT_FALSE(loads([&](CSkater& s) { s.SetRadius(radius, nullptr); })) << radius;
  EXPECT_FALSE(loads([&](CSkater& s) { s.needs.hunger = nan; }));
  EXPECT_FALSE(loads([&](CSkater& s) { s.body.frontContact.y = INFINITY; }));
  EXPECT_FALSE(loads([&](CSkater& s) { s.times.timeInPark = std::nan(""); }));
  EXPECT_FALSE(loads([&](CSkater& s) {
    COrientation frame = s.GetFrame();
    frame.SetPosition(Vector3(nan, 0.0f, 0.0f));
    s.SetFrame(frame);
  }));
  // At the edges of the ranges it loads, and reads back as written.
  const std::vector<uint8_t> edge = fileWith([](CSkater& s) {
    s.SetVelocity(Vector3(0.0f, 600.0f, -800.0f));
    s.SetRadius(0.01f, nullptr);
  });
  ASSERT_TRUE(CSavedGame::Load(park, controller, edge.data(), edge.size()));
  EXPECT_EQ(SaveNow(), edge);
  EXPECT_EQ(GetSkaterList().front()->GetRadius(), 0.01f);
  EXPECT_EQ(GetSkaterList().front()->GetVelocity(), Vector3(0.0f, 600.0f, -800.0f));
  const std::vector<uint8_t> widest = fileWith([](CSkater& s) { s.SetRadius(10.0f, nullptr); });
  ASSERT_TRUE(CSavedGame::Load(park, controller, widest.data(), widest.size()));
  EXPECT_EQ(GetSkaterList().front()->GetRadius(), 10.0f);
}

// The level's terrain numbers its links in a row from its first; a file whose terrain links are
// numbered otherwise cannot be carried onto it and is refused, whichever link is out of step.
TEST_F(SavedPark, TerrainLinksNotNumberedInARowAreRefused) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  const std::vector<uint8_t> running = SaveNow();
  const std::vector<uint8_t> record = SaveOf(*terrain);
  ASSERT_EQ(terrain->GetPathLinks().size(), 2u);
  // The terrain is the first record; its two links close it, each ending on its number.
  const size_t second = SavedParkBlock::kSize + 8 + record.size() - 4, first = second - 20;
  const uint32_t number = le::ReadU32(file.data() + first);
  ASSERT_EQ(le::ReadU32(file.data() + second), number + 1);
  auto loads = [&](uint32_t firstNumber, uint32_t secondNumber) {
    std::vector<uint8_t> changed = file;
    le::WriteU32(changed.data() + first, firstNumber);
    le::WriteU32(changed.data() + second, secondNumber);
    return CSavedGame::Load(park, controller, changed.data(), changed.size());
  };
  EXPECT_FALSE(loads(number, number + 2));
  EXPECT_FALSE(loads(number, number));
  EXPECT_FALSE(loads(number + 1, number));
  EXPECT_EQ(SaveNow(), running);
  EXPECT_TRUE(loads(number, number + 1));
  EXPECT_EQ(SaveNow(), running);
}

// A save fills the vector with exactly the file, whatever it held before.
TEST_F(SavedPark, SavingIntoAUsedVectorGivesJustTheFile) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  std::vector<uint8_t> used(37, 0xAB);
  ASSERT_TRUE(CSavedGame::Save(park, controller, used));
  EXPECT_EQ(used, file);
  ASSERT_TRUE(CSavedGame::Save(park, controller, used));
  EXPECT_EQ(used, file) << "saved twice into one vector";
}

TEST_F(SavedPark, SavedIdsTakenByObjectsTheParkKeepsMoveToFreshIdsWithTheirReferences) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  const Relations saved = TakeRelations(park);
  const uint32_t kickerId = kickerPiece->GetID(), sponsorId = sponsor->GetID(), buyerId = buyer->GetID();
  const uint32_t riderId = rider->GetID();
  const uint32_t serviceNode = facility->GetPathNodes()[1]->GetNodeId();
  const std::set<uint32_t> kickerSquares(kickerPiece->GetFootprintSquares().begin(), kickerPiece->GetFootprintSquares().end());
  // Objects that are not the park's take three saved ids: a piece, the sponsor piece and a skater.
  for (uint32_t id : {kickerId, sponsorId, buyerId}) {
    park.RemoveObject(id);
    ASSERT_EQ(park.RegisterNewObject(std::make_unique<COtherObject>(), id), id);
  }
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  for (uint32_t id : {kickerId, sponsorId, buyerId})
    EXPECT_NE(dynamic_cast<COtherObject*>(park.GetObjectByID(id)), nullptr) << id;
  // The pieces stand where they stood under new ids, and what named them names the new ones.
  const uint32_t newKicker = FindNodeByID(saved.routes.at(riderId).back())->GetOwnerPieceId();
  ASSERT_NE(GetPlacedSection(newKicker), nullptr);
  for (int index : kickerSquares)
    EXPECT_EQ(Grid().GetSquareByIndex(index)->GetObjectIds().back(), newKicker);
  const int32_t slot = park.GetParkState().sponsorships[0].sponsorObjectID;
  ASSERT_NE(GetPlacedSection(static_cast<uint32_t>(slot)), nullptr);
  EXPECT_EQ(GetPlacedSection(static_cast<uint32_t>(slot))->GetSponsorshipIndex(), 0);
  const uint32_t newBuyer = FindNodeByID(serviceNode)->GetReservingSkaterId();
  auto* moved = dynamic_cast<CSkater*>(park.GetObjectByID(newBuyer));
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->mind.reservedNodeId, serviceNode);
  EXPECT_EQ(GetSkaterList().size(), 4u);
  EXPECT_EQ(GetPlacedSectionList().size(), 5u);
  // The moved park saves and loads as itself.
  const std::vector<uint8_t> again = SaveNow();
  ASSERT_TRUE(CSavedGame::Load(park, controller, again.data(), again.size()));
  EXPECT_EQ(SaveNow(), again);
}

// Refused before the park is touched: two saved objects with one id, an object without an id (0 or
// the world's own "any id"), and any file when the world files no objects of its own.
TEST_F(SavedPark, TwoSavedObjectsWithOneIdOrOneWithoutAnIdAreRefused) {
  Build();
  std::vector<uint8_t> file = SaveNow();
  const std::vector<uint8_t> running = file;
  park.StartClient();
  EXPECT_FALSE(CSavedGame::Load(park, controller, file.data(), file.size()));
  park.SetSinglePlayer();
  EXPECT_EQ(SaveNow(), running);
  // The walker's record carries its id after its leading fields (version 7: 4 + 4 + 3 + 16 + 12 +
  // 1 + 30 + 4 + 8 bytes); give it the rider's.
  const std::vector<uint8_t> walkerRecord = SaveOf(*walker);
  const size_t idInRecord = 4 + 4 + 3 + 16 + 12 + 1 + 30 + 4 + 8;
  ASSERT_EQ(le::ReadU32(walkerRecord.data() + idInRecord), walker->GetID());
  const auto at = std::search(file.begin(), file.end(), walkerRecord.begin(), walkerRecord.end());
  ASSERT_NE(at, file.end());
  for (uint32_t id : {rider->GetID(), 0u, 0xFFFFFFFFu}) {
    le::WriteU32(file.data() + (at - file.begin()) + idInRecord, id);
    EXPECT_FALSE(CSavedGame::Load(park, controller, file.data(), file.size())) << id;
    EXPECT_EQ(SaveNow(), running) << id;
  }
}

TEST_F(SavedPark, FilesAreReplacedWholeOrNotAtAll) {
  Build();
  testing_support::TempFolder folder;
  const std::string path = folder.Path() + "park.sav";
  ASSERT_TRUE(CSavedGame::SaveToFile(park, controller, path.c_str()));
  const std::vector<uint8_t> first = SaveNow();
  Make(0, 3.0f, 2.0f);
  // A path that cannot be written fails and the saved file stays as it was.
  EXPECT_FALSE(CSavedGame::SaveToFile(park, controller, (folder.Path() + "missing/park.sav").c_str()));
  EXPECT_FALSE(CSavedGame::SaveToFile(park, controller, folder.Path().c_str()));
  EXPECT_FALSE(CSavedGame::SaveToFile(park, controller, nullptr));
  ASSERT_TRUE(CSavedGame::LoadFromFile(park, controller, path.c_str()));
  EXPECT_EQ(SaveNow(), first);
  EXPECT_FALSE(CSavedGame::LoadFromFile(park, controller, (folder.Path() + "none.sav").c_str()));
  EXPECT_EQ(SaveNow(), first);
}

// The tick-state block: what it holds and where, and files from before it (whose skater block
// ends the file) still loading, with the averages' interval started afresh; a grid block from
// before its square count was written loads and passes the check too.
TEST_F(SavedPark, TheTickStateFollowsTheSkatersAndOlderFilesWithoutItStillLoad) {
  Build();
  park.SetAveragesTimer(1.25f);
  const std::vector<uint8_t> file = SaveNow();
  size_t tick = 12;
  for (const CSkater* skater : GetSkaterList()) {
    std::vector<uint8_t> part;
    skater->SaveTickState(part);
    EXPECT_EQ(le::ReadU32(part.data() + 1), skater->GetID());
    tick += part.size();
  }
  const size_t start = file.size() - tick;
  EXPECT_EQ(U32At(file, start), CSavedGame::kTickStateVersion);
  EXPECT_EQ(le::ReadF32(file.data() + start + 4), 1.25f);
  EXPECT_EQ(U32At(file, start + 8), 4u);
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  EXPECT_EQ(SaveNow(), file);

  // A grid block of the first version, without its square count: the park and the check read it
  // with the level grid's count.
  const std::vector<uint8_t> gridBlock = SaveOf(Grid());
  const auto gridAt = std::search(file.begin(), file.end(), gridBlock.begin(), gridBlock.end()) - file.begin();
  ASSERT_EQ(U32At(file, static_cast<size_t>(gridAt) - 4), CSavedGame::kGridMarker);
  std::vector<uint8_t> firstGrid = file;
  le::WriteU32(firstGrid.data() + gridAt, 0);
  firstGrid.erase(firstGrid.begin() + gridAt + 4, firstGrid.begin() + gridAt + 8);
  EXPECT_TRUE(CSavedGame::Check(file.data(), file.size(), CSkatableSection::GetSources(), Grid().GetSquareCount()));
  EXPECT_TRUE(
      CSavedGame::Check(firstGrid.data(), firstGrid.size(), CSkatableSection::GetSources(), Grid().GetSquareCount()));
  EXPECT_FALSE(CSavedGame::Check(firstGrid.data(), firstGrid.size(), CSkatableSection::GetSources(),
                                 Grid().GetSquareCount() + 1));
  ASSERT_TRUE(CSavedGame::Load(park, controller, firstGrid.data(), firstGrid.size()));
  EXPECT_EQ(SaveNow(), file);

  // The same park as an older program wrote it.
  std::vector<uint8_t> older(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(start));
  size_t records = 0;
  for (const CSkater* skater : GetSkaterList()) records += SaveOf(*skater).size();
  const size_t markerAt = start - records - 8;
  ASSERT_EQ(U32At(file, markerAt), CSavedGame::kSkatersThenTickMarker);
  le::WriteU32(older.data() + markerAt, CSavedGame::kSkatersMarker);
  ASSERT_TRUE(CSavedGame::Load(park, controller, older.data(), older.size()));
  EXPECT_EQ(park.GetAveragesTimer(), 0.0f);
  std::vector<uint8_t> again = SaveNow();
  ASSERT_GT(again.size(), older.size());
  le::WriteU32(again.data() + markerAt, CSavedGame::kSkatersMarker);
  EXPECT_TRUE(std::equal(older.begin(), older.end(), again.begin()));  // every record as it was

  // An older marker with a block after it, a newer block, another count or another skater's part.
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  const std::vector<uint8_t> running = SaveNow();
  auto refused = [&](size_t offset, uint32_t value) {
    std::vector<uint8_t> bad = file;
    le::WriteU32(bad.data() + offset, value);
    return !CSavedGame::Load(park, controller, bad.data(), bad.size()) && SaveNow() == running;
  };
  EXPECT_TRUE(refused(markerAt, CSavedGame::kSkatersMarker));
  EXPECT_TRUE(refused(start, CSavedGame::kTickStateVersion + 1));
  EXPECT_TRUE(refused(start, 0));
  EXPECT_TRUE(refused(start + 8, 3));
  EXPECT_TRUE(refused(start + 8, 5));
  EXPECT_TRUE(refused(start + 12 + 1, GetSkaterList()[1]->GetID()));
}

// A loaded piece is solid and opaque, as the placed one it was saved from.
TEST_F(SavedPark, LoadedPiecesAreSolidAndOpaqueLikePlacedOnes) {
  Build();
  std::map<uint32_t, Box> boxes;
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id); !section->IsTerrain()) {
      ASSERT_TRUE(section->HasPolygonCollision());
      boxes[id] = section->GetBounds();
    }
  const std::vector<uint8_t> file = SaveNow();
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  ASSERT_EQ(boxes.size(), 4u);
  for (const auto& [id, box] : boxes) {
    CSkatableSection* section = GetPlacedSection(id);
    ASSERT_NE(section, nullptr);
    EXPECT_TRUE(section->HasPolygonCollision()) << id;
    EXPECT_EQ(section->GetMeshInstance()->GetAlpha(), 1.0f) << id;
    EXPECT_EQ(section->GetBounds().min, box.min) << id;
    EXPECT_EQ(section->GetBounds().max, box.max) << id;
  }
}

// Loading takes nothing from the game's generator: a run goes on with the numbers it would have had.
TEST_F(SavedPark, LoadingDrawsNothingFromTheGenerator) {
  Build();
  const std::vector<uint8_t> file = SaveNow();
  plat::srand(99);
  const int first = plat::rand();
  plat::srand(99);
  ASSERT_TRUE(CSavedGame::Load(park, controller, file.data(), file.size()));
  EXPECT_EQ(plat::rand(), first);
}

}  // namespace

// Cells that coarsening with limit 1 would take away: below the root, without objects, children,
// skeleton mark, listing or visibility record.
size_t CountBareLeaves(const COctreeNode& cell) {
  size_t bare = cell.parent != nullptr && cell.objects.empty() && !cell.HasChildren() && !cell.IsSkeleton() &&
                        !cell.listed && (cell.visibility == nullptr || cell.visibility->cells.empty())
                    ? 1
                    : 0;
  for (const COctreeNode* child : cell.children)
    if (child != nullptr) bare += CountBareLeaves(*child);
  return bare;
}

// Rebuilding the pieces from a file folds the octree up: empty cells left over from earlier filing
// are gone, every object of the park is still found where it stands, and coarsening again changes
// nothing.
TEST_F(SavedPark, ALoadCoarsensTheOctreeItRebuiltThePiecesIn) {
  boarder = std::make_unique<DemoBoarderBody>();
  Build();
  const std::vector<uint8_t> bytes = SaveNow();
  COctree& octree = park.GetOctree();
  // Deep corner cells that nothing is filed in; the filing itself never leaves such cells.
  ASSERT_EQ(CountBareLeaves(*octree.GetRoot()), 0u);
  const uint32_t before = octree.CountNodes(0);
  uint32_t code = 0;
  for (uint32_t depth = 0; depth < octree.GetMaxDepth(); ++depth) code = 8 * code + 1;
  ASSERT_NE(octree.FindCellByCode(code, true), nullptr);
  ASSERT_GT(octree.CountNodes(0), before);
  ASSERT_EQ(CountBareLeaves(*octree.GetRoot()), 1u);

  ControllerSaveFields loaded;
  ASSERT_TRUE(CSavedGame::Load(park, loaded, bytes.data(), bytes.size()));
  EXPECT_EQ(CountBareLeaves(*octree.GetRoot()), 0u);
  const uint32_t after = octree.CountNodes(0);
  octree.Coarsen(CSavedGame::kRebuiltCoarsenLimit);
  EXPECT_EQ(octree.CountNodes(0), after);
  // Everything filed is still met by a query over its own box.
  std::vector<CBoundedObject*> all;
  octree.CollectAll(&all, 0);
  EXPECT_EQ(all.size(), octree.GetObjectCount());
  for (CBoundedObject* object : all) {
    std::vector<CBoundedObject*> found;
    octree.QueryBox(object->GetBounds(), &found, 0);
    EXPECT_NE(std::find(found.begin(), found.end(), object), found.end());
  }
  EXPECT_EQ(SaveNow(), bytes);
}
