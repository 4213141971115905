// A base table's manager over real files: opening and creating the files,
// rows with their keys against a model, row locks between sessions,
// transactions, index changes, and every write or flush of an operation
// failing in turn, with a repair of every table the failure left broken.
#include "eval/orvtablemgr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvlockable.h"
#include "storage/orvenginesettings.h"
#include "storage/orvblobfile.h"
#include "storage/orvindexmgr.h"
#include "storage/orvpublishfile.h"
#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::AddTestIndex;
using test::ErrorOf;
using test::RepairRequired;
using test::TTableConnection;
using test::TTableShape;
using test::TModelRow;
using test::TModelRows;

class TableManager : public test::TableFolderTest {};

std::string JoinedNames(const std::vector<std::string>& Names) {
  std::string Text;
  for (const std::string& Name : Names) Text += (Text.empty() ? "" : " ") + Name;
  return Text;
}

// ------------------------------------------------------------------ opening

TEST_F(TableManager, TheFirstSessionCreatesMissingFilesAndTheSecondOnlyOpensThem) {
  TTableConnection& First = OpenSession();
  EXPECT_EQ(JoinedNames(FilesIn("db")), "t.ORVIdx t.ORVTbl");
  ASSERT_EQ(First.Database.Events.size(), 2u);
  EXPECT_NE(StringToUtf8(First.Database.Events[0].Description).find("was not present on disk and was automatically created"),
            std::string::npos);
  First.Insert({1, u"a", 1});
  TTableConnection& Second = OpenSession();
  EXPECT_TRUE(Second.Database.Events.empty());
  EXPECT_EQ(Second.Scan().size(), 1u);
}

TEST_F(TableManager, ATableWithoutBlobsOrPublishingNeverTouchesThoseFiles) {
  TTableConnection& First = OpenSession();
  First.Insert({1, u"a", 1});
  TORVEngineManagerSettings& Settings = First.Database.GetSessionSettings();
  const std::string Blobs = "t" + StringToUtf8(Settings.GetBlobExtension());
  const std::string Updates = "t" + StringToUtf8(Settings.GetPublishExtension());
  CloseSessions();
  // Files of those kinds lying there, not even sound ones, are neither
  // opened nor changed.
  for (const std::string& Name : {Blobs, Updates}) {
    std::ofstream Garbage(Folder() / "db" / Name, std::ios::binary);
    Garbage << "not a table file";
  }
  TTableConnection& Session = OpenSession();
  EXPECT_EQ(Session.Manager->BlobManager(), nullptr);
  EXPECT_EQ(Session.Manager->PublishedUpdatesManager(), nullptr);
  Session.Insert({2, u"b", 2});
  EXPECT_EQ(Session.Scan().size(), 2u);
  for (const std::string& Name : {Blobs, Updates}) {
    std::ifstream Kept(Folder() / "db" / Name, std::ios::binary);
    std::string Text;
    std::getline(Kept, Text);
    EXPECT_EQ(Text, "not a table file") << Name;
  }
}

TEST_F(TableManager, ABlobColumnBringsItsFile) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) { AddTestColumn(Table.GetColumns(), u"pic", dtLargeObject, stBlob); };
  TTableConnection& Session = OpenSession(Shape);
  ASSERT_NE(Session.Manager->BlobManager(), nullptr);
  EXPECT_EQ(JoinedNames(FilesIn("db")), "t.ORVBlb t.ORVIdx t.ORVTbl");
}

TEST_F(TableManager, AFailedCreationDeletesTheFilesItMade) {
  TTableConnection& Session = NewSession();
  // The index file's first write fails: the rows file was made already.
  Files->Faults().FailNext(test::fkWrite, 2);
  EXPECT_NE(ErrorOf([&] { Session.Open(); }), "no error");
  Files->Faults().Clear();
  EXPECT_EQ(JoinedNames(FilesIn("db")), "");
  CloseSessions();
  TTableConnection& Again = OpenSession();
  Again.Insert({1, u"a", 1});
  EXPECT_EQ(Again.Scan().size(), 1u);
}

TEST_F(TableManager, ASecondChangeCheckUnderTheReadLockReadsNoHeader) {
  TTableConnection& Session = OpenSession();
  TTableConnection& Other = OpenSession();
  Other.Insert({1, u"a", 1});
  EXPECT_TRUE(Session.Manager->CheckForChanges(false));
  EXPECT_TRUE(Session.Table->GetLockState().Contains(lsReadLocked));
  const int64_t Reads = Session.Manager->RowsetManager()->GetReads();
  EXPECT_FALSE(Session.Manager->CheckForChanges(false));
  EXPECT_EQ(Session.Manager->RowsetManager()->GetReads(), Reads);
  Session.Manager->UnlockObject(ltRead);
  EXPECT_FALSE(Session.Table->GetLockState().Contains(lsReadLocked));
}

TEST_F(TableManager, ASessionTemporaryTableTakesItsFilesAlong) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) { Table.SetTemporaryForSession(true); };
  TTableConnection& Session = OpenSession(Shape);
  Session.Insert({1, u"a", 1});
  EXPECT_EQ(Session.Scan().size(), 1u);
  CloseSessions();
  EXPECT_EQ(JoinedNames(FilesIn("db")), "");
}

// --------------------------------------------------------------------- rows

TEST_F(TableManager, RowsAndKeysFollowAModelThroughTransactionsAndReopens) {
  const uint32_t Seed = test::TestSeed(4517);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  std::mt19937 Random(Seed);
  TModelRows Model;
  TModelRows Committed;
  bool InTransaction = false;
  TTableConnection* Session = &OpenSession();
  int32_t NextId = 1;
  for (int32_t Step = 0; Step < 400; ++Step) {
    const uint32_t Pick = Random() % 100;
    std::vector<int32_t> RowIDs;
    for (const auto& Entry : Model) RowIDs.push_back(Entry.first);
    const int32_t Some = RowIDs.empty() ? 0 : RowIDs[Random() % RowIDs.size()];
    const TORVString Name = u"n" + IntToString(static_cast<int32_t>(Random() % 30));
    if (Pick < 45 || RowIDs.empty()) {
      const TModelRow New{NextId++, Name, static_cast<int32_t>(Random() % 1000)};
      Model[Session->Insert(New)] = New;
    } else if (Pick < 70) {
      const int32_t N = static_cast<int32_t>(Random() % 1000);
      const bool SameName = Random() % 2 == 0;
      Session->Update(Some, SameName ? TORVString() : Name, N);
      if (!SameName) Model[Some].Name = Name;
      Model[Some].N = N;
    } else if (Pick < 85) {
      Session->Delete(Some);
      Model.erase(Some);
    } else if (Pick < 90 && !InTransaction) {
      Session->StartTransaction();
      InTransaction = true;
    } else if (Pick < 95 && InTransaction) {
      if (Random() % 3 == 0) {
        Session->Rollback();
        Model = Committed;
      } else {
        Session->Commit();
      }
      InTransaction = false;
    } else if (!InTransaction) {
      CloseSessions();
      Session = &OpenSession();
    }
    if (!InTransaction) Committed = Model;
    ASSERT_EQ(test::DescribeRows(Session->Scan()), test::DescribeRows(Model)) << "after step " << Step;
    ASSERT_EQ(Session->IndexesAgreeWithRows(), "") << "after step " << Step;
  }
  if (InTransaction) Session->Commit();
  CloseSessions();
  EXPECT_EQ(test::DescribeRows(OpenSession().Scan()), test::DescribeRows(Model));
}

