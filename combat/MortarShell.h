// CMortarShell: a lobbed mortar shell (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "combat/Projectile.h"

class CMortarShell : public CProjectile {
 public:
  const char* GetInfoString() const override { return "<Mortar Shell>"; }
};
