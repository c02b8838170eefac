// WorldServices: the factories through which the world makes the parts that live in higher folders.
#pragma once

#include <memory>
#include <vector>

class CAttachObject;
class CAttachObjectCarrier;
class CGameWorld;
class CMeshInstance;
class CMessageReceiver;
class CNetLink;
class CSpriteSheet;
class CWorldEffects;
class CWorldPointer;
class CWorldScene;

// Each higher folder fills in its own entries at start-up (the program's registration lives in
// app/EngineRegistration). A world built while an entry is empty goes without that part: no scene
// side, no effects, no pointer, no network links, no attach objects.
struct WorldServices {
  using SceneFactory = std::unique_ptr<CWorldScene> (*)(CGameWorld& world);
  using EffectsFactory = std::unique_ptr<CWorldEffects> (*)();
  // server: a host for the players, otherwise a client's connection; messages arrive at receiver.
  using NetLinkFactory = std::unique_ptr<CNetLink> (*)(bool server, CMessageReceiver* receiver);
  using PointerFactory = std::unique_ptr<CWorldPointer> (*)();
  using SpriteSheetFactory = std::unique_ptr<CSpriteSheet> (*)();
  using ClearHook = void (*)();
  // Appends to out the attach objects the instance's attach points ask for, each reading its
  // strength from the carrier.
  using AttachObjectFactory = void (*)(CAttachObjectCarrier& carrier, CMeshInstance& instance,
                                       std::vector<std::unique_ptr<CAttachObject>>& out);

  SceneFactory createScene = nullptr;
  EffectsFactory createEffects = nullptr;
  NetLinkFactory createNetLink = nullptr;
  PointerFactory createPointer = nullptr;
  SpriteSheetFactory createSpriteSheet = nullptr;
  AttachObjectFactory createAttachObjects = nullptr;
  // Run by every world clear, after the world's own parts are gone (registries of level data).
  std::vector<ClearHook> clearHooks;

  // Adds the hook once, however often a folder registers.
  void AddClearHook(ClearHook hook);
};

WorldServices& GetWorldServices();
