// CMeshInstance: one placement of a shared mesh - a scene node with its own frame, colours, alpha, LODs and children.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Color.h"
#include "core/math/Matrix4.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "scene/lighting/ObjectLightState.h"
#include "scene/mesh/XFormNode.h"

class AnimationSet;
class CMeshLayer;
class CSkeletonNodeInstance;
class CTerrainPatch;
class CTerrainPolygon;
class CMeshSection;
class CTextureProperties;
class CVertexFetchInterface;
class CurvedPatchInstance;
struct LightMapData;
class HalfEdgeMesh;
class RayInfo;
class ShadedMesh;

class CMeshInstance : public CXFormNode {
 public:
  // Stamp meaning "never relit"; also the largest stamp the relighting window takes.
  static constexpr uint32_t kStampNever = 0x7FFFFFFF;
  static constexpr float kLargestThreshold = 3.4028235e38f;

  struct FaceColours {
    Color corners[3];           // lit colours, alpha in the top byte
    const void* lightRecord;    // the face's baked light-map record, null without one
  };
  struct ChildEntry {
    std::unique_ptr<CMeshInstance> instance;  // null for an internal child mesh
    uint32_t attachIndex;
  };
  struct LodEntry {
    CMeshInstance* instance;
    float threshold;
  };
  // A drawable part (mesh section or patch part) and the faces (or patches) it covers.
  struct Part {
    CMeshSection* section;
    uint32_t firstFace;
    uint32_t endFace;  // one past the last
    bool patch;
  };

  CMeshInstance();
  ~CMeshInstance() override;

  // Binds the mesh and builds every per-instance array. A second call first drops what the
  // first one built. Returns false (logged) only for a mesh whose arrays do not agree.
  bool SetMesh(ShadedMesh* mesh, bool partialDrawLists, bool singlePointLighting, bool dynamicLighting,
               uint32_t stampFirst, uint32_t stampLast, const Matrix4* transform, bool buildChildren,
               CMeshInstance* parent);
  ShadedMesh* GetMesh() const { return m_mesh; }
  CMeshInstance* GetParentInstance() const { return m_parentInstance; }
  CMeshInstance* GetRootInstance();

  // ---- scene-graph overrides ----
  void UpdateAnimation() override;
  void AdvanceTime(float elapsed) override;

  // ---- frame and the mesh arrays of the shown frame ----
  void SetFrame(int32_t frame);
  int32_t GetFrame() const { return m_frame; }
  // Points the shared mesh at this instance's frame (the mesh's current frame is global).
  void ShowFrame() const;
  const Vector3* GetFramePositions() const;
  const Vector3* GetFrameFaceNormals() const;
  const uint16_t* GetFrameCompressedNormals() const;
  const uint16_t* GetFrameVertexNormals() const;
  CVertexFetchInterface* GetVertexFetch() const { return m_fetch.get(); }

  // ---- skeleton ----
  // One node per bone of a skinned mesh: owned, or borrowed from the parent instance when
  // this mesh is a child whose skin has as many bones as the parent mesh's. Null without.
  CSkeletonNodeInstance* GetSkeletonNodes() const { return m_skeleton; }
  uint32_t GetSkeletonNodeCount() const { return m_skeletonCount; }
  bool OwnsSkeletonNodes() const { return m_skeleton && m_skeleton == m_ownedSkeleton.get(); }
  // The sequence table of the mesh's animation-table attach point; null when it has none.
  const AnimationSet* GetAnimationSet() const { return m_animationSet.get(); }

  // ---- textures ----
  // A swap between an unlit and a lit texture recolours the slot's faces (RelightSlotFaces).
  void SetTexture(uint32_t slot, CTextureProperties* texture);
  CTextureProperties* GetTexture(uint32_t slot) const;
  // The texture of a face's slot; null for an untextured or unknown face.
  CTextureProperties* GetFaceTexture(uint32_t face) const;
  const std::vector<uint32_t>& GetTextureAnimations() const { return m_textureAnimations; }

