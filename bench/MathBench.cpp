// Benchmarks of the math value types, each paired with the same work done by Eigen.
#include "core/math/ConvexHullFaces.h"
#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Quaternion.h"
#include "core/math/TMatrix.h"

#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kMatrices = 1024;
constexpr int kPoints = 1 << 20;
constexpr int kPairs = 4096;

std::mt19937& Rng() {
  static std::mt19937 rng(1234);
  return rng;
}

float R() { return std::uniform_real_distribution<float>(-1.0f, 1.0f)(Rng()); }

Quaternion RandomUnitQuaternion() {
  std::normal_distribution<float> g;
  float x = g(Rng()), y = g(Rng()), z = g(Rng()), w = g(Rng());
  const float inv = 1.0f / std::sqrt(x * x + y * y + z * z + w * w);
  return Quaternion(x * inv, y * inv, z * inv, w * inv);
}

// ---- 3x3 products of matrix pairs into an output array.

void BM_TMatrixProduct(benchmark::State& state) {
  std::vector<TMatrix> ms(kMatrices), out(kMatrices / 2);
  for (TMatrix& m : ms) m.Set(R(), R(), R(), R(), R(), R(), R(), R(), R());
  for (auto _ : state) {
    for (int i = 0; i + 1 < kMatrices; i += 2) {
      out[i / 2] = ms[i] * ms[i + 1];
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kMatrices / 2));
}
BENCHMARK(BM_TMatrixProduct);

void BM_EigenMatrix3Product(benchmark::State& state) {
  std::vector<Eigen::Matrix3f> ms(kMatrices), out(kMatrices / 2);
  for (auto& m : ms) m << R(), R(), R(), R(), R(), R(), R(), R(), R();
  for (auto _ : state) {
    for (int i = 0; i + 1 < kMatrices; i += 2) {
      out[i / 2] = ms[i] * ms[i + 1];
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kMatrices / 2));
}
BENCHMARK(BM_EigenMatrix3Product);

// ---- 4x4 products.

void BM_Matrix4Product(benchmark::State& state) {
  std::vector<Matrix4> ms(kMatrices), out(kMatrices / 2);
  for (Matrix4& m : ms)
    for (auto& row : m.m)
      for (float& e : row) e = R();
  for (auto _ : state) {
    for (int i = 0; i + 1 < kMatrices; i += 2) {
      out[i / 2] = ms[i] * ms[i + 1];
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kMatrices / 2));
}
BENCHMARK(BM_Matrix4Product);

void BM_EigenMatrix4Product(benchmark::State& state) {
  std::vector<Eigen::Matrix4f, Eigen::aligned_allocator<Eigen::Matrix4f>> ms(kMatrices), out(kMatrices / 2);
  for (auto& m : ms) m = Eigen::Matrix4f::Random();
  for (auto _ : state) {
    for (int i = 0; i + 1 < kMatrices; i += 2) {
      out[i / 2] = ms[i] * ms[i + 1];
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kMatrices / 2));
}
BENCHMARK(BM_EigenMatrix4Product);

// ---- Frame transforms of 1M points (local to world).

