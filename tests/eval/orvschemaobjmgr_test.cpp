#include "eval/orvschemaobjmgr.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvlockable.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "tests/eval/orvtestdatabase.h"
#include "tests/support/orvchildprocess.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::TTestDatabase;

// What the managers of one collection do: which hook fails, whether they
// keep open, and the hooks they ran, in order.
struct TManagerScript {
  std::string FailIn;
  bool KeepOpen = false;
  std::vector<std::string> Log;
  // Run inside InternalOpenReferenced, as a constraint or trigger that
  // opens its own table again would.
  std::function<void()> OnOpenReferenced;
};

class TRecordingManager : public TORVSchemaObjectManager {
 public:
  TRecordingManager(TORVSchemaObjectOwner* Owner, TORVPrivilegedSchemaObject* Object, TManagerScript& Script)
      : TORVSchemaObjectManager(Owner, Object), FScript(Script) {}

  bool GetKeepOpen() override { return FScript.KeepOpen; }
  void InternalOpen() override { Hook("Open"); }
  void InternalReopen() override { Hook("Reopen"); }
  void InternalOpenReferenced() override {
    Hook("OpenReferenced");
    if (FScript.OnOpenReferenced) FScript.OnOpenReferenced();
  }
  void InternalInitialize() override { Hook("Initialize"); }
  void InternalReset() override { Hook("Reset"); }
  void InternalCloseReferenced() override { Hook("CloseReferenced"); }
  void InternalClose() override { Hook("Close"); }

 private:
  void Hook(const std::string& Name) {
    FScript.Log.push_back(Name);
    if (FScript.FailIn == Name) throw EORVException(ORV_FILE_MANAGER_ERROR.Code, u"fails in " + Utf8ToString(Name));
  }

  TManagerScript& FScript;
};

// Table managers whose stored kind is the recording manager.
class TTestTableManagers : public TORVTableManagers {
 public:
  TTestTableManagers(TORVSchemaObjectOwner* Owner, TManagerScript& Script)
      : TORVTableManagers(Owner), FScript(Script) {}
  ~TTestTableManagers() override { FreeAll(); }

 protected:
  std::unique_ptr<TORVSchemaObjectManager> CreateTableManager(TORVSchemaObjectOwner* Owner,
                                                              TORVPrivilegedSchemaObject* Object) override {
    return std::make_unique<TRecordingManager>(Owner, Object, FScript);
  }

 private:
  TManagerScript& FScript;
};

// One session of the database Main: its catalog with the table t, its
// lock manager on the folder's lock file, its table managers.
struct TSession {
  TSession(TORVFileManager* Files, const TORVString& LockFileName)
      : Database(Files, LockFileName), Table(Database.AddTable(u"t", 1)), Managers(&Database, Script) {}

  TTestDatabase Database;
  TORVBaseTable* Table;
  TManagerScript Script;
  TTestTableManagers Managers;
};

class SchemaObjectManagers : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    FFiles = test::NewSharedOSFileManager();
    FFiles->Initialize();
  }
  void TearDown() override {
    FSessions.clear();
    FFiles.reset();
    test::TempFolderTest::TearDown();
  }
  TSession& NewSession() {
    FSessions.push_back(std::make_unique<TSession>(FFiles.get(), PathName("orv.lock")));
    return *FSessions.back();
  }
  // Whether another session can have the table exclusively at once: no
  // lock of an earlier session is left on it.
  bool FreeForOthers() {
    TSession& Other = NewSession();
    TORVLockManager& Locks = Other.Database.GetLockManager();
    bool Locked = ErrorOf([&] { Locks.LockObject(Other.Table, ltExclusive, 0); }) == "no error";
    if (Locked) Locks.UnlockObject(Other.Table, ltExclusive);
    return Locked;
  }

  std::unique_ptr<test::TFaultOSFileManager> FFiles;
  std::vector<std::unique_ptr<TSession>> FSessions;
};

std::string Joined(const std::vector<std::string>& Log) {
  std::string Text;
  for (const std::string& Item : Log) Text += (Text.empty() ? "" : " ") + Item;
  return Text;
}

