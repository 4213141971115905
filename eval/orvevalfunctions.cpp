// The built-in scalar functions: numbers, trigonometry, texts, date and
// time fields, the clock and GUIDs. The first argument is evaluated first;
// unless a routine says otherwise a NULL first argument gives NULL and the
// other arguments are not evaluated.
//
// <cmath> and core's number helpers raise nothing, so every result is
// tested here: the logarithms, EXP, ACOS, ASIN and COT give NULL where
// their result is not a finite Double, the other floating-point functions
// raise the floating-point error (CheckedFloat). A type that a function
// does not know is the conversion error of the argument: a routine never
// leaves the previous row's value in place.
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "core/orvcollation.h"
#include "core/orvdatetime.h"
#include "core/orvguid.h"
#include "core/orvliteral.h"
#include "core/orvmath.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "eval/orvevalnumeric.h"
#include "eval/orvevalrandom.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

[[noreturn]] void FunctionArgumentTypeError(TORVValue& Argument) {
  Argument.ConversionError(Argument.GetAsString(), true);
  throw std::logic_error("a conversion error returned");
}

// A count or position argument: a NULL one counts as 0.
int64_t FunctionCountOf(TORVExprToken* Argument) {
  if (Argument == nullptr || Argument->FValue->GetNull()) return 0;
  return Argument->FValue->GetAsLargeInt();
}

// Text is built only up to the largest character length: a longer result
// is refused before any of it is allocated.
void CheckFunctionTextLength(TORVExprToken* Token, int64_t Length) {
  if (Length > TORVExprValidater::MaxLength) Token->FValue->RangeError(IntToString(Length), false);
}

// A Double result that is not finite means the function's domain was left.
bool FunctionFiniteResult(long double Value, double& Result) {
  Result = static_cast<double>(Value);
  return std::isfinite(Result);
}

}  // namespace

// ---------------------------------------------------------------------------
// Arguments

bool TORVExprEvaluator::EvaluateFirstArgument(TORVExprToken* Token) {
  TORVExprToken* First = Token->GetArgument(FunctionFirstArgumentSlot);
  EvaluateNextToken(First);
  if (!First->FValue->GetNull()) return true;
  Token->FValue->SetAsNull(true);
  return false;
}

bool TORVExprEvaluator::EvaluateAllArguments(TORVExprToken* Token) {
  bool AnyNull = false;
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    if (Argument == nullptr) continue;
    EvaluateNextToken(Argument);
    AnyNull = AnyNull || Argument->FValue->GetNull();
  }
  if (AnyNull) Token->FValue->SetAsNull(true);
  return !AnyNull;
}

// ---------------------------------------------------------------------------
// Numbers

void TORVExprEvaluator::EvaluateABS(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVValue& X = *Token->GetArgument(0)->FValue;
  TORVValue& Result = *Token->FValue;
  switch (X.GetDataType()) {
    case dtSmallInt: {
      const int16_t Value = X.GetAsSmallInt();
      Result.SetAsSmallInt(Value < 0 ? WrapNegate16(Value) : Value);
      break;
    }
    case dtInteger: {
      const int32_t Value = X.GetAsInteger();
      Result.SetAsInteger(Value < 0 ? WrapNegate32(Value) : Value);
      break;
    }
    case dtBigInt: {
      const int64_t Value = X.GetAsLargeInt();
      Result.SetAsLargeInt(Value < 0 ? WrapNegate64(Value) : Value);
      break;
    }
    case dtFloat:
      Result.SetAsDouble(std::fabs(X.GetAsDouble()));
      break;
    case dtDecimal: {
      const TORVCurrency Value = X.GetAsCurrency();
      Result.SetAsCurrency(Value.Scaled() < 0 ? CheckedCurrency(-static_cast<TORVInt128>(Value.Scaled())) : Value);
      break;
    }
    case dtYearMonthInterval: {
      const int32_t Value = X.GetAsYearMonthInterval();
      Result.SetAsYearMonthInterval(Value < 0 ? WrapNegate32(Value) : Value);
      break;
    }
    case dtDayTimeInterval: {
      const int64_t Value = X.GetAsDayTimeInterval();
      Result.SetAsDayTimeInterval(Value < 0 ? WrapNegate64(Value) : Value);
      break;
    }
    default:
      FunctionArgumentTypeError(X);
  }
}

