// A base table's manager beside SQLite over the same rows: inserts through
// InsertRow into a table with one secondary index and a default column,
// then updates and deletes of rows found through that index. All in one
// transaction, and single-row operations outside one; the engine's table
// shared (every write checks the other sessions' headers first) and held
// exclusively. ORV_BENCH_ROWS sets the row count (1,000,000 by default).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchdatabase.h"
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "core/orvtypefunc.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtablemgr.h"
#include "eval/orvtriggereval.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexnav.h"
#include "storage/orvrowsfile.h"
#include "tests/storage/orvlocktestobjects.h"

namespace orv::bench {
namespace {

constexpr int32_t SingleOperations = 10000;
constexpr int32_t AmountColumn = 2;
constexpr int32_t LabelColumn = 3;
// Rows share each Amount ten at a time, so that a look-up by the index
// finds a group.
int32_t AmountOf(int32_t Index) { return Index / 10; }

// The table Bench (row ID, ID, Amount indexed, Label with a default) and
// its manager, opened shared or exclusive in a fresh folder.
class TBenchUse {
 public:
  explicit TBenchUse(bool Exclusive) : FFolder(MakeBenchFolder("orvtablemgr")) {
    FFiles.Initialize();
    FTable.SetName(u"Bench");
    FTable.SetInternalName(u"Bench");
    FTable.SetLockSlot(1);
    TORVColumns& Columns = FTable.GetColumns();
    AddBenchColumn(Columns, u"__RowID", 1, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"ID", 2, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"Amount", 3, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"Label", 4, dtCharacter, stVarChar, TextLength)->SetDefaulted(true);
    Columns.SetupColumnInformation();
    FTable.SetDefaultsEnabled(true);
    AddBenchIndex(FTable, u"ByAmount", itIndex, AmountColumn);
    FDatabase = std::make_unique<TBenchDatabase>(&FFiles, FFolder);
    FManager = std::make_unique<TORVTableManager>(FDatabase.get(), &FTable);
    FManager->LockObject(Exclusive ? ltExclusive : ltShared);
    FExclusive = Exclusive;
    FManager->Open(false);
    FRow = FManager->CreateNewRow();
    FFound = FManager->CreateNewRow();
    FValues = std::make_unique<TORVRowsetRowValues>(FManager->RowsetManager(), CharacterSetAnsi);
    FSearch = std::make_unique<TORVRowsetRowValues>(FManager->RowsetManager(), CharacterSetAnsi);
    FSearch->SetRow(FFound.get());
  }
  ~TBenchUse() {
    FValues.reset();
    FSearch.reset();
    FManager->Flush();
    FManager->Close(true, false, false);
    FManager->UnlockObject(FExclusive ? ltExclusive : ltShared);
    FManager.reset();
    FDatabase.reset();
    std::filesystem::remove_all(FFolder);
  }

  void StartTransaction() {
    FTable.StartTransaction();
    FManager->StartTransaction(true);
  }
  void Commit() {
    FManager->Commit(false);
    FTable.EndTransaction();
  }

  void Insert(int32_t Index) {
    FRow->Initialize();
    FValues->SetRow(FRow.get());
    FValues->Clear();
    FValues->GetItems(1)->SetAsInteger(Index);
    FValues->GetItems(AmountColumn)->SetAsInteger(AmountOf(Index));
    int32_t Number = 0;
    int32_t Version = 0;
    int32_t Counter = 0;
    FManager->InsertRow(*FValues, Number, Version, Counter, false);
  }
  // The first row with Amount through the index, locked and refreshed as
  // a statement finds it; its number, or 0.
  int32_t FindAndLock(int32_t Amount) {
    FSearch->GetItems(AmountColumn)->SetAsInteger(Amount);
    if (!FManager->GetRowForKey(*FRow, *FSearch, true, 0)) return 0;
    const int32_t Number = FManager->GetIndexNavigator(0).GetRowNumber();
    FManager->LockAndRefresh(&FUser, Number, FRow->GetVersion(), FRow->GetUpdateCounter(), FRow->GetRowID(), true,
                             false, false);
    FValues->SetRow(FRow.get());
    return Number;
  }
  void UpdateByAmount(int32_t Amount, int32_t NewAmount) {
    const int32_t Number = FindAndLock(Amount);
    if (Number == 0) std::abort();
    FValues->GetItems(AmountColumn)->SetAsInteger(NewAmount);
    int32_t Counter = FRow->GetUpdateCounter();
    FManager->UpdateRow(*FValues, Number, FRow->GetVersion(), Counter);
    FManager->Unlock(Number);
  }
  void DeleteByAmount(int32_t Amount) {
    const int32_t Number = FindAndLock(Amount);
    if (Number == 0) std::abort();
    int32_t Counter = FRow->GetUpdateCounter();
    FManager->DeleteRow(*FValues, Number, FRow->GetVersion(), Counter);
    FManager->Unlock(Number);
  }

