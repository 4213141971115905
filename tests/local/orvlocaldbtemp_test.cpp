#include <gtest/gtest.h>

#include <memory>

#include "catalog/orvcatalog.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "local/orvlocaldbmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"

namespace orv {
namespace {

using test::LocalDatabaseTest;

class LocalTemporaryTableTest : public LocalDatabaseTest {
 protected:
  // A temporary table named Name put straight into Database's catalog.
  static TORVBaseTable* PutTemporary(TORVLocalDatabaseManager& Database, const TORVString& Name,
                                     bool Maintenance = false) {
    TORVTemporaryTables& Tables = Database.GetCatalog()->GetDefaultSchema()->GetTemporaryTables();
    std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject()));
    Table->SetName(Name);
    Table->SetInternalName(Name + u"_file");
    Table->SetMaintenance(Maintenance);
    Tables.Add(Table.get());
    return Table.release();
  }
};

TEST_F(LocalTemporaryTableTest, LookupFindsTemporaryTablesOnlyAndSkipsWorkingCopies) {
  TORVLocalDatabaseManager* Database = Manager(*LoggedIn(), u"d", u"d");
  Database->Open(ltShared);
  test::NewTable(*Database->GetCatalog(), u"stored");
  TORVBaseTable* Copy = PutTemporary(*Database, u"stored", true);
  TORVBaseTable* Hiding = PutTemporary(*Database, u"Shadow");
  EXPECT_EQ(Database->FindTemporaryTable(u"stored"), nullptr);
  EXPECT_EQ(Database->FindTemporaryTable(u"shadow"), Hiding);
  EXPECT_EQ(Database->FindTemporaryTable(u"nothing"), nullptr);
  TORVBaseTable* Plain = PutTemporary(*Database, u"Other");
  EXPECT_EQ(Database->FindTemporaryTable(u"OTHER"), Plain);
  EXPECT_NE(Copy, Plain);
  Database->Close(false);
}

}  // namespace
}  // namespace orv
