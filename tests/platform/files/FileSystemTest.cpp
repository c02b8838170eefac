// The platform file layer: data paths written with backslashes and in any letter case, wildcard
// matching, folder listings and the file reader.
#include "platform/files/FileSystem.h"

#include "platform/system/Win32.h"

#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

using testing_support::TempFolder;

TEST(FileSystemTest, ResolvesBackslashesAndLetterCase) {
  TempFolder folder;
  folder.Write("Data/Textures/Grass.TGA", "g");
  folder.Write("foo", "lower");
  folder.Write("Foo", "upper");
  folder.Write("FOO_x", "");
  const std::string base = folder.Path();
  const struct {
    std::string asked, resolved;
  } cases[] = {
      {"Data\\Textures\\Grass.TGA", "Data/Textures/Grass.TGA"},
      {"data\\textures/grass.tga", "Data/Textures/Grass.TGA"},
      {"DATA/TEXTURES/", "Data/Textures/"},
      {"data/./textures/../Textures/grass.tga", "Data/./Textures/../Textures/Grass.TGA"},
      {"data/textures/New\\Sky.tga", "Data/Textures/New/Sky.tga"},  // a missing name keeps the rest as written
      {"fOO", "Foo"},                                                // ambiguous case: the bytewise first name
  };
  for (const auto& c : cases) EXPECT_EQ(plat::ResolvePath((base + c.asked).c_str()), base + c.resolved) << c.asked;
  EXPECT_EQ(plat::ResolvePath(nullptr), "");

  EXPECT_TRUE(plat::FileExists((base + "data\\textures\\GRASS.tga").c_str()));
  EXPECT_FALSE(plat::FileExists((base + "data").c_str()));
  EXPECT_TRUE(plat::DirectoryExists((base + "DATA").c_str()));
  EXPECT_FALSE(plat::DirectoryExists((base + "data/textures/grass.tga").c_str()));
  EXPECT_FALSE(plat::FileExists(nullptr));

  // One file under every spelling has one identity; another file of the same content has another.
  folder.Write("Data/Textures/Copy.tga", "g");
  plat::FileIdentity grass, same, copy;
  ASSERT_TRUE(plat::GetFileIdentity((base + "Data/Textures/Grass.TGA").c_str(), grass));
  ASSERT_TRUE(plat::GetFileIdentity((base + "DATA/./textures//../Textures\\GRASS.tga").c_str(), same));
  ASSERT_TRUE(plat::GetFileIdentity((base + "Data/Textures/Copy.tga").c_str(), copy));
  EXPECT_TRUE(same == grass && !(copy == grass));
  EXPECT_FALSE(plat::GetFileIdentity((base + "Data/Textures/None.tga").c_str(), copy));

  // Relative paths start at the working directory.
  testing_support::WorkingFolder work;
  ASSERT_TRUE(work.Entered());
  work.Write("Data/Level.INI", "x");
  EXPECT_EQ(plat::ResolvePath("data\\level.ini"), "Data/Level.INI");
  EXPECT_EQ(plat::ResolvePath(".\\DATA/level.ini"), "./Data/Level.INI");
}

TEST(FileSystemTest, MatchesWildcards) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "", true},                   {"*.tga", "Grass.TGA", true},      {"*.tga", "grass.tga.bak", false},
      {"*.tga", ".tga", true},           {"*.*", "noextension", true},      {"a?c", "abc", true},
      {"a?c", "ac", false},              {"a*b*c", "aXXbYYbc", true},       {"a*b*c", "aXXbYYbd", false},
      {"font*.bin", "Font12.BIN", true}, {"", "", true},                    {"", "a", false},
      {"**x", "x", true},                {"*a", "bab", false},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  EXPECT_FALSE(plat::MatchWildcard(nullptr, "a"));
}

TEST(FileSystemTest, ListsMatchingEntriesSortedAndReadsToTheEnd) {
  TempFolder folder;
  for (const char* name : {"list/b.txt", "list/A.TXT", "list/c.bin"}) folder.Write(name, "");
  folder.MakeFolder("list/d.txt");
  std::vector<plat::DirectoryEntry> entries;
  ASSERT_TRUE(plat::ListDirectory((folder.Path() + "LIST").c_str(), "*.txt", entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(entries[0].name == "A.TXT" && !entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_TRUE(entries[2].name == "d.txt" && entries[2].isDirectory);
  entries.clear();
  ASSERT_TRUE(plat::ListDirectory((folder.Path() + "list/").c_str(), "*", entries));
  EXPECT_EQ(entries.size(), 4u);  // never "." or ".."
  EXPECT_FALSE(plat::ListDirectory((folder.Path() + "none").c_str(), "*", entries));
  EXPECT_EQ(entries.size(), 4u);

  folder.Write("Data.bin", "0123456789");
  plat::CReadFile file;
  EXPECT_FALSE(file.Open(folder.Path().c_str()));  // a folder is not a file
  ASSERT_EQ(::mkfifo((folder.Path() + "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(file.Open((folder.Path() + "pipe").c_str())) << "nor a pipe, refused without waiting for a writer";
  EXPECT_EQ(file.Size(), -1);
  ASSERT_TRUE(file.Open((folder.Path() + "DATA.BIN").c_str()));
  EXPECT_EQ(file.Size(), 10);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, 4), 4u);
  errno = EINTR;  // left by an earlier interrupted call: the end of the file still ends the read
  EXPECT_EQ(file.Read(buffer, 16), 6u);  // only what is left
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(file.Read(buffer, 16), 0u);
  file.Close();
  EXPECT_EQ(file.Read(buffer, 4), 0u);
}
