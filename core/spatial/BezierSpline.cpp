#include "core/spatial/BezierSpline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/math/MathUtil.h"

using le::ReadF32;
using le::ReadU32;
using le::WriteF32;
using le::WriteU32;

namespace {

// Never destroyed: splines owned by other static objects may still leave the
// list during exit, after a list with a destructor would already be gone.
std::vector<CBezierSpline*>& SplineList() {
  static std::vector<CBezierSpline*>* list = new std::vector<CBezierSpline*>();
  return *list;
}

Vector3 ReadVector3(const uint8_t* p) { return Vector3(ReadF32(p), ReadF32(p + 4), ReadF32(p + 8)); }

void WriteVector3(uint8_t* p, const Vector3& v) {
  WriteF32(p, v.x);
  WriteF32(p + 4, v.y);
  WriteF32(p + 8, v.z);
}

// Record layout.
constexpr size_t kIdOffset = 0;
constexpr size_t kClosedOffset = 4;
constexpr size_t kLengthOffset = 5;
constexpr size_t kBoxOffset = 9;
constexpr size_t kCountOffset = 33;

// Points, handles, lengths and the box feed sums and divisions all along the curve: one NaN or
// infinity would spread to every position asked for. Lengths cannot be negative either.
bool AllFinite(const uint8_t* data, size_t size) {
  const float length = ReadF32(data + kLengthOffset);
  if (!std::isfinite(length) || length < 0.0f) return false;
  for (size_t at = kBoxOffset; at < kBoxOffset + 24; at += 4) {
    if (!std::isfinite(ReadF32(data + at))) return false;
  }
  constexpr size_t kPoint = CBezierSpline::kRecordPointSize;
  for (const uint8_t* p = data + CBezierSpline::kRecordHeaderSize; p + kPoint <= data + size; p += kPoint) {
    for (size_t at = 0; at < 36; at += 4) {
      if (!std::isfinite(ReadF32(p + at))) return false;
    }
    const float segment = ReadF32(p + 36);
    if (!std::isfinite(segment) || segment < 0.0f) return false;
  }
  return true;
}

}  // namespace

CBezierSpline::CBezierSpline() {
  AddBoundFlags(kRenderable | kSplineFlag);
  SplineList().push_back(this);
}

CBezierSpline::~CBezierSpline() {
  std::vector<CBezierSpline*>& list = SplineList();
  auto it = std::find(list.begin(), list.end(), this);
  if (it != list.end()) list.erase(it);
}

CBezierSpline* CBezierSpline::FindByID(int32_t id) {
  for (CBezierSpline* spline : SplineList()) {
    if (spline->m_id == id) return spline;
  }
  return nullptr;
}

size_t CBezierSpline::GetSegmentCount() const {
  if (m_points.empty()) return 0;
  return m_closed ? m_points.size() : m_points.size() - 1;
}

bool CBezierSpline::EvaluateSegment(Vector3& out, int i, float t) const {
  if (m_points.empty()) {
    out = Vector3();
    return false;
  }
  const int64_t n = static_cast<int64_t>(m_points.size());
  const int64_t first = ((static_cast<int64_t>(i) % n) + n) % n;
  const SplineControlPoint& p = m_points[static_cast<size_t>(first)];
  const SplineControlPoint& q = m_points[static_cast<size_t>((first + 1) % n)];
  EvaluateCubicBezier(out, t, p.position, p.outHandle, q.inHandle, q.position);
  return true;
}

bool CBezierSpline::GetPointAtParameter(Vector3& out, float t) const {
  if (m_points.empty()) {
    out = Vector3();
    return false;
  }
  const size_t segments = GetSegmentCount();
  if (segments == 0 || !std::isfinite(t)) {
    // A lone point is the whole curve; a parameter that is not a number
    // has no place on it, so the start stands in.
    out = m_points[0].position;
    return segments == 0;
  }
  const float count = static_cast<float>(segments);
  float scaled = count * t;
  if (m_closed) {
    // Past float range the product is infinite; any float that large is a whole number of turns.
    if (!std::isfinite(scaled)) scaled = count * (t - std::floor(t));
    // Wraps round; floor (not truncation) keeps negative t on the right segment.
    const float whole = std::floor(scaled);
    float index = std::fmod(whole, count);
    if (index < 0.0f) index += count;
    return EvaluateSegment(out, static_cast<int>(index), scaled - whole);
  }
  // Open: held at the ends, so t = 1 is the last point rather than the start
  // of the last segment.
  if (scaled <= 0.0f) return EvaluateSegment(out, 0, 0.0f);
  if (scaled >= count) return EvaluateSegment(out, static_cast<int>(segments - 1), 1.0f);
  const float whole = std::floor(scaled);
  return EvaluateSegment(out, static_cast<int>(whole), scaled - whole);
}

