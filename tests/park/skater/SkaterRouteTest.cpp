// A skater's route steps, trick choice and practice, crashes, landing checks and the trick bonus,
// and the body set-up from the boarder mesh (contact points, texture choices).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "park/grid/Grid.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterMotion.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/ContactMotion.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr float kPi = 3.14159265f;

// A body that moves only when told and notes what the route steps ask of it. Its route points keep
// the real body's contract for a plain node: the node raised by the body's radius, where the
// skater's centre rides over it.
struct RecordingMotion : testing_support::ContactMotion {
  explicit RecordingMotion(CSkater& s) : skater(s) {}
  Vector3 RoutePoint(size_t i) const override {
    const CSkatePathNode* node = skater.GetRouteNode(i);
    return node != nullptr ? node->GetPosition() + Vector3(0.0f, 0.0f, skater.GetRadius()) : skater.GetCentre();
  }
  void SteerToward(const Vector3& p) override { steeredAt.push_back(p); }
  void JumpTo(const Vector3& p) override { jumpedTo.push_back(p); }
  void TakeOff(float h) override { tookOffFor.push_back(h); }
  void PlaceOnGroundAt(const Vector3& p) override { skater.SetCentre(p); }
  bool IsFreshLanding() const override { return fresh; }
  CSkater& skater;
  std::vector<Vector3> steeredAt, jumpedTo;
  std::vector<float> tookOffFor;
  bool fresh = false;
};

// A small animation table: entries 0-10 on foot, 11-20 coasting, then the trick categories.
struct Entry {
  int category;
  float difficulty;
  std::vector<int> keys;
};
std::vector<Entry> TestTable() {
  std::vector<Entry> t;
  for (int i = 0; i < 11; ++i) t.push_back({0, 0.0f, {}});
  // Eleven coasting entries: the history takes entry 21 for "no trick", so no trick sits there.
  for (int i = 0; i < 11; ++i) t.push_back({1, 0.0f, {}});
  t.push_back({2, 0.0f, {1}});      // 22
  t.push_back({2, 0.5f, {1, 2}});   // 23
  t.push_back({2, 0.3f, {3}});      // 24
  t.push_back({3, 0.0f, {4}});      // 25
  t.push_back({3, 0.4f, {5}});      // 26
  t.push_back({3, 0.9f, {6}});      // 27
  t.push_back({4, 0.1f, {}});       // 28
  t.push_back({4, 0.2f, {}});       // 29
  t.push_back({7, 0.0f, {}});       // 30
  t.push_back({7, 0.0f, {}});       // 31
  return t;
}

struct TableAnimation : CSkaterAnimation {
  TableAnimation() : table(TestTable()) {}
  void Play(int entry, bool) override {
    played.push_back(entry);
    if (entry >= 0 && entry < static_cast<int>(table.size())) current = entry;
  }
  int GetCurrent() const override { return current; }
  void Advance(float, float) override {}
  void UpdateRollingSound(float) override {}
  void PlaySound(Sound s) override { sounds.push_back(s); }
  int GetCategory(int e) const override { return Valid(e) ? table[static_cast<size_t>(e)].category : -1; }
  float GetDifficulty(int e) const override { return Valid(e) ? table[static_cast<size_t>(e)].difficulty : 0.0f; }
  const char* GetDisplayName(int) const override { return ""; }
  int GetCategoryFirst(uint32_t c) const override {
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i].category == static_cast<int>(c)) return static_cast<int>(i);
    return -1;
  }
  int GetCategoryCount(uint32_t c) const override {
    int n = 0;
    for (const Entry& e : table) n += e.category == static_cast<int>(c) ? 1 : 0;
    return n;
  }
  const std::vector<int>& GetKeys(int e) const override {
    static const std::vector<int> none;
    return Valid(e) ? table[static_cast<size_t>(e)].keys : none;
  }
  float GetPlayedPart() const override { return playedPart; }
  bool Valid(int e) const { return e >= 0 && e < static_cast<int>(table.size()); }
  std::vector<Entry> table;
  std::vector<int> played;
  std::vector<Sound> sounds;
  int current = -1;
  float playedPart = 1.0f;
};

struct FakeTexture : CTextureProperties {
  uint32_t GetFlags() const override { return 0; }
};

std::vector<uint8_t> ChoiceRecord(const char* name, uint32_t slot, const std::vector<uint32_t>& indices,
                                  uint32_t count) {
  std::vector<uint8_t> bytes(76 + 4 * indices.size(), 0);
  std::strncpy(reinterpret_cast<char*>(bytes.data()), name, 63);
  std::memcpy(bytes.data() + 64, &count, 4);
  std::memcpy(bytes.data() + 68, &slot, 4);
  if (!indices.empty()) std::memcpy(bytes.data() + 76, indices.data(), 4 * indices.size());
  return bytes;
}

