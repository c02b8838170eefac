#include "physics/polyhedron/PolyTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>

#include "physics/polyhedron/VclipFeatureCache.h"

namespace {

Se3 Inverse(const Se3& x) {
  Se3 inv;
  inv.rotation = VclipQuaternion(x.rotation.w, -x.rotation.x, -x.rotation.y, -x.rotation.z);
  inv.rotation.Rotate(x.translation, inv.translation);
  inv.translation = inv.translation.Scaled(-1.0f);
  return inv;
}

// Volume integrals of one leaf in double precision, by projecting each face onto
// the coordinate plane its normal is most nearly perpendicular to and summing
// the projected line integrals (divergence theorem).
struct VolumeIntegrals {
  double T0 = 0.0;
  double T1[3] = {0.0, 0.0, 0.0};
  double T2[3] = {0.0, 0.0, 0.0};
  double TP[3] = {0.0, 0.0, 0.0};
};

struct ProjectionIntegrals {
  double P1 = 0, Pa = 0, Pb = 0, Paa = 0, Pab = 0, Pbb = 0, Paaa = 0, Paab = 0, Pabb = 0, Pbbb = 0;
};

double Coord(const VclipVector3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

std::vector<const Vertex*> FaceCorners(const Face& face) {
  std::vector<const Vertex*> corners;
  for (const FaceConeNode& node : face.cone) {
    corners.push_back(node.edge->left == &face ? node.edge->tail : node.edge->head);
  }
  return corners;
}

ProjectionIntegrals Project(const std::vector<const Vertex*>& corners, int A, int B) {
  ProjectionIntegrals p;
  for (size_t i = 0; i < corners.size(); ++i) {
    const double a0 = Coord(corners[i]->coords, A), b0 = Coord(corners[i]->coords, B);
    const VclipVector3& next = corners[(i + 1) % corners.size()]->coords;
    const double a1 = Coord(next, A), b1 = Coord(next, B);
    const double da = a1 - a0, db = b1 - b0;
    const double a0_2 = a0 * a0, a0_3 = a0_2 * a0, a0_4 = a0_3 * a0;
    const double b0_2 = b0 * b0, b0_3 = b0_2 * b0, b0_4 = b0_3 * b0;
    const double a1_2 = a1 * a1, a1_3 = a1_2 * a1;
    const double b1_2 = b1 * b1, b1_3 = b1_2 * b1;
    const double C1 = a1 + a0;
    const double Ca = a1 * C1 + a0_2, Caa = a1 * Ca + a0_3, Caaa = a1 * Caa + a0_4;
    const double Cb = b1 * (b1 + b0) + b0_2, Cbb = b1 * Cb + b0_3, Cbbb = b1 * Cbb + b0_4;
    const double Cab = 3 * a1_2 + 2 * a1 * a0 + a0_2, Kab = a1_2 + 2 * a1 * a0 + 3 * a0_2;
    const double Caab = a0 * Cab + 4 * a1_3, Kaab = a1 * Kab + 4 * a0_3;
    const double Cabb = 4 * b1_3 + 3 * b1_2 * b0 + 2 * b1 * b0_2 + b0_3;
    const double Kabb = b1_3 + 2 * b1_2 * b0 + 3 * b1 * b0_2 + 4 * b0_3;
    p.P1 += db * C1;
    p.Pa += db * Ca;
    p.Paa += db * Caa;
    p.Paaa += db * Caaa;
    p.Pb += da * Cb;
    p.Pbb += da * Cbb;
    p.Pbbb += da * Cbbb;
    p.Pab += db * (b1 * Cab + b0 * Kab);
    p.Paab += db * (b1 * Caab + b0 * Kaab);
    p.Pabb += da * (a1 * Cabb + a0 * Kabb);
  }
  p.P1 /= 2.0;
  p.Pa /= 6.0;
  p.Paa /= 12.0;
  p.Paaa /= 20.0;
  p.Pb /= -6.0;
  p.Pbb /= -12.0;
  p.Pbbb /= -20.0;
  p.Pab /= 24.0;
  p.Paab /= 60.0;
  p.Pabb /= -60.0;
  return p;
}

void AddFace(const Face& face, VolumeIntegrals& v) {
  const double n[3] = {face.plane.normal.x, face.plane.normal.y, face.plane.normal.z};
  const double w = face.plane.offset;
  const double ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
  const int C = (ax > ay && ax > az) ? 0 : (ay > az ? 1 : 2);
  const int A = (C + 1) % 3, B = (A + 1) % 3;
  if (n[C] == 0.0) return;  // a face with a zero normal bounds nothing
  const ProjectionIntegrals p = Project(FaceCorners(face), A, B);
  const double k1 = 1.0 / n[C], k2 = k1 * k1, k3 = k2 * k1, k4 = k3 * k1;
  const double nA = n[A], nB = n[B];
  const double Fa = k1 * p.Pa, Fb = k1 * p.Pb;
  const double Fc = -k2 * (nA * p.Pa + nB * p.Pb + w * p.P1);
  const double Faa = k1 * p.Paa, Fbb = k1 * p.Pbb;
  const double Fcc = k3 * (nA * nA * p.Paa + 2 * nA * nB * p.Pab + nB * nB * p.Pbb +
                           w * (2 * (nA * p.Pa + nB * p.Pb) + w * p.P1));
  const double Faaa = k1 * p.Paaa, Fbbb = k1 * p.Pbbb;
  const double Fccc = -k4 * (nA * nA * nA * p.Paaa + 3 * nA * nA * nB * p.Paab + 3 * nA * nB * nB * p.Pabb +
                             nB * nB * nB * p.Pbbb + 3 * w * (nA * nA * p.Paa + 2 * nA * nB * p.Pab + nB * nB * p.Pbb) +
                             w * w * (3 * (nA * p.Pa + nB * p.Pb) + w * p.P1));
  const double Faab = k1 * p.Paab;
  const double Fbbc = -k2 * (nA * p.Pabb + nB * p.Pbbb + w * p.Pbb);
  const double Fcca = k3 * (nA * nA * p.Paaa + 2 * nA * nB * p.Paab + nB * nB * p.Pabb +
                            w * (2 * (nA * p.Paa + nB * p.Pab) + w * p.Pa));
  v.T0 += n[0] * (A == 0 ? Fa : (B == 0 ? Fb : Fc));
  v.T1[A] += nA * Faa;
  v.T1[B] += nB * Fbb;
  v.T1[C] += n[C] * Fcc;
  v.T2[A] += nA * Faaa;
  v.T2[B] += nB * Fbbb;
  v.T2[C] += n[C] * Fccc;
  v.TP[A] += nA * Faab;
  v.TP[B] += nB * Fbbc;
  v.TP[C] += n[C] * Fcca;
}

// Carries a child's integrals through its pose: S' = R S R^T + R m t^T + t (R m)^T + V t t^T.
void AddCarried(const PolyTree& c, double& volume, double m1[3], double S[3][3]) {
  VclipMatrix3 R;
  R.SetFromQuaternion(c.pose().rotation);
  const double t[3] = {c.pose().translation.x, c.pose().translation.y, c.pose().translation.z};
  const double m[3] = {c.firstMoment.x, c.firstMoment.y, c.firstMoment.z};
  const double s[3][3] = {{c.secondMoment.x, c.products.x, c.products.z},
                          {c.products.x, c.secondMoment.y, c.products.y},
                          {c.products.z, c.products.y, c.secondMoment.z}};
  double Rm[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) Rm[i] += R.m[i][j] * m[j];
  volume += c.volume;
  for (int i = 0; i < 3; ++i) m1[i] += Rm[i] + c.volume * t[i];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double rsr = 0.0;
      for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) rsr += R.m[i][k] * s[k][l] * R.m[j][l];
      S[i][j] += rsr + Rm[i] * t[j] + t[i] * Rm[j] + c.volume * t[i] * t[j];
    }
  }
}

}  // namespace

