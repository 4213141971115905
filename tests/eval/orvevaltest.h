// Helpers of the evaluator's tests: an expression compiled over the table
// Customer of the "validate" corpus catalog, and the text of a node's
// result as the "evaluate" corpus cases write it.
#pragma once

#include <memory>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/sql/orvsqlcorpus.h"

namespace orv::test {

// An expression text parsed and validated as the "validate" kind does
// (columns of Customer), kept compiled for evaluation. Compiling raises the
// compiler's error.
class TORVEvalExpr {
 public:
  explicit TORVEvalExpr(const std::string& Sql) : FExpr(&FCatalog, u"Main", u"Customer") {
    AddValidateCorpusCatalog(FCatalog);
    FExpr.SetTypeName(u"expression");
    FExpr.OnParse = [](TORVFakeCatalogExpr& Self) -> TORVExprToken* {
      TORVExprParser Parser;
      return ParseExprWithOptions(Parser, Self, TORVParseOptions{});
    };
    FExpr.OnValidate = [this](TORVFakeCatalogExpr& Self) {
      FValidater.Initialize(&Self);
      FValidater.Validate();
    };
    FExpr.OnUnlock = [this](TORVFakeCatalogExpr& Self) {
      FValidater.Initialize(&Self);
      FValidater.Unlock();
    };
    FExpr.SetExpression(Utf8ToString(Sql));
    FExpr.Compile();
    FExpr.Unlock();
  }

  TORVExprToken* Root() const { return FExpr.FTokens; }

 private:
  TORVFakeCatalog FCatalog;
  TORVFakeFilterExpr FExpr;
  TORVExprValidater FValidater;
};

// "TYPE TEXT" of a value ("Integer 3", "Interval Day 3", "Float NULL").
inline std::string ValueText(TORVValue& Value) {
  std::string Type = StringToUtf8(DataTypeToString(Value.GetDataType(), Value.GetSubType()));
  if (Value.GetNull()) return Type + " NULL";
  return Type + " " + StringToUtf8(Value.GetAsString());
}

// The root's value after Initialize and Evaluate, "!CODE" for an engine
// error, "!MESSAGE" for an error without a code (the floating-point
// error). The tree's values are freed again.
inline std::string EvaluateTreeText(TORVExprEvaluator& Evaluator, TORVExprToken* Root) {
  std::string Result;
  try {
    Evaluator.Initialize(Root);
    Evaluator.Evaluate(Root);
    Result = ValueText(*Root->FValue);
  } catch (const EORVException& E) {
    Result = "!" + std::to_string(E.ErrorCode());
  } catch (const EORVBaseException& E) {
    Result = "!" + StringToUtf8(E.Message());
  }
  Evaluator.Reset(Root);
  return Result;
}

// An "evaluate" case: the text compiled over Customer, or with the option
// "tree" read as a typed tree; "!compile CODE MESSAGE" when the text does
// not compile.
inline std::string EvaluateForCorpus(const std::string& Text, bool Tree) {
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  if (Tree) {
    TORVPartialTree Root(ReadTokens(Utf8ToString(Text)));
    return EvaluateTreeText(Evaluator, Root.Get());
  }
  std::unique_ptr<TORVEvalExpr> Expr;
  try {
    Expr = std::make_unique<TORVEvalExpr>(Text);
  } catch (const EORVException& E) {
    return "!compile " + std::to_string(E.ErrorCode()) + " " + StringToUtf8(E.ErrorMsg());
  }
  return EvaluateTreeText(Evaluator, Expr->Root());
}

}  // namespace orv::test
