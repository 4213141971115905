// The validater object, its dispatch tables, the error routines and the
// typing rules: which operand types each operator accepts, which values may
// be assigned to a target of a type, and which casts are possible.
#include "sql/orvvalidater.h"

#include <stdexcept>
#include <utility>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvtokenizer.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

TORVTypeCodeSet Range(int32_t First, int32_t Last) {
  TORVTypeCodeSet Set;
  for (int32_t Code = First; Code <= Last; ++Code) Set.Include(Code);
  return Set;
}

TORVTypeCodeSet Types(std::initializer_list<int32_t> Codes) { return TORVTypeCodeSet(Codes); }

// The sets a right operand must pass: one pair, or a second pair that
// applies when the right operand is a large object.
struct TRightSets {
  TORVTypeCodeSet Types;
  TORVTypeCodeSet SubTypes;
  bool HasLargeObjectSets = false;
  TORVTypeCodeSet LargeObjectTypes;
  TORVTypeCodeSet LargeObjectSubTypes;
};

TRightSets Plain(TORVTypeCodeSet TypeSet, TORVTypeCodeSet SubTypeSet) {
  TRightSets Sets;
  Sets.Types = std::move(TypeSet);
  Sets.SubTypes = std::move(SubTypeSet);
  return Sets;
}

// Character (or bytes), or CLOB (or BLOB) when the right operand is a large
// object.
TRightSets StringOrLargeObject(int32_t DataType, const TORVTypeCodeSet& SubTypeSet, int32_t LargeObjectSubType) {
  TRightSets Sets = Plain(Types({DataType}), SubTypeSet);
  Sets.HasLargeObjectSets = true;
  Sets.LargeObjectTypes = Types({dtLargeObject});
  Sets.LargeObjectSubTypes = TORVTypeCodeSet{LargeObjectSubType};
  return Sets;
}

// Whether Left reads as text (character or CLOB) rather than bytes.
bool IsTextual(int32_t DataType, int32_t SubType) {
  return DataType == dtCharacter || (DataType == dtLargeObject && SubType == stClob);
}

// The right operand sets of an arithmetic operator for a left operand that
// passed the operator's left set. Pairs for which no result type exists
// (two intervals multiplied, divided or taken modulo; a Day interval added
// to a Time) are not admitted.
TRightSets ArithmeticRightSets(TORVTokenOperator Operator, int32_t LeftType, int32_t LeftSubType) {
  const bool Text = IsTextual(LeftType, LeftSubType);
  switch (LeftType) {
    case dtCharacter:
    case dtBytes:
    case dtLargeObject:
      // Only ADD admits these on the left.
      return Text ? StringOrLargeObject(dtCharacter, AllSubTypeSet(), stClob)
                  : StringOrLargeObject(dtBytes, AllSubTypeSet(), stBlob);
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      switch (Operator) {
        case toADD:
        case toMUL:
          return Plain(NumericTypeSet() + IntervalTypeSet(), SingleFieldSubTypeSet());
        case toMOD:
          return Plain(IntegerTypeSet(), AllSubTypeSet());
        default:
          return Plain(NumericTypeSet(), AllSubTypeSet());
      }
    case dtFloat:
    case dtDecimal:
      return Plain(NumericTypeSet(), AllSubTypeSet());
    case dtDate:
      if (Operator == toSUB) return Plain(Types({dtDate}) + IntervalTypeSet(), AllSubTypeSet());
      return Plain(IntervalTypeSet(), AllSubTypeSet());
    case dtTime:
      if (Operator == toSUB) return Plain(Types({dtTime, dtDayTimeInterval}), NoSubTypeSet() + TimeOfDaySubTypeSet());
      return Plain(Types({dtDayTimeInterval}), TimeOfDaySubTypeSet());
    case dtTimeStamp:
      if (Operator == toSUB) return Plain(Types({dtDate, dtTimeStamp}) + IntervalTypeSet(), AllSubTypeSet());
      return Plain(IntervalTypeSet(), AllSubTypeSet());
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      const bool YearMonth = LeftType == dtYearMonthInterval;
      const TORVTypeCodeSet& KindSubTypes = YearMonth ? YearMonthSubTypeSet() : DayTimeSubTypeSet();
      const bool Single = IsSingleFieldInterval(LeftType, LeftSubType);
      switch (Operator) {
        case toADD: {
          TORVTypeCodeSet Others = Single ? IntegerTypeSet() : TORVTypeCodeSet();
          TORVTypeCodeSet DateTimes = DateTimeTypeSet();
          // A Day interval added to a Time has no type.
          if (!YearMonth && !IsTimeOfDayInterval(LeftSubType)) DateTimes.Exclude(dtTime);
          return Plain(Others + DateTimes + Types({LeftType}), NoSubTypeSet() + KindSubTypes);
        }
        case toSUB: {
          TORVTypeCodeSet Others = Single ? IntegerTypeSet() : TORVTypeCodeSet();
          return Plain(Others + Types({LeftType}), NoSubTypeSet() + KindSubTypes);
        }
        default:
          // A single-field interval multiplied, divided or taken modulo by
          // an integer; two intervals have no such result.
          return Plain(IntegerTypeSet(), AllSubTypeSet());
      }
    }
    default:
      return Plain(TORVTypeCodeSet(), TORVTypeCodeSet());
  }
}