  // ---- alpha and lighting ----
  void SetAlpha(float alpha, bool recurse);
  float GetAlpha() const { return m_alpha; }
  void SetFadeDivisor(uint32_t divisor, bool recurse);
  uint32_t GetFadeDivisor() const { return m_fadeDivisor; }
  void SetDynamicLighting(bool on, uint32_t stampLimit, bool useStaticColours, bool recurse);
  bool HasDynamicLighting() const { return m_dynamicLighting; }
  bool HasSinglePointLighting() const { return m_singlePointLighting; }
  void SetLightingStamp(uint32_t limit, bool recurse);
  void InvalidateLighting(bool recurse = true);
  void InvalidateFaceLighting(uint32_t face);
  // Set by InvalidateLighting; the run-time lighting takes it as the request to relight.
  bool IsLightingStale() const { return m_lightingStale; }
  // Per-frame light counters belong to the lights; nothing to clear until they exist.
  static void ClearLightCounters() {}
  uint32_t GetNormalStamp(uint32_t normal) const { return normal < m_normalStamps.size() ? m_normalStamps[normal] : 0; }
  void SetNormalStamp(uint32_t normal, uint32_t stamp);
  uint32_t GetStampFirst() const { return m_stampFirst; }
  uint32_t GetStampLast() const { return m_stampLast; }
  uint32_t GetStampSpan() const { return m_stampSpan; }
  uint32_t GetStampLimit() const { return m_stampLimit; }
  // Frame whose texture hints this (root) instance last gave; several instances under one root
  // share textures, so only the first drawn in a frame hints them.
  uint32_t GetTextureHintFrame() const { return m_textureHintFrame; }
  void SetTextureHintFrame(uint32_t frame) { m_textureHintFrame = frame; }
  void SetShadowCaster(bool on) { m_shadowCaster = on ? 1 : 0; }
  bool IsShadowCaster() const { return m_shadowCaster != 0; }
  void SetColourScale(float r, float g, float b);
  const float* GetColourScale() const { return m_colourScale; }

  // ---- colours ----
  void AllocStaticColours();
  bool HasStaticColours() const { return !m_staticColours.empty(); }
  // The static (unlit base) colour of a face corner; black when out of range.
  Color GetStaticColour(uint32_t face, uint32_t corner) const {
    const size_t i = 3 * static_cast<size_t>(face) + corner;
    return corner < 3 && i < m_staticColours.size() ? m_staticColours[i] : Color();
  }
  void SetStaticColour(uint32_t face, uint32_t corner, Color colour);
  Color GetFaceColour(uint32_t face, uint32_t corner) const;
  void SetFaceColour(uint32_t face, uint32_t corner, Color colour);
  FaceColours* GetFaceColours() { return m_faceColours.empty() ? nullptr : m_faceColours.data(); }
  uint32_t GetFaceColourCount() const { return static_cast<uint32_t>(m_faceColours.size()); }
  // Baked light: the pages and face records the faces' light records point into. Replacing it
  // (or passing null) first detaches every face from the old records.
  LightMapData* GetLightMapData() const { return m_lightMaps.get(); }
  void SetLightMapData(std::unique_ptr<LightMapData> data);
  // White when not enabled or the face is out of range; else the corners blended with u for
  // corner 0, v for corner 2 and the rest for corner 1, with modulate multiplied channel by
  // channel by the face texture's texel there over 256. Without texture pixels, modulate
  // changes nothing.
  Color SampleFaceColor(uint32_t face, float u, float v, bool modulate, bool enabled) const;

  // ---- placement, bounds and world copies ----
  bool GetAttachPointTransform(uint32_t index, COrientation& out);
  bool GetAttachPointPosition(uint32_t index, Vector3& out);
  void GetSphereBox(Box& out);
  void GetWorldBounds(Box& out);
  void BuildWorldVertices();
  void FreeWorldVertices();
  // The mesh's own arrays stand in for world copies only while the instance stays at the identity.
  bool HasWorldVertices() { return m_worldPositions != nullptr || (m_worldBorrowed && IsIdentity()); }
  Vector3 GetCornerWorldPosition(uint32_t face, uint32_t corner);
  Vector3 GetWorldFaceNormal(uint32_t face);
  // The vertex pushed 0.03 along its vertex normal, in world space.
  Vector3 GetVertexWorldPosition(uint32_t vertex);
  // Local to world for points of a world frame that may carry scale or shear.
  static Vector3 WorldToLocalExact(const COrientation& world, const Vector3& p, bool& ok);

