#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvschema.h"
#include "core/orvenv.h"
#include "core/orvstream.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

// A configuration with its compiler and the database Main whose catalog
// holds t (a INTEGER, b VARCHAR(10)).
class ViewTest : public ::testing::Test, public test::TCompilingCatalogs {
 protected:
  ViewTest() {
    Catalog->SetVersion(EngineCatalogVersion);
    Table = test::NewTableT(*Catalog);
  }

  TORVSchema& Default() const { return *Catalog->GetDefaultSchema(); }

  TORVView* AddView(const TORVString& Name, const TORVString& Query) {
    TORVViews& Views = Default().GetViews();
    std::unique_ptr<TORVView> View(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
    View->SetName(Name);
    View->GetDefinition().SetExpression(Query);
    Views.Add(View.get());
    View->GrantDefaultPrivileges();
    return View.release();
  }

  // An index of View named Name on the view columns Keys, all in one
  // direction.
  static TORVIndex* AddViewIndex(TORVView* View, const TORVString& Name, std::initializer_list<const char16_t*> Keys,
                                 bool Descending = false) {
    TORVIndexes& Indexes = View->GetIndexes();
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Indexes.GetNewObject()));
    Index->SetName(Name);
    for (const char16_t* Key : Keys) {
      std::unique_ptr<TORVIndexColumn> Column(
          static_cast<TORVIndexColumn*>(Index->GetIndexColumns()->GetNewObject()));
      Column->SetSourceColumn(static_cast<TORVColumn*>(View->GetColumns().FindByName(Key, true)));
      Column->SetDescending(Descending);
      Index->GetIndexColumns()->Add(Column.release());
    }
    Indexes.Add(Index.get());
    return Index.release();
  }

  TORVBaseTable* Table = nullptr;
};

TEST_F(ViewTest, CreateAndAlterTextsNameTheViewQueryAndChangedClauses) {
  TORVView* View = AddView(u"v", u"SELECT a, b FROM t\r\n");
  EXPECT_EQ(View->GetCreateSQL(false, false, false), u"CREATE VIEW \"v\" AS\r\nSELECT a, b FROM t\r\nVERSION 1.00");
  EXPECT_EQ(View->GetDropSQL(false, false), u"DROP VIEW \"v\"");

  TORVView Target(Config.get(), nullptr, Catalog);
  Target.Assign(View, false);
  View->BuildAlterSQL(1, &Target, u';');
  EXPECT_EQ(View->GetAlterSQL(), u"");
  Target.SetWithCheck(true);
  View->BuildAlterSQL(1, &Target, u';');
  EXPECT_EQ(View->GetAlterSQL(), u"ALTER VIEW \"v\" AS\r\nSELECT a, b FROM t\r\nWITH CHECK OPTION");
  View->SetWithCheck(true);
  Target.SetWithCheck(false);
  Target.SetDescription(u"all of t");
  View->BuildAlterSQL(1, &Target, u';');
  EXPECT_EQ(View->GetAlterSQL(),
            u"ALTER VIEW \"v\" AS\r\nSELECT a, b FROM t\r\nWITHOUT CHECK OPTION\r\nDESCRIPTION 'all of t'");
}

TEST_F(ViewTest, TextsTrimTrailingBlanksAndLineEndsOfDescriptionAndAttributes) {
  TORVView* View = AddView(u"v", u"SELECT a FROM t");
  View->SetDescription(u"all of t\r\n");
  View->SetAttributes(u"k=1\r\n ");
  EXPECT_EQ(View->GetCreateSQL(false, false, false),
            u"CREATE VIEW \"v\" AS\r\nSELECT a FROM t\r\nDESCRIPTION 'all of t'\r\nVERSION 1.00\r\nATTRIBUTES 'k=1'");

  TORVView Target(Config.get(), nullptr, Catalog);
  Target.Assign(View, false);
  Target.SetDescription(u"some of t\r\n");
  Target.SetAttributes(u"k=2 ");
  View->BuildAlterSQL(1, &Target, u';');
  EXPECT_EQ(View->GetAlterSQL(),
            u"ALTER VIEW \"v\" AS\r\nSELECT a FROM t\r\nDESCRIPTION 'some of t'\r\nATTRIBUTES 'k=2'");
}

