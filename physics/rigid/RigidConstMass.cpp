#include "physics/rigid/RigidConstMass.h"

#include "core/data/DebugPrintf.h"
#include "physics/rigid/RigidBodyMath.h"

namespace {

constexpr float kBallOffset = 0.7745966f;  // sqrt(0.6)

TMatrix PointInertia(const Vector3& d, float m) {
  TMatrix r = RigidMath::ScaledIdentity(m * d.LengthSquared());
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] -= m * d[i] * d[j];
  return r;
}

}  // namespace

Vector3 RigidMassProperties::SetFromPointMasses(const RigidPointMass* masses, uint32_t count) {
  float total = 0.0f;
  Vector3 weighted(0.0f, 0.0f, 0.0f);
  for (uint32_t i = 0; masses && i < count; ++i) {
    total += masses[i].mass;
    weighted += masses[i].position * masses[i].mass;
  }
  if (!(total > 0.0f)) {
    mass = 0.0f;
    inverseMass = 0.0f;
    inertia.SetIdentity();
    inverseInertia = RigidMath::ScaledIdentity(0.0f);
    return Vector3(0.0f, 0.0f, 0.0f);
  }
  const Vector3 c = weighted * (1.0f / total);
  TMatrix sum = RigidMath::ScaledIdentity(0.0f);
  for (uint32_t i = 0; i < count; ++i) {
    const float m6 = masses[i].mass / 6.0f;
    const float off = kBallOffset * masses[i].radius;
    for (int axis = 0; axis < 3; ++axis) {
      for (float sign : {-1.0f, 1.0f}) {
        Vector3 p = masses[i].position;
        p[axis] += sign * off;
        sum = sum + PointInertia(p - c, m6);
      }
    }
  }
  mass = total;
  inverseMass = 1.0f / total;
  inertia = sum;
  if (!RigidMath::Inverse(inertia, inverseInertia)) {
    // Point masses on one line have no inertia about it; such a body does not turn.
    DebugPrintf("RigidMassProperties: inertia is singular; the body will not rotate\n");
    inverseInertia = RigidMath::ScaledIdentity(0.0f);
  }
  return c;
}

namespace RigidMassDistribution {

Vector3 Centroid(const Vector3* points, const float* masses, uint32_t count) {
  float total = 0.0f;
  Vector3 sum(0.0f, 0.0f, 0.0f);
  for (uint32_t i = 0; i < count; ++i) {
    total += masses[i];
    sum += points[i] * masses[i];
  }
  return total != 0.0f ? sum * (1.0f / total) : Vector3(0.0f, 0.0f, 0.0f);
}

TMatrix Inertia(const Vector3* points, const float* masses, uint32_t count, const Vector3& about) {
  TMatrix sum = RigidMath::ScaledIdentity(0.0f);
  for (uint32_t i = 0; i < count; ++i) sum = sum + PointInertia(points[i] - about, masses[i]);
  return sum;
}

void Lattice(const Box& box, uint32_t nx, uint32_t ny, uint32_t nz, std::vector<Vector3>& out) {
  out.clear();
  if (nx == 0 || ny == 0 || nz == 0) return;
  const Vector3 size = box.max - box.min;
  for (uint32_t i = 0; i < nx; ++i)
    for (uint32_t j = 0; j < ny; ++j)
      for (uint32_t k = 0; k < nz; ++k)
        out.emplace_back(box.min.x + size.x * (i + 0.5f) / nx, box.min.y + size.y * (j + 0.5f) / ny,
                         box.min.z + size.z * (k + 0.5f) / nz);
}

void BoxesCentroidAndInertia(const Box* boxes, const float* masses, uint32_t count, Vector3& centroid,
                             TMatrix& inertia) {
  std::vector<Vector3> points, cell;
  std::vector<float> weights;
  for (uint32_t b = 0; b < count; ++b) {
    Lattice(boxes[b], 16, 16, 16, cell);
    points.insert(points.end(), cell.begin(), cell.end());
    weights.insert(weights.end(), cell.size(), masses[b] * 0.00024414063f);
  }
  const uint32_t n = static_cast<uint32_t>(points.size());
  centroid = Centroid(points.data(), weights.data(), n);
  inertia = Inertia(points.data(), weights.data(), n, centroid);
}

}  // namespace RigidMassDistribution
