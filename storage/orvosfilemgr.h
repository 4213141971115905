// Disk files: the operating-system file operations, unbuffered disk files and
// their manager, and buffered disk files whose block cache a timer flushes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/orvthread.h"
#include "base/orvtype.h"
#include "platform/orvplatformfile.h"
#include "storage/orvblockcache.h"
#include "storage/orvfilemgr.h"

namespace orv {

// Operating-system file operations. Failures not given as a result raise
// EORVPlatformFileError with the system's text. Reads and writes are
// positioned (they never move a shared file pointer).
bool OSCreateDirectory(const TORVString& Path);
bool OSRemoveDirectory(const TORVString& Path);
bool OSDirectoryExists(const TORVString& Path);
void OSGetFileNames(const TORVString& Mask, bool IncludeExtensions, TORVStringsList& FileNames);
bool OSFileExists(const TORVString& FileName);
int64_t OSGetFileCreation(const TORVString& FileName);
int64_t OSGetFileModification(const TORVString& FileName);
int64_t OSGetFileSize(const TORVString& FileName);
int32_t OSGetFileAttr(const TORVString& FileName);
void OSFileRename(const TORVString& FileName, const TORVString& NewFileName);
void OSFileReplace(const TORVString& FileName, const TORVString& NewFileName);
void OSFileDelete(const TORVString& FileName);
int64_t OSFileTimeToTimeStamp(const TORVPlatformFileTime& FileTime);
TORVFileHandle OSFileOpen(const TORVString& FileName, const TORVFileOptions& Options);
int64_t OSFileCreated(TORVFileHandle Handle);
int64_t OSFileModified(TORVFileHandle Handle);
void OSFileClose(TORVFileHandle& Handle);
void OSFileFlush(TORVFileHandle Handle);
int32_t OSFileRead(TORVFileHandle Handle, int64_t Offset, int32_t Count, uint8_t* Buffer);
int32_t OSFileWrite(TORVFileHandle Handle, int64_t Offset, int32_t Count, const uint8_t* Buffer);
int64_t OSFileSize(TORVFileHandle Handle);
void OSSetFileSize(TORVFileHandle Handle, int64_t Size);
// False when the range is held elsewhere; a failed system lock call raises
// ORV_FILE_MANAGER_ERROR. A read-only handle locks too (see PlatformFileLock for
// what it keeps other processes from).
bool OSFileLock(TORVFileHandle Handle, int64_t Offset, int64_t LockLength);
bool OSFileUnlock(TORVFileHandle Handle, int64_t Offset, int64_t LockLength);

class TORVOSFile : public TORVFile {
 public:
  TORVOSFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions);
  ~TORVOSFile() override;

  int64_t GetFileSize() override;
  void SetFileSize(int64_t Value) override;
  int64_t GetFileCreated() override;
  int64_t GetFileModified() override;
  std::unique_ptr<TORVFileStream> CreateNew() override;
  std::unique_ptr<TORVFileStream> Open() override;
  void Close(bool ForceClose) override;
  void Rename(const TORVString& NewFileName) override;
  void Delete() override;
  void Flush(bool CheckAge) override;
  using TORVFile::Read;
  using TORVFile::Write;
  int32_t Read(int64_t Offset, int32_t Count, uint8_t* Buffer) override;
  int32_t Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) override;
  bool Lock(int64_t Offset, int64_t LockLength) override;
  bool Unlock(int64_t Offset, int64_t LockLength) override;
  bool ReopenIfReplaced() override;
  // Closes an open handle and opens the file under its name again, which
  // after a replace is the new file.
  virtual void ReopenHandle();

  bool HandleOpen();

 protected:
  // The options an open or create uses: exclusive for a lockable file when
  // the manager owns every file exclusively.
  TORVFileOptions OpenOptions();
  // Opens the handle for CreateNew; empties a file whose handle stayed open.
  // True when the handle was already open.
  bool CreateHandle();
  void OpenHandle();
  // After the use count reached 0: closes the handle unless it is kept.
  void CloseHandleByRule(bool ForceClose);

  TORVFileHandle FHandle = InvalidFileHandle;
};

class TORVOSFileManager : public TORVFileManager {
 public:
  TORVOSFileManager();

