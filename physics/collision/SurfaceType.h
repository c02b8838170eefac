// SurfaceType: friction and bounce of a collision surface, the fixed table of materials, and how two surfaces mix.
#pragma once

#include <cstdint>

// Mixed values of two surfaces that meet in a contact.
struct SurfaceMix {
  float staticFriction;
  float kineticFriction;
  float bounce;
  float roughness;
};

struct SurfaceType {
  float staticFriction;
  float kineticFriction;
  float bounceCoefficient;
  float frictionWeight;
  float bounceWeight;
  float roughness;
  float deformability;
  uint16_t spare;
  uint16_t index;  // position in the table

  // Table entry; an index past the table gives entry 0 ("CONCRETE").
  static const SurfaceType* Get(uint32_t tableIndex);
  // Copies the whole table entry (entry 0 for an index past the table).
  void Copy(uint32_t tableIndex);
  // Refines the record from a key/value definition text: "SurfaceType" names
  // a table entry to start from, then single keys override single values.
  // Absent keys (and keys written without a usable value) keep what the record holds.
  void Read(const char* text);

  // The weighted mean a + wb / (wa + wb) (b - a). Negative weights count as 0;
  // with no weight on either side the plain mean is taken, so the result
  // always lies between a and b.
  static float WeightedMean(float a, float wa, float b, float wb);
  // Friction by friction weights, bounce by bounce weights, roughness as
  // (a + b) * 0.02.
  static SurfaceMix Mix(const SurfaceType& a, const SurfaceType& b);
};

static_assert(sizeof(SurfaceType) == 32, "SurfaceType is a 32-byte record");

// Restores the table to its defined values. The table is also constant-
// initialised, so records are valid before this runs.
void SurfaceTypeInit();
uint32_t GetSurfaceTypeCount();
// Name of a table entry; "CONCRETE" for an index past the table.
const char* GetSurfaceTypeName(uint32_t tableIndex);
