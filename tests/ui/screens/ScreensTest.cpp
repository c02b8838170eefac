// The front-end and in-game screens driven by injected input events on a park running the
// generated demo level: what each button starts, buys, sells or changes, and how the screens
// leave the layer stack.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "core/data/ResourceTable.h"
#include "core/input/InputEvent.h"
#include "core/input/InputMan.h"
#include "core/input/SkateSettings.h"
#include "core/world/GameActionLayer.h"
#include "core/world/WorldAccess.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/saved/SavedGameParkBlock.h"
#include "park/skater/Skater.h"
#include "park/skater/ThoughtTexts.h"
#include "park/world/ParkFontSet.h"
#include "park/world/VerezIvor.h"
#include "platform/graphics/DisplayMachine.h"
#include "render/display/DisplaySizes.h"
#include "platform/system/Platform.h"
#include "render/image/ColourDepth.h"
#include "render/view/RenderView.h"
#include "sound/SoundManager.h"
#include "tests/support/RecordingRasterizer.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/screens/DemoGameTest.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentUi.h"
#include "ui/park/BuildPalette.h"
#include "ui/park/ExitPerspective.h"
#include "ui/park/FacilityPopup.h"
#include "ui/park/GameHooks.h"
#include "ui/park/MoneyText.h"
#include "ui/park/SectionPopup.h"
#include "ui/park/SkaterPlayerInterface.h"
#include "ui/park/SkaterPopup.h"
#include "ui/park/SponsorshipNotice.h"
#include "ui/park/UIPopupFactory.h"
#include "ui/screens/EscapeMenuScreen.h"
#include "ui/screens/LoadGameScreen.h"
#include "ui/screens/MainScreen.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/NewGameScreen.h"
#include "ui/screens/NoticeScreen.h"
#include "ui/screens/SaveGameScreen.h"
#include "ui/screens/SavedGameFolder.h"
#include "ui/screens/SavedGamePages.h"
#include "ui/screens/SettingsScreen.h"
#include "ui/sprites/SpriteText.h"
#include "ui/sprites/TinyFont.h"

using testing_support::DebugCapture;
using testing_support::TempFolder;

namespace {

InputEvent Key(int virtualKey) {
  InputEvent e;
  e.code = InputEvent::kKey;
  e.x = static_cast<float>(virtualKey);
  e.y = static_cast<float>(virtualKey);
  return e;
}

InputEvent Mouse(uint32_t code, const RECT& r) {
  InputEvent e;
  e.code = code;
  e.x = static_cast<float>((r.left + r.right) / 2);
  e.y = static_cast<float>((r.top + r.bottom) / 2);
  return e;
}

// A press and release on the button of that command.
void Click(CMenuLayer& layer, int command) {
  const auto& buttons = layer.GetPanel().GetButtons();
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i].command == command) {
      const RECT r = layer.GetPanel().GetButtonRect(i);
      layer.HandleInputEvent(Mouse(InputEvent::kButtonPress, r));
      layer.HandleInputEvent(Mouse(InputEvent::kButtonRelease, r));
      return;
    }
  ADD_FAILURE() << "no button for command " << command;
}

// Where the button of that command lies.
RECT ButtonRect(const CMenuLayer& layer, int command) {
  const auto& buttons = layer.GetPanel().GetButtons();
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i].command == command) return layer.GetPanel().GetButtonRect(i);
  ADD_FAILURE() << "no button for command " << command;
  return RECT{};
}

// The layers that are not on their way out, by info string.
std::vector<std::string> LiveLayers(const CVerezIvor& park) {
  std::vector<std::string> out;
  for (size_t i = 0; i < park.GetLayerCount(); ++i)
    if (!park.GetLayer(i)->IsMarkedForRemoval()) out.push_back(park.GetLayer(i)->GetInfoString());
  return out;
}

// Draws one layer alone into a recorded frame and gives its panel's rectangle there.
template <class Layer>
RECT DrawAlone(Layer& layer, RecordingRasterizer& r) {
  CRenderView view;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  PixelBufferDesc* locked = nullptr;
  layer.Draw(&view, &locked);
  return layer.GetPanel().GetPanelRect();
}

struct StandInController : CGameActionLayer {
  const char* GetInfoString() const override { return "Controller"; }
  // The controller acts on a click (primary or secondary) only when no interface layer above took it.
  void HandleInputEvent(const InputEvent& event) override {
    if ((event.code == 49 || event.code == 50) && GetGameWorld()->mouseOverUI == 0) ++clicksOnThePark;
  }
  int clicksOnThePark = 0;
};
// Pixels drawn inside and outside a rectangle of a recorded frame.
std::pair<int, int> LitInAndOut(const RecordingRasterizer& r, int width, const RECT& box) {
  std::pair<int, int> lit{0, 0};
  for (size_t i = 0; i < r.frame.size(); ++i) {
    const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
    if (r.frame[i] != 0) ++(x >= box.left && x < box.right && y >= box.top && y < box.bottom ? lit.first : lit.second);
  }
  return lit;
}
// What the hand holds, for the interface's questions (0 free).
uint32_t g_inHand = 0;
uint32_t InHand(const CVerezIvor&) { return g_inHand; }
int g_controllersMade = 0;
std::unique_ptr<CGameActionLayer> MakeController(CVerezIvor&) {
  ++g_controllersMade;
  return std::make_unique<StandInController>();
}

// The demo data, written once for every test here; games start with a stand-in controller.
class Screens : public ui_test::DemoGameTest {
 protected:
  static void SetUpTestSuite() { WriteSuiteData(false); }
  void SetUp() override {
    DemoGameTest::SetUp();
    GetGameHooks().createController = MakeController;
    g_controllersMade = 0;
  }
  bool StartDemo(int32_t money = kStartingMoneyMedium) { return StartNewGame(park.get(), 0, money, "Harbour Bowl", Root()); }
  // A game with the interface's fonts where the program looks for them; its build palette.
  CBuildPalette* StartDemoWithFonts() {
    EXPECT_TRUE(DemoContent::WriteUi("data"));
    park->GetFontSet()->Load();
    EXPECT_TRUE(StartDemo(kStartingMoneyEasy));
    return dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  }
  CGameActionLayer* Top() const { return park->GetLayer(park->GetLayerCount() - 1); }
  // The field's text taken away with Backspace and the text typed in its place.
  static void Retype(CMenuLayer& screen, const std::string& text) {
    for (int i = 0; i < 64; ++i) screen.HandleInputEvent(Key(VK_BACK));
    for (const char c : text) {
      InputEvent typed;
      typed.code = InputEvent::kKey;
      typed.x = static_cast<float>(
          std::isalnum(static_cast<unsigned char>(c)) ? std::toupper(static_cast<unsigned char>(c)) : 0);
      typed.y = static_cast<float>(static_cast<unsigned char>(c));
      screen.HandleInputEvent(typed);
    }
  }
  // Adds a layer on top and keeps a pointer to it.
  template <class T>
  T* Push(std::unique_ptr<T> layer) {
    T* raw = layer.get();
    park->AddLayerOnTop(std::move(layer));
    return raw;
  }
  const ObjectDefinition* Definition(const char* name) const {
    for (int i = 0; i < CObjectCatalog::kTableSize; ++i)
      if (const ObjectDefinition* d = GetObjectCatalog().GetDefinition(i); d != nullptr && std::string(d->name) == name)
        return d;
    return nullptr;
  }
};

}  // namespace

TEST_F(Screens, ResetParkRecordSetsTheChosenStart) {
  EXPECT_FALSE(ResetParkRecord(nullptr, 1, 5000, "x"));
  park->GetParkState().sponsorships[0].offered = 1;
  park->GetClock().SetTime(3, 4, 15.5);
  ASSERT_TRUE(ResetParkRecord(park.get(), 2, kStartingMoneyEasy, "Harbour Bowl"));
  const ParkState& state = park->GetParkState();
  EXPECT_TRUE(state.levelIndex == 2 && state.money == 50000);
  EXPECT_TRUE(state.sponsorships[0].offered == 0 && std::string(state.parkName) == "Harbour Bowl");
  EXPECT_TRUE(park->GetClock().GetWeek() == 1 && park->GetClock().GetDay() == 1 && park->GetClock().GetHour() == 10.0);
  EXPECT_NE(park->GetCounter(), nullptr);
}

TEST_F(Screens, NewGameFromTheMainMenuStartsTheWholeGame) {
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(Root()));
  EXPECT_TRUE(menu->IsModal());
  Click(*menu, CMainScreen::kNewGame);
  auto* setup = dynamic_cast<CNewGameScreen*>(Top());
  ASSERT_NE(setup, nullptr);
  EXPECT_TRUE(setup->IsModal() && setup->GetClearScreen());
  // The challenges set the starting money; the demo data has one level, so there is no other.
  Click(*setup, CNewGameScreen::kEasy);
  EXPECT_EQ(setup->GetStartingMoney(), kStartingMoneyEasy);
  EXPECT_EQ(setup->GetPanel().GetLines()[2], "CHALLENGE  EASY, 50000 TO START");
  Click(*setup, CNewGameScreen::kHard);
  EXPECT_EQ(setup->GetStartingMoney(), kStartingMoneyHard);
  EXPECT_EQ(setup->GetLevel(), 0);
  EXPECT_EQ(setup->GetPanel().GetLines()[3], "LEVEL  DEMO, 1 OF 1");
  EXPECT_FALSE(setup->GetPanel().GetButtons()[CNewGameScreen::kNextLevel].enabled);
  // A name is refused, with its reason and nothing started, when it is empty, too long, or holds a
  // character the font cannot draw (the built-in font here: letters, digits and a few marks).
  EXPECT_EQ(setup->GetField().GetText(), CNewGameScreen::kDefaultParkName);
  struct Refused {
    std::string name;
    const char* reason;
  };
  for (const Refused& c :
       {Refused{"", "TYPE A NAME FIRST"}, Refused{std::string(33, 'a'), "THE NAME IS LONGER THAN 32 CHARACTERS"},
        Refused{"Harbour@Bowl", "THE NAME HOLDS A CHARACTER THE FONT CANNOT SHOW"}}) {
    Retype(*setup, c.name);
    setup->HandleInputEvent(Key(VK_RETURN));
    EXPECT_EQ(setup->GetPanel().GetLines().back(), c.reason) << c.name;
    EXPECT_FALSE(setup->IsMarkedForRemoval());
  }
  EXPECT_EQ(g_controllersMade, 0);
  // 32 characters are taken.
  Retype(*setup, std::string(32, 'b'));
  EXPECT_EQ(setup->GetField().GetText(), std::string(32, 'b'));
  Retype(*setup, "Harbour Bowl, 2.");
  setup->HandleInputEvent(Key(VK_RETURN));
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette"})) << "the menus went";
  EXPECT_EQ(g_controllersMade, 1);
  const ParkState& state = park->GetParkState();
  EXPECT_EQ(state.money, kStartingMoneyHard);
  EXPECT_EQ(state.levelIndex, 0);
  EXPECT_STREQ(state.parkName, "Harbour Bowl, 2.");
  ASSERT_NE(park->GetGrid(), nullptr);
  EXPECT_EQ(park->GetGrid()->GetSize().column, 64);
  park->Tick(0.033f);
  EXPECT_EQ(park->GetLayerCount(), 2u) << "the menu left the stack";

  // Starting again (instant action) replaces the running game: one terrain, the most money.
  ASSERT_TRUE(StartInstantAction(park.get(), Root()));
  EXPECT_EQ(park->GetTerrainInstances().size(), 1u);
  EXPECT_EQ(park->GetParkState().money, kStartingMoneyEasy);
}

