#include "scene/mesh/ShadedMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "core/data/DataFileName.h"
#include "core/data/DebugPrintf.h"
#include "core/math/MathUtil.h"
#include "core/data/Params.h"
#include "core/math/RayInfo.h"
#include "scene/animation/ControllerSet.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/MeshFilePatches.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/TextureFactory.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/VertexSharingTable.h"

namespace {

// Angle at corner k of a triangle: between the edges to the next and the following corner.
float CornerAngle(const Vector3* p, uint32_t k) {
  const Vector3 a = p[(k + 1) % 3] - p[k];
  const Vector3 b = p[(k + 2) % 3] - p[k];
  return AngleBetween(a, b);
}

}  // namespace

ShadedMesh::ShadedMesh() { header = 0; }

ShadedMesh::~ShadedMesh() { Release(); }

void ShadedMesh::FreeOwned() {
  auto drop = [this](auto*& array, uint32_t bit) {
    if (m_owned & bit) delete[] array;
    array = nullptr;
  };
  drop(indices, kOwnIndices);
  drop(allPositions, kOwnPositions);
  drop(faceRecords, kOwnFaceRecords);
  drop(uvs, kOwnUVs);
  drop(allFaceNormals, kOwnFaceNormals);
  drop(normalRecords, kOwnNormalRecords);
  drop(cornerList, kOwnCornerList);
  drop(allCompressedNormals, kOwnCompressed);
  drop(faceAttributes, kOwnAttributes);
  drop(allVertexNormals, kOwnVertexNormals);
  m_owned = 0;
  positions = nullptr;
  faceNormals = nullptr;
  compressedNormals = nullptr;
  vertexNormals = nullptr;
}

void ShadedMesh::UnmapFile() {
  if (m_view) UnmapViewOfFile(m_view);
  if (m_mapping) plat::CloseMappingHandle(m_mapping);
  if (m_file) plat::CloseMappingHandle(m_file);
  m_view = nullptr;
  m_mapping = nullptr;
  m_file = nullptr;
}

void ShadedMesh::Release() {
  path.clear();
  for (AttachPoint& point : attachPoints) point.DetachExternalData();
  attachPoints.clear();
  animatedAttach.clear();
  FreeOwned();
  UnmapFile();
  m_image.reset();
  FreeAdjacency();
  sharingTable.reset();
  textures.clear();
  textureNames.clear();
  slots.clear();
  ownedTextures.clear();
  coverage.clear();
  children.clear();
  childAttach.clear();
  attachedObject.reset();
  patches.reset();
  animation.reset();
  skin.reset();
  faceCount = vertexCount = uvCount = normalCount = slotCount = 0;
  header = 0;
  std::memset(name, 0, kNameSize);
  centroid = Vector3();
  bounds = Box();
  radius = centroidRadius = 0.0f;
  frameCount = 1;
  currentFrame = 0;
  flags = 0;
  texturesLoaded = false;
}

void ShadedMesh::ReleaseContent() {
  ShadedMesh* keptParent = parent;
  ShadedMesh* keptOwner = textureOwner;
  Release();
  parent = keptParent;
  textureOwner = keptOwner;
}

bool ShadedMesh::Create(const char* meshName, uint32_t vertices, uint32_t faces, uint32_t textureCount,
                        uint32_t slotTotal, uint32_t uvTotal, uint32_t frames) {
  if (vertices > kMaxVertices || frames == 0) {
    OutputDebugStringA("ShadedMesh: Create refused (vertex count or frame count)\n");
    return false;
  }
  ReleaseContent();
  header = kVersion;
  SetName(meshName);
  vertexCount = vertices;
  faceCount = faces;
  frameCount = frames;
  uvCount = uvTotal;
  allPositions = new Vector3[static_cast<size_t>(vertices) * frames];
  indices = new uint16_t[3 * static_cast<size_t>(faces)]();
  faceRecords = new MeshFaceRecord[faces];
  for (uint32_t f = 0; f < faces; ++f) {
    faceRecords[f].textureSlot = kNone;
    for (MeshCorner& c : faceRecords[f].corners) c = MeshCorner{kNone, kNone, Color::FromWord(0xFFFFFFFFu)};
  }
  uvs = new Vector2[uvTotal];
  m_owned = kOwnPositions | kOwnIndices | kOwnFaceRecords | kOwnUVs;
  textures.assign(textureCount, nullptr);
  textureNames.assign(textureCount, std::string());
  slots.assign(slotTotal, nullptr);
  coverage.assign(slotTotal, 0.0f);
  slotCount = slotTotal;
  const std::string text = GetName();
  if (text.find("_LOD") != std::string::npos) {
    flags = kKindLod;
  } else if (text.find("_INTERNAL") != std::string::npos) {
    flags = kKindInternal;
  } else {
    flags = kKindOrdinary;
  }
  PointAtFrame(0);
  m_loaded = true;
  return true;
}

