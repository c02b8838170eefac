// CGameWorld: the frame's draw pass over the layers and the 3D scene pass of the in-game layer.
#include "core/GameActionLayer.h"
#include "core/GameWorld.h"
#include "core/math/BoundedObject.h"
#include "core/math/ViewFrustum.h"
#include "effects/EffectManager.h"
#include "render/PixelBufferDesc.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/camera/GenericCam.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"

namespace {
constexpr uint8_t kFrustumCullVolume = 1;  // the six-plane volume
}  // namespace

void CGameWorld::Render(CRenderView* view) {
  if (view == nullptr) return;
  PixelBufferDesc* locked = nullptr;
  // By index: a layer's draw does not change the stack, but the index keeps that harmless if one does.
  for (size_t i = 0; i < m_layers.size(); ++i) {
    CGameActionLayer* layer = m_layers[i];
    if (layer->IsActive() && !layer->IsMarkedForRemoval()) layer->Draw(view, &locked);
  }
  CRasterizerInterface* rasterizer = view->GetRasterizer();
  if (locked != nullptr) {
    locked = nullptr;
    if (rasterizer != nullptr) rasterizer->UnlockBackBuffer();
  }
  DrawOverlay(view, &locked);
  if (locked != nullptr && rasterizer != nullptr) rasterizer->UnlockBackBuffer();  // an overlay that kept its lock
  if (rasterizer != nullptr) rasterizer->PresentFrame();
}

void CGameWorld::DrawOverlay(CRenderView* view, PixelBufferDesc** locked) {
  // A freshly drawn frame must not be patched with the cursor's stale background.
  m_mouseCursor.Invalidate();
  m_mouseCursor.Draw(view, true);
}

void CGameWorld::CollectVisible(const ViewFrustum* view, bool overview) {
  const uint32_t mask = CBoundedObject::kRenderable;
  if (overview) {
    m_octree.CollectAll(mask);
    return;
  }
  switch (m_visibilityMode) {
    case VisibilityMode::kCulled:
      if (m_visibilityLoaded)
        m_octree.QueryVisible(view, mask, COctree::kSceneQueryDepth);
      else
        m_octree.QueryVolume(view->GetCullVolume(), mask, COctree::kSceneQueryDepth);
      break;
    case VisibilityMode::kRecordedCells:
      m_octree.CollectVisible(view->GetFrame().GetPosition(), mask);
      break;
    case VisibilityMode::kCoarseCulled:
      m_octree.QueryVolume(view->GetCullVolume(), mask, COctree::kCoarseSceneQueryDepth);
      break;
    case VisibilityMode::kAll:
    default:  // any other word draws everything too
      m_octree.CollectAll(mask);
      break;
  }
}

void CGameWorld::RenderScene(CRenderView* view, PixelBufferDesc** locked) {
  if (view == nullptr) return;
  CRasterizerInterface* r = view->GetRasterizer();
  const bool hardware = r != nullptr && r->GetUserValue() == kRasterizerHardware;
  if (locked != nullptr && *locked != nullptr && hardware) {
    r->UnlockBackBuffer();
    *locked = nullptr;
  }
  CGenericCam* camera = GetCurrentCamera();
  view->SetScene(m_fogState, m_lightList);
  view->SetView(&camera->GetView());
  camera->GetView().BuildCullVolume(kFrustumCullVolume);

  const bool overview = m_overview != 0;
  ViewFrustum overviewView;
  if (overview) {
    // The whole level from above: look down at the centre of the octree's root box.
    overviewView = camera->GetView();
    const Box& root = m_octree.GetRootBox();
    const Vector3 centre = root.GetCenter();
    const Vector3 size = root.GetSize();
    const float height = (size.x > size.y ? size.x : size.y) + size.z;
    overviewView.GetFrame().SetPosition(Vector3(centre.x, centre.y, root.max.z + height));
    overviewView.GetFrame().LookAtWithUp(centre, Vector3(1.0f, 0.0f, 0.0f));
    overviewView.SetFieldOfViewFromExtent(28.0f, 35.0f);
    view->SetView(&overviewView);
    view->EnableLOD(false);
  }

  if (view->BeginFrame(view->GetView(), CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                       CRenderView::FrameOutput::kDraw)) {
    ViewFrustum* active = view->GetView();
    if (active->GetCullVolume() == nullptr) active->BuildCullVolume(kFrustumCullVolume);
    if (r != nullptr) {
      r->SetClipping(!overview);
      r->SetBackfaceCulling(!overview);
    }
    CollectVisible(active, overview);
    m_visible = m_octree.GetResults();  // a copy: rendering may query the octree again
    m_octree.ClearResults();

    if (hardware) {
      view->Clear(true, false, 0);
      view->SetZBufferMode(ZBufferMode::kOff);
      if (!active->IsOrthographic()) {
        view->EnableAlphaSorting(false);
        r->SetZWrite(false);
        r->SetBackfaceCulling(false);
        r->SetPerspectiveCorrection(false);
        if (m_skyInstance != nullptr) view->DrawBackgroundMesh(m_skyInstance);
        r->SetPerspectiveCorrection(true);
        r->SetZWrite(false);
      }
      OnBeforeSceneDraw(view);
      r->SetPerspectiveCorrection(true);
      view->EnableAlphaSorting(true);
      r->SetZWrite(true);
      if (!overview) r->SetBackfaceCulling(true);
      view->SetZBufferMode(ZBufferMode::kZBuffer);
    } else {
      OnBeforeSceneDraw(view);
      view->EnableAlphaSorting(true);
      if (r != nullptr) {
        r->SetPerspectiveCorrection(true);
        r->SetZWrite(true);
        if (!overview) r->SetBackfaceCulling(true);
      }
      view->SetZBufferMode(ZBufferMode::kZBuffer);
      view->Clear(true, false, 0);
    }
    CMeshInstance::ClearLightCounters();
    for (CBoundedObject* object : m_visible) object->Render(view);
    // Terrain sections drawn through vertex buffers come with the mesh-section work; neither back end
    // offers vertex buffers, so the terrain is drawn as whole instances.
    for (CMeshInstance* instance : m_terrainInstances) view->DrawMesh(instance);
    if (hardware) {
      if (m_effectManager != nullptr) m_effectManager->Render(view);
      view->EnableAlphaSorting(false);
    }
    if (r != nullptr) {
      r->SetBackfaceCulling(false);
      r->SetPerspectiveCorrection(true);
      r->SetZWrite(false);
    }
    view->FlushSortedQueue();
    view->EndFrame();
    m_visible.clear();
  }

  if (overview) {
    m_overview = 0;
    view->SetView(&camera->GetView());
    view->EnableLOD(true);
    if (r != nullptr) {
      r->SetBackfaceCulling(true);
      r->SetClipping(true);
    }
  }
}
