// Whole-file replacement, the old file kept when the write cannot happen; the reported memory size.
#include "platform/files/FileWrite.h"
#include "platform/system/SystemInfo.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using testing_support::ReadBytes;
using testing_support::TempFolder;

namespace {

TEST(FileWrite, ReplacesWholeFilesAndKeepsTheOldOneOnFailure) {
  TempFolder folder;
  const std::string path = folder.Path() + "Data.bin";
  const std::string first(5000, 'a');
  ASSERT_TRUE(plat::ReplaceFileContents(path.c_str(), first.data(), first.size()));
  EXPECT_EQ(ReadBytes(path), first);
  // Shorter contents leave nothing of the longer file behind; a differently cased name is the same file.
  ASSERT_TRUE(plat::ReplaceFileContents((folder.Path() + "DATA.BIN").c_str(), "xyz", 3));
  EXPECT_EQ(ReadBytes(path), "xyz");
  ASSERT_TRUE(plat::ReplaceFileContents(path.c_str(), nullptr, 0));
  EXPECT_EQ(ReadBytes(path), "");

  // A folder in the way, or a missing parent folder: false, and nothing else changes.
  folder.Write("Blocked/inside", "keep");
  EXPECT_FALSE(plat::ReplaceFileContents((folder.Path() + "Blocked").c_str(), "new", 3));
  EXPECT_EQ(ReadBytes(folder.Path() + "Blocked/inside"), "keep");
  EXPECT_FALSE(plat::ReplaceFileContents((folder.Path() + "missing/file").c_str(), "new", 3));
  EXPECT_FALSE(plat::ReplaceFileContents(nullptr, "new", 3));
  EXPECT_FALSE(plat::ReplaceFileContents(path.c_str(), nullptr, 3));

  // No temporary file is left behind.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) entries += entry.exists();
  EXPECT_EQ(entries, 2);  // Data.bin and Blocked
}

TEST(SystemInfo, MemorySizeMatchesTheKernels) {
  MEMORYSTATUS status;
  GlobalMemoryStatus(&status);
  EXPECT_EQ(status.dwLength, sizeof(status));
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  size_t kernelKiB = 0;
  while (std::getline(meminfo, line))
    if (line.compare(0, 9, "MemTotal:") == 0) std::istringstream(line.substr(9)) >> kernelKiB;
  ASSERT_GT(kernelKiB, 0u);
  EXPECT_EQ(status.dwTotalPhys / 1024, kernelKiB);
  EXPECT_LE(status.dwAvailPhys, status.dwTotalPhys);
  EXPECT_LE(status.dwMemoryLoad, 100u);
}

}  // namespace
