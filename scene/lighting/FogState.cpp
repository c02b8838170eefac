// FogState: reciprocals, the per-camera fog factor, the fog colour and the level's fog step.
#include "scene/lighting/FogState.h"

#include <cmath>
#include <string>

#include "core/data/FileBuffer.h"

namespace {

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// 1 / v for a positive v; NaN, zero and negative values get the large stand-in.
float PositiveReciprocal(float v) { return v > 0.0f ? 1.0f / v : FogState::kLargeReciprocal; }

uint8_t BlendChannel(uint8_t outside, uint8_t inside, float factor) {
  const float v = static_cast<float>(outside) + std::trunc((static_cast<float>(inside) - outside) * factor);
  if (!(v > 0.0f)) return 0;  // NaN as well: a byte conversion of it is undefined
  return static_cast<uint8_t>(v > 255.0f ? 255.0f : v);
}

}  // namespace

void FogState::Set(const FogSettings& fog) {
  enabled = true;
  settings = fog;
  inverseVisibilityDistance = PositiveReciprocal(fog.zeroVisibilityDistance);
  const float span = fog.endElevation - fog.startElevation;
  // A zero span would divide by zero; the fog then switches from inside to outside within
  // a hair of the start height.
  inverseElevationSpan = span == 0.0f ? kLargeReciprocal : 1.0f / span;
}

void FogState::SetVisibilityDistance(float distance) {
  settings.zeroVisibilityDistance = distance;
  inverseVisibilityDistance = PositiveReciprocal(distance);
}

void FogState::UpdateForCamera(const Vector3& camera) {
  if (!enabled) return;
  if (settings.constantFog) {
    factor = 1.0f;
  } else {
    const float f = (camera.z - settings.startElevation) * inverseElevationSpan;
    // A NaN height must not leak into the renderer's colour: treat it as inside the fog.
    factor = std::isnan(f) ? 1.0f : 1.0f - Clamp01(f);
  }
  offset = factor * settings.offsetCoefficient;
  offsetBG = factor * settings.offsetCoefficientBG;
}

void FogState::ComputeColor(Color& out) const {
  const Color& in = settings.insideColor;
  const Color& outside = settings.outsideColor;
  out.b = BlendChannel(outside.b, in.b, factor);
  out.g = BlendChannel(outside.g, in.g, factor);
  out.r = BlendChannel(outside.r, in.r, factor);
  out.a = BlendChannel(outside.a, in.a, factor);
}

bool ApplyLevelFog(FogState& fog, const char* terrainText, float detail, float baseHeight) {
  FogSettings settings;
  if (!ReadLevelFogSettings(terrainText, detail, settings)) return false;
  settings.startElevation -= baseHeight;
  settings.endElevation -= baseHeight;
  fog.Set(settings);
  return true;
}

bool LoadLevelFog(FogState& fog, const char* levelFolder, float detail, float baseHeight) {
  std::string path = levelFolder ? levelFolder : "";
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  path += "terrain.ini";
  char* text = LoadFileToBuffer(path.c_str());
  if (!text) return false;
  const bool set = ApplyLevelFog(fog, text, detail, baseHeight);
  FreeFileBuffer(text);
  return set;
}