TEST_F(ViewTest, UpdateableViewRefusesIndexes) {
  TORVView* View = AddView(u"v", u"SELECT a FROM t");
  EXPECT_NO_THROW(View->CheckIndexable());
  View->SetUpdateable(true);
  EXPECT_EQ(test::ErrorOf([&] { View->CheckIndexable(); }),
            "902 An error occurred with the view v (You cannot create an index on an updateable view)");
}

TEST_F(ViewTest, RenamingATableTheViewReadsRewritesItsText) {
  TORVView* View = AddView(u"v", u"SELECT a, b FROM t WHERE a > 1");
  TORVView* Other = AddView(u"w", u"SELECT 1 FROM v");
  Catalog->SetModified(false);
  Other->RenameDependenciesToObject(Table, u"u");
  View->RenameDependenciesToObject(Table, u"u");
  EXPECT_EQ(View->GetDefinition().GetExpression(), u"SELECT a, b FROM u WHERE a > 1");
  EXPECT_EQ(Other->GetDefinition().GetExpression(), u"SELECT 1 FROM v");
  EXPECT_TRUE(Catalog->GetModified());
}

TEST_F(ViewTest, ViewsShareTheTablesNameSpace) {
  AddView(u"v", u"SELECT a FROM t");
  for (const TORVString Name : {u"T", u"v"}) {
    std::unique_ptr<TORVView> View(static_cast<TORVView*>(Default().GetViews().GetNewObject(nullptr)));
    View->SetName(Name);
    EXPECT_EQ(test::ErrorOf([&] { Default().GetViews().Add(View.get()); }).substr(0, 4), "400 ");
  }
  // Derived tables name no schema in their own duplicates.
  TORVViews& Derived = Default().GetTemporaryViews();
  std::unique_ptr<TORVView> First(static_cast<TORVView*>(Derived.GetNewObject(nullptr)));
  First->SetName(u"d");
  Derived.Add(First.get());
  First.release();
  std::unique_ptr<TORVView> Second(static_cast<TORVView*>(Derived.GetNewObject(nullptr)));
  Second->SetName(u"D");
  EXPECT_EQ(test::ErrorOf([&] { Derived.Add(Second.get()); }), "400 The derived table d already exists");
  Second->SetName(u"v");
  EXPECT_EQ(test::ErrorOf([&] { Derived.Add(Second.get()); }), "400 The view v already exists in the schema Default");
}

TEST_F(ViewTest, ViewsRoundTripThroughTheCatalogStream) {
  TORVView* View = AddView(u"v", u"SELECT a FROM t");
  View->SetWithCheck(true);
  View->SetUserVersion(TORVCurrency::FromScaled(12500));
  TORVMemoryStream Stream(CharacterSetUnicode);
  Catalog->Save(Stream, false);
  auto Copy = test::AttachCatalog(*Config, u"Copy");
  Stream.SetPosition(0);
  Copy->Load(Stream);
  auto* Loaded = static_cast<TORVView*>(Copy->GetDefaultSchema()->GetViews().FindByName(u"v", true));
  EXPECT_TRUE(Loaded->Compare(View, true));
  EXPECT_TRUE(Loaded->GetWithCheck());
  EXPECT_EQ(Loaded->GetCreateSQL(false, false, false),
            u"CREATE VIEW \"v\" AS\r\nSELECT a FROM t\r\nWITH CHECK OPTION\r\nVERSION 1.25");
}

TEST_F(ViewTest, DerivedTablesBecomeNumberedTemporaryViewsUntilTheStatementUnbinds) {
  std::vector<TORVString> Added;
  int32_t Removed = 0;
  Catalog->SetOnAddTemporaryView([&](TORVView* View) { Added.push_back(View->GetName()); });
  Catalog->SetOnRemoveTemporaryView([&](TORVView*& View) {
    ++Removed;
    Default().GetTemporaryViews().Remove(View);
    delete View;
    View = nullptr;
  });
  auto Statement = std::make_unique<TORVCatalogStatement>(Table);
  Statement->SetCatalog(Catalog);
  Statement->SetExpression(
      u"SELECT 1 FROM (SELECT a FROM t) x WHERE EXISTS (SELECT 1 FROM (SELECT b FROM t) x)");
  Statement->Compile();
  EXPECT_EQ(Added, (std::vector<TORVString>{u"x1", u"x2"}));
  EXPECT_EQ(Default().GetTemporaryViews().GetCount(), 2);
  TORVView* First = Default().GetTemporaryViews().GetView(0);
  EXPECT_EQ(First->GetTypeName(), u"derived table");
  EXPECT_EQ(First->GetInternalName(), u"x");
  EXPECT_TRUE(First->GetReferencedTables().GetCount() == 0);
  Catalog->SetModified(false);
  Statement->Decompile();
  EXPECT_EQ(Removed, 2);
  EXPECT_EQ(Default().GetTemporaryViews().GetCount(), 0);
  EXPECT_FALSE(Catalog->GetModified());
}

