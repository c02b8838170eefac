// RegisterPhysicsLoaders: plugs the physics folder's assets (rigid-body models) into the resource table.
#pragma once

// Makes mesh loads with rigid-body constants give RigidConst models, and registers their release
// function. The mesh loader itself comes from RegisterSceneLoaders.
void RegisterPhysicsLoaders();
