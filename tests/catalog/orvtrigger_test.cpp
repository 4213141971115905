#include "catalog/orvtrigger.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvenv.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

bool HasNode(const TORVExprToken* Node, const std::function<bool(const TORVExprToken*)>& Match) {
  if (Node == nullptr) return false;
  if (Match(Node) || HasNode(Node->GetLeftToken(), Match) || HasNode(Node->GetRightToken(), Match)) return true;
  for (int32_t I = 0; I < Node->GetNumArguments(); ++I)
    if (HasNode(Node->GetArgument(I), Match)) return true;
  return false;
}

// A catalog of the database Main with its compiler and the table
// t (a INTEGER, b VARCHAR(10)).
class TriggerTest : public ::testing::Test, protected test::TCompilingCatalog {
 protected:
  TriggerTest() { T = test::NewTableT(*Catalog); }

  TORVTriggers& Triggers() { return T->GetTriggers(); }

  // A trigger of t, not yet placed; Body follows the stored TRIGGER line.
  TORVTrigger* New(const TORVString& Name, int32_t Time, int32_t Type, const TORVString& Body = u"BEGIN END",
                   const TORVString& Condition = TORVString()) {
    auto* Trigger = static_cast<TORVTrigger*>(Triggers().GetNewObject());
    Trigger->SetName(Name);
    Trigger->SetActionTime(Time);
    Trigger->SetActionType(Type);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"" + Name + u"\"\r\n" + Body);
    Trigger->GetConditionExpr()->SetExpression(Condition);
    return Trigger;
  }

  // The same, placed at Position (appended when 0).
  TORVTrigger* Add(const TORVString& Name, int32_t Time, int32_t Type, int32_t Position = 0,
                   const TORVString& Body = u"BEGIN END") {
    std::unique_ptr<TORVTrigger> Made(New(Name, Time, Type, Body));
    if (Position == 0) {
      Triggers().Add(Made.get());
    } else {
      Triggers().InsertAtPosition(Position, Made.get());
    }
    return Made.release();
  }

  static std::vector<TORVString> ListNames(TORVReferencedTriggers* List) {
    std::vector<TORVString> Result;
    for (int32_t I = 0; I < List->GetCount(); ++I) Result.push_back(List->GetTrigger(I)->GetName());
    return Result;
  }

  TORVBaseTable* T = nullptr;
};

using Names = std::vector<TORVString>;

TEST_F(TriggerTest, EventListsHoldTheTriggersOfTheirTimeAndOperation) {
  Add(u"all", taAfter, tyAll);
  Add(u"load", taBefore, tyLoadUpdate);
  Add(u"instead", taInsteadOf, tyInsert);
  Add(u"err", taError, tyDelete);
  EXPECT_EQ(ListNames(Triggers().GetAfterInsertTriggers()), Names{u"all"});
  EXPECT_EQ(ListNames(Triggers().GetAfterUpdateTriggers()), Names{u"all"});
  EXPECT_EQ(ListNames(Triggers().GetAfterDeleteTriggers()), Names{u"all"});
  EXPECT_EQ(ListNames(Triggers().GetAfterLoadTriggers()), Names{u"all"});
  EXPECT_EQ(ListNames(Triggers().GetBeforeLoadTriggers()), Names{u"load"});
  EXPECT_EQ(ListNames(Triggers().GetErrorDeleteTriggers()), Names{u"err"});
  for (TORVReferencedTriggers* Empty :
       {Triggers().GetBeforeInsertTriggers(), Triggers().GetErrorInsertTriggers(),
        Triggers().GetBeforeUpdateTriggers(), Triggers().GetErrorUpdateTriggers(),
        Triggers().GetBeforeDeleteTriggers(), Triggers().GetErrorLoadTriggers()})
    EXPECT_EQ(Empty->GetCount(), 0);

  // Removing a trigger rebuilds the lists.
  TORVTrigger* All = Triggers().GetTrigger(0);
  Triggers().Remove(All);
  delete All;
  EXPECT_EQ(Triggers().GetAfterInsertTriggers()->GetCount(), 0);
  EXPECT_EQ(Triggers().GetCount(), 3);
}

TEST_F(TriggerTest, PositionsPlaceTriggersInFiringOrder) {
  Add(u"first", taBefore, tyInsert);
  Add(u"second", taBefore, tyInsert);
  EXPECT_EQ(ListNames(Triggers().GetBeforeInsertTriggers()), (Names{u"first", u"second"}));
  Add(u"front", taBefore, tyInsert, 1);
  Add(u"back", taBefore, tyInsert, 99);
  Add(u"negative", taBefore, tyInsert, -3);
  EXPECT_EQ(ListNames(Triggers().GetBeforeInsertTriggers()),
            (Names{u"negative", u"front", u"first", u"second", u"back"}));
}

