// The block cache between a buffered file and the disk: fixed-size numbered
// blocks in least-recently-used order, read-ahead over a caller's span, and
// write-back of modified blocks sorted and coalesced into runs.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"
#include "storage/orvfilemgr.h"

namespace orv {

enum TORVFileWriteBehavior : uint8_t { wbNormal, wbWhenFull, wbNever };

class TORVFileBufferManager;

// One cached block. Block n covers file bytes (n - 1) x block size up to
// n x block size - 1.
class TORVFileBuffer : public TORVBaseObject {
 public:
  explicit TORVFileBuffer(TORVFileBufferManager* BufferManagerToUse);

  // Copies Modified, Number and the bytes.
  virtual void Assign(const TORVFileBuffer& FromBuffer);
  virtual bool Compare(const TORVFileBuffer& BufferToCompare) const;
  // Takes a whole block from Source unless the block must keep its own bytes
  // (held by a caller, modified, or written while the read was under way).
  virtual void Load(const uint8_t* Source);
  // Appends the bytes that belong on disk to Target.
  virtual void Save(TORVBytes& Target);
  // Used size 0, flags cleared.
  virtual void Initialize();
  void ClearBytes();

  int32_t Read(int32_t Offset, int32_t Count, uint8_t* Buffer);
  int32_t Write(int32_t Offset, int32_t Count, const uint8_t* Buffer);
  void IncUseCount() { ++FUseCount; }
  void DecUseCount() {
    if (FUseCount > 0) --FUseCount;
  }
  void SetNumber(int32_t Value) { FNumber = Value; }

  int32_t GetNumber() const { return FNumber; }
  int32_t GetUseCount() const { return FUseCount; }
  bool GetModified() const { return FModified; }
  int32_t GetUsed() const { return FBufferStreamUsed; }

 private:
  friend class TORVFileBufferManager;

  // The bytes this block contributes to a write run.
  int32_t DiskSize() const;

  TORVFileBufferManager* FBufferManager;
  TORVBytes FBufferStream;
  int32_t FBufferStreamUsed = 0;
  bool FModified = false;
  int32_t FUseCount = 0;
  bool FWriteFlag = false;
  bool FReadFlag = false;
  int32_t FNumber = 0;
  TORVFileBuffer* FNextBuffer = nullptr;
  TORVFileBuffer* FPrevBuffer = nullptr;
};

// The cache; the file it serves is reached through the abstract operations
// (size on disk, unbuffered reads and writes, settings).
//
// Locking: the cache takes no lock of its own and is never shared by
// itself. Its owner serialises every call: a buffered file calls it only
// while holding its file section (TORVFile::FFileSection), which so guards
// every field here and in the blocks.
//
// Invariants (CheckInvariants):
// - FBuffers owns every cached block, keyed by its number; 1 <= number <
//   FNextNumber, and FBufferCount is the number of blocks.
// - The recency chain from FFirstBuffer (most recent) along FNextBuffer to
//   FLastBuffer holds exactly the blocks of FBuffers, each once, with
//   FPrevBuffer the reverse link and nil at both ends.
// - FBuffersToWrite lists distinct cached blocks, exactly those with
//   FWriteFlag set, and each of them is modified.
// - A block uses 0 .. block size bytes; FMaxNumberWritten < FNextNumber.
class TORVFileBufferManager : public TORVBaseObject {
 public:
  TORVFileBufferManager();
  ~TORVFileBufferManager() override;

  virtual void GetFileName(TORVString& Name) = 0;
  // The size on disk.
  virtual int64_t GetFileSize() = 0;
  virtual int32_t FileRead(int64_t Offset, int32_t Count, uint8_t* Buffer) = 0;
  virtual int32_t FileWrite(int64_t Offset, int32_t Count, const uint8_t* Buffer) = 0;
  virtual void IncNextNumber();
  virtual void SetMaxNumberWritten(int32_t Value);
  virtual TORVString GetBufferName();
  virtual std::unique_ptr<TORVFileBuffer> CreateBuffer();
  virtual void CorruptError(const TORVString& Msg);
  virtual void BufferReadError(int32_t Number, int32_t Offset, int32_t Requested, int32_t Actual);
  virtual void BufferWriteError(int32_t Number, int32_t Offset, int32_t Requested, int32_t Actual);
  virtual int32_t GetBufferSize() = 0;
  virtual int64_t GetMaxBufferSize() = 0;
  virtual int32_t GetBufferFlushAge() = 0;
  virtual bool GetBufferFlushDisk() = 0;
  virtual void GetStatistics(TORVIOStatistics& Statistics);

