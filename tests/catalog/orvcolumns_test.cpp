#include "catalog/orvcolumns.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvindexes.h"
#include "core/orvenv.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

std::vector<int32_t> Offsets(const TORVColumns& Columns) {
  std::vector<int32_t> Result;
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index) Result.push_back(Columns.GetColumn(Index)->GetRowOffset());
  return Result;
}

TEST(Columns, LayOutSlotsAfterTheRowHeader) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddLayoutColumns(Columns);
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 22, 45, 54}));
  EXPECT_EQ(Columns.GetRowsetRowSize(), 57);
  ASSERT_TRUE(Columns.GetHasBlobColumns());
  EXPECT_EQ(Columns.GetBlobColumns()->GetColumn(0)->GetName(), u"Notes");
}

TEST(Columns, ComputedColumnTakesNoSlot) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddTestColumn(Columns, u"ID", dtInteger);
  AddComputedColumn(Columns, u"Twice", dtInteger);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 10);
  AddTestColumn(Columns, u"Notes", dtLargeObject, stBlob);
  AddTestColumn(Columns, u"Flags", dtSmallInt);
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 22, 22, 45, 54}));
  EXPECT_EQ(Columns.GetRowsetRowSize(), 57);
  EXPECT_TRUE(Columns.GetColumn(1)->GetReadOnly());
  ASSERT_NE(Columns.GetColumn(1)->GetComputeExpr(), nullptr);
  EXPECT_EQ(Columns.GetColumn(1)->GetComputeExpr()->GetTypeName(), u"Twice computed column expression");
}

TEST(Columns, LayoutFollowsRemovalAndTheCharacterSet) {
  TORVColumns Columns;  // ANSI: one byte per character
  AddTestColumn(Columns, u"A", dtCharacter, stVarChar, 10);
  AddTestColumn(Columns, u"B", dtCharacter, stChar, 4);
  AddTestColumn(Columns, u"C", dtBytes, stVarByte, 3);
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 30, 35}));
  EXPECT_EQ(Columns.GetRowsetRowSize(), 41);
  TORVConfigObject* First = Columns.GetObjects(0);
  Columns.Delete(0);
  delete First;
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 22}));
  EXPECT_EQ(Columns.GetColumn(1)->GetPosition(), 1);
  EXPECT_EQ(Columns.GetRowsetRowSize(), 28);
}

TEST(Columns, SelectionsLayNothingOut) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"A", dtInteger);
  AddTestColumn(Columns, u"B", dtInteger);
  TORVSelectedColumns Selection;
  Selection.Add(Columns.GetColumn(1));
  EXPECT_EQ(Columns.GetColumn(1)->GetRowOffset(), 22);
  EXPECT_EQ(Columns.GetColumn(1)->GetPosition(), 1);
  EXPECT_EQ(Columns.GetColumn(1)->GetParent(), &Columns);
}

TEST(Columns, NameLookUpRaisesTheNotFoundError) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"Alpha", dtInteger, 0, 0, 7);
  EXPECT_EQ(Columns.FindByName(u"ALPHA ", false), Columns.GetColumn(0));
  EXPECT_EQ(Columns.FindByID(7, false), Columns.GetColumn(0));
  try {
    Columns.FindByName(u"Beta", true);
    FAIL() << "no error";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorCode(), 401);
    EXPECT_EQ(Error.ErrorMsg(), u"The column Beta does not exist");
  }
  TORVIndex Index;
  Index.SetName(u"ByAlpha");
  try {
    Index.GetIndexColumns()->FindByID(3, true);
    FAIL() << "no error";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorMsg(), u"The index column 3 does not exist in the index ByAlpha");
  }
}


TEST(Columns, AComputedColumnAfterTheStoredOnesSitsAtTheEndOfTheRow) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddTestColumn(Columns, u"a", dtInteger);
  TORVColumn* Name = AddTestColumn(Columns, u"b", dtCharacter, stVarChar, 10);
  TORVColumn* Computed = AddComputedColumn(Columns, u"c", dtInteger);
  const int32_t Total = 17 + 5 + Name->GetSize() + 1;
  EXPECT_EQ(Columns.GetRowsetRowSize(), Total);
  EXPECT_EQ(Computed->GetRowOffset(), Total);
  ASSERT_TRUE(Columns.GetHasComputedColumns());
  EXPECT_EQ(Columns.GetComputedColumns()->GetColumn(0), Computed);
  EXPECT_FALSE(Columns.GetHasIdentityColumns());
}

