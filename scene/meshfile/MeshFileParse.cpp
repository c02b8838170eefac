// Reading a mesh file image: every count is checked against the bytes that remain before
// anything is allocated, every index against what it indexes, and arrays are used in place
// only where the image is aligned for their element type.
#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "scene/animation/ControllerSet.h"
#include "scene/meshfile/MeshFileLayout.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/MeshFilePatches.h"
#include "scene/meshfile/MeshFileReader.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/VertexSharingTable.h"

using namespace MeshFileLayout;

namespace {

uint32_t HeaderWord(const uint8_t* image, size_t word) {
  uint32_t v;
  std::memcpy(&v, image + 4 * word, 4);
  return v;
}

float HeaderFloat(const uint8_t* image, size_t word) {
  float v;
  std::memcpy(&v, image + 4 * word, 4);
  return v;
}

bool Fail(const char* why) {
  DebugPrintf("ShadedMesh: %s\n", why);
  return false;
}

// Points into the image when it is aligned for T and parsing in place, else copies into a
// new array (marked owned). Null when the bytes are not there.
template <class T>
bool TakeArray(MeshFileReader& in, uint64_t count, bool inPlace, T*& out, uint32_t& owned, uint32_t bit) {
  if (!in.Has(count, sizeof(T))) return false;
  const uint8_t* p = in.Cursor();
  if (inPlace && reinterpret_cast<uintptr_t>(p) % alignof(T) == 0) {
    out = reinterpret_cast<T*>(const_cast<uint8_t*>(p));
    in.Skip(count, sizeof(T));
    return true;
  }
  out = new T[static_cast<size_t>(count)];
  owned |= bit;
  return in.Copy(out, count, sizeof(T));
}

void ReadTransform(const uint8_t* p, COrientation& out) {
  float f[12];
  std::memcpy(f, p, sizeof(f));
  for (int r = 0; r < 3; ++r) out.axes.m[r] = Vector3(f[3 * r], f[3 * r + 1], f[3 * r + 2]);
  out.position = Vector3(f[9], f[10], f[11]);
}

}  // namespace

bool ShadedMesh::Parse(const uint8_t* data, size_t size, bool inPlace) {
  ReleaseContent();
  m_loaded = false;
  MeshFileReader in(data, size);
  const uint8_t* image = in.Take(1, kHeaderSize);
  if (!image) return Fail("file shorter than its header");
  const uint32_t version = HeaderWord(image, kWordVersion);
  if (version != kVersion && version != kPreviousVersion) {
    DebugPrintf("ShadedMesh: unsupported file version %u\n", version);
    return false;
  }
  faceCount = HeaderWord(image, kWordFaceCount);
  vertexCount = HeaderWord(image, kWordVertexCount);
  frameCount = HeaderWord(image, kWordFrameCount);
  uvCount = HeaderWord(image, kWordUVCount);
  normalCount = HeaderWord(image, kWordNormalCount);
  flags = HeaderWord(image, kWordFlags);
  slotCount = HeaderWord(image, kWordSlotCount);
  std::memcpy(name, image + 4 * kWordName, kNameSize);
  centroid = Vector3(HeaderFloat(image, kWordCentre), HeaderFloat(image, kWordCentre + 1), HeaderFloat(image, kWordCentre + 2));
  bounds.min = Vector3(HeaderFloat(image, kWordBoxMin), HeaderFloat(image, kWordBoxMin + 1), HeaderFloat(image, kWordBoxMin + 2));
  bounds.max = Vector3(HeaderFloat(image, kWordBoxMax), HeaderFloat(image, kWordBoxMax + 1), HeaderFloat(image, kWordBoxMax + 2));
  radius = HeaderFloat(image, kWordRadius);
  centroidRadius = HeaderFloat(image, kWordCentreRadius);
  header = kVersion;
  if (version != kVersion) flags |= kFlagNeedsRewrite;
  if (vertexCount > kMaxVertices) return Fail("more vertices than 16-bit indices address");
  if (frameCount == 0) return Fail("frame count 0");
  // Positions bound the frame count by the file's bytes, but a mesh without vertices stores
  // nothing per frame, while normals and bounds are still computed frame by frame: only a cap
  // keeps such a count from being work without data. No animation comes near it.
  constexpr uint32_t kMaxFrames = 65536;
  if (frameCount > kMaxFrames) return Fail("more frames than any animation has");
  if (slotCount > kMaxSlots) return Fail("slot count out of range");

  bool rebuildNormals = false;
  if (!ParseSections(in, inPlace, image, rebuildNormals)) {
    ReleaseContent();
    return false;
  }
  PointAtFrame(0);
  m_loaded = true;
  if (!(flags & kFlagCoverage)) {
    ResolveTextures();
    flags |= kFlagNeedsRewrite;
  }
  if (!(flags & kFlagVertexNormals)) {
    ComputeVertexNormals();
    flags |= kFlagNeedsRewrite;
  }
  if (rebuildNormals) {
    ComputeNormalsAndBounds(frameCount == 1 ? 1.0471976f : 3.1415927f);
    flags |= kFlagNeedsRewrite;
  }
  return true;
}

