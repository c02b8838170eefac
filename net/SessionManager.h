// CSessionManager: the session object (object ID 1): the players and teams of the game.
#pragma once

#include <cstdint>
#include <vector>

#include "core/world/GameObject.h"
#include "core/services/WorldSession.h"

class CPlayer;

class CSessionManager : public CGameObject, public CWorldSession {
 public:
  CSessionManager() = default;
  const char* GetInfoString() const override { return "<Session Manager>"; }

  // IDs of the player objects; walked by a server's broadcasts.
  const std::vector<uint32_t>& GetPlayerIDs() const { return m_playerIDs; }
  void AddPlayerID(uint32_t id) { m_playerIDs.push_back(id); }
  // Team IDs: a collection of their own, not the list of players.
  void AddTeamID(uint32_t id) { m_teamIDs.push_back(id); }
  bool IsTeamID(uint32_t id) const override;

  void SetLocalPlayerID(uint32_t id) { m_localPlayerID = id; }
  // The player object of this machine, or null.
  CPlayer* GetLocalPlayer() const;
  // A player with that network ID left: it is marked disconnected.
  void PlayerLeft(uint32_t networkID) override;

  // --- The world's view of the session ---
  bool IsLocalAvatar(uint32_t objectID) const override;
  std::vector<uint32_t> GetRemoteNetworkIDs() const override;
  bool FindPlayerNetworkID(uint32_t playerObjectID, uint32_t* networkID) const override;
  void RemoveAvatar(uint32_t playerObjectID, uint32_t avatarID) override;
  CSessionManager* GetSessionManager() override { return this; }

 private:
  std::vector<uint32_t> m_playerIDs;
  std::vector<uint32_t> m_teamIDs;
  uint32_t m_localPlayerID = kNoPlayer;
};
