// The file manager: a registry of open file objects shared through positioned
// streams, the in-process byte-range and exclusive-access lock tables, the
// file manager errors (ORV_FILE_MANAGER_ERROR), I/O statistics and the path helpers of the storage engine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/orvbitmap.h"
#include "core/orvcollation.h"
#include "core/orvcommon.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvsync.h"
#include "base/orvtype.h"

namespace orv {

enum TORVFileOption : uint8_t {
  foReadOnly,
  foExclusive,
  foHidden,
  foTemporary,
  foCreate,
  foNoBuffering,
  foLockable
};
using TORVFileOptions = TORVSet<TORVFileOption, 8>;

// The byte image of a set of options (bit n = option n).
uint8_t FileOptionsToByte(const TORVFileOptions& Options);
TORVFileOptions ByteToFileOptions(uint8_t Value);

struct TORVIOStatistics {
  TORVString FileName;
  int64_t MaxBuffers = 0;  // cache capacity in bytes
  int32_t BufferSize = 0;  // block size
  int64_t Hits = 0;
  int64_t Misses = 0;
  TORVCurrency HitRatio;
  int64_t Reads = 0;
  int64_t BytesRead = 0;
  TORVCurrency AvgRead;
  int64_t Writes = 0;
  int64_t BytesWritten = 0;
  TORVCurrency AvgWrite;
  int64_t AllocatedBuffers = 0;  // bytes held by cache blocks
  int64_t DirtyBuffers = 0;      // bytes in blocks waiting to be written
  int64_t Flushes = 0;
};
using TORVIOStatisticsArray = std::vector<TORVIOStatistics>;

// One locked byte range of a file.
struct TORVFileLock {
  int64_t FBeginOffset = 0;  // first locked byte
  int64_t FEndOffset = 0;    // last locked byte
  int64_t FByteLength = 0;
};

class TORVFileManager;
class TORVFileStream;

// One registered file name. Subclasses hold the contents (a disk file, a
// cached disk file, memory chunks).
class TORVFile : public TORVBaseObject {
 public:
  TORVFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions);
  ~TORVFile() override;

  virtual void GetIOStatistics(TORVIOStatistics& Statistics);
  virtual int64_t GetFileSize() = 0;
  virtual void SetFileSize(int64_t Value) = 0;
  virtual int64_t GetFileCreated() = 0;
  virtual int64_t GetFileModified() = 0;
  virtual int64_t GetFileFlushed();
  virtual void SetFileFlushed(int64_t Value);
  virtual int32_t GetFileFlushAge();
  virtual bool GetFileFlushDisk();

  // Each counts one more user and gives it a stream on the file.
  virtual std::unique_ptr<TORVFileStream> CreateNew();
  virtual std::unique_ptr<TORVFileStream> Open();
  // One user fewer (all of them with ForceClose); the last one frees the locks.
  virtual void Close(bool ForceClose);
  virtual void Rename(const TORVString& NewFileName);
  virtual void Delete();
  virtual void Flush(bool CheckAge);
  // Writes out what the file caches and forces it to the disk, whatever
  // the manager's flush settings: for a file that must survive a crash.
  virtual void Sync();
  // Takes Source's contents in place of its own, for a replace within one
  // registry; Source is freed right after. Streams open on this file see
  // the new contents.
  virtual void TakeContents(TORVFile& Source);
  // Another process may have put a new file in place of this one's name:
  // the file is opened again under its name. True when it was.
  virtual bool ReopenIfReplaced();

