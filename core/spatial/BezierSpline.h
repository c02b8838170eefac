// CBezierSpline: a path of cubic Bezier segments through control points, found by its level-data ID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

// One control point, laid out as in the packed record (ten floats).
struct SplineControlPoint {
  Vector3 position;   // the curve passes through it
  Vector3 outHandle;  // second control point of the segment starting here
  Vector3 inHandle;   // third control point of the segment ending here
  float segmentLength = 0.0f;  // authored length of the segment starting here
};
static_assert(sizeof(SplineControlPoint) == 40, "control point is ten packed floats");

// Splines are made by the level loader from packed records, moved into world
// space with their object's frame and followed by the scripted camera. Every
// live spline is in one global list so cameras can find it by ID.
class CBezierSpline : public CBoundedObject {
 public:
  static constexpr uint32_t kSplineFlag = 0x1000000;
  static constexpr size_t kRecordHeaderSize = 37;
  static constexpr size_t kRecordPointSize = 40;

  CBezierSpline();
  ~CBezierSpline() override;

  // The first live spline (in creation order) with this ID; null when none.
  static CBezierSpline* FindByID(int32_t id);

  int32_t GetID() const { return m_id; }
  void SetID(int32_t id) { m_id = id; }
  bool IsClosed() const { return m_closed != 0; }
  void SetClosed(bool closed) { m_closed = closed ? 1 : 0; }
  float GetTotalLength() const { return m_totalLength; }
  void SetTotalLength(float length) { m_totalLength = length; }
  const std::vector<SplineControlPoint>& GetPoints() const { return m_points; }
  void SetPoints(const std::vector<SplineControlPoint>& points) { m_points = points; }
  size_t GetPointCount() const { return m_points.size(); }

  // Closed: one segment per point; open: one fewer (0 without points).
  size_t GetSegmentCount() const;

  // The evaluators return false, with out at the origin, for a spline without
  // points; a spline of one point evaluates to that point everywhere.
  // Segment i (taken cyclically, negative included) at local t in [0, 1].
  bool EvaluateSegment(Vector3& out, int i, float t) const;
  // t in [0, 1] spread evenly over the segments. An open spline holds its
  // ends outside that range; a closed one wraps round.
  bool GetPointAtParameter(Vector3& out, float t) const;
  // f in [0, 1] spread over the segments by their authored lengths: 0 is the
  // start, 1 (or more) the end. Without a usable total length it falls back
  // to the even spread of GetPointAtParameter.
  bool GetPointAtFraction(Vector3& out, float f) const;

  // Moves every position and handle from the frame's space into the world;
  // lengths are unchanged.
  void TransformToWorld(const COrientation& frame);
  // Bounds of every position and handle; the origin alone without points.
  void RecomputeBounds();

  // Packed record: i32 ID, u8 closed, f32 total length, 6 f32 box, u32 count n,
  // then n control points; little-endian, 37 + 40 n bytes.
  size_t GetRecordSize() const { return kRecordHeaderSize + kRecordPointSize * m_points.size(); }
  // Reads a record of exactly `size` bytes. A record whose size does not match
  // its point count is refused (logged, false) and the spline is left as it was.
  bool LoadFromBuffer(const uint8_t* data, size_t size);
  // Writes the record; false (logged) when `size` is below GetRecordSize.
  bool SaveToBuffer(uint8_t* data, size_t size) const;

 private:
  int32_t m_id = -1;
  uint8_t m_closed = 0;
  float m_totalLength = 0.0f;
  std::vector<SplineControlPoint> m_points;
};
