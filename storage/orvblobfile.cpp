#include "storage/orvblobfile.h"

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

namespace {

// Releases a held block however the scope is left, unless the caller took
// it back.
class TBlockHold {
 public:
  TBlockHold(TORVBlobManager& Manager, TORVBlobBlock* Block) : FManager(Manager), FBlock(Block) {}
  ~TBlockHold() {
    if (FBlock != nullptr) FManager.PutBlock(FBlock);
  }
  TBlockHold(const TBlockHold&) = delete;
  TBlockHold& operator=(const TBlockHold&) = delete;

  TORVBlobBlock* Get() const { return FBlock; }
  // Releases the held block and holds Block instead.
  void Reset(TORVBlobBlock* Block) {
    if (FBlock != nullptr) FManager.PutBlock(FBlock);
    FBlock = Block;
  }

 private:
  TORVBlobManager& FManager;
  TORVBlobBlock* FBlock;
};

}  // namespace

// ------------------------------------------------------------ TORVBlobBlock

TORVBlobBlock::TORVBlobBlock(TORVBlobManager* Owner) : TORVTableFileBuffer(Owner), FBlobManager(Owner) {}

int32_t TORVBlobBlock::GetHeaderSize() { return FBlockHeaderSize(); }

void TORVBlobBlock::Initialize() {
  TORVTableFileBuffer::Initialize();
  FBlockType = FirstBlock;
  FVersion = 0;
  FTotalSize = 0;
  FSize = 0;
}

void TORVBlobBlock::Save(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Save(Stream);
  Stream.WriteByte(FBlockType);
  if (FBlockType == FirstBlock) {
    Stream.WriteInteger(FVersion);
    Stream.WriteInteger(FTotalSize);
  }
  Stream.WriteInteger(FSize);
}

void TORVBlobBlock::Load(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Load(Stream);
  FBlockType = Stream.ReadByte();
  if (FBlockType == FirstBlock) {
    FVersion = Stream.ReadInteger();
    FTotalSize = Stream.ReadInteger();
  }
  FSize = Stream.ReadInteger();
}

void TORVBlobBlock::Assign(const TORVTableFileBuffer& FromBuffer) {
  TORVTableFileBuffer::Assign(FromBuffer);
  const auto* From = dynamic_cast<const TORVBlobBlock*>(&FromBuffer);
  if (From == nullptr) return;
  FBlockType = From->FBlockType;
  FVersion = From->FVersion;
  FTotalSize = From->FTotalSize;
  FSize = From->FSize;
}

bool TORVBlobBlock::Compare(const TORVTableFileBuffer& BufferToCompare) const {
  if (!TORVTableFileBuffer::Compare(BufferToCompare)) return false;
  const auto* Other = dynamic_cast<const TORVBlobBlock*>(&BufferToCompare);
  return Other == nullptr || (FBlockType == Other->FBlockType && FVersion == Other->FVersion &&
                              FTotalSize == Other->FTotalSize && FSize == Other->FSize);
}

void TORVBlobBlock::SetBlockType(uint8_t Value) {
  if (Value == FBlockType) return;
  FBlockType = Value;
  FModified = true;
}

void TORVBlobBlock::SetVersion(int32_t Value) {
  if (Value == FVersion) return;
  FVersion = Value;
  FModified = true;
}

void TORVBlobBlock::SetTotalSize(int32_t Value) {
  if (Value == FTotalSize) return;
  FTotalSize = Value;
  FModified = true;
}

void TORVBlobBlock::SetSize(int32_t Value) {
  if (Value == FSize) return;
  FSize = Value;
  FModified = true;
}

// ---------------------------------------------------------- TORVBlobManager

TORVBlobManager::TORVBlobManager(TORVTableFileOwner* Owner) : TORVTableFileManager(Owner) {}

TORVString TORVBlobManager::GetFileExtension() { return GetSettings().GetBlobExtension(); }

std::unique_ptr<TORVTableFileBuffer> TORVBlobManager::CreateBuffer() { return std::make_unique<TORVBlobBlock>(this); }

int32_t TORVBlobManager::GetBufferSize() { return FTableManager->GetBlobBlockSize(); }

int32_t TORVBlobManager::GetAvailableHeaderSize() {
  return FTableManager->GetSystemTable() ? SystemAvailableHeaderBytes : AvailableHeaderBytes;
}

int32_t TORVBlobManager::CalculateMaxBufferCount() {
  return std::max(FTableManager->GetMaxBlobBufferSize() / GetBufferSize(), MinBlockBufferCount);
}

std::unique_ptr<TORVBlobBlock> TORVBlobManager::CreateNewBlock() { return std::make_unique<TORVBlobBlock>(this); }

