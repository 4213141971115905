// A session as the engine's users see it: its events, progress plumbing and
// store-file copying, and the handle tables of the databases, stores,
// cursors, statements, procedures and scripts it hands out. The local and
// remote engines derive their sessions from it.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvhandle.h"
#include "core/orvlocktype.h"
#include "core/orvprogress.h"

namespace orv {

class TORVDatabaseManager;
class TORVStoreManager;
class TORVStream;
class TORVSessionManager;

enum TORVRowLockProtocol : uint8_t { rpPessimistic, rpOptimistic };

using TORVHandledLoginEvent =
    std::function<void(bool& Handled, TORVString& UserName, TORVString& Password, bool& Continue)>;
using TORVProgressEvent = std::function<void(int32_t PercentDone, bool& Continue)>;
using TORVAbortCheckEvent = std::function<void(bool& Continue)>;
using TORVStatusMessageEvent = std::function<void(const TORVString& StatusMessage)>;
using TORVLogMessageEvent = std::function<void(const TORVString& LogMessage)>;
// Exception is nil when the notification is not about an exception.
using TORVDebugNotificationEvent =
    std::function<void(int32_t SourceLine, const std::exception* Exception, bool PauseOnException)>;
using TORVDebugCompletionEvent = std::function<void(bool Stopped)>;

// The progress tracker of a session: its reports become the session's
// DoProgress, DoAbortCheck, DoStatusMessage and DoLogMessage.
class TORVSessionProgress : public TORVProgress {
 public:
  explicit TORVSessionProgress(TORVSessionManager* SessionManagerToUse) : FSessionManager(SessionManagerToUse) {}

  bool DoProgress() override;
  bool DoAbortCheck() override;
  void DoStatus(const TORVString& Msg) override;
  void DoLog(const TORVString& Msg) override;

 protected:
  uint32_t GetTickCount() const override;

 private:
  TORVSessionManager* FSessionManager;
};

// A session and everything it owns are used by one thread at a time; Lock
// and Unlock (implemented by the engine's session) serialise requests from
// different threads. Event handlers run in the thread of the operation.
//
// The handle tables own what is registered in them; the destructor frees
// scripts, procedures, statements, cursors, stores and databases, in that
// order, then the progress tracker.
class TORVSessionManager : public TORVHandleObject {
 public:
  static constexpr int32_t MaximumHandles = 4096;
  // The piece size of store-file copies.
  static constexpr int32_t StoreCopyBlockSize = 65536;

  TORVSessionManager();
  ~TORVSessionManager() override;

  virtual bool DoLogin(TORVString& UserName, TORVString& Password, bool& Continue);
  virtual bool DoProgress(int32_t PercentDone);
  virtual bool DoAbortCheck();
  virtual void DoStatusMessage(const TORVString& Msg);
  virtual void DoLogMessage(const TORVString& Msg);
  // 0 ANSI or 1 Unicode.
  virtual int32_t GetCharacterSet() = 0;
  virtual TORVString GetCurrentUserName() = 0;
  virtual uint32_t GetProgressTickCount() = 0;
  virtual uint32_t CalcElapsedTime(uint32_t BeginTicks, uint32_t EndTicks) = 0;
  // Raise ORV_STORE_ERROR naming the store; the others fill Msg's file-name detail.
  virtual void StoreStreamError(const TORVString& StoreName, const TORVString& Msg);
  virtual void StoreStreamReadError(const TORVString& StoreName, const TORVString& FileName);
  virtual void StoreStreamWriteError(const TORVString& StoreName, const TORVString& FileName);
  virtual void StoreReadStreamError(const TORVString& StoreName, const TORVString& FileName);
  virtual void StoreWriteStreamError(const TORVString& StoreName, const TORVString& FileName);
  // Called after a row-locking setting changed.
  virtual void RowLockingChanged() {}
  virtual TORVString GetCollationName(int32_t ID) = 0;
  // Raises when the lock is not obtained within WaitTimeout ms.
  virtual void Lock(uint32_t WaitTimeout) = 0;
  virtual bool TryLock(uint32_t WaitTimeout) = 0;
  virtual void Unlock() = 0;
  virtual void Open(const TORVString& SessionProcessName, const TORVString& SessionName,
                    const TORVString& SessionDescription);
  virtual void Close();
  virtual void Login(const TORVString& UserName, const TORVString& Password) = 0;
  virtual void Logout() = 0;
  // An opened manager that the session keeps.
  virtual TORVDatabaseManager* OpenDatabase(const TORVString& DatabaseName, TORVLockType DatabaseLockType) = 0;
  // Closes the manager; implementations also release it and clear the
  // variable.
  virtual void CloseDatabase(TORVDatabaseManager*& DatabaseManagerToClose);
  virtual TORVStoreManager* OpenStore(const TORVString& StoreName, TORVLockType StoreLockType, bool LocalOnly) = 0;
  virtual void CloseStore(TORVStoreManager*& StoreManagerToClose);
  virtual void StartProgress();
  // False asks the running operation to stop.
  virtual bool CheckProgressInterval(int32_t PercentDone);
  virtual bool CheckProgressInterval();
  virtual bool SetProgress(int32_t PercentDone);
  virtual void CancelProgress() {}
  virtual void EndProgress();
  virtual void StatusMessage(const TORVString& Msg, bool UserStatus);
  virtual void LogMessage(const TORVString& Msg);
  // Runs the debugger's handler with every handler put aside, so that no
  // other session event fires while it runs.
  virtual void DebugNotification(int32_t LineNumber, const std::exception* Exception, bool PauseOnException);
  virtual void DebugCompletion(bool Stopped);
  // Copies a store file to DestStream at its position, in pieces, with
  // progress; a copy stopped by the progress handler ends early and reports
  // that it did not complete.
  virtual void SaveStoreFileToStream(const TORVString& StoreName, const TORVString& FileName,
                                     TORVStream& DestStream);
  // Copies SourceStream from its position to its end into a store file. A
  // copy that fails or is stopped cancels the write, so that no truncated
  // file is left looking complete.
  virtual void SaveStreamToStoreFile(const TORVString& StoreName, const TORVString& FileName,
                                     TORVStream& SourceStream);
  virtual void FreeCachedStatementManagers(const TORVString& DatabaseName) = 0;
  virtual void FreeCachedProcedureManagers(const TORVString& DatabaseName) = 0;

