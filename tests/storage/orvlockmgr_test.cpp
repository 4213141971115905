#include "storage/orvlockmgr.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "tests/storage/orvlocktestobjects.h"
#include "tests/support/orvchildprocess.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::NewDatabase;
using test::NewTable;
using test::TLockObject;
using test::TTestLockManager;

using test::ErrorOf;

enum TMode { InMemory, InMemoryShared, OnDiskShared };

// One session of a database: its own objects and lock manager on the
// common lock file.
struct TSession {
  std::unique_ptr<TLockObject> Database;
  std::unique_ptr<TLockObject> Table1;
  std::unique_ptr<TLockObject> Table2;
  std::unique_ptr<TTestLockManager> Locks;

  TSession(TORVFileManager* Files, const TORVString& FileName)
      : Database(NewDatabase()), Table1(NewTable(1)), Table2(NewTable(2, u"Items")),
        Locks(std::make_unique<TTestLockManager>(Database.get(), Files, FileName)) {
    Locks->Open();
  }
};

// Every mode: in-process locks (one process owns the files), and byte
// locks on a memory file and on a disk file.
class LockManager : public test::TempFolderTest, public ::testing::WithParamInterface<TMode> {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    if (GetParam() == OnDiskShared) {
      FFiles = test::NewSharedOSFileManager();
    } else {
      auto Files = std::make_unique<test::TFaultMemoryFileManager>();
      Files->SetExclusiveFileAccess(GetParam() == InMemory);
      FFiles = std::move(Files);
    }
    FFiles->Initialize();
  }
  void TearDown() override {
    Sessions.clear();
    FFiles.reset();
    test::TempFolderTest::TearDown();
  }
  TSession& NewSession() {
    Sessions.push_back(std::make_unique<TSession>(FFiles.get(), PathName("orv.lock")));
    return *Sessions.back();
  }

  std::unique_ptr<TORVFileManager> FFiles;
  std::vector<std::unique_ptr<TSession>> Sessions;
};

std::string ModeName(const ::testing::TestParamInfo<TMode>& Info) {
  return Info.param == InMemory ? "Exclusive" : Info.param == InMemoryShared ? "MemoryBytes" : "DiskBytes";
}

INSTANTIATE_TEST_SUITE_P(Modes, LockManager, ::testing::Values(InMemory, InMemoryShared, OnDiskShared), ModeName);

// Slots exist only where sessions lock bytes of the file.
class LockSlots : public LockManager {};
INSTANTIATE_TEST_SUITE_P(Modes, LockSlots, ::testing::Values(InMemoryShared, OnDiskShared), ModeName);

// The memory files show the limit as the disk would, faster.
class SessionLimit : public LockManager {};
INSTANTIATE_TEST_SUITE_P(Modes, SessionLimit, ::testing::Values(InMemory, InMemoryShared), ModeName);

TEST_P(LockManager, TableWriteFailsWhileAnotherSessionReadsIt) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  TSession& C = NewSession();
  EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), ltRead, 0));
  EXPECT_TRUE(C.Locks->LockObject(C.Table1.get(), ltRead, 0));  // readers share
  EXPECT_TRUE(B.Locks->LockObject(B.Table1.get(), ltTransaction, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(B.Table1.get(), ltWrite, 0); }),
            "300 Cannot lock the table Orders for write access");
  EXPECT_FALSE(B.Table1->GetLockState().Contains(lsWriteLocked));
  // Another table is free.
  EXPECT_TRUE(B.Locks->LockObject(B.Table2.get(), ltTransaction, 0));
  EXPECT_TRUE(B.Locks->LockObject(B.Table2.get(), ltWrite, 0));
  A.Locks->UnlockObject(A.Table1.get(), ltRead);
  C.Locks->UnlockObject(C.Table1.get(), ltRead);
  EXPECT_TRUE(B.Locks->LockObject(B.Table1.get(), ltWrite, 0));
  EXPECT_EQ(ErrorOf([&] { A.Locks->LockObject(A.Table1.get(), ltRead, 0); }),
            "300 Cannot lock the table Orders for read access");
}

TEST_P(LockManager, TransactionLocksNestAndOnlyTheOutermostReleaseFreesThem) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), ltTransaction, 0));
  EXPECT_FALSE(A.Locks->LockObject(A.Table1.get(), ltTransaction, 0));
  EXPECT_EQ(A.Table1->GetTransactionLockCount(), 2);
  A.Locks->UnlockObject(A.Table1.get(), ltTransaction);
  EXPECT_EQ(A.Table1->GetTransactionLockCount(), 1);
  EXPECT_TRUE(A.Table1->GetLockState().Contains(lsTransactionLocked));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(B.Table1.get(), ltTransaction, 0); }),
            "300 Cannot lock the table Orders for transaction access");
  // A failed transaction lock leaves no count behind.
  EXPECT_EQ(B.Table1->GetTransactionLockCount(), 0);
  A.Locks->UnlockObject(A.Table1.get(), ltTransaction);
  EXPECT_EQ(A.Table1->GetTransactionLockCount(), 0);
  EXPECT_TRUE(A.Table1->GetLockState().Empty());
  EXPECT_TRUE(B.Locks->LockObject(B.Table1.get(), ltTransaction, 0));
}

