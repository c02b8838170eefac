// SceneDrawRecorder: a scene drawing context that keeps the debug lines and spheres it is given
// and draws nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Vector3.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace testing_support {

class SceneDrawRecorder : public CSceneDrawInterface {
 public:
  struct Line {
    Vector3 a, b;
    uint32_t colour;
  };
  struct Sphere {
    Vector3 centre;
    float radius;
    uint32_t colour;
  };
  uint32_t GetFrameNumber() const override { return 1; }
  ViewFrustum* GetView() const override { return view; }
  FogState* GetFogState() const override { return nullptr; }
  LightList* GetLightList() const override { return nullptr; }
  void DrawMesh(CMeshInstance*) override {}
  void DrawLine3D(const Vector3& a, const Vector3& b, uint32_t colour) override { lines.push_back({a, b, colour}); }
  void DrawTriangle3D(const Vector3&, const Vector3&, const Vector3&, uint32_t, bool) override {}
  void DrawDebugSphere(const Vector3& c, float r, uint32_t colour) override { spheres.push_back({c, r, colour}); }
  uint32_t GetDebugFlags() const override { return 0; }
  void DrawMeshSection(CMeshSection*) override {}
  bool CanDrawVertexBuffers() const override { return false; }
  bool HasBackEnd() const override { return false; }
  std::unique_ptr<CTextureProperties> CreateShadowTexture(uint32_t) const override { return nullptr; }
  void LoadTexture(CTextureProperties*) override {}
  bool DrawShadowTexture(CTextureProperties*, ViewFrustum*, CMeshInstance*) override { return false; }

  // The lines of that colour.
  size_t Count(uint32_t colour) const {
    size_t n = 0;
    for (const Line& l : lines) n += l.colour == colour;
    return n;
  }

  ViewFrustum* view = nullptr;  // not owned; none by default
  std::vector<Line> lines;
  std::vector<Sphere> spheres;
};

}  // namespace testing_support
