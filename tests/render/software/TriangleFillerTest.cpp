// Triangle filling: coverage against an exact edge-function reference, shared edges, the span
// buffer against a per-pixel depth reference, and perspective-correct texel indices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "render/software/SpanBuffer.h"
#include "render/software/SpanFillers.h"
#include "render/software/TriangleFiller.h"

namespace {

constexpr int kW = 64, kH = 48;

// Counts writes: every pixel of a span goes up by one.
void CountWrites(const FillState&, uint16_t* row, int, int x0, int x1) {
  for (int x = x0; x < x1; ++x) ++row[x];
}

struct Frame {
  std::vector<uint16_t> pixels = std::vector<uint16_t>(kW * kH, 0);
  CTriangleFiller filler;
  Frame() {
    filler.SetTarget(pixels.data(), kW * 2, kW, kH);
    filler.SetFiller(CountWrites, 0);
  }
  uint16_t At(int x, int y) const { return pixels[y * kW + x]; }
};

FillVertex V(double x, double y) { return FillVertex{float(x), float(y), 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}; }

// The fill rule, stated independently of the walk: vertices snap down to 1/16 pixel; a pixel
// centre belongs to a clockwise (y down) triangle when every edge function is positive, or zero
// on a left edge (going up) or a top edge (horizontal, going right).
bool Covers(const FillVertex& a, const FillVertex& b, const FillVertex& c, int px, int py) {
  const double xs[3] = {std::floor(a.x * 16.0), std::floor(b.x * 16.0), std::floor(c.x * 16.0)};
  const double ys[3] = {std::floor(a.y * 16.0), std::floor(b.y * 16.0), std::floor(c.y * 16.0)};
  const double area = (xs[1] - xs[0]) * (ys[2] - ys[0]) - (ys[1] - ys[0]) * (xs[2] - xs[0]);
  if (area <= 0) return false;
  const double cx = px * 16.0 + 8, cy = py * 16.0 + 8;
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const double dx = xs[j] - xs[i], dy = ys[j] - ys[i];
    const double e = dx * (cy - ys[i]) - dy * (cx - xs[i]);
    if (e < 0) return false;
    if (e == 0 && !(dy < 0 || (dy == 0 && dx > 0))) return false;
  }
  return true;
}

// Distance of a pixel centre from the segment's line (for pixels cut by guard-band clipping).
double LineDistance(const FillVertex& a, const FillVertex& b, int px, int py) {
  const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
  return std::abs(dx * (py + 0.5 - a.y) - dy * (px + 0.5 - a.x)) / std::hypot(dx, dy);
}

}  // namespace

TEST(TriangleFiller, CoverageMatchesTheExactRuleForRandomThinAndTinyTriangles) {
  std::mt19937 rng(18);
  std::uniform_real_distribution<double> wide(-20, 84), unit(0, 1);
  int drawn = 0;
  for (int n = 0; n < 3000; ++n) {
    FillVertex t[3];
    const int kind = n % 3;
    for (FillVertex& v : t) v = V(wide(rng), wide(rng) * 0.75);
    if (kind == 1) {  // sub-pixel: all three within one or two pixels
      for (int i = 1; i < 3; ++i) t[i] = V(t[0].x + unit(rng) * 1.5, t[0].y + unit(rng) * 1.5);
    } else if (kind == 2) {  // thin sliver along a random direction
      t[2] = V(t[1].x + (unit(rng) - 0.5) * 0.3, t[1].y + (unit(rng) - 0.5) * 0.3);
    }
    if (n % 50 == 0) t[1].x = t[0].x;  // vertical and horizontal edges, centres exactly on them
    if (n % 70 == 0) t[2].y = t[1].y = std::round(t[1].y) + 0.5f;
    for (bool both : {false, true}) {
      Frame f;
      f.filler.DrawTriangle(t[0], t[1], t[2], both);
      const bool clockwise = (double(t[1].x) - t[0].x) * (double(t[2].y) - t[0].y) -
                                 (double(t[1].y) - t[0].y) * (double(t[2].x) - t[0].x) >= 0;
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          const bool expected = Covers(t[0], t[1], t[2], x, y) || (both && Covers(t[0], t[2], t[1], x, y));
          ASSERT_EQ(expected ? 1 : 0, f.At(x, y)) << "triangle " << n << " both " << both << " at " << x << "," << y;
          drawn += expected && clockwise;
        }
    }
  }
  EXPECT_GT(drawn, 50000) << "the random set must actually cover pixels";
}

