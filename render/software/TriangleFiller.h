// CTriangleFiller: turns one screen triangle into spans of the 15-bit frame. Vertices snap to
// 1/16 pixel; a pixel belongs to a triangle when its centre lies inside, or on a left or top
// edge (a horizontal edge above the inside), so triangles sharing an edge never both take, nor
// both miss, a pixel on it. Spans are clipped to the frame; triangles reaching beyond the guard
// band are first cut to it (Sutherland-Hodgman) so the fixed-point edge walk cannot overflow.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/software/SpanFillers.h"

class SpanBuffer;

// A vertex as the filler takes it: u, v and intensity already multiplied by rhw. depth is what
// the span buffer orders by (larger is nearer); it must run linearly over the screen, as 1/w does
// under a perspective camera and z does under an orthographic one.
struct FillVertex {
  float x, y, rhw, u, v, intensity, depth;
};

class CTriangleFiller {
 public:
  // Interpolated values the current filler reads, besides 1/w.
  static constexpr uint8_t kTexture = 1;
  static constexpr uint8_t kIntensity = 2;
  // How far beyond the frame a vertex may lie before the triangle is cut geometrically. Only a
  // cut moves an edge (by the 1/16 snap of the vertex it makes), so the band is as wide as a cut
  // vertex can be held to 1/16 pixel in a float (below 2^20); the 64-bit edge walk is exact far
  // beyond that.
  static constexpr float kGuardBand = 524288.0f;

  void SetTarget(uint16_t* pixels, int pitchBytes, int width, int height);
  // Null: spans are painted in drawing order without hidden-surface removal.
  void SetSpanBuffer(SpanBuffer* spans, bool zWrite);
  void SetFiller(SpanFiller filler, uint8_t attributes);
  FillState& GetState() { return m_state; }

  // Clockwise on the screen (y down) is the front; with bothWindings a counter-clockwise
  // triangle is filled too. Triangles with a coordinate that is not finite are dropped.
  void DrawTriangle(const FillVertex& a, const FillVertex& b, const FillVertex& c, bool bothWindings);

  // Spans refused because the span buffer ran out (the frame's statistics).
  size_t GetRefusedSpans() const { return m_refusedSpans; }
  void ResetRefusedSpans() { m_refusedSpans = 0; }

 private:
  void DrawClipped(const FillVertex& a, const FillVertex& b, const FillVertex& c);
  void Walk(const FillVertex& a, const FillVertex& b, const FillVertex& c);
  void SetPlanes(const FillVertex* v[3], const double x[3], const double y[3]);
  void EmitSpan(int y, int x0, int x1);
  static void FillPiece(void* self, int x0, int x1);

  uint16_t* m_pixels = nullptr;
  int m_pitch = 0;  // bytes
  int m_width = 0;
  int m_height = 0;
  SpanBuffer* m_spans = nullptr;
  bool m_zWrite = true;
  SpanFiller m_filler = SpanFillers::Solid;
  uint8_t m_attributes = 0;
  FillState m_state;
  ScreenPlane m_depth;  // the span buffer's depth over the current triangle
  uint16_t* m_row = nullptr;  // the row of the span being inserted
  int m_rowY = 0;
  size_t m_refusedSpans = 0;
};
