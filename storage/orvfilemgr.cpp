#include "storage/orvfilemgr.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <set>
#include <stdexcept>
#include <utility>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvfilepath.h"

namespace orv {

namespace {

constexpr int32_t LocksExpandCount = 1024;
constexpr int32_t FilesExpandCount = 128;

// Grows a vector's capacity to the next multiple of Step before it holds Needed.
template <typename T>
void GrowCapacity(std::vector<T>& Items, size_t Needed, int32_t Step) {
  if (Needed <= Items.capacity()) return;
  Items.reserve(static_cast<size_t>(BlockOffset(static_cast<int32_t>(Needed), Step)));
}

TORVCurrency RoundedQuotient(int64_t Numerator, int64_t Denominator) {
  // Two decimals, halves away from zero, as a Currency (scaled by 10,000).
  long double Hundredths = std::roundl(static_cast<long double>(Numerator) * 100.0L /
                                       static_cast<long double>(Denominator));
  return TORVCurrency::FromScaled(static_cast<int64_t>(Hundredths) * 100);
}

void AddStatistics(TORVIOStatistics& Sum, const TORVIOStatistics& Item) {
  Sum.MaxBuffers += Item.MaxBuffers;
  Sum.Hits += Item.Hits;
  Sum.Misses += Item.Misses;
  Sum.Reads += Item.Reads;
  Sum.BytesRead += Item.BytesRead;
  Sum.Writes += Item.Writes;
  Sum.BytesWritten += Item.BytesWritten;
  Sum.AllocatedBuffers += Item.AllocatedBuffers;
  Sum.DirtyBuffers += Item.DirtyBuffers;
  Sum.Flushes += Item.Flushes;
  Sum.HitRatio = CalculateHitRatio(Sum.Hits, Sum.Misses);
  Sum.AvgRead = CalculateAverage(Sum.Reads, Sum.BytesRead);
  Sum.AvgWrite = CalculateAverage(Sum.Writes, Sum.BytesWritten);
}

std::atomic<uint64_t> NextFileSerial{1};

bool BufferRangeValid(const TORVBytes& Buffer, int32_t BufferOffset, int32_t Count) {
  return BufferOffset >= 0 && Count >= 0 &&
         static_cast<size_t>(BufferOffset) + static_cast<size_t>(Count) <= Buffer.size();
}

}  // namespace

uint8_t FileOptionsToByte(const TORVFileOptions& Options) {
  uint8_t Result = 0;
  for (uint8_t Bit = foReadOnly; Bit <= foLockable; ++Bit)
    if (Options.Contains(static_cast<TORVFileOption>(Bit))) Result |= static_cast<uint8_t>(1u << Bit);
  return Result;
}

TORVFileOptions ByteToFileOptions(uint8_t Value) {
  TORVFileOptions Result;
  for (uint8_t Bit = foReadOnly; Bit <= foLockable; ++Bit)
    if (Value & (1u << Bit)) Result.Include(static_cast<TORVFileOption>(Bit));
  return Result;
}

// ---------------------------------------------------------------- TORVFile

TORVFile::TORVFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions)
    : FFileManager(Owner),
      FSerial(NextFileSerial.fetch_add(1)),
      FFileOptions(AOptions), FFileName(AFileName), FRowLocks(false, false, 0) {}

TORVFile::~TORVFile() = default;

void TORVFile::GetIOStatistics(TORVIOStatistics& Statistics) {
  Statistics = TORVIOStatistics();
  Statistics.FileName = GetFileName();
}

int64_t TORVFile::GetFileFlushed() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FFlushed;
}

void TORVFile::SetFileFlushed(int64_t Value) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  FFlushed = Value;
}

int32_t TORVFile::GetFileFlushAge() { return 120; }

bool TORVFile::GetFileFlushDisk() { return false; }

std::unique_ptr<TORVFileStream> TORVFile::AddUser() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  ++FUseCount;
  try {
    return FFileManager->CreateFileStream(this);
  } catch (...) {
    --FUseCount;
    throw;
  }
}

