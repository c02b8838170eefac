// CGameWorld: the frame's draw pass over the layers, the overlay, and the visible set of the scene pass.
#include "core/world/GameActionLayer.h"
#include "core/world/GameWorld.h"
#include "core/services/WorldPointer.h"
#include "core/services/WorldScene.h"
#include "core/spatial/BoundedObject.h"
#include "core/math/ViewFrustum.h"

void CGameWorld::Render(CRenderView* view) {
  if (view == nullptr) return;
  PixelBufferDesc* locked = nullptr;
  // By index: a layer's draw does not change the stack, but the index keeps that harmless if one does.
  for (size_t i = 0; i < m_layers.size(); ++i) {
    CGameActionLayer* layer = m_layers[i].get();
    if (layer->IsActive() && !layer->IsMarkedForRemoval()) layer->Draw(view, &locked);
  }
  if (m_scene == nullptr) {
    DrawOverlay(view, &locked);
    return;
  }
  m_scene->ReleaseLock(view, &locked);
  DrawOverlay(view, &locked);
  m_scene->ReleaseLock(view, &locked);  // an overlay that kept its lock
  m_scene->PresentFrame(view);
}

void CGameWorld::DrawOverlay(CRenderView* view, PixelBufferDesc** locked) {
  // A freshly drawn frame must not be patched with the cursor's stale background.
  if (m_pointer == nullptr) return;
  m_pointer->Invalidate();
  m_pointer->Draw(view, true);
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
  if (view != nullptr && m_scene != nullptr) m_scene->RenderScene(view, locked);
}
