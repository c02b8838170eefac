// The application shell: the fixed-step frame on a hand-driven clock, the command line, window
// messages, renderer switches, shutdown, and the whole program in and out of process.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "core/world/GameActionLayer.h"
#include "core/world/GameWorld.h"
#include "core/world/GlobalArt.h"
#include "core/input/InputMan.h"
#include "core/input/Settings.h"
#include "core/input/SkateSettings.h"
#include "core/world/WorldAccess.h"
#include "core/math/Matrix4.h"
#include "core/data/ByteCursor.h"
#include "core/data/LittleEndian.h"
#include "core/data/ResourceTable.h"
#include "park/controller/GameLogic.h"
#include "ui/park/GameHooks.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/saved/SavedGameParkBlock.h"
#include "park/skater/Skater.h"
#include "park/world/ParkFontSet.h"
#include "park/world/VerezIvor.h"
#include "platform/graphics/DisplayMachine.h"
#include "platform/system/Platform.h"
#include "platform/window/WindowRegistry.h"
#include "render/image/BitmapImage.h"
#include "render/image/ColourDepth.h"
#include "render/image/Texture.h"
#include "render/display/DisplayDrivers.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/camera/GenericCam.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/ShadowProjector.h"
#include "scene/lighting/ShadowRenderer.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatch.h"
#include "sound/SoundManager.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentBoarder.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentSounds.h"
#include "tools/DemoContentUi.h"
#include "ui/park/BuildPalette.h"
#include "ui/park/SkaterPopup.h"
#include "ui/screens/EscapeMenuScreen.h"
#include "ui/screens/LoadGameScreen.h"
#include "ui/screens/MainScreen.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/NewGameScreen.h"
#include "ui/screens/SaveGameScreen.h"
#include "ui/screens/SettingsScreen.h"
#include "ui/sprites/Sprite.h"
#include "ui/widgets/MenuLayer.h"

namespace fs = std::filesystem;
using testing_support::ReadBytes;

namespace {

const char kQuitLine[] = "Program should quit normally now...\n";

// One runtime folder for the single-instance lock, so the tests never meet a running game.
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
  int ticks = 0, draws = 0;
  float step = 0.0f;  // the last tick's
};

class CountingLayer : public CGameActionLayer {
 public:
  explicit CountingLayer(LayerCounts* counts) : m_counts(counts) {}
  void Update(float dt) override {
    ++m_counts->ticks;
    m_counts->step = dt;
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

fs::path ProgramPath() {
  if (const char* buildDir = std::getenv("KELVARUN_BUILD_DIR")) return fs::path(buildDir) / "kelvarun";
  return fs::path(plat::ExecutableFolder()).parent_path().parent_path() / "kelvarun";
}

int RunProgram(const std::string& arguments, const fs::path& output) {
  // A copy that never ends (say, one that missed its level switch) fails instead of hanging.
  return std::system(
      ("timeout 120 '" + ProgramPath().string() + "' " + arguments + " > '" + output.string() + "' 2>&1").c_str());
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh folder per test, so a settings file one test writes cannot reach another.
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
    // A window left open stays active and would be the next test's foreground window in place of
    // its own, and a park whose window is not in front stands still.
    for (HWND window : OpenedWindows()) DestroyWindow(window);
    OpenedWindows().clear();
    DrainMessages();
    plat::SetDebugSink(m_oldSink);
    plat::UseRealClock();
    fs::current_path(m_oldDir);
  }
  // The shell started on the window (none for a headless run), then made the active program.
  void Start(const char* commandLine, HWND window = nullptr) {
    SetApplicationCommandLine(commandLine);
    InitApplication(window, nullptr);
    OnActivate(window, MAKEWPARAM(WA_ACTIVE, 0));
  }
  // A window of the tests' own class, served by the program's window procedure; null when the
  // class could not be registered.
  static HWND OpenWindow(const char* title, int width, int height) {
    static const UINT registered = [] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = MainWndProc;
      windowClass.lpszClassName = "KelvarunShellTest";
      return RegisterClassA(&windowClass);
    }();
    if (registered == 0) return nullptr;
    HWND window = CreateWindowA("KelvarunShellTest", title, 0, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
    if (window != nullptr) OpenedWindows().push_back(window);
    return window;
  }
  static std::vector<HWND>& OpenedWindows() {
    static std::vector<HWND> windows;
    return windows;
  }
  // `count` frames, each a step of the clock later; false at the first after which the program
  // does not run on.
  static bool Frames(int count, DWORD step = 33) {
    for (int i = 0; i < count; ++i) {
      plat::AdvanceClock(step);
      if (RunFrame() != 1) return false;
    }
    return true;
  }
  // A key pressed and let go in the window, as the message pump passes real input on.
  static void PressKey(HWND window, int key) {
    plat::InjectMessage(window, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    plat::InjectMessage(window, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000000);
  }
  static bool Press(HWND window, int key, int framesAfter = 2) {
    PressKey(window, key);
    return Frames(framesAfter);
  }
  // From the title: a click on it, the menu's load screen, and a click on the one game it lists;
  // false when the program stops or the screen lists another number of games.
  static bool LoadTheOnlyGameFromTheMenu(HWND window) {
    auto clickAt = [window](const POINT& at) {
      plat::SetCursorScreenPos(at.x, at.y);
      for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
        plat::InjectMessage(window, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(at.x, at.y));
      return Frames(3);
    };
    if (!clickAt({2, 2}) || !Press(window, 'L')) return false;
    const CGameWorld* world = GetGameWorld();
    const auto* list = dynamic_cast<CLoadGameScreen*>(world->GetLayer(world->GetLayerCount() - 1));
    if (list == nullptr || list->GetGames().size() != 1) return false;
    const RECT first = list->GetPanel().GetButtonRect(0);
    return clickAt({(first.left + first.right) / 2, (first.top + first.bottom) / 2});
  }
  // Frames until the program has ended, at most `most` of them; how many ran.
  static int FramesUntilTheEnd(int most = 10) {
    int frames = 0;
    while (GetGameWorld() != nullptr && frames < most) {
      plat::AdvanceClock(33);
      RunFrame();
      ++frames;
    }
    return frames;
  }
  CountingLayer* AddCounter() {
    auto* layer = new CountingLayer(&counts);
    GetGameWorld()->AddLayerOnTop(std::unique_ptr<CGameActionLayer>(layer));
    return layer;
  }
  int LogCount(const std::string& text) const {
    int n = 0;
    for (const auto& line : log) n += line == text;
    return n;
  }

  std::vector<std::string> log;
  std::function<void(const char*)> onLog;
  LayerCounts counts;

 private:
  plat::DebugSink m_oldSink;
  fs::path m_oldDir, m_dir;
};

}  // namespace

TEST_F(ShellTest, FrameRunsFixedTicksSleepsTheRestAndDropsABacklog) {
  struct Case {
    DWORD elapsed;
    int ticks, draws;
    uint32_t slept;
    int nextTicks;  // a sleep or a dropped backlog leaves exactly one tick for the next frame
  };
  for (const Case& c : {Case{20, 0, 0, 13, 1}, Case{70, 2, 1, 0, 0}, Case{400, 6, 1, 0, 1}}) {
    SCOPED_TRACE(c.elapsed);
    counts = LayerCounts();
    plat::ResetSleepLog();
    Start("kelvarun");
    AddCounter();
    const DWORD base = GetFrameClockBase();
    plat::AdvanceClock(c.elapsed);
    EXPECT_EQ(1, RunFrame());
    EXPECT_EQ(c.ticks, counts.ticks);
    EXPECT_FLOAT_EQ(c.ticks > 0 ? 0.033f : 0.0f, counts.step);
    EXPECT_EQ(c.draws, counts.draws);
    EXPECT_EQ(c.slept, plat::SleptMilliseconds());
    EXPECT_EQ(c.elapsed == 400 ? timeGetTime() - 33 : base + 33 * c.ticks, GetFrameClockBase());
    EXPECT_EQ(1, RunFrame());
    EXPECT_EQ(c.ticks + c.nextTicks, counts.ticks);
    ShutdownApplication();
    DrainMessages();
  }
}

TEST_F(ShellTest, AnInactiveWindowFreezesTimeAndResumesWithoutAJump) {
  Start("kelvarun");
  AddCounter();
  ASSERT_TRUE(Frames(1, 40));
  OnActivate(nullptr, MAKEWPARAM(WA_INACTIVE, 0));
  EXPECT_TRUE(Frames(1, 5000));
  OnActivate(nullptr, MAKEWPARAM(WA_ACTIVE, 1));  // active but minimised still counts as inactive
  EXPECT_FALSE(IsApplicationActive());
  EXPECT_TRUE(Frames(1, 3000));
  EXPECT_EQ(1, counts.ticks);
  EXPECT_EQ(0, plat::SleepCalls());
  OnActivate(nullptr, MAKEWPARAM(WA_ACTIVE, 0));
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(2, counts.ticks) << "40 ms had passed when time stopped: one tick, not a catch-up";
}

TEST_F(ShellTest, AClockBaseAheadOfNowSleepsAtMostOneTick) {
  Start("kelvarun");
  AddCounter();
  SetFrameClockBase(timeGetTime() + 5000);
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(33u, plat::SleptMilliseconds());
}

TEST_F(ShellTest, CommandLineSwitches) {
  // A fresh copy of the tests, whose shell has read no command line yet, has no start level.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(GetStartLevel() + 1), testing::ExitedWithCode(0), "");
  struct Case {
    const char* line;
    bool pvsWindowed;
  };
  // Only "pvs <n>" with "rays" starts windowed; -1 keeps the mode, a comment hides switches.
  for (const Case& c : {Case{"kelvarun pvs 5 rays", true}, Case{"kelvarun pvs 5", false},
                        Case{"kelvarun pvs=-1 rays", false}, Case{"kelvarun rays // pvs 3", false},
                        Case{"kelvarun pvs 1e10 rays", true}, Case{"kelvarun pvs -1e10 rays", true}}) {
    SCOPED_TRACE(c.line);
    fs::remove("settings.bin");  // every case starts with no saved choice (a windowed one is saved)
    Start(c.line);
    EXPECT_EQ(c.pvsWindowed, IsPvsWindowed());
    EXPECT_EQ(!c.pvsWindowed, GetSettings()->IsFullScreen());
    ShutdownApplication();
  }
  Start("kelvarun");
  EXPECT_FALSE(GetSettings()->IsFullScreen()) << "the last start's windowed choice is read back";
  struct Level {
    const char* line;
    int level;
  };
  for (const Level& c : {Level{"kelvarun -L3", 3}, Level{"\"/opt/my games/kelvarun\" -l19 -l2", 19},
                         Level{"kelvarun -l20", -1}, Level{"kelvarun -L3x level-L3 -l7", 7},
                         Level{"-l3", -1}, Level{"kelvarun\t-L0", 0}}) {
    ReadCommandLine(c.line);
    EXPECT_EQ(c.level, GetStartLevel()) << c.line;
  }
  ReadCommandLine("kelvarun safemode");
  EXPECT_TRUE(IsSafeMode());
  ReadCommandLine(nullptr);
  EXPECT_FALSE(IsSafeMode());
}

TEST_F(ShellTest, ALevelSwitchStartsWithNoLayerAndTheFirstFrameShutsDownOnce) {
  Start("/home/player/kelvarun -L3");
  ASSERT_NE(nullptr, GetGameWorld());
  // The world plays through the one sound manager, its device started.
  const CSoundManager* sound = CSoundManager::GetGlobal();
  ASSERT_NE(nullptr, sound);
  EXPECT_TRUE(sound->IsStarted());
  EXPECT_EQ(sound, GetGameWorld()->GetSoundManager());
  // Its loads look in its level folder.
  GetGameWorld()->SetLevelDirectory("data/levels/park2/");
  ASSERT_NE(nullptr, GetGameWorld()->GetResourceTable()->GetLoadContext());
  EXPECT_EQ("data/levels/park2/", GetGameWorld()->GetResourceTable()->GetLoadContext()->GetLevelFolder());
  // The game draws its own pointer: the system one is hidden until the shell shuts down.
  const auto cursorCount = [] {
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
  };
  EXPECT_EQ(-1, cursorCount());
  EXPECT_EQ(0, RunFrame());
  EXPECT_TRUE(GetGameWorld() == nullptr && GetRenderView() == nullptr && GetRasterizer() == nullptr) << "nothing left";
  EXPECT_EQ(0, RunFrame());
  ShutdownApplication();
  EXPECT_EQ(0, cursorCount());
  EXPECT_EQ(1, LogCount(kQuitLine));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(WM_QUIT, msg.message);
  CGameWorld other(nullptr, nullptr);  // one the shell did not start, so without the shell's sound manager
  ShutdownApplication();
  EXPECT_TRUE(GetGameWorld() == nullptr && LogCount(kQuitLine) == 2) << "ended all the same";
}

TEST_F(ShellTest, TheTitleHandsOnToTheMainMenuWhoseQuitEndsTheProgram) {
  Start("kelvarun");
  ASSERT_EQ(1u, GetGameWorld()->GetLayerCount());
  GetAsyncKeyState(VK_ESCAPE);  // forget any earlier press
  plat::SetKeyState(VK_ESCAPE, true);
  plat::SetKeyState(VK_ESCAPE, false);
  ASSERT_TRUE(Frames(2)) << "the menu keeps the program running";
  CGameWorld* world = GetGameWorld();
  ASSERT_NE(nullptr, world);
  ASSERT_EQ(1u, world->GetLayerCount()) << "the title went";
  auto* menu = dynamic_cast<CMainScreen*>(world->GetLayer(0));
  ASSERT_NE(nullptr, menu);
  ASSERT_TRUE(Frames(5));
  InputEvent quit;
  quit.code = InputEvent::kKey;
  quit.x = 'Q';
  menu->HandleInputEvent(quit);
  const int frames = FramesUntilTheEnd();
  EXPECT_LE(frames, 2);
  EXPECT_EQ(1, LogCount(kQuitLine));
}

// The same through the window: key and mouse messages pass the input hooks and the input
// manager's queue to the layers, as real input would.
TEST_F(ShellTest, AClickOnQuitInTheMenuEndsTheProgramThroughTheInputPath) {
  HWND window = OpenWindow("menu", 640, 480);
  ASSERT_NE(nullptr, window);
  Start("kelvarun", window);
  GetAsyncKeyState(VK_ESCAPE);
  ASSERT_TRUE(Press(window, VK_ESCAPE, 3));
  auto* menu = dynamic_cast<CMainScreen*>(GetGameWorld()->GetLayer(GetGameWorld()->GetLayerCount() - 1));
  ASSERT_NE(nullptr, menu);
  // A click beside the buttons does nothing; one on Quit ends the program.
  const LPARAM beside = MAKELPARAM(2, 2);
  plat::InjectMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, beside);
  plat::InjectMessage(window, WM_LBUTTONUP, 0, beside);
  ASSERT_TRUE(Frames(2));
  ASSERT_NE(nullptr, GetGameWorld());
  const RECT quit = menu->GetPanel().GetButtonRect(CMainScreen::kQuit);
  const LPARAM at = MAKELPARAM((quit.left + quit.right) / 2, (quit.top + quit.bottom) / 2);
  plat::InjectMessage(window, WM_MOUSEMOVE, 0, at);
  plat::InjectMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  plat::InjectMessage(window, WM_LBUTTONUP, 0, at);
  FramesUntilTheEnd();
  EXPECT_EQ(1, LogCount(kQuitLine)) << "the quit button ended the program";
}

