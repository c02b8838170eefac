// CCreature: a creature that walks and fights - an upright rigid body that never turns, placed only where it fits,
// which can give the cameras its view.
#pragma once

#include "combat/Body.h"
#include "scene/camera/CameraSubject.h"

class CCreature : public CBody, public CCameraSubject {
 public:
  static constexpr uint8_t kTypeCode = 5;

  const char* GetInfoString() const override { return "<Creature>"; }

  // The body of the model at the placement, held upright: contacts never turn it.
  void SetupCreature(const RigidConst* model, const COrientation& placement);
  // Moves the creature to frame unless it would touch something there; false (and the creature
  // stays where it was) when the place is taken.
  bool Place(const COrientation& frame);
  // A creature made through the world checks the place it was made at; one that cannot be there goes.
  void Init(bool created) override;

  uint32_t GetCameraSubjectKind() const override { return kCreature; }
  const COrientation& GetCameraSubjectFrame() override { return GetFrame(); }
  const ShadedMesh* GetCameraSubjectMesh() const override;
  // The view from the creature: its view point (attach point 103) where its mesh has one,
  // otherwise its own frame.
  void SetCameraFrame(COrientation& frame) override;
  // A view point outside the creature's collision sphere could look through a wall it stands at.
  bool WantsCameraObstacleSweep() const override;

 protected:
  uint8_t GetTypeCode() const override { return kTypeCode; }
  bool SetupFromResource(void* resource, uint16_t type, const COrientation& placement) override;
};
