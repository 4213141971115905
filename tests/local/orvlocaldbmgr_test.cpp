#include "local/orvlocaldbmgr.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvuser.h"
#include "core/orvliteral.h"
#include "core/orvlocktype.h"
#include "local/orvlocalsessionmgr.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"
#include "tests/local/orvlocalsessiontest.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::AdminName;
using test::DatabaseEvents;
using test::LocalDatabaseTest;
using test::AdminPassword;
using test::ErrorOf;
using test::ReadBytes;
using test::WriteBytes;
using test::StoredEvents;
using test::TStoredEvent;

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Files

TEST_F(LocalDatabaseTest, MissingRelativeFolderIsMadeUnderConfigPathWithOneWarning) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"data/d");
  const fs::path DatabaseFolder = Folder() / "data" / "d";
  EXPECT_EQ(Database->GetFullPath(), PathName("data/d"));

  Database->Open(ltShared);
  EXPECT_TRUE(Database->GetOpened());
  EXPECT_TRUE(fs::exists(DatabaseFolder / "ORVDatabase.ORVCat"));
  EXPECT_TRUE(fs::exists(DatabaseFolder / "ORVDatabase.ORVLck"));
  Database->Close(false);
  EXPECT_FALSE(Database->GetOpened());

  std::vector<TStoredEvent> Events = DatabaseEvents(*Session);
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].Category, 1);
  EXPECT_EQ(Events[0].FunctionCode, 33);
  EXPECT_EQ(Events[0].ErrorCode, 0);
  EXPECT_EQ(Events[0].Description, "The database path " + StringToUtf8(PathName("data/d")) +
                                       " was not present on disk and was automatically created");

  Database->Open(ltShared);
  Database->Close(false);
  EXPECT_EQ(DatabaseEvents(*Session).size(), 1u);
}

TEST_F(LocalDatabaseTest, CatalogFileMissingFromAnExistingFolderIsReported) {
  fs::create_directories(Folder() / "d");
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  Database->Open(ltShared);
  Database->Close(false);
  std::vector<TStoredEvent> Events = DatabaseEvents(*Session);
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].Category, 1);
  EXPECT_EQ(Events[0].Description, "The database catalog file " + StringToUtf8(PathName("d/ORVDatabase.ORVCat")) +
                                       " was not present on disk and was automatically created");
}

TEST_F(LocalDatabaseTest, FolderThatCannotBeMadeGivesPathError) {
  WriteBytes(Folder() / "plain", "not a folder");
  TORVLocalSessionManager* Session = LoggedIn();
  const TORVString Path = PathName("plain/d");
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", Path);
  EXPECT_EQ(ErrorOf([&] { Database->Open(ltShared); }),
            "401 The path specified for the database d does not exist (" + StringToUtf8(Path) + ")");
  EXPECT_FALSE(Database->GetOpened());
  EXPECT_EQ(Database->GetUseCount(), 0);
}

TEST_F(LocalDatabaseTest, CatalogCutShortRaisesAndIsLeftAsItWas) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  Database->Open(ltShared);
  Database->Close(false);
  const fs::path Catalog = Folder() / "d" / "ORVDatabase.ORVCat";
  const std::string Whole = ReadBytes(Catalog);
  ASSERT_GT(Whole.size(), 60u);
  int32_t Round = 0;
  for (size_t Keep : {Whole.size() - 8, size_t{60}, size_t{20}}) {
    SCOPED_TRACE(Keep);
    const std::string Cut = Whole.substr(0, Keep);
    WriteBytes(Catalog, Cut);
    // A session that has not read the catalog before.
    TORVLocalSessionManager* Reader = LoggedIn(u"R" + IntToString(Round++));
    TORVLocalDatabaseManager* Damaged = Manager(*Reader, u"d", u"d");
    const std::string Error = ErrorOf([&] { Damaged->Open(ltShared); });
    EXPECT_EQ(Error.substr(0, 4), "100 ") << Error;
    EXPECT_FALSE(Damaged->GetOpened());
    EXPECT_EQ(Damaged->GetUseCount(), 0);
    EXPECT_FALSE(Damaged->GetDatabaseLockManager()->GetOpened());
    EXPECT_FALSE(Damaged->GetCatalogManager()->GetOpened());
    EXPECT_EQ(ReadBytes(Catalog), Cut);
  }
  // Nothing of the failed opens holds the database.
  WriteBytes(Catalog, Whole);
  ExpectReleased(u"d");
}

