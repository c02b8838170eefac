// Debug shapes: wire boxes, spheres, sphere trees, vectors, frustums, lights and mesh outlines drawn with 3D lines.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

class CLight;
class CSceneDrawInterface;
class HalfEdgeMesh;
class LightList;
class ShadedMesh;
class ViewFrustum;
struct SphereTreeNode;

// Each takes the drawing context first; colours are 32-bit words with bytes b, g, r, a.
void DrawDebugBounds(CSceneDrawInterface& view, const Box& box, uint32_t colour);
void DrawDebugSphere(CSceneDrawInterface& view, const COrientation& frame, float radius, uint32_t colour);
// The node's sphere (leaf colour without children, colour when drawThis), then every child below it.
void DrawDebugBoundingTree(CSceneDrawInterface& view, const SphereTreeNode& node, const COrientation& frame,
                           uint32_t colour, uint32_t leafColour, bool drawThis);
void DrawDebugVector(CSceneDrawInterface& view, const Vector3& point, const Vector3& direction, float scale,
                     uint32_t colour);
void DrawDebugFrustum(CSceneDrawInterface& view, const ViewFrustum& camera, uint32_t colour);
void DrawDebugCross(CSceneDrawInterface& view, const Vector3& point, float size, uint32_t colour);
void DrawDebugLight(CSceneDrawInterface& view, const CLight& light);
void DrawDebugLights(CSceneDrawInterface& view, const LightList& lights);
void DrawDebugNormals(CSceneDrawInterface& view, const ShadedMesh& mesh, float length, uint32_t colour);
void DrawDebugTriangle(CSceneDrawInterface& view, const Vector3& a, const Vector3& b, const Vector3& c,
                       uint32_t colour, bool outlineOnly);
// A polygon set: each polygon its corners in order. Outline only: every edge round each polygon;
// otherwise the three edges of every fan triangle (corner 0, i, i + 1) of polygons of three or more.
void DrawDebugPolygons(CSceneDrawInterface& view, const std::vector<std::vector<Vector3>>& polygons, uint32_t colour,
                       bool outlineOnly);
void DrawDebugHalfEdgeMesh(CSceneDrawInterface& view, const HalfEdgeMesh& mesh);