bool ShadedMesh::CreateGrid(uint32_t n, CTextureProperties* const* gridTextures, uint32_t count) {
  if (n < 2 || static_cast<uint64_t>(n) * n > kMaxVertices) {
    OutputDebugStringA("ShadedMesh: grid size out of range\n");
    return false;
  }
  const uint32_t cells = (n - 1) * (n - 1);
  if (!Create("Grid", n * n, 2 * cells, count, count, n * n, 1)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    SetTextureName(i, gridTextures ? gridTextures[i] : nullptr, "GridTexture.texture");
    slots[i] = textures[i];
  }
  const float scale = 1.0f / static_cast<float>(n - 1);
  for (uint32_t r = 0; r < n; ++r) {
    for (uint32_t c = 0; c < n; ++c) uvs[r * n + c] = Vector2(c * scale, r * scale);
  }
  uint32_t f = 0;
  for (uint32_t r = 0; r + 1 < n; ++r) {
    for (uint32_t c = 0; c + 1 < n; ++c) {
      const uint32_t a = r * n + c;
      const uint32_t tri[2][3] = {{a, a + n, a + 1}, {a + n, a + n + 1, a + 1}};
      for (const auto& t : tri) {
        faceRecords[f].textureSlot = 0;
        for (int k = 0; k < 3; ++k) {
          indices[3 * f + k] = static_cast<uint16_t>(t[k]);
          faceRecords[f].corners[k].uv = t[k];
        }
        ++f;
      }
    }
  }
  return true;
}

std::string ShadedMesh::GetName() const { return std::string(name, strnlen(name, kNameSize)); }

void ShadedMesh::SetName(const char* meshName) {
  std::memset(name, 0, kNameSize);
  if (meshName) std::strncpy(name, meshName, kNameSize - 1);
}

float ShadedMesh::ReadNamedValue(const char* key) const {
  const std::string text = GetName();
  return Params::ReadFloat(text.c_str(), key);
}

void ShadedMesh::PointAtFrame(uint32_t frame) {
  currentFrame = frame;
  positions = allPositions ? allPositions + static_cast<size_t>(frame) * vertexCount : nullptr;
  faceNormals = allFaceNormals ? allFaceNormals + static_cast<size_t>(frame) * faceCount : nullptr;
  compressedNormals = allCompressedNormals ? allCompressedNormals + static_cast<size_t>(frame) * normalCount : nullptr;
  vertexNormals = allVertexNormals ? allVertexNormals + static_cast<size_t>(frame) * vertexCount : nullptr;
}

void ShadedMesh::SetFrame(uint32_t frame) {
  if (frame < frameCount) PointAtFrame(frame);
}

CTextureProperties* ShadedMesh::GetTexture(uint32_t slot) const {
  const ShadedMesh* owner = textureOwner;
  return slot < owner->slots.size() ? owner->slots[slot] : nullptr;
}

void ShadedMesh::SetTexture(uint32_t slot, CTextureProperties* texture) {
  if (slot < slots.size()) slots[slot] = texture;
}

void ShadedMesh::ResetSlots() {
  for (size_t i = 0; i < slots.size(); ++i) slots[i] = i < textures.size() ? textures[i] : nullptr;
}

void ShadedMesh::SetTextureName(uint32_t index, CTextureProperties* texture, const char* textureName) {
  if (index >= textures.size()) return;
  textures[index] = texture;
  std::string cut = textureName ? textureName : "";
  if (cut.size() > kTextureNameSize - 1) cut.resize(kTextureNameSize - 1);
  textureNames[index] = cut;
}

void ShadedMesh::LoadTextures(bool textureFlag) {
  if (texturesLoaded) return;
  texturesLoaded = true;
  const CTextureFactory* factory = CTextureFactory::Get();
  const std::string folder = FolderOf(path);
  for (size_t i = 0; i < textures.size(); ++i) {
    if (!factory || i >= textureNames.size() || textureNames[i].empty()) continue;
    // A refused name leaves its texture null, so an update of the mesh writes nothing there either.
    if (!IsNameInsideFolder(textureNames[i].c_str(), "ShadedMesh")) continue;
    std::string file = folder + "/" + textureNames[i];
    if (file.size() > kMaxTexturePath) file.resize(kMaxTexturePath);
    CTextureFactory::Result loaded = factory->LoadTexture(file.c_str(), textureFlag);
    if (!loaded.texture) {
      DebugPrintf("ShadedMesh: texture \"%s\" of \"%s\" did not load\n", file.c_str(), path.c_str());
      continue;
    }
    if (loaded.converted) flags |= kFlagNeedsRewrite;
    textures[i] = loaded.texture.get();
    ownedTextures.push_back(std::move(loaded.texture));
  }
  ResetSlots();
}

int ShadedMesh::AddAttachPoint(const COrientation& transform, uint32_t type, uint32_t length, const void* data,
                               bool animated) {
  AttachPoint point;
  point.transform = transform;
  point.type = type;
  point.SetData(data, data ? length : 0);
  attachPoints.push_back(std::move(point));
  animatedAttach.emplace_back();
  if (animated) animatedAttach.back().assign(frameCount, transform);
  return static_cast<int>(attachPoints.size() - 1);
}

int ShadedMesh::FindAttachPoint(uint32_t type) const {
  for (size_t i = 0; i < attachPoints.size(); ++i) {
    if (attachPoints[i].type == type) return static_cast<int>(i);
  }
  return -1;
}

void ShadedMesh::CollectAttachPoints(uint32_t type, std::vector<int>& out) const {
  for (size_t i = 0; i < attachPoints.size(); ++i) {
    if (attachPoints[i].type == type) out.push_back(static_cast<int>(i));
  }
}

