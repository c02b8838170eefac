// CKeyframeController: key sampling, key reduction and the file form of one controller.
#include "scene/animation/KeyframeController.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/math/MathUtil.h"
#include "platform/system/Win32.h"

namespace {

// Index i with time(i) <= t < time(i + 1); the last key for t at or past it.
// Callers handle t at or before the first key themselves.
template <class Key>
uint32_t FindInterval(const Key* keys, uint32_t count, float t) {
  uint32_t lo = 0, hi = count - 1;
  if (t >= keys[hi].time) return hi;
  while (hi - lo > 1) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (keys[mid].time <= t) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return lo;
}

template <class Key>
bool TimesIncrease(const Key* keys, uint32_t count) {
  for (uint32_t i = 0; i + 1 < count; ++i) {
    if (!(keys[i + 1].time > keys[i].time)) return false;
  }
  return true;
}

template <class Key>
void ComputeRates(Key* keys, uint32_t count) {
  for (uint32_t i = 0; i + 1 < count; ++i) keys[i].rate = 1.0f / (keys[i + 1].time - keys[i].time);
  if (count > 0) keys[count - 1].rate = 0.0f;
}

template <class Key>
bool CopyTrack(const Key* keys, uint32_t count, std::vector<Key>& array, const char* track) {
  if (count > 0 && (!keys || !TimesIncrease(keys, count))) {
    char line[96];
    std::snprintf(line, sizeof(line), "CKeyframeController: %s key times do not increase\n", track);
    OutputDebugStringA(line);
    return false;
  }
  std::vector<Key> copy(keys, keys + count);
  ComputeRates(copy.data(), count);
  array = std::move(copy);
  return true;
}

// Keeps the flagged keys of a track and recomputes their rates.
template <class Key>
void CompactTrack(std::vector<Key>& array, const std::vector<bool>& keep) {
  const size_t kept = static_cast<size_t>(std::count(keep.begin(), keep.end(), true));
  if (kept == array.size()) return;
  std::vector<Key> compact;
  compact.reserve(kept);
  for (size_t i = 0; i < array.size(); ++i) {
    if (keep[i]) compact.push_back(array[i]);
  }
  array = std::move(compact);
  ComputeRates(array.data(), static_cast<uint32_t>(array.size()));
}

// Marks which keys survive: a key is dropped while every key between the anchor and the
// candidate end is reproduced by interpolating across them (`differs` says when not).
template <class Key, class Differs>
std::vector<bool> SelectKeys(const Key* keys, uint32_t count, Differs differs) {
  std::vector<bool> keep(count, false);
  if (count == 0) return keep;
  keep[0] = true;
  keep[count - 1] = true;
  uint32_t anchor = 0;
  for (uint32_t candidate = anchor + 2; candidate < count; ++candidate) {
    const float span = keys[candidate].time - keys[anchor].time;
    for (uint32_t k = anchor + 1; k < candidate; ++k) {
      const float fraction = (keys[k].time - keys[anchor].time) / span;
      if (differs(keys[anchor], keys[candidate], keys[k], fraction)) {
        keep[candidate - 1] = true;
        anchor = candidate - 1;
        break;
      }
    }
  }
  return keep;
}

// Little-endian cursor over a byte range that refuses to run past its end.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Bytes(void* out, size_t n) {
    if (n > m_size - m_used) return false;
    std::memcpy(out, m_data + m_used, n);
    m_used += n;
    return true;
  }
  bool U32(uint32_t& v) { return Bytes(&v, 4); }
  bool F32(float& v) { return Bytes(&v, 4); }
  size_t Remaining() const { return m_size - m_used; }
  size_t Used() const { return m_used; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_used = 0;
};

