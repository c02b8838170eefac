// CMeshInstance: binding a mesh, per-instance colours and stamps, world copies, LODs and children.
#include "scene/mesh/MeshInstance.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "core/input/Settings.h"
#include "core/data/DebugPrintf.h"
#include "scene/mesh/HalfEdgeMesh.h"
#include "core/math/RayInfo.h"
#include "scene/animation/AnimationRecord.h"
#include "scene/animation/AnimationSet.h"
#include "scene/animation/ControllerSet.h"
#include "scene/lighting/LightMapData.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/animation/NodeAnimController.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/SkeletonNodeInstance.h"
#include "scene/animation/Skin.h"
#include "scene/mesh/VertexFetchInterface.h"
#include "scene/mesh/VertexSharingTable.h"

namespace {

std::vector<CMeshInstance*>& InstanceList() {
  static std::vector<CMeshInstance*> list;
  return list;
}

// Mesh detail from the settings, read once per instance: 1.0 starts the LOD scan at the
// instance itself, 0.5 one entry later, 0.0 two. Without settings the full detail is used.
int32_t LodStartFromSettings() {
  const CSettings* settings = GetSettings();
  float detail = settings ? settings->meshDetail : 1.0f;
  if (!(detail >= 0.0f)) detail = 0.0f;
  detail = std::min(detail, 1.0f);
  return static_cast<int32_t>(2.0f * (1.0f - detail));
}

// Frame numbers computed from play times: NaN and huge values must not reach an int cast.
int32_t ToFrame(double value) {
  if (!(value > -1e9)) return value != value ? 0 : -1000000000;
  if (value > 1e9) return 1000000000;
  return static_cast<int32_t>(value);
}

// Faces under a texture flagged unlit keep their colours rather than take the lights'; a missing
// texture counts as lit.
bool IsUnlit(const CTextureProperties* texture) {
  return texture != nullptr && texture->HasAnyFlag(CTextureProperties::kUnlit);
}

Vector3 CofactorTransform(const COrientation& w, const Vector3& n) {
  const Vector3& x = w.axes.m[0];
  const Vector3& y = w.axes.m[1];
  const Vector3& z = w.axes.m[2];
  return y.Cross(z) * n.x + z.Cross(x) * n.y + x.Cross(y) * n.z;
}

}  // namespace

CMeshInstance::CMeshInstance() : m_lodStart(LodStartFromSettings()) { m_currentLOD = this; }

CMeshInstance::~CMeshInstance() { Clear(); }

void CMeshInstance::Clear() {
  // The primitives read this instance's arrays, so they go first.
  SetTerrainPolygons(nullptr, 0);
  SetTerrainPatches(nullptr, 0);
  ClearLayers();
  std::vector<ChildEntry> children;
  children.swap(m_childEntries);
  m_lods.clear();
  for (ChildEntry& entry : children) {
    if (!entry.instance) continue;
    entry.instance->m_parentInstance = nullptr;
    entry.instance.reset();
  }
  // After the children: they may hang on these nodes or borrow them.
  m_ownedSkeleton.reset();
  m_skeleton = nullptr;
  m_skeletonCount = 0;
  // The play state may point into the table's records; it must not outlive them.
  if (m_animationSet) {
    m_player.sequence = m_player.previousSequence = nullptr;
    m_animationSet.reset();
  }
  FreeWorldVertices();
  if (m_listed) {
    auto& list = InstanceList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    m_listed = false;
  }
  m_drawCounts.clear();
  m_drawFaces.clear();
  m_halfEdges.reset();
  m_patchState.reset();
  m_fetch.reset();
  m_scratch.clear();
  m_faceColours.clear();
  m_lightMaps.reset();
  m_normalStamps.clear();
  m_staticColours.clear();
  m_textures.clear();
  m_textureAnimations.clear();
  m_parts.clear();
  m_lastPicked = nullptr;
  m_currentLOD = this;
  m_frame = 0;
  // Only the controller this instance took from its mesh is dropped; the mesh itself is not
  // read here, so an instance may be destroyed after the mesh it showed.
  if (m_meshController && m_player.controller == m_meshController) m_player.controller = nullptr;
  m_meshController = nullptr;
  m_mesh = nullptr;
}

