// CWeatherManager: the level's weather, stepped once per world tick (cloud regions come with the effects work).
#pragma once

#include <cstdint>

class CResourceTable;

class CWeatherManager {
 public:
  explicit CWeatherManager(CResourceTable* resources) : m_resources(resources) {}
  ~CWeatherManager() = default;
  void Update(float dt) { ++m_updates; }
  void Clear() {}
  uint32_t GetUpdateCount() const { return m_updates; }

 private:
  CResourceTable* m_resources = nullptr;
  uint32_t m_updates = 0;
};