  // Bytes moved, or -1 when the system reports a failure (or the buffer
  // cannot hold the range asked for).
  virtual int32_t Read(int64_t Offset, int32_t Count, TORVBytes& Buffer, int32_t BufferOffset);
  virtual int32_t Read(int64_t Offset, int32_t Count, uint8_t* Buffer) = 0;
  virtual int32_t Write(int64_t Offset, int32_t Count, const TORVBytes& Buffer, int32_t BufferOffset);
  virtual int32_t Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) = 0;

  // The in-process byte-range lock table: a lock never waits, overlapping
  // ranges conflict, and an unlock names the first byte of a lock.
  virtual bool Lock(int64_t Offset, int64_t LockLength);
  virtual bool Unlock(int64_t Offset, int64_t LockLength);

  // Lock tables used when one process owns every file exclusively.
  int32_t ExclusiveIncSessionCount();
  void ExclusiveDecSessionCount();
  void ExclusiveSetReadWriteLockCount(int32_t Count);
  bool ExclusiveReadLock(int32_t LockIndex, uint32_t WaitTimeout);
  bool ExclusiveReadUnlock(int32_t LockIndex);
  bool ExclusiveWriteLock(int32_t LockIndex, uint32_t WaitTimeout);
  bool ExclusiveWriteUnlock(int32_t LockIndex);
  bool ExclusiveLockRow(int32_t RowNumber);
  bool ExclusiveUnlockRow(int32_t RowNumber);

  TORVFileManager* GetFileManager() const { return FFileManager; }
  // Unique among all file objects the process ever made.
  uint64_t GetSerial() const { return FSerial; }
  TORVString GetFileName();
  TORVFileOptions GetFileOptions();
  void SetFileOptions(const TORVFileOptions& Value);
  int32_t GetUseCount();
  int32_t GetNumLocks();

  void CreateError(const TORVString& FileName, const TORVString& OSError);
  void OpenError(const TORVString& FileName, const TORVString& OSError);
  void AccessError(const TORVString& FileName);
  void RenameError(const TORVString& FileName, const TORVString& NewFileName,
                                const TORVString& OSError);
  void DeleteError(const TORVString& FileName, const TORVString& OSError);

 protected:
  // Counts one more user and makes its stream.
  std::unique_ptr<TORVFileStream> AddUser();
  // The first lock that starts at or after Offset; FLockSection is held.
  std::vector<TORVFileLock>::iterator FindLock(int64_t Offset);
  void FreeLocks();
  TORVReadWriteLock* ExclusiveLockAt(int32_t LockIndex);

  TORVFileManager* FFileManager;
  const uint64_t FSerial;
  TORVCriticalSection FFileSection;
  TORVFileOptions FFileOptions;
  TORVString FFileName;
  int32_t FUseCount = 0;
  int64_t FFlushed = 0;
  std::vector<TORVFileLock> FLocks;
  int32_t FSessionCount = 0;
  TORVCriticalSection FSessionSection;
  std::vector<std::unique_ptr<TORVReadWriteLock>> FReadWriteLocks;
  TORVSparseBitmap FRowLocks;
  TORVCriticalSection FLockSection;
};

// A positioned stream on a registered file; the file lives at least as long
// as its streams. Close (or the destructor) gives the file back to its
// manager; only Close reports a failure of the flush that a last close does.
class TORVFileStream : public TORVStream {
 public:
  explicit TORVFileStream(TORVFile* FileToUse);
  ~TORVFileStream() override;

