// Reading a database's schema when it opens: a catalog of 1,000 tables of
// 20 columns (a mix of Integer, VarChar, Char, Decimal, Float, Boolean,
// date and time, and large-object types, some NOT NULL) and 3 indexes
// each, saved to a memory stream, loaded from it into a fresh catalog and
// validated, beside SQLite opening a database file with the same tables
// and indexes and preparing a first statement, which reads and parses its
// whole schema. The catalog is built once; each engine case times one of
// the three steps (and all three together) against the same SQLite open
// in the same run, and reports EngineToSQLite: the engine's time over
// SQLite's for one whole schema.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "tests/catalog/orvconfigroot.h"

namespace orv {
namespace {

using bench::ReportAgainstSQLite;
using bench::SQLiteFailed;
using bench::TimeNanos;

constexpr int32_t TableCount = 1000;

// One column of every table, in both dialects; Length and Scale are the
// engine's (0: the type's own).
struct TColumnLayout {
  const char* Name;
  int32_t DataType;
  int32_t SubType;
  int32_t Length;
  int32_t Scale;
  bool Required;
  const char* SQLiteType;
};

constexpr TColumnLayout Layout[] = {
    {"ID", dtInteger, 0, 0, 0, true, "INTEGER"},
    {"Code", dtCharacter, stChar, 8, 0, true, "CHAR(8)"},
    {"Name", dtCharacter, stVarChar, 60, 0, true, "VARCHAR(60)"},
    {"Description", dtCharacter, stVarChar, 200, 0, false, "VARCHAR(200)"},
    {"Quantity", dtInteger, 0, 0, 0, false, "INTEGER"},
    {"Price", dtDecimal, 0, 0, 2, false, "DECIMAL(19,2)"},
    {"Rate", dtDecimal, 0, 0, 4, false, "DECIMAL(19,4)"},
    {"Weight", dtFloat, 0, 0, 0, false, "FLOAT"},
    {"Active", dtBoolean, 0, 0, 0, false, "BOOLEAN"},
    {"Flags", dtSmallInt, 0, 0, 0, false, "SMALLINT"},
    {"Counter", dtBigInt, 0, 0, 0, false, "BIGINT"},
    {"DueDate", dtDate, 0, 0, 0, false, "DATE"},
    {"DueTime", dtTime, 0, 0, 0, false, "TIME"},
    {"Created", dtTimeStamp, 0, 0, 0, true, "TIMESTAMP"},
    {"Modified", dtTimeStamp, 0, 0, 0, false, "TIMESTAMP"},
    {"Reference", dtCharacter, stVarChar, 40, 0, false, "VARCHAR(40)"},
    {"Total", dtDecimal, 0, 0, 2, false, "DECIMAL(19,2)"},
    {"Region", dtCharacter, stVarChar, 30, 0, false, "VARCHAR(30)"},
    {"Notes", dtLargeObject, stClob, 0, 0, false, "CLOB"},
    {"Image", dtLargeObject, stBlob, 0, 0, false, "BLOB"},
};
static_assert(std::size(Layout) == 20);

// The indexes of every table: the key columns by position in Layout, and
// whether the first key descends.
struct TIndexLayout {
  const char* Name;
  int32_t Keys[2];
  bool Descending;
};

constexpr TIndexLayout Indexes[] = {
    {"ByCode", {1, -1}, false},
    {"ByNameAndRegion", {2, 17}, false},
    {"ByCreated", {13, -1}, true},
};

// The growth step the catalog's object manager gives the stream it saves
// into, in place of a scratch stream's 8 bytes.
constexpr int32_t CatalogStreamBlockSize = 65536;

std::string TableName(int32_t Index) { return "Table" + std::to_string(Index + 1); }

// A table made as CREATE TABLE makes one: the hidden "__RowID" first, the
// columns, the indexes, the system primary key and the default grants.
void AddTable(TORVCatalog& Catalog, int32_t Number) {
  TORVBaseTables& Tables = Catalog.GetDefaultSchema()->GetBaseTables();
  std::unique_ptr<TORVBaseTable> NewTable(static_cast<TORVBaseTable*>(Tables.GetNewObject(nullptr)));
  NewTable->SetName(Utf8ToString(TableName(Number)));
  Tables.Add(NewTable.get());
  TORVBaseTable* Table = NewTable.release();
  Table->CreateSystemColumns();
  TORVColumns& Columns = Table->GetColumns();
  for (const TColumnLayout& Spec : Layout) {
    std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
    Column->SetName(Utf8ToString(Spec.Name));
    Column->SetDataType(Spec.DataType);
    Column->SetSubType(Spec.SubType);
    if (Spec.Length != 0) Column->SetLength(Spec.Length);
    if (Spec.Scale != 0) Column->SetScale(Spec.Scale);
    Column->SetRequired(Spec.Required);
    Columns.Add(Column.release());
  }
  for (const TIndexLayout& Spec : Indexes) {
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table->GetIndexes().GetNewObject()));
    Index->SetName(Utf8ToString(Spec.Name));
    Index->SetIndexType(itIndex);
    TORVIndexColumns& Keys = *Index->GetIndexColumns();
    for (int32_t Key : Spec.Keys) {
      if (Key < 0) continue;
      std::unique_ptr<TORVIndexColumn> KeyColumn(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
      // Past "__RowID".
      KeyColumn->SetSourceColumn(Columns.GetColumn(Key + 1));
      KeyColumn->SetDescending(Spec.Descending && Keys.GetCount() == 0);
      Keys.Add(KeyColumn.release());
    }
    Table->GetIndexes().Add(Index.release());
  }
  Table->CheckForPrimaryKeyConstraint();
  Table->GrantDefaultPrivileges();
  Table->SetLockSlot(Number + 1);
}

// The same schema in SQLite's dialect, in one transaction.
void CreateSQLiteSchema(bench::TBenchSQLite& Database) {
  Database.Exec("BEGIN");
  for (int32_t Number = 0; Number < TableCount; ++Number) {
    const std::string Name = TableName(Number);
    std::string Create = "CREATE TABLE \"" + Name + "\" (";
    for (const TColumnLayout& Spec : Layout) {
      if (&Spec != Layout) Create += ", ";
      Create += std::string("\"") + Spec.Name + "\" " + Spec.SQLiteType + (Spec.Required ? " NOT NULL" : "");
    }
    Create += ")";
    Database.Exec(Create.c_str());
    for (const TIndexLayout& Spec : Indexes) {
      std::string Keys;
      for (int32_t Key : Spec.Keys) {
        if (Key < 0) continue;
        const bool First = Keys.empty();
        if (!First) Keys += ", ";
        Keys += Layout[Key].Name;
        if (Spec.Descending && First) Keys += " DESC";
      }
      const std::string Index =
          "CREATE INDEX \"" + Name + Spec.Name + "\" ON \"" + Name + "\" (" + Keys + ")";
      Database.Exec(Index.c_str());
    }
  }
  Database.Exec("COMMIT");
}

// The catalog, its stream and the SQLite file, made by the first case that
// needs them; the file's folder is removed at exit.
class TBenchCatalog {
 public:
  TBenchCatalog() : FConfig(test::NewRoot()) {
    TORVDatabaseContainer* Database = test::NewDatabase(*FConfig, u"Bench", FConfig->GetSystemUser());
    Database->SetCatalog(std::make_unique<TORVCatalog>(FConfig.get()));
    Catalog = Database->GetCatalog();
    Catalog->SetVersion(EngineCatalogVersion);
    for (int32_t Number = 0; Number < TableCount; ++Number) AddTable(*Catalog, Number);
    Catalog->Validate();
    Stream.SetBlockSize(CatalogStreamBlockSize);
    Catalog->Save(Stream, false);

    FFolder = bench::MakeBenchFolder("orvbench-catalog");
    FPath = (FFolder / "schema.db").string();
    bench::TBenchSQLite SQLite(FPath);
    CreateSQLiteSchema(SQLite);
    FirstStatement = "SELECT * FROM \"" + TableName(TableCount - 1) + "\" WHERE \"Code\" = ?";
  }
  ~TBenchCatalog() {
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }

  // What a new connection does before its first statement runs: open the
  // file and prepare, which reads and parses the schema.
  void OpenSQLite() const {
    sqlite3* Database = nullptr;
    if (sqlite3_open_v2(FPath.c_str(), &Database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      SQLiteFailed(Database, "open");
    sqlite3_stmt* Statement = nullptr;
    if (sqlite3_prepare_v2(Database, FirstStatement.c_str(), -1, &Statement, nullptr) != SQLITE_OK)
      SQLiteFailed(Database, FirstStatement.c_str());
    benchmark::DoNotOptimize(Statement);
    sqlite3_finalize(Statement);
    sqlite3_close(Database);
  }

  // A fresh catalog of the same configuration, as a database that opens
  // has before it reads its catalog.
  std::unique_ptr<TORVCatalog> NewCatalog() const { return std::make_unique<TORVCatalog>(FConfig.get()); }

  TORVMemoryStream Stream{CharacterSetUnicode};
  TORVCatalog* Catalog = nullptr;

 private:
  std::unique_ptr<TORVConfig> FConfig;
  std::filesystem::path FFolder;
  std::string FPath;
  std::string FirstStatement;
};

TBenchCatalog& Bench() {
  static TBenchCatalog Instance;
  return Instance;
}

// One case: Prepare with the clock stopped, Engine timed, then the SQLite
// open, also stopped on the benchmark's clock; both sides' times summed
// over every iteration and reported per whole schema.
template <typename TPrepare, typename TEngine>
void RunAgainstSQLiteOpen(benchmark::State& State, TPrepare&& Prepare, TEngine&& Engine) {
  TBenchCatalog& Setup = Bench();
  double EngineNanos = 0;
  double SQLiteNanos = 0;
  for (auto _ : State) {
    State.PauseTiming();
    Prepare();
    State.ResumeTiming();
    EngineNanos += TimeNanos(Engine);
    State.PauseTiming();
    SQLiteNanos += TimeNanos([&] { Setup.OpenSQLite(); });
    State.ResumeTiming();
  }
  ReportAgainstSQLite(State, EngineNanos, SQLiteNanos, State.iterations());
  State.counters["tables"] = TableCount;
  State.counters["streamBytes"] = static_cast<double>(Setup.Stream.GetSize());
}

void BM_CatalogSave(benchmark::State& State) {
  TBenchCatalog& Setup = Bench();
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.SetBlockSize(CatalogStreamBlockSize);
  RunAgainstSQLiteOpen(
      State,
      [&] {
        Stream.SetSize(0);
        Stream.SetPosition(0);
      },
      [&] { Setup.Catalog->Save(Stream, false); });
}
BENCHMARK(BM_CatalogSave)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_CatalogLoad(benchmark::State& State) {
  TBenchCatalog& Setup = Bench();
  std::unique_ptr<TORVCatalog> Loaded;
  RunAgainstSQLiteOpen(
      State,
      [&] {
        Loaded.reset();
        Setup.Stream.SetPosition(0);
      },
      [&] {
        Loaded = Setup.NewCatalog();
        Loaded->Load(Setup.Stream);
      });
}
BENCHMARK(BM_CatalogLoad)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_CatalogValidate(benchmark::State& State) {
  TBenchCatalog& Setup = Bench();
  Setup.Stream.SetPosition(0);
  std::unique_ptr<TORVCatalog> Loaded = Setup.NewCatalog();
  Loaded->Load(Setup.Stream);
  // A load that lost anything would make every figure here meaningless.
  if (!Loaded->Compare(Setup.Catalog, true)) std::abort();
  RunAgainstSQLiteOpen(State, [] {}, [&] { Loaded->Validate(); });
}
BENCHMARK(BM_CatalogValidate)->Iterations(20)->Unit(benchmark::kMillisecond);

// Save, load into a fresh catalog and validate: the round trip a catalog
// takes from one session's change to the next session's open.
void BM_CatalogSaveLoadValidate(benchmark::State& State) {
  TBenchCatalog& Setup = Bench();
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.SetBlockSize(CatalogStreamBlockSize);
  std::unique_ptr<TORVCatalog> Loaded;
  RunAgainstSQLiteOpen(
      State,
      [&] {
        Loaded.reset();
        Stream.SetSize(0);
        Stream.SetPosition(0);
      },
      [&] {
        Setup.Catalog->Save(Stream, false);
        Stream.SetPosition(0);
        Loaded = Setup.NewCatalog();
        Loaded->Load(Stream);
        Loaded->Validate();
      });
}
BENCHMARK(BM_CatalogSaveLoadValidate)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv
