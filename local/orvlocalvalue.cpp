#include "local/orvlocalvalue.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "base/orverrors.h"
#include "catalog/orvrowvalues.h"
#include "core/orvliteral.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

void TakeNodeType(TORVValue& Value, const TORVExprToken* Token) {
  Value.SetDataType(Token->FDataType);
  Value.SetSubType(Token->FSubType);
  Value.SetLength(Token->FLength);
  Value.SetScale(Token->FScale);
  Value.SetCollation(Token->FCollation);
}

namespace {

TORVParamType ParamTypeOf(const TORVExprToken* Token) {
  switch (Token->FTokenOperator) {
    case toINPUT:
      return ptInput;
    case toOUTPUT:
      return ptOutput;
    case toINPUTOUTPUT:
      return ptInputOutput;
    case toRESULT:
      return ptResult;
    default:
      return ptUnknown;
  }
}

// The item of Row at Index, or a broken contract: positions come from the
// compiler's binding, never from input.
TORVValue* RowItem(TORVRowValues* Row, int32_t Index) {
  if (Row == nullptr) throw std::logic_error("column reference read without a row");
  return Row->GetItems(Index);
}

TORVEvaluatorContext& ContextOf(TORVLocalExprEvaluator* Evaluator) {
  TORVEvaluatorContext* Context = Evaluator->GetContext();
  if (Context == nullptr) throw std::logic_error("row read outside an evaluation context");
  return *Context;
}

}  // namespace

TORVRoutineParamValue::TORVRoutineParamValue(int32_t CharacterSetToUse, TORVExprToken* Token)
    : TORVParamValue(CharacterSetToUse), FToken(Token) {
  TakeNodeType(*this, Token);
  SetParamType(ParamTypeOf(Token));
  SetName(Token->FName);
}

TORVVariableValue::TORVVariableValue(int32_t CharacterSetToUse, TORVExprToken* Token)
    : TORVContainedValue(CharacterSetToUse, true), FToken(Token) {
  TakeNodeType(*this, Token);
}

void TORVVariableValue::TruncationError(const TORVString& Value, bool IncludeValue) {
  RaiseError(ORV_VALUE_ERROR, {u"variable", FToken->FName, TruncationDetail(Value, IncludeValue)});
}

void TORVVariableValue::RangeError(const TORVString& Value, bool IncludeValue) {
  RaiseError(ORV_VALUE_ERROR, {u"variable", FToken->FName, RangeDetail(Value, IncludeValue)});
}

void TORVVariableValue::ConversionError(const TORVString& Value, bool IncludeValue) {
  RaiseError(ORV_VALUE_ERROR, {u"variable", FToken->FName, ConversionDetail(Value, IncludeValue)});
}

TORVArrayValues::TORVArrayValues(int32_t CharacterSetToUse, TORVExprToken* Token)
    : FCharacterSet(CharacterSetToUse), FToken(Token) {}

TORVArrayValues::~TORVArrayValues() = default;

TORVVariableValue* TORVArrayValues::FindElement(int32_t Position) const {
  auto Found = FElements.find(Position);
  return Found == FElements.end() ? nullptr : Found->second.get();
}

TORVVariableValue* TORVArrayValues::GetElement(int32_t Position) {
  std::unique_ptr<TORVVariableValue>& Element = FElements[Position];
  if (Element == nullptr) {
    Element = std::make_unique<TORVVariableValue>(FCharacterSet, FToken);
    Element->Clear();
    Element->SetNull(true);
  }
  return Element.get();
}

void TORVArrayValues::Truncate(int32_t Count) { FElements.erase(FElements.upper_bound(Count), FElements.end()); }

TORVArrayValuesValue::TORVArrayValuesValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVContainedValue(Evaluator->GetCharacterSet()),
      FToken(Token),
      FArrayValues(std::make_unique<TORVArrayValues>(Evaluator->GetCharacterSet(), Token)) {
  TakeNodeType(*this, Token);
  // The array node sits in the names clause of its DECLARE.
  TORVExprToken* Names = Token->FUpperToken;
  TORVExprToken* Declare = Names != nullptr ? Names->FUpperToken : nullptr;
  TORVExprToken* Size = Declare != nullptr ? SlotOf(Declare, DeclareArraySizeSlot) : nullptr;
  if (Size != nullptr) {
    Evaluator->EvaluateNextToken(Size);
    if (Size->FValue->GetNull()) IndexError(u"NULL");
    FMaxCardinality = Size->FValue->GetAsInteger();
    if (FMaxCardinality < 0) IndexError(IntToString(FMaxCardinality));
  }
}

TORVArrayValuesValue::~TORVArrayValuesValue() = default;

