// DemoContentInstantPark: the park instant action starts with - pieces of most demo kinds and a
// stand of every facility kind placed on the demo level's own grid, saved as a saved game beside
// the level so that the game's start routine loads it like any other.
#pragma once

#include <string>
#include <vector>

#include "core/math/Vector3.h"

class CGrid;
class CVerezIvor;

namespace DemoContent {

// One placed piece: the catalog item's name and the grid corner (column, row) its footprint's
// lower-left corner stands on.
struct InstantPiece {
  const char* item;
  int column, row;
};
// The skatable pieces first, then the facilities.
std::vector<InstantPiece> InstantParkLayout();

// Where the park camera looks at the start: past the layout's middle, so that the build palette on
// the left of the screen leaves the pieces in view.
Vector3 InstantParkFocus(const CGrid& grid);

// Places the layout in a park that has the demo level, its grid and the catalogs loaded (the game's
// level loader does that): every piece through the park's own placement, each footprint on free,
// buildable, level squares. False (logged) when an item is missing, a footprint does not fit, or
// an external path node of a piece does not join a grid square reachable from the entrance.
bool PlaceInstantPark(CVerezIvor& park);

// Loads the demo level below dataFolder with the game's level loader, places the layout with the
// instant-action money and writes the park with the saved-game writer to the level folder's
// instant-action file. dataFolder must be named "data" (the game reads its data from there) and
// hold the demo meshes, level and catalogs already; the park built here is the world singleton
// while it lasts, so no other world may be in use meanwhile. False (logged) on any failure.
bool WriteInstantActionPark(const std::string& dataFolder);

}  // namespace DemoContent
