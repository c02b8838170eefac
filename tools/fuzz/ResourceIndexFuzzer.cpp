// libFuzzer entry for the resource index file: the reader takes a path, so each input is
// written to a scratch file first. A refused file must leave a loaded table as it was.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "core/data/ResourceTable.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  static const std::string path = "resource_index_fuzz.txt";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  CResourceTable table;
  table.AddAt(2, "kept/before.wav");
  if (!table.LoadIndex(path.c_str()) && (table.GetCount() != 3 || !table.GetPath(2))) std::abort();
  std::remove(path.c_str());
  return 0;
}