void BM_FrameLocalToWorld(benchmark::State& state) {
  COrientation f;
  RandomUnitQuaternion().ToMatrix(f.axes);
  f.position.Set(R(), R(), R());
  std::vector<Vector3> in(kPoints), out(kPoints);
  for (Vector3& p : in) p.Set(R(), R(), R());
  for (auto _ : state) {
    for (int i = 0; i < kPoints; ++i) out[i] = f.LocalToWorldPoint(in[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_FrameLocalToWorld)->Unit(benchmark::kMillisecond);

void BM_EigenLocalToWorld(benchmark::State& state) {
  // Column-vector form of the same frame: world = R^T p + t with R's rows the axes.
  const Quaternion q = RandomUnitQuaternion();
  const Eigen::Matrix3f rot = Eigen::Quaternionf(q.w, q.x, q.y, q.z).toRotationMatrix();
  const Eigen::Vector3f t(R(), R(), R());
  std::vector<Eigen::Vector3f> in(kPoints), out(kPoints);
  for (auto& p : in) p = Eigen::Vector3f(R(), R(), R());
  for (auto _ : state) {
    for (int i = 0; i < kPoints; ++i) out[i] = rot * in[i] + t;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_EigenLocalToWorld)->Unit(benchmark::kMillisecond);

void BM_FrameWorldToLocal(benchmark::State& state) {
  COrientation f;
  RandomUnitQuaternion().ToMatrix(f.axes);
  f.position.Set(R(), R(), R());
  std::vector<Vector3> in(kPoints), out(kPoints);
  for (Vector3& p : in) p.Set(R(), R(), R());
  for (auto _ : state) {
    for (int i = 0; i < kPoints; ++i) out[i] = f.WorldToLocalPoint(in[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_FrameWorldToLocal)->Unit(benchmark::kMillisecond);

void BM_EigenWorldToLocal(benchmark::State& state) {
  const Quaternion q = RandomUnitQuaternion();
  const Eigen::Matrix3f rot = Eigen::Quaternionf(q.w, q.x, q.y, q.z).toRotationMatrix();
  const Eigen::Matrix3f inv = rot.transpose();
  const Eigen::Vector3f t(R(), R(), R());
  std::vector<Eigen::Vector3f> in(kPoints), out(kPoints);
  for (auto& p : in) p = Eigen::Vector3f(R(), R(), R());
  for (auto _ : state) {
    for (int i = 0; i < kPoints; ++i) out[i] = inv * (in[i] - t);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_EigenWorldToLocal)->Unit(benchmark::kMillisecond);

// ---- Quaternion slerp over pairs at varying t.

void BM_QuaternionSlerp(benchmark::State& state) {
  std::vector<Quaternion> a(kPairs), b(kPairs), out(kPairs);
  for (int i = 0; i < kPairs; ++i) {
    a[i] = RandomUnitQuaternion();
    b[i] = RandomUnitQuaternion();
  }
  for (auto _ : state) {
    for (int i = 0; i < kPairs; ++i) Quaternion::Slerp(out[i], a[i], b[i], float(i & 255) * (1.0f / 255.0f));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPairs);
}
BENCHMARK(BM_QuaternionSlerp);

void BM_EigenQuaternionSlerp(benchmark::State& state) {
  std::vector<Eigen::Quaternionf> a(kPairs), b(kPairs), out(kPairs);
  for (int i = 0; i < kPairs; ++i) {
    const Quaternion qa = RandomUnitQuaternion(), qb = RandomUnitQuaternion();
    a[i] = Eigen::Quaternionf(qa.w, qa.x, qa.y, qa.z);
    b[i] = Eigen::Quaternionf(qb.w, qb.x, qb.y, qb.z);
  }
  for (auto _ : state) {
    for (int i = 0; i < kPairs; ++i) out[i] = a[i].slerp(float(i & 255) * (1.0f / 255.0f), b[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPairs);
}
BENCHMARK(BM_EigenQuaternionSlerp);

}  // namespace

// Hull of n points on a unit sphere, sorted by height (the order that made the old builder scan
// every face for every point): the cost should grow near n log n.
static void BM_ConvexHullSphere(benchmark::State& state) {
  std::mt19937 rng(31);
  std::normal_distribution<float> normal;
  std::vector<Vector3> points;
  while (points.size() < static_cast<size_t>(state.range(0))) {
    const Vector3 q(normal(rng), normal(rng), normal(rng));
    const float length = q.Length();
    if (length > 1e-3f) points.push_back(q * (1.0f / length));
  }
  std::sort(points.begin(), points.end(), [](const Vector3& a, const Vector3& b) { return a.z < b.z; });
  std::vector<ConvexHullTriangle> faces;
  for (auto _ : state) {
    BuildConvexHullFaces(points.data(), static_cast<uint32_t>(points.size()), faces);
    benchmark::DoNotOptimize(faces.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ConvexHullSphere)->RangeMultiplier(4)->Range(1024, 65536)->Unit(benchmark::kMillisecond)->Complexity();