// The right operand sets of a comparison.
TRightSets ComparisonRightSets(TORVTokenOperator Operator, int32_t LeftType, int32_t LeftSubType) {
  switch (LeftType) {
    case dtCharacter:
      return StringOrLargeObject(dtCharacter, CharacterSubTypeSet(), stClob);
    case dtBytes:
      return StringOrLargeObject(dtBytes, AllSubTypeSet(), stBlob);
    case dtLargeObject:
      if (LeftSubType == stClob) return StringOrLargeObject(dtCharacter, AllSubTypeSet(), stClob);
      // A BLOB equals bytes or a BLOB, never a CLOB.
      if (Operator == toEQ || Operator == toNE) {
        return Plain(Types({dtBytes, dtLargeObject}), TORVTypeCodeSet{stVarByte, stByte, stGUID});
      }
      return StringOrLargeObject(dtBytes, AllSubTypeSet(), stBlob);
    case dtBoolean:
      return Plain(Types({dtBoolean}) + IntegerTypeSet(), AllSubTypeSet());
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      return Plain(Types({dtBoolean}) + NumericTypeSet() + IntervalTypeSet(), SingleFieldSubTypeSet());
    case dtFloat:
    case dtDecimal:
      return Plain(NumericTypeSet(), AllSubTypeSet());
    case dtDate:
    case dtTimeStamp:
      return Plain(Types({dtDate, dtTimeStamp}), AllSubTypeSet());
    case dtTime:
      return Plain(Types({dtTime}), AllSubTypeSet());
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      TORVTypeCodeSet Others = IsSingleFieldInterval(LeftType, LeftSubType) ? IntegerTypeSet() : TORVTypeCodeSet();
      return Plain(Others + Types({LeftType}), TORVTypeCodeSet{stNone, LeftSubType});
    }
    default:
      return Plain(TORVTypeCodeSet(), TORVTypeCodeSet());
  }
}

}  // namespace

bool TypeSetContains(const TORVTypeCodeSet& Set, int32_t Code) {
  return Code >= 0 && Code <= 255 && Set.Contains(Code);
}

// Type sets.
const TORVTypeCodeSet& AllTypeSet() {  // 1 to 14
  static const TORVTypeCodeSet Set = Range(dtCharacter, dtDayTimeInterval);
  return Set;
}
const TORVTypeCodeSet& IntegerTypeSet() {
  static const TORVTypeCodeSet Set{dtSmallInt, dtInteger, dtBigInt};
  return Set;
}
const TORVTypeCodeSet& NumericTypeSet() {
  static const TORVTypeCodeSet Set = Range(dtSmallInt, dtDecimal);
  return Set;
}
const TORVTypeCodeSet& DateTimeTypeSet() {
  static const TORVTypeCodeSet Set{dtDate, dtTime, dtTimeStamp};
  return Set;
}
const TORVTypeCodeSet& IntervalTypeSet() {
  static const TORVTypeCodeSet Set{dtYearMonthInterval, dtDayTimeInterval};
  return Set;
}

