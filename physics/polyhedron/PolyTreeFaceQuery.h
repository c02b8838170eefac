// PolyTreeFaceQuery: a query with no polyhedron test of its own (segments, swept spheres, their arrays) meets a
// tree's convex pieces face by face, as it meets static polygons.
#pragma once

class COrientation;
class GenericIntersection;
class PolyTree;

// Every face of every atomic piece, carried into the world by the pieces' poses and then `pose`, goes to the
// query as one-sided triangles facing out. The earliest hit is left in the query's record and normal (time
// FLT_MAX when none); true when any face was hit.
bool IntersectPolyTreeFaces(GenericIntersection& query, const PolyTree& tree, const COrientation& pose);
