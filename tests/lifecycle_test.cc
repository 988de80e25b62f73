// Load, use and unload the library many times in one process, and end
// processes with an idle pool or with a host thread waiting in Find.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "child.h"
#include "zelvan/zelvan.h"

#ifndef ZELVAN_LIBRARY_PATH
#error "ZELVAN_LIBRARY_PATH must name the built libzelvan.so.1"
#endif

namespace {

using FindFn = decltype(&zelvan::Find);
using MatmulFn = int (*)(float*, float*, float*, zelvan::MatMulParams<float>&);
using SinkFn = decltype(&zelvan::SetExternalLogFunc);

struct Library {
  void* handle = dlopen(ZELVAN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  FindFn find = handle ? reinterpret_cast<FindFn>(dlsym(handle, "_ZN6zelvan4FindERKNS_9TableInfoEPKlPfPKfl")) : nullptr;
  MatmulFn matmul =
      handle ? reinterpret_cast<MatmulFn>(dlsym(handle, "_ZN6zelvan6MatmulIfEEiPT_S2_S2_RNS_12MatMulParamsIS1_EE"))
             : nullptr;
  SinkFn sink = handle ? reinterpret_cast<SinkFn>(dlsym(handle, "_ZN6zelvan18SetExternalLogFuncEPFviPKcE")) : nullptr;
  ~Library() {
    if (handle) dlclose(handle);
  }
};

// Bytes the heap holds for the program; resident size would also count
// sanitizer quarantines and emulator caches.
size_t HeapInUse() { return mallinfo2().uordblks; }

bool Loaded() {
  void* handle = dlopen(ZELVAN_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

// One use of a freshly loaded library: Find (creates the pool) and a tiled
// float product (an OpenMP region).
bool UseOnce() {
  Library lib;
  if (!lib.find || !lib.matmul || !lib.sink) return false;
  const long bucketKeys[4] = {-1, 5, -1, -1};
  const float bucketValues[4] = {0, 1.5f, 0, 0};
  const zelvan::TableInfo table{4, 1, -1, -2, bucketKeys, bucketValues};
  std::vector<long> keys(256, 5);
  std::vector<float> rows(256);
  const float def = -1;
  if (lib.find(table, keys.data(), rows.data(), &def, 256) != 0 || rows[255] != 1.5f) return false;
  std::vector<float> a(96 * 96, 1.0f), b(96 * 96, 1.0f), c(96 * 96, 0.0f);
  zelvan::MatMulParams<float> p{102, 111, 111, 96, 96, 96, 1.0f, 96, 96, 0.0f, 96};
  return lib.matmul(a.data(), b.data(), c.data(), p) == 0 && c[96 * 96 - 1] == 96.0f;
}

TEST(Lifecycle, LoadUseUnloadManyTimesWithoutGrowth) {
  ASSERT_TRUE(UseOnce());
  ASSERT_TRUE(UseOnce());
  // The OpenMP runtime keeps its own team; the pool must not linger. The
  // baseline is the settled count, and only growth fails.
  const int threads = zelvan_test::SettledThreadCount();
  const size_t baseline = HeapInUse();
  for (int cycle = 0; cycle < 60; ++cycle) {
    ASSERT_TRUE(UseOnce()) << "cycle " << cycle;
    // Really unloaded (nothing pins it), so its pool was destroyed.
    ASSERT_FALSE(Loaded()) << "cycle " << cycle;
    ASSERT_TRUE(zelvan_test::WaitForThreadCountAtMost(threads)) << "threads grew in cycle " << cycle;
  }
  EXPECT_LT(HeapInUse(), baseline + 256 * 1024) << "heap grew from " << baseline << " to " << HeapInUse();
}

void ExitWithIdlePool() {
  alarm(30);
  if (!UseOnce()) std::_Exit(1);
  Library lib;  // kept loaded: its pool is destroyed by exit
  const long key = 1;
  float row = 0;
  const long bucketKeys[2] = {-1, -1};
  const float values[2] = {0, 0};
  const float def = 2;
  const zelvan::TableInfo table{2, 1, -1, -2, bucketKeys, values};
  if (lib.find(table, &key, &row, &def, 1) != 0 || row != 2) std::_Exit(1);
  std::exit(0);
}

void SlowSink(int, const char*) { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

void ExitWhileAHostThreadWaitsInFind() {
  alarm(30);
  Library lib;
  lib.sink(&SlowSink);
  static const long bucketKeys[2] = {-1, -1};
  static const float values[2] = {0, 0};
  static std::atomic<bool> inside{false};
  std::thread host([&lib] {
    // The emptyKey makes one range log through the slow sink, so the host
    // thread is still waiting in Find when the process exits.
    std::vector<long> keys(64, 1);
    keys[0] = -1;
    std::vector<float> rows(64);
    const float def = 0;
    const zelvan::TableInfo table{2, 1, -1, -2, bucketKeys, values};
    inside = true;
    lib.find(table, keys.data(), rows.data(), &def, 64);
  });
  host.detach();
  while (!inside) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::exit(0);
}

TEST(LifecycleDeathTest, ExitWithAnIdlePoolEndsCleanly) {
  EXPECT_EXIT(ExitWithIdlePool(), ::testing::ExitedWithCode(0), "");
}

TEST(LifecycleDeathTest, ExitWhileAnotherThreadWaitsInFindEndsCleanly) {
  EXPECT_EXIT(ExitWhileAHostThreadWaitsInFind(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
