// The skater's animation table and animator: the table's entries, ranges, keys and sound ids; the
// table shared per body mesh; the volume rule by rank and camera; the rolling sound; and the step
// from animation to animation for every category, with the landing of tricks.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/data/ResourceTable.h"
#include "park/grid/Grid.h"
#include "park/grid/GridSquare.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimationTable.h"
#include "park/skater/SkaterAnimator.h"
#include "park/skater/SkaterAnimatorWorldLink.h"
#include "park/skater/SkaterStandInAnimation.h"
#include "park/skater/SkaterMotion.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/mesh/MeshInstance.h"
#include "tests/support/ContactMotion.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentBoarder.h"

namespace {

using Table = CSkaterAnimationTable;
using A = CSkaterAnimator;

// The world as the animator sees it, recording every sound request.
struct RecordingLink : CSkaterAnimatorLink {
  struct Play {
    int id;
    bool loop;
    int32_t volume;
    int handle;
  };
  int PlaySound(int id, bool loop, int32_t volume) override {
    plays.push_back({id, loop, volume, nextHandle});
    return nextHandle++;
  }
  void StopSound(int handle) override {
    stops.push_back(handle);
    if (stopLog != nullptr) stopLog->push_back(handle);
  }
  void SetSoundVolume(int handle, int32_t volume) override { volumes.push_back({handle, volume}); }
  CResourceTable* GetResources() override { return resources; }
  bool GetCamera(COrientation& frame, bool& orthographic) override {
    frame = camera;
    orthographic = ortho;
    return hasCamera;
  }
  double GetWorldTime() override { return time; }
  uint32_t GetSurfaceMaterial(uint32_t objectId) override { return objectId == 77 ? material : 0; }
  bool IsPlayer(const CSkater&) override { return player; }
  float GetBonusFactor() override { return bonusFactor; }
  void AwardTrickBonus(float amount) override { awards.push_back(amount); }
  void StartGrind(CSkater&) override { ++grinds; }

  std::vector<Play> plays;
  std::vector<int> stops;
  std::vector<int>* stopLog = nullptr;  // outlives the link
  std::vector<std::pair<int, int32_t>> volumes;
  CResourceTable* resources = nullptr;
  bool hasCamera = true;
  bool ortho = false;
  COrientation camera;
  double time = 100.0;
  uint32_t material = 0;
  bool player = false;
  float bonusFactor = 0.0f;
  std::vector<float> awards;
  int grinds = 0;
  int nextHandle = 100;
};

using testing_support::ContactMotion;

RecordingLink* g_link = nullptr;
ContactMotion* g_motion = nullptr;
CResourceTable* g_resources = nullptr;

std::unique_ptr<CSkaterMotion> MakeMotion(CSkater&) {
  auto motion = std::make_unique<ContactMotion>();
  g_motion = motion.get();
  return motion;
}

std::unique_ptr<CSkaterAnimation> MakeRecordedAnimator(CSkater& skater) {
  auto link = std::make_unique<RecordingLink>();
  link->resources = g_resources;
  g_link = link.get();
  return std::make_unique<CSkaterAnimator>(skater, std::move(link));
}

std::vector<std::string> SoundPaths() {
  std::vector<std::string> paths;
  for (const char* surface : {"concrete", "wood", "metal"})
    for (const char* action : {"skate", "slide", "grind", "walk", "land"})
      paths.push_back(std::string("data/sounds/") + action + surface + ".wav");
  for (const char* single : {"ollie.wav", "landoffbalance.wav", "startgrind.wav", "startslide.wav", "exitgrind.wav",
                             "exitslide.wav", "crash*.wav", "cash_for_trick.wav", "cooltrickvoice*.wav",
                             "changedirection.wav", "push.wav", "putboarddown.wav"})
    paths.push_back(std::string("data/sounds/") + single);
  return paths;
}

struct Animated : ::testing::Test {
  Animated() {
    plat::srand(11);
    resources.Add("data/meshes/box.mesh");  // so no sound sits at id 0 by chance
    for (const std::string& path : SoundPaths()) resources.Add(path.c_str());
    g_resources = &resources;
    CSkater::SetBodyFactory(MakeMotion, MakeRecordedAnimator);
    boarder = DemoContent::BuildBoarder();
  }
  ~Animated() override { CSkater::SetBodyFactory(nullptr, nullptr); }

  struct Rig {
    std::unique_ptr<CSkater> skater;
    CSkaterAnimator* animator;
    RecordingLink* link;
    ContactMotion* motion;
  };
  Rig Make(ShadedMesh* mesh) {
    Rig made;
    made.skater = std::make_unique<CSkater>();
    made.skater->LoadBody(COrientation());
    made.skater->SetMesh(mesh, nullptr, false);
    made.skater->SetSoundRank(0);
    made.animator = static_cast<CSkaterAnimator*>(&made.skater->GetAnimation());
    made.link = g_link;
    made.motion = g_motion;
    return made;
  }
  void SetUp() override {
    ASSERT_NE(boarder, nullptr);
    rig = Make(boarder.get());
    s = rig.skater.get();
    anim = rig.animator;
    link = rig.link;
    motion = rig.motion;
  }
  int Sound(const char* name) const { return resources.FindByName((std::string("data/sounds/") + name).c_str()); }
  // One step in the air, then one back on the ground.
  void HopStep() {
    motion->contact = false;
    anim->Step(0.03f);
    motion->contact = true;
    anim->Step(0.03f);
  }
  // An air trick begun at that world time and played, flown and landed.
  void LandTrick(uint32_t trick, float worldTime) {
    s->GetTricks().AddTrick(trick, 3, 1, worldTime, 0.0f);
    anim->Play(static_cast<int>(trick), true);
    HopStep();
  }
  // One step of the animator alone; returns the animation it leaves playing.
  int StepOnce() {
    anim->Step(0.03f);
    return anim->GetCurrent();
  }
  // Runs the step with playback, the way a tick does.
  void Tick(float dt) {
    anim->Step(dt);
    anim->Advance(dt, s->body.animSpeed);
  }
  std::vector<int> PlayedIds() const {
    std::vector<int> ids;
    for (const RecordingLink::Play& p : link->plays) ids.push_back(p.id);
    return ids;
  }

