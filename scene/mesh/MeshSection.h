// CMeshSection: a spatially compact piece of the level's world mesh, filed in the octree and drawn on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/spatial/BoundedObject.h"
#include "core/math/Box.h"

class CLight;
class CMeshInstance;
class CSceneDrawInterface;
class LightList;

// The faces of one section that share a material key, with their world-space bounds. Face
// indices are 32-bit: a large level grid has well over 65,535 faces.
struct MeshFaceGroup {
  uint32_t key = 0;
  Box bounds{};
  std::vector<uint32_t> faces;
};

class CMeshSection : public CBoundedObject {
 public:
  static constexpr uint32_t kWorldFaceLimit = 1500;
  // Faces with textures carrying these flags belong to no section.
  static constexpr uint32_t kExcludedTextureFlags = 0x400 | 0x800000;

  // A face section (patch -1) or the section of one curved patch of the owner's mesh.
  explicit CMeshSection(CMeshInstance* owner, int32_t patchIndex = -1);
  ~CMeshSection() override = default;

  // Cuts the instance's mesh into sections of at most faceLimit faces (at least 1), then one
  // section per curved patch; appends them to out.
  static void Build(CMeshInstance* instance, std::vector<std::unique_ptr<CMeshSection>>& out, uint32_t faceLimit);

  // Adds a face of the owner's mesh (or, on a patch section, the patch). False (logged) when
  // the face or one of its vertices lies outside the mesh.
  bool AddFace(uint32_t face);
  // The lights of the list that reach the section's box.
  void GatherLights(LightList& list);
  void Render(CSceneDrawInterface* view) override;

  int32_t GetPatchIndex() const { return m_patchIndex; }
  uint32_t GetFaceCount() const { return m_faceCount; }
  const std::vector<MeshFaceGroup>& GetGroups() const { return m_groups; }
  const std::vector<CLight*>& GetLights() const { return m_lights; }
  // Frame number of the render view at the last draw; 0 before the first.
  uint32_t GetLastDrawnFrame() const { return m_drawnFrame; }

 private:
  void AddFaceBox(uint32_t face, uint32_t key, const Box& box);
  bool FaceWorldCorners(uint32_t face, Vector3 corners[3]) const;
  // Splits into two halves on the axis of the largest extent (by order when the faces cannot be told apart).
  void SplitInto(CMeshSection& first, CMeshSection& second) const;
  void DrawPartial(CSceneDrawInterface* view);
  void ClearFaces();

  std::vector<CLight*> m_lights;
  int32_t m_patchIndex = -1;
  uint32_t m_faceCount = 0;
  std::vector<MeshFaceGroup> m_groups;
  uint32_t m_drawnFrame = 0;
};
