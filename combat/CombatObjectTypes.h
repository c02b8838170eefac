// Registration of the combat folder's parts: its object types and the item registry's clear.
#pragma once

class CObjectFactory;
struct WorldServices;

// Type codes 4-13, 17 and 18.
void RegisterCombatObjectTypes(CObjectFactory& factory);
// Every world clear empties the item type registry.
void RegisterCombatWorldHooks(WorldServices& services);
