#include "core/world/WorldAccess.h"

#include "core/world/GameWorld.h"
#include "core/data/ResourceTable.h"

namespace {
CGameWorld* g_world = nullptr;
}

CGameWorld* GetGameWorld() { return g_world; }

void SetGameWorld(CGameWorld* world) { g_world = world; }

COctree* GetWorldOctree() { return g_world != nullptr ? &g_world->GetOctree() : nullptr; }

uint32_t GetNetworkMode() { return g_world != nullptr ? g_world->GetNetworkMode() : 0; }

void* GetWorldResource(const char* name) {
  if (g_world == nullptr || g_world->GetResourceTable() == nullptr) return nullptr;
  CResourceTable* table = g_world->GetResourceTable();
  return table->GetResource(table->FindByName(name));
}

CResourceTable* GetWorldResourceTable() { return g_world != nullptr ? g_world->GetResourceTable() : nullptr; }

void* GetWorldResource(int id) {
  if (g_world == nullptr || g_world->GetResourceTable() == nullptr) return nullptr;
  return g_world->GetResourceTable()->GetResource(id);
}