int ShadedMesh::FindNamedAttachPointIndex(const char* pointName) const {
  if (!pointName) return -1;
  for (size_t i = 0; i < attachPoints.size(); ++i) {
    const AttachPoint& p = attachPoints[i];
    if (p.type != kAttachNamedPoint) continue;
    // The data need not be terminated inside its length; compare within it only.
    const char* data = reinterpret_cast<const char*>(p.GetData());
    const std::string stored(data ? data : "", data ? strnlen(data, p.GetLength()) : 0);
    if (strcasecmp(stored.c_str(), pointName) == 0) return static_cast<int>(i);
  }
  return -1;
}

const AttachPoint* ShadedMesh::FindNamedAttachPoint(const char* pointName) const {
  const int i = FindNamedAttachPointIndex(pointName);
  return i < 0 ? nullptr : &attachPoints[i];
}

void ShadedMesh::GetMeshKey(uint32_t key[4]) const {
  std::memset(key, 0, 16);
  const int i = FindAttachPoint(kAttachMeshKey);
  if (i < 0) return;
  const AttachPoint& p = attachPoints[i];
  std::memcpy(key, p.GetData(), std::min<uint32_t>(p.GetLength(), 16));
}

void ShadedMesh::SetOwnerRecursive(ShadedMesh* owner) {
  textureOwner = owner;
  for (const std::unique_ptr<ShadedMesh>& child : children) {
    if (child) child->SetOwnerRecursive(owner);
  }
}

bool ShadedMesh::AddChildMesh(std::unique_ptr<ShadedMesh>&& placed, uint32_t attachIndex) {
  ShadedMesh* child = placed.get();
  if (!child || child == this || child->parent || attachIndex >= attachPoints.size()) {
    OutputDebugStringA("ShadedMesh: AddChildMesh refused (no such attach point or child already placed)\n");
    return false;
  }
  children.push_back(std::move(placed));
  childAttach.push_back(attachIndex);
  child->parent = this;
  child->SetOwnerRecursive(textureOwner);
  if (child->GetKind() == kKindLod) {
    // The point's data may lie in a mapped file; SetData gives the point its own copy.
    const float size = child->ReadNamedValue("pixels");
    attachPoints[attachIndex].SetData(&size, sizeof(size));
  }
  return true;
}

int ShadedMesh::GetIndexInParent() const {
  if (!parent) return -1;
  for (size_t i = 0; i < parent->children.size(); ++i) {
    if (parent->children[i].get() == this) return static_cast<int>(i);
  }
  return -1;
}

void ShadedMesh::SetCurvedPatches(std::unique_ptr<CurvedPatch> curved) {
  patches = std::move(curved);
  flags |= kFlagPatches;
}

void ShadedMesh::SetAnimation(std::unique_ptr<ControllerSet> controllers) {
  animation = std::move(controllers);
  flags |= kFlagAnimation;
}

void ShadedMesh::SetSkin(std::unique_ptr<Skin> newSkin) {
  skin = std::move(newSkin);
  if (skin) {
    flags |= kFlagSkin;
  } else {
    flags &= ~kFlagSkin;
  }
}

void ShadedMesh::ComputeBounds() {
  // Every frame's positions and the patch control points count.
  std::vector<Vector3> points(allPositions, allPositions + (allPositions ? static_cast<size_t>(vertexCount) * frameCount : 0));
  for (uint32_t i = 0; patches && i < patches->GetControlVertexCount(); ++i) {
    points.push_back(patches->GetVertex(i).position);
  }
  if (points.empty()) {
    bounds = Box();
    centroid = Vector3();
    radius = centroidRadius = 0.0f;
    return;
  }
  Box box(points[0], points[0]);
  Vector3 sum;
  for (const Vector3& p : points) {
    box.ExtendByPoint(p);
    sum += p;
  }
  centroid = sum * (1.0f / static_cast<float>(points.size()));
  float far = 0.0f, farFromCentre = 0.0f;
  for (const Vector3& p : points) {
    far = std::max(far, p.LengthSquared());
    farFromCentre = std::max(farFromCentre, (p - centroid).LengthSquared());
  }
  radius = std::sqrt(far);
  centroidRadius = std::sqrt(farFromCentre);
  const int fixed = FindAttachPoint(kAttachFixedBounds);
  if (fixed >= 0 && attachPoints[fixed].GetLength() >= 24) {
    float v[6];
    std::memcpy(v, attachPoints[fixed].GetData(), sizeof(v));
    box = Box(Vector3(v[0], v[1], v[2]), Vector3(v[3], v[4], v[5]));
  }
  bounds = box;
}

void ShadedMesh::ComputeAllFaceNormals() {
  if (!allPositions || (faceCount > 0 && !IndicesValid())) {
    OutputDebugStringA("ShadedMesh: face normals not computed, face indices out of range\n");
    return;
  }
  Vector3* normals = new Vector3[static_cast<size_t>(faceCount) * frameCount];
  for (uint32_t t = 0; t < frameCount; ++t) {
    const Vector3* frame = allPositions + static_cast<size_t>(t) * vertexCount;
    for (uint32_t f = 0; f < faceCount; ++f) {
      const uint16_t* tri = indices + 3 * static_cast<size_t>(f);
      normals[static_cast<size_t>(t) * faceCount + f] = FaceNormal(frame[tri[0]], frame[tri[1]], frame[tri[2]]);
    }
  }
  if (m_owned & kOwnFaceNormals) delete[] allFaceNormals;
  allFaceNormals = normals;
  m_owned |= kOwnFaceNormals;
  PointAtFrame(currentFrame);
}

