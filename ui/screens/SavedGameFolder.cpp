// SavedGameFolder: listing, naming and saving in the saved-games folder.
#include "ui/screens/SavedGameFolder.h"

#include <algorithm>
#include <cctype>

#include "core/data/DebugPrintf.h"
#include "platform/files/FileSystem.h"
#include "platform/files/Win32Files.h"
#include "ui/screens/NewGame.h"
#include "ui/widgets/TextField.h"

namespace {
bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}
}  // namespace

SavedGameFolder::SavedGameFolder(std::string root) : m_root(std::move(root)) {
  if (!m_root.empty() && m_root.back() != '/' && m_root.back() != '\\') m_root += '/';
}

std::string SavedGameFolder::GetFolder() const { return m_root + kSavedGamesFolder; }

std::string SavedGameFolder::PathOf(const std::string& name) const { return GetFolder() + "/" + name + kExtension; }

bool SavedGameFolder::Holds(const std::string& name) const { return plat::FileExists(PathOf(name).c_str()); }

std::vector<std::string> SavedGameFolder::List() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const std::string pattern = GetFolder() + "/*" + kExtension;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  const size_t extension = std::char_traits<char>::length(kExtension);
  do {
    const std::string file = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && file.size() > extension)
      names.push_back(file.substr(0, file.size() - extension));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
  return names;
}

std::string SavedGameFolder::CheckName(const std::string& name, const CSprite* font) {
  if (name.find_first_of("/\\") != std::string::npos) return "A NAME CANNOT HOLD A SLASH OR A BACKSLASH";
  if (name.find("..") != std::string::npos) return "A NAME CANNOT HOLD TWO POINTS IN A ROW";
  const std::string field = TextField(name, name.size()).Check(kMaxNameLength, font);
  if (!field.empty()) return field;
  // Signs that are wildcards or separators to the file system, whether or not the font shows them.
  if (name.find_first_of("*?<>:|\"") != std::string::npos) return "THE NAME HOLDS A SIGN NO FILE NAME MAY HOLD";
  if (name.front() == '.') return "A NAME CANNOT BEGIN WITH A POINT";
  if (name.find_first_not_of(' ') == std::string::npos) return "A NAME CANNOT BE ONLY SPACES";
  if (name.back() == ' ') return "A NAME CANNOT END IN A SPACE";
  return std::string();
}

bool SavedGameFolder::Save(CVerezIvor* park, const std::string& name, const CSprite* font) const {
  if (!CheckName(name, font).empty()) {
    DebugPrintf("SaveGame: \"%s\" is no name for a saved game\n", name.c_str());
    return false;
  }
  const std::string folder = GetFolder();
  if (!plat::DirectoryExists(folder.c_str()) && !CreateDirectoryA(folder.c_str(), nullptr)) {
    DebugPrintf("SaveGame: the folder %s cannot be made\n", folder.c_str());
    return false;
  }
  return SaveRunningGame(park, PathOf(name).c_str());
}
