// The local cursor over a table: physical order past deleted slots, change
// detection against another session (a thread's or another process's), row
// locks by protocol, editing errors, failed writes, and reset.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvindexes.h"
#include "storage/orvindexnav.h"
#include "catalog/orvschema.h"
#include "core/orvsessionmgr.h"
#include "eval/orvviewmgr.h"
#include "exec/orvlocalcursor.h"
#include "tests/exec/orvlocalcursortest.h"
#include "tests/support/orvchildprocess.h"
#include "base/orvutf8.h"
#include "core/orvliteral.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::CurrentModelRow;
using test::TModelRow;
using test::TModelRows;
using test::TTableConnection;
using test::WalkIds;

using IdList = std::vector<int32_t>;

class LocalCursor : public test::LocalCursorTest {
 protected:
  // Rows with ids 1 .. Count in slots 1 .. Count, then the ids in Deleted
  // deleted.
  TTableConnection& Filled(int32_t Count, const IdList& Deleted = {}, const std::string& Subfolder = "db") {
    TTableConnection& Session = OpenSession({}, Subfolder);
    for (int32_t Id = 1; Id <= Count; ++Id) Session.Insert({Id, u"r" + IntToString(Id), Id * 10});
    for (int32_t Id : Deleted) Session.Delete(Id);
    return Session;
  }
};

TEST_F(LocalCursor, AnEmptyTableLeavesNoRowWithOrWithoutAStaticBitmap) {
  for (const bool Static : {false, true}) {
    SCOPED_TRACE(Static ? "static" : "live");
    TTableConnection& Session = OpenSession({}, Static ? "static" : "live");
    TORVLocalCursor& Cursor = OpenCursor(Session);
    Cursor.SetStatic(Static);
    for (const auto& [Name, Move] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"First", [&] { Cursor.First(); }},
             {"Last", [&] { Cursor.Last(); }},
             {"Next", [&] { Cursor.Next(); }},
             {"Prior", [&] { Cursor.Prior(); }},
             {"SetRowNumber(0)", [&] { Cursor.SetRowNumber(0); }},
             {"SetRowNumber(3)", [&] { Cursor.SetRowNumber(3); }},
             {"SetToSequenceNumber(1)", [&] { Cursor.SetToSequenceNumber(1); }}}) {
      SCOPED_TRACE(Name);
      Move();
      EXPECT_EQ(Cursor.GetRowNumber(), 0);
      EXPECT_TRUE(Cursor.GetBOF());
      EXPECT_TRUE(Cursor.GetEOF());
    }
    EXPECT_EQ(Cursor.GetRowCount(), 0);
    for (const int32_t Number : {-1, 0, 1, 2, 300, 1 << 20}) {
      bool Stop = false;
      EXPECT_FALSE(Cursor.GetRowsetNavigator()->RowValid(Number, NavigateForward, Stop)) << Number;
      if (Static) {
        EXPECT_FALSE(Cursor.RowValid(Number)) << Number;
      }
    }
    EXPECT_EQ(CurrentModelRow(Cursor), TModelRow{});
  }
}

TEST_F(LocalCursor, WalksNeverStopOnDeletedSlots) {
  for (const bool Static : {false, true}) {
    SCOPED_TRACE(Static ? "static" : "live");
    TTableConnection& Session = Filled(5, {2, 4}, Static ? "static" : "live");
    TORVLocalCursor& Cursor = OpenCursor(Session);
    Cursor.SetStatic(Static);
    EXPECT_EQ(WalkIds(Cursor), (IdList{1, 3, 5}));
    EXPECT_EQ(WalkIds(Cursor, false), (IdList{5, 3, 1}));
    struct TCase {
      int32_t Sequence;
      int32_t Number;
      bool AtEnd;
    };
    for (const TCase& Case : {TCase{3, 5, false}, TCase{2, 3, false}, TCase{0, 1, false}, TCase{-4, 1, false},
                              TCase{9, 5, true}}) {
      Cursor.SetToSequenceNumber(Case.Sequence);
      EXPECT_EQ(Cursor.GetRowNumber(), Case.Number) << Case.Sequence;
      EXPECT_EQ(Cursor.GetEOF(), Case.AtEnd) << Case.Sequence;
    }
    // A deleted slot number stands on the next valid row.
    Cursor.SetRowNumber(2);
    EXPECT_EQ(Cursor.GetRowNumber(), 3);
    Cursor.SetRowNumber(4);
    EXPECT_EQ(Cursor.GetRowNumber(), 5);
    Cursor.SetRowNumber(0);
    EXPECT_EQ(Cursor.GetRowNumber(), 0);
    CloseAll();
  }
}