// The whole front end on the generated demo data: title, menu, the new-game screen choosing the
// smallest starting money and a typed park name, the game renderer, the build palette buying a
// piece, the save screen writing the game under a typed name, the load screen listing and loading
// it, frames drawn throughout.
TEST_F(ShellTest, ANewGameFromTheMenuRunsOnTheDemoData) {
  {
    testing_support::DebugCapture quiet;
    ASSERT_TRUE(DemoContent::WriteAll("data") && DemoContent::WriteLevel("data") && DemoContent::WriteCatalogs("data") &&
                DemoContent::WriteUi("data"));
  }
  HWND window = OpenWindow("game", 640, 480);
  ASSERT_NE(nullptr, window);
  SetColourDepth(16);  // the depth a process starts with, before any renderer answers
  Start("kelvarun", window);
  EXPECT_EQ(15, GetGameWorld()->GetGlobalArt()->GetFontAlphabet(0)->GetImage()->depth) << "as the 5-5-5 frame";
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  ASSERT_NE(nullptr, park);
  auto top = [&]() { return park->GetLayer(park->GetLayerCount() - 1); };
  auto click = [&](size_t button) {
    const RECT r = dynamic_cast<CMenuLayer*>(top())->GetPanel().GetButtonRect(button);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    plat::InjectMessage(window, WM_MOUSEMOVE, 0, at);
    plat::InjectMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    plat::InjectMessage(window, WM_LBUTTONUP, 0, at);
    return Frames(2);
  };
  // Text as the keyboard types it: Backspace first as often as asked, capitals with Shift held.
  auto type = [&](int erase, const std::string& text) {
    for (int i = 0; i < erase; ++i)
      if (!Press(window, VK_BACK, 1)) return false;
    for (const char c : text) {
      const bool capital = c >= 'A' && c <= 'Z';
      if (capital) plat::InjectMessage(window, WM_KEYDOWN, VK_SHIFT, 0);
      PressKey(window, c == ' ' ? VK_SPACE : std::toupper(static_cast<unsigned char>(c)));
      if (capital) plat::InjectMessage(window, WM_KEYUP, VK_SHIFT, 0xC0000000);
      if (!Frames(1)) return false;
    }
    return true;
  };
  GetAsyncKeyState(VK_ESCAPE);
  ASSERT_TRUE(Press(window, VK_ESCAPE, 3));
  // N on the menu (the key reaches it through the front end's text keys) opens the new-game
  // screen: the demo data's one level, the medium challenge and a name to begin with.
  ASSERT_TRUE(Press(window, 'N', 3));
  auto* setup = dynamic_cast<CNewGameScreen*>(top());
  ASSERT_NE(nullptr, setup);
  EXPECT_EQ(0, setup->GetLevel());
  EXPECT_EQ(kStartingMoneyMedium, setup->GetStartingMoney());
  EXPECT_EQ(CNewGameScreen::kDefaultParkName, setup->GetField().GetText());
  ASSERT_TRUE(click(CNewGameScreen::kHard));
  ASSERT_TRUE(type(7, "Dune 7"));
  EXPECT_EQ("Dune 7", setup->GetField().GetText()) << "letters typed into the name, not taken for buttons";
  ASSERT_TRUE(Press(window, VK_RETURN, 3));
  EXPECT_EQ(kGameRasterizer, GetRasterizerState());
  ASSERT_NE(nullptr, park->GetGrid());
  ASSERT_EQ(2u, park->GetLayerCount()) << "the menu and the new-game screen went";
  auto* logic = dynamic_cast<CGameLogic*>(park->GetLayer(0));
  ASSERT_NE(nullptr, logic);
  EXPECT_EQ(logic, park->GetController());
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_NE(nullptr, palette);
  // The park record: the typed name, the level, the hard challenge's money, shown on the palette.
  EXPECT_STREQ("Dune 7", park->GetParkState().parkName);
  EXPECT_EQ(0, park->GetParkState().levelIndex);
  EXPECT_EQ(kStartingMoneyHard, park->GetParkState().money);
  EXPECT_EQ(std::vector<std::string>{"MONEY 5000"}, palette->GetPanel().GetLines());
  // The palette's keys: the first category, then its first item.
  for (int key : {'1', '1'}) ASSERT_TRUE(Press(window, key, 1));
  EXPECT_EQ(palette->GetLastPurchase(), logic->GetHeldObjectId()) << "the controller holds the bought piece";
  EXPECT_EQ(5000 - 800, park->GetParkState().money);
  EXPECT_TRUE(Frames(1));
  EXPECT_EQ(std::vector<std::string>{"MONEY 4200"}, palette->GetPanel().GetLines());
  // Escape (the cancel action) sells the held piece back; a second one opens the escape menu.
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(Press(window, VK_ESCAPE, 1));
  EXPECT_EQ(5000, park->GetParkState().money);
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  // Save under a typed name: the save screen offers the park's name, the letters of the new one do
  // not press the escape menu's buttons or drive the park, Enter saves.
  park->GetParkState().money = 4321;
  ASSERT_TRUE(Press(window, 'S'));
  auto* saving = dynamic_cast<CSaveGameScreen*>(top());
  ASSERT_NE(nullptr, saving);
  EXPECT_EQ("Dune 7", saving->GetField().GetText());
  ASSERT_TRUE(type(6, "Bay Run"));
  ASSERT_TRUE(Press(window, VK_RETURN));
  EXPECT_EQ("GAME SAVED", saving->GetPanel().GetLines().back());
  EXPECT_TRUE(fs::is_regular_file("saved_games/Bay Run.sav"));
  EXPECT_EQ(std::vector<std::string>{"Bay Run"}, saving->GetGames());
  // Escape leaves the save screen for the escape menu, whose Quit to menu ends the game.
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_EQ(1u, park->GetLayerCount());
  auto* menu = dynamic_cast<CMainScreen*>(park->GetLayer(0));
  ASSERT_NE(nullptr, menu);
  EXPECT_EQ(nullptr, park->GetController());
  EXPECT_EQ(kMenuRasterizer, GetRasterizerState());
  // Load from the menu: the load screen lists the game by its name, and a click on it brings the
  // saved park back under a new controller; its 4321 is read after the hooks.
  ASSERT_TRUE(Press(window, 'L'));
  auto* loading = dynamic_cast<CLoadGameScreen*>(top());
  ASSERT_NE(nullptr, loading);
  ASSERT_EQ(std::vector<std::string>{"Bay Run"}, loading->GetGames());
  ASSERT_EQ(0, loading->ButtonOf("Bay Run"));
  log.clear();
  ASSERT_TRUE(click(0));
  EXPECT_STREQ("Dune 7", park->GetParkState().parkName) << "the park's own name, from the file";
  EXPECT_EQ(4321, park->GetParkState().money);
  ASSERT_EQ(2u, park->GetLayerCount());
  EXPECT_NE(nullptr, park->GetController());
  ASSERT_TRUE(Frames(1));
  EXPECT_EQ(std::vector<std::string>{"MONEY 4321"}, dynamic_cast<CBuildPalette*>(top())->GetPanel().GetLines());
  for (const std::string& line : log) EXPECT_EQ(std::string::npos, line.find("LoadGame:")) << line;

  // The interface's hooks reach the new controller: a skater taken in hand and let go, the view
  // from a piece left, a piece bought into the hand and sold back at its price.
  CGameLogic* current = park->GetController();
  const GameHooks& hooks = GetGameHooks();
  const uint32_t skater = park->SpawnSkater();
  ASSERT_NE(0u, skater);
  hooks.takeSkaterControl(*park, skater);
  EXPECT_EQ(skater, current->GetSelectedSkaterId());
  EXPECT_TRUE(current->IsControllingSkater());
  hooks.leavePerspective(*park);
  EXPECT_FALSE(current->IsControllingSkater());
  const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 0};
  current->SetPerspectiveView(true, frame);
  ASSERT_TRUE(current->IsPerspectiveView());
  hooks.leavePerspective(*park);
  EXPECT_FALSE(current->IsPerspectiveView());
  const ObjectDefinition* kind = nullptr;
  for (int i = 0; kind == nullptr && i < CObjectCatalog::kTableSize; ++i) kind = GetObjectCatalog().GetDefinition(i);
  ASSERT_NE(nullptr, kind);
  const uint32_t piece = hooks.buyPiece(*park, *kind, -1);
  EXPECT_EQ(piece, current->GetHeldObjectId());
  EXPECT_EQ(piece, hooks.heldPiece(*park)) << "the interface sees the controller's hand";
  EXPECT_EQ(4321 - kind->cost, park->GetParkState().money);
  hooks.sellPiece(*park, piece);
  EXPECT_EQ(CGameLogic::kNone, current->GetHeldObjectId());
  EXPECT_EQ(0u, hooks.heldPiece(*park));
  EXPECT_EQ(4321, park->GetParkState().money);
  // A skater pop-up's own close lets go of the skater.
  current->SetSelectedSkater(skater);
  hooks.releaseSelection(*park, skater);
  EXPECT_EQ(CGameLogic::kNone, current->GetSelectedSkaterId());
}

