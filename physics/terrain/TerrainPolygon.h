// CTerrainPolygon: one face of a mesh instance as a static collision primitive and occluder.
#pragma once

#include <cstdint>

#include "physics/collision/StaticCollisionPrimative.h"
#include "scene/mesh/OccluderObjectInterface.h"

class CTerrainPolygon : public CStaticCollisionPrimative, public COccluderObjectInterface {
 public:
  // Bounded-object flags a setup chooses from, named for the choices it makes.
  static constexpr uint32_t kOccluderBits = 0x40100;     // opaque faces occlude and cull their back
  static constexpr uint32_t kStaticWorldBits = 0x120000;  // colliding static world geometry
  static constexpr uint32_t kTextureNoSections = 0x400;  // texture flag bits this class tests
  static constexpr uint32_t kTextureBitmap = 0x800000;
  static constexpr uint32_t kTextureTwoSided = 0x800;
  static constexpr uint32_t kTextureNoCollide = 0x1000;
  static constexpr uint32_t kTextureNoAlphaTest = 0x2000;
  static constexpr uint32_t kTextureFlagged = 0x4000;
  static constexpr uint32_t kTranslucentMask = 0xC;
  // A texel at or below this alpha lets an alpha-tested query pass.
  static constexpr uint8_t kAlphaThreshold = 64;

  CTerrainPolygon() = default;
  ~CTerrainPolygon() override = default;

  // Binds the primitive to face `face` of the instance: surface, flags, box and owner (the
  // instance's mesh section of the face when no owner is given). False (logged, nothing
  // bound) for a null instance or a face past the mesh.
  bool Setup(CMeshInstance* instance, uint32_t face, CCollisionObject* owner);

  // One-sided against opaque faces (flag 0x100), two-sided otherwise; an alpha-tested query
  // passes through faint texels. An unbound primitive is never hit.
  bool Intersect(GenericIntersection* query) override;
  // Only the face's three corners: a level's terrain is one instance, and relighting all of it
  // for every change nearby would redo the whole level each time.
  void MarkLightingStale() override;
  // Lists the face in the instance's partial-draw lists.
  void Render(CSceneDrawInterface* view) override;

  HalfEdgeMesh* GetOccluderMesh() override;
  int32_t GetOccluderTag() const override { return m_face; }

  int32_t GetFace() const { return m_face; }
  bool IsBound() const { return m_face >= 0 && GetInstance() != nullptr; }

  // Whether the render group holding the face is drawn translucent: the texture of the
  // group's first member face carries 0x4 or 0x8 (a face without a sharing table is its own group).
  static bool IsGroupTranslucent(CMeshInstance* instance, uint32_t face);

 protected:
  // Where a face's setup and a patch's setup part ways in choosing flags.
  struct FlagChoice {
    bool occludes;                  // opaque: occludes and culls its back
    bool receivesProjectedShadows;
    uint32_t ownerShadowMask;       // owner flags that stop it blocking static shadow rays
    uint32_t noRenderTextureMask;   // texture flags that keep it out of the partial-draw lists
  };

  // Binds instance, face and owner (section cleared) and chooses the surface and the bounded-object
  // flags from the texture, the owner and `choice`; the box and the section are left to the caller.
  void BindAndChooseFlags(CMeshInstance* instance, uint32_t face, CCollisionObject* owner,
                          const CTextureProperties* texture, const FlagChoice& choice);

  int32_t m_face = -1;  // the face (the patch for a patch); -1 while unbound

 private:
  // The face's corners and normal where the instance stands; false once the mesh has changed
  // under the primitive so that the face is gone.
  bool GetGeometry(Vector3 corners[3], Vector3& normal) const;
  bool PassesAlphaTest(const GenericIntersection& query) const;
};
