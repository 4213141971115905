// A table shared with other processes: two processes adding to one counter,
// and a process killed at random moments while it changes the table, whose
// committed changes must all be there afterwards, after a repair where the
// kill cut a write short.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orvchildprocess.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::TModelRow;
using test::TModelRows;
using test::TTableConnection;
using test::RepairRequired;

class TableManagerProcesses : public test::TableFolderTest {};

TEST_F(TableManagerProcesses, TwoProcessesAddToOneCounterWithoutLosingAnUpdate) {
  constexpr int32_t Rounds = 200;
  int32_t CounterID = 0;
  int32_t CounterNumber = 0;
  {
    TTableConnection& Main = OpenSession();
    CounterID = Main.Insert({1, u"counter", 0});
    CounterNumber = Main.LastNumber;
    CloseSessions();
  }
  auto Side = [&](int32_t Base) {
    return [&, Base](test::ChildProcess& Child) {
      TTableConnection Session(Files.get(), PathName("db"), PathName("orv.lock"));
      Session.Open();
      Child.Tell('r');
      Child.Await();
      test::RunCounterSide(Session, CounterID, CounterNumber, Base, Rounds);
    };
  };
  test::ChildProcess First(Side(1000));
  test::ChildProcess Second(Side(2000));
  EXPECT_EQ(First.Expect(), 'r');
  EXPECT_EQ(Second.Expect(), 'r');
  First.Go();
  Second.Go();
  EXPECT_EQ(First.Finish(), 0);
  EXPECT_EQ(Second.Finish(), 0);
  TTableConnection& Main = OpenSession();
  const TModelRows Rows = Main.Scan();
  EXPECT_EQ(Rows.size(), static_cast<size_t>(1 + 2 * Rounds));
  EXPECT_EQ(Rows.at(CounterID).N, 2 * Rounds);
  EXPECT_EQ(Main.IndexesAgreeWithRows(), "");
}

// The changes of the killed process, step by step: the same seed gives the
// same steps in the child that makes them and in the parent that checks
// them. Each step is an insert, an update or a delete, or two of them in a
// transaction, and ends committed.
class TStepPlan {
 public:
  explicit TStepPlan(uint32_t Seed) : FRandom(Seed) {}

  // Applies the next step to Model; with a session, makes it in the table.
  void Next(TModelRows& Model, TTableConnection* Session) {
    const bool Transaction = FRandom() % 4 == 0;
    if (Transaction && Session != nullptr) Session->StartTransaction();
    for (int32_t Change = 0; Change < (Transaction ? 2 : 1); ++Change) One(Model, Session);
    if (Transaction && Session != nullptr) Session->Commit();
  }

 private:
  void One(TModelRows& Model, TTableConnection* Session) {
    const uint32_t Pick = FRandom() % 10;
    std::vector<int32_t> RowIDs;
    for (const auto& Entry : Model) RowIDs.push_back(Entry.first);
    const int32_t Some = RowIDs.empty() ? 0 : RowIDs[FRandom() % RowIDs.size()];
    const int32_t N = static_cast<int32_t>(FRandom() % 1000);
    if (Pick < 5 || RowIDs.empty()) {
      const TModelRow New{FNextId++, u"k" + IntToString(N % 17), N};
      // Row IDs are handed out in order from 1: the model knows them.
      const int32_t RowID = ++FLastRowID;
      if (Session != nullptr && Session->Insert(New) != RowID) throw std::logic_error("unexpected row ID");
      Model[RowID] = New;
    } else if (Pick < 8) {
      if (Session != nullptr) Session->Update(Some, u"u" + IntToString(N % 13), N);
      Model[Some].Name = u"u" + IntToString(N % 13);
      Model[Some].N = N;
    } else {
      if (Session != nullptr) Session->Delete(Some);
      Model.erase(Some);
    }
  }

  std::mt19937 FRandom;
  int32_t FNextId = 1;
  int32_t FLastRowID = 0;
};

TEST_F(TableManagerProcesses, AKilledProcessLeavesEveryCommittedChange) {
  const uint32_t Seed = test::TestSeed(4599);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  std::mt19937 Random(Seed);
  constexpr int32_t Kills = 30;
  int32_t Repairs = 0;
  int32_t TotalReported = 0;
  for (int32_t Kill = 0; Kill < Kills; ++Kill) {
    SCOPED_TRACE("kill " + std::to_string(Kill));
    const std::string Subfolder = "kill" + std::to_string(Kill);
    const uint32_t PlanSeed = Random();
    { OpenSession({}, Subfolder); }
    CloseSessions();
    int Report[2];
    ASSERT_EQ(::pipe(Report), 0);
    const pid_t Child = ::fork();
    if (Child == 0) {
      ::close(Report[0]);
      int Status = 0;
      try {
        TTableConnection Session(Files.get(), PathName(Subfolder), PathName("orv.lock"));
        Session.Open();
        TStepPlan Plan(PlanSeed);
        TModelRows Model;
        for (int32_t Step = 1;; ++Step) {
          Plan.Next(Model, &Session);
          if (::write(Report[1], &Step, sizeof Step) != sizeof Step) break;
        }
      } catch (...) {
        Status = 2;
      }
      ::_exit(Status);
    }
    ::close(Report[1]);
    // The kill moment counts from the child's first reported step, not from
    // the fork: on a loaded machine a child may not have opened the table
    // yet after a fixed delay, and every kill would land before any work.
    int32_t Reported = 0;
    if (::read(Report[0], &Reported, sizeof Reported) != sizeof Reported) Reported = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(Random() % 300));
    ::kill(Child, SIGKILL);
    int Raw = 0;
    ::waitpid(Child, &Raw, 0);
    for (int32_t Step = 0; ::read(Report[0], &Step, sizeof Step) == sizeof Step;) Reported = Step;
    ::close(Report[0]);
    TotalReported += Reported;
    ASSERT_TRUE(WIFSIGNALED(Raw)) << "the child ended on its own with " << WEXITSTATUS(Raw);
    TModelRows Committed;
    TStepPlan Plan(PlanSeed);
    for (int32_t Step = 0; Step < Reported; ++Step) Plan.Next(Committed, nullptr);
    TModelRows InFlight = Committed;
    Plan.Next(InFlight, nullptr);
    TTableConnection& Check = NewSession({}, Subfolder);
    const std::string OpenError = test::ErrorOf([&] { Check.Open(); });
    if (OpenError != "no error") {
      EXPECT_EQ(OpenError, RepairRequired);
      ++Repairs;
      // REPAIR gives back a table that opens, verifies clean and holds
      // every reported step.
      const test::TVerifyRun Repair = RepairTable({}, Subfolder);
      EXPECT_TRUE(Repair.Result) << test::Joined(Repair.Findings);
      EXPECT_EQ(CheckRepaired(Committed, InFlight, {}, Subfolder), "")
          << "after " << Reported << " reported steps\n" << test::Joined(Repair.Findings);
    } else {
      const std::string Seen = test::DescribeRows(Check.Scan());
      if (Seen != test::DescribeRows(Committed)) {
        EXPECT_EQ(Seen, test::DescribeRows(InFlight)) << "after " << Reported << " reported steps";
      }
      EXPECT_EQ(Check.IndexesAgreeWithRows(), "");
    }
    CloseSessions();
  }
  // Most kills land between writes.
  EXPECT_LT(Repairs, Kills);
  std::printf("%d kills, %d steps reported, %d needing repair\n", Kills, TotalReported, Repairs);
}

}  // namespace
}  // namespace orv
