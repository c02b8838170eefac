// CollisionFlags: the collision bits of a bounded object's flag word, as the movers read them.
#pragma once

#include <cstdint>

namespace CollisionFlags {
constexpr uint32_t kFiled = 0x1;             // filed in the world's octree; box changes refile it
constexpr uint32_t kCandidate = 0x4;         // found by the movers' candidate query (mask 4)
constexpr uint32_t kOffersExtraInfos = 0x8;  // offers its extra contact infos to a mover
constexpr uint32_t kPushable = 0x10;         // a mover that meets it twice in a row moves it first
constexpr uint32_t kSubStep = 0x20;          // the mover creeps up to a contact
constexpr uint32_t kBlocks = 0x40;           // the mover stops at its nearest contact with collision info
constexpr uint32_t kHearsMovers = 0x80;      // told of contacts with movers
constexpr uint32_t kAsksCanCollide = 0x400000;  // both parties carrying it are asked CanCollideWith
}  // namespace CollisionFlags
