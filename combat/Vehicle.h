// CVehicle: a driven vehicle on wheels (its behaviour comes with the combat work; for now it is a plain game object).
#pragma once

#include "core/GameObject.h"

class CVehicle : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Vehicle>"; }
};
