// LevelSkeleton: the level's "skeleton.bin" - octree cells saved for the level so that a load
// restores them - and the 16-byte identity that ties such a block to the level's terrain mesh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class COctree;

constexpr const char* kLevelSkeletonFile = "skeleton.bin";
constexpr size_t kLevelIdentitySize = 16;

// Two 64-bit FNV-1a digests of the bytes, forwards then backwards, little-endian: any change to the
// terrain mesh file gives another identity.
void ComputeLevelIdentity(const uint8_t* data, size_t size, uint8_t identity[kLevelIdentitySize]);
// The identity of the file's bytes; false (logged) when it cannot be read.
bool ComputeLevelFileIdentity(const std::string& path, uint8_t identity[kLevelIdentitySize]);

// Hands the level folder's "skeleton.bin" to the octree when its version is 1, its identity is
// that of the terrain mesh file and its root box holds the level (the octree's root box, which the
// terrain has grown over the level); the octree then holds the block's cells with every object
// filed again. A missing, short, foreign, misplaced or corrupt file leaves the tree as it was
// (logged). True when the skeleton was taken.
bool LoadLevelSkeleton(COctree& octree, const std::string& levelFolder, const std::string& terrainMeshPath);