TEST_P(LockManager, WriteNeedsATransactionAndIsTakenInsideNestedOnes) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  EXPECT_EQ(ErrorOf([&] { A.Locks->LockObject(A.Table1.get(), ltWrite, 0); }),
            "300 Cannot lock the table Orders for write access");
  EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), ltTransaction, 0));
  EXPECT_FALSE(A.Locks->LockObject(A.Table1.get(), ltTransaction, 0));
  EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), ltWrite, 0));
  EXPECT_FALSE(A.Locks->LockObject(A.Table1.get(), ltWrite, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(B.Table1.get(), ltRead, 0); }),
            "300 Cannot lock the table Orders for read access");
  A.Locks->UnlockObject(A.Table1.get(), ltWrite);
  EXPECT_TRUE(B.Locks->LockObject(B.Table1.get(), ltRead, 0));
}

TEST_P(LockManager, SharedAndExclusiveRulesOfOneSession) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), ltShared, 0));
  EXPECT_FALSE(A.Locks->LockObject(A.Table1.get(), ltShared, 0));
  EXPECT_TRUE(B.Locks->LockObject(B.Table1.get(), ltShared, 0));
  EXPECT_EQ(ErrorOf([&] { A.Locks->LockObject(A.Table1.get(), ltExclusive, 0); }),
            "300 Cannot lock the table Orders for exclusive access");
  A.Locks->UnlockObject(A.Table1.get(), ltShared);
  B.Locks->UnlockObject(B.Table1.get(), ltShared);
  EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), ltExclusive, 0));
  EXPECT_EQ(ErrorOf([&] { A.Locks->LockObject(A.Table1.get(), ltShared, 0); }),
            "300 Cannot lock the table Orders for shared access");
  // Exclusive covers reading and writing of the session's own.
  EXPECT_FALSE(A.Locks->LockObject(A.Table1.get(), ltRead, 0));
  EXPECT_FALSE(A.Locks->LockObject(A.Table1.get(), ltTransaction, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(B.Table1.get(), ltShared, 0); }),
            "300 Cannot lock the table Orders for shared access");
}

TEST_P(LockManager, DatabaseLocksExcludeTheLocksOfEveryTable) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  // A reads table 2, which is not the first table.
  EXPECT_TRUE(A.Locks->LockObject(A.Table2.get(), ltRead, 0));
  EXPECT_TRUE(B.Locks->LockObject(B.Database.get(), ltTransaction, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(B.Database.get(), ltWrite, 0); }),
            "300 Cannot lock the database Sales for write access");
  // The database transaction covers every table's transaction byte.
  EXPECT_EQ(ErrorOf([&] { A.Locks->LockObject(A.Table2.get(), ltTransaction, 0); }),
            "300 Cannot lock the table Items for transaction access");
  A.Locks->UnlockObject(A.Table2.get(), ltRead);
  EXPECT_TRUE(B.Locks->LockObject(B.Database.get(), ltWrite, 0));
  EXPECT_EQ(ErrorOf([&] { A.Locks->LockObject(A.Table2.get(), ltRead, 0); }),
            "300 Cannot lock the table Items for read access");
}

TEST_P(LockManager, TheLastTableSlotLiesInsideTheDatabaseRanges) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  std::unique_ptr<TLockObject> Last(NewTable(4096, u"Last"));
  // The database's transaction byte range ends with the last table's byte.
  EXPECT_TRUE(A.Locks->LockObject(A.Database.get(), ltTransaction, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(Last.get(), ltTransaction, 0); }),
            "300 Cannot lock the table Last for transaction access");
  EXPECT_EQ(Last->GetTransactionLockCount(), 0);
  // And its read/write range ends with the last table's range.
  EXPECT_TRUE(A.Locks->LockObject(A.Database.get(), ltWrite, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(Last.get(), ltRead, 0); }),
            "300 Cannot lock the table Last for read access");
  EXPECT_TRUE(Last->GetLockState().Empty());
  A.Locks->UnlockObject(A.Database.get(), ltWrite);
  A.Locks->UnlockObject(A.Database.get(), ltTransaction);
  EXPECT_TRUE(B.Locks->LockObject(Last.get(), ltTransaction, 0));
  EXPECT_TRUE(B.Locks->LockObject(Last.get(), ltWrite, 0));
  B.Locks->UnlockObject(Last.get(), ltWrite);
  // One process: a database read lock holds off every table's writer. In
  // the file a reader takes one byte, inside table slot 1's range only.
  if (GetParam() == InMemory) {
    EXPECT_TRUE(A.Locks->LockObject(A.Database.get(), ltRead, 0));
    EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(Last.get(), ltWrite, 0); }),
              "300 Cannot lock the table Last for write access");
  }
}

