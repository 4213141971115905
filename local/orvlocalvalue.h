// The values a local session binds to the nodes that name something: the
// declarations of a procedural block (parameters, variables, arrays), the
// references to them, the columns of the current row or of a cursor's
// active row, select columns and aggregates of a query's result row.
//
// Contained values own their data. Reference values own nothing: each
// access looks up the value they stand for through the node they belong to
// (the declaration's FValue, the context's row), because the evaluator's
// value stack swaps a declaration's value under them in recursion and
// nested blocks. No reference keeps a pointer to another value.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvbitmap.h"
#include "core/orvcontainedvalue.h"
#include "core/orvparam.h"
#include "core/orvreferencevalue.h"
#include "core/orvvalues.h"

namespace orv {

class TORVExprToken;
class TORVLocalExprEvaluator;
class TORVRowValues;

// Data type, subtype, length, scale and collation of Token: contained
// values take their whole type from their own node.
void TakeNodeType(TORVValue& Value, const TORVExprToken* Token);

// A parameter of a procedure or function being run (ttPARAM), and a dynamic
// parameter of a statement (ttDYNPARAM): typed from the node, directed by
// the node's operator (toINPUT, toOUTPUT, toINPUTOUTPUT, toRESULT).
class TORVRoutineParamValue : public TORVParamValue {
 public:
  TORVRoutineParamValue(int32_t CharacterSetToUse, TORVExprToken* Token);

 protected:
  TORVExprToken* FToken;
};

class TORVDynamicParamValue : public TORVRoutineParamValue {
 public:
  using TORVRoutineParamValue::TORVRoutineParamValue;
};

// A declared variable (ttVARIABLE) and each element of an array: its
// declared length limits a text, and its errors name the variable.
class TORVVariableValue : public TORVContainedValue {
 public:
  TORVVariableValue(int32_t CharacterSetToUse, TORVExprToken* Token);

  [[noreturn]] void TruncationError(const TORVString& Value, bool IncludeValue) override;
  [[noreturn]] void RangeError(const TORVString& Value, bool IncludeValue) override;
  [[noreturn]] void ConversionError(const TORVString& Value, bool IncludeValue) override;

 protected:
  TORVExprToken* FToken;
};

// The elements of an array, by position (1-based). An element is made at
// its first read or write and only then takes memory, so a large declared
// cardinality, or a high position used, costs one element.
class TORVArrayValues : public TORVBaseObject {
 public:
  using TElements = std::map<int32_t, std::unique_ptr<TORVVariableValue>>;

  TORVArrayValues(int32_t CharacterSetToUse, TORVExprToken* Token);
  ~TORVArrayValues() override;

  // The element at Position, made when needed. Position must be checked by
  // the caller.
  TORVVariableValue* GetElement(int32_t Position);
  // Nil when not made.
  TORVVariableValue* FindElement(int32_t Position) const;
  // Frees the elements beyond Count.
  void Truncate(int32_t Count);
  // The highest position made, 0 when none.
  int32_t GetHighestPosition() const { return FElements.empty() ? 0 : FElements.rbegin()->first; }
  int32_t GetCount() const { return static_cast<int32_t>(FElements.size()); }
  const TElements& GetElements() const { return FElements; }

 private:
  int32_t FCharacterSet;
  TORVExprToken* FToken;
  TElements FElements;
};

// A declared ARRAY variable (ttARRAY).
class TORVArrayValuesValue : public TORVContainedValue {
 public:
  // The maximum cardinality is the value of the DECLARE's size expression,
  // evaluated now; a negative one raises the index error.
  TORVArrayValuesValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);
  ~TORVArrayValuesValue() override;

  // The element at Index; outside 1 .. the maximum cardinality the index
  // error (1011).
  TORVValue* GetValue(int32_t Index);
  // The highest position made so far, 0 when none; every position once a
  // scalar was assigned to the whole array.
  int32_t GetCardinality() const;
  int32_t GetMaxCardinality() const { return FMaxCardinality; }
  // The elements held in memory.
  int32_t GetMadeCount() const { return FArrayValues->GetCount(); }
  // From an array (or a reference to one): its maximum cardinality and
  // the elements it has made; from any other value: every element.
  void Assign(TORVValue& FromValue) override;

  [[noreturn]] void IndexError(const TORVString& Index);

 private:
  TORVVariableValue* MakeElement(int32_t Position);

  TORVExprToken* FToken;
  int32_t FMaxCardinality = 0;
  std::unique_ptr<TORVArrayValues> FArrayValues;
  // After a scalar was assigned to the whole array: the value of every
  // position not made yet (already in the element type). Nil otherwise.
  std::unique_ptr<TORVVariableValue> FFillValue;
};

// The common part of every reference value: its node and the evaluator
// that made it.
class TORVLocalReferenceValue : public TORVReferenceValue {
 public:
  TORVLocalReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

 protected:
  // Type from Source, collation from the own node (or from Source too).
  void TakeTypeFrom(const TORVExprToken* Source, bool SourceCollation);
  // The declaration node's current value, made when it has none yet.
  TORVValue* SourceValue();

  TORVLocalExprEvaluator* FEvaluator;
  TORVExprToken* FToken;
};

