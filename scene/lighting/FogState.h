// FogState: the world's height fog (off until a level sets it), updated for the camera every frame.
#pragma once

#include "core/math/Color.h"
#include "core/math/Vector3.h"
#include "scene/lighting/FogSettings.h"

struct FogState {
  // Reciprocal cached for a zero span or distance, so nothing divides by zero.
  static constexpr float kLargeReciprocal = 100000.0f;

  bool enabled = false;  // the renderers test this before fogging anything
  FogSettings settings;
  float inverseElevationSpan = 0.0f;     // 1 / (end - start); negative when end lies below start
  float inverseVisibilityDistance = 0.0f;
  float factor = 0.0f;                   // 1 = inside colour at full strength, 0 = outside colour
  float offset = 0.0f;                   // factor x offset coefficient
  float offsetBG = 0.0f;                 // factor x background offset coefficient

  // Turns fog on with these settings.
  void Set(const FogSettings& fog);
  void SetVisibilityDistance(float distance);
  // Only while fog is on: the factor for a camera at this position and the two offsets.
  void UpdateForCamera(const Vector3& camera);
  // The fog colour for the current factor, blended from outside towards inside.
  void ComputeColor(Color& out) const;
};

// The level loader's fog step: reads the block of a "terrain.ini" text for the detail
// setting, lowers both elevations by the level's base height and sets the fog. Without a
// block the fog stays as it was (off for a new world); returns whether fog was set.
bool ApplyLevelFog(FogState& fog, const char* terrainText, float detail, float baseHeight);
// The same for the "terrain.ini" file of a level folder; a missing file leaves fog off.
bool LoadLevelFog(FogState& fog, const char* levelFolder, float detail, float baseHeight);
