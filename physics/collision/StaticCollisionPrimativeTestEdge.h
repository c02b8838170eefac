// CTestEdge: a free segment between two world points, a static collision primitive for trying things out.
#pragma once

#include "core/math/Vector3.h"
#include "physics/collision/StaticCollisionPrimative.h"

class CTestEdge : public CStaticCollisionPrimative {
 public:
  CTestEdge(float ax, float ay, float az, float bx, float by, float bz);
  ~CTestEdge() override = default;

  bool Intersect(GenericIntersection* query) override { return false; }
  // A red line: the edge exists only to be seen.
  void Render(CSceneDrawInterface* view) override;
  static constexpr uint32_t kColour = 0xFFFF0000u;

  const Vector3& GetFirst() const { return m_first; }
  const Vector3& GetSecond() const { return m_second; }

 private:
  Vector3 m_first;
  Vector3 m_second;
};
