// CurvedPatch: a mesh's bicubic patch data - control vertices, patches, faces, groups - and its file section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Vector2.h"
#include "core/math/Vector3.h"
#include "scene/patch/CurvedPatchControlVertex.h"
#include "scene/patch/CurvedPatchFace.h"
#include "scene/patch/CurvedPatchGroup.h"
#include "scene/patch/CurvedPatchRecord.h"

class CurvedPatch {
 public:
  CurvedPatch() = default;

  // ---- file section (little-endian; layout in the .cpp) ----
  // Bytes Write produces; counted by the writer itself so the two cannot disagree.
  // 0 (logged) when the data could not be written (see Write).
  size_t GetFileSize() const;
  // Writes the section to out; returns the bytes written, or 0 (logged, nothing promised
  // about out) when capacity is too small or a record names something that is not there
  // (such a section could not be read back).
  size_t Write(uint8_t* out, size_t capacity) const;
  // Reads a section from the front of data. Every count, index and range is checked against
  // the data; on failure the object is left empty, the reason logged and false returned.
  // On success *used (when given) receives the section's length in bytes.
  bool Read(const uint8_t* data, size_t size, size_t* used);
  void Clear();

  // ---- evaluation ----
  // Bicubic position at (u, v); corners return their control vertex exactly; an empty
  // patch (or an index past the patches) gives the origin.
  Vector3 Evaluate(uint32_t patch, float u, float v) const;
  // Unit normal from finite differences, dv x du; left unnormalised when its length is 0.
  Vector3 EvaluateNormal(uint32_t patch, float u, float v) const;
  // Position, unit normal and texture coordinates; at the corners the normal comes from the
  // control-polygon edges leaving the corner and the texture coordinates are the corner's.
  void EvaluateVertex(uint32_t patch, float u, float v, Vector3& position, Vector3& normal,
                      Vector2& uv) const;
  // Unchecked: the patch must exist and IsGridInside(patch) hold.
  const CurvedPatchControlVertex& GetControlVertex(uint32_t patch, int column, int row) const;
  // Whether the patch exists and its 4 x 4 grid lies within the control vertices. Always
  // true for loaded or added patches; records edited in place may break it.
  bool IsGridInside(uint32_t patch) const {
    return patch < m_patches.size() && m_patches[patch].VertexIndex(3, 3) < m_vertices.size();
  }

  // ---- building (tools) ----
  void AddControlVertex(const CurvedPatchControlVertex& vertex);
  // Appends a face record; returns its index, or -1 when the 16-bit face index is used up.
  int32_t AddFace(const CurvedPatchFace& face);
  // Appends the record and measures its curvature. Refused (logged, false) when its control
  // grid reaches past the control vertices, its face does not exist, or a neighbour index
  // is neither a patch index that fits the 16-bit field nor one of the two edge markers.
  bool AddPatch(const CurvedPatchRecord& record);
  // Replaces each neighbour index below kFixedLevel by table[index]. Refused without change
  // when an index is outside the table or maps outside the patches.
  bool RemapNeighbours(const uint16_t* table, size_t count);
  // Splits the patches into groups of at most `limit` (spatial halving), then rewrites each
  // group so its patches run in face order over private 4 x 4 control blocks. Patch indices
  // change; neighbour indices follow. Refused (logged, nothing changed) when a patch's grid
  // is not inside the control vertices.
  bool BuildGroups(uint32_t limit);

  // ---- access ----
  uint32_t GetHeader() const { return m_header; }
  void SetHeader(uint32_t header) { m_header = header; }
  const Box& GetBounds() const { return m_bounds; }
  uint32_t GetControlVertexCount() const { return static_cast<uint32_t>(m_vertices.size()); }
  uint32_t GetPatchCount() const { return static_cast<uint32_t>(m_patches.size()); }
  uint32_t GetFaceCount() const { return static_cast<uint32_t>(m_faces.size()); }
  uint32_t GetGroupCount() const { return static_cast<uint32_t>(m_groups.size()); }
  const CurvedPatchControlVertex& GetVertex(uint32_t i) const { return m_vertices[i]; }
  const CurvedPatchRecord& GetPatch(uint32_t i) const { return m_patches[i]; }
  // Editing access for tools (neighbours, edge maps, offsets); AddPatch's checks are theirs
  // to keep when they change indices here.
  CurvedPatchRecord& GetPatchForEdit(uint32_t i) { return m_patches[i]; }
  const CurvedPatchFace& GetFace(uint32_t i) const { return m_faces[i]; }
  const CurvedPatchGroup& GetGroup(uint32_t i) const { return m_groups[i]; }

 private:
  // Writes (or with a null out only counts) the section; 0 when it cannot be written.
  size_t Serialize(uint8_t* out, size_t capacity) const;
  void MeasureCurvature(uint32_t patch);
  void SplitGroup(const std::vector<uint32_t>& group, std::vector<uint32_t>& first,
                  std::vector<uint32_t>& second) const;
  void RewriteGroups(const std::vector<std::vector<uint32_t>>& groups);

  uint32_t m_header = 0;
  Box m_bounds;
  std::vector<CurvedPatchControlVertex> m_vertices;
  std::vector<CurvedPatchRecord> m_patches;
  std::vector<CurvedPatchFace> m_faces;
  std::vector<CurvedPatchGroup> m_groups;
};
