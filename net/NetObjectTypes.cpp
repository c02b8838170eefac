#include "net/NetObjectTypes.h"

#include <memory>

#include "core/world/ObjectFactory.h"
#include "core/services/WorldServices.h"
#include "net/NetClient.h"
#include "net/NetHost.h"
#include "net/Player.h"
#include "net/SessionManager.h"
#include "net/Team.h"

namespace {
template <typename T>
std::unique_ptr<CGameObject> Make() {
  return std::make_unique<T>();
}

std::unique_ptr<CNetLink> MakeLink(bool server, CMessageReceiver* receiver) {
  if (server) {
    auto host = std::make_unique<NetHost>();
    host->SetReceiver(receiver);
    return host;
  }
  auto client = std::make_unique<NetClient>();
  client->SetReceiver(receiver);
  return client;
}
}  // namespace

void RegisterNetObjectTypes(CObjectFactory& factory) {
  factory.Register(1, &Make<CSessionManager>);
  factory.Register(2, &Make<CPlayer>);
  factory.Register(3, &Make<CTeam>);
}

void RegisterNetLinks(WorldServices& services) { services.createNetLink = &MakeLink; }
