#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvcursorrow.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvuser.h"
#include "core/orvlocktype.h"
#include "core/orvpreparedmgr.h"
#include "eval/orvtablemgr.h"
#include "eval/orvviewmgr.h"
#include "exec/orvlocalcursor.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvrowsfile.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocalsessiontest.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

using test::AdminName;
using test::AdminPassword;
using test::ErrorOf;

namespace fs = std::filesystem;

// Sessions of this process and of another one (a second engine on the same
// folder) on the database d, each with the same tables in its catalog.
class LocalOpenTest : public test::LocalSessionTest {
 protected:
  void TearDown() override {
    for (TORVLocalSessionManager* Session : Sessions) FreeSessionManager(Session);
    Sessions.clear();
    OtherEngine.reset();
    test::LocalSessionTest::TearDown();
  }

  // d opened shared by a new session of Owner's engine (the fixture's when
  // nil), logged in as the Administrator.
  TORVLocalDatabaseManager* OpenD(const TORVString& SessionName, TORVEngineManager* Owner = nullptr) {
    TORVLocalSessionManager* Session = NewSession(Owner);
    Session->Open(u"Tests", SessionName, u"");
    Session->Login(AdminName, AdminPassword);
    return OpenDatabase(*Session, u"d");
  }
  // The database Name (in the folder of that name) opened shared by
  // Session.
  static TORVLocalDatabaseManager* OpenDatabase(TORVLocalSessionManager& Session, const TORVString& Name) {
    TORVConfig& Config = *Session.GetConfig();
    std::unique_ptr<TORVDatabaseContainer> Container(
        static_cast<TORVDatabaseContainer*>(Config.GetDatabases().GetNewObject(Session.GetCurrentUser())));
    Container->SetName(Name);
    Container->SetPath(Name);
    Config.GetDatabases().Add(Container.get());
    TORVLocalDatabaseManager* Database = Session.GetDatabaseManager(Container.release());
    Database->Open(ltShared);
    return Database;
  }
  TORVLocalDatabaseManager* OpenDInOtherProcess(const TORVString& SessionName) {
    if (!OtherEngine) OtherEngine = test::NewFaultEngine(FolderName());
    return OpenD(SessionName, OtherEngine.get());
  }

  // A stored table of d's catalog, its files named after it.
  static TORVBaseTable* AddTable(TORVLocalDatabaseManager& Database, const TORVString& Name, int32_t LockSlot,
                                 bool PrimaryKey = true) {
    TORVBaseTable* Table = test::NewTable(*Database.GetCatalog(), Name);
    Table->SetInternalName(Name);
    Table->SetLockSlot(LockSlot);
    AddTestColumn(Table->GetColumns(), u"id", dtInteger);
    if (PrimaryKey) test::AddTestIndex(Table, u"ById", itPrimaryKey, {u"id"});
    return Table;
  }

  static TORVRoutine* AddProcedure(TORVLocalDatabaseManager& Database, const TORVString& Name) {
    TORVCatalog& Catalog = *Database.GetCatalog();
    return test::AddRoutine(Catalog, Catalog.GetDefaultSchema()->GetProcedures(), Name,
                            u"PROCEDURE " + Name + u" () BEGIN END", {});
  }

  // Bob, who holds only what Public holds.
  static TORVUser* Bob(TORVLocalSessionManager& Session) {
    auto* Found = static_cast<TORVUser*>(Session.GetConfig()->GetUsers().FindByName(u"Bob", false));
    return Found != nullptr ? Found : test::NewUser(*Session.GetConfig(), u"Bob");
  }

  // The errors Database's session logged under the open-table code (the
  // table files' warnings share it).
  static std::vector<std::string> OpenTableErrors(TORVLocalDatabaseManager& Database) {
    std::vector<std::string> Result;
    for (const test::TStoredEvent& Event : test::StoredEvents(*Database.GetLocalSessionManager()))
      if (Event.Category == 2 && Event.FunctionCode == TORVLocalDatabaseManager::OpenTableFunctionCode)
        Result.push_back(Event.Description);
    return Result;
  }

