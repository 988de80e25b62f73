// The two CBLAS routines the library calls. They are resolved in the host
// process, which links a CBLAS of its choice; the library links none.
// The enumeration arguments are passed as int, which is how every CBLAS
// receives its C enums on the supported ABIs.
#ifndef ZELVAN_MATMUL_CBLAS_H_
#define ZELVAN_MATMUL_CBLAS_H_

extern "C" {
// NOLINTBEGIN(readability-identifier-naming): the CBLAS names.
void cblas_sgemm(int order, int transA, int transB, int m, int n, int k, float alpha, const float* a, int lda,
                 const float* b, int ldb, float beta, float* c, int ldc);
void cblas_dgemm(int order, int transA, int transB, int m, int n, int k, double alpha, const double* a, int lda,
                 const double* b, int ldb, double beta, double* c, int ldc);
// NOLINTEND(readability-identifier-naming)
}

namespace zelvan {

constexpr int kRowMajor = 101;
constexpr int kColMajor = 102;
constexpr int kNoTrans = 111;
constexpr int kTrans = 112;

}  // namespace zelvan

#endif  // ZELVAN_MATMUL_CBLAS_H_
