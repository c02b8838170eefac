// LevelSkeleton: reading "skeleton.bin" and the level identity it is checked against.
#include "ui/screens/LevelSkeleton.h"

#include <cstring>

#include "core/data/DebugPrintf.h"
#include "core/data/FileBuffer.h"
#include "core/data/LittleEndian.h"
#include "core/math/Box.h"
#include "core/spatial/Octree.h"
#include "platform/files/FileSystem.h"

namespace {

constexpr uint32_t kSkeletonVersion = 1;
constexpr uint64_t kFnvBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

static_assert(kLevelIdentitySize == COctree::kIdentitySize, "the level identity is the skeleton's");

void PutU64(uint8_t* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The block's root box (its size was checked to hold the header).
Box SkeletonRootBox(const uint8_t* block) {
  float v[6];
  for (int i = 0; i < 6; ++i) v[i] = le::ReadF32(block + 20 + 4 * i);
  return Box(Vector3(v[0], v[1], v[2]), Vector3(v[3], v[4], v[5]));
}

}  // namespace

void ComputeLevelIdentity(const uint8_t* data, size_t size, uint8_t identity[kLevelIdentitySize]) {
  uint64_t forwards = kFnvBasis, backwards = kFnvBasis;
  for (size_t i = 0; i < size; ++i) {
    forwards = (forwards ^ data[i]) * kFnvPrime;
    backwards = (backwards ^ data[size - 1 - i]) * kFnvPrime;
  }
  PutU64(identity, forwards);
  PutU64(identity + 8, backwards);
}

bool ComputeLevelFileIdentity(const std::string& path, uint8_t identity[kLevelIdentitySize]) {
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path.c_str(), &size);
  if (data == nullptr) return false;  // the file functions logged it
  ComputeLevelIdentity(reinterpret_cast<const uint8_t*>(data), size, identity);
  FreeFileBuffer(data);
  return true;
}

bool LoadLevelSkeleton(COctree& octree, const std::string& levelFolder, const std::string& terrainMeshPath) {
  const std::string path = levelFolder + kLevelSkeletonFile;
  if (!plat::FileExists(path.c_str())) {
    DebugPrintf("LevelSkeleton: no %s; the octree keeps its own cells\n", path.c_str());
    return false;
  }
  uint8_t identity[kLevelIdentitySize];
  if (!ComputeLevelFileIdentity(terrainMeshPath, identity)) return false;
  uint32_t size = 0;
  char* data = LoadFileToBuffer(path.c_str(), &size);
  if (data == nullptr) return false;
  const auto* block = reinterpret_cast<const uint8_t*>(data);
  bool taken = false;
  if (size < COctree::kSkeletonHeaderSize) {
    DebugPrintf("LevelSkeleton: %s is cut short; the octree keeps its own cells\n", path.c_str());
  } else if (le::ReadU32(block) != kSkeletonVersion || std::memcmp(block + 4, identity, kLevelIdentitySize) != 0) {
    DebugPrintf("LevelSkeleton: %s belongs to another version or level; the octree keeps its own cells\n",
                path.c_str());
  } else if (!SkeletonRootBox(block).ContainsBox(octree.GetRootBox())) {
    // Cells that do not reach over the level would take every object outside them at the root.
    DebugPrintf("LevelSkeleton: the cells of %s do not hold the level; the octree keeps its own cells\n", path.c_str());
  } else {
    // The octree checks the rest of the block and refuses a corrupt one whole.
    taken = octree.LoadSkeleton(block, size, identity);
    if (taken)
      DebugPrintf("LevelSkeleton: %u octree cells from %s\n", static_cast<unsigned>(octree.CountNodes(0)),
                  path.c_str());
    else
      DebugPrintf("LevelSkeleton: %s was refused; the octree keeps its own cells\n", path.c_str());
  }
  FreeFileBuffer(data);
  return taken;
}