template <class Key>
bool ReadTrack(Reader& in, std::vector<Key>& array) {
  uint32_t n = 0;
  if (!in.U32(n)) return false;
  if (static_cast<uint64_t>(n) * sizeof(Key) > in.Remaining()) return false;
  std::vector<Key> keys(n);
  if (n > 0) in.Bytes(keys.data(), sizeof(Key) * n);
  if (!TimesIncrease(keys.data(), n)) return false;
  // Rates are recomputed rather than trusted: a stored rate of a zero-length interval
  // would be infinite.
  ComputeRates(keys.data(), n);
  array = std::move(keys);
  return true;
}

template <class Key>
uint8_t* WriteTrack(uint8_t* out, const Key* keys, uint32_t count) {
  std::memcpy(out, &count, 4);
  out += 4;
  if (count > 0) std::memcpy(out, keys, sizeof(Key) * count);
  return out + sizeof(Key) * count;
}

}  // namespace

CKeyframeController::CKeyframeController()
    : m_endTime(0.0f), m_length(0.0f), m_frameTime(0.0f) {
  std::memset(m_name, 0, sizeof(m_name));
}

CKeyframeController::~CKeyframeController() { Clear(); }

void CKeyframeController::Clear() {
  m_positions.clear();
  m_rotations.clear();
  m_extras.clear();
  m_alphas.clear();
  m_endTime = m_length = m_frameTime = 0.0f;
  std::memset(m_name, 0, sizeof(m_name));
}

void CKeyframeController::SetName(const char* name) {
  std::memset(m_name, 0, sizeof(m_name));
  if (name) std::strncpy(m_name, name, sizeof(m_name) - 1);
}

bool CKeyframeController::SetPositionKeys(const PositionKey* keys, uint32_t count) {
  return CopyTrack(keys, count, m_positions, "position");
}

bool CKeyframeController::SetRotationKeys(const RotationKey* keys, uint32_t count) {
  return CopyTrack(keys, count, m_rotations, "rotation");
}

bool CKeyframeController::SetExtraKeys(const ExtraKey* keys, uint32_t count) {
  return CopyTrack(keys, count, m_extras, "extra");
}

bool CKeyframeController::SetAlphaKeys(const AlphaKey* keys, uint32_t count) {
  return CopyTrack(keys, count, m_alphas, "alpha");
}

void CKeyframeController::GetTransform(float t, COrientation& out) const {
  out = COrientation();
  const uint32_t positionCount = GetPositionKeyCount();
  if (positionCount > 0) {
    const PositionKey* k = m_positions.data();
    if (t <= k[0].time) {
      out.position = k[0].position;
    } else {
      const uint32_t i = FindInterval(k, positionCount, t);
      if (i + 1 >= positionCount) {
        out.position = k[i].position;
      } else {
        const float u = (t - k[i].time) * k[i].rate;
        if (u < 0.0f) {
          out.position = k[i].position;
        } else if (u >= 1.0f) {
          out.position = k[i + 1].position;
        } else {
          out.position = k[i].position + (k[i + 1].position - k[i].position) * u;
        }
      }
    }
  }
  const uint32_t rotationCount = GetRotationKeyCount();
  if (rotationCount > 0) {
    const RotationKey* k = m_rotations.data();
    Quaternion q = k[0].rotation;
    if (t > k[0].time) {
      const uint32_t i = FindInterval(k, rotationCount, t);
      if (i + 1 >= rotationCount) {
        q = k[i].rotation;
      } else {
        const float u = std::max(0.0f, std::min(1.0f, (t - k[i].time) * k[i].rate));
        if (u == 0.0f) {
          q = k[i].rotation;
        } else if (u == 1.0f) {
          q = k[i + 1].rotation;
        } else {
          Quaternion::Slerp(q, k[i].rotation, k[i + 1].rotation, u);
        }
      }
    }
    q.ToMatrix(out.axes);
  }
}

