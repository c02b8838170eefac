#include "physics/rigid/RigidConstParams.h"

#include <algorithm>
#include <cstring>

#include "core/data/Params.h"

RigidPhysicsParams::RigidPhysicsParams()
    : gravity(0.0f, 0.0f, -9.8f),
      linearDrag(0.1f, 0.1f, 0.1f),
      rotationalDrag(0.1f, 0.1f, 0.1f),
      minLinearVelocity(0.5f),
      minAngularVelocity(0.15f, 0.15f, 0.15f),
      anchorStrength(0.0f),
      massTotalOverride(-1.0f) {
  surface.Copy(0);
}

void RigidPhysicsParams::Read(const char* text) {
  if (!text) return;
  if (Params::FindKey(text, "gravity")) gravity = Params::ReadVector(text, "gravity");
  if (Params::FindKey(text, "lineardrag")) linearDrag = Params::ReadVector(text, "lineardrag");
  if (Params::FindKey(text, "rotationaldrag")) rotationalDrag = Params::ReadVector(text, "rotationaldrag");
  if (Params::FindKey(text, "minlinearvelocity")) minLinearVelocity = Params::ReadFloat(text, "minlinearvelocity");
  if (Params::FindKey(text, "minangularvelocity"))
    minAngularVelocity = Params::ReadVector(text, "minangularvelocity");
  if (Params::FindKey(text, "anchorstrength")) anchorStrength = Params::ReadFloat(text, "anchorstrength");
  if (Params::FindKey(text, "masstotaloverride")) massTotalOverride = Params::ReadFloat(text, "masstotaloverride");
  surface.Read(text);
}

void RigidPhysicsParams::CopyFrom(const uint8_t* data, size_t length) {
  if (!data) return;
  std::memcpy(this, data, std::min(length, sizeof(*this)));
}