bool ShadedMesh::BuildEdgeAdjacency() {
  if (!allPositions || !indices || !IndicesValid()) return false;
  // Built before, it was built without a split: the faces have not changed since.
  if (halfEdges) return true;
  TriMesh probe;
  if (!probe.Allocate(vertexCount, faceCount)) return false;
  std::copy(allPositions, allPositions + vertexCount, probe.positions);
  std::copy(indices, indices + 3 * static_cast<size_t>(faceCount), probe.indices);
  std::vector<uint32_t> split;
  if (probe.SplitInconsistentVertices(split) != 0) {
    OutputDebugStringA("ShadedMesh: faces use an edge inconsistently, adjacency not built\n");
    return false;
  }
  return TriMesh::BuildEdgeAdjacency();
}

void ShadedMesh::RemoveFaceNormals() {
  if (m_owned & kOwnFaceNormals) delete[] allFaceNormals;
  allFaceNormals = nullptr;
  m_owned &= ~kOwnFaceNormals;
  PointAtFrame(currentFrame);
}

void ShadedMesh::SetFaceAttributes(const uint32_t* words) {
  if (m_owned & kOwnAttributes) delete[] faceAttributes;
  faceAttributes = nullptr;
  m_owned &= ~kOwnAttributes;
  if (!words) return;
  faceAttributes = new uint32_t[faceCount];
  std::copy(words, words + faceCount, faceAttributes);
  m_owned |= kOwnAttributes;
}

void ShadedMesh::OwnFaceRecords() {
  // Records used in place lie in the file image, which is not ours to change.
  if ((m_owned & kOwnFaceRecords) || !faceRecords) return;
  MeshFaceRecord* copy = new MeshFaceRecord[faceCount];
  std::copy(faceRecords, faceRecords + faceCount, copy);
  faceRecords = copy;
  m_owned |= kOwnFaceRecords;
}

void ShadedMesh::ComputeVertexNormals() {
  if (!allPositions || (faceCount > 0 && !IndicesValid())) {
    OutputDebugStringA("ShadedMesh: vertex normals not computed, face indices out of range\n");
    return;
  }
  uint16_t* normals = new uint16_t[static_cast<size_t>(vertexCount) * frameCount];
  std::vector<Vector3> sums(vertexCount);
  for (uint32_t t = 0; t < frameCount; ++t) {
    const Vector3* frame = allPositions + static_cast<size_t>(t) * vertexCount;
    std::fill(sums.begin(), sums.end(), Vector3());
    for (uint32_t f = 0; f < faceCount; ++f) {
      const uint16_t* tri = indices + 3 * static_cast<size_t>(f);
      const Vector3 p[3] = {frame[tri[0]], frame[tri[1]], frame[tri[2]]};
      const Vector3 n = allFaceNormals ? allFaceNormals[static_cast<size_t>(t) * faceCount + f]
                                       : FaceNormal(p[0], p[1], p[2]);
      for (uint32_t k = 0; k < 3; ++k) sums[tri[k]] += n * CornerAngle(p, k);
    }
    for (uint32_t v = 0; v < vertexCount; ++v) {
      Vector3 s = sums[v];
      if (s.Length() > 0.0f) s.Normalize();
      normals[static_cast<size_t>(t) * vertexCount + v] = NormalTable::Encode(s);
    }
  }
  if (m_owned & kOwnVertexNormals) delete[] allVertexNormals;
  allVertexNormals = normals;
  m_owned |= kOwnVertexNormals;
  flags |= kFlagVertexNormals;
  PointAtFrame(currentFrame);
}

void ShadedMesh::CompressNormals() {
  uint16_t* packed = new uint16_t[static_cast<size_t>(normalCount) * frameCount];
  for (uint32_t t = 0; t < frameCount; ++t) {
    const Vector3* frame = allPositions + static_cast<size_t>(t) * vertexCount;
    for (uint32_t i = 0; i < normalCount; ++i) {
      const MeshNormalRecord& r = normalRecords[i];
      Vector3 sum;
      for (uint32_t j = r.first; j < r.end; ++j) {
        const uint32_t face = cornerList[j] / 3, k = cornerList[j] % 3;
        const uint16_t* tri = indices + 3 * static_cast<size_t>(face);
        const Vector3 p[3] = {frame[tri[0]], frame[tri[1]], frame[tri[2]]};
        const Vector3 n = allFaceNormals ? allFaceNormals[static_cast<size_t>(t) * faceCount + face]
                                         : FaceNormal(p[0], p[1], p[2]);
        sum += n * CornerAngle(p, k);
      }
      if (sum.Length() > 0.0f) sum.Normalize();
      packed[static_cast<size_t>(t) * normalCount + i] = NormalTable::Encode(sum);
    }
  }
  if (m_owned & kOwnCompressed) delete[] allCompressedNormals;
  allCompressedNormals = packed;
  m_owned |= kOwnCompressed;
}

bool ShadedMesh::BuildVertexSharing() {
  if (sharingTable) return true;
  if (!faceRecords || faceCount == 0 || !BuildEdgeAdjacency()) return false;
  auto table = std::make_unique<VertexSharingTable>();
  if (!table->Build(*this, reinterpret_cast<const VertexSharingFace*>(faceRecords))) return false;
  sharingTable = std::move(table);
  return true;
}

