// Tests of whole-file reading and the folder scan: files written to a fresh
// temporary folder and read back at the sizes around the shared buffer, the
// failure messages, buffer release, and scans of a small tree.
#include "core/data/FileBuffer.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

using testing_support::DebugCapture;
using testing_support::TempFolder;

namespace {

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// Loads the file and checks that it reads back byte for byte, at the size reported, with a NUL after.
char* LoadAndCheck(const std::string& path, const std::string& expected) {
  uint32_t size = 12345;
  char* buffer = LoadFileToBuffer(path.c_str(), &size);
  EXPECT_NE(buffer, nullptr) << path;
  if (!buffer) return nullptr;
  EXPECT_EQ(std::string(buffer, size), expected);
  EXPECT_EQ(buffer[size], '\0');
  return buffer;
}

// The address of the shared buffer: a small file read while it is free lands there.
const char* SharedBufferAddress(const TempFolder& folder) {
  const std::string path = folder.Write("probe.txt", "probe");
  char* buffer = LoadFileToBuffer(path.c_str());
  FreeFileBuffer(buffer);
  return buffer;
}

}  // namespace

TEST(FileBufferTest, RoundTripsAtEverySizeAroundTheSharedBuffer) {
  TempFolder folder;
  const char* shared = SharedBufferAddress(folder);
  ASSERT_NE(shared, nullptr);
  const size_t sizes[] = {0, 1, kFileBufferSharedLimit - 1, kFileBufferSharedLimit, kFileBufferSharedSize,
                          kFileBufferSharedSize + 1, 1500000};
  for (size_t size : sizes) {
    const std::string bytes = RandomBytes(size, static_cast<uint32_t>(size));
    // Written in one case, read through backslashes and another case.
    folder.Write("Data/Sub/File_" + std::to_string(size) + ".BIN", bytes);
    char* buffer = LoadAndCheck(folder.Path() + "data\\SUB\\file_" + std::to_string(size) + ".bin", bytes);
    // Files below the limit use the shared buffer; larger ones get their own block.
    EXPECT_EQ(buffer == shared, size < kFileBufferSharedLimit) << size;
    FreeFileBuffer(buffer);
  }
  // Without a size pointer the read still works.
  char* buffer = LoadFileToBuffer(folder.Write("x.txt", "xyz").c_str());
  ASSERT_NE(buffer, nullptr);
  EXPECT_STREQ(buffer, "xyz");
  FreeFileBuffer(buffer);
}

TEST(FileBufferTest, HeldBuffersSurviveLaterReadsAndCacheRelease) {
  TempFolder folder;
  const char* shared = SharedBufferAddress(folder);
  const std::string a = RandomBytes(5000, 1), b = RandomBytes(7000, 2);
  const std::string pathA = folder.Write("a.bin", a), pathB = folder.Write("b.bin", b);
  char* first = LoadAndCheck(pathA, a);
  char* second = LoadAndCheck(pathB, b);  // the shared buffer is held: a block of its own
  EXPECT_EQ(first, shared);
  EXPECT_NE(second, shared);
  FreeFileBuffer(second);
  // Releasing the cache while a result is held leaves that result valid.
  ReleaseFileBufferCache();
  char* next = LoadAndCheck(pathB, b);
  EXPECT_EQ(std::string(first, a.size()), a);
  FreeFileBuffer(first);  // frees the detached buffer (the leak checker would notice otherwise)
  FreeFileBuffer(next);
  ReleaseFileBufferCache();
  ReleaseFileBufferCache();  // twice is harmless
  FreeFileBuffer(LoadAndCheck(pathA, a));
}

TEST(FileBufferTest, FailuresAreLoggedAndBadReleasesRefused) {
  TempFolder folder;
  const std::string missing = folder.Path() + "no\\such/file.txt";
  DebugCapture capture;
  uint32_t size = 77;
  EXPECT_EQ(LoadFileToBuffer(missing.c_str(), &size), nullptr);
  EXPECT_EQ(size, 77u);
  EXPECT_EQ(capture.Text(), "Error Loading File: '" + missing + "' - Check Path and File Exists!\n" +
                                "Current Working Directory: " + std::filesystem::current_path().string() + "\n");
  // A folder is not a file: the same failure, not an empty success.
  capture.Clear();
  const std::string sub = folder.MakeFolder("sub");
  EXPECT_EQ(LoadFileToBuffer(sub.c_str(), &size), nullptr);
  EXPECT_EQ(capture.Text().rfind("Error Loading File: '" + sub + "'", 0), 0u);
  capture.Clear();
  EXPECT_EQ(LoadFileToBuffer(nullptr, &size), nullptr);
  FreeFileBuffer(nullptr);
  EXPECT_EQ(capture.Text(), "");

  const std::string big = RandomBytes(kFileBufferSharedSize + 10, 3);
  char* block = LoadAndCheck(folder.Write("big.bin", big), big);
  FreeFileBuffer(block);
  FreeFileBuffer(block);  // a second release of the same block
  char local[4] = {};
  FreeFileBuffer(local);  // never came from a read
  EXPECT_EQ(capture.Text(),
            "FreeFileBuffer: not a file buffer, or already freed\n"
            "FreeFileBuffer: not a file buffer, or already freed\n");
}

TEST(FileBufferTest, ScansFoldersDepthFirstAndSkipsDotFolders) {
  TempFolder folder;
  for (const char* name : {"a.tga", "B.tga", "c.wav", "sub/d.TGA", "sub/deeper/f.tga", ".hidden/e.tga", "zz/g.tga"})
    folder.Write(std::string("root/") + name, "");
  folder.MakeFolder("root/folder.tga");
  const std::string root = folder.Path() + "root";

  std::vector<std::string> names = {"kept"};
  ScanDirectoryRecursive(root.c_str(), "*.tga", names, true);
  // Appended to the list; folders that match the pattern are listed too.
  EXPECT_EQ(names, (std::vector<std::string>{"kept", root + "/B.tga", root + "/a.tga", root + "/folder.tga",
                                             root + "/sub/d.TGA", root + "/sub/deeper/f.tga", root + "/zz/g.tga"}));

  names.clear();
  ScanDirectoryRecursive((root + "/").c_str(), "*.tga", names, false);
  EXPECT_EQ(names, (std::vector<std::string>{root + "/B.tga", root + "/a.tga", root + "/folder.tga"}));

  // The folder as the data writes it: other case, backslashes kept in the names.
  names.clear();
  const std::string upper = folder.Path() + "ROOT\\SUB";
  ScanDirectoryRecursive(upper.c_str(), "*.tga", names, false);
  EXPECT_EQ(names, (std::vector<std::string>{upper + "/d.TGA"}));
}

TEST(FileBufferTest, ScanStopsInAFolderLoop) {
  TempFolder folder;
  folder.Write("loop/x.txt", "");
  std::filesystem::create_directory_symlink(folder.Path() + "loop", folder.Path() + "loop/again");
  const std::string root = folder.Path() + "loop";
  std::vector<std::string> names;
  DebugCapture capture;
  ScanDirectoryRecursive(root.c_str(), "*.txt", names, true);
  ASSERT_EQ(names.size(), 33u);  // the folder itself and 32 nested levels below it
  EXPECT_EQ(names[0], root + "/x.txt");
  EXPECT_EQ(names[1], root + "/again/x.txt");
  EXPECT_NE(capture.Text().find("ScanDirectoryRecursive: "), std::string::npos);
}
