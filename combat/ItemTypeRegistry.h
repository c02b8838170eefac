// ItemTypeRegistry: the global registry of item types (filled by the combat work; emptied on every world clear).
#pragma once

#include <cstdint>

class ItemTypeRegistry {
 public:
  static void Clear();
  static uint32_t GetClearCount();
};
