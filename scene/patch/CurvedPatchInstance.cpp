// CurvedPatchInstance: level selection from the camera, edge matching between neighbours,
// and the tessellation of the parameter square.
#include "scene/patch/CurvedPatchInstance.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "core/math/ViewFrustum.h"
#include "core/math/Vector2.h"
#include "platform/system/Win32.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/TextureProperties.h"
#include "scene/patch/CurvedPatch.h"

namespace {

constexpr float kCurvatureUnit = 3.14159265f / 256.0f;
constexpr float kErrorLimit = 0.1f;
constexpr float kObjectLevelSlack = 0.1f;
constexpr float kCameraMoveSquared = 1024.0f;  // 32 units
constexpr float kNearestPatchDistance = 32.0f;
constexpr uint16_t kInitialLevel = 3;
constexpr uint32_t kTranslucentTextureFlags = 0xC;
constexpr int kMaxEdgeVertices = CurvedPatchLOD::kMaxSegments + 1;
constexpr int kMaxVertices = (CurvedPatchLOD::kMaxSegments - 1) * (CurvedPatchLOD::kMaxSegments - 1) +
                             4 * CurvedPatchLOD::kMaxSegments;

int ClampLevel(int level) { return std::max(0, std::min<int>(CurvedPatchLOD::kMaxLevel, level)); }

// Raises the level from `start` while the error is above the limit, halving it per level.
uint16_t LevelForError(float error, int start) {
  int level = start;
  while (error > kErrorLimit && level < CurvedPatchLOD::kMaxLevel) {
    error *= 0.5f;
    ++level;
  }
  return static_cast<uint16_t>(level);
}

// Vertex numbering of a tessellation (see Tessellate for the order).
struct Layout {
  int e[4];
  int nu, nv;
  bool inner;
  int base2, base3, base1;
  int vertexCount, triangleCount;

  explicit Layout(const CurvedPatchLOD& lod) {
    int sum = 0;
    for (int k = 0; k < 4; ++k) {
      // A count outside 1..16 would divide by zero or overrun the 16-bit indices.
      e[k] = std::max(1, std::min<int>(CurvedPatchLOD::kMaxSegments, lod.segments[k]));
      sum += e[k];
    }
    nu = (e[0] + e[2]) / 2;
    nv = (e[1] + e[3]) / 2;
    inner = nu > 1 && nv > 1;
    const int innerCount = inner ? (nu - 1) * (nv - 1) : 0;
    base2 = e[0] + 1 + innerCount;
    base3 = base2 + e[2] + 1;
    base1 = base3 + e[3] - 1;
    vertexCount = sum + innerCount;
    triangleCount = inner ? 2 * (nu - 2) * (nv - 2) + 2 * (nu + nv) + sum - 8 : sum - 2;
  }
  int Edge0(int i) const { return i; }
  int Edge2(int i) const { return base2 + i; }
  int Edge3(int i) const { return i == 0 ? 0 : (i == e[3] ? base2 : base3 + i - 1); }
  int Edge1(int i) const { return i == 0 ? e[0] : (i == e[1] ? base2 + e[2] : base1 + i - 1); }
  int Inner(int i, int j) const { return e[0] + 1 + (j - 1) * (nu - 1) + (i - 1); }
};

void FillParameters(const Layout& L, Vector2* uv) {
  for (int i = 0; i <= L.e[0]; ++i) uv[L.Edge0(i)] = Vector2(float(i) / L.e[0], 0.0f);
  for (int i = 0; i <= L.e[2]; ++i) uv[L.Edge2(i)] = Vector2(float(i) / L.e[2], 1.0f);
  for (int i = 1; i < L.e[3]; ++i) uv[L.Edge3(i)] = Vector2(0.0f, float(i) / L.e[3]);
  for (int i = 1; i < L.e[1]; ++i) uv[L.Edge1(i)] = Vector2(1.0f, float(i) / L.e[1]);
  if (!L.inner) return;
  for (int j = 1; j < L.nv; ++j) {
    for (int i = 1; i < L.nu; ++i) uv[L.Inner(i, j)] = Vector2(float(i) / L.nu, float(j) / L.nv);
  }
}

// Collects triangles; with no buffer it only counts them.
struct TriangleSink {
  uint8_t* out;
  size_t stride;
  int count = 0;
  void Emit(int a, int b, int c) {
    if (out) {
      const uint16_t idx[3] = {uint16_t(a), uint16_t(b), uint16_t(c)};
      std::memcpy(out + stride * count, idx, sizeof(idx));
    }
    ++count;
  }
};

bool Degenerate(const Vector2& p, const Vector2& q, const Vector2& r) {
  // The parameters are multiples of 1/16 and smaller powers of two, so this is exact.
  return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x) == 0.0f;
}

