#include "core/orvsqlscan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orvutf8.h"

namespace orv {
namespace {

std::string U8(std::u16string_view S) { return StringToUtf8(S); }

// Every result of Next until nothing is left, as "[a][b]".
template <typename TNext>
std::string AllOf(std::u16string_view SQL, TNext Next) {
  std::string Text;
  int32_t Position = 1;
  while (Position <= static_cast<int32_t>(SQL.size())) Text += "[" + U8(Next(SQL, Position)) + "]";
  return Text;
}

TEST(SQLScanner, KeywordsFollowCommentsAndSkipEverythingElse) {
  const std::u16string_view SQL = u"/* note */ select * from t";
  int32_t Position = 1;
  EXPECT_EQ(U8(NextSQLKeyword(SQL, Position)), "select");
  EXPECT_EQ(Position, 18);
  EXPECT_EQ(U8(NextSQLKeyword(SQL, Position)), "from");

  EXPECT_EQ(AllOf(u"-- head\r\nBEGIN 'str' \"id\" 42;x", NextSQLKeyword), "[BEGIN][42][x]");
  // A parameter is no keyword and does not stick to the next one.
  EXPECT_EQ(AllOf(u"if :a begin", NextSQLKeyword), "[if][begin]");
}

TEST(SQLScanner, TokensKeepTheirQuotesAndStandAlone) {
  EXPECT_EQ(AllOf(u"'it''s', x", NextSQLToken), "['it''s'][,][x]");
  EXPECT_EQ(AllOf(u"PROCEDURE \"my \"\"p\"\"\" (a)", NextSQLToken), "[PROCEDURE][\"my \"\"p\"\"\"][(][a][)]");
  EXPECT_EQ(AllOf(u":a, :", NextSQLToken), "[?][,][:]");
  // A character beyond the basic plane is one token, not two halves.
  EXPECT_EQ(AllOf(u"a\U0001F600b", NextSQLToken), "[a][\xF0\x9F\x98\x80][b]");
}

TEST(SQLScanner, StatementsSplitOnlyAtTheirOwnTerminators) {
  const std::u16string_view SQL =
      u"  -- first;\nselect 1; /* c; */ select ';' as \"a;b\" -- ;\r\n from t;\nupdate t set a = :a";
  EXPECT_EQ(AllOf(SQL, [](std::u16string_view S, int32_t& P) { return NextSQLStatement(S, P); }),
            "[  -- first;\nselect 1][ /* c; */ select ';' as \"a;b\" -- ;\r\n from t][\nupdate t set a = :a]");
  EXPECT_EQ(AllOf(u"a!b", [](std::u16string_view S, int32_t& P) { return NextSQLStatement(S, P, u'!'); }),
            "[a][b]");
}

TEST(SQLScanner, UnterminatedStringsAndCommentsRunToTheEnd) {
  struct Case {
    const char16_t* SQL;
    const char* Statements;
    const char* Tokens;
  } Cases[] = {
      {u"select 'a;b", "[select 'a;b]", "[select]['a;b]"},
      {u"select \"a;b", "[select \"a;b]", "[select][\"a;b]"},
      {u"select /* a;b", "[select /* a;b]", "[select][]"},
      {u"select -- a;b", "[select -- a;b]", "[select][]"},
      {u"select :\"a;b", "[select :\"a;b]", "[select][?]"},
      {u"'", "[']", "[']"},
      {u"/*/", "[/*/]", "[]"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(U8(C.SQL));
    EXPECT_EQ(AllOf(C.SQL, [](std::u16string_view S, int32_t& P) { return NextSQLStatement(S, P); }),
              C.Statements);
    EXPECT_EQ(AllOf(C.SQL, NextSQLToken), C.Tokens);
  }
}

TEST(SQLScanner, NamedParametersBecomeMarkersAndReportTheirNames) {
  const std::u16string_view SQL =
      u"select * from t where a = :a and b = :\"my b\" and c = ':no' /* :no */ and d = : and e = :a";
  std::vector<std::string> Names;
  int32_t Position = 1;
  const TORVString Text = ParseSQL(SQL, Position, [&Names](const TORVString& Name) { Names.push_back(U8(Name)); },
                                   smPlain, u';', false);
  EXPECT_EQ(U8(Text), "select * from t where a = ? and b = ? and c = ':no' /* :no */ and d = : and e = ?");
  EXPECT_EQ(Names, (std::vector<std::string>{"a", "my b", "a"}));
  EXPECT_EQ(Position, static_cast<int32_t>(SQL.size()) + 1);

  // In statement mode parameters are kept as written and not reported.
  Names.clear();
  Position = 1;
  EXPECT_EQ(U8(ParseSQL(SQL, Position, [&Names](const TORVString& Name) { Names.push_back(U8(Name)); },
                        smStatement, u';', false)),
            U8(SQL));
  EXPECT_TRUE(Names.empty());
}

TEST(SQLScanner, EscapesResolveOnlyWhenAskedFor) {
  const std::u16string_view SQL =
      u"select {fn ucase(x)}, {d '2024-01-01'}, {ts '2024-01-01 10:00'}, {T '10:00'} "
      u"from {oj a left join b on a.k = b.k}; {call p(1, (2), ')')} {escape '\\'} {other}";
  int32_t Position = 1;
  EXPECT_EQ(U8(ParseSQL(SQL, Position, {}, smPlain, u';', true)),
            "select  ucase(x), DATE  '2024-01-01', TIMESTAMP  '2024-01-01 10:00', TIME  '10:00' "
            "from  a left join b on a.k = b.k; call p  '\\' other");
  Position = 1;
  EXPECT_EQ(U8(ParseSQL(SQL, Position, {}, smPlain, u';', false)), U8(SQL));
}

TEST(SQLScanner, PositionsOutsideTheTextScanNothingPastIt) {
  int32_t Position = 0;
  EXPECT_EQ(U8(NextSQLKeyword(u"a b", Position)), "a");
  EXPECT_EQ(Position, 2);
  Position = 100;
  EXPECT_EQ(U8(NextSQLToken(u"a b", Position)), "");
  EXPECT_EQ(Position, 4);
}

TEST(SQLScanner, StatementTypesFollowTheLeadingKeywords) {
  struct Case {
    const char16_t* SQL;
    int32_t Type;
  } Cases[] = {
      {u"", stUnknown},
      {u"  /* c */ Select 1", stSelect},
      {u"insert into t", stInsert},
      {u"update t", stUpdate},
      {u"delete from t", stDelete},
      {u"delete file x", stDeleteFile},
      {u"create database d", stCreateDatabase},
      {u"create temporary table x", stCreateTable},
      {u"create table x", stCreateTable},
      {u"create text index i", stCreateTextIndex},
      {u"create text filter f", stCreateTextFilter},
      {u"create text x", stUnknown},
      {u"create word generator w", stCreateWordGenerator},
      {u"create procedure p", stCreateProcedure},
      {u"create thing", stUnknown},
      {u"drop database d", stDropDatabase},
      {u"drop job j", 24},
      {u"drop procedure p", stDropProcedure},
      {u"alter text filter f", 42},
      {u"alter table t", stAlterTable},
      {u"rename job j", 54},
      {u"rename store s", 55},
      {u"rename file x", stRenameFile},
      {u"rename procedure p", stRenameProcedure},
      {u"grant all", stGrant},
      {u"revoke all", stRevoke},
      {u"repair table t", stRepairTable},
      {u"import table t", stImportTable},
      {u"import t", stUnknown},
      {u"set backups store", stSetBackupsStore},
      {u"set updates store", stSetUpdatesStore},
      {u"set files store", stSetFilesStore},
      {u"set information collate", stSetInformationCollate},
      {u"set migrator", stSetMigrator},
      {u"set statement cache", stSetStatementCache},
      {u"set procedure cache", stSetProcedureCache},
      {u"backup database d", stBackupDatabase},
      {u"restore database d", stRestoreDatabase},
      {u"save updates", stSaveDatabaseUpdates},
      {u"load updates", stLoadDatabaseUpdates},
      {u"publish database", stPublishDatabase},
      {u"unpublish database", stUnpublishDatabase},
      {u"migrate database", stMigrateDatabase},
      {u"compare database", stCompareDatabase},
      {u"disconnect server session 5", 84},
      {u"disconnect server", stUnknown},
      {u"remove server session 5", stRemoveServerSession},
      {u"copy file a", stCopyFile},
      {u"enable triggers", stEnableTiggers},
      {u"enable statement logging", 98},
      {u"disable job j", stDisableJob},
      {u"disable statement logging", stDisableStatementLogging},
      {u"script () begin end", SQLScriptStatement},
      {u"call p()", 109},
      {u"'select' x", stUnknown},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(U8(C.SQL));
    EXPECT_EQ(SQLStatementType(C.SQL), C.Type);
  }
}

}  // namespace
}  // namespace orv
