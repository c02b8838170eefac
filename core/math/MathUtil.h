// MathUtil: free scalar and geometric helpers shared by the path, camera, collision and lighting code.
#pragma once

#include <cstdint>

#include "core/math/TMatrix.h"
#include "core/math/Vector2.h"
#include "core/math/Vector3.h"

// ---- Scalars ----

// True when x lies between a and b, bounds included, in either order.
bool InRange(float x, float a, float b);
// How far x lies outside [lo, hi]; 0 inside.
float DistanceOutsideRange(float x, float lo, float hi);
// x moved into [lo, hi] by whole periods hi - lo. Both ends can come out
// (hi stays hi; lo - period gives lo). With lo == hi the range is one value
// and lo is returned.
float WrapToRange(float x, float lo, float hi);

// ---- Points and segments in 3-D ----

// out = (1-t)^3 p0 + 3t(1-t)^2 p1 + 3t^2(1-t) p2 + t^3 p3; exact p0 at t = 0 and p3 at t = 1.
void EvaluateCubicBezier(Vector3& out, float t, const Vector3& p0, const Vector3& p1, const Vector3& p2,
                         const Vector3& p3);
// Parameter of p's foot on the line a-b (a at 0, b at 1), unclamped; 0 when a == b.
float SegmentParameter(const Vector3& a, const Vector3& b, const Vector3& p);
// (v . w) / (v . v); 0 when v is zero.
float ProjectionFactor(const Vector3& v, const Vector3& w);
// Foot of p on the line through a and b; a when a == b.
void ProjectPointOntoLine(Vector3& out, const Vector3& a, const Vector3& b, const Vector3& p);
// Point of the segment a-b nearest to p; the ends are returned exactly.
void ClosestPointOnSegment(Vector3& out, const Vector3& a, const Vector3& b, const Vector3& p);
// Half base times height; 0 for a degenerate triangle.
float TriangleArea(const Vector3& a, const Vector3& b, const Vector3& c);
// Angle between two directions in radians, 0..pi; 0 when either is zero.
float AngleBetween(const Vector3& u, const Vector3& v);
// Largest angle between corresponding rows of two rotations.
float OrientationAngle(const TMatrix& m1, const TMatrix& m2);
// Uniformly distributed unit direction from two plat::rand() draws (angle first, then height).
void RandomUnitVector(Vector3& out);

// ---- The same in the x-y plane ----

// As SegmentParameter in x and y; 0 when a and b coincide.
float SegmentParameter2D(const Vector2& a, const Vector2& b, const Vector2& p);
float SegmentParameter2D(float ax, float ay, float bx, float by, float px, float py);
// The horizontal parameter of 3-D points: only x and y are read.
float SegmentParameter2D(const Vector3& a, const Vector3& b, const Vector3& p);
// a + (b - a) * SegmentParameter2D; a when a and b coincide.
void ProjectPointOntoLine2D(Vector2& out, const Vector2& a, const Vector2& b, const Vector2& p);
void ClosestPointOnSegment2D(Vector2& out, const Vector2& a, const Vector2& b, const Vector2& p);
// True when p lies strictly to the right of the directed line a->b (y up); on the line is false.
bool IsRightOfLine2D(float ax, float ay, float bx, float by, float px, float py);
bool IsRightOfLine2D(const Vector2& a, const Vector2& b, const Vector2& p);
// True when p lies in the rectangle spanned by corners a and b, edges included.
bool PointInRect2D(const Vector2& a, const Vector2& b, const Vector2& p);
float AngleBetween2D(const Vector2& u, const Vector2& v);

// ---- 2-D polygons: n indices into points, taken cyclically ----

// True when every vertex turns the same way (a zero turn counts as left); true for n < 1.
bool IsConvexPolygon2D(const Vector2* points, const uint32_t* indices, int n);
// True when two edges that share no vertex index cross or touch.
bool PolygonSelfIntersects2D(const Vector2* points, const uint32_t* indices, int n);
// Sums the vertex angles (reflex where the turn is to the left) and compares
// the sum with (n - 2) pi, within 0.01.
bool PolygonAngleSumMatches2D(const Vector2* points, const uint32_t* indices, int n);
