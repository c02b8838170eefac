#include "core/ObjectFactory.h"

#include "combat/Bullet.h"
#include "combat/Creature.h"
#include "combat/Explosion.h"
#include "combat/Fire.h"
#include "combat/FlameSpurt.h"
#include "combat/Mine.h"
#include "combat/Missile.h"
#include "combat/MortarShell.h"
#include "combat/PickupItem.h"
#include "combat/Shield.h"
#include "combat/Turret.h"
#include "combat/Vehicle.h"
#include "net/Player.h"
#include "net/SessionManager.h"
#include "net/Team.h"

CGameObject* CreateGameObject(uint32_t typeCode) {
  switch (typeCode) {
    case 1: return new CSessionManager();
    case 2: return new CPlayer();
    case 3: return new CTeam();
    case 4: return new CVehicle();
    case 5: return new CCreature();
    case 6: return new CPickupItem();
    case 7: return new CExplosion();
    case 8: return new CFlameSpurt();
    case 9: return new CFire();
    case 10: return new CMortarShell();
    case 11: return new CBullet();
    case 12: return new CMissile();
    case 13: return new CMine();
    case 17: return new CShield();
    case 18: return new CTurret();
    default: return nullptr;  // 0, 14-16 and everything above 18 name no class
  }
}
