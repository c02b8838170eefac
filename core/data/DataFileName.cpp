// DataFileName: refusing names from data files that lead out of their folder.
#include "core/data/DataFileName.h"

#include <cstring>

#include "core/data/DebugPrintf.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A rooted name, a ':' (a drive, a device or a stream), or ".." steps that climb above the folder
// ("sub/../x" stays inside, "sub/../../x" does not).
bool LeadsOut(const char* name) {
  if (IsSeparator(name[0]) || std::strchr(name, ':') != nullptr) return true;
  int depth = 0;
  for (const char* step = name; *step != '\0';) {
    size_t length = 0;
    while (step[length] != '\0' && !IsSeparator(step[length])) ++length;
    if (length == 2 && step[0] == '.' && step[1] == '.') {
      if (--depth < 0) return true;
    } else if (!(length == 1 && step[0] == '.')) {
      ++depth;
    }
    step += length;
    while (IsSeparator(*step)) ++step;
  }
  return false;
}

}  // namespace

bool IsNameInsideFolder(const char* name, const char* who) {
  if (name == nullptr || !LeadsOut(name)) return true;
  DebugPrintf("%s: the name \"%s\" leads out of its folder; refused\n", who, name);
  return false;
}
