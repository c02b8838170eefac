// CCameraSubject: what the cameras need of the object they follow. Skaters, creatures and vehicles
// implement it next to their game-object base; a followed object without it is followed by frame only.
#pragma once

#include <cstdint>

#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

class CGameObject;
class ShadedMesh;

class CCameraSubject {
 public:
  enum Kind : uint32_t { kOther = 0, kSkater = 1, kCreature = 2 };

  virtual ~CCameraSubject() = default;

  virtual uint32_t GetCameraSubjectKind() const { return kOther; }
  // The world frame, with a stale world matrix brought up to date first.
  virtual const COrientation& GetCameraSubjectFrame() = 0;
  // The mesh whose attach points and size the vehicle and observer cameras read; may be null.
  virtual const ShadedMesh* GetCameraSubjectMesh() const { return nullptr; }

  // Skaters.
  virtual bool IsDoingTrick() const { return false; }
  virtual Vector3 GetCameraSubjectVelocity() const { return Vector3(); }
  virtual float GetCollisionRadius() const { return 0.0f; }
  // The skater's mesh instance alpha, lowered while the camera would sit inside the skater.
  virtual void SetCameraAlpha(float alpha) {}

  // Creatures: the creature sets the view frame from its own state.
  virtual void SetCameraFrame(COrientation& frame) {}
  // The creature-side condition under which the chase camera sweeps for obstacles.
  virtual bool WantsCameraObstacleSweep() const { return false; }

  // The subject of a followed game object, or null.
  static CCameraSubject* Of(CGameObject* object);
};
