#include "park/skater/ThoughtHistory.h"

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/skater/ThoughtTexts.h"
#include "render/view/RenderView.h"

namespace {
// Nothing sensible holds more thoughts than this; a larger count is a broken record.
constexpr uint32_t kMaxSavedRecords = 100000;
}  // namespace

void CThoughtHistory::AddThought(uint32_t number, bool bubble) {
  if (!m_records.empty() && m_records.front().number == number) return;
  m_records.push_front(ThoughtRecord{number, 0.0f, bubble});
  if (m_records.size() > kMaxRecords) m_records.pop_back();
}

void CThoughtHistory::AgeThoughts(float dt) {
  for (ThoughtRecord& r : m_records) r.age += dt;
  // Older records sit at the back, but a loaded history need not be sorted: filter them all.
  for (auto it = m_records.begin(); it != m_records.end();) it = it->age >= kLifetime ? m_records.erase(it) : it + 1;
}

const ThoughtRecord* CThoughtHistory::GetEntry(size_t i) const { return i < m_records.size() ? &m_records[i] : nullptr; }

const char* CThoughtHistory::GetText(size_t i) const {
  return i < m_records.size() ? thoughts::GetText(m_records[i].number) : nullptr;
}

void CThoughtHistory::ClearBubbles(uint32_t group) {
  for (ThoughtRecord& r : m_records)
    if (r.number < 65 && r.number / 5 == group) r.bubble = false;
}

const ThoughtRecord* CThoughtHistory::GetBubbleThought() const {
  for (const ThoughtRecord& r : m_records)
    if (r.bubble && thoughts::GetBubbleTexture(r.number) != nullptr) return &r;
  return nullptr;
}

void CThoughtHistory::DrawBubble(CRenderView& view, const Vector3& point, CResourceTable& table) const {
  const ThoughtRecord* thought = GetBubbleThought();
  CTexture* texture = thought != nullptr ? thoughts::GetBubbleTextureObject(table, thought->number) : nullptr;
  if (texture == nullptr) return;
  view.DrawDirectedSprite(point + Vector3(0.0f, 0.0f, kBubbleSize), Vector2(0.0f, -1.0f), kBubbleSize, texture,
                          0xFFFFFFFFu);
}

void CThoughtHistory::Save(std::vector<uint8_t>& out) const {
  le::PutU32(out, kVersion);
  le::PutU32(out, static_cast<uint32_t>(m_records.size()));
  for (const ThoughtRecord& r : m_records) {
    le::PutF32(out, r.age);
    le::PutU32(out, r.number);
  }
}

bool CThoughtHistory::Load(CByteCursor& in) {
  uint32_t version = 0, count = 0;
  if (!in.ReadU32(version) || !in.ReadU32(count)) {
    DebugPrintf("ThoughtHistory: Record cut short\n");
    return false;
  }
  // An unknown layout cannot be stepped over, and guessing would misread everything after it.
  if (version != kVersion || count > kMaxSavedRecords) {
    DebugPrintf("ThoughtHistory: Unknown version %u or count %u\n", version, count);
    return false;
  }
  m_records.clear();
  for (uint32_t i = 0; i < count; ++i) {
    ThoughtRecord r;
    if (!in.ReadF32(r.age) || !in.ReadU32(r.number)) {
      DebugPrintf("ThoughtHistory: Record cut short\n");
      return false;
    }
    r.bubble = true;
    if (m_records.size() < kMaxRecords) m_records.push_back(r);
  }
  return true;
}
