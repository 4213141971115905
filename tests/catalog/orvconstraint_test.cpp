#include "catalog/orvconstraint.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvindexes.h"
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

namespace orv {
namespace {

// A catalog of the database Main with its compiler and the tables
// t (a INTEGER, b VARCHAR(10)) and u (a INTEGER, b VARCHAR(10)).
class ConstraintTest : public ::testing::Test, protected test::TCompilingCatalog {
 protected:
  ConstraintTest() {
    T = test::NewTableT(*Catalog);
    U = test::NewTable(*Catalog, u"u");
    AddTestColumn(U->GetColumns(), u"a", dtInteger);
    AddTestColumn(U->GetColumns(), u"b", dtCharacter, stVarChar, 10);
  }

  static TORVColumn* Column(TORVBaseTable* Table, const TORVString& Name) {
    return static_cast<TORVColumn*>(Table->GetColumns().FindByName(Name, true));
  }

  // A constraint of Table of that type on Columns, added to its list.
  static TORVConstraint* Add(TORVBaseTable* Table, const TORVString& Name, int32_t Type,
                             const std::vector<TORVString>& Columns = {}) {
    std::unique_ptr<TORVConstraint> Made(New(Table, Name, Type, Columns));
    Table->GetConstraints().Add(Made.get());
    return Made.release();
  }

  // The same, not yet added: its owner is the table's constraint list.
  static TORVConstraint* New(TORVBaseTable* Table, const TORVString& Name, int32_t Type,
                             const std::vector<TORVString>& Columns = {}) {
    auto* Constraint = static_cast<TORVConstraint*>(Table->GetConstraints().GetNewObject());
    Constraint->SetName(Name);
    Constraint->SetConstraintType(Type);
    for (const TORVString& Name : Columns) {
      auto* Member = static_cast<TORVConstraintColumn*>(Constraint->GetConstraintColumns()->GetNewObject());
      Member->SetColumn(Column(Table, Name));
      Constraint->GetConstraintColumns()->Add(Member);
    }
    return Constraint;
  }

  // A foreign key of From (a) referencing Key of To (a), with the reverse
  // link the table operations give the key.
  TORVConstraint* ForeignKey(TORVBaseTable* From, TORVBaseTable* To, TORVConstraint* Key,
                             const TORVString& Name = u"fk") {
    TORVConstraint* Foreign = Add(From, Name, ctForeignKey, {u"a"});
    Foreign->SetTargetTable(To);
    Foreign->SetTargetTableConstraint(Key);
    auto* Target = static_cast<TORVTargetTableColumn*>(Foreign->GetTargetTableColumns()->GetNewObject());
    Target->SetTargetColumn(Column(To, u"a"));
    Foreign->GetTargetTableColumns()->Add(Target);
    auto* Link = static_cast<TORVSourceConstraint*>(Key->GetSourceConstraints()->GetNewObject());
    Link->SetSourceTable(From);
    Link->SetSourceTableConstraint(Foreign);
    Key->GetSourceConstraints()->Add(Link);
    return Foreign;
  }

  TORVBaseTable* T = nullptr;
  TORVBaseTable* U = nullptr;
};

TEST_F(ConstraintTest, OnlyNoActionAndRestrictPassValidation) {
  TORVConstraint* Key = Add(U, u"pk", ctPrimaryKey, {u"a"});
  TORVConstraint* Foreign = ForeignKey(T, U, Key);
  const struct {
    int32_t Update, Delete;
    bool Valid;
  } Cases[] = {{caNoAction, caNoAction, true},  {caRestrict, caNoAction, true}, {caNoAction, caRestrict, true},
               {caNoAction, caCascade, false},  {caSetNull, caNoAction, false}, {caNoAction, caSetDefault, false},
               {caCascade, caRestrict, false}};
  for (const auto& Case : Cases) {
    Foreign->SetUpdateAction(Case.Update);
    Foreign->SetDeleteAction(Case.Delete);
    const std::string Error = test::ErrorOf([&] { Foreign->Validate(); });
    if (Case.Valid) {
      EXPECT_EQ(Error, "no error") << Case.Update << " " << Case.Delete;
    } else {
      EXPECT_EQ(Error,
                "100 There is an error in the metadata for the constraint fk in the table t (The constraint update or "
                "delete action is invalid or not supported)")
          << Case.Update << " " << Case.Delete;
    }
  }
}

TEST_F(ConstraintTest, TypesOutsideOneToFourAndBlobColumnsFailValidation) {
  for (int32_t Type : {0, 5}) {
    std::unique_ptr<TORVConstraint> Constraint(New(T, u"c", Type));
    EXPECT_EQ(test::ErrorOf([&] { Constraint->Validate(); }),
              "100 There is an error in the metadata for the constraint c in the table t (The constraint type is "
              "invalid)");
  }
  TORVColumn* Blob = AddTestColumn(T->GetColumns(), u"l", dtLargeObject, stClob);
  std::unique_ptr<TORVConstraint> Unique(New(T, u"uq", ctUnique, {u"a"}));
  Unique->GetConstraintColumns()->GetConstraintColumn(0)->SetColumn(Blob);
  EXPECT_EQ(test::ErrorOf([&] { Unique->Validate(); }),
            "100 There is an error in the metadata for the constraint column l in the constraint uq (The BLOB column l "
            "cannot be used in a constraint)");
}

TEST_F(ConstraintTest, SettingTheSameTypeAgainMakesAndMarksNothing) {
  TORVConstraint* Check = Add(T, u"ck", ctCheck);
  TORVCheckExpr* Expr = Check->GetCheckExpr();
  Catalog->SetModified(false);
  Check->SetConstraintType(ctCheck);
  EXPECT_EQ(Check->GetCheckExpr(), Expr);
  EXPECT_FALSE(Catalog->GetModified());
  Check->SetConstraintType(ctUnique);
  EXPECT_TRUE(Catalog->GetModified());
  // A type's objects stay until the definition is replaced.
  EXPECT_EQ(Check->GetCheckExpr(), Expr);
  ASSERT_NE(Check->GetConstraintColumns(), nullptr);
}

TEST_F(ConstraintTest, ForeignKeyTextNamesItsActions) {
  TORVConstraint* Key = Add(U, u"pk", ctPrimaryKey, {u"a"});
  TORVConstraint* Foreign = ForeignKey(T, U, Key);
  Foreign->SetUpdateAction(caRestrict);
  Foreign->SetDeleteAction(caNoAction);
  EXPECT_EQ(Foreign->GetSQL(false), u"FOREIGN KEY (\"a\") REFERENCES \"u\" (\"a\")\r\n   ON UPDATE RESTRICT ON DELETE NO ACTION");
  EXPECT_EQ(TORVConstraint::GetCreateActionName(Foreign->GetUpdateAction()), u"Restrict");
  EXPECT_EQ(TORVConstraint::GetCreateActionName(Foreign->GetDeleteAction()), u"No Action");
  EXPECT_EQ(TORVConstraint::GetCreateActionName(7), u"");

  // Foreign keys are added once every table exists.
  EXPECT_EQ(Foreign->GetCreateSQL(false, false, false), u"");
  EXPECT_EQ(Foreign->GetCreateSQL(false, true, false).rfind(u"ADD CONSTRAINT \"fk\" FOREIGN KEY", 0), 0u);
  EXPECT_EQ(Foreign->GetCreateSQL(true, false, false).rfind(u"CONSTRAINT \"fk\" FOREIGN KEY", 0), 0u);
  EXPECT_EQ(Foreign->GetDropSQL(false, true), u"DROP CONSTRAINT \"fk\"");
  EXPECT_EQ(Foreign->GetDropSQL(false, false), u"");
  EXPECT_EQ(Key->GetCreateSQL(false, false, false), u"CONSTRAINT \"pk\" PRIMARY KEY (\"a\")");
  EXPECT_EQ(Key->GetCreateSQL(false, true, false), u"");
}

TEST_F(ConstraintTest, CheckTextAddsTheErrorClauseOnlyForACode) {
  TORVConstraint* Check = Add(T, u"ck", ctCheck);
  Check->GetCheckExpr()->SetExpression(u"a > 0");
  EXPECT_EQ(Check->GetSQL(true), u"CHECK a > 0");
  Check->SetErrorCode(10001);
  Check->SetErrorMessage(u"a must be positive");
  Check->SetDescription(u"It's positive");
  EXPECT_EQ(Check->GetSQL(true),
            u"CHECK a > 0\r\nERROR CODE 10001 MESSAGE 'a must be positive'\r\nDESCRIPTION 'It''s positive'");
  EXPECT_EQ(Check->GetSQL(false), u"CHECK a > 0\r\nERROR CODE 10001 MESSAGE 'a must be positive'");
}

TEST_F(ConstraintTest, PrimaryKeysAreOneObjectWhateverTheirNames) {
  Add(T, u"pk1", ctPrimaryKey, {u"a"});
  std::unique_ptr<TORVConstraint> Second(New(T, u"pk2", ctPrimaryKey, {u"b"}));
  EXPECT_EQ(test::ErrorOf([&] { T->GetConstraints().Add(Second.get()); }).substr(0, 4), "400 ");
  EXPECT_TRUE(T->GetConstraints().GetConstraint(0)->Same(Second.get()));
  std::unique_ptr<TORVConstraint> Unique(New(T, u"pk1", ctUnique, {u"b"}));
  EXPECT_FALSE(T->GetConstraints().GetConstraint(0)->Same(Unique.get()));

  TORVConstraint* First = T->GetConstraints().GetConstraint(0);
  First->BuildAlterSQL(1, Second.get(), u';');
  EXPECT_EQ(First->GetAlterSQL(),
            u"RENAME CONSTRAINT \"pk1\" TO \"pk2\",\r\nALTER CONSTRAINT \"pk2\" AS PRIMARY KEY (\"b\")");
  First->BuildAlterSQL(1, First, u';');
  EXPECT_EQ(First->GetAlterSQL(), u"");
}

TEST_F(ConstraintTest, StreamRoundTripsAndOlderCatalogsHaveNoErrorFields) {
  TORVConstraint* Check = Add(T, u"ck", ctCheck);
  Check->GetCheckExpr()->SetExpression(u"a > 0");
  Check->SetErrorCode(10001);
  Check->SetErrorMessage(u"positive");
  TORVMemoryStream Stream(CharacterSetUnicode);
  Check->Save(Stream, false);

  Stream.SetPosition(0);
  std::unique_ptr<TORVConstraint> Copy(static_cast<TORVConstraint*>(T->GetConstraints().GetNewObject()));
  Copy->Load(Stream);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
  EXPECT_TRUE(Copy->Compare(Check, true));
  EXPECT_EQ(Copy->GetErrorCode(), 10001);

  // A 2.03 stream ends before the error fields.
  Stream.SetPosition(0);
  Catalog->SetVersion(TORVCurrency::FromScaled(20300));
  std::unique_ptr<TORVConstraint> Old(static_cast<TORVConstraint*>(T->GetConstraints().GetNewObject()));
  Old->Load(Stream);
  EXPECT_EQ(Old->GetErrorCode(), 0);
  EXPECT_EQ(Old->GetErrorMessage(), u"");
  EXPECT_EQ(Old->GetCheckExpr()->GetExpression(), u"a > 0");
}

TEST_F(ConstraintTest, KeyStreamsItsColumnsIndexAndLinks) {
  TORVConstraint* Key = Add(U, u"pk", ctPrimaryKey, {u"a", u"b"});
  TORVConstraint* Foreign = ForeignKey(T, U, Key);
  Foreign->SetUpdateAction(caRestrict);
  for (TORVConstraint* Constraint : {Key, Foreign}) {
    TORVMemoryStream Stream(CharacterSetUnicode);
    Constraint->Save(Stream, false);
    Stream.SetPosition(0);
    auto* Table = Constraint == Key ? U : T;
    std::unique_ptr<TORVConstraint> Copy(static_cast<TORVConstraint*>(Table->GetConstraints().GetNewObject()));
    Copy->Load(Stream);
    EXPECT_TRUE(Copy->Compare(Constraint, true));
    EXPECT_EQ(Copy->GetSQL(false), Constraint->GetSQL(false));
  }
  std::unique_ptr<TORVConstraint> Copy(static_cast<TORVConstraint*>(U->GetConstraints().GetNewObject()));
  Copy->Assign(Key, true);
  ASSERT_EQ(Copy->GetSourceConstraints()->GetCount(), 1);
  EXPECT_EQ(Copy->GetSourceConstraints()->GetSourceConstraint(0)->GetSourceTableConstraintID(), Foreign->GetID());
}

TEST_F(ConstraintTest, ValidatingAKeyDropsStaleLinksAndKeepsTheModifiedFlag) {
  TORVConstraint* Key = Add(U, u"pk", ctPrimaryKey, {u"a"});
  TORVConstraint* Foreign = ForeignKey(T, U, Key);
  ForeignKey(T, U, Key, u"fk2");
  T->GetConstraints().Remove(Foreign);
  delete Foreign;

  for (bool Modified : {true, false}) {
    Catalog->SetModified(Modified);
    Key->Validate();
    EXPECT_EQ(Key->GetSourceConstraints()->GetCount(), 1);
    EXPECT_EQ(Catalog->GetModified(), Modified);
  }
  EXPECT_EQ(Key->GetSourceConstraints()->GetSourceConstraint(0)->GetSourceTableConstraint()->GetName(), u"fk2");

  TORVConstraint* Other = T->GetConstraints().GetConstraint(0);
  Key->RemoveSourceConstraint(Other);
  EXPECT_EQ(Key->GetSourceConstraints()->GetCount(), 0);
  EXPECT_EQ(test::ErrorOf([&] { Key->RemoveSourceConstraint(Other); }).substr(0, 4), "401 ");
}

TEST_F(ConstraintTest, ForeignKeysBetweenSessionTablesAndOrdinaryOnesAreRefused) {
  TORVBaseTable* Session = test::NewTable(*Catalog, u"s");
  Session->SetTemporaryForSession(true);
  AddTestColumn(Session->GetColumns(), u"a", dtInteger);
  TORVConstraint* Foreign = Add(Session, u"fk", ctForeignKey, {u"a"});
  EXPECT_NE(test::ErrorOf([&] { Foreign->SetTargetTable(T); })
                .find("(Foreign keys cannot be established between temporary tables and non-temporary tables)"),
            std::string::npos);
  Session->SetMaintenance(true);
  Foreign->SetTargetTable(T);
  EXPECT_EQ(Foreign->GetTargetTable(), T);

  // While u is rebuilt, its working copy (same ID) is the target.
  TORVConstraint* ToU = Add(T, u"fku", ctForeignKey, {u"a"});
  ToU->SetTargetTable(U);
  TORVTemporaryTables& Temporary = Catalog->GetDefaultSchema()->GetTemporaryTables();
  std::unique_ptr<TORVBaseTable> Copy(static_cast<TORVBaseTable*>(Temporary.GetNewObject(nullptr)));
  Copy->SetName(u"u_copy");
  Copy->SetID(U->GetID());
  Temporary.Add(Copy.get());
  TORVBaseTable* WorkingCopy = Copy.release();
  U->SetMaintaining(true);
  ToU->ResetReferences();
  EXPECT_EQ(ToU->GetTargetTable(), WorkingCopy);
  U->SetMaintaining(false);
  ToU->ResetReferences();
  EXPECT_EQ(ToU->GetTargetTable(), U);

  TORVConstraint* Own = Add(T, u"fk", ctForeignKey, {u"a"});
  Own->CheckTargetTable(T->GetID());
  EXPECT_EQ(Own->GetTargetTable(), T);
  Own->CheckTargetTable(U->GetID());
  EXPECT_EQ(Own->GetTargetTableID(), T->GetID());
}

TEST_F(ConstraintTest, CheckListsEachColumnOnceAndRenamesEveryReference) {
  TORVConstraint* Check = Add(T, u"ck", ctCheck);
  Check->GetCheckExpr()->SetExpression(u"a > 0 AND a < 10");
  Check->Compile();
  ASSERT_TRUE(Check->GetCheckExpr()->GetCompiled());
  ASSERT_EQ(Check->GetReferencedCheckColumns()->GetCount(), 1);
  TORVColumn* A = Column(T, u"a");
  EXPECT_EQ(Check->GetReferencedCheckColumns()->GetObjects(0), A);

  Catalog->SetModified(false);
  Check->RenameDependenciesToObject(A, u"x");
  EXPECT_EQ(Check->GetCheckExpr()->GetExpression(), u"x > 0 AND x < 10");
  EXPECT_TRUE(Catalog->GetModified());

  Check->Decompile();
  EXPECT_EQ(Check->GetReferencedCheckColumns()->GetCount(), 0);
}

// A maintenance copy of the table holds its own instances of the columns,
// with the same IDs: a new ID given to one of them reaches the check
// constraint through the ID, not the instance.
TEST_F(ConstraintTest, CheckReferencesFollowANewIDOfTheColumnTheyRead) {
  TORVConstraint* Check = Add(T, u"ck", ctCheck);
  Check->GetCheckExpr()->SetExpression(u"a > 0 AND a < 10");
  Check->Compile();
  TORVColumn* A = Column(T, u"a");
  std::unique_ptr<TORVColumn> Twin(static_cast<TORVColumn*>(T->GetColumns().GetNewObject()));
  Twin->SetID(A->GetID());
  const int32_t NewID = A->GetID() + 1000;

  Check->ResetDependenciesToObject(Twin.get(), NewID);
  ASSERT_EQ(Check->GetReferencedCheckColumns()->GetCount(), 1);
  EXPECT_EQ(Check->GetReferencedCheckColumns()->GetObjects(0)->GetID(), NewID);

  // Another column's new ID leaves the check's reference alone.
  TORVColumn* B = Column(T, u"b");
  Check->ResetDependenciesToObject(B, NewID + 1);
  EXPECT_EQ(A->GetID(), NewID);
}

TEST_F(ConstraintTest, AlterStateFollowsWhatChanged) {
  TORVConstraint* Key = Add(U, u"pk", ctPrimaryKey, {u"a"});
  std::unique_ptr<TORVConstraint> Same(New(U, u"pk", ctPrimaryKey, {u"a"}));
  EXPECT_EQ(Same->GetAlterState(Key), TORVAlterStates{asConstraintsAltered});
  EXPECT_TRUE(Same->GetAltered());
  std::unique_ptr<TORVConstraint> Wider(New(U, u"pk", ctPrimaryKey, {u"a", u"b"}));
  EXPECT_EQ(Wider->GetAlterState(Key),
            (TORVAlterStates{asRebuild, asRebuildIndexes, asConstraintsAltered, asKeyConstraintAltered}));

  TORVConstraint* Check = Add(T, u"ck", ctCheck);
  Check->GetCheckExpr()->SetExpression(u"a > 0");
  std::unique_ptr<TORVConstraint> NewCheck(New(T, u"ck", ctCheck));
  NewCheck->GetCheckExpr()->SetExpression(u"a > 1");
  EXPECT_EQ(NewCheck->GetAlterState(Check), (TORVAlterStates{asConstraintsAltered, asCheckConstraintAltered}));
  EXPECT_EQ(test::ErrorOf([&] { Check->CheckConstraintTypeAlter(ctUnique); }).substr(0, 4), "100 ");
}

// ALTER TABLE rebuilds and re-checks only the constraints it finds marked.
TEST_F(ConstraintTest, ChangingAColumnsStoredFormMarksTheConstraintsOnIt) {
  TORVConstraint* OnB = Add(T, u"ckb", ctCheck);
  OnB->GetCheckExpr()->SetExpression(u"b <> ''");
  TORVConstraint* OnA = Add(T, u"cka", ctCheck);
  OnA->GetCheckExpr()->SetExpression(u"a > 0");
  TORVConstraint* Key = Add(T, u"uq", ctUnique, {u"b"});
  TORVColumn* B = Column(T, u"b");
  TORVColumn Old;
  Old.Assign(B, false);

  Old.SetDescription(u"only the text");
  EXPECT_FALSE(B->GetAlterState(&Old).Contains(asConstraintsAltered));
  EXPECT_FALSE(OnB->GetAltered());
  EXPECT_FALSE(Key->GetAltered());

  B->SetLength(20);
  const TORVAlterStates States = B->GetAlterState(&Old);
  for (TORVAlterState State :
       {asConstraintsAltered, asCheckConstraintAltered, asKeyConstraintAltered, asRebuildIndexes})
    EXPECT_TRUE(States.Contains(State)) << static_cast<int>(State);
  EXPECT_TRUE(OnB->GetAltered());
  EXPECT_TRUE(Key->GetAltered());
  EXPECT_FALSE(OnA->GetAltered());
}

TEST_F(ConstraintTest, HiddenSystemKeyIsEnforcedByItsIndexAndLeftOutOfTheText) {
  auto* Index = static_cast<TORVIndex*>(T->GetIndexes().GetNewObject());
  Index->SetName(SystemPrimaryKeyName);
  Index->SetIndexType(itPrimaryKey);
  T->GetIndexes().Add(Index);
  TORVConstraint* Key = Add(T, SystemPrimaryKeyName, ctPrimaryKey, {u"__RowID"});
  Key->SetHidden(true);
  Key->SetEnforcingIndex(Index);
  Key->ResetReferences();
  EXPECT_EQ(Key->GetEnforcingIndex(), Index);
  EXPECT_EQ(Key->GetConstraintColumns()->GetConstraintColumn(0)->GetColumn(), T->GetColumns().GetColumn(0));
  EXPECT_EQ(T->GetConstraints().GetCreateSQL(false, false, false), u"");
  Add(T, u"uq", ctUnique, {u"b"});
  EXPECT_EQ(T->GetConstraints().GetCreateSQL(false, false, false), u"CONSTRAINT \"uq\" UNIQUE (\"b\")");

  // A key of its own replaces the hidden one; the table never has two.
  std::unique_ptr<TORVConstraint> Own(New(T, u"pk", ctPrimaryKey, {u"a"}));
  EXPECT_EQ(test::ErrorOf([&] { T->GetConstraints().Add(Own.get()); }).substr(0, 4), "400 ");
}

TEST_F(ConstraintTest, InformationTablesDescribeTheirColumnsAndIndexes) {
  auto Names = [](const TORVConfigObjectsClass& Class) {
    std::vector<TORVString> Result{Class.TableName};
    for (const TORVTableColumnDef& Column : Class.Description->Columns) Result.push_back(Column.Name);
    return Result;
  };
  EXPECT_EQ(Names(ConstraintsClass()),
            (std::vector<TORVString>{u"Constraints", u"TableName", u"Name", u"Description", u"Type",
                                     u"EnforcingIndex", u"TargetTable", u"TargetTableConstraint", u"UpdateAction",
                                     u"DeleteAction", u"CheckExpr", u"ErrorCode", u"ErrorMessage", u"CreateSQL",
                                     u"DropSQL"}));
  EXPECT_EQ(ConstraintsClass().Description->Columns[7].Length, 15);
  EXPECT_EQ(ConstraintsClass().Description->Indexes[3].Positions, std::vector<int32_t>{6});
  EXPECT_EQ(Names(ConstraintColumnsClass()).size(), 5u);
  EXPECT_EQ(ODBCPrimaryKeysClass().Description->Indexes[0].Positions, (std::vector<int32_t>{1, 2, 3, 5}));
  EXPECT_EQ(Names(ODBCForeignKeysClass())[16], u"ENFORCING_INDEX");
  EXPECT_EQ(ODBCForeignKeysClass().Description->Indexes[1].Positions, (std::vector<int32_t>{1, 2, 3, 9}));
  std::unique_ptr<TORVConfigObjects> Made(ODBCForeignKeysClass().Create(Config.get()));
  EXPECT_NE(dynamic_cast<TORVODBCForeignKeys*>(Made.get()), nullptr);
}

}  // namespace
}  // namespace orv
