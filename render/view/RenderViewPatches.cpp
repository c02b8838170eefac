// CRenderView: the curved patches of a mesh instance, tessellated at their render levels
// (refreshed from the camera first) and drawn as batches like the mesh's own faces.
#include <cstddef>

#include "core/math/Vector2.h"
#include "render/image/Texture.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"

namespace {

uint8_t Scaled(uint8_t base, float factor) {
  const float v = static_cast<float>(base) * factor;
  if (!(v > 0.0f)) return 0;
  return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

}  // namespace

CTexture* CRenderView::PatchTexture(CMeshInstance* instance, uint32_t patch) const {
  const CurvedPatch& patches = *instance->GetPatchState()->GetPatches();
  const uint32_t face = patches.GetPatch(patch).face;
  if (face >= patches.GetFaceCount()) return nullptr;
  const uint32_t slot = patches.GetFace(face).textures[0];
  // An index past the texture table means no texture.
  if (slot >= instance->GetMesh()->GetSlotCount()) return nullptr;
  return static_cast<CTexture*>(instance->GetTexture(slot));
}

void CRenderView::SelectPatchLights(CMeshInstance* instance) {
  if (!m_lights) return;
  Box box;
  instance->GetSphereBox(box);
  m_lights->SelectLights(box, 1);
  m_lights->TransformToLocal(instance->GetWorldMatrix());
  // Patches are lit at one point, the object's, like small objects: they carry no stamps to
  // spread the per-vertex work over frames.
  m_lights->ComputeInfluences(m_objectPosition, 0, 1024);
  m_lightsSelected = true;
}

ScreenVertex CRenderView::PatchVertex(const Vector3& local, const Vector3& normal, const Vector2& uv, bool lit,
                                      float alpha, bool identity, Vector3& view) {
  view = Vector3(local.Dot(m_mvRows[0]), local.Dot(m_mvRows[1]), local.Dot(m_mvRows[2])) + m_mvTranslation;
  const bool fog = m_fog && m_fog->enabled;
  static constexpr uint32_t kClear = 255u << 24;
  const uint32_t specular =
      fog ? FogWord(DistanceFog(view, HeightFog(identity ? local.z : m_objectPosition.z))) : kClear;
  Vector3 light(1.0f, 1.0f, 1.0f);
  if (lit && m_lights) m_lights->SumLocalColor(light, normal, local);
  const Color colour = Color::FromRGBA(Scaled(255, light.x), Scaled(255, light.y), Scaled(255, light.z),
                                       Scaled(255, alpha));
  const ProjectedPoint s = ProjectPoint(view);
  ++m_stats.verticesTransformed;
  ++m_stats.verticesEmitted;
  return ScreenVertex{s.x, s.y, s.z, s.rhw, colour.ToWord(), specular, uv.x, uv.y, 0.0f, 0.0f};
}

void CRenderView::DrawCurvedPatches(CMeshInstance* instance) {
  CurvedPatchInstance* state = instance->GetPatchState();
  if (!state || !state->GetPatches() || !m_view) return;
  if (m_patchLOD) state->UpdateLOD(*m_view);
  const CurvedPatch& patches = *state->GetPatches();
  const bool sorting = (m_flags & kAlphaSorting) != 0;
  const bool identity = instance->IsIdentity();
  SelectPatchLights(instance);
  for (uint32_t p = 0; p < state->GetPatchCount() && p < patches.GetPatchCount(); ++p) {
    if (patches.GetPatch(p).IsEmpty() || !patches.IsGridInside(p)) continue;
    CurvedPatchLOD lod = state->GetRenderLOD(p);
    m_patchUVs.resize(lod.vertexCount);
    m_patchTriangles.resize(3 * static_cast<size_t>(lod.triangleCount));
    if (lod.vertexCount == 0 || lod.triangleCount == 0) continue;
    CurvedPatchInstance::Tessellate(lod, m_patchTriangles.data(), 3 * sizeof(uint16_t), m_patchUVs.data(),
                                    sizeof(Vector2));
    CTexture* texture = PatchTexture(instance, p);
    if (texture && texture->dataPresent == 0) texture->Load(nullptr, true);
    const bool lit = !(texture && (texture->flags & CTexture::kUnlit));
    const bool blended = texture && (texture->flags & (CTexture::kTranslucent | CTexture::kTranslucentAdd)) != 0;
    const bool opaque = instance->GetAlpha() >= 1.0f && !(sorting && blended);
    ResetBatch();
    m_patchViews.resize(lod.vertexCount);
    for (uint32_t i = 0; i < lod.vertexCount; ++i) {
      Vector3 position, normal;
      Vector2 uv;
      patches.EvaluateVertex(p, m_patchUVs[i].x, m_patchUVs[i].y, position, normal, uv);
      m_vertices.push_back(PatchVertex(position, normal, uv, lit, instance->GetAlpha(), identity, m_patchViews[i]));
    }
    // The tessellation's order is the mesh faces' (clockwise seen from the front), so the back
    // end culls a patch's back as it does a face's.
    for (size_t t = 0; t + 2 < m_patchTriangles.size(); t += 3) {
      const uint16_t* corners = &m_patchTriangles[t];
      bool behind = false;
      for (int k = 0; k < 3; ++k) behind = behind || m_vertices[corners[k]].rhw == kBehindNearPlane;
      if (!behind) {
        m_indices.insert(m_indices.end(), corners, corners + 3);
        continue;
      }
      ClipCorner clip[3];
      for (int k = 0; k < 3; ++k) clip[k] = ClipCorner{m_patchViews[corners[k]], m_vertices[corners[k]]};
      AppendClippedTriangle(clip);
    }
    FinishBatch(opaque ? BatchSink::kDraw : BatchSink::kQueue, texture);
  }
}