  CResourceTable resources;
  std::unique_ptr<ShadedMesh> boarder;
  Rig rig;
  CSkater* s = nullptr;
  CSkaterAnimator* anim = nullptr;
  RecordingLink* link = nullptr;
  ContactMotion* motion = nullptr;
};

// --- The table ---

// Each entry's category, names, difficulty and keys are EveryEntryIsTheGamesOwn's, row by row.
TEST(SkaterAnimationTable, KeyParsingCategoryRangesAndTheTablesEdges) {
  const Table table(nullptr, nullptr);
  for (int i = 0; i < Table::kEntryCount; ++i) {
    ASSERT_NE(table.Get(i), nullptr);
    EXPECT_EQ(nullptr, table.Get(i)->animation);  // no mesh, no animations
    EXPECT_EQ(0.0f, table.GetLength(i));
  }
  EXPECT_EQ((std::vector<int>{62, 67}), Table::ParseKeys("xU- 2?u"));  // others ignored, case too
  EXPECT_TRUE(Table::ParseKeys(nullptr).empty());

  // The grind split: slides up to 46, grinds after.
  for (int i = 40; i <= 50; ++i) EXPECT_EQ(i > 46, Table::IsGrindIndex(i)) << i;

  // Trick ranges: the flip tricks also count as air tricks.
  const int first[8] = {0, 11, 21, 21, 40, 51, -1, 53}, count[8] = {11, 10, 3, 19, 11, 2, 0, 3};
  for (uint32_t c = 0; c < 8; ++c) {
    EXPECT_EQ(first[c], table.GetCategoryFirst(c)) << c;
    EXPECT_EQ(count[c], table.GetCategoryCount(c)) << c;
  }
  EXPECT_EQ(-1, table.GetCategoryFirst(8));
  EXPECT_EQ(0, table.GetCategoryCount(99));

  // Outside the table.
  for (int i : {-1, 56, 1000}) {
    EXPECT_EQ(nullptr, table.Get(i));
    EXPECT_EQ(-1, table.GetCategory(i));
    EXPECT_EQ(0.0f, table.GetDifficulty(i));
    EXPECT_STREQ("", table.GetDisplayName(i));
    EXPECT_STREQ("", Table::GetAnimationName(i));
    EXPECT_EQ(0.0f, table.GetLength(i));
  }
}

// Every entry as the game defines it: animation name, display name, category, difficulty and keys.
// The keys are spelled out in letters here and turned into action codes independently of the table.
TEST(SkaterAnimationTable, EveryEntryIsTheGamesOwn) {
  struct Row {
    const char* animation;
    const char* displayName;
    int category;
    float difficulty;
    const char* keys;
  };
  const Row rows[Table::kEntryCount] = {
      {"idle", "Idle", 0, 0.0f, ""},
      {"walk", "Walk", 0, 0.0f, ""},
      {"walkstairs", "Walk up Stairs", 0, 0.0f, ""},
      {"walkinjured", "Walk Injured", 0, 0.0f, ""},
      {"crouch", "Crouch", 0, 0.0f, ""},
      {"takeoff", "Launch", 0, 0.0f, ""},
      {"landperfect", "Land Perfect", 0, 0.0f, ""},
      {"LandOffBalance1", "Land Off Balance", 0, 0.0f, ""},
      {"PickupBoard", "Pickup Board", 0, 0.0f, ""},
      {"PutBoardDown", "Put Down Board", 0, 0.0f, ""},
      {"footstop", "Foot Stop", 0, 0.0f, ""},
      {"coast", "Coast", 1, 0.0f, ""},
      {"coastleftin", "Coast Lean Left In", 1, 0.0f, ""},
      {"coastleft", "Coast Lean Left", 1, 0.0f, ""},
      {"coastleftout", "Coast Lean Left Out", 1, 0.0f, ""},
      {"coastrightin", "Coast Lean Right In", 1, 0.0f, ""},
      {"coastright", "Coast Lean Right", 1, 0.0f, ""},
      {"coastrightout", "Coast Lean Right Out", 1, 0.0f, ""},
      {"Pushin", "Push In", 1, 0.0f, ""},
      {"Push", "Push", 1, 0.0f, ""},
      {"Pushout", "Push Out", 1, 0.0f, ""},
      {"ollie", "Ollie", 2, 0.0f, "1"},
      {"KICKFLIP", "Kick Flip", 2, 0.12f, "UD1"},
      {"SHUVIT", "Shuvit", 2, 0.1f, "LR1"},
      {"indy", "Indy", 3, 0.2f, "U1"},
      {"INDYNOSEBONE", "Indy Nosebone", 3, 0.2f, "D1"},
      {"METHOD", "Method", 3, 0.25f, "LL1"},
      {"Judo", "Judo", 3, 0.25f, "RR1"},
      {"stiffy", "Stiffy", 3, 0.3f, "UU1"},
      {"BENIHANA", "Benihana", 3, 0.3f, "DD1"},
      {"JAPAN", "Japan Air", 3, 0.5f, "LRLR1"},
      {"TAILGRAB", "Tailgrab", 3, 0.2f, "L1"},
      {"NOSEGRAB", "Nosegrab", 3, 0.2f, "R1"},
      {"MADONNA", "Madonna", 3, 0.6f, "UDUD1"},
      {"rocket", "Rocket", 3, 0.6f, "UUU1"},
      {"airwalk", "Airwalk", 3, 0.8f, "RRR1"},
      {"christ", "Christ", 3, 0.6f, "LLRR1"},
      {"migtwist", "McTwist", 3, 1.0f, "LRUD1"},
      {"frontflip", "Frontflip", 3, 1.0f, "LURD1"},
      {"backflip", "Backflip", 3, 1.0f, "DRUL1"},
      {"RAILSLIDE", "Rail Slide", 4, 0.2f, "2"},
      {"TAILSLIDE", "Tail Slide", 4, 0.4f, "L2"},
      {"NOSESLIDE", "Nose Slide", 4, 0.4f, "R2"},
      {"NoseGrabTailSlide", "Nose Grab Tail Slide", 4, 0.5f, "LR2"},
      {"BluntSlide", "Blunt Slide", 4, 0.5f, "LL2"},
      {"NoseGrabBluntSlide", "Nose Grab Blunt Slide", 4, 0.6f, "RR2"},
      {"DARKSLIDE", "Dark Slide", 4, 0.8f, "DD2"},
      {"NOSEGRIND", "Nose Grind", 4, 0.4f, "U2"},
      {"5050GRIND", "50-50 Grind", 4, 0.4f, "D2"},
      {"5oGrind", "50 Grind", 4, 1.0f, "UD2"},
      {"SMITHGRIND", "Smith Grind", 4, 1.0f, "UU2"},
      {"MANUAL", "Manual", 5, 0.0f, ""},
      {"NOSEMANUAL", "Nose Manual", 5, 0.0f, ""},
      {"crash1", "Crash1", 7, 0.0f, ""},
      {"crash2", "Crash2", 7, 0.0f, ""},
      {"crash3", "Crash3", 7, 0.0f, ""},
  };
  auto codes = [](const char* text) {
    std::vector<int> out;
    for (const char* c = text; *c != '\0'; ++c) out.push_back(62 + static_cast<int>(std::string("UDLR12").find(*c)));
    return out;
  };
  const Table table(nullptr, nullptr);
  CSkater owner{CSkater::ForLoading{}};
  const CSkaterStandInAnimation standIn(owner);  // a skater's before its body: the same categories
  for (int i = 0; i < Table::kEntryCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(rows[i].animation, Table::GetAnimationName(i));
    EXPECT_STREQ(rows[i].displayName, table.GetDisplayName(i));
    EXPECT_EQ(rows[i].category, table.GetCategory(i));
    EXPECT_EQ(rows[i].category, standIn.GetCategory(i));
    EXPECT_EQ(rows[i].difficulty, table.GetDifficulty(i));
    EXPECT_EQ(codes(rows[i].keys), table.Get(i)->keys);
  }
}

TEST(SkaterAnimationTable, SoundIdsComeFromTheResourceTable) {
  CResourceTable resources;
  resources.Add("data/meshes/box.mesh");
  for (const std::string& path : SoundPaths()) resources.Add(path.c_str());
  const Table table(nullptr, &resources);
  std::set<int> ids;
  const char* surfaces[] = {"concrete", "wood", "metal"};
  const char* actions[] = {"skate", "slide", "grind", "walk", "land"};
  for (uint32_t m = 0; m < 3; ++m) {
    for (uint32_t a = 0; a < 5; ++a) {
      const int id = table.GetSurfaceSound(m, a);
      ASSERT_GE(id, 0);
      EXPECT_EQ(std::string("data/sounds/") + actions[a] + surfaces[m] + ".wav", resources.GetName(id));
      ids.insert(id);
    }
  }
  for (uint32_t s = 0; s < Table::kSingleSoundCount; ++s) {
    const int id = table.GetSingleSound(static_cast<Table::SingleSound>(s));
    ASSERT_GE(id, 0) << s;
    ids.insert(id);
  }
  EXPECT_EQ(27u, ids.size());
  EXPECT_EQ(std::string("data/sounds/crash*.wav"), resources.GetName(table.GetSingleSound(Table::kCrashSound)));
  EXPECT_EQ(-1, table.GetSurfaceSound(3, 0));
  EXPECT_EQ(-1, table.GetSurfaceSound(0, 5));
  EXPECT_EQ(-1, table.GetSingleSound(Table::kSingleSoundCount));
  // Without a resource table nothing has an id.
  const Table silent(nullptr, nullptr);
  EXPECT_EQ(-1, silent.GetSurfaceSound(0, 0));
  EXPECT_EQ(-1, silent.GetSingleSound(Table::kPush));
}

TEST(SkaterAnimationTable, ASkeletonWithoutSomeNamesLeavesThoseEntriesEmptyAndTimeless) {
  std::unique_ptr<ShadedMesh> figure = DemoContent::BuildSkinnedFigure();  // has "idle" only
  ASSERT_NE(figure, nullptr);
  const Table table(figure.get(), nullptr);
  ASSERT_NE(nullptr, table.GetAnimation(0));
  EXPECT_FLOAT_EQ(1.0f, table.GetLength(0));
  for (int i = 1; i < Table::kEntryCount; ++i) {
    EXPECT_EQ(nullptr, table.GetAnimation(i)) << i;
    EXPECT_EQ(0.0f, table.GetLength(i)) << i;
  }
}

// --- Sharing the table ---

TEST_F(Animated, TheTableIsBuiltOncePerBodyMeshAndOutlivesTheSkaterThatBuiltIt) {
  const std::shared_ptr<const Table> first = anim->GetSharedTable();
  ASSERT_EQ(boarder.get(), first->GetMesh());
  EXPECT_EQ(first, Table::ForMesh(boarder.get(), &resources));
  Rig second = Make(boarder.get());
  EXPECT_EQ(first.get(), &second.animator->Table());  // the second skater reuses it

  std::unique_ptr<ShadedMesh> figure = DemoContent::BuildSkinnedFigure();
  Rig other = Make(figure.get());
  EXPECT_NE(first.get(), &other.animator->Table());  // another body has its own
  EXPECT_EQ(first.get(), &anim->Table());           // and the first skaters keep theirs

  // The skater that built the table goes; the other one plays on from it.
  const AnimationRecord* coast = first->GetAnimation(CSkaterAnimation::kCoast);
  rig.skater.reset();
  s = nullptr;
  ASSERT_NE(coast, nullptr);
  second.animator->Play(Table::kEntryCount - 1, true);
  second.animator->Play(CSkaterAnimation::kCoast, true);
  EXPECT_EQ(coast, second.skater->GetMeshInstance()->GetSequencePlayer().sequence);
  EXPECT_STREQ("coast", coast->name);
  EXPECT_FLOAT_EQ(1.0f, second.animator->GetLength(CSkaterAnimation::kCoast));
}

// --- Playback ---

TEST_F(Animated, PlayingOutsideTheTableOrAMissingAnimationShowsNothingNew) {
  anim->Play(CSkaterAnimation::kCoast, true);
  const AnimationRecord* coast = s->GetMeshInstance()->GetSequencePlayer().sequence;
  ASSERT_NE(coast, nullptr);
  for (int entry : {-1, 56, -100}) {
    anim->Play(entry, true);
    EXPECT_EQ(CSkaterAnimation::kCoast, anim->GetCurrent());
    EXPECT_EQ(CSkaterAnimation::kCoast, s->body.animIndex);
  }
  EXPECT_EQ(coast, s->GetMeshInstance()->GetSequencePlayer().sequence);

  // A body whose skeleton lacks "landperfect": the landing runs no time and coasting follows.
  std::unique_ptr<ShadedMesh> figure = DemoContent::BuildSkinnedFigure();
  Rig bare = Make(figure.get());
  const AnimationRecord* idle = bare.skater->GetMeshInstance()->GetSequencePlayer().sequence;
  bare.animator->Play(A::kLandPerfect, true);
  EXPECT_EQ(A::kLandPerfect, bare.animator->GetCurrent());
  EXPECT_EQ(idle, bare.skater->GetMeshInstance()->GetSequencePlayer().sequence);
  EXPECT_EQ(0.0f, bare.animator->GetLength(A::kLandPerfect));
  bare.animator->Step(0.03f);
  EXPECT_EQ(CSkaterAnimation::kCoast, bare.animator->GetCurrent());
}

TEST_F(Animated, CoastingRunsAtOneMoreThanTheAnimationSpeed) {
  anim->Play(CSkaterAnimation::kCoast, true);
  anim->Advance(0.1f, 1.0f);
  EXPECT_FLOAT_EQ(0.2f, anim->GetTime());
  EXPECT_FLOAT_EQ(0.2f, s->GetMeshInstance()->GetSequencePlayer().time);
  anim->Play(CSkaterAnimation::kWalk, true);
  anim->Advance(0.1f, 1.5f);
  EXPECT_FLOAT_EQ(0.15f, anim->GetTime());
  // A play that does not loop holds at its end.
  anim->Play(A::kLandPerfect, false);
  anim->Advance(3.0f, 1.0f);
  EXPECT_FLOAT_EQ(3.0f, anim->GetTime());
  EXPECT_FLOAT_EQ(anim->GetLength(A::kLandPerfect) - 1.0f / 30.0f, s->GetMeshInstance()->GetSequencePlayer().time);
  anim->Play(A::kLandPerfect, true);  // a looping one runs on
  anim->Advance(3.0f, 1.0f);
  EXPECT_FLOAT_EQ(3.0f, s->GetMeshInstance()->GetSequencePlayer().time);
}

// --- Sound level and the volume rule ---

TEST_F(Animated, SoundLevelFallsWithDistanceForBothKindsOfCamera) {
  const auto levelAt = [&](const Vector3& skater) {
    s->SetCentre(skater);
    return anim->SoundLevel();
  };
  // A camera that follows: full within 4 (approximate distance), silent from 30.
  link->camera.position = Vector3(10, 10, 0);
  EXPECT_FLOAT_EQ(1.0f, levelAt(Vector3(14, 10, 0)));
  EXPECT_FLOAT_EQ(1.0f - 0.5f / 26.0f, levelAt(Vector3(14.5f, 10, 0)));
  EXPECT_FLOAT_EQ(0.5f, levelAt(Vector3(10, 27, 0)));
  EXPECT_FLOAT_EQ(0.0f, levelAt(Vector3(10, 10, -30)));
  EXPECT_FLOAT_EQ(0.0f, levelAt(Vector3(60, 10, 0)));
  // Approximate, not true distance: (16, 16) away counts as 20.
  EXPECT_FLOAT_EQ(1.0f - 16.0f / 26.0f, levelAt(Vector3(26, 26, 0)));

  // The park camera: distance from its viewing line, full within 20, silent from 100.
  link->ortho = true;
  link->camera = COrientation();  // looking along +x from the origin
  EXPECT_FLOAT_EQ(1.0f, levelAt(Vector3(500, 0, 0)));  // far along the line is still on it
  EXPECT_FLOAT_EQ(1.0f, levelAt(Vector3(50, 20, 0)));
  EXPECT_FLOAT_EQ(0.5f, levelAt(Vector3(-7, 0, 60)));
  EXPECT_NEAR(0.5f, levelAt(Vector3(3, 36, 48)), 1e-5f);  // true length 60 across the line
  EXPECT_FLOAT_EQ(0.0f, levelAt(Vector3(0, -100, 0)));
  EXPECT_FLOAT_EQ(0.0f, levelAt(Vector3(0, 250, 0)));

  link->hasCamera = false;
  EXPECT_EQ(0.0f, levelAt(Vector3(0, 0, 0)));

  EXPECT_EQ(0, A::Volume(1.0f));
  EXPECT_EQ(-1500, A::Volume(0.5f));
  EXPECT_EQ(-2998, A::Volume(0.0004f));  // -2998.8 truncated
  EXPECT_EQ(-10000, A::Volume(0.0f));
  EXPECT_EQ(-10000, A::Volume(std::nanf("")));
}

TEST_F(Animated, OnlyTheFourNearestSkatersAreHeard) {
  link->camera.position = Vector3(0, 0, 17);  // level 0.5
  for (uint32_t rank : {0u, 3u}) {
    s->SetSoundRank(rank);
    link->plays.clear();
    anim->PlaySound(CSkaterAnimation::Sound::kChangeDirection);
    ASSERT_EQ(1u, link->plays.size()) << rank;
    EXPECT_EQ(Sound("changedirection.wav"), link->plays[0].id);
    EXPECT_EQ(-1500, link->plays[0].volume);
    EXPECT_FALSE(link->plays[0].loop);
  }
  for (uint32_t rank : {4u, 5u, CSkater::kNone}) {
    s->SetSoundRank(rank);
    link->plays.clear();
    for (auto sound : {CSkaterAnimation::Sound::kTrick, CSkaterAnimation::Sound::kGrind, CSkaterAnimation::Sound::kCrash,
                       CSkaterAnimation::Sound::kPush}) {
      anim->PlaySound(sound);
    }
    anim->UpdateRollingSound(0.03f);
    EXPECT_TRUE(link->plays.empty()) << rank;
  }
  // The route steps' sounds name the right files.
  s->SetSoundRank(1);
  link->plays.clear();
  anim->PlaySound(CSkaterAnimation::Sound::kTrick);
  anim->PlaySound(CSkaterAnimation::Sound::kGrind);
  anim->PlaySound(CSkaterAnimation::Sound::kSlide);
  anim->PlaySound(CSkaterAnimation::Sound::kCrash);
  EXPECT_EQ((std::vector<int>{Sound("ollie.wav"), Sound("startgrind.wav"), Sound("startslide.wav"), Sound("crash*.wav")}),
            PlayedIds());
}

TEST_F(Animated, TheRollingLoopFollowsSurfaceModeAndSpeedAndStopsOutOfRank) {
  link->camera.position = Vector3(0, 0, 4);  // level 1
  s->body.underfootObject = 77;
  link->material = 1;  // wood
  s->SetVelocity(Vector3(2, 0, 0));
  anim->UpdateRollingSound(0.03f);
  ASSERT_EQ(1u, link->plays.size());
  EXPECT_TRUE(link->plays[0].loop);
  EXPECT_EQ(-1500, link->plays[0].volume);  // speed 2 of 4
  const int handle = link->plays[0].handle;
  EXPECT_EQ(handle, anim->GetRollingSoundHandle());

  s->SetVelocity(Vector3(8, 0, 0));
  anim->UpdateRollingSound(0.03f);
  ASSERT_EQ(1u, link->volumes.size());
  EXPECT_EQ(std::make_pair(handle, 0), link->volumes[0]);

  // In the air the choice stays and the loop goes quiet.
  motion->contact = false;
  s->body.motionMode = CSkater::kWalking;
  anim->UpdateRollingSound(0.03f);
  EXPECT_EQ(std::make_pair(handle, -10000), link->volumes.back());

  // Grinds and slides by the animation index; walking; each change replaces the loop.
  motion->contact = true;
  s->body.motionMode = CSkater::kGrinding;
  s->body.animIndex = 47;
  anim->UpdateRollingSound(0.03f);
  s->body.animIndex = 46;
  anim->UpdateRollingSound(0.03f);
  s->body.motionMode = CSkater::kWalking;
  link->material = 2;
  anim->UpdateRollingSound(0.03f);
  s->body.underfootObject = CSkater::kNone;  // no section underfoot: concrete
  anim->UpdateRollingSound(0.03f);
  EXPECT_EQ((std::vector<int>{Sound("skatewood.wav"), Sound("grindwood.wav"), Sound("slidewood.wav"), Sound("walkmetal.wav"),
                              Sound("walkconcrete.wav")}),
            PlayedIds());
  EXPECT_EQ((std::vector<int>{100, 101, 102, 103}), link->stops);

  s->SetSoundRank(4);
  anim->UpdateRollingSound(0.03f);
  EXPECT_EQ(104, link->stops.back());
  EXPECT_EQ(-1, anim->GetRollingSoundHandle());
  EXPECT_EQ(-1, anim->GetRollingSoundId());
  anim->UpdateRollingSound(0.03f);
  EXPECT_EQ(5u, link->stops.size());  // nothing left to stop
  s->SetSoundRank(2);
  anim->UpdateRollingSound(0.03f);
  EXPECT_EQ(6u, link->plays.size());  // heard again: the loop starts afresh
}

// --- The step, category by category ---

TEST_F(Animated, WithoutAnAnimationTheStepStartsCoasting) {
  auto bare = std::make_unique<CSkater>();  // never given a body: nothing plays yet
  CSkaterAnimator* a = static_cast<CSkaterAnimator*>(&bare->GetAnimation());
  EXPECT_EQ(-1, a->GetCurrent());
  a->Step(0.03f);
  EXPECT_EQ(CSkaterAnimation::kCoast, a->GetCurrent());
}

TEST_F(Animated, ALeanGoesInHoldsAndComesOutFromTheMirroredPoint) {
  link->player = true;
  anim->Play(CSkaterAnimation::kCoast, true);
  s->body.steerInput = -0.2f;  // lean -2
  EXPECT_EQ(A::kLeanLeftIn, StepOnce());
  EXPECT_EQ(A::kLeanLeftIn, StepOnce());  // held until the way in has played out
  anim->Advance(0.1f, 1.0f);  // coasting: 0.2 s in
  s->body.steerInput = 0.0f;
  EXPECT_EQ(A::kLeanLeftOut, StepOnce());
  EXPECT_FLOAT_EQ(anim->GetLength(A::kLeanLeftOut) - 0.2f, anim->GetTime());
  anim->Advance(0.2f, 1.0f);  // to its end
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());

