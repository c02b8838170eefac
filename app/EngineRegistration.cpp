// Every folder registers its object types, world services and loaders from here, explicitly:
// static initialisers would be dropped with any object file the linker does not need.
#include "app/EngineRegistration.h"

#include <memory>

#include "app/GameResourceContext.h"
#include "combat/CombatLoaders.h"
#include "combat/CombatObjectTypes.h"
#include "core/world/ObjectFactory.h"
#include "core/services/WorldServices.h"
#include "core/data/ResourceTable.h"
#include "effects/EffectSystem.h"
#include "effects/EffectsLoaders.h"
#include "net/NetObjectTypes.h"
#include "park/controller/ParkObjectTypes.h"
#include "park/skater/SkaterBody.h"
#include "park/world/ParkScreens.h"
#include "physics/rigid/PhysicsLoaders.h"
#include "render/image/RenderLoaders.h"
#include "render/view/RenderWorldScene.h"
#include "scene/mesh/SceneLoaders.h"
#include "sound/SoundLoaders.h"
#include "ui/UIRegistration.h"

void RegisterEngineObjectTypes() {
  CObjectFactory& factory = GetObjectFactory();
  RegisterNetObjectTypes(factory);
  RegisterCombatObjectTypes(factory);
  RegisterParkObjectTypes(factory);
  RegisterParkSkaterLinks();
}

void RegisterEngineWorldServices() {
  WorldServices& services = GetWorldServices();
  RegisterRenderWorldScene(services);
  RegisterWorldEffects(services);
  RegisterNetLinks(services);
  RegisterUIServices(services);
  RegisterCombatWorldHooks(services);
  RegisterParkScreens(GetParkScreens());
  RegisterSkaterBody();
}

void RegisterEngineLoaders() {
  RegisterSceneLoaders();
  RegisterPhysicsLoaders();
  RegisterCombatLoaders();  // after physics: the vehicle builder wraps the rigid-body one
  RegisterRenderLoaders();
  RegisterSoundLoaders();
  RegisterEffectsLoaders();
}

void RegisterEngineLoaders(CResourceTable& table, const CGameWorld* world) {
  RegisterEngineLoaders();
  table.SetLoadContext(std::make_unique<CGameResourceContext>(world));
}

void RegisterEngine() {
  RegisterEngineObjectTypes();
  RegisterEngineWorldServices();
  RegisterEngineLoaders();
}
