#include "physics/rigid/WheelParams.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/data/DebugPrintf.h"
#include "core/data/Params.h"
#include "scene/mesh/ShadedMesh.h"

WheelParams::WheelParams()
    : damping(5000.0f),
      stiffness(20000.0f),
      mass(10.0f),
      parentMass(0.25f),
      render(1),
      rotate(1),
      unused{0, 0},
      wheelNode(-1),
      suspensionNode(-1),
      axleNode(-1),
      drivetrainNode(-1),
      mountPoint(0.0f, 0.0f, 0.0f),
      suspensionAxis(0.0f, 0.0f, 1.0f),
      suspensionLength(0.0f),
      radius(0.0f),
      spinInertia(0.0f) {
  forwardSurface.Copy(19);
  sideSurface = forwardSurface;
  sideSurface.kineticFriction *= 1.5f;
}

void WheelParams::Read(const char* text) {
  if (!text) return;
  if (Params::FindKey(text, "stiffness")) stiffness = Params::ReadFloat(text, "stiffness");
  if (Params::FindKey(text, "damping")) damping = Params::ReadFloat(text, "damping");
  if (Params::FindKey(text, "mass")) mass = Params::ReadFloat(text, "mass");
  if (Params::FindKey(text, "parentmass")) parentMass = Params::ReadFloat(text, "parentmass");
  if (Params::FindKey(text, "render")) render = Params::ReadBool(text, "render") ? 1 : 0;
  if (Params::FindKey(text, "rotate")) rotate = Params::ReadBool(text, "rotate") ? 1 : 0;
  forwardSurface.Read(text);
  float scale = 1.5f;
  if (Params::FindKey(text, "KineticFrictionSideScalar")) scale = Params::ReadFloat(text, "KineticFrictionSideScalar");
  sideSurface = forwardSurface;
  sideSurface.kineticFriction *= scale;
}

namespace {

bool NameHolds(const ShadedMesh* mesh, const char* key) {
  std::string name = mesh->GetName();
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return name.find(key) != std::string::npos;
}

}  // namespace

bool WheelParams::BindMeshNodes(const ShadedMesh* vehicle, const ShadedMesh* wheelMesh) {
  wheelNode = suspensionNode = axleNode = drivetrainNode = -1;
  if (!vehicle || !wheelMesh) return false;
  const float number = wheelMesh->ReadNamedValue("wheel");
  for (size_t i = 0; i < vehicle->children.size(); ++i) {
    const ShadedMesh* child = vehicle->children[i].get();
    if (!child) continue;
    const int index = static_cast<int>(i);
    if (child == wheelMesh) {
      wheelNode = index;
    } else if (NameHolds(child, "suspension") && child->ReadNamedValue("suspension") == number) {
      suspensionNode = index;
    } else if (NameHolds(child, "axle") && child->ReadNamedValue("axle") == number) {
      axleNode = index;
    } else if (NameHolds(child, "drivetrain") && child->ReadNamedValue("drivetrain") == number) {
      drivetrainNode = index;
    }
  }
  if (wheelNode < 0) {
    DebugPrintf("WheelParams: \"%s\" is not a part of the vehicle\n", wheelMesh->GetName().c_str());
    return false;
  }
  const size_t hang = static_cast<size_t>(wheelNode) < vehicle->childAttach.size()
                          ? vehicle->childAttach[static_cast<size_t>(wheelNode)]
                          : vehicle->attachPoints.size();
  if (hang >= vehicle->attachPoints.size()) {
    DebugPrintf("WheelParams: wheel part %d hangs on no attach point\n", wheelNode);
    return false;
  }
  const COrientation& node = vehicle->attachPoints[hang].transform;
  mountPoint = node.position;
  const int params = wheelMesh->FindAttachPoint(kAttachWheelParams);
  Vector3 end = mountPoint;
  if (params >= 0) {
    const AttachPoint& ap = wheelMesh->attachPoints[static_cast<size_t>(params)];
    if (ap.GetData()) std::memcpy(this, ap.GetData(), std::min<uint32_t>(ap.GetLength(), kStoredBytes));
    end = node.LocalToWorldPoint(ap.transform.position);
  } else {
    DebugPrintf("WheelParams: \"%s\" has no suspension point; defaults kept\n", wheelMesh->GetName().c_str());
  }
  const Vector3 axis = end - mountPoint;
  suspensionLength = axis.Length();
  // A zero-length suspension has no direction to normalise; it keeps the body's up axis.
  suspensionAxis = suspensionLength > 0.0f ? axis * (1.0f / suspensionLength) : Vector3(0.0f, 0.0f, 1.0f);
  radius = 0.5f * (wheelMesh->bounds.max.z - wheelMesh->bounds.min.z);
  spinInertia = 0.5f * mass * radius * radius;
  return true;
}
