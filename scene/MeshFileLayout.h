// MeshFileLayout: word positions of the 240-byte mesh file header and the fixed record sizes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace MeshFileLayout {

constexpr size_t kHeaderWords = 60;
constexpr size_t kHeaderSize = kHeaderWords * 4;
// The version before the current one has the same layout; it is read and upgraded.
constexpr uint32_t kPreviousVersion = 51;

// Header words. Words that held run-time pointers are written as 0, except the four whose
// being non-zero says a section is present (written as 1).
enum Word : size_t {
  kVersion = 0,
  kFaceCount = 1,
  kVertexCount = 2,
  kCurrentFaceNormals = 4,  // gate used by writers
  kCentre = 8,              // 3 floats
  kBoxMin = 11,             // 3 floats, then the maximum
  kBoxMax = 14,
  kRadius = 17,
  kCentreRadius = 18,
  kFlags = 19,
  kName = 20,               // 8 words
  kUVCount = 29,
  kNormalCount = 31,
  kSharingTable = 35,       // gate
  kFaceAttributes = 36,     // gate
  kAttachCount = 37,
  kChildCount = 44,
  kFrameCount = 49,
  kCurrentFrame = 50,
  kAllFaceNormals = 52,     // gate used by readers
  kTextureCount = 55,
  kSlotCount = 58,
};

constexpr size_t kFaceIndicesSize = 6;
constexpr size_t kFaceRecordSize = 40;
constexpr size_t kAttachFixedSize = 56;  // 12 floats, type, length
constexpr size_t kTransformSize = 48;
constexpr size_t kTextureNameSize = 32;
// Slot tables are sized from the header before any section vouches for them; no mesh has
// nearly this many slots, and a damaged count must not turn into a huge allocation.
constexpr uint32_t kMaxSlots = 65536;

}  // namespace MeshFileLayout