bool CMeshInstance::SetMesh(ShadedMesh* mesh, bool partialDrawLists, bool singlePointLighting, bool dynamicLighting,
                            uint32_t stampFirst, uint32_t stampLast, const Matrix4* transform, bool buildChildren,
                            CMeshInstance* parent) {
  Clear();
  bool accepted = true;
  if (mesh && mesh->faceCount > 0 && (!mesh->IndicesValid() || !mesh->faceRecords || !mesh->allPositions)) {
    // Every per-face array below is indexed through these; a mesh that disagrees is not bound.
    DebugPrintf("CMeshInstance: mesh \"%s\" refused, face data incomplete or out of range\n", mesh->GetName().c_str());
    mesh = nullptr;
    accepted = false;
  }
  m_parentInstance = parent;
  m_singlePointLighting = singlePointLighting;
  m_dynamicLighting = dynamicLighting;
  m_mesh = mesh;
  if (mesh && mesh->vertexCount > 0 && mesh->faceCount > 0) BuildFaceArrays(partialDrawLists);

  COrientation pivot;
  if (transform) pivot.SetFromMatrix4(*transform);
  SetPivotTransform(&pivot, true);
  UpdateWorldMatrix();
  m_worldBorrowed = !parent && IsIdentity() && mesh && mesh->allFaceNormals;

  if (dynamicLighting) {
    m_stampFirst = std::min(stampFirst, kStampNever);
    m_stampLast = std::min(stampLast, kStampNever);
    m_stampLimit = m_stampFirst;
  } else {
    m_stampFirst = m_stampLast = m_stampLimit = kStampNever;
  }
  m_stampSpan = m_stampLast - m_stampFirst;
  m_alpha = 1.0f;
  if (!mesh) return accepted;

  if (mesh->patches) {
    m_patchState = std::make_unique<CurvedPatchInstance>();
    if (!m_patchState->Init(mesh->patches.get(), this, CurvedPatchInstance::kDefaultTolerance, true)) m_patchState.reset();
    RefreshWorld();
  }
  const bool skinned = mesh->skin && !mesh->skin->bones.empty();
  if (!skinned && mesh->animation && mesh->animation->GetCount() > 0) {
    m_player.controller = m_meshController = mesh->animation->GetController(0);
  }
  if (skinned) BuildSkeletonNodes();
  if (m_skeleton) {
    m_fetch = std::make_unique<CBlendedVertexFetchInterface>(this);
  } else {
    m_fetch = std::make_unique<CRigidVertexFetchInterface>(this);
  }
  if (buildChildren) BuildChildren(partialDrawLists);
  BuildLODList();
  const int table = mesh->FindAttachPoint(AnimationSet::kAttachType);
  if (table >= 0) {
    m_animationSet = std::make_unique<AnimationSet>();
    if (!m_animationSet->Bind(mesh->attachPoints[table])) {
      m_animationSet.reset();
    } else if (const AnimationRecord* idle = m_animationSet->FindSequenceByName("idle")) {
      PlayAnimation(idle, 0.0f, 0.0f, true, nullptr);
    }
  }
  std::vector<int> lists;
  mesh->CollectAttachPoints(kAttachTextureList, lists);
  m_textureAnimations.assign(lists.begin(), lists.end());
  if (!parent) MarkSubtreeDirty();
  return true;
}

void CMeshInstance::SetLightMapData(std::unique_ptr<LightMapData> data) {
  for (FaceColours& face : m_faceColours) face.lightRecord = nullptr;
  m_lightMaps = std::move(data);
}

void CMeshInstance::BuildFaceArrays(bool partialDrawLists) {
  const ShadedMesh& mesh = *m_mesh;
  m_scratch.assign(static_cast<size_t>(mesh.vertexCount) * 3, 0);
  m_faceColours.resize(mesh.faceCount);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    for (uint32_t k = 0; k < 3; ++k) m_faceColours[f].corners[k] = mesh.faceRecords[f].corners[k].color;
    m_faceColours[f].lightRecord = nullptr;
  }
  m_normalStamps.assign(mesh.normalCount, 0);
  if (!partialDrawLists) return;
  const VertexSharingTable* table = mesh.sharingTable.get();
  if (table && table->GetFaceCount() == mesh.faceCount) {
    m_drawCounts.assign(table->GetGroupCount(), 0);
    m_drawFaces.resize(table->GetGroupCount());
    for (uint32_t g = 0; g < table->GetGroupCount(); ++g) m_drawFaces[g].assign(table->GetGroupSize(g), 0);
  }
  InstanceList().push_back(this);
  m_listed = true;
}

void CMeshInstance::BuildChildren(bool partialDrawLists) {
  const ShadedMesh& mesh = *m_mesh;
  for (size_t i = 0; i < mesh.children.size() && i < mesh.childAttach.size(); ++i) {
    ShadedMesh* childMesh = mesh.children[i].get();
    const uint32_t attach = mesh.childAttach[i];
    if (!childMesh || attach >= mesh.attachPoints.size()) continue;
    if (childMesh->GetKind() == ShadedMesh::kKindInternal) {
      m_childEntries.push_back(ChildEntry{nullptr, attach});
      continue;
    }
    auto child = std::make_unique<CMeshInstance>();
    child->SetMesh(childMesh, partialDrawLists, m_singlePointLighting, m_dynamicLighting, m_stampFirst, m_stampLast,
                   nullptr, true, this);
    CMeshInstance* hung = child.get();
    if (!AddChildInstance(std::move(child), attach)) continue;
    // A child named after a bone follows that bone; it stays listed as this instance's child.
    if (CSkeletonNodeInstance* bone = FindBoneNode(attach)) bone->AddChild(hung, &mesh.attachPoints[attach].transform);
  }
}

void CMeshInstance::BuildSkeletonNodes() {
  const ShadedMesh& mesh = *m_mesh;
  const Skin& skin = *mesh.skin;
  if (mesh.parent) {
    // A child mesh never has bones of its own: it follows its parent instance's skeleton
    // when the two skins agree in bone count.
    const CMeshInstance* parent = m_parentInstance;
    if (parent && parent->m_skeleton && parent->m_mesh == mesh.parent && mesh.parent->skin &&
        mesh.parent->skin->bones.size() == skin.bones.size() && parent->m_skeletonCount == skin.bones.size()) {
      m_skeleton = parent->m_skeleton;
      m_skeletonCount = parent->m_skeletonCount;
    }
    return;
  }
  // A parent index out of range or a parent loop would hang nodes on nothing or on
  // themselves; such a skin (only possible when built in memory) gets no skeleton.
  if (!skin.BonesValid()) {
    DebugPrintf("CMeshInstance: skin of mesh \"%s\" has a bad bone tree, no skeleton built\n", mesh.GetName().c_str());
    return;
  }
  const uint32_t count = static_cast<uint32_t>(skin.bones.size());
  m_ownedSkeleton = std::make_unique<CSkeletonNodeInstance[]>(count);
  m_skeleton = m_ownedSkeleton.get();
  m_skeletonCount = count;
  for (uint32_t i = 0; i < count; ++i) {
    const SkinBone& bone = skin.bones[i];
    CSkeletonNodeInstance& node = m_skeleton[i];
    if (bone.parent == Skin::kNoParent) {
      node.SetRoot(true);
      AddChild(&node, &bone.bind);
    } else {
      m_skeleton[bone.parent].AddChild(&node, &bone.bind);
    }
    if (mesh.animation) {
      char name[sizeof(bone.name) + 1] = {};
      std::memcpy(name, bone.name, sizeof(bone.name));
      node.GetSequencePlayer().controller = mesh.animation->FindByName(name);
    }
  }
}

