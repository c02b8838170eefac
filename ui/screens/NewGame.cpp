// The start-game routines: the order of a game's start, and its end.
#include "ui/screens/NewGame.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/input/InputMan.h"
#include "core/world/GameActionLayer.h"
#include "park/saved/SavedGame.h"
#include "park/saved/SavedGameParkBlock.h"
#include "park/world/VerezIvor.h"
#include "ui/park/BuildPalette.h"
#include "ui/park/GameHooks.h"
#include "ui/screens/LevelLoader.h"
#include "ui/screens/MainScreen.h"
#include "ui/screens/NoticeScreen.h"

namespace {
constexpr const char* kInstantActionName = "Instant Action";

using Problems = std::vector<std::string>;

// What went wrong in a start that still runs, told in one notice on top.
void TellProblems(CVerezIvor& park, const Problems& problems) {
  if (!problems.empty()) park.AddLayerOnTop(std::make_unique<CNoticeScreen>(problems));
}

// A saved game's bytes over the running game, through the controller when one is registered.
// freshRecord: the file's park block is read over a reset park record (CSavedGame::RecordBase::kFresh).
bool LoadIntoRunningGame(CVerezIvor& park, const std::vector<uint8_t>& bytes, bool freshRecord) {
  const GameHooks& hooks = GetGameHooks();
  if (hooks.loadGame != nullptr) return hooks.loadGame(park, bytes.data(), bytes.size(), freshRecord);
  ControllerSaveFields fields;
  return CSavedGame::Load(park, fields, bytes.data(), bytes.size(),
                          freshRecord ? CSavedGame::RecordBase::kFresh : CSavedGame::RecordBase::kPark);
}

// The level index and park name a saved game's head holds; false (logged) when the file is
// shorter than a head, or of a version the reader does not take or whose head holds no level.
bool ReadSavedHead(const char* path, const std::vector<uint8_t>& bytes, uint8_t& level, std::string& name) {
  if (bytes.size() < SavedParkBlock::kHeadSize) {
    DebugPrintf("LoadGame: %s holds no saved game's head\n", path);
    return false;
  }
  const uint8_t* head = bytes.data();
  const uint32_t version = le::ReadU32(head);
  if (version < SavedParkBlock::kFirstVersionWithHead || version > SavedParkBlock::kVersion) {
    DebugPrintf("LoadGame: %s is of version %u, whose head names no level this program reads\n", path, version);
    return false;
  }
  level = head[4];
  // The file's loader leaves the park name to the screen that loads it: the name stored after the
  // level index.
  const char* stored = reinterpret_cast<const char*>(head + 5);
  name.assign(stored, strnlen(stored, ParkState::kParkNameSize));
  return true;
}

bool LevelIsThere(uint8_t level, const std::string& dataRoot) {
  const std::vector<int> levels = CLevelLoader(dataRoot).FindLevels();
  return std::find(levels.begin(), levels.end(), static_cast<int>(level)) != levels.end();
}

// The whole start of StartNewGame; what a running start lacks goes into problems.
bool StartGame(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName,
               const std::string& dataRoot, Problems& problems) {
  if (park == nullptr) return ResetParkRecord(park, levelIndex, startingMoney, parkName);
  ClearRunningGame(*park);
  ResetParkRecord(park, levelIndex, startingMoney, parkName);
  CLevelLoader loader(dataRoot);
  if (!loader.LoadLevel(*park, levelIndex)) {
    DebugPrintf("NewGame: level %d could not be loaded\n", levelIndex);
    ClearRunningGame(*park);
    return false;
  }
  // Items without meshes are logged and simply not offered.
  if (!loader.LoadCatalogs(*park)) problems.push_back("SOME BUILD ITEMS HAVE NO MESH AND ARE NOT OFFERED");
  const GameHooks& hooks = GetGameHooks();
  std::unique_ptr<CGameActionLayer> controller = hooks.createController != nullptr ? hooks.createController(*park) : nullptr;
  if (controller != nullptr) {
    park->AddLayerOnTop(std::move(controller));
  } else {
    DebugPrintf("NewGame: no in-game controller is registered\n");
  }
  // After the controller, which may have set it up itself.
  if (!loader.SetUpGrid(*park)) problems.push_back("THIS LEVEL HAS NO BUILD GRID: NOTHING CAN BE BUILT");
  park->AddLayerOnTop(std::make_unique<CBuildPalette>());
  // In the game the keys and buttons become the controller's actions.
  if (CInputMan* input = park->GetInputManager()) input->SetFrontEndMode(false);
  if (hooks.switchToGameRenderer != nullptr) hooks.switchToGameRenderer();
  return true;
}
}  // namespace

bool ResetParkRecord(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName) {
  if (park == nullptr) {
    DebugPrintf("NewGame: no park to start\n");
    return false;
  }
  ParkState& state = park->GetParkState();
  state.Reset();
  park->GetClock().Reset();
  state.levelIndex = levelIndex;
  state.money = startingMoney;
  state.SetParkName(parkName);
  park->CreateCounter();
  return true;
}

