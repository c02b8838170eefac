// CAttachObject: an effect hung on one attach point of a carrier's mesh, as its carrier steps and draws it.
#pragma once

class CSceneDrawInterface;

// The effects folder implements the kinds; a carrier owns the ones made for its mesh (see
// CAttachObjectCarrier) and only ever steps, draws and deletes them.
class CAttachObject {
 public:
  virtual ~CAttachObject() = default;
  // Once per carrier update, with the carrier's step.
  virtual void Update(float dt) = 0;
  // Whenever the carrier draws.
  virtual void Render(CSceneDrawInterface* view) = 0;
};