TEST(TriangleFiller, SharedEdgesOfMeshesAndFansAreWrittenExactlyOnce) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> jitter(-0.2, 0.2);  // cells stay convex
  for (int mesh = 0; mesh < 20; ++mesh) {
    // A jittered grid reaching past the frame, each cell split along a random diagonal.
    const int cols = 9, rows = 7;
    const double cw = (kW + 20.0) / cols, ch = (kH + 20.0) / rows;
    std::vector<FillVertex> p;
    for (int j = 0; j <= rows; ++j)
      for (int i = 0; i <= cols; ++i)
        p.push_back(V(-10 + (i + (i && i < cols ? jitter(rng) : 0)) * cw, -10 + (j + (j && j < rows ? jitter(rng) : 0)) * ch));
    Frame f;
    for (int j = 0; j < rows; ++j)
      for (int i = 0; i < cols; ++i) {
        const FillVertex& a = p[j * (cols + 1) + i];
        const FillVertex& b = p[j * (cols + 1) + i + 1];
        const FillVertex& c = p[(j + 1) * (cols + 1) + i + 1];
        const FillVertex& d = p[(j + 1) * (cols + 1) + i];
        if (rng() & 1) {
          f.filler.DrawTriangle(a, b, c, false);
          f.filler.DrawTriangle(a, c, d, false);
        } else {
          f.filler.DrawTriangle(a, b, d, false);
          f.filler.DrawTriangle(b, c, d, false);
        }
      }
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) ASSERT_EQ(1, f.At(x, y)) << "mesh " << mesh << " at " << x << "," << y;
  }
  // A fan around an inside centre, rim beyond the frame, some rim points far beyond the guard
  // band so that clipped triangles share their cut edges: again every pixel exactly once.
  for (int fan = 0; fan < 20; ++fan) {
    const FillVertex centre = V(20 + jitter(rng) * 40, 20 + jitter(rng) * 20);
    std::vector<FillVertex> rim;
    const int n = 5 + fan % 11;
    for (int i = 0; i < n; ++i) {
      const double angle = (i + 0.5 + jitter(rng)) * 2 * M_PI / n;
      const double radius = (fan % 4 == 0 && i % 2) ? 60000.0 : 90.0;
      rim.push_back(V(centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)));
    }
    Frame f;
    for (int i = 0; i < n; ++i) f.filler.DrawTriangle(centre, rim[i], rim[(i + 1) % n], false);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) ASSERT_EQ(1, f.At(x, y)) << "fan " << fan << " at " << x << "," << y;
  }
}