TEST_F(ViewTest, CompilingDerivesColumnsAndTheUpdateableFlagFromTheQuery) {
  TORVView* View = AddView(u"v", u"SELECT a, b AS c FROM t");
  View->Compile();
  EXPECT_TRUE(View->GetUpdateable());
  TORVColumns& Columns = View->GetColumns();
  ASSERT_EQ(Columns.GetCount(), 3);
  EXPECT_EQ(Columns.GetColumn(1)->GetName(), u"a");
  EXPECT_EQ(Columns.GetColumn(1)->GetDataType(), dtInteger);
  EXPECT_EQ(Columns.GetColumn(2)->GetName(), u"c");
  EXPECT_EQ(Columns.GetColumn(2)->GetDataType(), dtCharacter);
  EXPECT_EQ(Columns.GetColumn(2)->GetSubType(), stVarChar);
  EXPECT_EQ(Columns.GetColumn(2)->GetLength(), 10);

  // Grouping makes the view read-only; the rebuild is no catalog change.
  View->GetDefinition().SetExpression(u"SELECT b, COUNT(*) AS n FROM t GROUP BY b");
  Catalog->SetModified(false);
  View->Compile();
  EXPECT_FALSE(View->GetUpdateable());
  ASSERT_EQ(Columns.GetCount(), 3);
  EXPECT_EQ(Columns.GetColumn(1)->GetName(), u"b");
  EXPECT_EQ(Columns.GetColumn(2)->GetName(), u"n");
  EXPECT_FALSE(Catalog->GetModified());
  EXPECT_NO_THROW(View->CheckIndexable());
}

TEST_F(ViewTest, CompilingAnUnchangedViewKeepsItsColumnsAndTheCatalogUnmodified) {
  TORVView* View = AddView(u"v", u"SELECT a, b FROM t");
  for (int Pass = 0; Pass < 2; ++Pass) {
    Catalog->SetModified(false);
    View->Decompile();
    View->Compile();
    EXPECT_FALSE(Catalog->GetModified()) << Pass;
  }
  EXPECT_TRUE(View->GetUpdateable());
}

TEST_F(ViewTest, AHiddenSelectItemWithTheSameVisibleColumnsKeepsTheStoredColumns) {
  TORVView* View = AddView(u"v", u"SELECT b FROM t ORDER BY b");
  View->Compile();
  ASSERT_FALSE(View->GetUpdateable());
  ASSERT_EQ(View->GetColumns().GetCount(), 2);
  TORVColumn* Stored = View->GetColumns().GetColumn(1);
  // ORDER BY a selects a as a hidden item.
  View->GetDefinition().SetExpression(u"SELECT b FROM t ORDER BY a");
  View->Compile();
  EXPECT_FALSE(View->GetUpdateable());
  ASSERT_EQ(View->GetColumns().GetCount(), 2);
  EXPECT_EQ(View->GetColumns().GetColumn(1), Stored);
}

TEST_F(ViewTest, ResultTableTakesTheViewsIndexesOnItsOwnColumns) {
  TORVView* View = AddView(u"v", u"SELECT b, COUNT(*) AS n FROM t GROUP BY b");
  View->Compile();
  ASSERT_FALSE(View->GetUpdateable());
  AddViewIndex(View, u"ib", {u"b"}, true);

  TORVBaseTable Result(Config.get());
  Result.SetName(u"r");
  Catalog->BuildResultTable(View->GetDefinition().FTokens, &Result, false, false);
  View->CreateResultTableIndexes(&Result);
  auto* Copy = static_cast<TORVIndex*>(Result.GetIndexes().FindByName(u"ib", true));
  ASSERT_EQ(Copy->GetIndexColumns()->GetCount(), 1);
  TORVIndexColumn* Copied = Copy->GetIndexColumns()->GetIndexColumn(0);
  EXPECT_EQ(Copied->GetSourceColumn(), Result.GetColumns().FindByName(u"b", true));
  EXPECT_TRUE(Copied->GetDescending());
}

