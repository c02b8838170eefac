// libFuzzer entry for the fog blocks of a level's "terrain.ini", at every detail step: a chosen
// block gives a fog whose colour can be computed at any height.
#include <cmath>

#include "scene/lighting/FogSettings.h"
#include "scene/lighting/FogState.h"
#include "tools/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_input::Quiet();
  const std::string text = fuzz_input::Text(data, size);
  for (float detail : {0.0f, 0.5f, 1.0f}) {
    FogState fog;
    if (!ApplyLevelFog(fog, text.c_str(), detail, 10.0f)) continue;
    for (float height : {-1e30f, 0.0f, 7.5f, NAN}) {
      fog.UpdateForCamera(Vector3(0.0f, 0.0f, height));
      Color colour;
      fog.ComputeColor(colour);
    }
  }
  return 0;
}
