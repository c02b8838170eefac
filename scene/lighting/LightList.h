// LightList: the world's lights in order (exclusive ones by priority), the active selection for the
// object being lit, colour sums, and the per-object smoothed light caches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/Vector3.h"

class CLight;
class COctree;
struct ObjectLightState;

class LightList {
 public:
  struct Entry {
    CLight* light = nullptr;  // not owned
    COrientation local;       // the light in the space of the object last given to TransformToLocal
  };

  explicit LightList(COctree* octree) : m_octree(octree) {}

  // Appends, or for an exclusive light inserts after every light of equal or higher priority.
  // A light already listed is not added twice (it would light everything twice).
  void Add(CLight* light);
  // Takes out the first entry of that light, keeping the order of the rest; clears the selection.
  void Remove(CLight* light);
  void Clear();

  // Selection: every light, in list order, whose box overlaps `box` and whose flags hold all of mask.
  void SelectLights(const Box& box, uint32_t mask);
  void ComputeInfluences(const Vector3& point, uint8_t markRay, uint32_t rayMask);
  void TransformToLocal(const COrientation& objectFrame);
  // Base colour plus the selected lights' contributions, with local or world transforms.
  void SumLocalColor(Vector3& out, const Vector3& normal, const Vector3& position) const;
  void SumWorldColor(Vector3& out, const Vector3& normal, const Vector3& position) const;

  // Brings an object's cache up to date at most once per distinct `now` and leaves the lights that
  // reach `centre` selected.
  void UpdateObjectLights(ObjectLightState& state, const Vector3& centre, float now, uint32_t rayMask);
  // Selects the cached lights and gives each its smoothed influence for the colour sums.
  void SelectByIndices(const ObjectLightState& state);

  size_t GetCount() const { return m_entries.size(); }
  CLight* GetLight(size_t i) const { return i < m_entries.size() ? m_entries[i].light : nullptr; }
  const Entry& GetEntry(size_t i) const { return m_entries[i]; }
  size_t GetActiveCount() const { return m_active.size(); }
  CLight* GetActiveLight(size_t i) const { return i < m_active.size() ? m_entries[m_active[i]].light : nullptr; }
  COctree* GetOctree() const { return m_octree; }
  const Vector3& GetBaseColor() const { return m_baseColor; }
  void SetBaseColor(const Vector3& color) { m_baseColor = color; }

 private:
  int FindLight(const CLight* light, uint32_t serial) const;
  void VerifyCache(ObjectLightState& state) const;
  void RefreshCachedLight(ObjectLightState& state, size_t index, bool moved, float elapsed, uint32_t rayMask);

  COctree* m_octree = nullptr;
  std::vector<Entry> m_entries;
  Vector3 m_baseColor;
  // Indices into m_entries: entries move when the array grows, indices stay valid until it changes.
  std::vector<size_t> m_active;
};
