// CSkaterAnimator: a skater's animation player on the shared animation table - the step from one
// animation to the next, the landing of tricks with their sounds and bonus, the rolling sound loop
// and the volume rule by the skater's rank.
#pragma once

#include <cstdint>
#include <memory>

#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterAnimationTable.h"
#include "park/skater/SkaterAnimatorLink.h"

class CMeshInstance;
class CSkater;

class CSkaterAnimator : public CSkaterAnimation {
 public:
  // Skaters from this rank on in the camera distance order make no sound.
  static constexpr uint32_t kAudibleRanks = 4;
  static constexpr int32_t kSilent = -10000;
  // Entries the step plays by name.
  enum : int {
    kWalkStairs = 2, kWalkInjured = 3, kCrouch = 4, kLandPerfect = 6, kLandOffBalance = 7, kPickupBoard = 8,
    kFootStop = 10, kLeanLeftIn = 12, kLeanLeft = 13, kLeanLeftOut = 14, kLeanRightIn = 15, kLeanRight = 16,
    kLeanRightOut = 17, kPushIn = 18, kPush = 19, kPushOut = 20
  };

  CSkaterAnimator(CSkater& skater, std::unique_ptr<CSkaterAnimatorLink> link);
  // A skater that leaves takes its rolling loop with it.
  ~CSkaterAnimator() override;

  // --- Playback ---
  void Play(int entry, bool loop) override;
  int GetCurrent() const override { return m_current; }
  void Advance(float dt, float speed) override;
  float GetTime() const override { return m_time; }
  float GetLength(int entry) const override { return Table().GetLength(entry); }
  // Time over length of what plays; an animation without length counts as played through.
  float GetPlayedPart() const override {
    const float length = GetLength(m_current);
    return length > 0.0f ? m_time / length : 1.0f;
  }
  void Step(float dt) override;
  bool IsDoingTrick() const override;
  void SaveTickState(std::vector<uint8_t>& out) const override;
  // Plays the saved entry from the saved time (the rolling sound is chosen again as it plays).
  bool LoadTickState(CByteCursor& in) override;

  // --- Sounds ---
  void UpdateRollingSound(float dt) override;
  void PlaySound(Sound sound) override;
  // 0 (inaudible) to 1 by the camera's distance to the skater.
  float SoundLevel() const;
  // Hundredths of a decibel for a level: level x 3000 - 3000, silent at level 0.
  static int32_t Volume(float level);
  int GetRollingSoundId() const { return m_loopId; }
  int GetRollingSoundHandle() const { return m_loopHandle; }

  // --- The shared table ---
  int GetCategory(int entry) const override { return Table().GetCategory(entry); }
  float GetDifficulty(int entry) const override { return Table().GetDifficulty(entry); }
  const char* GetDisplayName(int entry) const override { return Table().GetDisplayName(entry); }
  int GetCategoryFirst(uint32_t category) const override { return Table().GetCategoryFirst(category); }
  int GetCategoryCount(uint32_t category) const override { return Table().GetCategoryCount(category); }
  const std::vector<int>& GetKeys(int entry) const override;
  // The table of the skater's body mesh, built on first use and again when the body changes.
  const CSkaterAnimationTable& Table() const;
  std::shared_ptr<const CSkaterAnimationTable> GetSharedTable() const;

 private:
  CMeshInstance* Instance() const;
  void PlayAt(int entry, float time);
  bool Finished() const { return m_time >= GetLength(m_current); }
  bool HasGroundContact() const;
  bool IsFollowingRoute() const;
  float ApproxSpeed() const;
  bool IsAudible() const;
  int PlayOneShot(int id, bool anyRank);
  void StepBoardHandling();
  void StepWalk();
  void StepLaunch();
  void StepCoasting();
  void StepLean(float lean);
  void StepLanding();
  void RewardLanding(float value, bool player);
  float Lean() const;
  bool JumpAhead() const;

  CSkater& m_skater;
  std::unique_ptr<CSkaterAnimatorLink> m_link;
  mutable std::shared_ptr<const CSkaterAnimationTable> m_table;
  int m_current = -1;
  float m_time = 0.0f;
  bool m_loop = true;
  bool m_airborne = false;  // seen off the ground since the last landing
  int m_loopId = -1;        // the rolling sound playing, and its handle
  int m_loopHandle = -1;
  int m_loopChoice = -1;    // the rolling sound wanted; kept while airborne
};

// The animator of a skater in the running game.
std::unique_ptr<CSkaterAnimation> MakeSkaterAnimator(CSkater& skater);