  // Right: in, held, out (a lean of exactly 0 leaves it), then coasting.
  s->body.steerInput = 0.5f;
  EXPECT_EQ(A::kLeanRightIn, StepOnce());
  anim->Advance(1.0f, 1.0f);
  EXPECT_EQ(A::kLeanRight, StepOnce());
  EXPECT_EQ(A::kLeanRight, StepOnce());
  s->body.steerInput = 0.0f;
  EXPECT_EQ(A::kLeanRightOut, StepOnce());
  EXPECT_FLOAT_EQ(0.0f, anim->GetTime());
  s->body.steerInput = 0.3f;  // turned back in before the way out ended
  anim->Advance(0.1f, 1.0f);
  EXPECT_EQ(A::kLeanRightIn, StepOnce());
  EXPECT_FLOAT_EQ(anim->GetLength(A::kLeanRightIn) - 0.2f, anim->GetTime());
  // A small lean does not start one.
  anim->Play(CSkaterAnimation::kCoast, true);
  s->body.steerInput = 0.1f;
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());
}

TEST_F(Animated, APushRunsInThenOutWithItsSoundAndWaitsTwoSecondsForTheNext) {
  link->camera.position = Vector3(0, 0, 4);
  anim->Play(CSkaterAnimation::kCoast, true);
  s->body.forwardInput = 1.0f;
  s->SetVelocity(Vector3(4.7f, 0, 0));  // below 0.8 x 6.0
  s->body.lastPushTime = 98.0f;         // exactly 2 s ago: not yet
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());
  link->time = 100.5;
  s->SetVelocity(Vector3(4.9f, 0, 0));  // too fast to push
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());
  s->SetVelocity(Vector3(4.7f, 0, 0));
  EXPECT_EQ(A::kPushIn, StepOnce());
  EXPECT_TRUE(link->plays.empty());
  int guard = 0;
  while (anim->GetCurrent() == A::kPushIn && ++guard < 100) Tick(0.03f);
  EXPECT_EQ(A::kPush, anim->GetCurrent());
  EXPECT_EQ((std::vector<int>{Sound("push.wav")}), PlayedIds());
  EXPECT_FLOAT_EQ(100.5f, s->body.lastPushTime);
  while (anim->GetCurrent() == A::kPush && ++guard < 100) Tick(0.03f);
  EXPECT_EQ(A::kPushOut, anim->GetCurrent());
  while (anim->GetCurrent() == A::kPushOut && ++guard < 100) Tick(0.03f);
  EXPECT_EQ(CSkaterAnimation::kCoast, anim->GetCurrent());
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());  // the last push was just now
}