TEST_F(LocalCursor, DeletingTheCurrentRowStandsOnTheNearestValidRow) {
  for (const bool Static : {false, true}) {
    SCOPED_TRACE(Static ? "static" : "live");
    TTableConnection& Session = Filled(5, {2, 4}, Static ? "static" : "live");
    TORVLocalCursor& Cursor = OpenCursor(Session);
    Cursor.SetStatic(Static);
    auto Row = Cursor.CreateRow(true);
    // Row 3: the next (5) follows; row 5: no next, so the previous (1).
    for (const auto& [At, After] : std::vector<std::pair<int32_t, int32_t>>{{3, 5}, {5, 1}, {1, 0}}) {
      Cursor.SetRowNumber(At);
      Cursor.GetCurrentRow(*Row, true);
      EXPECT_TRUE(Cursor.Delete(*Row));
      EXPECT_EQ(Cursor.GetRowNumber(), After) << At;
    }
    EXPECT_TRUE(Cursor.GetBOF() && Cursor.GetEOF());
    EXPECT_EQ(Session.Scan().size(), 0u);
    CloseAll();
  }
}

// A walks with Next; after its second row, another session inserts a row
// ahead of it and deletes the first row, behind it.
class ChangeDuringWalk : public LocalCursor {
 protected:
  IdList WalkWith(TORVLocalCursor& Cursor, const std::function<void()>& Other) {
    IdList Ids;
    Cursor.First();
    while (Cursor.GetRowNumber() != 0) {
      Ids.push_back(CurrentModelRow(Cursor).Id);
      if (Ids.size() == 2) Other();
      const int32_t Before = Cursor.GetRowNumber();
      Cursor.Next();
      if (Cursor.GetRowNumber() == Before) break;
    }
    return Ids;
  }
};

TEST_F(ChangeDuringWalk, AnotherSessionsRowsAreNoticedAndVisitedOnce) {
  TTableConnection& A = Filled(5);
  TTableConnection& B = OpenSession();
  TORVLocalCursor& Cursor = OpenCursor(A);
  const IdList Seen = WalkWith(Cursor, [&] {
    B.Insert({100, u"new", 1});
    B.Delete(1);
  });
  EXPECT_EQ(Seen, (IdList{1, 2, 3, 4, 5, 100}));
  EXPECT_EQ(Cursor.GetUpdateCounter(), A.Manager->GetUpdateCounter());
  EXPECT_EQ(WalkIds(Cursor), (IdList{2, 3, 4, 5, 100}));
  EXPECT_EQ(Cursor.GetRowCount(), 5);
}

TEST_F(ChangeDuringWalk, AnotherProcesssRowsAreNoticedAndVisitedOnce) {
  {
    Filled(5);
    CloseAll();
  }
  test::ChildProcess Other([&](test::ChildProcess& Child) {
    TTableConnection B(Files.get(), PathName("db"), PathName("orv.lock"));
    B.Open();
    Child.Tell('r');
    if (Child.Await() != 'g') return;
    B.Insert({100, u"new", 1});
    B.Delete(1);
    Child.Tell('d');
    Child.Await();
  });
  ASSERT_EQ(Other.Expect(), 'r');
  TTableConnection& A = OpenSession();
  TORVLocalCursor& Cursor = OpenCursor(A);
  const IdList Seen = WalkWith(Cursor, [&] {
    Other.Go();
    EXPECT_EQ(Other.Expect(), 'd');
  });
  EXPECT_EQ(Other.Finish(), 0);
  EXPECT_EQ(Seen, (IdList{1, 2, 3, 4, 5, 100}));
  EXPECT_EQ(WalkIds(Cursor), (IdList{2, 3, 4, 5, 100}));
}

// ----------------------------------------------------------- row locks

