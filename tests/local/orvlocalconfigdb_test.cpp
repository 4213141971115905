#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "catalog/orvuser.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvmemfilemgr.h"
#include "storage/orvobjmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

using LocalConfigDatabaseTest = test::LocalDatabaseTest;

TEST_F(LocalConfigDatabaseTest, EachSessionHasItsOwnConfigurationDatabaseInMemoryUntilItCloses) {
  TORVLocalSessionManager* First = LoggedIn(u"A");
  TORVLocalSessionManager* Second = LoggedIn(u"B");
  TORVFileManager& Memory = Engine->GetMemoryFileManager();
  TORVString Catalogs[2];
  int32_t Index = 0;
  for (TORVLocalSessionManager* Session : {First, Second}) {
    TORVLocalDatabaseManager* Database = Session->GetConfigDatabaseManager();
    ASSERT_NE(Database, nullptr);
    EXPECT_TRUE(Database->GetOpened());
    EXPECT_EQ(Database->GetDatabase(), Session->GetConfig()->GetConfigDatabase());
    Catalogs[Index] = Database->GetCatalogManager()->GetFullFileName();
    EXPECT_EQ(Catalogs[Index], Session->GetSessionFolder() + u"Configuration/ORVDatabase.ORVCat");
    EXPECT_TRUE(Memory.FileExists(Catalogs[Index], TORVFileOptions())) << StringToUtf8(Catalogs[Index]);
    ++Index;
  }
  EXPECT_NE(Catalogs[0], Catalogs[1]);
  // Nothing of it reaches the disk.
  EXPECT_FALSE(fs::exists(Folder() / "Configuration"));

  First->Close();
  EXPECT_EQ(First->GetConfigDatabaseManager(), nullptr);
  EXPECT_FALSE(Memory.FileExists(Catalogs[0], TORVFileOptions()));
  EXPECT_TRUE(Memory.FileExists(Catalogs[1], TORVFileOptions()));
  Second->Close();
  EXPECT_FALSE(Memory.FileExists(Catalogs[1], TORVFileOptions()));
}

// A user's dependencies are found, and dropped, in every database's
// catalog, each opened for the walk (by a session that never opened it
// before) and closed again.
TEST_F(LocalConfigDatabaseTest, UserDependenciesReachEveryDatabasesCatalog) {
  TORVLocalSessionManager* Maker = LoggedIn(u"Maker");
  Maker->GetConfigManager()->BeginUpdate();
  test::AddUser(*Maker, u"u");
  Maker->GetConfigManager()->EndUpdate();
  // Each catalog numbers its objects from the same start; e's granted
  // table comes second so that the two differ.
  const std::vector<std::pair<const char16_t*, std::vector<const char16_t*>>> Databases{
      {u"d", {u"dt"}}, {u"e", {u"ex", u"et"}}};
  for (const auto& [Name, Tables] : Databases) {
    TORVLocalDatabaseManager* Database = Manager(*Maker, Name, Name);
    test::StoreTables(*Database, Tables);
    Database->Open(ltShared);
    Database->GrantPrivilege(u"u", Tables.back(), 0, PrivilegeSelect);
    Database->Close(false);
  }

  TORVLocalSessionManager* Session = LoggedIn(u"Walker");
  for (const auto& [Name, Tables] : Databases) AddDatabase(*Session, Name, Name);
  auto* User = static_cast<TORVUser*>(Session->GetConfig()->GetUsers().FindByName(u"u", true));
  User->UpdateDependencies();
  std::set<std::string> Dependents;
  TORVSelectedConfigObjects& Found = *User->GetDependencies();
  for (int32_t Index = 0; Index < Found.GetCount(); ++Index) {
    auto* Table = dynamic_cast<TORVBaseTable*>(Found.GetObjects(Index));
    if (Table != nullptr) Dependents.insert(StringToUtf8(Table->GetCatalog()->GetName() + u"." + Table->GetName()));
  }
  EXPECT_EQ(Dependents, (std::set<std::string>{"d.dt", "e.et"}));

  User->DropDependencies();
  for (const auto& [Name, Tables] : Databases) {
    SCOPED_TRACE(StringToUtf8(Name));
    auto* Container =
        static_cast<TORVDatabaseContainer*>(Session->GetConfig()->GetDatabases().FindByName(Name, true));
    EXPECT_FALSE(Session->GetDatabaseManager(Container)->GetOpened());
    // Another session reads the catalog file afresh.
    TORVLocalDatabaseManager* Reader = Manager(*LoggedIn(u"Reader" + TORVString(Name)), Name, Name);
    Reader->Open(ltShared);
    TORVPrivileges& Privileges =
        static_cast<TORVBaseTable*>(
            Reader->GetCatalog()->GetDefaultSchema()->GetBaseTables().FindByName(Tables.back(), true))
            ->GetPrivileges();
    for (int32_t Index = 0; Index < Privileges.GetCount(); ++Index)
      EXPECT_NE(StringToUtf8(Privileges.GetPrivilege(Index)->GetGrantedToName()), "u");
    Reader->Close(false);
  }
  // The walk left the session's own database as it was.
  EXPECT_TRUE(Session->GetConfigDatabaseManager()->GetOpened());
  EXPECT_EQ(Session->GetConfigDatabaseManager()->GetUseCount(), 1);
}

}  // namespace
}  // namespace orv
