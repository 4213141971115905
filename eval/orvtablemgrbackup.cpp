// The table's part of a database backup and restore: its files one after
// the other, in the order rows, index, BLOB, published updates, each as
// the file managers' chunked backup form. That order is the backup file
// format, so it never changes.
#include "catalog/orvtable.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtablemgr.h"
#include "storage/orvfilemgr.h"
#include "storage/orvblobfile.h"
#include "storage/orvindexmgr.h"
#include "storage/orvpublishfile.h"
#include "storage/orvrowsfile.h"

namespace orv {

bool TORVTableManager::Backup(TORVFileStream& TargetFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                              int32_t BackupCompression, bool BackupUpdates) {
  bool Result = true;
  for (TORVTableFileManager* File : TableFiles()) {
    // Without its updates a published table still gets its section, empty.
    const bool WriteEmpty = File == FPublishedUpdatesManager.get() && !BackupUpdates;
    Result = File->Backup(TargetFileStream, TotalBackupSize, CurrentSize, BackupCompression, WriteEmpty);
    if (!Result) break;
  }
  return Result;
}

bool TORVTableManager::Restore(TORVFileStream& SourceFileStream, int64_t TotalBackupSize, int64_t& CurrentSize,
                               int32_t BackupCompression) {
  bool Result = FRowsetManager->Restore(SourceFileStream, TotalBackupSize, CurrentSize, BackupCompression);
  if (Result) Result = FIndexManager->Restore(SourceFileStream, TotalBackupSize, CurrentSize, BackupCompression);
  if (!Result) return false;
  if (HasBlobFile())
    Result = FBlobManager->Restore(SourceFileStream, TotalBackupSize, CurrentSize, BackupCompression);
  else
    DropFiles(false, false, true, false);
  if (!Result) return false;
  if (!HasPublishedFile()) {
    // A published-updates file left from before belongs to no table now.
    DropFiles(false, false, false, true);
    return true;
  }
  Result = FPublishedUpdatesManager->Restore(SourceFileStream, TotalBackupSize, CurrentSize, BackupCompression);
  if (Result && FPublishedUpdatesManager->GetFileStream()->GetSize() == 0) {
    // An updates section backed up empty gives the file a fresh header.
    FPublishedUpdatesManager->SetModified(true);
    FPublishedUpdatesManager->Write(false);
  }
  return Result;
}

void TORVTableManager::DropFiles(bool Rows, bool Indexes, bool Blobs, bool Updates) {
  ForFiles(true, Rows, Indexes, Blobs, Updates,
           [](TORVTableFileManager& File) { UndoAfterFailure([&File] { File.Drop(); }); });
}

}  // namespace orv
