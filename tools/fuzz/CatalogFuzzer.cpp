// libFuzzer entry for the object catalogs: the input is a set of INI files separated by form
// feeds, each "<name>\n<text>" and written below data/objects/ (names of other characters than
// letters, digits, '.', '_' and '-' are dropped). Every definition read sits at its own catalog
// number with a footprint inside the 20 x 20 block.
#include <cstdlib>
#include <filesystem>

#include "park/pieces/ObjectCatalog.h"
#include "tools/fuzz/FuzzInput.h"

namespace {

bool UsableName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name[0] == '.') return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  namespace fs = std::filesystem;
  const std::string root = fuzz_input::ScratchFolder() + "catalog/";
  const std::string objects = root + "data/objects/";
  std::error_code error;
  fs::remove_all(objects, error);
  fs::create_directories(objects, error);
  const std::string input = fuzz_input::Text(data, size);
  for (size_t at = 0; at <= input.size();) {
    size_t end = input.find('\f', at);
    if (end == std::string::npos) end = input.size();
    const std::string part = input.substr(at, end - at);
    const size_t newline = part.find('\n');
    const std::string name = part.substr(0, newline);
    if (newline != std::string::npos && UsableName(name)) {
      const std::string text = part.substr(newline + 1);
      fuzz_input::WriteFile(objects + name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    at = end + 1;
  }
  CObjectCatalog catalog;
  catalog.Load(root);
  for (int i = 0; i < CObjectCatalog::kTableSize; ++i) {
    const ObjectDefinition* d = catalog.GetDefinition(i);
    if (d == nullptr) continue;
    if (d->catalogNumber != i || d->footprintWidth < 1 || d->footprintWidth > ObjectDefinition::kMaxFootprint ||
        d->footprintLength < 1 || d->footprintLength > ObjectDefinition::kMaxFootprint)
      std::abort();
  }
  return 0;
}
