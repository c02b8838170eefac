#include "physics/collision/SphereTreeSweepQueue.h"

SphereTreeSweepQueue& SphereTreeSweepQueue::Shared() {
  static SphereTreeSweepQueue queue;
  return queue;
}
