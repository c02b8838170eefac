// CNetLink: one end of the network transport (a server's host or a client's connection) as the world sees it.
#pragma once

#include <cstdint>

class CNetLink {
 public:
  // Bytes moved since the link opened.
  struct Traffic {
    uint32_t tcpSent = 0;
    uint32_t tcpReceived = 0;
    uint32_t udpSent = 0;
    uint32_t udpReceived = 0;
  };

  virtual ~CNetLink() = default;
  virtual void Update(uint32_t milliseconds) = 0;
  // destination: a player's network ID, 0 for everyone; a client always sends to its server.
  virtual void SendTo(uint32_t destination, const uint8_t* message, bool reliable, bool critical) = 0;
  virtual Traffic GetTraffic() const = 0;
};
