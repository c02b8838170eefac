// PieceFootprint: where a piece's footprint cells fall on the build grid. A piece's frame
// position is the outer corner of its footprint cell (0, 0): cell (column i, row j) covers the
// square under position + X x (i + 0.5) + Y x (j + 0.5) in square units, X and Y being the
// piece's own axes. Placing, keeping a held piece on the grid and the highlight all map cells
// this one way, so that what is checked is what gets occupied.
#pragma once

#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"

class CGrid;
struct ObjectDefinition;

struct FootprintCell {
  int column;
  int row;
  bool inside;  // the cell lies on the grid
};

// The occupied cells of the definition's footprint (a piece without a definition covers one
// cell), in row-major footprint order.
std::vector<FootprintCell> MapFootprintCells(const ObjectDefinition* definition, const COrientation& frame,
                                             const CGrid& grid);
// The world box (x and y; z from the frame's height) of the whole footprint rectangle, occupied
// or not.
Box FootprintRectangle(const ObjectDefinition* definition, const COrientation& frame, const CGrid& grid);
