// A small lit scene shared by the baked-light tests: demo meshes placed as octree objects under
// an ambient and a directional light.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/spatial/Octree.h"
#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/DirectionalLight.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/TextureProperties.h"
#include "tools/DemoContent.h"

namespace baked_test {

// A texture that is only its flag word, for the baking rules that read it.
struct FlagTexture : CTextureProperties {
  explicit FlagTexture(uint32_t f) : flags(f) {}
  uint32_t GetFlags() const override { return flags; }
  uint32_t flags;
};

// Lays the texture on every face of the mesh's first slot.
inline void SetFirstTexture(ShadedMesh& mesh, CTextureProperties* texture) {
  mesh.SetTextureName(0, texture, "flagged");
  mesh.ResetSlots();
}

// An octree object standing for a placed mesh, as a scenery section or game object would.
class PlacedMesh : public CBoundedObject {
 public:
  explicit PlacedMesh(CMeshInstance* instance) { m_ownerInstance = instance; }
};

struct LitScene {
  COctree octree{Box(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000))};
  LightList lights{&octree};
  CAmbientLight fill{0.25f, 0.3f, 0.35f, Box(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000)), 1, 0.0f};
  CDirectionalLight sun{0.9f, 0.8f, 0.7f, -100, -100, 100, 1, 1, -1, 1, 0, 0, 0, 0};
  std::vector<std::unique_ptr<ShadedMesh>> meshes;
  std::vector<std::unique_ptr<CMeshInstance>> instances;
  std::vector<std::unique_ptr<PlacedMesh>> objects;

  explicit LitScene(bool withSun = true) {
    lights.Add(&fill);
    if (withSun) lights.Add(&sun);
  }

  ShadedMesh* Keep(std::unique_ptr<ShadedMesh> mesh) {
    meshes.push_back(std::move(mesh));
    return meshes.back().get();
  }

  // A root instance of the mesh at the position, filed as a renderable object; marked instances
  // carry the static-lighting mark.
  CMeshInstance* Place(ShadedMesh* mesh, const Vector3& at, bool marked) {
    COrientation frame;
    frame.SetPosition(at);
    const Matrix4 transform = frame.ToMatrix4();
    instances.push_back(std::make_unique<CMeshInstance>());
    CMeshInstance* instance = instances.back().get();
    instance->SetMesh(mesh, false, false, marked, 0, 100, &transform, true, nullptr);
    objects.push_back(std::make_unique<PlacedMesh>(instance));
    Box bounds;
    instance->GetWorldBounds(bounds);
    objects.back()->SetBounds(bounds);
    objects.back()->SetBoundFlags(CBoundedObject::kRenderable);
    octree.InsertObject(objects.back().get());
    return instance;
  }

  // The same meshes at the same places, as a second load of the level would make them.
  void PlaceStandard(bool extraUnmarked) {
    Place(Keep(DemoContent::BuildGroundGrid(5, 2.0f)), Vector3(0, 0, 0), true);
    Place(Keep(DemoContent::BuildLodRamp()), Vector3(3, -2, 0.5f), true);
    Place(Keep(DemoContent::BuildBuggy()), Vector3(3, 3, 0.5f), true);  // four child meshes side by side
    if (extraUnmarked) Place(Keep(DemoContent::BuildBox(1, 1, 1)), Vector3(-3, 2, 1), false);
  }
};

}  // namespace baked_test
