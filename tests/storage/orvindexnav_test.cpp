#include "storage/orvindexnav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "core/orvliteral.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexpage.h"
#include "tests/storage/orvindextestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvindexfakes.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::TIndexDef;

// One row as the indexes see it.
struct TRow {
  int32_t RowID;
  int32_t Number;
  int32_t U;
  int32_t D;
};

// One entry read back in index order.
struct TEntry {
  TORVString Value;
  int32_t RowID;
  int32_t Number;
  bool operator==(const TEntry&) const = default;
};

std::ostream& operator<<(std::ostream& Stream, const TEntry& Entry) {
  return Stream << "(" << StringToUtf8(Entry.Value) << ", " << Entry.RowID << ", " << Entry.Number << ")";
}

// The names sort as their codes do.
TORVString NameOf(int32_t Code) {
  TORVString Digits = IntToString(Code);
  while (Digits.size() < 3) Digits.insert(Digits.begin(), u'0');
  return u"w" + Digits;
}

// The model of one index: its entries keyed by value, then row ID.
struct TModelKey {
  int32_t Value;
  int32_t RowID;
};

struct TModelLess {
  bool Descending;
  bool operator()(const TModelKey& Left, const TModelKey& Right) const {
    if (Left.Value != Right.Value) return Descending ? Left.Value > Right.Value : Left.Value < Right.Value;
    return Left.RowID < Right.RowID;
  }
};

using TModel = std::multimap<TModelKey, int32_t, TModelLess>;

// A navigator over a range of key values in index order.
class TRangeNavigator : public TORVIndexNavigator {
 public:
  using TORVIndexNavigator::TORVIndexNavigator;
  bool GetRangeInEffect() override { return Start != nullptr; }
  TORVKeyValues* GetRangeStartKeyValues() override { return &Start->Key; }
  TORVKeyValues* GetRangeEndKeyValues() override { return &End->Key; }
  int32_t CheckRange(TORVValues& KeyValues) override {
    if (Start->Key.Compare(KeyValues, 0, false) > 0) return -1;
    if (End->Key.Compare(KeyValues, 0, false) < 0) return 1;
    return 0;
  }

  std::unique_ptr<TTestKeyValues> Start;
  std::unique_ptr<TTestKeyValues> End;
};

class IndexTree : public test::IndexFileTest {
 protected:
  void TearDown() override {
    Navigators.clear();
    test::IndexFileTest::TearDown();
  }

  void Open(std::vector<TIndexDef> IndexDefs, int32_t PageSize = 128) {
    Defs = std::move(IndexDefs);
    Size = PageSize;
    Reopen();
    for (const TIndexDef& Def : Defs) Models.emplace_back(TModelLess{Def.Descending});
  }
  // A new session over the same file, as after a restart.
  void Reopen() {
    Navigators.clear();
    OpenSession();
    for (int32_t Index = 0; Index < static_cast<int32_t>(Defs.size()); ++Index)
      Navigators.push_back(std::make_unique<TRangeNavigator>(&File(), Index));
  }
  TORVIndex* IndexAt(int32_t Index) { return Indexes().GetIndex(Index); }
  TRangeNavigator& Nav(int32_t Index) { return *Navigators[static_cast<size_t>(Index)]; }

  int32_t ValueOf(int32_t Index, const TRow& Row) {
    const int32_t Position = Defs[static_cast<size_t>(Index)].Position;
    return Position == test::UColumn ? Row.U : Row.D;
  }
  TORVString TextOf(int32_t Index, int32_t Value) {
    return Defs[static_cast<size_t>(Index)].Position == test::NameColumn ? NameOf(Value) : IntToString(Value);
  }
  bool Unique(int32_t Index) { return Defs[static_cast<size_t>(Index)].IndexType == itPrimaryKey; }
  // Search or entry values of index Index for Value and RowID.
  std::unique_ptr<TTestKeyValues> Key(int32_t Index, int32_t Value, int32_t RowID = 0) {
    auto Result = std::make_unique<TTestKeyValues>(CharacterSet(), IndexAt(Index));
    if (Defs[static_cast<size_t>(Index)].Position == test::NameColumn)
      Result->Text(NameOf(Value));
    else
      Result->Integer(Value);
    Result->RowID(RowID);
    return Result;
  }

