#include "storage/orvpublishfile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "core/orvliteral.h"
#include "core/orvsessionmgr.h"
#include "storage/orvblockchain.h"
#include "storage/orvenginesettings.h"
#include "storage/orvtablefileowner.h"

namespace orv {

// ------------------------------------------------ TORVPublishedUpdatesBlock

TORVPublishedUpdatesBlock::TORVPublishedUpdatesBlock(TORVPublishedUpdatesManager* Owner)
    : TORVTableFileBuffer(Owner), FBlobManager(Owner) {}

int32_t TORVPublishedUpdatesBlock::GetHeaderSize() {
  return FBlockType == FirstBlock ? FirstHeaderBytes : ContinuationHeaderBytes;
}

void TORVPublishedUpdatesBlock::Initialize() {
  TORVTableFileBuffer::Initialize();
  FBlockType = FirstBlock;
  FTotalSize = 0;
  FSize = 0;
}

void TORVPublishedUpdatesBlock::Save(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Save(Stream);
  Stream.WriteByte(FBlockType);
  if (FBlockType == FirstBlock) Stream.WriteInteger(FTotalSize);
  Stream.WriteInteger(FSize);
}

void TORVPublishedUpdatesBlock::Load(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Load(Stream);
  FBlockType = Stream.ReadByte();
  if (FBlockType == FirstBlock) FTotalSize = Stream.ReadInteger();
  FSize = Stream.ReadInteger();
}

void TORVPublishedUpdatesBlock::Assign(const TORVTableFileBuffer& FromBuffer) {
  TORVTableFileBuffer::Assign(FromBuffer);
  const auto* From = dynamic_cast<const TORVPublishedUpdatesBlock*>(&FromBuffer);
  if (From == nullptr) return;
  FBlockType = From->FBlockType;
  FTotalSize = From->FTotalSize;
  FSize = From->FSize;
}

bool TORVPublishedUpdatesBlock::Compare(const TORVTableFileBuffer& BufferToCompare) const {
  if (!TORVTableFileBuffer::Compare(BufferToCompare)) return false;
  const auto* Other = dynamic_cast<const TORVPublishedUpdatesBlock*>(&BufferToCompare);
  return Other == nullptr ||
         (FBlockType == Other->FBlockType && FTotalSize == Other->FTotalSize && FSize == Other->FSize);
}

void TORVPublishedUpdatesBlock::SetBlockType(uint8_t Value) {
  if (Value == FBlockType) return;
  FBlockType = Value;
  FModified = true;
}

void TORVPublishedUpdatesBlock::SetTotalSize(int32_t Value) {
  if (Value == FTotalSize) return;
  FTotalSize = Value;
  FModified = true;
}

void TORVPublishedUpdatesBlock::SetSize(int32_t Value) {
  if (Value == FSize) return;
  FSize = Value;
  FModified = true;
}

// ---------------------------------------------- TORVPublishedUpdatesManager

TORVPublishedUpdatesManager::TORVPublishedUpdatesManager(TORVTableFileOwner* Owner) : TORVTableFileManager(Owner) {}

TORVString TORVPublishedUpdatesManager::GetFileExtension() { return GetSettings().GetPublishExtension(); }

std::unique_ptr<TORVTableFileBuffer> TORVPublishedUpdatesManager::CreateBuffer() {
  return std::make_unique<TORVPublishedUpdatesBlock>(this);
}

int32_t TORVPublishedUpdatesManager::GetBufferSize() { return FTableManager->GetPublishBlockSize(); }

int32_t TORVPublishedUpdatesManager::GetAvailableHeaderSize() {
  return FTableManager->GetSystemTable() ? SystemAvailableHeaderBytes : AvailableHeaderBytes;
}

int32_t TORVPublishedUpdatesManager::CalculateMaxBufferCount() {
  return std::max(FTableManager->GetMaxPublishBufferSize() / GetBufferSize(), MinBlockBufferCount);
}

void TORVPublishedUpdatesManager::Initialize() {
  TORVTableFileManager::Initialize();
  FLastTimeStamp = 0;
}

void TORVPublishedUpdatesManager::ReadHeader() {
  TORVTableFileManager::ReadHeader();
  FLastTimeStamp = 0;
}

void TORVPublishedUpdatesManager::CopyHeader(TORVTableFileManager& Source) {
  auto* From = dynamic_cast<TORVPublishedUpdatesManager*>(&Source);
  if (From == nullptr) return;
  FLastTimeStamp = From->FLastTimeStamp;
  FModified = true;
}

void TORVPublishedUpdatesManager::SetLastTimeStamp(int64_t Value) {
  if (Value == FLastTimeStamp) return;
  FLastTimeStamp = Value;
  FModified = true;
}

std::unique_ptr<TORVPublishedUpdatesBlock> TORVPublishedUpdatesManager::CreateNewBlock() {
  return std::make_unique<TORVPublishedUpdatesBlock>(this);
}

TORVPublishedUpdatesBlock* TORVPublishedUpdatesManager::GetBlock(int32_t BlockNumber, bool ReadAhead,
                                                                 int32_t ReadAheadBlocks, bool& FoundChanges) {
  return static_cast<TORVPublishedUpdatesBlock*>(
      GetBuffer(BlockNumber, ReadAhead, FoundChanges, ReadAheadBlocks, 1));
}

TORVPublishedUpdatesBlock* TORVPublishedUpdatesManager::GetBlock(int32_t BlockNumber, bool ReadAhead,
                                                                 int32_t ReadAheadBlocks) {
  for (int32_t Attempt = 1;; ++Attempt) {
    bool FoundChanges = false;
    TORVPublishedUpdatesBlock* Block = GetBlock(BlockNumber, ReadAhead, ReadAheadBlocks, FoundChanges);
    if (Block != nullptr) return Block;
    if (BlockNumber > GetLastNumber() || Attempt >= MaxReadAttempts)
      CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  }
}

TORVPublishedUpdatesBlock* TORVPublishedUpdatesManager::GetNextFreeBlock() {
  // Published blocks are never freed: every record goes to the end.
  TORVPublishedUpdatesBlock* Block = GetBlock(FNextNumber);
  Block->Initialize();
  Block->SetModified(true);
  return Block;
}

void TORVPublishedUpdatesManager::SetNextFreeBlock(TORVPublishedUpdatesBlock& FreeBlock) {
  FreeBlock.SetNextNumber(FNextFreeNumber);
  SetNextFreeNumber(FreeBlock.GetNumber());
}

void TORVPublishedUpdatesManager::PutBlock(TORVPublishedUpdatesBlock* Block) { PutBuffer(Block); }

void TORVPublishedUpdatesManager::BlockTypeError() { CorruptError(u"Invalid published updates log block type found"); }

void TORVPublishedUpdatesManager::WriteStream(TORVMemoryStream& PublishedUpdatesStream) {
  const int64_t Total = PublishedUpdatesStream.GetSize();
  if (Total > std::numeric_limits<int32_t>::max())
    FullError();
  TORVPublishedUpdatesBlock* Block = GetNextFreeBlock();
  Block->SetTotalSize(static_cast<int32_t>(Total));
  const uint8_t* Source = PublishedUpdatesStream.GetMemory();
  int64_t Written = 0;
  try {
    for (;;) {
      const int32_t Size =
          static_cast<int32_t>(std::min<int64_t>(GetBufferSize() - Block->GetHeaderSize(), Total - Written));
      if (Size > 0) std::memcpy(Block->GetData(), Source + Written, static_cast<size_t>(Size));
      Block->SetSize(Size);
      Block->SetModified(true);
      Written += Size;
      if (Written >= Total) break;
      TORVPublishedUpdatesBlock* NextBlock = GetNextFreeBlock();
      NextBlock->SetBlockType(TORVPublishedUpdatesBlock::ContinuationBlock);
      Block->SetNextNumber(NextBlock->GetNumber());
      PutBlock(Block);
      Block = NextBlock;
    }
  } catch (...) {
    PutBlock(Block);
    throw;
  }
  PutBlock(Block);
}

void TORVPublishedUpdatesManager::ReadStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream) {
  for (int32_t Attempt = 1;; ++Attempt) {
    if (TryReadStream(BlockNumber, PublishedUpdatesStream)) return;
    if (Attempt >= MaxReadAttempts)
      CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  }
}

