// The validater's entry points and its walk over expressions: every node is
// validated after its operands, checked by the typing rules and given the
// result type of its operator.
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

// Puts the outer expression back when a validation or unlock ends, however
// it ends.
class TRestoreExpr {
 public:
  TRestoreExpr(TORVCompiledExpr*& Expr, TORVCompiledExpr* Outer) : FExpr(Expr), FOuter(Outer) {}
  ~TRestoreExpr() { FExpr = FOuter; }
  TRestoreExpr(const TRestoreExpr&) = delete;
  TRestoreExpr& operator=(const TRestoreExpr&) = delete;

 private:
  TORVCompiledExpr*& FExpr;
  TORVCompiledExpr* FOuter;
};

// Statements and routines have entry points of their own; anything else
// is an expression.
enum TRootKind { rkStatement, rkRoutine, rkExpression };

TRootKind RootKind(const TORVExprToken* Root) {
  switch (Root->FTokenType) {
    case ttDYNSTATEMENT:
      return rkStatement;
    case ttFUNCTION:
    case ttJOB:
    case ttPROCEDURE:
    case ttSCRIPT:
    case ttTRIGGER:
      return rkRoutine;
    default:
      return rkExpression;
  }
}

bool IsDynamicParam(const TORVExprToken* Token) { return Token != nullptr && Token->FTokenType == ttDYNPARAMREF; }

bool IsIntegerType(int32_t DataType) {
  return DataType == dtSmallInt || DataType == dtInteger || DataType == dtBigInt;
}

bool IsNumericType(int32_t DataType) { return DataType >= dtSmallInt && DataType <= dtDecimal; }

bool IsIntervalType(int32_t DataType) {
  return DataType == dtYearMonthInterval || DataType == dtDayTimeInterval;
}

bool IsStringType(int32_t DataType) {
  return DataType == dtCharacter || DataType == dtBytes || DataType == dtLargeObject;
}

// The result of an arithmetic operator over two numbers.
int32_t NumericResultType(TORVTokenOperator Operator, int32_t Left, int32_t Right) {
  const bool Integers = IsIntegerType(Left) && IsIntegerType(Right);
  if (Operator == toDIV) {
    if (Integers || Left == dtFloat || Right == dtFloat) return dtFloat;
    return dtDecimal;
  }
  if (Integers) return Left == dtBigInt || Right == dtBigInt ? dtBigInt : dtInteger;
  if (Operator == toMOD) return dtUnknown;
  if (Left == dtFloat || Right == dtFloat) return dtFloat;
  return dtDecimal;
}

// The result of adding (or, with the datetime on the left, subtracting) an
// interval to a datetime.
int32_t DateTimeIntervalResultType(int32_t DateTimeType, int32_t IntervalType, int32_t IntervalSubType) {
  switch (DateTimeType) {
    case dtDate:
      return IntervalType == dtYearMonthInterval || IntervalSubType == stDay ? dtDate : dtTimeStamp;
    case dtTime:
      if (IntervalType == dtDayTimeInterval) return IsTimeOfDayInterval(IntervalSubType) ? dtTime : dtUnknown;
      return dtTimeStamp;
    case dtTimeStamp:
      return dtTimeStamp;
    default:
      return dtUnknown;
  }
}

bool IsDateTimeType(int32_t DataType) { return DataType >= dtDate && DataType <= dtTimeStamp; }