TEST_F(LocalDatabaseTest, InMemoryDatabaseWithIsolationLivesUnderTheSessionFolder) {
  TORVLocalSessionManager* Session = LoggedIn(u"Mem");
  TORVDatabaseContainer* Container = AddDatabase(*Session, u"m", u"", true);
  Container->SetSessionIsolation(true);
  TORVLocalDatabaseManager* Database = Session->GetDatabaseManager(Container);
  Database->Open(ltShared);
  const TORVString Expected = u"Tests/" + IntToString(Session->GetHandle()) + u"/Mem/m/ORVDatabase.ORVCat";
  EXPECT_EQ(Database->GetCatalogManager()->GetFullFileName(), Expected);
  EXPECT_TRUE(Database->GetFileManager()->FileExists(Expected, TORVFileOptions{foLockable}));
  EXPECT_TRUE(Database->GetFileManager()->GetVirtualOnly());
  // Nothing reaches the disk.
  EXPECT_FALSE(fs::exists(Folder() / "m"));
  Database->Close(false);
}

TEST_F(LocalDatabaseTest, CatalogVersionIsZeroWithoutFolderAndCurrentOnceOpened) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  EXPECT_EQ(Database->GetCatalogVersion().Scaled(), 0);
  EXPECT_EQ(Database->GetCatalogCharacterSet(), 0);
  // Asking makes nothing.
  EXPECT_FALSE(fs::exists(Folder() / "d"));

  Database->Open(ltShared);
  EXPECT_EQ(Database->GetCatalogVersion().Scaled(), 20500);
  Database->Close(false);
  EXPECT_EQ(Database->GetCatalogVersion().Scaled(), 20500);
  EXPECT_FALSE(Database->GetOpened());

  // A fresh session reads the version from the file written at creation.
  TORVLocalSessionManager* Other = LoggedIn(u"Other");
  EXPECT_EQ(Manager(*Other, u"d", u"d")->GetCatalogVersion().Scaled(), 20500);

  // A damaged catalog answers 0 and stays as it was.
  const fs::path Catalog = Folder() / "d" / "ORVDatabase.ORVCat";
  WriteBytes(Catalog, "short");
  EXPECT_EQ(Manager(*Other, u"e", u"d")->GetCatalogVersion().Scaled(), 0);
  EXPECT_EQ(ReadBytes(Catalog), "short");
}

// ---------------------------------------------------------------------------
// Use count, locks and guards

TEST_F(LocalDatabaseTest, OpensAreCountedAndTheLastCloseReleasesTheDatabase) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  // Another engine on the folder stands for another process.
  std::unique_ptr<test::TFaultEngine> OtherEngine = test::NewFaultEngine(FolderName());
  TORVLocalSessionManager* Other = LoggedIn(u"Other", OtherEngine.get());
  TORVLocalDatabaseManager* OtherDatabase = Manager(*Other, u"d", u"d");

  Database->Open(ltShared);
  Database->Open(ltShared);
  EXPECT_EQ(Database->GetUseCount(), 2);
  Database->Close(false);
  EXPECT_TRUE(Database->GetOpened());
  EXPECT_EQ(ErrorOf([&] { OtherDatabase->Open(ltExclusive); }).substr(0, 4), "300 ");
  EXPECT_FALSE(OtherDatabase->GetOpened());
  // A shared open beside it is fine.
  OtherDatabase->Open(ltShared);
  OtherDatabase->Close(false);

  Database->Close(false);
  EXPECT_FALSE(Database->GetOpened());
  OtherDatabase->Open(ltExclusive);
  EXPECT_EQ(ErrorOf([&] { Database->Open(ltShared); }).substr(0, 4), "300 ");
  EXPECT_EQ(Database->GetUseCount(), 0);
  EXPECT_FALSE(Database->GetCatalogManager()->GetOpened());
  OtherDatabase->Close(false);
  FreeSession(Other);
}

TEST_F(LocalDatabaseTest, ForcedCloseEndsEveryOpen) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  Database->Open(ltShared);
  Database->Open(ltShared);
  Database->Close(true);
  EXPECT_FALSE(Database->GetOpened());
  EXPECT_EQ(Database->GetUseCount(), 0);
  EXPECT_FALSE(Database->GetDatabaseLockManager()->GetOpened());
  Database->Close(false);
}

