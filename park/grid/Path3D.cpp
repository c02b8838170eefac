#include "park/grid/Path3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/math/MathUtil.h"
#include "core/math/ViewFrustum.h"
#include "platform/files/Profile.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace {

float ApproxDistance(const Vector3& a, const Vector3& b) {
  float d[3] = {std::fabs(b.x - a.x), std::fabs(b.y - a.y), std::fabs(b.z - a.z)};
  std::sort(d, d + 3);
  return d[2] + 0.25f * (d[0] + d[1]);
}

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }


bool ReadGuid(CByteCursor& in, GUID& guid) {
  return in.ReadU32(guid.Data1) && in.ReadU16(guid.Data2) && in.ReadU16(guid.Data3) &&
         in.ReadBytes(guid.Data4, sizeof(guid.Data4));
}

void DrawBox(CSceneDrawInterface& view, const Vector3& lo, const Vector3& hi, uint32_t colour) {
  const Vector3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                        {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  for (int i = 0; i < 4; ++i) {
    view.DrawLine3D(c[i], c[(i + 1) % 4], colour);
    view.DrawLine3D(c[4 + i], c[4 + (i + 1) % 4], colour);
    view.DrawLine3D(c[i], c[4 + i], colour);
  }
}

}  // namespace

C3DPath::C3DPath() {
  SetBoundFlags(kBoundFlags);
  if (FAILED(CoCreateGuid(&m_guid))) DebugPrintf("3DPath: no GUID could be made for a new path\n");
}

C3DPath::~C3DPath() = default;

bool C3DPath::LoadFromData(const uint8_t* data, size_t size) {
  if (ReadRecord(data, size) && CheckRings()) {
    ComputeBounds();
    return true;
  }
  m_nodes.clear();
  m_edges.clear();
  m_names.clear();
  return false;
}

bool C3DPath::ReadRecord(const uint8_t* data, size_t size) {
  m_nodes.clear();
  m_edges.clear();
  m_names.clear();
  CByteCursor in(data, size);
  uint32_t first = 0, nodes = 0, edges = 0, names = 0, pathId = 0;
  GUID guid = m_guid;
  if (!in.ReadU32(first)) return DebugPrintf("3DPath: the record is cut short\n"), false;
  // Records older than version 100 begin with the path id, which stands for the version too.
  if (first == kVersion) {
    if (!in.ReadU32(pathId) || !in.ReadU32(nodes) || !in.ReadU32(edges) || !in.ReadU32(names) || !ReadGuid(in, guid))
      return DebugPrintf("3DPath: the record header is cut short\n"), false;
  } else {
    pathId = first;
    if (!in.ReadU32(nodes) || !in.ReadU32(edges) || !in.ReadU32(names))
      return DebugPrintf("3DPath: the record header is cut short\n"), false;
  }
  const uint64_t need = uint64_t{nodes} * kNodeRecordSize + uint64_t{edges} * kEdgeRecordSize + names;
  if (need > in.GetRemaining() || nodes > 0x7FFFFFFFu || edges > 0x7FFFFFFFu)
    return DebugPrintf("3DPath: the record's counts exceed its size\n"), false;
  m_nodes.reserve(nodes);
  for (uint32_t i = 0; i < nodes; ++i) {
    auto node = std::make_unique<CPathNode>();
    in.Skip(9 * 4);  // another program's search fields
    in.ReadI32(node->firstEdge);
    in.ReadF32(node->position.x);
    in.ReadF32(node->position.y);
    in.ReadF32(node->position.z);
    if (node->firstEdge < -1 || node->firstEdge >= static_cast<int32_t>(edges) || !Finite(node->position))
      return DebugPrintf("3DPath: node %u names an edge outside the path or has no place\n", i), false;
    m_nodes.push_back(std::move(node));
  }
  const int32_t n = static_cast<int32_t>(nodes), e = static_cast<int32_t>(edges);
  m_edges.resize(edges);
  for (uint32_t i = 0; i < edges; ++i) {
    PathEdgeRecord& r = m_edges[i];
    in.ReadU32(r.visitMark);
    for (int32_t* w : {&r.from, &r.to, &r.opposite, &r.next, &r.previous, &r.name}) in.ReadI32(*w);
    in.ReadF32(r.length);
    if (r.from == -1) continue;  // deleted: nothing of it is followed
    if (r.from < 0 || r.from >= n || r.to < 0 || r.to >= n || r.opposite < -1 || r.opposite >= e || r.next < 0 ||
        r.next >= e || r.previous < 0 || r.previous >= e)
      return DebugPrintf("3DPath: edge %u names a node or edge outside the path\n", i), false;
  }
  for (uint32_t i = 0; i < names; ++i) {
    const size_t remaining = in.GetRemaining();
    const uint8_t* start = data + in.GetPosition();
    const void* end = std::memchr(start, 0, remaining);
    if (end == nullptr) return DebugPrintf("3DPath: edge name %u is not terminated\n", i), false;
    const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - start);
    m_names.emplace_back(reinterpret_cast<const char*>(start), length);
    in.Skip(length + 1);
  }
  if (in.HasFailed()) return DebugPrintf("3DPath: the record is cut short\n"), false;
  m_version = first;
  m_pathId = pathId;
  m_guid = guid;
  return true;
}