TEST_F(Screens, MenuKeysPressTheirButtonsAndQuitEmptiesTheStack) {
  TempFolder saves;
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(Root(), saves.Path()));
  // Load opens the load screen, which says that there is nothing to load; Back leaves it.
  menu->HandleInputEvent(Key('L'));
  auto* load = dynamic_cast<CLoadGameScreen*>(Top());
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load->GetPanel().GetLines(), std::vector<std::string>{"THERE IS NO SAVED GAME TO LOAD"});
  ASSERT_EQ(load->GetPanel().GetButtons().size(), 1u);
  Click(*load, CLoadGameScreen::kBack);
  park->Tick(0.033f);
  EXPECT_EQ(LiveLayers(*park), std::vector<std::string>{"MainScreen"});
  // New game opens its screen; the cancel action (Escape) goes back as Back does.
  menu->HandleInputEvent(Key('N'));
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"MainScreen", "NewGameScreen"}));
  InputEvent cancel;
  cancel.code = CEscapeMenuScreen::kCancelAction;
  Top()->HandleInputEvent(cancel);
  EXPECT_EQ(LiveLayers(*park), std::vector<std::string>{"MainScreen"});
  park->Tick(0.033f);
  menu->HandleInputEvent(Key('I'));
  EXPECT_EQ(park->GetParkState().money, kStartingMoneyEasy);
  EXPECT_TRUE(menu->IsMarkedForRemoval());

  park->RemoveAllLayers();
  Push(std::make_unique<StandInController>());
  CMainScreen* again = Push(std::make_unique<CMainScreen>(Root(), saves.Path()));
  again->HandleInputEvent(Key('Q'));
  EXPECT_TRUE(LiveLayers(*park).empty());
  park->Tick(0.033f);
  EXPECT_FALSE(park->HasLayers()) << "a world without layers ends the program";
}

TEST_F(Screens, AGameThatCannotStartKeepsTheMenu) {
  // No level in the data: the screen says so and offers none.
  TempFolder empty;
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(empty.Path()));
  Click(*menu, CMainScreen::kNewGame);
  auto* setup = dynamic_cast<CNewGameScreen*>(Top());
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->GetLevel(), -1);
  EXPECT_EQ(setup->GetPanel().GetLines()[3], "LEVEL  NONE IN THE DATA");
  Click(*setup, CNewGameScreen::kStart);
  EXPECT_EQ(setup->GetPanel().GetLines().back(), "THERE IS NO LEVEL TO PLAY");
  // A level whose terrain is there but does not read: the start fails and the menus stay.
  TempFolder broken;
  broken.Write("data/levels/demo/terrain.mesh", "not a mesh");
  park->RemoveAllLayers();
  menu = Push(std::make_unique<CMainScreen>(broken.Path()));
  Click(*menu, CMainScreen::kNewGame);
  setup = dynamic_cast<CNewGameScreen*>(Top());
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->GetLevel(), 0);
  Click(*setup, CNewGameScreen::kStart);
  EXPECT_EQ(setup->GetPanel().GetLines().back(), "THE GAME COULD NOT START");
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"MainScreen", "NewGameScreen"}));
  EXPECT_EQ(menu->GetPanel().GetButtons().size(), 5u);
  EXPECT_EQ(g_controllersMade, 0);
  EXPECT_TRUE(park->GetTerrainInstances().empty());
  EXPECT_NE(log.Text().find("NewGame: level 0 could not be loaded"), std::string::npos);
}

TEST_F(Screens, TheEscapeMenuPausesOpensTheSaveAndLoadScreensAndQuitsToTheMenu) {
  ASSERT_TRUE(StartDemo());
  TempFolder saves;
  EXPECT_FALSE(CEscapeMenuScreen::IsOpen());
  CEscapeMenuScreen* menu = Push(std::make_unique<CEscapeMenuScreen>(saves.Path(), Root()));
  EXPECT_TRUE(CEscapeMenuScreen::IsOpen());
  EXPECT_TRUE(menu->IsModal());
  menu->HandleInputEvent(Key('S'));
  EXPECT_EQ(LiveLayers(*park),
            (std::vector<std::string>{"Controller", "BuildPalette", "EscapeMenuScreen", "SaveGameScreen"}));
  Click(*dynamic_cast<CMenuLayer*>(Top()), CSaveGameScreen::kBack);
  park->Tick(0.033f);
  Click(*menu, CEscapeMenuScreen::kLoad);
  EXPECT_EQ(LiveLayers(*park),
            (std::vector<std::string>{"Controller", "BuildPalette", "EscapeMenuScreen", "LoadGameScreen"}));
  // The cancel action leaves the load screen, then resumes.
  InputEvent cancel;
  cancel.code = CEscapeMenuScreen::kCancelAction;
  park->Tick(0.033f);
  Top()->HandleInputEvent(cancel);
  park->Tick(0.033f);
  EXPECT_TRUE(CEscapeMenuScreen::IsOpen());
  menu->HandleInputEvent(cancel);
  park->Tick(0.033f);
  EXPECT_FALSE(CEscapeMenuScreen::IsOpen());

  menu = Push(std::make_unique<CEscapeMenuScreen>(saves.Path(), Root()));
  Click(*menu, CEscapeMenuScreen::kResume);
  EXPECT_TRUE(menu->IsMarkedForRemoval());
  park->Tick(0.033f);

  // Quitting by the pointer: the main menu comes up under the button still held down, over its own
  // QUIT, and takes that press for none of its own.
  menu = Push(std::make_unique<CEscapeMenuScreen>(saves.Path(), Root()));
  CInputMan input;
  park->SetInputManager(&input);
  const RECT quit = ButtonRect(*menu, CEscapeMenuScreen::kQuitToMenu);
  plat::SetCursorScreenPos((quit.left + quit.right) / 2, (quit.top + quit.bottom) / 2);
  park->Tick(0.033f);
  input.SetButtonDown(0, true);
  input.QueueEvent(Mouse(InputEvent::kButtonPress, quit));
  for (int held = 0; held < 3; ++held) park->Tick(0.033f);
  ASSERT_EQ(LiveLayers(*park), std::vector<std::string>{"MainScreen"});
  const RECT below = ButtonRect(*dynamic_cast<CMenuLayer*>(Top()), CMainScreen::kQuit);
  EXPECT_TRUE(below.top == quit.top && below.left == quit.left);
  input.SetButtonDown(0, false);
  input.QueueEvent(Mouse(InputEvent::kButtonRelease, quit));
  park->Tick(0.033f);
  park->SetInputManager(nullptr);
  EXPECT_EQ(LiveLayers(*park), std::vector<std::string>{"MainScreen"});
  EXPECT_EQ(park->GetGrid(), nullptr);
  EXPECT_TRUE(park->GetTerrainInstances().empty());
  EXPECT_EQ(park->GetController(), nullptr);
}

// The save screen on the real saved-game writer: names refused with their reasons and nothing
// written, a save, an overwrite asked for and declined or taken, and failed saves (as root too:
// something in the way of the new file, a folder that cannot be made) that leave the earlier file;
// and the list of games a page at a time.
TEST_F(Screens, TheSaveScreenRefusesBadNamesAsksBeforeOverwritingAndKeepsTheEarlierFileOnFailure) {
  ASSERT_TRUE(StartDemo());
  TempFolder saves;
  const SavedGameFolder folder(saves.Path());
  auto* screen = Push(std::make_unique<CSaveGameScreen>(saves.Path()));
  EXPECT_EQ(screen->GetField().GetText(), "Harbour Bowl") << "the park's name to begin with";
  EXPECT_TRUE(screen->IsModal() && screen->GetClearScreen());
  EXPECT_EQ(screen->GetPanel().GetTitle(), "SAVE GAME");
  struct Refused {
    std::string name;
    const char* reason;
  };
  for (const Refused& c :
       {Refused{"", "TYPE A NAME FIRST"}, Refused{std::string(33, 'x'), "THE NAME IS LONGER THAN 32 CHARACTERS"},
        Refused{"../escape", "A NAME CANNOT HOLD A SLASH OR A BACKSLASH"},
        Refused{"a\\b", "A NAME CANNOT HOLD A SLASH OR A BACKSLASH"},
        Refused{"..", "A NAME CANNOT HOLD TWO POINTS IN A ROW"},
        Refused{"up..there", "A NAME CANNOT HOLD TWO POINTS IN A ROW"},
        Refused{"what~", "THE NAME HOLDS A CHARACTER THE FONT CANNOT SHOW"},
        Refused{"what?", "THE NAME HOLDS A SIGN NO FILE NAME MAY HOLD"},
        Refused{"a:b", "THE NAME HOLDS A SIGN NO FILE NAME MAY HOLD"}, Refused{".", "A NAME CANNOT BEGIN WITH A POINT"},
        Refused{"   ", "A NAME CANNOT BE ONLY SPACES"}, Refused{"Bowl ", "A NAME CANNOT END IN A SPACE"}}) {
    Retype(*screen, c.name);
    screen->HandleInputEvent(Key(VK_RETURN));
    EXPECT_EQ(screen->GetPanel().GetLines().back(), c.reason) << c.name;
  }
  // Letters the font cannot draw stay in the name, which is refused for them.
  Retype(*screen, "");
  for (const int letter : {int{'C'}, int{'a'}, int{'f'}, 0xE9, int{' '}, 0xDC, 0x20AC}) {
    InputEvent typed;
    typed.code = InputEvent::kKey;
    typed.y = static_cast<float>(letter);
    screen->HandleInputEvent(typed);
  }
  EXPECT_EQ(screen->GetField().GetText().size(), 7u);
  screen->HandleInputEvent(Key(VK_RETURN));
  EXPECT_EQ(screen->GetPanel().GetLines().back(), "THE NAME HOLDS A CHARACTER THE FONT CANNOT SHOW");
  EXPECT_FALSE(std::filesystem::exists(folder.GetFolder())) << "nothing written";
  // Nor does a caller that skips the screen's checks save what the screen refuses.
  for (const char* name : {"../escape", "*", "?", "\t", "a\nb", ".", " ", "Caf ", "Caf\xE9", "a:b"})
    EXPECT_FALSE(folder.Save(park.get(), name, nullptr)) << name;
  EXPECT_FALSE(std::filesystem::exists(saves.Path() + "escape.sav"));
  EXPECT_TRUE(folder.List().empty());

  // A save makes the folder and the file, which the real reader loads back.
  Retype(*screen, "Bowl 1");
  EXPECT_EQ(screen->GetPanel().GetLines()[1], "NAME  Bowl 1") << "each key shows at once";
  screen->HandleInputEvent(Key(VK_RETURN));
  EXPECT_EQ(screen->GetPanel().GetLines().back(), "GAME SAVED");
  const std::string first = testing_support::ReadBytes(folder.PathOf("Bowl 1"));
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(screen->GetGames(), std::vector<std::string>{"Bowl 1"});
  ControllerSaveFields fields;
  EXPECT_TRUE(CSavedGame::LoadFromFile(*park, fields, folder.PathOf("Bowl 1").c_str()));

  // The same name again, in another letter case: asked first; Keep leaves the file, Overwrite writes.
  park->GetParkState().money = 1234;
  Retype(*screen, "BOWL 1");
  screen->HandleInputEvent(Key(VK_RETURN));
  ASSERT_TRUE(screen->IsAsking());
  screen->HandleInputEvent(Key('X'));
  EXPECT_EQ(screen->GetField().GetText(), "BOWL 1") << "no typing while asked";
  Click(*screen, CSaveGameScreen::kKeep);
  EXPECT_FALSE(screen->IsAsking());
  EXPECT_EQ(testing_support::ReadBytes(folder.PathOf("Bowl 1")), first);
  // Choosing the listed game asks too.
  Retype(*screen, "");
  Click(*screen, CSaveGameScreen::kFirstGame);
  ASSERT_TRUE(screen->IsAsking());
  EXPECT_EQ(screen->GetField().GetText(), "Bowl 1");
  screen->HandleInputEvent(Key(VK_RETURN));
  EXPECT_EQ(screen->GetPanel().GetLines().back(), "GAME SAVED");
  const std::string second = testing_support::ReadBytes(folder.PathOf("Bowl 1"));
  EXPECT_NE(second, first);
  EXPECT_EQ(screen->GetGames(), std::vector<std::string>{"Bowl 1"});

  // Something in the way of the new file beside the old one: the save fails, says so, and the
  // earlier file is whole. (A folder where a file must go stops root as it stops anyone.)
  saves.MakeFolder(std::string(kSavedGamesFolder) + "/Bowl 1.sav.new");
  park->GetParkState().money = 99;
  Click(*screen, CSaveGameScreen::kFirstGame);
  Click(*screen, CSaveGameScreen::kOverwrite);
  EXPECT_EQ(screen->GetPanel().GetLines().back(), "THE GAME COULD NOT BE SAVED");
  EXPECT_EQ(testing_support::ReadBytes(folder.PathOf("Bowl 1")), second);
  // A folder without write permission stops every user but root, who writes anyway: checked where
  // it means something.
  namespace fs = std::filesystem;
  fs::remove(folder.GetFolder() + "/Bowl 1.sav.new");
  fs::permissions(folder.GetFolder(), fs::perms::owner_read | fs::perms::owner_exec);
  const bool stillWritable = std::ofstream(folder.GetFolder() + "/probe").is_open();
  if (!stillWritable) {
    Click(*screen, CSaveGameScreen::kFirstGame);
    Click(*screen, CSaveGameScreen::kOverwrite);
    EXPECT_EQ(screen->GetPanel().GetLines().back(), "THE GAME COULD NOT BE SAVED");
    EXPECT_EQ(testing_support::ReadBytes(folder.PathOf("Bowl 1")), second);
  }
  fs::permissions(folder.GetFolder(), fs::perms::owner_all);
  // A folder that cannot be made (a file has its name).
  TempFolder blocked;
  blocked.Write(kSavedGamesFolder, "a file");
  auto* other = Push(std::make_unique<CSaveGameScreen>(blocked.Path()));
  other->HandleInputEvent(Key(VK_RETURN));
  EXPECT_EQ(other->GetPanel().GetLines().back(), "THE GAME COULD NOT BE SAVED");
  EXPECT_EQ(testing_support::ReadBytes(blocked.Path() + kSavedGamesFolder), "a file");

  // More games than a page holds: NEXT PAGE shows the seventh, whose button asks about it, and
  // PREVIOUS PAGE brings the first six back.
  TempFolder many;
  for (int i = 1; i <= 7; ++i) many.Write(std::string(kSavedGamesFolder) + "/g" + std::to_string(i) + ".sav", "x");
  auto* paged = Push(std::make_unique<CSaveGameScreen>(many.Path()));
  const auto listed = [&] {
    std::vector<std::string> names;
    for (const CButtonPanel::Button& b : paged->GetPanel().GetButtons())
      if (b.command >= CSaveGameScreen::kFirstGame) names.push_back(b.text);
    return names;
  };
  const auto enabled = [&](int command) {
    for (const CButtonPanel::Button& b : paged->GetPanel().GetButtons())
      if (b.command == command) return b.enabled;
    return false;
  };
  const std::vector<std::string> firstPage = {"g1", "g2", "g3", "g4", "g5", "g6"};
  EXPECT_EQ(listed(), firstPage);
  EXPECT_FALSE(enabled(CSaveGameScreen::kPreviousPage)) << "no page before the first";
  EXPECT_TRUE(enabled(CSaveGameScreen::kNextPage));
  Click(*paged, CSaveGameScreen::kNextPage);
  EXPECT_EQ(listed(), std::vector<std::string>{"g7"});
  EXPECT_TRUE(enabled(CSaveGameScreen::kPreviousPage));
  EXPECT_FALSE(enabled(CSaveGameScreen::kNextPage)) << "no page after the last";
  Click(*paged, CSaveGameScreen::kFirstGame + 6);
  EXPECT_TRUE(paged->IsAsking());
  EXPECT_EQ(paged->GetField().GetText(), "g7");
  Click(*paged, CSaveGameScreen::kKeep);
  Click(*paged, CSaveGameScreen::kPreviousPage);
  EXPECT_EQ(listed(), firstPage);
  // A command past the last game stands for none.
  EXPECT_EQ(SavedGamePages({"a", "b"}, {0, 1, 2}).GameOf(4), nullptr);
  EXPECT_EQ(*SavedGamePages({"a", "b"}, {0, 1, 2}).GameOf(3), "b");
  // Six games fill one page, which has no page buttons.
  std::filesystem::remove(many.Path() + kSavedGamesFolder + "/g7.sav");
  paged = Push(std::make_unique<CSaveGameScreen>(many.Path()));
  EXPECT_EQ(listed(), firstPage);
  EXPECT_EQ(paged->GetPanel().GetButtons().size(), 8u) << "SAVE, six games, BACK";
}

