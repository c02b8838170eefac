// RegisterSceneLoaders: mesh files load as ShadedMesh objects.
#include "scene/mesh/SceneLoaders.h"

#include "scene/mesh/ShadedMesh.h"

void RegisterSceneLoaders() { ShadedMesh::RegisterResourceLoader(); }
