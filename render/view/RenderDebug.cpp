// Debug shapes built from the drawing context's 3D lines.
#include "render/view/RenderDebug.h"

#include <cmath>

#include "core/math/Color.h"
#include "core/math/ViewFrustum.h"
#include "physics/collision/SphereTreeNode.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/LightList.h"
#include "scene/mesh/HalfEdgeFace.h"
#include "scene/mesh/HalfEdgeMesh.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr int kSphereGrid = 5;  // longitudes 0..4 x 90 degrees, colatitudes 0..4 x 45 degrees

// The unit-sphere grid, row = colatitude, column = longitude; built once.
const Vector3* UnitSphereGrid() {
  static Vector3 grid[kSphereGrid * kSphereGrid];
  static bool built = false;
  if (!built) {
    const float pi = 3.14159265f;
    for (int row = 0; row < kSphereGrid; ++row) {
      for (int column = 0; column < kSphereGrid; ++column) {
        const float theta = row * pi / 4.0f, phi = column * 2.0f * pi / 4.0f;
        grid[row * kSphereGrid + column] =
            Vector3(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
      }
    }
    built = true;
  }
  return grid;
}

uint32_t LightColourWord(const CLight& light) {
  Color c;
  const Vector3& rgb = light.GetColor();
  c.SetRGB(rgb.x, rgb.y, rgb.z);
  return c.ToWord();
}

}  // namespace

void DrawDebugBounds(CSceneDrawInterface& view, const Box& box, uint32_t colour) {
  // Corners by bit: 1 = max x, 2 = max y, 4 = max z; an edge joins corners one bit apart.
  for (int a = 0; a < 8; ++a) {
    for (int bit = 1; bit < 8; bit <<= 1) {
      if (a & bit) continue;
      view.DrawLine3D(box.GetCorner(a), box.GetCorner(a | bit), colour);
    }
  }
}

void DrawDebugSphere(CSceneDrawInterface& view, const COrientation& frame, float radius, uint32_t colour) {
  const Vector3* unit = UnitSphereGrid();
  Vector3 points[kSphereGrid * kSphereGrid];
  for (int i = 0; i < kSphereGrid * kSphereGrid; ++i) points[i] = unit[i] * radius + frame.GetPosition();
  for (int row = 0; row < kSphereGrid - 1; ++row) {
    for (int column = 0; column < kSphereGrid - 1; ++column) {
      const Vector3& p = points[row * kSphereGrid + column];
      view.DrawLine3D(p, points[row * kSphereGrid + column + 1], colour);
      view.DrawLine3D(p, points[(row + 1) * kSphereGrid + column], colour);
    }
  }
}

void DrawDebugBoundingTree(CSceneDrawInterface& view, const SphereTreeNode& node, const COrientation& frame,
                           uint32_t colour, uint32_t leafColour, bool drawThis) {
  COrientation at = frame;
  at.SetPosition(frame.LocalToWorldPoint(node.centre));
  if (node.childCount == 0)
    DrawDebugSphere(view, at, node.radius, leafColour);
  else if (drawThis)
    DrawDebugSphere(view, at, node.radius, colour);
  for (uint32_t i = 0; i < node.childCount && node.children; ++i)
    DrawDebugBoundingTree(view, node.children[i], frame, colour, leafColour, false);
}

void DrawDebugVector(CSceneDrawInterface& view, const Vector3& point, const Vector3& direction, float scale,
                     uint32_t colour) {
  view.DrawLine3D(point, point + direction * scale, colour);
}

void DrawDebugFrustum(CSceneDrawInterface& view, const ViewFrustum& camera, uint32_t colour) {
  Vector3 nearCorners[4], farCorners[4];
  for (int i = 0; i < 4; ++i) {
    camera.GetNearCorner(nearCorners[i], i);
    camera.GetFarCorner(farCorners[i], i);
    nearCorners[i] = camera.GetFrame().LocalToWorldPoint(nearCorners[i]);
    farCorners[i] = camera.GetFrame().LocalToWorldPoint(farCorners[i]);
  }
  // Corner i has y negated by bit 0 and z by bit 1: 0, 1, 3, 2 walks round each end's rectangle.
  static const int kRound[4] = {0, 1, 3, 2};
  for (int i = 0; i < 4; ++i) {
    const int from = kRound[i], to = kRound[(i + 1) % 4];
    view.DrawLine3D(nearCorners[from], nearCorners[to], colour);
    view.DrawLine3D(farCorners[from], farCorners[to], colour);
    view.DrawLine3D(nearCorners[i], farCorners[i], colour);
  }
}

