// NetHost: the server side of the LAN transport. This program never starts it; it only keeps the interface.
#pragma once

#include <cstdint>

#include "core/services/NetLink.h"

class CMessageReceiver;

class NetHost : public CNetLink {
 public:
  NetHost() = default;
  ~NetHost() override = default;
  void SetReceiver(CMessageReceiver* receiver) { m_receiver = receiver; }
  // connection: a player's network ID, or 0 for every connection. Nothing is sent while not started.
  void Send(uint32_t connection, const uint8_t* message, bool reliable, bool critical) {}
  void Update(uint32_t milliseconds) override {}
  void SendTo(uint32_t destination, const uint8_t* message, bool reliable, bool critical) override {
    Send(destination, message, reliable, critical);
  }
  Traffic GetTraffic() const override {
    return Traffic{TotalTcpBytesSent, TotalTcpBytesReceived, TotalUdpBytesSent, TotalUdpBytesReceived};
  }
  void Close() {}
  void Shutdown() {}

  uint32_t TotalTcpBytesSent = 0;
  uint32_t TotalTcpBytesReceived = 0;
  uint32_t TotalUdpBytesSent = 0;
  uint32_t TotalUdpBytesReceived = 0;

 private:
  CMessageReceiver* m_receiver = nullptr;
};
