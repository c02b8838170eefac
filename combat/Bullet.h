// CBullet: a bullet (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "combat/Projectile.h"

class CBullet : public CProjectile {
 public:
  const char* GetInfoString() const override { return "<Bullet>"; }
};
