// CFire: a burning fire (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/GameObject.h"

class CFire : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Fire>"; }
};
