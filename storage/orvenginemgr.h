// The engine as one object: its settings, the file managers through which
// every file is reached, the table of all sessions with the lock that
// guards it, the engine-wide time stamps and the slowest statements; the
// session base that registers in that table; and the engine's two disk file
// managers, which answer the file layer from the settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvhandle.h"
#include "core/orvsessionmgr.h"
#include "core/orvsync.h"
#include "storage/orvenginesettings.h"
#include "storage/orvfilemgr.h"
#include "storage/orvmemfilemgr.h"
#include "storage/orvosfilemgr.h"

namespace orv {

class TORVEngineManager;
class TORVStore;

// Names of the databases kept by the memory file manager whatever their
// in-memory flag says.
inline constexpr char16_t ConfigurationDatabaseName[] = u"Configuration";
inline constexpr char16_t CursorCacheDatabaseName[] = u"__Cursor__Cache";

// Disk files shared with other processes: byte-range row locks lie above
// byte 128,000,000,000, so a locked file must stay below that size.
class TORVEngineOSFileManager : public TORVOSFileManager {
 public:
  explicit TORVEngineOSFileManager(TORVEngineManager* EngineManagerToUse) : FEngineManager(EngineManagerToUse) {}

  bool GetExclusiveFileAccess() override;
  int64_t GetMaximumLockedFileSize() override;
  int64_t GetMaximumFileSize() override;

  TORVEngineManager* GetEngineManager() const { return FEngineManager; }

 private:
  TORVEngineManager* FEngineManager;
};

// Disk files owned by this process alone, behind a block cache whose size,
// block size and flushing follow the most recent matching override of the
// engine settings, else the inherited defaults.
class TORVEngineBufferedOSFileManager : public TORVBufferedOSFileManager {
 public:
  explicit TORVEngineBufferedOSFileManager(TORVEngineManager* EngineManagerToUse)
      : FEngineManager(EngineManagerToUse) {}

  bool GetExclusiveFileAccess() override;
  int64_t GetMaximumLockedFileSize() override;
  int64_t GetMaximumFileSize() override;
  // An override's kilobytes and megabytes are taken in 64 bits; an override
  // that is not positive leaves the default in place.
  int32_t GetFileBufferBlockSize(const TORVString& FileName) override;
  int64_t GetMaximumFileBufferSize(const TORVString& FileName) override;
  int32_t GetFileBufferFlushAge(const TORVString& FileName) override;
  bool GetFileBufferFlushDisk(const TORVString& FileName) override;
  int32_t GetFileBufferFlushInterval() override;

  TORVEngineManager* GetEngineManager() const { return FEngineManager; }

 private:
  const TORVBufferedFileIOSetting* FindSetting(const TORVString& FileName) const;

  TORVEngineManager* FEngineManager;
};

class TORVEngineSessionManager;

// The engine.
//
// It lives in storage, not core: it owns and starts the storage file
// managers (operating-system, buffered and memory), so it sits above them
// and includes them, while core stays below storage (base < platform <
// core < sql < catalog < storage) and never names the engine. The session
// base it serves derives from the core manager interfaces; the
// configuration's database and store entries reach it as the facts it
// needs (a database's in-memory flag and name) or as a forward
// declaration.
//
// Construct, then call AfterConstruction() once (it makes the
// disk file managers through the virtual factories); CreateEngineManager
// does both. Settings change only while the engine is closed; Open precedes
// all session work; Close frees every session still registered.
//
// Locks: FEngineLock (reader/writer, no time limit) guards FSessionManagers:
// AddSessionManager and RemoveSessionManager write, lookups and scans read.
// A session's own lock (the per-handle lock of the table) is never waited
// for while FEngineLock is held: under it a session lock is only tried
// without waiting, so a thread holding a session lock can always take the
// engine lock. FTimeStampSection guards FTimeStamp; the slowest-statements
// list has its own lock. Open, Close and setting changes come from one
// controlling thread while no session works.
class TORVEngineManager : public TORVBaseObject {
 public:
  static constexpr int32_t MaximumSessions = 4098;

  TORVEngineManager();
  // Closes first; a failure of that close is logged, not raised.
  ~TORVEngineManager() override;

  virtual void AfterConstruction();

  virtual std::unique_ptr<TORVOSFileManager> CreateOSFileManager();
  virtual std::unique_ptr<TORVBufferedOSFileManager> CreateBufferedOSFileManager();
  // Nothing when open. A failed open undoes what it started and stays
  // closed.
  virtual void Open();
  // Nothing when closed. The engine counts as closed even when closing
  // raised.
  virtual void Close();
  // Unique and strictly increasing for the engine's life, even when the
  // clock stands still or goes back.
  virtual int64_t GetNextTimeStamp();
  // A plain engine has no scheduled jobs: enabling does nothing and no job
  // is enabled.
  virtual void EnableJob(const TORVString& JobName);
  virtual void EnableJobs();
  virtual void DisableJob(const TORVString& JobName);
  virtual void DisableJobs();
  virtual bool JobEnabled(const TORVString& JobName);
  // Whether this is the server's engine, whose session scans see only the
  // client sessions; False here.
  virtual bool IsServerEngineManager() { return false; }

