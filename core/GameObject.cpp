#include "core/GameObject.h"

#include "core/GameWorld.h"
#include "core/WorldAccess.h"
#include "core/math/DebugPrintf.h"
#include "net/Player.h"
#include "net/SessionManager.h"
#include "net/Team.h"

namespace {
// Owner chains are short; a longer walk means two objects own each other, so the walk stops.
constexpr int kMaxOwnerSteps = 256;

CGameObject* LookUp(uint32_t id) {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? world->GetObjectByID(id) : nullptr;
}

// The first object of kind T up the owner chain that starts at `id`, or null.
template <typename T>
T* FirstOwnerOfKind(uint32_t id) {
  for (int step = 0; step < kMaxOwnerSteps; ++step) {
    CGameObject* owner = LookUp(id);
    if (owner == nullptr) return nullptr;
    if (T* found = dynamic_cast<T*>(owner)) return found;
    id = owner->GetOwnerID();
  }
  return nullptr;
}
}  // namespace

CGameObject::~CGameObject() = default;

void CGameObject::Init(bool created) {}

bool CGameObject::ReceiveMessage(uint32_t senderID, const uint8_t* message) { return false; }

uint8_t* CGameObject::BuildCreateMessage(bool full) { return nullptr; }

float CGameObject::GetDistanceWeight(const CGameObject* viewer) const { return 1.0f; }

void CGameObject::Update(float dt) {}

void CGameObject::HandleInputEvent(const InputEvent& event) {}

const char* CGameObject::GetInfoString() const { return "<No Info Available>"; }

void CGameObject::SetNetworkFlags(bool networked, bool broadcastCreate, bool bit8, bool createToController,
                                  bool broadcastDestroy, bool localUpdate, bool notCritical) {
  auto set = [this](uint32_t bit, bool on) { m_flags = on ? (m_flags | bit) : (m_flags & ~bit); };
  set(kNetworked, networked);
  set(kLocalUpdate, networked || localUpdate);
  set(kBroadcastCreate, broadcastCreate);
  set(kBit8, bit8);
  set(kCreateToController, createToController);
  set(kBroadcastDestroy, broadcastDestroy);
  set(kNotCritical, notCritical);
}

CPlayer* CGameObject::GetOwnerPlayer() const { return FirstOwnerOfKind<CPlayer>(m_ownerID); }

CTeam* CGameObject::GetOwnerTeam() const { return FirstOwnerOfKind<CTeam>(m_ownerID); }

uint32_t CGameObject::FindOwnerPlayerID() const {
  const CPlayer* player = GetOwnerPlayer();
  return player != nullptr ? player->GetID() : kNoPlayer;
}

uint32_t CGameObject::GetControllingPlayerID() const {
  CGameWorld* world = GetGameWorld();
  const CSessionManager* session = world != nullptr ? world->GetSessionManager() : nullptr;
  if (session == nullptr) return kNoPlayer;
  const CGameObject* object = this;
  for (int step = 0; step < kMaxOwnerSteps && object != nullptr; ++step) {
    const uint32_t owner = object->GetOwnerID();
    if (session->IsTeamID(owner)) return owner;
    object = world->GetObjectByID(owner);
  }
  return kNoPlayer;
}

void CGameObject::RemoveControl() {
  if (CPlayer* player = dynamic_cast<CPlayer*>(LookUp(m_ownerID))) {
    DebugPrintf("CControllableObject: Removing Control by Player ID %d! (this ID = %d)\n",
                static_cast<int>(player->GetID()), static_cast<int>(m_id));
    player->RemoveAvatar(m_id);
  }
  m_ownerID = kNoOwner;
}

bool CGameObject::IsControlledByLocalPlayer() const {
  CGameWorld* world = GetGameWorld();
  const CSessionManager* session = world != nullptr ? world->GetSessionManager() : nullptr;
  const CPlayer* local = session != nullptr ? session->GetLocalPlayer() : nullptr;
  return local != nullptr && local->GetCurrentAvatarID() == m_id;
}
