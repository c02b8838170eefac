// SurfaceType: the material table, the definition-text reader and surface mixing.
#include "physics/collision/SurfaceType.h"

#include <cmath>
#include <cstdio>

#include "core/data/Params.h"
#include "platform/system/Win32.h"

namespace {

constexpr uint32_t kSurfaceCount = 20;

struct SurfaceDefinition {
  const char* name;
  SurfaceType values;
};

constexpr SurfaceType Row(float st, float kin, float bounce, float fw, float bw, float rough, float deform,
                          uint16_t index) {
  return SurfaceType{st, kin, bounce, fw, bw, rough, deform, 0, index};
}

constexpr SurfaceDefinition kDefinitions[kSurfaceCount] = {
    {"CONCRETE", Row(2.0f, 1.5f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 0)},
    {"SANDSTONE", Row(2.0f, 1.5f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 1)},
    {"GRANITE", Row(2.0f, 1.5f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 2)},
    {"LOOSE_ROCK", Row(0.5f, 0.2f, 0.2f, 5.0f, 1.0f, 0.16f, 0.05f, 3)},
    {"GRAVEL", Row(0.5f, 0.2f, 0.2f, 5.0f, 1.0f, 0.08f, 0.01f, 4)},
    {"SAND", Row(0.5f, 0.2f, 0.2f, 5.0f, 1.0f, 0.05f, 0.1f, 5)},
    {"DIRT", Row(0.5f, 0.2f, 0.2f, 5.0f, 1.0f, 0.08f, 0.01f, 6)},
    {"GRASS", Row(0.5f, 0.2f, 0.2f, 5.0f, 1.0f, 0.12f, 0.001f, 7)},
    {"MUD", Row(0.3f, 0.01f, 0.0f, 8.0f, 1.0f, 0.0f, 0.1f, 8)},
    {"SNOW", Row(0.5f, 0.01f, 0.0f, 8.0f, 1.0f, 0.0f, 0.1f, 9)},
    {"ICE", Row(0.1f, 0.01f, 0.7f, 10.0f, 1.0f, 0.001f, 0.0f, 10)},
    {"WOOD", Row(0.5f, 0.2f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 11)},
    {"METAL_SOLID", Row(0.8f, 0.5f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 12)},
    {"METAL_GRATE", Row(1.2f, 0.8f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 13)},
    {"PLASTIC", Row(0.5f, 0.2f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 14)},
    {"GLASS", Row(0.5f, 0.2f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 15)},
    {"WATER", Row(0.5f, 0.2f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 16)},
    {"LAVA", Row(0.5f, 0.2f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 17)},
    {"ENERGY", Row(0.5f, 0.2f, 0.2f, 1.0f, 1.0f, 0.001f, 0.0f, 18)},
    {"DEFAULT_WHEEL", Row(10.0f, 0.7f, 0.5f, 8.0f, 1.0f, 0.002f, 0.0f, 19)},
};

// The names by which definition texts address the table, in index order.
constexpr const char* kNames[kSurfaceCount] = {
    kDefinitions[0].name,  kDefinitions[1].name,  kDefinitions[2].name,  kDefinitions[3].name,
    kDefinitions[4].name,  kDefinitions[5].name,  kDefinitions[6].name,  kDefinitions[7].name,
    kDefinitions[8].name,  kDefinitions[9].name,  kDefinitions[10].name, kDefinitions[11].name,
    kDefinitions[12].name, kDefinitions[13].name, kDefinitions[14].name, kDefinitions[15].name,
    kDefinitions[16].name, kDefinitions[17].name, kDefinitions[18].name, kDefinitions[19].name,
};

// Records handed out by Get point into this table for the whole run.
SurfaceType gTable[kSurfaceCount] = {
    kDefinitions[0].values,  kDefinitions[1].values,  kDefinitions[2].values,  kDefinitions[3].values,
    kDefinitions[4].values,  kDefinitions[5].values,  kDefinitions[6].values,  kDefinitions[7].values,
    kDefinitions[8].values,  kDefinitions[9].values,  kDefinitions[10].values, kDefinitions[11].values,
    kDefinitions[12].values, kDefinitions[13].values, kDefinitions[14].values, kDefinitions[15].values,
    kDefinitions[16].values, kDefinitions[17].values, kDefinitions[18].values, kDefinitions[19].values,
};

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
float AtLeastZero(float v) { return v < 0.0f ? 0.0f : v; }

// The value of a key that is present with a finite number. A key written
// without a value, or with inf/nan, would otherwise put 0 or a non-number
// into the physics, so such keys are treated as absent (and logged).
bool ReadValue(const char* text, const char* key, float& out) {
  const std::optional<std::string> value = Params::FindKey(text, key);
  if (!value || value->empty()) return false;
  const float v = Params::ReadFloat(text, key);
  if (!std::isfinite(v)) {
    char line[128];
    std::snprintf(line, sizeof line, "SurfaceType: %s is not a finite number, ignored\n", key);
    OutputDebugStringA(line);
    return false;
  }
  out = v;
  return true;
}

}  // namespace

