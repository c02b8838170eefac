// SavedGameFolder: the "saved_games" folder the save and load screens work in - the games it
// holds, the file of a game's name, the names a player may give, and saving under one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CSprite;
class CVerezIvor;

class SavedGameFolder {
 public:
  static constexpr const char* kExtension = ".sav";
  // Long enough for a park's name, short enough for a line of the screens.
  static constexpr size_t kMaxNameLength = 32;

  // root: the folder that holds "saved_games" (the working directory when empty).
  explicit SavedGameFolder(std::string root = std::string());

  // The names (without ".sav") of the games in the folder, sorted without regard to case; empty
  // when the folder is missing or holds none.
  std::vector<std::string> List() const;
  std::string GetFolder() const;
  std::string PathOf(const std::string& name) const;
  // Whether a game of that name is there (a file of another letter case counts: it is the one a
  // save would replace).
  bool Holds(const std::string& name) const;

  // Why the name cannot be a saved game's, in words the font can show, or empty when it can: the
  // field's own checks (a letter the font cannot draw included), no path separator or ".."
  // (nothing is written outside the folder), none of the signs a file name cannot hold, no point
  // to begin it (a hidden file, or the folder itself), and no space to end it or be all of it.
  static std::string CheckName(const std::string& name, const CSprite* font);
  // Saves the running game as the name's file, making the folder when it is missing. False when
  // CheckName refuses the name (with the screen's font), or the folder or the file cannot be
  // written; an earlier file of that name is then left whole.
  bool Save(CVerezIvor* park, const std::string& name, const CSprite* font) const;

 private:
  std::string m_root;
};
