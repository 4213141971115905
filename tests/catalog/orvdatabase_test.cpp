#include "catalog/orvdatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "catalog/orvuser.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::ErrorOf;

TEST(DatabaseContainer, CreateTextShowsWhereTheDatabaseLivesUnlessRestricted) {
  auto Config = test::NewRoot();
  TORVDatabaseContainer* Disk = test::NewDatabase(*Config, u"Sales", Config->GetAdminUser());
  Disk->SetPath(u"/data/O'Brien");
  Disk->SetEncryptedCatalog(true);
  Disk->SetDescription(u"Sales figures\r\n\r\n");
  EXPECT_EQ(Disk->GetCreateSQL(false, false, false),
            u"CREATE DATABASE \"Sales\"\r\nPATH '/data/O''Brien'\r\nENCRYPTED CATALOG\r\nDESCRIPTION 'Sales figures'");
  EXPECT_EQ(Disk->GetCreateSQL(false, false, true),
            u"CREATE DATABASE \"Sales\"\r\nPATH ''\r\nENCRYPTED CATALOG\r\nDESCRIPTION 'Sales figures'");
  EXPECT_EQ(Disk->GetDropSQL(false, false), u"DROP DATABASE \"Sales\"");

  TORVDatabaseContainer* Memory = test::NewDatabase(*Config, u"Scratch", Config->GetAdminUser());
  Memory->SetInMemory(true);
  Memory->SetAttributes(u"Tier=2");
  EXPECT_EQ(Memory->GetCreateSQL(false, false, false),
            u"CREATE DATABASE \"Scratch\"\r\nIN MEMORY\r\nUNENCRYPTED CATALOG\r\nATTRIBUTES 'Tier=2'");
}

// A database Sales whose catalog holds table t owned by Bob; the session's
// catalog events on Sales are recorded, and the other databases' catalogs
// are opened as the session would.
class DatabaseCatalogTest : public ::testing::Test {
 protected:
  DatabaseCatalogTest() : Config(test::NewRoot()) {
    Bob = test::NewUser(*Config, u"Bob");
    Catalog = test::AttachCatalog(*Config, u"Sales");
    Sales = Catalog->GetDatabase();
    Table = test::NewTable(*Catalog, u"t", Bob);
    Config->SetOnBeginReadCatalog([this](TORVDatabaseContainer* Database) { Record(Database, "r"); });
    Config->SetOnEndReadCatalog([this](TORVDatabaseContainer* Database) { Record(Database, "R"); });
    Config->SetOnBeginUpdateCatalog([this](TORVDatabaseContainer* Database) { Record(Database, "u"); });
    Config->SetOnEndUpdateCatalog([this](TORVDatabaseContainer* Database) { Record(Database, "U"); });
    Config->SetOnCancelUpdateCatalog([this](TORVDatabaseContainer* Database, const std::exception* Error) {
      Events += "c";
      Cancelled.push_back(Database->GetName() + u": " +
                          (Error != nullptr ? Utf8ToString(Error->what()) : TORVString(u"no error")));
    });
  }

  void Record(TORVDatabaseContainer* Database, const char* Event) {
    if (Database == Sales)
      Events += Event;
    else
      test::OpenCatalog(Database);
  }

  static TORVString Utf8ToString(const char* Text) { return TORVString(Text, Text + std::char_traits<char>::length(Text)); }

  std::unique_ptr<TORVConfig> Config;
  TORVUser* Bob = nullptr;
  TORVCatalog* Catalog = nullptr;
  TORVDatabaseContainer* Sales = nullptr;
  TORVBaseTable* Table = nullptr;
  std::string Events;
  std::vector<TORVString> Cancelled;
};

TEST_F(DatabaseCatalogTest, RenamingAUserRenamesTheOwnerOfItsTablesInsideTheCatalog) {
  test::Rename(*Bob, u"Robert");
  EXPECT_EQ(Table->GetOwnerName(), u"Robert");
  EXPECT_GT(test::GrantsTo(*Table, u"Robert"), 0);
  EXPECT_EQ(test::GrantsTo(*Table, u"Bob"), 0);
  EXPECT_EQ(Events, "uU");
  EXPECT_TRUE(Cancelled.empty());
}

