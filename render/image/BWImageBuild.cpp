// CBWImage::CopyFrom: palette reduction of a true-colour picture and coding of its rows.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "platform/system/Platform.h"
#include "render/image/BWImage.h"
#include "render/image/BitmapImage.h"

namespace {

constexpr int kMapStartDistance = 24576;

// Channel distance: the square of the difference (0 at 0, growing both ways).
int ChannelCost(int difference) { return difference * difference; }

struct Format {
  bool is565;
  uint16_t Reduce(uint8_t r, uint8_t g, uint8_t b) const {
    return is565 ? static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
                 : static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
  }
  int Distance(uint16_t a, uint16_t b) const {
    if (is565)
      return ChannelCost((a >> 11) - (b >> 11)) + ChannelCost((a >> 5 & 63) - (b >> 5 & 63)) + ChannelCost((a & 31) - (b & 31));
    return ChannelCost((a >> 10 & 31) - (b >> 10 & 31)) + ChannelCost((a >> 5 & 31) - (b >> 5 & 31)) +
           ChannelCost((a & 31) - (b & 31));
  }
};

struct Entry {
  uint16_t colour;
  uint64_t count;
  int nearest = -1;  // index into the list
  uint64_t cost = 0;
  bool alive = true;
};

void FindNearest(std::vector<Entry>& list, int i, const Format& f) {
  int best = -1, bestDistance = 0;
  for (int j = 0; j < static_cast<int>(list.size()); ++j) {
    if (j == i || !list[j].alive) continue;
    const int d = f.Distance(list[i].colour, list[j].colour);
    if (best < 0 || d < bestDistance) {
      best = j;
      bestDistance = d;
    }
  }
  list[i].nearest = best;
  list[i].cost = best < 0 ? 0 : list[i].count * static_cast<uint64_t>(bestDistance);
}

// The distinct colours, most frequent first, merged down to at most limit.
std::vector<uint16_t> ReducePalette(const std::vector<uint32_t>& histogram, size_t limit, const Format& f) {
  std::vector<Entry> list;
  for (uint32_t c = 0; c < histogram.size(); ++c)
    if (histogram[c]) list.push_back(Entry{static_cast<uint16_t>(c), histogram[c]});
  std::stable_sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) { return a.count > b.count; });
  size_t alive = list.size();
  if (alive > limit) {
    for (int i = 0; i < static_cast<int>(list.size()); ++i) FindNearest(list, i, f);
    while (alive > limit) {
      // The cheapest merge: the last of the colours ordered by cost, highest first.
      int cheapest = -1;
      for (int i = 0; i < static_cast<int>(list.size()); ++i)
        if (list[i].alive && (cheapest < 0 || list[i].cost <= list[cheapest].cost)) cheapest = i;
      const int into = list[cheapest].nearest;
      list[into].count += list[cheapest].count;
      list[cheapest].alive = false;
      --alive;
      for (int i = 0; i < static_cast<int>(list.size()); ++i) {
        if (!list[i].alive) continue;
        if (list[i].nearest == cheapest) {
          FindNearest(list, i, f);
        } else if (i == into) {
          list[i].cost = list[i].nearest < 0 ? 0
                                             : list[i].count * static_cast<uint64_t>(f.Distance(list[i].colour, list[list[i].nearest].colour));
        }
      }
    }
    std::stable_sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) {
      if (a.alive != b.alive) return a.alive;
      return a.cost > b.cost;
    });
  }
  std::vector<uint16_t> palette;
  for (const Entry& e : list)
    if (e.alive) palette.push_back(e.colour);
  return palette;
}

// Pixel kinds of the row coder.
enum class Kind : uint8_t { kSkip, kOpaque, kShadow, kBlend };
struct Cell {
  Kind kind;
  uint8_t index;
  uint8_t level;
};

void PutCount(std::vector<uint8_t>& out, uint8_t command, int n) {
  out.push_back(command);
  out.push_back(static_cast<uint8_t>(n));
  out.push_back(static_cast<uint8_t>(n >> 8));
}

