#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvlockable.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "tests/eval/orvtablemgrconstraints.h"
#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orvchildprocess.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvsqliteoracle.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::AddConstraint;
using test::AddForeignKey;
using test::AddPrimaryKey;
using test::AddTestIndex;
using test::IndexNamed;
using test::TOtherTable;
using test::ErrorOf;
using test::TModelRow;
using test::TModelRows;
using test::TTableConnection;
using test::TTableShape;

// A violation with the engine's text, or with the error code and message
// its column or constraint brings.
struct TOwnErrorCase {
  const char* Name;
  int32_t OwnCode;
  const char16_t* OwnMessage;
  const char* Expected;
};

class ConstraintChecks : public test::TableFolderTest {
 protected:
  // Inserts New with n NULL.
  static void InsertWithNullN(TTableConnection& Session, const TModelRow& New) {
    TORVRowsetRowValues& Fresh = Session.NewValues(New);
    Fresh.GetItems(test::NColumn)->SetNull(true);
    Session.InsertValues(Fresh, false);
  }
  // The table parent, shaped as t with the primary key PK, that t's n
  // refers to through the foreign key fk.
  static std::unique_ptr<TOtherTable> ParentOf(TTableConnection& Session) {
    auto Parent = std::make_unique<TOtherTable>(Session, u"parent", 2);
    AddForeignKey(Session.Table, u"n", Parent->Table(), AddPrimaryKey(Parent->Table()));
    return Parent;
  }
  // As an UPDATE of the row RowID whose new values Change sets.
  static void UpdateWith(TTableConnection& Session, int32_t RowID, const std::function<void(TORVRowValues&)>& Change) {
    const int32_t Number = Session.Find(RowID);
    int32_t Counter = Session.Row->GetUpdateCounter();
    const int32_t Version = Session.Row->GetVersion();
    Session.Manager->LockAndRefresh(&Session.User, Number, Version, Counter, RowID, false, false, false);
    try {
      Change(*Session.Values);
      Session.Manager->UpdateRow(*Session.Values, Number, Version, Counter);
    } catch (...) {
      Session.Manager->Unlock(Number);
      throw;
    }
    Session.Manager->Unlock(Number);
  }
};

TEST_F(ConstraintChecks, RequiredColumnsFailWithTheTableTextOrTheColumnsOwn) {
  const TOwnErrorCase Cases[] = {
      {"the table text", 0, u"", "1004 The column n in the table t cannot be NULL"},
      {"the column's own", 23456, u"n is needed", "23456 n is needed"},
  };
  int32_t Run = 0;
  for (const TOwnErrorCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTableConnection& Session = NewSession({}, "required" + std::to_string(Run++));
    TORVColumn* N = Session.Table->GetColumns().GetColumn(test::NColumn);
    N->SetRequired(true);
    N->SetErrorCode(Case.OwnCode);
    N->SetErrorMessage(Case.OwnMessage);
    Session.Table->GetColumns().SetupColumnInformation();
    Session.Open();
    EXPECT_EQ(ErrorOf([&] { InsertWithNullN(Session, {1, u"a", 0}); }), Case.Expected);
    const int32_t Kept = Session.Insert({2, u"b", 2});
    // An update to NULL is refused as well, and leaves the row alone.
    EXPECT_EQ(ErrorOf([&] {
                UpdateWith(Session, Kept, [](TORVRowValues& Values) { Values.GetItems(test::NColumn)->SetNull(true); });
              }),
              Case.Expected);
    EXPECT_EQ(Session.Scan(), (TModelRows{{Kept, {2, u"b", 2}}}));
  }
}

