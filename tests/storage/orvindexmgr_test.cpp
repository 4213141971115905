#include "storage/orvindexmgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "core/orvliteral.h"
#include "storage/orvindexnav.h"
#include "storage/orvindexpage.h"
#include "tests/storage/orvindextestfiles.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvindexfakes.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::TIndexDef;

class IndexFile : public test::IndexFileTest {
 protected:
  void Open(std::vector<TIndexDef> IndexDefs, int32_t PageSize = 128) {
    Defs = std::move(IndexDefs);
    Size = PageSize;
    OpenSession();
  }
  test::TTestTableManager& Manager() { return *Session->Manager; }

  // Row Row's entry of index Index: u = 3 x Row, d = Row mod 5, the name
  // of Row mod 40; row ID and number Row.
  void InsertEntry(int32_t Index, int32_t Row) {
    const TIndexDef& Def = Defs[static_cast<size_t>(Index)];
    TTestKeyValues Values(CharacterSet(), Indexes().GetIndex(Index));
    if (Def.Position == test::NameColumn)
      Values.Text(u"w" + IntToString(100 + Row % 40));
    else
      Values.Integer(Def.Position == test::UColumn ? Row * 3 : Row % 5);
    Values.RowID(Row);
    TORVIndexNavigator Navigator(&File(), Index);
    Navigator.Insert(Values.Key, Row);
  }
  void Fill(int32_t From, int32_t To) {
    for (int32_t Row = From; Row <= To; ++Row)
      for (int32_t Index = 0; Index < static_cast<int32_t>(Defs.size()); ++Index) InsertEntry(Index, Row);
  }
  // The row numbers of index Index in index order.
  std::vector<int32_t> Scan(int32_t Index) {
    TORVIndexNavigator Navigator(&File(), Index);
    std::vector<int32_t> Result;
    bool FoundChanges = false;
    for (bool Valid = Navigator.First(FoundChanges); Valid; Valid = Navigator.Next(FoundChanges))
      Result.push_back(Navigator.GetRowNumber());
    return Result;
  }
  bool VerifyFile(bool Repair) {
    bool FoundErrors = false;
    Manager().LogLines.clear();
    File().Verify(FoundErrors, Repair);
    return FoundErrors;
  }
  bool Logged(const std::string& Text) {
    for (const TORVString& Line : Manager().LogLines)
      if (StringToUtf8(Line).find(Text) != std::string::npos) return true;
    return false;
  }
  std::string FileBytes() {
    std::ifstream Stream(Folder() / "Orders.ORVIdx", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(Stream), {});
  }
};

TEST_F(IndexFile, CostForCountIsTheBytesOfTheExternalPagesThatHoldTheEntries) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
  File().SetIndexNumber(0);
  EXPECT_EQ(File().GetCostForCount(25), 128);
  File().SetExternalPages(2);
  File().SetExternalKeys(20);
  struct {
    int64_t Count;
    int64_t Cost;
  } Cases[] = {{25, 3 * 128}, {20, 2 * 128}, {5, 128}, {10, 128}, {11, 2 * 128}};
  for (const auto& Case : Cases) EXPECT_EQ(File().GetCostForCount(Case.Count), Case.Cost) << Case.Count;
}

TEST_F(IndexFile, DroppingAnIndexMovesTheLaterRecordsDownAndItsPagesServeTheOthers) {
  Open({{u"ByName", itIndex, test::NameColumn, false},
        {u"ByU", itPrimaryKey, test::UColumn, false},
        {u"ByD", itIndex, test::DColumn, false}});
  Fill(1, 150);
  File().Write(true);
  const TORVIndexHeader Second = File().GetIndexHeader(1);
  const TORVIndexHeader Third = File().GetIndexHeader(2);
  EXPECT_EQ(File().GetActualHeaderSize(), 120);
  ASSERT_TRUE(File().DropIndex(0));
  EXPECT_EQ(File().GetIndexNumber(), 0);
  ASSERT_EQ(File().GetIndexCount(), 2);
  EXPECT_EQ(File().GetIndexHeader(0).RootNumber, Second.RootNumber);
  EXPECT_EQ(File().GetIndexHeader(0).ExternalKeys, Second.ExternalKeys);
  EXPECT_EQ(File().GetIndexHeader(1).RootNumber, Third.RootNumber);
  EXPECT_EQ(File().GetIndexHeader(1).InternalPages, Third.InternalPages);
  const int32_t Pages = File().GetLastNumber();

  // Once the catalog lists two indexes, the header holds two records.
  std::unique_ptr<TORVConfigObject> Dropped(Indexes().GetIndex(0));
  Indexes().Delete(0);
  EXPECT_EQ(File().GetActualHeaderSize(), 96);
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  EXPECT_EQ(Scan(0).size(), 150u);
  EXPECT_EQ(Scan(1).size(), 150u);
  // The dropped index's pages come back from the free chain, read under
  // the other indexes' layout.
  Fill(151, 180);
  EXPECT_EQ(File().GetLastNumber(), Pages);
  EXPECT_EQ(Scan(0).size(), 180u);
  EXPECT_EQ(Scan(1).size(), 180u);
  EXPECT_FALSE(VerifyFile(false));
}

