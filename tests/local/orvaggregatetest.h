// A query's grouping as query execution drives it, reduced to what the
// aggregates see: select columns over one source value x, a result row per
// group that starts with every aggregate NULL, and each source row fed by
// evaluating every select column once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/orvcolumns.h"
#include "core/orvtypefunc.h"
#include "local/orvevalcontext.h"
#include "tests/local/orvlocaltest.h"

namespace orv::test {

struct TSourceType {
  int32_t DataType;
  int32_t SubType = 0;
  int32_t Length = 0;
  int32_t Scale = 0;
};

class TAggregateQuery {
 public:
  explicit TAggregateQuery(TSourceType SourceType = {dtInteger}) : Source(SourceType) {
    Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  }
  TAggregateQuery(const TAggregateQuery&) = delete;
  TAggregateQuery& operator=(const TAggregateQuery&) = delete;

  // Op(x) in a select column of its own; the result type is the compiler's.
  TORVExprToken* Aggregate(TORVTokenOperator Operator, int32_t TokenID = 0) {
    TORVExprToken* Token = Node(ttFUNCREF, Operator);
    Token->FTokenID = TokenID;
    SetResultType(Token, Operator);
    Token->AddArgument(SourceNode());
    Select(Token);
    return Token;
  }
  // COUNT(*), or COUNT(DISTINCT *).
  TORVExprToken* CountRows(int32_t TokenID = 0) {
    TORVExprToken* Token = Node(ttFUNCREF, toCOUNT, dtInteger);
    Token->FTokenID = TokenID;
    TORVExprToken* Star = Node(ttCOLUMNREF);
    Star->FName = u"*";
    Token->AddArgument(Star);
    Select(Token);
    return Token;
  }
  // LIST(x, Separator) when a separator is given.
  TORVExprToken* List(int32_t Form, const TORVString* Separator = nullptr) {
    TORVExprToken* Token = Aggregate(toLIST, Form);
    if (Separator != nullptr) {
      TORVExprToken* Text = Node(ttCONST, toNONE, dtCharacter, stVarChar, 10);
      Text->FTokenConstant = *Separator;
      Token->AddArgument(Text);
    }
    return Token;
  }
  // AVG, STDDEV or RUNSUM with the hidden copies query validation adds:
  // each a select column of its own that the derived one reads.
  TORVExprToken* Derived(TORVTokenOperator Operator, int32_t TokenID = 0) {
    TORVExprToken* Token = Node(ttFUNCREF, Operator);
    Token->FTokenID = TokenID;
    SetResultType(Token, Operator);
    Token->AddArgument(SourceNode());
    TORVExprToken* Column = Select(Token);
    std::vector<TORVTokenOperator> Supports = {toSUM};
    if (Operator == toAVG) Supports = {toSUM, toCOUNT};
    if (Operator == toSTDDEV) Supports = {toSUM, toSUMSQUARE, toCOUNT};
    for (TORVTokenOperator Support : Supports) {
      TORVExprToken* Copy = Aggregate(Support, TokenID);
      FSelects.back()->FHidden = true;
      TORVExprToken* Ref = Node(ttSELECTCOLUMNREF, toNONE, Copy->FDataType);
      Ref->FSourceToken = Copy->FUpperToken;
      Token->AddArgument(Ref);
    }
    FDerived.push_back(Column);
    return Token;
  }

