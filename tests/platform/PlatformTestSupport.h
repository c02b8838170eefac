// Helpers of the platform tests: capture of debug output and a private
// temporary folder.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

// Collects every debug text while alive, then restores the previous sink.
class DebugCapture {
 public:
  DebugCapture() {
    previous_ = plat::SetDebugSink([this](const char* text) {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back(text);
    });
  }
  ~DebugCapture() { plat::SetDebugSink(previous_); }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }
  std::string All() {
    std::string all;
    for (const std::string& text : Texts()) all += text;
    return all;
  }

 private:
  plat::DebugSink previous_;
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() / ("kvtest-" + std::to_string(device()) + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};
