// RecordingScene: a render view over a 640 x 480 recording back end, with a camera at the origin
// looking along world +x (the view's own axes), fog and an empty light list.
#pragma once

#include <cstdint>

#include "core/math/Box.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "render/view/RenderView.h"
#include "scene/lighting/FogState.h"
#include "scene/lighting/LightList.h"
#include "tests/support/RecordingRasterizer.h"

namespace testing_support {

struct RecordingScene {
  static constexpr float kFieldOfView = 1.2f;

  explicit RecordingScene(uint32_t options = 1 | 16, bool vertexBuffers = false) : rasterizer(640, 480) {
    rasterizer.vertexBuffers = vertexBuffers;
    camera.SetFieldOfView(kFieldOfView);
    camera.SetFar(1000.0f);
    view.Setup(&rasterizer, &camera, &fog, &lights, options);
  }
  // Starts a frame on the back buffer; the calls it makes stay recorded.
  bool Begin() {
    return view.BeginFrame(&camera, CRenderView::FrameViewport::kBackBuffer, CRenderView::FrameBackEnd::kDefault,
                           CRenderView::FrameOutput::kDraw);
  }

  COctree tree{Box(Vector3(-1000, -1000, -1000), Vector3(1000, 1000, 1000))};
  LightList lights{&tree};
  RecordingRasterizer rasterizer;
  ViewFrustum camera;
  FogState fog;
  CRenderView view;
};

}  // namespace testing_support