void TORVExprEvaluator::EvaluateRoundOrTruncate(TORVExprToken* Token, bool Round) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* Places = SlotOf(Token, RoundPlacesSlot);
  if (Places != nullptr) EvaluateNextToken(Places);
  // Beyond 32 bits the places mean "all of them" or "none".
  const int64_t Decimals64 = FunctionCountOf(Places);
  const int32_t Decimals =
      static_cast<int32_t>(Decimals64 > INT32_MAX ? INT32_MAX : Decimals64 < INT32_MIN ? INT32_MIN : Decimals64);
  TORVValue& X = *Token->GetArgument(0)->FValue;
  TORVValue& Result = *Token->FValue;
  switch (X.GetDataType()) {
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      Result.SetAsLargeInt(X.GetAsLargeInt());
      break;
    case dtFloat: {
      const double Value = X.GetAsDouble();
      Result.SetAsDouble(CheckedFloat(Round ? RoundFloat(Value, Decimals) : TruncateFloat(Value, Decimals)));
      break;
    }
    case dtDecimal: {
      const TORVCurrency Value = X.GetAsCurrency();
      Result.SetAsCurrency(Round ? RoundCurr(Value, Decimals) : TruncateCurr(Value, Decimals));
      break;
    }
    default:
      FunctionArgumentTypeError(X);
  }
}

void TORVExprEvaluator::EvaluateROUND(TORVExprToken* Token) { EvaluateRoundOrTruncate(Token, true); }

void TORVExprEvaluator::EvaluateTRUNCATE(TORVExprToken* Token) { EvaluateRoundOrTruncate(Token, false); }

void TORVExprEvaluator::EvaluateFloatFunction(TORVExprToken* Token, long double (*Function)(long double),
                                              bool NullOnError) {
  if (!EvaluateFirstArgument(Token)) return;
  const long double X = Token->GetArgument(0)->FValue->GetAsDouble();
  if (!NullOnError) {
    Token->FValue->SetAsDouble(CheckedFloat(Function(X)));
    return;
  }
  double Result = 0;
  if (FunctionFiniteResult(Function(X), Result)) {
    Token->FValue->SetAsDouble(Result);
  } else {
    Token->FValue->SetAsNull(true);
  }
}

void TORVExprEvaluator::EvaluateFloatPair(TORVExprToken* Token, long double (*Function)(long double, long double)) {
  if (!EvaluateAllArguments(Token)) return;
  const long double A = Token->GetArgument(0)->FValue->GetAsDouble();
  const long double B = Token->GetArgument(1)->FValue->GetAsDouble();
  Token->FValue->SetAsDouble(CheckedFloat(Function(A, B)));
}

namespace {

long double FunctionCos(long double X) { return std::cos(X); }
long double FunctionSin(long double X) { return std::sin(X); }
long double FunctionAtan(long double X) { return std::atan(X); }
long double FunctionSqrt(long double X) { return std::sqrt(X); }
long double FunctionExp(long double X) { return std::exp(X); }
long double FunctionLog(long double X) { return std::log(X); }

}  // namespace

void TORVExprEvaluator::EvaluateACOS(TORVExprToken* Token) { EvaluateFloatFunction(Token, ArcCos, true); }
void TORVExprEvaluator::EvaluateASIN(TORVExprToken* Token) { EvaluateFloatFunction(Token, ArcSin, true); }
void TORVExprEvaluator::EvaluateCOT(TORVExprToken* Token) { EvaluateFloatFunction(Token, Cotan, true); }
void TORVExprEvaluator::EvaluateEXP(TORVExprToken* Token) { EvaluateFloatFunction(Token, FunctionExp, true); }
void TORVExprEvaluator::EvaluateLOG(TORVExprToken* Token) { EvaluateFloatFunction(Token, FunctionLog, true); }
void TORVExprEvaluator::EvaluateLOG10(TORVExprToken* Token) { EvaluateFloatFunction(Token, Log10, true); }
void TORVExprEvaluator::EvaluateATAN(TORVExprToken* Token) { EvaluateFloatFunction(Token, FunctionAtan, false); }
void TORVExprEvaluator::EvaluateCOS(TORVExprToken* Token) { EvaluateFloatFunction(Token, FunctionCos, false); }
void TORVExprEvaluator::EvaluateSIN(TORVExprToken* Token) { EvaluateFloatFunction(Token, FunctionSin, false); }
void TORVExprEvaluator::EvaluateTAN(TORVExprToken* Token) { EvaluateFloatFunction(Token, Tan, false); }
void TORVExprEvaluator::EvaluateDEGREES(TORVExprToken* Token) { EvaluateFloatFunction(Token, RadToDeg, false); }
void TORVExprEvaluator::EvaluateRADIANS(TORVExprToken* Token) { EvaluateFloatFunction(Token, DegToRad, false); }
void TORVExprEvaluator::EvaluateSQRT(TORVExprToken* Token) { EvaluateFloatFunction(Token, FunctionSqrt, false); }
void TORVExprEvaluator::EvaluateATAN2(TORVExprToken* Token) { EvaluateFloatPair(Token, ArcTan2); }
void TORVExprEvaluator::EvaluatePOWER(TORVExprToken* Token) { EvaluateFloatPair(Token, Power); }

void TORVExprEvaluator::EvaluateCEILING(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  Token->FValue->SetAsLargeInt(Ceil(Token->GetArgument(0)->FValue->GetAsDouble()));
}

void TORVExprEvaluator::EvaluateFLOOR(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  Token->FValue->SetAsLargeInt(Floor(Token->GetArgument(0)->FValue->GetAsDouble()));
}

void TORVExprEvaluator::EvaluateSIGN(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  const double X = Token->GetArgument(0)->FValue->GetAsDouble();
  Token->FValue->SetAsInteger(X < 0 ? -1 : X > 0 ? 1 : 0);
}

void TORVExprEvaluator::EvaluatePI(TORVExprToken* Token) { Token->FValue->SetAsDouble(3.141592653589793); }

void TORVExprEvaluator::EvaluateRAND(TORVExprToken* Token) {
  TORVExprToken* Range = SlotOf(Token, RandRangeSlot);
  if (Range != nullptr) EvaluateNextToken(Range);
  TORVRandomGenerator& Generator = TORVRandomGenerator::Instance();
  if (Range == nullptr || Range->FValue->GetNull()) {
    Token->FValue->SetAsDouble(Generator.NextFraction());
  } else {
    // A range of 0 or less holds only 0: nothing is divided by it.
    Token->FValue->SetAsDouble(static_cast<double>(Generator.NextBelow(Range->FValue->GetAsLargeInt())));
  }
}

// ---------------------------------------------------------------------------
// Texts

void TORVExprEvaluator::EvaluateCONCAT(TORVExprToken* Token) {
  if (!EvaluateAllArguments(Token)) return;
  const TORVString A = Token->GetArgument(0)->FValue->GetAsString();
  const TORVString B = Token->GetArgument(1)->FValue->GetAsString();
  CheckFunctionTextLength(Token, static_cast<int64_t>(A.size()) + static_cast<int64_t>(B.size()));
  Token->FValue->SetAsString(A + B);
}

void TORVExprEvaluator::EvaluateLEFT(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* Count = Token->GetArgument(1);
  EvaluateNextToken(Count);
  const TORVString S = Token->GetArgument(0)->FValue->GetAsString();
  const int64_t Taken = FunctionCountOf(Count);
  Token->FValue->SetAsString(Taken <= 0 ? TORVString() : S.substr(0, static_cast<std::size_t>(Taken)));
}

void TORVExprEvaluator::EvaluateRIGHT(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* Count = Token->GetArgument(1);
  EvaluateNextToken(Count);
  const TORVString S = Token->GetArgument(0)->FValue->GetAsString();
  const int64_t Taken = FunctionCountOf(Count);
  Token->FValue->SetAsString(RCopy(S, static_cast<int32_t>(Taken < 0 ? 0 : Taken > INT32_MAX ? INT32_MAX : Taken)));
}

void TORVExprEvaluator::EvaluateLENGTH(TORVExprToken* Token) {
  TORVExprToken* X = Token->GetArgument(0);
  EvaluateNextToken(X);
  TORVValue& Value = *X->FValue;
  if (Value.GetNull()) {
    Token->FValue->SetAsInteger(0);
    return;
  }
  switch (Value.GetDataType()) {
    case dtCharacter:
    case dtBytes:
    case dtLargeObject:
      Token->FValue->SetAsInteger(Value.GetLength());
      break;
    default:
      Token->FValue->SetAsInteger(0);
  }
}

void TORVExprEvaluator::EvaluateLOWER(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* S = Token->GetArgument(0);
  Token->FValue->SetAsString(LowerString(S->FCollation, S->FValue->GetAsString()));
}

void TORVExprEvaluator::EvaluateUPPER(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* S = Token->GetArgument(0);
  Token->FValue->SetAsString(UpperString(S->FCollation, S->FValue->GetAsString()));
}

// POS and OCCURS evaluate both texts: a NULL text searched gives 0, a NULL
// text searched for gives NULL.
bool TORVExprEvaluator::EvaluateSearchedText(TORVExprToken* Token, TORVString& Sub, TORVString& S) {
  TORVExprToken* SubToken = Token->GetArgument(0);
  TORVExprToken* SToken = Token->GetArgument(1);
  EvaluateNextToken(SubToken);
  EvaluateNextToken(SToken);
  if (SToken->FValue->GetNull()) {
    Token->FValue->SetAsInteger(0);
    return false;
  }
  if (SubToken->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
    return false;
  }
  Sub = SubToken->FValue->GetAsString();
  S = SToken->FValue->GetAsString();
  return true;
}

void TORVExprEvaluator::EvaluatePOS(TORVExprToken* Token) {
  TORVString Sub;
  TORVString S;
  if (EvaluateSearchedText(Token, Sub, S)) Token->FValue->SetAsInteger(StringPos(Sub, S));
}

void TORVExprEvaluator::EvaluateOCCURS(TORVExprToken* Token) {
  TORVString Sub;
  TORVString S;
  if (EvaluateSearchedText(Token, Sub, S)) Token->FValue->SetAsInteger(Occurs(Sub, S));
}

void TORVExprEvaluator::EvaluateQUOTEDSTR(TORVExprToken* Token) {
  TORVExprToken* S = Token->GetArgument(0);
  TORVExprToken* Quote = SlotOf(Token, QuotedStrQuoteSlot);
  EvaluateNextToken(S);
  if (Quote != nullptr) EvaluateNextToken(Quote);
  if (S->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
    return;
  }
  // An empty or NULL quote text has no first character: the default quote.
  char16_t QuoteChar = u'\'';
  if (Quote != nullptr && !Quote->FValue->GetNull()) {
    const TORVString Text = Quote->FValue->GetAsString();
    if (!Text.empty()) QuoteChar = Text[0];
  }
  const TORVString Text = S->FValue->GetAsString();
  CheckFunctionTextLength(Token, static_cast<int64_t>(Text.size()) + Occurs(TORVString(1, QuoteChar), Text) + 2);
  Token->FValue->SetAsString(QuotedString(Text, QuoteChar));
}

void TORVExprEvaluator::EvaluateREPEATSTR(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* Count = Token->GetArgument(1);
  EvaluateNextToken(Count);
  const TORVString S = Token->GetArgument(0)->FValue->GetAsString();
  int64_t Times = FunctionCountOf(Count);
  if (Times < 0) Times = 0;
  // Times is below 2^63 and S below 2^31 characters: compared by division,
  // the product is never formed.
  if (!S.empty() && Times > TORVExprValidater::MaxLength / static_cast<int64_t>(S.size())) {
    Token->FValue->RangeError(IntToString(Times), false);
  }
  Token->FValue->SetAsString(Replicate(S, static_cast<int32_t>(S.empty() ? 0 : Times)));
}

void TORVExprEvaluator::EvaluateREPLACE(TORVExprToken* Token) {
  if (!EvaluateAllArguments(Token)) return;
  const TORVString Old = Token->GetArgument(0)->FValue->GetAsString();
  const TORVString New = Token->GetArgument(1)->FValue->GetAsString();
  const TORVString S = Token->GetArgument(2)->FValue->GetAsString();
  if (New.size() > Old.size() && !Old.empty()) {
    const int64_t Growth = static_cast<int64_t>(New.size() - Old.size());
    CheckFunctionTextLength(Token, static_cast<int64_t>(S.size()) + Growth * Occurs(Old, S));
  }
  Token->FValue->SetAsString(ReplaceString(S, Old, New, false));
}

void TORVExprEvaluator::EvaluateSUBSTRING(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVExprToken* From = Token->GetArgument(1);
  TORVExprToken* For = SlotOf(Token, SubstringLengthSlot);
  EvaluateNextToken(From);
  if (For != nullptr) EvaluateNextToken(For);
  TORVValue& SValue = *Token->GetArgument(0)->FValue;
  const TORVString S = SValue.GetAsString();
  int64_t Position = FunctionCountOf(From);
  if (Position < 1) Position = 1;
  int64_t Count = For != nullptr ? FunctionCountOf(For) : SValue.GetLength() - Position + 1;
  if (Count < 0) Count = 0;
  if (Position > static_cast<int64_t>(S.size())) {
    Token->FValue->SetAsString(TORVString());
    return;
  }
  Token->FValue->SetAsString(S.substr(static_cast<std::size_t>(Position - 1), static_cast<std::size_t>(Count)));
}

void TORVExprEvaluator::EvaluateTrim(TORVExprToken* Token, bool Leading, bool Trailing) {
  TORVExprToken* Characters = Token->GetArgument(TrimCharactersSlot);
  TORVExprToken* Text = Token->GetArgument(TrimTextSlot);
  EvaluateNextToken(Characters);
  EvaluateNextToken(Text);
  if (Text->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
    return;
  }
  const TORVString S = Text->FValue->GetAsString();
  const TORVString T = Characters->FValue->GetNull() ? TORVString() : Characters->FValue->GetAsString();
  // Nothing to remove: removing repetitions of an empty text would never end.
  if (T.empty()) {
    Token->FValue->SetAsString(S);
    return;
  }
  TORVString Result;
  if (T.size() == 1) {
    Result = Leading && Trailing ? AllTrimString(S, T[0]) : Leading ? LTrimString(S, T[0]) : RTrimString(S, T[0]);
  } else {
    Result = Leading && Trailing ? AllTrimString(S, T) : Leading ? LTrimString(S, T) : RTrimString(S, T);
  }
  Token->FValue->SetAsString(Result);
}

void TORVExprEvaluator::EvaluateTRIMBOTH(TORVExprToken* Token) { EvaluateTrim(Token, true, true); }
void TORVExprEvaluator::EvaluateTRIMLEADING(TORVExprToken* Token) { EvaluateTrim(Token, true, false); }
void TORVExprEvaluator::EvaluateTRIMTRAILING(TORVExprToken* Token) { EvaluateTrim(Token, false, true); }

// ---------------------------------------------------------------------------
// Date and time fields

namespace {

enum TExtractFieldKind : uint8_t { efYear, efMonth, efDay, efHour, efMinute, efSecond, efMSecond };

int64_t ExtractFromDate(int32_t Date, TExtractFieldKind Field) {
  const TORVParsedDate Parsed = ParseDate(Date);
  return Field == efYear ? Parsed.Year : Field == efMonth ? Parsed.Month : Parsed.Day;
}

int64_t ExtractFromTime(int32_t Time, TExtractFieldKind Field) {
  const TORVParsedTime Parsed = ParseTime(Time);
  return Field == efHour ? Parsed.Hour : Field == efMinute ? Parsed.Minute : Field == efSecond ? Parsed.Second
                                                                                              : Parsed.MSecond;
}

// The field of X, or False when X's type does not hold it.
bool ExtractField(TORVValue& X, TExtractFieldKind Field, int64_t& Result) {
  const bool DateField = Field == efYear || Field == efMonth || Field == efDay;
  switch (X.GetDataType()) {
    case dtDate:
      if (!DateField) return false;
      Result = ExtractFromDate(X.GetAsDate(), Field);
      return true;
    case dtTime:
      if (DateField) return false;
      Result = ExtractFromTime(X.GetAsTime(), Field);
      return true;
    case dtTimeStamp: {
      const int64_t TimeStamp = X.GetAsTimeStamp();
      Result = DateField ? ExtractFromDate(DateFromTimeStamp(TimeStamp), Field)
                         : ExtractFromTime(TimeFromTimeStamp(TimeStamp), Field);
      return true;
    }
    case dtYearMonthInterval: {
      if (Field != efYear && Field != efMonth) return false;
      const TORVParsedYearMonthInterval Parsed = ParseYearMonthInterval(X.GetAsYearMonthInterval(), X.GetSubType());
      Result = Field == efYear ? Parsed.Years : Parsed.Months;
      return true;
    }
    case dtDayTimeInterval: {
      if (Field == efYear || Field == efMonth) return false;
      const TORVParsedDayTimeInterval Parsed = ParseDayTimeInterval(X.GetAsDayTimeInterval(), X.GetSubType());
      Result = Field == efDay      ? Parsed.Days
               : Field == efHour   ? Parsed.Hours
               : Field == efMinute ? Parsed.Minutes
               : Field == efSecond ? Parsed.Seconds
                                   : Parsed.MSeconds;
      return true;
    }
    default:
      return false;
  }
}

TExtractFieldKind ExtractFieldOf(TORVTokenOperator Operator) {
  switch (Operator) {
    case toEXTRACTYEAR:
      return efYear;
    case toEXTRACTMONTH:
      return efMonth;
    case toEXTRACTDAY:
      return efDay;
    case toEXTRACTHOUR:
      return efHour;
    case toEXTRACTMINUTE:
      return efMinute;
    case toEXTRACTSECOND:
      return efSecond;
    default:
      return efMSecond;
  }
}

// The day of a date or time stamp, for the ISO calendar fields.
bool ExtractDay(TORVValue& X, int32_t& Date) {
  if (X.GetDataType() == dtDate) {
    Date = X.GetAsDate();
  } else if (X.GetDataType() == dtTimeStamp) {
    Date = DateFromTimeStamp(X.GetAsTimeStamp());
  } else {
    return false;
  }
  return true;
}

}  // namespace

void TORVExprEvaluator::EvaluateExtractField(TORVExprToken* Token) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVValue& X = *Token->GetArgument(ExtractValueSlot)->FValue;
  int64_t Result = 0;
  if (!ExtractField(X, ExtractFieldOf(Token->FTokenOperator), Result)) FunctionArgumentTypeError(X);
  Token->FValue->SetAsLargeInt(Result);
}

void TORVExprEvaluator::EvaluateExtractDay(TORVExprToken* Token, int32_t (*Function)(int32_t)) {
  if (!EvaluateFirstArgument(Token)) return;
  TORVValue& X = *Token->GetArgument(ExtractValueSlot)->FValue;
  int32_t Date = 0;
  if (!ExtractDay(X, Date)) FunctionArgumentTypeError(X);
  Token->FValue->SetAsInteger(Function(Date));
}

void TORVExprEvaluator::EvaluateEXTRACTDAYOFWEEK(TORVExprToken* Token) { EvaluateExtractDay(Token, ISODayOfWeek); }
void TORVExprEvaluator::EvaluateEXTRACTDAYOFYEAR(TORVExprToken* Token) { EvaluateExtractDay(Token, ISODayOfYear); }
void TORVExprEvaluator::EvaluateEXTRACTWEEK(TORVExprToken* Token) { EvaluateExtractDay(Token, ISOWeekNumber); }

// ---------------------------------------------------------------------------
// The clock and GUIDs: read at every evaluation. The UTC keyword is the
// node's one argument.

void TORVExprEvaluator::EvaluateCURDATE(TORVExprToken* Token) {
  Token->FValue->SetAsDate(CurrentDate(SlotOf(Token, CurrentMomentUTCSlot) != nullptr));
}

void TORVExprEvaluator::EvaluateCURTIME(TORVExprToken* Token) {
  Token->FValue->SetAsTime(CurrentTime(SlotOf(Token, CurrentMomentUTCSlot) != nullptr));
}

void TORVExprEvaluator::EvaluateCURTIMESTAMP(TORVExprToken* Token) {
  Token->FValue->SetAsTimeStamp(CurrentTimeStamp(SlotOf(Token, CurrentMomentUTCSlot) != nullptr));
}

void TORVExprEvaluator::EvaluateCURGUID(TORVExprToken* Token) { Token->FValue->SetAsString(GUIDAsString()); }

}  // namespace orv