PolyTree::PolyTree(const char* treeName) : name_(treeName ? treeName : "") {}

PolyTree::PolyTree(const PolyTree& other)
    : volume(other.volume),
      firstMoment(other.firstMoment),
      secondMoment(other.secondMoment),
      products(other.products),
      radius(other.radius),
      xform1(other.xform1),
      xform2(other.xform2),
      poly_(other.poly_),
      pose_(other.pose_),
      inversePose_(other.inversePose_),
      name_(other.name_) {
  for (const auto& c : other.children_) children_.push_back(std::make_unique<PolyTree>(*c));
}

PolyTree::~PolyTree() { ClosestFeatureCache::ForgetTreeEverywhere(this); }

void PolyTree::setPolyhedron(std::shared_ptr<Polyhedron> poly) {
  // Cached closest features point into the old polyhedron.
  ClosestFeatureCache::ForgetTreeEverywhere(this);
  poly_ = std::move(poly);
}

void PolyTree::addChild(std::unique_ptr<PolyTree> child) {
  if (child) children_.push_back(std::move(child));
}

void PolyTree::setPose(const Se3& pose) {
  pose_ = pose;
  pose_.rotation.Normalize();
  inversePose_ = Inverse(pose_);
}

const PolyTree* PolyTree::findChild(const char* childName) const {
  for (const auto& c : children_) {
    if (std::strcmp(c->name(), childName) == 0) return c.get();
  }
  return nullptr;
}

