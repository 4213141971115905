#include "storage/orvindexpage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/orverror.h"
#include "core/orvtypefunc.h"
#include "storage/orvindexkey.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"
#include "tests/storage/orvindextestfiles.h"
#include "tests/support/orvindexfakes.h"

namespace orv {
namespace {

// One entry: key value, row ID and number.
struct TEntry {
  int32_t N;
  int32_t RowID;
  int32_t Number;
  bool operator==(const TEntry&) const = default;
};

// A page that counts the statistics changes it reports.
class TCountingPage : public TORVIndexPage {
 public:
  using TORVIndexPage::TORVIndexPage;
  using TORVIndexPage::Load;
  using TORVIndexPage::Save;
  void Load() {
    GetBufferStream().SetPosition(0);
    Load(GetBufferStream());
  }
  void Save() {
    GetBufferStream().SetPosition(0);
    Save(GetBufferStream());
  }
  int32_t ExternalKeys = 0;
  int32_t InternalKeys = 0;

 protected:
  void AdjustExternalKeys(int32_t Delta) override { ExternalKeys += Delta; }
  void AdjustInternalKeys(int32_t Delta) override { InternalKeys += Delta; }
};

// Pages of one integer index.
class IndexPageTest : public ::testing::Test {
 protected:
  void Use(int32_t IndexType, int32_t PageSize = 512) {
    Index = Columns.MakeIndex(IndexType, {0});
    Session = std::make_unique<test::TIndexFileSession>(CharacterSetAnsi, PageSize);
    Page = NewPage();
    Key = std::make_unique<TORVIndexKey>(CharacterSetAnsi, Index.get());
    Key->SetIndexPage(Page.get());
  }
  std::unique_ptr<TCountingPage> NewPage() {
    return std::make_unique<TCountingPage>(Session->File.get(), Index.get());
  }
  void Insert(TORVIndexPage& Into, int32_t N, int32_t RowID, int32_t Number) {
    TTestKeyValues Values(CharacterSetAnsi, Index.get());
    Values.Integer(N).RowID(RowID);
    TORVIndexKey InsertKey(CharacterSetAnsi, Index.get());
    Into.InsertKey(Values.Key, Number, InsertKey);
    Into.CheckInvariants();
  }
  void Insert(int32_t N, int32_t RowID) { Insert(*Page, N, RowID, RowID * 10); }
  std::vector<TEntry> Entries(TORVIndexPage& Of) {
    std::vector<TEntry> Result;
    TORVIndexKey Walk(CharacterSetAnsi, Index.get());
    Walk.SetIndexPage(&Of);
    if (Of.GetKeyCount() == 0) return Result;
    Walk.First();
    do Result.push_back({Walk.GetItems(0)->GetAsInteger(), Walk.GetRowID(), Walk.GetNumber()});
    while (Walk.Next());
    return Result;
  }
  std::unique_ptr<TTestKeyValues> Search(int32_t N, int32_t RowID = 0) {
    auto Values = std::make_unique<TTestKeyValues>(CharacterSetAnsi, Index.get());
    Values->Integer(N).RowID(RowID);
    return Values;
  }

