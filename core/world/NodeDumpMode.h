// CNodeDumpMode: debugging layer that writes the world octree's cells, depth by depth, to
// "NodeDump.txt" and a per-depth summary to "OTLList.txt" on its first tick, then leaves the stack.
#pragma once

#include <string>

#include "core/world/GameActionLayer.h"

struct COctreeNode;

class CNodeDumpMode : public CGameActionLayer {
 public:
  CNodeDumpMode();
  ~CNodeDumpMode() override;

  void Update(float dt) override;

  // The text of both files for the tree under root (breadth first, one block per cell).
  static void BuildDump(const COctreeNode* root, std::string* nodeText, std::string* layerText);

 private:
  bool m_done = false;
};

// True while a dump layer exists.
bool IsNodeDumpActive();