float CKeyframeController::GetAlpha(float t) const {
  const uint32_t alphaCount = GetAlphaKeyCount();
  if (alphaCount == 0) return 1.0f;
  const AlphaKey* k = m_alphas.data();
  // Before the first key the track holds its first value, as the other tracks do.
  if (t <= k[0].time) return k[0].start;
  const uint32_t i = FindInterval(k, alphaCount, t);
  if (i + 1 >= alphaCount) return k[i].start;
  const float u = (t - k[i].time) * k[i].rate;
  if (u < 0.0f) return k[i].start;
  return k[i].start + std::min(u, 1.0f) * (k[i].end - k[i].start);
}

void CKeyframeController::ReduceKeys(float positionTolerance, float angleTolerance, float /*unused*/) {
  const std::vector<bool> keepPositions = SelectKeys(
      m_positions.data(), GetPositionKeyCount(),
      [positionTolerance](const PositionKey& a, const PositionKey& b, const PositionKey& k, float f) {
        const Vector3 interpolated = a.position + (b.position - a.position) * f;
        return (k.position - interpolated).Length() > positionTolerance;
      });
  CompactTrack(m_positions, keepPositions);

  const std::vector<bool> keepRotations = SelectKeys(
      m_rotations.data(), GetRotationKeyCount(),
      [angleTolerance](const RotationKey& a, const RotationKey& b, const RotationKey& k, float f) {
        Quaternion q;
        Quaternion::Slerp(q, a.rotation, b.rotation, f);
        TMatrix interpolated, stored;
        q.ToMatrix(interpolated);
        k.rotation.ToMatrix(stored);
        float largest = 0.0f;
        for (int row = 0; row < 3; ++row) largest = std::max(largest, AngleBetween(interpolated[row], stored[row]));
        return largest > angleTolerance;
      });
  CompactTrack(m_rotations, keepRotations);
}

void CKeyframeController::RecomputeEndTime() {
  float end = 0.0f;
  if (!m_positions.empty()) end = std::max(end, m_positions.back().time);
  if (!m_rotations.empty()) end = std::max(end, m_rotations.back().time);
  if (!m_extras.empty()) end = std::max(end, m_extras.back().time);
  if (!m_alphas.empty()) end = std::max(end, m_alphas.back().time);
  m_endTime = end;
}

size_t CKeyframeController::GetFileSize() const {
  return kNameSize + 12 + (4 + sizeof(PositionKey) * m_positions.size()) +
         (4 + sizeof(RotationKey) * m_rotations.size()) + (4 + sizeof(ExtraKey) * m_extras.size()) +
         (4 + sizeof(AlphaKey) * m_alphas.size());
}

void CKeyframeController::Write(uint8_t* out) {
  RecomputeEndTime();
  std::memcpy(out, m_name, kNameSize);
  out += kNameSize;
  std::memcpy(out, &m_endTime, 4);
  std::memcpy(out + 4, &m_length, 4);
  std::memcpy(out + 8, &m_frameTime, 4);
  out += 12;
  out = WriteTrack(out, m_positions.data(), GetPositionKeyCount());
  out = WriteTrack(out, m_rotations.data(), GetRotationKeyCount());
  out = WriteTrack(out, m_extras.data(), GetExtraKeyCount());
  WriteTrack(out, m_alphas.data(), GetAlphaKeyCount());
}

bool CKeyframeController::Read(const uint8_t* data, size_t size, size_t& used) {
  Clear();
  Reader in(data, data ? size : 0);
  bool ok = in.Bytes(m_name, kNameSize) && in.F32(m_endTime) && in.F32(m_length) && in.F32(m_frameTime) &&
            ReadTrack(in, m_positions) && ReadTrack(in, m_rotations) && ReadTrack(in, m_extras) &&
            ReadTrack(in, m_alphas);
  if (!ok) {
    OutputDebugStringA("CKeyframeController: controller data truncated or keys out of order\n");
    Clear();
    return false;
  }
  m_name[kNameSize - 1] = '\0';  // a name must end inside its field
  used = in.Used();
  return true;
}
