#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "sql/orvparser.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "tests/sql/orvsqlcorpus.h"

namespace orv {
namespace {

using namespace orv::test;

// Statements and routines over the validate corpus's catalog, compiled by
// the parser entry a test names, with the catalog reads counted.
class StatementValidaterTest : public ::testing::Test {
 protected:
  StatementValidaterTest() : Expr(&Catalog, u"Main") {
    AddValidateCorpusCatalog(Catalog);
    Expr.OnValidate = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Validate();
    };
    Expr.OnUnlock = [this](TORVFakeCatalogExpr& Self) {
      Validater.Initialize(&Self);
      Validater.Unlock();
    };
  }

  // "" when Sql validates, else the error as the corpus writes it.
  std::string Compile(const std::string& Sql, TORVCorpusParse Parse = ParseStatementForCorpus,
                      TORVParseOptions Options = StatementCorpusOptions) {
    Expr.OnParse = [Parse, Options](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      Parser.Initialize(&Self);
      return Parse(Parser, Options);
    };
    Expr.SetExpression(Utf8ToString(Sql));
    try {
      Expr.Compile();
      return "";
    } catch (const EORVException& E) {
      return CorpusErrorText(E, "expression");
    }
  }

  std::string CompileProcedure(const std::string& Sql) {
    return Compile(
        Sql, [](TORVExprParser& P, TORVParseOptions O) { return P.ParseProcedureRoutine(O); },
        TORVParseOptions{poAllowCursorReturn, poCheckEndRoutine});
  }

  TORVFakeCatalog Catalog;
  TORVFakeCatalogExpr Expr;
  TORVExprValidater Validater;
};

// Which trigger may assign which row: NewRow only before (or on error of)
// the operations that write a new row, OldRow only before a LOAD UPDATE.
TEST_F(StatementValidaterTest, TriggerRowColumnsAreAssignableOnlyWhereTheRowIsWritten) {
  struct TCase {
    const char* Timing;
    const char* Operation;
    const char* Row;
    bool Assignable;
  };
  const TCase Cases[] = {
      {"BEFORE", "INSERT", "NewRow", true},      {"AFTER", "INSERT", "NewRow", false},
      {"BEFORE", "UPDATE", "NewRow", true},      {"BEFORE", "ALL", "NewRow", true},
      {"BEFORE", "DELETE", "NewRow", false},     {"BEFORE", "LOAD UPDATE", "NewRow", true},
      {"AFTER", "UPDATE", "NewRow", false},      {"BEFORE", "INSERT", "OldRow", false},
      {"BEFORE", "UPDATE", "OldRow", false},     {"BEFORE", "LOAD UPDATE", "OldRow", true},
      {"AFTER", "LOAD UPDATE", "OldRow", false},
  };
  for (const TCase& Case : Cases) {
    const std::string Sql = std::string("CREATE TRIGGER tr ") + Case.Timing + " " + Case.Operation +
                            " ON t BEGIN SET " + Case.Row + ".x = 1; END";
    SCOPED_TRACE(Sql);
    const std::string Result = Compile(Sql);
    if (Case.Assignable) {
      EXPECT_EQ(Result, "");
    } else {
      EXPECT_TRUE(Result.ends_with("a value cannot be assigned to this column reference")) << Result;
    }
  }
  // An ERROR trigger counts as one that runs before the write.
  EXPECT_EQ(Compile("CREATE TRIGGER tr ERROR INSERT ON t BEGIN SET NewRow.x = 1; END"), "");
}

TEST_F(StatementValidaterTest, TriggerRowColumnsTakeTheTypesOfTheTriggersTable) {
  ASSERT_EQ(Compile("CREATE TRIGGER tr BEFORE UPDATE ON t WHEN NewRow.a > OldRow.a BEGIN SET NewRow.b = 'y'; END"), "");
  TORVExprToken* Condition = SlotOf(SlotOf(Expr.FTokens, TriggerConditionSlot), ClauseValueSlot);
  ASSERT_NE(Condition, nullptr);
  EXPECT_EQ(Condition->GetLeftToken()->FTokenType, ttROWCOLUMNREF);
  EXPECT_EQ(Condition->GetLeftToken()->FDataType, dtInteger);
  EXPECT_EQ(Compile("CREATE TRIGGER tr BEFORE UPDATE ON t BEGIN SET NewRow.b = 1; END"),
            "!1:59 Expected NULL, Char, GUID, or VarChar expression but instead found 1");
  EXPECT_EQ(Compile("CREATE TRIGGER tr BEFORE UPDATE ON t BEGIN SET x = 1; END"),
            "!1:48 Invalid expression \"x\" found, the column reference must be prefaced with a row identifier");
}

// A table of another database is read from its own catalog: each read
// begun is ended, whether the statement validates or fails, and however far
// it got.
TEST_F(StatementValidaterTest, CatalogReadsOfOtherDatabasesEndWhenTheStatementIsReleased) {
  const std::vector<std::string> Statements = {
      "INSERT INTO Other.t (a, c) VALUES (1, DATE '2024-01-02')",
      "INSERT INTO Other.t (a, c) VALUES (1, 2)",
      "UPDATE Other.t SET a = 2 WHERE c IS NULL",
      "UPDATE Other.t SET a = 'x'",
      "DELETE FROM Other.t WHERE a = 1",
      "DELETE FROM Other.t WHERE nope = 1",
  };
  for (const std::string& Sql : Statements) {
    SCOPED_TRACE(Sql);
    const int32_t Begun = Expr.BeginReadCount;
    const std::string Result = Compile(Sql);
    if (Result.empty()) Expr.Unlock();
    EXPECT_EQ(Expr.BeginReadCount, Begun + 1);
    EXPECT_EQ(Expr.EndReadCount, Expr.BeginReadCount);
  }
}

TEST_F(StatementValidaterTest, UsedDatabasesAreReleasedWithTheScript) {
  auto Script = [](TORVExprParser& P, TORVParseOptions O) { return P.ParseScriptRoutine(O); };
  const TORVParseOptions Options{poAllowDatabaseUse, poAllowSchemaQualifier, poAllowTableQualifier, poAllowCursorReturn,
                                 poCheckEndRoutine};
  ASSERT_EQ(Compile("SCRIPT BEGIN USE Other; END", Script, Options), "");
  EXPECT_EQ(Expr.BeginReadCount, 1);
  EXPECT_EQ(Expr.GetCurrentDatabase(), u"Other");
  Expr.Unlock();
  EXPECT_EQ(Expr.EndReadCount, 1);
  EXPECT_EQ(Compile("SCRIPT BEGIN USE Nowhere; END", Script, Options), "!1:18 The database Nowhere does not exist");
}

TEST_F(StatementValidaterTest, InsertWithoutColumnsTakesEveryColumnOfTheTableInOrder) {
  ASSERT_EQ(Compile("INSERT INTO t VALUES (1, 'x', 2)"), "");
  const TORVExprToken* Columns = SlotOf(SlotOf(Expr.FTokens, DmlQuerySlot), DmlColumnsSlot);
  ASSERT_NE(Columns, nullptr);
  ASSERT_EQ(Columns->GetNumArguments(), 3);
  EXPECT_EQ(Columns->GetArgument(0)->FName, u"a");
  EXPECT_EQ(Columns->GetArgument(2)->FName, u"x");
  // Dynamic parameters of VALUES are declared for both directions, and
  // those declared afterwards are inputs again.
  ASSERT_EQ(Compile("INSERT INTO t (a) VALUES (?)"), "");
  EXPECT_EQ(Validater.GetParamOperator(), toINPUT);
  EXPECT_NE(Compile("INSERT INTO t (a) VALUES (?, ?)"), "");
  EXPECT_EQ(Validater.GetParamOperator(), toINPUT);
}

// The target table's own conditions leave WHERE for the table, as in a
// query, and what stays in WHERE is one AND chain; the built text keeps
// every condition.
TEST_F(StatementValidaterTest, UpdateAndDeleteConditionsMoveToTheirTable) {
  ASSERT_EQ(Compile("DELETE FROM t WHERE a = 1 AND (b = 'x' OR x > 2)"), "");
  const TORVExprToken* Query = SlotOf(Expr.FTokens, DmlQuerySlot);
  const TORVExprToken* Conditions = SlotOf(SlotOf(SlotOf(Query, DmlTableSlot), FirstItemSlot), TableRefConditionsSlot);
  ASSERT_NE(Conditions, nullptr);
  ASSERT_EQ(Conditions->GetNumArguments(), 1);
  EXPECT_EQ(Conditions->GetArgument(0)->FTokenOperator, toAND);
  EXPECT_EQ(SlotOf(SlotOf(Query, DmlWhereSlot), ClauseValueSlot), nullptr);
  const std::string Text = StringToUtf8(Expr.Build(Expr.FTokens, false, false, false));
  EXPECT_EQ(Text, " DELETE FROM \"t\" WHERE \"a\" = 1 AND (\"b\" = 'x' OR \"x\" > 2)");
  ASSERT_EQ(Compile("UPDATE t SET b = 'y' WHERE x = a"), "");
  EXPECT_EQ(
      SlotOf(SlotOf(SlotOf(SlotOf(Expr.FTokens, DmlQuerySlot), DmlTableSlot), FirstItemSlot), TableRefConditionsSlot)
          ->GetNumArguments(),
      1);
}

// Statements that hold a query validate it as a query, and a query that
// does not fit the statement is refused.
TEST_F(StatementValidaterTest, StatementsHoldingAQueryValidateIt) {
  EXPECT_EQ(Compile("INSERT INTO t (a, x) SELECT OrderID, CustID FROM Orders"), "");
  EXPECT_EQ(Compile("CREATE VIEW v AS SELECT a, b FROM t WHERE x > 1"), "");
  Expr.Unlock();
  EXPECT_EQ(Expr.BeginReadCount, Expr.EndReadCount);
  EXPECT_NE(Compile("INSERT INTO t (a) SELECT OrderID, CustID FROM Orders"), "");
  EXPECT_NE(Compile("INSERT INTO t (b) SELECT Amount FROM Orders"), "");
  EXPECT_NE(Compile("CREATE VIEW v AS SELECT Nope FROM t"), "");
}

TEST_F(StatementValidaterTest, AWithReturnCursorBecomesTheRoutinesResult) {
  ASSERT_EQ(CompileProcedure("PROCEDURE q BEGIN DECLARE c CURSOR WITH RETURN FOR s; END"), "");
  const TORVExprToken* Result = SlotOf(Expr.FTokens, RoutineResultCursorSlot);
  ASSERT_NE(Result, nullptr);
  EXPECT_EQ(Result->FTokenType, ttSTATEMENTREF);
  ASSERT_NE(Result->FSourceToken, nullptr);
  EXPECT_EQ(Result->FSourceToken->FName, u"s");
  // A second one in an inner block is refused as one in the same block is.
  EXPECT_EQ(CompileProcedure("PROCEDURE q BEGIN DECLARE c CURSOR WITH RETURN FOR s; "
                             "BEGIN DECLARE d CURSOR WITH RETURN FOR t; END; END"),
            "!1:69 Invalid expression d found, duplicate result cursor declaration d found");
}

TEST_F(StatementValidaterTest, CallsCheckTheirArgumentsAgainstTheProceduresParameters) {
  EXPECT_EQ(CompileProcedure("PROCEDURE q BEGIN CALL p(1); END"), "");
  EXPECT_EQ(CompileProcedure("PROCEDURE q BEGIN CALL nope(1); END"), "!1:24 The routine nope does not exist");
  // A routine that calls itself is not in the catalog yet: its own
  // parameters count.
  EXPECT_EQ(CompileProcedure("PROCEDURE q (IN v VARCHAR(5)) BEGIN CALL q('a'); END"), "");
  EXPECT_EQ(CompileProcedure("PROCEDURE q (IN v VARCHAR(5)) BEGIN CALL q('a', 1); END"),
            "!1:49 Invalid expression 1 found, invalid number of parameters specified");
  EXPECT_EQ(CompileProcedure("PROCEDURE q (IN v VARCHAR(5)) BEGIN CALL q(1); END"),
            "!1:44 Expected NULL, Char, GUID, or VarChar expression but instead found 1");
}

TEST_F(StatementValidaterTest, AFunctionReturnsAValueOfItsResultType) {
  EXPECT_EQ(Compile("CREATE FUNCTION f (IN x INTEGER) RETURNS INTEGER BEGIN RETURN x + 1; END"), "");
  EXPECT_EQ(Compile("CREATE FUNCTION f RETURNS VARCHAR(0) BEGIN RETURN 'a'; END"),
            "!1:35 Invalid expression 0 found, an invalid length was specified");
  EXPECT_EQ(Compile("CREATE PROCEDURE p2 (IN x INTEGER, IN X INTEGER) BEGIN END"),
            "!1:36 Invalid expression X found, duplicate variable declaration X found");
}

}  // namespace
}  // namespace orv
