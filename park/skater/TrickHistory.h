// CTrickHistory: a skater's recent tricks, newest first, grouped into numbered sequences that end
// with a landing or a crash; gives the value of a sequence and the counts boredom is made of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class CByteCursor;

struct TrickRecord {
  uint32_t trick = 0;       // animation table entry
  uint32_t category = 0;    // its animation category
  uint32_t pieceType = 0;   // catalog type of the piece skated (12 the level terrain, -1 none)
  bool landed = false;
  bool offBalance = false;
  bool finished = false;
  float startSpin = 0.0f;
  float endSpin = 0.0f;
  uint32_t halfTurns = 0;
  int32_t sequence = -1;    // -1 while open
  float startTime = 0.0f;
  float endTime = 0.0f;
};

class CTrickHistory {
 public:
  static constexpr size_t kMaxRecords = 20;
  static constexpr uint32_t kVersion = 1;
  // What the chooser reports when nothing is done: outside the animation table, whose every
  // entry (the ollie at 21 among them) is a trick that can be recorded.
  static constexpr uint32_t kNoTrick = 0xFFFFFFFFu;
  // The table's data about a trick, which lives with the animations.
  using DifficultyOf = std::function<float(uint32_t trick)>;
  using NameOf = std::function<const char*(uint32_t trick)>;

  // The first sequence number is drawn from the game's generator.
  CTrickHistory();
  // A history whose first number is given (one about to be read back draws nothing).
  explicit CTrickHistory(uint32_t firstSequence) : m_nextSequence(firstSequence) {}

  void AddTrick(uint32_t trick, uint32_t category, uint32_t pieceType, float worldTime, float startSpin);
  // Gives every open record, newest first, its outcome and the next sequence number.
  void CloseTricks(bool landed, bool offBalance, float worldTime, float spin);

  size_t GetCount() const { return m_records.size(); }
  int GetTrick(size_t i) const { return i < m_records.size() ? static_cast<int>(m_records[i].trick) : -1; }
  int GetCategory(size_t i) const { return i < m_records.size() ? static_cast<int>(m_records[i].category) : -1; }
  bool IsLanded(size_t i) const { return i < m_records.size() && m_records[i].landed; }
  bool IsFinished(size_t i) const { return i < m_records.size() && m_records[i].finished; }
  const TrickRecord* GetEntry(size_t i) const { return i < m_records.size() ? &m_records[i] : nullptr; }
  uint32_t GetNextSequence() const { return m_nextSequence; }
  void SetNextSequence(uint32_t next) { m_nextSequence = next; }
  // "<degrees> <name>" (degrees only with half turns); empty past the end; cut to size.
  void FormatEntry(size_t i, const NameOf& nameOf, char* out, size_t size) const;

  size_t CountPieceType(uint32_t type) const;
  size_t CountDistinctTricks() const;
  // The value of one sequence (-1: the open tricks); an open sequence's newest trick ends now.
  float ComputeTrickBonus(int32_t sequence, float worldTime, const DifficultyOf& difficultyOf);

  void Save(std::vector<uint8_t>& out) const;
  // Versions 0 and 1; false (logged) for a cut-short history or another version. Keeps at most
  // kMaxRecords; half turns read back as 0.
  bool Load(CByteCursor& in);

 private:
  std::deque<TrickRecord> m_records;
  uint32_t m_nextSequence = 0;
};
