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
// the columns Active (Boolean), ID (Integer) and Name (VarChar) of an unset
// row, since the compiler refuses a bare NULL operand, and for SQLite, where
// they are NULL.
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
    const uint32_t Pick = Depth <= 0 ? FRandom() % 3 : FRandom() % 15;
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
      case 6:
      case 7:
        return Join(Integer(Depth - 1), Comparison(), Integer(Depth - 1));
      case 8: {
        const char* Op = FRandom() % 2 == 0 ? " IS NULL" : " IS NOT NULL";
        TExpression Operand = FRandom() % 2 == 0 ? Integer(Depth - 1) : TextValue(Depth - 1);
        return {"(" + Operand.Engine + Op + ")", "(" + Operand.SQLite + Op + ")", std::nullopt};
      }
      case 9: {
        // Non-NULL bounds, in either order: there the NULL rules agree.
        const char* Op = FRandom() % 2 == 0 ? " BETWEEN " : " NOT BETWEEN ";
        const bool Texts = FRandom() % 3 == 0;
        TExpression Operand = Texts ? TextValue(Depth - 1) : Integer(Depth - 1);
        const std::string Low = Texts ? Literal() : std::to_string(FRandom() % 10);
        const std::string High = Texts ? Literal() : std::to_string(FRandom() % 10);
        return {"(" + Operand.Engine + Op + Low + " AND " + High + ")",
                "(" + Operand.SQLite + Op + Low + " AND " + High + ")", std::nullopt};
      }
      case 10: {
        // Lists without NULL items, where NULL items would answer
        // differently on purpose.
        const char* Op = FRandom() % 2 == 0 ? " IN (" : " NOT IN (";
        const bool Texts = FRandom() % 3 == 0;
        std::string List;
        for (uint32_t Items = 1 + FRandom() % 5; Items > 0; --Items) {
          List += (Texts ? Literal() : std::to_string(FRandom() % 10)) + (Items > 1 ? ", " : ")");
        }
        TExpression Operand = Texts ? TextValue(Depth - 1) : Integer(Depth - 1);
        return {"(" + Operand.Engine + Op + List + ")", "(" + Operand.SQLite + Op + List + ")", std::nullopt};
      }
      case 11: {
        // Patterns are never empty: an empty pattern matches nothing here.
        const char* Op = FRandom() % 2 == 0 ? " LIKE " : " NOT LIKE ";
        return Join(TextValue(Depth - 1), Op, Text("ab_%", 1));
      }
      case 12: {
        // An escape character before a wildcard or before itself, over
        // texts that hold the wildcards as characters.
        const char* Op = FRandom() % 2 == 0 ? " LIKE " : " NOT LIKE ";
        const char* Pieces[] = {"a", "b", "_", "%", "!_", "!%", "!!"};
        std::string Pattern = "'";
        for (uint32_t Count = 1 + FRandom() % 4; Count > 0; --Count) Pattern += Pieces[FRandom() % 7];
        Pattern += "'";
        TExpression Tested = Text("ab_%!");
        return {"(" + Tested.Engine + Op + Pattern + " ESCAPE '!')",
                "(" + Tested.SQLite + Op + Pattern + " ESCAPE '!')", std::nullopt};
      }
      case 13:
        return Join(TextValue(Depth - 1), Comparison(), TextValue(Depth - 1));
      default:
        return Conditional(Depth - 1, [this](int32_t Inner) { return Boolean(Inner); });
    }
  }

  // CASE, IF, IFNULL, COALESCE and NULLIF over Boolean, integer or text
  // operands.
  template <typename TOperand>
  TExpression Conditional(int32_t Depth, TOperand Operand) {
    switch (FRandom() % 5) {
      case 0: {
        TExpression Condition = Boolean(Depth);
        TExpression Then = Operand(Depth);
        TExpression Else = Operand(Depth);
        return {"(CASE WHEN " + Condition.Engine + " THEN " + Then.Engine + " ELSE " + Else.Engine + " END)",
                "(CASE WHEN " + Condition.SQLite + " THEN " + Then.SQLite + " ELSE " + Else.SQLite + " END)",
                std::nullopt};
      }
      case 1: {
        TExpression Condition = Boolean(Depth);
        TExpression Then = Operand(Depth);
        TExpression Else = Operand(Depth);
        return {"IF(" + Condition.Engine + ", " + Then.Engine + ", " + Else.Engine + ")",
                "iif(" + Condition.SQLite + ", " + Then.SQLite + ", " + Else.SQLite + ")", std::nullopt};
      }
      case 2: {
        // IFNULL(x, a, b) is a when x is NULL, else b.
        TExpression Tested = Operand(Depth);
        TExpression IfNull = Operand(Depth);
        TExpression Otherwise = Operand(Depth);
        return {"IFNULL(" + Tested.Engine + ", " + IfNull.Engine + ", " + Otherwise.Engine + ")",
                "(CASE WHEN " + Tested.SQLite + " IS NULL THEN " + IfNull.SQLite + " ELSE " + Otherwise.SQLite +
                    " END)",
                std::nullopt};
      }
      case 3:
        return Call("COALESCE", Operand(Depth), Operand(Depth));
      default:
        return Call("NULLIF", Operand(Depth), Operand(Depth));
    }
  }

  TExpression Integer(int32_t Depth) {
    // A conditional's value is not followed, so it is kept out of the
    // arithmetic, whose results must stay inside 32 bits.
    return Depth > 0 && FRandom() % 6 == 0 ? Conditional(Depth - 1, [this](int32_t Inner) { return Arithmetic(Inner); })
                                           : Arithmetic(Depth);
  }

  // A text of ASCII letters, or Name, which is NULL. Chars are what a text
  // is made of, from MinLength to 3 of them.
  TExpression Text(const char* Chars = "abA", uint32_t MinLength = 0) {
    if (FRandom() % 6 == 0) return {"Name", "NULL", std::nullopt};
    const std::string Quoted = Literal(Chars, MinLength);
    return {Quoted, Quoted, std::nullopt};
  }

  // A text literal, never NULL.
  std::string Literal(const char* Chars = "abA", uint32_t MinLength = 0) {
    std::string Quoted = "'";
    const uint32_t Count = static_cast<uint32_t>(std::char_traits<char>::length(Chars));
    for (uint32_t Length = MinLength + FRandom() % (4 - MinLength); Length > 0; --Length) {
      Quoted += Chars[FRandom() % Count];
    }
    Quoted += "'";
    return Quoted;
  }

  // A text, or at times a conditional choosing between texts.
  TExpression TextValue(int32_t Depth) {
    return Depth > 0 && FRandom() % 4 == 0 ? Conditional(Depth - 1, [this](int32_t Inner) { return TextValue(Inner); })
                                           : Text();
  }

  TExpression Arithmetic(int32_t Depth) {
    const uint32_t Pick = Depth <= 0 ? FRandom() % 2 : FRandom() % 5;
    if (Pick == 0) {
      const int64_t Value = FRandom() % 10;
      return {std::to_string(Value), std::to_string(Value), Value};
    }
    if (Pick == 1) return {"ID", "NULL", std::nullopt};
    const char* Op = Pick == 2 ? " + " : Pick == 3 ? " - " : " * ";
    TExpression Left = Arithmetic(Depth - 1);
    TExpression Right = Arithmetic(Depth - 1);
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
  const char* Comparison() {
    const char* Ops[] = {" = ", " <> ", " < ", " <= ", " > ", " >= "};
    return Ops[FRandom() % 6];
  }

  static TExpression Call(const char* Name, const TExpression& First, const TExpression& Second) {
    return {std::string(Name) + "(" + First.Engine + ", " + Second.Engine + ")",
            std::string(Name) + "(" + First.SQLite + ", " + Second.SQLite + ")", std::nullopt};
  }

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

// Random expressions over TRUE, FALSE, NULL, small integers and short ASCII
// texts, built from AND, OR, NOT, the six comparisons, +, -, *, IS NULL,
// BETWEEN, IN, LIKE with and without ESCAPE and the conditional functions,
// give SQLite's answers, NULL included.
TEST(EvalAgainstSQLite, RandomLogicAndArithmeticGiveSQLitesAnswers) {
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed) + " (ORV_TEST_SEED repeats it)");
  TExpressionGenerator Generator(Seed);
  test::TORVSQLiteOracle SQLite;
  // The engine's default collation tells case apart in LIKE as well.
  SQLite.Exec("PRAGMA case_sensitive_like = ON");
  std::mt19937 Shape(Seed + 1);
  for (int32_t Round = 0; Round < 1500; ++Round) {
    const int32_t Depth = 1 + static_cast<int32_t>(Shape() % 5);
    const uint32_t Kind = Shape() % 4;
    const TExpression Expression = Kind == 0   ? Generator.Integer(Depth)
                                   : Kind == 1 ? Generator.TextValue(Depth)
                                               : Generator.Boolean(Depth);
    SCOPED_TRACE(Expression.Engine);
    ASSERT_EQ(EngineAnswer(Expression.Engine), SQLite.SelectValue(Expression.SQLite)) << Expression.SQLite;
  }
}

}  // namespace
}  // namespace orv
