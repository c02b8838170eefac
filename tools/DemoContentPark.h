// DemoContentPark: a small park laid out in memory from the demo pieces, whole enough to live in:
// ground under the grid, the generated boarder for the skaters' bodies, an entrance and an exit,
// the demo pieces on square corners and a stand of every facility type. One entry is boxed in
// between two pieces and one funbox is set half a square off so that its entries join nothing,
// for the connectivity report and its checks. The headless runner and its digest run it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/math/Box.h"
#include "park/pieces/ObjectDefinition.h"
#include "scene/mesh/ShadedMesh.h"

class CVerezIvor;

namespace DemoContent {

// What the park's pieces refer to; it must outlive them (see BuildDemoPark).
struct DemoPark {
  std::unique_ptr<ShadedMesh> boarder;              // every skater's body while the park lasts
  std::unique_ptr<ShadedMesh> ground;               // the terrain under the grid
  std::vector<std::unique_ptr<ShadedMesh>> meshes;  // one per demo piece, in PieceSpecs order
  std::vector<std::unique_ptr<ObjectDefinition>> definitions;
  std::vector<uint32_t> pieceIds;  // in placement order
  uint32_t offsetPieceId = 0;      // the funbox half a square off
};

// Gives the park its world box (DemoParkWorldBox), ground and a 24 x 24 grid entered at square
// (1, 1) and left at (22, 22), and places the pieces through the park's own placement, which
// leaves the components and scores current. The section sources and the skaters' body mesh point
// at `out` until ReleaseDemoPark gives back the ones before; the park's objects must go before
// `out` does. False (logged) when a piece could not be built or placed.
bool BuildDemoPark(CVerezIvor& park, DemoPark& out);
void ReleaseDemoPark();
// The root box of the park's octree: the grid with a margin, from below the ground to 40 above.
Box DemoParkWorldBox();

}  // namespace DemoContent
