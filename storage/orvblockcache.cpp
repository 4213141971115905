#include "storage/orvblockcache.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvliteral.h"

namespace orv {

namespace {

constexpr int64_t MaxWriteRunBytes = 16777216;
constexpr int32_t WriteListExpandCount = 4096;

// Clears the read range and the read staging when a read leaves, however it leaves.
class TReadRangeGuard {
 public:
  TReadRangeGuard(int32_t& Start, int32_t& End, TORVBytes& Stream) : FStart(Start), FEnd(End), FStream(Stream) {}
  ~TReadRangeGuard() {
    FStart = 0;
    FEnd = 0;
    FStream.clear();
  }
  TReadRangeGuard(const TReadRangeGuard&) = delete;
  TReadRangeGuard& operator=(const TReadRangeGuard&) = delete;

 private:
  int32_t& FStart;
  int32_t& FEnd;
  TORVBytes& FStream;
};

}  // namespace

// ----------------------------------------------------------- TORVFileBuffer

TORVFileBuffer::TORVFileBuffer(TORVFileBufferManager* BufferManagerToUse)
    : FBufferManager(BufferManagerToUse),
      FBufferStream(static_cast<size_t>(BufferManagerToUse->FBufferSize), 0) {}

void TORVFileBuffer::Assign(const TORVFileBuffer& FromBuffer) {
  FModified = FromBuffer.FModified;
  FNumber = FromBuffer.FNumber;
  FBufferStream = FromBuffer.FBufferStream;
  FBufferStreamUsed = FromBuffer.FBufferStreamUsed;
}

bool TORVFileBuffer::Compare(const TORVFileBuffer& BufferToCompare) const {
  return FNumber == BufferToCompare.FNumber;
}

void TORVFileBuffer::Load(const uint8_t* Source) {
  if (FUseCount > 0 || FModified) return;
  if (FReadFlag) {
    FReadFlag = false;
    return;
  }
  std::memcpy(FBufferStream.data(), Source, FBufferStream.size());
  FModified = false;
}

int32_t TORVFileBuffer::DiskSize() const {
  return FBufferManager->IsLastBlock(FNumber) ? FBufferStreamUsed : static_cast<int32_t>(FBufferStream.size());
}

void TORVFileBuffer::Save(TORVBytes& Target) {
  int32_t Size = DiskSize();
  Target.insert(Target.end(), FBufferStream.begin(), FBufferStream.begin() + Size);
}

void TORVFileBuffer::ClearBytes() { std::fill(FBufferStream.begin(), FBufferStream.end(), 0); }

void TORVFileBuffer::Initialize() {
  FBufferStreamUsed = 0;
  FModified = false;
  FUseCount = 0;
  FWriteFlag = false;
  FReadFlag = false;
}

int32_t TORVFileBuffer::Read(int32_t Offset, int32_t Count, uint8_t* Buffer) {
  int32_t Size = static_cast<int32_t>(FBufferStream.size());
  if (Offset < 0 || Offset >= Size || Count <= 0) return 0;
  int32_t Moved = std::min(Count, Size - Offset);
  std::memcpy(Buffer, FBufferStream.data() + Offset, static_cast<size_t>(Moved));
  return Moved;
}

int32_t TORVFileBuffer::Write(int32_t Offset, int32_t Count, const uint8_t* Buffer) {
  int32_t Size = static_cast<int32_t>(FBufferStream.size());
  if (Offset < 0 || Count <= 0) return 0;
  int64_t Position = static_cast<int64_t>(Offset) + Count;
  if (Position > Size)
    FBufferManager->CorruptError(FormatString(u"Internal error - stream size overflow for %s",
                                              {FBufferManager->GetBufferName()}));
  std::memcpy(FBufferStream.data() + Offset, Buffer, static_cast<size_t>(Count));
  if (Position > FBufferStreamUsed) {
    if (FBufferManager->IsLastBlock(FNumber)) FBufferManager->FFileSize += Position - FBufferStreamUsed;
    FBufferStreamUsed = static_cast<int32_t>(Position);
  }
  FModified = true;
  return Count;
}

// ---------------------------------------------------- TORVFileBufferManager

TORVFileBufferManager::TORVFileBufferManager() = default;

TORVFileBufferManager::~TORVFileBufferManager() { FreeBuffers(); }

void TORVFileBufferManager::IncNextNumber() {
  FFileSize = static_cast<int64_t>(FNextNumber - 1) * FBufferSize;
  ++FNextNumber;
}

void TORVFileBufferManager::SetMaxNumberWritten(int32_t Value) {
  FMaxNumberWritten = std::max(FMaxNumberWritten, Value);
}

TORVString TORVFileBufferManager::GetBufferName() { return u"file block"; }

std::unique_ptr<TORVFileBuffer> TORVFileBufferManager::CreateBuffer() {
  return std::make_unique<TORVFileBuffer>(this);
}

void TORVFileBufferManager::CorruptError(const TORVString& Msg) {
  TORVString Name;
  GetFileName(Name);
  RaiseError(ORV_CORRUPT_ERROR, {u"file", Name, Msg});
}

void TORVFileBufferManager::BufferMoveError(const char16_t* Direction, int32_t Number, int32_t Offset,
                                            int32_t Requested, int32_t Actual) {
  CorruptError(FormatString(u"Error %s cached %s - Number: %s Offset: %s Requested: %s Actual: %s",
                            {Direction, GetBufferName(), IntToString(Number), IntToString(Offset),
                             IntToString(Requested), IntToString(Actual)}));
}

void TORVFileBufferManager::BufferReadError(int32_t Number, int32_t Offset, int32_t Requested, int32_t Actual) {
  BufferMoveError(u"reading from", Number, Offset, Requested, Actual);
}

void TORVFileBufferManager::BufferWriteError(int32_t Number, int32_t Offset, int32_t Requested, int32_t Actual) {
  BufferMoveError(u"writing to", Number, Offset, Requested, Actual);
}

void TORVFileBufferManager::GetStatistics(TORVIOStatistics& Statistics) {
  FStatistics.AllocatedBuffers = static_cast<int64_t>(FBufferCount) * FBufferSize;
  FStatistics.DirtyBuffers = static_cast<int64_t>(FBuffersToWrite.size()) * FBufferSize;
  Statistics = FStatistics;
  Statistics.HitRatio = CalculateHitRatio(Statistics.Hits, Statistics.Misses);
  Statistics.AvgRead = CalculateAverage(Statistics.Reads, Statistics.BytesRead);
  Statistics.AvgWrite = CalculateAverage(Statistics.Writes, Statistics.BytesWritten);
}

void TORVFileBufferManager::Initialize() {
  if (FInitialized) return;
  FWriteBehavior = wbWhenFull;
  InitializeBuffers();
  FInitialized = true;
}

void TORVFileBufferManager::Reset() { FInitialized = false; }

void TORVFileBufferManager::InitializeBuffers() {
  FreeBuffers();
  FWriteFailed = false;
  FWriteFailure.clear();
  int32_t BlockSize = GetBufferSize();
  if (BlockSize <= 0) CorruptError(FormatString(u"Invalid %s size %s", {GetBufferName(), IntToString(BlockSize)}));
  FBufferSize = BlockSize;
  FMaxBufferSize = GetMaxBufferSize();
  FMaxBufferCount = static_cast<int32_t>(
      std::clamp<int64_t>(FMaxBufferSize / FBufferSize, 1, std::numeric_limits<int32_t>::max()));
  FBufferFlushAge = GetBufferFlushAge();
  FBufferFlushDisk = GetBufferFlushDisk();
  ReadSizeAndNumbers();
  FStatistics = TORVIOStatistics();
  GetFileName(FStatistics.FileName);
  FStatistics.BufferSize = FBufferSize;
  FStatistics.MaxBuffers = static_cast<int64_t>(FBufferSize) * FMaxBufferCount;
}

void TORVFileBufferManager::ReadSizeAndNumbers() {
  FFileSize = GetFileSize();
  int64_t Whole = FFileSize / FBufferSize;
  FNextNumber = static_cast<int32_t>(FFileSize % FBufferSize != 0 ? Whole + 2 : std::max<int64_t>(Whole + 1, 1));
  FMaxNumberWritten = FNextNumber - 1;
}

void TORVFileBufferManager::UpdateFileSize() {
  FreeBuffers();
  ReadSizeAndNumbers();
}

void TORVFileBufferManager::FreeBuffers() {
  FBuffersToWrite.clear();
  FFirstBuffer = nullptr;
  FLastBuffer = nullptr;
  FBuffers.clear();
  FBufferCount = 0;
}

TORVFileBuffer* TORVFileBufferManager::FindBuffer(int32_t Number) const {
  auto Found = FBuffers.find(Number);
  return Found == FBuffers.end() ? nullptr : Found->second.get();
}

void TORVFileBufferManager::CheckInvariants() const {
  ORV_ASSERT(FBufferCount == static_cast<int32_t>(FBuffers.size()));
  ORV_ASSERT(FMaxNumberWritten < FNextNumber);
  int32_t WriteFlags = 0;
  for (const auto& [Number, Buffer] : FBuffers) {
    ORV_ASSERT(Buffer != nullptr && Buffer->FNumber == Number);
    ORV_ASSERT(Number >= 1 && Number < FNextNumber);
    ORV_ASSERT(Buffer->FBufferStreamUsed >= 0 && Buffer->FBufferStreamUsed <= FBufferSize);
    if (Buffer->FWriteFlag) {
      ORV_ASSERT(Buffer->FModified);
      ++WriteFlags;
    }
  }
  size_t Linked = 0;
  const TORVFileBuffer* Previous = nullptr;
  for (const TORVFileBuffer* Buffer = FFirstBuffer; Buffer != nullptr; Buffer = Buffer->FNextBuffer) {
    ORV_ASSERT(++Linked <= FBuffers.size());
    ORV_ASSERT(Buffer->FPrevBuffer == Previous);
    ORV_ASSERT(FindBuffer(Buffer->FNumber) == Buffer);
    Previous = Buffer;
  }
  ORV_ASSERT(Linked == FBuffers.size());
  ORV_ASSERT(FLastBuffer == Previous);
  std::vector<const TORVFileBuffer*> Queued(FBuffersToWrite.begin(), FBuffersToWrite.end());
  std::sort(Queued.begin(), Queued.end());
  ORV_ASSERT(std::adjacent_find(Queued.begin(), Queued.end()) == Queued.end());
  ORV_ASSERT(static_cast<int32_t>(Queued.size()) == WriteFlags);
  for (const TORVFileBuffer* Buffer : Queued) {
    ORV_ASSERT(Buffer->FWriteFlag);
    ORV_ASSERT(FindBuffer(Buffer->FNumber) == Buffer);
  }
}

void TORVFileBufferManager::Unlink(TORVFileBuffer* Buffer) {
  if (Buffer->FPrevBuffer != nullptr) {
    Buffer->FPrevBuffer->FNextBuffer = Buffer->FNextBuffer;
  } else {
    FFirstBuffer = Buffer->FNextBuffer;
  }
  if (Buffer->FNextBuffer != nullptr) {
    Buffer->FNextBuffer->FPrevBuffer = Buffer->FPrevBuffer;
  } else {
    FLastBuffer = Buffer->FPrevBuffer;
  }
  Buffer->FPrevBuffer = nullptr;
  Buffer->FNextBuffer = nullptr;
}

void TORVFileBufferManager::LinkFirst(TORVFileBuffer* Buffer) {
  Buffer->FNextBuffer = FFirstBuffer;
  if (FFirstBuffer != nullptr) FFirstBuffer->FPrevBuffer = Buffer;
  FFirstBuffer = Buffer;
  if (FLastBuffer == nullptr) FLastBuffer = Buffer;
}

void TORVFileBufferManager::MoveToFront(TORVFileBuffer* Buffer) {
  if (FFirstBuffer == Buffer) return;
  Unlink(Buffer);
  LinkFirst(Buffer);
}

TORVFileBuffer* TORVFileBufferManager::ClearLastBufferInChain() {
  for (TORVFileBuffer* Buffer = FLastBuffer; Buffer != nullptr; Buffer = Buffer->FPrevBuffer)
    if (!Buffer->FModified && Buffer->FUseCount == 0) return Buffer;
  return nullptr;
}

TORVFileBuffer* TORVFileBufferManager::GetNewBuffer(int32_t Number) {
  TORVFileBuffer* Taken = nullptr;
  if (FBufferCount >= FMaxBufferCount) {
    Taken = ClearLastBufferInChain();
    if (Taken == nullptr) {
      WriteBuffers();
      Taken = ClearLastBufferInChain();
    }
  }
  std::unique_ptr<TORVFileBuffer> Owned;
  if (Taken != nullptr) {
    auto Found = FBuffers.find(Taken->FNumber);
    if (Found == FBuffers.end() || Found->second.get() != Taken)
      CorruptError(FormatString(u"Cannot find %s during ejection from cache", {GetBufferName()}));
    Owned = std::move(Found->second);
    FBuffers.erase(Found);
    MoveToFront(Taken);
  } else {
    Owned = CreateBuffer();
    Taken = Owned.get();
    LinkFirst(Taken);
    ++FBufferCount;
  }
  Taken->Initialize();
  Taken->SetNumber(Number);
  FBuffers[Number] = std::move(Owned);
  return Taken;
}

TORVFileBuffer* TORVFileBufferManager::GetBuffer(int32_t BufferNum, bool Writing, bool ReadAhead,
                                                 int32_t ReadAheadBuffers) {
  if (BufferNum <= 0)
    CorruptError(FormatString(u"Invalid %s number specified for retrieval from cache", {GetBufferName()}));
  TORVFileBuffer* Result = nullptr;
  if (Writing && BufferNum >= FNextNumber) {
    // Appending. Blocks skipped over hold zeros on disk once a later block is
    // written, so they are numbered but not cached.
    while (FNextNumber < BufferNum) IncNextNumber();
    Result = GetNewBuffer(BufferNum);
    // A reused block must not carry the bytes of the block it was before
    // into the parts of the new one that are not written.
    Result->ClearBytes();
    IncNextNumber();
    ++FStatistics.Hits;
    Result->IncUseCount();
    return Result;
  }
  Result = FindBuffer(BufferNum);
  if (Result != nullptr) {
    MoveToFront(Result);
    ++FStatistics.Hits;
  } else if (BufferNum > FMaxNumberWritten) {
    Result = ZeroBuffer(BufferNum);
  } else {
    int32_t Count = ReadAhead ? std::min(ReadAheadBuffers, FMaxNumberWritten - BufferNum + 1) : 1;
    Result = ReadBuffers(BufferNum, std::max(Count, 1));
  }
  if (Result == nullptr || Result->FNumber != BufferNum)
    CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  Result->IncUseCount();
  return Result;
}

TORVFileBuffer* TORVFileBufferManager::ZeroBuffer(int32_t BufferNum) {
  // A block inside the file that never reached the disk reads as zeros.
  ++FStatistics.Misses;
  TORVFileBuffer* Buffer = GetNewBuffer(BufferNum);
  Buffer->ClearBytes();
  int64_t Start = static_cast<int64_t>(BufferNum - 1) * FBufferSize;
  Buffer->FBufferStreamUsed = static_cast<int32_t>(std::clamp<int64_t>(FFileSize - Start, 0, FBufferSize));
  return Buffer;
}

TORVFileBuffer* TORVFileBufferManager::ReadBuffers(int32_t BufferNum, int32_t Count) {
  ++FStatistics.Misses;
  TReadRangeGuard Guard(FReadBufferStart, FReadBufferEnd, FReadStream);
  int64_t Offset = static_cast<int64_t>(BufferNum - 1) * FBufferSize;
  int64_t Size = static_cast<int64_t>(Count) * FBufferSize;
  int64_t DiskSize = GetFileSize();
  Size = std::clamp<int64_t>(DiskSize - Offset, 0, Size);
  FReadBufferStart = BufferNum;
  FReadBufferEnd = BufferNum + Count - 1;
  int32_t Blocks = static_cast<int32_t>(std::max<int64_t>((Size + FBufferSize - 1) / FBufferSize, 1));
  FReadStream.assign(static_cast<size_t>(Blocks) * static_cast<size_t>(FBufferSize), 0);
  int32_t Actual = Size > 0 ? FileRead(Offset, static_cast<int32_t>(Size), FReadStream.data()) : 0;
  if (Actual != Size)
    CorruptError(FormatString(u"Error reading %ss into cache - Size: %s Offset: %s Requested: %s Actual: %s",
                              {GetBufferName(), IntToString(DiskSize), IntToString(Offset), IntToString(Size), IntToString(Actual)}));
  ++FStatistics.Reads;
  FStatistics.BytesRead += Actual;
  int32_t LastNumber = BufferNum + Blocks - 1;
  int64_t Tail = IsLastBlock(LastNumber) ? static_cast<int64_t>(LastNumber) * FBufferSize - FFileSize : 0;
  for (int32_t Number = LastNumber; Number >= BufferNum; --Number) {
    int64_t Used = FBufferSize - Tail;
    if (Used < 0 || Used > FBufferSize)
      CorruptError(FormatString(u"Internal error handling %ss in cache - Adjustment: %s",
                                {GetBufferName(), IntToString(Tail)}));
    Tail = 0;
    const uint8_t* Slice = FReadStream.data() + static_cast<size_t>(Number - BufferNum) * FBufferSize;
    TORVFileBuffer* Buffer = FindBuffer(Number);
    if (Buffer == nullptr) {
      Buffer = GetNewBuffer(Number);
      Buffer->Load(Slice);
      Buffer->FBufferStreamUsed = static_cast<int32_t>(Used);
    } else if (Buffer->FUseCount == 0 && !Buffer->FModified) {
      bool Written = Buffer->FReadFlag;
      Buffer->Load(Slice);
      if (!Written) Buffer->FBufferStreamUsed = static_cast<int32_t>(Used);
    }
  }
  return FindBuffer(BufferNum);
}

void TORVFileBufferManager::PutBuffer(TORVFileBuffer* BufferToRelease) {
  BufferToRelease->DecUseCount();
  if (BufferToRelease->FModified && !BufferToRelease->FWriteFlag) {
    BufferToRelease->FWriteFlag = true;
    if (FBuffersToWrite.size() + 1 > FBuffersToWrite.capacity())
      FBuffersToWrite.reserve(static_cast<size_t>(
          BlockOffset(static_cast<int32_t>(FBuffersToWrite.size() + 1), WriteListExpandCount)));
    FBuffersToWrite.push_back(BufferToRelease);
  }
}

bool TORVFileBufferManager::WriteBuffers() {
  if (FBuffersToWrite.empty()) return false;
  FMaxWriteBufferCount = std::max(FMaxWriteBufferCount, static_cast<int32_t>(FBuffersToWrite.size()));
  std::sort(FBuffersToWrite.begin(), FBuffersToWrite.end(),
            [](const TORVFileBuffer* A, const TORVFileBuffer* B) { return A->FNumber < B->FNumber; });
  std::vector<TORVFileBuffer*> Kept;
  bool Wrote = false;
  size_t Index = 0;
  const size_t Count = FBuffersToWrite.size();
  while (Index < Count) {
    TORVFileBuffer* First = FBuffersToWrite[Index];
    if (First->FUseCount > 0) {
      Kept.push_back(First);
      ++Index;
      continue;
    }
    size_t End = Index;
    int64_t RunBytes = 0;
    do {
      RunBytes += FBuffersToWrite[End]->DiskSize();
      ++End;
    } while (End < Count && RunBytes <= MaxWriteRunBytes && FBuffersToWrite[End]->FUseCount == 0 &&
             FBuffersToWrite[End]->FNumber == FBuffersToWrite[End - 1]->FNumber + 1);
    FWriteStream.clear();
    for (size_t Pos = Index; Pos < End; ++Pos) FBuffersToWrite[Pos]->Save(FWriteStream);
    int64_t Offset = static_cast<int64_t>(First->FNumber - 1) * FBufferSize;
    int32_t Requested = static_cast<int32_t>(FWriteStream.size());
    int32_t Actual = FileWrite(Offset, Requested, FWriteStream.data());
    FWriteStream.clear();
    if (Actual != Requested) {
      // Every block not known to be on disk stays dirty and queued; the
      // cache takes no more writes until it is reset.
      Kept.insert(Kept.end(), FBuffersToWrite.begin() + static_cast<std::ptrdiff_t>(Index), FBuffersToWrite.end());
      FBuffersToWrite = std::move(Kept);
      FWriteFailed = true;
      FWriteFailure = FormatString(u"Error flushing %ss from cache to disk - Offset: %s Requested: %s Actual: %s",
                                   {GetBufferName(), IntToString(Offset), IntToString(Requested), IntToString(Actual)});
      CorruptError(FWriteFailure);
    }
    for (size_t Pos = Index; Pos < End; ++Pos) {
      TORVFileBuffer* Buffer = FBuffersToWrite[Pos];
      Buffer->FWriteFlag = false;
      Buffer->FModified = false;
      SetMaxNumberWritten(Buffer->FNumber);
      if (Buffer->FNumber >= FReadBufferStart && Buffer->FNumber <= FReadBufferEnd && FReadBufferStart != 0)
        Buffer->FReadFlag = true;
    }
    ++FStatistics.Writes;
    FStatistics.BytesWritten += Requested;
    Wrote = true;
    Index = End;
  }
  FBuffersToWrite = std::move(Kept);
  return Wrote;
}

bool TORVFileBufferManager::Flush() {
  bool Wrote = WriteBuffers();
  if (Wrote) ++FStatistics.Flushes;
  return Wrote;
}

int32_t TORVFileBufferManager::MoveSpan(int64_t Offset, int32_t Count, uint8_t* Target, const uint8_t* Source) {
  const bool Writing = Source != nullptr;
  int32_t BufferNum = static_cast<int32_t>(Offset / FBufferSize + 1);
  int32_t InBlock = static_cast<int32_t>(Offset % FBufferSize);
  int32_t ReadAheadBuffers = Count / FBufferSize + (Count % FBufferSize != 0 ? 1 : 0);
  int32_t Done = 0;
  while (Done < Count) {
    int32_t Wanted = std::min(Count - Done, FBufferSize - InBlock);
    TORVFileBuffer* Block = GetBuffer(BufferNum, Writing, true, ReadAheadBuffers);
    int32_t Moved = 0;
    try {
      Moved = Writing ? Block->Write(InBlock, Wanted, Source + Done) : Block->Read(InBlock, Wanted, Target + Done);
    } catch (...) {
      PutBuffer(Block);
      throw;
    }
    PutBuffer(Block);
    if (Moved != Wanted) {
      if (Writing) {
        BufferWriteError(BufferNum, Done, Count - Done, Moved);
      } else {
        BufferReadError(BufferNum, Done, Count - Done, Moved);
      }
    }
    Done += Moved;
    InBlock = 0;
    ++BufferNum;
  }
  return Done;
}

int32_t TORVFileBufferManager::Read(int64_t Offset, int32_t Count, uint8_t* Buffer) {
  if (Offset < 0 || Count < 0 || (Count > 0 && Buffer == nullptr)) return -1;
  if (Offset >= FFileSize) return 0;
  Count = static_cast<int32_t>(std::min<int64_t>(Count, FFileSize - Offset));
  if (Count == 0) return 0;
  return MoveSpan(Offset, Count, Buffer, nullptr);
}

int32_t TORVFileBufferManager::Read(int64_t Offset, int32_t Count, TORVBytes& Buffer, int32_t BufferOffset) {
  if (BufferOffset < 0 || Count < 0 || static_cast<size_t>(BufferOffset) + static_cast<size_t>(Count) > Buffer.size())
    return -1;
  return Read(Offset, Count, Buffer.data() + BufferOffset);
}

int32_t TORVFileBufferManager::Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  if (Offset < 0 || Count < 0 || (Count > 0 && Buffer == nullptr)) return -1;
  if (Count == 0) return 0;
  // Block numbers are 32-bit: a span past the last one must be refused, not
  // wrapped onto the blocks at the start of the file.
  if (Offset > std::numeric_limits<int64_t>::max() - Count ||
      (Offset + Count - 1) / FBufferSize >= std::numeric_limits<int32_t>::max() - 1)
    return -1;
  if (FWriteFailed) CorruptError(FWriteFailure);
  return MoveSpan(Offset, Count, nullptr, Buffer);
}

int32_t TORVFileBufferManager::Write(int64_t Offset, int32_t Count, const TORVBytes& Buffer, int32_t BufferOffset) {
  if (BufferOffset < 0 || Count < 0 || static_cast<size_t>(BufferOffset) + static_cast<size_t>(Count) > Buffer.size())
    return -1;
  return Write(Offset, Count, Buffer.data() + BufferOffset);
}

}  // namespace orv
