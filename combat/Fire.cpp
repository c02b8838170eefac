#include "combat/Fire.h"

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"

void CFire::Start(uint32_t hostId, const Vector3& position, float duration, float size, float spread, float strength,
                  float secondStrength, uint32_t ownerId) {
  m_hostId = hostId;
  m_position = position;
  m_duration = duration;
  m_elapsed = 0.0f;
  m_size = size;
  m_spread = spread;
  m_strength = strength;
  m_secondStrength = secondStrength;
  SetOwnerID(ownerId);
}

void CFire::Update(float dt) {
  if (IsMarkedForRemoval()) return;
  if (dt > 0.0f) m_elapsed += dt;
  // A fire whose host went away has nothing left to burn.
  CGameWorld* world = GetGameWorld();
  const bool hostGone = world != nullptr && m_hostId != kNoOwner && world->GetObjectByID(m_hostId) == nullptr;
  if (m_elapsed >= m_duration || hostGone) MarkForRemoval();
}
