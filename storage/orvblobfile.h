// A table's large-object file: each non-empty large-object value is a
// chain of fixed-size blocks, the first carrying the value's total size and
// the version of the row that owns it. A chain belongs to one row slot for
// good: rewrites reuse it and an insert into a deleted slot takes it over.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "storage/orvtablefile.h"

namespace orv {

class TORVBlobManager;

// Block layout: NextNumber (4), BlockType (1); a first block then has
// Version (4) and TotalSize (4); every block then Size (4) and its data.
class TORVBlobBlock : public TORVTableFileBuffer {
 public:
  static constexpr uint8_t ContinuationBlock = 0;
  static constexpr uint8_t FirstBlock = 1;
  static constexpr int32_t FirstHeaderBytes = 17;
  static constexpr int32_t ContinuationHeaderBytes = 9;

  explicit TORVBlobBlock(TORVBlobManager* Owner);

  int32_t GetHeaderSize() override;
  void Initialize() override;
  void Save(TORVMemoryStream& Stream) override;
  void Load(TORVMemoryStream& Stream) override;
  void Assign(const TORVTableFileBuffer& FromBuffer) override;
  bool Compare(const TORVTableFileBuffer& BufferToCompare) const override;

  uint8_t GetBlockType() const { return FBlockType; }
  void SetBlockType(uint8_t Value);
  int32_t GetVersion() const { return FVersion; }
  void SetVersion(int32_t Value);
  int32_t GetTotalSize() const { return FTotalSize; }
  void SetTotalSize(int32_t Value);
  int32_t GetSize() const { return FSize; }
  void SetSize(int32_t Value);
  // The data bytes after the header.
  uint8_t* GetData() const { return FBufferStream->GetMemory() + FBlockHeaderSize(); }

 private:
  int32_t FBlockHeaderSize() const { return FBlockType == FirstBlock ? FirstHeaderBytes : ContinuationHeaderBytes; }

  TORVBlobManager* FBlobManager;
  uint8_t FBlockType = FirstBlock;
  int32_t FVersion = 0;
  int32_t FTotalSize = 0;
  int32_t FSize = 0;
};

// No header fields of its own. Every length read from a block is checked
// against the block and the file before it is used, so that a corrupt
// chain raises instead of reading or allocating past what exists.
class TORVBlobManager : public TORVTableFileManager {
 public:
  static constexpr int32_t AvailableHeaderBytes = 4096;
  static constexpr int32_t SystemAvailableHeaderBytes = 1024;
  static constexpr int32_t MinBlockBufferCount = 32;
  static constexpr int32_t ReadAheadBlockCount = 32;
  // Reads restarted by other sessions' changes before a read gives up.
  static constexpr int32_t MaxReadAttempts = 8;

  explicit TORVBlobManager(TORVTableFileOwner* Owner);

  TORVString GetFileExtension() override;
  TORVString GetBufferName() override { return u"BLOB block"; }
  std::unique_ptr<TORVTableFileBuffer> CreateBuffer() override;
  int32_t GetBufferSize() override;
  int32_t GetBufferStreamSize() override { return GetBufferSize(); }
  int32_t GetAvailableHeaderSize() override;
  int32_t GetActualHeaderSize() override { return (CommonHeaderSize + 7) / 8 * 8; }
  int32_t CalculateMaxBufferCount() override;
  int32_t CalculateMaxReadAheadBufferCount() override { return ReadAheadBlockCount; }

  std::unique_ptr<TORVBlobBlock> CreateNewBlock();
  TORVBlobBlock* GetBlock(int32_t BlockNumber, bool ReadAhead, int32_t ReadAheadBlocks, bool& FoundChanges);
  // Never nil: restarts while other sessions keep changing the table and
  // raises when it does not settle.
  TORVBlobBlock* GetBlock(int32_t BlockNumber, bool ReadAhead = false, int32_t ReadAheadBlocks = 0);
  TORVBlobBlock* GetNextFreeBlock();
  void SetNextFreeBlock(TORVBlobBlock& FreeBlock);
  void PutBlock(TORVBlobBlock* Block);

  // The value of the row of version RowVersion whose chain starts at
  // BlockNumber; a missing or replaced chain raises the row-deleted error.
  void ReadStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream);
  // BlobStream into the chain at BlockNumber (a new one when below 1).
  void WriteStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream);
  // The row version the first block at BlockNumber records; -1 when
  // BlockNumber holds no first block.
  int32_t GetChainVersion(int32_t BlockNumber);
  bool VerifyBuffers(bool& FoundErrors, bool RepairErrors) override;

 private:
  // One pass of ReadStream; False when another session's change dropped
  // the cache and the read must start over.
  bool TryReadStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream);
  void BlockTypeError();
  int32_t ReadAheadFor(int64_t BytesLeft, int32_t HeaderSize);
  // A block's Size bounded by its capacity, else a size error.
  int32_t CheckedSize(TORVBlobBlock& Block, int32_t FirstNumber);
};

}  // namespace orv