bool ShadedMesh::ComputeNormalsAndBounds(float smoothingAngle) {
  if (!IndicesValid() && faceCount > 0) {
    OutputDebugStringA("ShadedMesh: normals not rebuilt, face indices out of range\n");
    return false;
  }
  flags |= kFlagCompressedNormals;
  // Without an adjacency of its own (one built without a split, so the same), the mesh's is
  // built on a scratch copy of frame 0: building it may split vertices, which would change
  // this mesh's index array and only one frame of its positions.
  TriMesh scratch;
  if (!halfEdges) {
    if (!scratch.Allocate(vertexCount, faceCount)) return false;
    std::copy(allPositions, allPositions + vertexCount, scratch.positions);
    std::copy(indices, indices + 3 * static_cast<size_t>(faceCount), scratch.indices);
    if (!scratch.BuildEdgeAdjacency()) return false;
  }
  const TriMesh& adjacency = halfEdges ? *this : scratch;

  std::vector<Vector3> frame0(faceCount);
  for (uint32_t f = 0; f < faceCount; ++f) {
    const uint16_t* tri = indices + 3 * static_cast<size_t>(f);
    frame0[f] = allFaceNormals ? allFaceNormals[f]
                               : FaceNormal(allPositions[tri[0]], allPositions[tri[1]], allPositions[tri[2]]);
  }
  PointAtFrame(0);
  OwnFaceRecords();
  if (m_owned & kOwnNormalRecords) delete[] normalRecords;
  if (m_owned & kOwnCornerList) delete[] cornerList;
  for (uint32_t f = 0; f < faceCount; ++f) {
    for (MeshCorner& c : faceRecords[f].corners) c.normal = kNone;
  }
  std::vector<MeshNormalRecord> records;
  std::vector<uint32_t> corners;
  corners.reserve(3 * static_cast<size_t>(faceCount));
  const size_t limit = 3 * static_cast<size_t>(faceCount);
  auto claim = [&](const TriMeshHalfEdge* h) {
    const uint32_t id = static_cast<uint32_t>(h - adjacency.halfEdges);
    MeshCorner& c = faceRecords[id / 3].corners[id % 3];
    if (c.normal != kNone) return;
    c.normal = static_cast<uint32_t>(records.size() - 1);
    corners.push_back(id);
  };
  auto smooth = [&](const TriMeshHalfEdge* a, int32_t twin) {
    return twin >= 0 && AngleBetween(frame0[a->face], frame0[adjacency.halfEdges[twin].face]) < smoothingAngle;
  };
  for (uint32_t f = 0; f < faceCount; ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      if (faceRecords[f].corners[k].normal != kNone) continue;
      records.push_back(MeshNormalRecord{indices[3 * f + k], static_cast<uint32_t>(corners.size()), 0});
      const TriMeshHalfEdge* start = adjacency.GetFaceHalfEdge(f, k);
      claim(start);
      bool closed = false;
      const TriMeshHalfEdge* h = start;
      for (size_t step = 0; step < limit && smooth(h, h->twin); ++step) {
        h = adjacency.NextEdgeAroundVertex(h);
        if (h == start) {
          closed = true;
          break;
        }
        claim(h);
      }
      h = start;
      for (size_t step = 0; !closed && step < limit; ++step) {
        const TriMeshHalfEdge* before = &adjacency.halfEdges[h->prev];
        if (!smooth(h, before->twin)) break;
        h = adjacency.PrevEdgeAroundVertex(h);
        if (h == start) break;
        claim(h);
      }
      records.back().end = static_cast<uint32_t>(corners.size());
    }
  }
  normalCount = static_cast<uint32_t>(records.size());
  normalRecords = new MeshNormalRecord[normalCount];
  std::copy(records.begin(), records.end(), normalRecords);
  cornerList = new uint32_t[corners.size()];
  std::copy(corners.begin(), corners.end(), cornerList);
  m_owned |= kOwnNormalRecords | kOwnCornerList;
  CompressNormals();
  PointAtFrame(0);
  ComputeBounds();
  return true;
}

namespace {

// The patches' share of the coverage: every edge between neighbouring control vertices of a
// patch, for each texture its face shows (texture i is slot i's starting texture).
void AddPatchCoverage(const CurvedPatch& patches, std::vector<float>& coverage) {
  auto offer = [&](const CurvedPatchFace& face, const CurvedPatchControlVertex& a, const CurvedPatchControlVertex& b) {
    const float world = (b.position - a.position).Length();
    const float du = b.u - a.u, dv = b.v - a.v;
    const float texture = std::sqrt(du * du + dv * dv);
    if (!(texture > 0.0f)) return;
    for (int t = 0; t < 3; ++t) {
      const uint16_t slot = face.textures[t];
      if (slot < coverage.size()) coverage[slot] = std::max(coverage[slot], world / texture);
    }
  };
  for (uint32_t p = 0; p < patches.GetPatchCount(); ++p) {
    const CurvedPatchRecord& record = patches.GetPatch(p);
    if (record.IsEmpty() || !patches.IsGridInside(p) || record.face >= patches.GetFaceCount()) continue;
    const CurvedPatchFace& face = patches.GetFace(record.face);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        const CurvedPatchControlVertex& here = patches.GetControlVertex(p, c, r);
        if (c < 3) offer(face, here, patches.GetControlVertex(p, c + 1, r));
        if (r < 3) offer(face, here, patches.GetControlVertex(p, c, r + 1));
      }
    }
  }
}

}  // namespace

