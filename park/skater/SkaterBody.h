// CSkaterBody: the physical skater - drive, sweep, steering along the route, jumps, grinds, contact
// response, the player's control and the board placed on the ground under both wheels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Vector3.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterMotion.h"

class CSkatePathNode;

class CSkaterBody : public CSkaterMotion {
 public:
  // One grindable edge of the world's collision faces.
  struct GrindEdge {
    Vector3 a;
    Vector3 b;
  };
  // A collision triangle as the grind search sees it: corners and face normal.
  struct GrindTriangle {
    Vector3 corner[3];
    Vector3 normal;
  };
  // One mode's eight entries of the motion parameter block (walking, skating, grinding, crashed).
  struct ModeBlock {
    float acceleration, drag, maxSpeed, minRouteSpeed, turnAcceleration, maxTurnRate, rollingFriction, sideFriction;
  };
  // Input action codes the player's skater reads.
  enum Action : int {
    kActionUp = 62,
    kActionDown = 63,
    kActionLeft = 64,
    kActionRight = 65,
    kActionJump = 66,
    kActionGrind = 67,
    kActionBoard = 68,
    kActionAirLeft = 69,
    kActionAirRight = 70
  };
  // The pressed-key list grows only while airborne; the longest trick sequence has five keys, so
  // anything far beyond is a stuck key and must not grow memory without end.
  static constexpr size_t kMaxPressedKeys = 16;
  // Seconds a crash lasts once the body has settled.
  static constexpr float kCrashRecoverTime = 2.0f;
  // Upward speed given when a grind ends.
  static constexpr float kGrindExitHop = 2.0f;
  // The most a push-out may add in one contact: a skater wedged for many steps must not be shot away.
  static constexpr float kMaxPushOut = 2.0f;
  // On the last route pair the throttle never drops below this, so the arrival radius is reached.
  static constexpr float kFinalThrottleFloor = 0.25f;
  // Park debug flags the body draws with.
  static constexpr int kCollisionDebugFlag = 5;
  static constexpr int kRouteDebugFlag = 6;

  explicit CSkaterBody(CSkater& skater);

  // --- CSkaterMotion ---
  void RouteStep(float dt) override;
  void CrashStep(float dt) override;
  void InjuredStep(float dt) override;
  void OrientStep(float dt) override;
  void PlayerStep(float dt) override;
  void PlaceBody() override;
  Vector3 RoutePoint(size_t i) const override;
  void SteerToward(const Vector3& point) override;
  void JumpTo(const Vector3& point) override;
  void TakeOff(float landingHeight) override { TakeOffTime(landingHeight); }
  void PlaceOnGroundAt(const Vector3& point) override;
  bool HasGroundContact() const override;
  bool IsFreshLanding() const override;
  Vector3 GetGroundNormal() const override { return m_contactNormal; }
  void SaveTickState(std::vector<uint8_t>& out) const override;
  bool LoadTickState(CByteCursor& in) override;
  bool BuildSweepQuery(float dt, SweepQuery& out) override;
  void CommitMove() override { m_moved = true; }
  void IncrementStepCounter() override { ++m_contactSteps; }
  bool RespondToContact(uint32_t kind) override;
  bool HandleSkaterCollision(CSkater& other) override;
  bool Render(CSceneDrawInterface* view) override;
  void HandleInputEvent(const InputEvent& event) override;

  // --- The steps, as the updates combine them ---
  void FollowRoute(float dt);
  void DriveStep(float dt);
  void MoveStep(float dt);
  void ReadControlAxes();
  void PlayerGrindStep(float dt);
  void ExitGrind();
  // Starts a flight that lands at the height; returns the flight time (0 when the block has no gravity).
  float TakeOffTime(float landingHeight);

  // --- Grind edges ---
  // Every qualifying edge of the triangles (all pairs sharing an edge at a grindable angle, not
  // steep, shared by no third triangle). Pairs are found through a hash of rounded vertices, so the
  // cost grows with the triangle count, not its square.
  static void QualifyingEdges(const std::vector<GrindTriangle>& triangles, std::vector<GrindEdge>& out);
  // The collision faces of the world near the centre and their qualifying edges.
  void FindGrindEdges(const Vector3& centre, float radius, std::vector<GrindEdge>& out) const;

