// The controller's modes and services: driving a skater, hiding the interface, the music
// playlist on the game's one generator, and the highlights and statistics drawn with the park.
#include "tests/park/controller/GameLogicTestPark.h"

#include <algorithm>

#include "core/input/Settings.h"
#include "core/services/WorldPointer.h"
#include "core/data/ResourceTable.h"
#include "platform/sound/SoftwareSound.h"
#include "sound/SoundManager.h"
#include "sound/WaveWriter.h"
#include "tests/support/AudioMeasure.h"
#include "tests/support/WorkingFolder.h"

namespace control_test {
namespace {

TEST_F(ControllerPark, DrivingASkaterAndGivingItBack) {
  CSkater* skater = AddSkater(Vector3(6.0f, 6.0f, 0.5f));
  ASSERT_NE(skater, nullptr);
  Action(CGameLogic::kActionControl);  // nobody selected: nothing
  EXPECT_FALSE(logic->IsControllingSkater());
  logic->SetSelectedSkater(skater->GetID());
  // Whatever it was doing, the player takes it over standing still, rolling, with no plan.
  skater->body.steerInput = 0.5f, skater->body.forwardInput = 0.25f, skater->body.motionMode = CSkater::kWalking;
  skater->route.mode = 1, skater->route.index = 3;
  skater->mind.goal = CSkater::kGoalFood, skater->mind.needWalk = true;
  skater->SetState(CSkater::kHeadingToGoal, 2);
  park->AddLayerOnTop(std::make_unique<RecordingScreens::Layer>("toolbar"));
  Action(CGameLogic::kActionControl);
  EXPECT_TRUE(skater->body.steerInput == 0.0f && skater->body.forwardInput == 0.0f);
  EXPECT_EQ(skater->body.motionMode, CSkater::kRolling);
  EXPECT_TRUE(skater->route.mode == 0 && skater->route.index == -1);
  EXPECT_TRUE(skater->mind.goal == CSkater::kGoalNone && !skater->mind.needWalk);
  EXPECT_TRUE(skater->mind.state == CSkater::kDeciding && skater->mind.subState == 0);
  EXPECT_TRUE(logic->IsControllingSkater());
  EXPECT_TRUE(skater->IsPlayerControlled());
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kChaseCamera);
  EXPECT_TRUE(logic->IsActive());
  ASSERT_GE(screens->made.size(), 2u);
  EXPECT_EQ(screens->made[screens->made.size() - 2], "exit");
  EXPECT_EQ(screens->made.back(), "hud");
  for (size_t i = 0; i < park->GetLayerCount(); ++i)  // below the exit and the HUD, only the controller runs
    EXPECT_EQ(park->GetLayer(i)->IsActive(), park->GetLayer(i) == logic || i + 2 >= park->GetLayerCount()) << i;
  logic->ReleaseSelection(skater->GetID());  // a stale pop-up's close does not take the wheel away
  EXPECT_TRUE(logic->IsControllingSkater());
  Action(CGameLogic::kActionControl);
  EXPECT_FALSE(logic->IsControllingSkater());
  EXPECT_FALSE(skater->IsPlayerControlled());
  EXPECT_EQ(logic->GetSelectedSkaterId(), CGameLogic::kNone);
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kParkCamera);
  for (size_t i = 0; i < park->GetLayerCount(); ++i) EXPECT_TRUE(park->GetLayer(i)->IsActive()) << i;

  // A driven skater that leaves the park gives the view back on the next tick.
  logic->SetSelectedSkater(skater->GetID());
  logic->SetSkaterControl(true);
  skater->MarkForRemoval();
  park->UpdateObjects(0.0f);
  Tick();
  EXPECT_FALSE(logic->IsControllingSkater());
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kParkCamera);

  // Taken over from the view from a piece, a skater gives back the park view and the pointer.
  const float frame12[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 3, 3, 2};
  logic->SetPerspectiveView(true, frame12);
  logic->SetSelectedSkater(AddSkater(Vector3(6.0f, 6.0f, 0.5f))->GetID());
  Action(CGameLogic::kActionControl);
  Action(CGameLogic::kActionControl);
  EXPECT_EQ(park->GetCurrentCameraIndex(), CGameLogic::kParkCamera);
  EXPECT_FALSE(logic->IsPerspectiveView());
  EXPECT_TRUE(park->GetMouseCursor()->IsVisible());
}