void ShadedMesh::ResolveTextures() {
  ShadedMesh* owner = textureOwner;
  if (owner != this) {
    owner->ResolveTextures();
    return;
  }
  std::fill(coverage.begin(), coverage.end(), 0.0f);
  std::vector<ShadedMesh*> family{this};
  for (size_t i = 0; i < family.size(); ++i) {
    ShadedMesh* mesh = family[i];
    mesh->flags |= kFlagCoverage;
    for (const std::unique_ptr<ShadedMesh>& child : mesh->children) {
      if (child) family.push_back(child.get());
    }
    if (mesh->patches) AddPatchCoverage(*mesh->patches, coverage);
    if (!mesh->allPositions || !mesh->faceRecords || !mesh->indices) continue;
    for (uint32_t t = 0; t < mesh->frameCount; ++t) {
      const Vector3* frame = mesh->allPositions + static_cast<size_t>(t) * mesh->vertexCount;
      for (uint32_t f = 0; f < mesh->faceCount; ++f) {
        const MeshFaceRecord& rec = mesh->faceRecords[f];
        if (rec.textureSlot >= coverage.size()) continue;
        for (uint32_t k = 0; k < 3; ++k) {
          const uint32_t k2 = (k + 1) % 3;
          const uint32_t uv0 = rec.corners[k].uv, uv1 = rec.corners[k2].uv;
          const uint32_t v0 = mesh->indices[3 * f + k], v1 = mesh->indices[3 * f + k2];
          if (uv0 >= mesh->uvCount || uv1 >= mesh->uvCount || v0 >= mesh->vertexCount || v1 >= mesh->vertexCount) {
            continue;
          }
          const float world = (frame[v1] - frame[v0]).Length();
          const Vector2 d(mesh->uvs[uv1].x - mesh->uvs[uv0].x, mesh->uvs[uv1].y - mesh->uvs[uv0].y);
          const float texture = std::sqrt(d.LengthSquared());
          if (texture > 0.0f) coverage[rec.textureSlot] = std::max(coverage[rec.textureSlot], world / texture);
        }
      }
    }
  }
  for (size_t s = 0; s < coverage.size(); ++s) {
    if (!(coverage[s] > 0.0f) || coverage[s] > 1000.0f) {
      DebugPrintf("Warning: Texture Coverage Suspicious Value (#%d = %f)\n", static_cast<int>(s), coverage[s]);
    }
  }
}

std::string ShadedMesh::FolderOf(const std::string& filePath) {
  for (size_t i = filePath.size(); i > 1; --i) {
    if (filePath[i - 1] == '/' || filePath[i - 1] == '\\') return filePath.substr(0, i - 1);
  }
  return ".";
}

std::string ShadedMesh::ChildFileName(const std::string& parentPath, uint32_t index) {
  const size_t dot = parentPath.rfind('.');
  const size_t slash = parentPath.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || index >= 26) return std::string();
  return parentPath.substr(0, dot) + "-" + static_cast<char>('a' + index) + parentPath.substr(dot);
}

void ShadedMesh::OwnAllArrays() {
  auto own = [this](auto*& array, size_t count, uint32_t bit) {
    using T = std::remove_reference_t<decltype(*array)>;
    if ((m_owned & bit) || !array) return;
    T* copy = new T[count];
    std::copy(array, array + count, copy);
    array = copy;
    m_owned |= bit;
  };
  const size_t F = faceCount, V = vertexCount, T = frameCount, N = normalCount;
  own(indices, 3 * F, kOwnIndices);
  own(allPositions, V * T, kOwnPositions);
  own(faceRecords, F, kOwnFaceRecords);
  own(uvs, uvCount, kOwnUVs);
  own(allFaceNormals, F * T, kOwnFaceNormals);
  own(normalRecords, N, kOwnNormalRecords);
  own(cornerList, 3 * F, kOwnCornerList);
  own(allCompressedNormals, N * T, kOwnCompressed);
  own(faceAttributes, F, kOwnAttributes);
  own(allVertexNormals, V * T, kOwnVertexNormals);
  for (AttachPoint& point : attachPoints) {
    if (point.IsDataExternal()) point.SetData(point.GetData(), point.GetLength());
  }
  PointAtFrame(currentFrame);
}

void ShadedMesh::GetAttachPointTextures(uint32_t slot, std::vector<CTextureProperties*>& out) const {
  const ShadedMesh* owner = textureOwner;
  for (const AttachPoint& point : attachPoints) {
    if (point.type != kAttachTextureList || point.GetLength() < 76) continue;
    uint32_t listHeader[3];  // entry count, driven slot, reserved
    std::memcpy(listHeader, point.GetData() + 64, sizeof(listHeader));
    if (listHeader[1] != slot) continue;
    // Entries past the point's data are not there to read.
    const uint32_t count = std::min<uint32_t>(listHeader[0], (point.GetLength() - 76) / 4);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t index;
      std::memcpy(&index, point.GetData() + 76 + 4 * i, 4);
      out.push_back(index < owner->textures.size() ? owner->textures[index] : nullptr);
    }
    break;
  }
  out.push_back(GetTexture(slot));
}

void ShadedMesh::DetachTexture(uint32_t index) {
  ShadedMesh* owner = textureOwner;
  if (index >= owner->textures.size()) return;
  CTextureProperties* texture = owner->textures[index];
  for (CTextureProperties*& s : owner->slots) {
    if (s == texture) s = nullptr;
  }
  owner->textures[index] = nullptr;
  owner->textureNames[index].clear();
}

void ShadedMesh::DetachTextures() {
  for (uint32_t i = 0; i < textureOwner->textures.size(); ++i) DetachTexture(i);
}

