// PlacedTriangles: meshes of loose triangles, each corner its own vertex with its own colour and
// UV, and their instances bound at the identity, for the tests that draw through the render view.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace render_test {

// The corners in threes; the colours are taken in turn, corner by corner.
inline std::unique_ptr<ShadedMesh> TriangleMesh(const std::vector<Vector3>& corners,
                                                const std::vector<uint32_t>& colours) {
  const uint32_t n = static_cast<uint32_t>(corners.size());
  auto mesh = std::make_unique<ShadedMesh>();
  EXPECT_TRUE(mesh->Create("triangles", n, n / 3, 0, 0, n, 1));
  for (uint32_t i = 0; i < n; ++i) {
    mesh->allPositions[i] = corners[i];
    mesh->indices[i] = static_cast<uint16_t>(i);
    mesh->uvs[i] = Vector2(0.1f * static_cast<float>(i % 3), 0.5f);
    MeshCorner& c = mesh->faceRecords[i / 3].corners[i % 3];
    c.uv = i;
    c.color = Color::FromWord(colours[i % colours.size()]);
  }
  mesh->SetFrame(0);
  mesh->ComputeBounds();
  return mesh;
}

struct Placed {
  std::unique_ptr<ShadedMesh> mesh;
  CMeshInstance instance;
  explicit Placed(std::unique_ptr<ShadedMesh> m) : mesh(std::move(m)) {
    EXPECT_TRUE(instance.SetMesh(mesh.get(), false, false, false, 0, 0, nullptr, true, nullptr));
  }
};

}  // namespace render_test
