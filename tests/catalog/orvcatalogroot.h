// A catalog under a configuration root as a database manager sets it up,
// with the tables the binding tests name.
#pragma once

#include <memory>

#include "catalog/orvcatalog.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvtypefunc.h"
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

// A new database named Name with a new catalog attached; the database owns
// the catalog.
inline TORVCatalog* AttachCatalog(TORVConfig& Config, const TORVString& Name, TORVUser* Owner = nullptr) {
  TORVDatabaseContainer* Database = NewDatabase(Config, Name, Owner != nullptr ? Owner : Config.GetSystemUser());
  Database->SetCatalog(std::make_unique<TORVCatalog>(&Config));
  return Database->GetCatalog();
}

}  // namespace orv::test
