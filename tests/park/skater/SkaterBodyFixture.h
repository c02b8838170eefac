// SkaterBodyFixture: a park world with generated collision geometry, route squares and skaters
// whose motion is a CSkaterBody and whose animation records what it is asked to play.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "core/spatial/Octree.h"
#include "park/grid/Grid.h"
#include "park/grid/GridSquare.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterBody.h"
#include "park/world/VerezIvor.h"
#include "physics/terrain/TerrainCollision.h"
#include "platform/system/Platform.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"
#include "tools/DemoContent.h"

namespace skater_body_test {

constexpr float kDt = 0.033f;
constexpr float kPi = 3.14159265f;

// The animation table's categories and ranges, with every play and sound recorded.
class RecordingAnimation : public CSkaterAnimation {
 public:
  void Play(int entry, bool loop) override {
    played.push_back(entry);
    current = entry;
    time = 0.0f;
  }
  int GetCurrent() const override { return current; }
  void Advance(float dt, float speed) override { time += dt * speed; }
  void UpdateRollingSound(float dt) override {}
  void PlaySound(Sound sound) override { sounds.push_back(sound); }
  int GetCategory(int e) const override {
    if (e < 0 || e > 55) return -1;
    if (e <= 10) return 0;
    if (e <= 20) return 1;
    if (e <= 23) return 2;
    if (e <= 39) return 3;
    if (e <= 50) return 4;
    if (e <= 52) return 5;
    return 7;
  }
  float GetDifficulty(int entry) const override { return 0.0f; }
  const char* GetDisplayName(int e) const override { return e >= 53 && e <= 55 ? "Crash1" : "Other"; }
  int GetCategoryFirst(uint32_t c) const override {
    static const int first[8] = {0, 11, 21, 21, 40, 51, -1, 53};
    return c < 8 ? first[c] : -1;
  }
  int GetCategoryCount(uint32_t c) const override {
    static const int count[8] = {11, 10, 3, 19, 11, 2, 0, 3};
    return c < 8 ? count[c] : 0;
  }
  // A few entries' key texts: "1", "UD1", "U1", "LL1", "L1", "2", "L2", "U2", "D2".
  const std::vector<int>& GetKeys(int entry) const override {
    static const std::vector<std::pair<int, std::vector<int>>> table{
        {21, {66}}, {22, {62, 63, 66}}, {24, {62, 66}}, {26, {64, 64, 66}}, {31, {64, 66}},
        {40, {67}}, {41, {64, 67}},     {47, {62, 67}}, {48, {63, 67}}};
    static const std::vector<int> none;
    for (const auto& row : table)
      if (row.first == entry) return row.second;
    return none;
  }
  float GetTime() const override { return time; }
  float GetLength(int entry) const override { return entry == current ? length : 0.0f; }

  int CountSound(Sound s) const {
    int n = 0;
    for (Sound x : sounds) n += x == s ? 1 : 0;
    return n;
  }

  std::vector<int> played;
  std::vector<Sound> sounds;
  int current = -1;
  float time = 0.0f;
  float length = 1.0f;
};

inline std::unique_ptr<CSkaterMotion> MakeTestBody(CSkater& s) { return std::make_unique<CSkaterBody>(s); }
inline std::unique_ptr<CSkaterAnimation> MakeRecording(CSkater&) { return std::make_unique<RecordingAnimation>(); }

struct BodyWorld : ::testing::Test {
  BodyWorld() : park(nullptr, nullptr) {
    plat::srand(5);
    park.GetOctree().Reset(Box(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f)));
    park.SetGrid(std::make_unique<CGrid>(20, 20, Vector3(-50.0f, -50.0f, 0.0f), 5.0f, 5.0f));
    CSkater::SetBodyFactory(MakeTestBody, MakeRecording);
  }
  ~BodyWorld() override { RegisterSkaterBody(); }

