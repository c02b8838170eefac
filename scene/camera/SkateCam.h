// CSkateCam: follows a skater from behind with a smoothed rotation, swinging to the side during
// tricks and pulling in when the eye point would pass through the world.
#pragma once

#include "core/math/Quaternion.h"
#include "core/math/Vector3.h"
#include "scene/camera/GenericCam.h"

class COctree;

class CSkateCam : public CGenericCam {
 public:
  static constexpr uint32_t kSweepMask = 0x100000;  // static terrain

  CSkateCam() = default;

  // Position, eye offset and look offset in the skater's frame.
  void SetParams(float x, float y, float z, float eyeX, float eyeY, float eyeZ, float lookX, float lookY,
                 float lookZ);
  // The tree swept for obstacles between skater and eye; the world's when not set.
  void SetSweepTree(COctree* tree) { m_sweepTree = tree; }

  void UpdateCamera(const COrientation* followed, float dt, CInputMan* input, uint32_t a, uint32_t b,
                    CGameObject* followedObject) override;
  uint32_t GetCameraType() const override { return 2; }
  const char* GetInfoString() const override { return "<Skate Camera>"; }

 private:
  Vector3 m_lookOffset;
  Vector3 m_eyeOffset;
  Quaternion m_smoothed;
  COctree* m_sweepTree = nullptr;
};
