// LightMapFaceIndex: faces of a mesh grouped by their exact corner positions, so that matching
// every baked record to its face costs one lookup instead of a scan of all faces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class ShadedMesh;

class LightMapFaceIndex {
 public:
  using Key = std::array<uint32_t, 9>;

  explicit LightMapFaceIndex(const ShadedMesh& mesh);

  // The key of nine corner floats; false for corners that can equal nothing (not a number).
  static bool MakeKey(const float corners[9], Key& out);
  // The first face of the key's group for which taken(face) is false; -1 when none. Faces only
  // ever become taken during one load, so each group's cursor moves forward only.
  template <typename Taken>
  int64_t FirstFree(const Key& key, Taken&& taken) {
    auto it = m_groups.find(key);
    if (it == m_groups.end()) return -1;
    Group& group = it->second;
    while (group.cursor < group.faces.size() && taken(group.faces[group.cursor])) ++group.cursor;
    if (group.cursor >= group.faces.size()) return -1;
    return static_cast<int64_t>(group.faces[group.cursor]);
  }

 private:
  struct KeyHash {
    size_t operator()(const Key& key) const;
  };
  struct Group {
    std::vector<uint32_t> faces;  // ascending
    size_t cursor = 0;
  };
  std::unordered_map<Key, Group, KeyHash> m_groups;
};
