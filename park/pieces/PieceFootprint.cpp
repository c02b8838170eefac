#include "park/pieces/PieceFootprint.h"

#include <algorithm>
#include <cmath>

#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"

namespace {
int Side(int value) { return std::max(1, std::min(value, ObjectDefinition::kMaxFootprint)); }

// Far outside (not an overflow) for NaN or huge values.
int CellOf(float cells) {
  if (!(cells > -1.0e6f && cells < 1.0e6f)) return cells > 0.0f ? 1 << 30 : -(1 << 30);
  return static_cast<int>(std::floor(cells));
}

Vector3 CellPoint(const COrientation& frame, const CGrid& grid, float i, float j) {
  const Vector3& x = frame.GetXAxis();
  const Vector3& y = frame.GetYAxis();
  const float w = grid.GetSquareWidth(), d = grid.GetSquareDepth();
  return frame.GetPosition() + x * (i * w) + y * (j * d);
}
}  // namespace

std::vector<FootprintCell> MapFootprintCells(const ObjectDefinition* definition, const COrientation& frame,
                                             const CGrid& grid) {
  std::vector<FootprintCell> cells;
  const int width = definition != nullptr ? Side(definition->footprintWidth) : 1;
  const int length = definition != nullptr ? Side(definition->footprintLength) : 1;
  for (int j = 0; j < length; ++j)
    for (int i = 0; i < width; ++i) {
      if (definition != nullptr && definition->footprint[j][i] == 0) continue;
      const Vector3 p = CellPoint(frame, grid, static_cast<float>(i) + 0.5f, static_cast<float>(j) + 0.5f);
      const int column = CellOf((p.x - grid.GetOrigin().x) / grid.GetSquareWidth());
      const int row = CellOf((p.y - grid.GetOrigin().y) / grid.GetSquareDepth());
      cells.push_back(FootprintCell{column, row, grid.GetSquare(column, row) != nullptr});
    }
  return cells;
}

Box FootprintRectangle(const ObjectDefinition* definition, const COrientation& frame, const CGrid& grid) {
  const float width = static_cast<float>(definition != nullptr ? Side(definition->footprintWidth) : 1);
  const float length = static_cast<float>(definition != nullptr ? Side(definition->footprintLength) : 1);
  const Vector3 p = frame.GetPosition();
  Box box(p, p);
  for (int k = 1; k < 4; ++k)
    box.ExtendByPoint(CellPoint(frame, grid, (k & 1) ? width : 0.0f, (k & 2) ? length : 0.0f));
  return box;
}
