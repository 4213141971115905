#include "core/orvbitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "base/orverror.h"
#include "core/orvstream.h"

namespace orv {
namespace {

constexpr int32_t MaxInt = std::numeric_limits<int32_t>::max();

// ---------------------------------------------------------------------------
// Dense bitmap

std::unique_ptr<TORVBitmap> MakeBitmap(int32_t BitCount, std::initializer_list<int32_t> Bits) {
  auto Result = std::make_unique<TORVBitmap>();
  Result->SetBitCount(BitCount);
  for (int32_t Bit : Bits) Result->SetBit(Bit);
  return Result;
}

std::vector<int32_t> Members(const TORVBitmap& Bitmap) {
  std::vector<int32_t> Result;
  for (int32_t Bit = 1; Bit <= Bitmap.GetBitCount(); ++Bit) {
    if (Bitmap.BitSet(Bit)) Result.push_back(Bit);
  }
  return Result;
}

TEST(DenseBitmap, FullBitmapHasNoClearBitAndInvertsToEmpty) {
  TORVBitmap Bitmap;
  Bitmap.SetBitCount(40);
  Bitmap.SetBits();
  int32_t Value = 0;
  EXPECT_FALSE(Bitmap.NextBitClear(Value));
  EXPECT_EQ(Value, 0);
  EXPECT_EQ(Bitmap.TotalBitsSet(), 40);
  Bitmap.NotBits();
  EXPECT_EQ(Bitmap.TotalBitsSet(), 0);
  Bitmap.NotBits();
  EXPECT_EQ(Bitmap.TotalBitsSet(), 40);
}

TEST(DenseBitmap, ResizingKeepsOnlyBitsBelowTheSmallerCount) {
  TORVBitmap Bitmap;
  Bitmap.SetBitCount(40);
  Bitmap.SetBits();
  Bitmap.SetBitCount(70);
  EXPECT_EQ(Bitmap.TotalBitsSet(), 40);
  int32_t Value = 40;
  EXPECT_TRUE(Bitmap.NextBitClear(Value));
  EXPECT_EQ(Value, 41);

  // Shrinking below a whole word and growing past it again must not bring
  // back bits of the larger former count.
  Bitmap.SetBits();
  Bitmap.SetBitCount(20);
  Bitmap.SetBitCount(300);
  EXPECT_EQ(Members(Bitmap).size(), 20u);
  EXPECT_EQ(Members(Bitmap).back(), 20);
}

TEST(DenseBitmap, SearchesStayWithinOneToBitCount) {
  const auto BitmapOwner = MakeBitmap(40, {1, 40});
  TORVBitmap& Bitmap = *BitmapOwner;
  int32_t Value = 1;
  EXPECT_FALSE(Bitmap.PriorBitSet(Value));
  Value = 40;
  EXPECT_FALSE(Bitmap.NextBitSet(Value));
  Value = 41;
  EXPECT_TRUE(Bitmap.PriorBitSet(Value));
  EXPECT_EQ(Value, 40);
  Value = MaxInt;
  EXPECT_FALSE(Bitmap.NextBitSet(Value));
  EXPECT_TRUE(Bitmap.PriorBitSet(Value));
  EXPECT_EQ(Value, 40);

  // The clear bits above BitCount inside the last word are not numbers.
  Bitmap.SetBits();
  Bitmap.ClearBit(39);
  Value = 39;
  EXPECT_FALSE(Bitmap.NextBitClear(Value));
  Value = 0;
  EXPECT_TRUE(Bitmap.NextBitClear(Value));
  EXPECT_EQ(Value, 39);
}

TEST(DenseBitmap, OutOfRangeSingleBitsAreNeverMembers) {
  TORVBitmap Bitmap;
  Bitmap.SetBitCount(40);
  for (int32_t Bit : {0, -1, 41, 64, MaxInt, std::numeric_limits<int32_t>::min()}) {
    Bitmap.SetBit(Bit);
    EXPECT_FALSE(Bitmap.BitSet(Bit)) << Bit;
  }
  EXPECT_EQ(Bitmap.TotalBitsSet(), 0);
  TORVBitmap Empty;
  Empty.SetBit(1);
  EXPECT_FALSE(Empty.BitSet(1));
}

TEST(DenseBitmap, RunCountsMoveValueAndAccumulate) {
  TORVBitmap Bitmap;
  Bitmap.SetBitCount(70);
  for (int32_t Bit = 5; Bit <= 40; ++Bit) Bitmap.SetBit(Bit);

  struct Case {
    bool Forward;
    int32_t Start, Result, MaxBits;
    bool Counted;
    int32_t EndValue, EndResult;
  } Cases[] = {
      {true, 4, 0, 100, true, 40, 36},   // the whole run, across a word edge
      {true, 4, 0, 10, true, 14, 10},    // cut at MaxBits
      {true, 4, 7, 10, true, 7, 10},     // a count carried in continues
      {true, 4, 10, 10, false, 4, 10},   // nothing left to count
      {true, 40, 0, 100, false, 40, 0},  // the next bit is clear
      {true, 70, 0, 100, false, 70, 0},  // at the end of the bitmap
      {false, 41, 0, 100, true, 5, 36},
      {false, 41, 0, 3, true, 38, 3},
      {false, 5, 0, 100, false, 5, 0},
      {false, 1, 0, 100, false, 1, 0},
  };
  for (const Case& C : Cases) {
    int32_t Value = C.Start;
    int32_t Result = C.Result;
    const bool Counted = C.Forward ? Bitmap.NextBitsSet(Value, Result, C.MaxBits)
                                   : Bitmap.PriorBitsSet(Value, Result, C.MaxBits);
    EXPECT_EQ(Counted, C.Counted) << C.Forward << " " << C.Start;
    EXPECT_EQ(Value, C.EndValue) << C.Forward << " " << C.Start;
    EXPECT_EQ(Result, C.EndResult) << C.Forward << " " << C.Start;
  }
}

TEST(DenseBitmap, CombiningWithAShorterSourceTreatsMissingBitsAsClear) {
  const auto Long = MakeBitmap(100, {1, 33, 70, 100});
  const auto Short = MakeBitmap(40, {1, 2, 33});
  TORVBitmap Result;
  Result.Assign(*Long);
  Result.AndBits(*Short);
  EXPECT_EQ(Members(Result), (std::vector<int32_t>{1, 33}));
  Result.Assign(*Long);
  Result.OrBits(*Short);
  EXPECT_EQ(Members(Result), (std::vector<int32_t>{1, 2, 33, 70, 100}));
  Result.Assign(*Long);
  Result.XorBits(*Short);
  EXPECT_EQ(Members(Result), (std::vector<int32_t>{2, 70, 100}));
  // A longer source's bits above BitCount do not leak in.
  Result.Assign(*Short);
  Result.OrBits(*Long);
  EXPECT_EQ(Result.GetBitCount(), 40);
  EXPECT_EQ(Members(Result), (std::vector<int32_t>{1, 2, 33}));
  EXPECT_EQ(Result.TotalBitsSet(), 3);
}

// Random operations on bitmaps of random sizes against a std::set model.
TEST(DenseBitmap, AgreesWithSetModelUnderRandomOperations) {
  std::mt19937 Random(1729);
  for (int32_t Round = 0; Round < 60; ++Round) {
    const int32_t BitCount = std::uniform_int_distribution<int32_t>(0, 200)(Random);
    TORVBitmap Bitmap;
    Bitmap.SetBitCount(BitCount);
    std::set<int32_t> Model;
    auto AnyNumber = [&] { return std::uniform_int_distribution<int32_t>(-2, BitCount + 2)(Random); };
    for (int32_t Step = 0; Step < 400; ++Step) {
      const int32_t Value = AnyNumber();
      const bool InRange = Value >= 1 && Value <= BitCount;
      switch (std::uniform_int_distribution<int>(0, 9)(Random)) {
        case 0:
        case 1:
          Bitmap.SetBit(Value);
          if (InRange) Model.insert(Value);
          break;
        case 2:
          Bitmap.ClearBit(Value);
          Model.erase(Value);
          break;
        case 3: {
          int32_t Found = Value;
          auto It = Model.upper_bound(Value);
          ASSERT_EQ(Bitmap.NextBitSet(Found), It != Model.end());
          ASSERT_EQ(Found, It != Model.end() ? *It : Value);
          break;
        }
        case 4: {
          int32_t Found = Value;
          auto It = Model.lower_bound(Value);
          const bool Exists = It != Model.begin();
          ASSERT_EQ(Bitmap.PriorBitSet(Found), Exists);
          ASSERT_EQ(Found, Exists ? *std::prev(It) : Value);
          break;
        }
        case 5: {
          int32_t Expected = std::max(Value, 0) + 1;
          while (Expected <= BitCount && Model.count(Expected)) ++Expected;
          int32_t Found = Value;
          ASSERT_EQ(Bitmap.NextBitClear(Found), Expected <= BitCount) << Value;
          if (Expected <= BitCount) {
            ASSERT_EQ(Found, Expected);
          }
          break;
        }
        case 6: {
          int32_t Expected = std::min(Value - 1, BitCount);
          while (Expected >= 1 && Model.count(Expected)) --Expected;
          int32_t Found = Value;
          ASSERT_EQ(Bitmap.PriorBitClear(Found), Expected >= 1) << Value;
          if (Expected >= 1) {
            ASSERT_EQ(Found, Expected);
          }
          break;
        }
        case 7: {
          const int32_t MaxBits = std::uniform_int_distribution<int32_t>(0, 40)(Random);
          int32_t Run = 0;
          while (Run < MaxBits && Model.count(Value + 1 + Run)) ++Run;
          int32_t Found = Value;
          int32_t Result = 0;
          ASSERT_EQ(Bitmap.NextBitsSet(Found, Result, MaxBits), Run > 0);
          ASSERT_EQ(Result, Run);
          ASSERT_EQ(Found, Value + Run);
          Run = 0;
          while (Run < MaxBits && Model.count(Value - 1 - Run)) ++Run;
          Found = Value;
          Result = 0;
          ASSERT_EQ(Bitmap.PriorBitsSet(Found, Result, MaxBits), Run > 0);
          ASSERT_EQ(Result, Run);
          ASSERT_EQ(Found, Value - Run);
          break;
        }
        case 8: {
          const int32_t OtherCount = std::uniform_int_distribution<int32_t>(0, BitCount)(Random);
          TORVBitmap Other;
          Other.SetBitCount(OtherCount);
          std::set<int32_t> OtherModel;
          for (int32_t Bit = 1; Bit <= OtherCount; ++Bit) {
            if (Random() % 2) {
              Other.SetBit(Bit);
              OtherModel.insert(Bit);
            }
          }
          std::set<int32_t> Expected;
          const int Kind = std::uniform_int_distribution<int>(0, 2)(Random);
          for (int32_t Bit = 1; Bit <= BitCount; ++Bit) {
            const bool Mine = Model.count(Bit) != 0;
            const bool Theirs = OtherModel.count(Bit) != 0;
            if (Kind == 0 ? (Mine && Theirs) : Kind == 1 ? (Mine || Theirs) : (Mine != Theirs)) Expected.insert(Bit);
          }
          if (Kind == 0) Bitmap.AndBits(Other);
          if (Kind == 1) Bitmap.OrBits(Other);
          if (Kind == 2) Bitmap.XorBits(Other);
          Model = Expected;
          break;
        }
        case 9: {
          Bitmap.NotBits();
          std::set<int32_t> Expected;
          for (int32_t Bit = 1; Bit <= BitCount; ++Bit) {
            if (!Model.count(Bit)) Expected.insert(Bit);
          }
          Model = Expected;
          break;
        }
      }
      ASSERT_EQ(Bitmap.TotalBitsSet(), static_cast<int32_t>(Model.size()));
    }
    ASSERT_EQ(Members(Bitmap), std::vector<int32_t>(Model.begin(), Model.end()));
  }
}

TORVBytes StreamBytes(const TORVMemoryStream& Stream) {
  return TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
}

TEST(DenseBitmap, SavesCountsAndLittleEndianWords) {
  const auto Bitmap = MakeBitmap(40, {1, 2, 33, 40});
  TORVMemoryStream Stream(1);
  Bitmap->Save(Stream);
  EXPECT_EQ(StreamBytes(Stream), (TORVBytes{0x28, 0, 0, 0, 2, 0, 0, 0, 0x03, 0, 0, 0, 0x81, 0, 0, 0}));

  for (const int32_t BitCount : {0, 32, 40, 1000}) {
    TORVBitmap Source;
    Source.SetBitCount(BitCount);
    for (int32_t Bit = 1; Bit <= BitCount; Bit += 3) Source.SetBit(Bit);
    TORVMemoryStream Saved(1);
    Source.Save(Saved);
    Saved.SetPosition(0);
    TORVBitmap Loaded;
    Loaded.SetBitCount(77);
    Loaded.SetBits();
    Loaded.Load(Saved);
    EXPECT_EQ(Loaded.GetBitCount(), BitCount);
    EXPECT_EQ(Members(Loaded), Members(Source));
    EXPECT_EQ(Saved.GetPosition(), Saved.GetSize());
  }
}

void ExpectCorrupt(const std::function<void()>& Action, const char* What) {
  try {
    Action();
    ADD_FAILURE() << "no error for " << What;
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), 601) << What;
    EXPECT_EQ(E.ErrorMsg().rfind(u"The bitmap stream is corrupt (", 0), 0u) << What;
  }
}