std::unique_ptr<TORVFileStream> TORVFile::CreateNew() { return AddUser(); }

std::unique_ptr<TORVFileStream> TORVFile::Open() { return AddUser(); }

void TORVFile::Close(bool ForceClose) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  FUseCount = ForceClose ? 0 : FUseCount - 1;
  if (FUseCount <= 0) {
    FUseCount = 0;
    FreeLocks();
  }
}

void TORVFile::FreeLocks() {
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  if (FFileManager->GetExclusiveFileAccess()) {
    FReadWriteLocks.clear();
    FRowLocks.ClearBits();
  }
  FLocks.clear();
}

void TORVFile::Rename(const TORVString& NewFileName) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  FFileName = NewFileName;
}

void TORVFile::Delete() {}

void TORVFile::Flush(bool /*CheckAge*/) {}

void TORVFile::TakeContents(TORVFile& /*Source*/) {
  throw std::logic_error("this kind of file cannot take another file's contents");
}

bool TORVFile::ReopenIfReplaced() { return false; }

void TORVFile::Sync() { Flush(false); }

int32_t TORVFile::Read(int64_t Offset, int32_t Count, TORVBytes& Buffer, int32_t BufferOffset) {
  if (!BufferRangeValid(Buffer, BufferOffset, Count)) return -1;
  return Read(Offset, Count, Buffer.data() + BufferOffset);
}

int32_t TORVFile::Write(int64_t Offset, int32_t Count, const TORVBytes& Buffer, int32_t BufferOffset) {
  if (!BufferRangeValid(Buffer, BufferOffset, Count)) return -1;
  return Write(Offset, Count, Buffer.data() + BufferOffset);
}

std::vector<TORVFileLock>::iterator TORVFile::FindLock(int64_t Offset) {
  return std::lower_bound(FLocks.begin(), FLocks.end(), Offset,
                          [](const TORVFileLock& Lock, int64_t Value) { return CompareLocks(Lock, Value) < 0; });
}

bool TORVFile::Lock(int64_t Offset, int64_t LockLength) {
  // A range of no bytes, or one that runs past the largest offset, locks nothing.
  if (Offset < 0 || LockLength < 1 || LockLength - 1 > INT64_MAX - Offset) return false;
  int64_t End = Offset + LockLength - 1;
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  auto Pos = FindLock(Offset);
  if (Pos != FLocks.end() && Pos->FBeginOffset == Offset) return false;
  if (Pos != FLocks.begin() && std::prev(Pos)->FEndOffset >= Offset) return false;
  if (Pos != FLocks.end() && End >= Pos->FBeginOffset) return false;
  size_t Index = static_cast<size_t>(Pos - FLocks.begin());
  GrowCapacity(FLocks, FLocks.size() + 1, LocksExpandCount);
  FLocks.insert(FLocks.begin() + static_cast<std::ptrdiff_t>(Index), TORVFileLock{Offset, End, LockLength});
  return true;
}

bool TORVFile::Unlock(int64_t Offset, int64_t /*LockLength*/) {
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  auto Pos = FindLock(Offset);
  if (Pos == FLocks.end() || Pos->FBeginOffset != Offset) return false;
  FLocks.erase(Pos);
  return true;
}

int32_t TORVFile::ExclusiveIncSessionCount() {
  std::lock_guard<TORVCriticalSection> Guard(FSessionSection);
  return ++FSessionCount;
}

void TORVFile::ExclusiveDecSessionCount() {
  std::lock_guard<TORVCriticalSection> Guard(FSessionSection);
  if (FSessionCount > 0) --FSessionCount;
}

void TORVFile::ExclusiveSetReadWriteLockCount(int32_t Count) {
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  if (FReadWriteLocks.empty() && Count > 0) FReadWriteLocks.resize(static_cast<size_t>(Count));
}

