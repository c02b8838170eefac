// CFlameSpurt: a short jet of flame (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CFlameSpurt : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Flame Spurt>"; }
};