TEST(DenseBitmap, LoadRefusesRecordsThatDoNotAddUp) {
  struct Case {
    const char* What;
    std::vector<int32_t> Integers;
  } Cases[] = {
      {"negative bit count", {-1, 0}},
      {"too few words", {40, 1, 0}},
      {"too many words", {40, 3, 0, 0, 0}},
      {"words missing", {40, 2, 0}},
      {"huge count, no words", {0x7FFFFFFF, 0x4000000}},
      {"no word count", {40}},
      {"nothing", {}},
  };
  for (const Case& C : Cases) {
    TORVMemoryStream Stream(1);
    for (int32_t Value : C.Integers) Stream.WriteInteger(Value);
    Stream.SetPosition(0);
    TORVBitmap Bitmap;
    ExpectCorrupt([&] { Bitmap.Load(Stream); }, C.What);
  }

  // Stray bits above the count in the last word are dropped.
  TORVMemoryStream Stream(1);
  Stream.WriteInteger(4);
  Stream.WriteInteger(1);
  Stream.WriteTORVLongWord(0xFFFFFFFFu);
  Stream.SetPosition(0);
  TORVBitmap Bitmap;
  Bitmap.Load(Stream);
  EXPECT_EQ(Bitmap.TotalBitsSet(), 4);
  int32_t Value = 0;
  EXPECT_FALSE(Bitmap.NextBitClear(Value));
}

