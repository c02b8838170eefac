// CMeshInstance: the drawable instance of a shared mesh (filled in by the scene-graph work).
#pragma once

class CMeshInstance {
 public:
  CMeshInstance() = default;
  virtual ~CMeshInstance() = default;
  // Clears the per-frame light counters of every instance before a scene draw.
  static void ClearLightCounters() {}
  // Marks the instance's lighting stale so that it is lit again at run time.
  void InvalidateLighting() { m_lightingStale = true; }
  bool IsLightingStale() const { return m_lightingStale; }

 private:
  bool m_lightingStale = false;
};
