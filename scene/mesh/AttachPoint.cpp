#include "scene/mesh/AttachPoint.h"

#include <cstring>
#include <utility>

AttachPoint::AttachPoint(const AttachPoint& other) : transform(other.transform), type(other.type) {
  if (other.IsDataExternal()) {
    SetExternalData(other.m_data, other.m_length);
  } else {
    SetData(other.m_data, other.m_length);
  }
}

AttachPoint& AttachPoint::operator=(const AttachPoint& other) {
  if (this != &other) {
    AttachPoint copy(other);
    *this = std::move(copy);
  }
  return *this;
}

AttachPoint::AttachPoint(AttachPoint&& other) noexcept { *this = std::move(other); }

AttachPoint& AttachPoint::operator=(AttachPoint&& other) noexcept {
  if (this == &other) return *this;
  transform = other.transform;
  type = other.type;
  const bool external = other.IsDataExternal();
  m_owned = std::move(other.m_owned);
  m_length = other.m_length;
  // Moving the vector keeps its heap block, but an empty vector's data() may change.
  m_data = external ? other.m_data : (m_length ? m_owned.data() : nullptr);
  other.m_data = nullptr;
  other.m_length = 0;
  other.m_owned.clear();
  return *this;
}

void AttachPoint::SetData(const void* data, uint32_t length) {
  std::vector<uint8_t> bytes(length);
  if (length && data) std::memcpy(bytes.data(), data, length);
  m_owned = std::move(bytes);
  m_length = length;
  m_data = length ? m_owned.data() : nullptr;
}

void AttachPoint::SetExternalData(const uint8_t* data, uint32_t length) {
  m_owned.clear();
  m_data = length ? data : nullptr;
  m_length = length;
}

void AttachPoint::DetachExternalData() {
  if (!IsDataExternal()) return;
  m_data = nullptr;
  m_length = 0;
}
