// The park world: status text, the simulation step with its slow-motion keys, world access.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "combat/Missile.h"
#include "core/GameObject.h"
#include "core/WorldAccess.h"
#include "park/VerezIvor.h"
#include "platform/Platform.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

class StepRecorder : public CGameObject {
 public:
  StepRecorder() { SetFlags(kNetworked); }
  void Update(float dt) override { last = dt; }
  float last = -1.0f;
};

TEST(VerezIvor, StatusTextIsFramedAndBounded) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  EXPECT_STREQ(park.GetStatusLabelText(), "");
  park.SetStatusText("Half Pipe $200");
  EXPECT_EQ(std::string(park.GetStatusLabelText()), std::string("\x01") + "Half Pipe $200" + "\x02");
  park.SetStatusText("");
  EXPECT_STREQ(park.GetStatusLabelText(), "");
  park.SetStatusText("x");
  park.SetStatusText(nullptr);
  EXPECT_STREQ(park.GetStatusLabelText(), "");

  // Every length up to well past the room: 97 characters fit whole, longer texts are cut to 97.
  for (size_t length = 1; length < 400; ++length) {
    std::string text(length, 'a');
    text[length - 1] = 'z';
    park.SetStatusText(text.c_str());
    const std::string shown = park.GetStatusLabelText();
    const size_t kept = length < CVerezIvor::kMaxStatusLength ? length : CVerezIvor::kMaxStatusLength;
    ASSERT_EQ(shown.size(), kept + 2) << length;
    ASSERT_EQ(shown.front(), '\x01');
    ASSERT_EQ(shown.back(), '\x02');
    ASSERT_EQ(shown.substr(1, kept), text.substr(0, kept));
  }
}

TEST(VerezIvor, SimulateSlowsObjectsWhileTheKeysAreHeld) {
  DebugCapture quiet;
  CVerezIvor park(nullptr, nullptr);
  StepRecorder* object = new StepRecorder();
  park.RegisterNewObject(object);
  park.Simulate(0.032f);
  EXPECT_FLOAT_EQ(object->last, 0.032f);
  plat::SetKeyState(0xC0, true);
  park.Simulate(0.032f);
  EXPECT_FLOAT_EQ(object->last, 0.008f);
  plat::SetKeyState('1', true);
  park.Simulate(0.032f);
  EXPECT_FLOAT_EQ(object->last, 0.004f);
  plat::SetKeyState(0xC0, false);
  park.Simulate(0.032f);  // the 1 key alone does nothing
  EXPECT_FLOAT_EQ(object->last, 0.032f);
  plat::SetKeyState('1', false);
  EXPECT_EQ(park.GetStepCount(), 4u);
  EXPECT_NEAR(park.GetWorldTime(), 0.032 + 0.008 + 0.004 + 0.032, 1e-6);
}

TEST(VerezIvor, IsTheWorldAndBuildsObjectsThroughTheFactory) {
  DebugCapture quiet;
  {
    CVerezIvor park(nullptr, nullptr);
    EXPECT_EQ(GetWorld(), &park);
    EXPECT_EQ(GetPark(), &park);
    EXPECT_EQ(GetGameWorld(), &park);
    EXPECT_EQ(GetWorldOctree(), &park.GetOctree());
    EXPECT_EQ(GetNetworkMode(), 1u);
    EXPECT_EQ(GetParkGrid(), nullptr);
    EXPECT_EQ(GetWorldResource("data/anything"), nullptr);
    CGameObject* missile = park.CreateObject(12);
    ASSERT_NE(dynamic_cast<CMissile*>(missile), nullptr);
    delete missile;
    EXPECT_EQ(park.CreateObject(14), nullptr);
    park.ClearGrid();
  }
  EXPECT_EQ(GetWorld(), nullptr);
  EXPECT_EQ(GetWorldOctree(), nullptr);
  EXPECT_EQ(GetNetworkMode(), 0u);
}

}  // namespace
