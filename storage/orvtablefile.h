// The common base of a table's files (rows, indexes, large objects,
// published updates): the file header and its checks, numbered fixed-size
// buffers behind a reserved header area, the session's cache of those
// buffers, per-buffer encryption, the Writing flag that exposes an
// interrupted write, change detection between sessions, and the backup
// copies and backup stream of a whole file.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvdigest.h"
#include "core/orvstream.h"
#include "storage/orvblockcache.h"
#include "storage/orvfilemgr.h"

namespace orv {

class TORVBaseTable;
class TORVConfigObject;
class TORVEngineManagerSettings;
class TORVKeyValues;
class TORVTableFileManager;
class TORVTableFileOwner;

// One cached buffer. Its header starts with the NextNumber chain link; the
// file kinds add their own fields after it.
class TORVTableFileBuffer : public TORVBaseObject {
 public:
  explicit TORVTableFileBuffer(TORVTableFileManager* Owner);

  virtual int32_t GetHeaderSize() { return 4; }
  // Copy the kind's buffer size in from, or out to, Stream at its position.
  virtual void ReadBufferStream(TORVMemoryStream& Stream);
  virtual void WriteBufferStream(TORVMemoryStream& Stream);
  // Modified, Number, NextNumber and the bytes.
  virtual void Assign(const TORVTableFileBuffer& FromBuffer);
  // Same Number and NextNumber.
  virtual bool Compare(const TORVTableFileBuffer& BufferToCompare) const;
  // Takes the next buffer of Stream, unless the session holds, changed or
  // has just written this buffer: then its own bytes are newer and the
  // slice is skipped.
  virtual void Read(TORVMemoryStream& Stream);
  // Puts the header fields into the bytes and appends the buffer to Stream.
  virtual void Write(TORVMemoryStream& Stream);
  // The header fields into, or out of, Stream at its position.
  virtual void Save(TORVMemoryStream& Stream);
  virtual void Load(TORVMemoryStream& Stream);
  virtual void Initialize();

  // Parses the header fields the first time after a read.
  void CheckLoad();
  int32_t GetNextNumber() const { return FNextNumber; }
  void SetNextNumber(int32_t Value);
  void IncUseCount() { ++FUseCount; }
  void DecUseCount() {
    if (FUseCount > 0) --FUseCount;
  }
  int32_t GetUseCount() const { return FUseCount; }
  int32_t GetNumber() const { return FNumber; }
  void SetNumber(int32_t Value) { FNumber = Value; }
  bool GetModified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  TORVMemoryStream& GetBufferStream() const { return *FBufferStream; }
  TORVTableFileManager* GetTableFileManager() const { return FTableFileManager; }

 protected:
  TORVTableFileManager* FTableFileManager;
  std::unique_ptr<TORVMemoryStream> FBufferStream;
  bool FModified = false;
  int32_t FUseCount = 0;
  bool FWriteFlag = false;
  bool FReadFlag = false;
  bool FLoadFlag = true;
  int32_t FNumber = 0;
  int32_t FNextNumber = 0;

 private:
  friend class TORVTableFileManager;

  TORVTableFileBuffer* FNextBuffer = nullptr;
  TORVTableFileBuffer* FPrevBuffer = nullptr;
  // Dropped from the cache while a caller held it: freed by the last
  // PutBuffer instead of under the caller.
  bool FDetached = false;
};

// File layout (little-endian): CheckSum (4), SignatureDigest (16),
// CharacterSet (4), Encrypted (1), PasswordDigest (16), UpdateCounter (4),
// NextFreeNumber (4), NextNumber (4), Writing (1), then the kind's header
// fields, rounded up to a multiple of 8 (GetActualHeaderSize). Buffer n
// (from 1) lies at GetAvailableHeaderSize + (n - 1) x GetBufferSize. An
// encrypted table enciphers the header as one run and each buffer as its
// own run.
//
// Write protocol: the header as it stands on disk goes back with Writing
// set and nothing else changed, then the buffers, then the new header with
// Writing clear. When the file caches writes
// in the process, each step is flushed before the next starts, so that the
// disk never holds a cleared flag over buffers that did not reach it. A
// write that failed anywhere after the first step leaves the flag set on
// disk for good: later writes of this manager keep it set, and the next
// open reports the file as needing repair.
//
// Cache invariants: every cached buffer is in FBuffers under its number and
// in the LRU chain (FFirstBuffer most recent) exactly once; FBufferCount is
// their count; a buffer is on FBuffersToWrite exactly when its WriteFlag is
// set; detached buffers are in neither and belong to FDetachedBuffers.
//
// A manager belongs to one table manager of one session and is used by one
// thread at a time; sessions coordinate through the table's locks and see
// each other's writes through the update counter.
class TORVTableFileManager : public TORVBaseObject {
 public:
  static constexpr int32_t CommonHeaderSize = 54;
  static constexpr int32_t MaxWriteRunSize = 1048576;
  static constexpr int32_t BackupChunkSize = 65536;
  // Function code of the event logged when a missing file is created.
  static constexpr int32_t CreateTableFileFunctionCode = 123;

