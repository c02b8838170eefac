// The application shell: the fixed-step frame on a hand-driven clock, the command line, window
// messages, renderer switches, shutdown, and the whole program in and out of process.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "core/GameActionLayer.h"
#include "core/GameWorld.h"
#include "core/InputMan.h"
#include "core/Settings.h"
#include "core/WorldAccess.h"
#include "platform/Platform.h"
#include "render/ColourDepth.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"

namespace fs = std::filesystem;

namespace {

const char kQuitLine[] = "Program should quit normally now...\n";

// One runtime folder for the single-instance lock of every window this program opens, so the
// tests never meet a copy of the game that someone is running.
class RuntimeFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelvarun_app_test_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    setenv("KELVARUN_RUNTIME_DIR", dir.string().c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  static fs::path dir;
};
fs::path RuntimeFolder::dir;
const auto* const g_runtime = ::testing::AddGlobalTestEnvironment(new RuntimeFolder());

struct LayerCounts {
  int ticks = 0;
  int draws = 0;
  float lastDt = 0.0f;
};

// A layer that counts its ticks and draws and can act in its tick.
class CountingLayer : public CGameActionLayer {
 public:
  explicit CountingLayer(LayerCounts* counts) : m_counts(counts) {}
  void Update(float dt) override {
    ++m_counts->ticks;
    m_counts->lastDt = dt;
    if (onTick) onTick();
  }
  void Draw(CRenderView*, PixelBufferDesc**) override { ++m_counts->draws; }
  std::function<void()> onTick;

 private:
  LayerCounts* m_counts;
};

void DrainMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test starts in a fresh folder, where the settings file it may write cannot reach others.
    m_oldDir = fs::current_path();
    m_dir = RuntimeFolder::dir / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(m_dir);
    fs::current_path(m_dir);
    DrainMessages();
    plat::UseManualClock(100000);
    plat::ResetSleepLog();
    m_oldSink = plat::SetDebugSink([this](const char* text) {
      log.push_back(text);
      if (onLog) onLog(text);
    });
  }
  void TearDown() override {
    onLog = nullptr;
    ShutdownApplication();
    DrainMessages();
    plat::SetKeyState(VK_F12, false);
    plat::SetDebugSink(m_oldSink);
    plat::UseRealClock();
    fs::current_path(m_oldDir);
  }
  // Starts the shell without a window and with the window active.
  void Start(const char* commandLine) {
    SetApplicationCommandLine(commandLine);
    InitApplication(nullptr, nullptr);
    OnActivate(nullptr, MAKEWPARAM(WA_ACTIVE, 0));
  }
  CountingLayer* AddCounter() {
    auto* layer = new CountingLayer(&counts);
    GetGameWorld()->AddLayerOnTop(layer);
    return layer;
  }
  int LogCount(const std::string& text) const {
    int n = 0;
    for (const auto& line : log) n += line == text;
    return n;
  }
  bool LogHas(const std::string& part) const {
    for (const auto& line : log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  std::vector<std::string> log;
  std::function<void(const char*)> onLog;
  LayerCounts counts;

 private:
  plat::DebugSink m_oldSink;
  fs::path m_oldDir;
  fs::path m_dir;
};

}  // namespace

TEST_F(ShellTest, LessThanOneTickDueSleepsTheRestAndRunsNothing) {
  Start("kelvarun");
  AddCounter();
  const DWORD base = GetFrameClockBase();
  plat::AdvanceClock(20);
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(13u, plat::SleptMilliseconds());
  EXPECT_EQ(1, plat::SleepCalls());
  EXPECT_EQ(0, counts.ticks);
  EXPECT_EQ(0, counts.draws);
  EXPECT_EQ(base, GetFrameClockBase());
  // The sleep used up the tick: the next frame runs exactly one.
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(1, counts.ticks);
  EXPECT_EQ(base + 33, GetFrameClockBase());
}

TEST_F(ShellTest, SeventyMillisecondsRunTwoTicksAndOneDraw) {
  Start("kelvarun");
  AddCounter();
  const DWORD base = GetFrameClockBase();
  plat::AdvanceClock(70);
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(2, counts.ticks);
  EXPECT_FLOAT_EQ(33 * 0.001f, counts.lastDt);
  EXPECT_EQ(1, counts.draws);
  EXPECT_EQ(base + 66, GetFrameClockBase());
  EXPECT_EQ(0, plat::SleepCalls());
}

