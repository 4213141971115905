#include "core/orvcharset.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(CharSet, NamesSizesAndUtf16Signs) {
  EXPECT_EQ(CharSetToString(0), u"ANSI");
  EXPECT_EQ(CharSetToString(1), u"Unicode");
  EXPECT_EQ(CharSetToString(2), u"Unknown");
  EXPECT_EQ(CharSize(0), 1);
  EXPECT_EQ(CharSize(1), 2);
  EXPECT_EQ(CharSize(-1), 0);
  EXPECT_TRUE(ContainsUnicodePreamble({0xFF, 0xFE, 0x41}));
  EXPECT_FALSE(ContainsUnicodePreamble({0xFF}));
  EXPECT_TRUE(ContainsUnicodeChars({0x41, 0x00}));
  EXPECT_FALSE(ContainsUnicodeChars({0x41, 0x42, 0x00}));
}

}  // namespace
}  // namespace orv
