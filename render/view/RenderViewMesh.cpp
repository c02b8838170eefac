// CRenderView: mesh drawing - level of detail, material groups, per-vertex transform, fog and
// relighting, near-plane clipping and the batches handed to the back end.
#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "core/data/DebugPrintf.h"
#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/image/DDTexture.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/animation/Skin.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightMapFaceRecord.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexFetchInterface.h"
#include "scene/mesh/VertexSharingTable.h"

namespace {

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Largest absolute component plus a quarter of the other two: cheap, never below the true length's 0.87.
float ApproxDistance(const Vector3& d) {
  const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
  const float big = std::max(ax, std::max(ay, az));
  return big + 0.25f * (ax + ay + az - big);
}

uint32_t LerpColour(uint32_t a, uint32_t b, float t) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float ca = static_cast<float>((a >> shift) & 0xFF), cb = static_cast<float>((b >> shift) & 0xFF);
    const float c = ca + (cb - ca) * t;
    const uint32_t byte = c <= 0.0f ? 0u : (c >= 255.0f ? 255u : static_cast<uint32_t>(c));
    out |= byte << shift;
  }
  return out;
}

bool NeedsBlending(const CTexture* texture) {
  return texture && (texture->flags & (CTexture::kTranslucent | CTexture::kTranslucentAdd)) != 0;
}

}  // namespace

// ---- fog ----

float CRenderView::HeightFog(float z) const {
  if (!m_fog || !m_fog->enabled || m_fog->settings.constantFog) return 1.0f;
  const float t = (z - m_fog->settings.startElevation) * m_fog->inverseElevationSpan;
  return std::isnan(t) ? 1.0f : 1.0f - Clamp01(t);
}

float CRenderView::DistanceFog(const Vector3& viewPoint, float heightFog) const {
  if (!m_fog || !m_fog->enabled) return 1.0f;
  float v = ApproxDistance(viewPoint) * m_fog->inverseVisibilityDistance * heightFog;
  if (v < m_fog->offset) v = m_fog->offset;
  return 1.0f - Clamp01(v);
}

uint32_t CRenderView::FogWord(float fog) { return static_cast<uint32_t>(Clamp01(fog) * 255.0f) << 24; }

// ---- texture hints ----

void CRenderView::HintTextureScale(CTexture* texture, float scale) {
  if (!texture) return;
  if (!texture->deviceTexture && m_current) m_current->SelectTexture(texture);
  if (texture->deviceTexture) texture->deviceTexture->UpdateMaxScale(scale);
}

void CRenderView::HintBatchTexture(CTexture* texture, float meshScale) {
  if (!texture) return;
  if (m_orthographic) {
    HintTextureScale(texture, m_textureScale * meshScale);
    return;
  }
  float nearest = m_invFar;
  for (const ScreenVertex& v : m_vertices) nearest = std::max(nearest, v.rhw);
  HintTextureScale(texture, nearest * m_textureScale * meshScale);
}

CTexture* CRenderView::FaceTexture(const CMeshInstance* instance, uint32_t face) const {
  const uint32_t slot = instance->GetMesh()->faceRecords[face].textureSlot;
  if (slot == ShadedMesh::kNone) return nullptr;
  // Every texture object a mesh holds is made by the render folder's loaders.
  return static_cast<CTexture*>(instance->GetTexture(slot));
}

// ---- entry points ----

void CRenderView::DrawMesh(CMeshInstance* instance) {
  if (!instance || !instance->GetMesh() || !m_fog || !m_view || !m_lights) {
    DebugPrintf("Invalid Parameters passed to DrawMesh.\n");
    return;
  }
  instance->SyncAnimation(instance);
  instance->UpdateAnimation();
  RenderMeshInstance(instance);
}

