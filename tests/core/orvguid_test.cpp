#include "core/orvguid.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "core/orvcollation.h"

namespace orv {
namespace {

TEST(Guid, TextIsBracedUpperCaseAndNewEachTime) {
  const TORVString Guid = GUIDAsString();
  ASSERT_EQ(Guid.size(), 38u);
  EXPECT_EQ(Guid[0], u'{');
  EXPECT_EQ(Guid[37], u'}');
  for (int I : {9, 14, 19, 24}) EXPECT_EQ(Guid[static_cast<std::size_t>(I)], u'-');
  EXPECT_EQ(Guid, UpperStringOrdinal(Guid));
  // Version 4, variant 1.
  EXPECT_EQ(Guid[15], u'4');
  EXPECT_NE(TORVString(u"89AB").find(Guid[20]), TORVString::npos);
  EXPECT_NE(Guid, GUIDAsString());
}

}  // namespace
}  // namespace orv
