#include "physics/polyhedron/Polyhedron.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <string>

#include "physics/polyhedron/QhullHull.h"

namespace {

constexpr char kBell = '\a';
constexpr float kPi = 3.14159265358979f;

VclipVector3 Diff(const VclipVector3& a, const VclipVector3& b) {
  return VclipVector3(a.x - b.x, a.y - b.y, a.z - b.z);
}

VclipVector3 Unit(const VclipVector3& v) {
  const float length = v.Length();
  return length > 0.0f ? v.Scaled(1.0f / length) : v;
}

// Newell's normal: uses every corner, so collinear leading corners do not zero it.
VclipVector3 NewellNormal(const std::vector<Vertex*>& loop) {
  VclipVector3 n;
  for (size_t i = 0; i < loop.size(); ++i) {
    const VclipVector3& a = loop[i]->coords;
    const VclipVector3& b = loop[(i + 1) % loop.size()]->coords;
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  return n;
}

float AngleBetween(const VclipVector3& a, const VclipVector3& b) {
  const float la = a.Length();
  const float lb = b.Length();
  if (la <= 0.0f || lb <= 0.0f) return 0.0f;
  const float c = std::max(-1.0f, std::min(1.0f, a.Dot(b) / (la * lb)));
  return std::acos(c);
}

// Direction of a face's boundary edge in the face's running order.
VclipVector3 RunningDirection(const Face& face, const Edge& edge) {
  return edge.left == &face ? edge.u : edge.u.Scaled(-1.0f);
}

}  // namespace

const char* Edge::name() const {
  static std::string buffer;
  buffer = std::string(tail ? tail->name() : "?") + ":" + (head ? head->name() : "?");
  return buffer.c_str();
}

Vertex* Polyhedron::addVertex(const char* name, const VclipVector3& coords) {
  verts_.emplace_back(name, coords);
  return &verts_.back();
}

Vertex* Polyhedron::findVertex(const char* name) {
  for (Vertex& v : verts_) {
    if (std::strcmp(v.name(), name) == 0) return &v;
  }
  return nullptr;
}

Edge* Polyhedron::findEdge(const Vertex* from, const Vertex* to) const {
  for (const VertexConeNode& node : from->cone) {
    if (node.edge->tail == from && node.edge->head == to) return node.edge;
  }
  return nullptr;
}

bool Polyhedron::validateFace(const char* name, const std::vector<Vertex*>& loop) const {
  const char* faceName = name ? name : "";
  if (loop.size() < 3) {
    std::cerr << kBell << "face " << faceName << " has fewer than 3 vertices" << std::endl;
    return false;
  }
  if (NewellNormal(loop).Length() <= 0.0f) {
    std::cerr << kBell << "face " << faceName << " encloses no area" << std::endl;
    return false;
  }
  for (size_t i = 0; i < loop.size(); ++i) {
    Vertex* a = loop[i];
    Vertex* b = loop[(i + 1) % loop.size()];
    if (!a || !b || Diff(b->coords, a->coords).Length() <= 0.0f ||
        std::count(loop.begin(), loop.end(), a) != 1) {
      std::cerr << kBell << "face " << faceName << " repeats a vertex or has a zero-length side" << std::endl;
      return false;
    }
    const Edge* reverse = findEdge(b, a);
    if (findEdge(a, b) || (reverse && reverse->right)) {
      std::cerr << kBell << "face " << faceName << " would give edge " << a->name() << ":" << b->name()
                << " a third face or a second face running the same way" << std::endl;
      return false;
    }
  }
  return true;
}

bool Polyhedron::addFace(const char* name, const std::vector<Vertex*>& corners, bool reverse) {
  // With reverse set the boundary runs P0, Pk, ..., P1.
  std::vector<Vertex*> loop(corners);
  if (reverse && loop.size() > 1) std::reverse(loop.begin() + 1, loop.end());
  if (!validateFace(name, loop)) return false;

  faces_.emplace_back(name);
  Face& face = faces_.back();
  face.plane = PolyPlane::Through(Unit(NewellNormal(loop)), loop[0]->coords);
  const size_t n = loop.size();
  for (size_t i = 0; i < n; ++i) {
    Vertex* corner = loop[i];
    const VclipVector3 toNext = Diff(loop[(i + 1) % n]->coords, corner->coords);
    const VclipVector3 toPrev = Diff(loop[(i + n - 1) % n]->coords, corner->coords);
    corner->normalSum.Add(face.plane.normal.Scaled(AngleBetween(toNext, toPrev)));
  }
  face.cone.reserve(n);  // the links below point into this vector: it must not reallocate
  for (size_t i = 0; i < n; ++i) attachEdge(face, loop[i], loop[(i + 1) % n]);
  face.sides = static_cast<uint32_t>(face.cone.size());
  for (uint32_t i = 0; i < face.sides; ++i) {
    face.cone[i].index = i;
    face.cone[i].ccw = &face.cone[(i + 1) % face.sides];
    face.cone[i].cw = &face.cone[(i + face.sides - 1) % face.sides];
  }
  return true;
}

void Polyhedron::attachEdge(Face& face, Vertex* a, Vertex* b) {
  if (Edge* existing = findEdge(b, a)) {
    existing->right = &face;
    existing->rightPlane =
        PolyPlane::Through(Unit(VclipVector3::Cross(existing->u, face.plane.normal)), existing->tail->coords);
    face.cone.push_back({existing->rightPlane, existing, nullptr, nullptr, 0});
    return;
  }
  edges_.emplace_back();
  Edge& edge = edges_.back();
  edge.tail = a;
  edge.head = b;
  edge.left = &face;
  const VclipVector3 d = Diff(b->coords, a->coords);
  edge.length = d.Length();
  edge.u = d.Scaled(1.0f / edge.length);  // validateFace refused zero-length sides
  edge.tailPlane = PolyPlane::Through(edge.u.Scaled(-1.0f), a->coords);
  edge.headPlane = PolyPlane::Through(edge.u, b->coords);
  edge.leftPlane = PolyPlane::Through(Unit(VclipVector3::Cross(face.plane.normal, edge.u)), a->coords);
  a->cone.push_back({edge.tailPlane, &edge});
  b->cone.push_back({edge.headPlane, &edge});
  face.cone.push_back({edge.leftPlane, &edge, nullptr, nullptr, 0});
}

int Polyhedron::check() {
  for (Vertex& v : verts_) v.normalSum = Unit(v.normalSum);
  bool failed = false;
  for (const Edge& e : edges_) {
    if (!e.right) {
      // An open edge has no right plane; the walk would read a null face.
      std::cerr << kBell << "open edge:  " << e.name() << " has no right face" << std::endl;
      failed = true;
      continue;
    }
    const float turn = e.u.Dot(VclipVector3::Cross(e.leftPlane.normal, e.rightPlane.normal));
    // Strictly convex only, as the closest-feature walk needs: between coplanar faces the turn
    // is 0 and the edge's feature region has no width.
    if (!(turn < 0.0f)) {
      std::cerr << kBell << "nonconvex edge:  " << e.name() << " tail=" << e.tail->name()
                << " head=" << e.head->name() << " left=" << e.left->name() << " rght=" << e.right->name()
                << " angle=" << std::asin(std::min(1.0f, turn)) * 180.0f / kPi << std::endl;
      failed = true;
    }
  }
  for (const Face& f : faces_) {
    for (const FaceConeNode& node : f.cone) {
      const VclipVector3 in = RunningDirection(f, *node.edge);
      const VclipVector3 out = RunningDirection(f, *node.ccw->edge);
      const float turn = VclipVector3::Cross(in, out).Dot(f.plane.normal);
      if (!(turn > 0.0f)) {
        const Vertex* corner = node.edge->left == &f ? node.edge->head : node.edge->tail;
        std::cerr << kBell << "nonconvex face:  " << f.name() << "  vertex=" << corner->name()
                  << "  angle=" << std::asin(std::max(-1.0f, turn)) * 180.0f / kPi << std::endl;
        failed = true;
      }
    }
  }
  const long nv = static_cast<long>(verts_.size());
  const long ne = static_cast<long>(edges_.size());
  const long nf = static_cast<long>(faces_.size());
  if (nv - ne + nf != 2) {
    std::cerr << kBell << "polyhedral Euler formula failure: nv=" << nv << " ne=" << ne << " nf=" << nf
              << std::endl;
    return 1;
  }
  return failed ? 1 : 0;
}

void Polyhedron::clearFaces() {
  faces_.clear();
  edges_.clear();
  for (Vertex& v : verts_) {
    v.cone.clear();
    v.normalSum = VclipVector3();
  }
}

int Polyhedron::buildHull() {
  // Shared, grow-only coordinate buffer: a hull call allocates nothing per point.
  static std::vector<double> points;
  static std::vector<Vertex*> byIndex;
  const size_t n = verts_.size();
  if (points.size() < 3 * n) points.resize(std::max<size_t>(3 * n, 3 * 100));
  byIndex.assign(verts_.size(), nullptr);
  size_t i = 0;
  for (Vertex& v : verts_) {
    if (!std::isfinite(v.coords.x) || !std::isfinite(v.coords.y) || !std::isfinite(v.coords.z)) {
      // qhull's arithmetic has no answer for these; refuse before it starts.
      std::cerr << "error building convex hull of Polyhedron " << kBell << std::endl;
      std::cerr << "exitcode: non-finite coordinates at vertex " << v.name() << std::endl;
      return 1;
    }
    points[3 * i] = v.coords.x;
    points[3 * i + 1] = v.coords.y;
    points[3 * i + 2] = v.coords.z;
    byIndex[i++] = &v;
  }
  QhullFacetList facets;
  const int exitcode = QhullConvexHull(points.data(), static_cast<int>(n), facets);
  if (exitcode != 0) {
    std::cerr << "error building convex hull of Polyhedron " << kBell << std::endl;
    std::cerr << "exitcode: " << exitcode << std::endl;
    return 1;
  }
  clearFaces();
  std::vector<bool> used(n, false);
  size_t next = 0;
  bool allFaces = true;
  for (size_t f = 0; f < facets.counts.size(); ++f) {
    std::vector<Vertex*> corners;
    for (int k = 0; k < facets.counts[f]; ++k) {
      const int id = facets.corners[next++];
      if (id < 0 || static_cast<size_t>(id) >= n) continue;  // never expected; do not index past the table
      used[static_cast<size_t>(id)] = true;
      corners.push_back(byIndex[static_cast<size_t>(id)]);
    }
    // qhull lists the corners clockwise seen from outside; the reverse flag turns
    // that outward. Checked against qhull's own normal rather than assumed.
    const VclipVector3 outward(static_cast<float>(facets.normals[3 * f]), static_cast<float>(facets.normals[3 * f + 1]),
                               static_cast<float>(facets.normals[3 * f + 2]));
    const bool reverse = NewellNormal(corners).Dot(outward) < 0.0f;
    if (!addFace(("f" + std::to_string(f)).c_str(), corners, reverse)) allFaces = false;
  }
  // A facet that could not become a face (addFace said why) leaves no hull: the faces made so far
  // go and every vertex stays, so that a caller's vertex pointers stay good for faces of its own.
  if (!allFaces) {
    clearFaces();
    return 1;
  }
  i = 0;
  for (auto it = verts_.begin(); it != verts_.end(); ++i) {
    it = used[i] ? std::next(it) : verts_.erase(it);
  }
  return 0;
}

std::ostream& operator<<(std::ostream& out, const PolyPlane& plane) {
  return out << plane.normal.x << " x " << plane.normal.y << " y  " << plane.normal.z << " z " << plane.offset
             << " >= 0";
}

void Polyhedron::print(std::ostream& out) const {
  out << " verts : " << verts_.size() << "\n";
  for (const Vertex& v : verts_) {
    out << "vertex " << v.name() << "  " << v.coords << "\n  neighbors\n";
    for (const VertexConeNode& node : v.cone) out << "    " << node.plane << "  " << node.edge->name() << "\n";
  }
  out << " edges : " << edges_.size() << "\n";
  for (const Edge& e : edges_) {
    out << "edge " << e.name() << "\n  tail: " << e.tail->name() << "  " << e.tailPlane << "\n  head: "
        << e.head->name() << "  " << e.headPlane << "\n  left: " << (e.left ? e.left->name() : "-") << "  "
        << e.leftPlane << "\n  rght: " << (e.right ? e.right->name() : "-") << "  " << e.rightPlane << "\n";
  }
  out << " faces : " << faces_.size() << "\n";
  for (const Face& f : faces_) {
    out << "face " << f.name() << "  " << f.plane << "\n  neighbors\n";
    for (const FaceConeNode& node : f.cone) out << "    " << node.plane << "  " << node.edge->name() << "\n";
  }
}
