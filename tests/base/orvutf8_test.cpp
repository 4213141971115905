#include "base/orvutf8.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(PlatformText, Utf8RoundTripIncludingSurrogatePairs) {
  const std::u16string text = u"a\u00e9\u20ac\U0001F600z";
  EXPECT_EQ(StringToUtf8(text), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z");
  EXPECT_EQ(Utf8ToString(StringToUtf8(text)), text);
}

TEST(PlatformText, IllFormedInputBecomesReplacementCharacter) {
  EXPECT_EQ(StringToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
  EXPECT_EQ(Utf8ToString("\xc3"), u"\ufffd");
  EXPECT_EQ(Utf8ToString("\xc0\x80"), u"\ufffd");  // overlong
  EXPECT_EQ(Utf8ToString("\xff" "a"), u"\ufffd" u"a");
}

}  // namespace
}  // namespace orv