CMeshInstance* CRenderView::SelectLOD(CMeshInstance* instance) {
  if (!instance || !instance->GetMesh() || !m_view) return nullptr;
  instance->UpdateWorldMatrix();
  m_objectPosition = instance->GetWorldMatrix().GetPosition();
  float d = ApproxDistance(m_objectPosition - m_view->GetFrame().GetPosition());
  if (d < 0.1f) d = 0.1f;
  const float radius = 2.0f * instance->GetMesh()->centroidRadius * instance->GetWorldScale();
  m_projectedSize = radius * (m_orthographic ? m_orthoScale : m_perspectiveScale / d);
  if (!(m_projectedSize >= kSmallestDrawnSize)) return nullptr;

  // Small objects are relit less often: the interval ramps from the first to the last bound.
  if (!instance->GetParentInstance() && instance->HasSinglePointLighting() &&
      instance->GetStampFirst() != instance->GetStampLast()) {
    const float t = (m_projectedSize - m_relightRampStart) * m_relightRampScale;
    uint32_t interval = instance->GetStampFirst();
    if (t >= 1.0f)
      interval = instance->GetStampLast();
    else if (t > 0.0f)
      interval = instance->GetStampFirst() + static_cast<uint32_t>(static_cast<float>(instance->GetStampSpan()) * t);
    instance->SetLightingStamp(interval, true);
  }
  if (instance->GetLODCount() <= 1 || (m_flags & kLODOff)) return instance;
  m_projectedSize *= m_lodScale;
  instance->SelectLOD(m_projectedSize);
  CMeshInstance* lod = instance->GetLastPickedLOD();
  if (!lod) {
    DebugPrintf("Invalid LOD Mesh Instance in DrawMesh.  \n");
    return nullptr;
  }
  if (!lod->GetMesh()) {
    DebugPrintf("Invalid LOD Source Mesh in DrawMesh.  \n");
    return nullptr;
  }
  return lod;
}

void CRenderView::RenderMeshInstance(CMeshInstance* instance) {
  CMeshInstance* lod = SelectLOD(instance);
  if (!lod) return;
  lod->ShowFrame();
  if (instance->GetAlpha() > 0.0f) {
    lod->UpdateWorldMatrix();
    SetObjectTransform(lod->GetWorldMatrix());
    // Partial-draw lists change every frame, so an instance with them is never buffered.
    if (CanDrawVertexBuffers() && lod->GetPartialDrawGroupCount() == 0)
      DrawBufferedInstance(lod);
    else
      DrawMaterialGroups(lod, false);
    // The back ends' buffers hold no patches, so the patches are drawn here on either path.
    DrawCurvedPatches(lod);
  }
  for (CMeshLayer* layer : lod->GetLayers()) DrawMeshLayer(layer);
  for (const CMeshInstance::ChildEntry& child : lod->GetChildren()) {
    if (child.instance && child.instance->GetMesh() &&
        child.instance->GetMesh()->GetKind() == ShadedMesh::kKindOrdinary)
      RenderMeshInstance(child.instance.get());
  }
}

void CRenderView::DrawMaterialGroups(CMeshInstance* instance, bool background) {
  const ShadedMesh& mesh = *instance->GetMesh();
  if (!mesh.faceRecords || !mesh.indices || mesh.faceCount == 0) return;
  const bool sorting = (m_flags & kAlphaSorting) != 0;
  auto drawGroup = [&](const uint32_t* faces, uint32_t count) {
    if (count == 0) return;
    ResetBatch();
    CTexture* texture = FaceTexture(instance, faces[0]);
    const bool opaque = instance->GetAlpha() >= 1.0f && !(sorting && NeedsBlending(texture));
    const BatchSink sink = background ? BatchSink::kBackground : (opaque ? BatchSink::kDraw : BatchSink::kQueue);
    DrawFaceBatch(instance, faces, count, sink);
  };
  const VertexSharingTable* table = mesh.sharingTable.get();
  const uint32_t partialGroups = instance->GetPartialDrawGroupCount();
  if (table && table->GetFaceCount() == mesh.faceCount) {
    for (uint32_t g = 0; g < table->GetGroupCount(); ++g) {
      if (partialGroups > 0)
        drawGroup(instance->GetPartialDrawFaces(g), instance->GetPartialDrawCount(g));
      else
        drawGroup(table->GetGroupMembers(g), table->GetGroupSize(g));
    }
    return;
  }
  // A mesh without a sharing table: runs of faces with one texture slot form the groups.
  for (uint32_t start = 0; start < mesh.faceCount;) {
    uint32_t end = start + 1;
    while (end < mesh.faceCount && mesh.faceRecords[end].textureSlot == mesh.faceRecords[start].textureSlot) ++end;
    m_groupFaces.resize(end - start);
    for (uint32_t f = start; f < end; ++f) m_groupFaces[f - start] = f;
    drawGroup(m_groupFaces.data(), end - start);
    start = end;
  }
}

