#include "platform/orvplatformlog.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

TEST(PlatformLog, FallbackWritesOneUtf8LinePerMessage) {
  testing::internal::CaptureStderr();
  PlatformLogFallback(u"Flush failed for caf\u00E9 \U0001F600");
  PlatformLogFallback(u"");
  const std::string Written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Written, "Flush failed for caf\xC3\xA9 \xF0\x9F\x98\x80\n\n");
}

}  // namespace
}  // namespace orv
