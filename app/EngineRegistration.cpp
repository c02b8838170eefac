#include "app/EngineRegistration.h"

#include "combat/CombatObjectTypes.h"
#include "core/ObjectFactory.h"
#include "core/WorldServices.h"
#include "effects/EffectSystem.h"
#include "net/NetObjectTypes.h"
#include "park/ParkScreens.h"
#include "render/RenderWorldScene.h"
#include "ui/UIRegistration.h"

void RegisterEngineObjectTypes() {
  CObjectFactory& factory = GetObjectFactory();
  RegisterNetObjectTypes(factory);
  RegisterCombatObjectTypes(factory);
}

void RegisterEngineWorldServices() {
  WorldServices& services = GetWorldServices();
  RegisterRenderWorldScene(services);
  RegisterWorldEffects(services);
  RegisterNetLinks(services);
  RegisterUIServices(services);
  RegisterCombatWorldHooks(services);
  RegisterParkScreens(GetParkScreens());
}
