#include "core/orvorigin.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(Origin, BuildsAndParsesDottedPaths) {
  TORVString db = u"x", schema = u"x", table, column;
  ParseOrigin(u"T.C", db, schema, table, column);
  EXPECT_EQ(db, u"");
  EXPECT_EQ(schema, u"");
  EXPECT_EQ(table, u"T");
  EXPECT_EQ(column, u"C");
  ParseOrigin(u"D.S.T.C.extra", db, schema, table, column);
  EXPECT_EQ(db + u"|" + schema + u"|" + table + u"|" + column, u"D|S|T|C");
  ParseOrigin(u"C", db, schema, table, column);
  EXPECT_EQ(db + u"|" + schema + u"|" + table + u"|" + column, u"|||C");
  EXPECT_EQ(BuildOrigin(u"", u"Default", u"T", u"C", u"Default"), u"T.C");
  EXPECT_EQ(BuildOrigin(u"", u"default", u"T", u"C", u"Default"), u"T.C");
  EXPECT_EQ(BuildOrigin(u"", u"Sales", u"T", u"C", u"Default"), u"Sales.T.C");
  EXPECT_EQ(BuildOrigin(u"DB", u"", u"T", u"C", u"Default"), u"DB.Default.T.C");
}

}  // namespace
}  // namespace orv
