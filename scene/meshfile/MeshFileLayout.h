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
  kWordVersion = 0,
  kWordFaceCount = 1,
  kWordVertexCount = 2,
  kWordCurrentFaceNormals = 4,  // gate used by writers
  kWordCentre = 8,              // 3 floats
  kWordBoxMin = 11,             // 3 floats, then the maximum
  kWordBoxMax = 14,
  kWordRadius = 17,
  kWordCentreRadius = 18,
  kWordFlags = 19,
  kWordName = 20,               // 8 words
  kWordUVCount = 29,
  kWordNormalCount = 31,
  kWordSharingTable = 35,       // gate
  kWordFaceAttributes = 36,     // gate
  kWordAttachCount = 37,
  kWordChildCount = 44,
  kWordFrameCount = 49,
  kWordCurrentFrame = 50,
  kWordAllFaceNormals = 52,     // gate used by readers
  kWordTextureCount = 55,
  kWordSlotCount = 58,
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
