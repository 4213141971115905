// Helpers of the local session's tests: an engine whose disk files go
// through a fault-injecting file manager shared with other processes, a
// fixture that makes and frees sessions on a fresh folder, and the stored
// log events read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "catalog/orvconfig.h"
#include "catalog/orvuser.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginemgr.h"
#include "storage/orvlogmgr.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv::test {

inline constexpr char16_t AdminName[] = u"Administrator";

inline std::string ReadBytes(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& Path, const std::string& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out << Bytes;
}
inline constexpr char16_t AdminPassword[] = u"PlumeHaven";

// Disk files through TFaultOSFileManager, locked on the files themselves
// so that sessions of other processes see the locks.
class TFaultEngine : public TORVEngineManager {
 public:
  std::unique_ptr<TORVOSFileManager> CreateOSFileManager() override {
    auto Files = std::make_unique<TFaultOSFileManager>();
    Files->SetExclusiveFileAccess(false);
    return Files;
  }
  TFaultPlan& Faults() { return static_cast<TFaultOSFileManager&>(GetOSFileManager()).Faults(); }
};

// An engine on Folder's configuration, opened.
inline std::unique_ptr<TFaultEngine> NewFaultEngine(const TORVString& Folder, bool ConfigMemory = false,
                                                   bool Isolation = false) {
  auto Engine = CreateEngineManager<TFaultEngine>();
  Engine->GetSettings().SetConfigPath(Folder);
  Engine->GetSettings().SetConfigMemory(ConfigMemory);
  Engine->GetSettings().SetConfigMemorySessionIsolation(Isolation);
  Engine->Open();
  return Engine;
}

// One stored event, as the tests compare it.
struct TStoredEvent {
  int32_t Category;
  int32_t FunctionCode;
  int32_t ErrorCode;
  std::string UserName;
  std::string Description;
  std::string ProcessName;
  std::string SessionName;
  int32_t SessionID;
};

// Every event of Session's log file, oldest first.
inline std::vector<TStoredEvent> StoredEvents(TORVLocalSessionManager& Session) {
  std::vector<TStoredEvent> Result;
  TORVLogManager& Log = *Session.GetLogManager();
  TORVLogEvent Event(&Log);
  Log.BeginRead();
  for (bool Found = Log.First(Event); Found; Found = Log.Next(Event))
    Result.push_back({Event.GetCategory(), Event.GetFunctionCode(), Event.GetErrorCode(),
                      StringToUtf8(Event.GetUserName()), StringToUtf8(Event.GetDescription()),
                      StringToUtf8(Event.GetProcessName()), StringToUtf8(Event.GetSessionName()),
                      Event.GetSessionID()});
  Log.EndRead();
  return Result;
}

// One session of Engine logs in and out as the Administrator Rounds
// times; a lock that cannot be had in its timeout raises out of here.
inline void LoginRounds(TORVEngineManager* Engine, const TORVString& ProcessName, const TORVString& SessionName,
                        int32_t Rounds) {
  auto* Session = CreateSessionManager<TORVLocalSessionManager>(Engine, false, true);
  try {
    Session->Open(ProcessName, SessionName, u"");
    for (int32_t Round = 0; Round < Rounds; ++Round) {
      Session->Login(AdminName, AdminPassword);
      Session->Logout();
    }
    Session->Close();
  } catch (...) {
    FreeSessionManager(Session);
    throw;
  }
  FreeSessionManager(Session);
}

// LoginRounds on Threads threads at once, sessions "T0", "T1", ...; the
// failures each thread met, "" for none.
inline std::vector<std::string> LoginThreads(TORVEngineManager* Engine, const TORVString& ProcessName,
                                             int32_t Threads, int32_t Rounds) {
  std::vector<std::string> Failures(static_cast<size_t>(Threads));
  std::vector<std::thread> Workers;
  for (int32_t I = 0; I < Threads; ++I)
    Workers.emplace_back([=, &Failures] {
      try {
        LoginRounds(Engine, ProcessName, Utf8ToString("T" + std::to_string(I)), Rounds);
      } catch (const std::exception& E) {
        Failures[static_cast<size_t>(I)] = E.what();
      }
    });
  for (std::thread& Worker : Workers) Worker.join();
  return Failures;
}

// Checks that Session's log holds exactly Rounds logins and Rounds logouts
// of each session named in Expected (process name, session name), every
// one whole, and nothing else.
inline void ExpectEveryLoginOnce(TORVLocalSessionManager& Session,
                                 const std::vector<std::pair<std::string, std::string>>& Expected, int32_t Rounds) {
  std::map<std::tuple<std::string, std::string, int32_t>, int32_t> Counts;
  const std::vector<TStoredEvent> Events = StoredEvents(Session);
  for (const TStoredEvent& Event : Events) {
    EXPECT_EQ(Event.Category, 0);
    EXPECT_EQ(Event.ErrorCode, 0);
    EXPECT_EQ(Event.UserName, "Administrator");
    ++Counts[{Event.ProcessName, Event.SessionName, Event.FunctionCode}];
  }
  EXPECT_EQ(Events.size(), Expected.size() * 2 * static_cast<size_t>(Rounds));
  for (const auto& [Process, Name] : Expected)
    for (int32_t Function : {3, 4})
      EXPECT_EQ((Counts[{Process, Name, Function}]), Rounds) << Process << " " << Name << " " << Function;
}

// User Name (password "secret", in the Public role) added to Session's
// configuration in memory.
inline TORVUser* AddUser(TORVLocalSessionManager& Session, const TORVString& Name) {
  TORVConfig& Config = *Session.GetConfig();
  auto User = std::make_unique<TORVUser>(&Config);
  User->SetName(Name);
  User->SetPassword(u"secret");
  User->SetLockSlot(Config.GetNewUserLockSlot());
  Config.GetUsers().Add(User.get());
  TORVUser* Added = User.release();
  Added->GrantRole(Config.GetSystemUser(), Config.GetPublicRole());
  return Added;
}

class LocalSessionTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Engine = NewFaultEngine(FolderName());
  }
  void TearDown() override {
    for (TORVLocalSessionManager*& Session : Sessions) FreeSessionManager(Session);
    Engine.reset();
    TempFolderTest::TearDown();
  }

  // A session the fixture frees; Open it with OpenSession.
  TORVLocalSessionManager* NewSession(TORVEngineManager* Owner = nullptr) {
    Sessions.push_back(CreateSessionManager<TORVLocalSessionManager>(Owner ? Owner : Engine.get(), false, true));
    return Sessions.back();
  }
  TORVLocalSessionManager* OpenSession(const TORVString& Name = u"Session") {
    TORVLocalSessionManager* Session = NewSession();
    Session->Open(u"Tests", Name, u"A test session");
    return Session;
  }

  // Frees one of the fixture's sessions now.
  void FreeSession(TORVLocalSessionManager* Session) {
    for (TORVLocalSessionManager*& Each : Sessions)
      if (Each == Session) FreeSessionManager(Each);
  }

  std::unique_ptr<TFaultEngine> Engine;
  std::vector<TORVLocalSessionManager*> Sessions;
};

}  // namespace orv::test
