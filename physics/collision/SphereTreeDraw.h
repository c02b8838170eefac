// DrawSphereTreeDebug: a sphere tree's outline as wire spheres, for the collision overlay.
#pragma once

#include <cstdint>

class COrientation;
class CSceneDrawInterface;
struct SphereTreeNode;

// The root in rootColour and every leaf below it in leafColour; the spheres between are left
// out, since they only repeat what the leaves show. Centres go through frame when one is given
// (model trees), and are taken as world points otherwise (trees already placed).
void DrawSphereTreeDebug(CSceneDrawInterface& view, const SphereTreeNode& root, const COrientation* frame,
                         uint32_t rootColour, uint32_t leafColour);