// Joins two chains of vertices that run side by side in the same direction. Each step
// emits one triangle from the two current vertices and the next vertex of one chain: the
// chain whose next parameter lands closer to the other's current one (on a tie chain b,
// the inner one, advances). A step that would make a zero-area triangle, or leave a chain
// end whose remaining fan is flat, goes to the other chain instead; only the border-only
// layout has collinear runs where that matters. aOnRight: chain a lies to the right of the
// direction of travel, which fixes the winding to counter-clockwise.
class Band {
 public:
  Band(const int* a, int na, const int* b, int nb, const Vector2* uv, int axis, bool aOnRight)
      : m_a(a), m_na(na), m_b(b), m_nb(nb), m_uv(uv), m_axis(axis), m_aOnRight(aOnRight) {}

  void Walk(TriangleSink& sink) const {
    int i = 0, j = 0;
    while (i < m_na - 1 || j < m_nb - 1) {
      const bool advanceA = ChooseA(i, j);
      if (advanceA) {
        Emit(sink, m_a[i], m_a[i + 1], m_b[j], true);
        ++i;
      } else {
        Emit(sink, m_b[j], m_b[j + 1], m_a[i], false);
        ++j;
      }
    }
  }

 private:
  float Param(int vertex) const { return m_axis == 0 ? m_uv[vertex].x : m_uv[vertex].y; }

  bool ChooseA(int i, int j) const {
    const bool canA = i < m_na - 1, canB = j < m_nb - 1;
    if (!canA || !canB) return canA;
    const float da = std::fabs(Param(m_a[i + 1]) - Param(m_b[j]));
    const float db = std::fabs(Param(m_b[j + 1]) - Param(m_a[i]));
    const bool preferA = da < db;
    if (preferA ? MoveOkA(i, j) : MoveOkB(i, j)) return preferA;
    return preferA ? !MoveOkB(i, j) : MoveOkA(i, j);
  }
  bool MoveOkA(int i, int j) const {
    if (Degenerate(m_uv[m_a[i]], m_uv[m_a[i + 1]], m_uv[m_b[j]])) return false;
    return i + 1 < m_na - 1 || FanFlatFree(m_a[i + 1], m_b, j, m_nb);
  }
  bool MoveOkB(int i, int j) const {
    if (Degenerate(m_uv[m_b[j]], m_uv[m_b[j + 1]], m_uv[m_a[i]])) return false;
    return j + 1 < m_nb - 1 || FanFlatFree(m_b[j + 1], m_a, i, m_na);
  }
  // Whether the fan from `hub` over chain[from..n-1] has no zero-area triangle.
  bool FanFlatFree(int hub, const int* chain, int from, int n) const {
    for (int k = from; k + 1 < n; ++k) {
      if (Degenerate(m_uv[hub], m_uv[chain[k]], m_uv[chain[k + 1]])) return false;
    }
    return true;
  }
  // (p, next) are the advancing chain's current and next vertex, q the other's current.
  void Emit(TriangleSink& sink, int p, int next, int q, bool onA) const {
    const bool ccwForward = onA == m_aOnRight;  // the advancing chain is on the right
    if (ccwForward) {
      sink.Emit(p, next, q);
    } else {
      sink.Emit(p, q, next);
    }
  }

  const int* m_a;
  int m_na;
  const int* m_b;
  int m_nb;
  const Vector2* m_uv;
  int m_axis;
  bool m_aOnRight;
};

