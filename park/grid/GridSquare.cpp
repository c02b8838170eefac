#include "park/grid/GridSquare.h"

#include <algorithm>

#include "core/world/GameObject.h"
#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "park/grid/Grid.h"

void CGridSquare::Place(CGrid* grid, int column, int row, uint32_t index, const Vector3& corner) {
  m_grid = grid;
  m_column = column;
  m_row = row;
  SetNodeId(index);
  SetPosition(corner);
  RefreshBlocked();
}

void CGridSquare::AddObjectId(uint32_t id) {
  m_objectIds.push_back(id);
  ListChanged();
}

void CGridSquare::RemoveObjectId(uint32_t id) {
  auto it = std::find(m_objectIds.begin(), m_objectIds.end(), id);
  if (it == m_objectIds.end()) return;
  m_objectIds.erase(it);
  ListChanged();
}

void CGridSquare::SetObjectIds(std::vector<uint32_t> ids) {
  m_objectIds = std::move(ids);
  ListChanged();
}

void CGridSquare::ListChanged() {
  RefreshBlocked();
  if (m_grid != nullptr) m_grid->NoteOccupationChanged(*this);
}

void CGridSquare::RefreshBlocked() {
  // Count what is not the terrain rather than the list's length: a park whose terrain has no
  // section yet must still see its pieces.
  const uint32_t terrain = m_grid != nullptr ? m_grid->GetTerrainId() : kNone;
  m_blocked = std::any_of(m_objectIds.begin(), m_objectIds.end(), [terrain](uint32_t id) { return id != terrain; });
}

void CGridSquare::RemoveListedObjects() const {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr) return;
  for (uint32_t id : m_objectIds)
    if (CGameObject* object = world->GetObjectByID(id)) object->MarkForRemoval();
}

bool CGridSquare::HasReservedNeighbour() const {
  if (m_grid == nullptr) return false;
  for (int dr = -1; dr <= 1; ++dr)
    for (int dc = -1; dc <= 1; ++dc) {
      if (dc == 0 && dr == 0) continue;
      const CGridSquare* s = m_grid->GetSquare(m_column + dc, m_row + dr);
      if (s != nullptr && s->IsReserved()) return true;
    }
  return false;
}

void CGridSquare::Draw(CSceneDrawInterface& view, uint32_t colour) const {
  if (m_grid != nullptr) m_grid->DrawSquare(view, m_column, m_row, colour);
}
