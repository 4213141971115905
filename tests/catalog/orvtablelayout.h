// One line per information table description, so that a test can state a
// table's whole layout as its readers rely on it.
#pragma once

#include <cstdint>
#include <string>

#include "base/orvutf8.h"
#include "catalog/orvtabledesc.h"
#include "core/orvtypefunc.h"

namespace orv::test {

// "Name Type(Length).Scale ci" per column (a large object shows its
// subtype after a slash) and "Name(positions)" per index, after a bar.
inline std::string Layout(const TORVTableDescription& Description) {
  std::string Text;
  for (const TORVTableColumnDef& Column : Description.Columns) {
    if (!Text.empty()) Text += ", ";
    Text += StringToUtf8(Column.Name) + " " + std::to_string(Column.DataType);
    if (Column.DataType == dtLargeObject) Text += "/" + std::to_string(Column.SubType);
    if (Column.Length != 0) Text += "(" + std::to_string(Column.Length) + ")";
    if (Column.Scale != 0) Text += "." + std::to_string(Column.Scale);
    if (Column.IgnoreCase) Text += " ci";
  }
  Text += " |";
  for (const TORVTableIndexDef& Index : Description.Indexes) {
    Text += " " + StringToUtf8(Index.Name) + "(";
    for (int32_t Position : Index.Positions) Text += std::to_string(Position);
    Text += ")";
  }
  return Text;
}

}  // namespace orv::test