TEST_F(Animated, ALaunchedTrickFillsTheFlightAndLandsPerfectlyThenCoasts) {
  link->camera.position = Vector3(0, 0, 4);
  link->material = 2;
  s->body.underfootObject = 77;
  s->body.currentTrick = 30;  // Japan Air
  s->body.trickFlag = true;
  s->body.airTime = 1.3f;
  s->GetTricks().AddTrick(30, 3, 1, 99.0f, 0.0f);
  anim->Play(CSkaterAnimation::kTakeOff, false);
  const float launch = anim->GetLength(CSkaterAnimation::kTakeOff);
  motion->contact = false;
  EXPECT_EQ(CSkaterAnimation::kTakeOff, StepOnce());
  anim->Advance(launch + 0.01f, 1.0f);
  EXPECT_EQ(30, StepOnce());
  EXPECT_FLOAT_EQ(anim->GetLength(30) / (1.3f - launch), s->body.animSpeed);
  EXPECT_TRUE(anim->IsDoingTrick());
  EXPECT_EQ(30, StepOnce());  // no landing in the air

  motion->contact = true;
  EXPECT_EQ(A::kLandPerfect, StepOnce());
  EXPECT_EQ(0.0f, s->body.airTime);
  EXPECT_EQ(1.0f, s->body.animSpeed);
  EXPECT_FALSE(s->body.trickFlag);
  EXPECT_TRUE(s->GetTricks().IsFinished(0));
  EXPECT_TRUE(s->GetTricks().IsLanded(0));
  const std::vector<int> played = PlayedIds();
  ASSERT_GE(played.size(), 2u);
  EXPECT_EQ((std::vector<int>{Sound("push.wav"), Sound("landmetal.wav")}), std::vector<int>(played.begin(), played.begin() + 2));
  EXPECT_LE(played.size(), 3u);  // and perhaps a voice (below)
  EXPECT_TRUE(link->awards.empty());  // not the player's skater
  int guard = 0;
  while (anim->GetCurrent() == A::kLandPerfect && ++guard < 100) Tick(0.03f);
  EXPECT_EQ(CSkaterAnimation::kCoast, anim->GetCurrent());
}

