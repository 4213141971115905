// The value classes the evaluator puts into nodes besides the plain
// contained value: the value of a CAST to a declared length, and the value
// of an IN or NOT IN test over a list of constants and dynamic parameters.
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

// The value of an IN or NOT IN test whose list is made only of constants and
// dynamic parameters, so that the list can be sorted once and searched per
// row. FToken is the test's node (argument 0 the tested value); the list
// holds the values of the list items. A parameter's value can change between
// executions of a prepared statement, which would leave the sorted list
// answering from the old values: the list keeps a copy of each parameter's
// value as it was when the list was built, so that a change is seen.
//
// When every item is a whole number or a decimal, or every item a Float,
// Compare between two items is a plain numeric order, so the list also
// keeps the items as sorted 64-bit keys (whole numbers, ten-thousandths
// when a decimal is among them, or doubles in Compare's order) and a
// tested number is searched there without a virtual call per step when
// Compare reads it against the items by that same order. Any other item or
// tested type takes the general search; the keys are made and dropped with
// the sorted list.
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
  // Whether an item compares equal to Value, as a search with Compare
  // answers.
  bool FindValue(TORVValue& Value);
  // The items that are dynamic parameters, in list order: the only ones
  // whose value can change once the list is built.
  const std::vector<TORVExprToken*>& GetParameterItems() const { return FParameterItems; }
  // Copies the current values of the parameter items; after the list is
  // built.
  void KeepParameterValues();
  // Whether a parameter item's value or type differs from its copy (the
  // value with its collation, NULL equal only to NULL), or the item has no
  // value.
  bool ParameterValuesChanged();

  TORVExprToken* GetToken() const { return FToken; }

 private:
  // How the keys read a number: not at all (no keys), as a whole number,
  // in ten-thousandths (the unit of decimals), or as a double.
  enum TORVInKeyUnit : uint8_t { kuNone, kuWhole, kuScaled, kuFloat };
  // What a tested value is to the keys.
  enum TORVInKeyProbe : uint8_t { kpGeneral, kpNoMatch, kpKey };

  int32_t SearchCollation() const;
  void BuildKeys();
  static int64_t FloatKey(double Value);
  TORVInKeyProbe KeyOf(TORVValue& Value, int64_t& Key);

  TORVExprToken* FToken;
  std::unique_ptr<TORVInValues> FValues;
  std::vector<TORVExprToken*> FParameterItems;
  // One per parameter item, in list order.
  std::vector<std::unique_ptr<TORVContainedValue>> FParameterCopies;
  // Ascending, duplicates kept; empty unless FKeyUnit is not kuNone.
  std::vector<int64_t> FKeys;
  TORVInKeyUnit FKeyUnit = kuNone;
};

}  // namespace orv