  int64_t GetPosition() const override;
  void SetPosition(int64_t Value) override;
  int64_t GetSize() const override;
  void SetSize(int64_t NewSize) override;
  int64_t Seek(int64_t Offset, TORVStreamOrigin Origin) override;
  int32_t Read(TORVBytes& Buffer, int32_t Offset, int32_t Count) override;
  int32_t Read(uint8_t* Buffer, int32_t Count) override;
  int32_t Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) override;
  int32_t Write(const uint8_t* Buffer, int32_t Count) override;

  void Flush();
  void Sync() { FFileObject->Sync(); }
  bool LockRegion(int64_t Offset, int64_t LockLength);
  bool UnlockRegion(int64_t Offset, int64_t LockLength);
  // Gives the file back to its manager; a second call does nothing.
  void Close();

  int32_t ExclusiveIncSessionCount() { return FFileObject->ExclusiveIncSessionCount(); }
  void ExclusiveDecSessionCount() { FFileObject->ExclusiveDecSessionCount(); }
  void ExclusiveSetReadWriteLockCount(int32_t Count) { FFileObject->ExclusiveSetReadWriteLockCount(Count); }
  bool ExclusiveReadLock(int32_t LockIndex, uint32_t WaitTimeout) {
    return FFileObject->ExclusiveReadLock(LockIndex, WaitTimeout);
  }
  bool ExclusiveReadUnlock(int32_t LockIndex) { return FFileObject->ExclusiveReadUnlock(LockIndex); }
  bool ExclusiveWriteLock(int32_t LockIndex, uint32_t WaitTimeout) {
    return FFileObject->ExclusiveWriteLock(LockIndex, WaitTimeout);
  }
  bool ExclusiveWriteUnlock(int32_t LockIndex) { return FFileObject->ExclusiveWriteUnlock(LockIndex); }
  bool ExclusiveLockRow(int32_t RowNumber) { return FFileObject->ExclusiveLockRow(RowNumber); }
  bool ExclusiveUnlockRow(int32_t RowNumber) { return FFileObject->ExclusiveUnlockRow(RowNumber); }

  TORVFile* GetFileObject() const { return FFileObject; }
  TORVString GetFileName() { return FFileObject->GetFileName(); }
  TORVFileOptions GetOptions() { return FFileObject->GetFileOptions(); }
  int64_t GetCreated() { return FFileObject->GetFileCreated(); }
  int64_t GetModified() { return FFileObject->GetFileModified(); }

 private:
  // Moves the position on by the bytes a read or write moved; passes the
  // result through.
  int32_t Advance(int32_t Moved);

  TORVFile* FFileObject;
  TORVFileManager* FFileManager;
  // The name and serial of the file when this stream was made; a file in
  // use cannot be renamed, so they find the registry entry again, or find
  // that a reset has freed it.
  TORVString FRegisteredName;
  uint64_t FFileSerial;
  int64_t FPosition = 0;
  bool FClosed = false;
};

// The registry of open file objects.
//
// Locking: FFilesLock guards FFiles (the array and which objects it holds).
// Lookups (FileExists, FileCreation, FileModification, FileSize,
// FlushFiles, GetFileNames, the statistics) share it; create, open, close,
// rename, delete and Reset hold it exclusively. FindFile, InsertFile and
// RemoveFile take no lock: their caller holds FFilesLock (FindFile either
// side, the other two the write side). A file object's own state is guarded
// by its file section, taken after the registry lock, never before it.
//
// Invariants (CheckInvariants): every entry is a file object of this
// manager; the entries are sorted by file name, strictly, under the
// manager's comparison (CompareFileNames when case-insensitive, else
// CompareFileNamesSensitive), so no name is registered twice; no two
// entries share a serial.
class TORVFileManager : public TORVBaseObject {
 public:
  TORVFileManager();
  ~TORVFileManager() override;

  virtual bool GetExclusiveFileAccess();
  virtual bool GetVirtualOnly();
  virtual bool GetCaseInsensitive();
  virtual int64_t GetMaximumLockedFileSize();
  virtual int64_t GetMaximumFileSize();
  virtual int32_t GetFileBufferBlockSize(const TORVString& FileName);
  virtual int64_t GetMaximumFileBufferSize(const TORVString& FileName);
  virtual int32_t GetFileBufferFlushAge(const TORVString& FileName);
  virtual bool GetFileBufferFlushDisk(const TORVString& FileName);
  virtual std::unique_ptr<TORVFile> CreateFileObject(const TORVString& FileName,
                                                      const TORVFileOptions& AOptions) = 0;
  virtual std::unique_ptr<TORVFileStream> CreateFileStream(TORVFile* FileToUse);

