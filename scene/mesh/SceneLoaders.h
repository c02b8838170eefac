// RegisterSceneLoaders: plugs the scene folder's asset loaders (mesh files) into the resource table.
#pragma once

// Registers the loader of asset type kResourceMesh for every table; calling it again changes nothing.
void RegisterSceneLoaders();
