// VertexSharingTable: partition of a mesh's faces into render groups that can share drawn vertices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TriMesh;

// One face's drawing attributes, laid out as a mesh face record: the texture slot, then per
// corner the texture-coordinate index, the normal index and the colour word.
struct VertexSharingFace {
  uint32_t textureSlot;
  uint32_t corners[3][3];
};

static_assert(sizeof(VertexSharingFace) == 40, "same layout as a mesh face record");

class VertexSharingTable {
 public:
  VertexSharingTable() = default;
  ~VertexSharingTable() = default;
  VertexSharingTable(const VertexSharingTable&) = delete;
  VertexSharingTable& operator=(const VertexSharingTable&) = delete;

  // Groups edge-connected faces with one texture slot and equal corner records at every
  // shared vertex; groups end up ordered by ascending slot. The mesh's adjacency must be
  // built already (building it may add vertices, which the mesh owner has to follow), and
  // `faces` holds one record per mesh face. False (logged) when the adjacency is missing.
  bool Build(const TriMesh& mesh, const VertexSharingFace* faces);

  // (2 + 2 F + G) * 4 bytes.
  size_t GetFileSize() const;
  void Write(uint8_t* out) const;
  // Reads the table from the front of data (GetFileSize() bytes afterwards). The face count
  // must equal the mesh's, the groups must hold every face exactly once, and the face map
  // must agree with the member lists; anything else is refused (logged, table left empty).
  bool Read(const uint8_t* data, size_t size, const TriMesh& mesh);
  void Free();

  uint32_t GetFaceCount() const { return m_faceCount; }
  uint32_t GetGroupCount() const { return m_groupCount; }
  uint32_t GetGroupOfFace(uint32_t face) const { return m_faceMap[face]; }
  uint32_t GetGroupSize(uint32_t group) const { return m_groupSizes[group]; }
  const uint32_t* GetGroupMembers(uint32_t group) const { return m_members[group].data(); }

 private:
  uint32_t m_faceCount = 0;
  uint32_t m_groupCount = 0;
  std::vector<uint32_t> m_faceMap;                // group of each face
  std::vector<uint32_t> m_groupSizes;             // m_members[g].size(), as the file holds it
  std::vector<std::vector<uint32_t>> m_members;   // each group's faces
};
