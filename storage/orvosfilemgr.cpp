#include "storage/orvosfilemgr.h"

#include <exception>
#include <mutex>
#include <utility>

#include "core/orvdatetime.h"
#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvfilepath.h"
#include "platform/orvplatformlog.h"

namespace orv {

// ------------------------------------------------ operating-system functions

bool OSCreateDirectory(const TORVString& Path) { return PlatformCreateDirectory(Path); }

bool OSRemoveDirectory(const TORVString& Path) { return PlatformRemoveDirectory(Path); }

bool OSDirectoryExists(const TORVString& Path) { return PlatformDirectoryExists(Path); }

void OSGetFileNames(const TORVString& Mask, bool IncludeExtensions, TORVStringsList& FileNames) {
  for (const TORVString& Name : PlatformListFiles(Mask))
    FileNames.Add(IncludeExtensions ? Name : ExtractFileRoot(Name, TORVString()));
}

bool OSFileExists(const TORVString& FileName) { return PlatformGetFileInfo(FileName).Exists; }

int64_t OSGetFileCreation(const TORVString& FileName) {
  TORVPlatformFileInfo Info = PlatformGetFileInfo(FileName);
  return Info.Exists && !Info.IsDirectory ? OSFileTimeToTimeStamp(Info.Created) : 0;
}

int64_t OSGetFileModification(const TORVString& FileName) {
  TORVPlatformFileInfo Info = PlatformGetFileInfo(FileName);
  return Info.Exists && !Info.IsDirectory ? OSFileTimeToTimeStamp(Info.Modified) : 0;
}

int64_t OSGetFileSize(const TORVString& FileName) {
  TORVPlatformFileInfo Info = PlatformGetFileInfo(FileName);
  return Info.Exists && !Info.IsDirectory ? Info.Size : 0;
}

int32_t OSGetFileAttr(const TORVString& FileName) {
  TORVPlatformFileInfo Info = PlatformGetFileInfo(FileName);
  return Info.Exists && !Info.IsDirectory && Info.ReadOnly ? 1 : 0;
}

void OSFileRename(const TORVString& FileName, const TORVString& NewFileName) {
  PlatformFileRename(FileName, NewFileName);
}

void OSFileReplace(const TORVString& FileName, const TORVString& NewFileName) {
  PlatformFileReplace(FileName, NewFileName);
}

void OSFileDelete(const TORVString& FileName) { PlatformFileDelete(FileName); }

int64_t OSFileTimeToTimeStamp(const TORVPlatformFileTime& FileTime) {
  TORVClockFields Local;
  if (!PlatformFileTimeToLocal(FileTime, Local)) return 0;
  TORVParsedTimeStamp Parsed;
  Parsed.ParsedDate = TORVParsedDate{Local.Year, Local.Month, Local.Day};
  Parsed.ParsedTime = TORVParsedTime{Local.Hour, Local.Minute, Local.Second, Local.MSecond};
  int64_t Result = 0;
  return MakeTimeStamp(Parsed, Result, false) ? Result : 0;
}

TORVFileHandle OSFileOpen(const TORVString& FileName, const TORVFileOptions& Options) {
  // Hidden and temporary attributes have no Linux meaning (a temporary file
  // is deleted by its manager), and unbuffered I/O would need aligned
  // buffers that callers do not promise, so those options are not passed on.
  TORVPlatformOpenMode Mode;
  Mode.ReadOnly = Options.Contains(foReadOnly);
  Mode.Exclusive = Options.Contains(foExclusive);
  Mode.Create = Options.Contains(foCreate);
  return PlatformFileOpen(FileName, Mode);
}

int64_t OSFileCreated(TORVFileHandle Handle) {
  return Handle == InvalidFileHandle ? 0 : OSFileTimeToTimeStamp(PlatformFileCreated(Handle));
}

int64_t OSFileModified(TORVFileHandle Handle) {
  return Handle == InvalidFileHandle ? 0 : OSFileTimeToTimeStamp(PlatformFileModified(Handle));
}

void OSFileClose(TORVFileHandle& Handle) { PlatformFileClose(Handle); }

void OSFileFlush(TORVFileHandle Handle) { PlatformFileFlush(Handle); }

int32_t OSFileRead(TORVFileHandle Handle, int64_t Offset, int32_t Count, uint8_t* Buffer) {
  return PlatformFileRead(Handle, Offset, Count, Buffer);
}

int32_t OSFileWrite(TORVFileHandle Handle, int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  return PlatformFileWrite(Handle, Offset, Count, Buffer);
}

int64_t OSFileSize(TORVFileHandle Handle) { return PlatformFileSize(Handle); }

void OSSetFileSize(TORVFileHandle Handle, int64_t Size) { PlatformSetFileSize(Handle, Size); }

bool OSFileLock(TORVFileHandle Handle, int64_t Offset, int64_t LockLength) {
  return PlatformFileLock(Handle, Offset, LockLength);
}

bool OSFileUnlock(TORVFileHandle Handle, int64_t Offset, int64_t LockLength) {
  return PlatformFileUnlock(Handle, Offset, LockLength);
}

// -------------------------------------------------------------- TORVOSFile

TORVOSFile::TORVOSFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions)
    : TORVFile(Owner, AFileName, AOptions) {}