enum TLockOperation : uint8_t {
  // A second cursor of the same table manager locks the row A holds.
  loSecondCursorLocks,
  // A reads the row (with the edit lock of its protocol); another session
  // changes it; A updates or deletes its copy.
  loUpdateAfterOtherChange,
  loDeleteAfterOtherChange,
  // A reads with lock and cancels; the second cursor then locks.
  loCancelReleasesEditLock,
  // A's explicit lock outlives an update and a cancel, until UnlockRow.
  loExplicitLockSurvivesEdits
};

struct TLockCase {
  TORVRowLockProtocol Protocol;
  bool Detect;
  TLockOperation Operation;
  std::string Expected;
};

constexpr char LockRefused[] = "1005 Cannot lock the row in the table t";
constexpr char RowModified[] = "1008 The row has been modified since last cached for the table t";

std::vector<TLockCase> LockCases() {
  std::vector<TLockCase> Cases;
  for (const TORVRowLockProtocol Protocol : {rpPessimistic, rpOptimistic})
    for (const bool Detect : {false, true}) {
      Cases.push_back({Protocol, Detect, loSecondCursorLocks, LockRefused});
      // Under the pessimistic protocol A's read locks the row, so the other
      // session's change waits for the lock and is refused.
      Cases.push_back({Protocol, Detect, loUpdateAfterOtherChange,
                       Protocol == rpPessimistic ? "other refused"
                       : Detect                  ? RowModified
                                                 : "no error"});
      Cases.push_back({Protocol, Detect, loDeleteAfterOtherChange,
                       Protocol == rpPessimistic ? "other refused" : RowModified});
      Cases.push_back({Protocol, Detect, loCancelReleasesEditLock,
                       Protocol == rpPessimistic ? "held, then free" : "free, then free"});
      Cases.push_back({Protocol, Detect, loExplicitLockSurvivesEdits, "held, held, free"});
    }
  return Cases;
}

TEST_F(LocalCursor, RowLocksFollowTheProtocolAndTheChangeSetting) {
  int32_t Round = 0;
  for (const TLockCase& Case : LockCases()) {
    const std::string Name = std::string(Case.Protocol == rpPessimistic ? "pessimistic" : "optimistic") +
                             (Case.Detect ? " detecting" : "") + " operation " + std::to_string(Case.Operation);
    SCOPED_TRACE(Name);
    const std::string Subfolder = "m" + std::to_string(Round++);
    TTableConnection& A = Filled(3, {}, Subfolder);
    TTableConnection& B = OpenSession({}, Subfolder);
    for (TTableConnection* Session : {&A, &B}) {
      Session->Database.Session().SetRowLockProtocol(Case.Protocol);
      Session->Database.Session().SetDetectRowChanges(Case.Detect);
    }
    TORVLocalCursor& Cursor = OpenCursor(A);
    TORVLocalCursor& Second = OpenCursor(A);
    auto Row = Cursor.CreateRow(true);
    auto SecondRow = Second.CreateRow(true);
    Cursor.SetRowNumber(2);
    Second.SetRowNumber(2);
    Second.GetCurrentRow(*SecondRow, false);
    // Whether the second cursor can lock row 2 as it stands now (and gives
    // it back).
    auto Probe = [&] {
      Second.SetRowNumber(2);
      Second.GetCurrentRow(*SecondRow, false);
      const std::string Error = test::ErrorOf([&] { Second.LockRow(*SecondRow, 0, 0); });
      if (Error != "no error") return std::string("held");
      Second.UnlockRow(*SecondRow);
      return std::string("free");
    };
    std::string Outcome;
    switch (Case.Operation) {
      case loSecondCursorLocks: {
        Cursor.GetCurrentRow(*Row, false);
        Cursor.LockRow(*Row, 0, 0);
        A.Database.Handled.clear();
        Outcome = test::ErrorOf([&] { Second.LockRow(*SecondRow, 0, 0); });
        // Handed to the session under "Lock Row", whose log skips a 1005.
        ASSERT_EQ(A.Database.Handled.size(), 1u);
        EXPECT_EQ(A.Database.Handled[0].FunctionCode, TORVLocalCursor::fcLockRow);
        EXPECT_NE(A.Database.Handled[0].Text.find("1005"), std::string::npos) << A.Database.Handled[0].Text;
        break;
      }
      case loUpdateAfterOtherChange:
      case loDeleteAfterOtherChange: {
        Cursor.GetCurrentRow(*Row, true);
        if (test::ErrorOf([&] { B.Update(2, u"", 99); }) != "no error") {
          Outcome = "other refused";
          Cursor.Cancel(*Row);
          break;
        }
        A.Database.Handled.clear();
        Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(7);
        Outcome = test::ErrorOf([&] {
          if (Case.Operation == loUpdateAfterOtherChange)
            Cursor.Update(*Row);
          else
            Cursor.Delete(*Row);
        });
        if (Outcome != "no error") {
          ASSERT_EQ(A.Database.Handled.size(), 1u);
          EXPECT_EQ(A.Database.Handled[0].FunctionCode, Case.Operation == loUpdateAfterOtherChange
                                                            ? TORVLocalCursor::fcUpdate
                                                            : TORVLocalCursor::fcDelete);
        }
        // Nothing stays locked either way.
        EXPECT_EQ(Probe(), "free");
        break;
      }
      case loCancelReleasesEditLock:
        Cursor.GetCurrentRow(*Row, true);
        Outcome = Probe();
        Cursor.Cancel(*Row);
        Outcome += ", then " + Probe();
        break;
      case loExplicitLockSurvivesEdits:
        Cursor.GetCurrentRow(*Row, false);
        Cursor.LockRow(*Row, 0, 0);
        Cursor.GetCurrentRow(*Row, true);
        Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(5);
        EXPECT_TRUE(Cursor.Update(*Row));
        Outcome = Probe();
        Cursor.GetCurrentRow(*Row, true);
        Cursor.Cancel(*Row);
        Outcome += ", " + Probe();
        Cursor.UnlockRow(*Row);
        Outcome += ", " + Probe();
        EXPECT_EQ(B.Scan().at(2).N, 5);
        break;
    }
    EXPECT_EQ(Outcome, Case.Expected);
    CloseAll();
  }
}