bool TORVPublishedUpdatesManager::TryReadStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream) {
  if (BlockNumber < 1 || BlockNumber > GetLastNumber()) {
    PublishedUpdatesStream.SetSize(0);
    BlockTypeError();
  }
  bool FoundChanges = false;
  TORVPublishedUpdatesBlock* Block = GetBlock(BlockNumber, false, 0, FoundChanges);
  if (Block == nullptr) return false;
  struct THold {
    TORVPublishedUpdatesManager& Manager;
    TORVPublishedUpdatesBlock*& Block;
    ~THold() {
      if (Block != nullptr) Manager.PutBlock(Block);
    }
  } Hold{*this, Block};
  if (Block->GetBlockType() != TORVPublishedUpdatesBlock::FirstBlock) BlockTypeError();
  const int32_t Start = BlockNumber;
  const int32_t TotalSize = Block->GetTotalSize();
  // A record cannot hold more than every block the file holds together;
  // checked before the stream is sized, so that a damaged total allocates
  // nothing.
  const int32_t StoredLastNumber = GetStoredLastNumber();
  if (TotalSize < 0 || TotalSize > static_cast<int64_t>(StoredLastNumber) *
                                       (GetBufferSize() - TORVPublishedUpdatesBlock::ContinuationHeaderBytes))
    CorruptError(FormatString(u"Invalid total size (%s) for start %s %s",
                              {IntToString(TotalSize), GetBufferName(), IntToString(Start)}));
  PublishedUpdatesStream.SetSize(TotalSize);
  int64_t Filled = 0;
  int32_t Blocks = 1;
  for (;;) {
    const int32_t Size = Block->GetSize();
    if (Size < 0 || Size > GetBufferSize() - Block->GetHeaderSize())
      CorruptError(FormatString(u"Invalid %s %s size (%s) for start %s %s",
                                {GetBufferName(), IntToString(Block->GetNumber()), IntToString(Size),
                                 GetBufferName(), IntToString(Start)}));
    const int64_t Copied = std::min<int64_t>(Size, TotalSize - Filled);
    if (Copied > 0)
      std::memcpy(PublishedUpdatesStream.GetMemory() + Filled, Block->GetData(), static_cast<size_t>(Copied));
    Filled += Copied;
    const int32_t Next = Block->GetNextNumber();
    if (Filled >= TotalSize || Next < 1) break;
    if (Next > GetLastNumber() || ++Blocks > StoredLastNumber)
      CorruptError(FormatString(u"Invalid next %s pointer (%s)", {GetBufferName(), IntToString(Next)}));
    const int32_t ReadAhead = static_cast<int32_t>(std::min<int64_t>(
        std::max<int64_t>(1, (TotalSize - Filled) / (GetBufferSize() - Block->GetHeaderSize())),
        GetMaxReadAheadBufferCount()));
    TORVPublishedUpdatesBlock* NextBlock = GetBlock(Next, true, ReadAhead, FoundChanges);
    if (NextBlock == nullptr) return false;
    PutBlock(Block);
    Block = NextBlock;
    if (Block->GetBlockType() != TORVPublishedUpdatesBlock::ContinuationBlock) BlockTypeError();
  }
  BlockNumber = Block->GetNumber() + 1;
  if (Filled < TotalSize)
    CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  PublishedUpdatesStream.SetPosition(0);
  return true;
}

bool TORVPublishedUpdatesManager::VerifyBuffers(bool& FoundErrors, bool RepairErrors) {
  if (!TORVTableFileManager::VerifyBuffers(FoundErrors, RepairErrors)) return false;
  FTableManager->VerifyStatus(u"Verifying published updates (structure-only)");
  TORVSessionManager& Session = FTableManager->GetSessionManager();
  TORVProgressScope Progress(Session);
  return VerifyBlockChains<TORVPublishedUpdatesManager, TORVPublishedUpdatesBlock>(
      *this, Session, false, RepairErrors, [&](const TORVString& Message) {
        FoundErrors = true;
        LogVerifyMessage(Message, nullptr, RepairErrors);
      });
}

}  // namespace orv
