// RegisterRenderLoaders: plugs the render folder's assets (textures) into the resource table and the mesh loader.
#pragma once

// ".texture" files and Targa images load as CTexture objects, also those meshes load by name.
// Calling it again changes nothing.
void RegisterRenderLoaders();
