// CGameActionLayer: one entry of the world's layer stack (a screen, dialog or game mode).
#pragma once

#include "core/world/GameObject.h"

class CRenderView;
struct PixelBufferDesc;

class CGameActionLayer : public CGameObject {
 public:
  CGameActionLayer() = default;
  ~CGameActionLayer() override = default;

  // A modal layer keeps the tick's input events from the layers below it.
  virtual bool IsModal() const { return false; }
  // locked: the back-buffer lock shared by the layers of one frame (null while unlocked).
  virtual void Draw(CRenderView* view, PixelBufferDesc** locked) {}

  bool IsActive() const { return m_active != 0; }
  void SetActive(bool active) { m_active = active ? 1 : 0; }
  bool IsInputBlocked() const { return m_inputBlocked != 0; }
  void SetInputBlocked(bool blocked) { m_inputBlocked = blocked ? 1 : 0; }

 protected:
  uint32_t m_layerWord = 0;
  uint8_t m_active = 1;
  uint8_t m_inputBlocked = 0;
};
