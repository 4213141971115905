#include "storage/orvindexkey.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/orvbitmap.h"
#include "core/orvtypefunc.h"
#include "storage/orvindexpage.h"
#include "tests/storage/orvindextestfiles.h"
#include "tests/support/orvindexfakes.h"

namespace orv {
namespace {

constexpr int32_t kPageSize = 512;

// A page of an index and a key cursor standing on it.
struct TKeyOnPage {
  TKeyOnPage(TTestIndexColumns& Columns, std::unique_ptr<TORVIndex> IndexToUse)
      : Index(std::move(IndexToUse)),
        Session(Columns.CharacterSet, kPageSize),
        PagePointer(Session.NewPage(Index.get())),
        Key(Columns.CharacterSet, Index.get()) {
    Key.SetIndexPage(&Page);
  }

  void Insert(TTestIndexColumns& Columns, int32_t N, int32_t RowID, int32_t Number) {
    TTestKeyValues Values(Columns.CharacterSet, Index.get());
    Values.Integer(N).RowID(RowID);
    Page.InsertKey(Values.Key, Number, Key);
  }

  std::unique_ptr<TORVIndex> Index;
  test::TIndexFileSession Session;
  std::unique_ptr<TORVIndexPage> PagePointer;
  TORVIndexPage& Page{*PagePointer};
  TORVIndexKey Key;
};

TEST(IndexKey, ValuesLieAtTheirColumnOffsetsAndKeySizeIsTheirSum) {
  TTestIndexColumns Columns(CharacterSetUnicode);
  auto Index = Columns.MakeIndex(itIndex, {0, 1, 2});
  TORVIndexKey Key(CharacterSetUnicode, Index.get());
  // Integer 4 + 1, VarChar(6) 2 + 12 + 1, Char(3) 6 + 1.
  EXPECT_EQ(Key.GetKeyValue(0)->GetKeyOffset(), 0);
  EXPECT_EQ(Key.GetKeyValue(1)->GetKeyOffset(), 5);
  EXPECT_EQ(Key.GetKeyValue(2)->GetKeyOffset(), 20);
  EXPECT_EQ(Key.GetKeySize(), 27);
  EXPECT_EQ(CalculateIndexKeySize(*Index, CharacterSetUnicode), 27);
  EXPECT_TRUE(Key.GetOwnsValues());

  auto Text = Columns.MakeIndex(itTextIndex, {1});
  TORVIndexKey Word(CharacterSetUnicode, Text.get());
  EXPECT_EQ(Word.GetKeySize(), 2 * 5 + 3);
  EXPECT_EQ(Word.GetKeyValue(0)->GetSize(), 2 * 5 + 2);
}

// Writing through the key changes the page bytes, and bytes put into the
// page are what the key reads next: the values have no storage of their own.
TEST(IndexKey, ReadsAndWritesThePageInPlace) {
  for (int32_t CharacterSet : {CharacterSetAnsi, CharacterSetUnicode}) {
    SCOPED_TRACE(CharacterSet);
    TTestIndexColumns Columns(CharacterSet);
    TKeyOnPage On(Columns, Columns.MakeIndex(itIndex, {0, 1, 2}));
    On.Page.SetKeyCount(1);
    On.Key.First();
    TORVIndexKey& Key = On.Key;
    uint8_t* Slot = On.Page.GetBufferStream().GetMemory() + On.Key.GetPageOffset();

    Key.GetItems(0)->SetAsInteger(0x01020304);
    EXPECT_EQ(Slot[0], 1);
    EXPECT_EQ(Slot[1], 0x04);
    Slot[1] = 0x05;
    EXPECT_EQ(Key.GetItems(0)->GetAsInteger(), 0x01020305);

    // A VarChar longer than the column is cut to its length.
    Key.GetItems(1)->SetAsString(u"abcdefghij");
    EXPECT_EQ(Key.GetItems(1)->GetAsString(), u"abcdef");
    EXPECT_EQ(Key.GetItems(1)->GetLength(), 6);
    // A fixed value is padded to its length.
    Key.GetItems(2)->SetAsString(u"x");
    EXPECT_EQ(Key.GetItems(2)->GetAsString(), u"x  ");
    EXPECT_EQ(Key.GetItems(2)->GetLength(), 3);

    Slot[0] = 0;
    EXPECT_TRUE(Key.GetItems(0)->GetNull());
    EXPECT_TRUE(Key.AnyNull(3));
    EXPECT_FALSE(Key.AllNull(3));
    Key.Clear();
    EXPECT_TRUE(Key.AllNull(3));
  }
}

TEST(IndexKey, AnsiTextIsReadStraightFromThePage) {
  TTestIndexColumns Columns(CharacterSetAnsi);
  TKeyOnPage On(Columns, Columns.MakeIndex(itIndex, {1}));
  On.Page.SetKeyCount(1);
  On.Key.First();
  On.Key.GetItems(0)->SetAsString(u"abc");
  int32_t Length = 0;
  const uint8_t* Raw = On.Key.GetItems(0)->GetRawAnsiString(Length);
  EXPECT_EQ(Length, 3);
  // Count word after the flag, then the characters.
  EXPECT_EQ(Raw, On.Page.GetBufferStream().GetMemory() + On.Key.GetPageOffset() + 3);
  int32_t BytesLength = 0;
  EXPECT_EQ(On.Key.GetItems(0)->GetRawBytes(BytesLength), Raw);
}

// A count word larger than the column (a damaged page) reads no further
// than the value's own bytes.
TEST(IndexKey, StoredCountNeverReadsPastTheValue) {
  TTestIndexColumns Columns(CharacterSetUnicode);
  TKeyOnPage On(Columns, Columns.MakeIndex(itIndex, {1, 0}));
  On.Page.SetKeyCount(1);
  On.Key.First();
  On.Key.GetItems(1)->SetAsInteger(7);
  uint8_t* Value = On.Page.GetBufferStream().GetMemory() + On.Key.GetPageOffset();
  Value[0] = 1;
  Value[1] = 0xFF;
  Value[2] = 0xFF;
  EXPECT_EQ(On.Key.GetItems(0)->GetLength(), 6);
  EXPECT_EQ(On.Key.GetItems(0)->GetAsString().size(), 6u);
  EXPECT_EQ(On.Key.GetItems(1)->GetAsInteger(), 7);
}

TEST(IndexKey, UniqueIndexHasNoRowIDAndOneRow) {
  TTestIndexColumns Columns(CharacterSetAnsi);
  TKeyOnPage On(Columns, Columns.MakeIndex(itPrimaryKey, {0}));
  On.Insert(Columns, 1, 11, 100);
  On.Key.First();
  const std::vector<uint8_t> Before(On.Page.GetBufferStream().GetMemory(),
                                    On.Page.GetBufferStream().GetMemory() + kPageSize);
  EXPECT_EQ(On.Key.GetRowID(), 0);
  On.Key.SetRowID(55);
  EXPECT_EQ(On.Key.GetRowCount(), 1);
  On.Key.SetRowCount(9);
  const std::vector<uint8_t> After(On.Page.GetBufferStream().GetMemory(),
                                   On.Page.GetBufferStream().GetMemory() + kPageSize);
  EXPECT_EQ(Before, After);
  EXPECT_EQ(On.Key.GetNumber(), 100);
  EXPECT_EQ(On.Key.SearchRow(123), 0);
}

// One key with the rows 3, 5 and 9.
class IndexKeyRows : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int32_t RowID : {9, 3, 5}) On.Insert(Columns, 1, RowID, RowID * 10);
    On.Key.First();
  }
  TTestIndexColumns Columns{CharacterSetAnsi};
  TKeyOnPage On{Columns, Columns.MakeIndex(itIndex, {0})};
};