TEST_F(Animated, OnlyFlightSinceTheJumpLandsATrick) {
  // Off a step while walking, down again: a trick started on the ground after that waits for flight.
  anim->Play(CSkaterAnimation::kWalk, true);
  s->SetVelocity(Vector3(1, 0, 0));
  HopStep();
  anim->Play(22, true);
  EXPECT_EQ(22, StepOnce());
  HopStep();
  EXPECT_EQ(A::kLandPerfect, anim->GetCurrent());
  // Flight during the launch carries over to its trick, which lands as soon as the ground is back.
  s->body.currentTrick = 25;
  anim->Play(CSkaterAnimation::kTakeOff, true);
  motion->contact = false;
  anim->Step(0.03f);
  motion->contact = true;
  anim->Advance(anim->GetLength(CSkaterAnimation::kTakeOff) + 0.01f, 1.0f);
  EXPECT_EQ(25, StepOnce());
  EXPECT_EQ(A::kLandPerfect, StepOnce());
}

TEST_F(Animated, TheLaunchSpeedIsClampedAndThePlayerKeepsItsOwn) {
  const float launch = anim->GetLength(CSkaterAnimation::kTakeOff);
  const struct {
    float airTime;
    bool player;
    float speed;
  } cases[] = {{launch + 0.01f, false, 2.0f}, {launch + 100.0f, false, 0.2f}, {launch, false, 1.0f}, {0.0f, false, 1.0f},
               {launch + 0.01f, true, 0.7f}};
  for (const auto& c : cases) {
    link->player = c.player;
    s->body.animSpeed = 0.7f;
    s->body.airTime = c.airTime;
    s->body.currentTrick = 24;
    anim->Play(CSkaterAnimation::kTakeOff, true);
    anim->Advance(launch + 0.001f, 1.0f);
    EXPECT_EQ(24, StepOnce());
    EXPECT_FLOAT_EQ(c.speed, s->body.animSpeed) << c.airTime << " " << c.player;
  }
  // A trick index outside the table plays the ollie.
  s->body.currentTrick = 900;
  anim->Play(CSkaterAnimation::kTakeOff, true);
  anim->Advance(launch + 0.001f, 1.0f);
  EXPECT_EQ(21, StepOnce());
}