TEST_F(ShellTest, ABacklogIsCappedAtSixTicksAndDropped) {
  Start("kelvarun");
  AddCounter();
  plat::AdvanceClock(400);
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(6, counts.ticks);
  EXPECT_EQ(1, counts.draws);
  EXPECT_EQ(timeGetTime() - 33, GetFrameClockBase());
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(7, counts.ticks) << "the dropped backlog leaves one tick for the next frame";
}

TEST_F(ShellTest, AnInactiveWindowFreezesTimeAndResumesWithoutAJump) {
  Start("kelvarun");
  AddCounter();
  plat::AdvanceClock(40);
  ASSERT_EQ(1, RunFrame());
  ASSERT_EQ(1, counts.ticks);

  log.clear();
  OnActivate(nullptr, MAKEWPARAM(WA_INACTIVE, 0));
  EXPECT_FALSE(IsApplicationActive());
  EXPECT_EQ(1, LogCount("MainLoop: Flushing all textures on window activation!\n"));
  plat::AdvanceClock(5000);
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(1, counts.ticks);
  EXPECT_EQ(1, counts.draws);
  EXPECT_EQ(0, plat::SleepCalls());

  OnActivate(nullptr, MAKEWPARAM(WA_ACTIVE, 1));  // active but minimised still counts as inactive
  EXPECT_FALSE(IsApplicationActive());
  plat::AdvanceClock(3000);
  EXPECT_EQ(1, RunFrame());

  OnActivate(nullptr, MAKEWPARAM(WA_ACTIVE, 0));
  EXPECT_TRUE(IsApplicationActive());
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(2, counts.ticks) << "40 ms had passed when time stopped: one tick, not a catch-up";
}

TEST_F(ShellTest, AClockBaseAheadOfNowSleepsAtMostOneTick) {
  Start("kelvarun");
  AddCounter();
  SetFrameClockBase(timeGetTime() + 5000);
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(33u, plat::SleptMilliseconds());
  EXPECT_EQ(0, counts.ticks);
  SetFrameClockBase(timeGetTime() - 32);
  plat::ResetSleepLog();
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(1u, plat::SleptMilliseconds());
}

TEST_F(ShellTest, PvsWithRaysStartsWindowedAndWithoutRaysDoesNot) {
  Start("kelvarun pvs 5 rays");
  EXPECT_TRUE(IsPvsWindowed());
  EXPECT_FALSE(GetSettings()->IsFullScreen());
  ShutdownApplication();
  fs::remove("settings.bin");  // the windowed choice was saved; start the next case afresh

  Start("kelvarun pvs 5");
  EXPECT_FALSE(IsPvsWindowed());
  EXPECT_TRUE(GetSettings()->IsFullScreen());
  ShutdownApplication();

  Start("kelvarun pvs=-1 rays");  // -1 rays keeps the configured mode
  EXPECT_FALSE(IsPvsWindowed());
  EXPECT_TRUE(GetSettings()->IsFullScreen());
  ShutdownApplication();

  Start("kelvarun rays // pvs 3");  // switches behind a comment marker do not count
  EXPECT_FALSE(IsPvsWindowed());
}

TEST_F(ShellTest, F12HeldAtStartTogglesFullScreen) {
  plat::SetKeyState(VK_F12, true);
  Start("kelvarun");
  EXPECT_FALSE(GetSettings()->IsFullScreen());
}

TEST_F(ShellTest, LevelSwitchesAndSafeMode) {
  ReadCommandLine("kelvarun -L3");
  EXPECT_EQ(3, GetStartLevel());
  ReadCommandLine("\"/opt/my games/kelvarun\" foo -l19");
  EXPECT_EQ(19, GetStartLevel());
  ReadCommandLine("kelvarun -l20");
  EXPECT_EQ(-1, GetStartLevel());
  ReadCommandLine("kelvarun -L3x level-L3");
  EXPECT_EQ(-1, GetStartLevel());
  ReadCommandLine("-l3");  // the program path is never a switch
  EXPECT_EQ(-1, GetStartLevel());
  ReadCommandLine("kelvarun\t-L0");
  EXPECT_EQ(0, GetStartLevel());
  ReadCommandLine("kelvarun safemode");
  EXPECT_TRUE(IsSafeMode());
  EXPECT_EQ(-1, GetStartLevel());
  ReadCommandLine(nullptr);
  EXPECT_FALSE(IsSafeMode());
}

