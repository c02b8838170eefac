#include "combat/CombatObjectTypes.h"

#include <memory>

#include "combat/Bullet.h"
#include "combat/Creature.h"
#include "combat/Explosion.h"
#include "combat/Fire.h"
#include "combat/FlameSpurt.h"
#include "combat/ItemTypeRegistry.h"
#include "combat/Mine.h"
#include "combat/Missile.h"
#include "combat/MortarShell.h"
#include "combat/PickupItem.h"
#include "combat/Shield.h"
#include "combat/Turret.h"
#include "combat/Vehicle.h"
#include "core/services/WorldServices.h"
#include "core/world/ObjectFactory.h"

namespace {
template <typename T>
std::unique_ptr<CGameObject> Make() {
  return std::make_unique<T>();
}
}  // namespace

void RegisterCombatObjectTypes(CObjectFactory& factory) {
  factory.Register(4, &Make<CVehicle>);
  factory.Register(5, &Make<CCreature>);
  factory.Register(6, &Make<CPickupItem>);
  factory.Register(7, &Make<CExplosion>);
  factory.Register(8, &Make<CFlameSpurt>);
  factory.Register(9, &Make<CFire>);
  factory.Register(10, &Make<CMortarShell>);
  factory.Register(11, &Make<CBullet>);
  factory.Register(12, &Make<CMissile>);
  factory.Register(13, &Make<CMine>);
  factory.Register(17, &Make<CShield>);
  factory.Register(18, &Make<CTurret>);
}

void RegisterCombatWorldHooks(WorldServices& services) { services.AddClearHook(&ItemTypeRegistry::Clear); }
