// CTurret: a fixed gun turret (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CTurret : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Turret>"; }
};
