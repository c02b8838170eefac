#include "ui/NewGame.h"

#include "core/math/DebugPrintf.h"
#include "park/VerezIvor.h"

bool StartNewGame(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName) {
  if (park == nullptr) {
    DebugPrintf("NewGame: no park to start\n");
    return false;
  }
  ParkState& state = park->GetParkState();
  state.Reset();
  park->GetClock().Reset();
  state.levelIndex = levelIndex;
  state.money = startingMoney;
  state.SetParkName(parkName);
  park->CreateCounter();
  return true;
}