// A user of the configuration ORVConfig in the configuration's lock file.
struct TConfigSession {
  std::unique_ptr<TLockObject> Config{test::NewConfiguration()};
  std::unique_ptr<TLockObject> User;
  std::unique_ptr<TTestLockManager> Locks;

  TConfigSession(TORVFileManager* Files, const TORVString& FileName)
      : User(std::make_unique<TLockObject>(u"user", u"Administrator", lkUser, 4096)),
        Locks(std::make_unique<TTestLockManager>(Config.get(), Files, FileName, 13316)) {
    User->ParentTypeName = u"configuration";
    User->ParentName = u"ORVConfig";
    Locks->Open();
  }
};

TEST_P(LockManager, AUsersExclusiveLockFailsWhileAnotherSessionSharesItAndNamesTheConfiguration) {
  TConfigSession A(FFiles.get(), PathName("config.lock"));
  TConfigSession B(FFiles.get(), PathName("config.lock"));
  EXPECT_TRUE(A.Locks->LockObject(A.User.get(), ltShared, 0));
  EXPECT_EQ(ErrorOf([&] { B.Locks->LockObject(B.User.get(), ltExclusive, 0); }),
            "300 Cannot lock the user Administrator in the configuration ORVConfig for exclusive access");
  EXPECT_TRUE(B.User->GetLockState().Empty());
  // The next range, the first job's, is not the user's.
  TLockObject Job(u"job", u"Nightly", lkJob, 1);
  EXPECT_TRUE(B.Locks->LockObject(&Job, ltExclusive, 0));
  A.Locks->UnlockObject(A.User.get(), ltShared);
  EXPECT_TRUE(B.Locks->LockObject(B.User.get(), ltExclusive, 0));
}

TEST_P(LockManager, ZeroTimeoutStillTriesOnce) {
  TSession& A = NewSession();
  for (TORVLockType LockType : {ltShared, ltRead, ltTransaction}) {
    SCOPED_TRACE(StringToUtf8(LockTypeName(LockType)));
    EXPECT_TRUE(A.Locks->LockObject(A.Table1.get(), LockType, 0));
  }
  EXPECT_TRUE(A.Locks->LockObject(A.Table2.get(), ltExclusive, 0));
}

TEST_P(LockSlots, AreGivenInOrderAndReusedAfterAClose) {
  TSession& A = NewSession();
  TSession& B = NewSession();
  EXPECT_EQ(A.Locks->GetSessionLockSlot(), 1);
  EXPECT_EQ(B.Locks->GetSessionLockSlot(), 2);
  A.Locks->Close();
  EXPECT_EQ(NewSession().Locks->GetSessionLockSlot(), 1);
}

TEST_P(LockSlots, ASlotTakenWhileClosedIsNotShared) {
  TSession& A = NewSession();
  A.Locks->Close();
  TSession& B = NewSession();
  EXPECT_EQ(B.Locks->GetSessionLockSlot(), 1);
  A.Locks->Open();
  EXPECT_EQ(A.Locks->GetSessionLockSlot(), 2);
}

TEST_P(SessionLimit, TheSessionAfterTheMaximumIsRefused) {
  auto Database = std::unique_ptr<TLockObject>(NewDatabase());
  std::vector<std::unique_ptr<TTestLockManager>> Managers;
  for (int32_t Index = 0; Index < 4096; ++Index) {
    Managers.push_back(std::make_unique<TTestLockManager>(Database.get(), FFiles.get(), PathName("orv.lock")));
    Managers.back()->Open();
  }
  if (GetParam() == InMemoryShared) {
    EXPECT_EQ(Managers.back()->GetSessionLockSlot(), 4096);
  }
  TTestLockManager Extra(Database.get(), FFiles.get(), PathName("orv.lock"));
  EXPECT_EQ(ErrorOf([&] { Extra.Open(); }), "504 The maximum number of concurrent sessions (4096) has been reached");
  EXPECT_FALSE(Extra.GetOpened());
  Managers.front()->Close();
  Extra.Open();
  if (GetParam() == InMemoryShared) {
    EXPECT_EQ(Extra.GetSessionLockSlot(), 1);
  }
}

// ------------------------------------------------------ two processes

using test::ChildProcess;

class TwoProcessLocks : public test::TempFolderTest {
 protected:
  std::unique_ptr<test::TFaultOSFileManager> NewFiles() { return test::NewSharedOSFileManager(); }
};