struct BoarderMesh {
  BoarderMesh() {
    CTextureProperties* list[8];
    for (int i = 0; i < 8; ++i) list[i] = &textures[i];
    EXPECT_TRUE(mesh.CreateGrid(2, list, 8));
  }
  void AddText(const Vector3& at, const std::string& text) {
    COrientation frame;
    frame.SetPosition(at);
    mesh.AddAttachPoint(frame, kAttachNamedPoint, static_cast<uint32_t>(text.size() + 1), text.c_str(), false);
  }
  void AddChoice(const char* name, uint32_t slot, const std::vector<uint32_t>& indices, int count = -1) {
    const std::vector<uint8_t> bytes =
        ChoiceRecord(name, slot, indices, count < 0 ? static_cast<uint32_t>(indices.size()) : static_cast<uint32_t>(count));
    mesh.AddAttachPoint(COrientation(), kAttachTextureList, static_cast<uint32_t>(bytes.size()), bytes.data(), false);
  }
  FakeTexture textures[8];
  ShadedMesh mesh;
};

BoarderMesh* g_boarder = nullptr;
ShadedMesh* BoarderSource() { return g_boarder != nullptr ? &g_boarder->mesh : nullptr; }

RecordingMotion* g_motion = nullptr;
TableAnimation* g_animation = nullptr;


struct Rig : ::testing::Test {
  Rig() : park(nullptr, nullptr) {
    plat::srand(11);
    park.GetOctree().Reset(Box(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f)));
    // Its squares stand in for route nodes (see SetRoute).
    park.SetGrid(std::make_unique<CGrid>(8, 8, Vector3(), 1.0f, 1.0f));
    CSkater::SetBodyFactory(
        [](CSkater& s) -> std::unique_ptr<CSkaterMotion> {
          auto m = std::make_unique<RecordingMotion>(s);
          g_motion = m.get();
          return m;
        },
        [](CSkater&) -> std::unique_ptr<CSkaterAnimation> {
          auto a = std::make_unique<TableAnimation>();
          g_animation = a.get();
          return a;
        });
  }
  ~Rig() override {
    CSkater::SetBodyFactory(nullptr, nullptr);
    CSkater::SetBodyMeshSource(nullptr);
  }
  CSkater* Add() {
    auto owned = std::make_unique<CSkater>();
    CSkater* s = owned.get();
    s->LoadBody(COrientation());
    park.RegisterNewObject(std::move(owned));
    motion = g_motion;
    animation = g_animation;
    return s;
  }
  void MakePlayer(CSkater* s) { park.SetPlayerSkaterId(s->GetID()); }
  // A route of pairs with the given link kinds (the first has none) through grid squares 0, 1 ...
  // standing as nodes at (i, 0, 0).
  void SetRoute(CSkater* s, const std::vector<uint32_t>& kinds, int index = 0) {
    s->route.steps.clear();
    for (size_t i = 0; i < kinds.size(); ++i) {
      CSkater::RouteStep step;
      step.nodeId = static_cast<uint32_t>(i);
      step.hasLink = i > 0;
      step.edge = PathEdgeInfo{0.2f, kinds[i], 0};
      s->route.steps.push_back(step);
      MoveNode(i, Vector3(static_cast<float>(i), 0.0f, 0.0f));
    }
    s->route.index = index;
    s->route.mode = 1;
  }
  void MoveNode(size_t i, const Vector3& at) { park.GetGrid()->GetSquareByIndex(static_cast<int>(i))->SetPosition(at); }

  testing_support::DebugCapture capture;
  // Meshes outlive the park, whose skaters show them.
  BoarderMesh boarders[2];
  CVerezIvor park;
  RecordingMotion* motion = nullptr;
  TableAnimation* animation = nullptr;
};

// --- Trick choice and practice ---

