#include "core/orvsessionmgr.h"

#include <algorithm>
#include <utility>

#include "base/orverrors.h"
#include "core/orvdbmgr.h"
#include "core/orvguid.h"
#include "core/orvstoremgr.h"
#include "core/orvstream.h"

namespace orv {

namespace {

constexpr char16_t StoreWord[] = u"store";

// Details of the store stream error, filled with the file name.
constexpr char16_t StoreStreamReadMsg[] = u"Error reading from the file %s";
constexpr char16_t StoreStreamWriteMsg[] = u"Error writing to the file %s";
constexpr char16_t StoreReadStreamMsg[] = u"Error reading the file %s from the input stream";
constexpr char16_t StoreWriteStreamMsg[] = u"Error writing the file %s to the output stream";

// Status messages of a store-file copy.
constexpr char16_t CopyStartStatus[] = u"%s the file %s in the %s %s...";
constexpr char16_t CopyDoneStatus[] = u"The file %s in the %s %s was %s successfully";
constexpr char16_t CopyNotDoneStatus[] = u"The %s of the file %s in the %s %s did not complete";

// Trunc(Done / Total x 100) without a floating-point detour.
int32_t PercentOf(int64_t Done, int64_t Total) {
  if (Total <= 0) return 100;
  return static_cast<int32_t>(std::min<int64_t>(Done, Total) * 100 / Total);
}

template <typename... THandlers>
void ClearHandlers(THandlers&... Handlers) {
  ((Handlers = nullptr), ...);
}

}  // namespace

bool TORVSessionProgress::DoProgress() {
  return FSessionManager->DoProgress(GetProgressInfo()->GetPercentDone());
}

bool TORVSessionProgress::DoAbortCheck() { return FSessionManager->DoAbortCheck(); }

void TORVSessionProgress::DoStatus(const TORVString& Msg) { FSessionManager->DoStatusMessage(Msg); }

void TORVSessionProgress::DoLog(const TORVString& Msg) { FSessionManager->DoLogMessage(Msg); }

uint32_t TORVSessionProgress::GetTickCount() const { return FSessionManager->GetProgressTickCount(); }

TORVSessionManager::TORVSessionManager()
    : FUniqueID(GUIDAsString()),
      FDatabaseManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FStoreManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FCursors(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FStatementManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FProcedureManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)),
      FScriptManagers(std::make_unique<TORVHandleObjects>(MaximumHandles, false)) {
  auto Progress = std::make_unique<TORVSessionProgress>(this);
  Progress->AfterConstruction();
  FProgress = std::move(Progress);
}

TORVSessionManager::~TORVSessionManager() {
  // What a database or store handed out goes before the database or store.
  FScriptManagers.reset();
  FProcedureManagers.reset();
  FStatementManagers.reset();
  FCursors.reset();
  FStoreManagers.reset();
  FDatabaseManagers.reset();
  FProgress.reset();
}

bool TORVSessionManager::DoLogin(TORVString& UserName, TORVString& Password, bool& Continue) {
  bool Handled = false;
  if (FOnLogin) FOnLogin(Handled, UserName, Password, Continue);
  return Handled;
}

bool TORVSessionManager::DoProgress(int32_t PercentDone) {
  bool Continue = true;
  if (FOnProgress) FOnProgress(PercentDone, Continue);
  return Continue;
}

bool TORVSessionManager::DoAbortCheck() {
  bool Continue = true;
  if (FOnAbortCheck) FOnAbortCheck(Continue);
  return Continue;
}

void TORVSessionManager::DoStatusMessage(const TORVString& Msg) {
  if (FOnStatusMessage) FOnStatusMessage(Msg);
}

void TORVSessionManager::DoLogMessage(const TORVString& Msg) {
  if (FOnLogMessage) FOnLogMessage(Msg);
}

void TORVSessionManager::StoreStreamError(const TORVString& StoreName, const TORVString& Msg) {
  RaiseError(ORV_STORE_ERROR, {StoreWord, StoreName, Msg});
}

void TORVSessionManager::StoreStreamReadError(const TORVString& StoreName, const TORVString& FileName) {
  StoreStreamError(StoreName, FormatString(StoreStreamReadMsg, {FileName}));
}

void TORVSessionManager::StoreStreamWriteError(const TORVString& StoreName, const TORVString& FileName) {
  StoreStreamError(StoreName, FormatString(StoreStreamWriteMsg, {FileName}));
}

void TORVSessionManager::StoreReadStreamError(const TORVString& StoreName, const TORVString& FileName) {
  StoreStreamError(StoreName, FormatString(StoreReadStreamMsg, {FileName}));
}

void TORVSessionManager::StoreWriteStreamError(const TORVString& StoreName, const TORVString& FileName) {
  StoreStreamError(StoreName, FormatString(StoreWriteStreamMsg, {FileName}));
}

void TORVSessionManager::Open(const TORVString& SessionProcessName, const TORVString& SessionName,
                              const TORVString& SessionDescription) {
  FOpened = true;
  FProcessName = SessionProcessName;
  FName = SessionName;
  FDescription = SessionDescription;
}

void TORVSessionManager::Close() { FOpened = false; }

void TORVSessionManager::CloseDatabase(TORVDatabaseManager*& DatabaseManagerToClose) {
  DatabaseManagerToClose->Close(false);
}

void TORVSessionManager::CloseStore(TORVStoreManager*& StoreManagerToClose) { StoreManagerToClose->Close(false); }

void TORVSessionManager::StartProgress() { FProgress->Start(); }

bool TORVSessionManager::CheckProgressInterval(int32_t PercentDone) {
  FProgress->GetProgressInfo()->SetPercentDone(PercentDone);
  return FProgress->CheckInterval();
}

bool TORVSessionManager::CheckProgressInterval() { return FProgress->CheckInterval(); }

bool TORVSessionManager::SetProgress(int32_t PercentDone) {
  FProgress->GetProgressInfo()->SetPercentDone(PercentDone);
  return FProgress->UpdateProgress();
}

void TORVSessionManager::EndProgress() { FProgress->Finish(); }

void TORVSessionManager::StatusMessage(const TORVString& Msg, bool UserStatus) { FProgress->Status(Msg, UserStatus); }

void TORVSessionManager::LogMessage(const TORVString& Msg) { FProgress->Log(Msg); }

void TORVSessionManager::SwapEventHandlers() {
  std::swap(FOnLogin, FSaveOnLogin);
  std::swap(FOnProgress, FSaveOnProgress);
  std::swap(FOnAbortCheck, FSaveOnAbortCheck);
  std::swap(FOnStatusMessage, FSaveOnStatusMessage);
  std::swap(FOnLogMessage, FSaveOnLogMessage);
  std::swap(FOnDebugNotification, FSaveOnDebugNotification);
  std::swap(FOnDebugCompletion, FSaveOnDebugCompletion);
}

void TORVSessionManager::SaveEventHandlers() {
  SwapEventHandlers();
  ClearHandlers(FOnLogin, FOnProgress, FOnAbortCheck, FOnStatusMessage, FOnLogMessage, FOnDebugNotification,
                FOnDebugCompletion);
}

void TORVSessionManager::RestoreEventHandlers() {
  SwapEventHandlers();
  ClearHandlers(FSaveOnLogin, FSaveOnProgress, FSaveOnAbortCheck, FSaveOnStatusMessage, FSaveOnLogMessage,
                FSaveOnDebugNotification, FSaveOnDebugCompletion);
}

void TORVSessionManager::DebugNotification(int32_t LineNumber, const std::exception* Exception,
                                           bool PauseOnException) {
  SaveEventHandlers();
  try {
    if (FSaveOnDebugNotification) FSaveOnDebugNotification(LineNumber, Exception, PauseOnException);
  } catch (...) {
    RestoreEventHandlers();
    throw;
  }
  RestoreEventHandlers();
}

void TORVSessionManager::DebugCompletion(bool Stopped) {
  if (FOnDebugCompletion) FOnDebugCompletion(Stopped);
}

void TORVSessionManager::SetRowLockProtocol(TORVRowLockProtocol Value) {
  if (Value == FRowLockProtocol) return;
  FRowLockProtocol = Value;
  RowLockingChanged();
}

void TORVSessionManager::SetRowLockRetries(int32_t Value) {
  if (Value == FRowLockRetries) return;
  FRowLockRetries = Value;
  RowLockingChanged();
}

