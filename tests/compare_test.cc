// Less and Greater through the exported entry points.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "elementwise_tester.h"
#include "log_capture.h"
#include "zelvan/zelvan.h"

namespace {

using zelvan_test::CheckCompare;
using zelvan_test::Form;
using zelvan_test::LogCapture;

template <class T>
int CallLess(Form form, T* x, T* y, bool* out, size_t n) {
  switch (form) {
    case Form::kArrayArray:
      return zelvan::Less(x, y, out, n);
    case Form::kArrayScalar:
      return zelvan::Less(x, y[0], out, n);
    default:
      return zelvan::Less(x[0], y, out, n);
  }
}

template <class T>
int CallGreater(Form form, T* x, T* y, bool* out, size_t n) {
  switch (form) {
    case Form::kArrayArray:
      return zelvan::Greater(x, y, out, n);
    case Form::kArrayScalar:
      return zelvan::Greater(x, y[0], out, n);
    default:
      return zelvan::Greater(x[0], y, out, n);
  }
}

template <class T>
class CompareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogCapture::Get().Install();
    LogCapture::Get().Clear();
  }
};
using ElementTypes = ::testing::Types<int, long>;
TYPED_TEST_SUITE(CompareTest, ElementTypes);

constexpr Form kForms[] = {Form::kArrayArray, Form::kArrayScalar, Form::kScalarArray};

TYPED_TEST(CompareTest, MatchesReferenceForEveryCountAndForm) {
  using T = TypeParam;
  for (Form form : kForms) {
    CheckCompare<T>(&CallLess<T>, form, std::less<T>(), 1 + static_cast<int>(form));
    CheckCompare<T>(&CallGreater<T>, form, std::greater<T>(), 7 + static_cast<int>(form));
  }
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

TYPED_TEST(CompareTest, NullPointerInEveryTestedPositionFailsWithTheOperatorsMessage) {
  using T = TypeParam;
  T v[4] = {1, 2, 3, 4};
  bool out[4] = {true, true, true, true};
  const char* less = "Parameter verification failed for the Less Op.";
  const char* greater = "Parameter verification failed for the Greater Op.";
  struct Case {
    std::function<int()> call;
    const char* message;
  };
  const Case cases[] = {
      {[&] { return zelvan::Less<T>(nullptr, v, out, 4); }, less},
      {[&] { return zelvan::Less<T>(v, nullptr, out, 4); }, less},
      {[&] { return zelvan::Less<T>(v, v, nullptr, 4); }, less},
      {[&] { return zelvan::Less<T>(static_cast<T*>(nullptr), T{1}, out, 4); }, less},
      {[&] { return zelvan::Less<T>(v, T{1}, nullptr, 4); }, less},
      {[&] { return zelvan::Less<T>(T{1}, static_cast<T*>(nullptr), out, 4); }, less},
      {[&] { return zelvan::Less<T>(T{1}, v, nullptr, 4); }, less},
      {[&] { return zelvan::Greater<T>(nullptr, v, out, 4); }, greater},
      {[&] { return zelvan::Greater<T>(v, nullptr, out, 4); }, greater},
      {[&] { return zelvan::Greater<T>(v, v, nullptr, 4); }, greater},
      {[&] { return zelvan::Greater<T>(static_cast<T*>(nullptr), T{1}, out, 4); }, greater},
      {[&] { return zelvan::Greater<T>(v, T{1}, nullptr, 4); }, greater},
      {[&] { return zelvan::Greater<T>(T{1}, static_cast<T*>(nullptr), out, 4); }, greater},
      {[&] { return zelvan::Greater<T>(T{1}, v, nullptr, 0); }, greater},
      {[&] { return zelvan::Less<T>(nullptr, nullptr, nullptr, 0); }, less},
  };
  int index = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), zelvan::STATUS_NULL_POINTER) << "case " << index;
    EXPECT_EQ(LogCapture::Get().Take(), zelvan_test::One(c.message)) << "case " << index;
    ++index;
  }
  for (bool b : out) EXPECT_TRUE(b) << "a failing call wrote its output";
}

TEST(CompareEdges, SignednessAndOperandOrder) {
  int xi = -1, yi = 0;
  bool out = false;
  ASSERT_EQ(zelvan::Less(&xi, &yi, &out, 1), 0);
  EXPECT_TRUE(out);
  long xl = LONG_MIN, yl = LONG_MAX;
  ASSERT_EQ(zelvan::Greater(&xl, &yl, &out, 1), 0);
  EXPECT_FALSE(out);
  int xmin = INT_MIN;
  ASSERT_EQ(zelvan::Less(&xmin, INT_MAX, &out, 1), 0);
  EXPECT_TRUE(out);
  int seven = 7;
  ASSERT_EQ(zelvan::Less(5, &seven, &out, 1), 0);
  EXPECT_TRUE(out);
  ASSERT_EQ(zelvan::Less(&seven, 5, &out, 1), 0);
  EXPECT_FALSE(out);
  ASSERT_EQ(zelvan::Greater(5, &seven, &out, 1), 0);
  EXPECT_FALSE(out);
  ASSERT_EQ(zelvan::Greater(7L, &xl, &out, 1), 0);
  EXPECT_TRUE(out);
}

TEST(CompareEdges, ZeroCountWritesAndLogsNothing) {
  LogCapture::Get().Install();
  LogCapture::Get().Clear();
  long v = 1;
  bool out = true;
  EXPECT_EQ(zelvan::Less(&v, &v, &out, 0), 0);
  EXPECT_EQ(zelvan::Greater(&v, 0L, &out, 0), 0);
  EXPECT_TRUE(out);
  EXPECT_TRUE(LogCapture::Get().Take().empty());
}

}  // namespace