void ShadedMesh::Transform(const COrientation& frame) {
  OwnAllArrays();
  const size_t total = static_cast<size_t>(vertexCount) * frameCount;
  for (size_t i = 0; i < total; ++i) allPositions[i] = frame.WorldToLocalPoint(allPositions[i]);
  if (!(frame.axes == TMatrix())) {
    auto turn = [&](uint16_t* packed, size_t count) {
      for (size_t i = 0; packed && i < count; ++i) {
        packed[i] = NormalTable::Encode(frame.WorldToLocalVector(NormalTable::Decode(packed[i])));
      }
    };
    turn(allCompressedNormals, static_cast<size_t>(normalCount) * frameCount);
    turn(allVertexNormals, total);
    for (size_t i = 0; allFaceNormals && i < static_cast<size_t>(faceCount) * frameCount; ++i) {
      allFaceNormals[i] = frame.WorldToLocalVector(allFaceNormals[i]);
    }
  }
  for (AttachPoint& point : attachPoints) point.transform = frame.WorldToLocalOrientation(point.transform);
  for (std::vector<COrientation>& frames : animatedAttach) {
    for (COrientation& t : frames) t = frame.WorldToLocalOrientation(t);
  }
  ComputeBounds();
}

void ShadedMesh::Translate(float dx, float dy, float dz) {
  Transform(COrientation(TMatrix(), Vector3(-dx, -dy, -dz)));
}

void ShadedMesh::GetFrameBounds(Box& out, const COrientation& orientation, uint32_t frame, bool originOnly) const {
  if (!allPositions || vertexCount == 0 || frame >= frameCount) {
    out = Box();
    return;
  }
  const Vector3* p = allPositions + static_cast<size_t>(frame) * vertexCount;
  const Vector3 first = orientation.WorldToLocalPoint(originOnly ? Vector3() : p[0]);
  out = Box(first, first);
  for (uint32_t i = 0; i < vertexCount; ++i) out.ExtendByPoint(orientation.WorldToLocalPoint(p[i]));
}

Box ShadedMesh::GetTransformedBounds(const COrientation* orientation) const {
  const COrientation identity;
  const COrientation& o = orientation ? *orientation : identity;
  Box box;
  GetFrameBounds(box, o, 0, false);
  for (uint32_t t = 1; t < frameCount; ++t) {
    Box more;
    GetFrameBounds(more, o, t, false);
    box.ExtendByPoint(more.min);
    box.ExtendByPoint(more.max);
  }
  return box;
}

namespace {

constexpr float kWeldDistanceSquared = 0.00001f;

// Index of the first kept point within the weld distance of p, or -1. Kept points are
// bucketed by cells one weld distance wide, so only the 27 cells around p are searched.
template <class Point, class Key>
int FindKept(const std::unordered_multimap<int64_t, uint32_t>& cells, const std::vector<Point>& kept, const Point& p,
             Key key) {
  int best = -1;
  for (int dx = -1; dx <= 1; ++dx) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dz = -1; dz <= 1; ++dz) {
        const auto range = cells.equal_range(key(p, dx, dy, dz));
        for (auto it = range.first; it != range.second; ++it) {
          const Point d = kept[it->second] - p;
          if (d.LengthSquared() < kWeldDistanceSquared && (best < 0 || it->second < static_cast<uint32_t>(best))) {
            best = static_cast<int>(it->second);
          }
        }
      }
    }
  }
  return best;
}

int64_t Cell(float value, int offset) {
  return static_cast<int64_t>(std::floor(value / std::sqrt(kWeldDistanceSquared))) + offset;
}

template <class Point, class Key>
std::vector<uint32_t> Weld(const Point* points, size_t count, std::vector<Point>& kept, Key key) {
  std::unordered_multimap<int64_t, uint32_t> cells;
  std::vector<uint32_t> remap(count);
  for (size_t i = 0; i < count; ++i) {
    const int found = FindKept(cells, kept, points[i], key);
    if (found >= 0) {
      remap[i] = static_cast<uint32_t>(found);
      continue;
    }
    remap[i] = static_cast<uint32_t>(kept.size());
    cells.emplace(key(points[i], 0, 0, 0), remap[i]);
    kept.push_back(points[i]);
  }
  return remap;
}

}  // namespace

void ShadedMesh::WeldUVs() {
  if (!uvs || uvCount == 0) return;
  OwnAllArrays();
  std::vector<Vector2> kept;
  const std::vector<uint32_t> remap = Weld(uvs, uvCount, kept, [](const Vector2& p, int dx, int dy, int) {
    return (Cell(p.x, dx) * 73856093) ^ (Cell(p.y, dy) * 19349663);
  });
  for (uint32_t f = 0; f < faceCount; ++f) {
    for (MeshCorner& c : faceRecords[f].corners) {
      if (c.uv < uvCount) c.uv = remap[c.uv];
    }
  }
  delete[] uvs;
  uvCount = static_cast<uint32_t>(kept.size());
  uvs = new Vector2[uvCount];
  std::copy(kept.begin(), kept.end(), uvs);
}

