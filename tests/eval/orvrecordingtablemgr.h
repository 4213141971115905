// A table-like object's manager for tests of what the base class does
// around the storage steps: every storage operation a test does not use
// breaks the test's contract loudly.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/orvutf8.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "eval/orvvirtualtablemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvrowsfile.h"
#include "storage/orvtablefileowner.h"
#include "tests/eval/orvtestdatabase.h"

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

// What the row buffers of a table need of its files' owner; nothing here
// reaches a file.
class TInMemoryTableFiles : public TORVTableFileOwner {
 public:
  TInMemoryTableFiles(TORVBaseTable* Table, TORVSessionManager& Session)
      : TORVTableFileOwner(Table, nullptr), FSession(Session) {}

  bool CheckForChanges(bool /*ManualRefresh*/) override { return false; }
  TORVSessionManager& GetSessionManager() override { return FSession; }
  TORVEngineManagerSettings& GetSessionSettings() override { return FSettings; }
  TORVCompressionManager& GetCompressionManager() override { return FCompression; }
  int32_t GetSessionHandle() override { return 1; }
  TORVString GetDatabaseName() override { return u"Main"; }
  TORVString GetDatabaseFullPath() override { return u"/memory"; }
  bool GetDatabaseSessionIsolation() override { return false; }
  bool GetInInformationSchema() override { return false; }
  void LogEvent(int32_t, int32_t, int32_t, const TORVString&) override {}
  void BackupError(const TORVString&) override { Unused(); }
  void RestoreError(const TORVString&) override { Unused(); }
  void ReadBlobStream(int32_t, int32_t, TORVMemoryStream&, bool) override { Unused(); }
  void WriteBlobStream(int32_t, int32_t&, TORVMemoryStream&, int32_t, int32_t&) override { Unused(); }
  int32_t GetBlobVersion(int32_t) override { Unused(); }
  void EvaluateRow(TORVRowValues&, TORVExprToken*, TORVValue&) override { Unused(); }
  int32_t GetRowsetLastNumber() override { return 0; }

 private:
  [[noreturn]] static void Unused() { throw std::logic_error("a file operation of a table kept in memory"); }

  TORVSessionManager& FSession;
  TORVEngineManagerSettings FSettings{nullptr};
  TORVCompressionManager FCompression;
};

// A row buffer of the table and its values, as a cursor holds them.
struct TTableRow {
  std::unique_ptr<TORVRowsetRow> Row;
  std::unique_ptr<TORVRowsetRowValues> Values;
};

// A table manager that keeps its rows in memory and writes each storage
// step and row-lock call to the database's log ("insert 1", "update 1",
// "delete 1", "lock 1" or with the modification check forced "lock forced 1",
// "refresh 1", "unlock 1"). FailStep runs before
// each storage step, named "insert", "update" or "delete", and may raise.
class TRecordingTableManager : public TUnusedStorageTableManager {
 public:
  struct TStoredRow {
    TORVBytes Image;
    int32_t Version = 1;
    int32_t UpdateCounter = 0;
  };

  TRecordingTableManager(TTestDatabase& Database, TORVBaseTable* Table)
      : TUnusedStorageTableManager(&Database, Table),
        FDatabase(Database),
        FFiles(Table, Database.GetSessionManager()),
        FRows(std::make_unique<TORVRowsetManager>(&FFiles)) {}

  TORVRowsetManager* RowsetManager() override { return FRows.get(); }
  TORVColumns& GetColumns() const override { return FFiles.GetColumns(); }
  int32_t GetRowCount() override { return static_cast<int32_t>(Rows.size()); }