TEST_F(TableManager, KeepExistingValuesKeepsTheGivenRowID) {
  TTableConnection& Session = OpenSession();
  TORVRowsetRowValues& Values = Session.NewValues({7, u"kept", 1});
  Values.GetItems(0)->SetAsInteger(4242);
  Session.InsertValues(Values, true);
  EXPECT_EQ(Session.Scan().count(4242), 1u);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, AnIdentityColumnKeepsAGivenValueAndNumbersTheRest) {
  struct TCase {
    const char* Name;
    bool DefaultIdentity;
    bool GiveValue;
    int32_t Expected;
  };
  const TCase Cases[] = {{"default identity given 50", true, true, 50},
                         {"default identity given NULL", true, false, 1},
                         {"always generated given 50", false, true, 1}};
  int32_t Run = 0;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTableShape Shape;
    TORVColumn* Identity = nullptr;
    Shape.Configure = [&](TORVBaseTable& Table) {
      Identity = AddTestColumn(Table.GetColumns(), u"k", dtInteger);
      Identity->SetIdentity(true);
      Identity->SetDefaultIdentity(Case.DefaultIdentity);
      Identity->SetSeedValue(0);
      Identity->SetIncrementValue(1);
      Table.GetColumns().SetupColumnInformation();
    };
    TTableConnection& Session = OpenSession(Shape, "identity" + std::to_string(Run++));
    TORVRowsetRowValues& Values = Session.NewValues({1, u"a", 1});
    if (Case.GiveValue) Values.GetItems(4)->SetAsInteger(50);
    Session.InsertValues(Values, false);
    EXPECT_EQ(Values.GetItems(4)->GetAsInteger(), Case.Expected);
    if (!Case.GiveValue || !Case.DefaultIdentity) {
      EXPECT_EQ(Identity->GetLastValue(), Case.Expected);
    }
    // The next generated value passes every stored one.
    TORVRowsetRowValues& Next = Session.NewValues({2, u"b", 2});
    Session.InsertValues(Next, false);
    EXPECT_EQ(Next.GetItems(4)->GetAsInteger(), Case.Expected + 1);
  }
}

TEST_F(TableManager, ADefaultFillsOnlyNullsAfterTheGeneratedValues) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) {
    TORVColumn* Generated = AddTestColumn(Table.GetColumns(), u"g", dtInteger);
    Generated->SetGenerated(true);
    Generated->GetGenerateExpr()->SetExpression(u"10");
    TORVColumn* Defaulted = AddTestColumn(Table.GetColumns(), u"d", dtInteger);
    Defaulted->SetDefaulted(true);
    Defaulted->GetDefaultExpr()->SetExpression(u"99");
    Table.GetColumns().SetupColumnInformation();
    Table.SetGeneratedEnabled(true);
    Table.SetDefaultsEnabled(true);
  };
  TTableConnection& Session = OpenSession(Shape);
  std::vector<std::string> Evaluated;
  // The generated value of g fills d as well, as an expression that also
  // sets another column would; the default of d then finds it filled.
  Session.Database.RowEvaluator = [&](TORVRowValues& Values, TORVExprToken*, TORVValue& Value) {
    if (&Value == Values.GetItems(4)) {
      Evaluated.push_back("g");
      Value.SetAsInteger(10);
    } else {
      Evaluated.push_back("d");
      Value.SetAsInteger(99);
    }
  };
  TORVRowsetRowValues& Given = Session.NewValues({1, u"a", 1});
  Given.GetItems(5)->SetAsInteger(5);
  Session.InsertValues(Given, false);
  EXPECT_EQ(JoinedNames(Evaluated), "g");
  EXPECT_EQ(Given.GetItems(5)->GetAsInteger(), 5);
  Evaluated.clear();
  TORVRowsetRowValues& Left = Session.NewValues({2, u"b", 2});
  Session.InsertValues(Left, false);
  EXPECT_EQ(JoinedNames(Evaluated), "g d");
  EXPECT_EQ(Left.GetItems(5)->GetAsInteger(), 99);
}

TEST_F(TableManager, AnUpdateOfNoIndexColumnLeavesTheIndexesUntouched) {
  TTableConnection& Session = OpenSession();
  const int32_t RowID = Session.Insert({1, u"a", 1});
  Session.Insert({2, u"b", 2});
  const int32_t Counter = Session.Manager->IndexManager()->GetUpdateCounter();
  Session.Update(RowID, TORVString(), 77);
  EXPECT_EQ(Session.Manager->IndexManager()->GetUpdateCounter(), Counter);
  // Writing the same name again changes no key either.
  Session.Update(RowID, u"a", 78);
  EXPECT_EQ(Session.Manager->IndexManager()->GetUpdateCounter(), Counter);
  Session.Update(RowID, u"c", 79);
  EXPECT_NE(Session.Manager->IndexManager()->GetUpdateCounter(), Counter);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, AKeyLookupNeedsAnExactMatch) {
  TTableConnection& Session = OpenSession();
  Session.Insert({1, u"apple", 1});
  const int32_t Banana = Session.Insert({2, u"banana", 2});
  struct TCase {
    const char16_t* Name;
    bool Found;
  };
  for (const TCase& Case : {TCase{u"banana", true}, TCase{u"ban", false}, TCase{u"bananas", false},
                            TCase{u"cherry", false}}) {
    SCOPED_TRACE(StringToUtf8(Case.Name));
    std::unique_ptr<TORVRowsetRow> Found = Session.Manager->CreateNewRow();
    TORVRowsetRowValues& Search = Session.NewValues({0, Case.Name, 0});
    EXPECT_EQ(Session.Manager->GetRowForKey(*Found, Search, true, 1), Case.Found);
    if (Case.Found) {
      EXPECT_EQ(Found->GetRowID(), Banana);
    }
  }
}

