// Row values over a column list made in a benchmark, without a catalog:
// large objects and computed columns are never reached.
#pragma once

#include <cstdint>

#include "catalog/orvcolumns.h"
#include "catalog/orvrowvalues.h"
#include "core/orvstream.h"

namespace orv::bench {

class TBenchRowValues : public TORVRowValues {
 public:
  using TORVRowValues::TORVRowValues;
  void ReadBlobStream(int32_t, TORVMemoryStream&, bool) override {}
  void WriteBlobStream(int32_t, int32_t&, TORVMemoryStream&, int32_t, int32_t&) override {}
  void Evaluate(TORVExprToken*, TORVValue&) override {}
};

// A column with the next ID, appended to Columns.
inline void AddColumn(TORVColumns& Columns, const char16_t* Name, int32_t DataType, int32_t SubType,
                      int32_t Length) {
  auto* Column = static_cast<TORVColumn*>(Columns.GetNewObject());
  Column->SetName(Name);
  Column->SetID(Columns.GetCount() + 1);
  Column->SetDataType(DataType);
  Column->SetSubType(SubType);
  if (Length != 0) Column->SetLength(Length);
  Columns.Add(Column);
}

}  // namespace orv::bench
