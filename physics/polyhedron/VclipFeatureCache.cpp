#include "physics/polyhedron/VclipFeatureCache.h"

#include <algorithm>
#include <vector>

namespace {

// Never freed: trees may die during static destruction, after a registry object
// would have gone.
std::vector<ClosestFeatureCache*>& Registry() {
  static auto* registry = new std::vector<ClosestFeatureCache*>();
  return *registry;
}

}  // namespace

ClosestFeatureCache::ClosestFeatureCache(size_t buckets) : entries_(buckets) { Registry().push_back(this); }

ClosestFeatureCache::~ClosestFeatureCache() {
  auto& registry = Registry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

ClosestFeaturePair& ClosestFeatureCache::FindOrInsert(const PolyTree* tree1, const PolyTree* tree2) {
  return entries_[Key(tree1, tree2)];
}

const ClosestFeaturePair* ClosestFeatureCache::Find(const PolyTree* tree1, const PolyTree* tree2) const {
  const auto it = entries_.find(Key(tree1, tree2));
  return it == entries_.end() ? nullptr : &it->second;
}

void ClosestFeatureCache::ForgetTree(const PolyTree* tree) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = (it->first.first == tree || it->first.second == tree) ? entries_.erase(it) : std::next(it);
  }
}

void ClosestFeatureCache::ForgetTreeEverywhere(const PolyTree* tree) {
  for (ClosestFeatureCache* cache : Registry()) cache->ForgetTree(tree);
}

ClosestFeatureCache& ClosestFeatureCache::Shared() {
  static ClosestFeatureCache shared(3079);
  return shared;
}
