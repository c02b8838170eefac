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

// The working folder at the demo root for as long as it lives, for readers that take their files
// from "data/" below the working folder; the folder it was is given back afterwards. Between
// inputs libFuzzer reads and writes its corpus by the paths it was given, which may be relative
// to the folder the session started in.
class InDemoRoot {
 public:
  InDemoRoot() : m_previous(std::filesystem::current_path()) { std::filesystem::current_path(DemoRoot()); }
  ~InDemoRoot() {
    std::error_code error;
    std::filesystem::current_path(m_previous, error);
  }
  InDemoRoot(const InDemoRoot&) = delete;
  InDemoRoot& operator=(const InDemoRoot&) = delete;

 private:
  std::filesystem::path m_previous;
};

// For LLVMFuzzerInitialize of a target that runs inputs InDemoRoot: a crash or a time-out is
// written while the working folder is the demo root, so the artifact folder is made absolute
// (the starting folder when none is given), and the artifact lands where the session started.
inline void KeepArtifactsWhereStarted(int* argc, char*** argv) {
  namespace fs = std::filesystem;
  static std::vector<std::string> args;
  static std::vector<char*> pointers;
  args.assign(*argv, *argv + *argc);
  bool prefixed = false;
  for (std::string& arg : args) {
    for (const std::string flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
      if (arg.compare(0, flag.size(), flag) != 0) continue;
      std::string value = arg.substr(flag.size());
      const bool folder = !value.empty() && value.back() == '/';
      if (!value.empty() && fs::path(value).is_relative()) value = fs::absolute(value).string();
      if (folder && value.back() != '/') value += '/';
      arg = flag + value;
      prefixed = prefixed || flag == "-artifact_prefix=";
    }
  }
  if (!prefixed) args.push_back("-artifact_prefix=" + fs::current_path().string() + "/");
  pointers.clear();
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(args.size());
  *argv = pointers.data();
}

}  // namespace fuzz_input
