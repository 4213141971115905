// A catalog under a configuration root as a database manager sets it up,
// with the tables the binding tests name.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvenv.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/support/orvrowfakes.h"

namespace orv::test {

// A base table of the Default schema with the hidden "__RowID" first,
// owned by Owner (System when nil) with the default privileges.
inline TORVBaseTable* NewTable(TORVCatalog& Catalog, const TORVString& Name, TORVUser* Owner = nullptr) {
  TORVBaseTables& Tables = Catalog.GetDefaultSchema()->GetBaseTables();
  std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject(Owner)));
  Table->SetName(Name);
  Tables.Add(Table.get());
  TORVBaseTable* Added = Table.release();
  AddTestColumn(Added->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
  Added->GrantDefaultPrivileges();
  return Added;
}

// t (a INTEGER, b VARCHAR(10)).
inline TORVBaseTable* NewTableT(TORVCatalog& Catalog) {
  TORVBaseTable* Table = NewTable(Catalog, u"t");
  AddTestColumn(Table->GetColumns(), u"a", dtInteger);
  AddTestColumn(Table->GetColumns(), u"b", dtCharacter, stVarChar, 10);
  return Table;
}

// An index of IndexType named Name on the columns named Keys of Table;
// Descending gives each key column's direction (ascending when shorter).
inline TORVIndex* AddTestIndex(TORVBaseTable* Table, const TORVString& Name, int32_t IndexType,
                               std::initializer_list<const char16_t*> Keys,
                               std::initializer_list<bool> Descending = {}) {
  TORVIndexes& Indexes = Table->GetIndexes();
  std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Indexes.GetNewObject()));
  Index->SetName(Name);
  Index->SetIndexType(IndexType);
  TORVIndexColumns& Columns = *Index->GetIndexColumns();
  auto Direction = Descending.begin();
  for (const char16_t* Key : Keys) {
    std::unique_ptr<TORVIndexColumn> Column(static_cast<TORVIndexColumn*>(Columns.GetNewObject()));
    Column->SetSourceColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(Key, true)));
    if (Direction != Descending.end()) Column->SetDescending(*Direction++);
    Columns.Add(Column.release());
  }
  Indexes.Add(Index.get());
  return Index.release();
}

// One parameter of a routine that a test adds.
struct TParamSpec {
  int32_t Mode;
  TORVString Name;
  int32_t DataType;
  int32_t SubType = 0;
  int32_t Length = 0;
};

// A procedure or function of List (a schema's procedures or functions) with
// Params, returning ResultType unless it is 0, a lock slot of Catalog and
// the default privileges.
template <class TList>
TORVRoutine* AddRoutine(TORVCatalog& Catalog, TList& List, const TORVString& Name, const TORVString& Text,
                        const std::vector<TParamSpec>& Params, int32_t ResultType = 0) {
  std::unique_ptr<TORVRoutine> Routine(static_cast<TORVRoutine*>(List.GetNewObject(nullptr)));
  Routine->SetName(Name);
  for (const TParamSpec& Spec : Params) {
    auto* Param = static_cast<TORVRoutineParam*>(Routine->GetParams().GetNewObject());
    Param->SetParamType(Spec.Mode);
    Param->SetName(Spec.Name);
    Param->SetDataType(Spec.DataType);
    Param->SetSubType(Spec.SubType);
    Param->SetLength(Spec.Length);
    Routine->GetParams().Add(Param);
  }
  if (ResultType != 0) {
    Routine->GetResultParam().SetParamType(rpResult);
    Routine->GetResultParam().SetName(u"Result");
    Routine->GetResultParam().SetDataType(ResultType);
  }
  Routine->SetDefinitionText(Text);
  Routine->SetLockSlot(Catalog.GetNewRoutineLockSlot());
  List.Add(Routine.get());
  Routine->GrantDefaultPrivileges();
  return Routine.release();
}

// A new database named Name with a new catalog attached; the database owns
// the catalog.
inline TORVCatalog* AttachCatalog(TORVConfig& Config, const TORVString& Name, TORVUser* Owner = nullptr) {
  TORVDatabaseContainer* Database = NewDatabase(Config, Name, Owner != nullptr ? Owner : Config.GetSystemUser());
  Database->SetCatalog(std::make_unique<TORVCatalog>(&Config));
  return Database->GetCatalog();
}

// A configuration with the whole compiler and its collations, and the
// databases Main and Other, each with a catalog of its own.
struct TCompilingCatalogs {
  TCompilingCatalogs() : Config(NewRoot()) {
    Config->SetParser(&Parser);
    Config->SetValidater(&Validater);
    Config->SetBuilder(&Builder);
    LoadConfigCollations(Config->GetCollations(), CharacterSetUnicode, Environment());
    Catalog = AttachCatalog(*Config, u"Main");
    Other = AttachCatalog(*Config, u"Other");
  }

  TORVExprParser Parser;
  TORVExprValidater Validater;
  TORVExprBuilder Builder;
  std::unique_ptr<TORVConfig> Config;
  TORVCatalog* Catalog = nullptr;
  TORVCatalog* Other = nullptr;
};

}  // namespace orv::test