// Each node's ring runs over live edges that leave that node, linked both ways, and comes back
// to its first edge; so every walk of a ring ends.
bool C3DPath::CheckRings() const {
  std::vector<uint8_t> seen(m_edges.size(), 0);
  for (size_t i = 0; i < m_nodes.size(); ++i) {
    const int32_t start = m_nodes[i]->firstEdge;
    if (start < 0) continue;
    int32_t e = start;
    do {
      const PathEdgeRecord& r = m_edges[static_cast<size_t>(e)];
      if (r.from != static_cast<int32_t>(i) || seen[static_cast<size_t>(e)] != 0 ||
          m_edges[static_cast<size_t>(r.next)].previous != e) {
        DebugPrintf("3DPath: the edge ring of node %u is broken\n", static_cast<unsigned>(i));
        return false;
      }
      seen[static_cast<size_t>(e)] = 1;
      e = r.next;
    } while (e != start);
  }
  return true;
}

void C3DPath::ComputeBounds() {
  if (m_nodes.empty()) return;
  Box box(m_nodes[0]->position, m_nodes[0]->position);
  for (const auto& node : m_nodes) {
    const Vector3& p = node->position;
    box.min = Vector3(std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z));
    box.max = Vector3(std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z));
  }
  SetBounds(box);
}

void C3DPath::Translate(const Vector3& offset) {
  for (auto& node : m_nodes) node->position += offset;
  SetBounds(Box(GetBounds().min + offset, GetBounds().max + offset));
}

const char* C3DPath::GetEdgeName(int edge) const {
  if (edge < 0 || static_cast<size_t>(edge) >= m_edges.size()) return nullptr;
  const int32_t name = m_edges[static_cast<size_t>(edge)].name;
  return name >= 0 && static_cast<size_t>(name) < m_names.size() ? m_names[static_cast<size_t>(name)].c_str() : nullptr;
}

int C3DPath::IndexOf(const CGraphNode* node) const {
  for (size_t i = 0; i < m_nodes.size(); ++i)
    if (m_nodes[i].get() == node) return static_cast<int>(i);
  return -1;
}

void C3DPath::GetSuccessors(CGraphNode* node, SuccessorList& out) {
  const int index = IndexOf(node);
  if (index < 0 || m_nodes[static_cast<size_t>(index)]->firstEdge < 0) return;
  // One walk of the ring: rings were checked at load, the bound keeps the walk finite all the same.
  const int32_t start = m_nodes[static_cast<size_t>(index)]->firstEdge;
  int32_t edge = start;
  size_t steps = 0;
  do {
    out.push_back(GraphStep{m_nodes[static_cast<size_t>(m_edges[static_cast<size_t>(edge)].to)].get(),
                            GetEdgeName(edge)});
    edge = m_edges[static_cast<size_t>(edge)].next;
  } while (edge != start && ++steps < m_edges.size());
}