TEST_F(SchemaObjectManagers, AReentrantOpenOnlyCountsOneMoreUser) {
  TSession& S = NewSession();
  TORVSchemaObjectManager* Inner = nullptr;
  S.Script.OnOpenReferenced = [&] {
    S.Script.OnOpenReferenced = nullptr;
    Inner = S.Managers.Open(S.Table, ltShared);
  };
  TORVSchemaObjectManager* Manager = S.Managers.Open(S.Table, ltShared);
  EXPECT_EQ(Inner, Manager);
  EXPECT_EQ(Joined(S.Script.Log), "Open Initialize OpenReferenced");
  EXPECT_EQ(Manager->GetUseCount(), 2);
  EXPECT_EQ(Manager->GetRefOpenCount(), 1);
  Manager->Close(false, false, true);
  EXPECT_TRUE(Manager->GetOpened());
  Manager->Close(false, true, true);
  EXPECT_FALSE(Manager->GetOpened());
  EXPECT_EQ(Joined(S.Script.Log), "Open Initialize OpenReferenced CloseReferenced Reset Close");
  EXPECT_TRUE(FreeForOthers());
}

TEST_F(SchemaObjectManagers, AForcedCloseOfAManagerInUseClosesItAndUnlocks) {
  TSession& S = NewSession();
  TORVSchemaObjectManager* Manager = S.Managers.Open(S.Table, ltShared);
  S.Managers.Open(S.Table, ltShared);
  ASSERT_EQ(Manager->GetUseCount(), 2);
  Manager->Close(true, true, true);
  EXPECT_FALSE(Manager->GetOpened());
  EXPECT_FALSE(Manager->GetInitialized());
  EXPECT_EQ(Manager->GetUseCount(), 0);
  EXPECT_FALSE(S.Table->GetLockState().Contains(lsSharedLocked));
  EXPECT_TRUE(FreeForOthers());
}

// Each failure inside Open leaves the manager as before, gives back the
// lock the collection took and removes the manager nobody uses.
TEST_F(SchemaObjectManagers, AFailingOpenLeavesNothingOpenLockedOrRegistered) {
  struct TCase {
    std::string FailIn;
    std::string Log;
  };
  for (const TCase& Case : {TCase{"Open", "Open Close"}, TCase{"Initialize", "Open Initialize Reset Close"},
                            TCase{"OpenReferenced", "Open Initialize OpenReferenced Reset Close"}}) {
    SCOPED_TRACE(Case.FailIn);
    TSession& S = NewSession();
    S.Script.FailIn = Case.FailIn;
    EXPECT_EQ(ErrorOf([&] { S.Managers.Open(S.Table, ltExclusive); }),
              "600 fails in " + Case.FailIn);
    EXPECT_EQ(Joined(S.Script.Log), Case.Log);
    EXPECT_EQ(S.Managers.GetCount(), 0);
    EXPECT_EQ(S.Table->GetManagerHandle(), 0);
    EXPECT_TRUE(S.Table->GetLockState().Empty());
    EXPECT_TRUE(FreeForOthers());
    FSessions.clear();
  }
}

// A failed open of a manager that others use keeps their lock.
TEST_F(SchemaObjectManagers, AFailingReopenKeepsTheLockOfTheManagersUsers) {
  TSession& S = NewSession();
  S.Script.KeepOpen = true;
  TORVSchemaObjectManager* Manager = S.Managers.Open(S.Table, ltShared);
  S.Script.FailIn = "OpenReferenced";
  EXPECT_NE(ErrorOf([&] { S.Managers.Open(S.Table, ltShared); }), "no error");
  EXPECT_EQ(Manager->GetUseCount(), 1);
  EXPECT_EQ(S.Managers.Get(S.Table, false), Manager);
  EXPECT_TRUE(S.Table->GetLockState().Contains(lsSharedLocked));
  EXPECT_FALSE(FreeForOthers());
}

TEST_F(SchemaObjectManagers, AFailingCloseStillLeavesTheManagerClosedAndUnlocked) {
  TSession& S = NewSession();
  TORVSchemaObjectManager* Manager = S.Managers.Open(S.Table, ltExclusive);
  S.Script.FailIn = "Close";
  EXPECT_EQ(ErrorOf([&] { Manager->Close(false, true, true); }), "600 fails in Close");
  EXPECT_FALSE(Manager->GetOpened());
  EXPECT_FALSE(Manager->GetClosing());
  EXPECT_EQ(Manager->GetUseCount(), 0);
  EXPECT_TRUE(S.Table->GetLockState().Empty());
  EXPECT_TRUE(FreeForOthers());
}