bool ShadedMesh::ParseSections(MeshFileReader& in, bool inPlace, const uint8_t* image, bool& rebuildNormals) {
  if (!ParseFaces(in, inPlace)) return false;
  if (HeaderWord(image, kWordAllFaceNormals) != 0 &&
      !TakeArray(in, static_cast<uint64_t>(faceCount) * frameCount, inPlace, allFaceNormals, m_owned,
                 kOwnFaceNormals)) {
    return Fail("face-normal section cut short");
  }
  if (!ParseNormals(in, inPlace, rebuildNormals)) return false;
  if (!ValidateCorners(rebuildNormals)) return false;
  PointAtFrame(0);
  if (HeaderWord(image, kWordSharingTable) != 0) {
    sharingTable = std::make_unique<VertexSharingTable>();
    if (!sharingTable->Read(in.Cursor(), in.Remaining(), *this)) return Fail("vertex-sharing section refused");
    in.Skip(sharingTable->GetFileSize(), 1);
  }
  if (HeaderWord(image, kWordFaceAttributes) != 0 &&
      !TakeArray(in, faceCount, inPlace, faceAttributes, m_owned, kOwnAttributes)) {
    return Fail("face-attribute section cut short");
  }
  if (!ParseAttachPoints(in, inPlace, HeaderWord(image, kWordAttachCount))) return false;
  const uint32_t childCount = HeaderWord(image, kWordChildCount);
  if (!in.Has(childCount, 4)) return Fail("child table cut short");
  children.clear();
  children.resize(childCount);
  childAttach.resize(childCount);
  in.Copy(childAttach.data(), childCount, 4);
  for (uint32_t index : childAttach) {
    if (index >= attachPoints.size()) return Fail("child hangs on a missing attach point");
  }
  if (!ParseTextures(in, HeaderWord(image, kWordTextureCount))) return false;
  return ParseOptionalSections(in, inPlace);
}

bool ShadedMesh::ParseFaces(MeshFileReader& in, bool inPlace) {
  if (!TakeArray(in, 3 * static_cast<uint64_t>(faceCount), inPlace, indices, m_owned, kOwnIndices)) {
    return Fail("face section cut short");
  }
  for (size_t i = 0; i < 3 * static_cast<size_t>(faceCount); ++i) {
    if (indices[i] >= vertexCount) return Fail("face names a missing vertex");
  }
  if (!TakeArray(in, static_cast<uint64_t>(vertexCount) * frameCount, inPlace, allPositions, m_owned,
                 kOwnPositions)) {
    return Fail("position section cut short");
  }
  // Bounds, normals and every ray test are built from the positions: one that is not a finite
  // number would poison them all.
  for (size_t i = 0; i < static_cast<size_t>(vertexCount) * frameCount; ++i) {
    const Vector3& p = allPositions[i];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return Fail("position is not a finite number");
  }
  if (!TakeArray(in, faceCount, inPlace, faceRecords, m_owned, kOwnFaceRecords)) {
    return Fail("face-record section cut short");
  }
  if (!TakeArray(in, uvCount, inPlace, uvs, m_owned, kOwnUVs)) return Fail("UV section cut short");
  return true;
}

bool ShadedMesh::ParseNormals(MeshFileReader& in, bool inPlace, bool& rebuildNormals) {
  if (normalCount == 0) return true;
  if (!(flags & kFlagCompressedNormals)) {
    // The old layout is not read; the normals are rebuilt from the geometry instead.
    const uint64_t old = ((static_cast<uint64_t>(frameCount) + 1) * normalCount + faceCount);
    if (!in.Skip(old, 12)) return Fail("old normal section cut short");
    normalCount = 0;
    rebuildNormals = true;
    return true;
  }
  const uint64_t cornerTotal = 3 * static_cast<uint64_t>(faceCount);
  if (!TakeArray(in, normalCount, inPlace, normalRecords, m_owned, kOwnNormalRecords) ||
      !TakeArray(in, cornerTotal, inPlace, cornerList, m_owned, kOwnCornerList) ||
      !TakeArray(in, static_cast<uint64_t>(normalCount) * frameCount, inPlace, allCompressedNormals, m_owned,
                 kOwnCompressed)) {
    return Fail("normal section cut short");
  }
  for (uint32_t i = 0; i < normalCount; ++i) {
    const MeshNormalRecord& r = normalRecords[i];
    if (r.vertex >= vertexCount || r.first > r.end || r.end > cornerTotal) return Fail("normal record out of range");
  }
  for (uint64_t i = 0; i < cornerTotal; ++i) {
    if (cornerList[i] >= cornerTotal) return Fail("corner list names a missing corner");
  }
  return true;
}