// Subtype sets.
const TORVTypeCodeSet& AllSubTypeSet() {
  static const TORVTypeCodeSet Set = Range(0, 255);
  return Set;
}
const TORVTypeCodeSet& NoSubTypeSet() {
  static const TORVTypeCodeSet Set{stNone};
  return Set;
}
const TORVTypeCodeSet& YearMonthSubTypeSet() {
  static const TORVTypeCodeSet Set{stYear, stYearToMonth, stMonth};
  return Set;
}
const TORVTypeCodeSet& DayTimeSubTypeSet() {
  static const TORVTypeCodeSet Set{stDay,           stDayToHour,       stDayToMinute,  stDayToSecond,
                                   stDayToMSecond,  stHour,            stHourToMinute, stHourToSecond,
                                   stHourToMSecond, stMinute,          stMinuteToSecond, stMinuteToMSecond,
                                   stSecond,        stSecondToMSecond, stMSecond};
  return Set;
}
// Day-time intervals leading with Hour, Minute, Second or MSecond.
const TORVTypeCodeSet& TimeOfDaySubTypeSet() {
  static const TORVTypeCodeSet Set{stHour,   stHourToMinute,   stHourToSecond,    stHourToMSecond, stMinute,
                                   stMinuteToSecond, stMinuteToMSecond, stSecond, stSecondToMSecond, stMSecond};
  return Set;
}
const TORVTypeCodeSet& SingleFieldSubTypeSet() {
  static const TORVTypeCodeSet Set{stNone, stYear, stMonth, stDay, stHour, stMinute, stSecond, stMSecond};
  return Set;
}
const TORVTypeCodeSet& CharacterSubTypeSet() {
  static const TORVTypeCodeSet Set{stVarChar, stChar, stGUID};
  return Set;
}

bool IsSingleFieldInterval(int32_t DataType, int32_t SubType) {
  if (DataType == dtYearMonthInterval) return SubType == stYear || SubType == stMonth;
  if (DataType == dtDayTimeInterval) {
    return SubType == stDay || SubType == stHour || SubType == stMinute || SubType == stSecond ||
           SubType == stMSecond;
  }
  return false;
}

bool IsTimeOfDayInterval(int32_t SubType) { return TypeSetContains(TimeOfDaySubTypeSet(), SubType); }


// ---------------------------------------------------------------------------
// The object and its dispatch tables

TORVExprValidater::TORVExprValidater() {
  BuildFunctionsTable();
  BuildStatementsTable();
  BuildControlsTable();
}

TORVValidateMethod TORVExprValidater::GetFunctionValidator(TORVTokenOperator Operator) const {
  if (Operator < FirstFunctionOperator || Operator > toUPPER) return nullptr;
  return FFunctionsTable[static_cast<size_t>(Operator - FirstFunctionOperator)];
}

TORVValidateMethod TORVExprValidater::GetStatementValidator(TORVTokenOperator Operator) const {
  if (Operator < FirstStatementOperator || Operator > toVERIFYTABLE) return nullptr;
  return FStatementsTable[static_cast<size_t>(Operator - FirstStatementOperator)];
}

TORVValidateMethod TORVExprValidater::GetControlValidator(TORVTokenOperator Operator) const {
  if (Operator < FirstControlOperator || Operator > toWHILE) return nullptr;
  return FControlsTable[static_cast<size_t>(Operator - FirstControlOperator)];
}

TORVCompiledExpr& TORVExprValidater::Expr() const {
  // Every validation runs between Initialize and the end of Validate or
  // Unlock; a call outside that is a broken internal contract.
  if (FExpr == nullptr) throw std::logic_error("the validater has no expression to validate");
  return *FExpr;
}

// ---------------------------------------------------------------------------
// Type literals and error routines

void TORVExprValidater::AddLiteral(TORVString& Builder, const TORVString& Literal) {
  if (!Builder.empty()) Builder += u", ";
  Builder += Literal;
}

TORVString TORVExprValidater::JoinTypeLiterals(const TORVString& Literals, int32_t Count) {
  TORVString Text = Literals;
  const size_t Comma = Text.rfind(u',');
  if (Count > 1 && Comma != TORVString::npos && Comma > 0) {
    // The last literal follows the ", " after the last comma.
    const TORVString Last = Text.substr(Comma + 2);
    Text.resize(Count > 2 ? Comma + 1 : Comma);
    Text += u" or " + Last;
  }
  return Text + u" expression";
}