void TORVSessionManager::SetRowLockWait(int32_t Value) {
  if (Value == FRowLockWait) return;
  FRowLockWait = Value;
  RowLockingChanged();
}

void TORVSessionManager::SetDetectRowChanges(bool Value) {
  if (Value == FDetectRowChanges) return;
  FDetectRowChanges = Value;
  RowLockingChanged();
}

template <typename TCopy>
void TORVSessionManager::CopyStoreFile(const TORVString& StoreName, const TORVString& FileName, TCopy Copy) {
  TORVStoreManager* Store = OpenStore(StoreName, ltShared, false);
  try {
    StatusMessage(FormatString(CopyStartStatus, {u"Copying", FileName, StoreWord, StoreName}), false);
    const TORVString NotDone = FormatString(CopyNotDoneStatus, {u"copy", FileName, StoreWord, StoreName});
    StartProgress();
    bool Completed = false;
    try {
      Completed = Copy(*Store);
    } catch (...) {
      WhileUnwinding([this] { EndProgress(); });
      WhileUnwinding([&] { StatusMessage(NotDone, false); });
      throw;
    }
    EndProgress();
    StatusMessage(Completed ? FormatString(CopyDoneStatus, {FileName, StoreWord, StoreName, u"copied"}) : NotDone,
                  false);
  } catch (...) {
    WhileUnwinding([&] { CloseStore(Store); });
    throw;
  }
  CloseStore(Store);
}

void TORVSessionManager::SaveStoreFileToStream(const TORVString& StoreName, const TORVString& FileName,
                                               TORVStream& DestStream) {
  CopyStoreFile(StoreName, FileName, [&](TORVStoreManager& Store) {
    TORVMemoryStream Scratch(-1);
    Scratch.SetSize(StoreCopyBlockSize);
    const int64_t Total = Store.BeginReadFile(FileName);
    int64_t Copied = 0;
    bool Continue = true;
    try {
      while (Continue && Copied < Total) {
        Scratch.SetPosition(0);
        const int32_t Count = Store.ReadFile(Scratch, StoreCopyBlockSize);
        if (Count <= 0) StoreReadStreamError(StoreName, FileName);
        Copied += Count;
        Continue = CheckProgressInterval(PercentOf(Copied, Total));
        Scratch.SetPosition(0);
        if (DestStream.CopyFrom(Scratch, Count) < Count) StoreWriteStreamError(StoreName, FileName);
      }
    } catch (...) {
      WhileUnwinding([&] { Store.CancelReadFile(); });
      throw;
    }
    Store.EndReadFile();
    return Continue;
  });
}

void TORVSessionManager::SaveStreamToStoreFile(const TORVString& StoreName, const TORVString& FileName,
                                               TORVStream& SourceStream) {
  CopyStoreFile(StoreName, FileName, [&](TORVStoreManager& Store) {
    TORVMemoryStream Scratch(-1);
    Scratch.SetSize(StoreCopyBlockSize);
    const int64_t Total = std::max<int64_t>(SourceStream.GetSize() - SourceStream.GetPosition(), 0);
    int64_t Copied = 0;
    bool Continue = true;
    Store.BeginWriteFile(FileName);
    try {
      while (Continue && Copied < Total) {
        Scratch.SetPosition(0);
        const int64_t Wanted = std::min<int64_t>(StoreCopyBlockSize, Total - Copied);
        const int32_t Count = static_cast<int32_t>(Scratch.CopyFrom(SourceStream, Wanted));
        if (Count <= 0) StoreReadStreamError(StoreName, FileName);
        Copied += Count;
        Continue = CheckProgressInterval(PercentOf(Copied, Total));
        Scratch.SetPosition(0);
        if (Store.WriteFile(Scratch, Count) < Count) StoreWriteStreamError(StoreName, FileName);
      }
    } catch (...) {
      WhileUnwinding([&] { Store.CancelWriteFile(); });
      throw;
    }
    // A copy the progress handler stopped is a part of the file; ending the
    // write would leave it in the store looking complete.
    if (Continue)
      Store.EndWriteFile();
    else
      Store.CancelWriteFile();
    return Continue;
  });
}

}  // namespace orv
