#include "park/ParkScreens.h"

ParkScreens& GetParkScreens() {
  static ParkScreens screens;
  return screens;
}