TEST_F(TriggerTest, ValidationRefusesUnknownTimesAndTypes) {
  const struct {
    int32_t Time, Type;
    const char* Detail;
  } Cases[] = {{0, tyInsert, "The trigger action time is invalid"},
               {5, tyInsert, "The trigger action time is invalid"},
               {taBefore, 6, "The trigger action type is invalid"},
               {taBefore, 0, "The trigger action type is invalid"}};
  for (const auto& Case : Cases) {
    std::unique_ptr<TORVTrigger> Trigger(New(u"tr", Case.Time, Case.Type));
    EXPECT_EQ(test::ErrorOf([&] { Trigger->Validate(); }),
              std::string("100 There is an error in the metadata for the trigger tr in the table t (") + Case.Detail +
                  ")");
  }
  std::unique_ptr<TORVTrigger> Valid(New(u"tr", taInsteadOf, tyLoadUpdate));
  EXPECT_EQ(test::ErrorOf([&] { Valid->Validate(); }), "no error");
}

TEST_F(TriggerTest, RowsAreReadableOnlyWhereTheOperationHasThem) {
  const char* const RowError = "the column reference must be prefaced with a row identifier";
  const struct {
    int32_t Type;
    const char16_t* Column;
    bool Compiles;
  } Cases[] = {{tyInsert, u"NewRow.a", true},  {tyInsert, u"OldRow.a", false}, {tyDelete, u"OldRow.a", true},
               {tyDelete, u"NewRow.a", false}, {tyUpdate, u"OldRow.a", true},  {tyUpdate, u"NewRow.a", true},
               {tyAll, u"OldRow.a", true},     {tyLoadUpdate, u"NewRow.a", true}, {tyInsert, u"a", false},
               {tyUpdate, u"a", false},        {tyDelete, u"a", false}};
  for (const auto& Case : Cases) {
    std::unique_ptr<TORVTrigger> Trigger(New(
        u"tr", taAfter, Case.Type, u"BEGIN DECLARE x INTEGER; SET x = " + TORVString(Case.Column) + u"; END"));
    T->GetTriggers().Add(Trigger.get());
    TORVTrigger* Placed = Trigger.release();
    const std::string Error = test::ErrorOf([&] { Placed->Compile(); });
    if (Case.Compiles) {
      EXPECT_EQ(Error, "no error") << Case.Type;
      EXPECT_EQ(Placed->GetReferencedOldRowColumns()->GetCount() + Placed->GetReferencedNewRowColumns()->GetCount(),
                1);
    } else {
      EXPECT_NE(Error.find(RowError), std::string::npos) << Case.Type << " " << Error;
      EXPECT_NE(Error.find("tr trigger"), std::string::npos) << Error;
    }
    T->GetTriggers().Remove(Placed);
    delete Placed;
  }
}

TEST_F(TriggerTest, ConditionMustBeBooleanAndReadsTheRoutinesRows) {
  std::unique_ptr<TORVTrigger> Trigger(New(u"tr", taBefore, tyUpdate,
                                           u"BEGIN DECLARE x VARCHAR(10); SET x = OldRow.b; END", u"NewRow.a > 0"));
  T->GetTriggers().Add(Trigger.get());
  TORVTrigger* Placed = Trigger.release();
  Placed->Compile();
  ASSERT_TRUE(Placed->GetConditionExpr()->GetCompiled());
  ASSERT_EQ(Placed->GetReferencedNewRowColumns()->GetCount(), 1);
  EXPECT_EQ(Placed->GetReferencedNewRowColumns()->GetObjects(0)->GetName(), u"a");
  ASSERT_EQ(Placed->GetReferencedOldRowColumns()->GetCount(), 1);
  EXPECT_EQ(Placed->GetReferencedOldRowColumns()->GetObjects(0)->GetName(), u"b");

  Placed->Decompile();
  EXPECT_EQ(Placed->GetReferencedOldRowColumns()->GetCount(), 0);
  Placed->GetConditionExpr()->SetExpression(u"NewRow.a + 1");
  const std::string Error = test::ErrorOf([&] { Placed->Compile(); });
  EXPECT_EQ(Error.substr(0, 4), "700 ") << Error;
  EXPECT_NE(Error.find("tr check constraint expression"), std::string::npos) << Error;
}