  void InsertRow(const TRow& Row) {
    for (int32_t Index = 0; Index < static_cast<int32_t>(Defs.size()); ++Index) {
      const int32_t Value = ValueOf(Index, Row);
      Nav(Index).Insert(Key(Index, Value, Row.RowID)->Key, Row.Number);
      Models[static_cast<size_t>(Index)].insert({{Value, Unique(Index) ? 0 : Row.RowID}, Row.Number});
    }
    Rows[Row.Number] = Row;
  }
  void DeleteRow(int32_t Number) {
    const TRow Row = Rows.at(Number);
    for (int32_t Index = 0; Index < static_cast<int32_t>(Defs.size()); ++Index) {
      const int32_t Value = ValueOf(Index, Row);
      Nav(Index).Delete(Key(Index, Value, Row.RowID)->Key, Row.Number);
      TModel& Model = Models[static_cast<size_t>(Index)];
      Model.erase(Model.find({Value, Unique(Index) ? 0 : Row.RowID}));
    }
    Rows.erase(Number);
  }

  TEntry Current(int32_t Index) {
    TORVIndexKey& At = Nav(Index).GetKey();
    return {At.GetItems(0)->GetAsString(), At.GetRowID(), Nav(Index).GetRowNumber()};
  }
  std::vector<TEntry> ScanForward(int32_t Index) {
    std::vector<TEntry> Result;
    bool FoundChanges = false;
    for (bool Valid = Nav(Index).First(FoundChanges); Valid; Valid = Nav(Index).Next(FoundChanges))
      Result.push_back(Current(Index));
    EXPECT_TRUE(Nav(Index).GetEoF());
    return Result;
  }
  std::vector<TEntry> ScanBackward(int32_t Index) {
    std::vector<TEntry> Result;
    bool FoundChanges = false;
    for (bool Valid = Nav(Index).Last(FoundChanges); Valid; Valid = Nav(Index).Prior(FoundChanges))
      Result.push_back(Current(Index));
    EXPECT_TRUE(Nav(Index).GetBoF());
    return Result;
  }
  std::vector<TEntry> Expected(int32_t Index) {
    std::vector<TEntry> Result;
    for (const auto& [ModelKey, Number] : Models[static_cast<size_t>(Index)])
      Result.push_back({TextOf(Index, ModelKey.Value), ModelKey.RowID, Number});
    return Result;
  }

  // The external pages from the first by NextNumber, each naming the one
  // before it as PriorNumber, and back again from the last.
  int32_t CheckLeafChain(int32_t Index) {
    File().SetIndexNumber(Index);
    int32_t Number = File().GetRootNumber();
    if (Number == 0) return 0;
    TORVIndexKey Walk(CharacterSet(), IndexAt(Index));
    for (;;) {
      TORVIndexPage* Page = File().GetPage(Number);
      Page->CheckInvariants();
      const bool External = Page->GetExternal();
      Walk.SetIndexPage(Page);
      Walk.First();
      const int32_t Child = Walk.GetNumber();
      File().PutPage(Page);
      if (External) break;
      Number = Child;
    }
    std::vector<int32_t> Forward;
    for (int32_t Prior = 0; Number != 0;) {
      TORVIndexPage* Page = File().GetPage(Number);
      Page->CheckInvariants();
      EXPECT_EQ(Page->GetPriorNumber(), Prior) << "page " << Number;
      EXPECT_GT(Page->GetKeyCount(), 0);
      Forward.push_back(Number);
      Prior = Number;
      Number = Page->GetNextNumber();
      File().PutPage(Page);
    }
    std::vector<int32_t> Backward;
    for (Number = Forward.back(); Number != 0;) {
      TORVIndexPage* Page = File().GetPage(Number);
      Backward.push_back(Number);
      Number = Page->GetPriorNumber();
      File().PutPage(Page);
    }
    std::reverse(Backward.begin(), Backward.end());
    EXPECT_EQ(Backward, Forward);
    return static_cast<int32_t>(Forward.size());
  }

  void CheckIndexes() {
    for (int32_t Index = 0; Index < static_cast<int32_t>(Defs.size()); ++Index) {
      SCOPED_TRACE(StringToUtf8(Defs[static_cast<size_t>(Index)].Name));
      const std::vector<TEntry> Want = Expected(Index);
      ASSERT_EQ(ScanForward(Index), Want);
      std::vector<TEntry> Back = ScanBackward(Index);
      std::reverse(Back.begin(), Back.end());
      ASSERT_EQ(Back, Want);
      EXPECT_EQ(Nav(Index).GetRowCount(), static_cast<int32_t>(Want.size()));
      const int32_t ExternalPages = CheckLeafChain(Index);
      File().SetIndexNumber(Index);
      EXPECT_EQ(File().GetExternalPages(), ExternalPages);
      EXPECT_EQ(File().GetExternalKeys(), static_cast<int32_t>(Want.size()));
      const int32_t InternalPages = File().GetInternalPages();
      EXPECT_EQ(File().CalculateInternalPages(Index), InternalPages);
    }
    bool FoundErrors = false;
    Session->Manager->LogLines.clear();
    File().Verify(FoundErrors, false);
    EXPECT_FALSE(FoundErrors);
    for (const TORVString& Line : Session->Manager->LogLines) ADD_FAILURE() << StringToUtf8(Line);
  }

