// TerrainPatchBuilder: gathering correspondences between patches and triangles, and their angular order.
#include "physics/terrain/TerrainDataBuilder.h"

#include <algorithm>
#include <cmath>

#include "core/math/Box.h"
#include "core/data/DebugPrintf.h"
#include "core/math/MathUtil.h"
#include "core/math/Vector2.h"
#include "core/math/RayInfo.h"
#include "physics/terrain/TerrainTriangleTree.h"
#include "platform/system/Win32.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"

namespace {

constexpr int kChords = 8;

// Segment query that only meets surfaces it crosses from their front: a face corner looks
// for the patch facing the same way as the mesh, not for one folded back under it.
struct FrontSegment : RayInfo {
  FrontSegment(const Vector3& from, const Vector3& to) : RayInfo(from, to) {}
  void GetBounds(Box& out) const {
    out.SetFromPoints(start, end);
    out.Inflate(Vector3(0.1f, 0.1f, 0.1f));
  }
  bool IntersectPolygon(const Vector3& a, const Vector3& b, const Vector3& k, const Vector3& n, bool parallelogram,
                        const Box* box) {
    if (!(n.Dot(end - start) < 0.0f)) return false;
    return IntersectTriangle(a, b, k, n, parallelogram, box);
  }
};

Vector3 Unit(const Vector3& v) {
  const float length = v.Length();
  return length != 0.0f ? v * (1.0f / length) : v;
}

// One face of the triangle mesh, in the form the gathering steps use.
struct Face {
  Vector3 p[3];
  Vector2 tc[3];
  Vector3 normal;
  uint32_t texture;
};

Face ReadFace(const ShadedMesh& mesh, uint32_t f) {
  Face face;
  face.texture = mesh.faceRecords ? mesh.faceRecords[f].textureSlot : ShadedMesh::kNone;
  for (int k = 0; k < 3; ++k) {
    face.p[k] = mesh.positions[mesh.indices[3 * f + k]];
    const uint32_t uv = mesh.faceRecords ? mesh.faceRecords[f].corners[k].uv : ShadedMesh::kNone;
    face.tc[k] = (mesh.uvs && uv < mesh.uvCount) ? mesh.uvs[uv] : Vector2(0.0f, 0.0f);
  }
  face.normal = Unit((face.p[2] - face.p[0]).Cross(face.p[1] - face.p[0]));
  return face;
}

// The texture coordinate at barycentric (u, v): along corner 0 to 1 and corner 0 to 2.
Vector2 FaceTexture(const Face& face, float u, float v) {
  return face.tc[0] + (face.tc[1] - face.tc[0]) * u + (face.tc[2] - face.tc[0]) * v;
}

class Gatherer {
 public:
  Gatherer(const CurvedPatchInstance& patches, const Vector3& normal, float distance)
      : m_owner(patches), m_data(*patches.GetPatches()), m_offset(normal * distance) {}

  void Collect(const Face& face, uint32_t patch, std::vector<PatchTextureRecord::Point>& out) const {
    FaceCornersOnPatch(face, patch, out);
    PatchCornersOnFace(face, patch, out);
    BordersThroughEdgeWalls(face, patch, out);
  }

 private:
  void FaceCornersOnPatch(const Face& face, uint32_t patch, std::vector<PatchTextureRecord::Point>& out) const {
    for (int k = 0; k < 3; ++k) {
      const TriTree* tree = TriTree::ensureBuilt(&m_owner, patch);
      if (!tree) return;
      FrontSegment q(face.p[k] + m_offset, face.p[k] - m_offset);
      if (TriTree::query(*tree, q)) out.push_back({q.result.u, q.result.v, face.tc[k].x, face.tc[k].y});
    }
  }

  void PatchCornersOnFace(const Face& face, uint32_t patch, std::vector<PatchTextureRecord::Point>& out) const {
    static const int kCorners[4][2] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};  // (column, row)
    for (const auto& corner : kCorners) {
      const Vector3 v = m_data.GetControlVertex(patch, corner[0], corner[1]).position;
      RayInfo q(v + m_offset, v - m_offset);
      if (!q.IntersectTriangle(face.p[0], face.p[1], face.p[2], face.normal, false, nullptr)) continue;
      const Vector2 tc = FaceTexture(face, q.result.u, q.result.v);
      out.push_back({corner[0] / 3.0f, corner[1] / 3.0f, tc.x, tc.y});
    }
  }

  void BordersThroughEdgeWalls(const Face& face, uint32_t patch, std::vector<PatchTextureRecord::Point>& out) const {
    struct Border {
      int cells[4][2];  // (column, row) of its control vertices
      float from[2], to[2];
    };
    static const Border kBorders[4] = {
        {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {0, 0}, {1, 0}},
        {{{3, 0}, {3, 1}, {3, 2}, {3, 3}}, {1, 0}, {1, 1}},
        {{{3, 3}, {2, 3}, {1, 3}, {0, 3}}, {1, 1}, {0, 1}},
        {{{0, 3}, {0, 2}, {0, 1}, {0, 0}}, {0, 1}, {0, 0}},
    };
    for (int e = 0; e < 3; ++e) {
      const Vector3& e0 = face.p[e];
      const Vector3& e1 = face.p[(e + 1) % 3];
      // The wall stands over the edge, reaching the search distance to either side.
      const Vector3 a = e0 - m_offset, b = e1 - m_offset, k = e0 + m_offset;
      const Vector3 wallNormal = Unit((b - a).Cross(k - a));
      for (const Border& border : kBorders) {
        Vector3 cv[4];
        for (int i = 0; i < 4; ++i) cv[i] = m_data.GetControlVertex(patch, border.cells[i][0], border.cells[i][1]).position;
        Vector3 chordStart = cv[0];
        for (int i = 0; i < kChords; ++i) {
          const float t0 = float(i) / kChords, t1 = float(i + 1) / kChords;
          Vector3 chordEnd;
          EvaluateCubicBezier(chordEnd, t1, cv[0], cv[1], cv[2], cv[3]);
          RayInfo chord(chordStart, chordEnd);
          chordStart = chordEnd;
          if (!chord.IntersectTriangle(a, b, k, wallNormal, true, nullptr)) continue;
          const float t = t0 + (t1 - t0) * chord.result.time;
          const float along = chord.result.u;  // position on the edge, e0 at 0 and e1 at 1
          const Vector2 tc = face.tc[e] + (face.tc[(e + 1) % 3] - face.tc[e]) * along;
          out.push_back({border.from[0] + t * (border.to[0] - border.from[0]),
                         border.from[1] + t * (border.to[1] - border.from[1]), tc.x, tc.y});
        }
      }
    }
  }