  static TORVSchemaObjectManager* RegisteredManager(TORVSchemaObjectManagers& Managers,
                                                    TORVPrivilegedSchemaObject* Object) {
    int32_t Handle = 0;
    TORVSchemaObjectManager* Manager = nullptr;
    while (Managers.NextManager(Handle, Manager))
      if (Manager->GetSchemaObject() == Object) return Manager;
    return nullptr;
  }

  std::unique_ptr<test::TFaultEngine> OtherEngine;
};

// ---------------------------------------------------------------------------
// Finding the object

TEST_F(LocalOpenTest, ObjectsTheUserMayNotSeeAreNotFound) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalSessionManager& Session = *Database->GetLocalSessionManager();
  TORVConfig& Config = *Session.GetConfig();
  AddTable(*Database, u"t", 1)->RevokePrivilege(Config.GetPublicRole(), PrivilegeSelect);
  AddProcedure(*Database, u"p")->RevokePrivilege(Config.GetPublicRole(), PrivilegeExecute);
  AddTable(*Database, u"seen", 2);

  struct TCase {
    const char* Name;
    std::function<void()> Open;
    std::string Expected;
  };
  const std::vector<TCase> Cases = {
      {"OpenTable", [&] { Database->OpenTable(u"", u"t", false, false); }, "401 The table t does not exist in the schema Default"},
      {"OpenQueryTable", [&] { Database->OpenQueryTable(u"", u"t", true); }, "401 The table t does not exist in the schema Default"},
      {"OpenTableManager", [&] { Database->OpenTableManager(u"", u"t", false); }, "401 The table t does not exist in the schema Default"},
      {"OpenRoutine", [&] { Database->OpenRoutine(u"", u"p"); }, "401 The routine p does not exist in the schema Default"},
      {"missing table", [&] { Database->OpenTableManager(u"", u"nope", false); },
       "401 The table nope does not exist in the schema Default"},
      {"missing schema", [&] { Database->OpenTableManager(u"Elsewhere", u"seen", false); },
       "401 The schema Elsewhere does not exist in the catalog d"},
  };
  Session.SetCurrentUser(Bob(Session));
  for (const TCase& Case : Cases) EXPECT_EQ(ErrorOf(Case.Open), Case.Expected) << Case.Name;
  // Nothing was opened on the way, and both opens of a table were logged
  // as failed table opens.
  EXPECT_EQ(Database->GetTableManagers().GetCount(), 0);
  EXPECT_EQ(Database->GetRoutineManagers().GetCount(), 0);
  EXPECT_EQ(OpenTableErrors(*Database).size(), 2u);
  // What Bob may see opens for him; the Administrator sees both.
  Database->OpenTableManager(Database->GetCatalog()->GetDefaultSchema()->GetName(), u"seen", false)
      ->Close(false, true, true);
  Session.SetCurrentUser(static_cast<TORVUser*>(Config.GetUsers().FindByName(AdminName, true)));
  Database->OpenTableManager(u"", u"t", false)->Close(false, true, true);
  TORVRoutineManager* Routine = Database->OpenRoutine(u"", u"p");
  EXPECT_TRUE(Routine->GetOpened());
  EXPECT_EQ(Routine->GetRoutine()->GetName(), u"p");
  Routine->Close(false, true, true);
}

TEST_F(LocalOpenTest, ATableOfAClosedDatabaseIsNotOpened) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  AddTable(*Database, u"t", 1);
  Database->Close(false);
  const std::vector<std::function<void()>> Opens = {
      [&] { Database->OpenTable(u"", u"t", false, false); },
      [&] { Database->OpenQueryTable(u"", u"t", false); },
      [&] { Database->OpenTableManager(u"", u"t", false); },
  };
  for (const std::function<void()>& Open : Opens)
    EXPECT_EQ(ErrorOf(Open), "402 The database d must be open in order to perform this operation (OPEN TABLE t)");
  EXPECT_EQ(Database->GetTableManagers().GetCount(), 0);
}

