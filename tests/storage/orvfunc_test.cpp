#include "storage/orvfunc.h"

#include <gtest/gtest.h>

#include <climits>

namespace orv {
namespace {

TEST(FunctionCodes, NamesListedCodesAndFallsBackToNoneOrUserFunction) {
  struct Case {
    int32_t code;
    const char16_t* name;
  } cases[] = {
      {0, u"None"},
      {1, u"Open Session"},
      {9, u"None"},
      {10, u"Set Information Collate"},
      {80, u"Grant Privilege(s)"},
      {214, u"Set to Sequence #"},
      {303, u"Get Server Date/Time"},
      {423, u"Rename Store"},
      {800, u"Ping Server"},
      {801, u"None"},
      {9000, u"None"},
      {9005, u"None"},
      {9997, u"None"},
      {9998, u"Login Callback Response"},
      {9999, u"General Callback Response"},
      {10000, u"User Function [10000]"},
      {123456, u"User Function [123456]"},
      {INT32_MAX, u"User Function [2147483647]"},
      {-5, u"None"},
      {INT32_MIN, u"None"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetFunctionNameForCode(c.code), c.name) << c.code;
}

TEST(FunctionCodes, ExactlyTheListedCodesBelowUserRangeHaveNames) {
  int named = 0;
  for (int32_t code = 0; code < 10000; ++code) {
    if (GetFunctionNameForCode(code) != u"None") ++named;
  }
  // 205 listed codes, one of which (0) is itself named "None".
  EXPECT_EQ(named, 204);
}

}  // namespace
}  // namespace orv
