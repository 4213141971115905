#include "core/orvenv.h"

#include <cerrno>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "core/orvcollation.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

TEST(Environment, CollationNamesRoundTrip) {
  const TORVEnvironment& env = Environment();
  TORVString base;
  bool ci = false, ai = false, ki = false, wi = false;
  ParseCollation(u"ENU_CI_AI", base, ci, ai, ki, wi);
  ASSERT_EQ(base, u"ENU");
  int32_t id = env.ConvertLocaleNameToID(base, 1);
  EXPECT_EQ(id, 1033);
  if (ci) SetLocaleFlag(id, CollationCaseInsensitiveBit);
  if (ai) SetLocaleFlag(id, CollationAccentInsensitiveBit);
  EXPECT_FALSE(ki || wi);
  EXPECT_EQ(env.GetCollationName(id, 1), u"ENU_CI_AI");
  EXPECT_EQ(env.GetCollationName(1033 | 0xF00000, 0), u"ENU_CI_AI_KI_WI");

  EXPECT_EQ(env.GetCollationName(0, 0), u"ANSI");
  EXPECT_EQ(env.GetCollationName(0, 1), u"UNI");
  EXPECT_EQ(env.GetCollationName(0x7777 | (1 << 20), 1), u"_CI");
  EXPECT_EQ(env.ConvertIDToLocaleName(0x7777, 1), u"");
}

TEST(Environment, LocaleNamesMatchWithoutRegardToCase) {
  const TORVEnvironment& env = Environment();
  EXPECT_EQ(env.ConvertLocaleNameToID(u"enu", 1), 1033);
  EXPECT_EQ(env.ConvertLocaleNameToID(u"uni", 1), 0);
  EXPECT_EQ(env.ConvertLocaleNameToID(u"XYZ", 1), 0);
  EXPECT_FALSE(env.ValidLocaleName(u"ANSI", 1));
  EXPECT_TRUE(env.ValidLocaleName(u"uni", 1));
  EXPECT_TRUE(env.ValidLocaleName(u"ansi", 0));
  EXPECT_TRUE(env.ValidLocaleName(u"deu", 0));
  EXPECT_FALSE(env.ValidLocaleName(u"XYZ", 0));
  EXPECT_TRUE(env.ValidLocale(0));
  EXPECT_TRUE(env.ValidLocale(1031));
  EXPECT_FALSE(env.ValidLocale(0x7777));
}

TEST(Environment, LocaleTableHasDistinctNamesAndThePhoneBookSort) {
  const TORVEnvironment& env = Environment();
  std::set<TORVString> names;
  int32_t german = -1;
  for (int32_t i = 0; i < env.GetNumLocales(); ++i) {
    EXPECT_TRUE(names.insert(env.GetLocales(i).GetShortName()).second) << StringToUtf8(env.GetLocales(i).GetShortName());
    if (env.GetLocales(i).GetID() == 1031) german = i;
  }
  ASSERT_GE(german, 0);
  const TORVLocale& dep = env.GetLocales(german + 1);
  EXPECT_EQ(dep.GetID(), 66567);
  EXPECT_EQ(dep.GetShortName(), u"DEP");
  EXPECT_EQ(dep.GetName(), u"German (German Phone Book)");
  EXPECT_EQ(env.GetLocales(german).GetName(), u"German (Germany)");
  // Two scripts of one language get the script letter.
  EXPECT_EQ(env.ConvertIDToLocaleName(1068, 1), u"AZEL");
  EXPECT_EQ(env.ConvertIDToLocaleName(2092, 1), u"AZEC");
  EXPECT_EQ(env.ConvertIDToLocaleName(1091, 1), u"UZBL");
  EXPECT_EQ(env.ConvertIDToLocaleName(2115, 1), u"UZBC");

  std::vector<TORVString> list;
  env.GetLocaleNames(list, 0);
  ASSERT_EQ(static_cast<int32_t>(list.size()), env.GetNumLocales() + 1);
  EXPECT_EQ(list[0], u"ANSI");
  EXPECT_EQ(list[1], env.GetLocales(0).GetShortName());
}