  void ReadLockEngine() { FEngineLock.EnterRead(ORVInfiniteWait); }
  void ReadUnlockEngine() { FEngineLock.LeaveRead(); }
  void WriteLockEngine() { FEngineLock.EnterWrite(ORVInfiniteWait); }
  void WriteUnlockEngine() { FEngineLock.LeaveWrite(); }

  // Registers Value under the lowest free handle; with AcquireLock its lock
  // is taken for the caller at once (a lock that cannot be had without
  // waiting raises ORV_SESSION_LOCK_ERROR and leaves Value unregistered). A full table raises
  // the table's capacity error.
  void AddSessionManager(TORVEngineSessionManager* Value, bool AcquireLock);
  // Whether Value was registered; with ReleaseLock its lock is released.
  bool RemoveSessionManager(TORVEngineSessionManager* Value, bool ReleaseLock);
  bool SessionManagerExists(int32_t Handle);
  // Finds the session of Handle; False (SessionManager nil) for a free
  // handle or, with AcquireLock, for a session whose identity does not
  // match. With AcquireLock the session comes back locked for the caller,
  // who must Unlock it; the lock is tried until WaitTimeout ms have passed,
  // then ORV_SESSION_LOCK_ERROR is raised. While waiting, CancelSessionProgress cancels the
  // holder's progress when the identity matches. Identity: a non-empty
  // SessionUniqueID must equal the session's unique ID; otherwise a
  // non-empty SessionProcessName must equal its process name, with
  // SessionName its name and SessionThreadID its thread.
  bool FindSessionManager(int32_t Handle, TORVEngineSessionManager*& SessionManager, bool AcquireLock,
                          uint32_t WaitTimeout, bool CancelSessionProgress, const TORVString& SessionUniqueID,
                          const TORVString& SessionProcessName, const TORVString& SessionName,
                          int32_t SessionThreadID);
  // Hold the read side around a whole scan, so that no session comes or
  // goes during it.
  void BeginSessionManagerLoop() { ReadLockEngine(); }
  void EndSessionManagerLoop() { ReadUnlockEngine(); }
  // The next session above Handle (start with 0) that counts in scans.
  // With AcquireLock it comes back locked (unless it is CurHandle, the
  // caller's own session), tried until WaitTimeout ms after the call
  // started, then ORV_SESSION_LOCK_ERROR. False at the end.
  bool NextSessionManager(int32_t& Handle, TORVEngineSessionManager*& SessionManager, int32_t CurHandle,
                          bool AcquireLock, uint32_t WaitTimeout);
  // Frees every registered session in ascending handle order. Each leaves
  // the table under the engine lock and is freed outside it.
  void FreeSessionManagers();

  // Raises ORV_SESSION_LOCK_ERROR when the lock is not had within WaitTimeout ms.
  void LockSessionManager(TORVEngineSessionManager* Value, uint32_t WaitTimeout);
  bool TryLockSessionManager(TORVEngineSessionManager* Value, uint32_t WaitTimeout);
  void UnlockSessionManager(TORVEngineSessionManager* Value);
  virtual void SessionLockError(int32_t Handle);

  // The memory file manager for an in-memory configuration, else the disk
  // manager (buffered when BufferedFileIO).
  TORVFileManager* GetConfigFileManager(bool InMemory);
  // For a database of the configuration, given its in-memory flag and
  // name: in-memory databases use the memory-database manager, the
  // configuration and cursor-cache databases the memory manager (names
  // compared ignoring case), others the disk manager.
  TORVFileManager* GetFileManagerForDatabase(bool InMemory, const TORVString& DatabaseName);
  // Store files are never buffered.
  TORVFileManager* GetFileManagerForStore(const TORVStore* Store);
  void GetAllBufferedFileIOStatistics(TORVIOStatisticsArray& Statistics);
  void GetBufferedFileIOStatistics(const TORVString& Mask, TORVIOStatistics& Statistics);

  // Raises the stamp to Value when Value is larger; never lowers it.
  void SetTimeStamp(int64_t Value);

  bool GetOpened() const { return FOpened; }
  TORVCurrency GetVersion() const { return FVersion; }
  int32_t GetBuildNumber() const { return FBuildNumber; }
  TORVCurrency GetCatalogVersion() const { return FCatalogVersion; }
  TORVEngineManagerSettings& GetSettings() const { return *FSettings; }
  TORVLoggedStatements& GetLoggedStatements() const { return *FLoggedStatements; }
  TORVMemoryFileManager& GetMemoryDatabaseFileManager() const { return *FMemoryDatabaseFileManager; }
  TORVMemoryFileManager& GetMemoryFileManager() const { return *FMemoryFileManager; }
  TORVOSFileManager& GetOSFileManager() const { return *FOSFileManager; }
  TORVBufferedOSFileManager& GetBufferedOSFileManager() const { return *FBufferedOSFileManager; }

