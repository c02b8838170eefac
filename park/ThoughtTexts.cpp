#include "park/ThoughtTexts.h"

namespace {
// The spelling is as shipped with the game's data, slips included.
const char* const kTexts[thoughts::kCount] = {
    "Going to get something to eat.",
    "Can't find anything to eat.",
    "Food lines are too long.",
    "The food is too expensive.",
    "Leaving the park to find food.",
    "Going to get something to drink.",
    "Can't find anything to drink.",
    "The beverage lines are too long.",
    "The beverages are too expensive.",
    "Leaving the park to find something to drink.",
    "Heading for the restroom.",
    "Can't find a restroom nearby.",
    "Restroom lines are too long.",
    "Restoom is too expensive.",
    "Leaving the park because of no restroom.",
    "Going to buy a t-shirt.",
    "I feel like buying a t-shirt.",
    "The t-shirt lines are too long.",
    "The t-shirts are too expensive.",
    "Leaving the park because can't buy a t-shirt.",
    "Going to the skate shop.",
    "I need a place to buy skateboard equipment.",
    "The skate shop lines are too long.",
    "The skateboard equipment is too expensive.",
    "Leaving the park because of inadequate skate shop.",
    "Going to get medical attention.",
    "Can't find any first aid.",
    "The lines for the medic are too long.",
    "First aid is too expensive.",
    "Leaving the park to find medical attention.",
    "Going to rest for a bit",
    "Can't find a place to rest",
    "",
    "",
    "Leaving the park because it's too crowded",
    "This place is to expensive!",
    "This is highway robbery",
    "This place is to rich for me",
    "This place is to rich for me",
    "This place is to expensive!",
    "", "", "", "", "", "", "", "", "", "",  // 40-49
    "", "", "", "", "", "", "", "", "", "",  // 50-59
    "", "", "", "", "", "", "", "", "", "",  // 60-69
    "I'm bored.",
    "What did I do?",
};
}  // namespace

namespace thoughts {

const char* GetText(uint32_t number) { return number < kCount ? kTexts[number] : ""; }

const char* GetBubbleTexture(uint32_t number) {
  if (number < 5) return "data/textures/thoughtbubbles/hungry.tga";
  if (number < 10) return "data/textures/thoughtbubbles/thirsty.tga";
  if (number < 15) return "data/textures/thoughtbubbles/pee.tga";
  if (number < 25) return "data/textures/thoughtbubbles/buystuff.tga";
  if (number < 30) return "data/textures/thoughtbubbles/injured.tga";
  if (number < 35) return "data/textures/thoughtbubbles/tired.tga";
  if (number < 40) return "data/textures/thoughtbubbles/cost.tga";
  return nullptr;
}

}  // namespace thoughts
