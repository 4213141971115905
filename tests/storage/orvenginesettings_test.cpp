#include "storage/orvenginesettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "storage/orvenginemgr.h"

namespace orv {
namespace {

const TORVDigest& DigestOf(const TORVString& Text, int32_t CharacterSet) {
  static std::vector<std::unique_ptr<TORVDigest>> Digests;
  Digests.push_back(std::make_unique<TORVDigest>());
  if (CharacterSet == CharacterSetAnsi)
    Digests.back()->SetAsAnsiString(StringToUtf8(Text));  // ASCII texts: the same bytes in code page 1252
  else
    Digests.back()->SetAsUnicodeString(Text);
  return *Digests.back();
}

class EngineSettings : public ::testing::Test {
 protected:
  std::unique_ptr<TORVEngineManager> FEngine = CreateEngineManager();
  TORVEngineManagerSettings& Settings() { return FEngine->GetSettings(); }
};

TEST_F(EngineSettings, GuardedChangeWhileOpenRaises408AndKeepsTheValue) {
  FEngine->Open();
  try {
    Settings().SetSignature(u"KILN_MARIGOLD");
    FAIL() << "expected 408";
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), 408);
    EXPECT_EQ(StringToUtf8(E.ErrorMsg()),
              "The Orvenmark engine cannot be open when performing this operation (MODIFY ENGINE)");
  }
  EXPECT_EQ(Settings().GetSignature(), u"kiln_marigold");
  EXPECT_TRUE(Settings().GetSignatureDigest().Compare(DigestOf(u"kiln_marigold", CharacterSetUnicode)));
}

TEST_F(EngineSettings, EveryGuardedChangeRefusesWhileOpenAndTheUnguardedOnesPass) {
  auto& S = Settings();
  const std::vector<std::pair<std::string, std::function<void()>>> Guarded = {
      {"CharacterSet", [&] { S.SetCharacterSet(0); }},
      {"BufferedFileIO", [&] { S.SetBufferedFileIO(true); }},
      {"FlushInterval", [&] { S.SetBufferedFileIOFlushInterval(5); }},
      {"EncryptionPassword", [&] { S.SetEncryptionPassword(u"x"); }},
      {"CommsEncryptionPassword", [&] { S.SetCommsEncryptionPassword(u"x"); }},
      {"ConfigMemory", [&] { S.SetConfigMemory(true); }},
      {"ConfigPath", [&] { S.SetConfigPath(u"/cfg"); }},
      {"RowExtension", [&] { S.SetRowExtension(u".Rows"); }},
      {"MaximumLogFileSize", [&] { S.SetMaximumLogFileSize(1 << 25); }},
      {"LogCategories", [&] { S.SetLogCategories(1); }},
      {"TempTablesPath", [&] { S.SetTempTablesPath(u"/elsewhere/"); }},
      {"ShowPasswords", [&] { S.SetShowPasswords(false); }},
      {"BufferedAdd", [&] { S.GetBufferedFileIOSettings().Add(u"*.x", 8, 16, 10, false); }},
      {"BufferedClear", [&] { S.GetBufferedFileIOSettings().Clear(); }},
      {"Assign", [&] { S.Assign(&S); }},
  };
  FEngine->Open();
  for (const auto& [Name, Change] : Guarded) {
    try {
      Change();
      ADD_FAILURE() << Name << " changed while open";
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), 408) << Name;
    }
  }
  S.SetConfigName(u"orvconfig");  // a change of case only is no change
  EXPECT_EQ(S.GetConfigName(), u"ORVConfig");
  S.SetStatementLogging(true);
  S.SetMinStatementExecutionTime(10);
  S.SetMaxLoggedStatements(5);
  EXPECT_TRUE(S.GetStatementLogging());
  EXPECT_EQ(S.GetMaxLoggedStatements(), 5);
  EXPECT_EQ(FEngine->GetLoggedStatements().GetMaxCount(), 5) << "the open engine's list follows";
}

TEST_F(EngineSettings, LogFileSizeHasAFloor) {
  Settings().SetMaximumLogFileSize(1000);
  EXPECT_EQ(Settings().GetMaximumLogFileSize(), 262144);
}

TEST_F(EngineSettings, DigestsFollowTheCharacterSet) {
  auto& S = Settings();
  S.SetSignature(u"copper_wren");
  S.SetCharacterSet(CharacterSetAnsi);
  EXPECT_TRUE(S.GetSignatureDigest().Compare(DigestOf(u"copper_wren", CharacterSetAnsi)));
  EXPECT_TRUE(S.GetEncryptionPasswordDigest().Compare(DigestOf(u"brindlewort", CharacterSetAnsi)));
  EXPECT_TRUE(S.ValidateSignature(DigestOf(u"kiln_marigold", CharacterSetAnsi)));
  EXPECT_TRUE(S.ValidateSignature(DigestOf(u"copper_wren", CharacterSetAnsi)));
  EXPECT_FALSE(S.ValidateSignature(DigestOf(u"kiln_marigold", CharacterSetUnicode)));
  S.SetCharacterSet(CharacterSetUnicode);
  EXPECT_TRUE(S.GetSignatureDigest().Compare(DigestOf(u"copper_wren", CharacterSetUnicode)));
  EXPECT_TRUE(S.ValidateSignature(DigestOf(u"kiln_marigold", CharacterSetUnicode)));
}

