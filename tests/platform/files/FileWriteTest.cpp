// Whole-file replacement, the old file kept when the write cannot happen; the reported memory size.
#include "platform/files/FileWrite.h"
#include "platform/system/SystemInfo.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
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

// What is planted beside or at the file: a link at the temporary name is not written through, a
// pipe there does not stop the write, and only a regular file is ever replaced.
TEST(FileWrite, NeverWritesThroughALinkOrIntoAPipeNorReplacesWhatIsNoFile) {
  namespace fs = std::filesystem;
  TempFolder folder, outside;
  const std::string path = folder.Path() + "game.sav";
  const std::string victim = outside.Write("victim", "untouched");
  fs::create_symlink(victim, path + ".new");
  ASSERT_TRUE(plat::ReplaceFileContents(path.c_str(), "saved", 5));
  EXPECT_EQ(ReadBytes(victim), "untouched");
  EXPECT_EQ(ReadBytes(path), "saved");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));

  ASSERT_EQ(::mkfifo((path + ".new").c_str(), 0600), 0);
  auto write = std::async(std::launch::async, [&] { return plat::ReplaceFileContents(path.c_str(), "again", 5); });
  if (write.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::ifstream unblock(path + ".new");  // lets a writer stuck in the pipe's open go on
    FAIL() << "the write waited on a pipe";
  }
  EXPECT_TRUE(write.get());
  EXPECT_EQ(ReadBytes(path), "again");

  // A link, a pipe or a folder at the file's own name stays as it is.
  const std::string link = folder.Path() + "link.sav";
  fs::create_symlink(victim, link);
  EXPECT_FALSE(plat::ReplaceFileContents(link.c_str(), "bad", 3));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(victim), "untouched");
  const std::string pipe = folder.Path() + "pipe.sav";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(plat::ReplaceFileContents(pipe.c_str(), "bad", 3));
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_FALSE(fs::exists(link + ".new") || fs::exists(pipe + ".new"));
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
