// CWorldPointer: the software mouse pointer as the world drives it.
#pragma once

class CRenderView;

// The interface folder draws the pointer; the world owns one through this and ticks and draws it.
class CWorldPointer {
 public:
  virtual ~CWorldPointer() = default;
  // Once per world tick: the pointer may redraw itself between frames.
  virtual void Update() = 0;
  // The saved background is stale (a new frame was rendered over it).
  virtual void Invalidate() = 0;
  virtual void Draw(CRenderView* view, bool toBackBuffer) = 0;
  // Selects the pointer shape.
  virtual void SetFrame(int frame) = 0;
  // A hidden pointer is not drawn (the view from a piece has none).
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() const = 0;
};
