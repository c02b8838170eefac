// RigidConst: the shared read-only model of a kind of rigid body - mesh, collision spheres, convex pieces, mass and constants.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Box.h"
#include "core/data/ResourceOwner.h"
#include "physics/rigid/RigidConstMass.h"
#include "physics/rigid/RigidConstParams.h"
#include "physics/collision/SphereTreeNode.h"

class PolyTree;
class ShadedMesh;

// Attach-point types a rigid-body model is authored with.
constexpr uint32_t kAttachRigidPointMass = 1;   // f32 mass, f32 radius
constexpr uint32_t kAttachRigidSphere = 2;      // f32 radius
constexpr uint32_t kAttachRigidParams = 50;     // the RigidPhysicsParams block
constexpr uint32_t kAttachVehicleDef = 51;      // read by the vehicle definition
constexpr uint32_t kAttachRigidConvex = 80;     // u32 n, 12 unread bytes, n points of 3 f32

class RigidConst {
 public:
  RigidConst();
  virtual ~RigidConst();
  RigidConst(const RigidConst&) = delete;
  RigidConst& operator=(const RigidConst&) = delete;

  // Builds the whole model from a loaded mesh, which it keeps (also on failure). False only
  // for a null mesh.
  bool BuildFromMesh(std::unique_ptr<ShadedMesh> mesh);
  // The same on a mesh that something else owns and keeps alive for as long as this model (a
  // part of a bigger mesh); the build changes the mesh as it would an owned one.
  void BuildOnBorrowedMesh(ShadedMesh& mesh);

  const ShadedMesh* GetMesh() const { return m_mesh; }
  ShadedMesh* GetMesh() { return m_mesh; }
  const SphereTreeNode& GetSphereRoot() const { return m_sphereRoot; }
  const Box& GetTurningBounds() const { return m_turningBounds; }
  const Box& GetModelBox() const { return m_modelBox; }
  const PolyTree* GetPieces() const { return m_pieces.get(); }
  const RigidMassProperties& GetMass() const { return m_mass; }
  const RigidPhysicsParams& GetParams() const { return m_params; }
  RigidPhysicsParams& GetParams() { return m_params; }

  // Plugs the rigid-body model (and, once a vehicle builder is set, the vehicle definition)
  // into the resource table's mesh loads (RegisterPhysicsLoaders does this at start-up).
  static void RegisterResourceLoaders();
  // A mesh with a type-51 attach point becomes whatever this makes of it (an empty owner: not a
  // vehicle); the builder takes the mesh from `mesh` when it returns an object.
  typedef ResourceOwner (*VehicleBuilder)(std::unique_ptr<ShadedMesh>& mesh);
  static void SetVehicleBuilder(VehicleBuilder builder);

 private:
  void Build();
  void ReadPointMasses();
  void BuildSpheres();
  void BuildPieces();
  void FinishMesh();

  std::unique_ptr<ShadedMesh> m_ownedMesh;  // empty when the mesh is borrowed
  ShadedMesh* m_mesh = nullptr;             // the mesh built on: the owned one or the borrowed one
  SphereTreeNode m_sphereRoot;
  Box m_turningBounds;
  Box m_modelBox;
  std::unique_ptr<PolyTree> m_pieces;
  RigidMassProperties m_mass;
  RigidPhysicsParams m_params;
};
