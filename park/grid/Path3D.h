// C3DPath: a level's directed graph of points in space - named edges between nodes, filed in the
// world's octree by its bounds - that scripts ask for the nearest edge or node and walk edge by edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/math/Vector3.h"
#include "park/grid/DirectedGraph.h"
#include "platform/system/Win32.h"

// A node of a path: the search fields, the first edge of its outgoing ring and its place.
class CPathNode : public CGraphNode {
 public:
  int32_t firstEdge = -1;  // -1: no outgoing edge
  Vector3 position;
};

// One edge as the path record stores it (32 bytes).
struct PathEdgeRecord {
  uint32_t visitMark = 0;
  int32_t from = -1;      // -1: a deleted edge
  int32_t to = -1;
  int32_t opposite = -1;  // the edge from to back to from; -1 none
  int32_t next = -1;      // the from node's outgoing ring, both ways
  int32_t previous = -1;
  int32_t name = -1;      // index into the names; -1 none
  float length = 0.0f;
};

class C3DPath : public CDirectedGraph, public CBoundedObject {
 public:
  static constexpr uint32_t kVersion = 100;
  // Attach-point type of a level mesh whose data is a path record, placed at the point's position;
  // no other record uses it (a glow's is 10005).
  static constexpr uint32_t kAttachType = 10010;
  static constexpr uint32_t kBoundFlags = kPath | kRenderable;
  static constexpr size_t kHeaderSize = 36;     // version 100: with the GUID
  static constexpr size_t kOldHeaderSize = 16;  // path id, counts; no GUID
  static constexpr size_t kNodeRecordSize = 52;
  static constexpr size_t kEdgeRecordSize = 32;
  static constexpr float kNodeDrawReach = 10.0f;
  static constexpr float kNodeBoxSize = 0.5f;
  static constexpr uint32_t kGreen = 0xFF00FF00u;
  static constexpr uint32_t kBlue = 0xFF0000FFu;
  static constexpr uint32_t kRed = 0xFFFF0000u;

  // An empty path with a new GUID.
  C3DPath();
  ~C3DPath() override;

  // Reads a path record into private copies of its nodes, edges and names (the record holds the
  // nodes' search fields as another program's pointers, so it is never used in place). False
  // (logged, the path left empty) for a record cut short, with counts or indices out of range, a
  // position that is not a number, or an outgoing ring that does not close over its own node's
  // edges. The bounds become the box of the node positions.
  bool LoadFromData(const uint8_t* data, size_t size);
  void Translate(const Vector3& offset);

  // --- Graph ---
  // Per edge of the node's ring from its first edge: the edge's to node, with the edge's name (or
  // null) as the edge record.
  void GetSuccessors(CGraphNode* node, SuccessorList& out) override;
  float EdgeCost(const CGraphNode* from, const CGraphNode* to, const void* edge) override;
  float Heuristic(const CGraphNode* node, const CGraphNode* goal) override;

  // --- Queries ---
  // The live edge whose segment passes closest to the point (the first of equals); -1 for none.
  int FindNearestEdge(const Vector3& point) const;
  // The nearest node that has edges and is not excluded (the first of equals); -1 for none.
  // Indices in the exclusion list outside the path are ignored.
  int FindNearestNode(const Vector3& point, const std::vector<int>* exclude) const;
  // Edges in the node's outgoing ring; 0 without edges or for an index outside the path.
  int CountEdgesOfNode(int node) const;
  // The edge n steps along the node's ring from its first edge (n = 0 the first; the ring wraps);
  // -1 for a node without edges, an index outside the path or a negative n.
  int GetEdgeOfNode(int node, int n) const;

  // Bounds and edges in green; nodes with edges near the camera as wire boxes, blue, the selected
  // one red.
  void Render(CSceneDrawInterface* view) override;

  uint32_t GetVersion() const { return m_version; }
  uint32_t GetPathId() const { return m_pathId; }
  const GUID& GetGuid() const { return m_guid; }
  size_t GetNodeCount() const { return m_nodes.size(); }
  const CPathNode& GetNode(size_t i) const { return *m_nodes[i]; }
  CPathNode* GetNodePointer(size_t i) { return i < m_nodes.size() ? m_nodes[i].get() : nullptr; }
  const std::vector<PathEdgeRecord>& GetEdges() const { return m_edges; }
  const std::vector<std::string>& GetNames() const { return m_names; }
  // The edge's name, or null when its index lies outside the names.
  const char* GetEdgeName(int edge) const;
  int GetSelectedNode() const { return m_selectedNode; }
  void SetSelectedNode(int node) { m_selectedNode = node; }

 private:
  bool ReadRecord(const uint8_t* data, size_t size);
  bool CheckRings() const;
  void ComputeBounds();
  int IndexOf(const CGraphNode* node) const;

  uint32_t m_version = kVersion;
  uint32_t m_pathId = 0;
  GUID m_guid{};
  std::vector<std::unique_ptr<CPathNode>> m_nodes;
  std::vector<PathEdgeRecord> m_edges;
  std::vector<std::string> m_names;
  int m_selectedNode = -1;
};
