// StaticLighting: computing, writing, reading and applying the static vertex lights of a level.
#include "scene/lighting/StaticLighting.h"

#include <cmath>
#include <cstring>
#include <unordered_set>

#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/spatial/Octree.h"
#include "platform/files/FileWrite.h"
#include "scene/lighting/LightList.h"
#include "scene/lighting/LightMapFaceRecord.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/TextureProperties.h"

namespace {

constexpr uint8_t kMarkRay = 1;

// A colour byte times a lit value, truncated and clamped; a value that is not a number gives 0.
uint8_t LitByte(uint8_t byte, float light) {
  const float v = static_cast<float>(byte) * light;
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<uint8_t>(v);
}

void PutWord(uint8_t* at, uint32_t word) { std::memcpy(at, &word, 4); }
uint32_t GetWord(const uint8_t* at) {
  uint32_t word;
  std::memcpy(&word, at, 4);
  return word;
}

// The child instances that carry blocks, in child order (internal children have no instance).
template <typename F>
void ForEachChild(CMeshInstance* instance, F&& visit) {
  for (const CMeshInstance::ChildEntry& child : instance->GetChildren()) {
    if (child.instance != nullptr) visit(child.instance.get());
  }
}

bool BoxesEqual(const Box& a, const Box& b) {
  return a.min.x == b.min.x && a.min.y == b.min.y && a.min.z == b.min.z && a.max.x == b.max.x &&
         a.max.y == b.max.y && a.max.z == b.max.z;
}

CMeshInstance* RootOf(CMeshInstance* instance) {
  while (instance != nullptr && instance->GetParentInstance() != nullptr) instance = instance->GetParentInstance();
  return instance;
}

}  // namespace

uint64_t StaticLighting::BlockSize(CMeshInstance* instance, bool withChildren) {
  if (instance == nullptr || instance->GetMesh() == nullptr) return 0;
  const ShadedMesh& mesh = *instance->GetMesh();
  uint64_t size = (static_cast<uint64_t>(mesh.normalCount) + mesh.faceCount) * kRecordSize;
  if (withChildren) ForEachChild(instance, [&](CMeshInstance* child) { size += BlockSize(child, true); });
  return size;
}

bool StaticLighting::LightScene(CMeshInstance* instance, uint8_t* block, size_t size, LightList& lights) {
  if (BlockSize(instance, true) > size) return false;
  const ShadedMesh* mesh = instance->GetMesh();
  if (mesh == nullptr) return true;
  const COrientation& world = instance->GetWorldMatrix();
  const float radius = mesh->radius * instance->GetWorldScale();
  Box box;
  box.SetFromCenterRadius(world.GetPosition(), radius);
  lights.SelectLights(box, 1);
  lights.TransformToLocal(world);
  const bool singlePoint = instance->HasSinglePointLighting();
  if (singlePoint) lights.ComputeInfluences(world.GetPosition(), kMarkRay, kRayMask);

  // Normal colours first: the face corners below are lit through them.
  const Vector3* positions = instance->GetFramePositions();
  const uint16_t* normals = instance->GetFrameCompressedNormals();
  std::vector<Vector3> lit(mesh->normalCount);
  for (uint32_t n = 0; n < mesh->normalCount; ++n) {
    const uint32_t vertex = mesh->normalRecords != nullptr ? mesh->normalRecords[n].vertex : ShadedMesh::kNone;
    if (vertex < mesh->vertexCount && positions != nullptr && normals != nullptr) {
      if (!singlePoint) lights.ComputeInfluences(instance->GetVertexWorldPosition(vertex), kMarkRay, kRayMask);
      lights.SumLocalColor(lit[n], NormalTable::Decode(normals[n]), positions[vertex]);
    }
    std::memcpy(block + n * kRecordSize, &lit[n], kRecordSize);
  }
  uint8_t* faces = block + static_cast<size_t>(mesh->normalCount) * kRecordSize;
  for (uint32_t f = 0; f < mesh->faceCount; ++f) {
    const CTextureProperties* texture = instance->GetFaceTexture(f);
    const bool unlit = texture != nullptr && texture->HasAnyFlag(CTextureProperties::kUnlit);
    for (uint32_t k = 0; k < 3; ++k) {
      const MeshCorner& corner = mesh->faceRecords[f].corners[k];
      Color c = corner.color;
      // An unlit face, and a corner without a normal, keep the mesh colour.
      if (!unlit && corner.normal < mesh->normalCount) {
        const Vector3& l = lit[corner.normal];
        c.r = LitByte(c.r, l.x);
        c.g = LitByte(c.g, l.y);
        c.b = LitByte(c.b, l.z);
      }
      PutWord(faces + f * kRecordSize + k * 4, c.ToWord());
    }
  }
  uint8_t* next = faces + static_cast<size_t>(mesh->faceCount) * kRecordSize;
  bool ok = true;
  ForEachChild(instance, [&](CMeshInstance* child) {
    const size_t childSize = static_cast<size_t>(BlockSize(child, true));
    ok = ok && LightScene(child, next, childSize, lights);
    next += childSize;
  });
  return ok;
}

bool StaticLighting::Apply(CMeshInstance* instance, const uint8_t* block, size_t size) {
  if (instance == nullptr || BlockSize(instance, true) > size) return false;
  const ShadedMesh* mesh = instance->GetMesh();
  if (mesh == nullptr) return true;
  for (uint32_t n = 0; n < mesh->normalCount; ++n) instance->SetNormalStamp(n, instance->GetStampFirst());
  const uint8_t* faces = block + static_cast<size_t>(mesh->normalCount) * kRecordSize;
  CMeshInstance::FaceColours* colours = instance->GetFaceColours();
  for (uint32_t f = 0; colours != nullptr && f < mesh->faceCount; ++f) {
    const auto* record = static_cast<const FaceLightRecord*>(colours[f].lightRecord);
    for (uint32_t k = 0; k < 3; ++k) {
      // A light-mapped face gets its light from the map; its vertices keep the mesh colours.
      colours[f].corners[k] = record != nullptr && record->page != nullptr
                                  ? mesh->faceRecords[f].corners[k].color
                                  : Color::FromWord(GetWord(faces + f * kRecordSize + k * 4));
    }
  }
  const uint8_t* next = faces + static_cast<size_t>(mesh->faceCount) * kRecordSize;
  ForEachChild(instance, [&](CMeshInstance* child) {
    const size_t childSize = static_cast<size_t>(BlockSize(child, true));
    Apply(child, next, childSize);
    next += childSize;
  });
  return true;
}

void StaticLighting::CollectEntries(COctree& octree, std::vector<Entry>& out) {
  COctree::ObjectList objects;
  octree.CollectAll(&objects, CBoundedObject::kRenderable);
  // A mesh cut into many sections is filed many times but stored once.
  std::unordered_set<CMeshInstance*> seen;
  for (CBoundedObject* object : objects) {
    CMeshInstance* root = RootOf(object->GetOwnerInstance());
    if (root == nullptr || !root->HasDynamicLighting()) continue;
    if (seen.insert(root).second) out.push_back(Entry{object->GetBounds(), root});
  }
}

std::vector<uint8_t> StaticLighting::BuildFile(COctree& octree, LightList& lights) {
  std::vector<Entry> entries;
  CollectEntries(octree, entries);
  DebugPrintf("Saving Static lights on Meshes! - %d static meshes.\n", static_cast<int>(entries.size()));
  uint64_t total = kHeaderSize;
  for (const Entry& e : entries) total += kEntryHeaderSize + BlockSize(e.root, true);
  if (total > SIZE_MAX / 2) {
    DebugPrintf("StaticLighting: the static lights of this level are too large to store\n");
    return {};
  }
  std::vector<uint8_t> file(static_cast<size_t>(total), 0);
  PutWord(file.data(), kVersion);
  PutWord(file.data() + 4, static_cast<uint32_t>(entries.size()));
  size_t at = kHeaderSize;
  for (const Entry& e : entries) {
    const float box[6] = {e.box.min.x, e.box.min.y, e.box.min.z, e.box.max.x, e.box.max.y, e.box.max.z};
    std::memcpy(&file[at], box, 24);
    uint32_t key[4] = {0, 0, 0, 0};
    if (e.root->GetMesh() != nullptr) e.root->GetMesh()->GetMeshKey(key);
    std::memcpy(&file[at + 24], key, 16);
    at += kEntryHeaderSize;
    const size_t block = static_cast<size_t>(BlockSize(e.root, true));
    LightScene(e.root, &file[at], block, lights);
    at += block;
  }
  return file;
}

bool StaticLighting::Save(COctree& octree, LightList& lights, const char* fileName) {
  const std::vector<uint8_t> file = BuildFile(octree, lights);
  if (file.empty()) return false;
  if (!plat::ReplaceFileContents(fileName, file.data(), file.size())) {
    DebugPrintf("Error Creating File: '%s' - Check Path and File Attributes!\n", fileName);
    return false;
  }
  return true;
}

CMeshInstance* StaticLighting::FindMatch(COctree& octree, const Box& box, const uint32_t key[4]) {
  COctree::ObjectList candidates;
  octree.QueryBox(box, &candidates, CBoundedObject::kRenderable);
  for (CBoundedObject* object : candidates) {
    CMeshInstance* root = RootOf(object->GetOwnerInstance());
    if (root == nullptr || !BoxesEqual(object->GetBounds(), box)) continue;
    uint32_t meshKey[4] = {0, 0, 0, 0};
    if (root->GetMesh() != nullptr) root->GetMesh()->GetMeshKey(meshKey);
    if (std::memcmp(meshKey, key, 16) == 0) return root;
  }
  return nullptr;
}

bool StaticLighting::LoadFromBuffer(COctree& octree, const uint8_t* data, size_t size) {
  if (data == nullptr || size < kHeaderSize) {
    DebugPrintf("StaticLighting: file too short for its header (%u bytes)\n", static_cast<unsigned>(size));
    return false;
  }
  const uint32_t version = GetWord(data);
  if (version != kVersion) {
    DebugPrintf("StaticLighting: version %u, expected %u\n", version, kVersion);
    return false;
  }
  const uint32_t count = GetWord(data + 4);
  size_t at = kHeaderSize;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < kEntryHeaderSize) {
      DebugPrintf("StaticLighting: entry %u of %u runs past the end of the file\n", i, count);
      return false;
    }
    float v[6];
    std::memcpy(v, data + at, 24);
    uint32_t key[4];
    std::memcpy(key, data + at + 24, 16);
    at += kEntryHeaderSize;
    CMeshInstance* match = FindMatch(octree, Box(Vector3(v[0], v[1], v[2]), Vector3(v[3], v[4], v[5])), key);
    if (match == nullptr) {
      DebugPrintf("StaticLighting: entry %u matches no static mesh\n", i);
      return false;
    }
    // The block's size comes from the matched mesh, not the file: it must fit in what is left.
    const uint64_t block = BlockSize(match, true);
    if (block > size - at) {
      DebugPrintf("StaticLighting: entry %u needs %llu bytes, %u left\n", i, static_cast<unsigned long long>(block),
                  static_cast<unsigned>(size - at));
      return false;
    }
    Apply(match, data + at, static_cast<size_t>(block));
    at += static_cast<size_t>(block);
  }
  if (at != size) {
    DebugPrintf("StaticLighting: %u bytes left over after %u entries\n", static_cast<unsigned>(size - at), count);
    return false;
  }
  return true;
}

bool StaticLighting::Load(COctree& octree, const char* fileName) {
  uint32_t size = 0;
  char* data = LoadFileToBuffer(fileName, &size);
  if (data == nullptr) return false;
  const bool ok = LoadFromBuffer(octree, reinterpret_cast<const uint8_t*>(data), size);
  FreeFileBuffer(data);
  return ok;
}

bool StaticLighting::LoadOrRebuild(COctree& octree, LightList& lights, const std::string& levelFolder) {
  const std::string path = levelFolder + "vlights.bin";
  DebugPrintf("Loading Static Vertex Lights.\n");
  if (Load(octree, path.c_str())) return true;
  // The fresh lights are applied from the image just computed, so a file that cannot be
  // written costs the next load the ray tests again but never leaves this level unlit.
  const std::vector<uint8_t> file = BuildFile(octree, lights);
  if (file.empty()) return false;
  if (!plat::ReplaceFileContents(path.c_str(), file.data(), file.size())) {
    DebugPrintf("Error Creating File: '%s' - Check Path and File Attributes!\n", path.c_str());
  }
  return LoadFromBuffer(octree, file.data(), file.size());
}