bool StartsFill(const Cell* row, int i, int width) {
  if (width - i <= 4) return false;
  for (int k = 1; k < 4; ++k)
    if (row[i + k].kind != Kind::kOpaque || row[i + k].index != row[i].index) return false;
  return true;
}
bool StartsShadeFill(const Cell* row, int i, int width) {
  if (i + 4 > width) return false;
  for (int k = 1; k < 4; ++k)
    if (row[i + k].kind != Kind::kShadow || row[i + k].level != row[i].level) return false;
  return true;
}

void CodeRow(const Cell* row, int width, std::vector<uint8_t>& out) {
  size_t lastSkip = SIZE_MAX;
  for (int i = 0; i < width;) {
    const Cell& c = row[i];
    int n = 1;
    switch (c.kind) {
      case Kind::kSkip:
        while (i + n < width && n < 65535 && row[i + n].kind == Kind::kSkip) ++n;
        lastSkip = out.size();
        PutCount(out, CBWImage::kSkip, n);
        break;
      case Kind::kOpaque:
        if (StartsFill(row, i, width)) {
          while (i + n < width && n < 63 && row[i + n].kind == Kind::kOpaque && row[i + n].index == c.index) ++n;
          out.push_back(static_cast<uint8_t>(CBWImage::kShortFill | n));
          out.push_back(c.index);
        } else {
          while (i + n < width && n < 63 && row[i + n].kind == Kind::kOpaque && !StartsFill(row, i + n, width)) ++n;
          out.push_back(static_cast<uint8_t>(CBWImage::kShortLiteral | n));
          for (int k = 0; k < n; ++k) out.push_back(row[i + k].index);
        }
        break;
      case Kind::kShadow:
        if (StartsShadeFill(row, i, width)) {
          while (i + n < width && n < 65535 && row[i + n].kind == Kind::kShadow && row[i + n].level == c.level) ++n;
          PutCount(out, CBWImage::kShadeFill, n);
          out.push_back(c.level);
        } else {
          while (i + n < width && n < 65535 && row[i + n].kind == Kind::kShadow && !StartsShadeFill(row, i + n, width)) ++n;
          PutCount(out, CBWImage::kShades, n);
          for (int k = 0; k < n; ++k) out.push_back(row[i + k].level);
        }
        break;
      case Kind::kBlend:
        while (i + n < width && n < 65535 && row[i + n].kind == Kind::kBlend) ++n;
        PutCount(out, CBWImage::kBlend, n);
        for (int k = 0; k < n; ++k) {
          out.push_back(row[i + k].index);
          out.push_back(row[i + k].level);
        }
        break;
    }
    i += n;
    if (i >= width && c.kind == Kind::kSkip) out.resize(lastSkip);  // a row never ends in a skip
  }
  out.push_back(CBWImage::kEnd);
}

uint8_t RoundUp(uint8_t c) { return static_cast<uint8_t>(std::min(255, c + (c & 4))); }

}  // namespace

int CBWImage::CopyFromFlagged(CImage& source, const ImageRect* src, const ImageRect* dst) {
  flags |= kOrderedRounding;
  return CopyFrom(source, src, dst);
}

int CBWImage::CopyFrom(CImage& sourceImage, const ImageRect*, const ImageRect*) {
  auto* source = dynamic_cast<CBitmapImage*>(&sourceImage);
  if (!source || source->depth != 24 || !(source->flags & kValid)) return 0;
  // The palette reduction is quadratic in the colours; the rest of the machine goes first meanwhile.
  plat::RunAtIdlePriority([this, source] { Encode(source); });
  return 1;
}

