// CAST: a plain conversion through the value classes, or, with any of the
// DATE FORMAT, TIME FORMAT, DECIMAL CHAR and BOOLEAN clauses, a formatted
// one: a value written as text by its own type, or text read by the
// target's type. A CAST to a declared length has a value that cuts
// variable-length text instead of raising (orvevalvalue.h).
#include "base/orvtype.h"
#include "core/orvformat.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "sql/orvtokenslots.h"

namespace orv {

namespace {

// The clauses of a CAST as text, each its default when not written, and
// the two masks compiled.
struct TORVCastFormats {
  TORVString DateFormat = u"yyyy-mm-dd";
  TORVString TimeFormat = u"hh:mm:ss.zzz";
  TORVString AMText = u"AM";
  TORVString PMText = u"PM";
  TORVString DecimalChar = u".";
  TORVString TrueText = u"TRUE";
  TORVString FalseText = u"FALSE";
  TORVDateFormat Date;
  TORVTimeFormat Time;
};

// Slot Slot of Token, or nil when the node has no such argument (a stored
// tree may carry fewer slots than the grammar writes).
TORVExprToken* CastSlot(const TORVExprToken* Token, int32_t Slot) {
  return Token != nullptr && Slot < Token->GetNumArguments() ? Token->GetArgument(Slot) : nullptr;
}

bool IsCastTextTarget(const TORVExprToken* Token) {
  return Token->FDataType == dtCharacter || (Token->FDataType == dtLargeObject && Token->FSubType == stClob);
}

// The source written as text by its own type.
TORVString CastFormatValue(TORVValue& Source, const TORVCastFormats& Texts) {
  switch (Source.GetDataType()) {
    case dtBoolean:
      return BooleanToFormattedStr(Source.GetAsBoolean(), Texts.TrueText, Texts.FalseText);
    case dtFloat:
      return FloatToFormattedStr(Source.GetAsDouble(), Texts.DecimalChar[0]);
    case dtDecimal:
      return DecimalToFormattedStr(Source.GetAsCurrency(), Texts.DecimalChar[0]);
    case dtDate:
      return DateToFormattedStr(Source.GetAsDate(), Texts.Date);
    case dtTime:
      return TimeToFormattedStr(Source.GetAsTime(), Texts.Time);
    case dtTimeStamp:
      return TimeStampToFormattedStr(Source.GetAsTimeStamp(), Texts.Date, Texts.Time);
    default:
      return Source.GetAsString();
  }
}

// The source's text read by the target's type into Target. False when the
// target's type reads no formatted text (the caller assigns instead).
// Text that the format cannot read is the target's conversion error: the
// value never keeps what an earlier row left in it.
bool CastReadValue(TORVValue& Target, TORVValue& Source, const TORVCastFormats& Texts) {
  const TORVString Text = Source.GetAsString();
  bool Read = false;
  switch (Target.GetDataType()) {
    case dtBoolean: {
      bool Value = false;
      Read = FormattedStrToBoolean(Text, Texts.TrueText, Texts.FalseText, Value);
      if (Read) Target.SetAsBoolean(Value);
      break;
    }
    case dtFloat: {
      double Value = 0;
      Read = FormattedStrToFloat(Text, Texts.DecimalChar[0], Value);
      if (Read) Target.SetAsDouble(Value);
      break;
    }
    case dtDecimal: {
      TORVCurrency Value;
      Read = FormattedStrToDecimal(Text, Texts.DecimalChar[0], Value);
      if (Read) Target.SetAsCurrency(Value);
      break;
    }
    case dtDate: {
      int32_t Value = 0;
      Read = FormattedStrToDate(Text, Texts.Date, Value);
      if (Read) Target.SetAsDate(Value);
      break;
    }
    case dtTime: {
      int32_t Value = 0;
      Read = FormattedStrToTime(Text, Texts.Time, Value);
      if (Read) Target.SetAsTime(Value);
      break;
    }
    case dtTimeStamp: {
      int64_t Value = 0;
      Read = FormattedStrToTimeStamp(Text, Texts.Date, Texts.Time, Value);
      if (Read) Target.SetAsTimeStamp(Value);
      break;
    }
    default:
      return false;
  }
  if (!Read) Target.ConversionError(Text, true);
  return true;
}

}  // namespace

void TORVExprEvaluator::EvaluateCAST(TORVExprToken* Token) {
  TORVExprToken* Source = Token->GetArgument(CastValueSlot);
  EvaluateNextToken(Source);
  if (Source->FValue->GetNull()) {
    Token->FValue->SetAsNull(true);
    return;
  }
  TORVExprToken* DateFormat = CastSlot(Token, CastDateFormatSlot);
  TORVExprToken* TimeFormat = CastSlot(Token, CastTimeFormatSlot);
  TORVExprToken* DecimalChar = CastSlot(Token, CastDecimalCharSlot);
  TORVExprToken* Booleans = CastSlot(Token, CastBooleanSlot);
  if (DateFormat == nullptr && TimeFormat == nullptr && DecimalChar == nullptr && Booleans == nullptr) {
    Token->FValue->Assign(*Source->FValue);
    return;
  }

  TORVCastFormats Texts;
  // A clause replaces its default with its text; a NULL text leaves the
  // default, since it names no format.
  auto Take = [this](TORVExprToken* Clause, TORVString& Text) {
    if (Clause == nullptr) return;
    EvaluateNextToken(Clause);
    if (!Clause->FValue->GetNull()) Text = Clause->FValue->GetAsString();
  };
  Take(DateFormat, Texts.DateFormat);
  if (TimeFormat != nullptr) {
    Take(TimeFormat, Texts.TimeFormat);
    // The grammar appends the AM and PM literals to the format's own slots.
    const int32_t Count = TimeFormat->GetNumArguments();
    if (Count >= 2) {
      Take(TimeFormat->GetArgument(Count - 2), Texts.AMText);
      Take(TimeFormat->GetArgument(Count - 1), Texts.PMText);
    }
  }
  Take(DecimalChar, Texts.DecimalChar);
  // An empty decimal character has no first character to read.
  if (Texts.DecimalChar.empty()) Texts.DecimalChar = u".";
  if (Booleans != nullptr) {
    Take(CastSlot(Booleans, BooleanTrueSlot), Texts.TrueText);
    Take(CastSlot(Booleans, BooleanFalseSlot), Texts.FalseText);
  }
  // Both masks are compiled whichever the types need, so that a mask that
  // makes no date or time is refused on every row alike.
  Texts.Date = GetDateFormat(Texts.DateFormat);
  Texts.Time = GetTimeFormat(Texts.TimeFormat, Texts.AMText, Texts.PMText);

  TORVValue& Target = *Token->FValue;
  if (IsCastTextTarget(Token)) {
    Target.SetAsString(CastFormatValue(*Source->FValue, Texts));
  } else if (!CastReadValue(Target, *Source->FValue, Texts)) {
    Target.Assign(*Source->FValue);
  }
}

}  // namespace orv
