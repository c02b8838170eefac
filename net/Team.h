// CTeam: a team of the session.
#pragma once

#include "core/world/GameObject.h"

class CTeam : public CGameObject {
 public:
  const char* GetInfoString() const override { return "<Team>"; }
  CTeam* AsTeam() override { return this; }
};
