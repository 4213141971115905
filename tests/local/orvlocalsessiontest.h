// Helpers of the local session's tests: an engine whose disk files go
// through a fault-injecting file manager shared with other processes, a
// fixture that makes and frees sessions on a fresh folder, and the stored
// log events read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginemgr.h"
#include "storage/orvlogmgr.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv::test {

inline constexpr char16_t AdminName[] = u"Administrator";
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
