// The demo level drawn through the hardware back end on the OpenGL device and through the
// software back end, from the same camera: the same pixels covered and close colours; and the
// game's level with a placed piece, whose projected shadow darkens the ground behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/world/AssetPreloader.h"
#include "core/input/SkateSettings.h"
#include "core/data/ResourceTable.h"
#include "park/pieces/ObjectCatalog.h"
#include "park/pieces/SkatableSection.h"
#include "park/world/VerezIvor.h"
#include "platform/graphics/GLDevice.h"
#include "render/hardware/D3DRasterizer.h"
#include "render/software/SoftwareRasterizer.h"
#include "render/software/SoftwareTextureStore.h"
#include "scene/camera/GenericCam.h"
#include "scene/lighting/ShadowRenderer.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkingFolder.h"
#include "tools/DemoContent.h"
#include "tools/DemoContentCatalog.h"
#include "tools/DemoContentImages.h"
#include "tools/DemoContentInstantPark.h"
#include "tools/DemoContentLevel.h"
#include "tools/DemoContentLevelArt.h"
#include "tools/DemoContentLevelScene.h"
#include "ui/screens/LevelLoader.h"
#include "tests/support/PlainWindow.h"

namespace {

constexpr uint32_t kW = DemoContent::DemoLevelScene::kWidth, kH = DemoContent::DemoLevelScene::kHeight;

struct Rgb {
  int r, g, b;
};

// The demo level, drawn by whichever back end is given, with what it logs kept out of the output.
struct DemoScene {
  testing_support::DebugCapture quiet;
  DemoContent::DemoLevelScene level;

  explicit DemoScene(CRasterizerInterface* back) : level(back) {}
};

// The frame as 8-bit channels, whatever the 16-bit layout of the back buffer.
std::vector<Rgb> Capture(CRasterizerInterface& back) {
  PixelBufferDesc* d = back.LockBackBuffer();
  std::vector<Rgb> out;
  if (!d || !d->pixels) return out;
  const bool is565 = d->greenMask == kGreenMask565;
  for (uint32_t y = 0; y < d->height; ++y)
    for (uint32_t x = 0; x < d->width; ++x) {
      const uint16_t p = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(d->pixels) + d->pitch * y)[x];
      out.push_back(is565 ? Rgb{(p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3}
                          : Rgb{((p >> 10) & 31) << 3, ((p >> 5) & 31) << 3, (p & 31) << 3});
    }
  back.UnlockBackBuffer();
  return out;
}

// The frame of the demo level drawn once by a started back end; the level is gone before the back end.
std::vector<Rgb> DrawnFrame(CRasterizerInterface& back) {
  DemoScene scene(&back);
  EXPECT_TRUE(scene.level.IsBuilt());
  scene.level.Draw(back);
  return Capture(back);
}

std::vector<Rgb> SoftwareFrame() {
  CSoftwareTextureStore store;
  CSoftwareRasterizer back(&store);
  EXPECT_TRUE(DemoContent::DemoLevelScene::StartSoftware(back));
  return DrawnFrame(back);
}

std::vector<Rgb> HardwareFrame(HWND window) {
  CD3DRasterizer back;
  EXPECT_TRUE(DemoContent::DemoLevelScene::StartHardware(back, window));
  EXPECT_NE(dynamic_cast<CGLDevice*>(back.Framework().Device()), nullptr) << "drawn by OpenGL";
  return DrawnFrame(back);
}

// One window class per test: a class name is held by one process at a time, and ctest runs
// the tests of this file side by side.
HWND MakeWindow(const char* className) {
  return testing_support::MakePlainWindow(className, "demo", 0, 64, 48);
}

TEST(HardwareDemoLevel, OpenGLAndSoftwareFramesAgree) {
  ResetDisplayMachine();
  ASSERT_TRUE(CGLDevice::Install()) << "the hardware back end needs OpenGL here";
  HWND window = MakeWindow("KelvarunHardwareDemo");
  const std::vector<Rgb> hardware = HardwareFrame(window);
  const std::vector<Rgb> software = SoftwareFrame();
  DestroyWindow(window);
  ResetDisplayMachine();
  ASSERT_EQ(hardware.size(), static_cast<size_t>(kW) * kH);
  ASSERT_EQ(software.size(), hardware.size());
  // KELVARUN_KEEP_FRAME=<prefix> keeps both frames as PPM files for looking at.
  if (const char* keep = std::getenv("KELVARUN_KEEP_FRAME")) {
    for (const auto* frame : {&hardware, &software}) {
      std::string ppm = "P6\n640 480\n255\n";
      for (const Rgb& p : *frame) ppm += {static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b)};
      std::ofstream(std::string(keep) + (frame == &hardware ? "hardware.ppm" : "software.ppm"), std::ios::binary) << ppm;
    }
  }
  // The two back ends light and fog differently by design: the software one fogs a whole
  // triangle at one of sixteen levels and lights by one intensity, the OpenGL device fogs and
  // colours every pixel. So the geometry must match almost exactly, the colours closely.
  size_t within8 = 0, within32 = 0, coverageMismatch = 0, drawn = 0;
  for (size_t i = 0; i < software.size(); ++i) {
    const Rgb& a = hardware[i];
    const Rgb& b = software[i];
    const int difference = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    within8 += difference <= 8;
    within32 += difference < 32;
    const bool hardwareDrawn = a.r + a.g + a.b > 0, softwareDrawn = b.r + b.g + b.b > 0;
    drawn += hardwareDrawn;
    coverageMismatch += hardwareDrawn != softwareDrawn;
  }
  RecordProperty("PixelsWithin8", static_cast<int>(within8));
  std::printf("hardware vs software: %.1f%% of pixels within 8 levels, %.1f%% within 32\n",
              100.0 * within8 / software.size(), 100.0 * within32 / software.size());
  EXPECT_GT(drawn, software.size() * 8 / 10) << "the hardware frame shows the park";
  EXPECT_LE(coverageMismatch * 100, software.size()) << "the same pixels are covered";
  EXPECT_GE(within32 * 100, software.size() * 98) << "close colours: " << within32 << " of " << software.size();
}