  bool GetVirtualOnly() override;
  bool GetCaseInsensitive() override;
  std::unique_ptr<TORVFile> CreateFileObject(const TORVString& FileName, const TORVFileOptions& AOptions) override;
  void GetFileNames(const TORVString& Mask, bool IncludeExtensions, TORVStringsList& FileNames) override;
  bool FileExists(const TORVString& Value, const TORVFileOptions& AOptions) override;
  int64_t FileCreation(const TORVString& Value, const TORVFileOptions& AOptions) override;
  int64_t FileModification(const TORVString& Value, const TORVFileOptions& AOptions) override;
  int64_t FileSize(const TORVString& Value, const TORVFileOptions& AOptions) override;
  bool PathExists(const TORVString& Value) override;
  bool CreatePath(const TORVString& Value) override;
  bool DeletePath(const TORVString& Value) override;
  void ReplaceFile(const TORVString& Value, const TORVString& NewFileName) override;
};

class TORVBufferedOSFile;

// The block cache of one buffered file, reading and writing it unbuffered.
class TORVOSFileBufferManager : public TORVFileBufferManager {
 public:
  explicit TORVOSFileBufferManager(TORVBufferedOSFile* OSFile);

  void GetFileName(TORVString& Name) override;
  int64_t GetFileSize() override;
  int32_t FileRead(int64_t Offset, int32_t Count, uint8_t* Buffer) override;
  int32_t FileWrite(int64_t Offset, int32_t Count, const uint8_t* Buffer) override;
  int32_t GetBufferSize() override;
  int64_t GetMaxBufferSize() override;
  int32_t GetBufferFlushAge() override;
  bool GetBufferFlushDisk() override;

 private:
  TORVBufferedOSFile* FOSFile;
};

class TORVBufferedOSFile : public TORVOSFile {
 public:
  TORVBufferedOSFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions);
  ~TORVBufferedOSFile() override;

  int64_t GetFileSize() override;
  void SetFileSize(int64_t Value) override;
  int32_t GetFileFlushAge() override;
  bool GetFileFlushDisk() override;
  void GetIOStatistics(TORVIOStatistics& Statistics) override;
  std::unique_ptr<TORVFileStream> CreateNew() override;
  std::unique_ptr<TORVFileStream> Open() override;
  // The last close writes the cache while the handle is open; a failure of
  // that write is raised after the close is complete.
  void Close(bool ForceClose) override;
  void Flush(bool CheckAge) override;
  void Sync() override;
  // The cache held the replaced file's blocks: it starts again empty.
  void ReopenHandle() override;
  using TORVFile::Read;
  using TORVFile::Write;
  int32_t Read(int64_t Offset, int32_t Count, uint8_t* Buffer) override;
  // A file opened read-only takes no writes into its cache: they could never
  // reach the disk.
  int32_t Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) override;

  int64_t InternalGetFileSize();
  int32_t InternalRead(int64_t Offset, int32_t Count, uint8_t* Buffer);
  int32_t InternalWrite(int64_t Offset, int32_t Count, const uint8_t* Buffer);
  TORVOSFileBufferManager* GetBufferManager() const { return FBufferManager.get(); }

 protected:
  // The local time stamp a flush is measured and recorded with.
  virtual int64_t CurrentFlushTime();

 private:
  std::unique_ptr<TORVOSFileBufferManager> FBufferManager;
};

class TORVBufferedOSFileManager : public TORVOSFileManager {
 public:
  TORVBufferedOSFileManager();
  ~TORVBufferedOSFileManager() override;

  virtual int32_t GetFileBufferFlushInterval();
  std::unique_ptr<TORVFile> CreateFileObject(const TORVString& FileName, const TORVFileOptions& AOptions) override;
  void Initialize() override;
  // Stops the timer, writes every file's cache, then frees the files; a
  // failed write is raised after the files are freed.
  void Reset() override;
  int32_t GetFileBufferBlockSize(const TORVString& FileName) override;
  int64_t GetMaximumFileBufferSize(const TORVString& FileName) override;

  // Flushes every file whose flush age has passed; a file that fails is
  // reported through OnFlushError and the others are still flushed.
  void FlushTimerTimer();
  // Receives the text of a failed timed flush; empty means standard error.
  void SetOnFlushError(std::function<void(const TORVString&)> Value) { FOnFlushError = std::move(Value); }
  int32_t GetFlushInterval() const { return FFlushInterval; }

 private:
  void ReportFlushError(const TORVString& Text);

  std::unique_ptr<TORVThreadTimer> FFlushTimer;
  int32_t FFlushInterval = 60;
  std::function<void(const TORVString&)> FOnFlushError;
};

}  // namespace orv
