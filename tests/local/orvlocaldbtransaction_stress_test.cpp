#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvobjmgr.h"
#include "storage/orvrowsfile.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"
#include "tests/support/orvchildprocess.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

// Ends the process when the work it watches has not ended in time: a
// deadlock must fail the run, never hang it.
class TWatchdog {
 public:
  explicit TWatchdog(const char* What, std::chrono::seconds Limit = std::chrono::seconds(60))
      : FThread([this, What, Limit] {
          std::unique_lock<std::mutex> Lock(FMutex);
          if (!FDone.wait_for(Lock, Limit, [this] { return FFinished; })) {
            std::fprintf(stderr, "%s did not end within %lld s: a deadlock\n", What,
                         static_cast<long long>(Limit.count()));
            std::_Exit(3);
          }
        }) {}
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      FFinished = true;
    }
    FDone.notify_all();
    FThread.join();
  }

 private:
  std::mutex FMutex;
  std::condition_variable FDone;
  bool FFinished = false;
  std::thread FThread;
};

// The tables every worker shares; each names its own overlapping set.
constexpr const char16_t* TableNames[] = {u"t1", u"t2", u"t3", u"t4"};

struct TWorker {
  const char* Name;
  TORVStringsArray Tables;
};

// Two pairs of workers, each pair naming one set in opposite orders, the
// sets overlapping in t2 and t3.
const std::vector<TWorker>& Workers() {
  static const std::vector<TWorker> List{{"T0", {u"t1", u"t2", u"t3"}},
                                         {"T1", {u"t3", u"t2", u"t1"}},
                                         {"P0", {u"t2", u"t3", u"t4"}},
                                         {"P1", {u"t4", u"t3", u"t2"}}};
  return List;
}

// What one worker does in one transaction: the tables of its set that get
// a row, and whether it commits or rolls back.
struct TRoundPlan {
  std::vector<bool> InsertInto;
  bool CommitIt = true;
};

// Worker's transactions, drawn from Seed: every run of the same seed plans
// the same, so that the rows the processes commit are known here too.
std::vector<TRoundPlan> PlanOf(int32_t WorkerIndex, int32_t Rounds, uint32_t Seed) {
  std::mt19937 Random(Seed + static_cast<uint32_t>(WorkerIndex));
  std::vector<TRoundPlan> Plans(static_cast<size_t>(Rounds));
  for (TRoundPlan& Plan : Plans) {
    for (size_t Table = 0; Table < Workers()[static_cast<size_t>(WorkerIndex)].Tables.size(); ++Table)
      Plan.InsertInto.push_back(Random() % 4 != 0);
    Plan.CommitIt = Random() % 3 != 0;
  }
  return Plans;
}

// The value of the row Worker inserts in Round: unique over every worker.
int32_t RowValue(int32_t WorkerIndex, int32_t Round) { return WorkerIndex * 100000 + Round; }

constexpr int32_t ValueColumn = 1;

// Values of the rows of each table by table name.
using TTableRows = std::map<TORVString, std::multiset<int32_t>>;

// A logged-in session of Engine with database d open and the managers of
// Names open, so that each transaction starts and commits through them;
// Work runs on the database and the managers (in the order of Names), and
// everything is closed again after.
template <typename TWork>
void WithTables(TORVEngineManager* Engine, const TORVString& SessionName, const TORVStringsArray& Names,
                TWork Work) {
  auto* Session = CreateSessionManager<TORVLocalSessionManager>(Engine, false, true);
  try {
    Session->Open(u"Stress", SessionName, u"");
    Session->Login(test::AdminName, test::AdminPassword);
    TORVLocalDatabaseManager* Database = Session->GetDatabaseManager(test::AddDatabase(*Session, u"d", u"d"));
    Database->Open(ltShared);
    TORVSchema* Schema = Database->GetCatalog()->GetDefaultSchema();
    std::vector<TORVTableManager*> Managers;
    for (const TORVString& Name : Names)
      Managers.push_back(static_cast<TORVTableManager*>(Database->GetTableManagers().Open(
          Database->GetCatalog()->FindTable(Schema, Name, nullptr, true, false), ltShared)));
    Work(*Database, Managers);
    Database->Close(false);
    Session->Close();
  } catch (...) {
    FreeSessionManager(Session);
    throw;
  }
  FreeSessionManager(Session);
}

void InsertValue(TORVLocalDatabaseManager& Database, TORVTableManager& Manager, int32_t Value) {
  std::unique_ptr<TORVRowsetRow> Row = Manager.CreateNewRow();
  TORVRowsetRowValues Values(Manager.RowsetManager(), Database.GetSessionSettings().GetCharacterSet());
  Row->Initialize();
  Values.SetRow(Row.get());
  Values.Clear();
  Values.GetItems(ValueColumn)->SetAsInteger(Value);
  int32_t Number = 0;
  int32_t Version = 0;
  int32_t Counter = 0;
  Manager.InsertRow(Values, Number, Version, Counter, false);
}

std::multiset<int32_t> StoredValues(TORVLocalDatabaseManager& Database, TORVTableManager& Manager) {
  std::unique_ptr<TORVRowsetRow> Row = Manager.CreateNewRow();
  TORVRowsetRowValues Values(Manager.RowsetManager(), Database.GetSessionSettings().GetCharacterSet());
  std::multiset<int32_t> Found;
  Manager.CheckForChanges(false);
  for (int32_t Number = 1; Number <= Manager.GetPhysicalRowCount(); ++Number)
    if (Manager.GetRowByNumber(Number, *Row) && Row->GetStatus() != TORVRowsetRow::StatusDeleted) {
      Values.SetRow(Row.get());
      Found.insert(Values.GetItems(ValueColumn)->GetAsInteger());
    }
  Manager.UnlockObject(ltRead);
  return Found;
}

