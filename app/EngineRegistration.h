// RegisterEngineLoaders: the one place where every folder's asset loaders are plugged into the resource table.
#pragma once

class CGameWorld;
class CResourceTable;

// Registers the loaders of every folder that makes assets, for every table, in the order their
// mesh builders stack (scene, physics, combat) and the sound loader. Calling it again changes nothing.
void RegisterEngineLoaders();
// The same, and gives table the running game's load context: the level folder of world (none
// when null) and the texture settings of the active settings.
void RegisterEngineLoaders(CResourceTable& table, const CGameWorld* world);
