// WheelParams: the constants of one vehicle wheel (136-byte block; the first 84 bytes come from the wheel mesh's type-53 attach data).
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"
#include "physics/collision/SurfaceType.h"

class ShadedMesh;

constexpr uint32_t kAttachWheelParams = 53;

struct WheelParams {
  float damping;
  float stiffness;
  float mass;
  float parentMass;  // fraction of the body's mass this wheel carries
  SurfaceType forwardSurface;
  SurfaceType sideSurface;
  uint8_t render;
  uint8_t rotate;
  uint8_t unused[2];
  int32_t wheelNode;
  int32_t suspensionNode;
  int32_t axleNode;
  int32_t drivetrainNode;
  Vector3 mountPoint;      // body frame
  Vector3 suspensionAxis;  // unit, body frame
  float suspensionLength;
  float radius;
  float spinInertia;

  static constexpr uint32_t kStoredBytes = 84;  // fields up to the two flags

  WheelParams();
  void Read(const char* text);
  // Fills the block from the wheel's child mesh of a vehicle mesh set (vehicle = the set's root).
  // False (logged) when the wheel mesh is not a child of the vehicle.
  bool BindMeshNodes(const ShadedMesh* vehicle, const ShadedMesh* wheelMesh);
};

static_assert(sizeof(WheelParams) == 136, "WheelParams is a 136-byte block");
