// The park world as the program's world: access functions, the object factory, the grid it owns.
#include <gtest/gtest.h>

#include "combat/Missile.h"
#include "core/WorldAccess.h"
#include "park/Grid.h"
#include "park/ParkFontSet.h"
#include "park/VerezIvor.h"
#include "tests/support/TempFolder.h"

namespace {

using testing_support::DebugCapture;

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
    CGameObject* missile = park.CreateObject(12);
    ASSERT_NE(dynamic_cast<CMissile*>(missile), nullptr);
    delete missile;
    EXPECT_EQ(park.CreateObject(14), nullptr);
    park.SetGrid(new CGrid());
    park.SetGrid(new CGrid());  // the first is deleted (the leak checker watches)
    park.ClearGrid();           // let go before shutdown, deleted with the park
    EXPECT_EQ(GetParkGrid(), nullptr);
    EXPECT_EQ(park.GetFontSet()->alphabet14, nullptr);  // no font files here
  }
  EXPECT_EQ(GetWorld(), nullptr);
  EXPECT_EQ(GetWorldOctree(), nullptr);
  EXPECT_EQ(GetNetworkMode(), 0u);
}

}  // namespace
