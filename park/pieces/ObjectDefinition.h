// ObjectDefinition: one buyable object of the catalogs - mesh, icon, price, footprint and fees.
#pragma once

#include <cstdint>

#include "render/image/Image.h"

struct ObjectDefinition {
  static constexpr int kMaxFootprint = 20;
  static constexpr int kNameSize = 100;

  int mesh = -1;                 // resource index of the mesh
  int icon = -1;                 // resource index of the icon ("missing.tga" when the mesh has none)
  uint16_t catalogNumber = 0;    // the definition's position in the table; saved with placed pieces
  double cost = 0.0;
  uint8_t flag = 1;
  int footprintWidth = 1;
  int footprintLength = 1;
  float height = 1.0f;
  uint8_t footprint[kMaxFootprint][kMaxFootprint] = {};  // [row][column], 1 = occupied
  int type = 0;                  // catalog type keyword; 19 for sponsor pieces
  int styleCode = 1;             // 0 pool, curb and stairs; 2 rail; 1 everything else
  char name[kNameSize] = {};
  float ratingsPoints = 1.0f;
  float useFee = 0.0f;
  int snapToGrid = 1;
  uint8_t vertical = 0;
  CImageRef iconImage;
  float operatingCost = 0.0f;    // per park day; negative for sponsor pieces that pay the park
};
