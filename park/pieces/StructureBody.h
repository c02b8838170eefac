// CStructureBody: base of every placed static structure - a game object with collision built from
// its mesh, a damage record, and the effects hung on its mesh.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/services/AttachObjectCarrier.h"
#include "core/world/GameObject.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"
#include "park/pieces/DamageInfo.h"
#include "physics/collision/CollisionObject.h"

class CStaticObstacle;
class ShadedMesh;
struct SphereTreeNode;

// The event a structure is told of: kind, a value (number, vector or centre by kind), and for
// the area kinds the magnitude, radius and falloff.
struct StructureEvent {
  enum Kind : int32_t { kImpact = 3, kDamage = 4, kHeat = 5, kPush = 6, kAreaDamage = 7, kAreaHeat = 8, kAreaPush = 9 };
  int32_t eventKind = 0;
  float value = 0.0f;       // impact impulse, damage or heat
  Vector3 vector;           // push force, or the centre of an area event
  float magnitude = 0.0f;
  float radius = 1.0f;
  float falloff = 0.0f;
};

// Where the event met the structure.
struct StructureContact {
  Vector3 position;
  Vector3 direction;
};

class CStructureBody : public CGameObject, public CCollisionObject, public CDamageInfo, public CAttachObjectCarrier {
 public:
  static constexpr uint32_t kNoFire = 0xFFFFFFFFu;
  static constexpr uint32_t kTargetableBit = 0x200000;
  static constexpr uint32_t kNeedsUpdate = 0x201;
  static constexpr uint32_t kAttachSphereMarker = 2;  // attach point data: f32 radius

  CStructureBody();
  ~CStructureBody() override;

  // Set-up from a mesh resource id of the world; false when the world has no such mesh.
  bool InitFromMesh(const COrientation& frame, int meshId, bool buildCollision, bool fullDetail);
  // The same with the mesh at hand (it must outlive the structure).
  bool InitFromMeshData(const COrientation& frame, ShadedMesh* mesh, int meshId, bool buildCollision, bool fullDetail);

  // --- Game object ---
  void Init(bool created) override;
  void Update(float dt) override;
  const char* GetInfoString() const override { return "<No Info Available>"; }
  virtual void Ignite(const Vector3& position, float heat);
  virtual void ApplyDamage(const Vector3& position, float amount);
  virtual void OnImpact(const Vector3& position, float impulse);
  virtual void ApplyForce(const Vector3& force, const Vector3& position) { (void)force, (void)position; }

  // --- Collision ---
  // Tells the structure of an event at a contact; false for kinds it does not know. Each event
  // (told apart by address) counts once per tick however often it arrives.
  bool HandleEvent(const StructureEvent& event, const StructureContact& contact);
  void Render(CSceneDrawInterface* view) override;

  // --- Carrier ---
  float GetAttachIntensity(int index) const override;

  // --- Geometry ---
  void BuildCollision();
  void DestroyCollision();
  // Unfile, destroy, build, file and recompute the bounds (after a move).
  void RebuildCollision();
  void RecomputeBounds();
  const COrientation& GetWorldMatrix();
  int GetMeshId() const { return m_meshId; }
  ShadedMesh* GetMesh() const { return m_mesh; }
  const SphereTreeNode* GetSphereSet() const { return m_sphereSet.get(); }
  const CStaticObstacle* GetObstacle() const { return m_obstacle.get(); }
  bool HasPolygonCollision() const { return m_collisionMesh != nullptr; }

  // --- Fire ---
  // The fire burning on the structure, or null; a fire the world no longer has is forgotten.
  CGameObject* GetFire();
  uint32_t GetFireId() const { return m_fireId; }
  float GetLastImpactTime() const { return m_lastImpactTime; }
  size_t GetHandledEventCount() const { return m_handledEvents.size(); }

 protected:
  // Files the collision geometry in the world's octree (nothing without a world).
  void FileCollision();
  void UnfileCollision();
  bool IsNetworkClient() const;
  // The collision mesh's terrain polygons and patches, out of the octree.
  void ReleasePrimitives();

  float m_pulseTime = 0.0f;
  float m_pulseLevel = 0.0f;

 private:
  void CreateMeshInstance(const COrientation& frame);
  float WorldTime() const;

  ShadedMesh* m_mesh = nullptr;
  std::unique_ptr<SphereTreeNode> m_sphereSet;
  std::unique_ptr<CStaticObstacle> m_obstacle;
  int m_meshId = -1;
  uint32_t m_fireId = kNoFire;
  std::vector<const void*> m_handledEvents;  // compared only, never followed
  float m_lastImpactTime = -1000.0f;
  CMeshInstance* m_collisionMesh = nullptr;  // the LOD instance whose faces collide; owned by the mesh instance
  bool m_filed = false;
};
