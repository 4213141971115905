#include "storage/orvlogmgr.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvlog.h"
#include "tests/storage/orvlocktestobjects.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::NewConfiguration;
using test::NewLog;
using test::TLockObject;
using test::TTestLockManager;

using test::ErrorOf;

// One session's log manager on the configuration's lock file.
struct TLogSession {
  std::unique_ptr<TLockObject> Config;
  std::unique_ptr<TORVLog> Log;
  std::unique_ptr<TTestLockManager> Locks;
  std::unique_ptr<TORVLogManager> Events;

  TLogSession(TORVFileManager* Files, const TORVString& Folder, int32_t CharacterSet = 1)
      : Config(NewConfiguration(u"ORVConfig", CharacterSet)), Log(NewLog()),
        Locks(std::make_unique<TTestLockManager>(Config.get(), Files, Folder + u"orv.lock", 13316)),
        Events(std::make_unique<TORVLogManager>(Log.get(), Locks.get(), Files)) {
    Locks->Open();
    Events->SetFileName(Folder + u"orv.ORVLog");
    Events->Open();
  }

  void Write(int32_t SessionID, int32_t Number, const TORVString& Description = TORVString()) {
    TORVLogEvent Event(Events.get());
    Event.SetSessionID(SessionID);
    Event.SetErrorCode(Number);
    Event.SetDescription(Description.empty() ? u"event " + Utf8ToString(std::to_string(Number)) : Description);
    Events->LogEvent(Event);
  }

  // Every stored event, oldest first.
  std::vector<std::pair<int32_t, int32_t>> ReadAll() {
    std::vector<std::pair<int32_t, int32_t>> Result;
    TORVLogEvent Event(Events.get());
    Events->BeginRead();
    for (bool Found = Events->First(Event); Found; Found = Events->Next(Event))
      Result.emplace_back(Event.GetSessionID(), Event.GetErrorCode());
    Events->EndRead();
    return Result;
  }
};

class EventLog : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
  }
  std::unique_ptr<TLogSession> NewSession(int32_t CharacterSet = 1) {
    return std::make_unique<TLogSession>(Files.get(), FolderName(), CharacterSet);
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
};

TEST_F(EventLog, AnEmptyLogHasNoFirstEvent) {
  auto A = NewSession();
  TORVLogEvent Event(A->Events.get());
  A->Events->BeginRead();
  EXPECT_FALSE(A->Events->First(Event));
  EXPECT_FALSE(A->Events->Next(Event));
  A->Events->EndRead();
}

// The log keeps the newest records that fit, oldest first, in both record
// sizes, across read blocks and after one or more wraps.
TEST_F(EventLog, AFullLogWrapsAndReadsTheNewestEventsOldestFirst) {
  struct TCase {
    int32_t CharacterSet;
    int32_t Written;
  };
  const TCase Cases[] = {{1, 3}, {1, 99}, {1, 100}, {0, 100}, {1, 250}, {0, 250}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE("character set " + std::to_string(Case.CharacterSet) + ", " + std::to_string(Case.Written) +
                 " events");
    // Memory files: every event flushes the header, which on disk would
    // make this slow without testing more.
    test::TFaultMemoryFileManager Memory;
    Memory.Initialize();
    auto A = std::make_unique<TLogSession>(&Memory, u"/mem/", Case.CharacterSet);
    EXPECT_EQ(A->Events->GetRecordSize(), Case.CharacterSet == 1 ? 1024 : 512);
    A->Events->SetMaximumFileSize(4 + 99 * A->Events->GetRecordSize());
    for (int32_t Number = 1; Number <= Case.Written; ++Number) A->Write(1, Number);
    std::vector<std::pair<int32_t, int32_t>> Expected;
    for (int32_t Number = std::max(1, Case.Written - 98); Number <= Case.Written; ++Number)
      Expected.emplace_back(1, Number);
    EXPECT_EQ(A->ReadAll(), Expected);
    EXPECT_LE(Memory.FileSize(u"/mem/orv.ORVLog", TORVFileOptions()), 4 + 99 * A->Events->GetRecordSize());
    // Another session reads the same.
    EXPECT_EQ(TLogSession(&Memory, u"/mem/", Case.CharacterSet).ReadAll(), Expected);
  }
}

