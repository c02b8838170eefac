// CProjectile: base of the fired projectiles (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CProjectile : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Projectile>"; }
};
