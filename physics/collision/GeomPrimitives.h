// GeomPrimitives: stateless point, segment, triangle and 2-D line tests shared by the collision code.
#pragma once

#include "core/math/Box.h"
#include "core/math/Vector2.h"
#include "core/math/Vector3.h"

// The "2D" functions work in the x-y plane and read only x and y of their arguments.

// True when P lies inside triangle A, B, K or on its border, for either winding.
// N gives the plane's direction; it need not be normalised. A zero N gives false.
bool PointInTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n);

// Parameter in [0, 1] at which the segment A->B enters the sphere (K, r), clamped:
// a sphere entered before A gives 0, one entered beyond B gives 1. FLT_MAX when the
// infinite line misses the sphere (or, for A = B, when A lies outside it).
float SegmentSphereEntryTime(const Vector3& a, const Vector3& b, const Vector3& k, float r);

// Derivative at t of the cubic Bezier segment P0..P3.
Vector3 BezierTangent(float t, const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3);

// ((p - a) . (b - a)) / |b - a|^2, unclamped; 0 when a = b.
float SegmentParameterByValue(Vector3 a, Vector3 b, Vector3 p);

// Tangent of the inclination of the plane through A, B, P (0 for a horizontal plane).
// A vertical plane has no finite slope and three collinear points no plane: both are
// logged and return false with out untouched.
bool SlopeTangent(const Vector3& a, const Vector3& b, const Vector3& p, float& out);

// Crossing of the line through (x1, y1)-(x2, y2) with the line through (x3, y3)-(x4, y4).
// A vertical line is taken as slope 1e10 through its first point. Parallel lines
// (equal slopes, including two vertical lines) are logged and return false.
bool IntersectLines2D(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, Vector2& out);

// Segments A-B and K-D: point = A + s (B - A) whenever they are not parallel; true when
// s and t both lie in [0, 1]. Parallel segments give false with s = t = FLT_MAX and the
// point untouched.
bool IntersectSegments2D(const Vector2& a, const Vector2& b, const Vector2& k, const Vector2& d, Vector2& point,
                         float& s, float& t);

// r * r >= |P - K|^2.
bool PointInCircle2D(const Vector3& p, const Vector3& k, float r);

// True when the circle (P, r1) comes within r1 + r2 of segment A-B. closest gets the
// segment's point nearest to P in x-y; its z follows the segment.
bool CircleTouchesSegment2D(const Vector3& p, float r1, const Vector3& a, const Vector3& b, float r2,
                            Vector3& closest);

// Moves P (x and y; z stays) to the side of line A->B where R lies, at distance 0.01 + c
// from the line, level with P's foot on the line. R on the line counts as the left
// side. Returns true when R lies strictly to the right. A = B (no line) is logged and
// leaves P unchanged.
bool PlacePointBesideLine2D(const Vector3& a, const Vector3& b, Vector3& p, const Vector3& r, float c);

// sqrt(x*x + y*y); and v divided by its length, a zero vector left unchanged.
float Vector2Length(const Vector2& v);
void Vector2Normalize(Vector2& v);

// Barycentric (u, v) of the foot of P on the plane of triangle A, B, K; (0, 0) for a
// degenerate triangle.
void ProjectPointToTriangleUV(Vector2& uv, const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& k);

// True when the segments A0-A1 and B0-B1 come closer than r (exactly r may count).
// Parallel and zero-length segments are handled through their end points.
bool SegmentsWithinDistance(const Vector3& a0, const Vector3& a1, const Vector3& b0, const Vector3& b1, float r);

// A plane as its owners store it: a point on it, two vectors this test does not read,
// and the normal.
struct PlaneRecord {
  Vector3 point;
  Vector3 unused[2];
  Vector3 normal;
};
static_assert(sizeof(PlaneRecord) == 48, "a plane record is twelve floats");

// True when (P - point) . normal >= 0 for every plane (true for count 0).
bool PointInsideAllPlanes(const Vector3& p, const PlaneRecord* planes, int count);

// True when the triangle A, B, K and the box overlap (touching may count).
bool TriangleOverlapsBox(const Box& box, const Vector3& a, const Vector3& b, const Vector3& k);

// Where the planes of triangles A0 A1 A2 and B0 B1 B2 meet: false unless they meet in a
// line (parallel planes, within a sine of 1e-5, and degenerate triangles give false). Then point[i] = A0 + uvA[i].x (A1 - A0) + uvA[i].y (A2 - A0) = the point with
// the coordinates uvB[i] in triangle B, for two points i = 0, 1 on that line.
bool TrianglePlanesLine(const Vector3& a0, const Vector3& a1, const Vector3& a2, const Vector3& b0,
                        const Vector3& b1, const Vector3& b2, Vector3 point[2], Vector2 uvA[2], Vector2 uvB[2]);
