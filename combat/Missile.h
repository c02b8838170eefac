// CMissile: a guided missile (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "combat/Projectile.h"

class CMissile : public CProjectile {
 public:
  const char* GetInfoString() const override { return "<Missile>"; }
};