TORVString TORVExprValidater::GetTypeLiterals(const TORVTypeCodeSet& TypeSet, const TORVTypeCodeSet& SubTypeSet) {
  TORVString Text;
  int32_t Count = 0;
  auto Add = [&](bool Condition, const char16_t* Literal) {
    if (!Condition) return;
    AddLiteral(Text, Literal);
    ++Count;
  };
  auto Sub = [&](int32_t SubType) { return TypeSetContains(SubTypeSet, SubType); };
  auto Type = [&](int32_t DataType) { return TypeSetContains(TypeSet, DataType); };

  Add(Type(dtUnknown), u"NULL");
  if (Type(dtCharacter)) {
    Add(Sub(stChar), u"Char");
    Add(Sub(stGUID), u"GUID");
    Add(Sub(stVarChar), u"VarChar");
  }
  if (Type(dtBytes)) {
    Add(Sub(stByte), u"Byte");
    Add(Sub(stGUID), u"GUID");
    Add(Sub(stVarByte), u"VarByte");
  }
  if (Type(dtLargeObject)) {
    Add(Sub(stClob), u"CLOB");
    Add(Sub(stBlob), u"BLOB");
  }
  static const char16_t* const PlainNames[] = {u"Boolean", u"SmallInt", u"Integer", u"BigInt", u"Float",
                                               u"Decimal", u"Date",     u"Time",    u"Timestamp"};
  for (int32_t DataType = dtBoolean; DataType <= dtTimeStamp; ++DataType) {
    Add(Type(DataType), PlainNames[DataType - dtBoolean]);
  }
  if (Type(dtYearMonthInterval)) {
    Add(Sub(stYear), u"Interval Year");
    Add(Sub(stYearToMonth), u"Interval Year To Month");
    Add(Sub(stMonth), u"Interval Month");
  }
  if (Type(dtDayTimeInterval)) {
    static const struct {
      int32_t SubType;
      const char16_t* Name;
    } DayTimeNames[] = {
        {stDay, u"Interval Day"},
        {stDayToHour, u"Interval Day To Hour"},
        {stDayToMinute, u"Interval Day To Minute"},
        {stDayToSecond, u"Interval Day To Second"},
        {stDayToMSecond, u"Interval Day To MSecond"},
        {stHour, u"Interval Hour"},
        {stHourToMinute, u"Interval Hour To Minute"},
        {stHourToSecond, u"Interval Hour To Second"},
        {stHourToMSecond, u"Interval Hour To MSecond"},
        {stMinute, u"Interval Minute"},
        {stMinuteToSecond, u"Interval Minute To Second"},
        {stMinuteToMSecond, u"Interval Minute To MSecond"},
        {stSecond, u"Interval Second"},
        {stSecondToMSecond, u"Interval Second To MSecond"},
        {stMSecond, u"Interval MSecond"},
    };
    for (const auto& Entry : DayTimeNames) Add(Sub(Entry.SubType), Entry.Name);
  }
  return JoinTypeLiterals(Text, Count);
}

TORVString TORVExprValidater::TokenText(TORVExprToken* Token) { return Expr().Build(Token, false, false, false); }

void TORVExprValidater::RaiseTokenError(TORVExprToken* Token, const TORVString& Message) {
  TORVExprToken* At = GetLeftMostToken(Token);
  if (At == nullptr) At = Token;
  const int32_t Line = At != nullptr ? At->FLine : 0;
  const int32_t Column = At != nullptr ? At->FCol : 0;
  Expr().ExpressionError(Message, Line, Column);
  // An ExpressionError override must raise; one that returns still stops
  // the validation here.
  throw MakeError(ORV_SQL_ERROR, {Expr().GetTypeName(), IntToString(Line), IntToString(Column), Message}, Line,
                  Column);
}

void TORVExprValidater::ExpectedTypes(TORVExprToken* Token, const TORVTypeCodeSet& TypeSet,
                                      const TORVTypeCodeSet& SubTypeSet) {
  RaiseTokenError(Token, FormatString(TORVString(SQL_EXPECTED_FOUND),
                                      {GetTypeLiterals(TypeSet, SubTypeSet), TokenText(Token)}));
}

void TORVExprValidater::ExpectedExpression(TORVExprToken* Token, const TORVString& Expected) {
  RaiseTokenError(Token, FormatString(TORVString(SQL_EXPECTED_FOUND), {Expected, TokenText(Token)}));
}

void TORVExprValidater::ExpectedTokenTypes(TORVExprToken* Token, const std::vector<TORVTokenType>& TokenTypes) {
  RaiseTokenError(Token, FormatString(TORVString(SQL_EXPECTED_FOUND),
                                      {GetTokenTypeLiterals(TokenTypes), TokenText(Token)}));
}

void TORVExprValidater::InvalidToken(TORVExprToken* Token, const TORVString& Reason) {
  RaiseTokenError(Token, FormatString(TORVString(SQL_INVALID_EXPR), {TokenText(Token), Reason}));
}

// ---------------------------------------------------------------------------
// Operand checks

