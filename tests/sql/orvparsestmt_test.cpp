#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::StatementCorpusOptions;

const TORVParseOptions CatalogOptions{poAllowQueries, poAllowSchemaQualifier, poAllowTableQualifier};

std::string ParseResult(const std::string& Text, TORVParseOptions Options = StatementCorpusOptions) {
  return test::ParseForCorpus(Text, Options, test::ParseStatementForCorpus);
}

// A statement parsed through the dispatcher; the tree is freed with the
// fixture.
struct TStatementFixture {
  explicit TStatementFixture(const std::string& Text, TORVParseOptions Options = StatementCorpusOptions) {
    Expr.SetExpression(Utf8ToString(Text));
    Parser.Initialize(&Expr);
    Tree = Parser.ParseStatement(Options);
  }
  ~TStatementFixture() { FreeTokens(Tree); }
  TORVCompiledExpr Expr;
  TORVExprParser Parser;
  TORVExprToken* Tree = nullptr;
};

TEST(StatementGrammar, CorpusStatementsGiveTheirTreesOrErrors) {
  int32_t Cases = test::RunSqlCorpus("statement", StatementCorpusOptions, test::ParseStatementForCorpus);
  EXPECT_GT(Cases, 0);
}

TEST(StatementGrammar, InsertValuesGiveOneRowValuePerRow) {
  TStatementFixture F("INSERT INTO t VALUES (1, 2), (3, 4)");
  ASSERT_EQ(F.Tree->FTokenType, ttDYNSTATEMENT);
  EXPECT_EQ(F.Tree->FTokenOperator, toINSERT);
  const TORVExprToken* Query = F.Tree->GetArgument(DmlQuerySlot);
  ASSERT_EQ(Query->GetNumArguments(), InsertQuerySlotCount);
  const TORVExprToken* Rows = Query->GetArgument(DmlValuesSlot);
  ASSERT_EQ(Rows->GetNumArguments(), 2);
  for (int32_t I = 0; I < 2; ++I) {
    EXPECT_EQ(Rows->GetArgument(I)->FTokenType, ttROWVALUE);
    EXPECT_EQ(Rows->GetArgument(I)->GetNumArguments(), 2);
  }
  EXPECT_EQ(Query->GetArgument(DmlSourceQuerySlot), nullptr);
  EXPECT_EQ(Query->GetArgument(DmlColumnsSlot), nullptr);
  EXPECT_EQ(Query->GetArgument(DmlTableSlot)->GetArgument(0)->FName, u"t");
}

// One value in parentheses is still a row, so every row has the same shape.
TEST(StatementGrammar, InsertForcesRowValuesOfOneElement) {
  TStatementFixture F("INSERT INTO t (a) VALUES (1), (?)");
  const TORVExprToken* Rows = F.Tree->GetArgument(DmlQuerySlot)->GetArgument(DmlValuesSlot);
  ASSERT_EQ(Rows->GetNumArguments(), 2);
  EXPECT_EQ(Rows->GetArgument(0)->FTokenType, ttROWVALUE);
  EXPECT_EQ(Rows->GetArgument(1)->FTokenType, ttROWVALUE);
}

TEST(StatementGrammar, UpdateKeepsColumnsAndValuesInStep) {
  TStatementFixture F("UPDATE t x SET x.a = 1, b = ? WHERE x.b = 2");
  const TORVExprToken* Query = F.Tree->GetArgument(DmlQuerySlot);
  ASSERT_EQ(Query->GetNumArguments(), DmlQuerySlotCount);
  const TORVExprToken* Columns = Query->GetArgument(DmlColumnsSlot);
  const TORVExprToken* Values = Query->GetArgument(DmlValuesSlot);
  ASSERT_EQ(Columns->GetNumArguments(), 2);
  ASSERT_EQ(Values->GetNumArguments(), 2);
  EXPECT_EQ(Columns->GetArgument(0)->FSourceName, u"x");
  EXPECT_EQ(Values->GetArgument(1)->FTokenType, ttDYNPARAMREF);
  EXPECT_EQ(Query->GetArgument(DmlTableSlot)->GetArgument(0)->FCorrelationName, u"x");
  ASSERT_NE(Query->GetArgument(DmlWhereSlot), nullptr);
  EXPECT_EQ(Query->GetArgument(DmlWhereSlot)->GetArgument(0)->FTokenOperator, toEQ);

  TStatementFixture NoWhere("UPDATE t SET a = 1");
  EXPECT_EQ(NoWhere.Tree->GetArgument(DmlQuerySlot)->GetArgument(DmlWhereSlot), nullptr);
}

