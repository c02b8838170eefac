// DemoContentPieces: the buyable demo pieces and facilities - solids carrying the "skatenode"
// texts that become their path nodes and the sphere markers that become their collision.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/math/Vector3.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"

namespace DemoContent {

// One path node: where it stands in the piece's frame and its text.
struct PieceNode {
  Vector3 at;
  std::string text;
};

struct PieceSphere {
  Vector3 centre;
  float radius;
};

// A piece in its own frame: the footprint's lower-left corner at the origin, x along its
// columns, y along its rows, the ground at z = 0. External nodes stand on square corners at
// ground height, so that a piece placed on a grid corner joins the squares there.
struct PieceSpec {
  std::string name;  // the mesh is meshes/<name>.mesh, its icon meshes/<name>.tga
  const char* texture;
  std::vector<SolidPart> parts;
  std::vector<PieceNode> nodes;
  std::vector<PieceSphere> spheres;
};

std::vector<PieceSpec> PieceSpecs();
// The piece's mesh with one skatenode text and one sphere marker per entry; null (logged) when
// building failed.
std::unique_ptr<ShadedMesh> BuildPiece(const PieceSpec& spec);

}  // namespace DemoContent
