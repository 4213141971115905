#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcursor.h"
#include "catalog/orvmodule.h"
#include "core/orvparam.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvcontainedvalue.h"
#include "eval/orveval.h"
#include "eval/orvqueryexecvalue.h"
#include "eval/orvviewmgr.h"
#include "sql/orvexprtoken.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/eval/orvrecordingtablemgr.h"
#include "tests/eval/orvstubowner.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

// The manager of a base table: what the view forwards to it is counted.
class TCountingTableManager : public test::TUnusedStorageTableManager {
 public:
  TCountingTableManager(TORVSchemaObjectOwner* Owner, TORVVirtualTable* Table, int32_t Rows)
      : TUnusedStorageTableManager(Owner, Table), Rows(Rows) {}
  int32_t GetRowCount() override { return Rows; }
  int32_t GetRowSize() override { return 100 + Rows; }
  void Flush() override { ++Flushes; }
  void DeleteRow(TORVRowValues&, int32_t ExistingRowNumber, int32_t, int32_t& ExistingRowUpdateCounter) override {
    Deleted.push_back(ExistingRowNumber);
    ++ExistingRowUpdateCounter;
  }
  bool Empty(bool) override {
    ++Empties;
    return false;
  }
  int32_t Rows;
  int32_t Flushes = 0;
  int32_t Empties = 0;
  std::vector<int32_t> Deleted;
};

class TFakeViewQueryManager : public TORVViewQueryManager {
 public:
  explicit TFakeViewQueryManager(TORVVirtualTableManager* Result) : FResult(Result) {}
  void Prepare() override {
    if (FailPrepare) throw EORVException(900, u"prepare failed");
  }
  void OpenResultTableManager(bool LiveResult) override {
    Live = LiveResult;
    Opened = true;
  }
  void CloseResultTableManager() override { Opened = false; }
  TORVVirtualTableManager* GetResultTableManager() override { return Opened ? FResult : nullptr; }
  std::unique_ptr<TORVCursor> Execute(bool, const TORVString& ResultCursorName, bool, bool, bool) override {
    ExecutedCursors.push_back(ResultCursorName);
    return nullptr;
  }
  void Reset() override { ++Resets; }

  bool FailPrepare = false;
  bool Live = false;
  bool Opened = false;
  int32_t Resets = 0;
  std::vector<TORVString> ExecutedCursors;

 private:
  TORVVirtualTableManager* FResult;
};

// Counts the walks that prepare and give back a whole tree.
class TTreeWalkCounter : public TORVExprEvaluator {
 public:
  TTreeWalkCounter() : TORVExprEvaluator(CharacterSetUnicode) {}
  void InitializeNextToken(TORVExprToken* Token) override {
    if (Token->FUpperToken == nullptr) ++Initializes;
    TORVExprEvaluator::InitializeNextToken(Token);
  }
  void ResetNextToken(TORVExprToken* Token) override {
    if (Token->FUpperToken == nullptr) ++Resets;
    TORVExprEvaluator::ResetNextToken(Token);
  }
  int32_t Initializes = 0;
  int32_t Resets = 0;
};

// The session's side: the result each view's query gives, and how often
// the system user and a new context were taken and given back.
class TViewSession : public test::TStubOwner {
 public:
  void PushCurrentUser() override { ++SystemUserDepth; }
  void PopCurrentUser() override { --SystemUserDepth; }
  void NewContext() override { ++ContextDepth; }
  void RestoreContext() override { --ContextDepth; }
  TORVExprEvaluator& GetEvaluator() override { return Evaluator; }
  std::unique_ptr<TORVViewQueryManager> CreateViewQueryManager(TORVViewManager& Manager) override {
    auto Query = std::make_unique<TFakeViewQueryManager>(Results.at(Manager.GetView()));
    Query->FailPrepare = FailPrepare;
    Made.push_back(Query.get());
    return Query;
  }
  void HandleException(const std::exception& Exception, int32_t FunctionCode) override {
    Logged.push_back(std::to_string(FunctionCode) + " " + Exception.what());
  }

