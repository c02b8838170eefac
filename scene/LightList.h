// LightList: the world's list of lights, bound to the octree for shadow rays.
#pragma once

#include <algorithm>
#include <vector>

class CLight;
class COctree;

class LightList {
 public:
  explicit LightList(COctree* octree) : m_octree(octree) {}
  void Add(CLight* light) {
    if (light != nullptr) m_lights.push_back(light);
  }
  // Takes out the first entry of that light, keeping the order of the rest.
  void Remove(CLight* light) {
    auto it = std::find(m_lights.begin(), m_lights.end(), light);
    if (it != m_lights.end()) m_lights.erase(it);
  }
  void Clear() { m_lights.clear(); }
  size_t GetCount() const { return m_lights.size(); }
  CLight* GetLight(size_t i) const { return i < m_lights.size() ? m_lights[i] : nullptr; }
  COctree* GetOctree() const { return m_octree; }

 private:
  COctree* m_octree = nullptr;
  std::vector<CLight*> m_lights;  // not owned
};