// A statement node stands where its form is known: INSERT and UPDATE at
// their keyword, the grants and publishing at the word after it, every
// other statement right after the words that select its form.
TEST(StatementGrammar, StatementNodesStandWhereTheirFormIsKnown) {
  struct TCase {
    const char* Sql;
    int32_t Column;
  };
  const TCase Cases[] = {
      {"INSERT INTO t VALUES (1)", 1},
      {"UPDATE t SET a = 1", 1},
      {"DELETE FROM t", 13},
      {"DELETE FILE f FROM STORE s", 13},
      {"DROP TABLE t", 12},
      {"RENAME FILE f IN STORE s TO g", 13},
      {"CREATE TEXT FILTER f TYPE 'x' MODULE m", 20},
      {"PUBLISH DATABASE d", 9},
      {"GRANT r TO u", 7},
      {"REVOKE SELECT ON TABLE t FROM u", 8},
      {"BACKUP DATABASE d AS b TO STORE s", 17},
      {"RESET SERVER SESSION STATISTICS 1", 33},
      {"DISCONNECT SERVER SESSION 1", 27},
      {"SAVE UPDATES FOR DATABASE d AS u TO STORE s", 14},
      {"COPY FILE a IN STORE s TO b", 11},
      {"EMPTY TABLE t", 13},
      {"ENABLE TRIGGER tr ON t", 16},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Sql);
    TStatementFixture F(Case.Sql);
    EXPECT_EQ(F.Tree->FLine, 1);
    EXPECT_EQ(F.Tree->FCol, Case.Column);
  }
}

TEST(StatementGrammar, DispatchErrorsPointAtTheOffendingToken) {
  EXPECT_EQ(ParseResult("DELETE t"), "!1:8 Expected FROM, FILE but instead found t");
  EXPECT_EQ(ParseResult("DROP TABLE d.t"), "!1:13 Invalid expression . found, schema qualifier not allowed");
  EXPECT_EQ(ParseResult("SELECT * FROM t; SELECT 1"), "!1:18 Expected end of expression but instead found SELECT");
  EXPECT_EQ(ParseResult(""),
            "!1:1 Missing SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, DROP, GRANT, REVOKE, BACKUP, RESTORE, "
            "COMPARE, SET BACKUPS, MIGRATE, REPAIR, VERIFY, OPTIMIZE, IMPORT, EXPORT, DISCONNECT, REMOVE, "
            "PUBLISH, UNPUBLISH, SAVE, LOAD, SET UPDATES, COPY FILE, RENAME FILE, DELETE FILE");
  // A quoted word is a name, never a statement word.
  EXPECT_EQ(ParseResult("\"SELECT\" 1").substr(0, 30), "!1:1 Expected SELECT, INSERT, ");
}

TEST(StatementGrammar, TerminatorIsOptionalUnlessRequired) {
  TORVParseOptions Required = StatementCorpusOptions;
  Required.Include(poRequireLineTerm);
  EXPECT_EQ(ParseResult("SELECT * FROM t;", Required).substr(0, 7), "(QUERY ");
  EXPECT_EQ(ParseResult("SELECT * FROM t;").substr(0, 7), "(QUERY ");
  EXPECT_EQ(ParseResult("SELECT * FROM t", Required), "!1:15 Missing ;");
  EXPECT_EQ(ParseResult("DROP USER u;;"), "!1:13 Expected end of expression but instead found ;");
}

TEST(StatementGrammar, QueriesNeedTheQueryOption) {
  EXPECT_EQ(ParseResult("SELECT 1 FROM t", TORVParseOptions{}),
            "!1:1 Invalid expression SELECT found, query expression not allowed");
  EXPECT_EQ(ParseResult("TABLE t", TORVParseOptions{}),
            "!1:1 Invalid expression TABLE found, query expression not allowed");
  // A catalog statement takes queries but neither parameters nor INTO.
  EXPECT_EQ(ParseResult("SELECT a INTO x FROM t", CatalogOptions),
            "!1:10 Invalid expression INTO found, INTO clause not allowed");
}