  ModeBlock Block(uint32_t mode) const;
  bool IsGrinding() const;
  bool IsWalking() const;
  float ApproxSpeed() const;
  float GetAirProgress() const { return m_airProgress; }
  bool GetTrickFlag() const { return m_skater.body.trickFlag; }
  // Set for a jump that carries a trick (the route's air tricks, the player's vert jumps).
  void SetTrickFlag(bool on) { m_skater.body.trickFlag = on; }
  bool GetCrouchFlag() const { return m_skater.body.crouchKey; }
  bool GetGrindKey() const { return m_grindKey; }
  const std::vector<uint32_t>& GetPressedKeys() const { return m_skater.body.typedKeys; }
  const std::vector<Vector3>& GetGrindPoints() const { return m_grindPoints; }
  uint32_t GetContactSteps() const { return m_contactSteps; }
  bool HasContact() const { return m_hasContact; }
  const Vector3& GetContactNormal() const { return m_contactNormal; }
  uint32_t GetUnderfootObject() const { return m_skater.body.underfootObject; }
  // Board pitch placed by the last PlaceBody, in radians about the side axis.
  float GetBoardPitch() const { return m_boardPitch; }
  const Vector3& GetBoardPoint() const { return m_boardPoint; }

 private:
  bool IsFollowingRoute() const;
  bool IsPlayer() const;
  double Now() const;
  const CSkatePathNode* RouteNode(size_t i) const;
  uint32_t LinkKind(size_t i) const;
  bool HasLink(size_t i) const;
  float SegmentProgress() const;
  bool DropAhead() const;
  float RouteThrottle(float throttle) const;
  // In flight along an air link: the body turns from its take-off frame to the landing node's.
  void OrientOnAirLink();
  void Steer(float dt);
  void Arrive();
  // Touch-down after a flight: the mind judges the landing from the impact and the board's angles.
  void Land(const Vector3& velocityBefore);
  void UpdateContactClock(float dt, bool contactNow);
  void OrientInAir();
  void AlignToGround(float dt);
  void TurnRoundOnSlope();
  // Runs the crash timer; true once the skater has lain still long enough.
  bool CrashSettling(float dt);
  void ApplyFriction(float dt);
  void RespondToStatic();
  // The bounce off a body (a skater too) along the contact normal.
  void RespondToObject(const Vector3& normal);
  Vector3 PlayerAirGroundNormal() const;
  void CollectGrindCandidates(const Vector3& centre, float radius, std::vector<GrindEdge>& out) const;
  void EngageGrind();
  // Button 1 in the air starts a further trick unless one is under way.
  void StartAirTrick();
  void ExtendGrind();
  void SetGrindRoute(const Vector3& first, const Vector3& second);
  void AppendGrindPoint(const Vector3& p);
  void Jump();
  bool IsVertJump() const;
  void ToggleBoard();
  void PlayIfNotPlaying(int entry);
  void DrawDebug(CSceneDrawInterface& view) const;
  Vector3 GroundUnder(const Vector3& local) const;

  CSkater& m_skater;
  // Contact record of the last move (the collision base's contact state and normal).
  bool m_hasContact = false;
  Vector3 m_contactNormal{0.0f, 0.0f, 1.0f};
  bool m_moved = false;
  // This tick's move was stopped by a skater standing on the current route point, which can then
  // never be reached, or by one met in the last few pairs of the route, whose end the two would
  // otherwise both press for: the skater passes the point on as reached.
  bool m_passPointOn = false;
  uint32_t m_contactSteps = 0;
  float m_airProgress = 0.0f;
  float m_tickDt = 0.0f;  // the tick the contact responses' friction acts over
  float m_grindEntrySpeed = 0.0f;
  // Player keys.
  double m_crouchTime = 0.0;
  bool m_grindKey = false;
  bool m_thirdKey = false;
  // Points of an ad-hoc grind; while set they stand in for the route's nodes.
  std::vector<Vector3> m_grindPoints;
  float m_boardPitch = 0.0f;
  Vector3 m_boardPoint{0.0f, 0.0f, 0.0f};
};

// Makes every new skater's motion a CSkaterBody and its animation a CSkaterAnimator.
void RegisterSkaterBody();
