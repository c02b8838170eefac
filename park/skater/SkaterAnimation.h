// CSkaterAnimation: a skater's animation player, its sounds and the shared animation table as the
// mind sees them. The skater owns one; see CSkater::SetBodyFactory.
#pragma once

#include <cstdint>
#include <vector>

class CByteCursor;

class CSkaterAnimation {
 public:
  // Table entries the park's own code plays by name.
  static constexpr int kIdle = 0;
  static constexpr int kWalk = 1;
  static constexpr int kTakeOff = 5;
  static constexpr int kPutDownBoard = 9;
  static constexpr int kCoast = 11;
  static constexpr int kCrouch = 4;
  static constexpr int kLandOffBalance = 7;
  static constexpr int kFootStop = 10;
  static constexpr int kOllie = 21;
  static constexpr int kEntryCount = 56;
  // Sounds the route, grind and motion steps ask for (played by the volume rule of the rank).
  enum class Sound { kTrick, kGrind, kSlide, kExitGrind, kExitSlide, kCrash, kChangeDirection, kPutBoardDown, kPush };

  virtual ~CSkaterAnimation() = default;

  // -1 (or any entry outside the table) plays nothing.
  virtual void Play(int entry, bool loop) = 0;
  virtual int GetCurrent() const = 0;
  // Advances playback by real seconds, scaled by the skater's animation speed.
  virtual void Advance(float dt, float speed) = 0;
  virtual void UpdateRollingSound(float dt) = 0;
  virtual void PlaySound(Sound sound) = 0;
  // The step after the motion that moves the skater from one animation to the next.
  virtual void Step(float dt) {}
  // In the air with a chosen trick whose animation is not a coasting one (the skate camera asks).
  virtual bool IsDoingTrick() const { return false; }
  // Play time of the current animation, and the length of an entry's animation (0 when missing).
  virtual float GetTime() const { return 0.0f; }
  virtual float GetLength(int entry) const { return 0.0f; }

  // --- The shared table; -1 / 0 / "" for entries outside it ---
  virtual int GetCategory(int entry) const = 0;
  virtual float GetDifficulty(int entry) const = 0;
  virtual const char* GetDisplayName(int entry) const = 0;
  // The entries a trick of the category is chosen from.
  virtual int GetCategoryFirst(uint32_t category) const = 0;
  virtual int GetCategoryCount(uint32_t category) const = 0;
  // The input action codes that perform the trick when the player drives the skater, in order.
  virtual const std::vector<int>& GetKeys(int entry) const {
    static const std::vector<int> none;
    return none;
  }
  // The part of the current animation played so far, times its rate; 1 when it has run through.
  virtual float GetPlayedPart() const { return 1.0f; }

  // What plays and how far it has run, for a saved game to carry on exactly (see CSkaterMotion).
  virtual void SaveTickState(std::vector<uint8_t>& out) const {}
  virtual bool LoadTickState(CByteCursor& in) { return true; }
};
