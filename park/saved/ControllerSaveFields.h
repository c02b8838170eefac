// ControllerSaveFields: the in-game controller's figures a saved game carries in its park block.
#pragma once

#include "core/math/Vector3.h"

struct ControllerSaveFields {
  float largestTrickBonus = 0.0f;
  float exhibitionMoney = 0.0f;   // earned for the current exhibition
  float exhibitionTotal = 0.0f;   // earned from exhibition trick bonuses in all
  Vector3 focus{0.0f, 0.0f, 0.0f};
  Vector3 viewDirection{0.0f, 0.0f, -1.0f};
};
