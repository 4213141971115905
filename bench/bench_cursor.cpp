// A local cursor over a million rows (an Integer ID and Amount and an
// 80-character VarChar Label) beside SQLite over the same rows on the same
// disk: a full scan through First, Next and GetCurrentRow against a full
// table scan, and random positioning by row number with SetRowNumber and
// GetCurrentRow against rowid look-ups. SQLite's page cache is the engine's
// row and index buffers summed. The scans run twice for the engine: over
// files shared with other sessions, where each operation checks the other
// sessions' headers under the table's read lock, and with exclusive file
// access and an exclusive table lock, where it does not. Each case reports
// EngineToSQLite, the engine's time over SQLite's for the same work in the
// same run; the cases are repeated and report medians.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchdatabase.h"
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursorrow.h"
#include "catalog/orvtable.h"
#include "core/orvlocktype.h"
#include "eval/orvtablemgr.h"
#include "exec/orvlocalcursor.h"
#include "storage/orvindexmgr.h"
#include "storage/orvosfilemgr.h"
#include "storage/orvrowsfile.h"

namespace orv::bench {
namespace {

constexpr int32_t RowCount = 1000000;
constexpr int32_t RandomReads = 100000;
constexpr int32_t AmountColumn = 2;
constexpr int32_t LabelColumn = 3;
// Rows loaded between two writes of the files; none is flushed.
constexpr int32_t RowsPerWrite = 16384;

// Files that one process holds for itself.
class TExclusiveFiles : public TORVOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return true; }
};

// The engine's table of a million rows and one session's manager of it,
// shared with other sessions or held exclusively.
class TEngineStore {
 public:
  explicit TEngineStore(bool Exclusive)
      : FFolder(MakeBenchFolder(Exclusive ? "orvcursor-exclusive" : "orvcursor-shared")), FExclusive(Exclusive) {
    if (Exclusive)
      FFiles = std::make_unique<TExclusiveFiles>();
    else
      FFiles = std::make_unique<TSharedFiles>();
    FFiles->Initialize();
    FTable.SetName(u"Bench");
    FTable.SetInternalName(u"Bench");
    FTable.SetLockSlot(1);
    TORVColumns& Columns = FTable.GetColumns();
    AddBenchColumn(Columns, u"__RowID", 1, dtInteger, 0, 0)->SetHidden(true);
    AddBenchColumn(Columns, u"ID", 2, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"Amount", 3, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"Label", 4, dtCharacter, stVarChar, TextLength);
    Columns.SetupColumnInformation();
    FDatabase = std::make_unique<TBenchDatabase>(FFiles.get(), FFolder);
    FManager = std::make_unique<TORVTableManager>(FDatabase.get(), &FTable);
    FManager->LockObject(Exclusive ? ltExclusive : ltShared);
    FManager->Open(false);
    Load();
  }
  ~TEngineStore() {
    FManager->Close(true, false, false);
    FManager->UnlockObject(FExclusive ? ltExclusive : ltShared);
    FManager.reset();
    FDatabase.reset();
    std::filesystem::remove_all(FFolder);
  }

  // A cursor that takes over one more use of the manager.
  std::unique_ptr<TORVLocalCursor> NewCursor() {
    FManager->Open(false);
    return std::make_unique<TORVLocalCursor>(FManager.get(), u"c", true, false);
  }
  // The bytes of the row and index buffers.
  int64_t CacheBytes() const {
    TORVRowsetManager& Rows = *FManager->RowsetManager();
    TORVIndexManager& Index = *FManager->IndexManager();
    return static_cast<int64_t>(Rows.GetMaxBufferCount()) * Rows.GetBufferSize() +
           static_cast<int64_t>(Index.GetMaxBufferCount()) * Index.GetBufferSize();
  }

 private:
  void Load() {
    auto Row = FManager->CreateNewRow();
    TORVRowsetRowValues Values(FManager->RowsetManager(), CharacterSetAnsi);
    FTable.StartTransaction();
    FManager->StartTransaction(true);
    for (int32_t Index = 1; Index <= RowCount; ++Index) {
      Row->Initialize();
      Values.SetRow(Row.get());
      Values.Clear();
      Values.GetItems(1)->SetAsInteger(Index);
      Values.GetItems(AmountColumn)->SetAsInteger(Index % 1000);
      Values.GetItems(LabelColumn)->SetAsString(Utf8ToString(BenchText(Index)));
      int32_t Number = 0;
      int32_t Version = 0;
      int32_t Counter = 0;
      FManager->InsertRow(Values, Number, Version, Counter, false);
      if (Index % RowsPerWrite == 0) {
        FManager->Commit(false);
        FManager->StartTransaction(true);
      }
    }
    FManager->Commit(false);
    FTable.EndTransaction();
  }

  std::filesystem::path FFolder;
  bool FExclusive;
  std::unique_ptr<TORVOSFileManager> FFiles;
  TORVBaseTable FTable;
  std::unique_ptr<TBenchDatabase> FDatabase;
  std::unique_ptr<TORVTableManager> FManager;
};

class TSQLiteStore {
 public:
  explicit TSQLiteStore(int64_t CacheBytes)
      : FFolder(MakeBenchFolder("orvcursor-sqlite")), FDatabase((FFolder / "bench.db").string()) {
    const std::string Cache = "PRAGMA cache_size=-" + std::to_string(CacheBytes / 1024);
    FDatabase.Exec(Cache.c_str());
    FDatabase.Exec("CREATE TABLE Bench (RowID INTEGER PRIMARY KEY, ID INTEGER, Amount INTEGER, Label VARCHAR(80))");
    FDatabase.Exec("BEGIN");
    TBenchStatement Insert(FDatabase, "INSERT INTO Bench (RowID, ID, Amount, Label) VALUES (?, ?, ?, ?)");
    for (int32_t Index = 1; Index <= RowCount; ++Index) {
      const std::string Label = BenchText(Index);
      Insert.Bind(1, Index);
      Insert.Bind(2, Index);
      Insert.Bind(3, Index % 1000);
      Insert.Bind(4, Label);
      Insert.Step();
      Insert.Reset();
    }
    FDatabase.Exec("COMMIT");
  }
  ~TSQLiteStore() { std::filesystem::remove_all(FFolder); }
  TBenchSQLite& Database() { return FDatabase; }

