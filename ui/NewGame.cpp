// The start-game routines: the order of a game's start, and its end.
#include "ui/NewGame.h"

#include <cstring>
#include <filesystem>
#include <memory>

#include "core/GameActionLayer.h"
#include "core/InputMan.h"
#include "core/math/DebugPrintf.h"
#include "core/math/FileBuffer.h"
#include "core/math/LittleEndian.h"
#include "park/SavedGame.h"
#include "park/VerezIvor.h"
#include "ui/BuildPalette.h"
#include "ui/GameHooks.h"
#include "ui/LevelLoader.h"
#include "ui/MainScreen.h"

namespace {
constexpr const char* kInstantActionName = "Instant Action";
// The saved park block begins with its version word and, from version 8 on, the level index.
constexpr uint32_t kFirstVersionWithLevel = 8;
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
  if (park == nullptr) return ResetParkRecord(park, levelIndex, startingMoney, parkName);
  ClearRunningGame(*park);
  ResetParkRecord(park, levelIndex, startingMoney, parkName);
  CLevelLoader loader(dataRoot);
  if (!loader.LoadLevel(*park, levelIndex)) {
    DebugPrintf("NewGame: level %d could not be loaded\n", levelIndex);
    ClearRunningGame(*park);
    return false;
  }
  loader.LoadCatalogs(*park);  // items without meshes are logged and simply not offered
  const GameHooks& hooks = GetGameHooks();
  std::unique_ptr<CGameActionLayer> controller = hooks.createController != nullptr ? hooks.createController(*park) : nullptr;
  if (controller != nullptr) {
    park->AddLayerOnTop(std::move(controller));
  } else {
    DebugPrintf("NewGame: no in-game controller is registered\n");
  }
  loader.SetUpGrid(*park);  // after the controller, which may have set it up itself
  park->AddLayerOnTop(std::make_unique<CBuildPalette>());
  // In the game the keys and buttons become the controller's actions.
  if (CInputMan* input = park->GetInputManager()) input->SetFrontEndMode(false);
  if (hooks.switchToGameRenderer != nullptr) hooks.switchToGameRenderer();
  return true;
}

bool StartInstantAction(CVerezIvor* park, const std::string& dataRoot) {
  return StartNewGame(park, 0, kStartingMoneyEasy, kInstantActionName, dataRoot);
}

bool StartLoadedGame(CVerezIvor* park, const char* path, const std::string& dataRoot) {
  if (park == nullptr || path == nullptr) return false;
  uint32_t size = 0;
  char* data = std::filesystem::exists(path) ? LoadFileToBuffer(path, &size) : nullptr;
  if (data == nullptr) {
    DebugPrintf("LoadGame: no saved game at %s\n", path);
    return false;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(data);
  const bool readable = size >= 5 && le::ReadU32(bytes) >= kFirstVersionWithLevel;
  const uint8_t level = readable ? bytes[4] : 0;
  // The file's loader leaves the park name to this screen: it is the name stored after the level
  // index, or, in a file too short to hold it, the file's own name.
  std::string name = std::filesystem::path(path).stem().string();
  if (readable && size >= 5 + ParkState::kParkNameSize) {
    const char* stored = reinterpret_cast<const char*>(bytes + 5);
    name.assign(stored, strnlen(stored, ParkState::kParkNameSize));
  }
  FreeFileBuffer(data);
  if (!readable) {
    DebugPrintf("LoadGame: %s has no readable park block\n", path);
    return false;
  }
  if (!StartNewGame(park, level, kStartingMoneyMedium, name.c_str(), dataRoot)) return false;
  const GameHooks& hooks = GetGameHooks();
  bool loaded = false;
  if (hooks.loadGame != nullptr) {
    loaded = hooks.loadGame(*park, path);
  } else {
    ControllerSaveFields fields;
    loaded = CSavedGame::LoadFromFile(*park, fields, path);
  }
  if (!loaded) DebugPrintf("LoadGame: %s could not be loaded; a fresh park is running\n", path);
  return true;
}

bool SaveRunningGame(CVerezIvor* park, const char* path) {
  if (park == nullptr || path == nullptr) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
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