bool ShadedMesh::WeldVertices() {
  // Skin weights are numbered by vertex too; a skinned mesh is not welded.
  if (frameCount != 1 || skin || !allPositions || (faceCount > 0 && !IndicesValid())) return false;
  OwnAllArrays();
  std::vector<Vector3> kept;
  const std::vector<uint32_t> remap = Weld(allPositions, vertexCount, kept, [](const Vector3& p, int dx, int dy, int dz) {
    return (Cell(p.x, dx) * 73856093) ^ (Cell(p.y, dy) * 19349663) ^ (Cell(p.z, dz) * 83492791);
  });
  for (size_t i = 0; i < 3 * static_cast<size_t>(faceCount); ++i) indices[i] = static_cast<uint16_t>(remap[indices[i]]);
  for (uint32_t i = 0; i < normalCount; ++i) normalRecords[i].vertex = remap[normalRecords[i].vertex];
  FreeAdjacency();
  delete[] allPositions;
  vertexCount = static_cast<uint32_t>(kept.size());
  allPositions = new Vector3[vertexCount];
  std::copy(kept.begin(), kept.end(), allPositions);
  // Per-vertex normals belong to the old numbering.
  delete[] allVertexNormals;
  allVertexNormals = nullptr;
  m_owned &= ~kOwnVertexNormals;
  if (flags & kFlagVertexNormals) ComputeVertexNormals();
  PointAtFrame(0);
  return true;
}

uint32_t ShadedMesh::ReportDegenerateFaces() const {
  uint32_t count = 0;
  for (uint32_t f = 0; allPositions && f < faceCount; ++f) {
    const uint16_t* tri = indices + 3 * static_cast<size_t>(f);
    if (tri[0] >= vertexCount || tri[1] >= vertexCount || tri[2] >= vertexCount) continue;
    const Vector3& p = positions[tri[0]];
    if (FaceNormal(p, positions[tri[1]], positions[tri[2]]).LengthSquared() > 0.0f) continue;
    DebugPrintf("Degenerate Face: Look at x,y,z = %f,%f,%f\n", p.x, p.y, p.z);
    ++count;
  }
  DebugPrintf("%i Faces that should be pruned from mesh\n", static_cast<int>(count));
  return count;
}

namespace {

// Alpha-testing rays pass through faint texels: below 64 on a texture with an alpha channel,
// below 128 on a translucent kind.
constexpr uint8_t kAlphaChannelCutoff = 64;
constexpr uint8_t kTranslucentCutoff = 128;

}  // namespace

bool ShadedMesh::IntersectRay(RayInfo& query, bool skipTranslucent, int& face) const {
  face = -1;
  if (!positions || !indices) return false;
  const bool alphaTest = !skipTranslucent && (query.mode & QueryMode::kTexelAlpha) != 0;
  float best = 3.4028235e38f;
  IntersectionResult bestResult = query.result;
  Vector3 bestNormal = query.normal;
  for (uint32_t f = 0; f < faceCount; ++f) {
    const uint16_t* tri = indices + 3 * static_cast<size_t>(f);
    if (tri[0] >= vertexCount || tri[1] >= vertexCount || tri[2] >= vertexCount) continue;
    CTextureProperties* texture = faceRecords ? GetTexture(faceRecords[f].textureSlot) : nullptr;
    const bool translucent = texture && texture->HasAnyFlag(CTextureProperties::kTranslucentKinds);
    if (skipTranslucent && translucent) continue;
    const Vector3& p0 = positions[tri[0]];
    const Vector3& p1 = positions[tri[1]];
    const Vector3& p2 = positions[tri[2]];
    const Vector3 n = faceNormals ? faceNormals[f] : FaceNormal(p0, p1, p2);
    if (!query.IntersectTriangle(p0, p1, p2, n, false, nullptr) || !(query.result.time < best)) continue;
    if (alphaTest && texture) {
      // The triangle test weighs corner 1 with u and corner 2 with v; the face's texture
      // coordinates weigh corner 0 with their first weight.
      Color texel;
      const float u = query.result.u, v = query.result.v;
      if (SampleFaceTexel(f, 1.0f - u - v, v, texel) &&
          ((texture->HasAnyFlag(CTextureProperties::kAlphaChannel) && texel.a < kAlphaChannelCutoff) ||
           (translucent && texel.a < kTranslucentCutoff)))
        continue;
    }
    best = query.result.time;
    bestResult = query.result;
    bestNormal = query.normal;
    face = static_cast<int>(f);
  }
  query.result = bestResult;
  query.normal = bestNormal;
  return face >= 0;
}

bool ShadedMesh::GetFaceUV(uint32_t face, float u, float v, Vector2& out) const {
  if (face >= faceCount || !faceRecords) return false;
  const MeshCorner* c = faceRecords[face].corners;
  if (c[0].uv >= uvCount || c[1].uv >= uvCount || c[2].uv >= uvCount) return false;
  const float w = u == 1.0f ? 0.0f : v / (1.0f - u);
  const Vector2& a = uvs[c[0].uv];
  const Vector2& b = uvs[c[1].uv];
  const Vector2& k = uvs[c[2].uv];
  const Vector2 edge(b.x + (k.x - b.x) * w, b.y + (k.y - b.y) * w);
  out = Vector2(edge.x + (a.x - edge.x) * u, edge.y + (a.y - edge.y) * u);
  return true;
}

bool ShadedMesh::SampleFaceTexel(uint32_t face, float u, float v, Color& out) const {
  Vector2 uv;
  if (!GetFaceUV(face, u, v, uv)) return false;
  CTextureProperties* texture = GetTexture(faceRecords[face].textureSlot);
  return texture && texture->SampleTexel(uv.x, uv.y, out);
}
