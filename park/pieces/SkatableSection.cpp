#include "park/pieces/SkatableSection.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "park/grid/Grid.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/PieceFootprint.h"
#include "park/pieces/SectionDebugDraw.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkateNodeText.h"
#include "park/world/VerezIvor.h"
#include "render/view/RenderDebug.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

ShadedMesh* WorldMesh(int meshId) { return ShadedMesh::FromResource(GetWorldResourceTable(), meshId); }
ShadedMesh* LevelTerrainMesh() {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr) return nullptr;
  const std::string name = world->GetLevelDirectory() + "terrain.mesh";
  return ShadedMesh::FromResource(GetWorldResourceTable(), name.c_str());
}
CSkatableSection::Sources g_sources{&WorldMesh, &GetSectionDef, &LevelTerrainMesh};

std::vector<uint32_t>& PlacedList() {
  static std::vector<uint32_t> list;
  return list;
}

constexpr float kHeldAlpha = 0.5f;
constexpr float kFlashSeconds = 0.6f;

}  // namespace

void CSkatableSection::SetSources(const Sources& sources) { g_sources = sources; }
const CSkatableSection::Sources& CSkatableSection::GetSources() { return g_sources; }

CSkatableSection::CSkatableSection() = default;

CSkatableSection::~CSkatableSection() {
  RemoveFromPlacedSectionList(GetID());
  CVerezIvor* park = GetPark();
  ReleaseFootprint(park != nullptr ? park->GetGrid() : nullptr);
  m_links.clear();
  ClearPathNodes();
}

CVerezIvor* CSkatableSection::GetPark() const { return dynamic_cast<CVerezIvor*>(GetGameWorld()); }

bool CSkatableSection::InitFromMesh(const COrientation& frame, int meshId, bool terrain) {
  return InitFromMeshData(frame, g_sources.mesh != nullptr ? g_sources.mesh(meshId) : nullptr, meshId, terrain);
}

bool CSkatableSection::InitFromMeshData(const COrientation& frame, ShadedMesh* mesh, int meshId, bool terrain) {
  if (!CStructureBody::InitFromMeshData(frame, mesh, meshId, false, false)) return false;
  // The structure base lets still meshes skip the tick, but a piece charges its running cost there.
  AddFlags(kNetworked);
  m_terrain = terrain;
  m_held = !terrain;
  AddBoundFlags(kShadowLightTarget);
  if (m_held) GetMeshInstance()->SetAlpha(kHeldAlpha, true);
  return true;
}

void CSkatableSection::SetDefinition(const ObjectDefinition* definition, bool copyName) {
  m_definition = definition;
  if (!copyName || definition == nullptr) return;
  std::memcpy(m_name, definition->name, sizeof(m_name));
  m_name[sizeof(m_name) - 1] = '\0';
  if (CVerezIvor* park = GetPark()) {
    m_placedDay = park->GetClock().GetDay();
    m_placedWeek = park->GetClock().GetWeek();
  }
}

// --- Placement ---

void CSkatableSection::Place() {
  if (!m_held) return;
  m_held = false;
  GetMeshInstance()->SetAlpha(1.0f, true);
  RebuildCollision();
  // The world filed the piece when it was registered; its box has changed since.
  if (COctree* octree = GetWorldOctree())
    if (octree->Contains(this)) octree->UpdateObject(this);
  BuildPathNodes();
  CVerezIvor* park = GetPark();
  if (park != nullptr && park->GetGrid() != nullptr) {
    OccupyFootprint(*park->GetGrid(), true);
    park->GetGrid()->AddPiece(GetID());
  }
  LinkPathNodes();
  AddToPlacedSectionList(GetID());
  if (COctree* octree = GetWorldOctree()) octree->Subdivide(kOctreeRefineLimit);
  DebugPrintf("Placed Skatable Section ID = %d\n", static_cast<int>(GetID()));
  for (uint32_t id : GetPlacedSectionList())
    if (CSkatableSection* section = GetPlacedSection(id)) section->FlashHighlight(kFlashGrey);
  FlashHighlight(kFlashGreen);
}

void CSkatableSection::PickUp() {
  if (m_held || m_terrain) return;
  m_held = true;
  DestroyCollision();
  GetMeshInstance()->SetAlpha(kHeldAlpha, true);
  GetMeshInstance()->FreeWorldVertices();
  ClearPathNodes();
  CVerezIvor* park = GetPark();
  ReleaseFootprint(park != nullptr ? park->GetGrid() : nullptr);
  RemoveFromPlacedSectionList(GetID());
  DebugPrintf("Picked Up Skatable Section ID = %d\n", static_cast<int>(GetID()));
}

