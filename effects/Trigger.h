// CTrigger: a level trigger - a switch of the level that effects read to turn on and off.
#pragma once

#include <cstdint>

class CTrigger {
 public:
  explicit CTrigger(uint32_t id) : m_id(id) {}
  virtual ~CTrigger() = default;
  CTrigger(const CTrigger&) = delete;
  CTrigger& operator=(const CTrigger&) = delete;

  // 1.0 while on, 0.0 while off.
  virtual float GetValue() = 0;
  // How the level's effects name the trigger.
  uint32_t GetID() const { return m_id; }

 private:
  uint32_t m_id;
};
