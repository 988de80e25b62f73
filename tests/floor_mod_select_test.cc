// FloorMod and Select through the exported entry points.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "floor_mod_tester.h"
#include "log_capture.h"
#include "select_tester.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_test::Form;
using zelvan_test::LogCapture;

template <class T>
int CallFloorMod(Form form, T* x, T* y, T* out, size_t n) {
  switch (form) {
    case Form::kArrayArray:
      return zelvan::FloorMod(x, y, out, n);
    case Form::kArrayScalar:
      return zelvan::FloorMod(x, y[0], out, n);
    default:
      return zelvan::FloorMod(x[0], y, out, n);
  }
}

int CallSelect(const unsigned char* cond, long* x, long* y, long* out, size_t n) {
  // Bytes other than 0 and 1 reach the library as the host wrote them.
  return zelvan::Select(reinterpret_cast<bool*>(const_cast<unsigned char*>(cond)), x, y, out, n);
}

class ElementwiseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogCapture::Get().Install();
    LogCapture::Get().Clear();
  }
};

TEST_F(ElementwiseTest, FloorModFloatEqualsFmodfEverywhere) {
  zelvan_test::CheckFloorMod<float>(&CallFloorMod<float>, 21);
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

TEST_F(ElementwiseTest, FloorModDoubleEqualsFmodEverywhere) {
  zelvan_test::CheckFloorMod<double>(&CallFloorMod<double>, 22);
}

TEST_F(ElementwiseTest, FloorModTruncatedRemainderSigns) {
  // In a block (count 4 or 2) and in the tail (count 1) alike.
  for (size_t n : {1u, 2u, 4u}) {
    float x[4] = {-7, 7, -7, -6}, y[4] = {3, -3, -3, 3}, out[4];
    ASSERT_EQ(zelvan::FloorMod(x, y, out, n), 0);
    const float want[4] = {-1, 1, -1, -0.0f};
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(out[i], want[i]);
      EXPECT_EQ(std::signbit(out[i]), std::signbit(want[i])) << i;
    }
  }
  float big[4] = {1e10f, 1e10f, 1e10f, 1e10f}, r[4];
  ASSERT_EQ(zelvan::FloorMod(big, 3.0f, r, 4), 0);
  EXPECT_EQ(r[0], 1.0f);
  double d[2] = {5, -5}, inf = INFINITY, rd[2];
  ASSERT_EQ(zelvan::FloorMod(d, inf, rd, 2), 0);
  EXPECT_EQ(rd[0], 5.0);
  EXPECT_EQ(rd[1], -5.0);
}

TEST_F(ElementwiseTest, FloorModNullPointers) {
  float v[4] = {1, 2, 3, 4};
  const char* msg = "Parameter verification failed for the FloorMod Op.";
  const std::function<int()> calls[] = {
      [&] { return zelvan::FloorMod<float>(nullptr, v, v, 0); },
      [&] { return zelvan::FloorMod<float>(v, nullptr, v, 4); },
      [&] { return zelvan::FloorMod<float>(v, v, nullptr, 4); },
      [&] { return zelvan::FloorMod<float>(1.0f, nullptr, v, 4); },
      [&] { return zelvan::FloorMod<float>(1.0f, v, nullptr, 0); },
      [&] { return zelvan::FloorMod<float>(nullptr, 1.0f, v, 4); },
      [&] { return zelvan::FloorMod<float>(v, 1.0f, nullptr, 4); },
      [&] { return zelvan::FloorMod<double>(nullptr, nullptr, nullptr, 0); },
      [&] { return zelvan::FloorMod<double>(1.0, static_cast<double*>(nullptr), nullptr, 3); },
      [&] { return zelvan::FloorMod<double>(static_cast<double*>(nullptr), 2.0, nullptr, 3); },
  };
  for (const auto& call : calls) {
    EXPECT_EQ(call(), zelvan::STATUS_NULL_POINTER);
    EXPECT_EQ(LogCapture::Get().Take(), zelvan_test::One(msg));
  }
  EXPECT_EQ(v[0], 1.0f);
}

TEST_F(ElementwiseTest, SelectMatchesReference) {
  zelvan_test::CheckSelect(&CallSelect, 31);
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

TEST_F(ElementwiseTest, SelectNullPointers) {
  long v[2] = {1, 2};
  bool c[2] = {true, false};
  const char* msg = "Parameter verification failed for the Select Op.";
  EXPECT_EQ(zelvan::Select<long>(nullptr, v, v, v, 2), 2);
  EXPECT_EQ(zelvan::Select<long>(c, nullptr, v, v, 2), 2);
  EXPECT_EQ(zelvan::Select<long>(c, v, nullptr, v, 0), 2);
  EXPECT_EQ(zelvan::Select<long>(c, v, v, nullptr, 2), 2);
  const auto log = LogCapture::Get().Take();
  ASSERT_EQ(log.size(), 4u);
  for (const auto& e : log) EXPECT_EQ(e, (zelvan_test::LogEntry{3, msg}));
  EXPECT_EQ(zelvan::Select<long>(c, v, v, v, 0), 0);
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

}  // namespace
