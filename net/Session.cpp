#include <algorithm>

#include "core/GameWorld.h"
#include "core/WorldAccess.h"
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

CGameObject* CPlayer::GetCurrentAvatar() const {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr || m_avatarID == kNoAvatar) return nullptr;
  return world->GetObjectByID(m_avatarID);
}

void CPlayer::RemoveAvatar(uint32_t id) {
  if (m_avatarID == id) m_avatarID = kNoAvatar;
}