  // The depth of index Index: pages from the root to an external page.
  int32_t Depth(int32_t Index) {
    File().SetIndexNumber(Index);
    int32_t Result = 0;
    TORVIndexKey Walk(CharacterSet(), IndexAt(Index));
    for (int32_t Number = File().GetRootNumber(); Number != 0;) {
      TORVIndexPage* Page = File().GetPage(Number);
      ++Result;
      Walk.SetIndexPage(Page);
      Walk.First();
      Number = Page->GetExternal() ? 0 : Walk.GetNumber();
      File().PutPage(Page);
    }
    return Result;
  }

  std::vector<std::unique_ptr<TRangeNavigator>> Navigators;
  std::vector<TModel> Models;
  std::map<int32_t, TRow> Rows;
};

const std::vector<TIndexDef> AllKinds = {{u"ByU", itPrimaryKey, test::UColumn, false},
                                         {u"ByD", itIndex, test::DColumn, false},
                                         {u"ByUDown", itPrimaryKey, test::UColumn, true},
                                         {u"ByDDown", itIndex, test::DColumn, true},
                                         {u"ByName", itIndex, test::NameColumn, false}};

TEST_F(IndexTree, RandomChangesKeepEveryIndexInModelOrder) {
  Open(AllKinds);
  std::mt19937 Random(20261211);
  int32_t NextRowID = 1;
  int32_t NextNumber = 1;
  std::vector<int32_t> FreeNumbers;
  std::vector<int32_t> UsedU;
  auto NewU = [&]() {
    for (;;) {
      const int32_t U = static_cast<int32_t>(Random() % 100000);
      if (std::find(UsedU.begin(), UsedU.end(), U) == UsedU.end()) {
        UsedU.push_back(U);
        return U;
      }
    }
  };
  auto AnyNumber = [&]() {
    auto At = Rows.begin();
    std::advance(At, Random() % Rows.size());
    return At->first;
  };
  for (int32_t Batch = 0; Batch < 24; ++Batch) {
    for (int32_t Step = 0; Step < 40; ++Step) {
      const uint32_t Choice = Random() % 10;
      if (Rows.empty() || Choice < 6) {
        int32_t Number = NextNumber;
        if (!FreeNumbers.empty()) {
          Number = FreeNumbers.back();
          FreeNumbers.pop_back();
        } else {
          ++NextNumber;
        }
        // Few distinct values of d: their rows span several pages.
        InsertRow({NextRowID++, Number, NewU(), static_cast<int32_t>(Random() % 12)});
      } else if (Choice < 8) {
        // An update moves the row's keys: out, then in again.
        TRow Row = Rows.at(AnyNumber());
        DeleteRow(Row.Number);
        std::erase(UsedU, Row.U);
        Row.U = NewU();
        Row.D = static_cast<int32_t>(Random() % 12);
        InsertRow(Row);
      } else {
        const int32_t Number = AnyNumber();
        std::erase(UsedU, Rows.at(Number).U);
        DeleteRow(Number);
        FreeNumbers.push_back(Number);
      }
    }
    SCOPED_TRACE(Batch);
    CheckIndexes();
    if (HasFatalFailure()) return;
    File().Write(false);
    if (Batch % 8 == 7) Reopen();
  }
  EXPECT_GT(Depth(1), 2);

  // Deleting every row empties every index.
  std::vector<int32_t> Numbers;
  for (const auto& [Number, Row] : Rows) Numbers.push_back(Number);
  std::shuffle(Numbers.begin(), Numbers.end(), Random);
  for (size_t At = 0; At < Numbers.size(); ++At) {
    DeleteRow(Numbers[At]);
    if (At % 97 == 0) {
      CheckIndexes();
      if (HasFatalFailure()) return;
    }
  }
  CheckIndexes();
  for (int32_t Index = 0; Index < static_cast<int32_t>(Defs.size()); ++Index) {
    File().SetIndexNumber(Index);
    EXPECT_EQ(File().GetRootNumber(), 0);
    EXPECT_EQ(File().GetInternalPages(), 0);
    EXPECT_EQ(File().GetInternalKeys(), 0);
    EXPECT_EQ(File().GetExternalPages(), 0);
    EXPECT_EQ(File().GetExternalKeys(), 0);
  }
  bool FoundChanges = false;
  EXPECT_FALSE(Nav(0).First(FoundChanges));
  EXPECT_TRUE(Nav(0).GetBoF());
  EXPECT_TRUE(Nav(0).GetEoF());
}

