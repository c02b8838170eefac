#include "combat/BodyCreation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/data/DebugPrintf.h"
#include "core/world/GameMessage.h"
#include "core/world/GameWorld.h"

bool BodyCreation::Read(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kDataBytes) {
    DebugPrintf("BodyCreation: %u bytes of creation data, %u needed\n", static_cast<unsigned>(size),
                static_cast<unsigned>(kDataBytes));
    return false;
  }
  const void* end = std::memchr(data, '\0', kNameBytes);
  if (end == nullptr || end == data) {
    DebugPrintf("BodyCreation: the model name is %s\n", end == nullptr ? "not terminated" : "empty");
    return false;
  }
  float f[12];
  std::memcpy(f, data + kNameBytes, kFrameBytes);
  for (float v : f)
    if (!std::isfinite(v)) {
      DebugPrintf("BodyCreation: the placement of %s is not finite\n", reinterpret_cast<const char*>(data));
      return false;
    }
  model.assign(reinterpret_cast<const char*>(data));
  frame.axes.Set(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]);
  frame.position = Vector3(f[9], f[10], f[11]);
  return true;
}

void BodyCreation::Write(uint8_t* out) const {
  std::memset(out, 0, kNameBytes);
  std::memcpy(out, model.data(), std::min(model.size(), kNameBytes - 1));
  const float f[12] = {frame.axes.m[0].x, frame.axes.m[0].y, frame.axes.m[0].z, frame.axes.m[1].x,
                       frame.axes.m[1].y, frame.axes.m[1].z, frame.axes.m[2].x, frame.axes.m[2].y,
                       frame.axes.m[2].z, frame.position.x,  frame.position.y,  frame.position.z};
  std::memcpy(out + kNameBytes, f, kFrameBytes);
}

uint32_t CreateBodyThroughWorld(CGameWorld& world, uint8_t typeCode, const char* model, const COrientation& frame,
                                uint32_t owner) {
  const uint32_t size = GameMessage::kCreateHeaderSize + static_cast<uint32_t>(BodyCreation::kDataBytes);
  uint8_t* message = world.AllocMessage(size);
  if (message == nullptr) return 0;
  // An ID nothing holds: the world creates the object and files it under an ID of its own.
  uint32_t target = 0xFFFFFFFEu;
  while (world.GetObjectByID(target) != nullptr) --target;
  GameMessage::SetCreateHeader(message, size, target, GameMessage::kCreate, world.GetStepCount(), typeCode, owner);
  BodyCreation data;
  data.model = model != nullptr ? model : "";
  data.frame = frame;
  data.Write(message + GameMessage::kCreateHeaderSize);
  const uint32_t before = world.GetNextObjectID();
  world.HandleMessage(0, message);
  const uint32_t after = world.GetNextObjectID();
  return after != before && world.GetObjectByID(after - 1) != nullptr ? after - 1 : 0;
}
