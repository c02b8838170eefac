// NetClient: the client side of the LAN transport. This program never starts it; it only keeps the interface.
#pragma once

#include <cstdint>

#include "core/services/NetLink.h"

class CMessageReceiver;

class NetClient : public CNetLink {
 public:
  NetClient() = default;
  ~NetClient() override = default;
  void SetReceiver(CMessageReceiver* receiver) { m_receiver = receiver; }
  void Send(const uint8_t* message, bool reliable, bool critical) {}
  void Update(uint32_t milliseconds) override {}
  // A client always sends to its server, whatever the destination.
  void SendTo(uint32_t destination, const uint8_t* message, bool reliable, bool critical) override {
    Send(message, reliable, critical);
  }
  Traffic GetTraffic() const override { return Traffic{TcpBytesSent, TcpBytesReceived, UdpBytesSent, UdpBytesReceived}; }
  void Close() {}
  void Shutdown() {}

  uint32_t TcpBytesSent = 0;
  uint32_t TcpBytesReceived = 0;
  uint32_t UdpBytesSent = 0;
  uint32_t UdpBytesReceived = 0;

 private:
  CMessageReceiver* m_receiver = nullptr;
};
