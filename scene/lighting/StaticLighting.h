// StaticLighting: lights meshes that never move once, with shadow rays, and keeps the result in
// "vlights.bin" so later level loads skip the ray tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/math/Box.h"

class CMeshInstance;
class COctree;
class LightList;

class StaticLighting {
 public:
  static constexpr uint32_t kVersion = 3;
  static constexpr size_t kHeaderSize = 8;
  static constexpr size_t kEntryHeaderSize = 40;  // box (6 floats) and mesh key (16 bytes)
  static constexpr size_t kRecordSize = 12;       // one normal colour or one face's corners
  static constexpr uint32_t kRayMask = 0x10000400;

  // Byte size of the instance's block (with its child instances' blocks when asked); 0 for an
  // instance without a mesh. Sizes are added in 64 bits so no mesh can wrap them.
  static uint64_t BlockSize(CMeshInstance* instance, bool withChildren);
  // Computes the block of the instance and its children into block (BlockSize bytes). Returns
  // false when the block is too small for them.
  static bool LightScene(CMeshInstance* instance, uint8_t* block, size_t size, LightList& lights);
  // Writes one block into the instance and its children. The block is checked against the
  // instance first: false, nothing changed, when it is shorter than BlockSize.
  static bool Apply(CMeshInstance* instance, const uint8_t* block, size_t size);

  // The whole file image for the marked meshes of the octree.
  static std::vector<uint8_t> BuildFile(COctree& octree, LightList& lights);
  // Computes and writes the file; false (logged) when it cannot be written.
  static bool Save(COctree& octree, LightList& lights, const char* fileName);
  // Applies every entry of a file image to its mesh; false at the first entry that does not
  // match a mesh or does not fit in the data.
  static bool LoadFromBuffer(COctree& octree, const uint8_t* data, size_t size);
  static bool Load(COctree& octree, const char* fileName);

  // The level loader's step: load the level's file, else compute it, write it and load it.
  // levelFolder ends with a separator (as the world keeps it). True when the lights are applied.
  static bool LoadOrRebuild(COctree& octree, LightList& lights, const std::string& levelFolder);

 private:
  struct Entry {
    Box box;
    CMeshInstance* root;
  };
  static void CollectEntries(COctree& octree, std::vector<Entry>& out);
  static CMeshInstance* FindMatch(COctree& octree, const Box& box, const uint32_t key[4]);
};
