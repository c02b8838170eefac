// CRenderView: mesh layers laid over faces (projected shadows, decals) and the background mesh.
#include "render/image/Texture.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshLayer.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexFetchInterface.h"

namespace {

// Layers sit a hair in front of the faces they cover.
constexpr float kLayerDepthBias = 0.0005f;

uint8_t ClampByte(float v) { return v <= 0.0f ? 0 : (v >= 255.0f ? 255 : static_cast<uint8_t>(v)); }

// The face colour under a layer vertex, scaled by the layer vertex colour and raised by the blend
// share of the layer colour.
uint32_t LayerVertexColour(const CMeshInstance& instance, const CMeshLayer& layer, const MeshLayerFace& range,
                           const MeshLayerVertex& v) {
  const float blend = layer.GetAlpha();
  if (blend == 1.0f) return v.colour.ToWord();
  // Barycentric (a, b) weighs corners 1 and 2; the face sampler weighs corners 0 and 2.
  const Color face = instance.SampleFaceColor(range.face, 1.0f - v.a - v.b, v.b, false, true);
  const Color tint = layer.GetColour();
  const float share = blend > 0.0f ? blend : 0.0f;
  Color out;
  out.r = ClampByte(face.r * v.colour.r / 256.0f + share * tint.r);
  out.g = ClampByte(face.g * v.colour.g / 256.0f + share * tint.g);
  out.b = ClampByte(face.b * v.colour.b / 256.0f + share * tint.b);
  out.a = ClampByte(face.a * v.colour.a / 256.0f + share * tint.a);
  return out.ToWord();
}

}  // namespace

void CRenderView::DrawMeshLayer(CMeshLayer* layer) {
  CMeshInstance* instance = layer ? layer->GetInstance() : nullptr;
  if (!instance || !instance->GetMesh() || !instance->GetMesh()->indices) return;
  const ShadedMesh& mesh = *instance->GetMesh();
  instance->UpdateWorldMatrix();
  SetObjectTransform(instance->GetWorldMatrix());
  ResetBatch();
  const bool identity = instance->IsIdentity();
  const float objectHeight = HeightFog(instance->GetWorldMatrix().GetPosition().z);
  const MeshLayerFace* ranges = layer->GetFaces();
  const MeshLayerVertex* vertices = layer->GetVertices();
  for (uint32_t r = 0; r < layer->GetFaceCount(); ++r) {
    const MeshLayerFace& range = ranges[r];
    if (range.face >= mesh.faceCount || range.end > layer->GetVertexCount() || range.end < range.first + 3) continue;
    if (m_vertices.size() + 2 * (range.end - range.first) + 2 > kBatchVertexLimit) {
      DrawBatch(static_cast<CTexture*>(layer->GetTexture()), nullptr);
      ResetBatch();
    }
    Vector3 p[3];
    for (int k = 0; k < 3; ++k) {
      float xyz[3] = {0, 0, 0};
      instance->GetVertexFetch()->GetPosition(mesh.indices[3 * size_t(range.face) + k], xyz);
      p[k] = Vector3(xyz[0], xyz[1], xyz[2]);
    }
    std::vector<ClipCorner> fan;
    for (uint32_t i = range.first; i < range.end; ++i) {
      const MeshLayerVertex& v = vertices[i];
      const Vector3 local = p[0] + (p[1] - p[0]) * v.a + (p[2] - p[0]) * v.b;
      const Vector3 view =
          Vector3(local.Dot(m_mvRows[0]), local.Dot(m_mvRows[1]), local.Dot(m_mvRows[2])) + m_mvTranslation;
      const float height = identity ? HeightFog(local.z) : objectHeight;
      const ProjectedPoint s = ProjectPoint(view);
      fan.push_back(ClipCorner{view, ScreenVertex{s.x, s.y, s.z, s.rhw, LayerVertexColour(*instance, *layer, range, v),
                                                  FogWord(DistanceFog(view, height)), v.u, v.v, 0.0f, 0.0f}});
    }
    for (size_t k = 2; k < fan.size(); ++k) {
      const ClipCorner triangle[3] = {fan[0], fan[k - 1], fan[k]};
      AppendClippedTriangle(triangle);
    }
  }
  if (m_current) m_current->SetZWrite(false);
  OffsetBatchDepth(kLayerDepthBias);
  CTexture* texture = static_cast<CTexture*>(layer->GetTexture());
  HintBatchTexture(texture, 1.0f);
  DrawBatch(texture, nullptr);
  ResetBatch();
  if (m_current) m_current->SetZWrite(true);
}

void CRenderView::DrawBackgroundMesh(CMeshInstance* instance) {
  if (!instance || !instance->GetMesh() || !m_view) return;
  instance->ShowFrame();
  instance->UpdateWorldMatrix();
  SetObjectTransform(instance->GetWorldMatrix());
  if (m_current) {
    m_current->SetFogEnable(false);
    m_current->SetZWrite(false);
  }
  DrawMaterialGroups(instance, true);
  if (m_current) {
    m_current->SetZWrite(true);
    // The sky is drawn without the back end's fog; what follows must get the frame's own setting back.
    m_current->SetFogEnable((m_flags & kFog) != 0);
  }
}
