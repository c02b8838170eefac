// CCursorBackingStore: the registered factory.
#include "core/CursorBackingStore.h"

namespace {
CCursorBackingStore::Factory g_factory = nullptr;
}  // namespace

void CCursorBackingStore::SetFactory(Factory factory) { g_factory = factory; }

std::unique_ptr<CCursorBackingStore> CCursorBackingStore::Create() { return g_factory ? g_factory() : nullptr; }
