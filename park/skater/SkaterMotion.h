// CSkaterMotion: the body of a skater in motion - the steps that roll, steer, jump, crash and place
// it - as the skater and its mind call them. The skater owns one; see CSkater::SetBodyFactory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/input/InputEvent.h"
#include "core/math/Box.h"
#include "core/math/Vector3.h"
#include "physics/collision/SweepQuery.h"

class CByteCursor;
class CSceneDrawInterface;
class CSkater;

class CSkaterMotion {
 public:
  virtual ~CSkaterMotion() = default;

  // --- Per-tick steps, in the orders the skater's update calls them ---
  // An AI skater on its route (states 1 and 2): throttle, drive, move, orient.
  virtual void RouteStep(float dt) = 0;
  // States 5 and 6: crash or injured step, then the moves that apply.
  virtual void CrashStep(float dt) = 0;
  virtual void InjuredStep(float dt) = 0;
  // The body turns and settles only (in line, at a facility, resting).
  virtual void OrientStep(float dt) = 0;
  // The player's skater: control axes, grinds, drive, move, orient.
  virtual void PlayerStep(float dt) = 0;
  // Puts the body between its contact points after the animation has run.
  virtual void PlaceBody() = 0;

  // --- Services for the mind and route steps ---
  // Where the skater aims for route pair i (offset at drops and take-offs).
  virtual Vector3 RoutePoint(size_t i) const = 0;
  virtual void SteerToward(const Vector3& point) = 0;
  // Jumps with the current vertical speed toward the point / for the landing height.
  virtual void JumpTo(const Vector3& point) = 0;
  virtual void TakeOff(float landingHeight) = 0;
  // Drops the skater onto the ground below the point (the stuck rescue), upright.
  virtual void PlaceOnGroundAt(const Vector3& point) = 0;
  virtual bool HasGroundContact() const = 0;
  virtual bool IsFreshLanding() const = 0;

  // --- The skater's collision slots; false leaves the sphere's own handling ---
  virtual bool BuildSweepQuery(float dt, SweepQuery& out) { return false; }
  // A sweep's move was committed / a move ended on its last allowed contact.
  virtual void CommitMove() {}
  virtual void IncrementStepCounter() {}
  // Contact of kind 1 (static world) or 2 (bodies); the normal is the skater's contact normal.
  virtual bool RespondToContact(uint32_t kind) { return false; }
  virtual bool HandleSkaterCollision(CSkater& other) { return false; }
  virtual bool Render(CSceneDrawInterface* view) { return false; }
  virtual void HandleInputEvent(const InputEvent& event) {}
  // The normal of the ground last ridden (straight up until there is one); walking up stairs
  // shows by a steep one.
  virtual Vector3 GetGroundNormal() const { return Vector3(0.0f, 0.0f, 1.0f); }

  // --- What the body carries from tick to tick beyond the skater's record ---
  // A saved game keeps it so that a loaded park moves on exactly as the running one would. The
  // reader takes what its own writer wrote and answers false for anything cut short.
  virtual void SaveTickState(std::vector<uint8_t>& out) const {}
  virtual bool LoadTickState(CByteCursor& in) { return true; }
};
