// CSkaterAnimation: a skater's animation player, its sounds and the shared animation table as the
// mind sees them. The skater owns one; see CSkater::SetBodyFactory.
#pragma once

#include <cstddef>
#include <cstdint>

class CSkaterAnimation {
 public:
  // Table entries the park's own code plays by name.
  static constexpr int kIdle = 0;
  static constexpr int kWalk = 1;
  static constexpr int kTakeOff = 5;
  static constexpr int kPutDownBoard = 9;
  static constexpr int kCoast = 11;
  static constexpr int kEntryCount = 56;
  // Sounds the route steps ask for.
  enum class Sound { kTrick, kGrind, kSlide };

  virtual ~CSkaterAnimation() = default;

  // -1 (or any entry outside the table) plays nothing.
  virtual void Play(int entry, bool loop) = 0;
  virtual int GetCurrent() const = 0;
  // Advances playback by real seconds, scaled by the skater's animation speed.
  virtual void Advance(float dt, float speed) = 0;
  virtual void UpdateRollingSound(float dt) = 0;
  virtual void PlaySound(Sound sound) = 0;

  // --- The shared table; -1 / 0 / "" for entries outside it ---
  virtual int GetCategory(int entry) const = 0;
  virtual float GetDifficulty(int entry) const = 0;
  virtual const char* GetDisplayName(int entry) const = 0;
  // The entries a trick of the category is chosen from.
  virtual int GetCategoryFirst(uint32_t category) const = 0;
  virtual int GetCategoryCount(uint32_t category) const = 0;

  // --- Added for the trick choice and landing checks; defaults keep older players compiling ---
  // The trick keys an entry is typed with, in order.
  virtual size_t GetKeyCount(int entry) const { return 0; }
  virtual uint32_t GetKey(int entry, size_t i) const { return 0; }
  // The part of the current animation played so far, times its rate; 1 when it has run through.
  virtual float GetPlayedPart() const { return 1.0f; }
};