TEST_F(LocalOpenTest, ATemporaryTableHidesAStoredTableOfTheSameName) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVSchema& Schema = *Database->GetCatalog()->GetDefaultSchema();
  TORVBaseTable* Stored = AddTable(*Database, u"x", 1);
  std::unique_ptr<TORVBaseTable> Made(
      static_cast<TORVBaseTable*>(Schema.GetTemporaryTables().GetNewObject(Database->GetLocalSessionManager()->GetCurrentUser())));
  Made->SetName(u"t");
  Made->SetInternalName(u"tmp_t");
  Made->SetLockSlot(2);
  AddTestColumn(Made->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
  Schema.GetTemporaryTables().Add(Made.get());
  TORVBaseTable* Temporary = Made.release();
  Temporary->GrantDefaultPrivileges();
  // Another session stores a table t after this one made its temporary t.
  Stored->SetName(u"t");

  TORVVirtualTableManager* Manager = Database->OpenTableManager(u"", u"t", false);
  EXPECT_EQ(Manager->GetSchemaObject(), Temporary);
  EXPECT_EQ(RegisteredManager(Database->GetTableManagers(), Stored), nullptr);
  Manager->Close(false, true, true);
  // Once it is gone the stored table is found again.
  Database->GetTableManagers().Remove(Temporary);
  Schema.GetTemporaryTables().Remove(Temporary);
  delete Temporary;
  Manager = Database->OpenTableManager(u"", u"t", false);
  EXPECT_EQ(Manager->GetSchemaObject(), Stored);
  Manager->Close(false, true, true);
}

// ---------------------------------------------------------------------------
// Locks and failures

TEST_F(LocalOpenTest, AnExclusiveOpenHoldsTheTableFromAnotherProcessUntilClosed) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalDatabaseManager* Other = OpenDInOtherProcess(u"B");
  AddTable(*Database, u"t", 1);
  TORVBaseTable* OthersT = AddTable(*Other, u"t", 1);
  AddTable(*Database, u"u", 2);
  AddTable(*Other, u"u", 2);

  TORVVirtualTableManager* Held = Database->OpenTableManager(u"", u"t", true);
  for (bool Exclusive : {false, true})
    EXPECT_EQ(ErrorOf([&] { Other->OpenTableManager(u"", u"t", Exclusive); }).substr(0, 4), "300 ") << Exclusive;
  EXPECT_EQ(RegisteredManager(Other->GetTableManagers(), OthersT), nullptr);
  // Other tables are free.
  Other->OpenTableManager(u"", u"u", true)->Close(false, true, true);

  Held->Close(false, true, true);
  TORVVirtualTableManager* Shared = Other->OpenTableManager(u"", u"t", false);
  // A shared open holds off an exclusive one, not another shared one.
  EXPECT_EQ(ErrorOf([&] { Database->OpenTableManager(u"", u"t", true); }).substr(0, 4), "300 ");
  Database->OpenTableManager(u"", u"t", false)->Close(false, true, true);
  Shared->Close(false, true, true);
}

// A cursor that cannot be made or registered: whatever the reason, the
// table's manager is closed again, its lock given back and nothing stays
// in the cursor tables. Here the session's cursor table, which gives the
// handles out, is full.
TEST_F(LocalOpenTest, ACursorThatCannotBeMadeLeavesTheTableClosedAndFree) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalDatabaseManager* Other = OpenDInOtherProcess(u"B");
  TORVBaseTable* Table = AddTable(*Database, u"t", 1);
  AddTable(*Other, u"t", 1);
  TORVHandleObjects& Cursors = Database->GetLocalSessionManager()->GetCursors();
  // A full table raises an engine exception without a code.
  auto Fails = [](const std::function<void()>& Call) {
    try {
      Call();
    } catch (const EORVBaseException&) {
      return true;
    }
    return false;
  };
  for (bool Full = false; !Full;) {
    auto Filler = std::make_unique<TORVHandleObject>();
    Full = Fails([&] { Cursors.AddObject(Filler.get(), false); });
    if (!Full) Filler.release();
  }
  const int32_t Filled = Cursors.GetNumObjects();

  struct TCase {
    const char* Name;
    std::function<TORVCursor*()> Open;
  };
  const std::vector<TCase> Cases = {
      {"OpenTable", [&] { return Database->OpenTable(u"", u"t", false, false); }},
      {"OpenTable exclusive", [&] { return Database->OpenTable(u"", u"t", true, true); }},
      {"OpenQueryTable", [&] { return Database->OpenQueryTable(u"", u"t", false); }},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const size_t Logged = OpenTableErrors(*Database).size();
    EXPECT_TRUE(Fails([&] { Case.Open(); }));
    TORVSchemaObjectManager* Manager = RegisteredManager(Database->GetTableManagers(), Table);
    if (Manager != nullptr) {
      EXPECT_FALSE(Manager->GetOpened());
      EXPECT_EQ(Manager->GetUseCount(), 0);
    }
    EXPECT_EQ(Cursors.GetNumObjects(), Filled);
    int32_t Handle = 0;
    TORVHandleObject* Left = nullptr;
    EXPECT_FALSE(Database->GetCursors().NextObject(Handle, Left));
    EXPECT_EQ(OpenTableErrors(*Database).size(), Logged + 1);
    Other->OpenTableManager(u"", u"t", true)->Close(false, true, true);
  }
}