TEST(Environment, AFreshEnvironmentHasNoLocalesUntilInitialised) {
  TORVEnvironment env;
  EXPECT_EQ(env.GetNumLocales(), 0);
  EXPECT_EQ(env.ConvertIDToLocaleName(1033, 1), u"");
  env.Initialize();
  EXPECT_EQ(env.GetNumLocales(), Environment().GetNumLocales());
}

TEST(Environment, CodePagesOfLocales) {
  const TORVEnvironment& env = Environment();
  EXPECT_EQ(env.LocaleToCodePage(0), 0);
  EXPECT_EQ(env.LocaleToCodePage(1033), 1252);
  EXPECT_EQ(env.LocaleToCodePage(1041), 932);
  EXPECT_EQ(env.LocaleToCodePage(1049), 1251);
  EXPECT_EQ(env.LocaleToCodePage(66567), 1252);
  EXPECT_EQ(env.LocaleToCodePage(1081), 0);  // Hindi has no ANSI code page
  EXPECT_EQ(env.LocaleToCodePage(0x7777), 0);
}

TEST(Environment, CodePageConversionRoundTrips) {
  const TORVEnvironment& env = Environment();
  const TORVString text = u"\u0160koda \u20AC";
  const TORVAnsiString ansi = env.MapStringToAnsi(text, 1252);
  EXPECT_EQ(ansi, "\x8Akoda \x80");
  TORVString back;
  env.MapStringToUnicode(ansi, 1252, back);
  EXPECT_EQ(back, text);
  EXPECT_EQ(env.MapStringToAnsi(u"", 1252), "");
}

TEST(Environment, CollationIDBitRoutines) {
  EXPECT_EQ(GetLocaleID(GetLanguageID(7, 1), 1), 66567);
  EXPECT_EQ(GetPrimaryLanguageID(1033), 9);
  EXPECT_EQ(GetSubLanguageID(1033), 1);
  int32_t id = 1033;
  SetLocaleFlag(id, CollationAccentInsensitiveBit);
  EXPECT_TRUE(GetLocaleFlag(id, 21));
  EXPECT_FALSE(GetLocaleFlag(id, 20));
  int32_t dest = 1031 | (1 << 23);
  CopyLocaleFlags(id | (1 << 20), dest);
  EXPECT_EQ(dest, 1031 | (1 << 20) | (1 << 21) | (1 << 23));
  ClearLocaleFlag(dest, 23);
  EXPECT_EQ(dest, 1031 | (1 << 20) | (1 << 21));
  ClearLocaleFlags(dest);
  EXPECT_EQ(dest, 1031);
}

TEST(Environment, ElapsedTimeSpansTheTickWrap) {
  EXPECT_EQ(TORVEnvironment::CalcElapsedTime(4294967000u, 500u), 796u);
  EXPECT_EQ(TORVEnvironment::CalcElapsedTime(100u, 350u), 250u);
}

TEST(Environment, OperatingSystemServices) {
  const TORVEnvironment& env = Environment();
  EXPECT_GT(env.GetOSVersion().Scaled(), 0);
  EXPECT_EQ(env.GetTempDirectory().back(), u'/');
  EXPECT_FALSE(env.GetComputerName().empty());
  EXPECT_LE(env.GetComputerName().size(), 15u);
  EXPECT_EQ(env.GetProcessID(), PlatformProcessID());
  env.SetLastError(ENOENT);
  EXPECT_EQ(env.GetLastError(), ENOENT);
  EXPECT_THROW(env.RaiseLastError(), EORVPlatformError);
  EXPECT_EQ(env.ErrorMessage(ENOENT), u"No such file or directory");

  TORVLibraryHandle handle = env.LoadLibrary(u"libm.so.6");
  ASSERT_TRUE(TORVEnvironment::LibraryLoaded(handle));
  EXPECT_NE(env.GetFunctionPtr(handle, u"sqrt"), nullptr);
  env.FreeLibrary(handle);
  EXPECT_EQ(handle, 0u);
  env.FreeLibrary(handle);  // a second free does nothing
}

}  // namespace
}  // namespace orv