TEST(TriangleFiller, TrianglesBeyondTheGuardBandAreCutOnlyWhereTheRuleAllows) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> far(-200000, 200000), beyond(-5e7, 5e7), near(0, 60);
  int differing = 0, covered = 0;
  for (int n = 0; n < 300; ++n) {
    // Vertices a few hundred thousand pixels out are walked exactly: one near and two far, or
    // an edge through the frame between two far ends. The last hundred reach past the band and
    // are cut.
    auto out = [&] { return n < 200 ? far(rng) : beyond(rng); };
    FillVertex t[3] = {V(near(rng), near(rng) * 0.75), V(out(), out()), V(out(), out())};
    if (n % 2) {
      const double cx = near(rng), cy = near(rng) * 0.75, angle = near(rng), reach = n < 200 ? 150000.0 : 4e7;
      t[0] = V(cx + reach * std::cos(angle), cy + reach * std::sin(angle));
      t[1] = V(cx - reach * std::cos(angle), cy - reach * std::sin(angle));
    }
    Frame f;
    f.filler.DrawTriangle(t[0], t[1], t[2], true);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const bool expected = Covers(t[0], t[1], t[2], x, y) || Covers(t[0], t[2], t[1], x, y);
        covered += expected;
        ASSERT_LE(f.At(x, y), 1);
        if (f.At(x, y) == (expected ? 1 : 0)) continue;
        ASSERT_GE(n, 200) << "within the band at " << x << "," << y;
        // Cutting moves an edge by at most the 1/16 snap of the new vertex.
        ++differing;
        const double d = std::min({LineDistance(t[0], t[1], x, y), LineDistance(t[1], t[2], x, y),
                                   LineDistance(t[2], t[0], x, y)});
        ASSERT_LT(d, 0.07) << n << " at " << x << "," << y;
      }
  }
  EXPECT_GT(covered, 100000);
  EXPECT_LT(differing, covered / 1000);
  // Coordinates that are not numbers draw nothing.
  Frame f;
  f.filler.DrawTriangle(V(0, 0), V(NAN, 10), V(0, 40), true);
  f.filler.DrawTriangle(V(0, 0), V(INFINITY, 10), V(0, 40), true);
  EXPECT_EQ(std::count(f.pixels.begin(), f.pixels.end(), 0), kW * kH);
}

namespace {

struct Piece {
  int x0, x1;
  bool operator==(const Piece& o) const { return x0 == o.x0 && x1 == o.x1; }
};

void Record(void* pieces, int x0, int x1) { static_cast<std::vector<Piece>*>(pieces)->push_back({x0, x1}); }

std::vector<Piece> Insert(SpanBuffer& b, int x0, int x1, float z0, float dz, bool zWrite = true, bool* ok = nullptr) {
  std::vector<Piece> pieces;
  const bool inserted = b.Insert(0, x0, x1, z0, dz, zWrite, Record, &pieces);
  if (ok) *ok = inserted;
  return pieces;
}

}  // namespace

// Hidden spans and splits are checked against a depth buffer below, which skips ties: the tie rule is pinned here.
TEST(SpanBuffer, CrossingsTiesAndTheReadOnlyPass) {
  SpanBuffer b;
  b.Allocate(1, 100);
  // Crossing depths split at the first pixel where the new one is in front: old 0.5 flat,
  // new 0.25 + x / 256 equals it at x = 64 (a tie keeps the old) and wins from 65.
  Insert(b, 0, 100, 0.5f, 0.0f);
  EXPECT_EQ((std::vector<Piece>{{65, 100}}), Insert(b, 0, 100, 0.25f, 1.0f / 256));
  const auto row = b.GetRow(0);
  ASSERT_EQ(2u, row.size());
  EXPECT_TRUE(row[0].x1 == 65 && row[1].x0 == 65 && row[1].z0 == 0.25f + 65.0f / 256);
  // A span over gaps and spans alike, without depth writing: drawn where in front, rows kept.
  EXPECT_EQ((std::vector<Piece>{{-5, 0}, {0, 65}, {65, 100}, {100, 120}}), Insert(b, -5, 120, 1.0f, 0.0f, false));
  EXPECT_EQ(2u, b.GetRow(0).size());
  EXPECT_EQ((std::vector<Piece>{{-5, 0}, {100, 120}}), Insert(b, -5, 120, 0.1f, 0.0f, false));
  // Rows outside the buffer and empty spans are ignored.
  std::vector<Piece> none;
  EXPECT_TRUE(b.Insert(5, 0, 10, 1.0f, 0.0f, true, Record, &none) && none.empty());
  EXPECT_TRUE(Insert(b, 10, 10, 1.0f, 0.0f).empty());
}