void TORVExprValidater::CheckTypes(TORVExprToken* Token, const TORVTypeCodeSet& TypeSet,
                                   const TORVTypeCodeSet& SubTypeSet) {
  if (TypeSetContains(TypeSet, Token->FDataType) && TypeSetContains(SubTypeSet, Token->FSubType)) return;
  ExpectedTypes(Token, TypeSet, SubTypeSet);
}

void TORVExprValidater::CheckUnaryTypes(TORVTokenOperator Operator, TORVExprToken* Operand) {
  if (Operator == toNEGATE) {
    CheckTypes(Operand, NumericTypeSet() + IntervalTypeSet(), AllSubTypeSet());
  } else if (Operator == toNOT) {
    CheckTypes(Operand, Types({dtBoolean}), AllSubTypeSet());
  }
}

void TORVExprValidater::CheckBinaryTypes(TORVTokenOperator Operator, int32_t IntervalType, int32_t IntervalSubType,
                                         TORVExprToken* Left, TORVExprToken* Right) {
  switch (Operator) {
    case toADD:
    case toSUB:
    case toMUL:
    case toDIV:
    case toAND:
    case toOR:
      CheckNotRowValue(Left);
      CheckNotRowValue(Right);
      CheckBinaryParamTypes(Left, Right);
      break;
    case toMOD:
      // A dynamic parameter stays untyped here and fails the operand sets.
      CheckNotRowValue(Left);
      CheckNotRowValue(Right);
      break;
    case toEQ:
    case toNE:
    case toGE:
    case toGT:
    case toLE:
    case toLT:
      if (CheckBinaryRowValueTypes(Operator, IntervalType, IntervalSubType, Left, Right)) return;
      CheckBinaryParamTypes(Left, Right);
      break;
    case toSUBINTERVAL: {
      // A difference of two datetimes read as an interval: the qualifier
      // says which datetimes may be subtracted.
      const bool DateLed = IntervalType == dtYearMonthInterval || !IsTimeOfDayInterval(IntervalSubType);
      const TORVTypeCodeSet LeftTypes = DateLed ? Types({dtDate, dtTimeStamp}) : DateTimeTypeSet();
      CheckTypes(Left, LeftTypes, AllSubTypeSet());
      TORVTypeCodeSet RightTypes;
      if (Left->FDataType == dtDate) {
        RightTypes = Types({dtDate});
      } else if (Left->FDataType == dtTime) {
        RightTypes = Types({dtTime});
      } else {
        RightTypes = LeftTypes;
      }
      CheckTypes(Right, RightTypes, AllSubTypeSet());
      return;
    }
    default:
      return;
  }

  TORVTypeCodeSet LeftTypes;
  TORVTypeCodeSet LeftSubTypes = AllSubTypeSet();
  switch (Operator) {
    case toADD:
      LeftTypes = AllTypeSet();
      LeftTypes.Exclude(dtBoolean);
      break;
    case toSUB:
      LeftTypes = NumericTypeSet() + DateTimeTypeSet() + IntervalTypeSet();
      break;
    case toMUL:
    case toDIV:
      LeftTypes = NumericTypeSet() + IntervalTypeSet();
      LeftSubTypes = SingleFieldSubTypeSet();
      break;
    case toMOD:
      LeftTypes = IntegerTypeSet() + IntervalTypeSet();
      LeftSubTypes = SingleFieldSubTypeSet();
      break;
    case toAND:
    case toOR:
      LeftTypes = Types({dtBoolean});
      break;
    case toEQ:
    case toNE:
      LeftTypes = AllTypeSet();
      break;
    default:  // GE, GT, LE, LT
      LeftTypes = AllTypeSet();
      LeftTypes.Exclude(dtBoolean);
      break;
  }
  CheckTypes(Left, LeftTypes, LeftSubTypes);

  TRightSets Sets;
  if (Operator == toAND || Operator == toOR) {
    Sets = Plain(Types({dtBoolean}), AllSubTypeSet());
  } else if (IsComparisonOperator(Operator)) {
    Sets = ComparisonRightSets(Operator, Left->FDataType, Left->FSubType);
  } else {
    Sets = ArithmeticRightSets(Operator, Left->FDataType, Left->FSubType);
  }
  if (Sets.HasLargeObjectSets && Right->FDataType == dtLargeObject) {
    CheckTypes(Right, Sets.LargeObjectTypes, Sets.LargeObjectSubTypes);
  } else {
    CheckTypes(Right, Sets.Types, Sets.SubTypes);
  }
}

