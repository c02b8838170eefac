// CGameWorld: message buffers, routing by network mode and delivery.
#include <cstring>

#include "core/world/GameMessage.h"
#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/services/NetLink.h"
#include "core/services/WorldSession.h"
#include "core/data/DebugPrintf.h"

namespace {
// Counts one level of message dispatch for as long as a handler runs.
class DispatchDepth {
 public:
  explicit DispatchDepth(uint32_t& depth) : m_depth(depth) { ++m_depth; }
  ~DispatchDepth() { --m_depth; }
  DispatchDepth(const DispatchDepth&) = delete;
  DispatchDepth& operator=(const DispatchDepth&) = delete;

 private:
  uint32_t& m_depth;
};
}  // namespace

// A handler that sends messages of its own allocates at a deeper dispatch level than the message it
// is reading, so it never overwrites that message. Buffers only grow, so once each depth has reached
// the largest size used, sending allocates nothing.
uint8_t* CGameWorld::AllocMessage(uint32_t size) {
  while (m_messageBuffers.size() <= m_dispatchDepth) m_messageBuffers.push_back(std::make_unique<std::vector<uint8_t>>());
  std::vector<uint8_t>& buffer = *m_messageBuffers[m_dispatchDepth];
  if (size > buffer.size() || buffer.empty()) {
    buffer.clear();
    buffer.shrink_to_fit();
    buffer.resize(size > 0 ? size : 1);
  }
  std::memset(buffer.data(), 0xCD, size);
  return buffer.data();
}

void CGameWorld::SendMessage(uint32_t destination, const uint8_t* message, bool reliable, bool critical) {
  if (message == nullptr) return;
  if (destination == kUnassignedNetworkID)
    DebugPrintf("CGameWorld: Warning - ignoring send to unitialized network ID, objID=%d, type=%d, size=%d\n",
                static_cast<int>(GameMessage::Target(message)), static_cast<int>(GameMessage::Type(message)),
                static_cast<int>(GameMessage::Size(message)));
  switch (m_networkMode) {
    case kModeSinglePlayer:
      HandleMessage(0, message);
      break;
    case kModeServer:
      if (destination == kToLocal) {
        HandleMessage(kToLocal, message);
      } else if (destination == kToAllPlayers) {
        const CWorldSession* session = GetSession();
        if (session == nullptr || m_netLink == nullptr) break;
        // The session lists the connected remote players with a network ID; the list is a copy, so
        // sending cannot change it under the loop.
        for (uint32_t networkID : session->GetRemoteNetworkIDs())
          m_netLink->SendTo(networkID, message, reliable, critical);
      } else if (m_netLink != nullptr) {
        m_netLink->SendTo(destination, message, reliable, critical);
      }
      break;
    case kModeClient:
      if (m_netLink != nullptr) m_netLink->SendTo(kToAllPlayers, message, reliable, critical);
      break;
    default:
      break;
  }
}

// message must hold at least as many bytes as its size field says; locally built messages do, and the
// transports check their framing. The size field itself is checked against the fields read here.
void CGameWorld::HandleMessage(uint32_t senderID, const uint8_t* message) {
  if (message == nullptr) return;
  const uint32_t size = GameMessage::Size(message);
  if (size < GameMessage::kHeaderSize) {
    DebugPrintf("GameWorld: Dropping message of %u bytes, shorter than its header\n", size);
    return;
  }
  DispatchDepth depth(m_dispatchDepth);
  const uint32_t target = GameMessage::Target(message);
  const uint8_t type = GameMessage::Type(message);
  if (CGameObject* object = GetObjectByID(target)) {
    if (type == GameMessage::kDestroy) {
      DebugPrintf("GameWorld: Handling Destroy Message for Object ID=%d, %s\n", static_cast<int>(target),
                  object->GetInfoString());
      object->MarkForRemoval();
    } else {
      object->ReceiveMessage(senderID, message);
    }
    return;
  }
  if (type != GameMessage::kCreate && type != GameMessage::kCreateBroadcast) {
    DebugPrintf("GameWorld: warning: Object ID %d Does not Exist to Receive Message!!!\n", static_cast<int>(target));
    return;
  }
  if (size < GameMessage::kCreateHeaderSize) {
    DebugPrintf("GameWorld: Dropping create message for Object ID=%u: %u bytes, shorter than its fields\n", target,
                size);
    return;
  }
  std::unique_ptr<CGameObject> created = CreateObject(message[GameMessage::kTypeCodeOffset]);
  if (created == nullptr) return;  // an unknown type code creates nothing
  created->SetID(target);
  CGameObject* object = created.get();
  // An object that refuses its creation data, or that the world refuses, goes with the pointer.
  if (!object->ReceiveMessage(senderID, message) || AddObject(std::move(created)) == 0) return;
  object->Init(type == GameMessage::kCreateBroadcast);
}
