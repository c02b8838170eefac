// CParticleManager: the one particle manager, stepped once per world tick (particle systems come with the effects work).
#pragma once

#include <cstdint>

class CParticleManager {
 public:
  void Update(float dt) { ++m_updates; }
  uint32_t GetUpdateCount() const { return m_updates; }

 private:
  uint32_t m_updates = 0;
};

CParticleManager* GetParticleManager();