bool TORVExprValidater::CheckBinaryRowValueTypes(TORVTokenOperator Operator, int32_t IntervalType,
                                                 int32_t IntervalSubType, TORVExprToken* Left,
                                                 TORVExprToken* Right) {
  const bool LeftRow = RowValueTokenType(Left);
  const bool RightRow = RowValueTokenType(Right);
  if (!LeftRow && !RightRow) return false;
  if (!RightRow) ExpectedExpression(Right, u"row value");
  if (!LeftRow) ExpectedExpression(Left, u"row value");
  TORVExprToken* LeftMembers = GetArgumentsToken(Left);
  TORVExprToken* RightMembers = GetArgumentsToken(Right);
  const int32_t Count = GetNumArguments(Left);
  if (Count != GetNumArguments(Right)) InvalidToken(RightMembers, u"invalid number of row value members specified");
  for (int32_t I = 0; I < Count; ++I) {
    CheckBinaryTypes(Operator, IntervalType, IntervalSubType, LeftMembers->GetArgument(I),
                     RightMembers->GetArgument(I));
  }
  return true;
}

void TORVExprValidater::CheckBinaryParamTypes(TORVExprToken* Left, TORVExprToken* Right) {
  // A parameter that has been typed already (by the model of an IN list,
  // say) is an ordinary operand.
  const bool LeftParam = Left->FTokenType == ttDYNPARAMREF && Left->FDataType == dtUnknown;
  const bool RightParam = Right->FTokenType == ttDYNPARAMREF && Right->FDataType == dtUnknown;
  if (LeftParam && RightParam) InvalidToken(Left, u"dynamic parameter type cannot be inferred");
  if (LeftParam) {
    SetDynamicParamTypeFrom(Left, Right);
  } else if (RightParam) {
    SetDynamicParamTypeFrom(Right, Left);
  }
}

void TORVExprValidater::CheckArgumentTypes(TORVExprToken* Value, TORVExprToken* Target) {
  if (CheckArgumentRowValueTypes(Value, Target)) return;
  CheckArgumentParamTypes(Value, Target);
  TORVTypeCodeSet TypeSet;
  TORVTypeCodeSet SubTypeSet;
  GetCompatibleTypeInfo(Value, Target->FDataType, Target->FSubType, TypeSet, SubTypeSet);
  CheckTypes(Value, TypeSet, SubTypeSet);
}

bool TORVExprValidater::CheckArgumentRowValueTypes(TORVExprToken* Value, TORVExprToken* Target) {
  const bool ValueRow = RowValueTokenType(Value);
  const bool TargetRow = RowValueTokenType(Target);
  if (TargetRow && !ValueRow) ExpectedExpression(Value, u"row value");
  if (ValueRow && !TargetRow) ExpectedExpression(Value, u"expression");
  if (!TargetRow) return false;
  TORVExprToken* ValueMembers = GetArgumentsToken(Value);
  TORVExprToken* TargetMembers = GetArgumentsToken(Target);
  const int32_t Count = GetNumArguments(Value);
  if (Count != GetNumArguments(Target)) InvalidToken(ValueMembers, u"invalid number of row value members specified");
  for (int32_t I = 0; I < Count; ++I) CheckArgumentTypes(ValueMembers->GetArgument(I), TargetMembers->GetArgument(I));
  return true;
}

void TORVExprValidater::CheckArgumentParamTypes(TORVExprToken* Value, TORVExprToken* Target) {
  if (Value->FTokenType == ttDYNPARAMREF) SetDynamicParamTypeFrom(Value, Target);
}

