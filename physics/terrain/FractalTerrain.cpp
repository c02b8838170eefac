// FractalTerrain: grid creation and the midpoint-displacement recursion.
#include "physics/terrain/FractalTerrain.h"

#include <cmath>
#include <memory>
#include <vector>

#include "platform/system/Platform.h"
#include "platform/system/Win32.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

// Uniform in [0, 1] from the game's 15-bit generator; the divisor must match its range or
// the heights would leave the box.
float Unit() { return static_cast<float>(plat::rand()) / static_cast<float>(plat::kRandMax); }

Vector3 SquareNormal(const Vector3& q00, const Vector3& q10, const Vector3& q01, const Vector3& q11) {
  Vector3 n = (q10 - q00).Cross(q01 - q00) + (q01 - q11).Cross(q10 - q11);
  const float length = n.Length();
  if (length != 0.0f) n = n * (1.0f / length);
  return n;
}

// Roughness outside [0, 1] (or NaN) must not scale the displacement past the height range.
float ClampRoughness(float r) {
  if (!(r > 0.0f)) return 0.0f;
  return r > 1.0f ? 1.0f : r;
}

void Displace(Vector3* p, uint32_t x, uint32_t y, uint32_t h, uint32_t n, float range, float roughness,
              bool alongZ) {
  auto at = [&](uint32_t i, uint32_t j) -> Vector3& { return p[static_cast<size_t>(j) * n + i]; };
  const Vector3 q00 = at(x, y), q10 = at(x + 2 * h, y), q01 = at(x, y + 2 * h), q11 = at(x + 2 * h, y + 2 * h);
  const Vector3 normal = alongZ ? Vector3(0.0f, 0.0f, 1.0f) : SquareNormal(q00, q10, q01, q11);
  const float a = ClampRoughness(roughness) * range;
  // Draw order is part of the result: a seed must always give the same surface.
  auto mid = [&](const Vector3& s, const Vector3& e) { return (s + e) * 0.5f + normal * (Unit() * a - a * 0.5f); };
  at(x + h, y) = mid(q00, q10);
  at(x, y + h) = mid(q00, q01);
  at(x + h, y + h) = mid(q00, q11);
  at(x + 2 * h, y + h) = mid(q10, q11);
  at(x + h, y + 2 * h) = mid(q01, q11);
  if (h <= 1) return;
  const uint32_t q = h / 2;
  const float next = roughness * 0.5f;
  Displace(p, x, y, q, n, range, next, alongZ);
  Displace(p, x + h, y, q, n, range, next, alongZ);
  Displace(p, x, y + h, q, n, range, next, alongZ);
  Displace(p, x + h, y + h, q, n, range, next, alongZ);
}

}  // namespace

bool DisplaceTerrainMidpoints(Vector3* positions, uint32_t x, uint32_t y, uint32_t half, uint32_t rowLength,
                              float range, float roughness, bool alongZ) {
  // The recursion stays inside its first square, so checking that square bounds every write.
  const uint64_t span = 2 * static_cast<uint64_t>(half);
  if (!positions || half == 0 || x + span >= rowLength || y + span >= rowLength) {
    OutputDebugStringA("FractalTerrain: displacement square outside the grid\n");
    return false;
  }
  Displace(positions, x, y, half, rowLength, range, roughness, alongZ);
  return true;
}

std::unique_ptr<ShadedMesh> GenerateFractalTerrain(const float* box, float roughness, uint32_t levels,
                                                   CTextureProperties* const* textures, bool alongZ) {
  if (!box) {
    OutputDebugStringA("FractalTerrain: no box\n");
    return nullptr;
  }
  if (levels > kMaxFractalTerrainLevels) {
    OutputDebugStringA("FractalTerrain: too many levels for 16-bit face indices\n");
    return nullptr;
  }
  const float range = box[5] - box[2];
  const uint32_t n = (1u << levels) + 1;
  auto mesh = std::make_unique<ShadedMesh>();
  if (!mesh->CreateGrid(n, textures, 1)) return nullptr;
  mesh->SetFaceAttributes(std::vector<uint32_t>(mesh->faceCount, 0).data());

  Vector3* p = mesh->positions;
  const uint32_t last = n - 1;
  // Each corner draws its own height, in this order.
  const float z = box[2];
  p[0] = Vector3(box[0], box[1], z + Unit() * range);
  p[last] = Vector3(box[0], box[4], z + Unit() * range);
  p[last * n] = Vector3(box[3], box[1], z + Unit() * range);
  p[last * n + last] = Vector3(box[3], box[4], z + Unit() * range);
  if (levels > 0) Displace(p, 0, 0, 1u << (levels - 1), n, range, roughness, alongZ);
  return mesh;
}
