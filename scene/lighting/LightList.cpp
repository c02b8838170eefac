#include "scene/lighting/LightList.h"

#include <algorithm>

#include "scene/lighting/AmbientLight.h"
#include "scene/lighting/Light.h"
#include "scene/lighting/ObjectLightState.h"

void LightList::Add(CLight* light) {
  if (light == nullptr || FindLight(light, light->GetSerial()) >= 0) return;
  Entry entry;
  entry.light = light;
  auto at = m_entries.end();
  if ((light->GetLightFlags() & CLight::kExclusive) != 0) {
    at = std::find_if(m_entries.begin(), m_entries.end(),
                      [light](const Entry& e) { return e.light->GetPriority() < light->GetPriority(); });
  }
  m_entries.insert(at, entry);
  m_active.clear();  // indices past the insertion point moved
}

void LightList::Remove(CLight* light) {
  auto it = std::find_if(m_entries.begin(), m_entries.end(), [light](const Entry& e) { return e.light == light; });
  if (it != m_entries.end()) m_entries.erase(it);
  m_active.clear();
}

void LightList::Clear() {
  m_entries.clear();
  m_active.clear();
}

void LightList::SelectLights(const Box& box, uint32_t mask) {
  m_active.clear();
  for (size_t i = 0; i < m_entries.size(); ++i) {
    const CLight* light = m_entries[i].light;
    if (light->GetBounds().Overlaps(box) && light->HasLightFlags(mask)) m_active.push_back(i);
  }
}

void LightList::ComputeInfluences(const Vector3& point, uint8_t markRay, uint32_t rayMask) {
  CAmbientLight::ResetBestPriority();
  for (size_t i : m_active) {
    CLight* light = m_entries[i].light;
    light->ComputeInfluence(point.x, point.y, point.z, m_octree, light->GetTransform(), markRay, rayMask);
  }
}

void LightList::TransformToLocal(const COrientation& objectFrame) {
  for (size_t i : m_active) m_entries[i].local = objectFrame.WorldToLocalOrientation(m_entries[i].light->GetTransform());
}

void LightList::SumLocalColor(Vector3& out, const Vector3& normal, const Vector3& position) const {
  out = m_baseColor;
  Vector3 add;
  for (size_t i : m_active) {
    m_entries[i].light->GetContribution(add, normal, position, m_entries[i].local);
    out += add;
  }
}

void LightList::SumWorldColor(Vector3& out, const Vector3& normal, const Vector3& position) const {
  out = m_baseColor;
  Vector3 add;
  for (size_t i : m_active) {
    const CLight* light = m_entries[i].light;
    light->GetContribution(add, normal, position, light->GetTransform());
    out += add;
  }
}

int LightList::FindLight(const CLight* light, uint32_t serial) const {
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (m_entries[i].light == light && m_entries[i].light->GetSerial() == serial) return static_cast<int>(i);
  return -1;
}

// Lights move in the list when others are inserted or removed, and a cached light may be gone
// altogether. Every entry (index 0 included) is checked against the list; the pointer is only
// compared, so a deleted light is never touched.
void LightList::VerifyCache(ObjectLightState& state) const {
  auto& cache = state.entries;
  for (size_t k = 0; k < cache.size();) {
    LightCacheEntry& e = cache[k];
    e.seen = 0;
    const bool inPlace = e.index < m_entries.size() && m_entries[e.index].light == e.light &&
                         m_entries[e.index].light->GetSerial() == e.serial;
    if (!inPlace) {
      const int found = FindLight(e.light, e.serial);
      if (found < 0) {
        cache.erase(cache.begin() + static_cast<std::ptrdiff_t>(k));
        continue;
      }
      e.index = static_cast<uint32_t>(found);
    }
    ++k;
  }
}

void LightList::RefreshCachedLight(ObjectLightState& state, size_t index, bool moved, float elapsed,
                                   uint32_t rayMask) {
  CLight* light = m_entries[index].light;
  for (LightCacheEntry& e : state.entries) {
    if (e.light != light || e.serial != light->GetSerial()) continue;
    e.seen = 1;
    e.index = static_cast<uint32_t>(index);
    const bool lightMoves = (light->GetBoundFlags() & CBoundedObject::kNoCellRefs) != 0;
    if (moved || e.changing != 0 || lightMoves) {
      const Vector3& c = state.centre;
      const float target = light->ComputeInfluence(c.x, c.y, c.z, m_octree, light->GetTransform(), 1, rayMask);
      // Move by at most the elapsed time, so influences fade rather than switch.
      e.influence = target > e.influence ? std::min(e.influence + elapsed, target) : std::max(e.influence - elapsed, target);
      e.changing = e.influence != target ? 1 : 0;
    }
    return;
  }
  LightCacheEntry fresh;
  fresh.index = static_cast<uint32_t>(index);
  fresh.light = light;
  fresh.serial = light->GetSerial();
  fresh.influence = 0.0f;  // new lights fade in
  fresh.changing = 1;
  fresh.seen = 1;
  state.entries.push_back(fresh);
}

void LightList::UpdateObjectLights(ObjectLightState& state, const Vector3& centre, float now, uint32_t rayMask) {
  if (state.stamp == now) return;
  const float elapsed = now - state.stamp;
  const bool moved = !(state.centre == centre);
  state.centre = centre;
  state.stamp = now;

  SelectLights(Box(centre, centre), CLight::kLightsMeshes);
  VerifyCache(state);
  CAmbientLight::ResetBestPriority();
  for (size_t i : m_active) RefreshCachedLight(state, i, moved, elapsed, rayMask);

  auto& cache = state.entries;
  for (size_t k = 0; k < cache.size();) {
    LightCacheEntry& e = cache[k];
    if (e.seen == 0) {
      e.influence -= elapsed;
      if (e.influence <= 0.0f) {
        cache.erase(cache.begin() + static_cast<std::ptrdiff_t>(k));
        continue;
      }
    }
    ++k;
  }
}

void LightList::SelectByIndices(const ObjectLightState& state) {
  m_active.clear();
  for (const LightCacheEntry& e : state.entries) {
    if (e.index >= m_entries.size()) continue;
    CLight* light = m_entries[e.index].light;
    if (light != e.light || light->GetSerial() != e.serial) continue;  // the list changed since the update
    m_active.push_back(e.index);
    light->SetInfluence(e.influence);
  }
}