CSkeletonNodeInstance* CMeshInstance::FindBoneNode(uint32_t attachIndex) const {
  if (!m_skeleton || !m_mesh || !m_mesh->skin || attachIndex >= m_mesh->attachPoints.size()) return nullptr;
  const AttachPoint& point = m_mesh->attachPoints[attachIndex];
  if (!point.GetData() || point.GetLength() == 0) return nullptr;
  // The data need not end in a zero; only the bytes it holds are compared.
  std::string name(reinterpret_cast<const char*>(point.GetData()), point.GetLength());
  name.resize(std::strlen(name.c_str()));
  if (name.empty()) return nullptr;
  const int bone = m_mesh->skin->FindBone(name.c_str());
  return bone >= 0 && static_cast<uint32_t>(bone) < m_skeletonCount ? &m_skeleton[bone] : nullptr;
}

void CMeshInstance::DropBorrowedSkeleton(const CSkeletonNodeInstance* nodes) {
  if (!nodes || m_skeleton != nodes || OwnsSkeletonNodes()) return;
  m_skeleton = nullptr;
  m_skeletonCount = 0;
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->DropBorrowedSkeleton(nodes);
  }
}

void CMeshInstance::BuildLODList() {
  m_lods.clear();
  m_lods.push_back(LodEntry{this, kLargestThreshold});
  for (const ChildEntry& entry : m_childEntries) {
    if (!entry.instance || !entry.instance->m_mesh || entry.instance->m_mesh->GetKind() != ShadedMesh::kKindLod) continue;
    float threshold = 0.0f;
    const AttachPoint& point = m_mesh->attachPoints[entry.attachIndex];
    if (point.GetData() && point.GetLength() >= sizeof(float)) std::memcpy(&threshold, point.GetData(), sizeof(float));
    if (!(threshold > 0.0f)) threshold = 1.0f;
    auto at = std::find_if(m_lods.begin(), m_lods.end(), [&](const LodEntry& e) { return e.threshold < threshold; });
    m_lods.insert(at, LodEntry{entry.instance.get(), threshold});
  }
  m_currentLOD = m_lods.back().instance;
}

CMeshInstance* CMeshInstance::GetRootInstance() {
  CMeshInstance* node = this;
  while (node->m_parentInstance) node = node->m_parentInstance;
  return node;
}

const COrientation& CMeshInstance::RefreshWorld() {
  UpdateWorldMatrix();
  if (m_patchState) m_patchState->SetPlacement(m_world, m_worldScale, m_mesh ? m_mesh->radius : 0.0f);
  return m_world;
}

// ---- frames ----

void CMeshInstance::SetFrame(int32_t frame) {
  const int32_t last = m_mesh ? static_cast<int32_t>(std::min<uint32_t>(m_mesh->frameCount, INT32_MAX)) - 1 : 0;
  m_frame = std::max(0, std::min(frame, last));
}

void CMeshInstance::ShowFrame() const {
  if (m_mesh) m_mesh->SetFrame(static_cast<uint32_t>(m_frame));
}

const Vector3* CMeshInstance::GetFramePositions() const {
  if (!m_mesh || !m_mesh->allPositions) return nullptr;
  return m_mesh->allPositions + static_cast<size_t>(m_frame) * m_mesh->vertexCount;
}

const Vector3* CMeshInstance::GetFrameFaceNormals() const {
  if (!m_mesh || !m_mesh->allFaceNormals) return nullptr;
  return m_mesh->allFaceNormals + static_cast<size_t>(m_frame) * m_mesh->faceCount;
}

const uint16_t* CMeshInstance::GetFrameCompressedNormals() const {
  if (!m_mesh || !m_mesh->allCompressedNormals) return nullptr;
  return m_mesh->allCompressedNormals + static_cast<size_t>(m_frame) * m_mesh->normalCount;
}

const uint16_t* CMeshInstance::GetFrameVertexNormals() const {
  if (!m_mesh || !m_mesh->allVertexNormals) return nullptr;
  return m_mesh->allVertexNormals + static_cast<size_t>(m_frame) * m_mesh->vertexCount;
}

// ---- animation ----

void CMeshInstance::AdvanceTime(float elapsed) { CXFormNode::AdvanceTime(elapsed); }

void CMeshInstance::UpdateAnimation() {
  const AnimationRecord* sequence = m_player.sequence;
  if (sequence && m_mesh) {
    const AnimationRecord* xform = sequence->FindSubRecord(AnimationRecord::kXForm, 0);
    if (m_player.controller && xform) {
      const float sampled = xform->SampleTime(m_player.time);
      const float time = m_player.controller->GetFrameTime() * (xform->startFrame + sampled * xform->frameRate);
      const float alpha = m_player.controller->GetAlpha(time);
      if (alpha != m_alpha) SetAlpha(alpha, false);
    }
    const AnimationRecord* vertex = sequence->FindSubRecord(AnimationRecord::kVertex, 0);
    if (vertex) {
      const double sampled = vertex->SampleTime(m_player.time);
      // A zero-length record would divide by zero: it shows its start frame.
      const double step = vertex->length > 0.0f ? sampled / vertex->length * vertex->frameCount : 0.0;
      SetFrame(ToFrame(static_cast<double>(vertex->startFrame) + ToFrame(step)));
    }
    AnimateTextures(sequence);
  }
  CXFormNode::UpdateAnimation();
}

