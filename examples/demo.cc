// A small host program: installs a log sink, calls every operator of
// libzelvan on realistic data, checks each result against a plain reference
// and prints what it did with the throughput.
#include <zelvan/zelvan.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

int failures = 0;
int sinkCalls = 0;

void HostLog(int level, const char* message) {
  ++sinkCalls;
  std::printf("  [sink] level %d: %s\n", level, message);
}

template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* what, bool ok, double seconds, double units, const char* unit) {
  if (!ok) ++failures;
  std::printf("%-52s %s  %8.2f %s\n", what, ok ? "ok  " : "FAIL", units / seconds / 1e6, unit);
}

void Check(const char* what, bool ok) {
  if (!ok) ++failures;
  std::printf("%-52s %s\n", what, ok ? "ok  " : "FAIL");
}

void DemoCompare() {
  const size_t n = 1 << 24;
  std::mt19937_64 rng(1);
  std::vector<long> x(n), y(n);
  for (size_t i = 0; i < n; ++i) {
    x[i] = static_cast<long>(rng());
    y[i] = i % 7 == 0 ? x[i] : static_cast<long>(rng());
  }
  std::vector<bool> reference(n);
  std::vector<char> out(n);
  auto* result = reinterpret_cast<bool*>(out.data());
  int status = 0;
  const double t = Seconds([&] { status = zelvan::Less(x.data(), y.data(), result, n); });
  bool ok = status == 0;
  for (size_t i = 0; i < n && ok; ++i) ok = out[i] == (x[i] < y[i] ? 1 : 0);
  Report("Less<long> array-array, 16M elements", ok, t, static_cast<double>(n), "M elements/s");

  std::vector<int> xi(n);
  for (size_t i = 0; i < n; ++i) xi[i] = static_cast<int>(rng());
  const double t2 = Seconds([&] { status = zelvan::Greater(xi.data(), 0, result, n); });
  ok = status == 0;
  for (size_t i = 0; i < n && ok; ++i) ok = out[i] == (xi[i] > 0 ? 1 : 0);
  Report("Greater<int> array-scalar, 16M elements", ok, t2, static_cast<double>(n), "M elements/s");
}

void DemoFind() {
  // An embedding table: 2^20 buckets of 64 floats, half full.
  const long numBuckets = 1L << 20, valueSize = 64;
  std::vector<long> bucketKeys(numBuckets, -1);
  std::vector<float> bucketValues(static_cast<size_t>(numBuckets * valueSize));
  std::mt19937_64 rng(2);
  std::vector<long> present;
  for (long e = 0; e < numBuckets / 2; ++e) {
    const long key = static_cast<long>(rng() >> 3);
    long bucket = key & (numBuckets - 1);
    for (long probes = 0; bucketKeys[bucket] != -1;) bucket = (bucket + ++probes) & (numBuckets - 1);
    bucketKeys[bucket] = key;
    for (long j = 0; j < valueSize; ++j) bucketValues[bucket * valueSize + j] = static_cast<float>(key % 1000 + j);
    present.push_back(key);
  }
  const zelvan::TableInfo table{numBuckets, valueSize, -1, -2, bucketKeys.data(), bucketValues.data()};
  const long length = 1L << 18;
  std::vector<long> keys(length);
  for (long& k : keys) k = rng() % 4 ? present[rng() % present.size()] : static_cast<long>(rng() >> 3);
  std::vector<float> defaultRow(valueSize, 0.0f), out(static_cast<size_t>(length * valueSize));
  int status = 0;
  zelvan::Find(table, keys.data(), out.data(), defaultRow.data(), 1);  // creates the pool
  const double t = Seconds([&] { status = zelvan::Find(table, keys.data(), out.data(), defaultRow.data(), length); });

  // Single-threaded reference lookup.
  bool ok = status == 0;
  for (long i = 0; i < length && ok; ++i) {
    long bucket = keys[i] & (numBuckets - 1);
    for (long probes = 0; bucketKeys[bucket] != keys[i] && bucketKeys[bucket] != -1;) {
      bucket = (bucket + ++probes) & (numBuckets - 1);
    }
    const float* want = bucketKeys[bucket] == keys[i] ? &bucketValues[bucket * valueSize] : defaultRow.data();
    ok = std::memcmp(want, &out[i * valueSize], valueSize * sizeof(float)) == 0;
  }
  Report("Find, 2^18 keys in 2^20 buckets x 64 floats", ok, t, static_cast<double>(length), "M keys/s");

  keys[12345] = -1;  // the table's emptyKey: a reported failure, through the sink
  status = zelvan::Find(table, keys.data(), out.data(), defaultRow.data(), length);
  Check("Find with emptyKey in the batch returns 3", status == zelvan::STATUS_EMPTY_KEY);
}

