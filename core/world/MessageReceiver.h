// CMessageReceiver: the interface through which messages and network events reach the world.
#pragma once

#include <cstdint>

class CMessageReceiver {
 public:
  virtual ~CMessageReceiver() = default;
  // message: a GameMessage byte record (see core/world/GameMessage.h).
  virtual void HandleMessage(uint32_t senderID, const uint8_t* message) {}
  // event: at least two words; the first is the event kind (0 = a player disconnected).
  virtual void HandleNetworkEvent(const uint32_t* event) {}
};
