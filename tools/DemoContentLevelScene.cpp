#include "tools/DemoContentLevelScene.h"

#include <utility>
#include <vector>

#include "render/hardware/D3DRasterizer.h"
#include "render/image/Texture.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/view/RasterizerInterface.h"
#include "scene/camera/ObserverCam.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LevelLights.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContentLevel.h"

namespace DemoContent {
namespace {

// No alpha mask: the "every pixel opaque" bit of an alpha texture shares its value with the
// surface bit that keeps terrain faces out of the partial-draw lists.
std::unique_ptr<CTexture> Checker(const char* name, int size, int cell, uint32_t a, uint32_t b) {
  std::vector<uint32_t> texels(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) texels[static_cast<size_t>(y) * size + x] = ((x / cell) ^ (y / cell)) & 1 ? a : b;
  auto t = std::make_unique<CTexture>();
  t->CreateFromPixels(texels.data(), 4, size, size, 0xFF0000, 0xFF00, 0xFF, 0, 0, name);
  t->flags &= ~CTexture::kNoDevice;
  return t;
}

}  // namespace

bool DemoLevelScene::StartSoftware(CSoftwareRasterizer& back) {
  DisplayMode mode;
  mode.width = kWidth, mode.height = kHeight, mode.bits = 16, mode.fullScreen = 1;
  if (!back.Init(nullptr, mode)) return false;
  back.SetClipping(true);
  return true;
}

bool DemoLevelScene::StartHardware(CD3DRasterizer& back, HWND window) {
  DeviceChoice choice;
  choice.chosen = true;
  choice.deviceGuid = IID_IDirect3DHALDevice;
  choice.mode = DisplayModeDesc(kWidth, kHeight, 16);
  choice.hardware = true;
  D3DStartOptions options;
  options.fullScreen = true;
  return back.InitDevice(window, choice, options) == 1;
}

DemoLevelScene::DemoLevelScene(CRasterizerInterface* back)
    : m_ground(Checker("ground", 128, 16, 0xFF5A9646u, 0xFF467832u)),
      m_block(Checker("block", 32, 16, 0xFFB4B4B4u, 0xFF8C8C8Cu)),
      m_mesh(BuildLevelMesh()) {
  m_view.Setup(back, nullptr, m_world.GetFogState(), m_world.GetLightList(),
               CRenderView::kPerspectiveCorrection | CRenderView::kFog);
  m_world.SetRenderView(&m_view);
  if (m_mesh) Build();
}

// The terrain instance goes before the mesh it shows.
DemoLevelScene::~DemoLevelScene() { m_world.ClearWorld(); }

void DemoLevelScene::Build() {
  m_mesh->SetTextureName(0, m_ground.get(), "ground.texture");
  m_mesh->SetTextureName(1, m_block.get(), "block.texture");
  m_mesh->ResetSlots();
  m_world.AddTerrainMesh(m_mesh.get(), nullptr, true, true);
  std::vector<LevelLightSource> sources;
  CollectLevelLightSources(*m_mesh, COrientation(), sources);
  AddLevelLights(m_world, sources, LevelWorldBox());
  m_world.GetFogState()->Set(LevelFogBlocks()[1].settings);
  auto camera = std::make_unique<CObserverCam>();
  ViewFrustum& v = camera->GetView();
  v.GetFrame().SetPosition(Vector3(8, 8, 18));
  v.GetFrame().LookAtWithUp(Vector3(24, 24, 2), Vector3(0, 0, 1));
  v.SetFieldOfView(1.2f);
  m_world.AddCamera(std::move(camera));
  m_world.SetCurrentCamera(0);
}

void DemoLevelScene::Draw(CRasterizerInterface& back, uint32_t clear) {
  back.Clear(true, true, clear);
  PixelBufferDesc* locked = nullptr;
  m_world.RenderScene(&m_view, &locked);
}

}  // namespace DemoContent