TEST_F(TableManager, EmptyingThatNeedsTheTableWideCheckIsRefused) {
  TTableConnection& Session = OpenSession({}, "empty");
  Session.Insert({1, u"a", 1});
  EXPECT_EQ(ErrorOf([&] { Session.Manager->Empty(false); }).substr(0, 3), "101");
  EXPECT_TRUE(Session.Manager->Empty(true));
  EXPECT_TRUE(Session.Scan().empty());
  Session.Insert({2, u"b", 2});
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

// -------------------------------------------------------- locks and refresh

TEST_F(TableManager, ARowHeldElsewhereFailsAfterItsRetries) {
  TTableConnection& Holder = OpenSession();
  const int32_t RowID = Holder.Insert({1, u"a", 1});
  const int32_t Number = Holder.LastNumber;
  TTableConnection& Waiter = OpenSession();
  Waiter.Database.Session().SetRowLockRetries(15);
  Waiter.Database.Session().SetRowLockWait(100);
  ASSERT_NE(Waiter.Find(RowID), 0);
  ASSERT_NE(Holder.Find(RowID), 0);
  EXPECT_TRUE(Holder.Manager->LockAndRefresh(&Holder.User, Number, Holder.Row->GetVersion(), 0, RowID, true, false,
                                             false));
  const auto Start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] {
              Waiter.Manager->LockAndRefresh(&Waiter.User, Number, Waiter.Row->GetVersion(), 0, RowID, true, false,
                                             false);
            }),
            "1005 Cannot lock the row in the table t");
  const auto Waited = std::chrono::steady_clock::now() - Start;
  EXPECT_GE(Waited, std::chrono::milliseconds(1500));
  EXPECT_LT(Waited, std::chrono::seconds(10));
  Holder.Manager->Unlock(Number);
  EXPECT_TRUE(Waiter.Manager->LockAndRefresh(&Waiter.User, Number, Waiter.Row->GetVersion(), 0, RowID, true, false,
                                             false));
  Waiter.Manager->Unlock(Number);
}

TEST_F(TableManager, LockAndRefreshTellsOwnersApart) {
  TTableConnection& Session = OpenSession();
  const int32_t RowID = Session.Insert({1, u"a", 1});
  const int32_t Number = Session.LastNumber;
  ASSERT_NE(Session.Find(RowID), 0);
  const int32_t Version = Session.Row->GetVersion();
  test::TTableUser Other;
  EXPECT_TRUE(Session.Manager->LockAndRefresh(&Session.User, Number, Version, 0, RowID, true, false, false));
  const int64_t Reads = Session.Manager->RowsetManager()->GetReads();
  EXPECT_FALSE(Session.Manager->LockAndRefresh(&Session.User, Number, Version, 0, RowID, true, false, false));
  EXPECT_EQ(Session.Manager->RowsetManager()->GetReads(), Reads);
  EXPECT_EQ(ErrorOf([&] { Session.Manager->LockAndRefresh(&Other, Number, Version, 0, RowID, true, false, false); }),
            "1005 Cannot lock the row in the table t");
  Session.Manager->Unlock(Number);
  EXPECT_EQ(ErrorOf([&] { Session.Manager->Unlock(Number); }), "1006 Cannot unlock the row in the table t");
}

