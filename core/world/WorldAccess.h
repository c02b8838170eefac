// World access: the free functions through which every part of the program reaches the one world.
#pragma once

#include <cstdint>

class CGameWorld;
class COctree;
class CResourceTable;

CGameWorld* GetGameWorld();             // the one world of the program, or null
void SetGameWorld(CGameWorld* world);   // registered by the world itself; cleared at shutdown
COctree* GetWorldOctree();              // null without a world
uint32_t GetNetworkMode();              // 0 without a world
void* GetWorldResource(const char* name);  // null without a world or resource table
void* GetWorldResource(int id);            // the loaded object of a resource id, loading it on first use
CResourceTable* GetWorldResourceTable();   // null without a world or resource table

