// A million rows of an Integer key and an 80-character VarChar in a
// table's rows file, with a unique index on the key and a non-unique index
// on the text in its index file, beside the same table and indexes in
// SQLite on the same disk, with the same page size and cache budget:
// loading the rows with both indexes (keys in random order), looking rows
// up by key at random, and reading a 1 % and a 10 % range of keys in key
// order with their rows. SQLite loads in one transaction with synchronous
// OFF, as the engine's writes go unflushed, and reads through prepared
// statements in one read transaction. Each case reports EngineToSQLite:
// the engine's time over SQLite's for the same work, in the same run; the
// cases are repeated and report medians, every load into empty stores.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "catalog/orvindexes.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexnav.h"
#include "storage/orvrowsfile.h"

namespace orv {
namespace {

using bench::TakeRow;
using bench::TBenchTableManager;
using bench::TSharedFiles;

constexpr int32_t RowCount = 1000000;
constexpr int32_t PointLookups = 200000;
constexpr int32_t PageSize = 4096;
// The cache budget: index pages and rows for the engine, their sum for
// SQLite's page cache.
constexpr int32_t IndexCacheBytes = 16 * 1024 * 1024;
constexpr int32_t RowCacheBytes = 16 * 1024 * 1024;
// Rows loaded between two writes of the files, so that the caches stay
// bounded; none of the writes is flushed.
constexpr int32_t RowsPerWrite = 16384;
// Distinct texts the rows cycle through: the non-unique index holds about
// a thousand rows per key.
constexpr int32_t TextCount = 1024;
constexpr int32_t AmountIndex = 0;
constexpr int32_t LabelIndex = 1;

// Both stores of the rows, made by the first case that needs them and
// removed at exit.
class TBenchIndexes {
 public:
  TBenchIndexes() {
    FFolder = bench::MakeBenchFolder("orvbench-index");
    for (int32_t Index = 0; Index < TextCount; ++Index) {
      Texts.push_back(bench::BenchText(Index));
      WideTexts.push_back(Utf8ToString(Texts.back()));
    }
    Keys.resize(RowCount);
    std::iota(Keys.begin(), Keys.end(), 1);
    std::shuffle(Keys.begin(), Keys.end(), std::mt19937(7));

    Files = std::make_unique<TSharedFiles>();
    Files->Initialize();
    Manager = std::make_unique<TBenchTableManager>(Files.get(), Utf8ToString(FFolder.string()));
    TORVBaseTable& Table = Manager->Table();
    Table.SetIndexPageSize(PageSize);
    Table.SetMaxIndexBufferSize(IndexCacheBytes);
    Table.SetMaxRowBufferSize(RowCacheBytes);
    bench::AddBenchIndex(Table, u"ByAmount", itPrimaryKey, 1);
    bench::AddBenchIndex(Table, u"ByLabel", itIndex, 2);
    Rows = std::make_unique<TORVRowsetManager>(Manager.get());
    Manager->Rows = Rows.get();
    Rows->Initialize();
    Rows->CreateAndOpen();
    Index = std::make_unique<TORVIndexManager>(Manager.get());
    Manager->OtherFiles.push_back(Index.get());
    Index->Initialize();
    Index->CreateAndOpen();
    RowsNavigator = std::make_unique<TORVRowsetNavigator>(Rows.get());
    ByAmount = std::make_unique<TORVIndexNavigator>(Index.get(), AmountIndex);
    ByLabel = std::make_unique<TORVIndexNavigator>(Index.get(), LabelIndex);

    SQLite = std::make_unique<bench::TBenchSQLite>((FFolder / "bench.sqlite").string());
    SQLite->Exec("PRAGMA page_size=4096");
    SQLite->Exec(("PRAGMA cache_size=-" + std::to_string((IndexCacheBytes + RowCacheBytes) / 1024)).c_str());
    SQLite->Exec("CREATE TABLE Bench(Amount INTEGER, Label TEXT)");
    SQLite->Exec("CREATE UNIQUE INDEX BenchAmount ON Bench(Amount)");
    SQLite->Exec("CREATE INDEX BenchLabel ON Bench(Label)");
  }
  ~TBenchIndexes() {
    SQLite.reset();
    ByLabel.reset();
    ByAmount.reset();
    RowsNavigator.reset();
    Index->Close();
    Index.reset();
    Rows->Close();
    Rows.reset();
    std::error_code Error;
    std::filesystem::remove_all(FFolder, Error);
  }

