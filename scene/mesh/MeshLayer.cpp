// CMeshLayer: projecting an instance's faces through a frustum and clipping them to its planes.
#include "scene/mesh/MeshLayer.h"

#include <cmath>

#include "core/spatial/BoundedObject.h"
#include "core/math/CullVolume.h"
#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "platform/system/Win32.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/OccluderObjectInterface.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/TriMesh.h"

namespace {

// Clip scratch reused across calls so that a rebuild allocates only when a polygon grows.
struct ClipScratch {
  std::vector<MeshLayerVertex> vertices;
  std::vector<Vector3> positions;
  std::vector<uint32_t> polygon;
  std::vector<uint32_t> output;
};

ClipScratch& Scratch() {
  static ClipScratch scratch;
  return scratch;
}

// The receiver grouping of BuildForInstance, kept between calls like the clip scratch.
std::vector<std::pair<CMeshInstance*, std::vector<uint32_t>>>& Groups() {
  static std::vector<std::pair<CMeshInstance*, std::vector<uint32_t>>> groups;
  return groups;
}

void Project(const Matrix4& projection, const Vector3& p, Color colour, Color fade, MeshLayerVertex& out) {
  Vector4 h;
  TransformPoint4(h, projection, p);
  if (h.w != 0.0f) {
    const float inv = 1.0f / h.w;
    h.x *= inv;
    h.y *= inv;
    h.z *= inv;
  }
  out.u = h.x;
  out.v = 1.0f - h.y;
  out.depth = h.z;
  out.colour = CMeshLayer::Fade(colour, fade, h.z);
}

float PlaneDistance(const Vector4& plane, const Vector3& p) { return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w; }

}  // namespace

CMeshLayer::~CMeshLayer() { AttachTo(nullptr); }

void CMeshLayer::AttachTo(CMeshInstance* instance) {
  if (m_instance == instance) {
    if (instance) instance->AddLayer(this);
    return;
  }
  if (m_instance) m_instance->RemoveLayer(this);
  m_instance = instance;
  if (instance) instance->AddLayer(this);
}

void CMeshLayer::Reset() {
  AttachTo(nullptr);
  m_faces.clear();
  m_vertices.clear();
  m_faceCount = m_vertexCount = 0;
  m_faceData = nullptr;
  m_vertexData = nullptr;
  m_flag = 0;
}

void CMeshLayer::UpdateRanges() {
  m_faceCount = static_cast<uint32_t>(m_faces.size());
  m_faceData = m_faces.data();
  m_vertexCount = static_cast<uint32_t>(m_vertices.size());
  m_vertexData = m_vertices.data();
}

Color CMeshLayer::Fade(Color colour, Color fade, float t) {
  auto mix = [t](uint8_t c, uint8_t f) {
    const float value = std::trunc(static_cast<float>(c) + (static_cast<float>(f) - static_cast<float>(c)) * t);
    return static_cast<uint8_t>(value <= 0.0f ? 0.0f : (value >= 255.0f ? 255.0f : value));
  };
  Color out;
  out.b = mix(colour.b, fade.b);
  out.g = mix(colour.g, fade.g);
  out.r = mix(colour.r, fade.r);
  out.a = mix(colour.a, fade.a);
  return out;
}

uint8_t CMeshLayer::GetAlphaByte() const {
  if (!m_instance) return 0;
  const float value = m_instance->GetAlpha() * 255.0f;
  return static_cast<uint8_t>(value <= 0.0f ? 0.0f : (value >= 255.0f ? 255.0f : value));
}

void CMeshLayer::BuildForInstance(std::vector<std::unique_ptr<CMeshLayer>>& layers, CTextureProperties* texture,
                                  float alpha, const ViewFrustum& frustum, Color colour, Color fade, COctree& octree,
                                  CMeshInstance* skipRoot) {
  const CullVolume* volume = frustum.GetCullVolume();
  COctree::ObjectList found;
  if (volume) octree.QueryVolume(volume, &found, kReceiverFlags, kReceiverQueryDepth);
  // Faces grouped by the instance they belong to, instances in order of first appearance.
  std::vector<std::pair<CMeshInstance*, std::vector<uint32_t>>>& groups = Groups();
  size_t used = 0;
  for (CBoundedObject* object : found) {
    CMeshInstance* instance = object->GetOwnerInstance();
    const auto* occluder = dynamic_cast<const COccluderObjectInterface*>(object);
    // Only a face primitive names a face to lay the layer on; a patch's tag is no face index.
    if (!instance || !occluder || occluder->GetOccluderTag() < 0) continue;
    if ((object->GetBoundFlags() & CBoundedObject::kPatchSection) != 0) continue;
    if (skipRoot && instance->GetRootInstance() == skipRoot) continue;
    size_t g = 0;
    while (g < used && groups[g].first != instance) ++g;
    if (g == used) {
      if (used == groups.size()) groups.emplace_back();
      groups[used].first = instance;
      groups[used].second.clear();
      ++used;
    }
    groups[g].second.push_back(static_cast<uint32_t>(occluder->GetOccluderTag()));
  }
  for (size_t i = 0; i < used; ++i) {
    if (i == layers.size()) layers.push_back(std::make_unique<CMeshLayer>());
    CMeshLayer& layer = *layers[i];
    layer.Reset();
    layer.SetTexture(texture);
    layer.SetColour(colour);
    layer.SetAlpha(alpha);
    layer.AttachTo(groups[i].first);
    ProjectFaces(&layer, frustum, colour, fade, groups[i].second);
  }
  layers.resize(used);
}