// Worker's transactions as planned, each inserting its rows and then
// committed (flushed every other time) or rolled back; a transaction whose
// locks time out is tried again, anything else raises out of here.
void RunTransactions(TORVEngineManager* Engine, int32_t WorkerIndex, int32_t Rounds, uint32_t Seed) {
  const TWorker& Worker = Workers()[static_cast<size_t>(WorkerIndex)];
  const std::vector<TRoundPlan> Plans = PlanOf(WorkerIndex, Rounds, Seed);
  WithTables(Engine, Utf8ToString(Worker.Name), Worker.Tables,
             [&](TORVLocalDatabaseManager& Database, const std::vector<TORVTableManager*>& Managers) {
               for (int32_t Round = 0; Round < Rounds; ++Round) {
                 for (;;) {
                   try {
                     Database.StartTransaction(Worker.Tables, 1000);
                     break;
                   } catch (const EORVException& E) {
                     if (E.ErrorCode() != 300) throw;
                   }
                 }
                 if (!Database.GetInTransaction()) throw std::logic_error("started transaction not running");
                 const TRoundPlan& Plan = Plans[static_cast<size_t>(Round)];
                 for (size_t Table = 0; Table < Managers.size(); ++Table)
                   if (Plan.InsertInto[Table]) InsertValue(Database, *Managers[Table], RowValue(WorkerIndex, Round));
                 if (Plan.CommitIt)
                   Database.Commit(Round % 2 == 0, false);
                 else
                   Database.Rollback();
               }
             });
}

// The rows every table holds once every worker has run its plan.
TTableRows ExpectedRows(int32_t Rounds, uint32_t Seed) {
  TTableRows Rows;
  for (const char16_t* Name : TableNames) Rows[Name];
  for (int32_t WorkerIndex = 0; WorkerIndex < static_cast<int32_t>(Workers().size()); ++WorkerIndex) {
    const std::vector<TRoundPlan> Plans = PlanOf(WorkerIndex, Rounds, Seed);
    const TORVStringsArray& Tables = Workers()[static_cast<size_t>(WorkerIndex)].Tables;
    for (int32_t Round = 0; Round < Rounds; ++Round) {
      const TRoundPlan& Plan = Plans[static_cast<size_t>(Round)];
      if (!Plan.CommitIt) continue;
      for (size_t Table = 0; Table < Tables.size(); ++Table)
        if (Plan.InsertInto[Table]) Rows[Tables[Table]].insert(RowValue(WorkerIndex, Round));
    }
  }
  return Rows;
}

std::string Describe(const std::multiset<int32_t>& Values) {
  std::string Text = std::to_string(Values.size()) + " rows:";
  for (int32_t Value : Values) Text += " " + std::to_string(Value);
  return Text;
}

using LocalTransactionStress = test::LocalDatabaseTest;

// Threads and processes run transactions over overlapping tables named in
// opposite orders, inserting rows and committing or rolling back: the
// ascending lock order lets none of them wait on another in a cycle, every
// lock they took is given back, and exactly the committed rows stay.
TEST_F(LocalTransactionStress, OverlappingTablesInOppositeOrdersNeverDeadlockAndKeepTheCommittedRows) {
  constexpr int32_t Rounds = 500;
  const uint32_t Seed = test::TestSeed(45);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  {
    TORVLocalSessionManager* Maker = LoggedIn(u"Maker");
    test::StoreTables(*Manager(*Maker, u"d", u"d"), {std::begin(TableNames), std::end(TableNames)},
                      [](TORVBaseTable& Table) { AddTestColumn(Table.GetColumns(), u"v", dtInteger); });
    FreeSession(Maker);
  }

  const TORVString Path = FolderName();
  std::vector<std::unique_ptr<test::ChildProcess>> Children;
  for (int32_t WorkerIndex : {2, 3})
    Children.push_back(std::make_unique<test::ChildProcess>([Path, WorkerIndex, Seed](test::ChildProcess&) {
      TWatchdog Watchdog("a process's transactions");
      auto ChildEngine = test::NewFaultEngine(Path);
      RunTransactions(ChildEngine.get(), WorkerIndex, Rounds, Seed);
    }));
  {
    TWatchdog Watchdog("the transactions");
    std::vector<std::string> Failures(2);
    std::vector<std::thread> Threads;
    for (int32_t WorkerIndex : {0, 1})
      Threads.emplace_back([&, WorkerIndex] {
        try {
          RunTransactions(Engine.get(), WorkerIndex, Rounds, Seed);
        } catch (const std::exception& E) {
          Failures[static_cast<size_t>(WorkerIndex)] = E.what();
        }
      });
    for (std::thread& Thread : Threads) Thread.join();
    for (const std::string& Failure : Failures) EXPECT_EQ(Failure, "");
    for (auto& Child : Children) EXPECT_EQ(Child->Finish(), 0);
  }

  // Nothing is left locked: every table is had at once without waiting;
  // and each holds what was committed to it, nothing rolled back.
  const TTableRows Expected = ExpectedRows(Rounds, Seed);
  TORVStringsArray All(std::begin(TableNames), std::end(TableNames));
  WithTables(Engine.get(), u"Checker", All,
             [&](TORVLocalDatabaseManager& Database, const std::vector<TORVTableManager*>& Managers) {
               Database.StartTransaction(All, 0);
               Database.Commit(false, false);
               for (size_t Table = 0; Table < All.size(); ++Table) {
                 SCOPED_TRACE(StringToUtf8(All[Table]));
                 EXPECT_EQ(Describe(StoredValues(Database, *Managers[Table])), Describe(Expected.at(All[Table])));
               }
             });
}

}  // namespace
}  // namespace orv