  double LoadEngine() {
    return bench::TimeNanos([&] {
      const int32_t CharacterSet = Rows->GetSettings().GetCharacterSet();
      auto Slot = Rows->CreateNewRow();
      TORVRowsetRowValues Values(Rows.get(), CharacterSet);
      Values.SetRow(Slot.get());
      TORVIndexes& Indexes = Manager->Table().GetIndexes();
      // The index keys are the row's own values.
      TORVIndexKeyValues AmountKey(CharacterSet, Indexes.GetIndex(AmountIndex));
      AmountKey.Add(Values.GetItems(1));
      TORVIndexKeyValues LabelKey(CharacterSet, Indexes.GetIndex(LabelIndex));
      LabelKey.Add(Values.GetItems(2));
      for (int32_t Row = 0; Row < RowCount; ++Row) {
        Values.Clear();
        const int32_t RowID = Rows->GetLastRowID();
        Values.GetItems(0)->SetAsInteger(RowID);
        Values.GetItems(1)->SetAsInteger(Keys[static_cast<size_t>(Row)]);
        Values.GetItems(2)->SetAsString(WideTexts[static_cast<size_t>(Row % TextCount)]);
        int32_t Number = 0;
        int32_t Counter = 0;
        RowsNavigator->Insert(Rows->GetLastVersion(), Values, Number, Counter);
        AmountKey.SetRowID(RowID);
        ByAmount->Insert(AmountKey, Number);
        LabelKey.SetRowID(RowID);
        ByLabel->Insert(LabelKey, Number);
        if ((Row + 1) % RowsPerWrite == 0) Commit();
      }
      Commit();
    });
  }
  double LoadSQLite() {
    return bench::TimeNanos([&] {
      bench::TBenchStatement Insert(*SQLite, "INSERT INTO Bench(Amount, Label) VALUES (?, ?)");
      SQLite->Exec("BEGIN");
      for (int32_t Row = 0; Row < RowCount; ++Row) {
        Insert.Bind(1, Keys[static_cast<size_t>(Row)]);
        Insert.Bind(2, Texts[static_cast<size_t>(Row % TextCount)]);
        Insert.Step();
        Insert.Reset();
      }
      SQLite->Exec("COMMIT");
    });
  }
  void EnsureLoaded() {
    if (FLoaded) return;
    LoadEngine();
    LoadSQLite();
    FLoaded = true;
  }
  void SetLoaded() { FLoaded = true; }

  std::vector<std::string> Texts;
  std::vector<TORVString> WideTexts;
  std::vector<int32_t> Keys;
  std::unique_ptr<TSharedFiles> Files;
  std::unique_ptr<TBenchTableManager> Manager;
  std::unique_ptr<TORVRowsetManager> Rows;
  std::unique_ptr<TORVIndexManager> Index;
  std::unique_ptr<TORVRowsetNavigator> RowsNavigator;
  std::unique_ptr<TORVIndexNavigator> ByAmount;
  std::unique_ptr<TORVIndexNavigator> ByLabel;
  std::unique_ptr<bench::TBenchSQLite> SQLite;

 private:
  void Commit() {
    Rows->Commit(false, true);
    Index->Commit(false, true);
  }

