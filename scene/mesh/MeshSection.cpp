// CMeshSection: cutting the world mesh into octree-sized pieces and drawing one piece at a time.
#include "scene/mesh/MeshSection.h"

#include <memory>

#include "core/data/DebugPrintf.h"
#include "platform/system/Win32.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/TextureProperties.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"

namespace {

bool FaceExcluded(CMeshInstance* instance, const ShadedMesh& mesh, uint32_t face) {
  const CTextureProperties* texture = instance->GetTexture(mesh.faceRecords[face].textureSlot);
  return texture != nullptr && texture->HasAnyFlag(CMeshSection::kExcludedTextureFlags);
}

Box PatchWorldBox(CMeshInstance* instance, uint32_t patch) {
  if (const CurvedPatchInstance* state = instance->GetPatchState()) return state->GetWorldBounds(patch);
  // No per-instance patch state: the control grid through the instance's world matrix.
  const CurvedPatch& patches = *instance->GetMesh()->patches;
  const CurvedPatchRecord& record = patches.GetPatch(patch);
  const COrientation& world = instance->GetWorldMatrix();
  Box box;
  bool first = true;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const uint64_t index = record.VertexIndex(row, column);
      if (index >= patches.GetControlVertexCount()) continue;
      const Vector3 p = world.LocalToWorldPoint(patches.GetVertex(static_cast<uint32_t>(index)).position);
      if (first) box = Box(p, p);
      box.ExtendByPoint(p);
      first = false;
    }
  }
  return box;
}

}  // namespace

CMeshSection::CMeshSection(CMeshInstance* owner, int32_t patchIndex) : m_patchIndex(patchIndex) {
  m_ownerInstance = owner;
  SetBoundFlags(patchIndex >= 0 ? (kRenderable | kPatchSection) : kRenderable);
}

bool CMeshSection::FaceWorldCorners(uint32_t face, Vector3 corners[3]) const {
  const ShadedMesh* mesh = m_ownerInstance ? m_ownerInstance->GetMesh() : nullptr;
  if (!mesh || !mesh->indices || !mesh->positions || face >= mesh->faceCount) return false;
  const COrientation& world = m_ownerInstance->GetWorldMatrix();
  for (int k = 0; k < 3; ++k) {
    const uint32_t vertex = mesh->indices[3 * static_cast<size_t>(face) + k];
    if (vertex >= mesh->vertexCount) return false;
    corners[k] = world.LocalToWorldPoint(mesh->positions[vertex]);
  }
  return true;
}

bool CMeshSection::AddFace(uint32_t face) {
  const ShadedMesh* mesh = m_ownerInstance ? m_ownerInstance->GetMesh() : nullptr;
  if (!mesh) return false;
  if (m_patchIndex >= 0) {
    const CurvedPatch* patches = mesh->patches.get();
    if (!patches || static_cast<uint32_t>(m_patchIndex) >= patches->GetPatchCount()) return false;
    const CurvedPatchRecord& record = patches->GetPatch(static_cast<uint32_t>(m_patchIndex));
    const uint32_t key = record.face < patches->GetFaceCount() ? patches->GetFace(record.face).textures[0] : 0;
    AddFaceBox(face, key, PatchWorldBox(m_ownerInstance, static_cast<uint32_t>(m_patchIndex)));
    return true;
  }
  Vector3 corners[3];
  if (!FaceWorldCorners(face, corners)) {
    DebugPrintf("CMeshSection: face %u lies outside the mesh\n", face);
    return false;
  }
  Box box;
  box.SetFromTriangle(corners[0], corners[1], corners[2]);
  AddFaceBox(face, mesh->faceRecords ? mesh->faceRecords[face].textureSlot : 0, box);
  return true;
}

void CMeshSection::AddFaceBox(uint32_t face, uint32_t key, const Box& box) {
  ++m_faceCount;
  SetBounds(m_groups.empty() ? box : GetBounds().Union(box));
  for (MeshFaceGroup& group : m_groups) {
    if (group.key != key) continue;
    group.faces.push_back(face);
    group.bounds = group.bounds.Union(box);
    return;
  }
  m_groups.push_back(MeshFaceGroup{key, box, {face}});
}

