// CGrid: the park's build grid - the squares over the terrain, their occupation and rings, the
// grid block of saved games, and the walk-and-skate graph over squares and piece links.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Vector3.h"
#include "park/grid/DirectedGraph.h"
#include "park/grid/GridSquare.h"
#include "park/grid/PathEdgeInfo.h"
#include "park/grid/PathSkills.h"

class CMeshInstance;
class COctree;
class CSceneDrawInterface;
class CPathLinkOwner;
class CVerezIvor;
class ShadedMesh;

struct GridCell {
  int column;
  int row;
};

class CGrid : public CDirectedGraph {
 public:
  static constexpr int kDirections = 8;
  static constexpr int kClearanceCells = 7;
  static constexpr int kMaxSide = 1024;
  static constexpr uint32_t kNone = CSkatePathNode::kNone;
  // Neighbour offset of each direction (0-3 straight, 4-7 diagonal) and the cells that must be
  // clear beside the move; see GridDirections.cpp.
  static const GridCell kNeighbour[kDirections];
  static const GridCell kClearance[kDirections][kClearanceCells];

  // Sides are clamped to 1..kMaxSide; square sizes that are not positive become 1.
  CGrid(int columns, int rows, const Vector3& origin, float squareWidth, float squareDepth);
  ~CGrid() override;

  // --- Geometry ---
  GridCell GetSize() const { return GridCell{m_columns, m_rows}; }
  int GetSquareCount() const { return m_columns * m_rows; }
  const Vector3& GetOrigin() const { return m_origin; }
  float GetSquareWidth() const { return m_squareWidth; }
  float GetSquareDepth() const { return m_squareDepth; }
  CGridSquare* GetSquare(int column, int row) const;
  CGridSquare* GetSquareByIndex(int index) const;
  // The square containing the point (x, y) given in cells from the origin.
  CGridSquare* GetSquareAtFloat(float column, float row) const;
  // The square whose corner point lies nearest to the world point; null outside.
  CGridSquare* GetSquareNearPoint(float x, float y) const;
  // The square containing the world point, clamped into the grid; never null.
  CGridSquare* GetSquareClamped(float x, float y) const;
  GridCell GetCellClamped(float x, float y) const;
  Vector3 GetSquareCentre(int column, int row) const;
  Vector3 GetSquareCentre(int index) const;
  Vector3 GetSquareCorner(int column, int row) const;
  Vector3 GetSquareCorner(int index) const;
  // The corner point of the square at the start of the n x n block holding the world point (the
  // block counted from the origin, clamped into the grid). False for n <= 0.
  bool SnapToBlock(float x, float y, int n, Vector3& out) const;
  int CountUnbuildable() const;
  bool IsCornerWalkable(const CGridSquare& square) const;

  // --- Occupation and gates ---
  // The terrain's own section, listed by every square; it never blocks a square.
  uint32_t GetTerrainId() const { return m_terrainId; }
  void SetTerrainId(uint32_t id);
  // Told by a square whenever its list of objects changes: the moves of the squares that look at
  // it for clearance are checked again on their next use.
  void NoteOccupationChanged(const CGridSquare& square);
  const std::vector<CGridSquare*>& GetEntrances() const { return m_entrances; }
  const std::vector<CGridSquare*>& GetExits() const { return m_exits; }
  void AddEntrance(CGridSquare* square) { m_entrances.push_back(square); }
  // Rebuilds both gate lists from the squares' flags, in index order.
  void CollectGates();

  // --- Pieces and nodes ---
  // Placed pieces whose path nodes join the graph, by object id (looked up in the world).
  void AddPiece(uint32_t pieceId);
  void RemovePiece(uint32_t pieceId);
  // Null for kNone, the square for ids below the square count, else a registered piece's node.
  CSkatePathNode* FindNode(uint32_t nodeId) const;

  // --- Graph ---
  void GetSuccessors(CGraphNode* node, SuccessorList& out) override;
  float EdgeCost(const CGraphNode* from, const CGraphNode* to, const void* edge) override;
  float Heuristic(const CGraphNode* node, const CGraphNode* goal) override;
  // The search with the skater's skills on the edge costs; null skills count as all zero.
  bool FindPathForSkater(const PathSkills* skills, CSkatePathNode* start, CSkatePathNode* goal, GraphPath* path);
  // Components from the entrance squares.
  void UpdateComponents();
  // In the component of the first entrance; false for every node of a grid without entrances.
  bool IsConnected(const CSkatePathNode& node) const;
  // The search takes a ring of co-located nodes as one place and gives a component to just one of
  // them, so a node's place is connected when any node of its ring is.
  bool IsRingConnected(const CSkatePathNode& node) const;
  const PathEdgeInfo& GetPlainEdge() const { return m_plainEdge; }
  const PathEdgeInfo& GetGrassEdge() const { return m_grassEdge; }

