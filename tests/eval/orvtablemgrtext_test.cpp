#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "catalog/orvindexes.h"
#include "eval/orvtablemgr.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexnav.h"
#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::AddTestIndex;
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

}  // namespace
}  // namespace orv
