// DemoContentPark: a small park laid out in memory from the demo pieces - open ground entered at
// one corner with most demo pieces placed on square corners, one entry boxed in between two
// pieces and one funbox set half a square off so that its entries join nothing - for the
// connectivity report and its checks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "park/pieces/ObjectDefinition.h"
#include "scene/mesh/ShadedMesh.h"

class CVerezIvor;

namespace DemoContent {

// What the park's pieces refer to; it must outlive them (see BuildDemoPark).
struct DemoPark {
  std::vector<std::unique_ptr<ShadedMesh>> meshes;  // one per demo piece, in PieceSpecs order
  std::vector<std::unique_ptr<ObjectDefinition>> definitions;
  std::vector<uint32_t> pieceIds;  // in placement order
  uint32_t offsetPieceId = 0;      // the funbox half a square off
};

// Gives the park a 24 x 24 grid of open ground entered at square (0, 0) and places the pieces
// through the park's own placement, which leaves the components and scores current. The section
// sources point at `out` until ReleaseDemoPark gives back the ones before; the park's pieces must
// go before `out` does.
// False (logged) when a piece could not be built or placed.
bool BuildDemoPark(CVerezIvor& park, DemoPark& out);
void ReleaseDemoPark();

}  // namespace DemoContent