TEST_F(ShellTest, ALevelSwitchStartsWithNoLayerAndTheFirstFrameShutsDown) {
  Start("/home/player/kelvarun -L3");
  ASSERT_NE(nullptr, GetGameWorld());
  EXPECT_FALSE(GetGameWorld()->HasLayers());
  EXPECT_EQ(0, RunFrame());
  EXPECT_EQ(nullptr, GetGameWorld());
  EXPECT_EQ(nullptr, GetRasterizer());
  EXPECT_EQ(nullptr, GetRenderView());
  EXPECT_EQ(1, LogCount(kQuitLine));
  // Later frames and shutdowns find no world and do nothing more.
  EXPECT_EQ(0, RunFrame());
  ShutdownApplication();
  EXPECT_EQ(1, LogCount(kQuitLine));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(WM_QUIT, msg.message);
}

TEST_F(ShellTest, WithoutALevelSwitchTheSplashLayerIsTheStack) {
  Start("kelvarun");
  ASSERT_NE(nullptr, GetGameWorld());
  EXPECT_EQ(1u, GetGameWorld()->GetLayerCount());
  EXPECT_EQ(GetRenderView(), GetGameWorld()->GetRenderView());
  EXPECT_NE(nullptr, GetGameWorld()->GetInputManager());
  EXPECT_NE(nullptr, GetGameWorld()->GetSoundManager());
  EXPECT_NE(nullptr, GetGameWorld()->GetResourceTable());
}

TEST_F(ShellTest, MenuAndGameRenderersSwitchAndUnknownChoicesFallBack) {
  Start("kelvarun");
  CRasterizerInterface* menu = GetRasterizer();
  ASSERT_NE(nullptr, menu);
  EXPECT_EQ(kMenuRasterizer, GetRasterizerState());
  EXPECT_EQ(kRasterizerSoftware, menu->GetUserValue());
  EXPECT_EQ(menu, GetRenderView()->GetRasterizer());
  EXPECT_FLOAT_EQ(1.0f, GetRenderView()->GetScaleFactor());
  EXPECT_EQ(15u, GetColourDepth());
  EXPECT_EQ(640u, menu->GetBackBufferDesc()->width);
  EXPECT_EQ(480u, menu->GetBackBufferDesc()->height);
  SwitchToMenuRasterizer();
  EXPECT_EQ(menu, GetRasterizer()) << "already on the menu renderer";

  for (uint32_t option : {7u, 0u, 1u}) {
    SCOPED_TRACE(option);
    log.clear();
    GetSettings()->renderer = option;
    GetSettings()->displayWidth = 800;
    GetSettings()->displayHeight = 600;
    SwitchToGameRasterizer();
    CRasterizerInterface* game = GetRasterizer();
    ASSERT_NE(nullptr, game);
    EXPECT_EQ(kGameRasterizer, GetRasterizerState());
    EXPECT_EQ(kRasterizerSoftware, game->GetUserValue());
    EXPECT_EQ(game, GetRenderView()->GetRasterizer());
    EXPECT_NE(nullptr, GetRenderView()->GetView());
    EXPECT_FLOAT_EQ(0.5f, GetRenderView()->GetScaleFactor());
    EXPECT_EQ(800u, game->GetBackBufferDesc()->width);
    EXPECT_EQ(600u, game->GetBackBufferDesc()->height);
    EXPECT_EQ(option != 1, LogHas("using the software renderer"));
    SwitchToGameRasterizer();
    EXPECT_EQ(game, GetRasterizer()) << "already on the game renderer";
    // Frames still draw on the new back end.
    game->Clear(false, true, 0xFFFFFFFF);
    game->PresentFrame();
    SwitchToMenuRasterizer();
    EXPECT_EQ(kMenuRasterizer, GetRasterizerState());
    EXPECT_FLOAT_EQ(1.0f, GetRenderView()->GetScaleFactor());
    EXPECT_EQ(640u, GetRasterizer()->GetBackBufferDesc()->width);
  }
}