  explicit TORVTableFileManager(TORVTableFileOwner* Owner);
  // Closes the file (a failure there is not reported) and frees every
  // buffer, also those callers still hold.
  ~TORVTableFileManager() override;

  virtual TORVString GetFileExtension() = 0;
  // Raises 407 when one more buffer would pass the file manager's maximum
  // file size or the largest buffer number.
  virtual void CheckMaxBuffers();
  virtual int32_t GetAvailableHeaderSize() = 0;
  virtual int32_t GetActualHeaderSize() { return CommonHeaderSize; }
  // Reads the header; with Validate checks it against the table and the
  // session's settings.
  virtual void Read(bool Validate);
  // The write protocol; True when buffers were written.
  virtual bool Write(bool Flush);
  // The first step of the write protocol on its own, for a table that
  // writes its files one after another: every file with changes shows
  // Writing before any file's buffers go down, so that a write that stops
  // in one file leaves the flag in that file although the files before it
  // are complete. Nothing for a file without changes or a temporary one;
  // a failure here keeps the flag set for the manager's later writes.
  void RaiseWritingFlag();
  virtual void CancelWrite();
  // Re-reads the header and drops every cached buffer, also those waiting
  // to be written: the file was put back from a copy under the cache, and
  // writing the old buffers again would undo that.
  void DropCache();
  virtual void Initialize();
  // The fields from, or into, the header stream in file order; kinds append
  // theirs.
  virtual void ReadHeader();
  virtual void ValidateHeader();
  virtual void WriteHeader(bool IncUpdateCounter);
  // Takes over the kind's own header fields from another manager of the
  // same kind; nothing here.
  virtual void CopyHeader(TORVTableFileManager& Source);
  virtual void IncUpdateCounter();
  virtual void IncNextNumber();
  virtual bool WriteBuffers();
  virtual TORVString GetBufferName() = 0;
  virtual std::unique_ptr<TORVTableFileBuffer> CreateBuffer() = 0;
  [[noreturn]] virtual void CorruptError(const TORVString& Msg);
  // Raise 407: the file cannot take what is being added.
  [[noreturn]] void FullError();
  virtual int32_t CalculateMaxBufferCount() = 0;
  virtual int32_t CalculateMaxReadAheadBufferCount() = 0;
  // Bytes of one buffer on disk, and in memory.
  virtual int32_t GetBufferSize() = 0;
  virtual int32_t GetBufferStreamSize() = 0;
  virtual void BackupReadError();
  virtual void BackupWriteError();
  virtual void UnknownBackupError(const TORVString& Msg);
  virtual void RestoreReadError();
  virtual void RestoreWriteError();
  virtual void UnknownRestoreError(const TORVString& Msg);
  virtual void LogVerifyMessage(const TORVString& Message, TORVConfigObject* Obj, bool RepairErrors);
  virtual bool VerifyHeader(bool& FoundErrors, bool RepairErrors);
  virtual bool VerifyBuffers(bool& FoundErrors, bool RepairErrors);
  virtual void CreateAndOpen();
  virtual void Open();
  virtual void Reopen();
  // Re-reads the header; when the update counter moved, drops every cached
  // buffer and answers True. With unsaved changes it answers False at once.
  virtual bool CheckForChanges();
  virtual void Close();
  virtual void StartWriting();
  virtual void StartTransaction();
  virtual void Commit(bool FlushAfterCommit, bool AdjustBuffersAfterCommit);
  virtual void Rollback();
  virtual bool Verify(bool& FoundErrors, bool RepairErrors);
  virtual void Rename(const TORVString& NewName);
  // A copy of the whole file beside it, put back or dropped later.
  virtual void CreateBackupCopy(bool UseRename);
  virtual void RestoreBackupCopy(bool UseRename);
  virtual void DropBackupCopy();
  virtual void Drop();
  // Drops every buffer; the next Write cuts the file back to its header.
  virtual void Empty();
  // The file as chunks (a 32-bit length and at most 64 KB of the file, or
  // those bytes compressed) ending with a 0 length. False when the
  // session's progress check asked to stop; the 0 is written anyway.
  virtual bool Backup(TORVFileStream& TargetFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                      int32_t BackupCompression, bool WriteEmpty);
  virtual bool Restore(TORVFileStream& SourceFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                       int32_t BackupCompression);

