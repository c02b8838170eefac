// Messages: delivery in single-player mode, destroy and create through the factory, nesting.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/world/GameMessage.h"
#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

// Records the messages it receives, byte for byte.
class Receiver : public CGameObject {
 public:
  Receiver() { SetFlags(kNetworked); }
  bool ReceiveMessage(uint32_t, const uint8_t* message) override {
    received.emplace_back(message, message + GameMessage::Size(message));
    if (onReceive) onReceive(message);
    return accept;
  }
  void Init(bool created) override { initArgs.push_back(created); }
  std::vector<std::vector<uint8_t>> received;
  std::vector<bool> initArgs;
  std::function<void(const uint8_t*)> onReceive;
  bool accept = true;
};

// A world whose factory hands out Receivers for code 12 and counts every request.
class TestWorld : public CGameWorld {
 public:
  TestWorld() : CGameWorld(nullptr, nullptr) {}
  std::unique_ptr<CGameObject> CreateObject(uint32_t code) override {
    requests.push_back(code);
    if (code != 12) return CGameWorld::CreateObject(code);
    auto created = std::make_unique<Receiver>();
    lastCreated = created.get();
    lastCreated->accept = acceptCreation;
    return created;
  }
  std::vector<uint32_t> requests;
  Receiver* lastCreated = nullptr;
  bool acceptCreation = true;
};

uint8_t* MakeCreate(CGameWorld& world, uint32_t size, uint32_t target, uint8_t type, uint8_t code) {
  uint8_t* m = world.AllocMessage(size);
  GameMessage::SetHeader(m, size, target, type);
  if (size >= GameMessage::kCreateHeaderSize) GameMessage::SetCreateHeader(m, size, target, type, 7, code, 0xFFFFFFFFu);
  else if (size > GameMessage::kTypeCodeOffset) m[GameMessage::kTypeCodeOffset] = code;
  return m;
}

TEST(WorldMessages, SinglePlayerDeliversAtOnceDropsUnknownTargetsAndDestroys) {
  DebugCapture log;
  CGameWorld world(nullptr, nullptr);
  Receiver* r = new Receiver();
  const uint32_t id = world.RegisterNewObject(std::unique_ptr<CGameObject>(r));
  uint8_t* m = world.AllocMessage(13);
  GameMessage::SetHeader(m, 13, id, 5);
  GameMessage::WriteU32(m, 9, 0xDEADBEEF);
  world.SendMessage(0x1234, m, true, true);  // any destination: single player delivers locally
  ASSERT_EQ(r->received.size(), 1u);
  EXPECT_EQ(GameMessage::ReadU32(r->received[0].data(), 9), 0xDEADBEEFu);

  m = world.AllocMessage(9);
  GameMessage::SetHeader(m, 9, 999, 5);
  world.SendMessage(0, m, true, true);
  EXPECT_EQ(world.GetObjectCount(), 2u);

  // A message whose size field is below the header is refused without being read.
  m = world.AllocMessage(9);
  GameMessage::SetHeader(m, 4, id, 5);
  world.SendMessage(0, m, true, true);
  EXPECT_EQ(r->received.size(), 1u);
  world.SendMessage(0, nullptr, true, true);

  // Destroy marks the object; the next pass deletes it.
  m = world.AllocMessage(9);
  GameMessage::SetHeader(m, 9, id, GameMessage::kDestroy);
  world.SendMessage(0, m, true, true);
  EXPECT_TRUE(r->IsMarkedForRemoval());
  world.SendMessage(0, m, true, true);  // marking twice changes nothing
  world.UpdateObjects(0.1f);
  EXPECT_EQ(world.GetObjectByID(id), nullptr);
}

