// The front-end and in-game screens driven by injected input events on a park running the
// generated demo level: what each button starts, buys, sells or changes, and how the screens
// leave the layer stack.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
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
#include "park/skater/Skater.h"
#include "park/world/ParkFontSet.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"
#include "render/image/ColourDepth.h"
#include "render/view/RenderView.h"
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
#include "ui/park/SectionPopup.h"
#include "ui/park/SkaterPlayerInterface.h"
#include "ui/park/SkaterPopup.h"
#include "ui/park/SponsorshipNotice.h"
#include "ui/park/UIPopupFactory.h"
#include "ui/screens/EscapeMenuScreen.h"
#include "ui/screens/MainScreen.h"
#include "ui/screens/NewGame.h"
#include "ui/screens/NoticeScreen.h"
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

// The layers that are not on their way out, by info string.
std::vector<std::string> LiveLayers(const CVerezIvor& park) {
  std::vector<std::string> out;
  for (size_t i = 0; i < park.GetLayerCount(); ++i)
    if (!park.GetLayer(i)->IsMarkedForRemoval()) out.push_back(park.GetLayer(i)->GetInfoString());
  return out;
}

struct StandInController : CGameActionLayer {
  const char* GetInfoString() const override { return "Controller"; }
  // The controller acts on a click only when no interface layer above took it.
  void HandleInputEvent(const InputEvent& event) override {
    if (event.code == 49 && GetGameWorld()->mouseOverUI == 0) ++clicksOnThePark;
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
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(Root(), Root() + "none.sav"));
  EXPECT_TRUE(menu->IsModal());
  EXPECT_FALSE(menu->GetPanel().GetButtons()[CMainScreen::kLoad].enabled) << "no saved game yet";
  Click(*menu, CMainScreen::kNewGame);
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette"}));
  EXPECT_EQ(g_controllersMade, 1);
  const ParkState& state = park->GetParkState();
  EXPECT_EQ(state.money, kStartingMoneyMedium);
  EXPECT_EQ(state.levelIndex, 0);
  EXPECT_STREQ(state.parkName, CMainScreen::kDefaultParkName);
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
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(Root(), Root() + "none.sav"));
  menu->HandleInputEvent(Key('L'));  // disabled: nothing happens
  EXPECT_EQ(LiveLayers(*park), std::vector<std::string>{"MainScreen"});
  menu->HandleInputEvent(Key('I'));
  EXPECT_EQ(park->GetParkState().money, kStartingMoneyEasy);
  EXPECT_TRUE(menu->IsMarkedForRemoval());

  park->RemoveAllLayers();
  Push(std::make_unique<StandInController>());
  CMainScreen* again = Push(std::make_unique<CMainScreen>(Root(), Root() + "none.sav"));
  again->HandleInputEvent(Key('Q'));
  EXPECT_TRUE(LiveLayers(*park).empty());
  park->Tick(0.033f);
  EXPECT_FALSE(park->HasLayers()) << "a world without layers ends the program";
}

TEST_F(Screens, AGameThatCannotStartKeepsTheMenu) {
  TempFolder empty;
  CMainScreen* menu = Push(std::make_unique<CMainScreen>(empty.Path(), empty.Path() + "none.sav"));
  Click(*menu, CMainScreen::kNewGame);
  EXPECT_FALSE(menu->IsMarkedForRemoval());
  EXPECT_EQ(menu->GetPanel().GetButtons().size(), 4u);
  EXPECT_EQ(g_controllersMade, 0);
  EXPECT_TRUE(park->GetTerrainInstances().empty());
  EXPECT_NE(log.Text().find("NewGame: level 0 could not be loaded"), std::string::npos);
}

