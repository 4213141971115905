#include "core/orvcontainedvalue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "core/orvdatetime.h"
#include "base/orverror.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {
namespace {

// The contained value as parameters use it: the defined length limits text
// and bytes.
class TDefinedLengthValue : public TORVContainedValue {
 public:
  explicit TDefinedLengthValue(int32_t CharacterSet) : TORVContainedValue(CharacterSet, true) {}
};

template <typename T = TORVContainedValue>
std::unique_ptr<T> MakeValue(int32_t DataType, int32_t SubType, int32_t Length, int32_t CharacterSet = 1) {
  auto value = std::make_unique<T>(CharacterSet);
  value->SetDataType(DataType);
  value->SetSubType(SubType);
  value->SetLength(Length);
  return value;
}

std::string Utf8(const TORVString& Value) { return std::string(Value.begin(), Value.end()); }

TORVBytes Image(TORVContainedValue& Value) {
  TORVMemoryStream* stream = Value.GetBlob();
  return TORVBytes(stream->GetMemory(), stream->GetMemory() + stream->GetSize());
}

TEST(ContainedValue, DefinedLengthLimitsVarChar) {
  for (int32_t characterSet : {0, 1}) {
    SCOPED_TRACE(characterSet);
    auto value = MakeValue<TDefinedLengthValue>(dtCharacter, stVarChar, 5, characterSet);
    value->SetAsString(u"abc");
    try {
      value->SetAsString(u"abc   d");
      FAIL() << "no error";
    } catch (const EORVException& e) {
      EXPECT_EQ(e.ErrorCode(), 1011);
      EXPECT_EQ(Utf8(e.ErrorMsg()),
                "An error occurred with the value abc (The value abc   d would result in truncation)");
    }
    EXPECT_EQ(value->GetAsString(), u"abc");
    // Trailing blanks beyond the defined length are dropped without error.
    value->SetAsString(u"abc    ");
    EXPECT_EQ(value->GetAsString(), u"abc  ");
    EXPECT_EQ(value->GetLength(), 5);
    value->SetRaiseTruncationErrors(false);
    value->SetAsString(u"abcdefg");
    EXPECT_EQ(value->GetAsString(), u"abcde");
  }
}

TEST(ContainedValue, TruncationKeepsNullState) {
  auto value = MakeValue<TDefinedLengthValue>(dtCharacter, stVarChar, 2);
  EXPECT_THROW(value->SetAsString(u"abc"), EORVException);
  EXPECT_TRUE(value->GetNull());
}

TEST(ContainedValue, CharPadsAndCutsWithoutError) {
  for (int32_t characterSet : {0, 1}) {
    auto value = MakeValue<TDefinedLengthValue>(dtCharacter, stChar, 5, characterSet);
    value->SetAsString(u"ab");
    EXPECT_EQ(value->GetAsString(), u"ab   ");
    value->SetAsString(u"abcdefg");
    EXPECT_EQ(value->GetAsString(), u"abcde");
    EXPECT_EQ(value->GetSize(), 5 * (characterSet == 1 ? 2 : 1));
  }
}

TEST(ContainedValue, PlainValueKeepsTextOfAnyLength) {
  auto value = MakeValue(dtCharacter, stVarChar, 3);
  value->SetAsString(u"a longer text  ");
  EXPECT_EQ(value->GetAsString(), u"a longer text  ");
  EXPECT_EQ(value->GetDefinedLength(), 0);
}

TEST(ContainedValue, Images) {
  auto text = MakeValue(dtCharacter, stVarChar, 0, 1);
  text->SetAsString(u"ab");
  EXPECT_EQ(Image(*text), (TORVBytes{2, 0, 0, 0, 'a', 0, 'b', 0}));
  auto ansi = MakeValue(dtCharacter, stVarChar, 0, 0);
  ansi->SetAsString(u"ab");
  EXPECT_EQ(Image(*ansi), (TORVBytes{2, 0, 0, 0, 'a', 'b'}));
  auto fixed = MakeValue(dtBytes, stByte, 4);
  fixed->SetAsBytes({1, 2});
  EXPECT_EQ(Image(*fixed), (TORVBytes{1, 2, 0, 0}));
  fixed->SetAsBytes({1, 2, 3, 4, 5});
  EXPECT_EQ(Image(*fixed), (TORVBytes{1, 2, 3, 4}));
  TORVContainedValue guid(1);
  guid.SetDataType(dtBytes);
  guid.SetSubType(stGUID);
  EXPECT_EQ(guid.GetLength(), 16);
  guid.SetAsBytes({1});
  EXPECT_EQ(Image(guid).size(), 16u);
  auto number = MakeValue(dtInteger, 0, 0);
  number->SetAsInteger(-2);
  EXPECT_EQ(Image(*number), (TORVBytes{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(ContainedValue, LargeObjectLengthAndPosition) {
  auto clob = MakeValue(dtLargeObject, stClob, 0, 1);
  clob->SetAsString(u"abc");
  EXPECT_EQ(clob->GetSize(), 6);
  EXPECT_EQ(clob->GetLength(), 3);

  // Writing through the primitives keeps the position a reader of the
  // contents stream relies on.
  auto blob = MakeValue(dtLargeObject, stBlob, 0);
  blob->SetAsBytes({1, 2, 3, 4});
  blob->GetAsBlob()->SetPosition(2);
  blob->SetAsBytes({9, 9, 9, 9, 9});
  EXPECT_EQ(blob->GetAsBlob()->GetPosition(), 2);
  blob->SetAsBytes({7});
  EXPECT_EQ(blob->GetAsBlob()->GetPosition(), 1);

  TORVMemoryStream source(1);
  const uint8_t data[3] = {5, 6, 7};
  source.Write(data, 3);
  blob->SetAsBlob(&source);
  EXPECT_EQ(blob->GetAsBytes(), (TORVBytes{5, 6, 7}));
}

TEST(ContainedValue, BytesIntoVaryingValues) {
  auto bytes = MakeValue<TDefinedLengthValue>(dtBytes, stVarByte, 2);
  try {
    bytes->SetAsBytes({1, 2, 3});
    FAIL() << "no error";
  } catch (const EORVException& e) {
    EXPECT_NE(e.ErrorMsg().find(u"The value 010203 would result in truncation"), TORVString::npos);
  }
  bytes->SetRaiseTruncationErrors(false);
  bytes->SetAsBytes({1, 2, 3});
  EXPECT_EQ(bytes->GetAsBytes(), (TORVBytes{1, 2}));

  // Bytes become UTF-16 characters only in whole units.
  auto text = MakeValue(dtCharacter, stVarChar, 0, 1);
  text->SetAsBytes({'a', 0, 'b', 0});
  EXPECT_EQ(text->GetAsString(), u"ab");
  EXPECT_THROW(text->SetAsBytes({'a', 0, 'b'}), EORVException);
  EXPECT_EQ(text->GetAsString(), u"ab");
}

TEST(ContainedValue, ChangingTheTypeResetsTheDescription) {
  auto value = MakeValue(dtCharacter, stVarChar, 30);
  value->SetCollation(1033 | (1 << 20));
  EXPECT_EQ(value->GetCollation(), 1033 | (1 << 20));
  value->SetDataType(dtBoolean);
  EXPECT_EQ(value->GetSubType(), 0);
  EXPECT_EQ(value->GetCollation(), 0);
  EXPECT_EQ(value->GetSize(), 1);
  value->SetAsBoolean(true);
  EXPECT_TRUE(value->GetAsBoolean());

  auto decimal = MakeValue(dtDecimal, 0, 0);
  decimal->SetScale(2);
  decimal->SetScale(5);
  EXPECT_EQ(decimal->GetScale(), 2);
  auto number = MakeValue(dtInteger, 0, 0);
  number->SetCollation(1033);
  EXPECT_EQ(number->GetCollation(), 0);
}

TEST(ContainedValue, MemorySizeCountsTheStorage) {
  auto value = MakeValue(dtLargeObject, stBlob, 0);
  const int32_t before = value->GetMemorySize();
  value->SetAsBytes(TORVBytes(1000, 7));
  EXPECT_GE(value->GetMemorySize(), before + 1000);
}

// Save then Load of random values of every type, NULL or not, under both
// character sets, gives back an equal value.
TEST(ContainedValue, SaveThenLoadOfRandomValues) {
  std::mt19937_64 random(20240505);
  auto pick = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };
  auto randomText = [&](int32_t characterSet, int32_t maxLength) {
    TORVString text;
    const int64_t length = pick(0, maxLength);
    for (int64_t i = 0; i < length; ++i)
      text.push_back(characterSet == 1 ? static_cast<char16_t>(pick(1, 0xD7FF)) : static_cast<char16_t>(pick(33, 126)));
    return text;
  };
  auto randomBytes = [&](int32_t maxLength) {
    TORVBytes bytes(static_cast<std::size_t>(pick(0, maxLength)));
    for (auto& b : bytes) b = static_cast<uint8_t>(pick(0, 255));
    return bytes;
  };
  struct TKind {
    int32_t DataType, SubType, Length, Scale;
  };
  const TKind kinds[] = {
      {dtCharacter, stVarChar, 0, 0},
      {dtCharacter, stChar, 7, 0},
      {dtCharacter, stGUID, 0, 0},
      {dtBytes, stVarByte, 0, 0},
      {dtBytes, stByte, 5, 0},
      {dtBytes, stGUID, 0, 0},
      {dtLargeObject, stBlob, 0, 0},
      {dtLargeObject, stClob, 0, 0},
      {dtBoolean, 0, 0, 0},
      {dtSmallInt, 0, 0, 0},
      {dtInteger, 0, 0, 0},
      {dtBigInt, 0, 0, 0},
      {dtFloat, 0, 0, 0},
      {dtDecimal, 0, 0, 4},
      {dtDecimal, 0, 0, 1},
      {dtDate, 0, 0, 0},
      {dtTime, 0, 0, 0},
      {dtTimeStamp, 0, 0, 0},
      {dtYearMonthInterval, stYearToMonth, 0, 0},
      {dtDayTimeInterval, stDayToMSecond, 0, 0},
  };
  for (int32_t characterSet : {0, 1}) {
    for (const TKind& kind : kinds) {
      for (int round = 0; round < 25; ++round) {
        auto make = [&] {
          auto v = MakeValue(kind.DataType, kind.SubType, kind.Length, characterSet);
          v->SetScale(kind.Scale);
          return v;
        };
        auto source = make();
        if (round % 5 != 0) {
          switch (kind.DataType) {
            case dtCharacter:
              source->SetAsString(randomText(characterSet, 40));
              break;
            case dtBytes:
              source->SetAsBytes(randomBytes(40));
              break;
            case dtLargeObject:
              if (kind.SubType == stClob)
                source->SetAsString(randomText(characterSet, 200));
              else
                source->SetAsBytes(randomBytes(200));
              break;
            case dtBoolean:
              source->SetAsBoolean(pick(0, 1) == 1);
              break;
            case dtSmallInt:
              source->SetAsSmallInt(static_cast<int16_t>(pick(-32768, 32767)));
              break;
            case dtInteger:
              source->SetAsInteger(static_cast<int32_t>(pick(INT32_MIN, INT32_MAX)));
              break;
            case dtBigInt:
              source->SetAsLargeInt(pick(INT64_MIN, INT64_MAX));
              break;
            case dtFloat: {
              const uint64_t bits = static_cast<uint64_t>(pick(INT64_MIN, INT64_MAX));
              double d;
              std::memcpy(&d, &bits, sizeof d);
              source->SetAsDouble(d);
              break;
            }
            case dtDecimal:
              source->SetAsCurrency(TORVCurrency::FromScaled(pick(INT64_MIN / 2, INT64_MAX / 2)));
              break;
            case dtDate:
              source->SetAsDate(static_cast<int32_t>(pick(1, MaxDate)));
              break;
            case dtTime:
              source->SetAsTime(static_cast<int32_t>(pick(0, MSecsPerDay - 1)));
              break;
            case dtTimeStamp:
              source->SetAsTimeStamp(pick(MSecsPerDay, int64_t{MaxDate} * MSecsPerDay));
              break;
            case dtYearMonthInterval:
              source->SetAsYearMonthInterval(static_cast<int32_t>(pick(INT32_MIN, INT32_MAX)));
              break;
            case dtDayTimeInterval:
              source->SetAsDayTimeInterval(pick(INT64_MIN, INT64_MAX));
              break;
          }
        }
        TORVMemoryStream stream(characterSet);
        source->Save(stream);
        const int64_t written = stream.GetSize();
        stream.SetPosition(0);
        auto target = make();
        target->SetAsNull(false);  // a NULL record must make it NULL again
        target->Load(stream);
        SCOPED_TRACE(::testing::Message() << "type " << kind.DataType << " round " << round);
        EXPECT_EQ(stream.GetPosition(), written);
        EXPECT_EQ(target->GetNull(), source->GetNull());
        EXPECT_EQ(target->Compare(*source, 0, false, 0), 0);
        TORVMemoryStream again(characterSet);
        target->Save(again);
        ASSERT_EQ(again.GetSize(), written);
        EXPECT_EQ(std::memcmp(again.GetMemory(), stream.GetMemory(), static_cast<std::size_t>(written)), 0);
      }
    }
  }
}

}  // namespace
}  // namespace orv