TEST_F(LocalOpenTest, ARowsFileCutShortRaisesAndLeavesItsManagerClosed) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalDatabaseManager* Other = OpenDInOtherProcess(u"B");
  TORVBaseTable* Table = AddTable(*Database, u"t", 1);
  AddTable(*Other, u"t", 1);
  // The first open makes the table's files; the manager stays in use.
  TORVVirtualTableManager* InUse = Database->OpenTableManager(u"", u"t", false);
  const fs::path RowsFile = Folder() / "d" / "t.ORVTbl";
  const std::string Whole = test::ReadBytes(RowsFile);
  ASSERT_GT(Whole.size(), 16u);
  test::WriteBytes(RowsFile, Whole.substr(0, 16));

  // Opened again while in use, only the change check reads the file.
  EXPECT_NE(ErrorOf([&] { Database->OpenTableManager(u"", u"t", false); }), "no error");
  EXPECT_EQ(InUse->GetUseCount(), 1);
  InUse->Close(false, true, true);
  // Opened afresh, the open itself reads it.
  EXPECT_NE(ErrorOf([&] { Database->OpenTableManager(u"", u"t", false); }), "no error");
  if (TORVSchemaObjectManager* Manager = RegisteredManager(Database->GetTableManagers(), Table)) {
    EXPECT_FALSE(Manager->GetOpened());
    EXPECT_EQ(Manager->GetUseCount(), 0);
  }
  // No lock was left behind either time.
  test::WriteBytes(RowsFile, Whole);
  Other->OpenTableManager(u"", u"t", true)->Close(false, true, true);
  Database->OpenTableManager(u"", u"t", false)->Close(false, true, true);
}

// ---------------------------------------------------------------------------
// Committing what the table managers wrote

TEST_F(LocalOpenTest, ACommitAskedToFlushFlushesTheTablesFilesWhateverTheSessionSays) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalSessionManager& Session = *Database->GetLocalSessionManager();
  AddTable(*Database, u"t", 1);
  auto* Manager = static_cast<TORVTableManager*>(Database->OpenTableManager(u"", u"t", false));
  std::unique_ptr<TORVRowsetRow> Row = Manager->CreateNewRow();
  TORVRowsetRowValues Values(Manager->RowsetManager(), Database->GetSessionSettings().GetCharacterSet());
  int32_t NextId = 0;
  // The flushes one one-row transaction takes.
  auto Flushes = [&](bool Flush) {
    Database->StartTransaction({u"t"}, -1);
    Row->Initialize();
    Values.SetRow(Row.get());
    Values.Clear();
    Values.GetItems(1)->SetAsInteger(++NextId);
    int32_t Number = 0;
    int32_t Version = 0;
    int32_t Counter = 0;
    Manager->InsertRow(Values, Number, Version, Counter, false);
    const int32_t Before = Engine->Faults().GetCount(test::fkFlush);
    Database->Commit(Flush, false);
    return Engine->Faults().GetCount(test::fkFlush) - Before;
  };
  for (bool SessionFlushes : {false, true}) {
    SCOPED_TRACE(SessionFlushes);
    Session.SetFlushWrites(SessionFlushes);
    const int32_t Unasked = Flushes(false);
    const int32_t Asked = Flushes(true);
    EXPECT_GT(Asked, 0);
    EXPECT_EQ(Unasked > 0, SessionFlushes);
    // The session's own choice is left as it was.
    EXPECT_EQ(Session.GetFlushWrites(), SessionFlushes);
  }
  Manager->Close(false, true, true);
}

// ---------------------------------------------------------------------------
// The manager lists and resets

TEST_F(LocalOpenTest, ClosingTheDatabaseClosesItsTableAndRoutineManagers) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalDatabaseManager* Other = OpenDInOtherProcess(u"B");
  AddTable(*Database, u"t", 1);
  AddTable(*Other, u"t", 1);
  AddProcedure(*Database, u"p");
  TORVVirtualTableManager* Table = Database->OpenTableManager(u"", u"t", true);
  TORVRoutineManager* Routine = Database->OpenRoutine(u"", u"p");
  Routine->SetKeepOpen(true);
  ASSERT_TRUE(Table->GetOpened());
  ASSERT_TRUE(Routine->GetOpened());

  Database->Close(false);
  EXPECT_FALSE(Database->GetOpened());
  EXPECT_FALSE(Table->GetOpened());
  EXPECT_FALSE(Routine->GetOpened());
  Other->OpenTableManager(u"", u"t", true)->Close(false, true, true);
}

// Records the order in which resets reach the database's prepared managers
// and cursors.
struct TResetLog {
  std::vector<std::string> Calls;
  std::function<void()> During;
};

class TLoggedPreparedManager : public TORVPreparedManager {
 public:
  TLoggedPreparedManager(TResetLog& Log, std::string Name) : FLog(Log), FName(std::move(Name)) {}
  std::unique_ptr<TORVParamValues> CreateParamValues() override { return nullptr; }
  uint32_t GetElapsedTime() override { return 0; }
  TORVCursor* Execute() override { return nullptr; }
  void Reset() override {
    FLog.Calls.push_back(FName);
    if (FLog.During) FLog.During();
  }

 private:
  TResetLog& FLog;
  std::string FName;
};

class TLoggedCursor : public TFakeCursor {
 public:
  TLoggedCursor(TResetLog& Log, std::string Name, bool ThroughViews)
      : TFakeCursor(0), FLog(Log), FName(std::move(Name)), FThroughViews(ThroughViews) {}
  bool GetReadsThroughViews() override { return FThroughViews; }
  void Reset() override { FLog.Calls.push_back(FName); }

 private:
  TResetLog& FLog;
  std::string FName;
  bool FThroughViews;
};

TEST_F(LocalOpenTest, ResetsReachPreparedManagersInOrderAndOnlyCursorsThroughViews) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TResetLog Log;
  Database->GetStatementManagers().AddObject(new TLoggedPreparedManager(Log, "statement"), false);
  Database->GetScriptManagers().AddObject(new TLoggedPreparedManager(Log, "script"), false);
  Database->GetProcedureManagers().AddObject(new TLoggedPreparedManager(Log, "procedure"), false);
  Database->GetCursors().AddObject(new TLoggedCursor(Log, "plain", false), false);
  Database->GetCursors().AddObject(new TLoggedCursor(Log, "through views", true), false);

  Database->Reset();
  EXPECT_EQ(Log.Calls, (std::vector<std::string>{"script", "procedure", "statement"}));
  Log.Calls.clear();
  Database->ResetCursors();
  EXPECT_EQ(Log.Calls, (std::vector<std::string>{"through views"}));

  // The session resets every database: prepared managers first, cursors
  // after.
  Log.Calls.clear();
  Database->GetLocalSessionManager()->ResetDatabaseManagers();
  EXPECT_EQ(Log.Calls, (std::vector<std::string>{"script", "procedure", "statement", "through views"}));

  // A close reached from a reset only counts: the database stays open for
  // the reset to finish, and the close that follows is the last.
  Database->Open(ltShared);
  Log.Calls.clear();
  Log.During = [Database] { Database->Close(false); };
  Database->Reset();
  EXPECT_EQ(Log.Calls, (std::vector<std::string>{"script", "procedure", "statement"}));
  EXPECT_TRUE(Database->GetOpened());
  EXPECT_EQ(Database->GetUseCount(), 0);
  Log.During = nullptr;
  Database->Close(false);
  EXPECT_FALSE(Database->GetOpened());
}

// ---------------------------------------------------------------------------
// Cursors

// Where Cursor is found by its handle: in the session's table and in
// Owner's, in no other database's.
void ExpectRegistered(TORVCursor* Cursor, TORVLocalDatabaseManager& Owner, TORVLocalDatabaseManager& Elsewhere) {
  const int32_t Handle = Cursor->GetHandle();
  EXPECT_NE(Handle, 0);
  EXPECT_EQ(Owner.GetLocalSessionManager()->GetCursors().FindObject(Handle), Cursor);
  EXPECT_EQ(Owner.GetCursors().FindObject(Handle), Cursor);
  EXPECT_EQ(Elsewhere.GetCursors().FindObject(Handle), nullptr);
}

bool Registered(TORVHandleObjects& Cursors, int32_t Handle) { return Cursors.FindObject(Handle) != nullptr; }

TEST_F(LocalOpenTest, CursorsOfASessionsDatabasesShareTheSessionsHandles) {
  TORVLocalDatabaseManager* D = OpenD(u"A");
  TORVLocalSessionManager& Session = *D->GetLocalSessionManager();
  TORVLocalDatabaseManager* E = OpenDatabase(Session, u"e");
  AddTable(*D, u"t", 1);
  AddTable(*E, u"t", 1);

  TORVCursor* InD = D->OpenQueryTable(u"", u"t", false);
  TORVCursor* InE = E->OpenQueryTable(u"", u"t", false);
  TORVCursor* AlsoInD = D->OpenQueryTable(u"", u"t", true);
  ExpectRegistered(InD, *D, *E);
  ExpectRegistered(InE, *E, *D);
  ExpectRegistered(AlsoInD, *D, *E);
  EXPECT_NE(InD->GetHandle(), InE->GetHandle());
  EXPECT_NE(InD->GetHandle(), AlsoInD->GetHandle());
  EXPECT_NE(InE->GetHandle(), AlsoInD->GetHandle());

  // A handle freed in d is free in e too: the session gives it out again.
  const int32_t Freed = InD->GetHandle();
  static_cast<TORVLocalCursor*>(InD)->Destroy();
  delete InD;
  EXPECT_FALSE(Registered(Session.GetCursors(), Freed));
  EXPECT_FALSE(Registered(D->GetCursors(), Freed));
  TORVCursor* Reused = E->OpenQueryTable(u"", u"t", false);
  EXPECT_EQ(Reused->GetHandle(), Freed);
  ExpectRegistered(Reused, *E, *D);

  // Closing d frees its cursor and leaves e's.
  const int32_t Closed = AlsoInD->GetHandle();
  D->Close(false);
  EXPECT_FALSE(Registered(Session.GetCursors(), Closed));
  ExpectRegistered(InE, *E, *D);
  ExpectRegistered(Reused, *E, *D);
  delete Reused;
  delete InE;
  int32_t Handle = 0;
  TORVHandleObject* Left = nullptr;
  EXPECT_FALSE(Session.GetCursors().NextObject(Handle, Left));
}

