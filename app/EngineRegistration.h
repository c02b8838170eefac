// The start-up registration of the engine's higher folders into the registries the lower ones declare.
#pragma once

class CGameWorld;
class CResourceTable;

// The session, player and team types and the combat types, into the program's object factory.
void RegisterEngineObjectTypes();
// The world's scene side, effects, network links, sprite files, mouse pointer and clear hooks, and
// the park's screens.
void RegisterEngineWorldServices();
// Registers the loaders of every folder that makes assets, for every table, in the order their
// mesh builders stack (scene, physics, combat), then textures, sounds and effects. Calling it
// again changes nothing.
void RegisterEngineLoaders();
// The same, and gives table the running game's load context: the level folder of world (none
// when null) and the texture settings of the active settings.
void RegisterEngineLoaders(CResourceTable& table, const CGameWorld* world);
// All of the above but the table's context: what every program does before it builds a world.
void RegisterEngine();
