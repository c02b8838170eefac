// CPickupItem: an item lying in the level to be picked up (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CPickupItem : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Pickup Item>"; }
};
