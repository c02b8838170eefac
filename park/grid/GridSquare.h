// CGridSquare: one cell of the park's build grid and, as a path node, the cell's lower-left
// corner point: what the terrain allows there and which placed pieces cover it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Vector3.h"
#include "park/grid/SkatePathNode.h"

class CGrid;
class CSceneDrawInterface;

class CGridSquare : public CSkatePathNode {
 public:
  CGridSquare() = default;
  // Set once by the owning grid.
  void Place(CGrid* grid, int column, int row, uint32_t index, const Vector3& corner);

  int GetColumn() const { return m_column; }
  int GetRow() const { return m_row; }
  CGrid* GetGrid() const { return m_grid; }

  // --- Occupation ---
  // Every change of the list is told to the grid, which keeps the moves around it from a search
  // to the next.
  void AddObjectId(uint32_t id);
  void RemoveObjectId(uint32_t id);
  // The i-th listed id; kNone past the end.
  uint32_t GetObjectId(size_t i) const { return i < m_objectIds.size() ? m_objectIds[i] : kNone; }
  const std::vector<uint32_t>& GetObjectIds() const { return m_objectIds; }
  void SetObjectIds(std::vector<uint32_t> ids);
  // A placed piece covers the cell: an id other than the grid's terrain section is listed.
  bool IsBlocked() const { return m_blocked; }
  // Works out IsBlocked again; the grid calls it when its terrain section changes.
  void RefreshBlocked();
  // Marks every listed object (the terrain's section included) for removal by the world.
  void RemoveListedObjects() const;
  // Another skater holds a square of the 3 x 3 block around this one.
  bool HasReservedNeighbour() const;

  // Debug overlay: the square's two triangles in the colour.
  void Draw(CSceneDrawInterface& view, uint32_t colour) const;

  // Terrain classification; fixed once the grid is set up.
  uint8_t buildable = 1;
  uint8_t skateable = 1;
  uint8_t entrance = 0;
  uint8_t exit = 0;
  uint8_t nearPiece = 0;  // kept by the controller; saved with the game
  uint8_t grass = 0;
  uint8_t flat = 0;
  uint8_t directionMask = 0;  // bit d: the terrain allows the move in direction d
  Vector3 centre;             // the cell's centre at ground height

 private:
  void ListChanged();

  std::vector<uint32_t> m_objectIds;
  bool m_blocked = false;  // kept with the list: searches ask it for every move they look at
  CGrid* m_grid = nullptr;
  int m_column = 0;
  int m_row = 0;
};
