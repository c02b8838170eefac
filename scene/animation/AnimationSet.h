// AnimationSet: a table of animation sequence records (count word + 100-byte records), as an
// animated mesh carries it in an attach point; looked up by name or motion type.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/animation/AnimationRecord.h"

class AttachPoint;

class AnimationSet {
 public:
  static constexpr uint32_t kAttachType = 63;  // attach point whose data is the table
  static constexpr uint32_t kRecordSize = sizeof(AnimationRecord);
  static constexpr uint32_t kMotionTypeCount = 44;

  AnimationSet() = default;
  AnimationSet(const AnimationSet&) = delete;
  AnimationSet& operator=(const AnimationSet&) = delete;

  // Checks the table and uses it in place (the bytes must outlive the set); a table whose
  // bytes are not 4-byte aligned is copied. False, logged and left empty when the data is
  // shorter than its count says, a header claims records past the end, or the first record
  // is a trigger (it would belong to no sequence).
  bool Bind(const void* data, uint32_t size);
  bool Bind(const AttachPoint& point);
  static bool Check(const void* data, uint32_t size);

  uint32_t GetCount() const { return m_count; }
  const AnimationRecord* GetRecord(uint32_t index) const { return index < m_count ? m_records + index : nullptr; }

  // The first record with this motion type id / this name (ignoring case); null when none.
  const AnimationRecord* FindSequenceById(uint32_t id) const;
  const AnimationRecord* FindSequenceByName(const char* name) const;
  // Advances index (wrapping after the last record) to the next header, at most one lap;
  // returns it, or the last record tried when there is no header (null for an empty set).
  const AnimationRecord* NextSequence(uint32_t& index) const;

  // Compiles an animation script into a new table block: the count word, then the records.
  // Script errors are logged and shown in a message box; the parse goes on past them.
  static std::vector<uint8_t> Parse(const char* text);
  // Motion type id of a script word (first match ignoring case), 0 when unknown.
  static uint32_t MotionTypeFromWord(const char* word);

 private:
  const AnimationRecord* m_records = nullptr;
  uint32_t m_count = 0;
  std::vector<AnimationRecord> m_copy;  // only for misaligned bytes
};
