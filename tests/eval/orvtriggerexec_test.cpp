#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvtrigger.h"
#include "eval/orvvirtualtablemgr.h"
#include "storage/orvrowsfile.h"
#include "tests/eval/orvrecordingtablemgr.h"
#include "tests/eval/orvtestdatabase.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvtestfolder.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::TTableRow;
using test::TTriggerRun;
using Steps = std::vector<std::string>;

// The row operation a case runs.
enum TOperation { opInsert, opUpdate, opDelete };

const char* OperationName(TOperation Operation) {
  static const char* const Names[] = {"insert", "update", "delete"};
  return Names[Operation];
}

int32_t ActionTypeOf(TOperation Operation) {
  static const int32_t Types[] = {tyInsert, tyUpdate, tyDelete};
  return Types[Operation];
}

[[noreturn]] void RaiseEngineError(int32_t Code, const char16_t* Text) { throw EORVException(Code, Text); }

// The table t (a INTEGER, b VARCHAR(10) ignoring case) of one session's
// database, its manager keeping rows in memory, and triggers whose bodies
// the test scripts. Row 1 holds (10, 'x') when a case needs a stored row.
class TriggerExecution : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
    Files->Initialize();
    Fresh();
  }
  // A new database with the table t and no triggers, for the next case.
  void Fresh() {
    Manager.reset();
    Database.reset();
    Database = std::make_unique<test::TTestDatabase>(Files.get(), PathName("orv.lock"));
    Table = Database->AddTable(u"t", 1);
    AddTestColumn(Table->GetColumns(), u"a", dtInteger);
    AddTestColumn(Table->GetColumns(), u"b", dtCharacter, stVarChar, 10)->SetIgnoreCase(true);
    Manager = std::make_unique<test::TRecordingTableManager>(*Database, Table);
  }
  void TearDown() override {
    Manager.reset();
    Database.reset();
    Files.reset();
    test::TempFolderTest::TearDown();
  }

  // A compiled trigger of t; OfColumns only for update triggers.
  TORVTrigger* AddTrigger(const TORVString& Name, int32_t Time, int32_t Type, const TORVString& Body = u"BEGIN END",
                          const TORVString& Condition = TORVString(),
                          std::initializer_list<const char16_t*> OfColumns = {}) {
    TORVTriggers& Triggers = Table->GetTriggers();
    std::unique_ptr<TORVTrigger> Trigger(static_cast<TORVTrigger*>(Triggers.GetNewObject()));
    Trigger->SetName(Name);
    Trigger->SetActionTime(Time);
    Trigger->SetActionType(Type);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"" + Name + u"\"\r\n" + Body);
    Trigger->GetConditionExpr()->SetExpression(Condition);
    for (const char16_t* ColumnName : OfColumns) {
      auto* Column = static_cast<TORVTriggerColumn*>(Trigger->GetTriggerColumns()->GetNewObject());
      Column->SetColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(ColumnName, true)));
      Trigger->GetTriggerColumns()->Add(Column);
    }
    Triggers.Add(Trigger.get());
    TORVTrigger* Placed = Trigger.release();
    Placed->Compile();
    return Placed;
  }
  void Script(const TORVString& Name, test::TTriggerScript Value) { Database->Evaluator.Script(Name, std::move(Value)); }

  // A new database whose table has the triggers Named, each of its action
  // time, on Operation.
  void FreshWithTriggers(TOperation Operation, std::initializer_list<std::pair<const char16_t*, int32_t>> Named) {
    Fresh();
    for (const auto& [Name, Time] : Named) AddTrigger(Name, Time, ActionTypeOf(Operation));
  }

  // The log without the row-lock calls.
  Steps TriggerAndStorageSteps() {
    Steps Result;
    for (const std::string& Step : Log())
      if (Step.rfind("refresh", 0) != 0 && Step.rfind("lock", 0) != 0 && Step.rfind("unlock", 0) != 0)
        Result.push_back(Step);
    return Result;
  }

  // Row 1 = (10, 'x'), stored before the case starts; the log starts empty.
  void StoreFirstRow() {
    Manager->Rows.clear();
    Manager->NextRowNumber = 1;
    TTableRow Row = Manager->NewRow();
    Row.Values->GetItems(1)->SetAsInteger(10);
    Row.Values->GetItems(2)->SetAsString(u"x");
    int32_t Number = 0, Version = 0, Counter = 0;
    Manager->InsertRow(*Row.Values, Number, Version, Counter, false);
    Database->Log.clear();
  }

  // Runs Operation: an insert of (1, 'new'), an update of row 1 setting
  // a to 11, or a delete of row 1.
  bool Run(TOperation Operation) {
    if (Operation != opInsert && Manager->Rows.count(1) == 0) StoreFirstRow();
    TTableRow Row = Operation == opInsert ? Manager->NewRow() : Manager->ReadRow(1);
    int32_t Number = 1, Version = 1, Counter = 0;
    switch (Operation) {
      case opInsert:
        Row.Values->GetItems(1)->SetAsInteger(1);
        Row.Values->GetItems(2)->SetAsString(u"new");
        return Manager->Insert(*Row.Values, Number, Version, Counter, false);
      case opUpdate:
        Row.Values->GetItems(1)->SetAsInteger(11);
        return Manager->Update(nullptr, *Row.Values, Number, Version, Counter);
      case opDelete:
        return Manager->Delete(nullptr, *Row.Values, Number, Version, Counter);
    }
    return false;
  }

  // Every bracket a row operation opens is closed again.
  void ExpectAllScopesClosed() {
    EXPECT_EQ(Database->Evaluator.ContextDepth, 0);
    EXPECT_EQ(Database->Evaluator.BoundRows, 0);
    EXPECT_EQ(Database->Session().ProgressDepth, 0);
    EXPECT_TRUE(Database->UserStack.empty());
    EXPECT_EQ(Database->CurrentUser, nullptr);
    EXPECT_EQ(Manager->GetTriggerState(), nullptr);
    EXPECT_EQ(Manager->GetLentRows(), 0);
    EXPECT_EQ(Manager->LocksHeld, 0);
  }

  Steps& Log() { return Database->Log; }

  std::unique_ptr<test::TFaultOSFileManager> Files;
  std::unique_ptr<test::TTestDatabase> Database;
  TORVBaseTable* Table = nullptr;
  std::unique_ptr<test::TRecordingTableManager> Manager;
};

