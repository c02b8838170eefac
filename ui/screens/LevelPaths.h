// LevelPaths: the three-dimensional path graphs a level mesh carries as path records on its attach
// points, made into the park's paths.
#pragma once

#include <cstddef>

class COrientation;
class CVerezIvor;
class ShadedMesh;

// One C3DPath per path record of the mesh placed at meshWorld, in attach-point order, moved to its
// attach point's position and handed to the park, which files it in its octree. A record that does
// not read is logged and skipped. Returns the number of paths made.
size_t AddLevelPaths(CVerezIvor& park, const ShadedMesh& mesh, const COrientation& meshWorld);
