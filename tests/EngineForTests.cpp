// Every test program starts as the game does: the higher folders registered into the registries of
// the lower ones before any test builds a world.
#include "app/EngineRegistration.h"

namespace {
[[maybe_unused]] const bool registered = [] {
  RegisterEngineObjectTypes();
  RegisterEngineWorldServices();
  return true;
}();
}  // namespace
