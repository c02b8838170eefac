// D3DStartOptions: what the hardware back end's device start-up takes beside the window and the
// chosen driver, device and mode.
#pragma once

struct D3DStartOptions {
  bool fullScreen = false;
  bool safeMode = false;
  float antiAlias = 0.0f;  // on above 0.9, where the device can
  float mipFilter = 0.0f;  // linear mip filtering above 0.9, where the device can
};
