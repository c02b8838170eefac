// InputEvent: one queued input event (mouse button, key or game action) handed to layers and cameras.
#pragma once

#include <cstdint>

struct InputEvent {
  // Codes: 0 a key went down (x = virtual-key code, y = character), kButtonPress /
  // kButtonRelease the left mouse button (x, y = client position), +n / -n game action n.
  static constexpr uint32_t kKey = 0;
  static constexpr uint32_t kButtonPress = 0xEFFFFFFFu;
  static constexpr uint32_t kButtonRelease = 0x10000001u;

  uint32_t code = 0;
  float x = 0.0f;
  float y = 0.0f;
  float value = 0.0f;
};