void DrawDebugCross(CSceneDrawInterface& view, const Vector3& point, float size, uint32_t colour) {
  view.DrawLine3D(point - Vector3(size, 0, 0), point + Vector3(size, 0, 0), colour);
  view.DrawLine3D(point - Vector3(0, size, 0), point + Vector3(0, size, 0), colour);
  view.DrawLine3D(point - Vector3(0, 0, size), point + Vector3(0, 0, size), colour);
}

void DrawDebugLight(CSceneDrawInterface& view, const CLight& light) {
  const uint32_t colour = LightColourWord(light);
  switch (light.GetType()) {
    case CLight::kTypeAmbient:
      DrawDebugBounds(view, light.GetBounds(), colour);
      break;
    case CLight::kTypeDirectional:
      view.DrawLine3D(Vector3(), light.GetTransform().GetXAxis(), colour);
      break;
    case CLight::kTypePoint:
      DrawDebugCross(view, light.GetTransform().GetPosition(), 1.0f, colour);
      DrawDebugBounds(view, light.GetBounds(), colour);
      break;
    default:
      break;
  }
}

void DrawDebugLights(CSceneDrawInterface& view, const LightList& lights) {
  for (size_t i = 0; i < lights.GetCount(); ++i)
    if (const CLight* light = lights.GetLight(i)) DrawDebugLight(view, *light);
}

void DrawDebugNormals(CSceneDrawInterface& view, const ShadedMesh& mesh, float length, uint32_t colour) {
  if (!mesh.normalRecords || !mesh.compressedNormals || !mesh.positions) return;
  for (uint32_t n = 0; n < mesh.normalCount; ++n) {
    const uint32_t vertex = mesh.normalRecords[n].vertex;
    if (vertex >= mesh.vertexCount) continue;
    const Vector3& p = mesh.positions[vertex];
    view.DrawLine3D(p, p + NormalTable::Decode(mesh.compressedNormals[n]) * length, colour);
  }
}

void DrawDebugTriangle(CSceneDrawInterface& view, const Vector3& a, const Vector3& b, const Vector3& c,
                       uint32_t colour, bool outlineOnly) {
  if (!outlineOnly) view.DrawTriangle3D(a, b, c, colour, true);
  view.DrawLine3D(a, b, colour);
  view.DrawLine3D(b, c, colour);
  view.DrawLine3D(c, a, colour);
}

void DrawDebugPolygons(CSceneDrawInterface& view, const std::vector<std::vector<Vector3>>& polygons, uint32_t colour,
                       bool outlineOnly) {
  for (const std::vector<Vector3>& p : polygons) {
    const size_t n = p.size();
    if (outlineOnly) {
      for (size_t i = 0; i < n; ++i) view.DrawLine3D(p[i], p[(i + 1) % n], colour);
      continue;
    }
    for (size_t i = 1; i + 1 < n; ++i) {
      view.DrawLine3D(p[0], p[i], colour);
      view.DrawLine3D(p[i], p[i + 1], colour);
      view.DrawLine3D(p[i + 1], p[0], colour);
    }
  }
}

void DrawDebugHalfEdgeMesh(CSceneDrawInterface& view, const HalfEdgeMesh& mesh) {
  for (uint32_t f = 0; f < mesh.GetFaceCount(); ++f) {
    const HalfEdgeFace* face = mesh.GetFace(f);
    Color colour;
    RandomColor(colour);
    const uint32_t edges = face->CountEdges();
    for (uint32_t e = 0; e < edges; ++e)
      view.DrawLine3D(face->GetVertex(e), face->GetVertex((e + 1) % edges), colour.ToWord());
  }
}
