// The demo level's faces as collision polygons in an octree of the level's box,
// shared by the tests that move bodies through the level.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/spatial/Octree.h"
#include "core/math/Orientation.h"
#include "physics/terrain/TerrainCollision.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContentLevel.h"

namespace combat_test {

constexpr float kGround = 2.0f;  // height of the demo level's open ground
constexpr float kDt = 0.01f;

inline COrientation At(float x, float y, float z) { return COrientation(TMatrix(), Vector3(x, y, z)); }

struct Level {
  std::unique_ptr<ShadedMesh> mesh{DemoContent::BuildLevelMesh()};
  std::unique_ptr<CMeshInstance> instance{new CMeshInstance()};
  COctree octree{DemoContent::LevelWorldBox()};

  Level() {
    EXPECT_NE(nullptr, mesh);
    EXPECT_TRUE(instance->SetMesh(mesh.get(), true, false, false, 0, 10, nullptr, true, nullptr));
    BuildTerrainCollisionPolygons(&octree, instance.get(), nullptr, 7, nullptr, true, false);
  }
};

}  // namespace combat_test
