// AttachPoint: a typed transform on a mesh with its data bytes (where objects, effects and children hang).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Orientation.h"

// Attach-point types the mesh itself interprets; other subsystems define more.
constexpr uint32_t kAttachNamedPoint = 50000;     // data: zero-terminated name
constexpr uint32_t kAttachTextureList = 50001;    // data: name[64], count, driven slot, reserved, indices
constexpr uint32_t kAttachMeshKey = 50002;        // data: four u32
constexpr uint32_t kAttachFixedBounds = 1019;     // data: six floats, min then max

class AttachPoint {
 public:
  COrientation transform;  // relative to the mesh
  uint32_t type = 0;

  AttachPoint() = default;
  AttachPoint(const AttachPoint& other);
  AttachPoint& operator=(const AttachPoint& other);
  AttachPoint(AttachPoint&& other) noexcept;
  AttachPoint& operator=(AttachPoint&& other) noexcept;

  uint32_t GetLength() const { return m_length; }
  const uint8_t* GetData() const { return m_data; }
  // True when the bytes live in memory this point does not own (a mapped file).
  bool IsDataExternal() const { return m_data && m_data != m_owned.data(); }

  // Copies the bytes; the point owns them afterwards.
  void SetData(const void* data, uint32_t length);
  // Refers to bytes that outlive the point (a mapped file image); nothing is copied.
  void SetExternalData(const uint8_t* data, uint32_t length);
  // Forgets external bytes without touching them (the file image is going away).
  void DetachExternalData();

 private:
  const uint8_t* m_data = nullptr;
  uint32_t m_length = 0;
  std::vector<uint8_t> m_owned;
};