void CBWImage::Encode(const CBitmapImage* source) {
  const int w = source->width, h = source->height;
  const Format format{depth == 16};
  const uint8_t* alpha = source->GetAlphaPlane();
  const bool keyed = source->IsKeyEnabled();
  const uint32_t key = source->GetKeyColour() & 0xFFFFFF;
  const bool rounding = (flags & kOrderedRounding) != 0;

  // Reduced colour and transparency level of every pixel.
  std::vector<uint16_t> reduced(static_cast<size_t>(w) * h);
  std::vector<uint8_t> levels(reduced.size(), 31);
  std::vector<bool> black(reduced.size(), false);
  std::vector<uint32_t> histogram(65536, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      const uint8_t* p = source->pixels + static_cast<size_t>(y) * source->pitch + 3 * x;
      uint8_t b = p[0], g = p[1], r = p[2];
      black[i] = (r | g | b) == 0;
      if (alpha) levels[i] = alpha[i] >> 3;
      if (keyed && (static_cast<uint32_t>(r) << 16 | g << 8 | b) == key) levels[i] = 0;
      if (rounding && ((x + y) & 1)) {
        r = RoundUp(r);
        g = RoundUp(g);
        b = RoundUp(b);
      }
      reduced[i] = format.Reduce(r, g, b);
      if (levels[i] != 0) ++histogram[reduced[i]];
    }

  // The palette by mode.
  const bool useShared = (flags & kUseSharedPalette) != 0, buildShared = (flags & kBuildSharedPalette) != 0;
  const BWSharedPalette fallback;
  const BWSharedPalette& shared = m_shared ? *m_shared : fallback;
  size_t limit = 255;
  if (m_tag != -1) limit = static_cast<size_t>(std::clamp(m_tag, 1, 256));
  else if (useShared) limit = 240;
  else if (buildShared) limit = 15;
  std::vector<uint16_t> palette = ReducePalette(histogram, limit, format);
  int firstChoice = 0, lastChoice = static_cast<int>(palette.size()) - 1;
  if (m_tag == -1 && (useShared || buildShared)) {
    std::vector<uint16_t> full(256, buildShared ? 0x7FE0 : 0);
    if (useShared) {
      std::copy(shared.entries.begin(), shared.entries.end(), full.begin());
      std::copy(palette.begin(), palette.end(), full.begin() + 16);
    } else {
      full[0] = 0;
      std::copy(palette.begin(), palette.end(), full.begin() + 1);
      if (m_shared) std::copy(full.begin(), full.begin() + 16, m_shared->entries.begin());
    }
    palette = full;
    firstChoice = 1;
    lastChoice = 254;
  }
  if (palette.empty()) palette.push_back(0);

  // Indices: the equal entry, else the nearest.
  std::vector<int16_t> lookup(65536, -1);
  std::vector<uint8_t> indices(reduced.size(), 0);
  for (size_t i = 0; i < reduced.size(); ++i) {
    if (levels[i] == 0) continue;
    int16_t& cached = lookup[reduced[i]];
    if (cached < 0) {
      int best = firstChoice, bestDistance = kMapStartDistance;
      for (int k = firstChoice; k <= lastChoice && k < static_cast<int>(palette.size()); ++k) {
        const int d = format.Distance(reduced[i], palette[k]);
        if (d < bestDistance) {
          best = k;
          bestDistance = d;
          if (d == 0) break;
        }
      }
      cached = static_cast<int16_t>(best);
    }
    indices[i] = static_cast<uint8_t>(cached);
  }

  // Raw rows unless transparency or long fills make row coding worth it.
  size_t fours = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x + 3 < w; ++x) {
      const uint8_t* p = &indices[static_cast<size_t>(y) * w + x];
      if (p[0] == p[1] && p[1] == p[2] && p[2] == p[3]) ++fours;
    }
  const bool raw = !alpha && !keyed && (rounding || w < 16 || fours <= reduced.size() / 4);
  std::vector<uint8_t> area;
  std::vector<uint32_t> rowStarts;
  if (raw) {
    area = indices;
  } else {
    std::vector<Cell> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        const uint8_t level = levels[i];
        Kind kind = Kind::kBlend;
        if (level == 0) kind = Kind::kSkip;
        else if (level == 31) kind = Kind::kOpaque;
        else if (black[i]) kind = Kind::kShadow;
        row[x] = Cell{kind, indices[i], level};
      }
      rowStarts.push_back(static_cast<uint32_t>(area.size()));
      CodeRow(row.data(), w, area);
    }
  }
  Assign(w, h, format.is565 ? 16 : 15, palette, !raw, area, rowStarts);
}