TORVBlobBlock* TORVBlobManager::GetBlock(int32_t BlockNumber, bool ReadAhead, int32_t ReadAheadBlocks,
                                         bool& FoundChanges) {
  return static_cast<TORVBlobBlock*>(GetBuffer(BlockNumber, ReadAhead, FoundChanges, ReadAheadBlocks, 1));
}

TORVBlobBlock* TORVBlobManager::GetBlock(int32_t BlockNumber, bool ReadAhead, int32_t ReadAheadBlocks) {
  for (int32_t Attempt = 1;; ++Attempt) {
    bool FoundChanges = false;
    TORVBlobBlock* Block = GetBlock(BlockNumber, ReadAhead, ReadAheadBlocks, FoundChanges);
    if (Block != nullptr) return Block;
    if (BlockNumber > GetLastNumber() || Attempt >= MaxReadAttempts)
      CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  }
}

TORVBlobBlock* TORVBlobManager::GetNextFreeBlock() {
  const bool FromChain = FNextFreeNumber != 0;
  TORVBlobBlock* Block = GetBlock(GetNextFreeNumber());
  if (FromChain) {
    const int32_t Next = Block->GetNextNumber();
    if (Next < 0 || Next >= FNextNumber || Next == Block->GetNumber()) {
      PutBlock(Block);
      CorruptError(FormatString(u"Invalid next free %s pointer (%s)", {GetBufferName(), IntToString(Next)}));
    }
    SetNextFreeNumber(Next);
  }
  Block->Initialize();
  Block->SetModified(true);
  return Block;
}

void TORVBlobManager::SetNextFreeBlock(TORVBlobBlock& FreeBlock) {
  FreeBlock.SetNextNumber(FNextFreeNumber);
  SetNextFreeNumber(FreeBlock.GetNumber());
}

void TORVBlobManager::PutBlock(TORVBlobBlock* Block) { PutBuffer(Block); }

void TORVBlobManager::BlockTypeError() { CorruptError(u"Invalid BLOB block type found"); }

int32_t TORVBlobManager::ReadAheadFor(int64_t BytesLeft, int32_t HeaderSize) {
  const int64_t Blocks = std::max<int64_t>(1, BytesLeft / std::max(GetBufferSize() - HeaderSize, 1));
  return static_cast<int32_t>(std::min<int64_t>(Blocks, GetMaxReadAheadBufferCount()));
}

int32_t TORVBlobManager::CheckedSize(TORVBlobBlock& Block, int32_t FirstNumber) {
  const int32_t Size = Block.GetSize();
  if (Size < 0 || Size > GetBufferSize() - Block.GetHeaderSize())
    CorruptError(FormatString(u"Invalid %s %s size (%s) for start %s %s",
                              {GetBufferName(), IntToString(Block.GetNumber()), IntToString(Size), GetBufferName(),
                               IntToString(FirstNumber)}));
  return Size;
}

void TORVBlobManager::ReadStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream) {
  for (int32_t Attempt = 1;; ++Attempt) {
    if (TryReadStream(RowVersion, BlockNumber, BlobStream)) return;
    if (Attempt >= MaxReadAttempts)
      CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  }
}

bool TORVBlobManager::TryReadStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream) {
  if (BlockNumber < 1 || BlockNumber > GetLastNumber()) {
    BlobStream.SetSize(0);
    FTableManager->RowDeletedError();
  }
  bool FoundChanges = false;
  TBlockHold Hold(*this, GetBlock(BlockNumber, false, 0, FoundChanges));
  if (Hold.Get() == nullptr) return false;
  TORVBlobBlock* Block = Hold.Get();
  if (Block->GetBlockType() != TORVBlobBlock::FirstBlock) BlockTypeError();
  if (Block->GetVersion() != RowVersion) {
    Hold.Reset(nullptr);
    BlobStream.SetSize(0);
    FTableManager->RowDeletedError();
  }
  // The value cannot hold more than every block the file holds together;
  // checked before the stream is sized, so that a damaged total allocates
  // nothing.
  const int32_t StoredLastNumber = GetStoredLastNumber();
  const int32_t TotalSize = Block->GetTotalSize();
  if (TotalSize < 0 ||
      TotalSize > static_cast<int64_t>(StoredLastNumber) * (GetBufferSize() - TORVBlobBlock::ContinuationHeaderBytes))
    CorruptError(FormatString(u"Invalid total size (%s) for start %s %s",
                              {IntToString(TotalSize), GetBufferName(), IntToString(BlockNumber)}));
  BlobStream.SetSize(TotalSize);
  BlobStream.SetPosition(0);
  int64_t Filled = 0;
  int32_t Blocks = 1;
  while (Filled < TotalSize) {
    const int32_t Size = std::min<int64_t>(CheckedSize(*Block, BlockNumber), TotalSize - Filled);
    std::memcpy(BlobStream.GetMemory() + Filled, Block->GetData(), static_cast<size_t>(Size));
    Filled += Size;
    if (Filled >= TotalSize) break;
    const int32_t Next = Block->GetNextNumber();
    if (Next < 1) break;
    // A chain longer than the file loops.
    if (Next > GetLastNumber() || ++Blocks > StoredLastNumber)
      CorruptError(FormatString(u"Invalid next %s pointer (%s)", {GetBufferName(), IntToString(Next)}));
    TORVBlobBlock* NextBlock =
        GetBlock(Next, true, ReadAheadFor(TotalSize - Filled, Block->GetHeaderSize()), FoundChanges);
    if (NextBlock == nullptr) return false;
    Hold.Reset(NextBlock);
    Block = NextBlock;
    if (Block->GetBlockType() != TORVBlobBlock::ContinuationBlock) BlockTypeError();
  }
  if (Filled < TotalSize)
    CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  BlobStream.SetPosition(0);
  return true;
}

