// CPlayer: one player of the session, with its network ID and the object it controls.
#pragma once

#include <cstdint>

#include "core/world/GameObject.h"

class CPlayer : public CGameObject {
 public:
  static constexpr uint32_t kUnassigned = 0xFFFFFFFEu;
  static constexpr uint32_t kNoAvatar = 0xFFFFFFFFu;

  const char* GetInfoString() const override { return "<Player>"; }
  CPlayer* AsPlayer() override { return this; }

  // The controlled object, looked up through the world, or null.
  CGameObject* GetCurrentAvatar() const;
  void SetCurrentAvatar(uint32_t id) { m_avatarID = id; }
  uint32_t GetCurrentAvatarID() const { return m_avatarID; }
  // The player drops the object with that ID (only when it is the current one).
  void RemoveAvatar(uint32_t id);

  uint8_t disconnected = 0;
  uint32_t networkID = kUnassigned;

 private:
  uint32_t m_avatarID = kNoAvatar;
};
