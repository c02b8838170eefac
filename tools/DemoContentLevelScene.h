// DemoLevelScene: the demo level as a world's terrain, lit by the level's own lights and fogged by
// its medium-detail fog, seen by one camera at a corner looking across the park and drawn through
// a render view into whichever back end it was given. The render tests and the frame-rate
// benchmarks share it, so that what is timed is the picture that is checked.
#pragma once

#include <cstdint>
#include <memory>

#include "core/world/GameWorld.h"
#include "platform/system/Win32.h"
#include "render/view/RenderView.h"

class CD3DRasterizer;
class CRasterizerInterface;
class CSoftwareRasterizer;
class CTexture;
class ShadedMesh;

namespace DemoContent {

class DemoLevelScene {
 public:
  // The frame the scene is drawn into: full screen, 16 bits a pixel.
  static constexpr uint32_t kWidth = 640, kHeight = 480;
  // Start a back end on that frame, the software one clipping; false when it did not start.
  static bool StartSoftware(CSoftwareRasterizer& back);
  static bool StartHardware(CD3DRasterizer& back, HWND window);

  // The back end must be started first: the view reads its frame as it is set up. With no level
  // mesh (its builder logs why), the world stays empty and draws nothing.
  explicit DemoLevelScene(CRasterizerInterface* back);
  ~DemoLevelScene();
  DemoLevelScene(const DemoLevelScene&) = delete;
  DemoLevelScene& operator=(const DemoLevelScene&) = delete;

  bool IsBuilt() const { return m_mesh != nullptr; }
  CGameWorld& World() { return m_world; }

  // Clears the back buffer to `clear` and runs the world's scene pass; presenting is the caller's.
  void Draw(CRasterizerInterface& back, uint32_t clear = 0xFF000000u);

 private:
  void Build();

  CRenderView m_view;
  // Checker textures standing in for the level's own; they have a device form, so a hardware back
  // end can load them too.
  std::unique_ptr<CTexture> m_ground;
  std::unique_ptr<CTexture> m_block;
  std::unique_ptr<ShadedMesh> m_mesh;
  CGameWorld m_world{nullptr, nullptr};
};

}  // namespace DemoContent
