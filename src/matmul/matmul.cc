// Matmul: validation, then the host's CBLAS; column-major float is split
// into tiles that one OpenMP region multiplies in parallel.
#include <algorithm>
#include <type_traits>

#include "common/log.h"
#include "common/prefetch.h"
#include "common/thread_pool.h"
#include "matmul/cblas.h"
#include "matmul/matmul_params.h"
#include "matmul/tiles.h"
#include "zelvan/zelvan.h"

namespace zelvan {
namespace {

constexpr char kMatmulMessage[] = "Parameter verification failed for the Matmul Op.";
constexpr long kMinTile = 32;

void Gemm(const MatMulParams<float>& p, const float* a, const float* b, float* c, int m, int n) {
  cblas_sgemm(p.order, p.transA, p.transB, m, n, p.k, p.alpha, a, p.lda, b, p.ldb, p.beta, c, p.ldc);
}
void Gemm(const MatMulParams<double>& p, const double* a, const double* b, double* c, int m, int n) {
  cblas_dgemm(p.order, p.transA, p.transB, m, n, p.k, p.alpha, a, p.lda, b, p.ldb, p.beta, c, p.ldc);
}

int TiledColumnMajor(const float* a, const float* b, float* c, const MatMulParams<float>& p) {
  ThreadPool* pool = ThreadPool::GetInstance();
  if (pool == nullptr) {
    return LogError(STATUS_ERROR, "Failed to create ThreadPool singleton instance.");
  }
  const std::vector<Tile> tiles = BuildTiles(p.m, p.n, pool->GetThreadNum());
  const long count = static_cast<long>(tiles.size());
  const int threads = pool->GetThreadNum();

#pragma omp parallel num_threads(threads) default(none) shared(a, b, c, p, tiles, count)
  {
#pragma omp for schedule(runtime) nowait
    for (long index = 0; index < count; ++index) {
      const Tile& tile = tiles[static_cast<size_t>(index)];
      const long r = tile[0];
      const long col = tile[1];
      const float* aOrigin = a + (p.transA == kNoTrans ? r : r * p.lda);
      const float* bOrigin = b + (p.transB == kNoTrans ? col * p.ldb : col);
      float* cOrigin = c + r + col * p.ldc;
      // The first panels of each operand are streamed in while the BLAS
      // sets up; they are not worth keeping past the tile.
      PrefetchReadStream(aOrigin);
      PrefetchReadStream(bOrigin);
      PrefetchWriteStream(cOrigin);
      Gemm(p, aOrigin, bOrigin, cOrigin, tile[2], tile[3]);
    }
  }
  return STATUS_SUCCESS;
}

}  // namespace

std::vector<Tile> BuildTiles(int m, int n, int t) {
  const long threads = std::max(1, t);
  const long tileRows = std::max(kMinTile, (threads + m - 1) / threads);
  const long tileCols = std::max(kMinTile, (threads + n - 1) / threads);
  std::vector<Tile> tiles;
  for (long r = 0; r < m; r += tileRows) {
    for (long c = 0; c < n; c += tileCols) {
      tiles.push_back({static_cast<int>(r), static_cast<int>(c), static_cast<int>(std::min(tileRows, m - r)),
                       static_cast<int>(std::min(tileCols, n - c))});
    }
  }
  return tiles;
}

template <typename T>
int Matmul(T* a, T* b, T* c, MatMulParams<T>& params) {
  if (a == nullptr || b == nullptr || c == nullptr) {
    return LogError(STATUS_NULL_POINTER, kMatmulMessage);
  }
  if (!CheckMatMulParams(params)) {
    return LogError(STATUS_INVALID_PARAM, kMatmulMessage);
  }
  if constexpr (std::is_same_v<T, float>) {
    if (params.order == kColMajor) {
      return TiledColumnMajor(a, b, c, params);
    }
  }
  Gemm(params, a, b, c, params.m, params.n);
  return STATUS_SUCCESS;
}

template int Matmul<float>(float*, float*, float*, MatMulParams<float>&);
template int Matmul<double>(double*, double*, double*, MatMulParams<double>&);

}  // namespace zelvan
