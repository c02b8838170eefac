// WorkingFolder: a fresh temporary folder made the working directory while a
// test runs, for code that keeps its files in the working directory.
#pragma once

#include <string>

#include "platform/system/Win32.h"
#include "tests/support/TempFolder.h"

namespace testing_support {

class WorkingFolder {
 public:
  WorkingFolder() {
    char previous[4096];
    const DWORD length = GetCurrentDirectoryA(sizeof(previous), previous);
    if (length > 0 && length < sizeof(previous)) previous_.assign(previous, length);
    entered_ = SetCurrentDirectoryA(folder_.Path().c_str()) != FALSE;
  }
  ~WorkingFolder() {
    if (!previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  bool Entered() const { return entered_; }
  const TempFolder& Folder() const { return folder_; }
  void Write(const std::string& name, const std::string& bytes) const { folder_.Write(name, bytes); }

  // The whole file, or an empty string when it cannot be read.
  std::string Read(const std::string& name) const { return ReadBytes(folder_.Path() + name); }

 private:
  TempFolder folder_;
  std::string previous_;
  bool entered_ = false;
};

}  // namespace testing_support