TEST_F(TriggerTest, CreateTextReplacesTheStoredTriggerLine) {
  std::unique_ptr<TORVTrigger> Trigger(
      New(u"tr", taAfter, tyUpdate, u"BEGIN\r\n  LOG 'x';\r\nEND\r\n", u"NewRow.a > 0\r\n"));
  for (const TORVString Name : {u"a", u"b"}) {
    auto* Column = static_cast<TORVTriggerColumn*>(Trigger->GetTriggerColumns()->GetNewObject());
    Column->SetColumn(static_cast<TORVColumn*>(T->GetColumns().FindByName(Name, true)));
    Trigger->GetTriggerColumns()->Add(Column);
  }
  Trigger->SetDescription(u"audit");
  EXPECT_EQ(Trigger->GetCreateSQL(false, false, false),
            u"CREATE TRIGGER \"tr\" AFTER UPDATE OF \"a\", \"b\" ON \"t\"\r\nWHEN NewRow.a > 0\r\nBEGIN\r\n  LOG "
            u"'x';\r\nEND\r\nDESCRIPTION 'audit'");
  EXPECT_EQ(Trigger->GetDropSQL(false, false), u"DROP TRIGGER \"tr\" FROM \"t\"");

  std::unique_ptr<TORVTrigger> Other(New(u"tr", taInsteadOf, tyLoadUpdate, u"BEGIN END"));
  EXPECT_EQ(Other->GetSQL(false), u"TRIGGER \"tr\" INSTEAD OF LOAD UPDATE ON \"t\"\r\nBEGIN END");
  Trigger->BuildAlterSQL(1, Other.get(), u';');
  EXPECT_EQ(Trigger->GetAlterSQL(),
            u"ALTER TRIGGER \"tr\" INSTEAD OF LOAD UPDATE ON \"t\"\r\nBEGIN END\r\nDESCRIPTION ''");
  Trigger->BuildAlterSQL(1, Trigger.get(), u';');
  EXPECT_EQ(Trigger->GetAlterSQL(), u"");
}

TEST_F(TriggerTest, StreamRoundTripsAndLeavesTheEnabledFlagOut) {
  TORVTrigger* Trigger = Add(u"tr", taAfter, tyUpdate, 0, u"BEGIN END");
  auto* Column = static_cast<TORVTriggerColumn*>(Trigger->GetTriggerColumns()->GetNewObject());
  Column->SetColumn(static_cast<TORVColumn*>(T->GetColumns().FindByName(u"b", true)));
  Trigger->GetTriggerColumns()->Add(Column);
  TORVMemoryStream Before(CharacterSetUnicode);
  Trigger->Save(Before, false);

  Catalog->SetModified(false);
  Trigger->SetEnabled(false);
  EXPECT_FALSE(Catalog->GetModified());
  TORVMemoryStream After(CharacterSetUnicode);
  Trigger->Save(After, false);
  EXPECT_EQ(StreamBytes(Before), StreamBytes(After));

  After.SetPosition(0);
  std::unique_ptr<TORVTrigger> Copy(static_cast<TORVTrigger*>(Triggers().GetNewObject()));
  Copy->Load(After);
  EXPECT_EQ(After.GetPosition(), After.GetSize());
  EXPECT_TRUE(Copy->GetEnabled());
  EXPECT_TRUE(Copy->Compare(Trigger, true));
  EXPECT_EQ(Copy->GetTriggerColumns()->GetCount(), 1);
  EXPECT_EQ(Copy->GetRoutineVersion(), EngineCatalogVersion);

  // Insert triggers store no OF list.
  Trigger->SetActionType(tyInsert);
  TORVMemoryStream Insert(CharacterSetUnicode);
  Trigger->Save(Insert, false);
  EXPECT_LT(Insert.GetSize(), Before.GetSize());
  Insert.SetPosition(0);
  Copy->Load(Insert);
  EXPECT_EQ(Insert.GetPosition(), Insert.GetSize());
  EXPECT_EQ(Copy->GetTriggerColumns()->GetCount(), 0);
}

