#include <gtest/gtest.h>

#include <string>

#include "core/orvlocktype.h"
#include "local/orvevalcontext.h"
#include "local/orvlocaldbmgr.h"
#include "tests/local/orvlocaldbtest.h"
#include "tests/local/orvlocalroutinetest.h"

namespace orv {
namespace {

// The routine fixture as a part of a database fixture.
class TRoutineRunner : public test::RoutineTest {
 public:
  using RoutineTest::Compile;
  using RoutineTest::Context;
  using RoutineTest::Evaluator;
  using RoutineTest::Run;
  using RoutineTest::kProcedure;
  void TestBody() override {}
};

// Routines run on a session's database, with EXECUTE of a declared
// statement standing for USE db2: it opens db2 once more and makes it the
// context's current database, as USE does.
class RoutineDatabases : public test::LocalDatabaseTest {
 protected:
  void SetUp() override {
    LocalDatabaseTest::SetUp();
    Session = LoggedIn();
    Db1 = Manager(*Session, u"db1", FolderName() + u"/db1");
    Db2 = Manager(*Session, u"db2", FolderName() + u"/db2");
    Db1->Open(ltShared);
    Runner.Context.SetDatabaseManager(Db1);
    Runner.Evaluator.OnExecute = [this] {
      Db2->Open(ltShared);
      Runner.Evaluator.GetContext()->FCurrentDatabaseManager = Db2;
    };
  }
  void TearDown() override {
    Db1->Close(false);
    LocalDatabaseTest::TearDown();
  }

  TORVLocalSessionManager* Session = nullptr;
  TORVLocalDatabaseManager* Db1 = nullptr;
  TORVLocalDatabaseManager* Db2 = nullptr;
  TRoutineRunner Runner;
};

TEST_F(RoutineDatabases, ARoutineGoesBackToItsDatabaseAndClosesTheUsedOneHoweverItsBodyEnds) {
  const struct {
    const char* Name;
    const char* Tail;   // after USE db2
    const char* Error;  // what leaves the routine
  } Cases[] = {
      {"the body ends normally", "", "no error"},
      {"the body raises", "RAISE ERROR CODE 10000 MESSAGE 'x';", "10000 x"},
      {"an exception clause handles the error", "BEGIN RAISE ERROR CODE 10001 MESSAGE 'y'; EXCEPTION END;",
       "no error"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    // db2 open elsewhere already: the routine must give back only its own.
    Db2->Open(ltShared);
    TORVExprToken* Routine = Runner.Compile(
        std::string("PROCEDURE p(IN n INTEGER, OUT r INTEGER) BEGIN DECLARE c CURSOR FOR s; "
                    "PREPARE s FROM 'USE db2'; EXECUTE s; ") +
            Case.Tail + " END",
        TRoutineRunner::kProcedure);
    ASSERT_NE(Routine, nullptr);
    EXPECT_EQ(test::ErrorOf([&] { Runner.Run(Routine); }), Case.Error);
    EXPECT_EQ(Runner.Context.FCurrentDatabaseManager, Db1);
    // One Close gives back the outside open: db2 is then released.
    EXPECT_TRUE(Db2->GetOpened());
    Db2->Close(false);
    EXPECT_FALSE(Db2->GetOpened()) << "the routine left its USE of db2 open";
    EXPECT_TRUE(Db1->GetOpened());
  }
}

}  // namespace
}  // namespace orv
