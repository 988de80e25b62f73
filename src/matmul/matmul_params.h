// Validity of a MatMulParams record, checked before any BLAS call.
#ifndef ZELVAN_MATMUL_MATMUL_PARAMS_H_
#define ZELVAN_MATMUL_MATMUL_PARAMS_H_

#include <algorithm>
#include <limits>

#include "matmul/cblas.h"
#include "zelvan/zelvan.h"

namespace zelvan {

namespace detail {

// ld must cover the contiguous extent of op(X) (rows x cols) as stored, and
// be at least 1. An unknown order or transposition fails the bound.
inline bool LeadingDimensionOk(int order, int trans, int rows, int cols, int ld) {
  if ((order != kRowMajor && order != kColMajor) || (trans != kNoTrans && trans != kTrans)) {
    return false;
  }
  // Column-major stores columns contiguously: the extent is the row count
  // of the matrix as stored; row-major, its column count.
  const bool storedTransposed = trans == kTrans;
  const int storedRows = storedTransposed ? cols : rows;
  const int storedCols = storedTransposed ? rows : cols;
  const int extent = order == kColMajor ? storedRows : storedCols;
  return ld >= std::max(1, extent);
}

template <typename T>
bool FiniteScale(T v) {
  // False for NaN, as the comparison is.
  return (v < 0 ? -v : v) <= std::numeric_limits<T>::max();
}

}  // namespace detail

template <typename T>
bool CheckMatMulParams(const MatMulParams<T>& p) {
  if (p.m <= 0 || p.n <= 0 || p.k <= 0) {
    return false;
  }
  return detail::LeadingDimensionOk(p.order, p.transA, p.m, p.k, p.lda) &&
         detail::LeadingDimensionOk(p.order, p.transB, p.k, p.n, p.ldb) &&
         detail::LeadingDimensionOk(p.order, kNoTrans, p.m, p.n, p.ldc) && detail::FiniteScale(p.alpha) &&
         detail::FiniteScale(p.beta);
}

}  // namespace zelvan

#endif  // ZELVAN_MATMUL_MATMUL_PARAMS_H_
