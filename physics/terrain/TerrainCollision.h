// TerrainCollision: builds the static collision primitives (face polygons and curved patches) of one mesh instance.
#pragma once

#include <cstdint>
#include <vector>

class CCollisionObject;
class CMeshInstance;
class COctree;
class CStaticCollisionPrimative;

// One polygon per face and one patch per curved patch of the instance, kept by the instance.
// A face with a zero (or non-finite) normal is reported and left unbound: it is filed
// nowhere, never hit, and keeps face index -1. Bound primitives are filed in the octree at
// `depth` (when an octree is given) and appended to `list` (when given). With `grow` the
// octree is first made to hold the instance's world box. With `mark` the polygons cast
// shadows (flag 0x400) unless their owner asks for none; without it they do not.
void BuildTerrainCollisionPolygons(COctree* octree, CMeshInstance* instance,
                                   std::vector<CStaticCollisionPrimative*>* list, uint32_t depth,
                                   CCollisionObject* owner, bool grow, bool mark);
