// The grid block of a saved game: per square its ring successor, near-piece flag, reservation and
// the ids of the pieces on it.
#include <algorithm>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/grid/PathLinkOwner.h"

namespace {
constexpr uint32_t kBlockVersion = 1;
// A square lists the terrain and the few pieces that overlap there; a count beyond this is a
// damaged file, not a park.
constexpr uint32_t kMaxIdsPerSquare = 256;

struct SquareRecord {
  uint32_t ringId = 0;
  uint8_t nearPiece = 0;
  uint32_t reservingSkaterId = 0;
  std::vector<uint32_t> ids;
};

bool ReadRecord(CByteCursor& in, SquareRecord& record) {
  uint32_t count = 0;
  if (!in.ReadU32(record.ringId) || !in.ReadU8(record.nearPiece) || !in.ReadU32(record.reservingSkaterId) ||
      !in.ReadU32(count))
    return false;
  if (count > kMaxIdsPerSquare || count > in.GetRemaining() / 4) return false;
  record.ids.resize(count);
  for (uint32_t& id : record.ids) in.ReadU32(id);
  return !in.HasFailed();
}
}  // namespace

void CGrid::Save(std::vector<uint8_t>& out) const {
  le::PutU32(out, kBlockVersion);
  le::PutU32(out, static_cast<uint32_t>(GetSquareCount()));
  for (int i = 0; i < GetSquareCount(); ++i) {
    const CGridSquare& s = m_squares[static_cast<size_t>(i)];
    le::PutU32(out, s.GetRingNext()->GetNodeId());
    out.push_back(s.nearPiece);
    le::PutU32(out, s.GetReservingSkaterId());
    le::PutU32(out, static_cast<uint32_t>(s.GetObjectIds().size()));
    for (uint32_t id : s.GetObjectIds()) le::PutU32(out, id);
  }
}

bool CGrid::Load(const uint8_t* data, size_t size, size_t* consumed) {
  CByteCursor in(data, size);
  if (consumed != nullptr) *consumed = 0;
  uint32_t version = 0;
  if (!in.ReadU32(version)) {
    DebugPrintf("CGrid: the grid block is cut short\n");
    return false;
  }
  if (version > kBlockVersion) {
    DebugPrintf("CGrid: grid block version %u is not known\n", version);
    if (consumed != nullptr) *consumed = in.GetPosition();
    return false;
  }
  uint32_t count = static_cast<uint32_t>(GetSquareCount());
  if (version == 1 && !in.ReadU32(count)) {
    DebugPrintf("CGrid: the grid block is cut short\n");
    return false;
  }
  // Parse every record before applying any, so that a damaged block leaves the squares as they were.
  std::vector<SquareRecord> records;
  records.reserve(std::min<size_t>(count, static_cast<size_t>(GetSquareCount())));
  for (uint32_t i = 0; i < count; ++i) {
    SquareRecord record;
    if (!ReadRecord(in, record)) {
      DebugPrintf("CGrid: square record %u of the grid block is damaged\n", i);
      return false;
    }
    if (i < static_cast<uint32_t>(GetSquareCount())) records.push_back(std::move(record));
  }
  for (size_t i = 0; i < records.size(); ++i) {
    CGridSquare& s = m_squares[i];
    s.SetSavedRingId(records[i].ringId);
    s.nearPiece = records[i].nearPiece;
    s.SetReservingSkaterId(records[i].reservingSkaterId);
    s.SetObjectIds(std::move(records[i].ids));
  }
  if (consumed != nullptr) *consumed = in.GetPosition();
  return true;
}

void CGrid::ResolveRings() {
  // The pieces are looked up once, not again for every square whose ring goes on to their nodes.
  std::vector<CPathLinkOwner*> pieces;
  for (uint32_t id : m_pieceIds)
    if (CPathLinkOwner* piece = FindPiece(id)) pieces.push_back(piece);
  auto find = [&](uint32_t nodeId) -> CSkatePathNode* {
    if (nodeId == kNone || nodeId < static_cast<uint32_t>(GetSquareCount())) return FindNode(nodeId);
    for (CPathLinkOwner* piece : pieces)
      if (CSkatePathNode* node = piece->FindPathNode(nodeId)) return node;
    return nullptr;
  };
  std::vector<CSkatePathNode*> squares;
  squares.reserve(static_cast<size_t>(GetSquareCount()));
  for (int i = 0; i < GetSquareCount(); ++i) {
    CGridSquare& s = m_squares[static_cast<size_t>(i)];
    s.SetLoadedRingNext(find(s.GetSavedRingId()));
    squares.push_back(&s);
  }
  const int cut = CSkatePathNode::CloseRings(squares);
  if (cut > 0) DebugPrintf("CGrid: %d saved rings did not close; those squares stand alone\n", cut);
}