bool CBezierSpline::GetPointAtFraction(Vector3& out, float f) const {
  if (m_points.empty()) {
    out = Vector3();
    return false;
  }
  const size_t segments = GetSegmentCount();
  if (segments == 0) {
    out = m_points[0].position;
    return true;
  }
  // Authored lengths that cannot divide give no spread by length.
  if (!(m_totalLength > 0.0f) || !std::isfinite(m_totalLength)) {
    return GetPointAtParameter(out, std::min(std::max(f, 0.0f), 1.0f));
  }
  // The scripted camera asks for fraction 0 on the first frame of every move:
  // that is the start of the path, as with the parameter timing.
  if (!(f > 0.0f)) return EvaluateSegment(out, 0, 0.0f);
  float before = 0.0f;
  for (size_t i = 0; i < segments; ++i) {
    const float share = m_points[i].segmentLength / m_totalLength;
    if (share > 0.0f && before + share >= f) {
      return EvaluateSegment(out, static_cast<int>(i), (f - before) / share);
    }
    before += share;
  }
  return EvaluateSegment(out, static_cast<int>(segments - 1), 1.0f);
}

void CBezierSpline::TransformToWorld(const COrientation& frame) {
  for (SplineControlPoint& p : m_points) {
    p.position = frame.LocalToWorldPoint(p.position);
    p.outHandle = frame.LocalToWorldPoint(p.outHandle);
    p.inHandle = frame.LocalToWorldPoint(p.inHandle);
  }
  RecomputeBounds();
}

void CBezierSpline::RecomputeBounds() {
  Box box;
  box.SetFromCenterRadius(m_points.empty() ? Vector3() : m_points[0].position, 0.0f);
  for (const SplineControlPoint& p : m_points) {
    box.ExtendByPoint(p.position);
    box.ExtendByPoint(p.outHandle);
    box.ExtendByPoint(p.inHandle);
  }
  SetBounds(box);
}

bool CBezierSpline::LoadFromBuffer(const uint8_t* data, size_t size) {
  if (!data || size < kRecordHeaderSize) {
    DebugPrintf("CBezierSpline: spline record of %zu bytes is shorter than its %zu-byte header\n", size,
                kRecordHeaderSize);
    return false;
  }
  const uint32_t count = ReadU32(data + kCountOffset);
  // 64-bit arithmetic: a hostile count cannot wrap the expected size round.
  const uint64_t expected = kRecordHeaderSize + static_cast<uint64_t>(kRecordPointSize) * count;
  if (expected != size) {
    DebugPrintf("CBezierSpline: spline record of %zu bytes does not hold its %u points\n", size, count);
    return false;
  }
  if (!AllFinite(data, size)) {
    DebugPrintf("CBezierSpline: spline record with a coordinate or length that is not a finite number\n");
    return false;
  }
  m_id = static_cast<int32_t>(ReadU32(data + kIdOffset));
  m_closed = data[kClosedOffset] != 0 ? 1 : 0;
  m_totalLength = ReadF32(data + kLengthOffset);
  SetBounds(Box(ReadVector3(data + kBoxOffset), ReadVector3(data + kBoxOffset + 12)));
  m_points.resize(count);
  const uint8_t* p = data + kRecordHeaderSize;
  for (SplineControlPoint& point : m_points) {
    point.position = ReadVector3(p);
    point.outHandle = ReadVector3(p + 12);
    point.inHandle = ReadVector3(p + 24);
    point.segmentLength = ReadF32(p + 36);
    p += kRecordPointSize;
  }
  return true;
}

bool CBezierSpline::SaveToBuffer(uint8_t* data, size_t size) const {
  const size_t needed = GetRecordSize();
  if (!data || size < needed) {
    DebugPrintf("CBezierSpline: %zu bytes given for a spline record of %zu\n", size, needed);
    return false;
  }
  WriteU32(data + kIdOffset, static_cast<uint32_t>(m_id));
  data[kClosedOffset] = m_closed;
  WriteF32(data + kLengthOffset, m_totalLength);
  WriteVector3(data + kBoxOffset, GetBounds().min);
  WriteVector3(data + kBoxOffset + 12, GetBounds().max);
  WriteU32(data + kCountOffset, static_cast<uint32_t>(m_points.size()));
  uint8_t* p = data + kRecordHeaderSize;
  for (const SplineControlPoint& point : m_points) {
    WriteVector3(p, point.position);
    WriteVector3(p + 12, point.outHandle);
    WriteVector3(p + 24, point.inHandle);
    WriteF32(p + 36, point.segmentLength);
    p += kRecordPointSize;
  }
  return true;
}