// ---- one material group ----

struct CRenderView::CornerSource {
  const ShadedMesh* mesh;
  CMeshInstance* instance;
  const CMeshInstance::FaceColours* colours;
  uint32_t colourCount;
  CTexture* texture;
  bool relight;   // the instance relights corners as their normals come due
  bool lighting;  // the texture takes light
  // The mesh's UVs and how many a corner may name (none without UVs): kept here, where every corner
  // reads them, rather than read again from the mesh after each vertex written.
  const Vector2* uvs;
  uint32_t uvLimit;
};

bool CRenderView::IsFaceHidden(const VertexSource& source, uint32_t face, const Vector3* faceNormals,
                               const Vector3* framePositions, bool skinned) {
  const ShadedMesh& mesh = *source.instance->GetMesh();
  const uint16_t* corners = mesh.indices + 3 * static_cast<size_t>(face);
  if (skinned) {
    const TransformedVertex& a = m_transformed[TransformCached(source, corners[0])];
    const TransformedVertex& b = m_transformed[TransformCached(source, corners[1])];
    const TransformedVertex& c = m_transformed[TransformCached(source, corners[2])];
    // The face-normal rule of the mesh, (p2 - p0) x (p1 - p0), with the eye at the origin.
    const Vector3 n = (c.view - a.view).Cross(b.view - a.view);
    return m_orthographic ? n.x > 0.0f : n.Dot(a.view) > 0.0f;
  }
  const Vector3& n = faceNormals[face];
  if (m_orthographic) return m_viewDirInObject.Dot(n) > 0.0f;
  return n.Dot(framePositions[corners[0]] - m_eyeInObject) > 0.0f;
}

CRenderView::VertexSource CRenderView::MakeVertexSource(CMeshInstance* instance, bool identity) const {
  VertexSource source{instance, nullptr, 0, identity, m_fog && m_fog->enabled, 1.0f};
  // The plain rigid fetch only reads the shown frame, so the frame is read here directly; any
  // other fetch (skins) is asked per vertex.
  const CVertexFetchInterface* fetch = instance->GetVertexFetch();
  if (fetch && typeid(*fetch) == typeid(CRigidVertexFetchInterface)) {
    source.positions = instance->GetFramePositions();
    source.positionCount = instance->GetMesh()->vertexCount;
  }
  // Objects fog as a whole, by their origin.
  if (source.fog && !identity) source.objectHeightFog = HeightFog(m_objectPosition.z);
  return source;
}

