#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "tests/eval/orvevaltest.h"
#include "tests/support/orvsqliteoracle.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

// A random expression written twice: for the engine, where the NULLs are
// the columns Active (Boolean) and ID (Integer) of an unset row, since the
// compiler refuses a bare NULL operand, and for SQLite, where they are NULL.
struct TExpression {
  std::string Engine;
  std::string SQLite;
  // The integer's value, kept to stay inside 32 bits; nullopt for NULL.
  std::optional<int64_t> Value;
};

class TExpressionGenerator {
 public:
  explicit TExpressionGenerator(uint32_t Seed) : FRandom(Seed) {}

  TExpression Boolean(int32_t Depth) {
    const uint32_t Pick = Depth <= 0 ? FRandom() % 3 : FRandom() % 8;
    switch (Pick) {
      case 0:
        return {"TRUE", "TRUE", 1};
      case 1:
        return {"FALSE", "FALSE", 0};
      case 2:
        return {"Active", "NULL", std::nullopt};
      case 3: {
        TExpression Operand = Boolean(Depth - 1);
        return {"(NOT " + Operand.Engine + ")", "(NOT " + Operand.SQLite + ")", std::nullopt};
      }
      case 4:
      case 5: {
        const char* Op = Pick == 4 ? " AND " : " OR ";
        return Join(Boolean(Depth - 1), Op, Boolean(Depth - 1));
      }
      default: {
        const char* Op = Pick == 6 ? " = " : " < ";
        return Join(Integer(Depth - 1), Op, Integer(Depth - 1));
      }
    }
  }

  TExpression Integer(int32_t Depth) {
    const uint32_t Pick = Depth <= 0 ? FRandom() % 2 : FRandom() % 5;
    if (Pick == 0) {
      const int64_t Value = FRandom() % 10;
      return {std::to_string(Value), std::to_string(Value), Value};
    }
    if (Pick == 1) return {"ID", "NULL", std::nullopt};
    const char* Op = Pick == 2 ? " + " : Pick == 3 ? " - " : " * ";
    TExpression Left = Integer(Depth - 1);
    TExpression Right = Integer(Depth - 1);
    TExpression Result = Join(Left, Op, Right);
    if (Left.Value && Right.Value) {
      Result.Value = Pick == 2 ? *Left.Value + *Right.Value
                     : Pick == 3 ? *Left.Value - *Right.Value
                                 : *Left.Value * *Right.Value;
      // Results stay inside 32 bits, where both engines agree.
      if (*Result.Value > INT32_MAX || *Result.Value < INT32_MIN) return Left;
    }
    return Result;
  }

 private:
  static TExpression Join(const TExpression& Left, const char* Op, const TExpression& Right) {
    return {"(" + Left.Engine + Op + Right.Engine + ")", "(" + Left.SQLite + Op + Right.SQLite + ")", std::nullopt};
  }

  std::mt19937 FRandom;
};

// The engine's answer as SQLite writes it: 1 and 0 for True and False.
std::string EngineAnswer(const std::string& Sql) {
  test::TORVEvalExpr Expr(Sql);
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  Evaluator.Initialize(Expr.Root());
  Evaluator.Evaluate(Expr.Root());
  TORVValue& Value = *Expr.Root()->FValue;
  std::string Answer = Value.GetNull()                      ? "NULL"
                       : Value.GetDataType() == dtBoolean   ? (Value.GetAsBoolean() ? "1" : "0")
                                                            : StringToUtf8(Value.GetAsString());
  Evaluator.Reset(Expr.Root());
  return Answer;
}

// Random expressions over TRUE, FALSE, NULL and small integers, built from
// AND, OR, NOT, =, <, +, - and *, give SQLite's answers, NULL included.
TEST(EvalAgainstSQLite, RandomLogicAndArithmeticGiveSQLitesAnswers) {
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed) + " (ORV_TEST_SEED repeats it)");
  TExpressionGenerator Generator(Seed);
  test::TORVSQLiteOracle SQLite;
  std::mt19937 Shape(Seed + 1);
  for (int32_t Round = 0; Round < 1500; ++Round) {
    const int32_t Depth = 1 + static_cast<int32_t>(Shape() % 5);
    const TExpression Expression = Shape() % 3 == 0 ? Generator.Integer(Depth) : Generator.Boolean(Depth);
    SCOPED_TRACE(Expression.Engine);
    ASSERT_EQ(EngineAnswer(Expression.Engine), SQLite.SelectValue(Expression.SQLite)) << Expression.SQLite;
  }
}

}  // namespace
}  // namespace orv