// Whether the ray from p along d meets the triangle (a, b, c) (Moller-Trumbore, either side).
bool RayMeetsTriangle(const Vector3& p, const Vector3& d, const Vector3& a, const Vector3& b, const Vector3& c) {
  const Vector3 e1 = b - a, e2 = c - a, q = d.Cross(e2);
  const float det = e1.Dot(q);
  if (std::fabs(det) < 1e-9f) return false;
  const Vector3 t = p - a;
  const float u = t.Dot(q) / det;
  const Vector3 r = t.Cross(e1);
  const float v = d.Dot(r) / det;
  return u >= 0.0f && v >= 0.0f && u + v <= 1.0f && e2.Dot(r) / det > 0.0f;
}

// Whether the sun's ray from p meets any face of the caster, for p moved by `spread` each way
// across the ray: all of them (in the core of the shadow) or none (well clear of it).
struct CasterRays {
  std::vector<std::array<Vector3, 3>> faces;  // world corners
  Vector3 toLight;
  CasterRays(CMeshInstance& caster, const Vector3& light) : toLight(light) {
    for (uint32_t f = 0; f < caster.GetMesh()->faceCount; ++f)
      faces.push_back({caster.GetCornerWorldPosition(f, 0), caster.GetCornerWorldPosition(f, 1),
                       caster.GetCornerWorldPosition(f, 2)});
  }
  bool Meets(const Vector3& p) const {
    for (const auto& c : faces)
      if (RayMeetsTriangle(p, toLight, c[0], c[1], c[2])) return true;
    return false;
  }
  int CountMeeting(const Vector3& p, float spread) const {
    int n = Meets(p);
    for (const Vector3& step :
         {Vector3(spread, 0, 0), Vector3(-spread, 0, 0), Vector3(0, spread, 0), Vector3(0, -spread, 0)})
      n += Meets(p + step);
    return n;
  }
};