TEST(StatementGrammar, StatementWordsMatchInAnyCase) {
  for (const char* Text : {"drop user u", "Drop User u", "DROP USER u"}) {
    TStatementFixture F(Text);
    EXPECT_EQ(F.Tree->FTokenOperator, toDROP) << Text;
    EXPECT_EQ(F.Tree->FTokenID, dokUser) << Text;
  }
}

TEST(StatementGrammar, TemporaryTableMarksItsName) {
  TStatementFixture Temporary("CREATE TEMPORARY TABLE t (a INTEGER)");
  EXPECT_EQ(Temporary.Tree->GetArgument(ObjectNameSlot)->FTokenID, TemporaryTableID);
  TStatementFixture Stored("CREATE TABLE t (a INTEGER)");
  EXPECT_EQ(Stored.Tree->GetArgument(ObjectNameSlot)->FTokenID, 0);
  EXPECT_EQ(ParseResult("CREATE TEMPORARY VIEW v"), "!1:18 Expected TABLE but instead found VIEW");
}

// Every administration form, slot by slot: the token kind of each slot
// ("nil" for an empty one, "TRUE" for a flag constant).
std::string SlotKinds(const TORVExprToken* Statement) {
  std::string Result;
  for (int32_t I = 0; I < Statement->GetNumArguments(); ++I) {
    const TORVExprToken* Slot = Statement->GetArgument(I);
    if (!Result.empty()) Result += ' ';
    if (Slot == nullptr) {
      Result += "nil";
    } else if (Slot->FTokenType == ttCONST && Slot->FTokenConstant == u"TRUE") {
      Result += "TRUE";
    } else {
      Result += test::TokenTypeName(Slot->FTokenType);
    }
  }
  return Result;
}

struct TAdminCase {
  const char* Sql;
  TORVTokenOperator Operator;
  int32_t Kind;
  const char* Slots;
};

