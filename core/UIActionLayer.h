// CUIActionLayer: a layer of interface widgets with its own layout file and widget manager.
#pragma once

#include "core/GameActionLayer.h"

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

  CUIManager* GetUIManager() const { return m_uiManager; }
  CSpriteFile* GetLayout() const { return m_layout; }
  void SetClearScreen(bool clear) { m_clearScreen = clear ? 1 : 0; }
  bool GetClearScreen() const { return m_clearScreen != 0; }

 protected:
  CUIManager* m_uiManager = nullptr;  // owned
  CSpriteFile* m_layout = nullptr;    // owned
  uint8_t m_clearScreen = 0;
};
