// The value classes the evaluator puts into nodes besides the plain
// contained value: the value of a CAST to a declared length, and the value
// of an IN test over a list of constants and dynamic parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/orvcontainedvalue.h"
#include "core/orvvalues.h"
#include "sql/orvexprtoken.h"

namespace orv {

// A CAST value keeps at most its declared length of a variable-length text
// or byte string; storing a longer one cuts it instead of raising.
class TORVCastContainedValue : public TORVContainedValue {
 public:
  explicit TORVCastContainedValue(int32_t CharacterSetToUse);
};

// The value of a row value such as (a, b): NULL only when every element is;
// the elements keep their own values in the argument nodes of FToken, and
// GetAnyNull answers whether any of them is NULL, which is what
// comparisons and predicates test.
class TORVRowValueValue : public TORVContainedValue {
 public:
  TORVRowValueValue(int32_t CharacterSetToUse, TORVExprToken* Token);

  bool GetAnyNull() override;
  // Against another row value, element by element, the first difference
  // deciding (each element with its own node's collation and the row
  // node's partial length); -1 against anything else or without elements.
  int32_t Compare(TORVValue& ValueToCompare, int32_t PartialLength, bool CaseInsensitive,
                  int32_t CompareCollation) override;

 private:
  TORVExprToken* FToken;
};

// A list that refers to the values of the IN list's own nodes: it never
// frees them and never copies them.
class TORVInValues : public TORVValues {
 public:
  explicit TORVInValues(int32_t CharacterSetToUse);
};

// The value of an IN test whose list is made only of constants and dynamic
// parameters, so that the list can be sorted once and searched per row.
// FToken is the IN node (argument 0 the tested value); the list holds the
// values of the list items. A parameter's value can change between
// executions of a prepared statement, which would leave the sorted list
// answering from the old values: the list keeps a copy of each parameter's
// value as it was when the list was built, so that a change is seen.
class TORVInContainedValue : public TORVContainedValue {
 public:
  TORVInContainedValue(int32_t CharacterSetToUse, TORVExprToken* Token);
  ~TORVInContainedValue() override;

  int32_t GetNumValues() const { return FValues->GetCount(); }
  void AddValue(TORVValue* Value);
  // Empties the list without freeing the items' values.
  void ClearValues();
  // Sorted and searched with the collation of the tested value's node.
  void SortValues();
  bool FindValue(TORVValue& Value);
  // Copies the current values of the parameter items; after the list is
  // built.
  void KeepParameterValues();
  // Whether a parameter item's value differs from its copy (with the
  // value's collation, NULL equal only to NULL), or the item has no value.
  bool ParameterValuesChanged();

  TORVExprToken* GetToken() const { return FToken; }

 private:
  int32_t SearchCollation() const;

  TORVExprToken* FToken;
  std::unique_ptr<TORVInValues> FValues;
  // One per parameter item, in list order.
  std::vector<std::unique_ptr<TORVContainedValue>> FParameterCopies;
};

}  // namespace orv