// The load screen over a running game and from the menu: the list by name a page at a time, a file
// that is no saved game and one that does not load told on screen with the park (or the menu) as
// it was, and a good one loaded.
TEST_F(Screens, TheLoadScreenListsPagesAndLoadsOrSaysWhyNot) {
  ASSERT_TRUE(StartDemo());
  TempFolder saves;
  const SavedGameFolder folder(saves.Path());
  ASSERT_TRUE(folder.Save(park.get(), "good", nullptr));
  const std::string good = testing_support::ReadBytes(folder.PathOf("good"));
  // Version 12 and level 0, then nothing a park is made of; version 7, too old to name its level.
  saves.Write(std::string(kSavedGamesFolder) + "/Broken.sav",
              std::string("\x0c\x00\x00\x00\x00", 5) + std::string(400, 'x'));
  saves.Write(std::string(kSavedGamesFolder) + "/old.sav", std::string("\x07\x00\x00\x00\x00", 5));
  for (const char* name : {"a1", "B2", "c3", "D4", "e5"})
    saves.Write(std::string(kSavedGamesFolder) + "/" + name + ".sav", good);
  saves.Write(std::string(kSavedGamesFolder) + "/notes.txt", "not listed");
  saves.MakeFolder(std::string(kSavedGamesFolder) + "/folder.sav");
  park->GetParkState().money = 4242;

  Push(std::make_unique<CEscapeMenuScreen>(saves.Path(), Root()));
  auto* screen = Push(std::make_unique<CLoadGameScreen>(saves.Path(), Root()));
  EXPECT_TRUE(screen->IsModal() && screen->GetClearScreen());
  EXPECT_EQ(screen->GetPanel().GetTitle(), "LOAD GAME");
  const std::vector<std::string> all = {"a1", "B2", "Broken", "c3", "D4", "e5", "good", "old"};
  EXPECT_EQ(screen->GetGames(), all) << "by name, without regard to case";
  EXPECT_EQ(screen->GetPanel().GetLines().front(), "CHOOSE A GAME, PAGE 1 OF 2");
  EXPECT_EQ(screen->ButtonOf("a1"), 0);
  EXPECT_EQ(screen->ButtonOf("good"), -1) << "on the next page";
  // A double click on NEXT PAGE turns one page: the short last page keeps the panel's height and
  // every button after its games in place, so the second click lands on NEXT PAGE again (which has
  // no page to turn to), not on BACK.
  const RECT firstPage = screen->GetPanel().GetPanelRect();
  const RECT nextButton = ButtonRect(*screen, CLoadGameScreen::kNextPage);
  for (int click = 0; click < 2; ++click) {
    screen->HandleInputEvent(Mouse(InputEvent::kButtonPress, nextButton));
    screen->HandleInputEvent(Mouse(InputEvent::kButtonRelease, nextButton));
  }
  EXPECT_FALSE(screen->IsMarkedForRemoval());
  EXPECT_EQ(screen->GetPanel().GetLines().front(), "CHOOSE A GAME, PAGE 2 OF 2");
  EXPECT_EQ(screen->ButtonOf("good"), 0);
  EXPECT_EQ(screen->ButtonOf("old"), 1);
  const RECT lastPage = screen->GetPanel().GetPanelRect();
  EXPECT_TRUE(lastPage.top == firstPage.top && lastPage.bottom == firstPage.bottom);
  EXPECT_EQ(ButtonRect(*screen, CLoadGameScreen::kNextPage).top, nextButton.top);
  EXPECT_FALSE(screen->GetPanel().GetButtons()[7].enabled) << "no page after the last";
  Click(*screen, CLoadGameScreen::kPreviousPage);
  EXPECT_EQ(screen->ButtonOf("a1"), 0);

  const CGrid* grid = park->GetGrid();
  for (const auto& [name, said] : {std::pair<std::string, std::string>{"old", "THIS FILE IS NO SAVED GAME"},
                                   {"Broken", "THAT GAME COULD NOT BE LOADED"}}) {
    const size_t index = static_cast<size_t>(std::find(all.begin(), all.end(), name) - all.begin());
    Click(*screen,
          index < CLoadGameScreen::kGamesPerPage ? CLoadGameScreen::kPreviousPage : CLoadGameScreen::kNextPage);
    Click(*screen, CLoadGameScreen::kFirstGame + static_cast<int>(index));
    EXPECT_EQ(screen->GetPanel().GetLines().back(), said) << name;
    EXPECT_EQ(LiveLayers(*park),
              (std::vector<std::string>{"Controller", "BuildPalette", "EscapeMenuScreen", "LoadGameScreen"}));
    EXPECT_EQ(park->GetGrid(), grid);
    EXPECT_EQ(park->GetParkState().money, 4242) << "the running park as it was";
  }
  // A good one loads in place, under the file's park name; the screen and the escape menu go.
  park->GetParkState().SetParkName("Renamed");
  Click(*screen, CLoadGameScreen::kFirstGame);
  EXPECT_EQ(park->GetParkState().money, kStartingMoneyMedium);
  EXPECT_STREQ(park->GetParkState().parkName, "Harbour Bowl");
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette"}));
  park->Tick(0.033f);
  EXPECT_FALSE(CEscapeMenuScreen::IsOpen());

  // From the menu a file that does not load leaves the menu, with the list saying so on top.
  QuitToMainMenu(park.get());
  park->Tick(0.033f);
  screen = Push(std::make_unique<CLoadGameScreen>(saves.Path(), Root()));
  Click(*screen, CLoadGameScreen::kFirstGame + 2);
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"MainScreen", "LoadGameScreen"}));
  auto* again = dynamic_cast<CLoadGameScreen*>(Top());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->GetPanel().GetLines().back(), "THAT GAME COULD NOT BE LOADED");
  EXPECT_EQ(park->GetGrid(), nullptr);
  EXPECT_EQ(park->GetController(), nullptr);
  // And one that loads starts its level.
  Click(*again, CLoadGameScreen::kFirstGame);
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette"}));
  EXPECT_NE(park->GetGrid(), nullptr);
  EXPECT_STREQ(park->GetParkState().parkName, "Harbour Bowl");
}

// Files that cannot load, chosen over a running game: each leaves the park byte for byte as it was,
// with the game's layers, and says why.
TEST_F(Screens, ALoadThatCannotHappenLeavesTheRunningParkAsItWas) {
  ASSERT_TRUE(StartDemo());
  CGrid* grid = park->GetGrid();
  TempFolder files;
  const SavedGameFolder folder(files.Path());
  ASSERT_TRUE(folder.Save(park.get(), "good", nullptr));
  const std::string good = testing_support::ReadBytes(folder.PathOf("good"));
  ASSERT_EQ(good[4], 0);
  park->GetParkState().money = 4242;
  const auto running = [&] {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(CSavedGame::Save(*park, ControllerSaveFields(), bytes));
    return bytes;
  };
  std::mt19937 random(7);
  std::string noise(5000, '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  const auto changed = [&](size_t at, uint8_t value) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(value);
    return bytes;
  };
  std::string head = std::string("\x0c\x00\x00\x00\x00", 5) + "Hilltop";
  head.resize(SavedParkBlock::kHeadSize, '\0');
  constexpr size_t kRowLevel = SavedParkBlock::kSize - 25;  // the rows' copy of the level
  ASSERT_EQ(good[kRowLevel], 0);
  struct Case {
    const char* name;
    std::string bytes;
    SavedGameLoad result;
  };
  const Case cases[] = {{"short", std::string("\x0c\x00\x00", 3), SavedGameLoad::kUnreadable},
                        {"old", std::string("\x07\x00\x00\x00\x00", 5), SavedGameLoad::kUnreadable},
                        {"noise", noise, SavedGameLoad::kUnreadable},
                        {"newer", changed(0, 13), SavedGameLoad::kUnreadable},
                        {"level1", changed(4, 1), SavedGameLoad::kLevelMissing},
                        {"level7", changed(4, 7), SavedGameLoad::kLevelMissing},
                        {"level255", changed(4, 255), SavedGameLoad::kLevelMissing},
                        {"rows7", changed(kRowLevel, 7), SavedGameLoad::kNotLoaded},
                        {"cut", good.substr(0, good.size() - 9), SavedGameLoad::kNotLoaded},
                        {"head", head, SavedGameLoad::kNotLoaded}};
  // Over a game of the file's level, and over one of another level (whose park the file would
  // replace with a new game of its own level).
  for (const uint8_t runningLevel : {0, 3}) {
    park->GetParkState().levelIndex = runningLevel;
    const std::vector<uint8_t> before = running();
    EXPECT_EQ(LoadSavedGame(park.get(), (files.Path() + "missing.sav").c_str(), Root()), SavedGameLoad::kUnreadable);
    for (const Case& c : cases) {
      const std::string path = files.Write(c.name + std::string(".sav"), c.bytes);
      EXPECT_EQ(LoadSavedGame(park.get(), path.c_str(), Root()), c.result) << c.name << " over level " << +runningLevel;
      EXPECT_EQ(park->GetGrid(), grid) << c.name;
      EXPECT_TRUE(running() == before) << c.name << " over level " << +runningLevel;
      EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette"})) << c.name;
    }
  }
  park->GetParkState().levelIndex = 0;
  EXPECT_STREQ(park->GetParkState().parkName, "Harbour Bowl");
  // The load screen says why, over the game.
  TempFolder listed;
  listed.Write(std::string(kSavedGamesFolder) + "/level7.sav", cases[5].bytes);
  Push(std::make_unique<CEscapeMenuScreen>(listed.Path(), Root()));
  auto* screen = Push(std::make_unique<CLoadGameScreen>(listed.Path(), Root()));
  Click(*screen, CLoadGameScreen::kFirstGame);
  EXPECT_EQ(screen->GetPanel().GetLines().back(), "THE LEVEL OF THAT GAME IS MISSING");
  EXPECT_EQ(LiveLayers(*park),
            (std::vector<std::string>{"Controller", "BuildPalette", "EscapeMenuScreen", "LoadGameScreen"}));
}

