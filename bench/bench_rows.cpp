// A million rows of an Integer and an 80-character VarChar in a table's
// rows file, beside the same rows in an SQLite table on the same disk:
// appending them all, reading rows by number in random order, and reading
// every row in order. The engine's row cache and SQLite's page cache get
// the same budget. SQLite works in one transaction per case, with
// synchronous OFF as the engine's writes go unflushed, and reads by rowid
// through prepared statements. The engine's reads check the rows file's
// header for other sessions' changes at every cache miss. Each case
// reports EngineToSQLite: the engine's time over SQLite's for the same
// work, measured in the same run; the cases are repeated and report
// medians, every append into empty stores.
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
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "storage/orvrowsfile.h"

namespace orv {
namespace {

using bench::TakeRow;
using bench::TBenchTableManager;
using bench::TSharedFiles;

constexpr int32_t RowCount = 1000000;
constexpr int32_t RandomReads = 200000;
constexpr int32_t PageSize = 4096;
// The cache budget of either side.
constexpr int32_t RowCacheBytes = 16 * 1024 * 1024;
// Rows appended between two writes of the rows file, so that the cache
// stays bounded; none of the writes is flushed.
constexpr int32_t RowsPerWrite = 16384;
// Distinct texts the rows cycle through.
constexpr int32_t TextCount = 1024;

// Both stores of the rows, made by the first case that needs them and
// removed at exit.
class TBenchTables {
 public:
  TBenchTables() {
    FFolder = bench::MakeBenchFolder("orvbench-rows");
    for (int32_t Index = 0; Index < TextCount; ++Index) {
      Texts.push_back(bench::BenchText(Index));
      WideTexts.push_back(Utf8ToString(Texts.back()));
    }
    Files = std::make_unique<TSharedFiles>();
    Files->Initialize();
    Manager = std::make_unique<TBenchTableManager>(Files.get(), Utf8ToString(FFolder.string()));
    Manager->Table().SetMaxRowBufferSize(RowCacheBytes);
    Rows = std::make_unique<TORVRowsetManager>(Manager.get());
    Manager->Rows = Rows.get();
    Rows->Initialize();
    Rows->CreateAndOpen();
    Navigator = std::make_unique<TORVRowsetNavigator>(Rows.get());
    SQLite = std::make_unique<bench::TBenchSQLite>((FFolder / "bench.sqlite").string());
    SQLite->Exec(("PRAGMA page_size=" + std::to_string(PageSize)).c_str());
    SQLite->Exec(("PRAGMA cache_size=-" + std::to_string(RowCacheBytes / 1024)).c_str());
    SQLite->Exec("CREATE TABLE Bench(Amount INTEGER, Label TEXT)");
  }
  ~TBenchTables() {
    SQLite.reset();
    Navigator.reset();
    Rows->Close();
    Rows.reset();
    std::error_code Error;
    std::filesystem::remove_all(FFolder, Error);
  }

  double AppendEngine() {
    return bench::TimeNanos([&] {
      auto Slot = Rows->CreateNewRow();
      TORVRowsetRowValues Values(Rows.get(), Rows->GetSettings().GetCharacterSet());
      Values.SetRow(Slot.get());
      for (int32_t Index = 0; Index < RowCount; ++Index) {
        Values.Clear();
        Values.GetItems(0)->SetAsInteger(Rows->GetLastRowID());
        Values.GetItems(1)->SetAsInteger(Index);
        Values.GetItems(2)->SetAsString(WideTexts[static_cast<size_t>(Index % TextCount)]);
        int32_t Number = 0;
        int32_t Counter = 0;
        Navigator->Insert(Rows->GetLastVersion(), Values, Number, Counter);
        if ((Index + 1) % RowsPerWrite == 0) Rows->Commit(false, true);
      }
      Rows->Commit(false, true);
    });
  }
  double AppendSQLite() {
    return bench::TimeNanos([&] {
      bench::TBenchStatement Insert(*SQLite, "INSERT INTO Bench(Amount, Label) VALUES (?, ?)");
      SQLite->Exec("BEGIN");
      for (int32_t Index = 0; Index < RowCount; ++Index) {
        Insert.Bind(1, Index);
        Insert.Bind(2, Texts[static_cast<size_t>(Index % TextCount)]);
        Insert.Step();
        Insert.Reset();
      }
      SQLite->Exec("COMMIT");
    });
  }
  void EnsureLoaded() {
    if (FLoaded) return;
    AppendEngine();
    AppendSQLite();
    FLoaded = true;
  }
  void SetLoaded() { FLoaded = true; }

