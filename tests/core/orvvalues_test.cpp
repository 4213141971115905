#include "core/orvvalues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

#include "core/orvcontainedvalue.h"
#include "base/orverror.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"

namespace orv {
namespace {

constexpr int32_t kUnicode = 1;
constexpr int32_t kCaseInsensitiveENU = 1033 | (1 << 20);

// Counts how many of its kind are alive, so that tests see which values a
// list frees.
class TCountedValue : public TORVContainedValue {
 public:
  explicit TCountedValue(int32_t CharacterSet) : TORVContainedValue(CharacterSet) { ++Alive; }
  ~TCountedValue() override { --Alive; }
  static inline int Alive = 0;
};

template <typename T = TORVContainedValue>
T* NewInteger(std::optional<int32_t> Number) {
  auto* value = new T(kUnicode);
  value->SetDataType(dtInteger);
  if (Number) value->SetAsInteger(*Number);
  return value;
}

TORVValue* NewText(const TORVString& Text, int32_t Collation = 0) {
  auto* value = new TORVContainedValue(kUnicode);
  value->SetDataType(dtCharacter);
  value->SetCollation(Collation);
  value->SetAsString(Text);
  return value;
}

// An owning list of Integer values; nullopt stands for NULL.
std::unique_ptr<TORVValues> Integers(std::initializer_list<std::optional<int32_t>> Numbers) {
  auto list = std::make_unique<TORVValues>(kUnicode);
  for (const auto& number : Numbers) list->Add(NewInteger(number));
  return list;
}

// A list that creates Integer values as it loads.
class TIntegerValues : public TORVValues {
 public:
  TIntegerValues() : TORVValues(kUnicode) {}
  TORVValue* CreateValueObject(int32_t) override { return NewInteger<TCountedValue>(std::nullopt); }
};

// A list that only refers to values.
class TReferringValues : public TORVValues {
 public:
  TReferringValues() : TORVValues(kUnicode, false) {}
};

std::vector<std::optional<int32_t>> Contents(TORVValues& List) {
  std::vector<std::optional<int32_t>> result;
  for (int32_t i = 0; i < List.GetCount(); ++i) {
    TORVValue* value = List.GetItems(i);
    result.push_back(value->GetNull() ? std::nullopt : std::optional<int32_t>(value->GetAsInteger()));
  }
  return result;
}

TEST(Values, CapacityGrowsInStepsOfEightAndDeleteNeverFrees) {
  TCountedValue::Alive = 0;
  {
    TORVValues list(kUnicode);
    EXPECT_TRUE(list.GetOwnsValues());
    for (int32_t i = 0; i < 8; ++i) list.Add(NewInteger<TCountedValue>(i));
    EXPECT_EQ(list.GetCapacity(), 8);
    list.Add(NewInteger<TCountedValue>(8));
    EXPECT_EQ(list.GetCapacity(), 16);
    EXPECT_EQ(list.GetCount(), 9);

    std::unique_ptr<TORVValue> removed(list.GetItems(3));
    list.Delete(3);
    EXPECT_EQ(TCountedValue::Alive, 9);
    EXPECT_EQ(list.GetCount(), 8);
    EXPECT_EQ(list.GetItems(3)->GetAsInteger(), 4);
    EXPECT_EQ(removed->GetAsInteger(), 3);
  }
  // The list freed the eight values it still held; the test freed the ninth.
  EXPECT_EQ(TCountedValue::Alive, 0);
}

TEST(Values, InsertDeleteAndIndexChecks) {
  auto list = Integers({1, 3});
  list->Insert(1, NewInteger(2));
  list->Insert(3, NewInteger(4));
  list->Insert(0, NewInteger(0));
  EXPECT_EQ(Contents(*list), (std::vector<std::optional<int32_t>>{0, 1, 2, 3, 4}));
  EXPECT_THROW(list->Insert(7, nullptr), std::out_of_range);
  EXPECT_THROW(list->GetItems(5), std::out_of_range);
  EXPECT_THROW(list->Delete(5), std::out_of_range);

  TORVValues empty(kUnicode);
  empty.Delete(0);  // nothing to delete
  EXPECT_EQ(empty.GetCount(), 0);

  // DeleteAll forgets the entries without freeing them.
  std::vector<std::unique_ptr<TORVValue>> held;
  for (int32_t i = 0; i < list->GetCount(); ++i) held.emplace_back(list->GetItems(i));
  list->DeleteAll();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(held[4]->GetAsInteger(), 4);
}

TEST(Values, CuttingTheCapacityFreesTheValuesBeyondItInAnOwningListOnly) {
  TCountedValue::Alive = 0;
  TORVValues owning(kUnicode);
  for (int32_t i = 0; i < 10; ++i) owning.Add(NewInteger<TCountedValue>(i));
  owning.SetCapacity(3);
  EXPECT_EQ(owning.GetCapacity(), 8);
  EXPECT_EQ(owning.GetCount(), 8);
  EXPECT_EQ(TCountedValue::Alive, 8);

  std::vector<std::unique_ptr<TORVValue>> held;
  TReferringValues referring;
  for (int32_t i = 0; i < 10; ++i) {
    held.emplace_back(NewInteger<TCountedValue>(i));
    referring.Add(held.back().get());
  }
  referring.SetCapacity(0);
  EXPECT_EQ(referring.GetCapacity(), 0);
  EXPECT_EQ(referring.GetCount(), 0);
  EXPECT_EQ(TCountedValue::Alive, 18);
}

TEST(Values, ClearMakesEveryValueNullAndKeepsTheEntries) {
  auto list = Integers({5, std::nullopt, 7});
  list->Clear();
  EXPECT_EQ(Contents(*list), (std::vector<std::optional<int32_t>>{std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_EQ(list->GetItems(2)->GetAsInteger(), 0);
}

TEST(Values, CompareDecidesOnTheFirstDifferenceAsFarAsBothListsReach) {
  struct Case {
    std::initializer_list<std::optional<int32_t>> left, right;
    int32_t expected;
  };
  const Case cases[] = {
      {{1, 2}, {1, 2, 3}, 0},          {{1, 2, 3}, {1, 2}, 0},        {{1, 3}, {1, 2, 9}, 1},
      {{1, 2}, {1, 3}, -1},            {{}, {1}, 0},                  {{std::nullopt}, {-5}, -1},
      {{2, std::nullopt}, {2, std::nullopt}, 0},
  };
  for (const Case& c : cases) {
    auto left = Integers(c.left);
    auto right = Integers(c.right);
    EXPECT_EQ(left->Compare(*right, 0, false), c.expected) << left->GetCount() << " vs " << right->GetCount();
  }
}

TEST(Values, TextComparesWithTheValuesOwnCollationAndPartialLengthAtTheLastPosition) {
  TORVValues left(kUnicode), right(kUnicode);
  left.Add(NewText(u"ABC", kCaseInsensitiveENU));
  left.Add(NewText(u"abc"));
  right.Add(NewText(u"abc"));
  right.Add(NewText(u"abd"));
  // The first value's collation ignores case; the last position compares
  // two characters only.
  EXPECT_EQ(left.Compare(right, 2, false), 0);
  EXPECT_EQ(left.Compare(right, 0, false), -1);

  // PartialLength does not reach a position before the last one.
  TORVValues shortLeft(kUnicode), shortRight(kUnicode);
  shortLeft.Add(NewText(u"abc"));
  shortLeft.Add(NewText(u"x"));
  shortRight.Add(NewText(u"abd"));
  shortRight.Add(NewText(u"x"));
  EXPECT_EQ(shortLeft.Compare(shortRight, 2, false), -1);

  // CaseInsensitive applies to text under any collation.
  TORVValues upper(kUnicode), lower(kUnicode);
  upper.Add(NewText(u"ABC"));
  lower.Add(NewText(u"abc"));
  EXPECT_NE(upper.Compare(lower, 0, false), 0);
  EXPECT_EQ(upper.Compare(lower, 0, true), 0);
}

TEST(Values, FindValueReturnsTheLastComparisonAndTheInsertionPoint) {
  struct Case {
    int32_t sought, result, index;
  };
  auto list = Integers({1, 3, 7});
  for (const Case& c : {Case{5, 1, 2}, Case{9, -1, 3}, Case{3, 0, 1}, Case{0, 1, 0}, Case{1, 0, 0}, Case{7, 0, 2},
                        Case{2, -1, 1}}) {
    std::unique_ptr<TORVValue> sought(NewInteger(c.sought));
    int32_t index = -1;
    EXPECT_EQ(list->FindValue(*sought, 0, index), c.result) << c.sought;
    EXPECT_EQ(index, c.index) << c.sought;
  }
  TORVValues empty(kUnicode);
  std::unique_ptr<TORVValue> sought(NewInteger(4));
  int32_t index = -1;
  EXPECT_EQ(empty.FindValue(*sought, 0, index), 1);
  EXPECT_EQ(index, 0);
}

TEST(Values, SortOrdersAscendingWithNullsFirst) {
  std::mt19937 random(7);
  for (int32_t count : {0, 1, 2, 3, 17, 200}) {
    TORVValues list(kUnicode);
    std::vector<std::optional<int32_t>> expected;
    for (int32_t i = 0; i < count; ++i) {
      std::optional<int32_t> number;
      if (random() % 8 != 0) number = static_cast<int32_t>(random() % 20) - 10;
      list.Add(NewInteger(number));
      expected.push_back(number);
    }
    std::sort(expected.begin(), expected.end());  // nullopt sorts first
    list.Sort(0);
    EXPECT_EQ(Contents(list), expected) << count;
  }
}

// A value whose comparison disagrees with itself: it never equals even
// itself.
class TInconsistentValue : public TORVContainedValue {
 public:
  TInconsistentValue(int32_t Result) : TORVContainedValue(kUnicode), FResult(Result) {}
  int32_t Compare(TORVValue&, int32_t, bool, int32_t) override { return FResult; }

 private:
  int32_t FResult;
};

TEST(Values, SortStaysInsideTheListWhenComparisonsAreInconsistent) {
  for (int32_t result : {-1, 1}) {
    TORVValues list(kUnicode);
    for (int32_t i = 0; i < 9; ++i) list.Add(new TInconsistentValue(result));
    list.Sort(0);
    EXPECT_EQ(list.GetCount(), 9);
  }
}

TEST(Values, SortOfTextUsesTheGivenCollation) {
  TORVValues list(kUnicode);
  for (const char16_t* text : {u"b", u"C", u"a", u"B"}) list.Add(NewText(text));
  list.Sort(0);
  std::vector<TORVString> ordinal;
  for (int32_t i = 0; i < list.GetCount(); ++i) ordinal.push_back(list.GetItems(i)->GetAsString());
  EXPECT_EQ(ordinal, (std::vector<TORVString>{u"B", u"C", u"a", u"b"}));
  list.Sort(1033);
  EXPECT_EQ(list.GetItems(0)->GetAsString()[0], u'a');
  EXPECT_EQ(list.GetItems(3)->GetAsString(), u"C");
}

TEST(Values, OwningAssignCopiesValuesAsFarAsBothReachAndKeepsItsCount) {
  auto target = Integers({0, 0, 0});
  auto source = Integers({4, std::nullopt});
  TORVValue* first = target->GetItems(0);
  target->Assign(*source);
  EXPECT_EQ(Contents(*target), (std::vector<std::optional<int32_t>>{4, std::nullopt, 0}));
  EXPECT_EQ(target->GetItems(0), first);
}

TEST(Values, ReferringAssignReferstoTheSourceValues) {
  auto source = Integers({1, 2, 3});
  std::vector<std::unique_ptr<TORVValue>> held;
  TReferringValues shorter;
  held.emplace_back(NewInteger(9));
  shorter.Add(held.back().get());
  shorter.Add(held.back().get());
  shorter.Assign(*source);
  ASSERT_EQ(shorter.GetCount(), 2);
  EXPECT_EQ(shorter.GetItems(0), source->GetItems(0));
  EXPECT_EQ(shorter.GetItems(1), source->GetItems(1));

  // A referring list longer than its source would hold empty entries; it is
  // cut to the source's length.
  TReferringValues longer;
  for (int32_t i = 0; i < 5; ++i) longer.Add(held.back().get());
  longer.Assign(*source);
  ASSERT_EQ(longer.GetCount(), 3);
  EXPECT_EQ(longer.GetItems(2), source->GetItems(2));
  EXPECT_EQ(Contents(longer), (std::vector<std::optional<int32_t>>{1, 2, 3}));
}

TEST(Values, SaveThenLoadRoundTripsAndCreatesOrFreesValues) {
  auto source = Integers({7, std::nullopt, -1});
  TORVMemoryStream stream(kUnicode);
  source->Save(stream);
  EXPECT_EQ(stream.GetSize(), 4 + 5 + 1 + 5);

  TCountedValue::Alive = 0;
  {
    TIntegerValues target;
    stream.SetPosition(0);
    target.Load(stream);
    EXPECT_EQ(Contents(target), (std::vector<std::optional<int32_t>>{7, std::nullopt, -1}));
    EXPECT_EQ(TCountedValue::Alive, 3);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());

    // Fewer values in the stream: the surplus entries are freed.
    TORVMemoryStream one(kUnicode);
    Integers({42})->Save(one);
    one.SetPosition(0);
    target.Load(one);
    EXPECT_EQ(Contents(target), (std::vector<std::optional<int32_t>>{42}));
    EXPECT_EQ(TCountedValue::Alive, 1);
  }
  EXPECT_EQ(TCountedValue::Alive, 0);
}

TEST(Values, LoadRefusesRecordsItCannotReadInStep) {
  auto expectCorrupt = [](TORVValues& List, TORVMemoryStream& Stream) {
    Stream.SetPosition(0);
    try {
      List.Load(Stream);
      ADD_FAILURE() << "no error";
    } catch (const EORVException& e) {
      EXPECT_EQ(e.ErrorCode(), 601);
    }
  };
  TORVMemoryStream three(kUnicode);
  Integers({1, 2, 3})->Save(three);

  // A referring list cannot make the values it lacks.
  auto held = Integers({0, 0});
  TReferringValues referring;
  referring.Add(held->GetItems(0));
  referring.Add(held->GetItems(1));
  expectCorrupt(referring, three);
  EXPECT_EQ(held->GetItems(0)->GetAsInteger(), 0);

  // A plain list has no type to make values in.
  TORVValues plain(kUnicode);
  expectCorrupt(plain, three);
  EXPECT_EQ(plain.GetCount(), 0);

  // A count that the rest of the stream cannot hold, a negative count and
  // a missing count.
  TIntegerValues target;
  for (const TORVBytes& bytes : {TORVBytes{0xFF, 0xFF, 0xFF, 0x7F, 0x00}, TORVBytes{0xFF, 0xFF, 0xFF, 0xFF},
                                 TORVBytes{0x01, 0x00}}) {
    TORVMemoryStream stream(kUnicode);
    stream.Write(bytes, 0, static_cast<int32_t>(bytes.size()));
    expectCorrupt(target, stream);
  }
}

}  // namespace
}  // namespace orv
