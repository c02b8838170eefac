// The saved record of a placed section (after its kind byte), little-endian:
//   u32 version (0 or 1), i32 sponsorship index (version 1 only), u32 object id, u8 terrain flag,
//   12 x f32 world frame (X, Y, Z axis rows, then position), u16 definition index, f32 usage,
//   100 bytes name, u32 placed day, u32 placed week, u32 marker 0x36273829, u32 node count,
//   the node records (CObjectSkatePathNode), u32 marker 0xABA28271, u32 link count, and per link
//   u32 from node id, u32 to node id, f32 difficulty, u32 type, u32 number.
#include <cstring>
#include <memory>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "scene/mesh/MeshInstance.h"

namespace {
constexpr size_t kLinkRecordSize = 20;
constexpr uint16_t kNoDefinition = 0xFFFF;
}  // namespace

void CSkatableSection::Save(std::vector<uint8_t>& out) const {
  out.push_back(0);
  SaveBody(out);
}

void CSkatableSection::SaveBody(std::vector<uint8_t>& out) const {
  le::PutU32(out, kRecordVersion);
  le::PutU32(out, static_cast<uint32_t>(m_sponsorshipIndex));
  le::PutU32(out, GetID());
  out.push_back(m_terrain ? 1 : 0);
  const COrientation& frame = const_cast<CSkatableSection*>(this)->GetWorldMatrix();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) le::PutF32(out, frame.axes.m[r][c]);
  for (int c = 0; c < 3; ++c) le::PutF32(out, frame.position[c]);
  const uint16_t index = m_definition != nullptr ? m_definition->catalogNumber : kNoDefinition;
  out.push_back(static_cast<uint8_t>(index & 0xFF));
  out.push_back(static_cast<uint8_t>(index >> 8));
  le::PutF32(out, m_usage);
  out.insert(out.end(), m_name, m_name + sizeof(m_name));
  le::PutU32(out, m_placedDay);
  le::PutU32(out, m_placedWeek);
  le::PutU32(out, kNodeMarker);
  le::PutU32(out, static_cast<uint32_t>(m_nodes.size()));
  for (const auto& node : m_nodes) node->Save(out);
  le::PutU32(out, kLinkMarker);
  le::PutU32(out, static_cast<uint32_t>(m_links.size()));
  for (const SectionLink& link : m_links) {
    le::PutU32(out, link.from != nullptr ? link.from->GetNodeId() : link.savedFrom);
    le::PutU32(out, link.to != nullptr ? link.to->GetNodeId() : link.savedTo);
    le::PutF32(out, link.edge.difficulty);
    le::PutU32(out, link.edge.kind);
    le::PutU32(out, link.number);
  }
}

bool CSkatableSection::LoadBody(CByteCursor& in, uint32_t* savedId) {
  uint32_t version = 0;
  if (!in.ReadU32(version) || version > kRecordVersion) {
    DebugPrintf("SkatableSection: record of unknown version or cut short\n");
    return false;
  }
  uint32_t sponsorship = 0xFFFFFFFFu, id = 0;
  uint8_t terrain = 0;
  float f[12] = {};
  uint16_t index = 0;
  if (version == 1) in.ReadU32(sponsorship);
  in.ReadU32(id);
  in.ReadU8(terrain);
  for (float& v : f) in.ReadF32(v);
  in.ReadU16(index);
  if (in.HasFailed() || id == 0 || id == 0xFFFFFFFFu || terrain > 1) {
    DebugPrintf("SkatableSection: record cut short or with a bad id\n");
    return false;
  }
  COrientation frame;
  for (int r = 0; r < 3; ++r) frame.axes.m[r].Set(f[3 * r], f[3 * r + 1], f[3 * r + 2]);
  frame.position.Set(f[9], f[10], f[11]);
  const Sources& sources = GetSources();
  const ObjectDefinition* definition = nullptr;
  if (terrain == 0) {
    definition = sources.definition != nullptr ? sources.definition(index) : nullptr;
    if (definition == nullptr) {
      DebugPrintf("SkatableSection: definition %u no longer exists\n", static_cast<unsigned>(index));
      return false;
    }
    if (!InitFromMesh(frame, definition->mesh, false)) return false;
  } else {
    ShadedMesh* mesh = sources.terrainMesh != nullptr ? sources.terrainMesh() : nullptr;
    if (mesh == nullptr || !InitFromMeshData(frame, mesh, -1, true)) return false;
  }
  SetID(id);
  SetDefinition(definition, false);
  m_sponsorshipIndex = static_cast<int32_t>(sponsorship);
  // Saved pieces stand placed: drawn solid, not at the half alpha of a piece in hand.
  m_held = false;
  if (CMeshInstance* instance = GetMeshInstance()) instance->SetAlpha(1.0f, true);
  uint32_t marker = 0, count = 0;
  in.ReadF32(m_usage);
  in.ReadBytes(m_name, sizeof(m_name));
  m_name[sizeof(m_name) - 1] = '\0';
  in.ReadU32(m_placedDay);
  in.ReadU32(m_placedWeek);
  in.ReadU32(marker);
  in.ReadU32(count);
  if (in.HasFailed() || marker != kNodeMarker || count > in.GetRemaining() / CObjectSkatePathNode::kRecordSize) {
    DebugPrintf("SkatableSection: node block marker or count wrong\n");
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    auto node = std::make_unique<CObjectSkatePathNode>();
    if (!node->Load(in)) return false;
    node->SetOwnerPieceId(id);
    m_nodes.push_back(std::move(node));
  }
  DropPathNodeIndex();
  in.ReadU32(marker);
  in.ReadU32(count);
  if (in.HasFailed() || marker != kLinkMarker || count > in.GetRemaining() / kLinkRecordSize) {
    DebugPrintf("SkatableSection: link block marker or count wrong\n");
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    SectionLink link;
    in.ReadU32(link.savedFrom);
    in.ReadU32(link.savedTo);
    in.ReadF32(link.edge.difficulty);
    in.ReadU32(link.edge.kind);
    in.ReadU32(link.number);
    m_links.push_back(link);
  }
  *savedId = id;
  return !in.HasFailed();
}