TEST_F(IndexTree, TheFirstInsertMakesARootThatSplitsIntoTwoLinkedExternalPages) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
  InsertRow({1, 1, 10, 0});
  File().SetIndexNumber(0);
  const int32_t FirstRoot = File().GetRootNumber();
  TORVIndexPage* Root = File().GetPage(FirstRoot);
  EXPECT_EQ(Root->GetPageType(), ptRootExternal);
  const int32_t Capacity = Root->GetMaxKeyCount();
  File().PutPage(Root);
  EXPECT_EQ(File().GetExternalPages(), 1);

  for (int32_t U = 1; U <= Capacity; ++U) InsertRow({U + 1, U + 1, 10 + U, 0});
  File().SetIndexNumber(0);
  ASSERT_NE(File().GetRootNumber(), FirstRoot);
  Root = File().GetPage(File().GetRootNumber());
  EXPECT_EQ(Root->GetPageType(), ptRootInternal);
  EXPECT_EQ(Root->GetKeyCount(), 2);
  File().PutPage(Root);
  TORVIndexPage* Old = File().GetPage(FirstRoot);
  EXPECT_EQ(Old->GetPageType(), ptExternal);
  const int32_t NewNumber = Old->GetNextNumber();
  File().PutPage(Old);
  TORVIndexPage* New = File().GetPage(NewNumber);
  EXPECT_EQ(New->GetPriorNumber(), FirstRoot);
  EXPECT_EQ(New->GetNextNumber(), 0);
  File().PutPage(New);
  EXPECT_EQ(File().GetExternalPages(), 2);
  EXPECT_EQ(File().GetInternalPages(), 0);

  // A key below every other changes the first entry on the whole path.
  InsertRow({100, 100, 1, 0});
  CheckIndexes();
}

TEST_F(IndexTree, DeletingAMissingEntryRaisesTheMissingKeyCorruption) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  EXPECT_EQ(ErrorOf([&] { Nav(0).Delete(Key(0, 5)->Key, 1); }),
            "601 The table Orders is corrupt (The index ByU is missing a required key)");
  for (int32_t Row = 1; Row <= 30; ++Row) InsertRow({Row, Row, Row * 2, Row % 3});
  // Absent value, another row's number, another row's ID.
  EXPECT_EQ(ErrorOf([&] { Nav(0).Delete(Key(0, 7)->Key, 4); }),
            "601 The table Orders is corrupt (The index ByU is missing a required key)");
  EXPECT_EQ(ErrorOf([&] { Nav(0).Delete(Key(0, 8)->Key, 5); }),
            "601 The table Orders is corrupt (The index ByU is missing a required key)");
  EXPECT_EQ(ErrorOf([&] { Nav(1).Delete(Key(1, 1, 2)->Key, 1); }),
            "601 The table Orders is corrupt (The index ByD is missing a required key)");
  CheckIndexes();
}

// Damaged files: the external pages of index Index in chain order (the
// chain still sound), and raw changes to a page on disk.
class DamagedIndexTree : public IndexTree {
 protected:
  std::vector<int32_t> LeafPages(int32_t Index) {
    File().SetIndexNumber(Index);
    TORVIndexKey Walk(CharacterSet(), IndexAt(Index));
    int32_t Number = File().GetRootNumber();
    for (bool External = false; !External;) {
      TORVIndexPage* Page = File().GetPage(Number);
      External = Page->GetExternal();
      Walk.SetIndexPage(Page);
      Walk.First();
      if (!External) Number = Walk.GetNumber();
      File().PutPage(Page);
    }
    std::vector<int32_t> Result;
    for (; Number != 0 && Result.size() <= static_cast<size_t>(File().GetLastNumber());) {
      Result.push_back(Number);
      TORVIndexPage* Page = File().GetPage(Number);
      Number = Page->GetNextNumber();
      File().PutPage(Page);
    }
    return Result;
  }
  // The page's bytes in the file, changed by Change; the session is closed
  // around it and opened again.
  void ChangeOnDisk(const std::function<void(std::vector<uint8_t>& Bytes, int64_t PageOffset)>& Change,
                    int32_t Number) {
    const std::string Path = StringToUtf8(File().GetFullFileName());
    const int64_t Offset = File().GetAvailableHeaderSize() + static_cast<int64_t>(Number - 1) * Size;
    Navigators.clear();
    Session.reset();
    std::vector<uint8_t> Bytes;
    {
      std::ifstream In(Path, std::ios::binary);
      Bytes.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    }
    Change(Bytes, Offset);
    {
      std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
      Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    }
    Reopen();
  }
  static void PutInt(std::vector<uint8_t>& Bytes, int64_t At, int32_t Value) {
    std::memcpy(Bytes.data() + At, &Value, sizeof(Value));
  }
  // Verify's findings, each as the text between the file name's
  // parentheses.
  std::vector<std::string> Verify(bool Repair) {
    Session->Manager->LogLines.clear();
    bool FoundErrors = false;
    File().Verify(FoundErrors, Repair);
    std::vector<std::string> Findings;
    for (const TORVString& Line : Session->Manager->LogLines) {
      const std::string Text = StringToUtf8(Line);
      const size_t Open = Text.find('(', Text.find(".ORVIdx"));
      Findings.push_back(Text.substr(Open + 1, Text.rfind(')') - Open - 1));
    }
    return Findings;
  }
};