TORVReadWriteLock* TORVFile::ExclusiveLockAt(int32_t LockIndex) {
  // The waits happen outside the lock section; the lock objects themselves
  // live until the last user closes the file.
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  if (LockIndex < 0 || static_cast<size_t>(LockIndex) >= FReadWriteLocks.size()) return nullptr;
  auto& Slot = FReadWriteLocks[static_cast<size_t>(LockIndex)];
  if (!Slot) Slot = std::make_unique<TORVReadWriteLock>();
  return Slot.get();
}

bool TORVFile::ExclusiveReadLock(int32_t LockIndex, uint32_t WaitTimeout) {
  TORVReadWriteLock* Lock = ExclusiveLockAt(LockIndex);
  return Lock != nullptr && Lock->EnterRead(WaitTimeout);
}

bool TORVFile::ExclusiveReadUnlock(int32_t LockIndex) {
  TORVReadWriteLock* Lock = ExclusiveLockAt(LockIndex);
  return Lock != nullptr && Lock->LeaveRead();
}

bool TORVFile::ExclusiveWriteLock(int32_t LockIndex, uint32_t WaitTimeout) {
  TORVReadWriteLock* Lock = ExclusiveLockAt(LockIndex);
  return Lock != nullptr && Lock->EnterWrite(WaitTimeout);
}

bool TORVFile::ExclusiveWriteUnlock(int32_t LockIndex) {
  TORVReadWriteLock* Lock = ExclusiveLockAt(LockIndex);
  return Lock != nullptr && Lock->LeaveWrite();
}

bool TORVFile::ExclusiveLockRow(int32_t RowNumber) {
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  if (RowNumber <= 0 || FRowLocks.BitSet(RowNumber)) return false;
  FRowLocks.SetBit(RowNumber);
  return true;
}

bool TORVFile::ExclusiveUnlockRow(int32_t RowNumber) {
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  if (RowNumber <= 0 || !FRowLocks.BitSet(RowNumber)) return false;
  FRowLocks.ClearBit(RowNumber, false);
  return true;
}

TORVString TORVFile::GetFileName() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FFileName;
}

TORVFileOptions TORVFile::GetFileOptions() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FFileOptions;
}

void TORVFile::SetFileOptions(const TORVFileOptions& Value) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  FFileOptions = Value;
}

int32_t TORVFile::GetUseCount() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FUseCount;
}

int32_t TORVFile::GetNumLocks() {
  std::lock_guard<TORVCriticalSection> Guard(FLockSection);
  return static_cast<int32_t>(FLocks.size());
}

void TORVFile::CreateError(const TORVString& FileName, const TORVString& OSError) {
  FFileManager->CreateError(FileName, OSError);
}

void TORVFile::OpenError(const TORVString& FileName, const TORVString& OSError) {
  FFileManager->OpenError(FileName, OSError);
}

void TORVFile::AccessError(const TORVString& FileName) { FFileManager->AccessError(FileName); }

void TORVFile::RenameError(const TORVString& FileName, const TORVString& NewFileName,
                           const TORVString& OSError) {
  FFileManager->RenameError(FileName, NewFileName, OSError);
}

void TORVFile::DeleteError(const TORVString& FileName, const TORVString& OSError) {
  FFileManager->DeleteError(FileName, OSError);
}

// ---------------------------------------------------------- TORVFileStream

TORVFileStream::TORVFileStream(TORVFile* FileToUse)
    : FFileObject(FileToUse),
      FFileManager(FileToUse->GetFileManager()),
      FRegisteredName(FileToUse->GetFileName()), FFileSerial(FileToUse->GetSerial()) {}

TORVFileStream::~TORVFileStream() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; callers that must know call Close first.
  }
}

void TORVFileStream::Close() {
  if (FClosed) return;
  FClosed = true;
  FFileManager->CloseFile(FRegisteredName, FFileSerial);
}

int64_t TORVFileStream::GetPosition() const { return FPosition; }

void TORVFileStream::SetPosition(int64_t Value) { Seek(Value, orBeginning); }

int64_t TORVFileStream::GetSize() const { return FFileObject->GetFileSize(); }

void TORVFileStream::SetSize(int64_t NewSize) {
  FFileObject->SetFileSize(NewSize);
  if (FPosition > NewSize) FPosition = NewSize;
}

