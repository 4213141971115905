#include "storage/orvmemfilemgr.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace orv {

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
  FFileSize = Value;
  ResizeBuffers(Value);
}

void TORVMemoryFile::ZeroRange(int64_t From, int64_t To) {
  while (From < To) {
    size_t Chunk = static_cast<size_t>(From / ChunkSize);
    int32_t InChunk = static_cast<int32_t>(From % ChunkSize);
    int64_t Length = std::min<int64_t>(To - From, ChunkSize - InChunk);
    std::memset(FBuffers[Chunk].data() + InChunk, 0, static_cast<size_t>(Length));
    From += Length;
  }
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
  int32_t Done = 0;
  while (Done < Count) {
    int64_t Position = Offset + Done;
    size_t Chunk = static_cast<size_t>(Position / ChunkSize);
    int32_t InChunk = static_cast<int32_t>(Position % ChunkSize);
    int32_t Length = std::min(Count - Done, ChunkSize - InChunk);
    std::memcpy(Buffer + Done, FBuffers[Chunk].data() + InChunk, static_cast<size_t>(Length));
    Done += Length;
  }
  return Count;
}

int32_t TORVMemoryFile::Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) {
  std::lock_guard<TORVCriticalSection> Guard(FFileSection);
  if (Count <= 0) return Count;
  if (Offset < 0 || Buffer == nullptr) return -1;
  if (Offset + Count > FFileSize) {
    FFileSize = Offset + Count;
    ResizeBuffers(FFileSize);
  }
  int32_t Done = 0;
  while (Done < Count) {
    int64_t Position = Offset + Done;
    size_t Chunk = static_cast<size_t>(Position / ChunkSize);
    int32_t InChunk = static_cast<int32_t>(Position % ChunkSize);
    int32_t Length = std::min(Count - Done, ChunkSize - InChunk);
    std::memcpy(FBuffers[Chunk].data() + InChunk, Buffer + Done, static_cast<size_t>(Length));
    Done += Length;
  }
  return Count;
}

std::unique_ptr<TORVFile> TORVMemoryFileManager::CreateFileObject(const TORVString& FileName,
                                                                   const TORVFileOptions& AOptions) {
  return std::make_unique<TORVMemoryFile>(this, FileName, AOptions);
}

}  // namespace orv