float C3DPath::EdgeCost(const CGraphNode* from, const CGraphNode* to, const void*) {
  return ApproxDistance(static_cast<const CPathNode*>(from)->position, static_cast<const CPathNode*>(to)->position);
}

float C3DPath::Heuristic(const CGraphNode* node, const CGraphNode* goal) {
  return ApproxDistance(static_cast<const CPathNode*>(node)->position, static_cast<const CPathNode*>(goal)->position);
}

int C3DPath::FindNearestEdge(const Vector3& point) const {
  int best = -1;
  float bestDistance = 0.0f;
  for (size_t i = 0; i < m_edges.size(); ++i) {
    const PathEdgeRecord& r = m_edges[i];
    if (r.from == -1) continue;
    Vector3 closest;
    ClosestPointOnSegment(closest, m_nodes[static_cast<size_t>(r.from)]->position,
                          m_nodes[static_cast<size_t>(r.to)]->position, point);
    const float d = (closest - point).LengthSquared();
    if (best < 0 || d < bestDistance) best = static_cast<int>(i), bestDistance = d;
  }
  return best;
}

int C3DPath::FindNearestNode(const Vector3& point, const std::vector<int>* exclude) const {
  std::vector<uint8_t> excluded(m_nodes.size(), 0);
  if (exclude != nullptr)
    for (int i : *exclude)
      if (i >= 0 && static_cast<size_t>(i) < m_nodes.size()) excluded[static_cast<size_t>(i)] = 1;
  int best = -1;
  float bestDistance = 0.0f;
  for (size_t i = 0; i < m_nodes.size(); ++i) {
    if (m_nodes[i]->firstEdge < 0 || excluded[i] != 0) continue;
    const float d = (m_nodes[i]->position - point).LengthSquared();
    if (best < 0 || d < bestDistance) best = static_cast<int>(i), bestDistance = d;
  }
  return best;
}

int C3DPath::CountEdgesOfNode(int node) const {
  if (node < 0 || static_cast<size_t>(node) >= m_nodes.size()) return 0;
  const int32_t start = m_nodes[static_cast<size_t>(node)]->firstEdge;
  if (start < 0) return 0;
  int count = 0;
  int32_t e = start;
  // Rings were checked at load; the bound keeps a walk finite all the same.
  do {
    ++count;
    e = m_edges[static_cast<size_t>(e)].next;
  } while (e != start && static_cast<size_t>(count) < m_edges.size());
  return count;
}

int C3DPath::GetEdgeOfNode(int node, int n) const {
  const int count = CountEdgesOfNode(node);
  if (count == 0 || n < 0) return -1;
  int32_t e = m_nodes[static_cast<size_t>(node)]->firstEdge;
  for (int k = n % count; k > 0; --k) e = m_edges[static_cast<size_t>(e)].next;
  return e;
}

void C3DPath::Render(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  DrawBox(*view, GetBounds().min, GetBounds().max, kGreen);
  for (const PathEdgeRecord& r : m_edges)
    if (r.from != -1)
      view->DrawLine3D(m_nodes[static_cast<size_t>(r.from)]->position, m_nodes[static_cast<size_t>(r.to)]->position,
                       kGreen);
  const ViewFrustum* frustum = view->GetView();
  if (frustum == nullptr) return;
  const Vector3 eye = frustum->GetFrame().position;
  const Vector3 half(kNodeBoxSize * 0.5f, kNodeBoxSize * 0.5f, kNodeBoxSize * 0.5f);
  for (size_t i = 0; i < m_nodes.size(); ++i) {
    const CPathNode& node = *m_nodes[i];
    const Vector3 d = node.position - eye;
    if (node.firstEdge < 0 || std::fabs(d.x) > kNodeDrawReach || std::fabs(d.y) > kNodeDrawReach ||
        std::fabs(d.z) > kNodeDrawReach)
      continue;
    DrawBox(*view, node.position - half, node.position + half,
            static_cast<int>(i) == m_selectedNode ? kRed : kBlue);
  }
}