TEST_F(ShellTest, UnknownRendererChoicesFallBackToSoftwareAndSwitchesRoundTrip) {
  Start("kelvarun");
  for (uint32_t option : {7u, 0u, 1u}) {
    SCOPED_TRACE(option);
    GetSettings()->renderer = option;
    GetSettings()->displayWidth = 800;
    GetSettings()->displayHeight = 600;
    SwitchToGameRasterizer();
    CRasterizerInterface* game = GetRasterizer();
    ASSERT_NE(nullptr, game);
    // Option 0 asks for the hardware back end, which cannot start without a window: it says so
    // and the software one takes over.
    EXPECT_EQ(kRasterizerSoftware, game->GetUserValue());
    if (option == 0)
      EXPECT_EQ(1, LogCount("Application: The hardware renderer did not start; using the software renderer\n"));
    EXPECT_EQ(800u, game->GetBackBufferDesc()->width);
    EXPECT_FLOAT_EQ(0.5f, GetRenderView()->GetScaleFactor()) << "the game view is drawn at half scale";
    game->Clear(false, true, 0xFFFFFFFF);  // the new back end draws
    game->PresentFrame();
    SwitchToMenuRasterizer();
    EXPECT_EQ(640u, GetRasterizer()->GetBackBufferDesc()->width);
    EXPECT_FLOAT_EQ(1.0f, GetRenderView()->GetScaleFactor()) << "the menu is back at full scale";
    EXPECT_EQ(GetRasterizer(), GetRenderView()->GetRasterizer());
    EXPECT_EQ(31u, GetRenderView()->GetFlags()) << "perspective correction, fog and filtering; no sorting, LOD on";
  }
  // On a window the menu frame fills its client area, or the whole screen at 640 x 480.
  ShutdownApplication();
  DrainMessages();
  HWND window = OpenWindow("menu", 320, 240);
  ASSERT_NE(nullptr, window);
  Start("kelvarun", window);
  EXPECT_EQ(static_cast<LONG>(WS_POPUP), SetWindowLongA(window, GWL_STYLE, 0)) << "a full-screen start drops the frame";
  for (bool fullScreen : {true, false}) {
    GetSettings()->renderer = 1;
    GetSettings()->SetFullScreen(fullScreen);
    SwitchToGameRasterizer();
    SwitchToMenuRasterizer();
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_LT(client.right, 640);
    const uint32_t width = fullScreen ? 640u : static_cast<uint32_t>(client.right - client.left);
    EXPECT_EQ(width, GetRasterizer()->GetBackBufferDesc()->width) << fullScreen;
  }
  // The settings screen's full-screen switch: the menu's renderer is made again at once with the
  // window in the mode asked for; during a game nothing changes until the next game.
  for (bool fullScreen : {true, false}) {
    GetSettings()->SetFullScreen(fullScreen);
    // Made again for the mode, through the hook the settings screen calls: its frame's width
    // follows (the old renderer's address may be reused, so the two are not compared).
    ASSERT_NE(GetGameHooks().renewMenuRenderer, nullptr);
    GetGameHooks().renewMenuRenderer();
    EXPECT_EQ(kMenuRasterizer, GetRasterizerState());
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(fullScreen ? 640u : static_cast<uint32_t>(client.right), GetRasterizer()->GetBackBufferDesc()->width);
    const DWORD style = fullScreen ? WS_POPUP : kMainWindowStyle;
    EXPECT_EQ(static_cast<LONG>(style), SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style))) << fullScreen;
  }
  SwitchToGameRasterizer();
  const CRasterizerInterface* game = GetRasterizer();
  GetSettings()->SetFullScreen(true);
  RenewMenuRasterizer();
  EXPECT_EQ(game, GetRasterizer());
  EXPECT_EQ(kGameRasterizer, GetRasterizerState());
}

// A stored size the renderer cannot show, or one the settings' range check resets, falls back to
// 640 x 480 at start-up, in the file too, and a notice over the main menu says so; the frame
// under the notice shows the pointer once, where it is. A game whose hardware renderer does not
// start runs the software one, which the settings then name, at a size it can show, and says so
// again.
TEST_F(ShellTest, ASizeThatCannotBeShownFallsBackTo640x480AndANoticeSaysSo) {
  struct MachineReset {
    ~MachineReset() { ResetDisplayMachine(); }
  } machineReset;
  ASSERT_TRUE(DemoContent::WriteUi("data"));  // the pointer's art: the frames under the notice carry it
  const auto topLines = [] {
    const CGameWorld* world = GetGameWorld();
    const auto* top = dynamic_cast<const CMenuLayer*>(world->GetLayer(world->GetLayerCount() - 1));
    return top != nullptr && std::string(top->GetInfoString()) == "NoticeScreen" ? top->GetPanel().GetLines()
                                                                                 : std::vector<std::string>();
  };
  struct Case {
    uint32_t width, height;
    int rendererLines;  // the line of a size the renderer cannot show; the others were reset as read
  };
  // Larger than the desktop (1024 x 768), then sizes the settings' own range check resets.
  for (const Case& c : {Case{1280, 1024, 1}, Case{0, 0, 0}, Case{16385, 1, 0}, Case{640, 4294967295u, 0}}) {
    const std::string notice = std::to_string(c.width) + " X " + std::to_string(c.height) +
                               " CANNOT BE SET, 640 X 480 IS USED";
    SCOPED_TRACE(notice);
    ShutdownApplication();  // the last case's program
    DrainMessages();
    CSkateSettings stored;
    stored.renderer = 2;  // any option but 0 runs the software renderer
    stored.displayWidth = c.width;
    stored.displayHeight = c.height;
    ASSERT_TRUE(stored.Save());
    log.clear();
    Start("kelvarun");
    CSkateSettings read;
    ASSERT_TRUE(read.LoadDefault());
    EXPECT_TRUE(read.renderer == 1 && read.displayWidth == 640 && read.displayHeight == 480);
    EXPECT_EQ(c.rendererLines, LogCount("Display: renderer option 1 cannot show " + std::to_string(c.width) + "x" +
                                        std::to_string(c.height) + " full screen; 640x480 is used\n"));
    plat::SetCursorScreenPos(300, 20);
    GetAsyncKeyState(VK_ESCAPE);
    plat::SetKeyState(VK_ESCAPE, true);
    plat::SetKeyState(VK_ESCAPE, false);
    ASSERT_TRUE(Frames(2));
    ASSERT_EQ(2u, GetGameWorld()->GetLayerCount());
    EXPECT_NE(nullptr, dynamic_cast<CMainScreen*>(GetGameWorld()->GetLayer(0)));
    EXPECT_EQ(topLines(), std::vector<std::string>{notice});
    // The pointer stood above the notice on the title, then moves around it: only where it is
    // now shows in the frame.
    for (const POINT at : {POINT{20, 420}, POINT{600, 440}, POINT{100, 400}}) {
      plat::SetCursorScreenPos(at.x, at.y);
      ASSERT_TRUE(Frames(1));
    }
    // The inside of the demo arrow (12 x 18) is the frame's only white: 49 pixels, all at the pointer.
    const PixelBufferDesc& frame = *GetRasterizer()->GetBackBufferDesc();
    int atPointer = 0, elsewhere = 0;
    for (int y = 0; y < static_cast<int>(frame.height); ++y)
      for (int x = 0; x < static_cast<int>(frame.width); ++x)
        if (static_cast<const uint16_t*>(frame.pixels)[y * frame.pitch / 2 + x] == 0x7FFF)
          ++(x >= 100 && x < 112 && y >= 400 && y < 418 ? atPointer : elsewhere);
    EXPECT_TRUE(atPointer == 49 && elsewhere == 0) << atPointer << " at the pointer, " << elsewhere << " elsewhere";
  }

  GetDisplayMachine().desktopWidth = 800;
  GetDisplayMachine().desktopHeight = 600;
  GetSettings()->renderer = 0;  // cannot start without a window
  GetSettings()->displayWidth = 1024;
  GetSettings()->displayHeight = 768;
  SwitchToGameRasterizer();
  EXPECT_EQ(1u, GetSettings()->renderer);
  EXPECT_EQ(640u, GetRasterizer()->GetBackBufferDesc()->width);
  EXPECT_EQ(3u, GetGameWorld()->GetLayerCount());
  EXPECT_EQ(topLines(), std::vector<std::string>{"1024 X 768 CANNOT BE SET, 640 X 480 IS USED"});
}

TEST_F(ShellTest, MouseMessagesReachTheWorldAndClicksLastOneTick) {
  OnMouseMessage(nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 2));  // no world: nothing to do
  Start("kelvarun");
  CGameWorld* world = GetGameWorld();
  EXPECT_EQ(0, MainWndProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20)));
  EXPECT_TRUE(world->leftDown == 1 && world->lastButtonX == 10 && world->lastButtonY == 20);
  OnMouseMessage(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(-5, 7));
  EXPECT_TRUE(world->leftDown == 0 && world->lastButtonY == 7);
  EXPECT_EQ(-5, world->lastButtonX);  // signed coordinates
  OnMouseMessage(nullptr, WM_RBUTTONDOWN, 0, MAKELPARAM(1, 1));
  EXPECT_EQ(1, world->rightDown);
  OnMouseMessage(nullptr, WM_RBUTTONUP, 0, MAKELPARAM(1, 1));
  OnMouseMessage(nullptr, WM_MBUTTONUP, 0, MAKELPARAM(3, 4));  // only where it was
  OnMouseMessage(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  OnMouseMessage(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_TRUE(world->leftClick == 1 && world->rightClick == 1 && world->rightDown == 0);
  EXPECT_TRUE(world->wheelUp == 1 && world->wheelDown == 1 && world->lastButtonX == 3 && world->lastButtonY == 4);
  plat::SetCursorScreenPos(30, 40);  // no window: the screen's coordinates are the world's
  ASSERT_TRUE(Frames(1));
  EXPECT_TRUE(world->leftClick == 0 && world->rightClick == 0);
  EXPECT_TRUE(world->cursorX == 30 && world->cursorY == 40);
  EXPECT_EQ(1, world->wheelUp) << "wheel bytes wait for their reader";
  // A key is noted with the time it came.
  plat::AdvanceClock(5);
  EXPECT_EQ(0, MainWndProc(nullptr, WM_KEYDOWN, 'A', 0));
  EXPECT_EQ(uint32_t('A'), GetLastKey());
  EXPECT_EQ(timeGetTime(), GetLastKeyTime());
}

TEST_F(ShellTest, TheDebugPauseKeepsTheWindowServedSoItCanStillBeClosed) {
  HWND window = OpenWindow("pause", 64, 48);
  ASSERT_NE(nullptr, window);
  // A window whose message presses Pause again: the pause ends one 10 ms wait after it.
  WNDCLASSA pauserClass = {};
  pauserClass.lpfnWndProc = [](HWND w, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message != WM_COMMAND) return DefWindowProcA(w, message, wParam, lParam);
    plat::SetKeyState(VK_PAUSE, true);
    plat::SetKeyState(VK_PAUSE, false);
    return 0;
  };
  pauserClass.lpszClassName = "KelvarunPauser";
  RegisterClassA(&pauserClass);
  HWND pauser = CreateWindowA("KelvarunPauser", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, pauser);
  Start("kelvarun", window);
  SetDebugMode(true);
  // While a frame is drawn, Pause goes down and up; the first time a message ends the pause, the
  // second time the player closes the window.
  struct PauseAndClose : CGameActionLayer {
    PauseAndClose(HWND w, HWND p) : window(w), pauser(p) {}
    void Draw(CRenderView*, PixelBufferDesc**) override {
      ++draws;
      plat::SetKeyState(VK_PAUSE, true);
      plat::SetKeyState(VK_PAUSE, false);
      plat::InjectMessage(draws == 1 ? pauser : window, draws == 1 ? WM_COMMAND : WM_CLOSE, 0, 0);
    }
    HWND window, pauser;
    int draws = 0;
  };
  GetGameWorld()->AddLayerOnTop(std::make_unique<PauseAndClose>(window, pauser));
  const DWORD base = GetFrameClockBase();
  plat::AdvanceClock(33);
  plat::ResetSleepLog();
  EXPECT_EQ(1, RunFrame());
  EXPECT_EQ(1, plat::SleepCalls());
  EXPECT_EQ(10u, plat::SleptMilliseconds());
  EXPECT_EQ(base + 33 + 10, GetFrameClockBase()) << "the paused time is not caught up";
  plat::AdvanceClock(33);
  EXPECT_EQ(0, RunFrame()) << "the close arrived during the pause and ended the program";
  EXPECT_EQ(nullptr, GetGameWorld());
  EXPECT_EQ(nullptr, GetMainWindow());
  SetDebugMode(false);
  DestroyWindow(pauser);
}

