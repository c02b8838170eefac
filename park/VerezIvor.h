// CVerezIvor: the park world, the one world object of the program, on the CGameWorld base.
#pragma once

#include <cstdint>

#include "core/GameWorld.h"

class CGrid;
class CRenderView;
struct PixelBufferDesc;

class CVerezIvor : public CGameWorld {
 public:
  // Room for the status text with its two marker bytes and terminator.
  static constexpr size_t kStatusCapacity = 100;
  static constexpr size_t kMaxStatusLength = kStatusCapacity - 3;  // 97 characters

  CVerezIvor(HWND window, HINSTANCE instance);
  ~CVerezIvor() override;

  void HandleMessage(uint32_t senderID, const uint8_t* message) override;
  void DrawOverlay(CRenderView* view, PixelBufferDesc** locked) override;
  void ClearWorld() override;
  CGameObject* CreateObject(uint32_t typeCode) override;

  // Text shown beside the cursor; null or empty clears it; longer texts are cut to kMaxStatusLength.
  void SetStatusText(const char* text);
  // The composed label text: 0x01, the text, 0x02; empty when cleared.
  const char* GetStatusLabelText() const { return m_statusText; }

  // The park's simulation step: slow-motion keys, then every game object's update.
  void Simulate(float dt);
  // The in-game layer's 3D draw.
  void RenderScene(CRenderView* view, PixelBufferDesc** locked);

  CGrid* GetGrid() const { return m_grid; }
  void SetGrid(CGrid* grid) { m_grid = grid; }
  // Shutdown drops the reference without deleting the grid.
  void ClearGrid() { m_grid = nullptr; }

 private:
  CGrid* m_grid = nullptr;
  char m_statusText[kStatusCapacity] = {};
};