// A cursor holds its table's manager, shared or exclusive, until it is
// freed, however that happens; another process's open waits for it.
TEST_F(LocalOpenTest, ACursorHoldsItsTableFromAnotherProcessUntilFreed) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVLocalDatabaseManager* Other = OpenDInOtherProcess(u"B");
  TORVBaseTable* Table = AddTable(*Database, u"t", 1);
  AddTable(*Other, u"t", 1);
  TORVLocalSessionManager& Session = *Database->GetLocalSessionManager();

  struct TOpen {
    const char* Name;
    bool Exclusive;
    std::function<TORVCursor*()> Open;
  };
  const std::vector<TOpen> Opens = {
      {"query table", false, [&] { return Database->OpenQueryTable(u"", u"t", false); }},
      // What OpenTable does with an exclusive table, short of the index.
      {"exclusive", true,
       [&] {
         TORVVirtualTableManager* Manager = Database->OpenTableManager(u"", u"t", true);
         return Manager->CreateCursor(u"t", false, true, false).release();
       }},
  };
  struct TFree {
    const char* Name;
    std::function<void(TORVCursor*)> Free;
  };
  const std::vector<TFree> Frees = {
      {"Destroy", [](TORVCursor* Cursor) {
         static_cast<TORVLocalCursor*>(Cursor)->Destroy();
         delete Cursor;
       }},
      {"delete", [](TORVCursor* Cursor) { delete Cursor; }},
      {"database closed",
       [&](TORVCursor*) {
         Database->Close(false);
         Database->Open(ltShared);
       }},
  };
  for (const TOpen& Open : Opens) {
    for (const TFree& Free : Frees) {
      SCOPED_TRACE(std::string(Open.Name) + ", " + Free.Name);
      TORVCursor* Cursor = Open.Open();
      const int32_t Handle = Cursor->GetHandle();
      EXPECT_EQ(Cursor->GetExclusive(), Open.Exclusive);
      EXPECT_EQ(ErrorOf([&] { Other->OpenTableManager(u"", u"t", true); }).substr(0, 4), "300 ");
      if (Open.Exclusive) {
        EXPECT_EQ(ErrorOf([&] { Other->OpenTableManager(u"", u"t", false); }).substr(0, 4), "300 ");
      }
      Free.Free(Cursor);
      EXPECT_FALSE(Registered(Session.GetCursors(), Handle));
      EXPECT_FALSE(Registered(Database->GetCursors(), Handle));
      TORVSchemaObjectManager* Manager = RegisteredManager(Database->GetTableManagers(), Table);
      ASSERT_NE(Manager, nullptr);
      EXPECT_EQ(Manager->GetUseCount(), 0);
      Other->OpenTableManager(u"", u"t", true)->Close(false, true, true);
    }
  }
}

TEST_F(LocalOpenTest, ACursorIsReadOnlyWhenAskedOrWhenTheDatabaseIs) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  struct TCase {
    bool AskReadOnly;
    bool DatabaseReadOnly;
  };
  const std::vector<TCase> Cases = {{false, false}, {true, false}, {false, true}, {true, true}};
  int32_t Slot = 0;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::to_string(Case.AskReadOnly) + " " + std::to_string(Case.DatabaseReadOnly));
    // A table of its own each time: the database's read-only flag passes
    // on to the tables it opens.
    const TORVString Name = u"t" + IntToString(++Slot);
    AddTable(*Database, Name, Slot);
    Database->GetDatabase()->SetReadOnly(Case.DatabaseReadOnly);
    std::unique_ptr<TORVCursor> Cursor(Database->OpenQueryTable(u"", Name, Case.AskReadOnly));
    const bool ReadOnly = Case.AskReadOnly || Case.DatabaseReadOnly;
    EXPECT_EQ(Cursor->GetReadOnly(), ReadOnly);
    EXPECT_EQ(Database->GetCursors().FindObject(Cursor->GetHandle()), Cursor.get());
    std::unique_ptr<TORVCursorRow> Row = Cursor->CreateRow(true);
    Cursor->InitializeRow(*Row);
    Row->GetValues()->GetItems(1)->SetAsInteger(Slot);
    EXPECT_EQ(ErrorOf([&] { Cursor->Insert(*Row); }),
              ReadOnly ? "1000 An error occurred with the cursor " + StringToUtf8(Name) +
                             " (An attempt was made to update a read-only cursor)"
                       : "no error");
    EXPECT_EQ(Cursor->GetRowCount(), ReadOnly ? 0 : 1);
  }
  Database->GetDatabase()->SetReadOnly(false);
}

