// The validators of function calls: each built-in function checks its
// arguments by the typing rules and gives the call its result type; a call
// of a user-defined function is bound to the function and its arguments
// checked against the function's parameters. Calls with several candidate
// results (CASE, COALESCE, IFNULL, IIF, NULLIF) take the type of their first
// typed candidate, widened over the others.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>

#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvparser.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

bool IsDynamicParam(const TORVExprToken* Token) { return Token != nullptr && Token->FTokenType == ttDYNPARAMREF; }

// Argument Index of a call, which the parser always supplies.
TORVExprToken* Required(const TORVExprToken* Token, int32_t Index) {
  TORVExprToken* Argument = SlotOf(Token, Index);
  if (Argument == nullptr) throw std::logic_error("a function call without one of its arguments");
  return Argument;
}

// Validates every argument present, refusing row values and array
// references among them.
void ValidateArguments(TORVExprValidater& Validater, TORVExprToken* Token) {
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    if (Argument == nullptr) continue;
    Validater.ValidateNextToken(Argument);
    Validater.CheckNotRowValue(Argument);
    Validater.CheckNotArrayReference(Argument);
  }
}

// A dynamic-parameter argument takes the type the function expects there
// (a character parameter has no length of its own); other arguments are
// left alone.
void TypeParam(TORVExprValidater& Validater, TORVExprToken* Argument, int32_t DataType) {
  if (IsDynamicParam(Argument)) Validater.SetDynamicParamType(Argument, DataType, stNone);
}

// What a function asks of one argument: the type a dynamic parameter
// there takes (0 for none) and the check the argument must pass. An
// optional argument may be left out.
struct TArgumentRule {
  int32_t ParamType;
  TORVValidateMethod Check;
  bool Optional = false;
};

// Validates every argument, then types and checks each by its rule, in
// order.
void CheckArguments(TORVExprValidater& Validater, TORVExprToken* Token, std::initializer_list<TArgumentRule> Rules) {
  ValidateArguments(Validater, Token);
  int32_t Index = 0;
  for (const TArgumentRule& Rule : Rules) {
    TORVExprToken* Argument = Rule.Optional ? SlotOf(Token, Index) : Required(Token, Index);
    ++Index;
    if (Argument == nullptr) continue;
    if (Rule.ParamType != dtUnknown) TypeParam(Validater, Argument, Rule.ParamType);
    (Validater.*Rule.Check)(Argument);
  }
}

// The call gets a type of its own, without length, scale or collation.
void SetResultType(TORVExprToken* Token, int32_t DataType, int32_t SubType = stNone) {
  TORVExprToken Model;
  Model.SetDataType(DataType);
  Model.SetSubType(SubType);
  Token->AssignType(&Model);
}

// The call returns text of the argument's type, of varying length.
void SetVaryingResultType(TORVExprToken* Token, const TORVExprToken* Argument) {
  Token->AssignType(Argument);
  Token->AdjustCharType();
}

// A length given by a constant count: a negative count gives nothing, and
// no text is longer than the largest length.
void SetCountedLength(TORVExprToken* Token, const TORVExprToken* Count) {
  int64_t Value = 0;
  if (!TORVExprValidater::ConstantInteger(Count, Value)) return;
  Token->SetLength(static_cast<int32_t>(std::clamp<int64_t>(Value, 0, TORVExprValidater::MaxLength)));
}

// The subtypes of an interval kind that hold a field (its bit).
TORVTypeCodeSet SubTypesHolding(const TORVTypeCodeSet& KindSubTypes, int32_t FieldBit) {
  TORVTypeCodeSet Set{stNone};
  for (int32_t SubType = 1; SubType <= 255; ++SubType) {
    if ((SubType & FieldBit) != 0 && TypeSetContains(KindSubTypes, SubType)) Set.Include(SubType);
  }
  return Set;
}