TEST_F(Screens, TheEscapeMenuPausesSavesLoadsAndQuitsToTheMenu) {
  ASSERT_TRUE(StartDemo());
  static std::string saved;
  GetGameHooks().saveGame = [](CVerezIvor& p, const char* path) {
    // The park block's head: version 12 and the level index.
    std::ofstream out(path, std::ios::binary);
    const char head[5] = {12, 0, 0, 0, static_cast<char>(p.GetParkState().levelIndex)};
    out.write(head, 5);
    saved = path;
    return true;
  };
  static int loads = 0;
  GetGameHooks().loadGame = [](CVerezIvor& p, const char*) {
    ++loads;
    p.GetParkState().money = 777;
    return true;
  };
  const std::string path = Root() + "saves/park.sav";
  EXPECT_FALSE(CEscapeMenuScreen::IsOpen());
  CEscapeMenuScreen* menu = Push(std::make_unique<CEscapeMenuScreen>(path, Root()));
  EXPECT_TRUE(CEscapeMenuScreen::IsOpen());
  EXPECT_TRUE(menu->IsModal());
  Click(*menu, CEscapeMenuScreen::kLoad);
  EXPECT_EQ(menu->GetPanel().GetLines(), std::vector<std::string>{"NO SAVED GAME"});
  menu->HandleInputEvent(Key('S'));
  EXPECT_EQ(menu->GetPanel().GetLines(), std::vector<std::string>{"GAME SAVED"});
  EXPECT_EQ(saved, path) << "the folder is made and the controller saves";
  // The cancel action resumes.
  InputEvent cancel;
  cancel.code = CEscapeMenuScreen::kCancelAction;
  menu->HandleInputEvent(cancel);
  park->Tick(0.033f);
  EXPECT_FALSE(CEscapeMenuScreen::IsOpen());

  // Load: the file's level is started afresh, then the file is loaded over it.
  menu = Push(std::make_unique<CEscapeMenuScreen>(path, Root()));
  Click(*menu, CEscapeMenuScreen::kLoad);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(park->GetParkState().money, 777);
  EXPECT_EQ(LiveLayers(*park), (std::vector<std::string>{"Controller", "BuildPalette"}));
  park->Tick(0.033f);
  menu = Push(std::make_unique<CEscapeMenuScreen>(path, Root()));
  Click(*menu, CEscapeMenuScreen::kResume);
  EXPECT_TRUE(menu->IsMarkedForRemoval());
  park->Tick(0.033f);

  menu = Push(std::make_unique<CEscapeMenuScreen>(path, Root()));
  Click(*menu, CEscapeMenuScreen::kQuitToMenu);
  EXPECT_EQ(LiveLayers(*park), std::vector<std::string>{"MainScreen"});
  EXPECT_EQ(park->GetGrid(), nullptr);
  EXPECT_TRUE(park->GetTerrainInstances().empty());
  EXPECT_EQ(park->GetController(), nullptr);
}