TORVOSFile::~TORVOSFile() {
  try {
    OSFileClose(FHandle);
  } catch (...) {
    // The descriptor is released whatever close reports.
  }
}

bool TORVOSFile::HandleOpen() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FHandle != InvalidFileHandle;
}

TORVFileOptions TORVOSFile::OpenOptions() {
  TORVFileOptions Options = FFileOptions;
  if (Options.Contains(foLockable) && FFileManager->GetExclusiveFileAccess()) Options.Include(foExclusive);
  return Options;
}

bool TORVOSFile::CreateHandle() {
  if (FHandle != InvalidFileHandle) {
    // The handle outlived its last stream (a lockable file under exclusive
    // access); creating the file again still empties it.
    try {
      OSSetFileSize(FHandle, 0);
    } catch (const EORVBaseException& E) {
      CreateError(FFileName, E.Message());
    }
    return true;
  }
  TORVFileOptions Options = OpenOptions();
  Options.Include(foCreate);
  try {
    FHandle = OSFileOpen(FFileName, Options);
  } catch (const EORVBaseException& E) {
    CreateError(FFileName, E.Message());
  }
  return false;
}

void TORVOSFile::OpenHandle() {
  if (FUseCount != 0 || FHandle != InvalidFileHandle) return;
  if (OSGetFileAttr(FFileName) == 1) FFileOptions.Include(foReadOnly);
  TORVFileOptions Options = OpenOptions();
  try {
    FHandle = OSFileOpen(FFileName, Options);
    return;
  } catch (const EORVBaseException& E) {
    if (Options.Contains(foReadOnly)) OpenError(FFileName, E.Message());
  }
  // No write access: the file is used read-only, which the caller sees in the
  // stream's options.
  FFileOptions.Include(foReadOnly);
  Options.Include(foReadOnly);
  try {
    FHandle = OSFileOpen(FFileName, Options);
  } catch (const EORVBaseException& E) {
    OpenError(FFileName, E.Message());
  }
}

void TORVOSFile::CloseHandleByRule(bool ForceClose) {
  if (FUseCount != 0 || FHandle == InvalidFileHandle) return;
  if (ForceClose || !FFileOptions.Contains(foLockable) || !FFileManager->GetExclusiveFileAccess())
    OSFileClose(FHandle);
}

std::unique_ptr<TORVFileStream> TORVOSFile::CreateNew() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  CreateHandle();
  return TORVFile::CreateNew();
}

std::unique_ptr<TORVFileStream> TORVOSFile::Open() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  OpenHandle();
  return TORVFile::Open();
}

void TORVOSFile::Close(bool ForceClose) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  TORVFile::Close(ForceClose);
  CloseHandleByRule(ForceClose);
}

void TORVOSFile::Rename(const TORVString& NewFileName) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  try {
    OSFileClose(FHandle);
    OSFileRename(FFileName, NewFileName);
  } catch (const EORVBaseException& E) {
    RenameError(FFileName, NewFileName, E.Message());
  }
  TORVFile::Rename(NewFileName);
}

void TORVOSFile::Delete() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  try {
    OSFileClose(FHandle);
    OSFileDelete(FFileName);
  } catch (const EORVBaseException& E) {
    DeleteError(FFileName, E.Message());
  }
}

int32_t TORVOSFile::Read(int64_t Offset, int32_t Count, uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (FHandle == InvalidFileHandle) return -1;
  return OSFileRead(FHandle, Offset, Count, Buffer);
}

int32_t TORVOSFile::Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (FHandle == InvalidFileHandle) return -1;
  return OSFileWrite(FHandle, Offset, Count, Buffer);
}

int64_t TORVOSFile::GetFileSize() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return OSFileSize(FHandle);
}

