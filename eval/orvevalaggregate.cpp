// The aggregates the base evaluator derives from others: AVG, STDDEV and
// RUNSUM read the SUM, SUMSQUARE and COUNT copies that query validation
// puts behind their first argument.
#include "eval/orvevalaggregate.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "eval/orvevalnumeric.h"
#include "sql/orvexprtoken.h"

namespace orv {

namespace {

TORVString Int128Text(TORVInt128 Value) {
  const bool Negative = Value < 0;
  TORVString Digits;
  do {
    const auto Digit = static_cast<int32_t>(Value % 10);
    Digits.insert(Digits.begin(), static_cast<char16_t>(u'0' + (Digit < 0 ? -Digit : Digit)));
    Value /= 10;
  } while (Value != 0);
  if (Negative) Digits.insert(Digits.begin(), u'-');
  return Digits;
}

// A whole total of at most 64 bits, refused by Sum's own range error beyond
// Low .. High.
void StoreWhole(TORVValue& Sum, TORVInt128 Total, int64_t Low, int64_t High) {
  if (Total < Low || Total > High) Sum.RangeError(Int128Text(Total), true);
  Sum.SetAsLargeInt(static_cast<int64_t>(Total));
}

long double RealOf(TORVValue& Value) {
  if (Value.GetDataType() == dtDecimal) return CurrencyToFloat(Value.GetAsCurrency());
  return Value.GetAsDouble();
}

TORVInt128 ScaledOf(TORVValue& Value) {
  if (Value.GetDataType() == dtDecimal) return Value.GetAsCurrency().Scaled();
  return static_cast<TORVInt128>(Value.GetAsLargeInt()) * TORVCurrency::Scale;
}

// The copies behind an aggregate's first argument; a tree without them was
// not made by query validation.
TORVExprToken* Copy(TORVExprToken* Token, int32_t Index) {
  TORVExprToken* Argument = Index < Token->GetNumArguments() ? Token->GetArgument(Index) : nullptr;
  if (Argument == nullptr) throw std::logic_error("aggregate without its hidden copies");
  return Argument;
}

}  // namespace

void AddToSum(TORVValue& Sum, TORVValue& Value) {
  switch (Sum.GetDataType()) {
    case dtSmallInt:
    case dtInteger:
      // The setter refuses a total beyond the total's own type.
      Sum.SetAsLargeInt(static_cast<int64_t>(Sum.GetAsInteger()) + Value.GetAsInteger());
      break;
    case dtBigInt:
      StoreWhole(Sum, static_cast<TORVInt128>(Sum.GetAsLargeInt()) + Value.GetAsLargeInt(),
                 std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
      break;
    case dtFloat:
      Sum.SetAsDouble(CheckedFloat(static_cast<long double>(Sum.GetAsDouble()) + RealOf(Value)));
      break;
    case dtDecimal:
      Sum.SetAsCurrency(CheckedCurrency(static_cast<TORVInt128>(Sum.GetAsCurrency().Scaled()) + ScaledOf(Value)));
      break;
    case dtYearMonthInterval: {
      const TORVInt128 Total = static_cast<TORVInt128>(Sum.GetAsYearMonthInterval()) + Value.GetAsYearMonthInterval();
      if (Total < std::numeric_limits<int32_t>::min() || Total > std::numeric_limits<int32_t>::max()) {
        Sum.RangeError(Int128Text(Total), true);
      }
      Sum.SetAsYearMonthInterval(static_cast<int32_t>(Total));
      break;
    }
    case dtDayTimeInterval: {
      const TORVInt128 Total = static_cast<TORVInt128>(Sum.GetAsDayTimeInterval()) + Value.GetAsDayTimeInterval();
      if (Total < std::numeric_limits<int64_t>::min() || Total > std::numeric_limits<int64_t>::max()) {
        Sum.RangeError(Int128Text(Total), true);
      }
      Sum.SetAsDayTimeInterval(static_cast<int64_t>(Total));
      break;
    }
    default:
      break;
  }
}

void TORVExprEvaluator::EvaluateAVG(TORVExprToken* Token) {
  TORVExprToken* SumToken = Copy(Token, 1);
  TORVExprToken* CountToken = Copy(Token, 2);
  EvaluateNextToken(SumToken);
  EvaluateNextToken(CountToken);
  TORVValue& Result = *Token->FValue;
  TORVValue& Sum = *SumToken->FValue;
  if (Sum.GetNull()) {
    Result.SetAsNull(true);
    return;
  }
  // COUNT is never below 0, and 0 only when nothing was summed.
  const int64_t Count = CountToken->FValue->GetAsInteger();
  switch (SumToken->FDataType) {
    case dtSmallInt:
    case dtInteger:
      Result.SetAsLargeInt(Count == 0 ? 0 : Sum.GetAsInteger() / Count);
      break;
    case dtBigInt:
      Result.SetAsLargeInt(Count == 0 ? 0 : Sum.GetAsLargeInt() / Count);
      break;
    case dtFloat:
      Result.SetAsDouble(Count == 0 ? 0 : CheckedFloat(static_cast<long double>(Sum.GetAsDouble()) / Count));
      break;
    case dtDecimal:
      Result.SetAsCurrency(Count == 0 ? TORVCurrency() : CheckedCurrency(DivideRoundEven(Sum.GetAsCurrency().Scaled(), Count)));
      break;
    case dtYearMonthInterval:
      Result.SetAsYearMonthInterval(Count == 0 ? 0 : static_cast<int32_t>(Sum.GetAsYearMonthInterval() / Count));
      break;
    case dtDayTimeInterval:
      Result.SetAsDayTimeInterval(Count == 0 ? 0 : Sum.GetAsDayTimeInterval() / Count);
      break;
    default:
      break;
  }
}

void TORVExprEvaluator::EvaluateSTDDEV(TORVExprToken* Token) {
  TORVExprToken* SumToken = Copy(Token, 1);
  TORVExprToken* SquaresToken = Copy(Token, 2);
  TORVExprToken* CountToken = Copy(Token, 3);
  EvaluateNextToken(SumToken);
  EvaluateNextToken(SquaresToken);
  EvaluateNextToken(CountToken);
  TORVValue& Result = *Token->FValue;
  if (SumToken->FValue->GetNull() || SquaresToken->FValue->GetNull()) {
    Result.SetAsNull(true);
    return;
  }
  const int64_t Count = CountToken->FValue->GetAsInteger();
  if (Count == 1) {
    Result.SetAsDouble(0);
    return;
  }
  const long double Sum = RealOf(*SumToken->FValue);
  const long double Squares = SquaresToken->FValue->GetAsDouble();
  const long double Mean = Count == 0 ? 0 : Sum * Sum / Count;
  // Equal values leave a rounding residue either side of 0; below it the
  // square root would be NaN, which is the floating-point error.
  const long double Variance = (Squares - Mean) / (Count - 1);
  Result.SetAsDouble(CheckedFloat(Variance > 0 ? std::sqrt(Variance) : 0));
}

void TORVExprEvaluator::EvaluateRUNSUM(TORVExprToken* Token) {
  TORVExprToken* SumToken = Copy(Token, 1);
  EvaluateNextToken(SumToken);
  if (SumToken->FValue->GetNull()) return;
  AddToSum(*Token->FValue, *SumToken->FValue);
}

}  // namespace orv
