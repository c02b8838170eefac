// BoundedObjectLink: one entry that another structure holds on a bounded object, kept in the object's link chain.
#pragma once

#include <cstdint>

// The holder owns the entry; the object only threads it into its chain. Whichever of the two
// goes first takes the entry out, so neither is left pointing at freed memory.
struct BoundedObjectLink {
  static constexpr int32_t kNoIndex = -1;

  BoundedObjectLink() = default;
  ~BoundedObjectLink() { Unlink(); }
  BoundedObjectLink(const BoundedObjectLink&) = delete;
  BoundedObjectLink& operator=(const BoundedObjectLink&) = delete;

  bool IsLinked() const { return prevNext != nullptr; }
  // Takes the entry out of its chain and resets it to {null, null, -1}.
  void Unlink() {
    if (prevNext != nullptr) {
      *prevNext = next;
      if (next != nullptr) next->prevNext = prevNext;
    }
    next = nullptr;
    prevNext = nullptr;
    index = kNoIndex;
  }

  BoundedObjectLink* next = nullptr;
  BoundedObjectLink** prevNext = nullptr;  // the word that points at this entry
  int32_t index = kNoIndex;                // the holder's word; drawing stamps the frame number here
};