// ------------------------------------------------------------- editing

TEST_F(LocalCursor, AReadOnlyCursorRefusesEveryChangeAndTouchesNothing) {
  TTableConnection& Session = Filled(3);
  TORVLocalCursor& Cursor = OpenCursor(Session, true);
  Cursor.SetRowNumber(2);
  auto Row = Cursor.CreateRow(true);
  Cursor.GetCurrentRow(*Row, false);
  Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(1);
  const int32_t Counter = Session.Manager->GetUpdateCounter();
  for (const auto& [Name, Change] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"Insert", [&] { Cursor.Insert(*Row); }},
           {"Update", [&] { Cursor.Update(*Row); }},
           {"Delete", [&] { Cursor.Delete(*Row); }},
           {"Empty", [&] { Cursor.Empty(false); }},
           {"BeginUpdate", [&] { Cursor.BeginUpdate(); }}}) {
    EXPECT_EQ(test::ErrorOf(Change),
              "1000 An error occurred with the cursor c (An attempt was made to update a read-only cursor)")
        << Name;
  }
  EXPECT_EQ(Session.Manager->GetUpdateCounter(), Counter);
  EXPECT_EQ(Session.Scan().size(), 3u);
  EXPECT_EQ(Session.Scan().at(2).N, 20);
}

TEST_F(LocalCursor, InsertsUpdatesAndDeletesStandOnTheirRow) {
  TTableConnection& Session = Filled(2);
  TORVLocalCursor& Cursor = OpenCursor(Session);
  auto Row = Cursor.CreateRow(true);
  Cursor.InitializeRow(*Row);
  Row->GetValues()->GetItems(test::IdColumn)->SetAsInteger(7);
  Row->GetValues()->GetItems(test::NameColumn)->SetAsString(u"seven");
  Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(70);
  const int32_t Counter = Session.Manager->GetUpdateCounter();
  ASSERT_TRUE(Cursor.Insert(*Row));
  EXPECT_EQ(Row->GetNumber(), 3);
  EXPECT_EQ(Cursor.GetRowNumber(), 3);
  EXPECT_EQ(CurrentModelRow(Cursor), (TModelRow{7, u"seven", 70}));
  // The cursor's own write causes no refresh.
  EXPECT_NE(Session.Manager->GetUpdateCounter(), Counter);
  EXPECT_EQ(Cursor.GetUpdateCounter(), Session.Manager->GetUpdateCounter());

  Cursor.SetRowNumber(1);
  Cursor.GetCurrentRow(*Row, true);
  // Nothing modified: nothing written.
  const int32_t Before = Session.Manager->GetUpdateCounter();
  EXPECT_FALSE(Cursor.Update(*Row));
  EXPECT_EQ(Session.Manager->GetUpdateCounter(), Before);
  Cursor.GetCurrentRow(*Row, true);
  Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(11);
  EXPECT_TRUE(Cursor.Update(*Row));
  EXPECT_EQ(Cursor.GetRowNumber(), 1);
  EXPECT_EQ(CurrentModelRow(Cursor).N, 11);
  auto Stored = Cursor.CreateRow(true);
  Cursor.GetCurrentRow(*Stored, false);
  EXPECT_EQ(Row->GetUpdateCounter(), Stored->GetUpdateCounter());

  TModelRows Expected{{1, {1, u"r1", 11}}, {2, {2, u"r2", 20}}, {3, {7, u"seven", 70}}};
  EXPECT_EQ(test::DescribeRows(Session.Scan()), test::DescribeRows(Expected));
  EXPECT_EQ(WalkIds(Cursor), (IdList{1, 2, 7}));
}

