// The start-game routines (new game, instant action, a loaded game) and leaving a game for the
// main menu.
#pragma once

#include <cstdint>
#include <string>

class CVerezIvor;

// Starting money by the player's choice of challenge.
constexpr int32_t kStartingMoneyHard = 5000;
constexpr int32_t kStartingMoneyMedium = 10000;
constexpr int32_t kStartingMoneyEasy = 50000;
// Where the save and load screens keep the saved games (below the program's folder).
constexpr const char* kSavedGamesFolder = "saved_games";
// The park instant action starts with, a saved game in the first level's folder.
constexpr const char* kInstantActionFile = "instant_action.sav";

// Resets the park record and the clock, then sets the level, the starting money and the park
// name (cut to fit), and gives the park a fresh counter. Returns false without a park.
bool ResetParkRecord(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName);

// A whole new game: whatever game was running is cleared, the park record is reset as above,
// the level is loaded, the catalogs are read, the in-game controller (GetGameHooks) is made,
// registered and put on the layer stack, the grid is set up, the build palette goes on top, the
// input manager leaves its front-end mode (keys become game actions) and the game renderer is
// switched in. dataRoot holds "data/" (the working directory when empty).
// False (logged) when the level cannot be loaded; the park is then cleared and usable. A level
// without a build grid or catalog items without meshes still start (the level's rest runs
// without them); a notice on top tells the player.
bool StartNewGame(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName,
                  const std::string& dataRoot = std::string());
// The first level with the most money, under a fixed name, with the level's instant-action park
// (kInstantActionFile) loaded over it. A missing or unreadable park file is logged and told in a
// notice, and the empty park keeps running.
bool StartInstantAction(CVerezIvor* park, const std::string& dataRoot = std::string());
// Saves the running game into a folder that is there (the saved-games folder makes its own);
// false (logged) on failure, and an earlier file of that path is then left whole.
bool SaveRunningGame(CVerezIvor* park, const char* path);

// What came of loading a saved game chosen on the load screen.
enum class SavedGameLoad {
  kLoaded,        // the file's park runs
  kUnreadable,    // the file is missing, too large or its head is not one the reader takes: nothing changed
  kLevelMissing,  // the file's level is not in the data: nothing changed
  kNotLoaded,     // the file did not load: a running game is as it was, unless the file failed only
                  // once its own level had been started (then the main menu is back)
};
// A saved game over whatever runs, read over a reset park record. The file is read once: its head,
// the check and the load all take those bytes, whatever becomes of the file meanwhile. A running
// game of the file's level takes the file in place, and the file is checked whole before that park
// changes; otherwise the file is checked against its level's data, and only then is its level
// started as a new game and the file loaded over it (a file that fails then ends at the main menu).
SavedGameLoad LoadSavedGame(CVerezIvor* park, const char* path, const std::string& dataRoot = std::string());

// Ends the running game: every layer is marked for removal (the layer pass deletes them, so this
// is safe from inside a layer's tick), the park's objects, grid, terrain and lights are cleared,
// the controller is forgotten, the input manager's front-end mode and the menu renderer come
// back and a main screen goes on top.
void QuitToMainMenu(CVerezIvor* park);
// Clears the park's game (objects, grid, terrain, lights) and forgets its controller.
void ClearRunningGame(CVerezIvor& park);
// Makes the front end's renderer again after its settings (full screen) changed; nothing during a
// game, whose renderer is made when it starts.
void RenewMenuRenderer();