void CMeshLayer::ProjectFaces(CMeshLayer* layer, const ViewFrustum& frustum, Color colour, Color fade,
                              const std::vector<uint32_t>& faces) {
  CMeshInstance* instance = layer ? layer->m_instance : nullptr;
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  const Vector3* positions = instance ? instance->GetFramePositions() : nullptr;
  if (!mesh || !positions) return;
  const CullVolume* volume = frustum.GetCullVolume();
  if (!volume) {
    OutputDebugStringA("CMeshLayer: the frustum has no cull volume, nothing projected\n");
    return;
  }
  const COrientation& world = instance->GetWorldMatrix();
  const Matrix4 projection = world.ToMatrix4() * frustum.GetViewProjection();
  // Planes go to mesh space: a normal by the transposed axes, a point by the true inverse, so
  // the inside test and the crossing fractions also hold for a scaled instance.
  std::vector<Vector4> planes;
  bool ok = true;
  for (uint32_t i = 0; i < volume->GetPlaneCount(); ++i) {
    const CullPlane& plane = volume->GetPlanes()[i];
    const Vector3 n = world.WorldToLocalVector(plane.normal);
    const Vector3 p = CMeshInstance::WorldToLocalExact(world, plane.point, ok);
    if (!ok) return;
    planes.emplace_back(n.x, n.y, n.z, -n.Dot(p));
  }
  const Vector3 eye = CMeshInstance::WorldToLocalExact(world, frustum.GetFrame().position, ok);
  if (!ok) return;
  const Vector3* normals = instance->GetFrameFaceNormals();
  const uint16_t* tri = mesh->indices;
  static const float kCornerAB[3][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
  for (uint32_t face : faces) {
    if (face >= mesh->faceCount) continue;
    const Vector3 p[3] = {positions[tri[3 * face]], positions[tri[3 * face + 1]], positions[tri[3 * face + 2]]};
    const Vector3 n = normals ? normals[face] : TriMesh::FaceNormal(p[0], p[1], p[2]);
    // Seen from behind, or edge-on: a face in line with the eye would take one line of the
    // texture smeared across it.
    if (!((p[0] - eye).Dot(n) < 0.0f)) continue;
    MeshLayerVertex corners[3];
    for (int k = 0; k < 3; ++k) {
      corners[k].a = kCornerAB[k][0];
      corners[k].b = kCornerAB[k][1];
      Project(projection, p[k], colour, fade, corners[k]);
    }
    ClipFace(layer, face, corners, planes, projection, colour, fade);
  }
}

void CMeshLayer::ClipFace(CMeshLayer* layer, uint32_t face, const MeshLayerVertex corners[3],
                          const std::vector<Vector4>& planes, const Matrix4& projection, Color colour, Color fade) {
  CMeshInstance* instance = layer ? layer->m_instance : nullptr;
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  const Vector3* positions = instance ? instance->GetFramePositions() : nullptr;
  if (!mesh || !positions || face >= mesh->faceCount) return;
  ClipScratch& s = Scratch();
  s.vertices.clear();
  s.positions.clear();
  s.polygon.clear();
  s.output.clear();
  const uint16_t* tri = mesh->indices + 3 * static_cast<size_t>(face);
  const Vector3 p0 = positions[tri[0]], e1 = positions[tri[1]] - p0, e2 = positions[tri[2]] - p0;
  for (uint32_t k = 0; k < 3; ++k) {
    s.vertices.push_back(corners[k]);
    s.positions.push_back(p0 + e1 * corners[k].a + e2 * corners[k].b);
    s.polygon.push_back(k);
  }
  for (const Vector4& plane : planes) {
    s.output.clear();
    if (s.polygon.size() > 2) {
      uint32_t prev = s.polygon.back();
      for (uint32_t cur : s.polygon) {
        const float dPrev = PlaneDistance(plane, s.positions[prev]);
        const float dCur = PlaneDistance(plane, s.positions[cur]);
        const bool prevIn = dPrev < 0.0f, curIn = dCur < 0.0f;
        if (prevIn != curIn) {
          const float t = dPrev / (dPrev - dCur);
          MeshLayerVertex cross;
          cross.a = s.vertices[prev].a + (s.vertices[cur].a - s.vertices[prev].a) * t;
          cross.b = s.vertices[prev].b + (s.vertices[cur].b - s.vertices[prev].b) * t;
          const Vector3 at = s.positions[prev] + (s.positions[cur] - s.positions[prev]) * t;
          Project(projection, at, colour, fade, cross);
          s.vertices.push_back(cross);
          s.positions.push_back(at);
          s.output.push_back(static_cast<uint32_t>(s.vertices.size() - 1));
        }
        if (curIn) s.output.push_back(cur);
        prev = cur;
      }
    }
    s.polygon.swap(s.output);
  }
  if (s.polygon.size() < 3) return;
  const uint32_t first = static_cast<uint32_t>(layer->m_vertices.size());
  for (uint32_t i : s.polygon) layer->m_vertices.push_back(s.vertices[i]);
  layer->m_faces.push_back(MeshLayerFace{face, first, static_cast<uint32_t>(layer->m_vertices.size())});
  layer->UpdateRanges();
}