  // Nearest hit among this instance and its children; the hit instance and face are reported
  // on both the transformed and the untransformed path. False (query untouched) without a hit.
  // Translucent faces are left out, except for a query that tests texels
  // (QueryMode::kTexelAlpha), which passes only through their faint texels.
  bool IntersectRay(RayInfo& query, CMeshInstance** hitInstance, int32_t* hitFace);

  // ---- children ----
  // Takes the child only when it returns true (an attach index the mesh has, a child that is
  // not this instance's ancestor); on false the caller keeps it.
  bool AddChildInstance(std::unique_ptr<CMeshInstance>&& child, uint32_t attachIndex);
  // Hands a listed child back to the caller, unhung; null when it is not one of ours.
  std::unique_ptr<CMeshInstance> RemoveChildInstance(CMeshInstance* child);
  const std::vector<ChildEntry>& GetChildren() const { return m_childEntries; }
  uint32_t GetChildIndex() const;

  // ---- level of detail ----
  void ResetLOD();
  void UseFullDetailLOD();
  void SelectLOD(float size);
  CMeshInstance* PickLOD(float size);
  uint32_t GetLODCount() const { return static_cast<uint32_t>(m_lods.size()); }
  const std::vector<LodEntry>& GetLODList() const { return m_lods; }
  int32_t GetLODStart() const { return m_lodStart; }
  void SetLODStart(int32_t start) { m_lodStart = start; }
  CMeshInstance* GetLastPickedLOD() const { return m_lastPicked; }
  CMeshInstance* GetCurrentLOD();
  // The first ancestor (or this) whose mesh is not a level-of-detail mesh: it holds the lighting.
  CMeshInstance* GetLightingOwner();
  // The cached relevant lights, shared by a LOD instance with its owner.
  ObjectLightState& GetLightingState() { return GetLightingOwner()->m_lightState; }

  // ---- partial drawing ----
  static const std::vector<CMeshInstance*>& GetInstanceList();
  uint32_t GetPartialDrawGroupCount() const { return static_cast<uint32_t>(m_drawCounts.size()); }
  uint32_t GetPartialDrawCount(uint32_t group) const;
  const uint32_t* GetPartialDrawFaces(uint32_t group) const;
  // Lists the face in its render group's list; false when the instance has no lists, the
  // face is out of range or the group's list is already full.
  bool AddPartialDrawFace(uint32_t face);
  void ResetPartialDrawLists();

  // ---- layers ----
  // Lists a layer the caller keeps (CMeshLayer::AttachTo calls this).
  void AddLayer(CMeshLayer* layer);
  // Attaches a layer the instance keeps: it is destroyed, after leaving the instance, when the
  // instance clears its layers (also on SetMesh and destruction).
  void AdoptLayer(std::unique_ptr<CMeshLayer> layer);
  void RemoveLayer(CMeshLayer* layer);
  void ClearLayers();
  const std::vector<CMeshLayer*>& GetLayers() const { return m_layers; }

  // ---- parts ----
  // Kept ordered by first face; patch parts count patches instead of faces.
  void AddPart(CMeshSection* section, uint32_t firstFace, uint32_t endFace, bool patch);
  void ClearParts() { m_parts.clear(); }
  const Part* FindPatchPart(uint32_t patch) const;
  const Part* FindPolygonPart(uint32_t face) const;

  // ---- collision primitives ----
  // The terrain polygons (one per face) and patches (one per curved patch) built over this
  // instance. The instance owns them, so they leave their octree when it goes or shows
  // another mesh; a new array replaces (and frees) the old one.
  void SetTerrainPolygons(std::shared_ptr<CTerrainPolygon> polygons, uint32_t count);
  void SetTerrainPatches(std::shared_ptr<CTerrainPatch> patches, uint32_t count);
  CTerrainPolygon* GetTerrainPolygons() const { return m_terrainPolygons.get(); }
  uint32_t GetTerrainPolygonCount() const { return m_terrainPolygons ? m_terrainPolygonCount : 0; }
  CTerrainPatch* GetTerrainPatches() const { return m_terrainPatches.get(); }
  uint32_t GetTerrainPatchCount() const { return m_terrainPatches ? m_terrainPatchCount : 0; }

