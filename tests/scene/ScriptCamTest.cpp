// Script camera: the text and block forms, segment timing, skip rules and banking along splines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/world/GameWorld.h"
#include "core/spatial/BezierSpline.h"
#include "platform/system/Platform.h"
#include "scene/camera/ObserverCam.h"
#include "scene/camera/ScriptCam.h"
#include "tests/support/TempFolder.h"

using testing_support::DebugCapture;

namespace {

const char* kTwoSegments =
    "// intro fly-by\n"
    "ID = 7\n"
    "NumSegments = 2 3, 4, 1, 1, 5.0, 2.0, 60.0, 0.5\n"
    "5, 4, 3, 0, 4.0, 0.0, 60.0, 0.0\n";

// A spline through the given points with handles a third of the way along each straight segment.
std::unique_ptr<CBezierSpline> Polyline(int id, const std::vector<Vector3>& points) {
  std::unique_ptr<CBezierSpline> spline(new CBezierSpline());
  spline->SetID(id);
  std::vector<SplineControlPoint> cps(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    cps[i].position = points[i];
    const Vector3 next = i + 1 < points.size() ? points[i + 1] : points[i];
    const Vector3 prev = i > 0 ? points[i - 1] : points[i];
    cps[i].outHandle = points[i] + (next - points[i]) * (1.0f / 3.0f);
    cps[i].inHandle = points[i] + (prev - points[i]) * (1.0f / 3.0f);
  }
  spline->SetPoints(cps);
  return spline;
}

InputEvent Event(uint32_t code) {
  InputEvent e;
  e.code = code;
  return e;
}

CameraSegment Segment(uint32_t mode, float move, float hold) {
  CameraSegment s;
  s.positionSplineID = 1000;  // no such spline: timing only
  s.lookSplineID = 1001;
  s.advanceMode = mode;
  s.moveTime = move;
  s.holdTime = hold;
  s.zoomDistance = 60.0f;
  return s;
}

std::vector<uint8_t> Block(uint32_t id, const std::vector<CameraSegment>& segments, uint32_t claimed) {
  std::vector<uint8_t> block(8 + 40 * segments.size());
  std::memcpy(block.data(), &id, 4);
  std::memcpy(block.data() + 4, &claimed, 4);
  if (!segments.empty()) std::memcpy(block.data() + 8, segments.data(), 40 * segments.size());
  return block;
}

}  // namespace

TEST(ScriptCam, TextScriptAndBlockRoundTrip) {
  DebugCapture log;
  CScriptCam cam;
  ASSERT_TRUE(cam.ParseScript(kTwoSegments));
  ASSERT_EQ(cam.GetSegmentCount(), 2u);
  const float want[2][8] = {{3, 4, 1, 1, 5, 2, 60, 0.5f}, {5, 4, 3, 0, 4, 0, 60, 0}};
  for (uint32_t i = 0; i < 2; ++i) {
    const CameraSegment& g = cam.GetSegment(i);
    EXPECT_TRUE(g.positionSplineID == want[i][0] && g.lookSplineID == want[i][1] && g.advanceMode == want[i][2] &&
                g.byArcLength == want[i][3] && g.moveTime == want[i][4] && g.holdTime == want[i][5] &&
                g.zoomDistance == want[i][6] && g.bankFactor == want[i][7] && g.runtime[0] == 0 && g.runtime[1] == 0)
        << i;
  }

  ASSERT_EQ(cam.GetBlockSize(), 88u);
  std::vector<uint8_t> block(cam.GetBlockSize());
  EXPECT_FALSE(cam.WriteBlock(block.data(), block.size() - 1));
  ASSERT_TRUE(cam.WriteBlock(block.data(), block.size()));
  CScriptCam copy;
  block.resize(block.size() + 40);  // a record past the claimed count is not read
  ASSERT_TRUE(copy.SetSegments(block.data(), block.size()));
  EXPECT_EQ(copy.GetCameraID(), 7u);
  ASSERT_EQ(copy.GetSegmentCount(), 2u);
  for (uint32_t i = 0; i < 2; ++i) EXPECT_EQ(std::memcmp(&copy.GetSegment(i), &cam.GetSegment(i), sizeof(CameraSegment)), 0);
}