// The values an EXTRACT of the field reads from.
void ExtractSets(TORVTokenOperator Operator, TORVTypeCodeSet& TypeSet, TORVTypeCodeSet& SubTypeSet) {
  int32_t FieldBit = 0;
  switch (Operator) {
    case toEXTRACTYEAR:
    case toEXTRACTMONTH:
      TypeSet = TORVTypeCodeSet{dtDate, dtTimeStamp, dtYearMonthInterval};
      SubTypeSet = SubTypesHolding(YearMonthSubTypeSet(), Operator == toEXTRACTYEAR ? stYear : stMonth);
      return;
    case toEXTRACTDAY:
      TypeSet = TORVTypeCodeSet{dtDate, dtTimeStamp, dtDayTimeInterval};
      SubTypeSet = SubTypesHolding(DayTimeSubTypeSet(), stDay);
      return;
    case toEXTRACTHOUR:
      FieldBit = stHour;
      break;
    case toEXTRACTMINUTE:
      FieldBit = stMinute;
      break;
    case toEXTRACTSECOND:
      FieldBit = stSecond;
      break;
    case toEXTRACTMSECOND:
      FieldBit = stMSecond;
      break;
    default:  // WEEK, DAYOFWEEK, DAYOFYEAR
      TypeSet = TORVTypeCodeSet{dtDate, dtTimeStamp};
      SubTypeSet = AllSubTypeSet();
      return;
  }
  TypeSet = TORVTypeCodeSet{dtTime, dtTimeStamp, dtDayTimeInterval};
  SubTypeSet = SubTypesHolding(DayTimeSubTypeSet(), FieldBit);
}

using V = TORVExprValidater;

}  // namespace

// ---------------------------------------------------------------------------
// The functions table

void TORVExprValidater::BuildFunctionsTable() {
  FFunctionsTable.fill(nullptr);
  auto Register = [this](TORVTokenOperator Operator, TORVValidateMethod Method) {
    FFunctionsTable[static_cast<size_t>(Operator - FirstFunctionOperator)] = Method;
  };
  Register(toSUM, &V::ValidateSUM);
  Register(toRUNSUM, &V::ValidateSUM);
  Register(toSUMSQUARE, &V::ValidateSUMSQUARE);
  Register(toAVG, &V::ValidateAVG);
  Register(toSTDDEV, &V::ValidateSTDDEV);
  Register(toMIN, &V::ValidateMIN);
  Register(toMAX, &V::ValidateMIN);
  Register(toCOUNT, &V::ValidateCOUNT);
  Register(toLIST, &V::ValidateLIST);
  Register(toUPPER, &V::ValidateUPPER);
  Register(toLOWER, &V::ValidateUPPER);
  Register(toLEFT, &V::ValidateLEFT);
  Register(toRIGHT, &V::ValidateLEFT);
  Register(toREPEATSTR, &V::ValidateREPEATSTR);
  Register(toCONCAT, &V::ValidateCONCAT);
  Register(toLASTIDENTITY, &V::ValidateLASTIDENTITY);
  Register(toLENGTH, &V::ValidateLENGTH);
  Register(toSUBSTRING, &V::ValidateSUBSTRING);
  Register(toTRIMBOTH, &V::ValidateTRIM);
  Register(toTRIMLEADING, &V::ValidateTRIM);
  Register(toTRIMTRAILING, &V::ValidateTRIM);
  for (TORVTokenOperator Field : {toEXTRACTYEAR, toEXTRACTMONTH, toEXTRACTWEEK, toEXTRACTDAYOFWEEK,
                                  toEXTRACTDAYOFYEAR, toEXTRACTDAY, toEXTRACTHOUR, toEXTRACTMINUTE,
                                  toEXTRACTSECOND, toEXTRACTMSECOND}) {
    Register(Field, &V::ValidateExtractField);
  }
  Register(toPOS, &V::ValidatePOS);
  Register(toOCCURS, &V::ValidatePOS);
  Register(toREPLACE, &V::ValidateREPLACE);
  Register(toCARDINALITY, &V::ValidateCARDINALITY);
  Register(toCAST, &V::ValidateCAST);
  Register(toABS, &V::ValidateABS);
  Register(toROUND, &V::ValidateROUND);
  Register(toTRUNCATE, &V::ValidateROUND);
  for (TORVTokenOperator Function : {toACOS, toASIN, toATAN, toCOS, toCOT, toDEGREES, toEXP, toLOG, toLOG10,
                                     toRADIANS, toSIN, toSQRT, toTAN, toATAN2, toPOWER}) {
    Register(Function, &V::ValidateFloatFunction);
  }
  Register(toCEILING, &V::ValidateCEILING);
  Register(toFLOOR, &V::ValidateCEILING);
  Register(toSIGN, &V::ValidateCEILING);
  Register(toPI, &V::ValidatePI);
  Register(toRAND, &V::ValidateRAND);
  Register(toQUOTEDSTR, &V::ValidateQUOTEDSTR);
  Register(toIFNULL, &V::ValidateIFNULL);
  Register(toIIF, &V::ValidateIIF);
  Register(toNULLIF, &V::ValidateNULLIF);
  Register(toCOALESCE, &V::ValidateCOALESCE);
  Register(toICASE, &V::ValidateICASE);
  Register(toCASEOPTION, &V::ValidateCASEOPTION);
  Register(toCASERESULT, &V::ValidateCASERESULT);
  Register(toEXISTS, &V::ValidateEXISTS);
  Register(toINTRANS, &V::ValidateINTRANS);
  for (TORVTokenOperator Function : {toCOLCOUNT, toBOF, toEOF, toROWCOUNT, toSENSITIVE}) {
    Register(Function, &V::ValidateCursorFunction);
  }
  Register(toCOLNAME, &V::ValidateCOLNAME);
  Register(toROWSAFFECTED, &V::ValidateStatementFunction);
  Register(toSTMTRESULT, &V::ValidateStatementFunction);
  Register(toABORTED, &V::ValidateABORTED);
  Register(toLOADINGUPDATES, &V::ValidateABORTED);
  Register(toUDF, &V::ValidateUDF);
}

