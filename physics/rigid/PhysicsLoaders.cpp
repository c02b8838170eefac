// RegisterPhysicsLoaders: rigid-body models are built from the meshes the table loads.
#include "physics/rigid/PhysicsLoaders.h"

#include "physics/rigid/RigidConst.h"

void RegisterPhysicsLoaders() { RigidConst::RegisterResourceLoaders(); }
