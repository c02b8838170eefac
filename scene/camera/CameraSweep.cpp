#include "scene/camera/CameraSweep.h"

#include <algorithm>

#include "core/world/GameObject.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "scene/camera/CameraSubject.h"

CCameraSubject* CCameraSubject::Of(CGameObject* object) { return dynamic_cast<CCameraSubject*>(object); }

namespace {

// A segment whose boxes are grown by the radius: the sphere's sweep against boxes. Objects with
// their own shapes answer it as the segment it is built on.
class SphereSweep : public RayInfo {
 public:
  SphereSweep(const Vector3& from, const Vector3& to, float radius) : RayInfo(from, to), m_radius(radius) {}
  bool IntersectBox(const Box& box) override {
    Box grown = box;
    grown.Inflate(Vector3(m_radius, m_radius, m_radius));
    return RayInfo::IntersectBox(grown);
  }
  void GetBounds(Box& out) const override {
    RayInfo::GetBounds(out);
    out.Inflate(Vector3(m_radius, m_radius, m_radius));
  }

 private:
  float m_radius;
};

}  // namespace

float SweepCameraSphere(COctree* tree, const Vector3& from, const Vector3& to, float radius, uint32_t mask) {
  if (tree == nullptr) return 1.0f;
  SphereSweep sweep(from, to, std::max(radius, 0.0f));
  CBoundedObject* hit = nullptr;
  if (!tree->QuerySphere(sweep, &hit, mask)) return 1.0f;
  return std::min(std::max(sweep.result.time, 0.0f), 1.0f);
}
