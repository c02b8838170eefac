// PolyTestUtil: polyhedron builders and brute-force geometry references for the polyhedron tests.
#pragma once

#include <Eigen/Dense>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "physics/polyhedron/PolyTree.h"
#include "physics/polyhedron/Polyhedron.h"
#include "physics/polymath/Se3.h"
#include "tests/physics/PhysicsTestUtil.h"

namespace poly_test {

using physics_test::Uniform;

// Plain double 3-vector: the brute-force references run millions of small
// operations, which unoptimised test builds of a template library make slow.
struct Vec {
  double x = 0, y = 0, z = 0;
  Vec() = default;
  Vec(double ax, double ay, double az) : x(ax), y(ay), z(az) {}
  Vec operator+(const Vec& b) const { return Vec(x + b.x, y + b.y, z + b.z); }
  Vec operator-(const Vec& b) const { return Vec(x - b.x, y - b.y, z - b.z); }
  Vec operator*(double s) const { return Vec(x * s, y * s, z * s); }
  double dot(const Vec& b) const { return x * b.x + y * b.y + z * b.z; }
  Vec cross(const Vec& b) const { return Vec(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x); }
  double norm() const { return std::sqrt(dot(*this)); }
  Eigen::Vector3d eigen() const { return Eigen::Vector3d(x, y, z); }
};
inline Vec operator*(double s, const Vec& v) { return v * s; }

inline Vec ToEigen(const VclipVector3& v) { return Vec(v.x, v.y, v.z); }

inline VclipVector3 RandomVector(float extent) {
  const float x = Uniform(-extent, extent), y = Uniform(-extent, extent);
  return VclipVector3(x, y, Uniform(-extent, extent));
}

inline VclipQuaternion RandomRotation() {
  VclipQuaternion q(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1));
  q.Normalize();
  return q;
}

// Axis-aligned box with one quadrilateral per side, corners named "c0".."c7".
inline std::shared_ptr<Polyhedron> MakeBox(const VclipVector3& lo, const VclipVector3& hi) {
  auto p = std::make_shared<Polyhedron>();
  Vertex* c[8];
  for (int i = 0; i < 8; ++i) {
    c[i] = p->addVertex(("c" + std::to_string(i)).c_str(),
                        VclipVector3(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z));
  }
  // Counter-clockwise seen from outside.
  p->addFace("-x", {c[0], c[4], c[6], c[2]}, false);
  p->addFace("+x", {c[1], c[3], c[7], c[5]}, false);
  p->addFace("-y", {c[0], c[1], c[5], c[4]}, false);
  p->addFace("+y", {c[2], c[6], c[7], c[3]}, false);
  p->addFace("-z", {c[0], c[2], c[3], c[1]}, false);
  p->addFace("+z", {c[4], c[5], c[7], c[6]}, false);
  return p;
}

// Hull of count random points in a cube of half-size extent (null if qhull fails).
inline std::shared_ptr<Polyhedron> RandomHull(int count, float extent) {
  auto p = std::make_shared<Polyhedron>();
  for (int i = 0; i < count; ++i) p->addVertex(("p" + std::to_string(i)).c_str(), RandomVector(extent));
  if (p->buildHull() != 0) return nullptr;
  return p;
}

inline std::unique_ptr<PolyTree> Leaf(const char* name, std::shared_ptr<Polyhedron> poly) {
  auto tree = std::make_unique<PolyTree>(name);
  tree->setPolyhedron(std::move(poly));
  return tree;
}

// A polyhedron's geometry in double precision, moved by a pose.
struct Solid {
  std::vector<Vec> vertices;
  std::vector<std::pair<Vec, Vec>> edges;
  std::vector<std::vector<Vec>> faces;  // corners in running order
  std::vector<Vec> normals;
};

