// The managers of views and routines. A view manager compiles its view,
// runs the view's query through query execution's view query manager and
// forwards every storage operation to the manager that really holds the
// rows: the innermost base table of a chain of updateable views, or the
// temporary result table of any other view. A routine manager keeps a
// procedure or function compiled and, for an external one, its module
// open. Both compile and prepare as the configuration's system user.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "base/orvtype.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "core/orvcommon.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvvirtualtablemgr.h"

namespace orv {

class TORVExprToken;

// The part of query execution that runs a view's query. Made for one view
// manager at open, freed at close.
class TORVViewQueryManager : public TORVBaseObject {
 public:
  virtual void Prepare() = 0;
  // A live result opens the source table's manager; any other fills a
  // temporary result table.
  virtual void OpenResultTableManager(bool LiveResult) = 0;
  virtual void CloseResultTableManager() = 0;
  // Nil while no result is open.
  virtual TORVVirtualTableManager* GetResultTableManager() = 0;
  virtual std::unique_ptr<TORVCursor> Execute(bool GenerateCursor, const TORVString& ResultCursorName,
                                              bool ReadOnlyCursor, bool IndexedCursor, bool ShowProgress) = 0;
  virtual void Reset() = 0;

  bool FWantLiveResult = false;
  bool FWantConstrained = false;
};

// Lifecycle: opened (view compiled, query manager made) -> initialised
// (result open, base table manager found) -> reset when idle (result
// closed, base table manager nil) -> closed (query manager freed, view
// decompiled). Storage operations need the base table manager: on a
// manager that is not initialised they raise the not-open error (402)
// naming the operation.
class TORVViewManager : public TORVVirtualTableManager {
 public:
  TORVViewManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVView* ViewToManage);
  ~TORVViewManager() override;

  void InternalOpen() override;
  void InternalInitialize() override;
  void InternalReset() override;
  void InternalClose() override;

  // Runs the view's query again (its sub-queries, derived tables and
  // running sums start over) into a new cursor.
  std::unique_ptr<TORVCursor> CreateCursor(const TORVString& CursorName, bool OpenReadOnly, bool OpenExclusive,
                                           bool Indexed) override;
  // Depth first over Token: query and table-reference values run again,
  // running sums are cleared; ResetQueryExecution gives their results back.
  static void InitializeQueryExecution(TORVExprToken* Token);
  static void ResetQueryExecution(TORVExprToken* Token);
  // Follows the result table managers through views over views.
  void SetBaseTableManager();

  TORVView* GetView() const { return FView; }
  TORVViewQueryManager* GetQueryManager() const { return FQueryManager.get(); }
  TORVVirtualTableManager* GetBaseTableManager() const { return FBaseTableManager; }

  TORVRowsetManager* RowsetManager() override;
  TORVIndexManager* IndexManager() override;
  TORVBlobManager* BlobManager() override;
  TORVPublishedUpdatesManager* PublishedUpdatesManager() override;
  int32_t GetRowCount() override;
  int32_t GetPhysicalRowCount() override;
  int32_t GetRowSize() override;
  int32_t GetUpdateCounter() override;
  int32_t GetBatchSize() override;
  bool GetEncrypted() override;
  // The base table's own columns and indexes, not the view's.
  TORVColumns& GetColumns() const override;
  TORVIndexes& GetIndexes() const override;
  void InsertRow(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                 int32_t& NewRowUpdateCounter, bool KeepExistingValues) override;
  void UpdateRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                 int32_t& ExistingRowUpdateCounter) override;
  void DeleteRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                 int32_t& ExistingRowUpdateCounter) override;
  bool CheckForChanges(bool ManualRefresh) override;
  void BeginBatchUpdate() override;
  void FlushBatchUpdate() override;
  void EndBatchUpdate() override;
  void AbortBatchUpdate() override;
  void Flush() override;
  void Refresh(int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter, int32_t RowID,
               bool SkipRowModifiedCheck, bool ForceRowModifiedCheck) override;
  bool LockAndRefresh(TORVBaseObject* RowOwner, int32_t RowNumber, int32_t RowVersion, int32_t RowUpdateCounter,
                      int32_t RowID, bool SkipRowModifiedCheck, bool ForceRowModifiedCheck,
                      bool KeepTransactionLock) override;
  void CheckLockVisibility(int32_t LockedRowNumber, int32_t RowNumber) override;
  void Unlock(int32_t RowNumber) override;
  void UnlockAll(TORVBaseObject* LockOwner) override;
  std::unique_ptr<TORVRowsetRow> CreateNewRow() override;
  TORVRowsetRow* GetRow(int32_t RowNumber, int32_t Direction) override;
  void PutRow(TORVRowsetRow* Row) override;
  bool CreateIndex(int32_t IndexNumber, bool CreateEmpty) override;
  void BeginAlterIndex(int32_t IndexNumber) override;
  bool EndAlterIndex(int32_t IndexNumber, bool RemoveDuplicateRows) override;
  void CancelAlterIndex(int32_t IndexNumber) override;
  bool DropIndex(int32_t IndexNumber, bool CreateBackup) override;
  bool Empty(bool IgnoreConstraints) override;
  void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                      bool Decompress) override;
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override;
  void ReadPublishedUpdatesStream(int32_t& BlockNumber, TORVMemoryStream& PublishedUpdatesStream,
                                  bool Decompress) override;
  void WritePublishedUpdatesStream(TORVMemoryStream& PublishedUpdatesStream,
                                   int32_t PublishedUpdatesCompression) override;

 private:
  // The base table manager, or the not-open error naming Operation.
  TORVVirtualTableManager& Base(const char16_t* Operation) const;
  TORVViewQueryManager& QueryManager(const char16_t* Operation) const;
  [[noreturn]] void NotOpenError(const char16_t* Operation) const;

  TORVView* FView;
  std::unique_ptr<TORVViewQueryManager> FQueryManager;
  TORVVirtualTableManager* FBaseTableManager = nullptr;
};

// Opened (routine compiled, an external module open) -> initialised (an
// SQL routine's tree prepared) -> reset -> closed (module closed, routine
// decompiled). Closing never fails: InternalClose logs what it meets.
class TORVRoutineManager : public TORVSchemaObjectManager {
 public:
  // The function code a failed close is logged under.
  static constexpr int32_t CloseFunctionCode = 0;

  TORVRoutineManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVRoutine* RoutineToManage);

  void InternalOpen() override;
  void InternalInitialize() override;
  void InternalReset() override;
  void InternalClose() override;

  TORVRoutine* GetRoutine() const { return FRoutine; }

 private:
  TORVRoutine* FRoutine;
};

// The managers of the views or the routines of a database, each made as
// TManager for its TObject.
template <class TManager, class TObject>
class TORVObjectKindManagers : public TORVSchemaObjectManagers {
 public:
  static constexpr int32_t MaximumCapacity = 4096;
  using TORVSchemaObjectManagers::TORVSchemaObjectManagers;
  std::unique_ptr<TORVSchemaObjectManager> CreateNew(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                     TORVPrivilegedSchemaObject* SchemaObject) override {
    auto* Object = dynamic_cast<TObject*>(SchemaObject);
    if (Object == nullptr) throw std::logic_error("a manager for an object of another kind");
    return std::make_unique<TManager>(OwnerDatabaseManager, Object);
  }
  int32_t GetMaximumCapacity() const override { return MaximumCapacity; }
};

using TORVViewManagers = TORVObjectKindManagers<TORVViewManager, TORVView>;
using TORVRoutineManagers = TORVObjectKindManagers<TORVRoutineManager, TORVRoutine>;

}  // namespace orv
