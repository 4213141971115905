#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvobjmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"
#include "tests/support/orvchildprocess.h"

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

// A logged-in session of Engine with database d open and the managers of
// Names open, so that each transaction starts and commits through them;
// Work runs on the database, and everything is closed again after.
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
    for (const TORVString& Name : Names)
      Database->GetTableManagers().Open(Database->GetCatalog()->FindTable(Schema, Name, nullptr, true, false),
                                        ltShared);
    Work(*Database);
    Database->Close(false);
    Session->Close();
  } catch (...) {
    FreeSessionManager(Session);
    throw;
  }
  FreeSessionManager(Session);
}

// Worker's transactions, each committed (flushed every other time); a
// transaction whose locks time out is tried again, anything else raises
// out of here.
void RunTransactions(TORVEngineManager* Engine, int32_t WorkerIndex, int32_t Rounds) {
  const TWorker& Worker = Workers()[static_cast<size_t>(WorkerIndex)];
  WithTables(Engine, Utf8ToString(Worker.Name), Worker.Tables, [&](TORVLocalDatabaseManager& Database) {
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
      Database.Commit(Round % 2 == 0, false);
    }
  });
}

using LocalTransactionStress = test::LocalDatabaseTest;

// Threads and processes run transactions over overlapping tables named in
// opposite orders: the ascending lock order lets none of them wait on
// another in a cycle, and every lock they took is given back.
TEST_F(LocalTransactionStress, OverlappingTablesInOppositeOrdersNeverDeadlock) {
  constexpr int32_t Rounds = 500;
  {
    TORVLocalSessionManager* Maker = LoggedIn(u"Maker");
    test::StoreTables(*Manager(*Maker, u"d", u"d"), {std::begin(TableNames), std::end(TableNames)});
    FreeSession(Maker);
  }

  const TORVString Path = FolderName();
  std::vector<std::unique_ptr<test::ChildProcess>> Children;
  for (int32_t WorkerIndex : {2, 3})
    Children.push_back(std::make_unique<test::ChildProcess>([Path, WorkerIndex](test::ChildProcess&) {
      TWatchdog Watchdog("a process's transactions");
      auto ChildEngine = test::NewFaultEngine(Path);
      RunTransactions(ChildEngine.get(), WorkerIndex, Rounds);
    }));
  {
    TWatchdog Watchdog("the transactions");
    std::vector<std::string> Failures(2);
    std::vector<std::thread> Threads;
    for (int32_t WorkerIndex : {0, 1})
      Threads.emplace_back([&, WorkerIndex] {
        try {
          RunTransactions(Engine.get(), WorkerIndex, Rounds);
        } catch (const std::exception& E) {
          Failures[static_cast<size_t>(WorkerIndex)] = E.what();
        }
      });
    for (std::thread& Thread : Threads) Thread.join();
    for (const std::string& Failure : Failures) EXPECT_EQ(Failure, "");
    for (auto& Child : Children) EXPECT_EQ(Child->Finish(), 0);
  }

  // Nothing is left locked: every table is had at once without waiting.
  TORVStringsArray All(std::begin(TableNames), std::end(TableNames));
  WithTables(Engine.get(), u"Checker", All, [&](TORVLocalDatabaseManager& Database) {
    Database.StartTransaction(All, 0);
    Database.Commit(false, false);
  });
}

}  // namespace
}  // namespace orv
