// CRenderView: the shadow textures (made, loaded, drawn as flat silhouettes).
#include <vector>

#include "core/math/ViewFrustum.h"
#include "render/image/Texture.h"
#include "render/view/PixelBufferDesc.h"
#include "render/view/RasterizerInterface.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogSettings.h"
#include "scene/lighting/FogState.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr uint32_t kShadowBackground = 0xFF000000u;
// A render target kept in memory; the bits of 0x1C0000 stay clear.
constexpr uint32_t kShadowTextureFlags = 0x230000u;

}  // namespace

void CRenderView::DrawShadowCaster(CMeshInstance* instance) {
  if (!instance || !instance->GetMesh() || !m_view) return;
  const float* tint = instance->GetColourScale();
  Color colour;
  colour.SetRGB(tint[0], tint[1], tint[2]);
  const float alpha = instance->GetAlpha() * 255.0f;
  colour.a = alpha <= 0.0f ? 0 : (alpha >= 255.0f ? 255 : static_cast<uint8_t>(alpha));
  instance->ShowFrame();
  instance->UpdateWorldMatrix();
  SetObjectTransform(instance->GetWorldMatrix());
  ResetBatch();
  DrawFlatInstance(instance, colour.ToWord());
  DrawBatch(nullptr, nullptr);
  ResetBatch();
  for (const CMeshInstance::ChildEntry& child : instance->GetChildren()) {
    if (child.instance && child.instance->GetMesh() &&
        child.instance->GetMesh()->GetKind() == ShadedMesh::kKindOrdinary)
      DrawShadowCaster(child.instance.get());
  }
}

void CRenderView::DrawFlatInstance(CMeshInstance* instance, uint32_t colour) {
  const ShadedMesh& mesh = *instance->GetMesh();
  if (!mesh.indices) return;
  const uint32_t groups = instance->GetPartialDrawGroupCount();
  auto drawFace = [&](uint32_t face) {
    if (face >= mesh.faceCount) return;
    if (m_vertices.size() + 7 > kBatchVertexLimit) {
      DrawBatch(nullptr, nullptr);
      ResetBatch();
    }
    ClipCorner corners[3];
    bool behind = false;
    uint16_t emitted[3];
    for (int k = 0; k < 3; ++k) {
      TransformedVertex& t = m_transformed[TransformVertex(instance, mesh.indices[3 * size_t(face) + k], false)];
      if (t.outputBatch != m_batchStamp || t.output < 0) {
        t.output = static_cast<int32_t>(m_vertices.size());
        t.outputBatch = m_batchStamp;
        t.outputDiffuse = colour;
        t.outputU = 0.0f;
        t.outputV = 0.0f;
        m_vertices.push_back(ScreenVertex{t.screen.x, t.screen.y, t.screen.z, t.screen.rhw, colour, 0xFF000000u, 0.0f,
                                          0.0f, 0.0f, 0.0f});
      }
      emitted[k] = static_cast<uint16_t>(t.output);
      behind = behind || t.screen.rhw == kBehindNearPlane;
      corners[k] = ClipCorner{t.view, m_vertices[t.output]};
    }
    if (!behind)
      m_indices.insert(m_indices.end(), {emitted[0], emitted[1], emitted[2]});
    else
      AppendClippedTriangle(corners);
  };
  if (groups > 0) {
    for (uint32_t g = 0; g < groups; ++g) {
      const uint32_t* faces = instance->GetPartialDrawFaces(g);
      for (uint32_t i = 0; i < instance->GetPartialDrawCount(g); ++i) drawFace(faces[i]);
    }
    return;
  }
  for (uint32_t face = 0; face < mesh.faceCount; ++face) drawFace(face);
}

namespace {
// The render target's pixel format, so the silhouette can be drawn straight into it.
void TakeTargetFormat(CTexture& texture, CRasterizerInterface* back) {
  const PixelBufferDesc* desc = back ? back->GetBackBufferDesc() : nullptr;
  if (!desc) return;
  texture.bytesPerPixel = desc->bytesPerPixel;
  texture.redMask = desc->redMask;
  texture.greenMask = desc->greenMask;
  texture.blueMask = desc->blueMask;
}
}  // namespace

std::unique_ptr<CTextureProperties> CRenderView::CreateShadowTexture(uint32_t side) const {
  auto texture = std::make_unique<CTexture>();
  texture->name = "Shadow Texture";
  texture->width = side;
  texture->height = side;
  TakeTargetFormat(*texture, m_current);
  texture->flags = kShadowTextureFlags;
  return texture;
}

// The scene hands back only textures this view made, so they are CTexture objects.
void CRenderView::LoadTexture(CTextureProperties* properties) {
  auto* texture = static_cast<CTexture*>(properties);
  if (!m_current || !texture || texture->deviceTexture) return;
  // A level is set up while the menu's back end is current; the texture is first loaded once the
  // game's back end draws, whose target it must match.
  if (!texture->HasPixelSource()) TakeTargetFormat(*texture, m_current);
  m_current->SelectTexture(texture);
}

void CRenderView::ReleaseTexture(CTextureProperties* texture) {
  if (m_current && texture) m_current->ReleaseTexture(static_cast<CTexture*>(texture));
}

bool CRenderView::DrawShadowTexture(CTextureProperties* target, ViewFrustum* projection, CMeshInstance* caster) {
  CRasterizerInterface* rasterizer = m_current;
  if (!rasterizer || !caster) return false;
  // A refused target keeps the old texture.
  if (!rasterizer->SetRenderTarget(static_cast<CTexture*>(target), 0, 0xFFFFFFFFu, 0)) return false;

  ViewFrustum* camera = m_view;
  FogState* fog = m_fog;
  LightList* lights = m_lights;
  FogState white;
  FogSettings constant;
  constant.constantFog = 1;
  white.Set(constant);
  SetScene(&white, lights);

  bool drawn = false;
  if (BeginFrame(projection, FrameViewport::kBackBuffer, FrameBackEnd::kDefault, FrameOutput::kDraw)) {
    Clear(true, true, kShadowBackground);
    caster->SetShadowCaster(true);
    DrawShadowCaster(caster);
    caster->SetShadowCaster(false);
    FlushSortedQueue();
    drawn = true;
  }
  EndFrame();

  SetView(camera);
  SetScene(fog, lights);
  rasterizer->SetRenderTarget(nullptr, 0, 0xFFFFFFFFu, 1);
  return drawn;
}