TEST_F(ConstraintChecks, PrimaryAndUniqueKeysRefuseNullsAndDuplicates) {
  TTableConnection& Session = NewSession();
  AddPrimaryKey(Session.Table);
  // A unique key over (name, n) through a plain index, so that only the
  // check can refuse a duplicate.
  TORVIndex* Pair = AddTestIndex(Session.Table, u"ByPair", itIndex, {u"name", u"n"});
  AddConstraint(Session.Table, u"UQ", ctUnique, {u"name", u"n"}, Pair);
  Session.Open();
  Session.Insert({5, u"a", 1});
  EXPECT_EQ(ErrorOf([&] { Session.Insert({5, u"b", 2}); }),
            "1004 The primary key constraint PK for the table t has been violated (Duplicate key 5 found)");
  EXPECT_EQ(ErrorOf([&] {
              TORVRowsetRowValues& Fresh = Session.NewValues({0, u"c", 3});
              Fresh.GetItems(test::IdColumn)->SetNull(true);
              Session.InsertValues(Fresh, false);
            }),
            "1004 The primary key constraint PK for the table t has been violated (NULL values are not allowed in a "
            "primary key)");
  EXPECT_EQ(ErrorOf([&] { Session.Insert({6, u"a", 1}); }),
            "1004 The unique constraint UQ for the table t has been violated (Duplicate key a,1 found)");
  // All NULL is never a duplicate; some NULL is still compared.
  InsertWithNullN(Session, {7, u"", 0});
  InsertWithNullN(Session, {8, u"", 0});
  InsertWithNullN(Session, {9, u"x", 0});
  EXPECT_EQ(ErrorOf([&] { InsertWithNullN(Session, {10, u"x", 0}); }).substr(0, 38),
            "1004 The unique constraint UQ for the ");
  EXPECT_EQ(Session.Scan().size(), 4u);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

TEST_F(ConstraintChecks, AnUpdateThatKeepsTheKeySearchesNothing) {
  TTableConnection& Session = NewSession();
  TORVIndex* Names = IndexNamed(Session.Table, u"ByName");
  TORVConstraint* Unique = AddConstraint(Session.Table, u"UQ", ctUnique, {u"name"}, Names);
  // Duplicates get in while the constraint is hidden; a search for the
  // key would find them afterwards.
  Unique->SetHidden(true);
  Session.Open();
  const int32_t First = Session.Insert({1, u"same", 1});
  Session.Insert({2, u"same", 2});
  const int32_t Other = Session.Insert({3, u"other", 3});
  Unique->SetHidden(false);
  Session.Update(First, TORVString(), 10);
  EXPECT_EQ(ErrorOf([&] { Session.Update(Other, u"same", 4); }),
            "1004 The unique constraint UQ for the table t has been violated (Duplicate key same found)");
  EXPECT_EQ(Session.Scan().at(First).N, 10);
  EXPECT_EQ(Session.Scan().at(Other).Name, u"other");
}

TEST_F(ConstraintChecks, ForeignKeysHoldInBothDirections) {
  TTableConnection& Session = NewSession();
  std::unique_ptr<TOtherTable> ParentTable = ParentOf(Session);
  TOtherTable& Parent = *ParentTable;
  Parent.Open();
  Session.Open();
  EXPECT_EQ(ErrorOf([&] { Session.Insert({1, u"orphan", 7}); }),
            "1004 The foreign key constraint fk for the table t has been violated (The foreign key 7 does not match "
            "any existing primary or unique key in the table parent)");
  int32_t ParentRow = 0;
  int32_t ParentNumber = 0;
  Parent.Use([&] {
    ParentRow = Session.Insert({1, u"p", 0});
    ParentNumber = Session.LastNumber;
  });
  const int32_t Child = Session.Insert({1, u"c", 1});
  // The parent row is given back once the insert ends.
  Parent.Use([&] { EXPECT_FALSE(Session.Manager->RowLocked(ParentNumber, true)); });
  Parent.Use([&] {
    EXPECT_EQ(ErrorOf([&] { Session.Delete(ParentRow); }),
              "1004 The foreign key constraint fk for the table t has been violated (Foreign keys exist which refer "
              "to the primary or unique key 1 in the table parent)");
    // Re-keying the parent is refused alike.
    EXPECT_EQ(ErrorOf([&] {
                UpdateWith(Session, ParentRow,
                           [](TORVRowValues& Values) { Values.GetItems(test::IdColumn)->SetAsInteger(2); });
              }),
              "1004 The foreign key constraint fk for the table t has been violated (Foreign keys exist which refer "
              "to the primary or unique key 1 in the table parent)");
  });
  // Changing the child to a missing parent is refused; to NULL is not.
  EXPECT_EQ(ErrorOf([&] { Session.Update(Child, TORVString(), 9); }).substr(0, 45),
            "1004 The foreign key constraint fk for the ta");
  Session.Delete(Child);
  Parent.Use([&] { Session.Delete(ParentRow); });
  EXPECT_TRUE(Session.Scan().empty());
}

TEST_F(ConstraintChecks, ANullForeignKeyOrAParentInMaintenanceIsNotLookedUp) {
  TTableConnection& Session = NewSession();
  std::unique_ptr<TOtherTable> ParentTable = ParentOf(Session);
  TOtherTable& Parent = *ParentTable;
  // Opened alone, t finds its parent closed: reading it fails 402.
  Session.Open(ltShared, true);
  InsertWithNullN(Session, {1, u"a", 0});
  EXPECT_EQ(ErrorOf([&] { Session.Insert({2, u"b", 5}); }),
            "402 The table parent must be open in order to perform this operation (CHECK CONSTRAINT)");
  EXPECT_FALSE(Session.Table->GetDelayedConstraintCheck());
  Parent.Table()->SetMaintenance(true);
  Session.Insert({3, u"c", 5});
  EXPECT_TRUE(Session.Table->GetDelayedConstraintCheck());
  EXPECT_EQ(Session.Scan().size(), 2u);
}

// The use count of Table's manager in Session; 0 when it has none or it is
// closed.
int32_t UseCountOf(TTableConnection& Session, TORVBaseTable* Table) {
  if (Table->GetManagerHandle() == 0) return 0;
  TORVSchemaObjectManager* Manager = Session.Managers.Get(Table, false);
  return Manager->GetOpened() ? Manager->GetUseCount() : 0;
}

TEST_F(ConstraintChecks, OpeningATableOpensTheTablesItsForeignKeysInvolveUntilItCloses) {
  struct TCase {
    const char* Name;
    bool OpenParent;
    // The other table's constraint is being altered: it is held alone.
    bool Altering;
  };
  const TCase Cases[] = {{"the child opens its parent", false, false},
                         {"the parent opens its child", true, false},
                         {"a parent being altered is opened exclusively", false, true}};
  int32_t Run = 0;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTableConnection& Session = NewSession({}, "referenced" + std::to_string(Run++));
    std::unique_ptr<TOtherTable> Parent = ParentOf(Session);
    TORVBaseTable* Opened = Case.OpenParent ? Parent->Table() : Session.Table;
    TORVBaseTable* Other = Case.OpenParent ? Session.Table : Parent->Table();
    Other->SetAlteringConstraint(Case.Altering);
    TORVSchemaObjectManager* Manager = Case.OpenParent ? static_cast<TORVSchemaObjectManager*>(&Parent->Open())
                                                       : &Session.Open();
    EXPECT_EQ(UseCountOf(Session, Other), 1);
    EXPECT_TRUE(Other->GetLockState().Contains(Case.Altering ? lsExclusiveLocked : lsSharedLocked));
    if (!Case.OpenParent) {
      // The parent is searched without the caller opening it.
      EXPECT_EQ(ErrorOf([&] { Session.Insert({1, u"orphan", 7}); }).substr(0, 50),
                "1004 The foreign key constraint fk for the table t");
      InsertWithNullN(Session, {2, u"free", 0});
    }
    // A second open counts once more on both sides; each close gives one
    // back.
    Manager->Open(true);
    EXPECT_EQ(UseCountOf(Session, Other), 2);
    Manager->Close(false, true, true);
    EXPECT_EQ(UseCountOf(Session, Other), 1);
    Manager->Close(false, true, true);
    EXPECT_EQ(UseCountOf(Session, Other), 0);
    EXPECT_EQ(UseCountOf(Session, Opened), 0);
    // Nothing is left locked: another session takes both tables alone.
    TTableConnection& Another = NewSession({}, "referenced" + std::to_string(Run - 1));
    TOtherTable AnotherParent(Another, u"parent", 2);
    for (TORVBaseTable* Table : {Another.Table, AnotherParent.Table()})
      EXPECT_EQ(ErrorOf([&] { Another.Managers.Open(Table, ltExclusive); }), "no error");
    // The cases share the lock file.
    Another.Managers.CloseAll();
  }
}

TEST_F(ConstraintChecks, AReferencedTableThatFailsToOpenLeavesNothingOpen) {
  struct TCase {
    const char* Name;
    const char16_t* Broken;
  };
  // The parents open in lock-slot order: first, then second.
  const TCase Cases[] = {{"the first fails", u"first"}, {"a later one fails", u"second"}};
  int32_t Run = 0;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Subfolder = "broken" + std::to_string(Run++);
    TTableConnection& Session = NewSession({}, Subfolder);
    TOtherTable First(Session, u"first", 2);
    TOtherTable Second(Session, u"second", 3);
    AddForeignKey(Session.Table, u"n", First.Table(), AddPrimaryKey(First.Table()), u"fk1");
    AddForeignKey(Session.Table, u"id", Second.Table(), AddPrimaryKey(Second.Table()), u"fk2");
    // A rows file that is no table file at all.
    const std::string RowExtension = StringToUtf8(Session.Database.GetSessionSettings().GetRowExtension());
    const std::filesystem::path Garbage = Folder() / Subfolder / (StringToUtf8(Case.Broken) + RowExtension);
    std::ofstream(Garbage, std::ios::binary) << std::string(600, '\xff');
    EXPECT_NE(ErrorOf([&] { Session.Open(); }), "no error");
    for (TORVBaseTable* Table : {Session.Table, First.Table(), Second.Table()})
      EXPECT_EQ(UseCountOf(Session, Table), 0) << StringToUtf8(Table->GetName());
    std::filesystem::remove(Garbage);
    Session.Open();
    EXPECT_EQ(UseCountOf(Session, First.Table()), 1);
    EXPECT_EQ(UseCountOf(Session, Second.Table()), 1);
  }
}

TEST_F(ConstraintChecks, ARowMayReferToItsOwnKey) {
  TTableConnection& Session = NewSession();
  TORVConstraint* Key = AddPrimaryKey(Session.Table);
  AddForeignKey(Session.Table, u"n", Session.Table, Key);
  Session.Open();
  const int32_t Self = Session.Insert({5, u"self", 5});
  EXPECT_EQ(ErrorOf([&] { Session.Insert({6, u"dangling", 7}); }).substr(0, 45),
            "1004 The foreign key constraint fk for the ta");
  const int32_t Child = Session.Insert({6, u"child", 5});
  EXPECT_EQ(ErrorOf([&] { Session.Delete(Self); }),
            "1004 The foreign key constraint fk for the table t has been violated (Foreign keys exist which refer to "
            "the primary or unique key 5 in the table t)");
  Session.Delete(Child);
  // Only the row itself refers to its key now.
  Session.Delete(Self);
  EXPECT_TRUE(Session.Scan().empty());
}

TEST_F(ConstraintChecks, ACheckFailsOnlyOnFalseAndAConstraintMayBringItsOwnError) {
  const TOwnErrorCase Cases[] = {
      {"the table text", 0, u"",
       "1004 The check constraint positive for the table t has been violated (Check expression evaluated to False)"},
      {"its own", 30001, u"n must be positive", "30001 n must be positive"},
  };
  int32_t Run = 0;
  for (const TOwnErrorCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTableConnection& Session = NewSession({}, "check" + std::to_string(Run++));
    TORVConstraint* Check = AddConstraint(Session.Table, u"positive", ctCheck, {}, nullptr);
    Check->GetCheckExpr()->SetExpression(u"n > 0");
    Check->SetErrorCode(Case.OwnCode);
    Check->SetErrorMessage(Case.OwnMessage);
    // n > 0, unknown for n = 0.
    Session.Database.RowEvaluator = [](TORVRowValues& Values, TORVExprToken*, TORVValue& Value) {
      const int32_t N = Values.GetItems(test::NColumn)->GetAsInteger();
      if (N == 0)
        Value.SetNull(true);
      else
        Value.SetAsBoolean(N > 0);
    };
    Session.Open();
    Session.Insert({1, u"a", 1});
    Session.Insert({2, u"b", 0});
    EXPECT_EQ(ErrorOf([&] { Session.Insert({3, u"c", -1}); }), Case.Expected);
    EXPECT_EQ(Session.Scan().size(), 2u);
  }
}

// Session A's transaction holds a child row referring to parent row P:
// session B cannot delete P until A ends, and then only once the child is
// gone.
TEST_F(ConstraintChecks, AParentRowStaysLockedUntilTheChildsTransactionEnds) {
  auto Shape = [&](TTableConnection& Session, std::unique_ptr<TOtherTable>& Parent) {
    Parent = ParentOf(Session);
    Parent->Open();
    Session.Open();
  };
  std::unique_ptr<TOtherTable> ParentA;
  std::unique_ptr<TOtherTable> ParentB;
  TTableConnection& A = NewSession();
  Shape(A, ParentA);
  TTableConnection& B = NewSession();
  Shape(B, ParentB);
  int32_t P = 0;
  ParentA->Use([&] { P = A.Insert({1, u"p", 0}); });
  ParentA->Table()->StartTransaction();
  ParentA->Use([&] { A.Manager->StartTransaction(true); });
  A.StartTransaction();
  const int32_t Child = A.Insert({1, u"c", 1});
  // Session B runs on a thread of its own, as a server session would.
  auto DeleteOnThread = [&] {
    std::string Error;
    std::thread([&] { ParentB->Use([&] { Error = ErrorOf([&] { B.Delete(P); }); }); }).join();
    return Error;
  };
  EXPECT_EQ(DeleteOnThread().substr(0, 5), "1005 ");
  A.Commit();
  ParentA->Use([&] { A.Manager->Commit(false); });
  ParentA->Table()->EndTransaction();
  EXPECT_EQ(DeleteOnThread().substr(0, 5), "1004 ");
  A.Delete(Child);
  EXPECT_EQ(DeleteOnThread(), "no error");
  ParentB->Use([&] { EXPECT_TRUE(B.Scan().empty()); });
}

// The same with session B in a forked process: the parent row's lock holds
// other processes off as well.
TEST_F(ConstraintChecks, AParentRowLockedByAChildsTransactionHoldsOffAnotherProcess) {
  // B answers with the first digit of each delete's error code ('0' when
  // the delete went through).
  test::ChildProcess B([&](test::ChildProcess& Child) {
    Child.Tell('r');
    Child.Await();
    TTableConnection Session(Files.get(), PathName("db"), PathName("orv.lock"));
    std::unique_ptr<TOtherTable> Parent = ParentOf(Session);
    Parent->Open();
    Session.Open();
    for (int32_t Attempt = 0; Attempt < 3; ++Attempt) {
      std::string Error;
      Parent->Use([&] {
        const int32_t P = Session.Scan().begin()->first;
        Error = ErrorOf([&] { Session.Delete(P); });
      });
      Child.Tell(Error == "no error" ? '0' : Error.substr(0, 4) == "1005" ? '5' : Error.substr(0, 4) == "1004" ? '4' : 'x');
      if (Attempt < 2) Child.Await();
    }
  });
  ASSERT_EQ(B.Expect(), 'r');
  TTableConnection& A = NewSession();
  std::unique_ptr<TOtherTable> Parent = ParentOf(A);
  Parent->Open();
  A.Open();
  Parent->Use([&] { A.Insert({1, u"p", 0}); });
  Parent->Table()->StartTransaction();
  Parent->Use([&] { A.Manager->StartTransaction(true); });
  A.StartTransaction();
  const int32_t Child = A.Insert({1, u"c", 1});
  B.Go();
  EXPECT_EQ(B.Expect(), '5');
  A.Commit();
  Parent->Use([&] { A.Manager->Commit(false); });
  Parent->Table()->EndTransaction();
  B.Go();
  EXPECT_EQ(B.Expect(), '4');
  A.Delete(Child);
  B.Go();
  EXPECT_EQ(B.Expect(), '0');
  EXPECT_EQ(B.Finish(), 0);
  Parent->Use([&] { EXPECT_TRUE(A.Scan().empty()); });
}

// The same seeded operations on a parent and a child table here and in
// SQLite with the same constraints: each is accepted or refused alike, and
// the tables end with the same rows.
TEST_F(ConstraintChecks, RandomOperationsAreAcceptedOrRefusedAsSQLiteDoes) {
  const uint32_t Seed = test::TestSeed(9131);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  std::mt19937 Random(Seed);
  auto Pick = [&](int32_t Low, int32_t High) { return std::uniform_int_distribution<int32_t>(Low, High)(Random); };

  TTableConnection& Session = NewSession();
  std::unique_ptr<TOtherTable> ParentTable = ParentOf(Session);
  TOtherTable& Parent = *ParentTable;
  AddPrimaryKey(Session.Table);
  AddConstraint(Session.Table, u"UQ", ctUnique, {u"name"}, IndexNamed(Session.Table, u"ByName"));
  TORVConstraint* Check = AddConstraint(Session.Table, u"apart", ctCheck, {}, nullptr);
  Check->GetCheckExpr()->SetExpression(u"id <> n + 3");
  for (int32_t Column : {test::NameColumn, test::NColumn}) Session.Table->GetColumns().GetColumn(Column)->SetRequired(true);
  Session.Table->GetColumns().SetupColumnInformation();
  Session.Database.RowEvaluator = [](TORVRowValues& Values, TORVExprToken*, TORVValue& Value) {
    Value.SetAsBoolean(Values.GetItems(test::IdColumn)->GetAsInteger() !=
                         Values.GetItems(test::NColumn)->GetAsInteger() + 3);
  };
  Parent.Open();
  Session.Open();

  test::TORVSQLiteOracle Oracle;
  Oracle.Exec("PRAGMA foreign_keys = ON");
  Oracle.Exec("CREATE TABLE parent (id INTEGER NOT NULL PRIMARY KEY, name TEXT, n INTEGER)");
  Oracle.Exec(
      "CREATE TABLE t (id INTEGER NOT NULL PRIMARY KEY, name TEXT NOT NULL UNIQUE, n INTEGER NOT NULL REFERENCES "
      "parent (id), CHECK (id <> n + 3))");
  auto OracleAccepts = [&](const std::string& Sql) {
    try {
      Oracle.Exec(Sql);
      return true;
    } catch (const std::runtime_error& Error) {
      EXPECT_NE(std::string(Error.what()).find("constraint failed"), std::string::npos) << Error.what();
      return false;
    }
  };
  auto EngineAccepts = [&](const std::function<void()>& Act) {
    try {
      Act();
      return true;
    } catch (const EORVException& Error) {
      EXPECT_EQ(Error.ErrorCode(), 1004) << Error.what();
      return false;
    }
  };
  // Key value -> row ID, and the child rows as the engine should hold them.
  std::map<int32_t, int32_t> ParentRows;
  std::map<int32_t, int32_t> ChildRows;
  TModelRows Children;
  for (int32_t Step = 0; Step < 400; ++Step) {
    SCOPED_TRACE("step " + std::to_string(Step));
    const int32_t Id = Pick(1, Step < 40 ? 8 : 30);
    const std::string IdText = std::to_string(Id);
    switch (Pick(0, 5)) {
      case 0: {  // a parent
        if (Id > 8) break;
        int32_t RowID = 0;
        const bool Engine = EngineAccepts([&] { Parent.Use([&] { RowID = Session.Insert({Id, u"p", 0}); }); });
        EXPECT_EQ(Engine, OracleAccepts("INSERT INTO parent VALUES (" + IdText + ", 'p', 0)"));
        if (Engine) ParentRows[Id] = RowID;
        break;
      }
      case 1: {  // a parent goes
        if (ParentRows.count(Id) == 0) break;
        const bool Engine = EngineAccepts([&] { Parent.Use([&] { Session.Delete(ParentRows[Id]); }); });
        EXPECT_EQ(Engine, OracleAccepts("DELETE FROM parent WHERE id = " + IdText));
        if (Engine) ParentRows.erase(Id);
        break;
      }
      case 2: {  // a child, now and then without a name
        const TORVString Name = Pick(0, 9) == 0 ? TORVString() : u"c" + IntToString(Pick(1, 12));
        const int32_t N = Pick(1, 9);
        int32_t RowID = 0;
        const bool Engine = EngineAccepts([&] { RowID = Session.Insert({Id, Name, N}); });
        EXPECT_EQ(Engine, OracleAccepts("INSERT INTO t VALUES (" + IdText + ", " +
                                        (Name.empty() ? "NULL" : "'" + StringToUtf8(Name) + "'") + ", " +
                                        std::to_string(N) + ")"));
        if (Engine) {
          ChildRows[Id] = RowID;
          Children[RowID] = {Id, Name, N};
        }
        break;
      }
      case 3:    // a child's parent changes
      case 4: {  // a child's name changes
        if (ChildRows.count(Id) == 0) break;
        TModelRow& Row = Children[ChildRows[Id]];
        const bool NewParent = Pick(0, 1) == 0;
        const TORVString Name = NewParent ? Row.Name : u"c" + IntToString(Pick(1, 12));
        const int32_t N = NewParent ? Pick(1, 9) : Row.N;
        const bool Engine = EngineAccepts([&] { Session.Update(ChildRows[Id], Name, N); });
        EXPECT_EQ(Engine, OracleAccepts("UPDATE t SET name = '" + StringToUtf8(Name) + "', n = " + std::to_string(N) +
                                        " WHERE id = " + IdText));
        if (Engine) Row = {Id, Name, N};
        break;
      }
      default: {  // a child goes
        if (ChildRows.count(Id) == 0) break;
        Session.Delete(ChildRows[Id]);
        Oracle.Exec("DELETE FROM t WHERE id = " + IdText);
        Children.erase(ChildRows[Id]);
        ChildRows.erase(Id);
        break;
      }
    }
    if (HasFailure()) break;
  }
  EXPECT_EQ(Session.Scan(), Children);
  std::vector<std::vector<std::string>> Expected;
  for (const auto& [RowID, Row] : Children)
    Expected.push_back({std::to_string(Row.Id), StringToUtf8(Row.Name), std::to_string(Row.N)});
  std::sort(Expected.begin(), Expected.end(), [](const auto& A, const auto& B) { return std::stoi(A[0]) < std::stoi(B[0]); });
  EXPECT_EQ(Oracle.Query("SELECT id, name, n FROM t ORDER BY id"), Expected);
  std::vector<std::vector<std::string>> Parents;
  for (const auto& [Key, RowID] : ParentRows) Parents.push_back({std::to_string(Key)});
  EXPECT_EQ(Oracle.Query("SELECT id FROM parent ORDER BY id"), Parents);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");
}

}  // namespace
}  // namespace orv