void CMeshSection::SplitInto(CMeshSection& first, CMeshSection& second) const {
  const Vector3 size = GetBounds().GetSize();
  Vector3 axis(0.0f, 0.0f, 1.0f);
  if (size.y <= size.x && size.z <= size.x)
    axis = Vector3(1.0f, 0.0f, 0.0f);
  else if (size.y >= size.x && size.z <= size.y)
    axis = Vector3(0.0f, 1.0f, 0.0f);

  // The mean in double: a section may hold tens of thousands of corners.
  double sum[3] = {0.0, 0.0, 0.0};
  uint32_t counted = 0;
  Vector3 corners[3];
  for (const MeshFaceGroup& group : m_groups) {
    for (uint32_t face : group.faces) {
      if (!FaceWorldCorners(face, corners)) continue;
      for (const Vector3& c : corners) {
        sum[0] += c.x;
        sum[1] += c.y;
        sum[2] += c.z;
      }
      ++counted;
    }
  }
  const double n = 3.0 * (counted > 0 ? counted : 1);
  const Vector3 mean(static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n), static_cast<float>(sum[2] / n));

  for (const MeshFaceGroup& group : m_groups) {
    for (uint32_t face : group.faces) {
      FaceWorldCorners(face, corners);
      const Vector3 centroid = (corners[0] + corners[1] + corners[2]) * (1.0f / 3.0f);
      (((centroid - mean).Dot(axis) > 0.0f) ? first : second).AddFace(face);
    }
  }
  if (first.m_faceCount != 0 && second.m_faceCount != 0) return;

  // Every centroid on one side of the plane (all of them on it, say): a spatial cut cannot
  // separate these faces, and cutting again would repeat forever. Halve them in order instead,
  // so the face limit still holds.
  first.ClearFaces();
  second.ClearFaces();
  const uint32_t half = m_faceCount / 2;
  uint32_t index = 0;
  for (const MeshFaceGroup& group : m_groups)
    for (uint32_t face : group.faces) (index++ < half ? first : second).AddFace(face);
}

void CMeshSection::ClearFaces() {
  m_faceCount = 0;
  m_groups.clear();
  SetBounds(Box());
}

void CMeshSection::Build(CMeshInstance* instance, std::vector<std::unique_ptr<CMeshSection>>& out, uint32_t faceLimit) {
  ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh) return;
  // A limit of 0 would have every one-face section split again without end.
  const uint32_t limit = faceLimit > 0 ? faceLimit : 1;

  if (mesh->faceCount > 0 && mesh->faceRecords) {
    auto root = std::make_unique<CMeshSection>(instance);
    for (uint32_t face = 0; face < mesh->faceCount; ++face)
      if (!FaceExcluded(instance, *mesh, face)) root->AddFace(face);

    std::vector<std::unique_ptr<CMeshSection>> work;
    work.push_back(std::move(root));
    while (!work.empty()) {
      std::unique_ptr<CMeshSection> section = std::move(work.back());
      work.pop_back();
      if (section->m_faceCount <= limit) {
        out.push_back(std::move(section));
        continue;
      }
      auto first = std::make_unique<CMeshSection>(instance);
      auto second = std::make_unique<CMeshSection>(instance);
      section->SplitInto(*first, *second);
      work.push_back(std::move(first));
      work.push_back(std::move(second));
    }
  }

  if (const CurvedPatch* patches = mesh->patches.get()) {
    for (uint32_t patch = 0; patch < patches->GetPatchCount(); ++patch) {
      auto section = std::make_unique<CMeshSection>(instance, static_cast<int32_t>(patch));
      section->SetBounds(PatchWorldBox(instance, patch));
      out.push_back(std::move(section));
    }
  }
}

void CMeshSection::GatherLights(LightList& list) {
  list.SelectLights(GetBounds(), 1);
  m_lights.clear();
  for (size_t i = 0; i < list.GetActiveCount(); ++i) m_lights.push_back(list.GetActiveLight(i));
}

void CMeshSection::Render(CSceneDrawInterface* view) {
  if (!view) return;
  if (view->CanDrawVertexBuffers()) {
    if (LightList* lights = view->GetLightList()) GatherLights(*lights);
    view->DrawMeshSection(this);
  } else if (m_patchIndex < 0) {
    DrawPartial(view);
  }
  m_drawnFrame = view->GetFrameNumber();
  StampLinks(static_cast<int32_t>(m_drawnFrame));
}

void CMeshSection::DrawPartial(CSceneDrawInterface* view) {
  CMeshInstance* owner = m_ownerInstance;
  const ShadedMesh* mesh = owner ? owner->GetMesh() : nullptr;
  if (!mesh || !mesh->sharingTable || m_faceCount == 0) return;
  const VertexSharingTable& table = *mesh->sharingTable;
  for (const MeshFaceGroup& group : m_groups) {
    for (uint32_t face : group.faces) {
      if (face >= table.GetFaceCount()) continue;
      const uint32_t renderGroup = table.GetGroupOfFace(face);
      if (renderGroup >= owner->GetPartialDrawGroupCount()) continue;
      if (owner->GetPartialDrawCount(renderGroup) >= table.GetGroupSize(renderGroup)) {
        OutputDebugStringA("Error - Adding active face twice in partial render!\n");
        continue;
      }
      owner->AddPartialDrawFace(face);
    }
  }
  view->DrawMesh(owner);
  owner->ResetPartialDrawLists();
}
