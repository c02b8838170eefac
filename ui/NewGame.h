// StartNewGame: begins a park from the new-game screen's choices.
#pragma once

#include <cstdint>

class CVerezIvor;

// Resets the park record and the clock, then sets the level, the starting money and the park
// name (cut to fit), and gives the park a fresh counter. Returns false without a park.
bool StartNewGame(CVerezIvor* park, uint8_t levelIndex, int32_t startingMoney, const char* parkName);