void CSkatableSection::OccupyFootprint(CGrid& grid, bool listInSquares) {
  // The controller's own mapping: the squares taken are the squares it checked, at any turn.
  for (const FootprintCell& cell : MapFootprintCells(m_definition, GetWorldMatrix(), grid)) {
    CGridSquare* square = cell.inside ? grid.GetSquare(cell.column, cell.row) : nullptr;
    if (square == nullptr) continue;
    const int index = static_cast<int>(square->GetNodeId());
    // Off the quarter turns two cells can fall on one square; it is listed once.
    if (std::find(m_footprint.begin(), m_footprint.end(), index) != m_footprint.end()) continue;
    m_footprint.push_back(index);
    if (listInSquares && !m_terrain) square->AddObjectId(GetID());
  }
}

void CSkatableSection::ReleaseFootprint(CGrid* grid) {
  if (grid != nullptr) {
    // The terrain is listed in every square, not in a footprint.
    if (m_terrain)
      for (int i = 0; i < grid->GetSquareCount(); ++i) grid->GetSquareByIndex(i)->RemoveObjectId(GetID());
    for (int index : m_footprint)
      if (CGridSquare* square = grid->GetSquareByIndex(index)) square->RemoveObjectId(GetID());
    grid->RemovePiece(GetID());
  }
  m_footprint.clear();
}

void CSkatableSection::MoveTo(const COrientation& frame) {
  GetMeshInstance()->SetTransform(&frame, true);
  RecomputeBounds();
  if ((GetBoundFlags() & kFiled) != 0)
    if (COctree* octree = GetWorldOctree()) octree->UpdateObject(this);
}

void CSkatableSection::Rotate(float degrees) {
  COrientation frame = GetWorldMatrix();
  const float a = degrees * 0.017453292519944444f;
  const float c = std::cos(a), s = std::sin(a);
  // Each axis row turns about world Z.
  for (int i = 0; i < 3; ++i) {
    const Vector3 v = frame.axes.m[i];
    frame.axes.m[i].Set(v.x * c - v.y * s, v.x * s + v.y * c, v.z);
  }
  MoveTo(frame);
}

void CSkatableSection::FlashHighlight(uint32_t colour) {
  m_flashTimer = kFlashSeconds;
  m_flashColour = colour;
}

void CSkatableSection::Render(CSceneDrawInterface* view) {
  if (!m_terrain) CStructureBody::Render(view);
  const CVerezIvor* park = GetPark();
  if (view == nullptr || park == nullptr) return;
  const CGrid* grid = park->GetGrid();
  if (grid != nullptr && park->GetDebugFlag(kDebugLinks)) DrawSectionLinks(*view, *this, *grid);
  if (park->GetDebugFlag(kDebugNodes)) DrawSectionNodes(*view, *this);
  if (park->GetDebugFlag(kDebugBounds)) DrawDebugBounds(*view, GetBounds(), kBoundsColour);
  if (grid != nullptr && m_flashTimer > 0.0f && !m_terrain) DrawSectionFlash(*view, *this, *grid);
}

// --- Use and money ---

void CSkatableSection::AddUsage(float amount) {
  if (!m_terrain) m_usage += amount;
}

float CSkatableSection::GetFootprintArea() const {
  return m_definition != nullptr ? static_cast<float>(m_definition->footprintWidth * m_definition->footprintLength)
                                 : 0.0f;
}

bool CSkatableSection::ChargesRunningCost() const { return !m_terrain && !m_held && m_definition != nullptr; }

void CSkatableSection::RunFlash(float dt) {
  if (m_flashTimer >= 0.0f) m_flashTimer -= dt;
}

void CSkatableSection::Update(float dt) {
  CStructureBody::Update(dt);
  CVerezIvor* park = GetPark();
  if (ChargesRunningCost() && park != nullptr) {
    const double cost = park->GetClock().GetCostForStep(dt, m_definition->operatingCost);
    ParkState& state = park->GetParkState();
    state.moneyFraction -= cost;
    if (m_definition->type == kSponsorType)
      state.contributedBySponsors -= cost;
    else
      state.spentOnMaintenance += cost;
  }
  RunFlash(dt);
}

double CSkatableSection::GetResaleValue() const { return GetDepreciatedCost() * std::exp(-m_usage / 180.0); }

double CSkatableSection::GetDepreciatedCost() const {
  if (m_definition == nullptr) return 0.0;
  CVerezIvor* park = GetPark();
  int64_t days = 0;
  if (park != nullptr)
    days = (static_cast<int64_t>(park->GetClock().GetWeek()) - m_placedWeek) * 7 - m_placedDay +
           park->GetClock().GetDay();
  // A purchase date after today (a changed clock) counts as today.
  if (days < 0) days = 0;
  const float cost = static_cast<float>(m_definition->cost);
  return cost * std::exp(-static_cast<double>(days) / 7.0);
}

bool CSkatableSection::HasPopup() const { return m_definition != nullptr && m_definition->type != kSponsorType; }

// --- Path nodes ---

