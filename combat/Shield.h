// CShield: a protective shield (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/world/GameObject.h"

class CShield : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Shield>"; }
};