// The storage step of Operation on row 1, as the log names it.
std::string StorageStep(TOperation Operation) { return std::string(OperationName(Operation)) + " 1"; }

TEST_F(TriggerExecution, ReadOnlyTableRefusesEveryOperationBeforeAnyOtherWork) {
  for (TOperation Operation : {opInsert, opUpdate, opDelete}) {
    StoreFirstRow();
    Table->SetReadOnly(true);
    Database->CheckedPrivileges.clear();
    const std::string Verb = Operation == opInsert ? "INSERT" : Operation == opUpdate ? "UPDATE" : "DELETE";
    EXPECT_EQ(ErrorOf([&] { Run(Operation); }),
              "403 The table t is read-only and this operation cannot be performed (" + Verb + ")");
    EXPECT_TRUE(Log().empty()) << Verb;
    EXPECT_TRUE(Database->CheckedPrivileges.empty()) << Verb;
    Table->SetReadOnly(false);
  }
}

TEST_F(TriggerExecution, EachOperationChecksItsPrivilegeAndLocksAsItsProtocolSays) {
  const struct {
    TOperation Operation;
    TORVRowLockProtocol Protocol;
    int32_t Privilege;
    const char16_t* Text;
    Steps Expected;
  } Cases[] = {
      {opInsert, rpPessimistic, PrivilegeInsert, u"INSERT", {"insert 2"}},
      {opUpdate, rpPessimistic, PrivilegeUpdate, u"UPDATE", {"refresh 1", "update 1"}},
      {opUpdate, rpOptimistic, PrivilegeUpdate, u"UPDATE", {"lock 1", "update 1", "unlock 1"}},
      {opDelete, rpPessimistic, PrivilegeDelete, u"DELETE", {"lock forced 1", "delete 1", "unlock 1"}},
      {opDelete, rpOptimistic, PrivilegeDelete, u"DELETE", {"lock forced 1", "delete 1", "unlock 1"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(OperationName(Case.Operation));
    StoreFirstRow();
    Database->Session().SetRowLockProtocol(Case.Protocol);
    Database->CheckedPrivileges.clear();
    EXPECT_TRUE(Run(Case.Operation));
    EXPECT_EQ(Log(), Case.Expected);
    ASSERT_EQ(Database->CheckedPrivileges.size(), 1u);
    EXPECT_EQ(Database->CheckedPrivileges[0].Object, Table);
    EXPECT_EQ(Database->CheckedPrivileges[0].Privilege, Case.Privilege);
    EXPECT_EQ(Database->CheckedPrivileges[0].StatementText, Case.Text);
    ExpectAllScopesClosed();
  }
}

TEST_F(TriggerExecution, UpdateOfUnmodifiedValuesDoesNothing) {
  AddTrigger(u"bu", taBefore, tyUpdate);
  AddTrigger(u"au", taAfter, tyUpdate);
  StoreFirstRow();
  TTableRow Row = Manager->ReadRow(1);
  int32_t Counter = 0;
  EXPECT_FALSE(Manager->Update(nullptr, *Row.Values, 1, 1, Counter));
  EXPECT_TRUE(Log().empty());
  EXPECT_TRUE(Database->Evaluator.Runs.empty());
}

TEST_F(TriggerExecution, TriggersRunAroundTheStorageStepWithTheirRows) {
  for (TOperation Operation : {opInsert, opUpdate, opDelete}) {
    SCOPED_TRACE(OperationName(Operation));
    FreshWithTriggers(Operation, {{u"b1", taBefore}, {u"b2", taBefore}, {u"a1", taAfter}});
    StoreFirstRow();
    TORVUser* DuringBody = nullptr;
    int32_t ProgressDuringBody = 0;
    Script(u"a1", {nullptr, [&](TTriggerRun&) {
                     DuringBody = Database->CurrentUser;
                     ProgressDuringBody = Database->Session().ProgressDepth;
                   }});
    EXPECT_TRUE(Run(Operation));
    const std::string Stored = Operation == opInsert ? "insert 2" : StorageStep(Operation);
    Steps Expected{"b1", "b2", Stored, "a1"};
    if (Operation == opUpdate) Expected.insert(Expected.begin(), "refresh 1");
    if (Operation == opDelete) {
      Expected.insert(Expected.begin(), "lock forced 1");
      Expected.push_back("unlock 1");
    }
    EXPECT_EQ(Log(), Expected);
    EXPECT_EQ(DuringBody, Database->Catalog().Config->GetSystemUser());
    EXPECT_EQ(ProgressDuringBody, 1);
    for (const TTriggerRun& Seen : Database->Evaluator.Runs) {
      EXPECT_EQ(Seen.Settings.OperationType, static_cast<TORVTableOperation>(Operation));
      EXPECT_EQ(Seen.Settings.CurrentTable, Table);
      EXPECT_EQ(Seen.Settings.CurException, nullptr);
      EXPECT_EQ(Seen.OldRowValues != nullptr, Operation != opInsert);
      EXPECT_EQ(Seen.NewRowValues != nullptr, Operation != opDelete);
    }
    ExpectAllScopesClosed();
  }
}

TEST_F(TriggerExecution, AbortBeforeTheStorageStepPreventsItAndAfterItKeepsTheRow) {
  for (TOperation Operation : {opInsert, opUpdate, opDelete}) {
    for (int32_t AbortTime : {taBefore, taAfter}) {
      SCOPED_TRACE(std::string(OperationName(Operation)) + (AbortTime == taBefore ? " before" : " after"));
      FreshWithTriggers(Operation, {{u"b1", taBefore}, {u"b2", taBefore}, {u"a1", taAfter}, {u"a2", taAfter}});
      Script(AbortTime == taBefore ? u"b1" : u"a1", {nullptr, [](TTriggerRun& R) { R.Aborted = true; }});
      if (Operation != opInsert) StoreFirstRow();
      const size_t RowsBefore = Manager->Rows.size();
      const bool Result = Run(Operation);
      Steps Ran;
      for (const std::string& Step : Log())
        if (Step[0] == 'b' || Step[0] == 'a') Ran.push_back(Step);
      if (AbortTime == taBefore) {
        EXPECT_FALSE(Result);
        EXPECT_EQ(Ran, Steps{"b1"});
        EXPECT_EQ(Manager->Rows.size(), RowsBefore);
      } else {
        EXPECT_TRUE(Result);
        EXPECT_EQ(Ran, (Steps{"b1", "b2", "a1"}));
        EXPECT_EQ(Manager->Rows.size(), RowsBefore + (Operation == opInsert) - (Operation == opDelete));
      }
      ExpectAllScopesClosed();
      }
  }
}

TEST_F(TriggerExecution, ErrorTriggerRetryRunsTheWholePassAgainUntilTheStorageStepSucceeds) {
  for (TOperation Operation : {opInsert, opUpdate, opDelete}) {
    for (bool FailInStorage : {false, true}) {
      SCOPED_TRACE(std::string(OperationName(Operation)) + (FailInStorage ? " storage" : " before"));
      FreshWithTriggers(Operation, {{u"b", taBefore}, {u"a", taAfter}, {u"e", taError}});
      if (Operation != opInsert) StoreFirstRow();
      int32_t Failures = 0;
      const auto FailFirst = [&] {
        if (Failures++ == 0) RaiseEngineError(1300, u"first attempt failed");
      };
      if (FailInStorage)
        Manager->FailStep = [&](const std::string&) { FailFirst(); };
      else
        Script(u"b", {nullptr, [&](TTriggerRun&) { FailFirst(); }});
      const EORVException* Seen = nullptr;
      std::string SeenText;
      Script(u"e", {nullptr, [&](TTriggerRun& R) {
                      Seen = R.Settings.CurException;
                      if (Seen != nullptr) SeenText = Seen->what();
                      R.RetryAfterException = R.Count < 5;
                    }});
      EXPECT_TRUE(Run(Operation));
      const Steps Ran = TriggerAndStorageSteps();
      const std::string Stored = Operation == opInsert ? "insert 1" : StorageStep(Operation);
      EXPECT_EQ(Ran, (Steps{"b", "e", "b", Stored, "a"}));
      EXPECT_NE(Seen, nullptr);
      EXPECT_NE(SeenText.find("first attempt failed"), std::string::npos) << SeenText;
      ExpectAllScopesClosed();
      }
  }
}

TEST_F(TriggerExecution, ErrorTriggerThatNeitherRetriesNorAbortsSwallowsTheError) {
  AddTrigger(u"e1", taError, tyInsert);
  AddTrigger(u"e2", taError, tyInsert);
  Manager->FailStep = [](const std::string&) { RaiseEngineError(1300, u"full"); };
  EXPECT_FALSE(Run(opInsert));
  // Both ran: the list stops only at a retry or an abort.
  EXPECT_EQ(Log(), (Steps{"e1", "e2"}));
  EXPECT_TRUE(Manager->Rows.empty());
  ExpectAllScopesClosed();

  Log().clear();
  Script(u"e1", {nullptr, [](TTriggerRun& R) { R.Aborted = true; }});
  EXPECT_FALSE(Run(opInsert));
  EXPECT_EQ(Log(), Steps{"e1"});
  ExpectAllScopesClosed();
}

TEST_F(TriggerExecution, ErrorsNoErrorTriggerAcceptsPassUnchanged) {
  const struct {
    const char* Name;
    std::function<void()> Raise;
    bool ErrorTriggerRuns;
    std::string Text;
  } Cases[] = {
      {"refused by WHEN", [] { RaiseEngineError(1300, u"full"); }, false, "1300 full"},
      {"floating point", [] { throw EORVBaseException(u"Floating point overflow"); }, false,
       "Floating point overflow"},
      {"abort", [] { throw EORVAbortException(u"stopped"); }, false, "stopped"},
  };
  AddTrigger(u"e", taError, tyInsert, u"BEGIN END", u"NewRow.a > 0");
  Script(u"e", {[](TTriggerRun&) { return false; }, [](TTriggerRun& R) { R.RetryAfterException = true; }});
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Log().clear();
    Manager->FailStep = [&](const std::string&) { Case.Raise(); };
    std::string Error = "no error";
    try {
      Run(opInsert);
    } catch (const std::exception& E) {
      Error = E.what();
    }
    EXPECT_NE(Error.find(Case.Text), std::string::npos) << Error;
    const bool Asked = !Log().empty() && Log()[0] == "when e false";
    EXPECT_EQ(Asked, std::string(Case.Name) == "refused by WHEN");
    ExpectAllScopesClosed();
  }
}

TEST_F(TriggerExecution, AFailingBodyIsLoggedOnceAsExecuteTrigger) {
  AddTrigger(u"b", taBefore, tyInsert);
  Script(u"b", {nullptr, [](TTriggerRun&) { RaiseEngineError(1300, u"body failed"); }});
  EXPECT_EQ(ErrorOf([&] { Run(opInsert); }), "1300 body failed");
  ASSERT_EQ(Database->Handled.size(), 1u);
  EXPECT_EQ(Database->Handled[0].FunctionCode, 153);
  EXPECT_NE(Database->Handled[0].Text.find("body failed"), std::string::npos);
  ExpectAllScopesClosed();

  // Answered by an ERROR trigger, it is still logged once.
  Database->Handled.clear();
  AddTrigger(u"e", taError, tyInsert);
  EXPECT_FALSE(Run(opInsert));
  EXPECT_EQ(Database->Handled.size(), 1u);
  ExpectAllScopesClosed();
}

TEST_F(TriggerExecution, DisabledTriggersAndFalseConditionsDoNotFire) {
  AddTrigger(u"off", taBefore, tyInsert)->SetEnabled(false);
  AddTrigger(u"cond", taBefore, tyInsert, u"BEGIN END", u"NewRow.a > 5");
  Script(u"cond", {[](TTriggerRun& R) { return R.NewRowValues->GetItems(1)->GetAsInteger() > 5; }, nullptr});
  EXPECT_TRUE(Run(opInsert));
  EXPECT_EQ(Log(), (Steps{"when cond false", "insert 1"}));
}

// An update trigger with an OF list fires only when a listed column
// changed to a value its collation tells apart from the old one.
TEST_F(TriggerExecution, UpdateTriggersWithAnOfListFireOnlyWhenAListedColumnChanged) {
  const struct {
    const char* Name;
    std::function<void(TORVRowValues&)> Change;
    bool Fires;
  } Cases[] = {
      {"unlisted column", [](TORVRowValues& V) { V.GetItems(1)->SetAsInteger(99); }, false},
      {"same value", [](TORVRowValues& V) { V.GetItems(2)->SetAsString(u"x"); }, false},
      {"equal under the collation", [](TORVRowValues& V) { V.GetItems(2)->SetAsString(u"X"); }, false},
      {"different value", [](TORVRowValues& V) { V.GetItems(2)->SetAsString(u"y"); }, true},
      {"set to NULL", [](TORVRowValues& V) { V.GetItems(2)->SetNull(true); }, true},
  };
  AddTrigger(u"bu", taBefore, tyUpdate, u"BEGIN END", TORVString(), {u"b"});
  AddTrigger(u"au", taAfter, tyUpdate, u"BEGIN END", TORVString(), {u"b"});
  AddTrigger(u"any", taAfter, tyUpdate);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    StoreFirstRow();
    TTableRow Row = Manager->ReadRow(1);
    Case.Change(*Row.Values);
    int32_t Counter = 0;
    EXPECT_TRUE(Manager->Update(nullptr, *Row.Values, 1, 1, Counter));
    const Steps Expected = Case.Fires ? Steps{"refresh 1", "bu", "update 1", "au", "any"}
                                      : Steps{"refresh 1", "update 1", "any"};
    EXPECT_EQ(Log(), Expected);
  }
}

