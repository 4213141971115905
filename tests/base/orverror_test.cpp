#include "base/orverror.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(EngineException, PrefixOnlyForCodesOneTo9999) {
  struct Case {
    int32_t code;
    const char* text;
  } cases[] = {
      {1, "Orvenmark Error #1 boom"},
      {401, "Orvenmark Error #401 boom"},
      {9999, "Orvenmark Error #9999 boom"},
      {0, "boom"},
      {-1, "boom"},
      {10000, "boom"},
  };
  for (const auto& c : cases) {
    EORVException e(c.code, u"boom");
    EXPECT_STREQ(e.what(), c.text) << c.code;
    EXPECT_EQ(e.ErrorMsg(), u"boom");
    EXPECT_EQ(e.ErrorCode(), c.code);
    EXPECT_EQ(e.ErrorLine(), 0);
    EXPECT_EQ(e.ErrorColumn(), 0);
  }
}

TEST(EngineException, EmptyMessageKeepsPrefixWithItsBlank) {
  EORVException e(5, u"");
  EXPECT_STREQ(e.what(), "Orvenmark Error #5 ");
  EXPECT_TRUE(e.ErrorMsg().empty());
}

TEST(EngineException, ReRaiseFromFieldsDoesNotDoublePrefix) {
  try {
    try {
      throw EORVException(700, u"bad SQL", 3, 14);
    } catch (const EORVException& e) {
      throw EORVException(e.ErrorCode(), e.ErrorMsg(), e.ErrorLine(), e.ErrorColumn());
    }
  } catch (const EORVException& again) {
    EXPECT_STREQ(again.what(), "Orvenmark Error #700 bad SQL");
    EXPECT_EQ(again.Message(), u"Orvenmark Error #700 bad SQL");
    EXPECT_EQ(again.ErrorCode(), 700);
    EXPECT_EQ(again.ErrorMsg(), u"bad SQL");
    EXPECT_EQ(again.ErrorLine(), 3);
    EXPECT_EQ(again.ErrorColumn(), 14);
  }
}

TEST(EngineException, AbortIsADistinctEngineException) {
  try {
    RaiseAbortException(u"connection lost");
  } catch (const EORVException&) {
    FAIL() << "abort caught as EORVException";
  } catch (const EORVBaseException& e) {
    EXPECT_STREQ(e.what(), "connection lost");
  }
}

TEST(EngineException, WhatIsUtf8) {
  EORVException e(0, u"caf\u00e9 \u20ac");
  EXPECT_STREQ(e.what(), "caf\xc3\xa9 \xe2\x82\xac");
}

TEST(FormatString, Cases) {
  struct Case {
    std::u16string format;
    std::vector<std::u16string> args;
    std::u16string expected;
  } cases[] = {
      {u"An error occurred with the %s %s (%s)", {u"table", u"t1"}, u"An error occurred with the table t1 (%s)"},
      {u"%s and %S", {u"a", u"b"}, u"a and b"},
      {u"100%d %s", {u"x"}, u"100%d x"},
      {u"%%s", {u"x"}, u"%x"},
      {u"trailing %", {}, u"trailing %"},
      {u"%s|%s", {u"%s", u"y"}, u"%s|y"},
      {u"", {u"unused"}, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatString(c.format, c.args), c.expected);
}

}  // namespace
}  // namespace orv