void TORVArrayValuesValue::IndexError(const TORVString& Index) {
  RaiseError(ORV_VALUE_ERROR, {u"array", FToken->FName, FormatString(ORV_ARRAY_INDEX_DETAIL, {Index})});
}

TORVValue* TORVArrayValuesValue::GetValue(int32_t Index) {
  if (Index < 1 || Index > FMaxCardinality) IndexError(IntToString(Index));
  return MakeElement(Index);
}

TORVVariableValue* TORVArrayValuesValue::MakeElement(int32_t Position) {
  if (TORVVariableValue* Element = FArrayValues->FindElement(Position)) return Element;
  TORVVariableValue* Element = FArrayValues->GetElement(Position);
  if (FFillValue != nullptr) Element->Assign(*FFillValue);
  return Element;
}

int32_t TORVArrayValuesValue::GetCardinality() const {
  // Filled, every position counts as made; otherwise the highest position
  // made.
  return FFillValue != nullptr ? FMaxCardinality : FArrayValues->GetHighestPosition();
}

void TORVArrayValuesValue::Assign(TORVValue& FromValue) {
  TORVArrayValuesValue* Source = dynamic_cast<TORVArrayValuesValue*>(&FromValue);
  if (auto* Reference = dynamic_cast<TORVArrayValuesReferenceValue*>(&FromValue)) Source = Reference->GetArray();
  if (Source == this) return;
  if (Source != nullptr) {
    FMaxCardinality = Source->FMaxCardinality;
    FArrayValues->Truncate(FMaxCardinality);
    if (Source->FFillValue != nullptr) {
      // Every source position exists: the ones not made hold the fill.
      auto Fill = std::make_unique<TORVVariableValue>(GetCharacterSet(), FToken);
      Fill->Assign(*Source->FFillValue);
      for (auto& [Position, Element] : FArrayValues->GetElements()) {
        if (Source->FArrayValues->FindElement(Position) == nullptr) Element->Assign(*Fill);
      }
      FFillValue = std::move(Fill);
    }
    for (auto& [Position, Element] : Source->FArrayValues->GetElements()) MakeElement(Position)->Assign(*Element);
    return;
  }
  // Every element takes the value. The positions not made yet take it when
  // they are made, so that a large array costs nothing now; the value is
  // converted once, here, so that a refused value raises at once.
  auto Fill = std::make_unique<TORVVariableValue>(GetCharacterSet(), FToken);
  Fill->Assign(FromValue);
  for (auto& [Position, Element] : FArrayValues->GetElements()) Element->Assign(*Fill);
  FFillValue = std::move(Fill);
}

TORVLocalReferenceValue::TORVLocalReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVReferenceValue(Evaluator->GetCharacterSet()), FEvaluator(Evaluator), FToken(Token) {}

void TORVLocalReferenceValue::TakeTypeFrom(const TORVExprToken* Source, bool SourceCollation) {
  if (Source == nullptr) Source = FToken;
  SetDataType(Source->FDataType);
  SetSubType(Source->FSubType);
  SetScale(Source->FScale);
  SetCollation(SourceCollation ? Source->FCollation : FToken->FCollation);
}

TORVValue* TORVLocalReferenceValue::SourceValue() {
  TORVExprToken* Source = FToken->FSourceToken;
  if (Source == nullptr) throw std::logic_error("reference without a declaration");
  if (Source->FValue == nullptr) FEvaluator->GetValue(Source);
  return Source->FValue.get();
}

TORVDeclarationReferenceValue::TORVDeclarationReferenceValue(TORVLocalExprEvaluator* Evaluator,
                                                             TORVExprToken* Token, bool SourceCollation)
    : TORVLocalReferenceValue(Evaluator, Token) {
  TakeTypeFrom(Token->FSourceToken, SourceCollation);
}

TORVVariableReferenceValue::TORVVariableReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVDeclarationReferenceValue(Evaluator, Token, false) {}

TORVCursorReferenceValue::TORVCursorReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVDeclarationReferenceValue(Evaluator, Token, true) {}

TORVStatementReferenceValue::TORVStatementReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVDeclarationReferenceValue(Evaluator, Token, true) {}

TORVRoutineParamReferenceValue::TORVRoutineParamReferenceValue(TORVLocalExprEvaluator* Evaluator,
                                                               TORVExprToken* Token)
    : TORVDeclarationReferenceValue(Evaluator, Token, false) {}

TORVParamType TORVRoutineParamReferenceValue::GetParamType() {
  auto* Param = dynamic_cast<TORVParamValue*>(SourceValue());
  return Param != nullptr ? Param->GetParamType() : ptUnknown;
}

void TORVDynamicParamReferenceValue::UpdateTypeInformation() {
  TORVValue* Param = SourceValue();
  SetDataType(Param->GetDataType());
  SetSubType(Param->GetSubType());
  SetScale(Param->GetScale());
}

