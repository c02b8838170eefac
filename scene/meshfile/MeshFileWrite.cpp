// Writing a mesh file. One routine writes every byte; measuring the size runs the same
// routine without a buffer, so the size and the sections cannot disagree.
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "scene/animation/ControllerSet.h"
#include "scene/meshfile/MeshFileLayout.h"
#include "scene/patch/MeshFilePatches.h"
#include "scene/meshfile/MeshFileWriter.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/VertexSharingTable.h"

using namespace MeshFileLayout;

namespace {

void WriteTransform(MeshFileWriter& out, const COrientation& t) {
  for (int r = 0; r < 3; ++r) {
    out.Float(t.axes.m[r].x);
    out.Float(t.axes.m[r].y);
    out.Float(t.axes.m[r].z);
  }
  out.Float(t.position.x);
  out.Float(t.position.y);
  out.Float(t.position.z);
}

void WriteVector(MeshFileWriter& out, const Vector3& v) {
  out.Float(v.x);
  out.Float(v.y);
  out.Float(v.z);
}

// A sub-object section: measured by its own size, written straight into the reserved room.
template <class WriteFn>
void WriteSection(MeshFileWriter& out, size_t size, WriteFn write) {
  uint8_t* room = out.Reserve(size);
  if (room && !write(room)) out.MarkFailed();
}

}  // namespace

void ShadedMesh::WriteTo(MeshFileWriter& out) const {
  const ShadedMesh* owner = textureOwner ? textureOwner : this;
  const bool hasFaceNormals = allFaceNormals != nullptr;
  uint32_t written = flags;
  // Normals are always written in the compressed layout; optional sections are flagged
  // by what is actually there to write.
  if (normalCount > 0) written |= kFlagCompressedNormals;
  if (!allVertexNormals) written &= ~kFlagVertexNormals;
  if (!patches) written &= ~kFlagPatches;
  if (!animation) written &= ~kFlagAnimation;
  if (!skin) written &= ~kFlagSkin;

  // Header, field by field: run-time pointer words are 0, section gates 1.
  uint32_t words[kHeaderWords] = {};
  words[kWordVersion] = kVersion;
  words[kWordFaceCount] = faceCount;
  words[kWordVertexCount] = vertexCount;
  words[kWordCurrentFaceNormals] = hasFaceNormals ? 1 : 0;
  const float floats[11] = {centroid.x,   centroid.y,   centroid.z,   bounds.min.x, bounds.min.y, bounds.min.z,
                            bounds.max.x, bounds.max.y, bounds.max.z, radius,       centroidRadius};
  std::memcpy(&words[kWordCentre], floats, sizeof(floats));
  words[kWordFlags] = written;
  std::memcpy(&words[kWordName], name, kNameSize);
  words[kWordUVCount] = uvCount;
  words[kWordNormalCount] = normalCount;
  words[kWordSharingTable] = sharingTable ? 1 : 0;
  words[kWordFaceAttributes] = faceAttributes ? 1 : 0;
  words[kWordAttachCount] = static_cast<uint32_t>(attachPoints.size());
  words[kWordChildCount] = static_cast<uint32_t>(childAttach.size());
  words[kWordFrameCount] = frameCount;
  words[kWordAllFaceNormals] = hasFaceNormals ? 1 : 0;
  words[kWordTextureCount] = static_cast<uint32_t>(owner->textureNames.size());
  words[kWordSlotCount] = slotCount;
  out.Bytes(words, sizeof(words));

  const size_t F = faceCount, V = vertexCount, T = frameCount, N = normalCount;
  out.Bytes(indices, 3 * F * 2);
  out.Bytes(allPositions, V * T * sizeof(Vector3));
  out.Bytes(faceRecords, F * kFaceRecordSize);
  out.Bytes(uvs, uvCount * sizeof(Vector2));
  if (hasFaceNormals) {
    for (size_t i = 0; i < T * F; ++i) WriteVector(out, allFaceNormals[i]);
  }
  if (N > 0) {
    out.Bytes(normalRecords, N * sizeof(MeshNormalRecord));
    out.Bytes(cornerList, 3 * F * 4);
    out.Bytes(allCompressedNormals, T * N * 2);
  }
  if (sharingTable) {
    WriteSection(out, sharingTable->GetFileSize(), [&](uint8_t* room) {
      sharingTable->Write(room);
      return true;
    });
  }
  if (faceAttributes) out.Bytes(faceAttributes, F * 4);
  for (const AttachPoint& point : attachPoints) {
    WriteTransform(out, point.transform);
    out.Word(point.type);
    out.Word(point.GetLength());
    out.Bytes(point.GetData(), point.GetLength());
  }
  for (size_t i = 0; i < attachPoints.size(); ++i) {
    out.Word(i < animatedAttach.size() && !animatedAttach[i].empty() ? 1 : 0);
  }
  for (size_t i = 0; i < attachPoints.size() && i < animatedAttach.size(); ++i) {
    if (animatedAttach[i].empty()) continue;
    // Each animated point stores exactly T frames; a short list repeats its last one.
    for (size_t t = 0; t < T; ++t) WriteTransform(out, animatedAttach[i][std::min(t, animatedAttach[i].size() - 1)]);
  }
  out.Bytes(childAttach.data(), childAttach.size() * 4);
  for (const std::string& textureName : owner->textureNames) {
    char padded[kTextureNameSize] = {};
    std::memcpy(padded, textureName.data(), std::min(textureName.size(), kTextureNameSize - 1));
    out.Bytes(padded, sizeof(padded));
  }
  if (written & kFlagVertexNormals) out.Bytes(allVertexNormals, V * T * 2);
  if (written & kFlagCoverage) {
    for (uint32_t s = 0; s < slotCount; ++s) out.Float(s < owner->coverage.size() ? owner->coverage[s] : 0.0f);
  }
  if (written & kFlagPatches) {
    WriteSection(out, MeshFilePatches::GetFileSize(patches.get()), [&](uint8_t* room) { return MeshFilePatches::Write(patches.get(), room); });
  }
  if (written & kFlagAnimation) {
    WriteSection(out, animation->GetFileSize(), [&](uint8_t* room) {
      animation->Write(room);
      return true;
    });
  }
  if (written & kFlagSkin) WriteSection(out, skin->GetFileSize(), [&](uint8_t* room) {
    // The reader refuses a skin that weights another number of vertices, so it is not written.
    if (skin->GetVertexCount() != 0 && skin->GetVertexCount() != vertexCount) {
      OutputDebugStringA("ShadedMesh: skin weights a different vertex count, not written\n");
      return false;
    }
    return skin->Write(room);
  });
}

size_t ShadedMesh::GetFileSize() const {
  MeshFileWriter counter;
  WriteTo(counter);
  return counter.Size();
}

size_t ShadedMesh::Serialize(uint8_t* buffer, size_t capacity) const {
  if (!m_loaded) {
    OutputDebugStringA("ShadedMesh: a mesh that did not load is not written\n");
    return 0;
  }
  if ((normalCount > 0 && (!normalRecords || !cornerList || !allCompressedNormals)) ||
      (faceCount > 0 && (!indices || !faceRecords)) || (vertexCount > 0 && !allPositions) || (uvCount > 0 && !uvs) ||
      !buffer) {
    OutputDebugStringA("ShadedMesh: mesh arrays missing, not written\n");
    return 0;
  }
  MeshFileWriter out(buffer, capacity);
  WriteTo(out);
  if (!out.Ok()) {
    OutputDebugStringA("ShadedMesh: buffer too small for the mesh file\n");
    return 0;
  }
  return out.Size();
}
