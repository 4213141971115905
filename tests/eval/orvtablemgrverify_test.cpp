// Verification and repair of a table over real files: damaged rows, keys
// and BLOB references found and mended, constraint violations deleted,
// unchecked rows kept, and random work that leaves nothing to find.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexnav.h"
#include "storage/orvrowsfile.h"
#include "tests/eval/orvtablemgrconstraints.h"
#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::AddConstraint;
using test::AddForeignKey;
using test::AddPrimaryKey;
using test::AddTestIndex;
using test::IndexNamed;
using test::Joined;
using test::TModelRow;
using test::TModelRows;
using test::TOtherTable;
using test::TTableConnection;
using test::TTableShape;
using test::TVerifyRun;
using test::VerifyTable;

constexpr int32_t ByNameIndex = 1;
constexpr int32_t PicColumn = 4;

class TableVerify : public test::TableFolderTest {
 protected:
  // Changes the stored row RowID in place and writes it, as a damaged file
  // would hold it: nothing else (keys, BLOB chains) follows.
  static void DamageRow(TTableConnection& Session, int32_t RowID,
                        const std::function<void(TORVRowsetRow&, TORVRowsetRowValues&)>& Damage) {
    const int32_t Number = Session.Find(RowID);
    ASSERT_NE(Number, 0);
    TORVTableManager& Manager = *Session.Manager;
    Manager.CheckForChanges(false);
    Manager.StartWriting();
    TORVRowsetRow* Row = Manager.GetRow(Number, 0);
    TORVRowsetRowValues Values(Manager.RowsetManager(), Session.CharacterSet());
    Values.SetRow(Row);
    Damage(*Row, Values);
    Values.SetRow(nullptr);
    Row->SetModified(true);
    Manager.PutRow(Row);
    Manager.Write(false);
    Manager.UnlockObject(ltRead);
  }
  // Takes the row RowID's key out of one index alone.
  static void DropIndexKey(TTableConnection& Session, int32_t RowID, int32_t IndexNumber) {
    const int32_t Number = Session.Find(RowID);
    ASSERT_NE(Number, 0);
    TORVTableManager& Manager = *Session.Manager;
    Manager.CheckForChanges(false);
    Manager.SetKeyValues(*Session.Values, IndexNumber, true);
    Manager.StartWriting();
    Manager.GetIndexNavigator(IndexNumber).Delete(Manager.GetKeyValues(IndexNumber), Number);
    Manager.Write(false);
    Manager.UnlockObject(ltRead);
  }
  // Gives the stored row RowID a key in one index from its values.
  static void AddIndexKey(TTableConnection& Session, int32_t RowID, int32_t IndexNumber) {
    const int32_t Number = Session.Find(RowID);
    ASSERT_NE(Number, 0);
    TORVTableManager& Manager = *Session.Manager;
    Manager.CheckForChanges(false);
    Manager.StartWriting();
    Manager.InsertNewKey(*Session.Values, Number, IndexNumber);
    Manager.Write(false);
    Manager.UnlockObject(ltRead);
  }
  static TTableShape WithPrimaryKey() {
    TTableShape Shape;
    Shape.Configure = [](TORVBaseTable& Table) { AddPrimaryKey(&Table); };
    return Shape;
  }
  static TTableShape WithPicture() {
    TTableShape Shape;
    Shape.Configure = [](TORVBaseTable& Table) { AddTestColumn(Table.GetColumns(), u"pic", dtLargeObject, stBlob); };
    return Shape;
  }
  // Three rows (1, r1, 1) to (3, r3, 3); their row IDs.
  static std::vector<int32_t> ThreeRows(TTableConnection& Session, TModelRows& Rows) {
    std::vector<int32_t> IDs;
    for (int32_t Id = 1; Id <= 3; ++Id) {
      const TModelRow Row{Id, u"r" + IntToString(Id), Id};
      IDs.push_back(Session.Insert(Row));
      Rows[IDs.back()] = Row;
    }
    return IDs;
  }
};

TEST_F(TableVerify, AMissingIndexKeyIsReportedAndOnlyARepairRebuildsTheIndex) {
  TTableConnection& Session = OpenSession();
  TModelRows Rows;
  const std::vector<int32_t> IDs = ThreeRows(Session, Rows);
  DropIndexKey(Session, IDs[1], ByNameIndex);
  const std::string Finding =
      "Verification error for the index ByName in the t table (Invalid index key value for row 2 (r2)) - ";

  // The files themselves are sound: a structure-only run finds nothing.
  const TVerifyRun Structure = VerifyTable(Session, false, true);
  EXPECT_TRUE(Structure.Result);
  EXPECT_FALSE(Structure.FoundErrors) << Joined(Structure.Findings);

  const TVerifyRun Verified = VerifyTable(Session, false);
  EXPECT_TRUE(Verified.Result);
  EXPECT_TRUE(Verified.FoundErrors);
  EXPECT_EQ(Verified.Findings, std::vector<std::string>{Finding + "Not Fixed"});
  EXPECT_EQ(Session.Walk(ByNameIndex).size(), 2u) << "a verification without repair rebuilt the index";

  const TVerifyRun Repaired = RepairTable();
  EXPECT_TRUE(Repaired.Result);
  EXPECT_EQ(Repaired.Findings, std::vector<std::string>{Finding + "Fixed"});
  EXPECT_EQ(CheckRepaired(Rows, Rows), "");
}

TEST_F(TableVerify, ARowThatBreaksAKeyIsDeletedByTheRepairAndEveryIndexRebuilt) {
  TTableConnection& Session = OpenSession(WithPrimaryKey());
  TModelRows Rows;
  const std::vector<int32_t> IDs = ThreeRows(Session, Rows);
  // Row 3 takes row 2's key behind the indexes' back.
  DamageRow(Session, IDs[2], [](TORVRowsetRow&, TORVRowsetRowValues& Values) {
    Values.GetItems(test::IdColumn)->SetAsInteger(2);
  });
  const std::string Deleted =
      "Verification error for the t table (Row 2 deleted (The primary key constraint PK for the table t has been "
      "violated (Duplicate key 2 found))) - ";

  const TVerifyRun Verified = VerifyTable(Session, false);
  EXPECT_TRUE(Verified.FoundErrors);
  ASSERT_FALSE(Verified.Findings.empty());
  EXPECT_EQ(Verified.Findings[0], Deleted + "Not Fixed");
  EXPECT_EQ(Session.Scan().size(), 3u);

  const TVerifyRun Repaired = RepairTable(WithPrimaryKey());
  EXPECT_TRUE(Repaired.Result);
  EXPECT_EQ(Repaired.Findings, std::vector<std::string>{Deleted + "Fixed"});
  TModelRows Kept = Rows;
  Kept.erase(IDs[2]);
  EXPECT_EQ(CheckRepaired(Kept, Kept, WithPrimaryKey()), "");
}

TEST_F(TableVerify, OfTwoRowsThatDuplicateAUniqueKeyTheRepairKeepsOne) {
  // Both rows have their key in the index, so each finds the other.
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) {
    test::AddConstraint(&Table, u"UQ", ctUnique, {u"name"}, IndexNamed(&Table, u"ByName"));
  };
  TTableConnection& Session = OpenSession(Shape);
  TModelRows Rows;
  const std::vector<int32_t> IDs = ThreeRows(Session, Rows);
  DropIndexKey(Session, IDs[2], ByNameIndex);
  DamageRow(Session, IDs[2], [](TORVRowsetRow&, TORVRowsetRowValues& Values) {
    Values.GetItems(test::NameColumn)->SetAsString(u"r2");
  });
  AddIndexKey(Session, IDs[2], ByNameIndex);
  EXPECT_EQ(Session.IndexesAgreeWithRows(), "");

  const TVerifyRun Repaired = RepairTable(Shape);
  EXPECT_TRUE(Repaired.Result);
  EXPECT_EQ(Repaired.Findings.size(), 1u) << Joined(Repaired.Findings);
  TTableConnection& Check = OpenSession(Shape);
  const TModelRows Kept = Check.Scan();
  ASSERT_EQ(Kept.size(), 2u);
  EXPECT_EQ(Kept.count(IDs[0]), 1u);
  EXPECT_EQ(Kept.begin()->second.Name, u"r1");
  EXPECT_EQ(std::next(Kept.begin())->second.Name, u"r2");
  EXPECT_EQ(Check.IndexesAgreeWithRows(), "");
  const TVerifyRun Clean = VerifyTable(Check, false);
  EXPECT_FALSE(Clean.FoundErrors) << Joined(Clean.Findings);
}

TEST_F(TableVerify, ARowIDRepairedInTheRowsFileRebuildsEveryIndexInTheSameRun) {
  TTableConnection& Session = OpenSession();
  TModelRows Rows;
  const std::vector<int32_t> IDs = ThreeRows(Session, Rows);
  // Two rows with one row ID: the rows file's repair gives the second a new
  // one, which no index holds yet.
  DamageRow(Session, IDs[2], [&](TORVRowsetRow& Row, TORVRowsetRowValues&) { Row.SetRowID(IDs[1]); });
  const TVerifyRun Repaired = RepairTable();
  EXPECT_TRUE(Repaired.Result);
  EXPECT_TRUE(Repaired.FoundErrors);
  TTableConnection& Check = OpenSession();
  EXPECT_EQ(Check.Scan().size(), 3u);
  EXPECT_EQ(Check.IndexesAgreeWithRows(), "");
  const TVerifyRun Clean = VerifyTable(Check, false);
  EXPECT_FALSE(Clean.FoundErrors) << Joined(Clean.Findings);
}

TEST_F(TableVerify, ADuplicateThatOnlyARebuildFindsLeavesWithItsKeys) {
  // No key constraint: only the unique primary-key index sees that row 3
  // took row 2's id, when it is rebuilt. Row 3 also lacks its name key, so
  // both indexes are rebuilt, and the duplicate's removal must not look for
  // keys in an index that is still waiting for its rebuild.
  TTableConnection& Session = OpenSession();
  TModelRows Rows;
  const std::vector<int32_t> IDs = ThreeRows(Session, Rows);
  DropIndexKey(Session, IDs[2], ByNameIndex);
  DamageRow(Session, IDs[2], [](TORVRowsetRow&, TORVRowsetRowValues& Values) {
    Values.GetItems(test::IdColumn)->SetAsInteger(2);
  });
  const TVerifyRun Repaired = RepairTable();
  EXPECT_TRUE(Repaired.Result) << Joined(Repaired.Findings);
  EXPECT_TRUE(Repaired.FoundErrors);
  TModelRows Kept = Rows;
  Kept.erase(IDs[2]);
  EXPECT_EQ(CheckRepaired(Kept, Kept), "");
}

// Row 3 gone from the rows file in ways that leave no live row behind, with
// its keys still in every index.
struct TVanishedRowCase {
  const char* Name;
  std::function<void(TORVRowsetRow&)> Damage;
};

TEST_F(TableVerify, ARowGoneFromTheRowsFileTakesItsKeysAlongInTheRepair) {
  const TVanishedRowCase Cases[] = {
      // Deleted without its keys: only the index key counts show it.
      {"deleted behind the indexes", [](TORVRowsetRow& Row) { Row.SetStatus(TORVRowsetRow::StatusDeleted); }},
      // Room the file grew by that no write filled: all zeros, no row ID.
      {"never written",
       [](TORVRowsetRow& Row) {
         TORVMemoryStream& Bytes = Row.GetBufferStream();
         std::fill(Bytes.GetMemory(), Bytes.GetMemory() + Bytes.GetSize(), uint8_t{0});
         Row.SetRowID(0);
         Row.SetVersion(0);
         Row.SetUpdateCounter(0);
       }},
  };
  int32_t Run = 0;
  for (const TVanishedRowCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Subfolder = "vanished" + std::to_string(Run++);
    TTableConnection& Session = OpenSession({}, Subfolder);
    TModelRows Rows;
    const std::vector<int32_t> IDs = ThreeRows(Session, Rows);
    DamageRow(Session, IDs[2], [&](TORVRowsetRow& Row, TORVRowsetRowValues&) { Case.Damage(Row); });
    const TVerifyRun Verified = VerifyTable(Session, false);
    EXPECT_TRUE(Verified.FoundErrors);
    const TVerifyRun Repaired = RepairTable({}, Subfolder);
    EXPECT_TRUE(Repaired.Result) << Joined(Repaired.Findings);
    TModelRows Kept = Rows;
    Kept.erase(IDs[2]);
    EXPECT_EQ(CheckRepaired(Kept, Kept, {}, Subfolder), "") << Joined(Repaired.Findings);
    // The slot is free again, and the table takes new rows.
    TTableConnection& After = OpenSession({}, Subfolder);
    After.Insert({4, u"r4", 4});
    EXPECT_EQ(After.Scan().size(), 3u);
    EXPECT_EQ(After.Manager->GetPhysicalRowCount(), 3);
    EXPECT_EQ(After.IndexesAgreeWithRows(), "");
    CloseSessions();
  }
}

TEST_F(TableVerify, TwoRowsOnOneBlobChainLeaveItToTheFirst) {
  TTableConnection& Session = OpenSession(WithPicture());
  std::vector<int32_t> IDs;
  for (int32_t Id = 1; Id <= 2; ++Id) {
    TORVRowsetRowValues& Fresh = Session.NewValues({Id, u"r" + IntToString(Id), Id});
    TORVMemoryStream Picture(Session.CharacterSet());
    const TORVBytes Bytes(static_cast<size_t>(300 * Id), static_cast<uint8_t>(Id));
    Picture.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    Fresh.GetItems(PicColumn)->SetAsBlob(&Picture);
    Session.InsertValues(Fresh, false);
    IDs.push_back(Fresh.GetItems(0)->GetAsInteger());
  }
  ASSERT_NE(Session.Find(IDs[0]), 0);
  const int32_t FirstBlock = Session.Values->GetRowValue(PicColumn)->GetBlobBlockNumber();
  const int32_t FirstSize = Session.Values->GetRowValue(PicColumn)->GetBlobSize();
  DamageRow(Session, IDs[1], [&](TORVRowsetRow&, TORVRowsetRowValues& Values) {
    Values.GetRowValue(PicColumn)->SetBlobBlockNumber(FirstBlock);
    Values.GetRowValue(PicColumn)->SetBlobSize(FirstSize);
  });
  const std::string Finding = "Verification error for the column pic in the t table (Invalid BLOB block number in "
                              "the row 2 (" + std::to_string(FirstBlock) + ")) - ";

  const TVerifyRun Verified = VerifyTable(Session, false);
  EXPECT_EQ(Verified.Findings, std::vector<std::string>{Finding + "Not Fixed"});

  const TVerifyRun Repaired = RepairTable(WithPicture());
  EXPECT_EQ(Repaired.Findings, std::vector<std::string>{Finding + "Fixed"});
  TTableConnection& Check = OpenSession(WithPicture());
  ASSERT_NE(Check.Find(IDs[0]), 0);
  EXPECT_EQ(Check.Values->GetItems(PicColumn)->GetSize(), 300);
  ASSERT_NE(Check.Find(IDs[1]), 0);
  EXPECT_EQ(Check.Values->GetRowValue(PicColumn)->GetBlobBlockNumber(), 0);
  EXPECT_EQ(Check.Values->GetItems(PicColumn)->GetSize(), 0);
  const TVerifyRun Clean = VerifyTable(Check, false);
  EXPECT_FALSE(Clean.FoundErrors) << Joined(Clean.Findings);
}

TEST_F(TableVerify, ARowWhoseCheckCannotBeEvaluatedIsReportedAndKept) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) {
    TORVConstraint* Check = AddConstraint(&Table, u"small", ctCheck, {}, nullptr);
    Check->GetCheckExpr()->SetExpression(u"n < 100");
  };
  TTableConnection& Session = OpenSession(Shape);
  TModelRows Rows;
  ThreeRows(Session, Rows);
  // The check cannot convert row 2's n: neither a pass nor a violation.
  auto Evaluator = [](TORVRowValues& Values, TORVExprToken*, TORVValue& Value) {
    const int32_t N = Values.GetItems(test::NColumn)->GetAsInteger();
    if (N == 2) RaiseError(ORV_VALUE_ERROR, {u"column", u"n", u"cannot be converted"});
    Value.SetAsBoolean(N < 100);
  };
  Session.Database.RowEvaluator = Evaluator;
  const std::string Unchecked = "Verification error for the t table (Row 2 could not be checked (";
  for (const bool Repair : {false, true}) {
    SCOPED_TRACE(Repair ? "repair" : "verify");
    TVerifyRun Run;
    if (Repair) {
      CloseSessions();
      TTableConnection& Repairer = NewSession(Shape);
      Repairer.Database.RowEvaluator = Evaluator;
      Repairer.Table->StartRepair();
      Repairer.Open(ltExclusive);
      Run = VerifyTable(Repairer, true);
      Repairer.Table->EndRepair();
      CloseSessions();
    } else {
      Run = VerifyTable(Session, false);
    }
    EXPECT_TRUE(Run.Result);
    EXPECT_TRUE(Run.FoundErrors);
    ASSERT_EQ(Run.Findings.size(), 1u) << Joined(Run.Findings);
    EXPECT_EQ(Run.Findings[0].rfind(Unchecked, 0), 0u) << Run.Findings[0];
    EXPECT_NE(Run.Findings[0].find(") - Not Fixed"), std::string::npos) << Run.Findings[0];
  }
  TTableConnection& Check = OpenSession(Shape);
  EXPECT_EQ(Check.Scan(), Rows);
}

TEST_F(TableVerify, RandomWorkOnConstrainedTablesLeavesNothingToFind) {
  const uint32_t Seed = test::TestSeed(4471);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  std::mt19937 Random(Seed);
  auto Pick = [&](int32_t Low, int32_t High) { return std::uniform_int_distribution<int32_t>(Low, High)(Random); };

  TTableConnection& Session = NewSession();
  TOtherTable Parent(Session, u"parent", 2);
  AddForeignKey(Session.Table, u"n", Parent.Table(), AddPrimaryKey(Parent.Table()));
  AddPrimaryKey(Session.Table);
  AddConstraint(Session.Table, u"UQ", ctUnique, {u"name"}, IndexNamed(Session.Table, u"ByName"));
  AddTestIndex(Session.Table, u"Words", itTextIndex, {u"name"});
  TORVConstraint* Check = AddConstraint(Session.Table, u"apart", ctCheck, {}, nullptr);
  Check->GetCheckExpr()->SetExpression(u"id <> n + 3");
  Session.Database.RowEvaluator = [](TORVRowValues& Values, TORVExprToken*, TORVValue& Value) {
    Value.SetAsBoolean(Values.GetItems(test::IdColumn)->GetAsInteger() !=
                       Values.GetItems(test::NColumn)->GetAsInteger() + 3);
  };
  Parent.Open();
  Session.Open();
  std::map<int32_t, int32_t> Parents;
  std::map<int32_t, int32_t> Children;
  auto Try = [](const std::function<void()>& Act) {
    try {
      Act();
    } catch (const EORVException& Error) {
      // Refusals are the checks at work; anything else is a fault.
      ASSERT_EQ(Error.ErrorCode(), ORV_CONSTRAINT_ERROR.Code) << Error.what();
    }
  };
  const char16_t* Words[] = {u"red", u"green", u"blue", u"red green", u"green blue sky", u"sky sky"};
  for (int32_t Step = 0; Step < 300 && !HasFailure(); ++Step) {
    SCOPED_TRACE("step " + std::to_string(Step));
    const int32_t Id = Pick(1, 12);
    const TORVString Name = TORVString(Words[Pick(0, 5)]) + u" " + IntToString(Pick(1, 20));
    switch (Pick(0, 4)) {
      case 0:
        if (Parents.count(Id) == 0 && Id <= 6)
          Try([&] { Parent.Use([&] { Parents[Id] = Session.Insert({Id, u"p", 0}); }); });
        break;
      case 1:
        if (Parents.count(Id) != 0) Try([&] {
            Parent.Use([&] { Session.Delete(Parents[Id]); });
            Parents.erase(Id);
          });
        break;
      case 2:
        if (Children.count(Id) == 0) Try([&] { Children[Id] = Session.Insert({Id, Name, Pick(1, 6)}); });
        break;
      case 3:
        if (Children.count(Id) != 0) Try([&] { Session.Update(Children[Id], Name, Pick(1, 6)); });
        break;
      default:
        if (Children.count(Id) != 0) Try([&] {
            Session.Delete(Children[Id]);
            Children.erase(Id);
          });
        break;
    }
  }
  ASSERT_FALSE(Children.empty());
  const TVerifyRun Child = VerifyTable(Session, false);
  EXPECT_TRUE(Child.Result);
  EXPECT_FALSE(Child.FoundErrors) << Joined(Child.Findings);
  Parent.Use([&] {
    const TVerifyRun Run = VerifyTable(Session, false);
    EXPECT_TRUE(Run.Result);
    EXPECT_FALSE(Run.FoundErrors) << Joined(Run.Findings);
  });
}

}  // namespace
}  // namespace orv
