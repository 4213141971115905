// A table-like object's manager for tests of what the base class does
// around the storage steps: every storage operation a test does not use
// breaks the test's contract loudly.
#pragma once

#include <memory>
#include <stdexcept>

#include "eval/orvvirtualtablemgr.h"

namespace orv::test {

class TUnusedStorageTableManager : public TORVVirtualTableManager {
 public:
  using TORVVirtualTableManager::TORVVirtualTableManager;

  TORVRowsetManager* RowsetManager() override { Unused(); }
  TORVIndexManager* IndexManager() override { Unused(); }
  TORVBlobManager* BlobManager() override { Unused(); }
  TORVPublishedUpdatesManager* PublishedUpdatesManager() override { Unused(); }
  int32_t GetRowCount() override { Unused(); }
  int32_t GetPhysicalRowCount() override { Unused(); }
  int32_t GetRowSize() override { Unused(); }
  int32_t GetUpdateCounter() override { Unused(); }
  int32_t GetBatchSize() override { Unused(); }
  bool GetEncrypted() override { Unused(); }
  TORVColumns& GetColumns() const override { Unused(); }
  TORVIndexes& GetIndexes() const override { Unused(); }
  void InsertRow(TORVRowValues&, int32_t&, int32_t&, int32_t&, bool) override { Unused(); }
  void UpdateRow(TORVRowValues&, int32_t, int32_t, int32_t&) override { Unused(); }
  void DeleteRow(TORVRowValues&, int32_t, int32_t, int32_t&) override { Unused(); }
  bool CheckForChanges(bool) override { Unused(); }
  void BeginBatchUpdate() override { Unused(); }
  void FlushBatchUpdate() override { Unused(); }
  void EndBatchUpdate() override { Unused(); }
  void AbortBatchUpdate() override { Unused(); }
  void Flush() override { Unused(); }
  void Refresh(int32_t, int32_t, int32_t, int32_t, bool, bool) override { Unused(); }
  bool LockAndRefresh(TORVBaseObject*, int32_t, int32_t, int32_t, int32_t, bool, bool, bool) override { Unused(); }
  void CheckLockVisibility(int32_t, int32_t) override { Unused(); }
  void Unlock(int32_t) override { Unused(); }
  void UnlockAll(TORVBaseObject*) override { Unused(); }
  std::unique_ptr<TORVRowsetRow> CreateNewRow() override { Unused(); }
  TORVRowsetRow* GetRow(int32_t, int32_t) override { Unused(); }
  void PutRow(TORVRowsetRow*) override { Unused(); }
  bool CreateIndex(int32_t, bool) override { Unused(); }
  void BeginAlterIndex(int32_t) override { Unused(); }
  bool EndAlterIndex(int32_t, bool) override { Unused(); }
  void CancelAlterIndex(int32_t) override { Unused(); }
  bool DropIndex(int32_t, bool) override { Unused(); }
  void ReadBlobStream(int32_t, int32_t, TORVMemoryStream&, bool) override { Unused(); }
  void WriteBlobStream(int32_t, int32_t&, TORVMemoryStream&, int32_t, int32_t&) override { Unused(); }
  void ReadPublishedUpdatesStream(int32_t&, TORVMemoryStream&, bool) override { Unused(); }
  void WritePublishedUpdatesStream(TORVMemoryStream&, int32_t) override { Unused(); }

 private:
  [[noreturn]] static void Unused() { throw std::logic_error("a storage operation this test does not supply"); }
};

}  // namespace orv::test
