#include "park/skater/SkaterAnimationTable.h"

#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <utility>

#include "core/data/ResourceTable.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

struct EntrySpec {
  const char* animation;
  const char* displayName;
  uint32_t category;
  float difficulty;
  const char* keys;
};

const EntrySpec kSpecs[CSkaterAnimationTable::kEntryCount] = {
    {"idle", "Idle", 0, 0.0f, ""},
    {"walk", "Walk", 0, 0.0f, ""},
    {"walkstairs", "Walk up Stairs", 0, 0.0f, ""},
    {"walkinjured", "Walk Injured", 0, 0.0f, ""},
    {"crouch", "Crouch", 0, 0.0f, ""},
    {"takeoff", "Launch", 0, 0.0f, ""},
    {"landperfect", "Land Perfect", 0, 0.0f, ""},
    {"LandOffBalance1", "Land Off Balance", 0, 0.0f, ""},
    {"PickupBoard", "Pickup Board", 0, 0.0f, ""},
    {"PutBoardDown", "Put Down Board", 0, 0.0f, ""},
    {"footstop", "Foot Stop", 0, 0.0f, ""},
    {"coast", "Coast", 1, 0.0f, ""},
    {"coastleftin", "Coast Lean Left In", 1, 0.0f, ""},
    {"coastleft", "Coast Lean Left", 1, 0.0f, ""},
    {"coastleftout", "Coast Lean Left Out", 1, 0.0f, ""},
    {"coastrightin", "Coast Lean Right In", 1, 0.0f, ""},
    {"coastright", "Coast Lean Right", 1, 0.0f, ""},
    {"coastrightout", "Coast Lean Right Out", 1, 0.0f, ""},
    {"Pushin", "Push In", 1, 0.0f, ""},
    {"Push", "Push", 1, 0.0f, ""},
    {"Pushout", "Push Out", 1, 0.0f, ""},
    {"ollie", "Ollie", 2, 0.0f, "1"},
    {"KICKFLIP", "Kick Flip", 2, 0.12f, "UD1"},
    {"SHUVIT", "Shuvit", 2, 0.1f, "LR1"},
    {"indy", "Indy", 3, 0.2f, "U1"},
    {"INDYNOSEBONE", "Indy Nosebone", 3, 0.2f, "D1"},
    {"METHOD", "Method", 3, 0.25f, "LL1"},
    {"Judo", "Judo", 3, 0.25f, "RR1"},
    {"stiffy", "Stiffy", 3, 0.3f, "UU1"},
    {"BENIHANA", "Benihana", 3, 0.3f, "DD1"},
    {"JAPAN", "Japan Air", 3, 0.5f, "LRLR1"},
    {"TAILGRAB", "Tailgrab", 3, 0.2f, "L1"},
    {"NOSEGRAB", "Nosegrab", 3, 0.2f, "R1"},
    {"MADONNA", "Madonna", 3, 0.6f, "UDUD1"},
    {"rocket", "Rocket", 3, 0.6f, "UUU1"},
    {"airwalk", "Airwalk", 3, 0.8f, "RRR1"},
    {"christ", "Christ", 3, 0.6f, "LLRR1"},
    {"migtwist", "McTwist", 3, 1.0f, "LRUD1"},
    {"frontflip", "Frontflip", 3, 1.0f, "LURD1"},
    {"backflip", "Backflip", 3, 1.0f, "DRUL1"},
    {"RAILSLIDE", "Rail Slide", 4, 0.2f, "2"},
    {"TAILSLIDE", "Tail Slide", 4, 0.4f, "L2"},
    {"NOSESLIDE", "Nose Slide", 4, 0.4f, "R2"},
    {"NoseGrabTailSlide", "Nose Grab Tail Slide", 4, 0.5f, "LR2"},
    {"BluntSlide", "Blunt Slide", 4, 0.5f, "LL2"},
    {"NoseGrabBluntSlide", "Nose Grab Blunt Slide", 4, 0.6f, "RR2"},
    {"DARKSLIDE", "Dark Slide", 4, 0.8f, "DD2"},
    {"NOSEGRIND", "Nose Grind", 4, 0.4f, "U2"},
    {"5050GRIND", "50-50 Grind", 4, 0.4f, "D2"},
    {"5oGrind", "50 Grind", 4, 1.0f, "UD2"},
    {"SMITHGRIND", "Smith Grind", 4, 1.0f, "UU2"},
    {"MANUAL", "Manual", 5, 0.0f, ""},
    {"NOSEMANUAL", "Nose Manual", 5, 0.0f, ""},
    {"crash1", "Crash1", 7, 0.0f, ""},
    {"crash2", "Crash2", 7, 0.0f, ""},
    {"crash3", "Crash3", 7, 0.0f, ""},
};

// Where a trick of each category is chosen from: the flip tricks count as air tricks too; walking
// and coasting span their own entries; no entry has category 6.
constexpr int kRangeFirst[CSkaterAnimationTable::kCategoryCount] = {0, 11, 21, 21, 40, 51, -1, 53};
constexpr int kRangeCount[CSkaterAnimationTable::kCategoryCount] = {11, 10, 3, 19, 11, 2, 0, 3};

const char* const kSurfaceNames[CSkaterAnimationTable::kSurfaces] = {"concrete", "wood", "metal"};
const char* const kActionNames[CSkaterAnimationTable::kActions] = {"skate", "slide", "grind", "walk", "land"};
const char* const kSinglePaths[CSkaterAnimationTable::kSingleSoundCount] = {
    "data/sounds/ollie.wav",          "data/sounds/landoffbalance.wav", "data/sounds/startgrind.wav",
    "data/sounds/startslide.wav",     "data/sounds/exitgrind.wav",      "data/sounds/exitslide.wav",
    "data/sounds/crash*.wav",         "data/sounds/cash_for_trick.wav", "data/sounds/cooltrickvoice*.wav",
    "data/sounds/changedirection.wav", "data/sounds/push.wav",          "data/sounds/putboarddown.wav",
};

int FindSound(CResourceTable* resources, const char* path) {
  return resources != nullptr ? resources->FindByName(path) : -1;
}

}  // namespace

std::shared_ptr<const CSkaterAnimationTable> CSkaterAnimationTable::ForMesh(const ShadedMesh* mesh,
                                                                            CResourceTable* resources) {
  // Held weakly: the table lives while a skater of that body does, and is built afresh only once
  // none does - so a new mesh that happens to reuse a freed one's address never meets a stale table.
  static std::map<std::pair<const ShadedMesh*, CResourceTable*>, std::weak_ptr<const CSkaterAnimationTable>> shared;
  std::weak_ptr<const CSkaterAnimationTable>& slot = shared[{mesh, resources}];
  std::shared_ptr<const CSkaterAnimationTable> table = slot.lock();
  if (table) return table;
  for (auto it = shared.begin(); it != shared.end();) it = it->second.expired() ? shared.erase(it) : std::next(it);
  table = std::make_shared<const CSkaterAnimationTable>(mesh, resources);
  shared[{mesh, resources}] = table;
  return table;
}

CSkaterAnimationTable::CSkaterAnimationTable(const ShadedMesh* mesh, CResourceTable* resources) : m_mesh(mesh) {
  const int point = mesh != nullptr ? mesh->FindAttachPoint(AnimationSet::kAttachType) : -1;
  const bool bound = point >= 0 && m_set.Bind(mesh->attachPoints[static_cast<size_t>(point)]);
  for (int i = 0; i < kEntryCount; ++i) {
    Entry& entry = m_entries[i];
    const EntrySpec& spec = kSpecs[i];
    entry.animation = bound ? m_set.FindSequenceByName(spec.animation) : nullptr;
    entry.difficulty = spec.difficulty;
    entry.category = spec.category;
    std::strncpy(entry.displayName, spec.displayName, kDisplayNameSize - 1);
    entry.keys = ParseKeys(spec.keys);
  }
  FindSounds(resources);
}

void CSkaterAnimationTable::FindSounds(CResourceTable* resources) {
  for (uint32_t s = 0; s < kSurfaces; ++s) {
    for (uint32_t a = 0; a < kActions; ++a) {
      const std::string path = std::string("data/sounds/") + kActionNames[a] + kSurfaceNames[s] + ".wav";
      m_surfaceSounds[s][a] = FindSound(resources, path.c_str());
    }
  }
  for (uint32_t i = 0; i < kSingleSoundCount; ++i) m_singleSounds[i] = FindSound(resources, kSinglePaths[i]);
}

std::vector<int> CSkaterAnimationTable::ParseKeys(const char* text) {
  std::vector<int> keys;
  for (const char* c = text; c != nullptr && *c != '\0'; ++c) {
    switch (*c) {
      case 'U': keys.push_back(kKeyUp); break;
      case 'D': keys.push_back(kKeyDown); break;
      case 'L': keys.push_back(kKeyLeft); break;
      case 'R': keys.push_back(kKeyRight); break;
      case '1': keys.push_back(kKeyButton1); break;
      case '2': keys.push_back(kKeyButton2); break;
      default: break;
    }
  }
  return keys;
}

const CSkaterAnimationTable::Entry* CSkaterAnimationTable::Get(int index) const {
  return index >= 0 && index < kEntryCount ? &m_entries[index] : nullptr;
}

const AnimationRecord* CSkaterAnimationTable::GetAnimation(int index) const {
  const Entry* entry = Get(index);
  return entry != nullptr ? entry->animation : nullptr;
}

const char* CSkaterAnimationTable::GetAnimationName(int index) {
  return index >= 0 && index < kEntryCount ? kSpecs[index].animation : "";
}

int CSkaterAnimationTable::GetCategory(int index) const {
  const Entry* entry = Get(index);
  return entry != nullptr ? static_cast<int>(entry->category) : -1;
}

float CSkaterAnimationTable::GetDifficulty(int index) const {
  const Entry* entry = Get(index);
  return entry != nullptr ? entry->difficulty : 0.0f;
}

const char* CSkaterAnimationTable::GetDisplayName(int index) const {
  const Entry* entry = Get(index);
  return entry != nullptr ? entry->displayName : "";
}

float CSkaterAnimationTable::GetLength(int index) const {
  const AnimationRecord* animation = GetAnimation(index);
  return animation != nullptr && animation->length > 0.0f ? animation->length : 0.0f;
}

int CSkaterAnimationTable::GetCategoryFirst(uint32_t category) const {
  return category < kCategoryCount ? kRangeFirst[category] : -1;
}

int CSkaterAnimationTable::GetCategoryCount(uint32_t category) const {
  return category < kCategoryCount ? kRangeCount[category] : 0;
}

int CSkaterAnimationTable::GetSurfaceSound(uint32_t material, uint32_t action) const {
  return material < kSurfaces && action < kActions ? m_surfaceSounds[material][action] : -1;
}

int CSkaterAnimationTable::GetSingleSound(SingleSound sound) const {
  return sound < kSingleSoundCount ? m_singleSounds[sound] : -1;
}
