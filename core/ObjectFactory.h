// CreateGameObject: the object factory that builds a game object from its type code.
#pragma once

#include <cstdint>

class CGameObject;

// Constructs the object of that type code (1 session manager, 2 player, 3 team, 4-13 and 17-18 the
// combat classes), or returns null for any other code. It only constructs: the caller sets the ID,
// feeds the creation data and registers the object.
CGameObject* CreateGameObject(uint32_t typeCode);