  // Evicts clean buffers that no caller holds, oldest first, down to the
  // highest write-list length seen (WriteBuffersOnly) or the cache size.
  void AdjustBuffers(bool WriteBuffersOnly);
  void ClearStatistics();
  void SetWriteBehavior();

  TORVTableFileOwner* GetTableManager() const { return FTableManager; }
  TORVBaseTable* GetTable() const;
  TORVEngineManagerSettings& GetSettings() const;
  TORVString GetPath();
  TORVString GetFullFileName() { return GetPath() + FFileName; }
  TORVString GetFullBackupCopyFileName();
  bool GetFileExists();
  const TORVString& GetFileName() const { return FFileName; }
  TORVFileStream* GetFileStream() const { return FFileStream.get(); }
  bool GetOpened() const { return FFileStream != nullptr; }
  // A damaged header read for repair may hold a NextNumber below 1: then
  // there is no last buffer.
  int32_t GetLastNumber() const { return FNextNumber < 1 ? 0 : FNextNumber - 1; }
  // The last buffer that can be read: the header's last number, but none
  // past what the file and this cache hold, so that a damaged header cannot
  // send a walk or an allocation far beyond the file's end.
  int32_t GetStoredLastNumber();
  // Whole buffers the file holds past its header, whatever the header says.
  int64_t GetBuffersOnFile();
  int32_t GetNextNumber() const { return FNextNumber; }
  // The first free buffer, else the next new one.
  int32_t GetNextFreeNumber() const { return FNextFreeNumber != 0 ? FNextFreeNumber : FNextNumber; }
  void SetNextFreeNumber(int32_t Value);
  int32_t GetUpdateCounter() const { return FUpdateCounter; }
  uint32_t GetCheckSum() const { return FCheckSum; }
  bool GetEncrypted() const { return FEncrypted; }
  bool GetWriting() const { return FWriting; }
  bool GetModified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  TORVFileWriteBehavior GetWriteBehavior() const { return FWriteBehavior; }
  int32_t GetBufferCount() const { return FBufferCount; }
  int32_t GetMaxBufferCount() const { return FMaxBufferCount; }
  int32_t GetMaxReadAheadBufferCount() const { return FMaxReadAheadBufferCount; }
  int32_t GetWriteBufferCount() const { return static_cast<int32_t>(FBuffersToWrite.size()); }
  int32_t GetMaxWriteBufferCount() const { return FMaxWriteBufferCount; }
  int64_t GetHits() const { return FHits; }
  int64_t GetMisses() const { return FMisses; }
  int64_t GetReads() const { return FReads; }
  int64_t GetBytesRead() const { return FBytesRead; }
  int64_t GetWrites() const { return FWrites; }
  int64_t GetBytesWritten() const { return FBytesWritten; }

  // Checks the cache invariants; raises std::logic_error when one fails.
  void CheckInvariants() const;

 protected:
  // Buffer BufferNum, held for the caller until PutBuffer. BufferNum equal
  // to NextNumber makes a new buffer at the end. A nil result with
  // FoundChanges set: another session changed the table, the cache was
  // dropped, and the caller starts its operation again. Direction 1 reads
  // ahead forward, another non-zero value backward.
  TORVTableFileBuffer* GetBuffer(int32_t BufferNum, bool ReadAhead, bool& FoundChanges, int32_t ReadAheadCount,
                                 int32_t Direction);
  void PutBuffer(TORVTableFileBuffer* Buffer);
  // GetBuffer for callers that cannot start their operation again: the read
  // is restarted while other sessions' changes drop the cache, and raises
  // 601 when the buffer is gone with the file's end or never settles.
  TORVTableFileBuffer* GetSettledBuffer(int32_t BufferNum, bool ReadAhead, int32_t ReadAheadCount,
                                        int32_t Direction);
  static constexpr int32_t MaxSettleAttempts = 8;
  // WriteBuffersOnly drops the buffers waiting to be written, otherwise
  // every buffer; the write list is empty afterwards.
  void FreeBuffers(bool WriteBuffersOnly);
  void InitializeBuffers();
  TORVTableFileBuffer* FindBuffer(int32_t Number) const;
  bool IsTemporary() const;

