// Files kept in process memory in fixed 16 KB chunks, registered under their
// names by a manager that never touches the disk.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "storage/orvfilemgr.h"

namespace orv {

class TORVMemoryFile : public TORVFile {
 public:
  static constexpr int32_t ChunkSize = 16384;

  TORVMemoryFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions);
  ~TORVMemoryFile() override;

  int64_t GetFileSize() override;
  // Space given up by a smaller size reads as zeros when a later size or
  // write exposes it again.
  void SetFileSize(int64_t Value) override;
  int64_t GetFileCreated() override;
  int64_t GetFileModified() override;
  std::unique_ptr<TORVFileStream> CreateNew() override;
  using TORVFile::Read;
  using TORVFile::Write;
  int32_t Read(int64_t Offset, int32_t Count, uint8_t* Buffer) override;
  int32_t Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) override;
  void TakeContents(TORVFile& Source) override;

  int32_t GetChunkCount();

 private:
  void ResizeBuffers(int64_t NewSize);
  void ZeroRange(int64_t From, int64_t To);

  int64_t FFileCreated = 0;
  int64_t FFileModified = 0;
  int64_t FFileSize = 0;
  std::vector<TORVBytes> FBuffers;
  int64_t FTotalBufferSize = 0;
};

class TORVMemoryFileManager : public TORVFileManager {
 public:
  std::unique_ptr<TORVFile> CreateFileObject(const TORVString& FileName, const TORVFileOptions& AOptions) override;
};

}  // namespace orv
