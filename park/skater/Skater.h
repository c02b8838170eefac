// CSkater: a visitor of the park - its needs, money and abilities, its mind's state machine, its
// route over the path graph, the saved record, and the global skater list. Motion and animation
// are collaborators behind CSkaterMotion and CSkaterAnimation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/services/AttachObjectCarrier.h"
#include "core/world/GameObject.h"
#include "core/math/Orientation.h"
#include "core/math/Quaternion.h"
#include "park/grid/DirectedGraph.h"
#include "park/grid/NodeReserver.h"
#include "park/grid/PathEdgeInfo.h"
#include "park/grid/PathSkills.h"
#include "park/skater/SkaterMotion.h"
#include "park/skater/SkaterParams.h"
#include "park/skater/SkaterTally.h"
#include "park/skater/ThoughtHistory.h"
#include "park/skater/TrickHistory.h"
#include "physics/collision/CollisionInfo.h"
#include "physics/collision/SphereCollisionObject.h"
#include "scene/camera/CameraSubject.h"

class CByteCursor;
class CSkatePathNode;
class CSkaterAnimation;
class CSkaterMotion;
class CGrid;
class CGridSquare;
class CVerezIvor;
class ShadedMesh;

class CSkater : public CSphereCollisionObject,
                public CGameObject,
                public CNodeReserver,
                public CAttachObjectCarrier,
                public CCameraSubject {
 public:
  static constexpr uint32_t kTypeCode = 42;
  static constexpr int kNameSize = 30;
  static constexpr uint32_t kRecordVersion = 7;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  static constexpr int kCategories = 8;
  static constexpr uint32_t kSkaterCollisionKind = 4;
  // Teleports in a row (without real progress between) after which a stuck skater is taken out.
  static constexpr int kMaxRescues = 3;
  // The highest step up to a path node that a skater takes from where it stands.
  static constexpr float kStepHeight = 0.3f;

  enum State : uint32_t {
    kDeciding = 0, kSkating, kHeadingToGoal, kInLine, kUsingFacility, kCrashing, kInjured, kResting
  };
  enum Goal : uint32_t {
    kGoalNone = 0, kGoalSkate, kGoalFood, kGoalRest, kGoalRestroom, kGoalShirt, kGoalBoard, kGoalDrink,
    kGoalDoctor, kGoalLeave
  };
  enum MotionMode : uint32_t { kWalking = 0, kRolling = 1, kGrinding = 2, kCrashed = 3 };

  // One step of a route: the node by id, and the link that leads to it (none for a start).
  struct RouteStep {
    uint32_t nodeId = kNone;
    bool hasLink = false;
    PathEdgeInfo edge{0.0f, kLinkSkate, 0};
    uint32_t linkNumber = 0;
  };

  // --- Field groups ---
  struct Ability {
    float trickSkill[kCategories] = {};
    float trickCountA[kCategories] = {};  // practised
    float trickCountB[kCategories] = {};  // landed
    float totalA = 0.0f;
    float totalB = 0.0f;
    float skill = 0.0f;
    float shoppingFactor = 0.0f;
  };
  struct Needs {
    float tiredness = 0.0f, hunger = 0.0f, thirst = 0.0f, bladder = 0.0f, injury = 0.0f;
    float mood = 0.0f;  // boredom, 1 bored
    float money = 100.0f;
  };
  struct Times {
    double timeInPark = 0.0;         // simulated seconds
    double timeSinceShopping = 0.0;  // simulated seconds
    float stateTime = 0.0f;
    float decisionTime = 0.0f;
    float decisionTimer = 0.0f;      // the skating decision's one-second wait
  };
  struct Mind {
    uint32_t state = kDeciding;
    uint32_t subState = 0;
    uint32_t goal = kGoalNone;
    uint32_t targetNodeId = kNone;
    uint32_t reservedNodeId = kNone;
    bool evicted = false;
    bool needWalk = false;
  };
  struct Route {
    std::vector<RouteStep> steps;
    int32_t index = -1;
    uint32_t mode = 0;  // 1 while followed
    uint32_t grindSteps = 0;
  };
  // What the motion keeps between ticks and the saved record carries.
  struct Body {
    uint32_t motionMode = kRolling;
    float steerInput = 0.0f, forwardInput = 0.0f, turnRate = 0.0f, lean = 0.0f;
    int32_t animIndex = -1;
    float animSpeed = 1.0f;
    float spinAngle = 0.0f;
    float timeWithoutContact = 10.0f, timeOnGround = 0.0f, takeOffTime = 0.0f, airTime = 0.0f;
    uint32_t landingTakeOffWord = 0;
    Quaternion takeOffRotation;
    float crashTimer = 100000.0f;
    uint8_t moved = 0;
    uint32_t contactBlock[9] = {};
    Vector3 targetPoint{0.0f, 0.0f, 0.0f};
    Vector3 frontContact{0.0f, 0.0f, 0.0f}, backContact{0.0f, 0.0f, 0.0f};
    Vector3 crashFrontContact{0.0f, 0.0f, 0.0f}, crashBackContact{0.0f, 0.0f, 0.0f};
    float restTurnTimer = 0.0f;
    float landingError = 0.0f;
    uint32_t currentTrick = CTrickHistory::kNoTrick;
    std::vector<uint32_t> typedKeys;   // the player's trick keys, oldest first
    uint32_t carried[2] = {};
    // Set while a chosen trick is under way; the landing clears it.
    bool trickFlag = false;
    bool crouchKey = false;  // the player's crouch key is held
    uint32_t underfootObject = kNone;  // the piece last stood on; its material picks surface sounds
    float lastPushTime = 0.0f;         // world time of the last push
  };
  struct Appearance {
    uint8_t head = 0, body = 0, board = 0;
  };
  // The stuck watch: where the skater last made progress and how long ago.
  struct StuckWatch {
    Vector3 position{0.0f, 0.0f, 0.0f};
    float timer = 0.0f;
    int rescues = 0;
  };

  // What a landing is measured by (radians): the body's tilt against the ground, and the angle
  // between the travel direction and the board.
  struct LandingAngles {
    float body = 0.0f;
    float travel = 0.0f;
  };
  // Where the boarder mesh comes from; by default the world's resource table.
  using BodyMeshSource = ShadedMesh* (*)();
  static void SetBodyMeshSource(BodyMeshSource source);
  static constexpr const char* kBodyMeshName = "data/people/boarder/boarder.mesh";

  // Makers of the collaborators; stand-ins until a body registers its own.
  using MotionMaker = std::unique_ptr<CSkaterMotion> (*)(CSkater& skater);
  using AnimationMaker = std::unique_ptr<CSkaterAnimation> (*)(CSkater& skater);
  static void SetBodyFactory(MotionMaker motion, AnimationMaker animation);

  // Draws the abilities and starting needs from the game's generator, in a fixed order.
  CSkater();
  // A skater about to be read from a saved record: nothing is drawn, so loading a park leaves the
  // game's generator where the running park had it.
  struct ForLoading {};
  explicit CSkater(ForLoading);
  ~CSkater() override;

  // --- Game object ---
  void Init(bool created) override;
  void Update(float dt) override;
  const char* GetInfoString() const override { return "<Skater>"; }

  // --- Followed by the chase camera ---
  uint32_t GetCameraSubjectKind() const override { return kSkater; }
  const COrientation& GetCameraSubjectFrame() override { return GetFrame(); }
  bool IsDoingTrick() const override;
  Vector3 GetCameraSubjectVelocity() const override { return GetVelocity(); }
  float GetCollisionRadius() const override { return GetRadius(); }
  // The camera fades the body out while it would sit inside it.
  void SetCameraAlpha(float alpha) override;

  // --- Set-up ---
  // Places the body at the frame; a block replaces the motion parameters when given.
  void LoadBody(const COrientation& frame, const SkaterParams* params = nullptr);
  void PickAppearance(bool randomise);
  void SetName(const char* name);
  const char* GetName() const { return m_name; }
  const COrientation& GetFrame() const { return GetOrientation(); }
  // Moves the body without a sweep (set-up, rescues, the stand-in motion).
  void SetCentre(const Vector3& p) { m_orientation.position = p; }
  void SetFrame(const COrientation& frame) { m_orientation = frame; }
  float GetHeightOffset() const { return m_params[SkaterParams::kRadius]; }
  const SkaterParams& GetParams() const { return m_params; }

  // --- Mind ---
  void SetState(uint32_t state, uint32_t subState);
  bool IsPlayerControlled() const;
  void ResetForControl();
  void ThinkTick(float dt);
  // Needs drift and the admission share, in simulated seconds.
  void DriftNeeds(float simDt);
  // Takes the skater out of the park (counted once, with the reason it left).
  void Remove(Departure why);
  // The decision of state 0; the mind's rules live in SkaterDecisions.cpp.
  void DecideWhatToDo();
  // Called when the skater reaches its current route point.
  void AdvanceRoute();
  // State 4: service time, payment, the need cleared, rest.
  void UseFacilityStep(float dt);
  float GetHappiness() const;
  // Copies the pop-up's status line for the state and goal, cut to size.
  void GetStatusText(char* out, size_t size) const;
  // Facility search result codes: 0 reserved and routed, 1 none connected, 2 all reserved, 3 all
  // too expensive, 5 no start, nothing near enough or no path.
  int FindFacility(uint32_t kind, float maxDistance);
  bool ExtendToServicePoint();
  bool FindRestPlace();
  bool PlanRouteToExit();
  bool ChooseSkatingRoute();
  void Evict();
  // Sends the skater to the exit (or out at once without a way there), thinking the thought.
  void Leave(int thought, bool needWalk);
  float GetAverageSkill() const;
  float GetSkill() const { return GetAverageSkill(); }
  PathSkills GetPathSkills() const;

  // --- Route steps and tricks ---
  // Picks, records and practises a trick of the category; -1 when none qualifies (nothing is
  // recorded and nothing should play).
  int ChooseTrick(uint32_t category);
  void PracticeTrick(uint32_t category);
  void CountLanded(uint32_t category);
  // Consecutive route pairs from the current one whose link has the type.
  size_t CountLinksAhead(uint32_t type) const;
  bool IsDropAhead() const;
  void StartGrind();
  // First place in text where word occurs, letters compared case-blind; null when none.
  static const char* FindSubstringNoCase(const char* text, const char* word);
  // Appends a stroll to a free open square on a ring around the route's end; false when none.
  bool AddWanderLeg();
  // True when the skater stands beside the box (within its radius and 1.0, at any height) or the
  // route still ahead of it crosses the box, or runs through a node that has gone away.
  bool IsInBoxOrRoute(const Box& box) const;

  // --- Crashes and landings ---
  void Crash(float severity);
  void CheckLanding(float impactSpeed, const LandingAngles& angles);
  // An air trick touches down: closes the open tricks (off balance at a landing error of 0.3 or
  // more) and resets the spin. Returns the sequence's bonus value (0 when nothing was open); the
  // animator, which also picks the sounds, pays it to the player through the controller.
  float FinishAirTrick();
  // Catalog type of the piece under the board: 12 the level terrain, kNone off any piece.
  uint32_t GetUnderfootPieceType() const;

  // --- Reservations (nodes by id; a node that goes away calls ReleaseReservedNode) ---
  bool ReserveNode(CSkatePathNode* node);
  // A skater in line takes the place ahead when it is free - or when the one holding it waits in
  // the same line behind this skater (it claimed the counter before joining the line), which
  // would otherwise leave both waiting for each other for ever.
  bool TakeQueuePlaceAhead(CSkatePathNode* ahead);
  void ReleaseReservedNode();
  void ReleaseReservedNode(uint32_t nodeId) override;

  // --- Route ---
  // Replaces the route with a path found by the search (goal first, as the search gives it).
  void SetRouteFromPath(const GraphPath& goalFirst, CSkatePathNode* startIfEmpty);
  // One route pair for a step of the graph (the node and the link that leads to it).
  static RouteStep MakeStep(const GraphStep& step);
  // Appends a path found by the search in travel order, less its first pair (where it starts).
  static void AppendPath(const GraphPath& goalFirst, std::vector<RouteStep>& steps);
  const RouteStep* GetCurrentStep() const;
  CSkatePathNode* GetRouteNode(size_t i) const;
  bool IsFollowingRoute() const { return route.mode == 1; }
  // Route mode 1, index 0, steering at route point 0.
  void AimAtFirstRoutePoint();
  // Replans when the route names a node that no longer exists; true when it did.
  bool CheckRouteNodes();

  // --- Saved record ---
  void Save(std::vector<uint8_t>& out) const;
  // Reads one record into this skater, made by the constructor. False (logged) for a cut-short
  // record, a version above kRecordVersion or broken histories; *consumed gets the bytes read.
  bool Load(const uint8_t* data, size_t size, size_t* consumed, uint32_t* savedId);
  // Load in two halves, for a reader that checks a whole file before the park it names exists:
  // ReadRecord takes the record alone (no reservation; link steps keep the default edge), and
  // ResolveRecord then finds in the park the reservation and the edges of the route's link steps.
  // A link step whose number linkByNumber knows takes that edge without a look at the graph.
  bool ReadRecord(const uint8_t* data, size_t size, size_t* consumed, uint32_t* savedId);
  void ResolveRecord(uint32_t savedId,
                     const std::function<const PathEdgeInfo*(uint32_t linkNumber)>& linkByNumber = nullptr);
  // What the skater, its body and its animation carry from tick to tick beyond the record, for
  // the saved game's tick-state block: with it a loaded park goes on exactly as it would have.
  void SaveTickState(std::vector<uint8_t>& out) const;
  // False for a block cut short, another skater's (savedId differs) or a part its body or
  // animation does not take; the skater may then be half set and is to be thrown away.
  bool LoadTickState(CByteCursor& in, uint32_t savedId);

  CSkaterMotion& GetMotion() { return *m_motion; }
  CSkaterAnimation& GetAnimation() { return *m_animation; }
  CThoughtHistory& GetThoughts() { return m_thoughts; }
  const CThoughtHistory& GetThoughts() const { return m_thoughts; }
  CTrickHistory& GetTricks() { return m_tricks; }
  const CTrickHistory& GetTricks() const { return m_tricks; }
  bool IsFrozen() const { return m_frozen; }
  // Place in the park's distance order from the camera (0 nearest); kNone before the first ranking.
  uint32_t GetSoundRank() const { return m_soundRank; }
  void SetSoundRank(uint32_t rank) { m_soundRank = rank; }
  const StuckWatch& GetStuckWatch() const { return m_stuck; }

  Ability ability;
  Needs needs;
  Times times;
  Mind mind;
  Route route;
  Body body;
  Appearance appearance;

  // The skater's random draw, as the constructor uses it: mean + sigma x a normal deviate.
  static float Gauss(float mean, float sigma);

  // --- Collision slots: the motion answers, else the sphere's own handling ---
  SweepQuery CreateSweepQuery(float dt) override {
    SweepQuery query;
    return m_motion->BuildSweepQuery(dt, query) ? std::move(query) : CSphereCollisionObject::CreateSweepQuery(dt);
  }
  void ApplySweep(COctree* octree, GenericIntersection* query) override {
    CSphereCollisionObject::ApplySweep(octree, query);
    m_motion->CommitMove();
  }
  void OnMoveComplete() override { m_motion->IncrementStepCounter(); }
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override {
    if (info != nullptr && info->kind == kSkaterCollisionKind && info->owner != nullptr) {
      if (auto* other = dynamic_cast<CSkater*>(info->owner)) return m_motion->HandleSkaterCollision(*other);
    }
    return CSphereCollisionObject::HandleCollision(info, hit);
  }
  void CollideWithStatic(const CollisionInfo* info, const IntersectionResult* hit) override {
    if (!m_motion->RespondToContact(CollisionInfo::kStatic)) CSphereCollisionObject::CollideWithStatic(info, hit);
  }
  void CollideWithBody(const CollisionInfo* info, const IntersectionResult* hit) override {
    if (!m_motion->RespondToContact(CollisionInfo::kBody)) CSphereCollisionObject::CollideWithBody(info, hit);
  }
  const CollisionInfo* GetCollisionInfo(CCollisionObject* asker) override { return &m_collisionInfo; }
  // Skaters hold each other apart only while both move about. One lying after a crash or standing
  // still (in line, served, resting, hurt) is passed over: a skater whose next route point lies
  // within a body's width of it could never reach that point, and one that gets up into the skater
  // waiting for it crashes it in turn, so that the two would take turns for ever. Two bodies that
  // already overlap (a rescue or an arrival put one on the other) pass apart freely: held, each
  // move of one into the other would stop at once, the fall speed growing with the ground never
  // reached.
  bool CanCollideWith(CCollisionObject* other) override;
  // Moving about: not crashed and not standing still in one of the waiting states.
  bool IsMovingAbout() const;
  void Render(CSceneDrawInterface* view) override {
    if (!m_motion->Render(view)) CSphereCollisionObject::Render(view);
  }
  // The mesh and what hangs on it (the motion adds its debug drawing around it).
  void RenderBody(CSceneDrawInterface* view) {
    CSphereCollisionObject::Render(view);
    RenderAttachObjects(view);
  }
  // An AI skater's newest thought as a bubble over its head (a render view only draws sprites).
  void RenderThought(CSceneDrawInterface* view) const;
  // Every carried effect shows in full.
  float GetAttachIntensity(int index) const override { return 1.0f; }
  void HandleInputEvent(const InputEvent& event) override { m_motion->HandleInputEvent(event); }
  // The normal of the contact being handled (it faces the skater).
  const Vector3& GetContactNormal() const { return m_contactNormal; }

 private:
  void RunStuckWatch(float dt);
  void RescueStuck();
  void UpdateDebugKeys();
  void CheckWorldBounds();
  CVerezIvor* GetPark() const;
  CGrid* GetGrid() const;
  // The square a skater stands on for the exit test (its position + 0.5); null off the grid.
  const CGridSquare* SquareUnder() const;
  bool IsOnExitOrOffGrid() const;
  // The path node a plan starts from: the nearest the skater can reach from where it stands.
  CSkatePathNode* FindStartNode() const;
  Departure ExitDeparture() const;
  void UpdateMood();
  // One need's rule of the decision: true when it took the skater somewhere.
  bool TryNeed(float need, uint32_t kind, uint32_t goal, uint32_t thoughtGroup, bool calm);
  void ArriveAtLinkEnd();
  // Where a jump along route pair i comes down: its route point across, at the height of the
  // node itself. The route point of a plain node is raised by the body's radius already, and
  // the jump adds the radius to its landing height on its own.
  Vector3 JumpTarget(size_t i) const;
  void TakeLink(uint32_t type);
  void GrindLinkStep(uint32_t type);
  void JumpLink(uint32_t type);
  void OllieLink();
  void PlayTrickSound();
  bool FindWanderSquare(CGrid& grid, const CGridSquare& from, int radius, std::vector<RouteStep>& leg);
  void RestTurnStep(float dt);
  void FaceServiceNode();
  float WorldTime() const;
  void ReadContactPoints(const ShadedMesh* mesh);
  bool LoadLeading(CByteCursor& in, uint32_t version);
  bool LoadRest(CByteCursor& in);
  // Every number of the record's fields is finite (a park makes no other).
  bool NumbersFinite() const;

  SkaterParams m_params;
  // What the skater tells what it runs into: a skater (kind 4), answering for itself.
  CollisionInfo m_collisionInfo{kSkaterCollisionKind, nullptr, nullptr, nullptr};
  std::unique_ptr<CSkaterMotion> m_motion;
  std::unique_ptr<CSkaterAnimation> m_animation;
  CThoughtHistory m_thoughts;
  CTrickHistory m_tricks;
  StuckWatch m_stuck;
  char m_name[kNameSize] = {};
  uint32_t m_soundRank = kNone;
  bool m_frozen = false;
  bool m_freezeKeyLatched = false;
  bool m_listed = false;
};

// Every live skater, in order of joining the park.
std::vector<CSkater*>& GetSkaterList();
