// Wire spheres of a sphere tree through the scene's drawing context.
#include "physics/collision/SphereTreeDraw.h"

#include "core/math/Orientation.h"
#include "physics/collision/SphereTreeNode.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace {

Vector3 Place(const SphereTreeNode& node, const COrientation* frame) {
  return frame != nullptr ? frame->LocalToWorldPoint(node.centre) : node.centre;
}

void DrawLeaves(CSceneDrawInterface& view, const SphereTreeNode& node, const COrientation* frame, uint32_t colour) {
  if (node.childCount == 0 || !node.children) {
    view.DrawDebugSphere(Place(node, frame), node.radius, colour);
    return;
  }
  for (uint32_t i = 0; i < node.childCount; ++i) DrawLeaves(view, node.children[i], frame, colour);
}

}  // namespace

void DrawSphereTreeDebug(CSceneDrawInterface& view, const SphereTreeNode& root, const COrientation* frame,
                         uint32_t rootColour, uint32_t leafColour) {
  if (root.childCount == 0 || !root.children) {
    view.DrawDebugSphere(Place(root, frame), root.radius, leafColour);
    return;
  }
  view.DrawDebugSphere(Place(root, frame), root.radius, rootColour);
  DrawLeaves(view, root, frame, leafColour);
}