  const CurvedPatchInstance& m_owner;
  const CurvedPatch& m_data;
  Vector3 m_offset;
};

// Points gathered on one patch all lie in the unit parameter square, so angles about the
// parameter origin would only spread them over a quarter turn and order a ring of points
// by which way it faces the origin. Ordering about their own mean goes once around them.
void SortByAngle(std::vector<PatchTextureRecord::Point>& points) {
  float cu = 0.0f, cv = 0.0f;
  for (const auto& p : points) {
    cu += p.u;
    cv += p.v;
  }
  cu /= float(points.size());
  cv /= float(points.size());
  std::stable_sort(points.begin(), points.end(), [cu, cv](const auto& a, const auto& b) {
    return std::atan2(a.v - cv, a.u - cu) < std::atan2(b.v - cv, b.u - cu);
  });
}

bool MeshUsable(const ShadedMesh& mesh) {
  if (mesh.faceCount == 0) return true;
  if (!mesh.IndicesValid()) return false;
  const VertexSharingTable* table = mesh.sharingTable.get();
  if (!table) return true;
  if (table->GetFaceCount() != mesh.faceCount) return false;
  for (uint32_t g = 0; g < table->GetGroupCount(); ++g) {
    const uint32_t* members = table->GetGroupMembers(g);
    for (uint32_t i = 0; i < table->GetGroupSize(g); ++i) {
      if (members[i] >= mesh.faceCount) return false;
    }
  }
  return true;
}

Vector3 AverageNormal(const ShadedMesh& mesh) {
  // Area-weighted: half the cross product is area times the unit face normal.
  Vector3 sum(0.0f, 0.0f, 0.0f);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    const Vector3& p0 = mesh.positions[mesh.indices[3 * f]];
    const Vector3& p1 = mesh.positions[mesh.indices[3 * f + 1]];
    const Vector3& p2 = mesh.positions[mesh.indices[3 * f + 2]];
    sum += (p2 - p0).Cross(p1 - p0) * 0.5f;
  }
  return Unit(sum);
}

}  // namespace

bool TerrainPatchBuilder::Build(const ShadedMesh& patchMesh, const ShadedMesh& triangleMesh,
                                std::vector<PatchTextureRecord>& output, float searchDistance) {
  output.clear();
  if (!std::isfinite(searchDistance) || searchDistance < 0.0f) {
    DebugPrintf("TerrainPatchBuilder: search distance %f refused\n", searchDistance);
    return false;
  }
  if (!MeshUsable(triangleMesh)) {
    OutputDebugStringA("TerrainPatchBuilder: triangle mesh arrays do not agree\n");
    return false;
  }
  const CurvedPatch* data = patchMesh.patches.get();
  const VertexSharingTable* table = triangleMesh.sharingTable.get();
  if (!data || data->GetPatchCount() == 0 || !table) return true;

  const Vector3 normal = AverageNormal(triangleMesh);
  // The patch mesh is taken where it stands: its own frame is the world frame here.
  CurvedPatchInstance patches;
  if (!patches.Init(data, nullptr, CurvedPatchInstance::kDefaultTolerance, true)) return true;
  std::vector<Box> patchBoxes(data->GetPatchCount());
  for (uint32_t p = 0; p < data->GetPatchCount(); ++p) patchBoxes[p] = patches.GetWorldBounds(p);

  const Gatherer gatherer(patches, normal, searchDistance);
  const Vector3 reach = normal * searchDistance;
  std::vector<PatchTextureRecord::Point> points;
  for (uint32_t g = 0; g < table->GetGroupCount(); ++g) {
    const uint32_t* members = table->GetGroupMembers(g);
    for (uint32_t i = 0; i < table->GetGroupSize(g); ++i) {
      const Face face = ReadFace(triangleMesh, members[i]);
      Box search(face.p[0] + reach, face.p[0] + reach);
      for (const Vector3& p : face.p) {
        search.ExtendByPoint(p + reach);
        search.ExtendByPoint(p - reach);
      }
      for (uint32_t p = 0; p < data->GetPatchCount(); ++p) {
        // Patches whose grid lies outside the control vertices have nothing to evaluate.
        if (!data->IsGridInside(p) || !TriTree::BoxesMeet(patchBoxes[p], search)) continue;
        points.clear();
        gatherer.Collect(face, p, points);
        if (points.size() < 3) continue;
        SortByAngle(points);
        output.push_back({p, face.texture, points});
      }
    }
  }
  // The temporary patch instance goes away now: no cached tree may outlive it.
  TriTree::ReleaseOwner(&patches);
  return true;
}
