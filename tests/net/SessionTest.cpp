// The session objects, the owner chains of game objects that refer to them, and a server's
// routing of messages to the session's players.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/world/GameMessage.h"
#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/services/NetLink.h"
#include "core/services/WorldServices.h"
#include "net/NetClient.h"
#include "net/NetHost.h"
#include "net/NetObjectTypes.h"
#include "net/Player.h"
#include "net/SessionManager.h"
#include "net/Team.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

class Thing : public CGameObject {};

template <class T>
T* Add(CGameWorld& world, uint32_t owner) {
  T* object = new T();
  object->SetFlags(object->GetFlags() | CGameObject::kNetworked);
  object->SetOwnerID(owner);
  world.RegisterNewObject(std::unique_ptr<CGameObject>(object));
  return object;
}

TEST(Session, OwnerChainsFindPlayersTeamsAndControllers) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  CSessionManager* session = world.GetSessionManager();
  CTeam* team = Add<CTeam>(world, CGameObject::kNoOwner);
  CPlayer* player = Add<CPlayer>(world, team->GetID());
  Thing* vehicle = Add<Thing>(world, player->GetID());
  Thing* turret = Add<Thing>(world, vehicle->GetID());
  session->AddPlayerID(player->GetID());
  session->AddTeamID(team->GetID());
  session->SetLocalPlayerID(player->GetID());

  EXPECT_TRUE(turret->GetOwnerPlayer() == player && turret->FindOwnerPlayerID() == player->GetID());
  EXPECT_EQ(turret->GetOwnerTeam(), team);
  EXPECT_EQ(turret->GetControllingPlayerID(), team->GetID());
  EXPECT_TRUE(team->GetOwnerPlayer() == nullptr && team->FindOwnerPlayerID() == CGameObject::kNoPlayer);
  EXPECT_EQ(session->GetLocalPlayer(), player);
  EXPECT_TRUE(session->IsTeamID(team->GetID()) && !session->IsTeamID(player->GetID()));

  player->SetCurrentAvatar(vehicle->GetID());
  EXPECT_TRUE(vehicle->IsControlledByLocalPlayer());
  EXPECT_FALSE(turret->IsControlledByLocalPlayer());
  // Only a direct player owner is told; the owner ID is released either way.
  turret->RemoveControl();
  EXPECT_EQ(turret->GetOwnerID(), CGameObject::kNoOwner);
  EXPECT_EQ(player->GetCurrentAvatar(), vehicle);
  vehicle->RemoveControl();
  EXPECT_NE(log.Text().find("CControllableObject: Removing Control by Player ID"), std::string::npos);
  EXPECT_TRUE(player->GetCurrentAvatar() == nullptr && vehicle->GetOwnerID() == CGameObject::kNoOwner);

  // Two objects that own each other: the walks end instead of looping.
  Thing* a = Add<Thing>(world, 0);
  Thing* b = Add<Thing>(world, a->GetID());
  a->SetOwnerID(b->GetID());
  EXPECT_TRUE(a->GetOwnerPlayer() == nullptr && a->GetOwnerTeam() == nullptr);
  EXPECT_EQ(a->GetControllingPlayerID(), CGameObject::kNoPlayer);
}

TEST(Session, PlayersLeaveByNetworkIDAndNetworkFlagsFollowTheirArguments) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  CPlayer* p1 = Add<CPlayer>(world, CGameObject::kNoOwner);
  CPlayer* p2 = Add<CPlayer>(world, CGameObject::kNoOwner);
  p1->networkID = 5;
  p2->networkID = 6;
  world.GetSessionManager()->AddPlayerID(p1->GetID());
  world.GetSessionManager()->AddPlayerID(p2->GetID());
  const uint32_t leave[2] = {0, 6};
  world.HandleNetworkEvent(leave);
  EXPECT_TRUE(p1->disconnected == 0 && p2->disconnected == 1);
  EXPECT_NE(log.Text().find("CGameWorld: Handling Player Disconnect...\n"), std::string::npos);

  // Networked objects always update locally; bits the call does not govern stay.
  Thing t;
  t.AddFlags(CGameObject::kRemove);
  t.SetNetworkFlags(true, true, true, true, true, false, true);
  EXPECT_EQ(t.GetFlags(), 0x1u | 0x2 | 0x4 | 0x8 | 0x20 | 0x100 | 0x200 | CGameObject::kRemove);
  t.SetNetworkFlags(false, false, false, false, false, false, false);
  EXPECT_EQ(t.GetFlags(), static_cast<uint32_t>(CGameObject::kRemove));
}

// Records what the world hands its transport: destination, message type and target, flags.
class RecordingLink : public CNetLink {
 public:
  struct Sent {
    uint32_t destination;
    uint8_t type;
    uint32_t target;
    bool reliable;
    bool critical;
    bool operator==(const Sent& o) const {
      return destination == o.destination && type == o.type && target == o.target && reliable == o.reliable &&
             critical == o.critical;
    }
  };
  void Update(uint32_t) override {}
  void SendTo(uint32_t destination, const uint8_t* m, bool reliable, bool critical) override {
    sent.push_back({destination, GameMessage::Type(m), GameMessage::Target(m), reliable, critical});
  }
  Traffic GetTraffic() const override { return Traffic{}; }
  std::vector<Sent> sent;
};

RecordingLink* g_link = nullptr;
bool g_linkIsServer = false;
std::unique_ptr<CNetLink> MakeRecordingLink(bool server, CMessageReceiver*) {
  auto link = std::make_unique<RecordingLink>();
  g_link = link.get();
  g_linkIsServer = server;
  return link;
}