// The table t of a catalog under a configuration with the whole compiler.
class ColumnTest : public ::testing::Test {
 protected:
  ColumnTest() : Config(test::NewRoot()) {
    Config->SetParser(&Parser);
    Config->SetValidater(&Validater);
    Config->SetBuilder(&Builder);
    LoadConfigCollations(Config->GetCollations(), CharacterSetUnicode, Environment());
    Catalog = test::AttachCatalog(*Config, u"Main");
    Table = test::NewTableT(*Catalog);
  }

  TORVColumns& Columns() { return Table->GetColumns(); }

  TORVExprParser Parser;
  TORVExprValidater Validater;
  TORVExprBuilder Builder;
  std::unique_ptr<TORVConfig> Config;
  TORVCatalog* Catalog = nullptr;
  TORVBaseTable* Table = nullptr;
};

TEST_F(ColumnTest, ValidationNamesTheFirstBrokenRule) {
  struct TCase {
    int32_t DataType;
    int32_t SubType;
    int32_t Length;
    int32_t Scale;
    bool Identity;
    int32_t Compression;
    const char* Expected;
  };
  const char* Prefix = "100 There is an error in the metadata for the column a in the table t (";
  const TCase Cases[] = {
      {dtCharacter, stVarChar, 1025, 0, false, 0, "The size is above the maximum of 1024)"},
      {dtCharacter, stVarChar, 0, 0, false, 0, "The size is below the minimum of 1)"},
      {dtBigInt, 0, 0, 0, true, 0, "The data type BigInt is invalid for an identity column)"},
      {dtLargeObject, stBlob, 0, 0, false, 10, "The compression 10 is invalid)"},
      {dtInteger, 0, 0, 0, false, 1, "The compression 1 is invalid)"},
      {dtLargeObject, stClob, 0, 0, false, 9, nullptr},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Expected != nullptr ? Case.Expected : "valid");
    TORVColumn* A = Columns().GetColumn(1);
    A->SetIdentity(false);
    A->SetBlobCompression(0);
    A->SetDataType(Case.DataType);
    A->SetSubType(Case.SubType);
    A->SetLength(Case.Length);
    A->SetScale(Case.Scale);
    A->SetIdentity(Case.Identity);
    A->SetBlobCompression(Case.Compression);
    EXPECT_EQ(test::ErrorOf([&] { A->Validate(); }),
              Case.Expected != nullptr ? std::string(Prefix) + Case.Expected : "no error");
  }
  // The scale setter keeps Decimal scales in range; a stream need not.
  TORVColumn* A = Columns().GetColumn(1);
  A->SetDataType(dtDecimal);
  A->SetScale(4);
  TORVMemoryStream Base(CharacterSetUnicode);
  A->TORVCatalogObject::Save(Base, false);
  TORVMemoryStream Stream(CharacterSetUnicode);
  A->Save(Stream, false);
  Stream.SetPosition(Base.GetSize() + 4 * 4);
  Stream.WriteInteger(5);
  Stream.SetPosition(0);
  A->Load(Stream);
  EXPECT_EQ(test::ErrorOf([&] { A->Validate(); }), std::string(Prefix) + "The scale is above the maximum of 4)");

  TORVColumn* Fresh = static_cast<TORVColumn*>(Columns().GetNewObject());
  Fresh->SetName(u"z");
  EXPECT_EQ(test::ErrorOf([&] { Columns().Add(Fresh); }),
            "100 There is an error in the metadata for the column z in the table t (The data type Unknown is invalid)");
  EXPECT_EQ(Columns().GetCount(), 3);
  delete Fresh;
}

TEST_F(ColumnTest, AnAlwaysIdentityDefinitionReadsBack) {
  TORVColumn* A = Columns().GetColumn(1);
  A->SetIdentity(true);
  A->SetSeedValue(0);
  A->SetIncrementValue(1);
  A->SetRequired(true);
  A->SetErrorCode(1000);
  A->SetErrorMessage(u"Don't leave it empty");
  EXPECT_EQ(A->GetSQL(false),
            u"INTEGER GENERATED ALWAYS AS IDENTITY (START WITH 0, INCREMENT BY 1) NOT NULL ERROR CODE 1000 MESSAGE "
            u"'Don''t leave it empty'");
  A->SetDefaultIdentity(true);
  A->SetDescription(u"Key");
  EXPECT_EQ(A->GetCreateSQL(false, false, false),
            u"\"a\" INTEGER GENERATED BY DEFAULT AS IDENTITY (START WITH 0, INCREMENT BY 1) NOT NULL ERROR CODE "
            u"1000 MESSAGE 'Don''t leave it empty' DESCRIPTION 'Key'");
  EXPECT_EQ(A->GetDropSQL(false, false), u"DROP COLUMN \"a\"");
}

