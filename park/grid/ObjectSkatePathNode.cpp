#include "park/grid/ObjectSkatePathNode.h"

#include <algorithm>
#include <cmath>

#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"

namespace {
uint32_t g_nextNodeId = CObjectSkatePathNode::kFirstPieceNodeId;

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
}  // namespace

uint32_t CObjectSkatePathNode::AllocateId() { return g_nextNodeId++; }

void CObjectSkatePathNode::ResetIds() { g_nextNodeId = kFirstPieceNodeId; }

void CObjectSkatePathNode::NoteUsedId(uint32_t id) {
  if (id != kNone && id >= g_nextNodeId) g_nextNodeId = id + 1;
}

void CObjectSkatePathNode::Save(std::vector<uint8_t>& out) const {
  le::PutU32(out, kRecordVersion);
  le::PutU32(out, GetNodeId());
  le::PutU32(out, GetRingNext()->GetNodeId());
  le::PutU32(out, static_cast<uint32_t>(number));
  le::PutU32(out, kind);
  out.push_back(static_cast<uint8_t>((external ? 1 : 0) | (line ? 2 : 0) | (action ? 4 : 0)));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) le::PutF32(out, attachRotation.m[r][c]);
  for (int c = 0; c < 3; ++c) le::PutF32(out, attachPosition[c]);
  for (int c = 0; c < 3; ++c) le::PutF32(out, GetPosition()[c]);
  le::PutU32(out, GetReservingSkaterId());
}

bool CObjectSkatePathNode::Load(CByteCursor& in) {
  uint32_t version = 0, id = 0, ringId = 0, num = 0, kindWord = 0, skater = 0;
  uint8_t flags = 0;
  float f[15] = {};
  if (!in.ReadU32(version) || version != kRecordVersion) {
    DebugPrintf("SkatePathNode: node record of unknown version or cut short\n");
    return false;
  }
  in.ReadU32(id);
  in.ReadU32(ringId);
  in.ReadU32(num);
  in.ReadU32(kindWord);
  in.ReadU8(flags);
  for (float& v : f) in.ReadF32(v);
  in.ReadU32(skater);
  if (in.HasFailed() || id < kFirstPieceNodeId || id == kNone) {
    DebugPrintf("SkatePathNode: node record cut short or with a bad id\n");
    return false;
  }
  SetNodeId(id);
  NoteUsedId(id);
  SetSavedRingId(ringId);
  number = static_cast<int>(num);
  kind = kindWord;
  external = (flags & 1) != 0;
  line = (flags & 2) != 0;
  action = (flags & 4) != 0;
  for (int r = 0; r < 3; ++r) attachRotation.m[r].Set(f[3 * r], f[3 * r + 1], f[3 * r + 2]);
  attachPosition.Set(f[9], f[10], f[11]);
  SetPosition(Vector3(f[12], f[13], f[14]));
  SetReservingSkaterId(skater);
  return true;
}

float ComputeLinkDifficulty(uint32_t type, const Vector3& from, const Vector3& to) {
  const float dx = to.x - from.x, dy = to.y - from.y;
  const float d = std::sqrt(dx * dx + dy * dy);
  const float h = to.z - from.z;
  if (d == 0.0f) return 0.0f;
  switch (type) {
    case kLinkAir: return Clamp01(d * 0.125f);
    case kLinkFreeAir: return 1.0f;
    case kLinkOllie: return Clamp01((h > 0.0f ? d + h : d) * 0.25f);
    case kLinkSkate:
    case kLinkSkateToTop:
    case kLinkGrindLeft:
    case kLinkGrindRight: return Clamp01(std::atan(std::fabs(h / d)) * 0.63661975f);
    default: return 0.0f;
  }
}
