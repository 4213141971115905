#include "core/orvkeyvalues.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/orvcontainedvalue.h"
#include "base/orverror.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"

namespace orv {
namespace {

constexpr int32_t kUnicode = 1;
constexpr int32_t kCaseInsensitive = 1 << 20;

// A key over values that the test holds, with per-column collation and
// direction.
class TTestKey : public TORVKeyValues {
 public:
  TTestKey() : TORVKeyValues(kUnicode) {}

  // Adds a key column holding Value.
  TORVValue* AddColumn(std::unique_ptr<TORVValue> Value, int32_t Collation = 0, bool Descending = false) {
    FHeld.push_back(std::move(Value));
    FCollations.push_back(Collation);
    FDescending.push_back(Descending);
    Add(FHeld.back().get());
    return FHeld.back().get();
  }
  TORVValue* AddInteger(int32_t Number, bool Descending = false) {
    auto value = std::make_unique<TORVContainedValue>(kUnicode);
    value->SetDataType(dtInteger);
    value->SetAsInteger(Number);
    return AddColumn(std::move(value), 0, Descending);
  }
  TORVValue* AddText(const TORVString& Text, int32_t Collation) {
    auto value = std::make_unique<TORVContainedValue>(kUnicode);
    value->SetDataType(dtCharacter);
    value->SetAsString(Text);
    return AddColumn(std::move(value), Collation);
  }

  int32_t GetColumnCollation(int32_t Index) override { return FCollations.at(Index); }
  bool GetColumnDescending(int32_t Index) override { return FDescending.at(Index); }
  int32_t GetRowID() override { return FRowID; }
  void SetRowID(int32_t Value) override { FRowID = Value; }

 private:
  std::vector<std::unique_ptr<TORVValue>> FHeld;
  std::vector<int32_t> FCollations;
  std::vector<bool> FDescending;
  int32_t FRowID = 0;
};

TEST(KeyValues, RecordOfOneIntegerAndItsRowID) {
  TTestKey key;
  EXPECT_FALSE(key.GetOwnsValues());
  key.AddInteger(7);
  key.SetRowID(12);
  TORVMemoryStream stream(kUnicode);
  key.Save(stream);
  const TORVBytes expected{0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00};
  ASSERT_EQ(stream.GetSize(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(TORVBytes(stream.GetMemory(), stream.GetMemory() + stream.GetSize()), expected);

  TTestKey loaded;
  loaded.AddInteger(0);
  stream.SetPosition(0);
  loaded.Load(stream);
  EXPECT_EQ(loaded.GetItems(0)->GetAsInteger(), 7);
  EXPECT_EQ(loaded.GetRowID(), 12);
}

TEST(KeyValues, LoadWithoutTheRowIDIsCorrupt) {
  TTestKey key;
  key.AddInteger(7);
  TORVMemoryStream stream(kUnicode);
  static_cast<TORVValues&>(key).TORVValues::Save(stream);  // no row ID
  stream.SetPosition(0);
  try {
    key.Load(stream);
    FAIL() << "no error";
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 601);
  }
}

TEST(KeyValues, AnEmptyKeyOnEitherSideComparesBelow) {
  TTestKey empty, other, alsoEmpty;
  other.AddInteger(1);
  EXPECT_EQ(empty.Compare(other, 0, false), -1);
  EXPECT_EQ(other.Compare(empty, 0, false), -1);
  EXPECT_EQ(empty.Compare(alsoEmpty, 0, false), -1);
}

TEST(KeyValues, DescendingColumnsReverseTheirResult) {
  struct Case {
    bool firstDescending, secondDescending;
    int32_t left1, left2, right1, right2, expected;
  };
  const Case cases[] = {
      {true, false, 1, 0, 2, 0, 1},   {false, false, 1, 0, 2, 0, -1}, {true, false, 5, 1, 5, 2, -1},
      {false, true, 5, 1, 5, 2, 1},   {true, true, 5, 2, 5, 2, 0},
  };
  for (const Case& c : cases) {
    TTestKey left, right;
    left.AddInteger(c.left1, c.firstDescending);
    left.AddInteger(c.left2, c.secondDescending);
    right.AddInteger(c.right1, c.firstDescending);
    right.AddInteger(c.right2, c.secondDescending);
    EXPECT_EQ(left.Compare(right, 0, false), c.expected)
        << c.left1 << "," << c.left2 << " vs " << c.right1 << "," << c.right2;
  }
}

TEST(KeyValues, RowIDDoesNotBreakTies) {
  TTestKey left, right;
  left.AddInteger(3);
  right.AddInteger(3);
  left.SetRowID(1);
  right.SetRowID(2);
  EXPECT_EQ(left.Compare(right, 0, false), 0);
}

TEST(KeyValues, TextComparesWithTheColumnCollationNotTheValues) {
  TTestKey left, right;
  // The values carry no collation; the key column ignores case.
  left.AddText(u"ABC", kCaseInsensitive);
  right.AddText(u"abc", kCaseInsensitive);
  EXPECT_EQ(left.Compare(right, 0, false), 0);

  TTestKey ordinalLeft, ordinalRight;
  ordinalLeft.AddText(u"ABC", 0);
  ordinalRight.AddText(u"abc", 0);
  EXPECT_EQ(ordinalLeft.Compare(ordinalRight, 0, false), -1);
  EXPECT_EQ(ordinalLeft.Compare(ordinalRight, 0, true), 0);
  // A partial comparison applies to the last position of the other key.
  TTestKey partial;
  partial.AddText(u"ABX", 0);
  EXPECT_EQ(ordinalLeft.Compare(partial, 2, false), 0);
}

TEST(KeyValues, AssignTakesTheRowIDOfAKeyOnly) {
  TTestKey source, target;
  source.AddInteger(4);
  source.SetRowID(99);
  target.AddInteger(0);
  target.SetRowID(5);

  TORVValues plain(kUnicode);
  auto* value = new TORVContainedValue(kUnicode);
  value->SetDataType(dtInteger);
  value->SetAsInteger(8);
  plain.Add(value);
  target.Assign(plain);
  EXPECT_EQ(target.GetRowID(), 5);
  EXPECT_EQ(target.GetItems(0), value);

  target.Assign(source);
  EXPECT_EQ(target.GetRowID(), 99);
  EXPECT_EQ(target.GetItems(0), source.GetItems(0));
}

}  // namespace
}  // namespace orv