void SurfaceTypeInit() {
  for (uint32_t i = 0; i < kSurfaceCount; ++i) gTable[i] = kDefinitions[i].values;
}

uint32_t GetSurfaceTypeCount() { return kSurfaceCount; }

const char* GetSurfaceTypeName(uint32_t tableIndex) {
  return kDefinitions[tableIndex < kSurfaceCount ? tableIndex : 0].name;
}

const SurfaceType* SurfaceType::Get(uint32_t tableIndex) {
  return &gTable[tableIndex < kSurfaceCount ? tableIndex : 0];
}

void SurfaceType::Copy(uint32_t tableIndex) { *this = *Get(tableIndex); }

void SurfaceType::Read(const char* text) {
  if (text == nullptr) return;
  const int named = Params::FindKeyIndex(text, "SurfaceType", kNames, kSurfaceCount, -1);
  if (named >= 0) Copy(static_cast<uint32_t>(named));
  float v = 0.0f;
  if (ReadValue(text, "StaticFriction", v)) staticFriction = AtLeastZero(v);
  if (ReadValue(text, "KineticFriction", v)) kineticFriction = AtLeastZero(v);
  if (ReadValue(text, "BounceCoefficient", v)) bounceCoefficient = Clamp01(v);
  if (ReadValue(text, "FrictionWeight", v)) frictionWeight = v;
  if (ReadValue(text, "BounceWeight", v)) bounceWeight = v;
  if (ReadValue(text, "Roughness", v)) roughness = AtLeastZero(v);
  if (ReadValue(text, "Deformability", v)) deformability = Clamp01(v);
  spare = 0;
}

float SurfaceType::WeightedMean(float a, float wa, float b, float wb) {
  // Weights read from definition text are taken as written, so a negative one
  // would push the mean outside [a, b] (a negative friction), and two that
  // cancel would divide by zero.
  wa = wa > 0.0f ? wa : 0.0f;
  wb = wb > 0.0f ? wb : 0.0f;
  const float total = wa + wb;
  if (!(total > 0.0f) || !std::isfinite(total)) return a + 0.5f * (b - a);
  const float t = wb / (wb + wa);
  // a + (b - a) need not round back to b; a weightless side must give the other value unchanged.
  if (t == 1.0f) return b;
  return a + t * (b - a);
}

SurfaceMix SurfaceType::Mix(const SurfaceType& a, const SurfaceType& b) {
  SurfaceMix m;
  m.staticFriction = WeightedMean(a.staticFriction, a.frictionWeight, b.staticFriction, b.frictionWeight);
  m.kineticFriction = WeightedMean(a.kineticFriction, a.frictionWeight, b.kineticFriction, b.frictionWeight);
  m.bounce = WeightedMean(a.bounceCoefficient, a.bounceWeight, b.bounceCoefficient, b.bounceWeight);
  m.roughness = (a.roughness + b.roughness) * 0.02f;
  return m;
}