TEST_F(SchemaObjectManagers, AnIdleKeptOpenManagerReopensUnlessItsObjectIsInATransaction) {
  for (bool InTransaction : {false, true}) {
    SCOPED_TRACE(InTransaction);
    TSession& S = NewSession();
    S.Script.KeepOpen = true;
    TORVSchemaObjectManager* Manager = S.Managers.Open(S.Table, ltShared);
    Manager->Close(false, true, true);
    // Idle: the files stay open under the shared lock, compiled state gone.
    EXPECT_TRUE(Manager->GetOpened());
    EXPECT_FALSE(Manager->GetInitialized());
    EXPECT_TRUE(S.Table->GetLockState().Contains(lsSharedLocked));
    if (InTransaction) S.Table->StartTransaction();
    S.Script.Log.clear();
    EXPECT_EQ(S.Managers.Open(S.Table, ltShared), Manager);
    EXPECT_EQ(Joined(S.Script.Log), InTransaction ? "Initialize OpenReferenced" : "Reopen Initialize OpenReferenced");
    EXPECT_TRUE(Manager->GetKeepOpenFlag());
    if (InTransaction) S.Table->EndTransaction();
    FSessions.clear();
  }
}

TEST_F(SchemaObjectManagers, AnExclusiveOpenOfAnIdleKeptOpenTableGivesBackTheCachedSharedLockFirst) {
  TSession& S = NewSession();
  S.Script.KeepOpen = true;
  TORVSchemaObjectManager* Manager = S.Managers.Open(S.Table, ltShared);
  Manager->Close(false, true, true);
  ASSERT_TRUE(S.Table->GetLockState().Contains(lsSharedLocked));
  EXPECT_EQ(S.Managers.Open(S.Table, ltExclusive), Manager);
  EXPECT_TRUE(S.Table->GetLockState().Contains(lsExclusiveLocked));
  EXPECT_FALSE(S.Table->GetLockState().Contains(lsSharedLocked));
  // An exclusive table is not kept open past its use.
  EXPECT_FALSE(Manager->GetKeepOpenFlag());
  Manager->Close(false, true, true);
  EXPECT_FALSE(Manager->GetOpened());
  EXPECT_TRUE(FreeForOthers());
}

// The second session runs on its own thread; its exclusive open waits for
// the lock's time-out, then fails and leaves nothing behind.
TEST_F(SchemaObjectManagers, AnotherSessionsExclusiveOpenFailsWhileTheTableIsOpenAndSucceedsAfterCloseAll) {
  TSession& A = NewSession();
  A.Script.KeepOpen = true;
  TSession& B = NewSession();
  TORVSchemaObjectManager* Manager = A.Managers.Open(A.Table, ltShared);
  Manager->Close(false, true, true);  // idle, still open and shared-locked
  auto OpenInB = [&] {
    return std::async(std::launch::async, [&] { return ErrorOf([&] { B.Managers.Open(B.Table, ltExclusive); }); });
  };
  EXPECT_EQ(OpenInB().get(), "300 Cannot lock the table t in the schema Default for exclusive access");
  EXPECT_EQ(B.Managers.GetCount(), 0);
  EXPECT_EQ(B.Table->GetManagerHandle(), 0);
  EXPECT_TRUE(B.Table->GetLockState().Empty());
  A.Managers.CloseAll();
  EXPECT_FALSE(Manager->GetOpened());
  EXPECT_EQ(OpenInB().get(), "no error");
  EXPECT_TRUE(B.Table->GetLockState().Contains(lsExclusiveLocked));
}