// ---------------------------------------------------------------------------
// Sparse bitmap

// An object that counts how many of its kind are alive, to see which ones a
// bitmap frees.
class TrackedObject : public TORVBaseObject {
 public:
  explicit TrackedObject(int* Alive) : FAlive(Alive) { ++*FAlive; }
  ~TrackedObject() override { --*FAlive; }

 private:
  int* FAlive;
};

std::vector<int32_t> Members(const TORVSparseBitmap& Bitmap) {
  std::vector<int32_t> Result;
  for (int64_t Number = Bitmap.GetRootNode().FirstSet(1); Number != 0 && Number <= Bitmap.MaxNumber();
       Number = Number < Bitmap.MaxNumber() ? Bitmap.GetRootNode().FirstSet(Number + 1) : 0) {
    Result.push_back(static_cast<int32_t>(Number));
  }
  return Result;
}

std::unique_ptr<TORVSparseBitmap> MakeSparse(std::initializer_list<int32_t> Numbers, int32_t BitCount = MaxInt) {
  auto Result = std::make_unique<TORVSparseBitmap>(true, false, 0);
  Result->SetBitCount(BitCount);
  for (int32_t Number : Numbers) Result->SetBit(Number);
  return Result;
}

TEST(SparseBitmap, ClearingTheLastMemberOfALeafFreesItInMinimalMode) {
  for (const bool Minimal : {true, false}) {
    TORVSparseBitmap Bitmap(Minimal, false, 0);
    Bitmap.SetBitCount(1000);
    Bitmap.SetBit(300);
    int32_t Value = 0;
    EXPECT_TRUE(Bitmap.NextBitSet(Value));
    EXPECT_EQ(Value, 300);
    EXPECT_FALSE(Bitmap.BitSet(256));
    EXPECT_TRUE(Bitmap.BitSet(300));

    const TORVSparseBitmapNode& Root = Bitmap.GetRootNode();
    const TORVSparseBitmapNode* Level2 = Root.GetNode(1)->GetNode(1);
    ASSERT_NE(Level2->GetNode(2), nullptr);
    EXPECT_EQ(Level2->GetNode(2)->GetUpperNode(), Level2);
    EXPECT_EQ(Level2->GetNode(2)->GetLevel(), 3);

    Bitmap.CheckInvariants();
    Bitmap.ClearBit(300, true);
    Bitmap.CheckInvariants();
    EXPECT_EQ(Bitmap.TotalBitsSet(), 0);
    EXPECT_TRUE(Root.Empty());
    if (Minimal) {
      EXPECT_EQ(Root.GetNode(1), nullptr);
    } else {
      // The emptied path is kept for reuse, and stays invisible.
      ASSERT_NE(Root.GetNode(1), nullptr);
      EXPECT_TRUE(Root.GetNode(1)->GetNode(1)->GetNode(2)->Empty());
      Value = 0;
      EXPECT_FALSE(Bitmap.NextBitSet(Value));
      Bitmap.SetBit(301);
      EXPECT_EQ(Members(Bitmap), std::vector<int32_t>{301});
    }
  }
}