TEST_F(TriggerExecution, OldRowHoldsOnlyColumnsSomeTriggerReadsAndTheSourcesOfComputedOnes) {
  AddTestColumn(Table->GetColumns(), u"c", dtInteger);
  TORVColumn* D = AddTestColumn(Table->GetColumns(), u"d", dtInteger);
  D->SetComputed(true);
  D->GetComputeExpr()->SetExpression(u"c * 2");
  Table->GetColumns().Compile();
  Manager = std::make_unique<test::TRecordingTableManager>(*Database, Table);
  AddTrigger(u"reads_b", taBefore, tyUpdate, u"BEGIN DECLARE x VARCHAR(10); SET x = OldRow.b; END");
  AddTrigger(u"reads_d", taAfter, tyDelete, u"BEGIN DECLARE x INTEGER; SET x = OldRow.d; END");
  // a (position 1) is read by no trigger.
  TTableRow Row = Manager->NewRow();
  Row.Values->GetItems(1)->SetAsInteger(10);
  Row.Values->GetItems(2)->SetAsString(u"x");
  Row.Values->GetItems(3)->SetAsInteger(7);
  int32_t Number = 0, Version = 0, Counter = 0;
  Manager->InsertRow(*Row.Values, Number, Version, Counter, false);

  struct TOld {
    bool ANull, BNull, CNull;
    TORVString B;
    int32_t C;
  } Old{};
  Script(u"reads_b", {nullptr, [&](TTriggerRun& R) {
                        TORVRowValues& V = *R.OldRowValues;
                        Old = {V.GetItems(1)->GetNull(), V.GetItems(2)->GetNull(), V.GetItems(3)->GetNull(),
                               V.GetItems(2)->GetAsString(), V.GetItems(3)->GetNull() ? 0 : V.GetItems(3)->GetAsInteger()};
                      }});
  TTableRow Existing = Manager->ReadRow(1);
  Existing.Values->GetItems(1)->SetAsInteger(11);
  EXPECT_TRUE(Manager->Update(nullptr, *Existing.Values, 1, 1, Counter));
  EXPECT_TRUE(Old.ANull);
  EXPECT_FALSE(Old.BNull);
  EXPECT_EQ(Old.B, u"x");
  // c is the source of d, which a trigger of the table reads.
  EXPECT_FALSE(Old.CNull);
  EXPECT_EQ(Old.C, 7);
  EXPECT_EQ(Manager->GetLentRows(), 0);
}