TEST_F(DamagedIndexTree, ABrokenLeafChainEndsAScanWithTheIndexCorruptionAndRepairRebuildsTheIndex) {
  // Offsets in an external page: NextNumber at 0, PriorNumber at 5.
  struct TCase {
    const char* Name;
    bool Backward;
    // The page to change (a position in the leaf chain) and the change.
    int32_t Leaf;
    std::function<void(std::vector<uint8_t>&, int64_t, const std::vector<int32_t>&)> Break;
    std::string Finding;
  };
  const std::vector<TCase> Cases = {
      {"next links back to the first page", false, 2,
       [](auto& Bytes, int64_t At, const auto& Leaves) { PutInt(Bytes, At, Leaves[0]); },
       "Recursive next index page pointer"},
      {"prior links ahead", true, 0,
       [](auto& Bytes, int64_t At, const auto& Leaves) { PutInt(Bytes, At + 5, Leaves[2]); },
       "Invalid prior index page"},
      {"a page copied over the next one", false, 2,
       [this](auto& Bytes, int64_t At, const auto&) {
         std::memmove(Bytes.data() + At, Bytes.data() + At - Size, static_cast<size_t>(Size));
       },
       ""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Navigators.clear();
    Session.reset();
    std::filesystem::remove_all(Folder());
    std::filesystem::create_directory(Folder());
    Models.clear();
    Rows.clear();
    Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
    for (int32_t Row = 1; Row <= 60; ++Row) InsertRow({Row, Row, Row, 0});
    File().Write(true);
    const std::vector<int32_t> Leaves = LeafPages(0);
    ASSERT_GE(Leaves.size(), 4u);
    ChangeOnDisk([&](auto& Bytes, int64_t At) { Case.Break(Bytes, At, Leaves); },
                 Leaves[static_cast<size_t>(Case.Leaf)]);
    const std::string Broken = "601 The table Orders is corrupt (The index ByU page chain is broken)";
    EXPECT_EQ(ErrorOf([&] { Case.Backward ? ScanBackward(0) : ScanForward(0); }), Broken);
    // Verify reports the chain, and repair rebuilds the index.
    const std::vector<std::string> Findings = Verify(false);
    ASSERT_FALSE(Findings.empty());
    if (!Case.Finding.empty()) {
      EXPECT_EQ(Findings[0].substr(0, Case.Finding.size()), Case.Finding);
    }
    EXPECT_TRUE(IndexAt(0)->GetRequiresRebuild());
    Verify(true);
    File().SetIndexNumber(0);
    EXPECT_EQ(File().GetRootNumber(), 0);
    EXPECT_TRUE(IndexAt(0)->GetRequiresRebuild());
  }
}

TEST_F(DamagedIndexTree, ARootNumberNamingAnotherIndexsPageIsTheIndexCorruption) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByName", itIndex, test::NameColumn, false}});
  for (int32_t Row = 1; Row <= 40; ++Row) InsertRow({Row, Row, Row, Row % 5});
  const int32_t Foreign = LeafPages(1)[1];
  File().SetIndexNumber(0);
  File().SetRootNumber(Foreign);
  File().Write(true);
  Reopen();
  // The other index's pages are in the cache, laid out as its own.
  ScanForward(1);
  EXPECT_EQ(ErrorOf([&] { ScanForward(0); }),
            "601 The table Orders is corrupt (The index ByU page " + std::to_string(Foreign) +
                " belongs to another index)");
  EXPECT_EQ(ErrorOf([&] { ScanBackward(0); }),
            "601 The table Orders is corrupt (The index ByU page " + std::to_string(Foreign) +
                " belongs to another index)");
}