// The interval that runs from the more significant of the two leading
// fields to the less significant of the two trailing fields. Interval
// subtypes are runs of field bits, the leading field the highest.
int32_t SpanningIntervalSubType(int32_t Left, int32_t Right) {
  const uint32_t Bits = static_cast<uint32_t>(Left | Right) & 0xFFu;
  if (Bits == 0) return 0;
  uint32_t High = 0x80u;
  while ((Bits & High) == 0) High >>= 1;
  const uint32_t Low = Bits & (~Bits + 1u);
  return static_cast<int32_t>((High << 1) - Low);
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry points

void TORVExprValidater::Initialize(TORVCompiledExpr* ExprToValidate) {
  FLastExpr = FExpr;
  FExpr = ExprToValidate;
  FParamOperator = toINPUT;
  FParamNum = 1;
  FTransformBooleans = false;
}

void TORVExprValidater::Validate() {
  TRestoreExpr Restore(FExpr, FLastExpr);
  TORVExprToken* Root = Expr().FTokens;
  if (Root == nullptr) return;
  switch (RootKind(Root)) {
    case rkStatement:
      ValidateStatement(Root);
      return;
    case rkRoutine:
      ValidateRoutine(Root);
      return;
    case rkExpression:
      break;
  }
  ValidateNextToken(Root);
  if (FRequiredDataType == 0) return;
  TORVTypeCodeSet TypeSet;
  TORVTypeCodeSet SubTypeSet;
  GetCompatibleTypeInfo(Root, FRequiredDataType, FRequiredSubType, TypeSet, SubTypeSet);
  CheckTypes(Root, TypeSet, SubTypeSet);
}

void TORVExprValidater::Unlock() {
  TRestoreExpr Restore(FExpr, FLastExpr);
  if (FExpr == nullptr || FExpr->FTokens == nullptr) return;
  TORVExprToken* Root = FExpr->FTokens;
  switch (RootKind(Root)) {
    case rkStatement:
      UnlockStatement(Root);
      return;
    case rkRoutine:
      UnlockRoutine(Root);
      return;
    case rkExpression:
      UnlockNextToken(Root);
      return;
  }
}

bool TORVExprValidater::TextIndexExists(TORVExprToken* Token) { return Expr().TextIndexExists(Token); }

// ---------------------------------------------------------------------------
// Queries (orvvalidatequery.cpp), statements (orvvalidatestmt.cpp) and
// routines (orvvalidateproc.cpp) have validators of their own.

bool TORVExprValidater::IsScalarQuery(const TORVExprToken* Query) {
  const TORVExprToken* Merge = SlotOf(Query, QueryMergeWordSlot);
  if (Merge != nullptr && Merge->FTokenOperator != toNONE) return false;
  const TORVExprToken* Parent = Query->FUpperToken;
  if (Parent == nullptr) return false;
  switch (Parent->FTokenOperator) {
    case toEXISTS:
    case toIN:
    case toNOTIN:
    case toDERIVED:
      return false;
    default:
      break;
  }
  const TORVExprToken* Owner = Parent->FUpperToken;
  return Owner == nullptr || (Owner->FTokenOperator != toCREATE && Owner->FTokenOperator != toINSERT);
}

// ---------------------------------------------------------------------------
// The walk

void TORVExprValidater::ValidateNextToken(TORVExprToken* Token) {
  if (Token == nullptr) return;
  switch (Token->FTokenType) {
    case ttBINARY:
      ValidateBinary(Token);
      return;
    case ttUNARY:
      ValidateUnary(Token);
      return;
    case ttEXTBINARY:
      ValidateExtBinary(Token);
      return;
    case ttFUNCREF:
      if (TORVValidateMethod Validator = GetFunctionValidator(Token->FTokenOperator)) (this->*Validator)(Token);
      FunctionFound(Token);
      return;
    case ttCOLUMNREF:
      ValidateColumnRef(Token);
      return;
    case ttVARIABLEREF:
    case ttARRAYREF:
    case ttARRAYELEMENTREF:
      ValidateVariableRef(Token);
      return;
    case ttPARAMREF:
      SetParamSourceToken(Token, true);
      AssignSourceType(Token);
      return;
    case ttDYNPARAMREF:
      // Untyped until a neighbouring operand gives it a type.
      SetDynamicParamSourceToken(Token);
      return;
    case ttCURSORREF:
      SetCursorSourceToken(Token);
      return;
    case ttSTATEMENTREF:
      SetStatementSourceToken(Token);
      return;
    case ttCONST:
      ValidateConstant(Token);
      return;
    case ttQUERY: {
      // A query's own conditions are not filters of the outer expression.
      const bool Transform = FTransformBooleans;
      FTransformBooleans = false;
      try {
        ValidateQuery(Token, true);
      } catch (...) {
        FTransformBooleans = Transform;
        throw;
      }
      FTransformBooleans = Transform;
      if (Transform && IsScalarQuery(Token)) TransformBooleanExpr(Token);
      return;
    }
    case ttROWVALUE:
      for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
        ValidateNextToken(Token->GetArgument(I));
        CheckNotArrayReference(Token->GetArgument(I));
      }
      return;
    default:
      return;
  }
}