int64_t TORVFileStream::Seek(int64_t Offset, TORVStreamOrigin Origin) {
  switch (Origin) {
    case orBeginning:
      FPosition = Offset;
      break;
    case orCurrent:
      FPosition += Offset;
      break;
    case orEnd:
      FPosition = FFileObject->GetFileSize() + Offset;
      break;
  }
  return FPosition;
}

int32_t TORVFileStream::Advance(int32_t Moved) {
  if (Moved > 0) FPosition += Moved;
  return Moved;
}

int32_t TORVFileStream::Read(TORVBytes& Buffer, int32_t Offset, int32_t Count) {
  return Advance(FFileObject->Read(FPosition, Count, Buffer, Offset));
}

int32_t TORVFileStream::Read(uint8_t* Buffer, int32_t Count) {
  return Advance(FFileObject->Read(FPosition, Count, Buffer));
}

int32_t TORVFileStream::Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) {
  return Advance(FFileObject->Write(FPosition, Count, Buffer, Offset));
}

int32_t TORVFileStream::Write(const uint8_t* Buffer, int32_t Count) {
  return Advance(FFileObject->Write(FPosition, Count, Buffer));
}

void TORVFileStream::Flush() { FFileObject->Flush(false); }

bool TORVFileStream::LockRegion(int64_t Offset, int64_t LockLength) {
  return FFileObject->Lock(Offset, LockLength);
}

bool TORVFileStream::UnlockRegion(int64_t Offset, int64_t LockLength) {
  return FFileObject->Unlock(Offset, LockLength);
}

// --------------------------------------------------------- TORVFileManager

TORVFileManager::TORVFileManager() { FFiles.reserve(512); }

TORVFileManager::~TORVFileManager() {
  // Subclasses reset first; what is left is freed without flushing.
  FFiles.clear();
}

bool TORVFileManager::GetExclusiveFileAccess() { return true; }
bool TORVFileManager::GetVirtualOnly() { return true; }
bool TORVFileManager::GetCaseInsensitive() { return true; }
int64_t TORVFileManager::GetMaximumLockedFileSize() { return 2000000000; }
int64_t TORVFileManager::GetMaximumFileSize() { return 2000000000; }
int32_t TORVFileManager::GetFileBufferBlockSize(const TORVString& /*FileName*/) { return 4096; }
int64_t TORVFileManager::GetMaximumFileBufferSize(const TORVString& /*FileName*/) { return 8388608; }
int32_t TORVFileManager::GetFileBufferFlushAge(const TORVString& /*FileName*/) { return 120; }
bool TORVFileManager::GetFileBufferFlushDisk(const TORVString& /*FileName*/) { return false; }

std::unique_ptr<TORVFileStream> TORVFileManager::CreateFileStream(TORVFile* FileToUse) {
  return std::make_unique<TORVFileStream>(FileToUse);
}

void TORVFileManager::FileError(const TORVString& Msg) {
  RaiseError(ORV_FILE_MANAGER_ERROR, {Msg});
}

void TORVFileManager::CreateError(const TORVString& FileName, const TORVString& OSError) {
  FileError(FormatString(u"Cannot create file %s (OS Error: %s)", {FileName, OSError}));
}

void TORVFileManager::OpenError(const TORVString& FileName, const TORVString& OSError) {
  FileError(FormatString(u"Cannot open file %s (OS Error: %s)", {FileName, OSError}));
}

void TORVFileManager::AccessError(const TORVString& FileName) {
  FileError(FormatString(u"Access denied to the file %s", {FileName}));
}

void TORVFileManager::NotFoundError(const TORVString& FileName) {
  FileError(FormatString(u"File %s not found", {FileName}));
}

void TORVFileManager::RenameError(const TORVString& FileName, const TORVString& NewFileName,
                                  const TORVString& OSError) {
  FileError(FormatString(u"Cannot rename the file %s to %s (OS Error: %s)", {FileName, NewFileName, OSError}));
}

