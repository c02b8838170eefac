#include "park/world/ParkScreens.h"

ParkScreens& GetParkScreens() {
  static ParkScreens screens;
  return screens;
}