TEST_F(TableManager, ARefreshTellsWhatHappenedToTheRow) {
  TTableConnection& Session = OpenSession();
  TTableConnection& Other = OpenSession();
  const int32_t Kept = Session.Insert({1, u"a", 1});
  const int32_t KeptNumber = Session.LastNumber;
  const int32_t Gone = Session.Insert({2, u"b", 2});
  const int32_t GoneNumber = Session.LastNumber;
  ASSERT_NE(Session.Find(Kept), 0);
  const int32_t Version = Session.Row->GetVersion();
  const int32_t Counter = Session.Row->GetUpdateCounter();
  ASSERT_NE(Session.Find(Gone), 0);
  const int32_t GoneVersion = Session.Row->GetVersion();
  Other.Update(Kept, TORVString(), 5);
  Other.Delete(Gone);
  // The deleted slot is taken again by another row.
  const int32_t Reused = Other.Insert({3, u"c", 3});
  ASSERT_EQ(Other.LastNumber, GoneNumber);
  struct TCase {
    const char* Name;
    int32_t Number;
    int32_t Version;
    int32_t RowID;
    bool Detect;
    bool Force;
    std::string Expected;
  };
  const TCase Cases[] = {
      {"changed, not detected", KeptNumber, Version, Kept, false, false, "no error"},
      {"changed, detected", KeptNumber, Version, Kept, true, false,
       "1008 The row has been modified since last cached for the table t"},
      {"changed, forced", KeptNumber, Version, Kept, false, true,
       "1008 The row has been modified since last cached for the table t"},
      {"number reused", GoneNumber, GoneVersion, Gone, false, false,
       "1012 The row has been corrupted since last cached for the table t"},
      {"deleted", GoneNumber, GoneVersion, Reused, false, false,
       "1007 The row has been deleted since last cached for the table t"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Session.Database.Session().SetDetectRowChanges(Case.Detect);
    EXPECT_EQ(ErrorOf([&] {
                Session.Manager->LockAndRefresh(&Session.User, Case.Number, Case.Version, Counter, Case.RowID, false,
                                                Case.Force, false);
              }),
              Case.Expected);
    // A refused row is unlocked again.
    EXPECT_EQ(Session.Manager->RowLocked(Case.Number, true), Case.Expected == "no error");
    if (Case.Expected == "no error") Session.Manager->Unlock(Case.Number);
  }
}

// ------------------------------------------------------------- transactions

TEST_F(TableManager, RowsChangedInATransactionStayLockedUntilItEnds) {
  for (const bool CommitIt : {true, false}) {
    SCOPED_TRACE(CommitIt ? "commit" : "rollback");
    CloseSessions();
    std::filesystem::remove_all(Folder() / "db");
    TTableConnection& Session = OpenSession();
    const int32_t Existing = Session.Insert({1, u"a", 1});
    const int32_t ExistingNumber = Session.LastNumber;
    TTableConnection& Other = OpenSession();
    Session.StartTransaction();
    Session.Insert({2, u"b", 2});
    const int32_t NewNumber = Session.LastNumber;
    Session.Update(Existing, TORVString(), 9);
    EXPECT_TRUE(Session.Manager->RowLocked(NewNumber, true));
    EXPECT_TRUE(Session.Manager->RowLocked(ExistingNumber, true));
    EXPECT_FALSE(Other.Manager->RowsetManager()->LockRow(NewNumber));
    EXPECT_FALSE(Other.Manager->RowsetManager()->LockRow(ExistingNumber));
    // Nothing reached the disk before the end.
    EXPECT_EQ(Other.Scan().size(), 1u);
    if (CommitIt)
      Session.Commit();
    else
      Session.Rollback();
    EXPECT_TRUE(Other.Manager->RowsetManager()->LockRow(ExistingNumber));
    Other.Manager->RowsetManager()->UnlockRow(ExistingNumber);
    const TModelRows Seen = Other.Scan();
    EXPECT_EQ(Seen.size(), CommitIt ? 2u : 1u);
    EXPECT_EQ(Seen.at(Existing).N, CommitIt ? 9 : 1);
    EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
  }
}

// Row operations inside a transaction take the transaction lock the
// transaction already holds; each must give back what it counted, or the
// end of the transaction leaves the table locked against every other
// session for good.
TEST_F(TableManager, EveryEndedTransactionLeavesTheTableToTheOtherSession) {
  struct TCase {
    const char* Name;
    bool Insert;
    bool Update;
    bool Delete;
    bool CommitIt;
  };
  const TCase Cases[] = {
      {"insert, commit", true, false, false, true},     {"insert, rollback", true, false, false, false},
      {"update, commit", false, true, false, true},     {"update, rollback", false, true, false, false},
      {"delete, commit", false, false, true, true},     {"delete, rollback", false, false, true, false},
      {"all three, commit", true, true, true, true},    {"all three, rollback", true, true, true, false},
  };
  TTableConnection* Sides[] = {&OpenSession(), &OpenSession()};
  TModelRows Model;
  int32_t NextId = 1;
  auto InsertInto = [&](TTableConnection& Side, TModelRows& Rows) {
    const TModelRow New{NextId, u"r" + IntToString(NextId), NextId};
    ++NextId;
    Rows[Side.Insert(New)] = New;
  };
  for (const TCase& Case : Cases) {
    for (int32_t Round = 0; Round < 4; ++Round) {
      SCOPED_TRACE(std::string(Case.Name) + ", round " + std::to_string(Round));
      TTableConnection& Actor = *Sides[Round % 2];
      TTableConnection& Other = *Sides[1 - Round % 2];
      while (Model.size() < 2) InsertInto(Actor, Model);
      TModelRows Expected = Model;
      ASSERT_EQ(ErrorOf([&] { Actor.StartLockedTransaction(200); }), "no error");
      if (Case.Insert) InsertInto(Actor, Expected);
      if (Case.Update) {
        const int32_t RowID = Model.begin()->first;
        Expected[RowID].N += 100;
        Actor.Update(RowID, TORVString(), Expected[RowID].N);
      }
      if (Case.Delete) {
        const int32_t RowID = Model.rbegin()->first;
        Expected.erase(RowID);
        Actor.Delete(RowID);
      }
      Actor.EndLockedTransaction(Case.CommitIt);
      if (Case.CommitIt) Model = Expected;
      EXPECT_EQ(Actor.Table->GetTransactionLockCount(), 0);
      EXPECT_FALSE(Actor.Table->GetLockState().Contains(lsTransactionLocked));
      // The other session has the table at once.
      const std::string Taken = ErrorOf([&] { Other.StartLockedTransaction(200); });
      EXPECT_EQ(Taken, "no error");
      if (Taken == "no error") Other.EndLockedTransaction(false);
      EXPECT_EQ(test::DescribeRows(Other.Scan()), test::DescribeRows(Model));
      EXPECT_EQ(test::DescribeRows(Actor.Scan()), test::DescribeRows(Model));
      EXPECT_EQ(Other.IndexesAgreeWithRows(), "");
    }
  }
}

TEST_F(TableManager, ATableOutsideTheTransactionIgnoresCommitAndRollback) {
  TTableConnection& Session = OpenSession();
  Session.Insert({1, u"a", 1});
  Session.Manager->Commit(false);
  Session.Manager->Rollback();
  EXPECT_EQ(Session.Scan().size(), 1u);
}

TEST_F(TableManager, AFailureInsideATransactionLeavesOnlyRollback) {
  TTableConnection& Session = OpenSession();
  Session.Insert({1, u"a", 1});
  Session.StartTransaction();
  // The key insert refuses a second id 1 after the row went in.
  EXPECT_EQ(ErrorOf([&] { Session.Insert({1, u"b", 2}); }).substr(0, 3), "601");
  EXPECT_EQ(ErrorOf([&] { Session.Manager->Commit(false); }).substr(0, 3), "601");
  Session.Rollback();
  EXPECT_EQ(Session.Scan().size(), 1u);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
  Session.StartTransaction();
  Session.Insert({2, u"c", 3});
  Session.Commit();
  EXPECT_EQ(Session.Scan().size(), 2u);
}

TEST_F(TableManager, AFailedInsertOutsideATransactionLeavesNoRowWithoutKeys) {
  TTableConnection& Session = OpenSession();
  Session.Insert({1, u"a", 1});
  EXPECT_EQ(ErrorOf([&] { Session.Insert({1, u"b", 2}); }).substr(0, 3), "601");
  Session.Insert({2, u"c", 3});
  CloseSessions();
  TTableConnection& Again = OpenSession();
  EXPECT_EQ(test::DescribeRows(Again.Scan()).find(",b,"), std::string::npos);
  EXPECT_EQ(Again.Scan().size(), 2u);
  EXPECT_EQ(Again.IndexesAgreeWithRows(), "");
}

// An exclusively held table writes its files only when their caches fill
// or it closes, so a row operation that fails half-way cannot be dropped
// from the files without the operations before it.
TEST_F(TableManager, AFailedRowOperationOnAnExclusiveTableKeepsEveryRowAndMarksItForRepair) {
  struct TCase {
    const char* Name;
    // Fails after the files changed, with rows {1, a, 1} and {2, b, 2}
    // in the table.
    std::function<void(TTableConnection&, int32_t Second)> Fail;
  };
  const TCase Cases[] = {
      {"an insert whose key is refused", [](TTableConnection& S, int32_t) { S.Insert({1, u"dup", 9}); }},
      // The old key goes before the new one is refused.
      {"an update whose key is refused",
       [](TTableConnection& S, int32_t Second) {
         const int32_t Number = S.Find(Second);
         int32_t Counter = S.Row->GetUpdateCounter();
         const int32_t Version = S.Row->GetVersion();
         S.Manager->LockAndRefresh(&S.User, Number, Version, Counter, Second, false, false, false);
         S.Values->GetItems(test::IdColumn)->SetAsInteger(1);
         S.Manager->UpdateRow(*S.Values, Number, Version, Counter);
       }},
  };
  const TTableShape Shape;
  int32_t Run = 0;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Subfolder = "exclusive" + std::to_string(Run++);
    TModelRows Kept;
    {
      TTableConnection& Session = NewSession(Shape, Subfolder);
      Session.Open(ltExclusive);
      Kept[Session.Insert({1, u"a", 1})] = {1, u"a", 1};
      const int32_t Second = Session.Insert({2, u"b", 2});
      Kept[Second] = {2, u"b", 2};
      EXPECT_EQ(ErrorOf([&] { Case.Fail(Session, Second); }).substr(0, 4), "601 ");
      // Nothing more is written over files whose rows and keys disagree.
      EXPECT_EQ(ErrorOf([&] { Session.Insert({3, u"c", 3}); }), RepairRequired);
      CloseSessions();
    }
    TTableConnection& Again = NewSession(Shape, Subfolder);
    EXPECT_EQ(ErrorOf([&] { Again.Open(); }), RepairRequired);
    // What a repair starts from holds every row written before the failure.
    Again.Table->StartRepair();
    Again.Open();
    const TModelRows Seen = Again.Scan();
    for (const auto& [RowID, Row] : Kept) {
      ASSERT_EQ(Seen.count(RowID), 1u) << test::DescribeRows(Seen);
      EXPECT_EQ(Seen.at(RowID), Row);
    }
    Again.Table->EndRepair();
    CloseSessions();
  }
}

