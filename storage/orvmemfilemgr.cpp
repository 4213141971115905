#include "storage/orvmemfilemgr.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace orv {

namespace {

// Calls Visit(Bytes, Length, Done) for each piece, within one chunk, of the
// Count bytes from Offset; Done counts the bytes before the piece.
template <typename TVisit>
void ForEachPiece(std::vector<TORVBytes>& Chunks, int64_t Offset, int64_t Count, TVisit Visit) {
  constexpr int32_t ChunkSize = TORVMemoryFile::ChunkSize;
  int64_t Done = 0;
  while (Done < Count) {
    const int64_t Position = Offset + Done;
    const int32_t InChunk = static_cast<int32_t>(Position % ChunkSize);
    const int64_t Length = std::min<int64_t>(Count - Done, ChunkSize - InChunk);
    Visit(Chunks[static_cast<size_t>(Position / ChunkSize)].data() + InChunk, static_cast<size_t>(Length),
          static_cast<size_t>(Done));
    Done += Length;
  }
}

}  // namespace

TORVMemoryFile::TORVMemoryFile(TORVFileManager* Owner, const TORVString& AFileName,
                               const TORVFileOptions& AOptions)
    : TORVFile(Owner, AFileName, AOptions) {}

TORVMemoryFile::~TORVMemoryFile() { ResizeBuffers(0); }

int64_t TORVMemoryFile::GetFileSize() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FFileSize;
}

int64_t TORVMemoryFile::GetFileCreated() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FFileCreated;
}

int64_t TORVMemoryFile::GetFileModified() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return FFileModified;
}

int32_t TORVMemoryFile::GetChunkCount() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  return static_cast<int32_t>(FBuffers.size());
}

std::unique_ptr<TORVFileStream> TORVMemoryFile::CreateNew() {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  FFileSize = 0;
  ResizeBuffers(0);
  return TORVFile::CreateNew();
}

void TORVMemoryFile::SetFileSize(int64_t Value) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (Value < 0) return;
  // Kept chunks hold only zeros beyond the size, so that growing again never
  // shows bytes that were cut off.
  if (Value < FFileSize) ZeroRange(Value, std::min(FFileSize, FTotalBufferSize));
  // The size changes only once the chunks that back it exist.
  ResizeBuffers(Value);
  FFileSize = Value;
}

void TORVMemoryFile::ZeroRange(int64_t From, int64_t To) {
  ForEachPiece(FBuffers, From, To - From, [](uint8_t* Bytes, size_t Length, size_t) { std::memset(Bytes, 0, Length); });
}

void TORVMemoryFile::ResizeBuffers(int64_t NewSize) {
  if (NewSize > 0) {
    int64_t Rounded = (NewSize + ChunkSize - 1) / ChunkSize * ChunkSize;
    if (Rounded > FTotalBufferSize) {
      FBuffers.resize(static_cast<size_t>(Rounded / ChunkSize), TORVBytes(ChunkSize, 0));
      FTotalBufferSize = Rounded;
    }
  } else if (!FBuffers.empty()) {
    FBuffers.clear();
    FBuffers.shrink_to_fit();
    FTotalBufferSize = 0;
  }
}

int32_t TORVMemoryFile::Read(int64_t Offset, int32_t Count, uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (Offset < 0 || Offset > FFileSize || Count <= 0) return 0;
  if (Buffer == nullptr) return -1;
  Count = static_cast<int32_t>(std::min<int64_t>(Count, FFileSize - Offset));
  ForEachPiece(FBuffers, Offset, Count,
               [Buffer](uint8_t* Bytes, size_t Length, size_t Done) { std::memcpy(Buffer + Done, Bytes, Length); });
  return Count;
}

int32_t TORVMemoryFile::Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (Count <= 0) return Count;
  if (Offset < 0 || Offset > std::numeric_limits<int64_t>::max() - Count || Buffer == nullptr) return -1;
  if (Offset + Count > FFileSize) {
    // The size changes only once the chunks that back it exist.
    ResizeBuffers(Offset + Count);
    FFileSize = Offset + Count;
  }
  ForEachPiece(FBuffers, Offset, Count,
               [Buffer](uint8_t* Bytes, size_t Length, size_t Done) { std::memcpy(Bytes, Buffer + Done, Length); });
  return Count;
}

void TORVMemoryFile::TakeContents(TORVFile& Source) {
  auto* From = dynamic_cast<TORVMemoryFile*>(&Source);
  if (From == nullptr) throw std::logic_error("a memory file takes contents only from a memory file");
  // Replaces happen one at a time under the registry's write lock, so the
  // two sections are never taken in the other order at once.
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  std::lock_guard<TORVCriticalSection> SourceGuard(From->FFileSection);
  FBuffers.swap(From->FBuffers);
  std::swap(FFileSize, From->FFileSize);
  std::swap(FTotalBufferSize, From->FTotalBufferSize);
  FFileModified = From->FFileModified;
}

std::unique_ptr<TORVFile> TORVMemoryFileManager::CreateFileObject(const TORVString& FileName,
                                                                   const TORVFileOptions& AOptions) {
  return std::make_unique<TORVMemoryFile>(this, FileName, AOptions);
}

}  // namespace orv
