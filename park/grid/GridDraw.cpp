// Debug overlays of the grid: squares by state and the moves a square's corner allows.
#include "core/math/Box.h"
#include "park/grid/Grid.h"
#include "render/view/RenderDebug.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace {
// Just above the ground, so that the overlay is not lost in the terrain under it.
constexpr float kLift = 0.01f;
constexpr float kMarkerHalfSize = 0.05f;
constexpr float kMarkerAlong = 0.75f;

Vector3 Lifted(const Vector3& p) { return Vector3(p.x, p.y, p.z + kLift); }
}  // namespace

void CGrid::DrawSquare(CSceneDrawInterface& view, int column, int row, uint32_t colour) const {
  const CGridSquare* square = GetSquare(column, row);
  if (square == nullptr) return;
  const float z = square->GetPosition().z + kLift;
  const Vector3 low = GetSquareCorner(column, row);
  const Vector3 p00(low.x, low.y, z);
  const Vector3 p10(low.x + m_squareWidth, low.y, z);
  const Vector3 p01(low.x, low.y + m_squareDepth, z);
  const Vector3 p11(low.x + m_squareWidth, low.y + m_squareDepth, z);
  // Clockwise seen from above, as the terrain's own faces, so the overlay faces up.
  view.DrawTriangle3D(p00, p01, p11, colour, false);
  view.DrawTriangle3D(p00, p11, p10, colour, false);
}

void CGrid::DrawSquareDirections(CSceneDrawInterface& view, int column, int row, uint32_t colour) const {
  const CGridSquare* square = GetSquare(column, row);
  if (square == nullptr) return;
  const Vector3 from = Lifted(square->GetPosition());
  for (int d = 0; d < kDirections; ++d) {
    if ((square->directionMask & (1u << d)) == 0) continue;
    const CGridSquare* target = GetSquare(column + kNeighbour[d].column, row + kNeighbour[d].row);
    if (target == nullptr) continue;
    const Vector3 to = Lifted(target->GetPosition());
    view.DrawLine3D(from, to, colour);
    const Vector3 marker = from + (to - from) * kMarkerAlong;
    const Vector3 half(kMarkerHalfSize, kMarkerHalfSize, kMarkerHalfSize);
    DrawDebugBounds(view, Box(marker - half, marker + half), colour);
  }
}

void CGrid::DrawSquareStates(CSceneDrawInterface& view) const {
  for (int i = 0; i < GetSquareCount(); ++i) {
    const CGridSquare& s = m_squares[static_cast<size_t>(i)];
    if (s.skateable == 0)
      s.Draw(view, kUnskateableColour);
    else if (s.buildable == 0)
      s.Draw(view, kUnbuildableColour);
    else if (s.nearPiece != 0)
      s.Draw(view, kNearPieceColour);
  }
}
