// DemoGameTest: the fixture of the tests that open a game on the generated demo data. A suite
// writes the data once into a temporary folder; every test gets a fresh park with a resource
// table, in an empty working folder, and leaves no running game behind.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/world/WorldAccess.h"
#include "core/data/ResourceTable.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/world/VerezIvor.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "ui/park/GameHooks.h"
#include "ui/screens/NewGame.h"

namespace ui_test {

class DemoGameTest : public ::testing::Test {
 protected:
  // The demo data set below root's "data" folder, with the instant-action park when asked. The
  // level's lighting bake makes a world of its own: a test's park must be made the world again.
  static void WriteDemoData(const testing_support::TempFolder& root, bool instantPark) {
    testing_support::DebugCapture quiet;
    const std::string folder = root.MakeFolder("data");
    ASSERT_TRUE(DemoContent::WriteAll(folder) && DemoContent::WriteLevel(folder) && DemoContent::WriteCatalogs(folder));
    if (instantPark) ASSERT_TRUE(DemoContent::WriteInstantActionPark(folder)) << quiet.Text();
  }
  // For the suite's SetUpTestSuite.
  static void WriteSuiteData(bool instantPark) {
    data = new testing_support::TempFolder();
    WriteDemoData(*data, instantPark);
  }
  static void TearDownTestSuite() {
    delete data;
    data = nullptr;
  }
  void SetUp() override {
    GetGameHooks() = GameHooks();
    park = std::make_unique<CVerezIvor>(nullptr, nullptr);
    park->SetResourceTable(&table);
  }
  void TearDown() override {
    park->RemoveAllLayers();
    ClearRunningGame(*park);
    FreeObjectCatalog();
    park.reset();
    GetGameHooks() = GameHooks();
  }
  static std::string Root() { return data->Path(); }

  static inline testing_support::TempFolder* data = nullptr;
  // An empty working folder: no interface art or fonts are found, so the screens draw with the
  // built-in font and plain fills, and nothing is written beside the tests.
  testing_support::WorkingFolder work;
  testing_support::DebugCapture log;
  CResourceTable table;
  std::unique_ptr<CVerezIvor> park;
};

}  // namespace ui_test
