#include "base/orvassert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orv {
namespace {

TEST(Assert, ActiveInTheTestBuildAndNamesTheFailedCondition) {
  ASSERT_EQ(ORV_ASSERTIONS_ACTIVE, 1) << "the test build checks invariants";
  int32_t Evaluated = 0;
  ORV_ASSERT(++Evaluated == 1);
  EXPECT_EQ(Evaluated, 1);
  try {
    ORV_ASSERT(Evaluated == 2);
    FAIL() << "a false condition must raise";
  } catch (const std::logic_error& E) {
    EXPECT_NE(std::string(E.what()).find("Evaluated == 2"), std::string::npos);
    EXPECT_NE(std::string(E.what()).find("orvassert_test.cpp"), std::string::npos);
  }
}

}  // namespace
}  // namespace orv