// Its address stands for the program's module. The window class lives as long as the process, so
// every start in it is of the same module, whichever test starts first.
namespace {
int g_programModule = 0;
}  // namespace

TEST_F(ShellTest, WinMainWorksFromTheProgramFolderWhateverTheArgumentsSay) {
  plat::srand(12345);
  // With a second card in the machine, the start asks once which card to use.
  GetDisplayMachine().drivers.push_back(GetDisplayMachine().drivers[0]);
  GetDisplayMachine().drivers[1].guid.Data1 = 7;
  GetDisplayMachine().drivers[1].primary = false;
  int asked = 0;
  SetDriverDialogChooser([&asked](const std::vector<std::string>&) { return ++asked; });
  EXPECT_EQ(0, WinMain(&g_programModule, nullptr, "kelvarun /somewhere/else\\entirely -L3", SW_SHOWNORMAL));
  EXPECT_EQ(1, asked);
  EXPECT_EQ(7u, PickedDriverGuid().Data1);
  ResetDisplayMachine();
  PickedDriverGuid() = GUID{};
  SetDriverDialogChooser([](const std::vector<std::string>&) { return 0; });
  // Start-up seeds the generator with 0; a run that ends at its first frame draws nothing from it.
  const int drawn = plat::rand();
  plat::srand(0);
  EXPECT_EQ(plat::rand(), drawn);
  const std::string folder = plat::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(fs::canonical(folder), fs::canonical(fs::current_path()));
  EXPECT_EQ(nullptr, FindWindowA("Kelvarun", nullptr)) << "the window goes with the program";
  // The class outlives the window: it shows the arrow cursor over the window colour.
  WNDCLASSA windowClass{};
  ASSERT_TRUE(GetClassInfoA(&g_programModule, "kelvarun", &windowClass));
  EXPECT_EQ(&g_programModule, windowClass.hInstance);
  EXPECT_EQ(IDC_ARROW, windowClass.hCursor);
  EXPECT_EQ(COLOR_WINDOW + 1, windowClass.hbrBackground);
  EXPECT_EQ(CS_HREDRAW | CS_VREDRAW, windowClass.style);
  EXPECT_EQ(101, windowClass.hIcon);
  EXPECT_EQ(0, LoadCursorA(nullptr, IDC_ARROW + 1)) << "no other system cursor exists";
}

TEST_F(ShellTest, ClosingTheWindowShutsDownOnceAndASecondCopyHandsOver) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "no program at " << ProgramPath();
  const fs::path output = RuntimeFolder::dir / "second_copy.txt";
  int secondCopyStatus = -1, restoresSeen = -1, framesAfterClose = 0;
  const int restoresBefore = plat::RestoreRequestsReceived();
  bool added = false;
  onLog = [&](const char* text) {
    if (added || std::string(text) != "Adding Layer\n") return;
    added = true;
    RECT area = {};
    EXPECT_TRUE(GetClientRect(GetMainWindow(), &area) && area.right == 640 && area.bottom == 480) << "inside the frame";
    auto* driver = new CountingLayer(&counts);
    driver->onTick = [&]() {
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
    GetGameWorld()->AddLayerOnTop(std::unique_ptr<CGameActionLayer>(driver));
  };
  EXPECT_EQ(0, WinMain(&g_programModule, nullptr, "kelvarun pvs 5 rays", SW_SHOWNORMAL));  // windowed, so framed
  EXPECT_EQ(0, secondCopyStatus) << ReadBytes(output);
  EXPECT_GE(restoresSeen, 1);
  EXPECT_EQ(0, framesAfterClose) << "no tick runs once the window is closed";
  EXPECT_EQ(1, LogCount(kQuitLine));
  EXPECT_EQ(nullptr, FindWindowA("Kelvarun", nullptr));
  EXPECT_EQ(std::string::npos, ReadBytes(output).find(kQuitLine)) << "the second copy never started up";
  EXPECT_NE(std::string::npos,
            ReadBytes(output).find(
                "Application: Kelvarun is already running; its window is brought back and this copy stops\n"))
      << "it says why it stops";
}

TEST(WholeProgram, RunsHeadlessAndEndsCleanlyAtTheFirstFrameOfALevelSwitch) {
  if (!fs::exists(ProgramPath())) GTEST_SKIP() << "no program at " << ProgramPath();
  const fs::path output = RuntimeFolder::dir / "level_switch.txt";
  EXPECT_EQ(0, RunProgram("-L3", output));  // the program's path is not taken for an argument
  const std::string text = ReadBytes(output);
  EXPECT_NE(std::string::npos, text.find(kQuitLine)) << text;
  EXPECT_EQ(std::string::npos, text.find("Adding Layer")) << text;
  // The program registers the world's services itself: its world asks for the pointer's art
  // (missing here, as there is no data).
  EXPECT_NE(std::string::npos, text.find("'data/ui/global/mousecursor.bin'")) << text;
}

namespace {

// The whole demo data set as make_demo_data writes it, below folder "data".
bool WriteDemoData() {
  testing_support::DebugCapture quiet;
  const std::string data = "data";
  return DemoContent::WriteAll(data) && DemoContent::WriteLevel(data) && DemoContent::WriteImages(data) &&
         DemoContent::WriteSounds(data) && DemoContent::WriteCatalogs(data) && DemoContent::WriteBoarder(data) &&
         DemoContent::WriteUi(data) && DemoContent::WriteLevelTextures(data) &&
         DemoContent::WriteInstantActionPark(data);
}

// A frame the software back end presented, written to a BMP and read back.
struct Shot {
  std::unique_ptr<CBitmapImage> image;
  Matrix4 view;  // the render view's camera when it was drawn
  uint32_t At(int x, int y) const { return static_cast<uint32_t>(image->GetPixel(x, y)); }
};

Shot TakeShot(const std::string& path) {
  Shot shot;
  GetRasterizer()->SaveScreenShot(path.c_str());
  const std::string bytes = ReadBytes(path);
  shot.image = std::make_unique<CBitmapImage>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  shot.view = GetRenderView()->GetViewMatrix();
  return shot;
}

// A world point through the render view's own camera and projection, in whole pixels; false
// behind the camera or off the frame.
bool ProjectToPixel(const Vector3& world, int& x, int& y) {
  const CRenderView* view = GetRenderView();
  Vector4 eye;
  TransformPoint4(eye, view->GetViewMatrix(), world);
  const ProjectedPoint p = view->ProjectPoint(Vector3(eye.x, eye.y, eye.z));
  if (p.rhw == CRenderView::kBehindNearPlane) return false;
  x = static_cast<int>(p.x);
  y = static_cast<int>(p.y);
  return x >= 2 && y >= 2 && x < static_cast<int>(view->GetViewportWidth()) - 2 &&
         y < static_cast<int>(view->GetViewportHeight()) - 2;
}

// Whether any pixel of the 5 x 5 window around (x, y) differs between the two frames.
bool WindowDiffers(const Shot& a, const Shot& b, int x, int y) {
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      if (a.At(x + dx, y + dy) != b.At(x + dx, y + dy)) return true;
  return false;
}

bool Inside(const RECT& r, int x, int y, int margin) {
  return x >= r.left - margin && x < r.right + margin && y >= r.top - margin && y < r.bottom + margin;
}

struct PlacedPieces {
  std::vector<const CSkatableSection*> all;
  size_t facilities = 0;
};
PlacedPieces PiecesOf(const CVerezIvor& park) {
  PlacedPieces out;
  for (uint32_t id = 1; id < park.GetNextObjectID(); ++id) {
    const auto* piece = dynamic_cast<const CSkatableSection*>(park.GetObjectByID(id));
    if (piece == nullptr || piece->IsTerrain() || piece->IsMarkedForRemoval()) continue;
    out.all.push_back(piece);
    if (dynamic_cast<const CSkatableFacility*>(piece) != nullptr) ++out.facilities;
  }
  return out;
}

}  // namespace