inline Solid MakeSolid(const Polyhedron& p, const Se3& pose) {
  Solid s;
  auto at = [&](const Vertex* v) { return ToEigen(pose.Transform(v->coords)); };
  for (const Vertex& v : p.vertices()) s.vertices.push_back(at(&v));
  for (const Edge& e : p.edges()) s.edges.emplace_back(at(e.tail), at(e.head));
  for (const Face& f : p.faces()) {
    std::vector<Vec> corners;
    for (const FaceConeNode& n : f.cone) corners.push_back(at(n.edge->left == &f ? n.edge->tail : n.edge->head));
    s.faces.push_back(corners);
    VclipVector3 n;
    pose.rotation.Rotate(f.plane.normal, n);
    s.normals.push_back(ToEigen(n));
  }
  return s;
}

inline double SegmentSegment(const Vec& p0, const Vec& p1, const Vec& q0, const Vec& q1) {
  // Minimises over the parameter square: interior stationary point, then the four borders.
  const Vec d1 = p1 - p0, d2 = q1 - q0, r = p0 - q0;
  const double a = d1.dot(d1), e = d2.dot(d2), b = d1.dot(d2), c = d1.dot(r), f = d2.dot(r);
  auto pointSeg = [](const Vec& p, const Vec& s0, const Vec& s1) {
    const Vec d = s1 - s0;
    const double t = std::clamp((p - s0).dot(d) / d.dot(d), 0.0, 1.0);
    return (p - (s0 + t * d)).norm();
  };
  double best = std::min({pointSeg(p0, q0, q1), pointSeg(p1, q0, q1), pointSeg(q0, p0, p1), pointSeg(q1, p0, p1)});
  const double den = a * e - b * b;
  if (den > 1e-12 * a * e) {
    const double s = (b * f - c * e) / den, t = (a * f - b * c) / den;
    if (s > 0 && s < 1 && t > 0 && t < 1) best = std::min(best, (p0 + s * d1 - q0 - t * d2).norm());
  }
  return best;
}

// Distance from p to a face when its projection falls inside the face, else FLT_MAX
// (the boundary cases are covered by the edge pairs).
inline double PointFace(const Vec& p, const std::vector<Vec>& face, const Vec& n) {
  for (size_t i = 0; i < face.size(); ++i) {
    const Vec side = face[(i + 1) % face.size()] - face[i];
    if (n.cross(side).dot(p - face[i]) < 0) return FLT_MAX;
  }
  return std::fabs(n.dot(p - face[0]));
}

// Minimum distance between two disjoint convex solids over all vertex-face and
// edge-edge pairs.
inline double BruteDistance(const Solid& a, const Solid& b) {
  double best = DBL_MAX;
  for (const auto& ea : a.edges)
    for (const auto& eb : b.edges) best = std::min(best, SegmentSegment(ea.first, ea.second, eb.first, eb.second));
  for (size_t f = 0; f < b.faces.size(); ++f)
    for (const Vec& v : a.vertices) best = std::min(best, PointFace(v, b.faces[f], b.normals[f]));
  for (size_t f = 0; f < a.faces.size(); ++f)
    for (const Vec& v : b.vertices) best = std::min(best, PointFace(v, a.faces[f], a.normals[f]));
  return best;
}

// Largest gap along the separating-axis candidates (face normals and edge cross
// products): positive when the solids are apart, negative when they overlap.
inline double SeparatingGap(const Solid& a, const Solid& b) {
  auto gapAlong = [&](Vec axis) {
    const double length = axis.norm();
    if (length < 1e-9) return -DBL_MAX;
    axis = axis * (1.0 / length);
    double aMin = DBL_MAX, aMax = -DBL_MAX, bMin = DBL_MAX, bMax = -DBL_MAX;
    for (const Vec& v : a.vertices) aMin = std::min(aMin, v.dot(axis)), aMax = std::max(aMax, v.dot(axis));
    for (const Vec& v : b.vertices) bMin = std::min(bMin, v.dot(axis)), bMax = std::max(bMax, v.dot(axis));
    return std::max(bMin - aMax, aMin - bMax);
  };
  double best = -DBL_MAX;
  for (const Vec& n : a.normals) best = std::max(best, gapAlong(n));
  for (const Vec& n : b.normals) best = std::max(best, gapAlong(n));
  for (const auto& ea : a.edges)
    for (const auto& eb : b.edges) best = std::max(best, gapAlong((ea.second - ea.first).cross(eb.second - eb.first)));
  return best;
}

}  // namespace poly_test