TEST(AdminGrammar, EveryFormParsesToItsSlots) {
  const std::vector<TAdminCase> Cases = {
      {"EMPTY TABLE t", toEMPTYTABLE, 0, "TABLE nil"},
      {"EMPTY TABLE t IGNORE CONSTRAINTS", toEMPTYTABLE, 0, "TABLE CLAUSE"},
      {"ENABLE TRIGGER tr ON t", toENABLE, dokTrigger, "TRIGGER nil TABLE"},
      {"DISABLE TRIGGERS ON t", toDISABLE, dokTrigger, "nil nil TABLE"},
      {"ENABLE JOB j", toENABLE, dokJob, "JOB"},
      {"DISABLE JOBS", toDISABLE, dokJob, "nil"},
      {"ENABLE DEFAULTS ON t", toENABLE, dokColumnDefaults, "TABLE"},
      {"DISABLE GENERATED ON t", toDISABLE, dokGeneratedColumns, "TABLE"},
      {"ENABLE STATEMENT LOGGING MINIMUM EXECUTION 100 MAXIMUM LOGGED 50", toENABLE, dokStatementLogging,
       "CONST CONST"},
      {"ENABLE STATEMENT LOGGING MAXIMUM LOGGED 50", toENABLE, dokStatementLogging, "nil CONST"},
      {"DISABLE STATEMENT LOGGING", toDISABLE, dokStatementLogging, ""},
      {"SET BACKUPS STORE TO s", toSETDYN, dokBackupsStore, "STORE"},
      {"SET FILES STORE TO s", toSETDYN, dokFilesStore, "STORE"},
      {"SET UPDATES STORE TO s", toSETDYN, dokUpdatesStore, "STORE"},
      {"SET INFORMATION COLLATE TO ANSI_CI", toSETDYN, dokInformationCollation, "COLLATIONREF"},
      {"SET INFORMATION COLLATE TO", toSETDYN, dokInformationCollation, "nil"},
      {"SET MIGRATOR TO m", toSETDYN, dokMigrator, "MIGRATOR"},
      {"BACKUP DATABASE d AS b TO STORE s", toBACKUPDB, 0, "DATABASE BACKUP STORE nil nil nil nil nil nil"},
      {"BACKUP DATABASE d AS b TO STORE s TABLES t1, t2 DESCRIPTION 'x' COMPRESSION 6 INCLUDE CATALOG", toBACKUPDB,
       0, "DATABASE BACKUP STORE CLAUSE CONST CONST TRUE nil nil"},
      {"BACKUP DATABASE d AS b TO STORE s INCLUDE CATALOG ONLY EXCLUDE PUBLISHED UPDATES", toBACKUPDB, 0,
       "DATABASE BACKUP STORE nil nil nil TRUE TRUE TRUE"},
      {"RESTORE DATABASE d FROM b IN STORE s", toRESTOREDB, 0, "DATABASE BACKUP STORE nil nil nil nil"},
      {"RESTORE DATABASE d FROM b IN STORE s INCLUDE CATALOG ONLY RESET PUBLISHED TABLES", toRESTOREDB, 0,
       "DATABASE BACKUP STORE nil TRUE TRUE TRUE"},
      {"RESTORE DATABASE d FROM b IN STORE s TABLES t INCLUDE CATALOG RESET PUBLISHED TABLES", toRESTOREDB, 0,
       "DATABASE BACKUP STORE CLAUSE TRUE nil TRUE"},
      {"COMPARE DATABASE a TO b", toCOMPAREDB, 0, "DATABASE DATABASE nil"},
      {"COMPARE DATABASE a TO b STATEMENT TERM CHAR '!'", toCOMPAREDB, 0, "DATABASE DATABASE CONST"},
      {"MIGRATE DATABASE FROM m", toMIGRATEDB, 0, "MIGRATOR CLAUSE nil nil"},
      {"MIGRATE DATABASE FROM m USING a = 1, b = 'x' WITH DATA START AT TABLE t", toMIGRATEDB, 0,
       "MIGRATOR CLAUSE CLAUSE TABLE"},
      {"MIGRATE DATABASE FROM m WITH NO DATA", toMIGRATEDB, 0, "MIGRATOR CLAUSE nil nil"},
      {"REPAIR TABLE t", toREPAIRTABLE, 0, "TABLE nil nil"},
      {"REPAIR TABLE t STRUCTURE ONLY STATISTICS", toREPAIRTABLE, 0, "TABLE CLAUSE CLAUSE"},
      {"VERIFY TABLE t STRUCTURE ONLY", toVERIFYTABLE, 0, "TABLE CLAUSE"},
      {"OPTIMIZE TABLE t", toOPTIMIZETABLE, 0, "TABLE nil nil"},
      {"OPTIMIZE TABLE t USING i NO BACKUP FILES", toOPTIMIZETABLE, 0, "TABLE INDEX TRUE"},
      {"IMPORT TABLE t FROM f IN STORE s", toIMPORTTABLE, ImportFormatDelimited,
       "TABLE FILE STORE nil CLAUSE nil nil nil nil nil nil nil nil"},
      {"IMPORT TABLE t FROM f IN STORE s (a, b) FORMAT DELIMITED ENCODING UNICODE DELIMITER CHAR ';' "
       "QUOTE CHAR '\"' DATE FORMAT 'yyyy-mm-dd' TIME FORMAT 'hh:mm' DECIMAL CHAR ',' "
       "BOOLEAN TRUE LITERAL 'y' FALSE LITERAL 'n' USE HEADERS MAX ROWS 10",
       toIMPORTTABLE, ImportFormatDelimited,
       "TABLE FILE STORE CLAUSE CLAUSE CONST CONST CONST CONST CONST CLAUSE CLAUSE CONST"},
      {"EXPORT TABLE t TO f IN STORE s FORMAT XML ENCODING ANSI INCLUDE HEADERS", toEXPORTTABLE, ImportFormatXML,
       "TABLE FILE STORE nil CLAUSE nil nil nil nil nil nil CLAUSE nil"},
      {"DISCONNECT SERVER SESSION 12", toDISCONNECTSESSION, 0, "CONST"},
      {"REMOVE SERVER SESSION 12", toREMOVESESSION, 0, "CONST"},
      {"RESET SERVER SESSION STATISTICS 3", toRESET, dokServerSessionStatistics, "CONST"},
      {"RESET SESSION STATISTICS (3 + 4)", toRESET, dokServerSessionStatistics, "BINARY"},
      {"RESET JOB j", toRESET, dokJob, "JOB"},
      {"GRANT Readers, Writers TO Bob", toGRANTROLES, 0, "CLAUSE CLAUSE"},
      {"GRANT select, Maintain ON TABLE t TO Bob", toGRANTPRIVILEGES, 0, "CLAUSE TABLE CLAUSE"},
      {"GRANT ALL PRIVILEGES ON DATABASE d TO Readers, Bob", toGRANTPRIVILEGES, 0, "CLAUSE DATABASE CLAUSE"},
      {"GRANT EXECUTE ON PROCEDURE p TO Bob", toGRANTPRIVILEGES, 0, "CLAUSE PROCEDURE CLAUSE"},
      {"REVOKE Readers FROM Bob", toREVOKEROLES, 0, "CLAUSE CLAUSE"},
      {"REVOKE INSERT ON STORE s FROM Bob", toREVOKEPRIVILEGES, 0, "CLAUSE STORE CLAUSE"},
      {"REVOKE ALL PRIVILEGES ON FUNCTION f FROM Bob", toREVOKEPRIVILEGES, 0, "CLAUSE FUNCTION CLAUSE"},
      {"REVOKE DROP ON VIEW v FROM Bob", toREVOKEPRIVILEGES, 0, "CLAUSE VIEW CLAUSE"},
      {"PUBLISH DATABASE d", toPUBLISH, 0, "DATABASE nil nil"},
      {"PUBLISH DATABASE d TABLES t1, t2 BY ROW", toPUBLISH, 0, "DATABASE CLAUSE CLAUSE"},
      {"UNPUBLISH DATABASE d TABLES t", toUNPUBLISH, 0, "DATABASE CLAUSE"},
      {"UNPUBLISH DATABASE d", toUNPUBLISH, 0, "DATABASE nil"},
      {"SAVE UPDATES FOR DATABASE d AS u TO STORE s", toSAVEDBUPDATES, 0, "DATABASE UPDATES STORE nil nil nil nil"},
      {"SAVE UPDATES FOR DATABASE d AS u TO STORE s TABLES t DESCRIPTION 'x' COMPRESSION 3 IF NOT EMPTY",
       toSAVEDBUPDATES, 0, "DATABASE UPDATES STORE CLAUSE CONST CONST CLAUSE"},
      {"LOAD UPDATES FOR DATABASE d FROM u IN STORE s", toLOADDBUPDATES, 0,
       "DATABASE UPDATES STORE nil nil nil nil nil"},
      {"LOAD UPDATES FOR DATABASE d FROM u IN STORE s TABLES t MERGE DUPLICATE INSERTS IGNORE MISSING UPDATES "
       "DISABLE TRIGGERS",
       toLOADDBUPDATES, 0, "DATABASE UPDATES STORE CLAUSE CLAUSE CLAUSE nil CLAUSE"},
      {"LOAD UPDATES FOR DATABASE d FROM u IN STORE s INSERT MISSING UPDATES", toLOADDBUPDATES, 0,
       "DATABASE UPDATES STORE nil nil nil CLAUSE nil"},
      {"COPY FILE a IN STORE s TO b", toCOPYFILE, 0, "FILE STORE FILE nil"},
      {"COPY FILE a IN STORE s TO b IN STORE t", toCOPYFILE, 0, "FILE STORE FILE STORE"},
  };
  for (const TAdminCase& Case : Cases) {
    SCOPED_TRACE(Case.Sql);
    TStatementFixture F(Case.Sql);
    ASSERT_EQ(F.Tree->FTokenType, ttDYNSTATEMENT);
    EXPECT_EQ(F.Tree->FTokenOperator, Case.Operator);
    EXPECT_EQ(F.Tree->FTokenID, Case.Kind);
    EXPECT_EQ(SlotKinds(F.Tree), Case.Slots);
  }
}