// A game loaded in place starts, as every game started by loading a file, from a reset park
// record: what the file does not hold does not stay from the running park.
TEST_F(Screens, AGameLoadedInPlaceStartsFromAResetParkRecord) {
  ASSERT_TRUE(StartDemo());
  TempFolder files;
  const SavedGameFolder folder(files.Path());
  ParkState& state = park->GetParkState();
  state.spentOnBuilding = 321.0;
  state.skatersEntered = 4;
  ASSERT_TRUE(folder.Save(park.get(), "v12", nullptr));
  // Version 10 lacks the controller's three figures, the seven totals and the two skater counts,
  // which follow the head and the saved word.
  std::string v10 = testing_support::ReadBytes(folder.PathOf("v12"));
  v10.erase(SavedParkBlock::kHeadSize + 4, 12 + 56 + 8);
  v10[0] = 10;
  const std::string older = files.Write(std::string(kSavedGamesFolder) + "/v10.sav", v10);
  const auto play = [&] {
    state.earnedFromResale = 55.0;  // never saved
    state.spentOnBuilding = 999.0;
    state.skatersEntered = 7;
  };
  play();
  ASSERT_EQ(LoadSavedGame(park.get(), folder.PathOf("v12").c_str(), Root()), SavedGameLoad::kLoaded);
  EXPECT_EQ(state.earnedFromResale, 0.0);
  EXPECT_EQ(state.spentOnBuilding, 321.0);
  EXPECT_EQ(state.skatersEntered, 4u);
  play();
  ASSERT_EQ(LoadSavedGame(park.get(), older.c_str(), Root()), SavedGameLoad::kLoaded);
  EXPECT_EQ(state.earnedFromResale, 0.0);
  EXPECT_EQ(state.spentOnBuilding, 0.0);
  EXPECT_EQ(state.skatersEntered, 0u);
  EXPECT_EQ(state.money, kStartingMoneyMedium);
  EXPECT_EQ(state.levelIndex, 0);
  EXPECT_STREQ(state.parkName, "Harbour Bowl");
  // The plain reader (the debug keys' quick load) reads over the running park's record.
  play();
  ControllerSaveFields fields;
  ASSERT_TRUE(CSavedGame::LoadFromFile(*park, fields, older.c_str()));
  EXPECT_EQ(state.spentOnBuilding, 999.0);
}

TEST_F(Screens, ThePaletteBuysAPieceThePlayerCanAffordAndHandsItOn) {
  ASSERT_TRUE(StartDemo(1000));
  CBuildPalette* palette = nullptr;
  for (size_t i = 0; i < park->GetLayerCount(); ++i)
    if (auto* p = dynamic_cast<CBuildPalette*>(park->GetLayer(i))) palette = p;
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->GetPanel().GetButtons().size(), 9u) << "four section and five facility categories";
  EXPECT_EQ(palette->GetPanel().GetTitle(), "BUILD");
  std::vector<std::string> categories;
  for (const CButtonPanel::Button& b : palette->GetPanel().GetButtons()) categories.push_back(b.text);
  palette->HandleInputEvent(Key('1'));  // Ramps
  ASSERT_EQ(palette->GetOpenCategory(), 0);
  EXPECT_EQ(palette->GetPanel().GetTitle(), categories[0]);
  const auto& buttons = palette->GetPanel().GetButtons();
  ASSERT_EQ(buttons.size(), 3u);  // launch ramp, quarter pipe, back
  EXPECT_EQ(buttons[0].text, "Launch ramp 800");
  EXPECT_TRUE(buttons[0].enabled);
  EXPECT_FALSE(buttons[1].enabled) << "the quarter pipe waits for its sponsorship";
  palette->HandleInputEvent(Key('2'));
  EXPECT_EQ(palette->GetLastPurchase(), 0u);
  // Over an item the status text beside the cursor names it and its price.
  CInputMan input;  // the layers read the pointer from the world's input manager
  park->SetInputManager(&input);
  const RECT first = palette->GetPanel().GetButtonRect(0);
  plat::SetCursorScreenPos((first.left + first.right) / 2, (first.top + first.bottom) / 2);
  park->mouseOverUI = 0;
  palette->Update(0.033f);
  EXPECT_EQ(park->mouseOverUI, 1) << "the park does no picking under the palette";
  EXPECT_STREQ(park->GetStatusLabelText(), "\x01" "Launch ramp, COST 800" "\x02");
  RecordingRasterizer r(640, 480);  // drawn beside the palette, not over the item's own label
  CRenderView view;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  PixelBufferDesc* locked = nullptr;
  park->DrawOverlay(&view, &locked);
  const std::pair<int, int> lit = LitInAndOut(r, 640, palette->GetPanel().GetPanelRect());
  EXPECT_TRUE(lit.first == 0 && lit.second > 0) << lit.first;
  const RECT second = palette->GetPanel().GetButtonRect(1);
  plat::SetCursorScreenPos((second.left + second.right) / 2, (second.top + second.bottom) / 2);
  park->mouseOverUI = 0;  // the layer pass clears it every tick
  palette->Update(0.033f);
  EXPECT_STREQ(park->GetStatusLabelText(), "\x01" "NEEDS A SPONSOR" "\x02");
  plat::SetCursorScreenPos(600, 470);
  park->mouseOverUI = 0;
  palette->Update(0.033f);
  EXPECT_EQ(park->mouseOverUI, 0) << "away from the palette the park picks again";

  // With a piece in hand an item is refused, and the text beside the pointer says why.
  GetGameHooks().heldPiece = InHand;
  g_inHand = 77;
  plat::SetCursorScreenPos((first.left + first.right) / 2, (first.top + first.bottom) / 2);
  park->mouseOverUI = 0;
  palette->Update(0.033f);
  EXPECT_STREQ(park->GetStatusLabelText(), (std::string("\x01") + kHandFullText + "\x02").c_str());
  park->mouseOverUI = 0;  // the next layer pass clears it
  Click(*palette, 0);
  EXPECT_EQ(palette->GetLastPurchase(), 0u);
  EXPECT_EQ(park->GetMoney(), 1000.0);
  g_inHand = 0;
  park->SetInputManager(nullptr);

  Click(*palette, 0);
  const uint32_t id = palette->GetLastPurchase();
  auto* piece = dynamic_cast<CSkatableSection*>(park->GetObjectByID(id));
  ASSERT_NE(piece, nullptr);
  EXPECT_TRUE(piece->IsHeld());
  EXPECT_STREQ(piece->GetName(), "Launch ramp");
  EXPECT_EQ(park->GetMoney(), 200.0);
  EXPECT_EQ(park->GetParkState().spentOnBuilding, 800.0);
  // 200 left: the ramp is out of reach now, pressing it buys nothing, and the text beside the
  // pointer says why.
  palette->Update(0.033f);
  palette->HandleInputEvent(Key('1'));
  EXPECT_EQ(park->GetMoney(), 200.0);
  EXPECT_FALSE(palette->GetPanel().GetButtons()[0].enabled);
  park->SetInputManager(&input);
  plat::SetCursorScreenPos((first.left + first.right) / 2, (first.top + first.bottom) / 2);
  park->mouseOverUI = 0;
  palette->Update(0.033f);
  EXPECT_STREQ(park->GetStatusLabelText(),
               "\x01"
               "NOT ENOUGH MONEY, IT COSTS 800"
               "\x02");
  park->SetInputManager(nullptr);
  palette->HandleInputEvent(Key('B'));
  EXPECT_EQ(palette->GetOpenCategory(), -1);
  // Back at the categories, and again after another round trip: the same nine, none doubled.
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> shown;
    for (const CButtonPanel::Button& b : palette->GetPanel().GetButtons()) shown.push_back(b.text);
    EXPECT_EQ(shown, categories) << round;
    EXPECT_EQ(palette->GetPanel().GetTitle(), "BUILD") << round;
    palette->HandleInputEvent(Key('2'));
    EXPECT_EQ(palette->GetOpenCategory(), 1);
    palette->HandleInputEvent(Key('B'));
  }
  // Money shows in whole units toward zero; money past what a line can show (no park holds it)
  // shows as the most it can, never converted out of an integer's range.
  park->GetParkState().moneyFraction = 0.75;
  palette->Update(0.033f);
  EXPECT_EQ(palette->GetPanel().GetLines(), std::vector<std::string>{"MONEY 200"});
  park->GetParkState().moneyFraction = 1e300;
  palette->Update(0.033f);
  EXPECT_EQ(palette->GetPanel().GetLines(), std::vector<std::string>{"MONEY 999999999999999"});
  EXPECT_EQ(MoneyText(-1e300), "-999999999999999");
  EXPECT_EQ(MoneyText(-0.5), "0");
  EXPECT_EQ(MoneyText(std::nan("")), "0");
  EXPECT_EQ(MoneyText(-INFINITY), "-999999999999999");
}

// A pop-up opened over the palette hides it whole: the palette's buttons that would show below the
// pop-up are neither drawn nor pressed, by the pointer or by their keys, until the pop-up goes.
// The park's display beside them stays.
TEST_F(Screens, APopupOverThePaletteHidesItsButtonsUntilItGoes) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_NE(palette, nullptr);
  CInputMan input;
  park->SetInputManager(&input);
  const uint32_t rampId = BuyPieceForPlayer(*park, *Definition("Launch ramp"), -1);
  park->Tick(0.033f);
  CMenuLayer* popup = Push(std::make_unique<CSectionPopup>(rampId));
  park->Tick(0.033f);
  const size_t last = palette->GetPanel().GetButtons().size() - 1;
  const RECT hidden = palette->GetPanel().GetButtonRect(last);
  const RECT over = popup->GetPanel().GetPanelRect();
  ASSERT_GT(hidden.top, over.bottom) << "the palette's last button lies below the pop-up";
  EXPECT_TRUE(palette->IsCoveredFromAbove());
  EXPECT_FALSE(popup->IsCoveredFromAbove());

  RecordingRasterizer r(640, 480);
  CRenderView view;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  park->Render(&view);
  const std::pair<int, int> button = LitInAndOut(r, 640, hidden);
  const std::pair<int, int> display = LitInAndOut(r, 640, palette->GetDisplay().GetPanelRect());
  EXPECT_EQ(button.first, 0) << "nothing of the palette shows below the pop-up";
  EXPECT_GT(display.first, 0) << "the park's display is drawn";

  // A click there reaches the park, not the palette, and neither do the palette's keys.
  plat::SetCursorScreenPos((hidden.left + hidden.right) / 2, (hidden.top + hidden.bottom) / 2);
  park->Tick(0.033f);
  EXPECT_EQ(park->mouseOverUI, 0);
  input.SetButtonDown(0, true);
  input.QueueEvent(Mouse(InputEvent::kButtonPress, hidden));
  park->Tick(0.033f);
  input.SetButtonDown(0, false);
  input.QueueEvent(Mouse(InputEvent::kButtonRelease, hidden));
  input.QueueEvent(Key('6'));
  park->Tick(0.033f);
  EXPECT_EQ(palette->GetOpenCategory(), -1);

  // The pop-up goes while a press made over it is still held: the palette is drawn and answers
  // again, but that press is not taken for one on its button; the next one is.
  const auto mouse = [&](bool down) {
    input.SetButtonDown(0, down);
    input.QueueEvent(Mouse(down ? InputEvent::kButtonPress : InputEvent::kButtonRelease, hidden));
    park->Tick(0.033f);
  };
  mouse(true);
  popup->MarkForRemoval();
  park->Tick(0.033f);
  EXPECT_FALSE(palette->IsCoveredFromAbove());
  std::fill(r.frame.begin(), r.frame.end(), 0);
  park->Render(&view);
  EXPECT_GT(LitInAndOut(r, 640, hidden).first, 0);
  mouse(false);
  EXPECT_EQ(palette->GetOpenCategory(), -1);
  mouse(true);
  mouse(false);
  EXPECT_EQ(palette->GetOpenCategory(), static_cast<int>(last));
  input.QueueEvent(Key('B'));
  input.QueueEvent(Key('6'));
  park->Tick(0.033f);
  EXPECT_EQ(palette->GetOpenCategory(), 5);
  park->SetInputManager(nullptr);
}

