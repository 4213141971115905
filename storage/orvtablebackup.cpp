// The backup copies and the backup stream of a table file: the file's raw
// bytes (enciphered when the table is), never its cache.
#include <algorithm>
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "base/orvutf8.h"
#include "core/orvcompressmgr.h"
#include "core/orvsessionmgr.h"
#include "storage/orvtablefile.h"
#include "storage/orvtablefileowner.h"

namespace orv {

namespace {

// A compressed chunk is never much longer than the 64 KB it holds.
constexpr int32_t MaxCompressedChunkSize =
    TORVTableFileManager::BackupChunkSize + TORVTableFileManager::BackupChunkSize / 64 + 64;

int32_t ProgressPercent(int64_t CurrentSize, int64_t TotalBackupSize) {
  if (TotalBackupSize <= 0) return 100;
  return static_cast<int32_t>(CurrentSize * 100 / TotalBackupSize);
}

}  // namespace

void TORVTableFileManager::BackupReadError() {
  FTableManager->BackupError(FormatString(u"Error reading the file %s", {GetFullFileName()}));
}

void TORVTableFileManager::BackupWriteError() {
  FTableManager->BackupError(FormatString(u"Error writing the file %s to the backup", {GetFullFileName()}));
}

void TORVTableFileManager::UnknownBackupError(const TORVString& Msg) {
  FTableManager->BackupError(FormatString(u"Unknown error occurred with the file %s (%s)", {GetFullFileName(), Msg}));
}

void TORVTableFileManager::RestoreReadError() {
  FTableManager->RestoreError(FormatString(u"Error reading the file %s from the backup", {GetFullFileName()}));
}

void TORVTableFileManager::RestoreWriteError() {
  FTableManager->RestoreError(FormatString(u"Error writing the backup to the file %s", {GetFullFileName()}));
}

void TORVTableFileManager::UnknownRestoreError(const TORVString& Msg) {
  FTableManager->RestoreError(
      FormatString(u"Unknown error occurred with the file %s (%s)", {GetFullFileName(), Msg}));
}

void TORVTableFileManager::CopyFileContents(TORVFileStream& Source, TORVFileStream& Target) {
  const int64_t Size = Source.GetSize();
  Source.SetPosition(0);
  if (Size > 0 && Target.CopyFrom(Source, Size) != Size)
    FTableManager->GetFileManager()->FileError(
        FormatString(u"Cannot copy the file %s to %s", {Source.GetFileName(), Target.GetFileName()}));
}

void TORVTableFileManager::CreateBackupCopy(bool UseRename) {
  TORVFileManager* Files = FTableManager->GetFileManager();
  if (UseRename) {
    Initialize();
    const TORVString Copy = GetFullBackupCopyFileName();
    if (Files->FileExists(Copy, {})) Files->DeleteFile(Copy);
    if (GetFileExists()) Files->RenameFile(GetFullFileName(), Copy);
    return;
  }
  std::unique_ptr<TORVFileStream> Copy = Files->CreateFile(GetFullBackupCopyFileName(), {foExclusive});
  CopyFileContents(*FFileStream, *Copy);
  Copy->Flush();
  Copy->Close();
}

void TORVTableFileManager::RestoreBackupCopy(bool UseRename) {
  TORVFileManager* Files = FTableManager->GetFileManager();
  const TORVString CopyName = GetFullBackupCopyFileName();
  if (UseRename) {
    Initialize();
    if (GetFileExists()) Files->DeleteFile(GetFullFileName());
    if (Files->FileExists(CopyName, {})) Files->RenameFile(CopyName, GetFullFileName());
    return;
  }
  if (!Files->FileExists(CopyName, {})) return;
  std::unique_ptr<TORVFileStream> Copy = Files->OpenFile(CopyName, {foExclusive});
  FFileStream->SetSize(0);
  FFileStream->SetPosition(0);
  CopyFileContents(*Copy, *FFileStream);
  FFileStream->Flush();
  Copy->Close();
}

void TORVTableFileManager::DropBackupCopy() {
  // An open file knows its name already; starting it afresh would throw
  // away its header and cache.
  if (!FFileStream) Initialize();
  TORVFileManager* Files = FTableManager->GetFileManager();
  const TORVString Copy = GetFullBackupCopyFileName();
  if (Files->FileExists(Copy, {})) Files->DeleteFile(Copy);
}

bool TORVTableFileManager::Backup(TORVFileStream& TargetFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                                  int32_t BackupCompression, bool WriteEmpty) {
  try {
    bool Result = true;
    if (!WriteEmpty) {
      TORVSessionManager& Session = FTableManager->GetSessionManager();
      TORVMemoryStream Chunk(-1);
      TORVMemoryStream Compressed(-1);
      Compressed.SetBlockSize(BackupChunkSize);
      FFileStream->SetPosition(0);
      while (Result && FFileStream->GetPosition() < FFileStream->GetSize()) {
        Chunk.SetSize(BackupChunkSize);
        const int32_t Got = FFileStream->Read(Chunk.GetMemory(), BackupChunkSize);
        if (Got <= 0) BackupReadError();
        Chunk.SetSize(Got);
        const uint8_t* Data = Chunk.GetMemory();
        int32_t Length = Got;
        if (BackupCompression > 0) {
          TORVCompressionManager& Compression = FTableManager->GetCompressionManager();
          Compression.SetCompressionLevel(BackupCompression);
          Chunk.SetPosition(0);
          Compressed.SetSize(0);
          Compressed.SetPosition(0);
          Compression.Compress(Chunk, Compressed);
          Data = Compressed.GetMemory();
          Length = static_cast<int32_t>(Compressed.GetSize());
        }
        if (TargetFileStream.WriteInteger(Length) != 4 || TargetFileStream.Write(Data, Length) != Length)
          BackupWriteError();
        CurrentSize += Got;
        Result = Session.CheckProgressInterval(ProgressPercent(CurrentSize, TotalBackupSize));
      }
    }
    if (TargetFileStream.WriteInteger(0) != 4) BackupWriteError();
    return Result;
  } catch (const EORVException& E) {
    if (E.ErrorCode() == ORV_BACKUP_ERROR.Code) throw;
    UnknownBackupError(E.ErrorMsg());
  } catch (const std::exception& E) {
    UnknownBackupError(Utf8ToString(E.what()));
  }
  throw std::logic_error("a backup error handler returned");
}

bool TORVTableFileManager::Restore(TORVFileStream& SourceFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                                   int32_t BackupCompression) {
  try {
    TORVSessionManager& Session = FTableManager->GetSessionManager();
    TORVMemoryStream Chunk(-1);
    TORVMemoryStream Decompressed(-1);
    Decompressed.SetBlockSize(BackupChunkSize);
    const int32_t MaxLength = BackupCompression > 0 ? MaxCompressedChunkSize : BackupChunkSize;
    FFileStream->SetSize(0);
    FFileStream->SetPosition(0);
    bool Result = true;
    int32_t Length = 0;
    do {
      Length = 0;
      if (SourceFileStream.ReadInteger(Length) != 4) Length = 0;
      // The length comes from the backup: it is checked against what a
      // chunk can be and what the backup still holds before anything is
      // allocated for it.
      if (Length < 0 || Length > MaxLength ||
          Length > SourceFileStream.GetSize() - SourceFileStream.GetPosition())
        RestoreReadError();
      int32_t Written = 0;
      if (Length > 0) {
        Chunk.SetSize(Length);
        if (SourceFileStream.Read(Chunk.GetMemory(), Length) != Length) RestoreReadError();
        const uint8_t* Data = Chunk.GetMemory();
        int32_t Size = Length;
        if (BackupCompression > 0) {
          Chunk.SetPosition(0);
          Decompressed.SetSize(0);
          Decompressed.SetPosition(0);
          FTableManager->GetCompressionManager().Decompress(Chunk, Decompressed, BackupChunkSize);
          Data = Decompressed.GetMemory();
          Size = static_cast<int32_t>(Decompressed.GetSize());
        }
        if (Size > 0 && FFileStream->Write(Data, Size) != Size) RestoreWriteError();
        Written = Size;
      }
      CurrentSize += Written;
      Result = Session.CheckProgressInterval(ProgressPercent(CurrentSize, TotalBackupSize));
    } while (Result && Length != 0);
    return Result;
  } catch (const EORVException& E) {
    if (E.ErrorCode() == ORV_RESTORE_ERROR.Code) throw;
    UnknownRestoreError(E.ErrorMsg());
  } catch (const std::exception& E) {
    UnknownRestoreError(Utf8ToString(E.what()));
  }
  throw std::logic_error("a restore error handler returned");
}

}  // namespace orv
