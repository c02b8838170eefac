// SphereTreeSweepQueue: the shared breadth-first queue of node triples for the swept sphere-tree walk.
#pragma once

#include <cstddef>
#include <vector>

struct SphereTreeNode;

// One node of the tree as the walk sees it: the model node (centre in the body's frame) and
// the two working nodes that cache its world centre at the start and at the end pose.
struct SphereTreeSweepTriple {
  const SphereTreeNode* model;
  SphereTreeNode* start;
  SphereTreeNode* end;
};

// One queue for the whole run, so that walks reuse its storage instead of allocating per
// query; walks therefore must not nest.
class SphereTreeSweepQueue {
 public:
  static SphereTreeSweepQueue& Shared();

  void Clear() { m_triples.clear(); }
  void Push(const SphereTreeSweepTriple& triple) { m_triples.push_back(triple); }
  size_t Size() const { return m_triples.size(); }
  // By value: a push during the walk may move the storage.
  SphereTreeSweepTriple At(size_t i) const { return m_triples[i]; }

 private:
  std::vector<SphereTreeSweepTriple> m_triples;
};