// Every label of the palette stays on its button: one too wide for the alphabet is written in the
// smaller built-in font, and the panel beside the buttons keeps its plain colour.
TEST_F(Screens, EveryPaletteLabelStaysOnItsButton) {
  CBuildPalette* palette = StartDemoWithFonts();
  ASSERT_NE(palette, nullptr);
  const CSprite* font = park->GetFontSet()->alphabet14;
  ASSERT_NE(font, nullptr);
  int tooWide = 0, labels = 0;
  const size_t categories = palette->GetPanel().GetButtons().size();
  for (size_t c = 0; c <= categories; ++c) {
    if (c > 0) palette->HandleInputEvent(Key('1' + static_cast<int>(c) - 1));
    RecordingRasterizer r(640, 480);
    CRenderView view;
    view.Setup(&r, nullptr, nullptr, nullptr, 31);
    PixelBufferDesc* locked = nullptr;
    palette->Draw(&view, &locked);
    ASSERT_NE(locked, nullptr);
    const DrawSurface surface = MakeDrawSurface(*locked);
    const auto fill = static_cast<uint16_t>(TinyFont::PackColour(surface, CButtonPanel::kPanelColour));
    const RECT panel = palette->GetPanel().GetPanelRect();
    const auto& buttons = palette->GetPanel().GetButtons();
    for (size_t i = 0; i < buttons.size(); ++i) {
      ++labels;
      tooWide += SpriteText::Width(font, buttons[i].text.c_str()) > CButtonPanel::kButtonWidth;
      const RECT b = palette->GetPanel().GetButtonRect(i);
      int stray = 0;
      for (int y = b.top; y < b.bottom; ++y)
        for (int x = panel.left + 1; x < panel.right - 1; ++x)
          if (x < b.left || x >= b.right) stray += r.frame[static_cast<size_t>(y) * 640 + x] != fill;
      EXPECT_EQ(stray, 0) << buttons[i].text;
    }
    if (c > 0) palette->HandleInputEvent(Key('B'));
  }
  EXPECT_GT(labels, 20);
  EXPECT_GT(tooWide, 0) << "some item's name and price are wider than a button in the alphabet";
}

// The park's display reads the park's own clock and record: the day and time of day, the piece
// scores, the skaters' averages and how many skaters the park draws, and says when it draws none.
TEST_F(Screens, TheParksDisplayShowsItsClockAndFigures) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_NE(palette, nullptr);
  park->GetClock().SetTime(2, 3, 14.8);
  ParkState& s = park->GetParkState();
  s.variety = 0.5f, s.connectivity = 0.25f, s.capacity = 12.9f, s.averageSkill = 0.375f, s.averageHappiness = 0.625f;
  park->Tick(0.0f);
  EXPECT_EQ(palette->GetDisplay().GetTitle(), "HARBOUR BOWL");
  const std::string skaters = std::to_string(GetSkaterList().size());
  EXPECT_EQ(palette->GetDisplay().GetLines(),
            (std::vector<std::string>{"WEEK 2 DAY 3 2:45 P.M.", "VARIETY 0.50", "CONNECTIVITY 0.25", "CAPACITY 12.9",
                                      "AVERAGE SKILL 0.38", "HAPPINESS 0.62", "SKATERS " + skaters + " OF 4"}));
  EXPECT_EQ(park->GetArrivalTarget(), 4.0) << "(0.5 + 0.25 + 0.001) x 0.5 x 12, cut";
  // An empty new park draws nobody, and the display says what it waits for.
  s.variety = s.connectivity = 0.0f;
  s.capacity = 0.0f;
  park->Tick(0.0f);
  const std::vector<std::string>& lines = palette->GetDisplay().GetLines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[6], "SKATERS " + skaters + " OF 0");
  EXPECT_EQ(lines[7], CParkDisplay::kNobodyComes);
  EXPECT_EQ(lines[8], CParkDisplay::kNobodyComesWhy);
}

TEST_F(Screens, PopupsSellChangeFeesAndCloseWhenTheirPieceGoes) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  const ObjectDefinition* ramp = Definition("Launch ramp");
  const ObjectDefinition* snacks = Definition("Snack stand");
  ASSERT_TRUE(ramp != nullptr && snacks != nullptr);
  const uint32_t rampId = BuyPieceForPlayer(*park, *ramp, -1);
  const uint32_t standId = BuyPieceForPlayer(*park, *snacks, -1);
  ASSERT_TRUE(rampId != 0 && standId != 0);
  ASSERT_NE(dynamic_cast<CSkatableFacility*>(park->GetObjectByID(standId)), nullptr);
  EXPECT_NE(dynamic_cast<CSkatableFacility*>(park->GetObjectByID(BuyPieceForPlayer(*park, *Definition("Restroom"), -1))), nullptr);
  const double before = park->GetMoney();
  // A piece without a mesh cannot be made: nothing is bought, and the sale below shows nothing was charged.
  ObjectDefinition meshless = *ramp;
  meshless.mesh = -1;
  EXPECT_EQ(BuyPieceForPlayer(*park, meshless, -1), 0u);

  CSectionPopup* popup = Push(std::make_unique<CSectionPopup>(rampId));
  EXPECT_EQ(popup->GetPanel().GetButtons().size(), 2u);
  const double resale = dynamic_cast<CSkatableSection*>(park->GetObjectByID(rampId))->GetResaleValue();
  Click(*popup, CSectionPopup::kSell);
  EXPECT_DOUBLE_EQ(park->GetMoney(), before + resale);
  EXPECT_TRUE(park->GetObjectByID(rampId)->IsMarkedForRemoval());
  EXPECT_TRUE(popup->IsMarkedForRemoval());

  CFacilityPopup* fees = Push(std::make_unique<CFacilityPopup>(standId));
  auto* stand = dynamic_cast<CSkatableFacility*>(park->GetObjectByID(standId));
  const float fee = stand->GetUseFee();
  fees->HandleInputEvent(Key('U'));
  EXPECT_EQ(stand->GetUseFee(), fee + 1.0f);
  for (int i = 0; i < 10; ++i) fees->HandleInputEvent(Key('D'));
  EXPECT_EQ(stand->GetUseFee(), 0.0f) << "never below nothing";
  EXPECT_EQ(fees->GetPanel().GetLines()[0], "FEE 0");
  stand->SetUseFee(2.5f);  // a catalog fee with a fraction shows it: skaters pay it
  fees->HandleInputEvent(Key('U'));
  EXPECT_EQ(fees->GetPanel().GetLines()[0], "FEE 3.50");
  EXPECT_FALSE(fees->IsMarkedForRemoval());
  stand->MarkForRemoval();
  fees->Update(0.033f);
  EXPECT_TRUE(fees->IsMarkedForRemoval()) << "its facility went";
  // A pop-up for something that is not there closes at once.
  EXPECT_TRUE(CSectionPopup(123456).IsMarkedForRemoval());
  EXPECT_TRUE(CFacilityPopup(rampId).IsMarkedForRemoval());

  // With a controller the sale is handed to it and counts as made; the terrain is never sold.
  static uint32_t handed = 0;
  GetGameHooks().sellPiece = [](CVerezIvor&, uint32_t piece) { handed = piece; };
  const uint32_t again = BuyPieceForPlayer(*park, *ramp, -1);
  EXPECT_TRUE(SellPieceForPlayer(*park, again));
  EXPECT_EQ(handed, again);
  EXPECT_FALSE(SellPieceForPlayer(*park, park->GetGrid()->GetTerrainId()));
  EXPECT_EQ(handed, again);
}

TEST_F(Screens, HoldingTheMouseOnAPaletteItemBuysOnePiece) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  CBuildPalette* palette = nullptr;
  for (size_t i = 0; i < park->GetLayerCount(); ++i)
    if (auto* p = dynamic_cast<CBuildPalette*>(park->GetLayer(i))) palette = p;
  ASSERT_NE(palette, nullptr);
  palette->HandleInputEvent(Key('1'));  // Ramps
  CInputMan input;
  park->SetInputManager(&input);
  const RECT ramp = palette->GetPanel().GetButtonRect(0);
  plat::SetCursorScreenPos((ramp.left + ramp.right) / 2, (ramp.top + ramp.bottom) / 2);
  auto tick = [&] {
    park->mouseOverUI = 0;  // the layer pass clears it every tick
    palette->Update(0.033f);
  };
  const double before = park->GetMoney();
  // The ramp is offered while the park can just afford it, and not a unit short of it.
  park->AddMoney(static_cast<float>(800.0 - before));
  tick();
  EXPECT_TRUE(palette->GetPanel().GetButtons()[0].enabled);
  park->AddMoney(-1.0f);
  tick();
  EXPECT_FALSE(palette->GetPanel().GetButtons()[0].enabled);
  park->AddMoney(static_cast<float>(before - 799.0));
  input.SetButtonDown(0, true);
  for (int i = 0; i < 10; ++i) tick();
  const uint32_t first = palette->GetLastPurchase();
  input.SetButtonDown(0, false);
  tick();
  input.SetButtonDown(0, true);
  tick();
  EXPECT_EQ(park->GetMoney(), before - 1600.0) << "ten ticks held, one ramp; released and pressed again, a second";
  EXPECT_NE(palette->GetLastPurchase(), first);
  park->SetInputManager(nullptr);
}

TEST_F(Screens, TheSectionPopupIsDrawnInTheTopLeftCorner) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  const uint32_t rampId = BuyPieceForPlayer(*park, *Definition("Launch ramp"), -1);
  ASSERT_NE(rampId, 0u);
  CSectionPopup popup(rampId);
  RecordingRasterizer r(640, 480);
  CRenderView view;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  PixelBufferDesc* locked = nullptr;
  popup.Draw(&view, &locked);
  ASSERT_NE(locked, nullptr);
  // The bounds of everything it drew: its border, 8 pixels in from the top and left edges.
  int left = 640, top = 480, right = -1, bottom = -1;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (r.frame[static_cast<size_t>(y) * 640 + x] != 0) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  EXPECT_EQ(left, 8);
  EXPECT_EQ(top, 8);
  const DrawSurface s = MakeDrawSurface(*locked);
  EXPECT_EQ(r.frame[8 * 640 + 8], static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kBorderColour)));
  const RECT box = popup.GetPanel().GetPanelRect();
  EXPECT_TRUE(box.left == left && box.top == top && box.right == right + 1 && box.bottom == bottom + 1)
      << "its buttons answer where they are drawn";
}

namespace {

// The characters of a panel's texts that its font cannot draw, each with its text.
std::string Undrawable(const CButtonPanel& panel) {
  std::vector<std::string> texts = panel.GetLines();
  texts.push_back(panel.GetTitle());
  for (const CButtonPanel::Button& b : panel.GetButtons()) texts.push_back(b.text);
  std::string out;
  for (const std::string& text : texts)
    for (const char c : text)
      if (!SpriteText::CanDraw(panel.GetFont(), c)) out += std::string("'") + c + "' in \"" + text + "\"\n";
  return out;
}

// Along one axis: a panel keeps its distance to the edge it lies nearer to in the 640 x 480 frame,
// or stays in the middle when it was there.
bool SamePlace(LONG lo, LONG hi, int size, LONG bigLo, LONG bigHi, int bigSize) {
  if (bigHi - bigLo != hi - lo) return false;
  if (std::abs(lo + hi - size) <= 1) return std::abs(bigLo + bigHi - bigSize) <= 1;
  return lo + hi < size ? bigLo == lo : bigSize - bigHi == size - hi;
}

}  // namespace

