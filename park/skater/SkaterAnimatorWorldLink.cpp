#include "park/skater/SkaterAnimatorWorldLink.h"

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "scene/camera/GenericCam.h"
#include "sound/SoundManager.h"

namespace {
CSkaterAnimatorWorldLink::Hooks g_hooks;
}  // namespace

void CSkaterAnimatorWorldLink::SetHooks(const Hooks& hooks) { g_hooks = hooks; }
const CSkaterAnimatorWorldLink::Hooks& CSkaterAnimatorWorldLink::GetHooks() { return g_hooks; }

CSoundManager* CSkaterAnimatorWorldLink::Sounds() {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? dynamic_cast<CSoundManager*>(world->GetSoundManager()) : nullptr;
}

int CSkaterAnimatorWorldLink::PlaySound(int id, bool loop, int32_t volume) {
  CSoundManager* sounds = Sounds();
  return sounds != nullptr && id >= 0 ? sounds->PlayById(id, false, loop, volume) : -1;
}

void CSkaterAnimatorWorldLink::StopSound(int handle) {
  if (CSoundManager* sounds = Sounds()) sounds->Stop(handle);
}

void CSkaterAnimatorWorldLink::SetSoundVolume(int handle, int32_t volume) {
  CSoundManager* sounds = Sounds();
  CSoundInstance* record = sounds != nullptr ? sounds->GetInstance(handle) : nullptr;
  if (record == nullptr || record->volume == volume) return;
  record->volume = volume;
  sounds->Modify(*record);
}

CResourceTable* CSkaterAnimatorWorldLink::GetResources() {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? world->GetResourceTable() : nullptr;
}

bool CSkaterAnimatorWorldLink::GetCamera(COrientation& frame, bool& orthographic) {
  CGameWorld* world = GetGameWorld();
  const CGenericCam* camera = world != nullptr ? world->GetCurrentCamera() : nullptr;
  if (camera == nullptr) return false;
  frame = camera->GetFrame();
  orthographic = camera->GetView().IsOrthographic();
  return true;
}

double CSkaterAnimatorWorldLink::GetWorldTime() {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? world->GetWorldTime() : 0.0;
}

uint32_t CSkaterAnimatorWorldLink::GetSurfaceMaterial(uint32_t objectId) {
  // A section's style code sorts its surface: 0 pools, curbs and stairs (concrete), 1 ramps and
  // the like (wood), 2 rails (metal).
  CGameWorld* world = GetGameWorld();
  CGameObject* object = world != nullptr && objectId != CSkater::kNone ? world->GetObjectByID(objectId) : nullptr;
  const auto* section = dynamic_cast<const CSkatableSection*>(object);
  const ObjectDefinition* definition = section != nullptr ? section->GetDefinition() : nullptr;
  if (definition == nullptr || definition->styleCode < 0 || definition->styleCode > 2) return 0;
  return static_cast<uint32_t>(definition->styleCode);
}

bool CSkaterAnimatorWorldLink::IsPlayer(const CSkater& skater) { return skater.IsPlayerControlled(); }

float CSkaterAnimatorWorldLink::GetBonusFactor() { return g_hooks.bonusFactor != nullptr ? g_hooks.bonusFactor() : 0.0f; }

void CSkaterAnimatorWorldLink::AwardTrickBonus(float amount) {
  if (g_hooks.awardTrickBonus != nullptr) g_hooks.awardTrickBonus(amount);
}

void CSkaterAnimatorWorldLink::StartGrind(CSkater& skater) { skater.StartGrind(); }