void TORVFileManager::DeleteError(const TORVString& FileName, const TORVString& OSError) {
  FileError(FormatString(u"Cannot delete the file %s (OS Error: %s)", {FileName, OSError}));
}

void TORVFileManager::Initialize() {
  FExclusiveFileAccess = GetExclusiveFileAccess();
  FVirtualOnly = GetVirtualOnly();
  FCaseInsensitive = GetCaseInsensitive();
  FMaximumLockedFileSize = GetMaximumLockedFileSize();
  FMaximumFileSize = GetMaximumFileSize();
}

void TORVFileManager::Reset() {
  TORVWriteLocked Guard(FFilesLock);
  // File destructors never throw; the count is 0 afterwards in any case.
  while (!FFiles.empty()) FFiles.pop_back();
}

int32_t TORVFileManager::CompareWithFile(TORVFile* File, const TORVString& Name) const {
  return FCaseInsensitive ? CompareFileNames(File, Name) : CompareFileNamesSensitive(File, Name);
}

bool TORVFileManager::MaskMatches(const TORVString& Name, const TORVString& Mask) const {
  return MatchString(Name, Mask, u'\0', !FCaseInsensitive);
}

bool TORVFileManager::FindFile(const TORVString& Value, int32_t& IndexPos) {
  ORV_ASSERT(FFilesLock.IsEntered());
  int32_t Lo = 0;
  int32_t Hi = static_cast<int32_t>(FFiles.size()) - 1;
  while (Lo <= Hi) {
    int32_t Mid = Lo + (Hi - Lo) / 2;
    int32_t Compared = CompareWithFile(FFiles[static_cast<size_t>(Mid)].get(), Value);
    if (Compared == 0) {
      IndexPos = Mid;
      return true;
    }
    if (Compared < 0) {
      Lo = Mid + 1;
    } else {
      Hi = Mid - 1;
    }
  }
  IndexPos = Lo;
  return false;
}

int32_t TORVFileManager::GetNumFiles() {
  TORVReadLocked Guard(FFilesLock);
  return static_cast<int32_t>(FFiles.size());
}

void TORVFileManager::CheckInvariants() {
  TORVReadLocked Guard(FFilesLock);
  std::set<uint64_t> Serials;
  for (size_t I = 0; I < FFiles.size(); ++I) {
    TORVFile* File = FFiles[I].get();
    ORV_ASSERT(File != nullptr);
    ORV_ASSERT(File->GetFileManager() == this);
    ORV_ASSERT(Serials.insert(File->GetSerial()).second);
    if (I > 0) ORV_ASSERT(CompareWithFile(FFiles[I - 1].get(), File->GetFileName()) < 0);
  }
}

void TORVFileManager::InsertFile(int32_t IndexPos, std::unique_ptr<TORVFile> FileObject) {
  ORV_ASSERT(FFilesLock.IsEntered());
  GrowCapacity(FFiles, FFiles.size() + 1, FilesExpandCount);
  FFiles.insert(FFiles.begin() + IndexPos, std::move(FileObject));
}

std::unique_ptr<TORVFile> TORVFileManager::RemoveFile(int32_t IndexPos) {
  ORV_ASSERT(FFilesLock.IsEntered());
  std::unique_ptr<TORVFile> Result = std::move(FFiles[static_cast<size_t>(IndexPos)]);
  FFiles.erase(FFiles.begin() + IndexPos);
  return Result;
}

std::unique_ptr<TORVFileStream> TORVFileManager::CreateFile(const TORVString& Value,
                                                            const TORVFileOptions& AOptions) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  if (FindFile(Value, IndexPos)) {
    TORVFile* File = FFiles[static_cast<size_t>(IndexPos)].get();
    if (File->GetUseCount() > 0) AccessError(Value);
    File->SetFileOptions(AOptions);
    return File->CreateNew();
  }
  std::unique_ptr<TORVFile> File = CreateFileObject(Value, AOptions);
  std::unique_ptr<TORVFileStream> Stream = File->CreateNew();
  InsertFile(IndexPos, std::move(File));
  return Stream;
}