  // ---- other per-instance data ----
  HalfEdgeMesh* BuildHalfEdgeMesh();
  HalfEdgeMesh* GetHalfEdgeMesh() const { return m_halfEdges.get(); }
  CurvedPatchInstance* GetPatchState() const { return m_patchState.get(); }
  // Brings the world matrix up to date and tells the patch state where the instance stands.
  const COrientation& RefreshWorld();
  uint32_t* GetScratch() { return m_scratch.empty() ? nullptr : m_scratch.data(); }

 private:
  void Clear();
  void BuildFaceArrays(bool partialDrawLists);
  void BuildChildren(bool partialDrawLists);
  void BuildLODList();
  void BuildSkeletonNodes();
  // The skeleton node of the bone named by an attach point's data; null when none.
  CSkeletonNodeInstance* FindBoneNode(uint32_t attachIndex) const;
  // Stops using borrowed nodes (here and in descendants that borrowed the same ones): they
  // belong to an instance this one no longer hangs under.
  void DropBorrowedSkeleton(const CSkeletonNodeInstance* nodes);
  void ClearStampsRecursive();
  void RestoreColours(bool useStatic);
  // The mesh's ray test on this instance's frame, in mesh space.
  bool IntersectOwnMesh(RayInfo& query, bool skipTranslucent, int32_t& face);
  // After a slot's texture turned unlit (or lit again): the colours of the faces it covers.
  void RelightSlotFaces(uint32_t slot, bool unlit);
  void AnimateTextures(const struct AnimationRecord* sequence);

  ShadedMesh* m_mesh = nullptr;
  CNodeAnimController* m_meshController = nullptr;  // the mesh's controller this node plays
  int32_t m_frame = 0;
  std::vector<CTextureProperties*> m_textures;  // empty until the first SetTexture
  std::vector<uint32_t> m_textureAnimations;
  uint32_t m_fadeDivisor = 0;
  std::unique_ptr<CurvedPatchInstance> m_patchState;
  std::unique_ptr<CVertexFetchInterface> m_fetch;
  std::unique_ptr<CSkeletonNodeInstance[]> m_ownedSkeleton;
  CSkeletonNodeInstance* m_skeleton = nullptr;  // m_ownedSkeleton, or the parent instance's nodes
  uint32_t m_skeletonCount = 0;
  std::unique_ptr<AnimationSet> m_animationSet;
  std::unique_ptr<Vector3[]> m_worldPositions;
  std::unique_ptr<Vector3[]> m_worldFaceNormals;
  bool m_worldBorrowed = false;            // identity root: the mesh's own arrays serve
  bool m_dynamicLighting = false;
  uint8_t m_shadowCaster = 0;
  bool m_singlePointLighting = false;
  bool m_lightingStale = false;
  float m_colourScale[3] = {1.0f, 1.0f, 1.0f};
  float m_alpha = 1.0f;
  std::vector<uint32_t> m_scratch;
  std::vector<FaceColours> m_faceColours;
  std::vector<uint32_t> m_normalStamps;
  uint32_t m_stampFirst = kStampNever;
  uint32_t m_stampLast = kStampNever;
  uint32_t m_stampSpan = 0;
  uint32_t m_stampLimit = kStampNever;
  uint32_t m_textureHintFrame = 0;
  std::vector<uint32_t> m_drawCounts;
  std::vector<std::vector<uint32_t>> m_drawFaces;
  bool m_listed = false;  // in the global instance list
  std::unique_ptr<HalfEdgeMesh> m_halfEdges;
  std::vector<ChildEntry> m_childEntries;
  CMeshInstance* m_parentInstance = nullptr;
  int32_t m_lodStart = 0;
  std::vector<LodEntry> m_lods;
  CMeshInstance* m_lastPicked = nullptr;
  CMeshInstance* m_currentLOD = nullptr;
  std::vector<Color> m_staticColours;  // F x 3
  std::vector<CMeshLayer*> m_layers;
  std::vector<std::unique_ptr<CMeshLayer>> m_adoptedLayers;
  std::vector<Part> m_parts;
  ObjectLightState m_lightState;
  std::unique_ptr<LightMapData> m_lightMaps;
  // Arrays with their own deleters (the element type is not known here).
  std::shared_ptr<CTerrainPolygon> m_terrainPolygons;
  uint32_t m_terrainPolygonCount = 0;
  std::shared_ptr<CTerrainPatch> m_terrainPatches;
  uint32_t m_terrainPatchCount = 0;
};
