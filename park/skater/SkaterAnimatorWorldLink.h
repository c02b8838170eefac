// CSkaterAnimatorWorldLink: the animator's link to the running game - the world's sound manager,
// current camera, clock and sections, and the controller's trick bonus through hooks it registers.
#pragma once

#include "park/skater/SkaterAnimatorLink.h"

class CSoundManager;

class CSkaterAnimatorWorldLink : public CSkaterAnimatorLink {
 public:
  // What the in-game controller lends the animator; a null hook does nothing
  // (a null bonus factor counts as 0).
  struct Hooks {
    float (*bonusFactor)() = nullptr;
    void (*awardTrickBonus)(float amount) = nullptr;
  };
  static void SetHooks(const Hooks& hooks);
  static const Hooks& GetHooks();

  int PlaySound(int id, bool loop, int32_t volume) override;
  void StopSound(int handle) override;
  void SetSoundVolume(int handle, int32_t volume) override;
  CResourceTable* GetResources() override;
  bool GetCamera(COrientation& frame, bool& orthographic) override;
  double GetWorldTime() override;
  uint32_t GetSurfaceMaterial(uint32_t objectId) override;
  bool IsPlayer(const CSkater& skater) override;
  float GetBonusFactor() override;
  void AwardTrickBonus(float amount) override;
  void StartGrind(CSkater& skater) override;

 private:
  static CSoundManager* Sounds();
};
