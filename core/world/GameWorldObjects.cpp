// CGameWorld: the object registry - filing objects by ID, removal and the update pass.
#include "core/world/GameMessage.h"
#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/services/WorldSession.h"

namespace {
constexpr uint32_t kAutoID = 0xFFFFFFFFu;
}

// Files the object under an ID. With kAutoID (-1) it gets the next free ID from the counter; an
// explicit ID moves the counter past it; in client mode the object keeps the ID it carries.
uint32_t CGameWorld::AddObject(std::unique_ptr<CGameObject>&& object, uint32_t id) {
  if (object == nullptr) return 0;
  uint32_t assigned;
  if (m_networkMode == kModeClient) {
    assigned = object->GetID();
  } else if (id == kAutoID) {
    // The counter can meet IDs filed explicitly or carried in from elsewhere; skip them (and the two
    // reserved values) rather than refuse a request that asked for any ID.
    while (m_nextObjectID == 0 || m_nextObjectID == kAutoID || m_objects.count(m_nextObjectID) != 0) ++m_nextObjectID;
    assigned = m_nextObjectID;
  } else {
    assigned = id;
  }
  if (assigned == 0 || m_objects.count(assigned) != 0) {
    DebugPrintf("GameWorld: Refusing Object, %s, ID = %u is %s.\n", object->GetInfoString(), assigned,
                assigned == 0 ? "not a valid ID" : "already taken");
    return 0;
  }
  if (m_networkMode != kModeClient) {
    if (id == kAutoID)
      m_nextObjectID = assigned + 1;
    else if (m_nextObjectID <= assigned)
      m_nextObjectID = assigned + 1;
  }
  object->SetID(assigned);
  CGameObject* filed = object.get();
  m_objects.emplace(assigned, std::move(object));
  if (CBoundedObject* bounded = dynamic_cast<CBoundedObject*>(filed)) m_octree.InsertObject(bounded);
  DebugPrintf("GameWorld: Added New Object, %s, ID = %d.\n", filed->GetInfoString(), static_cast<int>(assigned));
  return assigned;
}

uint32_t CGameWorld::RegisterNewObject(std::unique_ptr<CGameObject>&& object, uint32_t id) {
  if (object == nullptr) return 0;
  CGameObject* added = object.get();
  if ((added->GetFlags() & CGameObject::kNetworked) == 0) {
    if (added->GetFlags() & CGameObject::kLocalUpdate)
      m_localList.push_front(std::move(object));
    else
      m_passiveList.push_front(std::move(object));
    if (CBoundedObject* bounded = dynamic_cast<CBoundedObject*>(added)) m_octree.InsertObject(bounded);
    added->Init(true);
    return 0;
  }
  switch (m_networkMode) {
    case kModeSinglePlayer: {
      const uint32_t filed = AddObject(std::move(object), id);
      if (filed == 0) return 0;
      added->Init(true);
      return filed;
    }
    case kModeServer: {
      const uint32_t filed = AddObject(std::move(object), id);
      if (filed == 0) return 0;
      added->Init(true);
      const bool critical = (added->GetFlags() & CGameObject::kNotCritical) == 0;
      if (added->GetFlags() & CGameObject::kBroadcastCreate) {
        if (uint8_t* message = added->BuildCreateMessage(true)) {
          message[GameMessage::kTypeOffset] = GameMessage::kCreateBroadcast;
          SendMessage(kToAllPlayers, message, true, critical);
        }
      } else if (added->GetFlags() & CGameObject::kCreateToController) {
        const CWorldSession* session = GetSession();
        uint32_t networkID = 0;
        if (session != nullptr && session->FindPlayerNetworkID(added->GetOwnerID(), &networkID)) {
          if (uint8_t* message = added->BuildCreateMessage(true)) {
            message[GameMessage::kTypeOffset] = GameMessage::kCreateBroadcast;
            SendMessage(networkID, message, true, critical);
          }
        }
      }
      return filed;
    }
    case kModeClient:
      // The server creates a client's objects; this one stays with the caller.
      if (added->GetFlags() & CGameObject::kClientAnnounce)
        OutputDebugStringA("GameWorld: Notifying Server of New Object\n");
      else
        OutputDebugStringA("GameWorld: Ignoring New Object Creation\n");
      return 0;
    default:
      return 0;
  }
}

CGameObject* CGameWorld::GetObjectByID(uint32_t id) const {
  auto it = m_objects.find(id);
  return it != m_objects.end() ? it->second.get() : nullptr;
}

CWorldSession* CGameWorld::GetSession() const { return dynamic_cast<CWorldSession*>(GetObjectByID(1)); }

CSessionManager* CGameWorld::GetSessionManager() const {
  CWorldSession* session = GetSession();
  return session != nullptr ? session->GetSessionManager() : nullptr;
}

void CGameWorld::RemoveObject(uint32_t id) {
  auto it = m_objects.find(id);
  if (it == m_objects.end()) return;
  std::unique_ptr<CGameObject> object = std::move(it->second);
  m_objects.erase(it);
  DeleteObject(std::move(object));
}

// Objects may add, mark and remove objects (themselves included) while they update. The pass works
// from the IDs present when it began and looks each one up again, so an object removed earlier in
// the pass is skipped and an object added during the pass waits for the next one.
void CGameWorld::UpdateObjects(float dt) {
  const uint32_t generation = m_clearGeneration;
  std::vector<uint32_t> ids;
  ids.swap(m_updateSnapshot);  // reuse the capacity; a nested pass would get a vector of its own
  ids.clear();
  ids.reserve(m_objects.size());
  for (const auto& entry : m_objects) ids.push_back(entry.first);
  // New local objects go to the front of the list, so starting from today's front leaves them for
  // the next pass, as the map part does.
  auto localBegin = m_localList.begin();

  for (uint32_t id : ids) {
    if (generation != m_clearGeneration) break;  // the world was cleared under the pass
    CGameObject* object = GetObjectByID(id);
    if (object == nullptr) continue;
    if (object->IsMarkedForRemoval()) {
      if (m_networkMode == kModeServer && (object->GetFlags() & CGameObject::kBroadcastDestroy)) {
        uint8_t* message = AllocMessage(GameMessage::kHeaderSize);
        GameMessage::SetHeader(message, GameMessage::kHeaderSize, id, GameMessage::kDestroy);
        SendMessage(kToAllPlayers, message, true, true);
        DebugPrintf("GameWorld: Destroy Message Sent for Object ID=%d, %s\n", static_cast<int>(id),
                    object->GetInfoString());
      }
      RemoveObject(id);
    } else {
      object->Update(dt);
    }
  }

  // Only this pass and ClearWorld take objects out of the local list; new ones go to the front.
  for (auto it = localBegin; generation == m_clearGeneration && it != m_localList.end();) {
    auto current = it++;
    CGameObject* object = current->get();
    if (object->IsMarkedForRemoval()) {
      std::unique_ptr<CGameObject> doomed = std::move(*current);
      m_localList.erase(current);
      DeleteObject(std::move(doomed));
    } else {
      object->Update(dt);
    }
  }

  ids.clear();
  if (m_updateSnapshot.capacity() < ids.capacity()) m_updateSnapshot.swap(ids);
  m_worldTime += dt;
  ++m_stepCount;
}
