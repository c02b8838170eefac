// CWorldSession: the session object (object ID 1) as the world and its objects see it: players, teams and avatars.
#pragma once

#include <cstdint>
#include <vector>

class CSessionManager;

// The network folder's session manager implements this; the world finds it as object 1.
class CWorldSession {
 public:
  virtual ~CWorldSession() = default;

  // A player with that network ID left.
  virtual void PlayerLeft(uint32_t networkID) = 0;
  virtual bool IsTeamID(uint32_t id) const = 0;
  // Whether the local player (if any) controls the object with that ID.
  virtual bool IsLocalAvatar(uint32_t objectID) const = 0;
  // The network IDs a server's broadcast goes to: connected players other than the local one that
  // have a network ID.
  virtual std::vector<uint32_t> GetRemoteNetworkIDs() const = 0;
  // The network ID of the player object with that object ID; false when the object is not a player.
  virtual bool FindPlayerNetworkID(uint32_t playerObjectID, uint32_t* networkID) const = 0;
  // The player object playerObjectID (if it is one) drops the object avatarID.
  virtual void RemoveAvatar(uint32_t playerObjectID, uint32_t avatarID) = 0;
  virtual CSessionManager* GetSessionManager() = 0;
};
