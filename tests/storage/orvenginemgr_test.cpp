#include "storage/orvenginemgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvdatetime.h"
#include "tests/support/orvfakesession.h"

namespace orv {
namespace {

class TTestSession : public test::TFakeSession<TORVEngineSessionManager> {
 public:
  TTestSession(TORVEngineManager* Engine, bool AcquireLock, bool InScans = true, int* Freed = nullptr)
      : TFakeSession(Engine, AcquireLock), FInScans(InScans), FFreed(Freed) {}
  ~TTestSession() override {
    if (FFreed != nullptr) ++*FFreed;
  }
  bool IncludeInScans() override { return FInScans; }

 private:
  bool FInScans;
  int* FFreed;
};

int32_t ErrorCodeOf(const std::function<void()>& Action, std::string* Message = nullptr) {
  try {
    Action();
  } catch (const EORVException& E) {
    if (Message != nullptr) *Message = StringToUtf8(E.ErrorMsg());
    return E.ErrorCode();
  }
  return 0;
}

class EngineManager : public ::testing::Test {
 protected:
  TTestSession* NewSession(bool AcquireLock = false, bool InScans = true) {
    return CreateSessionManager<TTestSession>(FEngine.get(), AcquireLock, InScans, &FFreed);
  }

  int FFreed = 0;
  std::unique_ptr<TORVEngineManager> FEngine = CreateEngineManager();
};

TEST_F(EngineManager, VersionsComeFromTheBuild) {
  EXPECT_EQ(FEngine->GetVersion().Scaled(), 23800);
  EXPECT_EQ(FEngine->GetBuildNumber(), 2);
  EXPECT_EQ(FEngine->GetCatalogVersion().Scaled(), 20500);
}

// Counts the starts and stops of the file managers; can be told to fail
// the start after the file managers were initialized.
class TCountingEngine : public TORVEngineManager {
 public:
  int Opens = 0;
  int Closes = 0;
  bool FailOpen = false;

