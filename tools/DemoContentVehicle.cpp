// The demo creature; the demo vehicle is the buggy of the body meshes.
#include "tools/DemoContentVehicle.h"

#include "physics/rigid/RigidConst.h"
#include "scene/camera/VehicleCamPoints.h"
#include "tools/DemoContent.h"

namespace DemoContent {

std::unique_ptr<ShadedMesh> BuildCreature() {
  std::unique_ptr<ShadedMesh> mesh = BuildBox(0.3f, 0.3f, 0.9f);
  if (!mesh) return nullptr;
  mesh->SetName("creature");
  const RigidPhysicsParams params;
  mesh->AddAttachPoint(COrientation(), kAttachRigidParams, sizeof params, &params, false);
  for (float z : {0.5f, 1.3f}) {
    const float ball[2] = {40.0f, 0.3f};
    mesh->AddAttachPoint(COrientation(TMatrix(), Vector3(0.0f, 0.0f, z)), kAttachRigidPointMass, sizeof ball, ball,
                         false);
  }
  for (float z : {0.3f, 0.9f, 1.5f}) {
    const float radius = 0.3f;
    mesh->AddAttachPoint(COrientation(TMatrix(), Vector3(0.0f, 0.0f, z)), kAttachRigidSphere, sizeof radius, &radius,
                         false);
  }
  // Eyes at the front of the head, looking along the creature's forward (x) axis.
  const uint32_t none = 0;
  mesh->AddAttachPoint(COrientation(TMatrix(), Vector3(0.25f, 0.0f, 1.65f)), kAttachCreatureView, sizeof none, &none,
                       false);
  return mesh;
}

}  // namespace DemoContent