bool ShadedMesh::ValidateCorners(bool rebuildNormals) const {
  for (uint32_t f = 0; f < faceCount; ++f) {
    for (const MeshCorner& c : faceRecords[f].corners) {
      if (c.uv != kNone && c.uv >= uvCount) return Fail("corner names a missing UV");
      // Normals about to be rebuilt are reassigned, so their old indices do not matter.
      if (!rebuildNormals && c.normal != kNone && c.normal >= normalCount) {
        return Fail("corner names a missing normal");
      }
    }
  }
  return true;
}

bool ShadedMesh::ParseAttachPoints(MeshFileReader& in, bool inPlace, uint32_t count) {
  // Every point takes at least its fixed part, so the count is bounded before resizing.
  if (!in.Has(count, kAttachFixedSize)) return Fail("attach-point section cut short");
  attachPoints.resize(count);
  for (AttachPoint& point : attachPoints) {
    const uint8_t* fixed = in.Take(1, kAttachFixedSize);
    if (!fixed) return Fail("attach-point section cut short");
    ReadTransform(fixed, point.transform);
    uint32_t length;
    std::memcpy(&point.type, fixed + 48, 4);
    std::memcpy(&length, fixed + 52, 4);
    const uint8_t* bytes = in.Take(length, 1);
    if (!bytes) return Fail("attach-point data cut short");
    if (inPlace) {
      point.SetExternalData(bytes, length);
    } else {
      point.SetData(bytes, length);
    }
  }
  if (!in.Has(count, 4)) return Fail("animated attach table cut short");
  std::vector<uint32_t> animated(count);
  in.Copy(animated.data(), count, 4);
  animatedAttach.assign(count, {});
  for (uint32_t i = 0; i < count; ++i) {
    if (!animated[i]) continue;
    if (!in.Has(frameCount, kTransformSize)) return Fail("animated attach transforms cut short");
    animatedAttach[i].resize(frameCount);
    for (COrientation& frame : animatedAttach[i]) ReadTransform(in.Take(1, kTransformSize), frame);
  }
  return true;
}

bool ShadedMesh::ParseTextures(MeshFileReader& in, uint32_t storedCount) {
  if (parent) {
    // A child file repeats its owner's names; the owner's copy is the one used.
    if (!in.Skip(textureOwner->textures.size(), kTextureNameSize)) return Fail("texture names cut short");
    return true;
  }
  if (!in.Has(storedCount, kTextureNameSize)) return Fail("texture names cut short");
  textures.assign(storedCount, nullptr);
  textureNames.resize(storedCount);
  for (std::string& textureName : textureNames) {
    const char* raw = reinterpret_cast<const char*>(in.Take(1, kTextureNameSize));
    textureName.assign(raw, strnlen(raw, kTextureNameSize));
  }
  slots.assign(slotCount, nullptr);
  return true;
}

bool ShadedMesh::ParseOptionalSections(MeshFileReader& in, bool inPlace) {
  if ((flags & kFlagVertexNormals) &&
      !TakeArray(in, static_cast<uint64_t>(vertexCount) * frameCount, inPlace, allVertexNormals, m_owned,
                 kOwnVertexNormals)) {
    return Fail("vertex-normal section cut short");
  }
  coverage.assign(slotCount, 0.0f);
  if ((flags & kFlagCoverage) && !in.Copy(coverage.data(), slotCount, 4)) return Fail("coverage section cut short");
  size_t used = 0;
  if (flags & kFlagPatches) {
    patches = MeshFilePatches::Read(in.Cursor(), in.Remaining(), used);
    if (!patches || !in.Skip(used, 1)) return Fail("curved-patch section refused");
  }
  if (flags & kFlagAnimation) {
    animation = std::make_unique<ControllerSet>();
    if (!animation->Read(in.Cursor(), in.Remaining(), used) || !in.Skip(used, 1)) {
      return Fail("node-animation section refused");
    }
  }
  if (flags & kFlagSkin) {
    skin = std::make_unique<Skin>();
    if (!skin->Read(in.Cursor(), in.Remaining(), used) || !in.Skip(used, 1)) return Fail("skin section refused");
    if (skin->GetVertexCount() != 0 && skin->GetVertexCount() != vertexCount) {
      return Fail("skin weights a different vertex count");
    }
  }
  return true;
}
