// CBody: a combat object that is a rigid body - set up from a body model and stepped through the world each tick.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/world/GameObject.h"
#include "physics/rigid/RigidCollisionBody.h"

class RigidConst;

class CBody : public CGameObject, public CRigidCollisionBody {
 public:
  CBody();
  const char* GetInfoString() const override { return "<Body>"; }

  // Takes the shared model (immovable when null) at the placement frame, at rest.
  void Setup(const RigidConst* model, const COrientation& placement);
  // One tick: forces and velocities (skipped while anchored), then the swept move through
  // the octree the body is filed in. An unfiled body moves freely.
  virtual void StepPhysics(float dt);
  void Update(float dt) override { StepPhysics(dt); }

  // Sets the body up from a model the world's resource table holds, at the placement; false (logged)
  // when the table has no such model or the body cannot be made of it.
  bool SetupFromTable(const std::string& model, const COrientation& placement);
  // A create message carries the model's resource name and the placement (BodyCreation); the body
  // sets itself up from the world's resource table and refuses a model it cannot be made of.
  bool ReceiveMessage(uint32_t senderID, const uint8_t* message) override;
  // Null for a class without a factory code: nothing could make it from the message.
  uint8_t* BuildCreateMessage(bool full) override;

  // The impact reports of the rigid-body response (kind 3) are counted here; everything else is
  // the rigid body's contact response.
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override;
  uint32_t GetImpactCount() const { return m_impacts; }
  float GetHardestImpact() const { return m_hardestImpact; }
  // The sum of every impact's impulse so far.
  double GetImpulseTotal() const { return m_impulseTotal; }
  // The impacts so far between this body and the body of one other game object, on either side.
  struct Contacts {
    uint32_t count = 0;
    double impulse = 0.0;
  };
  Contacts GetContactsWith(uint32_t otherId) const;

  const std::string& GetModelName() const { return m_modelName; }

 protected:
  // The factory's type code the body's create messages carry. A plain body (a crate) has none: the
  // factory makes only the combat classes, and a plain body's owner makes it directly.
  virtual uint8_t GetTypeCode() const { return kNoTypeCode; }
  static constexpr uint8_t kNoTypeCode = 0;
  // Sets the body up from a loaded resource of the table's type code; false when the body cannot
  // be made of that kind of resource. A plain body is made of a rigid-body model.
  virtual bool SetupFromResource(void* resource, uint16_t type, const COrientation& placement);

  // For a body made through the world at a place it does not fit (placed false): it goes at the
  // next update, with a line naming it.
  void TakeAwayUnlessPlaced(bool placed, const char* className, const char* noun);
  // Per second: the limit the drag works to, the world's tick rate when it has one.
  static float InverseTick(float dt);
  // False when the move ran out of contacts before it used its time.
  bool SweepThroughWorld(float dt);

 private:
  std::string m_modelName;
  uint32_t m_impacts = 0;
  float m_hardestImpact = 0.0f;
  double m_impulseTotal = 0.0;
  std::unordered_map<uint32_t, Contacts> m_contacts;  // by the other object's ID
};