TEST(SpanBuffer, AgreesWithAPerPixelDepthBufferAndStopsCleanlyWhenFull) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> pos(-10, 210);
  std::uniform_real_distribution<float> depth(0.01f, 1.0f);
  for (int round = 0; round < 50; ++round) {
    SpanBuffer b;
    b.Allocate(1, 64);  // few enough records that those given back must be taken again
    std::vector<double> z(200, 0.0);  // 0: nothing drawn yet
    for (int n = 0; n < 60; ++n) {
      int x0 = pos(rng), x1 = pos(rng);
      if (x0 > x1) std::swap(x0, x1);
      const float z0 = depth(rng), zEnd = depth(rng);
      const float dz = x1 > x0 ? (zEnd - z0) / float(x1 - x0) : 0.0f;
      std::vector<Piece> pieces = Insert(b, x0, x1, z0, dz);
      std::vector<bool> drawn(220, false);
      for (const Piece& p : pieces)
        for (int x = p.x0; x < p.x1; ++x) {
          ASSERT_FALSE(drawn[x + 10]) << "a pixel drawn twice by one span";
          drawn[x + 10] = true;
        }
      for (int x = std::max(x0, 0); x < std::min(x1, 200); ++x) {
        const double mine = z0 + double(x - x0) * dz;
        if (std::abs(mine - z[x]) > 1e-5) ASSERT_EQ(mine > z[x], drawn[x + 10]) << round << "/" << n << " x " << x;
        if (drawn[x + 10]) z[x] = mine;
      }
      // The row stays sorted and disjoint, and its depths are the reference's.
      int last = -1000;
      for (const SpanBuffer::Span& s : b.GetRow(0)) {
        ASSERT_LE(last, s.x0);
        ASSERT_LT(s.x0, s.x1);
        last = s.x1;
        for (int x = std::max(s.x0, 0); x < std::min(s.x1, 200); ++x) ASSERT_NEAR(z[x], s.z0 + (x - s.x0) * s.dz, 1e-5);
      }
      ASSERT_EQ(64 - b.GetRow(0).size(), b.GetFreeRecords()) << "a record is in the row or free, never lost";
    }
  }
  // 25 records: disjoint spans are taken while 20 or more are free, then refused whole.
  SpanBuffer small;
  small.Allocate(1, 25);
  int taken = 0;
  bool ok = true;
  for (int i = 0; i < 10; ++i) {
    const auto pieces = Insert(small, i * 10, i * 10 + 5, 0.5f, 0.0f, true, &ok);
    if (!ok) {
      EXPECT_TRUE(pieces.empty());
      continue;
    }
    ++taken;
  }
  EXPECT_EQ(6, taken);
  EXPECT_EQ(6u, small.GetRow(0).size());
  small.Empty();
  EXPECT_EQ(25u, small.GetFreeRecords());
}

namespace {

// Texture index (x, y) of a 16 x 16 texture is y * 16 + x and the light table is the identity,
// so a written pixel names the texel the filler chose.
struct TexelFrame : Frame {
  uint8_t texels[256];
  uint16_t identity[32 * 256];
  TexelFrame() {
    for (int i = 0; i < 256; ++i) texels[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 32 * 256; ++i) identity[i] = static_cast<uint16_t>(i % 256 + 0x1000);
    FillState& s = filler.GetState();
    s.texture = SpanTexture{texels, 15, 15, 4};
    s.lightTable = identity;
    s.lightTables = identity;
    filler.SetFiller(SpanFillers::Textured, CTriangleFiller::kTexture);
  }
};

// u and v at a pixel centre by perspective-correct barycentric interpolation, in double.
void Reference(const FillVertex* t, const double* uw, const double* vw, int px, int py, double* u, double* v) {
  double X[3], Y[3];
  for (int i = 0; i < 3; ++i) X[i] = std::floor(t[i].x * 16.0) / 16, Y[i] = std::floor(t[i].y * 16.0) / 16;
  const double cx = px + 0.5, cy = py + 0.5;
  const double d = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
  const double b1 = ((cx - X[0]) * (Y[2] - Y[0]) - (cy - Y[0]) * (X[2] - X[0])) / d;
  const double b2 = ((X[1] - X[0]) * (cy - Y[0]) - (Y[1] - Y[0]) * (cx - X[0])) / d;
  const double b0 = 1 - b1 - b2;
  const double w = b0 * t[0].rhw + b1 * t[1].rhw + b2 * t[2].rhw;
  *u = (b0 * uw[0] + b1 * uw[1] + b2 * uw[2]) / w;
  *v = (b0 * vw[0] + b1 * vw[1] + b2 * vw[2]) / w;
}

int Wrap(double t) { return static_cast<int>(static_cast<int64_t>(std::floor(t)) & 15); }

}  // namespace

