#include "tests/support/orvsqlfakecatalog.h"

#include <stdexcept>
#include <utility>

#include "core/orvstrings.h"

namespace orv::test {

namespace {

void NumberColumns(std::vector<TORVColumnDescriptor>& Columns) {
  for (size_t I = 0; I < Columns.size(); ++I) Columns[I].Position = static_cast<int32_t>(I);
}

TORVString SchemaOrDefault(const TORVString& Schema) { return Schema.empty() ? TORVString(u"Default") : Schema; }

}  // namespace

const TORVColumnDescriptor* TORVFakeTable::FindColumn(const TORVString& ColumnName) const {
  for (const TORVColumnDescriptor& Column : Columns) {
    if (SameString(Column.Name, ColumnName)) return &Column;
  }
  return nullptr;
}

TORVFakeDatabase& TORVFakeCatalog::AddDatabase(const TORVString& Name) {
  Databases.push_back(TORVFakeDatabase{Name, {}, {}});
  return Databases.back();
}

TORVFakeTable& TORVFakeCatalog::AddTable(const TORVString& Database, const TORVString& Name,
                                         std::vector<TORVColumnDescriptor> Columns) {
  TORVFakeDatabase* Db = FindDatabase(Database);
  if (Db == nullptr) throw std::invalid_argument("no such fake database");
  NumberColumns(Columns);
  TORVFakeTable Table;
  Table.Name = Name;
  Table.Columns = std::move(Columns);
  Db->Tables.push_back(std::move(Table));
  return Db->Tables.back();
}

TORVFakeRoutine& TORVFakeCatalog::AddRoutine(const TORVString& Database, const TORVString& Name, bool Procedure,
                                             std::vector<TORVColumnDescriptor> Params) {
  TORVFakeDatabase* Db = FindDatabase(Database);
  if (Db == nullptr) throw std::invalid_argument("no such fake database");
  NumberColumns(Params);
  TORVFakeRoutine Routine;
  Routine.Name = Name;
  Routine.Procedure = Procedure;
  Routine.Params = std::move(Params);
  Db->Routines.push_back(std::move(Routine));
  return Db->Routines.back();
}

TORVFakeDatabase* TORVFakeCatalog::FindDatabase(const TORVString& Name) {
  for (TORVFakeDatabase& Db : Databases) {
    if (SameString(Db.Name, Name)) return &Db;
  }
  return nullptr;
}

const TORVFakeTable* TORVFakeCatalog::FindTable(const TORVString& Database, const TORVString& Schema,
                                                const TORVString& Name, bool IncludeTemporary) {
  TORVFakeDatabase* Db = FindDatabase(Database);
  if (Db == nullptr) return nullptr;
  TORVString InSchema = SchemaOrDefault(Schema);
  for (bool Temporary : {true, false}) {
    if (Temporary && !IncludeTemporary) continue;
    for (const TORVFakeTable& Table : Db->Tables) {
      if (Table.Temporary == Temporary && SameString(Table.Schema, InSchema) && SameString(Table.Name, Name)) {
        return &Table;
      }
    }
  }
  return nullptr;
}

const TORVFakeRoutine* TORVFakeCatalog::FindRoutine(const TORVString& Database, const TORVString& Schema,
                                                    const TORVString& Name, bool Procedure) {
  TORVFakeDatabase* Db = FindDatabase(Database);
  if (Db == nullptr) return nullptr;
  TORVString InSchema = SchemaOrDefault(Schema);
  for (const TORVFakeRoutine& Routine : Db->Routines) {
    if (Routine.Procedure == Procedure && SameString(Routine.Schema, InSchema) && SameString(Routine.Name, Name)) {
      return &Routine;
    }
  }
  return nullptr;
}

const TORVFakeCollation* TORVFakeCatalog::FindCollation(const TORVString& Name) const {
  for (const TORVFakeCollation& Collation : Collations) {
    if (SameString(Collation.Name, Name)) return &Collation;
  }
  return nullptr;
}

TORVColumnDescriptor TORVFakeCatalog::Column(const TORVString& Name, int32_t DataType, int32_t Length,
                                             int32_t Scale, int32_t Collation) {
  TORVColumnDescriptor Result;
  Result.Name = Name;
  Result.Description = Name + u" column";
  Result.DataType = DataType;
  Result.Length = Length;
  Result.Scale = Scale;
  Result.Collation = Collation;
  return Result;
}

}  // namespace orv::test
