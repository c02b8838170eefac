// CurvedPatchInstance: one mesh instance's level-of-detail state for its mesh's curved patches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "scene/patch/CurvedPatchLOD.h"

class CMeshInstance;
class CurvedPatch;
class ViewFrustum;

class CurvedPatchInstance {
 public:
  // Tolerance the mesh instance passes when it sets up its patches (pi/128).
  static constexpr float kDefaultTolerance = 0.024543693f;
  static constexpr uint16_t kNoTreeSlot = 0xFFFF;

  CurvedPatchInstance() = default;
  CurvedPatchInstance(const CurvedPatchInstance&) = delete;
  CurvedPatchInstance& operator=(const CurvedPatchInstance&) = delete;

  // Every patch at level 3 with matched edges; with collision, a frozen copy of those levels
  // and empty triangle-tree slots. The placement starts at the identity with unit scale and
  // the control vertices' radius about the origin. False (logged) without patch data.
  bool Init(const CurvedPatch* patches, CMeshInstance* instance, float tolerance, bool withCollision);

  // Where the owning instance is: its world frame (axes may carry scale), its world scale and
  // its mesh's radius about the origin. The owner calls this whenever its world matrix is
  // refreshed, since level updates and world bounds read these values.
  void SetPlacement(const COrientation& world, float worldScale, float meshRadius);

  // Refreshes the render levels from the camera (throttled) and then the edge counts. The
  // owner's world matrix is brought up to date first.
  void UpdateLOD(const ViewFrustum& camera);
  // Segment counts of every edge from the patch levels, then each record's tessellation size.
  void SetEdgeLevels();
  // Sets one patch's render level (clamped to 0..4); SetEdgeLevels makes it take effect.
  void SetLevel(uint32_t patch, int level);

  // With both outputs null: only the record's vertex and triangle counts. Otherwise writes
  // each vertex's (u, v) as two floats every vertexStride bytes and each triangle's three u16
  // corner indices every triangleStride bytes (counter-clockwise in the parameter square).
  // The buffers must hold the counts the record states afterwards.
  static void Tessellate(CurvedPatchLOD& lod, void* triangles, size_t triangleStride, void* vertices,
                         size_t vertexStride);

  // Box of the patch's 16 control vertices (of all control vertices) in world space, after the
  // owner's world matrix is brought up to date.
  Box GetWorldBounds(uint32_t patch) const;
  Box GetAllWorldBounds() const;

  // True when one of the face's three textures is translucent (texture flag 0x4 or 0x8); an
  // index past the mesh's texture table, or a face past the patch faces, counts as opaque.
  bool IsFaceTranslucent(uint32_t face) const;

  CMeshInstance* GetInstance() const { return m_instance; }
  const CurvedPatch* GetPatches() const { return m_patches; }
  uint32_t GetPatchCount() const { return static_cast<uint32_t>(m_render.size()); }
  const CurvedPatchLOD& GetRenderLOD(uint32_t patch) const { return m_render[patch]; }
  bool HasCollision() const { return m_hasCollision; }
  const CurvedPatchLOD& GetCollisionLOD(uint32_t patch) const { return m_collision[patch]; }
  uint16_t GetTreeSlot(uint32_t patch) const { return m_treeSlots[patch]; }

 private:
  void UpdateObjectLevel(const ViewFrustum& camera, float distance, float tanHalfFov);
  void UpdateFaceLevel(const ViewFrustum& camera, float tanHalfFov);
  float PatchError(uint32_t patch) const;  // world scale x curvature angle x corner span
  // The placement is a copy of the owner's world matrix, taken whenever the owner refreshes it.
  // An owner moved since then has a stale matrix: this refreshes it (and so the copy) first.
  void RefreshPlacement() const;

  CMeshInstance* m_instance = nullptr;
  const CurvedPatch* m_patches = nullptr;
  std::vector<CurvedPatchLOD> m_render;
  Vector3 m_lastCamera;
  float m_lastObjectLevel = 0.0f;
  // Which throttle value is current: each pass clears the other's, so coming back from the
  // far pass always recomputes the near levels (and the reverse).
  bool m_faceLevelValid = false;
  bool m_objectLevelValid = false;
  bool m_hasCollision = false;
  std::vector<CurvedPatchLOD> m_collision;
  std::vector<uint16_t> m_treeSlots;
  COrientation m_world;
  float m_worldScale = 1.0f;
  float m_meshRadius = 0.0f;
};