void CMeshInstance::AnimateTextures(const AnimationRecord* sequence) {
  constexpr size_t kNameBytes = 64, kHeaderBytes = kNameBytes + 12;
  for (uint32_t n = 0;; ++n) {
    const AnimationRecord* record = sequence->FindSubRecord(AnimationRecord::kTexture, n);
    if (!record) return;
    for (uint32_t index : m_textureAnimations) {
      const AttachPoint& point = m_mesh->attachPoints[index];
      if (point.GetLength() < kHeaderBytes || std::memcmp(point.GetData(), record->name, kNameBytes) != 0) continue;
      uint32_t words[3];
      std::memcpy(words, point.GetData() + kNameBytes, sizeof(words));
      // Only entries that lie inside the point's data are used, however many the count claims.
      const uint32_t present = static_cast<uint32_t>((point.GetLength() - kHeaderBytes) / 4);
      const uint32_t limit = std::min({words[0], present, record->frameCount});
      if (limit == 0) break;  // nothing to show; an index of -1 would read before the list
      const double sampled = record->SampleTime(m_player.time);
      const double step = record->length > 0.0f ? sampled / record->length * record->frameCount : 0.0;
      const int32_t entry = std::max(0, std::min(ToFrame(static_cast<double>(record->startFrame) + ToFrame(step)), static_cast<int32_t>(limit) - 1));
      uint32_t textureIndex = 0;
      std::memcpy(&textureIndex, point.GetData() + kHeaderBytes + 4 * static_cast<size_t>(entry), 4);
      const ShadedMesh* owner = m_mesh->textureOwner ? m_mesh->textureOwner : m_mesh;
      CTextureProperties* texture = textureIndex < owner->textures.size() ? owner->textures[textureIndex] : nullptr;
      SetTexture(words[1], texture);
      break;
    }
  }
}

// ---- textures ----

void CMeshInstance::SetTexture(uint32_t slot, CTextureProperties* texture) {
  if (!m_mesh || slot >= m_mesh->GetSlotCount()) return;
  if (m_textures.empty()) {
    m_textures.resize(m_mesh->GetSlotCount());
    for (uint32_t s = 0; s < m_textures.size(); ++s) m_textures[s] = m_mesh->GetTexture(s);
  }
  const bool wasUnlit = IsUnlit(m_textures[slot]);
  m_textures[slot] = texture;
  if (IsUnlit(texture) != wasUnlit) RelightSlotFaces(slot, !wasUnlit);
}

// Unlit faces show their texture as it is, in white; lit ones take their static colours back, or
// are relit by the lights when the instance has none.
void CMeshInstance::RelightSlotFaces(uint32_t slot, bool unlit) {
  for (uint32_t f = 0; f < m_faceColours.size(); ++f) {
    if (m_mesh->faceRecords[f].textureSlot != slot) continue;
    for (uint32_t k = 0; k < 3; ++k) {
      if (unlit) {
        m_faceColours[f].corners[k] = Color::FromWord(0xFFFFFFFFu);
      } else if (HasStaticColours()) {
        m_faceColours[f].corners[k] = m_staticColours[3 * f + k];
      }
    }
    if (!unlit && !HasStaticColours()) InvalidateFaceLighting(f);
  }
}

CTextureProperties* CMeshInstance::GetTexture(uint32_t slot) const {
  if (!m_mesh || slot >= m_mesh->GetSlotCount()) return nullptr;
  if (!m_textures.empty()) return m_textures[slot];
  return m_mesh->GetTexture(slot);
}

CTextureProperties* CMeshInstance::GetFaceTexture(uint32_t face) const {
  if (!m_mesh || !m_mesh->faceRecords || face >= m_mesh->faceCount) return nullptr;
  return GetTexture(m_mesh->faceRecords[face].textureSlot);
}

// ---- alpha and lighting ----

void CMeshInstance::SetAlpha(float alpha, bool recurse) {
  const float clamped = alpha > 1.0f ? 1.0f : (alpha >= 0.0f ? alpha : 0.0f);
  m_alpha = m_fadeDivisor ? clamped / (static_cast<float>(m_fadeDivisor) + 1.0f) : clamped;
  const uint8_t byte = static_cast<uint8_t>(clamped * 255.0f);
  for (FaceColours& face : m_faceColours) {
    for (Color& c : face.corners) c.a = byte;
  }
  if (!recurse) return;
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->SetAlpha(alpha, true);
  }
}

void CMeshInstance::SetFadeDivisor(uint32_t divisor, bool recurse) {
  // The stored alpha is the set alpha over (divisor + 1); rescaling by that same ratio keeps
  // it equal to what SetAlpha would store, and a divisor of 0 (none) needs no special case.
  // A plain old / new ratio would not: from divisor 1 to 2 it turns a stored 0.5 into 0.25
  // where SetAlpha(1) stores 1/3, and to or from "none" it divides by zero or zeroes the alpha.
  const double ratio = (static_cast<double>(m_fadeDivisor) + 1.0) / (static_cast<double>(divisor) + 1.0);
  m_alpha = static_cast<float>(std::min(1.0, std::max(0.0, m_alpha * ratio)));
  ClearStampsRecursive();
  m_fadeDivisor = divisor;
  if (!recurse) return;
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->SetFadeDivisor(divisor, true);
  }
}

