// CPathLinkOwner: what the grid's path search needs of a placed piece - the links of its path
// nodes and the lookup of its nodes by id. Sections implement it; the grid finds them by object id.
#pragma once

#include <cstdint>

#include "park/grid/DirectedGraph.h"

class CSkatePathNode;

class CPathLinkOwner {
 public:
  virtual ~CPathLinkOwner() = default;
  // Appends {ring representative of the link's target, the link's PathEdgeInfo} for every link of
  // the piece that starts at `from` or at a node of its ring.
  virtual void AppendLinkSuccessors(const CSkatePathNode* from, SuccessorList& out) = 0;
  // The piece's node with this park-wide id, or null.
  virtual CSkatePathNode* FindPathNode(uint32_t nodeId) = 0;
};
