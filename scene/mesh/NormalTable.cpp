// NormalTable: lookup, nearest-entry encoding and random draw over the frozen table.
#include "scene/mesh/NormalTable.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "platform/system/Platform.h"

namespace {

// Frozen data: changing any entry would change the meaning of every stored mesh normal.
const float kEntries[NormalTable::kCount][3] = {
#include "scene/mesh/NormalTableData.inc"
};

// Encoding looks among the entries of the grid cells around a direction instead of all of them.
// The entries lie on the unit sphere, about 0.035 apart, so with cells 0.0625 wide the 3 x 3 x 3
// cells around a unit direction hold its nearest entry and a few dozen others.
constexpr int kGridSide = 32;
constexpr double kGridLow = -1.0001;  // every entry lies within 1e-6 of the unit sphere
constexpr double kCellSize = -2.0 * kGridLow / kGridSide;
// Outside these lengths the lookup is not worth its bounds: the scan answers.
constexpr double kShortest = 1.0e-6;
constexpr double kLongest = 1.0e6;
// The float distance of either search is within 5 roundings of the real one (all its terms are
// positive); the margin is well above that, and the absolute term covers squares that underflow.
constexpr double kRoundingMargin = 1.0e-5;
constexpr double kUnderflowMargin = 1.0e-30;

// The one expression both searches compare, so that they round alike and agree on ties.
float SquaredDistance(uint32_t i, const Vector3& d) {
  const float dx = kEntries[i][0] - d.x;
  const float dy = kEntries[i][1] - d.y;
  const float dz = kEntries[i][2] - d.z;
  return dx * dx + dy * dy + dz * dz;
}

double ExactSquaredDistance(uint32_t i, const double d[3]) {
  double sum = 0.0;
  for (int a = 0; a < 3; ++a) sum += (kEntries[i][a] - d[a]) * (kEntries[i][a] - d[a]);
  return sum;
}

int CellOf(double v) { return std::clamp(static_cast<int>(std::floor((v - kGridLow) / kCellSize)), 0, kGridSide - 1); }

int CellIndex(int x, int y, int z) { return (z * kGridSide + y) * kGridSide + x; }

// The entries by grid cell, each cell's in rising index order.
struct EntryGrid {
  static constexpr int kCells = kGridSide * kGridSide * kGridSide;
  std::array<uint16_t, kCells + 1> first{};  // cell c holds order[first[c]] .. order[first[c + 1] - 1]
  std::array<uint16_t, NormalTable::kCount> order{};
  double lengthSlack = 0.0;  // the largest | |entry|^2 - 1 |

  EntryGrid() {
    std::array<int, NormalTable::kCount> cellOf{};
    for (uint32_t i = 0; i < NormalTable::kCount; ++i) {
      cellOf[i] = CellIndex(CellOf(kEntries[i][0]), CellOf(kEntries[i][1]), CellOf(kEntries[i][2]));
      ++first[static_cast<size_t>(cellOf[i]) + 1];
      const double e[3] = {0.0, 0.0, 0.0};
      lengthSlack = std::max(lengthSlack, std::fabs(ExactSquaredDistance(i, e) - 1.0));
    }
    for (int c = 0; c < kCells; ++c) first[c + 1] = static_cast<uint16_t>(first[c + 1] + first[c]);
    std::array<uint16_t, kCells> filled{};
    for (uint32_t i = 0; i < NormalTable::kCount; ++i) {
      const size_t c = static_cast<size_t>(cellOf[i]);
      order[first[c] + filled[c]++] = static_cast<uint16_t>(i);
    }
  }
};

const EntryGrid& Grid() {
  static const EntryGrid grid;
  return grid;
}

}  // namespace

Vector3 NormalTable::Decode(uint16_t index) {
  if (index >= kCount) return Vector3();
  return Vector3(kEntries[index][0], kEntries[index][1], kEntries[index][2]);
}

uint16_t NormalTable::EncodeByScan(const Vector3& direction) {
  uint16_t best = 0;
  float bestDistance = 0.0f;
  for (uint32_t i = 0; i < kCount; ++i) {
    const float d = SquaredDistance(i, direction);
    if (i == 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<uint16_t>(i);
    }
  }
  return best;
}

uint16_t NormalTable::Encode(const Vector3& direction) {
  const double d[3] = {direction.x, direction.y, direction.z};
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length >= kShortest && length <= kLongest)) return EncodeByScan(direction);  // NaN too
  const EntryGrid& grid = Grid();
  // The block of cells around the direction's point on the unit sphere, and how far that point
  // lies inside the block (a side at the grid's edge has no entries beyond it).
  double q[3], reach = std::numeric_limits<double>::infinity();
  int low[3], high[3];
  for (int a = 0; a < 3; ++a) {
    q[a] = d[a] / length;
    const int cell = CellOf(q[a]);
    low[a] = std::max(cell - 1, 0);
    high[a] = std::min(cell + 1, kGridSide - 1);
    if (low[a] > 0) reach = std::min(reach, q[a] - (kGridLow + low[a] * kCellSize));
    if (high[a] < kGridSide - 1) reach = std::min(reach, kGridLow + (high[a] + 1) * kCellSize - q[a]);
  }
  uint32_t best = kCount;
  float bestDistance = 0.0f;
  for (int z = low[2]; z <= high[2]; ++z)
    for (int y = low[1]; y <= high[1]; ++y)
      for (int x = low[0]; x <= high[0]; ++x) {
        const int c = CellIndex(x, y, z);
        for (uint32_t k = grid.first[c]; k < grid.first[c + 1]; ++k) {
          const uint32_t i = grid.order[k];
          const float f = SquaredDistance(i, direction);
          if (best == kCount || f < bestDistance || (f == bestDistance && i < best)) {
            bestDistance = f;
            best = i;
          }
        }
      }
  if (best == kCount) return EncodeByScan(direction);
  // Whatever wins the scan is, in real numbers, no farther from d than the entry found here
  // (within the rounding margin). For an entry e near the unit sphere, |e - q|^2 =
  // (|e - d|^2 - (length - 1)^2) / length + (|e|^2 - 1)(1 - 1 / length), so every such entry lies
  // within this distance of q, and the block holds them all when that is less than its reach.
  const double limit = ExactSquaredDistance(best, d) * (1.0 + kRoundingMargin) + kUnderflowMargin;
  const double spread = (limit - (length - 1.0) * (length - 1.0)) / length +
                        grid.lengthSlack * std::fabs(1.0 - 1.0 / length) + kRoundingMargin * kCellSize;
  if (spread < reach * reach) return static_cast<uint16_t>(best);
  return EncodeByScan(direction);
}

Vector3 NormalTable::Random() { return Decode(static_cast<uint16_t>(plat::rand() % kCount)); }