void CMeshInstance::ClearStampsRecursive() {
  std::fill(m_normalStamps.begin(), m_normalStamps.end(), 0u);
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->ClearStampsRecursive();
  }
}

void CMeshInstance::RestoreColours(bool useStatic) {
  if (!m_mesh) return;
  const bool fromStatic = useStatic && !m_staticColours.empty();
  for (uint32_t f = 0; f < m_faceColours.size(); ++f) {
    for (uint32_t k = 0; k < 3; ++k) {
      m_faceColours[f].corners[k] = fromStatic ? m_staticColours[3 * f + k] : m_mesh->faceRecords[f].corners[k].color;
    }
  }
}

void CMeshInstance::SetDynamicLighting(bool on, uint32_t stampLimit, bool useStaticColours, bool recurse) {
  m_dynamicLighting = on;
  if (on) {
    m_stampLimit = std::min(stampLimit, kStampNever);
  } else {
    m_stampLimit = kStampNever;
    RestoreColours(useStaticColours);
    std::fill(m_normalStamps.begin(), m_normalStamps.end(), kStampNever);
  }
  if (!recurse) return;
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->SetDynamicLighting(on, stampLimit, useStaticColours, true);
  }
}

void CMeshInstance::SetLightingStamp(uint32_t limit, bool recurse) {
  m_stampLimit = std::min(limit, kStampNever);
  if (!recurse) return;
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->SetLightingStamp(limit, true);
  }
}

void CMeshInstance::InvalidateLighting(bool recurse) {
  std::fill(m_normalStamps.begin(), m_normalStamps.end(), 0u);
  m_lightingStale = true;
  if (!recurse) return;
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->InvalidateLighting(true);
  }
}

void CMeshInstance::InvalidateFaceLighting(uint32_t face) {
  if (!m_mesh || face >= m_faceColours.size()) return;
  for (const MeshCorner& corner : m_mesh->faceRecords[face].corners) {
    if (corner.normal < m_normalStamps.size()) m_normalStamps[corner.normal] = 0;
  }
}

void CMeshInstance::SetNormalStamp(uint32_t normal, uint32_t stamp) {
  if (normal < m_normalStamps.size()) m_normalStamps[normal] = stamp;
}

void CMeshInstance::SetColourScale(float r, float g, float b) {
  m_colourScale[0] = r;
  m_colourScale[1] = g;
  m_colourScale[2] = b;
}

// ---- colours ----

void CMeshInstance::AllocStaticColours() {
  m_staticColours.resize(3 * m_faceColours.size());
  for (size_t f = 0; f < m_faceColours.size(); ++f) {
    for (size_t k = 0; k < 3; ++k) m_staticColours[3 * f + k] = m_faceColours[f].corners[k];
  }
}

void CMeshInstance::SetStaticColour(uint32_t face, uint32_t corner, Color colour) {
  const size_t i = 3 * static_cast<size_t>(face) + corner;
  if (corner < 3 && i < m_staticColours.size()) m_staticColours[i] = colour;
}

Color CMeshInstance::GetFaceColour(uint32_t face, uint32_t corner) const {
  if (face >= m_faceColours.size() || corner >= 3) return Color();
  return m_faceColours[face].corners[corner];
}

void CMeshInstance::SetFaceColour(uint32_t face, uint32_t corner, Color colour) {
  if (face < m_faceColours.size() && corner < 3) m_faceColours[face].corners[corner] = colour;
}

Color CMeshInstance::SampleFaceColor(uint32_t face, float u, float v, bool modulate, bool enabled) const {
  if (!enabled || face >= m_faceColours.size()) return Color::FromWord(0xFFFFFFFFu);
  const Color* c = m_faceColours[face].corners;
  const float w[3] = {u, 1.0f - u - v, v};
  auto channel = [&](uint8_t Color::*field) {
    const float value = w[0] * (c[0].*field) + w[1] * (c[1].*field) + w[2] * (c[2].*field);
    return static_cast<uint8_t>(value <= 0.0f ? 0.0f : (value >= 255.0f ? 255.0f : value));
  };
  Color out;
  out.b = channel(&Color::b);
  out.g = channel(&Color::g);
  out.r = channel(&Color::r);
  out.a = channel(&Color::a);
  CTextureProperties* texture = modulate ? GetFaceTexture(face) : nullptr;
  Vector2 uv;
  Color texel;
  if (texture && m_mesh->GetFaceUV(face, u, v, uv) && texture->SampleTexel(uv.x, uv.y, texel)) {
    out.b = static_cast<uint8_t>(out.b * texel.b / 256);
    out.g = static_cast<uint8_t>(out.g * texel.g / 256);
    out.r = static_cast<uint8_t>(out.r * texel.r / 256);
    out.a = static_cast<uint8_t>(out.a * texel.a / 256);
  }
  return out;
}

// ---- placement and world copies ----

bool CMeshInstance::GetAttachPointTransform(uint32_t index, COrientation& out) {
  const COrientation& world = RefreshWorld();
  if (!m_mesh || index >= m_mesh->attachPoints.size()) return false;
  const COrientation* point = &m_mesh->attachPoints[index].transform;
  if (index < m_mesh->animatedAttach.size() && static_cast<size_t>(m_frame) < m_mesh->animatedAttach[index].size()) {
    point = &m_mesh->animatedAttach[index][m_frame];
  }
  out = world.LocalToWorldOrientation(*point);
  return true;
}