  std::filesystem::path FFolder;
  bool FLoaded = false;
};

TBenchIndexes& Tables() { return bench::BenchStores<TBenchIndexes>(); }

void Load(benchmark::State& State) {
  // Every repetition loads into empty stores.
  TBenchIndexes& T = bench::BenchStores<TBenchIndexes>(true);
  bench::RunAgainstSQLite(
      State, RowCount, [&] { T.LoadEngine(); },
      [&] {
        T.LoadSQLite();
        T.SetLoaded();
      });
}

// The row the amount navigator stands on.
int64_t ReadIndexedRow(TBenchIndexes& T, TORVString& Label) {
  bool FoundChanges = false;
  if (!T.RowsNavigator->GotoNumber(T.ByAmount->GetRowNumber(), 0, FoundChanges)) std::abort();
  return TakeRow(*T.RowsNavigator, Label);
}

void PointLookup(benchmark::State& State) {
  TBenchIndexes& T = Tables();
  T.EnsureLoaded();
  std::vector<int32_t> Wanted(PointLookups);
  std::mt19937 Generator(42);
  for (int32_t& Key : Wanted) Key = static_cast<int32_t>(Generator() % RowCount) + 1;
  int64_t Sum = 0;
  TORVContainedIndexKeyValues Search(T.Rows->GetSettings().GetCharacterSet(),
                                     T.Manager->Table().GetIndexes().GetIndex(AmountIndex));
  bench::RunAgainstSQLite(
      State, PointLookups,
      [&] {
        TORVString Label;
        for (int32_t Key : Wanted) {
          Search.GetItems(0)->SetAsInteger(Key);
          bool FoundChanges = false;
          if (T.ByAmount->Search(Search, 0, false, FoundChanges) != 0) std::abort();
          Sum += ReadIndexedRow(T, Label);
        }
      },
      [&] {
        bench::TBenchStatement Select(*T.SQLite, "SELECT Amount, Label FROM Bench WHERE Amount = ?");
        std::string Label;
        T.SQLite->Exec("BEGIN");
        for (int32_t Key : Wanted) {
          Select.Bind(1, Key);
          if (!Select.Step()) std::abort();
          Sum += TakeRow(Select, Label);
          Select.Reset();
        }
        T.SQLite->Exec("COMMIT");
      });
  benchmark::DoNotOptimize(Sum);
}

// Keys From .. From + Count - 1 in key order with their rows.
void RangeScan(benchmark::State& State, int32_t Count) {
  TBenchIndexes& T = Tables();
  T.EnsureLoaded();
  const int32_t From = RowCount / 3;
  const int32_t To = From + Count - 1;
  int64_t Sum = 0;
  int64_t Seen = 0;
  TORVContainedIndexKeyValues Start(T.Rows->GetSettings().GetCharacterSet(),
                                    T.Manager->Table().GetIndexes().GetIndex(AmountIndex));
  Start.GetItems(0)->SetAsInteger(From);
  bench::RunAgainstSQLite(
      State, Count,
      [&] {
        TORVString Label;
        bool FoundChanges = false;
        if (T.ByAmount->Search(Start, 0, false, FoundChanges) != 0) std::abort();
        do {
          if (T.ByAmount->GetKey().GetItems(0)->GetAsInteger() > To) break;
          Sum += ReadIndexedRow(T, Label);
          ++Seen;
        } while (T.ByAmount->Next(FoundChanges));
      },
      [&] {
        bench::TBenchStatement Select(
            *T.SQLite, "SELECT Amount, Label FROM Bench WHERE Amount BETWEEN ? AND ? ORDER BY Amount");
        std::string Label;
        Select.Bind(1, From);
        Select.Bind(2, To);
        T.SQLite->Exec("BEGIN");
        while (Select.Step()) {
          Sum += TakeRow(Select, Label);
          --Seen;
        }
        T.SQLite->Exec("COMMIT");
      });
  // Both sides read the same rows.
  if (Seen != 0) std::abort();
  benchmark::DoNotOptimize(Sum);
}

void RangeScan1Percent(benchmark::State& State) { RangeScan(State, RowCount / 100); }
void RangeScan10Percent(benchmark::State& State) { RangeScan(State, RowCount / 10); }

BENCHMARK(Load)->Apply(bench::RepeatedAgainstSQLite);
BENCHMARK(PointLookup)->Apply(bench::RepeatedAgainstSQLite);
BENCHMARK(RangeScan1Percent)->Apply(bench::RepeatedAgainstSQLite);
BENCHMARK(RangeScan10Percent)->Apply(bench::RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv
