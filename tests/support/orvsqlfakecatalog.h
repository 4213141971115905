// A small in-memory catalog for compiler tests: databases with typed tables,
// views and temporary tables, routines with parameters, text indexes and
// collations. Names compare without regard to case.
#pragma once

#include <cstdint>
#include <vector>

#include "base/orvtype.h"
#include "sql/orvexprcatalog.h"

namespace orv::test {

struct TORVFakeTextIndex {
  TORVString Column;
  int32_t Collation = 0;
};

struct TORVFakeTable {
  TORVString Schema = u"Default";
  TORVString Name;
  bool View = false;
  bool Temporary = false;
  std::vector<TORVColumnDescriptor> Columns;
  std::vector<TORVFakeTextIndex> TextIndexes;

  const TORVColumnDescriptor* FindColumn(const TORVString& ColumnName) const;
};

struct TORVFakeRoutine {
  TORVString Schema = u"Default";
  TORVString Name;
  bool Procedure = false;
  std::vector<TORVColumnDescriptor> Params;
  // A function's RETURNS type; a call bound to the function takes it.
  TORVColumnDescriptor Result;
};

struct TORVFakeDatabase {
  TORVString Name;
  std::vector<TORVFakeTable> Tables;
  std::vector<TORVFakeRoutine> Routines;
};

struct TORVFakeCollation {
  TORVString Name;
  int32_t ID = 0;
};

class TORVFakeCatalog {
 public:
  TORVFakeDatabase& AddDatabase(const TORVString& Name);
  TORVFakeTable& AddTable(const TORVString& Database, const TORVString& Name,
                          std::vector<TORVColumnDescriptor> Columns);
  TORVFakeRoutine& AddRoutine(const TORVString& Database, const TORVString& Name, bool Procedure,
                              std::vector<TORVColumnDescriptor> Params);

  TORVFakeDatabase* FindDatabase(const TORVString& Name);
  // With IncludeTemporary the temporary tables and views of the schema are
  // searched first; without, they are not seen at all. An empty schema is
  // "Default".
  const TORVFakeTable* FindTable(const TORVString& Database, const TORVString& Schema, const TORVString& Name,
                                 bool IncludeTemporary);
  const TORVFakeRoutine* FindRoutine(const TORVString& Database, const TORVString& Schema,
                                     const TORVString& Name, bool Procedure);
  const TORVFakeCollation* FindCollation(const TORVString& Name) const;

  // A column description; positions follow the order of the list given to
  // AddTable or AddRoutine.
  static TORVColumnDescriptor Column(const TORVString& Name, int32_t DataType, int32_t Length = 0,
                                     int32_t Scale = 0, int32_t Collation = 0);

  std::vector<TORVFakeDatabase> Databases;
  std::vector<TORVFakeCollation> Collations;
};

}  // namespace orv::test