TEST_F(IndexTree, RangesBoundFirstLastMovesAndSearches) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false},
        {u"ByD", itIndex, test::DColumn, false},
        {u"ByUDown", itPrimaryKey, test::UColumn, true}});
  for (int32_t U = 0; U < 200; ++U) InsertRow({U + 1, U + 1, U, U % 10});
  struct TCase {
    int32_t Index;
    int32_t Start;
    int32_t End;
  } Cases[] = {{0, 50, 120}, {1, 3, 5}, {2, 120, 50}, {0, 199, 250}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Index * 1000 + Case.Start);
    TRangeNavigator& Range = Nav(Case.Index);
    Range.Start = Key(Case.Index, Case.Start);
    Range.End = Key(Case.Index, Case.End);
    std::vector<TEntry> Want;
    TModelLess Less{Defs[static_cast<size_t>(Case.Index)].Descending};
    for (const TEntry& Entry : Expected(Case.Index)) {
      const int32_t Value = std::stoi(StringToUtf8(Entry.Value));
      if (!Less({Value, 0}, {Case.Start, 0}) && !Less({Case.End, 0}, {Value, 0})) Want.push_back(Entry);
    }
    ASSERT_FALSE(Want.empty());
    EXPECT_EQ(ScanForward(Case.Index), Want);
    std::vector<TEntry> Back = ScanBackward(Case.Index);
    std::reverse(Back.begin(), Back.end());
    EXPECT_EQ(Back, Want);
    // Moving past either end keeps the last valid entry.
    bool FoundChanges = false;
    Range.Last(FoundChanges);
    EXPECT_FALSE(Range.Next(FoundChanges));
    EXPECT_EQ(Current(Case.Index), Want.back());
    Range.First(FoundChanges);
    EXPECT_FALSE(Range.Prior(FoundChanges));
    EXPECT_EQ(Current(Case.Index), Want.front());
    Range.Start.reset();
    Range.End.reset();
  }

  // A search outside the range lands on its nearest end.
  TRangeNavigator& Range = Nav(0);
  Range.Start = Key(0, 50);
  Range.End = Key(0, 120);
  bool FoundChanges = false;
  EXPECT_EQ(Range.Search(Key(0, 30)->Key, 0, false, FoundChanges), 1);
  EXPECT_EQ(Current(0).Value, u"50");
  EXPECT_EQ(Range.Search(Key(0, 150)->Key, 0, false, FoundChanges), -1);
  EXPECT_EQ(Current(0).Value, u"120");
  EXPECT_EQ(Range.Search(Key(0, 77)->Key, 0, false, FoundChanges), 0);
  EXPECT_EQ(Current(0).Value, u"77");
  EXPECT_EQ(Range.GotoKey(Key(0, 10)->Key, FoundChanges), 1);
  EXPECT_EQ(Current(0).Value, u"50");
}

TEST_F(IndexTree, SearchAndGotoKeyLandOnTheFirstEntryNotLess) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  // u even from 0 to 398; d = row div 10, ten rows per value.
  for (int32_t Row = 0; Row < 200; ++Row) InsertRow({Row + 1, Row + 1, Row * 2, Row / 10});
  bool FoundChanges = false;
  for (int32_t U = -1; U <= 400; U += 7) {
    SCOPED_TRACE(U);
    const int32_t Result = Nav(0).Search(Key(0, U)->Key, 0, false, FoundChanges);
    if (U > 398) {
      EXPECT_EQ(Result, -1);
      EXPECT_EQ(Current(0).Value, u"398");
    } else {
      const int32_t Landed = U < 0 ? 0 : (U + 1) / 2 * 2;
      EXPECT_EQ(Result, Landed == U ? 0 : 1);
      EXPECT_EQ(Current(0).Value, IntToString(Landed));
    }
  }
  // By value alone the first row of the value; by value and row ID that row.
  for (int32_t D = 0; D < 20; ++D) {
    EXPECT_EQ(Nav(1).Search(Key(1, D)->Key, 0, false, FoundChanges), 0);
    EXPECT_EQ(Current(1), (TEntry{IntToString(D), D * 10 + 1, D * 10 + 1}));
    EXPECT_EQ(Nav(1).GotoKey(Key(1, D, D * 10 + 7)->Key, FoundChanges), 0);
    EXPECT_EQ(Current(1), (TEntry{IntToString(D), D * 10 + 7, D * 10 + 7}));
    EXPECT_TRUE(Nav(1).Verify(Key(1, D, D * 10 + 7)->Key, D * 10 + 7));
    EXPECT_FALSE(Nav(1).Verify(Key(1, D, D * 10 + 7)->Key, D * 10 + 8));
  }
}