TEST(WorldMessages, CreateMessagesBuildObjectsThroughTheFactory) {
  DebugCapture quiet;
  TestWorld world;
  world.requests.clear();
  // Type 3 for an unknown ID with code 12: the new object reads the message, gets a fresh ID, Init(false).
  uint8_t* m = MakeCreate(world, 22, 500, GameMessage::kCreate, 12);
  GameMessage::WriteU32(m, 18, 77);
  world.HandleMessage(0, m);
  ASSERT_EQ(world.requests, std::vector<uint32_t>{12});
  Receiver* created = world.lastCreated;
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(world.GetObjectByID(2), created);
  ASSERT_EQ(created->received.size(), 1u);
  EXPECT_EQ(GameMessage::ReadU32(created->received[0].data(), 18), 77u);
  EXPECT_EQ(created->initArgs, std::vector<bool>{false});

  // Type 2 runs Init(true); a refusing object leaves no trace.
  m = MakeCreate(world, 18, 600, GameMessage::kCreateBroadcast, 12);
  world.HandleMessage(0, m);
  EXPECT_EQ(world.lastCreated->initArgs, std::vector<bool>{true});
  world.acceptCreation = false;
  const size_t before = world.GetObjectCount();
  m = MakeCreate(world, 18, 700, GameMessage::kCreate, 12);
  world.HandleMessage(0, m);
  EXPECT_EQ(world.GetObjectCount(), before);

  // A create message for an ID that exists goes to that object instead.
  m = MakeCreate(world, 18, 2, GameMessage::kCreate, 12);
  world.requests.clear();
  world.HandleMessage(0, m);
  EXPECT_TRUE(world.requests.empty());
  EXPECT_EQ(created->received.size(), 2u);
}

TEST(WorldMessages, TruncatedCreateMessagesAreDroppedBeforeTheirFieldsAreRead) {
  DebugCapture log;
  TestWorld world;
  world.requests.clear();
  for (uint32_t size = GameMessage::kHeaderSize; size < GameMessage::kCreateHeaderSize; ++size) {
    std::vector<uint8_t> bytes(size, 0);  // exactly size bytes on the heap: an over-read is caught
    GameMessage::SetHeader(bytes.data(), size, 900, GameMessage::kCreate);
    if (size > GameMessage::kTypeCodeOffset) bytes[GameMessage::kTypeCodeOffset] = 12;
    world.HandleMessage(0, bytes.data());
  }
  EXPECT_TRUE(world.requests.empty());
  EXPECT_NE(log.Text().find("shorter than its fields"), std::string::npos);
  EXPECT_EQ(world.GetObjectCount(), 1u);
}

TEST(WorldMessages, NestedSendsKeepTheOuterMessageIntact) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  // Each receiver, while handling its message, sends bigger ones on, then checks its own is unchanged.
  constexpr int kChain = 6;
  std::vector<Receiver*> chain;
  std::vector<uint32_t> ids;
  for (int i = 0; i < kChain; ++i) {
    chain.push_back(new Receiver());
    ids.push_back(world.RegisterNewObject(std::unique_ptr<CGameObject>(chain.back())));
  }
  int intact = 0;
  for (int i = 0; i < kChain; ++i) {
    chain[i]->onReceive = [&, i](const uint8_t* message) {
      const uint32_t size = GameMessage::Size(message);
      std::vector<uint8_t> before(message, message + size);
      if (i + 1 < kChain) {
        // Two sends from the same handler: each is valid while its own handler runs.
        for (int k = 0; k < 2; ++k) {
          const uint32_t next = size * 2 + static_cast<uint32_t>(k);
          uint8_t* m = world.AllocMessage(next);
          GameMessage::SetHeader(m, next, ids[i + 1], 40);
          std::memset(m + 9, 0x10 + i, next - 9);
          world.SendMessage(0, m, true, true);
        }
      }
      if (std::memcmp(before.data(), message, size) == 0) ++intact;
    };
  }
  uint8_t* first = world.AllocMessage(16);
  GameMessage::SetHeader(first, 16, ids[0], 40);
  std::memset(first + 9, 0x55, 7);
  world.SendMessage(0, first, true, true);
  // 1 + 2 + 4 + ... receptions along the chain; every one saw its message unchanged.
  EXPECT_EQ(intact, (1 << kChain) - 1);
  for (int i = 1; i < kChain; ++i) {
    ASSERT_EQ(chain[i]->received.size(), size_t{1} << i);
    for (const auto& bytes : chain[i]->received)
      for (size_t b = 9; b < bytes.size(); ++b) { ASSERT_EQ(bytes[b], 0x10 + i - 1); }
  }
}

}  // namespace