TEST_F(ShellTest, MouseMessagesReachTheWorldAndClicksLastOneTick) {
  OnMouseMessage(nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 2));  // no world: nothing to do
  Start("kelvarun");
  AddCounter();
  CGameWorld* world = GetGameWorld();
  EXPECT_EQ(0, MainWndProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20)));
  EXPECT_EQ(10, world->lastButtonX);
  EXPECT_EQ(20, world->lastButtonY);
  EXPECT_EQ(1, world->leftDown);
  OnMouseMessage(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));
  EXPECT_EQ(10, world->lastButtonX);
  OnMouseMessage(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(-5, 7));
  EXPECT_EQ(-5, world->lastButtonX);
  EXPECT_EQ(0, world->leftDown);
  EXPECT_EQ(1, world->leftClick);
  OnMouseMessage(nullptr, WM_RBUTTONDOWN, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(1, world->rightDown);
  OnMouseMessage(nullptr, WM_RBUTTONUP, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(0, world->rightDown);
  EXPECT_EQ(1, world->rightClick);
  OnMouseMessage(nullptr, WM_LBUTTONDBLCLK, 0, MAKELPARAM(99, 99));
  EXPECT_EQ(1, world->lastButtonX) << "double clicks leave the button position";
  OnMouseMessage(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(1, world->wheelDown);
  EXPECT_EQ(0, world->wheelUp);
  OnMouseMessage(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(1, world->wheelUp);

  plat::SetCursorScreenPos(123, 45);
  plat::AdvanceClock(33);
  ASSERT_EQ(1, RunFrame());
  EXPECT_EQ(0, world->leftClick);
  EXPECT_EQ(0, world->rightClick);
  EXPECT_EQ(1, world->wheelUp) << "wheel bytes wait for their reader";
}

TEST_F(ShellTest, KeyDownsAreRememberedWithTheirTime) {
  plat::AdvanceClock(500);
  EXPECT_EQ(0, MainWndProc(nullptr, WM_KEYDOWN, VK_SPACE, 0));
  EXPECT_EQ(static_cast<uint32_t>(VK_SPACE), GetLastKey());
  EXPECT_EQ(timeGetTime(), GetLastKeyTime());
  plat::AdvanceClock(10);
  OnKeyMessage(0, 0);
  EXPECT_EQ(static_cast<uint32_t>(VK_SPACE), GetLastKey());
  EXPECT_EQ(timeGetTime() - 10, GetLastKeyTime());
  EXPECT_EQ(0, MainWndProc(nullptr, WM_CHAR, 'a', 0));
  EXPECT_EQ(0, MainWndProc(nullptr, WM_PAINT, 0, 0));
}

TEST_F(ShellTest, TheDebugPauseKeepsTheWindowServedSoItCanStillBeClosed) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.lpszClassName = "KelvarunPauseTest";
  static const UINT registered = RegisterClassA(&windowClass);
  ASSERT_NE(0u, registered);
  HWND window = CreateWindowA("KelvarunPauseTest", "pause", 0, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  SetApplicationCommandLine("kelvarun");
  InitApplication(window, nullptr);
  OnActivate(window, MAKEWPARAM(WA_ACTIVE, 0));
  SetDebugMode(true);
  CountingLayer* layer = AddCounter();
  // While the frame is drawn: Pause goes down and up, and the player closes the window.
  struct PauseAndClose : CGameActionLayer {
    explicit PauseAndClose(HWND w) : window(w) {}
    void Draw(CRenderView*, PixelBufferDesc**) override {
      if (done) return;
      done = true;
      plat::SetKeyState(VK_PAUSE, true);
      plat::SetKeyState(VK_PAUSE, false);
      plat::InjectMessage(window, WM_CLOSE, 0, 0);
    }
    HWND window;
    bool done = false;
  };
  GetGameWorld()->AddLayerOnTop(new PauseAndClose(window));
  (void)layer;
  plat::AdvanceClock(33);
  EXPECT_EQ(0, RunFrame()) << "the close arrived during the pause and ended the program";
  EXPECT_EQ(1, counts.ticks);
  EXPECT_EQ(nullptr, GetGameWorld());
  EXPECT_EQ(1, LogCount(kQuitLine));
  EXPECT_EQ(nullptr, GetMainWindow());
  SetDebugMode(false);
}

// --- The whole program ---------------------------------------------------------------------

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The built program: in $KELVARUN_BUILD_DIR, else in the build folder above this test program.
fs::path ProgramPath() {
  if (const char* buildDir = std::getenv("KELVARUN_BUILD_DIR")) return fs::path(buildDir) / "kelvarun";
  return fs::path(plat::ExecutableFolder()).parent_path().parent_path() / "kelvarun";
}

// Runs the built program with arguments; returns its exit status (0 = clean exit).
int RunProgram(const std::string& arguments, const fs::path& output) {
  const std::string command =
      "'" + ProgramPath().string() + "' " + arguments + " > '" + output.string() + "' 2>&1";
  return std::system(command.c_str());
}

class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper() : m_dir(fs::current_path()) {}
  ~CurrentDirectoryKeeper() { fs::current_path(m_dir); }

 private:
  fs::path m_dir;
};

}  // namespace

TEST_F(ShellTest, WinMainWorksFromTheProgramFolderWhateverTheArgumentsSay) {
  CurrentDirectoryKeeper keep;
  EXPECT_EQ(0, WinMain(nullptr, nullptr, "kelvarun /somewhere/else\\entirely -L3", SW_SHOWNORMAL));
  std::string folder = plat::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(fs::canonical(folder), fs::canonical(fs::current_path()));
  EXPECT_EQ(1, LogCount(kQuitLine));
  EXPECT_EQ(nullptr, FindWindowA("Kelvarun", nullptr)) << "the window goes with the program";
}

TEST_F(ShellTest, EscapeOnTheSplashEndsTheProgram) {
  CurrentDirectoryKeeper keep;
  bool queued = false;
  bool splashLeft = false;
  onLog = [&](const char* text) {
    // The splash layer has just been added and the input manager is bound: press Escape.
    if (queued || std::string(text) != "Adding Layer\n" || !GetInputMan()) return;
    queued = true;
    InputEvent escape;
    escape.code = InputEvent::kKey;
    escape.x = VK_ESCAPE;
    GetInputMan()->QueueEvent(escape);
    // A watcher below the splash: it leaves once it is alone, and closes the window if the
    // splash never goes, so a fault fails the test instead of hanging it.
    auto* watcher = new CountingLayer(&counts);
    watcher->onTick = [&, watcher]() {
      if (GetGameWorld()->GetLayerCount() == 1) {
        splashLeft = true;
        watcher->MarkForRemoval();
      } else if (counts.ticks > 1000) {
        plat::InjectMessage(GetMainWindow(), WM_CLOSE, 0, 0);
      }
    };
    GetGameWorld()->AddLayerAtBottom(watcher);
  };
  EXPECT_EQ(0, WinMain(nullptr, nullptr, "kelvarun", SW_SHOWNORMAL));
  EXPECT_TRUE(queued);
  EXPECT_TRUE(splashLeft);
  EXPECT_LE(counts.ticks, 3) << "the splash went at the first tick";
  EXPECT_EQ(1, LogCount(kQuitLine));
  EXPECT_EQ(nullptr, GetGameWorld());
}

TEST_F(ShellTest, ClosingTheWindowShutsDownOnceAndASecondCopyHandsOver) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "no program at " << ProgramPath();
  CurrentDirectoryKeeper keep;
  const fs::path output = RuntimeFolder::dir / "second_copy.txt";
  int secondCopyStatus = -1;
  int restoresBefore = plat::RestoreRequestsReceived();
  int restoresSeen = -1;
  int framesAfterClose = 0;
  bool added = false;
  onLog = [&](const char* text) {
    if (added || std::string(text) != "Adding Layer\n") return;
    added = true;
    auto* driver = new CountingLayer(&counts);
    driver->onTick = [&, driver]() {
      if (counts.ticks == 3) {
        secondCopyStatus = RunProgram("", output);
      } else if (counts.ticks > 3 && restoresSeen < 0) {
        // The first copy hears the restore request through its message pump.
        if (plat::RestoreRequestsReceived() > restoresBefore || counts.ticks > 3000) {
          restoresSeen = plat::RestoreRequestsReceived() - restoresBefore;
          plat::InjectMessage(GetMainWindow(), WM_CLOSE, 0, 0);
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      } else if (restoresSeen >= 0) {
        ++framesAfterClose;
      }
    };
    GetGameWorld()->AddLayerOnTop(driver);
  };
  EXPECT_EQ(0, WinMain(nullptr, nullptr, "kelvarun", SW_SHOWNORMAL));
  EXPECT_EQ(0, secondCopyStatus) << ReadAll(output);
  EXPECT_GE(restoresSeen, 1);
  EXPECT_EQ(0, framesAfterClose) << "no tick runs once the window is closed";
  EXPECT_EQ(1, LogCount(kQuitLine));
  EXPECT_EQ(nullptr, GetGameWorld());
  EXPECT_EQ(nullptr, FindWindowA("Kelvarun", nullptr));
  EXPECT_EQ(std::string::npos, ReadAll(output).find(kQuitLine)) << "the second copy never started up";
}

TEST(WholeProgram, RunsHeadlessAndEndsCleanlyAtTheFirstFrameOfALevelSwitch) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "no program at " << ProgramPath();
  const fs::path output = RuntimeFolder::dir / "level_switch.txt";
  EXPECT_EQ(0, RunProgram("/not/a/folder -L3", output));
  const std::string text = ReadAll(output);
  EXPECT_NE(std::string::npos, text.find(kQuitLine)) << text;
  EXPECT_NE(std::string::npos, text.find("GameWorld: ")) << "the world was built: " << text;
  EXPECT_EQ(std::string::npos, text.find("Adding Layer")) << text;
}
