#include "core/orvmath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"

namespace orv {
namespace {

TEST(MathHelpers, MinAndMaxForBothWidths) {
  EXPECT_EQ(Min(int32_t{-3}, int32_t{2}), -3);
  EXPECT_EQ(Max(int32_t{-3}, int32_t{2}), 2);
  EXPECT_EQ(Min(int64_t{5000000000}, int64_t{-1}), -1);
  EXPECT_EQ(Max(int64_t{5000000000}, int64_t{-1}), 5000000000);
}

TEST(MathHelpers, WrapIncIntegerWrapsOnlyFromTheLargestValue) {
  struct Case {
    int32_t value, increment, expected;
  } cases[] = {{INT32_MAX, 1, 1}, {5, 1, 6}, {INT32_MAX - 1, 1, INT32_MAX}, {INT32_MAX, 7, 7}, {-5, 2, -3}};
  for (const auto& c : cases) {
    int32_t value = c.value;
    EXPECT_EQ(WrapIncInteger(value, c.increment), c.expected) << c.value;
    EXPECT_EQ(value, c.expected);
  }
}

TEST(MathHelpers, WrapIncIntegerRefusesOverflowPastTheWrapPoint) {
  int32_t value = INT32_MAX - 1;
  EXPECT_THROW(WrapIncInteger(value, 5), std::overflow_error);
  EXPECT_EQ(value, INT32_MAX - 1);
  value = INT32_MIN;
  EXPECT_THROW(WrapIncInteger(value, -1), std::overflow_error);
}

TEST(MathHelpers, LockedWrapIncIntegerGivesEveryCallerADistinctValueAcrossTheWrap) {
  std::atomic<int32_t> value{INT32_MAX - 1000};
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::vector<int32_t>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) seen[t].push_back(LockedWrapIncInteger(value, 1));
    });
  for (auto& thread : threads) thread.join();
  std::vector<int32_t> all;
  for (const auto& part : seen) all.insert(all.end(), part.begin(), part.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  // 1000 steps reach the largest value, the next wraps to 1, then 999 more.
  EXPECT_EQ(value.load(), 1000);
  EXPECT_EQ(all.front(), 1);
  EXPECT_EQ(all.back(), INT32_MAX);
}

TEST(MathHelpers, TrigonometricAndLogarithmicFunctions) {
  const long double pi = std::numbers::pi_v<long double>;
  EXPECT_NEAR(Cotan(pi / 4), 1.0L, 1e-15L);
  EXPECT_NEAR(Tan(pi / 4), 1.0L, 1e-15L);
  EXPECT_NEAR(ArcTan2(1, -1), 3 * pi / 4, 1e-15L);
  EXPECT_NEAR(ArcCos(0), pi / 2, 1e-15L);
  EXPECT_NEAR(ArcSin(1), pi / 2, 1e-15L);
  EXPECT_NEAR(Log10(1000), 3.0L, 1e-15L);
  EXPECT_EQ(Power(2, 10), 1024.0L);
  EXPECT_NEAR(RadToDeg(pi), 180.0L, 1e-13L);
  EXPECT_NEAR(DegToRad(180), pi, 1e-15L);
}

TEST(MathHelpers, CeilAndFloorGive64BitIntegers) {
  struct Case {
    long double x;
    int64_t ceil, floor;
  } cases[] = {{2.1L, 3, 2}, {-2.1L, -2, -3}, {5e9L, 5000000000, 5000000000}, {-0.5L, 0, -1}, {7, 7, 7}};
  for (const auto& c : cases) {
    EXPECT_EQ(Ceil(c.x), c.ceil) << static_cast<double>(c.x);
    EXPECT_EQ(Floor(c.x), c.floor) << static_cast<double>(c.x);
  }
  EXPECT_THROW(Ceil(1e19L), EORVException);
  EXPECT_THROW(Floor(-1e19L), EORVException);
  EXPECT_THROW(Ceil(std::numeric_limits<long double>::quiet_NaN()), EORVException);
  EXPECT_EQ(Floor(-9223372036854775808.0L), INT64_MIN);
}

