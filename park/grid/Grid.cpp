#include "park/grid/Grid.h"

#include <algorithm>
#include <cmath>

#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "park/grid/PathLinkOwner.h"

namespace {
// The cell of a coordinate given in cells; far outside (not an overflow) for NaN or huge values.
int CellOf(float cells) {
  if (!(cells > -1.0e6f && cells < 1.0e6f)) return cells > 0.0f ? 1 << 30 : -(1 << 30);
  return static_cast<int>(std::floor(cells));
}

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }
}  // namespace

CGrid::CGrid(int columns, int rows, const Vector3& origin, float squareWidth, float squareDepth)
    : m_origin(origin),
      m_columns(Clamp(columns, 1, kMaxSide)),
      m_rows(Clamp(rows, 1, kMaxSide)),
      m_squareWidth(squareWidth > 0.0f ? squareWidth : 1.0f),
      m_squareDepth(squareDepth > 0.0f ? squareDepth : 1.0f),
      m_squares(new CGridSquare[static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows)]),
      m_clearMoves(new ClearMoves[static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows)]()) {
  for (int r = 0; r < m_rows; ++r)
    for (int c = 0; c < m_columns; ++c) {
      const uint32_t index = static_cast<uint32_t>(r * m_columns + c);
      m_squares[index].Place(this, c, r, index, GetSquareCorner(c, r));
    }
}

CGrid::~CGrid() = default;

CGridSquare* CGrid::GetSquare(int column, int row) const {
  if (column < 0 || column >= m_columns || row < 0 || row >= m_rows) return nullptr;
  return &m_squares[static_cast<size_t>(row * m_columns + column)];
}

CGridSquare* CGrid::GetSquareByIndex(int index) const {
  if (index < 0 || index >= GetSquareCount()) return nullptr;
  return &m_squares[static_cast<size_t>(index)];
}

CGridSquare* CGrid::GetSquareAtFloat(float column, float row) const { return GetSquare(CellOf(column), CellOf(row)); }

CGridSquare* CGrid::GetSquareNearPoint(float x, float y) const {
  return GetSquare(CellOf((x - m_origin.x + 0.5f) / m_squareWidth), CellOf((y - m_origin.y + 0.5f) / m_squareDepth));
}

GridCell CGrid::GetCellClamped(float x, float y) const {
  return GridCell{Clamp(CellOf((x - m_origin.x) / m_squareWidth), 0, m_columns - 1),
                  Clamp(CellOf((y - m_origin.y) / m_squareDepth), 0, m_rows - 1)};
}

CGridSquare* CGrid::GetSquareClamped(float x, float y) const {
  const GridCell cell = GetCellClamped(x, y);
  return GetSquare(cell.column, cell.row);
}

Vector3 CGrid::GetSquareCentre(int column, int row) const {
  return Vector3((static_cast<float>(column) + 0.5f) * m_squareWidth + m_origin.x,
                 (static_cast<float>(row) + 0.5f) * m_squareDepth + m_origin.y, m_origin.z);
}

Vector3 CGrid::GetSquareCentre(int index) const { return GetSquareCentre(index % m_columns, index / m_columns); }

Vector3 CGrid::GetSquareCorner(int column, int row) const {
  return Vector3(static_cast<float>(column) * m_squareWidth + m_origin.x,
                 static_cast<float>(row) * m_squareDepth + m_origin.y, m_origin.z);
}

Vector3 CGrid::GetSquareCorner(int index) const { return GetSquareCorner(index % m_columns, index / m_columns); }

bool CGrid::SnapToBlock(float x, float y, int n, Vector3& out) const {
  if (n <= 0) return false;
  auto snap = [n](int cell) { return cell - ((cell % n) + n) % n; };
  const int column = Clamp(snap(CellOf((x - m_origin.x) / m_squareWidth)), 0, m_columns - 1);
  const int row = Clamp(snap(CellOf((y - m_origin.y) / m_squareDepth)), 0, m_rows - 1);
  out = GetSquare(column, row)->GetPosition();
  return true;
}

int CGrid::CountUnbuildable() const {
  int count = 0;
  for (int i = 0; i < GetSquareCount(); ++i) count += m_squares[static_cast<size_t>(i)].buildable == 0 ? 1 : 0;
  return count;
}

bool CGrid::IsCornerWalkable(const CGridSquare& square) const {
  for (int dr = -1; dr <= 0; ++dr)
    for (int dc = -1; dc <= 0; ++dc) {
      const CGridSquare* s = GetSquare(square.GetColumn() + dc, square.GetRow() + dr);
      if (s == nullptr || s->IsBlocked() || s->skateable == 0) return false;
    }
  return true;
}

void CGrid::SetTerrainId(uint32_t id) {
  m_terrainId = id;
  // Which ids block a square changed everywhere.
  for (int i = 0; i < GetSquareCount(); ++i) {
    m_squares[static_cast<size_t>(i)].RefreshBlocked();
    m_clearMoves[static_cast<size_t>(i)].known = false;
  }
}

void CGrid::NoteOccupationChanged(const CGridSquare& square) {
  // The squares that look at this one for clearance lie from one behind it to two ahead.
  const int c = square.GetColumn(), r = square.GetRow();
  for (int row = std::max(r - kClearanceAhead, 0); row <= std::min(r + kClearanceBehind, m_rows - 1); ++row)
    for (int column = std::max(c - kClearanceAhead, 0); column <= std::min(c + kClearanceBehind, m_columns - 1);
         ++column)
      m_clearMoves[static_cast<size_t>(row * m_columns + column)].known = false;
}

void CGrid::CollectGates() {
  m_entrances.clear();
  m_exits.clear();
  for (int i = 0; i < GetSquareCount(); ++i) {
    CGridSquare* s = &m_squares[static_cast<size_t>(i)];
    if (s->entrance != 0) m_entrances.push_back(s);
    if (s->exit != 0) m_exits.push_back(s);
  }
}

void CGrid::AddPiece(uint32_t pieceId) {
  if (pieceId != kNone && std::find(m_pieceIds.begin(), m_pieceIds.end(), pieceId) == m_pieceIds.end())
    m_pieceIds.push_back(pieceId);
}

void CGrid::RemovePiece(uint32_t pieceId) {
  m_pieceIds.erase(std::remove(m_pieceIds.begin(), m_pieceIds.end(), pieceId), m_pieceIds.end());
}

CPathLinkOwner* CGrid::FindPiece(uint32_t pieceId) const {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? dynamic_cast<CPathLinkOwner*>(world->GetObjectByID(pieceId)) : nullptr;
}

CSkatePathNode* CGrid::FindNode(uint32_t nodeId) const {
  if (nodeId == kNone) return nullptr;
  if (nodeId < static_cast<uint32_t>(GetSquareCount())) return &m_squares[nodeId];
  for (uint32_t id : m_pieceIds)
    if (CPathLinkOwner* piece = FindPiece(id))
      if (CSkatePathNode* node = piece->FindPathNode(nodeId)) return node;
  return nullptr;
}
