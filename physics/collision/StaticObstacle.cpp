// CStaticObstacle: set-up from a structure's sphere tree and the queries against it.
#include "physics/collision/StaticObstacle.h"

#include "core/data/DebugPrintf.h"
#include "core/math/GenericIntersection.h"
#include "core/math/RayInfo.h"
#include "physics/collision/SphereTree.h"
#include "physics/collision/SphereTreeDraw.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "physics/collision/SphereTreeWalk.h"
#include "physics/collision/SurfaceType.h"
#include "scene/mesh/MeshInstance.h"

#include "physics/collision/SphereTreeNode.h"

CStaticObstacle::~CStaticObstacle() = default;

bool CStaticObstacle::Setup(const SphereTreeNode* source, const COrientation& world, CMeshInstance* instance,
                            CCollisionObject* owner) {
  if (!source) {
    DebugPrintf("CStaticObstacle: no sphere tree to build from\n");
    return false;
  }
  std::unique_ptr<SphereTreeNode> tree = SphereTree::Build(source, &world);
  if (!tree) return false;
  m_tree = std::move(tree);

  m_info.object = this;
  ChooseSurface(TableTexture(instance, 0));
  m_info.owner = owner;
  m_section = nullptr;

  Box box = SphereTree::ComputeBounds(*m_tree);
  if (instance) {
    BindInstance(instance);
    Box shown;
    instance->GetWorldBounds(shown);
    box.ExtendByBox(shown);
  }
  SetBounds(box);
  SetStaticCollisionFlags();
  AddBoundFlags(kRenderable | kReceivesLights | kCastsShadows | kReceivesProjectedShadows | kBlocksStaticShadowRays |
                kNoCameraPass);
  ClearBoundFlags(kCastsProjectedShadow);
  return true;
}

bool CStaticObstacle::Intersect(GenericIntersection* query) {
  if (!query) return false;
  CMeshInstance* instance = GetInstance();
  if (query->kind == 1 && (query->mode & QueryMode::kBodyMesh) && instance)
    return instance->IntersectRay(static_cast<RayInfo&>(*query), nullptr, nullptr);
  if (!m_tree) return false;
  // The tree already holds world centres: it is its own model and working tree, and no pose
  // is applied to it.
  SphereTreeRef ref;
  ref.model = m_tree.get();
  ref.working = m_tree.get();
  ref.orientation = nullptr;
  ref.stamp = m_tree->stamp;
  return IntersectSphereTree(*query, ref);
}

void CStaticObstacle::Render(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  CStaticCollisionPrimative::Render(view);
  if (m_tree && (view->GetDebugFlags() & CSceneDrawInterface::kDebugCollision))
    DrawSphereTreeDebug(*view, *m_tree, nullptr, kTreeColour, kLeafColour);
}