void CSkatableSection::BuildPathNodes() {
  ClearPathNodes();
  ShadedMesh* mesh = GetMesh();
  if (mesh == nullptr) return;
  const COrientation& world = GetWorldMatrix();
  struct PendingLink {
    int from;
    SkateNodeLinkText text;
  };
  std::vector<PendingLink> pending;
  for (const AttachPoint& point : mesh->attachPoints) {
    if (point.type != kSkateNodeAttach || point.GetData() == nullptr) continue;
    SkateNodeText text;
    if (!ParseSkateNodeText(reinterpret_cast<const char*>(point.GetData()), point.GetLength(), text)) continue;
    auto node = std::make_unique<CObjectSkatePathNode>();
    node->SetNodeId(CObjectSkatePathNode::AllocateId());
    node->SetOwnerPieceId(GetID());
    node->SetPosition(world.LocalToWorldPoint(point.transform.position));
    node->attachRotation = point.transform.axes;
    node->attachPosition = point.transform.position;
    node->number = text.number;
    node->kind = text.kind;
    node->external = text.external;
    node->line = text.line;
    node->action = text.action;
    for (const SkateNodeLinkText& link : text.links) pending.push_back({text.number, link});
    m_nodes.push_back(std::move(node));
  }
  DropPathNodeIndex();
  auto byNumber = [this](int number) {
    CObjectSkatePathNode* found = nullptr;
    for (auto& n : m_nodes)
      if (n->number == number) found = n.get();  // the last of equal numbers wins
    return found;
  };
  for (const PendingLink& p : pending) {
    CObjectSkatePathNode* from = byNumber(p.from);
    CObjectSkatePathNode* to = byNumber(p.text.dest);
    if (from == nullptr || to == nullptr) continue;
    SectionLink link;
    link.from = from;
    link.to = to;
    link.edge = PathEdgeInfo{ComputeLinkDifficulty(p.text.type, from->GetPosition(), to->GetPosition()), p.text.type, 0};
    m_links.push_back(link);
  }
}

namespace {
float ApproxDistance(const Vector3& a, const Vector3& b) {
  const float dx = std::fabs(a.x - b.x), dy = std::fabs(a.y - b.y), dz = std::fabs(a.z - b.z);
  const float largest = std::max(dx, std::max(dy, dz));
  return largest + 0.25f * (dx + dy + dz - largest);
}
}  // namespace

void CSkatableSection::LinkPathNodes() {
  CVerezIvor* park = GetPark();
  CGrid* grid = park != nullptr ? park->GetGrid() : nullptr;
  std::vector<CSkatableSection*> neighbours;
  if (!m_terrain && grid != nullptr && park != nullptr) {
    std::vector<uint32_t> ids;
    for (int index : m_footprint)
      if (CGridSquare* square = grid->GetSquareByIndex(index))
        for (uint32_t id : square->GetObjectIds())
          if (id != GetID() && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    for (uint32_t id : ids)
      if (auto* section = dynamic_cast<CSkatableSection*>(park->GetObjectByID(id))) neighbours.push_back(section);
  }
  for (auto& node : m_nodes) {
    for (CSkatableSection* other : neighbours)
      for (auto& m : other->m_nodes)
        if (ApproxDistance(node->GetPosition(), m->GetPosition()) <= kJoinDistance) node->JoinRing(m.get());
    if (grid == nullptr) continue;
    // The square whose corner is nearest rather than the one the node stands in: a node a hair
    // short of a corner, as a turned frame's rounding leaves it, must still join that corner.
    CGridSquare* square = grid->GetSquareNearPoint(node->GetPosition().x, node->GetPosition().y);
    if (square != nullptr && ApproxDistance(node->GetPosition(), square->GetPosition()) <= kJoinDistance)
      node->JoinRing(square);
  }
}

void CSkatableSection::ClearPathNodes() {
  m_links.clear();
  m_nodes.clear();  // each node leaves its ring and lets its skater go
}

void CSkatableSection::NumberLinks(uint32_t& next) {
  for (SectionLink& link : m_links) link.number = next++;
}

void CSkatableSection::AppendLinkSuccessors(const CSkatePathNode* from, SuccessorList& out) {
  if (from == nullptr) return;
  for (const SectionLink& link : m_links)
    if (link.from != nullptr && link.to != nullptr && link.from->IsInRingOf(from))
      out.push_back(GraphStep{link.to->GetRingRepresentative(), &link.edge});
}

CSkatePathNode* CSkatableSection::FindPathNode(uint32_t nodeId) {
  for (auto& node : m_nodes)
    if (node->GetNodeId() == nodeId) return node.get();
  return nullptr;
}

// --- Placed list ---

const std::vector<uint32_t>& GetPlacedSectionList() { return PlacedList(); }

void AddToPlacedSectionList(uint32_t id) { PlacedList().push_back(id); }

void RemoveFromPlacedSectionList(uint32_t id) {
  DropPathNodeIndex();
  std::vector<uint32_t>& list = PlacedList();
  list.erase(std::remove(list.begin(), list.end(), id), list.end());
}

void ClearPlacedSectionList() {
  DropPathNodeIndex();
  PlacedList().clear();
}

CSkatableSection* GetPlacedSection(uint32_t id) {
  CGameWorld* world = GetGameWorld();
  return world != nullptr ? dynamic_cast<CSkatableSection*>(world->GetObjectByID(id)) : nullptr;
}