  TORVTableFileOwner* FTableManager;
  TORVString FFileName;
  TORVString FFileExtension;
  std::unique_ptr<TORVFileStream> FFileStream;
  std::unique_ptr<TORVMemoryStream> FHeaderStream;
  uint32_t FCheckSum = 0;
  TORVDigest FSignatureDigest;
  TORVDigest FPasswordDigest;
  int32_t FCharacterSet = 0;
  bool FEncrypted = false;
  int32_t FNextNumber = 1;
  int32_t FNextFreeNumber = 0;
  int32_t FUpdateCounter = 0;
  bool FWriting = false;
  std::unique_ptr<TORVMemoryStream> FReadStream;
  std::unique_ptr<TORVMemoryStream> FWriteStream;
  // Buffers numbered below it are on disk, as the header read or this
  // session's writes put them there; those from it up to NextNumber were
  // appended and exist only in the cache until written.
  int32_t FDiskNextNumber = 1;
  int32_t FReadBufferStart = 0;
  int32_t FReadBufferEnd = 0;
  TORVFileWriteBehavior FWriteBehavior = wbNormal;
  bool FModified = false;
  bool FEmptied = false;

 private:
  void SaveHeader(bool IncUpdateCounter);
  // The first header write of the write protocol.
  void PutWritingHeader();
  // Puts the saved header at the start of the file.
  void PutHeader();
  // The header stream's bytes as they stand (enciphered already for an
  // encrypted table) at the start of the file.
  void PutHeaderBytes();
  // Puts what the file caches in the process onto the disk, so that one
  // step of the write protocol is down before the next begins.
  void WriteBarrier();
  TORVTableFileBuffer* ReadBuffers(int32_t BufferNum, int32_t Count, int32_t Direction);
  TORVTableFileBuffer* GetNewBuffer(int32_t Number);
  TORVTableFileBuffer* ClearLastBufferInChain();
  void LinkFirst(TORVTableFileBuffer* Buffer);
  void Unlink(TORVTableFileBuffer* Buffer);
  void MoveToFront(TORVTableFileBuffer* Buffer);
  // Takes Buffer out of the map, the chain and the write list; frees it,
  // or detaches it while a caller holds it.
  // Drops every cached buffer numbered Number or above.
  void DropBuffersFrom(int32_t Number);
  void DropBuffer(TORVTableFileBuffer* Buffer);
  void TruncateToHeader();
  void CloseStream();
  void CopyFileContents(TORVFileStream& Source, TORVFileStream& Target);

  TORVTableFileBuffer* FFirstBuffer = nullptr;
  TORVTableFileBuffer* FLastBuffer = nullptr;
  int32_t FBufferCount = 0;
  int32_t FMaxBufferCount = 1;
  int32_t FMaxReadAheadBufferCount = 1;
  std::unordered_map<int32_t, std::unique_ptr<TORVTableFileBuffer>> FBuffers;
  std::vector<std::unique_ptr<TORVTableFileBuffer>> FDetachedBuffers;
  int32_t FMaxWriteBufferCount = 0;
  std::vector<TORVTableFileBuffer*> FBuffersToWrite;
  int64_t FHits = 0;
  int64_t FMisses = 0;
  int64_t FReads = 0;
  int64_t FBytesRead = 0;
  int64_t FWrites = 0;
  int64_t FBytesWritten = 0;
  // The raw header read as a plain one: tells a plain file apart from one
  // enciphered with another password.
  bool FHeaderStoredPlain = false;
  bool FHeaderStoredEncrypted = false;
  // A write failed after its first step: the disk may hold torn buffers.
  bool FWriteFailed = false;
};

// The values as text joined by "," without spaces; empty for no values.
TORVString KeyValuesAsString(TORVKeyValues& KeyValues);

}  // namespace orv
