#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/orverrors.h"
#include "core/orvliteral.h"
#include "eval/orvevalvalue.h"
#include "tests/eval/orvevaltest.h"
#include "tests/support/orvsqltreedump.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::ReadTokens;

// An evaluator whose CURRENT_USER counts its calls, answers User, and can
// raise instead.
class TCountingEvaluator : public TORVExprEvaluator {
 public:
  TCountingEvaluator() : TORVExprEvaluator(CharacterSetUnicode) {}

  void EvaluateCURUSER(TORVExprToken* Token) override {
    ++Calls;
    if (Raise) throw EORVException(ORV_FILTER_ERROR.Code, u"the user cannot be read");
    Token->FValue->SetAsString(User);
  }

  int32_t Calls = 0;
  bool Raise = false;
  TORVString User = u"x";
};

std::string Evaluate(TORVExprEvaluator& Evaluator, TORVExprToken* Root) {
  Evaluator.Evaluate(Root);
  return test::ValueText(*Root->FValue);
}

// Evaluates Expr once with a counting evaluator: its answer, and how often
// CURRENT_USER was called on the way.
void ExpectResultAndCalls(test::TORVEvalExpr& Expr, const char* Result, int32_t Calls) {
  TCountingEvaluator Evaluator;
  Evaluator.Initialize(Expr.Root());
  EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), Result);
  EXPECT_EQ(Evaluator.Calls, Calls);
  Evaluator.Reset(Expr.Root());
}

// Short-circuit: the right operand runs exactly when the left one does not
// decide, and an error it raises passes unchanged.
TEST(EvalLogic, RightOperandRunsOnlyWhenTheLeftDoesNotDecide) {
  struct TCase {
    const char* Sql;
    int32_t Calls;
    const char* Result;
  };
  const TCase Cases[] = {
      {"FALSE AND (CURRENT_USER = 'x')", 0, "Boolean FALSE"},
      {"TRUE OR (CURRENT_USER = 'x')", 0, "Boolean TRUE"},
      {"TRUE AND (CURRENT_USER = 'x')", 1, "Boolean TRUE"},
      {"TRUE AND (CURRENT_USER = 'y')", 1, "Boolean FALSE"},
      {"FALSE OR (CURRENT_USER = 'x')", 1, "Boolean TRUE"},
      {"Active AND (CURRENT_USER = 'y')", 1, "Boolean FALSE"},
      {"Active AND (CURRENT_USER = 'x')", 1, "Boolean NULL"},
      {"Active OR (CURRENT_USER = 'x')", 1, "Boolean TRUE"},
      {"Active OR (CURRENT_USER = 'y')", 1, "Boolean NULL"},
      {"(CURRENT_USER = 'y') AND (CURRENT_USER = 'x')", 1, "Boolean FALSE"},
      {"(CURRENT_USER = 'x') OR (CURRENT_USER = 'x')", 1, "Boolean TRUE"},
      {"NOT (CURRENT_USER = 'x')", 1, "Boolean FALSE"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Sql);
    test::TORVEvalExpr Expr(Case.Sql);
    ExpectResultAndCalls(Expr, Case.Result, Case.Calls);

    // Raising where it is called: the error passes unchanged, and where it
    // is not called nothing is raised.
    TCountingEvaluator Raising;
    Raising.Raise = true;
    Raising.Reset(Expr.Root());
    if (Case.Calls == 0) {
      EXPECT_EQ(Evaluate(Raising, Expr.Root()), Case.Result);
    } else {
      try {
        Raising.Evaluate(Expr.Root());
        ADD_FAILURE() << "no error";
      } catch (const EORVException& E) {
        EXPECT_EQ(E.ErrorCode(), ORV_FILTER_ERROR.Code);
        EXPECT_EQ(E.ErrorMsg(), u"the user cannot be read");
      }
    }
    Raising.Reset(Expr.Root());
  }
}

// AND, OR and NOT over every pair of TRUE, FALSE and NULL, against Kleene's
// three-valued logic.
TEST(EvalLogic, ThreeValuedTruthTablesMatchTheModel) {
  using TTruth = std::optional<bool>;
  const TTruth Values[] = {true, false, std::nullopt};
  auto Constant = [](TTruth Value) {
    return std::string("(CONST :text \"") + (!Value ? "NULL" : *Value ? "TRUE" : "FALSE") + "\" :type 4)";
  };
  auto Text = [](TTruth Value) {
    return std::string("Boolean ") + (!Value ? "NULL" : *Value ? "TRUE" : "FALSE");
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (TTruth Left : Values) {
    {
      TTruth Model = Left ? TTruth(!*Left) : std::nullopt;
      TORVPartialTree Tree(ReadTokens(Utf8ToString("(UNARY :op NOT :type 4 " + Constant(Left) + ")")));
      EXPECT_EQ(Evaluate(Evaluator, Tree.Get()), Text(Model)) << "NOT " << Text(Left);
      Evaluator.Reset(Tree.Get());
    }
    for (TTruth Right : Values) {
      TTruth And = (Left == false || Right == false) ? TTruth(false)
                   : (Left && Right)                 ? TTruth(true)
                                                     : std::nullopt;
      TTruth Or = (Left == true || Right == true) ? TTruth(true)
                  : (Left && Right)               ? TTruth(false)
                                                  : std::nullopt;
      for (auto [Op, Model] : {std::pair{"AND", And}, std::pair{"OR", Or}}) {
        const std::string Sexp =
            std::string("(BINARY :op ") + Op + " :type 4 " + Constant(Left) + " " + Constant(Right) + ")";
        SCOPED_TRACE(Sexp);
        TORVPartialTree Tree(ReadTokens(Utf8ToString(Sexp)));
        EXPECT_EQ(Evaluate(Evaluator, Tree.Get()), Text(Model));
        Evaluator.Reset(Tree.Get());
      }
    }
  }
}

TEST(EvalRowValue, NullOnlyWhenEveryElementIsNullAndAnyNullWhenOneIs) {
  struct TCase {
    const char* Tree;
    bool Null;
    bool AnyNull;
  };
  const TCase Cases[] = {
      {"(ROWVALUE (CONST :text \"NULL\" :type 6) (CONST :text \"NULL\" :type 6))", true, true},
      {"(ROWVALUE (CONST :text \"1\" :type 6) (CONST :text \"NULL\" :type 6))", false, true},
      {"(ROWVALUE (CONST :text \"NULL\" :type 6) (CONST :text \"1\" :type 6))", false, true},
      {"(ROWVALUE (CONST :text \"1\" :type 6) (CONST :text \"a\" :type 1))", false, false},
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Tree);
    TORVPartialTree Tree(ReadTokens(Utf8ToString(Case.Tree)));
    Evaluator.Initialize(Tree.Get());
    Evaluator.Evaluate(Tree.Get());
    EXPECT_EQ(Tree->FValue->GetNull(), Case.Null);
    EXPECT_EQ(Tree->FValue->GetAnyNull(), Case.AnyNull);
    Evaluator.Reset(Tree.Get());
  }
  // A comparison with a row holding a NULL is unknown.
  TORVPartialTree Compare(ReadTokens(
      u"(BINARY :op EQ :type 4 (ROWVALUE (CONST :text \"1\" :type 6) (CONST :text \"NULL\" :type 6))"
      u" (ROWVALUE (CONST :text \"1\" :type 6) (CONST :text \"2\" :type 6)))"));
  EXPECT_EQ(Evaluate(Evaluator, Compare.Get()), "Boolean NULL");
  Evaluator.Reset(Compare.Get());
}

