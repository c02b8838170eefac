// CUIActionLayer: a layer of interface widgets with its own layout file and widget manager.
#pragma once

#include <memory>

#include "core/world/GameActionLayer.h"
#include "ui/sprites/DrawSurface.h"

class CUIManager;
class CSpriteFile;

class CUIActionLayer : public CGameActionLayer {
 public:
  CUIActionLayer();
  ~CUIActionLayer() override;

  void Init(bool created) override {}
  void Update(float dt) override;  // the layer's tick
  void HandleInputEvent(const InputEvent& event) override;
  void Draw(CRenderView* view, PixelBufferDesc** locked) override;
  virtual void HandleMouse(int x, int y, int buttonState);

  CUIManager* GetUIManager() const { return m_uiManager.get(); }
  CSpriteFile* GetLayout() const { return m_layout.get(); }
  void SetClearScreen(bool clear) { m_clearScreen = clear ? 1 : 0; }
  bool GetClearScreen() const { return m_clearScreen != 0; }

 protected:
  // Clears the frame when this layer is one that starts the frame afresh; a no-op otherwise.
  void ClearFrame(CRenderView* view, PixelBufferDesc** locked);
  // The back buffer to draw widgets on, locked once per frame for all interface layers; false
  // when there is none.
  static bool LockSurface(CRenderView* view, PixelBufferDesc** locked, DrawSurface& out);
  // An event position as a window pixel, clamped into the int range.
  static int ToPixel(float v);

  std::unique_ptr<CUIManager> m_uiManager;
  std::unique_ptr<CSpriteFile> m_layout;
  uint8_t m_clearScreen = 0;
};