  // --- Saved game block ---
  void Save(std::vector<uint8_t>& out) const;
  // Reads a block at data; false (logged) for a block that is cut short or of an unknown version.
  // *consumed receives the bytes read. Records beyond the grid are read past, not applied.
  bool Load(const uint8_t* data, size_t size, size_t* consumed);
  // After every block is loaded: links each square to its saved ring successor; links that name
  // no node, and chains that never close, leave the square alone in a ring.
  void ResolveRings();

  // --- Debug drawing (GridDraw.cpp) ---
  // The square as two flat triangles just above its corner point; nothing outside the grid.
  void DrawSquare(CSceneDrawInterface& view, int column, int row, uint32_t colour) const;
  // The moves the terrain allows from the square's corner: a line to each neighbour's corner,
  // with a small box three quarters along it showing which way the move goes.
  void DrawSquareDirections(CSceneDrawInterface& view, int column, int row, uint32_t colour) const;
  // Every square that cannot be skated, cannot be built on or lies near a piece, in that order
  // of precedence, each state in its own colour.
  void DrawSquareStates(CSceneDrawInterface& view) const;
  static constexpr uint32_t kUnskateableColour = 0xFFFF0000u;
  static constexpr uint32_t kUnbuildableColour = 0xFFFFFF00u;
  static constexpr uint32_t kNearPieceColour = 0xFF0000FFu;

  // --- Set-up from the terrain (GridSetup.cpp) ---
  // Attach-point types of the terrain mesh the set-up reads.
  static constexpr uint32_t kAttachGridOrigin = 50000;  // text naming "gridorigin", columns and rows
  static constexpr uint32_t kAttachCacheKey = 50002;    // 16 bytes heading "grid_data.bin"
  static constexpr uint32_t kAttachRegion = 50003;      // six floats (a box about the point), then text
  // Level start: the park's grid from the first terrain instance with a grid origin, classified or
  // taken from the level folder's "grid_data.bin" (which is rewritten when stale), components
  // computed. Null (logged) when no terrain instance names a grid origin; the park then has none.
  static CGrid* InitFromTerrain(CVerezIvor& park);
  // The grid the terrain's "gridorigin" point describes, unclassified; null when it has none.
  static std::unique_ptr<CGrid> CreateFromTerrain(CMeshInstance& terrain);
  // The square count of the grid CreateFromTerrain makes for a terrain of this mesh; 0 when the
  // mesh names no grid origin.
  static int SquareCountOf(const ShadedMesh& terrain);
  // The terrain fields of every square: heights and flatness from vertical rays through the
  // octree's root box against its terrain objects, the terrain's regions, the gate lists, the
  // clearance around gates, corner heights and direction masks.
  void ClassifySquares(COctree& octree, CMeshInstance& terrain);

  // --- Terrain cache ("grid_data.bin" after its key) ---
  // The cache body from the version word on.
  void WriteCache(std::vector<uint8_t>& out) const;
  // Takes the terrain fields of every square from a body of version 0 or 1 whose size and grid
  // size match exactly; false (squares untouched) otherwise. Rebuilds the gate lists.
  bool ReadCache(const uint8_t* data, size_t size);

 private:
  void ApplyRegions(CMeshInstance& terrain);
  void ClearAroundGates();
  // A corner stands as high as the highest of the four centres around it.
  void RaiseCorners();
  bool IsMoveAllowed(const CGridSquare& square, int direction) const;
  void AddSquareSuccessors(const CGridSquare& square, SuccessorList& out);
  // The moves from the square of that index (bit d for direction d) whose neighbour lies in the
  // grid and whose clearance squares let it through; the terrain's direction mask is not applied.
  // Kept per square until the occupation of one of its clearance squares changes.
  uint8_t GetClearMoves(size_t index);
  // Every clearance offset lies from kClearanceBehind squares behind to kClearanceAhead ahead, on
  // both axes.
  static constexpr int kClearanceBehind = 2;
  static constexpr int kClearanceAhead = 1;
  uint8_t ComputeClearMoves(int column, int row) const;
  void AddPieceSuccessors(const CSkatePathNode& node, SuccessorList& out) const;
  CPathLinkOwner* FindPiece(uint32_t pieceId) const;

  std::vector<CGridSquare*> m_entrances;
  std::vector<CGridSquare*> m_exits;
  const PathSkills* m_searchSkills = nullptr;  // only while FindPathForSkater runs
  Vector3 m_origin;
  int m_columns;
  int m_rows;
  float m_squareWidth;
  float m_squareDepth;
  std::unique_ptr<CGridSquare[]> m_squares;
  PathEdgeInfo m_plainEdge{0.2f, kLinkSkate, 0};
  PathEdgeInfo m_grassEdge{0.5f, kLinkWalk, 1};
  uint32_t m_terrainId = kNone;
  std::vector<uint32_t> m_pieceIds;
  struct ClearMoves {
    uint8_t moves;
    bool known;
  };
  std::unique_ptr<ClearMoves[]> m_clearMoves;  // one per square
};
