#include "park/skater/ThoughtTexts.h"

#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "render/image/Texture.h"

namespace {
// One texture per group of thoughts: five for each need, ten for shopping, five for prices.
constexpr int kBubbleCount = 7;
const char* const kBubblePaths[kBubbleCount] = {
    "data/textures/thoughtbubbles/hungry.tga",  "data/textures/thoughtbubbles/thirsty.tga",
    "data/textures/thoughtbubbles/pee.tga",     "data/textures/thoughtbubbles/buystuff.tga",
    "data/textures/thoughtbubbles/injured.tga", "data/textures/thoughtbubbles/tired.tga",
    "data/textures/thoughtbubbles/cost.tga",
};
// The resource index of each loaded texture, -1 when it is not loaded. Indices, not pointers:
// the table frees and reloads its objects between levels.
int g_bubbleIndex[kBubbleCount] = {-1, -1, -1, -1, -1, -1, -1};
// The table the indices belong to; another table's entries at those indices are other files.
const CResourceTable* g_bubbleTable = nullptr;

// The bubble of a thought number, -1 for none.
int BubbleOf(uint32_t number) {
  if (number >= 40) return -1;
  if (number < 15) return static_cast<int>(number / 5);  // hungry, thirsty, pee
  if (number < 25) return 3;                             // buying things
  return static_cast<int>(number / 5) - 1;               // injured, tired, cost
}

bool IsTextureType(uint16_t type) { return type == kResourceTexture || type == kResourceTarga; }

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
  const int bubble = BubbleOf(number);
  return bubble >= 0 ? kBubblePaths[bubble] : nullptr;
}

int LoadThoughtBubbleTextures(CResourceTable* table) {
  int loaded = 0;
  g_bubbleTable = table;
  for (int i = 0; i < kBubbleCount; ++i) {
    g_bubbleIndex[i] = -1;
    const int index = table != nullptr ? table->FindByName(kBubblePaths[i]) : -1;
    if (index < 0 || !IsTextureType(table->GetType(index)) || table->GetResource(index) == nullptr) continue;
    g_bubbleIndex[i] = index;
    ++loaded;
  }
  if (loaded < kBubbleCount)
    DebugPrintf("ThoughtTexts: %d of %d thought bubble textures could not be loaded; those thoughts show no bubble\n",
                kBubbleCount - loaded, kBubbleCount);
  return loaded;
}

CTexture* GetBubbleTextureObject(CResourceTable& table, uint32_t number) {
  const int bubble = BubbleOf(number);
  const int index = bubble >= 0 && &table == g_bubbleTable ? g_bubbleIndex[bubble] : -1;
  if (index < 0 || !IsTextureType(table.GetType(index))) return nullptr;
  return static_cast<CTexture*>(table.GetResource(index));
}

}  // namespace thoughts
