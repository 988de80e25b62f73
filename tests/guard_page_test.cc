// Every element-wise form and Find with each input and output buffer ending
// exactly at a PROT_NONE page: a read or write past n faults the test.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dense_table.h"
#include "guarded_buffer.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_test::PageGuarded;

std::vector<size_t> GuardCounts() {
  std::vector<size_t> counts;
  for (size_t n = 0; n <= 130; ++n) counts.push_back(n);
  for (size_t n : {1023u, 4096u, 100003u}) counts.push_back(n);
  return counts;
}

template <class T>
void Fill(PageGuarded<T>& b, std::mt19937_64& rng) {
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<T>(static_cast<int>(rng() % 2001) - 1000) / T(8);
}

template <class T>
void CompareForms() {
  std::mt19937_64 rng(7);
  for (size_t n : GuardCounts()) {
    PageGuarded<T> x(n), y(n);
    PageGuarded<bool> out(n);
    Fill(x, rng);
    Fill(y, rng);
    const T s = 3;
    ASSERT_EQ(zelvan::Less(x.data(), y.data(), out.data(), n), 0);
    ASSERT_EQ(zelvan::Less(x.data(), s, out.data(), n), 0);
    ASSERT_EQ(zelvan::Less(s, y.data(), out.data(), n), 0);
    ASSERT_EQ(zelvan::Greater(x.data(), y.data(), out.data(), n), 0);
    ASSERT_EQ(zelvan::Greater(x.data(), s, out.data(), n), 0);
    ASSERT_EQ(zelvan::Greater(s, y.data(), out.data(), n), 0);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], s > y[i]);
  }
}

template <class T>
void FloorModForms() {
  std::mt19937_64 rng(8);
  for (size_t n : GuardCounts()) {
    PageGuarded<T> x(n), y(n), out(n);
    Fill(x, rng);
    Fill(y, rng);
    ASSERT_EQ(zelvan::FloorMod(x.data(), y.data(), out.data(), n), 0);
    ASSERT_EQ(zelvan::FloorMod(T(7.5), y.data(), out.data(), n), 0);
    ASSERT_EQ(zelvan::FloorMod(x.data(), T(2.5), out.data(), n), 0);
    for (size_t i = 0; i < n; ++i) ASSERT_TRUE(std::isnan(out[i]) || out[i] == std::fmod(x[i], T(2.5)));
    // In place, on each operand.
    ASSERT_EQ(zelvan::FloorMod(x.data(), y.data(), x.data(), n), 0);
    ASSERT_EQ(zelvan::FloorMod(x.data(), y.data(), y.data(), n), 0);
  }
}

TEST(GuardPages, CompareInt) { CompareForms<int>(); }
TEST(GuardPages, CompareLong) { CompareForms<long>(); }
TEST(GuardPages, FloorModFloat) { FloorModForms<float>(); }
TEST(GuardPages, FloorModDouble) { FloorModForms<double>(); }

TEST(GuardPages, Select) {
  std::mt19937_64 rng(9);
  for (size_t n : GuardCounts()) {
    PageGuarded<bool> cond(n);
    PageGuarded<long> x(n), y(n), out(n);
    for (size_t i = 0; i < n; ++i) {
      cond[i] = rng() % 2;
      x[i] = static_cast<long>(rng());
      y[i] = static_cast<long>(rng());
    }
    ASSERT_EQ(zelvan::Select(cond.data(), x.data(), y.data(), out.data(), n), 0);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], cond[i] ? x[i] : y[i]);
    ASSERT_EQ(zelvan::Select(cond.data(), x.data(), y.data(), x.data(), n), 0);
  }
}

TEST(GuardPages, Find) {
  // The table arrays, keys, rows and default row all end at a guard page.
  for (long valueSize : {0L, 1L, 3L, 16L}) {
    zelvan_test::DenseTable reference(64, valueSize);
    for (long k = 0; k < 40; ++k) reference.Insert(k * 3);
    const zelvan::TableInfo ref = reference.Info();
    PageGuarded<long> bucketKeys(64);
    PageGuarded<float> bucketValues(static_cast<size_t>(64 * valueSize));
    for (size_t b = 0; b < 64; ++b) bucketKeys[b] = ref.bucketKeys[b];
    for (size_t v = 0; v < bucketValues.size(); ++v) bucketValues[v] = ref.bucketValues[v];
    PageGuarded<float> defaultRow(static_cast<size_t>(valueSize));
    for (size_t v = 0; v < defaultRow.size(); ++v) defaultRow[v] = -1;
    zelvan::TableInfo info = ref;
    info.bucketKeys = bucketKeys.data();
    info.bucketValues = bucketValues.data();
    for (size_t n : {1u, 2u, 3u, 7u, 64u, 129u, 5000u}) {
      PageGuarded<long> keys(n);
      PageGuarded<float> out(n * static_cast<size_t>(valueSize));
      for (size_t i = 0; i < n; ++i) keys[i] = static_cast<long>(i % 150);
      ASSERT_EQ(zelvan::Find(info, keys.data(), out.data(), defaultRow.data(), static_cast<long>(n)), 0);
      for (size_t i = 0; i < n; ++i) {
        const auto want = reference.Expected(keys[i], std::vector<float>(static_cast<size_t>(valueSize), -1));
        for (long j = 0; j < valueSize; ++j) ASSERT_EQ(out[i * static_cast<size_t>(valueSize) + j], want[j]);
      }
    }
  }
}

}  // namespace