TEST_F(TriggerTest, OldTriggersKeepParsingTheirDynamicSyntax) {
  const TORVString Body = u"BEGIN START TRANSACTION ON TABLES t; COMMIT; END";
  auto ConvertsNames = [](TORVTrigger& Trigger) {
    TORVPartialTree Tree(Trigger.GetDefinition()->Parse());
    return HasNode(Tree.Get(), [](const TORVExprToken* Node) {
      return Node->FTokenType == ttCONST && Node->FTokenConstant == u"t";
    });
  };
  // A 2.03 catalog wrote no routine version.
  TORVTrigger* Source = Add(u"tr", taAfter, tyInsert, 0, Body);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Source->Save(Stream, false);
  Stream.SetSize(Stream.GetSize() - 8);
  EXPECT_FALSE(ConvertsNames(*Source));

  const TORVCurrency Old = TORVCurrency::FromScaled(20300);
  Catalog->SetVersion(Old);
  std::unique_ptr<TORVTrigger> Loaded(static_cast<TORVTrigger*>(Triggers().GetNewObject()));
  Stream.SetPosition(0);
  Loaded->Load(Stream);
  Catalog->SetVersion(EngineCatalogVersion);
  EXPECT_EQ(Loaded->GetRoutineVersion(), Old);
  EXPECT_TRUE(ConvertsNames(*Loaded));

  // A change of description leaves the text in its old syntax.
  Loaded->SetDescription(u"still old");
  EXPECT_EQ(Loaded->GetRoutineVersion(), Old);
  EXPECT_TRUE(ConvertsNames(*Loaded));

  // ALTER TRIGGER replaces the definition with one in today's syntax.
  std::unique_ptr<TORVTrigger> Altered(New(u"tr", taAfter, tyInsert, Body));
  Loaded->Assign(Altered.get(), false);
  EXPECT_EQ(Loaded->GetRoutineVersion(), EngineCatalogVersion);
  EXPECT_FALSE(ConvertsNames(*Loaded));
}

TEST_F(TriggerTest, RenamingAColumnRewritesItsRowReferences) {
  TORVTrigger* Trigger = Add(u"tr", taAfter, tyUpdate, 0, u"BEGIN DECLARE x INTEGER; SET x = NewRow.a + OldRow.a; END");
  auto* A = static_cast<TORVColumn*>(T->GetColumns().FindByName(u"a", true));
  Catalog->SetModified(false);
  Trigger->RenameDependenciesToObject(A, u"z");
  EXPECT_EQ(Trigger->GetDefinition()->GetExpression(),
            u"TRIGGER \"tr\"\r\nBEGIN DECLARE x INTEGER; SET x = NewRow.z + OldRow.z; END");
  EXPECT_TRUE(Catalog->GetModified());
}

// A column that takes a new ID keeps every reader of it: the table hands
// the new ID to its check constraints and triggers in one walk, and the ID
// references met later in the walk must still recognise the column.
TEST_F(TriggerTest, ResettingAColumnIDRepointsCheckAndRowReferences) {
  auto* A = static_cast<TORVColumn*>(T->GetColumns().FindByName(u"a", true));
  auto* Check = static_cast<TORVConstraint*>(T->GetConstraints().GetNewObject());
  Check->SetName(u"ck");
  Check->SetConstraintType(ctCheck);
  Check->GetCheckExpr()->SetExpression(u"a > 0");
  T->GetConstraints().Add(Check);
  auto* Unique = static_cast<TORVConstraint*>(T->GetConstraints().GetNewObject());
  Unique->SetName(u"uq");
  Unique->SetConstraintType(ctUnique);
  auto* Key = static_cast<TORVConstraintColumn*>(Unique->GetConstraintColumns()->GetNewObject());
  Key->SetColumn(A);
  Unique->GetConstraintColumns()->Add(Key);
  T->GetConstraints().Add(Unique);
  TORVTrigger* Trigger =
      Add(u"tr", taAfter, tyUpdate, 0, u"BEGIN DECLARE x INTEGER; SET x = NewRow.a + OldRow.a; END");
  auto* Column = static_cast<TORVTriggerColumn*>(Trigger->GetTriggerColumns()->GetNewObject());
  Column->SetColumn(A);
  Trigger->GetTriggerColumns()->Add(Column);
  Check->Compile();
  Trigger->Compile();
  ASSERT_EQ(Check->GetReferencedCheckColumns()->GetCount(), 1);
  ASSERT_EQ(Trigger->GetReferencedNewRowColumns()->GetCount(), 1);
  ASSERT_EQ(Trigger->GetReferencedOldRowColumns()->GetCount(), 1);

  const int32_t OldID = A->GetID();
  const int32_t NewID = OldID + 1000;
  Catalog->SetModified(false);
  T->ResetDependenciesToObject(A, NewID);
  A->SetID(NewID);

  EXPECT_EQ(Check->GetReferencedCheckColumns()->GetObjects(0)->GetID(), NewID);
  EXPECT_EQ(Trigger->GetReferencedNewRowColumns()->GetObjects(0)->GetID(), NewID);
  EXPECT_EQ(Trigger->GetReferencedOldRowColumns()->GetObjects(0)->GetID(), NewID);
  EXPECT_EQ(Column->GetColumnID(), NewID);
  EXPECT_EQ(Key->GetColumnID(), NewID);
  EXPECT_TRUE(Catalog->GetModified());

  // The new ID is the one the readers now depend on.
  A->GetDependencies()->Clear();
  Check->AddDependenciesToObject(A);
  Trigger->AddDependenciesToObject(A);
  EXPECT_EQ(A->GetDependencies()->GetCount(), 3);
}