bool CMeshInstance::GetAttachPointPosition(uint32_t index, Vector3& out) {
  COrientation frame;
  if (!GetAttachPointTransform(index, frame)) return false;
  out = frame.position;
  return true;
}

void CMeshInstance::GetSphereBox(Box& out) {
  const COrientation& world = RefreshWorld();
  out.SetFromCenterRadius(world.position, (m_mesh ? m_mesh->radius : 0.0f) * m_worldScale);
}

void CMeshInstance::GetWorldBounds(Box& out) {
  const COrientation& world = RefreshWorld();
  out = Box(world.position, world.position);
  const Vector3* positions = GetFramePositions();
  if (m_mesh && positions && m_mesh->vertexCount > 0) {
    const bool copies = m_worldPositions != nullptr;
    const Vector3 first = copies ? m_worldPositions[0] : world.LocalToWorldPoint(positions[0]);
    out = Box(first, first);
    for (uint32_t v = 1; v < m_mesh->vertexCount; ++v) {
      out.ExtendByPoint(copies ? m_worldPositions[v] : world.LocalToWorldPoint(positions[v]));
    }
  }
  if (m_patchState) out.ExtendByBox(m_patchState->GetAllWorldBounds());
  for (const ChildEntry& entry : m_childEntries) {
    if (!entry.instance) continue;
    Box child;
    entry.instance->GetWorldBounds(child);
    out.ExtendByBox(child);
  }
}

void CMeshInstance::BuildWorldVertices() {
  FreeWorldVertices();
  const Vector3* positions = GetFramePositions();
  if (!m_mesh || !positions) return;
  const COrientation& world = RefreshWorld();
  const uint32_t vertices = m_mesh->vertexCount, faces = m_mesh->faceCount;
  m_worldPositions = std::make_unique<Vector3[]>(vertices);
  m_worldFaceNormals = std::make_unique<Vector3[]>(faces);
  for (uint32_t v = 0; v < vertices; ++v) m_worldPositions[v] = world.LocalToWorldPoint(positions[v]);
  const Vector3* normals = GetFrameFaceNormals();
  const uint16_t* tri = m_mesh->indices;
  const bool recompute = (m_effectiveFlags & kScaled) || !normals;
  const bool mirrored = (m_effectiveFlags & kMirrored) != 0;
  for (uint32_t f = 0; f < faces; ++f) {
    if (recompute) {
      // The face-normal rule on world positions already follows a scale; a mirror turns the
      // cross product round, so it is turned back.
      const Vector3 n = TriMesh::FaceNormal(m_worldPositions[tri[3 * f]], m_worldPositions[tri[3 * f + 1]],
                                            m_worldPositions[tri[3 * f + 2]]);
      m_worldFaceNormals[f] = mirrored ? -n : n;
    } else {
      m_worldFaceNormals[f] = world.LocalToWorldVector(normals[f]);
    }
  }
}

void CMeshInstance::FreeWorldVertices() {
  m_worldPositions.reset();
  m_worldFaceNormals.reset();
  m_worldBorrowed = false;
}

Vector3 CMeshInstance::GetCornerWorldPosition(uint32_t face, uint32_t corner) {
  const Vector3* positions = GetFramePositions();
  if (!m_mesh || !positions || face >= m_mesh->faceCount || corner >= 3) return Vector3();
  const uint16_t v = m_mesh->indices[3 * face + corner];
  if (IsIdentity()) return positions[v];
  // Without world copies the corner is moved on the spot rather than read from a null array.
  return m_worldPositions ? m_worldPositions[v] : RefreshWorld().LocalToWorldPoint(positions[v]);
}

Vector3 CMeshInstance::GetWorldFaceNormal(uint32_t face) {
  const Vector3* positions = GetFramePositions();
  if (!m_mesh || !positions || face >= m_mesh->faceCount) return Vector3();
  const Vector3* normals = GetFrameFaceNormals();
  if (IsIdentity() && normals) return normals[face];
  if (!IsIdentity() && m_worldFaceNormals) return m_worldFaceNormals[face];
  // No stored normal for this placement: the face-normal rule on the placed corners.
  const Vector3 p0 = GetCornerWorldPosition(face, 0), p1 = GetCornerWorldPosition(face, 1),
                p2 = GetCornerWorldPosition(face, 2);
  const Vector3 n = TriMesh::FaceNormal(p0, p1, p2);
  return (m_effectiveFlags & kMirrored) ? -n : n;
}

Vector3 CMeshInstance::GetVertexWorldPosition(uint32_t vertex) {
  const Vector3* positions = GetFramePositions();
  if (!m_mesh || !positions || vertex >= m_mesh->vertexCount) return Vector3();
  const uint16_t* normals = GetFrameVertexNormals();
  const Vector3 pushed = positions[vertex] + (normals ? NormalTable::Decode(normals[vertex]) * 0.03f : Vector3());
  return IsIdentity() ? pushed : RefreshWorld().LocalToWorldPoint(pushed);
}

Vector3 CMeshInstance::WorldToLocalExact(const COrientation& world, const Vector3& p, bool& ok) {
  // Rows X, Y, Z may carry scale: the local coordinates come from the inverse (cofactors over
  // the determinant), not from dot products, which are right only for unit axes.
  const Vector3& x = world.axes.m[0];
  const Vector3& y = world.axes.m[1];
  const Vector3& z = world.axes.m[2];
  const float det = x.Dot(y.Cross(z));
  ok = det != 0.0f && std::isfinite(det);
  if (!ok) return Vector3();
  const Vector3 d = p - world.position;
  const float inv = 1.0f / det;
  return Vector3(d.Dot(y.Cross(z)) * inv, d.Dot(z.Cross(x)) * inv, d.Dot(x.Cross(y)) * inv);
}

