// VclipMatrixN: general rows x cols matrix of the polyhedron code, with row reduction and a solver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Stores row order floats it owns. Values written through Set/SetBlock whose magnitude
// is below 0.01 are stored as 0: the inputs of the polyhedron code are world coordinates,
// where such values are rounding noise of rotated frames, and exact zeros let the row
// reduction recognise dependent rows. Callers must therefore not pass systems whose
// meaningful coefficients are that small (scale them up first).
class VclipMatrixN {
 public:
  static constexpr float kSetZeroBelow = 0.01f;
  static constexpr float kRowOpZeroBelow = 1e-7f;

  VclipMatrixN() : rows_(0), cols_(0) {}
  VclipMatrixN(uint32_t rows, uint32_t cols);  // all zero
  // Copies rows x cols row-order values as they are (no small-value rule).
  VclipMatrixN(uint32_t rows, uint32_t cols, const float* values);

  VclipMatrixN Clone() const { return *this; }

  uint32_t Rows() const { return rows_; }
  uint32_t Cols() const { return cols_; }

  // Out-of-range indices are reported and read as 0 / ignored.
  float Get(uint32_t i, uint32_t j) const;
  void Set(uint32_t i, uint32_t j, float value);
  // Copies m with its top-left at (row, col), with the rule of Set. A block that does
  // not fit is reported and nothing is copied.
  bool SetBlock(const VclipMatrixN& m, uint32_t row, uint32_t col);

  void SwapRows(uint32_t i, uint32_t j);
  void ScaleRow(uint32_t i, float s);
  // Row to += s * row from; results below 1e-7 in magnitude become 0.
  void AddScaledRow(uint32_t from, uint32_t to, float s);

  // Gauss-Jordan elimination over columns 0..lastColumn (all when negative), without
  // partial pivoting: pivots are the first non-zero entries. Returns the pivot count.
  // Dependent rows are recognised only when elimination leaves them below 1e-7, so
  // the count is reliable for exact or unit-scale data; callers that must tell
  // near-dependent systems apart test for that themselves.
  uint32_t RowReduce(int lastColumn = -1);

  // For this m x n matrix A and b (m rows, column 0 used): an n x (n - r + 1) matrix
  // whose column 0 is a particular solution of A x = b and whose further columns span
  // the null space of A (r = rank). A b of the wrong height is reported and gives 0 x 0.
  VclipMatrixN Solve(const VclipMatrixN& b) const;

 private:
  bool InRange(uint32_t i, uint32_t j) const { return i < rows_ && j < cols_; }
  float& At(uint32_t i, uint32_t j) { return values_[static_cast<std::size_t>(i) * cols_ + j]; }
  float At(uint32_t i, uint32_t j) const { return values_[static_cast<std::size_t>(i) * cols_ + j]; }

  std::vector<float> values_;
  uint32_t rows_;
  uint32_t cols_;
};