TORVArrayValuesReferenceValue::TORVArrayValuesReferenceValue(TORVLocalExprEvaluator* Evaluator,
                                                             TORVExprToken* Token)
    : TORVDeclarationReferenceValue(Evaluator, Token, false) {}

TORVArrayValuesValue* TORVArrayValuesReferenceValue::GetArray() {
  auto* Array = dynamic_cast<TORVArrayValuesValue*>(SourceValue());
  if (Array == nullptr) throw std::logic_error("array reference bound to no array");
  return Array;
}

void TORVArrayValuesReferenceValue::Assign(TORVValue& FromValue) { GetArray()->Assign(FromValue); }

TORVArrayElementReferenceValue::TORVArrayElementReferenceValue(TORVLocalExprEvaluator* Evaluator,
                                                               TORVExprToken* Token)
    : TORVLocalReferenceValue(Evaluator, Token) {
  // The index slot holds a clause around the index, or the index itself.
  TORVExprToken* Index = SlotOf(Token, RefIndexSlot);
  if (Index != nullptr && Index->FTokenType == ttCLAUSE) Index = SlotOf(Index, IndexValueSlot);
  if (Index == nullptr) throw std::logic_error("array element reference without an index");
  FIndexToken = Index;
  TakeTypeFrom(Token->FSourceToken, false);
}

TORVValue* TORVArrayElementReferenceValue::GetValue() {
  auto* Array = dynamic_cast<TORVArrayValuesValue*>(SourceValue());
  if (Array == nullptr) throw std::logic_error("array element reference bound to no array");
  FEvaluator->EvaluateNextToken(FIndexToken);
  TORVValue& Index = *FIndexToken->FValue;
  if (Index.GetNull()) Array->IndexError(u"NULL");
  return Array->GetValue(Index.GetAsInteger());
}

TORVRowVariableValue::TORVRowVariableValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVLocalReferenceValue(Evaluator, Token) {
  TakeTypeFrom(Token, false);
}

TORVColumnReferenceValue::TORVColumnReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVLocalReferenceValue(Evaluator, Token) {
  TakeTypeFrom(Token, false);
}

void TORVColumnReferenceValue::RowValueError(const TORVString& RowName) {
  TORVString Operation = u"All";
  switch (ContextOf(FEvaluator).FOperationType) {
    case toInsertRow:
      Operation = u"INSERT";
      break;
    case toUpdateRow:
      Operation = u"UPDATE";
      break;
    case toDeleteRow:
      Operation = u"DELETE";
      break;
    default:
      break;
  }
  RaiseError(ORV_VALUE_ERROR, {u"row", RowName, FormatString(ORV_ROW_VALUE_DETAIL, {Operation})});
}

TORVValue* TORVColumnReferenceValue::GetValue() {
  TORVExprToken* Source = FToken->FSourceToken;
  if (FToken->FTokenType == ttROWCOLUMNREF) {
    if (Source == nullptr) throw std::logic_error("row column without its row variable");
    if (Source->FValue == nullptr) FEvaluator->GetValue(Source);
    auto* Row = dynamic_cast<TORVRowVariableValue*>(Source->FValue.get());
    if (Row == nullptr || Row->FRowValues == nullptr) RowValueError(Source->FName);
    return RowItem(Row->FRowValues, FToken->FPosition);
  }
  if (FToken->FTokenType == ttCOLUMNREF) {
    if (TORVRowValues* Current = ContextOf(FEvaluator).FCurrentRowValues) return RowItem(Current, FToken->FPosition);
  }
  if (Source == nullptr || Source->FValue == nullptr) throw std::logic_error("column read without its cursor");
  auto* Cursor = dynamic_cast<TORVCursorValue*>(Source->FValue.get());
  if (Cursor == nullptr) throw std::logic_error("column bound to no cursor");
  return RowItem(Cursor->FActiveRow, FToken->FPosition);
}

TORVSelectColumnReferenceValue::TORVSelectColumnReferenceValue(TORVLocalExprEvaluator* Evaluator,
                                                               TORVExprToken* Token)
    : TORVLocalReferenceValue(Evaluator, Token) {
  TakeTypeFrom(Token->FSourceToken, true);
}

TORVValue* TORVSelectColumnReferenceValue::GetValue() {
  TORVExprToken* Column = FToken->FSourceToken;
  if (Column == nullptr) throw std::logic_error("select column reference without its column");
  // Item 0 of a result row is not a select column.
  return RowItem(ContextOf(FEvaluator).FResultRowValues, Column->FPosition + 1);
}

TORVAggregateValues::TORVAggregateValues(int32_t CharacterSetToUse) : FCharacterSet(CharacterSetToUse) {}

TORVAggregateValues::~TORVAggregateValues() = default;

