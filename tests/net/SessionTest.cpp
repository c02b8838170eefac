// The session objects and the owner chains of game objects that refer to them.
#include <gtest/gtest.h>

#include <memory>

#include "core/GameObject.h"
#include "core/GameWorld.h"
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

  player->SetCurrentAvatar(vehicle->GetID());
  EXPECT_TRUE(vehicle->IsControlledByLocalPlayer());
  EXPECT_FALSE(turret->IsControlledByLocalPlayer());
  EXPECT_EQ(player->GetCurrentAvatar(), vehicle);
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

}  // namespace
