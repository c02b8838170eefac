// CSkaterAnimatorLink: what a skater's animator needs of the world around the skater - the sound
// manager, the camera, the world time, the surface under it and the controller's trick bonus.
#pragma once

#include <cstdint>

#include "core/math/Orientation.h"

class CResourceTable;
class CSkater;

class CSkaterAnimatorLink {
 public:
  virtual ~CSkaterAnimatorLink() = default;

  // --- Sounds by resource id; a handle, or -1 when nothing plays ---
  virtual int PlaySound(int id, bool loop, int32_t volume) = 0;
  virtual void StopSound(int handle) = 0;
  virtual void SetSoundVolume(int handle, int32_t volume) = 0;
  virtual CResourceTable* GetResources() = 0;

  // --- The view the sounds are heard from; false without a camera ---
  virtual bool GetCamera(COrientation& frame, bool& orthographic) = 0;
  virtual double GetWorldTime() = 0;
  // The surface material (0 concrete, 1 wood, 2 metal) of the section with this object ID; 0 when
  // there is none.
  virtual uint32_t GetSurfaceMaterial(uint32_t objectId) = 0;

  // --- The skater's standing in the park ---
  virtual bool IsPlayer(const CSkater& skater) = 0;
  // The controller's trick-bonus factor, and the award of a landed sequence's value.
  virtual float GetBonusFactor() = 0;
  virtual void AwardTrickBonus(float amount) = 0;
  // A grinding AI skater that lands starts the grind of its route.
  virtual void StartGrind(CSkater& skater) = 0;
};