TEST_F(IndexFile, AnIndexCreatedBeforeOthersGetsAnEmptyRecordAndKeepsTheirs) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  Fill(1, 40);
  const TORVIndexHeader Second = File().GetIndexHeader(1);
  std::unique_ptr<TORVIndex> Added(static_cast<TORVIndex*>(Indexes().GetNewObject()));
  Added->SetName(u"ByName");
  std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Added->GetIndexColumns()->GetNewObject()));
  Key->SetSourceColumn(Manager().Table().GetColumns().GetColumn(test::NameColumn));
  Added->GetIndexColumns()->Add(Key.release());
  Indexes().Insert(1, Added.release());
  Defs.insert(Defs.begin() + 1, TIndexDef{u"ByName", itIndex, test::NameColumn, false});
  File().CreateIndex(1);
  ASSERT_EQ(File().GetIndexCount(), 3);
  EXPECT_EQ(File().GetIndexHeader(1).RootNumber, 0);
  EXPECT_EQ(File().GetIndexHeader(2).RootNumber, Second.RootNumber);
  EXPECT_EQ(File().GetIndexHeader(2).ExternalKeys, 40);
  for (int32_t Row = 1; Row <= 40; ++Row) InsertEntry(1, Row);
  File().Write(true);
  Open(Defs);
  for (int32_t Index = 0; Index < 3; ++Index) EXPECT_EQ(Scan(Index).size(), 40u) << Index;
  EXPECT_FALSE(VerifyFile(false));
}

TEST_F(IndexFile, DumpListsEveryPageAndEachRowEntryOnceInRowIDOrder) {
  Open({{u"ByD", itIndex, test::DColumn, false}}, 512);
  for (int32_t Row : {5, 2, 6, 1, 4, 3}) {
    TTestKeyValues Values(CharacterSet(), Indexes().GetIndex(0));
    Values.Integer(Row % 2).RowID(Row);
    TORVIndexNavigator(&File(), 0).Insert(Values.Key, Row * 10);
  }
  const TORVString Rule(30, u'=');
  const TORVString Want = u"\r\n\r\nRoot/External Page # 1\r\n" + Rule +
                          u"\r\nPrior Page #: 0\r\nNext Page #: 0\r\nKey Count: 2\r\nRow Count: 6\r\n"
                          u"Total Page Size: 73\r\n" +
                          Rule +
                          u"\r\n"
                          u"\r\n0\r\n\r\nRow Count: 3\r\nFirst Row ID: 2\r\nFirst Row/Page Pointer: 20"
                          u"\r\n2-20|4-40|6-60\r\n"
                          u"\r\n1\r\n\r\nRow Count: 3\r\nFirst Row ID: 1\r\nFirst Row/Page Pointer: 10"
                          u"\r\n1-10|3-30|5-50\r\n";
  EXPECT_EQ(StringToUtf8(File().DumpIndex(0, true)), StringToUtf8(Want));
  const std::string Short = StringToUtf8(File().DumpIndex(0, false));
  EXPECT_EQ(Short.find("2-20"), std::string::npos);

  // Many pages: the root first, then its children, every row once.
  Open({{u"ByD", itIndex, test::DColumn, false}});
  Fill(1, 120);
  File().SetIndexNumber(0);
  const std::string Text = StringToUtf8(File().DumpIndex(0, true));
  EXPECT_EQ(Text.rfind("\r\n\r\nRoot Page # " + std::to_string(File().GetRootNumber()), 0), 0u);
  // The external pages' entries name rows; the internal ones name pages.
  std::string Leaves;
  for (size_t At = Text.find("Page # "); At != std::string::npos;) {
    const size_t Next = Text.find("Page # ", At + 1);
    if (At >= 9 && Text.compare(At - 9, 9, "External ") == 0)
      Leaves += Text.substr(At, Next == std::string::npos ? std::string::npos : Next - At);
    At = Next;
  }
  for (int32_t Row = 1; Row <= 120; ++Row) {
    const std::string Entry = std::to_string(Row) + "-" + std::to_string(Row);
    size_t Count = 0;
    for (size_t At = Leaves.find(Entry); At != std::string::npos; At = Leaves.find(Entry, At + 1))
      if ((Leaves[At - 1] == '|' || Leaves[At - 1] == '\n') &&
          (Leaves[At + Entry.size()] == '|' || Leaves[At + Entry.size()] == '\r'))
        ++Count;
    EXPECT_EQ(Count, 1u) << Row;
  }
}

TEST_F(IndexFile, StatisticsOnSpaceMatchTheTree) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
  EXPECT_EQ(File().CalculateSpace(0), 0);
  Fill(1, 200);
  File().SetIndexNumber(0);
  const int32_t Pages = File().GetInternalPages() + File().GetExternalPages() + 1;
  EXPECT_EQ(File().CalculateSpace(0) + File().CalculateSlackSpace(0), Pages * 128);
  EXPECT_EQ(File().CalculateInternalPages(0), File().GetInternalPages());
  EXPECT_GT(File().GetInternalPages(), 0);
}