void CRenderView::TransformInto(const VertexSource& source, uint32_t vertex, TransformedVertex& t) {
  Vector3 local;
  if (source.positions) {
    if (vertex < source.positionCount) local = source.positions[vertex];
  } else {
    float p[3] = {0.0f, 0.0f, 0.0f};
    source.instance->GetVertexFetch()->GetPosition(vertex, p);
    local = Vector3(p[0], p[1], p[2]);
  }
  t.view = Vector3(local.Dot(m_mvRows[0]), local.Dot(m_mvRows[1]), local.Dot(m_mvRows[2])) + m_mvTranslation;
  // World geometry fogs by its own height; without fog every vertex is clear.
  static constexpr uint32_t kClear = 255u << 24;
  t.specular =
      source.fog ? FogWord(DistanceFog(t.view, source.identity ? HeightFog(local.z) : source.objectHeightFog)) : kClear;
  t.screen = ProjectPoint(t.view);
  t.output = -1;
  t.outputBatch = 0;
  t.stamp = m_objectStamp;
  ++m_stats.verticesTransformed;
}

inline int32_t CRenderView::TransformCached(const VertexSource& source, uint32_t vertex) {
  if (vertex >= m_transformed.size()) {
    TransformedVertex stale{};
    stale.stamp = kNoStamp;
    m_transformed.resize(vertex + 1, stale);
  }
  TransformedVertex& t = m_transformed[vertex];
  if (t.stamp != m_objectStamp) TransformInto(source, vertex, t);
  return static_cast<int32_t>(vertex);
}

void CRenderView::TransformAll(const VertexSource& source) {
  if (m_transformed.size() < source.positionCount) {
    TransformedVertex stale{};
    stale.stamp = kNoStamp;
    m_transformed.resize(source.positionCount, stale);
  }
  TransformedVertex* records = m_transformed.data();
  for (uint32_t v = 0; v < source.positionCount; ++v) {
    if (records[v].stamp != m_objectStamp) TransformInto(source, v, records[v]);
  }
}

int32_t CRenderView::TransformVertex(CMeshInstance* instance, uint32_t vertex, bool identity) {
  return TransformCached(MakeVertexSource(instance, identity), vertex);
}

// What the corners of one face share, looked up once for the three.
struct CRenderView::FaceCorners {
  const MeshCorner* corners;     // the face record's
  const Color* colours;          // the instance's lit colours of the face; null past its colours
  const FaceLightRecord* light;  // the face's light record, null without one
  bool lightMapped;              // the record has a light-map page: its corners are never shared
};

inline uint16_t CRenderView::EmitCorner(const CornerSource& source, uint32_t face, uint32_t corner, int32_t record,
                                        const FaceCorners& f) {
  const ShadedMesh& mesh = *source.mesh;
  const MeshCorner& c = f.corners[corner];
  const bool lightMapped = f.lightMapped;
  const FaceLightRecord* light = f.light;
  // Relight when the corner's normal has come due; dynamic lighting off means the colours are final.
  if (source.relight && c.normal < mesh.normalCount && source.instance->GetNormalStamp(c.normal) <= m_frameStamp) {
    source.instance->SetNormalStamp(c.normal, m_frameStamp + source.instance->GetStampLimit());
    if (source.lighting) {
      ComputeFaceLight(source.instance, face, corner, light);
      ++m_stats.cornersRelit;
    }
  }
  const uint32_t diffuse = f.colours != nullptr ? f.colours[corner].ToWord() : 0u;
  float u = 0.0f, v = 0.0f;
  bool bogusUV = false;
  if (c.uv != ShadedMesh::kNone) {
    bogusUV = c.uv >= source.uvLimit;
    if (!bogusUV) {
      u = source.uvs[c.uv].x;
      v = source.uvs[c.uv].y;
    }
  }
  TransformedVertex& t = m_transformed[record];
  // A vertex is shared within the batch only by corners that look the same.
  if (t.outputBatch == m_batchStamp && t.output >= 0 && !lightMapped && t.outputDiffuse == diffuse &&
      t.outputU == u && t.outputV == v)
    return static_cast<uint16_t>(t.output);
  if (bogusUV) {
    // An index past the UVs draws at (0, 0).
    if (source.texture) DebugPrintf("%s\n", source.texture->name.c_str());
    DebugPrintf("Bogus UV Index\n");
  }
  t.output = static_cast<int32_t>(m_vertices.size());
  t.outputBatch = m_batchStamp;
  t.outputDiffuse = diffuse;
  t.outputU = u;
  t.outputV = v;
  // Filled in place: a copy built on the stack stalls on its partial stores.
  ScreenVertex& out = m_vertices.emplace_back();
  out.x = t.screen.x;
  out.y = t.screen.y;
  out.z = t.screen.z;
  out.rhw = t.screen.rhw;
  out.diffuse = diffuse;
  out.specular = t.specular;
  out.u = u;
  out.v = v;
  out.u2 = lightMapped ? light->uv[corner][0] : 0.0f;
  out.v2 = lightMapped ? light->uv[corner][1] : 0.0f;
  ++m_stats.verticesEmitted;
  return static_cast<uint16_t>(t.output);
}

