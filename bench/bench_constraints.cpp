// Inserts into a table whose rows are checked: a declared primary key, a
// check on a column and a foreign key to a parent of 1,000 rows, beside
// SQLite with the same constraints enforced (foreign keys on). This is
// the cost of the checks and of locking each new row's parent row. All
// rows in one transaction, and single rows outside one; the engine's
// table shared and held exclusively. The check's expression compiles at
// open, so the tables live in a catalog whose configuration has the
// compiler; its value comes from the database's row evaluator.
// ORV_BENCH_ROWS sets the row count (1,000,000 by default).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchsqlite.h"
#include "bench/orvbenchtable.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtablemgr.h"
#include "tests/eval/orvtablemgrconstraints.h"
#include "tests/eval/orvtestdatabase.h"

namespace orv::bench {
namespace {

constexpr int32_t ParentRows = 1000;
constexpr int32_t SingleOperations = 10000;
// Column positions of Child; the hidden row ID is column 0.
constexpr int32_t IdColumn = 1;
constexpr int32_t ParentColumn = 2;
constexpr int32_t AmountColumn = 3;

int32_t ParentOf(int32_t Index) { return Index % ParentRows; }
int32_t AmountOf(int32_t Index) { return Index / 10; }

// Parent (ID primary key) and Child (ID primary key, ParentID referencing
// Parent, Amount checked not negative) in a catalog of a fresh folder;
// Child opened shared or exclusive, Parent filled.
class TConstrainedUse {
 public:
  explicit TConstrainedUse(bool Exclusive)
      : FFolder(MakeBenchFolder("orvconstraints")),
        FDatabase(&FFiles, Utf8ToString((FFolder / "bench.lock").string())),
        FManagers(&FDatabase),
        FExclusive(Exclusive) {
    FFiles.Initialize();
    FDatabase.DatabaseFolder = Utf8ToString(FFolder.string());
    FDatabase.TableManagers = &FManagers;
    FDatabase.RowEvaluator = [](TORVRowValues& Values, TORVExprToken*, TORVValue& Value) {
      Value.SetAsBoolean(Values.GetItems(AmountColumn)->GetAsInteger() >= 0);
    };

    TORVBaseTable* Parent = FDatabase.AddTable(u"Parent", 1);
    Parent->SetInternalName(u"Parent");
    AddTestColumn(Parent->GetColumns(), u"ID", dtInteger);
    TORVConstraint* ParentKey = test::AddConstraint(Parent, u"ParentKey", ctPrimaryKey, {u"ID"},
                                                    test::AddTestIndex(Parent, u"ByID", itPrimaryKey, {u"ID"}));

    FChild = FDatabase.AddTable(u"Child", 2);
    FChild->SetInternalName(u"Child");
    AddTestColumn(FChild->GetColumns(), u"ID", dtInteger);
    AddTestColumn(FChild->GetColumns(), u"ParentID", dtInteger);
    AddTestColumn(FChild->GetColumns(), u"Amount", dtInteger);
    test::AddConstraint(FChild, u"ChildKey", ctPrimaryKey, {u"ID"},
                        test::AddTestIndex(FChild, u"ByID", itPrimaryKey, {u"ID"}));
    TORVConstraint* Check = test::AddConstraint(FChild, u"NotNegative", ctCheck, {}, nullptr);
    Check->GetCheckExpr()->SetExpression(u"Amount >= 0");
    auto* ParentManager = static_cast<TORVTableManager*>(FManagers.Open(Parent, ltShared));
    {
      std::unique_ptr<TORVRowsetRow> Row = ParentManager->CreateNewRow();
      TORVRowsetRowValues Values(ParentManager->RowsetManager(), CharacterSet());
      Parent->StartTransaction();
      ParentManager->StartTransaction(true);
      for (int32_t Index = 0; Index < ParentRows; ++Index) {
        Row->Initialize();
        Values.SetRow(Row.get());
        Values.Clear();
        Values.GetItems(1)->SetAsInteger(Index);
        int32_t Number = 0;
        int32_t Version = 0;
        int32_t Counter = 0;
        ParentManager->InsertRow(Values, Number, Version, Counter, false);
      }
      ParentManager->Commit(false);
      Parent->EndTransaction();
    }
    // Parent is filled before Child refers to it: opened as referenced
    // afterwards, Parent would open Child shared and an exclusive open of
    // Child could not follow.
    FManagers.FreeAll();
    test::AddForeignKey(FChild, u"ParentID", Parent, ParentKey, u"ToParent");

    FManager = static_cast<TORVTableManager*>(FManagers.Open(FChild, Exclusive ? ltExclusive : ltShared));
    FRow = FManager->CreateNewRow();
    FValues = std::make_unique<TORVRowsetRowValues>(FManager->RowsetManager(), CharacterSet());
  }
  ~TConstrainedUse() {
    FValues.reset();
    FRow.reset();
    FManagers.FreeAll();
    std::filesystem::remove_all(FFolder);
  }