  // A new group on the same result row, every aggregate column NULL again,
  // as a row of the result table starts.
  void StartGroup() {
    if (Row == nullptr) {
      Row = std::make_unique<TTestRow>(CharacterSetUnicode, Columns);
      Row->Values->CreateValueObjects();
      TORVEvaluatorContext Context;
      Context.FResultRowValues = Row->Values.get();
      Scope = std::make_unique<TORVContextScope>(Evaluator, Context);
    }
    for (int32_t I = 0; I < Row->Values->GetCount(); ++I) Row->Values->GetItems(I)->SetAsNull(true);
  }
  // One source row: x is NULL without Set. The supporting columns are
  // evaluated before the ones that read them.
  void Feed(const std::function<void(TORVValue&)>& Set) {
    for (TORVExprToken* Source : FSources) {
      if (Set) {
        Set(*Source->FValue);
      } else {
        Source->FValue->SetAsNull(true);
      }
    }
    for (TORVExprToken* Column : FSelects) {
      if (!IsDerived(Column)) Evaluator.EvaluateNextToken(Column->GetArgument(0));
    }
    for (TORVExprToken* Column : FDerived) Evaluator.EvaluateNextToken(Column->GetArgument(0));
  }
  void FeedText(const char* Text) {
    if (Text == nullptr) return Feed(nullptr);
    Feed([&](TORVValue& X) { X.SetAsString(Utf8ToString(Text)); });
  }
  // The group's result of Token, as text ("NULL" for NULL).
  std::string Result(TORVExprToken* Token) {
    TORVValue& Value = *Token->FValue;
    return Value.GetNull() ? "NULL" : StringToUtf8(Value.GetAsString());
  }

  TORVExprToken* Node(TORVTokenType Type, TORVTokenOperator Operator = toNONE, int32_t DataType = dtUnknown,
                      int32_t SubType = 0, int32_t Length = 0) {
    return MakeNode(FNodes, Type, Operator, DataType, SubType, Length);
  }

  // The type of the x that aggregates made from now on take.
  TSourceType Source;
  TTestLocalEvaluator Evaluator;
  std::vector<std::unique_ptr<TORVExprToken>> FNodes;
  TORVColumns Columns;
  std::unique_ptr<TTestRow> Row;

 private:
  TORVExprToken* SourceNode() {
    TORVExprToken* X = Node(ttCONST, toNONE, Source.DataType, Source.SubType, Source.Length);
    X->FScale = Source.Scale;
    X->FTokenConstant = u"0";
    Evaluator.GetValue(X);
    FSources.push_back(X);
    return X;
  }
  void SetResultType(TORVExprToken* Token, TORVTokenOperator Operator) {
    Token->FDataType = Source.DataType;
    Token->FSubType = Source.SubType;
    Token->FLength = Source.Length;
    Token->FScale = Source.Scale;
    switch (Operator) {
      case toCOUNT:
        Token->FDataType = dtInteger;
        Token->FSubType = 0;
        Token->FLength = 0;
        break;
      case toSUM:
      case toRUNSUM:
        if (Source.DataType == dtSmallInt) Token->FDataType = dtInteger;
        if (Source.DataType == dtInteger) Token->FDataType = dtBigInt;
        break;
      case toSUMSQUARE:
      case toSTDDEV:
        Token->FDataType = dtFloat;
        Token->FSubType = 0;
        Token->FLength = 0;
        break;
      case toLIST:
        Token->FDataType = dtLargeObject;
        Token->FSubType = stClob;
        Token->FLength = 0;
        break;
      default:
        break;
    }
  }
  TORVExprToken* Select(TORVExprToken* Expression) {
    TORVExprToken* Column = Node(ttSELECTCOLUMN, toNONE, Expression->FDataType, Expression->FSubType,
                                 Expression->FLength);
    Column->FPosition = static_cast<int32_t>(FSelects.size());
    Column->AddArgument(Expression);
    if (Columns.GetCount() == 0) AddTestColumn(Columns, u"Group", dtInteger);
    TORVColumn* Added = AddTestColumn(Columns, Utf8ToString("C" + std::to_string(Column->FPosition)),
                                      Expression->FDataType, Expression->FSubType, Expression->FLength);
    Added->SetScale(Expression->FScale);
    FSelects.push_back(Column);
    return Column;
  }
  bool IsDerived(const TORVExprToken* Column) const {
    for (const TORVExprToken* Derived : FDerived) {
      if (Derived == Column) return true;
    }
    return false;
  }

  std::vector<TORVExprToken*> FSources;
  std::vector<TORVExprToken*> FSelects;
  std::vector<TORVExprToken*> FDerived;
  // Last, so that it ends before the row and the evaluator go.
  std::unique_ptr<TORVContextScope> Scope;
};

}  // namespace orv::test