 private:
  std::filesystem::path FFolder;
  TBenchSQLite FDatabase;
};

struct TStores {
  TStores() : Shared(false), Exclusive(true), SQLite(Shared.CacheBytes()) {}
  TEngineStore Shared;
  TEngineStore Exclusive;
  TSQLiteStore SQLite;
};

std::unique_ptr<TStores>& StoresSlot() {
  static std::unique_ptr<TStores> Slot;
  return Slot;
}

// Made by the first case that needs them. They go at exit before the
// engine's own statics that their files still use (registered after those
// were made, the release runs before they are destroyed).
TStores& Stores() {
  std::unique_ptr<TStores>& Slot = StoresSlot();
  if (!Slot) {
    Slot = std::make_unique<TStores>();
    std::atexit([] { StoresSlot().reset(); });
  }
  return *Slot;
}

// What a reader takes from a cursor row: the Amount and the Label.
int64_t TakeCursorRow(TORVCursorRow& Row, TORVString& Label) {
  Label = Row.GetValues()->GetItems(LabelColumn)->GetAsString();
  return Row.GetValues()->GetItems(AmountColumn)->GetAsInteger() + static_cast<int64_t>(Label.size());
}

int64_t ScanCursor(TEngineStore& Store) {
  auto Cursor = Store.NewCursor();
  auto Row = Cursor->CreateRow(true);
  TORVString Label;
  int64_t Sum = 0;
  int64_t Rows = 0;
  for (Cursor->First(); Cursor->GetRowNumber() != 0;) {
    Cursor->GetCurrentRow(*Row, false);
    Sum += TakeCursorRow(*Row, Label);
    ++Rows;
    if (Cursor->GetEOF()) break;
    Cursor->Next();
    if (Cursor->GetEOF() && Cursor->GetRowNumber() == Row->GetNumber()) break;
  }
  Cursor->Destroy();
  if (Rows != RowCount) std::abort();
  return Sum;
}

int64_t ScanSQLite(TBenchSQLite& Database) {
  TBenchStatement Select(Database, "SELECT Amount, Label FROM Bench");
  std::string Label;
  int64_t Sum = 0;
  int64_t Rows = 0;
  while (Select.Step()) {
    Sum += TakeRow(Select, Label);
    ++Rows;
  }
  if (Rows != RowCount) std::abort();
  return Sum;
}

std::vector<int32_t> RandomNumbers() {
  std::mt19937 Random(53);
  std::uniform_int_distribution<int32_t> Pick(1, RowCount);
  std::vector<int32_t> Numbers(RandomReads);
  for (int32_t& Number : Numbers) Number = Pick(Random);
  return Numbers;
}

void FullScan(benchmark::State& State, bool Exclusive) {
  TStores& Made = Stores();
  TEngineStore& Store = Exclusive ? Made.Exclusive : Made.Shared;
  int64_t EngineSum = 0;
  int64_t SQLiteSum = 0;
  RunAgainstSQLite(
      State, RowCount, [&] { EngineSum = ScanCursor(Store); },
      [&] { SQLiteSum = ScanSQLite(Made.SQLite.Database()); });
  if (EngineSum != SQLiteSum) std::abort();
}

void RandomRowNumbers(benchmark::State& State, bool Exclusive) {
  TStores& Made = Stores();
  TEngineStore& Store = Exclusive ? Made.Exclusive : Made.Shared;
  const std::vector<int32_t> Numbers = RandomNumbers();
  int64_t EngineSum = 0;
  int64_t SQLiteSum = 0;
  RunAgainstSQLite(
      State, RandomReads,
      [&] {
        auto Cursor = Store.NewCursor();
        auto Row = Cursor->CreateRow(true);
        TORVString Label;
        EngineSum = 0;
        for (const int32_t Number : Numbers) {
          Cursor->SetRowNumber(Number);
          Cursor->GetCurrentRow(*Row, false);
          EngineSum += TakeCursorRow(*Row, Label);
        }
        Cursor->Destroy();
      },
      [&] {
        TBenchStatement Select(Made.SQLite.Database(), "SELECT Amount, Label FROM Bench WHERE RowID = ?");
        std::string Label;
        SQLiteSum = 0;
        for (const int32_t Number : Numbers) {
          Select.Bind(1, Number);
          if (!Select.Step()) std::abort();
          SQLiteSum += TakeRow(Select, Label);
          Select.Reset();
        }
      });
  if (EngineSum != SQLiteSum) std::abort();
}

void BM_CursorFullScanShared(benchmark::State& State) { FullScan(State, false); }
void BM_CursorFullScanExclusive(benchmark::State& State) { FullScan(State, true); }
void BM_CursorRandomRowNumbersShared(benchmark::State& State) { RandomRowNumbers(State, false); }
void BM_CursorRandomRowNumbersExclusive(benchmark::State& State) { RandomRowNumbers(State, true); }

BENCHMARK(BM_CursorFullScanShared)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_CursorFullScanExclusive)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_CursorRandomRowNumbersShared)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_CursorRandomRowNumbersExclusive)->Apply(RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv::bench
