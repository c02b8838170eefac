#include "core/services/WorldServices.h"

#include <algorithm>

#include "core/services/SpriteSheet.h"

void WorldServices::AddClearHook(ClearHook hook) {
  if (hook != nullptr && std::find(clearHooks.begin(), clearHooks.end(), hook) == clearHooks.end())
    clearHooks.push_back(hook);
}

WorldServices& GetWorldServices() {
  static WorldServices services;
  return services;
}

std::unique_ptr<CSpriteSheet> CreateSpriteSheet() {
  const WorldServices& services = GetWorldServices();
  return services.createSpriteSheet != nullptr ? services.createSpriteSheet() : nullptr;
}