int PolyTree::numLeaves() const {
  if (children_.empty()) return 1;
  int leaves = 0;
  for (const auto& c : children_) leaves += c->numLeaves();
  return leaves;
}

int PolyTree::numNodes() const {
  int nodes = 1;
  for (const auto& c : children_) nodes += c->numNodes();
  return nodes;
}

int PolyTree::compoundHull() {
  auto hull = std::make_shared<Polyhedron>();
  for (const auto& c : children_) {
    if (!c->polyhedron()) continue;
    for (const Vertex& v : c->polyhedron()->vertices()) hull->addVertex("", c->pose().Transform(v.coords));
  }
  if (hull->buildHull() != 0) return 1;
  int index = 0;
  for (Vertex& v : hull->vertices()) v.Rename("v" + std::to_string(index++));
  setPolyhedron(std::move(hull));
  return 0;
}

void PolyTree::computeMassProperties() {
  double V = 0.0, m1[3] = {0, 0, 0}, S[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  if (children_.empty()) {
    VolumeIntegrals integrals;
    if (poly_) {
      for (const Face& f : poly_->faces()) AddFace(f, integrals);
    }
    V = integrals.T0;
    for (int i = 0; i < 3; ++i) m1[i] = integrals.T1[i] / 2.0;
    for (int i = 0; i < 3; ++i) S[i][i] = integrals.T2[i] / 3.0;
    S[0][1] = integrals.TP[0] / 2.0;
    S[1][2] = integrals.TP[1] / 2.0;
    S[2][0] = integrals.TP[2] / 2.0;
  } else {
    for (const auto& c : children_) {
      c->computeMassProperties();
      AddCarried(*c, V, m1, S);
    }
  }
  volume = static_cast<float>(V);
  firstMoment.Set(static_cast<float>(m1[0]), static_cast<float>(m1[1]), static_cast<float>(m1[2]));
  secondMoment.Set(static_cast<float>(S[0][0]), static_cast<float>(S[1][1]), static_cast<float>(S[2][2]));
  products.Set(static_cast<float>(S[0][1]), static_cast<float>(S[1][2]), static_cast<float>(S[2][0]));
  // An empty or flat piece has no centroid; measure from the origin rather than divide by 0.
  const VclipVector3 centroid = V > 0.0 ? firstMoment.Scaled(static_cast<float>(1.0 / V)) : VclipVector3();
  radius = 0.0f;
  if (poly_) {
    for (const Vertex& v : poly_->vertices()) {
      const VclipVector3 d(v.coords.x - centroid.x, v.coords.y - centroid.y, v.coords.z - centroid.z);
      radius = std::max(radius, d.Length());
    }
  }
}

void PolyTree::print(std::ostream& out, int depth) const {
  const std::string indent(static_cast<size_t>(4 * depth), ' ');
  out << indent << "polytree " << (name_.empty() && depth > 0 ? "<internal node>" : name_) << "\n" << indent;
  if (children_.empty()) {
    out << "atomic\n";
  } else {
    out << "compound:  " << children_.size() << " children, " << numLeaves() << " leaves, " << numNodes()
        << " total nodes\n";
  }
  out << indent << "volume            " << volume << "\n"
      << indent << "1st moment of vol " << firstMoment << "\n"
      << indent << "2nd moment of vol " << secondMoment << "\n"
      << indent << "product of vol    " << products << "\n"
      << indent << "radius            " << radius << "\n"
      << indent << "pose              " << pose_.rotation << " " << pose_.translation << "\n";
  for (const auto& c : children_) c->print(out, depth + 1);
}