std::unique_ptr<TORVFileStream> TORVFileManager::OpenFile(const TORVString& Value,
                                                          const TORVFileOptions& AOptions) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  if (FindFile(Value, IndexPos)) {
    TORVFile* File = FFiles[static_cast<size_t>(IndexPos)].get();
    if (File->GetUseCount() <= 0) {
      File->SetFileOptions(AOptions);
    } else if (File->GetFileOptions().Contains(foExclusive) || AOptions.Contains(foExclusive)) {
      AccessError(Value);
    }
    return File->Open();
  }
  if (FVirtualOnly) NotFoundError(Value);
  std::unique_ptr<TORVFile> File = CreateFileObject(Value, AOptions);
  std::unique_ptr<TORVFileStream> Stream = File->Open();
  InsertFile(IndexPos, std::move(File));
  return Stream;
}

void TORVFileManager::CloseFile(const TORVString& RegisteredName, uint64_t FileSerial) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  // A file freed by Reset is no longer registered and is not touched, even
  // when a new file of the same name took its place.
  if (!FindFile(RegisteredName, IndexPos) || FFiles[static_cast<size_t>(IndexPos)]->GetSerial() != FileSerial) return;
  TORVFile* FileObject = FFiles[static_cast<size_t>(IndexPos)].get();
  std::exception_ptr Failure;
  if (FileObject->GetUseCount() > 0) {
    try {
      FileObject->Close(false);
    } catch (...) {
      Failure = std::current_exception();
    }
  }
  if (FileObject->GetUseCount() == 0) {
    if (FileObject->GetFileOptions().Contains(foTemporary)) {
      std::unique_ptr<TORVFile> Removed = RemoveFile(IndexPos);
      try {
        Removed->Delete();
      } catch (...) {
        if (!Failure) Failure = std::current_exception();
      }
    } else if (!FVirtualOnly && !FExclusiveFileAccess) {
      RemoveFile(IndexPos);
    }
  }
  if (Failure) std::rethrow_exception(Failure);
}

void TORVFileManager::RenameFile(const TORVString& Value, const TORVString& NewFileName) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t NewPos = 0;
  if (FindFile(NewFileName, NewPos)) AccessError(NewFileName);
  int32_t IndexPos = 0;
  if (FindFile(Value, IndexPos)) {
    TORVFile* File = FFiles[static_cast<size_t>(IndexPos)].get();
    if (File->GetUseCount() > 0) AccessError(Value);
    File->Rename(NewFileName);
    std::unique_ptr<TORVFile> Moved = RemoveFile(IndexPos);
    FindFile(NewFileName, NewPos);
    InsertFile(NewPos, std::move(Moved));
    return;
  }
  if (FVirtualOnly) NotFoundError(Value);
  std::unique_ptr<TORVFile> Temporary = CreateFileObject(Value, TORVFileOptions());
  Temporary->Rename(NewFileName);
}

void TORVFileManager::ReplaceFile(const TORVString& Value, const TORVString& NewFileName) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t SourcePos = 0;
  if (!FindFile(Value, SourcePos)) NotFoundError(Value);
  if (FFiles[static_cast<size_t>(SourcePos)]->GetUseCount() > 0) AccessError(Value);
  int32_t TargetPos = 0;
  if (FindFile(NewFileName, TargetPos)) {
    FFiles[static_cast<size_t>(TargetPos)]->TakeContents(*FFiles[static_cast<size_t>(SourcePos)]);
    RemoveFile(SourcePos);
    return;
  }
  std::unique_ptr<TORVFile> Moved = RemoveFile(SourcePos);
  Moved->Rename(NewFileName);
  FindFile(NewFileName, TargetPos);
  InsertFile(TargetPos, std::move(Moved));
}