bool TORVExprValidater::ConstantInteger(const TORVExprToken* Token, int64_t& Value) {
  Value = 0;
  if (Token == nullptr || Token->FTokenType != ttCONST || !IsALargeInt(Token->FTokenConstant)) return false;
  return SQLStrToLargeInt(Token->FTokenConstant, Value);
}

void TORVExprValidater::SetConcatenatedLength(TORVExprToken* Token, const TORVExprToken* Left,
                                              const TORVExprToken* Right) {
  // Added in 64 bits: two lengths below the largest may sum past it.
  const int64_t Length = int64_t{Left->FLength} + Right->FLength;
  if (Length > MaxLength) InvalidToken(Token, u"an invalid length was specified");
  Token->SetLength(static_cast<int32_t>(Length));
}

TORVExprToken* TORVExprValidater::GetRoutineParamToken(const TORVExprToken* Routine, int32_t Index) {
  return SlotOf(SlotOf(Routine, RoutineParamsSlot), Index);
}

// ---------------------------------------------------------------------------
// Aggregates

void TORVExprValidater::ValidateSUM(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtUnknown, &V::CheckNumericIntervalTypes}});
  // A sum outgrows the type of what it adds up.
  const TORVExprToken* Value = Token->GetArgument(0);
  Token->AssignType(Value);
  if (Value->FDataType == dtSmallInt) {
    Token->SetDataType(dtInteger);
  } else if (Value->FDataType == dtInteger) {
    Token->SetDataType(dtBigInt);
  }
}

void TORVExprValidater::ValidateSUMSQUARE(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  SetResultType(Token, dtFloat);
}

void TORVExprValidater::ValidateAVG(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtUnknown, &V::CheckNumericDateTimeIntervalTypes}});
  Token->AssignType(Token->GetArgument(0));
}

void TORVExprValidater::ValidateSTDDEV(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtUnknown, &V::CheckNumericIntervalTypes}});
  SetResultType(Token, dtFloat);
}

void TORVExprValidater::ValidateMIN(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtUnknown, &V::CheckNonBlobTypes}});
  Token->AssignType(Token->GetArgument(0));
}

void TORVExprValidater::ValidateCOUNT(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidateLIST(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtUnknown, &V::CheckStringTypes}, {dtUnknown, &V::CheckStringTypes, true}});
  SetResultType(Token, dtLargeObject, stClob);
  Token->FCollation = Token->GetArgument(0)->FCollation;
}

// ---------------------------------------------------------------------------
// Strings

void TORVExprValidater::ValidateUPPER(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}});
  Token->AssignType(Token->GetArgument(0));
}

