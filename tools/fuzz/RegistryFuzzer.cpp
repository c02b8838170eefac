// libFuzzer entry for the registry file: the registry reads "registry.txt" in the working
// directory, so each input is written there and a key and a value are looked up.
#include <fstream>

#include "platform/files/Registry.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  {
    std::ofstream out("registry.txt", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Fuzz", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    BYTE value[64];
    DWORD type = 0, length = sizeof(value);
    RegQueryValueExA(key, "v", nullptr, &type, value, &length);
    RegCloseKey(key);
  }
  return 0;
}