TEST_F(Animated, AnOffBalanceLandingHasItsOwnAnimationAndSound) {
  link->camera.position = Vector3(0, 0, 4);
  s->GetTricks().AddTrick(22, 2, 1, 99.0f, 0.0f);
  anim->Play(22, true);
  motion->contact = false;
  anim->Step(0.03f);
  motion->contact = true;
  s->body.landingError = 0.3f;
  EXPECT_EQ(A::kLandOffBalance, StepOnce());
  EXPECT_TRUE(s->GetTricks().GetEntry(0)->offBalance);
  EXPECT_TRUE(s->GetTricks().IsLanded(0));
  EXPECT_EQ((std::vector<int>{Sound("landoffbalance.wav")}), PlayedIds());
}

TEST_F(Animated, TheTouchDownIsValuedByTheMindAndOnlyAPositiveValueIsPaidToThePlayer) {
  link->player = true;
  link->bonusFactor = 1.0f;
  const auto land = [&](float error, bool crashFirst) {
    s->GetTricks().AddTrick(37, 3, 1, 0.0f, 0.0f);  // McTwist, difficulty 1
    anim->Play(37, true);
    motion->contact = false;
    anim->Step(0.03f);
    if (crashFirst) s->GetTricks().CloseTricks(false, false, 0.0f, 0.0f);
    motion->contact = true;
    s->body.landingError = error;
    s->body.spinAngle = 0.5f;
    anim->Step(0.03f);
    EXPECT_EQ(s->body.spinAngle, 0.0f);
  };
  land(0.29f, false);
  EXPECT_EQ(A::kLandPerfect, anim->GetCurrent());
  EXPECT_FALSE(s->GetTricks().GetEntry(0)->offBalance);
  EXPECT_TRUE(s->GetTricks().IsLanded(0));
  land(0.3f, false);
  EXPECT_EQ(A::kLandOffBalance, anim->GetCurrent());
  EXPECT_TRUE(s->GetTricks().GetEntry(0)->offBalance);
  ASSERT_EQ(2u, link->awards.size());
  EXPECT_FLOAT_EQ(link->awards[1], link->awards[0] * 0.75f);  // off balance pays three quarters
  // A trick already closed as crashed is worth nothing: nothing is paid.
  land(0.0f, true);
  // An AI skater's clean landing closes its trick but pays nobody.
  link->player = false;
  land(0.0f, false);
  EXPECT_TRUE(s->GetTricks().IsLanded(0));
  EXPECT_EQ(2u, link->awards.size());  // neither of the last two landings paid
}

TEST_F(Animated, ThePlayersLandedTrickPaysAndRingsTheCashAtAnyRank) {
  link->camera.position = Vector3(0, 0, 4);
  link->player = true;
  s->SetSoundRank(9);
  LandTrick(37, 99.0f);  // McTwist, difficulty 1; bonus factor 0: nothing is paid
  EXPECT_TRUE(link->awards.empty());
  EXPECT_TRUE(link->plays.empty());  // and out of rank nothing else is heard

  link->bonusFactor = 1.0f;
  LandTrick(37, 100.0f);
  ASSERT_EQ(1u, link->awards.size());
  CTrickHistory copy = s->GetTricks();
  const Table table(nullptr, nullptr);
  const float value = copy.ComputeTrickBonus(copy.GetEntry(0)->sequence, 100.0f,
                                             [&](uint32_t t) { return table.GetDifficulty(static_cast<int>(t)); });
  EXPECT_GT(value, 0.0f);
  EXPECT_FLOAT_EQ(value, link->awards[0]);
  EXPECT_EQ((std::vector<int>{Sound("cash_for_trick.wav")}), PlayedIds());

  // The same landing by an AI skater out of rank: no pay, no sound.
  link->player = false;
  link->plays.clear();
  LandTrick(37, 100.0f);
  EXPECT_EQ(1u, link->awards.size());
  EXPECT_TRUE(link->plays.empty());
}

TEST_F(Animated, ACoolTrickVoiceGreetsThreeLandingsInFourAboveTheThreshold) {
  link->camera.position = Vector3(0, 0, 4);
  const int voice = Sound("cooltrickvoice*.wav");
  // A single air trick landed cleanly is worth 60 x its difficulty.
  const auto voices = [&](uint32_t trick, bool player) {
    link->player = player;
    int heard = 0;
    for (int i = 0; i < 400; ++i) {
      link->plays.clear();
      LandTrick(trick, 100.0f);
      for (const RecordingLink::Play& p : link->plays) heard += p.id == voice ? 1 : 0;
    }
    return heard;
  };
  EXPECT_EQ(0, voices(30, true));    // Japan Air: exactly 30.0 for the player
  const int player = voices(33, true);  // Madonna: 36.0
  EXPECT_GT(player, 272);
  EXPECT_LT(player, 328);
  EXPECT_EQ(0, voices(22, false));   // Kick Flip: 7.2 for an AI skater
  const int ai = voices(24, false);  // Indy: 12.0
  EXPECT_GT(ai, 272);
  EXPECT_LT(ai, 328);
  s->SetSoundRank(4);
  EXPECT_EQ(0, voices(37, false));  // out of rank, even for 60.0
}

TEST_F(Animated, AGrindingAISkaterLandsIntoItsGrindWithoutLandingSounds) {
  link->camera.position = Vector3(0, 0, 4);
  s->body.motionMode = CSkater::kGrinding;
  s->body.spinAngle = 3.14f;
  anim->Play(21, true);
  HopStep();
  EXPECT_EQ(1, link->grinds);
  EXPECT_EQ(21, anim->GetCurrent());  // the grind step plays what comes next
  EXPECT_EQ(0.0f, s->body.spinAngle);
  EXPECT_TRUE(link->plays.empty());
}

TEST_F(Animated, GrindsLastWhileTheRouteGrindsManualsAndCrashesEndOnTheirOwnTerms) {
  s->route.steps.resize(2);
  s->route.steps[1].hasLink = true;
  s->route.steps[1].edge = PathEdgeInfo{0.5f, kLinkGrindLeft, 0};
  s->route.index = 1;
  s->route.mode = 1;
  anim->Play(48, true);
  EXPECT_EQ(48, StepOnce());
  s->route.steps[1].edge.kind = kLinkSkate;
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());
  // A player's grind (no route mode) counts while grinding along its points.
  s->route.mode = 0;
  s->body.motionMode = CSkater::kGrinding;
  s->route.steps[1].edge.kind = 0x1000;
  anim->Play(42, true);
  EXPECT_EQ(42, StepOnce());
  s->route.index = 2;  // used up
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());

  anim->Play(51, true);
  EXPECT_EQ(51, StepOnce());
  anim->Advance(anim->GetLength(51), 1.0f);
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());

  s->body.motionMode = CSkater::kCrashed;
  anim->Play(54, true);
  anim->Advance(10.0f, 1.0f);
  EXPECT_EQ(54, StepOnce());
  s->body.motionMode = CSkater::kRolling;
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());
}

