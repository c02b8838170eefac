// CObjectFactory: the registry that builds a game object from its type code.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "core/world/GameObject.h"

// The classes live in higher folders, which register their type codes at start-up (the session,
// player and team from the network folder, the rest from the combat folder).
class CObjectFactory {
 public:
  using Create = std::unique_ptr<CGameObject> (*)();

  // A later registration of the same code replaces the earlier one.
  void Register(uint32_t typeCode, Create create);
  bool IsRegistered(uint32_t typeCode) const { return m_types.count(typeCode) != 0; }
  // The new object, or null for a code nobody registered. It only constructs: the caller sets the
  // ID, feeds the creation data and registers the object.
  std::unique_ptr<CGameObject> Make(uint32_t typeCode) const;

 private:
  std::unordered_map<uint32_t, Create> m_types;
};

// The program's factory.
CObjectFactory& GetObjectFactory();

// Constructs the object of that type code through the program's factory (1 session manager,
// 2 player, 3 team, 4-13, 17 and 18 the combat classes once registered), or returns null.
std::unique_ptr<CGameObject> CreateGameObject(uint32_t typeCode);
