// SystemInfo on Linux: memory from sysinfo; no Windows libraries to load.
#include "platform/system/SystemInfo.h"

#include <sys/sysinfo.h>

#include <cstring>
#include <limits>

namespace {

size_t Bytes(unsigned long count, unsigned int unit) {
  const unsigned long long bytes = static_cast<unsigned long long>(count) * (unit ? unit : 1);
  const unsigned long long limit = std::numeric_limits<size_t>::max();
  return static_cast<size_t>(bytes < limit ? bytes : limit);
}

}  // namespace

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  if (!status) return;
  std::memset(status, 0, sizeof(*status));
  status->dwLength = sizeof(*status);
  struct sysinfo info;
  if (::sysinfo(&info) != 0) return;
  status->dwTotalPhys = Bytes(info.totalram, info.mem_unit);
  status->dwAvailPhys = Bytes(info.freeram + info.bufferram, info.mem_unit);
  status->dwTotalPageFile = Bytes(info.totalswap, info.mem_unit);
  status->dwAvailPageFile = Bytes(info.freeswap, info.mem_unit);
  if (status->dwTotalPhys > 0 && status->dwAvailPhys <= status->dwTotalPhys) {
    const double used = static_cast<double>(status->dwTotalPhys - status->dwAvailPhys);
    status->dwMemoryLoad = static_cast<DWORD>(100.0 * used / static_cast<double>(status->dwTotalPhys));
  }
}

HMODULE LoadLibraryA(const char* name) { return nullptr; }

FARPROC GetProcAddress(HMODULE module, const char* name) { return nullptr; }

BOOL FreeLibrary(HMODULE module) { return module ? TRUE : FALSE; }
