#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "local/orvlocaldbmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaltest.h"
#include "tests/support/orvstubdbmgr.h"

namespace orv {
namespace {

using test::LocalEvalTest;

class TTextDatabase : public TStubDatabaseManager<TORVLocalDatabaseManager> {};

// docs (__RowID, body VARCHAR(100)) with a text index on body, and the
// updateable view v whose column text is docs' body renamed. Each row's
// body is the current row's item 1, which both tables read.
class TextSearch : public LocalEvalTest {
 protected:
  void SetUp() override {
    Docs = test::NewTable(Catalog, u"docs");
    AddTestColumn(Docs->GetColumns(), u"body", dtCharacter, stVarChar, 100);
    AddTestColumn(Docs->GetColumns(), u"plain", dtCharacter, stVarChar, 100);
    TORVViews& Views = Catalog.GetDefaultSchema()->GetViews();
    std::unique_ptr<TORVView> Made(static_cast<TORVView*>(Views.GetNewObject(nullptr)));
    Made->SetName(u"v");
    Made->GetDefinition().SetExpression(u"SELECT body AS text FROM docs");
    AddTestColumn(Made->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
    AddTestColumn(Made->GetColumns(), u"text", dtCharacter, stVarChar, 100)->SetOrigin(u"docs.body");
    Views.Add(Made.get());
    Made.release()->SetUpdateable(true);
    Database.FCatalog = &Catalog;
    Row = std::make_unique<TTestRow>(CharacterSetUnicode, Docs->GetColumns());
    Row->Values->CreateValueObjects();
    Context.SetDatabaseManager(&Database);
    Context.FCurrentRowValues = Row->Values.get();
    Scope = std::make_unique<TORVContextScope>(Evaluator, Context);
  }
  void TearDown() override { Scope.reset(); }

  void Index() { test::AddTestIndex(Docs, u"words", itTextIndex, {u"body"}); }

  // Table.Column CONTAINS [ANY] Search, Column at Position of the row.
  TORVExprToken* Contains(const char16_t* Table, const char16_t* Column, int32_t Position, const char16_t* Search,
                          bool Any) {
    TORVExprToken* Source = Node(ttTABLEREF);
    Source->FName = Table;
    TORVExprToken* Ref = Node(ttCOLUMNREF, toNONE, dtCharacter, stVarChar, 100);
    Ref->FName = Column;
    Ref->FSourceToken = Source;
    Ref->FPosition = Position;
    Ref->FCollation = static_cast<TORVColumn*>(Docs->GetColumns().FindByName(u"body", true))->GetCollation();
    TORVExprToken* Text = Node(ttCONST, toNONE, dtCharacter, stVarChar, 100);
    Text->FTokenConstant = Search;
    TORVExprToken* Token = Node(ttEXTBINARY, Any ? toCONTAINSANY : toCONTAINS, dtBoolean);
    Token->AddArgument(Ref);
    Token->AddArgument(Text);
    return Token;
  }
  // Which of Bodies the search finds, one letter per row: y or n.
  std::string Matches(TORVExprToken* Search, const std::vector<const char16_t*>& Bodies, int32_t Position = 1) {
    std::string Result;
    for (const char16_t* Body : Bodies) {
      Row->Values->GetItems(Position)->SetAsString(Body);
      Result += Text(Search) == "TRUE" ? 'y' : 'n';
    }
    return Result;
  }

  std::unique_ptr<TORVConfig> Config = test::NewRoot();
  TORVCatalog Catalog{Config.get()};
  TORVBaseTable* Docs = nullptr;
  TTextDatabase Database;
  std::unique_ptr<TTestRow> Row;
  TORVEvaluatorContext Context;
  std::unique_ptr<TORVContextScope> Scope;
};

const std::vector<const char16_t*> Bodies = {u"the database is big", u"data base design", u"databases and data",
                                             u"nothing here", u"basement data"};

TEST_F(TextSearch, AllWordsOrAnyWordWithPrefixes) {
  Index();
  EXPECT_EQ(Matches(Contains(u"docs", u"body", 1, u"data base*", false), Bodies), "nynny");
  EXPECT_EQ(Matches(Contains(u"docs", u"body", 1, u"data base", true), Bodies), "nyyny");
  // Stop words only: no search words, so nothing is found by either form.
  EXPECT_EQ(Matches(Contains(u"docs", u"body", 1, u"the and", false), Bodies), "nnnnn");
  EXPECT_EQ(Matches(Contains(u"docs", u"body", 1, u"the and", true), Bodies), "nnnnn");
  // A wildcard inside a word matches as a pattern.
  EXPECT_EQ(Matches(Contains(u"docs", u"body", 1, u"dat*ses", false), Bodies), "nnynn");
}

TEST_F(TextSearch, AColumnWithoutATextIndexContainsNothing) {
  Index();
  EXPECT_EQ(Matches(Contains(u"docs", u"plain", 2, u"data", false), Bodies, 2), "nnnnn");
  EXPECT_EQ(Matches(Contains(u"docs", u"plain", 2, u"data", true), Bodies, 2), "nnnnn");
}

TEST_F(TextSearch, AViewThatRenamesTheColumnFindsWhatTheTableFinds) {
  Index();
  for (bool Any : {false, true}) {
    const std::string OnTable = Matches(Contains(u"docs", u"body", 1, u"data base*", Any), Bodies);
    EXPECT_EQ(Matches(Contains(u"v", u"text", 1, u"data base*", Any), Bodies), OnTable);
  }
}

}  // namespace
}  // namespace orv
