#include "platform/orvplatformlocale.h"

#include <set>

#include <gtest/gtest.h>

#include "core/orvcommon.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

TEST(PlatformLocale, TableIsSortedWithUniqueIDsAndThreeLetterNames) {
  std::set<int32_t> ids;
  int32_t previous = 0;
  for (const TORVPlatformLocale& locale : PlatformLocales()) {
    EXPECT_GT(locale.ID, previous);
    previous = locale.ID;
    EXPECT_TRUE(ids.insert(locale.ID).second);
    EXPECT_EQ(TORVString(locale.ShortName).size(), 3u) << locale.ID;
    EXPECT_FALSE(TORVString(locale.Name).empty());
  }
  EXPECT_GT(ids.size(), 200u);
}

// Collation IDs and names stored in files refer to this table: a change to
// any ID or short name, or to their order, breaks existing databases.
TEST(PlatformLocale, TableFingerprintNeverChanges) {
  TORVString text;
  for (const TORVPlatformLocale& locale : PlatformLocales())
    text += AsciiToString(std::to_string(locale.ID)) + u":" + locale.ShortName + u":" +
            AsciiToString(std::to_string(locale.CodePage)) + u";";
  EXPECT_EQ(PlatformLocales().size(), 211u);
  EXPECT_EQ(CalculateCRC32(text), 0x0BA8307Du) << std::hex << CalculateCRC32(text);
}

TEST(PlatformLocale, EveryLocaleHasACollator) {
  for (const TORVPlatformLocale& locale : PlatformLocales()) {
    int32_t result = 99;
    EXPECT_TRUE(PlatformCompareStrings(locale.ID, 0, u"a", u"b", result)) << locale.ID;
    EXPECT_EQ(result, -1) << locale.ID;
  }
  EXPECT_TRUE(PlatformLocaleKnown(0x10407));
  EXPECT_FALSE(PlatformLocaleKnown(0x7777));
  int32_t result = 99;
  EXPECT_FALSE(PlatformCompareStrings(0x7777, 0, u"a", u"b", result));
  EXPECT_EQ(result, 99);
}

TEST(PlatformLocale, CaseMappingKeepsLengthAndFollowsTheLocale) {
  TORVString text = u"straße i";
  ASSERT_TRUE(PlatformMapCase(0x0409, true, text));
  EXPECT_EQ(text, u"STRAßE I");
  text = u"i";
  ASSERT_TRUE(PlatformMapCase(0x041F, true, text));  // Turkish
  EXPECT_EQ(text, u"\u0130");
  text = u"I";
  ASSERT_TRUE(PlatformMapCase(0x041F, false, text));
  EXPECT_EQ(text, u"\u0131");
  text = u"\U00010428x";  // Deseret small letter
  ASSERT_TRUE(PlatformMapCase(0x0409, true, text));
  EXPECT_EQ(text, u"\U00010400X");
  text = u"abc";
  EXPECT_FALSE(PlatformMapCase(0x7777, true, text));
  EXPECT_EQ(text, u"abc");
}

TEST(PlatformLocale, CharacterClassesAndSimpleCaseMaps) {
  EXPECT_EQ(PlatformUpperCodePoint(0xFF), 0x178u);
  EXPECT_EQ(PlatformLowerCodePoint(0x160), 0x161u);
  EXPECT_EQ(PlatformUpperCodePoint(0xDF), 0xDFu);  // no one-for-one capital
  EXPECT_TRUE(PlatformIsLetter(0x15C));
  EXPECT_TRUE(PlatformIsLetter(0x4E2D));
  EXPECT_FALSE(PlatformIsLetter(u'1'));
  EXPECT_TRUE(PlatformIsMark(0x301));
  EXPECT_TRUE(PlatformIsDigit(u'7'));
  EXPECT_FALSE(PlatformIsDigit(u'x'));
}

}  // namespace
}  // namespace orv
