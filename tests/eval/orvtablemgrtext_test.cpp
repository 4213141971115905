#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "catalog/orvconfig.h"
#include "catalog/orvindexes.h"
#include "catalog/orvmodule.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvwordgen.h"
#include "eval/orvtablemgr.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexnav.h"
#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::AddTestIndex;
using test::ErrorOf;
using test::TModelRows;
using test::TTableConnection;
using test::TTableShape;

// t with a text index over name, after ById and ByName.
constexpr int32_t WordsIndex = 2;

using TTextKeys = std::vector<std::pair<TORVString, int32_t>>;

class TextIndexUpkeep : public test::TableFolderTest {
 protected:
  TTableConnection& TextSession() {
    TTableShape Shape;
    Shape.Configure = [](TORVBaseTable& Table) { AddTestIndex(&Table, u"Words", itTextIndex, {u"name"}); };
    return OpenSession(Shape);
  }

  // Every (word, row ID) key of the text index, in index order.
  static TTextKeys KeysOf(TTableConnection& Session) {
    Session.Manager->CheckForChanges(false);
    TTextKeys Keys;
    TORVIndexNavigator& Navigator = Session.Manager->GetIndexNavigator(WordsIndex);
    bool FoundChanges = false;
    for (bool On = Navigator.First(FoundChanges); On; On = Navigator.Next(FoundChanges))
      Keys.emplace_back(Navigator.GetKey().GetItems(0)->GetAsString(), Navigator.GetKey().GetRowID());
    Session.Manager->UnlockObject(ltRead);
    return Keys;
  }

  // Takes the key of Word for the row RowID out of the text index alone,
  // as a damaged index file would lack it.
  static void DropKey(TTableConnection& Session, const TORVString& Word, int32_t RowID) {
    const int32_t Number = Session.Find(RowID);
    Session.Manager->CheckForChanges(false);
    TORVIndexKeyValues& Keys = Session.Manager->GetKeyValues(WordsIndex);
    Keys.GetItems(0)->SetAsString(Word);
    Keys.SetRowID(RowID);
    Session.Manager->StartWriting();
    Session.Manager->GetIndexNavigator(WordsIndex).Delete(Keys, Number);
    Session.Manager->Write(false);
    Session.Manager->UnlockObject(ltRead);
  }
};

// The test module library Library of the session's configuration under
// Name.
void AddModule(TTableConnection& Session, const TORVString& Name, const TORVString& Library) {
  TORVConfig& Config = *Session.Database.Catalog().Config;
  Config.SetPath(u"" ORV_TEST_MODULE_DIR);
  auto Module = std::make_unique<TORVModule>(&Config);
  Module->SetName(Name);
  Module->SetPath(Library + u".so");
  Module->SetLockSlot(Config.GetNewModuleLockSlot());
  Config.GetModules().Add(Module.release());
}

// The text index splits its words through the test module's generator,
// which ends a word only at a blank (and refuses to move past "stuck").
void SplitAtBlanks(TTableConnection& Session) {
  AddModule(Session, u"words", u"orvtm_wordgen");
  TORVConfig& Config = *Session.Database.Catalog().Config;
  auto Generator = std::make_unique<TORVWordGenerator>(&Config);
  Generator->SetName(u"blanks");
  Generator->SetModuleName(u"words");
  TORVWordGenerator* Blanks = Generator.get();
  Config.GetWordGenerators().Add(Generator.release());
  Session.Table->GetIndexes().GetIndex(WordsIndex)->SetWordGenerator(Blanks);
}

TEST_F(TextIndexUpkeep, EachDistinctWordOfATextGetsOneKey) {
  TTableConnection& Session = TextSession();
  const int32_t Empty = Session.Insert({1, u"", 1});
  const int32_t Blank = Session.Insert({2, u"   ", 2});
  const int32_t Words = Session.Insert({3, u"alpha beta alpha", 3});
  EXPECT_EQ(KeysOf(Session), (TTextKeys{{u"alpha", Words}, {u"beta", Words}}));
  Session.Delete(Words);
  Session.Delete(Empty);
  Session.Delete(Blank);
  EXPECT_TRUE(KeysOf(Session).empty());
}

TEST_F(TextIndexUpkeep, AChangedTextSwapsOnlyTheWordsThatDiffer) {
  TTableConnection& Session = TextSession();
  const int32_t Row = Session.Insert({1, u"alpha beta", 1});
  const int32_t Other = Session.Insert({2, u"beta", 2});
  // A key that only the untouched word had: an update that rewrote every
  // key would bring it back.
  DropKey(Session, u"beta", Row);
  Session.Update(Row, u"beta gamma", 5);
  EXPECT_EQ(KeysOf(Session), (TTextKeys{{u"beta", Other}, {u"gamma", Row}}));
  // An update that leaves the text alone leaves the keys alone.
  Session.Update(Row, TORVString(), 6);
  EXPECT_EQ(KeysOf(Session), (TTextKeys{{u"beta", Other}, {u"gamma", Row}}));
}

