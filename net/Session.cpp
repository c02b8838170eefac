#include <algorithm>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "net/Player.h"
#include "net/SessionManager.h"

bool CSessionManager::IsTeamID(uint32_t id) const {
  return std::find(m_teamIDs.begin(), m_teamIDs.end(), id) != m_teamIDs.end();
}

CPlayer* CSessionManager::GetLocalPlayer() const {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr || m_localPlayerID == kNoPlayer) return nullptr;
  return dynamic_cast<CPlayer*>(world->GetObjectByID(m_localPlayerID));
}

void CSessionManager::PlayerLeft(uint32_t networkID) {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr) return;
  for (uint32_t id : m_playerIDs) {
    CPlayer* player = dynamic_cast<CPlayer*>(world->GetObjectByID(id));
    if (player != nullptr && player->networkID == networkID) player->disconnected = 1;
  }
}

bool CSessionManager::IsLocalAvatar(uint32_t objectID) const {
  const CPlayer* local = GetLocalPlayer();
  return local != nullptr && local->GetCurrentAvatarID() == objectID;
}

std::vector<uint32_t> CSessionManager::GetRemoteNetworkIDs() const {
  std::vector<uint32_t> ids;
  CGameWorld* world = GetGameWorld();
  if (world == nullptr) return ids;
  const CPlayer* local = GetLocalPlayer();
  for (uint32_t id : m_playerIDs) {
    const CPlayer* player = dynamic_cast<CPlayer*>(world->GetObjectByID(id));
    if (player == nullptr || player->disconnected != 0 || player == local) continue;
    if (player->networkID == 0 || player->networkID == CGameWorld::kUnassignedNetworkID) continue;
    ids.push_back(player->networkID);
  }
  return ids;
}

bool CSessionManager::FindPlayerNetworkID(uint32_t playerObjectID, uint32_t* networkID) const {
  CGameWorld* world = GetGameWorld();
  const CPlayer* player = world != nullptr ? dynamic_cast<CPlayer*>(world->GetObjectByID(playerObjectID)) : nullptr;
  if (player == nullptr) return false;
  if (networkID != nullptr) *networkID = player->networkID;
  return true;
}

void CSessionManager::RemoveAvatar(uint32_t playerObjectID, uint32_t avatarID) {
  CGameWorld* world = GetGameWorld();
  CPlayer* player = world != nullptr ? dynamic_cast<CPlayer*>(world->GetObjectByID(playerObjectID)) : nullptr;
  if (player == nullptr) return;
  DebugPrintf("CControllableObject: Removing Control by Player ID %d! (this ID = %d)\n",
              static_cast<int>(player->GetID()), static_cast<int>(avatarID));
  player->RemoveAvatar(avatarID);
}

CGameObject* CPlayer::GetCurrentAvatar() const {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr || m_avatarID == kNoAvatar) return nullptr;
  return world->GetObjectByID(m_avatarID);
}

void CPlayer::RemoveAvatar(uint32_t id) {
  if (m_avatarID == id) m_avatarID = kNoAvatar;
}