// No inner grid: the border alone, as one band from corner (0, 0) to corner (1, 1) between
// edges 0 and 1 on one side and edges 3 and 2 on the other.
void TessellateBorder(const Layout& L, const Vector2* uv, TriangleSink& sink) {
  int a[2 * kMaxEdgeVertices], b[2 * kMaxEdgeVertices];
  int na = 0, nb = 0;
  for (int i = 0; i <= L.e[0]; ++i) a[na++] = L.Edge0(i);
  for (int i = 1; i <= L.e[1]; ++i) a[na++] = L.Edge1(i);
  for (int i = 1; i <= L.e[3]; ++i) b[nb++] = L.Edge3(i);
  for (int i = 1; i < L.e[2]; ++i) b[nb++] = L.Edge2(i);
  // The shared start (0, 0) belongs to chain a only; the chain-b walk begins beside it.
  const int axis = L.nv <= 1 ? 0 : 1;
  Band(a, na, b, nb, uv, axis, true).Walk(sink);
}

void TessellateGrid(const Layout& L, const Vector2* uv, TriangleSink& sink) {
  int edge[kMaxEdgeVertices], inner[kMaxEdgeVertices];
  int ne = 0, ni = 0;
  auto innerRow = [&](int j) {
    ni = 0;
    for (int i = 1; i < L.nu; ++i) inner[ni++] = L.Inner(i, j);
  };
  auto innerColumn = [&](int i) {
    ni = 0;
    for (int j = 1; j < L.nv; ++j) inner[ni++] = L.Inner(i, j);
  };

  for (int i = 0; i <= L.e[0]; ++i) edge[ne++] = L.Edge0(i);
  innerRow(1);
  Band(edge, ne, inner, ni, uv, 0, true).Walk(sink);

  for (int j = 1; j + 1 < L.nv; ++j) {
    for (int i = 1; i + 1 < L.nu; ++i) {
      const int p00 = L.Inner(i, j), p10 = L.Inner(i + 1, j);
      const int p01 = L.Inner(i, j + 1), p11 = L.Inner(i + 1, j + 1);
      sink.Emit(p00, p10, p11);
      sink.Emit(p00, p11, p01);
    }
  }

  ne = 0;
  for (int i = 0; i <= L.e[2]; ++i) edge[ne++] = L.Edge2(i);
  innerRow(L.nv - 1);
  Band(edge, ne, inner, ni, uv, 0, false).Walk(sink);

  ne = 0;
  for (int i = 0; i <= L.e[3]; ++i) edge[ne++] = L.Edge3(i);
  innerColumn(1);
  Band(edge, ne, inner, ni, uv, 1, false).Walk(sink);

  ne = 0;
  for (int i = 0; i <= L.e[1]; ++i) edge[ne++] = L.Edge1(i);
  innerColumn(L.nu - 1);
  Band(edge, ne, inner, ni, uv, 1, true).Walk(sink);
}

// Fast distance estimate used throughout level selection (tuned to it, not to the true length).
float FastDistance(const Vector3& a, const Vector3& b) { return (a - b).ApproxLength(); }

}  // namespace

bool CurvedPatchInstance::Init(const CurvedPatch* patches, CMeshInstance* instance, float tolerance,
                               bool withCollision) {
  (void)tolerance;  // the levels below follow fixed error limits; kept for the callers' contract
  m_instance = nullptr;
  m_patches = nullptr;
  m_render.clear();
  m_collision.clear();
  m_treeSlots.clear();
  m_hasCollision = false;
  m_faceLevelValid = m_objectLevelValid = false;
  m_lastCamera = Vector3();
  m_lastObjectLevel = 0.0f;
  m_world = COrientation();
  m_worldScale = 1.0f;
  m_meshRadius = 0.0f;
  if (!patches) {
    OutputDebugStringA("CurvedPatchInstance: no patch data\n");
    return false;
  }
  m_instance = instance;
  m_patches = patches;
  const uint32_t count = patches->GetPatchCount();
  m_render.assign(count, CurvedPatchLOD());
  for (CurvedPatchLOD& lod : m_render) lod.level = kInitialLevel;
  float radius = 0.0f;
  for (uint32_t i = 0; i < patches->GetControlVertexCount(); ++i) {
    radius = std::max(radius, patches->GetVertex(i).position.Length());
  }
  m_meshRadius = radius;
  SetEdgeLevels();
  if (withCollision) {
    m_hasCollision = true;
    m_collision = m_render;
    m_treeSlots.assign(count, kNoTreeSlot);
  }
  return true;
}

