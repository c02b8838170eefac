// File mapping and whole-file replacement: views are private copies of the file, and a file
// replaced while mapped leaves the view's bytes as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files/FileMapping.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;
using testing_support::OpenDescriptors;
using testing_support::ReadBytes;
using testing_support::TempFolder;

namespace {

struct Mapped {
  HANDLE file = nullptr;
  HANDLE mapping = nullptr;
  void* view = nullptr;
  explicit Mapped(const std::string& path) {
    file = plat::OpenFileForMapping(path.c_str());
    mapping = file ? CreateFileMappingA(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr) : nullptr;
    view = mapping ? MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0) : nullptr;
  }
  ~Mapped() {
    if (view) EXPECT_EQ(TRUE, UnmapViewOfFile(view));
    plat::CloseMappingHandle(mapping);
    plat::CloseMappingHandle(file);
  }
};

}  // namespace

TEST(MeshFileMappingTest, CopyOnWriteViewsNeverChangeTheFile) {
  TempFolder folder;
  const std::string path = folder.Write("a.bin", "abcdefgh");
  const long openBefore = OpenDescriptors();
  {
    Mapped m(path);
    ASSERT_NE(nullptr, m.view);
    EXPECT_EQ(8, plat::GetMappingHandleSize(m.mapping));
    char* bytes = static_cast<char*>(m.view);
    EXPECT_EQ("abcdefgh", std::string(bytes, 8));
    bytes[0] = 'X';
    EXPECT_EQ("abcdefgh", ReadBytes(path));
  }
  EXPECT_EQ(openBefore, OpenDescriptors()) << "closing the handles closes the file";
}

TEST(MeshFileMappingTest, MissingEmptyAndUnsupportedRequestsFail) {
  TempFolder folder;
  DebugCapture log;
  EXPECT_EQ(nullptr, plat::OpenFileForMapping((folder.Path() + "none.bin").c_str()));
  EXPECT_EQ(nullptr, plat::OpenFileForMapping(folder.Path().c_str()));  // a folder
  Mapped empty(folder.Write("empty.bin", ""));
  EXPECT_NE(nullptr, empty.mapping);
  EXPECT_EQ(nullptr, empty.view);
  HANDLE file = plat::OpenFileForMapping(folder.Write("b.bin", "1234").c_str());
  EXPECT_EQ(nullptr, MapViewOfFile(file, FILE_MAP_COPY, 0, 0, 0));  // a file is not a mapping
  plat::CloseMappingHandle(file);
}

TEST(MeshFileMappingTest, ReplacingAMappedFileKeepsTheViewAndLeavesNoTemporaries) {
  TempFolder folder;
  DebugCapture log;
  const std::string path = folder.Write("c.bin", "old contents");
  Mapped m(path);
  ASSERT_NE(nullptr, m.view);
  ASSERT_TRUE(plat::ReplaceFileContents(path.c_str(), "new", 3));
  EXPECT_EQ("new", ReadBytes(path));
  EXPECT_EQ("old contents", std::string(static_cast<const char*>(m.view), 12));
  EXPECT_FALSE(plat::ReplaceFileContents((folder.Path() + "missing/d.bin").c_str(), "x", 1));
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) entries += entry.is_regular_file();
  EXPECT_EQ(1u, entries);
}