  TTestIndexColumns Columns{CharacterSetAnsi};
  std::unique_ptr<TORVIndex> Index;
  std::unique_ptr<TCountingPage> Page;
  std::unique_ptr<TORVIndexKey> Key;
  std::unique_ptr<test::TIndexFileSession> Session;
};

TEST_F(IndexPageTest, InsertKeepsEntriesInKeyThenRowOrder) {
  for (int32_t IndexType : {itIndex, itPrimaryKey}) {
    SCOPED_TRACE(IndexType);
    Use(IndexType);
    const bool Unique = IndexType == itPrimaryKey;
    std::vector<TEntry> Expected;
    std::mt19937 Random(7);
    std::vector<std::pair<int32_t, int32_t>> Keys;
    for (int32_t N = 0; N < 12; ++N)
      for (int32_t RowID = 1; RowID <= (Unique ? 1 : 3); ++RowID) Keys.emplace_back(N * 2, N * 10 + RowID);
    std::shuffle(Keys.begin(), Keys.end(), Random);
    for (auto [N, RowID] : Keys) Insert(N, RowID);
    std::sort(Keys.begin(), Keys.end());
    for (auto [N, RowID] : Keys) Expected.push_back({N, Unique ? 0 : RowID, RowID * 10});
    EXPECT_EQ(Entries(*Page), Expected);
    EXPECT_EQ(Page->GetRowCount(), static_cast<int32_t>(Keys.size()));
    EXPECT_EQ(Page->GetKeyCount(), 12);
    EXPECT_EQ(Page->ExternalKeys, static_cast<int32_t>(Keys.size()));
    EXPECT_TRUE(Page->GetModified());

    // Deleting every entry in another random order empties the page.
    std::shuffle(Keys.begin(), Keys.end(), Random);
    for (auto [N, RowID] : Keys) {
      auto Values = Search(N, RowID);
      ASSERT_EQ(Page->SearchKey(Values->Key, *Key), 0);
      Page->DeleteKey(*Key);
      Page->CheckInvariants();
      Expected.erase(std::find(Expected.begin(), Expected.end(), TEntry{N, Unique ? 0 : RowID, RowID * 10}));
      EXPECT_EQ(Entries(*Page), Expected);
    }
    EXPECT_EQ(Page->GetTotalPageSize(), Page->GetHeaderSize());
    EXPECT_EQ(Page->ExternalKeys, 0);
  }
}

TEST_F(IndexPageTest, NewSmallestEntryGoesToSlotZeroRowZero) {
  Use(itIndex);
  Insert(5, 50);
  Insert(5, 40);
  Insert(1, 99);
  TORVIndexKey InsertKey(CharacterSetAnsi, Index.get());
  auto Values = Search(0, 7);
  Page->InsertKey(Values->Key, 70, InsertKey);
  EXPECT_EQ(InsertKey.GetKeyIndex(), 0);
  EXPECT_EQ(InsertKey.GetRowIndex(), 0);
  EXPECT_EQ(Entries(*Page), (std::vector<TEntry>{{0, 7, 70}, {1, 99, 990}, {5, 40, 400}, {5, 50, 500}}));
}

// A slot opened between two keys held the bytes of its neighbour; a key
// built from fewer values than the index has must not inherit them.
TEST_F(IndexPageTest, InsertedSlotKeepsNothingOfItsNeighbour) {
  for (int32_t IndexType : {itIndex, itPrimaryKey}) {
    SCOPED_TRACE(IndexType);
    Use(IndexType);
    Index = Columns.MakeIndex(IndexType, {0, 1});
    Page = NewPage();
    TORVIndexKey InsertKey(CharacterSetAnsi, Index.get());
    for (int32_t N : {1, 3}) {
      TTestKeyValues Full(CharacterSetAnsi, Index.get());
      Full.Integer(N).Text(u"name").RowID(N);
      Page->InsertKey(Full.Key, N, InsertKey);
    }
    TTestKeyValues Short(CharacterSetAnsi, Index.get());
    Short.Integer(2).RowID(2);
    Page->InsertKey(Short.Key, 2, InsertKey);
    InsertKey.MoveTo(1);
    EXPECT_EQ(InsertKey.GetItems(0)->GetAsInteger(), 2);
    EXPECT_TRUE(InsertKey.GetItems(1)->GetNull());
    Page->CheckInvariants();
  }
}

TEST_F(IndexPageTest, DuplicatesRaiseTheCorruptionErrorExceptInATextIndex) {
  Use(itPrimaryKey);
  Insert(3, 1);
  EXPECT_EQ(test::ErrorOf([&] { Insert(3, 2); }),
            "601 The table Orders is corrupt (The index idx contains duplicate keys)");
  EXPECT_EQ(Page->GetRowCount(), 1);

  Use(itIndex);
  Insert(3, 1);
  Insert(3, 2);
  EXPECT_EQ(test::ErrorOf([&] { Insert(3, 1); }),
            "601 The table Orders is corrupt (The index idx contains duplicate keys)");
  EXPECT_EQ(Page->GetRowCount(), 2);
  // Builds that remove duplicate rows tell the refusal apart by its kind,
  // since a damaged page raises the same code.
  EXPECT_THROW(Insert(3, 1), EORVDuplicateKeyException);

  // A word that occurs twice in one row is indexed once.
  Index = Columns.MakeIndex(itTextIndex, {1});
  Page = NewPage();
  TORVIndexKey WordKey(CharacterSetAnsi, Index.get());
  for (int32_t Time = 0; Time < 2; ++Time) {
    TTestKeyValues Word(CharacterSetAnsi, Index.get());
    Word.Text(u"fox").RowID(4);
    Page->InsertKey(Word.Key, 4, WordKey);
  }
  EXPECT_EQ(Page->GetRowCount(), 1);
  EXPECT_EQ(Page->ExternalKeys, 1);
}

// Keys 10, 20 (rows 1, 2), 30; the searches of a leaf end on the first
// entry not less than the values, those of an internal page one entry
// back.
TEST_F(IndexPageTest, SearchesEndWhereTheTreeNeedsThem) {
  Use(itIndex);
  auto Internal = NewPage();
  Internal->SetPageType(ptInternal);
  Page->SetPageType(ptExternal);
  for (TORVIndexPage* Of : {static_cast<TORVIndexPage*>(Page.get()), static_cast<TORVIndexPage*>(Internal.get())}) {
    Insert(*Of, 10, 1, 10);
    Insert(*Of, 20, 1, 10);
    Insert(*Of, 20, 2, 20);
    Insert(*Of, 30, 1, 10);
  }
  enum TSearch { sSearch, sSearchNext, sPartial, sNextPartial, sRangeStart, sRangeEnd, sKey };
  struct TCase {
    TSearch Kind;
    bool External;
    int32_t N;
    int32_t RowID;
    int32_t Result;
    int32_t KeyIndex;
    int32_t RowIndex;
  };
  const TCase Cases[] = {
      {sSearch, true, 20, 0, 0, 1, 0},       {sSearch, true, 15, 0, 1, 1, 0},     {sSearch, true, 35, 0, -1, 2, 0},
      {sSearch, false, 15, 0, -1, 0, 0},      {sSearch, false, 20, 0, 0, 1, 0},    {sSearchNext, true, 20, 0, 1, 2, 0},
      {sSearchNext, false, 25, 0, 1, 1, 1},  {sPartial, true, 20, 0, 0, 1, 0},    {sPartial, false, 20, 0, -1, 0, 0},
      {sNextPartial, true, 20, 0, 1, 2, 0},  {sRangeStart, true, 20, 0, 0, 1, 0}, {sRangeStart, false, 20, 0, -1, 0, 0},
      {sRangeEnd, true, 20, 0, 1, 1, 1},     {sRangeEnd, true, 5, 0, 1, 0, 0},    {sKey, true, 20, 2, 0, 1, 1},
      {sKey, true, 20, 3, -1, 2, 0},         {sKey, false, 25, 0, 1, 1, 1},       {sKey, true, 30, 1, 0, 2, 0},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << "search " << Case.Kind << " of " << Case.N << "/" << Case.RowID
                                    << (Case.External ? " external" : " internal"));
    TORVIndexPage* Of = Case.External ? static_cast<TORVIndexPage*>(Page.get()) : Internal.get();
    Key->SetIndexPage(Of);
    auto Values = Search(Case.N, Case.RowID);
    int32_t Result = 0;
    switch (Case.Kind) {
      case sSearch: Result = Of->Search(Values->Key, false, *Key); break;
      case sSearchNext: Result = Of->SearchNext(Values->Key, false, *Key); break;
      case sPartial: Result = Of->SearchPartial(Values->Key, 0, false, *Key, false); break;
      case sNextPartial: Result = Of->SearchNextPartial(Values->Key, 0, false, *Key, false); break;
      case sRangeStart: Result = Of->SearchRangeStartKey(Values->Key, *Key); break;
      case sRangeEnd: Result = Of->SearchRangeEndKey(Values->Key, *Key); break;
      case sKey: Result = Of->SearchKey(Values->Key, *Key); break;
    }
    EXPECT_EQ(Result, Case.Result);
    EXPECT_EQ(Key->GetKeyIndex(), Case.KeyIndex);
    EXPECT_EQ(Key->GetRowIndex(), Case.RowIndex);
  }
}

TEST_F(IndexPageTest, SequentialAndBinaryPartialSearchesAgree) {
  Use(itIndex);
  for (int32_t N = 0; N < 20; N += 2) Insert(N, 1);
  for (int32_t N = -1; N <= 20; ++N) {
    auto Values = Search(N);
    TORVIndexKey Sequential(CharacterSetAnsi, Index.get());
    Sequential.SetIndexPage(Page.get());
    EXPECT_EQ(Page->SearchPartial(Values->Key, 0, false, *Key, false),
              Page->SearchPartial(Values->Key, 0, false, Sequential, true));
    EXPECT_EQ(Key->GetKeyIndex(), Sequential.GetKeyIndex()) << N;
  }
}

TEST_F(IndexPageTest, EmptyPageSearchRaisesTheCorruptionError) {
  Use(itIndex);
  auto Values = Search(1);
  EXPECT_EQ(test::ErrorOf([&] { Page->Search(Values->Key, false, *Key); }),
            "601 The table Orders is corrupt (The index page is empty)");
  try {
    Page->Search(Values->Key, false, *Key);
  } catch (const EORVDuplicateKeyException&) {
    ADD_FAILURE() << "a damaged page raised the duplicate refusal";
  } catch (const EORVException&) {
  }
  EXPECT_THROW(Page->GetReadAhead(*Key, 1, 4), EORVException);
  EXPECT_EQ(Page->SearchKeyForInsert(Values->Key, *Key), 0);
}

TEST_F(IndexPageTest, ReadAheadCountsConsecutiveNumbers) {
  Use(itPrimaryKey);
  // Numbers 10, 20, 30, 40, 60 on keys 1 .. 5.
  const int32_t Numbers[] = {1, 2, 3, 4, 6};
  for (int32_t N = 1; N <= 5; ++N) Insert(*Page, N, 1, Numbers[N - 1]);
  Key->MoveTo(0);
  EXPECT_EQ(Page->GetReadAhead(*Key, 1, 10), 4);
  Key->MoveTo(1);
  EXPECT_EQ(Page->GetReadAhead(*Key, 1, 2), 2);
  Key->MoveTo(3);
  EXPECT_EQ(Page->GetReadAhead(*Key, -1, 10), 4);
}

TEST_F(IndexPageTest, UniqueSplitOfAnOddCountKeepsTheLargerHalf) {
  Use(itPrimaryKey);
  for (int32_t N = 1; N <= 5; ++N) Insert(N, N);
  auto Right = NewPage();
  Right->SetPageType(ptExternal);
  Page->SetPageType(ptExternal);
  Page->Split(*Right);
  Page->CheckInvariants();
  Right->CheckInvariants();
  EXPECT_EQ(Entries(*Page), (std::vector<TEntry>{{1, 0, 10}, {2, 0, 20}, {3, 0, 30}}));
  EXPECT_EQ(Entries(*Right), (std::vector<TEntry>{{4, 0, 40}, {5, 0, 50}}));
  EXPECT_TRUE(Right->GetModified());
}

// Row entries decide a non-unique split; a key whose rows straddle the
// point is in both pages with its rows divided.
TEST_F(IndexPageTest, NonUniqueSplitDividesAStraddlingKey) {
  Use(itIndex);
  Insert(1, 1);
  for (int32_t RowID = 1; RowID <= 4; ++RowID) Insert(2, RowID);
  Insert(3, 1);
  auto Right = NewPage();
  Page->Split(*Right);
  Page->CheckInvariants();
  Right->CheckInvariants();
  EXPECT_EQ(Entries(*Page), (std::vector<TEntry>{{1, 1, 10}, {2, 1, 10}, {2, 2, 20}}));
  EXPECT_EQ(Entries(*Right), (std::vector<TEntry>{{2, 3, 30}, {2, 4, 40}, {3, 1, 10}}));
  EXPECT_EQ(Page->GetKeyCount(), 2);
  EXPECT_EQ(Right->GetKeyCount(), 2);
  // Statistics move with neither: the entries stay on one level.
  EXPECT_EQ(Right->ExternalKeys, 0);
}

TEST_F(IndexPageTest, SplitOfAFullPageMovesThePointUntilBothHalvesFit) {
  // Key slots of 7 bytes and rows of 8 in 72 bytes: four entries of one
  // key each fit, the fifth overflows.
  Use(itIndex, 72);
  for (int32_t N = 1; N <= 5; ++N) Insert(N, 1);
  EXPECT_TRUE(Page->GetOverflowed());
  auto Right = NewPage();
  Right->SetPageType(ptExternal);
  Page->Split(*Right);
  EXPECT_FALSE(Page->GetOverflowed());
  EXPECT_FALSE(Right->GetOverflowed());
  EXPECT_EQ(Page->GetRowCount() + Right->GetRowCount(), 5);
  EXPECT_EQ(Page->GetRowCount(), 3);
}

// Entries too large for the page size (below what the catalog allows) have
// no split point; the split is refused instead of searching forever.
TEST_F(IndexPageTest, SplitWithoutAPointWhereBothHalvesFitIsRefused) {
  Use(itIndex, 24);
  Insert(1, 1);
  Insert(2, 1);
  auto Right = NewPage();
  EXPECT_EQ(test::ErrorOf([&] { Page->Split(*Right); }),
            "601 The table Orders is corrupt (The index idx page cannot be split)");
  Page->CheckInvariants();
  EXPECT_EQ(Page->GetRowCount(), 2);
}

TEST_F(IndexPageTest, MergeWithAnEqualBoundaryKeyLeavesOneSlot) {
  Use(itIndex);
  Insert(1, 1);
  Insert(2, 1);
  Insert(2, 2);
  auto Right = NewPage();
  Insert(*Right, 2, 3, 30);
  Insert(*Right, 2, 4, 40);
  Insert(*Right, 5, 1, 10);
  // The caller adds the right page's rows of the boundary key to the left.
  Key->MoveTo(1);
  Key->IncRowCount(2);
  Right->Merge(*Page, 1);
  Page->CheckInvariants();
  Right->CheckInvariants();
  EXPECT_EQ(Entries(*Page),
            (std::vector<TEntry>{{1, 1, 10}, {2, 1, 10}, {2, 2, 20}, {2, 3, 30}, {2, 4, 40}, {5, 1, 10}}));
  EXPECT_EQ(Page->GetKeyCount(), 3);
  EXPECT_EQ(Right->GetKeyCount(), 0);
  EXPECT_TRUE(Right->GetModified());
}

TEST_F(IndexPageTest, UniqueMergeAppendsTheSlots) {
  Use(itPrimaryKey);
  Insert(1, 1);
  auto Right = NewPage();
  Insert(*Right, 7, 7, 70);
  Insert(*Right, 8, 8, 80);
  ASSERT_TRUE(Page->CanMerge(*Right));
  Right->Merge(*Page, 0);
  Page->CheckInvariants();
  EXPECT_EQ(Entries(*Page), (std::vector<TEntry>{{1, 0, 10}, {7, 0, 70}, {8, 0, 80}}));
}

TEST_F(IndexPageTest, DeletingTheOnlyRowOfTheLastKeyRemovesItsSlot) {
  Use(itIndex);
  Insert(1, 1);
  Insert(1, 2);
  Insert(9, 5);
  const int32_t Total = Page->GetTotalPageSize();
  Key->Last();
  Page->DeleteKey(*Key);
  Page->CheckInvariants();
  EXPECT_EQ(Page->GetTotalPageSize(), Total - Page->GetKeyStreamSize() - Page->GetRowStreamSize());
  EXPECT_EQ(Entries(*Page), (std::vector<TEntry>{{1, 1, 10}, {1, 2, 20}}));
}

TEST_F(IndexPageTest, SaveAndLoadRestoreTheHeaderAndCounts) {
  for (uint8_t PageType : {ptRootInternal, ptInternal, ptExternal, ptRootExternal}) {
    SCOPED_TRACE(static_cast<int>(PageType));
    Use(itIndex);
    Page->SetPageType(PageType);
    Page->SetNextNumber(12);
    if (PageType > ptInternal) Page->SetPriorNumber(11);
    Insert(4, 1);
    Insert(4, 2);
    Insert(6, 3);
    Page->Save();
    auto Copy = NewPage();
    std::memcpy(Copy->GetBufferStream().GetMemory(), Page->GetBufferStream().GetMemory(), 512);
    Copy->Load();
    Copy->CheckInvariants();
    EXPECT_TRUE(Copy->Compare(*Page));
    EXPECT_EQ(Copy->GetTotalPageSize(), Page->GetTotalPageSize());
    EXPECT_EQ(Entries(*Copy), Entries(*Page));
  }
}

class IndexPageFile : public test::TempFolderTest {};

// Pages are buffers of the index file: what one session writes, another
// reads back with its counts derived again.
TEST_F(IndexPageFile, PagesRoundTripThroughTheFile) {
  auto Files = test::NewSharedOSFileManager();
  TTestIndexColumns Columns(CharacterSetUnicode);
  auto Index = Columns.MakeIndex(itIndex, {1, 0});
  {
    test::TIndexFileSession Writer(CharacterSetUnicode, 256, Files.get(), FolderName());
    Writer.File->ActiveIndex = Index.get();
    Writer.File->CreateAndOpen();
    TORVIndexPage* Page = Writer.File->Get(1);
    TORVIndexKey Key(CharacterSetUnicode, Index.get());
    for (auto [Name, RowID] : {std::pair{u"pear", 3}, {u"apple", 9}, {u"pear", 1}}) {
      TTestKeyValues Values(CharacterSetUnicode, Index.get());
      Values.Text(Name).Integer(RowID).RowID(RowID);
      Page->InsertKey(Values.Key, RowID * 10, Key);
    }
    Page->SetNextNumber(0);
    Writer.File->Release(Page);
    ASSERT_TRUE(Writer.File->Write(true));
    Writer.File->Close();
  }
  test::TIndexFileSession Reader(CharacterSetUnicode, 256, Files.get(), FolderName());
  Reader.File->ActiveIndex = Index.get();
  Reader.File->Open();
  TORVIndexPage* Page = Reader.File->Get(1);
  Page->CheckInvariants();
  EXPECT_EQ(Page->GetKeyCount(), 3);
  EXPECT_EQ(Page->GetRowCount(), 3);
  TORVIndexKey Key(CharacterSetUnicode, Index.get());
  Key.SetIndexPage(Page);
  Key.First();
  std::vector<std::pair<TORVString, int32_t>> Read;
  do Read.emplace_back(Key.GetItems(0)->GetAsString(), Key.GetNumber());
  while (Key.Next());
  EXPECT_EQ(Read, (std::vector<std::pair<TORVString, int32_t>>{{u"apple", 90}, {u"pear", 10}, {u"pear", 30}}));
  Reader.File->Release(Page);
  Reader.File->Close();
}

// A damaged page is refused on load, before any slot or row beyond the
// page could be read.
TEST_F(IndexPageTest, LoadRefusesCountsBeyondThePage) {
  struct TCase {
    const char* Name;
    int32_t IndexType;
    int32_t Offset;
    std::vector<uint8_t> Bytes;
    const char* Detail;
  };
  // External page: key count at 9, first slot at 11, its row count at 16.
  const TCase Cases[] = {
      {"page type", itIndex, 4, {9}, "type 9 is invalid"},
      {"unique key count", itPrimaryKey, 9, {0xFF, 0x00}, "key count 255 exceeds"},
      {"non-unique key count", itIndex, 9, {0x20, 0x00}, "key count 32 exceeds"},
      {"row count", itIndex, 16, {0xF0, 0x00}, "row count 241 exceeds"},
      {"key without rows", itIndex, 16, {0x00, 0x00}, "has no rows"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Use(Case.IndexType, 256);
    Page->SetPageType(ptExternal);
    Insert(1, 1);
    Insert(2, 1);
    Page->Save();
    auto Damaged = NewPage();
    uint8_t* Memory = Damaged->GetBufferStream().GetMemory();
    std::memcpy(Memory, Page->GetBufferStream().GetMemory(), 256);
    std::memcpy(Memory + Case.Offset, Case.Bytes.data(), Case.Bytes.size());
    const std::string Text = test::ErrorOf([&] { Damaged->Load(); });
    EXPECT_EQ(Text.rfind("601 The table Orders is corrupt (", 0), 0u) << Text;
    EXPECT_NE(Text.find(Case.Detail), std::string::npos) << Text;
  }
}

TEST_F(IndexPageTest, StatisticsCountExternalAndInternalPagesButNotTheRoot) {
  Use(itIndex);
  Page->SetPageType(ptInternal);
  Insert(1, 1);
  // The root keeps no count of its own.
  Page->SetPageType(ptRootInternal);
  Insert(2, 1);
  EXPECT_EQ(Page->InternalKeys, 1);
  EXPECT_EQ(Page->ExternalKeys, 0);
  Key->First();
  Page->DeleteKey(*Key);
  EXPECT_EQ(Page->InternalKeys, 1);
}

}  // namespace
}  // namespace orv