TEST_F(Animated, BoardHandlingWalksPicksUpAndPutsDown) {
  s->body.motionMode = CSkater::kWalking;
  anim->Play(CSkaterAnimation::kWalk, true);
  s->SetVelocity(Vector3(1, 0, 0));
  EXPECT_EQ(CSkaterAnimation::kWalk, StepOnce());
  EXPECT_EQ(1.5f, s->body.animSpeed);
  // Up a steep step the stairs animation takes over at the same time; back on the level, walking.
  anim->Advance(0.2f, 1.0f);
  motion->normal = Vector3(0.6f, 0.0f, 0.79f);
  EXPECT_EQ(A::kWalkStairs, StepOnce());
  EXPECT_FLOAT_EQ(0.2f, anim->GetTime());
  EXPECT_EQ(A::kWalkStairs, StepOnce());
  motion->normal = Vector3(0.6f, 0.0f, 0.8f);
  EXPECT_EQ(CSkaterAnimation::kWalk, StepOnce());
  EXPECT_FLOAT_EQ(0.2f, anim->GetTime());
  s->SetVelocity(Vector3(0.05f, 0, 0));
  EXPECT_EQ(A::kPickupBoard, StepOnce());
  anim->Step(0.03f);
  EXPECT_EQ(2.0f, s->body.animSpeed);
  anim->Advance(10.0f, 1.0f);
  EXPECT_EQ(A::kPickupBoard, StepOnce());  // standing still: stays
  s->SetVelocity(Vector3(0.5f, 0, 0));
  s->mind.needWalk = true;
  EXPECT_EQ(A::kWalkInjured, StepOnce());
  EXPECT_EQ(A::kWalkInjured, StepOnce());
  s->mind.needWalk = false;
  EXPECT_EQ(A::kPickupBoard, StepOnce());

  anim->Play(A::kFootStop, true);
  EXPECT_EQ(A::kFootStop, StepOnce());
  anim->Advance(anim->GetLength(A::kFootStop), 1.0f);
  EXPECT_EQ(A::kPickupBoard, StepOnce());

  anim->Play(CSkaterAnimation::kPutDownBoard, true);
  anim->Step(0.03f);
  EXPECT_EQ(2.0f, s->body.animSpeed);
  EXPECT_EQ(CSkaterAnimation::kPutDownBoard, anim->GetCurrent());
  anim->Advance(anim->GetLength(CSkaterAnimation::kPutDownBoard), 1.0f);
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());

  // The crouch holds while the player's key does.
  link->player = true;
  anim->Play(A::kCrouch, true);
  s->body.crouchKey = true;
  EXPECT_EQ(A::kCrouch, StepOnce());
  s->body.crouchKey = false;
  EXPECT_EQ(CSkaterAnimation::kCoast, StepOnce());
}

TEST_F(Animated, CoastingClosesTheOpenTricksAndClearsTheSpin) {
  s->GetTricks().AddTrick(48, 4, 1, 99.0f, 0.0f);
  s->body.spinAngle = 6.28f;
  anim->Play(CSkaterAnimation::kCoast, true);
  motion->contact = false;
  anim->Step(0.03f);
  EXPECT_TRUE(s->GetTricks().IsFinished(0));
  EXPECT_TRUE(s->GetTricks().IsLanded(0));
  EXPECT_FALSE(s->GetTricks().GetEntry(0)->offBalance);
  EXPECT_EQ(0.0f, s->body.spinAngle);
  EXPECT_EQ(CSkaterAnimation::kCoast, anim->GetCurrent());
}

TEST_F(Animated, IsDoingTrickNeedsFlightAirTimeTheFlagAndANonCoastingAnimation) {
  anim->Play(24, true);
  motion->contact = false;
  s->body.airTime = 1.0f;
  s->body.trickFlag = true;
  EXPECT_TRUE(anim->IsDoingTrick());
  s->body.trickFlag = false;
  EXPECT_FALSE(anim->IsDoingTrick());
  s->body.trickFlag = true;
  s->body.airTime = 0.0f;
  EXPECT_FALSE(anim->IsDoingTrick());
  s->body.airTime = 1.0f;
  anim->Play(CSkaterAnimation::kCoast, true);
  EXPECT_FALSE(anim->IsDoingTrick());
  anim->Play(CSkaterAnimation::kTakeOff, true);
  EXPECT_TRUE(anim->IsDoingTrick());
  motion->contact = true;
  EXPECT_FALSE(anim->IsDoingTrick());
}

TEST_F(Animated, ASkaterThatLeavesStopsItsRollingLoop) {
  std::vector<int> stopped;
  Rig leaving = Make(boarder.get());
  leaving.link->stopLog = &stopped;
  leaving.link->camera.position = Vector3(0, 0, 4);
  leaving.animator->UpdateRollingSound(0.03f);
  ASSERT_EQ(1u, leaving.link->plays.size());
  const int handle = leaving.link->plays[0].handle;
  leaving.skater.reset();
  EXPECT_EQ((std::vector<int>{handle}), stopped);
  // One that never started a loop stops nothing.
  std::vector<int> none;
  Rig quiet = Make(boarder.get());
  quiet.link->stopLog = &none;
  quiet.skater.reset();
  EXPECT_TRUE(none.empty());
}

TEST_F(Animated, ALongRandomRideKeepsOneLoopAtMostAndEveryVolumeInRange) {
  plat::srand(2024);
  const auto uniform = [] { return static_cast<float>(plat::rand()) / 32767.0f; };
  std::set<int> live;  // loop handles started and not yet stopped
  size_t seenPlays = 0, seenStops = 0;
  for (int tick = 0; tick < 6000; ++tick) {
    link->time += 0.033;
    if (plat::rand() % 40 == 0) motion->contact = !motion->contact;
    if (plat::rand() % 50 == 0) s->SetSoundRank(static_cast<uint32_t>(plat::rand() % 7));
    if (plat::rand() % 60 == 0) s->body.motionMode = static_cast<uint32_t>(plat::rand() % 4);
    if (plat::rand() % 30 == 0) s->body.steerInput = uniform() * 2.0f - 1.0f;
    if (plat::rand() % 30 == 0) s->body.forwardInput = uniform();
    if (plat::rand() % 70 == 0) link->player = !link->player;
    if (plat::rand() % 90 == 0) {
      s->body.currentTrick = static_cast<uint32_t>(21 + plat::rand() % 19);
      s->body.airTime = uniform() * 2.0f;
      s->body.landingError = uniform() * 0.6f;
      s->GetTricks().AddTrick(s->body.currentTrick, 3, 1, static_cast<float>(link->time), 0.0f);
      anim->Play(CSkaterAnimation::kTakeOff, false);
    }
    if (plat::rand() % 200 == 0) anim->Play(plat::rand() % 60 - 2, plat::rand() % 2 == 0);
    s->body.animIndex = plat::rand() % 3 == 0 ? 40 + plat::rand() % 11 : s->body.animIndex;
    s->body.underfootObject = plat::rand() % 5 == 0 ? 77u : CSkater::kNone;
    link->material = static_cast<uint32_t>(plat::rand() % 3);
    s->SetVelocity(Vector3(uniform() * 8.0f, uniform() * 2.0f, 0.0f));
    link->camera.position = Vector3(uniform() * 40.0f, 0.0f, 0.0f);
    anim->UpdateRollingSound(0.033f);
    anim->Step(0.033f);
    anim->Advance(0.033f, s->body.animSpeed);

    ASSERT_GE(anim->GetCurrent(), 0);
    ASSERT_LT(anim->GetCurrent(), CSkaterAnimationTable::kEntryCount);
    EXPECT_GE(s->body.animSpeed, 0.2f);
    EXPECT_LE(s->body.animSpeed, 2.0f);
    for (; seenStops < link->stops.size(); ++seenStops) EXPECT_EQ(1u, live.erase(link->stops[seenStops])) << tick;
    for (; seenPlays < link->plays.size(); ++seenPlays) {
      const RecordingLink::Play& p = link->plays[seenPlays];
      EXPECT_GE(p.volume, -10000);
      EXPECT_LE(p.volume, 0);
      if (p.loop) live.insert(p.handle);
    }
    ASSERT_LE(live.size(), 1u) << tick;
    if (s->GetSoundRank() >= 4) EXPECT_TRUE(live.empty()) << tick;
    for (const auto& v : link->volumes) {
      EXPECT_GE(v.second, -10000);
      EXPECT_LE(v.second, 0);
    }
    link->volumes.clear();
  }
  EXPECT_GT(seenPlays, 200u);
}