TEST_F(EventLog, LongTextsAreCutAndEveryRecordKeepsItsSize) {
  struct TCase {
    int32_t CharacterSet;
    size_t Description;  // characters that come back
  };
  // In ANSI the other texts at their limits leave the description 267 of
  // the 512 bytes.
  const TCase Cases[] = {{1, 300}, {0, 267}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE("character set " + std::to_string(Case.CharacterSet));
    std::filesystem::remove(Folder() / "orv.ORVLog");
    auto A = NewSession(Case.CharacterSet);
    TORVLogEvent Event(A->Events.get());
    Event.SetCategory(2);
    Event.SetFunctionCode(123);
    Event.SetDescription(TORVString(400, u'd'));
    Event.SetDateTime(63000000000000);
    Event.SetVersion(TORVCurrency::FromScaled(20500));
    Event.SetBuild(7);
    Event.SetProductType(TORVString(40, u'p'));
    Event.SetUserName(TORVString(40, u'u'));
    Event.SetProcessName(TORVString(40, u'r'));
    Event.SetThreadID(11);
    Event.SetSessionID(12);
    Event.SetSessionName(TORVString(40, u'n'));
    Event.SetSessionDescription(TORVString(80, u's'));
    Event.SetAddress(TORVString(40, u'a'));
    Event.SetEncrypted(true);
    A->Events->LogEvent(Event);
    A->Write(5, 2);
    EXPECT_EQ(std::filesystem::file_size(Folder() / "orv.ORVLog"), 4u + 2u * A->Events->GetRecordSize());

    TORVLogEvent Read(A->Events.get());
    A->Events->BeginRead();
    ASSERT_TRUE(A->Events->First(Read));
    EXPECT_EQ(Read.GetDescription(), TORVString(Case.Description, u'd'));
    EXPECT_EQ(Read.GetProductType(), TORVString(10, u'p'));
    EXPECT_EQ(Read.GetUserName(), TORVString(30, u'u'));
    EXPECT_EQ(Read.GetProcessName(), TORVString(30, u'r'));
    EXPECT_EQ(Read.GetSessionName(), TORVString(30, u'n'));
    EXPECT_EQ(Read.GetSessionDescription(), TORVString(60, u's'));
    EXPECT_EQ(Read.GetAddress(), TORVString(16, u'a'));
    EXPECT_EQ(Read.GetCategory(), 2);
    EXPECT_EQ(Read.GetFunctionCode(), 123);
    EXPECT_EQ(Read.GetDateTime(), 63000000000000);
    EXPECT_EQ(Read.GetVersion(), TORVCurrency::FromScaled(20500));
    EXPECT_EQ(Read.GetBuild(), 7);
    EXPECT_EQ(Read.GetThreadID(), 11);
    EXPECT_EQ(Read.GetSessionID(), 12);
    EXPECT_TRUE(Read.GetEncrypted());
    ASSERT_TRUE(A->Events->Next(Read));
    EXPECT_EQ(Read.GetSessionID(), 5);
    EXPECT_EQ(Read.GetDescription(), u"event 2");
    EXPECT_FALSE(A->Events->Next(Read));
    A->Events->EndRead();
  }
}

TEST_F(EventLog, CategoryNames) {
  auto A = NewSession();
  TORVLogEvent Event(A->Events.get());
  const std::pair<int32_t, const char16_t*> Cases[] = {
      {0, u"Information"}, {1, u"Warning"}, {2, u"Error"}, {5, u""}, {-1, u""}};
  for (const auto& [Category, Name] : Cases) {
    Event.SetCategory(Category);
    EXPECT_EQ(Event.GetCategoryName(), Name) << Category;
  }
}

