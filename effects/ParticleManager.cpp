#include "effects/ParticleManager.h"

CParticleManager* GetParticleManager() {
  static CParticleManager manager;
  return &manager;
}
