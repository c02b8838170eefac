// ExpectGolden: a test's whole result compared byte for byte with a file kept under tests/.
//
// After a deliberate change, regenerate the files with KELVARUN_UPDATE_GOLDEN=1 (the tests then
// write them instead of comparing), look at what changed (git diff, or the frames by eye) and
// commit them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/TempFolder.h"

namespace testing_support {

// `relative` is the file's path under tests/. On a difference the result is also written to the
// test's working folder, under the file's own name, for comparing.
inline void ExpectGolden(const std::string& produced, const std::string& relative) {
  const std::string path = std::string(KELVARUN_SOURCE_DIR) + "/tests/" + relative;
  if (const char* update = std::getenv("KELVARUN_UPDATE_GOLDEN"); update && *update && *update != '0') {
    std::ofstream(path, std::ios::binary) << produced;
    GTEST_SKIP() << "wrote " << path;
  }
  const std::string kept = ReadBytes(path);
  ASSERT_FALSE(kept.empty()) << "no golden file " << path;
  if (kept == produced) return;
  const size_t at = std::mismatch(kept.begin(), kept.end(), produced.begin(), produced.end()).first - kept.begin();
  const size_t lineStart = kept.rfind('\n', at == 0 ? 0 : at - 1) + 1;
  std::ofstream(relative.substr(relative.rfind('/') + 1), std::ios::binary) << produced;
  const bool text = kept.find('\0') == std::string::npos;  // frames are compared as bytes only
  ADD_FAILURE() << relative << " (" << kept.size() << " bytes) differs from the result (" << produced.size()
                << " bytes) at byte " << at << ", line " << std::count(kept.begin(), kept.begin() + at, '\n') + 1
                << (text ? ":\n  kept: " + kept.substr(lineStart, kept.find('\n', at) - lineStart) +
                               "\n  made: " + produced.substr(lineStart, produced.find('\n', at) - lineStart)
                         : std::string());
}

}  // namespace testing_support