TEST_F(DatabaseCatalogTest, DroppingAUserRemovesWhatWasGrantedToItInsideTheCatalog) {
  Table->GrantPrivilege(Config->GetSystemUser(), Bob, PrivilegeSelect);
  TORVUser* Carol = test::NewUser(*Config, u"Carol");
  Table->GrantPrivilege(Config->GetSystemUser(), Carol, PrivilegeSelect);
  ASSERT_GT(test::GrantsTo(*Table, u"Bob"), 0);
  test::Drop(Bob);
  EXPECT_EQ(test::GrantsTo(*Table, u"Bob"), 0);
  EXPECT_EQ(test::GrantsTo(*Table, u"Carol"), 1);
  EXPECT_EQ(Table->GetOwnerName(), u"System");
  EXPECT_TRUE(Cancelled.empty());
}

TEST_F(DatabaseCatalogTest, AddingDependenciesWithoutACatalogFailsAndStillEndsTheRead) {
  std::unique_ptr<TORVCatalog> Detached = Sales->ReleaseCatalog();
  EXPECT_EQ(Detached->GetParent(), nullptr);
  Events.clear();
  EXPECT_EQ(ErrorOf([&] { Sales->AddDependenciesToObject(Bob); }),
            "100 There is an error in the metadata for the database Sales (The catalog was not read properly)");
  EXPECT_EQ(Events, "rR");
}

TEST_F(DatabaseCatalogTest, ARenameThatCannotReachTheCatalogGoesOnAndReportsTheDatabase) {
  Sales->SetCatalog(nullptr);
  Events.clear();
  Sales->RenameDependenciesToObject(Bob, u"Robert");
  EXPECT_EQ(Events, "uc");
  ASSERT_EQ(Cancelled.size(), 1u);
  EXPECT_EQ(Cancelled[0],
            u"Sales: Orvenmark Error #100 There is an error in the metadata for the database Sales (The catalog was "
            u"not read properly)");

  // A walk that fails inside the catalog is reported the same way.
  Catalog = test::AttachCatalog(*Config, u"Archive", Bob);
  Config->SetOnBeginUpdateCatalog([](TORVDatabaseContainer* Database) {
    if (Database->GetName() == u"Archive") throw EORVException(ORV_LOCK_ERROR.Code, u"locked by another session");
    test::OpenCatalog(Database);
  });
  Cancelled.clear();
  test::Rename(*Bob, u"Robert");
  EXPECT_EQ(Bob->GetName(), u"Robert");
  ASSERT_EQ(Cancelled.size(), 1u);
  EXPECT_EQ(Cancelled[0].substr(0, 9), u"Archive: ");
}

TEST_F(DatabaseCatalogTest, LocksAndTransactionsReachTheDefaultSchema) {
  TORVSchema* Schema = Catalog->GetDefaultSchema();
  Sales->Lock(ltWrite);
  EXPECT_TRUE(Sales->GetLockState().Contains(lsWriteLocked));
  EXPECT_TRUE(Schema->GetLockState().Contains(lsWriteLocked));
  Sales->Unlock(ltWrite);
  EXPECT_FALSE(Sales->GetLockState().Contains(lsWriteLocked));
  EXPECT_FALSE(Schema->GetLockState().Contains(lsWriteLocked));

  Sales->IncTransactionLockCount();
  Sales->StartTransaction();
  EXPECT_EQ(Schema->GetTransactionLockCount(), 1);
  EXPECT_TRUE(Schema->GetObjectState().Contains(osInTransaction));
  Sales->EndTransaction();
  Sales->DecTransactionLockCount();
  EXPECT_EQ(Schema->GetTransactionLockCount(), 0);
  EXPECT_EQ(Sales->GetTransactionLockCount(), 0);
  EXPECT_FALSE(Schema->GetObjectState().Contains(osInTransaction));
}

TEST_F(DatabaseCatalogTest, TheContainerOwnsItsCatalogAndCountsItsMemory) {
  const int32_t WithCatalog = Sales->GetMemorySize();
  const int32_t CountWithCatalog = Sales->GetMemoryCount();
  EXPECT_EQ(Catalog->GetParent(), Sales);
  std::unique_ptr<TORVCatalog> Detached = Sales->ReleaseCatalog();
  EXPECT_EQ(Sales->GetCatalog(), nullptr);
  EXPECT_EQ(Sales->GetMemorySize(), WithCatalog - Detached->GetMemorySize());
  EXPECT_EQ(Sales->GetMemoryCount(), CountWithCatalog - Detached->GetMemoryCount());
}

}  // namespace
}  // namespace orv