// The database resets the cursors that read through views only: they give
// back their table and stay registered until freed.
TEST_F(LocalOpenTest, ResettingCursorsReachesOnlyLocalCursorsThroughViews) {
  TORVLocalDatabaseManager* Database = OpenD(u"A");
  TORVBaseTable* Table = AddTable(*Database, u"t", 1);
  std::unique_ptr<TORVCursor> Plain(Database->OpenQueryTable(u"", u"t", false));
  std::unique_ptr<TORVCursor> Viewed(Database->OpenQueryTable(u"", u"t", false));
  TORVView View;
  View.SetName(u"v");
  TORVViewManager ViewManager(Database, &View);
  static_cast<TORVLocalCursor*>(Viewed.get())->AddViewManager(&ViewManager);
  EXPECT_FALSE(Plain->GetReadsThroughViews());
  EXPECT_TRUE(Viewed->GetReadsThroughViews());
  TORVSchemaObjectManager* Manager = RegisteredManager(Database->GetTableManagers(), Table);
  ASSERT_EQ(Manager->GetUseCount(), 2);

  Database->GetLocalSessionManager()->ResetDatabaseManagers();
  EXPECT_TRUE(static_cast<TORVLocalCursor*>(Viewed.get())->GetIsReset());
  EXPECT_FALSE(static_cast<TORVLocalCursor*>(Plain.get())->GetIsReset());
  EXPECT_FALSE(Viewed->GetReadsThroughViews());
  EXPECT_EQ(Manager->GetUseCount(), 1);
  EXPECT_EQ(Database->GetCursors().FindObject(Viewed->GetHandle()), Viewed.get());
  Plain->First();
  EXPECT_TRUE(Plain->GetEOF());
  Viewed.reset();
  Plain.reset();
  EXPECT_EQ(Manager->GetUseCount(), 0);
  int32_t Handle = 0;
  TORVHandleObject* Left = nullptr;
  EXPECT_FALSE(Database->GetCursors().NextObject(Handle, Left));
}

// A table made in the catalog alone gets its files on first open; rows
// written through one cursor read back, in the order written, through
// another of this session and one of another process.
TEST_F(LocalOpenTest, RowsWrittenThroughACursorReadBackThroughOthers) {
  for (const bool PrimaryKey : {true, false}) {
    SCOPED_TRACE(PrimaryKey);
    const TORVString Name = PrimaryKey ? u"keyed" : u"heap";
    const int32_t Slot = PrimaryKey ? 1 : 2;
    TORVLocalDatabaseManager* Database = OpenD(Name);
    TORVLocalDatabaseManager* Other = OpenDInOtherProcess(Name + u"B");
    for (TORVLocalDatabaseManager* Owner : {Database, Other})
      AddTestColumn(AddTable(*Owner, Name, Slot, PrimaryKey)->GetColumns(), u"name", dtCharacter, stVarChar, 20);
    EXPECT_FALSE(fs::exists(Folder() / "d" / (StringToUtf8(Name) + ".ORVTbl")));

    const uint32_t Seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(Seed));
    std::mt19937 Random(Seed);
    std::vector<std::pair<int32_t, TORVString>> Model;
    std::unique_ptr<TORVCursor> Writer(Database->OpenQueryTable(u"", Name, false));
    EXPECT_EQ(Writer->GetActiveIndex(), -1);
    std::unique_ptr<TORVCursorRow> Row = Writer->CreateRow(true);
    for (int32_t Id = 1; Id <= 50; ++Id) {
      Writer->InitializeRow(*Row);
      const TORVString Text = u"r" + IntToString(static_cast<int32_t>(Random() % 1000));
      Row->GetValues()->GetItems(1)->SetAsInteger(Id);
      Row->GetValues()->GetItems(2)->SetAsString(Text);
      ASSERT_TRUE(Writer->Insert(*Row));
      Model.emplace_back(Id, Text);
    }

    for (TORVLocalDatabaseManager* Reader : {Database, Other}) {
      std::unique_ptr<TORVCursor> Cursor(Reader->OpenQueryTable(u"", Name, true));
      EXPECT_EQ(Cursor->GetActiveIndex(), -1);
      EXPECT_EQ(Cursor->GetRowCount(), static_cast<int32_t>(Model.size()));
      std::vector<std::pair<int32_t, TORVString>> Read;
      std::unique_ptr<TORVCursorRow> Current = Cursor->CreateRow(true);
      for (Cursor->First(); !Cursor->GetEOF(); Cursor->Next()) {
        Cursor->GetCurrentRow(*Current, false);
        Read.emplace_back(Current->GetValues()->GetItems(1)->GetAsInteger(),
                          Current->GetValues()->GetItems(2)->GetAsString());
      }
      EXPECT_EQ(Read, Model) << (Reader == Database ? "this session" : "another process");
    }
  }
}

}  // namespace
}  // namespace orv
