// RegisterCombatLoaders: plugs the combat folder's assets (vehicle definitions) into the resource table.
#pragma once

// Makes mesh loads with a vehicle attach point give CVehicleDef objects; takes over the rigid-body
// model builder too, so call it after RegisterPhysicsLoaders.
void RegisterCombatLoaders();
