// ScriptTriggerRecord: the 16-byte level record of a trigger that follows a script camera's elapsed time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ScriptTriggerRecord {
  static constexpr size_t kSize = 16;
  static constexpr uint32_t kAttachType = 10003;  // attach-point type on a level mesh

  uint32_t triggerId = 0;  // how attach objects name the trigger; 0 names none
  uint32_t cameraId = 0;   // the script camera's ID
  float start = 0.0f;      // the window of elapsed seconds in which the trigger is on
  float end = 0.0f;

  // False (logged) unless the data is exactly kSize bytes, the trigger ID is not 0 and both
  // times are finite.
  bool Read(const uint8_t* data, size_t size);
  void Write(std::vector<uint8_t>& out) const;
};