TEST_F(IndexKeyRows, SearchRowFindsTheRowOrTheLastComparison) {
  struct TCase {
    int32_t RowID;
    bool ForInsert;
    int32_t Result;
    int32_t RowIndex;
  };
  const TCase Cases[] = {
      {5, false, 0, 1},  {6, false, 1, 2},  {10, false, -1, 2}, {1, false, 1, 0}, {4, false, -1, 0},
      {5, true, 0, 1},   {10, true, -1, 3}, {4, true, -1, 1},   {1, true, 1, 0},  {9, true, 0, 2},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.RowID << (Case.ForInsert ? " for insert" : ""));
    On.Key.First();
    const int32_t Result =
        Case.ForInsert ? On.Key.SearchRowForInsert(Case.RowID) : On.Key.SearchRow(Case.RowID);
    EXPECT_EQ(Result, Case.Result);
    EXPECT_EQ(On.Key.GetRowIndex(), Case.RowIndex);
    if (Case.RowIndex < 3) {
      EXPECT_EQ(On.Key.GetRowID(), std::vector<int32_t>({3, 5, 9})[static_cast<size_t>(Case.RowIndex)]);
    }
  }
}

TEST_F(IndexKeyRows, CursorWalksRowsThenKeysAndStopsAtTheEnds) {
  On.Insert(Columns, 2, 4, 40);
  // Entries in order: (1, 3) (1, 5) (1, 9) (2, 4).
  On.Key.First();
  std::vector<int32_t> Forward;
  do Forward.push_back(On.Key.GetRowID());
  while (On.Key.Next());
  EXPECT_EQ(Forward, (std::vector<int32_t>{3, 5, 9, 4}));
  EXPECT_EQ(On.Key.GetKeyIndex(), 1);
  EXPECT_EQ(On.Key.GetRowID(), 4);
  std::vector<int32_t> Backward;
  On.Key.Last();
  do Backward.push_back(On.Key.GetNumber());
  while (On.Key.Prior());
  EXPECT_EQ(Backward, (std::vector<int32_t>{40, 90, 50, 30}));
  EXPECT_EQ(On.Key.GetKeyIndex(), 0);
  EXPECT_EQ(On.Key.GetRowIndex(), 0);

  TORVIndexKey Other(CharacterSetAnsi, On.Index.get());
  Other.SetIndexPage(&On.Page);
  On.Key.MoveTo(0);
  On.Key.LastRow();
  Other.MoveToKey(On.Key);
  EXPECT_EQ(Other.GetRowID(), 9);
  EXPECT_EQ(Other.GetItems(0)->GetAsInteger(), 1);
}

