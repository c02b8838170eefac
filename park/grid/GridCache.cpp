// The terrain classification of the squares as kept in a level's "grid_data.bin", so that the
// slow ray casting runs once per terrain.
#include <vector>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"

namespace {
constexpr uint32_t kCacheVersion = 1;
constexpr size_t kHeaderSize = 12;  // version, columns, rows
constexpr size_t kRecordSize[2] = {30, 31};  // version 1 adds the grass byte

struct CacheRecord {
  uint8_t grass = 0;
  float centre[3] = {};
  float corner[3] = {};
  uint8_t flags[6] = {};  // buildable, skateable, entrance, exit, flat, direction mask
};

void ReadRecord(CByteCursor& in, uint32_t version, CacheRecord& r) {
  if (version == 1) in.ReadU8(r.grass);
  for (float& v : r.centre) in.ReadF32(v);
  for (float& v : r.corner) in.ReadF32(v);
  for (uint8_t& f : r.flags) in.ReadU8(f);
}
}  // namespace

void CGrid::WriteCache(std::vector<uint8_t>& out) const {
  le::PutU32(out, kCacheVersion);
  le::PutU32(out, static_cast<uint32_t>(m_columns));
  le::PutU32(out, static_cast<uint32_t>(m_rows));
  for (int i = 0; i < GetSquareCount(); ++i) {
    const CGridSquare& s = m_squares[static_cast<size_t>(i)];
    out.push_back(s.grass);
    for (float v : {s.centre.x, s.centre.y, s.centre.z}) le::PutF32(out, v);
    for (float v : {s.GetPosition().x, s.GetPosition().y, s.GetPosition().z}) le::PutF32(out, v);
    for (uint8_t f : {s.buildable, s.skateable, s.entrance, s.exit, s.flat, s.directionMask}) out.push_back(f);
  }
}

bool CGrid::ReadCache(const uint8_t* data, size_t size) {
  CByteCursor in(data, size);
  uint32_t version = 0, columns = 0, rows = 0;
  if (!in.ReadU32(version) || !in.ReadU32(columns) || !in.ReadU32(rows)) {
    DebugPrintf("CGrid: the grid cache is cut short\n");
    return false;
  }
  // Versions 2 to 30 once passed a looser test but carry no squares this reader knows.
  if (version > 1) {
    DebugPrintf("CGrid: grid cache version %u is not read\n", version);
    return false;
  }
  const size_t count = static_cast<size_t>(GetSquareCount());
  if (columns != static_cast<uint32_t>(m_columns) || rows != static_cast<uint32_t>(m_rows) ||
      size != kHeaderSize + count * kRecordSize[version]) {
    DebugPrintf("CGrid: the grid cache does not fit a %d by %d grid\n", m_columns, m_rows);
    return false;
  }
  std::vector<CacheRecord> records(count);
  for (CacheRecord& r : records) ReadRecord(in, version, r);
  if (in.HasFailed()) return false;
  for (size_t i = 0; i < count; ++i) {
    CGridSquare& s = m_squares[i];
    const CacheRecord& r = records[i];
    s.grass = r.grass;
    s.centre = Vector3(r.centre[0], r.centre[1], r.centre[2]);
    s.SetPosition(Vector3(r.corner[0], r.corner[1], r.corner[2]));
    s.buildable = r.flags[0];
    s.skateable = r.flags[1];
    s.entrance = r.flags[2];
    s.exit = r.flags[3];
    s.flat = r.flags[4];
    s.directionMask = r.flags[5];
  }
  CollectGates();
  return true;
}
