#include "storage/orvenginemgr.h"

#include <limits>

#include "base/orverrors.h"
#include "core/orvbuildversion.h"
#include "core/orvdatetime.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "core/orvthread.h"

namespace orv {

namespace {

constexpr int64_t LargestFileSize = std::numeric_limits<int64_t>::max();
// Row locks of shared files are byte-range locks above this offset.
constexpr int64_t SharedMaximumLockedFileSize = 128000000000;
constexpr int64_t BytesPerKilobyte = 1024;
constexpr int64_t BytesPerMegabyte = 1048576;

}  // namespace

// ---------------------------------------------------------------------------
// TORVEngineOSFileManager, TORVEngineBufferedOSFileManager

bool TORVEngineOSFileManager::GetExclusiveFileAccess() { return false; }
int64_t TORVEngineOSFileManager::GetMaximumLockedFileSize() { return SharedMaximumLockedFileSize; }
int64_t TORVEngineOSFileManager::GetMaximumFileSize() { return LargestFileSize; }

bool TORVEngineBufferedOSFileManager::GetExclusiveFileAccess() { return true; }
int64_t TORVEngineBufferedOSFileManager::GetMaximumLockedFileSize() { return LargestFileSize; }
int64_t TORVEngineBufferedOSFileManager::GetMaximumFileSize() { return LargestFileSize; }

const TORVBufferedFileIOSetting* TORVEngineBufferedOSFileManager::FindSetting(const TORVString& FileName) const {
  return FEngineManager->GetSettings().GetBufferedFileIOSettings().Find(FileName);
}

int32_t TORVEngineBufferedOSFileManager::GetFileBufferBlockSize(const TORVString& FileName) {
  const TORVBufferedFileIOSetting* Setting = FindSetting(FileName);
  if (Setting == nullptr || Setting->GetFileBufferBlockSize() <= 0)
    return TORVBufferedOSFileManager::GetFileBufferBlockSize(FileName);
  const int64_t Bytes = Setting->GetFileBufferBlockSize() * BytesPerKilobyte;
  return static_cast<int32_t>(std::min<int64_t>(Bytes, std::numeric_limits<int32_t>::max()));
}

int64_t TORVEngineBufferedOSFileManager::GetMaximumFileBufferSize(const TORVString& FileName) {
  const TORVBufferedFileIOSetting* Setting = FindSetting(FileName);
  if (Setting == nullptr || Setting->GetMaximumFileBufferSize() <= 0)
    return TORVBufferedOSFileManager::GetMaximumFileBufferSize(FileName);
  return Setting->GetMaximumFileBufferSize() * BytesPerMegabyte;
}

int32_t TORVEngineBufferedOSFileManager::GetFileBufferFlushAge(const TORVString& FileName) {
  const TORVBufferedFileIOSetting* Setting = FindSetting(FileName);
  return Setting == nullptr ? TORVBufferedOSFileManager::GetFileBufferFlushAge(FileName)
                            : Setting->GetFileBufferFlushAge();
}

bool TORVEngineBufferedOSFileManager::GetFileBufferFlushDisk(const TORVString& FileName) {
  const TORVBufferedFileIOSetting* Setting = FindSetting(FileName);
  return Setting == nullptr ? TORVBufferedOSFileManager::GetFileBufferFlushDisk(FileName)
                            : Setting->GetFileBufferFlushDisk();
}

int32_t TORVEngineBufferedOSFileManager::GetFileBufferFlushInterval() {
  return FEngineManager->GetSettings().GetBufferedFileIOFlushInterval();
}

// ---------------------------------------------------------------------------
// TORVEngineManager

TORVEngineManager::TORVEngineManager()
    : FVersion(TORVCurrency::FromScaled(BuildEngineVersion)),
      FBuildNumber(BuildEngineBuildNumber),
      FCatalogVersion(TORVCurrency::FromScaled(BuildCatalogVersion)),
      FSettings(std::make_unique<TORVEngineManagerSettings>(this)),
      FMemoryDatabaseFileManager(std::make_unique<TORVMemoryFileManager>()),
      FMemoryFileManager(std::make_unique<TORVMemoryFileManager>()),
      FSessionManagers(std::make_unique<TORVHandleObjects>(MaximumSessions, true)),
      FTimeStamp(CurrentTimeStamp(false)),
      FLoggedStatements(std::make_unique<TORVLoggedStatements>()) {
  FLoggedStatements->SetMaxCount(128);
}

TORVEngineManager::~TORVEngineManager() {
  try {
    Close();
  } catch (...) {
    LogThreadError(ExceptionText(std::current_exception()));
  }
  // Sessions of an engine that was never opened are still registered.
  FreeSessionManagers();
  FLoggedStatements.reset();
  FSessionManagers.reset();
  FBufferedOSFileManager.reset();
  FOSFileManager.reset();
  FMemoryFileManager.reset();
  FMemoryDatabaseFileManager.reset();
  FSettings.reset();
}

void TORVEngineManager::AfterConstruction() {
  FOSFileManager = CreateOSFileManager();
  FBufferedOSFileManager = CreateBufferedOSFileManager();
}

std::unique_ptr<TORVOSFileManager> TORVEngineManager::CreateOSFileManager() {
  return std::make_unique<TORVEngineOSFileManager>(this);
}

std::unique_ptr<TORVBufferedOSFileManager> TORVEngineManager::CreateBufferedOSFileManager() {
  return std::make_unique<TORVEngineBufferedOSFileManager>(this);
}

void TORVEngineManager::Open() {
  if (FOpened) return;
  try {
    InternalOpen();
  } catch (...) {
    WhileUnwinding([this] { InternalClose(); });
    throw;
  }
  FOpened = true;
}

void TORVEngineManager::Close() {
  if (!FOpened) return;
  try {
    InternalClose();
  } catch (...) {
    FOpened = false;
    throw;
  }
  FOpened = false;
}

void TORVEngineManager::InternalOpen() {
  FMemoryDatabaseFileManager->Initialize();
  FMemoryFileManager->Initialize();
  FOSFileManager->Initialize();
  if (FSettings->GetBufferedFileIO()) FBufferedOSFileManager->Initialize();
}

void TORVEngineManager::InternalClose() {
  FreeSessionManagers();
  // Every manager is reset even when one fails, so that no in-memory file
  // outlives the close; the first failure is raised afterwards.
  std::exception_ptr Failure;
  auto ResetManager = [&Failure](TORVFileManager& Manager) {
    try {
      Manager.Reset();
    } catch (...) {
      if (!Failure) Failure = std::current_exception();
    }
  };
  if (FSettings->GetBufferedFileIO()) ResetManager(*FBufferedOSFileManager);
  ResetManager(*FOSFileManager);
  ResetManager(*FMemoryFileManager);
  ResetManager(*FMemoryDatabaseFileManager);
  if (Failure) std::rethrow_exception(Failure);
}

void TORVEngineManager::AddSessionManager(TORVEngineSessionManager* Value, bool AcquireLock) {
  TORVWriteLocked Guard(FEngineLock);
  FSessionManagers->AddObject(Value, false);
  // A fresh handle's lock is free unless a former holder kept it; trying
  // without waiting keeps the engine lock from ever waiting on a session.
  if (AcquireLock && !FSessionManagers->LockObject(Value, 0)) {
    const int32_t Handle = Value->GetHandle();
    FSessionManagers->RemoveObject(Value, false);
    SessionLockError(Handle);
  }
}

bool TORVEngineManager::RemoveSessionManager(TORVEngineSessionManager* Value, bool ReleaseLock) {
  TORVWriteLocked Guard(FEngineLock);
  return FSessionManagers->RemoveObject(Value, ReleaseLock);
}

bool TORVEngineManager::SessionManagerExists(int32_t Handle) {
  TORVReadLocked Guard(FEngineLock);
  return FSessionManagers->ObjectExists(Handle);
}

bool TORVEngineManager::IdentityMatches(TORVEngineSessionManager* Session, const TORVString& SessionUniqueID,
                                        const TORVString& SessionProcessName, const TORVString& SessionName,
                                        int32_t SessionThreadID) {
  if (!SessionUniqueID.empty()) return SameString(SessionUniqueID, Session->GetUniqueID());
  if (!SessionProcessName.empty())
    return SameString(SessionProcessName, Session->GetProcessName()) && SameString(SessionName, Session->GetName()) &&
           SessionThreadID == Session->GetThreadID();
  return true;
}

bool TORVEngineManager::FindSessionManager(int32_t Handle, TORVEngineSessionManager*& SessionManager,
                                           bool AcquireLock, uint32_t WaitTimeout, bool CancelSessionProgress,
                                           const TORVString& SessionUniqueID, const TORVString& SessionProcessName,
                                           const TORVString& SessionName, int32_t SessionThreadID) {
  SessionManager = nullptr;
  const uint32_t StartTicks = Environment().GetTickCount();
  for (;;) {
    {
      TORVReadLocked Guard(FEngineLock);
      auto* Session = static_cast<TORVEngineSessionManager*>(FSessionManagers->FindObject(Handle));
      if (Session == nullptr) return false;
      if (!AcquireLock) {
        SessionManager = Session;
        return true;
      }
      if (FSessionManagers->LockObject(Session, 0)) {
        if (!Session->GetInProgressUpdate()) {
          if (!IdentityMatches(Session, SessionUniqueID, SessionProcessName, SessionName, SessionThreadID)) {
            FSessionManagers->UnlockObject(Session);
            return false;
          }
          SessionManager = Session;
          return true;
        }
        // Its serving thread only lent the lock out while reporting
        // progress; the session is not free.
        FSessionManagers->UnlockObject(Session);
      } else if (CancelSessionProgress &&
                 IdentityMatches(Session, SessionUniqueID, SessionProcessName, SessionName, SessionThreadID)) {
        Session->CancelProgress();
      }
    }
    Environment().YieldThread();
    if (TORVEnvironment::CalcElapsedTime(StartTicks, Environment().GetTickCount()) >= WaitTimeout)
      SessionLockError(Handle);
  }
}

bool TORVEngineManager::NextSessionManager(int32_t& Handle, TORVEngineSessionManager*& SessionManager,
                                           int32_t CurHandle, bool AcquireLock, uint32_t WaitTimeout) {
  SessionManager = nullptr;
  const uint32_t StartTicks = Environment().GetTickCount();
  for (;;) {
    int32_t Next = Handle;
    {
      TORVReadLocked Guard(FEngineLock);
      TORVHandleObject* Found = nullptr;
      if (!FSessionManagers->NextObject(Next, Found)) return false;
      auto* Session = static_cast<TORVEngineSessionManager*>(Found);
      if (!Session->IncludeInScans()) {
        Handle = Next;
        continue;
      }
      if (!AcquireLock || Next == CurHandle || FSessionManagers->LockObject(Session, 0)) {
        Handle = Next;
        SessionManager = Session;
        return true;
      }
    }
    Environment().YieldThread();
    if (TORVEnvironment::CalcElapsedTime(StartTicks, Environment().GetTickCount()) >= WaitTimeout)
      SessionLockError(Next);
  }
}

void TORVEngineManager::FreeSessionManagers() {
  for (;;) {
    TORVEngineSessionManager* Session = nullptr;
    {
      TORVWriteLocked Guard(FEngineLock);
      int32_t Handle = 0;
      TORVHandleObject* Found = nullptr;
      if (!FSessionManagers->NextObject(Handle, Found)) return;
      Session = static_cast<TORVEngineSessionManager*>(Found);
      FSessionManagers->RemoveObject(Session, Session->GetReleaseLockOnFree());
    }
    FreeSessionManager(Session);
  }
}

void TORVEngineManager::LockSessionManager(TORVEngineSessionManager* Value, uint32_t WaitTimeout) {
  if (!FSessionManagers->LockObject(Value, WaitTimeout)) SessionLockError(Value->GetHandle());
}

bool TORVEngineManager::TryLockSessionManager(TORVEngineSessionManager* Value, uint32_t WaitTimeout) {
  return FSessionManagers->LockObject(Value, WaitTimeout);
}

void TORVEngineManager::UnlockSessionManager(TORVEngineSessionManager* Value) {
  FSessionManagers->UnlockObject(Value);
}

void TORVEngineManager::SessionLockError(int32_t Handle) {
  RaiseError(ORV_SESSION_LOCK_ERROR, {IntToString(Handle)});
}

TORVFileManager* TORVEngineManager::DiskFileManager() const {
  if (FSettings->GetBufferedFileIO()) return FBufferedOSFileManager.get();
  return FOSFileManager.get();
}

TORVFileManager* TORVEngineManager::GetConfigFileManager(bool InMemory) {
  return InMemory ? FMemoryFileManager.get() : DiskFileManager();
}

TORVFileManager* TORVEngineManager::GetFileManagerForDatabase(bool InMemory, const TORVString& DatabaseName) {
  if (InMemory) return FMemoryDatabaseFileManager.get();
  if (SameString(DatabaseName, ConfigurationDatabaseName) || SameString(DatabaseName, CursorCacheDatabaseName))
    return FMemoryFileManager.get();
  return DiskFileManager();
}

TORVFileManager* TORVEngineManager::GetFileManagerForStore(const TORVStore* /*Store*/) { return FOSFileManager.get(); }

void TORVEngineManager::GetAllBufferedFileIOStatistics(TORVIOStatisticsArray& Statistics) {
  DiskFileManager()->GetAllFileIOStatistics(Statistics);
}

void TORVEngineManager::GetBufferedFileIOStatistics(const TORVString& Mask, TORVIOStatistics& Statistics) {
  DiskFileManager()->GetFileIOStatistics(Mask, Statistics);
}

void TORVEngineManager::SetTimeStamp(int64_t Value) {
  std::lock_guard<TORVCriticalSection> Guard(FTimeStampSection);
  if (Value > FTimeStamp) FTimeStamp = Value;
}

int64_t TORVEngineManager::GetNextTimeStamp() {
  std::lock_guard<TORVCriticalSection> Guard(FTimeStampSection);
  const int64_t Now = CurrentTimeStamp(false);
  FTimeStamp = Now > FTimeStamp ? Now : FTimeStamp + 1;
  return FTimeStamp;
}

void TORVEngineManager::EnableJob(const TORVString& /*JobName*/) {}
void TORVEngineManager::EnableJobs() {}
void TORVEngineManager::DisableJob(const TORVString& /*JobName*/) {}
void TORVEngineManager::DisableJobs() {}
bool TORVEngineManager::JobEnabled(const TORVString& /*JobName*/) { return false; }

// ---------------------------------------------------------------------------
// TORVEngineSessionManager

TORVEngineSessionManager::TORVEngineSessionManager(TORVEngineManager* EngineManagerToUse, bool AcquireLock)
    : FEngineManager(EngineManagerToUse), FAcquireLock(AcquireLock) {}

TORVEngineSessionManager::~TORVEngineSessionManager() {
  // For owners that delete without BeforeDestruction; unregistering twice
  // does nothing.
  BeforeDestruction();
}

void TORVEngineSessionManager::AfterConstruction() { FEngineManager->AddSessionManager(this, FAcquireLock); }

void TORVEngineSessionManager::BeforeDestruction() {
  if (GetHandle() != 0) FEngineManager->RemoveSessionManager(this, FReleaseLockOnFree);
}

void TORVEngineSessionManager::Lock(uint32_t WaitTimeout) { FEngineManager->LockSessionManager(this, WaitTimeout); }

bool TORVEngineSessionManager::TryLock(uint32_t WaitTimeout) {
  return FEngineManager->TryLockSessionManager(this, WaitTimeout);
}

void TORVEngineSessionManager::Unlock() { FEngineManager->UnlockSessionManager(this); }

bool TORVEngineSessionManager::DoProgress(int32_t PercentDone) {
  if (FProgressAborted) return false;
  return TORVSessionManager::DoProgress(PercentDone);
}

bool TORVEngineSessionManager::DoAbortCheck() {
  if (FProgressAborted) return false;
  return TORVSessionManager::DoAbortCheck();
}

void TORVEngineSessionManager::StartProgress() {
  if (GetProgress().GetUseCount() == 0) FProgressAborted = false;
  TORVSessionManager::StartProgress();
}

void TORVEngineSessionManager::EndProgress() {
  TORVSessionManager::EndProgress();
  if (GetProgress().GetUseCount() == 0) FProgressAborted = false;
}

void TORVEngineSessionManager::CancelProgress() { FProgressAborted = true; }

int32_t TORVEngineSessionManager::GetThreadID() { return 0; }

bool TORVEngineSessionManager::IncludeInScans() { return false; }

}  // namespace orv
