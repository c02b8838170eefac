// CurvedPatchRecord: one bicubic patch - where its 4 x 4 control grid lies, its neighbours and level offsets.
#pragma once

#include <cstdint>

struct CurvedPatchRecord {
  static constexpr uint16_t kOpenEdge = 0xFFFF;    // no neighbour across the edge
  static constexpr uint16_t kFixedLevel = 0xFFFE;  // the edge uses its level offset as a floor
  static constexpr uint8_t kEmpty = 0x01;          // flag: the patch evaluates to the origin

  uint32_t firstVertex = 0;  // control vertex of row 0, column 0
  uint16_t rowStride = 0;    // control vertices between one row and the next
  uint8_t flags = 0;
  uint8_t edgeMap = 0;  // bits 2k, 2k+1: the neighbour's edge that meets edge k
  uint16_t neighbours[4] = {kOpenEdge, kOpenEdge, kOpenEdge, kOpenEdge};
  uint8_t levelOffsets[4] = {0, 0, 0, 0};
  uint16_t face = 0;  // index into the patch faces
  uint8_t curvature[4] = {0, 0, 0, 0};  // units of pi/256: bytes 0-1 along u, 2-3 along v
  uint8_t padding[2] = {0, 0};          // kept so a section reads back byte for byte

  // A record with no neighbours, zero offsets, zero curvature and edge map 0.
  void Init(uint32_t first, uint16_t stride, uint16_t faceIndex, bool empty) {
    *this = CurvedPatchRecord();
    firstVertex = first;
    rowStride = stride;
    face = faceIndex;
    flags = empty ? kEmpty : 0;
  }
  bool IsEmpty() const { return (flags & kEmpty) != 0; }
  // Which edge (0-3) of the neighbour across edge k meets it.
  int NeighbourEdge(int k) const { return (edgeMap >> (2 * k)) & 3; }
  // Index of the control vertex at (row, column), both 0-3.
  uint64_t VertexIndex(int row, int column) const {
    return static_cast<uint64_t>(firstVertex) + static_cast<uint64_t>(row) * rowStride + column;
  }
};

static_assert(sizeof(CurvedPatchRecord) == 28, "same size as the stored patch record");