// A cursor whose filters pass only rows with a positive n.
class TPositiveOnlyCursor : public TORVLocalCursor {
 public:
  using TORVLocalCursor::TORVLocalCursor;
  bool CheckRow(TORVRowValues& RowValues) override { return RowValues.GetItems(test::NColumn)->GetAsInteger() > 0; }
};

TEST_F(LocalCursor, AConstrainedCursorRefusesRowsOutsideItsFiltersBeforeWriting) {
  TTableConnection& Session = Filled(2);
  Session.Managers.Open(Session.Table, ltShared);
  TPositiveOnlyCursor Cursor(Session.Manager, u"c", false, false);
  Cursor.MapDefaultTableColumns();
  auto Row = Cursor.CreateRow(true);
  for (const bool Constrained : {false, true}) {
    Cursor.SetConstrained(Constrained);
    const int32_t Counter = Session.Manager->GetUpdateCounter();
    Cursor.InitializeRow(*Row);
    Row->GetValues()->GetItems(test::IdColumn)->SetAsInteger(Constrained ? 8 : 9);
    Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(-1);
    const std::string Insert = test::ErrorOf([&] { Cursor.Insert(*Row); });
    Cursor.SetRowNumber(1);
    Cursor.GetCurrentRow(*Row, true);
    Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(-5);
    const std::string Update = test::ErrorOf([&] { Cursor.Update(*Row); });
    if (Constrained) {
      const std::string Refused =
          "1009 The cursor is constrained and this row violates the current cursor constraint condition(s)";
      EXPECT_EQ(Insert, Refused);
      EXPECT_EQ(Update, Refused);
      Cursor.Cancel(*Row);
      EXPECT_EQ(Session.Manager->GetUpdateCounter(), Counter);
    } else {
      EXPECT_EQ(Insert, "no error");
      EXPECT_EQ(Update, "no error");
    }
  }
  EXPECT_EQ(test::DescribeRows(Session.Scan()),
            test::DescribeRows({{1, {1, u"r1", -5}}, {2, {2, u"r2", 20}}, {3, {9, u"", -1}}}));
  Cursor.Destroy();
}

TEST_F(LocalCursor, AFailingUpdateIsLoggedUnderUpdateRow) {
  TTableConnection& A = Filled(2);
  TTableConnection& B = OpenSession();
  A.Database.Session().SetRowLockProtocol(rpOptimistic);
  A.Database.Session().SetDetectRowChanges(true);
  TORVLocalCursor& Cursor = OpenCursor(A);
  Cursor.SetRowNumber(1);
  auto Row = Cursor.CreateRow(true);
  Cursor.GetCurrentRow(*Row, true);
  B.Update(1, u"", 5);
  Row->GetValues()->GetItems(test::NColumn)->SetAsInteger(6);
  A.Database.Handled.clear();
  EXPECT_EQ(test::ErrorOf([&] { Cursor.Update(*Row); }), RowModified);
  ASSERT_EQ(A.Database.Handled.size(), 1u);
  EXPECT_EQ(A.Database.Handled[0].FunctionCode, 236);
  EXPECT_NE(A.Database.Handled[0].Text.find("1008"), std::string::npos);
  EXPECT_FALSE(A.Table->GetLockState().Contains(lsReadLocked));
}