void TORVOSFile::SetFileSize(int64_t Value) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  OSSetFileSize(FHandle, Value);
}

int64_t TORVOSFile::GetFileCreated() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return OSFileCreated(FHandle);
}

int64_t TORVOSFile::GetFileModified() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return OSFileModified(FHandle);
}

void TORVOSFile::Flush(bool /*CheckAge*/) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (FHandle != InvalidFileHandle) OSFileFlush(FHandle);
}

bool TORVOSFile::Lock(int64_t Offset, int64_t LockLength) {
  if (FFileManager->GetExclusiveFileAccess()) return TORVFile::Lock(Offset, LockLength);
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FHandle != InvalidFileHandle && OSFileLock(FHandle, Offset, LockLength);
}

bool TORVOSFile::Unlock(int64_t Offset, int64_t LockLength) {
  if (FFileManager->GetExclusiveFileAccess()) return TORVFile::Unlock(Offset, LockLength);
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FHandle != InvalidFileHandle && OSFileUnlock(FHandle, Offset, LockLength);
}

void TORVOSFile::ReopenHandle() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (FHandle == InvalidFileHandle) return;
  try {
    OSFileClose(FHandle);
    FHandle = OSFileOpen(FFileName, OpenOptions());
  } catch (const EORVBaseException& E) {
    OpenError(FFileName, E.Message());
  }
}

bool TORVOSFile::ReopenIfReplaced() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (FHandle == InvalidFileHandle) return false;
  try {
    if (PlatformFileNameMatchesHandle(FHandle, FFileName) || !OSFileExists(FFileName)) return false;
  } catch (const EORVBaseException& E) {
    OpenError(FFileName, E.Message());
  }
  ReopenHandle();
  return true;
}

// ------------------------------------------------------- TORVOSFileManager

TORVOSFileManager::TORVOSFileManager() {
  static std::once_flag Raised;
  std::call_once(Raised, PlatformRaiseOpenFileLimit);
}

bool TORVOSFileManager::GetVirtualOnly() { return false; }

bool TORVOSFileManager::GetCaseInsensitive() { return true; }

std::unique_ptr<TORVFile> TORVOSFileManager::CreateFileObject(const TORVString& FileName,
                                                               const TORVFileOptions& AOptions) {
  return std::make_unique<TORVOSFile>(this, FileName, AOptions);
}

void TORVOSFileManager::GetFileNames(const TORVString& Mask, bool IncludeExtensions, TORVStringsList& FileNames) {
  OSGetFileNames(Mask, IncludeExtensions, FileNames);
}

bool TORVOSFileManager::FileExists(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  return OSFileExists(Value);
}

int64_t TORVOSFileManager::FileCreation(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  return OSGetFileCreation(Value);
}

int64_t TORVOSFileManager::FileModification(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  return OSGetFileModification(Value);
}

int64_t TORVOSFileManager::FileSize(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  return OSGetFileSize(Value);
}

bool TORVOSFileManager::PathExists(const TORVString& Value) { return OSDirectoryExists(Value); }

bool TORVOSFileManager::CreatePath(const TORVString& Value) {
  if (Value.empty()) return true;
  TORVString Path = ExcludeTrailingBackslash(Value);
  if (Path.empty() || OSDirectoryExists(Path)) return true;
  TORVString Parent = ExtractFilePath(Path);
  // A name without a folder part is a folder of the working directory.
  if (Parent != Path && !CreatePath(Parent)) return false;
  // Another thread may have made it meanwhile.
  return OSCreateDirectory(Path) || OSDirectoryExists(Path);
}

bool TORVOSFileManager::DeletePath(const TORVString& Value) {
  if (Value.empty()) return true;
  return OSRemoveDirectory(ExcludeTrailingBackslash(Value));
}

void TORVOSFileManager::ReplaceFile(const TORVString& Value, const TORVString& NewFileName) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  if (FindFile(Value, IndexPos)) {
    if (FFiles[static_cast<size_t>(IndexPos)]->GetUseCount() > 0) AccessError(Value);
    // Freeing the file object closes a handle kept open for it.
    RemoveFile(IndexPos);
  }
  try {
    OSFileReplace(Value, NewFileName);
  } catch (const EORVBaseException& E) {
    RenameError(Value, NewFileName, E.Message());
  }
  // Streams of this process open on the old file go on with the new one.
  if (FindFile(NewFileName, IndexPos)) FFiles[static_cast<size_t>(IndexPos)]->ReopenIfReplaced();
}

// ------------------------------------------------- TORVOSFileBufferManager