// Rows compare element by element, the first difference deciding.
TEST(EvalRowValue, RowsCompareElementByElement) {
  struct TCase {
    const char* Op;
    const char* Left;
    const char* Right;
    const char* Result;
  };
  const TCase Cases[] = {
      {"EQ", "1 2", "1 2", "TRUE"}, {"EQ", "1 2", "1 3", "FALSE"}, {"LT", "1 2", "1 3", "TRUE"},
      {"LT", "1 9", "2 0", "TRUE"}, {"GT", "2 0", "1 9", "TRUE"},  {"NE", "5 5", "5 5", "FALSE"},
      {"GE", "3 3", "3 3", "TRUE"}, {"LE", "3 4", "3 3", "FALSE"},
  };
  auto Row = [](const std::string& Pair) {
    const std::size_t Blank = Pair.find(' ');
    return "(ROWVALUE (CONST :text \"" + Pair.substr(0, Blank) + "\" :type 6) (CONST :text \"" +
           Pair.substr(Blank + 1) + "\" :type 6))";
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (const TCase& Case : Cases) {
    const std::string Sexp =
        std::string("(BINARY :op ") + Case.Op + " :type 4 " + Row(Case.Left) + " " + Row(Case.Right) + ")";
    SCOPED_TRACE(Sexp);
    TORVPartialTree Tree(ReadTokens(Utf8ToString(Sexp)));
    EXPECT_EQ(Evaluate(Evaluator, Tree.Get()), std::string("Boolean ") + Case.Result);
    Evaluator.Reset(Tree.Get());
  }
}

// Every node of Root, in any order.
std::vector<TORVExprToken*> Nodes(TORVExprToken* Root) {
  std::vector<TORVExprToken*> Result;
  std::vector<TORVExprToken*> Stack{Root};
  while (!Stack.empty()) {
    TORVExprToken* Node = Stack.back();
    Stack.pop_back();
    if (Node == nullptr) continue;
    Result.push_back(Node);
    Stack.push_back(Node->GetLeftToken());
    Stack.push_back(Node->GetRightToken());
    for (int32_t I = 0; I < Node->GetNumArguments(); ++I) Stack.push_back(Node->GetArgument(I));
  }
  return Result;
}

// Values live from the first evaluation to Reset: a constant is parsed when
// its value is made, not per row, and Reset frees every value, so that the
// next evaluation starts from fresh ones.
TEST(EvalLifecycle, ConstantsAreParsedOncePerValueAndResetStartsAfresh) {
  test::TORVEvalExpr Expr("(2 + 3) * 4 = 20 AND 'ab' || 'c' = 'abc'");
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  Evaluator.Initialize(Expr.Root());
  for (TORVExprToken* Node : Nodes(Expr.Root())) EXPECT_EQ(Node->FValue, nullptr);
  EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), "Boolean TRUE");
  for (TORVExprToken* Node : Nodes(Expr.Root())) EXPECT_NE(Node->FValue, nullptr);

  // Another row with the same values: a constant keeps what its value holds.
  TORVExprToken* Three = Expr.Root()->GetLeftToken()->GetLeftToken()->GetLeftToken()->GetRightToken();
  ASSERT_EQ(Three->FTokenConstant, u"3");
  Three->FValue->SetAsInteger(8);
  EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), "Boolean FALSE");
  EXPECT_EQ(test::ValueText(*Expr.Root()->GetLeftToken()->GetLeftToken()->FValue), "Integer 40");

  Evaluator.Reset(Expr.Root());
  for (TORVExprToken* Node : Nodes(Expr.Root())) EXPECT_EQ(Node->FValue, nullptr);
  EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), "Boolean TRUE");
  EXPECT_EQ(test::ValueText(*Three->FValue), "Integer 3");
  Evaluator.Reset(Expr.Root());
}

// The values the base evaluator makes: a CAST to a declared length cuts
// text silently, an IN over constants gets the sortable list value, a row
// its row value, and nothing raises a truncation error.
TEST(EvalLifecycle, ValueClassesFollowTheNode) {
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  TORVPartialTree Cast(ReadTokens(u"(FUNCREF :op CAST :type 1 :len 3 (CONST :text \"abcdef\" :type 1 :len 6))"));
  Evaluator.GetValue(Cast.Get());
  auto* CastValue = dynamic_cast<TORVCastContainedValue*>(Cast->FValue.get());
  ASSERT_NE(CastValue, nullptr);
  CastValue->SetAsString(u"abcdef");
  EXPECT_EQ(CastValue->GetAsString(), u"abc");

  TORVPartialTree Plain(ReadTokens(u"(CONST :text \"abcdef\" :type 1 :len 3)"));
  Evaluator.GetValue(Plain.Get());
  EXPECT_EQ(Plain->FValue->GetAsString(), u"abcdef");

  TORVPartialTree In(ReadTokens(
      u"(EXTBINARY :op IN :type 4 (COLUMNREF :name \"ID\" :type 6) (CONST :text \"3\" :type 6)"
      u" (DYNPARAMREF :type 6) (CONST :text \"1\" :type 6))"));
  Evaluator.GetValue(In.Get());
  EXPECT_NE(dynamic_cast<TORVInContainedValue*>(In->FValue.get()), nullptr);
  TORVPartialTree NotIn(ReadTokens(
      u"(EXTBINARY :op NOTIN :type 4 (COLUMNREF :name \"ID\" :type 6) (CONST :text \"3\" :type 6)"
      u" (DYNPARAMREF :type 6))"));
  Evaluator.GetValue(NotIn.Get());
  EXPECT_NE(dynamic_cast<TORVInContainedValue*>(NotIn->FValue.get()), nullptr);
  TORVPartialTree InColumns(ReadTokens(
      u"(EXTBINARY :op IN :type 4 (CONST :text \"3\" :type 6) (COLUMNREF :name \"ID\" :type 6))"));
  Evaluator.GetValue(InColumns.Get());
  EXPECT_EQ(dynamic_cast<TORVInContainedValue*>(InColumns->FValue.get()), nullptr);

  for (TORVExprToken* Tree : {Cast.Get(), Plain.Get(), In.Get(), NotIn.Get(), InColumns.Get()}) {
    EXPECT_FALSE(dynamic_cast<TORVContainedValue&>(*Tree->FValue).GetRaiseTruncationErrors());
    Evaluator.Reset(Tree);
  }
}

