// TempFolder and DebugCapture: a fresh temporary folder removed at the end of a test, and the debug
// output collected while a test runs; with readers for the files tests write and a descriptor count.
#pragma once

#include "platform/system/Platform.h"

#include <filesystem>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

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

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Descriptors open in this process (the listing's own among them, the same each time).
inline long OpenDescriptors() {
  using std::filesystem::directory_iterator;
  return std::distance(directory_iterator("/proc/self/fd"), directory_iterator());
}

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
