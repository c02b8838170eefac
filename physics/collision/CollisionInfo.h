// CollisionInfo: what a collision object tells the other party of a contact about itself.
#pragma once

#include <cstdint>

class CCollisionObject;
struct SurfaceType;

struct CollisionInfo {
  enum Kind : uint32_t { kNone = 0, kStatic = 1, kBody = 2 };

  uint32_t kind = kNone;
  CCollisionObject* object = nullptr;   // the object this record describes
  const SurfaceType* surface = nullptr;  // its material
  CCollisionObject* owner = nullptr;     // the object that handles its collisions, or null
};