TEST_F(LocalDatabaseTest, GuardsNameTheDatabaseAndTheOperation) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  struct TCase {
    const char* Name;
    std::function<void()> Call;
    std::string Expected;
  };
  const std::vector<TCase> Closed = {
      {"CheckOpened", [&] { Database->CheckOpened(u"OPEN TABLE t"); },
       "402 The database d must be open in order to perform this operation (OPEN TABLE t)"},
      {"OpenTable", [&] { Database->OpenTable(u"", u"t", false, false); },
       "402 The database d must be open in order to perform this operation (OPEN TABLE t)"},
      {"StartTransaction", [&] { Database->StartTransaction({}, -1); },
       "402 The database d must be open in order to perform this operation (START TRANSACTION ON d)"},
  };
  for (const TCase& Case : Closed) EXPECT_EQ(ErrorOf(Case.Call), Case.Expected) << Case.Name;

  Database->Open(ltShared);
  const std::vector<TCase> Opened = {
      {"Commit", [&] { Database->Commit(true, false); },
       "404 Transaction error: This operation cannot be performed without an active transaction on the database d "
       "(COMMIT ON d)"},
      {"Rollback", [&] { Database->Rollback(); },
       "404 Transaction error: This operation cannot be performed without an active transaction on the database d "
       "(ROLLBACK ON d)"},
      {"CheckNotInTransaction", [&] { Database->GetDatabase()->StartTransaction(); Database->CheckNotInTransaction(u"START TRANSACTION ON d"); },
       "404 Transaction error: This operation cannot be performed while the database d has an active transaction "
       "(START TRANSACTION ON d)"},
  };
  for (const TCase& Case : Opened) EXPECT_EQ(ErrorOf(Case.Call), Case.Expected) << Case.Name;
  Database->GetDatabase()->EndTransaction();
  Database->CheckNotInTransaction(u"x");

  Database->CheckNotReadOnly(u"CREATE TABLE t");
  Database->GetDatabase()->SetReadOnly(true);
  EXPECT_EQ(ErrorOf([&] { Database->CheckNotReadOnly(u"CREATE TABLE t"); }),
            "403 The database d is read-only and this operation cannot be performed (CREATE TABLE t)");
  Database->GetDatabase()->SetReadOnly(false);
  Database->Close(false);
}

// A database whose rollback fails, so that closing it in a transaction
// fails part-way.
class TFailingRollbackDatabase : public TORVLocalDatabaseManager {
 public:
  using TORVLocalDatabaseManager::TORVLocalDatabaseManager;
  void Rollback() override { throw std::runtime_error("rollback failed"); }
};

TEST_F(LocalDatabaseTest, FailingCloseIsLoggedAndStillReleasesTheFiles) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVDatabaseContainer* Container = AddDatabase(*Session, u"d", u"d");
  auto Database = std::make_unique<TFailingRollbackDatabase>(
      Container, Engine->GetFileManagerForDatabase(false, u"d"), Session, true);
  Database->Open(ltExclusive);
  Container->StartTransaction();
  EXPECT_THROW(Database->Close(true), std::runtime_error);
  Container->EndTransaction();
  EXPECT_FALSE(Database->GetOpened());
  EXPECT_FALSE(Database->GetDatabaseLockManager()->GetOpened());
  EXPECT_FALSE(Database->GetCatalogManager()->GetOpened());

  std::vector<TStoredEvent> Events = DatabaseEvents(*Session);
  ASSERT_FALSE(Events.empty());
  EXPECT_EQ(Events.back().Category, 2);
  EXPECT_EQ(Events.back().FunctionCode, 34);
  EXPECT_NE(Events.back().Description.find("rollback failed"), std::string::npos) << Events.back().Description;

  ExpectReleased(u"d");
}

TEST_F(LocalDatabaseTest, FreeingAnOpenDatabaseInATransactionNeverRaisesAndReleasesIt) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVDatabaseContainer* Container = AddDatabase(*Session, u"d", u"d");
  Session->GetDatabaseManager(Container)->Open(ltExclusive);
  Container->StartTransaction();
  EXPECT_NO_THROW(Session->RemoveDatabaseManager(Container));
  Container->EndTransaction();
  // The session's Configuration database's manager is left.
  EXPECT_EQ(Session->GetDatabaseManagerCount(), 1);
  ExpectReleased(u"d");
}