  void AddMesh(std::unique_ptr<ShadedMesh> mesh) {
    ASSERT_NE(mesh, nullptr);
    auto instance = std::make_unique<CMeshInstance>();
    ASSERT_TRUE(instance->SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr));
    BuildTerrainCollisionPolygons(&park.GetOctree(), instance.get(), nullptr, 7, nullptr, false, false);
    meshes.push_back(std::move(mesh));
    instances.push_back(std::move(instance));
  }
  void AddPlane() { AddMesh(DemoContent::BuildGroundGrid(41, 2.0f)); }
  void AddSolid(const std::vector<DemoContent::SolidPart>& parts) {
    AddMesh(DemoContent::BuildSolid("solid", "solid.texture", parts));
  }

  // A skater resting on the ground at (x, y, ground), heading along the angle.
  std::unique_ptr<CSkater> MakeSkater(const Vector3& foot, float heading = 0.0f) {
    auto s = std::make_unique<CSkater>();
    COrientation frame;
    frame.RotateZ(-heading);
    frame.SetPosition(foot + Vector3(0.0f, 0.0f, 0.45f));
    s->LoadBody(frame);
    return s;
  }
  // A skater made as above and registered with the park, which owns it.
  CSkater* AddSkater(const Vector3& foot, float heading = 0.0f) {
    auto owned = MakeSkater(foot, heading);
    CSkater* s = owned.get();
    park.RegisterNewObject(std::move(owned));
    return s;
  }
  // The player's own skater: trick keys choose tricks only for it.
  CSkater* AddPlayer(const Vector3& foot) {
    CSkater* s = AddSkater(foot);
    park.SetPlayerSkaterId(s->GetID());
    return s;
  }
  // A press of the button (a negative code is its release), as the input manager sends it.
  static void Press(CSkater& s, int code) {
    InputEvent e;
    e.code = static_cast<uint32_t>(code);
    s.HandleInputEvent(e);
  }
  // A skater on a fresh ground plane, settled onto it for the ticks.
  std::unique_ptr<CSkater> SettledOnPlane(const Vector3& foot = Vector3(0.0f, 0.0f, 0.0f), int ticks = 10) {
    AddPlane();
    auto s = MakeSkater(foot);
    Settle(*s, ticks);
    return s;
  }
  static CSkaterBody& Body(CSkater& s) { return static_cast<CSkaterBody&>(s.GetMotion()); }
  static RecordingAnimation& Anim(CSkater& s) { return static_cast<RecordingAnimation&>(s.GetAnimation()); }

  // Grid squares 0.. stand in for route nodes at the points; the skater follows them.
  void SetRoute(CSkater& s, const std::vector<Vector3>& points, const std::vector<uint32_t>& kinds = {}) {
    s.route.steps.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      park.GetGrid()->GetSquareByIndex(static_cast<int>(i))->SetPosition(points[i]);
      CSkater::RouteStep step;
      step.nodeId = static_cast<uint32_t>(i);
      step.hasLink = i > 0;
      step.edge = PathEdgeInfo{0.0f, i < kinds.size() ? kinds[i] : kLinkSkate, 0};
      s.route.steps.push_back(step);
    }
    s.route.mode = 1;
    s.route.index = 0;
    s.SetState(CSkater::kSkating, 0);
  }
  // Runs the AI route step n times (stopping early when the route is done).
  void RunRoute(CSkater& s, int ticks) {
    for (int i = 0; i < ticks && s.route.index < static_cast<int32_t>(s.route.steps.size()); ++i) {
      s.GetMotion().RouteStep(kDt);
    }
  }
  // Lets the skater settle onto the ground without driving.
  void Settle(CSkater& s, int ticks = 10) {
    for (int i = 0; i < ticks; ++i) {
      Body(s).MoveStep(kDt);
    }
  }

  testing_support::DebugCapture capture;
  CVerezIvor park;
  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  std::vector<std::unique_ptr<CMeshInstance>> instances;
};

}  // namespace skater_body_test