TEST_F(LocalCursor, ASeventhViewManagerIsRefused) {
  TTableConnection& Session = Filled(1);
  TORVLocalCursor& Cursor = OpenCursor(Session);
  std::vector<std::unique_ptr<TORVView>> Views;
  std::vector<std::unique_ptr<TORVViewManager>> Managers;
  Cursor.AddViewManager(nullptr);
  for (int32_t Index = 1; Index <= 7; ++Index) {
    Views.push_back(std::make_unique<TORVView>());
    Views.back()->SetName(u"v" + IntToString(Index));
    Managers.push_back(std::make_unique<TORVViewManager>(&Session.Database, Views.back().get()));
    const std::string Error = test::ErrorOf([&] { Cursor.AddViewManager(Managers.back().get()); });
    EXPECT_EQ(Error, Index <= 6 ? "no error"
                                : "902 An error occurred with the view v7 (Views cannot be nested more than 6 "
                                  "levels deep)")
        << Index;
  }
  EXPECT_EQ(Cursor.GetNumViewManagers(), 6);
  EXPECT_EQ(Cursor.GetControllerTable(), Views[5].get());
  Cursor.CloseViewManagers();
  EXPECT_EQ(Cursor.GetControllerTable(), Session.Table);
}

TEST_F(LocalCursor, LocateFindsTheFirstMatchWithAndWithoutAnIndex) {
  TTableConnection& Session = Filled(5);
  Session.Update(4, u"rz", 20);
  TORVLocalCursor& Cursor = OpenCursor(Session);
  struct TCase {
    const char16_t* Column;
    TORVString Value;
    int32_t PartialLength;
    bool Found;
    int32_t Id;
  };
  // n has no index; name has one, where a prefix must not stop on "rz".
  for (const TCase& Case : {TCase{u"n", u"20", 0, true, 2}, TCase{u"n", u"55", 0, false, 0},
                            TCase{u"name", u"r3", 0, true, 3}, TCase{u"name", u"rz", 2, true, 4},
                            TCase{u"name", u"rq", 2, false, 0}, TCase{u"name", u"r", 1, true, 1}}) {
    auto Columns = Cursor.GetColumnsForNames(TORVString(Case.Column));
    TORVContainedCursorColumnValues Search(Columns.get());
    if (TORVString(Case.Column) == u"n")
      Search.GetItems(0)->SetAsInteger(std::stoi(StringToUtf8(Case.Value)));
    else
      Search.GetItems(0)->SetAsString(Case.Value);
    const bool Found = Cursor.Locate(*Columns, Search, Case.PartialLength, false);
    EXPECT_EQ(Found, Case.Found) << StringToUtf8(Case.Value);
    if (Case.Found) {
      EXPECT_EQ(CurrentModelRow(Cursor).Id, Case.Id) << StringToUtf8(Case.Value);
    }
  }
}

TEST_F(LocalCursor, KeyBuffersCarryTheRowIDOnlyWhereTheIndexKeepsIt) {
  TTableConnection& Session = Filled(3);
  TORVLocalCursor& Cursor = OpenCursor(Session);
  Cursor.SetRowNumber(2);
  auto Row = Cursor.CreateRow(true);
  Cursor.GetCurrentRow(*Row, false);
  const int32_t RowID = Row->GetValues()->GetItems(0)->GetAsInteger();
  ASSERT_NE(RowID, 0);
  struct TCase {
    int32_t IndexNumber;
    TORVString Value;
    int32_t RowID;
  };
  // Index 0 is the primary key on id, index 1 the plain index on name.
  for (const TCase& Case : {TCase{0, u"2", 0}, TCase{1, u"r2", RowID}}) {
    Cursor.SetKeyValues(*Row->GetValues(), Case.IndexNumber);
    TORVIndexKeyValues& Keys = *Cursor.GetKeyValues(Case.IndexNumber);
    EXPECT_EQ(Keys.GetItems(0)->GetAsString(), Case.Value) << Case.IndexNumber;
    EXPECT_EQ(Keys.GetRowID(), Case.RowID) << Case.IndexNumber;
    TORVContainedIndexKeyValues Copy(Cursor.GetCharacterSet(), Cursor.GetIndexes()->GetIndex(Case.IndexNumber));
    Copy.SetRowID(-1);
    Cursor.AssignKeyValues(Copy, Case.IndexNumber);
    EXPECT_EQ(Copy.GetItems(0)->GetAsString(), Case.Value) << Case.IndexNumber;
    EXPECT_EQ(Copy.GetRowID(), Case.RowID) << Case.IndexNumber;
  }
  // No active index: no buffer.
  EXPECT_EQ(Cursor.GetKeyValues(-1), nullptr);
}

// ---------------------------------------------------- failed writes

struct TCursorChange {
  const char* Name;
  // Runs the change through Cursor on the rows 1 .. 3.
  std::function<void(TORVLocalCursor& Cursor)> Run;
};

TEST_F(LocalCursor, AFailedWriteLeavesTheTableAndTheCursorConsistent) {
  const std::vector<TCursorChange> Changes = {
      {"insert",
       [](TORVLocalCursor& Cursor) {
         auto Row = Cursor.CreateRow(true);
         Cursor.InitializeRow(*Row);
         Row->GetValues()->GetItems(test::IdColumn)->SetAsInteger(9);
         Row->GetValues()->GetItems(test::NameColumn)->SetAsString(u"nine");
         Cursor.Insert(*Row);
       }},
      {"update",
       [](TORVLocalCursor& Cursor) {
         auto Row = Cursor.CreateRow(true);
         Cursor.SetRowNumber(2);
         Cursor.GetCurrentRow(*Row, true);
         Row->GetValues()->GetItems(test::NameColumn)->SetAsString(u"two");
         Cursor.Update(*Row);
       }},
      {"delete",
       [](TORVLocalCursor& Cursor) {
         auto Row = Cursor.CreateRow(true);
         Cursor.SetRowNumber(2);
         Cursor.GetCurrentRow(*Row, true);
         Cursor.Delete(*Row);
       }},
  };
  int32_t Round = 0;
  for (const TCursorChange& Change : Changes) {
    bool Completed = false;
    for (int32_t N = 1; !Completed && N < 40; ++N) {
      SCOPED_TRACE(std::string(Change.Name) + " failing write " + std::to_string(N));
      const std::string Subfolder = "f" + std::to_string(Round++);
      TModelRows Before;
      {
        TTableConnection& Session = OpenSession({}, Subfolder);
        for (int32_t Id = 1; Id <= 3; ++Id) Session.Insert({Id, u"r" + IntToString(Id), Id});
        Before = Session.Scan();
        Session.Database.Session().SetFlushWrites(true);
        TORVLocalCursor& Cursor = OpenCursor(Session);
        Files->Faults().FailNext(test::fkWrite, N);
        const std::string Error = test::ErrorOf([&] { Change.Run(Cursor); });
        Files->Faults().Clear();
        Completed = Error == "no error";
        if (!Completed) {
          EXPECT_TRUE(Error.starts_with("600 ") || Error.starts_with("601 ")) << Error;
          // What the failed cursor shows is what a fresh cursor shows.
          if (test::ErrorOf([&] { Session.Scan(); }) == "no error") {
            TORVLocalCursor& Fresh = OpenCursor(Session);
            const int32_t Standing = Cursor.GetRowNumber();
            EXPECT_EQ(WalkIds(Cursor), WalkIds(Fresh));
            EXPECT_EQ(Cursor.GetRowCount(), Fresh.GetRowCount());
            if (Standing != 0) {
              Fresh.SetRowNumber(Standing);
              EXPECT_EQ(Fresh.GetRowNumber(), Standing);
            }
          }
        }
        Cursors.clear();
        test::ErrorOf([&] { CloseSessions(); });
        Sessions.clear();
      }
      TTableConnection& Check = NewSession({}, Subfolder);
      const std::string OpenError = test::ErrorOf([&] { Check.Open(); });
      if (OpenError != "no error") {
        EXPECT_EQ(OpenError, test::RepairRequired);
      } else if (!Completed) {
        EXPECT_EQ(test::DescribeRows(Check.Scan()), test::DescribeRows(Before));
        EXPECT_EQ(Check.IndexesAgreeWithRows(), "");
      }
      CloseAll();
    }
    EXPECT_TRUE(Completed) << Change.Name;
  }
}

