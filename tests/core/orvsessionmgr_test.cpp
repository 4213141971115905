#include "core/orvsessionmgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvstoremgr.h"
#include "core/orvstream.h"
#include "tests/support/orvfakesession.h"

namespace orv {
namespace {

// A store holding one file in memory that records the calls made on it.
class TMemoryStore : public TORVStoreManager {
 public:
  void RefreshFiles(const TORVString& /*FilesToList*/) override {}
  int64_t BeginReadFile(const TORVString& /*FileToRead*/) override {
    Calls.push_back("BeginReadFile");
    FReadPosition = 0;
    return static_cast<int64_t>(Contents.size());
  }
  int32_t ReadFile(TORVMemoryStream& DestStream, int32_t BytesToRead) override {
    if (static_cast<int32_t>(Reads.size()) == ReadsBeforeFailure) return 0;
    const int32_t Count = std::min(BytesToRead, static_cast<int32_t>(Contents.size()) - FReadPosition);
    DestStream.Write(Contents.data() + FReadPosition, Count);
    FReadPosition += Count;
    Reads.push_back(Count);
    return Count;
  }
  void CancelReadFile() override { Calls.push_back("CancelReadFile"); }
  void EndReadFile() override { Calls.push_back("EndReadFile"); }
  void BeginWriteFile(const TORVString& /*FileToWrite*/) override {
    Calls.push_back("BeginWriteFile");
    Contents.clear();
  }
  int32_t WriteFile(TORVMemoryStream& SourceStream, int32_t BytesToWrite) override {
    const size_t Old = Contents.size();
    Contents.resize(Old + static_cast<size_t>(BytesToWrite));
    const int32_t Count = SourceStream.Read(Contents.data() + Old, BytesToWrite);
    Contents.resize(Old + static_cast<size_t>(Count));
    return Count;
  }
  void CancelWriteFile() override { Calls.push_back("CancelWriteFile"); }
  void EndWriteFile() override { Calls.push_back("EndWriteFile"); }
  void CopyFile(const TORVString&, const TORVString&) override {}
  void RenameFile(const TORVString&, const TORVString&) override {}
  void DeleteFile(const TORVString&) override {}
  void Close(bool ForceClose) override {
    Calls.push_back("Close");
    TORVStoreManager::Close(ForceClose);
  }

  TORVBytes Contents;
  int32_t ReadsBeforeFailure = -1;
  std::vector<int32_t> Reads;
  std::vector<std::string> Calls;

 private:
  int32_t FReadPosition = 0;
};

class TRecordingSession : public test::TFakeSession<TORVSessionManager> {
 public:
  void Lock(uint32_t /*WaitTimeout*/) override {}
  bool TryLock(uint32_t /*WaitTimeout*/) override { return true; }
  void Unlock() override {}
  void RowLockingChanged() override { ++RowLockingChanges; }

  int32_t RowLockingChanges = 0;
};

TORVBytes Pattern(size_t Size) {
  TORVBytes Bytes(Size);
  for (size_t I = 0; I < Size; ++I) Bytes[I] = static_cast<uint8_t>(I * 7 + I / 251);
  return Bytes;
}

class SessionStoreCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    FSession.OpenStoreFn = [this](const TORVString& StoreName, TORVLockType LockType, bool LocalOnly) {
      EXPECT_EQ(StoreName, u"Backups");
      EXPECT_EQ(LockType, ltShared);
      EXPECT_FALSE(LocalOnly);
      FStore.Open(LockType);
      return &FStore;
    };
    FSession.SetProgressInterval(0);  // every check reports
    FSession.SetOnProgress([this](int32_t PercentDone, bool& Continue) {
      Percents.push_back(PercentDone);
      Continue = PercentDone < StopAtPercent;
    });
    FSession.SetOnStatusMessage([this](const TORVString& Msg) { Statuses.push_back(StringToUtf8(Msg)); });
  }

  TRecordingSession FSession;
  TMemoryStore FStore;
  std::vector<int32_t> Percents;
  std::vector<std::string> Statuses;
  int32_t StopAtPercent = 1000;
};

TEST_F(SessionStoreCopy, StoreFileGoesToTheStreamInPiecesWithProgress) {
  FStore.Contents = Pattern(150000);
  TORVMemoryStream Dest(-1);
  FSession.SaveStoreFileToStream(u"Backups", u"Sales.ORVBkp", Dest);
  EXPECT_EQ(FStore.Reads, (std::vector<int32_t>{65536, 65536, 18928}));
  EXPECT_EQ(Percents, (std::vector<int32_t>{0, 43, 87, 100, 100}));
  EXPECT_EQ(FStore.Calls, (std::vector<std::string>{"BeginReadFile", "EndReadFile", "Close"}));
  EXPECT_EQ(Statuses, (std::vector<std::string>{"Copying the file Sales.ORVBkp in the store Backups...",
                                                "The file Sales.ORVBkp in the store Backups was copied successfully"}));
  ASSERT_EQ(Dest.GetSize(), 150000);
  EXPECT_TRUE(std::equal(FStore.Contents.begin(), FStore.Contents.end(), Dest.GetMemory()));
  EXPECT_FALSE(FStore.GetOpened());
}