void TORVExprValidater::GetCompatibleTypeInfo(const TORVExprToken* Value, int32_t TargetDataType,
                                              int32_t TargetSubType, TORVTypeCodeSet& TypeSet,
                                              TORVTypeCodeSet& SubTypeSet) {
  const bool LargeValue = Value->FDataType == dtLargeObject;
  const TORVTypeCodeSet Null = Types({dtUnknown});
  SubTypeSet = AllSubTypeSet();
  switch (TargetDataType) {
    case dtCharacter:
      if (LargeValue) {
        TypeSet = Null + Types({dtLargeObject});
        SubTypeSet = TORVTypeCodeSet{stClob};
      } else {
        TypeSet = Null + Types({dtCharacter});
      }
      return;
    case dtBytes:
      if (LargeValue) {
        TypeSet = Null + Types({dtLargeObject});
        SubTypeSet = TORVTypeCodeSet{stBlob};
      } else {
        TypeSet = Null + Types({dtBytes});
      }
      return;
    case dtLargeObject: {
      const bool Clob = TargetSubType == stClob;
      if (Value->FDataType == (Clob ? dtCharacter : dtBytes)) {
        TypeSet = Null + Types({Clob ? dtCharacter : dtBytes});
      } else if (LargeValue) {
        TypeSet = Null + Types({dtLargeObject});
        SubTypeSet = TORVTypeCodeSet{Clob ? stClob : stBlob};
      } else {
        TypeSet = Null;
      }
      return;
    }
    case dtBoolean:
      TypeSet = Null + Types({dtBoolean}) + IntegerTypeSet();
      return;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      TypeSet = Null + NumericTypeSet() + IntervalTypeSet();
      SubTypeSet = SingleFieldSubTypeSet();
      return;
    case dtFloat:
    case dtDecimal:
      TypeSet = Null + NumericTypeSet();
      return;
    case dtDate:
      TypeSet = Null + Types({dtDate});
      return;
    case dtTime:
      TypeSet = Null + Types({dtTime});
      return;
    case dtTimeStamp:
      TypeSet = Null + Types({dtDate, dtTimeStamp});
      return;
    case dtYearMonthInterval:
      if (IsSingleFieldInterval(TargetDataType, TargetSubType)) {
        TypeSet = Null + IntegerTypeSet() + Types({dtYearMonthInterval});
        SubTypeSet = TORVTypeCodeSet{stNone, TargetSubType};
      } else if (TargetSubType == stYearToMonth) {
        TypeSet = Null + Types({dtYearMonthInterval});
        SubTypeSet = NoSubTypeSet() + YearMonthSubTypeSet();
      } else {
        TypeSet = TORVTypeCodeSet();
      }
      return;
    case dtDayTimeInterval:
      TypeSet = Null + Types({dtDayTimeInterval});
      switch (TargetSubType) {
        case stDay:
        case stHour:
        case stMinute:
        case stSecond:
        case stMSecond:
          TypeSet += IntegerTypeSet();
          SubTypeSet = TORVTypeCodeSet{stNone, TargetSubType};
          return;
        case stSecondToMSecond:
          SubTypeSet = TORVTypeCodeSet{stNone, stSecond, stSecondToMSecond};
          return;
        case stMinuteToSecond:
        case stMinuteToMSecond:
          SubTypeSet = TORVTypeCodeSet{stNone, stMinute, stMinuteToSecond, stMinuteToMSecond};
          return;
        case stHourToMinute:
        case stHourToSecond:
        case stHourToMSecond:
          SubTypeSet = TORVTypeCodeSet{stNone, stHour, stHourToMinute, stHourToSecond, stHourToMSecond};
          return;
        case stDayToHour:
        case stDayToMinute:
        case stDayToSecond:
        case stDayToMSecond:
          SubTypeSet = TORVTypeCodeSet{stNone, stDay, stDayToHour, stDayToMinute, stDayToSecond, stDayToMSecond};
          return;
        default:
          TypeSet = TORVTypeCodeSet();
          return;
      }
    default:
      TypeSet = TORVTypeCodeSet();
      return;
  }
}

// ---------------------------------------------------------------------------
// Row values and categories

void TORVExprValidater::CheckNotRowValue(TORVExprToken* Token) {
  if (Token->FTokenType == ttROWVALUE) InvalidToken(Token, u"row values not allowed");
}

TORVExprToken* TORVExprValidater::GetArgumentsToken(TORVExprToken* Token) {
  if (Token->FTokenType == ttROWVALUE) return Token;
  if (Token->FTokenType == ttQUERY && Token->GetNumArguments() > QuerySelectSlot) {
    return Token->GetArgument(QuerySelectSlot);
  }
  return nullptr;
}

int32_t TORVExprValidater::GetNumArguments(const TORVExprToken* Token) {
  if (Token->FTokenType == ttQUERY) {
    return Token->GetNumArguments() > QuerySelectSlot ? GetSelectColumnCount(Token->GetArgument(QuerySelectSlot))
                                                      : 0;
  }
  return Token->GetNumArguments();
}

int32_t TORVExprValidater::GetSelectColumnCount(const TORVExprToken* SelectClause) {
  if (SelectClause == nullptr) return 0;
  int32_t Count = 0;
  for (int32_t I = 0; I < SelectClause->GetNumArguments(); ++I) {
    const TORVExprToken* Column = SelectClause->GetArgument(I);
    if (Column != nullptr && !Column->FHidden) ++Count;
  }
  return Count;
}

