// FuzzInput: what every reader fuzzer shares: a silenced log, the input as an exact-size heap
// block (so AddressSanitizer sees any read past it) and as NUL-terminated text, and for the
// readers that need a level around them the demo data, written once per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/EngineRegistration.h"
#include "platform/system/Platform.h"
#include "tools/DemoContent.h"

namespace fuzz_input {

inline void Quiet() {
  static const bool quiet = (plat::SetDebugSink([](const char*) {}), true);
  (void)quiet;
}

inline std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) { return std::vector<uint8_t>(data, data + size); }

// Text readers stop at the first NUL, as they would on a file loaded with its terminator.
inline std::string Text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

inline bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// A new folder below the system's temporary folder, removed when the process ends; with '/'.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    namespace fs = std::filesystem;
    std::random_device random;
    const fs::path path = fs::temp_directory_path() / ("kelvarun_fuzz_" + std::to_string(random()));
    std::error_code error;
    fs::create_directories(path, error);
    static std::string removed;
    removed = path.string();
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(removed, ignored);
    });
    return path.string() + "/";
  }();
  return folder;
}

// The folder holding the demo "data/" (the data root the loaders take), written on first use
// with the engine registered as every program registers it; the process stops when it cannot
// be written, as no input could then be read.
inline const std::string& DemoRoot() {
  static const std::string root = [] {
    RegisterEngine();
    const std::string data = ScratchFolder() + "data";
    std::error_code error;
    std::filesystem::create_directories(data, error);
    if (error || !DemoContent::WriteDemoData(data)) std::abort();
    return ScratchFolder();
  }();
  return root;
}

}  // namespace fuzz_input
