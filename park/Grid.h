// CGrid: the park's build grid. So far it holds its squares and the list of entrance squares that
// arrivals pick from; set-up from the terrain and the path search come with the grid itself.
#pragma once

#include <vector>

#include "park/GridSquare.h"

class CGrid {
 public:
  CGrid() = default;
  virtual ~CGrid() = default;
  CGrid(const CGrid&) = delete;
  CGrid& operator=(const CGrid&) = delete;

  const std::vector<CGridSquare*>& GetEntrances() const { return m_entrances; }
  // square: owned by the grid's square array (or the caller for the life of the grid).
  void AddEntrance(CGridSquare* square) { m_entrances.push_back(square); }

 private:
  std::vector<CGridSquare*> m_entrances;
};
