#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvtrigger.h"
#include "local/orvlocaleval.h"
#include "tests/eval/orvrecordingtablemgr.h"
#include "tests/eval/orvtestdatabase.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

// The test database with the session's evaluator running trigger bodies.
class TLocalTriggerDatabase : public test::TTestDatabase {
 public:
  using TTestDatabase::TTestDatabase;
  TORVTriggerEvaluator& GetTriggerEvaluator() override { return Local; }
  TORVLocalExprEvaluator Local{CharacterSetUnicode};
};

// Inserts of (1, b) into t (a INTEGER, b VARCHAR(10)) through a table
// manager keeping rows in memory, with b required: storing a row whose b
// is NULL fails as a NOT NULL column does.
class TriggerBodiesOnATable : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
    Files->Initialize();
  }
  void TearDown() override {
    Manager.reset();
    Database.reset();
    Files.reset();
    test::TempFolderTest::TearDown();
  }

  // A fresh table with one trigger on insert.
  void WithTrigger(int32_t Time, const TORVString& Body) {
    Manager.reset();
    Database.reset();
    Database = std::make_unique<TLocalTriggerDatabase>(Files.get(), PathName("orv.lock"));
    Table = Database->AddTable(u"t", 1);
    AddTestColumn(Table->GetColumns(), u"a", dtInteger);
    AddTestColumn(Table->GetColumns(), u"b", dtCharacter, stVarChar, 10);
    TORVTriggers& Triggers = Table->GetTriggers();
    std::unique_ptr<TORVTrigger> Trigger(static_cast<TORVTrigger*>(Triggers.GetNewObject()));
    Trigger->SetName(u"tr");
    Trigger->SetActionTime(Time);
    Trigger->SetActionType(tyInsert);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"tr\"\r\n" + Body);
    Triggers.Add(Trigger.get());
    Trigger.release()->Compile();
    Manager = std::make_unique<test::TRecordingTableManager>(*Database, Table);
  }

  // Inserts (1, B), NULL for a null B; what Insert answers, or its error.
  std::string Insert(const char16_t* B) {
    test::TTableRow Row = Manager->NewRow();
    Row.Values->GetItems(1)->SetAsInteger(1);
    if (B != nullptr) Row.Values->GetItems(2)->SetAsString(B);
    Manager->FailStep = [&](const std::string&) {
      if (Row.Values->GetItems(2)->GetNull()) throw EORVException(1300, u"b is required");
    };
    int32_t Number = 0, Version = 0, Counter = 0;
    std::string Answer;
    try {
      Answer = Manager->Insert(*Row.Values, Number, Version, Counter, false) ? "inserted" : "not inserted";
    } catch (const EORVException& E) {
      Answer = std::to_string(E.ErrorCode());
    }
    Manager->FailStep = nullptr;
    return Answer;
  }

  // Column b of the stored rows, in row order.
  std::string StoredB() {
    std::string Result;
    for (const auto& [Number, Row] : Manager->Rows) {
      test::TTableRow Read = Manager->ReadRow(Number);
      Result += (Result.empty() ? "" : ",") + StringToUtf8(Read.Values->GetItems(2)->GetAsString());
    }
    return Result;
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
  std::unique_ptr<TLocalTriggerDatabase> Database;
  TORVBaseTable* Table = nullptr;
  std::unique_ptr<test::TRecordingTableManager> Manager;
};

TEST_F(TriggerBodiesOnATable, AbortStopsOnlyWhatHasNotHappenedAndRetryInsertsTheMendedRow) {
  const struct {
    const char* Name;
    int32_t Time;
    const char16_t* Body;
    const char16_t* B;
    const char* Answer;
    const char* Stored;
  } Cases[] = {
      {"ABORT in a BEFORE trigger stops the insert", taBefore, u"BEGIN ABORT; END", u"new", "not inserted", ""},
      {"a BEFORE trigger without ABORT lets it through", taBefore, u"BEGIN SET NewRow.b = 'set'; END", u"new",
       "inserted", "set"},
      {"an ERROR trigger that sets the required value and retries inserts it", taError,
       u"BEGIN SET NewRow.b = 'fixed'; RETRY; END", nullptr, "inserted", "fixed"},
      {"an ERROR trigger without RETRY handles the error and nothing is stored", taError,
       u"BEGIN SET NewRow.b = 'fixed'; END", nullptr, "not inserted", ""},
      {"ABORT in an AFTER trigger keeps the written row", taAfter, u"BEGIN ABORT; END", u"new", "inserted", "new"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    WithTrigger(Case.Time, Case.Body);
    EXPECT_EQ(Insert(Case.B), Case.Answer);
    EXPECT_EQ(StoredB(), Case.Stored);
  }
}

}  // namespace
}  // namespace orv