TEST_F(IndexKeyRows, BitmapTakesNumbersUpToItsBitCount) {
  TORVSparseBitmap Bitmap;
  Bitmap.SetBitCount(50);
  On.Key.MoveToRow(0);
  On.Key.SetNextBitmapValue(Bitmap);
  EXPECT_TRUE(Bitmap.BitSet(30));
  EXPECT_TRUE(Bitmap.BitSet(50));
  EXPECT_FALSE(Bitmap.BitSet(90));
  EXPECT_EQ(On.Key.GetRowIndex(), 2);

  TORVSparseBitmap Prior;
  Prior.SetBitCount(100);
  On.Key.SetPriorBitmapValue(Prior);
  EXPECT_EQ(Prior.TotalBitsSet(), 3);
  EXPECT_EQ(On.Key.GetRowIndex(), 0);
}

// The key's order against search values: column by column, a descending
// column reversed, a shorter search list a prefix, the partial length on
// the last text value only.
TEST(IndexKey, ComparesWithTheIndexColumnRules) {
  TTestIndexColumns Columns(CharacterSetUnicode);
  struct TCase {
    bool Descending;
    std::vector<int32_t> SearchN;
    const char16_t* SearchName;
    int32_t PartialLength;
    int32_t Expected;
  };
  // The key holds (5, "delta").
  const TCase Cases[] = {
      {false, {5}, nullptr, 0, 0},        {false, {4}, nullptr, 0, 1},        {false, {6}, nullptr, 0, -1},
      {true, {4}, nullptr, 0, -1},        {true, {6}, nullptr, 0, 1},         {false, {5}, u"delta", 0, 0},
      {false, {5}, u"dz", 0, -1},         {false, {5}, u"del", 0, 1},         {false, {5}, u"del", 3, 0},
      {false, {5}, u"dex", 2, 0},         {false, {}, nullptr, 0, -1},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << (Case.SearchName ? "text" : "number") << " partial " << Case.PartialLength
                                    << (Case.Descending ? " descending" : ""));
    TKeyOnPage On(Columns, Columns.MakeIndex(itIndex, {0, 1}, {Case.Descending, false}));
    On.Page.SetKeyCount(1);
    On.Key.First();
    On.Key.GetItems(0)->SetAsInteger(5);
    On.Key.GetItems(1)->SetAsString(u"delta");
    TTestKeyValues Search(CharacterSetUnicode, On.Index.get());
    for (int32_t N : Case.SearchN) Search.Integer(N);
    if (Case.SearchName != nullptr) Search.Text(Case.SearchName);
    EXPECT_EQ(On.Key.Compare(Search.Key, Case.PartialLength, false), Case.Expected);
  }
}

TEST(IndexKey, NullSortsBeforeEveryValue) {
  TTestIndexColumns Columns(CharacterSetAnsi);
  TKeyOnPage On(Columns, Columns.MakeIndex(itIndex, {0}));
  On.Page.SetKeyCount(1);
  On.Key.First();
  On.Key.GetItems(0)->SetNull(true);
  TTestKeyValues Value(CharacterSetAnsi, On.Index.get());
  Value.Integer(-1000);
  EXPECT_EQ(On.Key.Compare(Value.Key, 0, false), -1);
  TTestKeyValues Null(CharacterSetAnsi, On.Index.get());
  Null.Null(dtInteger);
  EXPECT_EQ(On.Key.Compare(Null.Key, 0, false), 0);
}

}  // namespace
}  // namespace orv
