// PathEdgeInfo: the edge record a step of the park's path graph carries - how hard it is and how
// a skater moves along it.
#pragma once

#include <cstdint>

enum PathLinkKind : uint32_t {
  kLinkAir = 0,
  kLinkFreeAir = 1,
  kLinkWalk = 2,
  kLinkOllie = 3,
  kLinkSkate = 4,
  kLinkSkateToTop = 5,
  kLinkGrindLeft = 4097,
  kLinkGrindRight = 4098,
};

struct PathEdgeInfo {
  float difficulty;  // 0 easiest .. 1 hardest
  uint32_t kind;     // a PathLinkKind
  uint32_t mode;     // 1 for the grid's grass steps, else 0
};