TEST_F(TableManager, ABatchWritesWhenFlushedAndDropsTheRestWhenAborted) {
  TTableConnection& Session = OpenSession();
  TTableConnection& Other = OpenSession();
  Session.Manager->BeginBatchUpdate();
  Session.Insert({1, u"a", 1});
  EXPECT_TRUE(Other.Scan().empty());
  Session.Manager->FlushBatchUpdate();
  EXPECT_EQ(Other.Scan().size(), 1u);
  Session.Insert({2, u"b", 2});
  Session.Manager->AbortBatchUpdate();
  EXPECT_EQ(Other.Scan().size(), 1u);
  EXPECT_EQ(Session.Scan().size(), 1u);
  Session.Manager->BeginBatchUpdate();
  Session.Insert({3, u"c", 3});
  Session.Manager->EndBatchUpdate();
  EXPECT_EQ(Other.Scan().size(), 2u);
  EXPECT_EQ(Other.IndexesAgreeWithRows(), "");
}

// ------------------------------------------------------------------ indexes

TEST_F(TableManager, ACreatedIndexFindsEveryRow) {
  TTableShape Shape;
  TTableConnection& Session = OpenSession(Shape);
  for (int32_t Id = 1; Id <= 300; ++Id) Session.Insert({Id, u"n", (Id * 37) % 101});
  AddTestIndex(Session.Table, u"ByN", itIndex, {u"n"});
  EXPECT_EQ(Session.Walk(0).size(), 300u);
  EXPECT_TRUE(Session.Manager->CreateIndex(2, false));
  EXPECT_EQ(Session.Walk(0).size(), 300u);
  EXPECT_EQ(Session.Walk(2).size(), 300u);
  Session.Manager->DropIndexBackupCopy();
  Session.Manager->Flush();
  EXPECT_EQ(Session.Walk(2).size(), 300u);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
  CloseSessions();
  Shape.NIndex = true;
  TTableConnection& Again = OpenSession(Shape);
  EXPECT_EQ(Again.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, BuildingAUniqueIndexOverDuplicatesRemovesOrRefuses) {
  TTableShape Shape;
  Shape.IdKey = false;
  TTableConnection& Session = OpenSession(Shape);
  const int32_t First = Session.Insert({1, u"a", 1});
  const int32_t Duplicate = Session.Insert({1, u"b", 2});
  const int32_t Other = Session.Insert({2, u"c", 3});
  AddTestIndex(Session.Table, u"ById", itPrimaryKey, {u"id"});
  // Without removal the refused key is reported and the file put back.
  EXPECT_EQ(ErrorOf([&] { Session.Manager->CreateIndex(1, false); }).substr(0, 3), "601");
  Session.Manager->CreateIndex(1, true);
  Session.Manager->BeginAlterIndex(1);
  EXPECT_TRUE(Session.Manager->EndAlterIndex(1, true));
  EXPECT_TRUE(Session.Manager->GetIndexBuildDeletedRows());
  Session.Manager->DropIndexBackupCopy();
  Session.Manager->Flush();
  const TModelRows Rows = Session.Scan();
  EXPECT_EQ(Rows.count(First), 1u);
  EXPECT_EQ(Rows.count(Duplicate), 0u);
  EXPECT_EQ(Rows.count(Other), 1u);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, RowsChangedWhileAnIndexIsAlteredAreInItWhenItIsBuilt) {
  TTableConnection& Session = OpenSession();
  const int32_t First = Session.Insert({1, u"a", 1});
  Session.Manager->BeginAlterIndex(1);
  Session.Insert({2, u"b", 2});
  Session.Update(First, u"c", 3);
  EXPECT_TRUE(Session.Manager->EndAlterIndex(1, false));
  Session.Manager->DropIndexBackupCopy();
  Session.Manager->Flush();
  EXPECT_EQ(Session.Walk(1).size(), 2u);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, DroppingAnIndexRenumbersTheLaterOnes) {
  TTableShape Shape;
  Shape.NIndex = true;
  TTableConnection& Session = OpenSession(Shape);
  for (int32_t Id = 1; Id <= 20; ++Id) Session.Insert({Id, u"n" + IntToString(Id % 7), Id % 5});
  EXPECT_TRUE(Session.Manager->DropIndex(1, true));
  Session.Manager->DropIndexBackupCopy();
  std::unique_ptr<TORVIndex> Dropped(Session.Table->GetIndexes().GetIndex(1));
  Session.Table->GetIndexes().Delete(1);
  EXPECT_EQ(Session.Manager->GetIndexNavigator(1).GetIndexNumber(), 1);
  EXPECT_EQ(Session.Manager->GetIndexNavigator(1).GetIndex()->GetName(), u"ByN");
  Session.Insert({21, u"x", 3});
  Session.Manager->Flush();
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, IndexFiguresAndTheDumpFollowTheKeys) {
  TTableConnection& Session = OpenSession();
  TORVTableManager& Manager = *Session.Manager;
  constexpr int32_t ByName = 1;
  const int32_t EmptySpace = Manager.CalculateIndexSpace(ByName);
  std::vector<int32_t> IDs;
  for (int32_t Id = 1; Id <= 400; ++Id) IDs.push_back(Session.Insert({Id, u"r" + IntToString(Id), Id}));
  EXPECT_GT(Manager.CalculateIndexSpace(ByName), EmptySpace);
  EXPECT_GE(Manager.CalculateIndexSlackSpace(ByName), 0);
  const std::string Plain = StringToUtf8(Manager.DumpIndex(ByName, false));
  const std::string WithRows = StringToUtf8(Manager.DumpIndex(ByName, true));
  auto Titles = [&Plain](const std::string& Title) {
    int32_t Count = 0;
    for (size_t At = Plain.find(Title); At != std::string::npos; At = Plain.find(Title, At + 1)) ++Count;
    return Count;
  };
  // Four hundred keys need a root above several pages; the figures and the
  // dump walk the same pages.
  EXPECT_GE(Titles("\r\nExternal Page # "), 2);
  EXPECT_EQ(Titles("\r\nRoot Page # "), 1);
  EXPECT_EQ(Manager.CalculateIndexInternalPages(ByName), Titles("\r\nInternal Page # "));
  EXPECT_NE(Plain.find("\r\nr17\r\n"), std::string::npos);
  EXPECT_GT(WithRows.size(), Plain.size());
  Session.Delete(IDs[16]);
  EXPECT_EQ(StringToUtf8(Manager.DumpIndex(ByName, false)).find("\r\nr17\r\n"), std::string::npos);
}

TEST_F(TableManager, CopiedHeadersCarryTheRowNumberingOver) {
  TTableConnection& Source = OpenSession({}, "from");
  const int32_t FirstSourceID = Source.Insert({1, u"a", 1});
  Source.Insert({2, u"b", 2});
  TTableConnection& Target = OpenSession({}, "to");
  Target.Manager->CopyHeaders(*Source.Manager);
  const int32_t Copied = Target.Insert({3, u"c", 3});
  EXPECT_EQ(Copied, Source.Insert({3, u"c", 3}));
  EXPECT_NE(Copied, FirstSourceID);
  CloseSessions();
  TTableConnection& Again = OpenSession({}, "to");
  EXPECT_EQ(Again.Scan(), (TModelRows{{Copied, {3, u"c", 3}}}));
}

TEST_F(TableManager, HeaderCopiesAndIndexFiguresNeedAnOpenTable) {
  TTableConnection& Open = OpenSession({}, "open");
  TTableConnection& Closed = NewSession({}, "closed");
  auto& Unopened = static_cast<TORVTableManager&>(*Closed.Managers.Get(Closed.Table, true));
  struct TCase {
    const char* Operation;
    std::function<void()> Call;
  };
  const TCase Cases[] = {
      {"CopyHeaders", [&] { Open.Manager->CopyHeaders(Unopened); }},
      {"CopyHeaders", [&] { Unopened.CopyHeaders(*Open.Manager); }},
      {"CalculateIndexSpace", [&] { Unopened.CalculateIndexSpace(0); }},
      {"CalculateIndexSlackSpace", [&] { Unopened.CalculateIndexSlackSpace(0); }},
      {"CalculateIndexInternalPages", [&] { Unopened.CalculateIndexInternalPages(0); }},
      {"DumpIndex", [&] { Unopened.DumpIndex(0, true); }},
  };
  for (const TCase& Case : Cases)
    EXPECT_EQ(ErrorOf(Case.Call),
              std::string("402 The table t must be open in order to perform this operation (") + Case.Operation + ")");
}

TEST_F(TableManager, ABackupCopyPutBackThroughTheOpenFilesUndoesLaterChanges) {
  TTableConnection& Session = OpenSession();
  Session.Insert({1, u"a", 1});
  const std::string Before = test::DescribeRows(Session.Scan());
  const std::vector<std::string> Files = FilesIn("db");
  Session.Manager->CreateBackupCopy(false, true, true, true, true, false);
  EXPECT_EQ(FilesIn("db").size(), 2 * Files.size());
  for (int32_t Id = 2; Id <= 50; ++Id) Session.Insert({Id, u"b", Id});
  Session.Manager->RestoreBackupCopy(false, true, true, true, true);
  EXPECT_EQ(test::DescribeRows(Session.Scan()), Before);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
  Session.Manager->DropBackupCopy(true, true, true, true);
  EXPECT_EQ(FilesIn("db"), Files);
  // Writes after the restore build on the restored files.
  Session.Insert({60, u"c", 60});
  CloseSessions();
  TTableConnection& Again = OpenSession();
  EXPECT_EQ(Again.Scan().size(), 2u);
  EXPECT_EQ(Again.IndexesAgreeWithRows(), "");
}

TEST_F(TableManager, DropSucceedsWhenTheBlobFileIsGone) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) { AddTestColumn(Table.GetColumns(), u"pic", dtLargeObject, stBlob); };
  TTableConnection& Session = OpenSession(Shape);
  Session.Insert({1, u"a", 1});
  CloseSessions();
  std::filesystem::remove(Folder() / "db" / "t.ORVBlb");
  TTableConnection& Dropper = NewSession(Shape);
  Dropper.Manager = static_cast<TORVTableManager*>(Dropper.Managers.Get(Dropper.Table, true));
  Dropper.Manager->Drop(false);
  EXPECT_EQ(JoinedNames(FilesIn("db")), "");
}

