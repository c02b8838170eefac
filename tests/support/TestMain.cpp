// Entry point of every test program: object types, world services and asset loaders are registered
// the way the game registers them, so a test that builds a world or loads assets sees what the game would.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/EngineRegistration.h"

int main(int argc, char** argv) {
  // No test needs a display or a sound card: SDL runs offscreen with its silent audio driver
  // unless the caller asked for others.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  testing::InitGoogleTest(&argc, argv);
  RegisterEngine();
  return RUN_ALL_TESTS();
}