TEST_F(IndexTree, APrefixSearchLandsOnTheFirstEntryWithThePrefixUnderEitherCollation) {
  Open({{u"ByName", itIndex, test::NameColumn, false}, {u"ByNameLocale", itIndex, test::NameColumn, false}});
  // A locale collation: the external page is searched slot by slot.
  IndexAt(1)->GetIndexColumns()->GetIndexColumn(0)->SetCollation(1033);
  for (int32_t Row = 0; Row < 120; ++Row) InsertRow({Row + 1, Row + 1, Row, (Row * 7) % 40});
  for (int32_t Index = 0; Index < 2; ++Index) {
    SCOPED_TRACE(Index);
    bool FoundChanges = false;
    TTestKeyValues Prefix(CharacterSet(), IndexAt(Index));
    Prefix.Text(u"w01");
    EXPECT_EQ(Nav(Index).Search(Prefix.Key, 3, false, FoundChanges), 0);
    EXPECT_EQ(Current(Index), Expected(Index)[30]);
    EXPECT_EQ(Current(Index).Value, u"w010");
    TTestKeyValues Beyond(CharacterSet(), IndexAt(Index));
    Beyond.Text(u"w05");
    EXPECT_EQ(Nav(Index).Search(Beyond.Key, 3, false, FoundChanges), -1);
    EXPECT_EQ(Current(Index), Expected(Index).back());
  }
}

TEST_F(IndexTree, FlagsAfterABookmarkAreSetOnlyAtTheEnds) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
  for (int32_t Row = 0; Row < 40; ++Row) InsertRow({Row + 1, Row + 1, Row, 0});
  bool FoundChanges = false;
  struct {
    int32_t U;
    bool BookmarkBOF;
    bool BookmarkEOF;
    bool BOF;
    bool EOF_;
  } Cases[] = {{0, true, false, true, false},  {20, true, false, false, false}, {39, false, true, false, true},
               {20, false, true, false, false}, {0, true, true, true, false},    {39, true, true, false, true}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.U);
    Nav(0).GotoKey(Key(0, Case.U)->Key, FoundChanges);
    Nav(0).SetFlags(Case.BookmarkBOF, Case.BookmarkEOF, FoundChanges);
    EXPECT_EQ(Nav(0).GetBoF(), Case.BOF);
    EXPECT_EQ(Nav(0).GetEoF(), Case.EOF_);
    // The probes leave the entry where it was.
    EXPECT_EQ(Current(0).Value, IntToString(Case.U));
  }
}

TEST_F(IndexTree, AnotherSessionsChangeStopsAMoveThatReachesAnUncachedPage) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}});
  for (int32_t Row = 0; Row < 100; ++Row) InsertRow({Row + 1, Row + 1, Row * 2, 0});
  File().Write(true);
  test::TIndexSession Other(Files.get(), FolderName(), test::IndexTable(Defs, Size));
  Other.Open();
  TORVIndexNavigator Reader(Other.File.get(), 0);
  bool FoundChanges = false;
  ASSERT_TRUE(Reader.First(FoundChanges));

  // This session fills the gaps and writes.
  for (int32_t Row = 0; Row < 100; ++Row) InsertRow({Row + 101, Row + 101, Row * 2 + 1, 0});
  File().Write(true);

  std::vector<int32_t> Seen{Reader.GetKey().GetItems(0)->GetAsInteger()};
  int32_t Restarts = 0;
  for (;;) {
    if (Reader.Next(FoundChanges)) {
      Seen.push_back(Reader.GetKey().GetItems(0)->GetAsInteger());
      continue;
    }
    if (!FoundChanges) break;
    // The cache was dropped: the reader repositions after its last entry.
    ++Restarts;
    EXPECT_EQ(Other.File->GetBufferCount(), 0);
    TTestKeyValues Last(CharacterSet(), Other.Manager->Table().GetIndexes().GetIndex(0));
    Last.Integer(Seen.back());
    ASSERT_EQ(Reader.GotoKey(Last.Key, FoundChanges), 0);
  }
  EXPECT_EQ(Restarts, 1);
  // Before the restart the old entries, after it the new ones as well.
  EXPECT_TRUE(std::is_sorted(Seen.begin(), Seen.end()));
  EXPECT_EQ(Seen.back(), 199);
  EXPECT_GT(Seen.size(), 100u);
  Other.File->CheckInvariants();
}

TEST_F(IndexTree, GotoSequenceNumberCountsEntriesInIndexOrder) {
  Open({{u"ByDDown", itIndex, test::DColumn, true}});
  for (int32_t Row = 0; Row < 150; ++Row) InsertRow({Row + 1, Row + 1, Row, Row % 7});
  const std::vector<TEntry> Want = Expected(0);
  bool FoundChanges = false;
  for (int32_t Sequence : {1, 2, 40, 74, 75, 76, 120, 149, 150}) {
    SCOPED_TRACE(Sequence);
    Nav(0).GotoSequenceNumber(Sequence, FoundChanges);
    EXPECT_EQ(Current(0), Want[static_cast<size_t>(Sequence - 1)]);
  }
  // Past the last entry: the last.
  Nav(0).GotoSequenceNumber(500, FoundChanges);
  EXPECT_EQ(Current(0), Want.back());
}