// Every panel of a game and of the front end, drawn at every size the settings offer, keeps its
// place against the frame's edges; and every text it writes - names, thoughts, figures and
// prices among them - is drawable in the font it is written in.
TEST_F(Screens, EveryPanelKeepsItsPlaceAtEverySizeAndWritesOnlyWhatItsFontDraws) {
  CBuildPalette* palette = StartDemoWithFonts();
  ASSERT_NE(palette, nullptr);
  const uint32_t skater = park->SpawnSkater();
  park->SetPlayerSkaterId(skater);
  TempFolder saves;
  std::vector<std::unique_ptr<CMenuLayer>> layers;
  layers.push_back(std::make_unique<CMainScreen>(Root(), saves.Path()));
  layers.push_back(std::make_unique<CNewGameScreen>(Root()));
  layers.push_back(std::make_unique<CEscapeMenuScreen>(saves.Path(), Root()));
  layers.push_back(std::make_unique<CSaveGameScreen>(saves.Path()));
  layers.push_back(std::make_unique<CLoadGameScreen>(saves.Path(), Root()));
  layers.push_back(std::make_unique<CSettingsScreen>(true));
  layers.push_back(std::make_unique<CSponsorshipNotice>(0));
  layers.push_back(std::make_unique<CSectionPopup>(BuyPieceForPlayer(*park, *Definition("Launch ramp"), -1)));
  layers.push_back(std::make_unique<CFacilityPopup>(BuyPieceForPlayer(*park, *Definition("Snack stand"), -1)));
  layers.push_back(std::make_unique<CSkaterPopup>(skater));
  layers.push_back(std::make_unique<CExitPerspective>());
  layers.push_back(std::make_unique<CSkaterPlayerInterface>());
  for (auto& layer : layers) layer->Update(0.033f);  // their texts as the first tick shows them
  const auto placeAt = [](CMenuLayer& layer, const CButtonPanel& panel, int w, int h) {
    RecordingRasterizer r(w, h);
    CRenderView view;
    view.Setup(&r, nullptr, nullptr, nullptr, 31);
    PixelBufferDesc* locked = nullptr;
    layer.Draw(&view, &locked);
    return panel.GetPanelRect();
  };
  const auto check = [&](CMenuLayer& layer, const CButtonPanel& panel) {
    const std::string name = layer.GetInfoString() + std::string(" ") + panel.GetTitle();
    EXPECT_EQ(Undrawable(panel), "") << name;
    const RECT small = placeAt(layer, panel, 640, 480);
    for (const DisplaySize& size : DisplaySizesFor(0, 16)) {
      const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
      const RECT big = placeAt(layer, panel, w, h);
      EXPECT_TRUE(SamePlace(small.left, small.right, 640, big.left, big.right, w)) << name << " at " << w;
      EXPECT_TRUE(SamePlace(small.top, small.bottom, 480, big.top, big.bottom, h)) << name << " at " << w;
    }
  };
  for (auto& layer : layers) check(*layer, layer->GetPanel());
  // The palette's every page, and the park's display beside it.
  const size_t categories = palette->GetPanel().GetButtons().size();
  for (size_t c = 0; c <= categories; ++c) {
    if (c > 0) palette->HandleInputEvent(Key('1' + static_cast<int>(c) - 1));
    check(*palette, palette->GetPanel());
    if (c > 0) palette->HandleInputEvent(Key('B'));
  }
  check(*palette, palette->GetDisplay());
  // Every thought a skater can have, in the skater pop-up's font.
  const CSprite* font = layers[9]->GetPanel().GetFont();
  ASSERT_NE(font, nullptr);
  for (uint32_t n = 0; n < thoughts::kCount; ++n)
    for (const char* c = thoughts::GetText(n); *c != '\0'; ++c)
      EXPECT_TRUE(SpriteText::CanDraw(font, *c)) << "'" << *c << "' in " << thoughts::GetText(n);
}

TEST_F(Screens, TheSkaterPopupEvictsAndHandsControlToTheController) {
  ASSERT_TRUE(StartDemo());
  const uint32_t id = park->SpawnSkater();
  auto* skater = dynamic_cast<CSkater*>(park->GetObjectByID(id));
  ASSERT_NE(skater, nullptr);
  CSkaterPopup* popup = Push(std::make_unique<CSkaterPopup>(id));
  const RECT box = popup->GetPanel().GetPanelRect();
  EXPECT_TRUE(box.left == 8 && box.top == 8) << "in the top-left corner";
  EXPECT_FALSE(popup->GetPanel().GetButtons()[CSkaterPopup::kTakeControl].enabled) << "no controller to take it";
  char status[128] = {};
  skater->GetStatusText(status, sizeof(status));
  EXPECT_NE(status[0], '\0');
  EXPECT_EQ(popup->GetPanel().GetLines(), std::vector<std::string>{status}) << "a new skater has no thoughts yet";
  EXPECT_EQ(popup->GetPanel().GetTitle(), skater->GetName());
  Click(*popup, CSkaterPopup::kEvict);
  EXPECT_TRUE(skater->mind.evicted);
  EXPECT_GE(skater->GetThoughts().GetCount(), 1u);
  EXPECT_TRUE(popup->IsMarkedForRemoval());

  static uint32_t controlled = 0;
  GetGameHooks().takeSkaterControl = [](CVerezIvor& p, uint32_t skaterId) {
    controlled = skaterId;
    p.SetPlayerSkaterId(skaterId);
  };
  CSkaterPopup* again = Push(std::make_unique<CSkaterPopup>(id));
  const std::vector<std::string>& lines = again->GetPanel().GetLines();
  ASSERT_EQ(lines.size(), 1 + std::min<size_t>(skater->GetThoughts().GetCount(), CSkaterPopup::kThoughtLines));
  EXPECT_EQ(lines[1], skater->GetThoughts().GetText(0));
  // Thoughts come and go, lines grow wider than the buttons: the buttons stay where they were.
  again->GetPanel().SetLines({"A THOUGHT FAR WIDER THAN ANY BUTTON OF THIS POP-UP, AND THEN SOME"});
  for (size_t i = 0; i < 3; ++i) {
    const RECT before = popup->GetPanel().GetButtonRect(i), after = again->GetPanel().GetButtonRect(i);
    EXPECT_TRUE(before.left == after.left && before.top == after.top) << i;
  }
  again->HandleInputEvent(Key('T'));
  EXPECT_EQ(controlled, id);
  CSkateSettings settings;  // the program's default key table
  CSettings* const before = GetSettings();
  SetSettings(&settings);
  park->GetParkState().moneyFraction = 1e300;  // shown as the palette shows it
  CSkaterPlayerInterface* hud = Push(std::make_unique<CSkaterPlayerInterface>());
  EXPECT_FALSE(hud->IsMarkedForRemoval());
  EXPECT_EQ(hud->GetPanel().GetTitle(), skater->GetName()) << "filled in before its first tick";
  const std::string money = "MONEY 999999999999999";
  EXPECT_EQ(hud->GetPanel().GetLines(), (std::vector<std::string>{"UP DOWN ROLL", "LEFT RIGHT STEER", "CTRL JUMP",
                                                                   "SHIFT GRIND", "ENTER BOARD", "Z X AIR TURN", money}))
      << "the keys that drive it, not what its mind was doing";
  // The lines follow the key table: a rebound key is named, an action without a key is left out.
  settings.SetBinding(CInputMan::kKeyboardSlot, 62, 'W', false);
  settings.SetBinding(CInputMan::kKeyboardSlot, 69, 0, false);
  settings.SetBinding(CInputMan::kKeyboardSlot, 70, 0, false);
  // With the pointer resting on the lines the park still takes the keys.
  CInputMan input;
  park->SetInputManager(&input);
  plat::SetCursorScreenPos(hud->GetPanel().GetPanelRect().left + 20, 40);
  park->mouseOverUI = 0;
  hud->Update(0.033f);
  park->SetInputManager(nullptr);
  SetSettings(before);
  EXPECT_EQ(park->mouseOverUI, 0);
  EXPECT_EQ(hud->GetPanel().GetLines()[0], "W DOWN ROLL");
  // However long its lines, all of it is drawn inside its panel, against the right edge of the
  // screen it is drawn on.
  hud->GetPanel().SetLines({"A STATUS LINE AS LONG AS A SKATER EVER HAS, AND LONGER STILL", "MONEY 50000"});
  RecordingRasterizer wide(800, 600);
  const RECT hudBox = DrawAlone(*hud, wide);
  EXPECT_TRUE(hudBox.right == 800 - 8 && hudBox.left >= 0 && LitInAndOut(wide, 800, hudBox).second == 0) << hudBox.left;
  park->SetPlayerSkaterId(CSkater::kNone);
  hud->Update(0.033f);
  EXPECT_TRUE(hud->IsMarkedForRemoval()) << "no skater under control: the heads-up layer goes";

  static int left = 0;
  GetGameHooks().leavePerspective = [](CVerezIvor&) { ++left; };
  CExitPerspective* exitView = Push(std::make_unique<CExitPerspective>());
  const RECT exitBox = exitView->GetPanel().GetPanelRect();
  const int side = CButtonPanel::kButtonWidth + 2 * CButtonPanel::kMargin;
  const int tall = CButtonPanel::kButtonHeight + 2 * CButtonPanel::kMargin;
  EXPECT_TRUE(exitBox.left == 8 && exitBox.top == 420 && exitBox.right == 8 + side && exitBox.bottom == 420 + tall)
      << "one button alone in the bottom-left corner";
  exitView->HandleInputEvent(Key('X'));
  EXPECT_EQ(left, 0) << "X turns a skater in the air; only the button leaves";
  Click(*exitView, CExitPerspective::kExit);
  EXPECT_EQ(left, 1);
  EXPECT_TRUE(exitView->IsMarkedForRemoval());

  // A pop-up whose skater has gone closes itself.
  CSkaterPopup* orphan = Push(std::make_unique<CSkaterPopup>(id));
  EXPECT_FALSE(orphan->IsMarkedForRemoval());
  skater->MarkForRemoval();
  orphan->Update(0.033f);
  EXPECT_TRUE(orphan->IsMarkedForRemoval());
}

// A click on a pop-up's CLOSE, through the world's layer pass with the pop-up over the palette:
// the controller is told to let go of what the pop-up showed, and neither the palette beneath nor
// the park below acts on the click, not even on the button still held after the pop-up has gone.
namespace {
std::vector<uint32_t> g_released;
}  // namespace

TEST_F(Screens, APopupsCloseLetsGoOfItsSelectionAndTheClickGoesNoFurther) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  g_released.clear();
  GetGameHooks().releaseSelection = [](CVerezIvor&, uint32_t id) { g_released.push_back(id); };
  auto* controller = dynamic_cast<StandInController*>(park->GetLayer(0));
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_TRUE(controller != nullptr && palette != nullptr);
  CInputMan input;
  park->SetInputManager(&input);
  const uint32_t skaterId = park->SpawnSkater();
  const uint32_t rampId = BuyPieceForPlayer(*park, *Definition("Launch ramp"), -1);
  park->Tick(0.033f);  // the palette shows the money from its first tick on
  for (int round = 0; round < 2; ++round) {
    CMenuLayer* popup = round == 0 ? static_cast<CMenuLayer*>(Push(std::make_unique<CSkaterPopup>(skaterId)))
                                   : static_cast<CMenuLayer*>(Push(std::make_unique<CSectionPopup>(rampId)));
    const size_t close = popup->GetPanel().GetButtons().size() - 1;
    ASSERT_EQ(popup->GetPanel().GetButtons()[close].text, "CLOSE");
    const RECT r = popup->GetPanel().GetButtonRect(close);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    bool overPalette = false;
    for (size_t i = 0; i < palette->GetPanel().GetButtons().size(); ++i) {
      const RECT p = palette->GetPanel().GetButtonRect(i);
      overPalette = overPalette || (x >= p.left && x < p.right && y >= p.top && y < p.bottom);
    }
    ASSERT_TRUE(overPalette) << round;
    plat::SetCursorScreenPos(x, y);
    park->Tick(0.033f);
    InputEvent primary = Mouse(49, r);  // the controller's action of the same button
    input.SetButtonDown(0, true);
    input.QueueEvent(Mouse(InputEvent::kButtonPress, r));
    input.QueueEvent(primary);
    park->Tick(0.033f);
    EXPECT_TRUE(popup->IsMarkedForRemoval()) << round;
    for (int held = 0; held < 3; ++held) park->Tick(0.033f);  // the pop-up has gone, the button is still down
    input.SetButtonDown(0, false);
    input.QueueEvent(Mouse(InputEvent::kButtonRelease, r));
    park->Tick(0.033f);
    EXPECT_EQ(palette->GetOpenCategory(), -1) << round;
    EXPECT_EQ(palette->GetLastPurchase(), 0u) << round;
    EXPECT_EQ(controller->clicksOnThePark, 0) << round;
  }
  EXPECT_EQ(g_released, (std::vector<uint32_t>{skaterId, rampId}));
  park->SetInputManager(nullptr);
}