// The IN list value sorts the items' own values once and finds by binary
// search.
TEST(EvalLifecycle, InListValueSortsAndFindsTheItemsOwnValues) {
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  TORVPartialTree In(ReadTokens(
      u"(EXTBINARY :op IN :type 4 (CONST :text \"5\" :type 6) (CONST :text \"9\" :type 6)"
      u" (CONST :text \"2\" :type 6) (CONST :text \"7\" :type 6))"));
  Evaluator.GetValue(In.Get());
  auto& List = dynamic_cast<TORVInContainedValue&>(*In->FValue);
  for (int32_t I = 1; I < In->GetNumArguments(); ++I) {
    Evaluator.GetValue(In->GetArgument(I));
    List.AddValue(In->GetArgument(I)->FValue.get());
  }
  List.SortValues();
  EXPECT_EQ(List.GetNumValues(), 3);
  for (int32_t Probe = 0; Probe < 11; ++Probe) {
    TORVContainedValue Value(CharacterSetUnicode);
    Value.SetDataType(dtInteger);
    Value.SetAsInteger(Probe);
    EXPECT_EQ(List.FindValue(Value), Probe == 2 || Probe == 7 || Probe == 9) << Probe;
  }
  Evaluator.Reset(In.Get());
}

// An evaluator that records which of its virtual operations each node
// reached.
class TRecordingEvaluator : public TORVExprEvaluator {
 public:
  TRecordingEvaluator() : TORVExprEvaluator(CharacterSetUnicode) {}

