// SavedParkBlock: the park block that opens a saved game - the park record, the controller's
// bonus figures, the camera, the world time and the clock - written at version 12, read at any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Orientation.h"
#include "park/saved/ControllerSaveFields.h"
#include "park/world/ParkState.h"

class CByteCursor;

struct SavedParkBlock {
  static constexpr uint32_t kVersion = 12;
  static constexpr size_t kSize = 388;  // at version 12 with four sponsorship slots
  // From this version on the block opens with a head: the level index, the park name and the
  // saved word (kHeadSize bytes with the version).
  static constexpr uint32_t kFirstVersionWithHead = 8;
  static constexpr size_t kHeadSize = 4 + 1 + ParkState::kParkNameSize;

  ParkState state;
  ControllerSaveFields controller;
  COrientation cameraFrame;
  float cameraOrthoWidth = 0.0f;
  double worldTime = 0.0;
  uint32_t clockWeek = 1;
  uint32_t clockDay = 1;
  double clockHour = 10.0;

  void Write(std::vector<uint8_t>& out) const;
  // Reads a block of any version up to kVersion over the values held: fields the file's version
  // does not hold keep them. The park name is never taken from the file (the screen that loads a
  // game names the park). False (logged) for a block cut short, of a newer version, or whose head
  // names another level than its rows.
  bool Read(CByteCursor& in);
};
