// AnimationSet: checking a table before it is used in place, and the lookups over it.
#include "scene/animation/AnimationSet.h"

#include <cctype>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "scene/mesh/AttachPoint.h"

namespace {

// Record names may fill all 64 bytes without a terminator, so the comparison is bounded.
bool NameEquals(const char (&recordName)[64], const char* name) {
  size_t i = 0;
  for (; i < sizeof(recordName) && recordName[i]; ++i) {
    if (!name[i]) return false;
    if (std::tolower(static_cast<unsigned char>(recordName[i])) != std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  }
  return name[i] == '\0';
}

}  // namespace

bool AnimationSet::Check(const void* data, uint32_t size) {
  if (!data || size < 4) {
    DebugPrintf("AnimationSet: table of %u bytes has no record count\n", size);
    return false;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  uint32_t count;
  std::memcpy(&count, bytes, 4);
  // 64-bit so that a hostile count cannot wrap the size check.
  const uint64_t needed = 4 + static_cast<uint64_t>(kRecordSize) * count;
  if (needed > size) {
    DebugPrintf("AnimationSet: %u records need %llu bytes, table has %u\n", count,
                static_cast<unsigned long long>(needed), size);
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    AnimationRecord r;
    std::memcpy(&r, bytes + 4 + static_cast<size_t>(kRecordSize) * i, kRecordSize);
    if (r.dataType == AnimationRecord::kHeader && r.countOrTrigger >= count - i) {
      DebugPrintf("AnimationSet: header %u claims %u records, %u follow\n", i, r.countOrTrigger, count - i - 1);
      return false;
    }
    if (i == 0 && r.dataType == AnimationRecord::kTrigger) {
      DebugPrintf("AnimationSet: table starts with a trigger that belongs to no sequence\n");
      return false;
    }
  }
  return true;
}

bool AnimationSet::Bind(const void* data, uint32_t size) {
  m_records = nullptr;
  m_count = 0;
  m_copy.clear();
  if (!Check(data, size)) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  uint32_t count;
  std::memcpy(&count, bytes, 4);
  if (reinterpret_cast<uintptr_t>(bytes + 4) % alignof(AnimationRecord) == 0) {
    m_records = reinterpret_cast<const AnimationRecord*>(bytes + 4);
  } else {
    m_copy.resize(count);
    if (count) std::memcpy(m_copy.data(), bytes + 4, static_cast<size_t>(kRecordSize) * count);
    m_records = m_copy.data();
  }
  m_count = count;
  return true;
}

bool AnimationSet::Bind(const AttachPoint& point) {
  if (point.type != kAttachType) {
    DebugPrintf("AnimationSet: attach point of type %u holds no animation table\n", point.type);
    m_records = nullptr;
    m_count = 0;
    m_copy.clear();
    return false;
  }
  return Bind(point.GetData(), point.GetLength());
}

const AnimationRecord* AnimationSet::FindSequenceById(uint32_t id) const {
  for (uint32_t i = 0; i < m_count; ++i)
    if (m_records[i].id == id) return m_records + i;
  return nullptr;
}

const AnimationRecord* AnimationSet::FindSequenceByName(const char* name) const {
  if (!name) return nullptr;
  for (uint32_t i = 0; i < m_count; ++i)
    if (NameEquals(m_records[i].name, name)) return m_records + i;
  return nullptr;
}

const AnimationRecord* AnimationSet::NextSequence(uint32_t& index) const {
  if (m_count == 0) return nullptr;
  for (uint32_t step = 0; step < m_count; ++step) {
    index = (index + 1 < m_count) ? index + 1 : 0;
    if (m_records[index].dataType == AnimationRecord::kHeader) break;
  }
  return m_records + index;
}
