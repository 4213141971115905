// Helpers of the local evaluator's tests: nodes made by hand (each owned by
// the fixture, so that no test depends on a tree's shape to free them), the
// fakes of query execution's values, and a row over a few columns.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "core/orvtypefunc.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"
#include "tests/support/orvrowfakes.h"

namespace orv::test {

// A cursor whose active row a test sets.
class TFakeCursorValue : public TORVCursorValue {
 public:
  using TORVCursorValue::TORVCursorValue;
  void Open() override {}
  void Initialize() override {}
  void Reset() override {}
};

// Counts the preparations of a sub-query or a routine call.
class TFakeQueryValue : public TORVQueryValue {
 public:
  TFakeQueryValue(TORVExprEvaluator* Evaluator, TORVExprToken* Token, int32_t& Prepares)
      : TORVQueryValue(Evaluator, Token), FPrepares(Prepares) {}
  void Prepare() override { ++FPrepares; }
  void Execute() override {}
  void CreateSubQuerySearch() override {
    ++SearchesMade;
    FSubQueryColumns = std::make_unique<TORVMappedCursorColumns>(FResultCursor);
    FSubQueryValues = std::make_unique<TORVValues>(CharacterSetUnicode);
    auto Value = std::make_unique<TORVContainedValue>(CharacterSetUnicode);
    Value->SetDataType(dtCharacter);
    Value->SetLength(20);
    FSubQueryValues->Add(Value.release());
  }
  int32_t SearchesMade = 0;
  void Initialize() override {}
  void Reset() override {}

 private:
  int32_t& FPrepares;
};

// A declared statement or cursor whose result cursor and statement
// manager a test sets.
class TFakeStatementValue : public TORVStatementValue {
 public:
  using TORVStatementValue::TORVStatementValue;
  void Prepare(const TORVString&, int32_t, int32_t) override {}
  void UnPrepare() override {}
  void Execute(TORVExprToken*, int32_t, int32_t) override {}
  // The test owns the cursor; the value only lets go of it.
  void FreeResultCursor(bool) override {
    FResultCursorRow.reset();
    FResultCursor = nullptr;
  }
};

class TFakeRoutineValue : public TORVRoutineValue {
 public:
  TFakeRoutineValue(TORVExprEvaluator* Evaluator, TORVExprToken* Token, int32_t& Prepares)
      : TORVRoutineValue(Evaluator, Token), FPrepares(Prepares) {}
  void Prepare(const TORVString& Name) override {
    ++FPrepares;
    PreparedName = Name;
  }
  void Execute(TORVExprToken* /*ParamsToken*/) override {}

  TORVString PreparedName;

 private:
  int32_t& FPrepares;
};

// The local evaluator with query execution's values replaced by the fakes.
class TTestLocalEvaluator : public TORVLocalExprEvaluator {
 public:
  TTestLocalEvaluator() : TORVLocalExprEvaluator(CharacterSetUnicode) {}

  int32_t QueryPrepares = 0;
  int32_t RoutinePrepares = 0;

 protected:
  std::unique_ptr<TORVValue> CreateCursorValue(TORVExprToken* Token) override {
    return std::make_unique<TFakeCursorValue>(this, Token);
  }
  std::unique_ptr<TORVValue> CreateQueryValue(TORVExprToken* Token) override {
    return std::make_unique<TFakeQueryValue>(this, Token, QueryPrepares);
  }
  std::unique_ptr<TORVValue> CreateQueryManagerValue(TORVExprToken* Token) override {
    return std::make_unique<TFakeQueryValue>(this, Token, QueryPrepares);
  }
  std::unique_ptr<TORVValue> CreateStatementValue(TORVExprToken* Token) override {
    return std::make_unique<TFakeStatementValue>(this, Token);
  }
  std::unique_ptr<TORVValue> CreateRoutineValue(TORVExprToken* Token) override {
    return std::make_unique<TFakeRoutineValue>(this, Token, RoutinePrepares);
  }
};

// The bare message of the engine error that Action raises, with its code
// in front ("1011 An error ..."); "no error" when it raises none.
inline std::string ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EORVException& E) {
    return std::to_string(E.ErrorCode()) + " " + StringToUtf8(E.ErrorMsg());
  }
  return "no error";
}

// A node of the given kind and type, owned by Nodes.
inline TORVExprToken* MakeNode(std::vector<std::unique_ptr<TORVExprToken>>& Nodes, TORVTokenType Type,
                               TORVTokenOperator Operator, int32_t DataType, int32_t SubType, int32_t Length) {
  Nodes.push_back(std::make_unique<TORVExprToken>());
  TORVExprToken* Token = Nodes.back().get();
  Token->FTokenType = Type;
  Token->FTokenOperator = Operator;
  Token->FDataType = DataType;
  Token->FSubType = SubType;
  Token->FLength = Length;
  return Token;
}

class LocalEvalTest : public ::testing::Test {
 protected:
  TORVExprToken* Node(TORVTokenType Type, TORVTokenOperator Operator = toNONE, int32_t DataType = dtUnknown,
                      int32_t SubType = 0, int32_t Length = 0) {
    return MakeNode(FNodes, Type, Operator, DataType, SubType, Length);
  }
  TORVExprToken* IntConst(int32_t Value) {
    TORVExprToken* Token = Node(ttCONST, toNONE, dtInteger);
    Token->FTokenConstant = Utf8ToString(std::to_string(Value));
    return Token;
  }
  // DECLARE Name <type> [ARRAY [Size]]: the declared node, in the names
  // clause of its DECLARE.
  TORVExprToken* Declare(TORVTokenType Type, const TORVString& Name, int32_t DataType, int32_t Length = 0,
                         TORVExprToken* Size = nullptr);
  // A reference of Type to Source; an element reference gets Index in its
  // index clause.
  TORVExprToken* Ref(TORVTokenType Type, TORVExprToken* Source, TORVExprToken* Index = nullptr);

  // The value a node answers after evaluation, as text ("NULL" for NULL).
  std::string Text(TORVExprToken* Token) {
    Evaluator.Evaluate(Token);
    return Token->FValue->GetNull() ? "NULL" : StringToUtf8(Token->FValue->GetAsString());
  }

  TTestLocalEvaluator Evaluator;
  std::vector<std::unique_ptr<TORVExprToken>> FNodes;
};

}  // namespace orv::test