void TORVAggregateValues::SetValuesCapacity(int32_t Count) {
  if (Count <= FValuesCapacity) return;
  FValuesCapacity = (Count + CapacityStep - 1) / CapacityStep * CapacityStep;
  FValues.resize(static_cast<size_t>(FValuesCapacity));
}

bool TORVAggregateValues::FindValue(TORVValue& Value, int32_t& Index) {
  int32_t Low = 0;
  int32_t High = FNumValues - 1;
  while (Low <= High) {
    const int32_t Middle = Low + (High - Low) / 2;
    TORVValue& Stored = *FValues[static_cast<size_t>(Middle)];
    const int32_t Result = Stored.Compare(Value, 0, false, Stored.GetCollation());
    if (Result < 0) {
      Low = Middle + 1;
    } else if (Result > 0) {
      High = Middle - 1;
    } else {
      Index = Middle;
      return true;
    }
  }
  Index = Low;
  return false;
}

void TORVAggregateValues::InsertValue(int32_t Index, std::unique_ptr<TORVValue> Value) {
  SetValuesCapacity(FNumValues + 1);
  for (int32_t I = FNumValues; I > Index; --I) FValues[static_cast<size_t>(I)] = std::move(FValues[I - 1]);
  FValues[static_cast<size_t>(Index)] = std::move(Value);
  ++FNumValues;
}

bool TORVAggregateValues::AddValue(TORVValue& ValueToAdd, bool Distinct) {
  int32_t Index = 0;
  const bool Found = FindValue(ValueToAdd, Index);
  if (!Found || !Distinct) {
    auto Value = std::make_unique<TORVContainedValue>(FCharacterSet);
    Value->SetDataType(ValueToAdd.GetDataType());
    Value->SetSubType(ValueToAdd.GetSubType());
    Value->SetLength(ValueToAdd.GetLength());
    Value->SetScale(ValueToAdd.GetScale());
    Value->SetCollation(ValueToAdd.GetCollation());
    Value->Assign(ValueToAdd);
    InsertValue(Index, std::move(Value));
  }
  return !Found;
}

void TORVAggregateValues::FreeValues() {
  for (int32_t I = 0; I < FNumValues; ++I) FValues[static_cast<size_t>(I)].reset();
  FNumValues = 0;
}

TORVString TORVAggregateValues::GetValuesAsString(const TORVString& Delimiter) {
  TORVString Result;
  for (int32_t I = 0; I < FNumValues; ++I) {
    if (I > 0) Result += Delimiter;
    Result += FValues[static_cast<size_t>(I)]->GetAsString();
  }
  return Result;
}

TORVAggregateFunctionReferenceValue::TORVAggregateFunctionReferenceValue(TORVLocalExprEvaluator* Evaluator,
                                                                         TORVExprToken* Token)
    : TORVLocalReferenceValue(Evaluator, Token), FRowValues(std::make_unique<TORVSparseBitmap>(true, true)) {
  TakeTypeFrom(Token, false);
}

TORVAggregateFunctionReferenceValue::~TORVAggregateFunctionReferenceValue() = default;

TORVValue* TORVAggregateFunctionReferenceValue::GetValue() {
  TORVExprToken* Column = FToken->FUpperToken;
  if (Column == nullptr) throw std::logic_error("aggregate outside a select column");
  return RowItem(ContextOf(FEvaluator).FResultRowValues, Column->FPosition + 1);
}

TORVAggregateValues* TORVAggregateFunctionReferenceValue::GetValues(int32_t RowNumber) {
  TORVBaseObject* Stored = nullptr;
  if (FRowValues->BitSet(RowNumber, Stored) && Stored != nullptr) return static_cast<TORVAggregateValues*>(Stored);
  auto Values = std::make_unique<TORVAggregateValues>(GetCharacterSet());
  FRowValues->SetBit(RowNumber, Values.get(), true);
  return Values.release();
}

bool TORVAggregateFunctionReferenceValue::AddValue(int32_t RowNumber, TORVValue& ValueToAdd, bool Distinct) {
  TORVAggregateValues* Values = GetValues(RowNumber);
  if (GetNull() && Values->GetNumValues() > 0) Values->FreeValues();
  return Values->AddValue(ValueToAdd, Distinct);
}

void TORVAggregateFunctionReferenceValue::FreeValues(int32_t RowNumber) {
  TORVBaseObject* Stored = nullptr;
  if (FRowValues->BitSet(RowNumber, Stored) && Stored != nullptr) static_cast<TORVAggregateValues*>(Stored)->FreeValues();
}

TORVString TORVAggregateFunctionReferenceValue::GetValuesAsString(int32_t RowNumber, const TORVString& Delimiter) {
  return GetValues(RowNumber)->GetValuesAsString(Delimiter);
}

}  // namespace orv
