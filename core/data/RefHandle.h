// RefHandle: a handle to a reference-counted object whose count lives inside the object.
#pragma once

#include <cstdint>
#include <memory>

// Base of every object handed around in RefHandles: the deleting destructor comes first and the
// count is the first data field. A new object starts with no owners.
class CRefCounted {
 public:
  virtual ~CRefCounted() = default;
  uint32_t refCount = 0;
};

class RefHandle {
 public:
  RefHandle() = default;
  // Takes the first share of a new object (may be null); further shares are copies.
  explicit RefHandle(std::unique_ptr<CRefCounted> target) : m_target(target.release()) {
    if (m_target != nullptr) ++m_target->refCount;
  }
  // A copy takes its own share; the second word is not copied.
  RefHandle(const RefHandle& other) : m_target(other.m_target) {
    if (m_target != nullptr) ++m_target->refCount;
  }
  RefHandle& operator=(const RefHandle& other) {
    if (this != &other) {
      CRefCounted* target = other.m_target;
      if (target != nullptr) ++target->refCount;  // first, so self-sharing targets survive
      Release();
      m_target = target;
      m_word = 0;
    }
    return *this;
  }
  // A handle gives up its share when it goes away, so a forgotten Release cannot leak.
  ~RefHandle() { Release(); }

  // Gives up this handle's share, deleting the target with its last share. The handle is cleared,
  // so releasing it again (or its destructor) does nothing.
  void Release() {
    CRefCounted* target = m_target;
    m_target = nullptr;
    if (target == nullptr) return;
    if (target->refCount > 0) --target->refCount;
    if (target->refCount == 0) delete target;
  }

  CRefCounted* Get() const { return m_target; }
  template <class T>
  T* GetAs() const {
    return static_cast<T*>(m_target);
  }
  bool IsNull() const { return m_target == nullptr; }
  uint32_t GetWord() const { return m_word; }
  void SetWord(uint32_t word) { m_word = word; }

 private:
  CRefCounted* m_target = nullptr;
  uint32_t m_word = 0;
};