TEST(SparseBitmap, NumbersOutsideTheTreeAreNeverMembers) {
  TORVSparseBitmap Bitmap(true, false, 0);
  Bitmap.SetBitCount(MaxInt);
  for (int32_t Number : {0, -1, std::numeric_limits<int32_t>::min()}) {
    Bitmap.SetBit(Number);
    EXPECT_FALSE(Bitmap.BitSet(Number));
    Bitmap.ClearBit(Number, true);
  }
  EXPECT_EQ(Bitmap.TotalBitsSet(), 0);
  int32_t Value = 0;
  EXPECT_FALSE(Bitmap.PriorBitSet(Value));
  EXPECT_FALSE(Bitmap.PriorBitClear(Value));
  Value = 1;
  EXPECT_FALSE(Bitmap.PriorBitClear(Value));

  // A single-leaf tree holds 1 .. 256 only; above it everything is clear.
  TORVSparseBitmap Leaf(true, false, 3);
  Leaf.SetBitCount(1000);
  EXPECT_EQ(Leaf.MaxNumber(), 256);
  Leaf.SetBit(300);
  EXPECT_FALSE(Leaf.BitSet(300));
  Leaf.SetBitCount(256);
  Leaf.SetBits();
  EXPECT_EQ(Leaf.TotalBitsSet(), 256);
  Value = 0;
  EXPECT_TRUE(Leaf.NextBitClear(Value));
  EXPECT_EQ(Value, 257);
}

TEST(SparseBitmap, NumbersAtTheTopOfTheRange) {
  const auto BitmapOwner = MakeSparse({MaxInt - 2, MaxInt - 1, MaxInt});
  TORVSparseBitmap& Bitmap = *BitmapOwner;
  EXPECT_EQ(Bitmap.TotalBitsSet(), 3);
  int32_t Value = MaxInt - 3;
  EXPECT_FALSE(Bitmap.NextBitClear(Value));  // 2^31 is not a 32-bit number
  EXPECT_EQ(Bitmap.NextBitsSet(MaxInt - 3, 100), 3);
  EXPECT_EQ(Bitmap.PriorBitsSet(MaxInt, 100), 2);
  Value = MaxInt;
  EXPECT_TRUE(Bitmap.PriorBitClear(Value));
  EXPECT_EQ(Value, MaxInt - 3);
  Value = MaxInt;
  EXPECT_TRUE(Bitmap.PriorBitSet(Value));
  EXPECT_EQ(Value, MaxInt - 1);
  Value = MaxInt - 1;
  EXPECT_TRUE(Bitmap.NextBitSet(Value));
  EXPECT_EQ(Value, MaxInt);
  EXPECT_FALSE(Bitmap.NextBitSet(Value));
}

TEST(SparseBitmap, RunLengthsServeAsReadAheadCounts) {
  const auto Run = MakeSparse({250, 251, 252, 253, 254, 255, 256, 257, 258, 259, 260}, 1000);
  const auto Split = MakeSparse({1, 2, 3, 257}, 1000);
  // A run across the 65,536 boundary passes from one level-2 branch to the
  // next.
  TORVSparseBitmap Wide(true, false, 0);
  Wide.SetBitCount(MaxInt);
  for (int32_t Number = 65000; Number <= 66000; ++Number) Wide.SetBit(Number);
  const auto Empty = MakeSparse({5, 6}, 0);

  struct Case {
    const TORVSparseBitmap* Bitmap;
    bool Forward;
    int32_t Value, MaxBits, Expected;
  } Cases[] = {
      {Run.get(), true, 249, 100, 11},   {Run.get(), true, 249, 5, 5},      {Run.get(), true, 255, 100, 5},
      {Run.get(), true, 260, 100, 1},    {Run.get(), true, 1000, 100, 1},   {Run.get(), true, 249, 0, 1},
      {Run.get(), false, 261, 100, 11},  {Run.get(), false, 258, 3, 3},     {Run.get(), false, 250, 100, 1},
      {Split.get(), true, 0, 100, 3},    {Split.get(), false, 4, 100, 3},   {&Wide, true, 64999, 5000, 1001},
      {&Wide, false, 66001, 600, 600},   {&Wide, false, 66001, 5000, 1001}, {Empty.get(), true, 4, 100, 1},
  };
  for (const Case& C : Cases) {
    const int32_t Got = C.Forward ? C.Bitmap->NextBitsSet(C.Value, C.MaxBits) : C.Bitmap->PriorBitsSet(C.Value, C.MaxBits);
    EXPECT_EQ(Got, C.Expected) << C.Forward << " " << C.Value << " " << C.MaxBits;
  }
}

TEST(SparseBitmap, ClearSearchesTreatMissingNodesAsClear) {
  const auto BitmapOwner = MakeSparse({257, 258}, 1000);
  TORVSparseBitmap& Bitmap = *BitmapOwner;
  int32_t Value = 256;
  EXPECT_TRUE(Bitmap.NextBitClear(Value));
  EXPECT_EQ(Value, 259);
  Value = 0;
  EXPECT_TRUE(Bitmap.NextBitClear(Value));
  EXPECT_EQ(Value, 1);
  Value = 259;
  EXPECT_TRUE(Bitmap.PriorBitClear(Value));
  EXPECT_EQ(Value, 256);

  // A completely full leaf sends the search on to the next one.
  TORVSparseBitmap Full(true, false, 0);
  Full.SetBitCount(MaxInt);
  for (int32_t Number = 1; Number <= 65536 + 256; ++Number) Full.SetBit(Number);
  Value = 0;
  EXPECT_TRUE(Full.NextBitClear(Value));
  EXPECT_EQ(Value, 65536 + 257);
  Value = 65536 + 257;
  EXPECT_FALSE(Full.PriorBitClear(Value));
  // Forward searches only start below BitCount, but may end above it.
  Full.SetBitCount(10);
  Value = 9;
  EXPECT_TRUE(Full.NextBitClear(Value));
  EXPECT_EQ(Value, 65536 + 257);
  Value = 10;
  EXPECT_FALSE(Full.NextBitSet(Value));
}

