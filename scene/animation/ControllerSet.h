// ControllerSet: the keyframe controllers of one mesh and their file section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/animation/KeyframeController.h"

class ControllerSet {
 public:
  ControllerSet() = default;
  ~ControllerSet() { Clear(); }
  ControllerSet(const ControllerSet&) = delete;
  ControllerSet& operator=(const ControllerSet&) = delete;

  uint32_t GetCount() const { return static_cast<uint32_t>(m_controllers.size()); }
  CKeyframeController* GetController(uint32_t i) const { return i < m_controllers.size() ? m_controllers[i].get() : nullptr; }
  // Takes ownership.
  void Add(std::unique_ptr<CKeyframeController> controller) { m_controllers.push_back(std::move(controller)); }
  // First controller whose name equals `name` exactly; null when none.
  CKeyframeController* FindByName(const char* name) const;
  void Clear();

  uint32_t GetFirstWord() const { return m_firstWord; }

  // First word, count, then every controller.
  size_t GetFileSize() const;
  void Write(uint8_t* out);
  // Reads the section from the front of data; `used` receives the bytes consumed. A count
  // that the data cannot hold, or any bad controller, gives false and an empty set.
  bool Read(const uint8_t* data, size_t size, size_t& used);

 private:
  uint32_t m_firstWord = 1;  // carried unchanged; 1 in every set made here
  std::vector<std::unique_ptr<CKeyframeController>> m_controllers;
};