// ---- ray queries ----

bool CMeshInstance::IntersectOwnMesh(RayInfo& query, bool skipTranslucent, int32_t& face) {
  ShowFrame();
  int meshFace = -1;
  const bool hit = m_mesh->IntersectRay(query, skipTranslucent, meshFace);
  face = meshFace;
  return hit;
}

bool CMeshInstance::IntersectRay(RayInfo& query, CMeshInstance** hitInstance, int32_t* hitFace) {
  if (hitInstance) *hitInstance = nullptr;
  if (hitFace) *hitFace = -1;
  const COrientation& world = RefreshWorld();
  bool hit = false;
  float bestTime = FLT_MAX;
  int32_t face = -1;
  if (m_mesh && m_mesh->faceCount > 0) {
    // A query that tests texels sees translucent faces and passes through their faint texels,
    // wherever the instance stands: a piece at the world's origin is picked as one beside it.
    const bool skipTranslucent = (query.mode & QueryMode::kTexelAlpha) == 0;
    if (IsIdentity()) {
      // Tested in place; the hit is reported with this instance and its face, like a moved one,
      // so that a caller can tell what it hit.
      hit = IntersectOwnMesh(query, skipTranslucent, face);
    } else {
      bool okStart = false, okEnd = false;
      RayInfo local(query);
      local.start = WorldToLocalExact(world, query.start, okStart);
      local.end = WorldToLocalExact(world, query.end, okEnd);
      if (okStart && okEnd && IntersectOwnMesh(local, skipTranslucent, face)) {
        hit = true;
        // An affine map keeps fractions along the segment, so the time carries over as it is.
        query.result = local.result;
        query.result.point = query.start + (query.end - query.start) * local.result.time;
        Vector3 n = CofactorTransform(world, local.normal);
        n.Normalize();
        query.normal = (query.end - query.start).Dot(n) < 0.0f ? n : -n;
      }
    }
    if (hit) {
      bestTime = query.result.time;
      if (hitInstance) *hitInstance = this;
      if (hitFace) *hitFace = face;
    }
  }
  for (const ChildEntry& entry : m_childEntries) {
    CMeshInstance* child = entry.instance.get();
    if (!child || !child->m_mesh || child->m_mesh->GetKind() == ShadedMesh::kKindLod) continue;
    RayInfo copy(query);
    CMeshInstance* childHit = nullptr;
    int32_t childFace = -1;
    if (child->IntersectRay(copy, &childHit, &childFace) && copy.result.time < bestTime) {
      bestTime = copy.result.time;
      query.result = copy.result;
      query.normal = copy.normal;
      if (hitInstance) *hitInstance = childHit;
      if (hitFace) *hitFace = childFace;
      hit = true;
    }
  }
  return hit;
}

// ---- children ----

bool CMeshInstance::AddChildInstance(std::unique_ptr<CMeshInstance>&& child, uint32_t attachIndex) {
  if (!child || !m_mesh || attachIndex >= m_mesh->attachPoints.size()) return false;
  if (!AddChild(child.get(), &m_mesh->attachPoints[attachIndex].transform)) return false;
  child->m_parentInstance = this;
  m_childEntries.push_back(ChildEntry{std::move(child), attachIndex});
  return true;
}

std::unique_ptr<CMeshInstance> CMeshInstance::RemoveChildInstance(CMeshInstance* child) {
  auto listed = std::find_if(m_childEntries.begin(), m_childEntries.end(),
                             [&](const ChildEntry& e) { return e.instance.get() == child && child; });
  if (listed == m_childEntries.end()) return nullptr;
  std::unique_ptr<CMeshInstance> taken = std::move(listed->instance);
  m_childEntries.erase(listed);
  m_lods.erase(std::remove_if(m_lods.begin(), m_lods.end(), [&](const LodEntry& e) { return e.instance == child; }),
               m_lods.end());
  if (m_currentLOD == child) m_currentLOD = this;
  if (m_lastPicked == child) m_lastPicked = nullptr;
  // The child may hang on one of this instance's bone nodes rather than on the instance.
  CXFormNode* hungOn = child->GetParent();
  bool ours = hungOn == this;
  for (uint32_t i = 0; !ours && m_skeleton && i < m_skeletonCount; ++i) ours = hungOn == &m_skeleton[i];
  if (ours) hungOn->RemoveChild(child);
  child->DropBorrowedSkeleton(m_skeleton);
  child->m_parentInstance = nullptr;
  return taken;
}

uint32_t CMeshInstance::GetChildIndex() const {
  if (!m_parentInstance) return 0;
  const auto& entries = m_parentInstance->m_childEntries;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].instance.get() == this) return static_cast<uint32_t>(i);
  }
  return 0;
}

// ---- level of detail ----

void CMeshInstance::ResetLOD() {
  m_currentLOD = this;
  m_lastPicked = nullptr;
}

CMeshInstance* CMeshInstance::PickLOD(float size) {
  if (m_lods.empty()) return m_lastPicked = this;
  size_t best = static_cast<size_t>(std::max(0, std::min<int32_t>(m_lodStart, static_cast<int32_t>(m_lods.size()) - 1)));
  for (size_t j = best + 1; j < m_lods.size(); ++j) {
    if (m_lods[j].threshold < m_lods[best].threshold && m_lods[j].threshold >= size) best = j;
  }
  CMeshInstance* picked = m_lods[best].instance;
  if (picked != this && picked->m_mesh && static_cast<uint32_t>(m_frame) < picked->m_mesh->frameCount) {
    picked->m_frame = m_frame;
  }
  m_lastPicked = picked;
  return picked;
}