uint32_t CSkatableSection::LoadRecord(const uint8_t* data, size_t size, size_t* consumed) {
  if (consumed != nullptr) *consumed = 0;
  CByteCursor in(data, size);
  uint8_t kind = 0;
  if (!in.ReadU8(kind) || kind > 1) {
    DebugPrintf("SkatableSection: unknown record kind\n");
    return 0;
  }
  std::unique_ptr<CSkatableSection> section =
      kind == 1 ? std::make_unique<CSkatableFacility>() : std::make_unique<CSkatableSection>();
  uint32_t id = 0;
  CGameWorld* world = GetGameWorld();
  if (!section->LoadBody(in, &id) || world == nullptr || world->GetObjectByID(id) != nullptr) {
    section->SetID(0);  // never filed: nothing of the world to undo
    return 0;
  }
  CSkatableSection* raw = section.get();
  section->SetID(0);
  if (world->RegisterNewObject(std::move(section), id) != id) return 0;
  // A loaded piece stands as a placed one does: opaque, solid, its box taking in its collision.
  // (The record is read as a held piece would be made, without either.)
  if (!raw->IsTerrain()) {
    raw->GetMeshInstance()->SetAlpha(1.0f, true);
    raw->RebuildCollision();
  }
  AddToPlacedSectionList(id);
  if (CVerezIvor* park = raw->GetPark())
    if (CGrid* grid = park->GetGrid()) {
      // The saved grid block lists the piece in its squares already; only remember which.
      raw->OccupyFootprint(*grid, false);
      grid->AddPiece(id);
    }
  if (consumed != nullptr) *consumed = in.GetPosition();
  return id;
}

void CSkatableSection::ResolveNodeLinks() {
  for (auto& node : m_nodes) {
    // A node id names one node of the park. A node alone in its ring names itself, so the piece's
    // own nodes are looked at before every placed piece's.
    const uint32_t next = node->GetSavedRingId();
    CSkatePathNode* own = FindPathNode(next);
    node->SetLoadedRingNext(own != nullptr ? own : FindNodeByID(next));
    node->SetSavedRingId(CSkatePathNode::kNone);
  }
}

void CSkatableSection::CloseLoadedRings() {
  std::vector<CSkatePathNode*> nodes;
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id))
      for (auto& node : section->m_nodes) nodes.push_back(node.get());
  const int cut = CSkatePathNode::CloseRings(nodes);
  if (cut > 0) DebugPrintf("SkatableSection: %d saved node rings did not close\n", cut);
}

void CSkatableSection::ResolveLinkRecords() {
  auto own = [this](uint32_t id) { return static_cast<CObjectSkatePathNode*>(FindPathNode(id)); };
  std::vector<SectionLink> kept;
  for (SectionLink& link : m_links) {
    if (link.from == nullptr) link.from = own(link.savedFrom);
    if (link.to == nullptr) link.to = own(link.savedTo);
    if (link.from == nullptr || link.to == nullptr) {
      DebugPrintf("SkatableSection: dropping a link to a node the piece does not have\n");
      continue;
    }
    link.savedFrom = link.savedTo = CSkatePathNode::kNone;
    kept.push_back(link);
  }
  m_links.swap(kept);
}
