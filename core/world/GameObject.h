// CGameObject: base of every game object and layer: world ID, owner ID, flags and the virtual operations the world calls.
#pragma once

#include <cstdint>

#include "core/input/InputEvent.h"

class CPlayer;
class CTeam;

class CGameObject {
 public:
  // Flag bits.
  static constexpr uint32_t kNetworked = 0x00001;         // filed in the world's object map under an ID
  static constexpr uint32_t kBroadcastCreate = 0x00002;   // a server tells every player about the object
  static constexpr uint32_t kCreateToController = 0x00004;
  static constexpr uint32_t kBit8 = 0x00008;
  static constexpr uint32_t kClientAnnounce = 0x00010;
  static constexpr uint32_t kBroadcastDestroy = 0x00020;
  static constexpr uint32_t kNotCritical = 0x00100;
  static constexpr uint32_t kLocalUpdate = 0x00200;       // a non-networked object that is still updated
  static constexpr uint32_t kRemove = 0x10000;            // deleted at the next update pass

  static constexpr uint32_t kNoOwner = 0xFFFFFFFFu;
  static constexpr uint32_t kNoPlayer = 0xFFFFFFFFu;

  CGameObject() = default;
  CGameObject(const CGameObject&) = delete;
  CGameObject& operator=(const CGameObject&) = delete;
  virtual ~CGameObject();

  // Virtual operations, in the order every subclass expects.
  virtual void Init(bool created);
  // message: a GameMessage byte record of at least its own size field.
  virtual bool ReceiveMessage(uint32_t senderID, const uint8_t* message);
  virtual uint8_t* BuildCreateMessage(bool full);
  virtual float GetDistanceWeight(const CGameObject* viewer) const;
  virtual void Update(float dt);
  virtual void HandleInputEvent(const InputEvent& event);
  virtual const char* GetInfoString() const;
  // The object as a player or a team of the session (whose classes live above the engine core), or
  // null; owner-chain walks use these instead of casts.
  virtual CPlayer* AsPlayer() { return nullptr; }
  virtual CTeam* AsTeam() { return nullptr; }

  uint32_t GetID() const { return m_id; }
  void SetID(uint32_t id) { m_id = id; }
  uint32_t GetOwnerID() const { return m_ownerID; }
  void SetOwnerID(uint32_t id) { m_ownerID = id; }
  uint32_t GetFlags() const { return m_flags; }
  void SetFlags(uint32_t flags) { m_flags = flags; }
  void AddFlags(uint32_t bits) { m_flags |= bits; }
  void ClearFlags(uint32_t bits) { m_flags &= ~bits; }
  bool HasFlags(uint32_t bits) const { return (m_flags & bits) == bits; }
  void MarkForRemoval() { m_flags |= kRemove; }
  bool IsMarkedForRemoval() const { return (m_flags & kRemove) != 0; }

  // Networked sets both kNetworked and kLocalUpdate; otherwise kLocalUpdate follows localUpdate.
  void SetNetworkFlags(bool networked, bool broadcastCreate, bool bit8, bool createToController,
                       bool broadcastDestroy, bool localUpdate, bool notCritical);

  // Owner chain, looked up through the world one owner ID at a time.
  CPlayer* GetOwnerPlayer() const;
  CTeam* GetOwnerTeam() const;
  uint32_t FindOwnerPlayerID() const;
  uint32_t GetControllingPlayerID() const;
  void RemoveControl();
  bool IsControlledByLocalPlayer() const;

 protected:
  uint32_t m_id = 0;
  uint32_t m_ownerID = kNoOwner;
  uint32_t m_word = 0;  // reserved for subclasses; the engine core does not read it
  uint32_t m_flags = 0;
};