// A whole session through the window's key path on the software back end: title, menu, instant
// action on the generated park, skaters arriving, a piece bought, placed, picked up and sold, the
// game saved, left for the menu, loaded and quit. The park's frames are checked against the render
// view's own projection: terrain, pieces and a skater fill the pixels where their bounds fall.
TEST_F(ShellTest, InstantActionPlaysSavesLoadsAndQuitsThroughTheWindow) {
  ASSERT_TRUE(WriteDemoData());
  testing_support::TempFolder shots;
  HWND window = OpenWindow("game", 640, 480);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOWNORMAL);  // shown, the window is the active one, as the program's is
  Start("kelvarun", window);
  // A park this good draws sponsorship offers, whose notices take the keys until they are
  // answered; the player declines them here.
  auto declineOffers = [&]() {
    CGameWorld* world = GetGameWorld();
    for (int i = 0; i < 8 && world->GetLayerCount() > 0; ++i) {
      const std::string top = world->GetLayer(world->GetLayerCount() - 1)->GetInfoString();
      if (top != "SponsorshipNotice") return true;
      if (!Press(window, 'D', 1)) return false;
    }
    return true;
  };
  auto pointAt = [&](int x, int y) {
    plat::SetCursorScreenPos(x, y);
    plat::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  };
  GetAsyncKeyState(VK_ESCAPE);
  ASSERT_TRUE(Press(window, VK_ESCAPE, 3)) << "the title hands on to the menu";
  // Away from the frame's edges, where the park camera would pan.
  const POINT rest = {320, 90};
  pointAt(rest.x, rest.y);
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  ASSERT_NE(nullptr, park);
  ASSERT_NE(nullptr, dynamic_cast<CMainScreen*>(park->GetLayer(park->GetLayerCount() - 1)));

  // A new game first: the same level and camera with nothing built, the frame without pieces.
  constexpr int kSettle = 20;
  ASSERT_TRUE(Press(window, 'N', 2));
  ASSERT_TRUE(Press(window, VK_RETURN, kSettle)) << "the new-game screen's choices as they come";
  ASSERT_EQ(nullptr, park->GetLayer(2)) << "controller and palette only";
  // Looking where instant action's park will stand, as its saved controller does.
  auto* newGame = dynamic_cast<CGameLogic*>(park->GetLayer(0));
  ASSERT_NE(nullptr, newGame);
  newGame->SetFocus(DemoContent::InstantParkFocus(*park->GetGrid()));
  ASSERT_TRUE(Frames(kSettle));
  const Shot empty = TakeShot(shots.Path() + "empty.bmp");
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_NE(nullptr, dynamic_cast<CMainScreen*>(park->GetLayer(0)));

  // Instant action: the generated park, with the most money.
  log.clear();
  ASSERT_TRUE(Press(window, 'I', kSettle));
  ASSERT_TRUE(declineOffers());
  ASSERT_EQ(2u, park->GetLayerCount()) << "no notice: the park loaded";
  auto* logic = dynamic_cast<CGameLogic*>(park->GetLayer(0));
  ASSERT_NE(nullptr, logic);
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_NE(nullptr, palette);
  PlacedPieces pieces = PiecesOf(*park);
  ASSERT_EQ(19u, pieces.all.size());
  EXPECT_NEAR(kStartingMoneyEasy, park->GetParkState().money, 10) << "less the pieces' running costs";
  ASSERT_TRUE(GetSkaterList().empty()) << "nobody has arrived yet";
  const Shot built = TakeShot(shots.Path() + "built.bmp");

  // The park runs: the first skater arrives within the arrival interval.
  int waited = 0;
  while (GetSkaterList().empty() && waited < 200) {
    ASSERT_TRUE(Frames(1, 6 * 33));
    ++waited;
  }
  ASSERT_FALSE(GetSkaterList().empty()) << "no skater arrived";
  ASSERT_TRUE(declineOffers() && Frames(3));
  const CSkater* skater = GetSkaterList().front();
  const CGrid* grid = park->GetGrid();
  const Box skaterBox = skater->GetBounds();
  const Vector3 skaterCentre = (skaterBox.min + skaterBox.max) * 0.5f;
  EXPECT_GE(skaterCentre.x, grid->GetOrigin().x);
  EXPECT_LE(skaterCentre.x, grid->GetOrigin().x + 64.0f);
  EXPECT_GE(skaterCentre.y, grid->GetOrigin().y);
  EXPECT_LE(skaterCentre.y, grid->GetOrigin().y + 64.0f);
  const Shot last = TakeShot(shots.Path() + "park.bmp");
  ASSERT_TRUE(last.image->flags & CImage::kValid);
  EXPECT_EQ(640, last.image->width);
  EXPECT_EQ(480, last.image->height);

  // The three frames share one camera, so their pixels compare.
  for (const Shot* shot : {&empty, &built})
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) ASSERT_NEAR(last.view.m[r][c], shot->view.m[r][c], 1e-4f) << r << "," << c;
  const RECT paletteRect = palette->GetPanel().GetPanelRect();
  const int textLine = park->GetFontSet()->alphabet14->GetHeight() + 4;  // the park's font, not the built-in one
  EXPECT_EQ(palette->GetPanel().GetButtonRect(0).top - paletteRect.top, 12 + 2 * textLine + 6) << "a 12-pixel margin, title and money lines, a 6-pixel gap";
  auto hidden = [&](int x, int y) { return Inside(paletteRect, x, y, 3) || (std::abs(x - rest.x) < 24 && std::abs(y - rest.y) < 24); };
  // Terrain: the ground at every eighth square is drawn (the screens clear to black).
  int ground = 0;
  for (int row = 4; row < 64; row += 8)
    for (int column = 4; column < 64; column += 8) {
      int x = 0, y = 0;
      const CGridSquare* square = grid->GetSquare(column, row);
      if (!ProjectToPixel(square->centre, x, y) || hidden(x, y)) continue;
      ++ground;
      EXPECT_NE(0u, last.At(x, y)) << column << "," << row << " at " << x << "," << y;
    }
  EXPECT_GE(ground, 30);
  // Pieces: where each one's bounds centre falls, the frame differs from the empty park's.
  int seen = 0;
  for (const CSkatableSection* piece : pieces.all) {
    const Box box = piece->GetBounds();
    int x = 0, y = 0;
    if (!ProjectToPixel((box.min + box.max) * 0.5f, x, y) || hidden(x, y)) continue;
    ++seen;
    EXPECT_TRUE(WindowDiffers(built, empty, x, y)) << piece->GetName() << " at " << x << "," << y;
  }
  EXPECT_GE(seen, 12);
  // The skater: its pixels differ from the frame before anyone arrived.
  int sx = 0, sy = 0;
  ASSERT_TRUE(ProjectToPixel(skaterCentre, sx, sy));
  ASSERT_FALSE(hidden(sx, sy)) << sx << "," << sy;
  EXPECT_TRUE(WindowDiffers(last, built, sx, sy)) << sx << "," << sy;

  // Buy a launch ramp from the palette, put it down on open ground, pick it up and sell it.
  ASSERT_TRUE(declineOffers());
  const int32_t beforeBuying = park->GetParkState().money;
  ASSERT_TRUE(Press(window, '1', 1) && Press(window, '1', 1));
  const uint32_t bought = logic->GetHeldObjectId();
  ASSERT_NE(CGameLogic::kNone, bought);
  EXPECT_NEAR(beforeBuying - 800, park->GetParkState().money, 2) << "the ramp's price, less a tick's running costs";
  int px = 0, py = 0;
  ASSERT_TRUE(ProjectToPixel(grid->GetOrigin() + Vector3(48.5f, 29.5f, 0.0f), px, py));
  pointAt(px, py);
  ASSERT_TRUE(Frames(3));
  ASSERT_TRUE(Press(window, VK_RETURN, 1));
  EXPECT_EQ(CGameLogic::kNone, logic->GetHeldObjectId()) << "placed";
  auto* ramp = dynamic_cast<CSkatableSection*>(park->GetObjectByID(bought));
  ASSERT_NE(nullptr, ramp);
  EXPECT_FALSE(ramp->IsHeld());
  EXPECT_EQ(20u, PiecesOf(*park).all.size());
  ASSERT_TRUE(Press(window, VK_RETURN, 1));
  ASSERT_EQ(bought, logic->GetHeldObjectId()) << "picked up again";
  const ObjectDefinition* rampKind = ramp->GetDefinition();
  const int32_t before = park->GetParkState().money;
  ASSERT_TRUE(Press(window, VK_DELETE, 2));
  EXPECT_EQ(CGameLogic::kNone, logic->GetHeldObjectId());
  EXPECT_EQ(nullptr, park->GetObjectByID(bought)) << "sold";
  EXPECT_GT(park->GetParkState().money, before);
  // Bought for a sponsor, a piece keeps the sponsor's slot, 0 to 3; any other slot buys an
  // ordinary piece.
  for (int slot : {-1, 0, 3, 4}) {
    const uint32_t id = BuyPieceForPlayer(*park, *rampKind, slot);
    auto* piece = dynamic_cast<CSkatableSection*>(park->GetObjectByID(id));
    ASSERT_NE(nullptr, piece) << slot;
    EXPECT_EQ(slot == 0 || slot == 3 ? slot : -1, piece->GetSponsorshipIndex()) << slot;
    logic->SellObject(id);
    EXPECT_EQ(CGameLogic::kNone, logic->GetHeldObjectId()) << slot;
  }
  pointAt(rest.x, rest.y);
  ASSERT_TRUE(Frames(2));

  // Save, quit to the menu, load it back, then quit the program.
  ASSERT_TRUE(declineOffers());
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  const int32_t savedMoney = park->GetParkState().money;
  const size_t savedSkaters = GetSkaterList().size();
  // Saved under the park's name as the save screen offers it; loaded from the list of the menu's
  // load screen.
  ASSERT_TRUE(Press(window, 'S'));
  ASSERT_TRUE(Press(window, VK_RETURN));
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_EQ(1u, park->GetLayerCount());
  EXPECT_EQ(0u, PiecesOf(*park).all.size());
  ASSERT_TRUE(Press(window, 'L'));
  auto* list = dynamic_cast<CLoadGameScreen*>(park->GetLayer(park->GetLayerCount() - 1));
  ASSERT_NE(nullptr, list);
  ASSERT_EQ(std::vector<std::string>{"Instant Action"}, list->GetGames());
  const RECT first = list->GetPanel().GetButtonRect(0);
  pointAt((first.left + first.right) / 2, (first.top + first.bottom) / 2);
  plat::InjectMessage(window, WM_LBUTTONDOWN, MK_LBUTTON,
                      MAKELPARAM((first.left + first.right) / 2, (first.top + first.bottom) / 2));
  plat::InjectMessage(window, WM_LBUTTONUP, 0,
                      MAKELPARAM((first.left + first.right) / 2, (first.top + first.bottom) / 2));
  ASSERT_TRUE(Frames(2));
  pointAt(rest.x, rest.y);
  ASSERT_TRUE(declineOffers());
  ASSERT_EQ(2u, park->GetLayerCount());
  pieces = PiecesOf(*park);
  EXPECT_EQ(19u, pieces.all.size());
  EXPECT_EQ(6u, pieces.facilities);
  EXPECT_EQ(savedMoney, park->GetParkState().money);
  EXPECT_EQ(savedSkaters, GetSkaterList().size());
  ASSERT_TRUE(declineOffers());
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_NE(nullptr, dynamic_cast<CMainScreen*>(park->GetLayer(0)));

  // The settings from the menu: the effect level stepped to 0.4 is heard at once, and leaving
  // saves it for the next start.
  ASSERT_TRUE(Press(window, 'S'));
  ASSERT_NE(nullptr, dynamic_cast<CSettingsScreen*>(park->GetLayer(park->GetLayerCount() - 1)));
  const auto* sound = dynamic_cast<const CSoundManager*>(park->GetSoundManager());
  ASSERT_NE(nullptr, sound);
  for (int i = 0; i < 6 && GetSettings()->levelA != 0.4f; ++i) ASSERT_TRUE(Press(window, 'E'));
  ASSERT_EQ(0.4f, GetSettings()->levelA);
  EXPECT_EQ(-1800, sound->GetEffectAttenuation()) << "the effects' attenuation changed with the press";
  ASSERT_TRUE(Press(window, VK_RETURN));
  ASSERT_EQ(1u, park->GetLayerCount()) << "back to the menu";
  PressKey(window, 'Q');
  FramesUntilTheEnd();
  EXPECT_EQ(1, LogCount(kQuitLine));
  for (const std::string& line : log) EXPECT_EQ(std::string::npos, line.find("LoadGame:")) << line;

  Start("kelvarun", window);
  const std::string file = ReadBytes("settings.bin");
  ASSERT_EQ(1560u, file.size());
  float stored = 0.0f;
  std::memcpy(&stored, file.data() + 56, sizeof(stored));
  EXPECT_EQ(0.4f, stored);
  EXPECT_EQ(0.4f, GetSettings()->levelA);
  EXPECT_EQ(-1800, dynamic_cast<const CSoundManager*>(GetGameWorld()->GetSoundManager())->GetEffectAttenuation());
}

// Broken content through the window: a cut instant-action park and a catalog item without its
// mesh, then a level without a grid origin. Each start runs on with a notice saying what it
// lacks, Enter dismisses it, and the player can still leave for the menu, start again and quit.
TEST_F(ShellTest, BrokenContentStartsWithANoticeAndTheProgramStaysUsable) {
  ASSERT_TRUE(WriteDemoData());
  const std::string parkFile = std::string("data/levels/demo/") + kInstantActionFile;
  const std::string whole = ReadBytes(parkFile);
  ASSERT_GT(whole.size(), 1000u);
  {
    std::ofstream cut(parkFile, std::ios::binary | std::ios::trunc);
    cut.write(whole.data(), static_cast<std::streamsize>(whole.size() / 3));
  }
  std::string ramps;
  for (const auto& file : DemoContent::CatalogFiles())
    if (file.relativePath == "objects/ramps.ini") ramps = file.text;
  const std::string mesh = "mesh=quarterpipe.mesh";
  ramps.replace(ramps.find(mesh), mesh.size(), "mesh=nosuch.mesh");
  std::ofstream("data/objects/ramps.ini", std::ios::binary | std::ios::trunc) << ramps;

  HWND window = OpenWindow("game", 640, 480);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOWNORMAL);
  SetApplicationCommandLine("kelvarun");
  InitApplication(window, nullptr);
  plat::SetCursorScreenPos(320, 240);
  plat::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(320, 240));
  GetAsyncKeyState(VK_ESCAPE);
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  ASSERT_NE(nullptr, park);
  auto top = [&]() { return std::string(park->GetLayer(park->GetLayerCount() - 1)->GetInfoString()); };

  log.clear();
  ASSERT_TRUE(Press(window, 'I'));
  ASSERT_EQ("NoticeScreen", top());
  auto* notice = dynamic_cast<CMenuLayer*>(park->GetLayer(park->GetLayerCount() - 1));
  EXPECT_EQ(notice->GetPanel().GetLines(),
            (std::vector<std::string>{"SOME BUILD ITEMS HAVE NO MESH AND ARE NOT OFFERED",
                                      "THE INSTANT ACTION PARK COULD NOT BE LOADED", "AN EMPTY PARK IS RUNNING"}));
  EXPECT_EQ(1, LogCount("InstantAction: the park " + parkFile + " could not be loaded; an empty park is running\n"));
  ASSERT_TRUE(Press(window, VK_RETURN));
  EXPECT_EQ("BuildPalette", top()) << "the notice went; the empty park runs";
  ASSERT_NE(nullptr, park->GetGrid());
  EXPECT_EQ(0u, PiecesOf(*park).all.size());
  // The palette still sells what has its mesh.
  ASSERT_TRUE(Press(window, '1') && Press(window, '1'));
  EXPECT_NE(CGameLogic::kNone, park->GetController()->GetHeldObjectId());
  ASSERT_TRUE(Press(window, VK_ESCAPE) && Press(window, VK_ESCAPE));  // sell it back, then the escape menu
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_EQ("MainScreen", top());

  // A level whose mesh names no grid origin (and no cached grid beside it).
  std::unique_ptr<ShadedMesh> bare = DemoContent::BuildGroundGrid(9, 4.0f);
  ASSERT_TRUE(bare->Save("data/levels/demo/terrain.mesh", nullptr));
  fs::remove("data/levels/demo/grid_data.bin");
  fs::remove("data/levels/demo/vlights.bin");
  ASSERT_TRUE(Press(window, 'N') && Press(window, VK_RETURN));
  ASSERT_EQ("NoticeScreen", top());
  notice = dynamic_cast<CMenuLayer*>(park->GetLayer(park->GetLayerCount() - 1));
  EXPECT_EQ(notice->GetPanel().GetLines().back(), "THIS LEVEL HAS NO BUILD GRID: NOTHING CAN BE BUILT");
  EXPECT_EQ(nullptr, park->GetGrid());
  ASSERT_TRUE(Press(window, VK_RETURN));
  ASSERT_TRUE(Frames(10)) << "the gridless game runs";
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_EQ("MainScreen", top());
  PressKey(window, 'Q');
  FramesUntilTheEnd();
  EXPECT_EQ(1, LogCount(kQuitLine));
}

