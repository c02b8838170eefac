// CTestEdge: a free world segment with the flags of a drawn helper line.
#include "physics/collision/StaticCollisionPrimativeTestEdge.h"

#include "scene/mesh/SceneDrawInterface.h"

CTestEdge::CTestEdge(float ax, float ay, float az, float bx, float by, float bz)
    : m_first(ax, ay, az), m_second(bx, by, bz) {
  SetStaticCollisionFlags();
  SetLooseGeometryFlags();
  AddBoundFlags(kRenderable);
  Box box;
  box.SetFromPoints(m_first, m_second);
  SetBounds(box);
}

void CTestEdge::Render(CSceneDrawInterface* view) {
  if (view != nullptr) view->DrawLine3D(m_first, m_second, kColour);
}
