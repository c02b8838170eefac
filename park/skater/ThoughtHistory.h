// CThoughtHistory: a skater's recent thoughts, newest first, with their ages and bubble flags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class CByteCursor;
class CRenderView;
class CResourceTable;
struct Vector3;

struct ThoughtRecord {
  uint32_t number = 0;
  float age = 0.0f;  // seconds
  bool bubble = false;
};

class CThoughtHistory {
 public:
  static constexpr size_t kMaxRecords = 20;
  static constexpr float kLifetime = 30.0f;
  static constexpr uint32_t kVersion = 0;

  // Repeating the newest thought keeps the first one (and its age).
  void AddThought(uint32_t number, bool bubble);
  void AgeThoughts(float dt);
  size_t GetCount() const { return m_records.size(); }
  // Counted from the newest; null past the end.
  const ThoughtRecord* GetEntry(size_t i) const;
  const char* GetText(size_t i) const;
  // Drops the bubbles of one need's group (numbers / 5 == group) once that need is served.
  void ClearBubbles(uint32_t group);
  // The newest thought whose bubble is up and has a texture; null when none.
  const ThoughtRecord* GetBubbleThought() const;
  // Draws that thought's bubble, as loaded through the table, 0.3 above the point as a sprite of
  // size 0.3 facing up the screen; nothing without one.
  void DrawBubble(CRenderView& view, const Vector3& point, CResourceTable& table) const;
  static constexpr float kBubbleSize = 0.3f;

  void Save(std::vector<uint8_t>& out) const;
  // False (logged) for a cut-short history or an unknown version; at most kMaxRecords are kept.
  bool Load(CByteCursor& in);

 private:
  std::deque<ThoughtRecord> m_records;
};