// A category button that turns the palette to a shorter page leaves the pointer below the panel:
// the click was still the palette's, and the park under it (which would place a held piece there)
// never hears of it.
TEST_F(Screens, AClickThatTurnsThePaletteToAShorterPageReachesNothingBelow) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  auto* controller = dynamic_cast<StandInController*>(park->GetLayer(0));
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_TRUE(controller != nullptr && palette != nullptr);
  CInputMan input;
  park->SetInputManager(&input);
  const size_t categories = palette->GetPanel().GetButtons().size();
  int shorter = 0;
  for (size_t c = 0; c < categories; ++c) {
    const RECT button = palette->GetPanel().GetButtonRect(c);
    plat::SetCursorScreenPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    park->Tick(0.033f);
    input.SetButtonDown(0, true);
    input.QueueEvent(Mouse(InputEvent::kButtonPress, button));
    input.QueueEvent(Mouse(49, button));  // the controller's action of the same button
    park->Tick(0.033f);
    input.SetButtonDown(0, false);
    input.QueueEvent(Mouse(InputEvent::kButtonRelease, button));
    park->Tick(0.033f);
    ASSERT_EQ(palette->GetOpenCategory(), static_cast<int>(c));
    shorter += palette->GetPanel().GetPanelRect().bottom <= button.top;
    EXPECT_EQ(controller->clicksOnThePark, 0) << palette->GetPanel().GetTitle();
    input.QueueEvent(Key('B'));
    park->Tick(0.033f);
  }
  EXPECT_GE(shorter, 2) << "the pages that leave the pointer below the panel";
  // With the pointer itself off the panel, a press on the panel's first column and row is the
  // palette's; one just past its last column or row reaches the park.
  const RECT panel = palette->GetPanel().GetPanelRect();
  plat::SetCursorScreenPos(panel.right + 20, panel.bottom + 20);
  for (const POINT at :
       {POINT{panel.left, panel.top}, POINT{panel.right, panel.top}, POINT{panel.left, panel.bottom}}) {
    const RECT pixel{at.x, at.y, at.x, at.y};
    const int before = controller->clicksOnThePark;
    input.QueueEvent(Mouse(InputEvent::kButtonPress, pixel));
    input.QueueEvent(Mouse(49, pixel));
    input.QueueEvent(Mouse(InputEvent::kButtonRelease, pixel));
    park->Tick(0.033f);
    EXPECT_EQ(controller->clicksOnThePark - before, at.x == panel.left && at.y == panel.top ? 0 : 1)
        << at.x << " " << at.y;
  }
  park->SetInputManager(nullptr);
}

// The park's display is drawn with the palette over the park: a left or right click on it stays
// there (the controller would place a held piece out of sight under it, or lift or open the piece
// hidden there), also while a pop-up covers the palette's own panel. Just off it, clicks reach the
// park.
TEST_F(Screens, ClicksOnTheParksDisplayNeverReachThePark) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  auto* controller = dynamic_cast<StandInController*>(park->GetLayer(0));
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
  ASSERT_TRUE(controller != nullptr && palette != nullptr);
  CInputMan input;
  park->SetInputManager(&input);
  const uint32_t rampId = BuyPieceForPlayer(*park, *Definition("Launch ramp"), -1);
  park->Tick(0.033f);
  const RECT d = palette->GetDisplay().GetPanelRect();
  const POINT middle{(d.left + d.right) / 2, (d.top + d.bottom) / 2};
  const struct {
    POINT at;
    int reachThePark;  // of the two clicks
  } cases[] = {{middle, 0}, {POINT{d.left, d.top}, 0}, {POINT{d.right - 1, d.bottom - 1}, 0}, {POINT{d.left - 1, middle.y}, 2}};
  for (bool covered : {false, true}) {
    if (covered) Push(std::make_unique<CSectionPopup>(rampId));
    park->Tick(0.033f);
    ASSERT_EQ(palette->IsCoveredFromAbove(), covered);
    for (const auto& c : cases) {
      const RECT pixel{c.at.x, c.at.y, c.at.x, c.at.y};
      plat::SetCursorScreenPos(c.at.x, c.at.y);
      const int before = controller->clicksOnThePark;
      for (uint32_t action : {49u, 50u}) {  // the controller's actions of the same buttons
        input.QueueEvent(Mouse(InputEvent::kButtonPress, pixel));
        input.QueueEvent(Mouse(action, pixel));
        input.QueueEvent(Mouse(InputEvent::kButtonRelease, pixel));
        park->Tick(0.033f);
      }
      EXPECT_EQ(controller->clicksOnThePark - before, c.reachThePark) << c.at.x << " " << c.at.y << " " << covered;
    }
  }
  park->SetInputManager(nullptr);
}

TEST_F(Screens, TheSponsorshipNoticeMarksItsSlotAndAcceptingBuysTheSponsorPiece) {
  ASSERT_TRUE(StartDemo(0));
  EXPECT_EQ(CSponsorshipNotice(2).GetOffer(), GetSponsorEntry(2)) << "each slot offers its own piece";
  park->GetParkState().sponsorships[2].offered = 0;
  CSponsorshipNotice* notice = Push(std::make_unique<CSponsorshipNotice>(0));
  EXPECT_TRUE(park->GetParkState().sponsorships[0].offered == 1 && park->GetParkState().sponsorships[1].offered == 0);
  EXPECT_EQ(notice->GetPanel().GetTitle(), "A SPONSOR OFFERS SUPPORT, OFFER 1");
  EXPECT_EQ(notice->GetPanel().GetLines(),
            (std::vector<std::string>{"A FREE Sponsor bench", "IT PAYS THE PARK 25 A DAY",
                                      "ACCEPT IT, THEN CLICK THE PARK TO PLACE IT"}));
  // While the hand holds a piece the offer waits, and lets the clicks through to place that piece.
  GetGameHooks().heldPiece = InHand;
  g_inHand = 77;
  notice->Update(0.033f);
  park->mouseOverUI = 0;
  EXPECT_FALSE(notice->IsModal());
  EXPECT_EQ(notice->GetPanel().GetLines().back(), kHandFullText);
  notice->HandleInputEvent(Key('A'));
  Click(*notice, CSponsorshipNotice::kAccept);
  EXPECT_FALSE(notice->IsMarkedForRemoval());
  EXPECT_EQ(notice->GetSponsorPiece(), 0u);
  g_inHand = 0;
  notice->Update(0.033f);
  EXPECT_TRUE(notice->IsModal());
  park->mouseOverUI = 0;
  const RECT box = notice->GetPanel().GetPanelRect();
  EXPECT_EQ(box.left, (640 - (box.right - box.left)) / 2) << "centred";
  EXPECT_EQ(box.top, (480 - (box.bottom - box.top)) / 2) << "centred";
  // A park in debt cannot buy even a free piece: the offer stays open, says why, and can be taken later.
  park->AddMoney(-1.0f);
  Click(*notice, CSponsorshipNotice::kAccept);
  EXPECT_FALSE(notice->IsMarkedForRemoval());
  EXPECT_EQ(notice->GetSponsorPiece(), 0u);
  EXPECT_EQ(notice->GetPanel().GetLines().back(), "IT COULD NOT BE MADE; TRY AGAIN LATER");
  EXPECT_TRUE(notice->GetPanel().GetButtons()[CSponsorshipNotice::kAccept].enabled);
  park->AddMoney(1.0f);
  Click(*notice, CSponsorshipNotice::kAccept);
  auto* piece = dynamic_cast<CSkatableSection*>(park->GetObjectByID(notice->GetSponsorPiece()));
  ASSERT_NE(piece, nullptr) << "a sponsor piece costs nothing";
  EXPECT_EQ(piece->GetSponsorshipIndex(), 0) << "the first slot";
  EXPECT_EQ(piece->GetWorldMatrix().GetPosition(), park->GetGrid()->GetSquareCentre(32, 32)) << "bought into the park's middle";
  EXPECT_TRUE(notice->IsMarkedForRemoval());

  CSponsorshipNotice* declined = Push(std::make_unique<CSponsorshipNotice>(3));
  declined->HandleInputEvent(Key('D'));
  EXPECT_TRUE(declined->IsMarkedForRemoval());
  EXPECT_EQ(declined->GetSponsorPiece(), 0u);
  log.Clear();
  CSponsorshipNotice stray(4);
  EXPECT_NE(log.Text().find("SponsorshipNotice: no slot 4"), std::string::npos);
  EXPECT_FALSE(stray.GetPanel().GetButtons()[CSponsorshipNotice::kAccept].enabled);
}

// The controller is told which purchases are sponsor pieces: the palette's never are (slot -1, so
// the piece may be copied and frees no sponsorship when sold), the notice's are for its slot.
namespace {
std::vector<int> g_slotsAskedFor;
uint32_t RecordSlot(CVerezIvor& park, const ObjectDefinition& definition, int sponsorSlot) {
  g_slotsAskedFor.push_back(sponsorSlot);
  GetGameHooks().buyPiece = nullptr;
  const uint32_t id = BuyPieceForPlayer(park, definition, sponsorSlot);
  GetGameHooks().buyPiece = RecordSlot;
  return id;
}
}  // namespace

TEST_F(Screens, ThePaletteBuysOrdinaryPiecesAndTheNoticeTheSponsorsThroughTheController) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  g_slotsAskedFor.clear();
  GetGameHooks().buyPiece = RecordSlot;
  CBuildPalette* palette = nullptr;
  for (size_t i = 0; i < park->GetLayerCount(); ++i)
    if (auto* p = dynamic_cast<CBuildPalette*>(park->GetLayer(i))) palette = p;
  ASSERT_NE(palette, nullptr);
  palette->HandleInputEvent(Key('1'));
  palette->HandleInputEvent(Key('1'));
  const uint32_t bought = palette->GetLastPurchase();
  ASSERT_NE(bought, 0u);
  EXPECT_EQ(dynamic_cast<CSkatableSection*>(park->GetObjectByID(bought))->GetSponsorshipIndex(), -1);
  CSponsorshipNotice* notice = Push(std::make_unique<CSponsorshipNotice>(1));
  Click(*notice, CSponsorshipNotice::kAccept);
  ASSERT_NE(notice->GetSponsorPiece(), 0u);
  EXPECT_EQ(g_slotsAskedFor, (std::vector<int>{-1, 1}));
}

