// RegisterRenderLoaders: plugs the render folder's assets (textures) into the resource table.
#pragma once

// ".texture" files and Targa images load as CTexture objects. Calling it again changes nothing.
void RegisterRenderLoaders();
