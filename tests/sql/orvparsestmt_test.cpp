#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqlroundtrip.h"
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

// ------------------------------------------------------------- definitions

// One statement of every CREATE and ALTER form: each parses to its object
// kind, and its definition text parses back to the same tree. A routine
// object's stored text parses, through the entry point its stored object
// uses, to the routine slots of the statement's name token, and that
// routine's own text round-trips too; a view's stored query parses to its
// query slot.
struct TDefinitionCase {
  const char* Sql;
  TORVDDLObjectKind Kind;
  // The corpus kind that parses its stored text ("query" for a view's
  // query), or nullptr when it stores none.
  const char* RoutineKind;
};

const TDefinitionCase DefinitionCases[] = {
    {"CREATE DATABASE d PATH 'c:\\data' ENCRYPTED CATALOG DESCRIPTION 'd' ATTRIBUTES 'a'", dokDatabase, nullptr},
    {"ALTER DATABASE d IN MEMORY UNENCRYPTED CATALOG", dokDatabase, nullptr},
    {"CREATE USER u PASSWORD 'p' DESCRIPTION 'x' ATTRIBUTES 'a'", dokUser, nullptr},
    {"ALTER USER u PASSWORD 'q'", dokUser, nullptr},
    {"CREATE ROLE r DESCRIPTION 'x' ATTRIBUTES 'a'", dokRole, nullptr},
    {"ALTER ROLE r", dokRole, nullptr},
    {"CREATE STORE s AS LOCAL PATH 'c:\\s' DESCRIPTION 'x'", dokStore, nullptr},
    {"ALTER STORE s AS REMOTE ADDRESS '10.0.0.1' PORT 12010 USER u PASSWORD 'p' STORE t SIGNATURE 'g' "
     "ENCRYPTED WITH PASSWORD 'e' COMPRESSION 6 TIMEOUT 30 PING 10 ATTRIBUTES 'a'",
     dokStore, nullptr},
    {"CREATE MODULE m PATH 'm.dll' DESCRIPTION 'x'", dokModule, nullptr},
    {"ALTER MODULE m PATH 'n.dll'", dokModule, nullptr},
    {"CREATE TEXT FILTER f TYPE 'text/html' MODULE m DESCRIPTION 'x'", dokTextFilter, nullptr},
    {"ALTER TEXT FILTER f DESCRIPTION 'y'", dokTextFilter, nullptr},
    {"CREATE WORD GENERATOR w MODULE m", dokWordGenerator, nullptr},
    {"ALTER WORD GENERATOR w DESCRIPTION 'x'", dokWordGenerator, nullptr},
    {"CREATE MIGRATOR g MODULE m DESCRIPTION 'x'", dokMigrator, nullptr},
    {"ALTER MIGRATOR g", dokMigrator, nullptr},
    {"CREATE JOB \"J\"\"1\" RUN AS u FROM DATE '2020-01-01' TO DATE '2021-01-01' MONTHLY ON LAST Fri OF Jan, Jul "
     "BETWEEN TIME '00:00' AND TIME '01:00' CATEGORY 'c' BEGIN USE d; END DESCRIPTION 'x' VERSION 1.5 ATTRIBUTES 'a'",
     dokJob, "job"},
    {"ALTER JOB j RUN AS u FROM d1 TO d2 EVERY 2 WEEKS ON Mon, Fri BETWEEN t1 AND t2 "
     "BEGIN DECLARE x INTEGER DEFAULT 0; WHILE x < 3 DO SET x = x + 1; END WHILE; END",
     dokJob, "job"},
    {"CREATE TABLE t (a INTEGER GENERATED ALWAYS AS IDENTITY (START WITH 10, INCREMENT BY 5) NOT NULL PRIMARY KEY, "
     "b VARCHAR(20) COLLATE ANSI_DE COMPRESSION 6 DEFAULT 'x' || 'y' REFERENCES s (k) ON UPDATE CASCADE "
     "CHECK b <> '' ERROR CODE 1 MESSAGE 'b' DESCRIPTION 'b', c INTEGER COMPUTED ALWAYS AS a * 2, "
     "CONSTRAINT fk FOREIGN KEY (b) REFERENCES s (k) ON DELETE SET NULL ERROR CODE 2 MESSAGE 'm' DESCRIPTION 'f', "
     "LIKE Information.Tables INCLUDING CONSTRAINTS) VERSION 2 READONLY MAX PUBLISH BUFFER SIZE 4 NO BACKUP FILES",
     dokTable, nullptr},
    {"CREATE TEMPORARY TABLE t AS (SELECT a FROM s WHERE a > 1) WITH DATA", dokTable, nullptr},
    {"CREATE TABLE t FROM UPDATES u IN STORE s", dokTable, nullptr},
    {"ALTER TABLE t ADD COLUMN c DECIMAL(10, 2) DEFAULT 1.5 AT 2, ALTER COLUMN d SET 'x' || 'y', "
     "ALTER e AS INTEGER NOT NULL, ALTER CONSTRAINT k AS UNIQUE (a) DESCRIPTION 'k', RENAME f TO g, "
     "DROP CONSTRAINT h ENCRYPTED PUBLISH COMPRESSION 3",
     dokTable, nullptr},
    {"CREATE INDEX i ON t (a COLLATE ANSI DESC, b) DESCRIPTION 'i' NO BACKUP FILES", dokIndex, nullptr},
    {"ALTER INDEX i ON t (a ASC)", dokIndex, nullptr},
    {"CREATE TEXT INDEX i ON t (a) INDEXED WORD LENGTH 30 FILTER TYPE COLUMN f WORD GENERATOR w", dokTextIndex,
     nullptr},
    {"ALTER TEXT INDEX i ON t (a) DESCRIPTION 'x'", dokTextIndex, nullptr},
    {"CREATE VIEW v AS SELECT a, COUNT(*) AS n FROM t GROUP BY a WITH CHECK OPTION DESCRIPTION 'v'", dokView,
     "query"},
    {"ALTER VIEW v AS SELECT * FROM t VERSION 3", dokView, "query"},
    {"CREATE TRIGGER tr BEFORE UPDATE OF a, b ON t AT 1 WHEN NewRow.a > OldRow.a "
     "BEGIN SET NewRow.b = NewRow.a; END DESCRIPTION 'x'",
     dokTrigger, "trigger"},
    {"ALTER TRIGGER tr ERROR ALL ON t WHEN ERRORCODE() = 1 BEGIN RETRY; END", dokTrigger, "trigger"},
    {"CREATE FUNCTION f (x INTEGER, OUT y VARCHAR(10) DESCRIPTION 'y') RETURNS INTEGER "
     "BEGIN RETURN x * 2; END DESCRIPTION 'f' VERSION 1 ATTRIBUTES 'a'",
     dokFunction, "function"},
    {"ALTER FUNCTION f RETURNS DATE EXTERNAL NAME m", dokFunction, "function"},
    {"CREATE PROCEDURE p (INOUT x INTEGER) BEGIN SET x = x + 1; END", dokProcedure, "procedure"},
    {"ALTER PROCEDURE p EXTERNAL NAME m DESCRIPTION 'p'", dokProcedure, "procedure"},
};

TEST(DefinitionGrammar, EveryObjectParsesAndItsTextRoundTrips) {
  test::TORVParseFunc Parse = [](const TORVString& Text) {
    TORVCompiledExpr Expr;
    Expr.SetExpression(Text);
    TORVExprParser Parser;
    Parser.Initialize(&Expr);
    return Parser.ParseStatement(StatementCorpusOptions);
  };
  for (const TDefinitionCase& Case : DefinitionCases) {
    SCOPED_TRACE(Case.Sql);
    TStatementFixture F(Case.Sql);
    EXPECT_EQ(F.Tree->FTokenID, Case.Kind);
    EXPECT_TRUE(test::RoundTrips(Utf8ToString(Case.Sql), Parse, test::BuildForCorpus));
    if (Case.RoutineKind == nullptr) {
      EXPECT_TRUE(F.Tree->FTokenConstant.empty());
      continue;
    }
    if (std::string(Case.RoutineKind) == "query") {
      TORVParseOptions Options = StatementCorpusOptions;
      Options.Exclude(poAllowParameters);
      Options.Exclude(poAllowDatabaseQualifier);
      TORVCompiledExpr Expr;
      Expr.SetExpression(F.Tree->FTokenConstant);
      TORVExprParser Parser;
      Parser.Initialize(&Expr);
      TORVPartialTree Stored(test::ParseWholeQuery(Parser, Options));
      EXPECT_TRUE(CompareTokens(Stored.Get(), F.Tree->GetArgument(ViewQuerySlot)));
      continue;
    }
    for (const test::TORVSqlCorpusKind& Kind : test::RoutineCorpusKinds()) {
      if (std::string(Kind.Name) != Case.RoutineKind) continue;
      TORVParseOptions Options = Kind.Defaults;
      Options.Include(poAllowExceptionHandling);
      Options.Include(poAllowRetry);
      test::TORVParseFunc ParseStored = [&](const TORVString& Text) {
        TORVCompiledExpr Expr;
        Expr.SetExpression(Text);
        TORVExprParser Parser;
        Parser.Initialize(&Expr);
        return Kind.Parse(Parser, Options);
      };
      const TORVExprToken* Defined = F.Tree->GetArgument(ObjectNameSlot);
      TORVPartialTree Stored(ParseStored(F.Tree->FTokenConstant));
      EXPECT_EQ(Stored->FName, Defined->FName);
      for (int32_t Slot = 0; Slot < RoutineSlotCount; ++Slot)
        EXPECT_TRUE(CompareTokens(Stored->GetArgument(Slot), Defined->GetArgument(Slot))) << "routine slot " << Slot;
      EXPECT_TRUE(test::RoundTrips(F.Tree->FTokenConstant, ParseStored, test::BuildForCorpus));
    }
  }
}

TEST(DefinitionGrammar, ColumnConstraintHasNoColumnList) {
  TStatementFixture F("CREATE TABLE t (a INTEGER PRIMARY KEY DESCRIPTION 'x')");
  const TORVExprToken* Column =
      F.Tree->GetArgument(TableDefinitionsSlot)->GetArgument(0)->GetArgument(DefinitionItemSlot);
  const TORVExprToken* Constraints = Column->GetArgument(ColumnConstraintsSlot);
  ASSERT_EQ(Constraints->GetNumArguments(), 1);
  const TORVExprToken* Key = Constraints->GetArgument(0);
  EXPECT_EQ(Key->FTokenOperator, toPRIMARYKEY);
  EXPECT_EQ(Key->GetArgument(ConstraintColumnsSlot), nullptr);
  EXPECT_EQ(Column->GetArgument(ColumnDescriptionSlot)->FTokenConstant, u"x");
}

TEST(DefinitionGrammar, MonthlyScheduleOnAnOrdinalDay) {
  TStatementFixture F(
      "CREATE JOB \"J1\" RUN AS u FROM d1 TO d2 MONTHLY ON LAST Fri OF Jan, Jul BETWEEN t1 AND t2 BEGIN END");
  EXPECT_EQ(F.Tree->GetArgument(JobScheduleSlot)->FTokenID, jsMonthly);
  const TORVExprToken* Ordinal = F.Tree->GetArgument(JobOrdinalSlot);
  EXPECT_EQ(Ordinal->FDataType, dtInteger);
  EXPECT_EQ(Ordinal->FTokenConstant, u"5");
  EXPECT_EQ(Ordinal->GetArgument(JobOrdinalDaySlot)->FTokenConstant, u"5");
  EXPECT_EQ(Ordinal->GetArgument(JobOrdinalDaySlot)->FDataType, dtInteger);
  EXPECT_EQ(F.Tree->GetArgument(JobDayOfMonthSlot), nullptr);
  const TORVExprToken* Months = F.Tree->GetArgument(JobMonthsSlot);
  ASSERT_EQ(Months->GetNumArguments(), JobMonthsCount);
  for (int32_t Month = 0; Month < JobMonthsCount; ++Month)
    EXPECT_EQ(Months->GetArgument(Month) != nullptr, Month == 0 || Month == 6) << Month;
  EXPECT_EQ(F.Tree->FTokenConstant, u"JOB \"J1\"\r\nBEGIN END");
  // Without an ordinal word the ordinal's text is empty; Sunday is day 7.
  TStatementFixture Plain("CREATE JOB j RUN AS u FROM d1 TO d2 MONTHLY ON Sun OF Dec BETWEEN t1 AND t2 BEGIN END");
  const TORVExprToken* NoOrdinal = Plain.Tree->GetArgument(JobOrdinalSlot);
  EXPECT_EQ(NoOrdinal->FTokenConstant, u"");
  EXPECT_EQ(NoOrdinal->GetArgument(JobOrdinalDaySlot)->FTokenConstant, u"7");
}

TEST(DefinitionGrammar, EveryMinutesScheduleKeepsItsInterval) {
  TStatementFixture F("CREATE JOB j RUN AS u FROM d1 TO d2 EVERY 15 MINUTES BETWEEN t1 AND t2 BEGIN END");
  EXPECT_EQ(F.Tree->GetArgument(JobScheduleSlot)->FTokenID, jsEveryMinutes);
  EXPECT_EQ(F.Tree->GetArgument(JobIntervalSlot)->FTokenConstant, u"15");
  EXPECT_EQ(F.Tree->GetArgument(JobDaysSlot), nullptr);
}