 protected:
  void InternalOpen() override {
    ++Opens;
    TORVEngineManager::InternalOpen();
    if (FailOpen) throw std::runtime_error("start failed");
  }
  void InternalClose() override {
    ++Closes;
    TORVEngineManager::InternalClose();
  }
};

TEST(EngineManagerOpen, OpensOnceClosesOnceAndAFailedOpenStaysClosed) {
  auto Engine = CreateEngineManager<TCountingEngine>();
  Engine->Close();
  Engine->Open();
  Engine->Open();
  EXPECT_TRUE(Engine->GetOpened());
  Engine->Close();
  Engine->Close();
  EXPECT_EQ(Engine->Opens, 1);
  EXPECT_EQ(Engine->Closes, 1);
  EXPECT_FALSE(Engine->GetOpened());

  Engine->FailOpen = true;
  EXPECT_THROW(Engine->Open(), std::runtime_error);
  EXPECT_FALSE(Engine->GetOpened());
  EXPECT_EQ(Engine->Closes, 2) << "a failed open undoes what it started";
}

TEST_F(EngineManager, FileManagersServeTheirFiles) {
  auto* Memory = &FEngine->GetMemoryFileManager();
  auto* MemoryDatabase = &FEngine->GetMemoryDatabaseFileManager();
  auto* OS = &FEngine->GetOSFileManager();
  auto* Buffered = &FEngine->GetBufferedOSFileManager();
  const TORVStore* NoStore = nullptr;
  for (bool BufferedIO : {false, true}) {
    FEngine->GetSettings().SetBufferedFileIO(BufferedIO);
    TORVFileManager* Disk = BufferedIO ? static_cast<TORVFileManager*>(Buffered) : OS;
    EXPECT_EQ(FEngine->GetFileManagerForDatabase(false, u"Sales"), Disk);
    EXPECT_EQ(FEngine->GetFileManagerForDatabase(true, u"Sales"), MemoryDatabase);
    EXPECT_EQ(FEngine->GetFileManagerForDatabase(false, u"configuration"), Memory);
    EXPECT_EQ(FEngine->GetFileManagerForDatabase(false, u"__CURSOR__CACHE"), Memory);
    EXPECT_EQ(FEngine->GetConfigFileManager(true), Memory);
    EXPECT_EQ(FEngine->GetConfigFileManager(false), Disk);
    EXPECT_EQ(FEngine->GetFileManagerForStore(NoStore), OS);
  }
}

TEST_F(EngineManager, DiskManagersAnswerFromTheSettings) {
  auto& OS = FEngine->GetOSFileManager();
  auto& Buffered = FEngine->GetBufferedOSFileManager();
  EXPECT_FALSE(OS.GetExclusiveFileAccess());
  EXPECT_EQ(OS.GetMaximumLockedFileSize(), 128000000000);
  EXPECT_EQ(OS.GetMaximumFileSize(), INT64_MAX);
  EXPECT_TRUE(Buffered.GetExclusiveFileAccess());
  EXPECT_EQ(Buffered.GetMaximumLockedFileSize(), INT64_MAX);

  auto& Overrides = FEngine->GetSettings().GetBufferedFileIOSettings();
  Overrides.Add(u"*.ORVTbl", 8, 16, 30, true);
  Overrides.Add(u"*.Big", 64, 4000, 30, false);
  Overrides.Add(u"*.Bad", 0, -5, 30, false);
  FEngine->GetSettings().SetBufferedFileIOFlushInterval(7);
  EXPECT_EQ(Buffered.GetFileBufferBlockSize(u"/d/Customers.ORVTbl"), 8192);
  EXPECT_EQ(Buffered.GetMaximumFileBufferSize(u"/d/Customers.ORVTbl"), 16777216);
  EXPECT_EQ(Buffered.GetFileBufferFlushAge(u"/d/Customers.ORVTbl"), 30);
  EXPECT_TRUE(Buffered.GetFileBufferFlushDisk(u"/d/Customers.ORVTbl"));
  EXPECT_EQ(Buffered.GetFileBufferBlockSize(u"/d/Customers.ORVIdx"), 4096);
  EXPECT_EQ(Buffered.GetMaximumFileBufferSize(u"/d/Customers.ORVIdx"), 8388608);
  EXPECT_EQ(Buffered.GetFileBufferFlushAge(u"/d/Customers.ORVIdx"), 120);
  EXPECT_EQ(Buffered.GetMaximumFileBufferSize(u"/d/T.Big"), 4000LL * 1048576) << "no 32-bit overflow";
  EXPECT_EQ(Buffered.GetFileBufferBlockSize(u"/d/T.Bad"), 4096) << "a size that is not positive is no size";
  EXPECT_EQ(Buffered.GetMaximumFileBufferSize(u"/d/T.Bad"), 8388608);
  EXPECT_EQ(static_cast<TORVBufferedOSFileManager&>(Buffered).GetFileBufferFlushInterval(), 7);
  EXPECT_EQ(OS.GetFileBufferBlockSize(u"/d/Customers.ORVTbl"), 4096) << "unbuffered files ignore the overrides";
}

TEST_F(EngineManager, TimeStampsStrictlyIncreaseAlsoAcrossSetTimeStamp) {
  int64_t Last = FEngine->GetNextTimeStamp();
  for (int I = 0; I < 1000; ++I) {
    const int64_t Next = FEngine->GetNextTimeStamp();
    ASSERT_GT(Next, Last);
    Last = Next;
  }
  const int64_t Ahead = CurrentTimeStamp(false) + 3600000;
  FEngine->SetTimeStamp(Ahead);
  FEngine->SetTimeStamp(Ahead - 10);
  EXPECT_EQ(FEngine->GetNextTimeStamp(), Ahead + 1);
  EXPECT_EQ(FEngine->GetNextTimeStamp(), Ahead + 2);
}

TEST_F(EngineManager, FullSessionTableRefusesAndAFreedHandleIsReused) {
  std::vector<TTestSession*> Sessions;
  for (int32_t I = 1; I <= TORVEngineManager::MaximumSessions; ++I) {
    Sessions.push_back(NewSession());
    ASSERT_EQ(Sessions.back()->GetHandle(), I);
  }
  try {
    NewSession();
    FAIL() << "the 4,099th session registered";
  } catch (const EORVBaseException& E) {
    EXPECT_EQ(StringToUtf8(E.Message()), "Handle objects container capacity (4098) exceeded");
  }
  EXPECT_EQ(FFreed, 1) << "the refused session is freed, not left behind";
  TORVEngineSessionManager* Freed = Sessions[1233];
  FreeSessionManager(Freed);
  EXPECT_EQ(Freed, nullptr);
  EXPECT_FALSE(FEngine->SessionManagerExists(1234));
  EXPECT_EQ(NewSession()->GetHandle(), 1234);
}

TEST_F(EngineManager, NewSessionWhoseHandleLockIsStillHeldFailsWithoutRegistering) {
  TORVEngineSessionManager* Kept = NewSession(true);  // freed while locked, its lock kept
  FreeSessionManager(Kept);
  std::string Message;
  EXPECT_EQ(ErrorCodeOf([&] { NewSession(true); }, &Message), 506);
  EXPECT_EQ(Message, "Cannot lock the session manager (ID: 1)");
  EXPECT_EQ(FFreed, 2);
  EXPECT_FALSE(FEngine->SessionManagerExists(1));
}

TEST_F(EngineManager, FindChecksTheIdentityAndLeavesAMismatchUnlocked) {
  TTestSession* Session = NewSession();
  Session->Open(u"proc", u"name", u"");
  TORVEngineSessionManager* Found = Session;
  EXPECT_FALSE(FEngine->FindSessionManager(99, Found, true, 0, false, u"", u"", u"", 0));
  EXPECT_EQ(Found, nullptr);
  const int32_t Handle = Session->GetHandle();
  EXPECT_FALSE(FEngine->FindSessionManager(Handle, Found, true, 0, false, u"{other}", u"", u"", 0));
  EXPECT_FALSE(FEngine->FindSessionManager(Handle, Found, true, 0, false, u"", u"PROC", u"name", 1));
  EXPECT_TRUE(Session->TryLock(0)) << "a mismatch leaves the session unlocked";
  Session->Unlock();
  ASSERT_TRUE(FEngine->FindSessionManager(Handle, Found, true, 0, false, u"", u"PROC", u"NAME", 0));
  EXPECT_EQ(Found, Session);
  EXPECT_FALSE(Session->TryLock(0)) << "found with AcquireLock: the caller holds it";
  Session->Unlock();
  ASSERT_TRUE(FEngine->FindSessionManager(Handle, Found, true, 0, false, Session->GetUniqueID(), u"x", u"y", 5));
  Session->Unlock();
}

TEST_F(EngineManager, BusySessionRaises506AfterTheWaitAndCanBeCancelled) {
  TTestSession* Session = NewSession(true);  // held by its creator
  const int32_t Handle = Session->GetHandle();
  TORVEngineSessionManager* Found = nullptr;
  std::string Message;
  EXPECT_EQ(ErrorCodeOf([&] { FEngine->FindSessionManager(Handle, Found, true, 30, false, u"", u"", u"", 0); },
                        &Message),
            506);
  EXPECT_EQ(Message, "Cannot lock the session manager (ID: " + std::to_string(Handle) + ")");
  EXPECT_FALSE(Session->GetProgressAborted());
  EXPECT_EQ(ErrorCodeOf([&] { FEngine->FindSessionManager(Handle, Found, true, 0, true, u"", u"", u"", 0); }), 506);
  EXPECT_TRUE(Session->GetProgressAborted());
  EXPECT_EQ(ErrorCodeOf([&] { Session->Lock(10); }), 506);
  EXPECT_FALSE(Session->TryLock(10));
  Session->Unlock();
  EXPECT_TRUE(FEngine->FindSessionManager(Handle, Found, false, 0, false, u"", u"", u"", 0));
}

TEST_F(EngineManager, SessionInAProgressUpdateIsNeverKeptByALookup) {
  TTestSession* Session = NewSession(true);
  Session->BeginProgressUpdate();
  Session->Unlock();  // lent out while the progress report goes to the client
  TORVEngineSessionManager* Found = nullptr;
  EXPECT_EQ(ErrorCodeOf([&] {
              FEngine->FindSessionManager(Session->GetHandle(), Found, true, 20, true, u"", u"", u"", 0);
            }),
            506);
  EXPECT_TRUE(Session->TryLock(0)) << "the lookup gave the lent lock back";
  Session->EndProgressUpdate();
  Session->Unlock();
}

TEST_F(EngineManager, CancelThatArrivesDuringAProgressUpdateIsNotLost) {
  TTestSession* Session = NewSession();
  Session->SetProgressInterval(0);
  Session->StartProgress();
  Session->BeginProgressUpdate();
  Session->CancelProgress();
  Session->EndProgressUpdate();
  EXPECT_TRUE(Session->GetProgressAborted());
  EXPECT_FALSE(Session->CheckProgressInterval(10)) << "the operation stops at its next report";
  Session->EndProgress();
  EXPECT_FALSE(Session->GetProgressAborted()) << "the cancel belonged to the finished operation";
  Session->StartProgress();
  EXPECT_TRUE(Session->CheckProgressInterval(10));
  Session->EndProgress();
}

TEST_F(EngineManager, ScanPassesOverSessionsOutsideScans) {
  TTestSession* First = NewSession();
  NewSession(false, false);
  TTestSession* Third = NewSession(true);
  int32_t Handle = 0;
  TORVEngineSessionManager* Found = nullptr;
  FEngine->BeginSessionManagerLoop();
  ASSERT_TRUE(FEngine->NextSessionManager(Handle, Found, 0, true, 0));
  EXPECT_EQ(Found, First);
  Found->Unlock();
  // The third is held by its creator: only as the caller's own session is
  // it handed out without its lock.
  EXPECT_EQ(ErrorCodeOf([&] { FEngine->NextSessionManager(Handle, Found, 0, true, 0); }), 506);
  ASSERT_TRUE(FEngine->NextSessionManager(Handle, Found, Third->GetHandle(), true, 0));
  EXPECT_EQ(Found, Third);
  EXPECT_EQ(Handle, 3);
  EXPECT_FALSE(FEngine->NextSessionManager(Handle, Found, 0, true, 0));
  EXPECT_EQ(Found, nullptr);
  FEngine->EndSessionManagerLoop();
  Third->Unlock();
}

TEST_F(EngineManager, HolderOfASessionCanRegisterWhileAnotherThreadWaitsForIt) {
  TTestSession* Held = NewSession(true);
  std::atomic<bool> Got{false};
  std::thread Waiter([&] {
    TORVEngineSessionManager* Found = nullptr;
    Got = FEngine->FindSessionManager(Held->GetHandle(), Found, true, ORVInfiniteWait, false, u"", u"", u"", 0);
    if (Got) Found->Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Would wait forever if the waiter kept the engine lock while waiting.
  TTestSession* Other = NewSession();
  EXPECT_EQ(Other->GetHandle(), 2);
  Held->Unlock();
  Waiter.join();
  EXPECT_TRUE(Got);
}

TEST_F(EngineManager, CloseFreesTheSessionsStillRegistered) {
  FEngine->Open();
  NewSession();
  NewSession(true)->SetReleaseLockOnFree(true);
  FEngine->Close();
  EXPECT_EQ(FFreed, 2);
  EXPECT_FALSE(FEngine->SessionManagerExists(1));
  FEngine->Open();
  EXPECT_EQ(NewSession(true)->GetHandle(), 1);
  EXPECT_EQ(NewSession(true)->GetHandle(), 2) << "the freed session's lock went with it";
  FEngine.reset();
  EXPECT_EQ(FFreed, 4);
}

TEST_F(EngineManager, PlainEngineHasNoJobs) {
  FEngine->EnableJob(u"Nightly");
  FEngine->EnableJobs();
  EXPECT_FALSE(FEngine->JobEnabled(u"Nightly"));
}

}  // namespace
}  // namespace orv