  void SetRowLockProtocol(TORVRowLockProtocol Value);
  void SetRowLockRetries(int32_t Value);
  void SetRowLockWait(int32_t Value);
  void SetDetectRowChanges(bool Value);
  void SetODBCVersion(int32_t Value) { FODBCVersion = Value; }
  uint32_t GetProgressInterval() const { return FProgress->GetInterval(); }
  void SetProgressInterval(uint32_t Value) { FProgress->SetInterval(Value); }
  uint32_t GetTotalProgressTime() const { return FProgress->GetTotalTime(); }
  // Moves the seven handlers into their saved copies and clears them.
  void SaveEventHandlers();
  void RestoreEventHandlers();

  const TORVString& GetUniqueID() const { return FUniqueID; }
  bool GetOpened() const { return FOpened; }
  const TORVString& GetName() const { return FName; }
  const TORVString& GetDescription() const { return FDescription; }
  const TORVString& GetProcessName() const { return FProcessName; }
  bool GetKeepTablesOpen() const { return FKeepTablesOpen; }
  void SetKeepTablesOpen(bool Value) { FKeepTablesOpen = Value; }
  TORVRowLockProtocol GetRowLockProtocol() const { return FRowLockProtocol; }
  int32_t GetRowLockRetries() const { return FRowLockRetries; }
  int32_t GetRowLockWait() const { return FRowLockWait; }
  bool GetDetectRowChanges() const { return FDetectRowChanges; }
  bool GetFlushWrites() const { return FFlushWrites; }
  void SetFlushWrites(bool Value) { FFlushWrites = Value; }
  int32_t GetODBCVersion() const { return FODBCVersion; }
  int32_t GetStatementCacheSize() const { return FStatementCacheSize; }
  void SetStatementCacheSize(int32_t Value) { FStatementCacheSize = Value; }
  int32_t GetProcedureCacheSize() const { return FProcedureCacheSize; }
  void SetProcedureCacheSize(int32_t Value) { FProcedureCacheSize = Value; }
  bool GetWantProgress() const { return FWantProgress; }
  void SetWantProgress(bool Value) { FWantProgress = Value; }
  bool GetWantStatusMessages() const { return FWantStatusMessages; }
  void SetWantStatusMessages(bool Value) { FWantStatusMessages = Value; }
  bool GetWantLogMessages() const { return FWantLogMessages; }
  void SetWantLogMessages(bool Value) { FWantLogMessages = Value; }
  TORVProgress& GetProgress() const { return *FProgress; }

  TORVHandleObjects& GetDatabaseManagers() const { return *FDatabaseManagers; }
  TORVHandleObjects& GetStoreManagers() const { return *FStoreManagers; }
  TORVHandleObjects& GetCursors() const { return *FCursors; }
  TORVHandleObjects& GetStatementManagers() const { return *FStatementManagers; }
  TORVHandleObjects& GetProcedureManagers() const { return *FProcedureManagers; }
  TORVHandleObjects& GetScriptManagers() const { return *FScriptManagers; }