  std::vector<std::string> Texts;
  std::vector<TORVString> WideTexts;
  std::unique_ptr<TSharedFiles> Files;
  std::unique_ptr<TBenchTableManager> Manager;
  std::unique_ptr<TORVRowsetManager> Rows;
  std::unique_ptr<TORVRowsetNavigator> Navigator;
  std::unique_ptr<bench::TBenchSQLite> SQLite;

 private:
  std::filesystem::path FFolder;
  bool FLoaded = false;
};

TBenchTables& Tables() { return bench::BenchStores<TBenchTables>(); }

void Append(benchmark::State& State) {
  // Every repetition loads into empty stores.
  TBenchTables& T = bench::BenchStores<TBenchTables>(true);
  bench::RunAgainstSQLite(
      State, RowCount, [&] { T.AppendEngine(); },
      [&] {
        T.AppendSQLite();
        T.SetLoaded();
      });
}

void RandomRead(benchmark::State& State) {
  TBenchTables& T = Tables();
  T.EnsureLoaded();
  std::vector<int32_t> Numbers(RandomReads);
  std::mt19937 Generator(42);
  for (int32_t& Number : Numbers) Number = static_cast<int32_t>(Generator() % RowCount) + 1;
  int64_t Sum = 0;
  bench::RunAgainstSQLite(
      State, RandomReads,
      [&] {
        TORVString Label;
        for (int32_t Number : Numbers) {
          bool FoundChanges = false;
          if (!T.Navigator->GotoNumber(Number, 0, FoundChanges)) std::abort();
          Sum += TakeRow(*T.Navigator, Label);
        }
      },
      [&] {
        bench::TBenchStatement Select(*T.SQLite, "SELECT Amount, Label FROM Bench WHERE rowid = ?");
        std::string Label;
        // One read transaction, so that SQLite checks the file for other
        // writers once rather than at every statement.
        T.SQLite->Exec("BEGIN");
        for (int32_t Number : Numbers) {
          Select.Bind(1, Number);
          if (!Select.Step()) std::abort();
          Sum += TakeRow(Select, Label);
          Select.Reset();
        }
        T.SQLite->Exec("COMMIT");
      });
  benchmark::DoNotOptimize(Sum);
}

void Scan(benchmark::State& State) {
  TBenchTables& T = Tables();
  T.EnsureLoaded();
  int64_t Sum = 0;
  int64_t Seen = 0;
  bench::RunAgainstSQLite(
      State, RowCount,
      [&] {
        TORVString Label;
        bool FoundChanges = false;
        for (bool On = T.Navigator->First(FoundChanges); On; On = T.Navigator->Next(FoundChanges)) {
          Sum += TakeRow(*T.Navigator, Label);
          ++Seen;
        }
      },
      [&] {
        bench::TBenchStatement Select(*T.SQLite, "SELECT Amount, Label FROM Bench");
        std::string Label;
        while (Select.Step()) {
          Sum += TakeRow(Select, Label);
          --Seen;
        }
      });
  // Both sides saw every row.
  if (Seen != 0) std::abort();
  benchmark::DoNotOptimize(Sum);
}

BENCHMARK(Append)->Apply(bench::RepeatedAgainstSQLite);
BENCHMARK(RandomRead)->Apply(bench::RepeatedAgainstSQLite);
BENCHMARK(Scan)->Apply(bench::RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv
