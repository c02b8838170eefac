// VisibilityMode: how the world's draw pass chooses from its octree the objects it hands to the renderer.
#pragma once

#include <cstdint>

// The value is kept as a plain word: any value outside these draws everything, like kAll.
enum class VisibilityMode : uint32_t {
  kAll = 0,            // every renderable object, unculled
  kCulled = 1,         // the view's volume, searched from the level's visibility records when it has them
  kRecordedCells = 2,  // every object of the cells the records list from the eye, without a volume test
  kCoarseCulled = 3,   // the view's volume from the root, one level less tested object by object
};
