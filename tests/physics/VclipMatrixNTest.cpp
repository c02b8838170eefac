// Tests of the general matrix: elementary operations, Gauss-Jordan and the solver checked
// against Eigen's rank and residuals on random systems.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>

#include "physics/polymath/VclipMatrixN.h"
#include "tests/physics/PhysicsTestUtil.h"

using physics_test::CerrCapture;
using physics_test::Uniform;

namespace {

Eigen::MatrixXf ToEigen(const VclipMatrixN& m) {
  Eigen::MatrixXf e(m.Rows(), m.Cols());
  for (uint32_t i = 0; i < m.Rows(); ++i)
    for (uint32_t j = 0; j < m.Cols(); ++j) e(i, j) = m.Get(i, j);
  return e;
}

// A rows x cols matrix of the given rank whose Gauss-Jordan elimination stays exact in
// floats: L U with L unit lower triangular and U in echelon form with unit pivots, both
// with small integer entries, so every multiplier is an integer and every pivot 1.
VclipMatrixN ExactOfRank(uint32_t rows, uint32_t cols, uint32_t rank) {
  Eigen::MatrixXf left = Eigen::MatrixXf::Zero(rows, rank), right = Eigen::MatrixXf::Zero(rank, cols);
  for (uint32_t i = 0; i < rows; ++i)
    for (uint32_t k = 0; k < rank && k <= i; ++k) left(i, k) = (k == i) ? 1.0f : std::round(Uniform(-2, 2));
  uint32_t pivotColumn = 0;
  for (uint32_t k = 0; k < rank; ++k) {
    // Leave room for the remaining pivots; sometimes skip a column.
    if (cols - pivotColumn > rank - k && plat::rand() % 3 == 0) ++pivotColumn;
    right(k, pivotColumn) = 1.0f;
    for (uint32_t j = pivotColumn + 1; j < cols; ++j) right(k, j) = std::round(Uniform(-2, 2));
    ++pivotColumn;
  }
  const Eigen::MatrixXf product = left * right;
  VclipMatrixN m(rows, cols);
  for (uint32_t i = 0; i < rows; ++i)
    for (uint32_t j = 0; j < cols; ++j) m.Set(i, j, product(i, j));
  return m;
}

// A random matrix with entries of magnitude 0.05 to 4 (clear of the 0.01 rule).
VclipMatrixN RandomDense(uint32_t rows, uint32_t cols) {
  VclipMatrixN m(rows, cols);
  for (uint32_t i = 0; i < rows; ++i)
    for (uint32_t j = 0; j < cols; ++j) m.Set(i, j, Uniform(0.05f, 4) * (plat::rand() % 2 ? 1 : -1));
  return m;
}

// Checks Solve(A, A x) against Eigen: the column count follows Eigen's rank, column 0
// solves the system and the other columns are independent null-space directions.
void CheckSolve(const VclipMatrixN& a) {
  const uint32_t rows = a.Rows(), cols = a.Cols();
  const Eigen::MatrixXf ea = ToEigen(a);
  Eigen::VectorXf xTrue(cols);
  for (uint32_t j = 0; j < cols; ++j) xTrue(j) = std::round(Uniform(-3, 3));
  const Eigen::VectorXf eb = ea * xTrue;
  VclipMatrixN b(rows, 1);
  for (uint32_t i = 0; i < rows; ++i) b.Set(i, 0, eb(i));
  if ((ToEigen(b) - eb).cwiseAbs().maxCoeff() != 0.0f) return;  // a value fell under the 0.01 rule

  const VclipMatrixN x = a.Solve(b);
  const int eigenRank = static_cast<int>(Eigen::FullPivLU<Eigen::MatrixXf>(ea).rank());
  ASSERT_EQ(x.Rows(), cols);
  ASSERT_EQ(static_cast<int>(x.Cols()), static_cast<int>(cols) - eigenRank + 1) << "rank " << eigenRank << "\n" << ea;
  const Eigen::MatrixXf ex = ToEigen(x);
  const float scale = 1.0f + ea.cwiseAbs().maxCoeff() * (1.0f + ex.cwiseAbs().maxCoeff());
  EXPECT_LT((ea * ex.col(0) - eb).cwiseAbs().maxCoeff(), 1e-4f * scale);
  if (ex.cols() > 1) {
    const Eigen::MatrixXf nullSpace = ex.rightCols(ex.cols() - 1);
    EXPECT_LT((ea * nullSpace).cwiseAbs().maxCoeff(), 1e-4f * scale);
    EXPECT_EQ(Eigen::FullPivLU<Eigen::MatrixXf>(nullSpace).rank(), nullSpace.cols());
  }
}

}  // namespace