  std::string Reached;

#define ORV_RECORD(Name) \
  void Name(TORVExprToken* /*Token*/) override { Reached = #Name; }
  ORV_RECORD(EvaluateCOUNT)
  ORV_RECORD(EvaluateLIST)
  ORV_RECORD(EvaluateMAX)
  ORV_RECORD(EvaluateMIN)
  ORV_RECORD(EvaluateSUM)
  ORV_RECORD(EvaluateSUMSQUARE)
  ORV_RECORD(EvaluateError)
  ORV_RECORD(EvaluateABORTED)
  ORV_RECORD(EvaluateCursorAttribute)
  ORV_RECORD(EvaluateStatementAttribute)
  ORV_RECORD(EvaluateCARDINALITY)
  ORV_RECORD(EvaluateCURCOMPUTER)
  ORV_RECORD(EvaluateCURDATABASE)
  ORV_RECORD(EvaluateCURSESSIONID)
  ORV_RECORD(EvaluateCURUSER)
  ORV_RECORD(EvaluateCURVERSION)
  ORV_RECORD(EvaluateINTRANS)
  ORV_RECORD(EvaluateLASTIDENTITY)
  ORV_RECORD(EvaluateLOADINGUPDATES)
  ORV_RECORD(EvaluateOPERATION)
  ORV_RECORD(EvaluateSTMTRESULT)
  ORV_RECORD(EvaluateFuncRef)
  ORV_RECORD(EvaluateQuery)
  ORV_RECORD(EvaluateTableRef)
#undef ORV_RECORD
  void EvaluateExistsQuery(TORVExprToken* QueryToken, TORVExprToken* ExistsToken) override {
    Reached += QueryToken != nullptr && ExistsToken->GetArgument(0) == QueryToken ? "EvaluateExistsQuery" : "?";
  }
};

// The function table reaches the overriding evaluator's operations: the
// eighteen bound to virtual operations directly, the others through their
// forwarding routines.
TEST(EvalDispatch, FunctionEntriesReachTheOverridingEvaluator) {
  struct TCase {
    const char* Tree;
    const char* Reached;
  };
  const TCase Cases[] = {
      {"(FUNCREF :op ABORTED :type 4)", "EvaluateABORTED"},
      {"(FUNCREF :op CARDINALITY :type 6)", "EvaluateCARDINALITY"},
      {"(FUNCREF :op COUNT :type 7)", "EvaluateCOUNT"},
      {"(FUNCREF :op CURCOMPUTER :type 1)", "EvaluateCURCOMPUTER"},
      {"(FUNCREF :op CURDATABASE :type 1)", "EvaluateCURDATABASE"},
      {"(FUNCREF :op CURSESSIONID :type 6)", "EvaluateCURSESSIONID"},
      {"(FUNCREF :op CURUSER :type 1)", "EvaluateCURUSER"},
      {"(FUNCREF :op CURVERSION :type 1)", "EvaluateCURVERSION"},
      {"(FUNCREF :op INTRANS :type 4)", "EvaluateINTRANS"},
      {"(FUNCREF :op LASTIDENTITY :type 6)", "EvaluateLASTIDENTITY"},
      {"(FUNCREF :op LIST :type 1)", "EvaluateLIST"},
      {"(FUNCREF :op LOADINGUPDATES :type 4)", "EvaluateLOADINGUPDATES"},
      {"(FUNCREF :op MAX :type 6)", "EvaluateMAX"},
      {"(FUNCREF :op MIN :type 6)", "EvaluateMIN"},
      {"(FUNCREF :op OPERATION :type 1)", "EvaluateOPERATION"},
      {"(FUNCREF :op STMTRESULT :type 1)", "EvaluateSTMTRESULT"},
      {"(FUNCREF :op SUM :type 6)", "EvaluateSUM"},
      {"(FUNCREF :op SUMSQUARE :type 6)", "EvaluateSUMSQUARE"},
      {"(FUNCREF :op BOF :type 4)", "EvaluateCursorAttribute"},
      {"(FUNCREF :op EOF :type 4)", "EvaluateCursorAttribute"},
      {"(FUNCREF :op COLCOUNT :type 6)", "EvaluateCursorAttribute"},
      {"(FUNCREF :op COLNAME :type 1)", "EvaluateCursorAttribute"},
      {"(FUNCREF :op ROWCOUNT :type 7)", "EvaluateCursorAttribute"},
      {"(FUNCREF :op SENSITIVE :type 4)", "EvaluateCursorAttribute"},
      {"(FUNCREF :op ROWSAFFECTED :type 7)", "EvaluateStatementAttribute"},
      {"(FUNCREF :op ERRORCODE :type 6)", "EvaluateError"},
      {"(FUNCREF :op ERRORMSG :type 1)", "EvaluateError"},
      {"(FUNCREF :op UDF :type 6)", "EvaluateFuncRef"},
      {"(FUNCREF :op EXISTS :type 4 (QUERY))", "EvaluateQueryEvaluateExistsQuery"},
      {"(QUERY)", "EvaluateQuery"},
      {"(TABLEREF :name \"t\")", "EvaluateTableRef"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Tree);
    TORVPartialTree Tree(ReadTokens(Utf8ToString(Case.Tree)));
    TRecordingEvaluator Evaluator;
    Evaluator.Evaluate(Tree.Get());
    EXPECT_EQ(Evaluator.Reached, Case.Reached);
    Evaluator.Reset(Tree.Get());
  }
  // The base operations: ABORTED is False, the others leave the value NULL.
  TORVExprEvaluator Base(CharacterSetUnicode);
  TORVPartialTree Aborted(ReadTokens(u"(FUNCREF :op ABORTED :type 4)"));
  EXPECT_EQ(Evaluate(Base, Aborted.Get()), "Boolean FALSE");
  Base.Reset(Aborted.Get());
  TORVPartialTree User(ReadTokens(u"(FUNCREF :op CURUSER :type 1)"));
  EXPECT_EQ(Evaluate(Base, User.Get()), "VarChar NULL");
  Base.Reset(User.Get());
}

// Whatever operator byte a stored tree carries, the evaluator raises an
// engine error naming it instead of calling through an empty entry: every
// operator outside its table's range, and the four function entries that
// never have a routine.
TEST(EvalDispatch, EveryOperatorWithoutARoutineIsAnEngineError) {
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (TORVTokenType Type : {ttBINARY, ttUNARY, ttEXTBINARY, ttFUNCREF}) {
    for (int32_t Operator = 0; Operator <= 255; ++Operator) {
      const bool InRange = (Type == ttBINARY || Type == ttUNARY) ? Operator >= toADD && Operator <= toSUBINTERVAL
                           : Type == ttEXTBINARY               ? Operator >= toBETWEEN && Operator <= toNOTLIKE
                                                               : Operator >= toABORTED && Operator <= toUPPER;
      const bool NeverEvaluated =
          Operator == toCASEOPTION || Operator == toCASERESULT || Operator == toEXTRACT || Operator == toTRIM;
      if (InRange && !(Type == ttFUNCREF && NeverEvaluated)) continue;
      SCOPED_TRACE("type " + std::to_string(Type) + ", operator " + std::to_string(Operator));
      TORVPartialTree Tree(ReadTokens(u"(BINARY :type 4 (CONST :text \"1\" :type 6) (CONST :text \"2\" :type 6))"));
      Tree->FTokenType = Type;
      Tree->FTokenOperator = static_cast<TORVTokenOperator>(Operator);
      Tree->FLine = 3;
      Tree->FCol = 7;
      try {
        Evaluator.Evaluate(Tree.Get());
        ADD_FAILURE() << "evaluated";
      } catch (const EORVException& E) {
        EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code);
        EXPECT_EQ(E.ErrorLine(), 3);
        EXPECT_EQ(E.ErrorColumn(), 7);
        EXPECT_NE(E.ErrorMsg().find(u"operator " + IntToString(Operator) + u" "), TORVString::npos)
            << StringToUtf8(E.ErrorMsg());
      }
      Evaluator.Reset(Tree.Get());
    }
  }
}

// Left-deep chains as long as the parser accepts are evaluated, initialized
// and reset without exhausting the stack, with the short-circuit of every
// link intact. The chains are random from a printed seed: TRUE, FALSE and a
// CURRENT_USER test that is true or false; the model gives the result and
// which tests ran.
TEST(EvalChains, LongChainsEvaluateInOrderWithoutRecursion) {
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed) + " (ORV_TEST_SEED repeats it)");
  std::mt19937 Random(Seed);
  for (int32_t Round = 0; Round < 4; ++Round) {
    const bool And = Round % 2 == 0;
    const int32_t Length = Round < 2 ? 10000 : 1 + static_cast<int32_t>(Random() % 50);
    std::string Sql;
    std::optional<bool> Model;  // the chain so far
    int32_t ModelCalls = 0;
    for (int32_t I = 0; I < Length; ++I) {
      // Mostly operands that do not decide (TRUE in an AND chain, FALSE in
      // an OR chain), so that long chains run far before one decides.
      const bool Decides = Random() % (Round < 2 ? 2000 : 3) == 0;
      const bool IsUser = Random() % 2 == 0;
      const bool Value = Decides ? !And : And;
      const std::string Operand = IsUser ? std::string("(CURRENT_USER = '") + (Value ? "x" : "y") + "')"
                                  : Value ? "TRUE"
                                          : "FALSE";
      if (I == 0) {
        Sql = Operand;
        Model = Value;
        ModelCalls += IsUser ? 1 : 0;
        continue;
      }
      Sql += And ? " AND " : " OR ";
      Sql += Operand;
      const bool Decided = And ? !*Model : *Model;
      if (!Decided) {
        ModelCalls += IsUser ? 1 : 0;
        Model = Value;
      }
    }
    SCOPED_TRACE("round " + std::to_string(Round) + ", " + std::to_string(Length) + " operands");
    test::TORVEvalExpr Expr(Sql);
    TCountingEvaluator Evaluator;
    Evaluator.Initialize(Expr.Root());
    EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), *Model ? "Boolean TRUE" : "Boolean FALSE");
    EXPECT_EQ(Evaluator.Calls, ModelCalls);
    // Again for the next row: the same answer from the kept values.
    Evaluator.Calls = 0;
    EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), *Model ? "Boolean TRUE" : "Boolean FALSE");
    EXPECT_EQ(Evaluator.Calls, ModelCalls);
    Evaluator.Reset(Expr.Root());
  }
}