  std::map<TORVView*, TORVVirtualTableManager*> Results;
  std::vector<TFakeViewQueryManager*> Made;
  std::vector<std::string> Logged;
  bool FailPrepare = false;
  int32_t SystemUserDepth = 0;
  int32_t ContextDepth = 0;
  TTreeWalkCounter Evaluator;
};

class ViewManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    T = test::NewTableT(*Catalog.Catalog);
    Table = std::make_unique<TCountingTableManager>(&Session, T, 7);
  }

  TORVView* AddView(const TORVString& Name, const TORVString& Query, bool Updateable) {
    TORVViews& Views = Catalog.Catalog->GetDefaultSchema()->GetViews();
    std::unique_ptr<TORVView> Made(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
    Made->SetName(Name);
    Made->GetDefinition().SetExpression(Query);
    Views.Add(Made.get());
    TORVView* View = Made.release();
    View->SetUpdateable(Updateable);
    return View;
  }
  // Opened and initialised, as the collection's Open leaves a manager.
  std::unique_ptr<TORVViewManager> Open(TORVView* View) {
    auto Manager = std::make_unique<TORVViewManager>(&Session, View);
    Manager->InternalOpen();
    Manager->InternalInitialize();
    return Manager;
  }

  test::TCompilingCatalog Catalog;
  TORVBaseTable* T = nullptr;
  TViewSession Session;
  std::unique_ptr<TCountingTableManager> Table;
};

TEST_F(ViewManagerTest, AViewOverAViewReachesTheInnermostTable) {
  TORVView* Inner = AddView(u"v", u"SELECT a, b FROM t", true);
  TORVView* Outer = AddView(u"w", u"SELECT a AS x, b FROM v", true);
  Session.Results[Inner] = Table.get();
  auto InnerManager = Open(Inner);
  Session.Results[Outer] = InnerManager.get();
  auto OuterManager = Open(Outer);
  EXPECT_EQ(OuterManager->GetBaseTableManager(), Table.get());
  EXPECT_TRUE(Session.Made.back()->Live);
  // The table's own columns, not the view's derived ones.
  EXPECT_EQ(&OuterManager->GetColumns(), &T->GetColumns());
  EXPECT_EQ(&OuterManager->GetIndexes(), &T->GetIndexes());
  EXPECT_EQ(OuterManager->GetRowCount(), 7);
  EXPECT_EQ(OuterManager->GetRowSize(), 107);
  OuterManager->Flush();
  EXPECT_EQ(Table->Flushes, 1);
  TTestRow Row(CharacterSetUnicode, T->GetColumns());
  int32_t Counter = 4;
  OuterManager->DeleteRow(*Row.Values, 12, 1, Counter);
  EXPECT_EQ(Table->Deleted, std::vector<int32_t>{12});
  EXPECT_EQ(Counter, 5);
  // The base's answer comes back after the view's own empty.
  EXPECT_FALSE(OuterManager->Empty(false));
  EXPECT_EQ(Table->Empties, 1);
  EXPECT_EQ(Session.SystemUserDepth, 0);
  EXPECT_EQ(Session.ContextDepth, 0);
}

TEST_F(ViewManagerTest, AGroupedViewReadsItsTemporaryResult) {
  TORVView* Grouped = AddView(u"g", u"SELECT b, COUNT(*) AS n FROM t GROUP BY b", false);
  TCountingTableManager Result(&Session, T, 3);
  Session.Results[Grouped] = &Result;
  auto Manager = Open(Grouped);
  EXPECT_EQ(Manager->GetBaseTableManager(), &Result);
  EXPECT_EQ(Manager->GetRowCount(), 3);
}

