// RigidConst: the shared read-only model of a kind of rigid body - mesh, collision spheres, convex pieces, mass and constants.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Box.h"
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

  const ShadedMesh* GetMesh() const { return m_mesh.get(); }
  ShadedMesh* GetMesh() { return m_mesh.get(); }
  // Hands the mesh back without deleting it, for a model built on a mesh that something else
  // owns (a part of a bigger mesh); the model keeps everything it built from it.
  ShadedMesh* ReleaseMesh() { return m_mesh.release(); }
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
  // A mesh with a type-51 attach point becomes whatever this makes of it (null: not a vehicle);
  // the builder takes the mesh from `mesh` when it returns an object.
  typedef void* (*VehicleBuilder)(std::unique_ptr<ShadedMesh>& mesh);
  static void SetVehicleBuilder(VehicleBuilder builder, void (*freeVehicle)(void*));

 private:
  void ReadPointMasses();
  void BuildSpheres();
  void BuildPieces();
  void FinishMesh();

  std::unique_ptr<ShadedMesh> m_mesh;
  SphereTreeNode m_sphereRoot;
  Box m_turningBounds;
  Box m_modelBox;
  std::unique_ptr<PolyTree> m_pieces;
  RigidMassProperties m_mass;
  RigidPhysicsParams m_params;
};