TEST(EvalChains, LongArithmeticChainsAndAnErrorInsideAChain) {
  std::string Sum = "1";
  for (int32_t I = 1; I < 10000; ++I) Sum += I % 2 == 0 ? " + 3" : " - 1";
  test::TORVEvalExpr Expr(Sum);
  TCountingEvaluator Evaluator;
  Evaluator.Initialize(Expr.Root());
  EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), "Integer " + std::to_string(1 + 4999 * 3 - 5000));
  Evaluator.Reset(Expr.Root());

  // Far longer than any stack would hold as recursion: a chain built here,
  // 1 + 1 + ... with 60,000 links.
  auto Constant = [] {
    auto* One = new TORVExprToken;
    One->FTokenType = ttCONST;
    One->SetDataType(dtInteger);
    One->FTokenConstant = u"1";
    return One;
  };
  TORVPartialTree Long(Constant());
  const int32_t Links = 60000;
  for (int32_t I = 0; I < Links; ++I) {
    auto* Link = new TORVExprToken;
    Link->FTokenType = ttBINARY;
    Link->FTokenOperator = toADD;
    Link->SetDataType(dtInteger);
    Link->SetLeftToken(Long.Release());
    Link->SetRightToken(Constant());
    Long.Reset(Link);
  }
  Evaluator.Initialize(Long.Get());
  EXPECT_EQ(Evaluate(Evaluator, Long.Get()), "Integer " + std::to_string(Links + 1));
  Evaluator.Reset(Long.Get());

  // An error half-way up a chain leaves the evaluator ready for the next
  // tree.
  std::string Ors = "FALSE";
  for (int32_t I = 0; I < 5000; ++I) Ors += I == 2500 ? " OR (CURRENT_USER = 'x')" : " OR FALSE";
  test::TORVEvalExpr Failing(Ors);
  Evaluator.Raise = true;
  EXPECT_THROW(Evaluator.Evaluate(Failing.Root()), EORVException);
  Evaluator.Raise = false;
  EXPECT_EQ(Evaluate(Evaluator, Failing.Root()), "Boolean TRUE");
  EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), "Integer " + std::to_string(1 + 4999 * 3 - 5000));
  Evaluator.Reset(Failing.Root());
  Evaluator.Reset(Expr.Root());
}

// Operands that do not decide are never evaluated: the later options and
// results of a CASE, the unchosen branch, the items after an IN match, and
// everything after a NULL tested value.
TEST(EvalPredicates, OnlyTheOperandsThatDecideAreEvaluated) {
  struct TCase {
    const char* Sql;
    int32_t Calls;
    const char* Result;
  };
  const TCase Cases[] = {
      {"COALESCE(Name, 'a', CURRENT_USER)", 0, "VarChar a"},
      {"COALESCE(Name, CURRENT_USER, 'a')", 1, "VarChar x"},
      {"CASE WHEN 1 = 1 THEN 'a' WHEN CURRENT_USER = 'x' THEN CURRENT_USER ELSE CURRENT_USER END", 0, "VarChar a"},
      {"CASE WHEN CURRENT_USER = 'y' THEN 'a' WHEN CURRENT_USER = 'x' THEN 'b' ELSE CURRENT_USER END", 2,
       "VarChar b"},
      {"CASE WHEN Active THEN CURRENT_USER ELSE 'z' END", 0, "VarChar z"},
      {"CASE CURRENT_USER WHEN 'x' THEN 'a' WHEN 'y' THEN 'b' END", 1, "VarChar a"},
      {"IF(TRUE, 'a', CURRENT_USER)", 0, "VarChar a"},
      {"IF(Active, CURRENT_USER, 'b')", 0, "VarChar b"},
      {"IFNULL('a', CURRENT_USER, 'b')", 0, "VarChar b"},
      {"IFNULL(Name, CURRENT_USER, 'b')", 1, "VarChar x"},
      {"NULLIF(CURRENT_USER, 'y')", 1, "VarChar x"},
      {"NULLIF(CURRENT_USER, 'x')", 1, "VarChar NULL"},
      {"'x' IN ('a', CURRENT_USER, CURRENT_USER)", 1, "Boolean TRUE"},
      {"'q' IN (CURRENT_USER, CURRENT_USER)", 2, "Boolean FALSE"},
      {"'x' NOT IN (CURRENT_USER, CURRENT_USER)", 2, "Boolean FALSE"},
      {"Name IN (CURRENT_USER)", 0, "Boolean NULL"},
      {"Name NOT IN (CURRENT_USER)", 0, "Boolean NULL"},
      {"Name BETWEEN CURRENT_USER AND 'z'", 0, "Boolean NULL"},
      {"'b' BETWEEN 'a' AND CURRENT_USER", 1, "Boolean TRUE"},
      {"Name LIKE CURRENT_USER", 0, "Boolean NULL"},
      {"CURRENT_USER LIKE 'x%'", 1, "Boolean TRUE"},
      {"CURRENT_USER IS NULL", 1, "Boolean FALSE"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Sql);
    test::TORVEvalExpr Expr(Case.Sql);
    ExpectResultAndCalls(Expr, Case.Result, Case.Calls);
  }
}

// Texts of the numbers a random IN list draws from, by type: a few small
// numbers (so that rows often hit and items repeat), negatives, the type's
// extremes, and those of every narrower type, so that a tested value of
// another width can equal an item. Whole numbers near the decimal range's
// edge meet decimals there (922337203685478 is a whole number no decimal
// reaches); 2^53 + 1 is a whole number no double reaches, and the largest
// BigInt reads as the double 2^63, which no BigInt equals.
std::vector<std::string> InListNumberTexts(int32_t DataType) {
  std::vector<std::string> Texts = {"-3", "-2", "-1", "0", "1", "2", "3", "-32768", "32767"};
  const std::vector<std::string> Integer = {"-2147483648", "2147483647"};
  const std::vector<std::string> Large = {"-9223372036854775808", "9223372036854775807", "2147483648",
                                          "9007199254740992", "9007199254740993"};
  const std::vector<std::string> DecimalEdges = {"922337203685477", "-922337203685477", "922337203685478",
                                                 "-922337203685478"};
  const std::vector<std::string> Fractions = {"-0.5", "0.5", "2.5", "0.1", "0.0001", "-0.0001"};
  if (DataType != dtSmallInt) Texts.insert(Texts.end(), Integer.begin(), Integer.end());
  if (DataType == dtBigInt || DataType == dtFloat) Texts.insert(Texts.end(), Large.begin(), Large.end());
  if (DataType == dtBigInt || DataType == dtDecimal) {
    Texts.insert(Texts.end(), DecimalEdges.begin(), DecimalEdges.end() - (DataType == dtDecimal ? 2 : 0));
  }
  if (DataType == dtDecimal || DataType == dtFloat) Texts.insert(Texts.end(), Fractions.begin(), Fractions.end());
  if (DataType == dtDecimal) {
    Texts.push_back("922337203685477.5807");
    Texts.push_back("-922337203685477.5808");
  }
  if (DataType == dtFloat) Texts.push_back("-0");
  return Texts;
}