// Builds a full create message of its own, as the game's networked objects do.
class Announced : public CGameObject {
 public:
  explicit Announced(CGameWorld& world) : m_world(world) {}
  uint8_t* BuildCreateMessage(bool) override {
    uint8_t* m = m_world.AllocMessage(GameMessage::kCreateHeaderSize);
    GameMessage::SetCreateHeader(m, GameMessage::kCreateHeaderSize, GetID(), GameMessage::kCreate, 0, 12, GetOwnerID());
    return m;
  }

 private:
  CGameWorld& m_world;
};

TEST(Session, AServerSendsToConnectedRemotePlayersAndCreatesToTheController) {
  DebugCapture log;
  const WorldServices saved = GetWorldServices();
  GetWorldServices().createNetLink = &MakeRecordingLink;
  CGameWorld world(nullptr, nullptr);
  world.StartServer();
  ASSERT_TRUE(g_link != nullptr && g_linkIsServer);
  CSessionManager* session = world.GetSessionManager();
  // Network IDs 4 (this machine), 5, 6 (gone), 0 and unassigned (not connected yet), 7.
  const uint32_t networkIDs[] = {4, 5, 6, 0, CPlayer::kUnassigned, 7};
  std::vector<CPlayer*> players;
  for (uint32_t id : networkIDs) {
    players.push_back(Add<CPlayer>(world, CGameObject::kNoOwner));
    players.back()->networkID = id;
    session->AddPlayerID(players.back()->GetID());
  }
  players[2]->disconnected = 1;
  session->SetLocalPlayerID(players[0]->GetID());
  EXPECT_EQ(session->GetRemoteNetworkIDs(), (std::vector<uint32_t>{5, 7}));
  uint32_t found = 0;
  EXPECT_TRUE(session->FindPlayerNetworkID(players[5]->GetID(), &found) && found == 7);
  EXPECT_FALSE(session->FindPlayerNetworkID(world.GetSessionManager()->GetID(), &found));

  using Sent = RecordingLink::Sent;
  uint8_t* m = world.AllocMessage(GameMessage::kHeaderSize);
  GameMessage::SetHeader(m, GameMessage::kHeaderSize, 77, 5);
  world.SendMessage(CGameWorld::kToAllPlayers, m, true, false);
  world.SendMessage(9, m, false, true);
  world.SendMessage(CGameWorld::kToLocal, m, true, true);  // handled here: object 77 does not exist
  EXPECT_EQ(g_link->sent,
            (std::vector<Sent>{{5, 5, 77, true, false}, {7, 5, 77, true, false}, {9, 5, 77, false, true}}));

  // A new object owned by player 5 goes to that player's machine only, as a broadcast create; one
  // whose owner is no player goes nowhere; a broadcast one goes to every remote player.
  g_link->sent.clear();
  auto* controlled = new Announced(world);
  controlled->SetNetworkFlags(true, false, false, true, false, false, false);
  controlled->SetOwnerID(players[5]->GetID());
  const uint32_t controlledID = world.RegisterNewObject(std::unique_ptr<CGameObject>(controlled));
  auto* unowned = new Announced(world);
  unowned->SetNetworkFlags(true, false, false, true, false, false, true);
  unowned->SetOwnerID(CGameObject::kNoOwner);
  world.RegisterNewObject(std::unique_ptr<CGameObject>(unowned));
  auto* broadcast = new Announced(world);
  broadcast->SetNetworkFlags(true, true, false, false, true, false, true);
  const uint32_t broadcastID = world.RegisterNewObject(std::unique_ptr<CGameObject>(broadcast));
  const uint8_t kBroadcast = GameMessage::kCreateBroadcast;
  EXPECT_EQ(g_link->sent, (std::vector<Sent>{{7, kBroadcast, controlledID, true, true},
                                             {5, kBroadcast, broadcastID, true, false},
                                             {7, kBroadcast, broadcastID, true, false}}));
  // Its removal is announced to the same players.
  g_link->sent.clear();
  broadcast->MarkForRemoval();
  controlled->MarkForRemoval();
  world.UpdateObjects(0.033f);
  EXPECT_EQ(g_link->sent, (std::vector<Sent>{{5, GameMessage::kDestroy, broadcastID, true, true},
                                             {7, GameMessage::kDestroy, broadcastID, true, true}}));

  // A client sends everything to its server.
  world.StartClient();
  ASSERT_FALSE(g_linkIsServer);
  m = world.AllocMessage(GameMessage::kHeaderSize);
  GameMessage::SetHeader(m, GameMessage::kHeaderSize, 77, 5);
  world.SendMessage(9, m, true, true);
  EXPECT_EQ(g_link->sent, (std::vector<Sent>{{CGameWorld::kToAllPlayers, 5, 77, true, true}}));
  world.SetSinglePlayer();
  GetWorldServices() = saved;

  // The program's own links: a host for a server, a client's connection otherwise.
  WorldServices services;
  RegisterNetLinks(services);
  EXPECT_NE(nullptr, dynamic_cast<NetHost*>(services.createNetLink(true, nullptr).get()));
  EXPECT_NE(nullptr, dynamic_cast<NetClient*>(services.createNetLink(false, nullptr).get()));
  NetHost host;
  host.TotalTcpBytesSent = 1, host.TotalTcpBytesReceived = 2, host.TotalUdpBytesSent = 3,
  host.TotalUdpBytesReceived = 4;
  NetClient client;
  client.TcpBytesSent = 1, client.TcpBytesReceived = 2, client.UdpBytesSent = 3, client.UdpBytesReceived = 4;
  for (const CNetLink::Traffic& t : {host.GetTraffic(), client.GetTraffic()})
    EXPECT_TRUE(t.tcpSent == 1 && t.tcpReceived == 2 && t.udpSent == 3 && t.udpReceived == 4);
}

}  // namespace
