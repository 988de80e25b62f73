// zelvan: numeric operator kernels for a host ML framework.
//
// Every operator works on flat, caller-owned buffers, runs its validation
// before it touches anything, and reports failure as an int status code plus
// one fixed English message handed to the host's log sink at level 3.
// The library never allocates, frees or keeps a caller buffer.
//
// Threading: element-wise operators, Matmul<double> and row-major
// Matmul<float> run on the calling thread (the BLAS may thread internally).
// Find runs on the library's process-wide worker pool; column-major
// Matmul<float> runs tiles in one OpenMP parallel region. Every operator may
// be called from several host threads at once on disjoint outputs.
#ifndef ZELVAN_ZELVAN_H_
#define ZELVAN_ZELVAN_H_

#if defined(_WIN32)
#define ZELVAN_API
#else
#define ZELVAN_API __attribute__((visibility("default")))
#endif

namespace zelvan {

/// Status codes returned by every operator.
constexpr int STATUS_SUCCESS = 0;        ///< completed, output written
constexpr int STATUS_ERROR = 1;          ///< bad size/length, probe bound hit, or pool creation failed
constexpr int STATUS_NULL_POINTER = 2;   ///< a required pointer (or a table array) is null
constexpr int STATUS_EMPTY_KEY = 3;      ///< Find: a key equals the table's emptyKey
constexpr int STATUS_DELETED_KEY = 4;    ///< Find: a key equals the table's deletedKey
constexpr int STATUS_INVALID_PARAM = 5;  ///< inconsistent parameters (table or MatMulParams)

/// The only level the library emits.
constexpr int LOG_LEVEL_ERROR = 3;

/// Host log sink: called with the level and a NUL-terminated message without
/// prefix or line end. The text is valid only during the call. The sink may be
/// called concurrently from several worker threads (failing ranges of Find),
/// so it must be thread-safe.
using ExternalLogFunc = void (*)(int level, const char* message);

/// Installs the host's log sink. The first non-null sink stays installed for
/// the rest of the process; later calls (any argument) change nothing.
/// Install it before calling operators from several threads.
/// @returns 0 always.
ZELVAN_API int SetExternalLogFunc(ExternalLogFunc logFunc);

// ---------------------------------------------------------------------------
// Comparisons: out[i] = x op y, one byte (0 or 1) per element, for T = int
// and T = long. x is always the left-hand side. The caller guarantees every
// array holds n elements; out must not overlap an operand.
// @returns 0, or 2 with "Parameter verification failed for the Less Op."
//          (resp. "... Greater Op.") when a pointer argument is null (even
//          when n is 0); out is then untouched. The message is allocated
//          only on that path: std::bad_alloc there, or a throwing sink's
//          exception, reaches the caller. The same holds for every operator.
// ---------------------------------------------------------------------------
template <typename T>
ZELVAN_API int Less(T* x, T* y, bool* out, unsigned long n);
template <typename T>
ZELVAN_API int Less(T* x, T y, bool* out, unsigned long n);
template <typename T>
ZELVAN_API int Less(T x, T* y, bool* out, unsigned long n);
template <typename T>
ZELVAN_API int Greater(T* x, T* y, bool* out, unsigned long n);
template <typename T>
ZELVAN_API int Greater(T* x, T y, bool* out, unsigned long n);
template <typename T>
ZELVAN_API int Greater(T x, T* y, bool* out, unsigned long n);

// ---------------------------------------------------------------------------
// FloorMod: out[i] = truncated remainder of x by y, for T = float and
// T = double, exactly fmodf/fmod of the operands (bit for bit; NaN where
// they give NaN) in every position. The sign of a result is the dividend's:
// -7 rem 3 is -1. out may be the same buffer as an array operand.
// @returns 0, or 2 with "Parameter verification failed for the FloorMod Op."
//          when a pointer argument is null; out is then untouched.
// ---------------------------------------------------------------------------
template <typename T>
ZELVAN_API int FloorMod(T* x, T* y, T* out, unsigned long n);
template <typename T>
ZELVAN_API int FloorMod(T x, T* y, T* out, unsigned long n);
template <typename T>
ZELVAN_API int FloorMod(T* x, T y, T* out, unsigned long n);

// ---------------------------------------------------------------------------
// Select (T = long): out[i] = cond[i] ? x[i] : y[i]. Any non-zero condition
// byte counts as true. out may be the very same array as x or y.
// @returns 0, or 2 with "Parameter verification failed for the Select Op."
//          when a pointer argument is null; out is then untouched.
// ---------------------------------------------------------------------------
template <typename T>
ZELVAN_API int Select(bool* cond, T* x, T* y, T* out, unsigned long n);

// ---------------------------------------------------------------------------
// Matmul
// ---------------------------------------------------------------------------

/// One general product C <- alpha * op(A) * op(B) + beta * C in CBLAS terms.
/// order: 101 row-major, 102 column-major. transA/transB: 111 no transpose,
/// 112 transpose (113, conjugate transpose, is rejected). Valid when m, n, k
/// are positive, every leading dimension is at least the contiguous extent
/// of its matrix as stored (and at least 1), and alpha and beta are finite.
/// The layout (field order and widths) is part of the binary interface.
template <typename T>
struct MatMulParams {
  int order;
  int transA;
  int transB;
  int m;
  int n;
  int k;
  T alpha;
  int lda;
  int ldb;
  T beta;
  int ldc;
};

/// Multiplies through the cblas_sgemm / cblas_dgemm that the host process
/// provides (the library links no BLAS). Double precision and row-major float
/// make one BLAS call; column-major float splits C into tiles that one OpenMP
/// region of ThreadPool-size threads multiplies with one cblas_sgemm each, so
/// the host's BLAS must accept concurrent calls on disjoint blocks of C. The
/// caller guarantees the buffers are as large as params implies. Only the
/// m x n block of C is written.
/// @returns 0; 2 when a, b or c is null, or 5 when params is invalid (both
///          with "Parameter verification failed for the Matmul Op."); 1 with
///          "Failed to create ThreadPool singleton instance." when the worker
///          pool cannot be created (column-major float only). C is untouched
///          on failure. Throws std::bad_alloc if the tile list cannot grow.
template <typename T>
ZELVAN_API int Matmul(T* a, T* b, T* c, MatMulParams<T>& params);

// ---------------------------------------------------------------------------
// Find
// ---------------------------------------------------------------------------

/// A host-owned open-addressing dense hash table. Bucket b holds key
/// bucketKeys[b] and the row bucketValues[b * valueSize ...]. A key k sits on
/// its probe sequence home = k & (numBuckets - 1), then offsets 1, 3, 6, 10...
/// (triangular), with no emptyKey bucket before it on that sequence.
struct TableInfo {
  long numBuckets;            ///< power of two, at least 1
  long valueSize;             ///< floats per row, 0 or more
  long emptyKey;              ///< marks a free bucket
  long deletedKey;            ///< marks a removed entry; differs from emptyKey
  const long* bucketKeys;     ///< numBuckets keys
  const float* bucketValues;  ///< numBuckets rows of valueSize floats
};

/// Looks up keys[0..length) in the table; row i of out (out + i * valueSize)
/// receives the stored row, or defaultValue for an absent key. Runs on the
/// library's worker pool (created by the first call that passes validation);
/// the calling thread waits. The table, keys and defaultValue must not change
/// until Find returns. Call it only from host threads, not from a sink.
/// @returns 0 on success, or the first failing validation step:
///   2 "Parameter verification failed for the Find Op." (a null pointer),
///   5 "Empty and deleted key cannot be equal.",
///   1 "numBuckets is invalid.", 5 "numBuckets must be power of 2.",
///   1 "valueSize is invalid.", 1 "Length value is invalid.",
///   1 "Length is 0, but keys is not none, please check your input.",
///   1 "Failed to create the thread pool." (out untouched in all of these);
/// or, from the lookup, 3 "Using the emptyKey as a table key is not allowed",
///   4 "Using the deletedKey as a table key is not allowed",
///   1 "Internal error in MutableDenseHashTable lookup" (table full without
///   the key). A failing key's range stops there: earlier rows of that range
///   and every other range are written, the failing row and the rest of its
///   range are not. When several ranges fail, the code of one is returned.
///   A range ended by an exception (a throwing sink) makes the call fail.
/// Exceptions: messages are built and logged on the calling thread for the
/// validation steps, so std::bad_alloc or a throwing sink's exception
/// reaches the caller; so do std::bad_alloc and std::system_error from
/// queueing the ranges, and std::runtime_error("enqueue on stopped
/// ThreadPool") during process exit. Find never returns or throws while a
/// range it queued may still run.
ZELVAN_API int Find(const TableInfo& tableInfo, const long* keys, float* out, const float* defaultValue, long length);

// The library provides exactly these instantiations.
extern template int Less<int>(int*, int*, bool*, unsigned long);
extern template int Less<int>(int*, int, bool*, unsigned long);
extern template int Less<int>(int, int*, bool*, unsigned long);
extern template int Less<long>(long*, long*, bool*, unsigned long);
extern template int Less<long>(long*, long, bool*, unsigned long);
extern template int Less<long>(long, long*, bool*, unsigned long);
extern template int Greater<int>(int*, int*, bool*, unsigned long);
extern template int Greater<int>(int*, int, bool*, unsigned long);
extern template int Greater<int>(int, int*, bool*, unsigned long);
extern template int Greater<long>(long*, long*, bool*, unsigned long);
extern template int Greater<long>(long*, long, bool*, unsigned long);
extern template int Greater<long>(long, long*, bool*, unsigned long);
extern template int FloorMod<float>(float*, float*, float*, unsigned long);
extern template int FloorMod<float>(float, float*, float*, unsigned long);
extern template int FloorMod<float>(float*, float, float*, unsigned long);
extern template int FloorMod<double>(double*, double*, double*, unsigned long);
extern template int FloorMod<double>(double, double*, double*, unsigned long);
extern template int FloorMod<double>(double*, double, double*, unsigned long);
extern template int Select<long>(bool*, long*, long*, long*, unsigned long);
extern template int Matmul<float>(float*, float*, float*, MatMulParams<float>&);
extern template int Matmul<double>(double*, double*, double*, MatMulParams<double>&);

}  // namespace zelvan

#endif  // ZELVAN_ZELVAN_H_