  // Sizes the cache and reads the file size; nothing when already done.
  void Initialize();
  // The next Initialize starts afresh (settings, size, a clear write failure).
  void Reset();
  bool GetInitialized() const { return FInitialized; }

  // Bytes copied into Buffer; a read is cut at the logical end of the file.
  int32_t Read(int64_t Offset, int32_t Count, uint8_t* Buffer);
  int32_t Read(int64_t Offset, int32_t Count, TORVBytes& Buffer, int32_t BufferOffset);
  // Bytes taken into the cache; -1 for a span that block numbers cannot
  // reach. After a failed write-back every write is
  // refused until the cache is reset, so nothing is taken that cannot reach
  // the disk.
  int32_t Write(int64_t Offset, int32_t Count, const uint8_t* Buffer);
  int32_t Write(int64_t Offset, int32_t Count, const TORVBytes& Buffer, int32_t BufferOffset);
  // Writes every queued block; True when anything was written.
  bool Flush();
  // Drops every block and re-reads the size from disk.
  void UpdateFileSize();

  TORVFileBuffer* GetBuffer(int32_t BufferNum, bool Writing, bool ReadAhead, int32_t ReadAheadBuffers);
  void PutBuffer(TORVFileBuffer* BufferToRelease);

  int64_t GetLogicalFileSize() const { return FFileSize; }
  int32_t GetNextNumber() const { return FNextNumber; }
  int32_t GetMaxNumberWritten() const { return FMaxNumberWritten; }
  int32_t GetBufferCount() const { return FBufferCount; }
  int32_t GetMaxBufferCount() const { return FMaxBufferCount; }
  int32_t GetWriteBufferCount() const { return static_cast<int32_t>(FBuffersToWrite.size()); }
  int32_t GetMaxWriteBufferCount() const { return FMaxWriteBufferCount; }
  int32_t GetCachedBufferSize() const { return FBufferSize; }
  int32_t GetFlushAge() const { return FBufferFlushAge; }
  bool GetFlushDisk() const { return FBufferFlushDisk; }
  bool GetWriteFailed() const { return FWriteFailed; }
  // The cached block with this number, or nullptr.
  TORVFileBuffer* FindBuffer(int32_t Number) const;
  // Raises std::logic_error when an invariant above is broken.
  void CheckInvariants() const;

 private:
  friend class TORVFileBuffer;

  void InitializeBuffers();
  void ReadSizeAndNumbers();
  void FreeBuffers();
  TORVFileBuffer* ReadBuffers(int32_t BufferNum, int32_t Count);
  TORVFileBuffer* ZeroBuffer(int32_t BufferNum);
  TORVFileBuffer* GetNewBuffer(int32_t Number);
  TORVFileBuffer* ClearLastBufferInChain();
  void MoveToFront(TORVFileBuffer* Buffer);
  void LinkFirst(TORVFileBuffer* Buffer);
  void Unlink(TORVFileBuffer* Buffer);
  bool WriteBuffers();
  // Copies Count bytes at Offset through the blocks they fall in: from Source
  // into the cache when Source is set, else from the cache into Target.
  int32_t MoveSpan(int64_t Offset, int32_t Count, uint8_t* Target, const uint8_t* Source);
  bool IsLastBlock(int32_t Number) const { return FNextNumber == Number + 1; }
  void BufferMoveError(const char16_t* Direction, int32_t Number, int32_t Offset, int32_t Requested,
                       int32_t Actual);

  int64_t FFileSize = 0;
  int32_t FNextNumber = 1;
  int32_t FMaxNumberWritten = 0;
  TORVBytes FReadStream;
  TORVBytes FWriteStream;
  int32_t FReadBufferStart = 0;
  int32_t FReadBufferEnd = 0;
  TORVFileBuffer* FFirstBuffer = nullptr;
  TORVFileBuffer* FLastBuffer = nullptr;
  int32_t FBufferSize = 4096;
  int64_t FMaxBufferSize = 0;
  int32_t FBufferFlushAge = 120;
  bool FBufferFlushDisk = false;
  int32_t FBufferCount = 0;
  int32_t FMaxBufferCount = 1;
  // Block number to block; owns the blocks.
  std::unordered_map<int32_t, std::unique_ptr<TORVFileBuffer>> FBuffers;
  int32_t FMaxWriteBufferCount = 0;
  std::vector<TORVFileBuffer*> FBuffersToWrite;
  TORVFileWriteBehavior FWriteBehavior = wbNormal;
  TORVIOStatistics FStatistics;
  bool FInitialized = false;
  // Set by a failed write-back; holds the failure's detail for later writes.
  bool FWriteFailed = false;
  TORVString FWriteFailure;
};

}  // namespace orv