// ---------------------------------------------------------------------------
// Transactions

// Database d opened by a new session, with tables t (lock slot 1), u (2),
// v (3) and w (4) in its catalog; every session sees the same four.
class LocalTransactionTest : public LocalDatabaseTest {
 protected:
  TORVLocalDatabaseManager* OpenWithTables(const TORVString& SessionName) {
    TORVLocalSessionManager* Session = LoggedIn(SessionName);
    TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
    Database->Open(ltShared);
    int32_t Slot = 0;
    for (const char16_t* Name : {u"t", u"u", u"v", u"w"}) test::NewTable(*Database->GetCatalog(), Name)->SetLockSlot(++Slot);
    return Database;
  }
  static int32_t TransactionTableCount(TORVLocalDatabaseManager& Database) {
    return Database.GetCatalog()->GetDefaultSchema()->GetTransactionTables().GetCount();
  }
  static bool InTransaction(TORVLocalDatabaseManager& Database) { return Database.GetInTransaction(); }
};

TEST_F(LocalTransactionTest, TablesAreLockedOnceEachAndHeldUntilTheTransactionEnds) {
  TORVLocalDatabaseManager* First = OpenWithTables(u"A");
  TORVLocalDatabaseManager* Second = OpenWithTables(u"B");
  First->StartTransaction({u"u", u"t", u"t"}, 0);
  EXPECT_TRUE(InTransaction(*First));
  EXPECT_FALSE(First->GetDatabase()->GetLockState().Contains(lsTransactionLocked));
  EXPECT_EQ(TransactionTableCount(*First), 2);
  // Ascending lock slot.
  EXPECT_EQ(First->GetCatalog()->GetDefaultSchema()->GetTransactionTables().GetTable(0)->GetName(), u"t");

  EXPECT_EQ(ErrorOf([&] { Second->StartTransaction({u"t"}, 0); }).substr(0, 4), "300 ");
  EXPECT_FALSE(InTransaction(*Second));
  EXPECT_EQ(TransactionTableCount(*Second), 0);
  Second->StartTransaction({u"v"}, 0);
  Second->Rollback();

  First->Commit(false, false);
  EXPECT_FALSE(InTransaction(*First));
  EXPECT_EQ(TransactionTableCount(*First), 0);
  Second->StartTransaction({u"t", u"u"}, 0);
  Second->Commit(true, false);
}

TEST_F(LocalTransactionTest, EveryTableWithSharedFilesIsOneLockOnTheDatabase) {
  TORVLocalDatabaseManager* First = OpenWithTables(u"A");
  TORVLocalDatabaseManager* Second = OpenWithTables(u"B");
  ASSERT_FALSE(First->GetFileManager()->GetExclusiveFileAccess());
  First->StartTransaction({}, 0);
  EXPECT_EQ(TransactionTableCount(*First), 4);
  EXPECT_TRUE(First->GetDatabase()->GetLockState().Contains(lsTransactionLocked));
  // Naming every table is the same as naming none.
  EXPECT_EQ(ErrorOf([&] { Second->StartTransaction({u"w", u"v", u"u", u"t"}, 0); }).substr(0, 4), "300 ");
  EXPECT_EQ(ErrorOf([&] { Second->StartTransaction({u"v"}, 0); }).substr(0, 4), "300 ");
  First->Rollback();
  EXPECT_FALSE(First->GetDatabase()->GetLockState().Contains(lsTransactionLocked));
  Second->StartTransaction({u"w", u"v", u"u", u"t"}, 0);
  EXPECT_TRUE(Second->GetDatabase()->GetLockState().Contains(lsTransactionLocked));
  Second->Rollback();
}

TEST_F(LocalTransactionTest, KeptLocksStayInTheTransactionUntilRollback) {
  TORVLocalDatabaseManager* First = OpenWithTables(u"A");
  TORVLocalDatabaseManager* Second = OpenWithTables(u"B");
  First->StartTransaction({u"t"}, 0);
  First->Commit(false, true);
  EXPECT_TRUE(InTransaction(*First));
  EXPECT_EQ(ErrorOf([&] { First->StartTransaction({u"t"}, 0); }),
            "404 Transaction error: This operation cannot be performed while the database d has an active "
            "transaction (START TRANSACTION ON d)");
  EXPECT_EQ(ErrorOf([&] { Second->StartTransaction({u"t"}, 0); }).substr(0, 4), "300 ");
  First->Rollback();
  EXPECT_FALSE(InTransaction(*First));
  EXPECT_EQ(ErrorOf([&] { First->Commit(false, false); }),
            "404 Transaction error: This operation cannot be performed without an active transaction on the "
            "database d (COMMIT ON d)");
  Second->StartTransaction({u"t"}, 0);
  Second->Rollback();
}

