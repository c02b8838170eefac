// CTriangleFiller: guard-band clipping, the 28.4 fixed-point edge walk and span emission.
#include "render/software/TriangleFiller.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/software/SpanBuffer.h"

namespace {

int64_t FloorDiv(int64_t n, int64_t d) {
  const int64_t q = n / d;
  return (n % d != 0 && ((n < 0) != (d < 0))) ? q - 1 : q;
}

int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }

int64_t Snap(float coordinate) { return static_cast<int64_t>(std::floor(static_cast<double>(coordinate) * 16.0)); }

// One edge stepped a row at a time: q + (r > 0) is the first pixel whose centre lies at or to
// the right of the edge on the current row. The remainder carries the exact fraction, so two
// triangles walking the same edge find the same pixel on every row.
struct EdgeWalk {
  int64_t q = 0, r = 0, d = 1, qStep = 0, rStep = 0;

  void Start(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t row) {
    const int64_t dy = y1 - y0, dx = x1 - x0;
    d = 16 * dy;
    const int64_t n = (x0 - 8) * dy + dx * (16 * row + 8 - y0);
    q = FloorDiv(n, d);
    r = n - q * d;
    qStep = FloorDiv(16 * dx, d);
    rStep = 16 * dx - qStep * d;
  }
  int64_t X() const { return q + (r > 0 ? 1 : 0); }
  void Step() {
    q += qStep;
    r += rStep;
    if (r >= d) ++q, r -= d;
  }
};

// Sutherland-Hodgman against one side of the guard band. The crossing is computed from the
// end with the smaller coordinates, so the two triangles of a shared edge cut it at one point.
template <class Inside, class Cross>
int ClipPolygon(const FillVertex* in, int n, FillVertex* out, Inside inside, Cross cross) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const FillVertex& p = in[i];
    const FillVertex& q = in[(i + 1) % n];
    const bool pIn = inside(p), qIn = inside(q);
    if (pIn) out[m++] = p;
    if (pIn != qIn) {
      const bool pFirst = p.x < q.x || (p.x == q.x && p.y < q.y);
      out[m++] = pFirst ? cross(p, q) : cross(q, p);
    }
  }
  return m;
}

FillVertex Lerp(const FillVertex& a, const FillVertex& b, double t) {
  auto mix = [t](float p, float q) { return static_cast<float>(p + (static_cast<double>(q) - p) * t); };
  return FillVertex{mix(a.x, b.x), mix(a.y, b.y), mix(a.rhw, b.rhw), mix(a.u, b.u),
                    mix(a.v, b.v), mix(a.intensity, b.intensity), mix(a.depth, b.depth)};
}

bool Finite(const FillVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.rhw) && std::isfinite(v.u) &&
         std::isfinite(v.v) && std::isfinite(v.intensity) && std::isfinite(v.depth);
}

}  // namespace

void CTriangleFiller::SetTarget(uint16_t* pixels, int pitchBytes, int width, int height) {
  m_pixels = pixels;
  m_pitch = pitchBytes;
  m_width = width;
  m_height = height;
}

void CTriangleFiller::SetSpanBuffer(SpanBuffer* spans, bool zWrite) {
  m_spans = spans;
  m_zWrite = zWrite;
}

void CTriangleFiller::SetFiller(SpanFiller filler, uint8_t attributes) {
  m_filler = filler;
  m_attributes = attributes;
}

void CTriangleFiller::DrawTriangle(const FillVertex& a, const FillVertex& b, const FillVertex& c, bool bothWindings) {
  if (!m_pixels || !Finite(a) || !Finite(b) || !Finite(c)) return;
  const float left = -kGuardBand, top = -kGuardBand;
  const float right = static_cast<float>(m_width) + kGuardBand, bottom = static_cast<float>(m_height) + kGuardBand;
  auto inBand = [&](const FillVertex& v) { return v.x >= left && v.x <= right && v.y >= top && v.y <= bottom; };
  // The winding decides on the snapped vertices, as the walk does.
  const double area = static_cast<double>(Snap(b.x) - Snap(a.x)) * static_cast<double>(Snap(c.y) - Snap(a.y)) -
                      static_cast<double>(Snap(b.y) - Snap(a.y)) * static_cast<double>(Snap(c.x) - Snap(a.x));
  const bool reversed = area < 0 && bothWindings;
  const FillVertex& second = reversed ? c : b;
  const FillVertex& third = reversed ? b : c;
  if (inBand(a) && inBand(b) && inBand(c)) Walk(a, second, third);
  else DrawClipped(a, second, third);
}