void TORVExprValidater::ValidateLEFT(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}, {dtInteger, &V::CheckIntegerTypes}});
  SetVaryingResultType(Token, Token->GetArgument(0));
  SetCountedLength(Token, Token->GetArgument(1));
}

void TORVExprValidater::ValidateREPEATSTR(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}, {dtInteger, &V::CheckIntegerTypes}});
  const TORVExprToken* Value = Token->GetArgument(0);
  TORVExprToken* Count = Token->GetArgument(1);
  SetVaryingResultType(Token, Value);
  int64_t Times = 0;
  if (!ConstantInteger(Count, Times)) return;
  // The length is computed in 64 bits: the test below holds off a product
  // past the largest length before it is made.
  Times = std::max<int64_t>(Times, 0);
  const int64_t Each = std::max<int64_t>(Value->FLength, 0);
  if (Each > 0 && Times > MaxLength / Each) InvalidToken(Count, u"an invalid length was specified");
  Token->SetLength(static_cast<int32_t>(Times * Each));
}

void TORVExprValidater::ValidateCONCAT(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}, {dtCharacter, &V::CheckStringTypes}});
  const TORVExprToken* Left = Token->GetArgument(0);
  const TORVExprToken* Right = Token->GetArgument(1);
  // As the concatenation operator.
  Token->SetDataType(
      GetBinaryResultDataType(toADD, Left->FDataType, Left->FSubType, Right->FDataType, Right->FSubType));
  Token->SetSubType(GetBinaryResultSubType(toADD, Left->FDataType, Left->FSubType, Right->FDataType, Right->FSubType));
  Token->FCollation = GetBinaryResultCollation(toADD, Left->FDataType, Left->FSubType, Left->FCollation,
                                               Right->FDataType, Right->FSubType, Right->FCollation);
  SetConcatenatedLength(Token, Left, Right);
}

void TORVExprValidater::ValidateLASTIDENTITY(TORVExprToken* Token) {
  // The names of a table and of its identity column.
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}, {dtCharacter, &V::CheckStringTypes}});
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidateLENGTH(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringBlobTypes}});
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidateSUBSTRING(TORVExprToken* Token) {
  CheckArguments(*this, Token,
                 {{dtCharacter, &V::CheckStringTypes},
                  {dtInteger, &V::CheckIntegerTypes},
                  {dtInteger, &V::CheckIntegerTypes, true}});
  SetVaryingResultType(Token, Token->GetArgument(0));
  SetCountedLength(Token, SlotOf(Token, SubstringLengthSlot));
}

void TORVExprValidater::ValidateTRIM(TORVExprToken* Token) {
  // The characters to trim, then the text.
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}, {dtCharacter, &V::CheckStringTypes}});
  SetVaryingResultType(Token, Token->GetArgument(1));
}

void TORVExprValidater::ValidatePOS(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}, {dtCharacter, &V::CheckStringTypes}});
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidateREPLACE(TORVExprToken* Token) {
  CheckArguments(*this, Token,
                 {{dtCharacter, &V::CheckStringTypes},
                  {dtCharacter, &V::CheckStringTypes},
                  {dtCharacter, &V::CheckStringTypes}});
  // The text searched is the third argument: REPLACE(x WITH y IN z).
  SetVaryingResultType(Token, Token->GetArgument(2));
}

void TORVExprValidater::ValidateQUOTEDSTR(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtCharacter, &V::CheckStringTypes}});
  if (TORVExprToken* Quote = SlotOf(Token, QuotedStrQuoteSlot)) {
    // A parameter is checked when its value is known.
    if (IsDynamicParam(Quote)) {
      TypeParam(*this, Quote, dtCharacter);
    } else {
      CheckTokenType(Quote, {ttCONST});
      CheckStringTypes(Quote);
      if (Quote->FTokenConstant.size() != 1) InvalidToken(Quote, u"only a single character allowed");
    }
  }
  SetVaryingResultType(Token, Token->GetArgument(0));
}

// ---------------------------------------------------------------------------
// Dates, conversions and numbers