TEST_F(LocalTransactionTest, ALockThatTimesOutGivesBackTheLocksTakenBeforeIt) {
  TORVLocalDatabaseManager* Holder = OpenWithTables(u"A");
  TORVLocalDatabaseManager* Blocked = OpenWithTables(u"B");
  TORVLocalDatabaseManager* Third = OpenWithTables(u"C");
  Holder->StartTransaction({u"v"}, 0);
  EXPECT_EQ(ErrorOf([&] { Blocked->StartTransaction({u"t", u"u", u"v"}, 0); }).substr(0, 4), "300 ");
  EXPECT_FALSE(Blocked->GetDatabase()->GetLockState().Contains(lsTransactionLocked));
  EXPECT_FALSE(InTransaction(*Blocked));
  Third->StartTransaction({u"t", u"u"}, 0);
  Third->Rollback();
  Holder->Rollback();
}

TEST_F(LocalTransactionTest, MissingTableStartsNothingAndClosingRollsBack) {
  TORVLocalDatabaseManager* First = OpenWithTables(u"A");
  TORVLocalDatabaseManager* Second = OpenWithTables(u"B");
  EXPECT_EQ(ErrorOf([&] { First->StartTransaction({u"t", u"nope"}, 0); }).substr(0, 4), "401 ");
  EXPECT_FALSE(InTransaction(*First));
  EXPECT_EQ(TransactionTableCount(*First), 0);

  First->StartTransaction({u"t"}, 0);
  First->Close(false);
  EXPECT_FALSE(First->GetDatabase()->GetObjectState().Contains(osInTransaction));
  Second->StartTransaction({u"t"}, 0);
  Second->Rollback();
}

// ---------------------------------------------------------------------------
// The session's database managers

TEST_F(LocalDatabaseTest, SessionKeepsOneManagerPerDatabaseUntilRemovedOrClosed) {
  TORVLocalSessionManager* Session = LoggedIn();
  TORVDatabaseContainer* First = AddDatabase(*Session, u"a", u"a");
  TORVDatabaseContainer* Second = AddDatabase(*Session, u"b", u"b");
  TORVLocalDatabaseManager* FirstManager = Session->GetDatabaseManager(First);
  EXPECT_EQ(Session->GetDatabaseManager(First), FirstManager);
  EXPECT_NE(Session->GetDatabaseManager(Second), FirstManager);
  // Beside the session's own Configuration database.
  EXPECT_EQ(Session->GetDatabaseManagerCount(), 3);
  EXPECT_EQ(First->GetCatalog(), FirstManager->GetCatalog());
  EXPECT_FALSE(FirstManager->GetOpened());
  EXPECT_TRUE(FirstManager->GetCreateSchemaInformation());

  // Removing the database frees its manager and the catalog it made.
  FirstManager->Open(ltShared);
  Session->ObjectRemoved(First);
  EXPECT_EQ(Session->GetDatabaseManagerCount(), 2);
  EXPECT_EQ(First->GetManagerHandle(), 0);
  EXPECT_EQ(First->GetCatalog(), nullptr);

  // Closing the session closes the databases it holds open.
  Session->GetDatabaseManager(Second)->Open(ltExclusive);
  Session->Close();
  EXPECT_EQ(Session->GetDatabaseManagerCount(), 0);
  ExpectReleased(u"b");
  ExpectReleased(u"a");
}

TEST_F(LocalDatabaseTest, CacheDatabaseBuildsNoInformationSchema) {
  TORVLocalSessionManager* Session = LoggedIn();
  auto* Cache =
      static_cast<TORVDatabaseContainer*>(Session->GetConfig()->GetDatabases().FindByName(u"__Cursor__Cache", true));
  EXPECT_FALSE(Session->GetDatabaseManager(Cache)->GetCreateSchemaInformation());
}

}  // namespace
}  // namespace orv
