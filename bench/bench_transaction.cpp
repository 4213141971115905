// One-row transactions through a local database beside SQLite's: each is
// StartTransaction on the table, one row inserted through its table
// manager and Commit, against BEGIN, INSERT and COMMIT on a SQLite file.
// Flushed commits stand against synchronous=FULL, unflushed ones against
// OFF. ORV_BENCH_TRANSACTIONS sets their number (10,000 by default).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvlocktype.h"
#include "core/orvtypefunc.h"
#include "eval/orvtablemgr.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvrowsfile.h"

namespace orv::bench {
namespace {

int32_t TransactionCount() { return CountFromEnvironment("ORV_BENCH_TRANSACTIONS", 10000); }

constexpr int32_t IdColumn = 1;
constexpr int32_t AmountColumn = 2;
constexpr int32_t LabelColumn = 3;

// A session logged in on a configuration in a fresh folder, with the
// database d open and its table Bench (row ID, ID, Amount, Label) held open
// by its manager.
class TBenchLocalDatabase {
 public:
  TBenchLocalDatabase()
      : FFolder(std::filesystem::temp_directory_path() / ("orv_bench_transaction_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(FFolder);
    std::filesystem::create_directories(FFolder);
    FEngine = CreateEngineManager();
    FEngine->GetSettings().SetConfigPath(Utf8ToString(FFolder.string() + "/"));
    FEngine->Open();
    FSession = CreateSessionManager<TORVLocalSessionManager>(FEngine.get(), false, true);
    FSession->Open(u"Bench", u"Session", u"");
    FSession->Login(u"Administrator", u"PlumeHaven");

    TORVConfig& Config = *FSession->GetConfig();
    std::unique_ptr<TORVDatabaseContainer> Container(
        static_cast<TORVDatabaseContainer*>(Config.GetDatabases().GetNewObject(FSession->GetCurrentUser())));
    Container->SetName(u"d");
    Container->SetPath(u"d");
    Config.GetDatabases().Add(Container.get());
    FDatabase = FSession->GetDatabaseManager(Container.release());
    FDatabase->Open(ltShared);

    TORVBaseTables& Tables = FDatabase->GetCatalog()->GetDefaultSchema()->GetBaseTables();
    std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject(nullptr)));
    Table->SetName(u"Bench");
    Table->SetInternalName(u"Bench");
    Table->SetLockSlot(1);
    Tables.Add(Table.get());
    TORVBaseTable* Added = Table.release();
    TORVColumns& Columns = Added->GetColumns();
    AddBenchColumn(Columns, u"__RowID", 1, dtInteger, 0, 0)->SetHidden(true);
    AddBenchColumn(Columns, u"ID", 2, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"Amount", 3, dtInteger, 0, 0);
    AddBenchColumn(Columns, u"Label", 4, dtCharacter, stVarChar, TextLength);
    Columns.SetupColumnInformation();
    Added->GrantDefaultPrivileges();

    FManager = static_cast<TORVTableManager*>(FDatabase->OpenTableManager(u"", u"Bench", false));
    FRow = FManager->CreateNewRow();
    FValues = std::make_unique<TORVRowsetRowValues>(FManager->RowsetManager(),
                                                    FDatabase->GetSessionSettings().GetCharacterSet());
  }
  ~TBenchLocalDatabase() {
    FValues.reset();
    FRow.reset();
    FManager->Close(false, true, true);
    FDatabase->Close(true);
    FreeSessionManager(FSession);
    FEngine.reset();
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }
  TBenchLocalDatabase(const TBenchLocalDatabase&) = delete;
  TBenchLocalDatabase& operator=(const TBenchLocalDatabase&) = delete;

  void InsertInTransaction(int32_t Index, bool Flush) {
    FDatabase->StartTransaction({u"Bench"}, -1);
    FRow->Initialize();
    FValues->SetRow(FRow.get());
    FValues->Clear();
    FValues->GetItems(IdColumn)->SetAsInteger(Index);
    FValues->GetItems(AmountColumn)->SetAsInteger(Index % 1000);
    FValues->GetItems(LabelColumn)->SetAsString(u"row");
    int32_t Number = 0;
    int32_t Version = 0;
    int32_t Counter = 0;
    FManager->InsertRow(*FValues, Number, Version, Counter, false);
    FDatabase->Commit(Flush, false);
  }
  const std::filesystem::path& Folder() const { return FFolder; }
  int32_t RowCount() { return FManager->GetRowCount(); }

 private:
  std::filesystem::path FFolder;
  std::unique_ptr<TORVEngineManager> FEngine;
  TORVLocalSessionManager* FSession = nullptr;
  TORVLocalDatabaseManager* FDatabase = nullptr;
  TORVTableManager* FManager = nullptr;
  std::unique_ptr<TORVRowsetRow> FRow;
  std::unique_ptr<TORVRowsetRowValues> FValues;
};

void OneRowTransactions(benchmark::State& State, bool Flush) {
  const int32_t Count = TransactionCount();
  TBenchLocalDatabase Local;
  const std::string SQLiteFile = (Local.Folder() / "bench.db").string();
  TBenchSQLite SQLite(SQLiteFile);
  SQLite.Exec(Flush ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF");
  SQLite.Exec("CREATE TABLE Bench (ID INTEGER, Amount INTEGER, Label VARCHAR(80))");
  TBenchStatement Begin(SQLite, "BEGIN");
  TBenchStatement Insert(SQLite, "INSERT INTO Bench (ID, Amount, Label) VALUES (?, ?, 'row')");
  TBenchStatement Commit(SQLite, "COMMIT");
  int32_t Next = 0;
  RunAgainstSQLite(
      State, Count,
      [&] {
        for (int32_t I = 0; I < Count; ++I) Local.InsertInTransaction(Next + I, Flush);
      },
      [&] {
        for (int32_t I = 0; I < Count; ++I) {
          Begin.Step();
          Begin.Reset();
          Insert.Bind(1, Next + I);
          Insert.Bind(2, (Next + I) % 1000);
          Insert.Step();
          Insert.Reset();
          Commit.Step();
          Commit.Reset();
        }
        Next += Count;
      });
  // Every committed row is there.
  if (Local.RowCount() != Next) std::abort();
}

void BM_OneRowTransactionsFlushed(benchmark::State& State) { OneRowTransactions(State, true); }
void BM_OneRowTransactionsUnflushed(benchmark::State& State) { OneRowTransactions(State, false); }

BENCHMARK(BM_OneRowTransactionsFlushed)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_OneRowTransactionsUnflushed)->Apply(RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv::bench