  const TORVHandledLoginEvent& GetOnLogin() const { return FOnLogin; }
  void SetOnLogin(TORVHandledLoginEvent Value) { FOnLogin = std::move(Value); }
  const TORVProgressEvent& GetOnProgress() const { return FOnProgress; }
  void SetOnProgress(TORVProgressEvent Value) { FOnProgress = std::move(Value); }
  const TORVAbortCheckEvent& GetOnAbortCheck() const { return FOnAbortCheck; }
  void SetOnAbortCheck(TORVAbortCheckEvent Value) { FOnAbortCheck = std::move(Value); }
  const TORVStatusMessageEvent& GetOnStatusMessage() const { return FOnStatusMessage; }
  void SetOnStatusMessage(TORVStatusMessageEvent Value) { FOnStatusMessage = std::move(Value); }
  const TORVLogMessageEvent& GetOnLogMessage() const { return FOnLogMessage; }
  void SetOnLogMessage(TORVLogMessageEvent Value) { FOnLogMessage = std::move(Value); }
  const TORVDebugNotificationEvent& GetOnDebugNotification() const { return FOnDebugNotification; }
  void SetOnDebugNotification(TORVDebugNotificationEvent Value) { FOnDebugNotification = std::move(Value); }
  const TORVDebugCompletionEvent& GetOnDebugCompletion() const { return FOnDebugCompletion; }
  void SetOnDebugCompletion(TORVDebugCompletionEvent Value) { FOnDebugCompletion = std::move(Value); }

 private:
  // Exchanges every handler with its saved copy.
  void SwapEventHandlers();
  // The store-copy frame shared by both directions: Copy runs the pieces
  // between StartProgress and EndProgress and returns whether it went to
  // the end; the closing status follows.
  template <typename TCopy>
  void CopyStoreFile(const TORVString& StoreName, const TORVString& FileName, TCopy Copy);

  TORVString FUniqueID;
  bool FOpened = false;
  std::unique_ptr<TORVHandleObjects> FDatabaseManagers;
  std::unique_ptr<TORVHandleObjects> FStoreManagers;
  std::unique_ptr<TORVHandleObjects> FCursors;
  std::unique_ptr<TORVHandleObjects> FStatementManagers;
  std::unique_ptr<TORVHandleObjects> FProcedureManagers;
  std::unique_ptr<TORVHandleObjects> FScriptManagers;
  TORVString FName;
  TORVString FDescription;
  TORVString FProcessName;
  bool FKeepTablesOpen = false;
  TORVRowLockProtocol FRowLockProtocol = rpPessimistic;
  int32_t FRowLockRetries = 15;
  int32_t FRowLockWait = 100;
  bool FDetectRowChanges = false;
  bool FFlushWrites = false;
  int32_t FODBCVersion = 3;
  std::unique_ptr<TORVProgress> FProgress;
  int32_t FStatementCacheSize = 0;
  int32_t FProcedureCacheSize = 0;
  bool FWantProgress = false;
  bool FWantStatusMessages = false;
  bool FWantLogMessages = false;
  TORVHandledLoginEvent FOnLogin;
  TORVProgressEvent FOnProgress;
  TORVAbortCheckEvent FOnAbortCheck;
  TORVStatusMessageEvent FOnStatusMessage;
  TORVLogMessageEvent FOnLogMessage;
  TORVDebugNotificationEvent FOnDebugNotification;
  TORVDebugCompletionEvent FOnDebugCompletion;
  TORVHandledLoginEvent FSaveOnLogin;
  TORVProgressEvent FSaveOnProgress;
  TORVAbortCheckEvent FSaveOnAbortCheck;
  TORVStatusMessageEvent FSaveOnStatusMessage;
  TORVLogMessageEvent FSaveOnLogMessage;
  TORVDebugNotificationEvent FSaveOnDebugNotification;
  TORVDebugCompletionEvent FSaveOnDebugCompletion;
};

// StartProgress now and EndProgress however the scope is left, so that a
// failed operation never leaves the session's progress nesting open.
class TORVProgressScope {
 public:
  explicit TORVProgressScope(TORVSessionManager& Session) : FSession(Session) { FSession.StartProgress(); }
  ~TORVProgressScope() { FSession.EndProgress(); }
  TORVProgressScope(const TORVProgressScope&) = delete;
  TORVProgressScope& operator=(const TORVProgressScope&) = delete;

 private:
  TORVSessionManager& FSession;
};

}  // namespace orv