namespace {

// What a case does to the demo park: a grid block without its square count (the first version);
// a copy saying level 255 (head and rows) put in its place while its level starts; a piece record
// (version 1, found by the trailer after the one before) turned into a second terrain, or whose
// first node takes another piece's node id.
enum class Edit { kNone, kFirstGridVersion, kSwapForLevel255, kSecondTerrain, kSharedNodeId };
std::string Edited(std::string file, Edit edit) {
  constexpr size_t kTerrainFlag = 13, kNodeCount = 180, kFirstNodeId = 188;
  auto* bytes = reinterpret_cast<uint8_t*>(file.data());
  std::vector<size_t> pieces;  // with nodes
  for (size_t at = SavedParkBlock::kSize + 8, i = 0; i < le::ReadU32(bytes + SavedParkBlock::kSize + 4); ++i) {
    if (bytes[at + kTerrainFlag] == 0 && le::ReadU32(bytes + at + kNodeCount) != 0) pieces.push_back(at);
    uint8_t trailer[4];
    le::WriteU32(trailer, CSavedGame::kObjectTrailer - static_cast<uint32_t>(i));
    at = file.find(std::string(trailer, trailer + 4), at) + 4;
  }
  const size_t grid = file.find(std::string("\xCE\xFA\xEF\xBE\x01\x00\x00\x00", 8));  // marker, version 1
  if (edit == Edit::kFirstGridVersion) return file.erase(grid + 4, 8).insert(grid + 4, 4, '\0');
  if (edit == Edit::kSwapForLevel255) file[4] = file[SavedParkBlock::kSize - 25] = static_cast<char>(255);
  if (edit == Edit::kSecondTerrain) bytes[pieces.at(0) + kTerrainFlag] = 1;
  if (edit == Edit::kSharedNodeId)
    std::memcpy(bytes + pieces.at(0) + kFirstNodeId, bytes + pieces.at(1) + kFirstNodeId, 4);
  return file;
}

struct MenuLoad {
  const char* name;
  Edit edit;
  bool loads;
};
const MenuLoad kMenuLoads[] = {{"demo", Edit::kNone, true},
                               {"first_grid_version", Edit::kFirstGridVersion, true},
                               {"swapped_for_level_255", Edit::kSwapForLevel255, true},
                               {"second_terrain", Edit::kSecondTerrain, false},
                               {"shared_node_id", Edit::kSharedNodeId, false}};

}  // namespace

// Saved games loaded from the main menu as the first thing a fresh process does, without a display:
// the test writes the demo data, then runs itself again in a new process for each case, on SDL's
// offscreen driver. What the check passes loads, as it was read whatever becomes of the file
// meanwhile; what the load would refuse the check refuses, before any level starts.
TEST_F(ShellTest, AFreshStartLoadsFromTheMenuWhatItsCheckPassesAndNothingElse) {
  const char* which = std::getenv("KELVARUN_MENU_LOAD");
  if (which == nullptr) {
    ASSERT_TRUE(WriteDemoData());
    const std::string here = fs::current_path().string(), output = here + "/run.txt";
    for (const MenuLoad& c : kMenuLoads) {
      const int status = std::system(
          ("env -u DISPLAY SDL_VIDEODRIVER=offscreen KELVARUN_MENU_LOAD=" + std::string(c.name) +
           " KELVARUN_MENU_DATA='" + here + "' timeout 120 '" + plat::ExecutableFolder() +
           "/test_app' --gtest_filter=ShellTest.AFreshStartLoadsFromTheMenuWhatItsCheckPassesAndNothingElse > '" +
           output + "' 2>&1")
              .c_str());
      EXPECT_EQ(0, status) << c.name << "\n" << ReadBytes(output);
    }
    return;
  }
  const MenuLoad* c = std::find_if(std::begin(kMenuLoads), std::end(kMenuLoads),
                                   [which](const MenuLoad& each) { return std::string(each.name) == which; });
  ASSERT_NE(c, std::end(kMenuLoads)) << which;
  fs::current_path(std::getenv("KELVARUN_MENU_DATA"));
  const std::string demo = ReadBytes(std::string("data/levels/demo/") + kInstantActionFile),
                    path = std::string(kSavedGamesFolder) + "/" + c->name + ".sav";
  const bool swap = c->edit == Edit::kSwapForLevel255;
  fs::remove_all(kSavedGamesFolder);
  fs::create_directories(kSavedGamesFolder);
  std::ofstream(path) << (swap ? demo : Edited(demo, c->edit));
  onLog = [&](const char* text) {
    if (swap && std::strncmp(text, "Grid Initialized", 16) == 0) std::ofstream(path) << Edited(demo, c->edit);
  };
  HWND window = OpenWindow("game", 640, 480);
  ShowWindow(window, SW_SHOWNORMAL);
  Start("kelvarun", window);
  const auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  ASSERT_EQ(0, GetObjectCatalog().CountDefinitions()) << "no game has run in this process";
  ASSERT_TRUE(LoadTheOnlyGameFromTheMenu(window));
  EXPECT_EQ(c->loads ? DemoContent::InstantParkLayout().size() : 0u, PiecesOf(*park).all.size());
  EXPECT_EQ(c->loads, park->GetGrid() != nullptr && park->GetParkState().levelIndex == 0) << "the level's park runs";
  EXPECT_TRUE(!swap || ReadBytes(path)[4] == '\xFF') << "the file was replaced while its level started";
  const auto starts = std::count_if(log.begin(), log.end(),
                                    [](const std::string& line) { return line.rfind("Grid Initialized", 0) == 0; });
  EXPECT_EQ(c->loads ? 1 : 0, starts) << "a level started only for a file it takes";
}

namespace {

// The screen of an Xvfb started with -fbdir: an XWD file with a big-endian header, kept up to
// date by the server, as x8r8g8b8 words. Empty when it cannot be read.
std::vector<uint32_t> ReadXScreen(const fs::path& file, int width, int height) {
  const std::string bytes = ReadBytes(file.string());
  const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
  auto word = [&](size_t at, bool bigEndian) {
    const uint8_t* p = d + at;
    return bigEndian ? uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]
                     : uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0];
  };
  if (bytes.size() < 100) return {};
  const size_t start = word(0, true) + 12u * word(76, true), pitch = word(48, true);
  if (word(44, true) != 32 || word(16, true) < uint32_t(width) || bytes.size() < start + pitch * height) return {};
  std::vector<uint32_t> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(word(start + pitch * y + 4u * x, word(28, true) != 0) & 0xFFFFFFu);
  return out;
}

int Brightness(uint32_t rgb) { return static_cast<int>((rgb >> 16 & 0xFF) + (rgb >> 8 & 0xFF) + (rgb & 0xFF)); }
bool IsBlack(uint32_t rgb) { return Brightness(rgb) < 24; }

// What the X server shows of the running park: the frame the game presented; pieces and the
// skater in their textures (the ground is never black); and, drawn by OpenGL, the shadows against
// the same frame drawn again without them: near the skater the ground downwind of it is darker,
// as deep as the darkest colour the shadow's layers carry, and no pixel is lighter.
void CheckParkFrames(CVerezIvor& park, HWND window, const fs::path& screen, bool hardware) {
  constexpr int kW = 640, kH = 480;
  auto present = [&]() {
    park.Render(GetRenderView());
    return ReadXScreen(screen, kW, kH);
  };
  const std::vector<uint32_t> shaded = present();
  int w = 0, h = 0;
  const std::vector<uint32_t>* frame = plat::detail::ShownFrame(window, &w, &h);
  ASSERT_TRUE(frame && w == kW && h == kH && shaded.size() == frame->size()) << "the X screen cannot be read";
  for (size_t i = 0; i < shaded.size(); ++i) ASSERT_EQ((*frame)[i] & 0xFFFFFFu, shaded[i]) << "shown at " << i;
  const RECT palette = dynamic_cast<CBuildPalette*>(park.GetLayer(1))->GetPanel().GetPanelRect();
  auto black = [&](int x, int y, int r) {
    int n = 0;
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx) n += IsBlack(shaded[(y + dy) * kW + x + dx]);
    return n;
  };
  int pieces = 0, pieceBlack = 0, x = 0, y = 0;
  for (const CSkatableSection* piece : PiecesOf(park).all) {
    if (!ProjectToPixel(piece->GetBounds().GetCenter(), x, y) || Inside(palette, x, y, 3)) continue;
    ++pieces;
    pieceBlack += black(x, y, 2);
  }
  const ShadowProjector* projector = nullptr;
  const CSkater* skater = nullptr;
  for (const CSkater* candidate : GetSkaterList()) {
    if (skater || !ProjectToPixel(candidate->GetBounds().GetCenter(), x, y) || Inside(palette, x, y, 8)) continue;
    ShadowRenderer& shadows = *park.GetShadowRenderer();
    for (size_t i = 0; i < shadows.GetProjectorCount(); ++i)
      if (shadows.GetProjector(i)->GetCaster() == candidate->GetOwnerInstance()) projector = shadows.GetProjector(i);
    if (projector || !hardware) skater = candidate;
  }
  ASSERT_NE(nullptr, skater) << "a skater in view with a shadow";
  const int sx = x, sy = y, skaterBlack = black(sx, sy, 1);
  ASSERT_TRUE(ProjectToPixel(
      skater->GetBounds().GetCenter() + (projector ? projector->GetLight()->GetTransform().axes.m[0] : Vector3()), x,
      y));
  const double downX = x - sx, downY = y - sy;
  Color deepest;  // per channel, the darkest colour any of the shadow's layer vertices carries
  for (size_t l = 0; projector && l < projector->GetLayers().size(); ++l)
    for (uint32_t i = 0; i < projector->GetLayers()[l]->GetVertexCount(); ++i) {
      const CMeshLayer* layer = projector->GetLayers()[l].get();
      const Color c = layer->GetVertices()[i].colour;
      deepest = Color::FromRGBA(std::max(deepest.r, c.r), std::max(deepest.g, c.g), std::max(deepest.b, c.b), 255);
    }
  park.GetShadowRenderer()->Clear();
  const std::vector<uint32_t> plain = present();
  ASSERT_EQ(shaded.size(), plain.size());
  int darkened = 0, lighter = 0;
  double darkest = 0.0, partsDarkest = 0.0, along = 0.0;
  for (int i = 0; i < kW * kH; ++i) {
    const int a = Brightness(shaded[i]), b = Brightness(plain[i]), px = i % kW - sx, py = i / kW - sy;
    lighter += a > b + 12;
    if (std::abs(px) > 40 || std::abs(py) > 40 || b < 60 || 1.0 - double(a) / b < 0.1) continue;
    ++darkened;
    along += px * downX + py * downY;
    if (1.0 - double(a) / b <= darkest) continue;
    darkest = 1.0 - double(a) / b;
    const uint32_t g = plain[i];  // this pixel under the darkest layer colour, darkened as the blend does
    partsDarkest = 1.0 - ((g >> 16 & 0xFF) * (255 - deepest.r) + (g >> 8 & 0xFF) * (255 - deepest.g) +
                          (g & 0xFF) * (255 - deepest.b)) /
                             (255.0 * b);
  }
  // The mound is its curved patch seen from above (its faces are a bottom facing down): where
  // points of the patch land, the frame shows it, and the ground when it is not drawn.
  const CSkatableSection* mound = nullptr;
  for (const CSkatableSection* piece : PiecesOf(park).all)
    if (std::string(piece->GetName()) == "Mound") mound = piece;
  ASSERT_NE(mound, nullptr);
  CMeshInstance* moundInstance = mound->GetMeshInstance();
  const CurvedPatch& patch = *moundInstance->GetMesh()->patches;
  moundInstance->SetAlpha(0.0f, true);
  const std::vector<uint32_t> withoutMound = present();
  moundInstance->SetAlpha(1.0f, true);
  int patchPoints = 0, patchShown = 0;
  for (float u : {0.3f, 0.5f, 0.7f})
    for (float v : {0.3f, 0.5f, 0.7f}) {
      if (!ProjectToPixel(moundInstance->GetWorldMatrix().LocalToWorldPoint(patch.Evaluate(0, u, v)), x, y) ||
          Inside(palette, x, y, 3))
        continue;
      ++patchPoints;
      const uint32_t a = plain[y * kW + x], b = withoutMound[y * kW + x];
      int difference = 0;
      for (int shift : {16, 8, 0}) difference += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
      patchShown += difference > 24;
    }
  EXPECT_GE(patchPoints, 6) << "the mound in view, clear of the palette";
  // A point may fall where the patch's shade happens to match the ground's.
  EXPECT_GE(patchShown, patchPoints - 1) << "the mound's patch drawn";
  std::printf(
      "figures: black pixels on pieces %d of %d, at the skater %d of 9; shadow: %d pixels darker by 10%% or "
      "more, the darkest by %.3f (its layer colour allows %.3f)\n",
      pieceBlack, pieces * 25, skaterBlack, darkened, darkest, partsDarkest);
  EXPECT_GE(pieces, 12);
  EXPECT_LE(pieceBlack * 50, pieces * 25) << "pieces are drawn in their textures, not black";
  EXPECT_EQ(0, lighter) << "shadows only darken";
  if (!hardware) {
    EXPECT_EQ(0, darkened) << "the software back end draws no projected shadows";
    return;
  }
  // The camera sees the skaters' sides away from the sun, whose dark red may read as black at a
  // few of the nine pixels; a skater drawn without its texture is black at all of them.
  EXPECT_LE(skaterBlack, 4) << "the skater is drawn in its texture";
  EXPECT_GE(darkened, 8);
  EXPECT_GT(along, 0.0) << "the shadow lies downwind of the skater";
  EXPECT_NEAR(partsDarkest, darkest, 0.05) << "as dark as its layer colour makes it";
}

