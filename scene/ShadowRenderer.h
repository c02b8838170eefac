// ShadowRenderer: the projected-shadow pass of the world (filled in by the shadow work).
#pragma once

class ShadowRenderer {
 public:
  ShadowRenderer() = default;
  virtual ~ShadowRenderer() = default;
};