void CurvedPatchInstance::SetPlacement(const COrientation& world, float worldScale, float meshRadius) {
  m_world = world;
  m_worldScale = worldScale;
  m_meshRadius = meshRadius;
}

void CurvedPatchInstance::RefreshPlacement() const {
  // Without an owner (patches tested on their own) the placement given last stands.
  if (m_instance != nullptr) m_instance->RefreshWorld();
}

void CurvedPatchInstance::UpdateLOD(const ViewFrustum& camera) {
  if (!m_patches || m_render.empty()) return;
  RefreshPlacement();
  // A zero (or broken) field of view would divide by zero below; the smallest positive
  // tangent gives the finest levels, which is what an infinitely narrow view wants.
  float t = camera.GetTanHalfFov();
  if (!(t >= 1e-6f) || !std::isfinite(t)) t = 1e-6f;
  const float distance = FastDistance(m_world.GetPosition(), camera.GetFrame().GetPosition());
  const float radius = m_meshRadius;
  // The far pass divides by the distance beyond the mesh's sphere, so it needs the camera
  // strictly outside it (D >= 3R alone admits D = R = 0, giving 0/0).
  if (distance >= 3.0f * radius && distance > radius) {
    UpdateObjectLevel(camera, distance, t);
  } else {
    UpdateFaceLevel(camera, t);
  }
}

float CurvedPatchInstance::PatchError(uint32_t patch) const {
  const CurvedPatchRecord& r = m_patches->GetPatch(patch);
  if (r.IsEmpty() || !m_patches->IsGridInside(patch)) return 0.0f;
  const float span = FastDistance(m_patches->GetControlVertex(patch, 0, 0).position,
                                  m_patches->GetControlVertex(patch, 3, 3).position);
  const float angle = std::max(r.curvature[0], r.curvature[1]) * kCurvatureUnit;
  return m_worldScale * angle * span;
}

void CurvedPatchInstance::UpdateObjectLevel(const ViewFrustum& camera, float distance, float t) {
  float denominator = (distance - m_meshRadius) * t;
  if (!(denominator > 0.0f)) denominator = FLT_MIN;
  const float value = m_meshRadius / denominator;
  if (m_objectLevelValid && std::fabs(value - m_lastObjectLevel) <= kObjectLevelSlack) return;
  DebugPrintf("Patch Updating Object-Level LOD: CamFOV = %f\n", camera.GetFieldOfView());
  OutputDebugStringA("Patch Updating Mesh-Level LOD\n");
  m_lastObjectLevel = value;
  m_objectLevelValid = true;
  m_faceLevelValid = false;
  for (uint32_t p = 0; p < m_render.size(); ++p) {
    m_render[p].level = LevelForError(PatchError(p) / denominator, kInitialLevel);
  }
  SetEdgeLevels();
}

void CurvedPatchInstance::UpdateFaceLevel(const ViewFrustum& camera, float t) {
  const Vector3 eye = camera.GetFrame().GetPosition();
  if (m_faceLevelValid && (eye - m_lastCamera).LengthSquared() <= kCameraMoveSquared) return;
  DebugPrintf("Patch Updating Face-Level LOD: CamFOV = %f\n", camera.GetFieldOfView());
  m_lastCamera = eye;
  m_faceLevelValid = true;
  m_objectLevelValid = false;
  // Into the instance's frame; the axes may carry scale, so each is divided out.
  const Vector3 offset = eye - m_world.GetPosition();
  Vector3 local;
  for (int k = 0; k < 3; ++k) {
    const Vector3& axis = m_world.GetMatrix().m[k];
    const float lengthSquared = axis.LengthSquared();
    local[k] = lengthSquared > 0.0f ? offset.Dot(axis) / lengthSquared : 0.0f;
  }
  for (uint32_t p = 0; p < m_render.size(); ++p) {
    if (!m_patches->IsGridInside(p)) continue;
    const Vector3& first = m_patches->GetVertex(m_patches->GetPatch(p).firstVertex).position;
    const float d = std::max(FastDistance(local, first), kNearestPatchDistance);
    m_render[p].level = LevelForError(PatchError(p) / (t * d), 0);
  }
  SetEdgeLevels();
}