  void InsertRow(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                 int32_t& NewRowUpdateCounter, bool /*KeepExistingValues*/) override {
    if (FailStep) FailStep("insert");
    NewRowNumber = NextRowNumber++;
    NewRowValues.GetItems(0)->SetAsInteger(NewRowNumber);
    TStoredRow& Stored = Rows[NewRowNumber];
    Stored.Image = ImageOf(NewRowValues);
    // As a table's storage steps do: AFTER triggers see what changed
    // through the values' LastModified flags.
    NewRowValues.SetModified(false);
    NewRowVersion = Stored.Version;
    NewRowUpdateCounter = Stored.UpdateCounter;
    Log("insert", NewRowNumber);
  }
  void UpdateRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t /*ExistingRowVersion*/,
                 int32_t& ExistingRowUpdateCounter) override {
    if (FailStep) FailStep("update");
    TStoredRow& Stored = Existing(ExistingRowNumber);
    Stored.Image = ImageOf(ExistingRowValues);
    ExistingRowValues.SetModified(false);
    ExistingRowUpdateCounter = ++Stored.UpdateCounter;
    Log("update", ExistingRowNumber);
  }
  void DeleteRow(TORVRowValues& ExistingRowValues, int32_t ExistingRowNumber, int32_t /*ExistingRowVersion*/,
                 int32_t& /*ExistingRowUpdateCounter*/) override {
    if (FailStep) FailStep("delete");
    Existing(ExistingRowNumber);
    Rows.erase(ExistingRowNumber);
    ExistingRowValues.SetModified(false);
    Log("delete", ExistingRowNumber);
  }

  void Refresh(int32_t RowNumber, int32_t, int32_t, int32_t, bool, bool) override {
    Log("refresh", RowNumber);
    Existing(RowNumber);
  }
  bool LockAndRefresh(TORVBaseObject*, int32_t RowNumber, int32_t, int32_t, int32_t, bool, bool ForceRowModifiedCheck,
                      bool) override {
    Log(ForceRowModifiedCheck ? "lock forced" : "lock", RowNumber);
    if (!LockTakes) return false;
    ++LocksHeld;
    Existing(RowNumber);
    return true;
  }
  void Unlock(int32_t RowNumber) override {
    Log("unlock", RowNumber);
    --LocksHeld;
  }

  std::unique_ptr<TORVRowsetRow> CreateNewRow() override {
    auto Row = std::make_unique<TORVRowsetRow>(FRows.get());
    Row->Initialize();
    return Row;
  }
  TORVRowsetRow* GetRow(int32_t RowNumber, int32_t /*Direction*/) override {
    const TStoredRow& Stored = Existing(RowNumber);
    std::unique_ptr<TORVRowsetRow> Row = CreateNewRow();
    TORVMemoryStream& Buffer = Row->GetBufferStream();
    std::memcpy(Buffer.GetMemory(), Stored.Image.data(),
                std::min(Stored.Image.size(), static_cast<size_t>(Buffer.GetSize())));
    Row->SetVersion(Stored.Version);
    TORVRowsetRow* Lent = Row.get();
    FLent[Lent] = std::move(Row);
    return Lent;
  }
  void PutRow(TORVRowsetRow* Row) override {
    if (FLent.erase(Row) != 1) throw std::logic_error("a row given back that was not lent");
  }

  // A row buffer of the table with every column NULL.
  TTableRow NewRow() {
    TTableRow Result{CreateNewRow(), nullptr};
    Result.Values = std::make_unique<TORVRowsetRowValues>(FRows.get(), GetSessionManager().GetCharacterSet());
    Result.Values->SetRow(Result.Row.get());
    Result.Values->Clear();
    return Result;
  }
  // Stored row RowNumber, as a cursor that read it holds it: nothing
  // modified.
  TTableRow ReadRow(int32_t RowNumber) {
    TTableRow Result = NewRow();
    const TStoredRow& Stored = Existing(RowNumber);
    std::memcpy(Result.Row->GetBufferStream().GetMemory(), Stored.Image.data(), Stored.Image.size());
    Result.Values->Reset();
    return Result;
  }
  int32_t GetLentRows() const { return static_cast<int32_t>(FLent.size()); }

  std::map<int32_t, TStoredRow> Rows;
  int32_t NextRowNumber = 1;
  std::function<void(const std::string& Step)> FailStep;
  bool LockTakes = true;
  int32_t LocksHeld = 0;

 private:
  TStoredRow& Existing(int32_t RowNumber) {
    const auto Found = Rows.find(RowNumber);
    if (Found == Rows.end()) RowDeletedError();
    return Found->second;
  }
  static TORVBytes ImageOf(TORVRowValues& Values) {
    const TORVMemoryStream& Buffer = *Values.GetBufferStream();
    return TORVBytes(Buffer.GetMemory(), Buffer.GetMemory() + Buffer.GetSize());
  }
  void Log(const std::string& Step, int32_t RowNumber) {
    FDatabase.Log.push_back(Step + " " + std::to_string(RowNumber));
  }

  TTestDatabase& FDatabase;
  mutable TInMemoryTableFiles FFiles;
  std::unique_ptr<TORVRowsetManager> FRows;
  std::map<TORVRowsetRow*, std::unique_ptr<TORVRowsetRow>> FLent;
};

}  // namespace orv::test
