// The link chain of a bounded object: front insertion, stamping, unlinking from either side.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <random>
#include <vector>

#include "core/spatial/BoundedObject.h"

namespace {

std::vector<const BoundedObjectLink*> Chain(const CBoundedObject& object) {
  std::vector<const BoundedObjectLink*> out;
  const BoundedObjectLink* const* word = nullptr;
  for (const BoundedObjectLink* link = object.GetFirstLink(); link != nullptr; link = link->next) {
    // Every entry's back pointer names the word that points at it.
    if (word != nullptr) EXPECT_EQ(word, link->prevNext);
    word = &link->next;
    out.push_back(link);
  }
  return out;
}

void ExpectReset(const BoundedObjectLink& link) {
  EXPECT_EQ(nullptr, link.next);
  EXPECT_EQ(nullptr, link.prevNext);
  EXPECT_EQ(-1, link.index);
}

TEST(BoundedObjectLink, EntriesGoToTheFrontTakeStampsAndAreResetWhenTheObjectGoes) {
  BoundedObjectLink a, b, c;
  {
    CBoundedObject object;
    object.AddLink(&a);
    object.AddLink(&b);
    object.AddLink(&c);
    object.StampLinks(42);
    for (const BoundedObjectLink* link : {&a, &b, &c}) EXPECT_EQ(42, link->index);
    // Each of the five drawing flags follows its own argument, in every combination.
    const uint32_t kinds[5] = {CBoundedObject::kRenderable, CBoundedObject::kReceivesLights, CBoundedObject::kCastsShadows,
                               CBoundedObject::kReceivesProjectedShadows, CBoundedObject::kCastsProjectedShadow};
    for (uint32_t bits = 0; bits < 32; ++bits) {
      object.SetFlags(bits & 1, bits & 2, bits & 4, bits & 8, bits & 16);
      for (uint32_t k = 0; k < 5; ++k) EXPECT_EQ(object.HasAllFlags(kinds[k]), (bits >> k & 1) != 0) << bits << " " << k;
    }

    b.Unlink();  // the middle entry leaves; the random run checks every chain an unlink leaves
    c.Unlink();  // the first entry leaves: the object's own word moves on

    CBoundedObject other;
    other.AddLink(&a);  // linked elsewhere: it moves
    EXPECT_TRUE(Chain(object).empty());  // the random run checks the chain a moved entry joins
    object.AddLink(&b);
    object.AddLink(&c);
    object.StampLinks(7);
  }
  // Both objects are gone: every entry they held is unlinked and reset.
  for (const BoundedObjectLink* link : {&a, &b, &c}) ExpectReset(*link);
}

TEST(BoundedObjectLink, AnEntryThatGoesFirstLeavesTheChain) {
  CBoundedObject object;
  BoundedObjectLink kept;
  object.AddLink(&kept);
  {
    BoundedObjectLink shortLived;
    object.AddLink(&shortLived);
    EXPECT_EQ(2u, Chain(object).size());
  }
  EXPECT_EQ((std::vector<const BoundedObjectLink*>{&kept}), Chain(object));
  object.StampLinks(3);  // must not touch the freed entry
  EXPECT_EQ(3, kept.index);
}

TEST(BoundedObjectLink, RandomLinkingAgreesWithAListModel) {
  std::mt19937 rng(11);
  CBoundedObject objects[2];
  std::list<const BoundedObjectLink*> model[2];
  std::vector<std::unique_ptr<BoundedObjectLink>> links(12);
  for (auto& link : links) link = std::make_unique<BoundedObjectLink>();
  auto forget = [&](const BoundedObjectLink* link) {
    for (auto& m : model) m.remove(link);
  };
  for (int step = 0; step < 2000; ++step) {
    const size_t i = rng() % links.size();
    BoundedObjectLink* link = links[i].get();
    switch (rng() % 4) {
      case 0:
      case 1: {
        const int o = static_cast<int>(rng() % 2);
        forget(link);
        objects[o].AddLink(link);
        model[o].push_front(link);
        break;
      }
      case 2:
        forget(link);
        link->Unlink();
        ExpectReset(*link);
        break;
      default:  // the holder drops its entry and makes a new one
        forget(link);
        links[i] = std::make_unique<BoundedObjectLink>();
        break;
    }
    for (int o = 0; o < 2; ++o) {
      const std::vector<const BoundedObjectLink*> chain = Chain(objects[o]);
      ASSERT_EQ(std::vector<const BoundedObjectLink*>(model[o].begin(), model[o].end()), chain) << step;
    }
  }
  objects[0].StampLinks(5);
  for (const BoundedObjectLink* link : model[0]) EXPECT_EQ(5, link->index);
}

}  // namespace
