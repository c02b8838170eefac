// CatalogItem: one entry of a catalog category as the build menus list it, with its lock state.
#pragma once

#include <cstdint>
#include <string>

#include "render/image/Image.h"

struct ParkState;

struct CatalogItem {
  CImageRef icon;
  std::string name;
  int idx = 0;
  int type = 0;
  int variantCount = 0;      // definitions found for the entry, 0 to 10
  int sponsorshipIndex = -1;  // 0 to 3 for an entry a sponsorship unlocks; -1 always available

  // Free entries are unlocked; a sponsored one while its park slot holds a sponsor piece.
  bool IsUnlocked(const ParkState& park) const;
};