TEST_F(EngineSettings, AssignCopiesEverySettingAndTheOverridesDeeply) {
  auto& From = Settings();
  From.SetCharacterSet(CharacterSetAnsi);
  From.SetSignature(u"copper_wren");
  From.SetCatalogExtension(u".Cat");
  From.SetMinStatementExecutionTime(5);
  From.GetBufferedFileIOSettings().Add(u"*.ORVTbl", 8, 16, 30, true);
  TORVEngineManagerSettings Copy(nullptr);
  Copy.Assign(&From);
  Copy.Assign(nullptr);
  EXPECT_EQ(Copy.GetCharacterSet(), CharacterSetAnsi);
  EXPECT_EQ(Copy.GetSignature(), u"copper_wren");
  EXPECT_TRUE(Copy.GetSignatureDigest().Compare(From.GetSignatureDigest()));
  EXPECT_TRUE(Copy.GetDefaultSignatureDigest().Compare(From.GetDefaultSignatureDigest()));
  EXPECT_EQ(Copy.GetCatalogExtension(), u".Cat");
  EXPECT_EQ(Copy.GetMinStatementExecutionTime(), 5u);
  From.GetBufferedFileIOSettings().Clear();
  ASSERT_EQ(Copy.GetBufferedFileIOSettings().GetCount(), 1);
  EXPECT_EQ(Copy.GetBufferedFileIOSettings().GetFileSettings(0).GetMaximumFileBufferSize(), 16);
}

TEST_F(EngineSettings, BufferedOverridesAreFoundMostRecentFirst) {
  auto& Overrides = Settings().GetBufferedFileIOSettings();
  Overrides.Add(u"*.ORVTbl", 8, 16, 30, false);
  Overrides.Add(u"*Tbl", 16, 32, 60, true);
  EXPECT_EQ(Overrides.Find(u"/data/Customers.ORVTbl")->GetFileName(), u"*Tbl");
  EXPECT_EQ(Overrides.Find(u"/data/CUSTOMERS.orvidx"), nullptr);
  Overrides.Add(u"*TBL", 4, 8, 10, false);  // the same pattern, updated in place
  EXPECT_EQ(Overrides.GetCount(), 2);
  EXPECT_EQ(Overrides.Find(u"x.ORVTbl")->GetFileBufferBlockSize(), 4);
  EXPECT_TRUE(Overrides.Remove(u"*tbl"));
  EXPECT_FALSE(Overrides.Remove(u"*tbl"));
  EXPECT_EQ(Overrides.Find(u"x.ORVTbl")->GetFileName(), u"*.ORVTbl");
}

std::vector<uint32_t> Times(TORVLoggedStatements& List) {
  std::vector<uint32_t> Result;
  List.BeginRead();
  for (int32_t I = 0; I < List.GetCount(); ++I) Result.push_back(List.GetStatements(I).GetExecutionTime());
  List.EndRead();
  return Result;
}

void AddTime(TORVLoggedStatements& List, uint32_t Time) {
  List.Add(u"user", u"proc", 1, u"session", u"", u"db", u"SELECT 1", Time, 0);
}

TEST(LoggedStatements, KeepTheSlowestWhenFull) {
  TORVLoggedStatements List;
  List.SetMaxCount(3);
  for (uint32_t Time : {500u, 100u, 900u}) AddTime(List, Time);
  EXPECT_EQ(Times(List), (std::vector<uint32_t>{900, 500, 100}));
  AddTime(List, 700);
  EXPECT_EQ(Times(List), (std::vector<uint32_t>{900, 700, 500}));
  AddTime(List, 50);
  EXPECT_EQ(Times(List), (std::vector<uint32_t>{900, 700, 500})) << "a faster statement displaces nothing";
  EXPECT_TRUE(List.CheckInvariants());
  List.Clear(700);
  EXPECT_EQ(Times(List), (std::vector<uint32_t>{900, 700})) << "entries at the minimum stay";
  List.Clear(0);
  EXPECT_TRUE(Times(List).empty());
}

TEST(LoggedStatements, MaxCountNeverAddsEntries) {
  TORVLoggedStatements List;
  List.SetMaxCount(10);
  for (uint32_t Time : {3u, 2u, 1u}) AddTime(List, Time);
  List.SetMaxCount(5);
  EXPECT_EQ(List.GetCount(), 3);
  EXPECT_NO_THROW(Times(List));
  List.SetMaxCount(2);
  EXPECT_EQ(Times(List), (std::vector<uint32_t>{3, 2}));
  EXPECT_TRUE(List.CheckInvariants());
  List.BeginRead();
  EXPECT_EQ(StringToUtf8(List.GetStatements(0).GetSQL()), "SELECT 1");
  EXPECT_GT(List.GetStatements(0).GetDateTime(), 0);
  List.EndRead();
}

TEST_F(EngineSettings, NewMinimumDropsFasterStatementsOfTheOpenEngine) {
  auto& List = FEngine->GetLoggedStatements();
  for (uint32_t Time : {40000u, 31000u, 30000u}) AddTime(List, Time);
  Settings().SetMinStatementExecutionTime(35000);
  EXPECT_EQ(List.GetCount(), 3) << "a closed engine keeps its list";
  FEngine->Open();
  Settings().SetMinStatementExecutionTime(31000);
  EXPECT_EQ(Times(List), (std::vector<uint32_t>{40000, 31000}));
  Settings().SetMinStatementExecutionTime(0);
  EXPECT_EQ(Settings().GetMinStatementExecutionTime(), 31000u);
}

}  // namespace
}  // namespace orv