TEST_F(Rig, AnAiSkaterOnlyGetsTricksWithinItsAbilityAndPractisesThem) {
  CSkater* s = Add();
  s->ability.skill = 0.0f;
  s->ability.trickSkill[2] = 0.0f;
  std::set<int> seen;
  for (int i = 0; i < 200; ++i) {
    s->ability.trickSkill[2] = 0.0f;
    seen.insert(s->ChooseTrick(2));
    EXPECT_FLOAT_EQ(s->ability.trickSkill[2], 0.01f);  // practice: (1 - skill) x 0.01
  }
  EXPECT_EQ(seen, std::set<int>{22});  // difficulty 0 only
  EXPECT_EQ(s->ability.trickCountA[2], 200.0f);
  EXPECT_EQ(s->ability.totalA, 200.0f);
  EXPECT_EQ(s->GetTricks().GetCount(), CTrickHistory::kMaxRecords);
  EXPECT_EQ(s->GetTricks().GetCategory(0), 2);
  EXPECT_EQ(s->GetTricks().GetEntry(0)->pieceType, CSkater::kNone);  // off any piece

  // Skill 0.5 and trick skill 0.2: the threshold 0.3 takes both tricks at or below it.
  s->ability.skill = 0.5f;
  s->ability.trickSkill[2] = 0.2f;
  seen.clear();
  for (int i = 0; i < 200; ++i) {
    s->ability.trickSkill[2] = 0.2f;
    seen.insert(s->ChooseTrick(2));
  }
  EXPECT_EQ(seen, (std::set<int>{22, 24}));

  // Nothing easy enough: -1, no record, no practice, no trick current.
  const size_t records = s->GetTricks().GetCount();
  const float practised = s->ability.totalA;
  s->ability.skill = 0.0f;
  s->ability.trickSkill[4] = 0.05f;
  EXPECT_EQ(s->ChooseTrick(4), -1);
  EXPECT_EQ(s->GetTricks().GetCount(), records);
  EXPECT_EQ(s->ability.totalA, practised);
  EXPECT_EQ(s->body.currentTrick, CTrickHistory::kNoTrick);
  EXPECT_EQ(s->ChooseTrick(6), -1);  // a category without entries
}

TEST_F(Rig, CountsAndPracticeIgnoreCategoriesBeyondTheEight) {
  CSkater* s = Add();
  s->CountLanded(3);
  s->CountLanded(3);
  s->CountLanded(8);
  s->PracticeTrick(8);
  EXPECT_EQ(s->ability.trickCountB[3], 2.0f);
  EXPECT_EQ(s->ability.totalB, 2.0f);
  EXPECT_EQ(s->ability.totalA, 0.0f);
  s->ability.trickSkill[7] = 0.5f;
  s->PracticeTrick(7);
  EXPECT_FLOAT_EQ(s->ability.trickSkill[7], 0.505f);
  EXPECT_FLOAT_EQ(s->GetAverageSkill(), (s->ability.trickSkill[2] + s->ability.trickSkill[3] + s->ability.trickSkill[4]) * 0.33333334f);
}

TEST_F(Rig, AirTricksSpinOnlyWithinTheThresholdAndBothWays) {
  CSkater* s = Add();
  s->ability.skill = 0.0f;
  s->ability.trickSkill[3] = 0.0f;
  for (int i = 0; i < 50; ++i) {
    s->ability.trickSkill[3] = 0.0f;
    s->body.spinAngle = 1.0f;
    s->ChooseTrick(3);
    EXPECT_EQ(s->body.spinAngle, 0.0f);  // u < 0 never holds
  }
  int left = 0, right = 0;
  for (int i = 0; i < 200; ++i) {
    s->ability.skill = 1.0f;
    s->ability.trickSkill[3] = 0.9f;  // threshold 1.1: every draw spins
    s->ChooseTrick(3);
    EXPECT_EQ(std::fabs(s->body.spinAngle), 2.0f * kPi);
    (s->body.spinAngle > 0.0f ? left : right)++;
    EXPECT_EQ(s->GetTricks().GetEntry(0)->startSpin, 0.0f);  // an AI skater starts from 0
  }
  EXPECT_GT(left, 60);
  EXPECT_GT(right, 60);
}

TEST_F(Rig, ThePlayersTypedKeysPickTheLastMatchingEntryAndAreUsedUp) {
  CSkater* s = Add();
  MakePlayer(s);
  ASSERT_TRUE(s->IsPlayerControlled());
  s->body.typedKeys = {1, 2, 3};
  EXPECT_EQ(s->ChooseTrick(2), 23);  // {1} and {1, 2} match; the last one wins
  EXPECT_EQ(s->body.typedKeys, std::vector<uint32_t>{3});
  EXPECT_EQ(s->ChooseTrick(2), 24);
  EXPECT_TRUE(s->body.typedKeys.empty());
  EXPECT_EQ(s->ChooseTrick(2), 22);  // no keys: the category's first entry
  s->body.typedKeys = {9, 1};
  EXPECT_EQ(s->ChooseTrick(2), 22);  // no match: all keys go
  EXPECT_TRUE(s->body.typedKeys.empty());
  s->body.spinAngle = 1.5f;
  s->ChooseTrick(3);
  EXPECT_EQ(s->GetTricks().GetEntry(0)->startSpin, 1.5f);  // the player's spin is kept
  EXPECT_EQ(s->body.spinAngle, 1.5f);
}

// --- Looking ahead ---