void TORVExprValidater::ValidateBinary(TORVExprToken* Token) {
  // Chains of one operator (a long list of ORs) nest to the left as deep as
  // they are long: the left spine is walked in a loop, so that only nesting
  // written in the text costs stack.
  std::vector<TORVExprToken*> Spine{Token};
  TORVExprToken* Leaf = Token->GetLeftToken();
  while (Leaf != nullptr && Leaf->FTokenType == ttBINARY) {
    Spine.push_back(Leaf);
    Leaf = Leaf->GetLeftToken();
  }
  ValidateNextToken(Leaf);
  for (auto Node = Spine.rbegin(); Node != Spine.rend(); ++Node) {
    TORVExprToken* Binary = *Node;
    TORVExprToken* Left = Binary->GetLeftToken();
    TORVExprToken* Right = Binary->GetRightToken();
    // The parser gives every binary node both operands.
    if (Left == nullptr || Right == nullptr) throw std::logic_error("a binary node without both operands");
    ValidateNextToken(Right);
    CheckNotArrayReference(Left);
    CheckNotArrayReference(Right);
    const TORVTokenOperator Operator = Binary->FTokenOperator;
    CheckBinaryTypes(Operator, Binary->FDataType, Binary->FSubType, Left, Right);
    // A difference read as an interval keeps the qualifier it was written
    // with.
    if (Operator == toSUBINTERVAL) continue;
    Binary->SetDataType(
        GetBinaryResultDataType(Operator, Left->FDataType, Left->FSubType, Right->FDataType, Right->FSubType));
    Binary->SetSubType(
        GetBinaryResultSubType(Operator, Left->FDataType, Left->FSubType, Right->FDataType, Right->FSubType));
    Binary->FCollation = GetBinaryResultCollation(Operator, Left->FDataType, Left->FSubType, Left->FCollation,
                                                  Right->FDataType, Right->FSubType, Right->FCollation);
    if (Operator == toADD && IsStringType(Left->FDataType) && IsStringType(Right->FDataType)) {
      SetConcatenatedLength(Binary, Left, Right);
    } else if (Binary->FDataType == dtCharacter) {
      Binary->SetLength(std::max(Left->FLength, Right->FLength));
    } else if (Binary->FDataType == dtDecimal) {
      Binary->SetScale(std::max(Left->FScale, Right->FScale));
    }
  }
}

void TORVExprValidater::ValidateUnary(TORVExprToken* Token) {
  TORVExprToken* Operand = Token->GetLeftToken();
  if (Operand == nullptr) throw std::logic_error("a unary node without its operand");
  ValidateNextToken(Operand);
  CheckNotRowValue(Operand);
  CheckNotArrayReference(Operand);
  const TORVTokenOperator Operator = Token->FTokenOperator;
  if (IsDynamicParam(Operand)) {
    if (Operator == toNEGATE) InvalidToken(Operand, u"dynamic parameter type cannot be inferred");
    if (Operator == toNOT) SetDynamicParamType(Operand, dtBoolean, stNone);
  }
  CheckUnaryTypes(Operator, Operand);
  Token->SetDataType(GetUnaryResultDataType(Operator, Operand->FDataType));
  Token->SetSubType(GetUnaryResultSubType(Operator, Operand->FSubType));
  Token->SetLength(Operand->FLength);
  Token->SetScale(Operand->FScale);
}

void TORVExprValidater::ValidateExtBinary(TORVExprToken* Token) {
  switch (Token->FTokenOperator) {
    case toCONTAINS:
    case toCONTAINSANY:
    case toNOTCONTAINS:
    case toNOTCONTAINSANY:
      ValidateContains(Token);
      return;
    case toISNULL:
    case toISNOTNULL: {
      TORVExprToken* Operand = SlotOf(Token, OperandSlot);
      ValidateNextToken(Operand);
      if (Operand != nullptr) CheckNotArrayReference(Operand);
      return;
    }
    case toLIKE:
    case toNOTLIKE:
      ValidateLike(Token);
      return;
    case toBETWEEN:
    case toNOTBETWEEN:
    case toIN:
    case toNOTIN:
      ValidateBetweenIn(Token);
      return;
    default:
      return;
  }
}