TEST_F(TwoProcessLocks, ALockFileThatCannotBeCreatedMakesTheObjectReadOnly) {
  auto Files = NewFiles();
  auto Database = std::unique_ptr<TLockObject>(NewDatabase());
  auto Table = std::unique_ptr<TLockObject>(NewTable(1));
  TTestLockManager Locks(Database.get(), Files.get(), PathName("missing/orv.lock"));
  Locks.Open();
  EXPECT_TRUE(Database->GetReadOnly());
  for (TORVLockType LockType : {ltShared, ltTransaction, ltWrite}) {
    SCOPED_TRACE(StringToUtf8(LockTypeName(LockType)));
    EXPECT_TRUE(Locks.LockObject(Table.get(), LockType, 0));
  }
  for (TORVLockType LockType : {ltWrite, ltTransaction, ltShared}) Locks.UnlockObject(Table.get(), LockType);
  EXPECT_TRUE(Table->GetLockState().Empty());
}

TEST_F(TwoProcessLocks, SlotsAndTableLocksHoldAcrossProcesses) {
  auto Files = NewFiles();
  TSession Parent(Files.get(), PathName("orv.lock"));
  EXPECT_EQ(Parent.Locks->GetSessionLockSlot(), 1);
  ChildProcess Child([&](ChildProcess& Self) {
    auto ChildFiles = NewFiles();
    TSession Mine(ChildFiles.get(), PathName("orv.lock"));
    Self.Tell(static_cast<char>('0' + Mine.Locks->GetSessionLockSlot()));
    bool Read = Mine.Locks->LockObject(Mine.Table1.get(), ltRead, 0);
    Self.Tell(Read ? 'r' : 'x');
    Self.Await();
    Mine.Locks->UnlockObject(Mine.Table1.get(), ltRead);
    // The parent's transaction lock nests; the child waits for it.
    Self.Tell('u');
    Self.Await();
    bool Taken = false;
    try {
      Taken = Mine.Locks->LockObject(Mine.Table1.get(), ltTransaction, 0);
    } catch (const EORVException&) {
    }
    Self.Tell(Taken ? 't' : 'n');
    Self.Await();
    Taken = Mine.Locks->LockObject(Mine.Table1.get(), ltTransaction, 5000);
    Self.Tell(Taken ? 't' : 'n');
  });
  EXPECT_EQ(Child.Expect(), '2');
  EXPECT_EQ(Child.Expect(), 'r');
  EXPECT_TRUE(Parent.Locks->LockObject(Parent.Table1.get(), ltTransaction, 0));
  EXPECT_EQ(ErrorOf([&] { Parent.Locks->LockObject(Parent.Table1.get(), ltWrite, 0); }),
            "300 Cannot lock the table Orders for write access");
  Child.Go();
  EXPECT_EQ(Child.Expect(), 'u');
  EXPECT_TRUE(Parent.Locks->LockObject(Parent.Table1.get(), ltWrite, 0));
  Parent.Locks->UnlockObject(Parent.Table1.get(), ltWrite);
  EXPECT_FALSE(Parent.Locks->LockObject(Parent.Table1.get(), ltTransaction, 0));
  Child.Go();
  EXPECT_EQ(Child.Expect(), 'n');
  // The inner release keeps the byte; the outer frees it while the child
  // waits for it.
  Parent.Locks->UnlockObject(Parent.Table1.get(), ltTransaction);
  Child.Go();
  Parent.Locks->UnlockObject(Parent.Table1.get(), ltTransaction);
  EXPECT_EQ(Child.Expect(), 't');
  EXPECT_EQ(Child.Finish(), 0);
}

TEST_F(TwoProcessLocks, AUserSharedInOneProcessCannotBeLockedExclusivelyInAnother) {
  auto Files = NewFiles();
  TConfigSession Parent(Files.get(), PathName("config.lock"));
  ChildProcess Child([&](ChildProcess& Self) {
    auto ChildFiles = NewFiles();
    TConfigSession Mine(ChildFiles.get(), PathName("config.lock"));
    Self.Tell(Mine.Locks->LockObject(Mine.User.get(), ltShared, 0) ? 's' : 'x');
    Self.Await();
  });
  ASSERT_EQ(Child.Expect(), 's');
  EXPECT_EQ(ErrorOf([&] { Parent.Locks->LockObject(Parent.User.get(), ltExclusive, 0); }),
            "300 Cannot lock the user Administrator in the configuration ORVConfig for exclusive access");
  EXPECT_TRUE(Parent.User->GetLockState().Empty());
  Child.Go();
  EXPECT_EQ(Child.Finish(), 0);
  EXPECT_TRUE(Parent.Locks->LockObject(Parent.User.get(), ltExclusive, 1000));
}

}  // namespace
}  // namespace orv