void TORVExprValidater::ValidateExtractField(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  TORVExprToken* Value = Required(Token, 0);
  TypeParam(*this, Value, dtTimeStamp);
  TORVTypeCodeSet TypeSet;
  TORVTypeCodeSet SubTypeSet;
  ExtractSets(Token->FTokenOperator, TypeSet, SubTypeSet);
  CheckTypes(Value, TypeSet, SubTypeSet);
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidateCARDINALITY(TORVExprToken* Token) {
  // The one function that takes a whole array.
  TORVExprToken* Array = Required(Token, 0);
  ValidateNextToken(Array);
  CheckTokenType(Array, {ttARRAYREF});
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidateCAST(TORVExprToken* Token) {
  TORVExprToken* Value = Required(Token, CastValueSlot);
  TORVExprToken* DataType = Required(Token, CastDataTypeSlot);
  ValidateNextToken(Value);
  CheckNotRowValue(Value);
  CheckNotArrayReference(Value);
  ValidateDataType(DataType);
  Token->AssignType(DataType);
  // NULL casts to anything; a dynamic parameter stays untyped.
  if (!Value->GetNullConstant() && !IsDynamicParam(Value)) CheckCastTypes(Value, DataType);

  auto CheckFormat = [this](TORVExprToken* Format) {
    if (Format == nullptr) return;
    CheckTokenType(Format, {ttCONST});
    CheckStringTypes(Format);
  };
  CheckFormat(SlotOf(Token, CastDateFormatSlot));
  if (TORVExprToken* TimeFormat = SlotOf(Token, CastTimeFormatSlot)) {
    CheckFormat(TimeFormat);
    CheckFormat(SlotOf(TimeFormat, TimeFormatAmSlot));
    CheckFormat(SlotOf(TimeFormat, TimeFormatPmSlot));
  }
  if (TORVExprToken* DecimalChar = SlotOf(Token, CastDecimalCharSlot)) {
    CheckFormat(DecimalChar);
    if (DecimalChar->FTokenConstant.empty()) InvalidToken(DecimalChar, u"the decimal character cannot be empty");
  }
  if (TORVExprToken* Literals = SlotOf(Token, CastBooleanSlot)) {
    CheckFormat(SlotOf(Literals, BooleanTrueSlot));
    CheckFormat(SlotOf(Literals, BooleanFalseSlot));
  }
}

void TORVExprValidater::ValidateABS(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtFloat, &V::CheckNumericIntervalTypes}});
  Token->AssignType(Token->GetArgument(0));
}

void TORVExprValidater::ValidateROUND(TORVExprToken* Token) {
  // The value, then the decimal places.
  CheckArguments(*this, Token, {{dtFloat, &V::CheckNumericTypes}, {dtInteger, &V::CheckIntegerTypes, true}});
  Token->AssignType(Token->GetArgument(0));
}

void TORVExprValidater::ValidateFloatFunction(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtFloat, &V::CheckNumericTypes}, {dtFloat, &V::CheckNumericTypes, true}});
  SetResultType(Token, dtFloat);
}

void TORVExprValidater::ValidateCEILING(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtFloat, &V::CheckNumericTypes}});
  SetResultType(Token, dtInteger);
}

void TORVExprValidater::ValidatePI(TORVExprToken* Token) { SetResultType(Token, dtFloat); }

void TORVExprValidater::ValidateRAND(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtInteger, &V::CheckIntegerTypes, true}});
  if (const TORVExprToken* Range = SlotOf(Token, RandRangeSlot)) {
    Token->AssignType(Range);
  } else {
    SetResultType(Token, dtFloat);
  }
}

// ---------------------------------------------------------------------------
// Conditions and candidate results

