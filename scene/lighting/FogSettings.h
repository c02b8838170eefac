// FogSettings: the fog parameters of one level, as written in a fog block of its "terrain.ini".
#pragma once

#include <cstdint>

#include "core/math/Color.h"

struct FogSettings {
  uint8_t constantFog = 0;        // fog at full strength whatever the camera height
  float startElevation = 0.0f;    // below this height the camera sees the inside colour
  float endElevation = 0.0f;      // above this height it sees the outside colour
  float zeroVisibilityDistance = 0.0f;
  float offsetCoefficient = 0.0f;
  float offsetCoefficientBG = 0.0f;
  Color insideColor = Color::FromWord(0xFFFFFFFFu);
  Color outsideColor = Color::FromWord(0xFFFFFFFFu);

  // Fills every field from the keys of a block text; a missing key gives the default above.
  void Read(const char* blockText);
};

// The fog block a level uses at a detail setting, chosen from the whole "terrain.ini"
// text: "lowfog" at detail 0, "medfog" up to 0.5, else (or when that block is missing)
// "fog". False when the chosen block is absent, so the level keeps its fog off.
bool ReadLevelFogSettings(const char* terrainText, float detail, FogSettings& out);
