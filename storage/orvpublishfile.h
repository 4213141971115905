// A published table's log of row changes: an append-only file of records,
// each a chain of consecutive blocks at the end of the file, read back in
// the order written.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "storage/orvtablefile.h"

namespace orv {

class TORVPublishedUpdatesManager;

// Block layout: NextNumber (4), BlockType (1); a first block then has
// TotalSize (4); every block then Size (4) and its data.
class TORVPublishedUpdatesBlock : public TORVTableFileBuffer {
 public:
  static constexpr uint8_t ContinuationBlock = 0;
  static constexpr uint8_t FirstBlock = 1;
  static constexpr int32_t FirstHeaderBytes = 13;
  static constexpr int32_t ContinuationHeaderBytes = 9;

  explicit TORVPublishedUpdatesBlock(TORVPublishedUpdatesManager* Owner);

  int32_t GetHeaderSize() override;
  void Initialize() override;
  void Save(TORVMemoryStream& Stream) override;
  void Load(TORVMemoryStream& Stream) override;
  void Assign(const TORVTableFileBuffer& FromBuffer) override;
  bool Compare(const TORVTableFileBuffer& BufferToCompare) const override;

  uint8_t GetBlockType() const { return FBlockType; }
  void SetBlockType(uint8_t Value);
  int32_t GetTotalSize() const { return FTotalSize; }
  void SetTotalSize(int32_t Value);
  int32_t GetSize() const { return FSize; }
  void SetSize(int32_t Value);
  uint8_t* GetData() { return FBufferStream->GetMemory() + GetHeaderSize(); }

 private:
  TORVPublishedUpdatesManager* FBlobManager;
  uint8_t FBlockType = FirstBlock;
  int32_t FTotalSize = 0;
  int32_t FSize = 0;
};

// The header holds the common fields only; LastTimeStamp lives in memory
// and is 0 after every header read. Lengths read from blocks are bounded
// by the block and the file before use.
class TORVPublishedUpdatesManager : public TORVTableFileManager {
 public:
  static constexpr int32_t AvailableHeaderBytes = 16384;
  static constexpr int32_t SystemAvailableHeaderBytes = 1024;
  static constexpr int32_t MinBlockBufferCount = 128;
  static constexpr int32_t ReadAheadBlockCount = 128;
  // Reads restarted by other sessions' changes before a read gives up.
  static constexpr int32_t MaxReadAttempts = 8;

  explicit TORVPublishedUpdatesManager(TORVTableFileOwner* Owner);

  TORVString GetFileExtension() override;
  TORVString GetBufferName() override { return u"published updates log block"; }
  std::unique_ptr<TORVTableFileBuffer> CreateBuffer() override;
  int32_t GetBufferSize() override;
  int32_t GetBufferStreamSize() override { return GetBufferSize(); }
  int32_t GetAvailableHeaderSize() override;
  int32_t GetActualHeaderSize() override { return (CommonHeaderSize + 7) / 8 * 8; }
  int32_t CalculateMaxBufferCount() override;
  int32_t CalculateMaxReadAheadBufferCount() override { return ReadAheadBlockCount; }
  void Initialize() override;
  void ReadHeader() override;
  void CopyHeader(TORVTableFileManager& Source) override;

  std::unique_ptr<TORVPublishedUpdatesBlock> CreateNewBlock();
  TORVPublishedUpdatesBlock* GetBlock(int32_t BlockNumber, bool ReadAhead, int32_t ReadAheadBlocks,
                                      bool& FoundChanges);
  TORVPublishedUpdatesBlock* GetBlock(int32_t BlockNumber, bool ReadAhead = false, int32_t ReadAheadBlocks = 0);
  TORVPublishedUpdatesBlock* GetNextFreeBlock();
  void SetNextFreeBlock(TORVPublishedUpdatesBlock& FreeBlock);
  void PutBlock(TORVPublishedUpdatesBlock* Block);

  // Appends one record.
  void WriteStream(TORVMemoryStream& PublishedUpdatesStream);
  // The record starting at BlockNumber; BlockNumber becomes the block
  // after it, where the next record starts.
  void ReadStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream);
  bool VerifyBuffers(bool& FoundErrors, bool RepairErrors) override;

  int64_t GetLastTimeStamp() const { return FLastTimeStamp; }
  void SetLastTimeStamp(int64_t Value);

 private:
  bool TryReadStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream);
  void BlockTypeError();

  int64_t FLastTimeStamp = 0;
};

}  // namespace orv
