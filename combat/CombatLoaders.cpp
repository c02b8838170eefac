// RegisterCombatLoaders: vehicle definitions are built from the meshes the table loads.
#include "combat/CombatLoaders.h"

#include "combat/VehicleDef.h"

void RegisterCombatLoaders() { CVehicleDef::RegisterResourceLoader(); }