TEST_F(ColumnTest, DefinitionTextNamesTheColumnsOwnCollationOrNone) {
  TORVColumn* B = Columns().GetColumn(2);
  B->SetCollation(1033);
  EXPECT_EQ(B->GetSQL(false), u"VARCHAR(10)");
  Config->SetOnGetInformationCollationName([](int32_t) { return TORVString(u"DEU"); });
  Config->SetOnGetCollationName([](int32_t Collation) { return Collation == 1033 ? u"ENU" : u"?"; });
  EXPECT_EQ(B->GetSQL(false), u"VARCHAR(10) COLLATE \"ENU\"");
}

TEST_F(ColumnTest, AlterTextIsEmptyForAnEqualDefinition) {
  TORVColumn* B = Columns().GetColumn(2);
  TORVColumn Same;
  Same.Assign(B, false);
  B->BuildAlterSQL(1, &Same, u';');
  EXPECT_EQ(B->GetAlterSQL(), u"");
  Same.SetRequired(true);
  B->BuildAlterSQL(1, &Same, u';');
  EXPECT_EQ(B->GetAlterSQL(), u"ALTER COLUMN \"b\" AS VARCHAR(10) NOT NULL DESCRIPTION ''");
  B->BuildAlterSQL(0, nullptr, u';');
  EXPECT_EQ(B->GetAlterSQL(), u"ADD COLUMN \"b\" VARCHAR(10)");
}

TEST_F(ColumnTest, GeneratedAndComputedExcludeEachOtherAndStayReadOnly) {
  TORVColumn* X = AddComputedColumn(Columns(), u"x", dtInteger);
  X->SetGenerated(true);
  EXPECT_FALSE(X->GetComputed());
  EXPECT_EQ(X->GetComputeExpr(), nullptr);
  ASSERT_NE(X->GetGenerateExpr(), nullptr);
  EXPECT_TRUE(X->GetReadOnly());
  EXPECT_EQ(X->GetGenerateExpr()->GetTypeName(), u"x generated column expression");
  X->SetComputed(true);
  EXPECT_FALSE(X->GetGenerated());
  EXPECT_EQ(X->GetGenerateExpr(), nullptr);
  EXPECT_TRUE(X->GetReadOnly());
}

TEST_F(ColumnTest, StreamsKeepTheFieldsTheirVersionHolds) {
  TORVColumn* A = Columns().GetColumn(1);
  A->SetRequired(true);
  A->SetErrorCode(1000);
  A->SetErrorMessage(u"needed");
  A->SetOrigin(u"t.a");
  A->SetOriginKey(true);
  A->SetDefaulted(true);
  A->GetDefaultExpr()->SetExpression(u"7");
  TORVColumn* X = AddTestColumn(Columns(), u"x", dtInteger);
  X->SetGenerated(true);
  X->GetGenerateExpr()->SetExpression(u"a * 2");

  for (const int64_t Version : {int64_t{10000}, int64_t{20500}}) {
    SCOPED_TRACE(Version);
    Catalog->SetVersion(TORVCurrency::FromScaled(Version));
    TORVMemoryStream Stream(CharacterSetUnicode);
    A->Save(Stream, false);
    X->Save(Stream, false);
    Stream.SetPosition(0);
    TORVColumn* CopyA = AddTestColumn(Columns(), u"ca", dtInteger);
    TORVColumn* CopyX = AddTestColumn(Columns(), u"cx", dtInteger);
    CopyA->Load(Stream);
    CopyX->Load(Stream);
    EXPECT_EQ(Stream.GetAvailable(), 0);
    const bool Old = Version == 10000;
    EXPECT_TRUE(CopyA->GetRequired());
    EXPECT_EQ(CopyA->GetErrorCode(), Old ? 0 : 1000);
    EXPECT_EQ(CopyA->GetErrorMessage(), Old ? u"" : u"needed");
    EXPECT_EQ(CopyA->GetOrigin(), u"t.a");
    EXPECT_EQ(CopyA->GetOriginKey(), !Old);
    ASSERT_TRUE(CopyA->GetDefaulted());
    EXPECT_EQ(CopyA->GetDefaultExpr()->GetExpression(), u"7");
    EXPECT_EQ(CopyX->GetGenerated(), !Old);
    EXPECT_EQ(CopyX->GetGenerateExpr() != nullptr, !Old);
    for (TORVColumn* Copy : {CopyA, CopyX}) {
      TORVConfigObjects& List = Columns();
      List.Remove(Copy);
      delete Copy;
    }
  }
}