void CRenderView::FinishBatch(BatchSink sink, CTexture* texture) {
  const float meshScale = 1.0f;
  HintBatchTexture(texture, meshScale);
  if (m_indices.empty()) return;
  switch (sink) {
    case BatchSink::kDraw:
      DrawBatch(texture, nullptr);
      break;
    case BatchSink::kQueue:
      QueueTranslucentBatch(texture);
      break;
    case BatchSink::kBackground: {
      // Behind everything else, fogged at least as much as the sky's own fog share says.
      const uint32_t limit =
          (m_fog && m_fog->enabled) ? static_cast<uint32_t>(Clamp01(1.0f - m_fog->offsetBG) * 255.0f) : 255u;
      PushBatchToFarPlane();
      for (ScreenVertex& v : m_vertices) {
        const uint32_t fog = std::min(v.specular >> 24, limit);
        v.specular = (v.specular & 0x00FFFFFFu) | (fog << 24);
      }
      DrawBatch(texture, nullptr);
      break;
    }
  }
  ResetBatch();
}

void CRenderView::DrawFaceBatch(CMeshInstance* instance, const uint32_t* faces, uint32_t count, BatchSink sink) {
  const ShadedMesh& mesh = *instance->GetMesh();
  if (!faces || count == 0 || faces[0] >= mesh.faceCount) return;
  CTexture* texture = FaceTexture(instance, faces[0]);
  const Vector3* faceNormals = instance->GetFrameFaceNormals();
  const Vector3* framePositions = instance->GetFramePositions();
  const bool skinned = mesh.skin && !mesh.skin->bones.empty();
  const bool backEndCulls = !m_current || m_current->GetBackfaceCulling();
  const bool cull = (skinned || faceNormals) && (!texture || (!NeedsBlending(texture) && backEndCulls));
  const VertexSource vertices = MakeVertexSource(instance, instance->IsIdentity());
  const CornerSource source{&mesh,
                            instance,
                            instance->GetFaceColours(),
                            instance->GetFaceColourCount(),
                            texture,
                            instance->HasDynamicLighting(),
                            !(texture && (texture->flags & CTexture::kUnlit)),
                            mesh.uvs,
                            mesh.uvs != nullptr ? mesh.uvCount : 0u};
  // A group with a corner for every vertex of a rigid mesh likely touches them all; its corners then
  // need no look at the transform stamps.
  const bool allTransformed = vertices.positions && 3 * static_cast<uint64_t>(count) >= vertices.positionCount;
  if (allTransformed) TransformAll(vertices);
  const uint32_t transformedCount = allTransformed ? vertices.positionCount : 0;

  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t face = faces[i];
    if (face >= mesh.faceCount) continue;
    const CMeshInstance::FaceColours* colours = face < source.colourCount ? &source.colours[face] : nullptr;
    const auto* light = colours != nullptr ? static_cast<const FaceLightRecord*>(colours->lightRecord) : nullptr;
    const void* page = light ? light->page : nullptr;
    if (page != m_batchLightPage) {
      // One light-map page per batch.
      if (!m_indices.empty()) FinishBatch(sink, texture);
      m_batchLightPage = page;
    }
    if (cull && IsFaceHidden(vertices, face, faceNormals, framePositions, skinned)) continue;
    // 16-bit indices: a batch that might pass the limit with this face (three corners and up to
    // four clipped ones) is sent first.
    if (m_vertices.size() + 7 > kBatchVertexLimit) {
      FinishBatch(sink, texture);
      m_batchLightPage = page;
    }
    const uint16_t* corners = mesh.indices + 3 * static_cast<size_t>(face);
    int32_t records[3];
    bool behind = false;
    for (int k = 0; k < 3; ++k) {
      records[k] = corners[k] < transformedCount ? static_cast<int32_t>(corners[k])
                                                 : TransformCached(vertices, corners[k]);
      behind = behind || m_transformed[records[k]].screen.rhw == kBehindNearPlane;
    }
    const FaceCorners shared{mesh.faceRecords[face].corners, colours != nullptr ? colours->corners : nullptr, light,
                             page != nullptr};
    uint16_t emitted[3];
    for (int k = 0; k < 3; ++k) emitted[k] = EmitCorner(source, face, static_cast<uint32_t>(k), records[k], shared);
    if (!behind) {
      m_indices.push_back(emitted[0]);
      m_indices.push_back(emitted[1]);
      m_indices.push_back(emitted[2]);
      continue;
    }
    ClipCorner clip[3];
    for (int k = 0; k < 3; ++k) clip[k] = ClipCorner{m_transformed[records[k]].view, m_vertices[emitted[k]]};
    AppendClippedTriangle(clip);
  }
  if (sink != BatchSink::kQueue || !m_indices.empty()) FinishBatch(sink, texture);
}