TEST(VclipMatrixN, ConstructionAccessAndTheSmallValueRule) {
  const float values[6] = {1, 2, 3, 0.001f, 5, 6};
  VclipMatrixN m(2, 3, values);
  EXPECT_EQ(m.Get(1, 0), 0.001f);  // the copy constructor keeps values as given

  m.Set(0, 0, 0.0099f);
  m.Set(0, 1, -0.0099f);
  m.Set(0, 2, 0.01f);
  EXPECT_EQ(m.Get(0, 0), 0.0f);
  EXPECT_EQ(m.Get(0, 2), 0.01f);

  VclipMatrixN clone = m.Clone();
  clone.Set(1, 1, 42);
  EXPECT_EQ(m.Get(1, 1), 5.0f);  // a clone owns its own values

  VclipMatrixN big(3, 4);
  const float blockValues[4] = {7, 0.005f, 8, 9};
  ASSERT_TRUE(big.SetBlock(VclipMatrixN(2, 2, blockValues), 1, 2));
  EXPECT_EQ(big.Get(1, 2), 7.0f);
  EXPECT_EQ(big.Get(1, 3), 0.0f);  // below 0.01
  EXPECT_EQ(big.Get(2, 3), 9.0f);
}

TEST(VclipMatrixN, OutOfRangeAccessIsReportedNotPerformed) {
  CerrCapture err;
  VclipMatrixN m(2, 2);
  m.Set(2, 0, 5.0f);
  m.Set(0, 2, 5.0f);
  EXPECT_EQ(m.Get(5, 5), 0.0f);
  EXPECT_FALSE(m.SetBlock(VclipMatrixN(2, 2), 1, 0));
  m.SwapRows(0, 3);
  m.AddScaledRow(3, 0, 1.0f);
  m.ScaleRow(9, 2.0f);
  EXPECT_EQ(ToEigen(m), Eigen::MatrixXf::Zero(2, 2));
  EXPECT_NE(err.Text().find("VclipMatrixN: "), std::string::npos);

  const VclipMatrixN wrongHeight = m.Solve(VclipMatrixN(3, 1));
  EXPECT_EQ(wrongHeight.Rows(), 0u);
  EXPECT_EQ(wrongHeight.Cols(), 0u);
}

TEST(VclipMatrixN, RowOperationFlushesTinyRemaindersToZero) {
  const float almost[4] = {1, 1, 1.00000005f, 1};
  VclipMatrixN n(2, 2, almost);
  n.AddScaledRow(0, 1, -1.0f);
  EXPECT_EQ(n.Get(1, 0), 0.0f);
}

TEST(VclipMatrixN, RowReduceEdgeCases) {
  const float swapNeeded[4] = {0, 2, 1, 1};
  VclipMatrixN m(2, 2, swapNeeded);
  EXPECT_EQ(m.RowReduce(), 2u);
  EXPECT_EQ(ToEigen(m), Eigen::MatrixXf::Identity(2, 2));

  // A zero column is skipped; the pivot moves on to the next column.
  const float skip[6] = {0, 1, 2, 0, 2, 4};
  VclipMatrixN s(2, 3, skip);
  EXPECT_EQ(s.RowReduce(), 1u);
  EXPECT_EQ(s.Get(0, 2), 2.0f);

  VclipMatrixN empty(0, 0);
  EXPECT_EQ(empty.RowReduce(), 0u);
  VclipMatrixN zeros(3, 3);
  EXPECT_EQ(zeros.RowReduce(), 0u);
}

TEST(VclipMatrixN, SolveAgreesWithEigenOnRandomSystems) {
  plat::srand(61);
  for (int n = 0; n < 300; ++n) {
    const uint32_t rows = 1 + plat::rand() % 5, cols = 1 + plat::rand() % 5;
    CheckSolve(RandomDense(rows, cols));
    CheckSolve(ExactOfRank(rows, cols, 1 + plat::rand() % std::min(rows, cols)));
  }
}
