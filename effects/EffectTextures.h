// EffectTextures: finding the textures the effects' records name in the resource table.
#pragma once

#include <string>

class CResourceTable;
class CTexture;

// The table's index of the named texture (a ".texture" or Targa file); -1 (logged once per
// call) when the table has none of that name, or for an empty name or no table.
int FindEffectTexture(const CResourceTable* table, const std::string& name, const char* who);
// The texture at that index, loaded on first use; null for -1 or when it cannot be loaded.
CTexture* GetEffectTexture(CResourceTable* table, int index);
