// CAttachObjectCarrier: second base of objects that carry objects hung on their mesh attach points.
#pragma once

class CAttachObjectCarrier {
 public:
  // The carried attach objects are owned by the effects that create them; nothing is carried yet.
  virtual ~CAttachObjectCarrier() = default;
  // How strongly carried effects show: none while the flag is set.
  virtual float GetAttachIntensity(bool flag) const { return flag ? 0.0f : 1.0f; }
};
