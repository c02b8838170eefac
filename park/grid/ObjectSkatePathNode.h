// CObjectSkatePathNode: a path node on a placed piece, made from one "skatenode" text of the
// piece's mesh: where a skater can stand, start a trick, queue or be served.
#pragma once

#include <cstdint>
#include <vector>

#include "core/data/ByteCursor.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"
#include "park/grid/PathEdgeInfo.h"
#include "park/grid/SkatePathNode.h"

class CObjectSkatePathNode : public CSkatePathNode {
 public:
  // Piece nodes are numbered from here up, above every square of the largest grid.
  static constexpr uint32_t kFirstPieceNodeId = 1u << 20;
  // The saved node record, little-endian:
  //   u32 version (1), u32 node id, u32 ring-next node id, u32 number, u32 kind,
  //   u8 flags (1 external, 2 line, 4 action), 9 x f32 attach rotation (rows),
  //   3 x f32 attach position, 3 x f32 world position, u32 reserving skater id.
  static constexpr uint32_t kRecordVersion = 1;
  static constexpr size_t kRecordSize = 4 * 5 + 1 + 4 * 15 + 4;

  CObjectSkatePathNode() = default;

  // A fresh park-wide id; ids of loaded nodes are passed to NoteUsedId so new ones stay above them.
  static uint32_t AllocateId();
  static void NoteUsedId(uint32_t id);
  // Starts the ids afresh; only for a cleared world, where no piece node is left. A new park then
  // numbers its nodes as any other new park does, so a seed reproduces its saved files too.
  static void ResetIds();

  bool HasRingPreference() const override { return external; }

  void Save(std::vector<uint8_t>& out) const;
  // Reads one record; false (logged) when it is cut short or of another version. The ring-next
  // id is kept as the saved ring id until the links are resolved.
  bool Load(CByteCursor& in);

  TMatrix attachRotation;
  Vector3 attachPosition;
  int number = 0;
  uint32_t kind = 0;
  bool external = false;
  bool line = false;
  bool action = false;
};

// A link between two nodes of one piece.
struct SectionLink {
  CObjectSkatePathNode* from = nullptr;  // nodes of the same piece: they live as long as the link
  CObjectSkatePathNode* to = nullptr;
  PathEdgeInfo edge{0.0f, 4, 0};        // difficulty and type; the search reads it as the edge
  uint32_t number = 0;                  // given by the saved-game writer
  uint32_t savedFrom = CSkatePathNode::kNone;
  uint32_t savedTo = CSkatePathNode::kNone;
};

// Difficulty (0..1) of a link of that type between the two positions, from its geometry.
float ComputeLinkDifficulty(uint32_t type, const Vector3& from, const Vector3& to);
