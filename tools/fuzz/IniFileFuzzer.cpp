// libFuzzer entry for the INI reader: the section list, the key list of every listed section and
// every listed key's value, each into a buffer cut short as well as into a whole one. A list
// always ends in two NULs inside its buffer.
#include <cstdlib>
#include <cstring>

#include "platform/files/ProfileFile.h"
#include "tools/fuzz/FuzzInput.h"

namespace {

// The names of a double-NUL-terminated list of n characters.
std::vector<std::string> Names(const std::vector<char>& list, DWORD n) {
  if (n + 1 >= list.size() || list[n] != '\0' || (n > 0 && list[n - 1] != '\0')) std::abort();
  std::vector<std::string> names;
  for (size_t at = 0; at < n; at += names.back().size() + 1) names.emplace_back(&list[at]);
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  CProfileFile file;
  file.Parse(fuzz_input::Text(data, size));
  std::vector<char> list(size + 2);
  const std::vector<std::string> sections = Names(
      list, file.GetString(nullptr, nullptr, "", list.data(), static_cast<DWORD>(list.size())));
  char small[5];
  for (const std::string& section : sections) {
    const std::vector<std::string> keys = Names(
        list, file.GetString(section.c_str(), nullptr, "", list.data(), static_cast<DWORD>(list.size())));
    if (file.GetString(section.c_str(), nullptr, "", small, sizeof(small)) > sizeof(small) - 1) std::abort();
    for (const std::string& key : keys) {
      if (file.GetString(section.c_str(), key.c_str(), "\t", list.data(), static_cast<DWORD>(list.size())) > size)
        std::abort();
      if (file.GetString(section.c_str(), key.c_str(), "\t", small, sizeof(small)) > sizeof(small) - 1) std::abort();
    }
  }
  return 0;
}