  virtual void FileError(const TORVString& Msg);
  virtual void CreateError(const TORVString& FileName, const TORVString& OSError);
  virtual void OpenError(const TORVString& FileName, const TORVString& OSError);
  virtual void AccessError(const TORVString& FileName);
  virtual void NotFoundError(const TORVString& FileName);
  virtual void RenameError(const TORVString& FileName, const TORVString& NewFileName,
                                        const TORVString& OSError);
  virtual void DeleteError(const TORVString& FileName, const TORVString& OSError);

  virtual void Initialize();
  // Frees every file object whatever its use count; streams still open on
  // them must not be used again.
  virtual void Reset();

  virtual void GetFileNames(const TORVString& Mask, bool IncludeExtensions, TORVStringsList& FileNames);
  virtual void GetAllFileIOStatistics(TORVIOStatisticsArray& Statistics);
  virtual void GetFileIOStatistics(const TORVString& Mask, TORVIOStatistics& Statistics);
  virtual bool FileExists(const TORVString& Value, const TORVFileOptions& AOptions);
  virtual int64_t FileCreation(const TORVString& Value, const TORVFileOptions& AOptions);
  virtual int64_t FileModification(const TORVString& Value, const TORVFileOptions& AOptions);
  virtual int64_t FileSize(const TORVString& Value, const TORVFileOptions& AOptions);
  virtual bool PathExists(const TORVString& Value);
  virtual bool CreatePath(const TORVString& Value);
  virtual bool DeletePath(const TORVString& Value);

  std::unique_ptr<TORVFileStream> CreateFile(const TORVString& Value, const TORVFileOptions& AOptions);
  std::unique_ptr<TORVFileStream> OpenFile(const TORVString& Value, const TORVFileOptions& AOptions);
  // Run by a stream when it closes, with the name and serial of its file
  // when it was opened; nothing happens when that file is gone.
  void CloseFile(const TORVString& RegisteredName, uint64_t FileSerial);
  void RenameFile(const TORVString& Value, const TORVString& NewFileName);
  // Puts the closed file Value in place of NewFileName in one step, whether
  // or not NewFileName exists or is open: a crash leaves the old or the new
  // contents whole under NewFileName, never a mix. Value's name is gone.
  virtual void ReplaceFile(const TORVString& Value, const TORVString& NewFileName);
  void DeleteFile(const TORVString& Value);
  void FlushFiles(bool CheckAge);

  // Binary search; when not found, IndexPos is where Value would go. Takes
  // no lock: the caller holds GetFilesLock() on either side.
  bool FindFile(const TORVString& Value, int32_t& IndexPos);
  int32_t GetNumFiles();
  TORVReadWriteLock& GetFilesLock() { return FFilesLock; }
  // Raises std::logic_error when a registry invariant above is broken;
  // takes the registry lock for reading.
  void CheckInvariants();

 protected:
  // Compares a registered file's name with Name the way this manager sorts.
  int32_t CompareWithFile(TORVFile* File, const TORVString& Name) const;
  bool MaskMatches(const TORVString& Name, const TORVString& Mask) const;
  void InsertFile(int32_t IndexPos, std::unique_ptr<TORVFile> FileObject);
  std::unique_ptr<TORVFile> RemoveFile(int32_t IndexPos);

  bool FExclusiveFileAccess = true;
  bool FVirtualOnly = true;
  bool FCaseInsensitive = true;
  int64_t FMaximumLockedFileSize = 2000000000;
  int64_t FMaximumFileSize = 2000000000;
  std::vector<std::unique_ptr<TORVFile>> FFiles;
  TORVReadWriteLock FFilesLock;
};

int32_t CompareFileNames(TORVFile* File, const TORVString& Name);
int32_t CompareFileNamesSensitive(TORVFile* File, const TORVString& Name);
int32_t CompareLocks(const TORVFileLock& Lock, int64_t Offset);
TORVCurrency CalculateHitRatio(int64_t Hits, int64_t Misses);
TORVCurrency CalculateAverage(int64_t Count, int64_t Total);

}  // namespace orv
