#include "platform/orvplatformcodepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orverror.h"

namespace orv {
namespace {

struct TSample {
  int32_t CodePage;
  std::u16string Text;
  std::string Bytes;
};

TEST(PlatformCodePage, ConvertsEachCodePageBothWays) {
  const std::vector<TSample> samples = {
      {0, u"caf\u00e9 \u20ac", "caf\xe9 \x80"},
      {1252, u"\u00c4\u00d6\u00dc\u00df", "\xc4\xd6\xdc\xdf"},
      {1250, u"\u0141\u00f3d\u017a", "\xa3\xf3" "d\x9f"},
      {1251, u"\u041c\u0438\u0440", "\xcc\xe8\xf0"},
      {1253, u"\u0391\u03c9", "\xc1\xf9"},
      {1254, u"\u011f\u0130", "\xf0\xdd"},
      {1255, u"\u05d0\u05ea", "\xe0\xfa"},
      {1256, u"\u0627\u0644", "\xc7\xe1"},
      {1257, u"\u0105\u017e", "\xe0\xfe"},
      {1258, u"\u0103\u20ab", "\xe3\xfe"},
      {874, u"\u0e01\u0e3f", "\xa1\xdf"},
      {932, u"a\u65e5\u672c\uff71", "a\x93\xfa\x96{\xb1"},
      {936, u"\u4e2d\u6587", "\xd6\xd0\xce\xc4"},
      {949, u"\ud55c\uae00", "\xc7\xd1\xb1\xdb"},
      {950, u"\u4e2d\u6587", "\xa4\xa4\xa4\xe5"},
  };
  for (const TSample& sample : samples) {
    SCOPED_TRACE(sample.CodePage);
    EXPECT_EQ(MapStringToAnsi(sample.Text, sample.CodePage), sample.Bytes);
    EXPECT_EQ(MapStringToUnicode(sample.Bytes, sample.CodePage), sample.Text);
  }
}

TEST(PlatformCodePage, DefaultCodePageKeepsEveryByte) {
  // Text read from an ANSI stream and written back must come out unchanged,
  // including the five bytes the code page leaves unassigned.
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  const TORVString text = MapStringToUnicode(bytes, 0);
  EXPECT_EQ(text.size(), 256u);
  EXPECT_EQ(text[0x81], u'\u0081');
  EXPECT_EQ(MapStringToAnsi(text, 0), bytes);
}

TEST(PlatformCodePage, UnmappableCharactersBecomeQuestionMarks) {
  // One "?" per character, also for a surrogate pair and a lone surrogate.
  EXPECT_EQ(MapStringToAnsi(u"a\u4e2db", 1252), "a?b");
  EXPECT_EQ(MapStringToAnsi(u"a\U0001F600b", 1252), "a?b");
  EXPECT_EQ(MapStringToAnsi(std::u16string(u"a") + char16_t(0xD800) + u"b", 1252), "a?b");
  EXPECT_EQ(MapStringToAnsi(u"\u0416", 932), "\x84\x47");
  EXPECT_EQ(MapStringToAnsi(u"\u05d0", 936), "?");
}

TEST(PlatformCodePage, EmbeddedZerosAreConverted) {
  const std::string bytes("a\0b", 3);
  EXPECT_EQ(MapStringToUnicode(bytes, 0), std::u16string(u"a\0b", 3));
  EXPECT_EQ(MapStringToAnsi(std::u16string(u"a\0b", 3), 0), bytes);
}

TEST(PlatformCodePage, EmptyTextStaysEmpty) {
  EXPECT_EQ(MapStringToAnsi(u"", 932), "");
  EXPECT_EQ(MapStringToUnicode("", 1251), u"");
}

TEST(PlatformCodePage, IllFormedDoubleByteInputIsReplacedNotDropped) {
  // A lead byte with nothing after it still yields one character, so the
  // length of what follows is not silently lost.
  const TORVString text = MapStringToUnicode("ab\x93", 932);
  ASSERT_EQ(text.size(), 3u);
  EXPECT_EQ(text.substr(0, 2), u"ab");
  EXPECT_NE(text[2], u'\x93');
}

TEST(PlatformCodePage, UnsupportedCodePageRaises) {
  for (int32_t codePage : {437, 65001, -1, 1249, 1259}) {
    SCOPED_TRACE(codePage);
    EXPECT_FALSE(IsCodePageSupported(codePage));
    EXPECT_THROW(MapStringToAnsi(u"abc", codePage), EORVBaseException);
    EXPECT_THROW(MapStringToUnicode("abc", codePage), EORVBaseException);
  }
  for (int32_t codePage : {0, 874, 932, 936, 949, 950, 1250, 1258}) {
    EXPECT_TRUE(IsCodePageSupported(codePage)) << codePage;
  }
}

}  // namespace
}  // namespace orv
