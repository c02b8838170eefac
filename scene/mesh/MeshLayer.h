// CMeshLayer: extra textured polygons laid over part of a mesh instance's faces (projected shadows).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/math/Color.h"
#include "core/math/Matrix4.h"
#include "core/math/Vector3.h"
#include "core/math/Vector4.h"

class CMeshInstance;
class COctree;
class CTextureProperties;
class ViewFrustum;

// A point on a mesh face: corner 0 + a (corner 1 - corner 0) + b (corner 2 - corner 0),
// with its projected texture coordinates, projector depth and colour.
struct MeshLayerVertex {
  float a, b;
  float u, v;
  float depth;
  Color colour;
};

// One convex polygon: vertices [first, end) of the layer, lying on mesh face `face`.
struct MeshLayerFace {
  uint32_t face;
  uint32_t first;
  uint32_t end;
};

static_assert(sizeof(MeshLayerVertex) == 24 && sizeof(MeshLayerFace) == 12, "records the renderer walks");

class CMeshLayer {
 public:
  // What BuildForInstance asks the octree for: terrain faces that receive projected shadows.
  static constexpr uint32_t kReceiverFlags = CBoundedObject::kReceivesProjectedShadows | CBoundedObject::kStaticTerrain;
  static constexpr uint32_t kReceiverQueryDepth = 20;

  CMeshLayer() = default;
  virtual ~CMeshLayer();
  CMeshLayer(const CMeshLayer&) = delete;
  CMeshLayer& operator=(const CMeshLayer&) = delete;

  // Detaches from the instance and empties both arrays; the alpha stays.
  void Reset();
  // Lays the layer on an instance (appended to the instance's layer list); null detaches.
  void AttachTo(CMeshInstance* instance);
  // Called by the instance when it drops its layers: the layer no longer refers to it.
  void ForgetInstance() { m_instance = nullptr; }

  // Fills layers with one layer per mesh instance whose shadow-receiving terrain faces the
  // frustum's cull volume (built by the caller) reaches, in the order the octree finds them.
  // Layers already in the array are reset and reused; the surplus is deleted. Instances under
  // `skipRoot` get no layer: a caster does not receive its own shadow.
  static void BuildForInstance(std::vector<std::unique_ptr<CMeshLayer>>& layers, CTextureProperties* texture,
                               float alpha, const ViewFrustum& frustum, Color colour, Color fade, COctree& octree,
                               CMeshInstance* skipRoot = nullptr);
  // Projects the listed faces of the layer's instance through the frustum (its view-projection
  // must be current and its cull volume built) and clips them to the volume's planes.
  static void ProjectFaces(CMeshLayer* layer, const ViewFrustum& frustum, Color colour, Color fade,
                           const std::vector<uint32_t>& faces);
  // Sutherland-Hodgman clip of one face against planes in mesh space (inside: n . p + w < 0);
  // a surviving polygon of 3 or more vertices is appended.
  static void ClipFace(CMeshLayer* layer, uint32_t face, const MeshLayerVertex corners[3],
                       const std::vector<Vector4>& planes, const Matrix4& projection, Color colour, Color fade);
  // Each byte c moves to c + (fade - c) x t, truncated toward zero and kept in 0..255.
  static Color Fade(Color colour, Color fade, float t);

  // The instance's alpha x 255, truncated; 0 without an instance.
  uint8_t GetAlphaByte() const;

  CMeshInstance* GetInstance() const { return m_instance; }
  void SetTexture(CTextureProperties* texture) { m_texture = texture; }
  CTextureProperties* GetTexture() const { return m_texture; }
  void SetAlpha(float alpha) { m_alpha = alpha; }
  float GetAlpha() const { return m_alpha; }
  void SetColour(Color colour) { m_colour = colour; }
  Color GetColour() const { return m_colour; }
  uint8_t GetFlag() const { return m_flag; }
  void SetFlag(uint8_t flag) { m_flag = flag; }

  uint32_t GetFaceCount() const { return m_faceCount; }
  const MeshLayerFace* GetFaces() const { return m_faceData; }
  uint32_t GetVertexCount() const { return m_vertexCount; }
  const MeshLayerVertex* GetVertices() const { return m_vertexData; }

 private:
  void UpdateRanges();

  CMeshInstance* m_instance = nullptr;
  CTextureProperties* m_texture = nullptr;
  float m_alpha = -1.0f;
  Color m_colour;
  uint8_t m_flag = 0;
  std::vector<MeshLayerFace> m_faces;
  std::vector<MeshLayerVertex> m_vertices;
  uint32_t m_faceCount = 0;
  const MeshLayerFace* m_faceData = nullptr;
  uint32_t m_vertexCount = 0;
  const MeshLayerVertex* m_vertexData = nullptr;
};
