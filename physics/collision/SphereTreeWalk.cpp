// IntersectSphereTree: the breadth-first sphere-tree walk shared by every query kind.
#include "physics/collision/SphereTreeWalk.h"

#include <vector>

#include "core/math/GenericIntersection.h"
#include "core/math/Orientation.h"
#include "physics/collision/SphereTreeNode.h"

namespace {

struct PendingPair {
  const SphereTreeNode* model;
  SphereTreeNode* working;
};

// Pending node pairs of the walk in progress; one queue for the whole run, so walks may not nest.
std::vector<PendingPair>& SphereTreeQueue() {
  static std::vector<PendingPair> queue;
  return queue;
}

struct BestHit {
  IntersectionResult result;
  Vector3 normal;
};

}  // namespace

bool IntersectSphereTree(GenericIntersection& query, const SphereTreeRef& tree) {
  std::vector<PendingPair>& queue = SphereTreeQueue();
  queue.clear();
  if (tree.model == nullptr || tree.working == nullptr) {
    query.result.Reset();
    return false;
  }
  queue.push_back({tree.model, tree.working});
  const uint32_t savedMode = query.mode;
  BestHit best{};
  best.result.Reset();
  best.normal = query.normal;
  bool found = false;
  // Breadth first: pairs are taken from the front while children are appended at the back.
  for (size_t i = 0; i < queue.size(); ++i) {
    const PendingPair pair = queue[i];
    SphereTreeNode* node = pair.working;
    // Stamp 0 means "never transformed", so a pose stamp of 0 always recomputes.
    if (node->stamp != tree.stamp || tree.stamp == 0) {
      node->centre = tree.orientation != nullptr ? tree.orientation->LocalToWorldPoint(pair.model->centre)
                                                 : pair.model->centre;
      node->stamp = tree.stamp;
    }
    // The model decides the shape: a working tree that was cut short is walked no deeper.
    const uint32_t children = pair.model->children != nullptr && node->children != nullptr
                                  ? (pair.model->childCount < node->childCount ? pair.model->childCount
                                                                               : node->childCount)
                                  : 0;
    query.mode = children > 0 ? QueryMode::kStartOverlap : savedMode;
    if (!query.IntersectSphere(node->centre, pair.model->radius)) continue;
    if (children > 0) {
      for (uint32_t c = 0; c < children; ++c) queue.push_back({&pair.model->children[c], &node->children[c]});
      continue;
    }
    if (savedMode & QueryMode::kFirstLeaf) {
      query.mode = savedMode;
      queue.clear();
      return true;
    }
    found = true;
    if (query.result.time < best.result.time) {
      best.result = query.result;
      best.normal = query.normal;
    }
  }
  queue.clear();
  query.result = best.result;
  query.normal = best.normal;
  query.mode = savedMode;
  return found;
}