TEST(SpanFillers, TexelsArePerspectiveCorrectAtEveryRunJointAndCloseBetween) {
  // A floor at a slant, 2500 turns of the texture out (beyond 16.16): the far edge (rhw 0.05) is 20 times further.
  const double uTex[3] = {40000, 40040, 40000}, vTex[3] = {40000, 40000, 40040}, rhw[3] = {1.0, 1.0, 0.05};
  FillVertex t[3] = {V(1.3, 47.1), V(63.2, 46.9), V(30.7, 0.4)};
  double uw[3], vw[3];
  for (int i = 0; i < 3; ++i) {
    t[i].rhw = float(rhw[i]);
    t[i].u = float(uTex[i] * rhw[i]);
    t[i].v = float(vTex[i] * rhw[i]);
    uw[i] = t[i].u;
    vw[i] = t[i].v;
  }
  // The triangle is counter-clockwise as given; the reversed pass draws it.
  std::swap(t[1], t[2]), std::swap(uw[1], uw[2]), std::swap(vw[1], vw[2]);
  TexelFrame f;
  f.filler.DrawTriangle(t[0], t[1], t[2], false);
  int joints = 0, inner = 0, affineOff = 0;
  for (int y = 0; y < kH; ++y) {
    int first = -1, last = -1;
    for (int x = 0; x < kW; ++x)
      if (Covers(t[0], t[1], t[2], x, y)) last = x, first = first < 0 ? x : first;
    for (int x = first; first >= 0 && x <= last; ++x) {
      const uint16_t p = f.At(x, y);
      ASSERT_EQ(0x1000, p & 0xFF00) << "pixel not written at " << x << "," << y;
      double u, v;
      Reference(t, uw, vw, x, y, &u, &v);
      const int du = (((p & 15) - Wrap(u)) % 16 + 24) % 16 - 8;
      const int dv = ((((p >> 4) & 15) - Wrap(v)) % 16 + 24) % 16 - 8;  // wrapped difference, -8..7
      const bool nearBoundary = std::abs(u - std::round(u)) < 1e-3 || std::abs(v - std::round(v)) < 1e-3;
      if ((x - first) % SpanFillers::kRun == 0 || x == last) {
        ++joints;
        if (!nearBoundary)
          ASSERT_TRUE(du == 0 && dv == 0) << "joint " << x << "," << y << " u " << u << " v " << v << " got " << (p & 15)
                                          << "," << ((p >> 4) & 15) << " span " << first << ".." << last;
      } else {
        ++inner;
        ASSERT_LE(std::abs(du), 1) << x << "," << y;
        ASSERT_LE(std::abs(dv), 1) << x << "," << y;
      }
      // How far plain screen-space interpolation would be off: the test must be able to tell.
      double bu, bv;
      FillVertex flat[3] = {t[0], t[1], t[2]};
      double fu[3] = {uw[0] / rhw[0], uw[1] / rhw[2], uw[2] / rhw[1]}, fv[3] = {vw[0] / rhw[0], vw[1] / rhw[2], vw[2] / rhw[1]};
      for (FillVertex& q : flat) q.rhw = 1.0f;
      Reference(flat, fu, fv, x, y, &bu, &bv);
      affineOff += std::abs(bu - u) > 2 || std::abs(bv - v) > 2;
    }
  }
  EXPECT_GT(joints, 200);
  EXPECT_GT(inner, 700);
  EXPECT_GT(affineOff, 300) << "the slant must make perspective matter";
}

