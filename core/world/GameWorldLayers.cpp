// CGameWorld: the layer stack and the layer pass of the world tick.
#include "core/world/GameActionLayer.h"
#include "core/world/GameWorld.h"
#include "core/world/ObjectFactory.h"
#include "platform/system/Win32.h"

std::unique_ptr<CGameObject> CGameWorld::CreateObject(uint32_t typeCode) { return CreateGameObject(typeCode); }

// Walks the stack from the top down by index, reading the stack afresh at each step, because layers
// add, mark, activate and move layers while they run. Only this pass deletes layers.
void CGameWorld::RunLayerPass(float dt, const std::vector<InputEvent>& events) {
  mouseOverUI = 0;
  m_currentLayer = static_cast<uint32_t>(m_layers.size());
  bool taken = false;
  while (m_currentLayer > 0) {
    --m_currentLayer;
    if (m_currentLayer >= m_layers.size()) continue;
    CGameActionLayer* layer = m_layers[m_currentLayer].get();
    if (layer->IsMarkedForRemoval()) {
      // Out of the stack before its destructor runs, so the destructor sees a consistent stack.
      std::unique_ptr<CGameActionLayer> doomed = std::move(m_layers[m_currentLayer]);
      m_layers.erase(m_layers.begin() + m_currentLayer);
      doomed.reset();
      OutputDebugStringA("Erasing Layer\n");
      continue;
    }
    if (!layer->IsActive()) continue;
    if (!taken) {
      for (const InputEvent& event : events) layer->HandleInputEvent(event);
      layer->SetInputBlocked(false);
      taken = layer->IsModal();
    } else {
      layer->SetInputBlocked(true);
    }
    layer->Update(dt);
  }
}

void CGameWorld::AddLayerAtBottom(std::unique_ptr<CGameActionLayer>&& layer) {
  if (layer == nullptr) return;
  CGameActionLayer* added = layer.get();
  m_layers.insert(m_layers.begin(), std::move(layer));
  added->Init(true);
  OutputDebugStringA("Adding Layer\n");
}

void CGameWorld::AddLayerOnTop(std::unique_ptr<CGameActionLayer>&& layer) {
  if (layer == nullptr) return;
  CGameActionLayer* added = layer.get();
  m_layers.push_back(std::move(layer));
  added->Init(true);
  OutputDebugStringA("Adding Layer\n");
}

void CGameWorld::AddLayerAboveCurrent(std::unique_ptr<CGameActionLayer>&& layer) {
  if (layer == nullptr) return;
  if (m_currentLayer >= m_layers.size()) {
    AddLayerOnTop(std::move(layer));
    return;
  }
  CGameActionLayer* added = layer.get();
  m_layers.insert(m_layers.begin() + m_currentLayer + 1, std::move(layer));
  OutputDebugStringA("Adding Layer\n");
  added->Init(true);
}

void CGameWorld::AddLayerBelowCurrent(std::unique_ptr<CGameActionLayer>&& layer) {
  if (layer == nullptr) return;
  if (m_currentLayer == 0) {
    AddLayerAtBottom(std::move(layer));
    return;
  }
  // A current index left past the end (outside a pass) is taken as the top of the stack.
  const size_t at = m_currentLayer < m_layers.size() ? m_currentLayer : m_layers.size();
  CGameActionLayer* added = layer.get();
  m_layers.insert(m_layers.begin() + at, std::move(layer));
  OutputDebugStringA("Adding Layer\n");
  added->Init(true);
}

bool CGameWorld::BringCurrentLayerToTop() {
  if (m_currentLayer >= m_layers.size() || m_currentLayer + 1 == m_layers.size()) return false;
  std::unique_ptr<CGameActionLayer> layer = std::move(m_layers[m_currentLayer]);
  m_layers.erase(m_layers.begin() + m_currentLayer);
  OutputDebugStringA("Bringing Layer Into Focus\n");
  // The pass continues below the moved layer's old slot. At the bottom there is nothing below, and
  // the index stays 0 (ending the pass) instead of wrapping around.
  if (m_currentLayer > 0) --m_currentLayer;
  m_layers.push_back(std::move(layer));
  return true;
}

void CGameWorld::RemoveTopLayer() {
  if (!m_layers.empty()) m_layers.back()->MarkForRemoval();
}

void CGameWorld::RemoveCurrentLayer() {
  if (m_currentLayer < m_layers.size()) m_layers[m_currentLayer]->MarkForRemoval();
}

void CGameWorld::RemoveAllLayers() {
  for (const std::unique_ptr<CGameActionLayer>& layer : m_layers) layer->MarkForRemoval();
}

void CGameWorld::DeactivateAllLayers() {
  for (const std::unique_ptr<CGameActionLayer>& layer : m_layers) layer->SetActive(false);
}

void CGameWorld::ActivateAllLayers() {
  for (const std::unique_ptr<CGameActionLayer>& layer : m_layers) layer->SetActive(true);
}