TEST(HardwareDemoLevel, APlacedPieceCastsItsShadowOnTheGround) {
  ResetDisplayMachine();
  ASSERT_TRUE(CGLDevice::Install()) << "the hardware back end needs OpenGL here";
  HWND window = MakeWindow("KelvarunShadowFrame");
  testing_support::WorkingFolder folder;
  ASSERT_TRUE(folder.Entered());
  testing_support::DebugCapture quiet;
  CSkateSettings settings;
  settings.meshDetail = 0.5f;
  CSettings* previous = GetSettings();
  SetSettings(&settings);
  ASSERT_TRUE(DemoContent::WriteAll("data") && DemoContent::WriteLevel("data") && DemoContent::WriteCatalogs("data") &&
              DemoContent::WriteImages("data") && DemoContent::WriteLevelTextures("data"));
  CResourceTable table;
  PreloadAssets(&table);
  std::vector<Rgb> shaded, plain;
  size_t core = 0, coreDarker = 0, open = 0, openDarker = 0;
  {
    // As in the game: the level loads while the menu's software back end is current, then the
    // game's back end takes over.
    CSoftwareTextureStore store;
    CSoftwareRasterizer menu(&store);
    ASSERT_TRUE(DemoContent::DemoLevelScene::StartSoftware(menu));
    CD3DRasterizer back;
    ASSERT_TRUE(DemoContent::DemoLevelScene::StartHardware(back, window));
    CRenderView view;  // outlives the park, whose clearing still reaches it
    CVerezIvor park(nullptr, nullptr);
    park.SetResourceTable(&table);
    const uint32_t options = CRenderView::kPerspectiveCorrection | CRenderView::kFog;
    view.Setup(&menu, nullptr, park.GetFogState(), park.GetLightList(), options);
    park.SetRenderView(&view);
    // The game's own level load sets up the shadow projectors.
    CLevelLoader loader;
    ASSERT_TRUE(loader.LoadLevel(park, 0) && loader.SetUpGrid(park) && loader.LoadCatalogs(park));
    ASSERT_GT(park.GetShadowRenderer()->GetProjectorCount(), 0u);
    view.Setup(&back, nullptr, park.GetFogState(), park.GetLightList(), options);
    ASSERT_TRUE(DemoContent::PlaceInstantPark(park)) << quiet.Text();

    // The first aid stand casts: in play the skaters carry the caster flag, a placed piece gives a still shadow.
    CSkatableSection* piece = nullptr;
    for (uint32_t id : GetPlacedSectionList()) {
      CSkatableSection* section = GetPlacedSection(id);
      if (section && section->GetDefinition() && std::string(section->GetDefinition()->name) == "First aid")
        piece = section;
    }
    ASSERT_NE(piece, nullptr);
    piece->AddBoundFlags(CBoundedObject::kCastsProjectedShadow);
    const Box box = piece->GetBounds();
    const float ground = piece->GetWorldMatrix().position.z;
    Vector3 toLight = -Vector3(1.0f, 0.5f, -1.5f);  // the demo sun shines along (1, 0.5, -1.5)
    toLight.Normalize();
    const CasterRays rays(*piece->GetMeshInstance(), toLight);
    // A camera downwind of the sun, looking back at the shadow with the stand behind it.
    const Vector3 top = box.GetCenter() + Vector3(0, 0, box.max.z - box.GetCenter().z);
    const Vector3 shadowCentre = (top - toLight * ((top.z - ground) / toLight.z) + box.GetCenter()) * 0.5f;
    CGenericCam* camera = park.GetCamera(CLevelLoader::kViewFromPieceCamera);
    ASSERT_NE(camera, nullptr);
    ViewFrustum& v = camera->GetView();
    v.SetPerspective();
    v.SetFieldOfView(1.2f);
    v.GetFrame().SetPosition(shadowCentre + Vector3(-toLight.x, -toLight.y, 0.0f) * 9.0f + Vector3(0, 0, 7));
    v.GetFrame().LookAtWithUp(shadowCentre, Vector3(0, 0, 1));
    park.SetCurrentCamera(CLevelLoader::kViewFromPieceCamera);

    auto draw = [&](int frames) {
      for (int i = 0; i < frames; ++i) {
        park.SetWorldTime(park.GetWorldTime() + 1.0);  // lights fade in over world time, the shadow with them
        back.Clear(true, true, 0xFF000000u);
        PixelBufferDesc* locked = nullptr;
        park.RenderScene(&view, &locked);
      }
      return Capture(back);
    };
    shaded = draw(3);
    const ShadowProjector* projector = park.GetShadowRenderer()->GetProjector(0);
    EXPECT_EQ(projector->GetCaster(), piece->GetMeshInstance());
    EXPECT_GT(projector->GetRenderCount(), 0u);
    park.GetShadowRenderer()->Clear();
    plain = draw(1);

    // Ground points around the stand, on screen through the last frame's camera: where the sun's
    // rays meet the stand they are darker, where they pass well clear of it unchanged.
    const Vector3 far = top - toLight * ((top.z - ground) / toLight.z);
    for (float x = std::min(box.min.x, far.x) - 3.0f; x <= std::max(box.max.x, far.x) + 3.0f; x += 0.05f) {
      for (float y = std::min(box.min.y, far.y) - 3.0f; y <= std::max(box.max.y, far.y) + 3.0f; y += 0.05f) {
        const Vector3 p(x, y, ground + 0.02f);
        if (box.min.x - 0.1f < x && x < box.max.x + 0.1f && box.min.y - 0.1f < y && y < box.max.y + 0.1f) continue;
        Vector4 h;
        TransformPoint4(h, view.GetViewMatrix(), p);
        const ProjectedPoint screen = view.ProjectPoint(Vector3(h.x, h.y, h.z));
        const int px = static_cast<int>(screen.x), py = static_cast<int>(screen.y);
        if (!(screen.rhw > 0.0f) || px < 0 || py < 0 || px >= static_cast<int>(kW) || py >= static_cast<int>(kH))
          continue;
        const Rgb& a = shaded[static_cast<size_t>(py) * kW + px];
        const Rgb& b = plain[static_cast<size_t>(py) * kW + px];
        const bool darker = (b.r - a.r) + (b.g - a.g) + (b.b - a.b) >= 24;
        if (rays.CountMeeting(p, 0.15f) == 5) {
          ++core;
          coreDarker += darker;
        } else if (rays.CountMeeting(p, 0.3f) == 0) {
          ++open;
          openDarker += darker;
        }
      }
    }
    FreeObjectCatalog();
    park.ClearGrid();
    park.ClearWorld();
  }
  SetSettings(previous);
  DestroyWindow(window);
  ResetDisplayMachine();
  std::printf("shadow: %zu of %zu ground points in the stand's shadow darker, %zu of %zu clear of it\n", coreDarker,
              core, openDarker, open);
  EXPECT_GT(core, 100u);
  EXPECT_GE(coreDarker * 20, core * 19) << "the ground in the stand's shadow is darker";
  EXPECT_GT(open, 1000u);
  EXPECT_EQ(openDarker, 0u) << "and only there";
  // Shadows only darken: no pixel of the frame got lighter.
  ASSERT_EQ(shaded.size(), plain.size());
  size_t lighter = 0;
  for (size_t i = 0; i < plain.size(); ++i)
    lighter += shaded[i].r > plain[i].r + 8 || shaded[i].g > plain[i].g + 8 || shaded[i].b > plain[i].b + 8;
  EXPECT_EQ(lighter, 0u);
}

}  // namespace