TEST_F(IndexFile, VerifyRepairsWrongCountsWithoutAskingForARebuild) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  Fill(1, 80);
  File().SetIndexNumber(1);
  const TORVIndexHeader Right = File().GetIndexHeader(1);
  File().SetExternalKeys(Right.ExternalKeys + 5);
  File().SetInternalPages(Right.InternalPages + 2);
  File().Write(true);
  EXPECT_TRUE(VerifyFile(true));
  EXPECT_TRUE(Logged("Invalid external index page key count (" + std::to_string(Right.ExternalKeys + 5) + ")"));
  EXPECT_TRUE(Logged("Invalid internal index page count (" + std::to_string(Right.InternalPages + 2) + ")"));
  EXPECT_TRUE(Logged("Verification error for the index ByD in the Orders table file"));
  EXPECT_FALSE(Indexes().GetIndex(0)->GetRequiresRebuild());
  EXPECT_FALSE(Indexes().GetIndex(1)->GetRequiresRebuild());
  EXPECT_EQ(File().GetIndexHeader(1).ExternalKeys, Right.ExternalKeys);
  EXPECT_EQ(File().GetIndexHeader(1).InternalPages, Right.InternalPages);
  File().Write(true);
  EXPECT_FALSE(VerifyFile(false));
  EXPECT_EQ(Scan(1).size(), 80u);
}

TEST_F(IndexFile, VerifyOfALoopingFreeChainMarksEveryIndexForRebuild) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  Fill(1, 120);
  ASSERT_TRUE(File().DropIndex(0));
  std::unique_ptr<TORVConfigObject> Dropped(Indexes().GetIndex(0));
  Indexes().Delete(0);
  Open({{u"ByD", itIndex, test::DColumn, false}});
  // The head's successor points back at the head.
  const int32_t Head = File().GetNextFreeNumber();
  TORVIndexPage* First = File().GetPage(Head);
  const int32_t Second = First->GetNextNumber();
  File().PutPage(First);
  ASSERT_NE(Second, 0);
  TORVIndexPage* Loop = File().GetPage(Second);
  Loop->SetNextNumber(Head);
  File().PutPage(Loop);
  File().Write(true);

  EXPECT_TRUE(VerifyFile(false));
  EXPECT_TRUE(Logged("Recursive next index page pointer (" + std::to_string(Head) + ")"));
  EXPECT_TRUE(Indexes().GetIndex(0)->GetRequiresRebuild());
  File().SetIndexNumber(0);
  EXPECT_NE(File().GetRootNumber(), 0);

  EXPECT_TRUE(VerifyFile(true));
  EXPECT_TRUE(Indexes().GetIndex(0)->GetRequiresRebuild());
  EXPECT_EQ(File().GetRootNumber(), 0);
  File().Write(true);
  EXPECT_EQ(File().GetLastNumber(), 0);
}

TEST_F(IndexFile, VerifyReportsATreeThatLostAnEntryOfItsParent) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
  Fill(1, 100);
  File().SetIndexNumber(0);
  // An internal entry that no longer repeats its child's first entry.
  TORVIndexPage* Root = File().GetPage(File().GetRootNumber());
  TORVIndexKey Key(CharacterSet(), Indexes().GetIndex(0));
  Key.SetIndexPage(Root);
  Key.MoveTo(1);
  Key.GetItems(0)->SetAsInteger(Key.GetItems(0)->GetAsInteger() + 1);
  Root->SetModified(true);
  File().PutPage(Root);
  File().Write(true);
  EXPECT_TRUE(VerifyFile(false));
  EXPECT_TRUE(Logged("key value ("));
  EXPECT_TRUE(Indexes().GetIndex(0)->GetRequiresRebuild());
}

TEST_F(IndexFile, AStoppedDropLeavesTheFileAsItWas) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  Fill(1, 300);
  File().Write(true);
  const std::string Before = FileBytes();
  const TORVIndexHeader Header = File().GetIndexHeader(1);
  int32_t Calls = 0;
  Manager().Session().SetOnProgress([&](int32_t /*PercentDone*/, bool& Continue) { Continue = ++Calls < 3; });
  Manager().Session().StartProgress();
  EXPECT_FALSE(File().DropIndex(1));
  Manager().Session().EndProgress();
  EXPECT_GE(Calls, 3);
  File().Write(true);
  EXPECT_EQ(FileBytes(), Before);
  ASSERT_EQ(File().GetIndexCount(), 2);
  EXPECT_EQ(File().GetIndexHeader(1).RootNumber, Header.RootNumber);
  EXPECT_EQ(File().GetIndexHeader(1).ExternalKeys, 300);
  EXPECT_EQ(Scan(1).size(), 300u);
  EXPECT_FALSE(VerifyFile(false));
}

}  // namespace
}  // namespace orv
