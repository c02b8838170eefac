// Entry point of every test program: object types, world services and asset loaders are registered
// the way the game registers them, so a test that builds a world or loads assets sees what the game would.
#include <gtest/gtest.h>

#include "app/EngineRegistration.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  RegisterEngine();
  return RUN_ALL_TESTS();
}
