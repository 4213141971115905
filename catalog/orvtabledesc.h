// How a collection class describes the system-information table that lists
// its objects: the columns and indexes, as data. The table's hidden
// "__RowID" column comes first, so index column positions count from 1 for
// the first described column. One routine of the table classes applies a
// description to a table; each family only writes its description.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/orvtype.h"
#include "core/orvtypefunc.h"

namespace orv {

class TORVConfig;
class TORVConfigObjects;

struct TORVTableColumnDef {
  const char16_t* Name;
  int32_t DataType;
  int32_t SubType = 0;
  int32_t Length = 0;
  int32_t Scale = 0;
  bool IgnoreCase = false;
};

// An index of type 0 over the columns at Positions (1 = the first described
// column).
struct TORVTableIndexDef {
  const char16_t* Name;
  std::vector<int32_t> Positions;
};

// Column shorthands for the descriptions: character columns, large text
// columns and columns of a fixed-size type.
inline TORVTableColumnDef TableText(const char16_t* Name, int32_t Length, bool IgnoreCase) {
  return {Name, dtCharacter, stVarChar, Length, 0, IgnoreCase};
}
inline TORVTableColumnDef TableClob(const char16_t* Name, bool IgnoreCase) {
  return {Name, dtLargeObject, stClob, 0, 0, IgnoreCase};
}
inline TORVTableColumnDef TableColumn(const char16_t* Name, int32_t DataType, int32_t Scale = 0) {
  return {Name, DataType, 0, 0, Scale, false};
}

struct TORVTableDescription {
  std::vector<TORVTableColumnDef> Columns;
  std::vector<TORVTableIndexDef> Indexes;
};

// A collection class where a class is passed around: it makes a collection
// of the class and names and describes its table (no table when the name is
// empty).
struct TORVConfigObjectsClass {
  std::function<TORVConfigObjects*(TORVConfig* OwnerConfig)> Create;
  const char16_t* TableName = u"";
  const TORVTableDescription* Description = nullptr;
};

}  // namespace orv