// The same between two processes: the child's exclusive open fails after
// its time-out and registers nothing; after the parent's CloseAll it
// succeeds. The child is forked before the parent locks anything, as
// another server process would start on its own.
TEST_F(SchemaObjectManagers, AnotherProcesssExclusiveOpenFailsWhileTheTableIsOpenAndSucceedsAfterCloseAll) {
  TSession& A = NewSession();
  A.Script.KeepOpen = true;
  test::ChildProcess Child([&](test::ChildProcess& Self) {
    auto ChildFiles = test::NewSharedOSFileManager();
    ChildFiles->Initialize();
    TSession B(ChildFiles.get(), PathName("orv.lock"));
    Self.Tell('r');
    Self.Await();
    bool Refused = ErrorOf([&] { B.Managers.Open(B.Table, ltExclusive); }) ==
                   "300 Cannot lock the table t in the schema Default for exclusive access";
    Self.Tell(Refused && B.Managers.GetCount() == 0 && B.Table->GetLockState().Empty() ? 'f' : 'x');
    Self.Await();
    bool Opened = ErrorOf([&] { B.Managers.Open(B.Table, ltExclusive); }) == "no error";
    Self.Tell(Opened ? 'o' : 'x');
  });
  ASSERT_EQ(Child.Expect(), 'r');
  A.Managers.Open(A.Table, ltShared)->Close(false, true, true);
  Child.Go();
  EXPECT_EQ(Child.Expect(), 'f');
  A.Managers.CloseAll();
  Child.Go();
  EXPECT_EQ(Child.Expect(), 'o');
  EXPECT_EQ(Child.Finish(), 0);
}

TEST_F(SchemaObjectManagers, TheTableManagersOfADatabaseHoldAtMost4096) {
  TSession& S = NewSession();
  std::vector<TORVBaseTable*> Tables;
  for (int32_t I = 1; I < TORVTableManagers::MaximumCapacity; ++I)
    Tables.push_back(S.Database.AddTable(u"t" + Utf8ToString(std::to_string(I)), 0));
  // A schema holds at most 4096 tables, t among them.
  Tables.push_back(S.Table);
  Tables.push_back(S.Database.AddTemporaryTable(u"extra"));
  for (int32_t I = 0; I < TORVTableManagers::MaximumCapacity; ++I) S.Managers.Get(Tables[I], true);
  try {
    S.Managers.Get(Tables.back(), true);
    ADD_FAILURE() << "the 4097th manager was registered";
  } catch (const EORVBaseException& E) {
    EXPECT_STREQ(E.what(), "Handle objects container capacity (4096) exceeded");
  }
  EXPECT_EQ(Tables.back()->GetManagerHandle(), 0);
  S.Managers.Remove(Tables[7]);
  EXPECT_EQ(S.Managers.Get(Tables.back(), true)->GetHandle(), 8);
}

TEST_F(SchemaObjectManagers, RemoveAllUnusedFreesOnlyClosedManagers) {
  TSession& S = NewSession();
  TORVBaseTable* Other = S.Database.AddTable(u"u", 2);
  TORVSchemaObjectManager* Open = S.Managers.Open(S.Table, ltShared);
  S.Managers.Get(Other, true);
  S.Managers.RemoveAllUnused();
  EXPECT_EQ(S.Managers.GetCount(), 1);
  EXPECT_EQ(Other->GetManagerHandle(), 0);
  EXPECT_EQ(S.Managers.Get(S.Table, false), Open);
}

// Until their kinds are built, the table managers name the kind they cannot
// make, and register nothing.
TEST_F(SchemaObjectManagers, TableManagersChooseTheKindByTheResultSetFlag) {
  TSession& S = NewSession();
  S.Database.DatabaseFolder = FolderName();
  S.Table->SetInternalName(u"t");
  TORVTableManagers Plain(&S.Database);
  EXPECT_NE(dynamic_cast<TORVTableManager*>(Plain.Open(S.Table, ltShared)), nullptr);
  Plain.FreeAll();
  S.Table->SetResultSet(true);
  EXPECT_EQ(ErrorOf([&] { Plain.Open(S.Table, ltShared); }),
            "100 There is an error in the metadata for the table t (No manager of the kind query result table can be "
            "made)");
  EXPECT_EQ(Plain.GetCount(), 0);
  EXPECT_EQ(ErrorOf([&] { S.Managers.Open(S.Table, ltShared); }), ErrorOf([&] { Plain.Open(S.Table, ltShared); }));
  S.Table->SetResultSet(false);
  EXPECT_NE(S.Managers.Open(S.Table, ltShared), nullptr);
  EXPECT_TRUE(S.Database.GetLockManager().GetOpened());
}

}  // namespace
}  // namespace orv