TORVOSFileBufferManager::TORVOSFileBufferManager(TORVBufferedOSFile* OSFile) : FOSFile(OSFile) {}

void TORVOSFileBufferManager::GetFileName(TORVString& Name) { Name = FOSFile->GetFileName(); }

int64_t TORVOSFileBufferManager::GetFileSize() { return FOSFile->InternalGetFileSize(); }

int32_t TORVOSFileBufferManager::FileRead(int64_t Offset, int32_t Count, uint8_t* Buffer) {
  return FOSFile->InternalRead(Offset, Count, Buffer);
}

int32_t TORVOSFileBufferManager::FileWrite(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  return FOSFile->InternalWrite(Offset, Count, Buffer);
}

int32_t TORVOSFileBufferManager::GetBufferSize() {
  return FOSFile->GetFileManager()->GetFileBufferBlockSize(FOSFile->GetFileName());
}

int64_t TORVOSFileBufferManager::GetMaxBufferSize() {
  return FOSFile->GetFileManager()->GetMaximumFileBufferSize(FOSFile->GetFileName());
}

int32_t TORVOSFileBufferManager::GetBufferFlushAge() {
  return FOSFile->GetFileManager()->GetFileBufferFlushAge(FOSFile->GetFileName());
}

bool TORVOSFileBufferManager::GetBufferFlushDisk() {
  return FOSFile->GetFileManager()->GetFileBufferFlushDisk(FOSFile->GetFileName());
}

// ------------------------------------------------------ TORVBufferedOSFile

TORVBufferedOSFile::TORVBufferedOSFile(TORVFileManager* Owner, const TORVString& AFileName,
                                       const TORVFileOptions& AOptions)
    : TORVOSFile(Owner, AFileName, AOptions), FBufferManager(std::make_unique<TORVOSFileBufferManager>(this)) {}

TORVBufferedOSFile::~TORVBufferedOSFile() = default;

int64_t TORVBufferedOSFile::InternalGetFileSize() { return TORVOSFile::GetFileSize(); }

int32_t TORVBufferedOSFile::InternalRead(int64_t Offset, int32_t Count, uint8_t* Buffer) {
  return TORVOSFile::Read(Offset, Count, Buffer);
}

int32_t TORVBufferedOSFile::InternalWrite(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  return TORVOSFile::Write(Offset, Count, Buffer);
}

int64_t TORVBufferedOSFile::CurrentFlushTime() { return CurrentTimeStamp(false); }

std::unique_ptr<TORVFileStream> TORVBufferedOSFile::CreateNew() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  CreateHandle();
  // A file created anew starts with an empty cache, also when its handle
  // stayed open.
  FBufferManager->Reset();
  std::unique_ptr<TORVFileStream> Stream = TORVFile::CreateNew();
  FBufferManager->Initialize();
  return Stream;
}

std::unique_ptr<TORVFileStream> TORVBufferedOSFile::Open() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  std::unique_ptr<TORVFileStream> Stream = TORVOSFile::Open();
  FBufferManager->Initialize();
  return Stream;
}

void TORVBufferedOSFile::Close(bool ForceClose) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  TORVFile::Close(ForceClose);
  if (FUseCount != 0) return;
  std::exception_ptr Failure;
  if (FHandle != InvalidFileHandle && FBufferManager->GetInitialized()) {
    try {
      FBufferManager->Flush();
    } catch (...) {
      Failure = std::current_exception();
    }
  }
  try {
    CloseHandleByRule(ForceClose);
  } catch (...) {
    if (!Failure) Failure = std::current_exception();
  }
  if (FHandle == InvalidFileHandle) FBufferManager->Reset();
  if (Failure) std::rethrow_exception(Failure);
}

int32_t TORVBufferedOSFile::Read(int64_t Offset, int32_t Count, uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (!FBufferManager->GetInitialized()) return -1;
  return FBufferManager->Read(Offset, Count, Buffer);
}

int32_t TORVBufferedOSFile::Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (!FBufferManager->GetInitialized() || FFileOptions.Contains(foReadOnly)) return -1;
  return FBufferManager->Write(Offset, Count, Buffer);
}

int64_t TORVBufferedOSFile::GetFileSize() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (!FBufferManager->GetInitialized()) return TORVOSFile::GetFileSize();
  return FBufferManager->GetLogicalFileSize();
}

void TORVBufferedOSFile::SetFileSize(int64_t Value) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (!FBufferManager->GetInitialized()) {
    TORVOSFile::SetFileSize(Value);
    return;
  }
  FBufferManager->Flush();
  TORVOSFile::SetFileSize(Value);
  FBufferManager->UpdateFileSize();
}