void CurvedPatchInstance::SetLevel(uint32_t patch, int level) {
  if (patch < m_render.size()) m_render[patch].level = static_cast<uint16_t>(ClampLevel(level));
}

void CurvedPatchInstance::SetEdgeLevels() {
  if (!m_patches) return;
  const uint32_t count = static_cast<uint32_t>(m_render.size());
  for (uint32_t p = 0; p < count; ++p) {
    const CurvedPatchRecord& r = m_patches->GetPatch(p);
    const int level = ClampLevel(m_render[p].level);
    for (int k = 0; k < 4; ++k) {
      const uint16_t n = r.neighbours[k];
      // Offsets are exponents: clamped so a count never leaves 1..16 (a larger one would
      // overflow the byte, a negative one would truncate to 0 and divide by zero later).
      const int offset = ClampLevel(r.levelOffsets[k]);
      int exponent;
      if (n == CurvedPatchRecord::kFixedLevel) {
        exponent = std::max(level, offset);
      } else if (n >= count) {
        exponent = level;  // open edge (or a neighbour that does not exist)
      } else if (offset != 0) {
        const int theirOffset = ClampLevel(m_patches->GetPatch(n).levelOffsets[r.NeighbourEdge(k)]);
        exponent = std::max<int>(ClampLevel(m_render[n].level), theirOffset) - offset;
      } else {
        exponent = (ClampLevel(m_render[n].level) + level) / 2;
      }
      m_render[p].segments[k] = static_cast<uint8_t>(1 << ClampLevel(exponent));
    }
    Tessellate(m_render[p], nullptr, 0, nullptr, 0);
  }
}

void CurvedPatchInstance::Tessellate(CurvedPatchLOD& lod, void* triangles, size_t triangleStride,
                                     void* vertices, size_t vertexStride) {
  const Layout layout(lod);
  lod.vertexCount = static_cast<uint16_t>(layout.vertexCount);
  lod.triangleCount = static_cast<uint16_t>(layout.triangleCount);
  if (!triangles && !vertices) return;
  Vector2 uv[kMaxVertices];
  FillParameters(layout, uv);
  if (vertices) {
    uint8_t* out = static_cast<uint8_t*>(vertices);
    for (int i = 0; i < layout.vertexCount; ++i) std::memcpy(out + vertexStride * i, &uv[i], sizeof(Vector2));
  }
  if (!triangles) return;
  TriangleSink sink{static_cast<uint8_t*>(triangles), triangleStride};
  if (layout.inner) {
    TessellateGrid(layout, uv, sink);
  } else {
    TessellateBorder(layout, uv, sink);
  }
}

bool CurvedPatchInstance::IsFaceTranslucent(uint32_t face) const {
  const ShadedMesh* mesh = m_instance != nullptr ? m_instance->GetMesh() : nullptr;
  if (!mesh || !m_patches || face >= m_patches->GetFaceCount()) return false;
  const std::vector<CTextureProperties*>& table = mesh->textureOwner->textures;
  for (uint16_t index : m_patches->GetFace(face).textures) {
    const CTextureProperties* texture = index < table.size() ? table[index] : nullptr;
    if (texture && texture->HasAnyFlag(kTranslucentTextureFlags)) return true;
  }
  return false;
}

Box CurvedPatchInstance::GetWorldBounds(uint32_t patch) const {
  RefreshPlacement();
  if (!m_patches || !m_patches->IsGridInside(patch)) return Box(m_world.position, m_world.position);
  const Vector3 first = m_world.LocalToWorldPoint(m_patches->GetControlVertex(patch, 0, 0).position);
  Box box(first, first);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      box.ExtendByPoint(m_world.LocalToWorldPoint(m_patches->GetControlVertex(patch, c, r).position));
    }
  }
  return box;
}

Box CurvedPatchInstance::GetAllWorldBounds() const {
  RefreshPlacement();
  if (!m_patches || m_patches->GetControlVertexCount() == 0) return Box(m_world.position, m_world.position);
  const Vector3 first = m_world.LocalToWorldPoint(m_patches->GetVertex(0).position);
  Box box(first, first);
  for (uint32_t i = 1; i < m_patches->GetControlVertexCount(); ++i) {
    box.ExtendByPoint(m_world.LocalToWorldPoint(m_patches->GetVertex(i).position));
  }
  return box;
}
