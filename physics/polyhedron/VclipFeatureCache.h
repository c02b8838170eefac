// ClosestFeatureCache: the last closest feature pair of every pair of polyhedron-tree nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>

class Feature;
class PolyTree;

struct ClosestFeaturePair {
  const Feature* feature1 = nullptr;
  const Feature* feature2 = nullptr;
};

// Keyed by node addresses, so an entry would dangle once its node dies: every live
// cache is told when a node is destroyed or given a new polyhedron and drops the
// entries that name it.
class ClosestFeatureCache {
 public:
  explicit ClosestFeatureCache(size_t buckets = 3079);
  ~ClosestFeatureCache();
  ClosestFeatureCache(const ClosestFeatureCache&) = delete;
  ClosestFeatureCache& operator=(const ClosestFeatureCache&) = delete;

  // The entry of (tree1, tree2), created empty (null features) when missing.
  ClosestFeaturePair& FindOrInsert(const PolyTree* tree1, const PolyTree* tree2);
  // The cached pair, or null when there is none.
  const ClosestFeaturePair* Find(const PolyTree* tree1, const PolyTree* tree2) const;
  void ForgetTree(const PolyTree* tree);
  size_t Size() const { return entries_.size(); }

  static void ForgetTreeEverywhere(const PolyTree* tree);
  // The table the rigid bodies share.
  static ClosestFeatureCache& Shared();

 private:
  using Key = std::pair<const PolyTree*, const PolyTree*>;
  struct KeyHash {
    size_t operator()(const Key& key) const {
      const uintptr_t k1 = reinterpret_cast<uintptr_t>(key.first);
      const uintptr_t k2 = reinterpret_cast<uintptr_t>(key.second);
      constexpr unsigned kBits = sizeof(uintptr_t) * 8;
      return static_cast<size_t>(((k2 << 16) | (k2 >> (kBits - 16))) ^ k1);
    }
  };
  std::unordered_map<Key, ClosestFeaturePair, KeyHash> entries_;
};