TEST(ScriptCam, BadScriptsAndHostileBlocksLeaveNoSegments) {
  DebugCapture log;
  const char* bad[] = {
      "NumSegments 1 3, 4, 1, 1, 5, 2, 60, 0",           // no delimiter after the key
      "NumSegments = 200 ",                              // too many
      "NumSegments = 1 3, 4, 1, 1, 5, 2, 60",            // a value missing
      "NumSegments = 1 3, 4, 1, 1, 5, 2, 60 0",          // a delimiter missing
      "NumSegments = 1 3,, 4, 1, 1, 5, 2, 60, 0",        // two delimiters
      "NumSegments = 1 3, x, 1, 1, 5, 2, 60, 0",         // not a number
      "ID = 4",                                          // no segment count
      "",
  };
  for (const char* text : bad) {
    CScriptCam cam;
    log.Clear();
    EXPECT_FALSE(cam.ParseScript(text)) << text;
    EXPECT_NE(log.Text().find("Error Parsing Camera Script!\n"), std::string::npos);
    cam.Play();
    EXPECT_FALSE(cam.IsPlaying());
  }
  // The count must stay below 200: 199 segments are read, 200 are refused.
  std::string many;
  for (int i = 0; i < 200; ++i) many += " 3, 4, 1, 1, 5, 2, 60, 0";
  for (int count : {199, 200}) {
    CScriptCam cam;
    EXPECT_EQ(cam.ParseScript(("NumSegments = " + std::to_string(count) + many).c_str()), count == 199);
    EXPECT_EQ(cam.GetSegmentCount(), count == 199 ? 199u : 0u);
  }
  // A count the block cannot hold is cut to the records present; a header alone is too short.
  CScriptCam cam;
  std::vector<uint8_t> block = Block(9, {Segment(1, 1, 1)}, 1000000);
  ASSERT_TRUE(cam.SetSegments(block.data(), block.size()));
  EXPECT_EQ(cam.GetSegmentCount(), 1u);
  EXPECT_TRUE(cam.SetSegments(block.data(), block.size() - 1));
  EXPECT_EQ(cam.GetSegmentCount(), 0u);
  EXPECT_FALSE(cam.SetSegments(block.data(), 7));
  block = Block(9, std::vector<CameraSegment>(201, Segment(1, 1, 1)), 201);
  ASSERT_TRUE(cam.SetSegments(block.data(), block.size()));
  EXPECT_EQ(cam.GetSegmentCount(), 200u);
  EXPECT_FALSE(cam.SetSegments(nullptr, 100));
  // NaN times would hold the camera forever: they become 0.
  CameraSegment nan = Segment(0, std::nanf(""), std::nanf(""));
  block = Block(9, {nan}, 1);
  ASSERT_TRUE(cam.SetSegments(block.data(), block.size()));
  cam.Play();
  for (int i = 0; i < 3; ++i) cam.Update(0.1f);
  EXPECT_FALSE(cam.IsPlaying());
  // Random blocks: never a crash, never more segments than bytes allow.
  plat::srand(3);
  std::vector<uint8_t> junk(300);
  for (int i = 0; i < 500; ++i) {
    const size_t size = static_cast<size_t>(plat::rand()) % junk.size();
    for (uint8_t& b : junk) b = static_cast<uint8_t>(plat::rand());
    if (cam.SetSegments(junk.data(), size)) {
      EXPECT_LE(cam.GetSegmentCount() * 40 + 8, size);
      cam.Play();
      for (int k = 0; k < 20; ++k) cam.UpdateCamera(nullptr, 0.5f, nullptr, 0, 0, nullptr);
    }
  }
}

TEST(ScriptCam, SegmentTimingAndSkipRules) {
  CScriptCam cam;
  std::vector<uint8_t> block =
      Block(1, {Segment(0, 0.0f, 0.0f), Segment(1, 1.0f, 2.0f), Segment(2, 5.0f, 5.0f), Segment(3, 5.0f, 5.0f)}, 4);
  ASSERT_TRUE(cam.SetSegments(block.data(), block.size()));
  cam.Play();
  // Move time 0: holding on the first update; hold 0: the next update moves on.
  cam.Update(0.1f);
  EXPECT_EQ(cam.GetCurrentSegment(), 0u);
  cam.Update(0.1f);
  EXPECT_EQ(cam.GetCurrentSegment(), 1u);
  // Mode 1 cannot be skipped during its move (missing splines still take the time).
  cam.Update(0.5f);
  cam.HandleInputEvent(Event(CScriptCam::kSkipCode));
  EXPECT_EQ(cam.GetCurrentSegment(), 1u);
  cam.Update(0.5f);
  cam.Update(0.5f);  // timer reached the move time: holding, so a skip goes through
  EXPECT_FLOAT_EQ(cam.GetSegmentTimer(), 2.0f);  // the move took its time; the hold counts down from its own
  cam.HandleInputEvent(Event(CScriptCam::kSkipCode));
  EXPECT_EQ(cam.GetCurrentSegment(), 2u);
  // Mode 2 can be skipped at any time; it lands on a mode-3 segment, which ends playback.
  cam.HandleInputEvent(Event(CScriptCam::kSkipCode));
  EXPECT_EQ(cam.GetCurrentSegment(), 3u);
  EXPECT_FALSE(cam.IsPlaying());
  EXPECT_NEAR(cam.GetElapsedTime(), 1.7f, 1e-5f);

  // Code 6 ends at a mode-3 segment only; other codes do nothing.
  cam.Play();
  cam.HandleInputEvent(Event(CScriptCam::kEndCode));
  EXPECT_TRUE(cam.IsPlaying());
  cam.HandleInputEvent(Event(99));
  EXPECT_TRUE(cam.IsPlaying());
  // Runs off the end by itself.
  for (int i = 0; i < 300 && cam.IsPlaying(); ++i) cam.Update(0.1f);
  EXPECT_FALSE(cam.IsPlaying());
  EXPECT_EQ(cam.GetCurrentSegment(), 4u);
}