TEST_F(EventLog, LengthsReadFromTheFileAreCheckedBeforeUse) {
  {
    auto A = NewSession();
    A->Write(1, 1);
    A->Write(1, 2);
  }
  auto Patch = [&](std::streamoff Offset, int32_t Value) {
    std::fstream File(Folder() / "orv.ORVLog", std::ios::binary | std::ios::in | std::ios::out);
    File.seekp(Offset);
    File.write(reinterpret_cast<const char*>(&Value), 4);
  };
  // The description's count of the second record.
  Patch(4 + 1024 + 12, 5000);
  auto B = NewSession();
  TORVLogEvent Event(B->Events.get());
  B->Events->BeginRead();
  ASSERT_TRUE(B->Events->First(Event));
  EXPECT_EQ(ErrorOf([&] { B->Events->Next(Event); }),
            "601 The log Events is corrupt (A text of 5000 characters is longer than its field)");
  B->Events->EndRead();
  // A next-record number beyond the records in the file.
  Patch(0, 40);
  auto C = NewSession();
  EXPECT_EQ(ErrorOf([&] { C->Events->BeginRead(); }),
            "601 The log Events is corrupt (The next event number 40 lies outside the file)");
  EXPECT_EQ(ErrorOf([&] { C->Write(1, 3); }),
            "601 The log Events is corrupt (The next event number 40 lies outside the file)");
  // The failed write let go of the log's transaction lock.
  EXPECT_EQ(C->Log->GetTransactionLockCount(), 0);
}

TEST_F(EventLog, AReadOnlyLogRefusesEvents) {
  NewSession()->Write(1, 1);
  std::filesystem::permissions(Folder() / "orv.ORVLog", std::filesystem::perms::owner_read);
  auto A = NewSession();
  EXPECT_EQ(ErrorOf([&] { A->Write(1, 2); }),
            "101 There was an error updating the log Events (The file is read-only)");
  EXPECT_EQ(A->ReadAll().size(), 1u);
}

TEST_F(EventLog, AFailedWriteLeavesTheHeaderSoTheNextEventTakesItsPlace) {
  auto A = NewSession();
  A->Write(1, 1);
  Files->Faults().FailNext(test::fkWrite, 1, test::fmTorn);
  EXPECT_EQ(ErrorOf([&] { A->Write(1, 2); }).substr(0, 4), "600 ");
  A->Write(1, 3);
  std::vector<std::pair<int32_t, int32_t>> Expected{{1, 1}, {1, 3}};
  EXPECT_EQ(NewSession()->ReadAll(), Expected);
}

TEST_F(EventLog, TwoProcessesLoggingAtOnceLoseNoEvent) {
  constexpr int32_t PerProcess = 150;
  NewSession();  // creates the files before the processes race
  pid_t Child = ::fork();
  if (Child == 0) {
    int Status = 0;
    try {
      auto ChildFiles = test::NewSharedOSFileManager();
      TLogSession Mine(ChildFiles.get(), FolderName());
      for (int32_t Number = 1; Number <= PerProcess; ++Number) Mine.Write(2, Number);
    } catch (...) {
      Status = 2;
    }
    ::_exit(Status);
  }
  auto A = NewSession();
  for (int32_t Number = 1; Number <= PerProcess; ++Number) A->Write(1, Number);
  int Raw = 0;
  ::waitpid(Child, &Raw, 0);
  ASSERT_TRUE(WIFEXITED(Raw));
  ASSERT_EQ(WEXITSTATUS(Raw), 0);
  std::map<int32_t, std::vector<int32_t>> BySession;
  for (const auto& [Session, Number] : NewSession()->ReadAll()) BySession[Session].push_back(Number);
  std::vector<int32_t> Expected;
  for (int32_t Number = 1; Number <= PerProcess; ++Number) Expected.push_back(Number);
  EXPECT_EQ(BySession[1], Expected);
  EXPECT_EQ(BySession[2], Expected);
  EXPECT_EQ(BySession.size(), 2u);
}

}  // namespace
}  // namespace orv
