// DemoContent: builders of the small demo meshes, written by make_demo_data and reused by tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/mesh/ShadedMesh.h"

class Skin;

namespace DemoContent {

// Each builder returns a finished root mesh (normals, vertex normals, coverage and bounds
// computed), or null when building failed (logged).

// Flat n x n grid of the given cell size around the origin, with named attach points at its
// four corners and centre ("corner0".."corner3", "centre") and a mesh key.
std::unique_ptr<ShadedMesh> BuildGroundGrid(uint32_t n, float cellSize);
// Axis-aligned box of the given half extents, resting on z = 0.
std::unique_ptr<ShadedMesh> BuildBox(float halfX, float halfY, float halfZ);
// Wedge ramp: length along x rising from 0 to height, width along y.
std::unique_ptr<ShadedMesh> BuildRamp(float length, float width, float height);
// A ramp with a level-of-detail child (a box named "ramp_LOD,pixels=40") hung on an attach
// point, which itself carries an internal child ("ramp_INTERNAL"): files ramp.mesh,
// ramp-a.mesh, ramp-a-a.mesh when saved as ramp.mesh.
std::unique_ptr<ShadedMesh> BuildLodRamp();
// A box with node animation (one keyframe controller turning and lifting it) and a second
// frame of positions with an animated attach point.
std::unique_ptr<ShadedMesh> BuildAnimatedBox();
// A flat quad carrying one bicubic curved patch that bulges upward.
std::unique_ptr<ShadedMesh> BuildPatchMesh();
// A square mound of the given side standing on z = 0, its top one curved patch whose rim lies on
// the ground and whose middle is `height` high; its only faces are a bottom facing down.
std::unique_ptr<ShadedMesh> BuildPatchMound(const char* name, const char* texture, float side, float height);
// An animated skinned figure: an upright tube on three chained bones ("hips", "spine",
// "chest", one unit apart), each vertex blended between its nearest joints, with one
// keyframe controller per bone and an animation table whose looping "idle" sequence bends
// the spine and chest and twists the hips.
std::unique_ptr<ShadedMesh> BuildSkinnedFigure();

// One block of a solid: a box, or a wedge rising along +y from min.z at min.y to max.z at max.y.
struct SolidPart {
  Vector3 min;
  Vector3 max;
  bool wedge = false;
};
// A mesh of the given blocks (overlaps are left as they are), named and textured as asked.
std::unique_ptr<ShadedMesh> BuildSolid(const char* name, const char* texture, const std::vector<SolidPart>& parts);

// One bone's share of a vertex.
struct BoneInfluence {
  uint16_t bone;
  float weight;
};
// Fills the skin's offsets and weight records from the mesh's frame-0 positions and vertex
// normals as they stand in the bind pose: each record holds the vertex in the bone's space
// (the inverse of the bone's bind pose applied to it). The skin's bones must be set; false
// (logged) when the influence lists do not match the mesh or the result fails validation.
bool BindSkinWeights(Skin& skin, const ShadedMesh& mesh, const std::vector<std::vector<BoneInfluence>>& influences);

// A 1 m crate authored as a rigid body: constants, eight point masses, a collision sphere filling it
// with a small one in each corner, and one convex box piece.
std::unique_ptr<ShadedMesh> BuildCrate();
// A vehicle body with four wheel parts ("wheel=1".."wheel=4"), each carrying its wheel constants
// and the top of its suspension travel.
std::unique_ptr<ShadedMesh> BuildBuggy();

struct DemoFile {
  std::string relativePath;  // below the data folder, '/' separated
  std::unique_ptr<ShadedMesh> mesh;
};

// Every demo mesh with its file name below the data folder ("meshes/...").
std::vector<DemoFile> BuildAll();
void FreeAll(std::vector<DemoFile>& files);

// Writes every demo mesh below folder (which must exist); false when any file failed.
bool WriteAll(const std::string& folder);

// Writes the whole demo data set into dataFolder (which must exist and be named "data": the
// instant-action park loads the written level through it): meshes, level, pictures, sounds,
// catalogs, figure, interface, level textures and their software caches, the instant-action park
// and the generator stamp.
// The engine must be registered (RegisterEngine). False (logged) when any part failed.
bool WriteDemoData(const std::string& dataFolder);

}  // namespace DemoContent