// Whether a view takes an index follows from its compiled query: a live
// view refuses it, a grouped one passes it on to its result table, whose
// index pages grow to hold the key.
TEST_F(ViewTest, OnlyAReadOnlyViewTakesAnIndexAndItsResultTablePagesFitTheKey) {
  TORVBaseTable* Wide = test::NewTable(*Catalog, u"w");
  AddTestColumn(Wide->GetColumns(), u"a", dtInteger);
  for (const char16_t* Name : {u"k", u"l"}) AddTestColumn(Wide->GetColumns(), Name, dtCharacter, stVarChar, 1024);

  TORVView* Live = AddView(u"v", u"SELECT k, l FROM w");
  Live->Compile();
  ASSERT_TRUE(Live->GetUpdateable());
  EXPECT_EQ(test::ErrorOf([&] { Live->CheckIndexable(); }),
            "902 An error occurred with the view v (You cannot create an index on an updateable view)");

  TORVView* Grouped = AddView(u"g", u"SELECT a, MAX(k) AS k, MAX(l) AS l FROM w GROUP BY a");
  Grouped->Compile();
  ASSERT_FALSE(Grouped->GetUpdateable());
  EXPECT_NO_THROW(Grouped->CheckIndexable());
  AddViewIndex(Grouped, u"ikl", {u"k", u"l"});

  // The result table is a temporary table of the schema, as the view's
  // query manager makes it.
  auto& Temporary = Default().GetTemporaryTables();
  std::unique_ptr<TORVBaseTable> Owned(static_cast<TORVBaseTable*>(Temporary.GetNewObject(nullptr)));
  Owned->SetName(u"r");
  Temporary.Add(Owned.get());
  TORVBaseTable* Result = Owned.release();
  Catalog->BuildResultTable(Grouped->GetDefinition().FTokens, Result, false, false);
  const int32_t PageSizeBefore = Result->GetIndexPageSize();
  Grouped->CreateResultTableIndexes(Result);
  auto* Copy = static_cast<TORVIndex*>(Result->GetIndexes().FindByName(u"ikl", true));
  ASSERT_EQ(Copy->GetIndexColumns()->GetCount(), 2);
  const int32_t Required = Copy->GetIndexColumns()->GetRequiredPageSize();
  ASSERT_GT(Required, PageSizeBefore);
  EXPECT_GE(Result->GetIndexPageSize(), Required);
  EXPECT_EQ(Result->GetIndexPageSize() % GetDefaultPageSize(Result->GetTableCharacterSet()), 0);
  EXPECT_NO_THROW(Copy->Validate());
}

// A view whose query changes derives its columns again and so loses its
// indexes: the ALTER text creates the new view's visible indexes after it.
TEST_F(ViewTest, AlterTextRecreatesTheIndexesOnlyWhenTheQueryChanges) {
  const TORVString Query = u"SELECT b, COUNT(*) AS n FROM t GROUP BY b";
  TORVView* View = AddView(u"v", Query);
  View->Compile();
  AddViewIndex(View, u"ib", {u"b"}, true);
  AddViewIndex(View, u"in", {u"n"});
  AddViewIndex(View, u"hidden", {u"n"})->SetHidden(true);

  struct TCase {
    TORVString Query;
    bool WithCheck;
    char16_t Terminator;
    TORVString Expected;
  };
  const TORVString Indexes = u"CREATE INDEX \"ib\" ON \"v\" (\"b\" DESC);\r\n\r\nCREATE INDEX \"in\" ON \"v\" (\"n\")";
  const std::vector<TCase> Cases = {
      {Query, true, u';', u"ALTER VIEW \"v\" AS\r\n" + Query + u"\r\nWITH CHECK OPTION"},
      {u"SELECT b, COUNT(a) AS n FROM t GROUP BY b", false, u';',
       u"ALTER VIEW \"v\" AS\r\nSELECT b, COUNT(a) AS n FROM t GROUP BY b;\r\n\r\n" + Indexes},
      {u"SELECT b, COUNT(a) AS n FROM t GROUP BY b", true, u'!',
       u"ALTER VIEW \"v\" AS\r\nSELECT b, COUNT(a) AS n FROM t GROUP BY b\r\nWITH CHECK OPTION!\r\n\r\n"
       u"CREATE INDEX \"ib\" ON \"v\" (\"b\" DESC)!\r\n\r\nCREATE INDEX \"in\" ON \"v\" (\"n\")"},
      // Texts that differ in case alone are the same view: only the index
      // statements remain, with nothing to separate them from.
      {u"select b, COUNT(*) AS n FROM t GROUP BY b", false, u';', Indexes},
  };
  for (const TCase& Case : Cases) {
    TORVView Target(Config.get(), nullptr, Catalog);
    Target.Assign(View, false);
    Target.GetDefinition().SetExpression(Case.Query);
    Target.SetWithCheck(Case.WithCheck);
    View->BuildAlterSQL(1, &Target, Case.Terminator);
    EXPECT_EQ(View->GetAlterSQL(), Case.Expected) << StringToUtf8(Case.Query);
  }
}