TEST_F(ViewManagerTest, StorageOperationsOfAManagerThatIsNotInitialisedRaiseTheNotOpenError) {
  TORVView* View = AddView(u"v", u"SELECT a, b FROM t", true);
  Session.Results[View] = Table.get();
  TORVViewManager Manager(&Session, View);
  const auto ErrorOf = [](const std::function<void()>& Action) {
    try {
      Action();
    } catch (const EORVException& E) {
      return std::to_string(E.ErrorCode()) + " " + StringToUtf8(E.ErrorMsg());
    }
    return std::string("no error");
  };
  EXPECT_EQ(ErrorOf([&] { Manager.GetRowCount(); }),
            "402 The view v must be open in order to perform this operation (GetRowCount)");
  EXPECT_EQ(ErrorOf([&] { Manager.Flush(); }),
            "402 The view v must be open in order to perform this operation (Flush)");
  EXPECT_EQ(ErrorOf([&] { Manager.GetColumns(); }),
            "402 The view v must be open in order to perform this operation (GetColumns)");
  EXPECT_EQ(ErrorOf([&] { Manager.CreateCursor(u"c", true, false, false); }).substr(0, 4), "402 ");
  // Reset leaves it so again.
  Manager.InternalOpen();
  Manager.InternalInitialize();
  EXPECT_EQ(Manager.GetRowCount(), 7);
  Manager.InternalReset();
  EXPECT_EQ(ErrorOf([&] { Manager.GetRowCount(); }).substr(0, 4), "402 ");
  EXPECT_FALSE(Session.Made.back()->Opened);
  EXPECT_EQ(Session.Made.back()->Resets, 1);
  Manager.InternalClose();
}

// A value that runs something, counted.
class TCountedRun : public TORVContainedValue, public TORVQueryExecutionValue {
 public:
  TCountedRun(int32_t& Initializes, int32_t& Resets)
      : TORVContainedValue(CharacterSetUnicode), FInitializes(Initializes), FResets(Resets) {}
  void Initialize() override { ++FInitializes; }
  void Reset() override { ++FResets; }

 private:
  int32_t& FInitializes;
  int32_t& FResets;
};

TEST_F(ViewManagerTest, EachCursorRunsTheViewsSubQueriesAndRunningSumsAgain) {
  TORVView* View = AddView(u"v", u"SELECT a, b FROM t", true);
  Session.Results[View] = Table.get();
  auto Manager = Open(View);
  TORVExprToken* Root = View->GetDefinition().FTokens;
  ASSERT_NE(Root, nullptr);
  ASSERT_EQ(Root->FTokenType, ttQUERY);
  int32_t Initializes = 0;
  int32_t Resets = 0;
  Root->FValue = std::make_unique<TCountedRun>(Initializes, Resets);
  Manager->CreateCursor(u"first", true, false, false);
  Manager->CreateCursor(u"second", true, false, false);
  EXPECT_EQ(Initializes, 2);
  EXPECT_EQ(Session.Made.back()->ExecutedCursors, (std::vector<TORVString>{u"first", u"second"}));
  EXPECT_EQ(Session.SystemUserDepth, 0);
  EXPECT_EQ(Session.ContextDepth, 0);
  Manager->InternalReset();
  EXPECT_EQ(Resets, 1);
  Manager->InternalClose();

  // A running sum anywhere in the tree starts again.
  TORVExprToken Query;
  Query.FTokenType = ttQUERY;
  TORVExprToken RunSum;
  RunSum.FTokenType = ttFUNCREF;
  RunSum.FTokenOperator = toRUNSUM;
  RunSum.FValue = std::make_unique<TORVContainedValue>(CharacterSetUnicode);
  RunSum.FValue->SetDataType(dtInteger);
  RunSum.FValue->SetAsInteger(41);
  Query.AddArgument(nullptr);
  Query.AddArgument(&RunSum);
  TORVViewManager::InitializeQueryExecution(&Query);
  EXPECT_TRUE(RunSum.FValue->GetNull());
  Query.SetNumArguments(0);
}

TEST_F(ViewManagerTest, AFailingCompileOrPrepareRestoresTheUserAndTheContext) {
  TORVView* Broken = AddView(u"broken", u"SELECT nosuch FROM t", true);
  Session.Results[Broken] = Table.get();
  TORVViewManager Compiling(&Session, Broken);
  EXPECT_THROW(Compiling.InternalOpen(), EORVException);
  EXPECT_EQ(Session.SystemUserDepth, 0);
  EXPECT_EQ(Session.ContextDepth, 0);

  TORVView* View = AddView(u"v", u"SELECT a, b FROM t", true);
  Session.Results[View] = Table.get();
  Session.FailPrepare = true;
  TORVViewManager Preparing(&Session, View);
  Preparing.InternalOpen();
  EXPECT_THROW(Preparing.InternalInitialize(), EORVException);
  EXPECT_EQ(Session.SystemUserDepth, 0);
  EXPECT_EQ(Session.ContextDepth, 0);
  EXPECT_EQ(Preparing.GetBaseTableManager(), nullptr);
  Preparing.InternalReset();
  Preparing.InternalClose();
}