void TORVBlobManager::WriteStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream) {
  TBlockHold Hold(*this, BlockNumber < 1 ? GetNextFreeBlock() : GetBlock(BlockNumber));
  TORVBlobBlock* Block = Hold.Get();
  if (Block->GetBlockType() != TORVBlobBlock::FirstBlock) BlockTypeError();
  const int64_t Total = BlobStream.GetSize();
  if (Total > std::numeric_limits<int32_t>::max())
    FullError();
  Block->SetBlockType(TORVBlobBlock::FirstBlock);
  Block->SetVersion(RowVersion);
  Block->SetTotalSize(static_cast<int32_t>(Total));
  Block->SetSize(0);
  Block->SetModified(true);
  BlockNumber = Block->GetNumber();
  const uint8_t* Source = BlobStream.GetMemory();
  int64_t Written = 0;
  int32_t Blocks = 1;
  const int32_t StoredLastNumber = GetStoredLastNumber();
  while (Written < Total) {
    const int32_t Size =
        static_cast<int32_t>(std::min<int64_t>(GetBufferSize() - Block->GetHeaderSize(), Total - Written));
    std::memcpy(Block->GetData(), Source + Written, static_cast<size_t>(Size));
    Block->SetSize(Size);
    Block->SetModified(true);
    Written += Size;
    const int32_t Next = Block->GetNextNumber();
    TORVBlobBlock* NextBlock = nullptr;
    if (Next < 1) {
      if (Written >= Total) break;
      NextBlock = GetNextFreeBlock();
      NextBlock->SetBlockType(TORVBlobBlock::ContinuationBlock);
      Block->SetNextNumber(NextBlock->GetNumber());
    } else {
      if (Next > GetLastNumber() || ++Blocks > StoredLastNumber)
        CorruptError(FormatString(u"Invalid next %s pointer (%s)", {GetBufferName(), IntToString(Next)}));
      NextBlock = GetBlock(Next, true, ReadAheadFor(Total - Written, Block->GetHeaderSize()));
      if (NextBlock->GetBlockType() != TORVBlobBlock::ContinuationBlock) {
        PutBlock(NextBlock);
        BlockTypeError();
      }
    }
    Hold.Reset(NextBlock);
    Block = NextBlock;
  }
  if (Written < Total)
    CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
}

int32_t TORVBlobManager::GetChainVersion(int32_t BlockNumber) {
  if (BlockNumber < 1 || BlockNumber > GetLastNumber()) return -1;
  TBlockHold Hold(*this, GetBlock(BlockNumber));
  return Hold.Get()->GetBlockType() == TORVBlobBlock::FirstBlock ? Hold.Get()->GetVersion() : -1;
}

bool TORVBlobManager::VerifyBuffers(bool& FoundErrors, bool RepairErrors) {
  if (!TORVTableFileManager::VerifyBuffers(FoundErrors, RepairErrors)) return false;
  FTableManager->VerifyStatus(u"Verifying BLOBs (structure-only)");
  TORVSessionManager& Session = FTableManager->GetSessionManager();
  TORVProgressScope Progress(Session);
  return VerifyBlockChains<TORVBlobManager, TORVBlobBlock>(*this, Session, true, RepairErrors,
                                                           [&](const TORVString& Message) {
                                                             FoundErrors = true;
                                                             LogVerifyMessage(Message, nullptr, RepairErrors);
                                                           });
}

}  // namespace orv