TEST(AdminGrammar, OnlyIsRefusedWithATableList) {
  const std::string Reason =
      " Invalid expression ONLY found, the ONLY clause can only be specified when the TABLES clause is not "
      "specified";
  EXPECT_EQ(ParseResult("BACKUP DATABASE d AS b TO STORE s TABLES t1 INCLUDE CATALOG ONLY"), "!1:61" + Reason);
  EXPECT_EQ(ParseResult("RESTORE DATABASE d FROM b IN STORE s TABLES t1 INCLUDE CATALOG ONLY"), "!1:64" + Reason);
}

// The table lists belong to the statement's database; a table of another
// database cannot be named in them.
TEST(AdminGrammar, TableListsDefaultToTheStatementDatabase) {
  TStatementFixture F("SAVE UPDATES FOR DATABASE d AS u TO STORE s TABLES t1, t2");
  const TORVExprToken* Tables = F.Tree->GetArgument(SaveUpdatesTablesSlot);
  ASSERT_EQ(Tables->GetNumArguments(), 2);
  for (int32_t I = 0; I < 2; ++I) {
    EXPECT_EQ(Tables->GetArgument(I)->FTokenType, ttTABLE);
    EXPECT_EQ(Tables->GetArgument(I)->FDatabaseName, u"d");
  }
  EXPECT_EQ(ParseResult("PUBLISH DATABASE d TABLES other.t"),
            "!1:32 Invalid expression . found, schema qualifier not allowed");
}