TEST_F(ViewManagerTest, AnSQLRoutinesTreeIsPreparedOncePerOpenAndGivenBackWhenIdle) {
  TORVRoutine* Routine = test::AddRoutine(*Catalog.Catalog, Catalog.Catalog->GetDefaultSchema()->GetProcedures(),
                                          u"p", u"PROCEDURE p (IN x INTEGER) BEGIN DECLARE y INTEGER; SET y = x; END",
                                          {{rpInput, u"x", dtInteger}});
  TORVRoutineManagers Managers(&Session);
  std::unique_ptr<TORVSchemaObjectManager> Made = Managers.CreateNew(&Session, Routine);
  auto& Manager = dynamic_cast<TORVRoutineManager&>(*Made);
  EXPECT_EQ(Manager.GetRoutine(), Routine);
  for (int32_t Round = 1; Round <= 2; ++Round) {
    Manager.InternalOpen();
    ASSERT_NE(Routine->GetDefinition().FTokens, nullptr);
    Manager.InternalInitialize();
    EXPECT_EQ(Session.Evaluator.Initializes, Round);
    Manager.InternalReset();
    EXPECT_EQ(Session.Evaluator.Resets, Round);
    Manager.InternalClose();
    EXPECT_EQ(Routine->GetDefinition().FTokens, nullptr);
  }
  EXPECT_EQ(Session.SystemUserDepth, 0);
  EXPECT_EQ(Session.ContextDepth, 0);
  EXPECT_TRUE(Session.Logged.empty());
  // A view is no routine.
  TORVView* View = AddView(u"v", u"SELECT a FROM t", true);
  EXPECT_THROW(Managers.CreateNew(&Session, View), std::logic_error);
  TORVViewManagers Views(&Session);
  EXPECT_NE(dynamic_cast<TORVViewManager*>(Views.CreateNew(&Session, View).get()), nullptr);
}

TEST_F(ViewManagerTest, ClosingAnExternalRoutineWhoseModuleFailsToCloseLogsOnceAndCompletes) {
  Catalog.Config->SetPath(u"" ORV_TEST_MODULE_DIR);
  auto Module = std::make_unique<TORVModule>(Catalog.Config.get());
  Module->SetName(u"Mod");
  Module->SetPath(u"orvtm_routine.so");
  Module->SetLockSlot(Catalog.Config->GetNewModuleLockSlot());
  Catalog.Config->GetModules().Add(Module.release());
  TORVRoutine* Routine = test::AddRoutine(*Catalog.Catalog, Catalog.Catalog->GetDefaultSchema()->GetProcedures(),
                                          u"FailClose", u"PROCEDURE FailClose () EXTERNAL NAME Mod", {});
  Routine->Compile();
  Routine->BuildModule(Routine->GetDefinition().FTokens);
  Routine->Decompile();
  TORVRoutineManager Manager(&Session, Routine);
  Manager.InternalOpen();
  EXPECT_NE(Routine->GetModuleHandle(), 0u);
  Manager.InternalInitialize();
  TORVParamValues Values(CharacterSetUnicode);
  Routine->CallExternalRoutine(Values);
  Manager.InternalReset();
  Manager.InternalClose();
  ASSERT_EQ(Session.Logged.size(), 1u);
  EXPECT_EQ(Session.Logged[0].substr(0, 2), "0 ");
  EXPECT_EQ(Routine->GetModuleHandle(), 0u);
  EXPECT_EQ(Routine->GetDefinition().FTokens, nullptr);
  EXPECT_EQ(Session.SystemUserDepth, 0);
  // The next open starts afresh.
  Manager.InternalOpen();
  EXPECT_NE(Routine->GetModuleHandle(), 0u);
  Manager.InternalClose();
  EXPECT_EQ(Session.Logged.size(), 1u);
}

}  // namespace
}  // namespace orv
