// Bezier splines: evaluation, walking by parameter and by length, the packed record and the ID list.
#include "core/math/BezierSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/math/MathUtil.h"
#include "platform/Platform.h"

namespace {

struct LogCapture {
  LogCapture() {
    previous = plat::SetDebugSink([this](const char* text) { lines += text; });
  }
  ~LogCapture() { plat::SetDebugSink(previous); }
  std::string lines;
  plat::DebugSink previous;
};

void ExpectNear(const Vector3& a, const Vector3& b, float tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

Vector3 RandomPoint(std::mt19937& rng) {
  std::uniform_real_distribution<float> d(-50.0f, 50.0f);
  return Vector3(d(rng), d(rng), d(rng));
}

std::vector<SplineControlPoint> RandomPoints(std::mt19937& rng, int n) {
  std::vector<SplineControlPoint> points(n);
  for (SplineControlPoint& p : points) {
    p.position = RandomPoint(rng);
    p.outHandle = RandomPoint(rng);
    p.inHandle = RandomPoint(rng);
    p.segmentLength = std::uniform_real_distribution<float>(0.5f, 20.0f)(rng);
  }
  return points;
}

// Derivative of the cubic Bezier, the reference for the tangent checks.
Vector3 BezierDerivative(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3) {
  const float s = 1.0f - t;
  return p0 * (-3 * s * s) + p1 * (3 * s * s - 6 * t * s) + p2 * (6 * t * s - 3 * t * t) + p3 * (3 * t * t);
}

TEST(BezierSpline, SegmentsPassThroughPointsWithHandleTangents) {
  std::mt19937 rng(1);
  for (bool closed : {false, true}) {
    CBezierSpline spline;
    spline.SetClosed(closed);
    spline.SetPoints(RandomPoints(rng, 5));
    const auto& p = spline.GetPoints();
    ASSERT_EQ(spline.GetSegmentCount(), closed ? 5u : 4u);
    for (int i = 0; i < static_cast<int>(spline.GetSegmentCount()); ++i) {
      const auto& a = p[i];
      const auto& b = p[(i + 1) % 5];
      Vector3 start, end;
      spline.EvaluateSegment(start, i, 0.0f);
      spline.EvaluateSegment(end, i, 1.0f);
      EXPECT_EQ(start, a.position);
      EXPECT_EQ(end, b.position);
      // Leaving along the out handle, arriving from the in handle.
      const float h = 1e-3f;
      for (float t : {0.0f + h, 0.37f, 1.0f - h}) {
        Vector3 lo, hi;
        spline.EvaluateSegment(lo, i, t - h);
        spline.EvaluateSegment(hi, i, t + h);
        const Vector3 numeric = (hi - lo) * (1.0f / (2 * h));
        ExpectNear(numeric, BezierDerivative(t, a.position, a.outHandle, b.inHandle, b.position), 0.5f);
      }
      ExpectNear(BezierDerivative(0, a.position, a.outHandle, b.inHandle, b.position),
                 (a.outHandle - a.position) * 3.0f, 1e-3f);
    }
    // Indices are taken cyclically, negative ones too.
    Vector3 wrapped, direct;
    spline.EvaluateSegment(wrapped, -1, 0.25f);
    spline.EvaluateSegment(direct, 4, 0.25f);
    EXPECT_EQ(wrapped, direct);
    spline.EvaluateSegment(wrapped, 7, 0.25f);
    spline.EvaluateSegment(direct, 2, 0.25f);
    EXPECT_EQ(wrapped, direct);
  }
}

TEST(BezierSpline, ParameterSpreadsEvenlyOverSegments) {
  std::mt19937 rng(2);
  CBezierSpline spline;
  spline.SetPoints(RandomPoints(rng, 4));
  Vector3 got, want;

  spline.SetClosed(true);  // four segments
  spline.GetPointAtParameter(got, 0.9f);
  spline.EvaluateSegment(want, 3, 0.6f);
  ExpectNear(got, want, 1e-3f);
  spline.GetPointAtParameter(got, -0.1f);  // wraps to the same place
  ExpectNear(got, want, 1e-3f);
  spline.GetPointAtParameter(got, 1.0f);  // the loop closes at the first point
  ExpectNear(got, spline.GetPoints()[0].position, 1e-3f);

  spline.SetClosed(false);  // three segments
  spline.GetPointAtParameter(got, 0.5f);
  spline.EvaluateSegment(want, 1, 0.5f);
  ExpectNear(got, want, 1e-3f);
  // The ends hold: the start below 0, the last point at 1 and beyond.
  spline.GetPointAtParameter(got, 0.0f);
  EXPECT_EQ(got, spline.GetPoints()[0].position);
  spline.GetPointAtParameter(got, -3.0f);
  EXPECT_EQ(got, spline.GetPoints()[0].position);
  for (float t : {1.0f, 1.5f, 1e30f}) {
    spline.GetPointAtParameter(got, t);
    EXPECT_EQ(got, spline.GetPoints()[3].position) << t;
  }
  // Large and non-finite parameters stay defined.
  spline.SetClosed(true);
  EXPECT_TRUE(spline.GetPointAtParameter(got, 1e30f));
  EXPECT_FALSE(spline.GetPointAtParameter(got, std::nanf("")));
  EXPECT_EQ(got, spline.GetPoints()[0].position);
}

// A straight spline whose handles sit at thirds moves at constant speed, so
// walking by length fraction f must land at f times the total length.
TEST(BezierSpline, FractionWalksByAuthoredLength) {
  const float xs[] = {0.0f, 1.0f, 4.0f, 10.0f};
  std::vector<SplineControlPoint> points(4);
  for (int i = 0; i < 4; ++i) {
    const float prev = i > 0 ? xs[i - 1] : xs[i];
    const float next = i < 3 ? xs[i + 1] : xs[i];
    points[i].position = Vector3(xs[i], 2, 3);
    points[i].outHandle = Vector3(xs[i] + (next - xs[i]) / 3, 2, 3);
    points[i].inHandle = Vector3(xs[i] - (xs[i] - prev) / 3, 2, 3);
    points[i].segmentLength = next - xs[i];
  }
  CBezierSpline spline;
  spline.SetPoints(points);
  spline.SetTotalLength(10.0f);
  Vector3 got;
  for (int k = 0; k <= 100; ++k) {
    const float f = k / 100.0f;
    ASSERT_TRUE(spline.GetPointAtFraction(got, f));
    EXPECT_NEAR(got.x, 10.0f * f, 1e-4f) << f;
    EXPECT_NEAR(got.y, 2.0f, 1e-5f);
  }
  // Fraction 0 is the start of the path, past 1 the end.
  spline.GetPointAtFraction(got, 0.0f);
  EXPECT_EQ(got, points[0].position);
  spline.GetPointAtFraction(got, -0.5f);
  EXPECT_EQ(got, points[0].position);
  spline.GetPointAtFraction(got, 1.2f);
  EXPECT_EQ(got, points[3].position);

  // Without a usable total length, the even spread by parameter stands in.
  Vector3 byParameter;
  for (float total : {0.0f, -4.0f, std::nanf("")}) {
    spline.SetTotalLength(total);
    ASSERT_TRUE(spline.GetPointAtFraction(got, 0.5f));
    spline.GetPointAtParameter(byParameter, 0.5f);
    EXPECT_EQ(got, byParameter);
  }
}

TEST(BezierSpline, FractionPicksSegmentByShare) {
  std::mt19937 rng(4);
  CBezierSpline spline;
  auto points = RandomPoints(rng, 3);
  points[0].segmentLength = 1;
  points[1].segmentLength = 3;
  spline.SetPoints(points);
  spline.SetTotalLength(4);
  Vector3 got, want;
  spline.GetPointAtFraction(got, 0.5f);
  spline.EvaluateSegment(want, 1, 1.0f / 3.0f);
  ExpectNear(got, want, 1e-3f);
  spline.GetPointAtFraction(got, 0.25f);  // exactly the end of the first share
  spline.EvaluateSegment(want, 0, 1.0f);
  ExpectNear(got, want, 1e-4f);
  // A zero-length segment is stepped over, never divided by.
  points[0].segmentLength = 0;
  points[1].segmentLength = 4;
  spline.SetPoints(points);
  spline.GetPointAtFraction(got, 0.5f);
  spline.EvaluateSegment(want, 1, 0.5f);
  ExpectNear(got, want, 1e-4f);
}

TEST(BezierSpline, EmptyAndSinglePointSplines) {
  CBezierSpline spline;
  EXPECT_EQ(spline.GetID(), -1);
  EXPECT_EQ(spline.GetSegmentCount(), 0u);
  EXPECT_EQ(spline.GetBoundFlags() & (0x200u | 0x1000000u), 0x200u | 0x1000000u);
  Vector3 out(9, 9, 9);
  EXPECT_FALSE(spline.EvaluateSegment(out, 0, 0.5f));
  EXPECT_EQ(out, Vector3());
  EXPECT_FALSE(spline.GetPointAtParameter(out, 0.5f));
  EXPECT_FALSE(spline.GetPointAtFraction(out, 0.5f));
  spline.RecomputeBounds();
  EXPECT_EQ(spline.GetBounds().min, Vector3());
  EXPECT_EQ(spline.GetBounds().max, Vector3());

  std::vector<SplineControlPoint> one(1);
  one[0].position = Vector3(1, 2, 3);
  one[0].outHandle = Vector3(5, 5, 5);
  spline.SetPoints(one);
  spline.SetTotalLength(0);
  for (float t : {0.0f, 0.5f, 1.0f}) {
    ASSERT_TRUE(spline.GetPointAtParameter(out, t));
    EXPECT_EQ(out, one[0].position);
    ASSERT_TRUE(spline.GetPointAtFraction(out, t));
    EXPECT_EQ(out, one[0].position);
  }
}

TEST(BezierSpline, TransformMovesPointsAndBounds) {
  std::mt19937 rng(5);
  CBezierSpline spline;
  const auto points = RandomPoints(rng, 6);
  spline.SetPoints(points);

  COrientation shift;
  shift.SetPosition(Vector3(10, 0, 0));
  spline.TransformToWorld(shift);
  Box before;
  before.SetFromCenterRadius(points[0].position, 0);
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& moved = spline.GetPoints()[i];
    EXPECT_EQ(moved.position, points[i].position + Vector3(10, 0, 0));
    EXPECT_EQ(moved.outHandle, points[i].outHandle + Vector3(10, 0, 0));
    EXPECT_EQ(moved.inHandle, points[i].inHandle + Vector3(10, 0, 0));
    EXPECT_EQ(moved.segmentLength, points[i].segmentLength);
    for (const Vector3& v : {points[i].position, points[i].outHandle, points[i].inHandle}) before.ExtendByPoint(v);
  }
  ExpectNear(spline.GetBounds().min, before.min + Vector3(10, 0, 0), 1e-4f);
  ExpectNear(spline.GetBounds().max, before.max + Vector3(10, 0, 0), 1e-4f);

  // A turned frame: the box is the tight box of the transformed points, and
  // every evaluated point of the curve lies inside it (convex hull property).
  COrientation turned;
  turned.RotateZ(0.7f);
  turned.RotateY(-0.3f);
  turned.SetPosition(Vector3(-4, 8, 1));
  spline.SetPoints(points);
  spline.TransformToWorld(turned);
  const Box& box = spline.GetBounds();
  EXPECT_EQ(spline.GetPoints()[2].outHandle, turned.LocalToWorldPoint(points[2].outHandle));
  for (int k = 0; k <= 200; ++k) {
    Vector3 p;
    spline.GetPointAtParameter(p, k / 200.0f);
    EXPECT_TRUE(p.x >= box.min.x - 1e-3f && p.x <= box.max.x + 1e-3f);
    EXPECT_TRUE(p.y >= box.min.y - 1e-3f && p.y <= box.max.y + 1e-3f);
    EXPECT_TRUE(p.z >= box.min.z - 1e-3f && p.z <= box.max.z + 1e-3f);
  }
}

TEST(BezierSpline, FindByIdUsesCreationOrder) {
  EXPECT_EQ(CBezierSpline::FindByID(4711), nullptr);
  auto first = std::make_unique<CBezierSpline>();
  auto second = std::make_unique<CBezierSpline>();
  auto other = std::make_unique<CBezierSpline>();
  first->SetID(4711);
  second->SetID(4711);
  other->SetID(4712);
  EXPECT_EQ(CBezierSpline::FindByID(4711), first.get());
  EXPECT_EQ(CBezierSpline::FindByID(4712), other.get());
  first.reset();
  EXPECT_EQ(CBezierSpline::FindByID(4711), second.get());
  second.reset();
  EXPECT_EQ(CBezierSpline::FindByID(4711), nullptr);
  EXPECT_EQ(CBezierSpline::FindByID(4712), other.get());
}

// ---- The packed record ----

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutF32(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  PutU32(out, bits);
}

// A record laid out byte by byte, independently of the writer.
std::vector<uint8_t> HandRecord(int32_t id, uint8_t closed, float length, uint32_t count) {
  std::vector<uint8_t> r;
  PutU32(r, static_cast<uint32_t>(id));
  r.push_back(closed);
  PutF32(r, length);
  for (float f : {-1.0f, -2.0f, -3.0f, 4.0f, 5.0f, 6.0f}) PutF32(r, f);
  PutU32(r, count);
  for (uint32_t i = 0; i < count; ++i)
    for (int k = 0; k < 10; ++k) PutF32(r, static_cast<float>(100 * i + k));
  return r;
}

TEST(BezierSplineRecord, ReadsHandLaidRecord) {
  const auto record = HandRecord(-77, 1, 12.5f, 2);
  ASSERT_EQ(record.size(), 37u + 80u);
  CBezierSpline spline;
  ASSERT_TRUE(spline.LoadFromBuffer(record.data(), record.size()));
  EXPECT_EQ(spline.GetID(), -77);
  EXPECT_TRUE(spline.IsClosed());
  EXPECT_EQ(spline.GetTotalLength(), 12.5f);
  EXPECT_EQ(spline.GetBounds().min, Vector3(-1, -2, -3));
  EXPECT_EQ(spline.GetBounds().max, Vector3(4, 5, 6));
  ASSERT_EQ(spline.GetPointCount(), 2u);
  const SplineControlPoint& p = spline.GetPoints()[1];
  EXPECT_EQ(p.position, Vector3(100, 101, 102));
  EXPECT_EQ(p.outHandle, Vector3(103, 104, 105));
  EXPECT_EQ(p.inHandle, Vector3(106, 107, 108));
  EXPECT_EQ(p.segmentLength, 109.0f);
  EXPECT_EQ(spline.GetRecordSize(), record.size());

  // Written back, the bytes are the same.
  std::vector<uint8_t> written(spline.GetRecordSize());
  ASSERT_TRUE(spline.SaveToBuffer(written.data(), written.size()));
  EXPECT_EQ(written, record);

  const auto empty = HandRecord(3, 0, 0.0f, 0);
  ASSERT_TRUE(spline.LoadFromBuffer(empty.data(), empty.size()));
  EXPECT_EQ(spline.GetPointCount(), 0u);
  EXPECT_EQ(spline.GetSegmentCount(), 0u);
  EXPECT_FALSE(spline.IsClosed());
}

TEST(BezierSplineRecord, RandomRoundTrips) {
  std::mt19937 rng(6);
  for (int trial = 0; trial < 50; ++trial) {
    CBezierSpline source;
    source.SetID(static_cast<int32_t>(rng()));
    source.SetClosed(rng() % 2);
    source.SetTotalLength(std::uniform_real_distribution<float>(0, 100)(rng));
    source.SetPoints(RandomPoints(rng, static_cast<int>(rng() % 12)));
    source.RecomputeBounds();
    std::vector<uint8_t> bytes(source.GetRecordSize());
    ASSERT_TRUE(source.SaveToBuffer(bytes.data(), bytes.size()));

    CBezierSpline copy;
    ASSERT_TRUE(copy.LoadFromBuffer(bytes.data(), bytes.size()));
    EXPECT_EQ(copy.GetID(), source.GetID());
    EXPECT_EQ(copy.IsClosed(), source.IsClosed());
    EXPECT_EQ(copy.GetTotalLength(), source.GetTotalLength());
    EXPECT_EQ(copy.GetBounds().min, source.GetBounds().min);
    EXPECT_EQ(copy.GetBounds().max, source.GetBounds().max);
    ASSERT_EQ(copy.GetPointCount(), source.GetPointCount());
    for (size_t i = 0; i < copy.GetPointCount(); ++i) {
      EXPECT_EQ(std::memcmp(&copy.GetPoints()[i], &source.GetPoints()[i], 40), 0);
    }
    for (float t : {0.1f, 0.5f, 0.9f}) {
      Vector3 a, b;
      EXPECT_EQ(source.GetPointAtFraction(a, t), copy.GetPointAtFraction(b, t));
      EXPECT_EQ(a, b);
    }
  }
}

TEST(BezierSplineRecord, RefusesTruncatedAndHostileRecords) {
  LogCapture log;
  const auto good = HandRecord(5, 0, 3.0f, 3);
  CBezierSpline spline;
  spline.SetID(99);
  auto expectUnchanged = [&]() {
    EXPECT_EQ(spline.GetID(), 99);
    EXPECT_EQ(spline.GetPointCount(), 0u);
  };

  // Every truncation, and trailing bytes the count does not account for.
  for (size_t size = 0; size < good.size(); ++size) {
    auto cut = std::make_unique<uint8_t[]>(size + 1);  // exact-size heap block for ASan
    std::memcpy(cut.get(), good.data(), size);
    EXPECT_FALSE(spline.LoadFromBuffer(cut.get(), size)) << size;
  }
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(spline.LoadFromBuffer(longer.data(), longer.size()));
  EXPECT_FALSE(spline.LoadFromBuffer(nullptr, good.size()));
  expectUnchanged();

  // Counts that promise more than the record holds, including ones whose byte
  // size wraps round in 32-bit arithmetic (40 x 0x06666667 = 2^32 + 24).
  for (uint32_t count : {4u, 0xFFFFFFFFu, 0x06666667u, 0x80000000u}) {
    auto hostile = good;
    std::memcpy(hostile.data() + 33, &count, 4);
    EXPECT_FALSE(spline.LoadFromBuffer(hostile.data(), hostile.size())) << count;
  }
  // 37 + 24 bytes: exactly what that wrapped count would claim in 32 bits.
  auto wrapped = HandRecord(5, 0, 3.0f, 0);
  const uint32_t wraps = 0x06666667u;
  std::memcpy(wrapped.data() + 33, &wraps, 4);
  wrapped.resize(37 + 24);
  EXPECT_FALSE(spline.LoadFromBuffer(wrapped.data(), wrapped.size()));
  expectUnchanged();
  EXPECT_NE(log.lines.find("CBezierSpline: "), std::string::npos);
  EXPECT_EQ(log.lines.back(), '\n');

  // The writer refuses a buffer too small for the record.
  ASSERT_TRUE(spline.LoadFromBuffer(good.data(), good.size()));
  std::vector<uint8_t> small(good.size() - 1);
  EXPECT_FALSE(spline.SaveToBuffer(small.data(), small.size()));
  EXPECT_FALSE(spline.SaveToBuffer(nullptr, 1000));
}

}  // namespace