TEST_F(ColumnTest, OnlyTheComputeTextChangedComparesUnequal) {
  TORVColumn* X = AddComputedColumn(Columns(), u"x", dtInteger);
  X->GetComputeExpr()->SetExpression(u"a + 1");
  TORVColumn Copy;
  Copy.Assign(X, false);
  EXPECT_TRUE(X->Compare(&Copy, true));
  Copy.GetComputeExpr()->SetExpression(u"A + 1  \r\n");
  EXPECT_TRUE(X->Compare(&Copy, true));
  Copy.GetComputeExpr()->SetExpression(u"a + 2");
  EXPECT_FALSE(X->Compare(&Copy, true));
}

TEST_F(ColumnTest, AlterStatesRebuildRowsOnlyForAChangedStoredForm) {
  auto StatesOf = [](TORVColumn& New, TORVColumn& Old) {
    const TORVAlterStates States = New.GetAlterState(&Old);
    std::string Text;
    for (TORVAlterState State : {asColumnsAltered, asColumnAltered, asRebuild, asRebuildRows, asConstraintsAltered,
                                 asCheckConstraintAltered})
      Text += States.Contains(State) ? "1" : "0";
    return Text;
  };
  TORVColumn* X = AddComputedColumn(Columns(), u"x", dtInteger);
  X->GetComputeExpr()->SetExpression(u"a + 1");
  TORVColumn Old;
  Old.Assign(X, false);
  X->GetComputeExpr()->SetExpression(u"a + 2");
  EXPECT_EQ(StatesOf(*X, Old), "110000");

  TORVColumn* D = AddTestColumn(Columns(), u"d", dtDecimal);
  D->SetScale(2);
  TORVColumn OldD;
  OldD.Assign(D, false);
  D->SetScale(3);
  EXPECT_EQ(StatesOf(*D, OldD), "111100");
  D->SetScale(2);
  D->SetRequired(true);
  EXPECT_EQ(StatesOf(*D, OldD), "110011");

  TORVColumn* L = AddTestColumn(Columns(), u"l", dtLargeObject, stBlob);
  TORVColumn OldL;
  OldL.Assign(L, false);
  L->SetSubType(stClob);
  EXPECT_EQ(StatesOf(*L, OldL), "111100");
}

TEST_F(ColumnTest, ComputedExpressionsMayNotCallStoredFunctionsButDefaultsMay) {
  TORVColumn* X = AddComputedColumn(Columns(), u"x", dtInteger);
  X->GetComputeExpr()->SetExpression(u"Twice(a)");
  const std::string Refused = test::ErrorOf([&] { X->Compile(); });
  EXPECT_EQ(Refused.substr(0, 4), "700 ");
  EXPECT_NE(Refused.find("user-defined function"), std::string::npos) << Refused;
  EXPECT_FALSE(X->GetComputeExpr()->GetCompiled());

  // The default parses the call and goes on to look the function up.
  TORVColumn* Y = AddTestColumn(Columns(), u"y", dtInteger);
  Y->SetDefaulted(true);
  Y->GetDefaultExpr()->SetExpression(u"Twice(a)");
  const std::string LookedUp = test::ErrorOf([&] { Y->Compile(); });
  EXPECT_EQ(LookedUp.find("user-defined function"), std::string::npos) << LookedUp;
}

TEST_F(ColumnTest, CompilingRecordsWhichColumnsAnExpressionReads) {
  TORVColumn* A = Columns().GetColumn(1);
  TORVColumn* X = AddComputedColumn(Columns(), u"x", dtInteger);
  X->GetComputeExpr()->SetExpression(u"a + a * 2");
  Columns().Compile();
  ASSERT_NE(X->GetReferencedColumns(), nullptr);
  ASSERT_EQ(X->GetReferencedColumns()->GetCount(), 1);
  EXPECT_EQ(X->GetReferencedColumns()->GetColumn(0), A);
  ASSERT_TRUE(A->GetHasReferencingColumns());
  EXPECT_EQ(A->GetReferencingColumns()->GetColumn(0), X);

  // The read column's dependents and its rename reach the expression.
  X->AddDependenciesToObject(A);
  ASSERT_TRUE(A->GetHasDependencies());
  EXPECT_EQ(A->GetDependencies()->GetObjects(0), X);
  Catalog->SetModified(false);
  X->RenameDependenciesToObject(A, u"Amount");
  EXPECT_EQ(X->GetComputeExpr()->GetExpression(), u"Amount + Amount * 2");
  EXPECT_TRUE(Catalog->GetModified());

  X->Decompile();
  EXPECT_EQ(X->GetReferencedColumns()->GetCount(), 0);
  EXPECT_FALSE(A->GetHasReferencingColumns());
}

