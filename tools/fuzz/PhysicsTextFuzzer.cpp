// libFuzzer entry for the physics definition texts: the polyhedron library, the wheel and the
// rigid-body parameters.
#include <sstream>

#include "physics/polyhedron/PolyTreeLibrary.h"
#include "physics/rigid/RigidConstParams.h"
#include "physics/rigid/WheelParams.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::string text = fuzz_input::Text(data, size);
  std::istringstream in(text);
  PolyTreeLibrary library;
  library.read(in);
  WheelParams wheel;
  wheel.Read(text.c_str());
  RigidPhysicsParams rigid;
  rigid.Read(text.c_str());
  return 0;
}