TEST_F(Rig, LinksAheadAreCountedFromTheCurrentPair) {
  CSkater* s = Add();
  SetRoute(s, {kLinkSkate, kLinkGrindLeft, kLinkGrindLeft, kLinkGrindLeft, kLinkSkate, kLinkGrindLeft}, 1);
  EXPECT_EQ(s->CountLinksAhead(kLinkGrindLeft), 3u);
  EXPECT_EQ(s->CountLinksAhead(kLinkSkate), 0u);
  s->route.index = 5;
  EXPECT_EQ(s->CountLinksAhead(kLinkGrindLeft), 1u);
  s->route.index = 6;
  EXPECT_EQ(s->CountLinksAhead(kLinkGrindLeft), 0u);
  s->route.index = -1;
  EXPECT_EQ(s->CountLinksAhead(kLinkGrindLeft), 0u);
  s->route.index = 0;  // the start pair has no link
  EXPECT_EQ(s->CountLinksAhead(kLinkSkate), 0u);
  EXPECT_FALSE(s->IsDropAhead());  // no piece nodes here
}

TEST(SkaterText, FindSubstringNoCase) {
  const char* text = "attach BackContact here";
  EXPECT_EQ(CSkater::FindSubstringNoCase(text, "backcontact"), text + 7);
  EXPECT_EQ(CSkater::FindSubstringNoCase(text, "HERE"), text + 19);
  EXPECT_EQ(CSkater::FindSubstringNoCase(text, "heres"), nullptr);
  const char* aab = "aab";
  EXPECT_EQ(CSkater::FindSubstringNoCase(aab, "ab"), aab + 1);
  EXPECT_EQ(CSkater::FindSubstringNoCase(nullptr, "a"), nullptr);
  EXPECT_EQ(CSkater::FindSubstringNoCase(aab, nullptr), nullptr);
  EXPECT_EQ(CSkater::FindSubstringNoCase("", "a"), nullptr);
  EXPECT_EQ(CSkater::FindSubstringNoCase("a@", "A`"), nullptr);  // only letters ignore case
}

// --- Route steps ---

TEST_F(Rig, TheLastPairStopsAdvancingAndAPairWithoutLinkOnlySteers) {
  CSkater* s = Add();
  SetRoute(s, {kLinkSkate, kLinkOllie});
  s->route.steps[1].hasLink = false;
  s->AdvanceRoute();
  EXPECT_EQ(s->route.index, 1);
  ASSERT_EQ(motion->steeredAt.size(), 1u);
  EXPECT_EQ(motion->steeredAt[0].x, 1.0f);
  EXPECT_TRUE(motion->jumpedTo.empty());  // no link: no ollie
  s->AdvanceRoute();
  EXPECT_EQ(s->route.index, 2);
  EXPECT_EQ(motion->steeredAt.size(), 1u);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kDeciding));  // the state step decides
}

TEST_F(Rig, WithTheNeedWalkFlagEveryLinkIsWalked) {
  CSkater* s = Add();
  SetRoute(s, {kLinkSkate, kLinkGrindLeft, kLinkAir, kLinkOllie, kLinkFreeAir, kLinkSkate});
  s->mind.needWalk = true;
  for (int i = 0; i < 5; ++i) {
    s->AdvanceRoute();
    EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kWalking));
  }
  EXPECT_TRUE(motion->jumpedTo.empty());
  EXPECT_TRUE(motion->tookOffFor.empty());
  EXPECT_EQ(s->GetTricks().GetCount(), 0u);
  // Walking is started once, not replayed at every pair.
  int walks = 0;
  for (int e : animation->played) walks += e == CSkaterAnimation::kWalk ? 1 : 0;
  EXPECT_EQ(walks, 1);
}