TEST(AdminGrammar, ValuesAndModesLandInTheirSlots) {
  TStatementFixture Grant("GRANT ALL PRIVILEGES ON DATABASE d TO Readers, Bob");
  const TORVExprToken* Privileges = Grant.Tree->GetArgument(GrantPrivilegesSlot);
  ASSERT_EQ(Privileges->GetNumArguments(), 1);
  EXPECT_EQ(Privileges->GetArgument(0)->FName, u"ALL");
  EXPECT_EQ(Grant.Tree->GetArgument(GrantGranteesSlot)->GetNumArguments(), 2);
  EXPECT_EQ(Grant.Tree->GetArgument(GrantGranteesSlot)->GetArgument(1)->FTokenType, ttAUTHORIZATION);

  TStatementFixture Publish("PUBLISH DATABASE d BY ROW");
  EXPECT_EQ(Publish.Tree->GetArgument(PublishModeSlot)->FTokenID, PublishByRow);

  TStatementFixture Import("IMPORT TABLE d.t FROM f IN STORE s ENCODING UNICODE");
  EXPECT_EQ(Import.Tree->GetArgument(ImportTableSlot)->FDatabaseName, u"d");
  EXPECT_EQ(Import.Tree->GetArgument(ImportEncodingSlot)->FTokenID, ImportEncodingUnicode);
  TStatementFixture NoEncoding("EXPORT TABLE t TO f IN STORE s");
  EXPECT_EQ(NoEncoding.Tree->GetArgument(ImportEncodingSlot)->FTokenID, ImportEncodingAuto);

  TStatementFixture Migrate("MIGRATE DATABASE FROM m USING a = 1");
  const TORVExprToken* Param = Migrate.Tree->GetArgument(MigrateParamsSlot)->GetArgument(0);
  EXPECT_EQ(Param->GetLeftToken()->FTokenType, ttPARAM);
  EXPECT_EQ(Param->GetRightToken()->FTokenConstant, u"1");

  TStatementFixture Optimize("OPTIMIZE TABLE t NO BACKUP FILES");
  EXPECT_EQ(Optimize.Tree->GetArgument(OptimizeNoBackupSlot)->FDataType, 4);
}

TEST(StatementText, InsertStartsWithALineBreakAndIndents) {
  TStatementFixture F("INSERT INTO t (a) VALUES (1)");
  TORVExprBuilder Builder;
  Builder.SetIndentationLevel(-1);
  Builder.BuildInsert(F.Tree);
  EXPECT_EQ(Builder.GetExpressionLiteral(), u" INSERT INTO \"t\" (\"a\") VALUES (1)");
  Builder.ClearExpr();
  Builder.SetIncludeLineBreaks(true);
  Builder.SetIndentationLevel(0);
  Builder.BuildStatement(F.Tree);
  EXPECT_EQ(Builder.GetExpressionLiteral(), u"\r\n   INSERT INTO \"t\"\r\n   (\"a\")\r\n   VALUES (1)");
}

// Conditions that the optimizer has pushed down to the target table are
// part of the statement's text even when its WHERE slot is empty.
TEST(StatementText, PushedDownConditionsAreWritten) {
  for (const char* Text : {"DELETE FROM t WHERE a = 1", "UPDATE t SET b = 2 WHERE a = 1"}) {
    SCOPED_TRACE(Text);
    TStatementFixture F(Text);
    TORVExprToken* Query = F.Tree->GetArgument(DmlQuerySlot);
    TORVExprToken* Where = Query->GetArgument(DmlWhereSlot);
    TORVExprToken* Condition = Where->GetArgument(0);
    Where->SetArgument(0, nullptr);
    Query->GetArgument(DmlTableSlot)->GetArgument(0)->GetArgument(TableRefConditionsSlot)->AddArgument(Condition);
    Query->SetArgument(DmlWhereSlot, nullptr);
    FreeTokens(Where);
    const std::string Built = StringToUtf8(test::BuildForCorpus(F.Tree));
    EXPECT_TRUE(Built.ends_with(" WHERE \"a\" = 1")) << Built;
  }
}

}  // namespace
}  // namespace orv
