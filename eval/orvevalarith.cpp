// Value arithmetic: +, -, *, /, MOD, unary minus, the interval subtraction,
// and text and byte concatenation. Each routine evaluates both operands,
// chooses an arithmetic by their data types and stores the result through
// the typed setter of the node's value, which converts into the node's own
// type (rounding a decimal to its scale, refusing a value out of range).
//
// Every pair the compiler accepts gives a result or an error: a routine
// never leaves the previous row's value in place. Pairs that are computed
// in the other order (an integer plus or times an interval, an interval
// plus a date or time) are mirrored; any other pair is the conversion error
// of the right operand.
#include <stdexcept>
#include <utility>

#include "core/orvdatetime.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "eval/orvevalnumeric.h"

namespace orv {

namespace {

// The arithmetic an operand takes part in, by its data type.
enum TArithKind : uint8_t {
  akOther,
  akText,       // character, CLOB
  akBytes,      // bytes, BLOB
  akInteger,    // SmallInt, Integer: 32-bit
  akBigInt,     // 64-bit
  akFloat,
  akDecimal,
  akDate,
  akTime,
  akTimeStamp,
  akYearMonth,
  akDayTime,
};

TArithKind KindOf(TORVValue& Value) {
  switch (Value.GetDataType()) {
    case dtCharacter:
      return akText;
    case dtBytes:
      return akBytes;
    case dtLargeObject:
      return Value.GetSubType() == stClob ? akText : akBytes;
    case dtSmallInt:
    case dtInteger:
      return akInteger;
    case dtBigInt:
      return akBigInt;
    case dtFloat:
      return akFloat;
    case dtDecimal:
      return akDecimal;
    case dtDate:
      return akDate;
    case dtTime:
      return akTime;
    case dtTimeStamp:
      return akTimeStamp;
    case dtYearMonthInterval:
      return akYearMonth;
    case dtDayTimeInterval:
      return akDayTime;
    default:
      return akOther;
  }
}

bool IsInteger(TArithKind Kind) { return Kind == akInteger || Kind == akBigInt; }
bool IsNumber(TArithKind Kind) { return IsInteger(Kind) || Kind == akFloat || Kind == akDecimal; }
bool IsInterval(TArithKind Kind) { return Kind == akYearMonth || Kind == akDayTime; }
bool IsDateOrTime(TArithKind Kind) { return Kind == akDate || Kind == akTime || Kind == akTimeStamp; }

[[noreturn]] void PairError(TORVValue& Right) {
  Right.ConversionError(Right.GetAsString(), true);
  throw std::logic_error("a conversion error returned");
}

// An integer as an exact decimal, or a decimal's own count, in
// ten-thousandths.
TORVInt128 ScaledOf(TORVValue& Value, TArithKind Kind) {
  if (Kind == akDecimal) return Value.GetAsCurrency().Scaled();
  return static_cast<TORVInt128>(Value.GetAsLargeInt()) * TORVCurrency::Scale;
}

long double RealOf(TORVValue& Value, TArithKind Kind) {
  if (Kind == akDecimal) return CurrencyToFloat(Value.GetAsCurrency());
  if (Kind == akFloat) return Value.GetAsDouble();
  return static_cast<long double>(Value.GetAsLargeInt());
}

enum TNumberOp : uint8_t { noAdd, noSub, noMul };

// +, - and * of two numbers: extended precision when either is a Float, a
// decimal when either is a Decimal, 64 bits when either is a BigInt, 32
// bits otherwise.
void NumberArith(TNumberOp Op, TORVValue& Left, TArithKind LeftKind, TORVValue& Right, TArithKind RightKind,
                 TORVValue& Result) {
  if (LeftKind == akFloat || RightKind == akFloat) {
    const long double A = RealOf(Left, LeftKind);
    const long double B = RealOf(Right, RightKind);
    Result.SetAsDouble(CheckedFloat(Op == noAdd ? A + B : Op == noSub ? A - B : A * B));
  } else if (LeftKind == akDecimal || RightKind == akDecimal) {
    TORVInt128 Scaled = 0;
    if (Op == noMul) {
      // A decimal times an integer is exact; two decimals carry the scale
      // twice and are rounded back to ten-thousandths.
      if (LeftKind == akDecimal && RightKind == akDecimal) {
        Scaled = DivideRoundEven(static_cast<TORVInt128>(Left.GetAsCurrency().Scaled()) * Right.GetAsCurrency().Scaled(),
                                 TORVCurrency::Scale);
      } else if (LeftKind == akDecimal) {
        Scaled = static_cast<TORVInt128>(Left.GetAsCurrency().Scaled()) * Right.GetAsLargeInt();
      } else {
        Scaled = static_cast<TORVInt128>(Left.GetAsLargeInt()) * Right.GetAsCurrency().Scaled();
      }
    } else {
      const TORVInt128 A = ScaledOf(Left, LeftKind);
      const TORVInt128 B = ScaledOf(Right, RightKind);
      Scaled = Op == noAdd ? A + B : A - B;
    }
    Result.SetAsCurrency(CheckedCurrency(Scaled));
  } else if (LeftKind == akBigInt || RightKind == akBigInt) {
    const int64_t A = Left.GetAsLargeInt();
    const int64_t B = Right.GetAsLargeInt();
    Result.SetAsLargeInt(Op == noAdd ? WrapAdd64(A, B) : Op == noSub ? WrapSub64(A, B) : WrapMul64(A, B));
  } else {
    const int32_t A = Left.GetAsInteger();
    const int32_t B = Right.GetAsInteger();
    Result.SetAsInteger(Op == noAdd ? WrapAdd32(A, B) : Op == noSub ? WrapSub32(A, B) : WrapMul32(A, B));
  }
}

// Whether Divisor is zero by its own type; intervals count their months or
// milliseconds. Types that cannot divide are never zero.
bool IsZeroDivisor(TORVValue& Divisor, TArithKind Kind) {
  switch (Kind) {
    case akInteger:
    case akBigInt:
      return Divisor.GetAsLargeInt() == 0;
    case akFloat:
      return Divisor.GetAsDouble() == 0.0;
    case akDecimal:
      return Divisor.GetAsCurrency().Scaled() == 0;
    case akYearMonth:
      return Divisor.GetAsYearMonthInterval() == 0;
    case akDayTime:
      return Divisor.GetAsDayTimeInterval() == 0;
    default:
      return false;
  }
}

// The divisor is tested before the pair: a zero gives NULL for every pair,
// intervals included. True when the node's value was made NULL.
bool ZeroDivisorGivesNull(TORVExprToken* Token) {
  TORVValue& Divisor = *Token->GetRightToken()->FValue;
  if (!IsZeroDivisor(Divisor, KindOf(Divisor))) return false;
  Token->FValue->SetAsNull(true);
  return true;
}

// A one-field interval times or divided by an integer; False when Interval
// is no interval.
bool ScaleInterval(TORVValue& Interval, TArithKind Kind, TORVValue& Integer, bool Divide, TORVValue& Result) {
  const int64_t Factor = Integer.GetAsLargeInt();
  const TORVSubTypeCode SubType = Interval.GetSubType();
  if (Kind == akYearMonth) {
    const int32_t Months = Interval.GetAsYearMonthInterval();
    Result.SetAsYearMonthInterval(Divide ? DivideYearMonthInterval(Factor, Months, SubType)
                                         : MultiplyYearMonthInterval(Factor, Months, SubType));
    return true;
  }
  if (Kind == akDayTime) {
    const int64_t MSeconds = Interval.GetAsDayTimeInterval();
    Result.SetAsDayTimeInterval(Divide ? DivideDayTimeInterval(Factor, MSeconds, SubType)
                                       : MultiplyDayTimeInterval(Factor, MSeconds, SubType));
    return true;
  }
  return false;
}

// Left + Right for every pair in its computed order; Mirrored says that the
// pair has already been turned round once.
void AddValues(TORVValue& Left, TORVValue& Right, TORVValue& Result, bool Mirrored) {
  const TArithKind LeftKind = KindOf(Left);
  const TArithKind RightKind = KindOf(Right);
  switch (LeftKind) {
    case akText:
      Result.SetAsString(Left.GetAsString() + Right.GetAsString());
      return;
    case akBytes: {
      TORVBytes Bytes = Left.GetAsBytes();
      const TORVBytes Tail = Right.GetAsBytes();
      Bytes.insert(Bytes.end(), Tail.begin(), Tail.end());
      Result.SetAsBytes(Bytes);
      return;
    }
    case akInteger:
    case akBigInt:
    case akFloat:
    case akDecimal:
      if (IsNumber(RightKind)) {
        NumberArith(noAdd, Left, LeftKind, Right, RightKind, Result);
        return;
      }
      // An integer counts as that many months or days of the interval.
      if (IsInteger(LeftKind) && IsInterval(RightKind) && !Mirrored) {
        AddValues(Right, Left, Result, true);
        return;
      }
      break;
    case akDate:
      if (RightKind == akYearMonth) {
        Result.SetAsDate(AddYearMonthIntervalToDate(Left.GetAsDate(), Right.GetAsYearMonthInterval(), Right.GetSubType()));
        return;
      }
      if (RightKind == akDayTime) {
        // A Date node (a Day-only interval) keeps the day of the stamp.
        Result.SetAsTimeStamp(AddDayTimeIntervalToTimeStamp(DateToTimeStamp(Left.GetAsDate(), false),
                                                            Right.GetAsDayTimeInterval(), Right.GetSubType()));
        return;
      }
      break;
    case akTime:
      if (RightKind == akDayTime) {
        Result.SetAsTime(AddDayTimeIntervalToTime(Left.GetAsTime(), Right.GetAsDayTimeInterval(), Right.GetSubType()));
        return;
      }
      break;
    case akTimeStamp:
      if (RightKind == akYearMonth) {
        Result.SetAsTimeStamp(AddYearMonthIntervalToTimeStamp(Left.GetAsTimeStamp(), Right.GetAsYearMonthInterval(),
                                                              Right.GetSubType()));
        return;
      }
      if (RightKind == akDayTime) {
        Result.SetAsTimeStamp(AddDayTimeIntervalToTimeStamp(Left.GetAsTimeStamp(), Right.GetAsDayTimeInterval(),
                                                            Right.GetSubType()));
        return;
      }
      break;
    case akYearMonth:
      if (IsDateOrTime(RightKind)) {
        if (!Mirrored) {
          AddValues(Right, Left, Result, true);
          return;
        }
        break;
      }
      Result.SetAsYearMonthInterval(WrapAdd32(Left.GetAsYearMonthInterval(), Right.GetAsYearMonthInterval()));
      return;
    case akDayTime:
      if (IsDateOrTime(RightKind)) {
        if (!Mirrored) {
          AddValues(Right, Left, Result, true);
          return;
        }
        break;
      }
      Result.SetAsDayTimeInterval(WrapAdd64(Left.GetAsDayTimeInterval(), Right.GetAsDayTimeInterval()));
      return;
    default:
      break;
  }
  PairError(Mirrored ? Left : Right);
}

// The subtraction of two dates or times into an interval of the node's own
// type and subtype; a time stamp and a date, or a year-month difference of
// two time stamps, subtract the two days.
void SubtractAsInterval(TORVValue& Left, TORVValue& Right, TORVValue& Result, int32_t DataType, int32_t SubType) {
  const TArithKind LeftKind = KindOf(Left);
  const TArithKind RightKind = KindOf(Right);
  const bool YearMonth = DataType == dtYearMonthInterval;
  if (DataType != dtYearMonthInterval && DataType != dtDayTimeInterval) PairError(Right);
  const bool Dates = (LeftKind == akDate && RightKind == akDate) ||
                     (LeftKind == akTimeStamp && RightKind == akDate) ||
                     (LeftKind == akTimeStamp && RightKind == akTimeStamp && YearMonth);
  if (Dates) {
    const int32_t Date1 = Left.GetAsDate();
    const int32_t Date2 = Right.GetAsDate();
    if (YearMonth) {
      Result.SetAsYearMonthInterval(SubtractDateFromDateAsYearMonthInterval(Date1, Date2, SubType));
    } else {
      Result.SetAsDayTimeInterval(SubtractDateFromDateAsDayTimeInterval(Date1, Date2, SubType));
    }
    return;
  }
  if (!YearMonth && LeftKind == akTime && RightKind == akTime) {
    Result.SetAsDayTimeInterval(SubtractTimeFromTimeAsDayTimeInterval(Left.GetAsTime(), Right.GetAsTime(), SubType));
    return;
  }
  if (!YearMonth && LeftKind == akTimeStamp && RightKind == akTimeStamp) {
    Result.SetAsDayTimeInterval(
        SubtractTimeStampFromTimeStampAsDayTimeInterval(Left.GetAsTimeStamp(), Right.GetAsTimeStamp(), SubType));
    return;
  }
  PairError(Right);
}

}  // namespace

bool TORVExprEvaluator::EvaluateOperands(TORVExprToken* Token, bool AnyNull) {
  TORVExprToken* Left = Token->GetLeftToken();
  TORVExprToken* Right = Token->GetRightToken();
  EvaluateNextToken(Left);
  EvaluateNextToken(Right);
  const bool Null = AnyNull ? Left->FValue->GetAnyNull() || Right->FValue->GetAnyNull()
                            : Left->FValue->GetNull() || Right->FValue->GetNull();
  if (Null) Token->FValue->SetAsNull(true);
  return Null;
}

void TORVExprEvaluator::EvaluateADD(TORVExprToken* Token) {
  if (EvaluateOperands(Token, false)) return;
  AddValues(*Token->GetLeftToken()->FValue, *Token->GetRightToken()->FValue, *Token->FValue, false);
}

void TORVExprEvaluator::EvaluateSUB(TORVExprToken* Token) {
  if (EvaluateOperands(Token, false)) return;
  TORVValue& Result = *Token->FValue;
  TORVValue& Left = *Token->GetLeftToken()->FValue;
  TORVValue& Right = *Token->GetRightToken()->FValue;
  const TArithKind LeftKind = KindOf(Left);
  const TArithKind RightKind = KindOf(Right);
  if (IsNumber(LeftKind) && IsNumber(RightKind)) {
    NumberArith(noSub, Left, LeftKind, Right, RightKind, Result);
    return;
  }
  switch (LeftKind) {
    case akDate:
      if (RightKind == akDate) {
        Result.SetAsDayTimeInterval(
            SubtractDateFromDateAsDayTimeInterval(Left.GetAsDate(), Right.GetAsDate(), Token->FSubType));
        return;
      }
      if (RightKind == akYearMonth) {
        Result.SetAsDate(
            SubtractYearMonthIntervalFromDate(Left.GetAsDate(), Right.GetAsYearMonthInterval(), Right.GetSubType()));
        return;
      }
      if (RightKind == akDayTime) {
        Result.SetAsTimeStamp(SubtractDayTimeIntervalFromTimeStamp(DateToTimeStamp(Left.GetAsDate(), false),
                                                                   Right.GetAsDayTimeInterval(), Right.GetSubType()));
        return;
      }
      break;
    case akTime:
      if (RightKind == akTime) {
        Result.SetAsDayTimeInterval(
            SubtractTimeFromTimeAsDayTimeInterval(Left.GetAsTime(), Right.GetAsTime(), Token->FSubType));
        return;
      }
      if (RightKind == akDayTime) {
        Result.SetAsTime(
            SubtractDayTimeIntervalFromTime(Left.GetAsTime(), Right.GetAsDayTimeInterval(), Right.GetSubType()));
        return;
      }
      break;
    case akTimeStamp:
      if (RightKind == akTimeStamp) {
        Result.SetAsDayTimeInterval(SubtractTimeStampFromTimeStampAsDayTimeInterval(
            Left.GetAsTimeStamp(), Right.GetAsTimeStamp(), Token->FSubType));
        return;
      }
      if (RightKind == akDate) {
        // Computed as the interval subtraction into the node's own type.
        SubtractAsInterval(Left, Right, Result, Token->FDataType, Token->FSubType);
        return;
      }
      if (RightKind == akYearMonth) {
        Result.SetAsTimeStamp(SubtractYearMonthIntervalFromTimeStamp(Left.GetAsTimeStamp(),
                                                                     Right.GetAsYearMonthInterval(), Right.GetSubType()));
        return;
      }
      if (RightKind == akDayTime) {
        Result.SetAsTimeStamp(SubtractDayTimeIntervalFromTimeStamp(Left.GetAsTimeStamp(), Right.GetAsDayTimeInterval(),
                                                                   Right.GetSubType()));
        return;
      }
      break;
    case akYearMonth:
      Result.SetAsYearMonthInterval(WrapSub32(Left.GetAsYearMonthInterval(), Right.GetAsYearMonthInterval()));
      return;
    case akDayTime:
      Result.SetAsDayTimeInterval(WrapSub64(Left.GetAsDayTimeInterval(), Right.GetAsDayTimeInterval()));
      return;
    default:
      break;
  }
  PairError(Right);
}

void TORVExprEvaluator::EvaluateSUBINTERVAL(TORVExprToken* Token) {
  if (EvaluateOperands(Token, false)) return;
  SubtractAsInterval(*Token->GetLeftToken()->FValue, *Token->GetRightToken()->FValue, *Token->FValue,
                     Token->FDataType, Token->FSubType);
}

void TORVExprEvaluator::EvaluateMUL(TORVExprToken* Token) {
  if (EvaluateOperands(Token, false)) return;
  TORVValue& Result = *Token->FValue;
  TORVValue* Left = Token->GetLeftToken()->FValue.get();
  TORVValue* Right = Token->GetRightToken()->FValue.get();
  TArithKind LeftKind = KindOf(*Left);
  TArithKind RightKind = KindOf(*Right);
  if (IsNumber(LeftKind) && IsNumber(RightKind)) {
    NumberArith(noMul, *Left, LeftKind, *Right, RightKind, Result);
    return;
  }
  // An integer times an interval is the interval times the integer.
  if (IsInteger(LeftKind) && IsInterval(RightKind)) {
    std::swap(Left, Right);
    std::swap(LeftKind, RightKind);
  }
  if (IsInteger(RightKind) && ScaleInterval(*Left, LeftKind, *Right, false, Result)) return;
  PairError(*Right);
}

void TORVExprEvaluator::EvaluateDIV(TORVExprToken* Token) {
  if (EvaluateOperands(Token, false) || ZeroDivisorGivesNull(Token)) return;
  TORVValue& Result = *Token->FValue;
  TORVValue& Left = *Token->GetLeftToken()->FValue;
  TORVValue& Right = *Token->GetRightToken()->FValue;
  const TArithKind LeftKind = KindOf(Left);
  const TArithKind RightKind = KindOf(Right);
  if (IsNumber(LeftKind) && IsNumber(RightKind)) {
    if (LeftKind != akFloat && RightKind != akFloat && (LeftKind == akDecimal || RightKind == akDecimal)) {
      // Both as ten-thousandths: the quotient times 10,000 is again in
      // ten-thousandths.
      Result.SetAsCurrency(CheckedCurrency(
          DivideRoundEven(ScaledOf(Left, LeftKind) * TORVCurrency::Scale, ScaledOf(Right, RightKind))));
    } else {
      // Integers divide as reals too: 7 / 2 is 3.5.
      Result.SetAsDouble(CheckedFloat(RealOf(Left, LeftKind) / RealOf(Right, RightKind)));
    }
    return;
  }
  if (IsInteger(RightKind) && ScaleInterval(Left, LeftKind, Right, true, Result)) return;
  PairError(Right);
}

void TORVExprEvaluator::EvaluateMOD(TORVExprToken* Token) {
  if (EvaluateOperands(Token, true) || ZeroDivisorGivesNull(Token)) return;
  TORVValue& Result = *Token->FValue;
  TORVValue& Left = *Token->GetLeftToken()->FValue;
  TORVValue& Right = *Token->GetRightToken()->FValue;
  const TArithKind LeftKind = KindOf(Left);
  const TArithKind RightKind = KindOf(Right);
  if (IsInteger(LeftKind) && IsInteger(RightKind)) {
    if (LeftKind == akBigInt || RightKind == akBigInt) {
      Result.SetAsLargeInt(Remainder64(Left.GetAsLargeInt(), Right.GetAsLargeInt()));
    } else {
      Result.SetAsInteger(Remainder32(Left.GetAsInteger(), Right.GetAsInteger()));
    }
    return;
  }
  if (LeftKind == akYearMonth) {
    const int32_t Divisor = Right.GetAsYearMonthInterval();
    // A divisor that is no zero by its own type can still count no months.
    if (Divisor == 0) {
      Result.SetAsNull(true);
    } else {
      Result.SetAsYearMonthInterval(Remainder32(Left.GetAsYearMonthInterval(), Divisor));
    }
    return;
  }
  if (LeftKind == akDayTime) {
    const int64_t Divisor = Right.GetAsDayTimeInterval();
    if (Divisor == 0) {
      Result.SetAsNull(true);
    } else {
      Result.SetAsDayTimeInterval(Remainder64(Left.GetAsDayTimeInterval(), Divisor));
    }
    return;
  }
  PairError(Right);
}

void TORVExprEvaluator::EvaluateNEGATE(TORVExprToken* Token) {
  TORVExprToken* OperandToken = Token->GetLeftToken();
  EvaluateNextToken(OperandToken);
  TORVValue& Result = *Token->FValue;
  TORVValue& Operand = *OperandToken->FValue;
  if (Operand.GetNull()) {
    Result.SetAsNull(true);
    return;
  }
  switch (Operand.GetDataType()) {
    case dtSmallInt:
      // -32768 stays -32768.
      Result.SetAsSmallInt(WrapNegate16(Operand.GetAsSmallInt()));
      return;
    case dtInteger:
      Result.SetAsInteger(WrapNegate32(Operand.GetAsInteger()));
      return;
    case dtBigInt:
      Result.SetAsLargeInt(WrapNegate64(Operand.GetAsLargeInt()));
      return;
    case dtFloat:
      Result.SetAsDouble(-Operand.GetAsDouble());
      return;
    case dtDecimal:
      Result.SetAsCurrency(CheckedCurrency(-static_cast<TORVInt128>(Operand.GetAsCurrency().Scaled())));
      return;
    case dtYearMonthInterval:
      Result.SetAsYearMonthInterval(WrapNegate32(Operand.GetAsYearMonthInterval()));
      return;
    case dtDayTimeInterval:
      Result.SetAsDayTimeInterval(WrapNegate64(Operand.GetAsDayTimeInterval()));
      return;
    default:
      PairError(Operand);
  }
}

}  // namespace orv
