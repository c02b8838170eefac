#include "core/world/GameObject.h"

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/services/WorldSession.h"

namespace {
// Owner chains are short; a longer walk means two objects own each other, so the walk stops.
constexpr int kMaxOwnerSteps = 256;

CGameObject* LookUp(uint32_t id) {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? world->GetObjectByID(id) : nullptr;
}

CWorldSession* Session() {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? world->GetSession() : nullptr;
}

// The first object up the owner chain that starts at `id` for which kind gives non-null, and
// what kind gave for it; null when the chain ends first.
template <typename T>
T* FirstOwnerOfKind(uint32_t id, T* (CGameObject::*kind)(), CGameObject** found = nullptr) {
  for (int step = 0; step < kMaxOwnerSteps; ++step) {
    CGameObject* owner = LookUp(id);
    if (owner == nullptr) return nullptr;
    if (T* typed = (owner->*kind)()) {
      if (found != nullptr) *found = owner;
      return typed;
    }
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

CPlayer* CGameObject::GetOwnerPlayer() const { return FirstOwnerOfKind(m_ownerID, &CGameObject::AsPlayer); }

CTeam* CGameObject::GetOwnerTeam() const { return FirstOwnerOfKind(m_ownerID, &CGameObject::AsTeam); }

uint32_t CGameObject::FindOwnerPlayerID() const {
  CGameObject* player = nullptr;
  FirstOwnerOfKind(m_ownerID, &CGameObject::AsPlayer, &player);
  return player != nullptr ? player->GetID() : kNoPlayer;
}

uint32_t CGameObject::GetControllingPlayerID() const {
  CGameWorld* world = GetGameWorld();
  const CWorldSession* session = Session();
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
  CGameObject* owner = LookUp(m_ownerID);
  CWorldSession* session = Session();
  if (owner != nullptr && owner->AsPlayer() != nullptr && session != nullptr) session->RemoveAvatar(m_ownerID, m_id);
  m_ownerID = kNoOwner;
}

bool CGameObject::IsControlledByLocalPlayer() const {
  const CWorldSession* session = Session();
  return session != nullptr && session->IsLocalAvatar(m_id);
}