TEST_F(Rig, AirsJumpAtLeastAtTheJumpSpeedAndPickAnAirTrick) {
  CSkater* s = Add();
  SetRoute(s, {kLinkSkate, kLinkAir, kLinkFreeAir, kLinkSkateToTop, kLinkSkate});
  MoveNode(1, Vector3(1.0f, 0.0f, 2.0f));
  MoveNode(2, Vector3(2.0f, 0.0f, 0.75f));
  s->ability.skill = 1.0f;
  s->SetVelocity(Vector3(3.0f, 1.0f, 0.0f));
  s->AdvanceRoute();  // into the air link
  EXPECT_EQ(s->GetVelocity().z, 6.0f);
  EXPECT_EQ(s->GetVelocity().x, 3.0f);
  ASSERT_EQ(motion->jumpedTo.size(), 1u);
  EXPECT_EQ(motion->jumpedTo[0].z, 2.0f);
  EXPECT_EQ(s->GetTricks().GetCategory(0), 3);
  EXPECT_EQ(animation->played.back(), CSkaterAnimation::kTakeOff);
  EXPECT_EQ(animation->sounds.size(), 0u);  // no sound rank yet: too far to hear
  s->SetVelocity(Vector3(3.0f, 1.0f, 9.0f));
  s->AdvanceRoute();  // arriving at the end of the air stops the horizontal speed
  EXPECT_EQ(s->GetVelocity().x, 0.0f);
  EXPECT_EQ(s->GetVelocity().z, 9.0f);  // faster than the jump speed: kept
  ASSERT_EQ(motion->tookOffFor.size(), 1u);
  EXPECT_EQ(motion->tookOffFor[0], 0.75f + 0.45f);  // the centre comes down a radius above the node
  s->SetVelocity(Vector3(3.0f, 1.0f, 9.0f));
  s->AdvanceRoute();  // a free air ends: the speed stays; skate to top begins
  EXPECT_EQ(s->GetVelocity().x, 3.0f);
  s->AdvanceRoute();  // the end of a skate-to-top: down onto the top
  EXPECT_EQ(s->GetVelocity().x, 0.0f);
  EXPECT_EQ(s->GetVelocity().z, -0.5f);
}

TEST_F(Rig, OllieHeightIsClampedAndAGrindEndsLanded) {
  CSkater* s = Add();
  SetRoute(s, {kLinkSkate, kLinkOllie, kLinkOllie, kLinkOllie});
  s->SetCentre(Vector3(0.0f, 0.0f, 0.45f));  // riding on the ground
  MoveNode(1, Vector3(1.0f, 0.0f, 0.0f));    // level: the minimum 0.5
  MoveNode(2, Vector3(2.0f, 0.0f, 1.0f));    // a step up: 1.0 + 0.5
  MoveNode(3, Vector3(3.0f, 0.0f, 5.0f));    // far up: the maximum 2.0
  const float heights[3] = {0.5f, 1.5f, 2.0f};
  s->body.motionMode = CSkater::kGrinding;
  s->GetTricks().AddTrick(28, 4, 0, 0.0f, 0.0f);  // an open grind
  animation->played.clear();
  for (int i = 0; i < 3; ++i) {
    s->AdvanceRoute();
    EXPECT_NEAR(s->GetVelocity().z, std::sqrt(heights[i] * 9.8f * 2.0f), 1e-4f) << i;
    EXPECT_EQ(motion->jumpedTo.back().x, static_cast<float>(i + 1));
    EXPECT_EQ(animation->played, std::vector<int>(i + 1, CSkaterAnimation::kTakeOff)) << i;  // "Launch" each time
    if (i == 0) {
      EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));
      EXPECT_TRUE(s->GetTricks().GetEntry(1)->landed);  // the grind, closed before the ollie trick
    }
  }
  EXPECT_EQ(s->ability.trickCountB[4], 1.0f);  // the grind counted landed once, the ollies not
}

TEST_F(Rig, GrindsStartOnTheGroundAndSometimesPopIntoAnAir) {
  CSkater* s = Add();
  std::vector<uint32_t> kinds(12, kLinkGrindLeft);
  kinds[0] = kLinkSkate;
  SetRoute(s, kinds);
  motion->contact = false;
  s->AdvanceRoute();
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kGrinding));
  EXPECT_EQ(s->GetTricks().GetCount(), 0u);  // in the air: grinding without a trick
  EXPECT_EQ(s->route.grindSteps, 1u);

  s->body.motionMode = CSkater::kRolling;
  motion->contact = true;
  s->ability.skill = 1.0f;
  s->SetVelocity(Vector3(1.0f, 0.0f, 2.0f));
  s->AdvanceRoute();  // on the ground: the grind starts with a grind trick
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kGrinding));
  EXPECT_EQ(s->GetVelocity().z, 0.0f);
  EXPECT_EQ(s->GetTricks().GetCategory(0), 4);
  EXPECT_EQ(s->route.grindSteps, 1u);
  // Later steps count on; a pop resets the count and picks an ollie-category trick.
  bool popped = false;
  for (int i = 0; i < 9 && !popped; ++i) {
    const uint32_t before = s->route.grindSteps;
    s->AdvanceRoute();
    if (s->route.grindSteps == 0) {
      popped = true;
      EXPECT_GE(before + 1, 4u);
      EXPECT_EQ(s->GetVelocity().z, 1.0f);
      EXPECT_EQ(s->GetTricks().GetCategory(0), 2);
      EXPECT_GE(s->CountLinksAhead(kLinkGrindLeft), 3u);
    }
  }
  EXPECT_TRUE(popped);
  // A skater with no grind within its ability grinds without a trick and plays nothing new.
  s->body.motionMode = CSkater::kRolling;
  s->ability.skill = 0.0f;
  s->ability.trickSkill[4] = 0.0f;
  const size_t records = s->GetTricks().GetCount();
  const int showing = animation->current;
  s->StartGrind();
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kGrinding));
  EXPECT_EQ(s->GetTricks().GetCount(), records);
  EXPECT_EQ(s->body.currentTrick, CTrickHistory::kNoTrick);
  EXPECT_EQ(animation->current, showing);
  EXPECT_EQ(animation->played.back(), -1);
  // The player's skater grinds by its own keys: the route step leaves it alone.
  MakePlayer(s);
  s->body.motionMode = CSkater::kRolling;
  const uint32_t steps = s->route.grindSteps;
  s->route.index = 1;
  s->AdvanceRoute();
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kRolling));
  EXPECT_EQ(s->route.grindSteps, steps);
}