// -------------------------------------------------------------------- BLOBs

TTableShape BlobShape() {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) {
    AddTestColumn(Table.GetColumns(), u"pic", dtLargeObject, stBlob);
    Table.SetBlobBlockSize(64);
  };
  return Shape;
}

TORVBytes Pattern(int32_t Size) {
  TORVBytes Bytes(static_cast<size_t>(Size));
  for (int32_t Index = 0; Index < Size; ++Index) Bytes[static_cast<size_t>(Index)] = static_cast<uint8_t>(Index % 7);
  return Bytes;
}

TEST_F(TableManager, BlobStreamsGoThroughTheBlobFile) {
  TTableConnection& Session = OpenSession(BlobShape());
  TORVBlobManager& Blobs = *Session.Manager->BlobManager();
  const int32_t Blocks = Blobs.GetNextNumber();
  struct TCase {
    const char* Name;
    int32_t Size;
    int32_t Compression;
  };
  for (const TCase& Case : {TCase{"empty, never stored", 0, 0}, TCase{"plain", 1000, 0}, TCase{"compressed", 5000, 6}}) {
    SCOPED_TRACE(Case.Name);
    TORVMemoryStream Value(Session.CharacterSet());
    const TORVBytes Bytes = Pattern(Case.Size);
    Value.Write(Bytes.data(), Case.Size);
    int32_t BlockNumber = 0;
    int32_t StoredSize = -1;
    Session.Manager->WriteBlobStream(7, BlockNumber, Value, Case.Compression, StoredSize);
    if (Case.Size == 0) {
      // No chain, no block.
      EXPECT_EQ(BlockNumber, 0);
      EXPECT_EQ(Blobs.GetNextNumber(), Blocks);
      continue;
    }
    EXPECT_NE(BlockNumber, 0);
    if (Case.Compression > 0) {
      EXPECT_LT(StoredSize, Case.Size);
    } else {
      EXPECT_EQ(StoredSize, Case.Size);
    }
    TORVMemoryStream Read(Session.CharacterSet());
    Session.Manager->CheckForChanges(false);
    Session.Manager->ReadBlobStream(7, BlockNumber, Read, Case.Compression > 0);
    EXPECT_FALSE(Session.Table->GetLockState().Contains(lsReadLocked));
    EXPECT_EQ(TORVBytes(Read.GetMemory(), Read.GetMemory() + Read.GetSize()), Bytes);
  }
}

