// Entry point of every test program: the asset loaders are registered the way the game registers
// them, so a test that loads through a resource table sees what the game would.
#include <gtest/gtest.h>

#include "app/EngineRegistration.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  RegisterEngineLoaders();
  return RUN_ALL_TESTS();
}