bool TORVExprValidater::RowValueTokenType(const TORVExprToken* Token) {
  if (Token->FTokenType == ttROWVALUE) return true;
  return Token->FTokenType == ttQUERY && GetNumArguments(Token) > 1;
}

void TORVExprValidater::CheckStringTypes(TORVExprToken* Token) {
  if (Token->FDataType == dtLargeObject) {
    CheckTypes(Token, Types({dtLargeObject}), TORVTypeCodeSet{stClob});
  } else {
    CheckTypes(Token, Types({dtCharacter}), AllSubTypeSet());
  }
}

void TORVExprValidater::CheckStringBlobTypes(TORVExprToken* Token) {
  // One pair of sets cannot hold character of any subtype and CLOB without
  // BLOB (subtype 0 of the large objects), so the test is spelled out.
  if (Token->FDataType == dtCharacter || (Token->FDataType == dtLargeObject && Token->FSubType == stClob)) return;
  ExpectedExpression(Token, u"Char, GUID, VarChar, or CLOB expression");
}

void TORVExprValidater::CheckNonBlobTypes(TORVExprToken* Token) {
  if (Token->FDataType == dtLargeObject) InvalidToken(Token, u"BLOB expressions not allowed");
}

void TORVExprValidater::CheckBooleanTypes(TORVExprToken* Token) {
  CheckTypes(Token, Types({dtBoolean}) + IntegerTypeSet(), AllSubTypeSet());
}

void TORVExprValidater::CheckNumericTypes(TORVExprToken* Token) {
  CheckTypes(Token, NumericTypeSet(), AllSubTypeSet());
}

void TORVExprValidater::CheckNumericIntervalTypes(TORVExprToken* Token) {
  CheckTypes(Token, NumericTypeSet() + IntervalTypeSet(), AllSubTypeSet());
}

void TORVExprValidater::CheckNumericDateTimeIntervalTypes(TORVExprToken* Token) {
  CheckTypes(Token, NumericTypeSet() + DateTimeTypeSet() + IntervalTypeSet(), AllSubTypeSet());
}

void TORVExprValidater::CheckIntegerTypes(TORVExprToken* Token) {
  CheckTypes(Token, IntegerTypeSet(), AllSubTypeSet());
}

void TORVExprValidater::CheckDateTypes(TORVExprToken* Token) { CheckTypes(Token, Types({dtDate}), AllSubTypeSet()); }

void TORVExprValidater::CheckTimeTypes(TORVExprToken* Token) { CheckTypes(Token, Types({dtTime}), AllSubTypeSet()); }

void TORVExprValidater::CheckCastTypes(TORVExprToken* Value, TORVExprToken* TargetType) {
  CheckTypes(Value, AllTypeSet(), AllSubTypeSet());
  const TORVTypeCodeSet Strings = Types({dtCharacter, dtBytes});
  const TORVTypeCodeSet FixedOrVarying{stNone, stChar};
  switch (TargetType->FDataType) {
    case dtBoolean:
    case dtFloat:
    case dtDecimal:
      CheckTypes(Value, Strings + Types({dtBoolean}) + NumericTypeSet(), FixedOrVarying);
      return;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      CheckTypes(Value, Strings + Types({dtBoolean}) + NumericTypeSet() + IntervalTypeSet(),
                 FixedOrVarying + SingleFieldSubTypeSet());
      return;
    case dtDate:
      CheckTypes(Value, Strings + Types({dtDate, dtTimeStamp}), FixedOrVarying);
      return;
    case dtTime:
      CheckTypes(Value, Strings + Types({dtTime, dtTimeStamp}), FixedOrVarying);
      return;
    case dtTimeStamp:
      CheckTypes(Value, Strings + DateTimeTypeSet(), FixedOrVarying);
      return;
    case dtYearMonthInterval:
    case dtDayTimeInterval: {
      // An interval of one field converts from an integer too.
      TORVTypeCodeSet Accepted = Strings + Types({TargetType->FDataType});
      if (IsSingleFieldInterval(TargetType->FDataType, TargetType->FSubType)) Accepted += IntegerTypeSet();
      CheckTypes(Value, Accepted,
                 FixedOrVarying +
                     (TargetType->FDataType == dtYearMonthInterval ? YearMonthSubTypeSet() : DayTimeSubTypeSet()));
      return;
    }
    default:
      // Character, bytes and large objects take any typed value.
      return;
  }
}

}  // namespace orv
