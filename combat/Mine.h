// CMine: a mine that waits for contact (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CMine : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Mine>"; }
};
