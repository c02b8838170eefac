// CSceneDrawInterface: the drawing context the scene's objects, sections and shadows draw through.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Vector3.h"

class CMeshInstance;
class CMeshSection;
class CTextureProperties;
class LightList;
class ViewFrustum;
struct FogState;

// The renderer's view implements it; the scene and the collision objects know nothing more of
// the renderer than this.
class CSceneDrawInterface {
 public:
  // Diagnostic overlays; the drawing context carries them so that every object asks the same place.
  enum DebugFlag : uint32_t {
    kDebugCollision = 0x1,  // collision edges' lines, sphere trees, rigid bodies' spheres and contacts
    kDebugOctree = 0x2,     // the cells of the world octree that hold objects
    kDebugLights = 0x4,     // every light of the light list
    kDebugPaths = 0x8,      // the path graphs filed in the world octree, again over the finished scene
    // The terrain instances' collision polygons.
    kDebugTerrainPolygons = 0x10,
  };

  virtual ~CSceneDrawInterface() = default;

  // Stamp of the frame being drawn.
  virtual uint32_t GetFrameNumber() const = 0;
  virtual ViewFrustum* GetView() const = 0;
  virtual FogState* GetFogState() const = 0;
  virtual LightList* GetLightList() const = 0;

  virtual void DrawMesh(CMeshInstance* instance) = 0;
  // World-space line in one colour (bytes b, g, r, a), clipped at the near plane; neither lit nor fogged.
  virtual void DrawLine3D(const Vector3& a, const Vector3& b, uint32_t colour) = 0;
  // Flat world-space triangle in one colour; two-sided draws both windings.
  virtual void DrawTriangle3D(const Vector3& a, const Vector3& b, const Vector3& c, uint32_t colour,
                              bool twoSided) = 0;
  // Wire sphere of 32 lines around centre.
  virtual void DrawDebugSphere(const Vector3& centre, float radius, uint32_t colour) = 0;
  virtual uint32_t GetDebugFlags() const = 0;
  // The vertex-buffer path of a world mesh section; only when CanDrawVertexBuffers.
  virtual void DrawMeshSection(CMeshSection* section) = 0;
  // True when a back end is bound and offers vertex buffers.
  virtual bool CanDrawVertexBuffers() const = 0;

  // True when a back end is bound (without one, nothing can be drawn into a texture).
  virtual bool HasBackEnd() const = 0;
  // A square texture of side texels that a shadow silhouette can be drawn into, in the current
  // back end's pixel format (a default one without a back end).
  virtual std::unique_ptr<CTextureProperties> CreateShadowTexture(uint32_t side) const = 0;
  // Hands a texture made by CreateShadowTexture to the back end (again after the back end dropped it).
  virtual void LoadTexture(CTextureProperties* texture) = 0;
  // Takes such a texture off the back end before it is deleted.
  virtual void ReleaseTexture(CTextureProperties* texture) {}
  // Draws the caster as a white silhouette on black into target, seen through projection, then
  // gives back the camera, fog and lights of the frame. False when the back end refused target
  // or the frame could not begin (target may be cleared but holds no silhouette then).
  virtual bool DrawShadowTexture(CTextureProperties* target, ViewFrustum* projection, CMeshInstance* caster) = 0;
};
