// CSavedGame: the saved-game file of a running park - park block, placed pieces, grid and skaters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "park/ControllerSaveFields.h"

class CVerezIvor;

class CSavedGame {
 public:
  // The whole file in memory; the park is not changed.
  static bool Save(CVerezIvor& park, const ControllerSaveFields& controller, std::vector<uint8_t>& out);
  // Writes beside the old file and replaces it only once the new one is complete.
  static bool SaveToFile(CVerezIvor& park, const ControllerSaveFields& controller, const char* path);
  // Validates the whole file before the park is cleared; on failure (logged) the park is untouched.
  static bool Load(CVerezIvor& park, ControllerSaveFields& controller, const uint8_t* data, size_t size);
  static bool LoadFromFile(CVerezIvor& park, ControllerSaveFields& controller, const char* path);
};