// The squares under a piece in the hand, drawn by OpenGL over the finished scene: green where the
// piece may go, red over a placed piece, each a quarter of its colour laid over what the frame
// shows there without it (the same frame with the squares off the grid). The piece itself is made
// invisible, so that only the squares differ. Then a click where no ground lies under the pointer
// keeps the piece in the hand, with either renderer; Escape sells it back.
void CheckHeldPieceSquares(CVerezIvor& park, HWND window, const fs::path& screen, bool hardware) {
  constexpr int kW = 640, kH = 480;
  CGameLogic* logic = park.GetController();
  const CGrid* grid = park.GetGrid();
  ASSERT_TRUE(logic != nullptr && grid != nullptr);
  auto present = [&]() {
    park.Render(GetRenderView());
    return ReadXScreen(screen, kW, kH);
  };
  present();  // the render view's projection of this frame, for ProjectToPixel
  auto* palette = dynamic_cast<CBuildPalette*>(park.GetLayer(1));
  ASSERT_NE(palette, nullptr);
  const RECT panels[2] = {palette->GetPanel().GetPanelRect(), palette->GetDisplay().GetPanelRect()};
  CSkatableSection* placed = nullptr;
  int x = 0, y = 0;
  for (const CSkatableSection* piece : PiecesOf(park).all)
    if (placed == nullptr && piece->GetDefinition() != nullptr &&
        ProjectToPixel(piece->GetBounds().GetCenter(), x, y) && !Inside(panels[0], x, y, 30) &&
        !Inside(panels[1], x, y, 30))
      placed = dynamic_cast<CSkatableSection*>(park.GetObjectByID(piece->GetID()));
  ASSERT_NE(placed, nullptr) << "a placed piece in view";
  const uint32_t id = logic->BuyObject(*placed->GetDefinition(), placed->GetWorldMatrix());
  ASSERT_NE(id, CGameLogic::kNone);
  auto* held = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id));
  ASSERT_NE(held, nullptr);
  // The first highlighted square's centre on the screen; false when it is not in clear view.
  auto squarePixel = [&](int& px, int& py) {
    if (logic->GetHighlightSquares().empty()) return false;
    const GridCell cell = logic->GetHighlightSquares()[0];
    return ProjectToPixel(grid->GetSquareCentre(cell.column, cell.row), px, py) && !Inside(panels[0], px, py, 4) &&
           !Inside(panels[1], px, py, 4);
  };
  // The frame with the squares, and the same frame with them gone off the grid.
  auto withAndWithout = [&](const COrientation& at, std::vector<uint32_t>& with, std::vector<uint32_t>& without) {
    COrientation away = at;
    away.position += Vector3(-1000.0f, -1000.0f, 0.0f);
    held->MoveTo(away);
    logic->CanPlaceHeldObject();
    EXPECT_TRUE(logic->GetHighlightSquares().empty());
    without = present();
    held->MoveTo(at);
    const bool free = logic->CanPlaceHeldObject();
    with = present();
    return free;
  };
  auto blended = [&](uint32_t over, uint32_t under, uint32_t colour, const char* what) {
    for (int shift : {16, 8, 0}) {
      const double want = ((colour >> shift) & 0xFF) * (63.0 / 255.0) + ((under >> shift) & 0xFF) * (192.0 / 255.0);
      EXPECT_NEAR(double((over >> shift) & 0xFF), want, 12.0)
          << what << " channel " << shift << std::hex << " over " << under << " shows " << over;
    }
  };
  if (hardware) {
    held->GetMeshInstance()->SetAlpha(0.0f, true);
    std::vector<uint32_t> with, without;
    // Red: the copy right over the piece it was copied from.
    EXPECT_FALSE(withAndWithout(placed->GetWorldMatrix(), with, without));
    ASSERT_TRUE(squarePixel(x, y));
    blended(with[y * kW + x], without[y * kW + x], CGameLogic::kBlockedColour, "over a piece");
    // Green: the first free spot in clear view, searched over the grid.
    bool found = false;
    for (int row = 2; row < grid->GetSize().row - 4 && !found; row += 3)
      for (int column = 2; column < grid->GetSize().column - 4 && !found; column += 3) {
        COrientation at = placed->GetWorldMatrix();
        at.position = grid->GetSquareCorner(column, row);
        held->MoveTo(at);
        found = logic->CanPlaceHeldObject() && squarePixel(x, y);
        if (found) {
          EXPECT_TRUE(withAndWithout(at, with, without));
          blended(with[y * kW + x], without[y * kW + x], CGameLogic::kPlaceableColour, "on free ground");
        }
      }
    EXPECT_TRUE(found) << "a free spot in view";
    held->GetMeshInstance()->SetAlpha(0.5f, true);
  }
  // Where the pointer meets no ground, a click leaves the piece in the hand where it stood.
  GridCell cell{0, 0};
  bool inVoid = false;
  for (int vy = 4; vy < kH - 4 && !inVoid; vy += 6)
    for (int vx = 4; vx < kW - 4 && !inVoid; vx += 6) {
      if (Inside(panels[0], vx, vy, 2) || Inside(panels[1], vx, vy, 2)) continue;
      plat::SetCursorScreenPos(vx, vy);
      inVoid = !logic->PickGridCell(cell);
      x = vx, y = vy;
    }
  ASSERT_TRUE(inVoid) << "the frame shows a place beside the ground";
  auto frames = [](int count) {
    for (int i = 0; i < count; ++i) {
      plat::AdvanceClock(33);
      if (RunFrame() != 1) return false;
    }
    return true;
  };
  ASSERT_TRUE(frames(1));
  const Vector3 stood = held->GetWorldMatrix().position;
  plat::InjectMessage(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  plat::InjectMessage(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  ASSERT_TRUE(frames(3));
  EXPECT_EQ(logic->GetHeldObjectId(), id) << "the click in the void placed nothing";
  EXPECT_TRUE(held->IsHeld());
  EXPECT_EQ(held->GetWorldMatrix().position, stood);
  const double money = park.GetMoney();
  plat::InjectMessage(window, WM_KEYDOWN, VK_ESCAPE, 0);
  plat::InjectMessage(window, WM_KEYUP, VK_ESCAPE, 0xC0000000);
  ASSERT_TRUE(frames(2));
  EXPECT_EQ(logic->GetHeldObjectId(), CGameLogic::kNone);
  EXPECT_GE(park.GetMoney(), money + placed->GetDefinition()->cost - 1.0) << "sold back at what it cost";
}

}  // namespace

// The park as a player with a display sees it. This test starts an X server of its own and runs
// itself again there on SDL's X11 driver, once with each renderer option; that run plays title,
// menu, a saved game loaded as the first thing, the pause menu, quit to menu and (OpenGL) instant
// action through the window, and reads the park's frames back from the X server's screen.
TEST_F(ShellTest, TheParkShowsOnAnXServerWithEachRenderer) {
  const char* screen = std::getenv("KELVARUN_X_SCREEN");
  if (!screen) {
    const std::string folder = (RuntimeFolder::dir / "x_server").string(),
                      self = plat::ExecutableFolder() + "/test_app";
    fs::create_directories(folder);
    // The server picks a free display number and writes it out; it ends by itself at the latest.
    std::system(("timeout 300 Xvfb -displayfd 3 -screen 0 800x600x24 -fbdir '" + folder + "' -nolisten tcp 3>'" +
                 folder + "/display' 2>/dev/null & echo $! >'" + folder + "/pid'")
                    .c_str());
    std::string display;
    for (int i = 0; i < 400 && (display.empty() || display.back() != '\n'); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      display = ReadBytes(folder + "/display");
    }
    ASSERT_FALSE(display.empty()) << "Xvfb did not start (setup.sh installs it)";
    for (const char* renderer : {"0", "1"}) {
      const std::string output = folder + "/run_" + renderer + ".txt";
      const int status = std::system(
          ("DISPLAY=:" + display.substr(0, display.size() - 1) + " SDL_VIDEODRIVER=x11 KELVARUN_X_SCREEN='" + folder +
           "/Xvfb_screen0' KELVARUN_X_RENDERER=" + renderer + " timeout 240 '" + self +
           "' --gtest_filter=ShellTest.TheParkShowsOnAnXServerWithEachRenderer > '" + output + "' 2>&1")
              .c_str());
      const std::string text = ReadBytes(output);
      EXPECT_EQ(0, status) << "renderer option " << renderer << "\n" << text;
      if (const size_t at = text.find("figures:"); at != std::string::npos)
        std::printf("renderer option %s %s", renderer, text.substr(at, text.find('\n', at) + 1 - at).c_str());
    }
    std::system(("kill $(cat '" + folder + "/pid') 2>/dev/null").c_str());
    return;
  }
  const bool hardware = std::string(std::getenv("KELVARUN_X_RENDERER")) == "0";
  ASSERT_TRUE(WriteDemoData());
  // A framed window with a client area of 640 x 480 on a larger screen: the menu shows it full
  // screen (the settings' default), and the game, asked to run windowed, gives it back its size.
  HWND window = OpenWindow("game", 640 + 2 * GetSystemMetrics(SM_CXFRAME), 480 + 2 * GetSystemMetrics(SM_CYFRAME));
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOWNORMAL);
  Start("kelvarun", window);
  GetSettings()->renderer = hardware ? 0 : 1;
  GetSettings()->SetFullScreen(false);
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  auto declineOffers = [&]() {
    for (int i = 0;
         i < 8 && std::string(park->GetLayer(park->GetLayerCount() - 1)->GetInfoString()) == "SponsorshipNotice"; ++i)
      if (!Press(window, 'D', 1)) return false;
    return true;
  };
  auto skaterInView = [&]() {
    const RECT palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1))->GetPanel().GetPanelRect();
    int x = 0, y = 0;
    for (const CSkater* skater : GetSkaterList())
      if (ProjectToPixel(skater->GetBounds().GetCenter(), x, y) && !Inside(palette, x, y, 8)) return true;
    return false;
  };
  // The first thing played is a saved game from the menu's load screen, in this process that has
  // run no game before (writing the data left no catalog loaded): the instant-action park, as a
  // player copies it into the saved games.
  ASSERT_EQ(0, GetObjectCatalog().CountDefinitions());
  const std::string demoPark = std::string("data/levels/demo/") + kInstantActionFile, file = ReadBytes(demoPark);
  fs::create_directories(kSavedGamesFolder);
  fs::copy_file(demoPark, std::string(kSavedGamesFolder) + "/" + kInstantActionFile);
  SavedParkBlock fileHead;
  CByteCursor fileCursor(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  ASSERT_TRUE(fileHead.Read(fileCursor));
  ASSERT_TRUE(LoadTheOnlyGameFromTheMenu(window) && declineOffers());
  ASSERT_EQ(DemoContent::InstantParkLayout().size(), PiecesOf(*park).all.size()) << "the file's park runs";
  // The file's money, less the running costs booked since (nobody has paid to come in yet).
  auto money = [](const ParkState& s) { return s.GetMoney() + s.spentOnMaintenance + s.spentOnFacilityOperation; };
  EXPECT_NEAR(money(fileHead.state), money(park->GetParkState()), 1e-3);
  EXPECT_EQ(0.0, park->GetParkState().earnedFromAdmission);
  plat::SetCursorScreenPos(320, 90);
  for (int round = 0; round < (hardware ? 2 : 1); ++round) {
    ASSERT_TRUE((round == 0 || Press(window, 'I', 3)) && declineOffers());
    ASSERT_EQ(2u, park->GetLayerCount());
    ASSERT_EQ(hardware ? kRasterizerHardware : kRasterizerSoftware, GetRasterizer()->GetUserValue());
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_EQ(640, client.right);
    ASSERT_EQ(480, client.bottom);
    // The first time, until a skater has come out from under the build palette.
    for (int i = 0; round == 0 && i < 300 && !skaterInView(); ++i) ASSERT_TRUE(Frames(1, 6 * 33) && declineOffers());
    if (round == 0) CheckParkFrames(*park, window, screen, hardware);
    if (HasFatalFailure()) return;
    if (round == 0) CheckHeldPieceSquares(*park, window, screen, hardware);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Press(window, VK_ESCAPE) && CEscapeMenuScreen::IsOpen());
    ASSERT_TRUE(Press(window, 'Q'));
    ASSERT_NE(nullptr, dynamic_cast<CMainScreen*>(park->GetLayer(0)));
  }
  int described = 0;
  for (const std::string& line : log) {
    described += line.rfind("GLContext: ", 0) == 0 && line.find("EGL error") == std::string::npos;
    EXPECT_EQ(std::string::npos, line.find("using the software renderer")) << line;
    EXPECT_EQ(std::string::npos, line.find("PresentPixels:")) << line;
  }
  EXPECT_EQ(hardware ? 1 : 0, described) << "the context is made once, only when asked for, and described";
  PressKey(window, 'Q');
  FramesUntilTheEnd();
  EXPECT_EQ(1, LogCount(kQuitLine));
}