void TORVExprValidater::ValidateContains(TORVExprToken* Token) {
  TORVExprToken* Column = Token->GetArgument(0);
  TORVExprToken* Text = Token->GetArgument(1);
  for (TORVExprToken* Argument : {Column, Text}) {
    ValidateNextToken(Argument);
  }
  for (TORVExprToken* Argument : {Column, Text}) {
    CheckNotRowValue(Argument);
    CheckNotArrayReference(Argument);
  }
  if (IsDynamicParam(Text)) SetDynamicParamType(Text, dtCharacter, stVarChar);
  CheckTokenType(Column, {ttCOLUMNREF});
  CheckStringTypes(Column);
  CheckStringTypes(Text);
  Token->SetDataType(dtBoolean);
  if (!TextIndexExists(Column)) {
    InvalidToken(Column,
                 u"CONTAINS or DOES NOT CONTAIN can only be used with a text-indexed column with a matching "
                 u"collation");
  }
}

void TORVExprValidater::ValidateLike(TORVExprToken* Token) {
  TORVExprToken* Value = Token->GetArgument(0);
  TORVExprToken* Pattern = Token->GetArgument(1);
  TORVExprToken* Escape = SlotOf(Token, LikeEscapeSlot);
  for (TORVExprToken* Argument : {Value, Pattern}) {
    ValidateNextToken(Argument);
    CheckNotRowValue(Argument);
    CheckNotArrayReference(Argument);
  }
  if (Escape != nullptr) {
    ValidateNextToken(Escape);
    CheckNotArrayReference(Escape);
  }
  if (IsDynamicParam(Value) && IsDynamicParam(Pattern)) {
    InvalidToken(Value, u"dynamic parameter type cannot be inferred");
  }
  if (IsDynamicParam(Pattern)) {
    SetDynamicParamTypeFrom(Pattern, Value);
  } else if (IsDynamicParam(Value)) {
    SetDynamicParamType(Value, dtCharacter, stVarChar);
  }
  CheckStringTypes(Value);
  CheckStringTypes(Pattern);
  if (Escape != nullptr) {
    CheckTokenType(Escape, {ttCONST});
    CheckStringTypes(Escape);
    if (Escape->FTokenConstant.size() > 1) InvalidToken(Escape, u"only a single character allowed");
  }
  Token->SetDataType(dtBoolean);
}

void TORVExprValidater::ValidateBetweenIn(TORVExprToken* Token) {
  const int32_t Count = Token->GetNumArguments();
  TORVExprToken* Model = nullptr;
  for (int32_t I = 0; I < Count; ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    ValidateNextToken(Argument);
    CheckNotArrayReference(Argument);
    if (Model == nullptr && !IsDynamicParam(Argument)) Model = Argument;
  }
  if (Count == 0) return;
  TORVExprToken* First = Token->GetArgument(0);
  if (Model == nullptr) InvalidToken(First, u"dynamic parameter type cannot be inferred");
  for (int32_t I = 0; I < Count; ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    if (IsDynamicParam(Argument)) SetDynamicParamTypeFrom(Argument, Model);
  }
  // Bounds and list items (a sub-query too) compare as equalities do.
  for (int32_t I = 1; I < Count; ++I) CheckBinaryTypes(toEQ, 0, 0, First, Token->GetArgument(I));
  Token->SetDataType(dtBoolean);
}

void TORVExprValidater::ValidateColumnRef(TORVExprToken* Token) {
  if (Token->FName == u"*") {
    // t.* names its table; a bare * is expanded with the select list.
    if (!Token->FSourceName.empty()) SetColumnSourceToken(Token);
    return;
  }
  if (Token->FSourceName.empty() && GetParentBlockToken(Token) != nullptr) {
    SetVariableSourceToken(Token, false);
    if (Token->FSourceToken != nullptr) {
      TypeDeclaredReference(Token);
    } else {
      SetParamSourceToken(Token, false);
      if (Token->FSourceToken != nullptr) {
        Token->FTokenType = ttPARAMREF;
        TypeDeclaredReference(Token);
      }
    }
  }
  if (Token->FTokenType == ttCOLUMNREF) {
    CheckForRowColumn(Token);
    if (Token->FSourceToken == nullptr) SetColumnSourceToken(Token);
    BindReference(Token, Token->FTokenType, true);
    ValidateColumnOptions(Token);
    if (const TORVExprToken* Collate = SlotOf(Token, RefCollationSlot); Collate != nullptr && Collate->FTokenOperator == toCOLLATE) {
      if (const TORVExprToken* Collation = SlotOf(Collate, CollateNameSlot)) Token->FCollation = Collation->FCollation;
    }
    ColumnFound(Token);
  }
  if (FTransformBooleans) TransformBooleanExpr(Token);
}