TEST_F(SessionStoreCopy, ShortStoreFileRaisesCancelsTheReadAndSaysItDidNotComplete) {
  FStore.Contents = Pattern(150000);
  FStore.ReadsBeforeFailure = 1;
  TORVMemoryStream Dest(-1);
  try {
    FSession.SaveStoreFileToStream(u"Backups", u"Sales.ORVBkp", Dest);
    FAIL() << "expected 1306";
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), 1306);
    EXPECT_EQ(StringToUtf8(E.ErrorMsg()),
              "Error with the store Backups (Error reading the file Sales.ORVBkp from the input stream)");
  }
  EXPECT_EQ(FStore.Calls, (std::vector<std::string>{"BeginReadFile", "CancelReadFile", "Close"}));
  ASSERT_FALSE(Statuses.empty());
  EXPECT_EQ(Statuses.back(), "The copy of the file Sales.ORVBkp in the store Backups did not complete");
  EXPECT_EQ(FSession.GetProgress().GetUseCount(), 0) << "the progress bracket is closed on failure";
}

TEST_F(SessionStoreCopy, StreamGoesToTheStoreFromItsPosition) {
  const TORVBytes Source = Pattern(1000);
  TORVMemoryStream Stream(-1);
  Stream.Write(Source.data(), 1000);
  Stream.SetPosition(100);
  FSession.SaveStreamToStoreFile(u"Backups", u"Sales.ORVBkp", Stream);
  EXPECT_EQ(FStore.Contents, TORVBytes(Source.begin() + 100, Source.end()));
  EXPECT_EQ(FStore.Calls, (std::vector<std::string>{"BeginWriteFile", "EndWriteFile", "Close"}));
  EXPECT_EQ(Statuses.back(), "The file Sales.ORVBkp in the store Backups was copied successfully");
}

TEST_F(SessionStoreCopy, StoppedCopyCancelsTheWriteSoNoPartFileLooksComplete) {
  const TORVBytes Source = Pattern(150000);
  TORVMemoryStream Stream(-1);
  Stream.Write(Source.data(), static_cast<int32_t>(Source.size()));
  Stream.SetPosition(0);
  StopAtPercent = 43;
  FSession.SaveStreamToStoreFile(u"Backups", u"Sales.ORVBkp", Stream);
  EXPECT_EQ(FStore.Calls, (std::vector<std::string>{"BeginWriteFile", "CancelWriteFile", "Close"}));
  EXPECT_EQ(Statuses.back(), "The copy of the file Sales.ORVBkp in the store Backups did not complete");
}

TEST_F(SessionStoreCopy, StoppedReadEndsTheReadAndSaysItDidNotComplete) {
  FStore.Contents = Pattern(150000);
  StopAtPercent = 43;
  TORVMemoryStream Dest(-1);
  FSession.SaveStoreFileToStream(u"Backups", u"Sales.ORVBkp", Dest);
  EXPECT_EQ(FStore.Reads, (std::vector<int32_t>{65536}));
  EXPECT_EQ(FStore.Calls, (std::vector<std::string>{"BeginReadFile", "EndReadFile", "Close"}));
  EXPECT_EQ(Statuses.back(), "The copy of the file Sales.ORVBkp in the store Backups did not complete");
}

TEST(SessionManager, DebugNotificationRunsWithEveryOtherHandlerPutAside) {
  TRecordingSession Session;
  int32_t Progressed = 0;
  Session.SetOnProgress([&](int32_t, bool&) { ++Progressed; });
  int32_t Line = 0;
  Session.SetOnDebugNotification([&](int32_t SourceLine, const std::exception* Exception, bool Pause) {
    Line = SourceLine;
    EXPECT_EQ(Exception, nullptr);
    EXPECT_TRUE(Pause);
    EXPECT_TRUE(Session.DoProgress(50));
    if (SourceLine == 9) throw std::runtime_error("debugger gone");
  });
  Session.DebugNotification(7, nullptr, true);
  EXPECT_EQ(Line, 7);
  EXPECT_EQ(Progressed, 0) << "no other event fires inside the debugger's handler";
  EXPECT_THROW(Session.DebugNotification(9, nullptr, true), std::runtime_error);
  ASSERT_TRUE(Session.GetOnDebugNotification()) << "handlers come back also when the handler raised";
  Session.DoProgress(10);
  EXPECT_EQ(Progressed, 1);
}

TEST(SessionManager, RowLockSettersReportOnlyChanges) {
  TRecordingSession Session;
  Session.SetRowLockProtocol(rpPessimistic);
  Session.SetRowLockRetries(15);
  Session.SetRowLockWait(100);
  Session.SetDetectRowChanges(false);
  EXPECT_EQ(Session.RowLockingChanges, 0) << "the defaults";
  Session.SetRowLockProtocol(rpOptimistic);
  Session.SetRowLockRetries(3);
  Session.SetRowLockWait(50);
  Session.SetDetectRowChanges(true);
  EXPECT_EQ(Session.RowLockingChanges, 4);
}

}  // namespace
}  // namespace orv
