// DemoContentLevelSkeleton: the demo level's "skeleton.bin", written with the octree's own writer
// under the identity of the level's terrain mesh file: the cells of the level's octree once the
// instant-action park stands in it, folded as a level load folds its tree, so that a load of the
// level has cells ready wherever the park's pieces go.
#pragma once

#include <string>

namespace DemoContent {

// Loads the written demo level below dataFolder (which must be named "data" and hold the demo
// meshes and catalogs) with the game's level loader, places the instant-action layout, and writes
// the tree's cells to the level folder. The park built here is the world singleton while it lasts,
// so no other world may be in use meanwhile. False (logged) on any failure.
bool WriteLevelSkeleton(const std::string& dataFolder);

}  // namespace DemoContent
