// CStaticCollisionPrimative: base of the immovable things movers collide with - terrain faces, patches, structure hulls.
#pragma once

#include <cstdint>

#include "core/spatial/BoundedObject.h"
#include "core/math/Vector3.h"
#include "physics/collision/CollisionInfo.h"
#include "physics/collision/CollisionObject.h"

class CMeshInstance;
class CTextureProperties;
struct SurfaceType;

class CStaticCollisionPrimative : public CCollisionObject {
 public:
  CStaticCollisionPrimative();
  ~CStaticCollisionPrimative() override;

  // The embedded record (kind 1, this object, its surface and owner); the asker does not matter.
  const CollisionInfo* GetCollisionInfo(CCollisionObject* asker) override { return &m_info; }
  // Hands the contact to the owner while the owner asks for contacts (its flag 0x4) and is a
  // collision object that can hear them; otherwise false.
  bool HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) override;

  // What stands behind the primitive: the collision object that hears its contacts or, for
  // level terrain, the mesh section that draws its face.
  CBoundedObject* GetOwner() const { return m_info.owner ? static_cast<CBoundedObject*>(m_info.owner) : m_section; }
  CCollisionObject* GetCollisionOwner() const { return m_info.owner; }
  const SurfaceType* GetSurface() const { return m_info.surface; }
  // The instance the primitive reads its geometry from. Borrowed: the instance owns its
  // primitives, never the reverse.
  CMeshInstance* GetInstance() const { return GetMeshInstance(); }

  // The texture behind a texture slot of the instance, or null for an untextured face.
  static const CTextureProperties* SlotTexture(CMeshInstance* instance, uint32_t slot);
  // The texture of a mesh face, or null (no texture, or a face past the mesh).
  static const CTextureProperties* FaceTexture(CMeshInstance* instance, uint32_t face);
  // An entry of the mesh's texture table, or null past the table.
  static const CTextureProperties* TableTexture(CMeshInstance* instance, uint32_t index);

 protected:
  // Surface entry 0, then the entry named by the top byte of the texture's flag word.
  void ChooseSurface(const CTextureProperties* texture);
  // Every primitive collides, blocks movers and offers nothing else.
  void SetStaticCollisionFlags();
  // Edges and points: not drawn, lit or shadowed, blocking static shadow rays, no camera pass.
  void SetLooseGeometryFlags();
  // A mesh vertex where the instance stands (the mesh's own position for an identity placement).
  static Vector3 VertexWorldPosition(CMeshInstance* instance, uint32_t vertex);
  // Sets or clears the bounded-object bits.
  void SetBits(uint32_t bits, bool on) {
    if (on)
      AddBoundFlags(bits);
    else
      ClearBoundFlags(bits);
  }

  // Borrows the instance (it stays with the mesh that shows it) and files the primitive as part
  // of it, so the octree's ray exclusion and relighting treat it as the instance.
  void BindInstance(CMeshInstance* instance);

  CollisionInfo m_info;
  // The mesh section standing behind a face that has no collision owner. Kept apart from the
  // record's owner: a section is no collision object and must never be handed contacts.
  CBoundedObject* m_section = nullptr;
};