void TORVExprValidater::TypeDeclaredReference(TORVExprToken* Token) {
  AssignSourceType(Token);
  ValidateColumnOptions(Token);
  if (TORVExprToken* Index = SlotOf(Token, RefIndexSlot)) {
    ValidateNextToken(Index->FTokenType == ttCLAUSE ? SlotOf(Index, IndexValueSlot) : Index);
  }
  if (const TORVExprToken* Collate = SlotOf(Token, RefCollationSlot); Collate != nullptr && Collate->FTokenOperator == toCOLLATE) {
    if (const TORVExprToken* Collation = SlotOf(Collate, CollateNameSlot)) Token->FCollation = Collation->FCollation;
  }
}

void TORVExprValidater::ValidateVariableRef(TORVExprToken* Token) {
  if (Token->FTokenType == ttARRAYELEMENTREF) {
    if (TORVExprToken* Index = SlotOf(Token, RefIndexSlot)) {
      ValidateNextToken(Index->FTokenType == ttCLAUSE ? SlotOf(Index, IndexValueSlot) : Index);
    }
  }
  SetVariableSourceToken(Token, false);
  if (Token->FSourceToken == nullptr) {
    SetParamSourceToken(Token, false);
    if (Token->FSourceToken != nullptr) {
      Token->FTokenType = ttPARAMREF;
    } else {
      SetVariableSourceToken(Token, true);
    }
  }
  AssignSourceType(Token);
}

void TORVExprValidater::ValidateConstant(TORVExprToken* Token) {
  const TORVString& Text = Token->FTokenConstant;
  switch (Token->FDataType) {
    case dtDate:
      if (!IsADate(Text)) ExpectedTypes(Token, TORVTypeCodeSet{dtDate}, AllSubTypeSet());
      return;
    case dtTime:
      if (!IsATime(Text)) ExpectedTypes(Token, TORVTypeCodeSet{dtTime}, AllSubTypeSet());
      return;
    case dtTimeStamp:
      if (!IsATimeStamp(Text)) ExpectedTypes(Token, TORVTypeCodeSet{dtTimeStamp}, AllSubTypeSet());
      return;
    case dtYearMonthInterval:
      if (!IsAYearMonthInterval(Text, Token->FSubType)) {
        ExpectedTypes(Token, TORVTypeCodeSet{dtYearMonthInterval}, YearMonthSubTypeSet());
      }
      return;
    case dtDayTimeInterval:
      if (!IsADayTimeInterval(Text, Token->FSubType)) {
        ExpectedTypes(Token, TORVTypeCodeSet{dtDayTimeInterval}, DayTimeSubTypeSet());
      }
      return;
    default:
      return;
  }
}