// A typed constant or parameter node of a test's tree.
std::string InListNode(const char* Kind, int32_t DataType, const std::string& Text) {
  return "(" + std::string(Kind) + " :text \"" + Text + "\" :type " + std::to_string(DataType) +
         (DataType == dtDecimal ? " :scale 4" : "") + ")";
}

// The sorted list of an IN over constants and parameters answers, row after
// row, as a linear search with Compare over the same items' values does.
// Items and the tested value are whole numbers of every width, decimals and
// Floats, in lists of one type or mixed (a Float among whole numbers or
// decimals leaves the numeric keys for the general search); parameters
// take new values, of their own type, between executions. NOT IN searches
// the same way and is checked beside it.
TEST(EvalPredicates, SortedInListAnswersLikeALinearSearch) {
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed) + " (ORV_TEST_SEED repeats it)");
  std::mt19937 Random(Seed);
  auto Pick = [&Random](int32_t Low, int32_t High) { return std::uniform_int_distribution<int32_t>(Low, High)(Random); };
  const std::vector<int32_t> Exact = {dtSmallInt, dtInteger, dtBigInt, dtDecimal};
  auto PickType = [&](bool WithFloat) {
    return WithFloat && Pick(0, 2) == 0 ? dtFloat : Exact[static_cast<std::size_t>(Pick(0, 3))];
  };
  auto PickText = [&](int32_t DataType) {
    const std::vector<std::string> Texts = InListNumberTexts(DataType);
    return Texts[static_cast<std::size_t>(Pick(0, static_cast<int32_t>(Texts.size()) - 1))];
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (int32_t List = 0; List < 400; ++List) {
    const bool WithFloat = Pick(0, 3) == 0;
    // Most lists of one width, so that repeats are common; the others mixed.
    const bool OneType = Pick(0, 2) == 0;
    const int32_t ListType = PickType(WithFloat);
    const int32_t TestedType = PickType(true);
    // Some items NULL, at times all of them.
    const int32_t NullPercent = Pick(0, 5) == 0 ? 100 : 15;
    std::string ItemsText;
    const int32_t Count = Pick(1, 14);
    for (int32_t I = 0; I < Count; ++I) {
      const int32_t DataType = OneType ? ListType : PickType(WithFloat);
      const char* Kind = Pick(0, 3) == 0 ? "DYNPARAMREF" : "CONST";
      ItemsText += " " + InListNode(Kind, DataType, Pick(1, 100) > NullPercent ? PickText(DataType) : "NULL");
    }
    const std::string Tested = InListNode("CONST", TestedType, "0");
    TORVPartialTree In(ReadTokens(Utf8ToString("(EXTBINARY :op IN :type 4 " + Tested + ItemsText + ")")));
    TORVPartialTree NotIn(ReadTokens(Utf8ToString("(EXTBINARY :op NOTIN :type 4 " + Tested + ItemsText + ")")));
    Evaluator.Initialize(In.Get());
    Evaluator.Initialize(NotIn.Get());
    std::string Parameters;
    for (int32_t Row = 0; Row < 40; ++Row) {
      if (Row % 10 == 0) {
        // A new execution: the same new value for a parameter in both trees.
        Parameters.clear();
        for (int32_t I = 1; I < In->GetNumArguments(); ++I) {
          if (In->GetArgument(I)->FTokenType != ttDYNPARAMREF) continue;
          const std::string Text = Pick(1, 100) > NullPercent ? PickText(In->GetArgument(I)->FDataType) : "NULL";
          Parameters += " " + Text;
          for (TORVExprToken* Tree : {In.Get(), NotIn.Get()}) {
            TORVExprToken* Item = Tree->GetArgument(I);
            Evaluator.GetValue(Item);
            if (Text == "NULL") {
              Item->FValue->SetAsNull(true);
            } else {
              Item->FValue->SetAsString(Utf8ToString(Text));
            }
          }
        }
      }
      // The tested constant's value object stands for the row's column.
      const std::string Value = Pick(0, 9) != 0 ? PickText(TestedType) : "NULL";
      for (TORVExprToken* Tree : {In.Get(), NotIn.Get()}) {
        Evaluator.GetValue(Tree->GetArgument(0));
        if (Value == "NULL") {
          Tree->GetArgument(0)->FValue->SetAsNull(true);
        } else {
          Tree->GetArgument(0)->FValue->SetAsString(Utf8ToString(Value));
        }
      }
      std::string Expected = "Boolean NULL";
      std::string ExpectedNot = "Boolean NULL";
      if (Value != "NULL") {
        TORVExprToken* TestedNode = In->GetArgument(0);
        bool Found = false, AllNull = true;
        for (int32_t I = 1; I < In->GetNumArguments(); ++I) {
          Evaluator.GetValue(In->GetArgument(I));
          TORVValue& Item = *In->GetArgument(I)->FValue;
          if (Item.GetNull()) continue;
          AllNull = false;
          Found = Found || TestedNode->FValue->Compare(Item, In->FPartialLength, false, TestedNode->FCollation) == 0;
        }
        Expected = Found ? "Boolean TRUE" : "Boolean FALSE";
        ExpectedNot = !AllNull && !Found ? "Boolean TRUE" : "Boolean FALSE";
      }
      SCOPED_TRACE("list" + ItemsText + " parameters" + Parameters + " row " + Value);
      ASSERT_EQ(Evaluate(Evaluator, In.Get()), Expected);
      ASSERT_EQ(Evaluate(Evaluator, NotIn.Get()), ExpectedNot);
    }
    Evaluator.Reset(In.Get());
    Evaluator.Reset(NotIn.Get());
  }
}

