// PatchTextureRecord: the (patch u, v) to (texture s, t) correspondences found between one curved patch and one textured triangle.
#pragma once

#include <cstdint>
#include <vector>

struct PatchTextureRecord {
  struct Point {
    float u, v;  // patch parameters
    float s, t;  // texture coordinates of the triangle at the same place
  };

  uint32_t patch = 0;
  uint32_t texture = 0;  // the triangle's face texture slot (ShadedMesh::kNone when untextured)
  std::vector<Point> points;  // at least three, in angular order about their mean (u, v)
};