// Skaters on routes over the park's grid squares.
struct AnimatedInPark : Animated {
  AnimatedInPark() : park(nullptr, nullptr) {
    park.GetOctree().Reset(Box(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f)));
    park.SetGrid(std::make_unique<CGrid>(10, 10, Vector3(0, 0, 0), 1.0f, 1.0f));
  }
  ~AnimatedInPark() override { rig.skater.reset(); }
  CGridSquare* Square(int column, int row) const { return park.GetGrid()->GetSquare(column, row); }
  // The skater stands on the first square, facing +x, on a route through the others, and takes one
  // step from coasting; returns the animation it chose.
  int Ride(std::vector<std::pair<int, int>> squares, const std::vector<uint32_t>& links = {}) {
    s->SetCentre(Square(squares[0].first, squares[0].second)->GetPosition());
    s->route.steps.clear();
    for (size_t i = 0; i < squares.size(); ++i) {
      CSkater::RouteStep step;
      step.nodeId = Square(squares[i].first, squares[i].second)->GetNodeId();
      step.hasLink = i > 0;
      step.edge = PathEdgeInfo{0.0f, i < links.size() ? links[i] : kLinkSkate, 0};
      s->route.steps.push_back(step);
    }
    s->route.index = 1;
    s->route.mode = 1;
    anim->Play(CSkaterAnimation::kCoast, true);
    return StepOnce();
  }
  CVerezIvor park;
};

TEST_F(AnimatedInPark, AnAISkaterLeansTowardTheRoutePointFourAhead) {
  // Straight ahead along the first leg (4 of 4.75 approximate units), leaning left.
  EXPECT_EQ(A::kLeanLeftIn, Ride({{0, 0}, {4, 3}}));
  const Vector3 here = s->GetCentre(), to = Square(4, 3)->GetPosition();
  const float expected = -((to - here) * (4.0f / (to - here).ApproxLength())).y;
  EXPECT_FLOAT_EQ(expected, s->body.lean);

  // Round a corner: 2 along x, then 2 more along y.
  Ride({{0, 0}, {2, 0}, {2, 5}});
  EXPECT_FLOAT_EQ(-2.0f, s->body.lean);

  // To the right.
  EXPECT_EQ(A::kLeanRightIn, Ride({{0, 5}, {4, 2}}));
  EXPECT_GT(s->body.lean, 1.0f);

  // A route that ends nearer than 4 leans toward its end: exactly -1 is not yet a lean.
  EXPECT_EQ(CSkaterAnimation::kCoast, Ride({{0, 0}, {1, 1}}));
  EXPECT_FLOAT_EQ(-1.0f, s->body.lean);
}

TEST_F(AnimatedInPark, AJumpWithinTwoAndAHalfAheadMakesTheSkaterCrouch) {
  for (uint32_t kind : {kLinkAir, kLinkFreeAir, kLinkOllie})
    EXPECT_EQ(A::kCrouch, Ride({{0, 0}, {2, 0}, {6, 0}}, {kLinkSkate, kLinkSkate, kind})) << kind;
  // Further than 2.5, or a link that is no jump: coasting goes on.
  EXPECT_EQ(CSkaterAnimation::kCoast, Ride({{0, 0}, {3, 0}, {6, 0}}, {kLinkSkate, kLinkSkate, kLinkOllie}));
  EXPECT_EQ(CSkaterAnimation::kCoast, Ride({{0, 0}, {2, 0}, {6, 0}}, {kLinkSkate, kLinkSkate, kLinkWalk}));
  // Two short legs still count: 1 + 1 walked before the ollie begins.
  EXPECT_EQ(A::kCrouch, Ride({{0, 0}, {1, 0}, {2, 0}, {6, 0}}, {kLinkSkate, kLinkSkate, kLinkSkate, kLinkOllie}));
}

// The game's own maker: the world's resource table and the controller's hooks.
float g_bonusFactor = 0.0f;
std::vector<float> g_awards;

TEST(SkaterAnimatorWorld, TheGamesAnimatorUsesTheWorldsSoundsAndTheControllersBonus) {
  plat::srand(3);
  CVerezIvor park(nullptr, nullptr);
  park.GetOctree().Reset(Box(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f)));
  CResourceTable resources;
  for (const std::string& path : SoundPaths()) resources.Add(path.c_str());
  park.SetResourceTable(&resources);
  g_awards.clear();
  const CSkaterAnimatorWorldLink::Hooks registered = CSkaterAnimatorWorldLink::GetHooks();
  CSkaterAnimatorWorldLink::Hooks hooks;
  hooks.bonusFactor = [] { return g_bonusFactor; };
  hooks.awardTrickBonus = [](float amount) { g_awards.push_back(amount); };
  CSkaterAnimatorWorldLink::SetHooks(hooks);
  CSkater::SetBodyFactory(MakeMotion, MakeSkaterAnimator);
  auto owned = std::make_unique<CSkater>();
  CSkater* skater = owned.get();
  skater->LoadBody(COrientation());
  park.RegisterNewObject(std::move(owned));
  CSkater::SetBodyFactory(nullptr, nullptr);
  auto* anim = dynamic_cast<CSkaterAnimator*>(&skater->GetAnimation());
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(CSkaterAnimation::kCoast, anim->GetCurrent());
  EXPECT_EQ(resources.FindByName("data/sounds/push.wav"), anim->Table().GetSingleSound(CSkaterAnimationTable::kPush));
  EXPECT_EQ(resources.FindByName("data/sounds/grindmetal.wav"), anim->Table().GetSurfaceSound(2, 2));
  // No sound device in the tests: nothing plays, nothing breaks.
  skater->SetSoundRank(0);
  anim->UpdateRollingSound(0.03f);
  EXPECT_EQ(-1, anim->GetRollingSoundHandle());

  park.SetPlayerSkaterId(skater->GetID());
  ASSERT_TRUE(skater->IsPlayerControlled());
  for (float factor : {0.0f, 1.0f}) {
    g_bonusFactor = factor;
    skater->GetTricks().AddTrick(24, 3, 1, 0.0f, 0.0f);  // Indy: 12.0
    anim->Play(24, true);
    g_motion->contact = false;
    anim->Step(0.03f);
    g_motion->contact = true;
    anim->Step(0.03f);
  }
  EXPECT_EQ((std::vector<float>{12.0f}), g_awards);
  CSkaterAnimatorWorldLink::SetHooks(registered);
  park.SetResourceTable(nullptr);
}

}  // namespace