TEST_F(Rig, SkateLinksCoastUnlessCoastingOrFreshlyLanded) {
  CSkater* s = Add();
  SetRoute(s, {kLinkSkate, kLinkSkate, kLinkSkate, kLinkSkate});
  animation->current = 3;
  s->AdvanceRoute();
  EXPECT_EQ(animation->current, CSkaterAnimation::kCoast);
  const size_t plays = animation->played.size();
  s->AdvanceRoute();  // already coasting
  EXPECT_EQ(animation->played.size(), plays);
  animation->current = 3;
  motion->fresh = true;
  s->AdvanceRoute();
  EXPECT_EQ(animation->current, 3);
}

// --- Crashes, landings and the bonus ---

TEST_F(Rig, ACrashThrowsTheSkaterByItsSeverityAndEndsTheTrick) {
  CSkater* s = Add();
  s->GetTricks().AddTrick(25, 3, 0, 0.0f, 0.0f);
  s->needs.injury = 0.9f;
  s->SetVelocity(Vector3(0.0f, 0.0f, 0.0f));
  s->Crash(0.25f);
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kCrashing));
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  EXPECT_FLOAT_EQ(s->needs.injury, 1.0f);  // clamped
  const Vector3 v = s->GetVelocity();
  EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y), 0.25f * 3.0f, 1e-5f);
  EXPECT_FLOAT_EQ(v.z, 0.25f * 1.0f);
  EXPECT_EQ(animation->GetCategory(animation->current), 7);
  EXPECT_TRUE(s->GetTricks().IsFinished(0));
  EXPECT_FALSE(s->GetTricks().IsLanded(0));
}

TEST_F(Rig, AiLandingsCrashOneTimeInTenAndCloseTheCurrentTrickAsLanded) {
  CSkater* s = Add();
  int crashes = 0;
  const int n = 3000;
  for (int i = 0; i < n; ++i) {
    s->body.motionMode = CSkater::kRolling;
    s->needs.injury = 0.0f;
    s->SetState(CSkater::kSkating, 0);
    s->ability.skill = 1.0f;
    const int trick = s->ChooseTrick(2);
    s->CheckLanding(3.0f, CSkater::LandingAngles{});
    EXPECT_EQ(s->body.landingError, 0.1f);
    if (s->mind.state == CSkater::kCrashing) {
      ++crashes;
      EXPECT_LE(s->needs.injury, 0.4f);
      EXPECT_FALSE(s->GetTricks().IsLanded(0));
    } else {
      EXPECT_TRUE(s->GetTricks().IsLanded(0));
      EXPECT_EQ(s->GetTricks().GetTrick(0), trick);
    }
  }
  EXPECT_NEAR(static_cast<double>(crashes) / n, 0.1, 0.02);
  EXPECT_EQ(s->ability.trickCountB[2], static_cast<float>(n - crashes));
  // Already crashed: no second crash draw.
  s->body.motionMode = CSkater::kCrashed;
  s->SetState(CSkater::kSkating, 0);
  for (int i = 0; i < 100; ++i) s->CheckLanding(3.0f, CSkater::LandingAngles{});
  EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kSkating));
}

