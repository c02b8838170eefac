// CKeyframeController: keyframe tracks (position, rotation, alpha and one stored track) for one node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Quaternion.h"
#include "core/math/Vector3.h"
#include "scene/animation/NodeAnimController.h"

struct PositionKey {
  float time;
  float rate;  // 1 / (next key's time - this key's time)
  Vector3 position;
};

struct RotationKey {
  float time;
  float rate;
  Quaternion rotation;
};

// Carried through files unchanged; nothing evaluates it.
struct ExtraKey {
  float time;
  float rate;
  float values[7];
};

struct AlphaKey {
  float time;
  float rate;
  float start;
  float end;
};

static_assert(sizeof(PositionKey) == 20 && sizeof(RotationKey) == 24, "key sizes are part of the file form");
static_assert(sizeof(ExtraKey) == 36 && sizeof(AlphaKey) == 16, "key sizes are part of the file form");

class CKeyframeController : public CNodeAnimController {
 public:
  static constexpr size_t kNameSize = 64;

  CKeyframeController();
  ~CKeyframeController() override;
  CKeyframeController(const CKeyframeController&) = delete;
  CKeyframeController& operator=(const CKeyframeController&) = delete;

  float GetLength() const override { return m_length; }
  float GetFrameTime() const override { return m_frameTime; }
  float GetEndTime() const override { return m_endTime; }
  void GetTransform(float time, COrientation& out) const override;
  float GetAlpha(float time) const override;
  void ReduceKeys(float positionTolerance, float angleTolerance, float unused) override;

  const char* GetName() const { return m_name; }
  void SetName(const char* name);
  void SetLength(float length) { m_length = length; }
  void SetFrameTime(float frameTime) { m_frameTime = frameTime; }

  // Each setter copies the keys and computes their rates. Keys whose times do not strictly
  // increase would give an infinite or negative rate, so such a track is refused (false,
  // logged) and the old track is kept.
  bool SetPositionKeys(const PositionKey* keys, uint32_t count);
  bool SetRotationKeys(const RotationKey* keys, uint32_t count);
  bool SetExtraKeys(const ExtraKey* keys, uint32_t count);
  bool SetAlphaKeys(const AlphaKey* keys, uint32_t count);

  uint32_t GetPositionKeyCount() const { return static_cast<uint32_t>(m_positions.size()); }
  uint32_t GetRotationKeyCount() const { return static_cast<uint32_t>(m_rotations.size()); }
  uint32_t GetExtraKeyCount() const { return static_cast<uint32_t>(m_extras.size()); }
  uint32_t GetAlphaKeyCount() const { return static_cast<uint32_t>(m_alphas.size()); }
  // Null for an empty track.
  const PositionKey* GetPositionKeys() const { return m_positions.empty() ? nullptr : m_positions.data(); }
  const RotationKey* GetRotationKeys() const { return m_rotations.empty() ? nullptr : m_rotations.data(); }
  const ExtraKey* GetExtraKeys() const { return m_extras.empty() ? nullptr : m_extras.data(); }
  const AlphaKey* GetAlphaKeys() const { return m_alphas.empty() ? nullptr : m_alphas.data(); }

  // End time = the largest last-key time of the four tracks (0 without keys).
  void RecomputeEndTime();

  // File form: name, end time, length, frame time, then each track as count + keys.
  size_t GetFileSize() const;
  // Writes GetFileSize() bytes (recomputing the end time first).
  void Write(uint8_t* out);
  // Reads one controller from the front of data; on success `used` is the bytes consumed.
  // Truncated data, impossible counts or keys out of time order give false and leave the
  // controller empty.
  bool Read(const uint8_t* data, size_t size, size_t& used);

  void Clear();

 private:
  char m_name[kNameSize];
  float m_endTime;
  float m_length;
  float m_frameTime;
  std::vector<PositionKey> m_positions;
  std::vector<RotationKey> m_rotations;
  std::vector<ExtraKey> m_extras;
  std::vector<AlphaKey> m_alphas;
};