// ---------------------------------------------------------------- reset

TEST_F(LocalCursor, ResetRunsOnceAndAlwaysClosesTheTableManager) {
  TTableConnection& Session = Filled(3);
  const int32_t Uses = Session.Manager->GetUseCount();
  auto Cursor = test::NewLocalCursor(Session);
  EXPECT_EQ(Session.Manager->GetUseCount(), Uses + 1);
  Cursor->Reset();
  EXPECT_EQ(Session.Manager->GetUseCount(), Uses);
  Cursor->Reset();
  Cursor->Destroy();
  EXPECT_EQ(Session.Manager->GetUseCount(), Uses);
  EXPECT_TRUE(Cursor->GetIsReset());
  EXPECT_EQ(Cursor->GetRowsetNavigator(), nullptr);
  EXPECT_EQ(test::ErrorOf([&] { Cursor->First(); }),
            "1000 An error occurred with the cursor c (An attempt was made to access a closed cursor)");
}

TEST_F(LocalCursor, AFailedUnlockStillReleasesEverythingThenRaises) {
  TTableConnection& Session = Filled(3);
  const int32_t Uses = Session.Manager->GetUseCount();
  auto Cursor = test::NewLocalCursor(Session);
  TORVLocalCursor& Other = OpenCursor(Session);
  auto Row = Cursor->CreateRow(true);
  for (const int32_t Number : {1, 2, 3}) {
    Cursor->SetRowNumber(Number);
    Cursor->GetCurrentRow(*Row, false);
    Cursor->LockRow(*Row, 0, 0);
  }
  // Row 1's lock vanishes under the cursor: its unlock fails.
  ASSERT_TRUE(Session.Manager->UnlockRow(1));
  Session.Database.Handled.clear();
  EXPECT_EQ(test::ErrorOf([&] { Cursor->Destroy(); }), "1006 Cannot unlock the row in the table t");
  EXPECT_EQ(Session.Manager->GetUseCount(), Uses + 1);
  EXPECT_TRUE(Cursor->GetIsReset());
  ASSERT_FALSE(Session.Database.Handled.empty());
  EXPECT_EQ(Session.Database.Handled.back().FunctionCode, TORVLocalCursor::fcFree);
  auto OtherRow = Other.CreateRow(true);
  for (const int32_t Number : {1, 2, 3}) {
    Other.SetRowNumber(Number);
    Other.GetCurrentRow(*OtherRow, false);
    EXPECT_EQ(test::ErrorOf([&] { Other.LockRow(*OtherRow, 0, 0); }), "no error") << Number;
  }
  Cursor.reset();
}

TEST_F(LocalCursor, UnlockAllRowsTriesEveryRowBeforeRaising) {
  TTableConnection& Session = Filled(3);
  TORVLocalCursor& Cursor = OpenCursor(Session);
  TORVLocalCursor& Other = OpenCursor(Session);
  auto Row = Cursor.CreateRow(true);
  for (const int32_t Number : {1, 2, 3}) {
    Cursor.SetRowNumber(Number);
    Cursor.GetCurrentRow(*Row, false);
    Cursor.LockRow(*Row, 0, 0);
  }
  ASSERT_TRUE(Session.Manager->UnlockRow(2));
  EXPECT_EQ(test::ErrorOf([&] { Cursor.UnlockAllRows(); }), "1006 Cannot unlock the row in the table t");
  EXPECT_EQ(Cursor.GetRowLocks()->GetCount(), 0);
  auto OtherRow = Other.CreateRow(true);
  for (const int32_t Number : {1, 3}) {
    Other.SetRowNumber(Number);
    Other.GetCurrentRow(*OtherRow, false);
    EXPECT_EQ(test::ErrorOf([&] { Other.LockRow(*OtherRow, 0, 0); }), "no error") << Number;
  }
}

}  // namespace
}  // namespace orv