void TORVExprValidater::ValidateIFNULL(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  ValidateMultipleExpressions(1, Token);
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

void TORVExprValidater::ValidateIIF(TORVExprToken* Token) {
  CheckArguments(*this, Token, {{dtBoolean, &V::CheckBooleanTypes}});
  ValidateMultipleExpressions(1, Token);
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

void TORVExprValidater::ValidateNULLIF(TORVExprToken* Token) {
  // Only the value tested may not be a row value; the other is refused by
  // the comparison with it.
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Argument = Required(Token, I);
    ValidateNextToken(Argument);
    if (I == 0) CheckNotRowValue(Argument);
    CheckNotArrayReference(Argument);
  }
  ValidateMultipleExpressions(0, Token);
}

void TORVExprValidater::ValidateCOALESCE(TORVExprToken* Token) {
  if (Token->GetNumArguments() == 1) InvalidToken(Token, u"the COALESCE function must contain more than one argument");
  ValidateArguments(*this, Token);
  ValidateMultipleExpressions(0, Token);
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

void TORVExprValidater::ValidateICASE(TORVExprToken* Token) {
  // The conditions and the results are function nodes of their own.
  ValidateArguments(*this, Token);
  Token->AssignType(Required(Token, 1));
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

void TORVExprValidater::ValidateCASEOPTION(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Condition = Required(Token, I);
    TypeParam(*this, Condition, dtBoolean);
    CheckBooleanTypes(Condition);
  }
}

void TORVExprValidater::ValidateCASERESULT(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  ValidateMultipleExpressions(0, Token);
}

void TORVExprValidater::ValidateEXISTS(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  CheckTokenType(Required(Token, 0), {ttQUERY});
  SetResultType(Token, dtBoolean);
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

void TORVExprValidater::ValidateINTRANS(TORVExprToken* Token) {
  ValidateArguments(*this, Token);
  if (TORVExprToken* Database = SlotOf(Token, InTransDatabaseSlot)) CheckStringTypes(Database);
}

// ---------------------------------------------------------------------------
// Cursors, statements and sessions: their types come from the parser.

void TORVExprValidater::ValidateCursorFunction(TORVExprToken* Token) {
  TORVExprToken* Cursor = Required(Token, 0);
  ValidateNextToken(Cursor);
  CheckTokenType(Cursor, {ttCURSORREF});
}

void TORVExprValidater::ValidateCOLNAME(TORVExprToken* Token) {
  TORVExprToken* Cursor = Required(Token, 0);
  TORVExprToken* Column = Required(Token, 1);
  ValidateNextToken(Cursor);
  CheckTokenType(Cursor, {ttCURSORREF});
  ValidateNextToken(Column);
  CheckNotRowValue(Column);
  CheckNotArrayReference(Column);
  CheckIntegerTypes(Column);
}

void TORVExprValidater::ValidateStatementFunction(TORVExprToken* Token) {
  TORVExprToken* Statement = Required(Token, 0);
  ValidateNextToken(Statement);
  CheckTokenType(Statement, {ttSTATEMENTREF});
}

void TORVExprValidater::ValidateABORTED(TORVExprToken* Token) {
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

// ---------------------------------------------------------------------------
// User-defined functions

void TORVExprValidater::ValidateUDF(TORVExprToken* Token) {
  // A function that calls itself is not in the catalog yet: the routine
  // being defined gives its type and parameters.
  TORVExprToken* Routine = GetParentRoutineToken(Token);
  const bool Recursive = Routine != nullptr && SameString(Routine->FName, Token->FName);
  if (Recursive) {
    if (const TORVExprToken* Result = SlotOf(SlotOf(Routine, RoutineReturnsSlot), ClauseValueSlot))
      Token->AssignType(Result);
    Token->FPosition = 0;
  } else {
    BeginReadTokenCatalog(Token);
    BindReference(Token, ttFUNCREF, true);
  }
  // The catalog's parameters are copies that the call frees.
  TORVPartialTree Copy;
  auto Param = [&](int32_t Index) -> TORVExprToken* {
    if (Recursive) return GetRoutineParamToken(Routine, Index);
    Copy.Reset(GetFunctionParamToken(Token->FName, Index));
    return Copy.Get();
  };
  const int32_t Count = Token->GetNumArguments();
  for (int32_t I = 0; I < Count; ++I) {
    TORVExprToken* Argument = Required(Token, I);
    ValidateNextToken(Argument);
    CheckNotRowValue(Argument);
    CheckNotArrayReference(Argument);
    TORVExprToken* Target = Param(I);
    if (Target == nullptr) InvalidToken(Argument, u"invalid number of parameters specified");
    if (IsDynamicParam(Argument)) SetDynamicParamTypeFrom(Argument, Target);
    CheckArgumentTypes(Argument, Target);
  }
  // Parameters have no defaults: a call supplies every one of them.
  if (Param(Count) != nullptr) InvalidToken(Token, u"invalid number of parameters specified");
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

}  // namespace orv