// Numbers of another type than the items equal an item exactly when
// Compare says so: a whole number and a decimal or a double of the same
// value, never one that a conversion would round onto an item.
TEST(EvalPredicates, SortedInListMeetsNumbersOfOtherTypesExactly) {
  struct TCase {
    std::vector<std::pair<int32_t, const char*>> Items;
    int32_t TestedType;
    const char* Tested;
    bool Found;
  };
  const TCase Cases[] = {
      {{{dtFloat, "9007199254740992"}}, dtBigInt, "9007199254740993", false},
      {{{dtFloat, "9007199254740992"}}, dtBigInt, "9007199254740992", true},
      {{{dtFloat, "9223372036854775807"}}, dtBigInt, "9223372036854775807", false},
      {{{dtFloat, "-9223372036854775808"}, {dtFloat, "1"}}, dtBigInt, "-9223372036854775808", true},
      {{{dtFloat, "-0"}, {dtFloat, "2.5"}}, dtFloat, "0", true},
      {{{dtFloat, "-0"}, {dtFloat, "2.5"}}, dtDecimal, "2.5", true},
      {{{dtInteger, "1"}, {dtInteger, "2"}}, dtDecimal, "1.0000", true},
      {{{dtInteger, "1"}, {dtInteger, "2"}}, dtDecimal, "1.5", false},
      {{{dtInteger, "0"}}, dtFloat, "-0", true},
      {{{dtInteger, "0"}}, dtFloat, "0.5", false},
      {{{dtBigInt, "9007199254740993"}}, dtFloat, "9007199254740993", false},
      {{{dtDecimal, "1.5"}, {dtSmallInt, "2"}}, dtInteger, "2", true},
      {{{dtDecimal, "1.5"}, {dtSmallInt, "2"}}, dtBigInt, "9223372036854775807", false},
      {{{dtDecimal, "1"}, {dtInteger, "3"}}, dtFloat, "1", true},
      {{{dtDecimal, "1"}, {dtInteger, "3"}}, dtFloat, "1.5", false},
      {{{dtSmallInt, "-32768"}, {dtSmallInt, "32767"}}, dtBigInt, "-32768", true},
      {{{dtBigInt, "-9223372036854775808"}, {dtBigInt, "9223372036854775807"}}, dtSmallInt, "-1", false},
      {{{dtBigInt, "-9223372036854775808"}, {dtBigInt, "9223372036854775807"}}, dtBigInt, "9223372036854775807",
       true},
      {{{dtBigInt, "922337203685478"}, {dtDecimal, "1"}}, dtBigInt, "922337203685478", true},
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (const TCase& Case : Cases) {
    std::string Tree = "(EXTBINARY :op IN :type 4 " + InListNode("CONST", Case.TestedType, Case.Tested);
    for (const auto& [DataType, Text] : Case.Items) Tree += " " + InListNode("CONST", DataType, Text);
    SCOPED_TRACE(Tree);
    TORVPartialTree In(ReadTokens(Utf8ToString(Tree + ")")));
    Evaluator.Initialize(In.Get());
    EXPECT_EQ(Evaluate(Evaluator, In.Get()), Case.Found ? "Boolean TRUE" : "Boolean FALSE");
    Evaluator.Reset(In.Get());
  }
}

// A prepared statement executed again with new parameter values answers
// from the new values, not from the list sorted for the old ones.
TEST(EvalPredicates, InListOfParametersFollowsNewParameterValues) {
  struct TCase {
    std::optional<int32_t> First, Second;
    const char* Result;
  };
  const TCase Executions[] = {
      {1, 2, "Boolean FALSE"}, {3, 2, "Boolean TRUE"},        {1, 2, "Boolean FALSE"},
      {9, 3, "Boolean TRUE"},  {std::nullopt, 4, "Boolean FALSE"}, {std::nullopt, std::nullopt, "Boolean FALSE"},
      {std::nullopt, 3, "Boolean TRUE"}, {5, 5, "Boolean FALSE"},
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  TORVPartialTree In(ReadTokens(
      u"(EXTBINARY :op IN :type 4 (CONST :text \"3\" :type 6) (DYNPARAMREF :type 6) (CONST :text \"7\" :type 6)"
      u" (DYNPARAMREF :type 6))"));
  Evaluator.Initialize(In.Get());
  Evaluator.GetValue(In.Get());
  ASSERT_NE(dynamic_cast<TORVInContainedValue*>(In->FValue.get()), nullptr);
  for (const TCase& Execution : Executions) {
    int32_t Index = 1;
    for (const std::optional<int32_t>& Parameter : {Execution.First, Execution.Second}) {
      if (Index == 2) ++Index;  // the constant between the parameters
      TORVExprToken* Item = In->GetArgument(Index++);
      Evaluator.GetValue(Item);
      if (Parameter) {
        Item->FValue->SetAsInteger(*Parameter);
      } else {
        Item->FValue->SetAsNull(true);
      }
    }
    SCOPED_TRACE(std::string(Execution.Result) + " " + (Execution.First ? std::to_string(*Execution.First) : "NULL") +
                 " " + (Execution.Second ? std::to_string(*Execution.Second) : "NULL"));
    EXPECT_EQ(Evaluate(Evaluator, In.Get()), Execution.Result);
  }
  Evaluator.Reset(In.Get());
}

// An evaluator whose text searches answer Answer (nullopt for NULL) and
// record which search ran, with what; the search text is CURRENT_USER,
// counted by the base class.
class TSearchingEvaluator : public TCountingEvaluator {
 public:
  void EvaluateContainsText(TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token) override {
    Answer(u"Text", Column, SearchText, Token);
  }
  void EvaluateContainsAnyText(TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token) override {
    Answer(u"AnyText", Column, SearchText, Token);
  }

  std::optional<bool> Result;
  TORVString Reached;

 private:
  void Answer(const TORVString& Search, TORVExprToken* Column, TORVExprToken* SearchText, TORVExprToken* Token) {
    // The column and the search text arrive evaluated, as the node's first
    // and second arguments.
    const bool Arguments = Column == Token->GetArgument(0) && SearchText == Token->GetArgument(1) &&
                           SearchText->FValue != nullptr && SearchText->FValue->GetAsString() == User;
    Reached = Arguments ? Search : u"?";
    if (Result) {
      Token->FValue->SetAsBoolean(*Result);
    } else {
      Token->FValue->SetAsNull(true);
    }
  }
};

// CONTAINS and CONTAINS ANY hand the evaluated column and search text to
// the session's search, whose answer the NOT forms negate; a NULL column is
// NULL without evaluating the search text or searching, and a NULL answer
// stays NULL.
TEST(EvalPredicates, TextSearchesReachTheSessionsSearch) {
  struct TCase {
    const char* Op;
    bool NullColumn;
    std::optional<bool> Answer;
    const char16_t* Reached;
    const char* Result;
  };
  const TCase Cases[] = {
      {"CONTAINS", false, true, u"Text", "Boolean TRUE"},
      {"CONTAINS", false, false, u"Text", "Boolean FALSE"},
      {"CONTAINS", false, std::nullopt, u"Text", "Boolean NULL"},
      {"NOTCONTAINS", false, true, u"Text", "Boolean FALSE"},
      {"NOTCONTAINS", false, false, u"Text", "Boolean TRUE"},
      {"NOTCONTAINS", false, std::nullopt, u"Text", "Boolean NULL"},
      {"CONTAINSANY", false, true, u"AnyText", "Boolean TRUE"},
      {"CONTAINSANY", false, false, u"AnyText", "Boolean FALSE"},
      {"NOTCONTAINSANY", false, true, u"AnyText", "Boolean FALSE"},
      {"NOTCONTAINSANY", false, false, u"AnyText", "Boolean TRUE"},
      {"NOTCONTAINSANY", false, std::nullopt, u"AnyText", "Boolean NULL"},
      {"CONTAINS", true, true, u"", "Boolean NULL"},
      {"NOTCONTAINS", true, true, u"", "Boolean NULL"},
      {"CONTAINSANY", true, false, u"", "Boolean NULL"},
      {"NOTCONTAINSANY", true, false, u"", "Boolean NULL"},
  };
  for (const TCase& Case : Cases) {
    // The column stands as a constant; a NULL constant is written typeless.
    const std::string Sexp = std::string("(EXTBINARY :op ") + Case.Op + " :type 4 " +
                             (Case.NullColumn ? "(CONST :text \"NULL\")" : "(CONST :text \"a b\" :type 1 :len 3)") +
                             " (FUNCREF :op CURUSER :type 1))";
    SCOPED_TRACE(Sexp);
    TORVPartialTree Tree(ReadTokens(Utf8ToString(Sexp)));
    TSearchingEvaluator Evaluator;
    Evaluator.Result = Case.Answer;
    Evaluator.Initialize(Tree.Get());
    // Twice, as for two rows: the second answer is the search's again.
    for (int32_t Row = 0; Row < 2; ++Row) {
      Evaluator.Reached.clear();
      Evaluator.Calls = 0;
      EXPECT_EQ(Evaluate(Evaluator, Tree.Get()), Case.Result);
      EXPECT_EQ(Evaluator.Reached, Case.Reached);
      EXPECT_EQ(Evaluator.Calls, Case.NullColumn ? 0 : 1);
    }
    Evaluator.Reset(Tree.Get());
  }
}

// The base evaluator has no text indexes to search: a text search is the
// engine error naming its operator, never an answer left from an earlier
// row.
TEST(EvalPredicates, BaseEvaluatorRefusesTextSearches) {
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (const char* Op : {"CONTAINS", "NOTCONTAINS", "CONTAINSANY", "NOTCONTAINSANY"}) {
    SCOPED_TRACE(Op);
    TORVPartialTree Tree(ReadTokens(Utf8ToString(std::string("(EXTBINARY :op ") + Op +
                                                 " :type 4 (CONST :text \"a b\" :type 1 :len 3)"
                                                 " (CONST :text \"a\" :type 1 :len 1))")));
    try {
      Evaluator.Evaluate(Tree.Get());
      ADD_FAILURE() << "evaluated";
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code);
      EXPECT_NE(E.ErrorMsg().find(u"operator " + IntToString(Tree->FTokenOperator) + u" "), TORVString::npos)
          << StringToUtf8(E.ErrorMsg());
    }
    // A NULL column is NULL before any search.
    TORVPartialTree Null(ReadTokens(Utf8ToString(std::string("(EXTBINARY :op ") + Op +
                                                 " :type 4 (CONST :text \"NULL\")"
                                                 " (CONST :text \"a\" :type 1 :len 1))")));
    EXPECT_EQ(Evaluate(Evaluator, Null.Get()), "Boolean NULL");
    Evaluator.Reset(Tree.Get());
    Evaluator.Reset(Null.Get());
  }
}

// A formatted CAST evaluated row after row: each row's text is read
// afresh, and a row whose text the format cannot read raises the
// conversion error instead of answering with the row before's date.
TEST(EvalCast, EveryRowIsReadAfreshAndUnreadableTextRaises) {
  test::TORVEvalExpr Expr("CAST(Name AS DATE DATE FORMAT 'dd.mm.yyyy')");
  TORVExprToken* Name = Expr.Root()->GetArgument(0);
  ASSERT_EQ(Name->FTokenType, ttCOLUMNREF);
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  Evaluator.Initialize(Expr.Root());
  Evaluator.GetValue(Name);
  struct TRow {
    const char16_t* Text;  // nil for NULL
    const char* Result;    // nil for the conversion error
  };
  const TRow Rows[] = {
      {u"31.12.2024", "Date 2024-12-31"}, {u"xx.12.2024", nullptr}, {u"01.02.2023", "Date 2023-02-01"},
      {u"", nullptr},                     {nullptr, "Date NULL"},  {u"31.02.2024", nullptr},
      {u"29.02.2024", "Date 2024-02-29"},
  };
  for (const TRow& Row : Rows) {
    SCOPED_TRACE(Row.Text != nullptr ? StringToUtf8(Row.Text) : std::string("NULL"));
    if (Row.Text != nullptr) {
      Name->FValue->SetAsString(Row.Text);
    } else {
      Name->FValue->SetAsNull(true);
    }
    if (Row.Result != nullptr) {
      EXPECT_EQ(Evaluate(Evaluator, Expr.Root()), Row.Result);
      continue;
    }
    try {
      Evaluator.Evaluate(Expr.Root());
      ADD_FAILURE() << "read as " << test::ValueText(*Expr.Root()->FValue);
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), ORV_VALUE_ERROR.Code);
      EXPECT_NE(E.ErrorMsg().find(Row.Text), TORVString::npos) << StringToUtf8(E.ErrorMsg());
    }
  }
  Evaluator.Reset(Expr.Root());
}

}  // namespace
}  // namespace orv
