// CCreature: a creature that walks and fights (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CCreature : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Creature>"; }
};