  void StartTransaction() {
    FChild->StartTransaction();
    FManager->StartTransaction(true);
  }
  void Commit() {
    FManager->Commit(false);
    FChild->EndTransaction();
  }
  void Insert(int32_t Index) {
    FRow->Initialize();
    FValues->SetRow(FRow.get());
    FValues->Clear();
    FValues->GetItems(IdColumn)->SetAsInteger(Index);
    FValues->GetItems(ParentColumn)->SetAsInteger(ParentOf(Index));
    FValues->GetItems(AmountColumn)->SetAsInteger(AmountOf(Index));
    int32_t Number = 0;
    int32_t Version = 0;
    int32_t Counter = 0;
    FManager->InsertRow(*FValues, Number, Version, Counter, false);
  }

 private:
  int32_t CharacterSet() { return FDatabase.GetSessionSettings().GetCharacterSet(); }

  std::filesystem::path FFolder;
  TSharedFiles FFiles;
  test::TTestDatabase FDatabase;
  TORVTableManagers FManagers;
  TORVBaseTable* FChild = nullptr;
  TORVTableManager* FManager = nullptr;
  std::unique_ptr<TORVRowsetRow> FRow;
  std::unique_ptr<TORVRowsetRowValues> FValues;
  bool FExclusive = false;
};

// SQLite's side: the same tables and constraints, a page cache the size
// of the engine's buffers, a prepared insert. Child's key is a unique
// index beside the row ID, as the engine keeps its primary key beside its
// hidden row ID; an INTEGER PRIMARY KEY would be SQLite's row ID itself and
// check nothing of its own.
class TSQLiteUse {
 public:
  TSQLiteUse() : FFolder(MakeBenchFolder("orvconstraints-sqlite")), FDatabase((FFolder / "bench.db").string()) {
    FDatabase.Exec("PRAGMA cache_size=-4096");
    FDatabase.Exec("PRAGMA foreign_keys = ON");
    FDatabase.Exec("CREATE TABLE Parent (ID INTEGER PRIMARY KEY)");
    FDatabase.Exec(
        "CREATE TABLE Child (RowID INTEGER PRIMARY KEY, ID INTEGER NOT NULL, ParentID INTEGER REFERENCES Parent "
        "(ID), Amount INTEGER CHECK (Amount >= 0), UNIQUE (ID))");
    FDatabase.Exec("CREATE INDEX ByParent ON Child (ParentID)");
    FDatabase.Exec("BEGIN");
    {
      TBenchStatement Fill(FDatabase, "INSERT INTO Parent (ID) VALUES (?)");
      for (int32_t Index = 0; Index < ParentRows; ++Index) {
        Fill.Bind(1, Index);
        Fill.Step();
        Fill.Reset();
      }
    }
    FDatabase.Exec("COMMIT");
    FInsert = std::make_unique<TBenchStatement>(FDatabase, "INSERT INTO Child (ID, ParentID, Amount) VALUES (?, ?, ?)");
  }
  ~TSQLiteUse() {
    FInsert.reset();
    std::filesystem::remove_all(FFolder);
  }
  void Exec(const char* Sql) { FDatabase.Exec(Sql); }
  void Insert(int32_t Index) {
    FInsert->Bind(1, Index);
    FInsert->Bind(2, ParentOf(Index));
    FInsert->Bind(3, AmountOf(Index));
    FInsert->Step();
    FInsert->Reset();
  }

 private:
  std::filesystem::path FFolder;
  TBenchSQLite FDatabase;
  std::unique_ptr<TBenchStatement> FInsert;
};

template <typename TUse>
void InsertRows(TUse& Use, int32_t Count) {
  for (int32_t Index = 0; Index < Count; ++Index) Use.Insert(Index);
}

void InOneTransaction(benchmark::State& State, bool Exclusive) {
  const int32_t Count = BenchRowCount();
  std::unique_ptr<TConstrainedUse> Engine;
  std::unique_ptr<TSQLiteUse> SQLite;
  RunAgainstSQLite(
      State, Count,
      [&] {
        Engine = std::make_unique<TConstrainedUse>(Exclusive);
        Engine->StartTransaction();
        InsertRows(*Engine, Count);
        Engine->Commit();
        Engine.reset();
      },
      [&] {
        SQLite = std::make_unique<TSQLiteUse>();
        SQLite->Exec("BEGIN");
        InsertRows(*SQLite, Count);
        SQLite->Exec("COMMIT");
        SQLite.reset();
      });
}

void OutsideATransaction(benchmark::State& State, bool Exclusive) {
  RunAgainstSQLite(
      State, SingleOperations,
      [&] {
        TConstrainedUse Engine(Exclusive);
        InsertRows(Engine, SingleOperations);
      },
      [&] {
        TSQLiteUse SQLite;
        InsertRows(SQLite, SingleOperations);
      });
}

void BM_ConstrainedInsertInOneTransactionShared(benchmark::State& State) { InOneTransaction(State, false); }
void BM_ConstrainedInsertInOneTransactionExclusive(benchmark::State& State) { InOneTransaction(State, true); }
void BM_ConstrainedInsertSingleRowsShared(benchmark::State& State) { OutsideATransaction(State, false); }
void BM_ConstrainedInsertSingleRowsExclusive(benchmark::State& State) { OutsideATransaction(State, true); }

BENCHMARK(BM_ConstrainedInsertInOneTransactionShared)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_ConstrainedInsertInOneTransactionExclusive)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_ConstrainedInsertSingleRowsShared)->Apply(RepeatedAgainstSQLite);
BENCHMARK(BM_ConstrainedInsertSingleRowsExclusive)->Apply(RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv::bench
