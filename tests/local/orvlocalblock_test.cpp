#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "local/orvlocaleval.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "tests/support/orvrowfakes.h"
#include "sql/orvroutineslots.h"
#include "tests/local/orvlocalroutinetest.h"

namespace orv {
namespace {

using test::ErrorOf;

using ProceduralCases = test::RoutineTest;

// Each routine runs from its text; the function's result (or the error
// leaving it) shows what its blocks, loops and handlers did.
TEST_F(ProceduralCases, FunctionsEndWithTheValueTheirStatementsLeave) {
  const struct {
    const char* Name;
    const char* Sql;
    const char* Result;
  } Cases[] = {
      {"a declared variable is NULL before its first assignment",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER; RETURN x; END", "NULL"},
      {"a DEFAULT is assigned to every declared name",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x, y INTEGER DEFAULT 4; RETURN x + y; END", "8"},
      {"SET items run in order", "FUNCTION g() RETURNS INTEGER BEGIN DECLARE a, b INTEGER; SET a = 1, b = a + 1; "
                                 "RETURN b; END",
       "2"},
      {"a function that ends without RETURN leaves its result unassigned",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER; SET x = 1; END", "unassigned"},
      {"IF without a true condition and without ELSE does nothing",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 5; IF x > 9 THEN SET x = 1; "
       "ELSEIF x < 0 THEN SET x = 2; END IF; RETURN x; END",
       "5"},
      {"IF takes the first true branch only",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 5; IF x > 1 THEN SET x = 1; "
       "ELSEIF x > 2 THEN SET x = 2; ELSE SET x = 3; END IF; RETURN x; END",
       "1"},
      {"CASE without a matching WHEN and without ELSE does nothing",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 5; CASE x WHEN 1 THEN SET x = 10; "
       "WHEN 2 THEN SET x = 20; END CASE; RETURN x; END",
       "5"},
      {"CASE with an operand runs the matching WHEN",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 2; CASE x WHEN 1 THEN SET x = 10; "
       "WHEN 2 THEN SET x = 20; ELSE SET x = 30; END CASE; RETURN x; END",
       "20"},
      {"an INTEGER condition of 1 is true",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 0; IF 1 THEN SET x = 1; END IF; "
       "RETURN x; END",
       "1"},
      {"an INTEGER condition of 0 is false",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 0; IF 0 THEN SET x = 1; END IF; "
       "RETURN x; END",
       "0"},
      {"a WHILE ends when its condition is false",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i INTEGER DEFAULT 0; WHILE i < 5 DO SET i = i + 1; "
       "END WHILE; RETURN i; END",
       "5"},
      {"a WHILE whose last pass ends in ITERATE finishes normally",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i, s INTEGER DEFAULT 0; w: WHILE i < 3 DO SET i = i + 1; "
       "ITERATE w; SET s = 100; END WHILE; SET s = s + i; RETURN s; END",
       "3"},
      {"LEAVE ends a LOOP",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i INTEGER DEFAULT 0; l: LOOP SET i = i + 1; "
       "IF i = 4 THEN LEAVE l; END IF; END LOOP; RETURN i; END",
       "4"},
      {"LEAVE of the outer loop from an inner loop ends both",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i, n INTEGER DEFAULT 0; o: LOOP SET i = i + 1; "
       "n2: LOOP SET n = n + 1; IF n = 3 THEN LEAVE o; END IF; END LOOP; SET i = 100; END LOOP; "
       "RETURN i * 10 + n; END",
       "13"},
      {"ITERATE of the outer loop starts its next pass",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i, n INTEGER DEFAULT 0; o: WHILE i < 3 DO SET i = i + 1; "
       "n2: LOOP SET n = n + 1; ITERATE o; END LOOP; SET n = 100; END WHILE; RETURN i * 10 + n; END",
       "33"},
      {"REPEAT ... ITERATE ... UNTIL ends when its condition becomes true",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i INTEGER DEFAULT 0; r: REPEAT SET i = i + 1; "
       "ITERATE r; UNTIL i >= 3 END REPEAT; RETURN i; END",
       "3"},
      {"REPEAT runs its body before the first test",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE i INTEGER DEFAULT 7; REPEAT SET i = i + 1; "
       "UNTIL i > 0 END REPEAT; RETURN i; END",
       "8"},
      {"LEAVE naming an enclosing labelled block continues after it",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 0; b: BEGIN SET x = 1; "
       "BEGIN LEAVE b; END; SET x = 2; END; SET x = x + 10; RETURN x; END",
       "11"},
      {"RAISE skips the rest and the EXCEPTION clause sees the code",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE c INTEGER DEFAULT 0; BEGIN "
       "RAISE ERROR CODE 10000 MESSAGE 'x'; SET c = 1; EXCEPTION SET c = c + ERRORCODE(); END; "
       "RETURN c; END",
       "10000"},
      {"ERRORMSG reads the raised message",
       "FUNCTION g() RETURNS VARCHAR(20) BEGIN DECLARE m VARCHAR(20); BEGIN "
       "RAISE ERROR CODE 10050 MESSAGE 'm'; EXCEPTION SET m = CAST(ERRORCODE() AS VARCHAR(10)) || ERRORMSG(); "
       "END; RETURN m; END",
       "10050m"},
      {"a bare RAISE in the clause sends the same exception on",
       "FUNCTION g() RETURNS INTEGER BEGIN BEGIN RAISE ERROR CODE 10001 MESSAGE 'again'; "
       "EXCEPTION RAISE; END; RETURN 1; END",
       "10001 again"},
      {"RAISE with a code below 10000 carries the code",
       "FUNCTION g() RETURNS INTEGER BEGIN RAISE ERROR CODE 77 MESSAGE 'low'; RETURN 1; END", "77 low"},
      {"FINALLY runs when the statements raise, and the exception still leaves",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 0; BEGIN BEGIN "
       "RAISE ERROR CODE 10002 MESSAGE 'f'; FINALLY SET x = 5; END; EXCEPTION "
       "SET x = x * 10 + ERRORCODE() - 10000; END; RETURN x; END",
       "52"},
      {"FINALLY runs when the statements end normally",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 1; BEGIN SET x = 2; FINALLY SET x = x + 40; "
       "END; RETURN x; END",
       "42"},
      {"a nested handler followed by ERRORCODE in the outer handler gives the outer error",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE c INTEGER DEFAULT 0; BEGIN "
       "RAISE ERROR CODE 10010 MESSAGE 'outer'; EXCEPTION BEGIN RAISE ERROR CODE 10020 MESSAGE 'inner'; "
       "EXCEPTION SET c = ERRORCODE() - 10000; END; SET c = c * 100 + ERRORCODE() - 10000; END; RETURN c; END",
       "2010"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(Result(Case.Sql), Case.Result) << Case.Sql;
  }
}


// Each call declares fresh values and gets the caller's back when it
// returns, also when a WITH RETURN cursor declared after a variable keeps
// its statement value past the block.
TEST_F(ProceduralCases, RecursiveCallsSeeTheirOwnDeclarationsAndRestoreTheCallers) {
  TORVExprToken* Function =
      Compile("FUNCTION f(IN n INTEGER) RETURNS INTEGER BEGIN DECLARE x, y INTEGER DEFAULT 0; SET x = n; "
              "IF n < 3 THEN SET y = f(n + 1); END IF; RETURN x * 100 + y; END");
  ASSERT_NE(Function, nullptr);
  TORVExprToken* N = SlotOf(SlotOf(Function, RoutineParamsSlot), FirstItemSlot);
  Evaluator.GetValue(N);
  N->FValue->SetAsInteger(1);
  EXPECT_EQ(ErrorOf([&] { Run(Function); }), "no error");
  // f(3) = 300, f(2) = 200 + 300, f(1) = 100 + 500: x comes back after
  // each call.
  EXPECT_EQ(SlotOf(SlotOf(Function, RoutineReturnsSlot), FirstItemSlot)->FValue->GetAsInteger(), 600);
  EXPECT_EQ(Evaluator.GetValueStackCount(), 0);

  TORVExprToken* Procedure = Compile(
      "PROCEDURE p(IN n INTEGER, OUT r INTEGER) BEGIN DECLARE x INTEGER; DECLARE c CURSOR WITH RETURN FOR s; "
      "DECLARE k INTEGER DEFAULT 0; SET x = n; IF n < 3 THEN CALL p(n + 1, k); END IF; SET r = x * 10 + k; END",
      kProcedure);
  ASSERT_NE(Procedure, nullptr);
  TORVExprToken* Params = SlotOf(Procedure, RoutineParamsSlot);
  for (int32_t I = 0; I < 2; ++I) Evaluator.GetValue(Params->GetArgument(I));
  Params->GetArgument(0)->FValue->SetAsInteger(1);
  EXPECT_EQ(ErrorOf([&] { Run(Procedure); }), "no error");
  // r(3) = 30, r(2) = 20 + 30, r(1) = 10 + 50.
  EXPECT_EQ(Params->GetArgument(1)->FValue->GetAsInteger(), 60);
  TORVExprToken* ResultCursor = SlotOf(Procedure, RoutineResultCursorSlot);
  ASSERT_NE(ResultCursor, nullptr);
  EXPECT_NE(ResultCursor->FSourceToken->FValue, nullptr);

  // The caller takes the open cursor with the statement value it needs.
  TFakeCursor Cursor(CharacterSetUnicode);
  auto* Statement = dynamic_cast<TORVStatementValue*>(ResultCursor->FSourceToken->FValue.get());
  ASSERT_NE(Statement, nullptr);
  Statement->FResultCursor = &Cursor;
  TORVLocalExprEvaluator::TORVReturnedCursor Returned = Evaluator.EvaluateReturnCursor(ResultCursor, true);
  EXPECT_EQ(Returned.Cursor, &Cursor);
  ASSERT_NE(Returned.StatementValue, nullptr);
  EXPECT_EQ(Returned.StatementValue->FResultCursor, nullptr);
  EXPECT_EQ(ResultCursor->FSourceToken->FValue, nullptr);
  EXPECT_EQ(Evaluator.GetValueStackCount(), 0);
  // Without Keep, or without an open cursor, nothing is handed over.
  EXPECT_EQ(Evaluator.EvaluateReturnCursor(nullptr, true).Cursor, nullptr);
  EXPECT_EQ(ErrorOf([&] { Run(Procedure); }), "no error");
  EXPECT_EQ(Evaluator.EvaluateReturnCursor(ResultCursor, false).StatementValue, nullptr);
  EXPECT_EQ(ResultCursor->FSourceToken->FValue, nullptr);
}

// What leaves a block and what an EXCEPTION clause may catch.
TEST_F(ProceduralCases, OnlyEngineErrorsAreHandledAndDeclarationsAreUndoneOnEveryPath) {
  const struct {
    const char* Name;
    const char* Sql;
    const char* Error;
  } Cases[] = {
      {"a floating-point error passes an EXCEPTION clause",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE d FLOAT; BEGIN SET d = 1E308 * 10; EXCEPTION SET d = 0; END; "
       "RETURN 1; END",
       "floating"},
      {"a DEFAULT that does not convert fails the declaration of the second name",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER DEFAULT 1; BEGIN "
       "DECLARE a INTEGER; DECLARE b, c SMALLINT DEFAULT 70000 + x; RETURN 1; END; END",
       "1011 "},
      {"an error inside nested blocks leaves through all of them",
       "FUNCTION g() RETURNS INTEGER BEGIN DECLARE x INTEGER; BEGIN DECLARE y INTEGER; BEGIN DECLARE z INTEGER; "
       "RAISE ERROR CODE 10003 MESSAGE 'deep'; END; END; RETURN 1; END",
       "10003 deep"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::string Error;
    TORVExprToken* Routine = Compile(Case.Sql);
    ASSERT_NE(Routine, nullptr);
    try {
      Run(Routine);
      Error = "no error";
    } catch (const EORVException& E) {
      Error = std::to_string(E.ErrorCode()) + " " + StringToUtf8(E.ErrorMsg());
    } catch (const EORVBaseException& E) {
      Error = "floating " + StringToUtf8(E.Message());
    }
    EXPECT_EQ(Error.substr(0, std::string(Case.Error).size()), Case.Error) << Error;
    EXPECT_EQ(Evaluator.GetValueStackCount(), 0);
  }
}

// The stop state ends a running loop after its pass; ABORT only sets the
// flag; the notification sees each statement.
TEST_F(ProceduralCases, TheStopStateEndsALoopAfterItsPassAndAbortOnlySetsTheFlag) {
  TORVExprToken* Routine =
      Compile("FUNCTION g() RETURNS INTEGER BEGIN DECLARE i INTEGER DEFAULT 0; LOOP SET i = i + 1; "
              "IF i = 2 THEN ABORT; END IF; END LOOP; RETURN i; END");
  ASSERT_NE(Routine, nullptr);
  int32_t Notified = 0;
  Context.FOnNotification = [&](TORVExprToken* Token, const EORVException*) {
    ++Notified;
    // The pass after the ABORT asks to stop at its SET.
    if (Token->FTokenOperator == toSET && Evaluator.GetContext()->FAborted) {
      Evaluator.GetContext()->FEvaluationState = esStop;
    }
  };
  EXPECT_EQ(ErrorOf([&] { Run(Routine); }), "no error");
  EXPECT_TRUE(Aborted);
  EXPECT_GT(Notified, 0);
  // The third pass stopped before its SET and the loop ended; the block's
  // RETURN still ran.
  EXPECT_EQ(SlotOf(SlotOf(Routine, RoutineReturnsSlot), FirstItemSlot)->FValue->GetAsInteger(), 2);
  EXPECT_EQ(Evaluator.GetValueStackCount(), 0);
}

}  // namespace
}  // namespace orv
