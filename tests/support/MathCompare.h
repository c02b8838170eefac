// MathCompare: gtest predicate formatters for vectors, matrices, rotations and frames.
//
// Use them through EXPECT_PRED_FORMAT*, so that a failure names the caller's line and
// prints both values in full:
//   EXPECT_PRED_FORMAT3(ElementsNear, got, want, 1e-5f);
//   EXPECT_PRED_FORMAT3(WithinDistance, got, want, 1e-3f);
//   EXPECT_PRED_FORMAT4(FramesWithin, got, want, axisTol, positionTol);
//   EXPECT_PRED_FORMAT3(SameRotation, q, r, 1e-5f);
//   EXPECT_PRED_FORMAT2(SameBits, a, b);
// The two sides may be of different types (an engine vector against an Eigen one) as
// long as they have the same number of elements.
#pragma once

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Quaternion.h"
#include "core/math/TMatrix.h"
#include "core/math/Vector3.h"
#include "core/math/Vector4.h"
#include "physics/polymath/VclipMatrix3.h"
#include "physics/polymath/VclipQuaternion.h"
#include "physics/polymath/VclipVector3.h"

namespace testing_support {

// A value's elements in reading order (row after row), compared in double precision
// as EXPECT_NEAR does, with the row length and digits used to print them.
struct Elements {
  std::vector<double> values;
  size_t rowLength = 1;
  int digits = 9;  // tells any two floats apart
};

inline Elements ElementsOf(const Vector3& v) { return {{v.x, v.y, v.z}, 3}; }
inline Elements ElementsOf(const Vector4& v) { return {{v.x, v.y, v.z, v.w}, 4}; }
inline Elements ElementsOf(const Quaternion& q) { return {{q.x, q.y, q.z, q.w}, 4}; }
inline Elements ElementsOf(const VclipVector3& v) { return {{v.x, v.y, v.z}, 3}; }
inline Elements ElementsOf(const VclipQuaternion& q) { return {{q.w, q.x, q.y, q.z}, 4}; }

// Element by element: a range insert from float to double trips a false overflow
// warning in optimised builds.
template <size_t Rows, size_t Columns>
Elements ElementsOf(const float (&a)[Rows][Columns]) {
  Elements e{{}, Columns};
  for (const auto& row : a)
    for (const float v : row) e.values.push_back(v);
  return e;
}

inline Elements ElementsOf(const TMatrix& a) {
  Elements e{{}, 3};
  for (const Vector3& row : a.m)
    for (int j = 0; j < 3; ++j) e.values.push_back(row[j]);
  return e;
}

inline Elements ElementsOf(const Matrix4& a) { return ElementsOf(a.m); }
inline Elements ElementsOf(const VclipMatrix3& a) { return ElementsOf(a.m); }

// A frame reads as its three axis rows, then its position.
inline Elements ElementsOf(const COrientation& f) {
  Elements e = ElementsOf(f.axes);
  for (int j = 0; j < 3; ++j) e.values.push_back(f.position[j]);
  return e;
}

template <class Derived>
Elements ElementsOf(const Eigen::MatrixBase<Derived>& a) {
  const typename Derived::PlainObject m = a;  // products and blocks evaluated once
  Elements e;
  e.rowLength = m.cols() == 1 ? m.rows() : m.cols();  // a column vector prints as one row
  e.digits = std::is_same<typename Derived::Scalar, double>::value ? 17 : 9;
  for (Eigen::Index i = 0; i < m.rows(); ++i)
    for (Eigen::Index j = 0; j < m.cols(); ++j) e.values.push_back(m(i, j));
  return e;
}

inline std::string ToText(const Elements& e) {
  std::ostringstream out;
  out.precision(e.digits);
  const bool matrix = e.values.size() > e.rowLength;
  if (matrix) out << '[';
  for (size_t i = 0; i < e.values.size(); ++i) {
    if (i % e.rowLength == 0)
      out << (i > 0 ? "), (" : "(");
    else
      out << ", ";
    out << e.values[i];
  }
  out << ')';
  if (matrix) out << ']';
  return out.str();
}

inline ::testing::AssertionResult ShapeMismatch(const char* aText, const char* bText, const Elements& a,
                                                const Elements& b) {
  return ::testing::AssertionFailure() << aText << " has " << a.values.size() << " elements but " << bText << " has "
                                       << b.values.size();
}

inline ::testing::AssertionResult Describe(::testing::AssertionResult result, const char* aText, const char* bText,
                                           const Elements& a, const Elements& b) {
  return result << "\n  " << aText << " = " << ToText(a) << "\n  " << bText << " = " << ToText(b);
}

// "2" in a vector, "row,column" in a matrix.
inline std::string ElementName(const Elements& e, size_t i) {
  if (e.values.size() <= e.rowLength) return std::to_string(i);
  return std::to_string(i / e.rowLength) + "," + std::to_string(i % e.rowLength);
}

// Every element lies within tol of its counterpart (EXPECT_NEAR on each element).
template <class A, class B>
::testing::AssertionResult ElementsNear(const char* aText, const char* bText, const char* tolText, const A& a,
                                        const B& b, double tol) {
  const Elements ea = ElementsOf(a), eb = ElementsOf(b);
  if (ea.values.size() != eb.values.size()) return ShapeMismatch(aText, bText, ea, eb);
  for (size_t i = 0; i < ea.values.size(); ++i) {
    const double diff = std::fabs(ea.values[i] - eb.values[i]);
    if (!(diff <= tol)) {
      return Describe(::testing::AssertionFailure() << "element " << ElementName(ea, i) << " differs by " << diff
                                                    << ", more than " << tolText << " = " << tol,
                      aText, bText, ea, eb);
    }
  }
  return ::testing::AssertionSuccess();
}

inline double Distance(const Elements& a, const Elements& b) {
  double sum = 0.0;
  for (size_t i = 0; i < a.values.size(); ++i) sum += (a.values[i] - b.values[i]) * (a.values[i] - b.values[i]);
  return std::sqrt(sum);
}

// The two points (or vectors) lie less than tol apart.
template <class A, class B>
::testing::AssertionResult WithinDistance(const char* aText, const char* bText, const char* tolText, const A& a,
                                          const B& b, double tol) {
  const Elements ea = ElementsOf(a), eb = ElementsOf(b);
  if (ea.values.size() != eb.values.size()) return ShapeMismatch(aText, bText, ea, eb);
  const double distance = Distance(ea, eb);
  if (distance < tol) return ::testing::AssertionSuccess();
  return Describe(
      ::testing::AssertionFailure() << "distance " << distance << " is not below " << tolText << " = " << tol, aText,
      bText, ea, eb);
}

// Each axis of one frame lies less than axisTol from the other's, and the positions less
// than positionTol apart (positions are in world units, axes of unit length).
inline ::testing::AssertionResult FramesWithin(const char* aText, const char* bText, const char* axisText,
                                               const char* positionText, const COrientation& a, const COrientation& b,
                                               double axisTol, double positionTol) {
  static const char* const kNames[4] = {"X axis", "Y axis", "Z axis", "position"};
  const Vector3* const as[4] = {&a.axes.m[0], &a.axes.m[1], &a.axes.m[2], &a.position};
  const Vector3* const bs[4] = {&b.axes.m[0], &b.axes.m[1], &b.axes.m[2], &b.position};
  for (int i = 0; i < 4; ++i) {
    const double tol = i < 3 ? axisTol : positionTol;
    const double distance = Distance(ElementsOf(*as[i]), ElementsOf(*bs[i]));
    if (!(distance < tol)) {
      return Describe(::testing::AssertionFailure() << kNames[i] << " differs by " << distance << ", not below "
                                                    << (i < 3 ? axisText : positionText) << " = " << tol,
                      aText, bText, ElementsOf(a), ElementsOf(b));
    }
  }
  return ::testing::AssertionSuccess();
}

// Unit quaternions for the same rotation: q and -q both count, so |q . r| is within tol of 1.
template <class Q>
::testing::AssertionResult SameRotation(const char* aText, const char* bText, const char* tolText, const Q& a,
                                        const Q& b, double tol) {
  const Elements ea = ElementsOf(a), eb = ElementsOf(b);
  double dot = 0.0;
  for (size_t i = 0; i < ea.values.size(); ++i) dot += ea.values[i] * eb.values[i];
  const double gap = std::fabs(std::fabs(dot) - 1.0);
  if (gap <= tol) return ::testing::AssertionSuccess();
  return Describe(::testing::AssertionFailure() << "|dot| = " << std::fabs(dot) << " is " << gap
                                                << " from 1, more than " << tolText << " = " << tol,
                  aText, bText, ea, eb);
}

// Bit for bit the same: what a file round trip must give back.
template <class T>
::testing::AssertionResult SameBits(const char* aText, const char* bText, const T& a, const T& b) {
  static_assert(std::is_trivially_copyable<T>::value, "compares object bytes");
  if (std::memcmp(&a, &b, sizeof(T)) == 0) return ::testing::AssertionSuccess();
  Elements ea = ElementsOf(a), eb = ElementsOf(b);
  ea.digits = eb.digits = 17;
  return Describe(::testing::AssertionFailure() << "the bytes differ", aText, bText, ea, eb);
}

}  // namespace testing_support
