// Indexes over a small column list and keys built apart from any page, for
// the tests of index keys and index pages.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "core/orvcontainedvalue.h"
#include "storage/orvindexkey.h"

namespace orv {

// A column list of Integer "n", VarChar(6) "name", Char(3) "code" and
// BigInt "big" in CharacterSet, and indexes made over its columns.
class TTestIndexColumns {
 public:
  explicit TTestIndexColumns(int32_t CharacterSet);

  // An index of IndexType over the columns at Positions; Descending gives
  // the direction of each key column (ascending when shorter).
  std::unique_ptr<TORVIndex> MakeIndex(int32_t IndexType, std::initializer_list<int32_t> Positions,
                                       std::initializer_list<bool> Descending = {});

  TORVColumns Columns;
  int32_t CharacterSet;
};

// Search or insert values of an index, holding its own values.
class TTestKeyValues {
 public:
  TTestKeyValues(int32_t CharacterSet, TORVIndex* Index) : Key(CharacterSet, Index), FCharacterSet(CharacterSet) {}

  TTestKeyValues& Integer(int32_t Value);
  TTestKeyValues& Text(const TORVString& Value);
  TTestKeyValues& Null(int32_t DataType);
  TTestKeyValues& RowID(int32_t Value) {
    Key.SetRowID(Value);
    return *this;
  }

  TORVIndexKeyValues Key;

 private:
  TORVValue& Add(int32_t DataType);

  int32_t FCharacterSet;
  std::vector<std::unique_ptr<TORVContainedValue>> FValues;
};

}  // namespace orv