// A reference to a declaration (variable, parameter, cursor, statement,
// whole array): the declaration node's current value.
class TORVDeclarationReferenceValue : public TORVLocalReferenceValue {
 public:
  // SourceCollation: cursor and statement references take the
  // declaration's collation too.
  TORVDeclarationReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token, bool SourceCollation);

  TORVValue* GetValue() override { return SourceValue(); }
};

class TORVVariableReferenceValue : public TORVDeclarationReferenceValue {
 public:
  TORVVariableReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);
};

class TORVCursorReferenceValue : public TORVDeclarationReferenceValue {
 public:
  TORVCursorReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);
};

class TORVStatementReferenceValue : public TORVDeclarationReferenceValue {
 public:
  TORVStatementReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);
};

class TORVRoutineParamReferenceValue : public TORVDeclarationReferenceValue {
 public:
  TORVRoutineParamReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVParamType GetParamType();
};

class TORVDynamicParamReferenceValue : public TORVRoutineParamReferenceValue {
 public:
  using TORVRoutineParamReferenceValue::TORVRoutineParamReferenceValue;

  // Data type, subtype and scale again from the parameter's value, once its
  // type has been settled at execution.
  void UpdateTypeInformation();
};

// A whole array (ttARRAYREF); assigning to it assigns the array.
class TORVArrayValuesReferenceValue : public TORVDeclarationReferenceValue {
 public:
  TORVArrayValuesReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVArrayValuesValue* GetArray();
  int32_t GetCardinality() { return GetArray()->GetCardinality(); }
  void Assign(TORVValue& FromValue) override;
};

// An element a[i] (ttARRAYELEMENTREF): the index is evaluated at each
// access.
class TORVArrayElementReferenceValue : public TORVLocalReferenceValue {
 public:
  TORVArrayElementReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVValue* GetValue() override;

 private:
  TORVExprToken* FIndexToken;
};

// A trigger's old or new row (ttROWVARIABLE); trigger execution sets and
// clears the row. It is never read as a scalar.
class TORVRowVariableValue : public TORVLocalReferenceValue {
 public:
  TORVRowVariableValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVValue* GetValue() override { return nullptr; }

  TORVRowValues* FRowValues = nullptr;
};

// A column of a table or of a trigger row (ttCOLUMNREF, ttLINKEDCOLUMNREF,
// ttROWCOLUMNREF): the context's current row while a row operation runs,
// else the active row of the cursor bound to the source table node; a row
// column reads its row variable's row.
class TORVColumnReferenceValue : public TORVLocalReferenceValue {
 public:
  TORVColumnReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVValue* GetValue() override;

 private:
  [[noreturn]] void RowValueError(const TORVString& RowName);
};

// A select column of the result row (ttSELECTCOLUMNREF): item n + 1 for
// select column n.
class TORVSelectColumnReferenceValue : public TORVLocalReferenceValue {
 public:
  TORVSelectColumnReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);

  TORVValue* GetValue() override;
};

// The sorted set of values an aggregate has seen in one group (DISTINCT
// and LIST). Values are owned; capacity grows in steps of 256.
class TORVAggregateValues : public TORVBaseObject {
 public:
  static constexpr int32_t CapacityStep = 256;

  explicit TORVAggregateValues(int32_t CharacterSetToUse);
  ~TORVAggregateValues() override;

  // True when the value was not in the set before. Without Distinct a
  // duplicate is stored again (and answers False).
  bool AddValue(TORVValue& ValueToAdd, bool Distinct);
  // Binary search; Index receives the position found or the insertion
  // position.
  bool FindValue(TORVValue& Value, int32_t& Index);
  void InsertValue(int32_t Index, std::unique_ptr<TORVValue> Value);
  void FreeValues();
  void SetValuesCapacity(int32_t Count);
  TORVString GetValuesAsString(const TORVString& Delimiter);

  int32_t GetNumValues() const { return FNumValues; }
  int32_t GetValuesCapacity() const { return FValuesCapacity; }
  TORVValue* GetValues(int32_t Index) const { return FValues[static_cast<size_t>(Index)].get(); }

 private:
  int32_t FCharacterSet;
  std::vector<std::unique_ptr<TORVValue>> FValues;
  int32_t FNumValues = 0;
  int32_t FValuesCapacity = 0;
};

// An aggregate function of a query: it accumulates in the result row of
// the current group (the item of its select column), and keeps one value
// set per result row, stored at the row's number.
class TORVAggregateFunctionReferenceValue : public TORVLocalReferenceValue {
 public:
  TORVAggregateFunctionReferenceValue(TORVLocalExprEvaluator* Evaluator, TORVExprToken* Token);
  ~TORVAggregateFunctionReferenceValue() override;

  TORVValue* GetValue() override;
  // The set of result row RowNumber, made when it has none.
  TORVAggregateValues* GetValues(int32_t RowNumber);
  // A NULL accumulator with a non-empty set is a new group on a reused row
  // number: the set is emptied first.
  bool AddValue(int32_t RowNumber, TORVValue& ValueToAdd, bool Distinct);
  TORVString GetValuesAsString(int32_t RowNumber, const TORVString& Delimiter);
  // Empties the set of result row RowNumber, if it has one.
  void FreeValues(int32_t RowNumber);

 private:
  std::unique_ptr<TORVSparseBitmap> FRowValues;
};

}  // namespace orv
