#include "effects/EffectTextures.h"

#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "render/image/Texture.h"

namespace {
bool IsTexture(uint16_t type) { return type == kResourceTexture || type == kResourceTarga; }
}  // namespace

int FindEffectTexture(const CResourceTable* table, const std::string& name, const char* who) {
  if (table == nullptr || name.empty()) return -1;
  const int index = table->FindByName(name.c_str());
  if (index >= 0 && IsTexture(table->GetType(index))) return index;
  DebugPrintf("%s: no texture '%s' in the resource table\n", who, name.c_str());
  return -1;
}

CTexture* GetEffectTexture(CResourceTable* table, int index) {
  if (table == nullptr || index < 0 || !IsTexture(table->GetType(index))) return nullptr;
  return static_cast<CTexture*>(table->GetResource(index));
}
