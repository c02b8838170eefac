// CNodeReserver: what a path node asks of the object (a skater) that holds it reserved.
#pragma once

#include <cstdint>

class CNodeReserver {
 public:
  virtual ~CNodeReserver() = default;
  // The node with this id is going away: the reserver must forget it (nodes are named by id, so
  // nothing dangles; this only keeps the reserver's bookkeeping true).
  virtual void ReleaseReservedNode(uint32_t nodeId) = 0;
};
