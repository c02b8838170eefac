// Tests of the platform file layer: resolution of data paths written with
// backslashes and in any letter case, wildcard matching, folder listings and
// the file reader.
#include "platform/FileSystem.h"

#include "platform/Win32.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::TempFolder;

TEST(FileSystemTest, ResolvesBackslashesAndLetterCase) {
  TempFolder folder;
  folder.Write("Data/Textures/Grass.TGA", "g");
  const std::string base = folder.Path();

  // An exact name only has its backslashes turned.
  EXPECT_EQ(plat::ResolvePath((base + "Data\\Textures\\Grass.TGA").c_str()), base + "Data/Textures/Grass.TGA");
  // Every component is matched against the disk without regard to case.
  EXPECT_EQ(plat::ResolvePath((base + "data\\textures/grass.tga").c_str()), base + "Data/Textures/Grass.TGA");
  EXPECT_EQ(plat::ResolvePath((base + "DATA/TEXTURES/").c_str()), base + "Data/Textures/");
  EXPECT_EQ(plat::ResolvePath((base + "data/./textures/../Textures/grass.tga").c_str()),
            base + "Data/./Textures/../Textures/Grass.TGA");
  // A missing name keeps the rest as written, below the resolved folders.
  EXPECT_EQ(plat::ResolvePath((base + "data/textures/New\\Sky.tga").c_str()), base + "Data/Textures/New/Sky.tga");
  EXPECT_EQ(plat::ResolvePath(""), "");
  EXPECT_EQ(plat::ResolvePath(nullptr), "");
}

TEST(FileSystemTest, ResolvesRelativePathsFromTheWorkingDirectory) {
  TempFolder folder;
  folder.Write("Data/Level.INI", "x");
  char previous[4096];
  ASSERT_GT(GetCurrentDirectoryA(sizeof(previous), previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
  const std::string plain = plat::ResolvePath("data\\level.ini");
  const std::string dotted = plat::ResolvePath(".\\DATA/level.ini");
  const bool exists = plat::FileExists("DATA/LEVEL.ini");
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(plain, "Data/Level.INI");
  EXPECT_EQ(dotted, "./Data/Level.INI");
  EXPECT_TRUE(exists);
}

TEST(FileSystemTest, AmbiguousCaseTakesTheBytewiseFirstName) {
  TempFolder folder;
  folder.Write("foo", "lower");
  folder.Write("Foo", "upper");
  folder.Write("FOO_x", "");
  EXPECT_EQ(plat::ResolvePath((folder.Path() + "fOO").c_str()), folder.Path() + "Foo");
}

TEST(FileSystemTest, ExistenceTests) {
  TempFolder folder;
  folder.Write("Sub/file.bin", "abc");
  EXPECT_TRUE(plat::FileExists((folder.Path() + "sub\\FILE.bin").c_str()));
  EXPECT_FALSE(plat::FileExists((folder.Path() + "sub").c_str()));
  EXPECT_TRUE(plat::DirectoryExists((folder.Path() + "SUB").c_str()));
  EXPECT_FALSE(plat::DirectoryExists((folder.Path() + "sub/file.bin").c_str()));
  EXPECT_FALSE(plat::FileExists((folder.Path() + "nothing").c_str()));
  EXPECT_FALSE(plat::FileExists(nullptr));
}

TEST(FileSystemTest, MatchesWildcards) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*", "anything", true},        {"*", "", true},                {"*.tga", "Grass.TGA", true},
      {"*.tga", "grass.tga.bak", false}, {"*.tga", ".tga", true},     {"*.*", "noextension", true},
      {"a?c", "abc", true},           {"a?c", "ac", false},           {"a*b*c", "aXXbYYbc", true},
      {"a*b*c", "aXXbYYbd", false},   {"font*.bin", "Font12.BIN", true}, {"", "", true},
      {"", "a", false},               {"**x", "x", true},             {"*a", "bab", false},
  };
  for (const Case& c : cases) EXPECT_EQ(plat::MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  EXPECT_FALSE(plat::MatchWildcard(nullptr, "a"));
}

TEST(FileSystemTest, ListsMatchingEntriesSorted) {
  TempFolder folder;
  folder.Write("list/b.txt", "");
  folder.Write("list/A.TXT", "");
  folder.Write("list/c.bin", "");
  folder.MakeFolder("list/d.txt");
  std::vector<plat::DirectoryEntry> entries;
  ASSERT_TRUE(plat::ListDirectory((folder.Path() + "LIST").c_str(), "*.txt", entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "A.TXT");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_EQ(entries[2].name, "d.txt");
  EXPECT_TRUE(entries[2].isDirectory);

  entries.clear();
  ASSERT_TRUE(plat::ListDirectory((folder.Path() + "list/").c_str(), "*", entries));
  EXPECT_EQ(entries.size(), 4u);  // never "." or ".."
  EXPECT_FALSE(plat::ListDirectory((folder.Path() + "none").c_str(), "*", entries));
  EXPECT_EQ(entries.size(), 4u);
}

TEST(FileSystemTest, ReaderRefusesFoldersAndReadsToTheEnd) {
  TempFolder folder;
  const std::string path = folder.Write("Data.bin", "0123456789");
  plat::CReadFile file;
  EXPECT_FALSE(file.Open(folder.Path().c_str()));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Size(), -1);
  ASSERT_TRUE(file.Open((folder.Path() + "DATA.BIN").c_str()));
  EXPECT_EQ(file.Size(), 10);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(file.Read(buffer, 16), 6u);  // only what is left
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(file.Read(buffer, 16), 0u);
  file.Close();
  EXPECT_EQ(file.Read(buffer, 4), 0u);
  EXPECT_FALSE(file.Open((folder.Path() + "missing.bin").c_str()));
}
