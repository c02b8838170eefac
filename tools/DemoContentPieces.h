// DemoContentPieces: the buyable demo pieces and facilities - solids, each with a texture of its
// own, carrying the "skatenode" texts that become their path nodes. Their faces are their
// collision, so a skater meets a piece where the player sees it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/math/Vector3.h"
#include "scene/mesh/ShadedMesh.h"
#include "tools/DemoContent.h"

namespace DemoContent {

// One path node: where it stands in the piece's frame, its text, and the way a skater standing
// there faces (the node frame's forward axis).
struct PieceNode {
  Vector3 at;
  std::string text;
  Vector3 facing{1.0f, 0.0f, 0.0f};
};

// A piece in its own frame: the footprint's lower-left corner at the origin, x along its
// columns, y along its rows, the ground at z = 0. External nodes stand on square corners at
// ground height, so that a piece placed on a grid corner joins the squares there.
struct PieceSpec {
  std::string name;  // the mesh is meshes/<name>.mesh, its icon meshes/<name>.tga
  const char* texture;
  std::vector<SolidPart> parts;
  std::vector<PieceNode> nodes;
};

std::vector<PieceSpec> PieceSpecs();
// The piece's mesh with one skatenode text per node; null (logged) when building failed.
std::unique_ptr<ShadedMesh> BuildPiece(const PieceSpec& spec);

// The mound: a piece whose riding surface is a curved patch (meshes/mound.mesh), kMoundSide
// squares each way and kMoundHeight high in the middle. Its spec has no solid parts: only its
// name, texture and nodes.
constexpr const char* kMoundPiece = "mound";
constexpr float kMoundSide = 3.0f;
constexpr float kMoundHeight = 0.5f;
PieceSpec MoundSpec();
std::unique_ptr<ShadedMesh> BuildMoundPiece();

}  // namespace DemoContent