void TORVExprValidater::UnlockNextToken(TORVExprToken* Token) {
  // Operands before their node, in operand order; a user function call
  // ends its catalog read once its arguments are done.
  struct TStep {
    TORVExprToken* Node;
    bool ArgumentsDone;
  };
  std::vector<TStep> Pending{{Token, false}};
  while (!Pending.empty()) {
    const TStep Step = Pending.back();
    Pending.pop_back();
    TORVExprToken* Node = Step.Node;
    if (Node == nullptr) continue;
    if (Step.ArgumentsDone) {
      EndReadTokenCatalog(Node);
      continue;
    }
    switch (Node->FTokenType) {
      case ttBINARY:
        Pending.push_back({Node->GetRightToken(), false});
        Pending.push_back({Node->GetLeftToken(), false});
        break;
      case ttUNARY:
        Pending.push_back({Node->GetLeftToken(), false});
        break;
      case ttFUNCREF:
        if (Node->FTokenOperator == toUDF) Pending.push_back({Node, true});
        [[fallthrough]];
      case ttEXTBINARY:
      case ttROWVALUE:
        for (int32_t I = Node->GetNumArguments() - 1; I >= 0; --I) Pending.push_back({Node->GetArgument(I), false});
        break;
      case ttQUERY:
        UnlockQuery(Node);
        break;
      default:
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// Result types

int32_t TORVExprValidater::GetUnaryResultDataType(TORVTokenOperator Operator, int32_t DataType) {
  if (Operator == toNOT) return dtBoolean;
  if (Operator == toNEGATE) return DataType;
  return dtUnknown;
}

int32_t TORVExprValidater::GetUnaryResultSubType(TORVTokenOperator Operator, int32_t SubType) {
  return Operator == toNEGATE ? SubType : stNone;
}

int32_t TORVExprValidater::GetBinaryResultDataType(TORVTokenOperator Operator, int32_t LeftDataType,
                                                   int32_t LeftSubType, int32_t RightDataType,
                                                   int32_t RightSubType) {
  if (IsComparisonOperator(Operator) || Operator == toAND || Operator == toOR) return dtBoolean;
  if (Operator != toADD && Operator != toSUB && Operator != toMUL && Operator != toDIV && Operator != toMOD) {
    return dtUnknown;
  }
  // Strings concatenate: a large object on either side makes the result one.
  if (Operator == toADD && IsStringType(LeftDataType) && IsStringType(RightDataType)) {
    if (LeftDataType == dtLargeObject || RightDataType == dtLargeObject) return dtLargeObject;
    return LeftDataType == RightDataType ? LeftDataType : dtUnknown;
  }
  if (IsNumericType(LeftDataType) && IsNumericType(RightDataType)) {
    return NumericResultType(Operator, LeftDataType, RightDataType);
  }
  // An interval scaled by an integer (the integer only on the left of ADD
  // and MUL).
  if (IsIntervalType(LeftDataType) && IsIntegerType(RightDataType)) return LeftDataType;
  if (IsIntegerType(LeftDataType) && IsIntervalType(RightDataType)) {
    return Operator == toADD || Operator == toMUL ? RightDataType : dtUnknown;
  }
  if (Operator != toADD && Operator != toSUB) return dtUnknown;
  if (IsIntervalType(LeftDataType) && IsIntervalType(RightDataType)) {
    return LeftDataType == RightDataType ? LeftDataType : dtUnknown;
  }
  if (IsDateTimeType(LeftDataType) && IsIntervalType(RightDataType)) {
    return DateTimeIntervalResultType(LeftDataType, RightDataType, RightSubType);
  }
  if (Operator == toADD && IsIntervalType(LeftDataType) && IsDateTimeType(RightDataType)) {
    return DateTimeIntervalResultType(RightDataType, LeftDataType, LeftSubType);
  }
  if (Operator == toSUB && IsDateTimeType(LeftDataType) && IsDateTimeType(RightDataType)) {
    if (LeftDataType == dtDate && RightDataType == dtDate) return dtDayTimeInterval;
    if (LeftDataType == dtTime && RightDataType == dtTime) return dtDayTimeInterval;
    if (LeftDataType == dtTimeStamp && RightDataType != dtTime) return dtDayTimeInterval;
  }
  return dtUnknown;
}

int32_t TORVExprValidater::GetBinaryResultSubType(TORVTokenOperator Operator, int32_t LeftDataType,
                                                  int32_t LeftSubType, int32_t RightDataType,
                                                  int32_t RightSubType) {
  const int32_t Result = GetBinaryResultDataType(Operator, LeftDataType, LeftSubType, RightDataType, RightSubType);
  switch (Result) {
    case dtCharacter:
    case dtBytes:
      return LeftSubType == RightSubType ? LeftSubType : stNone;
    case dtLargeObject:
      return LeftDataType == dtCharacter || (LeftDataType == dtLargeObject && LeftSubType == stClob) ? stClob
                                                                                                   : stBlob;
    case dtYearMonthInterval:
    case dtDayTimeInterval:
      if (IsIntervalType(LeftDataType) && IsIntervalType(RightDataType)) {
        return SpanningIntervalSubType(LeftSubType, RightSubType);
      }
      if (IsIntervalType(LeftDataType) && !IsDateTimeType(RightDataType)) return LeftSubType;
      if (IsIntervalType(RightDataType) && !IsDateTimeType(LeftDataType)) return RightSubType;
      // The difference of two datetimes.
      if (LeftDataType == dtDate && RightDataType == dtDate) return stDay;
      if (LeftDataType == dtTime) return stHourToMSecond;
      return stDayToMSecond;
    default:
      return stNone;
  }
}

int32_t TORVExprValidater::GetBinaryResultCollation(TORVTokenOperator Operator, int32_t LeftDataType,
                                                    int32_t LeftSubType, int32_t LeftCollation,
                                                    int32_t /*RightDataType*/, int32_t /*RightSubType*/,
                                                    int32_t /*RightCollation*/) {
  if (Operator == toADD &&
      (LeftDataType == dtCharacter || (LeftDataType == dtLargeObject && LeftSubType == stClob))) {
    return LeftCollation;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Several candidate results

void TORVExprValidater::ValidateMultipleExpressions(int32_t FirstIndex, TORVExprToken* Token) {
  const int32_t Count = Token->GetNumArguments();
  TORVExprToken* Model = nullptr;
  TORVExprToken* FirstParam = nullptr;
  for (int32_t I = FirstIndex; I < Count; ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    if (IsDynamicParam(Argument)) {
      if (FirstParam == nullptr) FirstParam = Argument;
    } else if (Model == nullptr && Argument != nullptr && !Argument->GetNullConstant()) {
      Model = Argument;
    }
  }
  if (Model == nullptr) {
    if (FirstParam != nullptr) InvalidToken(FirstParam, u"dynamic parameter type cannot be inferred");
    InvalidToken(SlotOf(Token, FirstIndex) != nullptr ? Token->GetArgument(FirstIndex) : Token,
                 u"at least one of the result expressions must be non-NULL");
  }
  for (int32_t I = FirstIndex; I < Count; ++I) {
    TORVExprToken* Argument = Token->GetArgument(I);
    if (IsDynamicParam(Argument)) SetDynamicParamTypeFrom(Argument, Model);
  }
  for (int32_t I = FirstIndex; I < Count; ++I) {
    if (TORVExprToken* Argument = Token->GetArgument(I)) CheckArgumentTypes(Argument, Model);
  }
  Token->AssignType(Model);
  for (int32_t I = FirstIndex; I < Count; ++I) {
    if (const TORVExprToken* Argument = Token->GetArgument(I)) CheckTypePromotion(Token, Argument);
  }
}

void TORVExprValidater::CheckTypePromotion(TORVExprToken* Token, const TORVExprToken* Argument) {
  const int32_t Type = Token->FDataType;
  const int32_t ArgumentType = Argument->FDataType;
  switch (Type) {
    case dtCharacter:
    case dtBytes:
      if (ArgumentType == dtLargeObject && (Type == dtBytes || Argument->FSubType == stClob)) {
        Token->AssignType(Argument);
      } else if (ArgumentType == Type) {
        // Fixed-length or GUID values become varying beside a varying one.
        if (Token->FSubType != stNone && Argument->FSubType == stNone) Token->SetSubType(stNone);
        Token->SetLength(std::max(Token->FLength, Argument->FLength));
      }
      return;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      // Integer types are ordered by width, and Float and Decimal follow.
      if (IsNumericType(ArgumentType) && ArgumentType > Type) Token->AssignType(Argument);
      return;
    case dtDecimal:
      if (ArgumentType == dtFloat) {
        Token->AssignType(Argument);
      } else {
        Token->SetScale(std::max(Token->FScale, Argument->FScale));
      }
      return;
    default:
      return;
  }
}

// ---------------------------------------------------------------------------
// Boolean rewrite, token-type checks and dynamic-parameter typing

void TORVExprValidater::TransformBooleanExpr(TORVExprToken* Token) {
  const int32_t DataType = Token->FDataType;
  if (DataType != dtBoolean && !IsIntegerType(DataType)) return;
  if (const TORVExprToken* Parent = Token->FUpperToken) {
    const TORVTokenOperator Operator = Parent->FTokenOperator;
    if (Operator != toNONE && Operator != toAND && Operator != toNOT && Operator != toOR) return;
    if (Parent->FTokenType == ttROWVALUE) return;
  }
  // Everything that can fail is made before the tree changes.
  std::unique_ptr<TORVExprToken> Copy(Token->Create());
  Copy->Assign(Token, true);
  Copy->FParentheses = false;
  std::unique_ptr<TORVExprToken> True(Token->Create());
  True->FTokenType = ttCONST;
  True->FTokenConstant = u"TRUE";
  True->SetDataType(dtBoolean);
  True->AssignPos(Token);

  // The children now hang under the copy.
  Token->SetNumArguments(0);
  Token->SetLeftToken(nullptr);
  Token->SetRightToken(nullptr);
  Token->FTokenType = ttBINARY;
  Token->FTokenOperator = toEQ;
  Token->FTokenConstant.clear();
  Token->FName.clear();
  Token->FSourceName.clear();
  Token->FDatabaseName.clear();
  Token->FSourceToken = nullptr;
  Token->FDataType = dtBoolean;
  Token->FSubType = stNone;
  Token->FLength = 0;
  Token->FScale = 0;
  Token->FCollation = 0;
  Token->SetLeftToken(Copy.release());
  Token->SetRightToken(True.release());
}

TORVString TORVExprValidater::GetTokenTypeLiterals(const std::vector<TORVTokenType>& TokenTypes) {
  TORVString Text;
  int32_t Count = 0;
  for (TORVTokenType TokenType : TokenTypes) {
    const char16_t* Literal = nullptr;
    switch (TokenType) {
      case ttARRAYREF: Literal = u"array variable name"; break;
      case ttARRAYELEMENTREF: Literal = u"array variable element name"; break;
      case ttBINARY: Literal = u"binary operator"; break;
      case ttCOLUMNREF:
      case ttLINKEDCOLUMNREF:
      case ttROWCOLUMNREF: Literal = u"column name"; break;
      case ttCONST: Literal = u"constant value"; break;
      case ttCURSORREF: Literal = u"cursor name"; break;
      case ttEXTBINARY: Literal = u"extended binary operator"; break;
      case ttFUNCREF: Literal = u"function name"; break;
      case ttPARAMREF: Literal = u"parameter name"; break;
      case ttQUERY: Literal = u"query"; break;
      case ttROWVALUE: Literal = u"row value"; break;
      case ttSTATEMENTREF: Literal = u"statement name"; break;
      case ttTABLEREF: Literal = u"table name"; break;
      case ttUNARY: Literal = u"unary operator"; break;
      case ttVARIABLEREF: Literal = u"variable name"; break;
      default: break;
    }
    if (Literal == nullptr) continue;
    AddLiteral(Text, Literal);
    ++Count;
  }
  return JoinTypeLiterals(Text, Count);
}

void TORVExprValidater::CheckTokenType(TORVExprToken* Token, const std::vector<TORVTokenType>& TokenTypes) {
  for (TORVTokenType TokenType : TokenTypes) {
    if (Token->FTokenType == TokenType) return;
  }
  ExpectedTokenTypes(Token, TokenTypes);
}

void TORVExprValidater::CheckRowValueTokenTypes(TORVExprToken* Token, const std::vector<TORVTokenType>& TokenTypes) {
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    if (TORVExprToken* Member = Token->GetArgument(I)) CheckTokenType(Member, TokenTypes);
  }
}

void TORVExprValidater::CheckNullConstantTokenType(TORVExprToken* Token) {
  if (Token->GetNullConstant()) InvalidToken(Token, u"a constant NULL value is not allowed as a SELECT expression");
}

void TORVExprValidater::CheckNotArrayReference(TORVExprToken* Token) {
  if (Token != nullptr && Token->FTokenType == ttARRAYREF) InvalidToken(Token, u"array references not allowed");
}

void TORVExprValidater::SetDynamicParamType(TORVExprToken* Ref, int32_t DataType, int32_t SubType) {
  TORVExprToken Model;
  Model.SetDataType(DataType);
  Model.SetSubType(SubType);
  SetDynamicParamTypeFrom(Ref, &Model);
}

void TORVExprValidater::SetDynamicParamTypeFrom(TORVExprToken* Ref, const TORVExprToken* Model) {
  if (Ref->FSourceToken == nullptr) {
    Ref->AssignType(Model);
    return;
  }
  Ref->FSourceToken->AssignType(Model);
  AssignSourceType(Ref);
}

}  // namespace orv
