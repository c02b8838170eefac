// TempFolder and DebugCapture: a fresh temporary folder removed at the end of
// a test, and the debug output collected while a test runs.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace testing_support {

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate = base / ("kelvarun_test_" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        return;
      }
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path with a trailing '/'.
  std::string Path() const { return path_.string() + "/"; }

  // Writes bytes to the relative path, creating its folders; returns the full path.
  std::string Write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full.string();
  }

  std::string MakeFolder(const std::string& relative) const {
    const std::filesystem::path full = path_ / relative;
    std::filesystem::create_directories(full);
    return full.string();
  }

 private:
  std::filesystem::path path_;
};

// Collects everything written with OutputDebugStringA while it lives.
class DebugCapture {
 public:
  DebugCapture() {
    previous_ = plat::SetDebugSink([this](const char* text) { text_ += text; });
  }
  ~DebugCapture() { plat::SetDebugSink(previous_); }
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  const std::string& Text() const { return text_; }
  void Clear() { text_.clear(); }

 private:
  std::string text_;
  plat::DebugSink previous_;
};

}  // namespace testing_support