TEST(SparseBitmap, StoredObjectsFollowOwnership) {
  int Alive = 0;
  {
    TORVSparseBitmap Bitmap(true, true, 0);
    Bitmap.SetBitCount(MaxInt);
    auto* Y = new TrackedObject(&Alive);
    auto* X = new TrackedObject(&Alive);
    Bitmap.SetBit(70000, Y, true);
    TORVBaseObject* Stored = nullptr;
    EXPECT_TRUE(Bitmap.BitSet(70000, Stored));
    EXPECT_EQ(Stored, Y);

    // Not asked to free: Y stays alive and passes back to the caller.
    Bitmap.SetBit(70000, X, false);
    EXPECT_EQ(Alive, 2);
    EXPECT_TRUE(Bitmap.BitSet(70000, Stored));
    EXPECT_EQ(Stored, X);
    delete Y;

    // Storing the same object again must not free it.
    Bitmap.SetBit(70000, X, true);
    EXPECT_EQ(Alive, 1);
    EXPECT_TRUE(Bitmap.BitSet(70000, Stored));
    EXPECT_EQ(Stored, X);

    // Replacing with freeing.
    auto* Z = new TrackedObject(&Alive);
    Bitmap.SetBit(70000, Z, true);
    EXPECT_EQ(Alive, 1);

    // Clearing without freeing hands the object over.
    Bitmap.ClearBit(70000, false);
    EXPECT_EQ(Alive, 1);
    EXPECT_FALSE(Bitmap.BitSet(70000, Stored));
    EXPECT_EQ(Stored, nullptr);
    Bitmap.SetBit(70000);
    EXPECT_TRUE(Bitmap.BitSet(70000, Stored));
    EXPECT_EQ(Stored, nullptr);

    // Searches report the object of what they find.
    Bitmap.SetBit(5, new TrackedObject(&Alive), true);
    Bitmap.SetBit(6, new TrackedObject(&Alive), true);
    int32_t Value = 0;
    EXPECT_TRUE(Bitmap.NextBitSet(Value, Stored));
    EXPECT_EQ(Value, 5);
    EXPECT_NE(Stored, nullptr);
    Value = 70000;
    EXPECT_TRUE(Bitmap.PriorBitSet(Value, Stored));
    EXPECT_EQ(Value, 6);
    EXPECT_NE(Stored, nullptr);
    Value = 6;
    EXPECT_TRUE(Bitmap.NextBitSet(Value, Stored));
    EXPECT_EQ(Value, 70000);
    EXPECT_EQ(Stored, nullptr);
    EXPECT_EQ(Alive, 3);  // the handed-over one and the two stored

    // Whole-set operations release the objects of numbers that leave.
    Bitmap.SetBitCount(5);
    Bitmap.NotBits();
    Bitmap.CheckInvariants();
    EXPECT_EQ(Members(Bitmap), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(Alive, 1);
    Bitmap.SetBitCount(MaxInt);
    Bitmap.SetBit(9, new TrackedObject(&Alive), true);
    Bitmap.SetBit(10, new TrackedObject(&Alive), true);
    Bitmap.AndBits(*MakeSparse({9}));
    Bitmap.CheckInvariants();
    EXPECT_EQ(Alive, 2);
    Bitmap.SetBit(11, new TrackedObject(&Alive), true);
    Bitmap.ClearBits();
    Bitmap.CheckInvariants();
    EXPECT_EQ(Alive, 1);
    EXPECT_EQ(Bitmap.TotalBitsSet(), 0);
    Bitmap.SetBit(12, new TrackedObject(&Alive), true);
    delete Z;
  }
  // Destroying an owning bitmap frees what it still holds.
  EXPECT_EQ(Alive, 0);

  // A bitmap that does not own its objects never frees them.
  TrackedObject Kept(&Alive);
  {
    TORVSparseBitmap Bitmap(false, false, 0);
    Bitmap.SetBit(1, &Kept, true);
    Bitmap.ClearBit(1, true);
    Bitmap.SetBit(2, &Kept, true);
    Bitmap.ClearBits();
    Bitmap.SetBit(3, &Kept, true);
  }
  EXPECT_EQ(Alive, 1);
}

TEST(SparseBitmap, WholeSetOperationsStopAtBitCount) {
  for (const bool Minimal : {true, false}) {
    TORVSparseBitmap Bitmap(Minimal, false, 0);
    Bitmap.SetBitCount(70000);
    Bitmap.SetBit(3);
    Bitmap.SetBit(69000);
    Bitmap.SetBit(80000);
    Bitmap.NotBits();
    EXPECT_EQ(Bitmap.TotalBitsSet(), 69998);
    EXPECT_FALSE(Bitmap.BitSet(3));
    EXPECT_FALSE(Bitmap.BitSet(80000));
    EXPECT_TRUE(Bitmap.BitSet(70000));
    EXPECT_FALSE(Bitmap.BitSet(70001));

    Bitmap.SetBitCount(300);
    Bitmap.SetBits();
    EXPECT_EQ(Bitmap.TotalBitsSet(), 300);
    EXPECT_EQ(Bitmap.NextBitsSet(0, 1000), 300);

    const auto OtherOwner = MakeSparse({2, 299, 301, 5000});
    const TORVSparseBitmap& Other = *OtherOwner;
    Bitmap.SetBitCount(300);
    Bitmap.AndBits(Other);
    EXPECT_EQ(Members(Bitmap), (std::vector<int32_t>{2, 299}));
    Bitmap.SetBitCount(1000);
    Bitmap.SetBit(1500);
    Bitmap.OrBits(Other);
    EXPECT_EQ(Members(Bitmap), (std::vector<int32_t>{2, 299, 301}));
    Bitmap.SetBitCount(0);
    Bitmap.OrBits(Other);
    EXPECT_EQ(Bitmap.TotalBitsSet(), 0);
  }
}

TEST(SparseBitmap, AssignCopiesCountMembersAndObjectReferences) {
  int Alive = 0;
  TrackedObject Shared(&Alive);
  TORVSparseBitmap Source(true, false, 0);
  Source.SetBitCount(12345);
  Source.SetBit(7, &Shared, false);
  Source.SetBit(70000);
  Source.SetBit(MaxInt);

  for (const bool Minimal : {true, false}) {
    for (const int32_t Level : {0, 3}) {
      TORVSparseBitmap Target(Minimal, false, Level);
      Target.SetBit(8);
      Target.SetBit(200);
      Target.Assign(Source);
      EXPECT_EQ(Target.GetBitCount(), 12345);
      EXPECT_EQ(Members(Target), (std::vector<int32_t>{7, 70000, MaxInt}));
      TORVBaseObject* Stored = nullptr;
      EXPECT_TRUE(Target.BitSet(7, Stored));
      EXPECT_EQ(Stored, &Shared);
    }
  }

  // An owning target frees the objects it held before.
  {
    TORVSparseBitmap Target(true, true, 0);
    Target.SetBit(7, new TrackedObject(&Alive), true);
    Target.SetBit(9, new TrackedObject(&Alive), true);
    Target.Assign(*MakeSparse({9, 10}));
    EXPECT_EQ(Alive, 1);
    EXPECT_EQ(Members(Target), (std::vector<int32_t>{9, 10}));
  }
  EXPECT_EQ(Alive, 1);
}

TEST(SparseBitmap, CombinesWithATreeOfAnotherLevel) {
  const auto FullOwner = MakeSparse({1, 5, 200, 300}, 1000);
  TORVSparseBitmap& Full = *FullOwner;
  TORVSparseBitmap Leaf(true, false, 3);
  Leaf.SetBitCount(256);
  Leaf.SetBit(5);
  Leaf.SetBit(6);
  Full.AndBits(Leaf);
  EXPECT_EQ(Members(Full), std::vector<int32_t>{5});
  Full.OrBits(Leaf);
  EXPECT_EQ(Members(Full), (std::vector<int32_t>{5, 6}));
  Leaf.OrBits(*MakeSparse({100, 256, 257, 70000}));
  EXPECT_EQ(Members(Leaf), (std::vector<int32_t>{5, 6, 100, 256}));
}

TEST(SparseBitmap, DumpDescribesTheTree) {
  TORVSparseBitmap Leaf(true, false, 2);
  Leaf.SetBit(3);
  Leaf.SetBit(260);
  EXPECT_EQ(Leaf.Dump(),
            u"Node: 1\r\nLevel: 2\r\nTotal Bits Set: 2\r\nBit Set: 1 2"
            u"\r\n\r\nNode: 1\r\nLevel: 3\r\nTotal Bits Set: 1\r\nBit Set:\r\n\r\n3: 0"
            u"\r\n\r\nNode: 2\r\nLevel: 3\r\nTotal Bits Set: 1\r\nBit Set:\r\n\r\n4: 0");
}

std::unique_ptr<TORVSparseBitmap> SavedAndLoaded(const TORVSparseBitmap& Source, TORVSparseBitmap* Target = nullptr) {
  TORVMemoryStream Stream(1);
  Source.Save(Stream);
  Stream.SetPosition(0);
  auto Result = std::make_unique<TORVSparseBitmap>(true, false, 0);
  (Target != nullptr ? *Target : *Result).Load(Stream);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
  return Result;
}

TEST(SparseBitmap, SaveThenLoadRestoresCountAndMembersButNoObjects) {
  int Alive = 0;
  for (const bool Minimal : {true, false}) {
    TORVSparseBitmap Source(Minimal, true, 0);
    Source.SetBitCount(123456);
    for (int32_t Number : {1, 255, 256, 257, 65536, 65537, 0x1000000, 0x1000001, MaxInt - 1, MaxInt}) {
      Source.SetBit(Number);
    }
    Source.SetBit(77, new TrackedObject(&Alive), true);
    // An emptied child that non-minimal mode keeps must not be written.
    Source.SetBit(5000000);
    Source.ClearBit(5000000, true);

    const auto Loaded = SavedAndLoaded(Source);
    EXPECT_EQ(Loaded->GetBitCount(), 123456);
    EXPECT_EQ(Members(*Loaded), Members(Source));
    TORVBaseObject* Stored = nullptr;
    EXPECT_TRUE(Loaded->BitSet(77, Stored));
    EXPECT_EQ(Stored, nullptr);

    // Loading replaces what the target held, freeing its owned objects, and
    // takes the stored tree's shape.
    TORVSparseBitmap Target(Minimal, true, 3);
    Target.SetBit(9, new TrackedObject(&Alive), true);
    SavedAndLoaded(Source, &Target);
    EXPECT_EQ(Alive, 1);
    EXPECT_EQ(Members(Target), Members(Source));
  }
  EXPECT_EQ(Alive, 0);

  TORVSparseBitmap Empty(true, false, 0);
  const auto Loaded = SavedAndLoaded(Empty);
  EXPECT_EQ(Loaded->TotalBitsSet(), 0);
  EXPECT_EQ(Loaded->GetBitCount(), 0);
}

TEST(SparseBitmap, SavesTheTreeLayout) {
  TORVSparseBitmap Leaf(true, false, 3);
  Leaf.SetBitCount(300);
  Leaf.SetBit(1);
  Leaf.SetBit(256);
  TORVMemoryStream Stream(1);
  Leaf.Save(Stream);
  TORVBytes Expected = {0x2C, 0x01, 0, 0, 3, 0, 0, 0, 0, 1, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0};
  Expected.resize(Expected.size() + 24, 0);
  Expected.insert(Expected.end(), {0, 0, 0, 0x80});
  EXPECT_EQ(StreamBytes(Stream), Expected);

  // A full tree writes its root, then each populated branch down to the leaf.
  const auto Full = MakeSparse({70000}, 5);
  TORVMemoryStream FullStream(1);
  Full->Save(FullStream);
  EXPECT_EQ(FullStream.GetSize(), 4 + 4 * (4 + 8 + 32));
}

// Builds a sparse bitmap image from 32-bit integers; a map is given as the
// list of its set bits.
struct ImageBuilder {
  TORVMemoryStream Stream{1};
  ImageBuilder& Int(int32_t Value) {
    Stream.WriteInteger(Value);
    return *this;
  }
  ImageBuilder& Node(int32_t Level, std::initializer_list<int32_t> Bits) {
    Int(Level).Int(256).Int(8);
    uint32_t Words[8] = {};
    for (int32_t Bit : Bits) Words[(Bit - 1) / 32] |= 1u << ((Bit - 1) % 32);
    for (uint32_t Word : Words) Stream.WriteTORVLongWord(Word);
    return *this;
  }
};

TEST(SparseBitmap, LoadRefusesMalformedTreesAndLeavesTheSetEmpty) {
  struct Case {
    const char* What;
    std::function<void(ImageBuilder&)> Build;
  } Cases[] = {
      {"root level out of range", [](ImageBuilder& B) { B.Int(10).Node(4, {1}); }},
      {"child of the wrong level", [](ImageBuilder& B) { B.Int(10).Node(2, {1}).Node(2, {1}); }},
      {"root child above 128", [](ImageBuilder& B) { B.Int(10).Node(0, {129}).Node(1, {1}).Node(2, {1}).Node(3, {1}); }},
      {"number 2^31",
       [](ImageBuilder& B) { B.Int(10).Node(0, {128}).Node(1, {256}).Node(2, {256}).Node(3, {256}); }},
      {"empty child", [](ImageBuilder& B) { B.Int(10).Node(2, {1, 2}).Node(3, {5}).Node(3, {}); }},
      {"missing child", [](ImageBuilder& B) { B.Int(10).Node(2, {1, 2}).Node(3, {5}); }},
      {"map of another size", [](ImageBuilder& B) { B.Int(10).Int(3).Int(32).Int(1).Int(1); }},
  };
  for (const Case& C : Cases) {
    ImageBuilder Builder;
    C.Build(Builder);
    Builder.Stream.SetPosition(0);
    TORVSparseBitmap Bitmap(true, false, 0);
    Bitmap.SetBit(42);
    ExpectCorrupt([&] { Bitmap.Load(Builder.Stream); }, C.What);
    EXPECT_EQ(Bitmap.TotalBitsSet(), 0) << C.What;
  }

  // Every cut-short image is refused, never half loaded.
  const auto Source = MakeSparse({3, 300, 70000, MaxInt});
  TORVMemoryStream Stream(1);
  Source->Save(Stream);
  const TORVBytes Image = StreamBytes(Stream);
  for (size_t Length = 0; Length < Image.size(); ++Length) {
    TORVMemoryStream Cut(1);
    Cut.Write(Image.data(), static_cast<int32_t>(Length));
    Cut.SetPosition(0);
    TORVSparseBitmap Bitmap(true, false, 0);
    ExpectCorrupt([&] { Bitmap.Load(Cut); }, "cut short");
    ASSERT_EQ(Bitmap.TotalBitsSet(), 0) << Length;
  }
}

// Numbers clustered around the places where leaves and branches meet, so
// that searches and runs cross node edges often.
int32_t BoundaryNumber(std::mt19937& Random) {
  static const int64_t Bases[] = {0,          256,        512,        65536,      65536 * 2, 65536 + 256,
                                  0x1000000,  0x1000000 + 65536,      0x40000000, 0x7F000000,
                                  0x7FFF0000, 0x7FFFFF00, 0x80000000};
  const int64_t Base = Bases[Random() % std::size(Bases)];
  const int64_t Number = Base + std::uniform_int_distribution<int32_t>(-4, 4)(Random);
  if (Number < 1 || Number > MaxInt) return static_cast<int32_t>(Random() % 1000 + 1);
  return static_cast<int32_t>(Number);
}

int64_t ModelNextClear(const std::set<int32_t>& Model, int64_t From) {
  while (From <= MaxInt && Model.count(static_cast<int32_t>(From))) ++From;
  return From;
}

int64_t ModelPriorClear(const std::set<int32_t>& Model, int64_t From) {
  while (From >= 1 && Model.count(static_cast<int32_t>(From))) --From;
  return From;
}

TEST(SparseBitmap, AgreesWithSetModelUnderRandomOperations) {
  for (const bool Minimal : {true, false}) {
    std::mt19937 Random(Minimal ? 4242 : 2424);
    TORVSparseBitmap Bitmap(Minimal, false, 0);
    Bitmap.SetBitCount(MaxInt);
    std::set<int32_t> Model;
    for (int32_t Step = 0; Step < 10000; ++Step) {
      const int32_t Value = Random() % 8 == 0 ? static_cast<int32_t>(Random() % (1u << 31)) : BoundaryNumber(Random);
      switch (Random() % 12) {
        case 0:
        case 1:
        case 2:
          Bitmap.SetBit(Value);
          Model.insert(Value);
          break;
        case 3:
        case 4:
          Bitmap.ClearBit(Value, true);
          Model.erase(Value);
          break;
        case 5:
          ASSERT_EQ(Bitmap.BitSet(Value), Model.count(Value) != 0);
          break;
        case 6: {
          int32_t Found = Value;
          auto It = Model.upper_bound(Value);
          ASSERT_EQ(Bitmap.NextBitSet(Found), It != Model.end()) << Value;
          ASSERT_EQ(Found, It != Model.end() ? *It : Value);
          Found = Value;
          It = Model.lower_bound(Value);
          ASSERT_EQ(Bitmap.PriorBitSet(Found), It != Model.begin()) << Value;
          ASSERT_EQ(Found, It != Model.begin() ? *std::prev(It) : Value);
          break;
        }
        case 7: {
          const int64_t Next = ModelNextClear(Model, static_cast<int64_t>(Value) + 1);
          int32_t Found = Value;
          const bool Expected = Value < MaxInt && Next <= MaxInt;
          ASSERT_EQ(Bitmap.NextBitClear(Found), Expected) << Value;
          if (Expected) {
            ASSERT_EQ(Found, Next);
          }
          const int64_t Prior = ModelPriorClear(Model, static_cast<int64_t>(Value) - 1);
          Found = Value;
          ASSERT_EQ(Bitmap.PriorBitClear(Found), Prior >= 1) << Value;
          if (Prior >= 1) {
            ASSERT_EQ(Found, Prior);
          }
          break;
        }
        case 8: {
          const int32_t MaxBits = static_cast<int32_t>(Random() % 20 + 1);
          int32_t Run = 0;
          while (Run < MaxBits && static_cast<int64_t>(Value) + 1 + Run <= MaxInt && Model.count(Value + 1 + Run)) ++Run;
          ASSERT_EQ(Bitmap.NextBitsSet(Value, MaxBits), Value < MaxInt ? std::max(Run, 1) : 1) << Value;
          Run = 0;
          while (Run < MaxBits && Model.count(Value - 1 - Run)) ++Run;
          ASSERT_EQ(Bitmap.PriorBitsSet(Value, MaxBits), std::max(Run, 1)) << Value;
          break;
        }
        case 9:
          // Fill a short range so that runs and full leaves occur.
          for (int32_t Number = Value; static_cast<int64_t>(Number) < static_cast<int64_t>(Value) + 300 && Number < MaxInt; ++Number) {
            Bitmap.SetBit(Number);
            Model.insert(Number);
          }
          break;
        case 10: {
          TORVSparseBitmap Other(true, false, 0);
          Other.SetBitCount(MaxInt);
          std::set<int32_t> OtherModel;
          for (int I = 0; I < 40; ++I) {
            // Half of them members already, so that intersections keep some.
            int32_t Number = BoundaryNumber(Random);
            if (Random() % 2 == 0 && !Model.empty()) {
              auto It = Model.lower_bound(Number);
              Number = It == Model.end() ? *Model.begin() : *It;
            }
            Other.SetBit(Number);
            OtherModel.insert(Number);
          }
          const int32_t Limit = Random() % 2 == 0 ? MaxInt : BoundaryNumber(Random);
          Bitmap.SetBitCount(Limit);
          std::set<int32_t> Expected;
          if (Random() % 2 == 0) {
            Bitmap.AndBits(Other);
            for (int32_t Number : Model) {
              if (Number <= Limit && OtherModel.count(Number)) Expected.insert(Number);
            }
          } else {
            Bitmap.OrBits(Other);
            for (int32_t Number : Model) {
              if (Number <= Limit) Expected.insert(Number);
            }
            for (int32_t Number : OtherModel) {
              if (Number <= Limit) Expected.insert(Number);
            }
          }
          Model = Expected;
          Bitmap.SetBitCount(MaxInt);
          break;
        }
        case 11:
          ASSERT_EQ(Bitmap.TotalBitsSet(), static_cast<int32_t>(Model.size()));
          break;
      }
      if (Step % 50 == 0) Bitmap.CheckInvariants();
    }
    Bitmap.CheckInvariants();
    ASSERT_EQ(Members(Bitmap), std::vector<int32_t>(Model.begin(), Model.end()));
    Bitmap.SetBitCount(Model.empty() ? 0 : *Model.rbegin());
    const auto Loaded = SavedAndLoaded(Bitmap);
    Loaded->CheckInvariants();
    ASSERT_EQ(Loaded->GetBitCount(), Bitmap.GetBitCount());
    ASSERT_EQ(Members(*Loaded), std::vector<int32_t>(Model.begin(), Model.end()));
  }
}

// NotBits and SetBits build every node up to BitCount, so they are checked
// against the model over a few leaves only.
TEST(SparseBitmap, ComplementAgreesWithSetModelNearLeafEdges) {
  std::mt19937 Random(99);
  for (int32_t Round = 0; Round < 40; ++Round) {
    TORVSparseBitmap Bitmap(Round % 2 == 0, false, 0);
    std::set<int32_t> Model;
    for (int I = 0; I < 30; ++I) {
      const int32_t Number = static_cast<int32_t>(Random() % 1100 + 1);
      Bitmap.SetBit(Number);
      Model.insert(Number);
    }
    const int32_t Limit = static_cast<int32_t>(Random() % 1024);
    Bitmap.SetBitCount(Limit);
    std::set<int32_t> Expected;
    if (Round % 3 == 0) {
      Bitmap.SetBits();
      for (int32_t Number = 1; Number <= Limit; ++Number) Expected.insert(Number);
    } else {
      Bitmap.NotBits();
      for (int32_t Number = 1; Number <= Limit; ++Number) {
        if (!Model.count(Number)) Expected.insert(Number);
      }
    }
    Bitmap.CheckInvariants();
    ASSERT_EQ(Members(Bitmap), std::vector<int32_t>(Expected.begin(), Expected.end())) << Limit;
    ASSERT_EQ(Bitmap.TotalBitsSet(), static_cast<int32_t>(Expected.size()));
  }
}

}  // namespace
}  // namespace orv