void ClearRunningGame(CVerezIvor& park) {
  park.SetController(nullptr);
  park.ClearGrid();
  park.ClearWorld();
}

bool StartNewGame(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName,
                  const std::string& dataRoot) {
  Problems problems;
  if (!StartGame(park, levelIndex, startingMoney, parkName, dataRoot, problems)) return false;
  if (park != nullptr) TellProblems(*park, problems);
  return true;
}

bool StartInstantAction(CVerezIvor* park, const std::string& dataRoot) {
  Problems problems;
  if (!StartGame(park, 0, kStartingMoneyEasy, kInstantActionName, dataRoot, problems) || park == nullptr) return false;
  const std::string path = CLevelLoader(dataRoot).GetLevelFolder(0) + kInstantActionFile;
  std::vector<uint8_t> bytes;
  if (!std::filesystem::exists(path) || !CSavedGame::ReadFile(path.c_str(), bytes) ||
      !LoadIntoRunningGame(*park, bytes, false)) {
    DebugPrintf("InstantAction: the park %s could not be loaded; an empty park is running\n", path.c_str());
    problems.push_back("THE INSTANT ACTION PARK COULD NOT BE LOADED");
    problems.push_back("AN EMPTY PARK IS RUNNING");
  }
  TellProblems(*park, problems);
  return true;
}

SavedGameLoad LoadSavedGame(CVerezIvor* park, const char* path, const std::string& dataRoot) {
  if (park == nullptr || path == nullptr) return SavedGameLoad::kUnreadable;
  // Read once: the head, the check and the load all take these bytes, whatever happens to the file
  // while the level starts.
  std::vector<uint8_t> bytes;
  uint8_t level = 0;
  std::string name;
  if (!CSavedGame::ReadFile(path, bytes) || !ReadSavedHead(path, bytes, level, name)) return SavedGameLoad::kUnreadable;
  if (!LevelIsThere(level, dataRoot)) {
    DebugPrintf("LoadGame: %s is a game of level %u, which the data does not hold\n", path, level);
    return SavedGameLoad::kLevelMissing;
  }
  // A game runs while the park has its grid (leaving for the menu clears it).
  if (park->GetGrid() != nullptr && park->GetParkState().levelIndex == level) {
    // The reader checks the whole file against this park before it clears anything; the file's
    // park block is read over a reset record, as any game started by loading a file is.
    if (!LoadIntoRunningGame(*park, bytes, true)) {
      DebugPrintf("LoadGame: %s could not be loaded; the running park goes on\n", path);
      return SavedGameLoad::kNotLoaded;
    }
    park->GetParkState().SetParkName(name.c_str());
    return SavedGameLoad::kLoaded;
  }
  // Another level (or none) runs: the file is checked as far as it can be without its level running
  // before the running game is given up for it.
  if (!CLevelLoader(dataRoot).CheckSavedGame(*park, level, bytes.data(), bytes.size())) {
    DebugPrintf("LoadGame: %s could not be loaded; nothing was given up for it\n", path);
    return SavedGameLoad::kNotLoaded;
  }
  // Every layer goes, the new game's come on top.
  for (size_t i = 0; i < park->GetLayerCount(); ++i) park->GetLayer(i)->MarkForRemoval();
  Problems problems;
  if (StartGame(park, level, kStartingMoneyMedium, name.c_str(), dataRoot, problems) &&
      LoadIntoRunningGame(*park, bytes, false)) {
    TellProblems(*park, problems);
    return SavedGameLoad::kLoaded;
  }
  DebugPrintf("LoadGame: %s could not be loaded; back to the main menu\n", path);
  QuitToMainMenu(park);
  return SavedGameLoad::kNotLoaded;
}

bool SaveRunningGame(CVerezIvor* park, const char* path) {
  if (park == nullptr || path == nullptr) return false;
  const GameHooks& hooks = GetGameHooks();
  ControllerSaveFields fields;
  const bool saved = hooks.saveGame != nullptr ? hooks.saveGame(*park, path) : CSavedGame::SaveToFile(*park, fields, path);
  if (!saved) DebugPrintf("SaveGame: could not save to %s\n", path);
  return saved;
}

void QuitToMainMenu(CVerezIvor* park) {
  if (park == nullptr) return;
  for (size_t i = 0; i < park->GetLayerCount(); ++i) park->GetLayer(i)->MarkForRemoval();
  ClearRunningGame(*park);
  if (CInputMan* input = park->GetInputManager()) input->SetFrontEndMode(true);
  if (GetGameHooks().switchToMenuRenderer != nullptr) GetGameHooks().switchToMenuRenderer();
  park->AddLayerOnTop(std::make_unique<CMainScreen>());
}

void RenewMenuRenderer() {
  if (GetGameHooks().renewMenuRenderer != nullptr) GetGameHooks().renewMenuRenderer();
}