TEST_F(Screens, TheMainScreenDrawsItsPanelIntoTheSharedLock) {
  RecordingRasterizer r(640, 480);
  CRenderView view;
  view.Setup(&r, nullptr, nullptr, nullptr, 31);
  CMainScreen menu(Root());
  PixelBufferDesc* locked = nullptr;
  SetColourDepth(16);
  menu.Draw(&view, &locked);
  ASSERT_NE(locked, nullptr);
  EXPECT_EQ(GetColourDepth(), 15u) << "the interface takes the 15-bit frame's depth";
  const int cleared = r.IndexOf("Clear(1,1,0x00000000)");
  EXPECT_GE(cleared, 0) << "the menu clears the frame under it";
  EXPECT_TRUE(menu.GetClearScreen());
  EXPECT_LT(cleared, r.IndexOf("LockBackBuffer"));
  EXPECT_EQ(r.Count("LockBackBuffer"), 1);
  DrawSurface s = MakeDrawSurface(*locked);
  const uint16_t panel = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kPanelColour));
  const uint16_t text = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kTextColour));
  const uint16_t border = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kBorderColour));
  const RECT box = menu.GetPanel().GetPanelRect();
  EXPECT_EQ(box.left, (640 - (box.right - box.left)) / 2) << "centred";
  const RECT notice = CNoticeScreen({"A LINE WIDER THAN ANY BUTTON, SO THE PANEL IS ODD"}).GetPanel().GetPanelRect();
  EXPECT_EQ(notice.left, (640 - (notice.right - notice.left)) / 2) << "a notice is centred too";
  int panelPixels = 0, textPixels = 0, borderPixels = 0, outside = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint16_t p = r.frame[static_cast<size_t>(y) * 640 + x];
      const bool in = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
      if (!in && p != 0) ++outside;
      panelPixels += in && p == panel;
      textPixels += in && p == text;
      borderPixels += in && p == border;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(panelPixels, 1000);
  int rims = 0;  // the panel's outline and each button's, one pixel wide
  for (size_t i = 0; i <= menu.GetPanel().GetButtons().size(); ++i) {
    const RECT rim = i == 0 ? box : menu.GetPanel().GetButtonRect(i - 1);
    rims += 2 * (rim.right - rim.left) + 2 * (rim.bottom - rim.top) - 4;
  }
  EXPECT_EQ(borderPixels, rims);
  // The title and five labels in the built-in font: every glyph bit of them is drawn.
  int bits = 0;
  for (const char* label : {"KELVARUN", "NEW GAME", "INSTANT ACTION", "LOAD GAME", "SETTINGS", "QUIT"})
    for (const char* c = label; *c; ++c)
      for (int row = 0; TinyFont::Glyph(*c) && row < TinyFont::kGlyphHeight; ++row) bits += __builtin_popcount(TinyFont::Glyph(*c)[row]);
  const uint16_t grey = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kDisabledTextColour));
  int greyPixels = 0;
  for (uint16_t p : r.frame) greyPixels += p == grey;
  EXPECT_EQ(textPixels, bits);
  EXPECT_EQ(greyPixels, 0) << "every button enabled (an empty load screen says so itself)";
}

TEST_F(Screens, ThePopupFactoryMakesTheLayersTheControllerAsksFor) {
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  const uint32_t stand = BuyPieceForPlayer(*park, *Definition("Snack stand"), -1);
  const uint32_t ramp = BuyPieceForPlayer(*park, *Definition("Launch ramp"), -1);
  CUIPopupFactory factory;
  EXPECT_STREQ(factory.CreateSectionPopup(ramp)->GetInfoString(), "SectionPopup");
  EXPECT_STREQ(factory.CreateFacilityPopup(stand)->GetInfoString(), "FacilityPopup");
  EXPECT_STREQ(factory.CreateSkaterPopup(park->SpawnSkater())->GetInfoString(), "SkaterPopup");
  EXPECT_STREQ(factory.CreateExitPerspective()->GetInfoString(), "ExitPerspective");
  EXPECT_STREQ(factory.CreateSkaterPlayerInterface()->GetInfoString(), "SkaterPlayerInterface");
  EXPECT_STREQ(factory.CreateMainScreen()->GetInfoString(), "MainScreen");
  EXPECT_FALSE(factory.IsEscapeMenuOpen());
  {
    std::unique_ptr<CGameActionLayer> menu = factory.CreateEscapeMenu();
    EXPECT_TRUE(factory.IsEscapeMenuOpen());
  }
  EXPECT_FALSE(factory.IsEscapeMenuOpen());
}

namespace {

int g_menuRenderersMade = 0;
void CountMenuRenderer() { ++g_menuRenderersMade; }

// The settings the screens edit, registered for the test and forgotten after it.
struct ActiveSettings {
  ActiveSettings() {
    settings.levelA = 1.0f;
    settings.levelB = 0.5f;  // between two steps, as a file may hold
    settings.renderer = 0;
    settings.SetFullScreen(true);
    settings.displayWidth = 640;
    settings.displayHeight = 480;
    SetSettings(&settings);
    g_menuRenderersMade = 0;
    GetGameHooks().renewMenuRenderer = CountMenuRenderer;
  }
  ~ActiveSettings() {
    SetSettings(nullptr);
    ResetDisplayMachine();
  }
  CSkateSettings settings;
};

std::vector<std::string> ButtonTexts(const CMenuLayer& layer) {
  std::vector<std::string> texts;
  for (const CButtonPanel::Button& b : layer.GetPanel().GetButtons()) texts.push_back(b.text);
  return texts;
}

bool HasLine(const CMenuLayer& layer, const std::string& line) {
  const std::vector<std::string>& lines = layer.GetPanel().GetLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

// From the main menu: each press steps a level and the sound manager takes it at once; the
// renderer, full screen (the menu's renderer made again) and the sizes each back end offers, a size
// the renderer cannot show falling back to 640 x 480 with a line saying so; DONE writes the file,
// and a failed write says so first.
TEST_F(Screens, TheSettingsScreenStepsTheLevelsAndSavesOnLeaving) {
  ActiveSettings active;
  CSettings& settings = active.settings;
  settings.displayWidth = settings.displayHeight = 1;
  CSoundManager sound;
  park->SetSoundManager(&sound);
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(Root(), Root() + "none.sav"));
  Click(*menu, CMainScreen::kSettings);
  auto* screen = dynamic_cast<CSettingsScreen*>(park->GetLayer(park->GetLayerCount() - 1));
  ASSERT_NE(screen, nullptr);
  EXPECT_TRUE(screen->IsModal());
  EXPECT_FALSE(menu->IsMarkedForRemoval()) << "the menu waits below";
  EXPECT_EQ(ButtonTexts(*screen), (std::vector<std::string>{"EFFECTS 1.0", "MUSIC 0.5", "RENDERER OPENGL",
                                                            "FULL SCREEN ON", "SIZE 640 X 480", "DONE"}));
  EXPECT_EQ(screen->GetPanel().GetLines(),
            (std::vector<std::string>{"1 X 1 CANNOT BE SET, 640 X 480 IS USED",
                                      "RENDERER AND SIZE TAKE EFFECT WHEN A GAME STARTS"}));
  RecordingRasterizer frame(640, 480);
  const RECT box = DrawAlone(*screen, frame);  // in the middle of the frame
  EXPECT_NEAR((box.left + box.right) / 2, 320, 1);
  EXPECT_NEAR((box.top + box.bottom) / 2, 240, 1);

  const float steps[] = {0.0f, 0.1f, 0.4f, 0.7f, 0.9f, 1.0f};
  const int32_t attenuations[] = {-10000, -2700, -1800, -900, -300, 0};
  for (int i = 0; i < 6; ++i) {
    screen->HandleInputEvent(Key('E'));
    EXPECT_EQ(settings.levelA, steps[i]) << i;
    EXPECT_EQ(sound.GetEffectAttenuation(), attenuations[i]) << i;
  }
  screen->HandleInputEvent(Key('M'));
  EXPECT_EQ(settings.levelB, 0.7f) << "the next step above";
  EXPECT_EQ(sound.GetMusicAttenuation(), -900);
  EXPECT_EQ(ButtonTexts(*screen)[1], "MUSIC 0.7");

  // The hardware back end has its modes; the software one those that fit the desktop. Each step:
  // the renderer, the size and the line of a fall-back.
  GetDisplayMachine().desktopWidth = 800;
  GetDisplayMachine().desktopHeight = 600;
  std::vector<std::string> shown;
  for (const int key : {'S', 'S', 'S', 'S', 'S', 'R', 'S', 'S'}) {
    screen->HandleInputEvent(Key(key));
    const std::vector<std::string>& lines = screen->GetPanel().GetLines();
    shown.push_back(ButtonTexts(*screen)[2] + ", " + ButtonTexts(*screen)[4] +
                    (lines.size() > 1 ? ", " + lines[0] : ""));
  }
  EXPECT_EQ(shown,
            (std::vector<std::string>{"RENDERER OPENGL, SIZE 800 X 600", "RENDERER OPENGL, SIZE 1024 X 768",
                                      "RENDERER OPENGL, SIZE 640 X 480", "RENDERER OPENGL, SIZE 800 X 600",
                                      "RENDERER OPENGL, SIZE 1024 X 768",
                                      "RENDERER SOFTWARE, SIZE 640 X 480, 1024 X 768 CANNOT BE SET, 640 X 480 IS USED",
                                      "RENDERER SOFTWARE, SIZE 800 X 600", "RENDERER SOFTWARE, SIZE 640 X 480"}));
  screen->HandleInputEvent(Key('R'));
  screen->HandleInputEvent(Key('S'));
  screen->HandleInputEvent(Key('S'));
  EXPECT_EQ(ButtonTexts(*screen)[4], "SIZE 1024 X 768");
  EXPECT_EQ(settings.renderer, 0u);

  screen->HandleInputEvent(Key('F'));
  EXPECT_FALSE(settings.IsFullScreen());
  EXPECT_EQ(g_menuRenderersMade, 1) << "the menu's renderer follows at once";
  EXPECT_TRUE(HasLine(*screen, "THE SIZE IS USED FULL SCREEN ONLY"));

  // A file that cannot be written: said once, then DONE leaves all the same.
  std::filesystem::create_directory(CSettings::kFileName);
  screen->HandleInputEvent(Key(VK_RETURN));
  EXPECT_FALSE(screen->IsMarkedForRemoval());
  EXPECT_TRUE(HasLine(*screen, "THE SETTINGS COULD NOT BE SAVED"));
  std::filesystem::remove(CSettings::kFileName);
  screen->HandleInputEvent(Key(VK_RETURN));
  EXPECT_TRUE(screen->IsMarkedForRemoval());
  CSkateSettings read;
  const std::string file = testing_support::ReadBytes(CSettings::kFileName);
  ASSERT_EQ(file.size(), CSkateSettings::kFileSize);
  ASSERT_TRUE(read.Parse(file.data(), file.size()));
  EXPECT_TRUE(read.levelA == 1.0f && read.levelB == 0.7f && read.renderer == 0 && !read.IsFullScreen() &&
              read.displayWidth == 1024 && read.displayHeight == 768);
  park->SetSoundManager(nullptr);
}

// Over a running game the screen keeps the park paused under the escape menu, its buttons where
// they are whatever its notes say, leaves the renderer alone until the next game, and the cancel
// action leaves it as DONE does.
TEST_F(Screens, SettingsOverAGameWaitForTheNextGame) {
  ActiveSettings active;
  active.settings.renderer = 7;  // runs the software renderer
  GetDisplayMachine().desktopWidth = 800;
  GetDisplayMachine().desktopHeight = 600;
  ASSERT_TRUE(StartDemo());
  CEscapeMenuScreen* menu = Push(std::make_unique<CEscapeMenuScreen>(Root() + "park.sav", Root()));
  menu->HandleInputEvent(Key('T'));
  auto* screen = dynamic_cast<CSettingsScreen*>(park->GetLayer(park->GetLayerCount() - 1));
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->GetPanel().GetLines(),
            (std::vector<std::string>{"DISPLAY CHANGES TAKE EFFECT", "WHEN THE NEXT GAME STARTS"}));
  EXPECT_EQ(ButtonTexts(*screen)[2], "RENDERER SOFTWARE");
  // The buttons stay under the pointer while the notes above them change: a line more, and a
  // line wider than the buttons.
  const auto places = [&] {
    std::vector<std::pair<LONG, LONG>> out;
    for (size_t i = 0; i < screen->GetPanel().GetButtons().size(); ++i)
      out.emplace_back(screen->GetPanel().GetButtonRect(i).left, screen->GetPanel().GetButtonRect(i).top);
    return out;
  };
  const auto before = places();
  screen->HandleInputEvent(Key('F'));
  EXPECT_EQ(screen->GetPanel().GetLines().size(), 3u);
  EXPECT_EQ(places(), before);
  for (const int key : {'F', 'R', 'S', 'S', 'R'}) screen->HandleInputEvent(Key(key));
  ASSERT_TRUE(HasLine(*screen, "1024 X 768 CANNOT BE SET, 640 X 480 IS USED"));
  EXPECT_GT(screen->GetPanel().GetPanelRect().right - screen->GetPanel().GetPanelRect().left,
            CButtonPanel::kButtonWidth + 40);
  EXPECT_EQ(places(), before);
  screen->HandleInputEvent(Key('F'));
  EXPECT_EQ(g_menuRenderersMade, 0);
  InputEvent cancel;
  cancel.code = CSettingsScreen::kCancelAction;
  screen->HandleInputEvent(cancel);
  park->Tick(0.033f);
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette", "EscapeMenuScreen"}));
  EXPECT_TRUE(CEscapeMenuScreen::IsOpen());
  CSkateSettings read;
  const std::string file = testing_support::ReadBytes(CSettings::kFileName);
  ASSERT_TRUE(read.Parse(file.data(), file.size()));
  EXPECT_FALSE(read.IsFullScreen());
}
