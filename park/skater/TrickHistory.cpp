#include "park/skater/TrickHistory.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "platform/system/Platform.h"

namespace {
constexpr uint32_t kMaxSavedRecords = 100000;
constexpr float kPi = 3.14159265358979f;

bool IsSlideOrGrind(uint32_t category) { return category == 4 || category == 5; }

bool ReadRecord(CByteCursor& in, uint32_t version, TrickRecord& r) {
  uint8_t offBalance = 0, finished = 0, landed = 0;
  uint32_t sequence = 0xFFFFFFFFu;
  if (version >= 1 && !(in.ReadU8(offBalance) && in.ReadU32(sequence) &&
                        in.ReadF32(r.startSpin) && in.ReadF32(r.endSpin) && in.ReadF32(r.startTime) &&
                        in.ReadF32(r.endTime)))
    return false;
  if (!(in.ReadU32(r.trick) && in.ReadU8(finished) && in.ReadU8(landed) && in.ReadU32(r.category) &&
        in.ReadU32(r.pieceType)))
    return false;
  r.offBalance = offBalance != 0;
  r.finished = finished != 0;
  r.landed = landed != 0;
  r.sequence = static_cast<int32_t>(sequence);
  r.halfTurns = 0;
  return true;
}
}  // namespace

CTrickHistory::CTrickHistory() : m_nextSequence(static_cast<uint32_t>(plat::rand())) {}

void CTrickHistory::AddTrick(uint32_t trick, uint32_t category, uint32_t pieceType, float worldTime, float startSpin) {
  if (trick == kNoTrick) return;
  if (!m_records.empty() && m_records.front().sequence == -1) m_records.front().endTime = worldTime;
  TrickRecord r;
  r.trick = trick;
  r.category = category;
  r.pieceType = pieceType;
  r.startSpin = startSpin;
  r.startTime = worldTime;
  m_records.push_front(r);
  if (m_records.size() > kMaxRecords) m_records.pop_back();
}

void CTrickHistory::CloseTricks(bool landed, bool offBalance, float worldTime, float spin) {
  float compareWith = spin;
  for (TrickRecord& r : m_records) {
    if (r.finished) break;
    r.landed = landed;
    r.offBalance = offBalance;
    r.finished = true;
    r.endSpin = spin;
    r.halfTurns = static_cast<uint32_t>(std::floor(std::fabs(compareWith - r.startSpin) / kPi));
    compareWith = r.startSpin;
    r.sequence = static_cast<int32_t>(m_nextSequence);
    r.endTime = worldTime;
  }
  ++m_nextSequence;
}

void CTrickHistory::FormatEntry(size_t i, const NameOf& nameOf, char* out, size_t size) const {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  if (i >= m_records.size()) return;
  const TrickRecord& r = m_records[i];
  const char* name = nameOf ? nameOf(r.trick) : nullptr;
  if (name == nullptr) name = "";
  if (r.halfTurns > 0)
    std::snprintf(out, size, "%u %s", r.halfTurns * 180u, name);
  else
    std::snprintf(out, size, "%s", name);
}

size_t CTrickHistory::CountPieceType(uint32_t type) const {
  size_t n = 0;
  for (const TrickRecord& r : m_records) n += r.pieceType == type ? 1 : 0;
  return n;
}

size_t CTrickHistory::CountDistinctTricks() const {
  std::set<uint32_t> tricks;
  for (const TrickRecord& r : m_records) tricks.insert(r.trick);
  return tricks.size();
}

float CTrickHistory::ComputeTrickBonus(int32_t sequence, float worldTime, const DifficultyOf& difficultyOf) {
  float value = 0.0f;
  size_t count = 0;
  uint32_t halfTurns = 0;
  std::set<uint32_t> distinct;
  const TrickRecord* oldest = nullptr;
  for (TrickRecord& r : m_records) {
    if (r.sequence != sequence) continue;
    if (count == 0 && !r.finished) r.endTime = worldTime;
    const float difficulty = difficultyOf ? difficultyOf(r.trick) : 0.0f;
    if (IsSlideOrGrind(r.category)) {
      const float held = (r.endTime - r.startTime) * difficulty * 5.0f;
      value += held > 0.0f ? held : 0.0f;
    } else {
      value += difficulty * 10.0f;
    }
    ++count;
    halfTurns += r.halfTurns;
    distinct.insert(r.trick);
    oldest = &r;
  }
  if (oldest == nullptr) return 0.0f;
  const float d = static_cast<float>(distinct.size());
  const float n = static_cast<float>(count);
  value *= (d + static_cast<float>(halfTurns)) * 0.5f + (n - d) * 0.1f + 1.0f;
  if (oldest->finished && !oldest->landed) return 0.0f;
  if (oldest->finished && oldest->offBalance) value *= 0.75f;
  return value * 4.0f;
}

void CTrickHistory::Save(std::vector<uint8_t>& out) const {
  le::PutU32(out, kVersion);
  le::PutU32(out, static_cast<uint32_t>(m_records.size()));
  for (const TrickRecord& r : m_records) {
    out.push_back(r.offBalance ? 1 : 0);
    le::PutU32(out, static_cast<uint32_t>(r.sequence));
    le::PutF32(out, r.startSpin);
    le::PutF32(out, r.endSpin);
    le::PutF32(out, r.startTime);
    le::PutF32(out, r.endTime);
    le::PutU32(out, r.trick);
    out.push_back(r.finished ? 1 : 0);
    out.push_back(r.landed ? 1 : 0);
    le::PutU32(out, r.category);
    le::PutU32(out, r.pieceType);
  }
}

bool CTrickHistory::Load(CByteCursor& in) {
  uint32_t version = 0, count = 0;
  if (!in.ReadU32(version) || !in.ReadU32(count)) {
    DebugPrintf("TrickHistory: Record cut short\n");
    return false;
  }
  if (version > kVersion || count > kMaxSavedRecords) {
    DebugPrintf("TrickHistory: Unknown version %u or count %u\n", version, count);
    return false;
  }
  m_records.clear();
  for (uint32_t i = 0; i < count; ++i) {
    TrickRecord r;
    if (!ReadRecord(in, version, r)) {
      DebugPrintf("TrickHistory: Record cut short\n");
      return false;
    }
    if (m_records.size() < kMaxRecords) m_records.push_back(r);
  }
  return true;
}
