// FogState: the world's fog (off until a level sets it; filled in by the fog work).
#pragma once

struct FogState {
  bool enabled = false;
  float visibilityDistance = 0.0f;
  void SetVisibilityDistance(float distance) { visibilityDistance = distance; }
};