 private:
  std::filesystem::path FFolder;
  TSharedFiles FFiles;
  TORVBaseTable FTable;
  std::unique_ptr<TBenchDatabase> FDatabase;
  std::unique_ptr<TORVTableManager> FManager;
  std::unique_ptr<TORVRowsetRow> FRow;
  std::unique_ptr<TORVRowsetRow> FFound;
  std::unique_ptr<TORVRowsetRowValues> FValues;
  std::unique_ptr<TORVRowsetRowValues> FSearch;
  TORVBaseObject FUser;
  bool FExclusive = false;
};

// SQLite's side: the same table and index, a page cache the size of the
// engine's buffers, prepared statements.
class TSQLiteUse {
 public:
  TSQLiteUse() : FFolder(MakeBenchFolder("orvtablemgr-sqlite")), FDatabase((FFolder / "bench.db").string()) {
    FDatabase.Exec("PRAGMA cache_size=-4096");
    FDatabase.Exec(
        "CREATE TABLE Bench (RowID INTEGER PRIMARY KEY, ID INTEGER, Amount INTEGER, Label VARCHAR(80) DEFAULT "
        "'default')");
    FDatabase.Exec("CREATE INDEX ByAmount ON Bench (Amount)");
    FInsert = std::make_unique<TBenchStatement>(FDatabase, "INSERT INTO Bench (ID, Amount) VALUES (?, ?)");
    FUpdate = std::make_unique<TBenchStatement>(
        FDatabase, "UPDATE Bench SET Amount = ? WHERE RowID = (SELECT RowID FROM Bench WHERE Amount = ? LIMIT 1)");
    FDelete = std::make_unique<TBenchStatement>(
        FDatabase, "DELETE FROM Bench WHERE RowID = (SELECT RowID FROM Bench WHERE Amount = ? LIMIT 1)");
  }
  ~TSQLiteUse() {
    FInsert.reset();
    FUpdate.reset();
    FDelete.reset();
    std::filesystem::remove_all(FFolder);
  }
  void Exec(const char* Sql) { FDatabase.Exec(Sql); }
  void Insert(int32_t Index) {
    FInsert->Bind(1, Index);
    FInsert->Bind(2, AmountOf(Index));
    FInsert->Step();
    FInsert->Reset();
  }
  void UpdateByAmount(int32_t Amount, int32_t NewAmount) {
    FUpdate->Bind(1, NewAmount);
    FUpdate->Bind(2, Amount);
    FUpdate->Step();
    FUpdate->Reset();
  }
  void DeleteByAmount(int32_t Amount) {
    FDelete->Bind(1, Amount);
    FDelete->Step();
    FDelete->Reset();
  }

 private:
  std::filesystem::path FFolder;
  TBenchSQLite FDatabase;
  std::unique_ptr<TBenchStatement> FInsert;
  std::unique_ptr<TBenchStatement> FUpdate;
  std::unique_ptr<TBenchStatement> FDelete;
};

// Count inserts, then Count / 10 updates that move the first row of a group
// to a new group past the others, then Count / 10 deletes of the first row
// of another group.
template <typename TUse>
void Work(TUse& Use, int32_t Count) {
  for (int32_t Index = 0; Index < Count; ++Index) Use.Insert(Index);
  const int32_t Groups = Count / 10;
  for (int32_t Group = 0; Group < Groups; ++Group) Use.UpdateByAmount(Group, Groups + Group);
  for (int32_t Group = 0; Group < Groups; ++Group) Use.DeleteByAmount(Groups + Group);
}

void InOneTransaction(benchmark::State& State, bool Exclusive) {
  const int32_t Count = BenchRowCount();
  std::unique_ptr<TBenchUse> Engine;
  std::unique_ptr<TSQLiteUse> SQLite;
  RunAgainstSQLite(
      State, Count + Count / 5,
      [&] {
        Engine = std::make_unique<TBenchUse>(Exclusive);
        Engine->StartTransaction();
        Work(*Engine, Count);
        Engine->Commit();
        Engine.reset();
      },
      [&] {
        SQLite = std::make_unique<TSQLiteUse>();
        SQLite->Exec("BEGIN");
        Work(*SQLite, Count);
        SQLite->Exec("COMMIT");
        SQLite.reset();
      });
}

void OutsideATransaction(benchmark::State& State, bool Exclusive) {
  RunAgainstSQLite(
      State, SingleOperations + SingleOperations / 5,
      [&] {
        TBenchUse Engine(Exclusive);
        Work(Engine, SingleOperations);
      },
      [&] {
        TSQLiteUse SQLite;
        Work(SQLite, SingleOperations);
      });
}

void BM_TableManagerInOneTransactionShared(benchmark::State& State) { InOneTransaction(State, false); }
void BM_TableManagerInOneTransactionExclusive(benchmark::State& State) { InOneTransaction(State, true); }
void BM_TableManagerSingleRowsShared(benchmark::State& State) { OutsideATransaction(State, false); }
void BM_TableManagerSingleRowsExclusive(benchmark::State& State) { OutsideATransaction(State, true); }

BENCHMARK(BM_TableManagerInOneTransactionShared)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_TableManagerInOneTransactionExclusive)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_TableManagerSingleRowsShared)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_TableManagerSingleRowsExclusive)->Apply(RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv::bench
