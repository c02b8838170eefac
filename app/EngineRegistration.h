// The start-up registration of the engine's higher folders into the registries the lower ones declare.
#pragma once

// The session, player and team types and the combat types, into the program's object factory.
void RegisterEngineObjectTypes();
// The world's scene side, effects, network links, sprite files, mouse pointer and clear hooks, and
// the park's screens.
void RegisterEngineWorldServices();