TEST(ScriptCam, FliesTheSplinesAndBanksOnlyInTurns) {
  std::unique_ptr<CBezierSpline> straight = Polyline(41, {Vector3(0, 0, 5), Vector3(100, 0, 5)});
  std::unique_ptr<CBezierSpline> ahead = Polyline(42, {Vector3(10, 0, 5), Vector3(110, 0, 5)});
  CameraSegment seg = Segment(0, 2.0f, 0.0f);
  seg.positionSplineID = 41;
  seg.lookSplineID = 42;
  seg.bankFactor = 50.0f;
  CScriptCam cam;
  std::vector<uint8_t> block;
  // Even handles make the parameter and the arc length agree: both timings fly the same.
  for (uint32_t byArcLength : {0u, 1u}) {
    seg.byArcLength = byArcLength;
    block = Block(5, {seg}, 1);
    ASSERT_TRUE(cam.SetSegments(block.data(), block.size()));
    cam.Play();
    for (int i = 0; i < 15; ++i) {
      cam.UpdateCamera(nullptr, 0.1f, nullptr, 0, 0, nullptr);
      const COrientation& f = cam.GetFrame();
      EXPECT_NEAR(f.GetPosition().x, 100.0f * (0.1f * i) / 2.0f, 1e-3f) << byArcLength;
      EXPECT_NEAR(f.GetZAxis().z, 1.0f, 1e-5f) << "rolled at step " << i;
      EXPECT_NEAR(f.GetYAxis().z, 0.0f, 1e-5f);
    }
  }
  EXPECT_NEAR(cam.GetView().GetFieldOfView(), 2.0f * std::atan(35.0f / 60.0f), 1e-5f);

  // A turn to the left banks, and a paused tick in the middle stays finite.
  std::unique_ptr<CBezierSpline> bend = Polyline(43, {Vector3(0, 0, 0), Vector3(50, 0, 0), Vector3(50, 50, 0)});
  std::unique_ptr<CBezierSpline> bendLook = Polyline(44, {Vector3(10, 0, 0), Vector3(50, 10, 0), Vector3(50, 60, 0)});
  seg.positionSplineID = 43;
  seg.lookSplineID = 44;
  seg.moveTime = 4.0f;
  block = Block(6, {seg}, 1);
  ASSERT_TRUE(cam.SetSegments(block.data(), block.size()));
  cam.Play();
  float maxRoll = 0.0f;
  for (int i = 0; i < 40; ++i) {
    cam.Update(i == 20 ? 0.0f : 0.1f);
    const COrientation& f = cam.GetFrame();
    ASSERT_TRUE(std::isfinite(f.GetYAxis().z) && std::isfinite(f.GetPosition().x)) << i;
    maxRoll = std::max(maxRoll, std::fabs(f.GetYAxis().z));
  }
  EXPECT_GT(maxRoll, 0.01f);
}

TEST(ScriptCam, TriggersFindTheFirstCameraWithTheirID) {
  DebugCapture quiet;
  CGameWorld world(nullptr, nullptr);
  world.AddCamera(std::make_unique<CObserverCam>());
  CScriptCam* cams[3];
  for (int i = 0; i < 3; ++i) {
    auto cam = std::make_unique<CScriptCam>();
    cams[i] = cam.get();
    ASSERT_TRUE(cams[i]->ParseScript(i ? "ID = 7 NumSegments = 0" : "ID = 3 NumSegments = 0"));
    world.AddCamera(std::move(cam));
  }
  EXPECT_EQ(CScriptCam::FindById(7, &world), cams[1]);
  EXPECT_EQ(CScriptCam::FindById(8, &world), nullptr);
  world.ClearWorld();
}
