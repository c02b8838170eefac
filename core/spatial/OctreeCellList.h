// OctreeCellList: the objects filed in one octree cell, newest first, in one array with holes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

class CBoundedObject;

// Slots run oldest to newest and are walked from the newest end, so a new object goes to the
// front of the walk with a push. Removal leaves a hole, which keeps the others in order and
// their slots valid; the owner closes the holes when they outnumber the objects. One array
// rather than linked entries because queries scan cell lists far more often than objects move,
// and a scan over an array does not wait on one cache miss per entry.
class OctreeCellList {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = CBoundedObject*;
    using difference_type = std::ptrdiff_t;
    using pointer = CBoundedObject* const*;
    using reference = CBoundedObject* const&;

    Iterator(CBoundedObject* const* slot, CBoundedObject* const* first) : m_slot(slot), m_first(first) { Skip(); }
    reference operator*() const { return m_slot[-1]; }
    Iterator& operator++() {
      --m_slot;
      Skip();
      return *this;
    }
    bool operator==(const Iterator& other) const { return m_slot == other.m_slot; }
    bool operator!=(const Iterator& other) const { return m_slot != other.m_slot; }

   private:
    void Skip() {
      while (m_slot != m_first && m_slot[-1] == nullptr) --m_slot;
    }
    CBoundedObject* const* m_slot;  // one past the slot it stands on
    CBoundedObject* const* m_first;
  };

  bool empty() const { return m_size == 0; }
  size_t size() const { return m_size; }
  Iterator begin() const { return Iterator(m_slots.data() + m_slots.size(), m_slots.data()); }
  Iterator end() const { return Iterator(m_slots.data(), m_slots.data()); }

  // Slots, holes included (null), oldest first.
  size_t SlotCount() const { return m_slots.size(); }
  CBoundedObject* At(size_t slot) const { return m_slots[slot]; }

  // Returns the object's slot, which stays its own until the list is compacted.
  uint32_t PushFront(CBoundedObject* object) {
    m_slots.push_back(object);
    ++m_size;
    return static_cast<uint32_t>(m_slots.size() - 1);
  }
  // Holes at the newest end go at once; the others wait for Compact.
  void Erase(uint32_t slot) {
    m_slots[slot] = nullptr;
    --m_size;
    while (!m_slots.empty() && m_slots.back() == nullptr) m_slots.pop_back();
  }
  bool WantsCompacting() const { return m_slots.size() - m_size > std::max<size_t>(m_size, 8); }
  // Closes the holes, keeping the order; moved(object, from, to) is told of every object that moves.
  template <typename Moved>
  void Compact(Moved moved) {
    size_t to = 0;
    for (size_t from = 0; from < m_slots.size(); ++from) {
      CBoundedObject* object = m_slots[from];
      if (object == nullptr) continue;
      if (from != to) {
        m_slots[to] = object;
        moved(object, static_cast<uint32_t>(from), static_cast<uint32_t>(to));
      }
      ++to;
    }
    m_slots.resize(to);
  }
  void Clear() {
    m_slots.clear();
    m_size = 0;
  }

 private:
  std::vector<CBoundedObject*> m_slots;
  size_t m_size = 0;
};