TEST_F(Rig, ThePlayersLandingErrorUsesTheSpeedScaledToleranceAndCrashesAtOne) {
  CSkater* s = Add();
  MakePlayer(s);
  const float a = 0.471239f, b = 1.413717f;
  struct Case {
    float impact, bodyAngle, travelAngle, speed, playedPart;
    int current;
    float error;
  };
  const Case cases[] = {
      {0.0f, 0.3f, 0.0f, 0.0f, 1.0f, 11, 0.3f / a},
      {-20.0f, 0.3f, 0.0f, 0.0f, 1.0f, 11, 0.3f / b},               // |speed| x 0.1 clamped to 1
      {5.0f, 0.3f, 0.0f, 0.0f, 1.0f, 11, 0.3f / (a + (b - a) * 0.5f)},
      {0.0f, 0.1f, 0.4f, 1.4f, 1.0f, 11, 0.1f / a},                 // too slow: travel not counted
      {0.0f, 0.1f, 0.4f, 1.5f, 1.0f, 11, 0.4f / a},
      {0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 25, 2.5f / a},                 // an air trick still playing
      {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 22, 4.0f / a},                 // clamped to 4
      {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 25, 0.0f},                     // played out
      {0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 28, 0.0f},                     // not an air trick
  };
  for (const Case& c : cases) {
    s->body.motionMode = CSkater::kRolling;
    s->needs.injury = 0.3f;
    s->SetState(CSkater::kSkating, 0);
    s->SetVelocity(Vector3(c.speed, 0.0f, 0.0f));
    animation->current = c.current;
    animation->playedPart = c.playedPart;
    s->CheckLanding(c.impact, CSkater::LandingAngles{c.bodyAngle, c.travelAngle});
    EXPECT_NEAR(s->body.landingError, c.error, 1e-4f) << c.impact << " " << c.bodyAngle;
    const bool crashed = c.error >= 1.0f;
    EXPECT_EQ(s->body.motionMode == CSkater::kCrashed, crashed);
    EXPECT_EQ(s->needs.injury, crashed ? 0.0f : 0.3f);
    EXPECT_EQ(s->mind.state, static_cast<uint32_t>(CSkater::kSkating));  // the player's state stays
  }
  // Just below and at the threshold.
  s->body.motionMode = CSkater::kRolling;
  s->CheckLanding(0.0f, CSkater::LandingAngles{a * 0.999f, 0.0f});
  EXPECT_NE(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  s->CheckLanding(0.0f, CSkater::LandingAngles{a * 1.001f, 0.0f});
  EXPECT_EQ(s->body.motionMode, static_cast<uint32_t>(CSkater::kCrashed));
  // Grinding: not checked at all.
  s->body.motionMode = CSkater::kGrinding;
  s->body.landingError = 0.0f;
  s->CheckLanding(0.0f, CSkater::LandingAngles{10.0f, 10.0f});
  EXPECT_EQ(s->body.landingError, 0.0f);
}

TEST_F(Rig, TheTrickBonusOfTwoTricksWithAHalfTurnIsValuedOnTouchDown) {
  // Difficulties 0.5 and 0.3, one half turn, landed cleanly: 4 x (5 + 3) x ((2 + 1) x 0.5 + 1) = 80.
  CSkater* s = Add();
  MakePlayer(s);
  const auto sequence = [&](float landingError) {
    s->body.spinAngle = 0.0f;
    s->body.typedKeys = {1, 2, 3};
    s->ChooseTrick(2);
    s->ChooseTrick(2);
    s->body.spinAngle = kPi + 0.1f;
    s->body.landingError = landingError;
    return s->FinishAirTrick();
  };
  EXPECT_FLOAT_EQ(sequence(0.29f), 80.0f);
  EXPECT_FALSE(s->GetTricks().GetEntry(0)->offBalance);
  EXPECT_EQ(s->body.spinAngle, 0.0f);
  EXPECT_FLOAT_EQ(sequence(0.3f), 60.0f);  // off balance: three quarters
  EXPECT_TRUE(s->GetTricks().GetEntry(1)->offBalance);
  // Nothing open: nothing closed, worth nothing.
  EXPECT_EQ(s->FinishAirTrick(), 0.0f);
  // A crashed sequence is worth nothing.
  s->body.typedKeys = {1};
  s->ChooseTrick(2);
  s->Crash(0.1f);
  EXPECT_EQ(s->FinishAirTrick(), 0.0f);
  EXPECT_TRUE(s->GetTricks().IsFinished(0) && !s->GetTricks().IsLanded(0));
}

// --- The body from the boarder mesh ---

TEST_F(Rig, ContactPointsComeFromTheMeshTextsAndNeverBothSitAtTheCentre) {
  BoarderMesh& boarder = boarders[0];
  g_boarder = &boarder;
  CSkater::SetBodyMeshSource(&BoarderSource);
  boarder.AddText(Vector3(0.3f, 0, -0.4f), "FrontContact");
  boarder.AddText(Vector3(-0.3f, 0, -0.4f), "point backcontact");
  boarder.AddText(Vector3(0.5f, 0, 0.1f), "crashFrontContact");
  boarder.AddText(Vector3(-0.5f, 0, 0.1f), "crashbackcontact");
  CSkater* s = Add();
  EXPECT_EQ(s->body.frontContact, Vector3(0.3f, 0, -0.4f));
  EXPECT_EQ(s->body.backContact, Vector3(-0.3f, 0, -0.4f));
  EXPECT_EQ(s->body.crashFrontContact, Vector3(0.5f, 0, 0.1f));
  EXPECT_EQ(s->body.crashBackContact, Vector3(-0.5f, 0, 0.1f));
  ASSERT_NE(s->GetMeshInstance(), nullptr);
  EXPECT_EQ(s->GetMeshInstance()->GetMesh(), &boarder.mesh);
  // The skater tells what it runs into that it is a skater, once however often the body loads.
  s->LoadBody(s->GetFrame());
  ASSERT_EQ(s->ExtraInfos().size(), 1u);
  EXPECT_EQ(s->ExtraInfos()[0]->kind, CSkater::kSkaterCollisionKind);
  EXPECT_EQ(s->ExtraInfos()[0]->owner, s);

  // Only one contact text: both points fall back to a board's length, and the crash points follow.
  BoarderMesh& half = boarders[1];
  g_boarder = &half;
  half.AddText(Vector3(0.3f, 0, -0.4f), "frontcontact");
  CSkater* t = Add();
  EXPECT_NE(t->body.frontContact, t->body.backContact);
  EXPECT_EQ(t->body.crashFrontContact, t->body.frontContact);
  EXPECT_EQ(t->body.crashBackContact, t->body.backContact);
  // No mesh at all.
  g_boarder = nullptr;
  CSkater* u = Add();
  EXPECT_NE(u->body.frontContact, u->body.backContact);
  EXPECT_EQ(u->GetMeshInstance(), nullptr);
}

TEST_F(Rig, AppearanceSharesOneDrawForHeadAndBodyAndKeepsSavedIndices) {
  BoarderMesh& boarder = boarders[0];
  g_boarder = &boarder;
  CSkater::SetBodyMeshSource(&BoarderSource);
  boarder.AddChoice("Multitexture_skaterHEAD", 1, {2, 3, 4}, 40);  // a count beyond its bytes
  boarder.AddChoice("other", 6, {7});
  boarder.AddChoice("Multitexture_skaterBODY", 2, {5, 6});
  boarder.AddChoice("Multitexture_skateboards", 3, {0, 1, 7, 99});
  boarder.AddChoice("Multitexture_skateboards", 4, {}, 0);  // an empty choice draws nothing
  CSkater* s = Add();
  std::set<int> heads, boards;
  for (int seed = 0; seed < 60; ++seed) {
    plat::srand(static_cast<uint32_t>(seed));
    const int r1 = plat::rand(), r2 = plat::rand();
    plat::srand(static_cast<uint32_t>(seed));
    s->PickAppearance(true);
    EXPECT_EQ(s->appearance.head, r1 % 3);
    EXPECT_EQ(s->appearance.body, std::min(r1 % 3, 1));  // shared with the head, cut to 2 choices
    EXPECT_EQ(s->appearance.board, r2 % 4);
    CMeshInstance* instance = s->GetMeshInstance();
    EXPECT_EQ(instance->GetTexture(1), &boarder.textures[2 + r1 % 3]);
    EXPECT_EQ(instance->GetTexture(2), &boarder.textures[5 + std::min(r1 % 3, 1)]);
    const uint32_t boardTexture = std::vector<uint32_t>{0, 1, 7, 99}[static_cast<size_t>(r2 % 4)];
    EXPECT_EQ(instance->GetTexture(3), boardTexture < 8 ? &boarder.textures[boardTexture] : nullptr);
    EXPECT_EQ(instance->GetTexture(6), &boarder.textures[6]);  // unknown records are left alone
    heads.insert(s->appearance.head);
    boards.insert(s->appearance.board);
  }
  EXPECT_EQ(heads.size(), 3u);
  EXPECT_EQ(boards.size(), 4u);
  // Without randomising the stored indices are shown and nothing is drawn.
  s->appearance = {1, 1, 2};
  plat::srand(3);
  const int next = plat::rand();
  plat::srand(3);
  s->PickAppearance(false);
  EXPECT_EQ(plat::rand(), next);
  EXPECT_EQ(s->GetMeshInstance()->GetTexture(1), &boarder.textures[3]);
  EXPECT_EQ(s->GetMeshInstance()->GetTexture(3), &boarder.textures[7]);
  // A stored index beyond a choice (a hostile save) shows its last texture.
  s->appearance = {200, 200, 200};
  s->PickAppearance(false);
  EXPECT_EQ(s->GetMeshInstance()->GetTexture(1), &boarder.textures[4]);
  EXPECT_EQ(s->GetMeshInstance()->GetTexture(3), nullptr);  // 99: outside the mesh's textures
  g_boarder = nullptr;
}

}  // namespace
