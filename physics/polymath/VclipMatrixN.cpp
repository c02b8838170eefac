// VclipMatrixN: element access, elementary row operations, Gauss-Jordan and the solver.
#include "physics/polymath/VclipMatrixN.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

void Report(const char* what, uint32_t a, uint32_t b) {
  std::cerr << "VclipMatrixN: " << what << " (" << a << ", " << b << ")" << '\a' << std::endl;
}

}  // namespace

VclipMatrixN::VclipMatrixN(uint32_t rows, uint32_t cols)
    : values_(static_cast<std::size_t>(rows) * cols, 0.0f), rows_(rows), cols_(cols) {}

VclipMatrixN::VclipMatrixN(uint32_t rows, uint32_t cols, const float* values)
    : values_(values, values + static_cast<std::size_t>(rows) * cols), rows_(rows), cols_(cols) {}

float VclipMatrixN::Get(uint32_t i, uint32_t j) const {
  if (!InRange(i, j)) {
    Report("read outside the matrix at", i, j);
    return 0.0f;
  }
  return At(i, j);
}

void VclipMatrixN::Set(uint32_t i, uint32_t j, float value) {
  if (!InRange(i, j)) {
    Report("write outside the matrix at", i, j);
    return;
  }
  At(i, j) = std::fabs(value) < kSetZeroBelow ? 0.0f : value;
}

bool VclipMatrixN::SetBlock(const VclipMatrixN& m, uint32_t row, uint32_t col) {
  if (static_cast<uint64_t>(row) + m.rows_ > rows_ || static_cast<uint64_t>(col) + m.cols_ > cols_) {
    Report("block does not fit at", row, col);
    return false;
  }
  for (uint32_t i = 0; i < m.rows_; ++i)
    for (uint32_t j = 0; j < m.cols_; ++j) Set(row + i, col + j, m.At(i, j));
  return true;
}

void VclipMatrixN::SwapRows(uint32_t i, uint32_t j) {
  if (i >= rows_ || j >= rows_) {
    Report("swap of rows outside the matrix", i, j);
    return;
  }
  for (uint32_t c = 0; c < cols_; ++c) std::swap(At(i, c), At(j, c));
}

void VclipMatrixN::ScaleRow(uint32_t i, float s) {
  if (i >= rows_) {
    Report("scale of a row outside the matrix", i, 0);
    return;
  }
  for (uint32_t c = 0; c < cols_; ++c) At(i, c) *= s;
}

void VclipMatrixN::AddScaledRow(uint32_t from, uint32_t to, float s) {
  if (from >= rows_ || to >= rows_) {
    Report("row operation outside the matrix", from, to);
    return;
  }
  for (uint32_t c = 0; c < cols_; ++c) {
    const float v = At(to, c) + s * At(from, c);
    At(to, c) = std::fabs(v) < kRowOpZeroBelow ? 0.0f : v;
  }
}

uint32_t VclipMatrixN::RowReduce(int lastColumn) {
  if (rows_ == 0 || cols_ == 0) return 0;
  const uint32_t last =
      (lastColumn < 0 || static_cast<uint32_t>(lastColumn) >= cols_) ? cols_ - 1 : static_cast<uint32_t>(lastColumn);
  const uint32_t maxPivots = std::min(rows_, cols_);
  uint32_t r = 0;
  uint32_t c = 0;
  for (; r < maxPivots; ++r, ++c) {
    // Find the next column with a non-zero entry at or below row r.
    for (;; ++c) {
      if (c > last) return r;
      if (At(r, c) != 0.0f) break;
      uint32_t below = r + 1;
      while (below < rows_ && At(below, c) == 0.0f) ++below;
      if (below < rows_) {
        SwapRows(r, below);
        break;
      }
    }
    ScaleRow(r, 1.0f / At(r, c));
    At(r, c) = 1.0f;  // exactly, so that Solve can recognise pivot columns
    for (uint32_t i = 0; i < rows_; ++i) {
      if (i != r && At(i, c) != 0.0f) AddScaledRow(r, i, -At(i, c));
    }
  }
  return r;
}

VclipMatrixN VclipMatrixN::Solve(const VclipMatrixN& b) const {
  if (b.rows_ != rows_ || b.cols_ == 0 || cols_ == 0) {
    Report("right-hand side does not match the matrix, rows", b.rows_, rows_);
    return VclipMatrixN();
  }
  const uint32_t n = cols_;
  VclipMatrixN aug(rows_, n + 1);
  for (uint32_t i = 0; i < rows_; ++i) {
    for (uint32_t j = 0; j < n; ++j) aug.Set(i, j, At(i, j));
    aug.Set(i, n, b.At(i, 0));
  }
  const uint32_t rank = aug.RowReduce(static_cast<int>(n) - 1);

  VclipMatrixN result(n, n - rank + 1);
  std::vector<uint32_t> pivotRowOf(n, UINT32_MAX);
  uint32_t p = 0;
  uint32_t freeColumn = 1;
  for (uint32_t j = 0; j < n; ++j) {
    if (p < rows_ && aug.At(p, j) == 1.0f) {
      result.At(j, 0) = aug.At(p, n);
      pivotRowOf[j] = p++;
      continue;
    }
    // Free variable: its null-space direction sets it to 1 and moves the pivot
    // variables found so far against their entries in this column.
    if (freeColumn >= result.cols_) continue;  // cannot happen for a reduced matrix; guards the write
    result.At(j, freeColumn) = 1.0f;
    for (uint32_t i = 0; i < j; ++i) {
      if (pivotRowOf[i] != UINT32_MAX) result.At(i, freeColumn) = -aug.At(pivotRowOf[i], j);
    }
    ++freeColumn;
  }
  return result;
}
