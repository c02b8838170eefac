// CFire: a fire burning on a host object for a set time; it takes itself out of the world when the
// time is up or the host has gone.
#pragma once

#include "core/world/GameObject.h"
#include "park/pieces/StructureFire.h"

class CFire : public CGameObject, public CStructureFire {
 public:
  CFire() { SetNetworkFlags(true, true, false, false, true, true, false); }
  const char* GetInfoString() const override { return "<Fire>"; }

  void Start(uint32_t hostId, const Vector3& position, float duration, float size, float spread, float strength,
             float secondStrength, uint32_t ownerId) override;
  void Update(float dt) override;

  uint32_t GetHostId() const { return m_hostId; }
  const Vector3& GetPosition() const { return m_position; }
  float GetDuration() const { return m_duration; }
  float GetElapsed() const { return m_elapsed; }
  float GetSize() const { return m_size; }
  float GetStrength() const { return m_strength; }

 private:
  Vector3 m_position;
  uint32_t m_hostId = kNoOwner;
  float m_duration = 0.0f;
  float m_elapsed = 0.0f;
  float m_size = 0.0f;
  float m_spread = 0.0f;
  float m_strength = 0.0f;
  float m_secondStrength = 0.0f;
};
