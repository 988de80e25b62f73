// Differential fuzzing of the element-wise operators: FloorMod on random bit
// patterns against fmodf/fmod bit for bit, compares and Select on random
// data and counts, in every form and with the output aliasing an operand.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "zelvan/zelvan.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "elementwise_fuzz: %s\n", what);
  std::abort();
}

template <class T>
bool Same(T got, T want) {
  return std::isnan(want) ? std::isnan(got) : std::memcmp(&got, &want, sizeof(T)) == 0;
}

template <class T>
void FuzzFloorMod(FuzzedDataProvider& in) {
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 64);
  std::vector<T> x(n + 1), y(n + 1);
  for (size_t i = 0; i < n; ++i) {
    in.ConsumeData(&x[i], sizeof(T));
    in.ConsumeData(&y[i], sizeof(T));
  }
  const int form = in.ConsumeIntegralInRange(0, 4);
  std::vector<T> out(n + 1);
  std::vector<T> xs = x, ys = y;
  if (form == 1) std::fill(xs.begin(), xs.end(), x[0]);
  if (form == 2) std::fill(ys.begin(), ys.end(), y[0]);
  int status;
  switch (form) {
    case 1:
      status = zelvan::FloorMod(x[0], y.data(), out.data(), n);
      break;
    case 2:
      status = zelvan::FloorMod(x.data(), y[0], out.data(), n);
      break;
    case 3:
      out = x;
      status = zelvan::FloorMod(out.data(), y.data(), out.data(), n);
      break;
    case 4:
      out = y;
      status = zelvan::FloorMod(x.data(), out.data(), out.data(), n);
      break;
    default:
      status = zelvan::FloorMod(x.data(), y.data(), out.data(), n);
      break;
  }
  if (status != 0) Fail("FloorMod failed");
  for (size_t i = 0; i < n; ++i) {
    if (!Same(out[i], static_cast<T>(std::fmod(xs[i], ys[i])))) Fail("FloorMod differs from fmod");
  }
}

template <class T>
void FuzzCompare(FuzzedDataProvider& in) {
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 200);
  std::vector<T> x(n + 1), y(n + 1);
  for (size_t i = 0; i < n; ++i) {
    x[i] = in.ConsumeIntegral<T>();
    y[i] = in.ConsumeBool() ? x[i] : in.ConsumeIntegral<T>();
  }
  std::vector<unsigned char> out(n + 1, 0xEE);
  bool* o = reinterpret_cast<bool*>(out.data());
  const bool less = in.ConsumeBool();
  const int form = in.ConsumeIntegralInRange(0, 2);
  int status;
  if (less) {
    status = form == 0   ? zelvan::Less(x.data(), y.data(), o, n)
             : form == 1 ? zelvan::Less(x.data(), y[0], o, n)
                         : zelvan::Less(x[0], y.data(), o, n);
  } else {
    status = form == 0   ? zelvan::Greater(x.data(), y.data(), o, n)
             : form == 1 ? zelvan::Greater(x.data(), y[0], o, n)
                         : zelvan::Greater(x[0], y.data(), o, n);
  }
  if (status != 0) Fail("compare failed");
  for (size_t i = 0; i < n; ++i) {
    const T a = form == 2 ? x[0] : x[i];
    const T b = form == 1 ? y[0] : y[i];
    if (out[i] != ((less ? a < b : a > b) ? 1 : 0)) Fail("compare differs");
  }
  if (out[n] != 0xEE) Fail("compare wrote past n");
}

void FuzzSelect(FuzzedDataProvider& in) {
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 200);
  std::vector<unsigned char> cond(n + 1);
  std::vector<long> x(n + 1), y(n + 1);
  for (size_t i = 0; i < n; ++i) {
    cond[i] = in.ConsumeIntegral<unsigned char>();
    x[i] = in.ConsumeIntegral<long>();
    y[i] = in.ConsumeIntegral<long>();
  }
  const int alias = in.ConsumeIntegralInRange(0, 2);
  std::vector<long> out = alias == 1 ? x : alias == 2 ? y : std::vector<long>(n + 1, 77);
  long* xp = alias == 1 ? out.data() : x.data();
  long* yp = alias == 2 ? out.data() : y.data();
  if (zelvan::Select(reinterpret_cast<bool*>(cond.data()), xp, yp, out.data(), n) != 0) Fail("Select failed");
  for (size_t i = 0; i < n; ++i) {
    if (out[i] != (cond[i] != 0 ? x[i] : y[i])) Fail("Select differs");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
      FuzzFloorMod<float>(in);
      break;
    case 1:
      FuzzFloorMod<double>(in);
      break;
    case 2:
      FuzzCompare<int>(in);
      break;
    case 3:
      FuzzCompare<long>(in);
      break;
    default:
      FuzzSelect(in);
      break;
  }
  return 0;
}
