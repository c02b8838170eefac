#include "core/spatial/BoundedObject.h"

#include "core/spatial/Octree.h"

namespace {

struct NamedBit {
  uint32_t bit;
  const char* name;
};

constexpr NamedBit kNames[] = {
    {CBoundedObject::kColliderObject, "Collider Object"},
    {CBoundedObject::kEffectGenOnReact, "Effect Gen On React"},
    {CBoundedObject::kReactionPair, "Reaction Pair"},
    {CBoundedObject::kUpdateBeforeCritical, "Update Before Critical"},
    {CBoundedObject::kNoPenetration, "No Penetration"},
    {CBoundedObject::kReactActiveCritical, "React Active Critical"},
    {CBoundedObject::kBackfaceCull, "Backface Cull"},
    {CBoundedObject::kRenderable, "Renderable"},
    {CBoundedObject::kCastsShadows, "Casts Shadows"},
    {CBoundedObject::kReceivesLights, "Rec Lights"},
    {CBoundedObject::kLight, "Light"},
    {CBoundedObject::kRigidDynamic, "Rigid Dynamic"},
    {CBoundedObject::kGameObject, "Game Object"},
    {CBoundedObject::kNoCameraPass, "No Camara Pass"},
    {CBoundedObject::kStaticOccluder, "Static Occluder"},
    {CBoundedObject::kDoNotDelete, "Do Not Delete"},
    {CBoundedObject::kStaticTerrain, "Static Terrain"},
    {CBoundedObject::kTargetable, "Targetable"},
    {CBoundedObject::kCheckCollisionReaction, "Check Collision Reaction"},
    {CBoundedObject::kPath, "Path"},
    {CBoundedObject::kSpline, "Spline"},
    {CBoundedObject::kWalkable, "Walkable"},
    {CBoundedObject::kPotentialCoverPoly, "Potential Cover Poly"},
};

}  // namespace

const char* CBoundedObject::FlagName(uint32_t bit) {
  for (const NamedBit& named : kNames)
    if (named.bit == bit) return named.name;
  return nullptr;
}

CBoundedObject::~CBoundedObject() {
  if (m_octree != nullptr) m_octree->RemoveObject(this);
  while (m_links != nullptr) m_links->Unlink();
}

void CBoundedObject::AddLink(BoundedObjectLink* link) {
  if (link == nullptr) return;
  link->Unlink();
  link->next = m_links;
  link->prevNext = &m_links;
  if (m_links != nullptr) m_links->prevNext = &link->next;
  m_links = link;
}

void CBoundedObject::StampLinks(int32_t value) {
  for (BoundedObjectLink* link = m_links; link != nullptr; link = link->next) link->index = value;
}

void CBoundedObject::PassFlagsToCells() {
  for (const CellRef& ref : m_cellRefs) ref.cell->AddSubtreeFlags(m_boundFlags);
}

void CBoundedObject::SetFlags(bool renderable, bool receivesLights, bool castsShadows, bool receivesProjected,
                              bool castsProjected) {
  auto put = [this](uint32_t bit, bool on) {
    if (on)
      AddBoundFlags(bit);
    else
      ClearBoundFlags(bit);
  };
  put(kRenderable, renderable);
  put(kReceivesLights, receivesLights);
  put(kCastsShadows, castsShadows);
  put(kReceivesProjectedShadows, receivesProjected);
  put(kCastsProjectedShadow, castsProjected);
  put(kBlocksStaticShadowRays, !castsProjected);
}