void TORVFileManager::DeleteFile(const TORVString& Value) {
  TORVWriteLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  if (FindFile(Value, IndexPos)) {
    TORVFile* File = FFiles[static_cast<size_t>(IndexPos)].get();
    if (File->GetUseCount() > 0) AccessError(Value);
    File->Delete();
    RemoveFile(IndexPos);
    return;
  }
  if (FVirtualOnly) NotFoundError(Value);
  std::unique_ptr<TORVFile> Temporary = CreateFileObject(Value, TORVFileOptions());
  Temporary->Delete();
}

void TORVFileManager::FlushFiles(bool CheckAge) {
  TORVReadLocked Guard(FFilesLock);
  for (auto& File : FFiles) File->Flush(CheckAge);
}

bool TORVFileManager::FileExists(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  TORVReadLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  return FindFile(Value, IndexPos);
}

int64_t TORVFileManager::FileCreation(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  TORVReadLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  return FindFile(Value, IndexPos) ? FFiles[static_cast<size_t>(IndexPos)]->GetFileCreated() : 0;
}

int64_t TORVFileManager::FileModification(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  TORVReadLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  return FindFile(Value, IndexPos) ? FFiles[static_cast<size_t>(IndexPos)]->GetFileModified() : 0;
}

int64_t TORVFileManager::FileSize(const TORVString& Value, const TORVFileOptions& /*AOptions*/) {
  TORVReadLocked Guard(FFilesLock);
  int32_t IndexPos = 0;
  return FindFile(Value, IndexPos) ? FFiles[static_cast<size_t>(IndexPos)]->GetFileSize() : 0;
}

bool TORVFileManager::PathExists(const TORVString& /*Value*/) { return true; }
bool TORVFileManager::CreatePath(const TORVString& /*Value*/) { return true; }
bool TORVFileManager::DeletePath(const TORVString& /*Value*/) { return true; }

void TORVFileManager::GetFileNames(const TORVString& Mask, bool IncludeExtensions, TORVStringsList& FileNames) {
  TORVReadLocked Guard(FFilesLock);
  for (auto& File : FFiles) {
    TORVString Name = File->GetFileName();
    if (!MaskMatches(Name, Mask)) continue;
    Name = ExtractFileName(Name);
    if (!IncludeExtensions) Name = ExtractFileRoot(Name, TORVString());
    FileNames.Add(Name);
  }
}

void TORVFileManager::GetAllFileIOStatistics(TORVIOStatisticsArray& Statistics) {
  TORVReadLocked Guard(FFilesLock);
  Statistics.clear();
  Statistics.reserve(FFiles.size());
  for (auto& File : FFiles) {
    TORVIOStatistics Item;
    File->GetIOStatistics(Item);
    Statistics.push_back(std::move(Item));
  }
}

void TORVFileManager::GetFileIOStatistics(const TORVString& Mask, TORVIOStatistics& Statistics) {
  TORVReadLocked Guard(FFilesLock);
  Statistics = TORVIOStatistics();
  Statistics.FileName = Mask;
  for (auto& File : FFiles) {
    if (!MaskMatches(File->GetFileName(), Mask)) continue;
    TORVIOStatistics Item;
    File->GetIOStatistics(Item);
    AddStatistics(Statistics, Item);
  }
}

// ------------------------------------------------------------ comparisons and statistics

int32_t CompareFileNames(TORVFile* File, const TORVString& Name) {
  return CompareString(File->GetFileName(), Name);
}

int32_t CompareFileNamesSensitive(TORVFile* File, const TORVString& Name) {
  return CompareStringSensitive(File->GetFileName(), Name);
}

int32_t CompareLocks(const TORVFileLock& Lock, int64_t Offset) {
  return Lock.FBeginOffset < Offset ? -1 : (Lock.FBeginOffset > Offset ? 1 : 0);
}

TORVCurrency CalculateHitRatio(int64_t Hits, int64_t Misses) {
  int64_t Total = Hits + Misses;
  if (Total <= 0) return TORVCurrency();
  return RoundedQuotient(Hits, Total);
}

TORVCurrency CalculateAverage(int64_t Count, int64_t Total) {
  if (Count <= 0) return TORVCurrency();
  return RoundedQuotient(Total, Count);
}

}  // namespace orv
