// RegisterEngineLoaders: calls each folder's registration; static initialisers would be dropped
// with any object file the linker does not need, so nothing registers itself.
#include "app/EngineRegistration.h"

#include <memory>

#include "app/GameResourceContext.h"
#include "combat/CombatLoaders.h"
#include "core/math/ResourceTable.h"
#include "physics/rigid/PhysicsLoaders.h"
#include "scene/mesh/SceneLoaders.h"
#include "sound/SoundLoaders.h"

void RegisterEngineLoaders() {
  RegisterSceneLoaders();
  RegisterPhysicsLoaders();
  RegisterCombatLoaders();  // after physics: the vehicle builder wraps the rigid-body one
  RegisterSoundLoaders();
}

void RegisterEngineLoaders(CResourceTable& table, const CGameWorld* world) {
  RegisterEngineLoaders();
  table.SetLoadContext(std::make_unique<CGameResourceContext>(world));
}