namespace {

// How a skater looks: its texture choices and the texture each slot of its body shows.
std::vector<std::string> LookOf(const CSkater& skater) {
  std::vector<std::string> look = {std::to_string(skater.appearance.head) + " " +
                                   std::to_string(skater.appearance.body) + " " +
                                   std::to_string(skater.appearance.board)};
  const CMeshInstance* instance = skater.GetMeshInstance();
  const ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  for (uint32_t slot = 0; mesh != nullptr && slot < mesh->GetSlotCount(); ++slot) {
    const auto* texture = dynamic_cast<const CTexture*>(instance->GetTexture(slot));
    look.push_back(texture != nullptr ? texture->name : "-");
  }
  return look;
}

// The share of the frame's pixels outside the rectangles that are not the clear colour (black).
float DrawnShare(const Shot& shot, const std::vector<RECT>& panels) {
  int drawn = 0, all = 0;
  for (int y = 0; y < shot.image->height; ++y)
    for (int x = 0; x < shot.image->width; ++x) {
      bool covered = false;
      for (const RECT& r : panels) covered = covered || Inside(r, x, y, 0);
      if (covered) continue;
      ++all;
      drawn += (shot.At(x, y) & 0xFFFFFFu) != 0;
    }
  return all > 0 ? static_cast<float>(drawn) / static_cast<float>(all) : 0.0f;
}

}  // namespace

// A play-through with the mouse and keys of the window: a skater selected and its pop-up closed,
// a piece picked up, the skater taken over and seen from behind on the ground, driven forward for
// two seconds on its key, let go, and the park saved and loaded back with its skaters unchanged.
TEST_F(ShellTest, ASkaterTakenOverIsSeenFromBehindDrivesOnTheForwardKeyAndLooksTheSameAfterLoading) {
  ASSERT_TRUE(WriteDemoData());
  testing_support::TempFolder shots;
  HWND window = OpenWindow("game", 640, 480);
  ASSERT_NE(nullptr, window);
  ShowWindow(window, SW_SHOWNORMAL);
  Start("kelvarun", window);
  auto* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  ASSERT_NE(nullptr, park);
  auto top = [&]() { return std::string(park->GetLayer(park->GetLayerCount() - 1)->GetInfoString()); };
  auto declineOffers = [&]() {
    for (int i = 0; i < 8 && top() == "SponsorshipNotice"; ++i)
      if (!Press(window, 'D', 1)) return false;
    return true;
  };
  auto pointAt = [&](POINT at) {
    plat::SetCursorScreenPos(at.x, at.y);
    plat::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  };
  auto click = [&](POINT at, bool right) {
    pointAt(at);
    plat::InjectMessage(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, 0, MAKELPARAM(at.x, at.y));
    plat::InjectMessage(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    return Frames(2);
  };
  auto button = [&](size_t index) {
    const RECT r = dynamic_cast<CMenuLayer*>(park->GetLayer(park->GetLayerCount() - 1))->GetPanel().GetButtonRect(index);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  auto onFrame = [&](const Vector3& point) {
    POINT at{0, 0};
    int x = 0, y = 0;
    if (ProjectToPixel(point, x, y)) at = POINT{x, y};
    return at;
  };
  GetAsyncKeyState(VK_ESCAPE);
  ASSERT_TRUE(Press(window, VK_ESCAPE, 3)) << "the title hands on to the menu";
  pointAt(POINT{320, 90});  // away from the frame's edges, where the park camera would pan
  ASSERT_TRUE(Press(window, 'I', 20));
  ASSERT_TRUE(declineOffers());
  auto* logic = dynamic_cast<CGameLogic*>(park->GetLayer(0));
  ASSERT_NE(nullptr, logic);
  // A skater rolling on the ground in the open part of the frame (one just arriving is still in
  // the air, and a landing taken over mid-trick is the player's own fall).
  CSkater* skater = nullptr;
  for (int waited = 0; skater == nullptr && waited < 400; ++waited) {
    ASSERT_TRUE(Frames(1, 6 * 33) && declineOffers());
    for (CSkater* one : GetSkaterList())
      if (one->mind.state == CSkater::kSkating && one->body.motionMode == CSkater::kRolling &&
          one->body.timeOnGround > 1.0f && onFrame(one->GetBounds().GetCenter()).x > 260)
        skater = one;
  }
  ASSERT_NE(nullptr, skater) << "no skater rolling in view";
  const uint32_t skaterId = skater->GetID();

  // Select it where it stands, close its pop-up, then pick up a placed piece.
  const POINT onSkater = onFrame(skater->GetBounds().GetCenter());
  ASSERT_TRUE(click(onSkater, true));
  ASSERT_EQ(skaterId, logic->GetSelectedSkaterId()) << onSkater.x << "," << onSkater.y;
  ASSERT_EQ("SkaterPopup", top());
  ASSERT_TRUE(click(button(CSkaterPopup::kClose), false));
  EXPECT_EQ("BuildPalette", top());
  const CSkatableSection* piece = nullptr;
  POINT onPiece{0, 0};
  for (const CSkatableSection* candidate : PiecesOf(*park).all) {
    onPiece = onFrame(candidate->GetBounds().GetCenter());
    if (onPiece.x > 260) {  // clear of the palette
      piece = candidate;
      break;
    }
  }
  ASSERT_NE(nullptr, piece);
  ASSERT_TRUE(click(onPiece, false));
  // CLOSE let go of the skater, so the click reaches the piece.
  EXPECT_EQ(CGameLogic::kNone, logic->GetSelectedSkaterId());
  EXPECT_EQ(piece->GetID(), logic->GetHeldObjectId()) << "picked up";
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  EXPECT_EQ(CGameLogic::kNone, logic->GetHeldObjectId());
  EXPECT_EQ(CGameLogic::kNone, logic->GetSelectedSkaterId());

  // Take it over from its pop-up: the frame shows the park around it from behind.
  ASSERT_TRUE(click(onFrame(skater->GetBounds().GetCenter()), true));
  ASSERT_EQ("SkaterPopup", top());
  ASSERT_TRUE(click(button(CSkaterPopup::kTakeControl), false));
  ASSERT_TRUE(logic->IsControllingSkater());
  ASSERT_EQ(skaterId, logic->GetSelectedSkaterId());
  ASSERT_TRUE(Frames(20));
  ASSERT_EQ("SkaterPlayerInterface", top());
  const RECT hud = dynamic_cast<CMenuLayer*>(park->GetLayer(park->GetLayerCount() - 1))->GetPanel().GetPanelRect();
  const RECT exitView = dynamic_cast<CMenuLayer*>(park->GetLayer(park->GetLayerCount() - 2))->GetPanel().GetPanelRect();
  const Shot behind = TakeShot(shots.Path() + "behind.bmp");
  const Vector3 start = skater->GetFrame().GetPosition();
  const float away = (park->GetCurrentCamera()->GetFrame().GetPosition() - start).Length();
  EXPECT_GT(away, 2.0f);
  EXPECT_LT(away, 6.0f) << "close behind the skater";
  const POINT seen = onFrame(start);
  EXPECT_LT(std::abs(seen.x - 320), 80) << "the skater in the middle of the frame: " << seen.x << "," << seen.y;
  EXPECT_GT(DrawnShare(behind, {hud, exitView}), 0.5f) << "the park, not the clear colour";

  // Two seconds on the forward key.
  plat::InjectMessage(window, WM_KEYDOWN, VK_UP, 0);
  ASSERT_TRUE(Frames(60));
  plat::InjectMessage(window, WM_KEYUP, VK_UP, 0xC0000000);
  const Shot driven = TakeShot(shots.Path() + "driven.bmp");
  // A piece in its way may stop it before the two seconds are up (the skater taken over is whichever
  // the park's random run put in view), but not before it has gone a good few units.
  EXPECT_GT((skater->GetFrame().GetPosition() - start).Length(), 3.0f) << "rolled forward";
  int changed = 0, samples = 0;
  for (int y = 0; y < 480; y += 4)
    for (int x = 0; x < 640; x += 4, ++samples) changed += behind.At(x, y) != driven.At(x, y);
  EXPECT_GT(changed, samples / 4) << "the view moved with it";

  // Let go through the exit button, save, and load in a fresh park.
  ASSERT_TRUE(click(POINT{(exitView.left + exitView.right) / 2, (exitView.top + exitView.bottom) / 2}, false));
  EXPECT_FALSE(logic->IsControllingSkater());
  EXPECT_TRUE(park->GetCurrentCamera()->GetView().IsOrthographic());
  ASSERT_TRUE(declineOffers());
  ASSERT_TRUE(Frames(1));
  EXPECT_EQ(2u, park->GetLayerCount()) << "the exit button and the display have gone";
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(CEscapeMenuScreen::IsOpen());
  std::map<uint32_t, std::vector<std::string>> looks;
  for (const CSkater* one : GetSkaterList()) looks[one->GetID()] = LookOf(*one);
  // Saved under the park's name as the save screen offers it, loaded from the menu's load screen.
  ASSERT_TRUE(Press(window, 'S'));
  ASSERT_EQ("SaveGameScreen", top());
  ASSERT_TRUE(Press(window, VK_RETURN));
  ASSERT_TRUE(Press(window, VK_ESCAPE));
  ASSERT_TRUE(Press(window, 'Q'));
  ASSERT_EQ(1u, park->GetLayerCount());
  ASSERT_TRUE(Press(window, 'L'));
  ASSERT_EQ("LoadGameScreen", top());
  ASSERT_TRUE(click(button(0), false));
  ASSERT_TRUE(declineOffers());
  ASSERT_EQ(looks.size(), GetSkaterList().size());
  for (const CSkater* one : GetSkaterList()) {
    ASSERT_EQ(1u, looks.count(one->GetID())) << one->GetID();
    EXPECT_EQ(looks[one->GetID()], LookOf(*one)) << one->GetID();
  }
}