TEST_F(TableManager, AFailedBlobReadGivesBackTheReadLock) {
  TTableConnection& Session = OpenSession(BlobShape());
  TORVMemoryStream Value(Session.CharacterSet());
  const TORVBytes Bytes = Pattern(300);
  Value.Write(Bytes.data(), 300);
  int32_t BlockNumber = 0;
  int32_t StoredSize = 0;
  Session.Manager->WriteBlobStream(7, BlockNumber, Value, 0, StoredSize);
  Session.Manager->Flush();
  Session.Manager->CheckForChanges(false);
  ASSERT_TRUE(Session.Table->GetLockState().Contains(lsReadLocked));
  // A version the chain does not record: the row was replaced meanwhile.
  TORVMemoryStream Read(Session.CharacterSet());
  EXPECT_EQ(ErrorOf([&] { Session.Manager->ReadBlobStream(8, BlockNumber, Read, false); }),
            "1007 The row has been deleted since last cached for the table t");
  EXPECT_FALSE(Session.Table->GetLockState().Contains(lsReadLocked));
}

// -------------------------------------------------------------- fault loop

// The faults every operation meets in turn, at each of its writes or
// flushes.
struct TFault {
  const char* Name;
  test::TFaultKind Kind;
  test::TFaultMode Mode;
};
const TFault Faults[] = {{"write", test::fkWrite, test::fmFail},
                         {"torn write", test::fkWrite, test::fmTorn},
                         {"flush", test::fkFlush, test::fmFail}};

// What one operation does to the table t of three rows, and the rows
// before and after it.
struct TFaultOperation {
  const char* Name;
  std::function<void(TTableConnection&, const std::vector<int32_t>&)> Run;
  std::function<void(TModelRows&, const std::vector<int32_t>&)> Apply;
};

TEST_F(TableManager, EveryFailedWriteOrFlushLeavesTheTableBeforeAfterOrNeedingRepair) {
  const TFaultOperation Operations[] = {
      {"insert", [](TTableConnection& S, const std::vector<int32_t>&) { S.Insert({9, u"new", 9}); },
       [](TModelRows& Rows, const std::vector<int32_t>&) { Rows[4] = {9, u"new", 9}; }},
      {"update", [](TTableConnection& S, const std::vector<int32_t>& IDs) { S.Update(IDs[1], u"zz", 5); },
       [](TModelRows& Rows, const std::vector<int32_t>& IDs) { Rows[IDs[1]] = {2, u"zz", 5}; }},
      {"delete", [](TTableConnection& S, const std::vector<int32_t>& IDs) { S.Delete(IDs[0]); },
       [](TModelRows& Rows, const std::vector<int32_t>& IDs) { Rows.erase(IDs[0]); }},
      {"commit",
       [](TTableConnection& S, const std::vector<int32_t>& IDs) {
         S.StartTransaction();
         S.Insert({9, u"new", 9});
         S.Update(IDs[1], u"zz", 5);
         S.Delete(IDs[0]);
         S.Commit();
       },
       [](TModelRows& Rows, const std::vector<int32_t>& IDs) {
         Rows[4] = {9, u"new", 9};
         Rows[IDs[1]] = {2, u"zz", 5};
         Rows.erase(IDs[0]);
       }},
      {"empty", [](TTableConnection& S, const std::vector<int32_t>&) { S.Manager->Empty(true); },
       [](TModelRows& Rows, const std::vector<int32_t>&) { Rows.clear(); }},
  };
  int32_t Run = 0;
  for (const TFaultOperation& Operation : Operations) {
    for (const TFault& Fault : Faults) {
      bool Completed = false;
      for (int32_t N = 1; !Completed && N < 200; ++N) {
        SCOPED_TRACE(std::string(Operation.Name) + ", " + Fault.Name + " " + std::to_string(N));
        const std::string Subfolder = "fault" + std::to_string(Run++);
        TModelRows Before;
        std::vector<int32_t> IDs;
        {
          TTableConnection& Setup = OpenSession({}, Subfolder);
          for (int32_t Id = 1; Id <= 3; ++Id) {
            const TModelRow Row{Id, u"r" + IntToString(Id), Id};
            IDs.push_back(Setup.Insert(Row));
            Before[IDs.back()] = Row;
          }
          CloseSessions();
        }
        TModelRows After = Before;
        Operation.Apply(After, IDs);
        {
          TTableConnection& Session = OpenSession({}, Subfolder);
          Session.Database.Session().SetFlushWrites(true);
          Files->Faults().FailNext(Fault.Kind, N, Fault.Mode);
          const std::string Error = ErrorOf([&] { Operation.Run(Session, IDs); });
          Completed = Error == "no error";
          Files->Faults().Clear();
          if (Session.Table->GetObjectState().Contains(osInTransaction)) {
            ErrorOf([&] { Session.Rollback(); });
          }
          ErrorOf([&] { CloseSessions(); });
          Sessions.clear();
        }
        TTableConnection& Check = NewSession({}, Subfolder);
        const std::string OpenError = ErrorOf([&] { Check.Open(); });
        if (OpenError != "no error") {
          EXPECT_EQ(OpenError, RepairRequired);
          // REPAIR gives back a table that opens, verifies clean and keeps
          // every row the operation did not reach.
          const test::TVerifyRun Repair = RepairTable({}, Subfolder);
          EXPECT_TRUE(Repair.Result) << test::Joined(Repair.Findings);
          EXPECT_TRUE(Repair.FoundErrors);
          EXPECT_EQ(CheckRepaired(Before, After, {}, Subfolder, Fault.Mode == test::fmTorn), "")
              << test::Joined(Repair.Findings);
        } else {
          const std::string Seen = test::DescribeRows(Check.Scan());
          if (Seen != test::DescribeRows(Before)) {
            EXPECT_EQ(Seen, test::DescribeRows(After));
          }
          EXPECT_EQ(Check.IndexesAgreeWithRows(), "");
        }
        CloseSessions();
      }
      EXPECT_TRUE(Completed) << Operation.Name << ", " << Fault.Name;
    }
  }
}