int32_t TORVBufferedOSFile::GetFileFlushAge() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FBufferManager->GetFlushAge();
}

bool TORVBufferedOSFile::GetFileFlushDisk() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FBufferManager->GetFlushDisk();
}

void TORVBufferedOSFile::GetIOStatistics(TORVIOStatistics& Statistics) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  FBufferManager->GetStatistics(Statistics);
  if (!FBufferManager->GetInitialized()) Statistics.FileName = FFileName;
}

void TORVBufferedOSFile::Flush(bool CheckAge) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (!FBufferManager->GetInitialized() || FHandle == InvalidFileHandle) return;
  int64_t Now = CurrentFlushTime();
  if (CheckAge) {
    // Whole seconds since the last flush, halves to even.
    int64_t Elapsed = Now - FFlushed;
    int64_t Seconds = Elapsed / 1000;
    int64_t Rest = Elapsed % 1000;
    if (Rest < 0) {
      Rest += 1000;
      --Seconds;
    }
    if (Rest > 500 || (Rest == 500 && (Seconds & 1) != 0)) ++Seconds;
    if (Seconds < FBufferManager->GetFlushAge()) return;
  }
  if (FBufferManager->Flush() && FBufferManager->GetFlushDisk()) TORVOSFile::Flush(CheckAge);
  FFlushed = Now;
}

void TORVBufferedOSFile::Sync() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (FBufferManager->GetInitialized() && FHandle != InvalidFileHandle) FBufferManager->Flush();
  TORVOSFile::Flush(false);
}

void TORVBufferedOSFile::ReopenHandle() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  bool WasInitialized = FBufferManager->GetInitialized();
  FBufferManager->Reset();
  TORVOSFile::ReopenHandle();
  if (WasInitialized) FBufferManager->Initialize();
}

// ----------------------------------------------- TORVBufferedOSFileManager

TORVBufferedOSFileManager::TORVBufferedOSFileManager() : FFlushTimer(std::make_unique<TORVThreadTimer>()) {}

TORVBufferedOSFileManager::~TORVBufferedOSFileManager() {
  try {
    Reset();
  } catch (...) {
    // Owners that must know of a failed final write call Reset themselves.
  }
  FFlushTimer.reset();
}

int32_t TORVBufferedOSFileManager::GetFileBufferFlushInterval() { return 60; }

std::unique_ptr<TORVFile> TORVBufferedOSFileManager::CreateFileObject(const TORVString& FileName,
                                                                       const TORVFileOptions& AOptions) {
  return std::make_unique<TORVBufferedOSFile>(this, FileName, AOptions);
}

int32_t TORVBufferedOSFileManager::GetFileBufferBlockSize(const TORVString& FileName) {
  return TORVOSFileManager::GetFileBufferBlockSize(FileName);
}

int64_t TORVBufferedOSFileManager::GetMaximumFileBufferSize(const TORVString& FileName) {
  return TORVOSFileManager::GetMaximumFileBufferSize(FileName);
}

void TORVBufferedOSFileManager::Initialize() {
  TORVOSFileManager::Initialize();
  FFlushInterval = GetFileBufferFlushInterval();
  FFlushTimer->SetOnTimer([this](TORVBaseObject*) { FlushTimerTimer(); });
  FFlushTimer->SetInterval(static_cast<uint32_t>(FFlushInterval) * 1000u);
  FFlushTimer->SetEnabled(true);
}

void TORVBufferedOSFileManager::Reset() {
  FFlushTimer->SetEnabled(false);
  std::exception_ptr Failure;
  try {
    FlushFiles(false);
  } catch (...) {
    Failure = std::current_exception();
  }
  TORVOSFileManager::Reset();
  if (Failure) std::rethrow_exception(Failure);
}

void TORVBufferedOSFileManager::ReportFlushError(const TORVString& Text) {
  if (FOnFlushError) {
    FOnFlushError(Text);
  } else {
    PlatformLogFallback(Text);
  }
}

void TORVBufferedOSFileManager::FlushTimerTimer() {
  // One failing file must neither stop the others nor the timer.
  TORVReadLocked Guard(FFilesLock);
  for (auto& File : FFiles) {
    try {
      File->Flush(true);
    } catch (const std::exception& E) {
      try {
        ReportFlushError(Utf8ToString(E.what()));
      } catch (...) {
      }
    }
  }
}

}  // namespace orv
