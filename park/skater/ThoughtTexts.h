// ThoughtTexts: the fixed texts and bubble textures of a skater's thoughts, by thought number.
#pragma once

#include <cstdint>

class CResourceTable;
class CTexture;

namespace thoughts {
constexpr uint32_t kCount = 72;
// Numbers 0-34 come in groups of five per need; the offset inside a group is the facility search's
// result (0 on the way, 1 none found, 2 lines too long, 3 too expensive, 4 leaving the park).
constexpr uint32_t kFood = 0, kDrink = 5, kRestroom = 10, kShirt = 15, kBoard = 20, kMedic = 25, kRest = 30;
constexpr uint32_t kTooExpensiveToEnter = 39;
constexpr uint32_t kEvicted = 66;
constexpr uint32_t kBored = 70;

// "" for numbers without a text (and beyond the table).
const char* GetText(uint32_t number);
// Path of the bubble texture, or null when the thought shows no bubble.
const char* GetBubbleTexture(uint32_t number);

// The bubble textures, looked up and loaded through the table into the handle table (the
// controller does it when a game starts). A texture that is not there leaves its thoughts without
// a bubble; what is missing is logged in one line, and the game goes on. Returns how many of the
// distinct textures were loaded.
int LoadThoughtBubbleTextures(CResourceTable* table);
// The loaded bubble texture of a thought from the table it was loaded through; null when the
// thought has no bubble or its texture could not be loaded.
CTexture* GetBubbleTextureObject(CResourceTable& table, uint32_t number);
}  // namespace thoughts
