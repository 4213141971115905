#include "platform/orvplatformtime.h"

#include <gtest/gtest.h>

#include <chrono>

namespace orv {
namespace {

class PlatformTime : public ::testing::Test {
 protected:
  void TearDown() override { ResetTickCountForTest(); }
};

TEST_F(PlatformTime, SleepAdvancesTickCountByAtLeastTheWait) {
  const uint32_t begin = GetTickCount();
  const auto clockBegin = std::chrono::steady_clock::now();
  Sleep(20);
  const uint32_t span = GetTickCount() - begin;
  const auto clockSpan = std::chrono::steady_clock::now() - clockBegin;
  EXPECT_GE(clockSpan, std::chrono::milliseconds(20));
  EXPECT_GE(span, 19u);  // a reading may be up to 1 ms stale at either end
}

TEST_F(PlatformTime, TickCountWrapsAfter32BitsAndDifferencesStayRight) {
  SetTickCountForTest(0xFFFFFFFFu - 5);
  const uint32_t before = GetTickCount();
  EXPECT_GE(before, 0xFFFFFFFFu - 5);
  Sleep(15);
  const uint32_t after = GetTickCount();
  EXPECT_LT(after, before);  // wrapped through zero
  const uint32_t span = after - before;
  EXPECT_GE(span, 14u);
  EXPECT_LT(span, 60000u);
}

TEST_F(PlatformTime, ResetReturnsToTheTrueReading) {
  const uint32_t truth = GetTickCount();
  SetTickCountForTest(truth + 0x80000000u);
  EXPECT_GE(GetTickCount() - truth, 0x80000000u);
  ResetTickCountForTest();
  EXPECT_LT(GetTickCount() - truth, 60000u);
}

}  // namespace
}  // namespace orv