TEST_F(IndexTree, APointLookupReadsNoMorePagesThanTheTreeIsDeep) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByUDown", itPrimaryKey, test::UColumn, true}});
  std::mt19937 Random(5);
  std::vector<int32_t> Values(1500);
  for (int32_t At = 0; At < 1500; ++At) Values[static_cast<size_t>(At)] = At * 3;
  std::shuffle(Values.begin(), Values.end(), Random);
  for (int32_t At = 0; At < 1500; ++At) InsertRow({At + 1, At + 1, Values[static_cast<size_t>(At)], 0});
  for (int32_t Index = 0; Index < 2; ++Index) {
    const int32_t Deep = Depth(Index);
    EXPECT_GE(Deep, 3);
    for (int32_t Value : Values) {
      const int64_t Before = File().GetHits() + File().GetMisses();
      bool FoundChanges = false;
      ASSERT_EQ(Nav(Index).Search(Key(Index, Value)->Key, 0, false, FoundChanges), 0);
      ASSERT_LE(File().GetHits() + File().GetMisses() - Before, Deep) << Value;
    }
  }
}

TEST_F(IndexTree, EstimatesArePositionsInIndexOrder) {
  Open({{u"ByU", itPrimaryKey, test::UColumn, false}, {u"ByD", itIndex, test::DColumn, false}});
  for (int32_t Row = 0; Row < 6; ++Row) InsertRow({Row + 1, Row + 1, Row * 10, Row / 2});
  bool FoundChanges = false;
  // One page: exact positions.
  EXPECT_EQ(Nav(0).GetRowCountEstimate(Key(0, 20)->Key, 0, false, FoundChanges), 2);
  EXPECT_EQ(Nav(0).GetNextRowCountEstimate(Key(0, 20)->Key, 0, false, FoundChanges), 3);
  EXPECT_EQ(Nav(0).GetRowCountEstimate(Key(0, 25)->Key, 0, false, FoundChanges), 3);
  EXPECT_EQ(Nav(0).GetLastRowCountEstimate(FoundChanges), 5);
  EXPECT_EQ(Nav(1).GetRowCountEstimate(Key(1, 1)->Key, 0, false, FoundChanges), 2);
  EXPECT_EQ(Nav(1).GetNextRowCountEstimate(Key(1, 1)->Key, 0, false, FoundChanges), 4);

  // Many pages: the estimates keep the order of the values.
  for (int32_t Row = 6; Row < 600; ++Row) InsertRow({Row + 1, Row + 1, Row * 10, Row / 2});
  int32_t Previous = -1;
  for (int32_t U = 0; U < 6000; U += 250) {
    const int32_t Estimate = Nav(0).GetRowCountEstimate(Key(0, U)->Key, 0, false, FoundChanges);
    EXPECT_GE(Estimate, Previous);
    Previous = Estimate;
  }
  EXPECT_GE(Nav(0).GetLastRowCountEstimate(FoundChanges), Previous);
}

TEST(ContainedIndexKey, ValuesTakeTheColumnsTypesAndAPrefixFreesEveryValue) {
  TTestIndexColumns Columns(CharacterSetAnsi);
  auto Index = Columns.MakeIndex(itIndex, {1, 0});
  TORVContainedIndexKeyValues Key(CharacterSetAnsi, Index.get());
  ASSERT_EQ(Key.GetCount(), 2);
  EXPECT_EQ(Key.GetItems(0)->GetDataType(), dtCharacter);
  EXPECT_EQ(Key.GetItems(1)->GetDataType(), dtInteger);
  // Longer text is cut to the column's length without an error.
  Key.GetItems(0)->SetAsString(u"abcdefghij");
  EXPECT_EQ(Key.GetItems(0)->GetAsString(), u"abcdef");

  // A one-value key: a prefix of the index columns, the row ID with it.
  TTestKeyValues Prefix(CharacterSetAnsi, Index.get());
  Prefix.Text(u"xy").RowID(9);
  Key.Assign(Prefix.Key);
  EXPECT_EQ(Key.GetCount(), 1);
  EXPECT_EQ(Key.GetItems(0)->GetAsString(), u"xy");
  EXPECT_EQ(Key.GetRowID(), 9);

  auto Text = Columns.MakeIndex(itTextIndex, {1});
  TORVContainedIndexKeyValues Word(CharacterSetAnsi, Text.get());
  Word.GetItems(0)->SetAsString(u"abcdefgh");
  EXPECT_EQ(Word.GetItems(0)->GetAsString(), u"abcde");
}

}  // namespace
}  // namespace orv
