#include "core/orvfilepath.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(PathHelpers, SplitAndJoinNames) {
  EXPECT_EQ(ExcludeTrailingBackslash(u"/data/"), u"/data");
  EXPECT_EQ(ExcludeTrailingBackslash(u" /data/ "), u"/data");
  EXPECT_EQ(IncludeTrailingBackslash(u""), u"");
  EXPECT_EQ(IncludeTrailingBackslash(u"/data"), u"/data/");
  EXPECT_EQ(IncludeTrailingBackslash(u"/data/"), u"/data/");
  EXPECT_EQ(ExtractFilePath(u"/data/T.ORVTbl"), u"/data");
  EXPECT_EQ(ExtractFilePath(u"T.ORVTbl"), u"T.ORVTbl");
  EXPECT_EQ(ExtractFileName(u"/data/T.ORVTbl"), u"T.ORVTbl");
  EXPECT_EQ(ExtractFileExt(u"/data/T.ORVTbl"), u".ORVTbl");
  EXPECT_EQ(ExtractFileExt(u"/data.d/T"), u"");
  EXPECT_EQ(ExtractFileRoot(u"/data/T.ORVTbl", u""), u"/data/T");
  EXPECT_EQ(ExtractFileRoot(u"/data/T.ORVTbl", u".orvtbl"), u"/data/T");
  EXPECT_EQ(ExtractFileRoot(u"/data/T.ORVTbl", u".ORVIdx"), u"/data/T.ORVTbl");
  EXPECT_EQ(ExtractFileRoot(u"/data.d/T", u""), u"/data.d/T");
  EXPECT_EQ(ChangeFileExt(u"/data/T.ORVTbl", u".ORVIdx"), u"/data/T.ORVIdx");
  EXPECT_EQ(ChangeFileExt(u"/data/T", u".ORVIdx"), u"/data/T.ORVIdx");
  EXPECT_EQ(EnsureFileExt(u" /data/T.tmp ", u".TMP", u".ORVTbl"), u"/data/T.ORVTbl");
  EXPECT_EQ(EnsureFileExt(u"/data/T", u".tmp", u".ORVTbl"), u"/data/T.ORVTbl");
  EXPECT_EQ(EnsureFileExt(u"/data/T.x", u"", u".ORVTbl"), u"/data/T.x.ORVTbl");
  EXPECT_EQ(StripFilePathAndExtension(u"/data/T.ORVTbl", u".ORVTbl"), u"T");
  EXPECT_FALSE(IsRelativePath(u"/data"));
  EXPECT_FALSE(IsRelativePath(u"C:\\data"));
  EXPECT_TRUE(IsRelativePath(u"data/x"));
  EXPECT_TRUE(IsRelativePath(u""));
}

}  // namespace
}  // namespace orv
