// The Windows file functions on POSIX: mixed-case backslash paths, a random read/write/seek run
// against an in-memory model, sorted folder walks and refusal of stale handles.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/files/Win32Files.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::TempFolder;

std::string ReadWhole(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr));
  EXPECT_EQ(text.size(), got);
  CloseHandle(file);
  return text;
}

std::vector<std::string> Walk(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(std::string(data.cFileName) + ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "/" : ""));
  } while (FindNextFileA(search, &data));
  EXPECT_TRUE(FindClose(search));
  return names;
}

}  // namespace

TEST(Win32Files, MixedCaseBackslashPathsReachTheFilesOnDisk) {
  TempFolder temp;
  temp.Write("Data/Meshes/Crate.MESH", "crate bytes");
  const std::string root = temp.Path();
  EXPECT_EQ("crate bytes", ReadWhole(root + "DATA\\meshes\\crate.mesh"));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA((root + "data\\MESHES\\").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root + "data\\meshes\\none.mesh").c_str()));

  // A new file in an existing folder of another case lands in that folder, under the name given.
  const std::string created = root + "DATA\\MESHES\\New.txt";
  HANDLE out = CreateFileA(created.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(out, "hello", 5, &written, nullptr));
  EXPECT_TRUE(CloseHandle(out));
  EXPECT_EQ("hello", ReadWhole(root + "Data/Meshes/New.txt"));
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(created.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA((root + "data").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));

  EXPECT_TRUE(CreateDirectoryA((root + "DATA\\Sounds").c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryA((root + "data\\sounds").c_str(), nullptr));  // exists, in another case
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA((root + "data/Sounds").c_str()));
  EXPECT_FALSE(DeleteFileA((root + "data\\sounds").c_str()));  // a folder is not a file
  EXPECT_TRUE(DeleteFileA((root + "data\\meshes\\NEW.TXT").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root + "data\\meshes\\new.txt").c_str()));
}

TEST(Win32Files, RandomReadsWritesAndSeeksAgreeWithAModel) {
  TempFolder temp;
  const std::string path = temp.Path() + "Model.BIN";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  std::vector<char> model;
  size_t position = 0;
  std::mt19937 random(1234);
  for (int step = 0; step < 3000; ++step) {
    std::vector<char> bytes(1 + random() % 40);
    const int action = random() % 3;
    if (action == 0) {  // write at the position; past the end leaves a zero-filled gap
      for (char& b : bytes) b = static_cast<char>(random());
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
      ASSERT_EQ(bytes.size(), written);
      if (model.size() < position + bytes.size()) model.resize(position + bytes.size(), '\0');
      std::memcpy(model.data() + position, bytes.data(), bytes.size());
      position += bytes.size();
    } else if (action == 1) {  // read; short only at the end
      DWORD got = 12345;
      ASSERT_TRUE(ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr));
      const size_t expected = position >= model.size() ? 0 : std::min(bytes.size(), model.size() - position);
      ASSERT_EQ(expected, got);
      if (expected > 0) ASSERT_EQ(0, std::memcmp(bytes.data(), model.data() + position, expected));
      position += expected;
    } else {  // seek from one of the three origins, sometimes before the start (refused)
      const DWORD method = random() % 3;
      const LONG distance = static_cast<LONG>(random() % 200) - 100;
      const long long base = method == FILE_BEGIN ? 0 : method == FILE_CURRENT ? static_cast<long long>(position)
                                                                                 : static_cast<long long>(model.size());
      const DWORD result = SetFilePointer(file, distance, nullptr, method);
      if (base + distance < 0) {
        ASSERT_EQ(INVALID_SET_FILE_POINTER, result);
      } else {
        position = static_cast<size_t>(base + distance);
        ASSERT_EQ(position, result);
      }
    }
    ASSERT_EQ(model.size(), GetFileSize(file, nullptr));
  }
  LONG high = 1;  // a distance past 4 GiB: the high word is the distance's own
  EXPECT_TRUE(SetFilePointer(file, 7, &high, FILE_BEGIN) == 7u && high == 1) << high;
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(std::string(model.begin(), model.end()), ReadWhole(path));
}

TEST(Win32Files, FolderWalksAreSortedAndStaleHandlesAreRefused) {
  TempFolder temp;
  for (const char* name : {"c.WAV", "b.wav", "A.wav", "a2.wav", "notes.txt"}) temp.Write(std::string("Sounds/") + name, "x");
  temp.MakeFolder("Sounds/Zed.wav");
  const std::string folder = temp.Path() + "SOUNDS\\";
  EXPECT_EQ((std::vector<std::string>{"A.wav", "Zed.wav/", "a2.wav", "b.wav", "c.WAV"}), Walk(folder + "*.wav"));
  EXPECT_EQ((std::vector<std::string>{"a2.wav"}), Walk(folder + "A?.WAV"));
  EXPECT_EQ(6u, Walk(folder + "*").size());  // "." and ".." are never reported
  EXPECT_TRUE(Walk(temp.Path() + "missing\\*").empty());

  WIN32_FIND_DATAA data;
  std::memset(&data, 0xAA, sizeof(data));  // nothing the record held before may show through
  HANDLE search = FindFirstFileA((folder + "*.txt").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_EQ(std::string("notes.txt").append(MAX_PATH - 9, '\0'), std::string(data.cFileName, MAX_PATH));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), data.dwFileAttributes);
  EXPECT_EQ(1u, data.nFileSizeLow);
  EXPECT_EQ(0u, data.nFileSizeHigh);
  EXPECT_FALSE(ReadFile(search, &data, 1, nullptr, nullptr));  // a search is not a file
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindNextFileA(search, &data));
  // A pattern without a folder searches the working folder, sizes included.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(temp.Path() + "Sounds");
  const HANDLE here = FindFirstFileA("*.txt", &data);
  std::filesystem::current_path(before);
  ASSERT_NE(INVALID_HANDLE_VALUE, here);
  EXPECT_EQ(1u, data.nFileSizeLow);
  EXPECT_TRUE(FindClose(here));

  HANDLE file = CreateFileA((folder + "b.wav").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(FindClose(file));  // a file is not a search
  EXPECT_TRUE(CloseHandle(file));
  char byte = 0;
  DWORD got = 7;
  EXPECT_FALSE(ReadFile(file, &byte, 1, &got, nullptr));
  EXPECT_EQ(0u, got);
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(file, nullptr));
}