TEST_F(ControllerPark, HidingTheInterfaceLeavesOnlyTheController) {
  park->AddLayerOnTop(std::make_unique<RecordingScreens::Layer>("toolbar"));
  Action(CGameLogic::kActionHideInterface);
  EXPECT_TRUE(CGameLogic::IsInterfaceHidden());
  EXPECT_TRUE(logic->IsActive());
  EXPECT_FALSE(park->GetLayer(park->GetLayerCount() - 1)->IsActive());
  Action(CGameLogic::kActionHideInterface);
  EXPECT_FALSE(CGameLogic::IsInterfaceHidden());
  EXPECT_TRUE(park->GetLayer(park->GetLayerCount() - 1)->IsActive());
  // Over an interface layer, clicks are the interface's.
  COrientation frame;
  logic->BuyObject(catalog.defs[0], frame);
  PointAtSquare(3, 3);
  park->mouseOverUI = 1;
  Action(CGameLogic::kActionPrimary);
  EXPECT_NE(logic->GetHeldObjectId(), CGameLogic::kNone);
  park->mouseOverUI = 0;
  Action(CGameLogic::kActionPrimary);
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
}

// A track is drawn from the game's generator when no music plays, and only then; nothing
// reseeds it.
TEST_F(ControllerPark, TheMusicPlaylistDrawsFromTheGamesGenerator) {
  testing_support::WorkingFolder working;
  ASSERT_TRUE(working.Entered());
  const char* tracks[3] = {"data/sounds/music/tessary1_three_twelve.wav", "data/sounds/music/tessary1_kids.wav",
                           "data/sounds/music/tessary1_lucky.wav"};
  CResourceTable table;
  int ids[3];
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> wave = BuildWaveFile16(1, 44100, testing_support::Sine(44100, 0.01, 8000.0));
    working.Write(tracks[i], std::string(wave.begin(), wave.end()));
    ids[i] = table.Add(tracks[i]);
  }
  CSoftwareSound* device = CSoftwareSound::CreateOffline(0);
  device->AddRef();
  CSettings settings;
  settings.levelA = settings.levelB = 1.0f;
  CSoundManager manager;
  ASSERT_TRUE(manager.Init(&table, nullptr, &settings, DirectSoundPtr(device)));
  park->SetResourceTable(&table);
  park->SetSoundManager(&manager);

  plat::srand(4242);
  std::vector<int> draws;
  for (int i = 0; i < 3; ++i) draws.push_back(plat::rand());
  plat::srand(4242);
  Tick();
  ASSERT_TRUE(manager.IsMusicPlaying());
  const CSoundInstance* playing = manager.GetInstance(manager.GetMusicHandle());
  ASSERT_NE(playing, nullptr);
  EXPECT_EQ(playing->soundId, ids[draws[0] % 3]);
  Tick();  // still playing: no draw (the manager's own pick of a variant took the second value)
  EXPECT_EQ(plat::rand(), draws[2]);

  park->SetSoundManager(nullptr);
  park->SetResourceTable(nullptr);
  manager.StopAll();
  device->Release();
}

TEST_F(ControllerPark, HighlightsAndStatisticsAreDrawnWithThePark) {
  COrientation frame;
  frame.position = Vector3(4.0f, 8.0f, 0.0f);
  logic->BuyObject(catalog.defs[0], frame);
  logic->CanPlaceHeldObject();
  logic->UpdateCamera(0.0f);
  park->ToggleDebugFlag(8);
  PixelBufferDesc* locked = rasterizer.LockBackBuffer();  // as widgets drawn below would leave it
  rasterizer.Forget();
  std::fill(rasterizer.frame.begin(), rasterizer.frame.end(), 0);
  logic->Draw(&renderView, &locked);
  if (locked != nullptr) rasterizer.UnlockBackBuffer();
  ASSERT_GE(rasterizer.calls.size(), 2u);  // the frame starts cleared, the lock given up first
  EXPECT_EQ(rasterizer.calls[0], "UnlockBackBuffer");
  EXPECT_EQ(rasterizer.calls[1].rfind("Clear(1,1,", 0), 0u) << rasterizer.calls[1];
  int green = 0, red = 0;
  for (const RecordingRasterizer::Draw& draw : rasterizer.draws)
    for (const ScreenVertex& v : draw.vertices) {
      green += v.diffuse == CGameLogic::kPlaceableColour ? 1 : 0;
      red += v.diffuse == CGameLogic::kBlockedColour ? 1 : 0;
    }
  EXPECT_GT(green, 0);
  EXPECT_EQ(red, 0);
  const int lit = static_cast<int>(std::count_if(rasterizer.frame.begin(), rasterizer.frame.begin() + 640 * 40,
                                                 [](uint16_t p) { return p == 0x7FFF; }));
  EXPECT_GT(lit, 50);  // the three lines of figures at the top
}

}  // namespace
}  // namespace control_test
