#include "combat/ItemTypeRegistry.h"

namespace {
uint32_t g_clears = 0;
}

void ItemTypeRegistry::Clear() { ++g_clears; }

uint32_t ItemTypeRegistry::GetClearCount() { return g_clears; }