TEST_F(TableManager, EveryFailedWriteOrFlushOfAnIndexCreationLeavesTheIndexWholeOrAbsent) {
  constexpr int32_t Rows = 40;
  int32_t Run = 0;
  for (const TFault& Fault : Faults) {
    bool Completed = false;
    for (int32_t N = 1; !Completed && N < 200; ++N) {
      SCOPED_TRACE(std::string(Fault.Name) + " " + std::to_string(N));
      const std::string Subfolder = "index" + std::to_string(Run++);
      TModelRows BeforeRows;
      std::string Before;
      {
        TTableConnection& Setup = OpenSession({}, Subfolder);
        for (int32_t Id = 1; Id <= Rows; ++Id) Setup.Insert({Id, u"r" + IntToString(Id % 9), Id % 7});
        BeforeRows = Setup.Scan();
        Before = test::DescribeRows(BeforeRows);
        CloseSessions();
      }
      {
        TTableConnection& Session = OpenSession({}, Subfolder);
        Session.Database.Session().SetFlushWrites(true);
        AddTestIndex(Session.Table, u"ByN", itIndex, {u"n"});
        Files->Faults().FailNext(Fault.Kind, N, Fault.Mode);
        const std::string Error = ErrorOf([&] {
          Session.Manager->CreateIndex(2, false);
          Session.Manager->DropIndexBackupCopy();
          Session.Manager->Flush();
        });
        Completed = Error == "no error";
        Files->Faults().Clear();
        ErrorOf([&] { CloseSessions(); });
        Sessions.clear();
      }
      TTableShape WithIndex;
      WithIndex.NIndex = true;
      TTableConnection& Check = NewSession(WithIndex, Subfolder);
      const std::string OpenError = ErrorOf([&] { Check.Open(); });
      if (OpenError != "no error") {
        EXPECT_EQ(OpenError, RepairRequired);
        const test::TVerifyRun Repair = RepairTable(WithIndex, Subfolder);
        EXPECT_TRUE(Repair.Result) << test::Joined(Repair.Findings);
        EXPECT_EQ(CheckRepaired(BeforeRows, BeforeRows, WithIndex, Subfolder), "");
      } else {
        EXPECT_EQ(test::DescribeRows(Check.Scan()), Before);
        const size_t Built = Check.Walk(2).size();
        if (Built != 0 || Completed) {
          EXPECT_EQ(Check.IndexesAgreeWithRows(), "");
        } else {
          // Taken back: the earlier indexes are whole.
          EXPECT_EQ(Check.Walk(0).size(), static_cast<size_t>(Rows));
          EXPECT_EQ(Check.Walk(1).size(), static_cast<size_t>(Rows));
        }
      }
      CloseSessions();
    }
    EXPECT_TRUE(Completed) << Fault.Name;
  }
}

// The writes that mark a half-changed exclusive table for repair may fail
// or tear themselves: the mark is left all the same.
TEST_F(TableManager, EveryFailedWriteOrFlushWhileMarkingAnExclusiveTableLeavesTheMark) {
  int32_t Run = 0;
  for (const TFault& Fault : Faults) {
    bool Reached = true;
    for (int32_t N = 1; Reached && N < 100; ++N) {
      SCOPED_TRACE(std::string(Fault.Name) + " " + std::to_string(N));
      const std::string Subfolder = "marking" + std::to_string(Run++);
      {
        TTableConnection& Session = NewSession({}, Subfolder);
        Session.Open(ltExclusive);
        for (int32_t Id = 1; Id <= 3; ++Id) Session.Insert({Id, u"r" + IntToString(Id), Id});
        const int32_t Before = Files->Faults().GetCount(Fault.Kind);
        Files->Faults().FailNext(Fault.Kind, N, Fault.Mode);
        EXPECT_EQ(ErrorOf([&] { Session.Insert({1, u"dup", 9}); }).substr(0, 4), "601 ");
        ErrorOf([&] { CloseSessions(); });
        Sessions.clear();
        Reached = Files->Faults().GetCount(Fault.Kind) - Before >= N;
        Files->Faults().Clear();
      }
      TTableConnection& Check = NewSession({}, Subfolder);
      EXPECT_EQ(ErrorOf([&] { Check.Open(); }), RepairRequired);
      CloseSessions();
    }
    EXPECT_FALSE(Reached) << Fault.Name << ": the fault still hit at the last N";
  }
}

}  // namespace
}  // namespace orv