TEST_F(TriggerExecution, RowLockIsReleasedAndTriggerStatePoppedWhenTheLoopRaises) {
  const struct {
    TOperation Operation;
    TORVRowLockProtocol Protocol;
    Steps Expected;
  } Cases[] = {
      {opUpdate, rpOptimistic, {"lock 1", "b", "unlock 1"}},
      {opUpdate, rpPessimistic, {"refresh 1", "b"}},
      {opDelete, rpPessimistic, {"lock forced 1", "b", "unlock 1"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(OperationName(Case.Operation));
    Fresh();
    AddTrigger(u"b", taBefore, ActionTypeOf(Case.Operation));
    Script(u"b", {nullptr, [&](TTriggerRun& R) {
                    EXPECT_EQ(R.OldRowValues, Manager->GetTriggerState()->GetOldRowValues());
                    RaiseEngineError(1300, u"body failed");
                  }});
    Database->Session().SetRowLockProtocol(Case.Protocol);
    StoreFirstRow();
    EXPECT_EQ(ErrorOf([&] { Run(Case.Operation); }), "1300 body failed");
    EXPECT_EQ(Log(), Case.Expected);
    ExpectAllScopesClosed();
  }
}

TEST_F(TriggerExecution, NestedOperationsOnTheSameTableStackTheirOldRows) {
  AddTrigger(u"au", taAfter, tyUpdate, u"BEGIN DECLARE x INTEGER; SET x = OldRow.a; END");
  StoreFirstRow();
  TTableRow Second = Manager->NewRow();
  Second.Values->GetItems(1)->SetAsInteger(20);
  int32_t Number = 0, Version = 0, Counter = 0;
  Manager->InsertRow(*Second.Values, Number, Version, Counter, false);
  ASSERT_EQ(Number, 2);
  Log().clear();

  std::vector<int32_t> OldA;
  Script(u"au", {nullptr, [&](TTriggerRun& R) {
                   TORVTriggerState* Outer = Manager->GetTriggerState();
                   OldA.push_back(R.OldRowValues->GetItems(1)->GetAsInteger());
                   if (OldA.size() > 1) return;
                   // The body updates row 2 of its own table.
                   TTableRow Inner = Manager->ReadRow(2);
                   Inner.Values->GetItems(1)->SetAsInteger(21);
                   int32_t InnerCounter = 0;
                   Manager->Update(nullptr, *Inner.Values, 2, 1, InnerCounter);
                   EXPECT_EQ(Manager->GetTriggerState(), Outer);
                   OldA.push_back(Manager->GetTriggerState()->GetOldRowValues()->GetItems(1)->GetAsInteger());
                 }});
  EXPECT_TRUE(Run(opUpdate));
  EXPECT_EQ(OldA, (std::vector<int32_t>{10, 20, 10}));
  ExpectAllScopesClosed();
}

// A retry after the storage step succeeded re-runs only the AFTER
// triggers: the row is stored once, and a delete does not fail on its own
// deleted row.
TEST_F(TriggerExecution, RetryAfterTheStorageStepRunsOnlyTheAfterTriggersAgain) {
  for (TOperation Operation : {opInsert, opUpdate, opDelete}) {
    SCOPED_TRACE(OperationName(Operation));
    FreshWithTriggers(Operation, {{u"b", taBefore}, {u"a", taAfter}, {u"e", taError}});
    Script(u"a", {nullptr, [](TTriggerRun& R) {
                    if (R.Count == 1) RaiseEngineError(1300, u"after failed");
                  }});
    // A bounded retry, so that a pass that can never succeed fails the
    // case instead of looping.
    Script(u"e", {nullptr, [](TTriggerRun& R) { R.RetryAfterException = R.Count < 5; }});
    if (Operation != opInsert) StoreFirstRow();
    EXPECT_TRUE(Run(Operation));
    const Steps Ran = TriggerAndStorageSteps();
    const std::string Stored = Operation == opInsert ? "insert 1" : StorageStep(Operation);
    EXPECT_EQ(Ran, (Steps{"b", Stored, "a", "e", "a"}));
    EXPECT_EQ(Manager->Rows.size(), Operation == opDelete ? 0u : 1u);
    ExpectAllScopesClosed();
  }
}

TEST_F(TriggerExecution, AnAfterInsertFailureAnsweredByRetryLeavesExactlyOneStoredRow) {
  AddTrigger(u"ai", taAfter, tyInsert);
  AddTrigger(u"ei", taError, tyInsert);
  Script(u"ai", {nullptr, [](TTriggerRun& R) {
                   if (R.Count < 3) RaiseEngineError(1300, u"after failed");
                 }});
  Script(u"ei", {nullptr, [](TTriggerRun& R) { R.RetryAfterException = R.Count < 5; }});
  EXPECT_TRUE(Run(opInsert));
  EXPECT_EQ(Manager->Rows.size(), 1u);
  EXPECT_EQ(Log(), (Steps{"insert 1", "ai", "ei", "ai", "ei", "ai"}));
}


// Seeded random row operations on a table whose triggers abort, fail and
// retry at random, against a model of the stored rows: every call stores
// at most once, answers True exactly when it stored, changes the rows only
// by its own storage step, and leaves every bracket closed.
TEST_F(TriggerExecution, RandomOperationsWithMisbehavingTriggersMatchTheModel) {
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  std::mt19937 Random(Seed);
  const auto Chance = [&](int32_t Percent) { return static_cast<int32_t>(Random() % 100) < Percent; };

  for (TOperation Operation : {opInsert, opUpdate, opDelete}) {
    const TORVString Suffix = Utf8ToString(OperationName(Operation));
    AddTrigger(u"b_" + Suffix, taBefore, ActionTypeOf(Operation));
    AddTrigger(u"a_" + Suffix, taAfter, ActionTypeOf(Operation));
    AddTrigger(u"e_" + Suffix, taError, ActionTypeOf(Operation));
    const auto Misbehave = [&](TTriggerRun& R) {
      if (Chance(10)) R.Aborted = true;
      if (Chance(15)) RaiseEngineError(1300, u"trigger failed");
    };
    Script(u"b_" + Suffix, {nullptr, Misbehave});
    Script(u"a_" + Suffix, {nullptr, Misbehave});
    Script(u"e_" + Suffix, {[&](TTriggerRun&) { return Chance(80); },
                            [&](TTriggerRun& R) {
                              // Retries are bounded, so that every call ends.
                              const int32_t Choice = static_cast<int32_t>(Random() % 3);
                              if (Choice == 0 && R.Count % 4 != 0) R.RetryAfterException = true;
                              if (Choice == 1) R.Aborted = true;
                            }});
  }
  Manager->FailStep = [&](const std::string&) {
    if (Chance(15)) RaiseEngineError(1300, u"storage failed");
  };
  Database->Session().SetRowLockProtocol(rpOptimistic);

  std::map<int32_t, int32_t> Model;
  for (int32_t Step = 0; Step < 300; ++Step) {
    SCOPED_TRACE("step " + std::to_string(Step));
    TOperation Operation = static_cast<TOperation>(Random() % 3);
    if (Model.empty()) Operation = opInsert;
    auto Existing = Model.begin();
    std::advance(Existing, Model.empty() ? 0 : Random() % Model.size());
    const int32_t RowNumber = Operation == opInsert ? 0 : Existing->first;
    const int32_t NewA = static_cast<int32_t>(Random() % 1000);
    TTableRow Row = Operation == opInsert ? Manager->NewRow() : Manager->ReadRow(RowNumber);
    if (Operation != opDelete) Row.Values->GetItems(1)->SetAsInteger(NewA);

    Log().clear();
    int32_t Number = RowNumber, Version = 1, Counter = 0;
    bool Result = false;
    bool Raised = false;
    try {
      switch (Operation) {
        case opInsert:
          Result = Manager->Insert(*Row.Values, Number, Version, Counter, false);
          break;
        case opUpdate:
          Result = Manager->Update(nullptr, *Row.Values, Number, Version, Counter);
          break;
        case opDelete:
          Result = Manager->Delete(nullptr, *Row.Values, Number, Version, Counter);
          break;
      }
    } catch (const EORVException&) {
      Raised = true;
    }
    const std::string StepName = std::string(OperationName(Operation)) + " ";
    int32_t StorageSteps = 0;
    for (const std::string& Entry : Log())
      if (Entry.rfind(StepName, 0) == 0) ++StorageSteps;
    ASSERT_LE(StorageSteps, 1);
    if (!Raised) {
      EXPECT_EQ(Result, StorageSteps == 1);
    }
    if (StorageSteps == 1) {
      if (Operation == opDelete)
        Model.erase(RowNumber);
      else
        Model[Number] = NewA;
    }
    ExpectAllScopesClosed();
    ASSERT_EQ(Manager->Rows.size(), Model.size());
    for (const auto& [Key, A] : Model) {
      TTableRow Kept = Manager->ReadRow(Key);
      ASSERT_EQ(Kept.Values->GetItems(1)->GetAsInteger(), A) << "row " << Key;
    }
  }
}


TEST_F(TriggerExecution, TriggersAreInitialisedAndResetInTriggerOrderUnlessInMaintenance) {
  TORVTrigger* First = AddTrigger(u"first", taBefore, tyInsert, u"BEGIN END", u"NewRow.a > 0");
  TORVTrigger* Second = AddTrigger(u"second", taAfter, tyDelete);
  const std::vector<TORVExprToken*> Trees{First->GetConditionExpr()->FTokens, First->GetDefinition()->FTokens,
                                          Second->GetDefinition()->FTokens};
  Manager->InitializeTriggers();
  EXPECT_EQ(Database->Evaluator.Initialized, Trees);
  Manager->ResetTriggers();
  EXPECT_EQ(Database->Evaluator.Reset, Trees);

  Database->Evaluator.Initialized.clear();
  Database->Evaluator.Reset.clear();
  Table->SetMaintenance(true);
  Manager->InitializeTriggers();
  Manager->ResetTriggers();
  EXPECT_TRUE(Database->Evaluator.Initialized.empty());
  EXPECT_TRUE(Database->Evaluator.Reset.empty());
  Table->SetMaintenance(false);
}

}  // namespace
}  // namespace orv