// A copy of the table a view reads (as maintenance makes one) with the
// same ID gets a new ID: the view's reference follows it; a new ID of
// another table leaves the reference alone.
TEST_F(ViewTest, ReferencedTablesFollowANewIDOfTheTableTheViewReads) {
  TORVView* View = AddView(u"v", u"SELECT a FROM t");
  View->Compile();
  ASSERT_EQ(View->GetReferencedTables().GetCount(), 1);
  TORVBaseTable Twin(Config.get());
  Twin.SetID(Table->GetID());
  const int32_t NewID = Table->GetID() + 1000;

  View->ResetDependenciesToObject(&Twin, NewID);
  ASSERT_EQ(View->GetReferencedTables().GetCount(), 1);
  EXPECT_EQ(View->GetReferencedTables().GetObjects(0), Table);
  EXPECT_EQ(Table->GetID(), NewID);

  TORVBaseTable* Other = test::NewTable(*Catalog, u"o");
  View->ResetDependenciesToObject(Other, NewID + 1);
  EXPECT_EQ(Table->GetID(), NewID);
}

// A live view over a table of another database names that database in
// its columns' origins, so that they lead back to the table it reads, not
// to a table of the same name in the view's own database.
TEST_F(ViewTest, LiveViewOverAnotherDatabaseBindsToThatDatabasesTable) {
  TORVColumn* Read = nullptr;
  for (TORVCatalog* Holder : {Other, Catalog}) {
    TORVColumn* X = AddTestColumn(test::NewTable(*Holder, u"u")->GetColumns(), u"x", dtInteger);
    if (Holder == Other) Read = X;
  }
  TORVView* View = AddView(u"v", u"SELECT x FROM Other.u");
  View->Compile();
  EXPECT_TRUE(View->GetUpdateable());
  TORVColumn* Column = View->GetColumns().GetColumn(1);
  EXPECT_EQ(Column->GetOrigin(), u"Other.Default.u.x");
  EXPECT_EQ(Column->GetBaseColumn(), Read);
}

// Compiling a view reads the catalogs of the databases its query names;
// a compile that fails while deriving the columns still releases them.
TEST_F(ViewTest, CompilingAViewReleasesTheDatabasesItReadAlsoWhenItsColumnsCannotBeDerived) {
  int32_t Begins = 0;
  int32_t Ends = 0;
  Config->SetOnBeginReadCatalog([&](TORVDatabaseContainer*) { ++Begins; });
  Config->SetOnEndReadCatalog([&](TORVDatabaseContainer*) { ++Ends; });
  AddTestColumn(test::NewTable(*Other, u"u")->GetColumns(), u"x", dtInteger);
  TORVView* View = AddView(u"v", u"SELECT x FROM Other.u");
  View->Compile();
  EXPECT_EQ(Begins, 1);
  EXPECT_EQ(Ends, 1);

  View->GetDefinition().SetExpression(u"SELECT x AS " + TORVString(100, u'n') + u" FROM Other.u");
  EXPECT_EQ(test::ErrorOf([&] { View->Compile(); }).substr(0, 4), "406 ");
  EXPECT_EQ(Begins, 2);
  EXPECT_EQ(Ends, 2);
}

}  // namespace
}  // namespace orv