TEST(MathHelpers, RoundAndTruncateFloats) {
  struct Case {
    const char* what;
    long double got, expected;
  } cases[] = {
      {"round 2.5", RoundFloat(2.5L, 0), 3},
      {"round -2.5", RoundFloat(-2.5L, 0), -3},
      {"round 2.4", RoundFloat(2.4L, 0), 2},
      {"round negative decimals", RoundFloat(-7.5L, -2), -8},
      {"round 1.25 at 1", RoundFloat(1.25L, 1), 13.0L / 10},
      {"round -1.25 at 1", RoundFloat(-1.25L, 1), -13.0L / 10},
      {"truncate 0.29", TruncateFloat(0.29, 2), 0.29L},
      {"truncate -2.349", TruncateFloat(-2.349, 2), -2.34L},
      {"truncate whole", TruncateFloat(-7.9L, 0), -7},
      {"truncate 1.999", TruncateFloat(1.999L, 2), 1.99L},
      {"zero", RoundFloat(0, 5), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
  // Decimals beyond 20 round at 20 places.
  EXPECT_EQ(RoundFloat(1.005, 25), RoundFloat(1.005, 20));
  EXPECT_EQ(TruncateFloat(1.005, 99), TruncateFloat(1.005, 20));
  EXPECT_NEAR(RoundFloat(1.005, 25), 1.005L, 1e-15L);
}

TEST(MathHelpers, RoundAndTruncateDecimalsExactly) {
  auto cur = [](int64_t scaled) { return TORVCurrency::FromScaled(scaled); };
  struct Case {
    const char* what;
    TORVCurrency got;
    int64_t expected;
  } cases[] = {
      {"round 2.345 at 2", RoundCurr(cur(23450), 2), 23500},
      {"round -2.345 at 2", RoundCurr(cur(-23450), 2), -23500},
      {"round 2.3449 at 2", RoundCurr(cur(23449), 2), 23400},
      {"truncate -2.349 at 2", TruncateCurr(cur(-23490), 2), -23400},
      {"round 12.3456 at 4", RoundCurr(cur(123456), 4), 123456},
      {"truncate 12.3456 at 9", TruncateCurr(cur(123456), 9), 123456},
      {"round 12.5 at 0", RoundCurr(cur(125000), 0), 130000},
      {"round -12.5 at 0", RoundCurr(cur(-125000), 0), -130000},
      {"round 12.4999 at 0", RoundCurr(cur(124999), 0), 120000},
      {"round 12.5 at -3", RoundCurr(cur(125000), -3), 130000},
      {"truncate 12.9999 at 0", TruncateCurr(cur(129999), 0), 120000},
      {"round 1.2345 at 3", RoundCurr(cur(12345), 3), 12350},
      {"round 0.0004 at 3", RoundCurr(cur(4), 3), 0},
      {"round -0.0005 at 3", RoundCurr(cur(-5), 3), -10},
      {"truncate 0.0009 at 3", TruncateCurr(cur(9), 3), 0},
      {"truncate lowest", TruncateCurr(cur(INT64_MIN), 0), INT64_MIN / 10000 * 10000},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got.Scaled(), c.expected) << c.what;
  EXPECT_THROW(RoundCurr(cur(INT64_MAX), 0), EORVException);
  EXPECT_THROW(RoundCurr(cur(INT64_MIN), 0), EORVException);
  try {
    RoundCurr(cur(INT64_MAX), 0);
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), ORV_VALUE_ERROR.Code);
    EXPECT_EQ(E.ErrorMsg(), u"An error occurred with the value 922337203685477.5807 (The value 922337203685477.5807 "
                            u"is out of the range of permissible values for the Decimal type)");
  }
  EXPECT_EQ(RoundCurr(cur(INT64_MIN), 2).Scaled(), INT64_MIN / 100 * 100);
}

}  // namespace
}  // namespace orv
