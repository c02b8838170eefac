// SphereTree: whole-tree operations on sphere trees - copies, bounds, builders and the flat image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "physics/collision/SphereTreeNode.h"

namespace SphereTree {

// Bytes per node in the flat image: centre (3 f32), radius (f32), child
// count (u32), a spare word (written 0, ignored on reading), stamp (u32).
constexpr size_t kImageRecordSize = 28;
// Deepest tree the image reader accepts; real trees are a few levels deep,
// and the limit keeps a hostile chain of one-child nodes off the stack.
constexpr uint32_t kMaxImageDepth = 64;
// Most children BuildFlatBox makes; a thinner box stays a single sphere.
constexpr uint32_t kMaxFlatBoxChildren = 65536;

// Copies the subtree under source into destination, moving every centre by
// the orientation when one is given. The destination keeps its stamp and
// loses its old children. The copy is complete before the destination
// changes, so source may lie inside the destination's tree. False (logged,
// destination untouched) without a source.
bool Build(const SphereTreeNode* source, const COrientation* orientation, SphereTreeNode& destination);
// The same into a new tree whose nodes start with stamp 0; null (logged) without a source.
std::unique_ptr<SphereTreeNode> Build(const SphereTreeNode* source, const COrientation* orientation);

// Leaf: the cube centre +- radius; inner node: the union of its children's boxes.
Box ComputeBounds(const SphereTreeNode& node);

size_t CountNodes(const SphereTreeNode& node);
size_t ImageSize(const SphereTreeNode& node);
// Writes the image in pre-order, little-endian. Returns the bytes written,
// or 0 (logged) when capacity is below ImageSize.
size_t WriteImage(const SphereTreeNode& node, uint8_t* buffer, size_t capacity);
// Reads an image of exactly size bytes into node (stamps read back as 0).
// Every count is checked against the bytes left, centres and radii must be
// finite (radii not negative) and the depth at most kMaxImageDepth; on any
// failure the node is left untouched and false is returned (logged).
bool ReadImage(SphereTreeNode& node, const uint8_t* data, size_t size);

// The node becomes the sphere around the box. When z is the smallest extent
// (and above 0) it gets nx * ny children of radius z / 2 in a grid across the
// box at its middle height, nx = floor(x / z), ny = floor(y / z); a single
// column or row sits in the middle of the box.
void BuildFlatBox(SphereTreeNode& node, const Box& box);

// A node at (x, y, z) of radius edge * 0.866025 (half the cube's diagonal);
// with depth > 0, eight children for the octants (bit 0 of the child index:
// -x, bit 1: -y, bit 2: -z), each half the edge and one level less deep.
// The node handed in loses its old children.
void BuildCube(float edge, int depth, float x, float y, float z, SphereTreeNode& node);
std::unique_ptr<SphereTreeNode> BuildCube(float edge, int depth, float x, float y, float z);

}  // namespace SphereTree