TEST_F(TextIndexUpkeep, VerificationFindsARowWithAMissingWordKey) {
  TTableConnection& Session = TextSession();
  const int32_t Row = Session.Insert({1, u"one two three", 1});
  const int32_t Number = Session.Find(Row);
  auto Verified = [&] {
    Session.Find(Row);
    Session.Manager->CheckForChanges(false);
    const bool Result = Session.Manager->VerifyExistingKey(*Session.Values, Number, WordsIndex);
    Session.Manager->UnlockObject(ltRead);
    return Result;
  };
  EXPECT_TRUE(Verified());
  DropKey(Session, u"two", Row);
  EXPECT_FALSE(Verified());
}

TEST_F(TextIndexUpkeep, BuildingATextIndexKeysEveryLiveRow) {
  TTableConnection& Session = OpenSession();
  const int32_t First = Session.Insert({1, u"red green", 1});
  const int32_t Gone = Session.Insert({2, u"blue", 2});
  const int32_t Second = Session.Insert({3, u"green", 3});
  Session.Delete(Gone);
  AddTestIndex(Session.Table, u"Words", itTextIndex, {u"name"});
  ASSERT_TRUE(Session.Manager->CreateIndex(WordsIndex, false));
  EXPECT_EQ(KeysOf(Session), (TTextKeys{{u"green", First}, {u"green", Second}, {u"red", First}}));
}

TEST_F(TextIndexUpkeep, AWordGeneratorThatNeverAdvancesFailsTheInsertAndLeavesTheTable) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) { AddTestIndex(&Table, u"Words", itTextIndex, {u"name"}); };
  TTableConnection& Session = NewSession(Shape);
  SplitAtBlanks(Session);
  Session.Open();
  const int32_t Row = Session.Insert({1, u"alpha beta", 1});
  const TModelRows Rows = Session.Scan();
  const TTextKeys Keys = KeysOf(Session);
  EXPECT_EQ(Keys, (TTextKeys{{u"alpha", Row}, {u"beta", Row}}));
  // The module hands back "stuck" without moving on: the row is refused
  // instead of the insert looping.
  EXPECT_EQ(ErrorOf([&] { Session.Insert({2, u"one stuck two", 2}); }),
            "202 An error occurred with the module words (Module execution error: The module returned a word without "
            "moving past position 4)");
  EXPECT_EQ(Session.Scan(), Rows);
  EXPECT_EQ(KeysOf(Session), Keys);
  const test::TVerifyRun Run = test::VerifyTable(Session, false);
  EXPECT_FALSE(Run.FoundErrors) << test::Joined(Run.Findings);
}

TEST_F(TextIndexUpkeep, ChangingOnlyTheFilterTypeLeavesTheKeys) {
  // kind names the filter type; the test filter writes a text as its length,
  // a colon and the text, so that filtered and unfiltered words differ.
  constexpr int32_t KindColumn = 4;
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) {
    TORVColumn* Kind = AddTestColumn(Table.GetColumns(), u"kind", dtCharacter, stVarChar, 10, 40);
    AddTestIndex(&Table, u"Words", itTextIndex, {u"name"})->SetTextFilterTypeColumn(Kind);
  };
  TTableConnection& Session = NewSession(Shape);
  SplitAtBlanks(Session);
  AddModule(Session, u"lengths", u"orvtm_filter");
  TORVConfig& Config = *Session.Database.Catalog().Config;
  auto Filter = std::make_unique<TORVTextFilter>(&Config);
  Filter->SetName(u"counted");
  Filter->SetModuleName(u"lengths");
  Filter->SetFilterType(u"txt");
  Config.GetTextFilters().Add(Filter.release());
  Session.Open();
  TORVRowsetRowValues& Fresh = Session.NewValues({1, u"alpha beta", 1});
  Fresh.GetItems(KindColumn)->SetAsString(u"txt");
  Session.InsertValues(Fresh, false);
  const int32_t Row = Fresh.GetItems(0)->GetAsInteger();
  const TTextKeys Filtered = KeysOf(Session);
  EXPECT_EQ(Filtered, (TTextKeys{{u"10:alpha", Row}, {u"beta", Row}}));

  const int32_t Number = Session.Find(Row);
  int32_t Counter = Session.Row->GetUpdateCounter();
  const int32_t Version = Session.Row->GetVersion();
  Session.Manager->LockAndRefresh(&Session.User, Number, Version, Counter, Row, false, false, false);
  Session.Values->GetItems(KindColumn)->SetAsString(u"raw");
  Session.Manager->UpdateRow(*Session.Values, Number, Version, Counter);
  Session.Manager->Unlock(Number);
  EXPECT_EQ(KeysOf(Session), Filtered);
}

}  // namespace
}  // namespace orv