TEST(DefinitionGrammar, RemoteStoreFillsOnlyTheClausesWritten) {
  TStatementFixture F(
      "CREATE STORE s AS REMOTE HOST 'h' SERVICE 'svc' USER u PASSWORD 'p' STORE r ENCRYPTED ENCRYPTION PASSWORD 'e'");
  EXPECT_EQ(F.Tree->GetArgument(StoreAddressSlot), nullptr);
  EXPECT_NE(F.Tree->GetArgument(StoreHostSlot), nullptr);
  EXPECT_EQ(F.Tree->GetArgument(StorePortSlot), nullptr);
  EXPECT_NE(F.Tree->GetArgument(StoreServiceSlot), nullptr);
  EXPECT_NE(F.Tree->GetArgument(StoreEncryptedSlot), nullptr);
  EXPECT_EQ(F.Tree->GetArgument(StoreEncryptionPasswordSlot)->FTokenConstant, u"e");
  EXPECT_EQ(F.Tree->GetNumArguments(), StoreAttributesSlot + 1);
}

TEST(DefinitionGrammar, ExternalProcedureHasAModuleAndNoBody) {
  TStatementFixture F("CREATE PROCEDURE p EXTERNAL NAME m");
  const TORVExprToken* Routine = F.Tree->GetArgument(ObjectNameSlot);
  EXPECT_EQ(Routine->GetArgument(RoutineModuleSlot)->FName, u"m");
  EXPECT_EQ(Routine->GetArgument(RoutineBodySlot), nullptr);
  EXPECT_EQ(F.Tree->FTokenConstant, u"PROCEDURE \"p\" EXTERNAL NAME m");
}

// The stored texts of expressions keep the user's spelling up to the next
// token, comments included; a byte string keeps its one X.
TEST(DefinitionGrammar, StoredExpressionTextsKeepTheirSpelling) {
  TStatementFixture F("CREATE TABLE t (a INTEGER DEFAULT 1 /* one */ NOT NULL CHECK a>0, b BYTE(2) DEFAULT x'0A0B')");
  const TORVExprToken* Items = F.Tree->GetArgument(TableDefinitionsSlot);
  const TORVExprToken* A = Items->GetArgument(0)->GetArgument(DefinitionItemSlot);
  EXPECT_EQ(A->GetArgument(ColumnValueSlot)->FTokenConstant, u"1 /* one */ ");
  EXPECT_EQ(A->GetArgument(ColumnConstraintsSlot)->GetArgument(0)->FTokenConstant, u"a>0");
  const TORVExprToken* B = Items->GetArgument(1)->GetArgument(DefinitionItemSlot);
  EXPECT_EQ(B->GetArgument(ColumnValueSlot)->FTokenConstant, u"x'0A0B'");
}

TEST(DefinitionGrammar, AlterColumnSetGivesADefaultClause) {
  TStatementFixture F("ALTER TABLE t ALTER COLUMN c SET 10");
  const TORVExprToken* Column =
      F.Tree->GetArgument(TableDefinitionsSlot)->GetArgument(0)->GetArgument(DefinitionItemSlot);
  EXPECT_EQ(Column->FTokenOperator, toSETDEFAULT);
  ASSERT_EQ(Column->GetNumArguments(), AlterColumnSlotCount);
  const TORVExprToken* Default = Column->GetArgument(ColumnValueSlot);
  EXPECT_EQ(Default->FTokenOperator, toDEFAULT);
  EXPECT_EQ(Default->FTokenConstant, u"10");
  for (int32_t Slot : {ColumnDataTypeSlot, ColumnPositionSlot, ColumnRestartSlot})
    EXPECT_EQ(Column->GetArgument(Slot), nullptr) << Slot;
}

TEST(DefinitionGrammar, LikeTableMarksOnlyTheKindsIncluded) {
  TStatementFixture F("CREATE TABLE t (LIKE s INCLUDING INDEXES EXCLUDING TRIGGERS)");
  const TORVExprToken* Like =
      F.Tree->GetArgument(TableDefinitionsSlot)->GetArgument(0)->GetArgument(DefinitionItemSlot);
  ASSERT_EQ(Like->GetNumArguments(), LikeSlotCount);
  for (int32_t Slot = 0; Slot < LikeSlotCount; ++Slot)
    EXPECT_EQ(Like->GetArgument(Slot) != nullptr, Slot == LikeIndexesSlot) << Slot;
}

}  // namespace
}  // namespace orv
