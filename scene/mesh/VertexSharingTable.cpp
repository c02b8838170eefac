// VertexSharingTable: growing the render groups over the half-edges, and the checked file form.
#include "scene/mesh/VertexSharingTable.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "scene/mesh/TriMesh.h"
#include "platform/system/Win32.h"

namespace {

bool SameCorner(const uint32_t (&a)[3], const uint32_t (&b)[3]) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

// Vertices at which every face has the same corner record: no group can conflict there, so
// their rings need no walk (on a smooth surface of one texture that is every vertex).
std::vector<bool> UniformVertices(const TriMesh& mesh, const VertexSharingFace* faces) {
  std::vector<bool> uniform(mesh.vertexCount, true);
  std::vector<uint32_t> first(mesh.vertexCount, 0xFFFFFFFFu);
  for (uint32_t i = 0; i < 3 * mesh.faceCount; ++i) {
    const uint32_t v = mesh.halfEdges[i].from;
    if (v >= mesh.vertexCount) continue;  // such a vertex keeps its ring walk
    if (first[v] == 0xFFFFFFFFu) {
      first[v] = i;
    } else if (!SameCorner(faces[i / 3].corners[i % 3], faces[first[v] / 3].corners[first[v] % 3])) {
      uniform[v] = false;
    }
  }
  return uniform;
}

class GroupBuilder {
  const TriMesh& m_mesh;
  const VertexSharingFace* m_faces;
  const std::vector<bool> m_uniform;

 public:
  GroupBuilder(const TriMesh& mesh, const VertexSharingFace* faces)
      : m_mesh(mesh), m_faces(faces), m_uniform(UniformVertices(mesh, faces)), m_group(mesh.faceCount, -1) {}

  void Run() {
    for (uint32_t f = 0; f < m_mesh.faceCount; ++f) {
      if (m_group[f] >= 0) continue;
      std::deque<uint32_t> queue{f};
      while (!queue.empty()) {
        const uint32_t face = queue.front();
        queue.pop_front();
        if (m_group[face] < 0) Place(face, queue);
      }
    }
  }

  std::vector<int32_t> m_group;  // group of each face
  std::vector<std::vector<uint32_t>> m_members;
  std::vector<uint32_t> m_slots;

 private:
  // Twin half-edge across edge k of face, or null on an open edge.
  const TriMeshHalfEdge* Across(uint32_t face, uint32_t k) const {
    const int32_t twin = m_mesh.GetFaceHalfEdge(face, k)->twin;
    return twin < 0 ? nullptr : m_mesh.GetHalfEdge(static_cast<uint32_t>(twin));
  }

  bool Matches(uint32_t face, uint32_t k, const TriMeshHalfEdge& twin) const {
    const VertexSharingFace& a = m_faces[face];
    const VertexSharingFace& b = m_faces[twin.face];
    if (a.textureSlot != b.textureSlot) return false;
    const uint32_t j = m_mesh.GetHalfEdgeIndexInFace(&twin);
    // The twin runs the other way: its start is this edge's end and vice versa.
    return SameCorner(a.corners[k], b.corners[(j + 1) % 3]) && SameCorner(a.corners[(k + 1) % 3], b.corners[j]);
  }

  bool Conflicts(uint32_t face, int32_t group) const {
    std::vector<const TriMeshHalfEdge*> ring;
    for (uint32_t c = 0; c < 3; ++c) {
      const uint32_t v = m_mesh.GetFaceHalfEdge(face, c)->from;
      if (v < m_uniform.size() && m_uniform[v]) continue;
      ring.clear();
      m_mesh.CollectVertexRing(ring, m_mesh.GetFaceHalfEdge(face, c));
      for (const TriMeshHalfEdge* e : ring) {
        if (m_group[e->face] != group) continue;
        if (!SameCorner(m_faces[e->face].corners[m_mesh.GetHalfEdgeIndexInFace(e)], m_faces[face].corners[c])) {
          return true;
        }
      }
    }
    return false;
  }

  void Place(uint32_t face, std::deque<uint32_t>& queue) {
    int32_t candidates[3];  // at most one group across each edge
    int32_t* end = candidates;
    for (uint32_t k = 0; k < 3; ++k) {
      const TriMeshHalfEdge* twin = Across(face, k);
      if (!twin) continue;
      const int32_t neighbourGroup = m_group[twin->face];
      if (Matches(face, k, *twin)) {
        if (neighbourGroup < 0) {
          queue.push_back(twin->face);
        } else if (std::find(candidates, end, neighbourGroup) == end && !Conflicts(face, neighbourGroup)) {
          *end++ = neighbourGroup;
        }
      } else if (neighbourGroup >= 0) {
        end = std::remove(candidates, end, neighbourGroup);
      }
    }
    if (end == candidates) {
      m_group[face] = static_cast<int32_t>(m_members.size());
      m_members.push_back({face});
      m_slots.push_back(m_faces[face].textureSlot);
    } else {
      m_group[face] = candidates[0];
      m_members[candidates[0]].push_back(face);
    }
  }
};

bool Fail(const char* message) {
  OutputDebugStringA(message);
  return false;
}

}  // namespace

