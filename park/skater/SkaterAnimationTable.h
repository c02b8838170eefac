// CSkaterAnimationTable: the 56 skater animations every skater shares - skeleton animation, display
// name, category, difficulty and trick keys - with the category ranges and the skater sound ids.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/animation/AnimationSet.h"

class CResourceTable;
class ShadedMesh;
struct AnimationRecord;

class CSkaterAnimationTable {
 public:
  static constexpr int kEntryCount = 56;
  static constexpr uint32_t kCategoryCount = 8;
  static constexpr int kLastSlide = 46;  // slides and grinds above this index are grinds
  static constexpr uint32_t kSurfaces = 3;
  static constexpr uint32_t kActions = 5;
  static constexpr size_t kDisplayNameSize = 64;
  // Input action codes of the trick keys "U", "D", "L", "R", "1" and "2".
  static constexpr int kKeyUp = 62, kKeyDown = 63, kKeyLeft = 64, kKeyRight = 65, kKeyButton1 = 66, kKeyButton2 = 67;

  enum Category : uint32_t {
    kWalking = 0, kCoasting = 1, kFlip = 2, kAir = 3, kGrind = 4, kManual = 5, kCrash = 7
  };
  enum SurfaceAction : uint32_t { kSkate = 0, kSlide = 1, kGrindSound = 2, kWalk = 3, kLand = 4 };
  enum SingleSound : uint32_t {
    kOllie = 0, kLandOffBalance, kStartGrind, kStartSlide, kExitGrind, kExitSlide, kCrashSound, kCash,
    kCoolTrickVoice, kChangeDirection, kPush, kPutBoardDown, kSingleSoundCount
  };

  struct Entry {
    const AnimationRecord* animation = nullptr;  // null when the skeleton lacks it
    float difficulty = 0.0f;
    uint32_t category = 0;
    char displayName[kDisplayNameSize] = {};
    std::vector<int> keys;
  };

  // The table of a body mesh: built the first time it is asked for while no skater holds one for
  // that mesh, then shared. Null mesh: no animations. Sound ids come from the resource table (-1
  // for each without one).
  static std::shared_ptr<const CSkaterAnimationTable> ForMesh(const ShadedMesh* mesh, CResourceTable* resources);

  // Builds without sharing (tests, tools).
  CSkaterAnimationTable(const ShadedMesh* mesh, CResourceTable* resources);
  CSkaterAnimationTable(const CSkaterAnimationTable&) = delete;
  CSkaterAnimationTable& operator=(const CSkaterAnimationTable&) = delete;

  // Null outside the table.
  const Entry* Get(int index) const;
  const AnimationRecord* GetAnimation(int index) const;
  // The skeleton animation's name as the table looks it up; "" outside the table.
  static const char* GetAnimationName(int index);
  // -1 / 0 / "" outside the table.
  int GetCategory(int index) const;
  float GetDifficulty(int index) const;
  const char* GetDisplayName(int index) const;
  // Seconds; 0 for a missing animation or an entry outside the table.
  float GetLength(int index) const;
  // The entries a trick of the category is chosen from; -1 and 0 for category 6 or one past 7.
  int GetCategoryFirst(uint32_t category) const;
  int GetCategoryCount(uint32_t category) const;
  static bool IsGrindIndex(int index) { return index > kLastSlide; }

  // -1 for a material or action out of range.
  int GetSurfaceSound(uint32_t material, uint32_t action) const;
  int GetSingleSound(SingleSound sound) const;

  const ShadedMesh* GetMesh() const { return m_mesh; }
  // Action codes of a key text; characters other than U, D, L, R, 1 and 2 are ignored.
  static std::vector<int> ParseKeys(const char* text);

 private:
  void FindSounds(CResourceTable* resources);

  const ShadedMesh* m_mesh;
  AnimationSet m_set;  // bound to the mesh's own table, which lives as long as the mesh
  Entry m_entries[kEntryCount];
  int m_surfaceSounds[kSurfaces][kActions];
  int m_singleSounds[kSingleSoundCount];
};