template <class T>
bool SameBits(T a, T b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof(T)) == 0;
}

void DemoFloorMod() {
  const size_t n = 1 << 22;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-1000, 1000);
  std::vector<float> x(n), y(n), out(n);
  for (size_t i = 0; i < n; ++i) {
    x[i] = u(rng);
    y[i] = u(rng) / 64;
  }
  int status = 0;
  const double t = Seconds([&] { status = zelvan::FloorMod(x.data(), y.data(), out.data(), n); });
  bool ok = status == 0;
  for (size_t i = 0; i < n && ok; ++i) ok = SameBits(out[i], std::fmod(x[i], y[i]));
  Report("FloorMod<float> array-array, 4M elements (= fmodf)", ok, t, static_cast<double>(n), "M elements/s");

  std::vector<double> xd(n), outd(n);
  for (size_t i = 0; i < n; ++i) xd[i] = static_cast<double>(x[i]) * 1e6;
  const double t2 = Seconds([&] { status = zelvan::FloorMod(xd.data(), 7.25, outd.data(), n); });
  ok = status == 0;
  for (size_t i = 0; i < n && ok; ++i) ok = SameBits(outd[i], std::fmod(xd[i], 7.25));
  Report("FloorMod<double> array-scalar, 4M elements (= fmod)", ok, t2, static_cast<double>(n), "M elements/s");
}

void DemoSelect() {
  const size_t n = 1 << 22;
  std::mt19937_64 rng(6);
  std::vector<long> x(n), y(n), out(n);
  std::vector<char> cond(n);
  for (size_t i = 0; i < n; ++i) {
    x[i] = static_cast<long>(rng());
    y[i] = static_cast<long>(rng());
    cond[i] = static_cast<char>(rng() % 2);
  }
  int status = 0;
  const double t = Seconds(
      [&] { status = zelvan::Select(reinterpret_cast<bool*>(cond.data()), x.data(), y.data(), out.data(), n); });
  bool ok = status == 0;
  for (size_t i = 0; i < n && ok; ++i) ok = out[i] == (cond[i] ? x[i] : y[i]);
  Report("Select<long>, 4M elements", ok, t, static_cast<double>(n), "M elements/s");
}

// Checks sampled elements of C = op(A) op(B) (column-major, no transpose)
// against a double-precision dot product.
template <class T>
bool SampledProductOk(const std::vector<T>& a, const std::vector<T>& b, const std::vector<T>& c, int n) {
  std::mt19937 rng(3);
  for (int sample = 0; sample < 256; ++sample) {
    const int i = static_cast<int>(rng() % n), j = static_cast<int>(rng() % n);
    double want = 0, mag = 0;
    for (int l = 0; l < n; ++l) {
      want += static_cast<double>(a[i + static_cast<size_t>(l) * n]) * b[l + static_cast<size_t>(j) * n];
      mag += std::fabs(static_cast<double>(a[i + static_cast<size_t>(l) * n]) * b[l + static_cast<size_t>(j) * n]);
    }
    if (std::fabs(c[i + static_cast<size_t>(j) * n] - want) > 4.0 * n * std::numeric_limits<T>::epsilon() * mag) {
      return false;
    }
  }
  return true;
}

template <class T>
void DemoMatmul(const char* what) {
  const int n = 1024;
  std::mt19937 rng(4);
  std::uniform_real_distribution<T> u(-1, 1);
  std::vector<T> a(static_cast<size_t>(n) * n), b(a.size()), c(a.size());
  for (T& v : a) v = u(rng);
  for (T& v : b) v = u(rng);
  zelvan::MatMulParams<T> p{102, 111, 111, n, n, n, T(1), n, n, T(0), n};
  int status = zelvan::Matmul<T>(a.data(), b.data(), c.data(), p);  // warm-up
  const double t = Seconds([&] { status = zelvan::Matmul<T>(a.data(), b.data(), c.data(), p); });
  Report(what, status == 0 && SampledProductOk(a, b, c, n), t, 2.0 * n * n * n / 1e3, "GFLOP/s");
}

}  // namespace

int main() {
  zelvan::SetExternalLogFunc(&HostLog);
  std::printf("%-52s %s  %s\n", "operation", "check", "throughput");
  DemoCompare();
  DemoFloorMod();
  DemoSelect();
  DemoFind();
  DemoMatmul<float>("Matmul<float> column-major 1024^3 (tiled)");
  DemoMatmul<double>("Matmul<double> column-major 1024^3");
  std::printf("%s: %d check(s) failed, %d message(s) reached the sink\n", failures ? "FAILED" : "done", failures,
              sinkCalls);
  return failures == 0 ? 0 : 1;
}
