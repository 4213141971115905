// The aggregates a session's evaluator accumulates. Query execution makes
// a group's result row current and evaluates the aggregate nodes once for
// every source row of the group; a new group's row starts with NULL in
// every aggregate column, which is also how a value set learns that its
// row number now belongs to another group.
#include <stdexcept>

#include "catalog/orvrowvalues.h"
#include "core/orvcollation.h"
#include "core/orvtypefunc.h"
#include "eval/orvevalaggregate.h"
#include "eval/orvevalnumeric.h"
#include "local/orvlocaleval.h"
#include "local/orvlocalvalue.h"
#include "sql/orvexprtoken.h"
#include "storage/orvrowsfile.h"

namespace orv {

namespace {

TORVAggregateFunctionReferenceValue& AccumulatorOf(TORVExprToken* Token) {
  auto* Accumulator = dynamic_cast<TORVAggregateFunctionReferenceValue*>(Token->FValue.get());
  if (Accumulator == nullptr) throw std::logic_error("aggregate without its accumulator");
  return *Accumulator;
}

bool IsDistinct(const TORVExprToken* Token) { return Token->FTokenID != 0; }

// COUNT(*) and COUNT(DISTINCT *): the argument is the column reference "*",
// which names no value.
bool CountsRows(const TORVExprToken* Argument) {
  return Argument != nullptr && Argument->FTokenType == ttCOLUMNREF && Argument->FName == u"*";
}

// LIST's forms, as the compiler numbers them in FTokenID.
constexpr int32_t ListDistinct = 1;
constexpr int32_t ListOrdered = 2;
constexpr int32_t ListDistinctOrdered = 3;

}  // namespace

int32_t TORVLocalExprEvaluator::GetResultRowNumber() const {
  TORVRowValues* Row = FContext != nullptr ? FContext->FResultRowValues : nullptr;
  auto* RowsetValues = dynamic_cast<TORVRowsetRowValues*>(Row);
  // A result row outside a rows file is the only row of its kind; row
  // numbers count from 1.
  if (RowsetValues == nullptr || RowsetValues->GetRow() == nullptr) return 1;
  TORVRowsetRow& Buffer = *RowsetValues->GetRow();
  // A row not written yet takes the number it will be written at.
  if (Buffer.GetNumber() != 0) return Buffer.GetNumber();
  return Buffer.GetRowsetManager()->GetLastNumber() + 1;
}

bool TORVLocalExprEvaluator::EvaluateAggregated(TORVExprToken* Token) {
  TORVExprToken* Argument = Token->GetNumArguments() > 0 ? Token->GetArgument(0) : nullptr;
  if (Argument == nullptr) throw std::logic_error("aggregate without its argument");
  EvaluateNextToken(Argument);
  return !Argument->FValue->GetNull();
}

void TORVLocalExprEvaluator::EvaluateCOUNT(TORVExprToken* Token) {
  TORVAggregateFunctionReferenceValue& Count = AccumulatorOf(Token);
  if (!CountsRows(Token->GetNumArguments() > 0 ? Token->GetArgument(0) : nullptr)) {
    if (!EvaluateAggregated(Token)) {
      if (Count.GetNull()) {
        // The count stops being NULL here, so the set must be emptied now:
        // the next value could no longer tell that a new group began.
        Count.SetAsInteger(0);
        if (IsDistinct(Token)) Count.FreeValues(GetResultRowNumber());
      }
      return;
    }
    if (IsDistinct(Token) && !Count.AddValue(GetResultRowNumber(), *Token->GetArgument(0)->FValue, true)) return;
  }
  // The setter refuses a count beyond the Integer range.
  Count.SetAsLargeInt(static_cast<int64_t>(Count.GetAsInteger()) + 1);
}

void TORVLocalExprEvaluator::EvaluateSUM(TORVExprToken* Token) {
  if (!EvaluateAggregated(Token)) return;
  TORVAggregateFunctionReferenceValue& Sum = AccumulatorOf(Token);
  TORVValue& Value = *Token->GetArgument(0)->FValue;
  if (IsDistinct(Token) && !Sum.AddValue(GetResultRowNumber(), Value, true)) return;
  AddToSum(Sum, Value);
}

void TORVLocalExprEvaluator::EvaluateExtreme(TORVExprToken* Token, int32_t Sign) {
  if (!EvaluateAggregated(Token)) return;
  TORVAggregateFunctionReferenceValue& Extreme = AccumulatorOf(Token);
  TORVValue& Value = *Token->GetArgument(0)->FValue;
  if (Extreme.GetNull() || Value.Compare(Extreme, 0, false, Value.GetCollation()) * Sign > 0) Extreme.Assign(Value);
}

void TORVLocalExprEvaluator::EvaluateMIN(TORVExprToken* Token) { EvaluateExtreme(Token, -1); }

void TORVLocalExprEvaluator::EvaluateMAX(TORVExprToken* Token) { EvaluateExtreme(Token, 1); }

void TORVLocalExprEvaluator::EvaluateSUMSQUARE(TORVExprToken* Token) {
  if (!EvaluateAggregated(Token)) return;
  TORVAggregateFunctionReferenceValue& Squares = AccumulatorOf(Token);
  TORVValue& Value = *Token->GetArgument(0)->FValue;
  long double Real = 0;
  switch (Value.GetDataType()) {
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      Real = static_cast<long double>(Value.GetAsLargeInt());
      break;
    case dtFloat:
      Real = Value.GetAsDouble();
      break;
    case dtDecimal:
      Real = CurrencyToFloat(Value.GetAsCurrency());
      break;
    default:
      return;
  }
  if (IsDistinct(Token) && !Squares.AddValue(GetResultRowNumber(), Value, true)) return;
  Squares.SetAsDouble(CheckedFloat(static_cast<long double>(Squares.GetAsDouble()) + Real * Real));
}

void TORVLocalExprEvaluator::EvaluateLIST(TORVExprToken* Token) {
  if (!EvaluateAggregated(Token)) return;
  TORVAggregateFunctionReferenceValue& List = AccumulatorOf(Token);
  TORVValue& Value = *Token->GetArgument(0)->FValue;
  TORVString Separator = u",";
  if (TORVExprToken* SeparatorToken = Token->GetNumArguments() > 1 ? Token->GetArgument(1) : nullptr) {
    EvaluateNextToken(SeparatorToken);
    Separator = SeparatorToken->FValue->GetAsString();
  }
  const int32_t Form = Token->FTokenID;
  if (Form == ListOrdered || Form == ListDistinctOrdered) {
    const int32_t RowNumber = GetResultRowNumber();
    // Without DISTINCT a duplicate is stored again (and answers False), so
    // the text changes on every value.
    const bool Added = List.AddValue(RowNumber, Value, Form == ListDistinctOrdered);
    if (Added || Form == ListOrdered) List.SetAsString(List.GetValuesAsString(RowNumber, Separator));
    return;
  }
  if (Form == ListDistinct && !List.AddValue(GetResultRowNumber(), Value, true)) return;
  const TORVString Text = Value.GetAsString();
  List.SetAsString(List.GetNull() ? Text : List.GetAsString() + Separator + Text);
}

}  // namespace orv