bool VertexSharingTable::Build(const TriMesh& mesh, const VertexSharingFace* faces) {
  Free();
  if (mesh.faceCount > 0 && (!mesh.halfEdges || !faces)) {
    return Fail("VertexSharingTable: mesh adjacency or face records missing\n");
  }
  GroupBuilder builder(mesh, faces);
  builder.Run();

  // Exchange sort by texture slot: every later group with a smaller slot is swapped forward.
  const uint32_t groups = static_cast<uint32_t>(builder.m_members.size());
  std::vector<uint32_t> order(groups);
  for (uint32_t g = 0; g < groups; ++g) order[g] = g;
  for (uint32_t i = 0; i < groups; ++i) {
    for (uint32_t j = i + 1; j < groups; ++j) {
      if (builder.m_slots[order[j]] < builder.m_slots[order[i]]) std::swap(order[i], order[j]);
    }
  }
  std::vector<uint32_t> newIndex(groups);
  for (uint32_t g = 0; g < groups; ++g) newIndex[order[g]] = g;

  m_faceCount = mesh.faceCount;
  m_groupCount = groups;
  m_faceMap.resize(m_faceCount);
  for (uint32_t f = 0; f < m_faceCount; ++f) m_faceMap[f] = newIndex[builder.m_group[f]];
  m_groupSizes.resize(groups);
  m_members.resize(groups);
  for (uint32_t g = 0; g < groups; ++g) {
    m_members[g] = std::move(builder.m_members[order[g]]);
    m_groupSizes[g] = static_cast<uint32_t>(m_members[g].size());
  }
  return true;
}

size_t VertexSharingTable::GetFileSize() const {
  return (2 + 2 * static_cast<size_t>(m_faceCount) + m_groupCount) * 4;
}

void VertexSharingTable::Write(uint8_t* out) const {
  std::memcpy(out, &m_faceCount, 4);
  std::memcpy(out + 4, &m_groupCount, 4);
  out += 8;
  if (m_faceCount) std::memcpy(out, m_faceMap.data(), 4 * static_cast<size_t>(m_faceCount));
  out += 4 * static_cast<size_t>(m_faceCount);
  if (m_groupCount) std::memcpy(out, m_groupSizes.data(), 4 * static_cast<size_t>(m_groupCount));
  out += 4 * static_cast<size_t>(m_groupCount);
  for (uint32_t g = 0; g < m_groupCount; ++g) {
    std::memcpy(out, m_members[g].data(), 4 * static_cast<size_t>(m_groupSizes[g]));
    out += 4 * static_cast<size_t>(m_groupSizes[g]);
  }
}

bool VertexSharingTable::Read(const uint8_t* data, size_t size, const TriMesh& mesh) {
  Free();
  if (!data || size < 8) return Fail("VertexSharingTable: section truncated\n");
  uint32_t faces = 0, groups = 0;
  std::memcpy(&faces, data, 4);
  std::memcpy(&groups, data + 4, 4);
  if (faces != mesh.faceCount) return Fail("VertexSharingTable: face count differs from the mesh\n");
  // Every group holds at least one face, so there cannot be more groups than faces.
  if (groups > faces) return Fail("VertexSharingTable: more groups than faces\n");
  const uint64_t need = (2 + 2 * static_cast<uint64_t>(faces) + groups) * 4;
  if (need > size) return Fail("VertexSharingTable: section truncated\n");

  std::vector<uint32_t> map(faces), sizes(groups), members(faces);
  const uint8_t* p = data + 8;
  if (faces) std::memcpy(map.data(), p, 4 * static_cast<size_t>(faces));
  p += 4 * static_cast<size_t>(faces);
  if (groups) std::memcpy(sizes.data(), p, 4 * static_cast<size_t>(groups));
  p += 4 * static_cast<size_t>(groups);
  if (faces) std::memcpy(members.data(), p, 4 * static_cast<size_t>(faces));

  for (uint32_t f = 0; f < faces; ++f) {
    if (map[f] >= groups) return Fail("VertexSharingTable: face map names a missing group\n");
  }
  uint64_t total = 0;
  for (uint32_t g = 0; g < groups; ++g) {
    if (sizes[g] == 0) return Fail("VertexSharingTable: empty group\n");
    total += sizes[g];
  }
  if (total != faces) return Fail("VertexSharingTable: group sizes do not add up to the face count\n");
  std::vector<bool> seen(faces, false);
  size_t at = 0;
  for (uint32_t g = 0; g < groups; ++g) {
    for (uint32_t i = 0; i < sizes[g]; ++i, ++at) {
      const uint32_t face = members[at];
      if (face >= faces || seen[face] || map[face] != g) {
        return Fail("VertexSharingTable: group members disagree with the face map\n");
      }
      seen[face] = true;
    }
  }

  m_faceCount = faces;
  m_groupCount = groups;
  m_members.resize(groups);
  at = 0;
  for (uint32_t g = 0; g < groups; ++g) {
    m_members[g].assign(members.begin() + at, members.begin() + at + sizes[g]);
    at += sizes[g];
  }
  m_faceMap = std::move(map);
  m_groupSizes = std::move(sizes);
  return true;
}

void VertexSharingTable::Free() {
  m_members.clear();
  m_groupSizes.clear();
  m_faceMap.clear();
  m_faceCount = 0;
  m_groupCount = 0;
}