void CTriangleFiller::DrawClipped(const FillVertex& a, const FillVertex& b, const FillVertex& c) {
  // Each side adds at most one vertex: 3 + 4.
  FillVertex polygon[8] = {a, b, c}, other[8];
  int n = 3;
  const double right = static_cast<double>(m_width) + kGuardBand, bottom = static_cast<double>(m_height) + kGuardBand;
  const double sides[4] = {right, -kGuardBand, bottom, -kGuardBand};
  for (int side = 0; side < 4 && n >= 3; ++side) {
    const bool vertical = side < 2;
    const bool keepBelow = side == 0 || side == 2;
    const double limit = sides[side];
    auto coordinate = [vertical](const FillVertex& v) { return static_cast<double>(vertical ? v.x : v.y); };
    auto inside = [&](const FillVertex& v) { return keepBelow ? coordinate(v) <= limit : coordinate(v) >= limit; };
    auto cross = [&](const FillVertex& p, const FillVertex& q) {
      FillVertex v = Lerp(p, q, (limit - coordinate(p)) / (coordinate(q) - coordinate(p)));
      (vertical ? v.x : v.y) = static_cast<float>(limit);
      return v;
    };
    n = ClipPolygon(polygon, n, other, inside, cross);
    std::copy(other, other + n, polygon);
  }
  for (int i = 1; i + 1 < n; ++i) Walk(polygon[0], polygon[i], polygon[i + 1]);
}

void CTriangleFiller::SetPlanes(const FillVertex* v[3], const double x[3], const double y[3]) {
  const double d = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
  auto plane = [&](float FillVertex::*field, ScreenPlane& out) {
    const double a0 = v[0]->*field, a1 = v[1]->*field, a2 = v[2]->*field;
    out.dx = ((a1 - a0) * (y[2] - y[0]) - (a2 - a0) * (y[1] - y[0])) / d;
    out.dy = ((a2 - a0) * (x[1] - x[0]) - (a1 - a0) * (x[2] - x[0])) / d;
    // Planes are read at pixel centres.
    out.a = a0 + out.dx * (0.5 - x[0]) + out.dy * (0.5 - y[0]);
  };
  plane(&FillVertex::rhw, m_state.rhw);
  if (m_spans) plane(&FillVertex::depth, m_depth);
  if (m_attributes & kTexture) {
    plane(&FillVertex::u, m_state.u);
    plane(&FillVertex::v, m_state.v);
  }
  if (m_attributes & kIntensity) plane(&FillVertex::intensity, m_state.intensity);
}

void CTriangleFiller::Walk(const FillVertex& a, const FillVertex& b, const FillVertex& c) {
  const FillVertex* v[3] = {&a, &b, &c};
  int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) X[i] = Snap(v[i]->x), Y[i] = Snap(v[i]->y);
  if ((X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]) <= 0) return;  // back face or no area
  double px[3], py[3];
  for (int i = 0; i < 3; ++i) px[i] = X[i] / 16.0, py[i] = Y[i] / 16.0;
  SetPlanes(v, px, py);

  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int i, int j) { return Y[i] < Y[j]; });
  const int t = order[0], m = order[1], bt = order[2];
  // Rows whose centre (16 row + 8 in 28.4) lies in [top, bottom) belong to the triangle.
  const int64_t firstRow = std::max<int64_t>(0, CeilDiv(Y[t] - 8, 16));
  const int64_t midRow = CeilDiv(Y[m] - 8, 16);
  const int64_t endRow = std::min<int64_t>(m_height, CeilDiv(Y[bt] - 8, 16));
  if (firstRow >= endRow) return;
  const bool longIsLeft = (X[m] - X[t]) * (Y[bt] - Y[t]) - (X[bt] - X[t]) * (Y[m] - Y[t]) > 0;
  EdgeWalk longEdge, shortEdge;
  longEdge.Start(X[t], Y[t], X[bt], Y[bt], firstRow);
  bool onUpper = firstRow < midRow;
  if (onUpper) shortEdge.Start(X[t], Y[t], X[m], Y[m], firstRow);
  else shortEdge.Start(X[m], Y[m], X[bt], Y[bt], firstRow);
  for (int64_t row = firstRow; row < endRow; ++row) {
    if (onUpper && row >= midRow) {
      onUpper = false;
      shortEdge.Start(X[m], Y[m], X[bt], Y[bt], row);
    }
    const int64_t l = longIsLeft ? longEdge.X() : shortEdge.X();
    const int64_t r = longIsLeft ? shortEdge.X() : longEdge.X();
    const int x0 = static_cast<int>(std::max<int64_t>(0, l));
    const int x1 = static_cast<int>(std::min<int64_t>(m_width, r));
    if (x0 < x1) EmitSpan(static_cast<int>(row), x0, x1);
    longEdge.Step();
    shortEdge.Step();
  }
}

void CTriangleFiller::EmitSpan(int y, int x0, int x1) {
  uint16_t* row = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(m_pixels) + static_cast<ptrdiff_t>(m_pitch) * y);
  if (!m_spans) {
    m_filler(m_state, row, y, x0, x1);
    return;
  }
  m_row = row;
  m_rowY = y;
  const float z0 = static_cast<float>(m_depth.At(x0, y));
  if (!m_spans->Insert(y, x0, x1, z0, static_cast<float>(m_depth.dx), m_zWrite, &CTriangleFiller::FillPiece, this))
    ++m_refusedSpans;
}

void CTriangleFiller::FillPiece(void* self, int x0, int x1) {
  auto* filler = static_cast<CTriangleFiller*>(self);
  filler->m_filler(filler->m_state, filler->m_row, filler->m_rowY, x0, x1);
}