TEST_F(ColumnTest, BaseColumnsFollowOriginsAndALoopEndsInAnError) {
  TORVBaseTable* V1 = test::NewTable(*Catalog, u"v1");
  TORVColumn* Through = AddTestColumn(V1->GetColumns(), u"c", dtInteger);
  TORVColumn* Outside = AddTestColumn(Columns(), u"r", dtInteger);
  Outside->SetOrigin(u"v1.c");
  EXPECT_EQ(Outside->GetBaseColumn(), Through);
  Through->SetOrigin(u"Main.Default.t.a");
  // A stored table's column ends the walk even with an origin of its own.
  EXPECT_EQ(Outside->GetBaseColumn(), Through);
  EXPECT_EQ(Through->GetBaseColumn(), Columns().GetColumn(1));
  EXPECT_EQ(Columns().GetColumn(1)->GetBaseColumn(), Columns().GetColumn(1));

  // Views are followed; two that name each other would walk forever.
  auto* Left = static_cast<TORVView*>(Catalog->GetDefaultSchema()->GetViews().GetNewObject());
  Left->SetName(u"l");
  Catalog->GetDefaultSchema()->GetViews().Add(Left);
  auto* Right = static_cast<TORVView*>(Catalog->GetDefaultSchema()->GetViews().GetNewObject());
  Right->SetName(u"r");
  Catalog->GetDefaultSchema()->GetViews().Add(Right);
  AddTestColumn(Left->GetColumns(), u"x", dtInteger)->SetOrigin(u"r.x");
  AddTestColumn(Right->GetColumns(), u"x", dtInteger)->SetOrigin(u"l.x");
  EXPECT_EQ(test::ErrorOf([&] { Left->GetColumns().GetColumn(0)->GetBaseColumn(); }),
            "100 There is an error in the metadata for the column x in the view l (The origins of the column form a "
            "loop)");
  Outside->SetOrigin(u"Nowhere.Default.t.a");
  EXPECT_EQ(test::ErrorOf([&] { Outside->GetBaseColumn(); }), "401 The database Nowhere does not exist");
}

TEST(ColumnExpressions, OutsideACatalogDefaultsStayUnparsedAndNamesBindToTheList) {
  TORVExprParser Parser;
  TORVExprValidater Validater;
  TORVColumns Columns;
  Columns.SetParser(&Parser);
  Columns.SetValidater(&Validater);
  AddTestColumn(Columns, u"ID", dtInteger);
  TORVColumn* Twice = AddComputedColumn(Columns, u"Twice", dtInteger);
  Twice->GetComputeExpr()->SetExpression(u"ID * 2");
  Twice->Compile();
  TORVExprToken* ID = Twice->GetComputeExpr()->FTokens->GetLeftToken();
  ASSERT_EQ(ID->FTokenType, ttCOLUMNREF);
  EXPECT_EQ(ID->FPosition, 0);
  EXPECT_EQ(ID->FDataType, dtInteger);
  EXPECT_TRUE(Twice->GetComputeExpr()->IsRemoteColumn());

  TORVColumn* Later = AddTestColumn(Columns, u"Later", dtInteger);
  Later->SetDefaulted(true);
  Later->GetDefaultExpr()->SetExpression(u"1 +");
  Later->Compile();
  EXPECT_EQ(Later->GetDefaultExpr()->FTokens, nullptr);

  TORVColumn* Bad = AddComputedColumn(Columns, u"Bad", dtInteger);
  Bad->GetComputeExpr()->SetExpression(u"Nope + 1");
  EXPECT_EQ(test::ErrorOf([&] { Bad->Compile(); }),
            "700 An error was found in the Bad computed column expression at line 1 and column 1 (The column Nope "
            "does not exist)");
}

}  // namespace
}  // namespace orv