// The row references follow a new ID that reaches them through another
// instance of the column (a maintenance copy's), each selection once.
TEST_F(TriggerTest, RowReferencesFollowANewIDOfTheColumnTheyRead) {
  TORVTrigger* Trigger = Add(u"tr", taAfter, tyUpdate, 0,
                             u"BEGIN DECLARE x INTEGER; DECLARE y VARCHAR(10); "
                             u"SET x = NewRow.a; SET y = OldRow.b; END");
  auto* A = static_cast<TORVColumn*>(T->GetColumns().FindByName(u"a", true));
  auto* B = static_cast<TORVColumn*>(T->GetColumns().FindByName(u"b", true));
  Trigger->Compile();
  std::unique_ptr<TORVColumn> Twin(static_cast<TORVColumn*>(T->GetColumns().GetNewObject()));
  Twin->SetID(A->GetID());
  const int32_t NewID = A->GetID() + 1000;

  Trigger->ResetDependenciesToObject(Twin.get(), NewID);
  ASSERT_EQ(Trigger->GetReferencedNewRowColumns()->GetCount(), 1);
  EXPECT_EQ(Trigger->GetReferencedNewRowColumns()->GetObjects(0)->GetID(), NewID);
  ASSERT_EQ(Trigger->GetReferencedOldRowColumns()->GetCount(), 1);
  EXPECT_EQ(Trigger->GetReferencedOldRowColumns()->GetObjects(0), B);
  EXPECT_NE(B->GetID(), NewID);
}

// CREATE TRIGGER statements bind their code to the table after ON.
TEST_F(TriggerTest, CreateTriggerStatementReadsOnlyTheRowsOfItsOperation) {
  auto Statement = [&](const TORVString& Column) {
    auto Expr = std::make_unique<TORVCatalogStatement>(T);
    Expr->SetCatalog(Catalog);
    Expr->SetExpression(u"CREATE TRIGGER tr AFTER DELETE ON t BEGIN DECLARE x VARCHAR(10); SET x = " + Column +
                        u"; END");
    return Expr;
  };
  auto New = Statement(u"NewRow.a");
  const std::string Error = test::ErrorOf([&] { New->Compile(); });
  EXPECT_NE(Error.find("the column reference must be prefaced with a row identifier"), std::string::npos) << Error;

  auto Old = Statement(u"OldRow.b");
  Old->Compile();
  ASSERT_TRUE(Old->GetCompiled());
  const TORVExprToken* Row = nullptr;
  HasNode(Old->FTokens, [&](const TORVExprToken* Node) {
    if (Node->FTokenType != ttROWCOLUMNREF) return false;
    Row = Node;
    return true;
  });
  ASSERT_NE(Row, nullptr);
  ASSERT_NE(Row->FSourceToken, nullptr);
  EXPECT_EQ(Row->FSourceToken->FTokenID, 0);
  EXPECT_EQ(Row->FSourceToken->FName, u"OldRow");
  EXPECT_EQ(Row->FPosition, 2);
  EXPECT_EQ(Row->FDataType, dtCharacter);
}

TEST_F(TriggerTest, InformationTablesShowTheEnabledFlagAndPositions) {
  const TORVTableDescription& Triggers = *TriggersClass().Description;
  ASSERT_EQ(Triggers.Columns.size(), 11u);
  EXPECT_EQ(TORVString(Triggers.Columns[7].Name), u"Enabled");
  EXPECT_EQ(Triggers.Columns[7].DataType, dtBoolean);
  EXPECT_EQ(TORVString(Triggers.Columns[8].Name), u"OrdinalPos");
  EXPECT_TRUE(Triggers.Columns[9].IgnoreCase);
  EXPECT_FALSE(Triggers.Columns[5].IgnoreCase);
  EXPECT_EQ(TORVString(TriggerColumnsClass().TableName), u"TriggerColumns");
  EXPECT_EQ(TriggerColumnsClass().Description->Indexes.size(), 3u);
}

}  // namespace
}  // namespace orv