TEST_F(Screens, ALoadRefusesMissingShortAndOldFilesBeforeTouchingThePark) {
  ASSERT_TRUE(StartDemo());
  CGrid* grid = park->GetGrid();
  TempFolder files;
  const std::string shortFile = files.Write("short.sav", std::string("\x0c\x00\x00", 3));
  const std::string oldFile = files.Write("old.sav", std::string("\x07\x00\x00\x00\x00", 5));
  const std::string strange = files.Write("level9.sav", std::string("\x0c\x00\x00\x00\x09", 5));
  for (const std::string& path : {files.Path() + "missing.sav", shortFile, oldFile}) {
    EXPECT_FALSE(StartLoadedGame(park.get(), path.c_str(), Root())) << path;
    EXPECT_EQ(park->GetGrid(), grid) << path;
  }
  // A level this build does not have: the park is cleared and usable, and the caller is told.
  EXPECT_FALSE(StartLoadedGame(park.get(), strange.c_str(), Root()));
  EXPECT_EQ(park->GetGrid(), nullptr);
  // Without a controller's loader the saved-game file reader is used; it refuses this file and
  // the fresh park keeps running.
  EXPECT_TRUE(StartLoadedGame(park.get(), std::string(files.Write("fresh.sav", std::string("\x0c\x00\x00\x00\x00", 5))).c_str(), Root()));
  EXPECT_NE(log.Text().find("a fresh park is running"), std::string::npos);
  const auto* told = dynamic_cast<const CNoticeScreen*>(park->GetLayer(park->GetLayerCount() - 1));
  EXPECT_TRUE(told && told->GetPanel().GetLines() == (std::vector<std::string>{"THE SAVED GAME COULD NOT BE LOADED", "A FRESH PARK IS RUNNING"}));
  EXPECT_STREQ(park->GetParkState().parkName, "fresh") << "too short to hold a name: the file's own";
  EXPECT_NE(park->GetGrid(), nullptr);
  // A file just long enough to hold a name gives that name.
  std::string named = std::string("\x0c\x00\x00\x00\x00", 5) + "Hilltop";
  named.resize(5 + ParkState::kParkNameSize, '\0');
  EXPECT_TRUE(StartLoadedGame(park.get(), files.Write("exact.sav", named).c_str(), Root()));
  EXPECT_STREQ(park->GetParkState().parkName, "Hilltop");
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

  // The pop-up gone, the palette is drawn and answers again.
  popup->MarkForRemoval();
  park->Tick(0.033f);
  EXPECT_FALSE(palette->IsCoveredFromAbove());
  std::fill(r.frame.begin(), r.frame.end(), 0);
  park->Render(&view);
  EXPECT_GT(LitInAndOut(r, 640, hidden).first, 0);
  input.QueueEvent(Key('6'));
  park->Tick(0.033f);
  EXPECT_EQ(palette->GetOpenCategory(), 5);
  park->SetInputManager(nullptr);
}

// Every label of the palette stays on its button: one too wide for the alphabet is written in the
// smaller built-in font, and the panel beside the buttons keeps its plain colour.
TEST_F(Screens, EveryPaletteLabelStaysOnItsButton) {
  ASSERT_TRUE(DemoContent::WriteUi("data"));  // the fonts, where the program looks for them
  park->GetFontSet()->Load();
  ASSERT_TRUE(StartDemo(kStartingMoneyEasy));
  auto* palette = dynamic_cast<CBuildPalette*>(park->GetLayer(1));
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
  CSkaterPlayerInterface* hud = Push(std::make_unique<CSkaterPlayerInterface>());
  EXPECT_FALSE(hud->IsMarkedForRemoval());
  EXPECT_EQ(hud->GetPanel().GetTitle(), skater->GetName()) << "filled in before its first tick";
  const std::string money = "MONEY " + std::to_string(static_cast<long long>(park->GetMoney()));
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
  CRenderView hudView;
  hudView.Setup(&wide, nullptr, nullptr, nullptr, 31);
  PixelBufferDesc* hudLock = nullptr;
  hud->Draw(&hudView, &hudLock);
  const RECT hudBox = hud->GetPanel().GetPanelRect();
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
  CMainScreen menu(Root(), Root() + "none.sav");
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
  // The title and four labels in the built-in font: every glyph bit of them is drawn.
  int bits = 0;
  for (const char* label : {"KELVARUN", "NEW GAME", "INSTANT ACTION", "LOAD GAME", "QUIT"})
    for (const char* c = label; *c; ++c)
      for (int row = 0; TinyFont::Glyph(*c) && row < TinyFont::kGlyphHeight; ++row) bits += __builtin_popcount(TinyFont::Glyph(*c)[row]);
  const uint16_t grey = static_cast<uint16_t>(TinyFont::PackColour(s, CButtonPanel::kDisabledTextColour));
  int greyPixels = 0;
  for (uint16_t p : r.frame) greyPixels += p == grey;
  EXPECT_EQ(textPixels + greyPixels, bits) << "the disabled load button in grey";
  EXPECT_GT(greyPixels, 0);
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