void CMeshInstance::UseFullDetailLOD() { m_currentLOD = PickLOD(1.0f); }

void CMeshInstance::SelectLOD(float size) { m_currentLOD = PickLOD(size); }

CMeshInstance* CMeshInstance::GetLightingOwner() {
  CMeshInstance* node = this;
  while (node->m_parentInstance && node->m_mesh && node->m_mesh->GetKind() == ShadedMesh::kKindLod) {
    node = node->m_parentInstance;
  }
  return node;
}

CMeshInstance* CMeshInstance::GetCurrentLOD() {
  CMeshInstance* owner = GetLightingOwner();
  return owner->m_currentLOD ? owner->m_currentLOD : owner;
}

// ---- partial drawing ----

const std::vector<CMeshInstance*>& CMeshInstance::GetInstanceList() { return InstanceList(); }

uint32_t CMeshInstance::GetPartialDrawCount(uint32_t group) const {
  return group < m_drawCounts.size() ? m_drawCounts[group] : 0;
}

const uint32_t* CMeshInstance::GetPartialDrawFaces(uint32_t group) const {
  return group < m_drawFaces.size() ? m_drawFaces[group].data() : nullptr;
}

bool CMeshInstance::AddPartialDrawFace(uint32_t face) {
  if (m_drawCounts.empty() || !m_mesh || !m_mesh->sharingTable || face >= m_mesh->faceCount) return false;
  const uint32_t group = m_mesh->sharingTable->GetGroupOfFace(face);
  if (group >= m_drawCounts.size() || m_drawCounts[group] >= m_drawFaces[group].size()) return false;
  m_drawFaces[group][m_drawCounts[group]++] = face;
  return true;
}

void CMeshInstance::ResetPartialDrawLists() { std::fill(m_drawCounts.begin(), m_drawCounts.end(), 0u); }

// ---- layers ----

void CMeshInstance::AddLayer(CMeshLayer* layer) {
  if (!layer) return;
  RemoveLayer(layer);
  m_layers.push_back(layer);
}

void CMeshInstance::AdoptLayer(std::unique_ptr<CMeshLayer> layer) {
  if (!layer) return;
  layer->AttachTo(this);
  m_adoptedLayers.push_back(std::move(layer));
}

void CMeshInstance::RemoveLayer(CMeshLayer* layer) {
  m_layers.erase(std::remove(m_layers.begin(), m_layers.end(), layer), m_layers.end());
}

void CMeshInstance::ClearLayers() {
  std::vector<CMeshLayer*> layers;
  layers.swap(m_layers);
  for (CMeshLayer* layer : layers) layer->ForgetInstance();
  // Adopted layers die only once none of them refers to the instance any more.
  m_adoptedLayers.clear();
  for (const ChildEntry& entry : m_childEntries) {
    if (entry.instance) entry.instance->ClearLayers();
  }
}

// ---- parts ----

namespace {
bool PartBefore(const CMeshInstance::Part& a, const CMeshInstance::Part& b) {
  return a.patch != b.patch ? !a.patch : a.firstFace < b.firstFace;
}

// Binary search among the parts of one kind (polygon parts first, then patch parts).
const CMeshInstance::Part* FindInRange(const std::vector<CMeshInstance::Part>& parts, bool patch, uint32_t index) {
  const CMeshInstance::Part probe{nullptr, index, index + 1, patch};
  auto after = std::upper_bound(parts.begin(), parts.end(), probe, PartBefore);
  if (after == parts.begin()) return nullptr;
  const CMeshInstance::Part& candidate = *(after - 1);
  if (candidate.patch != patch || index < candidate.firstFace || index >= candidate.endFace) return nullptr;
  return &candidate;
}
}  // namespace

void CMeshInstance::AddPart(CMeshSection* section, uint32_t firstFace, uint32_t endFace, bool patch) {
  const Part part{section, firstFace, endFace, patch};
  m_parts.insert(std::upper_bound(m_parts.begin(), m_parts.end(), part, PartBefore), part);
}

const CMeshInstance::Part* CMeshInstance::FindPatchPart(uint32_t patch) const { return FindInRange(m_parts, true, patch); }

const CMeshInstance::Part* CMeshInstance::FindPolygonPart(uint32_t face) const {
  return FindInRange(m_parts, false, face);
}

// ---- collision primitives ----

void CMeshInstance::SetTerrainPolygons(std::shared_ptr<CTerrainPolygon> polygons, uint32_t count) {
  m_terrainPolygons = std::move(polygons);
  m_terrainPolygonCount = m_terrainPolygons ? count : 0;
}

void CMeshInstance::SetTerrainPatches(std::shared_ptr<CTerrainPatch> patches, uint32_t count) {
  m_terrainPatches = std::move(patches);
  m_terrainPatchCount = m_terrainPatches ? count : 0;
}

// ---- half-edge mesh ----

HalfEdgeMesh* CMeshInstance::BuildHalfEdgeMesh() {
  m_halfEdges.reset();
  const Vector3* positions = GetFramePositions();
  if (!m_mesh || !positions || !m_mesh->indices) return nullptr;
  std::vector<uint32_t> indices(m_mesh->indices, m_mesh->indices + 3 * static_cast<size_t>(m_mesh->faceCount));
  m_halfEdges = std::make_unique<HalfEdgeMesh>(positions, m_mesh->vertexCount, indices.data(), m_mesh->faceCount);
  return m_halfEdges.get();
}