// ---- near-plane clipping ----

ScreenVertex CRenderView::ClipEdge(const ClipCorner& behind, const ClipCorner& front) {
  const float t = (m_near - behind.view.x) / (front.view.x - behind.view.x);
  Vector3 p = behind.view + (front.view - behind.view) * t;
  // Rounding may leave the point a hair behind the plane; it must project in front.
  if (p.x <= m_near) p.x = std::nextafter(m_near, 3.4e38f);
  const ProjectedPoint s = ProjectPoint(p);
  const ScreenVertex& a = behind.vertex;
  const ScreenVertex& b = front.vertex;
  ++m_stats.clipVertices;
  return ScreenVertex{s.x,
                      s.y,
                      s.z,
                      s.rhw,
                      LerpColour(a.diffuse, b.diffuse, t),
                      LerpColour(a.specular, b.specular, t),
                      a.u + (b.u - a.u) * t,
                      a.v + (b.v - a.v) * t,
                      a.u2 + (b.u2 - a.u2) * t,
                      a.v2 + (b.v2 - a.v2) * t};
}

void CRenderView::AppendClippedTriangle(const ClipCorner corners[3]) {
  // Walk the triangle's edges, keeping the corners in front and adding a vertex where an edge
  // crosses the plane; the winding stays that of the face.
  ScreenVertex polygon[4];
  int n = 0;
  for (int k = 0; k < 3; ++k) {
    const ClipCorner& a = corners[k];
    const ClipCorner& b = corners[(k + 1) % 3];
    const bool aFront = a.view.x > m_near;
    const bool bFront = b.view.x > m_near;
    if (aFront) polygon[n++] = a.vertex;
    if (aFront != bFront) polygon[n++] = aFront ? ClipEdge(b, a) : ClipEdge(a, b);
  }
  if (n < 3) return;
  const uint16_t base = static_cast<uint16_t>(m_vertices.size());
  m_vertices.insert(m_vertices.end(), polygon, polygon + n);
  for (int k = 1; k + 1 < n; ++k)
    m_indices.insert(m_indices.end(), {base, static_cast<uint16_t>(base + k), static_cast<uint16_t>(base + k + 1)});
}