TEST(SpanFillers, RunsOfNinePixelsAndOnePixelAndKeyedAndClampedTexels) {
  TexelFrame f;
  FillState& s = f.filler.GetState();
  // u = x + 0.5 at every pixel centre (no perspective): texel x, for spans of every length.
  s.rhw = ScreenPlane{1.0, 0.0, 0.0};
  s.u = ScreenPlane{0.5, 1.0, 0.0};
  s.v = ScreenPlane{2.5, 0.0, 0.0};
  for (int length : {1, 2, 7, 8, 9, 16, 17}) {
    std::vector<uint16_t> row(40, 0);
    SpanFillers::Textured(s, row.data(), 0, 3, 3 + length);
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(x >= 3 && x < 3 + length ? 0x1000 + 32 + (x & 15) : 0, row[x]) << "length " << length << " x " << x;
  }
  // With perspective (rhw falling from 1 at pixel 0 to 0.67 at pixel 11), every pixel of a
  // 12-pixel span's last run, 8 to 11, takes its exact texel: the run ends on the last pixel.
  s.rhw = ScreenPlane{1.0, -0.03, 0.0};
  s.u = ScreenPlane{1.25, 2.0, 0.0};
  s.v = ScreenPlane{2.5, -0.075, 0.0};  // v = 2.5 throughout
  std::vector<uint16_t> slanted(14, 0);
  SpanFillers::Textured(s, slanted.data(), 0, 0, 12);
  const std::vector<uint16_t> lastRun(slanted.begin() + 8, slanted.end());
  EXPECT_EQ(lastRun,
            (std::vector<uint16_t>{0x1000 + 32 + 6, 0x1000 + 32 + 10, 0x1000 + 32 + 14, 0x1000 + 32 + 2, 0, 0}))
      << "u at pixels 8 to 11: 22.7, 26.37, 30.36, 34.7";
  EXPECT_EQ(slanted[0], 0x1000 + 32 + 1);
  s.rhw = ScreenPlane{1.0, 0.0, 0.0};
  s.u = ScreenPlane{0.5, 1.0, 0.0};
  // Keyed: index 0 (texel 0, 0) leaves the pixel alone.
  s.v = ScreenPlane{0.5, 0.0, 0.0};
  std::vector<uint16_t> row(20, 7);
  SpanFillers::KeyedTextured(s, row.data(), 0, 0, 18);
  EXPECT_EQ(7, row[0]);
  EXPECT_EQ(7, row[16]) << "u = 16.5 wraps to texel 0";
  EXPECT_EQ(0x1000 + 1, row[1]);
  // Clamped: u runs from -3.5 to 20.5; texels hold to 0 and 15. Level 31 from intensity 31.5.
  s.u = ScreenPlane{-3.5, 1.0, 0.0};
  s.intensity = ScreenPlane{31.5, 0.0, 0.0};
  SpanFillers::ClampedShaded(s, row.data(), 0, 0, 20);
  for (int x = 0; x < 20; ++x) ASSERT_EQ(0x1000 + std::clamp(x - 4, 0, 15), row[x]) << x;
  // Shaded: the level picks the table; levels above 31 and below 0 are held.
  uint16_t levels[32 * 256];
  for (int i = 0; i < 32 * 256; ++i) levels[i] = static_cast<uint16_t>(i / 256);
  s.lightTables = levels;
  s.u = ScreenPlane{0.5, 0.0, 0.0};
  s.intensity = ScreenPlane{-4.0, 2.0, 0.0};  // level x * 2 - 4 at pixel x
  SpanFillers::Shaded(s, row.data(), 0, 0, 20);
  for (int x = 0; x < 20; ++x) ASSERT_EQ(std::clamp(2 * x - 4, 0, 31), row[x]) << x;
}