 protected:
  virtual void InternalOpen();
  virtual void InternalClose();

 private:
  // The disk manager that databases and the configuration use.
  TORVFileManager* DiskFileManager() const;
  static bool IdentityMatches(TORVEngineSessionManager* Session, const TORVString& SessionUniqueID,
                              const TORVString& SessionProcessName, const TORVString& SessionName,
                              int32_t SessionThreadID);

  std::atomic<bool> FOpened{false};
  TORVCurrency FVersion;
  int32_t FBuildNumber;
  TORVCurrency FCatalogVersion;
  std::unique_ptr<TORVEngineManagerSettings> FSettings;
  std::unique_ptr<TORVMemoryFileManager> FMemoryDatabaseFileManager;
  std::unique_ptr<TORVMemoryFileManager> FMemoryFileManager;
  std::unique_ptr<TORVOSFileManager> FOSFileManager;
  std::unique_ptr<TORVBufferedOSFileManager> FBufferedOSFileManager;
  TORVReadWriteLock FEngineLock;
  std::unique_ptr<TORVHandleObjects> FSessionManagers;
  int64_t FTimeStamp;
  TORVCriticalSection FTimeStampSection;
  std::unique_ptr<TORVLoggedStatements> FLoggedStatements;
};

// The session base of the local and remote engines: registered in its
// engine's session table for its whole usable life, locked through it.
//
// Construct, then call AfterConstruction() once, which registers it (and
// with AcquireLock locks it for the creator); CreateSessionManager does
// both. Free it with FreeSessionManager (or let the engine's Close free
// it): BeforeDestruction unregisters it while the whole object still
// exists, so that no scan of another thread can reach a half-destroyed
// session.
class TORVEngineSessionManager : public TORVSessionManager {
 public:
  TORVEngineSessionManager(TORVEngineManager* EngineManagerToUse, bool AcquireLock);
  ~TORVEngineSessionManager() override;

  virtual void AfterConstruction();
  // Leaves the engine's table (releasing the lock with ReleaseLockOnFree);
  // a second call does nothing.
  virtual void BeforeDestruction();

  void Lock(uint32_t WaitTimeout) override;
  bool TryLock(uint32_t WaitTimeout) override;
  void Unlock() override;
  // A pending cancel stops the running operation at its next report.
  bool DoProgress(int32_t PercentDone) override;
  bool DoAbortCheck() override;
  // A cancel belongs to the operation running when it arrived: the
  // outermost start and finish of a progress bracket drop a pending one.
  void StartProgress() override;
  void EndProgress() override;
  // Marks the running operation as cancelled.
  void CancelProgress() override;
  // The serving thread lends out the session's lock while it reports
  // progress: between these two, lookups never keep the session, and a
  // cancel that finds it locked cancels its progress. Ending the update
  // keeps a cancel that arrived meanwhile.
  void BeginProgressUpdate() { FInProgressUpdate = true; }
  void EndProgressUpdate() { FInProgressUpdate = false; }
  // The thread serving the session; 0 here.
  virtual int32_t GetThreadID();
  // Whether the session counts in session scans; False here.
  virtual bool IncludeInScans();

  TORVEngineManager* GetEngineManager() const { return FEngineManager; }
  bool GetReleaseLockOnFree() const { return FReleaseLockOnFree; }
  void SetReleaseLockOnFree(bool Value) { FReleaseLockOnFree = Value; }
  bool GetInProgressUpdate() const { return FInProgressUpdate; }
  bool GetProgressAborted() const { return FProgressAborted; }

 private:
  TORVEngineManager* FEngineManager;
  bool FAcquireLock;
  bool FReleaseLockOnFree = false;
  std::atomic<bool> FInProgressUpdate{false};
  std::atomic<bool> FProgressAborted{false};
};

// Makes an engine manager of class T and its file managers.
template <typename T = TORVEngineManager, typename... TArgs>
std::unique_ptr<T> CreateEngineManager(TArgs&&... Args) {
  auto Engine = std::make_unique<T>(std::forward<TArgs>(Args)...);
  Engine->AfterConstruction();
  return Engine;
}

// Makes a session of class T registered in its engine; the engine's table
// owns it until FreeSessionManager or the engine's Close frees it.
template <typename T, typename... TArgs>
T* CreateSessionManager(TArgs&&... Args) {
  auto Session = std::make_unique<T>(std::forward<TArgs>(Args)...);
  Session->AfterConstruction();
  return Session.release();
}

// Unregisters and frees a session and clears the variable; nil does
// nothing.
template <typename T>
void FreeSessionManager(T*& Value) {
  TORVEngineSessionManager* Session = Value;
  Value = nullptr;
  if (Session == nullptr) return;
  Session->BeforeDestruction();
  delete Session;
}

}  // namespace orv
